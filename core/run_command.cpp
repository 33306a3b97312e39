#include "core/run_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  // Chunks are read as fgets would read them (at most 127 bytes, ending
  // after a newline), but by hand, so that the bytes taken from the stream
  // are counted even when a chunk holds a NUL and adds nothing to the text.
  size_t consumed = 0;
  while (consumed < kMaxCommandOutputBytes) {
    size_t n = 0;
    int c;
    while (n < sizeof(chunk) - 1 && (c = std::getc(stream)) != EOF) {
      chunk[n++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    // Nothing read: end of file or a read error; stopping on either keeps a
    // failing stream from being read forever.
    if (n == 0) break;
    consumed += n;
    output.append(chunk, strnlen(chunk, n));
  }
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
