// Match rules of the quantifier nodes over a single atom.
#include "regex/quantifier_nodes.h"

#include "regex/matcher.h"
#include "regex/pattern.h"

template <class C>
BasicNFAQuantifierNode<C>::BasicNFAQuantifierNode(BasicPattern<C>* pattern,
                                                  BasicNFANode<C>* innerNode, int minimum,
                                                  int maximum)
    : BasicNFANode<C>(BasicNFANode<C>::Shape::kRepetition),
      min(minimum < 0 ? 0 : minimum),
      max(maximum),
      inner(innerNode) {
  BasicNFANode<C>* accept =
      pattern->registerNode(new (pattern->nodeArena()) BasicNFAAcceptNode<C>());
  // An inner node that already leads somewhere (the start of an atomic
  // group's closed body) keeps its successor.
  if (inner->next == nullptr) {
    inner->next = accept;
    atomAlone = true;
  }
  if (!atomAlone) return;
  using Shape = typename BasicNFANode<C>::Shape;
  switch (this->shapeOf(inner)) {
    case Shape::kChar:
      atom = Atom::kChar;
      break;
    case Shape::kCIChar:
      atom = Atom::kCIChar;
      break;
    case Shape::kClass: {
      atom = Atom::kClass;
      // An inverted class without members (".") holds everywhere.
      auto* cls = static_cast<const BasicNFAClassNode<C>*>(inner);
      everywhere = cls->inv && cls->vals.empty();
      break;
    }
    case Shape::kCIClass:
      atom = Atom::kCIClass;
      break;
    case Shape::kQuote:
    case Shape::kCIQuote: {
      const bool plain = this->shapeOf(inner) == Shape::kQuote;
      const size_t length = plain ? static_cast<const BasicNFAQuoteNode<C>*>(inner)->str.size()
                                  : static_cast<const BasicNFACIQuoteNode<C>*>(inner)->str.size();
      if (length == 1) atom = plain ? Atom::kQuote : Atom::kCIQuote;
      longLiteral = length > 1;
      break;
    }
    default:
      break;
  }
}

