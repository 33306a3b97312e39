// Shared pieces of the vendor tests: a vendor component with its state open
// to the test, stand-in tool scripts in the working directory, and a run of
// one operation with its console output captured.
#ifndef ZRN_TESTS_VENDORS_VENDOR_TEST_SUPPORT_H_
#define ZRN_TESTS_VENDORS_VENDOR_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/records.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {

// A vendor component whose members the test reads and fills.
template <class Component>
class Open : public Component {
 public:
  using Component::m_adapterList;
  using Component::m_discoveryInfo;
  using Component::m_force;
  using Component::m_log;
  using Component::m_referenceSet;
  using Component::m_silent;
};

// A reference with these values (type "FC HBA").
ReferenceDevice Reference(const wchar_t* device_id, const wchar_t* model, const wchar_t* firmware,
                          const wchar_t* bios, const wchar_t* duration);

// Writes an executable shell script at `path` (parent directories created).
void WriteScript(const std::string& path, const std::string& body);

// The permission bits of the file at `path`; -1 when it does not exist.
int ModeOf(const std::string& path);

// What one operation printed on the console and appended to the log.
struct Captured {
  std::string console, log;
};
// Runs `operation` with standard output and error captured; the log is read
// after it (the test starts without one).
Captured Capture(const std::function<void()>& operation);

// The log of a flash: `head` (the logged command and the tool's output), then
// at most what the shell adds about a killed tool ("Killed\n"), then `tail`.
void ExpectToolLog(const std::string& log, const std::string& head, const std::string& tail);

}  // namespace zrn_test

#endif  // ZRN_TESTS_VENDORS_VENDOR_TEST_SUPPORT_H_
