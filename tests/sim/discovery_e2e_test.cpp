// Adapter discovery end to end: the built program, unchanged, on simulated
// machines with stand-in FC-HBA vendor libraries listed in /etc/hba.conf, a
// stand-in management library at one of its vendor's paths and a fake sysfs
// tree. The stand-ins' traces show what the program called, in order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/sim/console_texts.h"
#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/mgmt/mgmt_standin.h"
#include "tests/standin/standin_sim.h"

#ifndef ZRN_MGMT_STANDIN_LIBRARY
#define ZRN_MGMT_STANDIN_LIBRARY ""
#endif

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

// One supported device: its type names the discovery header's type.
const char kReference[] =
    "<?xml version=\"1.0\"?>\n<marvo_fchba_reference><devices><device>"
    "<type value=\"FC HBA\"/><device_id value=\"1077.2532.1077.015d\"/>"
    "<firmware value=\"5.06.05\"/></device></devices></marvo_fchba_reference>\n";

// What "/d" writes when no adapter of the machine has a reference.
const char kHeaderOnly[] =
    "<?xml version=\"1.0\"?>\n"
    "<tarv_rom_discovery version=\"2.0.0.0\">\n"
    "  <type value=\"FC HBA\"/>\n"
    "  <alt_name value=\"\"/>\n"
    "  <version value=\"\"/>\n"
    "  <takes_effect value=\"\"/>\n"
    "  <devices/>\n"
    "</tarv_rom_discovery>\n";

long Count(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

long Where(const std::vector<std::string>& lines, const std::string& line) {
  const auto at = std::find(lines.begin(), lines.end(), line);
  return at == lines.end() ? -1 : at - lines.begin();
}

// Whether the file at `path` was read since it was last written: on a file
// system that keeps access times (relatime), the first read after a write
// moves the access time past the change time.
bool ReadSinceWritten(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return st.st_atim.tv_sec > st.st_ctim.tv_sec ||
         (st.st_atim.tv_sec == st.st_ctim.tv_sec && st.st_atim.tv_nsec > st.st_ctim.tv_nsec);
}

class Discovery : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    s.Pkg("reference.xml", kReference);
    s.Etc("redhat-release", "Red Hat Enterprise Linux Server release 6.4 (Santiago)\n");
  }
  // A stand-in FC-HBA library at `path` with its scenario beside it.
  void Library(const std::string& path, const std::vector<StandinAdapter>& adapters,
               bool extension = false) {
    StandinLibrary library;
    library.adapters = adapters;
    PlaceStandin(s, path, library, extension);
  }
  std::vector<std::string> Trace() { return StandinTrace(s); }
  std::vector<std::string> MgmtTrace() {
    return SplitStandinTrace(s.Read(ZRN_MGMT_STANDIN_TRACE).value_or(""));
  }
};

TEST_F(Discovery, TwoAdaptersWriteTheHeaderAndNoDevices) {
  Library("/usr/lib64/libfchba_a.so", {SampleStandinAdapter("Brocade-1860-0", 1, 2),
                                       SampleStandinAdapter("Brocade-1860-1", 2, 2)});
  s.Etc("hba.conf", "brocade\t/usr/lib64/libfchba_a.so\n");
  RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  EXPECT_EQ(s.Log(), kRunStart + kXmlDone);
  EXPECT_EQ(s.ReadPkg("out.xml"), kHeaderOnly);
  const auto trace = Trace();
  EXPECT_EQ(Count(trace, "libfchba_a.so OpenAdapter Brocade-1860-0"), 1);
  EXPECT_EQ(Count(trace, "libfchba_a.so OpenAdapter Brocade-1860-1"), 1);
  // The libraries are released once the records are built.
  EXPECT_EQ(trace.back(), "libfchba_a.so unloaded");
}

