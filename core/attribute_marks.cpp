#include "core/attribute_marks.h"

#include <cstring>

namespace {

// The keywords after "<!" outside the DOCTYPE.
const char kCommentStart[] = "--";
const char kCdataStart[] = "[CDATA[";
const char kDoctypeStart[] = "DOCTYPE";

bool IsBlank(uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsLetter(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(uint32_t c) { return c >= '0' && c <= '9'; }
bool IsQuote(uint32_t c) { return c == '"' || c == '\''; }
bool IsOneOf(uint32_t c, const char* set) {
  return c != 0 && c < 0x80 && std::strchr(set, static_cast<int>(c)) != nullptr;
}
// Every character beyond ASCII is taken for a name character: the library
// takes most of them, and where it does not, a name that goes on only makes
// more counted.
bool IsNameStart(uint32_t c) { return IsLetter(c) || c == '_' || c == ':' || c >= 0x80; }
bool IsNameChar(uint32_t c) { return IsNameStart(c) || IsDigit(c) || c == '-' || c == '.'; }
// What a public identifier may hold; the library ends one at anything else.
bool IsPublicIdChar(uint32_t c) {
  return c == ' ' || c == '\r' || c == '\n' || IsLetter(c) || IsDigit(c) ||
         IsOneOf(c, "-'()+,./:=?;!*#@$_%");
}
// Punctuation of element content models and attribute-list declarations.
bool IsDeclPunctuation(uint32_t c) { return IsOneOf(c, "()|,?*+#"); }
// No XML character: the library ends a comment, a CDATA section, a
// processing instruction or a literal there and goes on from it as it can.
bool IsControl(uint32_t c) { return c < 0x20 && !IsBlank(c); }

bool SameWord(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
bool SameWordIgnoringCase(const char* a, size_t length, const char* b) {
  if (std::strlen(b) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    char x = a[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (x != b[i]) return false;
  }
  return true;
}

bool StartsIgnoringCase(const char* a, size_t length, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return length >= n && SameWordIgnoringCase(a, n, prefix);
}

// The encodings, by the names libraries know them by, that write ASCII as
// ASCII and all other characters in bytes beyond ASCII, or with a second
// byte of 0x40 or above: UTF-8, the ISO 8859 and Windows code pages, KOI8,
// EUC, Shift_JIS, GB2312, GBK, GB18030, Big5 and UHC.
bool IsAsciiEncoding(const char* name, size_t length) {
  static const char* const kNames[] = {
      "UTF-8",     "UTF8",       "US-ASCII", "ASCII", "SHIFT_JIS", "SJIS",
      "SHIFT-JIS", "CP932",      "GB2312",   "GBK",   "GB18030",   "CP936",
      "BIG5",      "BIG5-HKSCS", "CP950",    "UHC",   "CP949",     "TIS-620"};
  static const char* const kFamilies[] = {"ISO-8859-", "ISO8859-", "ISO_8859-", "LATIN",
                                          "WINDOWS-",  "CP125",    "KOI8-",     "EUC"};
  for (const char* known : kNames) {
    if (SameWordIgnoringCase(name, length, known)) return true;
  }
  for (const char* family : kFamilies) {
    if (StartsIgnoringCase(name, length, family)) return true;
  }
  return false;
}

// UTF-16 named without a byte order (which the library takes as the one it
// detected) or in the detected one.
bool IsUtf16Encoding(const char* name, size_t length, bool little_endian) {
  return SameWordIgnoringCase(name, length, "UTF-16") ||
         SameWordIgnoringCase(name, length, "UTF16") ||
         SameWordIgnoringCase(name, length, little_endian ? "UTF-16LE" : "UTF-16BE");
}

}  // namespace

bool AttributeMarks::Feed(const char* bytes, size_t count) {
  for (size_t i = 0; i < count && !refused_; ++i) Byte(static_cast<unsigned char>(bytes[i]));
  return !refused_;
}

// The library tells the document's encoding from its first four bytes; so
// does this count.
void AttributeMarks::Byte(unsigned char byte) {
  if (layout_ == Layout::kUndecided) {
    first_[first_count_++] = byte;
    if (first_count_ < 4) return;
    const unsigned char* b = first_;
    const bool ucs4 = (b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == '<') ||
                      (b[0] == '<' && b[1] == 0 && b[2] == 0 && b[3] == 0) ||
                      (b[0] == 0 && b[1] == 0 && b[2] == '<' && b[3] == 0) ||
                      (b[0] == 0 && b[1] == '<' && b[2] == 0 && b[3] == 0);
    if (ucs4) {
      layout_ = Layout::kBytes;
      everywhere_ = true;
    } else if ((b[0] == '<' && b[1] == 0 && b[2] == '?' && b[3] == 0) ||
               (b[0] == 0xFF && b[1] == 0xFE)) {
      layout_ = Layout::kUtf16Le;
    } else if ((b[0] == 0 && b[1] == '<' && b[2] == 0 && b[3] == '?') ||
               (b[0] == 0xFE && b[1] == 0xFF)) {
      layout_ = Layout::kUtf16Be;
    } else {
      layout_ = Layout::kBytes;
    }
    for (unsigned char first : first_) Byte(first);
    return;
  }
  if (layout_ == Layout::kBytes) {
    // UTF-8 sequences of no XML character: a surrogate (ED A0..BF), U+FFFE
    // and U+FFFF (EF BF BE, EF BF BF), above U+10FFFF (F4 90..BF, F5..F7
    // and a continuation byte). Each is taken for one at its second or
    // third byte; a byte that begins no such sequence (F8..FF, or any byte
    // of a document in an 8-bit encoding) the library reads as a character.
    const unsigned char p1 = previous_[1], p0 = previous_[0];
    const bool continuation = byte >= 0x80 && byte <= 0xBF;
    const bool invalid = IsControl(byte) || (p1 == 0xED && byte >= 0xA0 && byte <= 0xBF) ||
                         (p1 == 0xF4 && byte >= 0x90 && byte <= 0xBF) ||
                         (p1 >= 0xF5 && p1 <= 0xF7 && continuation) ||
                         (p0 == 0xEF && p1 == 0xBF && (byte == 0xBE || byte == 0xBF));
    previous_[0] = p1;
    previous_[1] = byte;
    Unit(byte, invalid);
    return;
  }
  if (!have_pending_) {
    pending_ = byte;
    have_pending_ = true;
    return;
  }
  have_pending_ = false;
  const uint32_t c = layout_ == Layout::kUtf16Le ? (pending_ | static_cast<uint32_t>(byte) << 8)
                                                 : (static_cast<uint32_t>(pending_) << 8 | byte);
  // Surrogates are taken for no character even in pairs: a character beyond
  // the first 65,536 only makes more counted.
  Unit(c, IsControl(c) || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE);
}

void AttributeMarks::Unit(uint32_t c, bool invalid) {
  // A NUL is no character of an 8-bit or UTF-16 document; in 8-bit text it
  // comes from a wide encoding that the declaration named. It is passed
  // over, so that "&#" is seen where ASCII comes with zero bytes.
  if (c == 0) {
    everywhere_ = true;
    return;
  }
  // The library drops a byte-order mark.
  if (units_ == 0 && c == 0xFEFF) return;
  ++units_;
  if (everywhere_) {
    CountAsBefore(c);
  } else {
    const bool counted = in_doctype_;
    if (counted) CountAsBefore(c);
    Step(c, invalid);
    // The character at which the structure was left counts as well.
    if (everywhere_ && !counted) CountAsBefore(c);
  }
  after_ampersand_ = c == '&';
}

void AttributeMarks::CountAsBefore(uint32_t c) {
  if (c == '<') {
    marks_ = 0;
  } else if (c == '=' || (c == '#' && after_ampersand_)) {
    Count();
  }
}

void AttributeMarks::Count() {
  if (++marks_ > limit_) refused_ = true;
}

void AttributeMarks::Deviate() { everywhere_ = true; }

void AttributeMarks::Step(uint32_t c, bool invalid) {
  if (in_declaration_) CollectDeclaration(c);
  if (everywhere_) return;
  switch (state_) {
    case State::kText:
      if (c == '<') state_ = State::kOpen;
      break;
    case State::kOpen:
      if (c == '/') {
        state_ = State::kEndTag;
      } else if (c == '?') {
        state_ = State::kPiStart;
        // The document's declaration may name another encoding, which the
        // library then reads the rest in.
        in_declaration_ = units_ == 2;
      } else if (c == '!') {
        state_ = State::kBang;
        construct_ = nullptr;
      } else if (IsNameStart(c)) {
        state_ = State::kStartTag;
        marks_ = 0;
      } else {
        Deviate();
      }
      break;
    case State::kBang:
      if (construct_ == nullptr) {
        construct_ = c == '-'   ? kCommentStart
                     : c == '[' ? kCdataStart
                     : c == 'D' ? kDoctypeStart
                                : nullptr;
        if (construct_ == nullptr) {
          Deviate();
          break;
        }
        keyword_ = construct_ + 1;
      } else if (static_cast<uint32_t>(static_cast<unsigned char>(*keyword_)) == c) {
        ++keyword_;
      } else {
        Deviate();
        break;
      }
      if (*keyword_ != '\0') break;
      run_ = 0;
      if (construct_ == kCommentStart) {
        state_ = State::kComment;
      } else if (construct_ == kCdataStart) {
        state_ = State::kCdata;
      } else {
        state_ = State::kDoctype;
        in_doctype_ = true;
        marks_ = 0;
        doctype_step_ = 0;
        ClearWord();
      }
      break;
    case State::kStartTag:
      if (c == '>') {
        state_ = State::kText;
        marks_ = 0;
      } else if (c == '=') {
        Count();
      } else if (IsQuote(c)) {
        state_ = State::kAttrValue;
        quote_ = c;
      } else if (c == '<') {
        // The library ends the tag here and goes on with what follows.
        Deviate();
      }
      break;
    case State::kAttrValue:
      if (c == quote_) {
        state_ = State::kStartTag;
      } else if (c == '<') {
        Deviate();
      }
      break;
    case State::kEndTag:
      if (c == '>') {
        state_ = State::kText;
      } else if (c == '<') {
        Deviate();
      }
      break;
    case State::kPiStart:
      if (IsNameStart(c)) {
        state_ = State::kPi;
        run_ = 0;
      } else {
        Deviate();
      }
      break;
    case State::kPi:
      // A malformed XML declaration ends at the first ">" for the library,
      // any other instruction at "?>": a ">" without "?" leaves the
      // structure.
      if (invalid) {
        Deviate();
      } else if (c == '?') {
        run_ = 1;
      } else if (c == '>' && run_ == 1) {
        in_declaration_ = false;
        Return();
      } else if (c == '>') {
        Deviate();
      } else {
        run_ = 0;
      }
      break;
    case State::kComment:
      // "--" only ever ends a comment; the library reads one that holds it
      // otherwise in two ways.
      if (invalid) {
        Deviate();
      } else if (c == '-') {
        if (++run_ > 2) Deviate();
      } else if (run_ == 2) {
        if (c == '>') {
          Return();
        } else {
          Deviate();
        }
      } else {
        run_ = 0;
      }
      break;
    case State::kCdata:
      if (invalid) {
        Deviate();
      } else if (c == ']' && layout_ == Layout::kBytes && previous_[0] >= 0x80) {
        // In Shift_JIS, GBK or Big5 the second byte of a character may be
        // "]", so "]]>" may end no section for the library.
        Deviate();
      } else if (c == ']') {
        if (run_ < 2) ++run_;
      } else if (c == '>' && run_ == 2) {
        state_ = State::kText;
      } else {
        run_ = 0;
      }
      break;

    case State::kDoctype:
      if (invalid) {
        Deviate();
      } else if (IsNameChar(c)) {
        AppendWord(c);
      } else {
        DoctypeWord();
        if (everywhere_ || IsBlank(c)) break;
        if (IsQuote(c) && (doctype_step_ == 2 || doctype_step_ == 4)) {
          StartLiteral(c, Literal::kSystem);
        } else if (IsQuote(c) && doctype_step_ == 3) {
          StartLiteral(c, Literal::kPublicId);
        } else if (c == '[' && (doctype_step_ == 1 || doctype_step_ == 5)) {
          state_ = State::kSubset;
        } else if (c == '>' && (doctype_step_ == 1 || doctype_step_ == 5)) {
          in_doctype_ = false;
          in_subset_ = false;
          state_ = State::kText;
        } else {
          Deviate();
        }
      }
      break;
    case State::kSubset:
      if (c == '<') {
        state_ = State::kSubsetOpen;
      } else if (c == ']') {
        state_ = State::kSubsetClose;
      } else if (!IsBlank(c)) {
        // Parameter-entity references among others: what they bring in is
        // counted where it was declared, but not followed here.
        Deviate();
      }
      break;
    case State::kSubsetOpen:
      in_subset_ = true;
      if (c == '!') {
        state_ = State::kSubsetBang;
      } else if (c == '?') {
        state_ = State::kPiStart;
      } else {
        Deviate();
      }
      break;
    case State::kSubsetBang:
      if (c == '-') {
        state_ = State::kBang;
        construct_ = kCommentStart;
        keyword_ = construct_ + 1;
      } else if (c >= 'A' && c <= 'Z') {
        state_ = State::kDecl;
        keyword_read_ = false;
        public_id_read_ = false;
        literals_closed_ = false;
        last_word_[0] = '\0';
        ClearWord();
        AppendWord(c);
      } else {
        Deviate();
      }
      break;
    case State::kDecl:
      if (invalid) {
        Deviate();
      } else if (IsNameChar(c)) {
        AppendWord(c);
      } else {
        DeclWord();
        if (everywhere_ || IsBlank(c)) break;
        if (IsQuote(c)) {
          DeclLiteral(c);
        } else if (c == '>') {
          state_ = State::kSubset;
        } else if (!IsDeclPunctuation(c) || decl_ == Decl::kEntity || decl_ == Decl::kNotation) {
          // "%" among them: parameter entities are not followed.
          Deviate();
        }
      }
      break;
    case State::kDoctypeLiteral:
    case State::kDeclLiteral:
      if (invalid) {
        Deviate();
      } else if (c == quote_) {
        EndLiteral();
      } else if (literal_ == Literal::kPublicId && !IsPublicIdChar(c)) {
        Deviate();
      } else if (literal_ == Literal::kAttrValue && c == '<') {
        // The library ends a default value at "<", and the declaration.
        Deviate();
      }
      break;
    case State::kSubsetClose:
      if (c == '>') {
        in_doctype_ = false;
        in_subset_ = false;
        state_ = State::kText;
      } else if (!IsBlank(c)) {
        Deviate();
      }
      break;
  }
}

// Back to where a comment or processing instruction began: the internal
// subset or the rest of the document.
void AttributeMarks::Return() {
  state_ = in_subset_ ? State::kSubset : State::kText;
  in_subset_ = false;
}

void AttributeMarks::ClearWord() {
  word_length_ = 0;
  word_long_ = false;
  word_[0] = '\0';
}

void AttributeMarks::AppendWord(uint32_t c) {
  if (word_length_ + 1 < sizeof word_ && c < 0x80) {
    word_[word_length_++] = static_cast<char>(c);
    word_[word_length_] = '\0';
  } else {
    word_long_ = true;
  }
}

// The DOCTYPE's words, in order: the root's name, then SYSTEM and a
// literal, or PUBLIC and two literals.
void AttributeMarks::DoctypeWord() {
  if (word_length_ == 0 && !word_long_) return;
  const bool plain = !word_long_;
  if (doctype_step_ == 0) {
    doctype_step_ = 1;
  } else if (doctype_step_ == 1 && plain && SameWord(word_, "SYSTEM")) {
    doctype_step_ = 2;
  } else if (doctype_step_ == 1 && plain && SameWord(word_, "PUBLIC")) {
    doctype_step_ = 3;
  } else {
    Deviate();
  }
  ClearWord();
}

// A declaration's first word says what it declares; the word before a
// literal says what the literal is.
void AttributeMarks::DeclWord() {
  if (word_length_ == 0 && !word_long_) return;
  if (!keyword_read_) {
    keyword_read_ = true;
    if (word_long_) {
      Deviate();
    } else if (SameWord(word_, "ELEMENT")) {
      decl_ = Decl::kElement;
    } else if (SameWord(word_, "ATTLIST")) {
      decl_ = Decl::kAttlist;
    } else if (SameWord(word_, "ENTITY")) {
      decl_ = Decl::kEntity;
    } else if (SameWord(word_, "NOTATION")) {
      decl_ = Decl::kNotation;
    } else {
      Deviate();
    }
  } else {
    std::memcpy(last_word_, word_long_ ? "" : word_, word_long_ ? 1 : word_length_ + 1);
  }
  ClearWord();
}

// An attribute-list declaration's literals are default values; an entity's
// or a notation's are its value or the literals of SYSTEM or PUBLIC.
void AttributeMarks::DeclLiteral(uint32_t quote) {
  if (decl_ == Decl::kAttlist) {
    StartLiteral(quote, Literal::kAttrValue);
    return;
  }
  if (decl_ == Decl::kElement || literals_closed_) {
    Deviate();
  } else if (public_id_read_ || SameWord(last_word_, "SYSTEM")) {
    StartLiteral(quote, Literal::kSystem);
  } else if (SameWord(last_word_, "PUBLIC")) {
    StartLiteral(quote, Literal::kPublicId);
  } else if (decl_ == Decl::kEntity && last_word_[0] != '\0') {
    StartLiteral(quote, Literal::kEntityValue);
  } else {
    Deviate();
  }
}

void AttributeMarks::StartLiteral(uint32_t quote, Literal kind) {
  state_ = in_doctype_ && state_ == State::kDoctype ? State::kDoctypeLiteral : State::kDeclLiteral;
  quote_ = quote;
  literal_ = kind;
}

void AttributeMarks::EndLiteral() {
  if (state_ == State::kDoctypeLiteral) {
    // SYSTEM "..." or PUBLIC "..." "...": the step after the literal.
    doctype_step_ = literal_ == Literal::kPublicId ? 4 : 5;
    state_ = State::kDoctype;
    return;
  }
  state_ = State::kDecl;
  last_word_[0] = '\0';
  if (literal_ == Literal::kPublicId) {
    public_id_read_ = true;
  } else if (literal_ != Literal::kAttrValue) {
    literals_closed_ = true;
  }
}

// The XML declaration, read for the encoding it names. The library goes on
// in that encoding right after the name's closing quote. A UTF-16 document
// goes on being read in 16-bit units when the name is UTF-16's in the
// detected byte order; an 8-bit one goes on as it is when the encoding
// writes ASCII as ASCII and its other characters in bytes no markup can
// begin with, the second byte of a two-byte character aside (that byte may
// be "]", which a CDATA section watches for). Any other encoding leaves the
// structure: the rest is counted byte by byte with NULs skipped, every mark
// since the last "<".
void AttributeMarks::CollectDeclaration(uint32_t c) {
  if (c >= 0x80 || declaration_length_ + 1 >= sizeof declaration_) {
    in_declaration_ = false;
    Deviate();
    return;
  }
  declaration_[declaration_length_++] = static_cast<char>(c);
  if (!IsQuote(c)) return;
  if (declaration_quote_ == 0) {
    declaration_quote_ = c;
    value_start_ = declaration_length_;
    return;
  }
  if (c != declaration_quote_) return;
  declaration_quote_ = 0;
  // The name before the value: "encoding", blanks, "=", blanks.
  size_t end = value_start_ - 1;
  while (end > 0 && IsBlank(static_cast<unsigned char>(declaration_[end - 1]))) --end;
  if (end == 0 || declaration_[end - 1] != '=') return;
  --end;
  while (end > 0 && IsBlank(static_cast<unsigned char>(declaration_[end - 1]))) --end;
  const char kEncoding[] = "encoding";
  const size_t length = sizeof kEncoding - 1;
  if (end < length || std::memcmp(declaration_ + end - length, kEncoding, length) != 0) return;
  const char* value = declaration_ + value_start_;
  const size_t value_length = declaration_length_ - 1 - value_start_;
  if (layout_ == Layout::kBytes
          ? IsAsciiEncoding(value, value_length)
          : IsUtf16Encoding(value, value_length, layout_ == Layout::kUtf16Le)) {
    return;
  }
  layout_ = Layout::kBytes;
  in_declaration_ = false;
  Deviate();
}
