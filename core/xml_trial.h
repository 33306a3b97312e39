// A trial of libxml2 work under bounds: the work runs once in a child
// process whose processor time is limited and whose library allocations are
// counted, and the caller learns whether it finished within both. The
// library has paths whose cost grows with the square of a document's size
// and more, and no reading of the bytes beforehand can tell them all; the
// trial measures the cost itself, on the work itself.
//
// The child writes nothing anywhere: the library's diagnostics are dropped,
// its standard input, output and error are /dev/null, it leaves no core
// file, and it ends with _exit, so the caller's stdio buffers are never
// flushed twice. Nothing the work builds comes back: a caller that needs
// the result does the work again itself once the trial has finished.
//
// The program is single-threaded, which makes fork safe here; SIGCHLD must
// be at its default disposition (the program sets it so at start), or the
// child's status would be lost and the trial counts as failed.
#ifndef ZRN_CORE_XML_TRIAL_H_
#define ZRN_CORE_XML_TRIAL_H_

#include <cstddef>
#include <functional>

struct XmlTrialBounds {
  // Processor time of the child (user and system), in whole seconds, the
  // resolution of the kernel's limit.
  unsigned cpu_seconds;
  // The most the library may hold allocated at once, by the allocator's own
  // size of each block; blocks the caller allocated before the trial and
  // the library frees in it count against that.
  size_t library_bytes;
};

enum class XmlTrialOutcome {
  kFinished,     // the work returned within both bounds
  kTimeBound,    // the processor time ran out
  kMemoryBound,  // the library asked for more than its bound
  kAbnormalEnd,  // the child ended any other way: the library crashed
  kNotStarted,   // no child could be made or bounded: nothing was tried
};

// Runs `work` in a child process under `bounds`. Only kFinished says the
// work is safe to do unbounded; every other outcome means it is not.
[[nodiscard]] XmlTrialOutcome RunXmlTrial(const std::function<void()>& work,
                                          const XmlTrialBounds& bounds);

#endif  // ZRN_CORE_XML_TRIAL_H_
