// What sets hold, counted over every character value: narrow 0x00 to 0xFF,
// wide 0x0000 to 0x1FFFF (so that values above 0xFFFF, which no wide
// complement holds, are counted too). Then the points where the widths
// differ on purpose.
#include <gtest/gtest.h>

#include <string>

#include "regex/pattern.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

struct CountCase {
  const char* pattern;
  unsigned long flags;
  int narrow;  // members among 0x00..0xFF
  int wide;    // members among 0x0000..0x1FFFF
};

template <class C>
class ClassMembers : public ::testing::Test {};
TYPED_TEST_SUITE(ClassMembers, Widths, WidthNames);

TYPED_TEST(ClassMembers, Counts) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  const unsigned long IC = P::IGNORE_CASE, DA = P::DOT_ANY, LF = P::LF_ONLY;
  const bool narrow = sizeof(C) == 1;
  const CountCase cases[] = {
      // A set escape inside a class is complemented over the complement
      // range; outside a class it is an inverted node over every value.
      {R"([\W])", 0, 193, 65536 - 63},
      {R"([^\w])", 0, 193, 65536 - 63},
      {R"(\W)", 0, 193, 131072 - 63},
      {R"(\D)", 0, 246, 131072 - 10},
      {R"([\D])", 0, 246, 65536 - 10},
      {R"(\w)", 0, 63, 63},
      {R"(\d)", 0, 10, 10},
      {R"(\s)", 0, 5, 5},
      {R"(\p{Space})", 0, 6, 6},
      {R"(\p{Print})", 0, 95, 95},
      {R"(\p{Graph})", 0, 94, 94},
      {R"(\p{Punct})", 0, 32, 32},
      {R"(\p{Alnum})", 0, 62, 62},
      {R"(\p{XDigit})", 0, 22, 22},
      {R"(\p{Blank})", 0, 2, 2},
      {R"(\p{ASCII})", 0, 128, 128},
      {R"([\p{Cntrl}])", 0, 33, 33},
      {R"(\P{ASCII})", 0, 128, 131072 - 128},
      {"[a-z&&[^aeiou]]", 0, 21, 21},
      {"[^]", 0, 256, 65536},
      {"[]", 0, 0, 0},
      {"[^a]", 0, 255, 65535},
      {"[^a]", IC, 254, 65534},
      {"[^A]", IC, 254, 65534},
      {"[^A-Z]", IC, 256 - 52, 65536 - 52},
      {"[^1]", IC, 255, 65535},
      {".", 0, 254, 131070},
      {".", DA, 256, 131072},
      {".", LF, 255, 131071},
      {R"([a-\x7A])", 0, 26, 26},
      // Ranges counted over unsigned values: up to 0xFF and across 0x80.
      {R"([\x00-\xFF])", 0, 256, 256},
      {R"([\xF0-\xFF])", 0, 16, 16},
      {R"([\x7F-\x81])", 0, 3, 3},
      {"[\xe0-\xff]", 0, 32, 32},
      {"[\x70-\x8f]", 0, 32, 32},
      {R"([^\x80])", 0, 255, 65535},
      {R"([a\x00])", 0, 2, 2},
  };
  const unsigned long last = narrow ? 0xFF : 0x1FFFF;
  for (const CountCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, ""));
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(CountMembers<C>(p.get(), last), narrow ? c.narrow : c.wide);
  }
}

// Case folding of bytes from 0x80 up: the character functions get unsigned
// values, and outside ASCII the default locale folds nothing.
TEST(NarrowClassMembers, HighBytesUnderIgnoreCase) {
  struct Case {
    const char* pattern;
    int count;
  };
  const Case cases[] = {
      {"[\x80-\xff]", 128}, {"\xe9", 1}, {"[^\xe9]", 255}, {R"([\W])", 193}, {R"(\w)", 63},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, Pattern::IGNORE_CASE, ""));
    PatternPtr<char> p = Compile<char>(c.pattern, Pattern::IGNORE_CASE);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(CountMembers<char>(p.get(), 0xFF), c.count);
  }
}

