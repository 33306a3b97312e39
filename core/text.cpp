#include "core/text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

std::wstring ToWide(const char* text) {
  if (text == nullptr) return std::wstring();
  const size_t n = std::strlen(text);
  // At most n characters are written, so the last zero always stays.
  std::vector<wchar_t> buffer(n + 1, L'\0');
  std::mbstowcs(buffer.data(), text, n);
  return std::wstring(buffer.data());
}

std::wstring WidenBytes(std::string_view bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (char c : bytes) wide += static_cast<wchar_t>(static_cast<signed char>(c));
  return wide;
}

std::string NarrowBytes(const std::wstring& text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) narrow += static_cast<char>(static_cast<unsigned char>(c & 0xFF));
  return narrow;
}
