#include "hba/dynamic_library.h"

#include <dlfcn.h>

namespace zrn_hba {

void* OpenLibrary(const char* path) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  return dlopen(path, RTLD_LAZY);
}

void* FindSymbol(void* library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return dlsym(library, symbol);
}

void CloseLibrary(void* library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace zrn_hba
