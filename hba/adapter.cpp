#include "hba/adapter.h"

#include <cstring>
#include <memory>

#include "hba/clean_string.h"
#include "hba/field_text.h"
#include "hba/handle_closer.h"
#include "hba/vendor_extension.h"
#include "hba/vendor_room.h"
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

  // Every record is filled in a zero-filled room and copied out of it.
  auto room = std::make_unique<VendorRoom>();
  if (HBA_GetAdapterAttributes(handle, room->Fresh<HBA_ADAPTERATTRIBUTES>()) != HBA_STATUS_OK) {
    return 1;
  }
  HBA_ADAPTERATTRIBUTES attributes = room->Take<HBA_ADAPTERATTRIBUTES>();

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

  // NumberOfPorts keeps what the library reported; ports past the bound are
  // neither read nor counted as a failed step.
  const uint32_t portsToRead = NumberOfPorts < kHbaMaxPortsRead ? NumberOfPorts : kHbaMaxPortsRead;
  for (uint32_t index = 0; index < portsToRead; ++index) {
    if (HBA_GetAdapterPortAttributes(handle, index, room->Fresh<HBA_PORTATTRIBUTES>()) !=
        HBA_STATUS_OK) {
      result = 1;
      continue;
    }
    FcHbaPort port;
    port.SetAttributes(room->Take<HBA_PORTATTRIBUTES>(), index);
    if (HBA_GetPortStatistics(handle, index, room->Fresh<HBA_PORTSTATISTICS>()) != HBA_STATUS_OK) {
      result = 1;
    } else {
      port.SetStatistics(room->Take<HBA_PORTSTATISTICS>());
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
