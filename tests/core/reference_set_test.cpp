// Reading "reference.xml": the walk's rules, attribute text, and the files
// that fail.
#include "core/reference_set.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "core/records.h"
#include "core/text.h"
#include "core/xml_library.h"
#include "core/xml_messages.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

// type, device_id, model, firmware, bios, boot, duration
using Fields = std::vector<std::wstring>;

Fields FieldsOf(const ReferenceDevice& d) {
  return {d.type, d.device_id, d.model, d.firmware, d.bios, d.boot, d.duration};
}

const Fields kEmpty(7);

struct LoadCase {
  const char* name;
  std::string xml;
  std::vector<Fields> devices;
  std::wstring discoveryPath, installerPath;
};

const std::wstring kE = L"";

const LoadCase kLoadCases[] = {
    {"full document",
     "<?xml version=\"1.0\"?>\n"
     "<!-- package references -->\n"
     "<marvo_fchba_reference>\n"
     "  <discovery_app_path><![CDATA[./disc]]></discovery_app_path>\n"
     "  <installer_app_path><![CDATA[./inst]]></installer_app_path>\n"
     "  <devices>\n"
     "    <device>\n"
     "      <type value=\"FC HBA\"/>\n"
     "      <device_id value=\"1077.2532.1077.015d\"/>\n"
     "      <model value=\"QLE2562\"/>\n"
     "      <firmware value=\"5.06.05\"/>\n"
     "      <bios value=\"2.16\"/>\n"
     "      <boot value=\"yes\"/>\n"
     "      <duration value=\"120\"/>\n"
     "    </device>\n"
     "    <device><device_id value=\"1077.2532.1077.015e\"/></device>\n"
     "  </devices>\n"
     "</marvo_fchba_reference>\n",
     {{L"FC HBA", L"1077.2532.1077.015d", L"QLE2562", L"5.06.05", L"2.16", L"yes", L"120"},
      {kE, L"1077.2532.1077.015e", kE, kE, kE, kE, kE}},
     L"./disc",
     L"./inst"},
    {"no whitespace, devices first",
     "<marvo_fchba_reference><devices><device><model value=\"m\"/></device></devices>"
     "<discovery_app_path><![CDATA[p]]></discovery_app_path></marvo_fchba_reference>",
     {{kE, kE, L"m", kE, kE, kE, kE}},
     L"p",
     L""},
    {"empty root", "<marvo_fchba_reference/>", {}, L"", L""},
    {"root of another name",
     "<fchba_reference><devices><device><type value=\"t\"/></device></devices>"
     "</fchba_reference>",
     {},
     L"",
     L""},
    {"two devices elements",
     "<marvo_fchba_reference><devices><device><type value=\"1\"/></device></devices>"
     "<other><devices><device><type value=\"hidden\"/></device></devices></other>"
     "<devices><device><type value=\"2\"/></device><device><type value=\"3\"/></device>"
     "</devices></marvo_fchba_reference>",
     {{L"1", kE, kE, kE, kE, kE, kE},
      {L"2", kE, kE, kE, kE, kE, kE},
      {L"3", kE, kE, kE, kE, kE, kE}},
     L"",
     L""},
    {"device without children, child without value, unknown child",
     "<marvo_fchba_reference><devices><device/>"
     "<device><type/><model name=\"x\" value=\"M\"/><serial value=\"s\"/>text</device>"
     "<item><type value=\"not a device\"/></item></devices></marvo_fchba_reference>",
     {kEmpty, {kE, kE, L"M", kE, kE, kE, kE}},
     L"",
     L""},
    {"later child overwrites earlier",
     "<marvo_fchba_reference><devices><device><firmware value=\"1\"/>"
     "<firmware value=\"2\"/><bios value=\"b\"/><bios/></device></devices>"
     "</marvo_fchba_reference>",
     {{kE, kE, kE, L"2", kE, kE, kE}},
     L"",
     L""},
    {"paths need a leading CDATA section",
     "<marvo_fchba_reference><discovery_app_path>plain</discovery_app_path>"
     "<installer_app_path> <![CDATA[late]]></installer_app_path></marvo_fchba_reference>",
     {},
     L"",
     L""},
    {"the last path wins",
     "<marvo_fchba_reference><discovery_app_path><![CDATA[a]]></discovery_app_path>"
     "<discovery_app_path><![CDATA[b]]></discovery_app_path>"
     "<discovery_app_path>text keeps b</discovery_app_path></marvo_fchba_reference>",
     {},
     L"b",
     L""},
    {"names are read wherever the walk meets them",
     "<devices><device><type value=\"top\"/></device></devices>",
     {{L"top", kE, kE, kE, kE, kE, kE}},
     L"",
     L""},
    {"a nested root is entered and the walk never comes back",
     "<marvo_fchba_reference><marvo_fchba_reference><devices><device>"
     "<type value=\"inner\"/></device></devices></marvo_fchba_reference>"
     "<devices><device><type value=\"after\"/></device></devices></marvo_fchba_reference>",
     {{L"inner", kE, kE, kE, kE, kE, kE}},
     L"",
     L""},
    {"bytes are widened one by one",
     "<marvo_fchba_reference><devices><device><model value=\"\xC3\xA9\"/>"
     "<bios value=\"&#233;\"/></device></devices></marvo_fchba_reference>",
     {{kE, kE, std::wstring{static_cast<wchar_t>(-61), static_cast<wchar_t>(-87)}, kE,
       std::wstring{static_cast<wchar_t>(-61), static_cast<wchar_t>(-87)}, kE, kE}},
     L"",
     L""},
    {"a CDATA section among the root's children is skipped",
     "<marvo_fchba_reference><![CDATA[devices]]><devices><device><type value=\"t\"/>"
     "</device></devices></marvo_fchba_reference>",
     {{L"t", kE, kE, kE, kE, kE, kE}},
     L"",
     L""},
    // Former faults: a DOCTYPE made the walk read nothing; non-element nodes
    // with a known name counted as elements; attribute text was cut short at
    // an entity reference or dereferenced a missing node when empty.
    {"DOCTYPE before the root",
     "<?xml version=\"1.0\"?>\n<!DOCTYPE marvo_fchba_reference>\n"
     "<marvo_fchba_reference><devices><device><type value=\"t\"/></device></devices>"
     "</marvo_fchba_reference>",
     {{L"t", kE, kE, kE, kE, kE, kE}},
     L"",
     L""},
    {"processing instruction named like an element",
     "<marvo_fchba_reference><devices><?device x?><device><?type y?></device></devices>"
     "</marvo_fchba_reference>",
     {kEmpty},
     L"",
     L""},
    {"attribute text with entity references, empty values",
     "<!DOCTYPE marvo_fchba_reference [<!ENTITY ver \"2.10\">]>"
     "<marvo_fchba_reference><devices><device><model value=\"A&amp;B &lt;x&gt;\"/>"
     "<firmware value=\"fw-&ver;-x\"/><bios value=\"\"/><type value=\"&#65;&#66;\"/>"
     "</device></devices></marvo_fchba_reference>",
     {{L"AB", kE, L"A&B <x>", L"fw-2.10-x", kE, kE, kE}},
     L"",
     L""},
    {"entities within entities, references to nothing",
     "<!DOCTYPE marvo_fchba_reference [<!ENTITY in \"i&#66;&amp;\"><!ENTITY none \"\">"
     "<!ENTITY out \"o&in;&none;o\">]>"
     "<marvo_fchba_reference><devices><device><model value=\"[&out;&none;]\"/>"
     "<bios value=\"&none;\"/></device></devices></marvo_fchba_reference>",
     {{kE, kE, L"[oiB&o]", kE, kE, kE, kE}},
     L"",
     L""},
};

