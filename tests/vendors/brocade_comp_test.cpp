// The Brocade component in process: version normalisation, device records
// from filled adapter records, and the flash through a stand-in "./bcu".
#include "vendors/brocade_comp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "tests/vendors/vendor_test_support.h"

namespace zrn_test {
namespace {

using Brocade = Open<BrocadeComp::CComponent>;

TEST(BrocadeNormalizeVersion, TakesTheLastFourDottedNumbers) {
  const struct {
    const wchar_t* installed;
    const wchar_t* normalized;
  } kCases[] = {
      {L"1.2.3.4", L"1.2.3.4"},
      {L"v3.2.0.1", L"3.2.0.1"},
      {L"3.2.0.1 build abc", L"3.2.0.1"},
      {L"BIOS 3.2.0.1\nsecond line", L"3.2.0.1"},  // dot matches the line end
      // The greedy lead keeps one digit of the first number and the last four
      // of a longer run.
      {L"12.3.4.5", L"2.3.4.5"},
      {L"1.2.3.4.5", L"2.3.4.5"},
      {L"3.2.1", L"3.2.1"},
      {L"", L""},
      {L"no version", L"no version"},
  };
  Brocade cmp;
  for (const auto& c : kCases) {
    EXPECT_EQ(cmp.NormalizeVersion(c.installed), c.normalized) << "installed: " << c.installed;
  }
}

// Appends an adapter record with these texts.
void AddRecord(Brocade& cmp, const char* vendorDevice, const char* subsystem, const char* model,
               const char* optionRom) {
  auto r = std::make_unique<FcHbaAdapterInfo>();
  snprintf(r->PciVendorDevice, sizeof(r->PciVendorDevice), "%s", vendorDevice);
  snprintf(r->PciSubsystem, sizeof(r->PciSubsystem), "%s", subsystem);
  snprintf(r->Model, sizeof(r->Model), "%s", model);
  snprintf(r->OptionROMVersion, sizeof(r->OptionROMVersion), "%s", optionRom);
  cmp.m_adapterList.m_records.push_back(std::move(r));
}

TEST(BrocadeDiscoverDevices, ExactLookupAndTheAdaptersOwnIdentity) {
  Brocade cmp;
  cmp.m_referenceSet.devices = {
      Reference(L"1657.0013.1657.0014", L"ref model", L"", L"3.2.0.0", L"120"),
      Reference(L"1657.0017.1657.0022.extra", L"", L"", L"3.0.0.0", L"60"),
      Reference(L"1657.0013.1657.0014", L"second", L"", L"9.9.9.9", L"1"),
  };
  AddRecord(cmp, "16570013", "1657abcd", "unsupported", "1.0.0.0");
  // Only an exact match counts: this one is merely contained in a reference.
  AddRecord(cmp, "16570017", "16570022", "contained", "1.0.0.0");
  AddRecord(cmp, "16570013", "16570014", "Brocade-1020", "v3.1.0.0 (boot)");
  cmp.DiscoverDevices();

  ASSERT_EQ(cmp.m_discoveryInfo.devices.size(), 1u);
  const DiscoveredDevice& d = cmp.m_discoveryInfo.devices[0];
  EXPECT_EQ(d.device_id, L"1657.0013.1657.0014");
  EXPECT_EQ(d.product_id, L"Brocade-1020");
  EXPECT_EQ(d.busnumber + d.slotnumber + d.funcnumber, L"");
  ASSERT_EQ(d.fw_items.size(), 1u);
  const FirmwareItem& item = d.fw_items[0];
  EXPECT_EQ(item.type, L"Boot BIOS ROM");
  EXPECT_EQ(item.firmware_id, L"");
  EXPECT_EQ(item.version, L"3.2.0.0");  // the first matching reference
  EXPECT_EQ(item.active_version, L"3.1.0.0");
  EXPECT_EQ(item.duration, L"120");
  EXPECT_EQ(item.message, L"");
  EXPECT_EQ(item.shared, L"no");
}

TEST(BrocadeDiscoverDevices, RecordsTheAdaptersLetterCase) {
  Brocade cmp;
  cmp.m_referenceSet.devices = {Reference(L"1657.001a.1657.001b", L"", L"", L"3.2.0.0", L"")};
  AddRecord(cmp, "1657001A", "1657001B", "", "");
  cmp.DiscoverDevices();
  ASSERT_EQ(cmp.m_discoveryInfo.devices.size(), 1u);
  EXPECT_EQ(cmp.m_discoveryInfo.devices[0].device_id, L"1657.001A.1657.001B");
}

TEST(BrocadeDiscoverDevices, AnUnreadableIdentityFindsNoReference) {
  Brocade cmp;
  cmp.m_referenceSet.devices = {Reference(L"", L"", L"", L"3.2.0.0", L"")};
  AddRecord(cmp, "N/A", "n/a", "", "");
  cmp.DiscoverDevices();
  EXPECT_TRUE(cmp.m_discoveryInfo.devices.empty());
}

TEST(BrocadeDiscoverDevices, FieldsWithoutNulAreReadUpToTheirWidth) {
  Brocade cmp;
  cmp.m_referenceSet.devices = {Reference(L"1657.0013.1657.0014", L"", L"", L"3.2.0.0", L"")};
  AddRecord(cmp, "16570013", "16570014", "", "");
  FcHbaAdapterInfo& r = *cmp.m_adapterList.m_records[0];
  std::memset(r.Model, 'M', sizeof(r.Model));
  std::memset(r.OptionROMVersion, 'v', sizeof(r.OptionROMVersion));
  cmp.DiscoverDevices();
  ASSERT_EQ(cmp.m_discoveryInfo.devices.size(), 1u);
  EXPECT_EQ(cmp.m_discoveryInfo.devices[0].product_id, std::wstring(sizeof(r.Model), L'M'));
  EXPECT_EQ(cmp.m_discoveryInfo.devices[0].fw_items[0].active_version,
            std::wstring(sizeof(r.OptionROMVersion), L'v'));
}

// A stand-in "./bcu": records its arguments, writes to standard output,
// standard error and descriptor 3, and ends as `ending` says.
void WriteBcu(const std::string& ending) {
  WriteScript("bcu",
              "echo \"$*\" > bcu.args\n"
              "echo bcu-out; echo bcu-err >&2; echo bcu-fd3 >&3\n" +
                  ending + "\n");
}

class BrocadeFlash : public CoreTest {};

TEST_F(BrocadeFlash, CommandLogAndTable) {
  const std::string kLogged = "Executing flash engine: ./bcu boot --update bfa_boot_fw -a";
  const struct {
    const char* ending;
    bool force, silent;
    const char* args;
    int code, result;
  } kCases[] = {
      {"exit 0", false, false, "boot --update bfa_boot_fw -a", 0, 1},
      {"exit 0", true, false, "boot --update bfa_boot_fw -a force", 0, 1},
      {"exit 0", false, true, "boot --update bfa_boot_fw -a", 0, 1},  // silent: nothing extra
      {"exit 1", false, false, "boot --update bfa_boot_fw -a", 1, 7},
      {"exit 3", false, false, "boot --update bfa_boot_fw -a", 3, 7},
      {"exit 255", false, false, "boot --update bfa_boot_fw -a", 255, 7},
      // A utility killed by a signal has failed, never succeeded.
      {"kill -9 $$", false, false, "boot --update bfa_boot_fw -a", 137, 7},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ending) + (c.force ? " forced" : "") + (c.silent ? " silent" : ""));
    std::remove(kLogPath);
    WriteBcu(c.ending);
    Brocade cmp;
    cmp.m_force = c.force;
    cmp.m_silent = c.silent;
    cmp.m_log.SetSilent(c.silent);
    int result = -1;
    const Captured out = Capture([&] { result = cmp.Flash(); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(ReadFile("bcu.args"), std::string(c.args) + "\n");
    const std::string messages = kLogged + (c.force ? " force" : "") + "\n";
    const std::string code = "Flash Engine exit code: " + std::to_string(c.code) + "\n";
    EXPECT_EQ(out.console, c.silent ? "" : messages + code);
    ExpectToolLog(out.log, messages + "bcu-out\nbcu-err\nbcu-fd3\n", code);
    EXPECT_EQ(ModeOf("bcu"), 0755);
  }
}

TEST_F(BrocadeFlash, MissingUtilityFails) {
  Brocade cmp;
  int result = -1;
  const Captured out = Capture([&] { result = cmp.Flash(); });
  EXPECT_EQ(result, 7);
  EXPECT_NE(out.log.find("Flash Engine exit code: 127\n"), std::string::npos) << out.log;
}

}  // namespace
}  // namespace zrn_test
