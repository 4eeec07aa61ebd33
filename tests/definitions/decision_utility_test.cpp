#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/random.h"
#include "base/status.h"
#include "definitions/decision.h"
#include "definitions/id_values.h"
#include "definitions/utility.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefUtility;

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

struct Net {
  VRN_network net;
  VRN_nodeDef* Def(int h) { return net.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net.GetNode(h)->Value(); }
  VRN_utility* Utility(int h) { return dynamic_cast<VRN_utility*>(Def(h)); }
  std::vector<double> Table(int h) { return Items(*Def(h)->GetMatrixConst()); }
  int Add(int type, const char* id, int outcomes = 2) {
    const int h = net.AddNode(type, id);
    if (outcomes != 2) {
      EXPECT_EQ(0, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    return h;
  }
  std::vector<int> Parents(int h) {
    const VRN_intArray& p = net.GetNode(h)->Parents();
    return std::vector<int>(p.begin(), p.end());
  }
};

TEST(DecisionTest, NewDecisionHasChoicesNoTableAndInformationalParents) {
  Net n;
  const int a = n.Add(kDefCpt, "A", 3);
  const int d = n.Add(kDefDecision, "D");
  ASSERT_EQ(0, n.net.AddArc(a, d));
  EXPECT_STREQ("LIST", n.Def(d)->GetTypeName());
  EXPECT_STREQ("Choice0", n.Def(d)->GetOutcomesNames()->Get(0));
  EXPECT_STREQ("Choice1", n.Def(d)->GetOutcomesNames()->Get(1));
  EXPECT_EQ(nullptr, n.Def(d)->GetMatrixConst());
  EXPECT_EQ(0, n.Def(d)->AddOutcome(nullptr));
  EXPECT_STREQ("Choice2", n.Def(d)->GetOutcomesNames()->Get(2));
  EXPECT_EQ(qelta::kValPolicyValues, n.Val(d)->GetType());
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Def(d)->MakeUniform());
  VRN_randomGenerator generator(1);
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Def(d)->MakeRandom(generator));
  // Parent edits reach the decision and change nothing.
  EXPECT_EQ(0, n.Def(a)->AddOutcome("more"));
  EXPECT_EQ(0, n.Def(a)->RemoveOutcome(0));

  // Reordering refused, parent order kept.
  const int b = n.Add(kDefCpt, "B");
  ASSERT_EQ(0, n.net.AddArc(b, d));
  VRN_intArray order;
  order.Add(1);
  order.Add(0);
  EXPECT_EQ(qelta::kErrWrongNodeType, n.net.ReorderParents(d, order));
  EXPECT_EQ((std::vector<int>{a, b}), n.Parents(d));

  // Observed choices work, virtual evidence does not.
  EXPECT_EQ(0, n.Val(d)->SetEvidence(1));
  EXPECT_EQ(qelta::kErrWrongNodeType,
            n.Val(d)->SetVirtualEvidence(std::vector<double>{0.5, 0.5, 0.0}));
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Val(d)->ClearVirtualEvidence());

  // Turned into a CPT: parents gone, choices kept, uniform table; the
  // observed choice survives.
  ASSERT_EQ(0, n.net.GetNode(d)->setNodeType(kDefCpt));
  EXPECT_TRUE(n.Parents(d).empty());
  EXPECT_STREQ("Choice0", n.Def(d)->GetOutcomesNames()->Get(0));
  EXPECT_EQ((std::vector<double>{1 / 3.0, 1 / 3.0, 1 / 3.0}), n.Table(d));
  EXPECT_EQ(1, n.Val(d)->GetEvidence());
  EXPECT_TRUE(n.net.GetNode(a)->Children().GetSize() == 0);
}

TEST(UtilityTest, TableFollowsParentsAndOutcomes) {
  Net n;
  const int u = n.Add(kDefUtility, "U");
  EXPECT_STREQ("TABLE", n.Def(u)->GetTypeName());
  EXPECT_EQ(std::vector<double>{1.0}, n.Table(u));
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Def(u)->GetNumberOfOutcomes());
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Def(u)->GetDiscreteOutcomeCount());
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Def(u)->AddOutcome("x"));
  EXPECT_EQ(qelta::kValExpectedUtility, n.Val(u)->GetType());

  const int a = n.Add(kDefCpt, "A");
  const int b = n.Add(kDefCpt, "B");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({3, 7}));
  ASSERT_EQ(0, n.net.AddArc(b, u));
  EXPECT_EQ((std::vector<double>{3, 3, 7, 7}), n.Table(u));
  EXPECT_EQ(3, n.Def(u)->GetMatrixConst()->GetDimensionCount());

  // A new parent state gets 0, a removed one takes its utilities along.
  ASSERT_EQ(0, n.Def(b)->InsertOutcome(1, "mid"));
  EXPECT_EQ((std::vector<double>{3, 0, 3, 7, 0, 7}), n.Table(u));
  ASSERT_EQ(0, n.Def(b)->RemoveOutcome(0));
  EXPECT_EQ((std::vector<double>{0, 3, 0, 7}), n.Table(u));
  ASSERT_EQ(0, n.net.RemoveArc(a, u));
  EXPECT_EQ((std::vector<double>{0, 3}), n.Table(u));

  // Utilities have no children but MAU nodes.
  EXPECT_NE(0, n.net.AddArc(u, b));
}

