// The common-library tests' fixture: each test gets a fresh directory for
// its copies of the stand-in library, an empty trace and no "/etc/hba.conf";
// every library loaded is freed again afterwards. The common library's
// tables are process-wide, so a test compares slot states with what it saw
// before its own load rather than with the start values.
#ifndef ZRN_TESTS_HBA_HBA_TEST_FIXTURE_H_
#define ZRN_TESTS_HBA_HBA_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/standin/fchba_standin.h"

namespace zrn_hba_test {

// Inside the test's private /var; only path characters the hba.conf
// filter keeps.
constexpr char kLibraryDir[] = "/var/hbatest";

class HbaLibraryTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies the stand-in (the extension build when `extension`) to
  // <test directory>/<file> beside its scenario; returns the path.
  std::string Install(const std::string& file, const StandinLibrary& library,
                      bool extension = false);
  // Rewrites the scenario of an installed copy.
  void Rescenario(const std::string& path, const StandinLibrary& library);
  void WriteConf(const std::string& text);
  // The trace so far, one call per line.
  std::vector<std::string> Trace() const { return ReadStandinTrace(); }
  // The trace lines that start with `tag` followed by a blank.
  std::vector<std::string> TraceOf(const std::string& tag) const;
  void ClearTrace();

  std::string dir_;
};

// A library with one adapter per name, each SampleStandinAdapter(name, i + 1).
StandinLibrary LibraryWith(const std::vector<std::string>& names);

}  // namespace zrn_hba_test

#endif  // ZRN_TESTS_HBA_HBA_TEST_FIXTURE_H_
