// Input files the program reads itself ("reference.xml", the release files)
// are read only when they are regular files (OpenRegularFile says why);
// anything else at such a path behaves as a file that cannot be read.
#ifndef ZRN_CORE_REGULAR_FILE_H_
#define ZRN_CORE_REGULAR_FILE_H_

#include <cstddef>
#include <optional>
#include <string>

// The first `limit` bytes of the regular file at `path` (the whole file when
// it is shorter); nullopt when there is no regular file there or a read
// fails.
[[nodiscard]] std::optional<std::string> ReadFileStart(const char* path, size_t limit);

#endif  // ZRN_CORE_REGULAR_FILE_H_
