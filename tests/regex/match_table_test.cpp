// The engine's match tables, run through the narrow and the wide engine:
// whole-text matches, first search matches, every successive match, and the
// positions at which each zero-width test holds.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "regex/pattern.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

struct WholeCase {
  const char* pattern;
  unsigned long flags;
  const char* text;
  bool matches;
};

struct SearchCase {
  const char* pattern;
  unsigned long flags;
  const char* text;
  int start;  // -1: no match anywhere
  int end;
};

struct AllCase {
  const char* pattern;
  unsigned long flags;
  const char* text;
  std::vector<std::pair<int, int>> matches;
};

struct HoldsCase {
  const char* test;
  unsigned long flags;
  const char* text;
  std::vector<int> positions;
};

template <class C>
class MatchTable : public ::testing::Test {};
TYPED_TEST_SUITE(MatchTable, Widths, WidthNames);

TYPED_TEST(MatchTable, WholeText) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  const unsigned long IC = P::IGNORE_CASE, LT = P::LITERAL_TEXT, DA = P::DOT_ANY,
                      LA = P::LINE_ANCHORS, LF = P::LF_ONLY;
  const WholeCase cases[] = {
      // The empty pattern and plain characters.
      {"", 0, "", true},
      {"", 0, "a", false},
      {"abc", 0, "abc", true},
      {"abc", 0, "abcd", false},
      {"abc", 0, "ab", false},
      {"abc", 0, "ABC", false},

      // '.' and the line ends.
      {".", 0, "x", true},
      {".", 0, "", false},
      {".", 0, "\n", false},
      {".", 0, "\r", false},
      {".", LF, "\r", true},
      {".", LF, "\n", false},
      {".", DA, "\n", true},
      {".", DA, "\r", true},
      {".", DA | LF, "\n", true},
      {".", IC, "\n", false},
      {".*", 0, "a\nb", false},
      {".*", DA, "a\nb", true},
      {".*", 0, "", true},
      {".+", 0, "", false},

      // IGNORE_CASE: plain characters, classes and quotes fold; an escape
      // that stands for one character compares exactly.
      {"A", IC, "a", true},
      {"A", IC, "A", true},
      {"abc", IC, "AbC", true},
      {"[A-C]", IC, "b", true},
      {"[A-C]", IC, "B", true},
      {"[A-C]", IC, "d", false},
      {"[a-c]", IC, "B", true},
      {R"(\x61)", IC, "A", false},
      {R"(\x61)", IC, "a", true},
      {R"(\k)", IC, "K", false},
      {R"(\k)", IC, "k", true},
      {R"(\0101)", IC, "a", false},
      {R"(\p{Upper})", IC, "a", true},
      {R"(\w)", IC, "A", true},
      {"[^a]", IC, "A", false},
      {"[^a]", IC, "a", false},
      {"[^a]", IC, "b", true},
      {"[^A-Z]", IC, "q", false},
      {"[^A-Z]", IC, "1", true},
      {"[^1]", IC, "1", false},
      {R"(\Qab\E)", IC, "AB", true},
      {R"(\Qab\E)", 0, "AB", false},
      {R"(\Qab\Ec)", IC, "ABc", true},

      // LITERAL_TEXT takes the whole text as it stands.
      {"a.b", LT, "a.b", true},
      {"a.b", LT, "axb", false},
      {"a.b", LT | IC, "A.B", true},
      {"a.b", LT, "A.B", false},
      {"(a*", LT, "(a*", true},
      {"[x", LT, "[x", true},
      {"\\", LT, "\\", true},
      {"", LT, "", true},
      {"", LT, "a", false},

      // Escapes that stand for sets or single characters.
      {R"(\d)", 0, "5", true},
      {R"(\d)", 0, "a", false},
      {R"(\D)", 0, "5", false},
      {R"(\D)", 0, "a", true},
      {R"(\s)", 0, " ", true},
      {R"(\s)", 0, "\t", true},
      {R"(\s)", 0, "\r", true},
      {R"(\s)", 0, "\n", true},
      {R"(\s)", 0, "\f", true},
      {R"(\s)", 0, "\x0b", false},
      {R"(\S)", 0, " ", false},
      {R"(\S)", 0, "x", true},
      {R"(\w)", 0, "_", true},
      {R"(\w)", 0, "9", true},
      {R"(\w)", 0, "-", false},
      {R"(\W)", 0, "_", false},
      {R"(\W)", 0, "-", true},
      {R"(\t)", 0, "\t", true},
      {R"(\n)", 0, "\n", true},
      {R"(\r)", 0, "\r", true},
      {R"(\f)", 0, "\f", true},
      {R"(\a)", 0, "\x07", true},
      {R"(\v)", 0, "v", true},
      {R"(\v)", 0, "\x0b", false},
      {R"(\c)", 0, "c", true},
      {R"(\.)", 0, ".", true},
      {R"(\.)", 0, "x", false},
      {R"(\\)", 0, "\\", true},
      {R"(\[\]\{\}\(\)\*\+\?\|\^\$\-)", 0, "[]{}()*+?|^$-", true},
      {R"(\x41)", 0, "A", true},
      {R"(\x7a\x7A)", 0, "zz", true},
      {R"(\0101)", 0, "A", true},
      {R"(\012)", 0, "\n", true},
      {R"(\0477)", 0, "'7", true},
      {R"(\0377)", 0, "\xff", true},
      {R"(\p{Lower})", 0, "a", true},
      {R"(\p{Lower})", 0, "A", false},
      {R"(\P{Lower})", 0, "A", true},
      {R"(\P{Lower})", 0, "a", false},
      {R"(\p{Upper})", 0, "a", false},
      {R"(\p{Alpha})", 0, "Z", true},
      {R"(\p{Alpha})", 0, "1", false},
      {R"(\p{Digit})", 0, "7", true},
      {R"(\p{Alnum})", 0, "_", false},
      {R"(\p{Punct})", 0, "!", true},
      {R"(\p{Punct})", 0, "~", true},
      {R"(\p{Punct})", 0, "_", true},
      {R"(\p{Punct})", 0, "@", true},
      {R"(\p{Punct})", 0, "a", false},
      {R"(\p{Punct})", 0, " ", false},
      {R"(\p{Graph})", 0, " ", false},
      {R"(\p{Graph})", 0, "~", true},
      {R"(\p{Print})", 0, " ", true},
      {R"(\p{Print})", 0, "\t", false},
      {R"(\p{Blank})", 0, "\t", true},
      {R"(\p{Blank})", 0, "\n", false},
      {R"(\p{Space})", 0, "\x0b", true},
      {R"(\p{Cntrl})", 0, "\x1f", true},
      {R"(\p{Cntrl})", 0, "\x7f", true},
      {R"(\p{Cntrl})", 0, " ", false},
      {R"(\p{ASCII})", 0, "\x7f", true},
      {R"(\p{XDigit})", 0, "F", true},
      {R"(\p{XDigit})", 0, "g", false},
      {R"(\P{XDigit})", 0, "g", true},
      {R"(\p{Lower}+)", 0, "abc", true},
      // "\e" stands for the carriage return, also as the end of a range.
      {R"([\a-\e])", 0, "\x0b", true},
      {R"(\e+)", IC, "\r\r", true},
      {R"(\e)", 0, "\x1b", false},
      {"[a-a]", 0, "a", true},

      // Quoted literals.
      {R"(\Qa.b\E)", 0, "a.b", true},
      {R"(\Qa.b\E)", 0, "axb", false},
      {R"(\Q\E)", 0, "", true},
      {R"(\Q\E)", 0, "a", false},
      {R"(\Qa\\b\E)", 0, "a\\b", true},
      {R"(\Qa\\E\E)", 0, "a\\E", true},
      {R"(\Q*\E+)", 0, "***", true},
      {R"(\Qab\E{2})", 0, "abab", true},
      {R"(x\Q(\E)", 0, "x(", true},

      // Anchors in a whole-text match.
      {"^abc$", 0, "abc", true},
      {"^", 0, "", true},
      {"$", 0, "", true},
      {"^$", LA, "", true},
      {"a$\n", 0, "a\n", false},
      {"a$\n", LA, "a\n", true},
      {"a^", LA, "a", false},
      {"a\n^", LA, "a\n", true},
      {R"(a\Z)", 0, "a", true},
      {R"(\Aa\z)", 0, "a", true},

      // Bracket classes.
      {"[abc]", 0, "b", true},
      {"[abc]", 0, "d", false},
      {"[^abc]", 0, "d", true},
      {"[^abc]", 0, "a", false},
      {"[^abc]", 0, "", false},
      {"[a-c-e]", 0, "-", true},
      {"[a-c-e]", 0, "c", true},
      {"[a-c-e]", 0, "d", false},
      {"[a-c-e]", 0, "e", true},
      {"[-a]", 0, "-", true},
      {"[-a]", 0, "a", true},
      {"[-a]", 0, "b", false},
      {"[^-a]", 0, "-", false},
      {"[^-a]", 0, "b", true},
      {R"([\d-z])", 0, "-", true},
      {R"([\d-z])", 0, "z", true},
      {R"([\d-z])", 0, "5", true},
      {R"([\d-z])", 0, "y", false},
      {"[a&b]", 0, "&", true},
      {"[a&b]", 0, "b", true},
      {"[a-z&&[^aeiou]]", 0, "b", true},
      {"[a-z&&[^aeiou]]", 0, "a", false},
      {"[a-z&&[^aeiou]]", 0, "B", false},
      {"[&&[a]]", 0, "a", false},
      {"[&&[a]]", 0, "&", false},
      {"[a-c&&[b]d]", 0, "b", true},
      {"[a-c&&[b]d]", 0, "d", true},
      {"[a-c&&[b]d]", 0, "a", false},
      {"[a-z&&[c-e]&&[e-g]]", 0, "e", true},
      {"[a-z&&[c-e]&&[e-g]]", 0, "d", false},
      {"[a-z&&[A-Z]]", IC, "a", false},
      {"[a-z&&[A-Z]]", IC, "A", false},
      {"[[^a]&&[^b]]", 0, "c", true},
      {"[[^a]&&[^b]]", 0, "a", false},
      {"[[^a]&&[^b]]", 0, "b", false},
      {"[]", 0, "a", false},
      {"[]", 0, "", false},
      {"[^]", 0, "a", true},
      {"[^]", 0, "\n", true},
      {"[^]", 0, "", false},
      {R"([\b])", 0, "b", true},
      {R"([a-\x7A])", 0, "z", true},
      {R"([a-\x7A])", 0, "m", true},
      {R"([a-\x7A])", 0, "{", false},
      {R"([\x41-\x5A])", 0, "Q", true},
      {R"([\x41-\x5A])", 0, "a", false},
      {R"([\0101-\0103])", 0, "B", true},
      {R"([\t-\r])", 0, "\x0b", true},
      {R"([\[\]])", 0, "]", true},
      {R"([\[\]])", 0, "[", true},
      {"[a[bc]]", 0, "c", true},
      {"[a[bc]]", 0, "d", false},
      {"[^a[b]]", 0, "c", true},
      {"[^a[b]]", 0, "b", false},
      {"[^a[b]]", 0, "a", false},
      {"[a[^b]]", 0, "c", true},
      {"[a[^b]]", 0, "a", true},
      {"[a[^b]]", 0, "b", false},
      {R"([\s])", 0, "\t", true},
      {R"([\s])", 0, "\x0b", false},
      {"[.]", 0, ".", true},
      {"[.]", 0, "x", false},
      {"[*+?{}()|$]", 0, "*", true},
      {"[*+?{}()|$]", 0, "(", true},
      {"[*+?{}()|$]", 0, "}", true},
      {"[*+?{}()|$]", 0, "a", false},
      {R"([\\])", 0, "\\", true},
      {R"([\-])", 0, "-", true},
      {R"([a\-z])", 0, "-", true},
      {R"([a\-z])", 0, "b", false},
      {"[a^]", 0, "^", true},
      {R"([\D])", 0, "a", true},
      {R"([\D])", 0, "5", false},
      {R"([\p{Lower}\d])", 0, "q", true},
      {R"([\p{Lower}\d])", 0, "4", true},
      {R"([\p{Lower}\d])", 0, "Q", false},
      {R"([^\d\s])", 0, "a", true},
      {R"([^\d\s])", 0, "1", false},
      {R"([^\d\s])", 0, " ", false},
      {R"([\P{Alpha}])", 0, "1", true},
      {R"([\P{Alpha}])", 0, "a", false},

      // Nested alternation: every alternative goes on after its group.
      {"(?:(a|b)c*|x)c", 0, "acc", true},
      {"(?:(a|b)\\d*|x)1", 0, "a21", true},
      {"(a|b)c*?|x", 0, "acc", true},
      {"x|(a|b).*?", 0, "abc", true},
      {"(?:(?:a|b)(?:c|d)*|x)d", 0, "bcdd", true},
      {"(?:(?:a|b)(?:c|d)*|x)d", 0, "bcdc", false},

      // Quantifiers on atoms.
      {"a{}", 0, "", true},
      {"a{}", 0, "a", false},
      {"a{,}", 0, "", true},
      {"a{,}", 0, "aaaa", true},
      {"a{,2}", 0, "", true},
      {"a{,2}", 0, "a", true},
      {"a{,2}", 0, "aa", true},
      {"a{,2}", 0, "aaa", false},
      {"a{3,1}", 0, "aaa", true},
      {"a{3,1}", 0, "aa", false},
      {"a{3,1}", 0, "aaaa", false},
      {"a{3,1}?", 0, "aaa", true},
      {"a{3,1}+", 0, "aaa", true},
      {"a{3,1}+", 0, "aaaa", false},
      {"a{2}", 0, "aa", true},
      {"a{2}", 0, "a", false},
      {"a{2}", 0, "aaa", false},
      {"a{02}", 0, "aa", true},
      {"a{2,}", 0, "aa", true},
      {"a{2,}", 0, "aaaaa", true},
      {"a{2,}", 0, "a", false},
      {"a{1,3}", 0, "aaa", true},
      {"a{1,3}", 0, "aaaa", false},
      {"a{1,3}", 0, "", false},
      {"a{0}b", 0, "b", true},
      {"a{2}+", 0, "aa", true},
      {"a{2}+", 0, "aaaa", false},
      {"a*a", 0, "aaa", true},
      {"a*?a", 0, "aaa", true},
      {"a*+a", 0, "aaa", false},
      {"a++", 0, "aaa", true},
      {"a?a", 0, "a", true},
      {"a??a", 0, "a", true},
      {"a?+a", 0, "a", false},
      {"a{1,2}a", 0, "aa", true},
      {"a{1,2}?a", 0, "aa", true},
      {"a{1,2}+a", 0, "aa", false},
      {"a+?", 0, "aaa", true},
      {"a*?", 0, "aaa", true},
      {"$*", 0, "", true},
      {R"(x\b*)", 0, "x", true},
      {"a$+", 0, "a", true},
      {R"(a\b{3})", 0, "a", true},
      {R"(\b+a)", 0, "a", true},
      {R"(\d+)", 0, "123", true},
      {R"(\d+)", 0, "12a", false},
      {R"(\d+)", 0, "", false},
      {"[ab]{2}c", 0, "bac", true},
      {"a*ab", 0, "aaab", true},
      {"[a-z]*z", 0, "abcz", true},
      {".*foo", 0, "xfooyfoo", true},
      {"x*y*z*", 0, "", true},
      {"x*y*z*", 0, "xxzz", true},
      {"x*y*z*", 0, "zx", false},
      {R"(\w+@\w+\.com)", 0, "joe_1@host.com", true},
      {R"(\d+\.\d+\.\d+\.\d+)", 0, "10.2.30.4", true},
      {R"(\d+\.\d+\.\d+\.\d+)", 0, "10.2.30", false},
  };
  for (const WholeCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->matches(Widen<C>(c.text)), c.matches);
  }
}

