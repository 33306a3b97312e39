// Reading "reference.xml": ReferenceSet::Load (declared with the record in
// core/records.h) parses the file with libxml2 and walks the tree;
// GetAttributeValue reads one attribute of an element for it.
//
// The walk recognises element nodes only, by exact name, at every level it
// visits: "marvo_fchba_reference" (entered), "discovery_app_path" and
// "installer_app_path" (a leading CDATA section), "devices" (its "device"
// children). Everything else is skipped with all it contains. Values are
// widened byte by byte. Nothing of the parsed document outlives Load.
//
// What loading may take is bounded: the file is read only when it is a
// regular file of at most kMaxReferenceFileBytes, and the values of one
// document together, with their entity references replaced, may not exceed
// kMaxValueBytes. A document past either bound is refused like one that is
// not well-formed, and so is one whose tags or ATTLIST declarations carry
// far more attributes than any real file (reference_set.cpp says how many).
// A document a bound refused leaves nothing on standard error; about any
// other, the library's messages are shown as it writes them.
#ifndef ZRN_CORE_REFERENCE_SET_H_
#define ZRN_CORE_REFERENCE_SET_H_

#include <libxml/tree.h>

#include <cstddef>
#include <string>

// The largest "reference.xml" that is read. A package's file lists a few
// hundred devices at most, some kilobytes; the bound is a thousand times
// that and keeps what the library builds from a file within reach.
constexpr size_t kMaxReferenceFileBytes = 4 << 20;

// What the values of one document may come to together once entity
// references are replaced, each text or reference node counting one byte
// besides its text, so that references that expand to nothing are paid for
// too. Real values are version texts and identities of a few bytes each; a
// single value of 1 MiB still loads. An internal entity referenced many
// times over can make a small file expand to gigabytes: the library checks
// each entity once, not each use of it in an attribute.
constexpr size_t kMaxValueBytes = 16 << 20;

// The whole text of the element's attribute of that name (entity references
// replaced by their text), widened byte by byte; "" when the element has no
// such attribute or the attribute has no text, and "" when the text would
// come to more than kMaxValueBytes.
[[nodiscard]] std::wstring GetAttributeValue(xmlNode* element, const char* name);

#endif  // ZRN_CORE_REFERENCE_SET_H_
