// Former bugs: each block pins a fault that a straightforward build of the
// engine has, so it cannot come back. This block only ever grows.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "regex/pattern.h"
#include "tests/regex/pattern_internals.h"
#include "tests/regex/query_lines.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

template <class C>
class FormerBugs : public ::testing::Test {
 protected:
  void TearDown() override { BasicPattern<C>::clearNames(); }
};
TYPED_TEST_SUITE(FormerBugs, Widths, WidthNames);

// A repetition of a single atom runs as a loop, so a text of 1 MiB matches
// in full, whole-text and searched, greedy, lazy and possessive alike.
TYPED_TEST(FormerBugs, SingleAtomRepetitionsMatchLongTexts) {
  using C = TypeParam;
  const std::basic_string<C> letters(1 << 20, C('a'));
  const std::basic_string<C> digits(1 << 20, C('7'));
  const int size = 1 << 20;
  struct Case {
    const char* pattern;
    const std::basic_string<C>* text;
    int searchEnd;  // end of the first search match, which starts at 0
  };
  const Case cases[] = {
      {".*", &letters, size},           {".*?", &letters, 0},         {".*+", &letters, size},
      {"a*", &letters, size},           {"a*?", &letters, 0},         {"a*+", &letters, size},
      {"[a-z]*", &letters, size},       {"[a-z]*?", &letters, 0},     {"[a-z]*+", &letters, size},
      {"\\d+", &digits, size},          {"\\d+?", &digits, 1},        {"\\d++", &digits, size},
      {"a{0,2000000}", &letters, size}, {"(?:x|a*)", &letters, size}, {"\\w*\\d", &digits, size},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("pattern '") + c.pattern + "'");
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    MatcherPtr<C> m(p->makeMatcher(*c.text));
    EXPECT_TRUE(m->matches());
    EXPECT_EQ(m->groupEnd(0), size);
    EXPECT_TRUE(m->findFirst());
    EXPECT_EQ(m->groupStart(0), 0);
    EXPECT_EQ(m->groupEnd(0), c.searchEnd);
  }
  // A literal run costs one level too: a 40000-character pattern of plain
  // characters matches itself, and so does a long pattern of alternating
  // literals and classes searched in a longer text.
  const std::string literal(40000, 'q');
  PatternPtr<C> p = Compile<C>(literal);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>(literal)));
  std::string mixed;
  while (mixed.size() < 30000) mixed += "ab[c]";
  p = Compile<C>(mixed);
  ASSERT_NE(p, nullptr);
  std::string text;
  while (text.size() < 18000) text += "abc";
  EXPECT_EQ(SearchFirst<C>(p.get(), Widen<C>("xx" + text)), std::make_pair(2, 2 + 18000));
}

// A bounded attempt fails; it never turns into a false success.
TYPED_TEST(FormerBugs, DepthBoundNeverReportsFalseSuccess) {
  using C = TypeParam;
  const std::basic_string<C> mib(1 << 20, C('a'));
  struct Case {
    const char* pattern;
    std::basic_string<C> text;
  };
  const Case cases[] = {
      {"a*b", mib},         {".*b", mib},  {"[a-z]*", mib + C('1')},
      {"a*", C('b') + mib}, {"a*?b", mib}, {"a*+b", mib},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("pattern '") + c.pattern + "'");
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->matches(c.text));
  }
}

