#include <cstring>
#include <iostream>

#include "core/base_cmp.h"
#include "core/run_codes.h"

namespace {

bool IsOneOf(const char* arg, std::initializer_list<const char*> options) {
  for (const char* option : options) {
    if (std::strcmp(arg, option) == 0) return true;
  }
  return false;
}

}  // namespace

int CBaseCmp::ParseCommandLine(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr) continue;
    if (IsOneOf(arg, {"/s", "-s"})) {
      m_silent = true;
      m_log.SetSilent(true);
    } else if (IsOneOf(arg, {"/f", "-f", "/e", "-e", "/g", "-g"})) {
      m_force = true;
    } else if (IsOneOf(arg, {"/h", "-h"})) {
      Usage();
      return kParseHelp;
    } else if (IsOneOf(arg, {"/d", "-d"})) {
      m_discover = true;
      if (i + 1 >= argc || argv[i + 1] == nullptr) {
        Usage();
        return kParseFailed;
      }
      // The path is not consumed: it is examined as an argument in its turn.
      m_outputPath = argv[i + 1];
    }
  }
  return kParseRun;
}

void CBaseCmp::Usage() {
  std::cout << "KTXXXXXX.tolux [options]" << std::endl;
  std::cout << "    options" << std::endl;
  std::cout << "    --------------------------" << std::endl;
  std::cout << "    /f = Force the installation" << std::endl;
  std::cout << "    /s = Execute silently" << std::endl;
  std::cout << "    /d [path] = Perform self-discovery and output to [path]" << std::endl;
}
