// The logger: console unless silent, always appended to the log file exactly
// as given; a log that cannot be written is reported after every message.
#include "core/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

const char kLogError[] = "ERROR : Unable to write to log file\n";

class LogTest : public CoreTest {};

TEST_F(LogTest, ConstructorCreatesDirectoryAndFileAndKeepsOldContent) {
  { CLog log; }
  EXPECT_TRUE(std::filesystem::is_directory("/var/zrn"));
  EXPECT_EQ(ReadFile(kLogPath), "");
  WriteFile(kLogPath, "earlier run\n");
  CLog log;
  testing::internal::CaptureStdout();
  log.Log("next\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "next\n");
  EXPECT_EQ(ReadFile(kLogPath), "earlier run\nnext\n");
}

TEST_F(LogTest, MessagesGoToConsoleAndFileUnchanged) {
  CLog log;
  testing::internal::CaptureStdout();
  log.Log("Loading references...").Log("done.\n");
  log.Log("Flash complete [").Log(3).Log("]\n");
  log.Log(-12).Log(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Loading references...done.\nFlash complete [3]\n-120");
  EXPECT_EQ(ReadFile(kLogPath), "Loading references...done.\nFlash complete [3]\n-120");
}

TEST_F(LogTest, SilentLoggerWritesOnlyTheFile) {
  CLog log;
  log.SetSilent(true);
  testing::internal::CaptureStdout();
  log.Log("a").Log(42).Log(std::wstring(L"b")).Log("\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFile(kLogPath), "a42b\n");
}

TEST_F(LogTest, FileIsReopenedForEveryMessage) {
  CLog log;
  log.SetSilent(true);
  log.Log("before\n");
  // A flash tool appends to the same file between two messages.
  {
    std::ofstream tool(kLogPath, std::ios::app);
    tool << "tool output\n";
  }
  log.Log("after\n");
  EXPECT_EQ(ReadFile(kLogPath), "before\ntool output\nafter\n");
}

TEST_F(LogTest, UnwritableLogIsReportedAfterEveryMessage) {
  CLog log;
  std::filesystem::remove(kLogPath);
  std::filesystem::create_directory(kLogPath);
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent" : "console");
    log.SetSilent(silent);
    testing::internal::CaptureStdout();
    log.Log("Loading references...").Log(7).Log(std::wstring(L"w")).Log("done.\n");
    const std::string expected = silent ? std::string(kLogError) + kLogError + kLogError + kLogError
                                        : std::string("Loading references...") + kLogError + "7" +
                                              kLogError + "w" + kLogError + "done.\n" + kLogError;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
  }
}

// The log opens but takes nothing: a full /var. Every message is still shown
// (unless silent) and followed by the error line, as for a log that does not
// open; an empty message writes nothing and so reports nothing.
TEST_F(LogTest, FullFileSystemIsReportedAfterEveryMessage) {
  CLog log;
  FullLogFileSystem full;
  ASSERT_TRUE(full.ok());
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent" : "console");
    log.SetSilent(silent);
    testing::internal::CaptureStdout();
    log.Log("Flash complete [").Log(12).Log("]\n").Log("");
    const std::string expected =
        silent ? std::string(kLogError) + kLogError + kLogError
               : std::string("Flash complete [") + kLogError + "12" + kLogError + "]\n" + kLogError;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
    EXPECT_EQ(ReadFile(kLogPath), "");
  }
}

TEST_F(LogTest, WideTextKeepsStandardOutputNarrow) {
  CLog log;
  testing::internal::CaptureStdout();
  log.Log(std::wstring(L"wide ")).Log("narrow ").Log(5);
  // A character the "C" locale cannot encode is replaced, not dropped silently.
  log.Log(std::wstring(L"x\u00e9y"));
  std::cout << " after";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "wide narrow 5x?y after");
  EXPECT_LE(fwide(stdout, 0), 0);
  EXPECT_EQ(ReadFile(kLogPath), "wide narrow 5x?y");
}

}  // namespace
}  // namespace zrn_test
