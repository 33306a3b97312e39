// Fuzz target for the failure memo's time bound: for every pattern the memo
// serves, one operation (matches, findFirst, findNext) may take at most
// PatternInternals::stepBound(pattern, text length) steps, whatever the
// text. It runs the program's own patterns (the Emulex adapter line, the
// Brocade version, the release-file rules, "\d+"), each in the width and
// with the flags the program gives it, and the input's own pattern when
// the memo serves it, in both widths; every operation must stay within the
// bound, and its result and every group bound must be the same with the
// memo as it starts by default, with the memo on from the first step, and
// with the memo off. Any step count over the bound or any difference aborts
// with the pattern, the text's length, the steps and the bound.
//
// The input layout is regex_input.h's. The top three bits of byte 0 choose
// what runs:
//   0  the input's pattern on the input's text (as regex_fuzz reads it)
//   1  the input's pattern on a text of the pattern's own characters
//   2  the input's pattern on a text of key tokens (below)
//   3  the Emulex line pattern, narrow     4  the Brocade pattern, wide
//   5  the release-file rules, narrow      6  "\d+", wide
//   7  every program pattern, in both widths
// For the program patterns (3-7) the pattern bytes are free: when there
// are none the text is the input's own; otherwise the text is built from
// key tokens and the pattern bytes are one more token. A text byte below
// 0xF0 appends token (byte mod the number of tokens); 0xF0-0xF7 repeat the
// last token 2 << (byte & 7) times; 0xF8-0xFF append the text so far again.
//
// The memo-off run cannot be stopped part-way, and without the memo nested
// repetitions take time polynomial or exponential in the text's length. So
// its matcher starts the memo only after kOffBudget steps: an operation
// that ends with the memo still off ran exactly as with it never on (the
// memo changes nothing before it starts), and one that needed more steps
// is compared all the same, as a memo started late.
//
// The largest step ratios seen are printed on standard output when they
// grow (standard error is closed under -close_fd_mask=2), and once more at
// exit: (steps - kStepBoundConstant) / (nodes x (length + 1)) for the memo
// as it starts by default, and steps / (nodes x (length + 1)) for the memo
// on from the first step, which is what kStepsPerNodePosition must cover.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "regex/pattern.h"
#include "tests/fuzz/regex_input.h"
#include "tests/regex/pattern_internals.h"
#include "tests/regex/query_lines.h"

