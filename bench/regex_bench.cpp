// Benchmarks of the regular-expression engine on the patterns and texts the
// program uses, each beside std::regex (ECMAScript) and, when the benchmark
// is built with PCRE2, beside PCRE2's interpreter (no JIT) on the same
// inputs:
//   Compile/<case>/<engine>  compiling the pattern;
//   Match/<case>/<engine>    whole-text matches of every input with a
//                            compiled pattern and a matcher per input (match
//                            alone);
//   OneShot/<case>/<engine>  compile, match and discard per input, the way
//                            the program's static forms and per-call compiles
//                            serve operating-system detection, version
//                            comparison and the vendor components
//                            (compile+match).
//   Shape/<shape>_<size>/<engine>  one operation on a long line of a shape
//                            that makes a backtracking search explode, at
//                            1 KiB, 16 KiB, 64 KiB and 1 MiB: a whole-text
//                            match of query lines against the Emulex line
//                            pattern and of a run of digits against the
//                            Brocade version pattern (wide), and a search
//                            through every start of a text that holds no
//                            match (the engine and PCRE2 only; PCRE2 keeps
//                            its default match limit, and where it gives up
//                            the run is marked with its error instead of a
//                            time; it decides the two searches at once, by
//                            its check that the text holds a character every
//                            match needs, where the engine tries every
//                            start).
// After the run a summary prints the engine's time over std::regex's and
// over PCRE2's for each pair. A pattern the engine does not compile reports
// an error state, and an input on which the engines disagree is named.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "regex/pattern.h"
#include "tests/regex/query_lines.h"

#ifdef ZRN_BENCH_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>
#endif

