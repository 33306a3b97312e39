// The self-discovery document: "tarv_rom_discovery" (version "2.0.0.0") with
// the four header leaves and "devices", each "device" with four leaves and
// its "fw_item" elements of eight leaves. A leaf has no content and a single
// "value" attribute holding its field narrowed byte by byte, less what XML
// 1.0 cannot carry (XmlValue).
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "core/base_cmp.h"
#include "core/text.h"
#include "core/xml_library.h"

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The length of the UTF-8 sequence at `at` when it is well formed (shortest
// form, at most U+10FFFF) and encodes a character XML 1.0 allows at or
// above U+0080 (no surrogate, not U+FFFE or U+FFFF); 0 otherwise.
size_t XmlCharLength(const std::string& text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length;
  char32_t c, least;
  if (lead >= 0xC0 && lead < 0xE0) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF8) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  const bool allowed =
      c >= least && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) && c != 0xFFFE && c != 0xFFFF;
  return allowed ? length : 0;
}

// The field narrowed byte by byte, as text that XML 1.0 can carry in the
// document's encoding (UTF-8: no other is declared). The library writes an
// attribute's bytes below 0x20 as they are, so one of them made a file that
// no parser reads: the bytes below 0x20 other than TAB, LF and CR are left
// out, and so is NUL, which also cut the value short. A byte of 0x80 or
// above that begins no well-formed sequence of an allowed character is kept
// as the character of the same number (U+0080 to U+00FF): that is how the
// library writes such a byte within a value, but at a value's end it wrote
// the bare byte, which is no UTF-8 (and a lead byte before bytes that do not
// continue it was read with them as one made-up character). Everything else,
// ASCII and well-formed UTF-8 alike, is kept as it is.
std::string XmlValue(const std::wstring& field) {
  const std::string bytes = NarrowBytes(field);
  std::string value;
  value.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const unsigned char byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x20) {
      if (byte == '\t' || byte == '\n' || byte == '\r') value += static_cast<char>(byte);
      ++at;
    } else if (byte < 0x80) {
      value += static_cast<char>(byte);
      ++at;
    } else if (const size_t length = XmlCharLength(bytes, at)) {
      value.append(bytes, at, length);
      at += length;
    } else {
      value += static_cast<char>(0xC0 | (byte >> 6));
      value += static_cast<char>(0x80 | (byte & 0x3F));
      ++at;
    }
  }
  return value;
}

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// Builds the document; null parts only come from a library that ran out of
// memory, and each step gives up on the first of them.
class DocumentBuilder {
 public:
  bool ok = true;

  xmlNode* Child(xmlNode* parent, const char* name) {
    xmlNode* node = ok ? xmlNewChild(parent, nullptr, X(name), nullptr) : nullptr;
    ok = node != nullptr;
    return node;
  }

  void Leaf(xmlNode* parent, const char* name, const std::wstring& value) {
    xmlNode* leaf = Child(parent, name);
    if (ok) ok = xmlNewProp(leaf, X("value"), X(XmlValue(value).c_str())) != nullptr;
  }
};

void AddItem(DocumentBuilder& b, xmlNode* device, const FirmwareItem& item) {
  xmlNode* node = b.Child(device, "fw_item");
  b.Leaf(node, "type", item.type);
  b.Leaf(node, "firmware_id", item.firmware_id);
  b.Leaf(node, "version", item.version);
  b.Leaf(node, "active_version", item.active_version);
  b.Leaf(node, "action", item.action);
  b.Leaf(node, "duration", item.duration);
  b.Leaf(node, "message", item.message);
  b.Leaf(node, "shared", item.shared);
}

void AddDevice(DocumentBuilder& b, xmlNode* devices, const DiscoveredDevice& device) {
  xmlNode* node = b.Child(devices, "device");
  b.Leaf(node, "device_id", device.device_id);
  b.Leaf(node, "product_id", device.product_id);
  b.Leaf(node, "busnumber", device.busnumber);
  b.Leaf(node, "funcnumber", device.funcnumber);
  for (const FirmwareItem& item : device.fw_items) AddItem(b, node, item);
}

// The path opened for writing as fopen(path, "w") opens it (created 0666
// under the mask, or emptied), except that the open never waits: a FIFO
// there that nobody reads would keep the run waiting forever; it fails at
// once instead, so the document counts as not saved. Once open, writes wait again,
// so a FIFO that someone does read receives the whole document.
FILE* OpenForWriting(const std::string& path) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  const int flags = ::fcntl(fd, F_GETFL);
  FILE* file =
      flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : ::fdopen(fd, "w");
  if (file == nullptr) ::close(fd);
  return file;
}

// Saves in the library's indented form to exactly the given path: the file
// is opened here, because the library's own file opener reads "-" as
// standard output and some names as URIs.
bool Save(xmlDoc* doc, const std::string& path) {
  FILE* file = OpenForWriting(path);
  if (file == nullptr) return false;
  xmlOutputBuffer* out = xmlOutputBufferCreateFile(file, nullptr);
  // xmlSaveFormatFileTo releases the buffer in every case.
  const bool saved = out != nullptr && xmlSaveFormatFileTo(out, doc, nullptr, 1) >= 0;
  const bool closed = std::fclose(file) == 0;
  return saved && closed;
}

}  // namespace

bool CBaseCmp::WriteDiscoveryXml() {
  XmlLibraryScope library;
  std::unique_ptr<xmlDoc, DocFree> doc(xmlNewDoc(nullptr));
  if (!doc) return false;
  xmlNode* root = xmlNewNode(nullptr, X("tarv_rom_discovery"));
  if (root == nullptr) return false;
  xmlDocSetRootElement(doc.get(), root);
  DocumentBuilder b;
  b.ok = xmlNewProp(root, X("version"), X("2.0.0.0")) != nullptr;
  b.Leaf(root, "type", m_discoveryInfo.type);
  b.Leaf(root, "alt_name", m_discoveryInfo.alt_name);
  b.Leaf(root, "version", m_discoveryInfo.version);
  b.Leaf(root, "takes_effect", m_discoveryInfo.takes_effect);
  xmlNode* devices = b.Child(root, "devices");
  for (const DiscoveredDevice& device : m_discoveryInfo.devices) AddDevice(b, devices, device);
  return b.ok && Save(doc.get(), m_outputPath);
}