namespace {

// Longest text built from tokens, in characters.
constexpr size_t kMaxTextLength = 8192;
// Longest text for the pattern's own findAll, split and replace: each runs
// one operation per match, each linear, so the whole is quadratic.
constexpr size_t kMaxOwnOpsLength = 512;
// The memo-off matcher starts its memo only after this many steps.
constexpr long kOffBudget = 1L << 17;
// findNext to the end stops once the three matchers have taken this many
// steps together (each search is linear, but a text of n characters may
// hold n matches).
constexpr long kMaxChainSteps = 1L << 21;
// And after this many matches: each search with the memo on from its first
// step also sets up sets over the rest of the text.
constexpr size_t kMaxChainMatches = 256;

using zrn_query_lines::kEmulexLine;
const wchar_t kBrocadeVersion[] = L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*";
const char* const kReleaseRules[] = {
    "Red Hat Enterprise Linux.*release 4.*", "Red Hat Enterprise Linux.*release 5.*",
    "Red Hat Enterprise Linux.*release 6.*", "SUSE Linux Enterprise Server 10.*",
    "SUSE Linux Enterprise Server 11.*",
};
const wchar_t kNumeric[] = L"\\d+";

// The key tokens of the program's texts: the Emulex query line's keys and
// values, version numbers, release-file words, separators, and characters
// beyond Latin-1 (the narrow text takes their low byte).
// clang-format off
const std::wstring kTokens[] = {
    L"HBA=", L"PCI ID=", L"VID=", L"SSID=", L"SVID=", L"Firmware=", L"Boot Code=",
    L",", L", ", L" ", L"=", L".", L"..", L"1", L"0", L"9", L"12", L"a", L"f", L"Z", L"_",
    L"lpfc0", L"f100", L"10df", L"2.82A3", L"5.03a2", L"1.", L"3.2.4.0", L"1.2.3",
    L"1.2.3.", L"HBA=lpfc0, PCI ID=f100, VID=10df, SSID=f100, SVID=10df, ",
    L"Firmware=2.82A3, Boot Code=5.03a2", L"\n", L"\r\n", L"\t", L"-", L"x", L"ID=",
    L"Red Hat Enterprise Linux", L"Red Hat Enterprise Linux Server", L" release ",
    L"release 4", L"release 5", L"release 6", L"4", L"5", L"6", L"release",
    L"SUSE Linux Enterprise Server ", L"SUSE Linux Enterprise Server 1", L"10", L"11",
    L"Brocade BIOS ", L"v", L"\u0663", L"\uff11", L"\u2028", L"\u00e9", L"\u0100",
    std::wstring(1, L'\0'),
};
// clang-format on
constexpr size_t kTokenCount = sizeof(kTokens) / sizeof(kTokens[0]);

// The largest ratios seen, and what reached them.
struct Ratios {
  long operations = 0;
  double defaultMemo = -1e300;
  double memoAlways = 0;
  long mostSteps = 0;
  ~Ratios() {
    if (operations == 0) {
      std::printf("regex_steps_fuzz: no operation of a memo-served pattern\n");
    } else {
      std::printf(
          "regex_steps_fuzz: %ld operations; largest (steps - C0)/(nodes*(len+1)) "
          "%.4f, steps/(nodes*(len+1)) with the memo always on %.4f, most steps %ld\n",
          operations, defaultMemo, memoAlways, mostSteps);
    }
    std::fflush(stdout);
  }
};
Ratios ratios;

template <class C>
std::string Printable(const std::basic_string<C>& s, size_t limit) {
  std::string out;
  for (size_t i = 0; i < s.size() && i < limit; ++i) {
    const unsigned long c =
        static_cast<unsigned long>(s[i]) & (sizeof(C) == 1 ? 0xFFUL : 0xFFFFFFFFUL);
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F && c != '"') {
      out += static_cast<char>(c);
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof(buffer), c <= 0xFF ? "\\x%02lx" : "\\u%04lx", c);
      out += buffer;
    }
  }
  if (s.size() > limit) out += "...";
  return out;
}

// A failure: on standard output, which -close_fd_mask=2 leaves open, and
// on standard error for a run without it.
[[noreturn]] void Fail(const std::string& message) {
  std::printf("regex_steps_fuzz: %s\n", message.c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "regex_steps_fuzz: %s\n", message.c_str());
  std::abort();
}

// The text the bytes build from tokens (see the head of the file).
std::wstring BuildText(const std::string& bytes, const std::vector<std::wstring>& tokens) {
  std::wstring text;
  const std::wstring* last = nullptr;
  for (unsigned char b : bytes) {
    if (text.size() >= kMaxTextLength) break;
    if (b < 0xF0) {
      last = &tokens[b % tokens.size()];
      text += *last;
    } else if (b < 0xF8) {
      if (last == nullptr) continue;
      for (int i = 0; i < (2 << (b & 7)) && text.size() < kMaxTextLength; ++i) text += *last;
    } else {
      text += std::wstring(text);
    }
  }
  if (text.size() > kMaxTextLength) text.resize(kMaxTextLength);
  return text;
}

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += static_cast<char>(static_cast<unsigned long>(c) & 0xFF);
  return out;
}

std::wstring Widen(const std::string& s) {
  std::wstring out;
  for (unsigned char c : s) out += static_cast<wchar_t>(c);
  return out;
}

// The three matchers of one pattern and one text, run in step.
template <class C>
class StepCheck {
 public:
  using I = PatternInternals<C>;
  using String = std::basic_string<C>;

  StepCheck(BasicPattern<C>* pattern, const String& text, const char* label)
      : p(pattern), text(text), label(label) {
    for (int i = 0; i < 3; ++i) m[i].reset(p->makeMatcher(text));
    // m[0] keeps the default start.
    I::setMemoAfterSteps(m[1].get(), -1);
    I::setMemoAfterSteps(m[2].get(), kOffBudget);
  }