// Texts of a few kilobytes, such as a release file or a long tool line, are
// matched as they always were.
TYPED_TEST(FormerBugs, FewKilobyteTextsStillMatch) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  const std::string kib4(4096, 'a');
  std::string release = "Red Hat Enterprise Linux Server release 5.4 (Tikanga)\n";
  while (release.size() < 4096) release += "Kernel \\r on an \\m\n";
  std::string rom = std::string(3000, 'x') + " BIOS 3.0.3.0 " + std::string(1000, 'y');
  std::string ab20k;
  while (ab20k.size() < 20000) ab20k += "ab";
  struct Case {
    const char* pattern;
    unsigned long flags;
    std::string text;
  };
  const Case cases[] = {
      {".*", 0, kib4},
      {"a*", 0, kib4},
      {"[a-z]*", 0, kib4},
      {"a+", 0, kib4},
      {".*?", 0, kib4},
      {"a*b", 0, kib4 + "b"},
      {"Red Hat Enterprise Linux.*release 5.*", P::DOT_ANY | P::LINE_ANCHORS, release},
      {R"(.*\d+\.\d+\.\d+\.\d+.*)", P::DOT_ANY, rom},
      // Group loops still take stack per iteration, but thousands fit.
      {"(a|b)*", 0, std::string(8000, 'a')},
      {"(?:ab)*", 0, ab20k},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("pattern '") + c.pattern + "' on " + std::to_string(c.text.size()) +
                 " characters");
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->matches(Widen<C>(c.text)));
  }
}

// After findNext has returned false it stays false until reset or setText:
// it never searches from a negative position or past the end, and never
// starts the matches over by itself.
TYPED_TEST(FormerBugs, FindNextHasAFinishedState) {
  using C = TypeParam;
  struct Case {
    const char* pattern;
    const char* text;
    int count;  // matches before the first false
  };
  const Case cases[] = {
      {"a", "aa", 2},  // the last match ends at the end of the text
      {"a", "ab", 1},  // the last search fails in the middle
      {"x*", "ab", 2}, {"", "", 1}, {"z", "ab", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(c.text)));
    int count = 0;
    while (count <= 10 && m->findNext()) ++count;
    EXPECT_EQ(count, c.count);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(m->findNext());
    m->reset();
    int again = 0;
    while (again <= 10 && m->findNext()) ++again;
    EXPECT_EQ(again, c.count);
  }
}

// Set results longer than the fixed scratch (300 narrow, 66000 wide) grow;
// a class repeating a character 70000 times still compiles and matches.
TYPED_TEST(FormerBugs, SetResultsBeyondTheScratchGrow) {
  using C = TypeParam;
  const std::string many(70000, 'a');
  struct Case {
    std::string pattern;
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"[" + many + "\\d]", "5", "b"},
      {"[" + many + "\\d]", "a", "-"},
      {"[" + many + "&&[" + many + "]]", "a", "b"},
      {"[" + many + "[b]]", "b", "c"},
      {"[^" + many + "]", "b", "a"},
      {"[" + std::string(400, 'a') + "\\d]", "a", "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("class of " + std::to_string(c.pattern.size()) + " characters, in '" + c.in + "'");
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->matches(Widen<C>(c.in)));
    EXPECT_FALSE(p->matches(Widen<C>(c.out)));
  }
}

// A bound too large for an int is a syntax error, not a wrapped number
// ("{4294967296}" would wrap to 0 and match the empty text).
TYPED_TEST(FormerBugs, BoundsTooLargeForAnIntAreErrors) {
  using C = TypeParam;
  const char* const bad[] = {
      "a{2147483648}",   "a{4294967296}",  "a{99999999999}",
      "a{1,4294967297}", "a{4294967296,}", "a{,99999999999999999999}",
  };
  for (const char* pattern : bad) {
    SCOPED_TRACE(std::string("pattern '") + pattern + "'");
    PatternPtr<C> p;
    std::string err = StderrOf([&] { p = Compile<C>(pattern); });
    EXPECT_EQ(p, nullptr);
    // Reported like every other bad bound: with the cursor on the "{".
    EXPECT_EQ(err, std::string(pattern) + "\n ^\nSyntax Error near here. \n");
  }
  // The largest int is still a bound ("no upper bound" for a maximum).
  PatternPtr<C> p = Compile<C>("a{0,2147483647}");
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>("aaa")));
  p = Compile<C>("a{2,2147483647}?");
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>("aaa")));
  EXPECT_FALSE(p->matches(Widen<C>("a")));
}

