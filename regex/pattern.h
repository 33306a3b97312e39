// Pattern: one compiled regular expression, narrow (Pattern) or wide
// (WidePattern), with the static one-shot operations, the registry of named
// sub-patterns and the cache of compiled patterns.
//
// A pattern owns every node it created and an internal matcher that its
// instance operations run on. The caller of compile owns the pattern, the
// caller of makeMatcher the matcher (which must not outlive the pattern); a
// pattern from compileCached belongs to the cache. Syntax errors are reported
// on standard error and make compile return null; nothing throws. The tables
// and each pattern's internal matcher are unguarded: single-threaded use only.
//
// Call the static forms with String arguments: a character literal in the
// position of `text` would also fit the instance split's bool parameter.
#ifndef ZRN_REGEX_PATTERN_H_
#define ZRN_REGEX_PATTERN_H_

#include <map>
#include <memory_resource>
#include <string>
#include <utility>
#include <vector>

#include "regex/matcher.h"
#include "regex/nodes.h"

template <class CharT>
struct PatternInternals;  // white-box access for the engine's own tests
template <class CharT>
class BasicNFAQuantifierNode;

namespace zrn_regex_detail {

// The memory a pattern's nodes and their tables live in: one block inside
// the pattern, then larger blocks from the heap as the graph grows, all
// released at once with the pattern. A base of the pattern, so that it
// exists before the node table that draws on it and goes after it.
class PatternArena {
 protected:
  PatternArena() : arena(buffer, sizeof(buffer)) {}
  std::pmr::memory_resource* arenaResource() { return &arena; }

 private:
  alignas(std::max_align_t) unsigned char buffer[8192];
  std::pmr::monotonic_buffer_resource arena;
};

}  // namespace zrn_regex_detail

template <class CharT>
class BasicPattern : private zrn_regex_detail::PatternArena {
 public:
  using String = std::basic_string<CharT>;
  using Node = BasicNFANode<CharT>;
  using MatcherType = BasicMatcher<CharT>;

  static constexpr unsigned long IGNORE_CASE = 1;
  static constexpr unsigned long LITERAL_TEXT = 2;
  static constexpr unsigned long DOT_ANY = 4;
  static constexpr unsigned long LINE_ANCHORS = 8;
  static constexpr unsigned long LF_ONLY = 16;

  // A new pattern, or null after a syntax error (already reported on
  // standard error). The caller deletes the pattern.
  [[nodiscard]] static BasicPattern* compile(const String& pattern, unsigned long flags = 0);
  // The static forms compile afresh on every call (a bad pattern reports on
  // every call) and give false, empty results or an empty string for it.
  static bool matches(const String& pattern, const String& text, unsigned long flags = 0);
  static std::vector<String> findAll(const String& pattern, const String& text,
                                     unsigned long flags = 0);
  static std::vector<String> split(const String& pattern, const String& text,
                                   bool keepEmpty = false, unsigned long limit = 0,
                                   unsigned long flags = 0);
  static String replace(const String& pattern, const String& text, const String& replacement,
                        unsigned long flags = 0);
  // Match number n (from 0) and its start; the empty string and -1 when there
  // is none or n is negative.
  static std::pair<String, int> findNth(const String& pattern, const String& text, int n,
                                        unsigned long flags = 0);
  // Stores the pattern under name for "{name}" references once it compiles;
  // false (with the error reported) when it does not.
  static bool registerName(const String& name, const String& pattern, unsigned long flags = 0);
  static void clearNames();
  // The cached pattern for this text, compiled on first use; the key is the
  // text alone, and a text that failed stays null without a second report.
  static BasicPattern* compileCached(const String& pattern, unsigned long flags = 0);
  // Deletes every cached pattern.
  static void clearCache();

  BasicPattern(const BasicPattern&) = delete;
  BasicPattern& operator=(const BasicPattern&) = delete;
  ~BasicPattern();

  // A new matcher of this pattern for a copy of text; the caller deletes it.
  [[nodiscard]] MatcherType* makeMatcher(const String& text) const;
  bool matches(const String& text);
  std::vector<String> findAll(const String& text);
  // Segments between matches; without keepEmpty no empty segment appears and
  // empty matches do not split. At most limit segments (0: no cap) come from
  // matches, and the rest follows as one more.
  std::vector<String> split(const String& text, bool keepEmpty = false, unsigned long limit = 0);
  String replace(const String& text, const String& replacement);
  unsigned long getFlags() const { return flags; }
  String getPattern() const { return pattern; }
  // Takes ownership of node and returns it.
  Node* registerNode(Node* node);
  // Where this pattern's nodes are allocated: `new (p->nodeArena()) ...`.
  std::pmr::memory_resource* nodeArena() { return arenaResource(); }
  // Prints the node graph on standard output. Narrow only: the wide pattern
  // declares it but has no definition.
  void print() const;

