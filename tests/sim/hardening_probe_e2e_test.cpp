// The built program, unchanged, meeting more of what a caller or a package
// may put in its way: a self-discovery path where the file cannot be written
// as an ordinary file, and a reference file whose markup costs the XML
// library time far out of proportion to its size. Each run ends with the
// messages and exit code of the ordinary case it amounts to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/sim/console_texts.h"
#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

// The demo machine: two QLogic adapters the package supports.
void DemoMachine(Scenario& s) {
  s.Import(ZRN_DEMO_DIR)
      .CopyFile("/usr/lib/libqlsdm.so", ZRN_STANDIN_EXT_LIBRARY)
      .CopyFile("/usr/lib64/libfchba_emx.so", ZRN_STANDIN_LIBRARY)
      .CopyFile("/usr/lib64/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY);
}

class HostileRun : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    DemoMachine(s);
  }
};

// A FIFO at the self-discovery path that nobody reads (the run used to wait
// for a reader forever), and a device that takes nothing: the document is
// not saved, and the run says so and ends as with a path it cannot write.
TEST_F(HostileRun, DiscoveryPathThatCannotTakeTheFileFailsTheSave) {
  const std::string fifo = s.Root() + "/pkg/out.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0) << fifo << ": " << std::strerror(errno);
  for (const char* path : {"out.fifo", "/dev/full"}) {
    SCOPED_TRACE(path);
    const RunResult r = s.Run(kProgram, {"/d", path});
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, kRunStart + "Generating self-discovery XML...FAILED!\ndone.\n");
  }
  struct stat st;
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
}  // namespace zrn_sim
