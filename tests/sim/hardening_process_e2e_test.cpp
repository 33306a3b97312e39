// The built program, unchanged, meeting what its caller and other users may
// leave in its way: a link, a FIFO or a directory at the log's path, a
// /var/zrn that is a link or writable by everyone, the caller's
// file-creation mask (000, or a stricter one such as 077), SIGCHLD ignored,
// and standard output going to a file that is read while the flash tool
// runs. The machine is the demo's: two QLogic adapters, one of them with an
// upgrade pending, so a plain run flashes.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/sim/console_texts.h"
#include "tests/sim/scenario.h"
#include "tests/sim/sim_test.h"

namespace zrn_sim {
namespace {

const std::string kProgram = ZRN_PROGRAM;

const std::string kFlashing = kFlashStart + "Executing flash engine: ./tarvqlafwupdate\n";
const std::string kConsole =
    kRunStart + kFlashing + "Flash Engine exit code: 0\nFlash complete [1]\n";

// The stand-in flash tool: copies what the program has written to
// ./console.out so far (when the run sends its console there), marks that it
// ran, writes a line to each descriptor that the command sends to the log,
// and succeeds.
const char kTool[] =
    "#!/bin/sh\n"
    "if [ -f console.out ]; then cp console.out console-at-start; fi\n"
    "echo ran >> tool-ran\n"
    "echo 'tool: standard output'\n"
    "echo 'tool: standard error' >&2\n"
    "echo 'tool: descriptor 3' >&3\n"
    "exit 0\n";
const std::string kToolOutput = "tool: standard output\ntool: standard error\ntool: descriptor 3\n";
// The log of a whole run: the messages with the tool's output between them.
const std::string kLog =
    kRunStart + kFlashing + kToolOutput + "Flash Engine exit code: 0\nFlash complete [1]\n";

// A root-only file elsewhere on the machine, and where a dangling link
// points.
const char kSecret[] = "/etc/zrn-secret";
const char kNowhere[] = "/etc/zrn-made";

void DemoMachine(Scenario& s) {
  s.Import(ZRN_DEMO_DIR)
      .CopyFile("/usr/lib/libqlsdm.so", ZRN_STANDIN_EXT_LIBRARY)
      .CopyFile("/usr/lib64/libfchba_emx.so", ZRN_STANDIN_LIBRARY)
      .CopyFile("/usr/lib64/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY)
      .Pkg("tarvqlafwupdate", kTool, 0755)
      .File(kSecret, "root only\n", 0600);
}

// The type and permission bits of what the machine holds at the path, not
// following a link there; 0 when nothing is there.
mode_t ModeAt(const Scenario& s, const std::string& machine_path) {
  struct stat st;
  if (::lstat(s.HostPath(machine_path).c_str(), &st) != 0) return 0;
  return st.st_mode & (S_IFMT | 07777);
}

// The same for a file of the package directory.
mode_t PkgModeAt(const Scenario& s, const std::string& rel) {
  struct stat st;
  if (::lstat((s.Root() + "/pkg/" + rel).c_str(), &st) != 0) return 0;
  return st.st_mode & (S_IFMT | 07777);
}

class HardenedRun : public ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    DemoMachine(s);
  }
};

// A link at the log's path is removed before anything is written: the file
// it leads to is left as it was (a dangling link makes nothing appear where
// it points), and the log is a regular file holding the run's messages and
// the tool's output.
TEST(HardenedLog, LinkAtTheLogPathIsNeverWrittenThrough) {
  const struct {
    const char* what;
    const char* target;
  } kCases[] = {{"link to a root-only file", kSecret}, {"dangling link", kNowhere}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    KeepOnFailure keep(s);
    DemoMachine(s);
    s.Symlink("/var/zrn/Component.log", c.target);
    RunResult r = s.Run(kProgram, {});
    ASSERT_TRUE(ExitedWith(r, 1));
    EXPECT_EQ(r.out, kConsole);
    EXPECT_EQ(s.Read(kSecret), "root only\n");
    EXPECT_EQ(ModeAt(s, kSecret), S_IFREG | 0600);
    EXPECT_EQ(ModeAt(s, kNowhere), 0u);
    EXPECT_EQ(ModeAt(s, "/var/zrn/Component.log"), S_IFREG | 0644);
    EXPECT_EQ(s.Log(), kLog);
    EXPECT_EQ(s.ReadPkg("tool-ran"), "ran\n");
  }
}

// A log at the path that belongs to another user (as after a restore) keeps
// its earlier text: it is moved aside to Component.log.foreign.1 with its
// owner and mode, and the run's messages and the tool's output go to a log
// made anew.
TEST(HardenedLog, AnotherUsersLogIsMovedAsideWithItsText) {
  Scenario s;
  KeepOnFailure keep(s);
  DemoMachine(s);
  s.File("/var/zrn/Component.log", "earlier runs\n", 0644);
  ASSERT_EQ(::chown(s.HostPath("/var/zrn/Component.log").c_str(), 4321, 4321), 0);
  RunResult r = s.Run(kProgram, {});
  ASSERT_TRUE(ExitedWith(r, 1));
  EXPECT_EQ(r.out, kConsole);
  EXPECT_EQ(s.Log(), kLog);
  EXPECT_EQ(s.Read("/var/zrn/Component.log.foreign.1"), "earlier runs\n");
  struct stat st;
  ASSERT_EQ(::lstat(s.HostPath("/var/zrn/Component.log.foreign.1").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(ModeAt(s, "/var/zrn/Component.log.foreign.2"), 0u);
}

// When the log's path cannot hold the log, every message is followed by the
// error line and the tool is not run, since its output would go wherever the
// path leads (a FIFO there used to keep the run waiting forever). A /var/zrn
// that is a link is not followed: nothing is created where it points.
TEST(HardenedLog, LogThatCannotBeMadeRunsNoTool) {
  const struct {
    const char* what;
    std::function<void(Scenario&)> make;
    const char* path;  // what stays there
    mode_t type;
  } kCases[] = {
      {"FIFO at the log path",
       [](Scenario& s) {
         s.Dir("/var/zrn");
         ASSERT_EQ(::mkfifo(s.HostPath("/var/zrn/Component.log").c_str(), 0666), 0);
       },
       "/var/zrn/Component.log", S_IFIFO},
      {"directory at the log path", [](Scenario& s) { s.Dir("/var/zrn/Component.log"); },
       "/var/zrn/Component.log", S_IFDIR},
      {"/var/zrn a link to a directory",
       [](Scenario& s) { s.Dir("/etc/zrn-dir").Symlink("/var/zrn", "/etc/zrn-dir"); }, "/var/zrn",
       S_IFLNK},
  };
  const std::vector<std::string> messages = {std::string(51, '-') + "\n",
                                             "Loading references...",
                                             "done.\n",
                                             "Performing discovery...\n",
                                             "Performing flash -- DO NOT INTERRUPT!\n",
                                             "Executing flash engine: ",
                                             "./tarvqlafwupdate",
                                             "\n",
                                             "Flash Engine exit code: ",
                                             "2",
                                             "\n",
                                             "Flash complete [",
                                             "7",
                                             "]\n"};
  std::string console;
  for (const std::string& m : messages) console += m + kLogError;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    KeepOnFailure keep(s);
    DemoMachine(s);
    c.make(s);
    RunResult r = s.Run(kProgram, {});
    ASSERT_TRUE(ExitedWith(r, 7));
    EXPECT_EQ(r.out, console);
    EXPECT_EQ(s.ReadPkg("tool-ran"), std::nullopt);
    EXPECT_EQ(ModeAt(s, c.path) & S_IFMT, c.type);
    EXPECT_EQ(ModeAt(s, "/etc/zrn-dir/Component.log"), 0u);
  }
}

// The caller's mask is kept with the group's and others' write permission
// added: under 000 the directory and the log are still made 0755 and 0644,
// while a stricter mask such as 027 or 077 keeps the directory, the log, the
// self-discovery file and what the flash tool writes as private as the
// caller made them. A directory and log that an earlier run left writable by
// everyone lose the write permission of the group and others.
TEST(HardenedLog, MaskOfTheCallerLeavesNothingWritableByOthers) {
  const struct {
    mode_t mask;
    const char* what;
    bool earlier;              // an earlier run left the directory and log writable by everyone
    mode_t dir, log, created;  // the permissions the runs leave
  } kCases[] = {
      {000, "mask 000", false, 0755, 0644, 0644},
      {000, "mask 000, left writable", true, 0755, 0644, 0644},
      {002, "mask 002", false, 0755, 0644, 0644},
      {027, "mask 027", false, 0750, 0640, 0640},
      {077, "mask 077", false, 0700, 0600, 0600},
      {077, "mask 077, left writable", true, 0755, 0644, 0600},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Scenario s;
    KeepOnFailure keep(s);
    DemoMachine(s);
    if (c.earlier) {
      s.File("/var/zrn/Component.log", "earlier run\n", 0666);
      ASSERT_EQ(::chmod(s.HostPath("/var/zrn").c_str(), 0777), 0);
    }
    RunOptions options;
    options.umask = c.mask;
    RunResult r = s.Run(kProgram, {"/d", "out.xml"}, options);
    ASSERT_TRUE(ExitedWith(r, 3));
    r = s.Run(kProgram, {}, options);
    ASSERT_TRUE(ExitedWith(r, 1));
    EXPECT_EQ(ModeAt(s, "/var/zrn"), S_IFDIR | c.dir);
    EXPECT_EQ(ModeAt(s, "/var/zrn/Component.log"), S_IFREG | c.log);
    EXPECT_EQ(PkgModeAt(s, "out.xml"), S_IFREG | c.created);
    EXPECT_EQ(PkgModeAt(s, "tool-ran"), S_IFREG | c.created);
    EXPECT_EQ(s.Log(), (c.earlier ? "earlier run\n" : "") + kRunStart + kXmlDone + kLog);
  }
}

// A caller that ignores SIGCHLD passes that on; the program restores the
// default, so the shell that ran the tool is collected and its status read.
TEST_F(HardenedRun, ToolSucceedsWhenTheCallerIgnoresSigchld) {
  RunOptions options;
  options.ignore_sigchld = true;
  RunResult r = s.Run(kProgram, {}, options);
  ASSERT_TRUE(ExitedWith(r, 1));
  EXPECT_EQ(r.out, kConsole);
  EXPECT_EQ(s.Log(), kLog);
}

// With standard output going to a file (an installer's log), everything the
// program said before the tool starts is already in that file when the tool
// starts.
TEST_F(HardenedRun, ConsoleIsWrittenOutBeforeTheToolStarts) {
  RunOptions options;
  options.stdout_pkg_file = "console.out";
  RunResult r = s.Run(kProgram, {}, options);
  ASSERT_TRUE(ExitedWith(r, 1));
  EXPECT_EQ(r.out, kConsole);
  EXPECT_EQ(s.ReadPkg("console-at-start"), kRunStart + kFlashing);
}

// An installer that read the console and has gone leaves a pipe nobody
// reads: the console text is lost, but the run goes on to the end, so the
// log is whole and the tool's code still becomes the exit code.
TEST_F(HardenedRun, RunEndsNormallyWhenNobodyReadsTheConsole) {
  RunOptions options;
  options.stdout_reader_gone = true;
  RunResult r = s.Run(kProgram, {}, options);
  ASSERT_TRUE(ExitedWith(r, 1));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(s.Log(), kLog);
  EXPECT_EQ(s.ReadPkg("tool-ran"), "ran\n");
}

}  // namespace
}  // namespace zrn_sim
