// Linear time, by steps: every operation of a pattern the memo serves takes
// at most kStepBoundConstant + kStepsPerNodePosition x nodes x (length + 1)
// steps, whatever the text, and gives the results and group bounds of the
// same operation with the memo on from its first step (and, where a plain
// backtracking search still ends in reasonable time, with the memo off).
// Asserted by steps, never by time: the lines here once took seconds to
// hours.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "regex/pattern.h"
#include "tests/regex/pattern_internals.h"
#include "tests/regex/query_lines.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

template <class C>
class LinearSteps : public ::testing::Test {};
TYPED_TEST_SUITE(LinearSteps, Widths, WidthNames);

using zrn_query_lines::AdapterGroups;
using zrn_query_lines::kAdapter;
using zrn_query_lines::kEmulexLine;
using zrn_query_lines::kKeySet;
using zrn_query_lines::Lcg;

// Everything one operation leaves: its result and every group's bounds.
template <class C>
struct Outcome {
  bool found;
  std::vector<int> bounds;
  bool operator==(const Outcome& other) const {
    return found == other.found && bounds == other.bounds;
  }
};

template <class C>
Outcome<C> OutcomeOf(BasicMatcher<C>* m, bool found, int groups) {
  Outcome<C> out{found, {}};
  for (int i = 0; i < groups; ++i) {
    out.bounds.push_back(m->groupStart(i));
    out.bounds.push_back(m->groupEnd(i));
  }
  return out;
}

// Runs `operation` (a whole-text match or a search to the end) with the
// memo as it comes and with the memo on from the first step, checks the
// steps of every operation against the bound, and returns both outcomes;
// with `plainToo` also the memo never on.
template <class C>
std::vector<std::vector<Outcome<C>>> RunEveryWay(BasicPattern<C>* p,
                                                 const std::basic_string<C>& text, bool search,
                                                 bool plainToo) {
  using I = PatternInternals<C>;
  std::vector<std::vector<Outcome<C>>> runs;
  std::vector<long> memoAfter = {BasicMatcher<C>::kMemoAfterSteps, -1};
  if (plainToo) memoAfter.push_back(LONG_MAX);
  const long bound = I::stepBound(p, text.size());
  for (long after : memoAfter) {
    MatcherPtr<C> m(p->makeMatcher(text));
    I::setMemoAfterSteps(m.get(), after);
    std::vector<Outcome<C>> outcomes;
    const int groups = I::groupCount(p);
    if (search) {
      bool found;
      do {
        found = m->findNext();
        if (after != LONG_MAX) {
          EXPECT_LE(I::steps(m.get()), bound) << "search step";
        }
        outcomes.push_back(OutcomeOf(m.get(), found, groups));
      } while (found);
    } else {
      const bool found = m->matches();
      if (after != LONG_MAX) {
        EXPECT_LE(I::steps(m.get()), bound);
      }
      outcomes.push_back(OutcomeOf(m.get(), found, groups));
    }
    runs.push_back(outcomes);
  }
  for (size_t i = 1; i < runs.size(); ++i) EXPECT_TRUE(runs[i] == runs[0]) << "run " << i;
  return runs;
}

// Key sets each edited with a chance of 5 % (one to three characters
// inserted, deleted or replaced), sometimes followed by an adapter's keys:
// the lines that made the line pattern polynomial again.
TYPED_TEST(LinearSteps, RandomlyEditedQueryLines) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>(kEmulexLine, BasicPattern<C>::DOT_ANY);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(PatternInternals<C>::memoizable(p.get()));
  Lcg random(20261210);
  int matched = 0;
  for (int line = 0; line < 300; ++line) {
    std::string text;
    const int sets = 20 + static_cast<int>(random.below(26));
    for (int k = 0; k < sets; ++k) {
      text += zrn_query_lines::EditedAtRandom(kKeySet, &random);
    }
    if (random.below(4) == 0) text += kAdapter;
    SCOPED_TRACE("line " + std::to_string(line) + " of " + std::to_string(text.size()));
    auto runs = RunEveryWay<C>(p.get(), Widen<C>(text), false, false);
    if (runs[0][0].found) ++matched;
  }
  // Both outcomes occur: the lines with an adapter's keys at the end match.
  EXPECT_GT(matched, 0);
  EXPECT_LT(matched, 300);
}