TEST(UtilityTest, ReorderParentsTransposes) {
  Net n;
  const int a = n.Add(kDefCpt, "A");
  const int b = n.Add(kDefCpt, "B", 3);
  const int u = n.Add(kDefUtility, "U");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.net.AddArc(b, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({1, 2, 3, 4, 5, 6}));
  VRN_intArray order;
  order.Add(1);
  order.Add(0);
  ASSERT_EQ(0, n.net.ReorderParents(u, order));
  EXPECT_EQ((std::vector<int>{b, a}), n.Parents(u));
  EXPECT_EQ((std::vector<double>{1, 4, 2, 5, 3, 6}), n.Table(u));
}

TEST(UtilityTest, RescaleRangeAndInfluence) {
  const struct {
    std::vector<double> in, out;
  } kCases[] = {{{2, 4, 6}, {0, 0.5, 1}}, {{5, 5}, {1, 1}}, {{0, 1}, {0, 1}}};
  for (const auto& c : kCases) {
    Net n;
    const int a = n.Add(kDefCpt, "A", static_cast<int>(c.in.size()));
    const int u = n.Add(kDefUtility, "U");
    ASSERT_EQ(0, n.net.AddArc(a, u));
    ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector(c.in));
    EXPECT_EQ(0, n.Utility(u)->Rescale());
    EXPECT_EQ(c.out, n.Table(u));
    bool influential = true;
    EXPECT_EQ(0, n.Def(u)->CheckParentInfluence(0, 0.1, &influential));
    EXPECT_EQ(c.out.front() != c.out.back(), influential);
    EXPECT_EQ(qelta::kErrOutOfRange,
              n.Def(u)->CheckParentInfluence(1, 0.1, &influential));
  }
  Net n;
  const int u = n.Add(kDefUtility, "U");
  const int a = n.Add(kDefCpt, "A");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({-4, 9}));
  EXPECT_EQ(-4, n.Utility(u)->GetMinimum());
  EXPECT_EQ(9, n.Utility(u)->GetMaximum());
  bool influential = true;
  // A difference of 13 over a range of 13 is not above a tolerance of 1.
  EXPECT_EQ(0, n.Def(u)->CheckParentInfluence(0, 1.0, &influential));
  EXPECT_FALSE(influential);
}

TEST(UtilityTest, RefusesNonFiniteUtilities) {
  Net n;
  const int a = n.Add(kDefCpt, "A");
  const int u = n.Add(kDefUtility, "U");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({1, 2}));
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(qelta::kErrOutOfRange,
              n.Def(u)->SetDefinitionFromVector({bad, 0}));
    VRN_doubleArray items;
    items.Add(0);
    items.Add(bad);
    EXPECT_EQ(qelta::kErrOutOfRange, n.Def(u)->SetDefinition(items));
    VRN_matrix m(*n.Def(u)->GetMatrixConst());
    m.GetItems()[0] = bad;
    EXPECT_EQ(qelta::kErrOutOfRange, n.Def(u)->SetDefinitionFromMatrix(m));
  }
  EXPECT_EQ((std::vector<double>{1, 2}), n.Table(u));
}

