// The built program, unchanged, doing the whole QLogic job on the simulated
// machine: QLogic adapters reported by the stand-in FC-HBA library, their
// PCI identity from the stand-in management library and a fake sysfs, and a
// package directory with "reference.xml" and a stand-in "./tarvqlafwupdate".

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/mgmt/mgmt_standin.h"
#include "tests/standin/standin_sim.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

const std::string kStart = std::string(51, '-') +
                           "\nLoading references...done.\n"
                           "Performing discovery...\n";
const std::string kFlashing = "Performing flash -- DO NOT INTERRUPT!\n";
const std::string kNotice = "NOTICE : No operation was done.\n";
const std::string kNoHardware = "ERROR! : No supported hardware was found.\n";

// The last device's identity is only part of its device_id.
const char kReference[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<marvo_fchba_reference>
  <discovery_app_path><![CDATA[./KTXXXXXX.tolux /d discovery.xml]]></discovery_app_path>
  <installer_app_path><![CDATA[./KTXXXXXX.tolux]]></installer_app_path>
  <devices>
    <device>
      <type value="FC HBA"/><device_id value="1077.2532.1077.015d"/><model value="QLE2562"/>
      <firmware value="5.06.05"/><bios value="2.16"/><boot value="2.16"/><duration value="120"/>
    </device>
    <device>
      <type value="FC HBA"/><device_id value="1077.2031.1077.0241"/><model value="QLE2672"/>
      <firmware value="8.01.02"/><bios value="3.28"/><boot value="3.28"/><duration value="180"/>
    </device>
    <device>
      <type value="FC HBA"/><device_id value="1077.2261.1077.029B-R2"/><model value="QLE2692"/>
      <firmware value="8.08.03"/><bios value="3.64"/><boot value="3.64"/><duration value="240"/>
    </device>
  </devices>
</marvo_fchba_reference>
)";

// One QLogic adapter of the machine: what the FC-HBA library reports, its
// PCI identity, and where it sits on the PCI bus.
struct QLogicAdapter {
  std::string name;  // contains "qlogic": the QLogic management library serves it
  std::string model, optionRom;
  unsigned vendor, device, subsystemVendor, subsystemDevice;
  bool inSysfs = true;  // false: no PCI function in sysfs, so no vendor and device id
};

const QLogicAdapter kUpgrade = {
    "qlogic-QLE2562-0", "QLE2562", "2.10", 0x1077, 0x2532, 0x1077, 0x015d};
const QLogicAdapter kRewrite = {
    "qlogic-QLE2672-0", "QLE2672", "v.3.28 build 7", 0x1077, 0x2031, 0x1077, 0x0241};
const QLogicAdapter kDowngrade = {
    "qlogic-QLE2562-1", "QLE2562", "3.00", 0x1077, 0x2532, 0x1077, 0x015d};
const QLogicAdapter kContained = {
    "qlogic-QLE2692-0", "QLE2692", "3.64", 0x1077, 0x2261, 0x1077, 0x029b};
const QLogicAdapter kUnsupported = {
    "qlogic-QLE2462-0", "QLE2462", "1.28", 0x1077, 0x2432, 0x1077, 0x0137};

// Lays out the adapters: the stand-in FC-HBA library listed in /etc/hba.conf
// with one adapter block each, the stand-in management library at the
// QLogic path, which finds each adapter by its node WWN and gives its
// subsystem ids and bus, and a sysfs PCI function at that bus with the ids.
void AddQLogicAdapters(Scenario& s, const std::vector<QLogicAdapter>& adapters) {
  StandinLibrary library;
  std::string mgmt;
  for (size_t i = 0; i < adapters.size(); ++i) {
    const QLogicAdapter& a = adapters[i];
    const uint8_t id = static_cast<uint8_t>(i + 1);
    const unsigned bus = 0x10 + static_cast<unsigned>(i);
    StandinAdapter adapter = SampleStandinAdapter(a.name, id, 1);
    SetStandinText(adapter.attributes.Model, a.model);
    SetStandinText(adapter.attributes.OptionROMVersion, a.optionRom);
    library.adapters.push_back(adapter);
    char line[128];
    std::snprintf(line, sizeof line, "adapter m%zu 20000000000000%02x %04x%04x %02x 00 00\n", i,
                  unsigned{id}, a.subsystemDevice, a.subsystemVendor, bus);
    mgmt += line;
    char address[32];
    std::snprintf(address, sizeof address, "0000:%02x:00.0", bus);
    if (a.inSysfs)
      s.SysPciDevice(address, a.vendor, a.device, a.subsystemVendor, a.subsystemDevice);
  }
  PlaceStandin(s, "/usr/lib64/libfchba_ql.so", library)
      .Etc("hba.conf", "qlogic\t/usr/lib64/libfchba_ql.so\n")
      .CopyFile("/usr/lib/libqlsdm.so", ZRN_MGMT_STANDIN_LIBRARY)
      .File(ZRN_MGMT_STANDIN_CONF, mgmt);
}

