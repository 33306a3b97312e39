// The command line: every argument in order, the program name included; the
// path after "/d" examined in its own turn; the usage text straight to the
// console, never into the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

const char kUsage[] =
    "KTXXXXXX.tolux [options]\n"
    "    options\n"
    "    --------------------------\n"
    "    /f = Force the installation\n"
    "    /s = Execute silently\n"
    "    /d [path] = Perform self-discovery and output to [path]\n";

struct ParseCase {
  std::vector<const char*> args;
  int result;
  bool silent, force, discover;
  const char* outputPath;
  bool usageShown;
};

const ParseCase kParseCases[] = {
    {{"prog"}, 1, false, false, false, "", false},
    {{"prog", "/s"}, 1, true, false, false, "", false},
    {{"prog", "-s"}, 1, true, false, false, "", false},
    {{"prog", "/f"}, 1, false, true, false, "", false},
    {{"prog", "-f"}, 1, false, true, false, "", false},
    {{"prog", "/e"}, 1, false, true, false, "", false},
    {{"prog", "-e"}, 1, false, true, false, "", false},
    {{"prog", "/g"}, 1, false, true, false, "", false},
    {{"prog", "-g"}, 1, false, true, false, "", false},
    {{"prog", "/h"}, 2, false, false, false, "", true},
    {{"prog", "-h"}, 2, false, false, false, "", true},
    {{"prog", "/d", "out.xml"}, 1, false, false, true, "out.xml", false},
    {{"prog", "/d", "out.xml", "/s"}, 1, true, false, true, "out.xml", false},
    // The path is examined like any argument.
    {{"prog", "/d", "/s"}, 1, true, false, true, "/s", false},
    {{"prog", "-d", "-s"}, 1, true, false, true, "-s", false},
    {{"prog", "/d", "/h"}, 2, false, false, true, "/h", true},
    {{"prog", "/d", "/f"}, 1, false, true, true, "/f", false},
    // A later "/d" takes the later path.
    {{"prog", "/d", "a.xml", "/d", "b.xml"}, 1, false, false, true, "b.xml", false},
    // A trailing "/d" fails, also after "/s".
    {{"prog", "/d"}, 0, false, false, true, "", true},
    {{"prog", "/s", "/d"}, 0, true, false, true, "", true},
    {{"prog", "/d", "x.xml", "/d"}, 0, false, false, true, "x.xml", true},
    // Options take effect as met; parsing stops at "/h".
    {{"prog", "/s", "/f", "/h", "/d"}, 2, true, true, false, "", true},
    {{"prog", "/h", "/s"}, 2, false, false, false, "", true},
    // Only the exact forms count.
    {{"prog", "/S", "--force", "/x", "/F", "-D", "s", "/ s", ""},
     1,
     false,
     false,
     false,
     "",
     false},
    // The program name is an argument too.
    {{"/f"}, 1, false, true, false, "", false},
    {{"/h"}, 2, false, false, false, "", true},
    {{"/d"}, 0, false, false, true, "", true},
    {{}, 1, false, false, false, "", false},
};

class CommandLineTest : public CoreTest {};

TEST_F(CommandLineTest, ArgumentTable) {
  for (const ParseCase& c : kParseCases) {
    std::string joined;
    for (const char* a : c.args) joined += std::string("[") + a + "]";
    SCOPED_TRACE(joined);
    TestComponent cmp;
    testing::internal::CaptureStdout();
    const int result = cmp.ParseCommandLine(static_cast<int>(c.args.size()), c.args.data());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(cmp.m_silent, c.silent);
    EXPECT_EQ(cmp.m_force, c.force);
    EXPECT_EQ(cmp.m_discover, c.discover);
    EXPECT_EQ(cmp.m_outputPath, c.outputPath);
    EXPECT_EQ(out, c.usageShown ? kUsage : "");
  }
  // Parsing logs nothing, and the usage text never reaches the log.
  EXPECT_EQ(ReadFile(kLogPath), "");
}

TEST_F(CommandLineTest, SilentFlagSilencesTheLogger) {
  TestComponent cmp;
  ASSERT_EQ(cmp.Parse({"prog", "-s"}), 1);
  testing::internal::CaptureStdout();
  cmp.m_log.Log("quiet");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFile(kLogPath), "quiet");
}

TEST_F(CommandLineTest, HelpOnlyRunCreatesAnEmptyLog) {
  ASSERT_FALSE(std::filesystem::exists("/var/zrn"));
  TestComponent cmp;
  testing::internal::CaptureStdout();
  EXPECT_EQ(cmp.Parse({"prog", "/s", "/h"}), 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kUsage);
  EXPECT_TRUE(std::filesystem::is_directory("/var/zrn"));
  EXPECT_TRUE(std::filesystem::is_regular_file(kLogPath));
  EXPECT_EQ(ReadFile(kLogPath), "");
}

}  // namespace
}  // namespace zrn_test
