// RunProgram: everything a vendor's main does once it has constructed its
// component. It parses the command line and either ends there (help, or a
// rejected command line) or runs the component, and returns the process
// exit code. main and the tests call this same function.
#ifndef ZRN_CORE_RUN_PROGRAM_H_
#define ZRN_CORE_RUN_PROGRAM_H_

class CBaseCmp;

// kParseFailed: writes "ERROR! : Failed to parse command line" and a newline
// straight to standard output (never to the log, shown even in a silent run)
// and returns kExitFailure. kParseHelp: returns kExitNothingDone. Otherwise
// the result of component.Run().
[[nodiscard]] int RunProgram(CBaseCmp& component, int argc, const char* const* argv);

#endif  // ZRN_CORE_RUN_PROGRAM_H_
