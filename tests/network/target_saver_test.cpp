#include "network/target_saver.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/error_log.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_val.h"

namespace {

constexpr int kCpt = 18;
constexpr int kTruthTable = 20;

VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }
VRN_discDef* Disc(VRN_network& net, int h) {
  return static_cast<VRN_discDef*>(net.GetNode(h)->Definition());
}

std::vector<int> Targets(VRN_network& net) {
  std::vector<int> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (net.IsTarget(h) == 1) out.push_back(h);
  }
  return out;
}

// a: numeric observation 1.5 (intervals 0-1-2-3); b: outcome 1, which
// implies d = 0 through d's truth table; c: virtual evidence. Targets a, d.
class TargetSaverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a_ = net_.AddNode(kCpt, "A");
    b_ = net_.AddNode(kCpt, "B");
    c_ = net_.AddNode(kCpt, "C");
    d_ = net_.AddNode(kTruthTable, "D");
    ASSERT_EQ(net_.AddArc(b_, d_), 0);
    ASSERT_EQ(Disc(net_, a_)->SetIntervals({0.0, 1.0, 2.0, 3.0}, false), 0);
    ASSERT_EQ(Val(net_, a_)->SetContEvidence(1.5), 0);
    ASSERT_EQ(Val(net_, b_)->SetEvidence(1), 0);
    ASSERT_EQ(Val(net_, c_)->SetVirtualEvidence({0.8, 0.4}), 0);
    ASSERT_EQ(Val(net_, c_)->GetVirtualEvidence(&virtual_c_), 0);
    ASSERT_TRUE(Val(net_, d_)->HasFlags(qelta::kValFlagPropagated));
    ASSERT_EQ(net_.SetTarget(a_, true), 0);
    ASSERT_EQ(net_.SetTarget(d_, true), 0);
  }

  // Changes made during a diagnosis step.
  void Disturb() {
    ASSERT_EQ(net_.ClearAllEvidence(), 0);
    ASSERT_EQ(Val(net_, c_)->SetEvidence(0), 0);
    ASSERT_EQ(Val(net_, a_)->SetEvidence(2), 0);
    ASSERT_EQ(net_.ClearAllTargets(), 0);
    ASSERT_EQ(net_.SetTarget(b_, true), 0);
  }

  void ExpectOriginalEvidence() {
    EXPECT_EQ(Val(net_, a_)->GetEvidence(), 1);
    double value = 0.0;
    ASSERT_EQ(Val(net_, a_)->GetContEvidence(&value), 0);
    EXPECT_EQ(value, 1.5);
    EXPECT_TRUE(Val(net_, b_)->HasFlags(qelta::kValFlagEvidence));
    EXPECT_EQ(Val(net_, b_)->GetEvidence(), 1);
    std::vector<double> likelihoods;
    ASSERT_EQ(Val(net_, c_)->GetVirtualEvidence(&likelihoods), 0);
    EXPECT_EQ(likelihoods, virtual_c_);
    EXPECT_FALSE(Val(net_, c_)->HasFlags(qelta::kValFlagEvidence));
    // Implied evidence is never turned into an observation, but what the
    // restored evidence implies is implied again.
    EXPECT_FALSE(Val(net_, d_)->HasFlags(qelta::kValFlagEvidence));
    EXPECT_TRUE(Val(net_, d_)->HasFlags(qelta::kValFlagPropagated));
    EXPECT_EQ(Val(net_, d_)->GetEvidence(), 0);
  }

  VRN_network net_;
  int a_ = -1, b_ = -1, c_ = -1, d_ = -1;
  std::vector<double> virtual_c_;
};

TEST_F(TargetSaverTest, RestoresEveryKindOfEvidenceAndTheTargets) {
  {
    VRN_targetEvidenceSaver saver(&net_, false);
    Disturb();
  }
  ExpectOriginalEvidence();
  EXPECT_EQ(Targets(net_), (std::vector<int>{a_, d_}));
  EXPECT_EQ(net_.GetNumberOfTargets(), 2);
  EXPECT_EQ(net_.ErrorLog()->GetNumberOfMessages(), 0);
}

TEST_F(TargetSaverTest, ExplicitRestoreAnswersAndIsNotRepeated) {
  {
    VRN_targetEvidenceSaver saver(&net_, false);
    Disturb();
    EXPECT_EQ(saver.Restore(), 0);
    ExpectOriginalEvidence();
    // Changes after the restore belong to the caller.
    ASSERT_EQ(net_.SetTarget(b_, true), 0);
    ASSERT_EQ(Val(net_, b_)->ClearEvidence(), 0);
  }
  EXPECT_EQ(net_.IsTarget(b_), 1);
  EXPECT_FALSE(Val(net_, b_)->HasEvidence());
}

