// The clustering engine's three entries on parts made by relevance
// reasoning from real networks, checked against enumeration of the joint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
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

using testnet::Beliefs;
using testnet::Enumeration;
using testnet::Outcomes;
using testnet::PoisonBeliefs;
using testnet::Val;

void MakeRandomNetwork(std::mt19937& rng, VRN_network& net, int max_nodes,
                       bool* quiet = nullptr) {
  testnet::MakeRandomNetwork(rng, net, {max_nodes, 3, 1 << 14, 0.15}, quiet);
}
Enumeration Enumerate(VRN_network& net) { return testnet::Enumerate(net, true); }

// What EM keeps for one data case: one zero count matrix per node shaped
// like its table, every node mapped to its own matrix, no family counted.
struct Learner {
  std::vector<std::pair<int, int>> map;
  std::vector<std::vector<VRN_matrix>> counts;
  std::vector<bool> counted;

  explicit Learner(VRN_network& net) {
    const int n = net.GetSlotCount();
    counted.assign(n, false);
    counts.resize(n);
    for (int h = 0; h < n; ++h) {
      map.emplace_back(h, 0);
      counts[h].push_back(*net.GetNode(h)->Definition()->GetMatrixConst());
      counts[h][0].FillWith(0.0);
    }
  }
  double Count(int h, int i) const { return counts[h][0].GetItem(i); }
};

// The cell of node h's table at its parents' evidence and its own outcome.
int EvidenceCell(VRN_network& net, int h, int own) {
  const VRN_matrix& t = *net.GetNode(h)->Definition()->GetMatrixConst();
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  int index = own;
  for (int i = 0; i < parents.GetSize(); ++i) {
    index += Val(net, parents[i])->GetEvidence() * t.GetStrides()[i];
  }
  return index;
}

// One expectation step as EM takes it: fully observed families counted
// directly, then every part of relevance reasoning (flags 3). False when
// an engine run fails.
bool ExpectationStep(VRN_network& net, Learner* learner,
                     std::uint32_t limit = 0) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    bool observed = Val(net, h)->HasEvidence();
    for (int p : net.GetNode(h)->Parents()) {
      observed = observed && Val(net, p)->HasEvidence();
    }
    if (!observed) continue;
    const int cell = EvidenceCell(net, h, Val(net, h)->GetEvidence());
    learner->counts[h][0].GetItems().Items()[cell] += 1.0;
    learner->counted[h] = true;
  }
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, qelta::kRelevanceForOthers));
  EXPECT_NE(parts, nullptr);
  if (parts == nullptr) return false;
  for (int i = 0; i < parts->GetSize(); ++i) {
    VRN_relevancePart* part = parts->GetPart(i);
    if (part->GetSize() > 1) {
      VRN_clusterJob job{part, nullptr};
      VRN_clusteringEngine engine(&job);
      if (!engine.RunForLearning(limit, &net, learner->map, &learner->counts,
                                 &learner->counted)) {
        return false;
      }
      continue;
    }
    // A single node whose parents are all observed: its table's column.
    VRN_relevanceNode* record = part->GetRecord(0);
    const int h = record->GetHandle();
    EXPECT_EQ(qelta::kOk, record->CopyTableToBeliefs());
    const VRN_matrix& beliefs = Val(net, h)->GetValue();
    for (int k = 0; k < beliefs.GetItemCount(); ++k) {
      learner->counts[h][0].GetItems().Items()[EvidenceCell(net, h, k)] +=
          beliefs.GetItem(k);
    }
    learner->counted[h] = true;
  }
  return true;
}

