// White-box tests of the engine: the node graphs that compile builds, the
// set operations on member strings, the choices the engine makes where the
// syntax leaves one open, and the stack that the depth bound leaves room for.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "regex/pattern.h"
#include "regex/quantifier_nodes.h"
#include "tests/regex/pattern_internals.h"
#include "tests/regex/regex_test_util.h"

namespace zrn_regex_test {
namespace {

template <class C>
class EngineInternals : public ::testing::Test {};
TYPED_TEST_SUITE(EngineInternals, Widths, WidthNames);

// The class of every node on the main chain, start to end.
template <class C>
std::vector<std::string> ChainKinds(BasicPattern<C>* p) {
  std::vector<std::string> out;
  for (BasicNFANode<C>* n = PatternInternals<C>::head(p); n != nullptr; n = n->next) {
    const std::type_info& t = typeid(*n);
    if (t == typeid(BasicNFAStartNode<C>))
      out.push_back("start");
    else if (t == typeid(BasicNFASubStartNode<C>))
      out.push_back("substart");
    else if (t == typeid(BasicNFAEndNode<C>))
      out.push_back("end");
    else if (t == typeid(BasicNFACharNode<C>))
      out.push_back("char");
    else if (t == typeid(BasicNFACICharNode<C>))
      out.push_back("cichar");
    else if (t == typeid(BasicNFAClassNode<C>))
      out.push_back("class");
    else if (t == typeid(BasicNFACIClassNode<C>))
      out.push_back("ciclass");
    else if (t == typeid(BasicNFAQuoteNode<C>))
      out.push_back("quote");
    else if (t == typeid(BasicNFACIQuoteNode<C>))
      out.push_back("ciquote");
    else if (t == typeid(BasicNFAStartOfInputNode<C>))
      out.push_back("startinput");
    else if (t == typeid(BasicNFAEndOfInputNode<C>))
      out.push_back("endinput");
    else if (t == typeid(BasicNFAStartOfLineNode<C>))
      out.push_back("startline");
    else if (t == typeid(BasicNFAEndOfLineNode<C>))
      out.push_back("endline");
    else if (t == typeid(BasicNFAGreedyQuantifierNode<C>))
      out.push_back("greedy");
    else if (t == typeid(BasicNFALazyQuantifierNode<C>))
      out.push_back("lazy");
    else if (t == typeid(BasicNFAPossessiveQuantifierNode<C>))
      out.push_back("possessive");
    else
      out.push_back("other");
  }
  return out;
}

TYPED_TEST(EngineInternals, CompiledChains) {
  using C = TypeParam;
  using P = BasicPattern<C>;
  struct Case {
    const char* pattern;
    unsigned long flags;
    std::vector<std::string> chain;
  };
  const Case cases[] = {
      {"", 0, {"start", "substart", "end"}},
      {"abc", 0, {"start", "substart", "char", "char", "char", "end"}},
      {"abc", P::IGNORE_CASE, {"start", "substart", "cichar", "cichar", "cichar", "end"}},
      // An escape that stands for one character stays exact under IGNORE_CASE.
      {"\\x61\\.", P::IGNORE_CASE, {"start", "substart", "char", "char", "end"}},
      {"[ab]\\d", P::IGNORE_CASE, {"start", "substart", "ciclass", "ciclass", "end"}},
      {"[ab].", 0, {"start", "substart", "class", "class", "end"}},
      {"a.b", P::LITERAL_TEXT, {"start", "quote", "end"}},
      {"a.b", P::LITERAL_TEXT | P::IGNORE_CASE, {"start", "ciquote", "end"}},
      {"^a$", 0, {"start", "substart", "startinput", "char", "endinput", "end"}},
      {"^a$", P::LINE_ANCHORS, {"start", "substart", "startline", "char", "endline", "end"}},
      {"a*b+?c{2}+", 0, {"start", "substart", "greedy", "lazy", "possessive", "end"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, ""));
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ChainKinds<C>(p.get()), c.chain);
  }
  PatternPtr<C> literal = Compile<C>("a.b", P::LITERAL_TEXT);
  EXPECT_EQ(PatternInternals<C>::groupCount(literal.get()), 1);
}

// collectNodes reaches every node the pattern made (quantifier bodies and
// their accept nodes included) exactly once.
TYPED_TEST(EngineInternals, CollectNodesReachesEveryNode) {
  using C = TypeParam;
  for (const char* pattern : {"a*b?c{2,3}d", "x\\d+?[a-c]*+$"}) {
    SCOPED_TRACE(pattern);
    PatternPtr<C> p = Compile<C>(pattern);
    ASSERT_NE(p, nullptr);
    typename BasicNFANode<C>::NodeSet seen;
    PatternInternals<C>::head(p.get())->collectNodes(seen);
    EXPECT_EQ(seen.size(), PatternInternals<C>::nodeCount(p.get()));
  }
}

TYPED_TEST(EngineInternals, SetOperations) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  auto W = [](const std::string& s) { return Widen<C>(s); };
  // Union keeps the larger multiplicity, intersection the smaller; both sort.
  EXPECT_EQ(I::unite(W("cab"), W("bd")), W("abcd"));
  EXPECT_EQ(I::unite(W("aab"), W("a")), W("aab"));
  EXPECT_EQ(I::intersect(W("aab"), W("aa")), W("aa"));
  EXPECT_EQ(I::intersect(W("abc"), W("ABC")), W(""));
  EXPECT_EQ(I::unite(W(std::string("\0a", 2)), W("")), W(std::string("\0a", 2)));
  // Ranges count over unsigned values: up to the highest byte, and across 0x80.
  EXPECT_EQ(I::range(C(0xFE), C(0xFF)), W("\xFE\xFF"));
  EXPECT_EQ(I::range(C(0x7F), C(0x81)), W("\x7F\x80\x81"));
  EXPECT_EQ(I::range(C('b'), C('a')), W(""));
  // A complement runs from the top of its range down to 0; IGNORE_CASE also
  // leaves out the other case of each ASCII letter.
  const std::basic_string<C> all = I::complement(W(""), 0);
  EXPECT_EQ(all.size(), RegexTraits<C>::kComplementHigh + 1);
  EXPECT_EQ(RegexTraits<C>::value(all.front()), RegexTraits<C>::kComplementHigh);
  EXPECT_EQ(all.back(), C(0));
  EXPECT_EQ(I::complement(W("a"), 0).size(), RegexTraits<C>::kComplementHigh);
  EXPECT_EQ(I::complement(W("a1"), BasicPattern<C>::IGNORE_CASE).size(),
            RegexTraits<C>::kComplementHigh - 2);
}