class ReferenceSetTest : public CoreTest {};

// Loads `xml` as the reference file into `set`; a file that loads leaves
// nothing on standard error.
bool LoadsQuietly(const std::string& xml, ReferenceSet* set) {
  WriteFile("reference.xml", xml);
  testing::internal::CaptureStderr();
  const bool loaded = set->Load();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  return loaded;
}

TEST_F(ReferenceSetTest, WalkTable) {
  for (const LoadCase& c : kLoadCases) {
    SCOPED_TRACE(c.name);
    ReferenceSet set;
    ASSERT_TRUE(LoadsQuietly(c.xml, &set));
    std::vector<Fields> devices;
    for (const ReferenceDevice& d : set.devices) devices.push_back(FieldsOf(d));
    EXPECT_EQ(devices, c.devices);
    EXPECT_EQ(set.discovery_app_path, c.discoveryPath);
    EXPECT_EQ(set.installer_app_path, c.installerPath);
  }
}

TEST_F(ReferenceSetTest, MissingOrBrokenFileFails) {
  {
    ReferenceSet set;
    EXPECT_FALSE(set.Load());
  }
  const char* kBroken[] = {
      "",
      "<marvo_fchba_reference>",
      "<marvo_fchba_reference><devices></marvo_fchba_reference>",
      "<a/><b/>",
      "<marvo_fchba_reference><devices><device><type value=\"&undeclared;\"/></device>"
      "</devices></marvo_fchba_reference>",
  };
  for (const char* xml : kBroken) {
    SCOPED_TRACE(xml);
    WriteFile("reference.xml", xml);
    ReferenceSet set;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(set.Load());
    // The library explains the fault on standard error.
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(set.devices.empty());
  }
}

