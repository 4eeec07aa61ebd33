#include "definitions/node_val.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "equations/equation.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

class NodeValTest : public ::testing::Test {
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
  VRN_nodeVal* Val(int h) { return net_.GetNode(h)->Value(); }
  std::vector<double> Soft(int h) {
    std::vector<double> out;
    EXPECT_EQ(qelta::kOk, Val(h)->GetVirtualEvidence(&out));
    return out;
  }

  VRN_network net_;
};

TEST_F(NodeValTest, ObservedOutcomeIsAPointMass) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(1));
  EXPECT_EQ((std::vector<double>{0, 1, 0}), Items(Val(a)->GetValue()));
  EXPECT_TRUE(Val(a)->IsValueValid());
  EXPECT_EQ(1, Val(a)->GetEvidence());
  EXPECT_STREQ("State1", Val(a)->GetEvidenceId());

  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidenceById("State2"));
  EXPECT_EQ((std::vector<double>{0, 0, 1}), Items(Val(a)->GetValue()));
  EXPECT_EQ(qelta::kErrIllegalIdentifier, Val(a)->SetEvidenceById("nope"));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetEvidence(3));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetEvidence(-1));
  EXPECT_EQ(2, Val(a)->GetEvidence());

  ASSERT_EQ(qelta::kOk, Val(a)->ClearEvidence());
  EXPECT_FALSE(Val(a)->HasEvidence());
  EXPECT_FALSE(Val(a)->IsValueValid());
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->ClearEvidence());
}

TEST_F(NodeValTest, PropagatedEvidenceConflictsWithAnotherObservation) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Val(a)->SetPropagatedEvidence(0));
  EXPECT_TRUE(Val(a)->HasFlags(qelta::kValFlagPropagated));
  EXPECT_EQ(0, Val(a)->GetEvidence());
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetPropagatedEvidence(1));
  EXPECT_EQ(qelta::kErrEvidenceConflict, Val(a)->SetEvidence(1));
  // Observing the implied outcome turns the mark into an observation.
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(0));
  EXPECT_FALSE(Val(a)->HasFlags(qelta::kValFlagPropagated));
  EXPECT_TRUE(Val(a)->HasFlags(qelta::kValFlagEvidence));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->ClearPropagatedEvidence());
  ASSERT_EQ(qelta::kOk, Val(a)->ClearEvidence());
  ASSERT_EQ(qelta::kOk, Val(a)->SetPropagatedEvidence(1));
  ASSERT_EQ(qelta::kOk, Val(a)->ClearPropagatedEvidence());
  EXPECT_EQ(0, Val(a)->GetFlags());
}

TEST_F(NodeValTest, VirtualEvidenceChecksAndNormalisation) {
  const int a = Add("a");
  std::vector<double> out;
  ASSERT_EQ(qelta::kOk, Val(a)->SetVirtualEvidence({0.2, 0.2}));
  EXPECT_EQ((std::vector<double>{0.5, 0.5}), Soft(a));
  ASSERT_EQ(qelta::kOk, Val(a)->SetVirtualEvidence({0.2, 0.8000001}));
  EXPECT_EQ((std::vector<double>{0.2, 0.8000001}), Soft(a));

  EXPECT_EQ(qelta::kErrInvalidValue, Val(a)->SetVirtualEvidence({1.5, 0}));
  EXPECT_EQ(qelta::kErrInvalidValue, Val(a)->SetVirtualEvidence({NAN, 0.5}));
  EXPECT_EQ(qelta::kErrNoItem, Val(a)->SetVirtualEvidence({0, 0}));
  EXPECT_EQ(qelta::kErrNoItem, Val(a)->SetVirtualEvidence({}));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetVirtualEvidence({0.1, 0.2, 0.7}));
  // Refusals keep what was there.
  VRN_doubleArray array;
  ASSERT_EQ(qelta::kOk, Val(a)->GetVirtualEvidenceArray(&array));
  ASSERT_EQ(2, array.GetSize());
  EXPECT_EQ(0.2, array[0]);

  ASSERT_EQ(qelta::kOk, Val(a)->ClearVirtualEvidence());
  EXPECT_EQ(qelta::kErrNoItem, Val(a)->ClearVirtualEvidence());
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->GetVirtualEvidence(&out));
}

