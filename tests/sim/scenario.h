// The simulated machine: a scenario lays out the files a test wants the
// program to see under its fixed paths, then runs a program in a private
// mount namespace where those files are laid over the real ones.
//
// A scenario lives in a temporary directory of its own, removed when the
// Scenario is destroyed (unless Keep() was called). Beneath it:
//   etc/        overlay upper directory for /etc
//   usr_lib/    overlay upper directory for /usr/lib (and /lib when /lib
//               is a symlink into /usr/lib, as on Debian)
//   usr_lib64/  overlay upper directory for /usr/lib64
//   lib/        overlay upper directory for /lib, only where /lib is a
//               directory of its own
//   var/        overlay upper directory for /var
//   sys/        the whole of /sys (bind-mounted; the real /sys is hidden)
//   pkg/        the package directory, the program's working directory
//   .work/      overlay work directories
// The real files stay visible beneath the overlays; whatever the run writes
// under /etc, /usr/lib, /usr/lib64, /lib or /var lands in the scenario's
// directory, so the host is never changed and the test can read it back.
//
// So that a scenario does not depend on the host's state, the paths the
// program reads that a test would otherwise inherit from the host
// ("/etc/hba.conf", "/etc/redhat-release", "/etc/SuSE-release" and
// "/var/zrn") are hidden at run time unless the scenario itself provides
// them.
//
// A test states its machine in a few lines:
//   Scenario s;
//   s.Etc("hba.conf", "qlogic\t/usr/lib64/libstandin.so\n")
//       .CopyFile("/usr/lib64/libstandin.so", built_library_path)
//       .SysPciDevice("0000:05:00.0", 0x1077, 0x2532, 0x1077, 0x015d)
//       .Pkg("reference.xml", xml);
//   RunResult r = s.Run(program, {"/d", "out.xml"});
//   ... r.out, r.err, r.exit_code, s.Log(), s.ReadPkg("out.xml")
//
// Not thread-safe: one thread drives one Scenario. Needs root (mounts).

