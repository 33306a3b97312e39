// The FC-HBA common library: "/etc/hba.conf" reader, library and adapter
// tables, handle encoding and the routing of every handle-taking call.
#include "hba/common_library.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#include "hba/dynamic_library.h"
#include "hba/hba_api.h"
#include "hba/regular_file_open.h"
#include "hba/vendor_room.h"

namespace {

struct HbaAdapterEntry {
  char name[64];
  unsigned libraryIndex;
};

// Process-wide and zero at start: every slot never loaded, no adapters.
HbaLibraryEntry g_libraries[kHbaMaxLibraries];
HbaAdapterEntry g_adapters[kHbaMaxAdapters];
HBA_UINT32 g_adapterCount = 0;
// Where every vendor library writes its entry-point table and its adapter
// names, and where it gets the name it opens; process-wide like the tables.
VendorRoom g_vendorRoom;

// The configuration is read in parts of at most 511 characters; a longer
// line is handled as several lines.
constexpr int kConfReadSize = 512;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using ConfFile = std::unique_ptr<FILE, FileCloser>;

// "/etc/hba.conf" open for reading; null when it cannot be opened or is not
// a regular file (OpenRegularFile).
ConfFile OpenConf() {
  const int fd = OpenRegularFile(kHbaConfPath);
  if (fd < 0) return nullptr;
  ConfFile conf(fdopen(fd, "r"));
  if (!conf) close(fd);
  return conf;
}

bool IsPathCharacter(char c) {
  return c == '_' || c == '.' || c == '/' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
         (c >= 'A' && c <= 'Z');
}

// Copies at most `size` - 1 bytes of `text` (which need not be terminated
// within `available` bytes) into `field` and terminates it.
void CopyBounded(char* field, size_t size, const char* text, size_t available) {
  size_t length = strnlen(text, available);
  if (length > size - 1) length = size - 1;
  std::memcpy(field, text, length);
  field[length] = '\0';
}

// One usable configuration line, cut into its name and its filtered path.
struct ConfLine {
  const char* name;
  const char* path;
};

// Splits `line` (as read, NUL-terminated) in place. False when the line is
// skipped: a comment, empty, without a TAB or blank, or with an empty name
// or path. The path is cut at its first byte that is not a path character.
bool SplitConfLine(char* line, ConfLine* out) {
  if (line[0] == '#' || line[0] == '\n' || line[0] == '\0') return false;
  if (char* newline = std::strchr(line, '\n')) *newline = '\0';
  // A TAB separates in preference to an earlier blank, so a name may keep
  // blanks.
  char* separator = std::strchr(line, '\t');
  if (separator == nullptr) separator = std::strchr(line, ' ');
  if (separator == nullptr) return false;
  *separator = '\0';
  char* path = separator + 1;
  while (*path == ' ' || *path == '\t') ++path;
  if (line[0] == '\0' || path[0] == '\0') return false;
  for (char* p = path; *p != '\0'; ++p) {
    if (!IsPathCharacter(*p)) {
      *p = '\0';
      break;
    }
  }
  out->name = line;
  out->path = path;
  return true;
}

// Fills slot `slot` from one usable line and loads its library.
void LoadSlot(unsigned slot, const ConfLine& line) {
  HbaLibraryEntry& library = g_libraries[slot];
  CopyBounded(library.name, sizeof library.name, line.name, std::strlen(line.name));
  const size_t pathLength = std::strlen(line.path);
  CopyBounded(library.path, sizeof library.path, line.path, pathLength);
  // A path the filter emptied would open the program itself, and one too
  // long for the field would open some other file: neither is loaded, but
  // the slot is still taken so that later lines keep their slots.
  const bool loadable = pathLength > 0 && pathLength < sizeof library.path;

  // A partly filled table must never keep pointers into a library that was
  // closed, so registration always starts from an empty table.
  void* previous = library.handle;
  std::memset(&library.entryPoints, 0, sizeof library.entryPoints);
  library.handle = loadable ? zrn_hba::OpenLibrary(library.path) : nullptr;
  // The slot's earlier library is closed only now, so that reloading the
  // same path keeps it mapped instead of unloading and mapping it again.
  zrn_hba::CloseLibrary(previous);
  if (library.handle == nullptr) return;

  auto registerLibrary = reinterpret_cast<HBA_RegisterLibraryFunc>(
      zrn_hba::FindSymbol(library.handle, "HBA_RegisterLibrary"));
  if (registerLibrary == nullptr) return;
  // The library fills a table in the room (one that fills a larger table of
  // a later version stays there); the slot keeps the entries it knows.
  const HBA_STATUS registered = registerLibrary(g_vendorRoom.Fresh<HBA_ENTRYPOINTS>());
  library.entryPoints = g_vendorRoom.Take<HBA_ENTRYPOINTS>();
  if (registered != HBA_STATUS_OK) {
    library.status = kHbaLibraryFailed;
    return;
  }
  const HBA_ENTRYPOINTS& entries = library.entryPoints;
  if (entries.GetVersionHandler == nullptr) return;
  if (entries.GetVersionHandler() == 0) {
    library.status = kHbaLibraryFailed;
    return;
  }
  if (entries.LoadLibraryHandler == nullptr) return;
  library.status =
      entries.LoadLibraryHandler() == HBA_STATUS_OK ? kHbaLibraryLoaded : kHbaLibraryFailed;
}

// Decodes `handle` and calls the slot's entry `Member` with the vendor
// handle and `args`: the decode status when that fails, 0 when the library
// lacks the entry, otherwise the entry's own status.
template <auto Member, typename... Args>
HBA_STATUS Route(HBA_HANDLE handle, Args... args) {
  int slot = 0;
  HBA_HANDLE vendorHandle = 0;
  const HBA_STATUS status = DecodeHandle(handle, &slot, &vendorHandle);
  if (status != HBA_STATUS_OK) return status;
  const auto entry = g_libraries[slot].entryPoints.*Member;
  if (entry == nullptr) return HBA_STATUS_OK;
  if constexpr (std::is_void_v<decltype(entry(vendorHandle, args...))>) {
    entry(vendorHandle, args...);
    return HBA_STATUS_OK;
  } else {
    return entry(vendorHandle, args...);
  }
}

}  // namespace

