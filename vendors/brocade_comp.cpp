#include "vendors/brocade_comp.h"

#include <memory>

#include "core/compare_versions.h"
#include "core/flash_engine.h"
#include "core/run_codes.h"
#include "core/text.h"
#include "regex/pattern.h"

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
    const int ref = FindReference(id);
    if (ref < 0) continue;
    const ReferenceDevice& reference = m_referenceSet.devices[ref];
    const FcHbaAdapterInfo& record = *records[i];

    DiscoveredDevice device;
    device.device_id = id;
    device.product_id = ToWide(FieldText(record.Model).c_str());

    FirmwareItem item;
    item.type = L"Boot BIOS ROM";
    item.version = reference.bios;
    item.active_version = NormalizeVersion(ToWide(FieldText(record.OptionROMVersion).c_str()));
    item.action = PlannedAction(CompareVersions(item.version, item.active_version));
    item.duration = reference.duration;
    item.shared = L"no";
    device.fw_items.push_back(item);
    m_discoveryInfo.devices.push_back(device);
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
