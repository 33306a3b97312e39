// The vendor extension: the ZRNFC_ functions that the adapter vendors'
// management libraries export, used to learn an adapter's PCI subsystem ids
// and location, which the FC-HBA standard records do not carry.
//
// Two roads: through the ZRNFC_GetAdapterAttributes2 entry of the adapter's
// own FC-HBA library, when that library is the vendor's management library
// (BindExtension saves the entry point, ReadExtendedAttributes calls it), or
// by loading the management library from its fixed paths and walking its
// adapters until the node WWN matches (ReadExtendedAttributesDirect).
//
// The functions report through their results and a message buffer that the
// caller owns and nothing shows; they print nothing. The saved entry point is
// process-wide and unguarded, for the program's one thread.
#ifndef ZRN_HBA_VENDOR_EXTENSION_H_
#define ZRN_HBA_VENDOR_EXTENSION_H_

#include <cstddef>
#include <cstdint>

#include "hba/hba_api.h"

// The record ZRNFC_GetAdapterAttributes2 fills; only the node WWN of the
// standard part and the four values after it are read.
struct ExtendedAdapterAttributes {
  HBA_ADAPTERATTRIBUTES attributes;
  uint32_t subsystemIds;  // bits 0-15 subsystem vendor id, 16-31 subsystem id
  uint8_t pciBus;
  uint8_t pciFunction;
  uint8_t pciDomain;
};

static_assert(offsetof(ExtendedAdapterAttributes, subsystemIds) == 2192, "ids at 2192");
static_assert(offsetof(ExtendedAdapterAttributes, pciBus) == 2196, "bus at 2196");
static_assert(offsetof(ExtendedAdapterAttributes, pciFunction) == 2197, "function at 2197");
static_assert(offsetof(ExtendedAdapterAttributes, pciDomain) == 2198, "domain at 2198");

// The seven ZRNFC_ functions.
extern "C" {
typedef int (*ZRNFC_LoadLibraryFunc)();
typedef int (*ZRNFC_GetNumberOfAdaptersFunc)();
typedef int (*ZRNFC_GetAdapterNameFunc)(uint32_t index, char* name);
typedef uint32_t (*ZRNFC_OpenAdapterFunc)(char* name);
typedef int (*ZRNFC_GetAdapterAttributes2Func)(uint32_t handle,
                                               ExtendedAdapterAttributes* attributes);
typedef void (*ZRNFC_CloseAdapterFunc)(uint32_t handle);
typedef int (*ZRNFC_FreeLibraryFunc)();
}

// The size of the name buffer that QueryPciInfo hands to the direct road:
// the management library's contract for the names it writes.
constexpr size_t kExtensionNameSize = 1024;

// The most adapters of a management library the direct road walks; those
// past it are left out as if the library had not reported them. The common
// adapter table holds 64 adapters over all libraries, and a management
// library reports its own vendor's among them, so 256 is far above any real
// machine, while a count of 2147483647 would take hours for every adapter.
constexpr int kExtensionMaxAdapters = 256;

// 1 when `libraryPath` contains the management-library stem of the vendor
// that `adapterName` names; it then saves the library's
// ZRNFC_GetAdapterAttributes2 (null when `library` is null or lacks it) and
// sets *status to 0 when found, 1 otherwise. 0 when the path is another
// library's; *status is then untouched.
[[nodiscard]] int BindExtension(const char* adapterName, const char* libraryPath, void* library,
                                char* message, size_t messageSize, int* status);

// Reads the record through the saved entry point with the low 16 bits of
// `handle`; stores the four values only when the record's node WWN equals
// `nodeWWN`. 0, or -3 when the call fails (or no entry point is saved).
// Throws std::bad_alloc when memory runs out.
[[nodiscard]] int ReadExtendedAttributes(const uint8_t* nodeWWN, uint32_t* subsystemIds,
                                         uint8_t* bus, uint8_t* function, uint8_t* domain,
                                         char* message, size_t messageSize, HBA_HANDLE handle);

// Loads the vendor's management library from its three paths and walks its
// first kExtensionMaxAdapters adapters until one has `nodeWWN`; the names it
// reports, cut to kExtensionNameSize - 1 characters, are copied into `name`
// (which holds the adapter's name on entry and chooses the vendor; at least
// kExtensionNameSize bytes, else -1 and nothing is loaded). 0 when found,
// else -1 (no library) to -7 (its LoadLibrary failed). The library is closed
// exactly once on every path. Throws std::bad_alloc when memory runs out.
[[nodiscard]] int ReadExtendedAttributesDirect(const uint8_t* nodeWWN, char* name, size_t nameSize,
                                               uint32_t* subsystemIds, uint8_t* bus,
                                               uint8_t* function, uint8_t* domain, char* message,
                                               size_t messageSize);

// Forgets the saved entry point; called whenever the FC-HBA libraries, one of
// which it points into, are freed.
void ResetExtensionEntry();

#endif  // ZRN_HBA_VENDOR_EXTENSION_H_
