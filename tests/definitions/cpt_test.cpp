#include "definitions/cpt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/random.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "definitions/truth_table.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::vector<int> Sizes(const VRN_matrix& m) {
  return std::vector<int>(m.GetDimensions().begin(), m.GetDimensions().end());
}

void ExpectItemsNear(const std::vector<double>& expected,
                     const VRN_matrix& m) {
  ASSERT_EQ(static_cast<int>(expected.size()), m.GetItemCount());
  for (int i = 0; i < m.GetItemCount(); ++i) {
    EXPECT_NEAR(expected[i], m.GetItem(i), 1e-12) << "item " << i;
  }
}

class CptTest : public ::testing::Test {
 protected:
  int Add(int type, const char* id, int outcomes = 2) {
    const int h = net_.AddNode(type, id);
    EXPECT_GE(h, 0);
    if (outcomes != 2) {
      EXPECT_EQ(qelta::kOk, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    return h;
  }
  int AddCpt(const char* id, int outcomes = 2) {
    return Add(qelta::kDefCpt, id, outcomes);
  }
  VRN_nodeDef* Def(int h) { return net_.GetNode(h)->Definition(); }
  const VRN_matrix& Table(int h) { return *Def(h)->GetMatrixConst(); }
  void SetTable(int h, const std::vector<double>& items) {
    ASSERT_EQ(qelta::kOk, Def(h)->SetDefinitionFromVector(items));
  }

  VRN_network net_;
};

TEST_F(CptTest, ParentsIndexTheTableInParentOrder) {
  const int a = AddCpt("a", 3);
  const int b = AddCpt("b", 4);
  const int c = AddCpt("c");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, c));
  ASSERT_EQ(qelta::kOk, net_.AddArc(b, c));
  EXPECT_EQ((std::vector<int>{3, 4, 2}), Sizes(Table(c)));
  EXPECT_EQ(1, Def(c)->GetParentIndex(b));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(c)->GetParentIndex(c));

  // Permuting the parents permutes the dimensions; the own one stays last.
  std::vector<double> items(24);
  for (int i = 0; i < 24; ++i) items[i] = i;
  SetTable(c, items);
  VRN_intArray order;
  order.Add(1);
  order.Add(0);
  ASSERT_EQ(qelta::kOk, net_.ReorderParents(c, order));
  EXPECT_EQ((std::vector<int>{4, 3, 2}), Sizes(Table(c)));
  // (b = 1, a = 2, own = 1) was (a = 2, b = 1, own = 1): 2*8 + 1*2 + 1.
  EXPECT_EQ(19.0, Table(c).GetItem(1 * 6 + 2 * 2 + 1));
}

TEST_F(CptTest, ParentOutcomeInsertedGivesTheNewStateUniformColumns) {
  const int a = AddCpt("a");
  const int b = AddCpt("b", 3);
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  SetTable(b, {0.2, 0.3, 0.5, 0.6, 0.4, 0.0});
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "x"));
  EXPECT_EQ((std::vector<int>{3, 3}), Sizes(Table(b)));
  ExpectItemsNear({1 / 3.0, 1 / 3.0, 1 / 3.0, 0.2, 0.3, 0.5, 0.6, 0.4, 0.0},
                  Table(b));

  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(2, "y"));
  ExpectItemsNear({1 / 3.0, 1 / 3.0, 1 / 3.0, 0.2, 0.3, 0.5, 1 / 3.0, 1 / 3.0,
                   1 / 3.0, 0.6, 0.4, 0.0},
                  Table(b));
}

