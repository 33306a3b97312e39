#include "vendors/brocade_comp.h"

#include <memory>

#include "core/flash_engine.h"
#include "core/run_codes.h"
#include "regex/pattern.h"
#include "vendors/boot_rom_device.h"

namespace BrocadeComp {

std::wstring CComponent::NormalizeVersion(std::wstring version) {
  // Compiled per call and released with its matcher before returning.
  std::unique_ptr<WidePattern> pattern(
      WidePattern::compile(L".*(\\d+\\.\\d+\\.\\d+\\.\\d+).*", WidePattern::DOT_ANY));
  if (!pattern) return version;
  std::unique_ptr<WideMatcher> matcher(pattern->makeMatcher(version));
  if (matcher->matches()) return matcher->group(1);
  return version;
}

void CComponent::DiscoverDevices() {
  const auto& records = m_adapterList.m_records;
  for (size_t i = 0; i < records.size(); ++i) {
    const std::wstring id = GetAdapterId(static_cast<int>(i));
    // An adapter whose PCI identity could not be read has an empty identity;
    // it would match a reference row with an empty device_id and be planned
    // (and flashed) as a device it may not be.
    if (id.empty()) continue;
    const int ref = FindReference(id);
    if (ref < 0) continue;
    // Recorded under the adapter's own identity text, not the reference's.
    m_discoveryInfo.devices.push_back(
        BootRomDevice(*this, id, m_referenceSet.devices[ref], *records[i]));
  }
}

int CComponent::Flash() {
  std::string command = "./bcu boot --update ";
  command += "bfa_boot_fw";
  command += " -a";
  if (m_force) command += " force";
  const std::string run = command + " " + kLogRedirection;
  return ExitCodeFor(RunFlashEngine(m_log, command, run, "./bcu"));
}

int ExitCodeFor(int toolCode) { return toolCode == 0 ? kExitFlashed : kExitFailure; }

}  // namespace BrocadeComp
