// The input layout that the regular-expression fuzz targets share, so one
// seed corpus serves them all: byte 0 holds the flags (low five bits; the
// top three are left to each target) and byte 1 the pattern's length; the
// pattern follows, then the text. Each byte becomes one wide character for
// the wide run; every third byte pair of the wide text is also folded into
// one character above 0xFF, so the wide engine sees characters beyond
// Latin-1 too.
#ifndef ZRN_TESTS_FUZZ_REGEX_INPUT_H
#define ZRN_TESTS_FUZZ_REGEX_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

struct RegexFuzzInput {
  unsigned long flags = 0;
  // The top three bits of byte 0.
  unsigned spare = 0;
  std::string pattern;
  std::string text;
  std::wstring widePattern;
  std::wstring wideText;
};

// False for an input too short to hold the two header bytes.
[[nodiscard]] inline bool DecodeRegexFuzzInput(const uint8_t* data, size_t size,
                                               RegexFuzzInput* out) {
  if (size < 2) return false;
  out->flags = data[0] & 31;
  out->spare = data[0] >> 5;
  const size_t patternLength = data[1] < size - 2 ? data[1] : size - 2;
  const char* bytes = reinterpret_cast<const char*>(data + 2);
  out->pattern.assign(bytes, patternLength);
  out->text.assign(bytes + patternLength, size - 2 - patternLength);
  out->widePattern.clear();
  out->wideText.clear();
  for (unsigned char c : out->pattern) out->widePattern += static_cast<wchar_t>(c);
  const std::string& text = out->text;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    if (i % 3 == 2 && i + 1 < text.size()) {
      out->wideText += static_cast<wchar_t>(c << 8 | static_cast<unsigned char>(text[++i]));
    } else {
      out->wideText += static_cast<wchar_t>(c);
    }
  }
  return true;
}

#endif  // ZRN_TESTS_FUZZ_REGEX_INPUT_H
