#include "definitions/discrete_def.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "network/cases.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::vector<double> Bounds(const VRN_discDef& d) {
  std::vector<double> out;
  EXPECT_EQ(qelta::kOk, d.GetIntervals(&out));
  return out;
}

std::vector<std::string> Ids(const VRN_discDef& d) {
  std::vector<std::string> out;
  const VRN_idArray* ids = d.GetOutcomesNames();
  for (int i = 0; i < ids->GetSize(); ++i) {
    out.push_back(ids->Get(i) != nullptr ? ids->Get(i) : "<null>");
  }
  return out;
}

VRN_intArray IntArray(std::initializer_list<int> items) {
  VRN_intArray out;
  for (int v : items) out.Add(v);
  return out;
}

VRN_stringArray StringArray(std::initializer_list<const char*> items) {
  VRN_stringArray out;
  for (const char* v : items) (void)out.Add(v);
  return out;
}

class DiscreteDefTest : public ::testing::Test {
 protected:
  int Add(const char* id, int outcomes = 2) {
    const int h = net_.AddNode(qelta::kDefCpt, id);
    EXPECT_GE(h, 0);
    if (outcomes != 2) {
      EXPECT_EQ(qelta::kOk, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    return h;
  }
  VRN_discDef* Def(int h) {
    return dynamic_cast<VRN_discDef*>(net_.GetNode(h)->Definition());
  }
  // The log's lines, one per line, emptied.
  std::string Logged() {
    std::string text;
    VRN_errorLog* log = net_.ErrorLog();
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) text += log->GetMessage(i) + std::string("\n");
    log->Flush();
    return text;
  }

  VRN_network net_;
};

TEST_F(DiscreteDefTest, NeverFewerThanTwoOutcomes) {
  const int a = Add("a");
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->RemoveOutcome(0));
  EXPECT_EQ(qelta::kErrWrongNumStates, Def(a)->SetNumberOfOutcomes(1));
  VRN_stringArray one = StringArray({"only"});
  EXPECT_EQ(qelta::kErrWrongNumStates, Def(a)->SetNumberOfOutcomesByIds(one));
  EXPECT_EQ(2, Def(a)->GetNumberOfOutcomes());
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->InsertOutcome(3, "x"));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->InsertOutcome(-1, "x"));
}

TEST_F(DiscreteDefTest, UnusableIdsAreReplacedOnInsertAndRefusedOnRename) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "9lives"));
  EXPECT_EQ((std::vector<std::string>{"State2", "State0", "State1"}),
            Ids(*Def(a)));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->RenameOutcome(0, "State1"));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->RenameOutcome(0, "1x"));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->RenameOutcome(5, "ok"));
  ASSERT_EQ(qelta::kOk, Def(a)->RenameOutcome(0, "first"));

  VRN_stringArray names = StringArray({"low value", "", "3kg"});
  ASSERT_EQ(qelta::kOk, Def(a)->RenameOutcomes(names));
  EXPECT_EQ((std::vector<std::string>{"low_value", "x", "xkg"}), Ids(*Def(a)));
  (void)names.Delete(2);
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->RenameOutcomes(names));
  EXPECT_EQ(qelta::kOk,
            Def(a)->RenameOutcomesFromStrings({"p q", "r", "s"}));
  EXPECT_EQ((std::vector<std::string>{"p_q", "r", "s"}), Ids(*Def(a)));
}

