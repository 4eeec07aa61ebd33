// The XML writer when its output fails.
#include <gtest/gtest.h>

#include <new>

#include "io/xml/xml_writer.h"

namespace {

// An output that throws once armed, as an allocation may.
struct ThrowingOutput final : IXmlWriterOutput {
  bool Write(const char*) override { return Check(); }
  bool WriteChar(int) override { return Check(); }
  bool Check() const {
    if (armed) throw std::bad_alloc();
    return true;
  }
  bool armed = false;
};

// The closing tags a scope writes when it unwinds must not throw again.
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