TEST(WidthDifferences, HexEscapeTakesFourDigitsInTheWideEngine) {
  EXPECT_TRUE(WidePattern::matches(L"\\x41BC", std::wstring(1, wchar_t(0x41BC))));
  EXPECT_FALSE(WidePattern::matches(L"\\x41BC", L"ABC"));
  EXPECT_TRUE(Pattern::matches("\\x41BC", "ABC"));

  EXPECT_TRUE(WidePattern::matches(L"\\x0041", L"A"));
  EXPECT_TRUE(Pattern::matches("\\x0041", std::string("\0"
                                                      "41",
                                                      3)));

  // Fewer than four hexadecimal digits: the two-digit form.
  EXPECT_TRUE(WidePattern::matches(L"\\x41B", L"AB"));
  EXPECT_TRUE(WidePattern::matches(L"\\x41G", L"AG"));
  EXPECT_TRUE(WidePattern::matches(L"[\\x41-\\x5A]", L"Q"));
  EXPECT_TRUE(WidePattern::matches(L"[\\x0100-\\x0300]", std::wstring(1, wchar_t(0x250))));
  EXPECT_TRUE(WidePattern::matches(L"[\\x0041-\\x0043]", L"B"));
  EXPECT_FALSE(WidePattern::matches(L"[\\x0041-\\x0043]", L"D"));
  // Narrow: "[\x0041]" holds NUL, "4" and "1".
  EXPECT_TRUE(Pattern::matches("[\\x0041]", "4"));
  EXPECT_TRUE(Pattern::matches("[\\x0041]", std::string(1, '\0')));
  EXPECT_FALSE(Pattern::matches("[\\x0041]", "A"));
}

TEST(WidthDifferences, WideComplementStopsAtFFFF) {
  const std::wstring above(1, wchar_t(0x10000));
  const std::wstring top(1, wchar_t(0xFFFF));
  EXPECT_FALSE(WidePattern::matches(L"[^a]", above));
  EXPECT_FALSE(WidePattern::matches(L"[\\D]", above));
  EXPECT_FALSE(WidePattern::matches(L"[^]", above));
  EXPECT_TRUE(WidePattern::matches(L"[^]", top));
  EXPECT_TRUE(WidePattern::matches(L"[^a]", top));
  // Inverted nodes built outside a class hold everything not listed.
  EXPECT_TRUE(WidePattern::matches(L"\\D", above));
  EXPECT_TRUE(WidePattern::matches(L".", above));
  EXPECT_TRUE(WidePattern::matches(L"\\P{Lower}", above));
}

// A wide range may hold up to 65536 characters; a longer one is a syntax
// error. The wide report shows every character from 0x80 up as one "?", so
// the caret stays under its column; the narrow report keeps the bytes.
TEST(WidthDifferences, ReportsOfPatternsBeyondAscii) {
  std::wstring range = L"[a-";
  range += wchar_t(0x20000);
  range += L"]";
  WidePattern* wide = nullptr;
  std::string err = StderrOf([&] { wide = WidePattern::compile(range); });
  EXPECT_EQ(wide, nullptr);
  delete wide;
  EXPECT_EQ(err, "[a-?]\n   ^\nSyntax Error near here. \n");

  err = StderrOf([] { EXPECT_EQ(WidePattern::compile(L"\u00e9\u4e2d**"), nullptr); });
  EXPECT_EQ(err, "??**\n   ^\nSyntax Error near here. Possible unescaped meta character.\n");
  err = StderrOf([] { EXPECT_EQ(Pattern::compile("\xe9**"), nullptr); });
  EXPECT_EQ(err, "\xe9**\n  ^\nSyntax Error near here. Possible unescaped meta character.\n");

  // The widest range that fits.
  std::wstring widest = L"[\\x0000-";
  widest += wchar_t(0xFFFF);
  widest += L"]";
  PatternPtr<wchar_t> p(WidePattern::compile(widest));
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(std::wstring(1, wchar_t(0xFFFF))));
}

TEST(WidthDifferences, WideValuesAboveZAreNoWordCharacters) {
  // "\b" between two values above 'z', and between one and a letter; the
  // search after the match at 3 stops, as no search starts at the end.
  PatternPtr<wchar_t> p = Compile<wchar_t>("\\b");
  ASSERT_NE(p, nullptr);
  std::wstring text = {wchar_t(0x3B1), wchar_t(0x3B2), L'a', wchar_t(0x100)};
  EXPECT_EQ(SearchAll<wchar_t>(p.get(), text), (std::vector<std::pair<int, int>>{{2, 2}, {3, 3}}));
}

}  // namespace
}  // namespace zrn_regex_test
