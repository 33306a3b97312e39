// Helpers for the HBA layer's in-process tests. The tests run in a private
// mount namespace (see model_test_main.cpp) where /etc, /usr/lib and
// /usr/lib64 are overlays over the host's, /var and /sys are empty tmpfs, so a
// test may write there freely; nothing reaches the host.
#ifndef ZRN_TESTS_HBA_HBA_TEST_SUPPORT_H_
#define ZRN_TESTS_HBA_HBA_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/standin/fchba_standin.h"

namespace zrn_hba_test {

// Sets up the private machine described above; false (with the reason on
// standard error) when it cannot, e.g. without root.
bool EnterPrivateMachine();

// Writes `content` to `path`, creating the parent directories.
void WriteFile(const std::string& path, const std::string& content);
// Copies a built file (a stand-in library) to `path`.
void CopyFile(const std::string& path, const std::string& source);
// The file's content; empty when it does not exist.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Removes `path` and everything below it, if it exists.
void RemoveTree(const std::string& path);

// The built stand-in management library; with a symbol name (e.g.
// "FreeLibrary"), the variant that lacks ZRNFC_<symbol>.
std::string MgmtStandin(const std::string& without = "");

// A test on the private machine with stand-in FC-HBA vendor libraries: every
// test starts without /etc/hba.conf, stand-in trace or scenario files of an
// earlier one, and ends with the libraries freed.
class FcHbaMachine : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Puts a copy of the stand-in FC-HBA library (the build that also exports
  // the vendor extension when `extension`) at `path`, with its scenario.
  void InstallLibrary(const std::string& path, const StandinLibrary& library,
                      bool extension = false);
  void InstallAdapters(const std::string& path, const std::vector<StandinAdapter>& adapters,
                       bool extension = false);
  void HbaConf(const std::string& text);
  // HBA_LoadLibrary and HBA_GetNumberOfAdapters, as the enumerator does.
  unsigned LoadAndCount();
  void ClearTrace();

 private:
  std::vector<std::string> installed_;
};

}  // namespace zrn_hba_test

#endif  // ZRN_TESTS_HBA_HBA_TEST_SUPPORT_H_