TEST(RunForLearningTest, CountsAreEnumeratedFamilyPosteriors) {
  std::mt19937 rng(5150);
  int impossible = 0, counted = 0, uncounted = 0;
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    VRN_network net;
    bool quiet = false;
    MakeRandomNetwork(rng, net, 12, &quiet);
    if (HasFatalFailure()) return;
    const Enumeration e = Enumerate(net);
    Learner learner(net);
    ASSERT_TRUE(ExpectationStep(net, &learner));
    for (int h = 0; h < net.GetSlotCount(); ++h) {
      for (int i = 0; i < learner.counts[h][0].GetItemCount(); ++i) {
        ASSERT_TRUE(std::isfinite(learner.Count(h, i))) << "node " << h;
      }
    }
    if (e.z == 0.0) {
      ++impossible;
      continue;
    }
    for (int h = 0; h < net.GetSlotCount(); ++h) {
      // Evidence that relevance reasoning derives for a node outside every
      // part is not in the values, so such families stay for the learner;
      // with the network's own bookkeeping the values carry it.
      if (quiet && !learner.counted[h]) {
        ++uncounted;
        continue;
      }
      ASSERT_TRUE(learner.counted[h]) << "node " << h;
      ++counted;
      for (int i = 0; i < learner.counts[h][0].GetItemCount(); ++i) {
        EXPECT_NEAR(e.families[h][i] / e.z, learner.Count(h, i), kTolerance)
            << "node " << h << " cell " << i;
      }
    }
  }
  EXPECT_GT(impossible, 10);
  EXPECT_LT(impossible, 200);
  EXPECT_GT(counted, 20 * uncounted);
}

// A -> B -> C, A -> C, C -> D with D observed: one part of four records.
struct Diamond {
  VRN_network net;
  int a, b, c, d;
  Diamond() {
    a = net.AddNode(qelta::kDefCpt, "A");
    b = net.AddNode(qelta::kDefCpt, "B");
    c = net.AddNode(qelta::kDefCpt, "C");
    d = net.AddNode(qelta::kDefCpt, "D");
    EXPECT_EQ(qelta::kOk, net.AddArc(a, b));
    EXPECT_EQ(qelta::kOk, net.AddArc(b, c));
    EXPECT_EQ(qelta::kOk, net.AddArc(a, c));
    EXPECT_EQ(qelta::kOk, net.AddArc(c, d));
    Set(a, {0.3, 0.7});
    Set(b, {0.9, 0.1, 0.2, 0.8});
    Set(c, {0.5, 0.5, 0.1, 0.9, 0.6, 0.4, 0.25, 0.75});
    Set(d, {0.8, 0.2, 0.3, 0.7});
    EXPECT_EQ(qelta::kOk, Val(net, d)->SetEvidence(1));
  }
  void Set(int h, const std::vector<double>& items) {
    EXPECT_EQ(qelta::kOk,
              net.GetNode(h)->Definition()->SetDefinitionFromVector(items));
  }
};

TEST(RunForLearningTest, CountedFamiliesAreSkippedAndCountsAccumulate) {
  Diamond g;
  const Enumeration e = Enumerate(g.net);
  Learner learner(g.net);
  learner.counted[g.b] = true;
  ASSERT_TRUE(ExpectationStep(g.net, &learner));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(0.0, learner.Count(g.b, i));
  // A second case with the same evidence adds the same posteriors again.
  std::fill(learner.counted.begin(), learner.counted.end(), false);
  ASSERT_TRUE(ExpectationStep(g.net, &learner));
  for (int h : {g.a, g.c, g.d}) {
    for (std::size_t i = 0; i < e.families[h].size(); ++i) {
      EXPECT_NEAR(2.0 * e.families[h][i] / e.z, learner.Count(h, i),
                  kTolerance);
    }
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(e.families[g.b][i] / e.z, learner.Count(g.b, i), kTolerance);
  }
}