// The stand-in flash tool: appends its arguments to ./tool-args, writes a
// line to standard output, standard error and descriptor 3, then exits with
// `code` (or, given a signal name, kills itself with it).
std::string FlashTool(int code, const char* signal = nullptr) {
  std::string script =
      "#!/bin/sh\n"
      "echo \"[$*]\" >> tool-args\n"
      "echo 'tool: standard output'\n"
      "echo 'tool: standard error' >&2\n"
      "echo 'tool: descriptor 3' >&3\n";
  if (signal) script += std::string("kill -s ") + signal + " $$\n";
  return script + "exit " + std::to_string(code) + "\n";
}
const std::string kToolOutput = "tool: standard output\ntool: standard error\ntool: descriptor 3\n";

class QLogicJob : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    s.Pkg("reference.xml", kReference);
  }
  RunResult Run(const std::vector<std::string>& args) { return s.Run(kProgram, args); }
};

std::string BootBiosDevice(const std::string& deviceId, const std::string& model,
                           const std::string& packaged, const std::string& installed,
                           const std::string& action, const std::string& duration) {
  return "    <device>\n"
         "      <device_id value=\"" +
         deviceId +
         "\"/>\n"
         "      <product_id value=\"" +
         model +
         "\"/>\n"
         "      <busnumber value=\"\"/>\n"
         "      <funcnumber value=\"\"/>\n"
         "      <fw_item>\n"
         "        <type value=\"Boot BIOS ROM\"/>\n"
         "        <firmware_id value=\"\"/>\n"
         "        <version value=\"" +
         packaged +
         "\"/>\n"
         "        <active_version value=\"" +
         installed +
         "\"/>\n"
         "        <action value=\"" +
         action +
         "\"/>\n"
         "        <duration value=\"" +
         duration +
         "\"/>\n"
         "        <message value=\"\"/>\n"
         "        <shared value=\"no\"/>\n"
         "      </fw_item>\n"
         "    </device>\n";
}

// The whole self-discovery file of a QLogic run with these devices.
std::string DiscoveryDocument(const std::string& devices) {
  return "<?xml version=\"1.0\"?>\n"
         "<tarv_rom_discovery version=\"2.0.0.0\">\n"
         "  <type value=\"FC HBA\"/>\n"
         "  <alt_name value=\"\"/>\n"
         "  <version value=\"\"/>\n"
         "  <takes_effect value=\"\"/>\n"
         "  <devices>\n" +
         devices +
         "  </devices>\n"
         "</tarv_rom_discovery>\n";
}

