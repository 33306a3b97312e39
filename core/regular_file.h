// Input files the program reads itself ("reference.xml", the release files)
// are read only when they are regular files (OpenRegularFile says why);
// anything else at such a path behaves as a file that cannot be read.
#ifndef ZRN_CORE_REGULAR_FILE_H_
#define ZRN_CORE_REGULAR_FILE_H_

#include <cstddef>
#include <optional>
#include <string>

class RegularFile {
 public:
  // Opens `path` (links followed) for reading. is_open() is false when the
  // path is missing, cannot be opened or is not a regular file; opening a
  // FIFO that has no writer does not wait for one.
  explicit RegularFile(const char* path);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  [[nodiscard]] bool is_open() const { return fd_ >= 0; }
  // Reads up to `size` bytes: the count read, 0 at end of file, -1 on a read
  // error or when the file is not open.
  [[nodiscard]] long Read(char* buffer, size_t size);

 private:
  int fd_ = -1;
};

// The first `limit` bytes of the regular file at `path` (the whole file when
// it is shorter); nullopt when there is no regular file there or a read
// fails.
[[nodiscard]] std::optional<std::string> ReadFileStart(const char* path, size_t limit);

#endif  // ZRN_CORE_REGULAR_FILE_H_
