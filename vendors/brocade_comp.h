// BrocadeComp::CComponent: the vendor component for Brocade adapters. For
// every enumerated adapter whose identity a reference lists exactly (ignoring
// case) it plans one "Boot BIOS ROM" item, recorded under the adapter's own
// identity text; its flash runs "./bcu" once and reduces the utility's exit
// status to success (1) or failure (7).
//
// It adds no state to CBaseCmp. Enumeration, the discovery header, the
// reference lookup and the run flow are the base's; the silent option is not
// passed on to the utility.
#ifndef ZRN_VENDORS_BROCADE_COMP_H_
#define ZRN_VENDORS_BROCADE_COMP_H_

#include <string>

#include "core/base_cmp.h"

namespace BrocadeComp {

class CComponent : public CBaseCmp {
 public:
  CComponent() = default;
  ~CComponent() override = default;

  // Group 1 of ".*(\d+\.\d+\.\d+\.\d+).*" (dot matching line ends too) when
  // it matches the whole text, else the text unchanged. The leading ".*" is
  // greedy: the group starts at the last place four dotted numbers follow,
  // so its first number is one digit and of five numbers the last four stay.
  std::wstring NormalizeVersion(std::wstring version) override;
  // One device per adapter record that a reference supports, in list order;
  // an adapter without a readable identity is skipped.
  void DiscoverDevices() override;
  // Runs "./bcu boot --update bfa_boot_fw -a" (" force" when forced) once;
  // 1 when it exits with 0, 7 otherwise.
  int Flash() override;
};

// The run's exit code for a "./bcu" exit code: 1 for 0, 7 for anything else.
[[nodiscard]] int ExitCodeFor(int toolCode);

}  // namespace BrocadeComp

#endif  // ZRN_VENDORS_BROCADE_COMP_H_
