// RunCommand, ReadStream, the flash engine's run of a tool, the process's
// starting state and the text conversions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "core/flash_engine.h"
#include "core/log.h"
#include "core/run_command.h"
#include "core/run_program.h"
#include "core/text.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

TEST(RunCommandTest, CollectsStandardOutput) {
  const std::string longLine(300, 'x');
  const struct {
    std::string command, output;
  } kCases[] = {
      {"true", ""},
      {"printf ''", ""},
      {"printf 'one\\ntwo\\n'", "one\ntwo\n"},
      {"printf 'no newline'", "no newline"},
      // Longer than one chunk: arrives whole.
      {"printf '%s\\n' " + longLine, longLine + "\n"},
      // Exit status is not looked at.
      {"echo out; exit 5", "out\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(RunCommand(c.command), c.output);
  }
}

TEST(RunCommandTest, StandardErrorIsNotCaptured) {
  testing::internal::CaptureStderr();
  const std::string out = RunCommand("echo to-err >&2; echo to-out");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to-err\n");
  EXPECT_EQ(out, "to-out\n");
}

TEST(ReadStreamTest, StopsOnReadError) {
  // Reading a directory fails at once without ever reaching end of file.
  FILE* dir = std::fopen("/", "r");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(ReadStream(dir), "");
  EXPECT_TRUE(std::ferror(dir));
  std::fclose(dir);
}

TEST(RunCommandTest, OutputThatNeverEndsIsReadUpToTheBound) {
  // A command that prints forever is read up to the bound and then left:
  // closing the pipe ends it. NUL bytes count toward the bound though they
  // add nothing to the text.
  const std::string endless = RunCommand("yes");
  EXPECT_EQ(endless.size(), kMaxCommandOutputBytes);
  EXPECT_EQ(endless.substr(0, 4), "y\ny\n");
  EXPECT_EQ(RunCommand("cat /dev/zero"), "");
  // A NUL ends its chunk's text (the rest of that line is lost), not the
  // reading.
  EXPECT_EQ(RunCommand("printf 'a\\0b\\nc\\n'"), "ac\n");
}

class ProcessTest : public CoreTest {};

// Console text written so far is out before a command starts: the command
// reads the file standard output goes to and finds it there.
TEST_F(ProcessTest, PendingConsoleTextIsWrittenBeforeEveryCommand) {
  const struct {
    const char* what;
    std::function<std::string()> run;
  } kCases[] = {
      {"RunShell",
       [] { return RunShell("cat console > seen") == 0 ? ReadFile("seen") : "failed"; }},
      {"RunCommand", [] { return RunCommand("cat console"); }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::cout.flush();
    std::fflush(stdout);
    const int saved = dup(1);
    const int console = open("console", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(saved, 0);
    ASSERT_GE(console, 0);
    ASSERT_EQ(dup2(console, 1), 1);
    close(console);
    std::cout << "Performing flash -- DO NOT INTERRUPT!\n"
              << "no newline yet";
    const std::string seen = c.run();
    std::cout.flush();
    std::fflush(stdout);
    ASSERT_EQ(dup2(saved, 1), 1);
    close(saved);
    EXPECT_EQ(seen, "Performing flash -- DO NOT INTERRUPT!\nno newline yet");
    EXPECT_EQ(ReadFile("console"), "Performing flash -- DO NOT INTERRUPT!\nno newline yet");
  }
}

// The caller's mask is kept with 022 added, so a stricter mask keeps what
// the run creates private and a looser one cannot make it writable by
// others; an ignored SIGCHLD does not reach the program: a command's exit
// status is read (with SIGCHLD ignored, system() cannot collect its shell
// and returns -1), and under a caller's 000 the log directory and log are
// made 0755 and 0644.
TEST_F(ProcessTest, PrepareProcessAddsToTheCallersMaskAndUndoesSigchld) {
  const struct {
    mode_t caller, expected;
  } kMasks[] = {{000, 022}, {022, 022}, {002, 022},  {027, 027},
                {077, 077}, {007, 027}, {0777, 0777}};
  const mode_t callerMask = umask(0);
  const auto callerSigchld = std::signal(SIGCHLD, SIG_IGN);
  for (const auto& m : kMasks) {
    SCOPED_TRACE(m.caller);
    umask(m.caller);
    PrepareProcess();
    EXPECT_EQ(umask(0), m.expected);
  }
  const auto sigchld = std::signal(SIGCHLD, SIG_IGN);
  umask(callerMask);
  EXPECT_EQ(sigchld, SIG_DFL);

  umask(0);
  std::signal(SIGCHLD, SIG_IGN);
  PrepareProcess();
  int shellStatus;
  {
    CLog log;
    shellStatus = RunShell("exit 5");
  }
  umask(callerMask);
  std::signal(SIGCHLD, callerSigchld);
  EXPECT_EQ(ToolExitCode(shellStatus), 5);
  struct stat st;
  ASSERT_EQ(stat("/var/zrn", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(stat(kLogPath, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// A console nobody reads makes writes fail instead of ending the process,
// while the commands the program runs get SIGPIPE at its default (a
// disposition of "ignore" would reach them through exec).
TEST_F(ProcessTest, PrepareProcessSurvivesABrokenPipeButCommandsDoNot) {
  struct sigaction caller;
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &caller), 0);
  PrepareProcess();
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  errno = 0;
  EXPECT_EQ(write(ends[1], "x", 1), -1);  // still here to see the failure
  EXPECT_EQ(errno, EPIPE);
  close(ends[1]);
  EXPECT_EQ(ToolExitCode(RunShell("kill -PIPE $$")), 128 + SIGPIPE);
  sigaction(SIGPIPE, &caller, nullptr);
}

class FlashEngineTest : public CoreTest {};

// The tool's output is appended to the log by the log's path: a link found
// there right before the command is removed first, so the output lands in
// the log and nowhere else. (The chmod step, given a tool path that also
// puts the link there, does so after the last message and before the
// command.)
TEST_F(FlashEngineTest, ToolOutputNeverGoesThroughALink) {
  CLog log;
  log.SetSilent(true);
  WriteFile("/var/victim", "root only\n");
  ASSERT_EQ(chmod("/var/victim", 0600), 0);
  WriteFile("tool", "");
  const std::string tool =
      std::string("./tool; rm ") + kLogPath + "; ln -s /var/victim " + kLogPath;
  const int code =
      RunFlashEngine(log, "./tool", std::string("echo tool output ") + kLogRedirection, tool);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile("/var/victim"), "root only\n");
  // The log was removed with the link's making: it starts anew.
  EXPECT_EQ(ReadFile(kLogPath), "tool output\nFlash Engine exit code: 0\n");
  EXPECT_FALSE(std::filesystem::is_symlink(kLogPath));
}

// A log path that cannot hold the log: the command is not run (a FIFO there
// would keep the shell waiting for a reader; a directory fails its
// redirection), and the code is that of a failed redirection.
TEST_F(FlashEngineTest, ToolDoesNotRunWhenTheLogCannotBeMade) {
  for (bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "directory");
    CLog log;
    log.SetSilent(true);
    std::filesystem::remove_all(kLogPath);
    if (fifo) {
      ASSERT_EQ(mkfifo(kLogPath, 0666), 0);
    } else {
      ASSERT_TRUE(std::filesystem::create_directory(kLogPath));
    }
    testing::internal::CaptureStdout();
    const int code = RunFlashEngine(log, "./tool", std::string("touch ran ") + kLogRedirection, "");
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, kLogRedirectionFailed);
    EXPECT_FALSE(std::filesystem::exists("ran"));
    std::string expected;
    for (int i = 0; i < 6; ++i) expected += "ERROR : Unable to write to log file\n";
    EXPECT_EQ(console, expected);
  }
}

TEST(TextTest, ToWideDecodesInTheDefaultLocale) {
  EXPECT_EQ(ToWide(""), L"");
  EXPECT_EQ(ToWide("QLE2562 v2.10"), L"QLE2562 v2.10");
  EXPECT_EQ(ToWide(nullptr), L"");
  // Bytes outside ASCII do not decode in the "C" locale: the text ends there.
  EXPECT_EQ(ToWide("ab\xC3\xA9"
                   "cd"),
            L"ab");
}

TEST(TextTest, ByteWiseWideningRoundTrips) {
  const std::wstring wide = WidenBytes("a\xC3\xA9\x7F");
  EXPECT_EQ(wide,
            (std::wstring{L'a', static_cast<wchar_t>(-61), static_cast<wchar_t>(-87), L'\x7F'}));
  EXPECT_EQ(NarrowBytes(wide), "a\xC3\xA9\x7F");
  EXPECT_EQ(WidenBytes(""), L"");
  // Only the low 8 bits of a wide character survive.
  EXPECT_EQ(NarrowBytes(std::wstring{L'\x1234', L'\x41'}),
            "\x34"
            "A");
}

}  // namespace
}  // namespace zrn_test
