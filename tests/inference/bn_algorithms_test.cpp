#include "inference/bn_algorithms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/clustering_engine.h"
#include "inference/relevance.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

constexpr double kTolerance = 1e-12;
constexpr const char* kZeroMessage = "All potential entries are zeros for node ";

using testnet::Beliefs;
using testnet::Enumeration;
using testnet::PoisonBeliefs;
using testnet::Val;

void MakeRandomNetwork(std::mt19937& rng, VRN_network& net, int max_nodes) {
  testnet::MakeRandomNetwork(rng, net, {max_nodes, 4, 1 << 16, 0.1});
}
Enumeration Enumerate(VRN_network& net) { return testnet::Enumerate(net); }

using testnet::RunCode;


// Handles named by the zero-marginal messages of the log.
std::vector<int> ZeroNodes(VRN_network& net) {
  std::vector<int> out;
  VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    if (log->GetCode(i) != qelta::kErrZeroMarginal) continue;
    const char* message = log->GetMessage(i);
    EXPECT_EQ(0, std::strncmp(message, kZeroMessage, std::strlen(kZeroMessage)));
    out.push_back(net.FindNode(message + std::strlen(kZeroMessage)));
  }
  return out;
}

// After an update under impossible evidence: nodes with a zero marginal are
// invalid, and no value still holds the poisoned beliefs as valid.
void ExpectImpossibleHandled(VRN_network& net, const std::string& what) {
  for (int h : ZeroNodes(net)) {
    ASSERT_GE(h, 0) << what;
    if (!Val(net, h)->HasEvidence()) {
      EXPECT_FALSE(Val(net, h)->IsValueValid()) << what << " node " << h;
    }
  }
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (!Val(net, h)->IsValueValid()) continue;
    for (double v : Beliefs(net, h)) EXPECT_GE(v, 0.0) << what << " node " << h;
  }
}

struct EvidenceSnapshot {
  std::vector<int> flags;
  std::vector<int> outcomes;
  std::vector<int> targets;
  int network_flags;
  int options;
  bool operator==(const EvidenceSnapshot& o) const {
    return flags == o.flags && outcomes == o.outcomes && targets == o.targets &&
           network_flags == o.network_flags && options == o.options;
  }
};

// with_implied false leaves implied outcomes out: an update derives them
// afresh from the observations (the networks observed without bookkeeping
// gain them).
EvidenceSnapshot Snapshot(VRN_network& net, bool with_implied = true) {
  EvidenceSnapshot s;
  const int kinds = qelta::kValFlagEvidence |
                    (with_implied ? qelta::kValFlagPropagated : 0);
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    // Read as every reader does: implied outcomes current.
    VRN_nodeVal* value = net.EvidenceOf(h);
    s.flags.push_back(value->GetFlags() & kinds);
    s.outcomes.push_back(value->HasFlags(kinds) ? value->GetEvidence() : -1);
    s.targets.push_back(net.IsTarget(h));
  }
  s.network_flags = net.GetFlags();
  s.options = net.GetRelevanceOptions();
  return s;
}

// Every table of the network, item by item.
std::vector<std::vector<double>> Tables(VRN_network& net) {
  std::vector<std::vector<double>> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_matrix& m = *net.GetNode(h)->Definition()->GetMatrixConst();
    out.emplace_back(m.GetItems().begin(), m.GetItems().end());
  }
  return out;
}

