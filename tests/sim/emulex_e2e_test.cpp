// The Emulex executable, unchanged, on the simulated machine: a package
// directory with a stand-in kit archive "elxflashStandalone-<version>.zip"
// (its lx/elxflash.sh and empty boot/ and firmware/ directories) and the
// package's own ./boot/ and ./firmware/ images. The kit's script answers
// "/q" with the lines of ./query.txt and any other option with the code in
// ./code.txt, after listing the images it finds in the kit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"
#include "tests/sim/vendor_e2e_support.h"

#ifndef ZRN_EMULEX_PROGRAM
#define ZRN_EMULEX_PROGRAM ""
#endif

namespace zrn_sim {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string kProgram = ZRN_EMULEX_PROGRAM;
const std::string kKit = "elxflashStandalone-11.4.204.11";

const char kReference[] = R"(<?xml version="1.0"?>
<marvo_fchba_reference><devices>
  <device><type value="FC HBA"/><device_id value="10df.f100.10df.f100"/><model value="LPe12002"/>
    <firmware value="2.02.10"/><bios value="5.12.2"/><boot value="5.12.2"/><duration value="300"/></device>
  <device><type value="FC HBA"/><device_id value="10df.0710.10df.e702"/><model value="OCe11102"/>
    <firmware value="4.1.450.7"/><bios value="4.1.450.7"/><boot value=""/><duration value="600"/></device>
  <device><type value="FC HBA"/><device_id value="10df.e200.10df.e201"/><model value="LPe16002"/>
    <firmware value="20103"/><bios value="5.10.1"/><boot value=""/><duration value="120"/></device>
  <device><type value="FC HBA"/><device_id value="10df.00f1.0abc.0002"/><model value="LPe1150"/>
    <firmware value="1.0"/><bios value="2.0"/><boot value=""/><duration value="60"/></device>
</devices></marvo_fchba_reference>
)";

const char kScript[] = R"(#!/bin/sh
# Stand-in for the kit's flash script.
echo "$*" >> ./script.calls
kit=$(dirname "$0")/..
if [ "$1" = /q ]; then cat ./query.txt 2>/dev/null; exit 0; fi
echo "images:" $(ls "$kit/boot") $(ls "$kit/firmware")
echo "to stderr" >&2
echo "to fd3" >&3
code=$(cat ./code.txt)
[ "$code" = kill ] && kill -9 $$
exit "$code"
)";

// An adapter line of the query output.
std::string Line(const std::string& name, const std::string& pci, const std::string& vid,
                 const std::string& ssid, const std::string& svid, const std::string& firmware,
                 const std::string& boot) {
  return "HBA=" + name + ", Port WWN=10:00:00:00:c9:aa:bb:cc, PCI ID=" + pci + ", VID=" + vid +
         ", SSID=" + ssid + ", SVID=" + svid + ", Firmware=" + firmware + ", Boot Code=" + boot;
}

// An LPe12002 whose firmware is behind the package and whose boot code is
// current.
const std::string kBehind =
    Line("LPe12002-M8", "f100", "10df", "f100", "10df", "US2.01.12", "UB5.12.2") + "\n";

// The device that kBehind gives.
const XmlDevice kBehindDevice{"10df.f100.10df.f100",
                              "LPe12002",
                              {{"Firmware", "2.02.10", "2.01.12", "upgrade", "300", "no"},
                               {"Boot BIOS ROM", "5.12.2", "5.12.2", "rewrite", "300", ""}}};

std::string Command(const std::string& option) {
  return "./elxflashStandalone*/lx/elxflash.sh  " + option + kRedirect;
}

// Lays out the kit `kit` with this script (mode 0644: the program makes it
// executable) and empty boot/ and firmware/ directories under `dir`.
void KitTree(const fs::path& dir, const std::string& kit, const std::string& script) {
  fs::create_directories(dir / kit / "lx");
  fs::create_directories(dir / kit / "boot");
  fs::create_directories(dir / kit / "firmware");
  std::ofstream(dir / kit / "lx" / "elxflash.sh") << script;
  chmod((dir / kit / "lx" / "elxflash.sh").c_str(), 0644);
}

