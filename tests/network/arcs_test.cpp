#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

void ExpectNear(const std::vector<double>& actual,
                const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-12) << "item " << i;
  }
}

TEST(ArcsTest, AddArcAnswersInTheStatedOrder) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  EXPECT_EQ(net.AddArc(a, a), -2);
  EXPECT_EQ(net.AddArc(a, 99), -2);
  EXPECT_EQ(net.AddArc(-1, a), -2);
  ASSERT_EQ(net.AddArc(a, b), 0);
  EXPECT_EQ(net.AddArc(a, b), -2);
  EXPECT_EQ(net.AddArc(b, a), -2);  // adjacent, not a cycle
  ASSERT_EQ(net.AddArc(b, c), 0);
  const std::vector<double> table_a = Table(net, a);
  EXPECT_EQ(net.AddArc(c, a), -11);
  // A refused arc leaves no trace.
  EXPECT_EQ(net.GetNode(a)->Parents().GetSize(), 0);
  EXPECT_EQ(net.GetNode(c)->Children().GetSize(), 0);
  EXPECT_EQ(Table(net, a), table_a);
  EXPECT_EQ(Sizes(net, a), std::vector<int>{2});
  // A plate parent may not feed a normal child (-51), but a cycle or an
  // adjacent pair is reported first.
  net.GetNode(c)->SetTemporalTypeRaw(3);
  EXPECT_EQ(net.AddArc(c, a), -11);
  EXPECT_EQ(net.AddArc(c, b), -2);
  int d = net.AddNode(kCpt, "D");
  EXPECT_EQ(net.AddArc(c, d), -51);
  EXPECT_EQ(net.GetNode(c)->Children().GetSize(), 0);
  net.GetNode(c)->SetTemporalTypeRaw(0);
  ASSERT_EQ(net.DeleteNode(b), 0);
  EXPECT_EQ(net.AddArc(a, b), -2);  // deleted node
  EXPECT_EQ(net.AddArc(c, a), 0);   // no path left
  EXPECT_EQ(net.AreAdjacent(a, c), 1);
}

TEST(ArcsTest, CycleTestFollowsLongPathsAndReorderedRanks) {
  // Arcs added against the handle order force the rank bookkeeping to
  // reshuffle; every closing arc must still be found.
  VRN_network net;
  const int n = 30;
  for (int i = 0; i < n; ++i) ASSERT_EQ(net.AddNode(kCpt, nullptr), i);
  for (int i = n - 1; i > 0; --i) ASSERT_EQ(net.AddArc(i, i - 1), 0) << i;
  // Path n-1 -> ... -> 0: any arc from a lower to a higher handle closes
  // a cycle unless the two are adjacent.
  EXPECT_EQ(net.AddArc(0, n - 1), -11);
  EXPECT_EQ(net.AddArc(5, 20), -11);
  EXPECT_EQ(net.AddArc(3, 4), -2);
  ASSERT_EQ(net.RemoveArc(15, 14), 0);
  // Two chains now: 29 -> ... -> 15 and 14 -> ... -> 0.
  ASSERT_EQ(net.AddArc(0, n - 1), 0);
  // 14 -> ... -> 0 -> 29 -> ... -> 15
  EXPECT_EQ(net.AddArc(15, 14), -11);
  EXPECT_EQ(net.AddArc(20, 5), -11);
  EXPECT_EQ(net.AddArc(5, 20), 0);
  EXPECT_EQ(net.AddArc(16, 2), -11);
  EXPECT_EQ(net.AddArc(2, 16), 0);
}

TEST(ArcsTest, SkippedCycleTestRecoversAfterLoading) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  net.SetLoadFlags(qelta::kLoadSkipAcyclicity);
  ASSERT_EQ(net.AddArc(c, b), 0);
  ASSERT_EQ(net.AddArc(b, a), 0);
  net.SetLoadFlags(0);
  EXPECT_EQ(net.AddArc(a, c), -11);
  EXPECT_EQ(net.AddArc(a, b), -2);
  EXPECT_EQ(net.AddArc(c, a), 0);
  int d = net.AddNode(kCpt, "D");
  EXPECT_EQ(net.AddArc(a, d), 0);
  EXPECT_EQ(net.AddArc(d, c), -11);
}

TEST(ArcsTest, ArcRuleBetweenExistingTypesAcceptsChanceNodes) {
  VRN_network net;
  int cpt = net.AddNode(kCpt, "C");
  int tt = net.AddNode(kTruthTable, "T");
  int tt2 = net.AddNode(kTruthTable, "T2");
  EXPECT_EQ(net.AddArc(cpt, tt), 0);
  EXPECT_EQ(net.AddArc(tt, tt2), 0);
  EXPECT_EQ(net.AddArc(tt2, cpt), -11);  // cycle before type rule
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(20, 18));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(8, 8));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(18, 50));
}

