// The trial of library work in a child process: each way it can end, what
// the child leaves behind (nothing), and bounds that hold against what the
// caller's process brings along.
#include "core/xml_trial.h"

#include <gtest/gtest.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/xml_library.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

constexpr XmlTrialBounds kSecondAnd32MiB{1, size_t{32} << 20};

// Spins until the processor time is taken from it.
void Spin() {
  volatile unsigned long n = 0;
  for (;;) n = n + 1;
}

TEST(XmlTrialTest, EachEndIsTold) {
  const std::string document = "<r><a b=\"c\"/>text</r>";
  const struct {
    const char* what;
    std::function<void()> work;
    XmlTrialOutcome outcome;
  } kCases[] = {
      {"a document parsed",
       [&] {
         XmlLibraryScope library;
         xmlFreeDoc(xmlReadMemory(document.data(), static_cast<int>(document.size()), "r.xml",
                                  nullptr, 0));
       },
       XmlTrialOutcome::kFinished},
      {"a document that is not well formed is no failure of the trial",
       [] {
         XmlLibraryScope library;
         xmlFreeDoc(xmlReadMemory("<r>", 3, "r.xml", nullptr, 0));
       },
       XmlTrialOutcome::kFinished},
      {"work that never ends", Spin, XmlTrialOutcome::kTimeBound},
      {"one block past the bound", [] { xmlMalloc(size_t{33} << 20); },
       XmlTrialOutcome::kMemoryBound},
      {"blocks that together pass the bound",
       [] {
         for (int i = 0; i < 40; ++i) xmlMalloc(size_t{1} << 20);
       },
       XmlTrialOutcome::kMemoryBound},
      {"a block grown past the bound",
       [] {
         void* block = xmlMalloc(16);
         for (size_t size = 1 << 20; size <= (size_t{64} << 20); size *= 2) {
           block = xmlRealloc(block, size);
         }
       },
       XmlTrialOutcome::kMemoryBound},
      // 26 MB of blocks by their usable bytes, 35 MB with the allocator's
      // size word beside each.
      {"small blocks count what the allocator keeps beside each",
       [] {
         for (int i = 0; i < 1100000; ++i) xmlMalloc(24);
       },
       XmlTrialOutcome::kMemoryBound},
      {"blocks freed make room again",
       [] {
         for (int i = 0; i < 1000; ++i) xmlFree(xmlMalloc(size_t{64} << 10));
         for (int i = 0; i < 100; ++i) xmlFree(xmlMemStrdup("some text"));
       },
       XmlTrialOutcome::kFinished},
      {"a crash", [] { std::abort(); }, XmlTrialOutcome::kAbnormalEnd},
      {"an end of its own", [] { _exit(0); }, XmlTrialOutcome::kAbnormalEnd},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RunXmlTrial(c.work, kSecondAnd32MiB), c.outcome);
  }
}

// Memory the caller holds before the trial does not count against the
// child's bound.
TEST(XmlTrialTest, CallersMemoryIsNotCharged) {
  std::vector<void*> held;
  for (int i = 0; i < 64; ++i) held.push_back(xmlMalloc(size_t{1} << 20));
  EXPECT_EQ(RunXmlTrial([] { xmlFree(xmlMalloc(size_t{31} << 20)); }, kSecondAnd32MiB),
            XmlTrialOutcome::kFinished);
  for (void* block : held) xmlFree(block);
}

// The child writes nothing: not the library's messages, not its own
// output, and not what the caller's streams still hold in their buffers.
TEST_F(CoreTest, TrialWritesNothing) {
  FILE* pending = std::fopen("pending.txt", "w");
  ASSERT_NE(pending, nullptr);
  std::setvbuf(pending, nullptr, _IOFBF, 4096);
  // Capturing flushes every stream: it comes first.
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  std::fputs("held once", pending);
  const XmlTrialOutcome outcome = RunXmlTrial(
      [] {
        XmlLibraryScope library;
        xmlFreeDoc(xmlReadMemory("<r>", 3, "r.xml", nullptr, 0));
        std::printf("out\n");
        std::fprintf(stderr, "err\n");
        std::fflush(stdout);
        std::fflush(stderr);
      },
      kSecondAnd32MiB);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(outcome, XmlTrialOutcome::kFinished);
  std::fclose(pending);
  EXPECT_EQ(ReadFile("pending.txt"), "held once") << dir_;
}

// A caller that ignores or blocks SIGXCPU (both survive exec, so a caller
// can hand them down) does not let the work run on.
TEST(XmlTrialTest, ProcessorBoundHoldsWhateverTheCallerDidWithTheSignal) {
  void (*previous)(int) = std::signal(SIGXCPU, SIG_IGN);
  EXPECT_EQ(RunXmlTrial(Spin, kSecondAnd32MiB), XmlTrialOutcome::kTimeBound);
  std::signal(SIGXCPU, previous);
  sigset_t blocked, old;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGXCPU);
  ASSERT_EQ(sigprocmask(SIG_BLOCK, &blocked, &old), 0);
  EXPECT_EQ(RunXmlTrial(Spin, kSecondAnd32MiB), XmlTrialOutcome::kTimeBound);
  sigprocmask(SIG_SETMASK, &old, nullptr);
}