template <class C>
bool BasicNFAQuantifierNode<C>::holdsAt(const String& text, int i) const {
  switch (atom) {
    case Atom::kChar:
      return text[i] == static_cast<const BasicNFACharNode<C>*>(inner)->ch;
    case Atom::kCIChar:
      return RegexTraits<C>::fold(text[i]) == static_cast<const BasicNFACICharNode<C>*>(inner)->ch;
    case Atom::kClass:
    case Atom::kCIClass: {
      auto* cls = static_cast<const BasicNFAClassNode<C>*>(inner);
      const C c = atom == Atom::kCIClass ? RegexTraits<C>::fold(text[i]) : text[i];
      return cls->isMember(c) != cls->inv;
    }
    case Atom::kQuote:
      return text[i] == static_cast<const BasicNFAQuoteNode<C>*>(inner)->str[0];
    case Atom::kCIQuote:
      return RegexTraits<C>::equalsIgnoreCase(
          text.c_str() + i, static_cast<const BasicNFACIQuoteNode<C>*>(inner)->str.c_str(), 1);
    default:
      return false;
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
inline __attribute__((always_inline)) int BasicNFAQuantifierNode<C>::scanRun(const String& text,
                                                                             int pos,
                                                                             int last) const {
  int end = pos;
  switch (atom) {
    case Atom::kChar: {
      const C ch = static_cast<const BasicNFACharNode<C>*>(inner)->ch;
      while (end < last && text[end] == ch) ++end;
      return end;
    }
    case Atom::kCIChar: {
      const C ch = static_cast<const BasicNFACICharNode<C>*>(inner)->ch;
      while (end < last && RegexTraits<C>::fold(text[end]) == ch) ++end;
      return end;
    }
    case Atom::kClass:
    case Atom::kCIClass: {
      auto* cls = static_cast<const BasicNFAClassNode<C>*>(inner);
      const bool fold = atom == Atom::kCIClass;
      while (end < last) {
        C c = fold ? RegexTraits<C>::fold(text[end]) : text[end];
        if (cls->isMember(c) == cls->inv) break;
        ++end;
      }
      return end;
    }
    default:
      while (end < last && holdsAt(text, end)) ++end;
      return end;
  }
}

template <class C>
int BasicNFAQuantifierNode<C>::repeatRun(const String& text, Matcher& m, int pos,
                                         long limit) const {
  if (atom == Atom::kOther) return -1;
  const long room = static_cast<long>(text.size()) - pos;
  const int last = pos + static_cast<int>(limit < room ? limit : room);
  // The call that reached the repetition counts for a run found in one step.
  if (everywhere) return last;
  if (runSlot < 0 || !m.memoOn) {
    const int end = scanRun(text, pos, last);
    m.addSteps(end - pos + 1);
    return end;
  }
  // The run set holds every position where the atom was found to hold in
  // this operation: known stretches are stepped over, the rest is tested
  // once and entered.
  PositionSet& known = m.runSet(runSlot);
  int end = pos;
  long tested = 1;
  while (end < last) {
    if (known.contains(end)) {
      const int after = known.firstAbsentAtOrAbove(end);
      end = after < last ? after : last;
      ++tested;
      continue;
    }
    int scan = end;
    while (scan < last && !known.contains(scan) && holdsAt(text, scan)) ++scan;
    tested += scan - end + 1;
    known.insertRange(end, scan);
    const bool stopped = scan < last && !known.contains(scan);
    end = scan;
    if (stopped) break;
  }
  m.addSteps(tested);
  return end;
}

template <class C>
void BasicNFAQuantifierNode<C>::collectNodes(NodeSet& nodes) {
  inner->collectNodes(nodes);
  BasicNFANode<C>::collectNodes(nodes);
}

template <class C>
int BasicNFAQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (atom != Atom::kOther && (min > Matcher::kShortRun || m.memoOn)) {
    // Every repetition of a one-character atom consumes one character.
    const int end = repeatRun(text, m, pos, min);
    return end - pos == min ? end : -1;
  }
  // A mandatory part of at most kShortRun characters counts as part of the
  // call that reached the repetition.
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
  int top = this->repeatRun(text, m, pos, static_cast<long>(this->max) - count);
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
  const C* const charGuard = guardChar;
  const BasicNFAQuantifierNode<C>* const atomGuard = guardAtom;
  const C wanted = charGuard != nullptr ? *charGuard : C();
  const int len = static_cast<int>(text.size());
  const int slot = this->targetSlot;
  // How deep this frame lies: the calls it makes lie at most kCallGap
  // further down.
  const long here = m.stackBase - static_cast<const char*>(__builtin_frame_address(0));
  // Positions passed over without a call count as steps too.
  long passed = 0;
  for (int at = top;;) {
    bool tried;
    if (charGuard != nullptr && (slot < 0 || !m.memoOn)) {
      // With nothing to record, the positions that do not hold the
      // character are passed over in one tight scan.
      const int from = at;
      while (at >= pos && (at >= len || text[at] != wanted)) at -= width;
      passed += (from - at) / width;
      if (at < pos) break;
      tried = true;
    } else {
      tried = charGuard != nullptr   ? at < len && text[at] == wanted
              : atomGuard != nullptr ? at < len && atomGuard->holdsAt(text, at)
                                     : true;
    }
    if (tried) {
      if (passed != 0) {
        m.addSteps(passed);
        passed = 0;
      }
      const int r = this->callNext(text, m, at);
      if (r != -1) return r;
      if (m.overflow) return -1;
    } else {
      ++passed;
      // The rest fails here without a call, memo on or off, and a call into
      // it would have failed using no more stack than guardDepth.
      if (slot >= 0 && m.memoOn) m.recordFailure(slot, at, guardDepth);
    }
    if (at <= pos) break;
    at -= width;
    // With the memo on, a stretch of positions known to fail is stepped
    // over where none of their calls could have reached the depth bound:
    // each would fail (or be passed over) exactly as before.
    if (width == 1 && slot >= 0 && m.memoOn && at >= pos) at = m.skipKnown(slot, at, pos, here);
    if (at < pos) break;
  }
  m.addSteps(passed);
  return -1;
}

template <class C>
int BasicNFALazyQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  int cur = BasicNFAQuantifierNode<C>::match(text, m, pos);
  if (cur == -1) return -1;
  const int slot = this->targetSlot;
  for (long i = this->min; i < this->max;) {
    const bool memoBefore = m.memoOn;
    const int r = this->callNext(text, m, cur);
    if (r != -1) return r;
    if (m.overflow) return -1;
    if (memoBefore && slot >= 0 && m.answeredFromMemo && this->oneCharacter()) {
      // Up to the next position the memo does not know, as far as the
      // repetition reaches, every position fails as this one did.
      const int unknown = m.firstUnknown(slot, cur + 1);
      const int reach = this->repeatRun(text, m, cur, this->max - i);
      const int to = unknown < reach ? unknown : reach;
      if (to > cur) {
        i += to - cur;
        cur = to;
        continue;
      }
    }
    int d = this->repeatOnce(text, m, cur);
    if (d <= cur) return -1;
    cur = d;
    ++i;
  }
  return this->callNext(text, m, cur);
}

template <class C>
int BasicNFAPossessiveQuantifierNode<C>::match(const String& text, Matcher& m, int pos) const {
  int cur = BasicNFAQuantifierNode<C>::match(text, m, pos);
  if (cur == -1) return -1;
  if (this->min < this->max) {
    int end = this->repeatRun(text, m, cur, static_cast<long>(this->max) - this->min);
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
