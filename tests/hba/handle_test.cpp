// Common handles: opening by name, the slot and vendor-handle encoding, and
// the routing of every handle-taking operation to the owning library.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hba/common_library.h"
#include "hba/hba_api.h"
#include "tests/hba/hba_test_fixture.h"

namespace zrn_hba_test {
namespace {

TEST_F(HbaLibraryTest, NameThatTwoLibrariesReportOpensInTheLowerSlot) {
  const std::string a = Install("libA.so", LibraryWith({"alpha", "beta"}));
  const std::string b = Install("libB.so", LibraryWith({"beta"}));
  WriteConf("a\t" + a + "\nb\t" + b + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 3u);
  ClearTrace();
  EXPECT_EQ(HBA_OpenAdapter("beta"), 0x2u);
  EXPECT_EQ(HBA_OpenAdapter("Beta"), 0u) << "names compare case-sensitively";
  EXPECT_EQ(HBA_OpenAdapter("gamma"), 0u);
  EXPECT_EQ(HBA_OpenAdapter(nullptr), 0u);
  EXPECT_EQ(TraceOf("libA.so"), (std::vector<std::string>{"OpenAdapter beta"}));
  EXPECT_TRUE(TraceOf("libB.so").empty());
}

struct EncodingCase {
  bool second_slot;  // the library sits in slot 1 behind a line that fails
  HBA_UINT32 vendor_handle;
  HBA_HANDLE common_handle;
  std::vector<std::string> trace;  // the library's calls for open, attributes, close
};

TEST_F(HbaLibraryTest, HandleCarriesSlotAndLowSixteenBitsOfTheVendorHandle) {
  const std::vector<EncodingCase> cases = {
      {false, 0x7, 0x7, {"OpenAdapter alpha", "GetAdapterAttributes 0x7", "CloseAdapter 0x7"}},
      {true, 0x5, 0x10005, {"OpenAdapter alpha", "GetAdapterAttributes 0x5", "CloseAdapter 0x5"}},
      {true,
       0x12345,
       0x12345,
       {"OpenAdapter alpha", "GetAdapterAttributes 0x2345", "CloseAdapter 0x2345"}},
      {false, 0, 0, {"OpenAdapter alpha"}},
      {true, 0, 0, {"OpenAdapter alpha"}},
      // Slot 0 and a vendor handle of 0 in its low bits cannot be told from
      // "no handle": the open fails and the vendor handle is closed at once.
      {false, 0x10000, 0, {"OpenAdapter alpha", "CloseAdapter 0x10000"}},
  };
  int serial = 0;
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "vendor handle 0x" << std::hex << c.vendor_handle
                                    << (c.second_slot ? " in slot 1" : " in slot 0"));
    StandinLibrary library = LibraryWith({"alpha"});
    library.adapters[0].handle = c.vendor_handle;
    const std::string file = "libenc" + std::to_string(++serial) + ".so";
    const std::string lib = Install(file, library);
    WriteConf((c.second_slot ? "none\t" + dir_ + "/none.so\n" : std::string()) + "v\t" + lib +
              "\n");
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
    ClearTrace();
    const HBA_HANDLE handle = HBA_OpenAdapter("alpha");
    EXPECT_EQ(handle, c.common_handle);
    if (handle != 0) {
      HBA_ADAPTERATTRIBUTES attributes{};
      EXPECT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_OK);
      EXPECT_STREQ(attributes.Model, "SA-1") << "the vendor found its adapter by the low bits";
      HBA_CloseAdapter(handle);
    }
    EXPECT_EQ(TraceOf(file), c.trace);
    ASSERT_EQ(HBA_FreeLibrary(), 0);
  }
}

