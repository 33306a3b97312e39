#include "hba/vendor_extension.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "hba/library_handle.h"
#include "hba/vendor_room.h"

namespace {

struct VendorLibraries {
  const char* stem;
  const char* paths[3];
  const char* loadFailure;
};

// Chosen from the adapter name by case-sensitive substring, first match wins;
// an adapter that names neither QLogic nor Emulex this way is taken as Brocade.
const VendorLibraries& VendorOf(const char* adapterName) {
  static const VendorLibraries kQLogic = {
      "libqlsdm",
      {"/usr/lib/libqlsdm.so", "/usr/lib64/libqlsdm-x86_64.so", "/lib/cim/libqlsdm.so"},
      "unable to load qlsdm"};
  static const VendorLibraries kEmulex = {
      "libemsdm",
      {"/usr/lib/libemsdm.so", "/usr/lib64/libemsdm.so", "/lib/cim/libemsdm.so"},
      "unable to load emsdm"};
  static const VendorLibraries kBrocade = {
      "bfahbaapi",
      {"/usr/lib/bfahbaapi.so", "/usr/lib64/bfahbaapi.so", "/lib/cim/bfahbaapi.so"},
      "unable to load bfahbaapi"};
  if (std::strstr(adapterName, "qlogic") != nullptr) return kQLogic;
  if (std::strstr(adapterName, "Emulex") != nullptr) return kEmulex;
  return kBrocade;
}

// The entry point BindExtension found last; null after a failed lookup and
// once the FC-HBA libraries are freed.
ZRNFC_GetAdapterAttributes2Func savedGetAttributes = nullptr;

void Say(char* message, size_t messageSize, const char* text) {
  if (message != nullptr && messageSize > 0) std::snprintf(message, messageSize, "%s", text);
}

// Stores the four values when the record belongs to the adapter; true then.
bool TakeIfSameAdapter(const ExtendedAdapterAttributes& record, const uint8_t* nodeWWN,
                       uint32_t* subsystemIds, uint8_t* bus, uint8_t* function, uint8_t* domain) {
  if (std::memcmp(record.attributes.NodeWWN.wwn, nodeWWN, 8) != 0) return false;
  *subsystemIds = record.subsystemIds;
  *bus = record.pciBus;
  *function = record.pciFunction;
  *domain = record.pciDomain;
  return true;
}

}  // namespace

int BindExtension(const char* adapterName, const char* libraryPath, void* library, char* message,
                  size_t messageSize, int* status) {
  const VendorLibraries& vendor = VendorOf(adapterName);
  if (std::strstr(libraryPath, vendor.stem) == nullptr) return 0;
  if (library == nullptr) {
    savedGetAttributes = nullptr;
    *status = 1;
    Say(message, messageSize, "libHandle is NULL; cannot dlsym");
    return 1;
  }
  savedGetAttributes =
      LookupFunction<ZRNFC_GetAdapterAttributes2Func>(library, "ZRNFC_GetAdapterAttributes2");
  if (savedGetAttributes == nullptr) {
    *status = 1;
    Say(message, messageSize, "unable to dlsym for ZRNFC_GetAdapterAttributes2");
  } else {
    *status = 0;
    Say(message, messageSize, "dlsym for ZRNFC_GetAdapterAttributes2 success!");
  }
  return 1;
}

int ReadExtendedAttributes(const uint8_t* nodeWWN, uint32_t* subsystemIds, uint8_t* bus,
                           uint8_t* function, uint8_t* domain, char* message, size_t messageSize,
                           HBA_HANDLE handle) {
  if (savedGetAttributes == nullptr) {
    Say(message, messageSize, "unable to dlsym for ZRNFC_GetAdapterAttributes2");
    return -3;
  }
  const uint32_t extensionHandle = handle & 0xFFFFu;
  auto room = std::make_unique<VendorRoom>();
  const int r = savedGetAttributes(extensionHandle, room->Fresh<ExtendedAdapterAttributes>());
  if (r != 0) {
    if (message != nullptr && messageSize > 0) {
      std::snprintf(message, messageSize,
                    "fail to read adapter attribs: handle used is 0x%x: retStatus is 0x%x",
                    static_cast<unsigned>(extensionHandle), static_cast<unsigned>(r));
    }
    return -3;
  }
  if (TakeIfSameAdapter(room->Take<ExtendedAdapterAttributes>(), nodeWWN, subsystemIds, bus,
                        function, domain) &&
      message != nullptr && messageSize > 0) {
    std::snprintf(message, messageSize, "read adapter attribs Success! handle used is 0x%x",
                  static_cast<unsigned>(extensionHandle));
  }
  return 0;
}

