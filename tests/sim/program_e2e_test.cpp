// The built program, unchanged, on the simulated machine: the command line,
// the reference file, a machine without adapters and an unwritable log,
// checked by exact console bytes, log bytes and exit codes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

const std::string kUsage =
    "KTXXXXXX.tolux [options]\n"
    "    options\n"
    "    --------------------------\n"
    "    /f = Force the installation\n"
    "    /s = Execute silently\n"
    "    /d [path] = Perform self-discovery and output to [path]\n";
const std::string kParseError = "ERROR! : Failed to parse command line\n";
const std::string kLogError = "ERROR : Unable to write to log file\n";
const std::string kBanner = std::string(51, '-') + "\n";
const std::string kLoading = "Loading references...";
const std::string kDiscovery = "Performing discovery...\n";
const std::string kNoAdapters = "WARNING! : No supported adapters found.\n";

// A package's reference file with two devices.
const char kReference[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<marvo_fchba_reference>
  <discovery_app_path><![CDATA[./discover]]></discovery_app_path>
  <installer_app_path><![CDATA[./install]]></installer_app_path>
  <devices>
    <device>
      <type value="FC HBA"/>
      <device_id value="1077.2532.1077.015d"/>
      <model value="QLE2562"/>
      <firmware value="5.06.05"/>
      <bios value="2.16"/>
      <boot value="2.16"/>
      <duration value="120"/>
    </device>
    <device>
      <type value="FC HBA"/>
      <device_id value="1077.2031.1077.0241"/>
      <model value="QLE2672"/>
      <firmware value="8.01.02"/>
      <bios value="3.28"/>
      <boot value="3.28"/>
      <duration value="180"/>
    </device>
  </devices>
</marvo_fchba_reference>
)";

// The same devices behind a document type declaration named like the root.
const char kReferenceWithDoctype[] = R"(<?xml version="1.0"?>
<!DOCTYPE marvo_fchba_reference [
  <!ELEMENT marvo_fchba_reference ANY>
]>
<marvo_fchba_reference><devices><device>
  <type value="FC HBA"/><device_id value="1077.2532.1077.015d"/><firmware value="5.06.05"/>
</device></devices></marvo_fchba_reference>
)";

class Program : public ScenarioTest {
 protected:
  RunResult Run(const std::vector<std::string>& args, const RunOptions& options = RunOptions()) {
    return s.Run(kProgram, args, options);
  }
};

using Args = std::vector<std::string>;

// ---- Help and command-line errors: nothing goes through the logger, yet
// the log directory and file exist.

TEST_F(Program, HelpAndParseFailuresBypassTheLog) {
  struct Case {
    Args args;
    std::string out;
    int code;
  } cases[] = {
      {{"/h"}, kUsage, 3},
      {{"-h"}, kUsage, 3},
      {{"/s", "/h"}, kUsage, 3},
      {{"/s", "-h", "/d"}, kUsage, 3},  // parsing stops at the help option
      {{"/d", "/h"}, kUsage, 3},        // the path "/h" is examined in its turn
      {{"/d"}, kUsage + kParseError, 7},
      {{"-d"}, kUsage + kParseError, 7},
      {{"/s", "/d"}, kUsage + kParseError, 7},
      {{"/d", "out.xml", "/f", "-d"}, kUsage + kParseError, 7},
  };
  for (const Case& c : cases) {
    std::string label;
    for (const std::string& arg : c.args) label += "[" + arg + "]";
    Scenario machine;
    KeepOnFailure keep(machine);
    machine.Pkg("reference.xml", kReference);
    RunResult r = machine.Run(kProgram, c.args);
    ASSERT_TRUE(ExitedWith(r, c.code)) << label;
    EXPECT_EQ(r.out, c.out) << label;
    EXPECT_EQ(r.err, "") << label;
    EXPECT_EQ(machine.Log(), "") << label << ": the log must exist and stay empty";
    EXPECT_EQ(machine.PkgEntries(), Args{"reference.xml"}) << label;
  }
}

TEST_F(Program, ProgramNameIsExaminedLikeAnArgument) {
  RunOptions options;
  options.argv0 = "/h";
  RunResult r = Run({}, options);
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kUsage);
  EXPECT_EQ(s.Log(), "");
}

// ---- The reference file.

TEST_F(Program, MissingOrMalformedReferenceFails) {
  struct Case {
    const char* what;
    bool present;
    std::string content;
  } cases[] = {
      {"missing", false, ""},
      {"empty", true, ""},
      {"unclosed element", true, "<marvo_fchba_reference><devices></marvo_fchba_reference>\n"},
      {"text only", true, "not xml at all\n"},
  };
  const std::string expected = kBanner + kLoading + "FAILED!\n";
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      Scenario machine;
      KeepOnFailure keep(machine);
      if (c.present) machine.Pkg("reference.xml", c.content);
      RunResult r = machine.Run(kProgram, silent ? Args{"/s"} : Args{});
      ASSERT_TRUE(ExitedWith(r, 7)) << c.what;
      EXPECT_EQ(r.out, silent ? "" : expected) << c.what << (silent ? " /s" : "");
      EXPECT_EQ(machine.Log(), expected) << c.what << (silent ? " /s" : "");
      // Only the XML library speaks on standard error, and only about a file.
      if (!c.present) {
        EXPECT_EQ(r.err, "") << c.what;
      }
    }
  }
}

// ---- A machine without adapters: every run that gets past the reference
// file ends with the warning and 7, and no self-discovery file is written.

