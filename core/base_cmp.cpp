#include "core/base_cmp.h"

#include <strings.h>

#include <cwchar>

#include "core/run_codes.h"
#include "core/text.h"

CBaseCmp::CBaseCmp() {
  // The members of class type are built in declaration order, the logger
  // first; the flags are set last.
  m_silent = false;
  m_discover = false;
  m_force = false;
}

CBaseCmp::~CBaseCmp() = default;

bool CBaseCmp::Discover() {
  m_adapterList.Enumerate();
  if (m_adapterList.m_records.empty()) {
    m_log.Log("WARNING! : No supported adapters found.\n");
    return false;
  }
  m_discoveryInfo.type =
      m_referenceSet.devices.empty() ? std::wstring() : m_referenceSet.devices.front().type;
  m_discoveryInfo.alt_name.clear();
  m_discoveryInfo.version.clear();
  m_discoveryInfo.takes_effect.clear();
  DiscoverDevices();
  return true;
}

std::wstring CBaseCmp::NormalizeVersion(std::wstring version) { return version; }

void CBaseCmp::DiscoverDevices() {}

int CBaseCmp::PrepareKit() { return 0; }

int CBaseCmp::Flash() { return 0; }

int CBaseCmp::FindReference(std::wstring id) {
  const auto& devices = m_referenceSet.devices;
  for (size_t i = 0; i < devices.size(); ++i) {
    if (wcscasecmp(devices[i].device_id.c_str(), id.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

int CBaseCmp::Run() {
  m_log.Log("---------------------------------------------------\n");
  m_log.Log("Loading references...");
  if (!m_referenceSet.Load()) {
    m_log.Log("FAILED!\n");
    return kExitFailure;
  }
  m_log.Log("done.\n").Log("Performing discovery...\n");
  DetectOS();
  if (!Discover()) return kExitFailure;
  if (m_discover) {
    m_log.Log("Generating self-discovery XML...");
    if (!WriteDiscoveryXml()) m_log.Log("FAILED!\n");
    m_log.Log("done.\n");
    return kExitNothingDone;
  }
  if (SummarizeActions() != 1 && !m_force) {
    m_log.Log("NOTICE : No operation was done.\n");
    return kExitNothingDone;
  }
  if (!HasDevices()) {
    m_log.Log("ERROR! : No supported hardware was found.\n");
    return kExitNothingDone;
  }
  m_log.Log("Performing flash -- DO NOT INTERRUPT!\n");
  const int result = Flash();
  m_log.Log("Flash complete [").Log(result).Log("]\n");
  return result;
}

std::wstring CBaseCmp::GetAdapterId(int index) {
  if (index < 0 || static_cast<size_t>(index) >= m_adapterList.m_records.size()) {
    return std::wstring();
  }
  const FcHbaAdapterInfo& record = *m_adapterList.m_records[index];
  std::string id;
  const std::string vendorDevice = FieldText(record.PciVendorDevice);
  const std::string subsystem = FieldText(record.PciSubsystem);
  if (strcasecmp(vendorDevice.c_str(), "N/A") != 0) id = vendorDevice;
  if (strcasecmp(subsystem.c_str(), "N/A") != 0) id += subsystem;
  // Each inserted dot lengthens the text, so the next one goes five further.
  for (size_t pos = 4; pos < id.size(); pos += 5) id.insert(pos, 1, '.');
  return WidenBytes(id);
}

int CBaseCmp::SummarizeActions() {
  bool upgrade = false, downgrade = false, rewrite = false;
  for (const DiscoveredDevice& device : m_discoveryInfo.devices) {
    for (const FirmwareItem& item : device.fw_items) {
      if (item.action == L"upgrade") upgrade = true;
      if (item.action == L"downgrade") downgrade = true;
      if (item.action == L"rewrite") rewrite = true;
    }
  }
  if (upgrade) return 1;
  if (downgrade) return 4;
  if (rewrite) return 2;
  return 0;
}

bool CBaseCmp::HasDevices() { return !m_discoveryInfo.devices.empty(); }
