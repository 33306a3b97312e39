#include "core/regular_file.h"

#include <unistd.h>

#include <algorithm>
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
  // Read a piece at a time: the limit is far above what such files hold, and
  // a buffer of its size would be touched for nothing.
  std::string text;
  char piece[64 << 10];
  while (text.size() < limit) {
    const long n = file.Read(piece, std::min(sizeof piece, limit - text.size()));
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    text.append(piece, static_cast<size_t>(n));
  }
  return text;
}
