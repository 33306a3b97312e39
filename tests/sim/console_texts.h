// The program's own console texts that the end-to-end tests expect, each
// written once: a test builds the whole expected console of a run from them.
#ifndef ZRN_TESTS_SIM_CONSOLE_TEXTS_H_
#define ZRN_TESTS_SIM_CONSOLE_TEXTS_H_

#include <string>

namespace zrn_sim {

// The banner every run opens with: 51 dashes and a newline.
inline const std::string kBanner = std::string(51, '-') + "\n";
inline const std::string kLoading = "Loading references...";
// A run whose reference file loaded, up to the discovery step.
inline const std::string kRunStart = kBanner + kLoading + "done.\nPerforming discovery...\n";
// A run whose reference file is missing or refused.
inline const std::string kLoadFailed = kBanner + kLoading + "FAILED!\n";
inline const std::string kXmlDone = "Generating self-discovery XML...done.\n";
inline const std::string kFlashStart = "Performing flash -- DO NOT INTERRUPT!\n";
inline const std::string kMraFailed = "MRA get returned failed status!\n";
inline const std::string kNoAdapters = "WARNING! : No supported adapters found.\n";
inline const std::string kLogError = "ERROR : Unable to write to log file\n";

}  // namespace zrn_sim

#endif  // ZRN_TESTS_SIM_CONSOLE_TEXTS_H_
