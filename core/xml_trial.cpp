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

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// How the child tells its end; any other end is abnormal. None is 0 or 1, the
// codes anything else in the child would end it with.
constexpr int kChildFinished = 100;
constexpr int kChildMemoryBound = 101;
constexpr int kChildUnbounded = 102;  // the processor bound could not be set

// The child's account of the library's memory. Signed: a block allocated
// before the fork and freed in the child is subtracted like any other.
size_t g_bound = 0;
long long g_live = 0;

// Ends the child when `more` bytes would take the library past its bound.
// The request is checked before anything is allocated, so the bound is never
// passed, not even by one large block.
void Admit(size_t more) {
  if (more > g_bound || g_live + static_cast<long long>(more) > static_cast<long long>(g_bound)) {
    _exit(kChildMemoryBound);
  }
}

void* CountedMalloc(size_t size) {
  Admit(size);
  void* block = std::malloc(size);
  if (block != nullptr) g_live += static_cast<long long>(malloc_usable_size(block));
  return block;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  g_live -= static_cast<long long>(malloc_usable_size(block));
  std::free(block);
}

void* CountedRealloc(void* block, size_t size) {
  if (block == nullptr) return CountedMalloc(size);
  const size_t old = malloc_usable_size(block);
  if (size > old) Admit(size - old);
  void* moved = std::realloc(block, size);
  if (moved != nullptr) {
    g_live += static_cast<long long>(malloc_usable_size(moved)) - static_cast<long long>(old);
  } else if (size == 0) {
    g_live -= static_cast<long long>(old);  // realloc to nothing freed the block
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

// A soft limit of `seconds` ends the child with SIGXCPU, a hard one a
// second later with SIGKILL, should SIGXCPU be held off. A hard limit the
// caller already set lower is kept.
bool LimitProcessorTime(unsigned seconds) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_CPU, &limit) != 0) return false;
  const rlim_t soft = seconds;
  const rlim_t hard = soft + 1;
  if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= hard) {
    limit.rlim_max = hard;
    limit.rlim_cur = soft;
  } else {
    limit.rlim_cur = limit.rlim_max;
  }
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

[[noreturn]] void RunChild(const std::function<void()>& work, const XmlTrialBounds& bounds) {
  SilenceStandardStreams();
  const struct rlimit noCore {0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  if (!LimitProcessorTime(bounds.cpu_seconds)) _exit(kChildUnbounded);
  xmlSetGenericErrorFunc(nullptr, DropMessage);
  g_bound = bounds.library_bytes;
  g_live = 0;
  xmlMemSetup(CountedFree, CountedMalloc, CountedRealloc, CountedStrdup);
  work();
  _exit(kChildFinished);
}

// Processor time the child took, in seconds.
double ProcessorSeconds(const struct rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

XmlTrialOutcome RunXmlTrial(const std::function<void()>& work, const XmlTrialBounds& bounds) {
  const pid_t child = ::fork();
  if (child < 0) return XmlTrialOutcome::kNotStarted;
  if (child == 0) RunChild(work, bounds);
  int status = 0;
  struct rusage usage {};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) return XmlTrialOutcome::kAbnormalEnd;
  }
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
    // something else ended the child.
    if (signal == SIGXCPU ||
        (signal == SIGKILL && ProcessorSeconds(usage) >= static_cast<double>(bounds.cpu_seconds))) {
      return XmlTrialOutcome::kTimeBound;
    }
  }
  return XmlTrialOutcome::kAbnormalEnd;
}
