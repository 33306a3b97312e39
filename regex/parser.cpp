// Compile and the recursive-descent parser: one parse level per call, its
// atoms, the anchors and back references it reads itself, groups with their
// prefixes and inline flags, alternation, registered sub-patterns,
// quantifiers, and the syntax-error report.
#include <climits>
#include <vector>

#include "regex/group_nodes.h"
#include "regex/parser_support.h"
#include "regex/pattern.h"
#include "regex/quantifier_nodes.h"

// The registry is defined and instantiated with the rest of the pattern
// tables; the parser only looks names up in it.
extern template std::map<std::string, std::pair<std::string, unsigned long>>
    BasicPattern<char>::registeredPatterns;
extern template std::map<std::wstring, std::pair<std::wstring, unsigned long>>
    BasicPattern<wchar_t>::registeredPatterns;

namespace {

const char kMetaMessage[] = "Syntax Error near here. Possible unescaped meta character.\n";
const char kPlainMessage[] = "Syntax Error near here. \n";

template <class C>
bool IsDigit(C c) {
  return c >= C('0') && c <= C('9');
}

template <class C>
bool IsAsciiLetter(C c) {
  return (c >= C('a') && c <= C('z')) || (c >= C('A') && c <= C('Z'));
}

}  // namespace

template <class C>
BasicPattern<C>* BasicPattern<C>::compile(const String& text, unsigned long flags) {
  BasicPattern* p = new BasicPattern(text);
  p->flags = flags;
  if ((flags & LITERAL_TEXT) != 0) {
    // No parsing at all: the whole text is one literal.
    p->head = p->registerNode(new (p->arenaResource()) BasicNFAStartNode<C>());
    Node* quote = (flags & IGNORE_CASE) != 0
                      ? static_cast<Node*>(new (p->arenaResource()) BasicNFACIQuoteNode<C>(text))
                      : static_cast<Node*>(new (p->arenaResource()) BasicNFAQuoteNode<C>(text));
    p->head->next = p->registerNode(quote);
    quote->next = p->registerNode(new (p->arenaResource()) BasicNFAEndNode<C>());
    p->groupCount = 1;
  } else {
    Node* tail = nullptr;
    Node* first = p->parse(false, false, &tail, 0, false);
    if (first == nullptr) {
      delete p;
      return nullptr;
    }
    p->head = p->registerNode(new (p->arenaResource()) BasicNFAStartNode<C>());
    p->head->next = first;
    tail->next = p->registerNode(new (p->arenaResource()) BasicNFAEndNode<C>());
    p->prepareGuards();
    p->prepareMemo();
  }
  p->matcher = new MatcherType(p, String());
  return p;
}

template <class C>
void BasicPattern<C>::prepareGuards() {
  for (auto* repetition = repetitions; repetition; repetition = repetition->laterRepetition) {
    if (!repetition->greedy) continue;
    auto* greedy = static_cast<BasicNFAGreedyQuantifierNode<C>*>(repetition);
    Node* node = Node::landing(greedy->next);
    bool throughGroup = false;
    while (node->isGroupHead()) {
      node = Node::landing(node->next);
      throughGroup = true;
    }
    greedy->guardDepth = throughGroup ? MatcherType::kCallGap : 0;
    if (node->isCharacter()) {
      greedy->guardChar = &static_cast<BasicNFACharNode<C>*>(node)->ch;
    } else if (node->isQuote()) {
      // A literal fails at once where its first character is not in the
      // text; an empty one holds everywhere.
      const String& literal = static_cast<BasicNFAQuoteNode<C>*>(node)->str;
      if (!literal.empty()) greedy->guardChar = literal.data();
    } else if (node->isRepetition()) {
      auto* first = static_cast<BasicNFAQuantifierNode<C>*>(node);
      if (first->min > 0 && first->oneCharacter()) greedy->guardAtom = first;
    }
  }
}

