// The steps every vendor flash shares: the redirection that sends a flash
// tool's output into the component log, running the tool through the shell,
// and turning the shell's status into the tool's exit code.
//
// What a vendor adds (its command text, its "chmod", what it logs before the
// run and its exit-status table) stays in the vendor's component.
#ifndef ZRN_VENDORS_FLASH_ENGINE_H_
#define ZRN_VENDORS_FLASH_ENGINE_H_

#include <string>

#include "core/log.h"

// Appended to a flash command: the tool's standard output, standard error and
// descriptor 3 are appended to "/var/zrn/Component.log".
extern const char kToolOutputToLog[];

// The tool's exit code from a system() status: the code the shell exited
// with; 128 plus the signal number when the shell was killed by a signal (as
// shells report a killed command), so that a killed tool never reads as code
// 0; and 255 when no shell could be started (status -1).
[[nodiscard]] int ToolExitCode(int status);

// Runs the command through the shell, logs "Flash Engine exit code: ", the
// code and "\n", and returns the code (ToolExitCode of the status).
[[nodiscard]] int RunFlashEngine(CLog& log, const std::string& command);

#endif  // ZRN_VENDORS_FLASH_ENGINE_H_
