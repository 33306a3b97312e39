// GoogleTest glue for the simulated machine: a fixture that owns one
// scenario and keeps its directory when the test fails, and an exit-code
// check that fails hard with the whole story of the run.

#ifndef ZRN_TESTS_SIM_SIM_TEST_H_
#define ZRN_TESTS_SIM_SIM_TEST_H_

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "tests/sim/scenario.h"

namespace zrn_sim {

// True in a build under the sanitizers, which reserve far more address space
// than the limits a test sets with RunOptions::address_space_bytes.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Success when the run exited with `code`; otherwise tells how it ended and
// what it printed. Use with ASSERT_TRUE so that a wrong code stops the test.
inline ::testing::AssertionResult ExitedWith(const RunResult& r, int code) {
  if (r.ExitedWith(code)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected exit code " << code << ", got: " << r.Describe()
                                       << "\n--- standard output ---\n"
                                       << r.out << "\n--- standard error ---\n"
                                       << r.err;
}

// Keeps a scenario's directory, and says where it is, when the running
// test has failed by the time the guard goes out of scope. Declare it after
// the scenario it guards.
class KeepOnFailure {
 public:
  explicit KeepOnFailure(Scenario& scenario) : scenario_(scenario) {}
  ~KeepOnFailure() {
    if (::testing::Test::HasFailure()) {
      scenario_.Keep();
      std::cerr << "scenario kept for inspection: " << scenario_.Root() << "\n";
    }
  }
  KeepOnFailure(const KeepOnFailure&) = delete;
  KeepOnFailure& operator=(const KeepOnFailure&) = delete;

 private:
  Scenario& scenario_;
};

// A fixture owning one scenario, `s`, kept when the test fails.
class ScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(s.LayoutError(), "") << "scenario at " << s.Root(); }

  Scenario s;
  KeepOnFailure keep_{s};
};

}  // namespace zrn_sim

#endif  // ZRN_TESTS_SIM_SIM_TEST_H_
