#include "io/xml/zantu.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "io/format.h"
#include "io/xml/xml_reader.h"
#include "io/xml/xml_writer.h"
#include "io/xml/zantu_host.h"
#include "io/xml/zantu_writer.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

constexpr int kCpt = 18;

std::string NodeXml(const char* id, const std::string& inside = "",
                    const char* position = "10 20 86 56") {
  return std::string("<node id='") + id + "'><name>" + id +
         "</name><interior color='e5f6f7'/><outline color='bb0000'/>"
         "<font color='000000' name='f' size='8'/><position>" +
         position + "</position>" + inside + "</node>";
}

std::string Block(const std::string& inside,
                  const char* attributes = "version='1.0' name='net'") {
  return std::string("<zantu ") + attributes + ">" + inside + "</zantu>";
}

class ZantuLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a_ = network_.AddNode(kCpt, "A");
    b_ = network_.AddNode(kCpt, "B");
    ASSERT_GE(a_, 0);
    ASSERT_GE(b_, 0);
  }

  bool Load(const std::string& block) {
    network_.ErrorLog()->Flush();
    return host_.Load(network_, block);
  }
  std::string LastMessage() const {
    const VRN_errorLog* log = network_.ErrorLog();
    const int n = log->GetNumberOfMessages();
    return n == 0 ? "" : log->GetMessage(n - 1);
  }
  const VRN_screenInfo& Info(int h) const {
    return network_.GetNode(h)->ScreenInfo();
  }

  VRN_network network_;
  qelta_test::ZantuHost host_;
  int a_ = -1;
  int b_ = -1;
};

TEST_F(ZantuLoaderTest, PositionIsReadAsCentreAndSize) {
  ASSERT_TRUE(Load(Block(NodeXml("A") + NodeXml("B", "", "86 56 10 20"))));
  for (int h : {a_, b_}) {
    EXPECT_EQ(Info(h).x, 48);
    EXPECT_EQ(Info(h).y, 38);
    EXPECT_EQ(Info(h).width, 76);
    EXPECT_EQ(Info(h).height, 36);
  }
  EXPECT_STREQ(network_.Header()->GetName(), "net");
}

TEST_F(ZantuLoaderTest, ColoursAndOutline) {
  const std::string node =
      "<node id='A'><name>A</name><interior color='E5F6F7'/>"
      "<outline color='010203'/><font color='0000ff' name='f' size='8'/>"
      "<position>0 0 1 1</position></node>";
  ASSERT_TRUE(Load(Block(node)));
  EXPECT_EQ(Info(a_).interior_color, 0xF7F6E5);
  EXPECT_EQ(Info(a_).outline_color, 0x030201);
  EXPECT_EQ(Info(a_).text_color, 0xFF0000);
  EXPECT_EQ(Info(a_).outline_width, 1);

  for (const char* bad : {"e5f6f", "#e5f6f7", "+e5f6f", " e5f6f", "0x1234",
                          "e5f6g7"}) {
    std::string text = node;
    text.replace(text.find("E5F6F7"), 6, bad);
    EXPECT_FALSE(Load(Block(text))) << bad;
    const std::string last = LastMessage();
    EXPECT_NE(last.find("Color specification 'rrggbb' expected"),
              std::string::npos)
        << bad;
  }
  std::string zero_width = node;
  zero_width.replace(zero_width.find("<outline "), 9, "<outline width='0' ");
  EXPECT_FALSE(Load(Block(zero_width)));
  EXPECT_NE(LastMessage().find("Invalid width attribute"), std::string::npos);
}