// The lines that made the line pattern polynomial, at 64 KiB and 1 MiB: the
// regular key set repeated after one edited set, or with one edited set in
// the middle, and the four shapes that once took minutes; each alone matches
// nothing, and followed by an adapter's keys matches with the groups the
// greedy repetitions give.
TYPED_TEST(LinearSteps, HostileQueryLinesTakeLinearSteps) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  struct Shape {
    const char* head;
    const char* unit;
    const char* middle;  // once, halfway, when set
  };
  const Shape shapes[] = {
      {"HBA=a, PCI ID=i1, VID=1, SSID=1, SVID=1, Firmware=1, ", kKeySet, nullptr},
      {"", kKeySet, "HBA=a, PCI ID=1, VID=1, SSID=1I,SV D=1, SVID=1, Firmware=1, "},
      {"", kKeySet, nullptr},
      {"", "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, Boot Code=, ", nullptr},
      {"HBA=", "x, PCI ID=1, ", nullptr},
      {"HBA=", "a,", nullptr},
  };
  PatternPtr<C> p = Compile<C>(kEmulexLine, BasicPattern<C>::DOT_ANY);
  ASSERT_NE(p, nullptr);
  for (size_t size : {size_t{64} << 10, size_t{1} << 20}) {
    for (const Shape& shape : shapes) {
      std::string line = shape.head;
      const std::string unit = shape.unit;
      bool middleDone = shape.middle == nullptr;
      while (line.size() + unit.size() <= size) {
        if (!middleDone && line.size() >= size / 2) {
          line += shape.middle;
          middleDone = true;
        }
        line += unit;
      }
      SCOPED_TRACE(std::string("'") + shape.head + shape.unit + "' to " + std::to_string(size));
      MatcherPtr<C> m(p->makeMatcher(Widen<C>(line)));
      EXPECT_FALSE(m->matches());
      EXPECT_LE(I::steps(m.get()), I::stepBound(p.get(), line.size()));
      EXPECT_EQ(m->groups(false), std::vector<std::basic_string<C>>(7));

      const std::string full = line + kAdapter;
      m->setText(Widen<C>(full));
      ASSERT_TRUE(m->matches());
      EXPECT_LE(I::steps(m.get()), I::stepBound(p.get(), full.size()));
      EXPECT_EQ(m->groupStart(1), 4);
      EXPECT_EQ(m->groups(false), WidenAll<C>(AdapterGroups(line)));
    }
  }
}

// The version pattern on a run of digits: the "\d+" runs are scanned once,
// whichever position ".*" gives back.
TYPED_TEST(LinearSteps, DigitRunTakesLinearSteps) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  PatternPtr<C> p = Compile<C>(".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", BasicPattern<C>::DOT_ANY);
  ASSERT_NE(p, nullptr);
  for (size_t size : {size_t{64} << 10, size_t{1} << 20}) {
    SCOPED_TRACE(size);
    const std::string digits(size, '7');
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(digits)));
    EXPECT_FALSE(m->matches());
    EXPECT_LE(I::steps(m.get()), I::stepBound(p.get(), size));

    const std::string version = digits + ".2.3.4" + digits;
    m->setText(Widen<C>(version));
    ASSERT_TRUE(m->matches());
    EXPECT_LE(I::steps(m.get()), I::stepBound(p.get(), version.size()));
    // ".*" keeps all it can: group 1 starts at the last digit before ".2".
    EXPECT_EQ(m->groupStart(1), static_cast<int>(size) - 1);
    EXPECT_TRUE(m->group(1) == Widen<C>("7.2.3.4" + digits));
  }
}

