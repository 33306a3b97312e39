// The logger: console unless silent, always appended to the log file exactly
// as given; a log that cannot be written is reported after every message.
#include "core/log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
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

// ---- What another user may have left at the log's path, or at /var/zrn.

const char kVictim[] = "/var/victim";   // a root-only file elsewhere
const char kElsewhere[] = "/var/made";  // where a dangling link points
constexpr uid_t kOtherUser = 4321;

struct stat LinkStat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

// One silent message and the check a tool's redirection gets: what reached
// the console, and whether the log's path then holds the log.
struct LogOutcome {
  std::string console;
  bool ready;
};
LogOutcome LogOneMessage() {
  CLog log;
  log.SetSilent(true);
  testing::internal::CaptureStdout();
  log.Log("message\n");
  const bool ready = log.ReadyForAppend();
  return {testing::internal::GetCapturedStdout(), ready};
}

class HostileLogTest : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    std::filesystem::remove_all(kElsewhere);
    WriteFile(kVictim, "root only\n");
    ASSERT_EQ(chmod(kVictim, 0600), 0);
    ASSERT_TRUE(std::filesystem::create_directory("/var/zrn"));
  }
  // Nothing outside /var/zrn was written or created.
  void ExpectNothingElseTouched() {
    EXPECT_EQ(ReadFile(kVictim), "root only\n");
    EXPECT_EQ(LinkStat(kVictim).st_nlink, 1u);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(kElsewhere)));
  }
};

