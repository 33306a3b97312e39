#include "vendors/emulex_comp.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/compare_versions.h"
#include "core/flash_engine.h"
#include "core/run_codes.h"
#include "core/run_command.h"
#include "core/split_cursor.h"
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

// How many adapter lines of the query output are taken. The script lists
// one line per adapter port, and a machine holds a few dozen ports at most
// (the HBA layer's table keeps 64 adapters); every line taken is looked up
// among all the package's references, so 16 MiB of adapter lines against a
// large reference file kept the run busy for minutes. Lines past the bound
// are left out, as adapters past the HBA layer's table are.
constexpr size_t kMaxAdapterLines = 1024;

// The kit's script as the flash command shows it; the command that runs
// names the one kit's directory in its place.
const char kScript[] = "./elxflashStandalone*/lx/elxflash.sh";

// The package carries one kit: one archive, unpacked into one directory.
// Every command names that directory, never a pattern for the shell to
// expand, so no kit's script ever runs with another kit's path as its
// argument. A kit is used only when which one is meant is certain: at most
// one archive and, after unpacking, exactly one directory holding the
// script. Two archives, a leftover kit of another version beside the
// package's, or no kit at all leave nothing to use, as a missing archive
// does: no script runs, discovery records no device (the run goes on as with
// a kit that reports no adapter) and a flash starts nothing. Picking one of
// several kits by its name would be a guess, and a wrong guess flashes
// firmware the package does not carry. Without an archive, a kit unpacked
// by an earlier run is used as it stands.
constexpr std::string_view kKitPrefix = "elxflashStandalone";
constexpr std::string_view kArchiveSuffix = ".zip";
const char kKitScript[] = "/lx/elxflash.sh";

// Archives and unpacked kits are counted only this far: two already make
// the kit uncertain, and a directory crowded with such names costs no
// memory.
constexpr int kKitCountLimit = 2;

// What the package directory holds of kits: the archives (regular files
// "elxflashStandalone*.zip") and the unpacked kits (entries
// "elxflashStandalone*" under which "lx/elxflash.sh" exists, as the shell's
// pattern would find them), each counted up to kKitCountLimit, with the
// first name met of each kind.
struct KitEntries {
  int archives = 0;
  std::string archive;
  int kits = 0;
  std::string kit;
};

void Tally(int& count, std::string& first, const std::string& name) {
  if (count == 0) first = name;
  count = std::min(count + 1, kKitCountLimit);
}

bool IsArchive(const std::filesystem::directory_entry& entry, std::string_view name) {
  std::error_code ec;
  return name.size() >= kKitPrefix.size() + kArchiveSuffix.size() &&
         name.substr(name.size() - kArchiveSuffix.size()) == kArchiveSuffix &&
         entry.is_regular_file(ec);
}

bool IsKit(const std::string& name) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(name + kKitScript, ec));
}

KitEntries ListKitEntries() {
  KitEntries found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (std::string_view(name).substr(0, kKitPrefix.size()) != kKitPrefix) continue;
    if (IsArchive(*it, name)) Tally(found.archives, found.archive, name);
    if (IsKit(name)) Tally(found.kits, found.kit, name);
  }
  return found;
}

// True when the name holds only letters, digits and "._+-": such a name
// reads the same to the shell and to unzip as here, so it stands in a
// command unquoted. Kits are named so; another name is counted but not used.
bool PlainName(const std::string& name) {
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '+' || c == '-';
  });
}

// The directory of the one kit to use, or "" when there is none to use.
std::string UsableKit() {
  const KitEntries found = ListKitEntries();
  if (found.archives > 1 || (found.archives == 1 && !PlainName(found.archive))) return "";
  if (found.kits != 1 || !PlainName(found.kit)) return "";
  return found.kit;
}

std::string ScriptOf(const std::string& kit) { return "./" + kit + kKitScript; }

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
  const KitEntries found = ListKitEntries();
  if (found.archives == 1 && PlainName(found.archive)) {
    // A kit left by an earlier run is replaced without a question: unzip
    // would otherwise wait for an answer on a terminal nobody sees.
    (void)RunCommand("unzip -o " + found.archive + " < /dev/null");
  }
  m_log.Log("done\n");
  // Counted after unpacking: a leftover kit of another version now stands
  // beside the package's.
  const std::string kit = UsableKit();
  if (kit.empty()) return 0;
  // Executable for everyone, writable only by its owner: root runs it.
  RunShell("chmod 755 " + ScriptOf(kit));
  RunShell("cp ./boot/* ./" + kit + "/boot/");
  RunShell("cp ./firmware/* ./" + kit + "/firmware/");
  return 0;
}

bool CComponent::Discover() {
  if (PrepareKit() != 0) return false;
  const std::string kit = UsableKit();
  if (kit.empty()) return true;  // no kit to ask: no adapter reported
  const std::string output = RunCommand(ScriptOf(kit) + " /q");

  // One compiled pattern and one matcher serve every line; both are released
  // when they go out of scope.
  std::unique_ptr<Pattern> pattern(Pattern::compile(kAdapterLine, Pattern::DOT_ANY));
  if (!pattern) return true;
  std::unique_ptr<Matcher> matcher(pattern->makeMatcher(std::string()));
  // The lines at each "\n", in order: a last line without a newline counts,
  // a final newline adds no empty line, empty lines in between count. Each
  // is copied into the one string in turn, so the walk costs the output and
  // its longest line, not a string per line (16 MiB of empty lines are 16
  // million of them).
  SplitCursor<std::string> lines(output, '\n');
  std::string line;
  size_t taken = 0;
  while (lines.Next(&line)) {
    matcher->setText(line);
    if (!matcher->matches()) continue;
    if (++taken > kMaxAdapterLines) break;
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
  // The kit can only have gone uncertain since discovery found adapters
  // through it: nothing is started and the run has failed.
  const std::string kit = UsableKit();
  if (kit.empty()) return kExitFailure;
  // Two blanks between the script and its option, one before the
  // redirection; the logged text includes the redirection. The script was
  // made executable by PrepareKit.
  const std::string options = std::string(" ") + (m_force ? " /f " : " /update ") + kLogRedirection;
  return ExitCodeFor(RunFlashEngine(m_log, kScript + options, ScriptOf(kit) + options, ""));
}

int ExitCodeFor(int toolCode) {
  if (toolCode == 0) return kExitFlashed;
  if (toolCode == 1) return kExitNothingDone;
  if (toolCode >= 2 && toolCode <= 6) return kExitFailure;
  return toolCode;
}

}  // namespace EmulexComp
