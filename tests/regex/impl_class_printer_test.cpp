// Text forms of narrow sets and characters used by the diagnostic dump.
#include <gtest/gtest.h>

#include <map>
#include <memory_resource>
#include <string>

#include "regex/class_printer.h"

namespace {

std::pmr::map<char, bool> Set(const std::string& members) {
  std::pmr::map<char, bool> out;
  for (char c : members) out[c] = true;
  return out;
}

TEST(ClassPrinter, ClassTexts) {
  struct Case {
    std::string members;
    bool inv;
    bool tryComplement;
    const char* text;
  };
  std::string allButA;
  for (int c = 0; c < 256; ++c) {
    if (c != 'a') allButA += static_cast<char>(c);
  }
  const Case cases[] = {
      {"abcdefghijklmnopqrstuvwxyz", false, false, "[a-z]"},
      {allButA, false, true, "[^a]"},
      {"-01", false, false, "[\\-01]"},
      {"\x01\x02\x03", false, false, "[\\x01-\\x03]"},
      {"\x01\x02", false, false, "[\\x01\\x02]"},
      {"\x0B", false, false, "[\\x0B]"},
      {" ", false, false, "[ ]"},
      {std::string("\0\t\r\n\f", 5), false, false, "[\\0\\t\\r\\n\\p]"},
      {"ab", true, false, "[^ab]"},
      {"()[]\\", false, false, "[\\(\\)\\[\\\\\\]]"},
      // Runs stop at the ends of each range: 8 and 11 are not one run.
      {"\x07\x08\x0B", false, false, "[\\x07\\x08\\x0B]"},
      {"\x80\x81\xFF", false, false, "[\\x80\\x81\\xFF]"},
      {"xyz{", false, false, "[x-z{]"},
      {"!\"#", false, false, "[!\"#]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_STREQ(classToText(Set(c.members), c.inv, c.tryComplement), c.text);
  }
}

TEST(ClassPrinter, CharTexts) {
  EXPECT_STREQ(charToText('\0'), "\\0");
  EXPECT_STREQ(charToText('0'), "0");
  EXPECT_STREQ(charToText('\x1F'), "0x1F");
  EXPECT_STREQ(charToText('A'), "A");
  EXPECT_STREQ(charToText('\x80'), "0xFFFFFF80");
  EXPECT_STREQ(charToText('\f'), "\\p");
}

}  // namespace