// Called directly, the clearing leaves no value computed under the
// likelihoods marked valid: x gets its prior 0.3 back.
TEST_F(NodeValTest, ClearingVirtualEvidenceInvalidatesWhatItWeighed) {
  const int x = Add("x"), y = Add("y");
  ASSERT_EQ(qelta::kOk, Def(x)->SetDefinitionFromVector({0.3, 0.7}));
  ASSERT_EQ(qelta::kOk, net_.AddArc(x, y));
  ASSERT_EQ(qelta::kOk, Def(y)->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}));
  ASSERT_EQ(qelta::kOk, Val(y)->SetVirtualEvidence({1.0, 0.1}));
  ASSERT_EQ(qelta::kOk, net_.UpdateBeliefs());
  // 0.3 * 0.91 against 0.7 * 0.28.
  EXPECT_NEAR(0.273 / 0.469, Items(Val(x)->GetValue())[0], 1e-12);
  ASSERT_EQ(qelta::kOk, Val(y)->ClearVirtualEvidence());
  EXPECT_FALSE(Val(x)->IsValueValid());
  ASSERT_EQ(qelta::kOk, net_.UpdateBeliefs());
  EXPECT_NEAR(0.3, Items(Val(x)->GetValue())[0], 1e-12);
}

TEST_F(NodeValTest, ObservedAndVirtualEvidenceExcludeEachOther) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, Val(a)->SetVirtualEvidence({0.3, 0.7}));
  EXPECT_FALSE(Val(a)->HasFlags(qelta::kValFlagEvidence));
  EXPECT_TRUE(Val(a)->HasVirtualEvidence());
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(0));
  EXPECT_FALSE(Val(a)->HasVirtualEvidence());
  ASSERT_EQ(qelta::kOk, Val(a)->ClearEvidence());

  // ClearEvidence also removes virtual evidence when nothing is observed.
  ASSERT_EQ(qelta::kOk, Val(a)->SetVirtualEvidence({0.3, 0.7}));
  ASSERT_EQ(qelta::kOk, Val(a)->ClearEvidence());
  EXPECT_FALSE(Val(a)->HasVirtualEvidence());
}

TEST_F(NodeValTest, BadObservationKeepsVirtualEvidence) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Val(a)->SetVirtualEvidence({0.3, 0.7}));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetEvidence(5));
  EXPECT_TRUE(Val(a)->HasVirtualEvidence());
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetPropagatedEvidence(5));
  EXPECT_TRUE(Val(a)->HasVirtualEvidence());
}

TEST_F(NodeValTest, NumericObservationUsesTheIntervals) {
  const int a = Add("a");
  EXPECT_EQ(qelta::kErrNoItem, Val(a)->SetContEvidence(1.0));
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2}, false));
  ASSERT_EQ(qelta::kOk, Val(a)->SetContEvidence(2.0));
  EXPECT_EQ(1, Val(a)->GetEvidence());
  double x = 0;
  ASSERT_EQ(qelta::kOk, Val(a)->GetContEvidence(&x));
  EXPECT_EQ(2.0, x);
  EXPECT_EQ(qelta::kErrOutOfRange, Val(a)->SetContEvidence(3.0));
  EXPECT_EQ(1, Val(a)->GetEvidence());
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(0));
  EXPECT_EQ(qelta::kErrWrongNodeType, Val(a)->GetContEvidence(&x));

  double mean = 0;
  ASSERT_EQ(qelta::kOk, Val(a)->GetMean(&mean));
  EXPECT_DOUBLE_EQ(0.5, mean);
  ASSERT_EQ(qelta::kOk, Val(a)->ClearEvidence());
  EXPECT_EQ(qelta::kErrInvalidValue, Val(a)->GetMean(&mean));
  EXPECT_EQ(qelta::kErrInvalidValue, Val(a)->GetStdDev(&mean));
}

