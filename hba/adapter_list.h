// The adapter-record list: one flat record of fixed text fields per installed
// Fibre Channel adapter, in the order the adapters were enumerated.
//
// The component core holds one list, fills it once through Enumerate and then
// reads the record count and a few fields of each record directly. The list
// owns its records (allocated on the heap) and frees them when it is
// destroyed; it is not copyable. Every field is a NUL-terminated character
// array that the record's constructor fills with zero bytes.
#ifndef ZRN_HBA_ADAPTER_LIST_H_
#define ZRN_HBA_ADAPTER_LIST_H_

#include <memory>
#include <vector>

// One adapter's identity and versions as NUL-terminated text, 2560 bytes.
struct FcHbaAdapterInfo {
  // Every field zero-filled.
  FcHbaAdapterInfo() = default;

  char NodeWWN[256] = {};
  char PortWWN[256] = {};
  char PciVendorDevice[256] = {};  // eight lower-case hex digits, or "N/A"
  char PciSubsystem[256] = {};     // subsystem vendor id and subsystem id, 8 hex digits
  char DriverVersion[512] = {};
  char FirmwareVersion[256] = {};
  char OptionROMVersion[256] = {};
  char Spare[256] = {};  // never written
  char Model[256] = {};
};

static_assert(sizeof(FcHbaAdapterInfo) == 2560, "adapter records are 2560 bytes");

class FcHbaAdapterList {
 public:
  FcHbaAdapterList() = default;
  // Deletes every record, first to last, then empties the list.
  ~FcHbaAdapterList();
  FcHbaAdapterList(const FcHbaAdapterList&) = delete;
  FcHbaAdapterList& operator=(const FcHbaAdapterList&) = delete;

  // Appends one record per installed adapter to what the list holds; returns 1
  // in every case (no adapters is no failure: the list simply stays as it was).
  int Enumerate();

  // Record i is element i; the number of records is the size.
  std::vector<std::unique_ptr<FcHbaAdapterInfo>> m_records;
};

#endif  // ZRN_HBA_ADAPTER_LIST_H_
