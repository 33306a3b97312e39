// Node graph of a compiled pattern: the node base and the framing, literal,
// class and position nodes, narrow and wide.
//
// A compiled pattern is a chain of nodes linked through `next`. `match` returns
// the end of the match of the node together with every node after it, or -1;
// matching never changes a node, everything a match records goes to the
// matcher. Nodes do not own one another: the pattern that created them owns
// and deletes all of them (group loops make the graph cyclic).
//
// Every class is one template over the character type; the narrow names
// (NFACharNode) and the wide names (NFACharUNode) are aliases of its two
// instantiations.
#ifndef ZRN_REGEX_NODES_H_
#define ZRN_REGEX_NODES_H_

#include <cstddef>
#include <map>
#include <memory_resource>
#include <string>
#include <vector>

#include "regex/regex_traits.h"

template <class CharT>
class BasicMatcher;
template <class CharT>
class BasicPattern;

template <class CharT>
class BasicNFANode;

namespace zrn_regex_detail {

// The node base's virtual operations are declared in layers so that both
// families keep one order and the narrow family's `dump` takes its place
// between `match` and `isGroupHead`: the destructor, `collectNodes` and
// `match` here, then `dump` (narrow only), then the rest in BasicNFANode.
template <class CharT>
class NodeOperations {
 public:
  using String = std::basic_string<CharT>;
  using Matcher = BasicMatcher<CharT>;
  using NodeSet = std::pmr::map<BasicNFANode<CharT>*, bool>;

  virtual ~NodeOperations() = default;
  virtual void collectNodes(NodeSet& nodes) = 0;
  virtual int match(const String& text, Matcher& matcher, int pos) const = 0;

 protected:
  NodeOperations() = default;
};

template <class CharT>
class NodeDumpOperation : public NodeOperations<CharT> {};

template <>
class NodeDumpOperation<char> : public NodeOperations<char> {
 public:
  // Prints this node and its successors, indented by 2 * indent.
  virtual void dump(int indent) const = 0;
};

}  // namespace zrn_regex_detail

template <class CharT>
class BasicNFANode : public zrn_regex_detail::NodeDumpOperation<CharT> {
 public:
  using String = std::basic_string<CharT>;
  using Matcher = BasicMatcher<CharT>;
  using NodeSet = std::pmr::map<BasicNFANode*, bool>;

  // Nodes live in their pattern's arena (`new (arena) NFACharNode(c)`):
  // deleting a node runs its destructor and leaves the memory to the arena,
  // which the pattern releases as a whole.
  static void* operator new(std::size_t size, std::pmr::memory_resource* arena) {
    return arena->allocate(size, alignof(std::max_align_t));
  }
  static void operator delete(void*, std::pmr::memory_resource*) {}
  static void operator delete(void*) {}

  BasicNFANode() = default;
  BasicNFANode(const BasicNFANode&) = delete;
  BasicNFANode& operator=(const BasicNFANode&) = delete;
  ~BasicNFANode() override = default;

  // Enters every node reachable from this one into nodes; a node met a second
  // time ends the walk, so cycles terminate.
  void collectNodes(NodeSet& nodes) override;
  // End of the match of this node and all nodes after it, or -1.
  int match(const String& text, Matcher& matcher, int pos) const override = 0;
  void dump(int indent) const;  // narrow only
  virtual bool isGroupHead() const { return false; }
  virtual bool isStartOfInput() const { return false; }

  BasicNFANode* next = nullptr;
  // This node's slot in the matcher's failure memo, -1 for none: set by the
  // parser on the nodes a search can reach at one position along more than
  // one path (see BasicMatcher::kMemoAfterSteps).
  int memoSlot = -1;
  // The node a call into `node` runs: nodes that only pass the position on
  // are stepped over. An accept node that ends a sub-chain is returned.
  static const BasicNFANode* landing(const BasicNFANode* node) {
    while (node->shape == Shape::kPassThrough && node->next != nullptr) node = node->next;
    return node;
  }
  static BasicNFANode* landing(BasicNFANode* node) {
    return const_cast<BasicNFANode*>(landing(static_cast<const BasicNFANode*>(node)));
  }
  // True for the accept node that ends a sub-chain: it returns at once.
  bool endsSubChain() const { return shape == Shape::kPassThrough && next == nullptr; }
  bool isCharacter() const { return shape == Shape::kChar; }
  bool isRepetition() const { return shape == Shape::kRepetition; }
  bool isQuote() const { return shape == Shape::kQuote; }

