// Text forms of a narrow character set and of one narrow character, for the
// diagnostic dump. Each function writes into a static buffer of its own and
// returns it; the text is valid until the next call of the same function.
// Not thread-safe. Nothing in the program's own flow calls these.
#ifndef ZRN_REGEX_CLASS_PRINTER_H_
#define ZRN_REGEX_CLASS_PRINTER_H_

#include <map>

// The members of vals as a bracket class ("[a-z]", "[^\x01]"); with
// tryComplement, the complement's form when it is not longer.
const char* classToText(const std::map<char, bool>& vals, bool inv, bool tryComplement);
// One character: "\0", "\t", "\n", "\p", "\r", "0x%02X" of the signed value
// for other control and high bytes, else the character itself.
const char* charToText(char c);

#endif  // ZRN_REGEX_CLASS_PRINTER_H_
