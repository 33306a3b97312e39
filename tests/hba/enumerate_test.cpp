// FcHbaAdapterList::Enumerate end to end in process: the common library over
// the private machine's /etc/hba.conf, stand-in FC-HBA and management
// libraries, the vendor extension on both roads and the fake sysfs tree.
// Standard output is sent into the stand-ins' trace file while the list is
// enumerated, so the trace shows where the enumeration's message falls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "hba/adapter_list.h"
#include "hba/mra.h"
#include "tests/hba/hba_test_support.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/mgmt/mgmt_standin.h"

namespace {

using zrn_hba_test::CopyFile;
using zrn_hba_test::FcHbaMachine;
using zrn_hba_test::MgmtStandin;
using zrn_hba_test::ReadFile;
using zrn_hba_test::RemoveTree;
using zrn_hba_test::WriteFile;

const char kFailed[] = "MRA get returned failed status!";

// Runs Enumerate with standard output appended to the stand-in trace.
int EnumerateIntoTrace(FcHbaAdapterList* list) {
  std::cout.flush();
  std::fflush(stdout);
  (void)mkdir("/var/fchba_standin", 0755);
  const int trace = open(kStandinTraceFile, O_WRONLY | O_APPEND | O_CREAT, 0644);
  const int saved = dup(1);
  dup2(trace, 1);
  const int result = list->Enumerate();
  std::cout.flush();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(trace);
  return result;
}

// Position of the first trace line equal to `line`; -1 when there is none.
long Where(const std::vector<std::string>& trace, const std::string& line) {
  const auto at = std::find(trace.begin(), trace.end(), line);
  return at == trace.end() ? -1 : at - trace.begin();
}

long Count(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

std::vector<std::string> MgmtTrace() { return SplitStandinTrace(ReadFile(ZRN_MGMT_STANDIN_TRACE)); }

void SysDevice(const std::string& dir, const char* vendor, const char* device,
               const char* subsystemVendor, const char* subsystemDevice) {
  WriteFile(dir + "/vendor", std::string(vendor) + "\n");
  WriteFile(dir + "/device", std::string(device) + "\n");
  WriteFile(dir + "/subsystem_vendor", std::string(subsystemVendor) + "\n");
  WriteFile(dir + "/subsystem_device", std::string(subsystemDevice) + "\n");
}

class Enumerate : public FcHbaMachine {
 protected:
  void SetUp() override {
    FcHbaMachine::SetUp();
    ClearMgmt();
    RemoveTree("/sys/devices");
  }
  void TearDown() override {
    ClearMgmt();
    RemoveTree("/sys/devices");
    FcHbaMachine::TearDown();
  }
  static void ClearMgmt() {
    for (const char* path :
         {"/usr/lib/libemsdm.so", "/usr/lib64/libemsdm.so", "/etc/zrn_standin"}) {
      RemoveTree(path);
    }
  }
};

TEST_F(Enumerate, NoHbaConfGivesNoRecordsAndNoMessage) {
  FcHbaAdapterList list;
  testing::internal::CaptureStdout();
  EXPECT_EQ(list.Enumerate(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(list.m_records.empty());
}

// The enumerator's statuses: 0 for a complete read, 1 for a failed step
// (the adapter still comes), and the end of the list leaves the last status.
TEST_F(Enumerate, EnumeratorStatuses) {
  StandinAdapter broken = SampleStandinAdapter("Brocade-1", 2, 1);
  broken.attributes_status = 4;
  InstallAdapters("/usr/lib64/liba.so", {SampleStandinAdapter("Brocade-0", 1, 1), broken});
  HbaConf("a\t/usr/lib64/liba.so\n");
  FcHbaMRA mra;
  EXPECT_EQ(mra.m_adapterCount, 2u);
  int status = -1;
  std::unique_ptr<FcHbaAdapter> first(mra.GetFirstAdapter(&status));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(first->m_index, 0u);
  std::unique_ptr<FcHbaAdapter> second(mra.GetNextAdapter(first.get(), &status));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(second->GetName(), "Brocade-1");
  EXPECT_EQ(mra.GetNextAdapter(second.get(), &status), nullptr);
  EXPECT_EQ(status, 1);

  RemoveTree("/etc/hba.conf");
  FcHbaMRA none;
  EXPECT_EQ(none.m_adapterCount, 0u);
  status = -1;
  EXPECT_EQ(none.GetFirstAdapter(&status), nullptr);
  EXPECT_EQ(status, 0);
}

// Three adapters over two libraries in common-index order; the second does
// not open, is reported once before the third is read, and still gets its
// record.
TEST_F(Enumerate, ThreeAdaptersSecondFailingToOpen) {
  StandinAdapter a0 = SampleStandinAdapter("Brocade-A0", 1, 1);
  a0.attributes.VendorSpecificID = 0x3c4d1a2b;
  StandinAdapter a1 = SampleStandinAdapter("Brocade-A1", 2, 1);
  a1.handle = 0;
  StandinAdapter b0 = SampleStandinAdapter("Brocade-B0", 3, 0);
  InstallAdapters("/usr/lib64/liba.so", {a0, a1});
  InstallAdapters("/usr/lib64/libb.so", {b0});
  HbaConf("a\t/usr/lib64/liba.so\nb\t/usr/lib64/libb.so\n");

  FcHbaAdapterList list;
  EXPECT_EQ(EnumerateIntoTrace(&list), 1);
  ASSERT_EQ(list.m_records.size(), 3u);

  const FcHbaAdapterInfo& first = *list.m_records[0];
  EXPECT_STREQ(first.NodeWWN, "20:00:00:00:00:00:00:01");
  EXPECT_STREQ(first.PortWWN, "21:00:00:00:00:00:00:01");
  EXPECT_STREQ(first.Model, "SA-1");
  EXPECT_STREQ(first.DriverVersion, "1.1");
  EXPECT_STREQ(first.PciSubsystem, "1a2b3c4d");
  EXPECT_STREQ(first.PciVendorDevice, "N/A");

  const FcHbaAdapterInfo& failed = *list.m_records[1];
  EXPECT_STREQ(failed.NodeWWN, "00:00:00:00:00:00:00:00");
  EXPECT_STREQ(failed.PortWWN, "");  // no port was read
  for (const char* field :
       {failed.DriverVersion, failed.OptionROMVersion, failed.FirmwareVersion, failed.Model}) {
    EXPECT_STREQ(field, "Undefined");
  }
  EXPECT_STREQ(failed.PciSubsystem, "00000000");
  EXPECT_STREQ(failed.PciVendorDevice, "N/A");

  const FcHbaAdapterInfo& third = *list.m_records[2];
  EXPECT_STREQ(third.Model, "SA-3");
  EXPECT_STREQ(third.PortWWN, "");  // an adapter without ports
  for (const auto& record : list.m_records) {
    EXPECT_EQ(std::string(record->Spare, sizeof record->Spare), std::string(256, '\0'));
  }

  const auto trace = ReadStandinTrace();
  EXPECT_EQ(Count(trace, kFailed), 1);
  const long failedOpen = Where(trace, "liba.so OpenAdapter Brocade-A1");
  const long message = Where(trace, kFailed);
  const long thirdOpen = Where(trace, "libb.so OpenAdapter Brocade-B0");
  ASSERT_GE(failedOpen, 0);
  EXPECT_LT(failedOpen, message);
  EXPECT_LT(message, thirdOpen);
  // Released once the last record is built: each library freed and unloaded.
  EXPECT_EQ(trace.back().find("unloaded") != std::string::npos, true) << trace.back();
}

// An adapter of a library whose path names its vendor's management library
// is read through that library's own extension entry: the FC-HBA libraries
// stay loaded until the enumeration ends.
TEST_F(Enumerate, PciIdentityThroughTheBoundExtension) {
  StandinAdapter q = SampleStandinAdapter("qlogic-QLE2562-0", 1, 1);
  q.attributes.VendorSpecificID = 0x11111111;
  q.ext_subsystem = 0x015d1077;
  q.ext_bus = 0x05;
  q.ext_write_size = 4096;  // more than the record the program reads
  // Listed without a hyphen: the path filter would cut it there.
  InstallAdapters("/usr/lib/libqlsdm.so", {q}, /*extension=*/true);
  HbaConf("qlogic\t/usr/lib/libqlsdm.so\n");
  const std::string bridge = "/sys/devices/pci0000:00/0000:00:03.0";
  SysDevice(bridge, "0x8086", "0x3c08", "0x1028", "0x04f8");
  SysDevice(bridge + "/0000:05:01.0", "0x8086", "0x10fb", "0x8086", "0x000c");
  SysDevice(bridge + "/0000:05:00.0", "0x1077", "0x2532", "0x1077", "0x015d");

  FcHbaAdapterList list;
  EXPECT_EQ(EnumerateIntoTrace(&list), 1);
  ASSERT_EQ(list.m_records.size(), 1u);
  EXPECT_STREQ(list.m_records[0]->PciSubsystem, "1077015d");
  EXPECT_STREQ(list.m_records[0]->PciVendorDevice, "10772532");

  const auto trace = ReadStandinTrace();
  const std::string lib = "libqlsdm.so ";
  EXPECT_EQ(Count(trace, lib + "OpenAdapter qlogic-QLE2562-0"), 2);
  EXPECT_EQ(Count(trace, lib + "CloseAdapter 0x1"), 2);
  EXPECT_EQ(Count(trace, lib + "ZRNFC_GetAdapterAttributes2 0x1"), 1);
  EXPECT_EQ(Count(trace, lib + "FreeLibrary"), 1);
  EXPECT_GT(Where(trace, lib + "FreeLibrary"),
            Where(trace, lib + "ZRNFC_GetAdapterAttributes2 0x1"));
  EXPECT_EQ(Count(trace, kFailed), 0);
}

// Any other adapter takes the direct road: the FC-HBA libraries are freed,
// the management library (here at its vendor's second path) is walked to the
// adapter with the same node WWN, and the FC-HBA libraries come back for the
// adapters still to be read.
TEST_F(Enumerate, PciIdentityThroughTheDirectRoad) {
  StandinAdapter e0 = SampleStandinAdapter("Emulex-LPe12002-0", 1, 1);
  e0.attributes.NodeWWN = HBA_WWN{{0x20, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
  StandinAdapter e1 = SampleStandinAdapter("Emulex-LPe12002-1", 2, 1);
  InstallAdapters("/usr/lib64/libfchba_emx.so", {e0, e1});
  HbaConf("emx\t/usr/lib64/libfchba_emx.so\n");
  WriteFile("/usr/lib/libemsdm.so", "not a library\n");
  CopyFile("/usr/lib64/libemsdm.so", MgmtStandin());
  WriteFile(ZRN_MGMT_STANDIN_CONF,
            "adapter m0 2000001122334400 11111111 01 00 00\n"
            "adapter m1 2000001122334455 3c4d1a2b 05 00 00\n"
            "adapter m2 2000001122334466 22222222 06 00 00\n");
  SysDevice("/sys/devices/pci0000:00/0000:00:1c.0/0000:05:00.0", "0x19a2", "0x0704", "0x1a2b",
            "0x3c4d");

  FcHbaAdapterList list;
  EXPECT_EQ(EnumerateIntoTrace(&list), 1);
  ASSERT_EQ(list.m_records.size(), 2u);
  EXPECT_STREQ(list.m_records[0]->PciSubsystem, "1a2b3c4d");
  EXPECT_STREQ(list.m_records[0]->PciVendorDevice, "19a20704");
  // The second adapter was read after the free and reload.
  EXPECT_STREQ(list.m_records[1]->Model, "SA-2");
  EXPECT_STREQ(list.m_records[1]->PciVendorDevice, "N/A");

  const auto mgmt = MgmtTrace();
  const std::string lib = "/usr/lib64/libemsdm.so ";
  EXPECT_EQ(Count(mgmt, lib + "ZRNFC_OpenAdapter m0 0x100"), 2);  // once per adapter
  EXPECT_EQ(Count(mgmt, lib + "ZRNFC_OpenAdapter m1 0x101"), 2);
  EXPECT_EQ(Count(mgmt, lib + "ZRNFC_CloseAdapter 0x100"), 2);
  EXPECT_EQ(Count(mgmt, lib + "ZRNFC_CloseAdapter 0x101"), 2);
  EXPECT_EQ(Count(mgmt, lib + "ZRNFC_FreeLibrary"), 2);
  EXPECT_EQ(Count(mgmt, lib + "unload"), 2);

  const auto trace = ReadStandinTrace();
  const std::string fchba = "libfchba_emx.so ";
  // Loaded at the start and after each of the two direct reads.
  EXPECT_EQ(Count(trace, fchba + "HBA_RegisterLibrary"), 3);
  EXPECT_EQ(Count(trace, fchba + "FreeLibrary"), 3);
  EXPECT_EQ(Count(trace, kFailed), 0);
}

}  // namespace