  void run(bool ownOps) {
    const size_t cap = text.size() + 2 < kMaxChainMatches ? text.size() + 2 : kMaxChainMatches;
    step("matches", 0, [](BasicMatcher<C>& x) { return x.matches(); });
    step("findFirst", 0, [](BasicMatcher<C>& x) { return x.findFirst(); });
    long chain = 0;
    for (size_t i = 1; i <= cap && chain < kMaxChainSteps; ++i) {
      const bool found = step("findNext", i, [](BasicMatcher<C>& x) { return x.findNext(); });
      for (int k = 0; k < 3; ++k) chain += I::steps(m[k].get());
      if (!found) break;
    }
    if (ownOps && text.size() <= kMaxOwnOpsLength) runOwnMatcher();
  }

 private:
  static constexpr const char* kRunNames[3] = {"default memo", "memo always on",
                                               "memo off (budget)"};

  std::string where(const char* op, size_t index) const {
    return std::string(label) + " pattern \"" + Printable(p->getPattern(), 300) + "\" flags " +
           std::to_string(p->getFlags()) + ", text length " + std::to_string(text.size()) + " \"" +
           Printable(text, 200) + "\", " + op + " #" + std::to_string(index);
  }

  void checkBound(BasicMatcher<C>* x, int run, const char* op, size_t index) {
    const long steps = I::steps(x);
    const long bound = I::stepBound(p, text.size());
    if (steps > bound) {
      Fail("step bound broken (" + std::string(kRunNames[run]) + "): " + where(op, index) +
           ": steps " + std::to_string(steps) + " > bound " + std::to_string(bound) + " (nodes " +
           std::to_string(I::nodeCount(p)) + ")");
    }
    const double cells = static_cast<double>(I::nodeCount(p)) * (text.size() + 1.0);
    const double ratio =
        run == 0 ? (steps - BasicMatcher<C>::kStepBoundConstant) / cells : steps / cells;
    double& most = run == 0 ? ratios.defaultMemo : ratios.memoAlways;
    ++ratios.operations;
    if (steps > ratios.mostSteps) ratios.mostSteps = steps;
    if (ratio > most) {
      most = ratio;
      std::printf(
          "regex_steps_fuzz: new largest ratio %.4f (%s): %s: steps %ld, bound %ld, "
          "nodes %zu\n",
          ratio, kRunNames[run], where(op, index).c_str(), steps, bound, I::nodeCount(p));
      std::fflush(stdout);
    }
  }

  template <class F>
  bool step(const char* op, size_t index, F f) {
    bool result[3];
    for (int k = 0; k < 3; ++k) result[k] = f(*m[k]);
    checkBound(m[0].get(), 0, op, index);
    checkBound(m[1].get(), 1, op, index);
    const int groups = I::groupCount(p);
    for (int k = 1; k < 3; ++k) {
      if (result[k] != result[0]) {
        Fail("results differ (" + std::string(kRunNames[0]) + " " + std::to_string(result[0]) +
             ", " + kRunNames[k] + " " + std::to_string(result[k]) + "): " + where(op, index));
      }
      for (int g = 0; g < groups; ++g) {
        if (m[k]->groupStart(g) != m[0]->groupStart(g) || m[k]->groupEnd(g) != m[0]->groupEnd(g)) {
          Fail("group " + std::to_string(g) + " differs (" + kRunNames[0] + " " +
               std::to_string(m[0]->groupStart(g)) + ".." + std::to_string(m[0]->groupEnd(g)) +
               ", " + kRunNames[k] + " " + std::to_string(m[k]->groupStart(g)) + ".." +
               std::to_string(m[k]->groupEnd(g)) + "): " + where(op, index));
        }
      }
    }
    return result[0];
  }

