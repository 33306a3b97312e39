// The adapter enumerator: loads the FC-HBA vendor libraries through the
// common library, counts their adapters once, and hands out one freshly read
// FcHbaAdapter per common index, first to last.
//
// The caller owns every adapter returned. The enumerator itself releases
// nothing; the libraries are freed when an adapter is destroyed.
#ifndef ZRN_HBA_MRA_H_
#define ZRN_HBA_MRA_H_

#include <cstdint>

#include "hba/adapter.h"

class FcHbaMRA {
 public:
  // Loads the libraries and counts the adapters; the count is 0 when
  // "/etc/hba.conf" cannot be opened.
  FcHbaMRA();
  virtual ~FcHbaMRA() = default;
  FcHbaMRA(const FcHbaMRA&) = delete;
  FcHbaMRA& operator=(const FcHbaMRA&) = delete;

  // The adapter of common index 0, read; null when there is none. *status:
  // 0 read completely, 1 some read step failed (the adapter is still
  // returned), 2 memory ran out (null).
  [[nodiscard]] FcHbaAdapter* GetFirstAdapter(int* status);
  // The adapter after `previous`, read; null past the last one, with
  // *status left as it was.
  [[nodiscard]] FcHbaAdapter* GetNextAdapter(const FcHbaAdapter* previous, int* status);

  uint32_t m_adapterCount = 0;

 private:
  FcHbaAdapter* MakeAdapter(uint32_t index, int* status);
};

#endif  // ZRN_HBA_MRA_H_