// Where the syntax leaves the meaning open, the engine's choices.
TYPED_TEST(EngineInternals, OpenPointsOfTheSyntax) {
  using C = TypeParam;
  const char kPlain[] = "Syntax Error near here. \n";
  const char kMeta[] = "Syntax Error near here. Possible unescaped meta character.\n";
  // "\e" stands for the carriage return, as "\r" does.
  EXPECT_TRUE(BasicPattern<C>::matches(Widen<C>("\\e"), Widen<C>("\r")));
  EXPECT_TRUE(BasicPattern<C>::matches(Widen<C>("[\\e]"), Widen<C>("\r")));
  EXPECT_FALSE(BasicPattern<C>::matches(Widen<C>("\\e"), Widen<C>("\x1B")));
  struct ErrorCase {
    const char* pattern;
    std::string report;
  };
  const ErrorCase errors[] = {
      // "\x" without two hexadecimal digits: an error at the "x".
      {"\\xg1", "\\xg1\n ^\n" + std::string(kPlain)},
      {"ab\\x4", "ab\\x4\n   ^\n" + std::string(kPlain)},
      {"[\\x]", "[\\x]\n  ^\n" + std::string(kPlain)},
      // A reversed range: an error after its last character; the class goes on.
      {"[z-a]", "[z-a]\n   ^\n" + std::string(kPlain)},
      {"[b-a-c]", "[b-a-c]\n   ^\n" + std::string(kPlain)},
      // A quantifier after a sub-pattern reference is read at atom position.
      {"a{missing}*", "a{missing}*\n ^\n" + std::string(kPlain)},
      // A group number too large for an int.
      {"a{0,99999999999}", "a{0,99999999999}\n ^\n" + std::string(kPlain)},
  };
  for (const ErrorCase& e : errors) {
    SCOPED_TRACE(e.pattern);
    PatternPtr<C> p;
    std::string report = StderrOf([&] { p = Compile<C>(e.pattern); });
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(report, e.report);
  }
  // A registered sub-pattern followed by a quantifier.
  ASSERT_TRUE(BasicPattern<C>::registerName(Widen<C>("xy"), Widen<C>("b")));
  PatternPtr<C> quantified;
  std::string report = StderrOf([&] { quantified = Compile<C>("a{xy}*"); });
  EXPECT_EQ(quantified, nullptr);
  EXPECT_EQ(report, "a{xy}*\n     ^\n" + std::string(kMeta));
  BasicPattern<C>::clearNames();
}

