#include "tests/hba/hba_test_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "hba/hba_api.h"

namespace fs = std::filesystem;

namespace zrn_hba_test {

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

}  // namespace

void HbaLibraryTest::SetUp() {
  (void)HBA_FreeLibrary();
  static int serial = 0;
  dir_ = std::string(kLibraryDir) + "/t" + std::to_string(++serial);
  fs::create_directories(dir_);
  (void)unlink("/etc/hba.conf");
  ClearTrace();
}

void HbaLibraryTest::TearDown() { (void)HBA_FreeLibrary(); }

std::string HbaLibraryTest::Install(const std::string& file, const StandinLibrary& library,
                                    bool extension) {
  const std::string path = dir_ + "/" + file;
  // A copy still mapped must never be rewritten in place: a new file each time.
  fs::remove(path);
  fs::copy_file(extension ? ZRN_STANDIN_EXT_LIBRARY : ZRN_STANDIN_LIBRARY, path);
  Rescenario(path, library);
  return path;
}

void HbaLibraryTest::Rescenario(const std::string& path, const StandinLibrary& library) {
  Write(path + kStandinScenarioSuffix, StandinScenario(library));
}

void HbaLibraryTest::WriteConf(const std::string& text) { Write("/etc/hba.conf", text); }

std::vector<std::string> HbaLibraryTest::TraceOf(const std::string& tag) const {
  std::vector<std::string> lines;
  for (const std::string& line : Trace()) {
    if (line.compare(0, tag.size() + 1, tag + " ") == 0)
      lines.push_back(line.substr(tag.size() + 1));
  }
  return lines;
}

void HbaLibraryTest::ClearTrace() { (void)unlink(kStandinTraceFile); }

StandinLibrary LibraryWith(const std::vector<std::string>& names) {
  StandinLibrary library;
  for (size_t i = 0; i < names.size(); ++i) {
    library.adapters.push_back(SampleStandinAdapter(names[i], static_cast<uint8_t>(i + 1)));
  }
  return library;
}

}  // namespace zrn_hba_test