TEST(BnAlgorithmsTest, RandomNetworksMatchEnumeration) {
  std::mt19937 rng(20240611);
  int impossible = 0;
  for (int round = 0; round < 300; ++round) {
    VRN_network net;
    MakeRandomNetwork(rng, net, 15);
    if (HasFatalFailure()) return;
    const std::string what = "network " + std::to_string(round);
    const Enumeration e = Enumerate(net);
    const EvidenceSnapshot before = Snapshot(net);
    const EvidenceSnapshot observed = Snapshot(net, false);
    const std::vector<std::vector<double>> tables = Tables(net);

    for (bool chain_rule : {false, true}) {
      double p = -2.0;
      EXPECT_TRUE(net.CalcPropEvidence(p, chain_rule)) << what;
      EXPECT_NEAR(e.z, p, kTolerance) << what;
      EXPECT_LE(p, 1.0) << what;
      EXPECT_TRUE(before == Snapshot(net)) << what;
    }

    if (e.z > 0.0) {
      for (int code : {0, 11, 12}) {
        EXPECT_EQ(qelta::kOk, RunCode(net, code)) << what;
        testnet::ExpectPosteriors(net, e, kTolerance, what + " code " + std::to_string(code));
      }
      ASSERT_EQ(qelta::kOk,
                net.UserProperties().AddProperty("VRN_REL_DECOMP_THRESHOLD", "2"));
      EXPECT_EQ(qelta::kOk, RunCode(net, 11)) << what;
      testnet::ExpectPosteriors(net, e, kTolerance, what + " code 11, batches of 2");
      // Every first attempt fails: batches are split down to single targets.
      ASSERT_EQ(qelta::kOk,
                net.UserProperties().AddProperty("VRN_REL_DECOMP_THRESHOLD3", "1"));
      ASSERT_EQ(qelta::kOk,
                net.UserProperties().AddProperty("VRN_REL_DECOMP_THRESHOLD2", "1"));
      for (int code : {11, 12}) {
        EXPECT_EQ(qelta::kOk, RunCode(net, code)) << what;
        testnet::ExpectPosteriors(net, e, kTolerance, what + " split, code " + std::to_string(code));
      }
    } else {
      ++impossible;
      EXPECT_EQ(qelta::kErrZeroMarginal, RunCode(net, 0)) << what;
      EXPECT_FALSE(ZeroNodes(net).empty()) << what;
      ExpectImpossibleHandled(net, what + " code 0");
      for (int code : {11, 12}) {
        EXPECT_EQ(qelta::kOk, RunCode(net, code)) << what;
        ExpectImpossibleHandled(net, what + " code " + std::to_string(code));
      }
    }
    EXPECT_EQ(0, net.GetNumberOfTargets()) << what;
    EXPECT_TRUE(observed == Snapshot(net, false)) << what;
    // Evidence was sliced and roots summed in private copies only.
    EXPECT_TRUE(tables == Tables(net)) << what;
  }
  // The generator must exercise both kinds of evidence.
  EXPECT_GT(impossible, 20);
  EXPECT_LT(impossible, 200);
}

TEST(BnAlgorithmsTest, TargetsGetExactBeliefsAndAreKept) {
  std::mt19937 rng(77);
  for (int round = 0; round < 100; ++round) {
    VRN_network net;
    MakeRandomNetwork(rng, net, 12);
    if (HasFatalFailure()) return;
    const std::string what = "network " + std::to_string(round);
    std::vector<int> targets;
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      if (rng() % 3 == 0) {
        ASSERT_EQ(qelta::kOk, net.SetTarget(h, true));
        targets.push_back(h);
      }
    }
    const Enumeration e = Enumerate(net);
    const EvidenceSnapshot before = Snapshot(net);
    const EvidenceSnapshot observed = Snapshot(net, false);
    double p = -2.0;
    EXPECT_TRUE(net.CalcPropEvidence(p, false)) << what;
    EXPECT_NEAR(e.z, p, kTolerance) << what;
    EXPECT_TRUE(before == Snapshot(net)) << what;
    if (e.z == 0.0) continue;
    for (int code : {0, 11, 12}) {
      EXPECT_EQ(qelta::kOk, RunCode(net, code)) << what;
      EXPECT_TRUE(observed == Snapshot(net, false)) << what << " code " << code;
      for (int h : targets) {
        ASSERT_TRUE(Val(net, h)->IsValueValid()) << what << " node " << h;
        const std::vector<double> beliefs = Beliefs(net, h);
        for (size_t k = 0; k < beliefs.size(); ++k) {
          EXPECT_NEAR(e.marginals[h][k] / e.z, beliefs[k], kTolerance)
              << what << " code " << code << " node " << h;
        }
      }
    }
  }
}

