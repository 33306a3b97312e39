// One whole "/d" run of the built program on a simulated machine with eight
// adapters: two FC-HBA libraries, the four adapters of the first read through
// its own extension entry, the four of the second through the Emulex
// management library (each of those frees and reloads the FC-HBA libraries),
// and a sysfs tree of some three hundred PCI functions that every adapter's
// lookup searches with find, grep, cat and wc. The package is the demo's.
//
//   DiscoveryRun      the program's run; real time is the wall time, and
//                     child_cpu_ms the CPU time of everything the run
//                     started (the program and its shell pipelines).
//   MachineOnly       the same machine running /bin/true: what setting up
//                     the namespace costs, to subtract from DiscoveryRun.
//   SysfsPipelines    the eight sysfs lookups alone, in process, on the same
//                     tree: the time spent in the shell pipelines.
// So the program's own CPU time is about DiscoveryRun's child_cpu_ms minus
// MachineOnly's and SysfsPipelines'. Needs root.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "hba/sysfs_pci.h"
#include "tests/sim/scenario.h"
#include "tests/standin/fchba_standin.h"
#include "tests/standin/mgmt/mgmt_standin.h"
#include "tests/standin/standin_sim.h"

#ifndef ZRN_PROGRAM
#define ZRN_PROGRAM ""
#endif
#ifndef ZRN_MGMT_STANDIN_LIBRARY
#define ZRN_MGMT_STANDIN_LIBRARY ""
#endif
#ifndef ZRN_DEMO_REFERENCE
#define ZRN_DEMO_REFERENCE ""
#endif

namespace {

constexpr int kAdapters = 8;
constexpr int kBridges = 12;
constexpr int kFunctionsPerBridge = 24;  // 288 functions, plus bridges and adapters

struct PciFunction {
  std::string dir;  // below /sys
  unsigned vendor, device, subsystemVendor, subsystemId;
};

// Adapter i sits at bus 0x40 + i, function 0, below a bridge of its own;
// the other functions fill buses 1 to kBridges.
std::vector<PciFunction> Tree() {
  std::vector<PciFunction> tree;
  for (int b = 0; b < kBridges; ++b) {
    char bridge[64];
    std::snprintf(bridge, sizeof bridge, "devices/pci0000:00/0000:00:%02x.0", b + 1);
    tree.push_back({bridge, 0x8086, 0x3c02, 0x1028, 0x04f8});
    for (int f = 0; f < kFunctionsPerBridge; ++f) {
      char dir[128];
      std::snprintf(dir, sizeof dir, "%s/0000:%02x:%02x.%x", bridge, b + 1, f / 8, f % 8);
      tree.push_back({dir, 0x8086, 0x1500u + f, 0x8086, 0x0001u + f});
    }
  }
  for (int i = 0; i < kAdapters; ++i) {
    char dir[128];
    std::snprintf(dir, sizeof dir, "devices/pci0000:00/0000:00:1c.%x/0000:%02x:00.0", i, 0x40 + i);
    const bool qlogic = i < kAdapters / 2;
    tree.push_back({dir, qlogic ? 0x1077u : 0x10dfu, qlogic ? 0x2532u : 0xf100u,
                    qlogic ? 0x1077u : 0x10dfu, 0x0100u + i});
  }
  return tree;
}

void WriteHex(const std::string& path, unsigned value) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path);
  char text[16];
  std::snprintf(text, sizeof text, "0x%04x\n", value);
  out << text;
}

void LayOutSys(const std::string& sysRoot) {
  for (const PciFunction& f : Tree()) {
    const std::string dir = sysRoot + "/" + f.dir;
    WriteHex(dir + "/vendor", f.vendor);
    WriteHex(dir + "/device", f.device);
    WriteHex(dir + "/subsystem_vendor", f.subsystemVendor);
    WriteHex(dir + "/subsystem_device", f.subsystemId);
  }
}