TEST_F(ZantuLoaderTest, SubmodelsTakeTheirNodes) {
  const std::string sub =
      "<submodel id='S'><name>Sub\\nline</name><interior color='ffffff'/>"
      "<outline color='000000' width='3'/><font color='000000' name='f' "
      "size='8'/><position>0 0 100 50</position><window>1 2 3 4</window>" +
      NodeXml("B") +
      "<textbox><caption>hello</caption><font color='000000' name='f' "
      "size='10' align='left'/><position>0 0 10 10</position></textbox>"
      "</submodel>";
  ASSERT_TRUE(Load(Block(NodeXml("A") + sub)));
  const VRN_submodelTable* table = network_.Submodels();
  const int s = table->FindSubmodel("S");
  ASSERT_GE(s, 0);
  EXPECT_EQ(table->GetParent(s), qelta::kMainSubmodel);
  EXPECT_EQ(network_.GetNode(a_)->GetSubmodel(), qelta::kMainSubmodel);
  EXPECT_EQ(network_.GetNode(b_)->GetSubmodel(), s);
  const VRN_submodel* record = table->GetSubmodel(s);
  EXPECT_STREQ(record->Header().GetName(), "Sub\nline");
  EXPECT_EQ(record->ScreenInfo().outline_width, 3);
  EXPECT_EQ(record->ScreenInfo().width, 100);
  EXPECT_EQ(record->Window()[0], 2);
  EXPECT_EQ(record->Window()[2], 2);
  ASSERT_EQ(record->TextBoxes().size(), 1u);
  EXPECT_EQ(record->TextBoxes()[0].caption, "hello");
  EXPECT_EQ(record->TextBoxes()[0].rect[2], 10);

  // A second submodel of the same identifier cannot be made: the load
  // fails rather than writing layout nowhere.
  EXPECT_FALSE(Load(Block(sub)));
  EXPECT_NE(LastMessage().find("Can't create submodel: 'S'"),
            std::string::npos);
}

TEST_F(ZantuLoaderTest, NodeExtrasAndDefaults) {
  const std::string extras =
      "<comment>two\\nlines</comment><state id='State1'><fix>mend</fix>"
      "<comment>broken</comment><link title='t' path='p'/></state>"
      "<question>why?</question><link title='doc' path='x.html'/>";
  ASSERT_TRUE(Load(Block(NodeXml("A", extras) +
                         NodeXml("B", "<barchart width='90' height='40'/>"))));
  const VRN_node* a = network_.GetNode(a_);
  EXPECT_STREQ(a->Header().GetComment(), "two\nlines");
  EXPECT_STREQ(a->GetQuestion(), "why?");
  ASSERT_EQ(a->Documentation().GetSize(), 1);
  EXPECT_STREQ(a->Documentation().GetPath(0), "x.html");
  EXPECT_EQ(Info(a_).show_bar_chart, 0);
  EXPECT_EQ(Info(a_).bar_chart_width, qelta::kScreenInfoUnset);
  const auto* def = dynamic_cast<const VRN_discDef*>(a->Definition());
  ASSERT_NE(def, nullptr);
  EXPECT_STREQ(def->GetOutcomeFix(1), "mend");
  EXPECT_STREQ(def->GetOutcomeDescription(1), "broken");
  ASSERT_NE(def->GetOutcomeDocumentation(1), nullptr);
  EXPECT_STREQ(def->GetOutcomeDocumentation(1)->GetTitle(0), "t");
  EXPECT_EQ(Info(b_).show_bar_chart, 0);
  EXPECT_EQ(Info(b_).bar_chart_width, 90);
  EXPECT_EQ(Info(b_).bar_chart_height, 40);
}