// A symbolic link at the log's path: the name is removed and the log
// created anew, holding only this run's text; nothing it led to is written
// or created.
TEST_F(HostileLogTest, LinkAtTheLogPathIsReplaced) {
  const struct {
    const char* what;
    std::function<void()> make;
  } kCases[] = {
      {"symbolic link to a root-only file", [] { ASSERT_EQ(symlink(kVictim, kLogPath), 0); }},
      {"dangling symbolic link", [] { ASSERT_EQ(symlink(kElsewhere, kLogPath), 0); }},
      {"symbolic link to a directory", [] { ASSERT_EQ(symlink("/var", kLogPath), 0); }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("/var/zrn");
    std::filesystem::create_directory("/var/zrn");
    c.make();
    const LogOutcome out = LogOneMessage();
    EXPECT_EQ(out.console, "");
    EXPECT_TRUE(out.ready);
    const struct stat st = LinkStat(kLogPath);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(ReadFile(kLogPath), "message\n");
    ExpectNothingElseTouched();
  }
}

std::string ForeignLog(int n) { return std::string(kLogPath) + ".foreign." + std::to_string(n); }

// A regular file at the log's path that is not our log (someone else's, as
// after a restore, or a second name of another file) is neither written nor
// removed: it is moved aside to the first Component.log.foreign.N not
// taken, text, owner and mode kept, and the log is created anew. A name
// already taken is never replaced.
TEST_F(HostileLogTest, ForeignFileAtTheLogPathIsMovedAside) {
  const struct {
    const char* what;
    std::function<void()> make;
    const char* text;
    uid_t owner;
    nlink_t links;
  } kCases[] = {
      {"another user's file",
       [] {
         WriteFile(kLogPath, "theirs\n");
         ASSERT_EQ(chmod(kLogPath, 0600), 0);
         ASSERT_EQ(chown(kLogPath, kOtherUser, kOtherUser), 0);
       },
       "theirs\n", kOtherUser, 1},
      {"hard link to a root-only file", [] { ASSERT_EQ(link(kVictim, kLogPath), 0); },
       "root only\n", 0, 2},
  };
  for (const auto& c : kCases) {
    for (int taken : {0, 2}) {
      SCOPED_TRACE(std::string(c.what) + ", names taken: " + std::to_string(taken));
      std::filesystem::remove_all("/var/zrn");
      std::filesystem::create_directory("/var/zrn");
      for (int n = 1; n <= taken; ++n) WriteFile(ForeignLog(n), "taken\n");
      c.make();
      const LogOutcome out = LogOneMessage();
      EXPECT_EQ(out.console, "");
      EXPECT_TRUE(out.ready);
      const struct stat log = LinkStat(kLogPath);
      EXPECT_EQ(log.st_uid, 0u);
      EXPECT_EQ(log.st_nlink, 1u);
      EXPECT_EQ(ReadFile(kLogPath), "message\n");
      for (int n = 1; n <= taken; ++n) EXPECT_EQ(ReadFile(ForeignLog(n)), "taken\n");
      const struct stat aside = LinkStat(ForeignLog(taken + 1));
      EXPECT_EQ(ReadFile(ForeignLog(taken + 1)), c.text);
      EXPECT_EQ(aside.st_uid, c.owner);
      EXPECT_EQ(aside.st_nlink, c.links);
      EXPECT_EQ(aside.st_mode & 07777, 0600u);
      EXPECT_FALSE(std::filesystem::exists(ForeignLog(taken + 2)));
      EXPECT_EQ(ReadFile(kVictim), "root only\n");
      std::filesystem::remove(ForeignLog(taken + 1));
    }
  }
}

// When every foreign-log name is taken the file stays as it is, and the log
// cannot be written rather than take anyone's text.
TEST_F(HostileLogTest, ForeignFileStaysWhenEveryNameIsTaken) {
  for (int n = 1; n <= 1000; ++n) WriteFile(ForeignLog(n), "taken\n");
  WriteFile(kLogPath, "theirs\n");
  ASSERT_EQ(chown(kLogPath, kOtherUser, kOtherUser), 0);
  const LogOutcome out = LogOneMessage();
  EXPECT_EQ(out.console, kLogError);
  EXPECT_FALSE(out.ready);
  EXPECT_EQ(ReadFile(kLogPath), "theirs\n");
  EXPECT_EQ(LinkStat(kLogPath).st_uid, kOtherUser);
  EXPECT_EQ(ReadFile(ForeignLog(1000)), "taken\n");
  EXPECT_FALSE(std::filesystem::exists(ForeignLog(1001)));
}

// What cannot be made the log stays where it is, and the log cannot be
// written: each message is followed by the error line, and a tool's output
// must not be sent there. A FIFO never keeps the logger waiting.
TEST_F(HostileLogTest, PathThatCannotHoldTheLogIsUnwritable) {
  const struct {
    const char* what;
    std::function<void()> make;
    mode_t type;
  } kCases[] = {
      {"directory", [] { ASSERT_TRUE(std::filesystem::create_directory(kLogPath)); }, S_IFDIR},
      {"FIFO", [] { ASSERT_EQ(mkfifo(kLogPath, 0666), 0); }, S_IFIFO},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("/var/zrn");
    std::filesystem::create_directory("/var/zrn");
    c.make();
    const LogOutcome out = LogOneMessage();
    EXPECT_EQ(out.console, kLogError);
    EXPECT_FALSE(out.ready);
    EXPECT_EQ(LinkStat(kLogPath).st_mode & S_IFMT, c.type);
    ExpectNothingElseTouched();
  }
}

// A FIFO that someone is reading opens at once; it still takes nothing.
TEST_F(HostileLogTest, FifoWithAReaderTakesNothing) {
  ASSERT_EQ(mkfifo(kLogPath, 0666), 0);
  const int reader = open(kLogPath, O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const LogOutcome out = LogOneMessage();
  EXPECT_EQ(out.console, kLogError);
  EXPECT_FALSE(out.ready);
  char byte;
  EXPECT_LE(read(reader, &byte, 1), 0);
  close(reader);
}

// /var/zrn must be a real directory of ours that nobody else may write to:
// only then can no one put a link at the log's path between our check and
// a shell's open. Ours but writable by others (an earlier run under mask
// 000): the write permission is taken away, from the log as well. A link
// (never followed) or someone else's directory: the log cannot be written,
// and nothing is created or changed there.
TEST_F(HostileLogTest, LogDirectoryMustBeOursAndClosedToOthers) {
  const char kTarget[] = "/var/zrn-target";
  const struct {
    const char* what;
    std::function<void()> make;
    bool usable;
  } kCases[] = {
      {"ours, writable by everyone",
       [] {
         ASSERT_EQ(chmod("/var/zrn", 0777), 0);
         WriteFile(kLogPath, "earlier\n");
         ASSERT_EQ(chmod(kLogPath, 0666), 0);
       },
       true},
      {"ours, writable by the group", [] { ASSERT_EQ(chmod("/var/zrn", 0775), 0); }, true},
      {"symbolic link to a directory",
       [&] {
         std::filesystem::remove("/var/zrn");
         ASSERT_TRUE(std::filesystem::create_directory(kTarget));
         ASSERT_EQ(symlink(kTarget, "/var/zrn"), 0);
       },
       false},
      {"dangling symbolic link",
       [&] {
         std::filesystem::remove("/var/zrn");
         ASSERT_EQ(symlink(kTarget, "/var/zrn"), 0);
       },
       false},
      {"another user's, writable by everyone",
       [] {
         ASSERT_EQ(chmod("/var/zrn", 0777), 0);
         ASSERT_EQ(chown("/var/zrn", kOtherUser, kOtherUser), 0);
       },
       false},
      {"another user's, writable only by them",
       [] { ASSERT_EQ(chown("/var/zrn", kOtherUser, kOtherUser), 0); }, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("/var/zrn");
    std::filesystem::remove_all(kTarget);
    std::filesystem::create_directory("/var/zrn");
    ASSERT_EQ(chmod("/var/zrn", 0755), 0);
    c.make();
    const struct stat before = LinkStat("/var/zrn");
    const LogOutcome out = LogOneMessage();
    EXPECT_EQ(out.ready, c.usable);
    if (c.usable) {
      EXPECT_EQ(out.console, "");
      EXPECT_EQ(LinkStat("/var/zrn").st_mode & 07777, 0755u);
      EXPECT_EQ(LinkStat(kLogPath).st_mode & 07777, 0644u);
      EXPECT_NE(ReadFile(kLogPath).find("message\n"), std::string::npos);
    } else {
      EXPECT_EQ(out.console, kLogError);
      const struct stat after = LinkStat("/var/zrn");
      EXPECT_EQ(after.st_mode, before.st_mode);
      EXPECT_EQ(after.st_uid, before.st_uid);
      EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(kLogPath)));
      EXPECT_FALSE(std::filesystem::exists(std::string(kTarget) + "/Component.log"));
    }
    ExpectNothingElseTouched();
  }
}

}  // namespace
}  // namespace zrn_test
