// Placing stand-in FC-HBA vendor libraries on a simulated machine and reading
// back what they were asked, for tests that run the program end to end:
//   StandinLibrary qlogic;
//   qlogic.adapters = {SampleStandinAdapter("qlogic-1", 1)};
//   PlaceStandin(s, "/usr/lib64/libqlhba.so", qlogic);
//   s.Etc("hba.conf", "qlogic\t/usr/lib64/libqlhba.so\n");
//   s.Run(program, {...});
//   std::vector<std::string> calls = StandinTrace(s);
// Needs the zrn_standin and zrn_sim targets.
#ifndef ZRN_TESTS_STANDIN_STANDIN_SIM_H_
#define ZRN_TESTS_STANDIN_STANDIN_SIM_H_

#include <string>
#include <vector>

#include "tests/sim/scenario.h"
#include "tests/standin/fchba_standin.h"

// Copies the stand-in (its extension build when `extension`) to
// `machine_path` and writes its scenario beside it.
inline zrn_sim::Scenario& PlaceStandin(zrn_sim::Scenario& machine, const std::string& machine_path,
                                       const StandinLibrary& library, bool extension = false) {
  return machine.CopyFile(machine_path, extension ? ZRN_STANDIN_EXT_LIBRARY : ZRN_STANDIN_LIBRARY)
      .File(machine_path + kStandinScenarioSuffix, StandinScenario(library));
}

// The stand-ins' trace on `machine` after a run, one call per line.
inline std::vector<std::string> StandinTrace(const zrn_sim::Scenario& machine) {
  return SplitStandinTrace(machine.Read(kStandinTraceFile).value_or(""));
}

#endif  // ZRN_TESTS_STANDIN_STANDIN_SIM_H_
