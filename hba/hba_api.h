// The FC-HBA API, version 1, as this program uses it: the standard's record
// layouts and entry-point table (the contract with the vendor libraries that
// "/etc/hba.conf" lists) and the common-library functions that route every
// call to the vendor library owning the adapter.
//
// The records are laid out exactly as the vendor libraries fill them; the
// static assertions pin their sizes and the offsets the program reads. The
// common library keeps process-wide, unguarded tables (32 libraries, 64
// adapters) and is meant for the program's one thread. It prints nothing.
#ifndef ZRN_HBA_HBA_API_H_
#define ZRN_HBA_HBA_API_H_

#include <cstddef>
#include <cstdint>

typedef uint8_t HBA_UINT8;
typedef uint32_t HBA_UINT32;
typedef uint64_t HBA_UINT64;
typedef int64_t HBA_INT64;
typedef uint32_t HBA_STATUS;
// The common handle: the library's slot in bits 16 to 31, the vendor
// library's own handle in bits 0 to 15; 0 for none.
typedef uint32_t HBA_HANDLE;

constexpr HBA_STATUS HBA_STATUS_OK = 0;
constexpr HBA_STATUS HBA_STATUS_ERROR = 1;
constexpr HBA_STATUS HBA_STATUS_ERROR_INVALID_HANDLE = 3;
constexpr HBA_STATUS HBA_STATUS_ERROR_ILLEGAL_INDEX = 6;

// A world-wide name: 8 bytes, passed by value where an entry takes one.
struct HBA_WWN {
  HBA_UINT8 wwn[8];
};

struct HBA_FC4TYPES {
  HBA_UINT8 bits[32];
};

struct HBA_ADAPTERATTRIBUTES {
  char Manufacturer[64];
  char SerialNumber[64];
  char Model[256];
  char ModelDescription[256];
  HBA_WWN NodeWWN;
  char NodeSymbolicName[256];
  char HardwareVersion[256];
  char DriverVersion[256];
  char OptionROMVersion[256];
  char FirmwareVersion[256];
  HBA_UINT32 VendorSpecificID;
  HBA_UINT32 NumberOfPorts;
  char DriverName[256];
};

struct HBA_PORTATTRIBUTES {
  HBA_WWN NodeWWN;
  HBA_WWN PortWWN;
  HBA_UINT32 PortFcId;
  HBA_UINT32 PortType;
  HBA_UINT32 PortState;
  HBA_UINT32 PortSupportedClassofService;
  HBA_FC4TYPES PortSupportedFc4Types;
  HBA_FC4TYPES PortActiveFc4Types;
  char PortSymbolicName[256];
  char OSDeviceName[256];
  HBA_UINT32 PortSupportedSpeed;
  HBA_UINT32 PortSpeed;
  HBA_UINT32 PortMaxFrameSize;
  HBA_WWN FabricName;
  HBA_UINT32 NumberofDiscoveredPorts;
};

// A counter the vendor library does not supply reads -1.
struct HBA_PORTSTATISTICS {
  HBA_INT64 SecondsSinceLastReset;
  HBA_INT64 TxFrames;
  HBA_INT64 TxWords;
  HBA_INT64 RxFrames;
  HBA_INT64 RxWords;
  HBA_INT64 LIPCount;
  HBA_INT64 NOSCount;
  HBA_INT64 ErrorFrames;
  HBA_INT64 DumpedFrames;
  HBA_INT64 LinkFailureCount;
  HBA_INT64 LossOfSyncCount;
  HBA_INT64 LossOfSignalCount;
  HBA_INT64 PrimitiveSeqProtocolErrCount;
  HBA_INT64 InvalidTxWordCount;
  HBA_INT64 InvalidCRCCount;
};

