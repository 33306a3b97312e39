// The device record that the QLogic and Brocade components plan for one
// adapter record: one "Boot BIOS ROM" item, the package's boot BIOS version
// against the adapter's option-ROM version. The two differ only in the
// identity they record, which the caller passes in.
#ifndef ZRN_VENDORS_BOOT_ROM_DEVICE_H_
#define ZRN_VENDORS_BOOT_ROM_DEVICE_H_

#include <string>

#include "core/base_cmp.h"

// device_id = `deviceId`, product_id = the record's Model; the item's
// installed version is component.NormalizeVersion (a virtual call) of the
// record's OptionROMVersion, its action from CompareVersions(packaged,
// installed); duration from the reference, shared "no". Record fields are
// read up to their width.
[[nodiscard]] DiscoveredDevice BootRomDevice(CBaseCmp& component, const std::wstring& deviceId,
                                             const ReferenceDevice& reference,
                                             const FcHbaAdapterInfo& record);

#endif  // ZRN_VENDORS_BOOT_ROM_DEVICE_H_