TEST_F(HbaLibraryTest, DecodeHandleChecksSlotRangeAndLoadedLibrary) {
  WriteConf("none\t" + dir_ + "/none.so\nv\t" + Install("libA.so", LibraryWith({"alpha"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  struct {
    HBA_HANDLE handle;
    HBA_STATUS status;
  } cases[] = {
      {32u << 16, HBA_STATUS_ERROR_INVALID_HANDLE},
      {0xFFFF0001u, HBA_STATUS_ERROR_INVALID_HANDLE},
      {(31u << 16) | 1, HBA_STATUS_ERROR},
      {0x00000003u, HBA_STATUS_ERROR},  // slot 0's library did not load
      {0x0001ABCDu, HBA_STATUS_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "handle 0x" << std::hex << c.handle);
    int slot = -1;
    HBA_HANDLE vendor = 0;
    EXPECT_EQ(DecodeHandle(c.handle, &slot, &vendor), c.status);
    if (c.status == HBA_STATUS_OK) {
      EXPECT_EQ(slot, 1);
      EXPECT_EQ(vendor, 0xABCDu);
    }
  }
}

TEST_F(HbaLibraryTest, RecordOperationsPassVendorStatusesThrough) {
  StandinLibrary library = LibraryWith({"good", "bad"});
  library.adapters[0].ports.resize(2);
  library.adapters[0].ports[1].attributes_status = 7;
  library.adapters[0].ports[1].statistics_status = 9;
  library.adapters[0].ports[0].statistics.TxFrames = 1234;
  library.adapters[1].attributes_status = 42;
  WriteConf("v\t" + Install("libA.so", library) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 2u);
  const HBA_HANDLE good = HBA_OpenAdapter("good");
  const HBA_HANDLE bad = HBA_OpenAdapter("bad");
  ASSERT_NE(good, 0u);
  ASSERT_NE(bad, 0u);

  HBA_ADAPTERATTRIBUTES attributes{};
  EXPECT_EQ(HBA_GetAdapterAttributes(good, &attributes), HBA_STATUS_OK);
  EXPECT_STREQ(attributes.Manufacturer, "Standin");
  EXPECT_EQ(HBA_GetAdapterAttributes(bad, &attributes), 42u);
  HBA_PORTATTRIBUTES port{};
  HBA_PORTSTATISTICS statistics{};
  EXPECT_EQ(HBA_GetAdapterPortAttributes(good, 0, &port), HBA_STATUS_OK);
  EXPECT_EQ(port.PortWWN.wwn[0], 0x21);
  EXPECT_EQ(HBA_GetAdapterPortAttributes(good, 1, &port), 7u);
  EXPECT_EQ(HBA_GetPortStatistics(good, 0, &statistics), HBA_STATUS_OK);
  EXPECT_EQ(statistics.TxFrames, 1234);
  EXPECT_EQ(HBA_GetPortStatistics(good, 1, &statistics), 9u);
}

TEST_F(HbaLibraryTest, AbsentEntryGivesZeroAndLeavesTheRecordAlone) {
  StandinLibrary library = LibraryWith({"alpha"});
  library.missing = {"GetAdapterAttributes", "GetAdapterPortAttributes", "GetPortStatistics",
                     "CloseAdapter"};
  const std::string lib = Install("libA.so", library);
  WriteConf("v\t" + lib + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  const HBA_HANDLE handle = HBA_OpenAdapter("alpha");
  ASSERT_NE(handle, 0u);
  ClearTrace();

  HBA_ADAPTERATTRIBUTES attributes;
  std::memset(&attributes, 0xAB, sizeof attributes);
  HBA_PORTATTRIBUTES port;
  std::memset(&port, 0xAB, sizeof port);
  HBA_PORTSTATISTICS statistics;
  std::memset(&statistics, 0xAB, sizeof statistics);
  EXPECT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_OK);
  EXPECT_EQ(HBA_GetAdapterPortAttributes(handle, 0, &port), HBA_STATUS_OK);
  EXPECT_EQ(HBA_GetPortStatistics(handle, 0, &statistics), HBA_STATUS_OK);
  HBA_CloseAdapter(handle);
  for (const unsigned char byte :
       std::string(reinterpret_cast<char*>(&attributes), sizeof attributes) +
           std::string(reinterpret_cast<char*>(&port), sizeof port) +
           std::string(reinterpret_cast<char*>(&statistics), sizeof statistics)) {
    ASSERT_EQ(byte, 0xAB);
  }
  EXPECT_TRUE(TraceOf("libA.so").empty());
}

TEST_F(HbaLibraryTest, PassThroughsRouteByHandleOrRefuseIt) {
  StandinLibrary library = LibraryWith({"alpha"});
  library.adapters[0].handle = 5;
  library.passthru_status = 9;
  WriteConf("none\t" + dir_ + "/none.so\nv\t" + Install("libA.so", library) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  const HBA_HANDLE handle = HBA_OpenAdapter("alpha");
  ASSERT_EQ(handle, 0x10005u);

  const HBA_WWN wwn{};
  char buffer[64];
  HBA_UINT32 size = sizeof buffer;
  constexpr HBA_STATUS kNoStatus = 0xFFFF;  // entries whose operation returns nothing
  const std::vector<std::pair<std::string, std::function<HBA_STATUS(HBA_HANDLE)>>> operations = {
      {"GetDiscoveredPortAttributes",
       [&](HBA_HANDLE h) {
         HBA_PORTATTRIBUTES port{};
         return HBA_GetDiscoveredPortAttributes(h, 0, 1, &port);
       }},
      {"GetPortAttributesByWWN",
       [&](HBA_HANDLE h) {
         HBA_PORTATTRIBUTES port{};
         return HBA_GetPortAttributesByWWN(h, wwn, &port);
       }},
      {"SendCTPassThru",
       [&](HBA_HANDLE h) { return HBA_SendCTPassThru(h, buffer, 8, buffer, sizeof buffer); }},
      {"RefreshInformation",
       [&](HBA_HANDLE h) {
         HBA_RefreshInformation(h);
         return kNoStatus;
       }},
      {"ResetStatistics",
       [&](HBA_HANDLE h) {
         HBA_ResetStatistics(h, 0);
         return kNoStatus;
       }},
      {"GetFcpTargetMapping", [&](HBA_HANDLE h) { return HBA_GetFcpTargetMapping(h, nullptr); }},
      {"GetFcpPersistentBinding",
       [&](HBA_HANDLE h) { return HBA_GetFcpPersistentBinding(h, nullptr); }},
      {"GetEventBuffer", [&](HBA_HANDLE h) { return HBA_GetEventBuffer(h, nullptr, &size); }},
      {"SetRNIDMgmtInfo", [&](HBA_HANDLE h) { return HBA_SetRNIDMgmtInfo(h, nullptr); }},
      {"GetRNIDMgmtInfo", [&](HBA_HANDLE h) { return HBA_GetRNIDMgmtInfo(h, nullptr); }},
      {"SendRNID", [&](HBA_HANDLE h) { return HBA_SendRNID(h, wwn, 1, buffer, &size); }},
      {"ScsiInquiry",
       [&](HBA_HANDLE h) {
         return HBA_ScsiInquiry(h, wwn, 0, 1, 0x83, buffer, 32, buffer + 32, 32);
       }},
      {"ReportLUNs",
       [&](HBA_HANDLE h) { return HBA_ReportLUNs(h, wwn, buffer, 32, buffer + 32, 32); }},
      {"ReadCapacity",
       [&](HBA_HANDLE h) { return HBA_ReadCapacity(h, wwn, 0, buffer, 32, buffer + 32, 32); }},
  };
  for (const auto& [entry, call] : operations) {
    SCOPED_TRACE(entry);
    ClearTrace();
    const HBA_STATUS status = call(handle);
    if (status != kNoStatus) {
      EXPECT_EQ(status, 9u);
    }
    EXPECT_EQ(TraceOf("libA.so"), std::vector<std::string>{entry + " 0x5"});
    ClearTrace();
    const HBA_STATUS refused = call(32u << 16);
    if (refused != kNoStatus) {
      EXPECT_EQ(refused, HBA_STATUS_ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(call(5), status == kNoStatus ? kNoStatus : HBA_STATUS_ERROR) << "slot 0 not loaded";
    EXPECT_TRUE(Trace().empty());
  }
  EXPECT_EQ(HBA_GetVersion(), 1u);
}

}  // namespace
}  // namespace zrn_hba_test