TEST(ArcsTest, TemporalRuleRefusesTerminalAndPlateParents) {
  VRN_network net;
  int normal = net.AddNode(kCpt, "N");
  int terminal = net.AddNode(kCpt, "T");
  int plate = net.AddNode(kCpt, "P");
  net.GetNode(terminal)->SetTemporalTypeRaw(2);
  net.GetNode(plate)->SetTemporalTypeRaw(3);
  EXPECT_EQ(net.AddArc(terminal, normal), -51);
  EXPECT_EQ(net.AddArc(plate, normal), -51);
  EXPECT_EQ(net.AddArc(terminal, plate), -51);
  EXPECT_EQ(net.AddArc(plate, terminal), 0);
  EXPECT_EQ(net.AddArc(normal, plate), 0);
}

TEST(ArcsTest, RemoveArcUpdatesListsAndTable) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(net.AddArc(a, c), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  ASSERT_EQ(Def(net, c)->SetDefinitionFromVector(
                {0.1, 0.9, 0.2, 0.8, 0.3, 0.7, 0.4, 0.6}),
            0);
  EXPECT_EQ(net.RemoveArc(c, a), -2);
  EXPECT_EQ(net.RemoveArc(a, a), -2);
  EXPECT_EQ(net.RemoveArc(a, 42), -2);
  ASSERT_EQ(net.RemoveArc(a, c), 0);
  EXPECT_EQ(Ints(net.GetNode(c)->Parents()), std::vector<int>{b});
  EXPECT_EQ(net.GetNode(a)->Children().GetSize(), 0);
  // The slice of the removed parent's state 0 stays.
  EXPECT_EQ(Table(net, c), (std::vector<double>{0.1, 0.9, 0.2, 0.8}));
  EXPECT_EQ(net.RemoveArc(a, c), -2);
}

TEST(ArcsTest, DeletingANodeRemovesEveryArcAndKeepsHandles) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  int d = net.AddNode(kCpt, "D");
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  ASSERT_EQ(net.AddArc(b, d), 0);
  ASSERT_EQ(net.AddArc(b, a, 1), 0);
  ASSERT_EQ(net.AddArc(c, b, 1), 0);
  ASSERT_EQ(net.DeleteNode(b), 0);
  for (int h : {a, c, d}) {
    VRN_node* node = net.GetNode(h);
    ASSERT_NE(node, nullptr);
    EXPECT_FALSE(node->Parents().Contains(b));
    EXPECT_FALSE(node->Children().Contains(b));
    EXPECT_FALSE(node->GetCostParents().Contains(b));
    EXPECT_FALSE(node->GetCostChildren().Contains(b));
    EXPECT_EQ(Sizes(net, h), std::vector<int>{2});
  }
  EXPECT_EQ(net.FindNode("D"), d);
  EXPECT_EQ(net.GetNode(a)->GetCost().GetItemCount(), 1);
}

TEST(ArcsTest, CostArcsFollowTheirOwnRules) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  ASSERT_EQ(net.AddArc(a, b), 0);
  EXPECT_EQ(net.AddArc(b, a, 1), 0);  // may close a cycle with arcs
  EXPECT_EQ(net.AddArc(b, a, 1), -32);
  EXPECT_EQ(net.AddArc(a, a, 1), -2);
  EXPECT_EQ(net.AddArc(a, 9, 1), -2);
  EXPECT_EQ(net.RemoveArc(a, b, 1), -2);
  EXPECT_EQ(Ints(net.GetNode(a)->GetCostParents()), std::vector<int>{b});
  EXPECT_EQ(Ints(net.GetNode(b)->GetCostChildren()), std::vector<int>{a});
  const VRN_matrix& cost = net.GetNode(a)->GetCost();
  EXPECT_EQ(std::vector<int>(cost.GetDimensions().begin(),
                             cost.GetDimensions().end()),
            (std::vector<int>{2, 1}));
  EXPECT_EQ(net.GetNode(a)->Parents().GetSize(), 0);  // no ordinary arc
}

TEST(ArcsTest, RemovingTheLastCostChildDropsTheTestGroupProperty) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(net.AddArc(a, b, 1), 0);
  ASSERT_EQ(net.AddArc(a, c, 1), 0);
  VRN_userProperties& props = net.GetNode(a)->UserProperties();
  ASSERT_EQ(props.AddProperty("DIAG_TESTGROUPCOST", "tRUE"), 0);
  ASSERT_EQ(net.RemoveArc(a, b, 1), 0);
  EXPECT_GE(props.FindProperty("DIAG_TESTGROUPCOST"), 0);
  ASSERT_EQ(net.RemoveArc(a, c, 1), 0);
  EXPECT_EQ(props.FindProperty("DIAG_TESTGROUPCOST"), -2);
}

