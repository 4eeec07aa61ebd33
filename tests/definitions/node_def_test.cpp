#include "definitions/node_def.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/status.h"
#include "definitions/cpt.h"
#include "definitions/discrete_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCast;
using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefDemorgan;
using qelta::kDefEquation;
using qelta::kDefMau;
using qelta::kDefNoisyAdder;
using qelta::kDefNoisyMax;
using qelta::kDefTruthTable;
using qelta::kDefUtility;

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

TEST(NodeDefFactoryTest, BuildsOnlyTheKindsThatExist) {
  VRN_network net;
  std::unique_ptr<VRN_nodeDef> cpt(VRN_nodeDef::Create(kDefCpt, &net, 0, "a"));
  ASSERT_NE(nullptr, cpt);
  EXPECT_EQ(kDefCpt, cpt->GetType());
  std::unique_ptr<VRN_nodeDef> tt(
      VRN_nodeDef::Create(kDefTruthTable, &net, 0, "a"));
  ASSERT_NE(nullptr, tt);
  EXPECT_EQ(kDefTruthTable, tt->GetType());

  EXPECT_EQ(nullptr, VRN_nodeDef::Create(19, &net, 0, "a"));
  EXPECT_EQ(nullptr, VRN_nodeDef::Create(0, &net, 0, "a"));
  EXPECT_FALSE(VRN_nodeDef::IsValidType(19));
  EXPECT_TRUE(VRN_nodeDef::IsValidType(kDefMau));
  EXPECT_TRUE(VRN_nodeDef::IsValidType(kDefCpt));
  EXPECT_TRUE(VRN_nodeDef::IsValidType(kDefTruthTable));

  const int h = net.AddNode(kDefCpt, "c");
  ASSERT_GE(h, 0);
  EXPECT_EQ(qelta::kErrWrongNodeType, net.GetNode(h)->setNodeType(19));
  EXPECT_EQ(kDefCpt, net.GetNode(h)->Definition()->GetType());
}

TEST(NodeDefFactoryTest, ArcRuleFollowsTheChildThenTheParent) {
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefUtility, kDefUtility));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefEquation, kDefEquation));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefDecision, kDefDecision));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefCpt, kDefMau));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefDecision, kDefMau));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefCast, kDefCast));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefCpt, kDefCast));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefCast, kDefCpt));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefDemorgan, kDefCast));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefEquation, kDefDecision));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefDecision, kDefEquation));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefNoisyMax, kDefUtility));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefTruthTable, kDefDecision));
  EXPECT_FALSE(VRN_nodeDef::IsArcAllowed(kDefMau, kDefCpt));
  EXPECT_TRUE(VRN_nodeDef::IsArcAllowed(kDefMau, kDefMau));
}

class NodeDefTest : public ::testing::Test {
 protected:
  int Add(const char* id, int type = kDefCpt) {
    const int h = net_.AddNode(type, id);
    EXPECT_GE(h, 0);
    return h;
  }
  VRN_nodeDef* Def(int h) { return net_.GetNode(h)->Definition(); }

  VRN_network net_;
};

TEST_F(NodeDefTest, SetDefinitionRefusesSizeMismatches) {
  const int a = Add("a");
  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, Def(b)->SetDefinitionFromVector({0.1, 0.9, 0.3, 0.7}));
  EXPECT_EQ(qelta::kErrInvalidValue,
            Def(b)->SetDefinitionFromVector({1, 0, 1, 0, 1}));
  VRN_doubleArray short_array;
  short_array.Add(1.0);
  EXPECT_EQ(qelta::kErrInvalidValue, Def(b)->SetDefinition(short_array));
  VRN_matrix other;
  ASSERT_EQ(qelta::kOk, other.SetSingleDimension(4));
  EXPECT_EQ(qelta::kErrInvalidValue, Def(b)->SetDefinitionFromMatrix(other));
  EXPECT_EQ((std::vector<double>{0.1, 0.9, 0.3, 0.7}),
            Items(*Def(b)->GetMatrixConst()));

  VRN_matrix same(*Def(b)->GetMatrixConst());
  same.FillWith(0.5);
  ASSERT_EQ(qelta::kOk, Def(b)->SetDefinitionFromMatrix(same));
  EXPECT_EQ((std::vector<double>{0.5, 0.5, 0.5, 0.5}),
            Items(*Def(b)->GetMatrixConst()));
}

