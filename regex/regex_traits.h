// Width differences of the regular-expression engine, in one place.
//
// The engine is written once over the character type; everything that is not
// the same for 8-bit and wide text is answered here: how one character folds,
// how a literal compares without case, how many digits "\x" may take, how far
// a class complement reaches, and how the pattern text is shown in a syntax
// error report. Nothing here holds state.
#ifndef ZRN_REGEX_REGEX_TRAITS_H_
#define ZRN_REGEX_REGEX_TRAITS_H_

#include <cstddef>
#include <string>

namespace zrn_regex_detail {

// Writes one whole syntax-error report (pattern line, caret line, message) to
// standard error and returns only after it has left the process.
void WriteSyntaxErrorReport(const std::string& shownPattern, int cursor, const char* message);

}  // namespace zrn_regex_detail

template <class CharT>
struct RegexTraits;

template <>
struct RegexTraits<char> {
  // Character codes are always taken as unsigned: a byte 0xE9 is 233, never -23.
  static unsigned long value(char c) { return static_cast<unsigned char>(c); }
  static char fromValue(unsigned long v) {
    return static_cast<char>(static_cast<unsigned char>(v));
  }
  static char fold(char c);
  // Case-insensitive comparison of exactly n characters (a NUL ends it early).
  static bool equalsIgnoreCase(const char* a, const char* b, std::size_t n);
  // "\x" reads at most this many hexadecimal digits.
  static constexpr int kMaxHexDigits = 2;
  // A class complement covers the values 0 to kComplementHigh.
  static constexpr unsigned long kComplementHigh = 0xFF;
  // The pattern text as it appears in a syntax-error report.
  static std::string reportText(const std::string& pattern) { return pattern; }
};

template <>
struct RegexTraits<wchar_t> {
  // wchar_t is signed on this platform; codes are taken as unsigned 32-bit values.
  static unsigned long value(wchar_t c) {
    return static_cast<unsigned long>(static_cast<unsigned int>(c));
  }
  static wchar_t fromValue(unsigned long v) {
    return static_cast<wchar_t>(static_cast<unsigned int>(v));
  }
  static wchar_t fold(wchar_t c);
  static bool equalsIgnoreCase(const wchar_t* a, const wchar_t* b, std::size_t n);
  static constexpr int kMaxHexDigits = 4;
  static constexpr unsigned long kComplementHigh = 0xFFFF;
  // Both widths report through the same byte stream, so the wide text is
  // narrowed: a character below 0x80 is written as that byte and every other
  // character as one "?", which keeps the caret under the right column and
  // does not depend on the locale.
  static std::string reportText(const std::wstring& pattern);
};

#endif  // ZRN_REGEX_REGEX_TRAITS_H_
