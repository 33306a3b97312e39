// Shared pieces of the Brocade and Emulex end-to-end tests: the run's fixed
// console texts and the self-discovery document expected for a list of
// devices.
#ifndef ZRN_TESTS_SIM_VENDOR_E2E_SUPPORT_H_
#define ZRN_TESTS_SIM_VENDOR_E2E_SUPPORT_H_

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/sim/console_texts.h"

namespace zrn_sim {

// " 1>> /var/zrn/Component.log 2>> ... 3>> /var/zrn/Component.log"
extern const char kRedirect[];

struct XmlItem {
  std::string type, version, active_version, action, duration, shared;
};
struct XmlDevice {
  std::string device_id, product_id;
  std::vector<XmlItem> items;
};

// The whole self-discovery file for a header type (the other header fields
// empty) and these devices, with empty firmware ids, messages and bus and
// function numbers.
std::string DiscoveryDocument(const std::string& type, const std::vector<XmlDevice>& devices);

// "Flash Engine exit code: <code>\n" then "Flash complete [<result>]\n".
std::string FlashEnd(int code, int result);

// Success when the log is `head`, then at most the shell's note on a killed
// tool ("Killed\n"), then `tail`.
::testing::AssertionResult FlashLog(const std::optional<std::string>& log, const std::string& head,
                                    const std::string& tail);

}  // namespace zrn_sim

#endif  // ZRN_TESTS_SIM_VENDOR_E2E_SUPPORT_H_
