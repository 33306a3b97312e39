// Match rules of the quantifier nodes over a single atom.
#include "regex/quantifier_nodes.h"

#include "regex/matcher.h"
#include "regex/pattern.h"

template <class C>
BasicNFAQuantifierNode<C>::BasicNFAQuantifierNode(BasicPattern<C>* pattern,
                                                  BasicNFANode<C>* innerNode, int minimum,
                                                  int maximum)
    : min(minimum < 0 ? 0 : minimum), max(maximum), inner(innerNode) {
  BasicNFANode<C>* accept =
      pattern->registerNode(new (pattern->nodeArena()) BasicNFAAcceptNode<C>());
  // An inner node that already leads somewhere (the start of an atomic
  // group's closed body) keeps its successor.
  if (inner->next == nullptr) {
    inner->next = accept;
    atomAlone = true;
  }
}

template <class C>
int BasicNFAQuantifierNode<C>::repeatOnce(const String& text, Matcher& m, int pos) const {
  if (atomAlone) {
    using Shape = typename BasicNFANode<C>::Shape;
    const int len = static_cast<int>(text.size());
    switch (this->shapeOf(inner)) {
      case Shape::kChar:
        return pos < len && text[pos] == static_cast<const BasicNFACharNode<C>*>(inner)->ch
                   ? pos + 1
                   : -1;
      case Shape::kCIChar:
        return pos < len && RegexTraits<C>::fold(text[pos]) ==
                                static_cast<const BasicNFACICharNode<C>*>(inner)->ch
                   ? pos + 1
                   : -1;
      case Shape::kClass:
      case Shape::kCIClass: {
        if (pos >= len) return -1;
        auto* cls = static_cast<const BasicNFAClassNode<C>*>(inner);
        C c = this->shapeOf(inner) == Shape::kCIClass ? RegexTraits<C>::fold(text[pos]) : text[pos];
        return cls->isMember(c) != cls->inv ? pos + 1 : -1;
      }
      default:
        break;
    }
  }
  return this->call(inner, text, m, pos);
}

template <class C>
int BasicNFAQuantifierNode<C>::repeatRun(const String& text, int pos, long limit) const {
  if (!atomAlone) return -1;
  using Shape = typename BasicNFANode<C>::Shape;
  const Shape shape = this->shapeOf(inner);
  const long room = static_cast<long>(text.size()) - pos;
  const int last = pos + static_cast<int>(limit < room ? limit : room);
  int end = pos;
  switch (shape) {
    case Shape::kChar: {
      const C ch = static_cast<const BasicNFACharNode<C>*>(inner)->ch;
      while (end < last && text[end] == ch) ++end;
      return end;
    }
    case Shape::kCIChar: {
      const C ch = static_cast<const BasicNFACICharNode<C>*>(inner)->ch;
      while (end < last && RegexTraits<C>::fold(text[end]) == ch) ++end;
      return end;
    }
    case Shape::kClass:
    case Shape::kCIClass: {
      auto* cls = static_cast<const BasicNFAClassNode<C>*>(inner);
      // An inverted class without members (".") holds everywhere.
      if (cls->inv && cls->vals.empty()) return last;
      const bool fold = shape == Shape::kCIClass;
      while (end < last) {
        C c = fold ? RegexTraits<C>::fold(text[end]) : text[end];
        if (cls->isMember(c) == cls->inv) break;
        ++end;
      }
      return end;
    }
    default:
      return -1;
  }
}

template <class C>
void BasicNFAQuantifierNode<C>::collectNodes(NodeSet& nodes) {
  inner->collectNodes(nodes);
  BasicNFANode<C>::collectNodes(nodes);
}

template <class C>
int BasicNFAQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  int cur = pos;
  int result = pos;
  for (int i = 0; i < min; ++i) {
    result = repeatOnce(text, m, cur);
    if (result <= cur) return result;
    cur = result;
  }
  return result;
}

template <class C>
int BasicNFAGreedyQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  int cur = BasicNFAQuantifierNode<C>::match(text, m, pos);
  if (cur == -1) return -1;
  return matchGreedy(text, m, cur, this->min);
}

