// The count of marks that can make attributes: what counts in a start tag
// and in the DOCTYPE, what does not count elsewhere, the places where the
// library's reading may part from the count's (which are then counted
// throughout), UTF-16, and the same outcome however the bytes are split.
#include "core/attribute_marks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

// The cases hold at most three marks in one place, or four.
constexpr size_t kLimit = 3;

// Four attributes in one tag: refused wherever the tag is counted.
const std::string kFour = "<c w=\"\" x=\"\" y=\"\" z=\"\"/>";

struct MarksCase {
  const char* what;
  std::string document;
  bool refused;
};

const MarksCase kCases[] = {
    // Start tags: the "=" outside quoted values, one tag at a time.
    {"three attributes", "<r a=\"1\" b='2' c = \"3\"/>", false},
    {"four attributes", "<r>" + kFour + "</r>", true},
    {"three in each of many tags", "<r a=\"\" b=\"\" c=\"\"><s a=\"\" b=\"\" c=\"\"/></r>", false},
    {"signs inside quoted values", "<r a=\"====\" b='=\"=\"='/>", false},
    {"a tag split by a line", "<r a=\"\"\n b=\"\"\n c=\"\"\n d=\"\"/>", true},
    {"a name character after <", "<r><_c w=\"\" x=\"\" y=\"\" z=\"\"/></r>", true},
    {"a tag of names beyond ASCII", "<r><\xC3\xA9 w=\"\" x=\"\" y=\"\" z=\"\"/></r>", true},
    // What makes no attribute.
    {"character data", "<r>a=b=c=d=e &#233;&#233;&#233;&#233;</r>", false},
    {"a comment", "<!--\n====\n====\n-->\n<r/>", false},
    {"a commented-out tag", "<r><!-- " + kFour + " --></r>", false},
    {"a CDATA section", "<r><![CDATA[OPT1=1 OPT2=1 OPT3=1 OPT4=1 " + kFour + "]]></r>", false},
    {"a CDATA section ending in ]]]>", "<r><![CDATA[a=b=c=d=]]]></r>", false},
    {"a processing instruction", "<?pi a=1 b=2 c=3 d=4?><r><?p <x a=1 b=2 c=3 d=4 ?></r>", false},
    {"the XML declaration",
     "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" x=\"\"?>\n<r/>", false},
    {"an end tag", "<r></r a=b c=d e=f g=h>", false},
    {"quotes in character data", "<r>\"it's\" <c w=\"\" x=\"\" y=\"\"/> '</r>", false},
    // Quotes in character data hide no tag.
    {"a tag after quotes in character data", "<r>it's \"" + kFour + "</r>", true},
    // The DOCTYPE: every "=" and "&#" since the last "<", as in the
    // internal subset an entity's text may hold a tag.
    {"an entity's tag of character references",
     "<!DOCTYPE r [<!ENTITY t \"&#60;c w&#61;'' x&#61;'' y&#61;''/&#62;\">]><r>&t;</r>", true},
    {"an entity's tag written out",
     "<!DOCTYPE r [<!ENTITY t \"<c w='' x='' y='' z=''/>\">]><r>&t;</r>", true},
    {"a comment in the internal subset", "<!DOCTYPE r [<!-- ==== -->]><r/>", true},
    {"a comment after the DOCTYPE",
     "<!DOCTYPE r SYSTEM \"r.dtd\" [<?pi x?><!ENTITY e 'x'><!ATTLIST r a CDATA 'v'>"
     "<!ELEMENT r (#PCDATA|s)*><!NOTATION n PUBLIC \"-//n//EN\" \"n\">]>\n"
     "<!-- ==== --><r>&e;<![CDATA[====]]></r>",
     false},
    {"a DOCTYPE without a subset", "<!DOCTYPE r PUBLIC \"-//r//EN\" 'r.dtd'><!-- ==== --><r/>",
     false},
    {"a subset's \"]>\" inside a literal",
     "<!DOCTYPE r [<!ENTITY e \"]><!--\"><!ENTITY t \"&#60;c w&#61;'' x&#61;'' y&#61;'' "
     "z&#61;''/&#62;\">]><r>&t;</r><!-- -->",
     true},
    // Where the library ends a construct earlier than the well-formed
    // structure says, it goes on reading from there: the rest is counted
    // throughout, and the tags the library reads there are refused.
    {"a control character in a comment", "<r><!-- \x01 " + kFour + " --></r>", true},
    {"a character beyond XML in a comment", "<r><!-- \xEF\xBF\xBE " + kFour + " --></r>", true},
    {"a \"]\" that may end a two-byte character",
     "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r><![CDATA[\x81]]><!-- ]]>" + kFour +
         " --></r>",
     true},
    {"a surrogate in a CDATA section", "<r><![CDATA[\xED\xA0\x80 " + kFour + "]]></r>", true},
    {"\"--\" inside a comment", "<r><!-- a ---><![CDATA[ --> " + kFour + " ]]></r>", true},
    {"\">\" ending an instruction", "<r><?pi > <!-- ?> " + kFour + " --></r>", true},
    {"an instruction without a target", "<r><? " + kFour + "</r>", true},
    {"a malformed XML declaration", "<?xml version=\"1.0\" bad > <r>" + kFour + "</r> ?>", true},
    {"\"<\" in an attribute value", "<r a=\"<c w='' x='' y='' z=''/>\"></r>", true},
    {"\"<\" in an attribute's default",
     "<!DOCTYPE r [<!ATTLIST r a CDATA \"<r><![CDATA[\">]><!-- ]]>" + kFour + "</r> -->", true},
    {"a public identifier cut short",
     "<!DOCTYPE r PUBLIC \"a[<!--\" \"x\"><![CDATA[ -->]><r>" + kFour + "</r> ]]>", true},
    {"a parameter-entity reference", "<!DOCTYPE r [%p;]><!-- ==== --><r/>", true},
    // A declared encoding whose bytes this reading does not follow leaves
    // the structure; ASCII-compatible ones do not.
    {"declared windows-1252", "<?xml version='1.0' encoding='windows-1252'?><!-- ==== --><r/>",
     false},
    {"declared EUC-JP", "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><!-- ==== --><r/>", false},
    {"declared ISO-2022-JP", "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><!-- ==== --><r/>",
     true},
    {"declared JOHAB", "<?xml version=\"1.0\" encoding=\"JOHAB\"?><!-- ==== --><r/>", true},
    {"a NUL byte", std::string("<r>\0</r><!-- ==== -->", 21), true},
};

