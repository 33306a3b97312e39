// The Brocade executable, unchanged, on the simulated machine: adapters of
// the stand-in FC-HBA library installed as the Brocade management library
// "bfahbaapi" (so their PCI subsystem and location come from its vendor
// extension), their PCI functions in a fake sysfs, and a stand-in "./bcu"
// that records its arguments, writes to its three descriptors and exits with
// the code in ./code.txt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"
#include "tests/sim/vendor_e2e_support.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/standin_sim.h"

#ifndef ZRN_BROCADE_PROGRAM
#define ZRN_BROCADE_PROGRAM ""
#endif

namespace zrn_sim {
namespace {

using Args = std::vector<std::string>;

const std::string kProgram = ZRN_BROCADE_PROGRAM;
const char kLibrary[] = "/usr/lib64/bfahbaapi.so";

// The references list the identity in upper case; adapters report it in
// lower case.
const char kReference[] = R"(<?xml version="1.0"?>
<marvo_fchba_reference><devices>
  <device><type value="FC HBA"/><device_id value="1657.001A.1657.00AB"/><model value="BR-1020"/>
    <firmware value=""/><bios value="3.2.0.1"/><boot value=""/><duration value="240"/></device>
  <device><type value="other"/><device_id value="1657.0017"/><model value="contained"/>
    <firmware value=""/><bios value="9.9.9.9"/><boot value=""/><duration value="1"/></device>
</devices></marvo_fchba_reference>
)";

const char kBcu[] = R"(#!/bin/sh
# Stand-in for Brocade's command-line utility.
echo "$*" >> ./bcu.calls
echo "bcu out"
echo "bcu err" >&2
echo "bcu fd3" >&3
code=$(cat ./code.txt)
[ "$code" = kill ] && kill -9 $$
exit "$code"
)";

struct Adapter {
  const char* name;
  unsigned device, subsystem;  // PCI device id and subsystem id (vendors 0x1657)
  const char* model;
  const char* optionRom;
};

// A machine with these adapters, one per PCI bus from 5 on, and a package
// with the references and "./bcu" (mode 0644: the program makes it
// executable).
void Machine(Scenario& s, const std::vector<Adapter>& adapters, const std::string& code) {
  StandinLibrary library;
  for (size_t i = 0; i < adapters.size(); ++i) {
    const Adapter& a = adapters[i];
    StandinAdapter adapter = SampleStandinAdapter(a.name, static_cast<uint8_t>(i + 1));
    SetStandinText(adapter.attributes.Model, a.model);
    SetStandinText(adapter.attributes.OptionROMVersion, a.optionRom);
    adapter.ext_subsystem = (a.subsystem << 16) | 0x1657;
    adapter.ext_bus = static_cast<uint8_t>(5 + i);
    library.adapters.push_back(adapter);
    char address[16];
    snprintf(address, sizeof address, "0000:%02zx:00.0", 5 + i);
    s.SysPciDevice(address, 0x1657, a.device, 0x1657, a.subsystem);
  }
  PlaceStandin(s, kLibrary, library, /*extension=*/true)
      .Etc("hba.conf", std::string("brocade\t") + kLibrary + "\n")
      .Pkg("reference.xml", kReference)
      .Pkg("bcu", kBcu, 0644)
      .Pkg("code.txt", code);
}

XmlDevice Device(const std::string& id, const std::string& product, const std::string& installed,
                 const std::string& action) {
  return {id, product, {{"Boot BIOS ROM", "3.2.0.1", installed, action, "240", "no"}}};
}

class Brocade : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    if (kProgram.empty()) GTEST_SKIP() << "the Brocade executable is not part of this build";
  }
};

