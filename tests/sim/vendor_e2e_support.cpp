#include "tests/sim/vendor_e2e_support.h"

namespace zrn_sim {

const char kRedirect[] =
    " 1>> /var/zrn/Component.log 2>> /var/zrn/Component.log 3>> /var/zrn/Component.log";

namespace {
std::string Leaf(int indent, const std::string& name, const std::string& value) {
  return std::string(indent, ' ') + "<" + name + " value=\"" + value + "\"/>\n";
}
}  // namespace

std::string DiscoveryDocument(const std::string& type, const std::vector<XmlDevice>& devices) {
  std::string doc =
      "<?xml version=\"1.0\"?>\n"
      "<tarv_rom_discovery version=\"2.0.0.0\">\n";
  doc += Leaf(2, "type", type) + Leaf(2, "alt_name", "") + Leaf(2, "version", "") +
         Leaf(2, "takes_effect", "");
  if (devices.empty()) return doc + "  <devices/>\n</tarv_rom_discovery>\n";
  doc += "  <devices>\n";
  for (const XmlDevice& d : devices) {
    doc += "    <device>\n";
    doc += Leaf(6, "device_id", d.device_id) + Leaf(6, "product_id", d.product_id) +
           Leaf(6, "busnumber", "") + Leaf(6, "funcnumber", "");
    for (const XmlItem& i : d.items) {
      doc += "      <fw_item>\n";
      doc += Leaf(8, "type", i.type) + Leaf(8, "firmware_id", "") + Leaf(8, "version", i.version) +
             Leaf(8, "active_version", i.active_version) + Leaf(8, "action", i.action) +
             Leaf(8, "duration", i.duration) + Leaf(8, "message", "") + Leaf(8, "shared", i.shared);
      doc += "      </fw_item>\n";
    }
    doc += "    </device>\n";
  }
  return doc + "  </devices>\n</tarv_rom_discovery>\n";
}

std::string FlashEnd(int code, int result) {
  return "Flash Engine exit code: " + std::to_string(code) + "\nFlash complete [" +
         std::to_string(result) + "]\n";
}

::testing::AssertionResult FlashLog(const std::optional<std::string>& log, const std::string& head,
                                    const std::string& tail) {
  if (log == head + tail || log == head + "Killed\n" + tail) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "log:\n"
                                       << log.value_or("(none)") << "\nexpected:\n"
                                       << head << tail;
}

}  // namespace zrn_sim