// The case-insensitive quote compares as many characters as its literal has;
// the rest of the text does not take part. A NUL ends the comparison, as in
// the system's case-insensitive string comparison.
TYPED_TEST(FormerBugs, CaseInsensitiveQuoteComparesItsOwnLength) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  const unsigned long LT = P::LITERAL_TEXT, IC = P::IGNORE_CASE;
  PatternPtr<C> p = Compile<C>("ab", LT | IC);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>("AB")));
  EXPECT_FALSE(p->matches(Widen<C>("ABc")));
  EXPECT_EQ(SearchFirst<C>(p.get(), Widen<C>("xxABx")), std::make_pair(2, 4));
  EXPECT_EQ(SearchFirst<C>(p.get(), Widen<C>("xxA")), std::make_pair(-1, -1));

  PatternPtr<C> q = Compile<C>(R"(\Qab\E.)", IC);
  ASSERT_NE(q, nullptr);
  EXPECT_TRUE(q->matches(Widen<C>("aBz")));

  const std::string withNul("a\0b", 3);
  PatternPtr<C> ci = Compile<C>(withNul, LT | IC);
  PatternPtr<C> cs = Compile<C>(withNul, LT);
  ASSERT_NE(ci, nullptr);
  ASSERT_NE(cs, nullptr);
  EXPECT_TRUE(ci->matches(Widen<C>(std::string("A\0c", 3))));
  EXPECT_FALSE(ci->matches(Widen<C>(std::string("A\0", 2))));
  EXPECT_TRUE(cs->matches(Widen<C>(withNul)));
  EXPECT_FALSE(cs->matches(Widen<C>(std::string("a\0c", 3))));
}

// A registered pattern that reaches itself, directly or through another
// name, cannot be read to an end: the compile must fail, not recurse until
// the stack is gone.
TYPED_TEST(FormerBugs, SelfReferringSubPatternsAreRefused) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  ASSERT_TRUE(P::registerName(Widen<C>("aa"), Widen<C>("x")));
  ASSERT_TRUE(P::registerName(Widen<C>("bb"), Widen<C>("{aa}")));
  // Registering checks "{bb}" against the current "aa"; afterwards "aa"
  // leads to "bb" and back.
  ASSERT_TRUE(P::registerName(Widen<C>("aa"), Widen<C>("{bb}")));
  ASSERT_TRUE(P::registerName(Widen<C>("cc"), Widen<C>("x")));
  ASSERT_TRUE(P::registerName(Widen<C>("cc"), Widen<C>("y{cc}")));
  for (const char* pattern : {"{aa}", "{bb}", "z{cc}"}) {
    SCOPED_TRACE(std::string("pattern '") + pattern + "'");
    PatternPtr<C> p;
    std::string err = StderrOf([&] { p = Compile<C>(pattern); });
    EXPECT_EQ(p, nullptr);
    EXPECT_NE(err, "");
  }
  // The same name used twice side by side is no cycle.
  ASSERT_TRUE(P::registerName(Widen<C>("dd"), Widen<C>("k")));
  EXPECT_TRUE(P::matches(Widen<C>("{dd}{dd}"), Widen<C>("kk")));
}