 protected:
  // What a caller may do with this node without a nested call: step over it
  // (sub-start nodes, and accept nodes that have a successor, only pass the
  // position on) or, for a plain character node, test its character in
  // line; the other character and class shapes let a repetition test its
  // atom in line, kAlternation marks the alternation node, kRepetition
  // the repetitions of a single atom and kQuote and kCIQuote the literals.
  // Only the node classes named set a shape other than kOther.
  enum class Shape : unsigned char {
    kOther,
    kChar,
    kCIChar,
    kClass,
    kCIClass,
    kPassThrough,
    kAlternation,
    kRepetition,
    kQuote,
    kCIQuote
  };
  explicit BasicNFANode(Shape s) : shape(s) {}
  const Shape shape = Shape::kOther;
  static Shape shapeOf(const BasicNFANode* node) { return node->shape; }

  // Every call from one node into another goes through here, so the matcher
  // can bound the stack of one operation (see BasicMatcher::kMaxStackBytes).
  static int call(const BasicNFANode* node, const String& text, Matcher& matcher, int pos);
  // The rest of call with the memo due or on, and for a node with a memo
  // slot; the caller's frame lies `depth` bytes down the stack.
  __attribute__((noinline)) static int callWithMemo(const BasicNFANode* node, const String& text,
                                                    Matcher& matcher, int pos, long depth);
  __attribute__((noinline)) static int callSlotted(const BasicNFANode* node, const String& text,
                                                   Matcher& matcher, int pos, long depth);
  int callNext(const String& text, Matcher& matcher, int pos) const {
    return call(next, text, matcher, pos);
  }
  // Counts a step of the current operation (see BasicMatcher::steps).
  static void countSteps(Matcher& matcher, long n);

  // The nodes' window on the matcher's state.
  static int& startOf(Matcher& m, int gi);
  static int& endOf(Matcher& m, int gi);
  static int& loopCountOf(Matcher& m, int gi);
  static int& loopPositionOf(Matcher& m, int gi);
  static int& loopSnapshotOf(Matcher& m, int gi);
  static int lastMatchEndOf(const Matcher& m);
  static int groupCountOf(const Matcher& m);
  static bool wholeText(const Matcher& m);
  // True once an attempt of the current operation has hit the depth bound.
  static bool overflowed(const Matcher& m);
  // The matcher's stack of saved values, for nodes that put state back.
  static std::vector<int>& scratchOf(Matcher& m);
};

template <class CharT>
class BasicNFACharNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFACharNode(CharT c)
      : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kChar), ch(c) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  CharT ch;
};

template <class CharT>
class BasicNFACICharNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFACICharNode(CharT c)
      : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kCIChar), ch(RegexTraits<CharT>::fold(c)) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  CharT ch;
};

