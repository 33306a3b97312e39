#include "core/reference_set.h"

#include <libxml/parser.h>
#include <sys/stat.h>

#include <memory>

#include "core/records.h"
#include "core/text.h"
#include "core/xml_library.h"

namespace {

const char kReferenceFile[] = "reference.xml";

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

// The path elements hold their text in a CDATA section that must come first.
void ReadPath(const xmlNode* node, std::wstring* field) {
  const xmlNode* first = node->children;
  if (first != nullptr && first->type == XML_CDATA_SECTION_NODE) *field = WidenXml(first->content);
}

ReferenceDevice ReadDevice(xmlNode* device) {
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
      if (IsElement(child, f.name)) reference.*f.field = GetAttributeValue(child, "value");
    }
  }
  return reference;
}

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

std::wstring GetAttributeValue(xmlNode* element, const char* name) {
  std::wstring value;
  for (xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    if (attr->type != XML_ATTRIBUTE_NODE ||
        !xmlStrEqual(attr->name, reinterpret_cast<const xmlChar*>(name))) {
      continue;
    }
    // The value may be split over several text and entity-reference nodes,
    // or have none at all when it is empty.
    xmlChar* text = xmlNodeListGetString(element->doc, attr->children, 1);
    value = WidenXml(text);
    xmlFree(text);
  }
  return value;
}

bool ReferenceSet::Load() {
  struct stat info;
  if (stat(kReferenceFile, &info) != 0) return false;
  XmlLibraryScope library;
  // Declared after the scope, so the document is freed before the library
  // state on every return.
  std::unique_ptr<xmlDoc, DocFree> doc(xmlParseFile(kReferenceFile));
  if (!doc) return false;
  xmlNode* node = doc->children;
  while (node != nullptr) {
    if (IsElement(node, "marvo_fchba_reference")) {
      // Enter the root; whatever follows it at its own level is not visited.
      node = node->children;
      continue;
    }
    if (IsElement(node, "discovery_app_path")) {
      ReadPath(node, &discovery_app_path);
    } else if (IsElement(node, "installer_app_path")) {
      ReadPath(node, &installer_app_path);
    } else if (IsElement(node, "devices")) {
      for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsElement(child, "device")) devices.push_back(ReadDevice(child));
      }
    }
    node = node->next;
  }
  return true;
}