TEST_F(DiscreteDefTest, TwoOutcomesNeverShareAnId) {
  const int a = Add("a");
  const int child = Add("child");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, child));
  const std::vector<std::string> before = Ids(*Def(a));
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier, Def(a)->AddOutcome("State1"));
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier,
            Def(a)->InsertOutcome(0, "State0"));
  EXPECT_EQ(before, Ids(*Def(a)));
  EXPECT_EQ(4, Def(child)->GetMatrixConst()->GetItemCount());

  VRN_stringArray twice = StringArray({"x", "x"});
  (void)Logged();
  const std::string x_twice = "The new outcomes of node [a] name [x] twice\n";
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier, Def(a)->RenameOutcomes(twice));
  EXPECT_EQ(x_twice, Logged());
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier,
            Def(a)->RenameOutcomesFromStrings({"p q", "p_q"}));  // repaired
  EXPECT_EQ("The new outcomes of node [a] name [p_q] twice\n", Logged());
  (void)twice.Add("y");
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier,
            Def(a)->SetNumberOfOutcomesByIds(twice));
  EXPECT_EQ(x_twice, Logged());
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier,
            Def(a)->ChangeOrderOfOutcomesWithAddAndRemove(
                twice, IntArray({0, -1, 1})));
  EXPECT_EQ(x_twice, Logged());
  EXPECT_EQ(before, Ids(*Def(a)));

  // Generated ids move on past taken numbers.
  ASSERT_EQ(qelta::kOk, Def(a)->RenameOutcome(1, "State2"));
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "9lives"));
  EXPECT_EQ((std::vector<std::string>{"State3", "State0", "State2"}),
            Ids(*Def(a)));
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(5));  // with a child
  EXPECT_EQ((std::vector<std::string>{"State3", "State0", "State2", "State4",
                                      "State5"}),
            Ids(*Def(a)));
  const int lone = Add("lone");
  ASSERT_EQ(qelta::kOk, Def(lone)->RenameOutcome(0, "State3"));
  ASSERT_EQ(qelta::kOk, Def(lone)->SetNumberOfOutcomes(4));  // no children
  EXPECT_EQ((std::vector<std::string>{"State3", "State1", "State2", "State4"}),
            Ids(*Def(lone)));

  // A new outcome may take the id a kept outcome gives up.
  VRN_stringArray swapped = StringArray({"State3", "fresh"});
  ASSERT_EQ(qelta::kOk, Def(lone)->ChangeOrderOfOutcomesWithAddAndRemove(
                            swapped, IntArray({-1, 0})));
  EXPECT_EQ((std::vector<std::string>{"State3", "fresh"}), Ids(*Def(lone)));

  // The empty ids of interval outcomes may repeat.
  ASSERT_EQ(qelta::kOk, Def(lone)->SetIntervals({0, 1, 2}, true));
  ASSERT_EQ(qelta::kOk, Def(lone)->AddOutcome(""));
  EXPECT_EQ((std::vector<std::string>{"", "", ""}), Ids(*Def(lone)));
}

TEST_F(DiscreteDefTest, InsertedOutcomeSplitsAnInterval) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2}, false));
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(1, "mid"));
  EXPECT_EQ((std::vector<double>{0, 1, 1.5, 2}), Bounds(*Def(a)));
  double low = 0;
  double high = 0;
  ASSERT_EQ(qelta::kOk, Def(a)->GetOutcomeInterval(1, &low, &high));
  EXPECT_EQ(1.0, low);
  EXPECT_EQ(1.5, high);

  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, Def(b)->SetIntervals({0, 1, 2}, false));
  ASSERT_EQ(qelta::kOk, Def(b)->AddOutcome("top"));
  EXPECT_EQ((std::vector<double>{0, 1, 1.5, 2}), Bounds(*Def(b)));
  ASSERT_EQ(qelta::kOk, Def(b)->GetOutcomeInterval(2, &low, &high));
  EXPECT_EQ(1.5, low);
  EXPECT_EQ(2.0, high);

  // Bounds whose sum overflows still split at their middle, and the bounds
  // stay ones SetIntervals takes.
  const int c = Add("c");
  ASSERT_EQ(qelta::kOk, Def(c)->SetIntervals({1e308, 1.5e308, 1.7e308}, false));
  ASSERT_EQ(qelta::kOk, Def(c)->InsertOutcome(0, "z"));
  const std::vector<double> split = Bounds(*Def(c));
  EXPECT_EQ((std::vector<double>{1e308, 1.25e308, 1.5e308, 1.7e308}), split);
  EXPECT_EQ(qelta::kOk, Def(c)->SetIntervals(split, false));
  ASSERT_EQ(qelta::kOk, Def(c)->SetIntervals({-1.7e308, -1e308, 0}, false));
  ASSERT_EQ(qelta::kOk, Def(c)->InsertOutcome(0, "y"));
  EXPECT_EQ((std::vector<double>{-1.7e308, -1.35e308, -1e308, 0}),
            Bounds(*Def(c)));
  ASSERT_EQ(qelta::kOk, Def(c)->SetIntervals({0, 1e308, 1.7e308}, false));
  ASSERT_EQ(qelta::kOk, Def(c)->AddOutcome("top"));
  EXPECT_EQ((std::vector<double>{0, 1e308, 1.35e308, 1.7e308}), Bounds(*Def(c)));
}

