// Operating-system detection over release files laid into /etc through an
// overlay in the tests' private mount namespace: the host's /etc is never
// changed. The tag is only stored, so the test reads it from the record.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

namespace fs = std::filesystem;

const char kRedHat[] = "/etc/redhat-release";
const char kSuse[] = "/etc/SuSE-release";

class DetectOsTest : public CoreTest {
 protected:
  void SetUp() override {
    // CoreTest refuses to run outside the private namespace, so the overlay
    // below is never mounted on the host.
    CoreTest::SetUp();
    if (HasFatalFailure()) return;
    fs::remove_all(kUpper);
    fs::create_directories(std::string(kUpper) + "/upper");
    fs::create_directories(std::string(kUpper) + "/work");
    const std::string options =
        std::string("lowerdir=/etc,upperdir=") + kUpper + "/upper,workdir=" + kUpper + "/work";
    ASSERT_EQ(mount("overlay", "/etc", "overlay", 0, options.c_str()), 0) << std::strerror(errno);
    mounted_ = true;
    // The host's own release files, if any, are hidden in the overlay.
    fs::remove(kRedHat);
    fs::remove(kSuse);
  }
  void TearDown() override {
    if (mounted_) {
      EXPECT_EQ(umount("/etc"), 0) << std::strerror(errno);
    }
    fs::remove_all(kUpper);
    CoreTest::TearDown();
  }

  static constexpr const char* kUpper = "/var/.zrn-etc-overlay";
  bool mounted_ = false;
};

TEST_F(DetectOsTest, ReleaseFilesGiveTags) {
  const struct {
    const char* what;
    const char* redhat;  // nullptr: no file
    const char* suse;
    std::wstring tag;
  } kCases[] = {
      {"RHEL 4", "Red Hat Enterprise Linux AS release 4 (Nahant Update 8)\n", nullptr, L"rhel4"},
      {"RHEL 5", "Red Hat Enterprise Linux Server release 5.4 (Tikanga)\n", nullptr, L"rhel5"},
      {"RHEL 6", "Red Hat Enterprise Linux Server release 6.4 (Santiago)\n", nullptr, L"rhel6"},
      {"no newline", "Red Hat Enterprise Linux Server release 5.4", nullptr, L"rhel5"},
      // The first rule is tried first.
      {"release 40", "Red Hat Enterprise Linux Server release 40\n", nullptr, L"rhel4"},
      {"RHEL 7", "Red Hat Enterprise Linux Server release 7.2 (Maipo)\n", nullptr, L""},
      {"letter case", "red hat enterprise linux server release 5.4\n", nullptr, L""},
      // The Red Hat file decides alone, even when nothing in it matched.
      {"other distribution", "CentOS release 6.4 (Final)\n",
       "SUSE Linux Enterprise Server 11 (x86_64)\n", L""},
      {"both files", "Red Hat Enterprise Linux Server release 6.1\n",
       "SUSE Linux Enterprise Server 10 (x86_64)\n", L"rhel6"},
      {"SLES 10", nullptr, "SUSE Linux Enterprise Server 10 (x86_64)\nVERSION = 10\n", L"sles10"},
      // ".*" crosses the line ends of the further lines.
      {"SLES 11", nullptr,
       "SUSE Linux Enterprise Server 11 (x86_64)\nVERSION = 11\nPATCHLEVEL = 1\n", L"sles11"},
      {"openSUSE", nullptr, "openSUSE 11.4 (x86_64)\nVERSION = 11.4\n", L""},
      {"empty file", "", nullptr, L""},
      {"no release file", nullptr, nullptr, L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    fs::remove(kRedHat);
    fs::remove(kSuse);
    if (c.redhat) WriteFile(kRedHat, c.redhat);
    if (c.suse) WriteFile(kSuse, c.suse);
    TestComponent cmp;
    EXPECT_EQ(cmp.DetectOS(), 0);
    EXPECT_EQ(cmp.m_discoveryInfo.os.first, c.tag);
    EXPECT_EQ(cmp.m_discoveryInfo.os.second, L"");
  }
}

// A release file that exists but cannot be read yields no text to match.
TEST_F(DetectOsTest, UnreadableReleaseFileGivesNoTag) {
  fs::create_directory(kRedHat);
  WriteFile(kSuse, "SUSE Linux Enterprise Server 11\n");
  TestComponent cmp;
  EXPECT_EQ(cmp.DetectOS(), 0);
  EXPECT_EQ(cmp.m_discoveryInfo.os.first, L"");
}

// Only a regular file is read. What else stands at the Red Hat path (a FIFO
// without a writer that blocked the read, a device that never ends) gives no
// text, as a file that cannot be read: no tag, and the SUSE file is still not
// tried.
TEST_F(DetectOsTest, ReleaseFileThatIsNoRegularFileGivesNoTag) {
  const char* kKinds[] = {"fifo", "/dev/zero", "/dev/null"};
  for (const char* kind : kKinds) {
    SCOPED_TRACE(kind);
    fs::remove(kRedHat);
    if (std::string(kind) == "fifo") {
      ASSERT_EQ(mkfifo(kRedHat, 0644), 0) << std::strerror(errno);
    } else {
      fs::create_symlink(kind, kRedHat);
    }
    WriteFile(kSuse, "SUSE Linux Enterprise Server 11\n");
    TestComponent cmp;
    EXPECT_EQ(cmp.DetectOS(), 0);
    EXPECT_EQ(cmp.m_discoveryInfo.os.first, L"");
  }
}

// A release file is read only as far as a bound far above a real one; the
// rules decide on the start of the text. Here the file is 16 GiB long, all of
// it but the first line a hole of NUL bytes.
TEST_F(DetectOsTest, LongReleaseFileIsReadOnlyAtItsStart) {
  WriteFile(kRedHat, "Red Hat Enterprise Linux Server release 5.4 (Tikanga)\n");
  ASSERT_EQ(truncate(kRedHat, off_t{16} << 30), 0) << std::strerror(errno);
  TestComponent cmp;
  EXPECT_EQ(cmp.DetectOS(), 0);
  EXPECT_EQ(cmp.m_discoveryInfo.os.first, L"rhel5");
}

}  // namespace
}  // namespace zrn_test
