// XmlLibraryScope: the one owner of libxml2's process-wide parser state. The
// reference reader and the self-discovery writer each hold one while they
// use the library, so neither undoes the other's set-up: the state is made
// when a scope begins and released when it ends.
#ifndef ZRN_CORE_XML_LIBRARY_H_
#define ZRN_CORE_XML_LIBRARY_H_

#include <libxml/parser.h>

class XmlLibraryScope {
 public:
  XmlLibraryScope() { xmlInitParser(); }
  // Everything the library made must be freed before the scope ends.
  ~XmlLibraryScope() { xmlCleanupParser(); }
  XmlLibraryScope(const XmlLibraryScope&) = delete;
  XmlLibraryScope& operator=(const XmlLibraryScope&) = delete;
};

#endif  // ZRN_CORE_XML_LIBRARY_H_
