#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/status.h"
#include "definitions/id_values.h"
#include "definitions/utility.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefUtility;
using qelta::kErrWrongNodeType;

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

struct Net {
  VRN_network net;
  VRN_nodeDef* Def(int h) { return net.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net.GetNode(h)->Value(); }
  std::vector<double> Table(int h) { return Items(*Def(h)->GetMatrixConst()); }
  std::vector<int> Parents(int h) {
    const VRN_intArray& p = net.GetNode(h)->Parents();
    return std::vector<int>(p.begin(), p.end());
  }
  int Add(int type, const char* id, int outcomes = 2) {
    const int h = net.AddNode(type, id);
    if (outcomes != 2) {
      EXPECT_EQ(0, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    return h;
  }
  int Swap(int h) {
    VRN_intArray order;
    order.Add(1);
    order.Add(0);
    return net.ReorderParents(h, order);
  }
};

TEST(DecisionTest, ChoicesWithoutTableAndConversionDropsParents) {
  Net n;
  const int a = n.Add(kDefCpt, "A", 3);
  const int b = n.Add(kDefCpt, "B");
  const int d = n.Add(kDefDecision, "D");
  ASSERT_EQ(0, n.net.AddArc(a, d));
  ASSERT_EQ(0, n.net.AddArc(b, d));
  EXPECT_STREQ("Choice1", n.Def(d)->GetOutcomesNames()->Get(1));
  EXPECT_EQ(nullptr, n.Def(d)->GetMatrixConst());
  EXPECT_EQ(qelta::kValPolicyValues, n.Val(d)->GetType());
  EXPECT_EQ(0, n.Def(a)->AddOutcome("more"));  // reaches D, changes nothing
  EXPECT_EQ(kErrWrongNodeType, n.Swap(d));
  EXPECT_EQ((std::vector<int>{a, b}), n.Parents(d));
  EXPECT_EQ(0, n.Val(d)->SetEvidence(1));
  EXPECT_EQ(kErrWrongNodeType, n.Val(d)->SetVirtualEvidence({0.5, 0.5}));

  ASSERT_EQ(0, n.net.GetNode(d)->setNodeType(kDefCpt));
  EXPECT_TRUE(n.Parents(d).empty());
  EXPECT_STREQ("Choice0", n.Def(d)->GetOutcomesNames()->Get(0));
  EXPECT_EQ((std::vector<double>{0.5, 0.5}), n.Table(d));
  EXPECT_EQ(1, n.Val(d)->GetEvidence());
}

TEST(UtilityTest, TableFollowsParentsAndRefusesNonFiniteNumbers) {
  Net n;
  const int u = n.Add(kDefUtility, "U");
  EXPECT_EQ(std::vector<double>{1.0}, n.Table(u));
  EXPECT_EQ(qelta::kValExpectedUtility, n.Val(u)->GetType());
  const int a = n.Add(kDefCpt, "A");
  const int b = n.Add(kDefCpt, "B");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({3, 7}));
  ASSERT_EQ(0, n.net.AddArc(b, u));
  EXPECT_EQ((std::vector<double>{3, 3, 7, 7}), n.Table(u));
  ASSERT_EQ(0, n.Def(b)->InsertOutcome(1, "mid"));
  EXPECT_EQ((std::vector<double>{3, 0, 3, 7, 0, 7}), n.Table(u));
  ASSERT_EQ(0, n.Swap(u));
  EXPECT_EQ((std::vector<int>{b, a}), n.Parents(u));
  EXPECT_EQ((std::vector<double>{3, 7, 0, 0, 3, 7}), n.Table(u));
  EXPECT_NE(0, n.net.AddArc(u, a));  // a utility has no chance children

  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(qelta::kErrOutOfRange,
              n.Def(u)->SetDefinitionFromVector({0, 0, 0, 0, 0, bad}));
  }
  EXPECT_EQ((std::vector<double>{3, 7, 0, 0, 3, 7}), n.Table(u));
}

TEST(UtilityTest, RescaleAndInfluence) {
  const struct {
    std::vector<double> in, out;
  } kCases[] = {{{2, 4, 6}, {0, 0.5, 1}}, {{5, 5}, {1, 1}}, {{0, 1}, {0, 1}}};
  for (const auto& c : kCases) {
    Net n;
    const int a = n.Add(kDefCpt, "A", static_cast<int>(c.in.size()));
    const int u = n.Add(kDefUtility, "U");
    ASSERT_EQ(0, n.net.AddArc(a, u));
    ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector(c.in));
    bool influential = false;
    EXPECT_EQ(0, n.Def(u)->CheckParentInfluence(0, 0.1, &influential));
    // A constant table is never influential.
    EXPECT_EQ(c.in.front() != c.in.back(), influential);
    EXPECT_EQ(0, static_cast<VRN_utility*>(n.Def(u))->Rescale());
    EXPECT_EQ(c.out, n.Table(u));
  }
}

TEST(UtilityTest, ConversionToCptAndBackRescales) {
  Net n;
  const int a = n.Add(kDefCpt, "A");
  const int u = n.Add(kDefUtility, "U");
  ASSERT_EQ(0, n.net.AddArc(a, u));
  ASSERT_EQ(0, n.Def(u)->SetDefinitionFromVector({0, 10}));
  ASSERT_EQ(0, n.net.GetNode(u)->setNodeType(kDefCpt));
  EXPECT_EQ((std::vector<double>{0, 1, 1, 0}), n.Table(u));
  ASSERT_EQ(0, n.net.GetNode(u)->setNodeType(kDefUtility));
  EXPECT_EQ((std::vector<double>{0, 1}), n.Table(u));
  EXPECT_EQ(std::vector<int>{a}, n.Parents(u));
}

TEST(UtilityTest, ExpectedUtilityTakesNoEvidenceAndRescales) {
  Net n;
  auto* value = static_cast<VRN_expectedUtility*>(n.Val(n.Add(kDefUtility, "U")));
  EXPECT_EQ(kErrWrongNodeType, value->SetEvidence(0));
  VRN_matrix& m = value->GetMutableValue();
  ASSERT_EQ(0, m.SetSingleDimension(3));
  for (int i = 0; i < 3; ++i) m.GetItems()[i] = 2.0 * (i + 1);
  EXPECT_EQ(0, value->Rescale(0, 0, 0, 1));
  EXPECT_EQ((std::vector<double>{0, 0.5, 1}), Items(m));
}

TEST(NetworkDecisionTest, TestGroupCostAndDecisionOrder) {
  Net n;
  const int x = n.Add(kDefCpt, "X");
  const int b = n.Add(kDefCpt, "B");
  const int a = n.Add(kDefCpt, "A");
  const int d = n.Add(kDefDecision, "D");
  EXPECT_FALSE(n.net.IsTestGroupCost(a));
  EXPECT_FALSE(n.net.IsTestGroupCost(99));
  for (const char* text : {"TRUE", "yes"}) {
    ASSERT_EQ(0, n.net.GetNode(a)->UserProperties().AddProperty(
                     "DIAG_TESTGROUPCOST", text));
    EXPECT_EQ(text[0] == 'T', n.net.IsTestGroupCost(a)) << text;
  }
  ASSERT_EQ(0, n.net.AddArc(a, d));
  ASSERT_EQ(0, n.net.AddArc(b, d));
  ASSERT_EQ(0, n.net.AddArc(a, b));
  VRN_intArray order;
  ASSERT_EQ(0, n.net.GetDecisionOrder(order));
  EXPECT_EQ((std::vector<int>{a, b, d, x}),
            std::vector<int>(order.begin(), order.end()));
}

}  // namespace
