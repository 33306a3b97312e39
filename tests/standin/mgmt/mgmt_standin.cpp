// The stand-in management library; see mgmt_standin.h for its scenario and
// trace files.
#include "tests/standin/mgmt/mgmt_standin.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hba/vendor_extension.h"

#ifndef ZRN_MGMT_OMIT
#define ZRN_MGMT_OMIT 0
#endif

namespace {

constexpr int kMaxAdapters = 16;
constexpr int kMaxRecordBytes = 32768;

struct StandinAdapter {
  char name[128];
  uint8_t wwn[8];
  uint32_t subsystemIds;
  unsigned bus, function, domain;
  bool nameFail;
  bool openZero;
  int attrStatus;
};

constexpr int kMaxNamePad = 8192;

struct StandinConfig {
  int loadStatus = 0;
  bool countSet = false;
  int count = 0;
  int recordBytes = 2199;
  bool repeat = false;
  int namePad = 0;
  int adapters = 0;
  StandinAdapter adapter[kMaxAdapters];
};

void Trace(const char* format, ...) {
  Dl_info info;
  const char* self = "?";
  if (dladdr(reinterpret_cast<void*>(&Trace), &info) != 0 && info.dli_fname != nullptr) {
    self = info.dli_fname;
  }
  FILE* trace = std::fopen(ZRN_MGMT_STANDIN_TRACE, "a");
  if (trace == nullptr) return;
  std::fprintf(trace, "%s ", self);
  va_list args;
  va_start(args, format);
  std::vfprintf(trace, format, args);
  va_end(args);
  std::fputc('\n', trace);
  std::fclose(trace);
}

bool ParseWwn(const char* text, uint8_t* wwn) {
  if (std::strlen(text) != 16) return false;
  for (int i = 0; i < 8; ++i) {
    char pair[3] = {text[2 * i], text[2 * i + 1], '\0'};
    wwn[i] = static_cast<uint8_t>(std::strtoul(pair, nullptr, 16));
  }
  return true;
}

void ParseAdapter(char* rest, StandinConfig* config) {
  if (config->adapters >= kMaxAdapters) return;
  StandinAdapter& a = config->adapter[config->adapters];
  std::memset(&a, 0, sizeof a);
  char* save = nullptr;
  const char* fields[6];
  for (auto& field : fields) {
    field = strtok_r(rest, " \t\n", &save);
    rest = nullptr;
    if (field == nullptr) return;
  }
  std::snprintf(a.name, sizeof a.name, "%s", fields[0]);
  if (!ParseWwn(fields[1], a.wwn)) return;
  a.subsystemIds = static_cast<uint32_t>(std::strtoul(fields[2], nullptr, 16));
  a.bus = static_cast<unsigned>(std::strtoul(fields[3], nullptr, 16));
  a.function = static_cast<unsigned>(std::strtoul(fields[4], nullptr, 16));
  a.domain = static_cast<unsigned>(std::strtoul(fields[5], nullptr, 16));
  while (const char* flag = strtok_r(nullptr, " \t\n", &save)) {
    if (std::strcmp(flag, "name_fail") == 0) a.nameFail = true;
    if (std::strcmp(flag, "open_zero") == 0) a.openZero = true;
    if (std::strcmp(flag, "attr") == 0) {
      const char* value = strtok_r(nullptr, " \t\n", &save);
      if (value != nullptr) a.attrStatus = std::atoi(value);
    }
  }
  ++config->adapters;
}

void ReadConfig(StandinConfig* config) {
  FILE* file = std::fopen(ZRN_MGMT_STANDIN_CONF, "r");
  if (file == nullptr) return;
  char line[512];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    char key[32] = {};
    int used = 0;
    if (line[0] == '#' || std::sscanf(line, "%31s %n", key, &used) != 1) continue;
    char* rest = line + used;
    if (std::strcmp(key, "load") == 0) config->loadStatus = std::atoi(rest);
    if (std::strcmp(key, "count") == 0) {
      config->countSet = true;
      config->count = std::atoi(rest);
    }
    if (std::strcmp(key, "record_bytes") == 0) {
      const int bytes = std::atoi(rest);
      config->recordBytes = bytes < 2199 ? 2199 : bytes > kMaxRecordBytes ? kMaxRecordBytes : bytes;
    }
    if (std::strcmp(key, "adapter") == 0) ParseAdapter(rest, config);
    if (std::strcmp(key, "repeat") == 0) config->repeat = true;
    if (std::strcmp(key, "name_pad") == 0) {
      const int pad = std::atoi(rest);
      config->namePad = pad < 0 ? 0 : pad > kMaxNamePad ? kMaxNamePad : pad;
    }
  }
  std::fclose(file);
}

