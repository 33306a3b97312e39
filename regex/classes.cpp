// Escapes and character classes: the escape reader with its named sets, the
// quoted literal, the class reader and the four set operations on member
// strings.
#include <algorithm>
#include <climits>

#include "regex/parser_support.h"
#include "regex/pattern.h"

namespace {

template <class C>
std::basic_string<C> Widen(const char* ascii) {
  std::basic_string<C> out;
  for (const char* p = ascii; *p != '\0'; ++p) out += static_cast<C>(*p);
  return out;
}

template <class C>
std::basic_string<C> ValueRun(unsigned long first, unsigned long last) {
  std::basic_string<C> out;
  for (unsigned long v = first; v <= last; ++v) out += RegexTraits<C>::fromValue(v);
  return out;
}

template <class C>
int HexValue(C c) {
  if (c >= C('0') && c <= C('9')) return static_cast<int>(c - C('0'));
  if (c >= C('a') && c <= C('f')) return static_cast<int>(c - C('a')) + 10;
  if (c >= C('A') && c <= C('F')) return static_cast<int>(c - C('A')) + 10;
  return -1;
}

template <class C>
bool IsOctal(C c, C high) {
  return c >= C('0') && c <= high;
}

const char kDigits[] = "0123456789";
const char kLower[] = "abcdefghijklmnopqrstuvwxyz";
const char kUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The sets of "\d" and "\w", built once per width, in ascending order.
template <class C>
const std::basic_string<C>& Digits() {
  static const std::basic_string<C> digits = Widen<C>(kDigits);
  return digits;
}

template <class C>
const std::basic_string<C>& WordCharacters() {
  static const std::basic_string<C> word =
      Widen<C>(kDigits) + Widen<C>(kUpper) + C('_') + Widen<C>(kLower);
  return word;
}

template <class C>
std::basic_string<C> Punct() {
  return ValueRun<C>(0x21, 0x2F) + ValueRun<C>(0x3A, 0x40) + ValueRun<C>(0x5B, 0x60) +
         ValueRun<C>(0x7B, 0x7E);
}

// Sorted copy, ascending by unsigned character value.
template <class C>
std::basic_string<C> Sorted(std::basic_string<C> s) {
  std::sort(s.begin(), s.end(),
            [](C a, C b) { return RegexTraits<C>::value(a) < RegexTraits<C>::value(b); });
  return s;
}

}  // namespace

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::makeClassNode(const String& members,
                                                               bool negated) {
  std::pmr::memory_resource* arena = arenaResource();
  if ((flags & IGNORE_CASE) != 0) {
    return new (arena) BasicNFACIClassNode<C>(members, negated, arena);
  }
  // "\d" and "\w" come up in most patterns: their member maps are copied from
  // one built once per width, which is quicker than entering every member.
  static const BasicNFAClassNode<C> digits(Digits<C>(), false);
  static const BasicNFAClassNode<C> word(WordCharacters<C>(), false);
  const BasicNFAClassNode<C>* prototype = members == Digits<C>()           ? &digits
                                          : members == WordCharacters<C>() ? &word
                                                                           : nullptr;
  if (prototype == nullptr) return new (arena) BasicNFAClassNode<C>(members, negated, arena);
  auto* node = new (arena) BasicNFAClassNode<C>(negated, arena);
  node->copyMembers(*prototype);
  return node;
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::parseEscape(bool* outNegated, bool* outQuote,
                                                              const String** outShared) {
  *outNegated = false;
  *outQuote = false;
  if (outShared != nullptr) *outShared = nullptr;
  if (cursor >= static_cast<int>(pattern.size())) {
    raiseError();
    return String();
  }
  C c = pattern[cursor++];
  String result;
  bool negated = false;
  switch (c) {
    case C('d'):
    case C('D'):
      if (outShared != nullptr) {
        *outShared = &Digits<C>();
      } else {
        result = Digits<C>();
      }
      negated = c == C('D');
      break;
    case C('s'):
    case C('S'):
      result = Widen<C>(" \t\r\n\f");
      negated = c == C('S');
      break;
    case C('w'):
    case C('W'):
      if (outShared != nullptr) {
        *outShared = &WordCharacters<C>();
      } else {
        result = WordCharacters<C>();
      }
      negated = c == C('W');
      break;
    case C('p'):
    case C('P'):
      result = parsePosixClass();
      negated = c == C('P');
      break;
    case C('t'):
      result = String(1, C('\t'));
      break;
    case C('n'):
      result = String(1, C('\n'));
      break;
    case C('r'):
      result = String(1, C('\r'));
      break;
    case C('f'):
      result = String(1, C('\f'));
      break;
    case C('a'):
      result = String(1, C(0x07));
      break;
    case C('e'):
      // "\e" has always stood for the carriage return here, as "\r" does;
      // it is kept so that existing patterns keep their meaning.
      result = String(1, C('\r'));
      break;
    case C('x'):
      result = parseHex();
      break;
    case C('0'):
      result = parseOctal();
      break;
    case C('Q'):
      *outQuote = true;
      break;
    default:
      result = String(1, c);
      break;
  }
  *outNegated = negated;
  return result;
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::parseHex() {
  const int len = static_cast<int>(pattern.size());
  const int available = std::min(RegexTraits<C>::kMaxHexDigits, len - cursor);
  // The longest form that fits: four digits (wide only), else two.
  for (int digits = RegexTraits<C>::kMaxHexDigits; digits >= 2; digits -= 2) {
    if (digits > available) continue;
    unsigned long value = 0;
    bool all = true;
    for (int i = 0; i < digits && all; ++i) {
      int h = HexValue(pattern[cursor + i]);
      all = h >= 0;
      value = value * 16 + static_cast<unsigned long>(h < 0 ? 0 : h);
    }
    if (all) {
      cursor += digits;
      return String(1, RegexTraits<C>::fromValue(value));
    }
  }
  // "\x" without two hexadecimal digits is a syntax error; nothing after the
  // "x" is consumed and the letter stands in for the missing character.
  raiseError();
  return String(1, C('x'));
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::parseOctal() {
  const int len = static_cast<int>(pattern.size());
  auto at = [&](int i) { return cursor + i < len ? pattern[cursor + i] : C(0); };
  C d1 = at(0);
  C d2 = at(1);
  C d3 = at(2);
  unsigned long value;
  if (IsOctal(d1, C('3')) && IsOctal(d2, C('7'))) {
    value = static_cast<unsigned long>(d1 - C('0')) * 8 + static_cast<unsigned long>(d2 - C('0'));
    cursor += 2;
    if (IsOctal(d3, C('7'))) {
      value = value * 8 + static_cast<unsigned long>(d3 - C('0'));
      ++cursor;
    }
  } else if (IsOctal(d1, C('7')) && IsOctal(d2, C('7'))) {
    value = static_cast<unsigned long>(d1 - C('0')) * 8 + static_cast<unsigned long>(d2 - C('0'));
    cursor += 2;
  } else {
    raiseError();
    return String(1, C(' '));
  }
  return String(1, RegexTraits<C>::fromValue(value));
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::parsePosixClass() {
  struct NamedSet {
    const char* name;
    String members;
  };
  const String alpha = Widen<C>(kLower) + Widen<C>(kUpper);
  const String alnum = alpha + Widen<C>(kDigits);
  const String graph = alnum + Punct<C>();
  const NamedSet sets[] = {
      {"{Lower}", Widen<C>(kLower)},
      {"{Upper}", Widen<C>(kUpper)},
      {"{Alpha}", alpha},
      {"{Digit}", Widen<C>(kDigits)},
      {"{Alnum}", alnum},
      {"{Punct}", Punct<C>()},
      {"{Graph}", graph},
      {"{Print}", graph + C(' ')},
      {"{Blank}", Widen<C>(" \t")},
      {"{Space}", Widen<C>(" \t\n\v\f\r")},
      {"{Cntrl}", ValueRun<C>(0x00, 0x1F) + C(0x7F)},
      {"{ASCII}", ValueRun<C>(0x00, 0x7F)},
      {"{XDigit}", Widen<C>("abcdefABCDEF0123456789")},
  };
  for (const NamedSet& set : sets) {
    String name = Widen<C>(set.name);
    if (pattern.compare(static_cast<size_t>(cursor), name.size(), name) == 0) {
      cursor += static_cast<int>(name.size());
      return set.members;
    }
  }
  raiseError();
  return String();
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::parseQuote() {
  const int len = static_cast<int>(pattern.size());
  String literal;
  while (true) {
    if (cursor >= len) {
      raiseError();
      break;
    }
    C c = pattern[cursor];
    if (c == C('\\') && cursor + 1 < len && pattern[cursor + 1] == C('E')) {
      cursor += 2;
      break;
    }
    if (c == C('\\')) {
      if (cursor + 1 >= len) {
        ++cursor;
        raiseError();
        break;
      }
      literal += pattern[cursor + 1];
      cursor += 2;
      continue;
    }
    literal += c;
    ++cursor;
  }
  Node* node = (flags & IGNORE_CASE) != 0
                   ? static_cast<Node*>(new (arenaResource()) BasicNFACIQuoteNode<C>(literal))
                   : static_cast<Node*>(new (arenaResource()) BasicNFAQuoteNode<C>(literal));
  // Registered by the sequence, as its other atoms are.
  return node;
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::checkedRange(C low, C high) {
  unsigned long lo = RegexTraits<C>::value(low);
  unsigned long hi = RegexTraits<C>::value(high);
  // A range whose first character lies above its last is a syntax error, as
  // is one too large to hold (wide only: a narrow range has at most 256).
  if (lo > hi || hi - lo >= kMaxRange) {
    raiseError();
    return String();
  }
  return classRange(low, high);
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::parseClass() {
  const int len = static_cast<int>(pattern.size());
  zrn_regex_detail::NestingGuard guard(nesting);
  if (nesting > kMaxNesting) {
    tripNestingBound();
    cursor = len;
    return String();
  }
  String members;
  bool complement = false;
  if (cursor < len && pattern[cursor] == C('^')) {
    complement = true;
    ++cursor;
  }
  // Reports at the cursor where the fault was found, then gives up on the
  // class: the missing "]" is reported once more at the end.
  auto failToEnd = [&]() {
    raiseError();
    cursor = len;
  };
  // Reads the end of a range after its "-"; the low end is already read.
  auto readRangeEnd = [&](C low) {
    ++cursor;  // the "-"
    if (cursor >= len) {
      raiseError();
      return;
    }
    C h = pattern[cursor++];
    if (h == C('[') || h == C(']') || h == C('-') || h == C('&')) {
      failToEnd();
    } else if (h == C('\\')) {
      bool negated = false;
      bool quote = false;
      String s = parseEscape(&negated, &quote);
      if (quote) {
        failToEnd();
      } else if (negated || s.size() >= 2) {
        raiseError();  // the range is dropped, reading goes on
      } else if (s.size() == 1) {
        members = classUnion(members, checkedRange(low, s[0]));
      }
    } else {
      members = classUnion(members, checkedRange(low, h));
    }
  };
  while (cursor < len && pattern[cursor] != C(']')) {
    C c = pattern[cursor++];
    bool dashFollows = cursor < len && pattern[cursor] == C('-');
    if (c == C('[')) {
      members = classUnion(members, parseClass());
    } else if (c == C('&') && cursor < len && pattern[cursor] == C('&')) {
      ++cursor;
      if (cursor < len && pattern[cursor] == C('[')) {
        ++cursor;
        members = classIntersection(members, parseClass());
      } else {
        failToEnd();
      }
    } else if (c == C('\\')) {
      bool negated = false;
      bool quote = false;
      String s = parseEscape(&negated, &quote);
      if (quote) {
        failToEnd();
      } else if (negated) {
        members = classUnion(members, classComplement(s));
      } else if (s.size() >= 2) {
        members = classUnion(members, s);
      } else if (s.size() == 1) {
        if (cursor < len && pattern[cursor] == C('-')) {
          readRangeEnd(s[0]);
        } else {
          members = classUnion(members, s);
        }
      }
    } else if (dashFollows) {
      readRangeEnd(c);
    } else {
      members += c;
    }
  }
  if (cursor < len && pattern[cursor] == C(']')) {
    ++cursor;
    if (complement) members = classComplement(members);
    return members;
  }
  raiseError();
  return String();
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::classRange(C low, C high) {
  // Counted over unsigned values, so a range may end at the highest value
  // and may cross 0x80 without turning empty or reversed.
  unsigned long lo = RegexTraits<C>::value(low);
  unsigned long hi = RegexTraits<C>::value(high);
  if (lo > hi) return String();
  return ValueRun<C>(lo, hi);
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::classComplement(const String& set) const {
  const unsigned long high = RegexTraits<C>::kComplementHigh;
  std::vector<bool> excluded(high + 1, false);
  for (C c : set) {
    unsigned long v = RegexTraits<C>::value(c);
    if (v > high) continue;
    excluded[v] = true;
    if ((flags & IGNORE_CASE) != 0) {
      if (v >= 'a' && v <= 'z') excluded[v - 32] = true;
      if (v >= 'A' && v <= 'Z') excluded[v + 32] = true;
    }
  }
  String out;
  out.reserve(high + 1);
  for (unsigned long v = high + 1; v-- > 0;) {
    if (!excluded[v]) out += RegexTraits<C>::fromValue(v);
  }
  return out;
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::classUnion(String a, String b) {
  // A merge of the sorted inputs: a character held n times in one input and
  // m times in the other stands max(n, m) times in the result.
  a = Sorted(std::move(a));
  b = Sorted(std::move(b));
  String out;
  out.reserve(a.size() + b.size());
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() || j < b.size()) {
    if (j >= b.size() ||
        (i < a.size() && RegexTraits<C>::value(a[i]) < RegexTraits<C>::value(b[j]))) {
      out += a[i++];
    } else if (i >= a.size() || RegexTraits<C>::value(b[j]) < RegexTraits<C>::value(a[i])) {
      out += b[j++];
    } else {
      out += a[i++];
      ++j;
    }
  }
  return out;
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::classIntersection(String a, String b) {
  a = Sorted(std::move(a));
  b = Sorted(std::move(b));
  String out;
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    unsigned long va = RegexTraits<C>::value(a[i]);
    unsigned long vb = RegexTraits<C>::value(b[j]);
    if (va < vb) {
      ++i;
    } else if (vb < va) {
      ++j;
    } else {
      out += a[i++];
      ++j;
    }
  }
  return out;
}

#define ZRN_INSTANTIATE_CLASSES(C)                                                             \
  template BasicPattern<C>::Node* BasicPattern<C>::makeClassNode(const String&, bool);         \
  template BasicPattern<C>::String BasicPattern<C>::parseEscape(bool*, bool*, const String**); \
  template BasicPattern<C>::String BasicPattern<C>::parseHex();                                \
  template BasicPattern<C>::String BasicPattern<C>::parseOctal();                              \
  template BasicPattern<C>::String BasicPattern<C>::parsePosixClass();                         \
  template BasicPattern<C>::Node* BasicPattern<C>::parseQuote();                               \
  template BasicPattern<C>::String BasicPattern<C>::checkedRange(C, C);                        \
  template BasicPattern<C>::String BasicPattern<C>::parseClass();                              \
  template BasicPattern<C>::String BasicPattern<C>::classRange(C, C);                          \
  template BasicPattern<C>::String BasicPattern<C>::classComplement(const String&) const;      \
  template BasicPattern<C>::String BasicPattern<C>::classUnion(String, String);                \
  template BasicPattern<C>::String BasicPattern<C>::classIntersection(String, String);

ZRN_INSTANTIATE_CLASSES(char)
ZRN_INSTANTIATE_CLASSES(wchar_t)