TYPED_TEST(EngineInternals, DeepNestingIsAnErrorNotACrash) {
  using C = TypeParam;
  const std::string classes(5000, '[');
  PatternPtr<C> p;
  std::string report = StderrOf([&] { p = Compile<C>(classes); });
  EXPECT_EQ(p, nullptr);
  EXPECT_FALSE(report.empty());
}

// Runs body on a thread whose stack is `bytes` large; a stack overflow there
// crashes the test instead of passing it.
void OnStackOf(size_t bytes, const std::function<void()>& body) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, bytes), 0);
  pthread_t thread;
  auto trampoline = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&body)),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

// The deepest attempt the bound allows fits in a 6 MiB stack, which leaves
// room below the usual 8 MiB main-thread stack even with the sanitizers.
TYPED_TEST(EngineInternals, DeepestAttemptFitsTheStack) {
  using C = TypeParam;
  const std::basic_string<C> mib(1 << 20, C('a'));
  // Group loops recurse once per iteration; these reach the bound at every
  // start position, so a search stops at the first one.
  const char* const patterns[] = {"(a)*",     "(?:a|b)*c",     "(a)+?$",
                                  "(?:a)*+b", "(?>(a)*)b*c",   "(a|b)*(a)\\2",
                                  "(?:ab?)*", "(?:a|b|c|d)*$", "((a))*"};
  for (const char* pattern : patterns) {
    SCOPED_TRACE(pattern);
    PatternPtr<C> p = Compile<C>(pattern);
    ASSERT_NE(p, nullptr);
    bool whole = true;
    bool found = true;
    OnStackOf(6u << 20, [&] {
      MatcherPtr<C> m(p->makeMatcher(mib));
      whole = m->matches();
      found = m->findFirst();
    });
    // Cut short by the bound: no match, never a shorter one.
    EXPECT_FALSE(whole);
    EXPECT_FALSE(found);
  }
}

// A class node's lookup table serves only while it holds all members:
// members entered into vals after construction (as the parser may enter
// them) are found, before and after the table is rebuilt, and a node whose
// members were copied from the shared "\\d" set owns its own map.
TYPED_TEST(EngineInternals, ClassLookupFollowsTheMemberMap) {
  using C = TypeParam;
  BasicNFAClassNode<C> later(false);
  EXPECT_FALSE(later.isMember(C('q')));
  later.vals[C('q')] = true;
  later.vals[static_cast<C>(0xE9)] = true;
  EXPECT_TRUE(later.isMember(C('q')));
  EXPECT_TRUE(later.isMember(static_cast<C>(0xE9)));
  later.indexMembers();
  EXPECT_TRUE(later.isMember(C('q')));
  EXPECT_FALSE(later.isMember(C('r')));
  later.vals[C('r')] = true;
  EXPECT_TRUE(later.isMember(C('r')));

  BasicNFAClassNode<C> built(Widen<C>("zay"), true);
  EXPECT_EQ(built.vals.size(), 3u);
  EXPECT_TRUE(built.isMember(C('a')));
  EXPECT_FALSE(built.isMember(C('b')));

  PatternPtr<C> p = Compile<C>("\\d\\d");
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->matches(Widen<C>("42")));
  EXPECT_FALSE(p->matches(Widen<C>("4x")));
  PatternPtr<C> again = Compile<C>("[^\\d]\\D\\w");
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->matches(Widen<C>("ab_")));
  EXPECT_FALSE(again->matches(Widen<C>("a1_")));
  EXPECT_FALSE(again->matches(Widen<C>("ab-")));
}

// More groups than the matcher keeps inside itself.
TYPED_TEST(EngineInternals, ManyGroups) {
  using C = TypeParam;
  PatternPtr<C> p = Compile<C>("(a)(b)(c)(d)(e)(f)(g)(h)(?:i)(?:(j)|k)(l)?");
  ASSERT_NE(p, nullptr);
  MatcherPtr<C> m(p->makeMatcher(Widen<C>("abcdefghij")));
  ASSERT_TRUE(m->matches());
  EXPECT_EQ(m->groupStart(9), 9);
  EXPECT_EQ(m->groupEnd(9), 10);
  EXPECT_EQ(m->groupStart(10), -1);
  EXPECT_EQ(m->groups(false).size(), 10u);
  m->setText(Widen<C>("abcdefghikl"));
  ASSERT_TRUE(m->matches());
  EXPECT_EQ(m->groupStart(9), -1);
  EXPECT_EQ(m->groupStart(10), 10);
}

