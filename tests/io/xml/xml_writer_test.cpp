// The XML writer's layout and its behaviour when its output fails.
#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <string>

#include "io/xml/xml_writer.h"

namespace {

// A string output that throws once armed, as an allocation may.
class ThrowingOutput final : public IXmlWriterOutput {
 public:
  bool Write(const char* text) override {
    if (armed) throw std::bad_alloc();
    text_ += text;
    return true;
  }
  bool WriteChar(int character) override {
    if (armed) throw std::bad_alloc();
    text_ += static_cast<char>(character);
    return true;
  }
  bool armed = false;

 private:
  std::string text_;
};

TEST(XmlWriterLimitsTest, ScopesUnwindingAnExceptionWriteNothingAndDoNotThrow) {
  ThrowingOutput output;
  XmlWriter writer(&output);
  EXPECT_THROW(
      {
        XmlElementScope outer(writer, "outer");
        XmlElementScope inner(writer, "inner");
        output.armed = true;
        writer.WriteTextElement("leaf", "text", 0);
      },
      std::bad_alloc);
}

TEST(XmlWriterLimitsTest, IndentationStopsGrowingAtItsCap) {
  std::string text;
  XmlWriterStringOutput output(&text);
  XmlWriter writer(&output);
  const int depth = 3 * XmlWriter::kMaxIndent;
  for (int i = 0; i < depth; ++i) writer.StartElement("e");
  for (int i = 0; i < depth; ++i) writer.EndElement("e");
  EXPECT_FALSE(writer.Failed());
  // Lines at depth d carry min(d, cap) TABs.
  int capped = 0;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start)) {
    const std::size_t tabs = text.find_first_not_of('\t', start) - start;
    ASSERT_LE(tabs, static_cast<std::size_t>(XmlWriter::kMaxIndent));
    if (tabs == static_cast<std::size_t>(XmlWriter::kMaxIndent)) ++capped;
  }
  EXPECT_EQ(capped, 2 * (depth - XmlWriter::kMaxIndent));
}

}  // namespace