int ReadExtendedAttributesDirect(const uint8_t* nodeWWN, char* name, size_t nameSize,
                                 uint32_t* subsystemIds, uint8_t* bus, uint8_t* function,
                                 uint8_t* domain, char* message, size_t messageSize) {
  Say(message, messageSize, "pass");
  // The caller's buffer holds every name the library's contract allows, so
  // a smaller one is refused. The library itself writes into a room far
  // larger still, since it is never told a size.
  if (name == nullptr || nameSize < kExtensionNameSize) return -1;
  const VendorLibraries& vendor = VendorOf(name);

  LibraryHandle library;
  for (const char* path : vendor.paths) {
    library.reset(zrn_hba::OpenLibrary(path));
    if (library) break;
  }
  if (!library) {
    Say(message, messageSize, vendor.loadFailure);
    return -1;
  }

  // Every symbol is checked before anything is called.
  struct {
    const char* symbol;
    void* address;
  } symbols[] = {{"ZRNFC_LoadLibrary", nullptr},
                 {"ZRNFC_GetNumberOfAdapters", nullptr},
                 {"ZRNFC_GetAdapterName", nullptr},
                 {"ZRNFC_OpenAdapter", nullptr},
                 {"ZRNFC_GetAdapterAttributes2", nullptr},
                 {"ZRNFC_CloseAdapter", nullptr},
                 {"ZRNFC_FreeLibrary", nullptr}};
  for (auto& entry : symbols) {
    entry.address = zrn_hba::FindSymbol(library.get(), entry.symbol);
    if (entry.address == nullptr) {
      char text[64];
      std::snprintf(text, sizeof text, "unable to dlsym for %s", entry.symbol);
      Say(message, messageSize, text);
      return -2;
    }
  }
  const auto loadLibrary = reinterpret_cast<ZRNFC_LoadLibraryFunc>(symbols[0].address);
  const auto getNumberOfAdapters =
      reinterpret_cast<ZRNFC_GetNumberOfAdaptersFunc>(symbols[1].address);
  const auto getAdapterName = reinterpret_cast<ZRNFC_GetAdapterNameFunc>(symbols[2].address);
  const auto openAdapter = reinterpret_cast<ZRNFC_OpenAdapterFunc>(symbols[3].address);
  const auto getAttributes = reinterpret_cast<ZRNFC_GetAdapterAttributes2Func>(symbols[4].address);
  const auto closeAdapter = reinterpret_cast<ZRNFC_CloseAdapterFunc>(symbols[5].address);
  const auto freeLibrary = reinterpret_cast<ZRNFC_FreeLibraryFunc>(symbols[6].address);

  if (loadLibrary() != 0) {
    Say(message, messageSize, "fail to load library");
    return -7;
  }
  // From here on the management library was loaded, so it is freed on every
  // path before it is closed.
  struct Unloader {
    ZRNFC_FreeLibraryFunc free;
    ~Unloader() { (void)free(); }
  } unloader{freeLibrary};

  // A negative count reads as no adapters.
  const int reported = getNumberOfAdapters();
  const int count = reported < kExtensionMaxAdapters ? reported : kExtensionMaxAdapters;
  auto room = std::make_unique<VendorRoom>();
  for (int index = 0; index < count; ++index) {
    const int nameStatus = getAdapterName(static_cast<uint32_t>(index), room->FreshText());
    // The name that is kept and opened is what the contract allows.
    room->CutText(kExtensionNameSize - 1);
    room->CopyText(name, nameSize);
    if (nameStatus != 0) {
      Say(message, messageSize, "fail to get adapter number");
      return -5;
    }
    const uint32_t handle = openAdapter(room->text());
    if (handle == 0) {
      Say(message, messageSize, "fail to open adapter");
      return -4;
    }
    const int r = getAttributes(handle, room->Fresh<ExtendedAdapterAttributes>());
    if (r != 0) {
      closeAdapter(handle);
      if (message != nullptr && messageSize > 0) {
        std::snprintf(message, messageSize,
                      "fail to read adapter attribs, adapterHandle 0x%x, retStatus 0x%x",
                      static_cast<unsigned>(handle), static_cast<unsigned>(r));
      }
      return -3;
    }
    const bool found = TakeIfSameAdapter(room->Take<ExtendedAdapterAttributes>(), nodeWWN,
                                         subsystemIds, bus, function, domain);
    closeAdapter(handle);
    if (found) return 0;
  }
  Say(message, messageSize, "could not find WWNN match");
  return -6;
}

void ResetExtensionEntry() { savedGetAttributes = nullptr; }
