// Closes a common adapter handle (HBA_OpenAdapter) when the scope that opened
// it ends, on every path out of it, an exception included.
#ifndef ZRN_HBA_HANDLE_CLOSER_H_
#define ZRN_HBA_HANDLE_CLOSER_H_

#include "hba/hba_api.h"

class HandleCloser {
 public:
  explicit HandleCloser(HBA_HANDLE handle) : handle_(handle) {}
  ~HandleCloser() { HBA_CloseAdapter(handle_); }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

 private:
  HBA_HANDLE handle_;
};

#endif  // ZRN_HBA_HANDLE_CLOSER_H_
