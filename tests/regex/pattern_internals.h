// White-box access to a compiled pattern and its matchers for the engine's
// own tests and fuzz targets: the node graph, the class set operations and
// the failure memo's start. Nothing of the program uses it; BasicPattern and
// BasicMatcher name it as a friend.
#ifndef ZRN_TESTS_REGEX_PATTERN_INTERNALS_H
#define ZRN_TESTS_REGEX_PATTERN_INTERNALS_H

#include <cstddef>
#include <string>

#include "regex/pattern.h"

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
  // The failure memo from the first position tried (-1) or never (LONG_MAX).
  static void setMemoAfterSteps(BasicMatcher<C>* m, long steps) { m->memoAfterSteps = steps; }
  static bool memoOn(const BasicMatcher<C>* m) { return m->memoOn; }
  // Steps the matcher's last operation took (node calls, positions a
  // repetition tried or stepped over, characters it tested).
  static long steps(const BasicMatcher<C>* m) { return m->steps; }
  // What an operation of a memo-served pattern may take at the most over a
  // text of `length` characters.
  static long stepBound(const P* p, size_t length) {
    return BasicMatcher<C>::kStepBoundConstant +
           BasicMatcher<C>::kStepsPerNodePosition * static_cast<long>(p->nodes.size()) *
               (static_cast<long>(length) + 1);
  }
  // Whether the parser let the memo serve this pattern.
  static bool memoizable(const P* p) { return p->memoizable; }
  // The matcher behind the pattern's own matches, findAll, split and replace.
  static BasicMatcher<C>* ownMatcher(P* p) { return p->matcher; }
  static String complement(const String& set, unsigned long flags) {
    P* p = P::compile(String(), flags);
    String out = p->classComplement(set);
    delete p;
    return out;
  }
};

#endif  // ZRN_TESTS_REGEX_PATTERN_INTERNALS_H