template <class C>
void BasicPattern<C>::prepareMemo() {
  if (!memoizable) return;
  // The node a call into `from` lands on, given a failure slot; null when
  // that node cannot fail: the accept node that ends a sub-chain returns at
  // once.
  auto slotted = [this](Node* from) -> Node* {
    Node* node = Node::landing(from);
    if (node->endsSubChain()) return nullptr;
    if (node->memoSlot < 0) node->memoSlot = memoSlots++;
    return node;
  };
  for (Node* join : joins) slotted(join);
  for (auto* repetition = repetitions; repetition; repetition = repetition->laterRepetition) {
    if (Node* target = slotted(repetition->next)) repetition->targetSlot = target->memoSlot;
    const long most = repetition->max > repetition->min
                          ? static_cast<long>(repetition->max) - repetition->min
                          : 0;
    if (repetition->oneCharacter() && !repetition->holdsEverywhere() &&
        (most > MatcherType::kShortRun || repetition->min > MatcherType::kShortRun)) {
      repetition->runSlot = runSlots++;
    }
  }
}

template <class C>
void BasicPattern<C>::tripNestingBound() {
  // One report for the whole pattern: the levels it unwinds through add none.
  if (!nestingTripped) raiseError();
  nestingTripped = true;
  error = true;
}

