// The Emulex component in process: padding, the query lines it accepts and
// the devices it records from them, and the flash through a stand-in kit
// script. Unpacking the kit is covered end to end (tests/sim).
#include "vendors/emulex_comp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tests/vendors/vendor_test_support.h"

namespace zrn_test {
namespace {

TEST(EmulexPadHex4, PadsInPlaceToFour) {
  const struct {
    const char* text;
    const char* padded;
  } kCases[] = {
      {"", "0000"},    {"a", "000a"},    {"F1", "00F1"},
      {"abc", "0abc"}, {"10df", "10df"}, {"12345", "12345"},
  };
  for (const auto& c : kCases) {
    std::string text = c.text;
    EXPECT_EQ(EmulexComp::CComponent::PadHex4(text), c.padded) << c.text;
    EXPECT_EQ(text, c.padded) << c.text;
  }
}

// The component with its kit preparation scripted: the query script is laid
// out by the test, so nothing is unpacked.
class Emulex : public Open<EmulexComp::CComponent> {
 public:
  int prepareResult = 0;
  int prepareCalls = 0;
  int PrepareKit() override {
    ++prepareCalls;
    return prepareResult;
  }
};

const char kScriptPath[] = "elxflashStandalone-12.0.193.13/lx/elxflash.sh";

// An adapter line of the query output.
std::string Line(const std::string& name, const std::string& pci, const std::string& vid,
                 const std::string& ssid, const std::string& svid, const std::string& firmware,
                 const std::string& boot) {
  return "HBA=" + name + ", Port WWN=10:00:00:00:c9:aa:bb:cc, PCI ID=" + pci + ", VID=" + vid +
         ", SSID=" + ssid + ", SVID=" + svid + ", Firmware=" + firmware + ", Boot Code=" + boot;
}

struct Item {
  std::wstring version, active;
};
struct Device {
  std::wstring id, product;
  Item firmware, boot;
};

class EmulexDiscover : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    // Answers "/q" with the lines of query.txt.
    WriteScript(kScriptPath, "[ \"$1\" = /q ] && cat query.txt\n");
  }

  // Discovers with these query lines and the references below.
  void Discover(Emulex& cmp, const std::string& output) {
    WriteFile("query.txt", output);
    cmp.m_referenceSet.devices = {
        Reference(L"10df.f100.10df.f100", L"LPe12002", L"2.01a12", L"5.12a2", L"300"),
        Reference(L"10df.0710.10df.e702", L"OCe11102", L"4.1.450.7", L"4.1.450.7", L"600"),
        Reference(L"10df.e200.10df.e201", L"LPe16002", L"20103", L"", L"120"),
        Reference(L"10df.00f1.0abc.0002", L"short ids", L"1.0", L"1.0", L"60"),
    };
    bool ok = false;
    Capture([&] { ok = cmp.Discover(); });
    EXPECT_TRUE(ok);
  }
};

const std::string kLPe =
    Line("LPe12002-M8", "f100", "10df", "f100", "10df", "US2.01a12", "UB5.12a2");

// One 64 KiB line of each shape that makes the line pattern try the same
// place over and over: the keys without "Boot Code" repeated, the keys with
// an empty "Boot Code=" repeated, "HBA=" then "x, PCI ID=1, " repeated, and
// "HBA=" then "a," repeated. None of them describes an adapter.
std::string HostileLines() {
  const struct {
    const char* head;
    const char* unit;
  } kShapes[] = {
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, "},
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, Boot Code=, "},
      {"HBA=", "x, PCI ID=1, "},
      {"HBA=", "a,"},
  };
  std::string out;
  for (const auto& shape : kShapes) {
    std::string line = shape.head;
    while (line.size() < (64 << 10)) line += shape.unit;
    out += line + "\n";
  }
  return out;
}

