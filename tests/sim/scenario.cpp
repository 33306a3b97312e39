#include "tests/sim/scenario.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace zrn_sim {
namespace fs = std::filesystem;

namespace {

// The trees of the machine and the scenario directory that holds each.
// "/usr/lib64" comes before "/usr/lib" only for readability: matching is by
// whole path components.
struct Tree {
  const char* machine;
  const char* dir;
};
constexpr Tree kTrees[] = {
    {"/etc", "etc"},         {"/usr/lib64", "usr_lib64"},
    {"/usr/lib", "usr_lib"}, {"/lib", "lib"},
    {"/var", "var"},         {"/sys", "sys"},
};
constexpr const char* kPkgDir = "pkg";
constexpr const char* kWorkDir = ".work";

// Paths the program reads that a scenario must not inherit from the host.
constexpr const char* kHiddenByDefault[] = {
    "/etc/hba.conf",
    "/etc/redhat-release",
    "/etc/SuSE-release",
    "/var/zrn",
};

bool Within(const std::string& path, const std::string& prefix, std::string* rest) {
  if (path == prefix) {
    rest->clear();
    return true;
  }
  if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
      path[prefix.size()] == '/') {
    *rest = path.substr(prefix.size() + 1);
    return true;
  }
  return false;
}

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

bool WriteWhole(const std::string& path, const std::string& content, mode_t mode,
                std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    *error = ErrnoText("cannot create " + path, errno);
    return false;
  }
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = ErrnoText("cannot write " + path, errno);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  // The mode given wins over the umask, so a stand-in tool is executable.
  if (::fchmod(fd, mode) != 0 || ::close(fd) != 0) {
    *error = ErrnoText("cannot finish " + path, errno);
    return false;
  }
  return true;
}

std::optional<std::string> ReadRegular(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One step of the child's setup, prepared in full before fork so that the
// child only makes system calls.
struct Step {
  enum Kind { kMount, kMkdir } kind;
  std::string source, target, fstype, data;
  unsigned long flags = 0;
  std::string what;  // for the report when the step fails
};

// What the child reports through its error pipe when a step fails.
struct ChildFailure {
  int step;  // index into the steps; -1 chdir, -2 exec, -3 stdio, -4 unshare
  int err;
};

[[noreturn]] void ChildFail(int report_fd, int step, int err) {
  ChildFailure failure{step, err};
  ssize_t ignored = ::write(report_fd, &failure, sizeof failure);
  (void)ignored;
  ::_exit(127);
}

void SetCloexec(int fd) { ::fcntl(fd, F_SETFD, FD_CLOEXEC); }

}  // namespace

std::string RunResult::Describe() const {
  if (!setup_error.empty()) return "machine not set up: " + setup_error;
  if (timed_out) return "timed out after " + std::to_string(time_limit) + " s and killed";
  if (exited) return "exit code " + std::to_string(exit_code);
  if (signal != 0) {
    return "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }
  return "did not run";
}

Scenario::Scenario() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp && *tmp) ? tmp : "/tmp";
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(base, ec);
  if (!ec) base = canonical.string();
  for (const Tree& tree : kTrees) {
    std::string rest;
    // Upper directories inside the trees they are laid over cannot work
    // (a $TMPDIR under /var/tmp, say): /tmp serves instead.
    if (Within(base, tree.machine, &rest)) base = "/tmp";
  }
  std::string pattern = base + "/zrn-sim-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) {
    Fail(ErrnoText("cannot create a directory in " + base, errno));
    return;
  }
  root_ = buf.data();
  // The overlay options separate their fields by "," and ":".
  if (root_.find_first_of(",:") != std::string::npos) {
    Fail("the scenario directory " + root_ + " holds \",\" or \":\"");
    return;
  }
  fs::path lib = fs::weakly_canonical("/lib", ec);
  lib_is_usr_lib_ = !ec && lib == fs::weakly_canonical("/usr/lib", ec);
  for (const Tree& tree : kTrees) fs::create_directory(fs::path(root_) / tree.dir, ec);
  fs::create_directory(fs::path(root_) / kPkgDir, ec);
  fs::create_directory(fs::path(root_) / kWorkDir, ec);
  if (ec) Fail(ErrnoText("cannot lay out " + root_, ec.value()));
}

