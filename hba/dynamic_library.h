// The one place the HBA layer calls the dynamic loader: opening a shared
// library with lazy binding, looking up a symbol, closing it again.
//
// These are thin wrappers; they keep no state and own nothing. The caller
// owns every handle it opens and closes it exactly once. A null handle is
// accepted everywhere and means "no library".
#ifndef ZRN_HBA_DYNAMIC_LIBRARY_H_
#define ZRN_HBA_DYNAMIC_LIBRARY_H_

namespace zrn_hba {

// Opens `path` with lazy binding; null when it cannot be opened. An empty
// path gives null as well: the loader would hand back the program itself;
// so does a path where something other than a regular file stands.
[[nodiscard]] void* OpenLibrary(const char* path);

// The address of `symbol` in `library`; null when the handle is null or the
// library does not export it.
[[nodiscard]] void* FindSymbol(void* library, const char* symbol);

// Closes a handle from OpenLibrary; does nothing for null.
void CloseLibrary(void* library);

}  // namespace zrn_hba

#endif  // ZRN_HBA_DYNAMIC_LIBRARY_H_