const HbaLibraryEntry& HbaLibrarySlot(unsigned slot) {
  return g_libraries[slot < kHbaMaxLibraries ? slot : kHbaMaxLibraries - 1];
}

int HBA_LoadLibrary() {
  ConfFile conf = OpenConf();
  if (!conf) return 1;
  unsigned slot = 0;
  char line[kConfReadSize];
  // Lines beyond the 32nd usable one have no slot and are left out, and so
  // is everything from kHbaConfMaxBytes on.
  while (slot < kHbaMaxLibraries && std::ftell(conf.get()) < kHbaConfMaxBytes &&
         std::fgets(line, sizeof line, conf.get()) != nullptr) {
    ConfLine usable;
    if (!SplitConfLine(line, &usable)) continue;
    LoadSlot(slot, usable);
    ++slot;
  }
  return 0;
}

int HBA_FreeLibrary() {
  for (HbaLibraryEntry& library : g_libraries) {
    if (library.status != kHbaLibraryLoaded) continue;
    if (library.entryPoints.FreeLibraryHandler != nullptr) library.entryPoints.FreeLibraryHandler();
    zrn_hba::CloseLibrary(library.handle);
    // Nothing may be closed twice or called after closing.
    library.handle = nullptr;
    std::memset(&library.entryPoints, 0, sizeof library.entryPoints);
    library.status = kHbaLibraryFailed;
  }
  return 0;
}

