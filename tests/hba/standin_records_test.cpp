// The stand-in library hands back exactly the records a scenario states,
// odd strings included, and its extension build answers the vendor
// extension's attribute read per adapter: what the discovery tests build on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hba/common_library.h"
#include "hba/dynamic_library.h"
#include "hba/hba_api.h"
#include "tests/hba/hba_test_fixture.h"

namespace zrn_hba_test {
namespace {

using ExtensionRead = int (*)(uint32_t handle, void* record);

TEST_F(HbaLibraryTest, StandinReturnsTheScenarioRecordsByteForByte) {
  StandinAdapter adapter = SampleStandinAdapter("odd", 1, 2);
  HBA_ADAPTERATTRIBUTES& a = adapter.attributes;
  SetStandinText(a.Manufacturer, std::string(64, 'M'));  // no NUL
  SetStandinText(a.SerialNumber, "SN 1~  ");
  SetStandinText(a.Model, "Mod\xe9l\x80\xff");
  SetStandinText(a.ModelDescription, std::string(256, 'D'));
  SetStandinText(a.FirmwareVersion, "\t 2.0 \\ x\t");
  a.VendorSpecificID = 0x3c4d1a2b;
  adapter.ports[0].statistics.TxFrames = -1;
  adapter.ports[0].statistics.InvalidCRCCount = -1;
  adapter.ports[0].statistics.RxWords = 77;
  SetStandinText(adapter.ports[0].attributes.OSDeviceName, std::string(256, 'O'));
  adapter.ports[1].attributes_status = 4;
  StandinLibrary library;
  library.adapters = {adapter};
  WriteConf("v\t" + Install("libA.so", library) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  const HBA_HANDLE handle = HBA_OpenAdapter("odd");
  ASSERT_NE(handle, 0u);

  HBA_ADAPTERATTRIBUTES attributes{};
  ASSERT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_OK);
  EXPECT_EQ(std::memcmp(&attributes, &a, sizeof a), 0);
  HBA_PORTATTRIBUTES port{};
  ASSERT_EQ(HBA_GetAdapterPortAttributes(handle, 0, &port), HBA_STATUS_OK);
  EXPECT_EQ(std::memcmp(&port, &adapter.ports[0].attributes, sizeof port), 0);
  HBA_PORTSTATISTICS statistics{};
  ASSERT_EQ(HBA_GetPortStatistics(handle, 0, &statistics), HBA_STATUS_OK);
  EXPECT_EQ(std::memcmp(&statistics, &adapter.ports[0].statistics, sizeof statistics), 0);
  EXPECT_EQ(HBA_GetAdapterPortAttributes(handle, 1, &port), 4u);
  EXPECT_EQ(HBA_GetAdapterPortAttributes(handle, 2, &port), HBA_STATUS_ERROR);
  EXPECT_EQ(zrn_hba::FindSymbol(HbaLibrarySlot(0).handle, "ZRNFC_GetAdapterAttributes2"), nullptr);
}

TEST_F(HbaLibraryTest, StandinExtensionBuildAnswersPerAdapter) {
  StandinLibrary library = LibraryWith({"first", "second"});
  StandinAdapter& first = library.adapters[0];
  first.handle = 0x10007;  // the extension is asked with the low 16 bits
  first.ext_subsystem = 0x3c4d1a2b;
  first.ext_bus = 0x05;
  first.ext_function = 1;
  first.ext_domain = 2;
  first.ext_write_size = 4096;
  library.adapters[1].ext_status = 5;
  library.adapters[1].ext_NodeWWN = HBA_WWN{{1, 2, 3, 4, 5, 6, 7, 8}};
  WriteConf("v\t" + Install("libqlsdm.so", library, /*extension=*/true) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 2u);
  char path[256];
  void* handle = GetAdapterLibrary(0, path);
  const auto read =
      reinterpret_cast<ExtensionRead>(zrn_hba::FindSymbol(handle, "ZRNFC_GetAdapterAttributes2"));
  ASSERT_NE(read, nullptr);

  std::vector<unsigned char> record(8192, 0);
  ASSERT_EQ(read(0x7, record.data()), 0);
  EXPECT_EQ(std::memcmp(record.data(), &first.attributes, sizeof first.attributes), 0);
  uint32_t subsystem;
  std::memcpy(&subsystem, &record[2192], sizeof subsystem);
  EXPECT_EQ(subsystem, 0x3c4d1a2bu);
  EXPECT_EQ(record[2196], 0x05);
  EXPECT_EQ(record[2197], 1);
  EXPECT_EQ(record[2198], 2);
  EXPECT_EQ(record[2199], 0xEE);
  EXPECT_EQ(record[4095], 0xEE);
  EXPECT_EQ(record[4096], 0) << "4096 bytes written in all";

  std::vector<unsigned char> untouched(4096, 0);
  EXPECT_EQ(read(0x2, untouched.data()), 5);
  EXPECT_EQ(untouched, std::vector<unsigned char>(4096, 0));
  library.adapters[1].ext_status = 0;
  Rescenario(path, library);
  ASSERT_EQ(HBA_FreeLibrary(), 0);
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  handle = GetAdapterLibrary(1, path);
  const auto reread =
      reinterpret_cast<ExtensionRead>(zrn_hba::FindSymbol(handle, "ZRNFC_GetAdapterAttributes2"));
  ASSERT_NE(reread, nullptr);
  ASSERT_EQ(reread(0x2, untouched.data()), 0);
  EXPECT_EQ(untouched[640], 1);
  EXPECT_EQ(untouched[647], 8);
  EXPECT_EQ(TraceOf("libqlsdm.so").back(), "ZRNFC_GetAdapterAttributes2 0x2");
}

}  // namespace
}  // namespace zrn_hba_test