// New intervals or outcomes keep a numeric observation only while its
// number lies in the observed outcome's interval; the outcome stays
// observed either way. An equation child then draws from the outcome's
// interval, as in a network where only the outcome was observed.
TEST_F(NodeValTest, NumbersLeavingTheObservedIntervalAreDropped) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2, 3}, false));
  double x = 0;
  auto number_kept = [&](double number = 0.9) {
    return Val(a)->GetContEvidence(&x) == qelta::kOk && x == number;
  };
  ASSERT_EQ(qelta::kOk, Val(a)->SetContEvidence(0.9));
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1.5, 2, 3}, false));
  EXPECT_EQ(0, Val(a)->GetEvidence());
  EXPECT_TRUE(number_kept());
  // Splits [0, 1.5]: the observed outcome keeps [0.75, 1.5].
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "n"));
  EXPECT_EQ(1, Val(a)->GetEvidence());
  EXPECT_TRUE(number_kept());
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 0.5, 0.8, 2, 3}, false));
  EXPECT_EQ(1, Val(a)->GetEvidence());
  EXPECT_FALSE(number_kept());
  EXPECT_EQ(qelta::kErrWrongNodeType, Val(a)->GetContEvidence(&x));
  // A reorder moves the outcome away from the intervals, which stay.
  ASSERT_EQ(qelta::kOk, Val(a)->SetContEvidence(0.9));
  ASSERT_EQ(2, Val(a)->GetEvidence());
  VRN_intArray order;
  for (int i : {2, 0, 1, 3}) order.Add(i);
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomes(order));
  EXPECT_EQ(0, Val(a)->GetEvidence());
  EXPECT_FALSE(number_kept());
  // A split that leaves the number to the new outcome.
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2, 3, 4}, false));
  ASSERT_EQ(qelta::kOk, Val(a)->SetContEvidence(3.7));
  ASSERT_EQ(qelta::kOk, Def(a)->AddOutcome("z"));  // [3, 3.5] and [3.5, 4]
  EXPECT_EQ(3, Val(a)->GetEvidence());
  EXPECT_FALSE(number_kept(3.7));

  auto child_mean = [](VRN_network& net, double number) {
    const int p = net.AddNode(qelta::kDefCpt, "p");
    auto* def = dynamic_cast<VRN_discDef*>(net.GetNode(p)->Definition());
    EXPECT_EQ(qelta::kOk, def->SetIntervals({0, 2, 4}, false));
    const int e = net.AddNode(qelta::kDefEquation, "e");
    EXPECT_EQ(qelta::kOk, net.AddArc(p, e));
    VRN_equation* eq = VRN_GetEquation(&net, e);
    EXPECT_EQ(qelta::kOk, eq->SetEquation("e=p", nullptr, nullptr));
    EXPECT_EQ(qelta::kOk, eq->SetDiscIntervals(0, 4, {{"lo", 1}, {"mid", 3}, {"hi", 4}}));
    VRN_nodeVal* value = net.GetNode(p)->Value();
    if (number >= 0) {
      EXPECT_EQ(qelta::kOk, value->SetContEvidence(number));
    } else {
      EXPECT_EQ(qelta::kOk, value->SetEvidence(0));
    }
    // Splits [0, 2]: the observed outcome keeps [1, 2].
    EXPECT_EQ(qelta::kOk, def->InsertOutcome(0, "x"));
    EXPECT_EQ(qelta::kOk, net.UpdateBeliefs());
    double mean = -1;
    EXPECT_EQ(qelta::kOk, net.GetNode(e)->Value()->GetMean(&mean));
    return mean;
  };
  VRN_network numbered, by_outcome;
  const double want = child_mean(by_outcome, -1);
  EXPECT_NEAR(1.5, want, 0.05);  // drawn from [1, 2]
  // Drawn as well, not the number 0.5 (within sampling error).
  EXPECT_NEAR(want, child_mean(numbered, 0.5), 0.05);
}

