#include "core/regular_file.h"

#include <unistd.h>

#include <cerrno>

#include "hba/regular_file_open.h"

RegularFile::RegularFile(const char* path) : fd_(OpenRegularFile(path)) {}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

long RegularFile::Read(char* buffer, size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

std::optional<std::string> ReadFileStart(const char* path, size_t limit) {
  RegularFile file(path);
  if (!file.is_open()) return std::nullopt;
  std::string text(limit, '\0');
  size_t done = 0;
  while (done < limit) {
    const long n = file.Read(&text[done], limit - done);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  text.resize(done);
  return text;
}
