// Runs the core tests inside a private mount namespace with a tmpfs over
// /var, because the logger creates /var/zrn/Component.log: the host's /var is
// never touched. Listing the tests needs no namespace and sets none up.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tests/core/core_test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!GTEST_FLAG_GET(list_tests)) {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/var", "tmpfs", 0, "mode=0755") != 0) {
      std::fprintf(stderr, "core_tests: cannot set up a private /var (%s); the tests need root\n",
                   std::strerror(errno));
      return 1;
    }
    if (!zrn_test::MarkPrivateVar()) {
      std::fprintf(stderr, "core_tests: cannot write the private /var\n");
      return 1;
    }
  }
  return RUN_ALL_TESTS();
}
