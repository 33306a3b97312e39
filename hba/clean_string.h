// Tidies one attribute string of a vendor's record in place: trailing bytes
// outside "!" to "}" go (blanks, TABs, control characters, "~", DEL and bytes
// of 0x80 and up), then every run of blanks becomes one blank.
//
// The text lives in a fixed field that a vendor may have filled to its last
// byte without a terminating NUL, so the function works within the field's
// size and never reads or writes past it. It never makes the text longer.
#ifndef ZRN_HBA_CLEAN_STRING_H_
#define ZRN_HBA_CLEAN_STRING_H_

#include <cstddef>

// Cleans the text in `text[0 .. size)`, which ends at its first NUL or at the
// end of the field. The first character is never dropped, so a text made only
// of trimmed characters keeps one. A text that got shorter is NUL-terminated;
// one that fills the whole field and stays as long is left unterminated, as
// it came (readers bound it by the field's size).
void CleanString(char* text, size_t size);

#endif  // ZRN_HBA_CLEAN_STRING_H_
