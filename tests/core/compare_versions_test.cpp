// Dotted versions: the tokenizer's empty tokens, numeric against text order,
// prefixes, digit strings beyond 32 bits, and the action each result plans.
#include "core/compare_versions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

TEST(TokenizerTest, EmptyTokensStayButNotAfterATrailingDelimiter) {
  const struct {
    std::wstring text;
    std::vector<std::wstring> tokens;
  } kCases[] = {
      {L"", {}},       {L"1", {L"1"}},       {L"2.10.3", {L"2", L"10", L"3"}},
      {L"1.", {L"1"}}, {L".1", {L"", L"1"}}, {L"1..2", {L"1", L"", L"2"}},
      {L".", {L""}},   {L"..", {L"", L""}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CTokenizer(c.text, L'.').m_tokens, c.tokens) << "[" << c.text.size() << "]";
  }
}

// The sign is what matters where the order comes from wcscmp.
enum Expect { kLess, kGreater, kExactlyMinus1, kExactly0, kExactly1 };

struct CompareCase {
  std::wstring packaged, installed;
  Expect expect;
};

class CompareVersionsTest : public CoreTest {};

const CompareCase kCompareCases[] = {
    {L"2.10", L"2.9", kExactly1},  // 10 > 9 as numbers
    {L"1.02", L"1.2", kExactly0},  // leading zeros do not count
    {L"1.0", L"1.0.0", kExactlyMinus1},
    {L"1.0.0", L"1.0", kExactly1},
    {L"1.", L"1", kExactly0},
    {L"", L"", kExactly0},
    {L"", L"1", kExactlyMinus1},
    {L"1", L"", kExactly1},
    {L"1.2a", L"1.2b", kLess},  // not numeric: text order
    {L"3.0a", L"3.0", kGreater},
    {L"1..2", L"1.0.2", kLess},  // the empty token sorts before "0"
    {L"10a", L"9a", kLess},      // text order, not numbers
    {L"+1", L"1", kLess},        // a sign makes a token text
    {L" 1", L"1", kLess},
    {L"1.0.x", L"1.0", kExactly1},  // extra tokens win whatever they hold
    {L"2.16", L"2.16", kExactly0},
    {L"2.16", L"2.10", kExactly1},
    {L"2.10", L"2.16", kExactlyMinus1},
    {L"000", L"0", kExactly0},
    // Beyond a 32-bit integer the digits still decide.
    {L"20231105123", L"20231105124", kExactlyMinus1},
    {L"20231105124", L"20231105123", kExactly1},
    {L"99999999999999999999", L"100000000000000000000", kExactlyMinus1},
    {L"2147483648", L"2147483647", kExactly1},
    {L"0004294967296", L"4294967296", kExactly0},
};

TEST_F(CompareVersionsTest, Table) {
  TestComponent cmp;
  for (const CompareCase& c : kCompareCases) {
    SCOPED_TRACE(testing::Message()
                 << "[" << std::string(c.packaged.begin(), c.packaged.end()) << "] vs ["
                 << std::string(c.installed.begin(), c.installed.end()) << "]");
    const int r = cmp.CompareVersions(c.packaged, c.installed);
    switch (c.expect) {
      case kLess:
        EXPECT_LT(r, 0);
        break;
      case kGreater:
        EXPECT_GT(r, 0);
        break;
      case kExactlyMinus1:
        EXPECT_EQ(r, -1);
        break;
      case kExactly0:
        EXPECT_EQ(r, 0);
        break;
      case kExactly1:
        EXPECT_EQ(r, 1);
        break;
    }
  }
}

// CompareVersions goes token by token instead of building CTokenizer lists;
// it orders as CompareTokens of the two lists does, on the table and on
// random texts of dots, digits, letters and other characters. Where wcscmp
// decides, only the sign is the same: the C library's optimised wcscmp
// gives -1 or another negative value depending on where the strings lie
// (the table above fixes the exact results of the other paths).
int ByLists(const std::wstring& a, const std::wstring& b) {
  return CompareTokens(CTokenizer(a, L'.').m_tokens, CTokenizer(b, L'.').m_tokens);
}

int Sign(int order) { return (order > 0) - (order < 0); }

TEST_F(CompareVersionsTest, TokenByTokenAsByLists) {
  TestComponent cmp;
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  for (const CompareCase& c : kCompareCases) pairs.emplace_back(c.packaged, c.installed);
  const wchar_t kAlphabet[] = {L'.', L'.', L'.', L'0', L'1',  L'2',  L'9',
                               L'a', L'B', L' ', L'+', L'\0', 0x100, 0x7fffffff};
  std::mt19937 random(17);
  auto text = [&] {
    std::wstring t(random() % 12, L'.');
    for (wchar_t& c : t) c = kAlphabet[random() % (sizeof kAlphabet / sizeof kAlphabet[0])];
    return t;
  };
  for (int i = 0; i < 20000; ++i) {
    std::wstring a = text();
    // Often the same text, or one that shares its start, so that the
    // comparison goes past the first token.
    std::wstring b = random() % 3 == 0 ? a : a.substr(0, random() % (a.size() + 1)) + text();
    pairs.emplace_back(a, b);
  }
  for (const auto& [a, b] : pairs) {
    ASSERT_EQ(Sign(cmp.CompareVersions(a, b)), Sign(ByLists(a, b)))
        << "[" << std::string(a.begin(), a.end()) << "] vs [" << std::string(b.begin(), b.end())
        << "]";
  }
}

TEST_F(CompareVersionsTest, ToUpper) {
  TestComponent cmp;
  EXPECT_EQ(cmp.ToUpper(L""), L"");
  EXPECT_EQ(cmp.ToUpper(L"1077.2532.abcd.015d"), L"1077.2532.ABCD.015D");
  EXPECT_EQ(cmp.ToUpper(L"x-_.9 Z"), L"X-_.9 Z");
}

TEST_F(CompareVersionsTest, PlannedActions) {
  EXPECT_EQ(PlannedAction(0), L"rewrite");
  EXPECT_EQ(PlannedAction(1), L"upgrade");
  EXPECT_EQ(PlannedAction(-1), L"downgrade");
  for (int other : {2, -2, 100, -100}) EXPECT_EQ(PlannedAction(other), L"unknown");
}

}  // namespace
}  // namespace zrn_test
