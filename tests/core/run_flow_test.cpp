// The run from "reference.xml" to the exit code, through a component whose
// discovery a test scripts; console and log bytes compared whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "core/run_codes.h"
#include "core/run_program.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

const std::string kBanner = "---------------------------------------------------\n";
const std::string kLoaded = kBanner + "Loading references...done.\nPerforming discovery...\n";
const char kReferences[] =
    "<marvo_fchba_reference><devices>"
    "<device><type value=\"FC HBA\"/><device_id value=\"1077.2532.1077.015D\"/></device>"
    "<device><type value=\"second\"/><device_id value=\"1077.2532.1077.015d\"/></device>"
    "<device><device_id value=\"\"/></device>"
    "</devices></marvo_fchba_reference>";

struct Outcome {
  int code;
  std::string console, log;
};

class RunFlowTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    WriteFile("reference.xml", kReferences);
  }

  // Hands `args` to the component as main does, capturing the console.
  Outcome ParseAndRun(TestComponent& cmp, std::initializer_list<const char*> args) {
    std::vector<const char*> argv(args);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = RunProgram(cmp, static_cast<int>(argv.size()), argv.data());
    testing::internal::GetCapturedStderr();
    return {code, testing::internal::GetCapturedStdout(), ReadFile(kLogPath)};
  }
};

// Help and a rejected command line end before the run: nothing is loaded or
// logged, and only the parse error has an exit code of its own.
TEST_F(RunFlowTest, CommandLineOutcomesBeforeTheRun) {
  const std::string usage =
      "KTXXXXXX.tolux [options]\n    options\n    --------------------------\n"
      "    /f = Force the installation\n    /s = Execute silently\n"
      "    /d [path] = Perform self-discovery and output to [path]\n";
  const struct {
    std::vector<const char*> args;
    std::string console;
    int code;
  } kCases[] = {
      {{"prog", "/h"}, usage, kExitNothingDone},
      {{"prog", "/s", "-h", "/d"}, usage, kExitNothingDone},
      {{"prog", "/d"}, usage + "ERROR! : Failed to parse command line\n", kExitFailure},
      {{"prog", "/s", "/d"}, usage + "ERROR! : Failed to parse command line\n", kExitFailure},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.back());
    TestComponent cmp;
    cmp.discover = [] {
      ADD_FAILURE() << "the run went on after the command line";
      return true;
    };
    testing::internal::CaptureStdout();
    const int code = RunProgram(cmp, static_cast<int>(c.args.size()), c.args.data());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.console);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(ReadFile(kLogPath), "");
  }
}

TEST_F(RunFlowTest, MissingOrBrokenReferencesFail) {
  const std::string expected = kBanner + "Loading references...FAILED!\n";
  for (const char* content : {static_cast<const char*>(nullptr), "", "<broken>"}) {
    SCOPED_TRACE(content ? content : "(no file)");
    std::filesystem::remove_all("/var/zrn");
    if (content) {
      WriteFile("reference.xml", content);
    } else {
      std::filesystem::remove("reference.xml");
    }
    TestComponent cmp;
    cmp.discover = [] {
      ADD_FAILURE() << "discovery after a failed load";
      return true;
    };
    const Outcome out = ParseAndRun(cmp, {"prog", "/f"});
    EXPECT_EQ(out.code, 7);
    EXPECT_EQ(out.console, expected);
    EXPECT_EQ(out.log, expected);
  }
}

TEST_F(RunFlowTest, NoAdaptersEndsWithSeven) {
  for (bool discover : {false, true}) {
    SCOPED_TRACE(discover ? "/d" : "flash run");
    TestComponent cmp;
    const Outcome out =
        discover ? ParseAndRun(cmp, {"prog", "/d", "out.xml"}) : ParseAndRun(cmp, {"prog"});
    const std::string expected = kLoaded + "WARNING! : No supported adapters found.\n";
    EXPECT_EQ(out.code, 7);
    EXPECT_EQ(out.console, expected);
    EXPECT_EQ(cmp.discoverDevicesCalls, 0);
    EXPECT_FALSE(std::filesystem::exists("out.xml"));
    std::filesystem::remove(kLogPath);
  }
}

TEST_F(RunFlowTest, BaseDiscoveryFillsTheHeader) {
  TestComponent cmp;
  cmp.AddAdapter("12345678", "9abcdef0");
  cmp.m_discoveryInfo.alt_name = L"stale";
  cmp.m_discoveryInfo.version = L"stale";
  cmp.m_discoveryInfo.takes_effect = L"stale";
  const Outcome out = ParseAndRun(cmp, {"prog", "/s", "/d", "out.xml"});
  EXPECT_EQ(out.code, 3);
  EXPECT_EQ(out.console, "");
  EXPECT_EQ(out.log, kLoaded + "Generating self-discovery XML...done.\n");
  EXPECT_EQ(cmp.discoverDevicesCalls, 1);
  EXPECT_EQ(ReadFile("out.xml"), kHeaderOnlyDocument);
}