// An alternation inside a group of an alternative: each alternative goes on
// with the rest of the pattern from its own last node, so a backtrack into
// the alternative still reaches what follows the group. Whole-text matches,
// with the bounds of groups 1 and up after the match ({-1, -1}: unset); a
// failed match leaves every group empty. The three-alternative rows keep
// their wiring: each later alternative matches to its own end before the
// rest of the pattern is tried.
TYPED_TEST(FormerBugs, NestedAlternationGoesOnAfterTheGroup) {
  using C = TypeParam;
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
    std::vector<std::pair<int, int>> groups;
  };
  const std::pair<int, int> unset(-1, -1);
  const Case cases[] = {
      {"(?:(a|b)c*|x)c", "acc", true, {{0, 1}}},
      {"(?:(a|b)c*|x)c", "bc", true, {{0, 1}}},
      {"(?:(a|b)c*|x)c", "xc", true, {unset}},
      {"(?:(a|b)\\d*|x)1", "a21", true, {{0, 1}}},
      {"(a|b)c*?|x", "acc", true, {{0, 1}}},
      {"x|(a|b).*?", "abc", true, {{0, 1}}},
      {"(?:(a|b)c|x)d", "bcd", true, {{0, 1}}},
      {"(?:(a|b)c|x)d", "xd", true, {unset}},
      {"(?:(a|b)c|x)d", "bc", false, {unset}},
      {"((a|b)|c)d", "bd", true, {{0, 1}, {0, 1}}},
      {"((a|b)|c)d", "cd", true, {{0, 1}, unset}},
      {"(?:(?:a|b)c*|x)c", "bccc", true, {}},
      {"(?:a(b|c)+|a)d", "abcbd", true, {{3, 4}}},
      {"(?:a(?:b|(c))|a)c", "abc", true, {unset}},
      {"(?:a(?:b|(c))|a)c", "acc", true, {{1, 2}}},
      {"(?:(a|b)(c|d)e|x)f", "bdef", true, {{0, 1}, {1, 2}}},
      {"(?:(?=(a|b))..|x)y", "bay", true, {{0, 1}}},
      {"(?>a|ab)c", "abc", false, {}},
      {"(?>a|ab)c", "ac", true, {}},
      {"(?>(a|b)c*)c", "acc", false, {unset}},
      // Three or more alternatives, unchanged.
      {"(?:x|a*|c)ab", "aab", false, {}},
      {"(?:a*|x)ab", "aab", true, {}},
      {"x(?:a|bc|b)c", "xbc", true, {}},
      {"(a|b|c)d", "cd", true, {{0, 1}}},
      // An alternative given up after the rest failed leaves no bounds.
      {"(?:x|(a)|ab)c", "abc", true, {unset}},
      {"(?:x|y|(a)|ab)c", "abc", false, {unset}},
      {"(?:x|(a)|(a)b)c", "abc", true, {unset, {0, 1}}},
      {"(?=(a)*)b", "aa", false, {unset}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(c.text)));
    ASSERT_EQ(m->matches(), c.matches);
    EXPECT_EQ(m->groupEnd(0), c.matches ? static_cast<int>(std::string(c.text).size()) : -1);
    for (size_t i = 0; i < c.groups.size(); ++i) {
      const int g = static_cast<int>(i) + 1;
      EXPECT_EQ(std::make_pair(m->groupStart(g), m->groupEnd(g)), c.groups[i]) << "group " << g;
    }
  }
  for (const char* bad : {"(a|*)", "(a|?:b)", "a|*"}) {
    SCOPED_TRACE(bad);
    PatternPtr<C> p;
    std::string err = StderrOf([&] { p = Compile<C>(bad); });
    EXPECT_EQ(p, nullptr);
    EXPECT_NE(err, "");
  }
}

// Every failed match operation leaves every group empty: group 0's end -1,
// the other groups unset, also when an attempt recorded them on its way.
TYPED_TEST(FormerBugs, FailedOperationsLeaveNoGroups) {
  using C = TypeParam;
  struct Case {
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      {"(?:x|y|(a)|ab)c", "abc"}, {"(?=(a)*)b", "aa"}, {"(?=(a))b|(a)x", "a"},
      {"(a)(b)?c", "abd"},        {"((a)|b)*z", "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(c.text)));
    auto expectEmpty = [&](const char* operation) {
      SCOPED_TRACE(operation);
      EXPECT_EQ(m->groupEnd(0), -1);
      EXPECT_EQ(m->group(0), std::basic_string<C>());
      for (int g = 1; g < 4; ++g) {
        EXPECT_EQ(m->groupStart(g), -1) << "group " << g;
        EXPECT_EQ(m->groupEnd(g), -1) << "group " << g;
      }
    };
    EXPECT_FALSE(m->matches());
    expectEmpty("matches");
    EXPECT_FALSE(m->findFirst());
    expectEmpty("findFirst");
    m->reset();
    EXPECT_FALSE(m->findNext());
    expectEmpty("findNext");
  }
  // A later search that fails after a successful one.
  PatternPtr<C> p = Compile<C>("(a)|(?=(b))c");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("ab")));
  ASSERT_TRUE(m->findNext());
  EXPECT_EQ(m->groupEnd(1), 1);
  EXPECT_FALSE(m->findNext());
  EXPECT_EQ(m->groupEnd(0), -1);
  EXPECT_EQ(m->groupStart(1), -1);
  EXPECT_EQ(m->groupStart(2), -1);
}

