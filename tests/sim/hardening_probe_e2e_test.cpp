// The built program, unchanged, meeting more of what a caller or a package
// may put in its way: a self-discovery path where the file cannot be written
// as an ordinary file, a library path in hba.conf that is no regular file,
// and a reference file whose markup costs the XML library or the reading of
// its values time far out of proportion to its size, or makes the library
// write a message for every element. Each run ends with the messages and
// exit code of the ordinary case it amounts to.
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

const std::string kTimeRefusal =
    "reference.xml: refused: parsing it takes more than 2 s of processor time\n";

// Markup on which the XML library spends time that grows with the square of
// its size: one tag of 100,000 attributes (1 MB) kept the run busy for
// minutes. The library's time on the file is measured in a trial first, so
// such a file is refused like one that is not well formed, with one line on
// standard error, within the trial's bound. Ordinary files load as before,
// "=" signs and character references by the thousand, and many attributes
// in many tags, included.
TEST_F(HostileRun, MarkupThatCostsTheLibraryQuadraticTimeIsRefused) {
  std::string wide_tags;
  for (int i = 0; i < 40; ++i) wide_tags += "<x" + Attributes(1000, "") + "/>";
  const std::string licence = "<!--\n" + Repeat(std::string(78, '=') + "\n", 14) + "-->\n";
  const struct {
    const char* what;
    std::string document;
    bool loads;
  } kCases[] = {
      {"one tag of 100,000 attributes", Reference("", "<x" + Attributes(100000, "x") + "/>"),
       false},
      {"40 tags of 1,000 attributes", Reference("", wide_tags), true},
      {"a licence comment of 14 lines of 78 \"=\"", Reference(licence, ""), true},
      {"the licence comment inside the DOCTYPE",
       Reference("<!DOCTYPE marvo_fchba_reference [\n" + licence + "]>\n", ""), true},
      {"an entity of 2,000 \"=\"",
       Reference("<!DOCTYPE marvo_fchba_reference [<!ENTITY sep \"" + std::string(2000, '=') +
                     "\">]>\n",
                 "<x>&sep;</x>"),
       true},
      {"an instruction holding \">\", then 2,000 \"=\" in text",
       Reference("<?note a > b ?>\n", "<x>" + std::string(2000, '=') + "</x>"), true},
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
    EXPECT_EQ(r.err, c.loads ? "" : kTimeRefusal);
  }
}

// What the program keeps of the library's messages about reference.xml, and
// the line that follows when it left some out.
constexpr size_t kMessageBound = 64 << 10;
const std::string kLeftOut =
    "reference.xml: the XML library's further messages about it were left out\n";

// Loads that cost out of proportion in what the library's parse does not
// measure: values whose entity references each look up a name of 49,999
// characters (10,000 values of ten such references kept the run busy for
// 7 s, 100,000 of forty for six minutes), and an error or warning on every
// element, which the library formats with two context lines each (4 MiB of
// them wrote 165 MB to standard error in 10 to 18 s). The whole load is
// measured, so each run ends loaded or refused within the load's bound and
// the rest of the run: "done." with at most the messages' bound on standard
// error, or "FAILED!" with the refusal.
TEST_F(HostileRun, LoadsThatCostInTheValuesOrTheMessagesEndWithinTheBounds) {
  const std::string longName(49999, 'n');
  const std::string longEntity = "<!ENTITY " + longName + " \"\">";
  const auto nameValues = [&](const std::string& inner, size_t children) {
    return Reference("<!DOCTYPE marvo_fchba_reference [" + longEntity + inner + "]>\n",
                     "<device>" + Repeat("<model value=\"&e;\"/>", children) + "</device>");
  };
  const size_t kFile = 4 << 20;
  const struct {
    const char* what;
    std::string document;
  } kCases[] = {
      {"values of ten references to a long name",
       nameValues("<!ENTITY e \"" + Repeat("&" + longName + ";", 10) + "\">", 10000)},
      {"values reaching a long name through two short ones",
       nameValues("<!ENTITY d \"" + Repeat("&" + longName + ";", 8) + "\"><!ENTITY e \"" +
                      Repeat("&d;", 8) + "\">",
                  (kFile - 500000) / 20)},
      {"an undeclared prefix on every element", Reference("", Repeat("<a:b/>", kFile / 6 - 100))},
      {"an undeclared prefix on an attribute of every element",
       Reference("", Repeat("<b a:c=\"1\"/>", kFile / 12 - 100))},
      {"one xml:id on every element", Reference("", Repeat("<i xml:id=\"x\"/>", kFile / 15 - 100))},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_LE(c.document.size(), kFile);
    s.Pkg("reference.xml", c.document);
    const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
    ASSERT_TRUE(r.ExitedWith(3) || r.ExitedWith(7)) << r.Describe();
    if (r.exit_code == 3) {
      EXPECT_EQ(r.out, kRunStart + kXmlDone);
      EXPECT_LE(r.err.size(), kMessageBound + 1 + kLeftOut.size());
    } else {
      EXPECT_EQ(r.out, kLoadFailed);
      EXPECT_EQ(r.err, kTimeRefusal);
    }
    // The load's two seconds, as long again, and the rest of the run.
    EXPECT_LE(r.cpu_seconds, 2 * 2 + 1.5);
  }
}

// A package file with an error on each of 20,000 elements still loads, and
// standard error holds the first 64 KiB of the library's messages about it,
// then the line that says the rest was left out.
TEST_F(HostileRun, LibraryMessagesPastTheirBoundAreLeftOut) {
  s.Pkg("reference.xml", Reference("", Repeat("<a:b/>", 20000)));
  const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  ASSERT_GT(r.err.size(), kMessageBound);
  const std::string kept = r.err.substr(0, kMessageBound);
  EXPECT_EQ(kept.substr(0, 50), "reference.xml:2: namespace error : Namespace prefi");
  EXPECT_EQ(r.err.substr(kMessageBound), (kept.back() == '\n' ? "" : "\n") + kLeftOut);
  EXPECT_NE(s.ReadPkg("out.xml").value_or("").find("<device_id value=\"1077.2532.1077.015d\"/>"),
            std::string::npos);
}

// A caller that gave the program less processor time than the load's bound
// ("ulimit -t 1") has the load end there, refused like one past the bound.
TEST_F(HostileRun, CallersLowerProcessorLimitBoundsTheLoad) {
  s.Pkg("reference.xml", Reference("", "<x" + Attributes(100000, "x") + "/>"));
  RunOptions options;
  options.cpu_seconds_limit = 1;
  const RunResult r = s.Run(kProgram, {"/d", "out.xml"}, options);
  ASSERT_TRUE(ExitedWith(r, 7));
  EXPECT_EQ(r.out, kLoadFailed);
  EXPECT_EQ(r.err, "reference.xml: refused: parsing it takes more than 1 s of processor time\n");
}

}  // namespace
}  // namespace zrn_sim
