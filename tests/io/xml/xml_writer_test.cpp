// The XML writer when its output fails.
#include <gtest/gtest.h>

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

}  // namespace