TYPED_TEST(MatchTable, FirstSearch) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  const unsigned long IC = P::IGNORE_CASE, LT = P::LITERAL_TEXT, LA = P::LINE_ANCHORS;
  const SearchCase cases[] = {
      {"", 0, "abc", 0, 0},
      {"", 0, "", 0, 0},
      {"abc", 0, "xxabcx", 2, 5},
      {"b", 0, "aaa", -1, -1},
      {"a.", 0, "a", -1, -1},
      {"a+", 0, "baaab", 1, 4},
      {"a+?", 0, "baaab", 1, 2},
      {"a*", 0, "baa", 0, 0},
      {"a?b", 0, "ab", 0, 2},
      {"a*+", 0, "aab", 0, 2},
      {"x*", 0, "", 0, 0},
      {R"(\d+)", 0, "ver 12.3", 4, 6},
      {"[^a]", 0, "aab", 2, 3},
      {".", 0, "\r\n\nx", 3, 4},
      {R"(\s+$)", 0, "a  ", 1, 3},

      // Anchors.
      {"^a", 0, "ba", -1, -1},
      {"^a", LA, "b\na", 2, 3},
      {"^a", LA, "b\ra", 2, 3},
      {"a$", 0, "a\nb", -1, -1},
      {"a$", LA, "a\nb", 0, 1},
      {"a$", 0, "ba", 1, 2},
      {"a$", 0, "a\n", -1, -1},
      {"$", 0, "ab", 2, 2},
      {"$", LA, "a\nb", 1, 1},
      {R"(a\Z)", 0, "a\n", 0, 1},
      {R"(a\Z)", 0, "a\r\n", 0, 1},
      {R"(a\z)", 0, "a\n", -1, -1},
      {R"(\Ab)", 0, "ab", -1, -1},
      {R"(\Aa)", 0, "ab", 0, 1},
      {R"(\Ab)", LA, "a\nb", -1, -1},

      // Word boundaries count only ASCII letters as word characters.
      {R"(\bb)", 0, "ab b", 3, 4},
      {R"(\b1)", 0, "a1", 1, 2},
      {R"(\b1)", 0, "11", -1, -1},
      {R"(\b_)", 0, "a_", 1, 2},
      {R"(\Bb)", 0, "ab b", 1, 2},

      // "\G" holds only where the search began.
      {R"(\Gb)", 0, "ab", -1, -1},
      {R"(\Ga)", 0, "ab", 0, 1},
      {R"(\Gb)", 0, "b", 0, 1},
      {R"(\Ga)", 0, "ba", -1, -1},

      // The case-insensitive quote continues after its literal and compares
      // only as many characters as the literal has.
      {R"(x\QAB\E)", IC, "yXab", 1, 4},
      {R"(\Qab\E)", IC, "xABy", 1, 3},
      {"ab", LT | IC, "zzABzz", 2, 4},
      {"a.b", LT, "axba.b", 3, 6},
      {R"(\Qabc\E)", IC, "xab", -1, -1},

      // A backtrack into an alternative that holds a nested alternation
      // still reaches what follows the group.
      {"(?:(a|b)c*|x)c", 0, "zaccz", 1, 4},
      {"x|(a|b).*?", 0, "zabc", 1, 2},
      {"(?:(?:a|b)\\d*|x)1", 0, "-b221-", 1, 5},
      // ...while a later one of three matches to its own end first, at
      // every start position.
      {"(?:x|a*|c)ab", 0, "aab", -1, -1},
      {"(?:x|a*|c)ab", 0, "aaxab", 2, 5},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(SearchFirst<C>(p.get(), Widen<C>(c.text)), std::make_pair(c.start, c.end));
  }
}

