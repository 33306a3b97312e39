// The simulated machine itself, driven with /bin/sh: what a run sees, what
// it reports, and that the host is never touched.

#include "tests/sim/scenario.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/sim_test.h"

namespace zrn_sim {
namespace {

namespace fs = std::filesystem;

const char kSh[] = "/bin/sh";

RunResult Sh(Scenario& s, const std::string& script, const RunOptions& options = RunOptions()) {
  return s.Run(kSh, {"-c", script}, options);
}

std::optional<std::string> HostFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(path, ec))) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

using SimulatedMachine = ScenarioTest;

TEST_F(SimulatedMachine, KeepsStdoutStderrAndExitCodeApart) {
  RunResult r = Sh(s, "printf 'to out\\n'; printf 'to err' >&2; printf more; exit 5");
  ASSERT_TRUE(ExitedWith(r, 5));
  EXPECT_EQ(r.out, "to out\nmore");
  EXPECT_EQ(r.err, "to err");
}

TEST_F(SimulatedMachine, ReportsTheSignalThatEndedTheProgram) {
  RunResult r = Sh(s, "kill -SEGV $$");
  EXPECT_FALSE(r.exited);
  EXPECT_EQ(r.signal, 11);
  EXPECT_EQ(r.Describe(), "killed by signal 11 (Segmentation fault)");
  EXPECT_FALSE(r.ExitedWith(0));
}

TEST_F(SimulatedMachine, KillsARunThatOutlivesItsTimeLimit) {
  RunOptions options;
  options.timeout_seconds = 1;
  // The background sleep keeps the pipes open after the shell is killed:
  // the whole process group goes.
  RunResult r = Sh(s, "printf started; sleep 300 & sleep 300", options);
  EXPECT_TRUE(r.timed_out);
  EXPECT_FALSE(r.exited);
  EXPECT_EQ(r.out, "started");
  EXPECT_EQ(r.Describe(), "timed out after 1 s and killed");
}

TEST_F(SimulatedMachine, ReadsLargeOutputOnBothStreamsWithoutDeadlock) {
  // Each stream alone is far beyond a pipe's buffer, and the program fills
  // standard output first, then standard error, then standard output again.
  RunResult r = Sh(s,
                   "head -c 300000 /dev/zero | tr '\\0' o;"
                   "head -c 300000 /dev/zero | tr '\\0' e >&2;"
                   "head -c 100000 /dev/zero | tr '\\0' O");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out, std::string(300000, 'o') + std::string(100000, 'O'));
  EXPECT_EQ(r.err, std::string(300000, 'e'));
}

TEST_F(SimulatedMachine, PassesArgumentsArgv0AndEnvironment) {
  RunOptions options;
  options.argv0 = "/h";
  ASSERT_EQ(::setenv("ZRN_SIM_PROBE", "forty two", 1), 0);
  RunResult r = s.Run(kSh,
                      {"-c", "tr '\\0' '|' < /proc/$$/cmdline; printf '[%s]' \"$ZRN_SIM_PROBE\"",
                       "name", "a b", ""},
                      options);
  ::unsetenv("ZRN_SIM_PROBE");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out,
            "/h|-c|tr '\\0' '|' < /proc/$$/cmdline; printf '[%s]' \"$ZRN_SIM_PROBE\"|name|a b||"
            "[forty two]");
}

TEST_F(SimulatedMachine, RunsInThePackageDirectoryWithNoStandardInput) {
  s.Pkg("reference.xml", "<x/>\n").Pkg("tool.sh", "#!/bin/sh\necho tool \"$@\"\n", 0755);
  RunResult r = Sh(s, "pwd; cat reference.xml; ./tool.sh 1 2; cat; echo end");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out, s.Root() + "/pkg\n<x/>\ntool 1 2\nend\n");
}

TEST_F(SimulatedMachine, LaysScenarioFilesOverTheRealTrees) {
  s.Etc("hba.conf", "qlogic\t/usr/lib64/libprobe.so\n")
      .File("/usr/lib/libprobe.so", "L\n")
      .File("/usr/lib64/libprobe.so", "L64\n")
      .File("/lib/cim/libprobe.so", "CIM\n")
      .File("/var/zrn/seed", "V\n");
  std::optional<std::string> passwd = HostFile("/etc/passwd");
  ASSERT_TRUE(passwd.has_value());
  RunResult r = Sh(s,
                   "cat /etc/hba.conf /usr/lib/libprobe.so /usr/lib64/libprobe.so "
                   "/lib/cim/libprobe.so /var/zrn/seed /etc/passwd");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out, "qlogic\t/usr/lib64/libprobe.so\nL\nL64\nCIM\nV\n" + *passwd);
  EXPECT_EQ(r.err, "");
}

