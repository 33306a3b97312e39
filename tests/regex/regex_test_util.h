// Shared helpers of the engine's table-driven tests: widening an ASCII or
// byte literal for the wide run, owning wrappers for compiled patterns and
// matchers, the typed-test list over both character widths, and small
// probes (anchor positions, member counts) that the tables build on.
#ifndef ZRN_TESTS_REGEX_REGEX_TEST_UTIL_H
#define ZRN_TESTS_REGEX_REGEX_TEST_UTIL_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "regex/pattern.h"

namespace zrn_regex_test {

// Each byte becomes one character of the same unsigned value, so a byte
// literal means the same characters in the narrow and the wide run.
template <class C>
std::basic_string<C> Widen(const std::string& bytes) {
  std::basic_string<C> out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out.push_back(static_cast<C>(b));
  return out;
}

template <class C>
std::vector<std::basic_string<C>> WidenAll(const std::vector<std::string>& v) {
  std::vector<std::basic_string<C>> out;
  for (const std::string& s : v) out.push_back(Widen<C>(s));
  return out;
}

template <class C>
using PatternPtr = std::unique_ptr<BasicPattern<C>>;
template <class C>
using MatcherPtr = std::unique_ptr<BasicMatcher<C>>;

// Compiles a byte-literal pattern for width C; null after a syntax error.
template <class C>
PatternPtr<C> Compile(const std::string& pattern, unsigned long flags = 0) {
  return PatternPtr<C>(BasicPattern<C>::compile(Widen<C>(pattern), flags));
}

// A readable name for failure messages: the pattern with its flag word.
inline std::string Describe(const std::string& pattern, unsigned long flags,
                            const std::string& text) {
  std::string out = "pattern '" + pattern + "' flags " + std::to_string(flags) + " text '";
  for (unsigned char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c >= 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "'";
}

// Start and end of group 0 of the first search match, or {-1, -1}.
template <class C>
std::pair<int, int> SearchFirst(BasicPattern<C>* p, const std::basic_string<C>& text) {
  MatcherPtr<C> m(p->makeMatcher(text));
  if (!m->findFirst()) return {-1, -1};
  return {m->groupStart(0), m->groupEnd(0)};
}

// Every (start, end) that successive findNext calls report.
template <class C>
std::vector<std::pair<int, int>> SearchAll(BasicPattern<C>* p, const std::basic_string<C>& text) {
  std::vector<std::pair<int, int>> out;
  MatcherPtr<C> m(p->makeMatcher(text));
  // A text of n characters has at most n + 1 matches; the cap keeps a
  // matcher that repeats itself from hanging the test.
  while (out.size() <= text.size() + 1 && m->findNext()) {
    out.emplace_back(m->groupStart(0), m->groupEnd(0));
  }
  return out;
}

// The positions p of the text at which a zero-width test holds: a search for
// "\A.{p}" followed by the test, with "." taking every character, succeeds
// exactly when the test holds at p.
template <class C>
std::vector<int> HoldsAt(const std::string& test, unsigned long flags, const std::string& text) {
  std::vector<int> out;
  for (size_t p = 0; p <= text.size(); ++p) {
    std::string probe = "\\A.{" + std::to_string(p) + "}" + test;
    PatternPtr<C> pat = Compile<C>(probe, flags | BasicPattern<C>::DOT_ANY);
    if (!pat) {
      ADD_FAILURE() << "probe '" << probe << "' does not compile";
      return out;
    }
    if (SearchFirst<C>(pat.get(), Widen<C>(text)).first == 0) {
      out.push_back(static_cast<int>(p));
    }
  }
  return out;
}

// How many characters with the values 0 to last the pattern matches as a
// whole one-character text.
template <class C>
int CountMembers(BasicPattern<C>* p, unsigned long last) {
  MatcherPtr<C> m(p->makeMatcher(std::basic_string<C>()));
  int count = 0;
  std::basic_string<C> one(1, C());
  for (unsigned long v = 0; v <= last; ++v) {
    one[0] = static_cast<C>(v);
    m->setText(one);
    if (m->matches()) ++count;
  }
  return count;
}

// Runs a pattern operation with standard error captured and returns what
// it wrote there.
template <class F>
std::string StderrOf(F&& operation) {
  testing::internal::CaptureStderr();
  operation();
  return testing::internal::GetCapturedStderr();
}

struct WidthNames {
  template <class C>
  static std::string GetName(int) {
    return sizeof(C) == 1 ? "narrow" : "wide";
  }
};

using Widths = ::testing::Types<char, wchar_t>;

}  // namespace zrn_regex_test

#endif  // ZRN_TESTS_REGEX_REGEX_TEST_UTIL_H