TEST_F(NodeValTest, ImpossibleObservationIsRefusedAndDropped) {
  // Implied evidence off: b's state stays unobserved, so the check applies.
  net_.SetFlags(net_.GetFlags() & ~qelta::kNetEvidencePropagation);
  const int a = Add("a");
  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, Def(b)->SetDefinitionFromVector({1, 0, 0.5, 0.5}));
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(0));
  net_.ErrorLog()->Flush();
  EXPECT_EQ(qelta::kErrOutOfRange, Val(b)->SetEvidence(1));
  EXPECT_FALSE(Val(b)->HasEvidence());
  ASSERT_EQ(1, net_.ErrorLog()->GetNumberOfMessages());
  EXPECT_STREQ("Outcome [State1] of node [b] is impossible",
               net_.ErrorLog()->GetMessage(0));

  // A refused observation keeps the evidence the node had before: observed,
  // numeric or virtual.
  ASSERT_EQ(qelta::kOk, Val(b)->SetEvidence(0));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(b)->SetEvidence(1));
  EXPECT_EQ(0, Val(b)->GetEvidence());
  EXPECT_TRUE(Val(b)->HasFlags(qelta::kValFlagEvidence));
  EXPECT_EQ((std::vector<double>{1, 0}), Items(Val(b)->GetValue()));

  ASSERT_EQ(qelta::kOk, Def(b)->SetIntervals({0, 1, 2}, false));
  ASSERT_EQ(qelta::kOk, Val(b)->SetContEvidence(0.25));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(b)->SetContEvidence(1.5));
  double x = 0;
  ASSERT_EQ(qelta::kOk, Val(b)->GetContEvidence(&x));
  EXPECT_EQ(0.25, x);
  EXPECT_EQ(0, Val(b)->GetEvidence());

  ASSERT_EQ(qelta::kOk, Val(b)->SetVirtualEvidence({0.25, 0.75}));
  EXPECT_EQ(qelta::kErrOutOfRange, Val(b)->SetEvidence(1));
  EXPECT_EQ((std::vector<double>{0.25, 0.75}), Soft(b));
  EXPECT_FALSE(Val(b)->HasEvidence());
}

TEST_F(NodeValTest, ConflictWithImpliedEvidenceKeepsTheEarlierObservation) {
  // b copies a exactly, so observing b implies a.
  const int a = Add("a");
  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, Def(b)->SetDefinitionFromVector({1, 0, 0, 1}));
  ASSERT_EQ(qelta::kOk, Val(b)->SetEvidence(1));
  ASSERT_TRUE(Val(a)->HasFlags(qelta::kValFlagPropagated));
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(1));
  // Observing a = 0 contradicts b = 1: refused, a keeps its observation.
  EXPECT_EQ(qelta::kErrEvidenceConflict, Val(a)->SetEvidence(0));
  EXPECT_TRUE(Val(a)->HasFlags(qelta::kValFlagEvidence));
  EXPECT_EQ(1, Val(a)->GetEvidence());
  EXPECT_EQ(1, Val(b)->GetEvidence());
}