// Adds a two-outcome CPT node with the given parents and a uniform table.
int AddNode(VRN_network& net, const std::string& id,
            const std::vector<int>& parents, int outcomes = 2) {
  const int h = net.AddNode(qelta::kDefCpt, id.c_str());
  EXPECT_GE(h, 0);
  if (outcomes != 2) {
    EXPECT_EQ(qelta::kOk,
              net.GetNode(h)->Definition()->SetNumberOfOutcomes(outcomes));
  }
  for (int p : parents) EXPECT_EQ(qelta::kOk, net.AddArc(p, h));
  return h;
}

// a -> b with P(a) = (.3, .7) and P(b | a) = (.9, .1), (.2, .8).
void SetChainTables(VRN_network& net, int a, int b) {
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.3, 0.7}));
  ASSERT_EQ(qelta::kOk,
            net.GetNode(b)->Definition()->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}));
}

TEST(BnAlgorithmsTest, BatchesAreTakenFromTheEndOfTheTopologicalOrder) {
  VRN_network net;
  std::vector<int> handles;
  for (int i = 0; i < 70; ++i) handles.push_back(AddNode(net, "t" + std::to_string(i), {}));
  // Reverse the order of the first ten nodes.
  for (int i = 9; i > 0; --i) ASSERT_EQ(qelta::kOk, net.AddArc(handles[i], handles[i - 1]));
  std::vector<std::uint8_t> flags(net.GetLastNode() + 1, 1);
  std::vector<std::vector<int>> batches;
  EXPECT_TRUE(qelta::WalkTargetBatches(
      &net, flags.data(), qelta::kDefaultBatchSize, [&](const VRN_intArray& b) {
        batches.emplace_back(b.begin(), b.end());
        return true;
      }));
  ASSERT_EQ(3u, batches.size());
  EXPECT_EQ(32u, batches[0].size());
  EXPECT_EQ(32u, batches[1].size());
  EXPECT_EQ(6u, batches[2].size());
  const VRN_intArray& order = net.PartialOrder();
  std::vector<int> walked;
  for (const auto& b : batches) walked.insert(walked.end(), b.begin(), b.end());
  std::vector<int> reversed(order.begin(), order.end());
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(reversed, walked);

  // A flag cleared while walking keeps the node out of later batches; a
  // failing solve stops the walk.
  batches.clear();
  EXPECT_FALSE(qelta::WalkTargetBatches(
      &net, flags.data(), 32, [&](const VRN_intArray& b) {
        batches.emplace_back(b.begin(), b.end());
        flags[order[0]] = 0;
        return batches.size() < 2;
      }));
  EXPECT_EQ(2u, batches.size());

  // Code 11 on the seventy targets agrees with code 0 and keeps them.
  for (int h : handles) ASSERT_EQ(qelta::kOk, net.SetTarget(h, true));
  ASSERT_EQ(qelta::kOk, Val(net, handles[5])->SetEvidence(1));
  std::vector<std::vector<double>> expected;
  EXPECT_EQ(qelta::kOk, RunCode(net, 0));
  for (int h : handles) expected.push_back(Beliefs(net, h));
  EXPECT_EQ(qelta::kOk, RunCode(net, 11));
  EXPECT_EQ(70, net.GetNumberOfTargets());
  for (size_t i = 0; i < handles.size(); ++i) {
    EXPECT_TRUE(Val(net, handles[i])->IsValueValid());
    EXPECT_EQ(expected[i], Beliefs(net, handles[i]));
  }
}

