// The pattern's static and instance operations around matching: split,
// replace, findNth, findAll, the registry of named sub-patterns and the cache
// of compiled patterns, in both widths.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "regex/pattern.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

struct SplitCase {
  const char* pattern;
  const char* text;
  bool keepEmpty;
  unsigned long limit;
  std::vector<std::string> expected;
};

struct ReplaceCase {
  const char* pattern;
  const char* text;
  const char* replacement;
  const char* expected;
};

struct FindAllCase {
  const char* pattern;
  const char* text;
  std::vector<std::string> expected;
};

struct FindNthCase {
  const char* pattern;
  const char* text;
  int n;
  const char* expected;
  int start;
};

// The registry and the cache are process-wide: every test leaves them empty.
template <class C>
class PatternOps : public ::testing::Test {
 protected:
  void SetUp() override {
    BasicPattern<C>::clearNames();
    BasicPattern<C>::clearCache();
  }
  void TearDown() override {
    BasicPattern<C>::clearNames();
    BasicPattern<C>::clearCache();
  }
};
TYPED_TEST_SUITE(PatternOps, Widths, WidthNames);

TYPED_TEST(PatternOps, Split) {
  using C = TypeParam;
  const SplitCase cases[] = {
      {",", ",a,,b", false, 0, {"a", "b"}},
      {",", ",a,,b", true, 0, {"", "a", "", "b"}},
      {",", "a,", false, 0, {"a"}},
      {",", "a,", true, 0, {"a"}},
      {",", "a,b,c", false, 0, {"a", "b", "c"}},
      // The cap counts segments taken at matches; the rest follows as one.
      {",", "a,b,c", false, 1, {"a", "b,c"}},
      {",", "a,b,c", false, 2, {"a", "b", "c"}},
      {",", "a,b,c,d", false, 2, {"a", "b", "c,d"}},
      {",", "a,,b", true, 1, {"a", ",b"}},
      {",", "abc", false, 0, {"abc"}},
      {",", "", false, 0, {}},
      {",", "", true, 0, {}},
      {",", ",", false, 0, {}},
      {",", ",", true, 0, {""}},
      // Empty matches do not split unless keepEmpty is set.
      {"x*", "abc", false, 0, {"abc"}},
      {"x*", "abc", true, 0, {"", "a", "b", "c"}},
      {R"(\s+)", "  a b  ", false, 0, {"a", "b"}},
      {R"(\s+)", "  a b  ", true, 0, {"", "a", "b"}},
      {R"(\.)", "1.02.3", false, 0, {"1", "02", "3"}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text) + " keepEmpty " + std::to_string(c.keepEmpty) +
                 " limit " + std::to_string(c.limit));
    EXPECT_EQ(BasicPattern<C>::split(Widen<C>(c.pattern), Widen<C>(c.text), c.keepEmpty, c.limit),
              WidenAll<C>(c.expected));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->split(Widen<C>(c.text), c.keepEmpty, c.limit), WidenAll<C>(c.expected));
  }
}

TYPED_TEST(PatternOps, Replace) {
  using C = TypeParam;
  const ReplaceCase cases[] = {
      {"x*", "ab", "-", "-a-b"},
      {"", "ab", "-", "-a-b"},
      {"a", "banana", "o", "bonono"},
      {R"(\d+)", "a1b22", R"(<\0>)", "a<1>b<22>"},
      {"b", "abc", "\\", "a\\c"},
      {"b", "abc", R"(\\)", "a\\c"},
      {"b", "abc", R"(\n)", "anc"},
      {"b", "abc", R"(\9)", "ac"},
      // "\12" names group 12, not group 1 followed by "2".
      {"b", "abc", R"(\12x)", "axc"},
      {",", "", "-", ""},
      {"$", "ab", "!", "ab!"},
      {"^", "ab", "!", "!ab"},
      {"z", "abc", "-", "abc"},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text) + " by '" + c.replacement + "'");
    EXPECT_EQ(
        BasicPattern<C>::replace(Widen<C>(c.pattern), Widen<C>(c.text), Widen<C>(c.replacement)),
        Widen<C>(c.expected));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->replace(Widen<C>(c.text), Widen<C>(c.replacement)), Widen<C>(c.expected));
  }
}