TEST_F(Program, NoAdaptersEndsWithWarning) {
  const std::string full = kBanner + kLoading + "done.\n" + kDiscovery + kNoAdapters;
  struct Case {
    const char* what;
    const char* reference;
    const char* hba_conf;  // nullptr: no /etc/hba.conf
    Args args;
    bool silent;
  } cases[] = {
      {"no hba.conf", kReference, nullptr, {}, false},
      {"empty hba.conf", kReference, "", {}, false},
      {"comments only", kReference, "# no libraries\n#qlogic\t/usr/lib/libqlsdm.so\n", {}, false},
      {"doctype", kReferenceWithDoctype, nullptr, {}, false},
      {"/d out.xml", kReference, nullptr, {"/d", "out.xml"}, false},
      {"/d out.xml /s", kReference, nullptr, {"/d", "out.xml", "/s"}, true},
      {"-d -s", kReference, nullptr, {"-d", "-s"}, true},
      {"/s", kReference, nullptr, {"/s"}, true},
      {"/S", kReference, nullptr, {"/S"}, false},
      {"--force", kReference, nullptr, {"--force"}, false},
      {"/x", kReference, nullptr, {"/x"}, false},
      {"/f", kReference, nullptr, {"/f"}, false},
      {"root without devices", "<marvo_fchba_reference/>\n", nullptr, {}, false},
      {"root of another name", "<other><devices/></other>\n", nullptr, {}, false},
  };
  for (const Case& c : cases) {
    Scenario machine;
    KeepOnFailure keep(machine);
    machine.Pkg("reference.xml", c.reference);
    if (c.hba_conf) machine.Etc("hba.conf", c.hba_conf);
    RunResult r = machine.Run(kProgram, c.args);
    ASSERT_TRUE(ExitedWith(r, 7)) << c.what;
    EXPECT_EQ(r.out, c.silent ? "" : full) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
    EXPECT_EQ(machine.Log(), full) << c.what;
    EXPECT_EQ(machine.PkgEntries(), Args{"reference.xml"}) << c.what << ": no file written";
  }
}

TEST_F(Program, LogIsAppendedAcrossRuns) {
  s.Pkg("reference.xml", kReference);
  const std::string one = kBanner + kLoading + "done.\n" + kDiscovery + kNoAdapters;
  ASSERT_TRUE(ExitedWith(Run({}), 7));
  ASSERT_TRUE(ExitedWith(Run({"/s"}), 7));
  ASSERT_TRUE(ExitedWith(Run({"/h"}), 3));
  s.Pkg("reference.xml", "<broken>");
  ASSERT_TRUE(ExitedWith(Run({}), 7));
  EXPECT_EQ(s.Log(), one + one + kBanner + kLoading + "FAILED!\n");
}

TEST_F(Program, LogCreatedBesideExistingVarFiles) {
  // The scenario's own /var/zrn replaces the host's: only its files show.
  s.Pkg("reference.xml", kReference).File("/var/zrn/other.log", "kept\n");
  ASSERT_TRUE(ExitedWith(Run({"/s"}), 7));
  EXPECT_EQ(s.Log(), kBanner + kLoading + "done.\n" + kDiscovery + kNoAdapters);
  EXPECT_EQ(s.Read("/var/zrn/other.log"), "kept\n");
}

// ---- A log that cannot be written: /var/zrn is a regular file, so neither
// the directory nor the log file can be made. Every message still reaches
// the console unless silent, each followed by the error line, silent or not.

TEST_F(Program, UnwritableLogReportsEachMessage) {
  const std::vector<std::string> failed = {kBanner, kLoading, "FAILED!\n"};
  const std::vector<std::string> no_adapters = {kBanner, kLoading, "done.\n", kDiscovery,
                                                kNoAdapters};
  struct Case {
    const char* what;
    bool reference;
    Args args;
    const std::vector<std::string>* messages;
    bool silent;
    int code;
  } cases[] = {
      {"no reference", false, {}, &failed, false, 7},
      {"no reference, silent", false, {"/s"}, &failed, true, 7},
      {"no adapters", true, {}, &no_adapters, false, 7},
      {"no adapters, silent", true, {"/s"}, &no_adapters, true, 7},
      {"no adapters, /d", true, {"/d", "out.xml"}, &no_adapters, false, 7},
  };
  for (const Case& c : cases) {
    Scenario machine;
    KeepOnFailure keep(machine);
    machine.File("/var/zrn", "a file, not a directory\n");
    if (c.reference) machine.Pkg("reference.xml", kReference);
    RunResult r = machine.Run(kProgram, c.args);
    ASSERT_TRUE(ExitedWith(r, c.code)) << c.what;
    std::string expected;
    for (const std::string& message : *c.messages) {
      expected += (c.silent ? "" : message) + kLogError;
    }
    EXPECT_EQ(r.out, expected) << c.what;
    EXPECT_EQ(machine.Read("/var/zrn"), "a file, not a directory\n") << c.what;
  }
}

TEST_F(Program, UnwritableLogDoesNotTouchHelp) {
  s.File("/var/zrn", "a file\n");
  RunResult r = Run({"/s", "/h"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kUsage);
  RunResult bad = Run({"/d"});
  ASSERT_TRUE(ExitedWith(bad, 7));
  EXPECT_EQ(bad.out, kUsage + kParseError);
}

}  // namespace
}  // namespace zrn_sim
