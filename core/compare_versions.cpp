#include "core/compare_versions.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "core/base_cmp.h"
#include "core/split_cursor.h"
#include "regex/pattern.h"

CTokenizer::CTokenizer(const std::wstring& text, wchar_t delimiter) {
  size_t p = 0;
  for (size_t q = text.find(delimiter, p); q != std::wstring::npos; q = text.find(delimiter, p)) {
    m_tokens.push_back(text.substr(p, q - p));
    p = q + 1;
  }
  if (p < text.size()) m_tokens.push_back(text.substr(p));
}

namespace {

// An empty token is never numeric; the pattern is not asked about it, so
// that a version of millions of dots compares quickly.
bool IsNumeric(const std::wstring& token) {
  return !token.empty() && WidePattern::matches(L"\\d+", token);
}

// Orders two digit strings by value without reading them into an integer,
// so that numbers of any length compare correctly (a 32-bit read would make
// every pair beyond its range equal): leading zeros dropped, then the longer
// is the greater, then the first differing digit decides.
int CompareDigits(const std::wstring& a, const std::wstring& b) {
  const size_t aStart = std::min(a.find_first_not_of(L'0'), a.size());
  const size_t bStart = std::min(b.find_first_not_of(L'0'), b.size());
  const size_t aLength = a.size() - aStart, bLength = b.size() - bStart;
  if (aLength != bLength) return aLength < bLength ? -1 : 1;
  const int order = a.compare(aStart, aLength, b, bStart, bLength);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// One pair of tokens: by value when both are numeric, otherwise as text.
int CompareTokenPair(const std::wstring& a, const std::wstring& b) {
  if (IsNumeric(a) && IsNumeric(b)) return CompareDigits(a, b);
  return CompareText(a.c_str(), b.c_str());
}

}  // namespace

// The C library's optimised wcscmp returns -1 or 1 for most placements of
// the two strings and other values (-4, 3, ...) for some, most often near a
// page end: only its sign is the order.
int CompareText(const wchar_t* a, const wchar_t* b) {
  const int order = std::wcscmp(a, b);
  return (order > 0) - (order < 0);
}

int CompareTokens(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
  for (size_t i = 0;; ++i) {
    if (i == a.size()) return b.size() > a.size() ? -1 : 0;
    if (i == b.size()) return 1;
    const int order = CompareTokenPair(a[i], b[i]);
    if (order != 0) return order;
  }
}

// CompareTokens of the two texts' CTokenizer lists, token by token: a list
// would take a wide string for every token, hundreds of megabytes for a
// version of a few million dots.
int CBaseCmp::CompareVersions(const std::wstring& packaged, const std::wstring& installed) {
  SplitCursor<std::wstring> a(packaged, L'.'), b(installed, L'.');
  std::wstring aToken, bToken;
  for (;;) {
    const bool aHas = a.Next(&aToken);
    const bool bHas = b.Next(&bToken);
    if (!aHas) return bHas ? -1 : 0;
    if (!bHas) return 1;
    const int order = CompareTokenPair(aToken, bToken);
    if (order != 0) return order;
  }
}

std::wstring CBaseCmp::ToUpper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return text;
}

std::wstring PlannedAction(int comparison) {
  switch (comparison) {
    case 0:
      return L"rewrite";
    case 1:
      return L"upgrade";
    case -1:
      return L"downgrade";
    default:
      return L"unknown";
  }
}
