// The vendor extension against the stand-in management libraries: the
// direct road with every failure it reports, the fall-back through the three
// paths of a vendor, and the bound road through a saved entry point. The
// stand-in's trace shows every call, load and unload in order.
#include "hba/vendor_extension.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hba/dynamic_library.h"
#include "tests/hba/hba_test_support.h"
#include "tests/standin/mgmt/mgmt_standin.h"

namespace {

using zrn_hba_test::CopyFile;
using zrn_hba_test::MgmtStandin;
using zrn_hba_test::ReadFile;
using zrn_hba_test::RemoveTree;
using zrn_hba_test::WriteFile;

const char* const kAllPaths[] = {
    "/usr/lib/libqlsdm.so",  "/usr/lib64/libqlsdm-x86_64.so", "/lib/cim/libqlsdm.so",
    "/usr/lib/libemsdm.so",  "/usr/lib64/libemsdm.so",        "/lib/cim/libemsdm.so",
    "/usr/lib/bfahbaapi.so", "/usr/lib64/bfahbaapi.so",       "/lib/cim/bfahbaapi.so"};

const uint8_t kTarget[8] = {0x20, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

// Three adapters; the second has the target's node WWN.
const char kThreeAdapters[] =
    "adapter emx0 2000001122334400 11111111 01 00 00\n"
    "adapter emx1 2000001122334455 3c4d1a2b 05 01 02\n"
    "adapter emx2 2000001122334466 22222222 06 00 00\n";

// What the caller's outputs hold before a call; a failure leaves them so.
struct Outputs {
  uint32_t ids = 0xdeadbeef;
  uint8_t bus = 0xee, function = 0xee, domain = 0xee;
  char message[256] = {};
};

class VendorExtension : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override {
    Clear();
    ResetExtensionEntry();
  }
  static void Clear() {
    for (const char* path : kAllPaths) RemoveTree(path);
    RemoveTree("/etc/zrn_standin");
  }
  static void Config(const std::string& text) { WriteFile(ZRN_MGMT_STANDIN_CONF, text); }
  static std::string Trace() { return ReadFile(ZRN_MGMT_STANDIN_TRACE); }

  int Direct(const char* adapterName, Outputs* out) {
    std::snprintf(name_, sizeof name_, "%s", adapterName);
    return ReadExtendedAttributesDirect(kTarget, name_, sizeof name_, &out->ids, &out->bus,
                                        &out->function, &out->domain, out->message,
                                        sizeof out->message);
  }

  char name_[kExtensionNameSize] = {};
};

// Lines of the stand-in's trace for the library at `path`.
std::string Lines(const std::string& path, const std::vector<const char*>& calls) {
  std::string text;
  for (const char* call : calls) text += path + " " + call + "\n";
  return text;
}

TEST_F(VendorExtension, DirectFindsTheSecondOfThreeAdapters) {
  const std::string lib = "/usr/lib/libemsdm.so";
  CopyFile(lib, MgmtStandin());
  Config(kThreeAdapters);
  Outputs out;
  ASSERT_EQ(Direct("Emulex-LPe12002-0", &out), 0);
  EXPECT_EQ(out.ids, 0x3c4d1a2bu);
  EXPECT_EQ(out.bus, 0x05);
  EXPECT_EQ(out.function, 0x01);
  EXPECT_EQ(out.domain, 0x02);
  EXPECT_STREQ(out.message, "pass");
  EXPECT_STREQ(name_, "emx1");  // the name buffer is the work buffer
  // Two opens, two closes, one free and one unload.
  EXPECT_EQ(Trace(), Lines(lib, {"load", "ZRNFC_LoadLibrary 0", "ZRNFC_GetNumberOfAdapters 3",
                                 "ZRNFC_GetAdapterName 0", "ZRNFC_OpenAdapter emx0 0x100",
                                 "ZRNFC_GetAdapterAttributes2 0x100", "ZRNFC_CloseAdapter 0x100",
                                 "ZRNFC_GetAdapterName 1", "ZRNFC_OpenAdapter emx1 0x101",
                                 "ZRNFC_GetAdapterAttributes2 0x101", "ZRNFC_CloseAdapter 0x101",
                                 "ZRNFC_FreeLibrary", "unload"}));
}

// The vendor comes from the adapter name, case-sensitively; a broken file or
// a missing one at an earlier path falls through to the next.
TEST_F(VendorExtension, DirectTriesTheVendorsPathsInOrder) {
  const struct {
    const char* adapterName;
    const char* broken;  // a file that is no library, or null
    const char* library;
  } cases[] = {
      {"qlogic-qle2562", "/usr/lib/libqlsdm.so", "/usr/lib64/libqlsdm-x86_64.so"},
      {"qlogic-qle2562", nullptr, "/lib/cim/libqlsdm.so"},
      {"Emulex-LPe12002", "/usr/lib/libemsdm.so", "/usr/lib64/libemsdm.so"},
      {"QLogic QLE2562", nullptr, "/usr/lib/bfahbaapi.so"},  // not "qlogic": Brocade
      {"emulex-lpe", "/usr/lib64/bfahbaapi.so", "/lib/cim/bfahbaapi.so"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library);
    Clear();
    if (c.broken != nullptr) WriteFile(c.broken, "not a shared library\n");
    CopyFile(c.library, MgmtStandin());
    Config(kThreeAdapters);
    Outputs out;
    EXPECT_EQ(Direct(c.adapterName, &out), 0);
    EXPECT_EQ(out.ids, 0x3c4d1a2bu);
    const std::string trace = Trace();
    EXPECT_EQ(trace.rfind(std::string(c.library) + " load\n", 0), 0u) << trace;
  }
}

TEST_F(VendorExtension, DirectWithoutAnyLibraryNamesTheVendor) {
  WriteFile("/usr/lib/libqlsdm.so", "broken");
  const struct {
    const char* adapterName;
    const char* message;
  } cases[] = {{"qlogic-0", "unable to load qlsdm"},
               {"Emulex-0", "unable to load emsdm"},
               {"Brocade-0", "unable to load bfahbaapi"}};
  for (const auto& c : cases) {
    Outputs out;
    EXPECT_EQ(Direct(c.adapterName, &out), -1);
    EXPECT_STREQ(out.message, c.message);
    EXPECT_EQ(out.ids, 0xdeadbeefu);
  }
}

// A missing symbol is found before anything is called; the library is
// closed once and never told to free itself.
TEST_F(VendorExtension, DirectChecksEverySymbolFirst) {
  const char* const symbols[] = {"LoadLibrary", "GetNumberOfAdapters",   "GetAdapterName",
                                 "OpenAdapter", "GetAdapterAttributes2", "CloseAdapter",
                                 "FreeLibrary"};
  const std::string lib = "/usr/lib/libemsdm.so";
  for (const char* symbol : symbols) {
    SCOPED_TRACE(symbol);
    Clear();
    CopyFile(lib, MgmtStandin(symbol));
    Config(kThreeAdapters);
    Outputs out;
    EXPECT_EQ(Direct("Emulex-0", &out), -2);
    EXPECT_EQ(std::string(out.message), std::string("unable to dlsym for ZRNFC_") + symbol);
    EXPECT_EQ(Trace(), Lines(lib, {"load", "unload"}));
  }
}

TEST_F(VendorExtension, DirectFailuresFreeAndCloseExactlyOnce) {
  const std::string lib = "/usr/lib/libemsdm.so";
  const struct {
    const char* config;
    int result;
    const char* message;
    std::vector<const char*> calls;
  } cases[] = {
      // A failed load is never answered with a free.
      {"load 5\n", -7, "fail to load library", {"load", "ZRNFC_LoadLibrary 5", "unload"}},
      {"count 0\n",
       -6,
       "could not find WWNN match",
       {"load", "ZRNFC_LoadLibrary 0", "ZRNFC_GetNumberOfAdapters 0", "ZRNFC_FreeLibrary",
        "unload"}},
      // A negative count reads as no adapters.
      {"count -1\nadapter emx1 2000001122334455 3c4d1a2b 05 01 02\n",
       -6,
       "could not find WWNN match",
       {"load", "ZRNFC_LoadLibrary 0", "ZRNFC_GetNumberOfAdapters -1", "ZRNFC_FreeLibrary",
        "unload"}},
      {"adapter emx0 2000001122334400 0 0 0 0\nadapter emx1 2000001122334455 0 0 0 0 name_fail\n",
       -5,
       "fail to get adapter number",
       {"load", "ZRNFC_LoadLibrary 0", "ZRNFC_GetNumberOfAdapters 2", "ZRNFC_GetAdapterName 0",
        "ZRNFC_OpenAdapter emx0 0x100", "ZRNFC_GetAdapterAttributes2 0x100",
        "ZRNFC_CloseAdapter 0x100", "ZRNFC_GetAdapterName 1", "ZRNFC_FreeLibrary", "unload"}},
      {"adapter emx0 2000001122334455 0 0 0 0 open_zero\n",
       -4,
       "fail to open adapter",
       {"load", "ZRNFC_LoadLibrary 0", "ZRNFC_GetNumberOfAdapters 1", "ZRNFC_GetAdapterName 0",
        "ZRNFC_OpenAdapter emx0 0x0", "ZRNFC_FreeLibrary", "unload"}},
      {"adapter emx0 2000001122334455 0 0 0 0 attr 7\n",
       -3,
       "fail to read adapter attribs, adapterHandle 0x100, retStatus 0x7",
       {"load", "ZRNFC_LoadLibrary 0", "ZRNFC_GetNumberOfAdapters 1", "ZRNFC_GetAdapterName 0",
        "ZRNFC_OpenAdapter emx0 0x100", "ZRNFC_GetAdapterAttributes2 0x100",
        "ZRNFC_CloseAdapter 0x100", "ZRNFC_FreeLibrary", "unload"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    Clear();
    CopyFile(lib, MgmtStandin());
    Config(c.config);
    Outputs out;
    EXPECT_EQ(Direct("Emulex-0", &out), c.result);
    EXPECT_STREQ(out.message, c.message);
    EXPECT_EQ(out.ids, 0xdeadbeefu);
    EXPECT_EQ(out.bus, 0xee);
    EXPECT_EQ(Trace(), Lines(lib, c.calls));
  }
}

// A vendor record larger than the part read lands in a buffer big enough.
TEST_F(VendorExtension, DirectTakesAVendorRecordOf4096Bytes) {
  CopyFile("/usr/lib/libemsdm.so", MgmtStandin());
  Config(std::string("record_bytes 4096\n") + kThreeAdapters);
  Outputs out;
  EXPECT_EQ(Direct("Emulex-0", &out), 0);
  EXPECT_EQ(out.ids, 0x3c4d1a2bu);
}

// A library that reports 2147483647 adapters, none of them the one asked
// for: the first kExtensionMaxAdapters are walked, the rest left out, and
// the library is freed and closed as after any walk without a match.
TEST_F(VendorExtension, DirectWalksABoundedNumberOfAdapters) {
  const std::string lib = "/usr/lib/libemsdm.so";
  CopyFile(lib, MgmtStandin());
  Config("count 2147483647\nrepeat\nadapter emx0 2000001122334400 11111111 01 00 00\n");
  Outputs out;
  EXPECT_EQ(Direct("Emulex-0", &out), -6);
  EXPECT_STREQ(out.message, "could not find WWNN match");
  EXPECT_EQ(out.ids, 0xdeadbeefu);
  const std::string trace = Trace();
  long names = 0;
  for (size_t at = 0; (at = trace.find(" ZRNFC_GetAdapterName ", at)) != std::string::npos; ++at) {
    ++names;
  }
  EXPECT_EQ(names, kExtensionMaxAdapters);
  EXPECT_NE(
      trace.find(lib + " ZRNFC_GetAdapterName " + std::to_string(kExtensionMaxAdapters - 1) + "\n"),
      std::string::npos);
  const std::string end = Lines(lib, {"ZRNFC_CloseAdapter 0x100", "ZRNFC_FreeLibrary", "unload"});
  EXPECT_EQ(trace.substr(trace.size() - end.size()), end);
}

// Names written past the 1024 bytes of the contract land in the road's own
// buffer: the caller's buffer of exactly 1024 bytes gets the name cut to
// 1023 characters, and that is the name opened.
TEST_F(VendorExtension, DirectCutsNamesWrittenPastTheContract) {
  const std::string lib = "/usr/lib/libemsdm.so";
  CopyFile(lib, MgmtStandin());
  Config(std::string("name_pad 3000\n") + kThreeAdapters);
  // On the heap and exactly as large as the contract, so that a write past
  // it would be caught.
  std::vector<char> name(kExtensionNameSize);
  std::snprintf(name.data(), name.size(), "Emulex-0");
  Outputs out;
  EXPECT_EQ(
      ReadExtendedAttributesDirect(kTarget, name.data(), name.size(), &out.ids, &out.bus,
                                   &out.function, &out.domain, out.message, sizeof out.message),
      -4);
  EXPECT_STREQ(out.message, "fail to open adapter");
  const std::string cut = "emx0" + std::string(kExtensionNameSize - 5, 'x');
  EXPECT_EQ(std::string(name.data()), cut);
  EXPECT_NE(Trace().find(lib + " ZRNFC_OpenAdapter " + cut + " 0x0\n"), std::string::npos);
}

class BoundExtension : public VendorExtension {
 protected:
  void SetUp() override {
    VendorExtension::SetUp();
    Config(kThreeAdapters);
  }
  void TearDown() override {
    zrn_hba::CloseLibrary(library_);
    VendorExtension::TearDown();
  }
  int Bind(const std::string& standin, const char* path, int* status) {
    library_ = standin.empty() ? nullptr : zrn_hba::OpenLibrary(standin.c_str());
    return BindExtension("qlogic-0", path, library_, message_, sizeof message_, status);
  }
  void* library_ = nullptr;
  char message_[256] = {};
};

// A record of 20000 bytes, far more than the 2199 read, on either road.
TEST_F(BoundExtension, BothRoadsTakeARecordFarLargerThanTheirOwn) {
  CopyFile("/usr/lib/libemsdm.so", MgmtStandin());
  Config(std::string("record_bytes 20000\n") + kThreeAdapters);
  Outputs direct;
  EXPECT_EQ(Direct("Emulex-0", &direct), 0);
  EXPECT_EQ(direct.ids, 0x3c4d1a2bu);
  EXPECT_EQ(direct.domain, 0x02);

  int status = 1;
  ASSERT_EQ(Bind(MgmtStandin(), "/usr/lib64/libqlsdm-x86_64.so", &status), 1);
  Outputs bound;
  EXPECT_EQ(ReadExtendedAttributes(kTarget, &bound.ids, &bound.bus, &bound.function, &bound.domain,
                                   bound.message, sizeof bound.message, 0x30101),
            0);
  EXPECT_EQ(bound.ids, 0x3c4d1a2bu);
  EXPECT_EQ(bound.domain, 0x02);
}

TEST_F(BoundExtension, OnlyALibraryOfTheVendorsStemBinds) {
  int status = 42;
  EXPECT_EQ(Bind(MgmtStandin(), "/usr/lib64/libemsdm.so", &status), 0);
  EXPECT_EQ(status, 42);
  EXPECT_STREQ(message_, "");

  EXPECT_EQ(Bind("", "/usr/lib64/libqlsdm-x86_64.so", &status), 1);
  EXPECT_EQ(status, 1);
  EXPECT_STREQ(message_, "libHandle is NULL; cannot dlsym");
}

TEST_F(BoundExtension, ALibraryWithoutTheEntryCannotBeRead) {
  int status = 0;
  EXPECT_EQ(Bind(MgmtStandin("GetAdapterAttributes2"), "/opt/x/libqlsdm.so", &status), 1);
  EXPECT_EQ(status, 1);
  EXPECT_STREQ(message_, "unable to dlsym for ZRNFC_GetAdapterAttributes2");
  Outputs out;
  EXPECT_EQ(ReadExtendedAttributes(kTarget, &out.ids, &out.bus, &out.function, &out.domain,
                                   out.message, sizeof out.message, 0x10101),
            -3);
  EXPECT_EQ(out.ids, 0xdeadbeefu);
}

// The saved entry is called with the low 16 bits of the common handle, and
// the values are stored only for the adapter with the same node WWN.
TEST_F(BoundExtension, ReadsThroughTheSavedEntry) {
  int status = 1;
  ASSERT_EQ(Bind(MgmtStandin(), "/usr/lib64/libqlsdm-x86_64.so", &status), 1);
  EXPECT_EQ(status, 0);
  EXPECT_STREQ(message_, "dlsym for ZRNFC_GetAdapterAttributes2 success!");

  Outputs other;
  std::snprintf(other.message, sizeof other.message, "before");
  EXPECT_EQ(ReadExtendedAttributes(kTarget, &other.ids, &other.bus, &other.function, &other.domain,
                                   other.message, sizeof other.message, 0x30100),
            0);
  EXPECT_EQ(other.ids, 0xdeadbeefu);
  EXPECT_STREQ(other.message, "before");

  Outputs same;
  EXPECT_EQ(ReadExtendedAttributes(kTarget, &same.ids, &same.bus, &same.function, &same.domain,
                                   same.message, sizeof same.message, 0x30101),
            0);
  EXPECT_EQ(same.ids, 0x3c4d1a2bu);
  EXPECT_EQ(same.bus, 5);
  EXPECT_EQ(same.function, 1);
  EXPECT_EQ(same.domain, 2);
  EXPECT_STREQ(same.message, "read adapter attribs Success! handle used is 0x101");

  Outputs failed;
  EXPECT_EQ(ReadExtendedAttributes(kTarget, &failed.ids, &failed.bus, &failed.function,
                                   &failed.domain, failed.message, sizeof failed.message, 0x30999),
            -3);
  EXPECT_STREQ(failed.message,
               "fail to read adapter attribs: handle used is 0x999: retStatus is 0x3");

  // Once the libraries are freed the entry point is forgotten.
  ResetExtensionEntry();
  Outputs after;
  EXPECT_EQ(ReadExtendedAttributes(kTarget, &after.ids, &after.bus, &after.function, &after.domain,
                                   after.message, sizeof after.message, 0x30101),
            -3);
  EXPECT_EQ(after.ids, 0xdeadbeefu);
}

}  // namespace
