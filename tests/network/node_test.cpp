#include "network/node.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

TEST(NodeTest, DiagnosisTypeKeepsItsLowTwoBitsAndTheFlagsApart) {
  VRN_network net;
  VRN_node* node = net.GetNode(net.AddNode(kCpt, "A"));
  EXPECT_EQ(node->SetDiagType(5), 0);
  node->SetRanked(true);
  node->SetMandatory(true);
  node->SetRanked(false);
  EXPECT_EQ(node->GetDiagType(), 1);
  EXPECT_FALSE(node->IsRanked());
  EXPECT_TRUE(node->IsMandatory());
}

TEST(NodeTest, TypeNamesAreExactAndCaseSensitive) {
  EXPECT_EQ(VRN_node::TypeCodeFromName("CPT"), 18);
  EXPECT_EQ(VRN_node::TypeCodeFromName("TRUTHTABLE"), 20);
  EXPECT_EQ(VRN_node::TypeCodeFromName("NOISY_ADDER"), 274);
  EXPECT_EQ(VRN_node::TypeCodeFromName("EQUATION"), -2);
  EXPECT_EQ(VRN_node::TypeCodeFromName("Cpt"), -2);
  EXPECT_EQ(VRN_node::TypeCodeFromName(nullptr), -2);
}

TEST(NodeTest, CopyFlagTwoMakesTemporalTypeNormal) {
  VRN_network net;
  int h = net.AddNode(kCpt, "A");
  net.GetNode(h)->SetTemporalTypeRaw(3);
  VRN_network keep(net, 0);
  VRN_network drop(net, qelta::kCopyNoTemporal);
  EXPECT_EQ(keep.GetNode(h)->GetTemporalType(), 3);
  EXPECT_EQ(drop.GetNode(h)->GetTemporalType(), 0);
}

TEST(NodeTest, SetNodeTypeSwitchesBetweenCptAndTruthTable) {
  VRN_network net;
  int h = net.AddNode(kCpt, "A");
  VRN_node* node = net.GetNode(h);
  ASSERT_EQ(node->Definition()->SetDefinitionFromVector({0.3, 0.7}), 0);
  ASSERT_EQ(node->setNodeType(kTruthTable), 0);
  EXPECT_EQ(node->Definition()->GetType(), kTruthTable);
  EXPECT_EQ(Table(net, h), (std::vector<double>{0.0, 1.0}));
  ASSERT_EQ(node->SetTypeByName("CPT"), 0);
  EXPECT_EQ(node->Definition()->GetType(), kCpt);
  EXPECT_EQ(Table(net, h), (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(node->setNodeType(kCpt), 0);  // already a CPT
}

TEST(NodeTest, SetNodeTypeCarriesEvidenceAndKeepsArcs) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  ASSERT_EQ(net.GetNode(b)->Value()->SetEvidence(1), 0);
  ASSERT_EQ(net.GetNode(b)->setNodeType(kTruthTable), 0);
  VRN_node* node = net.GetNode(b);
  EXPECT_EQ(node->Value()->GetEvidence(), 1);
  EXPECT_EQ(Ints(node->Parents()), std::vector<int>{a});
  EXPECT_EQ(Ints(node->Children()), std::vector<int>{c});
  EXPECT_EQ(node->Definition()->GetMatrixConst()->GetDimensionCount(), 2);
}

// A multi-attribute utility with a utility parent and a decision parent
// becomes a kind whose table the utility cannot index: the utility's arc
// goes, and the table fits the decision that stays (and saves).
TEST(NodeTest, SetNodeTypeFitsTheTableToTheParentsThatStay) {
  for (int type : {kCpt, kTruthTable, qelta::kDefNoisyMax, qelta::kDefUtility}) {
    VRN_network net;
    const int u = net.AddNode(qelta::kDefUtility, "U");
    const int d = net.AddNode(qelta::kDefDecision, "D");
    const int m = net.AddNode(qelta::kDefMau, "M");
    ASSERT_EQ(net.AddArc(u, m), 0);
    ASSERT_EQ(net.AddArc(d, m), 0);
    ASSERT_EQ(net.GetNode(m)->setNodeType(type), 0) << type;
    EXPECT_EQ(Ints(net.GetNode(m)->Parents()), std::vector<int>{d}) << type;
    const VRN_matrix* table = Def(net, m)->GetExpandedDefinition();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->GetDimensionCount(), 2) << type;
    EXPECT_EQ(table->GetSize(0), 2) << type;
    std::string text;
    ASSERT_EQ(net.WriteString(text, -1), 0);
    VRN_network read;
    EXPECT_EQ(read.ReadString(text.c_str(), -1), 0) << type;
  }
}

