#include "hba/dynamic_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace zrn_hba {

void* OpenLibrary(const char* path) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  // The loader opens the file and reads it without looking at what it is:
  // a FIFO there would keep the run waiting for a writer forever, and a
  // terminal for a line typed. Only a regular file is opened; a path with
  // nothing at it is left to the loader, which searches its directories
  // for a bare name.
  struct stat st;
  if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) return nullptr;
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
