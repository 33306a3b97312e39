// Match rules of the node base and of the framing, literal, class and
// position nodes.
#include "regex/nodes.h"

#include "regex/matcher.h"

namespace {

template <class C>
bool IsLineBreak(C c) {
  return c == C('\n') || c == C('\r');
}

// Only the 52 ASCII letters count; digits, "_" and every other value do not.
template <class C>
bool IsWordChar(C c) {
  unsigned long v = RegexTraits<C>::value(c);
  return (v >= 'a' && v <= 'z') || (v >= 'A' && v <= 'Z');
}

}  // namespace

template <class C>
void BasicNFANode<C>::collectNodes(NodeSet& nodes) {
  // Sub-chains are walked by the overrides before they get here.
  if (!nodes.emplace(this, true).second) return;
  if (next != nullptr) next->collectNodes(nodes);
}

template <class C>
int BasicNFANode<C>::call(const BasicNFANode* node, const String& text, Matcher& m, int pos) {
  // Nodes that only pass the position on cost no stack.
  node = landing(node);
  if (m.overflow) return -1;
  const long depth = m.stackBase - static_cast<const char*>(__builtin_frame_address(0));
  if (depth > Matcher::kMaxStackBytes) {
    m.overflow = true;
    return -1;
  }
  // With the memo on, memoStartAt lies below every count, so each call
  // takes the memo's way.
  if (++m.steps > m.memoStartAt) return callWithMemo(node, text, m, pos, depth);
  if (node->memoSlot >= 0) return callSlotted(node, text, m, pos, depth);
  return node->match(text, m, pos);
}

// The rest of call once the steps have passed memoStartAt: starts the memo
// if it is not on yet, keeps the deepest frame the current try reached, and
// answers from the memo where it knows the outcome. Every way here and on
// ends in a jump (to the node, or to callSlotted), so a node runs from the
// same depth with the memo on as with it off.
template <class C>
int BasicNFANode<C>::callWithMemo(const BasicNFANode* node, const String& text, Matcher& m,
                                  int pos, long depth) {
  if (!m.memoOn) m.startMemo();
  if (m.memoOn && depth > m.peak) m.peak = depth;
  if (node->memoSlot >= 0) return callSlotted(node, text, m, pos, depth);
  return node->match(text, m, pos);
}

// A node with a memo slot runs below this frame, memo on or off.
template <class C>
int BasicNFANode<C>::callSlotted(const BasicNFANode* node, const String& text, Matcher& m,
                                 int pos, long depth) {
  if (!m.memoOn) {
    int r = node->match(text, m, pos);
    // Keeps the call a call: a jump into the node would leave this frame.
    asm volatile("" : "+r"(r));
    return r;
  }
  const int slot = node->memoSlot;
  if (m.knownFailure(slot, pos, depth)) {
    m.answeredFromMemo = true;
    return -1;
  }
  const long outerPeak = m.peak;
  m.peak = depth;
  int r = node->match(text, m, pos);
  asm volatile("" : "+r"(r));
  if (r == -1 && !m.overflow) m.recordFailure(slot, pos, m.peak - depth);
  if (outerPeak > m.peak) m.peak = outerPeak;
  m.answeredFromMemo = false;
  return r;
}

template <class C>
void BasicNFANode<C>::countSteps(Matcher& m, long n) {
  m.addSteps(n);
}

template <class C>
int& BasicNFANode<C>::startOf(Matcher& m, int gi) {
  return m.starts[gi];
}
template <class C>
int& BasicNFANode<C>::endOf(Matcher& m, int gi) {
  return m.ends[gi];
}
template <class C>
int& BasicNFANode<C>::loopCountOf(Matcher& m, int gi) {
  return m.loopCounts[gi];
}
template <class C>
int& BasicNFANode<C>::loopPositionOf(Matcher& m, int gi) {
  return m.loopPositions[gi];
}
template <class C>
int& BasicNFANode<C>::loopSnapshotOf(Matcher& m, int gi) {
  return m.loopSnapshots[gi];
}
template <class C>
int BasicNFANode<C>::lastMatchEndOf(const Matcher& m) {
  return m.lastMatchEnd;
}
template <class C>
int BasicNFANode<C>::groupCountOf(const Matcher& m) {
  return m.groupCount;
}
template <class C>
bool BasicNFANode<C>::overflowed(const Matcher& m) {
  return m.overflow;
}
template <class C>
std::vector<int>& BasicNFANode<C>::scratchOf(Matcher& m) {
  return m.scratch;
}
template <class C>
bool BasicNFANode<C>::wholeText(const Matcher& m) {
  return (m.getMode() & Matcher::MATCH_WHOLE_TEXT) != 0;
}