TYPED_TEST(MatchTable, EverySearchMatch) {
  using C = TypeParam;
  const unsigned long LA = BasicPattern<C>::LINE_ANCHORS;
  const AllCase cases[] = {
      // An empty match steps one further, and no search starts at the end.
      {"x*", 0, "ab", {{0, 0}, {1, 1}}},
      {"", 0, "ab", {{0, 0}, {1, 1}}},
      {"", 0, "", {{0, 0}}},
      {"a*", 0, "aab", {{0, 2}, {2, 2}}},
      {"a*", 0, "baa", {{0, 0}, {1, 3}}},
      {"a", 0, "aXa", {{0, 1}, {2, 3}}},
      {"a", 0, "", {}},
      {"$", 0, "ab", {{2, 2}}},
      {R"(\b)", 0, "ab cd", {{0, 0}, {2, 2}, {3, 3}, {5, 5}}},
      {R"(\Ga)", 0, "aaba", {{0, 1}, {1, 2}}},
      {"^", LA, "a\r\nb", {{0, 0}, {2, 2}, {3, 3}}},
      {R"(\d+)", 0, "a1b22c333", {{1, 2}, {3, 5}, {6, 9}}},
  };
  for (const AllCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(SearchAll<C>(p.get(), Widen<C>(c.text)), c.matches);
  }
}

