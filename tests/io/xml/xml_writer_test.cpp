#include "io/xml/xml_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/error_log.h"
#include "io/xml/xml_reader.h"

namespace {

class XmlWriterTest : public ::testing::Test {
 protected:
  std::string text_;
  XmlWriterStringOutput output_{&text_};
  XmlWriter writer_{&output_};
};

TEST_F(XmlWriterTest, TextElementWithAttributesIsOneIndentedLine) {
  writer_.StartElement("root");
  text_.clear();
  writer_.AddIntAttribute("a", 1);
  writer_.AddStringAttribute("b", "x<y");
  writer_.WriteTextElement("e", "p\tq", 0);
  EXPECT_EQ(text_, "\t<e a=\"1\" b=\"x&lt;y\">p&#9;q</e>\n");

  // Queued attributes belong to one tag only.
  text_.clear();
  writer_.WriteTextElement("e", "p\tq", 1);
  writer_.WriteTextElement("e", "a\r\nb", 1);
  EXPECT_EQ(text_, "\t<e>p\\tq</e>\n\t<e>a&#13;\\nb</e>\n");
}

TEST_F(XmlWriterTest, NullAndEmptyTextAndBareStartEnd) {
  writer_.WriteTextElement("e", nullptr, 0);
  writer_.WriteTextElement("e", "", 0);
  writer_.StartElement("e");
  writer_.EndElement("e");
  EXPECT_EQ(text_, "<e />\n<e></e>\n<e>\n</e>\n");
  EXPECT_EQ(writer_.depth(), 0);
}

TEST_F(XmlWriterTest, EscapeModesByteByByte) {
  const char* all = "<>&\"'\\\x01\x7f\xC3\xA9";
  writer_.WriteTextElement("m", all, 0);
  writer_.WriteTextElement("m", all, 1);
  EXPECT_EQ(text_,
            "<m>&lt;&gt;&amp;&quot;&apos;\\.\x7f\xC3\xA9</m>\n"
            "<m>&lt;&gt;&amp;&quot;&apos;\\\\.\x7f\xC3\xA9</m>\n");

  text_.clear();
  writer_.AddStringAttribute("v", "a\nb\t\\\r");
  writer_.WriteTextElement("x", nullptr, 1);  // attributes are always mode 0
  EXPECT_EQ(text_, "<x v=\"a&#10;b&#9;\\&#13;\" />\n");
}

TEST_F(XmlWriterTest, NumbersUseSixteenSignificantDigits) {
  writer_.AddDoubleAttribute("a", 0.1);
  writer_.AddDoubleAttribute("b", 1.0 / 3.0);
  writer_.AddDoubleAttribute("c", 1e21);
  writer_.AddBoolAttribute("t", true);
  writer_.AddBoolAttribute("f", false);
  writer_.AddIntAttribute("i", -2147483647 - 1);
  writer_.WriteTextElement("n", nullptr, 0);
  EXPECT_EQ(text_,
            "<n a=\"0.1\" b=\"0.3333333333333333\" c=\"1e+21\" t=\"true\" "
            "f=\"false\" i=\"-2147483648\" />\n");

  text_.clear();
  const double values[] = {0.5, -1.0, 0.25};
  writer_.WriteDoubleList("p", values, 3, "*", -1.0);
  writer_.WriteDoubleList("q", values, 2, nullptr, 0.0);
  writer_.WriteDoubleList("r", values, 0, nullptr, 0.0);
  const char* strings[] = {"a", "b<"};
  writer_.WriteStringList("s", strings, 2);
  EXPECT_EQ(text_,
            "<p>0.5 * 0.25</p>\n<q>0.5 -1</q>\n<r></r>\n<s>a b<</s>\n");
}

TEST_F(XmlWriterTest, HeaderCommentAndScopesNest) {
  writer_.WriteHeader(true);
  writer_.WriteComment("made <here>");
  {
    XmlElementScope outer(writer_, "a");
    XmlElementScope inner(writer_, "b");
    writer_.WriteComment("in");
    writer_.WriteComment("a--b---");  // "--" may not stand in a comment
  }
  EXPECT_EQ(text_,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!-- made <here> -->\n<a>\n\t<b>\n\t\t<!-- in -->\n"
            "\t\t<!-- a- -b- - - -->\n\t</b>\n</a>\n");
}

TEST(XmlWriterNumbersTest, EveryDoubleReadsBackExactly) {
  std::string text;
  XmlWriterStringOutput out(&text);
  XmlWriter writer(&out);
  const double values[] = {1.0 / 6.0, 0.1 + 0.2, 0.25, 1e-300, 2.0 / 3.0};
  writer.WriteDoubleList("v", values, 5, nullptr, 0.0);
  std::istringstream in(text.substr(text.find('>') + 1));
  for (double v : values) {
    double back = 0;
    in >> back;
    EXPECT_EQ(back, v);
  }
}

}  // namespace