static_assert(sizeof(HBA_ADAPTERATTRIBUTES) == 2192, "adapter attributes are 2192 bytes");
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, NodeWWN) == 640, "NodeWWN at 640");
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, VendorSpecificID) == 1928,
              "VendorSpecificID at 1928");
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, DriverName) == 1936, "DriverName at 1936");
static_assert(sizeof(HBA_PORTATTRIBUTES) == 632, "port attributes are 632 bytes");
static_assert(offsetof(HBA_PORTATTRIBUTES, PortSymbolicName) == 96, "PortSymbolicName at 96");
static_assert(offsetof(HBA_PORTATTRIBUTES, FabricName) == 620, "FabricName at 620");
static_assert(sizeof(HBA_PORTSTATISTICS) == 120, "port statistics are 120 bytes");

// Records of the entries that nothing in the program calls; only pointers
// to them pass through.
struct HBA_FCPTARGETMAPPING;
struct HBA_FCPBINDING;
struct HBA_EVENTINFO;
struct HBA_MGMTINFO;

// The table a vendor library's "HBA_RegisterLibrary" fills, in slot order.
// An entry the library does not provide stays null.
struct HBA_ENTRYPOINTS {
  HBA_UINT32 (*GetVersionHandler)();
  HBA_STATUS (*LoadLibraryHandler)();
  HBA_STATUS (*FreeLibraryHandler)();
  HBA_UINT32 (*GetNumberOfAdaptersHandler)();
  HBA_STATUS (*GetAdapterNameHandler)(HBA_UINT32 index, char* name);
  HBA_HANDLE (*OpenAdapterHandler)(char* name);
  void (*CloseAdapterHandler)(HBA_HANDLE handle);
  HBA_STATUS (*GetAdapterAttributesHandler)(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes);
  HBA_STATUS (*GetAdapterPortAttributesHandler)
  (HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_PORTATTRIBUTES* attributes);
  HBA_STATUS (*GetPortStatisticsHandler)
  (HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_PORTSTATISTICS* statistics);
  HBA_STATUS (*GetDiscoveredPortAttributesHandler)
  (HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_UINT32 discoveredPortIndex,
   HBA_PORTATTRIBUTES* attributes);
  HBA_STATUS (*GetPortAttributesByWWNHandler)
  (HBA_HANDLE handle, HBA_WWN portWWN, HBA_PORTATTRIBUTES* attributes);
  HBA_STATUS (*SendCTPassThruHandler)
  (HBA_HANDLE handle, void* request, HBA_UINT32 requestSize, void* response,
   HBA_UINT32 responseSize);
  void (*RefreshInformationHandler)(HBA_HANDLE handle);
  void (*ResetStatisticsHandler)(HBA_HANDLE handle, HBA_UINT32 portIndex);
  HBA_STATUS (*GetFcpTargetMappingHandler)(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping);
  HBA_STATUS (*GetFcpPersistentBindingHandler)(HBA_HANDLE handle, HBA_FCPBINDING* binding);
  HBA_STATUS (*GetEventBufferHandler)(HBA_HANDLE handle, HBA_EVENTINFO* buffer, HBA_UINT32* count);
  HBA_STATUS (*SetRNIDMgmtInfoHandler)(HBA_HANDLE handle, HBA_MGMTINFO* info);
  HBA_STATUS (*GetRNIDMgmtInfoHandler)(HBA_HANDLE handle, HBA_MGMTINFO* info);
  HBA_STATUS (*SendRNIDHandler)
  (HBA_HANDLE handle, HBA_WWN wwn, HBA_UINT32 wwnType, void* response, HBA_UINT32* responseSize);
  HBA_STATUS (*ScsiInquiryHandler)
  (HBA_HANDLE handle, HBA_WWN portWWN, HBA_UINT64 fcLUN, HBA_UINT8 evpd, HBA_UINT32 pageCode,
   void* response, HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);
  HBA_STATUS (*ReportLUNsHandler)
  (HBA_HANDLE handle, HBA_WWN portWWN, void* response, HBA_UINT32 responseSize, void* sense,
   HBA_UINT32 senseSize);
  HBA_STATUS (*ReadCapacityHandler)
  (HBA_HANDLE handle, HBA_WWN portWWN, HBA_UINT64 fcLUN, void* response, HBA_UINT32 responseSize,
   void* sense, HBA_UINT32 senseSize);
};

