// The adapter table over the loaded libraries: common indices in slot order,
// names as the vendors give them (bounded), and its 64-entry limit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hba/common_library.h"
#include "hba/hba_api.h"
#include "tests/hba/hba_test_fixture.h"

namespace zrn_hba_test {
namespace {

std::vector<std::string> AdapterNames() {
  std::vector<std::string> names;
  char name[64];
  for (HBA_UINT32 i = 0; HBA_GetAdapterName(i, name) == HBA_STATUS_OK; ++i) names.push_back(name);
  return names;
}

TEST_F(HbaLibraryTest, AdaptersAreNumberedInSlotOrderThenVendorOrder) {
  const std::string a = Install("libA.so", LibraryWith({"alpha", "beta"}));
  const std::string b = Install("libB.so", LibraryWith({"gamma", "beta"}));
  // A slot whose library failed contributes nothing but keeps its place.
  StandinLibrary failing = LibraryWith({"never"});
  failing.load_status = 1;
  const std::string f = Install("libF.so", failing);
  WriteConf("a\t" + a + "\nf\t" + f + "\nb\t" + b + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 4u);
  EXPECT_EQ(AdapterNames(), (std::vector<std::string>{"alpha", "beta", "gamma", "beta"}));
  // Asking again rebuilds the same table.
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 4u);
  EXPECT_EQ(AdapterNames(), (std::vector<std::string>{"alpha", "beta", "gamma", "beta"}));
  // No adapter calls to a library that failed.
  EXPECT_EQ(TraceOf("libF.so"), (std::vector<std::string>{"loaded", "HBA_RegisterLibrary",
                                                          "GetVersion", "LoadLibrary"}));

  char path[256];
  std::memset(path, 'x', sizeof path);
  EXPECT_EQ(GetAdapterLibrary(2, path), HbaLibrarySlot(2).handle);
  EXPECT_STREQ(path, b.c_str());
  EXPECT_EQ(std::memcmp(path, HbaLibrarySlot(2).path, sizeof path), 0) << "all 256 bytes";
  EXPECT_EQ(GetAdapterLibrary(4, path), nullptr);
  EXPECT_STREQ(path, "");
}

TEST_F(HbaLibraryTest, NameAtOrPastTheCountIsAnIllegalIndexAndLeavesTheBuffer) {
  WriteConf("a\t" + Install("libA.so", LibraryWith({"alpha"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  char name[64] = "untouched";
  EXPECT_EQ(HBA_GetAdapterName(1, name), HBA_STATUS_ERROR_ILLEGAL_INDEX);
  EXPECT_EQ(HBA_GetAdapterName(0xFFFFFFFFu, name), HBA_STATUS_ERROR_ILLEGAL_INDEX);
  EXPECT_STREQ(name, "untouched");
}

TEST_F(HbaLibraryTest, VendorNamesAreBoundedAndAFailedReadLeavesNoStaleName) {
  StandinLibrary library = LibraryWith({"first", "second", "third"});
  library.adapters[1].name_status = 1;               // the read fails, writing nothing
  library.adapters[2].name = std::string(300, 'L');  // fills the 256-byte buffer, no NUL
  WriteConf("a\t" + Install("libA.so", library) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 3u);
  EXPECT_EQ(AdapterNames(), (std::vector<std::string>{"first", "", std::string(63, 'L')}));
}

TEST_F(HbaLibraryTest, AdaptersBeyondTheSixtyFourthAreLeftOut) {
  StandinLibrary forty;
  forty.count = 40;
  StandinLibrary billions;
  billions.count = 4000000000u;
  WriteConf("a\t" + Install("libA.so", forty) + "\nb\t" + Install("libB.so", billions) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 64u);
  const std::vector<std::string> names = AdapterNames();
  ASSERT_EQ(names.size(), 64u);
  EXPECT_EQ(names[39], "adapter39");
  EXPECT_EQ(names[40], "adapter0");
  EXPECT_EQ(names[63], "adapter23");
  const std::vector<std::string> b = TraceOf("libB.so");
  ASSERT_FALSE(b.empty());
  EXPECT_EQ(b.back(), "GetAdapterName 23") << "no name asked for once the table is full";
}

TEST_F(HbaLibraryTest, LibraryWithoutNameEntryCountsNoAdapters) {
  StandinLibrary library = LibraryWith({"alpha"});
  library.missing = {"GetAdapterName"};
  WriteConf("a\t" + Install("libA.so", library) + "\nb\t" +
            Install("libB.so", LibraryWith({"beta"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 1u);
  EXPECT_EQ(AdapterNames(), (std::vector<std::string>{"beta"}));
}

}  // namespace
}  // namespace zrn_hba_test
