// CleanString over texts that vendors really hand back: trailing padding,
// runs of blanks, high bytes, and fields filled to their last byte.
#include "hba/clean_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hba/adapter.h"

namespace {

struct CleanCase {
  const char* in;
  const char* out;
};

TEST(CleanString, Table) {
  const CleanCase cases[] = {
      {"QLE2562  ", "QLE2562"},
      {"a   b", "a b"},
      {"  a", " a"},
      {"   ", " "},
      {"", ""},
      {"x", "x"},
      {"v1~", "v1"},
      {"v1}", "v1}"},
      {"v1!", "v1!"},
      {"v1\t\r\n", "v1"},
      {"v1\x7f", "v1"},
      {"v1\x80\xff", "v1"},
      {"~~~", "~"},
      {"\xff", "\xff"},
      {"a\t\tb", "a\t\tb"},      // TABs are not blanks for the collapse
      {"a  b  c  ", "a b c"},    // trim first, then collapse
      {"a \x80 b", "a \x80 b"},  // only trailing bytes go
      {"2.16 ~ ~ ", "2.16"},
  };
  for (const CleanCase& c : cases) {
    char text[64] = {};
    std::snprintf(text, sizeof text, "%s", c.in);
    CleanString(text, sizeof text);
    EXPECT_EQ(std::string(text), c.out) << "input \"" << c.in << "\"";
  }
}

// A vendor may fill a field to its last byte with no NUL: nothing past the
// field is read or written, and the trimmed text gets its NUL inside it.
TEST(CleanString, FullFieldWithoutNul) {
  struct {
    char field[8];
    char guard[8];
  } buffer;
  std::memset(buffer.guard, 'G', sizeof buffer.guard);

  std::memcpy(buffer.field, "ABCDEF  ", 8);
  CleanString(buffer.field, sizeof buffer.field);
  EXPECT_STREQ(buffer.field, "ABCDEF");

  std::memcpy(buffer.field, "A  B  CD", 8);
  CleanString(buffer.field, sizeof buffer.field);
  EXPECT_EQ(std::string(buffer.field, 6), "A B CD");
  EXPECT_EQ(buffer.field[6], '\0');

  // Nothing to trim or collapse: the field stays full and unterminated.
  std::memcpy(buffer.field, "ABCDEFGH", 8);
  CleanString(buffer.field, sizeof buffer.field);
  EXPECT_EQ(std::string(buffer.field, 8), "ABCDEFGH");
  EXPECT_EQ(std::string(buffer.guard, 8), "GGGGGGGG");
}

// CleanAttributes tidies six fields and leaves the other four as given.
TEST(CleanString, AttributesCleanSixFieldsOnly) {
  HBA_ADAPTERATTRIBUTES a;
  std::memset(&a, 0, sizeof a);
  const char padded[] = "X  Y ~";
  for (char* field :
       {a.SerialNumber, a.ModelDescription, a.Manufacturer, a.HardwareVersion, a.OptionROMVersion,
        a.FirmwareVersion, a.Model, a.NodeSymbolicName, a.DriverVersion, a.DriverName}) {
    std::memcpy(field, padded, sizeof padded);
  }
  FcHbaAdapter::CleanAttributes(&a);
  for (const char* field : {a.SerialNumber, a.ModelDescription, a.Manufacturer, a.HardwareVersion,
                            a.OptionROMVersion, a.FirmwareVersion}) {
    EXPECT_STREQ(field, "X Y");
  }
  for (const char* field : {a.Model, a.NodeSymbolicName, a.DriverVersion, a.DriverName}) {
    EXPECT_STREQ(field, padded);
  }
}

}  // namespace
