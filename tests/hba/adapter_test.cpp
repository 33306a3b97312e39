// FcHbaAdapter::Refresh through the common library against stand-in FC-HBA
// vendor libraries listed in the private machine's /etc/hba.conf: what an
// adapter keeps from each record, and what a failing step leaves.
#include "hba/adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/hba/hba_test_support.h"
#include "tests/standin/fchba_standin.h"

namespace {

using zrn_hba_test::FcHbaMachine;

class AdapterRefresh : public FcHbaMachine {};

int Count(const std::vector<std::string>& trace, const std::string& line) {
  return static_cast<int>(std::count(trace.begin(), trace.end(), line));
}

std::string Joined(const std::vector<std::string>& trace) {
  std::string text;
  for (const std::string& line : trace) text += line + "\n";
  return text;
}

TEST_F(AdapterRefresh, ReadsAttributesAndPorts) {
  StandinAdapter a = SampleStandinAdapter("qlogic-qle2562-0", 7, 2);
  SetStandinText(a.attributes.SerialNumber, "RFD1234  ~");
  SetStandinText(a.attributes.Manufacturer, "QLogic   Corp\xff");
  SetStandinText(a.attributes.Model, "QLE2562  ");  // taken as given
  SetStandinText(a.attributes.FirmwareVersion, "5.06.05 ");
  a.attributes.VendorSpecificID = 0x015d1077;
  a.ports[1].statistics.TxFrames = 12;
  a.ports[1].statistics.RxFrames = -1;
  InstallAdapters("/usr/lib64/liba.so", {a});
  HbaConf("a\t/usr/lib64/liba.so\n");
  LoadAndCount();

  FcHbaAdapter adapter;
  adapter.m_index = 0;
  EXPECT_EQ(adapter.Refresh(), 0);
  EXPECT_EQ(adapter.GetName(), "qlogic-qle2562-0");
  EXPECT_EQ(adapter.GetSerialNumber(), "RFD1234");
  EXPECT_EQ(adapter.GetManufacturer(), "QLogic Corp");
  EXPECT_EQ(adapter.GetModel(), "QLE2562  ");
  EXPECT_EQ(adapter.GetFirmwareVersion(), "5.06.05");
  EXPECT_EQ(adapter.GetDriverVersion(), "1.7");
  EXPECT_EQ(adapter.GetNodeWWNText(), "20:00:00:00:00:00:00:07");
  EXPECT_EQ(adapter.GetSubsystemIds(), 0x015d1077u);
  EXPECT_EQ(adapter.GetNumberOfPorts(), 2u);
  ASSERT_EQ(adapter.GetPorts().size(), 2u);
  EXPECT_EQ(adapter.GetPorts()[1].GetPortIndex(), 1u);
  EXPECT_EQ(adapter.GetPorts()[1].GetPortWWNText(), "21:00:00:00:00:00:01:07");
  EXPECT_EQ(adapter.GetPorts()[1].GetTxFrames(), 12);
  EXPECT_EQ(adapter.GetPorts()[1].GetRxFrames(), 0);  // -1: not supplied

  const auto trace = ReadStandinTrace();
  EXPECT_EQ(Count(trace, "liba.so OpenAdapter qlogic-qle2562-0"), 1);
  EXPECT_EQ(Count(trace, "liba.so CloseAdapter 0x1"), 1);
}

// A 300-byte name is cut to what the adapter table holds, and that name
// does not open the adapter; the adapter after it is read as ever. The
// library writes the name into the 256 bytes of its contract, or the whole
// name and its NUL past them.
TEST_F(AdapterRefresh, NameLongerThanTheTable) {
  for (const bool overrun : {false, true}) {
    SCOPED_TRACE(overrun ? "whole name written" : "256 bytes written");
    StandinAdapter longName = SampleStandinAdapter(std::string(300, 'n'), 1, 1);
    longName.name_overrun = overrun;
    InstallAdapters("/usr/lib64/liba.so", {longName, SampleStandinAdapter("after", 2, 1)});
    HbaConf("a\t/usr/lib64/liba.so\n");
    ASSERT_EQ(LoadAndCount(), 2u);
    FcHbaAdapter adapter;
    adapter.m_index = 0;
    EXPECT_EQ(adapter.Refresh(), 1);
    EXPECT_EQ(adapter.GetName(), std::string(63, 'n'));
    EXPECT_EQ(adapter.GetModel(), "Undefined");
    FcHbaAdapter next;
    next.m_index = 1;
    EXPECT_EQ(next.Refresh(), 0);
    EXPECT_EQ(next.GetName(), "after");
    EXPECT_EQ(next.GetModel(), "SA-2");
  }
}

// A library that writes past every record it fills (and past its entry
// table) leaves the values read exactly as with one that does not.
TEST_F(AdapterRefresh, RecordsWrittenPastTheirEnd) {
  StandinLibrary library;
  library.spill = 8192;
  library.adapters = {SampleStandinAdapter("a", 1, 2)};
  library.adapters[0].ports[1].statistics.TxFrames = 12;
  InstallLibrary("/usr/lib64/liba.so", library);
  HbaConf("a\t/usr/lib64/liba.so\n");
  ASSERT_EQ(LoadAndCount(), 1u);
  FcHbaAdapter adapter;
  adapter.m_index = 0;
  EXPECT_EQ(adapter.Refresh(), 0);
  EXPECT_EQ(adapter.GetModel(), "SA-1");
  EXPECT_EQ(adapter.GetDriverName(), "standin");
  EXPECT_EQ(adapter.GetNumberOfPorts(), 2u);
  ASSERT_EQ(adapter.GetPorts().size(), 2u);
  EXPECT_EQ(adapter.GetPorts()[1].GetPortWWNText(), "21:00:00:00:00:00:01:01");
  EXPECT_EQ(adapter.GetPorts()[1].GetOSDeviceName(), "/dev/standin1_1");
  EXPECT_EQ(adapter.GetPorts()[1].GetTxFrames(), 12);
  EXPECT_EQ(adapter.GetPorts()[1].GetSecondsSinceLastReset(), 101);
}

// A library that reports 4294967295 ports is asked for the first
// kHbaMaxPortsRead of them only, whether their reads fail or succeed; the
// count itself is kept as reported.
TEST_F(AdapterRefresh, ReportedPortCountIsBounded) {
  StandinAdapter failing = SampleStandinAdapter("failing", 1, 1);
  failing.attributes.NumberOfPorts = 4294967295u;
  StandinAdapter readable = SampleStandinAdapter("readable", 2, 1);
  readable.attributes.NumberOfPorts = 4294967295u;
  readable.unlisted_ports_read = true;
  InstallAdapters("/usr/lib64/liba.so", {failing, readable});
  HbaConf("a\t/usr/lib64/liba.so\n");

  const struct {
    uint32_t index;
    int result;
    size_t ports;
  } cases[] = {{0, 1, 1}, {1, 0, kHbaMaxPortsRead}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    // The adapter of the case before freed the libraries.
    ASSERT_EQ(LoadAndCount(), 2u);
    ClearTrace();
    FcHbaAdapter adapter;
    adapter.m_index = c.index;
    EXPECT_EQ(adapter.Refresh(), c.result);
    EXPECT_EQ(adapter.GetNumberOfPorts(), 4294967295u);
    ASSERT_EQ(adapter.GetPorts().size(), c.ports);
    EXPECT_EQ(adapter.GetPorts().back().GetPortIndex(), c.ports - 1);
    long portReads = 0;
    for (const std::string& line : ReadStandinTrace()) {
      portReads += line.rfind("liba.so GetAdapterPortAttributes", 0) == 0;
    }
    EXPECT_EQ(portReads, long{kHbaMaxPortsRead});
  }
}

// Text fields filled to their last byte with no NUL are kept whole, and read
// no further.
TEST_F(AdapterRefresh, FieldsFilledToTheLastByte) {
  StandinAdapter b = SampleStandinAdapter("b", 2, 1);
  SetStandinText(b.attributes.Model, std::string(256, 'M'));
  SetStandinText(b.attributes.Manufacturer, std::string(64, 'F'));
  SetStandinText(b.attributes.SerialNumber, std::string(62, 'S') + "  ");
  SetStandinText(b.attributes.DriverName, std::string(256, 'D'));
  SetStandinText(b.ports[0].attributes.OSDeviceName, std::string(256, 'O'));
  InstallAdapters("/usr/lib64/liba.so", {b});
  HbaConf("a\t/usr/lib64/liba.so\n");
  LoadAndCount();
  FcHbaAdapter full;
  full.m_index = 0;
  EXPECT_EQ(full.Refresh(), 0);
  EXPECT_EQ(full.GetModel(), std::string(256, 'M'));
  EXPECT_EQ(full.GetManufacturer(), std::string(64, 'F'));
  EXPECT_EQ(full.GetSerialNumber(), std::string(62, 'S'));
  EXPECT_EQ(full.GetDriverName(), std::string(256, 'D'));
  ASSERT_EQ(full.GetPorts().size(), 1u);
  EXPECT_EQ(full.GetPorts()[0].GetOSDeviceName(), std::string(256, 'O'));
}

// Each failing step: result 1, what was read before stays, the handle is
// closed exactly when it was opened, and the mutex is free again (a second
// Refresh would otherwise never return).
TEST_F(AdapterRefresh, FailingSteps) {
  StandinAdapter nameFails = SampleStandinAdapter("n", 1);
  nameFails.name_status = 9;
  StandinAdapter openFails = SampleStandinAdapter("o", 2);
  openFails.handle = 0;
  StandinAdapter attributesFail = SampleStandinAdapter("t", 3);
  attributesFail.handle = 0x33;
  attributesFail.attributes_status = 5;
  InstallAdapters("/usr/lib64/liba.so", {nameFails, openFails, attributesFail});
  HbaConf("a\t/usr/lib64/liba.so\n");

  const struct {
    uint32_t index;
    const char* name;
    int closes;
  } cases[] = {// The vendor could not name it, so the table holds an empty name.
               {0, "", 0},
               {1, "o", 0},
               {2, "t", 1},
               // Past the adapter count: no name at all.
               {3, "Undefined", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    // The adapter of the case before freed the libraries.
    LoadAndCount();
    ClearTrace();
    FcHbaAdapter adapter;
    adapter.m_index = c.index;
    EXPECT_EQ(adapter.Refresh(), 1);
    EXPECT_EQ(adapter.Refresh(), 1);
    EXPECT_EQ(adapter.GetName(), c.name);
    EXPECT_EQ(adapter.GetModel(), "Undefined");
    EXPECT_EQ(adapter.GetOptionROMVersion(), "Undefined");
    EXPECT_EQ(adapter.GetNodeWWNText(), "00:00:00:00:00:00:00:00");
    EXPECT_EQ(adapter.GetSubsystemIds(), 0u);
    EXPECT_TRUE(adapter.GetPorts().empty());
    const auto trace = ReadStandinTrace();
    EXPECT_EQ(Count(trace, "liba.so CloseAdapter 0x33"), 2 * c.closes) << Joined(trace);
  }
}

TEST_F(AdapterRefresh, PortsThatFailAreLeftOutOrKeepZeroCounters) {
  StandinAdapter a = SampleStandinAdapter("a", 1, 4);
  a.ports[1].attributes_status = 1;    // left out
  a.ports[2].statistics_status = 1;    // kept, zero counters
  a.ports[2].statistics.TxFrames = 5;  // not reported: the read failed
  a.ports[3].statistics.TxFrames = 6;
  StandinAdapter none = SampleStandinAdapter("z", 2, 0);
  InstallAdapters("/usr/lib64/liba.so", {a, none});
  HbaConf("a\t/usr/lib64/liba.so\n");
  LoadAndCount();

  FcHbaAdapter adapter;
  adapter.m_index = 0;
  EXPECT_EQ(adapter.Refresh(), 1);
  ASSERT_EQ(adapter.GetPorts().size(), 3u);
  EXPECT_EQ(adapter.GetPorts()[0].GetPortIndex(), 0u);
  EXPECT_EQ(adapter.GetPorts()[1].GetPortIndex(), 2u);
  EXPECT_EQ(adapter.GetPorts()[1].GetTxFrames(), 0);
  EXPECT_EQ(adapter.GetPorts()[1].GetPortWWNText(), "21:00:00:00:00:00:02:01");
  EXPECT_EQ(adapter.GetPorts()[2].GetTxFrames(), 6);

  FcHbaAdapter portless;
  portless.m_index = 1;
  EXPECT_EQ(portless.Refresh(), 0);
  EXPECT_TRUE(portless.GetPorts().empty());
}

// The adapter's destructor frees the libraries: a handle of theirs no longer
// decodes.
TEST_F(AdapterRefresh, DestroyingAnAdapterFreesTheLibraries) {
  InstallAdapters("/usr/lib64/liba.so", {SampleStandinAdapter("a", 1)});
  HbaConf("a\t/usr/lib64/liba.so\n");
  LoadAndCount();
  { FcHbaAdapter adapter; }
  HBA_ADAPTERATTRIBUTES attributes{};
  EXPECT_EQ(HBA_GetAdapterAttributes(0x10001 & 0xFFFF, &attributes), HBA_STATUS_ERROR);
  const auto trace = ReadStandinTrace();
  EXPECT_EQ(Count(trace, "liba.so FreeLibrary"), 1);
  EXPECT_EQ(Count(trace, "liba.so unloaded"), 1);
}

}  // namespace