TEST_F(DiscreteDefTest, RemovedOutcomeHandsItsIntervalOn) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2, 3}, false));
  ASSERT_EQ(qelta::kOk, Def(a)->RemoveOutcome(0));
  EXPECT_EQ((std::vector<double>{0, 2, 3}), Bounds(*Def(a)));
  const int b = Add("b", 3);
  ASSERT_EQ(qelta::kOk, Def(b)->SetIntervals({0, 1, 2, 3}, false));
  ASSERT_EQ(qelta::kOk, Def(b)->RemoveOutcome(2));
  EXPECT_EQ((std::vector<double>{0, 1, 3}), Bounds(*Def(b)));
}

TEST_F(DiscreteDefTest, IntervalBoundsAreCheckedBeforeAnythingChanges) {
  const int a = Add("a");
  EXPECT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 1, 2}, false));
  EXPECT_EQ(3, Def(a)->GetNumberOfOutcomes());
  EXPECT_EQ(qelta::kErrInvalidValue, Def(a)->SetIntervals({0, 1, 1, 1}, false));
  EXPECT_EQ(qelta::kErrInvalidValue, Def(a)->SetIntervals({0, 2, 1}, false));
  EXPECT_EQ(qelta::kErrInvalidValue,
            Def(a)->SetIntervals({0, NAN, 1, 2, 3}, false));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->SetIntervals({0, 1}, false));
  // A refusal leaves both the count and the bounds as they were.
  EXPECT_EQ(3, Def(a)->GetNumberOfOutcomes());
  EXPECT_EQ((std::vector<double>{0, 1, 1, 2}), Bounds(*Def(a)));
}

TEST_F(DiscreteDefTest, IntervalIndexOfValues) {
  const int a = Add("a");
  EXPECT_EQ(qelta::kErrNoItem, Def(a)->GetIntervalIndex(1.0));
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 1, 2}, true));
  EXPECT_EQ(0, Def(a)->GetIntervalIndex(0.5));
  EXPECT_EQ(1, Def(a)->GetIntervalIndex(1.0));  // the empty interval
  EXPECT_EQ(2, Def(a)->GetIntervalIndex(2.0));  // the last bound
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->GetIntervalIndex(-0.1));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->GetIntervalIndex(2.5));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->GetIntervalIndex(NAN));

  // Cleared ids are empty until the intervals go.
  EXPECT_FALSE(Def(a)->HasOutcomeIds());
  ASSERT_EQ(qelta::kOk, Def(a)->RemoveIntervals());
  EXPECT_EQ((std::vector<std::string>{"State0", "State1", "State2"}),
            Ids(*Def(a)));
  EXPECT_EQ(qelta::kErrNoItem, Def(a)->RemoveIntervals());
}

