// Conversions between the narrow text of files, tools and adapter records and
// the wide text the reference and discovery records hold.
//
// Two kinds exist on purpose: ToWide decodes multibyte text in the current
// locale (the program never sets one, so it is the "C" locale), while
// WidenBytes and NarrowBytes map byte for byte, so that bytes that enter the
// records through WidenBytes leave them unchanged through NarrowBytes.
#ifndef ZRN_CORE_TEXT_H_
#define ZRN_CORE_TEXT_H_

#include <string>
#include <string_view>

// FieldText, which reads a record field up to its width, is shared with the
// adapter layer.
#include "hba/field_text.h"

// Decodes the NUL-terminated text with mbstowcs. When a byte does not decode,
// the result is what was decoded before it. A null pointer gives "".
[[nodiscard]] std::wstring ToWide(const char* text);

// Each byte becomes one wide character of the same value, the byte read as a
// signed 8-bit number (so 0xC3 becomes the wide character -61).
[[nodiscard]] std::wstring WidenBytes(std::string_view bytes);

// Each wide character becomes one byte: its low 8 bits.
[[nodiscard]] std::string NarrowBytes(const std::wstring& text);

#endif  // ZRN_CORE_TEXT_H_