// What the work returns comes back whole, up to the caller's bound; a longer
// result, or one of work that did not finish, comes back as nothing.
TEST(XmlTrialTest, ResultComesBackWithinItsBound) {
  const std::string big = std::string(3 << 20, 'r') + "end";
  const struct {
    const char* what;
    std::function<std::string()> work;
    size_t max;
    XmlTrialOutcome outcome;
    std::string result;
  } kCases[] = {
      {"nothing", [] { return std::string(); }, 0, XmlTrialOutcome::kFinished, ""},
      {"megabytes, more than a pipe holds", [&] { return big; }, big.size(),
       XmlTrialOutcome::kFinished, big},
      {"a byte past the bound", [&] { return big; }, big.size() - 1,
       XmlTrialOutcome::kAbnormalEnd, ""},
      {"the result of work stopped by the time bound",
       [] {
         Spin();
         return std::string("never");
       },
       16, XmlTrialOutcome::kTimeBound, ""},
      {"the result of work stopped by the memory bound",
       [] {
         xmlMalloc(size_t{33} << 20);
         return std::string("never");
       },
       16, XmlTrialOutcome::kMemoryBound, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::string result = "left from before";
    EXPECT_EQ(RunXmlTrial(c.work, kSecondAnd32MiB, c.max, &result), c.outcome);
    EXPECT_TRUE(result == c.result) << result.size() << " bytes";
  }
}

// A caller run without standard input, output and error (a daemon may close
// them) still gets the result: the child's silencing of those descriptors
// does not take the pipe's place.
TEST(XmlTrialTest, ResultComesBackWhenTheStandardDescriptorsAreClosed) {
  EXPECT_EXIT(
      {
        for (int fd = 0; fd <= 2; ++fd) ::close(fd);
        std::string result;
        const XmlTrialOutcome outcome =
            RunXmlTrial([] { return std::string("whole"); }, kSecondAnd32MiB, 16, &result);
        _exit(outcome == XmlTrialOutcome::kFinished && result == "whole" ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

// The child's processor limits as it sees them, "soft hard".
std::string ChildLimits() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_CPU, &limit) != 0) return "none";
  return std::to_string(limit.rlim_cur) + " " + std::to_string(limit.rlim_max);
}

constexpr XmlTrialBounds kFiveSeconds{5, size_t{32} << 20};

// Run in a process of its own: sets the caller's processor limits to
// `soft` and `hard`, then checks that a trial under kFiveSeconds runs under
// `limits` ("soft hard") and tells its limit; 0 when all holds.
int TrialUnderCallersLimits(rlim_t soft, rlim_t hard, const std::string& limits) {
  const struct rlimit limit = {soft, hard};
  if (setrlimit(RLIMIT_CPU, &limit) != 0) return 2;
  std::string seen;
  if (RunXmlTrial(ChildLimits, kFiveSeconds, 64, &seen) != XmlTrialOutcome::kFinished ||
      seen != limits) {
    return 3;
  }
  const unsigned seconds = XmlTrialProcessorSeconds(kFiveSeconds);
  if (seconds != std::min<rlim_t>(soft, 5)) return 4;
  // Spinning to a caller's limit of a second is cheap enough to try; the
  // bound's own seconds are tried elsewhere.
  if (seconds == 1 && RunXmlTrial(Spin, kFiveSeconds) != XmlTrialOutcome::kTimeBound) return 5;
  return 0;
}

// A caller that already runs under a lower processor limit, soft or hard,
// keeps it in the trial, and a child ended there has met the time bound:
// the kernel ends it with SIGKILL alone where soft and hard are equal. Each
// case runs in a process of its own, since the limits would otherwise end
// the test program.
TEST(XmlTrialTest, CallersLowerProcessorLimitIsKept) {
  const struct {
    const char* what;
    rlim_t soft, hard;
    const char* limits;  // what the child runs under
  } kCases[] = {
      {"no limit of the caller's", RLIM_INFINITY, RLIM_INFINITY, "5 6"},
      {"a lower soft limit", 1, RLIM_INFINITY, "1 6"},
      {"a lower hard limit", 1, 1, "1 1"},
      {"a lower soft and hard limit", 2, 3, "2 3"},
      {"a hard limit at the bound", 5, 5, "5 5"},
      {"higher limits", 20, 30, "5 6"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(_exit(TrialUnderCallersLimits(c.soft, c.hard, c.limits)),
                testing::ExitedWithCode(0), "");
  }
}

}  // namespace
}  // namespace zrn_test
