// EmulexComp::CComponent: the vendor component for Emulex adapters, working
// through the standalone flash kit that the package carries as
// "elxflashStandalone*.zip" next to its "./boot/" and "./firmware/" images.
//
// Its Discover replaces the base's: it unpacks the kit into the package
// directory, copies the images into it, asks the kit's script "/q" for the
// installed adapters and plans a "Firmware" and a "Boot BIOS ROM" item for
// every reported adapter a reference lists. The adapter-record list is never
// enumerated and the discovery header stays empty. Its flash runs the kit's
// script once. It adds no state to CBaseCmp; the unpacked kit stays in the
// package directory. A kit is used only when there is exactly one: with two
// archives or two unpacked kits no kit script runs, and the run goes on as
// with a kit that reports no adapter.
#ifndef ZRN_VENDORS_EMULEX_COMP_H_
#define ZRN_VENDORS_EMULEX_COMP_H_

#include <string>

#include "core/base_cmp.h"

namespace EmulexComp {

class CComponent : public CBaseCmp {
 public:
  CComponent() = default;
  ~CComponent() override = default;

  // PrepareKit, then one device per matching query line that a reference
  // supports. False only when PrepareKit fails; a query that prints nothing
  // (or cannot start), or no one kit to ask, records no device and still
  // gives true.
  bool Discover() override;
  // The text up to its first blank. Nothing calls it.
  std::wstring NormalizeVersion(std::wstring version) override;
  // Unpacks the one archive (replacing files of an earlier run without
  // asking); then, when exactly one kit is unpacked, makes its script
  // executable and copies the package's images into it. Always 0.
  int PrepareKit() override;
  // Runs the kit's script with " /update" (" /f" when forced) once and maps
  // its exit code by ExitCodeFor. Starts nothing and gives 7 when there is
  // no one kit to use.
  int Flash() override;

  // Pads the text in place with leading "0" characters to four characters
  // (longer texts stay as they are) and returns a copy of the result.
  static std::string PadHex4(std::string& text);
};

// The run's exit code for an "elxflash.sh" exit code: 0 gives 1, 1 gives 3,
// 2 to 6 give 7, and every other code passes through.
[[nodiscard]] int ExitCodeFor(int toolCode);

}  // namespace EmulexComp

#endif  // ZRN_VENDORS_EMULEX_COMP_H_