constexpr uint32_t kHandleBase = 0x100;

[[maybe_unused]] const StandinAdapter* ByHandle(const StandinConfig& config, uint32_t handle) {
  if (handle < kHandleBase) return nullptr;
  const uint32_t index = handle - kHandleBase;
  return index < static_cast<uint32_t>(config.adapters) ? &config.adapter[index] : nullptr;
}

__attribute__((constructor)) void OnLoad() { Trace("load"); }
__attribute__((destructor)) void OnUnload() { Trace("unload"); }

}  // namespace

extern "C" {

#if ZRN_MGMT_OMIT != 1
__attribute__((visibility("default"))) int ZRNFC_LoadLibrary() {
  StandinConfig config;
  ReadConfig(&config);
  Trace("ZRNFC_LoadLibrary %d", config.loadStatus);
  return config.loadStatus;
}
#endif

#if ZRN_MGMT_OMIT != 2
__attribute__((visibility("default"))) int ZRNFC_GetNumberOfAdapters() {
  StandinConfig config;
  ReadConfig(&config);
  const int count = config.countSet ? config.count : config.adapters;
  Trace("ZRNFC_GetNumberOfAdapters %d", count);
  return count;
}
#endif

#if ZRN_MGMT_OMIT != 3
__attribute__((visibility("default"))) int ZRNFC_GetAdapterName(uint32_t index, char* name) {
  StandinConfig config;
  ReadConfig(&config);
  Trace("ZRNFC_GetAdapterName %u", static_cast<unsigned>(index));
  if (index >= static_cast<uint32_t>(config.adapters)) {
    if (!config.repeat || config.adapters == 0) return 2;
    index %= static_cast<uint32_t>(config.adapters);
  }
  if (config.adapter[index].nameFail) return 1;
  if (config.namePad > 0) {
    // Past the 1024 bytes of the contract, as a careless library would.
    const size_t length = std::strlen(config.adapter[index].name);
    std::memcpy(name, config.adapter[index].name, length);
    std::memset(name + length, 'x', static_cast<size_t>(config.namePad));
    name[length + static_cast<size_t>(config.namePad)] = '\0';
    return 0;
  }
  // The caller's buffer is 1024 bytes: the extension's contract.
  std::snprintf(name, 1024, "%s", config.adapter[index].name);
  return 0;
}
#endif

#if ZRN_MGMT_OMIT != 4
__attribute__((visibility("default"))) uint32_t ZRNFC_OpenAdapter(char* name) {
  StandinConfig config;
  ReadConfig(&config);
  uint32_t handle = 0;
  for (int i = 0; i < config.adapters; ++i) {
    if (std::strcmp(config.adapter[i].name, name) == 0) {
      if (!config.adapter[i].openZero) handle = kHandleBase + static_cast<uint32_t>(i);
      break;
    }
  }
  Trace("ZRNFC_OpenAdapter %s 0x%x", name, static_cast<unsigned>(handle));
  return handle;
}
#endif

#if ZRN_MGMT_OMIT != 5
__attribute__((visibility("default"))) int ZRNFC_GetAdapterAttributes2(
    uint32_t handle, ExtendedAdapterAttributes* record) {
  StandinConfig config;
  ReadConfig(&config);
  Trace("ZRNFC_GetAdapterAttributes2 0x%x", static_cast<unsigned>(handle));
  const StandinAdapter* a = ByHandle(config, handle);
  if (a == nullptr) return 3;
  if (a->attrStatus != 0) return a->attrStatus;
  // Writes every byte it claims to, as a vendor's larger record would.
  std::memset(record, 0xA5, static_cast<size_t>(config.recordBytes));
  std::memcpy(record->attributes.NodeWWN.wwn, a->wwn, 8);
  record->subsystemIds = a->subsystemIds;
  record->pciBus = static_cast<uint8_t>(a->bus);
  record->pciFunction = static_cast<uint8_t>(a->function);
  record->pciDomain = static_cast<uint8_t>(a->domain);
  return 0;
}
#endif

#if ZRN_MGMT_OMIT != 6
__attribute__((visibility("default"))) void ZRNFC_CloseAdapter(uint32_t handle) {
  Trace("ZRNFC_CloseAdapter 0x%x", static_cast<unsigned>(handle));
}
#endif

#if ZRN_MGMT_OMIT != 7
__attribute__((visibility("default"))) int ZRNFC_FreeLibrary() {
  Trace("ZRNFC_FreeLibrary");
  return 0;
}
#endif

}  // extern "C"
