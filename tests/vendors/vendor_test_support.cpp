#include "tests/vendors/vendor_test_support.h"

#include <sys/stat.h>

#include <filesystem>

namespace zrn_test {

ReferenceDevice Reference(const wchar_t* device_id, const wchar_t* model, const wchar_t* firmware,
                          const wchar_t* bios, const wchar_t* duration) {
  ReferenceDevice r;
  r.type = L"FC HBA";
  r.device_id = device_id;
  r.model = model;
  r.firmware = firmware;
  r.bios = bios;
  r.boot = bios;
  r.duration = duration;
  return r;
}

void WriteScript(const std::string& path, const std::string& body) {
  const std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  WriteFile(path, "#!/bin/sh\n" + body);
  ASSERT_EQ(chmod(path.c_str(), 0700), 0) << path;
}

int ModeOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

Captured Capture(const std::function<void()>& operation) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  operation();
  testing::internal::GetCapturedStderr();
  Captured c;
  c.console = testing::internal::GetCapturedStdout();
  c.log = ReadFile(kLogPath);
  return c;
}

void ExpectToolLog(const std::string& log, const std::string& head, const std::string& tail) {
  const bool framed = log.size() >= head.size() + tail.size() && log.rfind(head, 0) == 0 &&
                      log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
  ASSERT_TRUE(framed) << "log:\n"
                      << log << "\nexpected to begin with:\n"
                      << head << "\nand end with:\n"
                      << tail;
  const std::string between = log.substr(head.size(), log.size() - head.size() - tail.size());
  EXPECT_TRUE(between.empty() || between == "Killed\n") << "between: " << between;
}

}  // namespace zrn_test
