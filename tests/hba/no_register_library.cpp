// A shared library that opens but is no FC-HBA vendor library: it exports
// no "HBA_RegisterLibrary".
extern "C" __attribute__((visibility("default"))) int NotAnHbaLibrary() { return 0; }