Scenario::~Scenario() {
  if (keep_ || root_.empty()) return;
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void Scenario::Fail(const std::string& what) {
  if (layout_error_.empty()) layout_error_ = what;
}

std::string Scenario::HostPath(const std::string& machine_path, std::string* why) const {
  std::string ignored;
  std::string& reason = why ? *why : ignored;
  if (root_.empty()) {
    reason = "no scenario directory";
    return "";
  }
  if (machine_path.empty() || machine_path[0] != '/') {
    reason = "not an absolute path: " + machine_path;
    return "";
  }
  for (const auto& part : fs::path(machine_path)) {
    if (part == "..") {
      reason = "\"..\" in " + machine_path;
      return "";
    }
  }
  for (const Tree& tree : kTrees) {
    std::string rest;
    if (!Within(machine_path, tree.machine, &rest)) continue;
    std::string dir = tree.dir;
    // Where /lib is /usr/lib, the one upper directory serves both names.
    if (dir == "lib" && lib_is_usr_lib_) dir = "usr_lib";
    std::string path = root_ + "/" + dir;
    return rest.empty() ? path : path + "/" + rest;
  }
  reason =
      "not on the simulated machine (under /etc, /usr/lib, /usr/lib64, /lib, /var or "
      "/sys): " +
      machine_path;
  return "";
}

// Host path for a new entry at `machine_path`: parents made, any old entry
// removed. Empty on error (recorded).
std::string Scenario::Prepare(const std::string& machine_path) {
  std::string why;
  std::string path = HostPath(machine_path, &why);
  if (path.empty()) {
    Fail(why);
    return "";
  }
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) {
    Fail(ErrnoText("cannot create the parents of " + path, ec.value()));
    return "";
  }
  fs::remove_all(path, ec);
  if (ec) {
    Fail(ErrnoText("cannot replace " + path, ec.value()));
    return "";
  }
  return path;
}

Scenario& Scenario::File(const std::string& machine_path, const std::string& content, mode_t mode) {
  std::string path = Prepare(machine_path);
  std::string error;
  if (!path.empty() && !WriteWhole(path, content, mode, &error)) Fail(error);
  return *this;
}

Scenario& Scenario::CopyFile(const std::string& machine_path, const std::string& source,
                             mode_t mode) {
  std::optional<std::string> content = ReadRegular(source);
  if (!content) {
    Fail("cannot read " + source);
    return *this;
  }
  return File(machine_path, *content, mode);
}

Scenario& Scenario::Dir(const std::string& machine_path) {
  std::string why;
  std::string path = HostPath(machine_path, &why);
  std::error_code ec;
  if (path.empty()) {
    Fail(why);
  } else if (!fs::is_directory(path, ec)) {
    path = Prepare(machine_path);
    if (!path.empty() && ::mkdir(path.c_str(), 0755) != 0) {
      Fail(ErrnoText("cannot create " + path, errno));
    }
  }
  return *this;
}

Scenario& Scenario::Symlink(const std::string& machine_path, const std::string& target) {
  std::string path = Prepare(machine_path);
  if (!path.empty() && ::symlink(target.c_str(), path.c_str()) != 0) {
    Fail(ErrnoText("cannot create the symlink " + path, errno));
  }
  return *this;
}

Scenario& Scenario::Absent(const std::string& machine_path) {
  std::string rest;
  if (Within(machine_path, "/sys", &rest)) {
    Fail("/sys holds only the scenario's files; nothing to hide: " + machine_path);
    return *this;
  }
  for (const Tree& tree : kTrees) {
    if (machine_path == tree.machine) {
      Fail("cannot hide a whole tree: " + machine_path);
      return *this;
    }
  }
  // An overlay whiteout: a character device 0/0 hides the lower entry.
  std::string path = Prepare(machine_path);
  if (!path.empty() && ::mknod(path.c_str(), S_IFCHR | 0000, makedev(0, 0)) != 0) {
    Fail(ErrnoText("cannot create the whiteout " + path, errno));
  }
  return *this;
}

Scenario& Scenario::Import(const std::string& tree) {
  std::error_code ec;
  if (!fs::is_directory(tree, ec)) {
    Fail("not a directory: " + tree);
    return *this;
  }
  for (const auto& entry : fs::directory_iterator(tree, ec)) {
    std::string name = entry.path().filename().string();
    bool known = name == kPkgDir;
    for (const Tree& t : kTrees) known = known || name == t.dir;
    if (!known) {
      Fail("unknown directory in the scenario " + tree + ": " + name);
      continue;
    }
    std::string dir = name;
    if (dir == "lib" && lib_is_usr_lib_) dir = "usr_lib";
    std::error_code copy_ec;
    fs::copy(entry.path(), fs::path(root_) / dir,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks |
                 fs::copy_options::overwrite_existing,
             copy_ec);
    if (copy_ec) Fail(ErrnoText("cannot copy " + entry.path().string(), copy_ec.value()));
  }
  if (ec) Fail(ErrnoText("cannot list " + tree, ec.value()));
  return *this;
}

