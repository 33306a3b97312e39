// Runs the HBA layer's in-process tests on a private machine (overlays over
// /etc, /usr/lib and /usr/lib64, an empty /var and /sys), because the code under test
// keeps its fixed paths. Listing the tests needs no namespace.
#include <gtest/gtest.h>

#include "tests/hba/hba_test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!GTEST_FLAG_GET(list_tests) && !zrn_hba_test::EnterPrivateMachine()) return 1;
  return RUN_ALL_TESTS();
}