struct GroupCase {
  const char* pattern;
  unsigned long flags;
  const char* text;
  bool matches;
  int group;  // a group to check after a match, -1 for none
  int start;
  int end;
};

// Groups, alternation, look-around, back references, group loops and inline
// flags, whole-text matches.
TYPED_TEST(EngineInternals, GroupsAndAlternation) {
  using C = TypeParam;
  const GroupCase cases[] = {
      {"(a)b|ac", 0, "ac", true, 1, -1, -1},
      {"(a|b)", 0, "b", true, 1, 0, 1},
      {"(a|b|c)d", 0, "cd", true, 1, 0, 1},
      {"(a|b|c)d", 0, "b", false, -1, 0, 0},
      {"a|b|c", 0, "c", true, 0, 0, 1},
      {"(?:x|a*|c)ab", 0, "aab", false, -1, 0, 0},
      {"(?:a*|x)ab", 0, "aab", true, -1, 0, 0},
      {"x(?:a|bc|b)c", 0, "xbc", true, -1, 0, 0},
      {"(a(b)|c)", 0, "c", true, 2, -1, -1},
      {"(a(?:b)(e))", 0, "abe", true, 2, 2, 3},
      {"(x)|(y)", 0, "y", true, 2, 0, 1},
      {"a(?=b)b", 0, "ab", true, -1, 0, 0},
      {"a(?=b)", 0, "ab", false, -1, 0, 0},
      {"(?!a).", 0, "a", false, -1, 0, 0},
      {"(?=(a))b|a", 0, "a", true, 1, 0, 1},
      {"a(?<=a)b", 0, "ab", true, -1, 0, 0},
      {"a(?<!a)b", 0, "ab", false, -1, 0, 0},
      {"(?<!a)b", 0, "b", true, -1, 0, 0},
      {"a(?<=A)b", BasicPattern<C>::IGNORE_CASE, "ab", false, -1, 0, 0},
      {"a(?<=\\d)", 0, "a", false, -1, 0, 0},
      {"(a)\\1", BasicPattern<C>::IGNORE_CASE, "aA", false, -1, 0, 0},
      {"(a*)b\\1", 0, "aabaa", true, 1, 0, 2},
      {"(a*)b\\1", 0, "aaba", false, -1, 0, 0},
      {"\\1(a)", 0, "a", true, 1, 0, 1},
      {"(a)\\2", 0, "a", true, -1, 0, 0},
      {"(?:a){1,2}+a", 0, "aa", true, -1, 0, 0},
      {"(?:a)++a", 0, "aaa", false, -1, 0, 0},
      {"(a?){3}b", 0, "ab", true, 1, 1, 1},
      {"(a)*", 0, "aaa", true, 1, 2, 3},
      {"(a)*", 0, "", true, 1, -1, -1},
      {"(a*)*b", 0, "b", true, 1, 0, 0},
      {"(a)*?a", 0, "aaa", true, 1, 1, 2},
      {"(?>a+)a", 0, "aa", false, -1, 0, 0},
      {"(?>a+)b", 0, "aab", true, -1, 0, 0},
      {"(?>ab|a)b", 0, "ab", false, -1, 0, 0},
      {"(?i)ab", 0, "AB", true, -1, 0, 0},
      {"a(?i)b", 0, "AB", false, -1, 0, 0},
      {"(?i:a)b", 0, "AB", false, -1, 0, 0},
      {"((?i)a)b", 0, "Ab", true, -1, 0, 0},
      {"(a|(?i)b)c", 0, "BC", false, -1, 0, 0},
      {"(?i-i)a", 0, "A", false, -1, 0, 0},
      {"(?)a", 0, "a", true, -1, 0, 0},
      {"(?s:.)", 0, "\n", true, -1, 0, 0},
      {".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", BasicPattern<C>::DOT_ANY, "BIOS 10.2.3.4 x", true, 1, 6,
       13},
  };
  for (const GroupCase& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, c.text));
    PatternPtr<C> p = Compile<C>(c.pattern, c.flags);
    ASSERT_NE(p, nullptr);
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(c.text)));
    ASSERT_EQ(m->matches(), c.matches);
    if (c.matches && c.group >= 0) {
      EXPECT_EQ(m->groupStart(c.group), c.start);
      EXPECT_EQ(m->groupEnd(c.group), c.end);
    }
  }
  // "(x|y)(z)" numbers its groups 1 and 2 and has three capture slots.
  PatternPtr<C> p = Compile<C>("(x|y)(z)");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(PatternInternals<C>::groupCount(p.get()), 3);
}

