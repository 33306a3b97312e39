// Structure beyond single characters: group bounds, alternation, look-ahead,
// look-behind and back references, narrow and wide.
//
// The group head and tail record a group's bounds in the matcher and put the
// old value back when the rest of the match fails. Sub-chain pointers are not
// owned; the pattern owns every node.
#ifndef ZRN_REGEX_GROUP_NODES_H_
#define ZRN_REGEX_GROUP_NODES_H_

#include "regex/nodes.h"

template <class CharT>
class BasicNFAGroupHeadNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAGroupHeadNode(int index) : gi(index) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  bool isGroupHead() const override { return true; }
  int gi;
};

template <class CharT>
class BasicNFAGroupTailNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAGroupTailNode(int index) : gi(index) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  int gi;
};

// Tries `one`, then `two`; with a successor, each branch's end continues there.
//
// An alternation with a successor (the later alternatives of a run of three
// or more) gives a branch up after the rest of the pattern failed behind it.
// The bounds and loop state of the groups that its branches hold are then put
// back as they were when the node was entered, so a successful match reports
// only what its own path recorded. Those groups are the indices in
// `restoreNonCap` and `restoreCap` (half-open ranges) and `restoreOwn` (the
// index of the group whose alternatives these are, 0 for none); the parser
// sets them, and leaves them empty where the successor cannot fail.
template <class CharT>
class BasicNFAOrNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using typename BasicNFANode<CharT>::NodeSet;
  struct IndexRange {
    int low = 0;
    int high = 0;
  };
  BasicNFAOrNode(BasicNFANode<CharT>* first, BasicNFANode<CharT>* second)
      : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kAlternation), one(first), two(second) {}
  void collectNodes(NodeSet& nodes) override;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  BasicNFANode<CharT>* one;
  BasicNFANode<CharT>* two;

  IndexRange restoreNonCap;
  IndexRange restoreCap;
  int restoreOwn = 0;

 private:
  void saveGroups(Matcher& matcher) const;
  void restoreGroups(Matcher& matcher, size_t mark) const;
  // `two` when it is an alternation node whose successor only leads to an
  // accept node without one (a later level of a run of alternatives): its
  // result is then its branch's own, so its branches can be tried in line.
  static const BasicNFAOrNode* laterLevel(const BasicNFANode<CharT>* node);
  // The first match of `two` from pos: the branches of later levels in a
  // loop rather than one stack level each.
  int matchTwo(const String& text, Matcher& matcher, int pos) const;
  bool restores() const {
    return restoreOwn != 0 || restoreNonCap.low < restoreNonCap.high ||
           restoreCap.low < restoreCap.high;
  }
};

// Tests the body at the position and consumes nothing.
template <class CharT>
class BasicNFALookAheadNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using typename BasicNFANode<CharT>::NodeSet;
  BasicNFALookAheadNode(BasicNFANode<CharT>* body, bool positive) : pos(positive), inner(body) {}
  void collectNodes(NodeSet& nodes) override;
  int match(const String& text, Matcher& matcher, int position) const override;
  void dump(int indent) const;
  bool pos;
  BasicNFANode<CharT>* inner;
};

// The literal str must (pos) or must not stand right before the position;
// compared exactly whatever the flags say.
template <class CharT>
class BasicNFALookBehindNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  BasicNFALookBehindNode(const String& literal, bool positive) : pos(positive), str(literal) {}
  int match(const String& text, Matcher& matcher, int position) const override;
  void dump(int indent) const;
  bool pos;
  String str;
};

// Matches the text of group gi again, exactly; an unset, open, empty or
// missing group matches the empty text.
template <class CharT>
class BasicNFAReferenceNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAReferenceNode(int index) : gi(index) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  int gi;
};

// The diagnostic dump exists for the narrow family only.
template <>
void BasicNFAGroupHeadNode<char>::dump(int indent) const;
template <>
void BasicNFAGroupTailNode<char>::dump(int indent) const;
template <>
void BasicNFAOrNode<char>::dump(int indent) const;
template <>
void BasicNFALookAheadNode<char>::dump(int indent) const;
template <>
void BasicNFALookBehindNode<char>::dump(int indent) const;
template <>
void BasicNFAReferenceNode<char>::dump(int indent) const;

using NFAGroupHeadNode = BasicNFAGroupHeadNode<char>;
using NFAGroupHeadUNode = BasicNFAGroupHeadNode<wchar_t>;
using NFAGroupTailNode = BasicNFAGroupTailNode<char>;
using NFAGroupTailUNode = BasicNFAGroupTailNode<wchar_t>;
using NFAOrNode = BasicNFAOrNode<char>;
using NFAOrUNode = BasicNFAOrNode<wchar_t>;
using NFALookAheadNode = BasicNFALookAheadNode<char>;
using NFALookAheadUNode = BasicNFALookAheadNode<wchar_t>;
using NFALookBehindNode = BasicNFALookBehindNode<char>;
using NFALookBehindUNode = BasicNFALookBehindNode<wchar_t>;
using NFAReferenceNode = BasicNFAReferenceNode<char>;
using NFAReferenceUNode = BasicNFAReferenceNode<wchar_t>;

#endif  // ZRN_REGEX_GROUP_NODES_H_
