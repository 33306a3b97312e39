#include "regex/regex_traits.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace zrn_regex_detail {

namespace {

// Writes all of data to fd 2, retrying short writes and interruptions.
void WriteAll(const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(2, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void WriteSyntaxErrorReport(const std::string& shownPattern, int cursor, const char* message) {
  // The lines of "%s\n%*c^\n": the text up to a NUL, then cursor - 1 blanks
  // (one blank when that is 0 or less), the caret and the message. Both widths
  // write bytes straight to the descriptor, so neither depends on the
  // orientation of the stdio stream and both reach standard error in one
  // process in any order; stdio's own buffer is flushed first to keep order.
  std::string report(shownPattern.c_str());
  report += '\n';
  report.append(static_cast<size_t>(std::max(1, cursor - 1)), ' ');
  report += "^\n";
  report += message;
  std::fflush(stderr);
  WriteAll(report);
}

}  // namespace zrn_regex_detail

char RegexTraits<char>::fold(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool RegexTraits<char>::equalsIgnoreCase(const char* a, const char* b, std::size_t n) {
  return ::strncasecmp(a, b, n) == 0;
}

wchar_t RegexTraits<wchar_t>::fold(wchar_t c) {
  return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool RegexTraits<wchar_t>::equalsIgnoreCase(const wchar_t* a, const wchar_t* b, std::size_t n) {
  return ::wcsncasecmp(a, b, n) == 0;
}

std::string RegexTraits<wchar_t>::reportText(const std::wstring& pattern) {
  std::string out;
  out.reserve(pattern.size());
  for (wchar_t c : pattern) {
    unsigned long v = value(c);
    out += v < 0x80 ? static_cast<char>(v) : '?';
  }
  return out;
}
