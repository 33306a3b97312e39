#include "core/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

RegularFile::RegularFile(const char* path) {
  // O_NONBLOCK only matters for what is refused below: a regular file reads
  // the same with it.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

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