TEST_F(ReferenceSetTest, FileIsReadFromTheWorkingDirectoryOnly) {
  WriteFile("reference.xml",
            "<marvo_fchba_reference><devices><device/></devices>"
            "</marvo_fchba_reference>");
  ASSERT_EQ(chdir("/"), 0);
  ReferenceSet elsewhere;
  EXPECT_FALSE(elsewhere.Load());
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  ReferenceSet here;
  EXPECT_TRUE(here.Load());
  EXPECT_EQ(here.devices.size(), 1u);
}

// A document with a DOCTYPE declaring `entities` and one device whose
// "model" holds `value`.
std::string ModelDocument(const std::string& entities, const std::string& value) {
  return "<!DOCTYPE marvo_fchba_reference [" + entities +
         "]>\n<marvo_fchba_reference><devices><device><model value=\"" + value +
         "\"/></device></devices></marvo_fchba_reference>\n";
}

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Values of real size load in full, whether written out or built from
// entities; a document whose values expand past the bound is refused whole.
TEST_F(ReferenceSetTest, ValuesExpandWithinABound) {
  const std::string kibi(1024, 'k');
  const std::string mebi = Repeat(kibi, 1024);
  const std::string kibiEntity = "<!ENTITY k \"" + kibi + "\">";
  struct {
    const char* what;
    std::string xml;
    bool loads;
  } kCases[] = {
      {"a value of 1 MiB", ModelDocument("", mebi), true},
      {"a value of 1 MiB from one entity", ModelDocument(kibiEntity, Repeat("&k;", 1024)), true},
      {"values of 32 MiB from one entity",
       "<!DOCTYPE marvo_fchba_reference [" + kibiEntity + "]><marvo_fchba_reference><devices>" +
           Repeat("<device><model value=\"" + Repeat("&k;", 1024) + "\"/></device>", 32) +
           "</devices></marvo_fchba_reference>",
       false},
      // Every reference is paid for even when it adds no text: 3000^3 of
      // them, which the library itself lets through.
      {"references that expand to nothing",
       ModelDocument("<!ENTITY e0 \"\"><!ENTITY e1 \"" + Repeat("&e0;", 3000) +
                         "\"><!ENTITY e2 \"" + Repeat("&e1;", 3000) + "\">",
                     Repeat("&e2;", 3000)),
       false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    WriteFile("reference.xml", c.xml);
    ReferenceSet set;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.Load(), c.loads);
    testing::internal::GetCapturedStderr();
    if (c.loads) {
      ASSERT_EQ(set.devices.size(), 1u);
      EXPECT_TRUE(set.devices[0].model == WidenBytes(mebi));
    } else {
      EXPECT_TRUE(set.devices.empty());
    }
  }
}

// A reference file with one device, `prolog` before the root and `inside`
// at the start of the root's content.
std::string OneDevice(const std::string& prolog, const std::string& inside) {
  return "<?xml version=\"1.0\"?>\n" + prolog + "<marvo_fchba_reference>" + inside +
         "<devices><device><type value=\"FC HBA\"/><bios value=\"2.16\"/></device></devices>"
         "</marvo_fchba_reference>\n";
}

