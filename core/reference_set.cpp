#include "core/reference_set.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.h"
#include "core/regular_file.h"
#include "core/text.h"
#include "core/xml_messages.h"
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

// GetAttributeValue with the text paid for from `budget`, before it is
// widened: "" when it would take more than is left, and the budget is then
// spent.
std::string ReadAttribute(xmlNode* element, const char* name, ValueBudget& budget) {
  std::string value;
  for (xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    if (attr->type != XML_ATTRIBUTE_NODE ||
        !xmlStrEqual(attr->name, reinterpret_cast<const xmlChar*>(name))) {
      continue;
    }
    // The value may be split over several text and entity-reference nodes,
    // or have none at all when it is empty.
    std::string text;
    if (!AppendText(element->doc, attr->children, 0, budget, &text)) return std::string();
    value = std::move(text);
  }
  return value;
}

// The path elements hold their text in a CDATA section that must come first;
// otherwise the path is left as it was.
void ReadPath(const xmlNode* node, std::optional<std::string>* field) {
  const xmlNode* first = node->children;
  if (first == nullptr || first->type != XML_CDATA_SECTION_NODE) return;
  *field = first->content == nullptr ? std::string()
                                     : std::string(reinterpret_cast<const char*>(first->content));
}

// The children of a "device" element that are read, each into its field.
struct DeviceField {
  const char* name;
  std::wstring ReferenceDevice::*field;
};
constexpr DeviceField kDeviceFields[] = {
    {"type", &ReferenceDevice::type},         {"device_id", &ReferenceDevice::device_id},
    {"model", &ReferenceDevice::model},       {"firmware", &ReferenceDevice::firmware},
    {"bios", &ReferenceDevice::bios},         {"boot", &ReferenceDevice::boot},
    {"duration", &ReferenceDevice::duration},
};
constexpr size_t kDeviceFieldCount = std::size(kDeviceFields);

// What the trial hands back of a load (below) holds numbers in four bytes,
// least significant first, and each text as its length, then its bytes.
constexpr size_t kNumberBytes = 4;

