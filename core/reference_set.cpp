#include "core/reference_set.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/records.h"
#include "core/regular_file.h"
#include "core/text.h"
#include "core/xml_library.h"
#include "core/xml_trial.h"

namespace {

const char kReferenceFile[] = "reference.xml";

// How deep entity references are followed inside one another. An entity
// cannot refer to itself in a well-formed document and the library refuses
// deep nesting as it parses; this keeps the reading's own recursion bounded
// whatever it is given. Real values use no entity at all.
constexpr int kMaxEntityNesting = 64;

// Parse options: none of the library's limits is lifted (no XML_PARSE_HUGE),
// entity references stay references (no XML_PARSE_NOENT, so nothing
// external is ever loaded for them), and the network is never used.
constexpr int kParseOptions = XML_PARSE_NONET;

// What reading values from one document may still take.
class ValueBudget {
 public:
  explicit ValueBudget(size_t bytes) : left_(bytes) {}
  // Takes `bytes` from what is left; false (and nothing left from then on)
  // when there is not as much.
  [[nodiscard]] bool Spend(size_t bytes) {
    if (spent_ || bytes > left_) {
      spent_ = true;
      left_ = 0;
      return false;
    }
    left_ -= bytes;
    return true;
  }
  [[nodiscard]] bool spent() const { return spent_; }

 private:
  size_t left_;
  bool spent_ = false;
};

// A DOCTYPE declaration carries the root's name too, so names alone are not
// enough: only elements count.
bool IsElement(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

std::wstring WidenXml(const xmlChar* text) {
  if (text == nullptr) return std::wstring();
  return WidenBytes(reinterpret_cast<const char*>(text));
}

bool AppendPaid(const xmlChar* content, ValueBudget& budget, std::string* text) {
  if (content == nullptr) return true;
  const size_t length = static_cast<size_t>(xmlStrlen(content));
  if (!budget.Spend(length)) return false;
  text->append(reinterpret_cast<const char*>(content), length);
  return true;
}

// Appends the text of the nodes of `list` with each entity reference
// replaced by its entity's text, as the library's
// xmlNodeListGetString(doc, list, 1) puts it together, but paid for from
// `budget` node by node, so a value that would expand past it is never
// built. False when the budget ran out or entities nest too deep.
bool AppendText(const xmlDoc* doc, const xmlNode* list, int depth, ValueBudget& budget,
                std::string* text) {
  for (const xmlNode* node = list; node != nullptr; node = node->next) {
    if (!budget.Spend(1)) return false;
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (!AppendPaid(node->content, budget, text)) return false;
    } else if (node->type == XML_ENTITY_REF_NODE) {
      const xmlEntity* entity = xmlGetDocEntity(doc, node->name);
      if (entity == nullptr) {
        if (!AppendPaid(node->content, budget, text)) return false;
      } else if (depth >= kMaxEntityNesting ||
                 !AppendText(doc, entity->children, depth + 1, budget, text)) {
        return false;
      }
    }
  }
  return true;
}

// GetAttributeValue with the text paid for from `budget`: "" when it would
// take more than is left, and the budget is then spent.
std::wstring ReadAttribute(xmlNode* element, const char* name, ValueBudget& budget) {
  std::wstring value;
  for (xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    if (attr->type != XML_ATTRIBUTE_NODE ||
        !xmlStrEqual(attr->name, reinterpret_cast<const xmlChar*>(name))) {
      continue;
    }
    // The value may be split over several text and entity-reference nodes,
    // or have none at all when it is empty.
    std::string text;
    if (!AppendText(element->doc, attr->children, 0, budget, &text)) return std::wstring();
    value = WidenBytes(text);
  }
  return value;
}

// The path elements hold their text in a CDATA section that must come first.
void ReadPath(const xmlNode* node, std::wstring* field) {
  const xmlNode* first = node->children;
  if (first != nullptr && first->type == XML_CDATA_SECTION_NODE) *field = WidenXml(first->content);
}

ReferenceDevice ReadDevice(xmlNode* device, ValueBudget& budget) {
  ReferenceDevice reference;
  const struct {
    const char* name;
    std::wstring ReferenceDevice::*field;
  } kFields[] = {
      {"type", &ReferenceDevice::type},         {"device_id", &ReferenceDevice::device_id},
      {"model", &ReferenceDevice::model},       {"firmware", &ReferenceDevice::firmware},
      {"bios", &ReferenceDevice::bios},         {"boot", &ReferenceDevice::boot},
      {"duration", &ReferenceDevice::duration},
  };
  for (xmlNode* child = device->children; child != nullptr; child = child->next) {
    for (const auto& f : kFields) {
      if (IsElement(child, f.name)) reference.*f.field = ReadAttribute(child, "value", budget);
    }
  }
  return reference;
}

// What one document holds, gathered before any of it reaches the set, so
// that a refused document leaves the set as it was.
struct Contents {
  std::wstring discovery_app_path;
  std::wstring installer_app_path;
  std::vector<ReferenceDevice> devices;
};

// False when the values came to more than kMaxValueBytes.
bool Walk(xmlDoc* doc, Contents* contents) {
  ValueBudget budget(kMaxValueBytes);
  xmlNode* node = doc->children;
  while (node != nullptr) {
    if (IsElement(node, "marvo_fchba_reference")) {
      // Enter the root; whatever follows it at its own level is not visited.
      node = node->children;
      continue;
    }
    if (IsElement(node, "discovery_app_path")) {
      ReadPath(node, &contents->discovery_app_path);
    } else if (IsElement(node, "installer_app_path")) {
      ReadPath(node, &contents->installer_app_path);
    } else if (IsElement(node, "devices")) {
      for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (!IsElement(child, "device")) continue;
        contents->devices.push_back(ReadDevice(child, budget));
        if (budget.spent()) return false;
      }
    }
    node = node->next;
  }
  return true;
}