// Ordinary references load, each reading its device and leaving nothing on
// standard error, whatever markup they carry around it: "=" signs and
// character references by the thousand, declarations, other encodings.
TEST_F(ReferenceSetTest, OrdinaryReferencesLoad) {
  const std::string licence = "<!--\n" + Repeat(std::string(78, '=') + "\n", 14) + "-->\n";
  std::string attributes;
  for (int i = 0; i < 1023; ++i) attributes += " a" + std::to_string(i) + "=\"\"";
  std::string manyDevices = "<devices>";
  for (int i = 0; i < 500; ++i) {
    manyDevices +=
        "<device><type value=\"FC HBA\"/><device_id value=\"1077.2532.1077.015d\"/>"
        "<model value=\"QLE2562\"/><firmware value=\"5.06.05\"/><bios value=\"2.16\"/>"
        "<boot value=\"2.16\"/><duration value=\"120\"/></device>";
  }
  manyDevices += "</devices>";
  const struct {
    const char* what;
    std::string xml;
  } kOrdinary[] = {
      {"a licence comment of 14 lines of 78 \"=\"", OneDevice(licence, "")},
      {"the licence comment inside the DOCTYPE",
       OneDevice("<!DOCTYPE marvo_fchba_reference [\n" + licence + "]>\n", "")},
      {"an entity of 2,000 \"=\"",
       OneDevice("<!DOCTYPE marvo_fchba_reference [<!ENTITY sep \"" + std::string(2000, '=') +
                     "\">]>\n",
                 "<note>&sep;</note>")},
      {"an instruction holding \">\", then 2,000 \"=\" in text",
       OneDevice("<?note a > b ?>\n", "<note>" + std::string(2000, '=') + "</note>")},
      {"a CDATA section of 1,100 \"OPTn=1\"",
       OneDevice("", "<options><![CDATA[" + Repeat("OPTn=1", 1100) + "]]></options>")},
      {"an attribute value of 1,100 \"=\"",
       OneDevice("", "<note text=\"" + std::string(1100, '=') + "\"/>")},
      {"a text of 1,100 \"&#233;\"", OneDevice("", "<note>" + Repeat("&#233;", 1100) + "</note>")},
      {"a processing instruction of 2,000 \"=\"",
       OneDevice("<?build " + std::string(2000, '=') + "?>\n", "")},
      {"1,024 attributes in one tag", OneDevice("", "<note" + attributes + " last=\"\"/>")},
      {"500 devices", OneDevice("", manyDevices)},
      {"a DOCTYPE, then the licence",
       OneDevice("<!DOCTYPE marvo_fchba_reference [\n<!ENTITY vendor \"QLogic\">\n"
                 "<!ELEMENT note ANY>\n]>\n" +
                     licence,
                 "<note>&vendor;</note>")},
      {"Latin-1 text in the licence",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- \xA9 2013 \xE9quipe, Gr\xFC\xDF"
       "e \xFF\n" +
           Repeat(std::string(78, '=') + "\n", 14) + "-->\n" + OneDevice("", "").substr(22)},
      {"UTF-8 beyond ASCII in the licence",
       "\xEF\xBB\xBF" +
           OneDevice("<!-- \xC2\xA9 \xE4\xB8\xAD\xE6\x96\x87\xEF\xBC\x8C\n" + licence.substr(5),
                     "")},
      {"UTF-16 with the licence", Utf16(Units(OneDevice(licence, "")), true, true)},
  };
  for (const auto& c : kOrdinary) {
    SCOPED_TRACE(c.what);
    ReferenceSet set;
    ASSERT_TRUE(LoadsQuietly(c.xml, &set));
    ASSERT_FALSE(set.devices.empty());
    EXPECT_EQ(set.devices.back().bios, L"2.16");
  }
}

// A document that a bound of the reader's own refuses fails the load with
// one line on standard error that names the bound, and the library's
// messages are shown again for the next document.
TEST_F(ReferenceSetTest, RefusedDocumentsSayWhichBound) {
  const std::string big = OneDevice("", "") + "<!--";
  const std::string kibiEntity = "<!ENTITY k \"" + std::string(1024, 'k') + "\">";
  const struct {
    const char* what;
    std::string xml;
    const char* line;
  } kRefused[] = {
      {"a file past the size bound",
       big + std::string(kMaxReferenceFileBytes + 1 - big.size() - 4, 'x') + "-->\n",
       "reference.xml: refused: larger than 4 MiB\n"},
      {"values past their bound",
       "<!DOCTYPE marvo_fchba_reference [" + kibiEntity + "]><marvo_fchba_reference><devices>" +
           Repeat("<device><model value=\"" + Repeat("&k;", 1024) + "\"/></device>", 17) +
           "</devices></marvo_fchba_reference>",
       "reference.xml: refused: its values come to more than 16 MiB\n"},
  };
  for (const auto& c : kRefused) {
    SCOPED_TRACE(c.what);
    WriteFile("reference.xml", c.xml);
    ReferenceSet set;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(set.Load());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
    EXPECT_TRUE(set.devices.empty());
  }
  WriteFile("reference.xml", "<marvo_fchba_reference>");
  ReferenceSet set;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(set.Load());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "reference.xml:1: parser error : Premature end of data in tag "
            "marvo_fchba_reference line 1\n<marvo_fchba_reference>\n"
            "                       ^\n");
}

