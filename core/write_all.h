// WriteAll: writes the whole of a text to a file descriptor, going on after
// short writes and interrupted ones. Used for the component log and for the
// result a trial's child hands back.
#ifndef ZRN_CORE_WRITE_ALL_H_
#define ZRN_CORE_WRITE_ALL_H_

#include <string_view>

// True when every byte was written; false at the first write that fails or
// writes nothing (a full disk, a closed pipe).
[[nodiscard]] bool WriteAll(int fd, std::string_view text);

#endif  // ZRN_CORE_WRITE_ALL_H_