TYPED_TEST(MatchTable, ZeroWidthTests) {
  using C = TypeParam;
  const unsigned long IC = BasicPattern<C>::IGNORE_CASE, LA = BasicPattern<C>::LINE_ANCHORS;
  const HoldsCase cases[] = {
      // With LINE_ANCHORS "^" and "$" hold on both sides of a line end, so
      // also between a carriage return and its line feed.
      {"^", LA, "a\r\nb", {0, 2, 3}},
      {"$", LA, "a\r\nb", {1, 2, 4}},
      {"^", LA, "a\n", {0, 2}},
      {"^", LA, "", {0}},
      {"$", LA, "", {0}},
      {"^", 0, "a\nb", {0}},
      {R"(\A)", LA, "a\nb", {0}},
      {"$", 0, "ab\n", {3}},
      {R"(\Z)", 0, "ab\n", {2, 3}},
      {R"(\Z)", 0, "ab\r\n", {2, 3, 4}},
      {R"(\Z)", 0, "ab\n\r", {3, 4}},
      {R"(\Z)", 0, "ab", {2}},
      {R"(\z)", 0, "ab\n", {3}},
      {R"(\z)", LA, "a\nb", {3}},
      // "\b": only the 52 ASCII letters are word characters, and it holds at
      // the end of every text.
      {R"(\b)", 0, "ab", {0, 2}},
      {R"(\b)", 0, "a1", {0, 1, 2}},
      {R"(\b)", 0, "a ", {0, 1, 2}},
      {R"(\b)", 0, "_a", {1, 2}},
      {R"(\b)", 0, "12", {2}},
      {R"(\b)", 0, "a_b", {0, 1, 2, 3}},
      {R"(\b)", 0, " ", {1}},
      {R"(\b)", 0, "", {0}},
      {R"(\b)", IC, "aB", {0, 2}},
      {R"(\B)", 0, "ab", {1, 2}},
      {R"(\B)", 0, " a", {0, 2}},
      {R"(\B)", 0, "12", {0, 1, 2}},
      {R"(\B)", 0, "", {0}},
  };
  for (const HoldsCase& c : cases) {
    SCOPED_TRACE(Describe(c.test, c.flags, c.text));
    EXPECT_EQ(HoldsAt<C>(c.test, c.flags, c.text), c.positions);
  }
}

}  // namespace
}  // namespace zrn_regex_test