// Alternatives side by side do not nest: a flat alternation of 10000 words
// compiles and matches, inside a group as well, while each later
// alternative still matches to its own end before the rest is tried.
TYPED_TEST(FormerBugs, TenThousandAlternatives) {
  using C = TypeParam;
  auto words = [](int count, const char* format) {
    std::string out;
    char word[16];
    for (int i = 0; i < count; ++i) {
      std::snprintf(word, sizeof(word), format, i);
      if (i > 0) out += '|';
      out += word;
    }
    return out;
  };
  const std::string flat = words(10000, "w%04d");
  PatternPtr<C> p = Compile<C>(flat);
  ASSERT_NE(p, nullptr);
  for (const char* yes : {"w0000", "w5000", "w9999"}) EXPECT_TRUE(p->matches(Widen<C>(yes))) << yes;
  for (const char* no : {"w10000", "w", "x0000", ""}) EXPECT_FALSE(p->matches(Widen<C>(no))) << no;
  EXPECT_EQ(SearchFirst<C>(p.get(), Widen<C>("xx w4321 yy")), std::make_pair(3, 8));

  PatternPtr<C> grouped = Compile<C>("(?:a|(" + flat + "))z");
  ASSERT_NE(grouped, nullptr);
  MatcherPtr<C> m(grouped->makeMatcher(Widen<C>("w9998z")));
  ASSERT_TRUE(m->matches());
  EXPECT_EQ(m->groupStart(1), 0);
  EXPECT_EQ(m->groupEnd(1), 5);
  m->setText(Widen<C>("w9998y"));
  EXPECT_FALSE(m->matches());
  EXPECT_EQ(m->groupStart(1), -1);

  // 1001 words were once past the nesting bound; "x9" stands before "x99".
  PatternPtr<C> hundred = Compile<C>(words(1001, "x%d"));
  ASSERT_NE(hundred, nullptr);
  EXPECT_TRUE(hundred->matches(Widen<C>("x1000")) == false);
  EXPECT_TRUE(hundred->matches(Widen<C>("x9")));
  PatternPtr<C> below = Compile<C>(words(100, "x%d"));
  ASSERT_NE(below, nullptr);
  EXPECT_FALSE(below->matches(Widen<C>("x99")));
  EXPECT_EQ(SearchFirst<C>(below.get(), Widen<C>("x99")), std::make_pair(0, 2));
}

// Nesting past the bound is reported once, not once more by every level
// that unwinds (a 200 KB run of "(" once wrote a thousand reports of it).
TYPED_TEST(FormerBugs, NestingBoundReportsOnce) {
  using C = TypeParam;
  for (const std::string& text : {std::string(200000, '('), std::string(5000, '['),
                                  std::string(1500, '(') + "a" + std::string(1500, ')')}) {
    SCOPED_TRACE(text.substr(0, 8) + "... of " + std::to_string(text.size()));
    PatternPtr<C> p;
    std::string err = StderrOf([&] { p = Compile<C>(text); });
    EXPECT_EQ(p, nullptr);
    size_t reports = 0;
    for (size_t at = err.find("Syntax Error"); at != std::string::npos;
         at = err.find("Syntax Error", at + 1)) {
      ++reports;
    }
    EXPECT_EQ(reports, 1u);
  }
  // Nesting within the bound still compiles.
  PatternPtr<C> deep = Compile<C>(std::string(900, '(') + "a" + std::string(900, ')'));
  ASSERT_NE(deep, nullptr);
  EXPECT_TRUE(deep->matches(Widen<C>("a")));
}

