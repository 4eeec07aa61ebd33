#include "io/xml/zantu_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "io/xml/xml_writer.h"
#include "io/xml/zantu_host.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

constexpr int kCpt = 18;

std::string WriteBlock(VRN_network& network) {
  std::string text;
  XmlWriterStringOutput output(&text);
  XmlWriter writer(&output);
  XmlZantuSaver* saver = new XmlZantuSaver(&network);
  saver->Write(writer);
  std::string comment;
  saver->GetComment(comment);
  EXPECT_FALSE(comment.empty());
  saver->Release();
  EXPECT_EQ(writer.depth(), 0);
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ZantuFormatTest, RectanglesAndColours) {
  EXPECT_EQ(qelta::FormatXmlRectangle(48, 38, 76, 36), "10 20 86 56");
  EXPECT_EQ(qelta::FormatXmlRectangle(0, 0, 5, 5), "-2 -2 3 3");
  EXPECT_EQ(qelta::FormatXmlColor(0xF7F6E5), "e5f6f7");
  EXPECT_EQ(qelta::FormatXmlColor(0), "000000");
  int color = 0;
  ASSERT_TRUE(qelta::ParseXmlColor(qelta::FormatXmlColor(0x123456), color));
  EXPECT_EQ(color, 0x123456);
}

TEST(ZantuWriterTest, NodeAppearanceAndChart) {
  VRN_network network;
  const int a = network.AddNode(kCpt, "A");
  ASSERT_GE(a, 0);
  VRN_screenInfo& info = network.GetNode(a)->ScreenInfo();
  info.x = 48;
  info.y = 38;
  info.width = 76;
  info.height = 36;
  info.interior_color = 0xF7F6E5;
  info.outline_width = 1;
  info.show_bar_chart = 0;
  info.bar_chart_width = 90;
  info.bar_chart_height = 40;
  const std::string text = WriteBlock(network);
  EXPECT_EQ(text.rfind("<zantu version=\"1.0\" app=\"", 0), 0u) << text;
  EXPECT_TRUE(Contains(text,
                       "\t<node id=\"A\">\n"
                       "\t\t<name>A</name>\n"
                       "\t\t<interior color=\"e5f6f7\" />\n"
                       "\t\t<outline color=\"0000bb\" />\n"
                       "\t\t<font color=\"000000\" name=\"MS Sans Serif\" "
                       "size=\"8\" />\n"
                       "\t\t<position>10 20 86 56</position>\n"
                       "\t\t<barchart width=\"90\" height=\"40\">\n"
                       "\t\t</barchart>\n"
                       "\t</node>\n"))
      << text;
  EXPECT_FALSE(Contains(text, "<state"));
  EXPECT_FALSE(Contains(text, "<plate"));
  EXPECT_TRUE(Contains(text, "</zantu>\n"));
}

TEST(ZantuWriterTest, NamesCommentsAndStates) {
  VRN_network network;
  const int a = network.AddNode(kCpt, "A");
  ASSERT_GE(a, 0);
  network.Header()->SetName("my\nnet");
  network.Header()->SetComment("line1\nline2");
  VRN_node* node = network.GetNode(a);
  node->ScreenInfo().outline_width = 4;
  node->ScreenInfo().show_bar_chart = 1;
  auto* def = dynamic_cast<VRN_discDef*>(node->Definition());
  ASSERT_NE(def, nullptr);
  ASSERT_EQ(def->SetOutcomeFix(1, "mend"), 0);
  node->SetQuestion("");
  const std::string text = WriteBlock(network);
  // A line break in an attribute value survives as a character reference.
  EXPECT_TRUE(Contains(text, "name=\"my&#10;net\"")) << text;
  EXPECT_TRUE(Contains(text, "<comment>line1\\nline2</comment>")) << text;
  EXPECT_TRUE(Contains(text, "<outline color=\"0000bb\" width=\"4\" />"));
  EXPECT_TRUE(Contains(text, "<barchart active=\"true\">"));
  // Only the outcome with something to say is written.
  EXPECT_TRUE(Contains(text, "<state id=\"State1\">\n\t\t\t<fix>mend</fix>\n"))
      << text;
  EXPECT_FALSE(Contains(text, "State0"));
  EXPECT_TRUE(Contains(text, "<question></question>"));
}

TEST(ZantuWriterTest, SubmodelsAreWrittenDepthFirst) {
  VRN_network network;
  VRN_submodelTable* table = network.Submodels();
  const int s1 = table->CreateSubmodel(qelta::kMainSubmodel, "S1");
  const int s2 = table->CreateSubmodel(s1, "S2");
  const int s3 = table->CreateSubmodel(qelta::kMainSubmodel, "S3");
  ASSERT_GE(s3, 0);
  const int a = network.AddNode(kCpt, "A");
  const int b = network.AddNode(kCpt, "B");
  ASSERT_EQ(network.GetNode(a)->SetSubmodel(s1), 0);
  ASSERT_EQ(network.GetNode(b)->SetSubmodel(s2), 0);
  table->GetSubmodel(s1)->TextBoxes().push_back({"note", {0, 0, 10, 10}});
  const std::string text = WriteBlock(network);
  const size_t p_s1 = text.find("<submodel id=\"S1\">");
  const size_t p_s2 = text.find("<submodel id=\"S2\">");
  const size_t p_b = text.find("<node id=\"B\">");
  const size_t p_a = text.find("<node id=\"A\">");
  const size_t p_box = text.find("<caption>note</caption>");
  const size_t p_s3 = text.find("<submodel id=\"S3\">");
  ASSERT_NE(p_s3, std::string::npos) << text;
  EXPECT_LT(p_s1, p_s2);
  EXPECT_LT(p_s2, p_b);
  EXPECT_LT(p_b, p_a);
  EXPECT_LT(p_a, p_box);
  EXPECT_LT(p_box, p_s3);
  EXPECT_TRUE(Contains(text, "\t\t<submodel id=\"S2\">")) << text;
}

}  // namespace