TEST_F(SimulatedMachine, SysHoldsTheScenarioTreeAlone) {
  s.SysPciDevice("0000:05:00.0", 0x1077, 0x2532, 0x1077, 0x015d);
  RunResult r = Sh(s,
                   "find /sys | LC_ALL=C sort; cat /sys/bus/pci/devices/0000:05:00.0/vendor "
                   "/sys/bus/pci/devices/0000:05:00.0/subsystem_device; test -e /sys/kernel || "
                   "echo no-kernel");
  ASSERT_TRUE(ExitedWith(r, 0));
  const std::string dev = "/sys/bus/pci/devices/0000:05:00.0";
  EXPECT_EQ(r.out, "/sys\n/sys/bus\n/sys/bus/pci\n/sys/bus/pci/devices\n" + dev + "\n" + dev +
                       "/device\n" + dev + "/subsystem_device\n" + dev + "/subsystem_vendor\n" +
                       dev + "/vendor\n0x1077\n0x015d\nno-kernel\n");
}

TEST_F(SimulatedMachine, EmptyScenarioHasAnEmptySys) {
  RunResult r = Sh(s, "ls -A /sys; echo end");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out, "end\n");
}

TEST_F(SimulatedMachine, HidesHostFilesOnRequestAndTheProgramPathsByDefault) {
  ASSERT_TRUE(HostFile("/etc/passwd").has_value());
  s.Absent("/etc/passwd");
  RunResult r = Sh(s,
                   "for f in /etc/passwd /etc/hba.conf /etc/redhat-release /etc/SuSE-release "
                   "/var/zrn; do test -e $f && echo $f; done; echo end");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out, "end\n");
  EXPECT_FALSE(s.Read("/etc/passwd").has_value());
}

TEST_F(SimulatedMachine, NeverChangesTheHost) {
  const std::vector<std::string> watched = {"/etc/hba.conf",          "/var/zrn/Component.log",
                                            "/usr/lib/zrn-sim-probe", "/usr/lib64/zrn-sim-probe",
                                            "/lib/cim/zrn-sim-probe", "/etc/debian_version"};
  std::vector<std::optional<std::string>> before;
  for (const std::string& path : watched) before.push_back(HostFile(path));
  const bool have_version = before.back().has_value();
  const bool have_var_zrn = fs::exists("/var/zrn");

  RunResult r = Sh(s,
                   "echo conf > /etc/hba.conf && mkdir -p /var/zrn && "
                   "echo line >> /var/zrn/Component.log && echo x > /usr/lib/zrn-sim-probe && "
                   "echo y > /usr/lib64/zrn-sim-probe && mkdir -p /lib/cim && "
                   "echo c > /lib/cim/zrn-sim-probe && echo s > /sys/zrn-sim-probe && "
                   "{ test ! -e /etc/debian_version || echo extra >> /etc/debian_version; }");
  ASSERT_TRUE(ExitedWith(r, 0));

  for (size_t i = 0; i < watched.size(); ++i) {
    std::optional<std::string> after = HostFile(watched[i]);
    EXPECT_EQ(after, before[i]) << watched[i] << " changed on the host";
    if (after != before[i] && before[i]) {
      std::ofstream(watched[i], std::ios::binary | std::ios::trunc) << *before[i];
    }
  }
  EXPECT_EQ(fs::exists("/var/zrn"), have_var_zrn);
  EXPECT_FALSE(fs::exists("/sys/zrn-sim-probe"));

  EXPECT_EQ(s.Read("/etc/hba.conf"), "conf\n");
  EXPECT_EQ(s.Log(), "line\n");
  EXPECT_EQ(s.Read("/usr/lib/zrn-sim-probe"), "x\n");
  EXPECT_EQ(s.Read("/usr/lib64/zrn-sim-probe"), "y\n");
  EXPECT_EQ(s.Read("/lib/cim/zrn-sim-probe"), "c\n");
  EXPECT_EQ(s.Read("/sys/zrn-sim-probe"), "s\n");
  if (have_version) {
    EXPECT_EQ(s.Read("/etc/debian_version"), *before.back() + "extra\n");
  }
}

TEST_F(SimulatedMachine, LaterRunsSeeWhatEarlierRunsWrote) {
  ASSERT_TRUE(ExitedWith(Sh(s, "mkdir -p /var/zrn && echo one >> /var/zrn/Component.log"), 0));
  ASSERT_TRUE(ExitedWith(Sh(s, "echo two >> /var/zrn/Component.log"), 0));
  EXPECT_EQ(s.Log(), "one\ntwo\n");
}

