// The FC-HBA common library's process-wide tables, as its HBA_ functions
// (hba/hba_api.h) keep them: 32 library slots filled from "/etc/hba.conf" and
// 64 adapter entries over the loaded libraries.
//
// The tables belong to the common library alone; this header only lets a
// reader look at a slot (what a configuration line became) without changing
// it. Nothing here is guarded: the program reads adapters from one thread.
#ifndef ZRN_HBA_COMMON_LIBRARY_H_
#define ZRN_HBA_COMMON_LIBRARY_H_

#include "hba/hba_api.h"

constexpr unsigned kHbaMaxLibraries = 32;
constexpr unsigned kHbaMaxAdapters = 64;
constexpr char kHbaConfPath[] = "/etc/hba.conf";
// How much of "/etc/hba.conf" is read: a read that would start at or past
// this offset is not made, as if the file ended there. A real file names a
// few libraries in well under a kilobyte, and 32 usable lines of 511
// characters take 16 KiB; 1 MiB leaves room for any amount of comment while
// a huge or ever-growing file cannot hold the run.
constexpr long kHbaConfMaxBytes = 1024 * 1024;

// A slot's status.
constexpr int kHbaLibraryNeverLoaded = 0;
constexpr int kHbaLibraryLoaded = 1;
constexpr int kHbaLibraryFailed = 2;  // load failed, or freed

// One slot of the library table.
struct HbaLibraryEntry {
  char name[64];                // first token of the configuration line; stored, never used
  char path[256];               // the filtered path handed to the loader
  void* handle;                 // the open library; null when it did not open or was freed
  HBA_ENTRYPOINTS entryPoints;  // what the library's HBA_RegisterLibrary filled
  int status;                   // kHbaLibraryNeverLoaded, kHbaLibraryLoaded, kHbaLibraryFailed
};

// The slot `slot` (below kHbaMaxLibraries) as the last load left it.
const HbaLibraryEntry& HbaLibrarySlot(unsigned slot);

#endif  // ZRN_HBA_COMMON_LIBRARY_H_