TEST(RunForLearningTest, MapEntriesAndShapesThatDoNotFitLeaveTheFamilyAlone) {
  Diamond g;
  Learner learner(g.net);
  learner.map[g.a] = {7, 0};    // no such row
  learner.map[g.b] = {g.b, 3};  // no such column
  ASSERT_EQ(qelta::kOk, learner.counts[g.c][0].SetSingleDimension(8));
  learner.map.resize(3);  // D has no entry at all
  ASSERT_TRUE(ExpectationStep(g.net, &learner));
  for (int h : {g.a, g.b, g.c, g.d}) EXPECT_FALSE(learner.counted[h]) << h;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(0.0, learner.Count(g.c, i));
}

TEST(RunForLearningTest, ImpossibleEvidenceAddsNothingButMarksTheFamily) {
  Diamond g;
  // D = 1 cannot happen whatever C is.
  g.Set(g.d, {1.0, 0.0, 1.0, 0.0});
  Learner learner(g.net);
  ASSERT_TRUE(ExpectationStep(g.net, &learner));
  for (int h : {g.a, g.b, g.c, g.d}) {
    EXPECT_TRUE(learner.counted[h]) << h;
    for (int i = 0; i < learner.counts[h][0].GetItemCount(); ++i) {
      EXPECT_EQ(0.0, learner.Count(h, i)) << h;
    }
  }
}

// k roots of the given outcome count, every two of them sharing a binary
// child: the roots end up in one clique of outcomes^k cells.
void MakeCompleteRoots(VRN_network& net, int k, int outcomes) {
  for (int i = 0; i < k; ++i) {
    const int h =
        net.AddNode(qelta::kDefCpt, ("r" + std::to_string(i)).c_str());
    ASSERT_EQ(qelta::kOk,
              net.GetNode(h)->Definition()->SetNumberOfOutcomes(outcomes));
  }
  for (int i = 0; i < k; ++i) {
    for (int j = i + 1; j < k; ++j) {
      const std::string id = "c" + std::to_string(i) + "_" + std::to_string(j);
      const int h = net.AddNode(qelta::kDefCpt, id.c_str());
      ASSERT_EQ(qelta::kOk, net.AddArc(i, h));
      ASSERT_EQ(qelta::kOk, net.AddArc(j, h));
    }
  }
}

TEST(RunForLearningTest, TableSizeLimitsFailTheRunWithoutCounting) {
  VRN_network net;
  MakeCompleteRoots(net, 16, 2);  // a clique of 2^16 cells
  if (HasFatalFailure()) return;
  Learner learner(net);
  EXPECT_FALSE(ExpectationStep(net, &learner, 65535));
  for (int h = 0; h < net.GetSlotCount(); ++h) {
    EXPECT_FALSE(learner.counted[h]);
    for (int i = 0; i < learner.counts[h][0].GetItemCount(); ++i) {
      ASSERT_EQ(0.0, learner.Count(h, i));
    }
  }
  ASSERT_TRUE(ExpectationStep(net, &learner, 0));
  for (int h = 0; h < net.GetSlotCount(); ++h) {
    EXPECT_TRUE(learner.counted[h]);
    double sum = 0.0;
    for (int i = 0; i < learner.counts[h][0].GetItemCount(); ++i) {
      sum += learner.Count(h, i);
    }
    EXPECT_NEAR(1.0, sum, kTolerance);
  }
}

TEST(RunForLearningTest, ACliqueAboveTwoToTheThirtyCellsFailsWhateverTheLimit) {
  VRN_network net;
  MakeCompleteRoots(net, 16, 4);  // 4^16 = 2^32 cells
  if (HasFatalFailure()) return;
  Learner learner(net);
  EXPECT_FALSE(ExpectationStep(net, &learner, 0xFFFFFFFFu));
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, qelta::kRelevanceForEvidence));
  ASSERT_NE(parts, nullptr);
  ASSERT_EQ(1, parts->GetSize());
  VRN_clusterJob job{parts->GetPart(0), nullptr};
  EXPECT_TRUE(VRN_clusteringEngine(&job).ProbabilityOfEvidence().failed());
  EXPECT_FALSE(VRN_clusteringEngine(&job).Run(nullptr, 0xFFFFFFFFu));
}