#ifndef ZRN_TESTS_SIM_SCENARIO_H_
#define ZRN_TESTS_SIM_SCENARIO_H_

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace zrn_sim {

// What one run of a program left behind.
struct RunResult {
  std::string out;      // everything the program wrote to standard output
  std::string err;      // everything it wrote to standard error
  bool exited = false;  // the program ended by exit(); exit_code is valid
  int exit_code = -1;
  int signal = 0;           // the signal that ended it, when it did not exit
  bool timed_out = false;   // killed because it ran past its time limit
  int time_limit = 0;       // the limit of the run, in seconds
  long max_rss_kib = 0;     // the most memory the program held at once, in KiB
  // Processor time (user and system) of the program and of every process
  // it waited for, in seconds.
  double cpu_seconds = 0;
  std::string setup_error;  // the machine could not be set up; nothing ran

  // True when the program ran and exited with `code`.
  bool ExitedWith(int code) const { return setup_error.empty() && exited && exit_code == code; }
  // One line telling how the run ended: "exit code 7", "killed by signal 11
  // (Segmentation fault)", "timed out after 60 s", or the setup error.
  std::string Describe() const;
};

struct RunOptions {
  int timeout_seconds = 60;
  // argv[0] for the program; the program's path when unset.
  std::optional<std::string> argv0;
  // What the program inherits from its caller: a file-creation mask (the
  // test process's own when unset), and SIGCHLD ignored, as a daemon may
  // leave it.
  std::optional<mode_t> umask;
  bool ignore_sigchld = false;
  // When set, the program's address space is limited to this many bytes,
  // so that memory runs out where a small machine's would.
  std::optional<rlim_t> address_space_bytes;
  // When set, the program runs under this processor-time limit, soft and
  // hard alike, as a caller's "ulimit -t" leaves it.
  std::optional<rlim_t> cpu_seconds_limit;
  // When not empty, standard output goes to this file of the package
  // directory (made anew) instead of a pipe, so that the tools the program
  // runs can read what it has written so far; `out` is read back from it.
  std::string stdout_pkg_file;
  // Standard output is a pipe whose reading end is already closed, as when
  // an installer that read the console has gone; `out` stays empty.
  bool stdout_reader_gone = false;
};

class Scenario {
 public:
  // Makes a fresh scenario under $TMPDIR (or /tmp). On failure Root() is
  // empty and Run() reports the setup error.
  Scenario();
  ~Scenario();
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  const std::string& Root() const { return root_; }
  // Keeps the scenario directory when the Scenario is destroyed.
  void Keep() { keep_ = true; }
  // The first error met while laying out files (empty when none); Run()
  // reports it as its setup error as well.
  const std::string& LayoutError() const { return layout_error_; }

  // Files on the simulated machine, by absolute path under /etc, /usr/lib,
  // /usr/lib64, /lib, /var or /sys. Parent directories are created. An
  // existing entry at the path is replaced.
  Scenario& File(const std::string& machine_path, const std::string& content, mode_t mode = 0644);
  // Copies the file at `source` (e.g. a shared library built next to the
  // tests) to `machine_path`.
  Scenario& CopyFile(const std::string& machine_path, const std::string& source,
                     mode_t mode = 0755);
  Scenario& Dir(const std::string& machine_path);
  Scenario& Symlink(const std::string& machine_path, const std::string& target);
  // Hides whatever the host has at `machine_path` (not under /sys, which is
  // the scenario's alone).
  Scenario& Absent(const std::string& machine_path);
  // Copies a directory laid out like a scenario (any of etc/, usr_lib/,
  // usr_lib64/, lib/, var/, sys/, pkg/) into this one, keeping modes and
  // symlinks: a captured sysfs tree, a demo machine.
  Scenario& Import(const std::string& tree);

  // Shorthands: a file under /etc, under /sys, in the package directory.
  Scenario& Etc(const std::string& rel, const std::string& content) {
    return File("/etc/" + rel, content);
  }
  Scenario& Sys(const std::string& rel, const std::string& content) {
    return File("/sys/" + rel, content);
  }
  Scenario& Pkg(const std::string& rel, const std::string& content, mode_t mode = 0644);
  Scenario& PkgCopy(const std::string& rel, const std::string& source, mode_t mode = 0755);

  // A PCI function under /sys/bus/pci/devices/<address>/ (real directories,
  // as `find /sys` must meet them), with its vendor, device,
  // subsystem_vendor and subsystem_device files holding "0x%04x\n".
  Scenario& SysPciDevice(const std::string& address, unsigned vendor, unsigned device,
                         unsigned subsystem_vendor, unsigned subsystem_device);

  // Runs `program` with `args` on this machine: in a private mount
  // namespace, working directory pkg/, environment passed through, standard
  // input from /dev/null. Can be called again: each run sees what the
  // earlier ones wrote.
  RunResult Run(const std::string& program, const std::vector<std::string>& args,
                const RunOptions& options = RunOptions());

  // What the machine holds at `machine_path` after a run, as far as the
  // scenario laid it out or a run wrote it (not the host's files); nullopt
  // when there is no regular file there.
  std::optional<std::string> Read(const std::string& machine_path) const;
  // The component log "/var/zrn/Component.log"; nullopt when it does not exist.
  std::optional<std::string> Log() const { return Read("/var/zrn/Component.log"); }
  // A file of the package directory; nullopt when it does not exist.
  std::optional<std::string> ReadPkg(const std::string& rel) const;
  // The names in the package directory, sorted.
  std::vector<std::string> PkgEntries() const;

  // Where `machine_path` lies inside the scenario directory ("" when the
  // path is outside the simulated trees, with the reason in *why).
  std::string HostPath(const std::string& machine_path, std::string* why = nullptr) const;

 private:
  void Fail(const std::string& what);
  std::string Prepare(const std::string& machine_path);
  std::string HideHostDefaults();

  std::string root_;
  bool keep_ = false;
  bool lib_is_usr_lib_ = true;  // /lib resolves to /usr/lib on this host
  std::string layout_error_;
};

}  // namespace zrn_sim

#endif  // ZRN_TESTS_SIM_SCENARIO_H_
