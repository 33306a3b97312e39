// Hostile input files end to end: the built program, unchanged, on simulated
// machines whose reference file expands far past what real values take,
// whose input paths hold a FIFO or a device that never ends, or whose
// adapter reports a model with control characters. Each run ends normally,
// with the messages and exit code of the ordinary case it amounts to.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/sim/console_texts.h"
#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/standin_sim.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

const char kReference[] =
    "<?xml version=\"1.0\"?>\n<marvo_fchba_reference><devices><device>"
    "<type value=\"FC HBA\"/><device_id value=\"1077.2532.1077.015d\"/><model value=\"QLE2562\"/>"
    "<firmware value=\"5.06.05\"/><bios value=\"2.16\"/><boot value=\"2.16\"/>"
    "<duration value=\"120\"/></device></devices></marvo_fchba_reference>\n";

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// One internal entity of 10,000 characters and 100 devices whose seven
// values each hold 90 references to it: some 200 KB of file whose values
// expand to 630 MB.
std::string EntityDocument() {
  const std::string value = "\"" + Repeat("&e;", 90) + "\"/>";
  std::string device = "<device>";
  for (const char* name : {"type", "device_id", "model", "firmware", "bios", "boot", "duration"}) {
    device += std::string("<") + name + " value=" + value;
  }
  device += "</device>\n";
  return "<?xml version=\"1.0\"?>\n<!DOCTYPE marvo_fchba_reference [\n<!ENTITY e \"" +
         std::string(10000, 'x') + "\">\n]>\n<marvo_fchba_reference><devices>\n" +
         Repeat(device, 100) + "</devices></marvo_fchba_reference>\n";
}

// A stand-in FC-HBA library that is also QLogic's management library, with
// one adapter of this model whose PCI identity is 1077.2532.1077.015d.
void QLogicAdapter(Scenario& s, const std::string& model) {
  StandinAdapter adapter = SampleStandinAdapter("qlogic-QLE2562-0", 1, 1);
  SetStandinText(adapter.attributes.Model, model);
  SetStandinText(adapter.attributes.OptionROMVersion, "2.02");
  adapter.ext_subsystem = 0x015d1077;
  adapter.ext_bus = 5;
  StandinLibrary library;
  library.adapters.push_back(adapter);
  PlaceStandin(s, "/usr/lib/libqlsdm.so", library, /*extension=*/true)
      .Etc("hba.conf", "qlogic\t/usr/lib/libqlsdm.so\n")
      .SysPciDevice("0000:05:00.0", 0x1077, 0x2532, 0x1077, 0x015d);
}

using XmlDoc = std::unique_ptr<xmlDoc, void (*)(xmlDoc*)>;

XmlDoc Parse(const std::string& text) {
  return XmlDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "out.xml", nullptr,
                              XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                xmlFreeDoc);
}

// The "value" of the first element named `name`, depth first.
std::optional<std::string> ValueOf(xmlNode* node, const char* name) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name))) {
      xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>("value"));
      std::string text = value ? reinterpret_cast<const char*>(value) : "";
      xmlFree(value);
      return text;
    }
    if (auto inner = ValueOf(node->children, name)) return inner;
  }
  return std::nullopt;
}

class HostileInput : public ScenarioTest {
 protected:
  RunResult Run(const std::vector<std::string>& args) { return s.Run(kProgram, args); }
  // Makes a FIFO at `machine_path`, or in the package directory when it is
  // relative.
  void Fifo(const std::string& machine_path) {
    const std::string path =
        machine_path[0] == '/' ? s.HostPath(machine_path) : s.Root() + "/pkg/" + machine_path;
    ASSERT_FALSE(path.empty()) << machine_path;
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path << ": " << std::strerror(errno);
  }
};

// The values expand past the bound: the document is refused like one that
// is not well formed, before any adapter is touched, and standard error
// names the bound.
TEST_F(HostileInput, ValuesThatExpandPastTheBoundFailTheLoad) {
  s.Pkg("reference.xml", EntityDocument());
  RunResult r = Run({});
  ASSERT_TRUE(ExitedWith(r, 7));
  EXPECT_EQ(r.out, kLoadFailed);
  EXPECT_EQ(r.err, "reference.xml: refused: its values come to more than 16 MiB\n");
  EXPECT_EQ(s.Log(), kLoadFailed);
}

