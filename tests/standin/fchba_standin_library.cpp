// The stand-in FC-HBA vendor library (formats in fchba_standin.h).
//
// Everything but the exported entry points is internal, and all state is
// plain data, so that dlclose really unmaps the library and a later dlopen
// starts from a fresh copy.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hba/hba_api.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/standin_fields.h"

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kMaxAdapters = 80;
constexpr int kMaxPorts = 8;
constexpr size_t kNameCapacity = 512;
constexpr size_t kVendorNameSize = 256;
constexpr size_t kExtRecordSize = 2199;

struct Port {
  HBA_STATUS attributes_status;
  HBA_STATUS statistics_status;
  HBA_PORTATTRIBUTES attributes;
  HBA_PORTSTATISTICS statistics;
};

struct Adapter {
  char name[kNameCapacity];
  size_t name_length;
  HBA_STATUS name_status;
  bool handle_set;
  HBA_UINT32 handle;
  HBA_STATUS attributes_status;
  HBA_ADAPTERATTRIBUTES attributes;
  int port_count;
  Port ports[kMaxPorts];
  HBA_UINT32 ext_status;
  HBA_UINT32 ext_subsystem;
  HBA_UINT8 ext_bus;
  HBA_UINT8 ext_function;
  HBA_UINT8 ext_domain;
  bool ext_wwn_set;
  HBA_WWN ext_wwn;
  HBA_UINT32 ext_write_size;
  bool name_overrun;
  bool unlisted_ports_read;
};

enum Entry {
  kGetVersion,
  kLoadLibrary,
  kFreeLibrary,
  kGetNumberOfAdapters,
  kGetAdapterName,
  kOpenAdapter,
  kCloseAdapter,
  kGetAdapterAttributes,
  kGetAdapterPortAttributes,
  kGetPortStatistics,
  kGetDiscoveredPortAttributes,
  kGetPortAttributesByWWN,
  kSendCTPassThru,
  kRefreshInformation,
  kResetStatistics,
  kGetFcpTargetMapping,
  kGetFcpPersistentBinding,
  kGetEventBuffer,
  kSetRNIDMgmtInfo,
  kGetRNIDMgmtInfo,
  kSendRNID,
  kScsiInquiry,
  kReportLUNs,
  kReadCapacity,
  kEntryCount
};

const char* const kEntryNames[kEntryCount] = {
    "GetVersion",
    "LoadLibrary",
    "FreeLibrary",
    "GetNumberOfAdapters",
    "GetAdapterName",
    "OpenAdapter",
    "CloseAdapter",
    "GetAdapterAttributes",
    "GetAdapterPortAttributes",
    "GetPortStatistics",
    "GetDiscoveredPortAttributes",
    "GetPortAttributesByWWN",
    "SendCTPassThru",
    "RefreshInformation",
    "ResetStatistics",
    "GetFcpTargetMapping",
    "GetFcpPersistentBinding",
    "GetEventBuffer",
    "SetRNIDMgmtInfo",
    "GetRNIDMgmtInfo",
    "SendRNID",
    "ScsiInquiry",
    "ReportLUNs",
    "ReadCapacity",
};

struct Scenario {
  HBA_STATUS register_status;
  HBA_UINT32 version;
  HBA_STATUS load_status;
  bool missing[kEntryCount];
  bool count_set;
  HBA_UINT32 count;
  HBA_STATUS passthru_status;
  HBA_UINT32 spill;
  int adapter_count;
  Adapter adapters[kMaxAdapters];
};

Scenario g_scenario;
char g_self[4096];  // this library's path, as the loader knows it
const char* g_tag = "standin";

// ---- Trace ----------------------------------------------------------------

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