// What the library itself writes about reference.xml when it parses the
// file on its own, with its defaults.
std::string LibrarysOwnMessages() {
  testing::internal::CaptureStderr();
  {
    XmlLibraryScope library;
    xmlFreeDoc(xmlParseFile("reference.xml"));
  }
  return testing::internal::GetCapturedStderr();
}

const char kLeftOut[] =
    "reference.xml: the XML library's further messages about it were left out\n";

// The library's messages about a file reach standard error byte for byte as
// it writes them, whether the file loads or not, up to their bound; past it
// come exactly the bound's bytes and one line, and a file that loads still
// loads.
TEST_F(ReferenceSetTest, LibraryMessagesAreTheLibrarysOwnUpToTheirBound) {
  const std::string device = "<devices><device><bios value=\"2.16\"/></device></devices>";
  const struct {
    const char* what;
    std::string xml;
    bool loads;
  } kCases[] = {
      {"empty", "", false},
      {"truncated", "<marvo_fchba_reference><devices>", false},
      {"mismatched tags", "<marvo_fchba_reference>\n<devices></device>\n</marvo_fchba_reference>",
       false},
      {"an undeclared entity", OneDevice("", "<x>&nope;</x>"), false},
      {"a duplicate attribute", OneDevice("", "<x a=\"1\" a=\"2\"/>"), false},
      {"two roots", OneDevice("", "") + "<again/>", false},
      {"invalid UTF-8", OneDevice("", "<x>\xC3\x28</x>"), false},
      {"a failed conversion, which no parser reports",
       "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>" + OneDevice("", "<x a='\xFF\xFF'/>").substr(22),
       false},
      {"an unknown encoding", "<?xml version=\"1.0\" encoding=\"x-none\"?>" + OneDevice("", "").substr(22),
       false},
      {"an error after 20,000 devices on one line",
       "<marvo_fchba_reference><devices>" + Repeat("<device><bios value=\"1\"/></device>", 20000) +
           "<device></devise></devices></marvo_fchba_reference>",
       false},
      {"undeclared prefixes and a repeated id",
       OneDevice("", "<p:x/><y q:a=\"1\"/><z xml:id=\"i\"/><z xml:id=\"i\"/>"), true},
      {"a relative namespace name", OneDevice("", "<x xmlns=\"rel\"/>"), true},
      {"UTF-16 with an undeclared prefix", Utf16(Units(OneDevice("", "<p:x/>")), true, true), true},
      {"an undeclared prefix on 20,000 elements", OneDevice("", Repeat("<p:x/>", 20000)), true},
      {"20,000 errors after the devices",
       "<marvo_fchba_reference>" + device + Repeat("<x a=\"1\" p:a=\"2\"/>", 20000) +
           "</marvo_fchba_reference>",
       true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    WriteFile("reference.xml", c.xml);
    const std::string own = LibrarysOwnMessages();
    ASSERT_NE(own, "");
    std::string expected = own;
    if (own.size() > kMaxXmlMessageBytes) {
      expected = own.substr(0, kMaxXmlMessageBytes);
      if (expected.back() != '\n') expected += "\n";
      expected += kLeftOut;
    }
    ReferenceSet set;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.Load(), c.loads);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(err == expected) << err.size() << " bytes, expected " << expected.size() << "\n"
                                 << err.substr(0, 600);
    EXPECT_EQ(set.devices.empty(), !c.loads);
  }
}

// `text` (UTF-8) in another character set, through the platform's iconv.
std::string Encode(const std::string& text, const char* charset) {
  iconv_t convert = iconv_open(charset, "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "no conversion to " << charset;
    return "";
  }
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* next = &out[0];
  size_t outLeft = out.size();
  const size_t done = iconv(convert, &in, &inLeft, &next, &outLeft);
  const size_t flushed = iconv(convert, nullptr, nullptr, &next, &outLeft);
  iconv_close(convert);
  EXPECT_NE(done, static_cast<size_t>(-1)) << charset;
  EXPECT_NE(flushed, static_cast<size_t>(-1)) << charset;
  out.resize(out.size() - outLeft);
  return out;
}