TEST_F(EmulexDiscover, LinesAndTheDevicesTheyGive) {
  const Device lpe{
      L"10df.f100.10df.f100", L"LPe12002", {L"2.01a12", L"2.01a12"}, {L"5.12a2", L"5.12a2"}};
  const struct {
    const char* name;
    std::string output;
    std::vector<Device> devices;
  } kCases[] = {
      {"an adapter, first two characters dropped", kLPe + "\n", {lpe}},
      {"trailing text and no final newline", kLPe + ", Status=ok", {lpe}},
      {"ids padded to four, the tool's letter case kept",
       Line("LPe1150", "F1", "10DF", "2", "ABC", "xx1.0", "yy1.0"),
       {{L"10DF.00F1.0ABC.0002", L"short ids", {L"1.0", L"1.0"}, {L"1.0", L"1.0"}}}},
      {"OCe: texts whole, no installed boot version",
       Line("OCe11102-FM", "0710", "10df", "e702", "10df", "4.1.450.7", "4.1.450.7"),
       {{L"10df.0710.10df.e702", L"OCe11102", {L"4.1.450.7", L"4.1.450.7"}, {L"4.1.450.7", L""}}}},
      {"OCe is case-sensitive",
       Line("oce11102-FM", "0710", "10df", "e702", "10df", "4.1.450.7", "4.1.450.7"),
       {{L"10df.0710.10df.e702",
         L"OCe11102",
         {L"4.1.450.7", L"1.450.7"},
         {L"4.1.450.7", L"1.450.7"}}}},
      {"reference firmware without dots: installed dots removed",
       Line("LPe16002", "e200", "10df", "e201", "10df", "UX2.01.03", "UB5.10.a1"),
       {{L"10df.e200.10df.e201", L"LPe16002", {L"20103", L"20103"}, {L"", L"5.10.a1"}}}},
      {"single-character texts lose what they have",
       Line("LPe12002", "f100", "10df", "f100", "10df", "1", "2"),
       {{L"10df.f100.10df.f100", L"LPe12002", {L"2.01a12", L""}, {L"5.12a2", L""}}}},
      {"two lines with one identity", kLPe + "\n" + kLPe + "\n", {lpe, lpe}},
      {"header, empty and other lines around an adapter",
       "Emulex elxflash\n\nHBA count=1\n" + kLPe + "\n\nDone\n",
       {lpe}},
      {"text before HBA=", "Adapter 1: " + kLPe + "\n", {}},
      {"long lines of hostile shapes before an adapter", HostileLines() + kLPe + "\n", {lpe}},
      {"keys in another order",
       "HBA=LPe12002, VID=10df, PCI ID=f100, SSID=f100, SVID=10df, Firmware=US2.01a12, Boot "
       "Code=UB5.12a2\n",
       {}},
      {"a five-character id", Line("LPe12002", "0f100", "10df", "f100", "10df", "x1", "x1"), {}},
      {"an identity without reference",
       Line("LPe12002", "f101", "10df", "f100", "10df", "x1", "x1"),
       {}},
      {"no output", "", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Emulex cmp;
    Discover(cmp, c.output);
    EXPECT_EQ(cmp.prepareCalls, 1);
    const auto& devices = cmp.m_discoveryInfo.devices;
    ASSERT_EQ(devices.size(), c.devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
      const DiscoveredDevice& d = devices[i];
      const Device& e = c.devices[i];
      EXPECT_EQ(d.device_id, e.id);
      EXPECT_EQ(d.product_id, e.product);
      EXPECT_EQ(d.busnumber + d.slotnumber + d.funcnumber, L"");
      ASSERT_EQ(d.fw_items.size(), 2u);
      EXPECT_EQ(d.fw_items[0].type, L"Firmware");
      EXPECT_EQ(d.fw_items[0].version, e.firmware.version);
      EXPECT_EQ(d.fw_items[0].active_version, e.firmware.active);
      EXPECT_EQ(d.fw_items[0].shared, L"no");
      EXPECT_EQ(d.fw_items[1].type, L"Boot BIOS ROM");
      EXPECT_EQ(d.fw_items[1].version, e.boot.version);
      EXPECT_EQ(d.fw_items[1].active_version, e.boot.active);
      EXPECT_EQ(d.fw_items[1].shared, L"");
      std::wstring duration;
      for (const ReferenceDevice& r : cmp.m_referenceSet.devices) {
        if (r.model == e.product) duration = r.duration;
      }
      for (const FirmwareItem& item : d.fw_items) {
        EXPECT_EQ(item.firmware_id + item.message, L"");
        EXPECT_EQ(item.duration, duration);
      }
    }
  }
}

TEST_F(EmulexDiscover, HeaderStaysEmptyAndAdaptersAreNotEnumerated) {
  Emulex cmp;
  Discover(cmp, kLPe + "\n");
  ASSERT_EQ(cmp.m_discoveryInfo.devices.size(), 1u);
  EXPECT_EQ(cmp.m_discoveryInfo.type + cmp.m_discoveryInfo.alt_name + cmp.m_discoveryInfo.version +
                cmp.m_discoveryInfo.takes_effect,
            L"");
  EXPECT_TRUE(cmp.m_adapterList.m_records.empty());
}

TEST_F(EmulexDiscover, FailedKitPreparationEndsDiscovery) {
  Emulex cmp;
  cmp.prepareResult = 1;
  WriteFile("query.txt", kLPe + "\n");
  bool ok = true;
  const Captured out = Capture([&] { ok = cmp.Discover(); });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(cmp.m_discoveryInfo.devices.empty());
  EXPECT_EQ(out.log, "");
}

class EmulexFlash : public CoreTest {};

TEST_F(EmulexFlash, CommandLogAndTable) {
  const std::string kRedirect =
      " 1>> /var/zrn/Component.log 2>> /var/zrn/Component.log 3>> /var/zrn/Component.log";
  const struct {
    const char* ending;
    bool force;
    int code, result;
  } kCases[] = {
      {"exit 0", false, 0, 1},         {"exit 0", true, 0, 1},
      {"exit 1", false, 1, 3},         {"exit 2", false, 2, 7},
      {"exit 6", true, 6, 7},          {"exit 7", false, 7, 7},
      {"exit 9", false, 9, 9},         {"exit 255", false, 255, 255},
      {"kill -9 $$", false, 137, 137},  // killed: a failure, never success
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ending) + (c.force ? " forced" : ""));
    std::remove(kLogPath);
    WriteScript(kScriptPath,
                "echo \"$*\" > script.args\n"
                "echo out; echo err >&2; echo fd3 >&3\n" +
                    std::string(c.ending) + "\n");
    Emulex cmp;
    cmp.m_force = c.force;
    int result = -1;
    const Captured out = Capture([&] { result = cmp.Flash(); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(ReadFile("script.args"), c.force ? "/f\n" : "/update\n");
    const std::string command = std::string("./elxflashStandalone*/lx/elxflash.sh ") +
                                (c.force ? " /f" : " /update") + kRedirect;
    const std::string logged = "Executing flash engine: " + command + "\n";
    const std::string code = "Flash Engine exit code: " + std::to_string(c.code) + "\n";
    EXPECT_EQ(out.console, logged + code);
    ExpectToolLog(out.log, logged + "out\nerr\nfd3\n", code);
  }
}

}  // namespace
}  // namespace zrn_test
