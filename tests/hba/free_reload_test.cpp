// Freeing and reloading the vendor libraries: the adapter table survives,
// every freed library is closed once and really unloaded, and a reload
// starts each slot from an empty entry-point table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hba/common_library.h"
#include "hba/hba_api.h"
#include "tests/hba/hba_test_fixture.h"

namespace zrn_hba_test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(HbaLibraryTest, FreeAndReloadKeepNamesAndIndices) {
  const std::string a = Install("libA.so", LibraryWith({"alpha", "beta"}));
  StandinLibrary second = LibraryWith({"gamma"});
  const std::string b = Install("libB.so", second);
  WriteConf("a\t" + a + "\nb\t" + b + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 3u);
  const HBA_HANDLE handle = HBA_OpenAdapter("gamma");
  ASSERT_EQ(handle, 0x10001u);

  ClearTrace();
  EXPECT_EQ(HBA_FreeLibrary(), 0);
  EXPECT_EQ(Trace(), (Lines{"libA.so FreeLibrary", "libA.so unloaded", "libB.so FreeLibrary",
                            "libB.so unloaded"}));
  for (unsigned slot : {0u, 1u}) {
    EXPECT_EQ(HbaLibrarySlot(slot).status, kHbaLibraryFailed);
    EXPECT_EQ(HbaLibrarySlot(slot).handle, nullptr);
    EXPECT_EQ(HbaLibrarySlot(slot).entryPoints.OpenAdapterHandler, nullptr);
  }
  // The table is kept, but nothing of a freed library is called.
  char name[64];
  ASSERT_EQ(HBA_GetAdapterName(2, name), HBA_STATUS_OK);
  EXPECT_STREQ(name, "gamma");
  char path[256];
  EXPECT_EQ(GetAdapterLibrary(2, path), nullptr);
  EXPECT_STREQ(path, b.c_str());
  HBA_ADAPTERATTRIBUTES attributes{};
  EXPECT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_ERROR);
  HBA_CloseAdapter(handle);
  EXPECT_EQ(HBA_OpenAdapter("gamma"), 0u);
  EXPECT_EQ(HBA_FreeLibrary(), 0) << "a second free closes nothing";
  EXPECT_EQ(Trace().size(), 4u);

  // The reload reads the scenario as it is now.
  second.adapters[0].handle = 0x33;
  Rescenario(b, second);
  ClearTrace();
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(TraceOf("libB.so"),
            (Lines{"loaded", "HBA_RegisterLibrary", "GetVersion", "LoadLibrary"}));
  for (HBA_UINT32 i = 0; i < 3; ++i) {
    ASSERT_EQ(HBA_GetAdapterName(i, name), HBA_STATUS_OK);
    EXPECT_STREQ(name, (Lines{"alpha", "beta", "gamma"}[i]).c_str());
  }
  EXPECT_EQ(GetAdapterLibrary(2, path), HbaLibrarySlot(1).handle);
  EXPECT_NE(HbaLibrarySlot(1).handle, nullptr);
  EXPECT_EQ(HBA_OpenAdapter("gamma"), 0x10033u);
}

TEST_F(HbaLibraryTest, CountIsZeroAfterFreeUntilTheLibrariesAreLoadedAgain) {
  WriteConf("a\t" + Install("libA.so", LibraryWith({"alpha", "beta"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 2u);
  ASSERT_EQ(HBA_FreeLibrary(), 0);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 0u);
  char name[64];
  EXPECT_EQ(HBA_GetAdapterName(0, name), HBA_STATUS_ERROR_ILLEGAL_INDEX);
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(HBA_GetNumberOfAdapters(), 2u);
}

TEST_F(HbaLibraryTest, ReloadRegistersIntoAnEmptyTableAndClosesTheSlotsEarlierLibrary) {
  WriteConf("v\t" + Install("libA.so", LibraryWith({"alpha"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ASSERT_NE(HbaLibrarySlot(0).entryPoints.OpenAdapterHandler, nullptr);

  // The same slot now lists a library that leaves entries out; loading
  // again without a free must not keep the first library's pointers.
  StandinLibrary partial = LibraryWith({"alpha"});
  partial.missing = {"OpenAdapter", "GetAdapterAttributes"};
  WriteConf("v\t" + Install("libB.so", partial) + "\n");
  ClearTrace();
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  const HbaLibraryEntry& slot = HbaLibrarySlot(0);
  EXPECT_EQ(slot.status, kHbaLibraryLoaded);
  EXPECT_NE(slot.entryPoints.GetVersionHandler, nullptr);
  EXPECT_EQ(slot.entryPoints.OpenAdapterHandler, nullptr);
  EXPECT_EQ(slot.entryPoints.GetAdapterAttributesHandler, nullptr);
  EXPECT_EQ(TraceOf("libA.so"), Lines{"unloaded"});
  ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
  EXPECT_EQ(HBA_OpenAdapter("alpha"), 0u);
}

TEST_F(HbaLibraryTest, ReloadOfTheSameLibraryKeepsItMapped) {
  WriteConf("v\t" + Install("libA.so", LibraryWith({"alpha"})) + "\n");
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  ClearTrace();
  ASSERT_EQ(HBA_LoadLibrary(), 0);
  EXPECT_EQ(TraceOf("libA.so"), (Lines{"HBA_RegisterLibrary", "GetVersion", "LoadLibrary"}));
  ASSERT_EQ(HBA_FreeLibrary(), 0);
  EXPECT_EQ(TraceOf("libA.so"),
            (Lines{"HBA_RegisterLibrary", "GetVersion", "LoadLibrary", "FreeLibrary", "unloaded"}));
}

}  // namespace
}  // namespace zrn_hba_test