Scenario& Scenario::Pkg(const std::string& rel, const std::string& content, mode_t mode) {
  bool inside = !rel.empty() && rel[0] != '/';
  for (const auto& part : fs::path(rel)) inside = inside && part != "..";
  if (!inside) {
    Fail("not a path inside the package directory: " + rel);
    return *this;
  }
  std::error_code ec;
  fs::path path = fs::path(root_) / kPkgDir / rel;
  fs::create_directories(path.parent_path(), ec);
  fs::remove_all(path, ec);
  std::string error;
  if (!WriteWhole(path.string(), content, mode, &error)) Fail(error);
  return *this;
}

Scenario& Scenario::PkgCopy(const std::string& rel, const std::string& source, mode_t mode) {
  std::optional<std::string> content = ReadRegular(source);
  if (!content) {
    Fail("cannot read " + source);
    return *this;
  }
  return Pkg(rel, *content, mode);
}

Scenario& Scenario::SysPciDevice(const std::string& address, unsigned vendor, unsigned device,
                                 unsigned subsystem_vendor, unsigned subsystem_device) {
  const std::string dir = "bus/pci/devices/" + address + "/";
  const struct {
    const char* name;
    unsigned value;
  } files[] = {{"vendor", vendor},
               {"device", device},
               {"subsystem_vendor", subsystem_vendor},
               {"subsystem_device", subsystem_device}};
  for (const auto& file : files) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x\n", file.value);
    Sys(dir + file.name, text);
  }
  return *this;
}

std::optional<std::string> Scenario::Read(const std::string& machine_path) const {
  std::string path = HostPath(machine_path);
  if (path.empty()) return std::nullopt;
  return ReadRegular(path);
}

std::optional<std::string> Scenario::ReadPkg(const std::string& rel) const {
  if (root_.empty()) return std::nullopt;
  return ReadRegular(root_ + "/" + kPkgDir + "/" + rel);
}

