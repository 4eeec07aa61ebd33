// The dynamic part of the XML network file: write, read, write of dynamic
// networks, and the loader's refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/truth_table.h"
#include "io/text/text_network_util.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;
constexpr int kTruthTable = 20;
constexpr int kPlate = 3;

int Add(VRN_network& net, int type, const char* id, int outcomes) {
  const int h = net.AddNode(type, id);
  EXPECT_GE(h, 0);
  EXPECT_EQ(0, net.GetNode(h)->Definition()->SetNumberOfOutcomes(outcomes));
  return h;
}

// A: normal; B, C, D plate (D deterministic); E anchor; T terminal.
// Temporal arcs of orders 1 and 2 with self-arcs; C's parents are reordered
// after its temporal arcs exist.
void Build(VRN_network& net) {
  const int a = Add(net, kCpt, "A", 2);
  const int e = Add(net, kCpt, "E", 2);
  const int b = Add(net, kCpt, "B", 2);
  const int c = Add(net, kCpt, "C", 3);
  const int d = Add(net, kTruthTable, "D", 2);
  const int t = Add(net, kCpt, "T", 2);
  for (int h : {b, c, d}) ASSERT_EQ(0, net.setNodeTemporalType(h, kPlate));
  ASSERT_EQ(0, net.setNodeTemporalType(e, 1));
  ASSERT_EQ(0, net.setNodeTemporalType(t, 2));
  ASSERT_EQ(0, net.AddArc(a, b));
  ASSERT_EQ(0, net.AddArc(e, b));
  ASSERT_EQ(0, net.AddArc(a, c));
  ASSERT_EQ(0, net.AddArc(b, c));
  ASSERT_EQ(0, net.AddArc(c, d));
  ASSERT_EQ(0, net.AddArc(c, t));
  ASSERT_EQ(0, net.AddTemporalArc(b, b, 1));
  ASSERT_EQ(0, net.AddTemporalArc(c, c, 1));
  ASSERT_EQ(0, net.AddTemporalArc(b, c, 2));
  ASSERT_EQ(0, net.AddTemporalArc(d, d, 2));
  VRN_intArray swap;
  swap.Add(1);
  swap.Add(0);
  ASSERT_EQ(0, net.ReorderParents(c, swap));
  net.SetRandSeed(5);
  ASSERT_EQ(0, net.RandomizeParameters(nullptr, nullptr));
  auto* table = static_cast<VRN_truthTable*>(net.GetNode(d)->Definition());
  VRN_intArray states;
  for (int i = 0; i < 3; ++i) states.Add(i % 2);
  ASSERT_EQ(0, table->SetResultingStates(states));
  VRN_intArray temporal;
  for (int i = 0; i < 6; ++i) temporal.Add(i == 1 || i == 4 ? 1 : 0);
  ASSERT_EQ(0, static_cast<VRN_truthTable*>(
                   net.GetNode(d)->Definition()->GetPlateTemporalDefinition(2))
                   ->SetResultingStates(temporal));
  ASSERT_EQ(0, net.SetNumberOfSlices(4));
  const int rect[4] = {400, 250, 500, 320};
  net.Dbn()->SetPlateInfo(rect, 90, 70);
}

std::vector<double> Row(VRN_network& net, const char* id) {
  const VRN_matrix& m = net.GetNode(net.FindNode(id))->Value()->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

TEST(XmlDynamicTest, WriteReadWriteKeepsTemporalPart) {
  VRN_network net;
  Build(net);
  std::string first, second;
  ASSERT_EQ(0, net.WriteString(first, 0));
  EXPECT_NE(first.find("<dynamic numslices=\"4\">"), std::string::npos);
  EXPECT_NE(first.find("<plate leftwidth=\"90\" rightwidth=\"70\">"),
            std::string::npos)
      << first;
  VRN_network again;
  ASSERT_EQ(0, again.ReadString(first.c_str(), 0)) << first;
  ASSERT_EQ(0, again.WriteString(second, 0));
  EXPECT_EQ(first, second);

  // Equal texts give equal tables, written exactly; beliefs must agree too.
  EXPECT_EQ(4, again.GetNumberOfSlices());
  for (VRN_network* n : {&net, &again}) {
    ASSERT_EQ(0, n->SetTemporalEvidence(n->FindNode("B"), 2, 1));
    ASSERT_EQ(0, n->GetNode(n->FindNode("D"))->Value()->SetEvidence(0));
    ASSERT_EQ(0, n->UpdateBeliefs());
  }
  for (const char* id : {"A", "B", "C", "D", "T", "E"}) {
    const std::vector<double> x = Row(net, id), y = Row(again, id);
    ASSERT_EQ(x.size(), y.size()) << id;
    for (size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], y[i], 1e-12) << id;
  }
}

