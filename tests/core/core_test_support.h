// Shared pieces of the core tests: file helpers, a fixture that works in a
// fresh temporary directory with an empty private /var, and a component whose
// records a test fills and whose virtual operations it scripts.
#ifndef ZRN_TESTS_CORE_CORE_TEST_SUPPORT_H_
#define ZRN_TESTS_CORE_CORE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/base_cmp.h"

namespace zrn_test {

extern const char kLogPath[];
// The self-discovery document of a run with header type "FC HBA" and no device.
extern const char kHeaderOnlyDocument[];

// Leaves a marker in the private /var; the fixture refuses to clear a /var
// without it, so a test can never remove anything of the host's.
bool MarkPrivateVar();

// The file's bytes; "" when it is not a regular file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// ASCII text as 16-bit units.
std::u16string Units(const std::string& ascii);
// 16-bit units as UTF-16 bytes in either order, with a byte-order mark when
// asked.
std::string Utf16(const std::u16string& units, bool little_endian, bool mark);

// Each test starts in a new empty working directory with no /var/zrn; the
// previous working directory is restored and the directory removed after.
class CoreTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_;

 private:
  std::string previous_;
};

// While it lives, /var/zrn is a tiny tmpfs that is full: the log file exists
// and opens for appending, but nothing more can be written to it. Only
// inside the tests' private /var (CoreTest checks that).
class FullLogFileSystem {
 public:
  FullLogFileSystem();
  ~FullLogFileSystem();
  FullLogFileSystem(const FullLogFileSystem&) = delete;
  FullLogFileSystem& operator=(const FullLogFileSystem&) = delete;
  // False when the file system could not be set up (the test has failed).
  bool ok() const { return mounted_; }

 private:
  bool mounted_ = false;
};

// A component with its state open to the test.
class TestComponent : public CBaseCmp {
 public:
  using CBaseCmp::m_adapterList;
  using CBaseCmp::m_discover;
  using CBaseCmp::m_discoveryInfo;
  using CBaseCmp::m_force;
  using CBaseCmp::m_log;
  using CBaseCmp::m_outputPath;
  using CBaseCmp::m_referenceSet;
  using CBaseCmp::m_silent;

  // Parses a list of arguments, the program name included.
  int Parse(std::initializer_list<const char*> args);
  // Appends an adapter record with these PCI texts.
  void AddAdapter(const char* vendorDevice, const char* subsystem);
  // Appends a device with one item per action.
  void AddDevice(std::initializer_list<const wchar_t*> actions);

  // When set, replaces the base discovery.
  std::function<bool()> discover;
  int flashResult = 0;
  int flashCalls = 0;
  int discoverDevicesCalls = 0;

  bool Discover() override { return discover ? discover() : CBaseCmp::Discover(); }
  void DiscoverDevices() override { ++discoverDevicesCalls; }
  int Flash() override {
    ++flashCalls;
    return flashResult;
  }
};

}  // namespace zrn_test

#endif  // ZRN_TESTS_CORE_CORE_TEST_SUPPORT_H_
