// Finds an adapter's PCI vendor and device ids in sysfs from its PCI
// location (domain, bus, function) and its subsystem ids, through shell
// pipelines over find, grep, cat and wc.
//
// The address search is deliberately loose (it also matches paths below a
// bridge of that address, and devices differing only in their slot), so the
// subsystem ids decide: the first directory whose two subsystem files name
// them wins. Keeps no state.
#ifndef ZRN_HBA_SYSFS_PCI_H_
#define ZRN_HBA_SYSFS_PCI_H_

#include <cstdint>
#include <string>

// Eight lower-case hexadecimal digits, vendor id then device id ("10772532"),
// or "N/A" when no device matches, its files give fewer than two lines, or a
// pipeline cannot be started.
[[nodiscard]] std::string FindSysfsPciId(uint8_t domain, uint8_t bus, uint8_t function,
                                         uint32_t subsystemVendor, uint32_t subsystemId);

#endif  // ZRN_HBA_SYSFS_PCI_H_
