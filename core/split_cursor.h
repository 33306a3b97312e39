// SplitCursor: the pieces of a text between delimiters, one at a time,
// without a string for each piece. Version texts are walked token by token
// with it and the Emulex query's output line by line, so that millions of
// dots or lines cost the text itself and the piece at hand.
//
// The cursor refers to the text, which must outlive it; it copies each
// piece into the caller's string and owns nothing.
#ifndef ZRN_CORE_SPLIT_CURSOR_H_
#define ZRN_CORE_SPLIT_CURSOR_H_

#include <algorithm>
#include <cstddef>

template <class String>
class SplitCursor {
 public:
  using Char = typename String::value_type;

  SplitCursor(const String& text, Char delimiter) : text_(text), delimiter_(delimiter) {}

  // The next piece into *piece (its capacity kept for the next); false when
  // none is left. Empty pieces between delimiters and before a leading one
  // count; a trailing delimiter adds no empty piece; an empty text has none.
  bool Next(String* piece) {
    if (start_ >= text_.size()) return false;
    const size_t end = std::min(text_.find(delimiter_, start_), text_.size());
    piece->assign(text_, start_, end - start_);
    start_ = end + 1;
    return true;
  }

 private:
  const String& text_;
  const Char delimiter_;
  size_t start_ = 0;
};

#endif  // ZRN_CORE_SPLIT_CURSOR_H_