// Searches that restart at every position: a repetition entered inside a
// run it has scanned finds the run's end at once, and the rest after it is
// tried at each position once for the whole search.
TYPED_TEST(LinearSteps, SearchesTakeLinearSteps) {
  using C = TypeParam;
  Lcg random(7);
  std::string ab(160000, 'a');
  for (char& c : ab) c = random.below(2) ? 'a' : 'b';
  std::string abWithC = ab;
  abWithC[80000] = 'c';
  const std::string as(160000, 'a');
  struct Case {
    const char* pattern;
    const std::string* text;
    std::string tail;
    std::vector<std::pair<int, int>> found;
  };
  const Case cases[] = {
      {"[ab]*c", &ab, "", {}},
      {"[ab]*c", &abWithC, "", {{0, 80001}}},
      {"a*?b", &as, "", {}},
      {"a*?b", &as, "b", {{0, 160001}}},
  };
  for (const Case& c : cases) {
    const std::string text = *c.text + c.tail;
    SCOPED_TRACE(std::string(c.pattern) + " over " + std::to_string(text.size()));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    auto runs = RunEveryWay<C>(p.get(), Widen<C>(text), true, false);
    std::vector<std::pair<int, int>> found;
    for (const Outcome<C>& o : runs[0]) {
      if (o.found) found.push_back({o.bounds[0], o.bounds[1]});
    }
    EXPECT_EQ(found, c.found);
  }
}

// More shapes the guarantee covers, each at 64 KiB, as whole-text matches
// and as searches: nested repetitions, alternatives whose branches meet
// again, lazy and possessive repetitions, a bounded class repetition, line
// anchors. Results as with the memo on from the first step; on a short
// text also as without the memo, which takes time polynomial in the length
// (a*a*a*a*a*b searched over 200 "a" takes minutes).
TYPED_TEST(LinearSteps, OtherShapesTakeLinearSteps) {
  using C = TypeParam;
  const unsigned long kDotAny = BasicPattern<C>::DOT_ANY;
  const size_t kShortText = 48;
  Lcg random(99);
  std::string ab(64 << 10, 'a');
  for (char& c : ab) c = random.below(2) ? 'a' : 'b';
  const std::string as(64 << 10, 'a');
  std::string lines;
  while (lines.size() < (64u << 10)) lines += "abab\nba\r\n";
  struct Case {
    const char* pattern;
    unsigned long flags;
    const std::string* text;
  };
  const Case cases[] = {
      {".*a.*b.*c", 0, &ab},
      {".*a.*b.*c", kDotAny, &lines},
      {"(?:x|a|ab)[ab]*(?:b|c)d", 0, &ab},
      {"(?:a|b|[ab]*|c)(?:[ab]*|b|c|d)z", 0, &ab},
      {"(?:[ab]*a|[ab]*b|[ab]*)(?:[ab]*a|[ab]*b|x)c", 0, &ab},
      {".*?.*?.*?x", kDotAny, &ab},
      {"[ab]{1,1000}c", 0, &ab},
      {".*[ab]*+c", kDotAny, &ab},
      {"a*a*a*a*a*b", 0, &as},
      {"^.*$x", BasicPattern<C>::LINE_ANCHORS, &lines},
      {"(\\w+)\\s*,\\s*(\\w+)z", 0, &ab},
  };
  for (const Case& c : cases) {
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr) << c.pattern;
    ASSERT_TRUE(PatternInternals<C>::memoizable(p.get())) << c.pattern;
    for (size_t size : {kShortText, c.text->size()}) {
      const std::string text = c.text->substr(0, size);
      SCOPED_TRACE(std::string(c.pattern) + " over " + std::to_string(size));
      RunEveryWay<C>(p.get(), Widen<C>(text), false, size == kShortText);
      RunEveryWay<C>(p.get(), Widen<C>(text), true, size == kShortText);
    }
  }
}

}  // namespace
}  // namespace zrn_regex_test
