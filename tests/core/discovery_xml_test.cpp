// The self-discovery document, compared as whole bytes.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

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

// The "value" of the first leaf ("type") of the file at `path` as a parser
// reads it, byte by byte; nullopt when the file does not parse.
std::optional<std::string> ReadBackType(const char* path) {
  std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
      xmlReadFile(path, nullptr, XML_PARSE_NOERROR | XML_PARSE_NOWARNING), xmlFreeDoc);
  if (!doc) return std::nullopt;
  xmlChar* value = xmlGetProp(xmlFirstElementChild(xmlDocGetRootElement(doc.get())),
                              reinterpret_cast<const xmlChar*>("value"));
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

// A value holds only what XML 1.0 can carry in the document's UTF-8: control
// characters are left out, a byte that begins no well-formed character is
// kept as the character of its number, the rest is kept as it is, and the
// file always parses.
TEST_F(DiscoveryXmlTest, ValuesHoldOnlyWhatXmlCanCarry) {
  const wchar_t kAbove = 0x101;  // narrows to 0x01
  const struct {
    const char* what;
    std::wstring field;
    std::string read;  // the value a parser reads back
  } kCases[] = {
      {"model with control characters",
       WidenBytes("QLE\x01\x1b"
                  "2562"),
       "QLE2562"},
      {"colour sequence at the end", WidenBytes("US2.01A12\x1b[0m"), "US2.01A12[0m"},
      {"every control character",
       WidenBytes("<\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f"
                  "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7f>"),
       "<\t\n\r\x7f>"},
      {"NUL within the value", std::wstring(L"ab\0cd", 5), "abcd"},
      {"wide character that narrows to a control byte", std::wstring{L'a', kAbove, L'b'}, "ab"},
      {"UTF-8 characters of two to four bytes",
       WidenBytes("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
       "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"stray byte at the end", WidenBytes("ab\xE9"), "ab\xC3\xA9"},
      {"stray byte within", WidenBytes("\xE9x"), "\xC3\xA9x"},
      {"lone continuation byte at the end", WidenBytes("x\x80"), "x\xC2\x80"},
      {"cut sequence at the end", WidenBytes("x\xE2\x82"), "x\xC3\xA2\xC2\x82"},
      {"surrogate", WidenBytes("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"U+FFFF", WidenBytes("\xEF\xBF\xBF"), "\xC3\xAF\xC2\xBF\xC2\xBF"},
      {"overlong form", WidenBytes("\xC0\xAF"), "\xC3\x80\xC2\xAF"},
      {"past U+10FFFF", WidenBytes("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
  };
  TestComponent cmp;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    cmp.m_discoveryInfo.type = c.field;
    Write(cmp);
    EXPECT_EQ(ReadBackType("out.xml"), c.read);
  }
}

// Whatever byte a value holds, and wherever, the file parses.
TEST_F(DiscoveryXmlTest, EveryByteAnywhereGivesAFileThatParses) {
  TestComponent cmp;
  for (int byte = 0; byte < 256; ++byte) {
    const char b = static_cast<char>(byte);
    for (const std::string& value :
         {std::string(1, b), std::string("a") + b + "b", std::string("ab") + b}) {
      cmp.m_discoveryInfo.type = WidenBytes(value);
      Write(cmp);
      EXPECT_TRUE(ReadBackType("out.xml").has_value()) << "byte " << byte << " in " << value.size();
    }
  }
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