// Zips the kit `kit` with this script into the package directory as
// "<kit>.zip".
void Kit(Scenario& s, const std::string& script, const std::string& kit = kKit) {
  const fs::path src = fs::path(s.Root()) / "kit-src";
  fs::remove_all(src);
  KitTree(src, kit, script);
  const std::string zip = s.Root() + "/pkg/" + kit + ".zip";
  fs::remove(zip);
  const std::string command = "cd '" + src.string() + "' && zip -qr '" + zip + "' '" + kit + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The package's references and images, without a kit.
void PackageFiles(Scenario& s) {
  s.Pkg("reference.xml", kReference)
      .Pkg("boot/UB512.PRG", "boot image")
      .Pkg("firmware/US202.GRP", "firmware image");
}

// The package: references, images and the kit.
void Package(Scenario& s) {
  PackageFiles(s);
  Kit(s, kScript);
}

RunResult RunKit(Scenario& s, const std::string& query, const std::string& code,
                 const std::vector<std::string>& args) {
  s.Pkg("query.txt", query).Pkg("code.txt", code);
  return s.Run(kProgram, args);
}

class Emulex : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    if (kProgram.empty()) GTEST_SKIP() << "the Emulex executable is not part of this build";
    Package(s);
  }

  int ScriptMode() {
    struct stat st;
    const std::string path = s.Root() + "/pkg/" + kKit + "/lx/elxflash.sh";
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
  }
};

TEST_F(Emulex, SelfDiscoveryRecordsEveryReportedAdapterThatThePackageSupports) {
  const std::string query =
      "Emulex elxflash query\n"
      "\n" +
      kBehind +
      "Adapter 2: " + Line("LPe12002", "f100", "10df", "f100", "10df", "US2.01.12", "UB5.1") +
      "\n" +
      "HBA=LPe12002, VID=10df, PCI ID=f100, SSID=f100, SVID=10df, Firmware=US2.01, Boot "
      "Code=UB5\n" +
      Line("LPe12002", "0f100", "10df", "f100", "10df", "US2.01", "UB5.1") + "\n" +
      Line("LPe11000", "fe00", "10df", "fe00", "10df", "US2.01", "UB5.1") + "\n" +
      Line("LPe1150", "F1", "10DF", "2", "ABC", "xx1.0.1", "xx2.0") + "\n" +
      Line("OCe11102-FM", "0710", "10df", "e702", "10df", "4.1.450.7", "4.1.450.7") + "\n" +
      Line("LPe16002", "e200", "10df", "e201", "10df", "UX2.01.03", "UB5.10.1") + "\n" + kBehind;
  const RunResult r = RunKit(s, query, "0", {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.err, "");
  const std::string console = std::string(kRunStart) +
                              "Preparing the Emulex Kit...done\n"
                              "Generating self-discovery XML...done.\n";
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(s.Log(), console);

  EXPECT_EQ(s.ReadPkg("out.xml"),
            DiscoveryDocument("", {kBehindDevice,
                                   {"10DF.00F1.0ABC.0002",
                                    "LPe1150",
                                    {{"Firmware", "1.0", "1.0.1", "downgrade", "60", "no"},
                                     {"Boot BIOS ROM", "2.0", "2.0", "rewrite", "60", ""}}},
                                   {"10df.0710.10df.e702",
                                    "OCe11102",
                                    {{"Firmware", "4.1.450.7", "4.1.450.7", "rewrite", "600", "no"},
                                     {"Boot BIOS ROM", "4.1.450.7", "", "upgrade", "600", ""}}},
                                   {"10df.e200.10df.e201",
                                    "LPe16002",
                                    {{"Firmware", "20103", "20103", "rewrite", "120", "no"},
                                     {"Boot BIOS ROM", "5.10.1", "5.10.1", "rewrite", "120", ""}}},
                                   kBehindDevice}));

  // The kit was unpacked, its script made executable for everyone but
  // writable only by its owner, the package's images copied into it, and the
  // script asked once.
  EXPECT_EQ(ScriptMode(), 0755);
  EXPECT_EQ(s.ReadPkg(kKit + "/boot/UB512.PRG"), "boot image");
  EXPECT_EQ(s.ReadPkg(kKit + "/firmware/US202.GRP"), "firmware image");
  EXPECT_EQ(s.ReadPkg("script.calls"), "/q\n");
}

// Adapter lines past the 1024th are left out (each is looked up among all
// the references, so a query of 16 MiB of them against a large reference
// file kept the run busy for minutes): a supported adapter listed after 1024
// lines of an unsupported one is not recorded, and the run ends as one that
// found no supported adapter does.
TEST_F(Emulex, AdapterLinesPastTheBoundAreLeftOut) {
  const std::string other =
      Line("LPe11000", "fe00", "10df", "fe00", "10df", "US2.01", "UB5.1") + "\n";
  std::string query;
  for (int i = 0; i < 1023; ++i) query += other;
  const std::string console = std::string(kRunStart) +
                              "Preparing the Emulex Kit...done\n"
                              "Generating self-discovery XML...done.\n";
  for (const auto& [lines, recorded] :
       {std::pair{query + kBehind, true}, std::pair{query + other + kBehind, false}}) {
    SCOPED_TRACE(recorded ? "the 1024th line" : "the 1025th line");
    const RunResult r = RunKit(s, lines, "0", {"/d", "out.xml"});
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, console);
    EXPECT_EQ(s.ReadPkg("out.xml"),
              DiscoveryDocument(
                  "", recorded ? std::vector<XmlDevice>{kBehindDevice} : std::vector<XmlDevice>{}));
  }
}

