// The self-discovery document: "tarv_rom_discovery" (version "2.0.0.0") with
// the four header leaves and "devices", each "device" with four leaves and
// its "fw_item" elements of eight leaves. A leaf has no content and a single
// "value" attribute holding its field narrowed byte by byte.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cstdio>
#include <memory>

#include "core/base_cmp.h"
#include "core/text.h"
#include "core/xml_library.h"

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

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
    if (ok) ok = xmlNewProp(leaf, X("value"), X(NarrowBytes(value).c_str())) != nullptr;
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

// Saves in the library's indented form to exactly the given path: the file
// is opened here, because the library's own file opener reads "-" as
// standard output and some names as URIs.
bool Save(xmlDoc* doc, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "w");
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
