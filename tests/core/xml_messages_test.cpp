// The library's messages about one document, collected up to their bound:
// the library's own bytes below it, exactly the bound's bytes and one line
// past it, and the writer set before put back afterwards.
#include "core/xml_messages.h"

#include <gtest/gtest.h>
#include <libxml/globals.h>
#include <libxml/parser.h>

#include <string>
#include <vector>

#include "core/xml_library.h"

namespace zrn_test {
namespace {

const std::string kLeftOut = "doc.xml: the XML library's further messages about it were left out\n";

// Parses `xml` with the library's defaults; what it wrote about it is on
// standard error, or with whatever collects its messages.
void ParseMemory(const std::string& xml) {
  XmlLibraryScope library;
  xmlFreeDoc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "doc.xml", nullptr, 0));
}

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Below the bound the text is the library's own, context lines and carets
// included, for fatal errors, non-fatal ones and warnings alike.
TEST(XmlMessagesTest, BelowTheBoundTheTextIsTheLibrarysOwn) {
  const char* kDocuments[] = {
      "<r>",
      "<r><a></b></r>",
      "<r a=\"1\" a=\"2\"/>",
      "<r>&undeclared;</r>",
      "<r><p:a/><b q:c=\"1\"/><i xml:id=\"x\"/><i xml:id=\"x\"/></r>",
      "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><r/>",
      "<r>\xC3\x28</r>",
      "<r/><r/>",
      // A failed conversion is reported by no parser: the library's own
      // writer puts the domain before it.
      "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><r a='\xFF\xFF'/>",
  };
  for (const char* xml : kDocuments) {
    SCOPED_TRACE(xml);
    testing::internal::CaptureStderr();
    ParseMemory(xml);
    const std::string own = testing::internal::GetCapturedStderr();
    ASSERT_NE(own, "");
    testing::internal::CaptureStderr();
    std::string collected;
    {
      XmlMessages messages("doc.xml");
      ParseMemory(xml);
      collected = messages.Text();
      EXPECT_FALSE(messages.cut());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(collected, own);
  }
}

// An error on every element: the first kMaxXmlMessageBytes of what the
// library writes, then the line, which begins a line of its own.
TEST(XmlMessagesTest, PastTheBoundExactlyTheBoundsBytesAndOneLine) {
  const std::string xml = "<r>" + Repeat("<p:a/>", 5000) + "</r>";
  testing::internal::CaptureStderr();
  ParseMemory(xml);
  const std::string own = testing::internal::GetCapturedStderr();
  ASSERT_GT(own.size(), 4 * kMaxXmlMessageBytes);
  XmlMessages messages("doc.xml");
  ParseMemory(xml);
  const std::string kept = own.substr(0, kMaxXmlMessageBytes);
  EXPECT_TRUE(messages.cut());
  EXPECT_EQ(messages.Text(), kept + (kept.back() == '\n' ? "" : "\n") + kLeftOut);
}

// Messages written straight to the library's generic writer, at the edges
// of the bound.
TEST(XmlMessagesTest, TheBoundsEdges) {
  const size_t kBound = kMaxXmlMessageBytes;
  const std::string line = std::string(99, 'm') + "\n";
  const struct {
    const char* what;
    std::vector<std::string> written;
    std::string text;
  } kCases[] = {
      {"nothing", {}, ""},
      {"empty messages", {"", "", ""}, ""},
      {"exactly the bound, ending a line",
       {std::string(kBound - 1, 'x') + "\n"},
       std::string(kBound - 1, 'x') + "\n"},
      {"exactly the bound, then one byte more",
       {std::string(kBound - 1, 'x') + "\n", "y"},
       std::string(kBound - 1, 'x') + "\n" + kLeftOut},
      {"exactly the bound inside a line, then an empty message",
       {std::string(kBound, 'x'), ""},
       std::string(kBound, 'x')},
      {"one byte past the bound in one message",
       {std::string(kBound + 1, 'x')},
       std::string(kBound, 'x') + "\n" + kLeftOut},
      {"lines up to and past the bound",
       std::vector<std::string>(kBound / line.size() + 10, line),
       Repeat(line, kBound / line.size()) + line.substr(0, kBound % line.size()) + "\n" +
           kLeftOut},
      {"nothing more once cut", {std::string(kBound + 1, 'x'), "more\n", "and more\n"},
       std::string(kBound, 'x') + "\n" + kLeftOut},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    XmlMessages messages("doc.xml");
    for (const std::string& text : c.written) xmlGenericError(xmlGenericErrorContext, "%s", text.c_str());
    EXPECT_EQ(messages.Text(), c.text);
  }
}

// The formatting is the library's printf-style one, and the context the
// library hands its writer is not the one it writes to.
TEST(XmlMessagesTest, FormatsAsTheLibrarysWriterWould) {
  XmlMessages messages("doc.xml");
  xmlGenericError(nullptr, "%s:%d: %s%c", "doc.xml", 3, "parser error : x", '\n');
  xmlGenericError(reinterpret_cast<void*>(&messages), "%5.2f|%-4s|\n", 1.5, "ab");
  EXPECT_EQ(messages.Text(), "doc.xml:3: parser error : x\n 1.50|ab  |\n");
}

std::string g_received;
void Receive(void* context, const char* format, ...) {
  g_received += static_cast<const char*>(context);
  g_received += format;
}

// The writer set before is back once the messages are collected.
TEST(XmlMessagesTest, TheWriterSetBeforeIsPutBack) {
  char context[] = "ctx:";
  xmlSetGenericErrorFunc(context, Receive);
  {
    XmlMessages messages("doc.xml");
    xmlGenericError(xmlGenericErrorContext, "collected");
    EXPECT_EQ(messages.Text(), "collected");
  }
  xmlGenericError(xmlGenericErrorContext, "received");
  xmlSetGenericErrorFunc(nullptr, nullptr);
  EXPECT_EQ(g_received, "ctx:received");
}

}  // namespace
}  // namespace zrn_test