TEST_F(DiscreteDefTest, PointValuesMeanAndDeviation) {
  const int a = Add("a", 3);
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->SetPointValues({1, 2}));
  ASSERT_EQ(qelta::kOk, Def(a)->SetPointValues({10, -1, 4}));
  // No file holds a value that is not finite; the values stay as they were.
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(qelta::kErrInvalidValue, Def(a)->SetPointValues({std::nan(""), 1, 2}));
  EXPECT_EQ(qelta::kErrInvalidValue, Def(a)->SetPointValues({-inf, 1, inf}));
  EXPECT_EQ(2, Def(a)->GetPointValueIndex(4));
  EXPECT_EQ(qelta::kErrNoItem, Def(a)->GetPointValueIndex(5));
  EXPECT_EQ(-1.0, Def(a)->GetOutcomeValue(1));
  EXPECT_TRUE(std::isnan(Def(a)->GetOutcomeValue(3)));

  VRN_matrix p;
  ASSERT_EQ(qelta::kOk, p.SetSingleDimension(3));
  ASSERT_EQ(qelta::kOk, p.SetItemsFromVector({0.5, 0.5, 0.0}));
  double mean = 0;
  double sd = 0;
  ASSERT_EQ(qelta::kOk, Def(a)->CalculateMean(p, &mean));
  ASSERT_EQ(qelta::kOk, Def(a)->CalculateStdDev(p, &sd));
  EXPECT_DOUBLE_EQ(4.5, mean);
  EXPECT_DOUBLE_EQ(5.5, sd);

  // Inserting gives the new outcome 0.0; reordering permutes the values.
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "z"));
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomes(IntArray({3, 2, 1, 0})));
  std::vector<double> values;
  ASSERT_EQ(qelta::kOk, Def(a)->GetPointValues(&values));
  EXPECT_EQ((std::vector<double>{4, -1, 10, 0}), values);
  ASSERT_EQ(qelta::kOk, Def(a)->RemovePointValues());
  EXPECT_EQ(2.0, Def(a)->GetOutcomeValue(2));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->CalculateMean(p, &mean));
  ASSERT_EQ(qelta::kOk, p.SetSingleDimension(4));
  ASSERT_EQ(qelta::kOk, p.SetItemsFromVector({0.0, 0.5, 0.0, 0.5}));
  EXPECT_EQ(qelta::kErrNoItem, Def(a)->CalculateMean(p, &mean));

  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2, 4, 6}, false));
  ASSERT_EQ(qelta::kOk, Def(a)->CalculateMean(p, &mean));
  EXPECT_DOUBLE_EQ(0.5 * 1.5 + 0.5 * 5.0, mean);

  // Values whose squares overflow, or fall below the normal doubles, still
  // have their deviation.
  const int b = Add("b", 2);
  ASSERT_EQ(qelta::kOk, p.SetSingleDimension(2));
  ASSERT_EQ(qelta::kOk, p.SetItemsFromVector({0.5, 0.5}));
  for (double x : {1e155, 1e200, DBL_MAX, 1e-160, 1e-170, 1e-300, DBL_TRUE_MIN}) {
    ASSERT_EQ(qelta::kOk, Def(b)->SetPointValues({x, -x}));
    ASSERT_EQ(qelta::kOk, Def(b)->CalculateMean(p, &mean));
    ASSERT_EQ(qelta::kOk, Def(b)->CalculateStdDev(p, &sd)) << x;
    EXPECT_EQ(0.0, mean);
    EXPECT_NEAR(x, sd, 1e-12 * x);
  }
  // So do small beliefs that take the weighted squares below them.
  const std::vector<std::pair<double, double>> small{
      {1e-100, 1e-250}, {1e-10, 1e-320}, {1e-150, 1e-20}, {-0.1, 1e-318}, {1e150, 1e-310}};
  for (const auto& [x, a] : small) {
    ASSERT_EQ(qelta::kOk, Def(b)->SetPointValues({x, 0.0}));
    ASSERT_EQ(qelta::kOk, p.SetItemsFromVector({a, 1.0 - a}));
    ASSERT_EQ(qelta::kOk, Def(b)->CalculateStdDev(p, &sd)) << x << " " << a;
    const double want = std::fabs(x) * std::sqrt(a);  // times sqrt(1 - a), 1 in double
    EXPECT_NEAR(want, sd, 1e-12 * want) << x << " " << a;
  }
}

TEST_F(DiscreteDefTest, ReorderingMovesDiagnosisDataButNotBounds) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2, 3}, false));
  ASSERT_EQ(qelta::kOk, Def(a)->SetDefaultOutcome(2));
  ASSERT_EQ(qelta::kOk, Def(a)->SetFaultOutcome(0, true));
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomes(IntArray({2, 0, 1})));
  EXPECT_EQ(0, Def(a)->GetDefaultOutcome());
  EXPECT_TRUE(Def(a)->IsFaultOutcome(1));
  EXPECT_FALSE(Def(a)->IsFaultOutcome(0));
  EXPECT_EQ((std::vector<double>{0, 1, 2, 3}), Bounds(*Def(a)));
  EXPECT_EQ((std::vector<std::string>{"State2", "State0", "State1"}),
            Ids(*Def(a)));
  EXPECT_EQ(qelta::kErrOutOfRange,
            Def(a)->ChangeOrderOfOutcomes(IntArray({0, 0, 1})));

  // Insert and remove keep the default outcome on its outcome.
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "new"));
  EXPECT_EQ(1, Def(a)->GetDefaultOutcome());
  EXPECT_TRUE(Def(a)->IsFaultOutcome(2));
  ASSERT_EQ(qelta::kOk, Def(a)->RemoveOutcome(1));
  EXPECT_EQ(-1, Def(a)->GetDefaultOutcome());
  EXPECT_TRUE(Def(a)->IsFaultOutcome(1));
}