TEST_F(CptTest, OwnOutcomeInsertedHasProbabilityZero) {
  const int a = AddCpt("a");
  const int b = AddCpt("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  SetTable(b, {0.2, 0.8, 0.6, 0.4});
  ASSERT_EQ(qelta::kOk, Def(b)->InsertOutcome(1, "m"));
  ExpectItemsNear({0.2, 0.0, 0.8, 0.6, 0.0, 0.4}, Table(b));
  ASSERT_EQ(qelta::kOk, Def(b)->AddOutcome("z"));
  ExpectItemsNear({0.2, 0.0, 0.8, 0.0, 0.6, 0.0, 0.4, 0.0}, Table(b));
  EXPECT_STREQ("m", Def(b)->GetOutcomesNames()->Get(1));
}

TEST_F(CptTest, ParentOutcomesReorderedPermuteTheColumns) {
  const int a = AddCpt("a", 3);
  const int b = AddCpt("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  SetTable(b, {0.1, 0.9, 0.2, 0.8, 0.3, 0.7});
  VRN_intArray order;
  order.Add(2);
  order.Add(0);
  order.Add(1);
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomes(order));
  ExpectItemsNear({0.3, 0.7, 0.1, 0.9, 0.2, 0.8}, Table(b));
  EXPECT_STREQ("State2", Def(a)->GetOutcomesNames()->Get(0));
}

TEST_F(CptTest, OwnOutcomeRemovedRenormalisesEveryColumn) {
  const int a = AddCpt("a");
  const int b = AddCpt("b", 3);
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  SetTable(b, {0.2, 0.3, 0.5, 0.0, 1.0, 0.0});
  ASSERT_EQ(qelta::kOk, Def(b)->RemoveOutcome(1));
  // 0.2, 0.5 scaled by 1 / 0.7; a column left with nothing becomes uniform.
  ExpectItemsNear({0.2 / 0.7, 0.5 / 0.7, 0.5, 0.5}, Table(b));
}

TEST_F(CptTest, OwnOutcomesReorderedPermuteEveryColumn) {
  const int b = AddCpt("b", 3);
  SetTable(b, {0.2, 0.3, 0.5});
  VRN_intArray order;
  order.Add(1);
  order.Add(2);
  order.Add(0);
  ASSERT_EQ(qelta::kOk, Def(b)->ChangeOrderOfOutcomes(order));
  ExpectItemsNear({0.3, 0.5, 0.2}, Table(b));
}

TEST_F(CptTest, UniformAndRandomTables) {
  const int a = AddCpt("a", 3);
  const int b = AddCpt("b", 4);
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  VRN_randomGenerator generator(42);
  ASSERT_EQ(qelta::kOk, Def(b)->MakeRandom(generator));
  const VRN_matrix& t = Table(b);
  std::vector<double> first(t.GetItems().begin(), t.GetItems().begin() + 4);
  for (int c = 0; c < 3; ++c) {
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
      EXPECT_GT(t.GetItem(c * 4 + k), 0.0);
      sum += t.GetItem(c * 4 + k);
    }
    EXPECT_NEAR(1.0, sum, 1e-12);
    if (c > 0) {
      EXPECT_NE(first, std::vector<double>(t.GetItems().begin() + c * 4,
                                           t.GetItems().begin() + c * 4 + 4));
    }
  }
  ASSERT_EQ(qelta::kOk, Def(b)->MakeUniform());
  for (int i = 0; i < t.GetItemCount(); ++i) EXPECT_EQ(0.25, t.GetItem(i));
}

TEST_F(CptTest, ResizingWithoutChildrenRebuildsAUniformTable) {
  const int a = AddCpt("a");
  const int b = AddCpt("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  SetTable(b, {0.2, 0.8, 0.6, 0.4});
  ASSERT_EQ(qelta::kOk, Def(b)->SetNumberOfOutcomes(3));
  EXPECT_EQ((std::vector<int>{2, 3}), Sizes(Table(b)));
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(1 / 3.0, Table(b).GetItem(i), 1e-15);
}

TEST_F(CptTest, ResizingWithChildrenMakesEveryChildFollow) {
  const int a = AddCpt("a");
  const int b = AddCpt("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  SetTable(b, {0.2, 0.8, 0.6, 0.4});
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(4));
  EXPECT_EQ((std::vector<int>{4, 2}), Sizes(Table(b)));
  ExpectItemsNear({0.2, 0.8, 0.6, 0.4, 0.5, 0.5, 0.5, 0.5}, Table(b));
  EXPECT_STREQ("State3", Def(a)->GetOutcomesNames()->Get(3));
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(2));
  ExpectItemsNear({0.2, 0.8, 0.6, 0.4}, Table(b));
}

TEST_F(CptTest, TableFollowsEveryEditInSequence) {
  // A longer edit history keeps the dimensions in step with the network.
  const int a = AddCpt("a");
  const int b = AddCpt("b", 3);
  const int c = AddCpt("c");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, c));
  ASSERT_EQ(qelta::kOk, net_.AddArc(b, c));
  ASSERT_EQ(qelta::kOk, Def(a)->AddOutcome("more"));
  ASSERT_EQ(qelta::kOk, Def(b)->RemoveOutcome(0));
  ASSERT_EQ(qelta::kOk, Def(c)->InsertOutcome(0, "first"));
  ASSERT_EQ(qelta::kOk, net_.RemoveArc(a, c));
  EXPECT_EQ((std::vector<int>{2, 3}), Sizes(Table(c)));
  for (int col = 0; col < 2; ++col) {
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) sum += Table(c).GetItem(col * 3 + k);
    EXPECT_NEAR(1.0, sum, 1e-12);
  }
}

// ---- Truth tables.

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

