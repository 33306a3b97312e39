// The built program, unchanged, meeting more of what a caller or a package
// may put in its way: a self-discovery path where the file cannot be written
// as an ordinary file, a library path in hba.conf that is no regular file,
// and a reference file whose markup costs the XML library time far out of
// proportion to its size. Each run ends with the
// messages and exit code of the ordinary case it amounts to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "tests/sim/console_texts.h"
#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

// The demo machine: two QLogic adapters the package supports.
void DemoMachine(Scenario& s) {
  s.Import(ZRN_DEMO_DIR)
      .CopyFile("/usr/lib/libqlsdm.so", ZRN_STANDIN_EXT_LIBRARY)
      .CopyFile("/usr/lib64/libfchba_emx.so", ZRN_STANDIN_LIBRARY)
      .CopyFile("/usr/lib64/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY);
}

class HostileRun : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    DemoMachine(s);
  }
};

// A FIFO at the self-discovery path that nobody reads (the run used to wait
// for a reader forever), and a device that takes nothing: the document is
// not saved, and the run says so and ends as with a path it cannot write.
TEST_F(HostileRun, DiscoveryPathThatCannotTakeTheFileFailsTheSave) {
  const std::string fifo = s.Root() + "/pkg/out.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0) << fifo << ": " << std::strerror(errno);
  for (const char* path : {"out.fifo", "/dev/full"}) {
    SCOPED_TRACE(path);
    const RunResult r = s.Run(kProgram, {"/d", path});
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, kRunStart + "Generating self-discovery XML...FAILED!\ndone.\n");
  }
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// An hba.conf line whose library path holds a FIFO (the loader waited for a
// writer forever), a directory or a device: nothing is loaded from it, and
// the adapters of the other libraries are found as on an ordinary machine.
TEST_F(HostileRun, LibraryPathThatIsNoRegularFileLoadsNothing) {
  ASSERT_EQ(::mkfifo(s.HostPath("/etc/libfifo.so").c_str(), 0644), 0) << std::strerror(errno);
  const std::optional<std::string> conf = s.Read("/etc/hba.conf");
  ASSERT_TRUE(conf.has_value());
  s.Etc("hba.conf", "fifo\t/etc/libfifo.so\ndirectory\t/etc\ndevice\t/dev/zero\n" + *conf);
  const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  const std::string document = s.ReadPkg("out.xml").value_or("");
  EXPECT_NE(document.find("<device_id value=\"1077.2532.1077.015d\"/>"), std::string::npos)
      << document;
  EXPECT_NE(document.find("<device_id value=\"1077.2031.1077.0241\"/>"), std::string::npos)
      << document;
}

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// `count` attributes named a0, a1, ..., each written as ` aN="<value>"`.
std::string Attributes(size_t count, const std::string& value) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += " a" + std::to_string(i) + "=\"" + value + "\"";
  return text;
}

// A reference file with the demo's first device, `extra` after it among the
// devices, and `doctype` before the root.
std::string Reference(const std::string& doctype, const std::string& extra) {
  std::string device =
      "<device><type value=\"FC HBA\"/><device_id value=\"1077.2532.1077.015d\"/>"
      "<model value=\"QLE2562\"/><bios value=\"2.16\"/><duration value=\"120\"/></device>";
  return "<?xml version=\"1.0\"?>\n" + doctype + "<marvo_fchba_reference><devices>" + device +
         extra + "</devices></marvo_fchba_reference>\n";
}

// The same text in UTF-16, little-endian with a byte-order mark; `wide`
// stands for U+4E22, a name character whose first byte (22 4E) looks like a
// quote.
std::string Utf16(const std::string& ascii, char wide) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) bytes += c == wide ? std::string("\x22\x4E") : std::string{c, '\0'};
  return bytes;
}

