// Reading "reference.xml": ReferenceSet::Load (declared with the record in
// core/records.h) parses the file with libxml2 and walks the tree;
// GetAttributeValue reads one attribute of an element for it.
//
// The walk recognises element nodes only, by exact name, at every level it
// visits: "marvo_fchba_reference" (entered), "discovery_app_path" and
// "installer_app_path" (a leading CDATA section), "devices" (its "device"
// children). Everything else is skipped with all it contains. Values are
// widened byte by byte. Nothing of the parsed document outlives Load.
#ifndef ZRN_CORE_REFERENCE_SET_H_
#define ZRN_CORE_REFERENCE_SET_H_

#include <libxml/tree.h>

#include <string>

// The whole text of the element's attribute of that name (entity references
// included), widened byte by byte; "" when the element has no such attribute
// or the attribute has no text.
[[nodiscard]] std::wstring GetAttributeValue(xmlNode* element, const char* name);

#endif  // ZRN_CORE_REFERENCE_SET_H_
