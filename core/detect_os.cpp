#include <sys/stat.h>

#include "core/base_cmp.h"
#include "core/run_command.h"
#include "regex/pattern.h"

namespace {

struct OsRule {
  const char* pattern;
  const wchar_t* tag;
};

// Tried in order against the release file's whole text; the first match wins.
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
  // even when none of the Red Hat rules matched.
  if (Exists("/etc/redhat-release")) {
    MatchRelease(RunCommand("cat /etc/redhat-release"), kRedHatRules, &m_discoveryInfo.os.first);
  } else if (Exists("/etc/SuSE-release")) {
    MatchRelease(RunCommand("cat /etc/SuSE-release"), kSuseRules, &m_discoveryInfo.os.first);
  }
  return 0;
}
