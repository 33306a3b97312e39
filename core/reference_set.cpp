#include "core/reference_set.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

#include "core/attribute_marks.h"
#include "core/records.h"
#include "core/regular_file.h"
#include "core/text.h"
#include "core/xml_library.h"

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

// The library checks the attributes of one start tag, the ones written in it
// and the defaults the DOCTYPE declares for the element, each against all
// the others: a single tag of some 100,000 attributes (a 1 MB file) keeps it
// busy for minutes, and 50,000 declared defaults cost a second for every
// element they apply to. Every attribute written in a tag comes with an
// "=", and one that an entity's text builds is written in the DOCTYPE with
// an "=" or a character reference ("&#61;"): AttributeMarks counts these
// marks where they can make attributes, at most kMaxAttributeMarks in one
// tag, or between two "<" in the DOCTYPE. Each attribute definition of an
// ATTLIST declaration, including those that parameter entities bring in, is
// counted as the library reports it, at most kMaxAttributeDeclarations. Real
// files carry one attribute per element and no declarations at all; past
// either bound the document is refused like one that is not well formed,
// which keeps the library's work within a few seconds for any file of
// kMaxReferenceFileBytes.
constexpr size_t kMaxAttributeMarks = 1024;
constexpr size_t kMaxAttributeDeclarations = 64;

// What the library says about a document while it is read is held back
// until it is known whether a bound refused the document: the library's
// messages about one that a bound cut short are about the text cut short
// ("Start tag expected" for a file that is fine), so a refused document
// leaves nothing on standard error. Otherwise what was held is written out
// as the library would have written it. A real file's messages come to a
// few hundred bytes; past kHeldMessageBytes they are written out as they
// come, and a refusal drops only what follows.
constexpr size_t kHeldMessageBytes = 64 << 10;

class HeldMessages {
 public:
  // The library's messages, formatted as ever, go to a stream of ours; when
  // none can be made, they go to standard error as they come.
  HeldMessages()
      : function_(xmlGenericError),
        context_(xmlGenericErrorContext),
        stream_(fopencookie(this, "w", {nullptr, Write, nullptr, nullptr})) {
    if (stream_ == nullptr) return;
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    xmlSetGenericErrorFunc(stream_, nullptr);
  }
  // Writes out what is held, unless dropped, and gives the library its
  // message destination back.
  ~HeldMessages() {
    if (stream_ == nullptr) return;
    xmlSetGenericErrorFunc(context_, function_);
    std::fclose(stream_);
    if (!dropped_) std::fwrite(held_, 1, size_, stderr);
  }
  HeldMessages(const HeldMessages&) = delete;
  HeldMessages& operator=(const HeldMessages&) = delete;

  // A bound refused the document: nothing held or to come is shown.
  void Drop() { dropped_ = true; }

 private:
  static ssize_t Write(void* cookie, const char* bytes, size_t count) {
    auto* self = static_cast<HeldMessages*>(cookie);
    if (self->dropped_) return static_cast<ssize_t>(count);
    if (!self->passing_ && count <= sizeof self->held_ - self->size_) {
      std::memcpy(self->held_ + self->size_, bytes, count);
      self->size_ += count;
      return static_cast<ssize_t>(count);
    }
    if (!self->passing_) {
      std::fwrite(self->held_, 1, self->size_, stderr);
      self->size_ = 0;
      self->passing_ = true;
    }
    std::fwrite(bytes, 1, count, stderr);
    return static_cast<ssize_t>(count);
  }

  xmlGenericErrorFunc function_;
  void* context_;
  FILE* stream_;
  bool dropped_ = false;
  bool passing_ = false;
  size_t size_ = 0;
  char held_[kHeldMessageBytes];
};

// Hands the library the file's bytes. A file longer than
// kMaxReferenceFileBytes, or a tag with more than kMaxAttributeMarks
// attributes, makes the read fail. The library takes a failed read for the
// end of the file, so a document whose read failed is refused here; so is
// one whose ATTLIST declarations were stopped.
struct FileInput {
  RegularFile& file;
  size_t left;
  HeldMessages& messages;
  bool failed = false;
  AttributeMarks marks{kMaxAttributeMarks};
  size_t declarations = 0;  // attribute definitions met so far
};

