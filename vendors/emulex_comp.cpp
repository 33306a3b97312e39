#include "vendors/emulex_comp.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/compare_versions.h"
#include "core/flash_engine.h"
#include "core/run_codes.h"
#include "core/run_command.h"
#include "core/text.h"
#include "regex/pattern.h"

namespace EmulexComp {

namespace {

// One adapter line of the kit's query output, matched as a whole. The
// engine remembers the places in the line where the rest of the pattern has
// already failed (BasicMatcher::kMemoAfterSteps), so a line decides in time
// proportional to its length whatever it repeats, and with a stack that
// does not grow with it.
const char kAdapterLine[] =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),"
    ".*Firmware=(.+),.*Boot Code=([\\w\\.]+).*";

const char kScript[] = "./elxflashStandalone*/lx/elxflash.sh";

// The output split at each "\n": a last line without a newline counts, a
// final newline adds no empty line, empty lines in between count.
std::vector<std::string> SplitLines(const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    lines.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string CComponent::PadHex4(std::string& text) {
  if (text.size() < 4) text.insert(0, 4 - text.size(), '0');
  return text;
}

std::wstring CComponent::NormalizeVersion(std::wstring version) {
  const size_t blank = version.find(L' ');
  if (blank != std::wstring::npos) version.erase(blank);
  return version;
}

int CComponent::PrepareKit() {
  m_log.Log("Preparing the Emulex Kit...");
  // A kit left by an earlier run is replaced without a question: unzip would
  // otherwise wait for an answer on a terminal nobody sees.
  (void)RunCommand("unzip -o elxflashStandalone*.zip < /dev/null");
  m_log.Log("done\n");
  // Executable for everyone, writable only by its owner: root runs it.
  RunShell(std::string("chmod 755 ") + kScript);
  RunShell("cp ./boot/* ./elxflashStandalone*/boot/");
  RunShell("cp ./firmware/* ./elxflashStandalone*/firmware/");
  return 0;
}

bool CComponent::Discover() {
  if (PrepareKit() != 0) return false;
  const std::vector<std::string> lines = SplitLines(RunCommand(std::string(kScript) + " /q"));

  // One compiled pattern serves every line; it and each line's matcher are
  // released when they go out of scope.
  std::unique_ptr<Pattern> pattern(Pattern::compile(kAdapterLine, Pattern::DOT_ANY));
  if (!pattern) return true;
  for (const std::string& line : lines) {
    std::unique_ptr<Matcher> matcher(pattern->makeMatcher(line));
    if (!matcher->matches()) continue;
    std::vector<std::string> g = matcher->groups(false);
    if (g.size() != 7) continue;  // the pattern has seven groups
    const std::string& name = g[0];
    const std::string identity =
        PadHex4(g[2]) + "." + PadHex4(g[1]) + "." + PadHex4(g[4]) + "." + PadHex4(g[3]);

    std::string firmware = g[5];
    std::string boot = g[6];
    const bool oce = name.find("OCe") != std::string::npos;
    if (!oce) {
      // Texts shorter than two characters lose what they have.
      firmware.erase(0, std::min<size_t>(2, firmware.size()));
      boot.erase(0, std::min<size_t>(2, boot.size()));
    }

    const std::wstring id = ToWide(identity.c_str());
    const int ref = FindReference(id);
    if (ref < 0) continue;
    const ReferenceDevice& reference = m_referenceSet.devices[ref];

    DiscoveredDevice device;
    device.device_id = id;
    device.product_id = reference.model;

    FirmwareItem fw;
    fw.type = L"Firmware";
    fw.version = reference.firmware;
    fw.active_version = ToWide(firmware.c_str());
    if (fw.version.find(L'.') == std::wstring::npos) {
      fw.active_version.erase(std::remove(fw.active_version.begin(), fw.active_version.end(), L'.'),
                              fw.active_version.end());
    }
    fw.action = PlannedAction(CompareVersions(fw.version, fw.active_version));
    fw.duration = reference.duration;
    fw.shared = L"no";
    device.fw_items.push_back(fw);

    FirmwareItem bios;
    bios.type = L"Boot BIOS ROM";
    bios.version = reference.bios;
    if (!oce) bios.active_version = ToWide(boot.c_str());
    bios.action = PlannedAction(CompareVersions(bios.version, bios.active_version));
    bios.duration = reference.duration;
    device.fw_items.push_back(bios);

    m_discoveryInfo.devices.push_back(device);
  }
  return true;
}

int CComponent::Flash() {
  // Two blanks between the script and its option, one before the
  // redirection; the logged text includes the redirection. The script was
  // made executable by PrepareKit.
  std::string command = std::string(kScript) + " ";
  command += m_force ? " /f " : " /update ";
  command += kLogRedirection;
  return ExitCodeFor(RunFlashEngine(m_log, command, command, ""));
}

int ExitCodeFor(int toolCode) {
  if (toolCode == 0) return kExitFlashed;
  if (toolCode == 1) return kExitNothingDone;
  if (toolCode >= 2 && toolCode <= 6) return kExitFailure;
  return toolCode;
}

}  // namespace EmulexComp