// A kit that lists one adapter 300 times, with a packaged boot code whose
// order against the installed one comes from a text token ("12a2" against
// "12"): all 300 devices plan the same, wherever each line's strings lie.
TEST_F(Emulex, TextVersionsPlanTheSameForEveryLine) {
  std::string reference = kReference;
  reference.replace(reference.find("<bios value=\"5.12.2\"/>"), 22, "<bios value=\"5.12a2\"/>");
  s.Pkg("reference.xml", reference);
  std::string query;
  for (int i = 0; i < 300; ++i) query += kBehind;
  XmlDevice device = kBehindDevice;
  device.items[1] = {"Boot BIOS ROM", "5.12a2", "5.12.2", "upgrade", "300", ""};
  const RunResult r = RunKit(s, query, "0", {"/d", "out.xml"});
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(s.ReadPkg("out.xml"), DiscoveryDocument("", std::vector<XmlDevice>(300, device)));
}

// A query that prints 16 MiB of lines that are no adapter's: the lines are
// walked without a string for each, so the run holds the output and little
// more (it held 550 MB for 16 million empty lines), and finishes under a
// 256 MB address space (where it used to end with 7).
TEST_F(Emulex, QueryOfMillionsOfLinesTakesNoMemoryPerLine) {
  const struct {
    const char* name;
    std::string query;
  } kCases[] = {
      {"16 MiB of empty lines", std::string(size_t{16} << 20, '\n')},
      {"8 million lines of x",
       [] {
         std::string query;
         for (int i = 0; i < 8 << 20; ++i) query += "x\n";
         return query;
       }()},
  };
  const std::string console = std::string(kRunStart) +
                              "Preparing the Emulex Kit...done\n"
                              "Generating self-discovery XML...done.\n";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    s.Pkg("query.txt", c.query);
    RunResult r = s.Run(kProgram, {"/d", "out.xml"});
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, console);
    EXPECT_EQ(s.ReadPkg("out.xml"), DiscoveryDocument("", {}));
    EXPECT_LT(r.max_rss_kib, 150 << 10);
    if (kSanitized) continue;
    RunOptions options;
    options.address_space_bytes = 256 << 20;
    r = s.Run(kProgram, {"/d", "out.xml"}, options);
    ASSERT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.out, console);
  }
}

TEST_F(Emulex, FlashRunsTheScriptOnceAndMapsItsCode) {
  const struct {
    std::string code;
    Args args;
    int tool, result;
  } kCases[] =
      {
          {"0", {}, 0, 1},           {"0", {"/f"}, 0, 1},       {"1", {}, 1, 3},
          {"2", {"-e"}, 2, 7},       {"6", {}, 6, 7},           {"7", {}, 7, 7},
          {"9", {}, 9, 9},           {"200", {"/g"}, 200, 200}, {"255", {}, 255, 255},
          {"0", {"/s", "/f"}, 0, 1},  // silent: nothing on the console, nothing passed on
          {"kill", {}, 137, 137},     // a killed script has failed
      };
  for (const auto& c : kCases) {
    std::string label = "code " + c.code;
    for (const std::string& arg : c.args) label += " " + arg;
    SCOPED_TRACE(label);
    const bool forced = !c.args.empty() && c.args.back() != "/s";
    const bool silent = !c.args.empty() && c.args.front() == "/s";
    Scenario machine;
    KeepOnFailure keep(machine);
    Package(machine);
    const RunResult r = RunKit(machine, kBehind, c.code, c.args);
    ASSERT_TRUE(ExitedWith(r, c.result));
    const std::string head = std::string(kRunStart) + "Preparing the Emulex Kit...done\n" +
                             kFlashStart +
                             "Executing flash engine: " + Command(forced ? "/f" : "/update") + "\n";
    EXPECT_EQ(r.out, silent ? "" : head + FlashEnd(c.tool, c.result));
    // The script's own output lands in the log between the program's lines,
    // and it found the package's images in the kit.
    const std::string tool = "images: UB512.PRG US202.GRP\nto stderr\nto fd3\n";
    EXPECT_TRUE(FlashLog(machine.Log(), head + tool, FlashEnd(c.tool, c.result)));
    EXPECT_EQ(machine.ReadPkg("script.calls"),
              std::string("/q\n") + (forced ? "/f\n" : "/update\n"));
  }
}