// A value of 1 MiB, built from an entity, still loads: the first device's
// type becomes the discovery header's type and is written out whole.
TEST_F(HostileInput, AValueOfOneMebibyteLoads) {
  const std::string kibi = Repeat("0123456789abcdef", 64);
  s.Pkg("reference.xml", "<!DOCTYPE marvo_fchba_reference [<!ENTITY k \"" + kibi +
                             "\">]>\n<marvo_fchba_reference><devices><device><type value=\"" +
                             Repeat("&k;", 1024) +
                             "\"/></device></devices></marvo_fchba_reference>\n");
  StandinLibrary library;
  library.adapters.push_back(SampleStandinAdapter("adapter-0", 1, 1));
  PlaceStandin(s, "/usr/lib64/libfchba_a.so", library)
      .Etc("hba.conf", "standin\t/usr/lib64/libfchba_a.so\n");
  RunResult r = Run({"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  const std::optional<std::string> saved = s.ReadPkg("out.xml");
  ASSERT_TRUE(saved.has_value());
  XmlDoc doc = Parse(*saved);
  ASSERT_NE(doc, nullptr);
  const std::optional<std::string> type = ValueOf(doc->children, "type");
  ASSERT_TRUE(type.has_value());
  EXPECT_TRUE(*type == Repeat(kibi, 1024)) << "type of " << type->size() << " bytes";
}

// kReference with the device's packaged boot BIOS made of `mebibytes` MiB
// of dots by an entity of 16 KiB; the file itself stays small.
std::string DottedBiosReference(size_t mebibytes) {
  std::string text = kReference;
  text.replace(text.find("2.16"), 4, Repeat("&d;", mebibytes * 64));
  return "<!DOCTYPE marvo_fchba_reference [<!ENTITY d \"" + std::string(16384, '.') + "\">]>\n" +
         text.substr(text.find("<marvo"));
}

// A packaged boot BIOS of 15 MiB of dots against the adapter's 2.02: the
// versions are compared token by token, so the run holds a few copies of the
// value (some 180 MB, 460 MB under the sanitizers) instead of a wide string
// for each of its 15 million tokens (700 MB, over 1 GB under the
// sanitizers).
TEST_F(HostileInput, VersionOfMillionsOfTokensTakesNoMemoryPerToken) {
  s.Pkg("reference.xml", DottedBiosReference(15));
  QLogicAdapter(s, "QLE2562");
  RunResult r = Run({"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  EXPECT_GT(s.ReadPkg("out.xml").value_or("").size(), 15u << 20);
  EXPECT_LT(r.max_rss_kib, 640 << 10);
}

// Under a 256 MB address space an 8 MiB boot BIOS of dots is compared and
// written out as usual (the run used to end in an abort, exit 134); where
// memory does run out, with 15 MiB under 192 MB, the run ends with 7 and the
// log holds each message it logged, whole.
TEST_F(HostileInput, SmallAddressSpaceEndsTheRunNormally) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers need more address space than the limit";
  QLogicAdapter(s, "QLE2562");
  RunOptions options;
  s.Pkg("reference.xml", DottedBiosReference(8));
  options.address_space_bytes = 256 << 20;
  RunResult r = s.Run(kProgram, {"/d", "out.xml"}, options);
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  EXPECT_EQ(s.Log(), kRunStart + kXmlDone);

  s.Pkg("reference.xml", DottedBiosReference(15));
  options.address_space_bytes = 192 << 20;
  r = s.Run(kProgram, {"/d", "out.xml"}, options);
  ASSERT_TRUE(ExitedWith(r, 7));
  EXPECT_EQ(r.err, "");
  // Where it runs out depends on the C library: while loading (which fails
  // the load) or later.
  EXPECT_TRUE(r.out == kLoadFailed || r.out == kRunStart) << r.out;
  EXPECT_EQ(s.Log(), kRunStart + kXmlDone + r.out);
}

// A FIFO at the reference file's path (it blocked the run for good): the
// file counts as missing.
TEST_F(HostileInput, ReferenceFileThatIsAFifoFailsTheLoad) {
  Fifo("reference.xml");
  RunResult r = Run({});
  ASSERT_TRUE(ExitedWith(r, 7));
  EXPECT_EQ(r.out, kLoadFailed);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(s.Log(), kLoadFailed);
}

// A release file that is a FIFO or a device that never ends (the run
// blocked, or read until memory ran out): no operating-system tag, and the
// run goes on as on a machine without release files.
TEST_F(HostileInput, ReleaseFileThatNeverEndsIsPassedOver) {
  for (const char* file : {"/etc/redhat-release", "/etc/SuSE-release"}) {
    for (const char* kind : {"fifo", "/dev/zero", "/dev/urandom"}) {
      const std::string label = std::string(file) + " as " + kind;
      Scenario machine;
      KeepOnFailure keep(machine);
      machine.Pkg("reference.xml", kReference);
      if (std::string(kind) == "fifo") {
        const std::string path = machine.HostPath(file);
        ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path << ": " << std::strerror(errno);
      } else {
        machine.Symlink(file, kind);
      }
      RunResult r = machine.Run(kProgram, {});
      ASSERT_TRUE(ExitedWith(r, 7)) << label;
      EXPECT_EQ(r.out, kRunStart + kNoAdapters) << label;
      EXPECT_EQ(r.err, "") << label;
    }
  }
}

// An adapter model with control characters: the self-discovery file parses
// and its product id is the model without them.
TEST_F(HostileInput, ControlCharactersInAModelAreLeftOut) {
  s.Pkg("reference.xml", kReference);
  QLogicAdapter(s,
                "QLE\x01\x1b"
                "2562\x1b[0m");
  RunResult r = Run({"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  const std::optional<std::string> saved = s.ReadPkg("out.xml");
  ASSERT_TRUE(saved.has_value());
  EXPECT_NE(saved->find("      <product_id value=\"QLE2562[0m\"/>\n"), std::string::npos) << *saved;
  XmlDoc doc = Parse(*saved);
  ASSERT_NE(doc, nullptr) << *saved;
  EXPECT_EQ(ValueOf(doc->children, "device_id"), "1077.2532.1077.015d");
  EXPECT_EQ(ValueOf(doc->children, "product_id"), "QLE2562[0m");
}

}  // namespace
}  // namespace zrn_sim