std::vector<std::string> Scenario::PkgEntries() const {
  std::vector<std::string> names;
  std::error_code ec;
  if (root_.empty()) return names;
  for (const auto& entry : fs::directory_iterator(fs::path(root_) / kPkgDir, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Hides the host's copies of the paths the program reads, unless the
// scenario provides its own. Returns an error text, empty on success.
std::string Scenario::HideHostDefaults() {
  for (const char* machine_path : kHiddenByDefault) {
    std::string path = HostPath(machine_path);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      Absent(machine_path);
    } else if (S_ISDIR(st.st_mode)) {
      // The scenario's directory replaces the host's instead of merging.
      if (::setxattr(path.c_str(), "trusted.overlay.opaque", "y", 1, 0) != 0) {
        return ErrnoText("cannot make " + path + " opaque", errno);
      }
    }
  }
  return layout_error_;
}

RunResult Scenario::Run(const std::string& program, const std::vector<std::string>& args,
                        const RunOptions& options) {
  RunResult result;
  result.time_limit = options.timeout_seconds;
  if (!layout_error_.empty()) {
    result.setup_error = layout_error_;
    return result;
  }
  if (::geteuid() != 0) {
    result.setup_error = "the simulated machine needs root (it mounts in a private namespace)";
    return result;
  }
  result.setup_error = HideHostDefaults();
  if (!result.setup_error.empty()) return result;

  // The child's setup, in order: nothing of it reaches the host, since "/"
  // is made private before anything is mounted.
  std::vector<Step> steps;
  steps.push_back({Step::kMount, "", "/", "", "", MS_REC | MS_PRIVATE, "make / private"});
  int work_index = 0;
  auto overlay = [&](const std::string& target, const std::string& upper) {
    std::string work = root_ + "/" + kWorkDir + "/" + std::to_string(work_index++);
    std::error_code ec;
    fs::create_directories(work, ec);
    steps.push_back({Step::kMount, "overlay", target, "overlay",
                     "lowerdir=" + target + ",upperdir=" + upper + ",workdir=" + work, 0,
                     "overlay on " + target});
  };
  std::vector<std::pair<std::string, std::string>> overlays;  // target, upper
  std::vector<std::string> parents_made;  // parents overlaid to make a mount point
  for (const Tree& tree : kTrees) {
    std::string name = tree.machine;
    if (name == "/sys") continue;
    if (name == "/lib" && lib_is_usr_lib_) continue;
    std::string upper = root_ + "/" + tree.dir;
    struct stat st;
    if (::lstat(tree.machine, &st) == 0 && S_ISDIR(st.st_mode)) {
      overlays.emplace_back(name, upper);
      continue;
    }
    if (::lstat(tree.machine, &st) == 0) {
      // A symlink to another tree would be mounted twice over; a machine
      // shaped so needs its own mapping, as /lib has.
      result.setup_error = name + " is not a directory on this host";
      return result;
    }
    // No such directory on this host (a machine without /usr/lib64, say).
    std::error_code ec;
    std::string parent = fs::path(name).parent_path().string();
    if (parent == "/") {
      // Nothing can be laid over the root itself; without files for the
      // tree nothing is lost.
      if (fs::is_empty(upper, ec)) continue;
      result.setup_error =
          "no directory " + name + " on this host for the scenario's " + tree.dir + "/";
      return result;
    }
    // An overlay on the parent, with an empty upper directory of its own,
    // gives the directory a place in the namespace alone; the scenario's
    // directory is bound there, since the host has nothing beneath it.
    if (std::find(parents_made.begin(), parents_made.end(), parent) == parents_made.end()) {
      std::string parent_upper = root_ + "/" + kWorkDir + "/parent" + std::to_string(work_index);
      fs::create_directories(parent_upper, ec);
      overlay(parent, parent_upper);
      parents_made.push_back(parent);
    }
    steps.push_back({Step::kMkdir, "", name, "", "", 0, "mkdir " + name});
    steps.push_back({Step::kMount, upper, name, "", "", MS_BIND,
                     "bind the scenario's " + std::string(tree.dir) + "/ on " + name});
  }
  for (const auto& [target, upper] : overlays) overlay(target, upper);
  steps.push_back({Step::kMount, root_ + "/sys", "/sys", "", "", MS_BIND | MS_REC,
                   "bind the scenario's sys/ on /sys"});
  const std::string pkg = root_ + "/" + kPkgDir;

  std::vector<std::string> argv_text;
  argv_text.push_back(options.argv0 ? *options.argv0 : program);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int out_pipe[2], err_pipe[2], report_pipe[2];
  if (::pipe(out_pipe) != 0) {
    result.setup_error = ErrnoText("pipe", errno);
    return result;
  }
  if (::pipe(err_pipe) != 0) {
    result.setup_error = ErrnoText("pipe", errno);
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return result;
  }
  if (::pipe2(report_pipe, O_CLOEXEC) != 0) {
    result.setup_error = ErrnoText("pipe", errno);
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) ::close(fd);
    return result;
  }
  SetCloexec(out_pipe[0]);
  SetCloexec(err_pipe[0]);
  int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const std::string stdout_file =
      options.stdout_pkg_file.empty() ? "" : pkg + "/" + options.stdout_pkg_file;
  int stdout_fd = stdout_file.empty()
                      ? out_pipe[1]
                      : ::open(stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

  pid_t pid = ::fork();
  if (pid < 0) {
    result.setup_error = ErrnoText("fork", errno);
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1], report_pipe[0],
                   report_pipe[1], null_fd}) {
      if (fd >= 0) ::close(fd);
    }
    if (stdout_fd >= 0 && stdout_fd != out_pipe[1]) ::close(stdout_fd);
    return result;
  }
  if (pid == 0) {
    // The child: system calls only, everything was prepared above.
    int report = report_pipe[1];
    ::setpgid(0, 0);
    if (null_fd < 0 || stdout_fd < 0 || ::dup2(null_fd, 0) < 0 || ::dup2(stdout_fd, 1) < 0 ||
        ::dup2(err_pipe[1], 2) < 0) {
      ChildFail(report, -3, errno);
    }
    if (::unshare(CLONE_NEWNS) != 0) ChildFail(report, -4, errno);
    for (size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      int rc;
      if (step.kind == Step::kMkdir) {
        rc = ::mkdir(step.target.c_str(), 0755);
      } else {
        rc = ::mount(step.source.empty() ? nullptr : step.source.c_str(), step.target.c_str(),
                     step.fstype.empty() ? nullptr : step.fstype.c_str(), step.flags,
                     step.data.empty() ? nullptr : step.data.c_str());
      }
      if (rc != 0) ChildFail(report, static_cast<int>(i), errno);
    }
    if (::chdir(pkg.c_str()) != 0) ChildFail(report, -1, errno);
    if (options.umask) ::umask(*options.umask);
    if (options.address_space_bytes) {
      const struct rlimit limit = {*options.address_space_bytes, *options.address_space_bytes};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ChildFail(report, -5, errno);
    }
    if (options.cpu_seconds_limit) {
      const struct rlimit limit = {*options.cpu_seconds_limit, *options.cpu_seconds_limit};
      if (::setrlimit(RLIMIT_CPU, &limit) != 0) ChildFail(report, -6, errno);
    }
    if (options.ignore_sigchld) ::signal(SIGCHLD, SIG_IGN);
    int gone[2];
    if (options.stdout_reader_gone) {
      if (::pipe(gone) != 0 || ::dup2(gone[1], 1) < 0) ChildFail(report, -3, errno);
      ::close(gone[0]);
      ::close(gone[1]);
    }
    ::execve(program.c_str(), argv.data(), environ);
    ChildFail(report, -2, errno);
  }

  // The parent.
  ::setpgid(pid, pid);  // also done by the child; whichever comes first
  for (int fd : {out_pipe[1], err_pipe[1], report_pipe[1], null_fd}) {
    if (fd >= 0) ::close(fd);
  }
  if (stdout_fd >= 0 && stdout_fd != out_pipe[1]) ::close(stdout_fd);
  struct Stream {
    int fd;
    std::string* text;
  } streams[] = {{out_pipe[0], &result.out}, {err_pipe[0], &result.err}};

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool reaped = false;
  int status = 0;
  struct rusage usage {};
  while (streams[0].fd >= 0 || streams[1].fd >= 0 || !reaped) {
    if (!reaped) {
      pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
      if (done == pid) {
        reaped = true;
        // Whatever the program left running in its group would hold the
        // pipes open: end it.
        ::kill(-pid, SIGKILL);
      }
    }
    auto now = Clock::now();
    if (now >= deadline) {
      ::kill(-pid, SIGKILL);
      if (!reaped) ::waitpid(pid, &status, 0);
      reaped = true;
      result.timed_out = true;
      break;
    }
    pollfd fds[2];
    nfds_t count = 0;
    for (const Stream& stream : streams) {
      if (stream.fd >= 0) fds[count++] = {stream.fd, POLLIN, 0};
    }
    // Short slices while the child runs, so its exit is seen soon.
    int slice = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
    slice = std::max(1, std::min(slice, 50));
    int ready = ::poll(fds, count, slice);
    if (ready < 0 && errno != EINTR) {
      int err = errno;
      ::kill(-pid, SIGKILL);
      if (!reaped) ::waitpid(pid, &status, 0);
      for (const Stream& stream : streams) {
        if (stream.fd >= 0) ::close(stream.fd);
      }
      ::close(report_pipe[0]);
      result.setup_error = ErrnoText("poll", err);
      return result;
    }
    if (ready <= 0) continue;
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      for (Stream& stream : streams) {
        if (stream.fd != fds[i].fd) continue;
        char buf[65536];
        ssize_t n = ::read(stream.fd, buf, sizeof buf);
        if (n > 0) {
          stream.text->append(buf, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          ::close(stream.fd);
          stream.fd = -1;
        }
      }
    }
  }
  for (const Stream& stream : streams) {
    if (stream.fd >= 0) ::close(stream.fd);
  }

  ChildFailure failure{0, 0};
  ssize_t got = ::read(report_pipe[0], &failure, sizeof failure);
  ::close(report_pipe[0]);
  if (got == static_cast<ssize_t>(sizeof failure)) {
    std::string what;
    switch (failure.step) {
      case -1:
        what = "chdir " + pkg;
        break;
      case -2:
        what = "exec " + program;
        break;
      case -3:
        what = "set up standard input and output";
        break;
      case -4:
        what = "unshare the mount namespace";
        break;
      case -5:
        what = "limit the address space";
        break;
      case -6:
        what = "limit the processor time";
        break;
      default:
        what = failure.step >= 0 && static_cast<size_t>(failure.step) < steps.size()
                   ? steps[failure.step].what
                   : "setup";
    }
    result.setup_error = ErrnoText(what, failure.err);
    return result;
  }
  if (!stdout_file.empty()) result.out = ReadRegular(stdout_file).value_or("");
  if (result.timed_out) return result;
  result.max_rss_kib = usage.ru_maxrss;
  // wait4 counts the processes the program waited for with its own.
  result.cpu_seconds =
      static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace zrn_sim
