#include "hba/clean_string.h"

#include <cstring>

namespace {

// Kept at the end of a text: "!" to "}", with the byte read as signed, so
// bytes of 0x80 and up count as negative and are trimmed as well.
bool KeptAtEnd(char c) {
  const signed char value = static_cast<signed char>(c);
  return value >= 0x21 && value <= 0x7D;
}

}  // namespace

void CleanString(char* text, size_t size) {
  if (text == nullptr || size == 0) return;
  size_t length = strnlen(text, size);
  while (length > 1 && !KeptAtEnd(text[length - 1])) --length;

  size_t out = 0;
  for (size_t in = 0; in < length; ++in) {
    if (text[in] == ' ' && out > 0 && text[out - 1] == ' ') continue;
    text[out++] = text[in];
  }
  if (out < size) text[out] = '\0';
}
