// Reads a fixed text field of a vendor record as a string: the text ends at
// its first NUL or at the end of the field, whichever comes first, so a field
// filled to its last byte is neither cut short nor read past.
#ifndef ZRN_HBA_FIELD_TEXT_H_
#define ZRN_HBA_FIELD_TEXT_H_

#include <cstring>
#include <string>

template <size_t N>
[[nodiscard]] std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

#endif  // ZRN_HBA_FIELD_TEXT_H_