TEST_F(NodeValTest, EvidenceFollowsItsOutcomeThroughOutcomeEdits) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, Def(a)->InsertOutcome(0, "first"));
  EXPECT_EQ(2, Val(a)->GetEvidence());
  EXPECT_EQ((std::vector<double>{0, 0, 1, 0}), Items(Val(a)->GetValue()));
  ASSERT_EQ(qelta::kOk, Def(a)->AddOutcome("last"));
  EXPECT_EQ(2, Val(a)->GetEvidence());
  ASSERT_EQ(qelta::kOk, Def(a)->RemoveOutcome(0));
  EXPECT_EQ(1, Val(a)->GetEvidence());
  EXPECT_STREQ("State1", Val(a)->GetEvidenceId());
  VRN_intArray order;
  for (int i : {3, 2, 1, 0}) order.Add(i);
  ASSERT_EQ(qelta::kOk, Def(a)->ChangeOrderOfOutcomes(order));
  EXPECT_EQ(2, Val(a)->GetEvidence());
  EXPECT_STREQ("State1", Val(a)->GetEvidenceId());
  EXPECT_EQ((std::vector<double>{0, 0, 1, 0}), Items(Val(a)->GetValue()));
  // Evidence on a removed outcome goes; cutting the count removes it too.
  ASSERT_EQ(qelta::kOk, Def(a)->RemoveOutcome(2));
  EXPECT_FALSE(Val(a)->HasEvidence());
  EXPECT_FALSE(Val(a)->IsValueValid());
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(2));
  ASSERT_EQ(qelta::kOk, Def(a)->SetNumberOfOutcomes(2));
  EXPECT_FALSE(Val(a)->HasEvidence());

  // Virtual evidence: 0.0 for a new outcome, a removed one's entry dropped.
  const int b = Add("b", 3);
  ASSERT_EQ(qelta::kOk, Val(b)->SetVirtualEvidence({0.2, 0.3, 0.5}));
  ASSERT_EQ(qelta::kOk, Def(b)->InsertOutcome(1, "mid"));
  EXPECT_EQ((std::vector<double>{0.2, 0.0, 0.3, 0.5}), Soft(b));
  ASSERT_EQ(qelta::kOk, Def(b)->RemoveOutcome(3));
  std::vector<double> out = Soft(b);
  ASSERT_EQ(3u, out.size());
  EXPECT_DOUBLE_EQ(0.4, out[0]);
  EXPECT_DOUBLE_EQ(0.6, out[2]);
  order.Flush();
  for (int i : {2, 1, 0}) order.Add(i);
  ASSERT_EQ(qelta::kOk, Def(b)->ChangeOrderOfOutcomes(order));
  out = Soft(b);
  EXPECT_DOUBLE_EQ(0.6, out[0]);
  EXPECT_DOUBLE_EQ(0.4, out[2]);
}

TEST_F(NodeValTest, TypeChangeCarriesObservedAndVirtualEvidence) {
  const int a = Add("a", 3);
  const int b = Add("b");
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(2));
  ASSERT_EQ(qelta::kOk, Val(b)->SetVirtualEvidence({0.25, 0.75}));
  ASSERT_EQ(qelta::kOk, net_.GetNode(a)->setNodeType(qelta::kDefTruthTable));
  ASSERT_EQ(qelta::kOk, net_.GetNode(b)->setNodeType(qelta::kDefTruthTable));
  EXPECT_EQ(2, Val(a)->GetEvidence());
  EXPECT_TRUE(Val(a)->HasFlags(qelta::kValFlagEvidence));
  EXPECT_FALSE(Val(a)->IsValueValid());
  EXPECT_EQ((std::vector<double>{0.25, 0.75}), Soft(b));
}

TEST_F(NodeValTest, ImpliedEvidenceIsNotTurnedIntoAnObservation) {
  const int a = Add("a");
  ASSERT_EQ(qelta::kOk, Val(a)->SetPropagatedEvidence(1));
  VRN_evidenceRecord record(&net_, a);
  Val(a)->StoreEvidence(record);
  EXPECT_EQ(qelta::kEvidenceNone, record.kind);
  ASSERT_EQ(qelta::kOk, net_.GetNode(a)->setNodeType(qelta::kDefTruthTable));
  EXPECT_FALSE(Val(a)->HasEvidence());
}

