#include "vendors/boot_rom_device.h"

#include "core/compare_versions.h"
#include "core/text.h"

DiscoveredDevice BootRomDevice(CBaseCmp& component, const std::wstring& deviceId,
                               const ReferenceDevice& reference, const FcHbaAdapterInfo& record) {
  DiscoveredDevice device;
  device.device_id = deviceId;
  device.product_id = ToWide(FieldText(record.Model).c_str());

  FirmwareItem item;
  item.type = L"Boot BIOS ROM";
  item.version = reference.bios;
  item.active_version =
      component.NormalizeVersion(ToWide(FieldText(record.OptionROMVersion).c_str()));
  item.action = PlannedAction(component.CompareVersions(item.version, item.active_version));
  item.duration = reference.duration;
  item.shared = L"no";
  device.fw_items.push_back(item);
  return device;
}
