#include "core/xml_trial.h"

#include <fcntl.h>
#include <libxml/globals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/write_all.h"

namespace {

// How the child tells its end; any other end is abnormal. None is 0 or 1, the
// codes anything else in the child would end it with.
constexpr int kChildFinished = 100;
constexpr int kChildMemoryBound = 101;
constexpr int kChildUnbounded = 102;  // the processor bound could not be set
constexpr int kChildResultTooLong = 103;
constexpr int kChildResultLost = 104;  // the result could not be written

// How far short of a limit the processor time reported for a child ended
// there may fall: the kernel samples it per scheduler tick, 10 ms at the
// coarsest, and was seen 3 to 8 ms short.
constexpr double kReportedTimeSlack = 0.1;

// The child's account of the library's memory. Signed: a block allocated
// before the fork and freed in the child is subtracted like any other.
size_t g_bound = 0;
long long g_live = 0;

// What the allocator keeps beside each block: its size word. The library
// allocates blocks of a few dozen bytes by the million (some thirty for a
// tag with declared namespace defaults), and a count of usable bytes alone
// fell a fifth short of the memory they held.
constexpr size_t kBlockHeaderBytes = sizeof(size_t);

// What a block holds of the process's memory, as far as the allocator tells.
long long BlockBytes(void* block) {
  return static_cast<long long>(malloc_usable_size(block) + kBlockHeaderBytes);
}

// Ends the child when `more` bytes would take the library past its bound.
// The request is checked before anything is allocated, so the bound is never
// passed, not even by one large block.
void Admit(size_t more) {
  if (more > g_bound || g_live + static_cast<long long>(more) > static_cast<long long>(g_bound)) {
    _exit(kChildMemoryBound);
  }
}

// What a block of `size` bytes will hold, its size word included. A size
// past the bound is left as it is, which Admit refuses, so the sum cannot
// wrap.
size_t RequestBytes(size_t size) { return size > g_bound ? size : size + kBlockHeaderBytes; }

void* CountedMalloc(size_t size) {
  Admit(RequestBytes(size));
  void* block = std::malloc(size);
  if (block != nullptr) g_live += BlockBytes(block);
  return block;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  g_live -= BlockBytes(block);
  std::free(block);
}

void* CountedRealloc(void* block, size_t size) {
  if (block == nullptr) return CountedMalloc(size);
  const long long old = BlockBytes(block);
  const size_t wanted = RequestBytes(size);
  if (wanted > g_bound) Admit(wanted);  // one block past the bound, whatever is held
  if (static_cast<long long>(wanted) > old) {
    Admit(static_cast<size_t>(static_cast<long long>(wanted) - old));
  }
  void* moved = std::realloc(block, size);
  if (moved != nullptr) {
    g_live += BlockBytes(moved) - old;
  } else if (size == 0) {
    g_live -= old;  // realloc to nothing freed the block
  }
  return moved;
}

char* CountedStrdup(const char* text) {
  const size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(CountedMalloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

void DropMessage(void*, const char*, ...) {}

// Standard input, output and error become /dev/null. Where it cannot be
// opened they are closed instead: a write to them then fails.
void SilenceStandardStreams() {
  const int null = ::open("/dev/null", O_RDWR);
  for (int fd = 0; fd <= 2; ++fd) {
    if (null >= 0) {
      ::dup2(null, fd);
    } else {
      ::close(fd);
    }
  }
  if (null > 2) ::close(null);
}

// The processor-time limit a child runs under: a soft limit of `seconds`
// ends it with SIGXCPU, a hard one a second later with SIGKILL, should
// SIGXCPU be held off. A soft or hard limit the caller already runs under
// that is lower is kept: the trial never takes more time than its caller
// was given.
bool ChildProcessorLimit(unsigned seconds, struct rlimit* limit) {
  if (::getrlimit(RLIMIT_CPU, limit) != 0) return false;
  limit->rlim_max = std::min<rlim_t>(limit->rlim_max, static_cast<rlim_t>(seconds) + 1);
  limit->rlim_cur = std::min<rlim_t>({limit->rlim_cur, seconds, limit->rlim_max});
  return true;
}

bool LimitProcessorTime(const struct rlimit& limit) {
  // The default action of SIGXCPU ends the process; an "ignore" inherited
  // from the caller, or a blocked signal, would let the work run to the
  // hard limit.
  std::signal(SIGXCPU, SIG_DFL);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGXCPU);
  ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);
  return ::setrlimit(RLIMIT_CPU, &limit) == 0;
}

[[noreturn]] void RunChild(const std::function<std::string()>& work, const XmlTrialBounds& bounds,
                           const struct rlimit& cpu, int result_fd, size_t max_result_bytes) {
  SilenceStandardStreams();
  const struct rlimit noCore {0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  if (!LimitProcessorTime(cpu)) _exit(kChildUnbounded);
  xmlSetGenericErrorFunc(nullptr, DropMessage);
  g_bound = bounds.library_bytes;
  g_live = 0;
  xmlMemSetup(CountedFree, CountedMalloc, CountedRealloc, CountedStrdup);
  const std::string result = work();
  if (result.size() > max_result_bytes) _exit(kChildResultTooLong);
  if (!WriteAll(result_fd, result)) _exit(kChildResultLost);
  _exit(kChildFinished);
}

// A pipe for the child's result whose two ends lie above standard input,
// output and error, so that the child's silencing of those cannot close
// the end it writes to, and neither end reaches a program run later.
bool MakeResultPipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    if (fds[i] > 2) continue;
    const int moved = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 3);
    ::close(fds[i]);
    fds[i] = moved;
  }
  if (fds[0] >= 0 && fds[1] >= 0) return true;
  for (int i = 0; i < 2; ++i) {
    if (fds[i] >= 0) ::close(fds[i]);
  }
  return false;
}

