#include "core/flash_engine.h"

#include "core/run_command.h"

const char kLogRedirection[] =
    "1>> /var/zrn/Component.log 2>> /var/zrn/Component.log 3>> /var/zrn/Component.log";

int RunFlashEngine(CLog& log, const std::string& shown, const std::string& command,
                   const std::string& tool) {
  log.Log("Executing flash engine: ").Log(shown).Log("\n");
  if (!tool.empty()) RunShell("chmod 755 " + tool);
  // The shell opens the log by its path: a link put there would take the
  // tool's output elsewhere, and a FIFO there would keep the shell waiting.
  const int code = log.ReadyForAppend() ? ToolExitCode(RunShell(command)) : kLogRedirectionFailed;
  log.Log("Flash Engine exit code: ").Log(code).Log("\n");
  return code;
}