TEST_F(DiscreteDefTest, AddAndRemoveByMapping) {
  const int a = Add("a", 3);
  const int child = Add("child");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, child));
  ASSERT_EQ(qelta::kOk, Def(a)->RenameOutcomes([] {
    VRN_stringArray n = StringArray({"a", "b", "c"});
    return n;
  }()));
  ASSERT_EQ(qelta::kOk, Def(child)->SetDefinitionFromVector(
                            {0.1, 0.9, 0.2, 0.8, 0.3, 0.7}));
  VRN_stringArray ids = StringArray({"x", "c", "a"});
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomesWithAddAndRemove(
                            ids, IntArray({-1, 2, 0})));
  EXPECT_EQ((std::vector<std::string>{"x", "c", "a"}), Ids(*Def(a)));
  // The child's columns followed: x is new (uniform), then c, then a.
  const VRN_matrix& t = *Def(child)->GetMatrixConst();
  EXPECT_EQ((std::vector<double>{0.5, 0.5, 0.3, 0.7, 0.1, 0.9}),
            std::vector<double>(t.GetItems().begin(), t.GetItems().end()));

  // Keeping one old outcome goes through temporary outcomes.
  VRN_stringArray two = StringArray({"n1", "keep"});
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomesWithAddAndRemove(
                            two, IntArray({-1, 1})));
  EXPECT_EQ((std::vector<std::string>{"n1", "keep"}), Ids(*Def(a)));
  EXPECT_EQ(4, Def(child)->GetMatrixConst()->GetItemCount());
  EXPECT_EQ(0.3, Def(child)->GetMatrixConst()->GetItem(2));
}

TEST_F(DiscreteDefTest, AnIntervalSplitRefusedOnTheWayChangesNothing) {
  const double inf = std::numeric_limits<double>::infinity();
  const int x = Add("x");
  const int child = Add("child");
  ASSERT_EQ(qelta::kOk, net_.AddArc(x, child));
  ASSERT_EQ(qelta::kOk, Def(x)->SetIntervals({-inf, 0, inf}, false));
  ASSERT_EQ(qelta::kOk, Def(x)->SetDefinitionFromVector({0.0, 1.0}));
  ASSERT_EQ(qelta::kOk, Def(child)->SetDefinitionFromVector({0.1, 0.9, 0.2, 0.8}));
  VRN_case* observed = net_.AddCase("seen");
  ASSERT_NE(nullptr, observed);
  ASSERT_EQ(qelta::kOk, observed->SetEvidence(x, 1));
  ASSERT_EQ(qelta::kOk, net_.GetNode(x)->Value()->SetEvidence(1));
  std::string before;
  ASSERT_EQ(qelta::kOk, net_.WriteString(before, -1));

  // The temporary outcome's split of (0, inf) leaves (inf, inf); b would
  // split that empty interval into a second one.
  VRN_stringArray ids = StringArray({"State0", "a", "b"});
  EXPECT_EQ(qelta::kErrInvalidValue, Def(x)->ChangeOrderOfOutcomesWithAddAndRemove(
                                         ids, IntArray({0, -1, -1})));
  std::string after;
  ASSERT_EQ(qelta::kOk, net_.WriteString(after, -1));
  EXPECT_EQ(before, after);  // ids, bounds, both tables and the case
  EXPECT_EQ(1, net_.GetNode(x)->Value()->GetEvidence());

  // Growing by two past the open end meets the same second split.
  EXPECT_EQ(qelta::kErrInvalidValue, Def(x)->SetNumberOfOutcomes(4));
  ASSERT_EQ(qelta::kOk, net_.WriteString(after, -1));
  EXPECT_EQ(before, after);

  // One new outcome splits (0, inf) once: taken.
  ids = StringArray({"State0", "a"});
  ASSERT_EQ(qelta::kOk, Def(x)->ChangeOrderOfOutcomesWithAddAndRemove(
                            ids, IntArray({0, -1})));
  EXPECT_EQ((std::vector<std::string>{"State0", "a"}), Ids(*Def(x)));
}

