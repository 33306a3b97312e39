// Fuzz target for the reference reader: any bytes as "reference.xml" must
// load or be refused without a crash, a hang or a sanitizer report. A load
// is the same every time, the same as the load done in this process, and
// only a document the library itself finds well formed loads. The load's
// time and the library's memory are bounded by the trial; a run that takes
// longer than libFuzzer's -timeout, or more memory than its -rss_limit_mb,
// is a document on which the bounds did not hold.
//
// The trial's child runs the load out of libFuzzer's sight: what it covers
// is counted in the child's own copy of the counters. The same load done in
// this process (LoadReferenceUnbounded) is what the fuzzer sees.
#include <fcntl.h>
#include <libxml/parser.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/records.h"
#include "core/reference_set.h"

namespace {

// The reader reads "reference.xml" from the working directory: each input
// is loaded in a directory of the target's own, made once, and the caller's
// working directory is restored afterwards (the corpus runner names paths
// relative to it).
class InWorkDirectory {
 public:
  InWorkDirectory() : caller_(open(".", O_RDONLY | O_DIRECTORY)) {
    static const std::string dir = [] {
      char name[] = "/tmp/reference-fuzz-XXXXXX";
      if (mkdtemp(name) == nullptr) std::abort();
      return std::string(name);
    }();
    if (caller_ < 0 || chdir(dir.c_str()) != 0) std::abort();
  }
  ~InWorkDirectory() {
    if (fchdir(caller_) != 0) std::abort();
    close(caller_);
  }
  InWorkDirectory(const InWorkDirectory&) = delete;
  InWorkDirectory& operator=(const InWorkDirectory&) = delete;

 private:
  const int caller_;
};

bool SameDevices(const ReferenceSet& a, const ReferenceSet& b) {
  if (a.devices.size() != b.devices.size()) return false;
  for (size_t i = 0; i < a.devices.size(); ++i) {
    const ReferenceDevice& x = a.devices[i];
    const ReferenceDevice& y = b.devices[i];
    if (x.type != y.type || x.device_id != y.device_id || x.model != y.model ||
        x.firmware != y.firmware || x.bios != y.bios || x.boot != y.boot ||
        x.duration != y.duration) {
      return false;
    }
  }
  return a.discovery_app_path == b.discovery_app_path &&
         a.installer_app_path == b.installer_app_path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const InWorkDirectory here;
  {
    std::ofstream out("reference.xml", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
  }
  ReferenceSet first, second, inProcess;
  const bool loaded = first.Load();
  if (second.Load() != loaded || !SameDevices(first, second)) std::abort();
  std::string messages;
  const bool loadedHere = LoadReferenceUnbounded(
      std::string(reinterpret_cast<const char*>(data), size), &inProcess, &messages);
  // The trial may refuse what loads unbounded, never the other way round.
  if (loaded && (!loadedHere || !SameDevices(first, inProcess))) std::abort();
  if (loaded) {
    xmlDoc* doc = xmlReadMemory(reinterpret_cast<const char*>(data), static_cast<int>(size),
                                "reference.xml", nullptr, XML_PARSE_NONET);
    if (doc == nullptr) std::abort();
    xmlFreeDoc(doc);
  }
  return 0;
}