TEST_F(Emulex, QueryThatPrintsNothingFindsNoHardware) {
  const std::string start = std::string(kRunStart) + "Preparing the Emulex Kit...done\n";
  const struct {
    Args args;
    std::string tail;
  } kCases[] = {
      {{}, "NOTICE : No operation was done.\n"},
      {{"/f"}, "ERROR! : No supported hardware was found.\n"},
      {{"/d", "out.xml"}, "Generating self-discovery XML...done.\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.empty() ? "no option" : c.args[0]);
    Scenario machine;
    KeepOnFailure keep(machine);
    Package(machine);
    const RunResult r = RunKit(machine, "", "0", c.args);
    ASSERT_TRUE(ExitedWith(r, 3));
    // Never "WARNING! : No supported adapters found.": no adapter list is read.
    EXPECT_EQ(r.out, start + c.tail);
    EXPECT_EQ(machine.Log(), start + c.tail);
    EXPECT_EQ(machine.ReadPkg("script.calls"), "/q\n");
  }
  Scenario machine;
  Package(machine);
  ASSERT_TRUE(ExitedWith(RunKit(machine, "", "0", {"/d", "out.xml"}), 3));
  EXPECT_EQ(machine.ReadPkg("out.xml"), DiscoveryDocument("", {}));
}

// A second run in the same package directory finds the kit unpacked: the
// archive's files replace it without a question, so a newer kit of the same
// name is the one that runs.
TEST_F(Emulex, SecondRunReplacesTheUnpackedKit) {
  ASSERT_TRUE(ExitedWith(RunKit(s, kBehind, "0", {"/d", "first.xml"}), 3));
  std::string newer = kScript;
  newer.replace(newer.find("cat ./query.txt"), 15, "sed s/US2.01.12/US2.02.10/ ./query.txt");
  Kit(s, newer);
  RunOptions options;
  options.timeout_seconds = 30;
  const RunResult r = s.Run(kProgram, {"/d", "second.xml"}, options);
  ASSERT_TRUE(ExitedWith(r, 3));
  EXPECT_EQ(r.err, "");
  const std::string second = s.ReadPkg("second.xml").value_or("");
  EXPECT_NE(second.find("<active_version value=\"2.02.10\"/>"), std::string::npos) << second;
  EXPECT_EQ(ScriptMode(), 0755);
}

// A package directory holding more than one kit: two archives, two
// unpacked kits, or one archive beside a kit of another version left by an
// earlier package. Which kit the package means is uncertain, so no kit
// script runs at all (none runs with another kit's path as its argument, and
// no update starts) and the run goes on as with a kit that reports no
// adapter. A kit whose name holds blanks or shell characters is counted but
// never named in a command.
TEST_F(Emulex, NoKitScriptRunsUnlessTheKitIsCertain) {
  const std::string v09 = "elxflashStandalone-0.9", v10 = "elxflashStandalone-1.0";
  const struct {
    const char* name;
    std::vector<std::string> archives, unpacked;
  } kLayouts[] = {
      {"two unpacked kits", {}, {v09, v10}},
      {"one archive and a leftover kit of another version", {v10}, {v09}},
      {"two archives", {v09, v10}, {}},
      {"two archives and the older kit unpacked by an earlier run", {v09, v10}, {v09}},
      {"a leftover kit named with blanks and shell characters",
       {v10},
       {v09 + " (copy);touch pwned"}},
      {"a sole kit named with shell characters", {}, {v10 + ";touch pwned"}},
  };
  const std::string start = std::string(kRunStart) + "Preparing the Emulex Kit...done\n";
  const struct {
    Args args;
    std::string tail;
  } kRuns[] = {
      {{"/d", "out.xml"}, "Generating self-discovery XML...done.\n"},
      {{}, "NOTICE : No operation was done.\n"},
      {{"/f"}, "ERROR! : No supported hardware was found.\n"},
  };
  for (const auto& layout : kLayouts) {
    for (const auto& run : kRuns) {
      SCOPED_TRACE(std::string(layout.name) + (run.args.empty() ? "" : ", " + run.args[0]));
      Scenario machine;
      KeepOnFailure keep(machine);
      PackageFiles(machine);
      for (const std::string& kit : layout.archives) Kit(machine, kScript, kit);
      for (const std::string& kit : layout.unpacked) {
        KitTree(fs::path(machine.Root()) / "pkg", kit, kScript);
      }
      // An adapter behind the package: a kit that answered would start an
      // update.
      const RunResult r = RunKit(machine, kBehind, "0", run.args);
      EXPECT_TRUE(ExitedWith(r, 3));
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(r.out, start + run.tail);
      EXPECT_EQ(machine.Log(), start + run.tail);
      EXPECT_EQ(machine.ReadPkg("script.calls"), std::nullopt);
      EXPECT_EQ(machine.ReadPkg("pwned"), std::nullopt);
      if (run.args.size() == 2) {
        EXPECT_EQ(machine.ReadPkg("out.xml"), DiscoveryDocument("", {}));
      }
    }
  }
}

// A second kit that turns up between discovery and flash (here the query
// unpacks one) leaves the flash nothing certain to run: nothing starts and
// the run has failed.
TEST_F(Emulex, KitThatBecomesUncertainBeforeFlashIsNotRun) {
  std::string copying = kScript;
  const std::string query = "if [ \"$1\" = /q ]; then ";
  copying.replace(copying.find(query), query.size(),
                  query + "cp -r \"$kit\" ./elxflashStandalone-0.9; ");
  Kit(s, copying);
  const RunResult r = RunKit(s, kBehind, "0", {});
  ASSERT_TRUE(ExitedWith(r, 7));
  EXPECT_EQ(r.err, "");
  const std::string console = std::string(kRunStart) + "Preparing the Emulex Kit...done\n" +
                              kFlashStart + "Flash complete [7]\n";
  EXPECT_EQ(r.out, console);
  EXPECT_EQ(s.Log(), console);
  EXPECT_EQ(s.ReadPkg("script.calls"), "/q\n");
}

// Where the kit is certain it is used, whatever else the package directory
// holds under the kit's name: without an archive, the kit an earlier run
// unpacked; beside the archive, a file, a directory without a script and a
// directory named like an archive.
TEST_F(Emulex, OneKitAmongOtherNamesIsUsed) {
  const struct {
    const char* name;
    bool archive;
    std::vector<std::string> others;
  } kLayouts[] = {
      {"no archive, the kit unpacked earlier", false, {}},
      {"the archive among other names",
       true,
       {"elxflashStandalone-notes.txt", "elxflashStandalone-docs/", "elxflashStandalone-old.zip/"}},
  };
  for (const auto& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    Scenario machine;
    KeepOnFailure keep(machine);
    PackageFiles(machine);
    const fs::path pkg = fs::path(machine.Root()) / "pkg";
    if (layout.archive) {
      Kit(machine, kScript);
    } else {
      KitTree(pkg, kKit, kScript);
    }
    for (const std::string& other : layout.others) {
      if (other.back() == '/') {
        fs::create_directories(pkg / other / "boot");
      } else {
        machine.Pkg(other, "notes");
      }
    }
    const RunResult r = RunKit(machine, kBehind, "0", {"/d", "out.xml"});
    EXPECT_TRUE(ExitedWith(r, 3));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, std::string(kRunStart) +
                         "Preparing the Emulex Kit...done\n"
                         "Generating self-discovery XML...done.\n");
    EXPECT_EQ(machine.ReadPkg("out.xml"), DiscoveryDocument("", {kBehindDevice}));
    EXPECT_EQ(machine.ReadPkg("script.calls"), "/q\n");
    EXPECT_EQ(machine.ReadPkg(kKit + "/boot/UB512.PRG"), "boot image");
    EXPECT_EQ(machine.ReadPkg(kKit + "/firmware/US202.GRP"), "firmware image");
  }
}

}  // namespace
}  // namespace zrn_sim
