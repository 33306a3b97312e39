#include "hba/sysfs_pci.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hba/shell_pipe.h"

namespace {

// A directory from find's output goes into a shell command only when it is
// made of these characters, so an odd name can never run a command of its own.
bool PlainPath(const std::string& path) {
  if (path.empty()) return false;
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '.' || c == ':' || c == '_' || c == '-' || c == '+';
    if (!plain) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string CutAtNewline(const std::string& line) { return line.substr(0, line.find('\n')); }

// True when the candidate's subsystem files name both ids: the pipeline
// counts the lines that contain either, and exactly two make the match.
bool SubsystemMatches(const std::string& dir, uint32_t subsystemVendor, uint32_t subsystemId) {
  char command[1024];
  const int n = std::snprintf(command, sizeof command,
                              "cat %s/subsystem_vendor %s/subsystem_device | grep -i -E "
                              "'%.4x|%.4x' | wc -l",
                              dir.c_str(), dir.c_str(), subsystemVendor, subsystemId);
  if (n < 0 || static_cast<size_t>(n) >= sizeof command) return false;
  const auto lines = ReadCommandLines(command);
  if (!lines || lines->empty()) return false;
  return std::atoi(CutAtNewline(lines->front()).c_str()) == 2;
}

}  // namespace

std::string FindSysfsPciId(uint8_t domain, uint8_t bus, uint8_t function, uint32_t subsystemVendor,
                           uint32_t subsystemId) {
  std::string result = "N/A";
  char command[256];
  std::snprintf(command, sizeof command,
                "find /sys -name subsystem_vendor | grep -i -e '%.4x:%.2x:\\(\\w\\)*\\.%x'",
                static_cast<unsigned>(domain), static_cast<unsigned>(bus),
                static_cast<unsigned>(function));
  const auto found = ReadCommandLines(command);
  if (!found) return result;

  std::string match;
  for (const std::string& line : *found) {
    if (line.empty()) continue;
    const size_t slash = line.rfind('/');
    if (slash == std::string::npos) continue;
    const std::string dir = line.substr(0, slash);
    if (!PlainPath(dir)) continue;
    if (!Exists(dir + "/subsystem_device") || !Exists(dir + "/vendor") ||
        !Exists(dir + "/device")) {
      continue;
    }
    if (SubsystemMatches(dir, subsystemVendor, subsystemId)) {
      match = dir;
      break;
    }
  }
  if (match.empty()) return result;

  const auto ids = ReadCommandLines("cat " + match + "/vendor " + match + "/device");
  if (!ids || ids->size() < 2) return result;
  const unsigned long vendor = std::strtoul((*ids)[0].c_str(), nullptr, 16);
  const unsigned long device = std::strtoul((*ids)[1].c_str(), nullptr, 16);
  char text[40];
  std::snprintf(text, sizeof text, "%.4lx%.4lx", vendor, device);
  result = text;
  return result;
}
