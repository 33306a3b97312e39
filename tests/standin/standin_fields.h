// The record fields a stand-in scenario file can set, by the names of the
// standard's record members: shared by the stand-in library that reads the
// file and the helper that writes it, so the two always agree.
#ifndef ZRN_TESTS_STANDIN_STANDIN_FIELDS_H_
#define ZRN_TESTS_STANDIN_STANDIN_FIELDS_H_

#include <cstddef>

#include "hba/hba_api.h"

struct StandinField {
  enum Kind { kText, kU32, kI64, kBytes };
  const char* key;
  Kind kind;
  size_t offset;
  size_t size;
};

#define ZRN_STANDIN_FIELD(record, field, kind) \
  StandinField { #field, StandinField::kind, offsetof(record, field), sizeof(record::field) }

inline constexpr StandinField kStandinAdapterFields[] = {
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, Manufacturer, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, SerialNumber, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, Model, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, ModelDescription, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, NodeWWN, kBytes),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, NodeSymbolicName, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, HardwareVersion, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, DriverVersion, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, OptionROMVersion, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, FirmwareVersion, kText),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, VendorSpecificID, kU32),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, NumberOfPorts, kU32),
    ZRN_STANDIN_FIELD(HBA_ADAPTERATTRIBUTES, DriverName, kText),
};

inline constexpr StandinField kStandinPortFields[] = {
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, NodeWWN, kBytes),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortWWN, kBytes),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortFcId, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortType, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortState, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortSupportedClassofService, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortSupportedFc4Types, kBytes),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortActiveFc4Types, kBytes),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortSymbolicName, kText),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, OSDeviceName, kText),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortSupportedSpeed, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortSpeed, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, PortMaxFrameSize, kU32),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, FabricName, kBytes),
    ZRN_STANDIN_FIELD(HBA_PORTATTRIBUTES, NumberofDiscoveredPorts, kU32),
};

inline constexpr StandinField kStandinStatisticsFields[] = {
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, SecondsSinceLastReset, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, TxFrames, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, TxWords, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, RxFrames, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, RxWords, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, LIPCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, NOSCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, ErrorFrames, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, DumpedFrames, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, LinkFailureCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, LossOfSyncCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, LossOfSignalCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, PrimitiveSeqProtocolErrCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, InvalidTxWordCount, kI64),
    ZRN_STANDIN_FIELD(HBA_PORTSTATISTICS, InvalidCRCCount, kI64),
};

#undef ZRN_STANDIN_FIELD

#endif  // ZRN_TESTS_STANDIN_STANDIN_FIELDS_H_