// A random pattern over the letters a, b and x, the comma and the digit 1
// (no bracketed complement: the wide one costs 65536 members to compile):
// atoms and position tests with every kind of quantifier, capturing and
// non-capturing groups with alternatives, and now and then a node that
// keeps the failure memo out of the pattern: a back reference, "\\G", a
// look-ahead or atomic group, or a quantified group, each holding more of
// the same.
std::string RandomPattern(std::mt19937& rng, int depth) {
  static const char* const kAtoms[] = {"a",   "b", ",", ".", "[ab]", "\\w",    "\\W",
                                       "\\d", "x", "^", "$", "\\b",  "(?<=a)", "a,"};
  static const char* const kQuantifiers[] = {"",   "",   "",      "*",  "+",   "?",
                                             "*?", "+?", "{1,3}", "*+", "{2}", "{0,2}?"};
  static const char* const kOpenings[] = {"(?=", "(?!", "(?>", "(?=(", "(?>("};
  static const char* const kLoops[] = {"*", "+", "?", "{1,2}", "*?", "+?", "*+", "{2}"};
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto group = [&](const std::string& opening) {
    std::string out = opening + RandomPattern(rng, depth + 1);
    if (pick(2)) out += "|" + RandomPattern(rng, depth + 1);
    if (pick(3) == 0) out += "|" + RandomPattern(rng, depth + 1);
    return out + ")";
  };
  std::string out;
  const int items = 1 + pick(5);
  for (int i = 0; i < items; ++i) {
    const int kind = pick(40);
    if (kind == 0) {
      out += pick(2) ? "\\1" : "\\2";
    } else if (kind == 1) {
      out += "\\G";
    } else if (kind <= 3 && depth < 2) {
      const std::string opening = kOpenings[pick(5)];
      out += group(opening) + (opening.size() == 4 ? ")" : "");
    } else if (kind <= 5 && depth < 2) {
      out += group(pick(2) ? "(" : "(?:") + kLoops[pick(8)];
    } else if (kind <= 11 && depth < 2) {
      out += group(pick(2) ? "(" : "(?:");
    } else {
      out += kAtoms[pick(14)];
      out += kQuantifiers[pick(12)];
    }
  }
  return out;
}

// What a caller can see after one match operation: its result and the
// bounds of every group.
template <class C>
std::vector<int> Outcome(BasicMatcher<C>* m, bool result, int groups) {
  std::vector<int> out = {result ? 1 : 0};
  for (int g = 0; g < groups; ++g) {
    out.push_back(m->groupStart(g));
    out.push_back(m->groupEnd(g));
  }
  return out;
}

