// XmlMessages: collects what libxml2 writes about one document (its
// messages, their context lines and carets, which it would otherwise write
// to standard error itself) up to a bound, so that a document with an error
// on every element cannot write megabytes into an installer's log, nor hold
// them in memory.
//
// The library keeps its own writer, which formats some messages (those of
// no parser, such as a failed character conversion) differently from any
// other: only the stream it writes to is replaced. So the text collected is
// byte for byte what the library would have written, up to
// kMaxXmlMessageBytes; past that, one line says that the library's further
// messages about the document were left out, and nothing more is kept.
// While an XmlMessages object lives it receives every message the library
// writes through its generic writer; the writer set before is put back when
// it is destroyed. Only one may live at a time.
#ifndef ZRN_CORE_XML_MESSAGES_H_
#define ZRN_CORE_XML_MESSAGES_H_

#include <libxml/xmlerror.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>

// The most of the library's messages about one document that is kept. A
// malformed package file gets one message of a few hundred bytes (the
// library stops at the first fatal error); even a file with an error on
// each of some hundred lines stays far below this.
constexpr size_t kMaxXmlMessageBytes = size_t{64} << 10;

class XmlMessages {
 public:
  // `file` names the document in the line that says messages were left out.
  explicit XmlMessages(const std::string& file);
  ~XmlMessages();
  XmlMessages(const XmlMessages&) = delete;
  XmlMessages& operator=(const XmlMessages&) = delete;

  // The messages collected so far, as they are to reach standard error.
  [[nodiscard]] std::string Text() const { return kept_ + left_out_; }
  // True once messages were left out.
  [[nodiscard]] bool cut() const { return !left_out_.empty(); }

 private:
  static ssize_t Write(void* self, const char* data, size_t size);
  void Cut();

  const std::string file_;
  std::string kept_;      // at most kMaxXmlMessageBytes
  std::string left_out_;  // the closing line, once messages were left out
  FILE* stream_;  // what the library's writer writes to; null when none could be made
  const xmlGenericErrorFunc previous_;
  void* const previous_context_;
};

#endif  // ZRN_CORE_XML_MESSAGES_H_