TEST_F(DiscreteDefTest, BadMappingsAreRefusedBeforeAnyChange) {
  const int a = Add("a", 3);
  VRN_stringArray ids = StringArray({"p", "q"});
  EXPECT_EQ(qelta::kErrOutOfRange,
            Def(a)->ChangeOrderOfOutcomesWithAddAndRemove(ids, IntArray({0})));
  EXPECT_EQ("Node [a] is given 2 outcome identifiers and 1 mapping entries\n", Logged());
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->ChangeOrderOfOutcomesWithAddAndRemove(
                                       ids, IntArray({1, 1})));
  EXPECT_EQ("Mapping entries 0 and 1 of node [a] both continue its outcome 1\n", Logged());
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->ChangeOrderOfOutcomesWithAddAndRemove(
                                       ids, IntArray({0, 3})));
  EXPECT_EQ("Mapping entry 1 of node [a] is 3, beyond its 3 outcomes\n", Logged());
  EXPECT_EQ((std::vector<std::string>{"State0", "State1", "State2"}),
            Ids(*Def(a)));
}

TEST_F(DiscreteDefTest, ResizingByIds) {
  const int a = Add("a");
  const int child = Add("child");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, child));
  ASSERT_EQ(qelta::kOk, Def(a)->SetDefaultOutcome(1));
  VRN_stringArray ids = StringArray({"lo", "mid", "hi"});
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomesByIds(ids));
  EXPECT_EQ((std::vector<std::string>{"lo", "mid", "hi"}), Ids(*Def(a)));
  EXPECT_EQ(6, Def(child)->GetMatrixConst()->GetItemCount());
  EXPECT_EQ(1, Def(a)->GetDefaultOutcome());
  // Own table rebuilt uniform.
  EXPECT_EQ(1 / 3.0, Def(a)->GetMatrixConst()->GetItem(0));

  VRN_stringArray bad = StringArray({"ok", "not ok"});
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->SetNumberOfOutcomesByIds(bad));
  EXPECT_EQ(3, Def(a)->GetNumberOfOutcomes());
}

// Point values of three outcomes must not pass for the bounds of two
// intervals (here decreasing ones, which no file could hold): the count
// changes outcome by outcome, each removed outcome taking its value along.
TEST_F(DiscreteDefTest, ResizingDropsNumbersThatNoLongerFit) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Def(a)->SetPointValues({4, -3, 1}));
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(2));
  EXPECT_FALSE(Def(a)->HasIntervals());
  std::vector<double> points;
  ASSERT_EQ(qelta::kOk, Def(a)->GetPointValues(&points));
  EXPECT_EQ((std::vector<double>{4, -3}), points);
  std::string text;
  ASSERT_EQ(qelta::kOk, net_.WriteString(text, -1));
  VRN_network read;
  EXPECT_EQ(qelta::kOk, read.ReadString(text.c_str(), -1));
  // Numbers of the same kind that still fit stay.
  const int b = Add("b", 3);
  ASSERT_EQ(qelta::kOk, Def(b)->SetIntervals({0, 1, 2, 3}, false));
  ASSERT_EQ(qelta::kOk, Def(b)->SetNumberOfOutcomesByIds(
                            StringArray({"x", "y", "z"})));
  EXPECT_EQ((std::vector<double>{0, 1, 2, 3}), Bounds(*Def(b)));
}

