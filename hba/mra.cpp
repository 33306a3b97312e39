#include "hba/mra.h"

#include <memory>
#include <new>

#include "hba/hba_api.h"

FcHbaMRA::FcHbaMRA() { m_adapterCount = HBA_LoadLibrary() != 0 ? 0 : HBA_GetNumberOfAdapters(); }

FcHbaAdapter* FcHbaMRA::GetFirstAdapter(int* status) {
  *status = 0;
  if (m_adapterCount == 0) return nullptr;
  return MakeAdapter(0, status);
}

FcHbaAdapter* FcHbaMRA::GetNextAdapter(const FcHbaAdapter* previous, int* status) {
  if (previous == nullptr) return nullptr;
  const uint64_t index = static_cast<uint64_t>(previous->m_index) + 1;
  if (index >= m_adapterCount) return nullptr;
  return MakeAdapter(static_cast<uint32_t>(index), status);
}

FcHbaAdapter* FcHbaMRA::MakeAdapter(uint32_t index, int* status) {
  try {
    auto adapter = std::make_unique<FcHbaAdapter>();
    adapter->m_index = index;
    *status = adapter->Refresh();
    adapter->QueryPciInfo();
    return adapter.release();
  } catch (const std::bad_alloc&) {
    *status = 2;
    return nullptr;
  }
}