TEST_F(Brocade, SelfDiscoveryNormalisesOptionRomTextsAndKeepsTheAdaptersIdentity) {
  Machine(s,
          {
              {"Brocade-1020-0", 0x1a, 0xab, "BR-1020", "BIOS v3.2.0.1 (rel)"},
              {"Brocade-1020-1", 0x1a, 0xab, "BR-1020", "1.3.2.0.0"},     // five numbers
              {"Brocade-1020-2", 0x1a, 0xab, "BR-1020", "13.2.0.2"},      // two-digit first
              {"Brocade-1020-3", 0x1a, 0xab, "BR-1020", "3.2.1"},         // only three
              {"Brocade-825-0", 0x17, 0x22, "BR-825", "3.0.0.0"},         // no exact reference
              {"QLogic-looking name", 0x1a, 0xab, "BR-1020", "2.9.9.9"},  // "qlogic" is lower case
          },
          "0");
  const RunResult r = s.Run(kProgram, {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.err, "");
  const std::string console = std::string(kRunStart) + "Generating self-discovery XML...done.\n";
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(s.Log(), console);
  const std::string id = "1657.001a.1657.00ab";
  EXPECT_EQ(s.ReadPkg("out.xml"),
            DiscoveryDocument("FC HBA", {Device(id, "BR-1020", "3.2.0.1", "rewrite"),
                                         Device(id, "BR-1020", "3.2.0.0", "upgrade"),
                                         Device(id, "BR-1020", "3.2.0.2", "downgrade"),
                                         Device(id, "BR-1020", "3.2.1", "downgrade"),
                                         Device(id, "BR-1020", "2.9.9.9", "upgrade")}));
  EXPECT_EQ(s.ReadPkg("bcu.calls"), std::nullopt);
}

TEST_F(Brocade, FlashRunsTheUtilityOnceAndMapsItsCode) {
  const struct {
    const char* optionRom;
    Args args;
    std::string code;
    int tool, result;
    const char* options;
  } kCases[] = {
      {"3.1.0.0", {}, "0", 0, 1, ""},  // an upgrade is pending
      {"3.2.0.1", {"/f"}, "0", 0, 1, " force"},
      {"3.1.0.0", {"/s"}, "0", 0, 1, ""},  // silent: nothing passed on
      {"3.1.0.0", {}, "1", 1, 7, ""},      // 1 is a failure too
      {"3.2.0.1", {"-g"}, "3", 3, 7, " force"},
      {"3.1.0.0", {}, "255", 255, 7, ""},
      {"3.1.0.0", {}, "kill", 137, 7, ""},  // a killed utility has failed
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("code " + c.code + (c.args.empty() ? "" : " " + c.args[0]));
    Scenario machine;
    KeepOnFailure keep(machine);
    Machine(machine, {{"Brocade-1020-0", 0x1a, 0xab, "BR-1020", c.optionRom}}, c.code);
    const RunResult r = machine.Run(kProgram, c.args);
    ASSERT_TRUE(ExitedWith(r, c.result));
    const std::string head = std::string(kRunStart) + kFlashStart +
                             "Executing flash engine: ./bcu boot --update bfa_boot_fw -a" +
                             c.options + "\n";
    const bool silent = !c.args.empty() && c.args[0] == "/s";
    EXPECT_EQ(r.out, silent ? "" : head + FlashEnd(c.tool, c.result));
    const std::string tool = "bcu out\nbcu err\nbcu fd3\n";
    EXPECT_TRUE(FlashLog(machine.Log(), head + tool, FlashEnd(c.tool, c.result)));
    EXPECT_EQ(machine.ReadPkg("bcu.calls"),
              std::string("boot --update bfa_boot_fw -a") + c.options + "\n");
  }
}

TEST_F(Brocade, NoSupportedAdapter) {
  const struct {
    Args args;
    std::string tail;
  } kCases[] = {
      {{}, "NOTICE : No operation was done.\n"},
      {{"/f"}, "ERROR! : No supported hardware was found.\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.empty() ? "no option" : c.args[0]);
    Scenario machine;
    KeepOnFailure keep(machine);
    Machine(machine, {{"Brocade-825-0", 0x17, 0x22, "BR-825", "3.0.0.0"}}, "0");
    const RunResult r = machine.Run(kProgram, c.args);
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, kRunStart + c.tail);
    EXPECT_EQ(machine.ReadPkg("bcu.calls"), std::nullopt);
  }
}

}  // namespace
}  // namespace zrn_sim