TEST_F(DiscreteDefTest, ResizingTellsTheNetworkEvenWithoutChildren) {
  const int a = Add("a");
  const int watcher = Add("watcher");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, watcher, qelta::kArcLayerCost));
  ASSERT_EQ(2, net_.GetNode(watcher)->GetCost().GetSize(0));
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(4));
  EXPECT_EQ(4, net_.GetNode(watcher)->GetCost().GetSize(0));
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(3));
  EXPECT_EQ(3, net_.GetNode(watcher)->GetCost().GetSize(0));
  ASSERT_EQ(qelta::kOk, Def(a)->RemoveOutcome(0));
  EXPECT_EQ(2, net_.GetNode(watcher)->GetCost().GetSize(0));
}

TEST_F(DiscreteDefTest, DiagnosisTexts) {
  const int a = Add("a");
  EXPECT_EQ(qelta::kOk, Def(a)->SetDefaultOutcome(-1));
  EXPECT_EQ(qelta::kOk, Def(a)->SetFaultOutcome(0, false));
  EXPECT_EQ(qelta::kOk, Def(a)->SetOutcomeFix(0, ""));
  EXPECT_EQ(nullptr, Def(a)->GetDiagInfo());  // nothing worth a block yet
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->SetDefaultOutcome(2));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->SetFaultOutcome(2, true));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(a)->SetOutcomeDescription(-1, "d"));
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeFix(1, "replace it"));
  EXPECT_EQ(nullptr, Def(a)->GetOutcomeFix(7));
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeFix(1, nullptr));
  EXPECT_EQ(nullptr, Def(a)->GetOutcomeFix(1));
  VRN_documentation doc;
  ASSERT_EQ(qelta::kOk, doc.Add("manual", "http://example.org/m"));
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeDocumentation(0, doc));
  ASSERT_EQ(qelta::kOk,
            Def(a)->SetOutcomeDocumentation(0, VRN_documentation()));
  EXPECT_EQ(nullptr, Def(a)->GetOutcomeDocumentation(0));
}

TEST_F(DiscreteDefTest, LabelsAreUniqueAcrossTheNetwork) {
  const int a = Add("a");
  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeLabel(0, "Broken"));
  EXPECT_EQ(qelta::kOk, Def(a)->SetOutcomeLabel(0, "Broken"));
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier, Def(a)->SetOutcomeLabel(1, "Broken"));
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier, Def(b)->SetOutcomeLabel(0, "Broken"));
  EXPECT_EQ(nullptr, Def(b)->GetOutcomeLabel(0));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(b)->SetOutcomeLabel(2, "Other"));

  // While loading, duplicates are the loader's business.
  net_.SetLoadFlags(qelta::kLoadLoading);
  EXPECT_EQ(qelta::kOk, Def(b)->SetOutcomeLabel(0, "Broken"));
  net_.SetLoadFlags(0);
  EXPECT_STREQ("Broken", Def(b)->GetOutcomeLabel(0));
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeLabel(0, ""));
  EXPECT_EQ(nullptr, Def(a)->GetOutcomeLabel(0));
}

TEST_F(DiscreteDefTest, CopiedNetworkHasIndependentOutcomeData) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 5, 10}, false));
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeDescription(0, "low"));
  VRN_network copy(net_, 0);
  auto* cloned =
      dynamic_cast<VRN_discDef*>(copy.GetNode(a)->Definition());
  ASSERT_NE(nullptr, cloned);
  ASSERT_EQ(qelta::kOk, Def(a)->SetOutcomeDescription(0, "changed"));
  ASSERT_EQ(qelta::kOk, Def(a)->AddOutcome("more"));
  EXPECT_STREQ("low", cloned->GetOutcomeDescription(0));
  EXPECT_EQ((std::vector<double>{0, 5, 10}), Bounds(*cloned));
}

