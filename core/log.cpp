#include "core/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <iostream>

#include "core/write_all.h"

namespace {

// Write permission for the group and for others: neither the log directory
// nor the log may carry it, or another user could put a link in the log's
// place (or the log's own text).
constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;

// Owns one open file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes now; false when closing reports an error (text that did not
  // reach the file).
  bool Close() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

// The log's directory and its name there. Fixed texts, so that opening the
// log takes no memory: a run whose memory runs out still has every message
// it logged, and the console text of a message always reaches the log too.
const char kLogDirectory[] = "/var/zrn";
const char kLogName[] = "Component.log";

// The directory itself, never through a link at its path.
Descriptor OpenDirectory(const char* directory) {
  return Descriptor(::open(directory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The directory, only when it is ours and nobody else may write to it. Then
// nobody but us can replace the log between a check of ours and the shell's
// opening of the path.
Descriptor OpenClosedDirectory(const char* directory) {
  Descriptor dir = OpenDirectory(directory);
  struct stat st;
  if (!dir || ::fstat(dir.get(), &st) != 0 || st.st_uid != ::geteuid() ||
      (st.st_mode & kOthersWrite) != 0) {
    return Descriptor();
  }
  return dir;
}

// The log: a regular file of ours with no other name, so that writing it
// changes nothing anywhere else.
bool IsOwnLog(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid();
}

// Where a regular file at the log's name that is not our log is moved:
// "Component.log.foreign.1", ".2" and so on, the first name not taken.
// Such a file turns up rarely (a log restored with another owner, a second
// name made by hand), so a thousand names are far more than a machine will
// ever hold; when all are taken the file stays where it is, and the log
// cannot be written, rather than lose anyone's text.
constexpr int kMaxForeignLogs = 1000;
const char kForeignLogSuffix[] = ".foreign.";

// Gives the file at `name` the first free foreign-log name in `dir`, never
// replacing a name that exists. False when it could not be moved.
bool MoveAside(int dir, const char* name) {
  for (int n = 1; n <= kMaxForeignLogs; ++n) {
    char aside[64];
    std::snprintf(aside, sizeof aside, "%s%s%d", name, kForeignLogSuffix, n);
    if (::renameat2(dir, name, dir, aside, RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system that cannot rename without replacing: a second name that
    // cannot replace anything either, then the first name removed.
    if (::linkat(dir, name, dir, aside, 0) == 0) {
      ::unlinkat(dir, name, 0);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// A symbolic link at the log's name is removed (never what it leads to). A
// regular file there that is not our log (a second name of another file,
// or someone else's file) is moved aside, so that its text is kept. Either
// way the log is then created anew. Directories, FIFOs and the like stay:
// they are not ours to remove, and the log cannot be written while they are
// there.
void ClearLogName(int dir, const char* name) {
  struct stat st;
  if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (S_ISLNK(st.st_mode)) {
    ::unlinkat(dir, name, 0);
  } else if (S_ISREG(st.st_mode) && !IsOwnLog(st)) {
    MoveAside(dir, name);
  }
}

// The log opened for appending, created (0644 under the program's mask) when
// missing; empty when the path cannot be made to hold a log of ours. Opened
// without blocking, so that a FIFO at the path fails at once instead of
// waiting for a reader.
Descriptor OpenLog() {
  const Descriptor dir = OpenClosedDirectory(kLogDirectory);
  if (!dir) return Descriptor();
  ClearLogName(dir.get(), kLogName);
  Descriptor file(::openat(
      dir.get(), kLogName,
      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
  struct stat st;
  if (!file || ::fstat(file.get(), &st) != 0 || !IsOwnLog(st)) return Descriptor();
  return file;
}

// Takes the group's and others' write permission away, when the file is ours.
void DropOthersWrite(int fd) {
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & kOthersWrite) != 0) {
    ::fchmod(fd, st.st_mode & 07777 & ~kOthersWrite);
  }
}

}  // namespace

// The directory is made here rather than by "mkdir -p" through the shell, so
// that a link at its path is never followed. An earlier run under a mask
// such as 000 may have left the directory and the log writable by everyone:
// their write permission for the group and others is taken away, which is
// what makes the log's path safe to hand to a shell afterwards.
CLog::CLog() : m_path(std::string(kLogDirectory) + "/" + kLogName), m_silent(false) {
  ::mkdir(kLogDirectory, 0755);
  const Descriptor dir = OpenDirectory(kLogDirectory);
  if (dir) DropOthersWrite(dir.get());
  const Descriptor file = OpenLog();
  if (file) {
    DropOthersWrite(file.get());
    ::futimens(file.get(), nullptr);  // touched, as every run touches it
  }
}

void CLog::SetSilent(bool silent) { m_silent = silent; }

bool CLog::ReadyForAppend() const { return static_cast<bool>(OpenLog()); }

CLog& CLog::Log(const std::string& text) {
  if (!m_silent) std::cout << text;
  Descriptor file = OpenLog();
  // A full file system shows in the write or, for some file systems, only
  // when the file is closed: both are checked.
  const bool written = file && WriteAll(file.get(), text) && file.Close();
  if (!written) std::cout << "ERROR : Unable to write to log file" << std::endl;
  return *this;
}

CLog& CLog::Log(int value) { return Log(std::to_string(value)); }

CLog& CLog::Log(const std::wstring& text) {
  std::string narrow;
  std::mbstate_t state{};
  char bytes[MB_LEN_MAX];
  for (wchar_t c : text) {
    size_t n = std::wcrtomb(bytes, c, &state);
    if (n == static_cast<size_t>(-1)) {
      narrow += '?';
      state = std::mbstate_t{};
    } else {
      narrow.append(bytes, n);
    }
  }
  return Log(narrow);
}
