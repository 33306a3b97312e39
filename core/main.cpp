// The program: one QLogic component on the stack, handed the command line.
#include "core/run_program.h"
#include "vendors/qlogic_comp.h"

int main(int argc, char* argv[]) {
  QLogicComp::CComponent component;
  return RunProgram(component, argc, argv);
}
