// The matcher's state: group bounds before and after matches, the mode,
// search sequences with setText and reset, and replacement expansion.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "regex/pattern.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

template <class C>
class MatcherState : public ::testing::Test {};
TYPED_TEST_SUITE(MatcherState, Widths, WidthNames);

TYPED_TEST(MatcherState, FreshMatcherReportsZeroForGroupZero) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("abc");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("xabc")));
  EXPECT_EQ(m->groupStart(0), 0);
  EXPECT_EQ(m->groupEnd(0), 0);
  EXPECT_EQ(m->group(0), Widen<C>(""));
  EXPECT_EQ(m->getMode(), 0ul);
  EXPECT_EQ(m->getText(), Widen<C>("xabc"));
  // Indices outside the capture slots.
  EXPECT_EQ(m->groupStart(-1), -1);
  EXPECT_EQ(m->groupEnd(-1), -1);
  EXPECT_EQ(m->group(-1), Widen<C>(""));
  EXPECT_EQ(m->groupStart(1), -1);
  EXPECT_EQ(m->groupEnd(1), -1);
  EXPECT_EQ(m->group(1), Widen<C>(""));
}

TYPED_TEST(MatcherState, WholeTextMatch) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("a.c");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("abc")));
  EXPECT_TRUE(m->matches());
  EXPECT_EQ(m->getMode(), static_cast<unsigned long>(BasicMatcher<C>::MATCH_WHOLE_TEXT));
  EXPECT_EQ(m->groupStart(0), 0);
  EXPECT_EQ(m->groupEnd(0), 3);
  EXPECT_EQ(m->groups(true), WidenAll<C>({"abc"}));
  EXPECT_TRUE(m->groups(false).empty());

  // A prefix match fails at the end node: group 0 reads empty, its start
  // stays 0 and its end is -1.
  m->setText(Widen<C>("abcd"));
  EXPECT_FALSE(m->matches());
  EXPECT_EQ(m->group(0), Widen<C>(""));
  EXPECT_EQ(m->groupStart(0), 0);
  EXPECT_EQ(m->groupEnd(0), -1);
  EXPECT_EQ(m->groups(true), WidenAll<C>({""}));
}

TYPED_TEST(MatcherState, LiteralTextHasOnlyGroupZero) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("a(b)", BasicPattern<C>::LITERAL_TEXT);
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("a(b)")));
  ASSERT_TRUE(m->matches());
  EXPECT_EQ(m->groups(true), WidenAll<C>({"a(b)"}));
  EXPECT_TRUE(m->groups(false).empty());
  EXPECT_EQ(m->group(1), Widen<C>(""));
}

TYPED_TEST(MatcherState, FailedSearchLeavesGroupZeroUnset) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("z");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("abc")));
  EXPECT_FALSE(m->findFirst());
  EXPECT_EQ(m->getMode(), 0ul);
  EXPECT_EQ(m->groupStart(0), -1);
  EXPECT_EQ(m->groupEnd(0), -1);
  EXPECT_EQ(m->group(0), Widen<C>(""));
}

TYPED_TEST(MatcherState, SearchSequences) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("a");
  ASSERT_NE(p, nullptr);
  // A matcher constructed directly over the pattern.
  BasicMatcher<C> m(p.get(), Widen<C>("aXa"));
  // After a whole-text attempt findNext starts a new search.
  EXPECT_FALSE(m.matches());
  ASSERT_TRUE(m.findNext());
  EXPECT_EQ(std::make_pair(m.groupStart(0), m.groupEnd(0)), std::make_pair(0, 1));
  ASSERT_TRUE(m.findNext());
  EXPECT_EQ(std::make_pair(m.groupStart(0), m.groupEnd(0)), std::make_pair(2, 3));
  EXPECT_EQ(m.group(0), Widen<C>("a"));
  EXPECT_FALSE(m.findNext());

  // reset and setText begin again from the start.
  m.reset();
  ASSERT_TRUE(m.findNext());
  EXPECT_EQ(m.groupStart(0), 0);
  m.setText(Widen<C>("ba"));
  EXPECT_EQ(m.getText(), Widen<C>("ba"));
  ASSERT_TRUE(m.findNext());
  EXPECT_EQ(std::make_pair(m.groupStart(0), m.groupEnd(0)), std::make_pair(1, 2));

  // findFirst always starts at 0, also in the middle of a sequence.
  m.setText(Widen<C>("aaa"));
  ASSERT_TRUE(m.findNext());
  ASSERT_TRUE(m.findNext());
  ASSERT_TRUE(m.findFirst());
  EXPECT_EQ(m.groupStart(0), 0);

  // findAll starts over on its own and gives the same list each time.
  EXPECT_EQ(m.findAll(), WidenAll<C>({"a", "a", "a"}));
  EXPECT_EQ(m.findAll(), WidenAll<C>({"a", "a", "a"}));
}

TYPED_TEST(MatcherState, GOnlyWhereTheSearchBegan) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>(R"(\Gb)");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("abb")));
  EXPECT_FALSE(m->findFirst());
  m->setText(Widen<C>("bba"));
  ASSERT_TRUE(m->findFirst());
  ASSERT_TRUE(m->findNext());
  EXPECT_EQ(m->groupStart(0), 1);
  EXPECT_FALSE(m->findNext());
}

struct ExpandCase {
  const char* replacement;
  const char* expected;
};

TYPED_TEST(MatcherState, ExpandReplacement) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("b");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("abc")));
  ASSERT_TRUE(m->findFirst());
  const ExpandCase cases[] = {
      {"plain", "plain"}, {"", ""},        {R"(<\0>)", "<b>"}, {R"(\0\0)", "bb"}, {R"(\00)", "b"},
      {R"(\01)", ""},     {R"(\\)", "\\"}, {"\\", "\\"},       {"a\\", "a\\"},    {R"(\9)", ""},
      {R"(x\12y)", "xy"}, {R"(\n)", "n"},  {R"(\$1)", "$1"},
  };
  for (const ExpandCase& c : cases) {
    SCOPED_TRACE(std::string("replacement '") + c.replacement + "'");
    EXPECT_EQ(m->expandReplacement(Widen<C>(c.replacement)), Widen<C>(c.expected));
  }
  // After a failed match group 0 expands to nothing.
  m->setText(Widen<C>("xyz"));
  EXPECT_FALSE(m->findFirst());
  EXPECT_EQ(m->expandReplacement(Widen<C>(R"([\0])")), Widen<C>("[]"));
}

}  // namespace
}  // namespace zrn_regex_test