HBA_UINT32 HBA_GetNumberOfAdapters() {
  g_adapterCount = 0;
  for (unsigned slot = 0; slot < kHbaMaxLibraries; ++slot) {
    const HbaLibraryEntry& library = g_libraries[slot];
    if (library.status != kHbaLibraryLoaded) continue;
    if (library.entryPoints.GetNumberOfAdaptersHandler == nullptr) continue;
    const HBA_UINT32 vendorCount = library.entryPoints.GetNumberOfAdaptersHandler();
    if (library.entryPoints.GetAdapterNameHandler == nullptr) continue;
    // Adapters beyond the 64th in all are left out.
    for (HBA_UINT32 i = 0; i < vendorCount && g_adapterCount < kHbaMaxAdapters; ++i) {
      // Cleared for every call, so a failed call leaves an empty name rather
      // than the previous adapter's. The contract's buffer is 256 bytes; the
      // room takes a name that runs on, and the table keeps 63 characters.
      (void)library.entryPoints.GetAdapterNameHandler(i, g_vendorRoom.FreshText());
      HbaAdapterEntry& adapter = g_adapters[g_adapterCount];
      g_vendorRoom.CopyText(adapter.name, sizeof adapter.name);
      adapter.libraryIndex = slot;
      ++g_adapterCount;
    }
  }
  return g_adapterCount;
}

HBA_STATUS HBA_GetAdapterName(HBA_UINT32 index, char* name) {
  if (index >= g_adapterCount) return HBA_STATUS_ERROR_ILLEGAL_INDEX;
  const HbaAdapterEntry& adapter = g_adapters[index];
  std::memcpy(name, adapter.name, std::strlen(adapter.name) + 1);
  return HBA_STATUS_OK;
}

HBA_HANDLE HBA_OpenAdapter(const char* name) {
  if (name == nullptr) return 0;
  for (HBA_UINT32 i = 0; i < g_adapterCount; ++i) {
    HbaAdapterEntry& adapter = g_adapters[i];
    if (std::strcmp(adapter.name, name) != 0) continue;
    const unsigned slot = adapter.libraryIndex;
    const HbaLibraryEntry& library = g_libraries[slot];
    if (library.status != kHbaLibraryLoaded || library.entryPoints.OpenAdapterHandler == nullptr) {
      return 0;
    }
    // The vendor takes a writable name; it gets a copy in the room.
    char* const vendorName = g_vendorRoom.FreshText();
    std::memcpy(vendorName, adapter.name, sizeof adapter.name);
    const HBA_HANDLE vendorHandle = library.entryPoints.OpenAdapterHandler(vendorName);
    if (vendorHandle == 0) return 0;
    const HBA_HANDLE handle = (static_cast<HBA_HANDLE>(slot) << 16) | (vendorHandle & 0xFFFF);
    if (handle == 0) {
      // Slot 0 with a vendor handle whose low 16 bits are zero cannot be
      // told from "no handle": the caller will never close it, so it is
      // closed here.
      if (library.entryPoints.CloseAdapterHandler != nullptr) {
        library.entryPoints.CloseAdapterHandler(vendorHandle);
      }
      return 0;
    }
    return handle;
  }
  return 0;
}

HBA_STATUS DecodeHandle(HBA_HANDLE handle, int* libraryIndex, HBA_HANDLE* vendorHandle) {
  const unsigned slot = handle >> 16;
  if (slot >= kHbaMaxLibraries) return HBA_STATUS_ERROR_INVALID_HANDLE;
  if (g_libraries[slot].status != kHbaLibraryLoaded) return HBA_STATUS_ERROR;
  if (libraryIndex != nullptr) *libraryIndex = static_cast<int>(slot);
  if (vendorHandle != nullptr) *vendorHandle = handle & 0xFFFF;
  return HBA_STATUS_OK;
}

void* GetAdapterLibrary(HBA_UINT32 index, char* path) {
  if (index >= g_adapterCount) {
    if (path != nullptr) path[0] = '\0';
    return nullptr;
  }
  const HbaLibraryEntry& library = g_libraries[g_adapters[index].libraryIndex];
  if (path != nullptr) std::memcpy(path, library.path, sizeof library.path);
  return library.handle;
}

void HBA_CloseAdapter(HBA_HANDLE handle) {
  (void)Route<&HBA_ENTRYPOINTS::CloseAdapterHandler>(handle);
}

HBA_STATUS HBA_GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes) {
  return Route<&HBA_ENTRYPOINTS::GetAdapterAttributesHandler>(handle, attributes);
}

HBA_STATUS HBA_GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                        HBA_PORTATTRIBUTES* attributes) {
  return Route<&HBA_ENTRYPOINTS::GetAdapterPortAttributesHandler>(handle, portIndex, attributes);
}

