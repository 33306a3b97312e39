// The stand-in FC-HBA vendor library: a throw-away shared library that
// behaves like an adapter vendor's FC-HBA library, as a scenario file says,
// and records every call it receives. Tests load it through "/etc/hba.conf"
// exactly as the program loads a real vendor library. It is test code only,
// built next to the tests and never installed.
//
// Two builds of one source (their paths reach tests as compile definitions
// of the zrn_standin target):
//   ZRN_STANDIN_LIBRARY      exports only "HBA_RegisterLibrary"
//   ZRN_STANDIN_EXT_LIBRARY  also exports "ZRNFC_GetAdapterAttributes2", so
//                            it is the vendor's management library as well
// A test copies the built file to a path of its own (each copy is a library
// of its own, and the path's basename names it in the trace) and writes the
// scenario next to it.
//
// Scenario file: the library's own path (found with dladdr) plus
// ".scenario": /usr/lib64/libfoo.so reads /usr/lib64/libfoo.so.scenario. It
// is read in HBA_RegisterLibrary and read again in the LoadLibrary entry, so
// a free and reload sees the file as it is then. No file: registration 0,
// GetVersion 1, LoadLibrary 0, no adapters. One "key value" per line (the
// value is the rest of the line; "\xHH" stands for any byte and "\\" for a
// backslash; numbers are decimal or 0x-hex; byte fields are hex digits, two
// per byte, ":" ignored). Lines starting with "#" are ignored.
//   register S          HBA_RegisterLibrary returns S (the table is filled all the same)
//   version N           GetVersion returns N
//   load S              LoadLibrary returns S
//   missing ENTRY       leaves ENTRY (e.g. "OpenAdapter") out of the table; repeatable
//   count N             GetNumberOfAdapters returns N (default: the adapter blocks);
//                       an index without a block is named "adapter<index>"
//   passthru_status S   what every entry without a record of its own returns
//   spill N             HBA_RegisterLibrary and every entry that fills a
//                       record write N bytes 0xEE past the caller's table or
//                       record, as a library built for larger ones would
//   adapter NAME        starts the next adapter block; its keys follow:
//     name_status S     GetAdapterName returns S and writes nothing when S != 0
//     name_overrun 1    GetAdapterName writes the whole name and its NUL,
//                       however far past the 256 bytes of its contract
//     handle H          OpenAdapter returns H (default: block index + 1); an
//                       adapter is found again by the low 16 bits of H
//     attributes_status S   GetAdapterAttributes returns S, writing nothing when S != 0
//     <field> VALUE     any HBA_ADAPTERATTRIBUTES field by its name (texts are
//                       copied up to the field's size: a value as long as the
//                       field fills it with no NUL; NodeWWN is 8 hex bytes)
//     ext_status S      ZRNFC_GetAdapterAttributes2 returns S, writing nothing when S != 0
//     ext_subsystem W   the subsystem-id word at offset 2192
//     ext_bus B, ext_function B, ext_domain B   the bytes at 2196, 2197, 2198
//     ext_NodeWWN X     the NodeWWN of the extension record (default: the adapter's)
//     ext_write_size N  bytes the extension writes in all (default 2199; the
//                       bytes past 2199 are 0xEE)
//     unlisted_ports_read 1   a port index without a port block reads as zero
//                       records with status 0 (otherwise it gives 1)
//     port              starts the adapter's next port; its keys follow:
//       attributes_status S, statistics_status S   what the two port entries return
//       <field> VALUE   any HBA_PORTATTRIBUTES or HBA_PORTSTATISTICS field
// Without name_overrun a name is written into 256 bytes: a name of 256 bytes
// or more fills them with no NUL. An unknown handle gives status 3; a port
// index without a block gives 1 unless unlisted_ports_read.
//
// Trace file kStandinTraceFile (its directory is created): every library
// appends one line per call, "<basename> <call>[ <arguments>]\n", e.g.
//   libA.so loaded                       (constructor, at dlopen)
//   libA.so HBA_RegisterLibrary
//   libA.so GetVersion
//   libA.so LoadLibrary
//   libA.so GetNumberOfAdapters
//   libA.so GetAdapterName 0
//   libA.so OpenAdapter QLogic QLE2562   (bytes outside 0x20-0x7e as \xHH)
//   libA.so GetAdapterAttributes 0x1     (vendor handles in hex)
//   libA.so GetAdapterPortAttributes 0x1 0
//   libA.so GetPortStatistics 0x1 0
//   libA.so CloseAdapter 0x1
//   libA.so ZRNFC_GetAdapterAttributes2 0x1
//   libA.so FreeLibrary
//   libA.so unloaded                     (destructor, when dlclose unmaps it)
// Pass-through entries trace as "<entry> 0x<handle>".
#ifndef ZRN_TESTS_STANDIN_FCHBA_STANDIN_H_
#define ZRN_TESTS_STANDIN_FCHBA_STANDIN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hba/hba_api.h"

constexpr char kStandinTraceFile[] = "/var/fchba_standin/trace";
constexpr char kStandinScenarioSuffix[] = ".scenario";

struct StandinPort {
  HBA_STATUS attributes_status = 0;
  HBA_STATUS statistics_status = 0;
  HBA_PORTATTRIBUTES attributes{};
  HBA_PORTSTATISTICS statistics{};
};

struct StandinAdapter {
  std::string name;
  HBA_STATUS name_status = 0;
  std::optional<HBA_UINT32> handle;  // default: block index + 1
  HBA_STATUS attributes_status = 0;
  HBA_ADAPTERATTRIBUTES attributes{};  // NumberOfPorts is what the library reports
  std::vector<StandinPort> ports;
  // The vendor extension (ZRN_STANDIN_EXT_LIBRARY only).
  int ext_status = 0;
  uint32_t ext_subsystem = 0;
  uint8_t ext_bus = 0;
  uint8_t ext_function = 0;
  uint8_t ext_domain = 0;
  std::optional<HBA_WWN> ext_NodeWWN;  // default: attributes.NodeWWN
  uint32_t ext_write_size = 0;         // 0: 2199
  bool name_overrun = false;
  bool unlisted_ports_read = false;
};

struct StandinLibrary {
  HBA_STATUS register_status = 0;
  HBA_UINT32 version = 1;
  HBA_STATUS load_status = 0;
  std::vector<std::string> missing;  // entry names, e.g. "GetPortStatistics"
  std::optional<HBA_UINT32> count;   // default: adapters.size()
  HBA_STATUS passthru_status = 0;
  uint32_t spill = 0;
  std::vector<StandinAdapter> adapters;
};

// The scenario file text for `library`.
std::string StandinScenario(const StandinLibrary& library);

// An adapter with plausible attributes and `ports` readable ports: node WWN
// 20:00:00:00:00:00:00:<id>, port WWNs 21:00:00:00:00:00:<port>:<id>,
// Manufacturer "Standin", Model "SA-<id>", versions "1.<id>".
StandinAdapter SampleStandinAdapter(const std::string& name, uint8_t id, unsigned ports = 1);

// Copies `text` into a fixed text field, bounded by the field.
template <size_t N>
void SetStandinText(char (&field)[N], const std::string& text) {
  for (size_t i = 0; i < N; ++i) field[i] = i < text.size() ? text[i] : '\0';
}

// The lines of a trace, without their newlines.
std::vector<std::string> SplitStandinTrace(const std::string& text);
// The lines of the trace file (empty when there is none).
std::vector<std::string> ReadStandinTrace(const std::string& path = kStandinTraceFile);

#endif  // ZRN_TESTS_STANDIN_FCHBA_STANDIN_H_
