// Discovery end to end when what the HBA layer reads misbehaves: vendor
// libraries that report absurd counts or write past the buffers they are
// given, and an "/etc/hba.conf" that is no regular file or never ends. Each
// run must end as the same run on an ordinary machine would: the adapters
// that can be read are found, the others are reported, nothing hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hba/adapter.h"
#include "hba/vendor_extension.h"
#include "tests/sim/console_texts.h"
#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/mgmt/mgmt_standin.h"
#include "tests/standin/standin_sim.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

// Two supported devices.
const char kReference[] =
    "<?xml version=\"1.0\"?>\n<marvo_fchba_reference><devices>"
    "<device><type value=\"FC HBA\"/><device_id value=\"1077.2532.1077.015d\"/>"
    "<firmware value=\"5.06.05\"/></device>"
    "<device><type value=\"FC HBA\"/><device_id value=\"1077.2031.1077.0241\"/>"
    "<firmware value=\"8.00.00\"/></device>"
    "</devices></marvo_fchba_reference>\n";

// The discovery file's entry for a device found with the model `model`.
std::string Device(const std::string& id, const std::string& model) {
  return "    <device>\n      <device_id value=\"" + id + "\"/>\n      <product_id value=\"" +
         model + "\"/>\n";
}

long CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

class HostileHba : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    s.Pkg("reference.xml", kReference);
    s.Etc("redhat-release", "Red Hat Enterprise Linux Server release 6.4 (Santiago)\n");
  }
  void Library(const std::string& path, const StandinLibrary& library, bool extension = false) {
    PlaceStandin(s, path, library, extension);
  }
  std::vector<std::string> MgmtTrace() {
    return SplitStandinTrace(s.Read(ZRN_MGMT_STANDIN_TRACE).value_or(""));
  }
  std::string Document() { return s.ReadPkg("out.xml").value_or(""); }
};

// Two adapters report 4294967295 ports: the first's reads fail, the
// second's succeed. Each is asked for kHbaMaxPortsRead ports, the first is
// reported, and the third adapter, the one in the reference, is found.
TEST_F(HostileHba, AdaptersReportingHugePortCounts) {
  StandinLibrary library;
  library.adapters = {SampleStandinAdapter("Brocade-A", 1, 1),
                      SampleStandinAdapter("Brocade-B", 2, 1),
                      SampleStandinAdapter("Brocade-C", 3, 1)};
  library.adapters[0].attributes.NumberOfPorts = 4294967295u;
  library.adapters[1].attributes.NumberOfPorts = 4294967295u;
  library.adapters[1].unlisted_ports_read = true;
  // No management library answers for C: its identity is its own
  // VendorSpecificID and the PCI function sysfs has for it.
  library.adapters[2].attributes.VendorSpecificID = 0x015d1077;
  Library("/usr/lib64/libfchba_a.so", library);
  s.Etc("hba.conf", "brocade\t/usr/lib64/libfchba_a.so\n");
  s.SysPciDevice("0000:00:00.0", 0x1077, 0x2532, 0x1077, 0x015d);

  const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kMraFailed + kXmlDone);
  EXPECT_NE(Document().find(Device("1077.2532.1077.015d", "SA-3")), std::string::npos)
      << Document();
  const auto trace = StandinTrace(s);
  EXPECT_EQ(CountPrefix(trace, "libfchba_a.so GetAdapterPortAttributes 0x1 "), kHbaMaxPortsRead);
  EXPECT_EQ(CountPrefix(trace, "libfchba_a.so GetAdapterPortAttributes 0x2 "), kHbaMaxPortsRead);
  EXPECT_EQ(CountPrefix(trace, "libfchba_a.so GetPortStatistics 0x2 "), kHbaMaxPortsRead);
  EXPECT_EQ(CountPrefix(trace, "libfchba_a.so OpenAdapter Brocade-C"), 1);
}

