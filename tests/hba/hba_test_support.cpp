#include "tests/hba/hba_test_support.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hba/hba_api.h"
#include "hba/vendor_extension.h"

#ifndef ZRN_MGMT_STANDIN_DIR
#define ZRN_MGMT_STANDIN_DIR ""
#endif

namespace zrn_hba_test {

namespace fs = std::filesystem;

namespace {

bool Fail(const std::string& what) {
  std::fprintf(stderr, "hba tests: %s: %s (the tests need root)\n", what.c_str(),
               std::strerror(errno));
  return false;
}

bool Overlay(const std::string& scratch, const std::string& target, const std::string& tag) {
  const std::string upper = scratch + "/" + tag + "_upper";
  const std::string work = scratch + "/" + tag + "_work";
  if (mkdir(upper.c_str(), 0755) != 0 || mkdir(work.c_str(), 0755) != 0) {
    return Fail("mkdir " + upper);
  }
  const std::string options = "lowerdir=" + target + ",upperdir=" + upper + ",workdir=" + work;
  if (mount("overlay", target.c_str(), "overlay", 0, options.c_str()) != 0) {
    return Fail("overlay over " + target);
  }
  return true;
}

}  // namespace

bool EnterPrivateMachine() {
  if (unshare(CLONE_NEWNS) != 0) return Fail("unshare");
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return Fail("private /");
  // A private /var holds the overlays' upper and work directories (and the
  // stand-ins' trace), so nothing of them reaches the host. /tmp stays as it
  // is: the build, with the stand-in libraries, may live there.
  if (mount("tmpfs", "/var", "tmpfs", 0, "mode=0755") != 0) return Fail("tmpfs over /var");
  const std::string scratch = "/var/.zrn-hba-machine";
  if (mkdir(scratch.c_str(), 0755) != 0) return Fail("mkdir " + scratch);
  if (!Overlay(scratch, "/etc", "etc") || !Overlay(scratch, "/usr/lib", "usr_lib") ||
      !Overlay(scratch, "/usr/lib64", "usr_lib64")) {
    return false;
  }
  if (mount("tmpfs", "/sys", "tmpfs", 0, "mode=0755") != 0) return Fail("tmpfs over /sys");
  return true;
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

void CopyFile(const std::string& path, const std::string& source) {
  fs::create_directories(fs::path(path).parent_path());
  // A fresh file, never the old one rewritten: a library may still be mapped.
  RemoveTree(path);
  fs::copy_file(source, path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

std::string MgmtStandin(const std::string& without) {
  const std::string dir = ZRN_MGMT_STANDIN_DIR;
  if (without.empty()) return dir + "/libzrn_mgmt_standin.so";
  return dir + "/libzrn_mgmt_standin_no_" + without + ".so";
}

void FcHbaMachine::SetUp() {
  RemoveTree("/etc/hba.conf");
  ClearTrace();
}

void FcHbaMachine::TearDown() {
  (void)HBA_FreeLibrary();
  ResetExtensionEntry();
  for (const std::string& path : installed_) {
    RemoveTree(path);
    RemoveTree(path + kStandinScenarioSuffix);
  }
  RemoveTree("/etc/hba.conf");
  ClearTrace();
}

void FcHbaMachine::InstallLibrary(const std::string& path, const StandinLibrary& library,
                                  bool extension) {
  CopyFile(path, extension ? ZRN_STANDIN_EXT_LIBRARY : ZRN_STANDIN_LIBRARY);
  WriteFile(path + kStandinScenarioSuffix, StandinScenario(library));
  installed_.push_back(path);
}

void FcHbaMachine::InstallAdapters(const std::string& path,
                                   const std::vector<StandinAdapter>& adapters, bool extension) {
  StandinLibrary library;
  library.adapters = adapters;
  InstallLibrary(path, library, extension);
}

void FcHbaMachine::HbaConf(const std::string& text) { WriteFile("/etc/hba.conf", text); }

unsigned FcHbaMachine::LoadAndCount() {
  (void)HBA_LoadLibrary();
  return HBA_GetNumberOfAdapters();
}

void FcHbaMachine::ClearTrace() { RemoveTree(kStandinTraceFile); }

}  // namespace zrn_hba_test
