#include "core/regular_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "hba/regular_file_open.h"

namespace {

// An input file open for reading, closed when it goes out of scope.
class RegularFile {
 public:
  // Opens `path` (links followed) for reading. is_open() is false when the
  // path is missing, cannot be opened or is not a regular file; opening a
  // FIFO that has no writer does not wait for one.
  explicit RegularFile(const char* path) : fd_(OpenRegularFile(path)) {}
  ~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  [[nodiscard]] bool is_open() const { return fd_ >= 0; }
  // Reads up to `size` bytes: the count read, 0 at end of file, -1 on a read
  // error.
  [[nodiscard]] long Read(char* buffer, size_t size) {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0 || errno != EINTR) return n;
    }
  }

 private:
  const int fd_;
};

}  // namespace

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
