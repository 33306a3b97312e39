// The trial of library work in a child process: each way it can end, what
// the child leaves behind (nothing), and bounds that hold against what the
// caller's process brings along.
#include "core/xml_trial.h"

#include <gtest/gtest.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

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

}  // namespace
}  // namespace zrn_test