TEST_F(TargetSaverTest, KeptEvidenceStaysAndOnlyTargetsReturn) {
  {
    VRN_targetEvidenceSaver saver(&net_, true);
    Disturb();
  }
  EXPECT_EQ(Val(net_, c_)->GetEvidence(), 0);
  EXPECT_EQ(Val(net_, a_)->GetEvidence(), 2);
  EXPECT_FALSE(Val(net_, b_)->HasEvidence());
  EXPECT_EQ(Targets(net_), (std::vector<int>{a_, d_}));
}

TEST_F(TargetSaverTest, DeletedNodeIsSkippedEvenWhenItsSlotIsTaken) {
  {
    VRN_targetEvidenceSaver saver(&net_, false);
    ASSERT_EQ(net_.DeleteNode(a_), 0);
    ASSERT_EQ(net_.AddNode(kCpt, "Newcomer"), a_);
    ASSERT_EQ(Disc(net_, a_)->SetNumberOfOutcomes(3), 0);
  }
  EXPECT_FALSE(Val(net_, a_)->HasEvidence());
  EXPECT_EQ(net_.IsTarget(a_), 0);
  EXPECT_EQ(Targets(net_), (std::vector<int>{d_}));
  EXPECT_EQ(Val(net_, b_)->GetEvidence(), 1);
  EXPECT_EQ(net_.ErrorLog()->GetNumberOfMessages(), 0);
}

TEST_F(TargetSaverTest, RelevanceIsSwitchedOnAgainButNeverOff) {
  {
    VRN_targetEvidenceSaver saver(&net_, true);
    net_.SetRelevanceReasoning(false);
  }
  EXPECT_TRUE(net_.IsRelevanceReasoning());
  net_.SetRelevanceReasoning(false);
  {
    VRN_targetEvidenceSaver saver(&net_, false);
    net_.SetRelevanceReasoning(true);
  }
  EXPECT_TRUE(net_.IsRelevanceReasoning());
  net_.SetRelevanceReasoning(false);
  { VRN_targetEvidenceSaver saver(&net_, false); }
  EXPECT_FALSE(net_.IsRelevanceReasoning());
}

TEST_F(TargetSaverTest, EvidenceThatNoLongerFitsIsLoggedWithItsCode) {
  {
    VRN_targetEvidenceSaver saver(&net_, false);
    // a's number falls outside its new intervals; c's likelihoods no
    // longer fit its outcomes.
    ASSERT_EQ(Disc(net_, a_)->SetIntervals({0.0, 1.0, 1.2}, false), 0);
    ASSERT_EQ(Disc(net_, c_)->SetNumberOfOutcomes(3), 0);
    EXPECT_EQ(saver.Restore(), -2);  // the first failure
  }
  VRN_errorLog* log = net_.ErrorLog();
  ASSERT_EQ(log->GetNumberOfMessages(), 2);
  EXPECT_EQ(log->GetCode(0), -2);
  EXPECT_STREQ(log->GetMessage(0), "Evidence of node [A] could not be restored");
  EXPECT_EQ(log->GetCode(1), -2);
  EXPECT_STREQ(log->GetMessage(1), "Evidence of node [C] could not be restored");
  // The rest is restored all the same.
  EXPECT_EQ(Val(net_, b_)->GetEvidence(), 1);
  EXPECT_EQ(Targets(net_), (std::vector<int>{a_, d_}));
}

TEST(TargetSaverEndTest, DestructorLogsWhatItCannotRestore) {
  VRN_network net;
  const int a = net.AddNode(kCpt, "A");
  ASSERT_EQ(Disc(net, a)->SetNumberOfOutcomes(3), 0);
  ASSERT_EQ(Val(net, a)->SetEvidence(2), 0);
  {
    VRN_targetEvidenceSaver saver(&net, false);
    ASSERT_EQ(Disc(net, a)->SetNumberOfOutcomes(2), 0);
  }
  ASSERT_EQ(net.ErrorLog()->GetNumberOfMessages(), 1);
  EXPECT_EQ(net.ErrorLog()->GetCode(0), -2);
  EXPECT_FALSE(Val(net, a)->HasEvidence());
}

}  // namespace