// Each failure of the block: one -103 entry, at the line and column where
// the reader stands when it is found (line 2 holds the failing element).
TEST_F(ZantuLoaderTest, EachFailureLogsOneErrorWithItsLocation) {
  struct Failure {
    std::string line2;
    const char* message;
    const char* at;
    const char* attributes = "version='1.0' name='n'";
  };
  const Failure failures[] = {
      {NodeXml("Q"), "Node 'Q' doesn't exist in QELTA network", "<node"},
      {"<submodel id='A'/>", "Can't create submodel: 'A'", "<submodel"},
      {NodeXml("A", "", "1 2 3"), "Error while reading object position",
       "</position>"},
      // The last token is only complete at the end tag.
      {NodeXml("A", "", "1 2 3 4 5"), "Exactly 4 integers expected",
       "</position>"},
      {NodeXml("A", "", "1 2 x 4"),
       "Can't read list of integers, failed at element 3", "1 2 x 4"},
      {NodeXml("A", "", "1 2 99999999999 4"),
       "Can't read list of integers, failed at element 3", "1 2 99999999999"},
      // A rectangle whose centre or size overflows int.
      {NodeXml("A", "", "-2147483648 0 2147483647 1"),
       "Error while reading object position", "</position>"},
      {"<node id='A'><interior color='12345'/></node>",
       "Color specification 'rrggbb' expected", "<interior"},
      {"<node id='A'><font color='red' name='f' size='8'/></node>",
       "Color specification 'rrggbb' expected", "<font"},
      {"<node id='A'><outline color='000000' width='0'/></node>",
       "Invalid width attribute", "<outline"},
      {"<node id='A'><outline color='000000' width='wide'/></node>",
       "Integer value expected for attribute 'width'", "<outline"},
      {"<node id='A'><barchart active='yes'/></node>",
       "'true' or 'false' expected as value of boolean attribute 'active'",
       "<barchart"},
      {"<node id='A'><state id='zz'/></node>", "Invalid state id: 'zz'",
       "<state"},
      {"<plate leftwidth='x' rightwidth='1'>0 0 1 1</plate>",
       "Integer value expected for attribute 'leftwidth'", "<plate"},
      {"<node id='A'><name>A</name></node>",
       "Required element 'position' not present in element 'node'",
       "</node>"},
      {"<node id='A'><position>0 0 1 1</position>"
       "<position>0 0 1 1</position></node>",
       "Multiple occurences of 'position' not allowed in 'node'",
       "<position>0 0 1 1</position></node>"},
      {"", "Invalid version number '1.1', expected 1.0", "<zantu",
       "version='1.1' name='n'"},
  };
  for (const Failure& f : failures) {
    const std::string block = std::string("<zantu ") + f.attributes + ">\n" +
                              f.line2 + "</zantu>";
    EXPECT_FALSE(Load(block)) << f.message;
    const std::string line = f.line2.empty() ? "<qelta><extensions>" + block
                                             : f.line2 + "</zantu>";
    const size_t column = line.find(f.at);
    ASSERT_NE(column, std::string::npos) << f.at;
    const std::string expected = "Error at " +
                                 std::string(f.line2.empty() ? "1" : "2") +
                                 ", " + std::to_string(column) + ": " +
                                 f.message;
    std::vector<std::string> errors;
    const VRN_errorLog* log = network_.ErrorLog();
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
      EXPECT_EQ(log->GetCode(i), qelta::kErrFileIo) << f.message;
      errors.push_back(log->GetMessage(i));
    }
    EXPECT_EQ(errors, std::vector<std::string>{expected}) << block;
  }
}

