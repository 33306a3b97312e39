#include "vendors/flash_engine.h"

#include <sys/wait.h>

#include "core/run_command.h"

const char kToolOutputToLog[] =
    " 1>> /var/zrn/Component.log 2>> /var/zrn/Component.log 3>> /var/zrn/Component.log";

int ToolExitCode(int status) {
  if (status == -1) return 255;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  // Stopped or anything else that is not a normal exit: a failure all the same.
  return 255;
}

int RunFlashEngine(CLog& log, const std::string& command) {
  const int code = ToolExitCode(RunShell(command));
  log.Log("Flash Engine exit code: ").Log(code).Log("\n");
  return code;
}
