// FcHbaAdapter::QueryPciInfo: the adapter's PCI subsystem ids and location
// from the vendor extension, through the adapter's own FC-HBA library when it
// is the vendor's management library, or else directly.
#include <cstdio>
#include <cstring>

#include "hba/adapter.h"
#include "hba/handle_closer.h"
#include "hba/vendor_extension.h"

void FcHbaAdapter::QueryPciInfo() {
  char name[kExtensionNameSize];
  std::snprintf(name, sizeof name, "%s", m_name.c_str());
  char path[256] = {};
  void* const library = GetAdapterLibrary(m_index, path);
  path[sizeof path - 1] = '\0';
  char message[256] = {};
  int status = 0;

  if (BindExtension(name, path, library, message, sizeof message, &status) == 1) {
    if (status != 0) return;
    const HBA_HANDLE handle = HBA_OpenAdapter(name);
    if (handle == 0) return;
    // Whatever the read gives, the handle is closed, also when memory runs
    // out; its result only tells whether the values were stored.
    HandleCloser closer(handle);
    (void)ReadExtendedAttributes(NodeWWN, &m_subsystemIds, &m_pciBus, &m_pciFunction, &m_pciDomain,
                                 message, sizeof message, handle);
    return;
  }

  // The management library is loaded on its own, with the FC-HBA libraries
  // out of the way; the common adapter table survives the free and reload.
  ReleaseLibraries();
  (void)ReadExtendedAttributesDirect(NodeWWN, name, sizeof name, &m_subsystemIds, &m_pciBus,
                                     &m_pciFunction, &m_pciDomain, message, sizeof message);
  (void)HBA_LoadLibrary();
}
