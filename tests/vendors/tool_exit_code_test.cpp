// The tool's exit code from real wait statuses: a normal exit gives its code,
// a tool (or shell) killed by a signal gives 128 plus the signal number, so
// it can never read as success.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "core/run_command.h"

namespace {

// The wait status of a child that exits with `code`, or dies of `signal`.
int StatusOfChild(int code, int signal) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (signal != 0) raise(signal);
    _exit(code);
  }
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return status;
}

TEST(ToolExitCode, FromWaitStatuses) {
  const struct {
    int code, signal, expected;
  } kCases[] = {
      {0, 0, 0}, {1, 0, 1}, {3, 0, 3}, {255, 0, 255}, {0, SIGKILL, 137}, {0, SIGTERM, 143},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ToolExitCode(StatusOfChild(c.code, c.signal)), c.expected)
        << "code " << c.code << ", signal " << c.signal;
  }
  EXPECT_EQ(ToolExitCode(-1), 255);  // no shell could be started
}

}  // namespace