TEST_F(SimulatedMachine, ReportsAProgramThatCannotBeStarted) {
  RunResult r = s.Run("/nonexistent/program", {});
  EXPECT_EQ(r.setup_error, "exec /nonexistent/program: No such file or directory");
  EXPECT_FALSE(r.ExitedWith(127));
}

TEST(ScenarioLayout, RejectsPathsOffTheSimulatedMachine) {
  struct Case {
    const char* path;
    const char* error;
  } cases[] = {
      {"/opt/x",
       "not on the simulated machine (under /etc, /usr/lib, /usr/lib64, /lib, /var or "
       "/sys): /opt/x"},
      {"etc/hba.conf", "not an absolute path: etc/hba.conf"},
      {"/etc/../opt/x", "\"..\" in /etc/../opt/x"},
      {"/usr/libexec/x",
       "not on the simulated machine (under /etc, /usr/lib, /usr/lib64, /lib, "
       "/var or /sys): /usr/libexec/x"},
  };
  for (const Case& c : cases) {
    Scenario s;
    s.File(c.path, "x");
    EXPECT_EQ(s.LayoutError(), c.error) << c.path;
    RunResult r = s.Run(kSh, {"-c", "exit 0"});
    EXPECT_EQ(r.setup_error, c.error) << c.path;
    EXPECT_FALSE(r.exited);
  }
  Scenario s;
  s.Absent("/sys/bus");
  EXPECT_EQ(s.LayoutError(), "/sys holds only the scenario's files; nothing to hide: /sys/bus");
  Scenario p;
  p.Pkg("../escape", "x");
  EXPECT_EQ(p.LayoutError(), "not a path inside the package directory: ../escape");
}

TEST(ScenarioLayout, RemovesItsDirectoryUnlessKept) {
  std::string removed, kept;
  {
    Scenario s;
    s.Etc("hba.conf", "x\n");
    ASSERT_TRUE(ExitedWith(s.Run(kSh, {"-c", "mkdir -p /var/zrn && touch /var/zrn/f"}), 0));
    removed = s.Root();
  }
  {
    Scenario s;
    s.Keep();
    kept = s.Root();
  }
  EXPECT_FALSE(fs::exists(removed));
  EXPECT_TRUE(fs::is_directory(kept));
  fs::remove_all(kept);
}

TEST(ScenarioLayout, ScenariosAreIndependent) {
  Scenario a, b;
  a.Etc("hba.conf", "a\n");
  ASSERT_NE(a.Root(), b.Root());
  EXPECT_EQ(a.Read("/etc/hba.conf"), "a\n");
  EXPECT_FALSE(b.Read("/etc/hba.conf").has_value());
}

TEST_F(SimulatedMachine, ImportsAScenarioTree) {
  const fs::path tree = s.Root() + "-tree";
  fs::create_directories(tree / "etc");
  fs::create_directories(tree / "pkg");
  fs::create_directories(tree / "sys/devices/pci0000:00/0000:00:01.0");
  fs::create_directories(tree / "sys/bus/pci/devices");
  std::ofstream(tree / "etc/hba.conf") << "conf\n";
  std::ofstream(tree / "pkg/flash.sh") << "#!/bin/sh\necho flashed\n";
  fs::permissions(tree / "pkg/flash.sh", fs::perms(0755));
  fs::create_symlink("../../../devices/pci0000:00/0000:00:01.0",
                     tree / "sys/bus/pci/devices/0000:00:01.0");
  std::ofstream(tree / "sys/devices/pci0000:00/0000:00:01.0/vendor") << "0x1077\n";

  s.Import(tree.string());
  fs::remove_all(tree);
  ASSERT_EQ(s.LayoutError(), "");
  RunResult r =
      Sh(s, "cat /etc/hba.conf; ./flash.sh; cat /sys/bus/pci/devices/0000:00:01.0/vendor");
  ASSERT_TRUE(ExitedWith(r, 0));
  EXPECT_EQ(r.out, "conf\nflashed\n0x1077\n");

  Scenario bad;
  const fs::path odd = bad.Root() + "-odd";
  fs::create_directories(odd / "opt");
  bad.Import(odd.string());
  fs::remove_all(odd);
  EXPECT_EQ(bad.LayoutError(), "unknown directory in the scenario " + odd.string() + ": opt");
}

}  // namespace
}  // namespace zrn_sim