// The path after "-d" is also examined as an option: "-s" both names the
// file and silences the run.
TEST_F(RunFlowTest, DiscoveryPathThatIsAnOptionNamesTheFileAndTakesEffect) {
  TestComponent cmp;
  cmp.AddAdapter("12345678", "9abcdef0");
  const Outcome out = ParseAndRun(cmp, {"prog", "-d", "-s"});
  EXPECT_EQ(out.code, 3);
  EXPECT_EQ(out.console, "");
  EXPECT_EQ(out.log, kLoaded + "Generating self-discovery XML...done.\n");
  EXPECT_EQ(ReadFile("-s"), kHeaderOnlyDocument);
}

TEST_F(RunFlowTest, HeaderTypeIsEmptyWithoutReferences) {
  WriteFile("reference.xml", "<marvo_fchba_reference/>");
  TestComponent cmp;
  cmp.AddAdapter("N/A", "N/A");
  const Outcome out = ParseAndRun(cmp, {"prog", "/d", "out.xml"});
  EXPECT_EQ(out.code, 3);
  EXPECT_EQ(cmp.m_discoveryInfo.type, L"");
  EXPECT_NE(ReadFile("out.xml").find("  <type value=\"\"/>\n"), std::string::npos);
}

TEST_F(RunFlowTest, UnwritableDiscoveryFileStillEndsWithThree) {
  TestComponent cmp;
  cmp.discover = [] { return true; };
  const Outcome out = ParseAndRun(cmp, {"prog", "/d", "no/such/dir/out.xml", "/f"});
  EXPECT_EQ(out.code, 3);
  const std::string expected = kLoaded + "Generating self-discovery XML...FAILED!\ndone.\n";
  EXPECT_EQ(out.console, expected);
  EXPECT_EQ(out.log, expected);
  EXPECT_EQ(cmp.flashCalls, 0);
}

TEST_F(RunFlowTest, FailedVendorDiscoveryEndsWithSevenSilently) {
  TestComponent cmp;
  cmp.discover = [] { return false; };
  const Outcome out = ParseAndRun(cmp, {"prog", "/f"});
  EXPECT_EQ(out.code, 7);
  EXPECT_EQ(out.console, kLoaded);
}

// Memory that runs out while the component is made or while it runs ends
// the run with 7 instead of an abort; every message logged before is in the
// log, and nothing is added.
class OutOfMemoryInDiscovery : public CBaseCmp {
 public:
  bool Discover() override { throw std::bad_alloc(); }
};
class OutOfMemoryWhenMade : public CBaseCmp {
 public:
  OutOfMemoryWhenMade() { throw std::bad_alloc(); }
};

TEST_F(RunFlowTest, MemoryThatRunsOutEndsTheRunWithSeven) {
  const char* argv[] = {"prog", "/f"};
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunComponent<OutOfMemoryInDiscovery>(2, argv), 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kLoaded);
  EXPECT_EQ(ReadFile(kLogPath), kLoaded);
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunComponent<OutOfMemoryWhenMade>(2, argv), 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFile(kLogPath), kLoaded);
}

struct DecisionCase {
  const char* name;
  std::vector<std::vector<const wchar_t*>> devices;  // actions per device
  bool force;
  int flashResult;
  std::string tail;  // after discovery
  int code;
};

const std::string kFlash = "Performing flash -- DO NOT INTERRUPT!\n";
const std::string kNotice = "NOTICE : No operation was done.\n";

const DecisionCase kDecisions[] = {
    {"all rewrite", {{L"rewrite", L"rewrite"}, {L"rewrite"}}, false, 1, kNotice, 3},
    {"all rewrite, forced",
     {{L"rewrite", L"rewrite"}},
     true,
     1,
     kFlash + "Flash complete [1]\n",
     1},
    {"one upgrade",
     {{L"rewrite"}, {L"downgrade", L"upgrade"}},
     false,
     1,
     kFlash + "Flash complete [1]\n",
     1},
    {"downgrade only", {{L"downgrade"}}, false, 1, kNotice, 3},
    {"unknown and empty", {{L"unknown", L""}}, false, 1, kNotice, 3},
    {"actions are case-sensitive", {{L"Upgrade", L"UPGRADE"}}, false, 1, kNotice, 3},
    {"device without items", {{}}, false, 1, kNotice, 3},
    {"device without items, forced", {{}}, true, 7, kFlash + "Flash complete [7]\n", 7},
    {"no device", {}, false, 1, kNotice, 3},
    {"no device, forced", {}, true, 1, "ERROR! : No supported hardware was found.\n", 3},
    {"tool code passed through", {{L"upgrade"}}, false, 12, kFlash + "Flash complete [12]\n", 12},
    {"negative tool code", {{L"upgrade"}}, false, -1, kFlash + "Flash complete [-1]\n", -1},
};