TEST_F(ZantuLoaderTest, UnknownContentOnlyWarns) {
  ASSERT_TRUE(Load(Block(NodeXml("A", "<sparkle/>") + "<future x='1'/>",
                         "version='1.0' name='' extra='1'")));
  const VRN_errorLog* log = network_.ErrorLog();
  ASSERT_EQ(log->GetNumberOfMessages(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(log->GetCode(i), qelta::kErrFileRead);
  EXPECT_STREQ(log->GetMessage(3),
               "XML contains unknown elements and/or attributes. ");
  // An empty name attribute leaves the network's name alone.
  EXPECT_STREQ(network_.Header()->GetName(), "Unnamed");
}

// Rectangles of non-negative size read back as written after repeated saves:
// negative coordinates, odd sizes and bounds beyond the int range included;
// so does a size of INT_MIN, which the setters store.
TEST(ZantuRectangleTest, RectanglesSurviveRepeatedSaves) {
  const int rects[][4] = {{-19, 10, 1, 10}, {-1, -1, 3, 5}, {100, -50, 77, 0},
                          {-2000000000, 2000000000, 2147483647, 1},
                          {25, 20 + INT_MIN / 2, 30, INT_MIN},
                          {INT_MAX, INT_MIN, INT_MIN, 4}};
  VRN_network net;
  for (const auto& r : rects) {
    VRN_screenInfo& info = net.GetNode(net.AddNode(18, nullptr))->ScreenInfo();
    info.x = r[0], info.y = r[1], info.width = r[2], info.height = r[3];
  }
  for (int round = 0; round < 3; ++round) {
    std::string text;
    ASSERT_EQ(net.WriteString(text, 0), 0);
    ASSERT_EQ(net.ReadString(text.c_str(), 0), 0) << text;
  }
  for (int h = 0; h < static_cast<int>(std::size(rects)); ++h) {
    const VRN_screenInfo& info = net.GetNode(h)->ScreenInfo();
    EXPECT_EQ((std::vector<int>{info.x, info.y, info.width, info.height}),
              (std::vector<int>(rects[h], rects[h] + 4)))
        << h;
  }
}

// The loader takes a negative size as its absolute value (other tools give
// bounds in either order), so a node, submodel or text box of a negative
// size other than INT_MIN is refused, naming it, before a file or string is
// written; without the layout block it is not written at all, so it writes.
TEST(ZantuRectangleTest, NegativeSizesAreRefused) {
  enum Holder { kNode, kSubmodel, kWindow, kTextBox };
  const struct {
    Holder holder;
    int width, height;
    const char* named;
  } cases[] = {{kNode, -30, 40, "Node [N]"},
               {kNode, 30, -1, "Node [N]"},
               {kSubmodel, -4, 4, "Submodel [S]"},
               {kWindow, 4, -4, "Submodel [S]"},
               {kTextBox, -10, 10, "Text box 0 of submodel [S]"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.named) + " " + std::to_string(c.holder));
    VRN_network net;
    const int n = net.AddNode(kCpt, "N");
    const int s = net.Submodels()->CreateSubmodel(qelta::kMainSubmodel, "S");
    ASSERT_GE(s, 0);
    VRN_submodel& submodel = *net.Submodels()->GetSubmodel(s);
    submodel.TextBoxes().push_back(VRN_textBox{"note", {0, 0, 5, 5}});
    VRN_screenInfo& info =
        c.holder == kNode ? net.GetNode(n)->ScreenInfo() : submodel.ScreenInfo();
    int* rect = c.holder == kWindow ? submodel.Window() : submodel.TextBoxes()[0].rect;
    if (c.holder == kNode || c.holder == kSubmodel) {
      info.width = c.width;
      info.height = c.height;
    } else {
      rect[2] = c.width;
      rect[3] = c.height;
    }
    std::string text;
    EXPECT_EQ(net.WriteString(text, 0), qelta::kErrOutOfRange);
    EXPECT_EQ(text, "");
    const VRN_errorLog& log = *net.ErrorLog();
    ASSERT_GT(log.GetNumberOfMessages(), 0);
    EXPECT_EQ(std::string(log.GetMessage(log.GetNumberOfMessages() - 1))
                  .find(std::string("ERROR: ") + c.named +
                        " cannot be saved in the XML network file"),
              0u)
        << log.GetMessage(log.GetNumberOfMessages() - 1);
    const std::string path = ::testing::TempDir() + "zantu_negative.xvrn";
    std::remove(path.c_str());
    EXPECT_EQ(net.WriteFile(path.c_str(), 0, 0), qelta::kErrOutOfRange);
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
    EXPECT_EQ(net.WriteString(text, qelta::kExtensionNone), qelta::kOk);
  }
}

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

// A state is named by the identifier its node reads back with: a cleared
// interval outcome past the first would land on the first, so its
// information is left out; a CAST node reads back as "True" and "False",
// whatever it carries now.
TEST(ZantuWriterTest, StatesAreNamedAsTheyReadBack) {
  const std::string path =
      std::string(QELTA_TEST_DATA) + "/vrn/every_statement.vrn";
  for (bool cast : {false, true}) {
    SCOPED_TRACE(cast ? "CAST" : "CPT");
    VRN_network network;
    ASSERT_EQ(network.ReadFile(path.c_str(), 0, 0), 0);
    const int weather = network.FindNode("Weather");
    if (cast) {
      ASSERT_EQ(network.GetNode(weather)->setNodeType(50), 0);
    }
    auto* def =
        dynamic_cast<VRN_discDef*>(network.GetNode(weather)->Definition());
    ASSERT_EQ(def->SetIntervals({0, 1, 2}, true), 0);
    ASSERT_EQ(def->SetOutcomeDescription(0, "dry"), 0);
    ASSERT_EQ(def->SetOutcomeDescription(1, "wet"), 0);
    std::string text;
    ASSERT_EQ(network.WriteString(text, 0), 0);
    VRN_network back;
    ASSERT_EQ(back.ReadString(text.c_str(), 0), 0) << text;
    const auto* read = dynamic_cast<const VRN_discDef*>(
        back.GetNode(back.FindNode("Weather"))->Definition());
    EXPECT_STREQ(read->GetOutcomeDescription(0), "dry");
    if (cast) {
      EXPECT_STREQ(read->GetOutcomeDescription(1), "wet");
      EXPECT_TRUE(Contains(text, "<state id=\"False\">")) << text;
    } else {
      EXPECT_EQ(read->GetOutcomeDescription(1), nullptr);
      EXPECT_FALSE(Contains(text, "wet")) << text;
    }
  }
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
