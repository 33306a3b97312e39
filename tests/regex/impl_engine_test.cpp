// White-box tests of the engine: the node graphs that compile builds, the
// set operations on member strings, the choices the engine makes where the
// syntax leaves one open, and the stack that the depth bound leaves room for.
#include <pthread.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "regex/pattern.h"
#include "regex/quantifier_nodes.h"
#include "tests/regex/regex_test_util.h"

template <class C>
struct PatternInternals {
  using P = BasicPattern<C>;
  using String = std::basic_string<C>;
  static BasicNFANode<C>* head(P* p) { return p->head; }
  static size_t nodeCount(P* p) { return p->nodes.size(); }
  static int groupCount(P* p) { return p->groupCount; }
  static String range(C low, C high) { return P::classRange(low, high); }
  static String unite(const String& a, const String& b) { return P::classUnion(a, b); }
  static String intersect(const String& a, const String& b) { return P::classIntersection(a, b); }
  static String complement(const String& set, unsigned long flags) {
    P* p = P::compile(String(), flags);
    String out = p->classComplement(set);
    delete p;
    return out;
  }
};

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
    if (t == typeid(BasicNFAStartNode<C>)) out.push_back("start");
    else if (t == typeid(BasicNFASubStartNode<C>)) out.push_back("substart");
    else if (t == typeid(BasicNFAEndNode<C>)) out.push_back("end");
    else if (t == typeid(BasicNFACharNode<C>)) out.push_back("char");
    else if (t == typeid(BasicNFACICharNode<C>)) out.push_back("cichar");
    else if (t == typeid(BasicNFAClassNode<C>)) out.push_back("class");
    else if (t == typeid(BasicNFACIClassNode<C>)) out.push_back("ciclass");
    else if (t == typeid(BasicNFAQuoteNode<C>)) out.push_back("quote");
    else if (t == typeid(BasicNFACIQuoteNode<C>)) out.push_back("ciquote");
    else if (t == typeid(BasicNFAStartOfInputNode<C>)) out.push_back("startinput");
    else if (t == typeid(BasicNFAEndOfInputNode<C>)) out.push_back("endinput");
    else if (t == typeid(BasicNFAStartOfLineNode<C>)) out.push_back("startline");
    else if (t == typeid(BasicNFAEndOfLineNode<C>)) out.push_back("endline");
    else if (t == typeid(BasicNFAGreedyQuantifierNode<C>)) out.push_back("greedy");
    else if (t == typeid(BasicNFALazyQuantifierNode<C>)) out.push_back("lazy");
    else if (t == typeid(BasicNFAPossessiveQuantifierNode<C>)) out.push_back("possessive");
    else out.push_back("other");
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
  // Greedy repetitions recurse once per repetition; these reach the bound
  // at every start position, so a search stops at the first one.
  const char* const patterns[] = {".*", "[a-z]{0,2000000}b", "a+$", "\\w*\\d"};
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

}  // namespace
}  // namespace zrn_regex_test