template <class C>
void BasicPattern<C>::raiseError() {
  if (nestingTripped) {
    error = true;
    return;
  }
  bool meta = false;
  if (cursor >= 1 && cursor - 1 < static_cast<int>(pattern.size())) {
    C before = pattern[cursor - 1];
    meta = before == C(')') || before == C('*') || before == C('+') || before == C('?') ||
           before == C(']') || before == C('}');
  }
  zrn_regex_detail::WriteSyntaxErrorReport(RegexTraits<C>::reportText(pattern), cursor,
                                           meta ? kMetaMessage : kPlainMessage);
  error = true;
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parse(bool inGroup, bool inAlternation,
                                                       Node** outTail, int groupIndex,
                                                       bool groupHeaded) {
  zrn_regex_detail::NestingGuard guard(nesting);
  if (nesting > kMaxNesting) {
    tripNestingBound();
    return nullptr;
  }
  const int len = static_cast<int>(pattern.size());
  int index = groupCount++;
  const unsigned long entryFlags = flags;
  // What the level is, and so what its ")" builds.
  enum class Kind { kPlain, kGroup, kLookAhead, kAtomic, kAlternative };
  Kind kind = Kind::kPlain;
  bool lookPositive = false;
  bool headed = false;
  Node* start = nullptr;
  if (!inGroup) {
    start = registerNode(new (arenaResource()) BasicNFASubStartNode<C>());
    if (inAlternation) --groupCount;
  } else if (inAlternation) {
    --groupCount;
    index = groupIndex;
    headed = groupHeaded;
    kind = Kind::kAlternative;
    start = groupHeaded
                ? static_cast<Node*>(new (arenaResource()) BasicNFAGroupHeadNode<C>(groupIndex))
                : static_cast<Node*>(new (arenaResource()) BasicNFASubStartNode<C>());
    registerNode(start);
  } else if (cursor < len && pattern[cursor] == C('?')) {
    ++cursor;
    --groupCount;
    C p0 = cursor < len ? pattern[cursor] : C(0);
    C p1 = cursor + 1 < len ? pattern[cursor + 1] : C(0);
    if (cursor < len && (p0 == C('=') || p0 == C('!'))) {
      ++cursor;
      kind = Kind::kLookAhead;
      lookPositive = p0 == C('=');
    } else if (cursor + 1 < len && p0 == C('<') && (p1 == C('=') || p1 == C('!'))) {
      cursor += 2;
      return parseLookBehind(p1 == C('='), outTail);
    } else if (cursor < len && p0 == C('>')) {
      ++cursor;
      kind = Kind::kAtomic;
    } else {
      // A flag list, possibly empty, ended by ":" (a non-capturing group, "(?:"
      // among them, with those flags)
      // or by ")" (the flags hold to the end of the enclosing level).
      bool clearing = false;
      while (kind == Kind::kPlain) {
        if (cursor >= len) {
          raiseError();
          return nullptr;
        }
        C f = pattern[cursor];
        unsigned long bit = f == C('i')   ? IGNORE_CASE
                            : f == C('m') ? LINE_ANCHORS
                            : f == C('s') ? DOT_ANY
                            : f == C('d') ? LF_ONLY
                                          : 0;
        if (bit != 0) {
          flags = clearing ? flags & ~bit : flags | bit;
          ++cursor;
        } else if (f == C('-') && !clearing) {
          clearing = true;
          ++cursor;
        } else if (f == C(':')) {
          ++cursor;
          kind = Kind::kGroup;
        } else if (f == C(')')) {
          ++cursor;
          Node* placeholder =
              registerNode(new (arenaResource()) BasicNFALookBehindNode<C>(String(), true));
          if (outTail != nullptr) *outTail = placeholder;
          return placeholder;
        } else {
          raiseError();
          return nullptr;
        }
      }
    }
    if (kind == Kind::kGroup) {
      index = --nonCapCount;
      headed = true;
      start = registerNode(new (arenaResource()) BasicNFAGroupHeadNode<C>(index));
    } else {
      start = registerNode(new (arenaResource()) BasicNFASubStartNode<C>());
    }
  } else {
    kind = Kind::kGroup;
    headed = true;
    start = registerNode(new (arenaResource()) BasicNFAGroupHeadNode<C>(index));
  }
  Node* head = start;
  Node* tail = start;
  SequenceEnd end = parseSequence(inGroup, &tail);
  if (end == SequenceEnd::kError) return nullptr;

  if (inAlternation) {
    // A later alternative ends at the next "|", which the caller reads on
    // from, at the group's ")", which is left for the group's own level, or
    // at the end of the text. Its flags carry on into the next alternative.
    laterAlternativeFollows = end == SequenceEnd::kBar;
    if (end == SequenceEnd::kText && inGroup) {
      raiseError();  // the group is not closed
      return nullptr;
    }
    if (end == SequenceEnd::kClose) --cursor;
    tail->next = registerNode(new (arenaResource()) BasicNFAAcceptNode<C>());
    if (outTail != nullptr) *outTail = tail->next;
    return error ? nullptr : head;
  }

  if (end == SequenceEnd::kBar) {
    end = parseAlternation(inGroup, index, headed, &head, &tail);
    if (end == SequenceEnd::kError) return nullptr;
  }

  if (end == SequenceEnd::kClose) {
    if (kind == Kind::kLookAhead || kind == Kind::kAtomic) {
      // A failed attempt keeps the bounds its body recorded.
      memoizable = false;
      tail->next = registerNode(new (arenaResource()) BasicNFAAcceptNode<C>());
      flags = entryFlags;
      Node* n = kind == Kind::kLookAhead
                    ? static_cast<Node*>(new (arenaResource())
                                             BasicNFALookAheadNode<C>(head, lookPositive))
                    : static_cast<Node*>(new (arenaResource())
                                             BasicNFAPossessiveQuantifierNode<C>(this, head, 1, 1));
      registerNode(n);
      if (outTail != nullptr) *outTail = n;
      return n;
    }
    Node* groupTail = registerNode(new (arenaResource()) BasicNFAGroupTailNode<C>(index));
    tail->next = groupTail;
    if (outTail != nullptr) *outTail = groupTail;
    Node* loop = parseGroupQuantifier(head, groupTail, index);
    if (loop != nullptr) {
      head = loop;
      if (outTail != nullptr) *outTail = loop->next;
    }
    flags = entryFlags;
    return head;
  }

  if (inGroup) {
    raiseError();  // the group is not closed
  } else if (outTail != nullptr) {
    *outTail = tail;
  }
  flags = entryFlags;
  return error ? nullptr : head;
}

// The alternatives after a level's first "|", read one after the other: the
// chain is the one that reading each later alternative as a level nested in
// the one before would build, without a stack level per alternative. Each
// later alternative but the last is an alternation node of its own alternative
// and of the rest (`two`), whose successor is the join of the level before it;
// every branch ends at its own last node.
template <class C>
typename BasicPattern<C>::SequenceEnd BasicPattern<C>::parseAlternation(bool inGroup, int index,
                                                                        bool headed, Node** head,
                                                                        Node** tail) {
  const int len = static_cast<int>(pattern.size());
  const unsigned long flagsAtBar = flags;
  const int capturesBefore = groupCount;
  const int nonCapBefore = nonCapCount;
  struct Alternative {
    Node* first;
    Node* last;  // the accept node that closes its own alternative
  };
  std::vector<Alternative> later;
  // The accept node that closes the first alternative.
  (*tail)->next = registerNode(new (arenaResource()) BasicNFAAcceptNode<C>());
  Alternative firstAlternative = {*head, (*tail)->next};
  do {
    Node* last = nullptr;
    laterAlternativeFollows = false;
    Node* first = parse(inGroup, true, &last, index, headed);
    if (first == nullptr) {
      // A syntax error: each level that the alternatives before it would
      // have nested in reads one more character and meets the error, or,
      // at the end of a group's text, reports that the group is not closed.
      for (size_t level = 0; level <= later.size(); ++level) {
        if (cursor < len) {
          ++cursor;
        } else if (inGroup) {
          raiseError();
        }
      }
      return SequenceEnd::kError;
    }
    later.push_back({first, last});
  } while (laterAlternativeFollows);

  // Join from the innermost level out. `rest` is what the level of later[k]
  // returns: the last alternative itself, or the alternation node built for
  // its own first alternative and the rest; restTail its last node.
  Node* rest = later.back().first;
  Node* restTail = later.back().last;
  bool restIsAlternation = false;
  for (size_t k = later.size(); k-- > 0;) {
    const bool outermost = k == 0;
    const Alternative& mine = outermost ? firstAlternative : later[k - 1];
    auto* alternation = new (arenaResource()) BasicNFAOrNode<C>(mine.first, rest);
    registerNode(alternation);
    Node* join = registerNode(new (arenaResource()) BasicNFAAcceptNode<C>());
    joins.push_back(join);
    mine.last->next = join;
    (restIsAlternation ? rest : restTail)->next = join;
    if (restIsAlternation && outermost) {
      // Only behind the outermost join can the rest of the pattern fail
      // after a later alternative matched (a later level's join leads to
      // that level's closing accept node): the groups opened in the later
      // alternatives, and the group they belong to, are put back then.
      auto* inner = static_cast<BasicNFAOrNode<C>*>(rest);
      inner->restoreNonCap = {nonCapCount, nonCapBefore};
      inner->restoreCap = {capturesBefore, groupCount};
      inner->restoreOwn = headed ? index : 0;
    }
    if (outermost) {
      *head = alternation;
      *tail = join;
    } else {
      // The later level then ends with a closing accept node of its own.
      Node* closing = registerNode(new (arenaResource()) BasicNFAAcceptNode<C>());
      join->next = closing;
      rest = alternation;
      restTail = closing;
      restIsAlternation = true;
    }
  }
  // Each later level put back, when it ended, the flags it found: those in
  // force at the first "|".
  flags = flagsAtBar;
  return cursor < len ? (++cursor, SequenceEnd::kClose) : SequenceEnd::kText;
}

template <class C>
typename BasicPattern<C>::SequenceEnd BasicPattern<C>::parseSequence(bool inGroup, Node** tail) {
  const int len = static_cast<int>(pattern.size());
  while (cursor < len) {
    C ch = pattern[cursor++];
    Node* atom = nullptr;
    if (error) return SequenceEnd::kError;
    switch (ch) {
      case C('^'):
        atom = (flags & LINE_ANCHORS) != 0
                   ? static_cast<Node*>(new (arenaResource()) BasicNFAStartOfLineNode<C>())
                   : static_cast<Node*>(new (arenaResource()) BasicNFAStartOfInputNode<C>());
        break;
      case C('$'):
        atom = (flags & LINE_ANCHORS) != 0
                   ? static_cast<Node*>(new (arenaResource()) BasicNFAEndOfLineNode<C>())
                   : static_cast<Node*>(new (arenaResource()) BasicNFAEndOfInputNode<C>(false));
        break;
      case C('.'): {
        String members;
        if ((flags & DOT_ANY) == 0) {
          members += C('\n');
          if ((flags & LF_ONLY) == 0) members += C('\r');
        }
        atom = new (arenaResource()) BasicNFAClassNode<C>(members, true, arenaResource());
        break;
      }
      case C('['): {
        String members = parseClass();
        atom = makeClassNode(members, false);
        break;
      }
      case C('\\'): {
        if (cursor >= len) {
          raiseError();
          break;
        }
        C e = pattern[cursor];
        if (e >= C('1') && e <= C('9')) {
          atom = parseBackReference();
        } else if (e == C('A')) {
          ++cursor;
          atom = new (arenaResource()) BasicNFAStartOfInputNode<C>();
        } else if (e == C('b') || e == C('B')) {
          ++cursor;
          atom = new (arenaResource()) BasicNFAWordBoundaryNode<C>(e == C('b'));
        } else if (e == C('G')) {
          ++cursor;
          atom = new (arenaResource()) BasicNFAEndOfMatchNode<C>();
          memoizable = false;  // holds only where the search began
        } else if (e == C('Z') || e == C('z')) {
          ++cursor;
          atom = new (arenaResource()) BasicNFAEndOfInputNode<C>(e == C('Z'));
        } else {
          bool negated = false;
          bool quote = false;
          const String* shared = nullptr;
          String s = parseEscape(&negated, &quote, &shared);
          if (quote) {
            atom = parseQuote();
          } else if (shared != nullptr) {
            atom = makeClassNode(*shared, negated);
          } else if (s.size() != 1 || negated) {
            atom = makeClassNode(s, negated);
          } else {
            // One character stands for itself exactly, also under IGNORE_CASE.
            atom = new (arenaResource()) BasicNFACharNode<C>(s[0]);
          }
        }
        break;
      }
      case C('('): {
        Node* groupTail = nullptr;
        Node* group = parse(true, false, &groupTail, 0, false);
        if (group == nullptr) {
          raiseError();
        } else {
          (*tail)->next = group;
          *tail = groupTail;
        }
        break;
      }
      case C('|'):
        return SequenceEnd::kBar;
      case C(')'):
        if (!inGroup) {
          raiseError();
          break;
        }
        return SequenceEnd::kClose;
      case C('{'): {
        Node* subTail = nullptr;
        Node* first = parseNamedPattern(&subTail);
        if (first != nullptr) {
          // No quantifier is read after a reference: one that follows is read
          // at atom position and is a syntax error.
          (*tail)->next = first;
          *tail = subTail;
        }
        break;
      }
      case C('*'):
      case C('+'):
      case C('?'):
      case C(']'):
      case C('}'):
        raiseError();
        break;
      default:
        atom = (flags & IGNORE_CASE) != 0
                   ? static_cast<Node*>(new (arenaResource()) BasicNFACICharNode<C>(ch))
                   : static_cast<Node*>(new (arenaResource()) BasicNFACharNode<C>(ch));
        break;
    }
    if (atom != nullptr) {
      registerNode(atom);
      Node* q = parseQuantifier(atom);
      (*tail)->next = q;
      *tail = q;
    }
  }

  return SequenceEnd::kText;
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parseBackReference() {
  memoizable = false;  // reads what the groups hold
  const int len = static_cast<int>(pattern.size());
  int i = cursor;
  int value = 0;
  while (i < len && IsDigit(pattern[i]) && (value <= 9 || value < groupCount)) {
    int digit = static_cast<int>(pattern[i] - C('0'));
    ++i;
    if (value > (INT_MAX - digit) / 10) {
      // A group number past any int is a syntax error, never an overflow.
      cursor = i;
      raiseError();
      return new (arenaResource()) BasicNFAReferenceNode<C>(0);
    }
    value = value * 10 + digit;
  }
  cursor = i;
  return new (arenaResource()) BasicNFAReferenceNode<C>(value);
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parseNamedPattern(Node** outTail) {
  *outTail = nullptr;
  size_t close = pattern.find(C('}'), static_cast<size_t>(cursor));
  if (close == String::npos) {
    raiseError();
    return nullptr;
  }
  String name = pattern.substr(static_cast<size_t>(cursor), close - static_cast<size_t>(cursor));
  bool valid = name.size() >= 2 && (IsAsciiLetter(name[0]) || name[0] == C('_'));
  for (size_t i = 1; valid && i < name.size(); ++i) {
    valid = IsAsciiLetter(name[i]) || IsDigit(name[i]) || name[i] == C('_');
  }
  if (!valid) {
    raiseError();
    return nullptr;
  }
  auto found = registeredPatterns.find(name);
  if (found == registeredPatterns.end()) {
    raiseError();
    return nullptr;
  }
  // A name that is already being read would recurse without end.
  for (const String& open : expanding) {
    if (open == name) {
      raiseError();
      return nullptr;
    }
  }
  const String keptPattern = pattern;
  const unsigned long keptFlags = flags;
  const int resume = static_cast<int>(close) + 1;
  pattern = found->second.first;
  cursor = 0;
  flags = found->second.second;
  --groupCount;
  expanding.push_back(name);
  Node* subTail = nullptr;
  Node* first = parse(false, false, &subTail, 0, false);
  expanding.pop_back();
  pattern = keptPattern;
  cursor = resume;
  flags = keptFlags;
  if (error) return nullptr;
  *outTail = subTail;
  return first;
}

template <class C>
int BasicPattern<C>::parseNumber(int first, int last) const {
  int value = 0;
  for (int i = first; i <= last; ++i) {
    int digit = static_cast<int>(pattern[i] - C('0'));
    if (value > (INT_MAX - digit) / 10) return -1;
    value = value * 10 + digit;
  }
  return value;
}

template <class C>
bool BasicPattern<C>::parseBounds(int* min, int* max) {
  *min = 0;
  *max = 0;
  const size_t start = static_cast<size_t>(cursor) + 1;
  size_t close = pattern.find(C('}'), start);
  if (close == String::npos) {
    raiseError();
    return false;
  }
  size_t comma = String::npos;
  bool wellFormed = true;
  for (size_t i = start; i < close; ++i) {
    if (pattern[i] == C(',') && comma == String::npos) {
      comma = i;
    } else if (!IsDigit(pattern[i])) {
      wellFormed = false;
    }
  }
  if (!wellFormed) {
    // Without a comma the braces may still be a sub-pattern reference.
    if (comma != String::npos) raiseError();
    return false;
  }
  int lo = 0;
  int hi = 0;
  if (comma == String::npos) {
    if (close > start) lo = hi = parseNumber(static_cast<int>(start), static_cast<int>(close) - 1);
  } else {
    lo = comma > start ? parseNumber(static_cast<int>(start), static_cast<int>(comma) - 1) : 0;
    hi = close > comma + 1 ? parseNumber(static_cast<int>(comma) + 1, static_cast<int>(close) - 1)
                           : INT_MAX;
  }
  if (lo < 0 || hi < 0) {
    // A bound too large for an int is a syntax error, never an overflow.
    raiseError();
    return false;
  }
  *min = lo;
  *max = hi;
  cursor = static_cast<int>(close) + 1;
  return true;
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parseQuantifier(Node* atom) {
  const int len = static_cast<int>(pattern.size());
  if (cursor >= len) return atom;
  C c = pattern[cursor];
  int min = 0;
  int max = 0;
  if (c == C('*')) {
    min = 0;
    max = INT_MAX;
    ++cursor;
  } else if (c == C('+')) {
    min = 1;
    max = INT_MAX;
    ++cursor;
  } else if (c == C('?')) {
    min = 0;
    max = 1;
    ++cursor;
  } else if (c == C('{')) {
    if (!parseBounds(&min, &max)) return atom;
  } else {
    return atom;
  }
  C suffix = cursor < len ? pattern[cursor] : C(0);
  BasicNFAQuantifierNode<C>* q;
  if (suffix == C('+') && cursor < len) {
    ++cursor;
    q = new (arenaResource()) BasicNFAPossessiveQuantifierNode<C>(this, atom, min, max);
  } else if (suffix == C('?') && cursor < len) {
    ++cursor;
    q = new (arenaResource()) BasicNFALazyQuantifierNode<C>(this, atom, min, max);
  } else {
    q = new (arenaResource()) BasicNFAGreedyQuantifierNode<C>(this, atom, min, max);
    q->greedy = true;
  }
  // A repetition of a longer literal enters a run at positions of every
  // remainder of its width, which one set of positions cannot tell apart.
  if (q->repeatsLongLiteral()) memoizable = false;
  q->laterRepetition = repetitions;
  repetitions = q;
  return registerNode(q);
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parseGroupQuantifier(Node* head, Node* tail,
                                                                      int gi) {
  const int len = static_cast<int>(pattern.size());
  if (cursor >= len) return nullptr;
  C c = pattern[cursor];
  int min = 0;
  int max = 0;
  if (c == C('*') || c == C('+') || c == C('?')) {
    min = c == C('+') ? 1 : 0;
    max = c == C('?') ? 1 : INT_MAX;
    ++cursor;
  } else if (c == C('{')) {
    if (!parseBounds(&min, &max)) return nullptr;
  } else {
    return nullptr;
  }
  int type = BasicNFAGroupLoopNode<C>::kGreedy;
  if (cursor < len && pattern[cursor] == C('+')) {
    ++cursor;
    type = BasicNFAGroupLoopNode<C>::kPossessive;
  } else if (cursor < len && pattern[cursor] == C('?')) {
    ++cursor;
    type = BasicNFAGroupLoopNode<C>::kReluctant;
  }
  memoizable = false;  // the loop's count and position travel with the match
  Node* prologue = registerNode(new (arenaResource()) BasicNFAGroupLoopPrologueNode<C>(gi));
  Node* loop =
      registerNode(new (arenaResource()) BasicNFAGroupLoopNode<C>(head, min, max, gi, type));
  prologue->next = loop;
  tail->next = loop;
  return prologue;
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parseLookBehind(bool positive, Node** outTail) {
  const int len = static_cast<int>(pattern.size());
  String literal;
  while (cursor < len && pattern[cursor] != C(')')) {
    C c = pattern[cursor++];
    if (c == C('\\')) {
      // Room is needed for the escaped character and the closing ")".
      if (len - cursor < 2) {
        raiseError();
        Node* blank = registerNode(new (arenaResource()) BasicNFACharNode<C>(C(' ')));
        if (outTail != nullptr) *outTail = blank;
        return blank;
      }
      c = pattern[cursor++];
    }
    literal += c;
  }
  if (cursor < len) {
    ++cursor;
  } else {
    raiseError();
  }
  Node* node = registerNode(new (arenaResource()) BasicNFALookBehindNode<C>(literal, positive));
  if (outTail != nullptr) *outTail = node;
  return node;
}

#define ZRN_INSTANTIATE_PARSER(C)                                                                  \
  template BasicPattern<C>* BasicPattern<C>::compile(const String&, unsigned long);                \
  template void BasicPattern<C>::raiseError();                                                     \
  template void BasicPattern<C>::tripNestingBound();                                               \
  template BasicPattern<C>::SequenceEnd BasicPattern<C>::parseSequence(bool, Node**);              \
  template BasicPattern<C>::SequenceEnd BasicPattern<C>::parseAlternation(bool, int, bool, Node**, \
                                                                          Node**);                 \
  template BasicPattern<C>::Node* BasicPattern<C>::parse(bool, bool, Node**, int, bool);           \
  template BasicPattern<C>::Node* BasicPattern<C>::parseBackReference();                           \
  template BasicPattern<C>::Node* BasicPattern<C>::parseNamedPattern(Node**);                      \
  template int BasicPattern<C>::parseNumber(int, int) const;                                       \
  template bool BasicPattern<C>::parseBounds(int*, int*);                                          \
  template BasicPattern<C>::Node* BasicPattern<C>::parseQuantifier(Node*);                         \
  template BasicPattern<C>::Node* BasicPattern<C>::parseGroupQuantifier(Node*, Node*, int);        \
  template BasicPattern<C>::Node* BasicPattern<C>::parseLookBehind(bool, Node**);

ZRN_INSTANTIATE_PARSER(char)
ZRN_INSTANTIATE_PARSER(wchar_t)