TEST_F(NodeDefTest, CopyParametersNeedsEqualDimensions) {
  const int a = Add("a");
  const int b = Add("b");
  const int c = Add("c");
  ASSERT_EQ(qelta::kOk, Def(a)->SetDefinitionFromVector({0.3, 0.7}));
  Def(a)->CopyParametersFrom(Def(b));
  EXPECT_EQ((std::vector<double>{0.3, 0.7}), Items(*Def(b)->GetMatrixConst()));
  ASSERT_EQ(qelta::kOk, Def(c)->SetNumberOfOutcomes(3));
  Def(a)->CopyParameters(Def(c));
  EXPECT_EQ(3, Def(c)->GetMatrixConst()->GetItemCount());
  EXPECT_NEAR(1 / 3.0, Def(c)->GetMatrixConst()->GetItem(0), 1e-15);
}

TEST_F(NodeDefTest, ParentInfluenceComparesColumnsAcrossParentStates) {
  const int a = Add("a");
  const int b = Add("b");
  const int c = Add("c");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, c));
  ASSERT_EQ(qelta::kOk, net_.AddArc(b, c));
  // Columns depend on b only: (a, b) = (0,0) (0,1) (1,0) (1,1).
  ASSERT_EQ(qelta::kOk, Def(c)->SetDefinitionFromVector(
                            {0.2, 0.8, 0.9, 0.1, 0.2, 0.8, 0.9, 0.1}));
  bool influential = true;
  for (double tolerance : {0.0, 0.01, 1.0}) {
    ASSERT_EQ(qelta::kOk, Def(c)->CheckParentInfluence(0, tolerance,
                                                        &influential));
    EXPECT_FALSE(influential) << tolerance;
  }
  ASSERT_EQ(qelta::kOk, Def(c)->CheckParentInfluence(1, 0.1, &influential));
  EXPECT_TRUE(influential);
  // sum (sqrt(p0) - sqrt(p1))^2 is about 0.585 here; its root about 0.765.
  ASSERT_EQ(qelta::kOk, Def(c)->CheckParentInfluence(1, 0.76, &influential));
  EXPECT_TRUE(influential);
  ASSERT_EQ(qelta::kOk, Def(c)->CheckParentInfluence(1, 0.77, &influential));
  EXPECT_FALSE(influential);
  EXPECT_EQ(qelta::kErrOutOfRange,
            Def(c)->CheckParentInfluence(2, 0.1, &influential));
  EXPECT_EQ(qelta::kErrOutOfRange,
            Def(c)->CheckParentInfluence(-1, 0.1, &influential));
}

TEST_F(NodeDefTest, ConversionKeepsOutcomesValuesAndTable) {
  const int a = Add("a");
  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  auto* disc = dynamic_cast<VRN_discDef*>(Def(b));
  ASSERT_EQ(qelta::kOk, disc->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, disc->RenameOutcome(1, "mid"));
  ASSERT_EQ(qelta::kOk, disc->SetPointValues({1.0, 2.0, 4.0}));
  ASSERT_EQ(qelta::kOk, disc->SetOutcomeDescription(2, "high"));
  // A tie goes to the first maximum.
  ASSERT_EQ(qelta::kOk, Def(b)->SetDefinitionFromVector(
                            {0.4, 0.4, 0.2, 0.1, 0.1, 0.8}));

  std::unique_ptr<VRN_nodeDef> converted(
      VRN_nodeDef::CreateConverted(Def(b), kDefTruthTable));
  ASSERT_NE(nullptr, converted);
  auto* tt = dynamic_cast<VRN_discDef*>(converted.get());
  ASSERT_NE(nullptr, tt);
  EXPECT_STREQ("mid", tt->GetOutcomesNames()->Get(1));
  EXPECT_TRUE(tt->HasPointValues());
  EXPECT_STREQ("high", tt->GetOutcomeDescription(2));
  EXPECT_EQ((std::vector<double>{1, 0, 0, 0, 0, 1}),
            Items(*converted->GetMatrixConst()));
  // The record held pointers into the old definition, which is unchanged.
  EXPECT_EQ(3, Def(b)->GetNumberOfOutcomes());
}

}  // namespace