// Query lines of shapes that make the Emulex line pattern try the same
// place in the line from the same node over and over (nested ".*" between
// repeated keys) are decided, as a whole, with the groups a plain search
// gives: each shape alone matches nothing, and followed by one adapter's
// keys it matches with the groups that the greedy repetitions give. Such
// lines once took minutes at 16 KB and hours at 64 KB.
TYPED_TEST(FormerBugs, HostileQueryLinesAreDecided) {
  using C = TypeParam;
  using zrn_query_lines::kAdapter;
  struct Case {
    const char* head;
    const char* unit;
    size_t size;
  };
  const Case cases[] = {
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, ", 64 << 10},
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, Boot Code=, ", 64 << 10},
      {"HBA=", "x, PCI ID=1, ", 64 << 10},
      {"HBA=", "a,", 64 << 10},
      // A line of 1 MiB of each shape needs no more stack than a short one.
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, ", 1 << 20},
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, Boot Code=, ", 1 << 20},
      {"HBA=", "x, PCI ID=1, ", 1 << 20},
      {"HBA=", "a,", 1 << 20},
  };
  PatternPtr<C> p = Compile<C>(zrn_query_lines::kEmulexLine, BasicPattern<C>::DOT_ANY);
  ASSERT_NE(p, nullptr);
  for (const Case& c : cases) {
    std::string line = c.head;
    while (line.size() + std::string(c.unit).size() <= c.size) line += c.unit;
    SCOPED_TRACE(std::string("'") + c.head + c.unit + "...' of " + std::to_string(line.size()));
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(line)));
    EXPECT_FALSE(m->matches());
    EXPECT_EQ(m->groupEnd(0), -1);
    EXPECT_EQ(m->groups(false), std::vector<std::basic_string<C>>(7));

    m->setText(Widen<C>(line + kAdapter));
    ASSERT_TRUE(m->matches());
    // Group 1 runs up to the adapter's own first comma.
    EXPECT_EQ(m->groupStart(1), 4);
    EXPECT_EQ(m->groups(false), WidenAll<C>(zrn_query_lines::AdapterGroups(line)));
  }
}

// The failure memo skips the rest of a match only where the attempt it
// remembers ran at least as deep in the stack: a later try of the same rest
// from deeper down may hit the depth bound, which ends the whole operation
// with no match, and skipping it would report a match the memo-less engine
// does not. Here the rest after "a*" fails at every position reached after
// the empty first alternative; after the deep second alternative it would
// run past the bound. The search must stop there, memo or not, instead of
// going on to the match at position 4.
TYPED_TEST(FormerBugs, FailureMemoKeepsTheDepthBound) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  auto empties = [](int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += "(?:)";
    return out;
  };
  // The fewest empty groups before "c" that run past the bound, whatever
  // the frames of this build weigh.
  auto tooDeep = [&](int n) {
    PatternPtr<C> p = Compile<C>(empties(n) + "c");
    return p != nullptr && !p->matches(Widen<C>("c"));
  };
  int low = 1;
  int high = 1024;
  while (!tooDeep(high)) {
    low = high + 1;
    high *= 2;
    ASSERT_LE(high, 1 << 22);
  }
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (tooDeep(mid)) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  const std::string pattern = "x(?:|" + empties(high / 2) + ")a*" + empties(high * 3 / 4) + "c";
  PatternPtr<C> p = Compile<C>(pattern);
  ASSERT_NE(p, nullptr);
  // Without the deep alternative the same search finds the match.
  PatternPtr<C> shallow = Compile<C>("x(?:|)a*" + empties(high * 3 / 4) + "c");
  ASSERT_NE(shallow, nullptr);
  for (long memoAfter : {-1L, LONG_MAX}) {
    SCOPED_TRACE(memoAfter);
    MatcherPtr<C> m(p->makeMatcher(Widen<C>("xaabxaac")));
    I::setMemoAfterSteps(m.get(), memoAfter);
    EXPECT_FALSE(m->findFirst());
    EXPECT_EQ(I::memoOn(m.get()), memoAfter < 0);
    m.reset(shallow->makeMatcher(Widen<C>("xaabxaac")));
    I::setMemoAfterSteps(m.get(), memoAfter);
    EXPECT_TRUE(m->findFirst());
    EXPECT_EQ(m->groupStart(0), 4);
  }
}