void Trace(const char* format, ...) {
  char line[2048];
  int length = std::snprintf(line, sizeof line, "%s ", g_tag);
  va_list args;
  va_start(args, format);
  if (length > 0 && static_cast<size_t>(length) < sizeof line) {
    std::vsnprintf(line + length, sizeof line - length, format, args);
  }
  va_end(args);
  length = static_cast<int>(strnlen(line, sizeof line - 2));
  line[length++] = '\n';
  char directory[sizeof kStandinTraceFile];
  std::memcpy(directory, kStandinTraceFile, sizeof directory);
  if (char* slash = std::strrchr(directory, '/')) *slash = '\0';
  (void)mkdir(directory, 0755);
  int fd = open(kStandinTraceFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  (void)!write(fd, line, length);
  close(fd);
}

// `text` of `length` bytes as trace text: bytes outside 0x20-0x7e as \xHH.
void TraceText(char* out, size_t size, const char* text, size_t length) {
  size_t used = 0;
  for (size_t i = 0; i < length && used + 5 < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c > 0x7e || c == '\\') {
      used += std::snprintf(out + used, size - used, "\\x%02x", c);
    } else {
      out[used++] = static_cast<char>(c);
    }
  }
  out[used] = '\0';
}

// ---- Scenario -------------------------------------------------------------

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes "\xHH" and "\\" in `value` into `out`; returns the length.
size_t Unescape(const char* value, char* out, size_t size) {
  size_t used = 0;
  for (const char* p = value; *p != '\0' && used < size; ++p) {
    if (p[0] == '\\' && p[1] == '\\') {
      out[used++] = '\\';
      ++p;
    } else if (p[0] == '\\' && p[1] == 'x' && HexDigit(p[2]) >= 0 && HexDigit(p[3]) >= 0) {
      out[used++] = static_cast<char>(HexDigit(p[2]) * 16 + HexDigit(p[3]));
      p += 3;
    } else {
      out[used++] = *p;
    }
  }
  return used;
}

void ReadBytes(const char* value, unsigned char* out, size_t size) {
  size_t used = 0;
  for (const char* p = value; *p != '\0' && used < size; ++p) {
    if (*p == ':') continue;
    if (HexDigit(p[0]) < 0 || HexDigit(p[1]) < 0) break;
    out[used++] = static_cast<unsigned char>(HexDigit(p[0]) * 16 + HexDigit(p[1]));
    ++p;
  }
}

// Sets `key` in `record` from one of `fields`; false when no field has it.
template <size_t N>
bool SetField(const StandinField (&fields)[N], void* record, const char* key, const char* value) {
  for (const StandinField& field : fields) {
    if (std::strcmp(field.key, key) != 0) continue;
    char* target = static_cast<char*>(record) + field.offset;
    if (field.kind == StandinField::kText) {
      char text[1024];
      const size_t length = Unescape(value, text, sizeof text);
      std::memset(target, 0, field.size);
      std::memcpy(target, text, length < field.size ? length : field.size);
    } else if (field.kind == StandinField::kU32) {
      const HBA_UINT32 number = static_cast<HBA_UINT32>(std::strtoull(value, nullptr, 0));
      std::memcpy(target, &number, sizeof number);
    } else if (field.kind == StandinField::kI64) {
      const HBA_INT64 number = std::strtoll(value, nullptr, 0);
      std::memcpy(target, &number, sizeof number);
    } else {
      std::memset(target, 0, field.size);
      ReadBytes(value, reinterpret_cast<unsigned char*>(target), field.size);
    }
    return true;
  }
  return false;
}

HBA_UINT32 Number(const char* value) {
  return static_cast<HBA_UINT32>(std::strtoll(value, nullptr, 0));
}

