// One installed Fibre Channel adapter as the FC-HBA common library reports
// it: its name, attribute strings and numbers, its ports and, once the vendor
// extension has been asked, its PCI subsystem identity and location.
//
// The creator (FcHbaMRA) sets m_index, then calls Refresh and QueryPciInfo;
// the adapter-record list reads the values through the getters. Each adapter
// has its own mutex, held for the whole of Refresh. Destroying an adapter
// frees every loaded FC-HBA vendor library, so no adapter of an enumeration
// is destroyed before the last one has been read. Not copyable.
#ifndef ZRN_HBA_ADAPTER_H_
#define ZRN_HBA_ADAPTER_H_

#include <pthread.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hba/hba_api.h"
#include "hba/port.h"

// The most ports Refresh reads of one adapter; the ones past it are left out.
// The largest Fibre Channel adapters carry four ports, so 256 is far above
// real hardware, while a count of 4294967295 would keep the run busy for
// minutes and, with readable ports, fill memory.
constexpr uint32_t kHbaMaxPortsRead = 256;

class FcHbaAdapter {
 public:
  // "Undefined" strings, zero numbers and WWN, no ports; the creator sets
  // m_index before Refresh.
  FcHbaAdapter();
  // Frees every loaded FC-HBA vendor library first.
  virtual ~FcHbaAdapter();
  FcHbaAdapter(const FcHbaAdapter&) = delete;
  FcHbaAdapter& operator=(const FcHbaAdapter&) = delete;

  // Reads name, attributes and ports of common adapter m_index: 0 when every
  // step succeeded, 1 when any failed. A failed name, open or attribute read
  // leaves every attribute and the ports list as they were; a port whose
  // attributes fail is left out, one whose statistics fail keeps zero
  // counters, and ports from kHbaMaxPortsRead on are not read. The mutex is
  // released and the handle closed on every path. Throws std::bad_alloc
  // when memory runs out.
  [[nodiscard]] int Refresh();
  // Asks the vendor extension for the subsystem-id word and the PCI bus,
  // function and domain; they change only when the adapter is found there.
  void QueryPciInfo();
  // Tidies SerialNumber, ModelDescription, Manufacturer, HardwareVersion,
  // OptionROMVersion and FirmwareVersion of a raw record in place.
  static void CleanAttributes(HBA_ADAPTERATTRIBUTES* attributes);

  // "%02X:..." of the node WWN, 23 characters.
  std::string GetNodeWWNText() const;

  const uint8_t* GetNodeWWN() const { return NodeWWN; }
  uint32_t GetNumberOfPorts() const { return NumberOfPorts; }
  uint8_t GetPciDomain() const { return m_pciDomain; }
  uint8_t GetPciBus() const { return m_pciBus; }
  uint8_t GetPciFunction() const { return m_pciFunction; }
  uint32_t GetSubsystemIds() const { return m_subsystemIds; }
  std::string GetDriverName() const { return DriverName; }
  std::string GetFirmwareVersion() const { return FirmwareVersion; }
  std::string GetOptionROMVersion() const { return OptionROMVersion; }
  std::string GetDriverVersion() const { return DriverVersion; }
  std::string GetNodeSymbolicName() const { return NodeSymbolicName; }
  std::string GetHardwareVersion() const { return HardwareVersion; }
  std::string GetManufacturer() const { return Manufacturer; }
  std::string GetModelDescription() const { return ModelDescription; }
  std::string GetModel() const { return Model; }
  std::string GetSerialNumber() const { return SerialNumber; }
  std::string GetName() const { return m_name; }
  // The ports read by the last Refresh, in index order; the first is not
  // necessarily port 0.
  const std::vector<FcHbaPort>& GetPorts() const { return m_ports; }

  // Common adapter index in the common library's adapter table. Starts at 0
  // rather than undefined, so an adapter read before its creator set it reads
  // a defined index.
  uint32_t m_index = 0;

 private:
  // Frees every FC-HBA vendor library and forgets the saved extension entry
  // point, which pointed into one of them.
  static void ReleaseLibraries();

  std::vector<FcHbaPort> m_ports;
  std::string m_name = "Undefined";
  std::string Manufacturer = "Undefined";
  std::string SerialNumber = "Undefined";
  std::string Model = "Undefined";
  std::string ModelDescription = "Undefined";
  uint8_t NodeWWN[8] = {};
  std::string NodeSymbolicName = "Undefined";
  std::string HardwareVersion = "Undefined";
  std::string DriverVersion = "Undefined";
  std::string OptionROMVersion = "Undefined";
  std::string FirmwareVersion = "Undefined";
  uint32_t NumberOfPorts = 0;
  std::string DriverName = "Undefined";
  uint32_t m_subsystemIds = 0;
  uint8_t m_pciBus = 0;
  uint8_t m_pciFunction = 0;
  uint8_t m_pciDomain = 0;
  pthread_mutex_t m_mutex;
};

#endif  // ZRN_HBA_ADAPTER_H_
