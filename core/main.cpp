#include <iostream>

#include "core/base_cmp.h"

// Each vendor's executable is this file built with its own ZRN_VENDOR_*
// definition; the one component it constructs decides the vendor.
#if defined(ZRN_VENDOR_BROCADE)
#include "vendors/brocade_comp.h"
using VendorComponent = BrocadeComp::CComponent;
#elif defined(ZRN_VENDOR_EMULEX)
#include "vendors/emulex_comp.h"
using VendorComponent = EmulexComp::CComponent;
#else
// The base component stands in for the QLogic component until one exists:
// it enumerates adapters, discovers no device and flashes nothing.
using VendorComponent = CBaseCmp;
#endif

int main(int argc, char* argv[]) {
  VendorComponent component;
  const int parsed = component.ParseCommandLine(argc, argv);
  if (parsed == 0) {
    // Straight to the console: shown even in a silent run, never logged.
    std::cout << "ERROR! : Failed to parse command line" << std::endl;
    return 7;
  }
  if (parsed == 2) return 3;
  return component.Run();
}