void ApplyLine(char* line, Adapter** adapter, Port** port) {
  char* value = std::strchr(line, ' ');
  if (value != nullptr) {
    *value++ = '\0';
  } else {
    value = line + std::strlen(line);
  }
  const char* key = line;
  Scenario& s = g_scenario;
  if (std::strcmp(key, "adapter") == 0) {
    *port = nullptr;
    if (s.adapter_count >= kMaxAdapters) {
      *adapter = nullptr;
      return;
    }
    Adapter& a = s.adapters[s.adapter_count++];
    a.name_length = Unescape(value, a.name, sizeof a.name);
    *adapter = &a;
    return;
  }
  if (*adapter == nullptr) {
    if (std::strcmp(key, "register") == 0) s.register_status = Number(value);
    if (std::strcmp(key, "version") == 0) s.version = Number(value);
    if (std::strcmp(key, "load") == 0) s.load_status = Number(value);
    if (std::strcmp(key, "passthru_status") == 0) s.passthru_status = Number(value);
    if (std::strcmp(key, "spill") == 0) s.spill = Number(value);
    if (std::strcmp(key, "count") == 0) {
      s.count_set = true;
      s.count = Number(value);
    }
    if (std::strcmp(key, "missing") == 0) {
      for (int i = 0; i < kEntryCount; ++i) {
        if (std::strcmp(kEntryNames[i], value) == 0) s.missing[i] = true;
      }
    }
    return;
  }
  Adapter& a = **adapter;
  if (std::strcmp(key, "port") == 0) {
    *port = a.port_count < kMaxPorts ? &a.ports[a.port_count++] : nullptr;
    return;
  }
  if (*port != nullptr) {
    Port& p = **port;
    if (std::strcmp(key, "attributes_status") == 0) {
      p.attributes_status = Number(value);
    } else if (std::strcmp(key, "statistics_status") == 0) {
      p.statistics_status = Number(value);
    } else if (!SetField(kStandinPortFields, &p.attributes, key, value)) {
      (void)SetField(kStandinStatisticsFields, &p.statistics, key, value);
    }
    return;
  }
  if (std::strcmp(key, "name_status") == 0) {
    a.name_status = Number(value);
  } else if (std::strcmp(key, "handle") == 0) {
    a.handle_set = true;
    a.handle = Number(value);
  } else if (std::strcmp(key, "attributes_status") == 0) {
    a.attributes_status = Number(value);
  } else if (std::strcmp(key, "ext_status") == 0) {
    a.ext_status = Number(value);
  } else if (std::strcmp(key, "ext_subsystem") == 0) {
    a.ext_subsystem = Number(value);
  } else if (std::strcmp(key, "ext_bus") == 0) {
    a.ext_bus = static_cast<HBA_UINT8>(Number(value));
  } else if (std::strcmp(key, "ext_function") == 0) {
    a.ext_function = static_cast<HBA_UINT8>(Number(value));
  } else if (std::strcmp(key, "ext_domain") == 0) {
    a.ext_domain = static_cast<HBA_UINT8>(Number(value));
  } else if (std::strcmp(key, "ext_write_size") == 0) {
    a.ext_write_size = Number(value);
  } else if (std::strcmp(key, "name_overrun") == 0) {
    a.name_overrun = Number(value) != 0;
  } else if (std::strcmp(key, "unlisted_ports_read") == 0) {
    a.unlisted_ports_read = Number(value) != 0;
  } else if (std::strcmp(key, "ext_NodeWWN") == 0) {
    a.ext_wwn_set = true;
    ReadBytes(value, a.ext_wwn.wwn, sizeof a.ext_wwn.wwn);
  } else {
    (void)SetField(kStandinAdapterFields, &a.attributes, key, value);
  }
}

void ReadScenario() {
  std::memset(&g_scenario, 0, sizeof g_scenario);
  g_scenario.version = 1;
  char path[sizeof g_self + 16];
  std::snprintf(path, sizeof path, "%s%s", g_self, kStandinScenarioSuffix);
  FILE* file = std::fopen(path, "re");
  if (file == nullptr) return;
  Adapter* adapter = nullptr;
  Port* port = nullptr;
  char line[8192];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (char* newline = std::strchr(line, '\n')) *newline = '\0';
    if (line[0] == '#' || line[0] == '\0') continue;
    ApplyLine(line, &adapter, &port);
  }
  std::fclose(file);
}

// ---- Entry points ---------------------------------------------------------

// Writes the scenario's spill past the end of a caller's `record`.
template <typename Record>
void Spill(Record* record) {
  std::memset(record + 1, 0xEE, g_scenario.spill);
}

HBA_UINT32 AdapterCount() {
  return g_scenario.count_set ? g_scenario.count
                              : static_cast<HBA_UINT32>(g_scenario.adapter_count);
}

HBA_UINT32 HandleOf(int index) {
  const Adapter& a = g_scenario.adapters[index];
  return a.handle_set ? a.handle : static_cast<HBA_UINT32>(index + 1);
}

