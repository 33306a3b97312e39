#include "hba/shell_pipe.h"

#include <cstdio>
#include <cstdlib>
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