// A decision parent of a multi-attribute utility becomes a chance node: the
// arc goes, and with it the weights' dimension of the decision.
TEST(NodeTest, SetNodeTypeRemovesArcsToChildrenAsTheyKnewTheNode) {
  VRN_network net;
  const int d = net.AddNode(qelta::kDefDecision, "D");
  const int u = net.AddNode(qelta::kDefUtility, "U");
  const int m = net.AddNode(qelta::kDefMau, "M");
  ASSERT_EQ(net.AddArc(d, m), 0);
  ASSERT_EQ(net.AddArc(u, m), 0);
  ASSERT_EQ(Sizes(net, m), (std::vector<int>{2, 1}));
  ASSERT_EQ(net.GetNode(d)->setNodeType(kCpt), 0);
  EXPECT_EQ(Ints(net.GetNode(m)->Parents()), std::vector<int>{u});
  EXPECT_EQ(Sizes(net, m), std::vector<int>{1});
  std::string text;
  ASSERT_EQ(net.WriteString(text, -1), 0);
  VRN_network read;
  EXPECT_EQ(read.ReadString(text.c_str(), -1), 0);
}

TEST(NodeTest, SetNodeTypeToTheSameTypeRunsNoUpdate) {
  VRN_network net;
  int h = net.AddNode(kCpt, "A");
  LogEveryUpdate(net);  // each update logs one line
  (void)net.SetAutoUpdate(true);
  int before = CountMessages(net, kUpdateMessage);
  EXPECT_EQ(net.GetNode(h)->setNodeType(kCpt), 0);
  EXPECT_EQ(CountMessages(net, kUpdateMessage), before);
  EXPECT_EQ(net.GetNode(h)->setNodeType(kTruthTable), 0);
  EXPECT_EQ(CountMessages(net, kUpdateMessage), before + 1);
}

TEST(NodeTest, CostTablesFollowOutcomeEdits) {
  VRN_network net;
  int parent = net.AddNode(kCpt, "P");
  int child = net.AddNode(kCpt, "C");
  ASSERT_EQ(net.AddArc(parent, child, 1), 0);
  VRN_node* node = net.GetNode(child);
  VRN_doubleArray costs;
  costs.Add(1.0);
  costs.Add(2.0);
  ASSERT_EQ(node->SetCost(costs), 0);
  ASSERT_EQ(Def(net, parent)->InsertOutcome(1, "mid"), 0);
  auto items = [&] {
    const VRN_matrix& m = node->GetCost();
    return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
  };
  EXPECT_EQ(items(), (std::vector<double>{1.0, 0.0, 2.0}));
  VRN_intArray order;
  for (int i : {2, 0, 1}) order.Add(i);
  ASSERT_EQ(Def(net, parent)->ChangeOrderOfOutcomes(order), 0);
  EXPECT_EQ(items(), (std::vector<double>{2.0, 1.0, 0.0}));
  ASSERT_EQ(Def(net, parent)->RemoveOutcome(0), 0);
  EXPECT_EQ(items(), (std::vector<double>{1.0, 0.0}));
}

// Cost tables hold one dimension per cost parent, of its outcome count,
// then one of size 1.
void ExpectCostTablesMatchTheirParents(VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node* node = net.GetNode(h);
    SCOPED_TRACE(node->GetId());
    std::vector<int> expected;
    for (int parent : node->GetCostParents()) {
      expected.push_back(Def(net, parent)->GetNumberOfOutcomes());
      EXPECT_GE(expected.back(), 2);
    }
    expected.push_back(1);
    if (!node->HasDiagExtras()) continue;
    EXPECT_EQ(Ints(node->GetCost().GetDimensions()), expected);
  }
}

// The network's text reads back and writes again alike.
void ExpectReadsBackAlike(VRN_network& net) {
  std::string text, again;
  ASSERT_EQ(net.WriteString(text, 0), 0);
  VRN_network back;
  ASSERT_EQ(back.ReadString(text.c_str(), 0), 0) << back.ErrorLog()->GetMessage(0);
  ASSERT_EQ(back.WriteString(again, 0), 0);
  EXPECT_EQ(text, again);
}