TYPED_TEST(PatternOps, FindAll) {
  using C = TypeParam;
  const FindAllCase cases[] = {
      {"x*", "ab", {"", ""}},
      {R"(\d+)", "a1b22c333", {"1", "22", "333"}},
      {"a", "", {}},
      {"", "", {""}},
      {"a*", "aab", {"aa", ""}},
      {R"(\w+)", "ab, cd", {"ab", "cd"}},
  };
  for (const FindAllCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text));
    EXPECT_EQ(BasicPattern<C>::findAll(Widen<C>(c.pattern), Widen<C>(c.text)),
              WidenAll<C>(c.expected));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->findAll(Widen<C>(c.text)), WidenAll<C>(c.expected));
  }
}

TYPED_TEST(PatternOps, FindNth) {
  using C = TypeParam;
  const FindNthCase cases[] = {
      {R"(\d+)", "a1b22c333", 0, "1", 1},
      {R"(\d+)", "a1b22c333", 1, "22", 3},
      {R"(\d+)", "a1b22c333", 2, "333", 6},
      {R"(\d+)", "a1b22c333", 3, "", -1},
      {R"(\d+)", "a1b22c333", -1, "", -1},
      {"x*", "ab", 1, "", 1},
      {"x*", "ab", 2, "", -1},
      {"a", "", 0, "", -1},
  };
  for (const FindNthCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text) + " n " + std::to_string(c.n));
    EXPECT_EQ(BasicPattern<C>::findNth(Widen<C>(c.pattern), Widen<C>(c.text), c.n),
              std::make_pair(Widen<C>(c.expected), c.start));
  }
}

TYPED_TEST(PatternOps, InstanceOperationsDoNotLeakState) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>(R"(\d+)");
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>("42")));
  EXPECT_EQ(p->findAll(Widen<C>("a1b2")), WidenAll<C>({"1", "2"}));
  EXPECT_FALSE(p->matches(Widen<C>("4a")));
  EXPECT_EQ(p->split(Widen<C>("a1b"), false, 0), WidenAll<C>({"a", "b"}));
  EXPECT_EQ(p->replace(Widen<C>("a1b"), Widen<C>("#")), Widen<C>("a#b"));
  EXPECT_EQ(p->findAll(Widen<C>("x9")), WidenAll<C>({"9"}));
  EXPECT_EQ(p->getPattern(), Widen<C>(R"(\d+)"));
  EXPECT_EQ(p->getFlags(), 0ul);
  PatternPtr<C> q = Compile<C>("a", BasicPattern<C>::IGNORE_CASE | BasicPattern<C>::DOT_ANY);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->getFlags(), BasicPattern<C>::IGNORE_CASE | BasicPattern<C>::DOT_ANY);
}

TYPED_TEST(PatternOps, RegisteredSubPatterns) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  ASSERT_TRUE(P::registerName(Widen<C>("digits"), Widen<C>(R"(\d+)")));
  ASSERT_TRUE(P::registerName(Widen<C>("xy"), Widen<C>("b")));
  ASSERT_TRUE(P::registerName(Widen<C>("ver"), Widen<C>(R"({digits}\.{digits})")));
  ASSERT_TRUE(P::registerName(Widen<C>("_a1"), Widen<C>("q")));

  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  };
  const Case cases[] = {
      {"v{digits}", "v12", true},
      {"v{digits}", "v", false},
      // "{" after an atom that opens no bound is a reference.
      {"a{xy}", "ab", true},
      {"a{xy}c", "abc", true},
      {"{xy}", "b", true},
      {"v{ver}", "v1.22", true},
      {"v{ver}", "v1.", false},
      {"{_a1}", "q", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, 0, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->matches(Widen<C>(c.text)), c.matches);
  }

  // A later registration of a name replaces the earlier one.
  ASSERT_TRUE(P::registerName(Widen<C>("xy"), Widen<C>("c")));
  EXPECT_TRUE(P::matches(Widen<C>("a{xy}"), Widen<C>("ac")));
  EXPECT_FALSE(P::matches(Widen<C>("a{xy}"), Widen<C>("ab")));

  // A pattern that does not compile is refused and leaves the entry alone.
  std::string err = StderrOf([] { EXPECT_FALSE(P::registerName(Widen<C>("xy"), Widen<C>("*"))); });
  EXPECT_EQ(err, "*\n ^\nSyntax Error near here. Possible unescaped meta character.\n");
  EXPECT_TRUE(P::matches(Widen<C>("a{xy}"), Widen<C>("ac")));

  P::clearNames();
  err = StderrOf([] { EXPECT_EQ(Compile<C>("v{digits}"), nullptr); });
  EXPECT_EQ(err, "v{digits}\n ^\nSyntax Error near here. \n");
}