// Markup whose attributes the XML library checks each against all the
// others: one tag of 100,000 attributes (1 MB), written out or built by an
// entity, or 50,000 declared defaults for an element that 2,000 devices
// use, kept the run busy for minutes to hours. Such a document is refused
// like one that is not well formed, with nothing on standard error, also
// where the tag follows something after which the library reads on in a
// way of its own: a control character in a comment, a ">" ending an
// instruction, a "<" in a declared default, names whose UTF-16 bytes look
// like quotes. The most that is still read (1,000 attributes in each of
// many tags, 64 declared attributes) loads as before, and so do "=" signs
// and character references by the thousand where no attribute can be made.
TEST_F(HostileRun, MarkupThatCostsTheLibraryQuadraticTimeIsRefused) {
  std::string defaults = "<!DOCTYPE marvo_fchba_reference [<!ATTLIST type";
  for (int i = 0; i < 50000; ++i) defaults += " a" + std::to_string(i) + " CDATA \"v\"";
  defaults += ">]>\n";
  std::string typed;
  for (int i = 0; i < 2000; ++i) typed += "<device><type value=\"FC HBA\"/></device>";
  std::string few = "<!DOCTYPE marvo_fchba_reference [<!ATTLIST type";
  for (int i = 0; i < 64; ++i) few += " a" + std::to_string(i) + " CDATA \"v\"";
  few += ">]>\n";
  // The same tag built from character references in an entity's text.
  std::string entity = "<!DOCTYPE marvo_fchba_reference [<!ENTITY t \"&#60;x";
  for (int i = 0; i < 100000; ++i) entity += " a" + std::to_string(i) + "&#61;''";
  entity += "/&#62;\">]>\n";
  std::string wide_tags;
  for (int i = 0; i < 400; ++i) wide_tags += "<x" + Attributes(1000, "") + "/>";
  const std::string tag = "<x" + Attributes(100000, "x") + "/>";
  std::string quoted_names = "<x";
  for (int i = 0; i < 100000; ++i) quoted_names += " a@" + std::to_string(i) + "=\"\"";
  quoted_names += "/>";
  const std::string licence = "<!--\n" + Repeat(std::string(78, '=') + "\n", 14) + "-->\n";
  const struct {
    const char* what;
    std::string document;
    bool loads;
  } kCases[] = {
      {"one tag of 100,000 attributes", Reference("", tag), false},
      {"an entity's tag of 100,000 attributes", Reference(entity, "&t;"), false},
      {"50,000 declared defaults", Reference(defaults, typed), false},
      {"the tag after a control character in a comment", Reference("", "<!-- \x01 " + tag + " -->"),
       false},
      {"the tag after an instruction ended by \">\"", Reference("", "<?pi > <!-- ?>" + tag + "-->"),
       false},
      {"the tag after a \"<\" in a declared default",
       Reference("<!DOCTYPE marvo_fchba_reference [<!ATTLIST x a CDATA \"<m><![CDATA[\">]>",
                 "<!-- ]]>" + tag + "</m> -->"),
       false},
      {"UTF-16 names whose bytes look like quotes", Utf16(Reference("", quoted_names), '@'), false},
      {"400 tags of 1,000 attributes", Reference("", wide_tags), true},
      {"64 declared defaults", Reference(few, typed), true},
      {"a licence comment of 14 lines of 78 \"=\"", Reference(licence, ""), true},
      {"a CDATA section of 1,100 \"OPTn=1\"",
       Reference("", "<x><![CDATA[" + Repeat("OPTn=1", 1100) + "]]></x>"), true},
      {"an attribute value of 1,100 \"=\"",
       Reference("", "<x v=\"" + std::string(1100, '=') + "\"/>"), true},
      {"a text of 1,100 \"&#233;\"", Reference("", "<x>" + Repeat("&#233;", 1100) + "</x>"), true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    s.Pkg("reference.xml", c.document);
    const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
    ASSERT_TRUE(ExitedWith(r, c.loads ? 3 : 7));
    EXPECT_EQ(r.out, c.loads ? kRunStart + kXmlDone : kLoadFailed);
    EXPECT_EQ(r.err, "");
  }
}

}  // namespace
}  // namespace zrn_sim
