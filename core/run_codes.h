// The run's named codes: the three results of CBaseCmp::ParseCommandLine and
// the exit codes the run itself decides. RunProgram (core/run_program.h) is
// the one place that turns a parse result into an exit code.
//
// Exit codes travel as plain ints because a vendor's exit-status table may
// also pass a flash tool's own code through unchanged (12, 200, ...).
#ifndef ZRN_CORE_RUN_CODES_H_
#define ZRN_CORE_RUN_CODES_H_

// ParseCommandLine results.
constexpr int kParseFailed = 0;  // a trailing "/d": usage shown, the run is rejected
constexpr int kParseRun = 1;     // go on with CBaseCmp::Run
constexpr int kParseHelp = 2;    // "/h": usage shown, nothing else to do

// Process exit codes.
constexpr int kExitFlashed = 1;      // the vendor flash tool succeeded
constexpr int kExitNothingDone = 3;  // help, self-discovery, nothing to upgrade, no hardware
constexpr int kExitFailure = 7;      // command line, reference file or discovery failed

#endif  // ZRN_CORE_RUN_CODES_H_