  static std::map<String, BasicPattern*> patternCache;
  static std::map<String, std::pair<String, unsigned long>> registeredPatterns;

 private:
  friend class BasicMatcher<CharT>;
  friend struct PatternInternals<CharT>;

  explicit BasicPattern(const String& text);

  // Why the reading of one alternative stopped: at a "|", at a ")" that
  // closes the level's group (consumed), at the end of the text, or at a
  // character read after a syntax error.
  enum class SequenceEnd { kBar, kClose, kText, kError };

  // The parser (one recursive-descent level per call). A level with
  // inAlternation reads one later alternative only and sets
  // laterAlternativeFollows when a "|" ended it.
  Node* parse(bool inGroup, bool inAlternation, Node** outTail, int groupIndex, bool groupHeaded);
  // Reads items and links them after *tail until one of the ends above.
  SequenceEnd parseSequence(bool inGroup, Node** tail);
  // Reads the alternatives after a level's first "|" and builds the
  // alternation over *head .. *tail; the same ends as parseSequence, "|"
  // excepted.
  SequenceEnd parseAlternation(bool inGroup, int index, bool headed, Node** head, Node** tail);
  void raiseError();
  // Reports that the text nests deeper than kMaxNesting, once; every later
  // report of the same compile is left out.
  void tripNestingBound();
  Node* parseBackReference();
  Node* parseNamedPattern(Node** outTail);
  // Decimal value of pattern[first..last]; -1 when it does not fit in an int.
  int parseNumber(int first, int last) const;
  Node* parseQuantifier(Node* atom);
  Node* parseGroupQuantifier(Node* head, Node* tail, int gi);
  bool parseBounds(int* min, int* max);
  Node* parseLookBehind(bool positive, Node** outTail);

  // Escapes and classes; each returns a member string.
  // With outShared, "\d" and "\w" (and their negations) hand out their
  // member string through it, without a copy, and return an empty string.
  String parseEscape(bool* outNegated, bool* outQuote, const String** outShared = nullptr);
  String parseHex();
  String parseOctal();
  String parsePosixClass();
  Node* parseQuote();
  String parseClass();
  // range(low, high) with the checks of the class reader: a reversed range or
  // one beyond kMaxRange characters is a syntax error and yields nothing.
  String checkedRange(CharT low, CharT high);
  static String classRange(CharT low, CharT high);
  String classComplement(const String& set) const;
  static String classIntersection(String a, String b);
  static String classUnion(String a, String b);
  Node* makeClassNode(const String& members, bool negated);

  // Deepest nesting of groups, classes and sub-pattern references the parser
  // follows; deeper text is a syntax error rather than a stack overflow.
  // Alternatives do not nest: any number of them side by side is fine.
  static constexpr int kMaxNesting = 1000;
  // Most characters one class range may hold.
  static constexpr unsigned long kMaxRange = 0x10000;

  // Every node of the graph, each once, in the order made; the pattern
  // deletes them. A list, not a tree: entering a node is the one step of
  // compiling that every node takes.
  std::pmr::vector<Node*> nodes;
  MatcherType* matcher;
  Node* head;
  String pattern;
  bool error;
  int cursor;
  int groupCount;
  int nonCapCount;
  unsigned long flags;
  int nesting;
  bool nestingTripped;
  bool laterAlternativeFollows;
  // The memo (BasicMatcher::kMemoAfterSteps): how many nodes have a failure
  // slot and how many repetitions a run slot, whether the pattern holds none
  // of the nodes whose outcome depends on more than the text and the
  // position, and the joins of alternatives, whose successors get a slot.
  int memoSlots;
  int runSlots;
  bool memoizable;
  std::pmr::vector<Node*> joins;
  // The repetitions of single atoms, newest first, linked through
  // laterRepetition.
  BasicNFAQuantifierNode<CharT>* repetitions;
  // Gives the memo's slots out and the greedy repetitions their guards once
  // the graph is complete.
  void prepareMemo();
  void prepareGuards();
  // Names of the registered sub-patterns being read, innermost last.
  std::vector<String> expanding;
};

template <>
void BasicPattern<char>::print() const;

using Pattern = BasicPattern<char>;
using WidePattern = BasicPattern<wchar_t>;

#endif  // ZRN_REGEX_PATTERN_H_
