// Syntax-error reports, compared byte for byte: the pattern line, the caret
// line and the message, once per report. ASCII patterns give the same bytes
// from the narrow and the wide engine.
#include <gtest/gtest.h>

#include <string>

#include "regex/pattern.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

const char kMeta[] = "Syntax Error near here. Possible unescaped meta character.\n";
const char kPlain[] = "Syntax Error near here. \n";

struct ErrorCase {
  const char* pattern;
  std::string report;  // everything written to standard error
};

// One report: the pattern, `blanks` blanks and a caret, then the message.
std::string R(const char* pattern, int blanks, const char* message) {
  return std::string(pattern) + "\n" + std::string(blanks, ' ') + "^\n" + message;
}

template <class C>
class SyntaxErrors : public ::testing::Test {};
TYPED_TEST_SUITE(SyntaxErrors, Widths, WidthNames);

TYPED_TEST(SyntaxErrors, ReportsEachErrorExactly) {
  using C = TypeParam;
  const ErrorCase cases[] = {
      // Metacharacters where an atom is expected. At cursor 1 the caret line
      // still has one blank, so the caret stands under the second character.
      {"*a", R("*a", 1, kMeta)},
      {"+", R("+", 1, kMeta)},
      {"?x", R("?x", 1, kMeta)},
      {"]", R("]", 1, kMeta)},
      {"a}", R("a}", 1, kMeta)},
      {"a]b", R("a]b", 1, kMeta)},
      {"a)", R("a)", 1, kMeta)},
      {"[]]", R("[]]", 2, kMeta)},
      // One quantifier per atom: a second one is read at atom position.
      {"a**", R("a**", 2, kMeta)},
      {"a*?+", R("a*?+", 3, kMeta)},
      {"a+*", R("a+*", 2, kMeta)},
      // A backslash that ends the pattern.
      {"ab\\", R("ab\\", 2, kPlain)},
      {"\\", R("\\", 1, kPlain)},

      // Brace bounds: reported with the cursor on the "{", so the message
      // follows the character before it.
      {"a{1,x}", R("a{1,x}", 1, kPlain)},
      {"a{1", R("a{1", 1, kPlain)},
      {"a{", R("a{", 1, kPlain)},
      {"a{1,2", R("a{1,2", 1, kPlain)},
      {"a{1,2,3}", R("a{1,2,3}", 1, kPlain)},
      {"a{-1,2}", R("a{-1,2}", 1, kPlain)},
      {"abc{2,x}", R("abc{2,x}", 2, kPlain)},
      {"[a]{1,x}", R("[a]{1,x}", 2, kMeta)},
      {"x{ab", R("x{ab", 1, kPlain)},

      // Sub-pattern references: reported with the cursor just after "{".
      {"x{ab}", R("x{ab}", 1, kPlain)},
      {"{ab}", R("{ab}", 1, kPlain)},
      {"{", R("{", 1, kPlain)},
      {"{}", R("{}", 1, kPlain)},
      {"x{a}", R("x{a}", 1, kPlain)},
      {"x{a-b}", R("x{a-b}", 1, kPlain)},
      {"x{1a}", R("x{1a}", 1, kPlain)},
      {"x{ 1}", R("x{ 1}", 1, kPlain)},
      {"a+{1,x}", R("a+{1,x}", 2, kPlain)},
      {"a{2}{3}", R("a{2}{3}", 4, kPlain)},

      // Escapes.
      {"\\08", R("\\08", 1, kPlain)},
      {"\\0", R("\\0", 1, kPlain)},
      {"\\07", R("\\07", 1, kPlain)},
      {"\\p{lower}", R("\\p{lower}", 1, kPlain)},
      {"\\P{Foo}x", R("\\P{Foo}x", 1, kPlain)},
      {"\\p", R("\\p", 1, kPlain)},
      {"\\Qab", R("\\Qab", 3, kPlain)},

      // Classes. A class error that moves the cursor to the end is reported
      // where the fault was found, and the missing "]" once more at the end.
      {"[a", R("[a", 1, kPlain)},
      {"[a-]", R("[a-]", 3, kMeta) + R("[a-]", 3, kMeta)},
      {"[a-]b", R("[a-]b", 3, kMeta) + R("[a-]b", 4, kPlain)},
      {"[a-", R("[a-", 2, kPlain) + R("[a-", 2, kPlain)},
      {"[a--]", R("[a--]", 3, kPlain) + R("[a--]", 4, kMeta)},
      {"[a-[b]]", R("[a-[b]]", 3, kPlain) + R("[a-[b]]", 6, kMeta)},
      {"[a-&]", R("[a-&]", 3, kPlain) + R("[a-&]", 4, kMeta)},
      {"[a&&b]", R("[a&&b]", 3, kPlain) + R("[a&&b]", 5, kMeta)},
      {"[a-z&&]", R("[a-z&&]", 5, kPlain) + R("[a-z&&]", 6, kMeta)},
      {"[\\Qa\\E]", R("[\\Qa\\E]", 2, kPlain) + R("[\\Qa\\E]", 6, kMeta)},
      {"[\\", R("[\\", 1, kPlain) + R("[\\", 1, kPlain)},
      // A range ending in a set escape is dropped and the class goes on.
      {"[a-\\d]", R("[a-\\d]", 4, kPlain)},
      {"[a-\\D]", R("[a-\\D]", 4, kPlain)},
      {"[a-\\w]x", R("[a-\\w]x", 4, kPlain)},
      {"[\\p{Foo}]", R("[\\p{Foo}]", 2, kPlain)},
      // A nested class without its "]" makes the enclosing class report too.
      {"[a[b", R("[a[b", 3, kPlain) + R("[a[b", 3, kPlain)},
      {"[[a]", R("[[a]", 3, kMeta)},

      // Where the engine chose an error: "\x" without two hexadecimal digits
      // (reported after the "x"; the wide engine falls back to two digits
      // first), and a range whose first character lies above its last
      // (reported after the last character; the class goes on).
      {"\\x", R("\\x", 1, kPlain)},
      {"a\\x4G", R("a\\x4G", 2, kPlain)},
      {"[a\\xZ]", R("[a\\xZ]", 3, kPlain)},
      {"[\\x5A-\\x41]", R("[\\x5A-\\x41]", 9, kPlain)},
      {"[a-cz-x]", R("[a-cz-x]", 6, kPlain)},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(std::string("pattern '") + c.pattern + "'");
    BasicPattern<C>* p = nullptr;
    std::string err = StderrOf([&] { p = BasicPattern<C>::compile(Widen<C>(c.pattern)); });
    EXPECT_EQ(p, nullptr);
    delete p;
    EXPECT_EQ(err, c.report);
  }
}

