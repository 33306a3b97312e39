// RunCommand, ReadStream and the text conversions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/run_command.h"
#include "core/text.h"
#include "tests/core/core_test_support.h"

namespace zrn_test {
namespace {

TEST(RunCommandTest, CollectsStandardOutput) {
  const std::string longLine(300, 'x');
  const struct {
    std::string command, output;
  } kCases[] = {
      {"true", ""},
      {"printf ''", ""},
      {"printf 'one\\ntwo\\n'", "one\ntwo\n"},
      {"printf 'no newline'", "no newline"},
      // Longer than one chunk: arrives whole.
      {"printf '%s\\n' " + longLine, longLine + "\n"},
      // Exit status is not looked at.
      {"echo out; exit 5", "out\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(RunCommand(c.command), c.output);
  }
}

TEST(RunCommandTest, StandardErrorIsNotCaptured) {
  testing::internal::CaptureStderr();
  const std::string out = RunCommand("echo to-err >&2; echo to-out");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to-err\n");
  EXPECT_EQ(out, "to-out\n");
}

TEST(ReadStreamTest, StopsOnReadError) {
  // Reading a directory fails at once without ever reaching end of file.
  FILE* dir = std::fopen("/", "r");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(ReadStream(dir), "");
  EXPECT_TRUE(std::ferror(dir));
  std::fclose(dir);
}

TEST(RunCommandTest, OutputThatNeverEndsIsReadUpToTheBound) {
  // A command that prints forever is read up to the bound and then left:
  // closing the pipe ends it. NUL bytes count toward the bound though they
  // add nothing to the text.
  const std::string endless = RunCommand("yes");
  EXPECT_EQ(endless.size(), kMaxCommandOutputBytes);
  EXPECT_EQ(endless.substr(0, 4), "y\ny\n");
  EXPECT_EQ(RunCommand("cat /dev/zero"), "");
  // A NUL ends its chunk's text (the rest of that line is lost), not the
  // reading.
  EXPECT_EQ(RunCommand("printf 'a\\0b\\nc\\n'"), "ac\n");
}

TEST(TextTest, ToWideDecodesInTheDefaultLocale) {
  EXPECT_EQ(ToWide(""), L"");
  EXPECT_EQ(ToWide("QLE2562 v2.10"), L"QLE2562 v2.10");
  EXPECT_EQ(ToWide(nullptr), L"");
  // Bytes outside ASCII do not decode in the "C" locale: the text ends there.
  EXPECT_EQ(ToWide("ab\xC3\xA9"
                   "cd"),
            L"ab");
}

TEST(TextTest, ByteWiseWideningRoundTrips) {
  const std::wstring wide = WidenBytes("a\xC3\xA9\x7F");
  EXPECT_EQ(wide,
            (std::wstring{L'a', static_cast<wchar_t>(-61), static_cast<wchar_t>(-87), L'\x7F'}));
  EXPECT_EQ(NarrowBytes(wide), "a\xC3\xA9\x7F");
  EXPECT_EQ(WidenBytes(""), L"");
  // Only the low 8 bits of a wide character survive.
  EXPECT_EQ(NarrowBytes(std::wstring{L'\x1234', L'\x41'}),
            "\x34"
            "A");
}

}  // namespace
}  // namespace zrn_test
