// FindSysfsPciId against a fake sysfs tree of real directories, so the real
// find, grep, cat and wc pipelines run against it.
#include "hba/sysfs_pci.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "hba/shell_pipe.h"
#include "tests/hba/hba_test_support.h"

namespace {

using zrn_hba_test::Exists;
using zrn_hba_test::RemoveTree;
using zrn_hba_test::WriteFile;

// A PCI function's four id files under `dir`; `prefix` is "0x" or "".
void Device(const std::string& dir, const char* prefix, const char* vendor, const char* device,
            const char* subsystemVendor, const char* subsystemDevice) {
  WriteFile(dir + "/vendor", std::string(prefix) + vendor + "\n");
  WriteFile(dir + "/device", std::string(prefix) + device + "\n");
  WriteFile(dir + "/subsystem_vendor", std::string(prefix) + subsystemVendor + "\n");
  WriteFile(dir + "/subsystem_device", std::string(prefix) + subsystemDevice + "\n");
}

const std::string kBridge = "/sys/devices/pci0000:00/0000:00:03.0";

class SysfsPci : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree("/sys/devices");
    // A bridge, and below it an adapter at 0000:05:00.0 with a decoy at
    // 0000:05:01.0 whose address matches the search just as well.
    Device(kBridge, "0x", "8086", "3c08", "1028", "04f8");
    Device(kBridge + "/0000:05:01.0", "0x", "8086", "10fb", "8086", "000c");
    Device(kBridge + "/0000:05:00.0", "0x", "1077", "2532", "1077", "015d");
    Device(kBridge + "/0000:05:00.0/0000:06:00.0", "", "19A2", "0704", "1a2b", "3C4D");
  }
  void TearDown() override { RemoveTree("/sys/devices"); }
};

TEST_F(SysfsPci, SubsystemIdsTellTheDeviceFromTheDecoy) {
  EXPECT_EQ(FindSysfsPciId(0, 0x05, 0, 0x1077, 0x015d), "10772532");
  EXPECT_EQ(FindSysfsPciId(0, 0x05, 0, 0x8086, 0x000c), "808610fb");
  // Values without "0x", upper case in the files, and the subsystem ids
  // matched without regard to case.
  EXPECT_EQ(FindSysfsPciId(0, 0x06, 0, 0x1a2b, 0x3c4d), "19a20704");
}

TEST_F(SysfsPci, NoMatchGivesNA) {
  EXPECT_EQ(FindSysfsPciId(0, 0x05, 0, 0x1077, 0x0241), "N/A");  // one id only: count 1
  EXPECT_EQ(FindSysfsPciId(0, 0x07, 0, 0x1077, 0x015d), "N/A");  // no address
  EXPECT_EQ(FindSysfsPciId(1, 0x05, 0, 0x1077, 0x015d), "N/A");  // other domain
  EXPECT_EQ(FindSysfsPciId(0, 0x05, 1, 0x1077, 0x015d), "N/A");  // other function
  RemoveTree("/sys/devices");
  EXPECT_EQ(FindSysfsPciId(0, 0x05, 0, 0x1077, 0x015d), "N/A");  // find lists nothing
}

// Both subsystem lines naming the same one of the two ids count 2 as well.
TEST_F(SysfsPci, TheSameIdOnBothLinesCountsTwo) {
  Device(kBridge + "/0000:05:02.0", "0x", "1657", "0013", "1657", "1657");
  EXPECT_EQ(FindSysfsPciId(0, 0x05, 0, 0x1657, 0x0014), "16570013");
}

TEST_F(SysfsPci, CandidatesMissingAFileAreSkipped) {
  const std::string dir = kBridge + "/0000:08:00.0";
  Device(dir, "0x", "1077", "2532", "1077", "015d");
  RemoveTree(dir + "/device");
  EXPECT_EQ(FindSysfsPciId(0, 0x08, 0, 0x1077, 0x015d), "N/A");
}

// A directory name with shell characters never reaches a command line.
TEST_F(SysfsPci, OddDirectoryNamesAreNotPastedIntoCommands) {
  const std::string odd = "/sys/devices/x$(touch /etc/zrn-pwned)y/0000:09:00.0";
  Device(odd, "0x", "dead", "beef", "1077", "015d");
  const std::string spaced = "/sys/devices/a b;touch /etc/zrn-pwned2/0000:09:00.0";
  Device(spaced, "0x", "dead", "beef", "1077", "015d");
  EXPECT_EQ(FindSysfsPciId(0, 0x09, 0, 0x1077, 0x015d), "N/A");
  EXPECT_FALSE(Exists("/etc/zrn-pwned"));
  EXPECT_FALSE(Exists("/etc/zrn-pwned2"));
  // A plain device at the same address is still found.
  Device(kBridge + "/0000:09:00.0", "0x", "10df", "f100", "1077", "015d");
  EXPECT_EQ(FindSysfsPciId(0, 0x09, 0, 0x1077, 0x015d), "10dff100");
}

}  // namespace

namespace {

// Console text written before a pipeline starts is already out when it
// runs: the pipeline reads the file standard output goes to and finds it.
TEST(ShellPipe, PendingConsoleTextIsWrittenBeforeThePipelineRuns) {
  char path[] = "/tmp/zrn_console_XXXXXX";
  const int console = mkstemp(path);
  ASSERT_GE(console, 0);
  std::cout.flush();
  std::fflush(stdout);
  const int saved = dup(1);
  ASSERT_GE(saved, 0);
  ASSERT_EQ(dup2(console, 1), 1);
  close(console);
  std::cout << "Performing discovery...";
  const auto lines = ReadCommandLines(std::string("cat ") + path);
  std::cout.flush();
  std::fflush(stdout);
  ASSERT_EQ(dup2(saved, 1), 1);
  close(saved);
  unlink(path);
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(*lines, std::vector<std::string>{"Performing discovery..."});
}

}  // namespace