TEST(UtilityTest, ConversionsKeepUtilitiesRescaled) {
  Net n;
  const int a = n.Add(kDefCpt, "A");
  const int u = n.Add(kDefUtility, "U");
  const int d = n.Add(kDefDecision, "D");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.net.AddArc(d, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({0, 10, 10, 10}));
  ASSERT_EQ(0, n.net.GetNode(u)->setNodeType(kDefCpt));
  EXPECT_STREQ("State0", n.Def(u)->GetOutcomesNames()->Get(0));
  EXPECT_EQ((std::vector<double>{0, 1, 1, 0, 1, 0, 1, 0}), n.Table(u));
  EXPECT_EQ(qelta::kValBeliefVector, n.Val(u)->GetType());
  ASSERT_EQ(0, n.net.GetNode(u)->setNodeType(kDefUtility));
  EXPECT_EQ((std::vector<double>{0, 1, 1, 1}), n.Table(u));
  EXPECT_EQ((std::vector<int>{a, d}), n.Parents(u));

  // A constant table becomes a uniform CPT; a decision becomes all 1.0.
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({4, 4, 4, 4}));
  ASSERT_EQ(0, n.net.GetNode(u)->setNodeType(kDefCpt));
  EXPECT_EQ(std::vector<double>(8, 0.5), n.Table(u));
  const int e = n.Add(kDefDecision, "E");
  ASSERT_EQ(0, n.net.GetNode(e)->setNodeType(kDefUtility));
  EXPECT_EQ(std::vector<double>{1.0}, n.Table(e));

  // A chance node with children loses them as a utility.
  const int c = n.Add(kDefCpt, "C");
  ASSERT_EQ(0, n.net.AddArc(a, c));
  ASSERT_EQ(0, n.net.AddArc(c, d));
  ASSERT_EQ(0, n.net.GetNode(c)->setNodeType(kDefUtility));
  EXPECT_EQ(0, n.net.GetNode(c)->Children().GetSize());
  EXPECT_EQ(std::vector<int>{a}, n.Parents(c));
}

TEST(UtilityTest, ExpectedUtilityValue) {
  Net n;
  const int u = n.Add(kDefUtility, "U");
  auto* value = dynamic_cast<VRN_expectedUtility*>(n.Val(u));
  ASSERT_NE(nullptr, value);
  EXPECT_EQ(std::vector<int>{1}, std::vector<int>(
                                     value->GetValue().GetDimensions().begin(),
                                     value->GetValue().GetDimensions().end()));
  for (int rc : {value->SetEvidence(0), value->ClearEvidence(),
                 value->GetEvidence(), value->SetPropagatedEvidence(0),
                 value->ClearPropagatedEvidence(), value->SetContEvidence(1),
                 value->ClearVirtualEvidence()}) {
    EXPECT_EQ(qelta::kErrWrongNodeType, rc);
  }
  VRN_matrix& m = value->GetMutableValue();
  ASSERT_EQ(0, m.SetSingleDimension(3));
  m.GetItems()[0] = 2;
  m.GetItems()[1] = 4;
  m.GetItems()[2] = 6;
  EXPECT_EQ(0, value->Rescale(0, 0, 0, 1));
  EXPECT_EQ((std::vector<double>{0, 0.5, 1}), Items(m));
  EXPECT_EQ(0, value->Rescale(-1, 1, 0, 0));
  EXPECT_EQ((std::vector<double>{0, 0, 0}), Items(m));
}

TEST(NetworkDecisionTest, IsTestGroupCost) {
  Net n;
  const int a = n.Add(kDefCpt, "A");
  EXPECT_FALSE(n.net.IsTestGroupCost(a));
  EXPECT_FALSE(n.net.IsTestGroupCost(99));
  EXPECT_FALSE(n.net.IsTestGroupCost(-1));
  const struct {
    const char* value;
    bool expected;
  } kCases[] = {{"TRUE", true}, {"true", true}, {"True", true},
                {"yes", false}, {"Truer", false}, {"", false}};
  for (const auto& c : kCases) {
    ASSERT_EQ(0, n.net.GetNode(a)->UserProperties().AddProperty(
                     "DIAG_TESTGROUPCOST", c.value));
    EXPECT_EQ(c.expected, n.net.IsTestGroupCost(a)) << c.value;
  }
}

TEST(NetworkDecisionTest, DecisionOrderPutsInformationFirst) {
  Net n;
  const int x = n.Add(kDefCpt, "X");
  const int b = n.Add(kDefCpt, "B");
  const int a = n.Add(kDefCpt, "A");
  const int d = n.Add(kDefDecision, "D");
  ASSERT_EQ(0, n.net.AddArc(a, d));
  ASSERT_EQ(0, n.net.AddArc(b, d));
  ASSERT_EQ(0, n.net.AddArc(a, b));
  VRN_intArray order;
  ASSERT_EQ(0, n.net.GetDecisionOrder(order));
  ASSERT_EQ(4, order.GetSize());
  EXPECT_EQ((std::vector<int>{a, b, d, x}),
            std::vector<int>(order.begin(), order.end()));
}

}  // namespace