TEST_F(NodeValTest, EvidenceRecordsAndValuesBuiltFromThem) {
  const int a = Add("a", 3);
  ASSERT_EQ(qelta::kOk, Def(a)->SetIntervals({0, 1, 2, 3}, false));
  ASSERT_EQ(qelta::kOk, Val(a)->SetContEvidence(2.5));
  VRN_evidenceRecord record(&net_, a);
  Val(a)->StoreEvidence(record);
  EXPECT_EQ(qelta::kEvidenceOutcomeAndValue, record.kind);
  EXPECT_EQ(2, record.outcome);
  EXPECT_EQ(2.5, record.value);

  VRN_beliefVector rebuilt(*Def(a), record);
  EXPECT_EQ(2, rebuilt.GetEvidence());
  double x = 0;
  ASSERT_EQ(qelta::kOk, rebuilt.GetContEvidence(&x));
  EXPECT_EQ(2.5, x);

  // A definition without intervals keeps the outcome but not the number;
  // one with too few outcomes keeps nothing.
  const int b = Add("b", 3);
  VRN_beliefVector no_value(*Def(b), record);
  EXPECT_EQ(2, no_value.GetEvidence());
  EXPECT_EQ(qelta::kErrWrongNodeType, no_value.GetContEvidence(&x));
  const int c = Add("c");
  VRN_beliefVector dropped(*Def(c), record);
  EXPECT_FALSE(dropped.HasEvidence());

  VRN_evidenceRecord soft(&net_, b);
  soft.kind = qelta::kEvidenceVirtual;
  soft.soft_evidence = {0.5, 0.5};
  VRN_beliefVector wrong_count(*Def(b), soft);
  EXPECT_FALSE(wrong_count.HasVirtualEvidence());
  VRN_beliefVector right_count(*Def(c), soft);
  EXPECT_TRUE(right_count.HasVirtualEvidence());
}

TEST_F(NodeValTest, IndexingParentsAddDimensionsBeforeTheOutcomes) {
  const int a = Add("a", 3);
  const int b = Add("b");
  EXPECT_EQ(qelta::kErrOutOfRange, Val(b)->AddIndexingParent(99));
  Val(b)->ClearIndexingParents();
  ASSERT_EQ(qelta::kOk, Val(b)->GetMutableValue().SetItemsFromVector({0.4, 0.6}));
  ASSERT_EQ(qelta::kOk, Val(b)->AddIndexingParent(a));
  ASSERT_EQ(qelta::kOk, Val(b)->AddIndexingParent(a));  // already there
  EXPECT_EQ(1, Val(b)->GetIndexingParents().GetSize());
  EXPECT_EQ((std::vector<double>{0.4, 0.6, 0.4, 0.6, 0.4, 0.6}),
            Items(Val(b)->GetValue()));
  // a already indexes b's value, so b cannot index a's.
  ASSERT_EQ(qelta::kOk, Val(a)->AddIndexingParent(b));
  EXPECT_EQ(0, Val(a)->GetIndexingParents().GetSize());

  ASSERT_EQ(qelta::kOk, Val(b)->SetVirtualEvidence({0.1, 0.9}));
  Val(b)->ClearIndexingParents();
  EXPECT_EQ(0, Val(b)->GetIndexingParents().GetSize());
  EXPECT_EQ((std::vector<double>{0, 0}), Items(Val(b)->GetValue()));
  EXPECT_EQ(qelta::kValFlagVirtual, Val(b)->GetFlags());
}

TEST_F(NodeValTest, TemporalStatisticsNeedAPlateNode) {
  const int a = Add("a");
  std::vector<double> means;
  std::vector<double> deviations;
  EXPECT_EQ(qelta::kErrWrongNodeType,
            Val(a)->GetTemporalMeanStdDev(&means, &deviations));
  net_.GetNode(a)->SetTemporalTypeRaw(3);
  EXPECT_EQ(qelta::kErrInvalidValue,
            Val(a)->GetTemporalMeanStdDev(&means, &deviations));
  ASSERT_EQ(qelta::kOk, Def(a)->SetPointValues({0, 10}));
  VRN_matrix& v = Val(a)->GetMutableValue();
  VRN_intArray sizes;
  sizes.Add(2);
  sizes.Add(2);
  ASSERT_EQ(qelta::kOk, v.SetDimensions(sizes));
  ASSERT_EQ(qelta::kOk, v.SetItemsFromVector({1, 0, 0.5, 0.5}));
  Val(a)->AddFlags(qelta::kValFlagValid);
  ASSERT_EQ(qelta::kOk, Val(a)->GetTemporalMeanStdDev(&means, &deviations));
  EXPECT_EQ((std::vector<double>{0, 5}), means);
  EXPECT_EQ((std::vector<double>{0, 5}), deviations);
}

}  // namespace
