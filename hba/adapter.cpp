#include "hba/adapter.h"

#include <cstring>

#include "hba/clean_string.h"
#include "hba/field_text.h"
#include "hba/vendor_extension.h"
#include "hba/wwn_text.h"

namespace {

// Holds a POSIX mutex for one scope.
class MutexHold {
 public:
  explicit MutexHold(pthread_mutex_t* mutex) : mutex_(mutex) { pthread_mutex_lock(mutex_); }
  ~MutexHold() { pthread_mutex_unlock(mutex_); }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

 private:
  pthread_mutex_t* mutex_;
};

// Closes a common adapter handle when the scope ends.
class HandleCloser {
 public:
  explicit HandleCloser(HBA_HANDLE handle) : handle_(handle) {}
  ~HandleCloser() { HBA_CloseAdapter(handle_); }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

 private:
  HBA_HANDLE handle_;
};

}  // namespace

FcHbaAdapter::FcHbaAdapter() { pthread_mutex_init(&m_mutex, nullptr); }

FcHbaAdapter::~FcHbaAdapter() {
  ReleaseLibraries();
  pthread_mutex_destroy(&m_mutex);
}

int FcHbaAdapter::Refresh() {
  MutexHold hold(&m_mutex);

  // Zero-filled, so a vendor that fails or writes nothing leaves no stale name.
  char name[256] = {};
  if (HBA_GetAdapterName(m_index, name) != HBA_STATUS_OK) return 1;
  m_name = FieldText(name);

  const HBA_HANDLE handle = HBA_OpenAdapter(m_name.c_str());
  if (handle == 0) return 1;
  HandleCloser closer(handle);

  HBA_ADAPTERATTRIBUTES attributes;
  std::memset(&attributes, 0, sizeof attributes);
  if (HBA_GetAdapterAttributes(handle, &attributes) != HBA_STATUS_OK) return 1;

  int result = 0;
  m_ports.clear();
  CleanAttributes(&attributes);
  Manufacturer = FieldText(attributes.Manufacturer);
  SerialNumber = FieldText(attributes.SerialNumber);
  Model = FieldText(attributes.Model);
  ModelDescription = FieldText(attributes.ModelDescription);
  std::memcpy(NodeWWN, attributes.NodeWWN.wwn, sizeof NodeWWN);
  NodeSymbolicName = FieldText(attributes.NodeSymbolicName);
  HardwareVersion = FieldText(attributes.HardwareVersion);
  DriverVersion = FieldText(attributes.DriverVersion);
  OptionROMVersion = FieldText(attributes.OptionROMVersion);
  FirmwareVersion = FieldText(attributes.FirmwareVersion);
  NumberOfPorts = attributes.NumberOfPorts;
  DriverName = FieldText(attributes.DriverName);
  m_subsystemIds = attributes.VendorSpecificID;

  for (uint32_t index = 0; index < NumberOfPorts; ++index) {
    HBA_PORTATTRIBUTES portAttributes;
    std::memset(&portAttributes, 0, sizeof portAttributes);
    if (HBA_GetAdapterPortAttributes(handle, index, &portAttributes) != HBA_STATUS_OK) {
      result = 1;
      continue;
    }
    FcHbaPort port;
    port.SetAttributes(portAttributes, index);
    HBA_PORTSTATISTICS statistics;
    std::memset(&statistics, 0, sizeof statistics);
    if (HBA_GetPortStatistics(handle, index, &statistics) != HBA_STATUS_OK) {
      result = 1;
    } else {
      port.SetStatistics(statistics);
    }
    m_ports.push_back(port);
  }
  return result;
}

void FcHbaAdapter::CleanAttributes(HBA_ADAPTERATTRIBUTES* attributes) {
  CleanString(attributes->SerialNumber, sizeof attributes->SerialNumber);
  CleanString(attributes->ModelDescription, sizeof attributes->ModelDescription);
  CleanString(attributes->Manufacturer, sizeof attributes->Manufacturer);
  CleanString(attributes->HardwareVersion, sizeof attributes->HardwareVersion);
  CleanString(attributes->OptionROMVersion, sizeof attributes->OptionROMVersion);
  CleanString(attributes->FirmwareVersion, sizeof attributes->FirmwareVersion);
}

void FcHbaAdapter::ReleaseLibraries() {
  (void)HBA_FreeLibrary();
  ResetExtensionEntry();
}

std::string FcHbaAdapter::GetNodeWWNText() const { return WwnText(NodeWWN); }
