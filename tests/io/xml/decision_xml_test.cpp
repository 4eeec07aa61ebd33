#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"

namespace {

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qelta version=\"1.0\" id=\"Id\">\n<nodes>\n"
    "<cpt id=\"A\"><state id=\"a0\"/><state id=\"a1\"/>"
    "<probabilities>0.4 0.6</probabilities></cpt>\n";

std::string Document(const std::string& line) {
  return kHead + line + "\n</nodes>\n</qelta>\n";
}

TEST(DecisionXmlTest, ReadsDecisionsAndUtilitiesAndWritesThemBack) {
  VRN_network net;
  ASSERT_EQ(0, net.ReadString(
                   Document("<decision id=\"D\"><state id=\"go\"/>"
                            "<state id=\"stay\"/><parents>A</parents>"
                            "</decision>\n"
                            "<utility id=\"U\"><parents>A D</parents>"
                            "<utilities>1 -2.5 3 4</utilities></utility>")
                       .c_str(),
                   0));
  const VRN_node* d = net.GetNode(net.FindNode("D"));
  const VRN_node* u = net.GetNode(net.FindNode("U"));
  ASSERT_NE(nullptr, d);
  ASSERT_NE(nullptr, u);
  EXPECT_EQ(qelta::kDefDecision, d->Definition()->GetType());
  EXPECT_STREQ("stay", d->Definition()->GetOutcomesNames()->Get(1));
  EXPECT_EQ(1, d->Parents().GetSize());
  EXPECT_EQ(qelta::kDefUtility, u->Definition()->GetType());
  EXPECT_EQ(-2.5, u->Definition()->GetMatrixConst()->GetItem(1));

  std::string first, second;
  ASSERT_EQ(0, net.WriteString(first, -1));
  EXPECT_NE(std::string::npos,
            first.find("<utilities>1 -2.5 3 4</utilities>"));
  EXPECT_EQ(std::string::npos, first.find("<probabilities>", first.find("D")));
  VRN_network again;
  ASSERT_EQ(0, again.ReadString(first.c_str(), 0));
  ASSERT_EQ(0, again.WriteString(second, -1));
  EXPECT_EQ(first, second);
}

TEST(DecisionXmlTest, BadUtilitiesFailTheRead) {
  const struct {
    const char* line;
    const char* message;
  } kCases[] = {
      {"<utility id=\"U\"><parents>A</parents><utilities>1</utilities>"
       "</utility>",
       "Error at 5, 60: SetUtilities failed"},
      {"<utility id=\"U\"><parents>A</parents></utility>",
       "Error at 5, 36: Required element 'utilities' not present in element "
       "'utility'"},
      {"<decision id=\"D\"><parents>A</parents></decision>",
       "Error at 5, 37: Required element 'state' not present in element "
       "'decision'"},
  };
  for (const auto& c : kCases) {
    VRN_network net;
    EXPECT_NE(0, net.ReadString(Document(c.line).c_str(), 0)) << c.line;
    ASSERT_GE(net.ErrorLog()->GetNumberOfMessages(), 1) << c.line;
    EXPECT_STREQ(c.message, net.ErrorLog()->GetMessage(0)) << c.line;
  }
}

}  // namespace