// Reads the child's result until the child closes its end; false when it
// is longer than `max_bytes`, and then the reading stops there.
bool ReadResult(int fd, size_t max_bytes, std::string* result) {
  char piece[64 << 10];
  for (;;) {
    const ssize_t n = ::read(fd, piece, sizeof piece);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    if (static_cast<size_t>(n) > max_bytes - result->size()) return false;
    result->append(piece, static_cast<size_t>(n));
  }
}

// Processor time the child took, in seconds.
double ProcessorSeconds(const struct rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

XmlTrialOutcome Classify(int status, const struct rusage& usage, const struct rlimit& cpu) {
  if (WIFEXITED(status)) {
    switch (WEXITSTATUS(status)) {
      case kChildFinished:
        return XmlTrialOutcome::kFinished;
      case kChildMemoryBound:
        return XmlTrialOutcome::kMemoryBound;
      case kChildUnbounded:
        return XmlTrialOutcome::kNotStarted;
      default:
        return XmlTrialOutcome::kAbnormalEnd;
    }
  }
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    // SIGKILL is the hard limit only when the time was spent; otherwise
    // something else ended the child. The soft limit is the one compared:
    // where the caller's limits leave soft and hard equal, the kernel ends
    // the child with SIGKILL alone, and the time reported for a child ended
    // right at a limit falls a few milliseconds short of it.
    if (signal == SIGXCPU ||
        (signal == SIGKILL && ProcessorSeconds(usage) + kReportedTimeSlack >=
                                  static_cast<double>(cpu.rlim_cur))) {
      return XmlTrialOutcome::kTimeBound;
    }
  }
  return XmlTrialOutcome::kAbnormalEnd;
}

}  // namespace

XmlTrialOutcome RunXmlTrial(const std::function<std::string()>& work,
                            const XmlTrialBounds& bounds, size_t max_result_bytes,
                            std::string* result) {
  result->clear();
  struct rlimit cpu {};
  if (!ChildProcessorLimit(bounds.cpu_seconds, &cpu)) return XmlTrialOutcome::kNotStarted;
  int fds[2];
  if (!MakeResultPipe(fds)) return XmlTrialOutcome::kNotStarted;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return XmlTrialOutcome::kNotStarted;
  }
  if (child == 0) {
    ::close(fds[0]);
    RunChild(work, bounds, cpu, fds[1], max_result_bytes);
  }
  ::close(fds[1]);
  // The pipe is read while the child runs: a child blocked on a full pipe
  // would take no processor time and never meet its bound. A result past
  // the bound is not read further; closing the end makes the child's next
  // write fail.
  const bool whole = ReadResult(fds[0], max_result_bytes, result);
  ::close(fds[0]);
  int status = 0;
  struct rusage usage {};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      result->clear();
      return XmlTrialOutcome::kAbnormalEnd;
    }
  }
  XmlTrialOutcome outcome = Classify(status, usage, cpu);
  if (outcome == XmlTrialOutcome::kFinished && !whole) outcome = XmlTrialOutcome::kAbnormalEnd;
  if (outcome != XmlTrialOutcome::kFinished) result->clear();
  return outcome;
}

XmlTrialOutcome RunXmlTrial(const std::function<void()>& work, const XmlTrialBounds& bounds) {
  std::string nothing;
  return RunXmlTrial(
      [&work] {
        work();
        return std::string();
      },
      bounds, 0, &nothing);
}

unsigned XmlTrialProcessorSeconds(const XmlTrialBounds& bounds) {
  struct rlimit cpu {};
  if (!ChildProcessorLimit(bounds.cpu_seconds, &cpu)) return bounds.cpu_seconds;
  // The kernel takes a soft limit of 0 for one second.
  return std::max<unsigned>(1, static_cast<unsigned>(cpu.rlim_cur));
}
