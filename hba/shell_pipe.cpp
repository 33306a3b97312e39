#include "hba/shell_pipe.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

struct PipeCloser {
  void operator()(FILE* pipe) const { pclose(pipe); }
};

struct FreeDeleter {
  void operator()(char* line) const { std::free(line); }
};

}  // namespace

std::optional<std::vector<std::string>> ReadCommandLines(const std::string& command) {
  // Console text still buffered ("Performing discovery..." under an
  // installer's pipe) is written out before the pipeline starts, as before
  // every other command, so it is neither late nor lost if the run is
  // killed meanwhile.
  std::cout.flush();
  std::fflush(stdout);
  std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
  if (!pipe) return std::nullopt;
  std::vector<std::string> lines;
  char* raw = nullptr;
  size_t capacity = 0;
  ssize_t length;
  while ((length = getline(&raw, &capacity, pipe.get())) >= 0) {
    lines.emplace_back(raw, static_cast<size_t>(length));
  }
  std::unique_ptr<char, FreeDeleter> release(raw);
  return lines;
}
