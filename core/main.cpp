// The program: one vendor component on the stack, handed the command line.
// Each vendor's executable is this file built with its own ZRN_VENDOR_*
// definition (a compile-time choice); without one it is the QLogic program.
#include "core/run_program.h"

#if defined(ZRN_VENDOR_BROCADE)
#include "vendors/brocade_comp.h"
using VendorComponent = BrocadeComp::CComponent;
#elif defined(ZRN_VENDOR_EMULEX)
#include "vendors/emulex_comp.h"
using VendorComponent = EmulexComp::CComponent;
#else
#include "vendors/qlogic_comp.h"
using VendorComponent = QLogicComp::CComponent;
#endif

int main(int argc, char* argv[]) {
  // Before the component's logger creates its files and before any command.
  PrepareProcess();
  return RunComponent<VendorComponent>(argc, argv);
}