// The adapter the common library means by `handle` (it passes the low 16
// bits of what OpenAdapter returned); null when none.
Adapter* ByHandle(HBA_HANDLE handle) {
  for (int i = 0; i < g_scenario.adapter_count; ++i) {
    const HBA_UINT32 own = HandleOf(i);
    if (own != 0 && (own & 0xFFFF) == (handle & 0xFFFF)) return &g_scenario.adapters[i];
  }
  return nullptr;
}

HBA_UINT32 GetVersion() {
  Trace("GetVersion");
  return g_scenario.version;
}

HBA_STATUS LoadLibrary() {
  ReadScenario();
  Trace("LoadLibrary");
  return g_scenario.load_status;
}

HBA_STATUS FreeLibrary() {
  Trace("FreeLibrary");
  return HBA_STATUS_OK;
}

HBA_UINT32 GetNumberOfAdapters() {
  Trace("GetNumberOfAdapters");
  return AdapterCount();
}

HBA_STATUS GetAdapterName(HBA_UINT32 index, char* name) {
  Trace("GetAdapterName %u", index);
  if (index >= static_cast<HBA_UINT32>(g_scenario.adapter_count)) {
    std::snprintf(name, kVendorNameSize, "adapter%u", index);
    return HBA_STATUS_OK;
  }
  const Adapter& a = g_scenario.adapters[index];
  if (a.name_status != HBA_STATUS_OK) return a.name_status;
  if (a.name_overrun) {
    // The whole name and its NUL, past the 256 bytes of the contract.
    std::memcpy(name, a.name, a.name_length);
    name[a.name_length] = '\0';
    return HBA_STATUS_OK;
  }
  const size_t length = a.name_length < kVendorNameSize ? a.name_length : kVendorNameSize;
  std::memcpy(name, a.name, length);
  if (length < kVendorNameSize) name[length] = '\0';
  return HBA_STATUS_OK;
}

HBA_HANDLE OpenAdapter(char* name) {
  char shown[1024];
  TraceText(shown, sizeof shown, name, std::strlen(name));
  Trace("OpenAdapter %s", shown);
  const size_t length = std::strlen(name);
  for (int i = 0; i < g_scenario.adapter_count; ++i) {
    const Adapter& a = g_scenario.adapters[i];
    if (a.name_length == length && std::memcmp(a.name, name, length) == 0) return HandleOf(i);
  }
  return 0;
}

void CloseAdapter(HBA_HANDLE handle) { Trace("CloseAdapter 0x%x", handle); }

HBA_STATUS GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes) {
  Trace("GetAdapterAttributes 0x%x", handle);
  const Adapter* a = ByHandle(handle);
  if (a == nullptr) return HBA_STATUS_ERROR_INVALID_HANDLE;
  if (a->attributes_status != HBA_STATUS_OK) return a->attributes_status;
  std::memcpy(attributes, &a->attributes, sizeof *attributes);
  Spill(attributes);
  return HBA_STATUS_OK;
}

HBA_STATUS GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                    HBA_PORTATTRIBUTES* attributes) {
  Trace("GetAdapterPortAttributes 0x%x %u", handle, portIndex);
  const Adapter* a = ByHandle(handle);
  if (a == nullptr) return HBA_STATUS_ERROR_INVALID_HANDLE;
  if (portIndex >= static_cast<HBA_UINT32>(a->port_count)) {
    if (!a->unlisted_ports_read) return HBA_STATUS_ERROR;
    std::memset(attributes, 0, sizeof *attributes);
    Spill(attributes);
    return HBA_STATUS_OK;
  }
  const Port& p = a->ports[portIndex];
  if (p.attributes_status != HBA_STATUS_OK) return p.attributes_status;
  std::memcpy(attributes, &p.attributes, sizeof *attributes);
  Spill(attributes);
  return HBA_STATUS_OK;
}

HBA_STATUS GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex,
                             HBA_PORTSTATISTICS* statistics) {
  Trace("GetPortStatistics 0x%x %u", handle, portIndex);
  const Adapter* a = ByHandle(handle);
  if (a == nullptr) return HBA_STATUS_ERROR_INVALID_HANDLE;
  if (portIndex >= static_cast<HBA_UINT32>(a->port_count)) {
    if (!a->unlisted_ports_read) return HBA_STATUS_ERROR;
    std::memset(statistics, 0, sizeof *statistics);
    Spill(statistics);
    return HBA_STATUS_OK;
  }
  const Port& p = a->ports[portIndex];
  if (p.statistics_status != HBA_STATUS_OK) return p.statistics_status;
  std::memcpy(statistics, &p.statistics, sizeof *statistics);
  Spill(statistics);
  return HBA_STATUS_OK;
}

