// Dotted versions: the tokenizer's empty tokens, numeric against text order,
// prefixes, digit strings beyond 32 bits, text order wherever the texts lie,
// and the action each result plans.
#include "core/compare_versions.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "core/split_cursor.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

// The pieces a SplitCursor gives, one at a time, into one string.
template <class String>
std::vector<String> Walk(const String& text, typename String::value_type delimiter) {
  std::vector<String> pieces;
  SplitCursor<String> cursor(text, delimiter);
  String piece;
  while (cursor.Next(&piece)) pieces.push_back(piece);
  return pieces;
}

// CTokenizer's list; SplitCursor gives the same pieces, wide at "." as
// versions are walked and narrow at "\n" as the Emulex query's lines are.
TEST(TokenizerTest, EmptyTokensStayButNotAfterATrailingDelimiter) {
  const struct {
    std::wstring text;
    std::vector<std::wstring> tokens;
  } kCases[] = {
      {L"", {}},       {L"1", {L"1"}},       {L"2.10.3", {L"2", L"10", L"3"}},
      {L"1.", {L"1"}}, {L".1", {L"", L"1"}}, {L"1..2", {L"1", L"", L"2"}},
      {L".", {L""}},   {L"..", {L"", L""}},  {L"ab..c.", {L"ab", L"", L"c"}},
  };
  auto lines = [](const std::wstring& text) {
    std::string narrow(text.begin(), text.end());
    std::replace(narrow.begin(), narrow.end(), '.', '\n');
    return narrow;
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(lines(c.text));
    EXPECT_EQ(CTokenizer(c.text, L'.').m_tokens, c.tokens);
    EXPECT_EQ(Walk(c.text, L'.'), c.tokens);
    std::vector<std::string> narrowTokens;
    for (const std::wstring& t : c.tokens) narrowTokens.push_back(lines(t));
    EXPECT_EQ(Walk(lines(c.text), '\n'), narrowTokens);
  }
}

struct CompareCase {
  std::wstring packaged, installed;
  int expected;
};

class CompareVersionsTest : public CoreTest {};

const CompareCase kCompareCases[] = {
    {L"2.10", L"2.9", 1},  // 10 > 9 as numbers
    {L"1.02", L"1.2", 0},  // leading zeros do not count
    {L"1.0", L"1.0.0", -1},
    {L"1.0.0", L"1.0", 1},
    {L"1.", L"1", 0},
    {L"", L"", 0},
    {L"", L"1", -1},
    {L"1", L"", 1},
    {L"1.2a", L"1.2b", -1},  // not numeric: text order
    {L"3.0a", L"3.0", 1},
    {L"1..2", L"1.0.2", -1},  // the empty token sorts before "0"
    {L"10a", L"9a", -1},      // text order, not numbers
    {L"+1", L"1", -1},        // a sign makes a token text
    {L" 1", L"1", -1},
    {L"1.0.x", L"1.0", 1},  // extra tokens win whatever they hold
    {L"2.16", L"2.16", 0},
    {L"2.16", L"2.10", 1},
    {L"2.10", L"2.16", -1},
    {L"000", L"0", 0},
    // Text tokens give -1 or 1 like every other pair, so each plans
    // "upgrade" or "downgrade".
    {L"2.02a", L"2.02", 1},
    {L"2.02a", L"2.10", -1},
    {L"5.12a2", L"5.12.2", 1},
    {L"4.0", L"4.0rc1", -1},
    {L"2.16", L"2..16", 1},  // "16" against the empty token
    {L"2.16", L".2.16", 1},
    {L"2.16a", L"2.16b", -1},
    {L"1.0", L"1.0b", -1},
    {L"10", L"10a", -1},
    // Beyond a 32-bit integer the digits still decide.
    {L"20231105123", L"20231105124", -1},
    {L"20231105124", L"20231105123", 1},
    {L"99999999999999999999", L"100000000000000000000", -1},
    {L"2147483648", L"2147483647", 1},
    {L"0004294967296", L"4294967296", 0},
};

// CompareVersions goes token by token instead of building CTokenizer lists;
// it gives exactly what CompareTokens of the two lists gives.
int ByLists(const std::wstring& a, const std::wstring& b) {
  return CompareTokens(CTokenizer(a, L'.').m_tokens, CTokenizer(b, L'.').m_tokens);
}

