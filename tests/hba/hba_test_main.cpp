// Runs the common-library tests inside a private mount namespace: a tmpfs
// over /var (the stand-ins' trace and their copies live there) and an
// overlay over /etc whose upper layer sits in that tmpfs, so the tests write
// "/etc/hba.conf" freely and the host's /etc and /var are never touched.
// Listing the tests needs no namespace and sets none up.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tests/hba/hba_test_fixture.h"

namespace {

bool PrivateMachine() {
  if (unshare(CLONE_NEWNS) != 0) return false;
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  if (mount("tmpfs", "/var", "tmpfs", 0, "mode=0755") != 0) return false;
  if (mkdir("/var/.etc_upper", 0755) != 0 || mkdir("/var/.etc_work", 0755) != 0) return false;
  if (mount("overlay", "/etc", "overlay", 0,
            "lowerdir=/etc,upperdir=/var/.etc_upper,workdir=/var/.etc_work") != 0) {
    return false;
  }
  return mkdir(zrn_hba_test::kLibraryDir, 0755) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!GTEST_FLAG_GET(list_tests) && !PrivateMachine()) {
    std::fprintf(stderr,
                 "hba_library_tests: cannot set up a private /etc and /var (%s); the tests need "
                 "root\n",
                 std::strerror(errno));
    return 1;
  }
  return RUN_ALL_TESTS();
}
