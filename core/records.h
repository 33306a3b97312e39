// The plain records of one run. ReferenceSet and its ReferenceDevice entries
// hold what the firmware package supports ("reference.xml"); DiscoveryInfo
// with its DiscoveredDevice and FirmwareItem entries holds what the run found
// and plans to do, and is what the self-discovery file is written from.
//
// Every text is a wide string and every list holds its elements by value, so
// appending stores an independent copy. The entry types copy memberwise and
// do nothing else; the two top-level records are never copied.
#ifndef ZRN_CORE_RECORDS_H_
#define ZRN_CORE_RECORDS_H_

#include <string>
#include <utility>
#include <vector>

// One "device" element of "reference.xml".
struct ReferenceDevice {
  ReferenceDevice() = default;
  ReferenceDevice(const ReferenceDevice&) = default;
  ReferenceDevice& operator=(const ReferenceDevice&) = default;
  ~ReferenceDevice() = default;

  std::wstring type;
  std::wstring device_id;  // adapter identity, e.g. "1077.2532.1077.015d"
  std::wstring model;
  std::wstring firmware;  // packaged firmware version
  std::wstring bios;      // packaged boot BIOS version
  std::wstring boot;      // loaded, never used
  std::wstring duration;
};

// The whole reference file.
struct ReferenceSet {
  ReferenceSet() = default;
  ~ReferenceSet() = default;
  ReferenceSet(const ReferenceSet&) = delete;
  ReferenceSet& operator=(const ReferenceSet&) = delete;

  // Reads "reference.xml" from the working directory and appends what it
  // holds. False when the file is missing or not well-formed; a well-formed
  // file of another shape is read as holding nothing and gives true.
  [[nodiscard]] bool Load();

  std::wstring discovery_app_path;
  std::wstring installer_app_path;
  std::vector<ReferenceDevice> devices;  // in document order
};

// One updatable image of a discovered device.
struct FirmwareItem {
  FirmwareItem() = default;
  FirmwareItem(const FirmwareItem&) = default;
  FirmwareItem& operator=(const FirmwareItem&) = default;
  ~FirmwareItem() = default;

  std::wstring type;  // "Firmware" or "Boot BIOS ROM"
  std::wstring firmware_id;
  std::wstring version;         // packaged
  std::wstring active_version;  // installed
  std::wstring action;          // "upgrade", "downgrade", "rewrite" or "unknown"
  std::wstring duration;
  std::wstring message;
  std::wstring shared;
};

// One installed adapter that a reference supports.
struct DiscoveredDevice {
  DiscoveredDevice() = default;
  DiscoveredDevice(const DiscoveredDevice&) = default;
  DiscoveredDevice& operator=(const DiscoveredDevice&) = default;
  ~DiscoveredDevice() = default;

  std::wstring device_id;
  std::wstring product_id;
  std::wstring busnumber;
  std::wstring slotnumber;  // not written to the self-discovery file
  std::wstring funcnumber;
  std::vector<FirmwareItem> fw_items;
};

// The result of discovery.
struct DiscoveryInfo {
  DiscoveryInfo() = default;
  ~DiscoveryInfo() = default;
  DiscoveryInfo(const DiscoveryInfo&) = delete;
  DiscoveryInfo& operator=(const DiscoveryInfo&) = delete;

  std::pair<std::wstring, std::wstring> os;  // first: the system tag; stored only
  std::wstring type;
  std::wstring alt_name;
  std::wstring version;
  std::wstring takes_effect;
  std::vector<DiscoveredDevice> devices;
};

#endif  // ZRN_CORE_RECORDS_H_