HBA_STATUS PassThrough(Entry entry, HBA_HANDLE handle) {
  Trace("%s 0x%x", kEntryNames[entry], handle);
  return g_scenario.passthru_status;
}

HBA_STATUS GetDiscoveredPortAttributes(HBA_HANDLE h, HBA_UINT32, HBA_UINT32, HBA_PORTATTRIBUTES*) {
  return PassThrough(kGetDiscoveredPortAttributes, h);
}
HBA_STATUS GetPortAttributesByWWN(HBA_HANDLE h, HBA_WWN, HBA_PORTATTRIBUTES*) {
  return PassThrough(kGetPortAttributesByWWN, h);
}
HBA_STATUS SendCTPassThru(HBA_HANDLE h, void*, HBA_UINT32, void*, HBA_UINT32) {
  return PassThrough(kSendCTPassThru, h);
}
void RefreshInformation(HBA_HANDLE h) { (void)PassThrough(kRefreshInformation, h); }
void ResetStatistics(HBA_HANDLE h, HBA_UINT32) { (void)PassThrough(kResetStatistics, h); }
HBA_STATUS GetFcpTargetMapping(HBA_HANDLE h, HBA_FCPTARGETMAPPING*) {
  return PassThrough(kGetFcpTargetMapping, h);
}
HBA_STATUS GetFcpPersistentBinding(HBA_HANDLE h, HBA_FCPBINDING*) {
  return PassThrough(kGetFcpPersistentBinding, h);
}
HBA_STATUS GetEventBuffer(HBA_HANDLE h, HBA_EVENTINFO*, HBA_UINT32*) {
  return PassThrough(kGetEventBuffer, h);
}
HBA_STATUS SetRNIDMgmtInfo(HBA_HANDLE h, HBA_MGMTINFO*) { return PassThrough(kSetRNIDMgmtInfo, h); }
HBA_STATUS GetRNIDMgmtInfo(HBA_HANDLE h, HBA_MGMTINFO*) { return PassThrough(kGetRNIDMgmtInfo, h); }
HBA_STATUS SendRNID(HBA_HANDLE h, HBA_WWN, HBA_UINT32, void*, HBA_UINT32*) {
  return PassThrough(kSendRNID, h);
}
HBA_STATUS ScsiInquiry(HBA_HANDLE h, HBA_WWN, HBA_UINT64, HBA_UINT8, HBA_UINT32, void*, HBA_UINT32,
                       void*, HBA_UINT32) {
  return PassThrough(kScsiInquiry, h);
}
HBA_STATUS ReportLUNs(HBA_HANDLE h, HBA_WWN, void*, HBA_UINT32, void*, HBA_UINT32) {
  return PassThrough(kReportLUNs, h);
}
HBA_STATUS ReadCapacity(HBA_HANDLE h, HBA_WWN, HBA_UINT64, void*, HBA_UINT32, void*, HBA_UINT32) {
  return PassThrough(kReadCapacity, h);
}

__attribute__((constructor)) void OnLoad() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&OnLoad), &info) != 0 && info.dli_fname != nullptr) {
    std::snprintf(g_self, sizeof g_self, "%s", info.dli_fname);
    const char* slash = std::strrchr(g_self, '/');
    g_tag = slash != nullptr ? slash + 1 : g_self;
  }
  Trace("loaded");
}

__attribute__((destructor)) void OnUnload() { Trace("unloaded"); }

}  // namespace