// A, B (3 outcomes) and C with the cost arcs A->B, A->C and B->C.
void BuildCostChain(VRN_network& net) {
  const int a = net.AddNode(kCpt, "A");
  const int b = net.AddNode(kCpt, "B");
  const int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(Def(net, b)->AddOutcome("mid"), 0);
  ASSERT_EQ(net.AddArc(a, b, 1), 0);
  ASSERT_EQ(net.AddArc(a, c, 1), 0);
  ASSERT_EQ(net.AddArc(b, c, 1), 0);
  ASSERT_EQ(net.GetNode(c)->SetCostArray({1, 2, 3, 4, 5, 6}), 0);
  ASSERT_EQ(net.GetNode(b)->UserProperties().AddProperty("DIAG_TESTGROUPCOST", "True"), 0);
}

TEST(NodeTest, TypesWithoutOutcomesKeepNoCostArcs) {
  for (int type : {qelta::kDefEquation, qelta::kDefUtility, qelta::kDefMau}) {
    for (const char* id : {"A", "B", "C"}) {
      SCOPED_TRACE(std::string(id) + " to type " + std::to_string(type));
      VRN_network net;
      BuildCostChain(net);
      const int h = net.FindNode(id);
      ASSERT_EQ(net.GetNode(h)->setNodeType(type), 0);
      const VRN_node* node = net.GetNode(h);
      EXPECT_EQ(node->GetCostParents().GetSize() + node->GetCostChildren().GetSize(), 0);
      for (int other = net.GetFirstNode(); other >= 0; other = net.GetNextNode(other)) {
        EXPECT_FALSE(net.GetNode(other)->GetCostParents().Contains(h));
        EXPECT_FALSE(net.GetNode(other)->GetCostChildren().Contains(h));
      }
      ExpectCostTablesMatchTheirParents(net);
      // B's test-group mark goes with its last cost child.
      EXPECT_EQ(net.GetNode(net.FindNode("B"))->UserProperties().FindProperty(
                    "DIAG_TESTGROUPCOST") >= 0, std::strcmp(id, "A") == 0);
      ExpectReadsBackAlike(net);
    }
  }
}

TEST(NodeTest, CostTablesFollowAnOutcomeCountThatATypeChangeSets) {
  VRN_network net;
  BuildCostChain(net);
  const int b = net.FindNode("B");
  ASSERT_EQ(net.GetNode(b)->setNodeType(qelta::kDefCast), 0);
  ASSERT_EQ(Def(net, b)->GetNumberOfOutcomes(), 2);
  EXPECT_EQ(Ints(net.GetNode(b)->GetCostChildren()),
            (std::vector<int>{net.FindNode("C")}));
  ExpectCostTablesMatchTheirParents(net);
  // The costs of B's first two outcomes stay, for each outcome of A.
  EXPECT_EQ(Items(net.GetNode(net.FindNode("C"))->GetCost()),
            (std::vector<double>{1, 2, 4, 5}));
  ExpectReadsBackAlike(net);
}

TEST(NodeTest, NodeCostsWithoutExtras) {
  VRN_network net;
  VRN_node* node = net.GetNode(net.AddNode(kCpt, "A"));
  VRN_doubleArray two;
  two.Add(1.0);
  two.Add(2.0);
  EXPECT_EQ(node->SetCost(two), -2);
  EXPECT_EQ(node->SetCostArray({0.0}), 0);
  EXPECT_FALSE(node->HasDiagExtras());
  EXPECT_EQ(node->SetCostArray({5.0}), 0);
  EXPECT_TRUE(node->HasDiagExtras());
  EXPECT_EQ(node->GetCost().GetItem(0), 5.0);
  EXPECT_EQ(node->SetCost(two), -4);

  int parent = net.AddNode(kCpt, "P");
  ASSERT_EQ(Def(net, parent)->AddOutcome("third"), 0);
  ASSERT_EQ(net.AddArc(parent, node->Handle(), 1), 0);
  const VRN_matrix& cost = node->GetCost();
  EXPECT_EQ(cost.GetDimensionCount(), 2);
  EXPECT_EQ(cost.GetSize(0), 3);
  EXPECT_EQ(cost.GetSize(1), 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(cost.GetItem(i), 5.0);
}

}  // namespace
