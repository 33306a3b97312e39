// The text form of a Fibre Channel world-wide name: eight upper-case
// two-digit hexadecimal bytes joined by colons, 23 characters. Used for node,
// port and fabric names alike.
#ifndef ZRN_HBA_WWN_TEXT_H_
#define ZRN_HBA_WWN_TEXT_H_

#include <cstdint>
#include <string>

// "20:00:00:11:22:33:44:55" for those eight bytes; every byte is formatted
// as unsigned, so 0xFA gives "FA".
std::string WwnText(const uint8_t (&wwn)[8]);

#endif  // ZRN_HBA_WWN_TEXT_H_
