#include <sys/stat.h>

#include <cstdio>
#include <optional>

#include "core/base_cmp.h"
#include "core/regular_file.h"
#include "core/run_command.h"
#include "regex/pattern.h"

namespace {

// How much of a release file is read: a real one is a line of some fifty
// bytes (SUSE's holds three short lines), so this is far above any, and a
// longer file costs neither memory nor time. Every rule's pattern ends in
// ".*", which also crosses line ends, so the text cut at the bound matches a
// rule wherever the whole file would, unless the words the rule looks for
// come only after the first 64 KiB.
constexpr size_t kMaxReleaseFileBytes = 64 * 1024;

struct OsRule {
  const char* pattern;
  const wchar_t* tag;
};

// Tried in order against the release file's text; the first match wins.
const OsRule kRedHatRules[] = {
    {"Red Hat Enterprise Linux.*release 4.*", L"rhel4"},
    {"Red Hat Enterprise Linux.*release 5.*", L"rhel5"},
    {"Red Hat Enterprise Linux.*release 6.*", L"rhel6"},
};
const OsRule kSuseRules[] = {
    {"SUSE Linux Enterprise Server 10.*", L"sles10"},
    {"SUSE Linux Enterprise Server 11.*", L"sles11"},
};

bool Exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

// The release file's text as "cat" through a pipe gave it: read in the same
// chunks, each taken up to its first NUL. Empty when the file cannot be read
// or is no regular file (a FIFO, a device, a directory), as when cat fails.
std::string ReleaseText(const char* path) {
  std::optional<std::string> start = ReadFileStart(path, kMaxReleaseFileBytes);
  if (!start || start->empty()) return std::string();
  FILE* stream = fmemopen(start->data(), start->size(), "r");
  if (stream == nullptr) return std::string();
  std::string text = ReadStream(stream);
  std::fclose(stream);
  return text;
}

template <size_t N>
void MatchRelease(const std::string& text, const OsRule (&rules)[N], std::wstring* tag) {
  for (const OsRule& rule : rules) {
    // "." also crosses line ends, so the trailing newline and any further
    // lines belong to the match.
    if (Pattern::matches(std::string(rule.pattern), text,
                         Pattern::DOT_ANY | Pattern::LINE_ANCHORS)) {
      *tag = rule.tag;
      return;
    }
  }
}

}  // namespace

int CBaseCmp::DetectOS() {
  // A Red Hat release file decides alone: the SUSE file is not looked at
  // even when none of the Red Hat rules matched, or when it cannot be read.
  if (Exists("/etc/redhat-release")) {
    MatchRelease(ReleaseText("/etc/redhat-release"), kRedHatRules, &m_discoveryInfo.os.first);
  } else if (Exists("/etc/SuSE-release")) {
    MatchRelease(ReleaseText("/etc/SuSE-release"), kSuseRules, &m_discoveryInfo.os.first);
  }
  return 0;
}