// `count` attributes, each ` a<infix><i>=""`.
std::string Attributes(size_t count, const std::string& infix = "") {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += " a" + infix + std::to_string(i) + "=\"\"";
  return text;
}

// A reference file with one device and `extra` after it, and `prolog` (an
// XML declaration and a DOCTYPE) before the root.
std::string WithPrologue(const std::string& prolog, const std::string& extra) {
  return prolog +
         "<marvo_fchba_reference><devices><device><type value=\"FC HBA\"/>"
         "<bios value=\"2.16\"/></device>" +
         extra + "</devices></marvo_fchba_reference>\n";
}

std::string Declaration(const char* encoding) {
  return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n";
}

// Documents on which loading takes time that grows with the square of their
// size or faster, in the library or in the walk, each taking several seconds
// unbounded although a few hundred kilobytes to two megabytes long: the
// trial stops each at its processor bound, whatever the shape.
struct CostlyDocument {
  const char* what;
  std::string (*make)();
};

const CostlyDocument kCostlyDocuments[] = {
    {"one tag of 100,000 attributes",
     [] { return WithPrologue("", "<x" + Attributes(100000) + "/>"); }},
    {"namespace prefixes declared again at every level",
     [] {
       std::string prefixes;
       for (int i = 0; i < 1000; ++i) {
         prefixes += " xmlns:p" + std::to_string(i) + "=\"u" + std::to_string(i) + "\"";
       }
       std::string nested;
       for (int i = 0; i < 120; ++i) nested += "<n" + prefixes + ">";
       nested += Repeat("<zz:e/>", 10000) + Repeat("</n>", 120);
       return "<marvo_fchba_reference xmlns:zz=\"z\">" + nested +
              "<devices><device><bios value=\"2.16\"/></device></devices>"
              "</marvo_fchba_reference>\n";
     }},
    {"defaults declared after an undeclared entity, for three devices",
     [] {
       std::string defaults = "<!ATTLIST device";
       for (int i = 0; i < 50000; ++i) defaults += " a" + std::to_string(i) + " CDATA \"1\"";
       return WithPrologue("<!DOCTYPE marvo_fchba_reference [<!ATTLIST z q CDATA \"&u;\">" +
                               defaults + ">]>\n",
                           "<device/><device/><device/>");
     }},
    {"declared defaults for an element 2,000 devices use",
     [] {
       std::string defaults = "<!ATTLIST type";
       for (int i = 0; i < 50000; ++i) defaults += " a" + std::to_string(i) + " CDATA \"v\"";
       return WithPrologue("<!DOCTYPE marvo_fchba_reference [" + defaults + ">]>\n",
                           Repeat("<device><type value=\"FC HBA\"/></device>", 2000));
     }},
    {"a tag of 60,000 attributes from parameter entities",
     [] {
       // The blanks before the declaration keep the library's check of how
       // far an entity expands quiet.
       std::string entities, references;
       for (int k = 0; k < 60; ++k) {
         std::string part;
         for (int i = 0; i < 1000; ++i) {
           part += " a" + std::to_string(k) + "_" + std::to_string(i) + "=''";
         }
         entities += "<!ENTITY % p" + std::to_string(k) + " \"" + part + "\">";
         references += "&#37;p" + std::to_string(k) + ";";
       }
       return WithPrologue("<!DOCTYPE marvo_fchba_reference [" + entities + "<!ENTITY % d \"" +
                               std::string(100000, ' ') + "<!ENTITY e '&#60;x" + references +
                               "/&#62;'>\">%d;]>\n",
                           "&e;");
     }},
    {"an entity's tag of 100,000 attributes from character references",
     [] {
       std::string tag = "&#60;x";
       for (int i = 0; i < 100000; ++i) tag += " a" + std::to_string(i) + "&#61;''";
       return WithPrologue("<!DOCTYPE marvo_fchba_reference [<!ENTITY t \"" + tag + "/&#62;\">]>\n",
                           "&t;");
     }},
    {"one tag of 60,000 attributes in UTF-7",
     [] {
       return Declaration("UTF-7") +
              Encode(WithPrologue("", "<x" + Attributes(60000) + "/>"), "UTF-7");
     }},
    {"one tag of 60,000 attributes in EBCDIC",
     [] {
       return Encode(WithPrologue(Declaration("IBM037"), "<x" + Attributes(60000) + "/>"),
                     "IBM037");
     }},
    {"UCS-4 names holding U+4E3C, whose bytes hold \"<\"",
     [] {
       return Encode(WithPrologue(Declaration("UCS-4"),
                                  "<x" + Attributes(60000, "\xE4\xB8\xBC") + "/>"),
                     "UCS-4");
     }},
    {"ISO-2022-JP names holding a kanji whose first byte is \"<\"",
     [] {
       // U+59D4 is 0x3C 0x21 in JIS X 0208.
       return Encode(WithPrologue(Declaration("ISO-2022-JP"),
                                  "<x" + Attributes(60000, "\xE5\xA7\x94") + "/>"),
                     "ISO-2022-JP");
     }},
    {"a tag after a control character in a comment",
     [] { return WithPrologue("", "<!-- \x01 <x" + Attributes(100000) + "/> -->"); }},
    {"values that reach a long entity name through short ones",
     [] {
       // Each value is one reference to a short name whose entity holds ten
       // references to a name of 49,999 characters: every reference read is
       // a lookup of the whole name, and the entity adds no text.
       const std::string name(49999, 'n');
       return WithPrologue("<!DOCTYPE marvo_fchba_reference [<!ENTITY " + name +
                               " \"\"><!ENTITY e \"" + Repeat("&" + name + ";", 10) + "\">]>\n",
                           "<device>" + Repeat("<model value=\"&e;\"/>", 10000) + "</device>");
     }},
    {"UTF-16 names whose bytes look like quotes",
     [] {
       std::u16string units = Units(WithPrologue("", "<x" + Attributes(100000, "@") + "/>"));
       for (char16_t& u : units) {
         if (u == u'@') u = 0x4E22;
       }
       return Utf16(units, true, true);
     }},
};

