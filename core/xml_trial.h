// A trial of libxml2 work under bounds: the work runs once in a child
// process whose processor time is limited and whose library allocations are
// counted, and the caller learns whether it finished within both. The
// library has paths whose cost grows with the square of a document's size
// and more, and no reading of the bytes beforehand can tell them all; the
// trial measures the cost itself, on the work itself.
//
// The child writes nothing anywhere: the library's diagnostics are dropped
// unless the work collects them itself, its standard input, output and
// error are /dev/null, it leaves no core file, and it ends with _exit, so
// the caller's stdio buffers are never flushed twice. What comes back is
// what the work returns, through a pipe, read with a bound: a caller that
// hands the whole of a job to the trial never does any of it unmeasured.
//
// The program is single-threaded, which makes fork safe here; SIGCHLD must
// be at its default disposition (the program sets it so at start), or the
// child's status would be lost and the trial counts as failed.
#ifndef ZRN_CORE_XML_TRIAL_H_
#define ZRN_CORE_XML_TRIAL_H_

#include <cstddef>
#include <functional>
#include <string>

struct XmlTrialBounds {
  // Processor time of the child (user and system), in whole seconds, the
  // resolution of the kernel's limit. A lower limit that the caller's own
  // process already runs under is kept.
  unsigned cpu_seconds;
  // The most the library may hold allocated at once, by the allocator's own
  // size of each block and the size word it keeps beside it; blocks the
  // caller allocated before the trial and the library frees in it count
  // against that.
  size_t library_bytes;
};

enum class XmlTrialOutcome {
  kFinished,     // the work returned within both bounds
  kTimeBound,    // the processor time ran out
  kMemoryBound,  // the library asked for more than its bound
  kAbnormalEnd,  // the child ended any other way: the library crashed, or
                 // the work's result was longer than the caller takes
  kNotStarted,   // no child could be made or bounded: nothing was tried
};

// Runs `work` in a child process under `bounds`. Only kFinished says the
// work finished within them; then *result holds what it returned, which is
// at most `max_result_bytes` long (a longer result ends the trial as
// kAbnormalEnd). On every other outcome *result is empty.
[[nodiscard]] XmlTrialOutcome RunXmlTrial(const std::function<std::string()>& work,
                                          const XmlTrialBounds& bounds, size_t max_result_bytes,
                                          std::string* result);

// The same for work that hands nothing back.
[[nodiscard]] XmlTrialOutcome RunXmlTrial(const std::function<void()>& work,
                                          const XmlTrialBounds& bounds);

// The processor time, in whole seconds, a trial under `bounds` may take
// before it ends with kTimeBound: the bound, or the caller's own lower soft
// or hard limit.
[[nodiscard]] unsigned XmlTrialProcessorSeconds(const XmlTrialBounds& bounds);

#endif  // ZRN_CORE_XML_TRIAL_H_