template <class CharT>
class BasicNFAClassNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  // `arena` holds the member map (the pattern's arena for a compiled
  // pattern's nodes).
  explicit BasicNFAClassNode(bool invert,
                             std::pmr::memory_resource* arena = std::pmr::get_default_resource())
      : BasicNFAClassNode(BasicNFANode<CharT>::Shape::kClass, invert, arena) {}
  // Every character of members is entered once.
  BasicNFAClassNode(const String& members, bool invert,
                    std::pmr::memory_resource* arena = std::pmr::get_default_resource());
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  bool inv;
  std::pmr::map<CharT, bool> vals;

  // Rebuilds the lookup table beside vals for the values below 256 (the
  // constructors that take members build it as they enter them). The table
  // is used only while vals holds as many members as when it was built, so
  // members entered afterwards are looked up in vals until this runs again.
  void indexMembers();
  // Gives this node the members of other, a class node of the same kind.
  void copyMembers(const BasicNFAClassNode& other);
  // Whether c (folded already, for the case-insensitive class) is a member.
  bool isMember(CharT c) const {
    const unsigned long v = RegexTraits<CharT>::value(c);
    if (v < 256 && indexedCount == vals.size()) return (table[v >> 6] >> (v & 63)) & 1u;
    return vals.find(c) != vals.end();
  }

 protected:
  BasicNFAClassNode(typename BasicNFANode<CharT>::Shape shape, bool invert,
                    std::pmr::memory_resource* arena)
      : BasicNFANode<CharT>(shape), inv(invert), vals(arena) {}
  // Enters c into vals and into the table.
  void enterIndexed(CharT c);

 private:
  unsigned long long table[4] = {0, 0, 0, 0};
  // Size of vals when the table was last brought up to date.
  size_t indexedCount = 0;
};

// Members are stored lower-cased; the text's character is folded before the lookup.
template <class CharT>
class BasicNFACIClassNode : public BasicNFAClassNode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFACIClassNode(bool invert,
                               std::pmr::memory_resource* arena = std::pmr::get_default_resource())
      : BasicNFAClassNode<CharT>(BasicNFANode<CharT>::Shape::kCIClass, invert, arena) {}
  BasicNFACIClassNode(const String& members, bool invert,
                      std::pmr::memory_resource* arena = std::pmr::get_default_resource());
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

template <class CharT>
class BasicNFAQuoteNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAQuoteNode(const String& literal)
      : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kQuote), str(literal) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  String str;
};

// Compares exactly as many characters as the literal has, without case; a NUL
// ends the comparison.
template <class CharT>
class BasicNFACIQuoteNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFACIQuoteNode(const String& literal)
      : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kCIQuote), str(literal) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  String str;
};

// First node of every compiled pattern: records group 0's start and, when
// searching, tries each start position in turn (a loop, not a recursion).
template <class CharT>
class BasicNFAStartNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

// Last node of every compiled pattern: records group 0's end.
template <class CharT>
class BasicNFAEndNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

// End of a sub-chain: with no successor it returns the position it is given.
template <class CharT>
class BasicNFAAcceptNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  BasicNFAAcceptNode() : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kPassThrough) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

template <class CharT>
class BasicNFASubStartNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  BasicNFASubStartNode() : BasicNFANode<CharT>(BasicNFANode<CharT>::Shape::kPassThrough) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

template <class CharT>
class BasicNFAStartOfLineNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

template <class CharT>
class BasicNFAEndOfLineNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

template <class CharT>
class BasicNFAStartOfInputNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  bool isStartOfInput() const override { return true; }
};

// term: a final line terminator ("\n", "\r" or "\r\n") may follow the position.
template <class CharT>
class BasicNFAEndOfInputNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAEndOfInputNode(bool t) : term(t) {}
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
  bool term;
};

// Word characters are the 52 ASCII letters only; the end of the text is
// always a boundary, for "\b" and "\B" alike.
template <class CharT>
class BasicNFAWordBoundaryNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  explicit BasicNFAWordBoundaryNode(bool p) : pos(p) {}
  int match(const String& text, Matcher& matcher, int position) const override;
  void dump(int indent) const;
  bool pos;
};

// "\G": holds only where the matcher's current search began.
template <class CharT>
class BasicNFAEndOfMatchNode : public BasicNFANode<CharT> {
 public:
  using typename BasicNFANode<CharT>::String;
  using typename BasicNFANode<CharT>::Matcher;
  int match(const String& text, Matcher& matcher, int pos) const override;
  void dump(int indent) const;
};