TYPED_TEST(SyntaxErrors, ValidPatternsPrintNothing) {
  using C = TypeParam;
  const char* const patterns[] = {
      "",      "a{}",    "a{,}",   "x{}", "a{2147483647}", "[-]",
      "[a-a]", "\\x41g", "\\Q\\E", "\\}", "[a&]",          "[]a",
  };
  for (const char* pattern : patterns) {
    SCOPED_TRACE(std::string("pattern '") + pattern + "'");
    PatternPtr<C> p;
    std::string err = StderrOf([&] { p = Compile<C>(pattern); });
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(err, "");
  }
}

TYPED_TEST(SyntaxErrors, LiteralTextNeverFails) {
  using C = TypeParam;
  PatternPtr<C> p;
  std::string err = StderrOf([&] { p = Compile<C>("*[a-\\", BasicPattern<C>::LITERAL_TEXT); });
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(err, "");
  EXPECT_TRUE(p->matches(Widen<C>("*[a-\\")));
}

TYPED_TEST(SyntaxErrors, StaticFormsReportOnEveryCall) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  const std::basic_string<C> bad = Widen<C>("*a");
  const std::basic_string<C> text = Widen<C>("text");
  const std::string one = R("*a", 1, kMeta);
  std::string err = StderrOf([&] {
    EXPECT_FALSE(P::matches(bad, text));
    EXPECT_FALSE(P::matches(bad, text));
  });
  EXPECT_EQ(err, one + one);

  err = StderrOf([&] {
    EXPECT_TRUE(P::findAll(bad, text).empty());
    EXPECT_TRUE(P::split(bad, text).empty());
    // An empty string, not the text.
    EXPECT_EQ(P::replace(bad, text, Widen<C>("x")), std::basic_string<C>());
    EXPECT_EQ(P::findNth(bad, text, 0), std::make_pair(std::basic_string<C>(), -1));
    EXPECT_FALSE(P::registerName(Widen<C>("broken"), bad));
  });
  EXPECT_EQ(err, one + one + one + one + one);
  P::clearNames();
}

// The narrow engine writes bytes and the wide engine wide characters to the
// same stream; both kinds must reach standard error in one process, in
// either order.
TEST(SyntaxErrorStreams, NarrowAndWideReportsBothAppear) {
  std::string err = StderrOf([] {
    EXPECT_EQ(Pattern::compile("a**"), nullptr);
    EXPECT_EQ(WidePattern::compile(L"b**"), nullptr);
    EXPECT_EQ(Pattern::compile("c**"), nullptr);
    EXPECT_EQ(WidePattern::compile(L"d**"), nullptr);
  });
  EXPECT_EQ(err, R("a**", 2, kMeta) + R("b**", 2, kMeta) + R("c**", 2, kMeta) + R("d**", 2, kMeta));
}

}  // namespace
}  // namespace zrn_regex_test