// Three adapters over two libraries; the second does not open. The message
// goes to standard output only, in a silent run as well, and falls between
// the second adapter's read and the third's.
TEST_F(Discovery, AFailedReadIsReportedOnceAndBeforeTheNextAdapter) {
  StandinAdapter a1 = SampleStandinAdapter("Brocade-A1", 2, 1);
  a1.handle = 0;
  Library("/usr/lib64/liba.so", {SampleStandinAdapter("Brocade-A0", 1, 1), a1});
  Library("/usr/lib64/libb.so", {SampleStandinAdapter("Brocade-B0", 3, 1)});
  s.Etc("hba.conf", "a\t/usr/lib64/liba.so\nb /usr/lib64/libb.so\n");

  RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kMraFailed + kXmlDone);
  EXPECT_EQ(s.Log(), kRunStart + kXmlDone);
  EXPECT_EQ(s.ReadPkg("out.xml"), kHeaderOnly);

  RunResult silent = s.Run(kProgram, {"/s", "/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(silent, 3));
  EXPECT_EQ(silent.out, kMraFailed);

  // Once more with the program's output appended to the stand-ins' trace.
  s.File(kStandinTraceFile, "");
  RunResult traced = s.Run(
      "/bin/sh", {"-c", "exec \"$0\" /s /d out.xml >>" + std::string(kStandinTraceFile), kProgram});
  ASSERT_TRUE(ExitedWith(traced, 3));
  const auto trace = Trace();
  const std::string message = kMraFailed.substr(0, kMraFailed.size() - 1);
  EXPECT_EQ(Count(trace, message), 1);
  // Read in common-index order: the first library's two, then the second's.
  const long failedOpen = Where(trace, "liba.so OpenAdapter Brocade-A1");
  ASSERT_GE(failedOpen, 0);
  EXPECT_LT(Where(trace, "liba.so OpenAdapter Brocade-A0"), failedOpen);
  EXPECT_LT(failedOpen, Where(trace, message));
  EXPECT_LT(Where(trace, message), Where(trace, "libb.so OpenAdapter Brocade-B0"));
}

// PCI identity on both roads in one run: the QLogic adapter's library is its
// vendor's management library, so its own extension entry is read and the
// libraries stay loaded; the Emulex adapter's is not, so the libraries are
// freed, the Emulex management library (a broken file at its first path, the
// stand-in at the second) is walked to the second of its three adapters,
// and the libraries are loaded again.
TEST_F(Discovery, PciIdentityThroughTheBoundExtensionAndTheDirectRoad) {
  StandinAdapter q = SampleStandinAdapter("qlogic-QLE2562-0", 1, 1);
  q.ext_subsystem = 0x015d1077;
  q.ext_bus = 0x05;
  StandinAdapter e = SampleStandinAdapter("Emulex-LPe12002-0", 2, 1);
  e.attributes.NodeWWN = HBA_WWN{{0x20, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
  Library("/usr/lib/libqlsdm.so", {q}, /*extension=*/true);
  Library("/usr/lib64/libfchba_emx.so", {e});
  s.Etc("hba.conf", "qlogic\t/usr/lib/libqlsdm.so\nemulex\t/usr/lib64/libfchba_emx.so\n");
  s.File("/usr/lib/libemsdm.so", "not a shared library\n");
  s.CopyFile("/usr/lib64/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY);
  s.File(ZRN_MGMT_STANDIN_CONF,
         "adapter m0 2000001122334400 11111111 01 00 00\n"
         "adapter m1 2000001122334455 3c4d1a2b 06 00 00\n"
         "adapter m2 2000001122334466 22222222 07 00 00\n");
  // The QLogic adapter, with decoys at the same bus, and the
  // Emulex adapter at bus 6 without a "0x" in its files.
  s.Sys("devices/pci0000:00/0000:00:03.0/vendor", "0x8086\n");
  for (const char* decoy : {"0000:05:01.0", "0000:05:02.0", "0000:05:03.0", "0000:05:1f.0"}) {
    s.SysPciDevice(decoy, 0x8086, 0x10fb, 0x8086, 0x000c);
  }
  s.SysPciDevice("0000:05:00.0", 0x1077, 0x2532, 0x1077, 0x015d);
  for (const char* file : {"vendor", "device", "subsystem_vendor", "subsystem_device"}) {
    const std::string value = std::string(file) == "vendor"             ? "10df\n"
                              : std::string(file) == "device"           ? "f100\n"
                              : std::string(file) == "subsystem_vendor" ? "1a2b\n"
                                                                        : "3c4d\n";
    s.Sys(std::string("devices/pci0000:00/0000:00:1c.0/0000:06:00.0/") + file, value);
  }

  RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kRunStart + kXmlDone);
  // The QLogic adapter's whole identity (sysfs ids, then the extension's
  // subsystem ids) finds its reference; the Emulex adapter has none.
  const std::string document = s.ReadPkg("out.xml").value_or("");
  EXPECT_NE(document.find("  <devices>\n"
                          "    <device>\n"
                          "      <device_id value=\"1077.2532.1077.015d\"/>\n"
                          "      <product_id value=\"SA-1\"/>\n"),
            std::string::npos)
      << document;
  EXPECT_EQ(document.find("<device>", document.find("<device>") + 1), std::string::npos)
      << document;

  // The sysfs lookup read the vendor and device files of the QLogic and
  // Emulex functions only, never those of the decoys or the bridge, which
  // their subsystem files ruled out. Access times show it, where the file
  // system keeps them.
  const std::string control = s.HostPath("/sys/devices/control");
  { std::ofstream(control) << "x\n"; }
  // Past the file system clock's tick, as the run is past the layout's.
  usleep(50 * 1000);
  {
    std::ifstream in(control);
    std::string line;
    std::getline(in, line);
  }
  if (ReadSinceWritten(control)) {
    const std::string qlogic = s.HostPath("/sys/bus/pci/devices/0000:05:00.0/");
    const std::string emulex = s.HostPath("/sys/devices/pci0000:00/0000:00:1c.0/0000:06:00.0/");
    EXPECT_TRUE(ReadSinceWritten(qlogic + "vendor"));
    EXPECT_TRUE(ReadSinceWritten(qlogic + "device"));
    EXPECT_TRUE(ReadSinceWritten(emulex + "vendor"));
    for (const char* decoy : {"0000:05:01.0", "0000:05:02.0", "0000:05:03.0", "0000:05:1f.0"}) {
      const std::string dir = s.HostPath(std::string("/sys/bus/pci/devices/") + decoy + "/");
      EXPECT_FALSE(ReadSinceWritten(dir + "vendor")) << decoy;
      EXPECT_FALSE(ReadSinceWritten(dir + "device")) << decoy;
    }
    EXPECT_FALSE(ReadSinceWritten(s.HostPath("/sys/devices/pci0000:00/0000:00:03.0/vendor")));
  } else {
    std::cerr << "access times are not kept here: the sysfs reads are not checked\n";
  }

  const std::string m = "/usr/lib64/libemsdm.so ";
  EXPECT_EQ(MgmtTrace(),
            (std::vector<std::string>{
                m + "load", m + "ZRNFC_LoadLibrary 0", m + "ZRNFC_GetNumberOfAdapters 3",
                m + "ZRNFC_GetAdapterName 0", m + "ZRNFC_OpenAdapter m0 0x100",
                m + "ZRNFC_GetAdapterAttributes2 0x100", m + "ZRNFC_CloseAdapter 0x100",
                m + "ZRNFC_GetAdapterName 1", m + "ZRNFC_OpenAdapter m1 0x101",
                m + "ZRNFC_GetAdapterAttributes2 0x101", m + "ZRNFC_CloseAdapter 0x101",
                m + "ZRNFC_FreeLibrary", m + "unload"}));

  const auto trace = Trace();
  EXPECT_EQ(Count(trace, "libqlsdm.so ZRNFC_GetAdapterAttributes2 0x1"), 1);
  EXPECT_EQ(Count(trace, "libqlsdm.so OpenAdapter qlogic-QLE2562-0"), 2);
  EXPECT_EQ(Count(trace, "libqlsdm.so CloseAdapter 0x1"), 2);
  // Freed for the direct road and again at the end; loaded twice.
  EXPECT_EQ(Count(trace, "libfchba_emx.so FreeLibrary"), 2);
  EXPECT_EQ(Count(trace, "libfchba_emx.so HBA_RegisterLibrary"), 2);
  EXPECT_LT(Where(trace, "libqlsdm.so ZRNFC_GetAdapterAttributes2 0x1"),
            Where(trace, "libqlsdm.so FreeLibrary"));
}

}  // namespace
}  // namespace zrn_sim