  // The pattern's own matches, findAll, split and replace on its internal
  // matcher, under each of the three memo starts in turn.
  void runOwnMatcher() {
    BasicMatcher<C>* own = I::ownMatcher(p);
    const long starts[3] = {BasicMatcher<C>::kMemoAfterSteps, -1, kOffBudget};
    const String replacement = {C('<'), C('\\'), C('1'), C('>')};
    std::vector<std::vector<String>> out[3];
    for (int k = 0; k < 3; ++k) {
      I::setMemoAfterSteps(own, starts[k]);
      out[k].push_back({String(p->matches(text) ? 1 : 0, C('1'))});
      if (k < 2) checkBound(own, k, "own matches", 0);
      out[k].push_back(p->findAll(text));
      // Only the last search of each is still to be seen.
      if (k < 2) checkBound(own, k, "own findAll (last search)", 0);
      out[k].push_back(p->split(text, true, 3));
      out[k].push_back(p->split(text, false, 0));
      out[k].push_back({p->replace(text, replacement)});
      if (k < 2) checkBound(own, k, "own replace (last search)", 0);
    }
    I::setMemoAfterSteps(own, BasicMatcher<C>::kMemoAfterSteps);
    static const char* const kOps[] = {"matches", "findAll", "split(true, 3)", "split(false, 0)",
                                       "replace"};
    for (int k = 1; k < 3; ++k) {
      for (size_t op = 0; op < out[0].size(); ++op) {
        if (out[k][op] != out[0][op]) {
          Fail(std::string("pattern's own ") + kOps[op] + " differs (" + kRunNames[0] + " and " +
               kRunNames[k] + "): " + where(kOps[op], 0));
        }
      }
    }
  }

  BasicPattern<C>* p;
  const String& text;
  const char* label;
  std::unique_ptr<BasicMatcher<C>> m[3];
};

template <class C>
void CheckPattern(const std::basic_string<C>& pattern, const std::basic_string<C>& text,
                  unsigned long flags, const char* label, bool program) {
  std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(pattern, flags));
  if (!p) {
    if (program) Fail(std::string(label) + " pattern does not compile");
    return;
  }
  if (!PatternInternals<C>::memoizable(p.get())) {
    // The program's patterns are all of the kind the memo serves.
    if (program) Fail(std::string(label) + " pattern is not served by the memo");
    return;
  }
  StepCheck<C>(p.get(), text, label).run(true);
}

void RunEmulex(const std::string& text) {
  CheckPattern<char>(kEmulexLine, text, Pattern::DOT_ANY, "Emulex", true);
}
void RunBrocade(const std::wstring& text) {
  CheckPattern<wchar_t>(kBrocadeVersion, text, WidePattern::DOT_ANY, "Brocade", true);
}
void RunReleaseRules(const std::string& text) {
  for (const char* rule : kReleaseRules) {
    CheckPattern<char>(rule, text, Pattern::DOT_ANY | Pattern::LINE_ANCHORS, "release rule", true);
  }
}
void RunNumeric(const std::wstring& text) {
  CheckPattern<wchar_t>(kNumeric, text, 0, "numeric", true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegexFuzzInput input;
  if (!DecodeRegexFuzzInput(data, size, &input)) return 0;
  if (input.spare <= 2) {
    std::string text = input.text;
    std::wstring wideText = input.wideText;
    if (input.spare != 0) {
      std::vector<std::wstring> tokens;
      if (input.spare == 1) {
        for (unsigned char c : input.pattern) tokens.push_back(std::wstring(1, wchar_t(c)));
      }
      if (tokens.empty()) tokens.assign(kTokens, kTokens + kTokenCount);
      wideText = BuildText(input.text, tokens);
      text = Narrow(wideText);
    }
    CheckPattern(input.pattern, text, input.flags, "input's", false);
    CheckPattern(input.widePattern, wideText, input.flags, "input's wide", false);
    return 0;
  }
  std::string text = input.text;
  std::wstring wideText = input.wideText;
  if (!input.pattern.empty()) {
    std::vector<std::wstring> tokens(kTokens, kTokens + kTokenCount);
    tokens.push_back(Widen(input.pattern));
    wideText = BuildText(input.text, tokens);
    text = Narrow(wideText);
  }
  switch (input.spare) {
    case 3:
      RunEmulex(text);
      break;
    case 4:
      RunBrocade(wideText);
      break;
    case 5:
      RunReleaseRules(text);
      break;
    case 6:
      RunNumeric(wideText);
      break;
    default:
      RunEmulex(text);
      RunBrocade(wideText);
      RunReleaseRules(text);
      RunNumeric(wideText);
      // The same patterns in the other width.
      CheckPattern<wchar_t>(Widen(kEmulexLine), wideText, WidePattern::DOT_ANY, "Emulex wide",
                            true);
      CheckPattern<char>(Narrow(kBrocadeVersion), text, Pattern::DOT_ANY, "Brocade narrow", true);
      CheckPattern<char>(Narrow(kNumeric), text, 0, "numeric narrow", true);
      break;
  }
  return 0;
}
