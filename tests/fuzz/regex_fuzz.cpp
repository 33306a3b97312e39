// Fuzz target for the regular-expression engine: any pattern text, under any
// flag word, must compile or be refused with a report, and every compiled
// pattern must match, search, split and replace any text without a crash,
// a hang or a sanitizer report, in both widths.
//
// Input layout: byte 0 holds the flags (low five bits) and byte 1 the
// pattern's length; the pattern follows, then the text. Each byte becomes one
// wide character for the wide run; every third byte pair of the wide text is
// also folded into one character above 0xFF, so the wide engine sees
// characters beyond Latin-1 too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "regex/pattern.h"

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
  if (size < 2) return 0;
  const unsigned long flags = data[0] & 31;
  const size_t patternLength = data[1] < size - 2 ? data[1] : size - 2;
  const char* bytes = reinterpret_cast<const char*>(data + 2);
  const std::string pattern(bytes, patternLength);
  const std::string text(bytes + patternLength, size - 2 - patternLength);
  Exercise(pattern, text, flags);

  std::wstring widePattern, wideText;
  for (unsigned char c : pattern) widePattern += static_cast<wchar_t>(c);
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    if (i % 3 == 2 && i + 1 < text.size()) {
      wideText += static_cast<wchar_t>(c << 8 | static_cast<unsigned char>(text[++i]));
    } else {
      wideText += static_cast<wchar_t>(c);
    }
  }
  Exercise(widePattern, wideText, flags);
  return 0;
}
