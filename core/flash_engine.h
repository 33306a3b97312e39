// RunFlashEngine: the part of every vendor's Flash that runs the vendor's
// tool. The vendor builds the command text and turns the code into the run's
// exit code with its own table; this logs the command, runs it once through
// the shell and logs the tool's exit code.
#ifndef ZRN_CORE_FLASH_ENGINE_H_
#define ZRN_CORE_FLASH_ENGINE_H_

#include <string>

#include "core/log.h"

// Appended to a flash command so that the tool's standard output, standard
// error and descriptor 3 land in the component log, between the messages.
extern const char kLogRedirection[];

// The code of a command that did not run because the log's path could not be
// made to hold the log: what a shell returns when it cannot open a
// redirection's file, and a failure in every vendor's table.
constexpr int kLogRedirectionFailed = 2;

// Logs "Executing flash engine: ", `shown` and "\n"; when `tool` is not empty,
// runs "chmod 755 <tool>" (executable for everyone, writable only by its
// owner; the result is not looked at); runs `command`, which appends to the
// log through kLogRedirection, through the shell once the log's path holds
// the log itself (CLog::ReadyForAppend), else takes kLogRedirectionFailed;
// logs "Flash Engine exit code: ", the code and "\n"; returns the code
// (ToolExitCode: 128 plus the signal for a tool that was killed).
[[nodiscard]] int RunFlashEngine(CLog& log, const std::string& shown, const std::string& command,
                                 const std::string& tool);

#endif  // ZRN_CORE_FLASH_ENGINE_H_
