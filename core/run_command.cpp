#include "core/run_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// Console text still in the program's buffer would show only after the
// command ends, or never when the run is killed during it (a flash tool runs
// for minutes): it is written out before every command starts.
void FlushConsole() {
  std::cout.flush();
  std::fflush(stdout);
}

}  // namespace

std::string RunCommand(const std::string& command) {
  FlushConsole();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "ERROR";
  std::string output = ReadStream(pipe);
  pclose(pipe);
  return output;
}

std::string ReadStream(FILE* stream) {
  std::string output;
  char chunk[128];
  // fgets returns null both at end of file and on a read error; stopping on
  // either keeps a failing stream from being read forever.
  while (std::fgets(chunk, sizeof(chunk), stream) != nullptr) output += chunk;
  return output;
}

int RunShell(const std::string& command) {
  FlushConsole();
  return std::system(command.c_str());
}

int ToolExitCode(int status) {
  if (status == -1) return 255;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return (status >> 8) & 0xff;
}
