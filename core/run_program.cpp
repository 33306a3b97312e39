#include "core/run_program.h"

#include <sys/stat.h>

#include <csignal>
#include <iostream>

#include "core/base_cmp.h"
#include "core/run_codes.h"

void PrepareProcess() {
  ::umask(022);
  std::signal(SIGCHLD, SIG_DFL);
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