// The memo changes no depth a match reaches: nodes with a memo slot run
// from the same frame whether the memo is on or off, so a pattern that just
// fits under the depth bound fits with the memo on from the first step, and
// one node more runs past it in both. "a*" and the join after "(?:b|)" give
// the chain of empty groups behind them memo slots.
TYPED_TEST(FormerBugs, MemoKeepsTheDepthOfEveryCall) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  auto pattern = [](int n) {
    std::string out = "a*(?:b|)";
    for (int i = 0; i < n; ++i) out += "(?:)";
    return out + "c";
  };
  auto fits = [&](int n, long memoAfter) {
    PatternPtr<C> p = Compile<C>(pattern(n));
    EXPECT_NE(p, nullptr);
    EXPECT_TRUE(I::memoizable(p.get()));
    MatcherPtr<C> m(p->makeMatcher(Widen<C>("aac")));
    I::setMemoAfterSteps(m.get(), memoAfter);
    const bool found = m->matches();
    EXPECT_EQ(I::memoOn(m.get()), memoAfter < 0);
    return found;
  };
  // The most empty groups that still match without the memo.
  int low = 1;
  int high = 1024;
  while (fits(high, LONG_MAX)) {
    low = high;
    high *= 2;
    ASSERT_LE(high, 1 << 22);
  }
  while (high - low > 1) {
    const int mid = low + (high - low) / 2;
    (fits(mid, LONG_MAX) ? low : high) = mid;
  }
  EXPECT_TRUE(fits(low, -1));
  EXPECT_FALSE(fits(high, -1));
}

// Narrow only: bytes from 0x80 up in the pattern and the text.
TEST(NarrowFormerBugs, HighBytes) {
  // A range that ends at 0xFF ends, and one across 0x80 is neither empty
  // nor reversed.
  EXPECT_TRUE(Pattern::matches("[\\x00-\\xFF]+", std::string("\x00\x7f\x80\xff", 4)));
  EXPECT_TRUE(Pattern::matches("[\\x7F-\\x81]{3}", "\x7f\x80\x81"));
  EXPECT_FALSE(Pattern::matches("[\\x7F-\\x81]", "\x82"));
  EXPECT_TRUE(Pattern::matches("[\xe0-\xff]", "\xf5"));
  // Case folding and word boundaries with bytes from 0x80 up.
  EXPECT_TRUE(Pattern::matches("\xc9", "\xc9", Pattern::IGNORE_CASE));
  EXPECT_FALSE(Pattern::matches("\xc9", "\xe9", Pattern::IGNORE_CASE));
  EXPECT_EQ(HoldsAt<char>("\\b", 0,
                          "\xe9"
                          "a\xe9"),
            (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(HoldsAt<char>("\\B", 0, "\xe9\xe9"), (std::vector<int>{0, 1, 2}));
}

// Wide only: a range over more than 300 characters, and a union beyond
// 66000 distinct characters.
TEST(WideFormerBugs, LongWideSets) {
  PatternPtr<wchar_t> range = Compile<wchar_t>("[\\x0100-\\x0300]");
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(CountMembers<wchar_t>(range.get(), 0x1FFFF), 513);

  PatternPtr<wchar_t> all = Compile<wchar_t>("[\\x0000-\\xFFFF]");
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(CountMembers<wchar_t>(all.get(), 0x1FFFF), 65536);

  std::wstring pattern = L"[";
  for (wchar_t c = 0x10000; c < 0x11000; ++c) pattern += c;
  pattern += L"\\x0000-\\xFFFF]";
  PatternPtr<wchar_t> big(WidePattern::compile(pattern));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(CountMembers<wchar_t>(big.get(), 0x1FFFF), 65536 + 4096);
}

}  // namespace
}  // namespace zrn_regex_test
