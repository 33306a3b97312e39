#include "regex/class_printer.h"

#include <cstdio>
#include <cstring>

namespace {

char classTextBuffer[1024];
char charTextBuffer[16];

// Bounded appends into classTextBuffer at *at; the last byte is kept for the NUL.
void appendRaw(const char* text, size_t* at) {
  size_t room = sizeof(classTextBuffer) - 1 - *at;
  size_t n = std::strlen(text);
  if (n > room) n = room;
  std::memcpy(classTextBuffer + *at, text, n);
  *at += n;
  classTextBuffer[*at] = '\0';
}

void appendClassChar(int c, size_t* at) {
  char text[3] = {0, 0, 0};
  if (std::strchr("()-[]\\", c) != nullptr && c != 0) {
    text[0] = '\\';
    text[1] = static_cast<char>(c);
  } else {
    text[0] = static_cast<char>(c);
  }
  appendRaw(text, at);
}

void appendHex(int c, size_t* at) {
  char text[8];
  std::snprintf(text, sizeof(text), "\\x%02X", c);
  appendRaw(text, at);
}

// One run of consecutive members, first to last.
void appendClassRun(int first, int last, bool asHex, bool collapse, size_t* at) {
  int length = last - first + 1;
  if (asHex) {
    appendHex(first, at);
    if (length == 2) appendHex(last, at);
    if (length >= 3) {
      appendRaw("-", at);
      appendHex(last, at);
    }
    return;
  }
  if (collapse && length >= 3) {
    appendClassChar(first, at);
    appendRaw("-", at);
    appendClassChar(last, at);
    return;
  }
  for (int c = first; c <= last; ++c) appendClassChar(c, at);
}

bool isMember(const std::pmr::map<char, bool>& vals, int c) {
  return vals.find(static_cast<char>(static_cast<unsigned char>(c))) != vals.end();
}

// Walks low..high and hands each run of members to appendClassRun; runs
// never cross the range's ends.
void appendClassRuns(const std::pmr::map<char, bool>& vals, int low, int high, bool asHex,
                     bool collapse, size_t* at) {
  int c = low;
  while (c <= high) {
    if (!isMember(vals, c)) {
      ++c;
      continue;
    }
    int first = c;
    while (c + 1 <= high && isMember(vals, c + 1)) ++c;
    appendClassRun(first, c, asHex, collapse, at);
    ++c;
  }
}

}  // namespace

const char* classToText(const std::pmr::map<char, bool>& vals, bool inv, bool tryComplement) {
  size_t at = 0;
  classTextBuffer[0] = '\0';
  appendRaw(inv ? "[^" : "[", &at);
  if (isMember(vals, ' ')) appendRaw(" ", &at);
  const struct {
    int c;
    const char* text;
  } named[] = {{0, "\\0"}, {'\t', "\\t"}, {'\r', "\\r"}, {'\n', "\\n"}, {'\f', "\\p"}};
  for (const auto& n : named) {
    if (isMember(vals, n.c)) appendRaw(n.text, &at);
  }
  const int hexRanges[][2] = {{1, 8}, {11, 11}, {14, 31}, {128, 255}};
  for (const auto& r : hexRanges) appendClassRuns(vals, r[0], r[1], true, false, &at);
  const struct {
    int low, high;
    bool collapse;
  } charRanges[] = {{33, 47, false}, {48, 57, true},  {58, 64, false},  {65, 90, true},
                    {91, 96, false}, {97, 122, true}, {123, 127, false}};
  for (const auto& r : charRanges) appendClassRuns(vals, r.low, r.high, false, r.collapse, &at);
  appendRaw("]", &at);
  if (tryComplement) {
    std::pmr::map<char, bool> complement;
    for (int c = 0; c < 256; ++c) {
      if (!isMember(vals, c)) complement[static_cast<char>(static_cast<unsigned char>(c))] = true;
    }
    char copy[sizeof(classTextBuffer)];
    std::memcpy(copy, classTextBuffer, sizeof(copy));
    classToText(complement, !inv, false);
    // A tie keeps the complement's form.
    if (std::strlen(classTextBuffer) > std::strlen(copy)) {
      std::memcpy(classTextBuffer, copy, sizeof(copy));
    }
  }
  return classTextBuffer;
}

const char* charToText(char c) {
  unsigned int v = static_cast<unsigned char>(c);
  switch (v) {
    case 0:
      std::snprintf(charTextBuffer, sizeof(charTextBuffer), "%s", "\\0");
      return charTextBuffer;
    case '\t':
      std::snprintf(charTextBuffer, sizeof(charTextBuffer), "%s", "\\t");
      return charTextBuffer;
    case '\n':
      std::snprintf(charTextBuffer, sizeof(charTextBuffer), "%s", "\\n");
      return charTextBuffer;
    case '\f':
      std::snprintf(charTextBuffer, sizeof(charTextBuffer), "%s", "\\p");
      return charTextBuffer;
    case '\r':
      std::snprintf(charTextBuffer, sizeof(charTextBuffer), "%s", "\\r");
      return charTextBuffer;
    default:
      break;
  }
  if (v <= 31 || v >= 128) {
    std::snprintf(charTextBuffer, sizeof(charTextBuffer), "0x%02X",
                  static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(c))));
  } else {
    std::snprintf(charTextBuffer, sizeof(charTextBuffer), "%c", c);
  }
  return charTextBuffer;
}
