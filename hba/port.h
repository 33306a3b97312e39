// One port of a Fibre Channel adapter: the values of the standard's port
// attribute and port statistics records that the program keeps, with getters
// and text forms.
//
// A plain value holder: it calls no library and is copied member by member
// (the adapter's ports list holds copies). The port attribute fields NodeWWN,
// PortSupportedClassofService and NumberofDiscoveredPorts are not kept.
#ifndef ZRN_HBA_PORT_H_
#define ZRN_HBA_PORT_H_

#include <cstdint>
#include <string>

#include "hba/hba_api.h"

class FcHbaPort {
 public:
  // Zero WWNs, numbers and counters, type and state 1, "Undefined" strings.
  FcHbaPort() = default;
  virtual ~FcHbaPort() = default;
  FcHbaPort(const FcHbaPort&) = default;
  FcHbaPort& operator=(const FcHbaPort&) = default;

  // Takes the kept attribute fields from `attributes` (strings bounded by
  // their fields, a field without a NUL included) and remembers `portIndex`.
  void SetAttributes(const HBA_PORTATTRIBUTES& attributes, uint32_t portIndex);
  // Takes each of the fifteen counters unless it reads -1 (a counter the
  // vendor does not supply); such a counter keeps the port's own value.
  void SetStatistics(const HBA_PORTSTATISTICS& statistics);
  // Fixed sample values: WWN bytes 0xFA, fabric 0xFB, counters 1 to 15.
  void FillSample(uint32_t portIndex);

  std::string GetPortWWNText() const;
  std::string GetFabricNameText() const;
  // The first speed bit found set, tested from "Not Negotiated" down to
  // "1 GB"; "Unknown" when none is.
  static std::string SpeedText(uint32_t speedMask);
  std::string StateText() const;  // by PortState; "Unknown" outside the table
  std::string TypeText() const;   // by PortType; "Unknown" outside the table

  const uint8_t* GetPortWWN() const { return PortWWN; }
  uint32_t GetPortFcId() const { return PortFcId; }
  uint32_t GetPortType() const { return PortType; }
  uint32_t GetPortState() const { return PortState; }
  std::string GetPortSymbolicName() const { return PortSymbolicName; }
  std::string GetOSDeviceName() const { return OSDeviceName; }
  uint32_t GetPortSupportedSpeed() const { return PortSupportedSpeed; }
  uint32_t GetPortSpeed() const { return PortSpeed; }
  uint32_t GetPortMaxFrameSize() const { return PortMaxFrameSize; }
  const uint8_t* GetFabricName() const { return FabricName; }
  uint32_t GetPortIndex() const { return m_portIndex; }
  int64_t GetSecondsSinceLastReset() const { return SecondsSinceLastReset; }
  int64_t GetTxFrames() const { return TxFrames; }
  int64_t GetTxWords() const { return TxWords; }
  int64_t GetRxFrames() const { return RxFrames; }
  int64_t GetRxWords() const { return RxWords; }
  int64_t GetLIPCount() const { return LIPCount; }
  int64_t GetNOSCount() const { return NOSCount; }
  int64_t GetErrorFrames() const { return ErrorFrames; }
  int64_t GetDumpedFrames() const { return DumpedFrames; }
  int64_t GetLinkFailureCount() const { return LinkFailureCount; }
  int64_t GetLossOfSyncCount() const { return LossOfSyncCount; }
  int64_t GetLossOfSignalCount() const { return LossOfSignalCount; }
  int64_t GetPrimitiveSeqProtocolErrCount() const { return PrimitiveSeqProtocolErrCount; }
  int64_t GetInvalidTxWordCount() const { return InvalidTxWordCount; }
  int64_t GetInvalidCRCCount() const { return InvalidCRCCount; }

 private:
  uint8_t PortWWN[8] = {};
  uint32_t PortFcId = 0;
  uint32_t PortType = 1;
  uint32_t PortState = 1;
  std::string PortSymbolicName = "Undefined";
  std::string OSDeviceName = "Undefined";
  uint32_t PortSupportedSpeed = 0;
  uint32_t PortSpeed = 0;
  uint32_t PortMaxFrameSize = 0;
  uint8_t FabricName[8] = {};
  uint32_t m_portIndex = 0;
  uint8_t PortActiveFc4Types[32] = {};
  uint8_t PortSupportedFc4Types[32] = {};
  int64_t SecondsSinceLastReset = 0;
  int64_t TxFrames = 0;
  int64_t TxWords = 0;
  int64_t RxFrames = 0;
  int64_t RxWords = 0;
  int64_t LIPCount = 0;
  int64_t NOSCount = 0;
  int64_t ErrorFrames = 0;
  int64_t DumpedFrames = 0;
  int64_t LinkFailureCount = 0;
  int64_t LossOfSyncCount = 0;
  int64_t LossOfSignalCount = 0;
  int64_t PrimitiveSeqProtocolErrCount = 0;
  int64_t InvalidTxWordCount = 0;
  int64_t InvalidCRCCount = 0;
};

#endif  // ZRN_HBA_PORT_H_
