// Ownership helpers over the dynamic-loader seam (hba/dynamic_library.h): a
// unique_ptr that closes a library exactly once when its scope ends, and a
// typed function lookup.
#ifndef ZRN_HBA_LIBRARY_HANDLE_H_
#define ZRN_HBA_LIBRARY_HANDLE_H_

#include <memory>

#include "hba/dynamic_library.h"

struct LibraryCloser {
  void operator()(void* library) const { zrn_hba::CloseLibrary(library); }
};
// Owns one open library; it is closed on every path out of the owner's scope.
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

// `symbol` of `library` as a function of type F; null when it is not exported.
template <typename F>
F LookupFunction(void* library, const char* symbol) {
  return reinterpret_cast<F>(zrn_hba::FindSymbol(library, symbol));
}

#endif  // ZRN_HBA_LIBRARY_HANDLE_H_