void PutNumber(uint32_t value, std::string* out) {
  for (size_t i = 0; i < kNumberBytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

void PutText(std::string_view text, std::string* out) {
  PutNumber(static_cast<uint32_t>(text.size()), out);
  out->append(text);
}

// Reads one device's values, before they are widened, and appends them to
// `out` as texts in kDeviceFields order.
void ReadDevice(xmlNode* device, ValueBudget& budget, std::string* out) {
  std::array<std::string, kDeviceFieldCount> values;
  for (xmlNode* child = device->children; child != nullptr; child = child->next) {
    for (size_t i = 0; i < kDeviceFieldCount; ++i) {
      if (IsElement(child, kDeviceFields[i].name)) {
        values[i] = ReadAttribute(child, "value", budget);
      }
    }
  }
  for (const std::string& value : values) PutText(value, out);
}

// What one document holds; a path the document does not set is left out.
// The devices are kept as the trial hands them back, so that a file of
// hundreds of thousands of them is not held twice.
struct Contents {
  std::optional<std::string> discovery_app_path;
  std::optional<std::string> installer_app_path;
  uint32_t device_count = 0;
  std::string devices;
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
        ReadDevice(child, budget, &contents->devices);
        ++contents->device_count;
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

struct ParserFree {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

// Parses the bytes with the library's usual tree-building handlers; null
// when the document is not well formed. The caller owns the document.
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
  xmlDoc* doc = parser->myDoc;
  parser->myDoc = nullptr;
  if (!parser->wellFormed) {
    xmlFreeDoc(doc);
    return nullptr;
  }
  return doc;
}

enum class LoadState : unsigned char {
  kNotWellFormed,
  kLoaded,
  kValuesPastBound,
  kOutOfMemory,  // the load could not have the memory it needed
};

// What loading one document gave: the library's messages about it, as they
// are to reach standard error, and, when it loaded, what it holds.
struct LoadedDocument {
  LoadState state = LoadState::kNotWellFormed;
  std::string messages;
  Contents contents;
};

// What becomes of the parsed document once it was walked.
enum class DocumentEnd {
  kLeftToTheProcess,  // in the trial's child, which ends right after
  kFreed,
};

// The whole load of the document's bytes: the parse, the library's messages
// about it and the walk. It runs in the trial's child, where all of it is
// measured; the program only takes in what it gathered. In the child the
// document is not freed: that is no part of the load, and a large one takes
// a while.
LoadedDocument LoadDocument(const std::string& bytes, DocumentEnd end) {
  LoadedDocument loaded;
  xmlInitParser();
  XmlMessages messages(kReferenceFile);
  xmlDoc* doc = Parse(bytes);
  if (doc != nullptr) {
    loaded.state = Walk(doc, &loaded.contents) ? LoadState::kLoaded : LoadState::kValuesPastBound;
    if (end == DocumentEnd::kFreed) xmlFreeDoc(doc);
  }
  loaded.messages = messages.Text();
  return loaded;
}

// The most a load hands back from the trial. Each part has a bound of its
// own: the messages kMaxXmlMessageBytes and a closing line; both paths
// together are text of the file, at most three bytes of UTF-8 for each of
// its bytes (a byte of a Windows code page can stand for "€"); the values
// together kMaxValueBytes; and every device read is an element of the file
// ("<device/>" at the least; those inside entities are not read), each of
// its texts written with its length.
constexpr size_t kMaxDevicesRead = kMaxReferenceFileBytes / (sizeof("<device/>") - 1);
constexpr size_t kMaxLoadResultBytes = size_t{64} << 20;
static_assert(kMaxLoadResultBytes >= 1 + kNumberBytes + kMaxXmlMessageBytes + 1024 +
                                         2 * (1 + kNumberBytes) + kNumberBytes +
                                         3 * kMaxReferenceFileBytes + kMaxValueBytes +
                                         kMaxDevicesRead * kDeviceFieldCount * kNumberBytes,
              "a load's result must fit");

void PutPath(const std::optional<std::string>& path, std::string* out) {
  out->push_back(path ? 1 : 0);
  if (path) PutText(*path, out);
}

// The result of a load as the trial hands it back: its state, its messages,
// and for a document that loaded the two paths (each a flag, then its text
// when set), the number of devices in four bytes and their texts.
std::string Encode(const LoadedDocument& loaded) {
  std::string out;
  out.push_back(static_cast<char>(loaded.state));
  PutText(loaded.messages, &out);
  if (loaded.state != LoadState::kLoaded) return out;
  PutPath(loaded.contents.discovery_app_path, &out);
  PutPath(loaded.contents.installer_app_path, &out);
  PutNumber(loaded.contents.device_count, &out);
  out += loaded.contents.devices;
  return out;
}

// Reads back what Encode wrote; every read is checked against what is left.
class ResultReader {
 public:
  explicit ResultReader(std::string_view bytes) : rest_(bytes) {}
  [[nodiscard]] bool AtEnd() const { return rest_.empty(); }
  [[nodiscard]] bool Byte(unsigned char* value) {
    if (rest_.empty()) return false;
    *value = static_cast<unsigned char>(rest_[0]);
    rest_.remove_prefix(1);
    return true;
  }
  [[nodiscard]] size_t left() const { return rest_.size(); }
  [[nodiscard]] bool Number(uint32_t* value) {
    if (rest_.size() < kNumberBytes) return false;
    *value = 0;
    for (size_t i = 0; i < kNumberBytes; ++i) {
      *value |= static_cast<uint32_t>(static_cast<unsigned char>(rest_[i])) << (8 * i);
    }
    rest_.remove_prefix(kNumberBytes);
    return true;
  }
  [[nodiscard]] bool Text(std::string_view* text) {
    uint32_t length = 0;
    if (!Number(&length) || length > rest_.size()) return false;
    *text = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return true;
  }
  [[nodiscard]] bool Path(std::optional<std::wstring>* path) {
    unsigned char set = 0;
    if (!Byte(&set) || set > 1) return false;
    if (set == 0) return true;
    std::string_view text;
    if (!Text(&text)) return false;
    *path = WidenBytes(text);
    return true;
  }

 private:
  std::string_view rest_;
};

// What the program takes in of a load: the values widened byte by byte.
struct Taken {
  LoadState state = LoadState::kNotWellFormed;
  std::string messages;
  std::optional<std::wstring> discovery_app_path;
  std::optional<std::wstring> installer_app_path;
  std::vector<ReferenceDevice> devices;
};

// False when the bytes are not a whole result.
bool Decode(std::string_view bytes, Taken* taken) {
  ResultReader in(bytes);
  unsigned char state = 0;
  std::string_view messages;
  if (!in.Byte(&state) || state > static_cast<unsigned char>(LoadState::kOutOfMemory) ||
      !in.Text(&messages)) {
    return false;
  }
  taken->state = static_cast<LoadState>(state);
  taken->messages = std::string(messages);
  if (taken->state != LoadState::kLoaded) return in.AtEnd();
  uint32_t count = 0;
  if (!in.Path(&taken->discovery_app_path) || !in.Path(&taken->installer_app_path) ||
      !in.Number(&count) || count > in.left() / (kDeviceFieldCount * kNumberBytes)) {
    return false;
  }
  taken->devices.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    // Filled in place: the record has no move of its own.
    ReferenceDevice& device = taken->devices.emplace_back();
    for (const DeviceField& f : kDeviceFields) {
      std::string_view value;
      if (!in.Text(&value)) return false;
      device.*f.field = WidenBytes(value);
    }
  }
  return in.AtEnd();
}

// Appends what a load gathered to `set`, as ReferenceSet::Load does.
void TakeInto(Taken* taken, ReferenceSet* set) {
  // The records copy themselves field by field: the list is taken over
  // whole where there is nothing to append to, as on the one load a run
  // makes.
  if (set->devices.empty()) {
    set->devices.swap(taken->devices);
  } else {
    set->devices.insert(set->devices.end(), taken->devices.begin(), taken->devices.end());
  }
  if (taken->discovery_app_path) set->discovery_app_path = std::move(*taken->discovery_app_path);
  if (taken->installer_app_path) set->installer_app_path = std::move(*taken->installer_app_path);
}

// Loads the document in a trial under `bounds`: on kFinished, *taken holds
// what the load gathered.
XmlTrialOutcome TrialLoad(const std::string& bytes, const XmlTrialBounds& bounds, Taken* taken) {
  std::string result;
  const auto load = [&bytes] {
    try {
      return Encode(LoadDocument(bytes, DocumentEnd::kLeftToTheProcess));
    } catch (const std::bad_alloc&) {
      // A result this short needs no memory of its own.
      LoadedDocument none;
      none.state = LoadState::kOutOfMemory;
      return Encode(none);
    }
  };
  XmlTrialOutcome outcome = RunXmlTrial(load, bounds, kMaxLoadResultBytes, &result);
  if (outcome == XmlTrialOutcome::kFinished && !Decode(result, taken)) {
    outcome = XmlTrialOutcome::kAbnormalEnd;
  }
  return outcome;
}

// One line on standard error says which bound refused the file.
void SayRefused(const std::string& why) {
  std::fprintf(stderr, "%s: refused: %s\n", kReferenceFile, why.c_str());
}

std::string RefusalText(XmlTrialOutcome outcome) {
  switch (outcome) {
    case XmlTrialOutcome::kTimeBound:
      return "parsing it takes more than " +
             std::to_string(XmlTrialProcessorSeconds(kReferenceTrialBounds)) +
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

// The whole load happens in the trial, where its processor time and the
// library's memory are bounded; here the program only shows the library's
// messages and takes in what the load gathered.
bool Read(const std::string& bytes, Taken* taken) {
  const XmlTrialOutcome trial = TrialLoad(bytes, kReferenceTrialBounds, taken);
  if (trial != XmlTrialOutcome::kFinished) {
    SayRefused(RefusalText(trial));
    return false;
  }
  std::fwrite(taken->messages.data(), 1, taken->messages.size(), stderr);
  switch (taken->state) {
    case LoadState::kLoaded:
      return true;
    case LoadState::kValuesPastBound:
      SayRefused("its values come to more than " + std::to_string(kMaxValueBytes >> 20) + " MiB");
      return false;
    case LoadState::kNotWellFormed:
    case LoadState::kOutOfMemory:
      // Memory that ran out fails the load as a file that cannot be read
      // does, as it would in the program itself.
      break;
  }
  return false;
}

}  // namespace

std::wstring GetAttributeValue(xmlNode* element, const char* name) {
  ValueBudget budget(kMaxValueBytes);
  return WidenBytes(ReadAttribute(element, name, budget));
}

bool LoadReferenceUnbounded(const std::string& bytes, ReferenceSet* set, std::string* messages) {
  Taken taken;
  // Through the same result as the trial hands back, so that this load
  // differs from the program's only in where it runs.
  if (!Decode(Encode(LoadDocument(bytes, DocumentEnd::kFreed)), &taken)) return false;
  *messages = std::move(taken.messages);
  if (taken.state != LoadState::kLoaded) return false;
  TakeInto(&taken, set);
  return true;
}

XmlTrialOutcome TrialLoadReference(const std::string& bytes, const XmlTrialBounds& bounds) {
  Taken ignored;
  return TrialLoad(bytes, bounds, &ignored);
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
    Taken taken;
    if (!Read(*bytes, &taken)) return false;
    TakeInto(&taken, this);
    return true;
  } catch (const std::bad_alloc&) {
    // Memory ran out while the file or the values were copied: the file is
    // refused like one that cannot be read, instead of ending the program.
    return false;
  }
}
