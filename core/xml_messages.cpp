#include "core/xml_messages.h"

#include <libxml/globals.h>
#include <libxml/xmlerror.h>

#include <cstdarg>
#include <cstdio>

namespace {

// The collector the library writes to. The library does not always hand
// the generic function the context it was given (for some errors it passes
// its parser context instead), so the collector is found here, not there.
XmlMessages* g_active = nullptr;

}  // namespace

XmlMessages::XmlMessages(const std::string& file)
    : file_(file),
      kept_(new char[kMaxXmlMessageBytes + 1]),
      previous_(xmlGenericError),
      previous_context_(xmlGenericErrorContext) {
  g_active = this;
  xmlSetGenericErrorFunc(nullptr, Collect);
}

XmlMessages::~XmlMessages() {
  g_active = nullptr;
  xmlSetGenericErrorFunc(previous_context_, previous_);
}

std::string XmlMessages::Text() const { return std::string(kept_.get(), used_) + left_out_; }

void XmlMessages::Cut() {
  cut_ = true;
  // The line begins a line of its own, also when the kept text ends inside
  // one of the library's lines.
  if (used_ > 0 && kept_[used_ - 1] != '\n') left_out_ = "\n";
  left_out_ += file_ + ": the XML library's further messages about it were left out\n";
}

void XmlMessages::Collect(void*, const char* format, ...) {
  XmlMessages* self = g_active;
  if (self == nullptr || self->cut_) return;
  // The library's own writer is vfprintf to standard error: vsnprintf gives
  // the same bytes, written straight into what is left of the bound.
  const size_t room = kMaxXmlMessageBytes - self->used_;
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(self->kept_.get() + self->used_, room + 1, format, args);
  va_end(args);
  if (n < 0) return;  // nothing the library's writer would have written either
  if (static_cast<size_t>(n) <= room) {
    self->used_ += static_cast<size_t>(n);
    return;
  }
  self->used_ = kMaxXmlMessageBytes;
  self->Cut();
}
