// The Emulex component's query-line pattern and the lines the engine's
// tests, fuzz targets and benchmark run it on: the keys of one adapter, an
// adapter's whole line, and key sets edited at random by a small seeded
// generator of our own, so that the lines are the same on every machine
// and with every library.
#ifndef ZRN_TESTS_REGEX_QUERY_LINES_H_
#define ZRN_TESTS_REGEX_QUERY_LINES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zrn_query_lines {

// The pattern, compiled with DOT_ANY as the component does.
constexpr char kEmulexLine[] =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),"
    ".*Firmware=(.+),.*Boot Code=([\\w\\.]+).*";

// The Emulex query line's keys with values the line pattern accepts, but no
// "Boot Code=": repeated, it matches nothing.
constexpr char kKeySet[] = "HBA=a, PCI ID=1, VID=1, SSID=1, SVID=1, Firmware=1, ";

// An adapter's keys: any line the pattern fails on matches once these
// follow it.
constexpr char kAdapter[] =
    "HBA=z, PCI ID=f100, VID=10df, SSID=f1a0, SVID=10de, Firmware=2.01A10, Boot Code=5.12a2, x";

// The seven groups of line + kAdapter, for a line that starts with "HBA="
// and holds no "Boot Code=": the first ".+" runs up to the adapter's own
// first comma, the rest are the adapter's values.
inline std::vector<std::string> AdapterGroups(const std::string& line) {
  return {line.substr(4) + "HBA=z", "f100", "10df", "f1a0", "10de", "2.01A10", "5.12a2"};
}

class Lcg {
 public:
  explicit Lcg(uint64_t seed) : state(seed) {}
  uint32_t below(uint32_t n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33) % n;
  }

 private:
  uint64_t state;
};

// With a chance of 5 %, one to three characters of the line's own alphabet
// inserted, deleted or replaced at random places; otherwise the unit as it
// is.
inline std::string EditedAtRandom(std::string unit, Lcg* random) {
  static const char kAlphabet[] = "HBA=PCI DVSFirmwaeBotC,.1ai ";
  if (random->below(100) >= 5) return unit;
  const uint32_t edits = 1 + random->below(3);
  for (uint32_t e = 0; e < edits && !unit.empty(); ++e) {
    const size_t at = random->below(static_cast<uint32_t>(unit.size()));
    const char c = kAlphabet[random->below(sizeof(kAlphabet) - 1)];
    switch (random->below(3)) {
      case 0:
        unit.insert(at, 1, c);
        break;
      case 1:
        unit.erase(at, 1);
        break;
      default:
        unit[at] = c;
        break;
    }
  }
  return unit;
}

}  // namespace zrn_query_lines

#endif  // ZRN_TESTS_REGEX_QUERY_LINES_H_
