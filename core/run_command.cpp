#include "core/run_command.h"

#include <cstdio>
#include <cstdlib>

std::string RunCommand(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "ERROR";
  std::string output;
  char chunk[128];
  // fgets returns null both at end of file and on a read error; stopping on
  // either keeps a failing pipe from spinning forever.
  while (std::fgets(chunk, sizeof(chunk), pipe) != nullptr) output += chunk;
  pclose(pipe);
  return output;
}

int RunShell(const std::string& command) { return std::system(command.c_str()); }