STANDIN_EXPORT HBA_STATUS HBA_RegisterLibrary(HBA_ENTRYPOINTS* entries) {
  ReadScenario();
  Trace("HBA_RegisterLibrary");
  const bool* missing = g_scenario.missing;
#define STANDIN_SET(entry, member, function) \
  if (!missing[entry]) entries->member = function
  STANDIN_SET(kGetVersion, GetVersionHandler, GetVersion);
  STANDIN_SET(kLoadLibrary, LoadLibraryHandler, LoadLibrary);
  STANDIN_SET(kFreeLibrary, FreeLibraryHandler, FreeLibrary);
  STANDIN_SET(kGetNumberOfAdapters, GetNumberOfAdaptersHandler, GetNumberOfAdapters);
  STANDIN_SET(kGetAdapterName, GetAdapterNameHandler, GetAdapterName);
  STANDIN_SET(kOpenAdapter, OpenAdapterHandler, OpenAdapter);
  STANDIN_SET(kCloseAdapter, CloseAdapterHandler, CloseAdapter);
  STANDIN_SET(kGetAdapterAttributes, GetAdapterAttributesHandler, GetAdapterAttributes);
  STANDIN_SET(kGetAdapterPortAttributes, GetAdapterPortAttributesHandler, GetAdapterPortAttributes);
  STANDIN_SET(kGetPortStatistics, GetPortStatisticsHandler, GetPortStatistics);
  STANDIN_SET(kGetDiscoveredPortAttributes, GetDiscoveredPortAttributesHandler,
              GetDiscoveredPortAttributes);
  STANDIN_SET(kGetPortAttributesByWWN, GetPortAttributesByWWNHandler, GetPortAttributesByWWN);
  STANDIN_SET(kSendCTPassThru, SendCTPassThruHandler, SendCTPassThru);
  STANDIN_SET(kRefreshInformation, RefreshInformationHandler, RefreshInformation);
  STANDIN_SET(kResetStatistics, ResetStatisticsHandler, ResetStatistics);
  STANDIN_SET(kGetFcpTargetMapping, GetFcpTargetMappingHandler, GetFcpTargetMapping);
  STANDIN_SET(kGetFcpPersistentBinding, GetFcpPersistentBindingHandler, GetFcpPersistentBinding);
  STANDIN_SET(kGetEventBuffer, GetEventBufferHandler, GetEventBuffer);
  STANDIN_SET(kSetRNIDMgmtInfo, SetRNIDMgmtInfoHandler, SetRNIDMgmtInfo);
  STANDIN_SET(kGetRNIDMgmtInfo, GetRNIDMgmtInfoHandler, GetRNIDMgmtInfo);
  STANDIN_SET(kSendRNID, SendRNIDHandler, SendRNID);
  STANDIN_SET(kScsiInquiry, ScsiInquiryHandler, ScsiInquiry);
  STANDIN_SET(kReportLUNs, ReportLUNsHandler, ReportLUNs);
  STANDIN_SET(kReadCapacity, ReadCapacityHandler, ReadCapacity);
#undef STANDIN_SET
  Spill(entries);
  return g_scenario.register_status;
}

#ifdef ZRN_STANDIN_EXTENSION
// The vendor extension's attribute read: an HBA_ADAPTERATTRIBUTES, then the
// subsystem-id word at 2192 and the bus, function and domain bytes.
STANDIN_EXPORT int ZRNFC_GetAdapterAttributes2(uint32_t handle, void* record) {
  Trace("ZRNFC_GetAdapterAttributes2 0x%x", handle);
  const Adapter* a = ByHandle(handle);
  if (a == nullptr) return static_cast<int>(HBA_STATUS_ERROR_INVALID_HANDLE);
  if (a->ext_status != 0) return static_cast<int>(a->ext_status);
  unsigned char* bytes = static_cast<unsigned char*>(record);
  const size_t size = a->ext_write_size > kExtRecordSize ? a->ext_write_size : kExtRecordSize;
  std::memset(bytes + kExtRecordSize, 0xEE, size - kExtRecordSize);
  std::memcpy(bytes, &a->attributes, sizeof a->attributes);
  if (a->ext_wwn_set) {
    std::memcpy(bytes + offsetof(HBA_ADAPTERATTRIBUTES, NodeWWN), a->ext_wwn.wwn, 8);
  }
  std::memcpy(bytes + 2192, &a->ext_subsystem, sizeof a->ext_subsystem);
  bytes[2196] = a->ext_bus;
  bytes[2197] = a->ext_function;
  bytes[2198] = a->ext_domain;
  return 0;
}
#endif