TEST_F(RunFlowTest, FlashDecisions) {
  for (const DecisionCase& c : kDecisions) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(kLogPath);
    TestComponent cmp;
    cmp.flashResult = c.flashResult;
    cmp.discover = [&cmp, &c] {
      for (const auto& actions : c.devices) {
        DiscoveredDevice device;
        for (const wchar_t* action : actions) {
          device.fw_items.emplace_back();
          device.fw_items.back().action = action;
        }
        cmp.m_discoveryInfo.devices.push_back(device);
      }
      return true;
    };
    const Outcome out = c.force ? ParseAndRun(cmp, {"prog", "-g"}) : ParseAndRun(cmp, {"prog"});
    EXPECT_EQ(out.code, c.code);
    EXPECT_EQ(out.console, kLoaded + c.tail);
    EXPECT_EQ(out.log, kLoaded + c.tail);
    EXPECT_EQ(cmp.flashCalls, c.tail.rfind(kFlash, 0) == 0 ? 1 : 0);
  }
}

TEST_F(RunFlowTest, UnwritableLogKeepsTheExitCode) {
  for (bool full : {false, true})
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(full ? "full file system" : "log is a directory") +
                   (silent ? ", silent" : ""));
      TestComponent cmp;
      std::filesystem::remove_all("/var/zrn");
      std::unique_ptr<FullLogFileSystem> fullFs;
      if (full) {
        fullFs = std::make_unique<FullLogFileSystem>();
        ASSERT_TRUE(fullFs->ok());
      } else {
        std::filesystem::create_directories(kLogPath);  // the log path is a directory
      }
      cmp.flashResult = 12;
      cmp.discover = [&cmp] {
        cmp.AddDevice({L"upgrade"});
        return true;
      };
      const Outcome out = silent ? ParseAndRun(cmp, {"prog", "/s"}) : ParseAndRun(cmp, {"prog"});
      EXPECT_EQ(out.code, 12);
      const std::vector<std::string> messages = {
          kBanner, "Loading references...", "done.\n", "Performing discovery...\n",
          kFlash,  "Flash complete [",      "12",      "]\n"};
      std::string expected;
      for (const std::string& m : messages) {
        expected += (silent ? "" : m) + "ERROR : Unable to write to log file\n";
      }
      EXPECT_EQ(out.console, expected);
    }
}

TEST_F(RunFlowTest, SummarizeActionsRanksUpgradeDowngradeRewrite) {
  const struct {
    std::vector<const wchar_t*> actions;
    int summary;
  } kCases[] = {
      {{}, 0},
      {{L"unknown", L""}, 0},
      {{L"rewrite"}, 2},
      {{L"rewrite", L"downgrade"}, 4},
      {{L"downgrade", L"rewrite", L"upgrade"}, 1},
      {{L"upgrade "}, 0},
  };
  for (const auto& c : kCases) {
    TestComponent cmp;
    // Spread the actions over one device each, so that devices are combined.
    for (const wchar_t* action : c.actions) cmp.AddDevice({action});
    EXPECT_EQ(cmp.SummarizeActions(), c.summary);
    EXPECT_EQ(cmp.HasDevices(), !c.actions.empty());
  }
}

TEST_F(RunFlowTest, AdapterIdentity) {
  const struct {
    const char *vendorDevice, *subsystem;
    std::wstring id;
  } kCases[] = {
      {"12345678", "9abcdef0", L"1234.5678.9abc.def0"},
      {"N/A", "9abcdef0", L"9abc.def0"},
      {"12345678", "n/a", L"1234.5678"},
      {"n/A", "N/A", L""},
      {"", "", L""},
      {"1234", "", L"1234"},
      {"123456789", "", L"1234.5678.9"},
      {"NA", "x", L"NAx"},
  };
  TestComponent cmp;
  for (const auto& c : kCases) cmp.AddAdapter(c.vendorDevice, c.subsystem);
  for (size_t i = 0; i < std::size(kCases); ++i) {
    EXPECT_EQ(cmp.GetAdapterId(static_cast<int>(i)), kCases[i].id) << kCases[i].vendorDevice;
  }
  EXPECT_EQ(cmp.GetAdapterId(-1), L"");
  EXPECT_EQ(cmp.GetAdapterId(static_cast<int>(std::size(kCases))), L"");
}

TEST_F(RunFlowTest, FindReferenceIgnoresCaseAndTakesTheFirst) {
  TestComponent cmp;
  EXPECT_EQ(cmp.FindReference(L"1077.2532.1077.015d"), -1);
  ASSERT_TRUE(cmp.m_referenceSet.Load());
  EXPECT_EQ(cmp.FindReference(L"1077.2532.1077.015d"), 0);
  EXPECT_EQ(cmp.FindReference(L"1077.2532.1077.015D"), 0);
  EXPECT_EQ(cmp.FindReference(L""), 2);
  EXPECT_EQ(cmp.FindReference(L"1077.2532.1077"), -1);
}

}  // namespace
}  // namespace zrn_test