// Feeds the document in pieces of the given sizes (the last one repeated).
bool Refused(const std::string& document, const std::vector<size_t>& pieces) {
  AttributeMarks marks(kLimit);
  size_t done = 0, i = 0;
  bool fed = true;
  while (done < document.size()) {
    const size_t n = std::min(pieces[std::min(i++, pieces.size() - 1)], document.size() - done);
    fed = marks.Feed(document.data() + done, n);
    done += n;
    if (!fed) break;
  }
  // Once refused, always refused.
  if (!fed) {
    EXPECT_FALSE(marks.Feed("<", 1));
  }
  return !fed;
}

TEST(AttributeMarksTest, CountsOnlyWhereAttributesCanBeMade) {
  for (const MarksCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Refused(c.document, {c.document.size()}), c.refused);
  }
}

// The bytes come as the file is read: any split gives the same outcome.
TEST(AttributeMarksTest, SameOutcomeHoweverTheBytesAreSplit) {
  std::mt19937 random(17);
  for (const MarksCase& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Refused(c.document, {1}), c.refused);
    for (int round = 0; round < 20; ++round) {
      std::vector<size_t> pieces;
      for (int i = 0; i < 8; ++i) pieces.push_back(1 + random() % 7);
      EXPECT_EQ(Refused(c.document, pieces), c.refused);
    }
  }
}

// UTF-16 is read in 16-bit units: a character whose bytes look like a quote
// or "<" (U+2200 is 00 22, U+3C41 is 41 3C in little-endian order) is no
// markup. A declaration naming another encoding hands the rest to it, which
// is then counted byte by byte. UCS-4 is counted throughout.
TEST(AttributeMarksTest, WideEncodings) {
  const std::u16string kAttributes = u"<c a\u2200=\"\" b\u3C41=\"\" c\u2200=\"\" d\u3C41=\"\"/>";
  const struct {
    const char* what;
    std::string document;
    bool refused;
  } kWide[] = {
      {"a comment", Utf16(u"<r><!-- ==== \u2200\u3C41 --></r>", true, true), false},
      {"a comment, big-endian", Utf16(u"<?xml version=\"1.0\"?><!-- ==== --><r/>", false, false),
       false},
      {"names whose bytes look like markup", Utf16(u"<r>" + kAttributes + u"</r>", true, true),
       true},
      {"big-endian", Utf16(u"<r>" + kAttributes + u"</r>", false, true), true},
      {"declared UTF-16",
       Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><!-- ==== --><r/>", true, false), false},
      {"declared in the detected byte order",
       Utf16(u"<?xml version='1.0' encoding='utf-16le'?><!-- ==== --><r/>", true, true), false},
      {"declared UTF-8",
       Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-8\"", true, false) + "?><r>" + kFour + "</r>",
       true},
      {"declared in the other byte order",
       Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16BE\"?><!-- ==== --><r/>", true, false), true},
      {"UCS-4", std::string("<\0\0\0!\0\0\0-\0\0\0-\0\0\0=\0\0\0=\0\0\0=\0\0\0=\0\0\0", 32), true},
  };
  for (const auto& c : kWide) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Refused(c.document, {c.document.size()}), c.refused);
    EXPECT_EQ(Refused(c.document, {3}), c.refused);
  }
}

}  // namespace
}  // namespace zrn_test
