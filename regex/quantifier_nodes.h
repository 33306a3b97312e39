// Repetition of a single atom: the quantifier node base (the mandatory
// repetitions) and its greedy, lazy and possessive kinds, narrow and wide.
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


// The diagnostic dump exists for the narrow family only.
template <>
void BasicNFAQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFAGreedyQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFALazyQuantifierNode<char>::dump(int indent) const;
template <>
void BasicNFAPossessiveQuantifierNode<char>::dump(int indent) const;

using NFAQuantifierNode = BasicNFAQuantifierNode<char>;
using NFAQuantifierUNode = BasicNFAQuantifierNode<wchar_t>;
using NFAGreedyQuantifierNode = BasicNFAGreedyQuantifierNode<char>;
using NFAGreedyQuantifierUNode = BasicNFAGreedyQuantifierNode<wchar_t>;
using NFALazyQuantifierNode = BasicNFALazyQuantifierNode<char>;
using NFALazyQuantifierUNode = BasicNFALazyQuantifierNode<wchar_t>;
using NFAPossessiveQuantifierNode = BasicNFAPossessiveQuantifierNode<char>;
using NFAPossessiveQuantifierUNode = BasicNFAPossessiveQuantifierNode<wchar_t>;

#endif  // ZRN_REGEX_QUANTIFIER_NODES_H_