// The diagnostic dump exists for the narrow family only.
template <>
void BasicNFANode<char>::dump(int indent) const;
template <>
void BasicNFANode<char>::dump(int indent) const;
template <>
void BasicNFACharNode<char>::dump(int indent) const;
template <>
void BasicNFACICharNode<char>::dump(int indent) const;
template <>
void BasicNFAClassNode<char>::dump(int indent) const;
template <>
void BasicNFACIClassNode<char>::dump(int indent) const;
template <>
void BasicNFAQuoteNode<char>::dump(int indent) const;
template <>
void BasicNFACIQuoteNode<char>::dump(int indent) const;
template <>
void BasicNFAStartNode<char>::dump(int indent) const;
template <>
void BasicNFAEndNode<char>::dump(int indent) const;
template <>
void BasicNFAAcceptNode<char>::dump(int indent) const;
template <>
void BasicNFASubStartNode<char>::dump(int indent) const;
template <>
void BasicNFAStartOfLineNode<char>::dump(int indent) const;
template <>
void BasicNFAEndOfLineNode<char>::dump(int indent) const;
template <>
void BasicNFAStartOfInputNode<char>::dump(int indent) const;
template <>
void BasicNFAEndOfInputNode<char>::dump(int indent) const;
template <>
void BasicNFAWordBoundaryNode<char>::dump(int indent) const;
template <>
void BasicNFAEndOfMatchNode<char>::dump(int indent) const;

using NFANode = BasicNFANode<char>;
using NFAUNode = BasicNFANode<wchar_t>;
using NFACharNode = BasicNFACharNode<char>;
using NFACharUNode = BasicNFACharNode<wchar_t>;
using NFACICharNode = BasicNFACICharNode<char>;
using NFACICharUNode = BasicNFACICharNode<wchar_t>;
using NFAClassNode = BasicNFAClassNode<char>;
using NFAClassUNode = BasicNFAClassNode<wchar_t>;
using NFACIClassNode = BasicNFACIClassNode<char>;
using NFACIClassUNode = BasicNFACIClassNode<wchar_t>;
using NFAQuoteNode = BasicNFAQuoteNode<char>;
using NFAQuoteUNode = BasicNFAQuoteNode<wchar_t>;
using NFACIQuoteNode = BasicNFACIQuoteNode<char>;
using NFACIQuoteUNode = BasicNFACIQuoteNode<wchar_t>;
using NFAStartNode = BasicNFAStartNode<char>;
using NFAStartUNode = BasicNFAStartNode<wchar_t>;
using NFAEndNode = BasicNFAEndNode<char>;
using NFAEndUNode = BasicNFAEndNode<wchar_t>;
using NFAAcceptNode = BasicNFAAcceptNode<char>;
using NFAAcceptUNode = BasicNFAAcceptNode<wchar_t>;
using NFASubStartNode = BasicNFASubStartNode<char>;
using NFASubStartUNode = BasicNFASubStartNode<wchar_t>;
using NFAStartOfLineNode = BasicNFAStartOfLineNode<char>;
using NFAStartOfLineUNode = BasicNFAStartOfLineNode<wchar_t>;
using NFAEndOfLineNode = BasicNFAEndOfLineNode<char>;
using NFAEndOfLineUNode = BasicNFAEndOfLineNode<wchar_t>;
using NFAStartOfInputNode = BasicNFAStartOfInputNode<char>;
using NFAStartOfInputUNode = BasicNFAStartOfInputNode<wchar_t>;
using NFAEndOfInputNode = BasicNFAEndOfInputNode<char>;
using NFAEndOfInputUNode = BasicNFAEndOfInputNode<wchar_t>;
using NFAWordBoundaryNode = BasicNFAWordBoundaryNode<char>;
using NFAWordBoundaryUNode = BasicNFAWordBoundaryNode<wchar_t>;
using NFAEndOfMatchNode = BasicNFAEndOfMatchNode<char>;
using NFAEndOfMatchUNode = BasicNFAEndOfMatchNode<wchar_t>;

#endif  // ZRN_REGEX_NODES_H_
