// The self-discovery document, compared as whole bytes.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <filesystem>

#include "core/reference_set.h"
#include "core/text.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

FirmwareItem Item(const wchar_t* type, const wchar_t* version, const wchar_t* active,
                  const wchar_t* action) {
  FirmwareItem item;
  item.type = type;
  item.version = version;
  item.active_version = active;
  item.action = action;
  item.duration = L"120";
  item.shared = L"no";
  return item;
}

class DiscoveryXmlTest : public CoreTest {
 protected:
  // Writes the component's document to `path` and returns the file's bytes.
  std::string Write(TestComponent& cmp, const std::string& path = "out.xml") {
    cmp.m_outputPath = path;
    EXPECT_TRUE(cmp.WriteDiscoveryXml());
    return ReadFile(path);
  }
};

TEST_F(DiscoveryXmlTest, HeaderAndEmptyDeviceList) {
  TestComponent cmp;
  cmp.m_discoveryInfo.type = L"FC HBA";
  cmp.m_discoveryInfo.os.first = L"rhel5";  // never written
  EXPECT_EQ(Write(cmp), kHeaderOnlyDocument);
}

TEST_F(DiscoveryXmlTest, DevicesAndItemsInOrder) {
  TestComponent cmp;
  cmp.m_discoveryInfo.type = L"t";
  cmp.m_discoveryInfo.alt_name = L"a";
  cmp.m_discoveryInfo.version = L"v";
  cmp.m_discoveryInfo.takes_effect = L"e";
  DiscoveredDevice first;
  first.device_id = L"1077.2532.1077.015d";
  first.product_id = L"QLE2562";
  first.busnumber = L"3";
  first.slotnumber = L"never written";
  first.funcnumber = L"1";
  first.fw_items.push_back(Item(L"Firmware", L"5.06.05", L"5.06.01", L"upgrade"));
  first.fw_items.push_back(Item(L"Boot BIOS ROM", L"2.16", L"2.16", L"rewrite"));
  first.fw_items.back().firmware_id = L"id";
  first.fw_items.back().message = L"msg";
  DiscoveredDevice second;
  second.device_id = L"x";
  cmp.m_discoveryInfo.devices.push_back(first);
  cmp.m_discoveryInfo.devices.push_back(second);
  EXPECT_EQ(Write(cmp),
            "<?xml version=\"1.0\"?>\n"
            "<tarv_rom_discovery version=\"2.0.0.0\">\n"
            "  <type value=\"t\"/>\n"
            "  <alt_name value=\"a\"/>\n"
            "  <version value=\"v\"/>\n"
            "  <takes_effect value=\"e\"/>\n"
            "  <devices>\n"
            "    <device>\n"
            "      <device_id value=\"1077.2532.1077.015d\"/>\n"
            "      <product_id value=\"QLE2562\"/>\n"
            "      <busnumber value=\"3\"/>\n"
            "      <funcnumber value=\"1\"/>\n"
            "      <fw_item>\n"
            "        <type value=\"Firmware\"/>\n"
            "        <firmware_id value=\"\"/>\n"
            "        <version value=\"5.06.05\"/>\n"
            "        <active_version value=\"5.06.01\"/>\n"
            "        <action value=\"upgrade\"/>\n"
            "        <duration value=\"120\"/>\n"
            "        <message value=\"\"/>\n"
            "        <shared value=\"no\"/>\n"
            "      </fw_item>\n"
            "      <fw_item>\n"
            "        <type value=\"Boot BIOS ROM\"/>\n"
            "        <firmware_id value=\"id\"/>\n"
            "        <version value=\"2.16\"/>\n"
            "        <active_version value=\"2.16\"/>\n"
            "        <action value=\"rewrite\"/>\n"
            "        <duration value=\"120\"/>\n"
            "        <message value=\"msg\"/>\n"
            "        <shared value=\"no\"/>\n"
            "      </fw_item>\n"
            "    </device>\n"
            "    <device>\n"
            "      <device_id value=\"x\"/>\n"
            "      <product_id value=\"\"/>\n"
            "      <busnumber value=\"\"/>\n"
            "      <funcnumber value=\"\"/>\n"
            "    </device>\n"
            "  </devices>\n"
            "</tarv_rom_discovery>\n");
}

TEST_F(DiscoveryXmlTest, SpecialCharactersAreEscapedAndReadBack) {
  TestComponent cmp;
  cmp.m_discoveryInfo.type = L"a<b&c>\"d'";
  cmp.m_discoveryInfo.alt_name = WidenBytes("\xC3\xA9");
  const std::string saved = Write(cmp);
  EXPECT_NE(saved.find("<type value=\"a&lt;b&amp;c&gt;&quot;d'\"/>"), std::string::npos) << saved;
  xmlDoc* doc = xmlParseFile("out.xml");
  ASSERT_NE(doc, nullptr);
  xmlNode* root = xmlDocGetRootElement(doc);
  xmlNode* type = xmlFirstElementChild(root);
  xmlNode* altName = xmlNextElementSibling(type);
  EXPECT_EQ(GetAttributeValue(type, "value"), L"a<b&c>\"d'");
  EXPECT_EQ(GetAttributeValue(altName, "value"),
            (std::wstring{static_cast<wchar_t>(-61), static_cast<wchar_t>(-87)}));
  xmlFreeDoc(doc);
}

TEST_F(DiscoveryXmlTest, ExistingFileIsReplaced) {
  WriteFile("out.xml", std::string(4096, 'x'));
  TestComponent cmp;
  cmp.m_discoveryInfo.type = L"FC HBA";
  EXPECT_EQ(Write(cmp), kHeaderOnlyDocument);
}

TEST_F(DiscoveryXmlTest, PathIsAPlainFileName) {
  // "-" is a file in the working directory, not standard output.
  TestComponent cmp;
  cmp.m_discoveryInfo.type = L"FC HBA";
  testing::internal::CaptureStdout();
  const std::string saved = Write(cmp, "-");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(saved, kHeaderOnlyDocument);
}

TEST_F(DiscoveryXmlTest, UnwritablePathFails) {
  TestComponent cmp;
  for (const char* path : {"missing/out.xml", "", "."}) {
    SCOPED_TRACE(path);
    cmp.m_outputPath = path;
    EXPECT_FALSE(cmp.WriteDiscoveryXml());
  }
  EXPECT_FALSE(std::filesystem::exists("missing"));
}

TEST_F(DiscoveryXmlTest, WorksAfterTheReferencesWereLoaded) {
  // Loading cleans the XML library up; writing and loading again still work.
  WriteFile("reference.xml",
            "<marvo_fchba_reference><devices><device><type value=\"FC HBA\"/></device>"
            "</devices></marvo_fchba_reference>");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    TestComponent cmp;
    ASSERT_TRUE(cmp.m_referenceSet.Load());
    cmp.m_discoveryInfo.type = cmp.m_referenceSet.devices.at(0).type;
    EXPECT_EQ(Write(cmp), kHeaderOnlyDocument);
  }
}

}  // namespace
}  // namespace zrn_test