// The failure memo changes nothing a caller can see: a matcher with the
// memo on from its first step and one without it report the same results
// and the same group bounds, for whole-text matches and for every match of
// a search, on many random patterns and texts.
TYPED_TEST(EngineInternals, FailureMemoChangesNoResult) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  std::mt19937 rng(20261210);
  int memoized = 0;
  const unsigned long DA = BasicPattern<C>::DOT_ANY;
  // Where the memo would go wrong if it served patterns with these nodes:
  // a failed attempt leaves the bounds a look-ahead or atomic body recorded,
  // and loop state and back references travel with the match.
  struct Case {
    std::string pattern;
    unsigned long flags;
    std::string text;
  };
  std::vector<Case> cases = {
      {"(?:[ab]*?.*(?=(a))z|.*)", 0, "aa"},
      {"(?:[ab]*?.*(?>(a))z|.*)", 0, "aa"},
      {"(?:^*(\\b{0,2}?|$+).{1,3}[ab]*)*+([ab][ab]?)a{1,3}", DA, ",bbabb1,abaa"},
      {"(,|\\1x{0,2}?(\\w*|\\w*+^{0,2}?|\\d*+\\W{2}b{0,2}?a,a)(?:[ab]\\w+b*?aa*|\\W{0,2}?"
       "\\2b*+[ab]{0,2}?)a{0,2}?)x{1,3}",
       0, "b1xbx11abxa,"},
  };
  for (int round = 0; round < 4000; ++round) {
    const std::string pattern = RandomPattern(rng, 0);
    const unsigned long flags = rng() % 2 ? DA : 0;
    for (int t = 0; t < 4; ++t) {
      std::string text;
      const int length = static_cast<int>(rng() % 16);
      for (int i = 0; i < length; ++i) text += "ab,x1"[rng() % 5];
      cases.push_back({pattern, flags, text});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.pattern, c.flags, c.text));
    PatternPtr<C> p;
    StderrOf([&] { p = Compile<C>(c.pattern, c.flags); });
    if (!p) continue;
    const int groups = I::groupCount(p.get());
    MatcherPtr<C> on(p->makeMatcher(Widen<C>(c.text)));
    MatcherPtr<C> off(p->makeMatcher(Widen<C>(c.text)));
    I::setMemoAfterSteps(on.get(), -1);
    I::setMemoAfterSteps(off.get(), LONG_MAX);
    const bool whole = on->matches();
    ASSERT_EQ(Outcome(on.get(), whole, groups), Outcome(off.get(), off->matches(), groups));
    if (I::memoOn(on.get())) ++memoized;
    for (size_t step = 0; step <= c.text.size() + 1; ++step) {
      const bool found = on->findNext();
      ASSERT_EQ(Outcome(on.get(), found, groups), Outcome(off.get(), off->findNext(), groups))
          << "search match " << step;
      if (I::memoOn(on.get())) ++memoized;
      EXPECT_FALSE(I::memoOn(off.get()));
      if (!found) break;
    }
  }
  // The memo was really on in a good share of the operations compared.
  EXPECT_GT(memoized, 1000);
}

// The memo starts only where it is exact, and only once an operation has
// tried many positions.
TYPED_TEST(EngineInternals, FailureMemoStartsWhereItIsExact) {
  using C = TypeParam;
  using I = PatternInternals<C>;
  const std::string longText(40000, 'a');
  struct Case {
    const char* pattern;
    std::string text;
    bool memo;
  };
  const Case cases[] = {
      {"a.*b.*c", longText, true},
      {"a.*b.*c", "aaaab", false},  // a short text never reaches the budget
      {"(a).*b.*c\\1", longText, false},
      {"(?:a)*.*b.*c", longText, false},
      {"(?=a).*b.*c", longText, false},
      {"(?>a).*b.*c", longText, false},
      {"\\Ga.*b.*c", longText, false},
      {"(a|b).*(?<=a)b.*c", longText, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    PatternPtr<C> p = Compile<C>(c.pattern);
    ASSERT_NE(p, nullptr);
    MatcherPtr<C> m(p->makeMatcher(Widen<C>(c.text)));
    EXPECT_FALSE(m->matches());
    EXPECT_EQ(I::memoOn(m.get()), c.memo);
    // Each operation starts without the memo of the one before.
    m->setText(Widen<C>("abc"));
    m->matches();
    EXPECT_FALSE(I::memoOn(m.get()));
  }
}

TYPED_TEST(EngineInternals, GroupSyntaxErrors) {
  using C = TypeParam;
  const std::string meta = "Syntax Error near here. Possible unescaped meta character.\n";
  const std::string plain = "Syntax Error near here. \n";
  auto R = [](const std::string& pattern, int blanks, const std::string& message) {
    return pattern + "\n" + std::string(blanks, ' ') + "^\n" + message;
  };
  struct ErrorCase {
    const char* pattern;
    std::string report;
  };
  const ErrorCase cases[] = {
      {"(?x)", R("(?x)", 1, meta) + R("(?x)", 1, meta)},
      {"(?i", R("(?i", 2, plain) + R("(?i", 2, plain)},
      {"(a", R("(a", 1, plain) + R("(a", 1, plain)},
      {"((a", R("((a", 2, plain) + R("((a", 2, plain) + R("((a", 2, plain) + R("((a", 2, plain)},
      {"(?<=ab", R("(?<=ab", 5, plain)},
      {"(?=a)*", R("(?=a)*", 5, meta)},
      {"(?<=a)?", R("(?<=a)?", 6, meta)},
      {"a|*", R("a|*", 2, meta)},
      {"(?i--i)", R("(?i--i)", 3, plain) + R("(?i--i)", 3, plain)},
      // Every later alternative is a level of its own: each reports once
      // more that the group is not closed, or reads one more character
      // before it gives up.
      {"(a|b", R("(a|b", 3, plain) + R("(a|b", 3, plain) + R("(a|b", 3, plain)},
      {"(a|b|c", R("(a|b|c", 5, plain) + R("(a|b|c", 5, plain) + R("(a|b|c", 5, plain) +
                     R("(a|b|c", 5, plain)},
      {"(a|*|b)", R("(a|*|b)", 3, meta) + R("(a|*|b)", 5, plain)},
      {"(a|b|*|c|d)", R("(a|b|*|c|d)", 5, meta) + R("(a|b|*|c|d)", 8, plain)},
      {"x|y|*", R("x|y|*", 4, meta)},
  };
  for (const ErrorCase& e : cases) {
    SCOPED_TRACE(e.pattern);
    PatternPtr<C> p;
    std::string report = StderrOf([&] { p = Compile<C>(e.pattern); });
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(report, e.report);
  }
}

// Both widths write the report as bytes; a wide character that is not ASCII
// shows as one "?", so the caret stays under the right column, and the
// pattern line ends at a NUL as "%s" ends it.
TEST(WideReports, NonAsciiCharactersShowAsQuestionMarks) {
  std::wstring pattern = L"\u00E9\u4E2D*";
  pattern += L"*";
  WidePattern* p = nullptr;
  std::string report = StderrOf([&] { p = WidePattern::compile(pattern); });
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(report, "??**\n   ^\nSyntax Error near here. Possible unescaped meta character.\n");
  std::wstring withNul(L"a\0b)", 4);
  report = StderrOf([&] { p = WidePattern::compile(withNul); });
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(report, "a\n   ^\nSyntax Error near here. Possible unescaped meta character.\n");
}

TEST(NarrowPrint, DumpsOneLinePerNode) {
  PatternPtr<char> p = Compile<char>("ab[c]x{2}");
  ASSERT_NE(p, nullptr);
  testing::internal::CaptureStdout();
  p->print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Pattern(ab[c]x{2}):\n"
            "  12NFAStartNode\n"
            "  15NFASubStartNode\n"
            "  11NFACharNode(0x61)\n"
            "  11NFACharNode(0x62)\n"
            "  12NFAClassNode(1 vals, inv=false)\n"
            "  23NFAGreedyQuantifierNode(min=2, max=2)\n"
            "    inner\n"
            "      11NFACharNode(0x78)\n"
            "      13NFAAcceptNode\n"
            "  10NFAEndNode\n");
}

