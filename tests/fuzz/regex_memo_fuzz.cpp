// Differential fuzz target for the engine's failure memo: for any pattern,
// flag word and text, matchers with the memo on from the first position
// tried, on after a few positions, and never on must report the same result
// and the same bounds of every group after every operation (matches, a
// search continued after it, findFirst, findNext to the end, a search after
// reset), and the pattern's own matches, findAll, split and replace must
// agree as well, in both widths. Any difference aborts.
//
// It also checks that the memo never starts for a pattern that holds a node
// whose outcome depends on more than the text and the position (back
// reference, look-ahead, atomic group, group loop, "\G"), however early it
// is asked to start. The input layout is described in regex_input.h; the
// top bits of byte 0 choose after how many positions the third matcher
// starts its memo.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "regex/group_nodes.h"
#include "regex/pattern.h"
#include "regex/quantifier_nodes.h"
#include "tests/fuzz/regex_input.h"
#include "tests/regex/pattern_internals.h"

namespace {

// Memo starts compared with "never" (LONG_MAX): from the first position
// tried, and after a few positions, chosen by the input, so that ranges
// recorded part-way through an operation are compared too.
constexpr long kMemoAlways = -1;
constexpr long kMemoLater[] = {1, 2, 3, 5, 8, 13, 40, 200};

// Longest text compared. Without the memo, nested repetitions cost time
// polynomial in the text's length, and every operation runs three times;
// short texts already reach every memo range shape, and the long seeds that
// start the memo by its own budget are regex_fuzz's.
constexpr size_t kMaxTextLength = 96;

[[noreturn]] void Mismatch(const char* what) {
  std::fprintf(stderr, "failure memo changed %s\n", what);
  std::abort();
}

// A node whose outcome reads more than the text and the position.
template <class C>
bool ReadsState(BasicNFANode<C>* node) {
  const std::type_info& t = typeid(*node);
  if (t == typeid(BasicNFAReferenceNode<C>) || t == typeid(BasicNFALookAheadNode<C>) ||
      t == typeid(BasicNFAGroupLoopNode<C>) || t == typeid(BasicNFAGroupLoopPrologueNode<C>) ||
      t == typeid(BasicNFAEndOfMatchNode<C>)) {
    return true;
  }
  // An atomic group is a possessive repetition of a whole body, which starts
  // with a sub-start node; a possessive single atom is harmless.
  if (t == typeid(BasicNFAPossessiveQuantifierNode<C>)) {
    auto* q = static_cast<BasicNFAPossessiveQuantifierNode<C>*>(node);
    return typeid(*q->inner) == typeid(BasicNFASubStartNode<C>);
  }
  return false;
}

template <class C>
void CheckEligibility(BasicPattern<C>* p) {
  using I = PatternInternals<C>;
  typename BasicNFANode<C>::NodeSet nodes;
  I::head(p)->collectNodes(nodes);
  for (const auto& entry : nodes) {
    if (ReadsState(entry.first) && I::memoizable(p)) Mismatch("eligibility");
  }
}

// Everything a caller can see after the operations of one matcher, in order.
template <class C>
class Trace {
 public:
  Trace(BasicPattern<C>* pattern, long memoAfter) : p(pattern), memoAfter(memoAfter) {}

  std::vector<long> run(const std::basic_string<C>& text) {
    using I = PatternInternals<C>;
    std::unique_ptr<BasicMatcher<C>> m(p->makeMatcher(text));
    I::setMemoAfterSteps(m.get(), memoAfter);
    // A text of n characters has at most n + 1 matches; the cap keeps a
    // matcher that repeats itself from running on.
    const size_t cap = text.size() + 2;
    record(*m, m->matches());
    for (size_t i = 0; i < cap && record(*m, m->findNext()); ++i) {
    }
    record(*m, m->findFirst());
    for (size_t i = 0; i < cap && record(*m, m->findNext()); ++i) {
    }
    m->reset();
    for (size_t i = 0; i < cap && record(*m, m->findNext()); ++i) {
    }
    runOwnMatcher(text);
    return out;
  }

 private:
  bool record(BasicMatcher<C>& m, bool result) {
    if (PatternInternals<C>::memoOn(&m) && !PatternInternals<C>::memoizable(p)) {
      Mismatch("nothing: it started for a pattern it cannot serve");
    }
    out.push_back(result ? 1 : 0);
    const int groups = PatternInternals<C>::groupCount(p);
    for (int g = 0; g < groups; ++g) {
      out.push_back(m.groupStart(g));
      out.push_back(m.groupEnd(g));
    }
    return result;
  }

  void recordTexts(const std::vector<std::basic_string<C>>& texts) {
    out.push_back(-2 - static_cast<long>(texts.size()));
    for (const auto& t : texts) {
      out.push_back(static_cast<long>(t.size()));
      for (C c : t) out.push_back(static_cast<long>(c));
    }
  }

  // The pattern's own operations run on its internal matcher.
  void runOwnMatcher(const std::basic_string<C>& text) {
    PatternInternals<C>::setMemoAfterSteps(PatternInternals<C>::ownMatcher(p), memoAfter);
    out.push_back(p->matches(text) ? 1 : 0);
    recordTexts(p->findAll(text));
    recordTexts(p->split(text, true, 3));
    recordTexts(p->split(text, false, 0));
    const std::basic_string<C> replacement = {C('<'), C('\\'), C('1'), C('>')};
    recordTexts({p->replace(text, replacement)});
  }

  BasicPattern<C>* p;
  long memoAfter;
  std::vector<long> out;
};

template <class C>
void Compare(const std::basic_string<C>& pattern, const std::basic_string<C>& text,
             unsigned long flags, long memoLater) {
  std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(pattern, flags));
  if (!p) return;
  CheckEligibility(p.get());
  if (!PatternInternals<C>::memoizable(p.get())) {
    // The memo must stay off however early it is asked to start; with it
    // off there is nothing to compare, and such patterns are often the slow
    // ones.
    Trace<C>(p.get(), kMemoAlways).run(text);
    return;
  }
  const std::vector<long> never = Trace<C>(p.get(), LONG_MAX).run(text);
  if (Trace<C>(p.get(), kMemoAlways).run(text) != never) Mismatch("a result (memo always on)");
  if (Trace<C>(p.get(), memoLater).run(text) != never) Mismatch("a result (memo started late)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegexFuzzInput input;
  if (!DecodeRegexFuzzInput(data, size, &input) || input.text.size() > kMaxTextLength) return 0;
  const long memoLater = kMemoLater[input.spare];
  Compare(input.pattern, input.text, input.flags, memoLater);
  Compare(input.widePattern, input.wideText, input.flags, memoLater);
  return 0;
}