static_assert(sizeof(HBA_ENTRYPOINTS) == 24 * sizeof(void*), "24 entry points");

// What every vendor library exports: fills `entryPoints`, 0 on success.
extern "C" typedef HBA_STATUS (*HBA_RegisterLibraryFunc)(HBA_ENTRYPOINTS* entryPoints);

// ---- The common library -------------------------------------------------

// Reads "/etc/hba.conf" and loads the libraries it lists, one table slot per
// usable line from slot 0. 1 when the file cannot be opened or is not a
// regular file (nothing changes), otherwise 0 whatever happened to the
// individual libraries. Only its first kHbaConfMaxBytes are read.
int HBA_LoadLibrary();
// Calls FreeLibrary of every loaded library and closes it; the adapter table
// is kept. Always 0.
int HBA_FreeLibrary();
// Rebuilds the adapter table over the loaded libraries, in slot order and
// within a library in the vendor's order; returns the new adapter count.
HBA_UINT32 HBA_GetNumberOfAdapters();
// Copies the name of common adapter `index` into `name` (64 bytes or more):
// 0, or HBA_STATUS_ERROR_ILLEGAL_INDEX with the buffer untouched.
HBA_STATUS HBA_GetAdapterName(HBA_UINT32 index, char* name);
// The common handle of the first adapter named exactly `name`; 0 when it
// cannot be opened.
HBA_HANDLE HBA_OpenAdapter(const char* name);
void HBA_CloseAdapter(HBA_HANDLE handle);
HBA_STATUS HBA_GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes);
HBA_STATUS HBA_GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                        HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                 HBA_PORTSTATISTICS* statistics);
// The owning library's dynamic-library handle (null when it did not open)
// of common adapter `index`, with all 256 bytes of its path field copied
// into `path`; null and an empty path for an index outside the table.
void* GetAdapterLibrary(HBA_UINT32 index, char* path);
// Splits a common handle: HBA_STATUS_ERROR_INVALID_HANDLE for a slot of 32
// or more, HBA_STATUS_ERROR for a library that is not loaded, else 0 with
// the slot and the vendor handle.
HBA_STATUS DecodeHandle(HBA_HANDLE handle, int* libraryIndex, HBA_HANDLE* vendorHandle);

// Pass-throughs that nothing in the program calls: each routes to the entry
// of the same name and returns its status (0 when the entry is absent).
HBA_UINT32 HBA_GetVersion();  // 1
HBA_STATUS HBA_GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                           HBA_UINT32 discoveredPortIndex,
                                           HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN portWWN,
                                      HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_SendCTPassThru(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize,
                              void* response, HBA_UINT32 responseSize);
void HBA_RefreshInformation(HBA_HANDLE handle);
void HBA_ResetStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex);
HBA_STATUS HBA_GetFcpTargetMapping(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping);
HBA_STATUS HBA_GetFcpPersistentBinding(HBA_HANDLE handle, HBA_FCPBINDING* binding);
HBA_STATUS HBA_GetEventBuffer(HBA_HANDLE handle, HBA_EVENTINFO* buffer, HBA_UINT32* count);
HBA_STATUS HBA_SetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info);
HBA_STATUS HBA_GetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info);
HBA_STATUS HBA_SendRNID(HBA_HANDLE handle, HBA_WWN wwn, HBA_UINT32 wwnType, void* response,
                        HBA_UINT32* responseSize);
HBA_STATUS HBA_ScsiInquiry(HBA_HANDLE handle, HBA_WWN portWWN, HBA_UINT64 fcLUN, HBA_UINT8 evpd,
                           HBA_UINT32 pageCode, void* response, HBA_UINT32 responseSize,
                           void* sense, HBA_UINT32 senseSize);
HBA_STATUS HBA_ReportLUNs(HBA_HANDLE handle, HBA_WWN portWWN, void* response,
                          HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);
HBA_STATUS HBA_ReadCapacity(HBA_HANDLE handle, HBA_WWN portWWN, HBA_UINT64 fcLUN, void* response,
                            HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);

#endif  // ZRN_HBA_HBA_API_H_
