// Repetition: the quantifier node base over a single atom (the mandatory
// repetitions) with its greedy, lazy and possessive kinds, and the two nodes
// that loop over a quantified group, narrow and wide.
//
// The repeated atom is the start of the inner sub-chain, which ends with an
// accept node without successor (added by the constructor), so matching at
// `inner` returns where one repetition ends. The node neither owns `inner`
// nor the accept node: both are registered with, and deleted by, the pattern.
#ifndef ZRN_REGEX_QUANTIFIER_NODES_H_
#define ZRN_REGEX_QUANTIFIER_NODES_H_

#include "regex/nodes.h"

template <class CharT>
class BasicNFAQuantifierNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using typename BasicNFANode<CharT>::NodeSet;
  // A negative minimum counts as 0; max 2147483647 stands for no bound and is
  // not compared with min (min above max makes exactly min repetitions).
  BasicNFAQuantifierNode(BasicPattern<CharT>* pattern, BasicNFANode<CharT>* inner, int min,
                         int max);
  void collectNodes(NodeSet& nodes) override;
  // The mandatory repetitions: the end of the last of them, or -1. A repetition
  // that consumes nothing ends the mandatory part early with success.
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;

  int min;
  int max;
  BasicNFANode<CharT>* inner;

  // Set by the parser for the failure memo (BasicMatcher::kMemoAfterSteps):
  // the memo slot of the node this repetition hands on to, and the slot of
  // its run set; -1 for none.
  int targetSlot = -1;
  int runSlot = -1;
  // The parser's list of the pattern's repetitions, and whether this one is
  // greedy.
  BasicNFAQuantifierNode* laterRepetition = nullptr;
  bool greedy = false;
  // The repeated atom is one character wide: a character, a class, or a
  // literal of one character.
  bool oneCharacter() const { return atom != Atom::kOther; }
  // The atom is "." with DOT_ANY: it holds at every character.
  bool holdsEverywhere() const { return everywhere; }
  // The atom is a literal of two or more characters.
  bool repeatsLongLiteral() const { return longLiteral; }
  // Whether the one-character atom holds at i, below the text's length.
  bool holdsAt(const String& text, int i) const;

 protected:
  // One repetition from pos: its end, or -1. A single character or class
  // atom is tested in line; anything else is matched through `inner`.
  int repeatOnce(const String& text, Matcher& matcher, int pos) const;
  // For an atom one character wide: the end of as many repetitions from pos
  // as hold, but at most limit; -1 for any other inner chain. With the memo
  // on, no character is tested twice in one operation.
  int repeatRun(const String& text, Matcher& matcher, int pos, long limit) const;

 private:
  enum class Atom : unsigned char { kOther, kChar, kCIChar, kClass, kCIClass, kQuote, kCIQuote };
  // repeatRun from pos up to last, testing every character.
  int scanRun(const String& text, int pos, int last) const;

  // The inner chain is one atom and the accept node the constructor gave it.
  bool atomAlone = false;
  Atom atom = Atom::kOther;
  bool longLiteral = false;
  bool everywhere = false;
};

template <class CharT>
class BasicNFAGreedyQuantifierNode : public BasicNFAQuantifierNode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using BasicNFAQuantifierNode<CharT>::BasicNFAQuantifierNode;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  // One repetition beyond count, then the rest; gives back one at a time.
  virtual int matchGreedy(const String& text, Matcher& matcher, int pos, int count) const;

  // A test of the character at a position that the rest of the pattern
  // after this repetition must pass there, set by the parser: the plain
  // character, the first character of the plain literal, or the mandatory
  // one-character repetition that comes first (through nodes that only pass
  // the position on and group heads, which put back what they set when the
  // rest fails). Positions that fail it are passed over without a call.
  // guardDepth is the stack a call that fails there would have used below
  // its own frame: none when the node called is the character or the
  // literal itself, else a group head's frame or more.
  const CharT* guardChar = nullptr;
  const BasicNFAQuantifierNode<CharT>* guardAtom = nullptr;
  long guardDepth = 0;
};

template <class CharT>
class BasicNFALazyQuantifierNode : public BasicNFAQuantifierNode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using BasicNFAQuantifierNode<CharT>::BasicNFAQuantifierNode;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

template <class CharT>
class BasicNFAPossessiveQuantifierNode : public BasicNFAQuantifierNode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using BasicNFAQuantifierNode<CharT>::BasicNFAQuantifierNode;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

// Sets up a quantified group's loop state at the group's index; the saved
// values come back when the rest of the match fails.
template <class CharT>
class BasicNFAGroupLoopPrologueNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAGroupLoopPrologueNode(int index) : gi(index) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  int gi;
};

// Repeats a group whose tail leads back here; inner(p) thus covers the rest
// of the whole pattern. An iteration that consumes nothing ends the loop.
template <class CharT>
class BasicNFAGroupLoopNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  using typename BasicNFANode<CharT>::NodeSet;
  static constexpr int kGreedy = 0;
  static constexpr int kReluctant = 1;
  static constexpr int kPossessive = 2;
  BasicNFAGroupLoopNode(BasicNFANode<CharT>* body, int minimum, int maximum, int index, int kind)
      : gi(index), min(minimum), max(maximum), type(kind), inner(body) {}
  void collectNodes(NodeSet& nodes) override;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  int gi;
  int min;
  int max;
  int type;
  BasicNFANode<CharT>* inner;
};

// The diagnostic dump exists for the narrow family only.
template <>
void BasicNFAQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFAGreedyQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFALazyQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFAPossessiveQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFAGroupLoopPrologueNode<char>::dump(int indent) const;
template <>
void BasicNFAGroupLoopNode<char>::dump(int indent) const;

using NFAGroupLoopPrologueNode = BasicNFAGroupLoopPrologueNode<char>;
using NFAGroupLoopPrologueUNode = BasicNFAGroupLoopPrologueNode<wchar_t>;
using NFAGroupLoopNode = BasicNFAGroupLoopNode<char>;
using NFAGroupLoopUNode = BasicNFAGroupLoopNode<wchar_t>;
using NFAQuantifierNode = BasicNFAQuantifierNode<char>;
using NFAQuantifierUNode = BasicNFAQuantifierNode<wchar_t>;
using NFAGreedyQuantifierNode = BasicNFAGreedyQuantifierNode<char>;
using NFAGreedyQuantifierUNode = BasicNFAGreedyQuantifierNode<wchar_t>;
using NFALazyQuantifierNode = BasicNFALazyQuantifierNode<char>;
using NFALazyQuantifierUNode = BasicNFALazyQuantifierNode<wchar_t>;
using NFAPossessiveQuantifierNode = BasicNFAPossessiveQuantifierNode<char>;
using NFAPossessiveQuantifierUNode = BasicNFAPossessiveQuantifierNode<wchar_t>;

#endif  // ZRN_REGEX_QUANTIFIER_NODES_H_