class CostlyDocumentTest : public testing::TestWithParam<CostlyDocument> {};

TEST_P(CostlyDocumentTest, TrialStopsAtTheProcessorBound) {
  const std::string document = GetParam().make();
  ASSERT_LE(document.size(), kMaxReferenceFileBytes);
  EXPECT_EQ(TrialLoadReference(document, XmlTrialBounds{1, kReferenceTrialBounds.library_bytes}),
            XmlTrialOutcome::kTimeBound);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CostlyDocumentTest, testing::ValuesIn(kCostlyDocuments),
                         [](const testing::TestParamInfo<CostlyDocument>& info) {
                           return "Kind" + std::to_string(info.index);
                         });

// Documents with an error or a warning on every element, each of which the
// library formats with its context lines: the trial measures their load,
// messages included, and either stops it at its processor bound or lets it
// finish, when the messages are kept to their bound.
const CostlyDocument kErrorOnEveryElement[] = {
    {"an undeclared prefix on every element",
     [] { return WithPrologue("", Repeat("<a:b/>", 170000)); }},
    {"an undeclared prefix on an attribute of every element",
     [] { return WithPrologue("", Repeat("<b a:c=\"1\"/>", 90000)); }},
    {"one xml:id on every element", [] { return WithPrologue("", Repeat("<i xml:id=\"x\"/>", 70000)); }},
};

class ErrorOnEveryElementTest : public testing::TestWithParam<CostlyDocument> {};

TEST_P(ErrorOnEveryElementTest, LoadEndsWithinTheProcessorBound) {
  const std::string document = GetParam().make();
  ASSERT_LE(document.size(), kMaxReferenceFileBytes);
  const XmlTrialOutcome outcome =
      TrialLoadReference(document, XmlTrialBounds{1, kReferenceTrialBounds.library_bytes});
  EXPECT_TRUE(outcome == XmlTrialOutcome::kTimeBound || outcome == XmlTrialOutcome::kFinished)
      << static_cast<int>(outcome);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ErrorOnEveryElementTest, testing::ValuesIn(kErrorOnEveryElement),
                         [](const testing::TestParamInfo<CostlyDocument>& info) {
                           return "Kind" + std::to_string(info.index);
                         });

