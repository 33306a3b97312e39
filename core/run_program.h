// RunProgram: everything a vendor's main does once it has constructed its
// component. It parses the command line and either ends there (help, or a
// rejected command line) or runs the component, and returns the process
// exit code. RunComponent adds the component's construction and turns
// memory that runs out into a failure. main and the tests call these same
// functions.
#ifndef ZRN_CORE_RUN_PROGRAM_H_
#define ZRN_CORE_RUN_PROGRAM_H_

#include <new>

#include "core/run_codes.h"

class CBaseCmp;

// Puts the process in the state its files and commands rely on, whatever the
// caller left it in; main calls it before anything else. The file-creation
// mask keeps what the caller's takes away and also takes away the group's
// and others' write permission (mask | 022): nothing the program or its
// tools create is writable by others, and what a stricter mask such as 077
// or 027 keeps private stays private.
// SIGCHLD gets its default disposition back: an inherited "ignore" has the
// kernel reap every child at once, so that system() cannot collect its shell
// and a tool that succeeded would read as failed. SIGPIPE is caught and
// dropped: when whoever reads the console has gone (an installer's pipe
// closed), the console text is lost but the run goes on, so the log stays
// whole and the flash tool's code still becomes the exit code. The vendor
// tools start with SIGPIPE at its default, as a caught signal is not
// inherited through exec.
void PrepareProcess();

// kParseFailed: writes "ERROR! : Failed to parse command line" and a newline
// straight to standard output (never to the log, shown even in a silent run)
// and returns kExitFailure. kParseHelp: returns kExitNothingDone. Otherwise
// the result of component.Run().
[[nodiscard]] int RunProgram(CBaseCmp& component, int argc, const char* const* argv);

// What main does after PrepareProcess: constructs the vendor's component,
// hands it to RunProgram and returns the exit code, the component destroyed
// on every path. Memory that runs out anywhere in the run ends it as a
// failure, kExitFailure with no further text, instead of an abort: this is
// the one place every allocation of the run unwinds to, with the component
// and all it owns released on the way. The log is whole up to that point,
// since every message is written to it when it is logged.
template <class Component>
[[nodiscard]] int RunComponent(int argc, const char* const* argv) {
  try {
    Component component;
    return RunProgram(component, argc, argv);
  } catch (const std::bad_alloc&) {
    return kExitFailure;
  }
}

#endif  // ZRN_CORE_RUN_PROGRAM_H_