TEST(ArcsTest, ReorderParentsPermutesListAndTable) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(Def(net, b)->AddOutcome("x"), 0);
  ASSERT_EQ(net.AddArc(a, c), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  EXPECT_EQ(Sizes(net, c), (std::vector<int>{2, 3, 2}));
  VRN_intArray order;
  order.Add(1);
  order.Add(0);
  ASSERT_EQ(net.ReorderParents(c, order), 0);
  EXPECT_EQ(Ints(net.GetNode(c)->Parents()), (std::vector<int>{b, a}));
  EXPECT_EQ(Sizes(net, c), (std::vector<int>{3, 2, 2}));
  VRN_intArray bad;
  bad.Add(0);
  bad.Add(0);
  EXPECT_EQ(net.ReorderParents(c, bad), -2);
  EXPECT_EQ(net.ReorderParents(17, order), -2);
  EXPECT_EQ(Ints(net.GetNode(c)->Parents()), (std::vector<int>{b, a}));
}

// ---- Tables that follow structural edits made through the network.

TEST(ArcsTest, ParentAddedToCptRepeatsItsDistribution) {
  VRN_network net;
  int child = net.AddNode(kCpt, "Child");
  int parent = net.AddNode(kCpt, "Parent");
  ASSERT_EQ(Def(net, child)->SetDefinitionFromVector({0.2, 0.8}), 0);
  ASSERT_EQ(net.AddArc(parent, child), 0);
  EXPECT_EQ(Sizes(net, child), (std::vector<int>{2, 2}));
  ExpectNear(Table(net, child), {0.2, 0.8, 0.2, 0.8});

  int second = net.AddNode(kCpt, "Second");
  ASSERT_EQ(Def(net, second)->AddOutcome("s2"), 0);
  ASSERT_EQ(net.AddArc(second, child), 0);
  EXPECT_EQ(Sizes(net, child), (std::vector<int>{2, 3, 2}));
  ExpectNear(Table(net, child),
             {0.2, 0.8, 0.2, 0.8, 0.2, 0.8, 0.2, 0.8, 0.2, 0.8, 0.2, 0.8});
}

TEST(ArcsTest, OutcomeEditsReachEveryChildTable) {
  VRN_network net;
  int parent = net.AddNode(kCpt, "Parent");
  int c1 = net.AddNode(kCpt, "C1");
  int c2 = net.AddNode(kTruthTable, "C2");
  int other = net.AddNode(kCpt, "Other");
  ASSERT_EQ(net.AddArc(other, c1), 0);
  ASSERT_EQ(net.AddArc(parent, c1), 0);
  ASSERT_EQ(net.AddArc(parent, c2), 0);
  ASSERT_EQ(Def(net, parent)->SetNumberOfOutcomes(4), 0);
  EXPECT_EQ(Sizes(net, c1), (std::vector<int>{2, 4, 2}));
  EXPECT_EQ(Sizes(net, c2), (std::vector<int>{4, 2}));
  ASSERT_EQ(Def(net, parent)->SetNumberOfOutcomes(2), 0);
  EXPECT_EQ(Sizes(net, c1), (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(Sizes(net, c2), (std::vector<int>{2, 2}));
}

TEST(ArcsTest, RelevanceHooksInvalidateValuesWhenOn) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  VRN_nodeVal* value = net.GetNode(b)->Value();
  value->AddFlags(qelta::kValFlagValid);
  net.SetRelevanceReasoning(false);
  ASSERT_EQ(net.AddArc(a, b), 0);
  EXPECT_TRUE(value->IsValueValid());
  net.SetRelevanceReasoning(true);
  ASSERT_EQ(net.RemoveArc(a, b), 0);
  EXPECT_FALSE(value->IsValueValid());
}

// Outcomes are added one at a time, each step reallocating the table; a
// final size beyond any table is refused before the first step, so a
// hostile outcome list neither eats memory nor changes the node.
TEST(OutcomeGrowthTest, ListTooLargeForTheTableIsRefusedBeforeAnyChange) {
  VRN_network net;
  const int child = net.AddNode(kCpt, "C");
  for (int p = 0; p < 20; ++p) {
    const int parent = net.AddNode(kCpt, ("P" + std::to_string(p)).c_str());
    ASSERT_EQ(net.AddArc(parent, child), qelta::kOk);
  }
  const std::vector<int> sizes = Sizes(net, child);

  VRN_idArray ids;
  VRN_intArray mapping;
  for (int i = 0; i < 1024; ++i) {
    ASSERT_EQ(ids.Add(("o" + std::to_string(i)).c_str()), qelta::kOk);
    mapping.Add(i < 2 ? i : -1);
  }
  EXPECT_EQ(Def(net, child)->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping),
            qelta::kErrOutOfMemory);
  EXPECT_EQ(Def(net, child)->GetNumberOfOutcomes(), 2);
  EXPECT_EQ(Sizes(net, child), sizes);
}

}  // namespace