TEST(BnAlgorithmsTest, ThresholdsAreReadLikeDecimalIntegers) {
  VRN_network net;
  struct Step {
    const char* name;
    const char* value;
    int batch;
    unsigned split, first;
    bool no_fallback;
  };
  for (const Step& step : std::vector<Step>{
           {nullptr, nullptr, 32, 65536, 0, false},  // the defaults
           {"VRN_REL_DECOMP_THRESHOLD", "abc", 32, 65536, 0, false},
           {"VRN_REL_DECOMP_THRESHOLD2", "  +70x", 32, 70, 0, false},
           {"VRN_REL_DECOMP_THRESHOLD3", "-5", 32, 70, 0, false},
           {"VRN_REL_DECOMP_DISABLE_FALLBACK", "", 32, 70, 0, true},
           {"VRN_REL_DECOMP_THRESHOLD", "0", 32, 70, 0, true},
           {"VRN_REL_DECOMP_THRESHOLD3", "12", 32, 70, 12, true},
           {"VRN_REL_DECOMP_THRESHOLD2", "99999999999", 32, 2147483647, 12,
            true}}) {
    if (step.name != nullptr) {
      ASSERT_EQ(qelta::kOk,
                net.UserProperties().AddProperty(step.name, step.value));
    }
    const auto t = qelta::DecompositionThresholds::Read(net);
    EXPECT_EQ(step.batch, t.batchSize) << step.value;
    EXPECT_EQ(step.split, t.splitLimit) << step.value;
    EXPECT_EQ(step.first, t.firstLimit) << step.value;
    EXPECT_EQ(step.no_fallback, t.fallbackDisabled) << step.value;
  }
}

// Four roots of 700 outcomes, linked pairwise through two-outcome children:
// with every child a target, the roots form one clique of 700^4 cells, more
// than any join tree may hold; two roots (700^2 cells) always fit and three
// never do.
class OversizeTest : public ::testing::Test {
 protected:
  static constexpr int kRoots = 4;
  static constexpr int kStates = 700;

  void SetUp() override {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(0.05, 1.0);
    for (int i = 0; i < kRoots; ++i) {
      roots_.push_back(AddNode(net_, "r" + std::to_string(i), {}, kStates));
      std::vector<double> prior(kStates);
      double sum = 0.0;
      for (double& v : prior) sum += (v = unit(rng));
      for (double& v : prior) v /= sum;
      ASSERT_EQ(qelta::kOk, net_.GetNode(roots_[i])->Definition()->SetDefinitionFromVector(prior));
    }
    for (int i = 0; i < kRoots; ++i) {
      for (int j = i + 1; j < kRoots; ++j) {
        const int c = AddNode(net_, "c" + std::to_string(i) + "_" + std::to_string(j),
                              {roots_[i], roots_[j]});
        std::vector<double> table;
        for (int k = 0; k < kStates * kStates; ++k) {
          const double q = unit(rng);
          table.push_back(q);
          table.push_back(1.0 - q);
        }
        ASSERT_EQ(qelta::kOk, net_.GetNode(c)->Definition()->SetDefinitionFromVector(table));
        children_.push_back(c);
      }
    }
  }

  // P(child = 0) from its two roots' priors.
  double ChildPrior(int c) {
    VRN_node* node = net_.GetNode(c);
    const VRN_matrix& t = *node->Definition()->GetMatrixConst();
    const VRN_matrix& a = *net_.GetNode(node->Parents()[0])->Definition()->GetMatrixConst();
    const VRN_matrix& b = *net_.GetNode(node->Parents()[1])->Definition()->GetMatrixConst();
    double p = 0.0;
    for (int i = 0; i < kStates; ++i) {
      for (int j = 0; j < kStates; ++j) {
        p += a.GetItem(i) * b.GetItem(j) * t.GetItem((i * kStates + j) * 2);
      }
    }
    return p;
  }

  VRN_network net_;
  std::vector<int> roots_;
  std::vector<int> children_;
};

TEST_F(OversizeTest, ClusteringFallsBackToBatchesThatFit) {
  for (int c : children_) ASSERT_EQ(qelta::kOk, net_.SetTarget(c, true));
  ASSERT_EQ(qelta::kOk,
            net_.UserProperties().AddProperty("VRN_REL_DECOMP_THRESHOLD", "2"));
  EXPECT_EQ(qelta::kOk, RunCode(net_, 0));
  EXPECT_EQ(6, net_.GetNumberOfTargets());
  for (int c : children_) {
    ASSERT_TRUE(Val(net_, c)->IsValueValid());
    EXPECT_NEAR(ChildPrior(c), Beliefs(net_, c)[0], 1e-11);
  }
  for (int r : roots_) EXPECT_EQ(-1.0, Beliefs(net_, r)[0]);  // not targets

  ASSERT_EQ(qelta::kOk, net_.UserProperties().AddProperty(
                            "VRN_REL_DECOMP_DISABLE_FALLBACK", ""));
  EXPECT_EQ(qelta::kErrOutOfMemory, RunCode(net_, 0));
}

