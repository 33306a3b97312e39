// Helpers for the HBA layer's in-process tests. The tests run in a private
// mount namespace (see model_test_main.cpp) where /etc, /usr/lib,
// /usr/lib64 and /var are overlays over the host's and /sys is an empty tmpfs, so a
// test may write there freely; nothing reaches the host.
#ifndef ZRN_TESTS_HBA_HBA_TEST_SUPPORT_H_
#define ZRN_TESTS_HBA_HBA_TEST_SUPPORT_H_

#include <string>

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

}  // namespace zrn_hba_test

#endif  // ZRN_TESTS_HBA_HBA_TEST_SUPPORT_H_