// The greedy step as a loop. The recursive rule (repeat once more while the
// repetition consumes something and count is below max, and on the way back
// try the successor at every position reached, deepest first) needs no stack
// per repetition here: the repeated atom is a single character, class,
// literal, back reference or position test whose chain ends at once and
// changes no state, so every repetition consumes the same width and the
// positions to try are pos, pos + width, ... up to the last one reached.
template <class C>
int BasicNFAGreedyQuantifierNode<C>::matchGreedy(const String& text, Matcher& m, int pos,
                                                 int count) const {
  if (count >= this->max) return this->callNext(text, m, pos);
  int width = 1;
  int top = this->repeatRun(text, pos, static_cast<long>(this->max) - count);
  if (top == -1) {
    int e = this->repeatOnce(text, m, pos);
    if (e <= pos) return this->callNext(text, m, pos);
    width = e - pos;
    top = e;
    for (++count; count < this->max; ++count) {
      e = this->repeatOnce(text, m, top);
      if (e <= top) break;
      top = e;
    }
  } else if (top == pos) {
    return this->callNext(text, m, pos);
  }
  // A plain character after the repetition fails, without side effects, at
  // every position that does not hold it: those are passed over.
  const BasicNFANode<C>* after = this->next;
  while (this->shapeOf(after) == BasicNFANode<C>::Shape::kPassThrough && after->next != nullptr) {
    after = after->next;
  }
  const bool charAfter = this->shapeOf(after) == BasicNFANode<C>::Shape::kChar;
  const C wanted = charAfter ? static_cast<const BasicNFACharNode<C>*>(after)->ch : C();
  const int len = static_cast<int>(text.size());
  // Positions where the rest is already known to fail are stepped over
  // (the failure memo, BasicMatcher::kMemoAfterSteps); it serves runs of
  // single-width repetitions.
  using Range = typename Matcher::FailedRange;
  const char* frame = static_cast<const char*>(__builtin_frame_address(0));
  const Range known = width == 1 ? m.knownFailures(memoSlot, frame) : Range{1, 0, nullptr};
  for (int at = top;; at -= width) {
    if (at <= known.high && at >= known.low) {
      at = known.low;
      if (at <= pos) break;
      continue;
    }
    int r = -1;
    if (!charAfter || (at < len && text[at] == wanted)) r = this->callNext(text, m, at);
    if (r != -1) return r;
    if (at <= pos) break;
    if (m.overflow) return -1;
  }
  if (width == 1) m.recordFailures(memoSlot, pos, top, frame);
  return -1;
}

template <class C>
int BasicNFALazyQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  int cur = BasicNFAQuantifierNode<C>::match(text, m, pos);
  if (cur == -1) return -1;
  for (int i = this->min; i < this->max; ++i) {
    int r = this->callNext(text, m, cur);
    if (r != -1) return r;
    int d = this->repeatOnce(text, m, cur);
    if (d <= cur) return -1;
    cur = d;
  }
  return this->callNext(text, m, cur);
}

template <class C>
int BasicNFAPossessiveQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  int cur = BasicNFAQuantifierNode<C>::match(text, m, pos);
  if (cur == -1) return -1;
  if (this->min < this->max) {
    int end = this->repeatRun(text, cur, static_cast<long>(this->max) - this->min);
    if (end != -1) return this->callNext(text, m, end);
  }
  for (int i = this->min; i < this->max; ++i) {
    int d = this->repeatOnce(text, m, cur);
    if (d <= cur) return this->callNext(text, m, cur);
    cur = d;
  }
  return this->callNext(text, m, cur);
}

template <class C>
int BasicNFAGroupLoopPrologueNode<C>::match(const String& text, Matcher& m, int pos) const {
  int& count = this->loopCountOf(m, gi);
  int& snap = this->loopSnapshotOf(m, gi);
  int& lp = this->loopPositionOf(m, gi);
  const int savedCount = count;
  const int savedSnap = snap;
  const int savedLp = lp;
  count = 0;
  snap = 0;
  lp = -1;
  int r = this->callNext(text, m, pos);
  if (r < 0) {
    count = savedCount;
    snap = savedSnap;
    lp = savedLp;
  }
  return r;
}

template <class C>
void BasicNFAGroupLoopNode<C>::collectNodes(NodeSet& nodes) {
  if (inner != nullptr) inner->collectNodes(nodes);
  BasicNFANode<C>::collectNodes(nodes);
}

template <class C>
int BasicNFAGroupLoopNode<C>::match(const String& text, Matcher& m, int pos) const {
  int& count = this->loopCountOf(m, gi);
  int& lp = this->loopPositionOf(m, gi);
  int& snap = this->loopSnapshotOf(m, gi);
  const bool progress = lp < pos;
  if (progress && count < min) {
    ++count;
    const int savedLp = lp;
    lp = pos;
    int r = this->call(inner, text, m, pos);
    if (r < 0) {
      lp = savedLp;
      --count;
    }
    return r;
  }
  if (!progress || count >= max) return this->callNext(text, m, pos);
  const int savedLp = lp;
  switch (type) {
    case kGreedy: {
      lp = pos;
      ++count;
      int r = this->call(inner, text, m, pos);
      if (r >= 0) return r;
      --count;
      lp = savedLp;
      return this->callNext(text, m, pos);
    }
    case kReluctant: {
      int r = this->callNext(text, m, pos);
      if (r >= 0) return r;
      lp = pos;
      ++count;
      r = this->call(inner, text, m, pos);
      if (r < 0) {
        --count;
        lp = savedLp;
      }
      return r;
    }
    case kPossessive: {
      // Only the deepest step, whose iteration failed outright, still finds
      // its own snapshot and tries the rest; the steps above it fail.
      snap = count;
      lp = pos;
      ++count;
      int r = this->call(inner, text, m, pos);
      if (r < 0) {
        --count;
        lp = savedLp;
        if (count == snap) return this->callNext(text, m, pos);
      }
      return r;
    }
    default:
      return -1;
  }
}

#define ZRN_INSTANTIATE_QUANTIFIERS(C)                \
  template class BasicNFAQuantifierNode<C>;           \
  template class BasicNFAGreedyQuantifierNode<C>;     \
  template class BasicNFALazyQuantifierNode<C>;       \
  template class BasicNFAPossessiveQuantifierNode<C>; \
  template class BasicNFAGroupLoopPrologueNode<C>;    \
  template class BasicNFAGroupLoopNode<C>;

ZRN_INSTANTIATE_QUANTIFIERS(char)
ZRN_INSTANTIATE_QUANTIFIERS(wchar_t)
