#include "hba/adapter_list.h"

#include <cstdio>
#include <iostream>

#include "hba/adapter.h"
#include "hba/mra.h"
#include "hba/sysfs_pci.h"

namespace {

template <size_t N>
void SetField(char (&field)[N], const std::string& value) {
  std::snprintf(field, N, "%s", value.c_str());
}

// One record from one adapter that has been read.
std::unique_ptr<FcHbaAdapterInfo> MakeRecord(const FcHbaAdapter& adapter) {
  auto record = std::make_unique<FcHbaAdapterInfo>();
  SetField(record->NodeWWN, adapter.GetNodeWWNText());
  // An adapter without a readable port has no port WWN: the field stays empty.
  if (!adapter.GetPorts().empty()) {
    SetField(record->PortWWN, adapter.GetPorts().front().GetPortWWNText());
  }
  SetField(record->DriverVersion, adapter.GetDriverVersion());
  SetField(record->OptionROMVersion, adapter.GetOptionROMVersion());
  SetField(record->FirmwareVersion, adapter.GetFirmwareVersion());
  SetField(record->Model, adapter.GetModel());
  const uint32_t subsystemVendor = adapter.GetSubsystemIds() & 0xFFFFu;
  const uint32_t subsystemId = adapter.GetSubsystemIds() >> 16;
  SetField(record->PciVendorDevice,
           FindSysfsPciId(adapter.GetPciDomain(), adapter.GetPciBus(), adapter.GetPciFunction(),
                          subsystemVendor, subsystemId));
  std::snprintf(record->PciSubsystem, sizeof record->PciSubsystem, "%.4x%.4x", subsystemVendor,
                subsystemId);
  return record;
}

}  // namespace

FcHbaAdapterList::~FcHbaAdapterList() {
  for (auto& record : m_records) record.reset();
  m_records.clear();
}

int FcHbaAdapterList::Enumerate() {
  // The enumerator and the adapters serve this call only: they go when it
  // returns, after the last record is built (destroying an adapter frees the
  // FC-HBA libraries, which nothing needs by then).
  auto mra = std::make_unique<FcHbaMRA>();
  std::vector<std::unique_ptr<FcHbaAdapter>> adapters;
  int status = 0;
  std::unique_ptr<FcHbaAdapter> adapter(mra->GetFirstAdapter(&status));
  while (adapter) {
    if (status != 0) {
      // Straight to standard output: also in a silent run, never in the log.
      std::cout << "MRA get returned failed status!" << std::endl;
    }
    FcHbaAdapter* const previous = adapter.get();
    adapters.push_back(std::move(adapter));
    adapter.reset(mra->GetNextAdapter(previous, &status));
  }

  for (const auto& kept : adapters) m_records.push_back(MakeRecord(*kept));
  return 1;
}
