// Fuzz target for the regular-expression engine: any pattern text, under any
// flag word, must compile or be refused with a report, and every compiled
// pattern must match, search, split and replace any text without a crash,
// a hang or a sanitizer report, in both widths. The input layout is
// described in regex_input.h.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "regex/pattern.h"
#include "tests/fuzz/regex_input.h"

namespace {

template <class C>
void Exercise(const std::basic_string<C>& pattern, const std::basic_string<C>& text,
              unsigned long flags) {
  using P = BasicPattern<C>;
  std::unique_ptr<P> p(P::compile(pattern, flags));
  if (!p) return;
  p->matches(text);
  p->findAll(text);
  p->split(text, true, 3);
  p->replace(text, std::basic_string<C>(1, C('\\')) + C('1'));
  std::unique_ptr<BasicMatcher<C>> m(p->makeMatcher(text));
  for (int i = 0; i < 64 && m->findNext(); ++i) m->groups(true);
  // A finished search stays finished.
  m->findNext();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegexFuzzInput input;
  if (!DecodeRegexFuzzInput(data, size, &input)) return 0;
  Exercise(input.pattern, input.text, input.flags);
  Exercise(input.widePattern, input.wideText, input.flags);
  return 0;
}