// ------------------------------------------------------------ belief update

// Runs the engine on every part of relevance reasoning (flags 7), one-record
// parts by their table. False when a run fails.
bool UpdateParts(VRN_network& net, std::uint8_t* flags, int* zeros) {
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, qelta::kRelevanceForClustering));
  if (parts == nullptr) return true;
  for (int i = 0; i < parts->GetSize(); ++i) {
    VRN_relevancePart* part = parts->GetPart(i);
    if (part->GetSize() == 1) {
      (void)part->GetRecord(0)->CopyTableToBeliefs();
      continue;
    }
    VRN_clusterJob job{part, zeros};
    if (!VRN_clusteringEngine(&job).Run(flags, 0)) return false;
  }
  return true;
}

// The clique tables go to a table cache once the network has one (the
// beliefs are checked with the update itself).
TEST(ClusteringEngineTest, RunWritesEnumeratedCliqueTables) {
  std::mt19937 rng(1999);
  int exported = 0;
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    VRN_network net;
    MakeRandomNetwork(rng, net, 10);
    if (HasFatalFailure()) return;
    const Enumeration e = Enumerate(net);
    if (e.z == 0.0) continue;
    ASSERT_EQ(nullptr, net.TableCache());
    ASSERT_NE(nullptr, net.MakeTableForNodes({0}));
    net.EmptyTableCache();
    ASSERT_TRUE(UpdateParts(net, nullptr, nullptr));
    for (const VRN_tableCacheEntry& entry : *net.TableCache()) {
      const std::vector<double> want = e.Marginal(net, entry.nodes);
      ASSERT_EQ(static_cast<int>(want.size()), entry.table.GetItemCount());
      for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_NEAR(want[k] / e.z, entry.table.GetItem(k), kTolerance);
      }
      ++exported;
    }
  }
  EXPECT_GT(exported, 100);
}

TEST(ClusteringEngineTest, SolveFlagsAndTargetsChooseTheNodesWritten) {
  Diamond g;
  ASSERT_EQ(qelta::kOk, g.net.SetTarget(g.b, true));
  ASSERT_EQ(qelta::kOk, g.net.SetTarget(g.a, true));
  PoisonBeliefs(g.net);
  std::vector<std::uint8_t> flags(4, 0);
  flags[g.c] = 1;
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&g.net, qelta::kRelevanceForClustering));
  ASSERT_NE(parts, nullptr);
  ASSERT_EQ(1, parts->GetSize());
  VRN_clusterJob job{parts->GetPart(0), nullptr};
  ASSERT_TRUE(VRN_clusteringEngine(&job).Run(flags.data(), 0));
  const Enumeration e = Enumerate(g.net);
  for (int h : {g.a, g.b, g.c}) {
    const std::vector<double> want = e.Marginal(g.net, {h});
    EXPECT_NEAR(want[1] / e.z, Beliefs(g.net, h)[1], kTolerance) << h;
  }
  EXPECT_EQ(0, flags[g.c]);

  // Without the flag and the target mark, C keeps whatever it held.
  ASSERT_EQ(qelta::kOk, g.net.SetTarget(g.b, false));
  PoisonBeliefs(g.net);
  parts.reset(VRN_RelevanceDecompose(&g.net, qelta::kRelevanceForClustering));
  ASSERT_NE(parts, nullptr);
  for (int i = 0; i < parts->GetSize(); ++i) {
    if (parts->GetPart(i)->GetSize() < 2) continue;
    VRN_clusterJob again{parts->GetPart(i), nullptr};
    ASSERT_TRUE(VRN_clusteringEngine(&again).Run(flags.data(), 0));
  }
  EXPECT_EQ(-1.0, Beliefs(g.net, g.c)[0]);
  EXPECT_NEAR(e.Marginal(g.net, {g.a})[1] / e.z, Beliefs(g.net, g.a)[1],
              kTolerance);
}

}  // namespace
