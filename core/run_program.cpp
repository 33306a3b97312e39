#include "core/run_program.h"

#include <sys/stat.h>

#include <csignal>
#include <iostream>

#include "core/base_cmp.h"
#include "core/run_codes.h"

namespace {

// Catches SIGPIPE and does nothing, so that a write to a console nobody
// reads fails with EPIPE instead of ending the run. A caught signal, unlike
// an ignored one, returns to its default in every program the run starts.
extern "C" void IgnoreBrokenPipe(int) {}

}  // namespace

void PrepareProcess() {
  // umask() only reads the mask by setting one: the caller's comes back and
  // is set again with 022 added.
  const mode_t caller = ::umask(022);
  ::umask(caller | 022);
  std::signal(SIGCHLD, SIG_DFL);
  struct sigaction action {};
  action.sa_handler = IgnoreBrokenPipe;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGPIPE, &action, nullptr);
}

int RunProgram(CBaseCmp& component, int argc, const char* const* argv) {
  const int parsed = component.ParseCommandLine(argc, argv);
  if (parsed == kParseFailed) {
    std::cout << "ERROR! : Failed to parse command line" << std::endl;
    return kExitFailure;
  }
  if (parsed == kParseHelp) return kExitNothingDone;
  return component.Run();
}