namespace {

struct BenchCase {
  const char* name;
  const char* pattern;
  unsigned long flags;
  bool wide;
  std::vector<std::string> inputs;
};

const unsigned long kDotAny = Pattern::DOT_ANY;
const unsigned long kLineAnchors = Pattern::LINE_ANCHORS;

using zrn_query_lines::kEmulexLine;

using zrn_query_lines::kKeySet;

// A long line of one hostile shape: head, then unit repeated while the line
// stays within size characters, with middle once halfway when it is set, or
// with each unit edited at random as the engine's step tests edit them. None
// of them holds a match of its pattern: the operation fails after trying
// everything.
struct LineShape {
  const char* name;
  const char* pattern;
  unsigned long flags;
  bool wide;
  bool search;  // a search through every start, or a whole-text match
  const char* head;
  const char* unit;
  const char* middle;
  bool edited;
  // The longest line PCRE2 runs on, when it is not every size: where its
  // time grows with the square of the length and no limit of its own stops
  // it, a longer line takes minutes for one iteration.
  size_t pcre2Longest = 0;
};

const LineShape kLineShapes[] = {
    {"keys_without_boot_code", kEmulexLine, kDotAny, false, false, "", kKeySet, nullptr, false},
    {"first_key_set_edited", kEmulexLine, kDotAny, false, false,
     "HBA=a, PCI ID=i1, VID=1, SSID=1, SVID=1, Firmware=1, ", kKeySet, nullptr, false},
    {"one_key_set_edited", kEmulexLine, kDotAny, false, false, "", kKeySet,
     "HBA=a, PCI ID=1, VID=1, SSID=1I,SV D=1, SVID=1, Firmware=1, ", false},
    {"key_sets_edited_at_random", kEmulexLine, kDotAny, false, false, "", kKeySet, nullptr, true},
    {"keys_with_empty_boot_code", kEmulexLine, kDotAny, false, false, "",
     "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, Boot Code=, ", nullptr, false},
    {"pci_id_repeated", kEmulexLine, kDotAny, false, false, "HBA=", "x, PCI ID=1, ", nullptr,
     false},
    {"commas_repeated", kEmulexLine, kDotAny, false, false, "HBA=", "a,", nullptr, false},
    {"digit_run", ".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", kDotAny, true, false, "", "7", nullptr, false,
     64 << 10},
    {"search_ab_for_ab_star_c", "[ab]*c", 0, false, true, "", "abbaabab", nullptr, false},
    {"search_a_run_for_a_lazy_b", "a*?b", 0, false, true, "", "a", nullptr, false},
};

const size_t kLineSizes[] = {1 << 10, 16 << 10, 64 << 10, 1 << 20};

std::string ShapedLine(const LineShape& shape, size_t size) {
  std::string line = shape.head;
  bool middleDone = shape.middle == nullptr;
  zrn_query_lines::Lcg random(20261210);
  for (;;) {
    if (!middleDone && line.size() >= size / 2) {
      line += shape.middle;
      middleDone = true;
    }
    const std::string unit =
        shape.edited ? zrn_query_lines::EditedAtRandom(shape.unit, &random) : shape.unit;
    if (line.size() + unit.size() > size) break;
    line += unit;
  }
  return line;
}

std::vector<BenchCase> Cases() {
  const std::vector<std::string> release = {
      "Red Hat Enterprise Linux Server release 5.4 (Tikanga)\n",
      "Red Hat Enterprise Linux AS release 4 (Nahant Update 8)\n",
      "Red Hat Enterprise Linux Server release 6.2 (Santiago)\n",
      "Fedora release 14 (Laughlin)\n",
  };
  const std::vector<std::string> suse = {
      "SUSE Linux Enterprise Server 11 (x86_64)\nVERSION = 11\nPATCHLEVEL = 1\n",
      "SUSE Linux Enterprise Server 10 (x86_64)\nVERSION = 10\nPATCHLEVEL = 3\n",
  };
  return {
      {"digits", "\\d+", 0, true, {"10", "2", "0003", "2147483647", "3a", "abc", ""}},
      {"rhel4", "Red Hat Enterprise Linux.*release 4.*", kDotAny | kLineAnchors, false, release},
      {"rhel5", "Red Hat Enterprise Linux.*release 5.*", kDotAny | kLineAnchors, false, release},
      {"rhel6", "Red Hat Enterprise Linux.*release 6.*", kDotAny | kLineAnchors, false, release},
      {"sles10", "SUSE Linux Enterprise Server 10.*", kDotAny | kLineAnchors, false, suse},
      {"sles11", "SUSE Linux Enterprise Server 11.*", kDotAny | kLineAnchors, false, suse},
      {"brocade",
       ".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*",
       kDotAny,
       true,
       {"3.0.3.0", "BIOS 2.1.0.0 UEFI 2.1.0.0", "v3.2.3.0 (build 12)", "N/A"}},
      {"emulex",
       kEmulexLine,
       kDotAny,
       false,
       {"HBA=LPe12002-M8, Port WWN=10:00:00:00:c9:aa:bb:cc, PCI ID=f100, VID=10df, "
        "SSID=f100, SVID=10df, Firmware=2.01A10, Boot Code=5.12a2, Status=Online",
        "HBA=OCe11102-FM, PCI ID=710, VID=19a2, SSID=e602, SVID=10df, "
        "Firmware=4.1.450.7, Boot Code=4.1.450.7",
        "Found 2 adapters"}},
  };
}

// The same pattern for std::regex: "." under DOT_ANY becomes "[\s\S]", since
// ECMAScript's "." never matches a line end. Classes and escapes stay.
std::string ToEcmaScript(const std::string& pattern, unsigned long flags) {
  if (!(flags & kDotAny)) return pattern;
  std::string out;
  bool inClass = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '\\' && i + 1 < pattern.size()) {
      out += c;
      out += pattern[++i];
    } else if (inClass) {
      out += c;
      if (c == ']') inClass = false;
    } else if (c == '[') {
      out += c;
      inClass = true;
    } else if (c == '.') {
      out += "[\\s\\S]";
    } else {
      out += c;
    }
  }
  return out;
}

template <class C>
std::basic_string<C> Widen(const std::string& s) {
  return std::basic_string<C>(s.begin(), s.end());
}

template <class C>
std::vector<std::basic_string<C>> Texts(const BenchCase& c) {
  std::vector<std::basic_string<C>> texts;
  for (const std::string& in : c.inputs) texts.push_back(Widen<C>(in));
  return texts;
}

template <class C>
bool EngineCompiles(const BenchCase& c) {
  std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(Widen<C>(c.pattern), c.flags));
  return p != nullptr;
}

template <class C>
void EngineCompile(benchmark::State& state, const BenchCase& c) {
  if (!EngineCompiles<C>(c)) {
    state.SkipWithError("the engine does not compile this pattern");
    return;
  }
  const std::basic_string<C> pattern = Widen<C>(c.pattern);
  for (auto _ : state) {
    std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(pattern, c.flags));
    benchmark::DoNotOptimize(p.get());
  }
}

template <class C>
void StdCompile(benchmark::State& state, const BenchCase& c) {
  const std::basic_string<C> pattern = Widen<C>(ToEcmaScript(c.pattern, c.flags));
  for (auto _ : state) {
    std::basic_regex<C> re(pattern, std::regex_constants::ECMAScript);
    benchmark::DoNotOptimize(&re);
  }
}