// Every node kind's line, byte for byte: alternation (with the rest of the
// pattern under each branch, and an alternative that goes on after its own
// group), look-ahead, look-behind, the group loop's three type words, back
// reference, a case-insensitive class (no line of its own) and the quotes.
TEST(NarrowPrint, DumpsEveryNodeKind) {
  struct Case {
    const char* pattern;
    const char* dump;
  };
  const Case cases[] = {
      {"(?:(a|b)c|x)d",
       "Pattern((?:(a|b)c|x)d):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  9NFAOrNode\n"
       "    one\n"
       "      16NFAGroupHeadNode(gi=-1)\n"
       "      9NFAOrNode\n"
       "        one\n"
       "          16NFAGroupHeadNode(gi=1)\n"
       "          11NFACharNode(0x61)\n"
       "          13NFAAcceptNode\n"
       "          13NFAAcceptNode\n"
       "          16NFAGroupTailNode(gi=1)\n"
       "          11NFACharNode(0x63)\n"
       "          13NFAAcceptNode\n"
       "          13NFAAcceptNode\n"
       "          16NFAGroupTailNode(gi=-1)\n"
       "          11NFACharNode(0x64)\n"
       "          10NFAEndNode\n"
       "        two\n"
       "          16NFAGroupHeadNode(gi=1)\n"
       "          11NFACharNode(0x62)\n"
       "          13NFAAcceptNode\n"
       "          13NFAAcceptNode\n"
       "          16NFAGroupTailNode(gi=1)\n"
       "          11NFACharNode(0x63)\n"
       "          13NFAAcceptNode\n"
       "          13NFAAcceptNode\n"
       "          16NFAGroupTailNode(gi=-1)\n"
       "          11NFACharNode(0x64)\n"
       "          10NFAEndNode\n"
       "    two\n"
       "      16NFAGroupHeadNode(gi=-1)\n"
       "      11NFACharNode(0x78)\n"
       "      13NFAAcceptNode\n"
       "      13NFAAcceptNode\n"
       "      16NFAGroupTailNode(gi=-1)\n"
       "      11NFACharNode(0x64)\n"
       "      10NFAEndNode\n"},
      {"(?=a)b",
       "Pattern((?=a)b):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  16NFALookAheadNode(pos=true)\n"
       "    15NFASubStartNode\n"
       "    11NFACharNode(0x61)\n"
       "    13NFAAcceptNode\n"
       "  11NFACharNode(0x62)\n"
       "  10NFAEndNode\n"},
      {"(?<!ab)c",
       "Pattern((?<!ab)c):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  17NFALookBehindNode(str=ab, pos=false)\n"
       "  11NFACharNode(0x63)\n"
       "  10NFAEndNode\n"},
      {"(a)*(b)+?(?:c){1,2}+",
       "Pattern((a)*(b)+?(?:c){1,2}+):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  24NFAGroupLoopPrologueNode(gi=1)\n"
       "  16NFAGroupLoopNode(gi=1, min=0, max=2147483647, type=greedy)\n"
       "  24NFAGroupLoopPrologueNode(gi=2)\n"
       "  16NFAGroupLoopNode(gi=2, min=1, max=2147483647, type=reluctant)\n"
       "  24NFAGroupLoopPrologueNode(gi=-1)\n"
       "  16NFAGroupLoopNode(gi=-1, min=1, max=2, type=possessive)\n"
       "  10NFAEndNode\n"},
      {"(a)\\1",
       "Pattern((a)\\1):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  16NFAGroupHeadNode(gi=1)\n"
       "  11NFACharNode(0x61)\n"
       "  16NFAGroupTailNode(gi=1)\n"
       "  16NFAReferenceNode(gi=1)\n"
       "  10NFAEndNode\n"},
      {"(?i)[a-c]d",
       "Pattern((?i)[a-c]d):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  17NFALookBehindNode(str=, pos=true)\n"
       "  13NFACICharNode(0x64)\n"
       "  10NFAEndNode\n"},
      {"\\Qa.b\\E(?i)\\Qx\\E",
       "Pattern(\\Qa.b\\E(?i)\\Qx\\E):\n"
       "  12NFAStartNode\n"
       "  15NFASubStartNode\n"
       "  12NFAQuoteNode(a.b)\n"
       "  17NFALookBehindNode(str=, pos=true)\n"
       "  14NFACIQuoteNode(x)\n"
       "  10NFAEndNode\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    PatternPtr<char> p = Compile<char>(c.pattern);
    ASSERT_NE(p, nullptr);
    testing::internal::CaptureStdout();
    p->print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.dump);
  }
}