HBA_STATUS HBA_GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                 HBA_PORTSTATISTICS* statistics) {
  return Route<&HBA_ENTRYPOINTS::GetPortStatisticsHandler>(handle, portIndex, statistics);
}

HBA_UINT32 HBA_GetVersion() { return 1; }

HBA_STATUS HBA_GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                           HBA_UINT32 discoveredPortIndex,
                                           HBA_PORTATTRIBUTES* attributes) {
  return Route<&HBA_ENTRYPOINTS::GetDiscoveredPortAttributesHandler>(
      handle, portIndex, discoveredPortIndex, attributes);
}

HBA_STATUS HBA_GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN portWWN,
                                      HBA_PORTATTRIBUTES* attributes) {
  return Route<&HBA_ENTRYPOINTS::GetPortAttributesByWWNHandler>(handle, portWWN, attributes);
}

HBA_STATUS HBA_SendCTPassThru(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize,
                              void* response, HBA_UINT32 responseSize) {
  return Route<&HBA_ENTRYPOINTS::SendCTPassThruHandler>(handle, request, requestSize, response,
                                                        responseSize);
}

void HBA_RefreshInformation(HBA_HANDLE handle) {
  (void)Route<&HBA_ENTRYPOINTS::RefreshInformationHandler>(handle);
}

void HBA_ResetStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex) {
  (void)Route<&HBA_ENTRYPOINTS::ResetStatisticsHandler>(handle, portIndex);
}

HBA_STATUS HBA_GetFcpTargetMapping(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping) {
  return Route<&HBA_ENTRYPOINTS::GetFcpTargetMappingHandler>(handle, mapping);
}

HBA_STATUS HBA_GetFcpPersistentBinding(HBA_HANDLE handle, HBA_FCPBINDING* binding) {
  return Route<&HBA_ENTRYPOINTS::GetFcpPersistentBindingHandler>(handle, binding);
}

HBA_STATUS HBA_GetEventBuffer(HBA_HANDLE handle, HBA_EVENTINFO* buffer, HBA_UINT32* count) {
  return Route<&HBA_ENTRYPOINTS::GetEventBufferHandler>(handle, buffer, count);
}

HBA_STATUS HBA_SetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info) {
  return Route<&HBA_ENTRYPOINTS::SetRNIDMgmtInfoHandler>(handle, info);
}

HBA_STATUS HBA_GetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info) {
  return Route<&HBA_ENTRYPOINTS::GetRNIDMgmtInfoHandler>(handle, info);
}

HBA_STATUS HBA_SendRNID(HBA_HANDLE handle, HBA_WWN wwn, HBA_UINT32 wwnType, void* response,
                        HBA_UINT32* responseSize) {
  return Route<&HBA_ENTRYPOINTS::SendRNIDHandler>(handle, wwn, wwnType, response, responseSize);
}

HBA_STATUS HBA_ScsiInquiry(HBA_HANDLE handle, HBA_WWN portWWN, HBA_UINT64 fcLUN, HBA_UINT8 evpd,
                           HBA_UINT32 pageCode, void* response, HBA_UINT32 responseSize,
                           void* sense, HBA_UINT32 senseSize) {
  return Route<&HBA_ENTRYPOINTS::ScsiInquiryHandler>(handle, portWWN, fcLUN, evpd, pageCode,
                                                     response, responseSize, sense, senseSize);
}

HBA_STATUS HBA_ReportLUNs(HBA_HANDLE handle, HBA_WWN portWWN, void* response,
                          HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize) {
  return Route<&HBA_ENTRYPOINTS::ReportLUNsHandler>(handle, portWWN, response, responseSize, sense,
                                                    senseSize);
}

HBA_STATUS HBA_ReadCapacity(HBA_HANDLE handle, HBA_WWN portWWN, HBA_UINT64 fcLUN, void* response,
                            HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize) {
  return Route<&HBA_ENTRYPOINTS::ReadCapacityHandler>(handle, portWWN, fcLUN, response,
                                                      responseSize, sense, senseSize);
}
