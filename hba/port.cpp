#include "hba/port.h"

#include <cstring>

#include "hba/field_text.h"
#include "hba/wwn_text.h"

namespace {

// The standard's value for a counter that the vendor library does not supply.
constexpr int64_t kNotSupplied = -1;

void TakeCounter(int64_t value, int64_t* counter) {
  if (value != kNotSupplied) *counter = value;
}

}  // namespace

void FcHbaPort::SetAttributes(const HBA_PORTATTRIBUTES& attributes, uint32_t portIndex) {
  std::memcpy(PortWWN, attributes.PortWWN.wwn, sizeof PortWWN);
  std::memcpy(FabricName, attributes.FabricName.wwn, sizeof FabricName);
  PortFcId = attributes.PortFcId;
  PortType = attributes.PortType;
  PortState = attributes.PortState;
  PortSymbolicName = FieldText(attributes.PortSymbolicName);
  OSDeviceName = FieldText(attributes.OSDeviceName);
  PortSupportedSpeed = attributes.PortSupportedSpeed;
  PortSpeed = attributes.PortSpeed;
  PortMaxFrameSize = attributes.PortMaxFrameSize;
  std::memcpy(PortActiveFc4Types, attributes.PortActiveFc4Types.bits, sizeof PortActiveFc4Types);
  std::memcpy(PortSupportedFc4Types, attributes.PortSupportedFc4Types.bits,
              sizeof PortSupportedFc4Types);
  m_portIndex = portIndex;
}

void FcHbaPort::SetStatistics(const HBA_PORTSTATISTICS& statistics) {
  TakeCounter(statistics.SecondsSinceLastReset, &SecondsSinceLastReset);
  TakeCounter(statistics.TxFrames, &TxFrames);
  TakeCounter(statistics.TxWords, &TxWords);
  TakeCounter(statistics.RxFrames, &RxFrames);
  TakeCounter(statistics.RxWords, &RxWords);
  TakeCounter(statistics.LIPCount, &LIPCount);
  TakeCounter(statistics.NOSCount, &NOSCount);
  TakeCounter(statistics.ErrorFrames, &ErrorFrames);
  TakeCounter(statistics.DumpedFrames, &DumpedFrames);
  TakeCounter(statistics.LinkFailureCount, &LinkFailureCount);
  TakeCounter(statistics.LossOfSyncCount, &LossOfSyncCount);
  TakeCounter(statistics.LossOfSignalCount, &LossOfSignalCount);
  TakeCounter(statistics.PrimitiveSeqProtocolErrCount, &PrimitiveSeqProtocolErrCount);
  TakeCounter(statistics.InvalidTxWordCount, &InvalidTxWordCount);
  TakeCounter(statistics.InvalidCRCCount, &InvalidCRCCount);
}

void FcHbaPort::FillSample(uint32_t portIndex) {
  std::memset(PortWWN, 0xFA, sizeof PortWWN);
  std::memset(FabricName, 0xFB, sizeof FabricName);
  PortFcId = 99;
  PortType = 5;
  PortState = 2;
  PortSymbolicName = "ACME FC Port";
  OSDeviceName = "ACME OS Device";
  PortSupportedSpeed = 4;
  PortSpeed = 4;
  PortMaxFrameSize = 1024;
  m_portIndex = portIndex;
  int64_t* const counters[] = {&SecondsSinceLastReset,
                               &TxFrames,
                               &TxWords,
                               &RxFrames,
                               &RxWords,
                               &LIPCount,
                               &NOSCount,
                               &ErrorFrames,
                               &DumpedFrames,
                               &LinkFailureCount,
                               &LossOfSyncCount,
                               &LossOfSignalCount,
                               &PrimitiveSeqProtocolErrCount,
                               &InvalidTxWordCount,
                               &InvalidCRCCount};
  int64_t value = 1;
  for (int64_t* counter : counters) *counter = value++;
}

std::string FcHbaPort::GetPortWWNText() const { return WwnText(PortWWN); }

std::string FcHbaPort::GetFabricNameText() const { return WwnText(FabricName); }

std::string FcHbaPort::SpeedText(uint32_t speedMask) {
  // Tested in this order: the first bit found set names the speed.
  static const struct {
    uint32_t bit;
    const char* text;
  } kSpeeds[] = {{0x8000, "Not Negotiated"},
                 {0x20, "16 GB"},
                 {0x4, "10 GB"},
                 {0x10, "8 GB"},
                 {0x8, "4 GB"},
                 {0x2, "2 GB"},
                 {0x1, "1 GB"}};
  for (const auto& speed : kSpeeds) {
    if (speedMask & speed.bit) return speed.text;
  }
  return "Unknown";
}

std::string FcHbaPort::StateText() const {
  switch (PortState) {
    case 2:
      return "Online";
    case 3:
      return "Offline";
    case 4:
      return "Bypassed";
    case 5:
      return "Diagnostics Mode";
    case 6:
      return "Link Down";
    case 7:
      return "Error";
    case 8:
      return "Loopback";
    default:
      return "Unknown";
  }
}

std::string FcHbaPort::TypeText() const {
  switch (PortType) {
    case 2:
      return "Other";
    case 3:
      return "Not Present";
    case 5:
      return "Fabric";
    case 6:
      return "Public Loop";
    case 7:
      return "FL Port";
    case 8:
      return "Fabric Port";
    case 9:
      return "Fabric expansion port";
    case 10:
      return "Generic Fabric Port";
    case 20:
      return "Private Loop";
    case 21:
      return "Point to Point";
    default:
      return "Unknown";
  }
}
