#include <iostream>

#include "core/base_cmp.h"

int main(int argc, char* argv[]) {
  // The base component stands in for the vendor component until one exists:
  // it enumerates adapters, discovers no device and flashes nothing.
  CBaseCmp component;
  const int parsed = component.ParseCommandLine(argc, argv);
  if (parsed == 0) {
    // Straight to the console: shown even in a silent run, never logged.
    std::cout << "ERROR! : Failed to parse command line" << std::endl;
    return 7;
  }
  if (parsed == 2) return 3;
  return component.Run();
}
