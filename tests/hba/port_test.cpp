// The port's copies from the standard records and its text forms.
#include "hba/port.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hba/wwn_text.h"

namespace {

TEST(WwnText, UpperCaseUnsignedPairs) {
  const uint8_t node[8] = {0x20, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  EXPECT_EQ(WwnText(node), "20:00:00:11:22:33:44:55");
  const uint8_t high[8] = {0xFA, 0xFB, 0x80, 0xff, 0x0a, 0xbc, 0x00, 0x01};
  EXPECT_EQ(WwnText(high), "FA:FB:80:FF:0A:BC:00:01");
}

TEST(PortText, SpeedStateAndTypeTables) {
  const struct {
    uint32_t mask;
    const char* text;
  } speeds[] = {{0x8001, "Not Negotiated"},
                {0x14, "10 GB"},
                {0x30, "16 GB"},
                {0x18, "8 GB"},
                {0x8, "4 GB"},
                {0x3, "2 GB"},
                {0x1, "1 GB"},
                {0, "Unknown"},
                {0x40, "Unknown"}};
  for (const auto& s : speeds) {
    EXPECT_EQ(FcHbaPort::SpeedText(s.mask), s.text) << std::hex << s.mask;
  }

  const struct {
    uint32_t value;
    const char* state;
    const char* type;
  } rows[] = {{1, "Unknown", "Unknown"},
              {2, "Online", "Other"},
              {3, "Offline", "Not Present"},
              {4, "Bypassed", "Unknown"},
              {5, "Diagnostics Mode", "Fabric"},
              {6, "Link Down", "Public Loop"},
              {7, "Error", "FL Port"},
              {8, "Loopback", "Fabric Port"},
              {9, "Unknown", "Fabric expansion port"},
              {10, "Unknown", "Generic Fabric Port"},
              {20, "Unknown", "Private Loop"},
              {21, "Unknown", "Point to Point"},
              {22, "Unknown", "Unknown"}};
  for (const auto& row : rows) {
    HBA_PORTATTRIBUTES a;
    std::memset(&a, 0, sizeof a);
    a.PortState = row.value;
    a.PortType = row.value;
    FcHbaPort port;
    port.SetAttributes(a, 0);
    EXPECT_EQ(port.StateText(), row.state) << row.value;
    EXPECT_EQ(port.TypeText(), row.type) << row.value;
  }
}

TEST(Port, StartValues) {
  FcHbaPort port;
  EXPECT_EQ(port.GetPortType(), 1u);
  EXPECT_EQ(port.GetPortState(), 1u);
  EXPECT_EQ(port.GetPortSymbolicName(), "Undefined");
  EXPECT_EQ(port.GetOSDeviceName(), "Undefined");
  EXPECT_EQ(port.GetPortWWNText(), "00:00:00:00:00:00:00:00");
  EXPECT_EQ(port.GetInvalidCRCCount(), 0);
}

TEST(Port, SetAttributesBoundsStringsFilledToTheLastByte) {
  struct {
    HBA_PORTATTRIBUTES a;
    char after[16];
  } raw;
  std::memset(&raw, 'Z', sizeof raw);
  std::memset(raw.a.PortSymbolicName, 'S', sizeof raw.a.PortSymbolicName);
  std::memset(raw.a.OSDeviceName, 'O', sizeof raw.a.OSDeviceName);
  const uint8_t wwn[8] = {0x21, 0, 0, 0x24, 0xff, 0x01, 0x02, 0x03};
  std::memcpy(raw.a.PortWWN.wwn, wwn, 8);
  raw.a.PortSpeed = 0x10;
  FcHbaPort port;
  port.SetAttributes(raw.a, 2);
  EXPECT_EQ(port.GetPortSymbolicName(), std::string(256, 'S'));
  EXPECT_EQ(port.GetOSDeviceName(), std::string(256, 'O'));
  EXPECT_EQ(port.GetPortWWNText(), "21:00:00:24:FF:01:02:03");
  EXPECT_EQ(port.GetFabricNameText(), "5A:5A:5A:5A:5A:5A:5A:5A");
  EXPECT_EQ(FcHbaPort::SpeedText(port.GetPortSpeed()), "8 GB");
  EXPECT_EQ(port.GetPortIndex(), 2u);
}

// A counter of -1 is one the vendor does not supply: the port keeps its own.
TEST(Port, StatisticsSkipUnsuppliedCounters) {
  FcHbaPort port;
  port.FillSample(7);
  HBA_PORTSTATISTICS s;
  std::memset(&s, 0, sizeof s);
  s.SecondsSinceLastReset = 1000;
  s.TxFrames = -1;
  s.InvalidCRCCount = -1;
  s.LIPCount = -2;
  port.SetStatistics(s);
  EXPECT_EQ(port.GetSecondsSinceLastReset(), 1000);
  EXPECT_EQ(port.GetTxFrames(), 2);          // kept from the sample
  EXPECT_EQ(port.GetTxWords(), 0);           // taken
  EXPECT_EQ(port.GetLIPCount(), -2);         // only -1 means "not supplied"
  EXPECT_EQ(port.GetInvalidCRCCount(), 15);  // kept from the sample

  FcHbaPort fresh;
  HBA_PORTSTATISTICS none;
  std::memset(&none, 0xff, sizeof none);  // every counter -1
  fresh.SetStatistics(none);
  EXPECT_EQ(fresh.GetRxWords(), 0);
}

TEST(Port, FillSample) {
  FcHbaPort port;
  port.FillSample(3);
  EXPECT_EQ(port.GetPortWWNText(), "FA:FA:FA:FA:FA:FA:FA:FA");
  EXPECT_EQ(port.GetFabricNameText(), "FB:FB:FB:FB:FB:FB:FB:FB");
  EXPECT_EQ(port.GetPortFcId(), 99u);
  EXPECT_EQ(port.TypeText(), "Fabric");
  EXPECT_EQ(port.StateText(), "Online");
  EXPECT_EQ(port.GetPortSymbolicName(), "ACME FC Port");
  EXPECT_EQ(port.GetOSDeviceName(), "ACME OS Device");
  EXPECT_EQ(FcHbaPort::SpeedText(port.GetPortSupportedSpeed()), "10 GB");
  EXPECT_EQ(port.GetPortMaxFrameSize(), 1024u);
  EXPECT_EQ(port.GetPortIndex(), 3u);
  const int64_t counters[] = {port.GetSecondsSinceLastReset(),
                              port.GetTxFrames(),
                              port.GetTxWords(),
                              port.GetRxFrames(),
                              port.GetRxWords(),
                              port.GetLIPCount(),
                              port.GetNOSCount(),
                              port.GetErrorFrames(),
                              port.GetDumpedFrames(),
                              port.GetLinkFailureCount(),
                              port.GetLossOfSyncCount(),
                              port.GetLossOfSignalCount(),
                              port.GetPrimitiveSeqProtocolErrCount(),
                              port.GetInvalidTxWordCount(),
                              port.GetInvalidCRCCount()};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(counters[i], i + 1);
}

}  // namespace