std::vector<int> States(const VRN_truthTable& t) {
  VRN_intArray states;
  t.GetResultingStates(&states);
  return std::vector<int>(states.begin(), states.end());
}

class TruthTableTest : public CptTest {
 protected:
  VRN_truthTable* Tt(int h) { return dynamic_cast<VRN_truthTable*>(Def(h)); }
};

TEST_F(TruthTableTest, NewTableHasStateZeroEverywhere) {
  const int a = Add(qelta::kDefCpt, "a", 3);
  const int t = Add(qelta::kDefTruthTable, "t");
  ASSERT_NE(nullptr, Tt(t));
  EXPECT_STREQ("TRUTHTABLE", Def(t)->GetTypeName());
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, t));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), States(*Tt(t)));
  EXPECT_EQ((std::vector<double>{1, 0, 1, 0, 1, 0}),
            Items(*Def(t)->GetMatrixConst()));
  EXPECT_EQ(qelta::kErrWrongNodeType, Def(t)->MakeUniform());
}

TEST_F(TruthTableTest, ResultingStatesAreCheckedBeforeTheTableChanges) {
  const int a = Add(qelta::kDefCpt, "a");
  const int t = Add(qelta::kDefTruthTable, "t", 3);
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, t));
  VRN_intArray states;
  states.Add(2);
  states.Add(1);
  ASSERT_EQ(qelta::kOk, Tt(t)->SetResultingStates(states));
  EXPECT_EQ((std::vector<double>{0, 0, 1, 0, 1, 0}),
            Items(*Def(t)->GetMatrixConst()));

  VRN_intArray too_many(states);
  too_many.Add(0);
  EXPECT_EQ(qelta::kErrInvalidValue, Tt(t)->SetResultingStates(too_many));
  VRN_intArray out_of_range;
  out_of_range.Add(0);
  out_of_range.Add(3);
  EXPECT_EQ(qelta::kErrOutOfRange, Tt(t)->SetResultingStates(out_of_range));
  EXPECT_EQ((std::vector<int>{2, 1}), States(*Tt(t)));

  VRN_stringArray names;
  Tt(t)->GetResultingStateNames(&names);
  ASSERT_EQ(2, names.GetSize());
  EXPECT_STREQ("State2", names.Get(0));
  VRN_stringArray by_name;
  (void)by_name.Add("State0");
  (void)by_name.Add("State2");
  ASSERT_EQ(qelta::kOk, Tt(t)->SetResultingStateNames(by_name));
  EXPECT_EQ((std::vector<int>{0, 2}), States(*Tt(t)));
  (void)by_name.SetString(1, "nope");
  EXPECT_EQ(qelta::kErrOutOfRange, Tt(t)->SetResultingStateNames(by_name));
  EXPECT_EQ((std::vector<int>{0, 2}), States(*Tt(t)));
}

TEST_F(TruthTableTest, RandomTableIsDeterministic) {
  const int a = Add(qelta::kDefCpt, "a", 4);
  const int t = Add(qelta::kDefTruthTable, "t", 3);
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, t));
  VRN_randomGenerator generator(7);
  ASSERT_EQ(qelta::kOk, Def(t)->MakeRandom(generator));
  const VRN_matrix& m = *Def(t)->GetMatrixConst();
  for (int c = 0; c < 4; ++c) {
    int ones = 0;
    for (int k = 0; k < 3; ++k) {
      const double v = m.GetItem(c * 3 + k);
      EXPECT_TRUE(v == 0.0 || v == 1.0);
      ones += v == 1.0;
    }
    EXPECT_EQ(1, ones);
  }
}

TEST_F(TruthTableTest, StructuralEditsKeepEveryColumnDeterministic) {
  const int a = Add(qelta::kDefCpt, "a");
  const int t = Add(qelta::kDefTruthTable, "t", 3);
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, t));
  VRN_intArray states;
  states.Add(2);
  states.Add(1);
  ASSERT_EQ(qelta::kOk, Tt(t)->SetResultingStates(states));

  // A new parent state starts at state 0.
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(1, "mid"));
  EXPECT_EQ((std::vector<int>{2, 0, 1}), States(*Tt(t)));
  // Removing the outcome a column pointed at sends it to state 0.
  ASSERT_EQ(qelta::kOk, Def(t)->RemoveOutcome(2));
  EXPECT_EQ((std::vector<double>{1, 0, 1, 0, 0, 1}),
            Items(*Def(t)->GetMatrixConst()));
  // Resizing without children rebuilds state 0 everywhere.
  ASSERT_EQ(qelta::kOk, Def(t)->SetNumberOfOutcomes(4));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), States(*Tt(t)));
}

}  // namespace