TEST_F(OversizeTest, OneTargetThatDoesNotFitFailsEveryCode) {
  for (int c : children_) ASSERT_EQ(qelta::kOk, Val(net_, c)->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(roots_[0], true));
  EXPECT_EQ(qelta::kErrOutOfMemory, RunCode(net_, 0));
  EXPECT_EQ(qelta::kErrOutOfMemory, RunCode(net_, 11));
  EXPECT_EQ(qelta::kErrOutOfMemory, RunCode(net_, 12));
  EXPECT_EQ(1, net_.IsTarget(roots_[0]));
  EXPECT_EQ(1, net_.GetNumberOfTargets());
  // Neither the clustering method nor the chain rule (whose fourth step
  // needs three roots in a clique) fits.
  double p = 0.0;
  EXPECT_FALSE(net_.CalcPropEvidence(p, false));
  EXPECT_EQ(-1.0, p);
  EXPECT_EQ(1, net_.IsTarget(roots_[0]));
  for (int c : children_) EXPECT_EQ(0, Val(net_, c)->GetEvidence());
}

TEST(BnAlgorithmsTest, EmptyNetworkUpdatesAndHasCertainEvidence) {
  VRN_network net;
  for (int code : {0, 11, 12}) EXPECT_EQ(qelta::kOk, RunCode(net, code));
  double p = 0.0;
  EXPECT_TRUE(net.CalcPropEvidence(p, false));
  EXPECT_EQ(1.0, p);
  EXPECT_TRUE(net.CalcPropEvidence(p, true));
  EXPECT_EQ(1.0, p);
}

TEST(BnAlgorithmsTest, FailedChainRuleLeavesEverythingAsItWas) {
  VRN_network net;
  const int a = AddNode(net, "a", {}), b = AddNode(net, "b", {a});
  SetChainTables(net, a, b);
  if (HasFatalFailure()) return;
  // A chain rule whose update fails answers -1 and leaves everything as it
  // was, the relevance switch included.
  double p = 0.0;
  ASSERT_EQ(qelta::kOk, Val(net, b)->SetEvidence(0));
  // (Polytree propagation refuses the loop x -> y -> z, x -> z.)
  const int x = AddNode(net, "x", {}), y = AddNode(net, "y", {x});
  (void)AddNode(net, "z", {x, y});
  net.SetRelevanceReasoning(false);
  ASSERT_EQ(qelta::kOk, net.SetTarget(b, true));
  const EvidenceSnapshot before = Snapshot(net);
  net.SetDefaultBNAlgorithm(2);
  EXPECT_FALSE(net.CalcPropEvidence(p, true));
  EXPECT_EQ(-1.0, p);
  EXPECT_TRUE(before == Snapshot(net));
  EXPECT_FALSE(net.IsRelevanceReasoning());
}

// A table the update refuses gives no probability of evidence either, by
// either method, observed or not.
TEST(BnAlgorithmsTest, NonFiniteTablesGiveNoProbabilityOfEvidence) {
  for (int variant = 0; variant < 8; ++variant) {
    VRN_network net;
    const int a = AddNode(net, "a", {}), b = AddNode(net, "b", {a});
    SetChainTables(net, a, b);
    ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector(
                              {variant % 2 == 0 ? NAN : INFINITY, 1}));
    ASSERT_EQ(qelta::kOk, (variant & 2) != 0 ? Val(net, b)->SetEvidence(0) : qelta::kOk);
    double p = 0.0;
    EXPECT_FALSE(net.CalcPropEvidence(p, (variant & 4) != 0));
    EXPECT_EQ(-1.0, p);
    EXPECT_STREQ("Node [a] has a negative or non-finite probability in its table",
                 net.ErrorLog()->GetMessage(net.ErrorLog()->GetNumberOfMessages() - 1));
  }
}