// A bound refuses the document.
void Refuse(FileInput* input) {
  input->failed = true;
  input->messages.Drop();
}

int ReadInput(void* context, char* buffer, int size) {
  auto* input = static_cast<FileInput*>(context);
  if (size <= 0) return 0;
  if (input->left == 0) {
    // One byte more tells a file that ends at the bound from a longer one.
    char extra;
    if (input->file.Read(&extra, 1) == 0) return 0;
    Refuse(input);
    return -1;
  }
  const long n = input->file.Read(buffer, std::min(static_cast<size_t>(size), input->left));
  if (n < 0) {
    input->failed = true;
    return -1;
  }
  input->left -= static_cast<size_t>(n);
  if (!input->marks.Feed(buffer, static_cast<size_t>(n))) {
    Refuse(input);
    return -1;
  }
  return static_cast<int>(n);
}

// The library's own handling of one attribute definition, counted; past
// kMaxAttributeDeclarations the parse is stopped and the document refused.
void CountAttributeDeclaration(void* context, const xmlChar* element, const xmlChar* name, int type,
                               int def, const xmlChar* default_value, xmlEnumeration* values) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  auto* input = static_cast<FileInput*>(parser->_private);
  if (++input->declarations > kMaxAttributeDeclarations) {
    Refuse(input);
    xmlFreeEnumeration(values);
    xmlStopParser(parser);
    return;
  }
  xmlSAX2AttributeDecl(context, element, name, type, def, default_value, values);
}

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

struct ParserFree {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

// Parses the file as xmlReadIO does, with the library's usual tree-building
// handlers except that attribute definitions are counted; null when the
// document is not well formed or was refused.
xmlDoc* Parse(FileInput* input) {
  xmlSAXHandler handlers;
  xmlSAXVersion(&handlers, 2);
  handlers.attributeDecl = CountAttributeDeclaration;
  std::unique_ptr<xmlParserCtxt, ParserFree> parser(
      xmlCreateIOParserCtxt(&handlers, nullptr, ReadInput, nullptr, input, XML_CHAR_ENCODING_NONE));
  if (!parser) return nullptr;
  parser->_private = input;
  xmlCtxtUseOptions(parser.get(), kParseOptions);
  // Diagnostics name the file as the library's own reader would.
  if (parser->input != nullptr && parser->input->filename == nullptr) {
    parser->input->filename =
        reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(kReferenceFile)));
  }
  xmlParseDocument(parser.get());
  std::unique_ptr<xmlDoc, DocFree> doc(parser->myDoc);
  parser->myDoc = nullptr;
  if (!parser->wellFormed || input->failed) return nullptr;
  return doc.release();
}

bool Read(RegularFile& file, Contents* contents) {
  XmlLibraryScope library;
  HeldMessages messages;
  FileInput input{file, kMaxReferenceFileBytes, messages};
  // Declared after the scope, so the document is freed before the library
  // state on every return.
  std::unique_ptr<xmlDoc, DocFree> doc(Parse(&input));
  if (!doc || input.failed) return false;
  if (Walk(doc.get(), contents)) return true;
  messages.Drop();
  return false;
}

}  // namespace

std::wstring GetAttributeValue(xmlNode* element, const char* name) {
  ValueBudget budget(kMaxValueBytes);
  return ReadAttribute(element, name, budget);
}

bool ReferenceSet::Load() {
  // Only a regular file is read: a FIFO or a device at the path would block
  // or never end, and counts as a missing file.
  RegularFile file(kReferenceFile);
  if (!file.is_open()) return false;
  try {
    Contents contents{discovery_app_path, installer_app_path, {}};
    if (!Read(file, &contents)) return false;
    devices.insert(devices.end(), std::make_move_iterator(contents.devices.begin()),
                   std::make_move_iterator(contents.devices.end()));
    discovery_app_path = std::move(contents.discovery_app_path);
    installer_app_path = std::move(contents.installer_app_path);
    return true;
  } catch (const std::bad_alloc&) {
    // Memory ran out while the values were copied: the file is refused like
    // one that cannot be read, instead of ending the program.
    return false;
  }
}
