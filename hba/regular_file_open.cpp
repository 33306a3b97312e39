#include "hba/regular_file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFile(const char* path) {
  // O_NONBLOCK only matters for what is refused below: a regular file reads
  // the same with it.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}
