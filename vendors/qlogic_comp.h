// QLogicComp::CComponent: the component for QLogic adapters. For every
// adapter record that the references support it plans one "Boot BIOS ROM"
// item (the package's boot BIOS against the adapter's option-ROM version),
// and its flash step runs the package's "./tarvqlafwupdate" once for the
// whole machine, turning the tool's status into the run's exit code.
//
// Everything else of the run (references, enumeration, the flash decision,
// the self-discovery file) is CBaseCmp's. The component adds no state.
#ifndef ZRN_VENDORS_QLOGIC_COMP_H_
#define ZRN_VENDORS_QLOGIC_COMP_H_

#include <string>

#include "core/base_cmp.h"

namespace QLogicComp {

class CComponent : public CBaseCmp {
 public:
  CComponent() = default;
  ~CComponent() override = default;

  // Cuts the text at its first blank, then removes the first "v." left in
  // it: "v.2.10 build 5" gives "2.10"; a "v" without its dot stays, so
  // "v2.10 build 5" gives "v2.10".
  std::wstring NormalizeVersion(std::wstring version) override;
  // The base's exact lookup (ignoring case) first; otherwise the first
  // reference whose upper-cased device_id contains the upper-cased identity.
  // An empty identity (an adapter whose PCI identity could not be read)
  // finds nothing.
  int FindReference(std::wstring id) override;
  // One device per supported adapter record, recorded under the reference's
  // device_id; unsupported adapters are skipped without a message.
  void DiscoverDevices() override;
  // Runs "./tarvqlafwupdate" (" /s" when silent, " /f" when forced) with its
  // output appended to the component log; returns ExitCodeFor(tool code).
  int Flash() override;
};

// The run's exit code for a "./tarvqlafwupdate" exit code: 0 gives 1, 1 gives
// 3, 2 to 10, 14, 16 and 17 give 7, every other code passes through.
[[nodiscard]] int ExitCodeFor(int toolCode);

}  // namespace QLogicComp

#endif  // ZRN_VENDORS_QLOGIC_COMP_H_
