#include "vendors/qlogic_comp.h"

#include "core/flash_engine.h"
#include "core/run_codes.h"
#include "vendors/boot_rom_device.h"

namespace QLogicComp {

std::wstring CComponent::NormalizeVersion(std::wstring version) {
  const size_t blank = version.find(L' ');
  if (blank != std::wstring::npos) version.erase(blank);
  const size_t v = version.find(L"v.");
  if (v != std::wstring::npos) version.erase(v, 2);
  return version;
}

int CComponent::FindReference(std::wstring id) {
  // Every device_id contains the empty text: without this an adapter of
  // unknown identity would be planned (and flashed) as the first reference.
  if (id.empty()) return -1;
  const int exact = CBaseCmp::FindReference(id);
  if (exact != -1) return exact;
  const std::wstring upper = ToUpper(id);
  const auto& devices = m_referenceSet.devices;
  for (size_t i = 0; i < devices.size(); ++i) {
    // One way only: the reference's device_id must contain the identity.
    if (ToUpper(devices[i].device_id).find(upper) != std::wstring::npos) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void CComponent::DiscoverDevices() {
  const int count = static_cast<int>(m_adapterList.m_records.size());
  for (int i = 0; i < count; ++i) {
    const int ref = FindReference(GetAdapterId(i));
    if (ref < 0) continue;
    const ReferenceDevice& reference = m_referenceSet.devices[ref];
    // Recorded under the reference's device_id, not the adapter's identity.
    m_discoveryInfo.devices.push_back(
        BootRomDevice(*this, reference.device_id, reference, *m_adapterList.m_records[i]));
  }
}

int CComponent::Flash() {
  std::string command = "./tarvqlafwupdate";
  if (m_silent) command += " /s";
  if (m_force) command += " /f";
  const std::string run = command + " " + kLogRedirection;
  return ExitCodeFor(RunFlashEngine(m_log, command, run, "./tarvqlafwupdate"));
}

int ExitCodeFor(int toolCode) {
  if (toolCode == 0) return kExitFlashed;
  if (toolCode == 1) return kExitNothingDone;
  // Bits 2 to 10, 14, 16 and 17: the tool's failures.
  constexpr unsigned kFailures = 0x347fc;
  if (toolCode >= 0 && toolCode <= 17 && ((kFailures >> toolCode) & 1u) != 0) return kExitFailure;
  return toolCode;
}

}  // namespace QLogicComp