// Hands the library the document's bytes from the one copy read, as many as
// it asks for at a time, as a file would: the library sees the same input,
// in the same pieces, as when it read the file itself.
struct MemoryInput {
  const char* next;
  size_t left;
};

int ReadInput(void* context, char* buffer, int size) {
  auto* input = static_cast<MemoryInput*>(context);
  if (size <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(size), input->left);
  std::memcpy(buffer, input->next, n);
  input->next += n;
  input->left -= n;
  return static_cast<int>(n);
}

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

struct ParserFree {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

// Parses the bytes with the library's usual tree-building handlers; null
// when the document is not well formed. The trial and the program's own
// parse both come through here, so they parse alike.
xmlDoc* Parse(const std::string& bytes) {
  MemoryInput input{bytes.data(), bytes.size()};
  std::unique_ptr<xmlParserCtxt, ParserFree> parser(
      xmlCreateIOParserCtxt(nullptr, nullptr, ReadInput, nullptr, &input, XML_CHAR_ENCODING_NONE));
  if (!parser) return nullptr;
  xmlCtxtUseOptions(parser.get(), kParseOptions);
  // Diagnostics name the file as the library's own reader would.
  if (parser->input != nullptr && parser->input->filename == nullptr) {
    parser->input->filename =
        reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(kReferenceFile)));
  }
  xmlParseDocument(parser.get());
  std::unique_ptr<xmlDoc, DocFree> doc(parser->myDoc);
  parser->myDoc = nullptr;
  if (!parser->wellFormed) return nullptr;
  return doc.release();
}

// One line on standard error says which bound refused the file.
void SayRefused(const std::string& why) {
  std::fprintf(stderr, "%s: refused: %s\n", kReferenceFile, why.c_str());
}

std::string RefusalText(XmlTrialOutcome outcome) {
  switch (outcome) {
    case XmlTrialOutcome::kTimeBound:
      return "parsing it takes more than " + std::to_string(kReferenceTrialBounds.cpu_seconds) +
             " s of processor time";
    case XmlTrialOutcome::kMemoryBound:
      return "parsing it takes more than " +
             std::to_string(kReferenceTrialBounds.library_bytes >> 20) + " MiB of memory";
    case XmlTrialOutcome::kAbnormalEnd:
      return "the trial parse ended abnormally";
    case XmlTrialOutcome::kNotStarted:
    case XmlTrialOutcome::kFinished:
      break;
  }
  return "no process could be made for the trial parse";
}

bool Read(const std::string& bytes, Contents* contents) {
  // The library's time and memory on this document are measured first, in a
  // trial: only a document that it parses within the bounds is parsed here,
  // where nothing bounds it.
  const XmlTrialOutcome trial = TrialParseReference(bytes, kReferenceTrialBounds);
  if (trial != XmlTrialOutcome::kFinished) {
    SayRefused(RefusalText(trial));
    return false;
  }
  XmlLibraryScope library;
  // Declared after the scope, so the document is freed before the library
  // state on every return.
  std::unique_ptr<xmlDoc, DocFree> doc(Parse(bytes));
  if (!doc) return false;
  if (Walk(doc.get(), contents)) return true;
  SayRefused("its values come to more than " + std::to_string(kMaxValueBytes >> 20) + " MiB");
  return false;
}

}  // namespace

std::wstring GetAttributeValue(xmlNode* element, const char* name) {
  ValueBudget budget(kMaxValueBytes);
  return ReadAttribute(element, name, budget);
}

XmlTrialOutcome TrialParseReference(const std::string& bytes, const XmlTrialBounds& bounds) {
  // The document is not freed: the child ends right after, and freeing is
  // not what is measured.
  return RunXmlTrial(
      [&bytes] {
        xmlInitParser();
        (void)Parse(bytes);
      },
      bounds);
}

bool ReferenceSet::Load() {
  // Only a regular file is read: a FIFO or a device at the path would block
  // or never end, and counts as a missing file. One byte past the bound
  // tells a file that ends at it from a longer one.
  try {
    const std::optional<std::string> bytes =
        ReadFileStart(kReferenceFile, kMaxReferenceFileBytes + 1);
    if (!bytes) return false;
    if (bytes->size() > kMaxReferenceFileBytes) {
      SayRefused("larger than " + std::to_string(kMaxReferenceFileBytes >> 20) + " MiB");
      return false;
    }
    Contents contents{discovery_app_path, installer_app_path, {}};
    if (!Read(*bytes, &contents)) return false;
    devices.insert(devices.end(), std::make_move_iterator(contents.devices.begin()),
                   std::make_move_iterator(contents.devices.end()));
    discovery_app_path = std::move(contents.discovery_app_path);
    installer_app_path = std::move(contents.installer_app_path);
    return true;
  } catch (const std::bad_alloc&) {
    // Memory ran out while the file or the values were copied: the file is
    // refused like one that cannot be read, instead of ending the program.
    return false;
  }
}