// One device per supported adapter in adapter order, each with its planned
// action; the unsupported adapter is left out without a word, and the
// adapter found by containment is recorded under the reference's device_id.
TEST_F(QLogicJob, DiscoveryWritesOneDevicePerSupportedAdapter) {
  AddQLogicAdapters(s, {kUpgrade, kUnsupported, kRewrite, kDowngrade, kContained});
  s.Pkg("tarvqlafwupdate", FlashTool(0), 0755);
  RunResult r = Run({"/d", "discovery.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  const std::string expected = kStart + "Generating self-discovery XML...done.\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(s.Log(), expected);
  EXPECT_EQ(
      s.ReadPkg("discovery.xml"),
      DiscoveryDocument(
          BootBiosDevice("1077.2532.1077.015d", "QLE2562", "2.16", "2.10", "upgrade", "120") +
          BootBiosDevice("1077.2031.1077.0241", "QLE2672", "3.28", "3.28", "rewrite", "180") +
          BootBiosDevice("1077.2532.1077.015d", "QLE2562", "2.16", "3.00", "downgrade", "120") +
          BootBiosDevice("1077.2261.1077.029B-R2", "QLE2692", "3.64", "3.64", "rewrite", "240")));
  EXPECT_EQ(s.ReadPkg("tool-args"), std::nullopt) << "a discovery run never flashes";
}

// Versions whose order comes from text tokens plan the same action in every
// run, wherever the strings happen to lie in memory: one adapter per pair,
// each with a reference of its own, and the same document from every run.
TEST_F(QLogicJob, TextVersionsPlanTheSameInEveryRun) {
  const struct {
    const char* packaged;
    const char* installed;
    const char* action;
  } kCases[] = {
      {"2.02a", "2.02", "upgrade"},    {"2.02a", "2.10", "downgrade"},
      {"5.12a2", "5.12.2", "upgrade"}, {"4.0rc1", "4.0", "upgrade"},
      {"2.16", "2..16", "upgrade"},    {"2.16", ".2.16", "upgrade"},
      {"2.16a", "2.16b", "downgrade"}, {"1.0", "1.0b", "downgrade"},
      {"10", "10a", "downgrade"},
  };
  std::string references;
  std::string devices;
  std::vector<QLogicAdapter> adapters;
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    const unsigned subsystem = 0x100 + static_cast<unsigned>(i);
    char id[32];
    std::snprintf(id, sizeof id, "1077.2532.1077.%04x", subsystem);
    references += std::string("<device><type value=\"FC HBA\"/><device_id value=\"") + id +
                  "\"/><model value=\"QLE2562\"/><firmware value=\"1\"/><bios value=\"" +
                  kCases[i].packaged + "\"/><boot value=\"\"/><duration value=\"60\"/></device>\n";
    adapters.push_back({"qlogic-QLE2562-" + std::to_string(i), "QLE2562", kCases[i].installed,
                        0x1077, 0x2532, 0x1077, subsystem});
    devices += BootBiosDevice(id, "QLE2562", kCases[i].packaged, kCases[i].installed,
                              kCases[i].action, "60");
  }
  s.Pkg("reference.xml", "<?xml version=\"1.0\"?>\n<marvo_fchba_reference><devices>\n" +
                             references + "</devices></marvo_fchba_reference>\n");
  AddQLogicAdapters(s, adapters);
  const std::string expected = DiscoveryDocument(devices);
  for (int run = 0; run < 10; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    RunResult r = Run({"/d", "discovery.xml"});
    ASSERT_TRUE(ExitedWith(r, 3));
    ASSERT_EQ(s.ReadPkg("discovery.xml"), expected);
  }
}

// Without its sysfs entry an adapter's identity is its subsystem part alone,
// "1077.0241", which only the containment rule finds: the device is recorded
// under the reference's whole device_id.
TEST_F(QLogicJob, IdentityWithoutSysfsIsFoundByContainment) {
  QLogicAdapter hidden = kRewrite;
  hidden.inSysfs = false;
  AddQLogicAdapters(s, {hidden});
  RunResult r = Run({"/d", "discovery.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  const std::string document = s.ReadPkg("discovery.xml").value_or("");
  EXPECT_NE(document.find(
                "  <devices>\n" +
                BootBiosDevice("1077.2031.1077.0241", "QLE2672", "3.28", "3.28", "rewrite", "180") +
                "  </devices>\n"),
            std::string::npos)
      << document;
}

// The console shows the program's messages; the log holds the tool's own
// output between them, descriptor 3 included.
std::string FlashConsole(int toolCode, int result) {
  return kStart + kFlashing + "Executing flash engine: ./tarvqlafwupdate\n" +
         "Flash Engine exit code: " + std::to_string(toolCode) + "\n" + "Flash complete [" +
         std::to_string(result) + "]\n";
}
std::string FlashLog(int toolCode, int result, const std::string& options = "") {
  return kStart + kFlashing + "Executing flash engine: ./tarvqlafwupdate" + options + "\n" +
         kToolOutput + "Flash Engine exit code: " + std::to_string(toolCode) + "\n" +
         "Flash complete [" + std::to_string(result) + "]\n";
}

TEST_F(QLogicJob, ExitStatusTable) {
  const struct {
    int tool, result;
  } kTable[] = {{0, 1},  {1, 3},   {2, 7},  {10, 7}, {11, 11}, {12, 12},   {13, 13},
                {14, 7}, {15, 15}, {16, 7}, {17, 7}, {18, 18}, {200, 200}, {255, 255}};
  for (const auto& row : kTable) {
    SCOPED_TRACE("tool code " + std::to_string(row.tool));
    Scenario machine;
    KeepOnFailure keep(machine);
    machine.Pkg("reference.xml", kReference).Pkg("tarvqlafwupdate", FlashTool(row.tool), 0700);
    AddQLogicAdapters(machine, {kRewrite, kUpgrade});
    RunResult r = machine.Run(kProgram, {});
    ASSERT_TRUE(ExitedWith(r, row.result));
    EXPECT_EQ(r.out, FlashConsole(row.tool, row.result));
    EXPECT_EQ(machine.Log(), FlashLog(row.tool, row.result));
    EXPECT_EQ(machine.ReadPkg("tool-args"), "[]\n") << "the tool runs exactly once";
  }
}

// The tool is made executable for everyone and writable only by its owner.
TEST_F(QLogicJob, ToolIsMadeExecutableButNotWorldWritable) {
  AddQLogicAdapters(s, {kUpgrade});
  s.Pkg("tarvqlafwupdate", FlashTool(0), 0600);
  RunResult r = Run({});
  ASSERT_TRUE(ExitedWith(r, 1));
  struct stat st;
  ASSERT_EQ(stat((s.Root() + "/pkg/tarvqlafwupdate").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// A tool killed by a signal has failed: 128 plus the signal number is its
// code, and the table passes that through, never reading it as success.
TEST_F(QLogicJob, KilledToolIsNoSuccess) {
  const struct {
    const char* signal;
    int code;
  } kCases[] = {{"KILL", 137}, {"SEGV", 139}, {"TERM", 143}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.signal);
    Scenario machine;
    KeepOnFailure keep(machine);
    machine.Pkg("reference.xml", kReference).Pkg("tarvqlafwupdate", FlashTool(0, c.signal), 0755);
    AddQLogicAdapters(machine, {kUpgrade});
    RunResult r = machine.Run(kProgram, {});
    ASSERT_TRUE(ExitedWith(r, c.code));
    EXPECT_EQ(r.out, FlashConsole(c.code, c.code));
    // The shell may add its own report of the signal after the tool's output.
    const std::string log = machine.Log().value_or("");
    const std::string head =
        kStart + kFlashing + "Executing flash engine: ./tarvqlafwupdate\n" + kToolOutput;
    const std::string tail = "Flash Engine exit code: " + std::to_string(c.code) +
                             "\nFlash complete [" + std::to_string(c.code) + "]\n";
    EXPECT_EQ(log.substr(0, head.size()), head);
    ASSERT_GE(log.size(), head.size() + tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  }
}

TEST_F(QLogicJob, SilentForcedRunPassesBothOptionsAndPrintsNothing) {
  AddQLogicAdapters(s, {kRewrite});
  s.Pkg("tarvqlafwupdate", FlashTool(0), 0755);
  RunResult r = Run({"/s", "/f"});
  ASSERT_TRUE(ExitedWith(r, 1));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(s.Log(), FlashLog(0, 1, " /s /f"));
  EXPECT_EQ(s.ReadPkg("tool-args"), "[/s /f]\n");
}

TEST_F(QLogicJob, NothingToUpgradeWithoutForce) {
  AddQLogicAdapters(s, {kRewrite, kDowngrade, kUnsupported});
  s.Pkg("tarvqlafwupdate", FlashTool(0), 0755);
  RunResult r = Run({});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.out, kStart + kNotice);
  EXPECT_EQ(s.Log(), kStart + kNotice);
  EXPECT_EQ(s.ReadPkg("tool-args"), std::nullopt);
  // Forced, the same machine is flashed.
  RunResult forced = Run({"-f"});
  ASSERT_TRUE(ExitedWith(forced, 1));
  EXPECT_EQ(s.ReadPkg("tool-args"), "[/f]\n");
}

TEST_F(QLogicJob, ForcedWithoutSupportedAdapter) {
  AddQLogicAdapters(s, {kUnsupported});
  s.Pkg("tarvqlafwupdate", FlashTool(0), 0755);
  for (const char* force : {"/f", "-e", "/g"}) {
    SCOPED_TRACE(force);
    RunResult r = Run({force});
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, kStart + kNoHardware);
  }
  EXPECT_EQ(s.ReadPkg("tool-args"), std::nullopt);
}

}  // namespace
}  // namespace zrn_sim
