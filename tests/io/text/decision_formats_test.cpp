// Influence diagrams through every format that stores them: Raiffa's oil
// wildcatter entered by hand against one copy per format in tests/data.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "io/text/text_test_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

const double kThird = 1.0 / 3.0;

void BuildOilWildcatter(VRN_network& net) {
  const struct {
    int type;
    const char* id;
    std::vector<const char*> outcomes, parents;
    std::vector<double> table;
  } kNodes[] = {
      {18, "Oil", {"dry", "wet", "soaking"}, {}, {0.5, 0.3, 0.2}},
      {17, "Test", {"test", "notest"}, {}, {}},
      {18, "Seismic", {"closed", "open", "diffuse"}, {"Oil", "Test"},
       {0.1, 0.3, 0.6, kThird, kThird, kThird, 0.3, 0.4, 0.3, kThird, kThird,
        kThird, 0.5, 0.4, 0.1, kThird, kThird, kThird}},
      {17, "Drill", {"drill", "nodrill"}, {"Test", "Seismic"}, {}},
      {8, "Payoff", {}, {"Test", "Drill", "Oil"},
       {-80, 40, 190, -10, -10, -10, -70, 50, 200, 0, 0, 0}},
  };
  for (const auto& n : kNodes) {
    const int h = net.AddNode(n.type, n.id);
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    VRN_stringArray names;
    for (const char* name : n.outcomes) names.Add(name);
    const int named = names.GetSize() > 0 ? def->SetNumberOfOutcomesByIds(names) : 0;
    ASSERT_EQ(0, named) << n.id;
    for (const char* p : n.parents) ASSERT_EQ(0, net.AddArc(net.FindNode(p), h));
    const int set = n.table.empty() ? 0 : def->SetDefinitionFromVector(n.table);
    ASSERT_EQ(0, set) << n.id;
  }
}

// Every node's type, id, outcomes and parents as text; tables appended.
std::vector<std::string> Describe(VRN_network& net, std::vector<double>* tables) {
  std::vector<std::string> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node* node = net.GetNode(h);
    const VRN_nodeDef* def = node->Definition();
    std::string text = std::to_string(def->GetType()) + " " + node->GetId();
    for (int i = 0; i < def->GetNumberOfOutcomes(); ++i) {
      text += " " + std::string(def->GetOutcomesNames()->Get(i));
    }
    for (int p : node->Parents()) text += " <" + std::string(net.GetNode(p)->GetId());
    out.push_back(text);
    if (const VRN_matrix* m = def->GetMatrixConst()) {
      tables->insert(tables->end(), m->GetItems().begin(), m->GetItems().end());
    }
  }
  return out;
}

void ExpectSameNetwork(VRN_network& a, VRN_network& b, const char* tag) {
  std::vector<double> ta, tb;
  EXPECT_EQ(Describe(a, &ta), Describe(b, &tb)) << tag;
  ASSERT_EQ(ta.size(), tb.size()) << tag;
  for (size_t i = 0; i < ta.size(); ++i) EXPECT_NEAR(ta[i], tb[i], 1e-8) << tag;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

TEST(DecisionFormatsTest, OilWildcatterInEveryFormat) {
  VRN_network expected;
  BuildOilWildcatter(expected);
  for (const char* ext : {"xvrn", "net", "dsc", "xml03"}) {
    VRN_network net, again;
    const std::string data =
        std::string(QELTA_TEST_DATA) + "/decisions/oil_wildcatter." + ext;
    ASSERT_EQ(0, net.ReadFile(data.c_str(), 0, 0)) << ext;
    ExpectSameNetwork(expected, net, ext);
    // Write, read, write gives the same text.
    qelta_test::TempFile file;
    const std::string first = std::string(file.path()) + "1." + ext;
    const std::string second = std::string(file.path()) + "2." + ext;
    ASSERT_EQ(0, net.WriteFile(first.c_str(), 0, 0)) << ext;
    ASSERT_EQ(0, again.ReadFile(first.c_str(), 0, 0)) << ext;
    ExpectSameNetwork(expected, again, ext);
    ASSERT_EQ(0, again.WriteFile(second.c_str(), 0, 0)) << ext;
    EXPECT_EQ(Slurp(first), Slurp(second)) << ext;
  }
}

TEST(DecisionFormatsTest, BadTablesAreReported) {
  qelta_test::TempFile bif(
      "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME>\n"
      "<VARIABLE TYPE=\"decision\"><NAME>D</NAME><OUTCOME>a</OUTCOME>"
      "<OUTCOME>b</OUTCOME></VARIABLE>\n"
      "<DEFINITION><FOR>D</FOR><TABLE>0.5 0.5</TABLE></DEFINITION>\n"
      "</NETWORK></BIF>\n");
  VRN_network net;
  ASSERT_EQ(0, net.ReadFile(bif.path(), qelta::kFormatXmlBif, 0));
  EXPECT_EQ(qelta::kDefDecision,
            net.GetNode(net.FindNode("D"))->Definition()->GetType());
  ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages());
  EXPECT_EQ(qelta::kErrWrongNodeType, net.ErrorLog()->GetCode(0));
  EXPECT_STREQ("(line 3) : ERROR: [D] : A decision node takes no TABLE",
               net.ErrorLog()->GetMessage(0));

  VRN_network xml;
  EXPECT_NE(0, xml.ReadString("<qelta version=\"1.0\" id=\"N\"><nodes>"
                              "<utility id=\"U\"><utilities>1 2</utilities>"
                              "</utility></nodes></qelta>", 0));
  EXPECT_STREQ("Error at 1, 77: SetUtilities failed",
               xml.ErrorLog()->GetMessage(0));
}

}  // namespace