#if defined(__GXX_ABI_VERSION)
// The narrow node's virtual operations in their order: the destructor,
// collectNodes, match, dump, isGroupHead, isStartOfInput, and the greedy
// quantifier's matchGreedy after them. Under the Itanium ABI a pointer to a
// virtual member holds one more than the operation's offset in the table.
template <class F>
std::ptrdiff_t SlotOf(F member) {
  struct Representation {
    std::ptrdiff_t ptr;
    std::ptrdiff_t adjust;
  } r;
  static_assert(sizeof(member) == sizeof(r), "Itanium member pointers");
  std::memcpy(&r, &member, sizeof(r));
  return (r.ptr - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

TEST(NarrowNodeOperations, DumpStandsBetweenMatchAndIsGroupHead) {
  // Slots 0 and 1 are the two forms of the virtual destructor.
  EXPECT_EQ(SlotOf(&NFANode::collectNodes), 2);
  EXPECT_EQ(SlotOf(&NFANode::match), 3);
  EXPECT_EQ(SlotOf(&NFANode::dump), 4);
  EXPECT_EQ(SlotOf(&NFANode::isGroupHead), 5);
  EXPECT_EQ(SlotOf(&NFANode::isStartOfInput), 6);
  EXPECT_EQ(SlotOf(&NFAGreedyQuantifierNode::matchGreedy), 7);
  // The wide node has no dump: isGroupHead follows match.
  EXPECT_EQ(SlotOf(&NFAUNode::match), 3);
  EXPECT_EQ(SlotOf(&NFAUNode::isGroupHead), 4);
  EXPECT_EQ(SlotOf(&NFAGreedyQuantifierUNode::matchGreedy), 6);
}
#endif

}  // namespace
}  // namespace zrn_regex_test