template <class C>
void EngineMatch(benchmark::State& state, const BenchCase& c) {
  std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(Widen<C>(c.pattern), c.flags));
  if (!p) {
    state.SkipWithError("the engine does not compile this pattern");
    return;
  }
  std::vector<std::unique_ptr<BasicMatcher<C>>> matchers;
  for (const auto& t : Texts<C>(c)) matchers.emplace_back(p->makeMatcher(t));
  for (auto _ : state) {
    for (auto& m : matchers) benchmark::DoNotOptimize(m->matches());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(matchers.size()));
}

template <class C>
void StdMatch(benchmark::State& state, const BenchCase& c) {
  std::basic_regex<C> re(Widen<C>(ToEcmaScript(c.pattern, c.flags)),
                         std::regex_constants::ECMAScript);
  const std::vector<std::basic_string<C>> texts = Texts<C>(c);
  std::match_results<typename std::basic_string<C>::const_iterator> groups;
  for (auto _ : state) {
    for (const auto& t : texts) benchmark::DoNotOptimize(std::regex_match(t, groups, re));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

template <class C>
void EngineOneShot(benchmark::State& state, const BenchCase& c) {
  if (!EngineCompiles<C>(c)) {
    state.SkipWithError("the engine does not compile this pattern");
    return;
  }
  const std::basic_string<C> pattern = Widen<C>(c.pattern);
  const std::vector<std::basic_string<C>> texts = Texts<C>(c);
  for (auto _ : state) {
    for (const auto& t : texts) {
      benchmark::DoNotOptimize(BasicPattern<C>::matches(pattern, t, c.flags));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

template <class C>
void StdOneShot(benchmark::State& state, const BenchCase& c) {
  const std::basic_string<C> pattern = Widen<C>(ToEcmaScript(c.pattern, c.flags));
  const std::vector<std::basic_string<C>> texts = Texts<C>(c);
  for (auto _ : state) {
    for (const auto& t : texts) {
      std::basic_regex<C> re(pattern, std::regex_constants::ECMAScript);
      benchmark::DoNotOptimize(std::regex_match(t, re));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

#ifdef ZRN_BENCH_PCRE2
// PCRE2 in 8-bit units for narrow text and in 32-bit units for wide text
// (wchar_t is 32 bits here); the engine's flags become PCRE2's options, and
// a whole-text match is an anchored match that must end at the end.
template <class C>
struct Pcre2;

template <>
struct Pcre2<char> {
  using Code = pcre2_code_8;
  using Data = pcre2_match_data_8;
  static Code* compile(const std::string& p, uint32_t options) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    return pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(p.data()), p.size(), options, &error,
                           &offset, nullptr);
  }
  static Data* data(const Code* code) {
    return pcre2_match_data_create_from_pattern_8(code, nullptr);
  }
  // PCRE2's result: the number of groups set, PCRE2_ERROR_NOMATCH, or the
  // error that made it give up.
  static int match(const Code* code, const std::string& t, Data* d, bool search = false) {
    return pcre2_match_8(code, reinterpret_cast<PCRE2_SPTR8>(t.data()), t.size(), 0,
                         search ? 0 : PCRE2_ANCHORED | PCRE2_ENDANCHORED, d, nullptr);
  }
  static bool matches(const Code* code, const std::string& t, Data* d) {
    return match(code, t, d) >= 0;
  }
  static std::string error(int code) {
    PCRE2_UCHAR8 message[256];
    pcre2_get_error_message_8(code, message, sizeof(message));
    return reinterpret_cast<const char*>(message);
  }
  static void free(Code* code, Data* d) {
    pcre2_match_data_free_8(d);
    pcre2_code_free_8(code);
  }
};

static_assert(sizeof(wchar_t) == sizeof(uint32_t), "wide text is compared in 32-bit units");
template <>
struct Pcre2<wchar_t> {
  using Code = pcre2_code_32;
  using Data = pcre2_match_data_32;
  static Code* compile(const std::wstring& p, uint32_t options) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    return pcre2_compile_32(reinterpret_cast<PCRE2_SPTR32>(p.data()), p.size(), options, &error,
                            &offset, nullptr);
  }
  static Data* data(const Code* code) {
    return pcre2_match_data_create_from_pattern_32(code, nullptr);
  }
  static int match(const Code* code, const std::wstring& t, Data* d, bool search = false) {
    return pcre2_match_32(code, reinterpret_cast<PCRE2_SPTR32>(t.data()), t.size(), 0,
                          search ? 0 : PCRE2_ANCHORED | PCRE2_ENDANCHORED, d, nullptr);
  }
  static bool matches(const Code* code, const std::wstring& t, Data* d) {
    return match(code, t, d) >= 0;
  }
  static std::string error(int code) {
    PCRE2_UCHAR32 message[256];
    pcre2_get_error_message_32(code, message, sizeof(message) / sizeof(message[0]));
    std::string out;
    for (size_t i = 0; i < 256 && message[i] != 0; ++i) out += static_cast<char>(message[i]);
    return out;
  }
  static void free(Code* code, Data* d) {
    pcre2_match_data_free_32(d);
    pcre2_code_free_32(code);
  }
};

uint32_t Pcre2Options(unsigned long flags) {
  uint32_t options = 0;
  if (flags & kDotAny) options |= PCRE2_DOTALL;
  if (flags & kLineAnchors) options |= PCRE2_MULTILINE;
  return options;
}

template <class C>
void Pcre2Compile(benchmark::State& state, const BenchCase& c) {
  const std::basic_string<C> pattern = Widen<C>(c.pattern);
  const uint32_t options = Pcre2Options(c.flags);
  for (auto _ : state) {
    auto* code = Pcre2<C>::compile(pattern, options);
    benchmark::DoNotOptimize(code);
    Pcre2<C>::free(code, nullptr);
  }
}

template <class C>
void Pcre2Match(benchmark::State& state, const BenchCase& c) {
  auto* code = Pcre2<C>::compile(Widen<C>(c.pattern), Pcre2Options(c.flags));
  if (code == nullptr) {
    state.SkipWithError("PCRE2 does not compile this pattern");
    return;
  }
  const std::vector<std::basic_string<C>> texts = Texts<C>(c);
  std::vector<typename Pcre2<C>::Data*> data;
  for (size_t i = 0; i < texts.size(); ++i) data.push_back(Pcre2<C>::data(code));
  for (auto _ : state) {
    for (size_t i = 0; i < texts.size(); ++i) {
      benchmark::DoNotOptimize(Pcre2<C>::matches(code, texts[i], data[i]));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
  for (auto* d : data) Pcre2<C>::free(nullptr, d);
  Pcre2<C>::free(code, nullptr);
}

template <class C>
void Pcre2OneShot(benchmark::State& state, const BenchCase& c) {
  const std::basic_string<C> pattern = Widen<C>(c.pattern);
  const uint32_t options = Pcre2Options(c.flags);
  const std::vector<std::basic_string<C>> texts = Texts<C>(c);
  for (auto _ : state) {
    for (const auto& t : texts) {
      auto* code = Pcre2<C>::compile(pattern, options);
      auto* d = Pcre2<C>::data(code);
      benchmark::DoNotOptimize(Pcre2<C>::matches(code, t, d));
      Pcre2<C>::free(code, d);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}

// One line of a hostile shape, with PCRE2's default match limit; a line on
// which it gives up is marked with its error.
template <class C>
void Pcre2Shape(benchmark::State& state, const LineShape& shape, const std::basic_string<C>& line) {
  auto* code = Pcre2<C>::compile(Widen<C>(shape.pattern), Pcre2Options(shape.flags));
  auto* d = Pcre2<C>::data(code);
  const int first = Pcre2<C>::match(code, line, d, shape.search);
  if (first >= 0) {
    state.SkipWithError("PCRE2 finds a match in a line that holds none");
  } else if (first != PCRE2_ERROR_NOMATCH) {
    state.SkipWithError(("PCRE2 gives up: " + Pcre2<C>::error(first)).c_str());
  } else {
    for (auto _ : state) benchmark::DoNotOptimize(Pcre2<C>::match(code, line, d, shape.search));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
  }
  Pcre2<C>::free(code, d);
}

// Names every input on which the engine and PCRE2 disagree, so a ratio is
// never taken over different work.
template <class C>
void CheckAgainstPcre2(const BenchCase& c) {
  std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(Widen<C>(c.pattern), c.flags));
  auto* code = Pcre2<C>::compile(Widen<C>(c.pattern), Pcre2Options(c.flags));
  if (!p || code == nullptr) return;
  auto* d = Pcre2<C>::data(code);
  for (const std::string& in : c.inputs) {
    if (p->matches(Widen<C>(in)) != Pcre2<C>::matches(code, Widen<C>(in), d)) {
      std::fprintf(stderr, "%s (%s): the engines disagree on \"%s\"\n", c.name,
                   sizeof(C) == 1 ? "narrow" : "wide", in.c_str());
    }
  }
  Pcre2<C>::free(code, d);
}
#endif

template <class C>
void RegisterCase(const BenchCase& c) {
  const std::string width = sizeof(C) == 1 ? "narrow" : "wide";
  const std::string base = std::string(c.name) + "_" + width;
  benchmark::RegisterBenchmark(("Compile/" + base + "/zrn").c_str(), EngineCompile<C>, c);
  benchmark::RegisterBenchmark(("Compile/" + base + "/std").c_str(), StdCompile<C>, c);
  benchmark::RegisterBenchmark(("Match/" + base + "/zrn").c_str(), EngineMatch<C>, c);
  benchmark::RegisterBenchmark(("Match/" + base + "/std").c_str(), StdMatch<C>, c);
  benchmark::RegisterBenchmark(("OneShot/" + base + "/zrn").c_str(), EngineOneShot<C>, c);
  benchmark::RegisterBenchmark(("OneShot/" + base + "/std").c_str(), StdOneShot<C>, c);
#ifdef ZRN_BENCH_PCRE2
  benchmark::RegisterBenchmark(("Compile/" + base + "/pcre2").c_str(), Pcre2Compile<C>, c);
  benchmark::RegisterBenchmark(("Match/" + base + "/pcre2").c_str(), Pcre2Match<C>, c);
  benchmark::RegisterBenchmark(("OneShot/" + base + "/pcre2").c_str(), Pcre2OneShot<C>, c);
  CheckAgainstPcre2<C>(c);
#endif
}

// The same line with the engine, with the pattern and flags the program
// gives it.
template <class C>
void EngineShape(benchmark::State& state, const LineShape& shape,
                 const std::basic_string<C>& line) {
  std::unique_ptr<BasicPattern<C>> p(
      BasicPattern<C>::compile(Widen<C>(shape.pattern), shape.flags));
  std::unique_ptr<BasicMatcher<C>> m(p->makeMatcher(line));
  auto run = [&] { return shape.search ? m->findFirst() : m->matches(); };
  if (run()) {
    state.SkipWithError("the engine finds a match in a line that holds none");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(run());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
}

template <class C>
void RegisterShape(const std::string& base, const LineShape& shape, const std::string& line) {
  benchmark::RegisterBenchmark((base + "/zrn").c_str(), EngineShape<C>, shape, Widen<C>(line));
#ifdef ZRN_BENCH_PCRE2
  if (shape.pcre2Longest == 0 || line.size() <= shape.pcre2Longest) {
    benchmark::RegisterBenchmark((base + "/pcre2").c_str(), Pcre2Shape<C>, shape, Widen<C>(line));
  }
#endif
}

void RegisterShapes() {
  for (const LineShape& shape : kLineShapes) {
    for (size_t size : kLineSizes) {
      const std::string base = std::string("Shape/") + shape.name + "_" +
                               (size < (1 << 20) ? std::to_string(size >> 10) + "KiB"
                                                 : std::to_string(size >> 20) + "MiB");
      const std::string line = ShapedLine(shape, size);
      if (shape.wide) {
        RegisterShape<wchar_t>(base, shape, line);
      } else {
        RegisterShape<char>(base, shape, line);
      }
    }
  }
}

// Prints the usual console table, then for every "<op>/<case>" that has both
// engines the engine's time per iteration over std::regex's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the median of the repetitions stands for
    // the pair (it comes after the single runs); otherwise the one run does.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      std::string name = run.run_name.str();
      size_t slash = name.rfind('/');
      if (slash == std::string::npos) continue;
      times_[name.substr(0, slash)][name.substr(slash + 1)] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nengine time / other engine's time (below 1: the engine is faster)\n");
    std::printf("  %-40s  %10s  %10s\n", "", "std::regex", "PCRE2");
    for (const auto& entry : times_) {
      auto zrn = entry.second.find("zrn");
      std::printf("  %-40s", entry.first.c_str());
      for (const char* other : {"std", "pcre2"}) {
        auto it = entry.second.find(other);
        if (zrn == entry.second.end() || it == entry.second.end() || it->second <= 0) {
          std::printf("  %10s", "-");
        } else {
          std::printf("  %10.3f", zrn->second / it->second);
        }
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  for (const BenchCase& c : Cases()) {
    if (c.wide) {
      RegisterCase<wchar_t>(c);
    } else {
      RegisterCase<char>(c);
    }
  }
  // "\d+" serves the wide version comparison; its narrow twin is measured
  // too, and the release patterns, narrow in the program, in wide form.
  for (const BenchCase& c : Cases()) {
    if (c.wide) {
      RegisterCase<char>(c);
    } else {
      RegisterCase<wchar_t>(c);
    }
  }
  RegisterShapes();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
