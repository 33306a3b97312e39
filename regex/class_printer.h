// Text forms of a narrow character set and of one narrow character, a
// diagnostic aid beside the node dump. Each function writes into a static
// buffer of its own and returns it; the text is valid until the next call of
// the same function. Not thread-safe.
//
// Who uses them: nobody in the program, and not the dump either, whose class
// line shows only the member count and `inv` ("12NFAClassNode(3 vals,
// inv=false)"). They are for a developer who needs to see a class node's
// members (classToText(node->vals, node->inv, true) from a debugger or a
// test); the engine's own tests pin their texts.
#ifndef ZRN_REGEX_CLASS_PRINTER_H_
#define ZRN_REGEX_CLASS_PRINTER_H_

#include <map>
#include <memory_resource>

// The members of vals as a bracket class ("[a-z]", "[^\x01]"); with
// tryComplement, the complement's form when it is not longer.
const char* classToText(const std::pmr::map<char, bool>& vals, bool inv, bool tryComplement);
// One character: "\0", "\t", "\n", "\p", "\r", "0x%02X" of the signed value
// for other control and high bytes, else the character itself.
const char* charToText(char c);

#endif  // ZRN_REGEX_CLASS_PRINTER_H_