// The management library reports 2147483647 adapters, none of them the
// one asked for: kExtensionMaxAdapters are walked, and the adapter keeps
// the identity its own record and sysfs give it.
TEST_F(HostileHba, ManagementLibraryReportingAHugeAdapterCount) {
  StandinLibrary library;
  library.adapters = {SampleStandinAdapter("Emulex-LPe12002-0", 1, 1)};
  library.adapters[0].attributes.VendorSpecificID = 0x015d1077;
  Library("/usr/lib64/libfchba_emx.so", library);
  s.Etc("hba.conf", "emulex\t/usr/lib64/libfchba_emx.so\n");
  s.CopyFile("/usr/lib/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY);
  s.File(ZRN_MGMT_STANDIN_CONF,
         "count 2147483647\nrepeat\nadapter m0 2000001122334400 3c4d1a2b 05 00 00\n");
  s.SysPciDevice("0000:00:00.0", 0x1077, 0x2532, 0x1077, 0x015d);

  const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  EXPECT_NE(Document().find(Device("1077.2532.1077.015d", "SA-1")), std::string::npos)
      << Document();
  const std::string m = "/usr/lib/libemsdm.so ";
  const auto mgmt = MgmtTrace();
  EXPECT_EQ(CountPrefix(mgmt, m + "ZRNFC_GetAdapterName "), kExtensionMaxAdapters);
  ASSERT_GE(mgmt.size(), 2u);
  EXPECT_EQ(mgmt[mgmt.size() - 2], m + "ZRNFC_FreeLibrary");
  EXPECT_EQ(mgmt.back(), m + "unload");
}

// Names and records written past the buffers of their contracts: a 300-byte
// adapter name (the adapter is kept under its first 63 characters and fails
// to open), management-library names of 3000 bytes more (cut to 1023
// characters, they open nothing), an extension record of 20000 bytes and
// every standard record and the entry table followed by 8192 bytes more.
// The adapters that can be read are found as on an ordinary machine.
TEST_F(HostileHba, VendorsWritingPastTheirBuffers) {
  StandinLibrary qlogic;
  qlogic.spill = 8192;
  qlogic.adapters = {SampleStandinAdapter("qlogic-QLE2562-0", 1, 2)};
  qlogic.adapters[0].ext_write_size = 20000;
  qlogic.adapters[0].ext_subsystem = 0x015d1077;
  qlogic.adapters[0].ext_bus = 0x05;
  Library("/usr/lib/libqlsdm.so", qlogic, /*extension=*/true);

  StandinLibrary emulex;
  emulex.adapters = {SampleStandinAdapter(std::string(300, 'n'), 2, 1),
                     SampleStandinAdapter("Emulex-LPe12002-0", 3, 1)};
  emulex.adapters[0].name_overrun = true;
  emulex.adapters[1].attributes.VendorSpecificID = 0x02411077;
  Library("/usr/lib64/libfchba_emx.so", emulex);
  s.CopyFile("/usr/lib64/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY);
  s.File(ZRN_MGMT_STANDIN_CONF, "name_pad 3000\nadapter m0 2000000000000003 3c4d1a2b 07 00 00\n");

  s.Etc("hba.conf", "qlogic\t/usr/lib/libqlsdm.so\nemulex\t/usr/lib64/libfchba_emx.so\n");
  s.SysPciDevice("0000:05:00.0", 0x1077, 0x2532, 0x1077, 0x015d);
  s.SysPciDevice("0000:00:00.0", 0x1077, 0x2031, 0x1077, 0x0241);

  const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kMraFailed + kXmlDone);
  EXPECT_EQ(r.err, "");
  const std::string document = Document();
  EXPECT_NE(document.find(Device("1077.2532.1077.015d", "SA-1")), std::string::npos) << document;
  EXPECT_NE(document.find(Device("1077.2031.1077.0241", "SA-3")), std::string::npos) << document;

  const auto trace = StandinTrace(s);
  EXPECT_EQ(CountPrefix(trace, "libfchba_emx.so OpenAdapter " + std::string(63, 'n')), 1);
  const std::string cut = "m0" + std::string(kExtensionNameSize - 3, 'x');
  const auto mgmt = MgmtTrace();
  EXPECT_EQ(std::count(mgmt.begin(), mgmt.end(),
                       "/usr/lib64/libemsdm.so ZRNFC_OpenAdapter " + cut + " 0x0"),
            1);
}

// An hba.conf that is a link to /dev/zero, a FIFO, or a regular file of a
// terabyte of zeros (sparse) ends as a machine without one does.
TEST_F(HostileHba, HbaConfThatIsNoRegularFileOrNeverEnds) {
  const struct {
    const char* what;
    void (*make)(Scenario& s);
  } cases[] = {
      {"link to /dev/zero", [](Scenario& s) { s.Symlink("/etc/hba.conf", "/dev/zero"); }},
      {"FIFO",
       [](Scenario& s) {
         const std::string path = s.HostPath("/etc/hba.conf");
         std::filesystem::create_directories(std::filesystem::path(path).parent_path());
         ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
       }},
      {"a terabyte of zeros",
       [](Scenario& s) {
         s.Etc("hba.conf", "");
         ASSERT_EQ(truncate(s.HostPath("/etc/hba.conf").c_str(), 1LL << 40), 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scenario machine;
    KeepOnFailure keep(machine);
    machine.Pkg("reference.xml", kReference);
    c.make(machine);
    ASSERT_EQ(machine.LayoutError(), "");
    const RunResult r = machine.Run(kProgram, {});
    ASSERT_TRUE(ExitedWith(r, 7));
    EXPECT_EQ(r.out, kRunStart + kNoAdapters);
    EXPECT_EQ(r.err, "");
  }
}

}  // namespace
}  // namespace zrn_sim
