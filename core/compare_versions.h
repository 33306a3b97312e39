// Dotted-version comparison: CTokenizer splits a version text at a delimiter
// and CompareTokens orders two token lists, numerically where both tokens
// are decimal numbers and as wide strings otherwise. CBaseCmp::CompareVersions
// (core/base_cmp.h) joins the two for "."-separated versions.
//
// Nothing here fails: a result other than -1, 0 and 1 says that a pair of
// non-numeric tokens differs, which callers treat as "not comparable".
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

// Compares token by token: numeric pairs by value, other pairs by wcscmp,
// whose non-zero result is returned as it is. When one list is a prefix of
// the other, the longer list is the greater (-1 or 1); 0 when all are equal.
[[nodiscard]] int CompareTokens(const std::vector<std::wstring>& a,
                                const std::vector<std::wstring>& b);

// The action a firmware item plans for a CompareVersions result (packaged
// first, installed second): 0 "rewrite", 1 "upgrade", -1 "downgrade", any
// other value "unknown".
[[nodiscard]] std::wstring PlannedAction(int comparison);

#endif  // ZRN_CORE_COMPARE_VERSIONS_H_