template <class C>
int BasicNFACharNode<C>::match(const String& text, Matcher& m, int pos) const {
  // A run of plain character nodes is tested in one loop: each would only
  // test its character and call the next, so the run costs one stack level.
  const int len = static_cast<int>(text.size());
  const BasicNFACharNode* node = this;
  const int first = pos;
  while (true) {
    if (pos >= len || text[pos] != node->ch) {
      this->countSteps(m, pos - first);
      return -1;
    }
    ++pos;
    const BasicNFANode<C>* after = node->next;
    if (this->shapeOf(after) != BasicNFANode<C>::Shape::kChar) {
      this->countSteps(m, pos - first - 1);
      return this->call(after, text, m, pos);
    }
    node = static_cast<const BasicNFACharNode*>(after);
  }
}

template <class C>
int BasicNFACICharNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos >= static_cast<int>(text.size()) || RegexTraits<C>::fold(text[pos]) != ch) return -1;
  return this->callNext(text, m, pos + 1);
}

template <class C>
BasicNFAClassNode<C>::BasicNFAClassNode(const String& members, bool invert,
                                        std::pmr::memory_resource* arena)
    : BasicNFAClassNode(BasicNFANode<C>::Shape::kClass, invert, arena) {
  for (C c : members) enterIndexed(c);
}

template <class C>
void BasicNFAClassNode<C>::enterIndexed(C c) {
  // Members in ascending order (as the named sets come) go in at the end
  // without a search.
  if (vals.emplace_hint(vals.end(), c, true)->first == c) {
    const unsigned long v = RegexTraits<C>::value(c);
    if (v < 256) table[v >> 6] |= 1ull << (v & 63);
  }
  indexedCount = vals.size();
}

template <class C>
void BasicNFAClassNode<C>::indexMembers() {
  for (unsigned long long& word : table) word = 0;
  for (const auto& member : vals) {
    const unsigned long v = RegexTraits<C>::value(member.first);
    if (v < 256) table[v >> 6] |= 1ull << (v & 63);
  }
  indexedCount = vals.size();
}

template <class C>
void BasicNFAClassNode<C>::copyMembers(const BasicNFAClassNode& other) {
  vals = other.vals;
  for (int i = 0; i < 4; ++i) table[i] = other.table[i];
  indexedCount = other.indexedCount == other.vals.size() ? vals.size() : vals.size() + 1;
}

template <class C>
int BasicNFAClassNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos >= static_cast<int>(text.size())) return -1;
  if (isMember(text[pos]) == inv) return -1;
  return this->callNext(text, m, pos + 1);
}

template <class C>
BasicNFACIClassNode<C>::BasicNFACIClassNode(const String& members, bool invert,
                                            std::pmr::memory_resource* arena)
    : BasicNFAClassNode<C>(BasicNFANode<C>::Shape::kCIClass, invert, arena) {
  for (C c : members) this->enterIndexed(RegexTraits<C>::fold(c));
}

template <class C>
int BasicNFACIClassNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos >= static_cast<int>(text.size())) return -1;
  if (this->isMember(RegexTraits<C>::fold(text[pos])) == this->inv) return -1;
  return this->callNext(text, m, pos + 1);
}

template <class C>
int BasicNFAQuoteNode<C>::match(const String& text, Matcher& m, int pos) const {
  int len = static_cast<int>(str.size());
  if (pos + len > static_cast<int>(text.size())) return -1;
  if (text.compare(pos, str.size(), str) != 0) return -1;
  return this->callNext(text, m, pos + len);
}

