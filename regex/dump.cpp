// Diagnostic dump of a narrow pattern's node graph on standard output, one
// line per node. The wide family has no dump.
#include <cstdio>
#include <cstring>

#include "regex/group_nodes.h"
#include "regex/pattern.h"
#include "regex/quantifier_nodes.h"

namespace {

// The indentation and the class name as run-time type information spells
// it: the name's length followed by the name ("11NFACharNode").
void Lead(int indent, const char* name) {
  std::printf("%*c%zu%s", 2 * indent, ' ', std::strlen(name), name);
}

const char* Bool(bool b) { return b ? "true" : "false"; }

// A character as a signed 8-bit value: bytes from 0x80 print eight digits.
unsigned int Signed8(char c) {
  return static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(c)));
}

void Successor(const NFANode* next, int indent) {
  if (next != nullptr) next->dump(indent);
}

void Plain(const NFANode* node, int indent, const char* name) {
  Lead(indent, name);
  std::printf("\n");
  Successor(node->next, indent);
}

void CharDump(const NFANode* node, int indent, const char* name, char ch) {
  Lead(indent, name);
  std::printf("(0x%02X)\n", Signed8(ch));
  Successor(node->next, indent);
}

void QuoteDump(const NFANode* node, int indent, const char* name, const std::string& str) {
  Lead(indent, name);
  std::printf("(%s)\n", str.c_str());
  Successor(node->next, indent);
}

}  // namespace

template <>
void Pattern::print() const {
  std::printf("Pattern(%s):\n", pattern.c_str());
  if (head != nullptr) head->dump(1);
}

template <>
void NFANode::dump(int indent) const {
  Plain(this, indent, "NFANode");
}

#define ZRN_PLAIN_DUMP(Class, Name)          \
  template <>                                \
  void Class<char>::dump(int indent) const { \
    Plain(this, indent, Name);               \
  }

ZRN_PLAIN_DUMP(BasicNFAStartNode, "NFAStartNode")
ZRN_PLAIN_DUMP(BasicNFAEndNode, "NFAEndNode")
ZRN_PLAIN_DUMP(BasicNFAAcceptNode, "NFAAcceptNode")
ZRN_PLAIN_DUMP(BasicNFASubStartNode, "NFASubStartNode")
ZRN_PLAIN_DUMP(BasicNFAStartOfLineNode, "NFAStartOfLineNode")
ZRN_PLAIN_DUMP(BasicNFAEndOfLineNode, "NFAEndOfLineNode")
ZRN_PLAIN_DUMP(BasicNFAStartOfInputNode, "NFAStartOfInputNode")
ZRN_PLAIN_DUMP(BasicNFAEndOfMatchNode, "NFAEndOfMatchNode")

template <>
void NFACharNode::dump(int indent) const {
  CharDump(this, indent, "NFACharNode", ch);
}

template <>
void NFACICharNode::dump(int indent) const {
  CharDump(this, indent, "NFACICharNode", ch);
}

template <>
void NFAClassNode::dump(int indent) const {
  Lead(indent, "NFAClassNode");
  std::printf("(%d vals, inv=%s)\n", static_cast<int>(vals.size()), Bool(inv));
  Successor(next, indent);
}

// A case-insensitive class prints no line of its own.
template <>
void NFACIClassNode::dump(int indent) const {
  Successor(next, indent);
}

template <>
void NFAQuoteNode::dump(int indent) const {
  QuoteDump(this, indent, "NFAQuoteNode", str);
}

template <>
void NFACIQuoteNode::dump(int indent) const {
  QuoteDump(this, indent, "NFACIQuoteNode", str);
}

template <>
void NFAEndOfInputNode::dump(int indent) const {
  Lead(indent, "NFAEndOfInputNode");
  std::printf("(term=%s)\n", Bool(term));
  Successor(next, indent);
}

template <>
void NFAWordBoundaryNode::dump(int indent) const {
  Lead(indent, "NFAWordBoundaryNode");
  std::printf("(pos=%s)\n", Bool(pos));
  Successor(next, indent);
}

namespace {

void QuantifierDump(const NFAQuantifierNode* node, int indent, const char* name) {
  Lead(indent, name);
  std::printf("(min=%d, max=%d)\n", node->min, node->max);
  std::printf("%*cinner\n", 2 * indent + 2, ' ');
  if (node->inner != nullptr) node->inner->dump(indent + 2);
  Successor(node->next, indent);
}

}  // namespace

template <>
void NFAQuantifierNode::dump(int indent) const {
  QuantifierDump(this, indent, "NFAQuantifierNode");
}
template <>
void NFAGreedyQuantifierNode::dump(int indent) const {
  QuantifierDump(this, indent, "NFAGreedyQuantifierNode");
}
template <>
void NFALazyQuantifierNode::dump(int indent) const {
  QuantifierDump(this, indent, "NFALazyQuantifierNode");
}
template <>
void NFAPossessiveQuantifierNode::dump(int indent) const {
  QuantifierDump(this, indent, "NFAPossessiveQuantifierNode");
}

#define ZRN_INDEX_DUMP(Class, Name)          \
  template <>                                \
  void Class<char>::dump(int indent) const { \
    Lead(indent, Name);                      \
    std::printf("(gi=%d)\n", gi);            \
    Successor(next, indent);                 \
  }

ZRN_INDEX_DUMP(BasicNFAGroupHeadNode, "NFAGroupHeadNode")
ZRN_INDEX_DUMP(BasicNFAGroupTailNode, "NFAGroupTailNode")
ZRN_INDEX_DUMP(BasicNFAReferenceNode, "NFAReferenceNode")
ZRN_INDEX_DUMP(BasicNFAGroupLoopPrologueNode, "NFAGroupLoopPrologueNode")

// The loop's inner chain is not printed: it runs back into the loop.
template <>
void NFAGroupLoopNode::dump(int indent) const {
  Lead(indent, "NFAGroupLoopNode");
  const char* kind = type == kGreedy ? "greedy" : type == kReluctant ? "reluctant" : "possessive";
  std::printf("(gi=%d, min=%d, max=%d, type=%s)\n", gi, min, max, kind);
  Successor(next, indent);
}

template <>
void NFAOrNode::dump(int indent) const {
  Lead(indent, "NFAOrNode");
  std::printf("\n");
  std::printf("%*cone\n", 2 * indent + 2, ' ');
  if (one != nullptr) one->dump(indent + 2);
  std::printf("%*ctwo\n", 2 * indent + 2, ' ');
  if (two != nullptr) two->dump(indent + 2);
}

template <>
void NFALookAheadNode::dump(int indent) const {
  Lead(indent, "NFALookAheadNode");
  std::printf("(pos=%s)\n", Bool(pos));
  if (inner != nullptr) inner->dump(indent + 1);
  Successor(next, indent);
}

template <>
void NFALookBehindNode::dump(int indent) const {
  Lead(indent, "NFALookBehindNode");
  std::printf("(str=%s, pos=%s)\n", str.c_str(), Bool(pos));
  Successor(next, indent);
}
