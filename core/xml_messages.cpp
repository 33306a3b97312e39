#include "core/xml_messages.h"

#include <libxml/globals.h>

namespace {

void DropMessage(void*, const char*, ...) {}

}  // namespace

XmlMessages::XmlMessages(const std::string& file)
    : file_(file), previous_(xmlGenericError), previous_context_(xmlGenericErrorContext) {
  kept_.reserve(kMaxXmlMessageBytes);
  // The library's own writer is vfprintf to its context, standard error
  // unless set; a stream of ours in its place takes the same bytes. It is
  // unbuffered, so nothing waits in it when the text is read.
  const cookie_io_functions_t io = {nullptr, Write, nullptr, nullptr};
  stream_ = fopencookie(this, "w", io);
  if (stream_ != nullptr) {
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    xmlSetGenericErrorFunc(stream_, nullptr);
  } else {
    // Without a stream (no memory for one) nothing is kept rather than
    // everything written.
    xmlSetGenericErrorFunc(nullptr, DropMessage);
  }
}

XmlMessages::~XmlMessages() {
  xmlSetGenericErrorFunc(previous_context_, previous_);
  if (stream_ != nullptr) std::fclose(stream_);
}

void XmlMessages::Cut() {
  // The line begins a line of its own, also when the kept text ends inside
  // one of the library's lines.
  if (!kept_.empty() && kept_.back() != '\n') left_out_ = "\n";
  left_out_ += file_ + ": the XML library's further messages about it were left out\n";
}

ssize_t XmlMessages::Write(void* self, const char* data, size_t size) {
  auto* messages = static_cast<XmlMessages*>(self);
  if (!messages->cut()) {
    const size_t room = kMaxXmlMessageBytes - messages->kept_.size();
    if (size <= room) {
      messages->kept_.append(data, size);
    } else {
      messages->kept_.append(data, room);
      messages->Cut();
    }
  }
  // What is left out counts as written: the writer goes on as with a
  // stream that takes everything.
  return static_cast<ssize_t>(size);
}