// Every refusal of the dynamic part, once, with its position and -103.
TEST(XmlDynamicTest, LoaderRefusals) {
  const std::string head =
      "<qelta version=\"1.0\" id=\"N\">\n<nodes>\n"
      "<cpt id=\"P\" dynamic=\"plate\">\n<state id=\"a\"/><state id=\"b\"/>\n"
      "<probabilities>0.5 0.5</probabilities>\n</cpt>\n"
      "<cpt id=\"Q\">\n<state id=\"a\"/><state id=\"b\"/>\n"
      "<probabilities>0.5 0.5</probabilities>\n</cpt>\n"
      "<noisymax id=\"M\" dynamic=\"plate\">\n<state id=\"a\"/>"
      "<state id=\"b\"/>\n<parameters>0.5 0.5</parameters>\n</noisymax>\n"
      "</nodes>\n";
  const std::string cpt =
      "<probabilities>0.1 0.9 0.2 0.8</probabilities>\n</cpt>\n";
  struct Case {
    std::string dynamic;
    std::string message;
  };
  const Case cases[] = {
      {"<dynamic numslices=\"-1\">\n",
       "Invalid slice count: -1, non-negative integer expected"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"Z\" order=\"1\">\n" + cpt,
       "Invalid node identifier: 'Z'"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"Q\" order=\"1\">\n" + cpt,
       "Node is not part of temporal plate: 'Q'"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"P\" order=\"0\">\n" + cpt,
       "Invalid temporal order: 0, positive value expected"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"P\" order=\"1\">\n"
       "<parents></parents>\n" + cpt,
       "No temporal parents specified"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"P\" order=\"1\">\n"
       "<parents>Q</parents>\n" + cpt,
       "AddTemporalArc failed"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"M\" order=\"1\">\n"
       "<parents>M</parents>\n" + cpt,
       "Invalid temporal defintion type"},
      {"<dynamic numslices=\"3\">\n<cpt id=\"P\" order=\"1\">\n"
       "<parents>P</parents>\n<probabilities>0.1 0.9</probabilities>\n</cpt>\n",
       "SetProbabilities failed: node 'P': 2 numbers in probabilities, 4 in its table"},
  };
  for (const Case& c : cases) {
    VRN_network net;
    const std::string doc = head + c.dynamic + "</dynamic>\n</qelta>\n";
    EXPECT_NE(0, net.ReadString(doc.c_str(), -1)) << c.message;
    const VRN_errorLog* log = net.ErrorLog();
    std::string found;
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
      if (log->GetCode(i) == qelta::kErrFileIo) found = log->GetMessage(i);
    }
    EXPECT_NE(found.find("Error at "), std::string::npos) << found;
    EXPECT_NE(found.find(c.message), std::string::npos)
        << c.message << " / " << found;
  }
}

// Equation, utility and multi-attribute utility nodes have no outcomes to
// hold per slice: a document making one a plate node fails to load, at the
// node, and names it.
TEST(XmlDynamicTest, PlateNodesWithoutOutcomesAreRefused) {
  for (const char* node :
       {"<utility id=\"U\" dynamic=\"plate\">\n<utilities>1</utilities>\n"
        "</utility>\n",
        "<equation id=\"U\" dynamic=\"plate\">\n<definition lower=\"0\" "
        "upper=\"1\">U=0.5</definition>\n</equation>\n",
        "<mau id=\"U\" dynamic=\"plate\">\n<weights></weights>\n</mau>\n"}) {
    for (bool automatic : {false, true}) {
      VRN_network net;
      ASSERT_EQ(0, net.SetAutoUpdate(automatic));
      const std::string doc = "<qelta version=\"1.0\" id=\"N\">\n<nodes>\n" +
                              std::string(node) +
                              "</nodes>\n<dynamic numslices=\"3\">\n"
                              "</dynamic>\n</qelta>\n";
      EXPECT_NE(0, net.ReadString(doc.c_str(), -1)) << node;
      const std::string log = qelta_test::LogText(net);
      for (const char* part : {"Error at ", "'U' cannot be a plate node",
                               "dynamic node type to 'plate' for 'U'"}) {
        EXPECT_NE(log.find(part), std::string::npos) << log;
      }
    }
  }
}

TEST(XmlDynamicTest, SampleFileLoadsAndUpdates) {
  std::ifstream in(std::string(QELTA_TEST_DATA) + "/xml/dynamic.xvrn");
  std::stringstream text;
  text << in.rdbuf();
  VRN_network net;
  ASSERT_EQ(0, net.ReadString(text.str().c_str(), 0))
      << net.ErrorLog()->GetMessage(0);
  EXPECT_EQ(5, net.GetNumberOfSlices());
  EXPECT_EQ(2, net.GetMaxTemporalOrder());
  int rect[4], left = 0, right = 0;
  net.Dbn()->GetPlateInfo(rect, left, right);
  EXPECT_EQ(100, left);
  EXPECT_EQ(80, right);
  ASSERT_EQ(0, net.UpdateBeliefs());
  EXPECT_EQ(10, net.GetNode(net.FindNode("Rain"))->Value()->GetValue()
                    .GetItemCount());
}

}  // namespace