TEST(BnAlgorithmsTest, VirtualEvidenceWeighsTheBeliefs) {
  VRN_network net;
  const int a = AddNode(net, "a", {}), b = AddNode(net, "b", {a});
  SetChainTables(net, a, b);
  if (HasFatalFailure()) return;
  ASSERT_EQ(qelta::kOk, Val(net, b)->SetVirtualEvidence({0.8, 0.2}));
  // P(a, likelihood) = P(a) * sum_b P(b | a) L(b).
  const double w0 = 0.3 * (0.9 * 0.8 + 0.1 * 0.2);
  const double w1 = 0.7 * (0.2 * 0.8 + 0.8 * 0.2);
  const double b0 = 0.3 * 0.9 * 0.8 + 0.7 * 0.2 * 0.8;
  const double b1 = 0.3 * 0.1 * 0.2 + 0.7 * 0.8 * 0.2;
  for (int code : {0, 11, 12}) {
    EXPECT_EQ(qelta::kOk, RunCode(net, code));
    EXPECT_NEAR(w0 / (w0 + w1), Beliefs(net, a)[0], kTolerance) << code;
    EXPECT_NEAR(b0 / (b0 + b1), Beliefs(net, b)[0], kTolerance) << code;
  }
}

TEST(BnAlgorithmsTest, AutomaticUpdateFollowsNoInternalTargetChange) {
  VRN_network net;
  const int a = AddNode(net, "a", {}), b = AddNode(net, "b", {a});
  SetChainTables(net, a, b);
  if (HasFatalFailure()) return;
  ASSERT_EQ(qelta::kOk, Val(net, b)->SetEvidence(0));
  EXPECT_EQ(qelta::kOk, net.SetAutoUpdate(true));
  const double a0 = 0.3 * 0.9 / (0.3 * 0.9 + 0.7 * 0.2);
  EXPECT_NEAR(a0, Beliefs(net, a)[0], kTolerance);
  // The chain rule leaves partial-evidence beliefs behind; the one update
  // at the end of the call makes them current again.
  double p = 0.0;
  EXPECT_TRUE(net.CalcPropEvidence(p, true));
  EXPECT_NEAR(0.3 * 0.9 + 0.7 * 0.2, p, kTolerance);
  EXPECT_TRUE(Val(net, a)->IsValueValid());
  EXPECT_NEAR(a0, Beliefs(net, a)[0], kTolerance);
  // Relevance reasoning on its own toggles targets without any update.
  PoisonBeliefs(net);
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, qelta::kRelevanceForClustering));
  EXPECT_EQ(-1.0, Beliefs(net, a)[0]);
  EXPECT_EQ(0, net.GetNumberOfTargets());
}

TEST(BnAlgorithmsTest, DynamicNetworksAreUpdatedPerSlice) {
  VRN_network net;
  const int a = AddNode(net, "a", {});
  net.GetNode(a)->SetTemporalTypeRaw(3);
  EXPECT_EQ(qelta::kOk, RunCode(net, 0));
  EXPECT_EQ(20, net.GetNode(a)->Value()->GetValue().GetItemCount());
}

TEST(BnAlgorithmsTest, PartsBeyondSixteenBitIndicesAreSolvedWhole) {
  // A ladder (each node a child of the two before it), so neither barren
  // removal nor root absorption shortens it.
  VRN_network net;
  net.SetRelevanceReasoning(false);
  const int n = 65536 + 1;
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(i, net.AddNode(qelta::kDefCpt, nullptr));
    if (i >= 1) {
      ASSERT_EQ(qelta::kOk, net.AddArc(i - 1, i));
    }
    if (i >= 2) {
      ASSERT_EQ(qelta::kOk, net.AddArc(i - 2, i));
    }
  }
  net.SetRelevanceReasoning(true);
  ASSERT_EQ(qelta::kOk, net.SetTarget(n - 1, true));
  EXPECT_EQ(qelta::kOk, RunCode(net, 0));
  EXPECT_EQ((std::vector<double>{0.5, 0.5}), Beliefs(net, n - 1));
  EXPECT_EQ(qelta::kOk, RunCode(net, 11));
  EXPECT_EQ((std::vector<double>{0.5, 0.5}), Beliefs(net, n - 1));
}

}  // namespace
