// AttributeMarks: counts, in the bytes of an XML document as they are read
// (fed in pieces of any size), the marks from which the XML library can
// make attributes, so that a document whose tags would carry far more
// attributes than the bound is refused before the library has parsed them.
//
// What is counted follows the library's own reading of the document:
//   - in a start tag (a "<" followed by a name character, up to its ">"
//     outside quotes) the "=" signs outside quoted values, one for each
//     attribute written in it;
//   - in the DOCTYPE (its internal subset, where an entity's text may hold
//     tags written with character references, "&#61;" for "="), every "="
//     and "&#" since the last "<".
// Comments, CDATA sections, processing instructions, character data and
// quoted attribute values make no attribute and are not counted. Where the
// document leaves the well-formed structure on which the library and this
// count agree (a "<" inside a tag, a character that is no XML character
// inside a comment, a "]" in a CDATA section right after a byte beyond
// ASCII, a DOCTYPE of an unusual shape, a NUL byte in an 8-bit document,
// ...), the library may recover at a place of its own choosing,
// so from there to the end every "=" and "&#" since the last "<" is counted,
// as in the DOCTYPE.
//
// A document in UTF-16, as the library detects it from its first bytes, is
// read in 16-bit units, so that a character whose bytes look like "<" or a
// quote is never taken for one. A declaration naming an encoding that this
// reading does not follow (another byte order, UTF-7, ISO-2022, JOHAB, ...),
// and a document in UCS-4, are counted byte by byte with NULs skipped, every
// "=" and "&#" since the last "<". Encodings that write markup in bytes
// other than ASCII's (EBCDIC, UTF-7) are not seen through.
//
// It allocates nothing, so it may run inside the library's read callback.
#ifndef ZRN_CORE_ATTRIBUTE_MARKS_H_
#define ZRN_CORE_ATTRIBUTE_MARKS_H_

#include <cstddef>
#include <cstdint>

class AttributeMarks {
 public:
  // `limit`: the most marks one start tag, or the stretch between two "<"
  // where everything is counted, may carry.
  explicit AttributeMarks(size_t limit) : limit_(limit) {}

  // Takes the next bytes of the document. False once some place has carried
  // more than `limit` marks, for these bytes and all that follow.
  [[nodiscard]] bool Feed(const char* bytes, size_t count);

 private:
  enum class Layout { kUndecided, kBytes, kUtf16Le, kUtf16Be };
  enum class State {
    // Outside the DOCTYPE.
    kText,       // character data, or between the prolog's markup
    kOpen,       // after "<"
    kBang,       // after "<!", matching the rest of "--", "[CDATA[" or "DOCTYPE"
    kStartTag,   // in a start tag, outside quotes
    kAttrValue,  // in a quoted value of a start tag
    kEndTag,     // after "</"
    kPiStart,    // after "<?"
    kPi,         // in a processing instruction
    kComment,    // in a comment
    kCdata,      // in a CDATA section
    // The DOCTYPE.
    kDoctype,         // its name and external identifier
    kDoctypeLiteral,  // a quoted literal among them
    kSubset,          // the internal subset, between declarations
    kSubsetOpen,      // after "<" there
    kSubsetBang,      // after "<!" there
    kDecl,            // in a markup declaration, outside quotes
    kDeclLiteral,     // a quoted literal of a declaration
    kSubsetClose,     // after the subset's "]"
  };
  // What a quoted literal of the DOCTYPE may hold.
  enum class Literal { kSystem, kPublicId, kEntityValue, kAttrValue };
  // The markup declaration being read.
  enum class Decl { kElement, kAttlist, kEntity, kNotation };

  void Byte(unsigned char byte);
  void Unit(uint32_t c, bool invalid);
  void Step(uint32_t c, bool invalid);
  void CountAsBefore(uint32_t c);
  void Count();
  // The structure is left: from here on every mark since the last "<".
  void Deviate();
  void Return();
  void ClearWord();
  void AppendWord(uint32_t c);
  void DoctypeWord();
  void DeclWord();
  void DeclLiteral(uint32_t quote);
  void StartLiteral(uint32_t quote, Literal kind);
  void EndLiteral();
  void CollectDeclaration(uint32_t c);

  const size_t limit_;
  size_t marks_ = 0;
  bool refused_ = false;
  bool everywhere_ = false;  // counting every mark since the last "<", to the end
  bool after_ampersand_ = false;

  Layout layout_ = Layout::kUndecided;
  unsigned char first_[4] = {};
  size_t first_count_ = 0;
  unsigned char pending_ = 0;  // the first byte of a 16-bit unit
  bool have_pending_ = false;
  unsigned char previous_[2] = {};  // the last two bytes, for UTF-8 sequences
  size_t units_ = 0;                // characters read, a byte-order mark not counted

  State state_ = State::kText;
  bool in_doctype_ = false;
  bool in_subset_ = false;           // a comment or instruction returns to the subset
  const char* construct_ = nullptr;  // what "<!" begins: comment, CDATA or DOCTYPE
  const char* keyword_ = nullptr;    // the rest of its keyword still expected
  uint32_t quote_ = 0;
  int run_ = 0;  // dashes in a comment, "]" in a CDATA section, "?" in an instruction

  // The DOCTYPE's words: 0 before the root's name, 1 after it, 2 after
  // SYSTEM, 3 after PUBLIC, 4 after the public literal, 5 after the system
  // literal.
  int doctype_step_ = 0;
  Decl decl_ = Decl::kElement;
  Literal literal_ = Literal::kSystem;
  bool keyword_read_ = false;     // the declaration's keyword has been read
  bool public_id_read_ = false;   // a system literal may follow
  bool literals_closed_ = false;  // no literal may follow
  char word_[9] = {};             // the word being read, up to 8 characters
  size_t word_length_ = 0;
  bool word_long_ = false;
  char last_word_[9] = {};  // the word before a literal

  // The XML declaration, read for the encoding it names.
  bool in_declaration_ = false;
  char declaration_[256] = {};
  size_t declaration_length_ = 0;
  uint32_t declaration_quote_ = 0;  // the quote of the value being read
  size_t value_start_ = 0;
};

#endif  // ZRN_CORE_ATTRIBUTE_MARKS_H_