template <class C>
int BasicNFACIQuoteNode<C>::match(const String& text, Matcher& m, int pos) const {
  int len = static_cast<int>(str.size());
  if (pos + len > static_cast<int>(text.size())) return -1;
  if (!RegexTraits<C>::equalsIgnoreCase(text.c_str() + pos, str.c_str(), str.size())) return -1;
  return this->callNext(text, m, pos + len);
}

template <class C>
int BasicNFAStartNode<C>::match(const String& text, Matcher& m, int pos) const {
  int& start = this->startOf(m, 0);
  start = pos;
  if (this->wholeText(m)) {
    if (pos != 0) {
      start = -1;
      return -1;
    }
    return this->callNext(text, m, 0);
  }
  int len = static_cast<int>(text.size());
  int r = this->callNext(text, m, pos);
  // An attempt that hit the depth bound ends the search: a later start must
  // not report a match that the bound cut short.
  while (r == -1 && pos < len && !this->overflowed(m)) {
    m.clearGroups();
    ++pos;
    start = pos;
    r = this->callNext(text, m, pos);
  }
  if (r < 0) start = -1;
  return r;
}

template <class C>
int BasicNFAEndNode<C>::match(const String& text, Matcher& m, int pos) const {
  this->endOf(m, 0) = pos;
  if (this->wholeText(m) && pos != static_cast<int>(text.size())) {
    this->endOf(m, 0) = -1;
    return -1;
  }
  return pos;
}

template <class C>
int BasicNFAAcceptNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (this->next == nullptr) return pos;
  return this->callNext(text, m, pos);
}

template <class C>
int BasicNFASubStartNode<C>::match(const String& text, Matcher& m, int pos) const {
  return this->callNext(text, m, pos);
}

template <class C>
int BasicNFAStartOfLineNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos != 0 && !IsLineBreak(text[pos - 1])) return -1;
  return this->callNext(text, m, pos);
}

template <class C>
int BasicNFAEndOfLineNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos < static_cast<int>(text.size()) && !IsLineBreak(text[pos])) return -1;
  return this->callNext(text, m, pos);
}

template <class C>
int BasicNFAStartOfInputNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos != 0) return -1;
  return this->callNext(text, m, pos);
}

template <class C>
int BasicNFAEndOfInputNode<C>::match(const String& text, Matcher& m, int pos) const {
  int len = static_cast<int>(text.size());
  bool holds = pos == len;
  if (!holds && term) {
    holds = (pos == len - 1 && IsLineBreak(text[pos])) ||
            (pos == len - 2 && text[pos] == C('\r') && text[pos + 1] == C('\n'));
  }
  if (!holds) return -1;
  return this->callNext(text, m, pos);
}

template <class C>
int BasicNFAWordBoundaryNode<C>::match(const String& text, Matcher& m, int position) const {
  int len = static_cast<int>(text.size());
  if (position < len) {
    bool before = position > 0 && IsWordChar(text[position - 1]);
    bool at = IsWordChar(text[position]);
    bool boundary = before != at;
    if (boundary != pos) return -1;
  }
  return this->callNext(text, m, position);
}

template <class C>
int BasicNFAEndOfMatchNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (pos != this->lastMatchEndOf(m)) return -1;
  return this->callNext(text, m, pos);
}

#define ZRN_INSTANTIATE_NODES(C)              \
  template class BasicNFANode<C>;             \
  template class BasicNFACharNode<C>;         \
  template class BasicNFACICharNode<C>;       \
  template class BasicNFAClassNode<C>;        \
  template class BasicNFACIClassNode<C>;      \
  template class BasicNFAQuoteNode<C>;        \
  template class BasicNFACIQuoteNode<C>;      \
  template class BasicNFAStartNode<C>;        \
  template class BasicNFAEndNode<C>;          \
  template class BasicNFAAcceptNode<C>;       \
  template class BasicNFASubStartNode<C>;     \
  template class BasicNFAStartOfLineNode<C>;  \
  template class BasicNFAEndOfLineNode<C>;    \
  template class BasicNFAStartOfInputNode<C>; \
  template class BasicNFAEndOfInputNode<C>;   \
  template class BasicNFAWordBoundaryNode<C>; \
  template class BasicNFAEndOfMatchNode<C>;

ZRN_INSTANTIATE_NODES(char)
ZRN_INSTANTIATE_NODES(wchar_t)
