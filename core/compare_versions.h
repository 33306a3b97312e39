// Dotted-version comparison: CTokenizer splits a version text at a delimiter
// and CompareTokens orders two token lists, numerically where both tokens
// are decimal numbers and as wide strings otherwise. CBaseCmp::CompareVersions
// (core/base_cmp.h) joins the two for "."-separated versions.
//
// Nothing here fails, and every result is -1, 0 or 1: two tokens that are
// not both numbers are ordered by the sign of wcscmp alone, whose size
// follows where the strings lie in memory (so the same versions would plan
// differently from one run to the next).
#ifndef ZRN_CORE_COMPARE_VERSIONS_H_
#define ZRN_CORE_COMPARE_VERSIONS_H_

#include <string>
#include <vector>

class CTokenizer {
 public:
  // Empty tokens between delimiters and before a leading delimiter stay; a
  // trailing delimiter adds no empty token; an empty text gives no token.
  CTokenizer(const std::wstring& text, wchar_t delimiter);

  std::vector<std::wstring> m_tokens;
};

// Compares token by token: numeric pairs by value, other pairs by
// CompareText. When one list is a prefix of the other, the longer list is
// the greater; 0 when all are equal. Always -1, 0 or 1, the same as
// CBaseCmp::CompareVersions of the texts the lists came from.
[[nodiscard]] int CompareTokens(const std::vector<std::wstring>& a,
                                const std::vector<std::wstring>& b);

// -1, 0 or 1: the order of two NUL-terminated wide texts by their first
// differing characters, a text that is a prefix of the other first (the sign
// of wcscmp, never its value).
[[nodiscard]] int CompareText(const wchar_t* a, const wchar_t* b);

// The action a firmware item plans for a CompareVersions result (packaged
// first, installed second): 0 "rewrite", 1 "upgrade", -1 "downgrade", any
// other value "unknown".
[[nodiscard]] std::wstring PlannedAction(int comparison);

#endif  // ZRN_CORE_COMPARE_VERSIONS_H_
