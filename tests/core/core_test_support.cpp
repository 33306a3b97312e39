#include "tests/core/core_test_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace zrn_test {

const char kLogPath[] = "/var/zrn/Component.log";

const char kHeaderOnlyDocument[] =
    "<?xml version=\"1.0\"?>\n"
    "<tarv_rom_discovery version=\"2.0.0.0\">\n"
    "  <type value=\"FC HBA\"/>\n"
    "  <alt_name value=\"\"/>\n"
    "  <version value=\"\"/>\n"
    "  <takes_effect value=\"\"/>\n"
    "  <devices/>\n"
    "</tarv_rom_discovery>\n";

namespace {
const char kMarker[] = "/var/.zrn-core-tests-private";
}

bool MarkPrivateVar() {
  std::ofstream marker(kMarker);
  return marker.is_open();
}

std::string ReadFile(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) return "";
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::u16string Units(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::string Utf16(const std::u16string& units, bool little_endian, bool mark) {
  std::string bytes;
  if (mark) bytes += little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t u : units) {
    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
    bytes += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

void CoreTest::SetUp() {
  ASSERT_TRUE(std::filesystem::exists(kMarker)) << "/var is not the tests' private tmpfs";
  std::filesystem::remove_all("/var/zrn");
  char tmpl[] = "/tmp/zrn-core-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
  previous_ = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir_.c_str()), 0);
}

void CoreTest::TearDown() {
  if (!previous_.empty()) {
    EXPECT_EQ(chdir(previous_.c_str()), 0);
  }
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

FullLogFileSystem::FullLogFileSystem() {
  std::filesystem::create_directories("/var/zrn");
  if (mount("tmpfs", "/var/zrn", "tmpfs", 0, "size=16k,mode=0755") != 0) {
    ADD_FAILURE() << "cannot mount a tmpfs on /var/zrn: " << std::strerror(errno);
    return;
  }
  mounted_ = true;
  WriteFile(kLogPath, "");
  // Fill every block, so that the next write to the log fails.
  const int fd = open("/var/zrn/filler", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    ADD_FAILURE() << "cannot create the filler: " << std::strerror(errno);
    return;
  }
  const std::string block(4096, 'x');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  while (write(fd, block.data(), 1) > 0) {
  }
  close(fd);
}

FullLogFileSystem::~FullLogFileSystem() {
  if (mounted_) {
    EXPECT_EQ(umount("/var/zrn"), 0) << std::strerror(errno);
  }
}

int TestComponent::Parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv(args);
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

void TestComponent::AddAdapter(const char* vendorDevice, const char* subsystem) {
  auto record = std::make_unique<FcHbaAdapterInfo>();
  snprintf(record->PciVendorDevice, sizeof(record->PciVendorDevice), "%s", vendorDevice);
  snprintf(record->PciSubsystem, sizeof(record->PciSubsystem), "%s", subsystem);
  m_adapterList.m_records.push_back(std::move(record));
}

void TestComponent::AddDevice(std::initializer_list<const wchar_t*> actions) {
  DiscoveredDevice device;
  for (const wchar_t* action : actions) {
    FirmwareItem item;
    item.action = action;
    device.fw_items.push_back(item);
  }
  m_discoveryInfo.devices.push_back(device);
}

}  // namespace zrn_test