// The trial also holds the library's memory: a document of a node every few
// bytes asks for some fifty times its size, and so past a bound set low,
// not past the program's. The time bound is set far above the load's, which
// under the sanitizers on a busy machine comes near a second.
TEST(ReferenceTrialTest, MemoryBoundHolds) {
  const std::string document = WithPrologue("", Repeat("<a/>x", 200000));
  EXPECT_EQ(TrialLoadReference(document, XmlTrialBounds{30, size_t{16} << 20}),
            XmlTrialOutcome::kMemoryBound);
  EXPECT_EQ(TrialLoadReference(document, XmlTrialBounds{30, kReferenceTrialBounds.library_bytes}),
            XmlTrialOutcome::kFinished);
}

// Compares the reader's text of every attribute of `node` and the elements
// within it with the library's own joining of the attribute's nodes; returns
// how many it compared.
int CompareWithLibrary(xmlDoc* doc, xmlNode* node) {
  int compared = 0;
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    for (xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
      xmlChar* joined = xmlNodeListGetString(doc, attr->children, 1);
      const std::string expected = joined ? reinterpret_cast<const char*>(joined) : "";
      xmlFree(joined);
      EXPECT_EQ(GetAttributeValue(node, reinterpret_cast<const char*>(attr->name)),
                WidenBytes(expected))
          << attr->name;
      ++compared;
    }
    compared += CompareWithLibrary(doc, node->children);
  }
  return compared;
}

// The reader joins an attribute's text and entity-reference nodes itself, to
// pay for them as it goes: what it joins is what the library's own joining
// gives.
TEST_F(ReferenceSetTest, ValuesReadAsTheLibraryJoinsThem) {
  int compared = 0;
  for (const LoadCase& c : kLoadCases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadMemory(c.xml.data(), static_cast<int>(c.xml.size()), "reference.xml", nullptr, 0),
        xmlFreeDoc);
    ASSERT_NE(doc, nullptr);
    compared += CompareWithLibrary(doc.get(), doc->children);
  }
  EXPECT_GE(compared, 30);
}

// The file is read only up to a bound far above a real package's.
TEST_F(ReferenceSetTest, FileLongerThanTheBoundIsRefused) {
  const std::string head =
      "<marvo_fchba_reference><devices><device><type value=\"t\"/></device></devices>"
      "</marvo_fchba_reference>\n<!--";
  const std::string tail = "-->\n";
  for (size_t size : {kMaxReferenceFileBytes, kMaxReferenceFileBytes + 1}) {
    SCOPED_TRACE(size);
    WriteFile("reference.xml", head + std::string(size - head.size() - tail.size(), 'x') + tail);
    ReferenceSet set;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.Load(), size == kMaxReferenceFileBytes);
    testing::internal::GetCapturedStderr();
  }
}

// Only a regular file is read: a FIFO without a writer would block the
// read, a device would never end.
TEST_F(ReferenceSetTest, OtherThanARegularFileCountsAsMissing) {
  const char* kAsFile[] = {"fifo", "/dev/zero", "/dev/null", "directory"};
  for (const char* what : kAsFile) {
    SCOPED_TRACE(what);
    unlink("reference.xml");
    rmdir("reference.xml");
    const std::string kind = what;
    if (kind == "fifo") {
      ASSERT_EQ(mkfifo("reference.xml", 0644), 0);
    } else if (kind == "directory") {
      ASSERT_EQ(mkdir("reference.xml", 0755), 0);
    } else {
      ASSERT_EQ(symlink(what, "reference.xml"), 0);
    }
    ReferenceSet set;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(set.Load());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
}

TEST(GetAttributeValueTest, ReadsTheNamedAttribute) {
  xmlDoc* doc = xmlNewDoc(nullptr);
  xmlNode* node = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>("leaf"));
  xmlDocSetRootElement(doc, node);
  xmlNewProp(node, reinterpret_cast<const xmlChar*>("other"),
             reinterpret_cast<const xmlChar*>("o"));
  xmlNewProp(node, reinterpret_cast<const xmlChar*>("value"),
             reinterpret_cast<const xmlChar*>("v<&"));
  xmlNewProp(node, reinterpret_cast<const xmlChar*>("empty"), nullptr);
  EXPECT_EQ(GetAttributeValue(node, "value"), L"v<&");
  EXPECT_EQ(GetAttributeValue(node, "other"), L"o");
  EXPECT_EQ(GetAttributeValue(node, "empty"), L"");
  EXPECT_EQ(GetAttributeValue(node, "Value"), L"");
  EXPECT_EQ(GetAttributeValue(node, "missing"), L"");
  xmlFreeDoc(doc);
}

}  // namespace
}  // namespace zrn_test