TYPED_TEST(PatternOps, SubPatternKeepsItsOwnFlags) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  ASSERT_TRUE(P::registerName(Widen<C>("ci"), Widen<C>("abc"), P::IGNORE_CASE));
  ASSERT_TRUE(P::registerName(Widen<C>("cs"), Widen<C>("ab")));

  PatternPtr<C> p = Compile<C>("x{ci}y");
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>("xABCy")));
  EXPECT_FALSE(p->matches(Widen<C>("XABCy")));
  // The enclosing flags come back after the reference.
  EXPECT_FALSE(p->matches(Widen<C>("xABCY")));
  EXPECT_EQ(p->getFlags(), 0ul);

  PatternPtr<C> q = Compile<C>("x{cs}", P::IGNORE_CASE);
  ASSERT_NE(q, nullptr);
  EXPECT_TRUE(q->matches(Widen<C>("Xab")));
  EXPECT_FALSE(q->matches(Widen<C>("XAB")));
  EXPECT_EQ(q->getFlags(), static_cast<unsigned long>(P::IGNORE_CASE));
}

TYPED_TEST(PatternOps, NamesTheReferenceSyntaxCannotSpell) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  // Any name is stored; one the reference syntax cannot spell is never found.
  EXPECT_TRUE(P::registerName(Widen<C>("a"), Widen<C>("z")));
  EXPECT_TRUE(P::registerName(Widen<C>("bad name"), Widen<C>("z")));
  std::string err = StderrOf([] { EXPECT_EQ(Compile<C>("x{a}"), nullptr); });
  EXPECT_EQ(err, "x{a}\n ^\nSyntax Error near here. \n");
  err = StderrOf([] { EXPECT_EQ(Compile<C>("x{bad name}"), nullptr); });
  EXPECT_EQ(err, "x{bad name}\n ^\nSyntax Error near here. \n");
}

TYPED_TEST(PatternOps, CacheIsKeyedByTextAlone) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  P* first = P::compileCached(Widen<C>("a"));
  ASSERT_NE(first, nullptr);
  P* second = P::compileCached(Widen<C>("a"), P::IGNORE_CASE);
  EXPECT_EQ(second, first);
  EXPECT_FALSE(second->matches(Widen<C>("A")));
  EXPECT_EQ(second->getFlags(), 0ul);

  // A text that fails is remembered as null and reported only once.
  std::string err = StderrOf([] {
    EXPECT_EQ(P::compileCached(Widen<C>("*x")), nullptr);
    EXPECT_EQ(P::compileCached(Widen<C>("*x")), nullptr);
  });
  EXPECT_EQ(err, "*x\n ^\nSyntax Error near here. Possible unescaped meta character.\n");

  // After clearCache the text compiles afresh with the flags given then.
  P::clearCache();
  P* third = P::compileCached(Widen<C>("a"), P::IGNORE_CASE);
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(third->matches(Widen<C>("A")));
  err = StderrOf([] { EXPECT_EQ(P::compileCached(Widen<C>("*x")), nullptr); });
  EXPECT_EQ(err, "*x\n ^\nSyntax Error near here. Possible unescaped meta character.\n");
}

// The two widths keep tables of their own.
TEST(PatternTables, WidthsDoNotShareRegistryOrCache) {
  Pattern::clearNames();
  WidePattern::clearNames();
  ASSERT_TRUE(Pattern::registerName("only", "n"));
  std::string err = StderrOf([] { EXPECT_EQ(WidePattern::compile(L"{only}"), nullptr); });
  EXPECT_EQ(err, "{only}\n ^\nSyntax Error near here. \n");
  ASSERT_TRUE(WidePattern::registerName(L"only", L"w"));
  EXPECT_TRUE(Pattern::matches("{only}", "n"));
  EXPECT_TRUE(WidePattern::matches(L"{only}", L"w"));
  Pattern::clearNames();
  EXPECT_TRUE(WidePattern::matches(L"{only}", L"w"));
  WidePattern::clearNames();

  Pattern* narrow = Pattern::compileCached("k");
  WidePattern* wide = WidePattern::compileCached(L"k", WidePattern::IGNORE_CASE);
  ASSERT_NE(narrow, nullptr);
  ASSERT_NE(wide, nullptr);
  EXPECT_FALSE(narrow->matches("K"));
  EXPECT_TRUE(wide->matches(L"K"));
  Pattern::clearCache();
  WidePattern::clearCache();
}

}  // namespace
}  // namespace zrn_regex_test
