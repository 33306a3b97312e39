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
// What loading may take is bounded: the file is read once, into memory,
// only when it is a regular file of at most kMaxReferenceFileBytes. The
// whole load of those bytes (the parse, the library's messages and the
// walk) runs in a trial (core/xml_trial.h) under kReferenceTrialBounds, and
// the program takes in only what it gathered, so none of it runs unbounded.
// The values of one document together, with their entity references
// replaced, may not exceed kMaxValueBytes. A document past any bound is
// refused like one that is not well formed, with one line on standard error
// that names the bound. About any other document the library's own messages
// reach standard error as it writes them, up to kMaxXmlMessageBytes
// (core/xml_messages.h) and a line saying that the rest was left out.
#ifndef ZRN_CORE_REFERENCE_SET_H_
#define ZRN_CORE_REFERENCE_SET_H_

#include <libxml/tree.h>

#include <cstddef>
#include <string>

#include "core/xml_trial.h"

struct ReferenceSet;

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

// The bounds of the trial that loads the file. A package's file of a few
// kilobytes loads in a millisecond; the largest file read, 4 MiB of
// devices, in under half a second with about 60 MB allocated by the
// library; a file of that size holding a node every few bytes, about 200 MB.
// Past two seconds or 512 MiB the library or the walk has met markup whose
// cost grows faster than the document.
constexpr XmlTrialBounds kReferenceTrialBounds{2, size_t{512} << 20};

// Loads `bytes` exactly as Load loads reference.xml, in a trial under
// `bounds`, and tells how the trial ended; nothing of it is kept.
[[nodiscard]] XmlTrialOutcome TrialLoadReference(const std::string& bytes,
                                                 const XmlTrialBounds& bounds);

// The load that the trial runs, done in this process with no bound on its
// time or memory: only for a caller that bounds it itself (the fuzz target,
// under libFuzzer's limits), to compare it with Load's. True when the
// document loaded, with what it holds appended to *set; *messages gets the
// library's messages about it as Load writes them to standard error.
// Refusals of the reader's own bounds are not told apart from documents
// that are not well formed.
[[nodiscard]] bool LoadReferenceUnbounded(const std::string& bytes, ReferenceSet* set,
                                          std::string* messages);

// The whole text of the element's attribute of that name (entity references
// replaced by their text), widened byte by byte; "" when the element has no
// such attribute or the attribute has no text, and "" when the text would
// come to more than kMaxValueBytes.
[[nodiscard]] std::wstring GetAttributeValue(xmlNode* element, const char* name);

#endif  // ZRN_CORE_REFERENCE_SET_H_