TEST_F(CompareVersionsTest, Table) {
  TestComponent cmp;
  for (const CompareCase& c : kCompareCases) {
    SCOPED_TRACE(testing::Message()
                 << "[" << std::string(c.packaged.begin(), c.packaged.end()) << "] vs ["
                 << std::string(c.installed.begin(), c.installed.end()) << "]");
    EXPECT_EQ(cmp.CompareVersions(c.packaged, c.installed), c.expected);
    EXPECT_EQ(ByLists(c.packaged, c.installed), c.expected);
  }
}

// On random texts of dots, digits, letters and other characters.
TEST_F(CompareVersionsTest, TokenByTokenAsByLists) {
  TestComponent cmp;
  const wchar_t kAlphabet[] = {L'.', L'.', L'.', L'0', L'1',  L'2',  L'9',
                               L'a', L'B', L' ', L'+', L'\0', 0x100, 0x7fffffff};
  std::mt19937 random(17);
  auto text = [&] {
    std::wstring t(random() % 12, L'.');
    for (wchar_t& c : t) c = kAlphabet[random() % (sizeof kAlphabet / sizeof kAlphabet[0])];
    return t;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::wstring a = text();
    // Often the same text, or one that shares its start, so that the
    // comparison goes past the first token.
    const std::wstring b = random() % 3 == 0 ? a : a.substr(0, random() % (a.size() + 1)) + text();
    const int order = cmp.CompareVersions(a, b);
    ASSERT_TRUE(order == -1 || order == 0 || order == 1) << order;
    ASSERT_EQ(order, ByLists(a, b)) << "[" << std::string(a.begin(), a.end()) << "] vs ["
                                    << std::string(b.begin(), b.end()) << "]";
  }
}

// Pages of memory with an inaccessible page after each, so that a text can
// end at the last character before it, where the C library's wcscmp reads
// differently.
class GuardedPages {
 public:
  explicit GuardedPages(int count) : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
    size_ = 2 * page_ * static_cast<size_t>(count);
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
    for (int i = 0; base_ != nullptr && i < count; ++i) {
      mprotect(base_ + (2 * i + 1) * page_, page_, PROT_NONE);
    }
  }
  ~GuardedPages() {
    if (base_ != nullptr) munmap(base_, size_);
  }
  GuardedPages(const GuardedPages&) = delete;
  GuardedPages& operator=(const GuardedPages&) = delete;

  bool ok() const { return base_ != nullptr; }
  size_t page() const { return page_; }
  // A copy of text, with its terminating NUL, `offset` bytes into page i.
  const wchar_t* Place(int i, size_t offset, const std::wstring& text) {
    wchar_t* at = reinterpret_cast<wchar_t*>(base_ + 2 * i * page_ + offset);
    std::wmemcpy(at, text.c_str(), text.size() + 1);
    return at;
  }

 private:
  size_t page_, size_;
  char* base_;
};

// Two differing texts compare as -1 or 1 wherever they lie: at every
// offset of a page up to the last that holds them, against the other text
// at the same, the mirrored and the last offset of its own page.
TEST(CompareTextTest, OrderDoesNotFollowWhereTheTextsLie) {
  const struct {
    std::wstring a, b;
    int expected;
  } kCases[] = {
      {L"02a", L"02", 1},
      {L"12a2", L"12", 1},
      {L"16", L"", 1},
      {L"a", L"b", -1},
      {L"1.2a", L"1.2b", -1},
      {L"0rc1", L"0", 1},
      {L"same", L"same", 0},
      {std::wstring(1, static_cast<wchar_t>(0x100)), L"\x7f", 1},
      // Characters beyond 0x7fffffff are negative wide characters.
      {std::wstring(1, static_cast<wchar_t>(-1)), L"a", -1},
      {std::wstring(40, L'x') + L"a", std::wstring(40, L'x') + L"b", -1},
      {std::wstring(17, L'7'), std::wstring(16, L'7'), 1},
  };
  GuardedPages pages(2);
  ASSERT_TRUE(pages.ok());
  const size_t unit = sizeof(wchar_t);
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "[" << std::string(c.a.begin(), c.a.end()) << "] vs ["
                                    << std::string(c.b.begin(), c.b.end()) << "]");
    const size_t lastA = pages.page() - (c.a.size() + 1) * unit;
    const size_t lastB = pages.page() - (c.b.size() + 1) * unit;
    int wrong = 0;
    for (size_t offset = 0; offset <= lastA; offset += unit) {
      for (size_t other : {std::min(offset, lastB), lastB - std::min(offset, lastB), lastB}) {
        const wchar_t* a = pages.Place(0, offset, c.a);
        const wchar_t* b = pages.Place(1, other, c.b);
        if (CompareText(a, b) != c.expected || CompareText(b, a) != -c.expected) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
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
