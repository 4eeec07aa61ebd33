#include "definitions/truth_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/random.h"
#include "base/status.h"
#include "base/strings.h"

namespace {

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

std::vector<int> States(const VRN_truthTable& t) {
  VRN_intArray states;
  t.GetResultingStates(&states);
  return std::vector<int>(states.begin(), states.end());
}

class TruthTableTest : public ::testing::Test {
 protected:
  int Add(int type, const char* id, int outcomes = 2) {
    const int h = net_.AddNode(type, id);
    EXPECT_GE(h, 0);
    if (outcomes != 2) {
      EXPECT_EQ(qelta::kOk, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    return h;
  }
  VRN_nodeDef* Def(int h) { return net_.GetNode(h)->Definition(); }
  VRN_truthTable* Tt(int h) { return dynamic_cast<VRN_truthTable*>(Def(h)); }

  VRN_network net_;
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