// Outcomes added to unnamed interval outcomes stay unnamed on every path a
// count change takes, so the XML save reads back; ids part empty, part
// named (or empty without intervals), which its reader refuses, are refused
// by the save, naming the node, before anything is written.
TEST(UnnamedOutcomesTest, StayUnnamedAndOnlyWhatReadsBackIsSaved) {
  const double inf = std::numeric_limits<double>::infinity();
  for (int type :
       {qelta::kDefCpt, qelta::kDefNoisyMax, qelta::kDefNoisyAdder}) {
    for (bool child : {false, true}) {
      SCOPED_TRACE(std::to_string(type) + (child ? " with a child" : ""));
      VRN_network net;
      const int x = net.AddNode(type, "X");
      if (child) {
        ASSERT_EQ(qelta::kOk, net.AddArc(x, net.AddNode(type, "C")));
      }
      auto* d = dynamic_cast<VRN_discDef*>(net.GetNode(x)->Definition());
      ASSERT_EQ(qelta::kOk, d->SetIntervals({-inf, 0, inf}, true));
      ASSERT_EQ(qelta::kOk, d->SetIntervals({-1, 0, 1, 2}, false));
      EXPECT_EQ(std::vector<std::string>(3, ""), Ids(*d));
      ASSERT_EQ(qelta::kOk, d->SetNumberOfOutcomes(4));
      ASSERT_EQ(qelta::kOk, d->ChangeOrderOfOutcomes(IntArray({3, 1, 2, 0})));
      ASSERT_EQ(qelta::kOk, d->SetIntervals({0, 1, 2}, false));
      std::string text;
      VRN_network back;
      ASSERT_EQ(qelta::kOk, net.WriteString(text, qelta::kExtensionLayout));
      ASSERT_EQ(qelta::kOk,
                back.ReadString(text.c_str(), qelta::kExtensionLayout))
          << text;
      auto* read = dynamic_cast<VRN_discDef*>(
          back.GetNode(back.FindNode("X"))->Definition());
      EXPECT_EQ(std::vector<std::string>(2, ""), Ids(*read));
      EXPECT_EQ(Bounds(*d), Bounds(*read));
    }
  }

  // Names given after the ids were cleared stay when the intervals go.
  VRN_network net;
  const int x = net.AddNode(qelta::kDefCpt, "X");
  auto* d = dynamic_cast<VRN_discDef*>(net.GetNode(x)->Definition());
  ASSERT_EQ(qelta::kOk, d->SetIntervals({0, 1, 2}, true));
  ASSERT_EQ(qelta::kOk, d->RenameOutcomes(StringArray({"low", "high"})));
  ASSERT_EQ(qelta::kOk, d->RemoveIntervals());
  EXPECT_EQ((std::vector<std::string>{"low", "high"}), Ids(*d));

  // Past every edit: the ids through the definition's record, and unnamed
  // ids copied onto a node without intervals.
  ASSERT_EQ(qelta::kOk, d->SetIntervals({0, 1, 2, 3}, true));
  const int y = net.AddNode(qelta::kDefCpt, "Y");
  ASSERT_EQ(qelta::kOk, net.GetNode(y)->Definition()->SetNumberOfOutcomesByIds(
                            *d->GetOutcomesNames()));
  VRN_discreteInfo info(&net, x);
  ASSERT_EQ(qelta::kOk, d->GetDiscreteInfo(&info));
  ASSERT_EQ(qelta::kOk, info.ids->SetString(1, "named"));
  const std::string path = ::testing::TempDir() + "qelta_unnamed_refused.xvrn";
  for (const char* refused :
       {"Outcomes of node 'X' cannot be written: some identifiers are empty "
        "and others not",
        "Outcomes of node 'Y' cannot be written: their identifiers are "
        "empty, and the file keeps empty ones only with intervals"}) {
    net.ErrorLog()->Flush();
    std::string text;
    EXPECT_EQ(qelta::kErrFileIo,
              net.WriteString(text, qelta::kExtensionLayout));
    EXPECT_TRUE(text.empty());
    const int n = net.ErrorLog()->GetNumberOfMessages();
    ASSERT_GT(n, 0);
    EXPECT_NE(std::string(net.ErrorLog()->GetMessage(n - 1)).find(refused),
              std::string::npos)
        << net.ErrorLog()->GetMessage(n - 1);
    std::remove(path.c_str());
    EXPECT_EQ(qelta::kErrFileIo, net.WriteFile(path.c_str(), 0, 0));
    EXPECT_EQ(nullptr, std::fopen(path.c_str(), "rb"));
    ASSERT_EQ(qelta::kOk, info.ids->SetString(1, ""));  // X unnamed again
  }
}

}  // namespace
