#include "core/compare_versions.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "core/base_cmp.h"
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

bool IsNumeric(const std::wstring& token) { return WidePattern::matches(L"\\d+", token); }

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

}  // namespace

int CompareTokens(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
  for (size_t i = 0;; ++i) {
    if (i == a.size()) return b.size() > a.size() ? -1 : 0;
    if (i == b.size()) return 1;
    if (IsNumeric(a[i]) && IsNumeric(b[i])) {
      const int order = CompareDigits(a[i], b[i]);
      if (order != 0) return order;
    } else {
      const int order = std::wcscmp(a[i].c_str(), b[i].c_str());
      if (order != 0) return order;
    }
  }
}

int CBaseCmp::CompareVersions(std::wstring packaged, std::wstring installed) {
  return CompareTokens(CTokenizer(packaged, L'.').m_tokens, CTokenizer(installed, L'.').m_tokens);
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