std::unique_ptr<zrn_sim::Scenario> Machine() {
  auto s = std::make_unique<zrn_sim::Scenario>();
  StandinLibrary qlogic, emulex;
  std::string mgmt;
  for (int i = 0; i < kAdapters; ++i) {
    const bool isQLogic = i < kAdapters / 2;
    const std::string name =
        (isQLogic ? "qlogic-QLE2562-" : "Emulex-LPe12002-") + std::to_string(i);
    StandinAdapter a = SampleStandinAdapter(name, static_cast<uint8_t>(i + 1), 2);
    const uint32_t word = (0x0100u + i) << 16 | (isQLogic ? 0x1077u : 0x10dfu);
    if (isQLogic) {
      a.ext_subsystem = word;
      a.ext_bus = static_cast<uint8_t>(0x40 + i);
      qlogic.adapters.push_back(a);
    } else {
      char line[128];
      std::snprintf(line, sizeof line, "adapter lpfc%d 20000000000000%02x %08x %02x 00 00\n", i,
                    i + 1, word, 0x40 + i);
      mgmt += line;
      emulex.adapters.push_back(a);
    }
  }
  PlaceStandin(*s, "/usr/lib/libqlsdm.so", qlogic, /*extension=*/true);
  PlaceStandin(*s, "/usr/lib64/libfchba_emx.so", emulex);
  s->CopyFile("/usr/lib64/libemsdm.so", ZRN_MGMT_STANDIN_LIBRARY);
  s->File(ZRN_MGMT_STANDIN_CONF, mgmt);
  s->Etc("hba.conf", "qlogic\t/usr/lib/libqlsdm.so\nemulex\t/usr/lib64/libfchba_emx.so\n");
  s->Etc("redhat-release", "Red Hat Enterprise Linux Server release 6.4 (Santiago)\n");
  s->PkgCopy("reference.xml", ZRN_DEMO_REFERENCE, 0644);
  LayOutSys(s->HostPath("/sys"));
  return s;
}

double ChildCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunOnMachine(benchmark::State& state, const std::string& program,
                  const std::vector<std::string>& args, int expected) {
  if (std::string(ZRN_PROGRAM).empty()) {
    state.SkipWithError("the program is not part of this build");
    return;
  }
  auto machine = Machine();
  const double before = ChildCpuSeconds();
  for (auto _ : state) {
    zrn_sim::RunResult r = machine->Run(program, args);
    if (!r.ExitedWith(expected)) {
      state.SkipWithError(r.Describe().c_str());
      return;
    }
  }
  state.counters["child_cpu_ms"] = benchmark::Counter((ChildCpuSeconds() - before) * 1e3 /
                                                      static_cast<double>(state.iterations()));
}

void DiscoveryRun(benchmark::State& state) {
  RunOnMachine(state, ZRN_PROGRAM, {"/d", "out.xml"}, 3);
}

void MachineOnly(benchmark::State& state) { RunOnMachine(state, "/bin/true", {}, 0); }

// The eight lookups as Enumerate makes them, on the same tree in a private
// /sys of this process.
void SysfsPipelines(benchmark::State& state) {
  const double before = ChildCpuSeconds();
  for (auto _ : state) {
    for (int i = 0; i < kAdapters; ++i) {
      const bool qlogic = i < kAdapters / 2;
      benchmark::DoNotOptimize(FindSysfsPciId(0, static_cast<uint8_t>(0x40 + i), 0,
                                              qlogic ? 0x1077 : 0x10df, 0x0100 + i));
    }
  }
  state.counters["child_cpu_ms"] = benchmark::Counter((ChildCpuSeconds() - before) * 1e3 /
                                                      static_cast<double>(state.iterations()));
}

}  // namespace

BENCHMARK(DiscoveryRun)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MachineOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SysfsPipelines)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // SysfsPipelines needs the tree at /sys: a private tmpfs there, in a
  // mount namespace of this process only.
  if (unshare(CLONE_NEWNS) != 0 ||
      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tmpfs", "/sys", "tmpfs", 0, "mode=0755") != 0) {
    std::fprintf(stderr, "discovery_bench: needs root (a private /sys)\n");
    return 1;
  }
  LayOutSys("/sys");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
