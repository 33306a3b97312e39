// Match rules of the group, alternation, look-around and back-reference nodes.
#include "regex/group_nodes.h"

#include <vector>

#include "regex/matcher.h"

template <class C>
int BasicNFAGroupHeadNode<C>::match(const String& text, Matcher& m, int pos) const {
  int saved = this->startOf(m, gi);
  this->startOf(m, gi) = pos;
  int r = this->callNext(text, m, pos);
  if (r < 0) this->startOf(m, gi) = saved;
  return r;
}

template <class C>
int BasicNFAGroupTailNode<C>::match(const String& text, Matcher& m, int pos) const {
  int saved = this->endOf(m, gi);
  this->endOf(m, gi) = pos;
  int r = this->callNext(text, m, pos);
  if (r < 0) this->endOf(m, gi) = saved;
  return r;
}

template <class C>
void BasicNFAOrNode<C>::collectNodes(NodeSet& nodes) {
  if (one != nullptr) one->collectNodes(nodes);
  if (two != nullptr) two->collectNodes(nodes);
  BasicNFANode<C>::collectNodes(nodes);
}

template <class C>
void BasicNFAOrNode<C>::saveGroups(Matcher& m) const {
  std::vector<int>& saved = this->scratchOf(m);
  auto save = [&](int gi) {
    saved.push_back(this->startOf(m, gi));
    saved.push_back(this->endOf(m, gi));
    saved.push_back(this->loopCountOf(m, gi));
    saved.push_back(this->loopPositionOf(m, gi));
  };
  for (int gi = restoreNonCap.low; gi < restoreNonCap.high; ++gi) save(gi);
  for (int gi = restoreCap.low; gi < restoreCap.high; ++gi) save(gi);
  if (restoreOwn != 0) save(restoreOwn);
}

template <class C>
void BasicNFAOrNode<C>::restoreGroups(Matcher& m, size_t mark) const {
  const std::vector<int>& saved = this->scratchOf(m);
  size_t at = mark;
  auto restore = [&](int gi) {
    this->startOf(m, gi) = saved[at++];
    this->endOf(m, gi) = saved[at++];
    this->loopCountOf(m, gi) = saved[at++];
    this->loopPositionOf(m, gi) = saved[at++];
  };
  for (int gi = restoreNonCap.low; gi < restoreNonCap.high; ++gi) restore(gi);
  for (int gi = restoreCap.low; gi < restoreCap.high; ++gi) restore(gi);
  if (restoreOwn != 0) restore(restoreOwn);
}

template <class C>
const BasicNFAOrNode<C>* BasicNFAOrNode<C>::laterLevel(const BasicNFANode<C>* node) {
  if (BasicNFANode<C>::shapeOf(node) != BasicNFANode<C>::Shape::kAlternation) return nullptr;
  const BasicNFANode<C>* after = node->next;
  while (after != nullptr &&
         BasicNFANode<C>::shapeOf(after) == BasicNFANode<C>::Shape::kPassThrough) {
    if (after->next == nullptr) return static_cast<const BasicNFAOrNode*>(node);
    after = after->next;
  }
  return nullptr;
}

template <class C>
int BasicNFAOrNode<C>::matchTwo(const String& text, Matcher& m, int pos) const {
  const BasicNFANode<C>* rest = two;
  while (const BasicNFAOrNode* level = laterLevel(rest)) {
    int r = this->call(level->one, text, m, pos);
    if (r != -1) return r;
    rest = level->two;
  }
  return this->call(rest, text, m, pos);
}

template <class C>
int BasicNFAOrNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (this->next == nullptr) {
    int r = this->call(one, text, m, pos);
    if (r != -1) return r;
    return matchTwo(text, m, pos);
  }
  const bool keep = restores();
  std::vector<int>& saved = this->scratchOf(m);
  const size_t mark = saved.size();
  if (keep) saveGroups(m);
  int r = this->call(one, text, m, pos);
  if (r != -1) {
    r = this->callNext(text, m, r);
    if (r == -1 && keep) restoreGroups(m, mark);
  }
  if (r == -1) {
    r = matchTwo(text, m, pos);
    if (r != -1) {
      r = this->callNext(text, m, r);
      if (r == -1 && keep) restoreGroups(m, mark);
    }
  }
  saved.resize(mark);
  return r;
}

template <class C>
void BasicNFALookAheadNode<C>::collectNodes(NodeSet& nodes) {
  if (inner != nullptr) inner->collectNodes(nodes);
  BasicNFANode<C>::collectNodes(nodes);
}

template <class C>
int BasicNFALookAheadNode<C>::match(const String& text, Matcher& m, int position) const {
  int c = this->call(inner, text, m, position);
  if ((c != -1) != pos) return -1;
  return this->callNext(text, m, position);
}

template <class C>
int BasicNFALookBehindNode<C>::match(const String& text, Matcher& m, int position) const {
  int len = static_cast<int>(str.size());
  if (len > position) return pos ? -1 : this->callNext(text, m, position);
  bool stands = text.compare(static_cast<size_t>(position - len), str.size(), str) == 0;
  if (stands != pos) return -1;
  return this->callNext(text, m, position);
}

template <class C>
int BasicNFAReferenceNode<C>::match(const String& text, Matcher& m, int pos) const {
  if (gi <= 0 || gi >= this->groupCountOf(m)) return this->callNext(text, m, pos);
  int s = this->startOf(m, gi);
  int e = this->endOf(m, gi);
  if (s == -1 || e <= s) return this->callNext(text, m, pos);
  int len = e - s;
  if (pos + len > static_cast<int>(text.size())) return -1;
  if (text.compare(static_cast<size_t>(pos), static_cast<size_t>(len), text, static_cast<size_t>(s),
                   static_cast<size_t>(len)) != 0) {
    return -1;
  }
  return this->callNext(text, m, pos + len);
}

#define ZRN_INSTANTIATE_GROUP_NODES(C)      \
  template class BasicNFAGroupHeadNode<C>;  \
  template class BasicNFAGroupTailNode<C>;  \
  template class BasicNFAOrNode<C>;         \
  template class BasicNFALookAheadNode<C>;  \
  template class BasicNFALookBehindNode<C>; \
  template class BasicNFAReferenceNode<C>;

ZRN_INSTANTIATE_GROUP_NODES(char)
ZRN_INSTANTIATE_GROUP_NODES(wchar_t)
