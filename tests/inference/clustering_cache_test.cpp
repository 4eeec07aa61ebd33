// The join tree a network keeps between updates must never answer for a
// network that changed: every edit between two updates is followed by a
// check against enumerated posteriors.
#include "inference/clustering_cache.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

using testnet::Beliefs;
using testnet::Outcomes;
using testnet::Val;

// Gives node h a random table of distributions.
void RandomTable(std::mt19937& rng, VRN_network& net, int h) {
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  const int k = Outcomes(net, h);
  const int cells = def->GetMatrixConst()->GetItemCount();
  std::uniform_real_distribution<double> unit(0.05, 1.0);
  std::vector<double> items(cells);
  for (int start = 0; start < cells; start += k) {
    double sum = 0.0;
    for (int j = 0; j < k; ++j) sum += items[start + j] = unit(rng);
    for (int j = 0; j < k; ++j) items[start + j] /= sum;
  }
  ASSERT_EQ(qelta::kOk, def->SetDefinitionFromVector(items));
}

void ExpectEnumerated(VRN_network& net, const std::string& what) {
  const testnet::Enumeration e = testnet::Enumerate(net);
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (Val(net, h)->HasEvidence()) continue;
    ASSERT_TRUE(Val(net, h)->IsValueValid()) << what << " node " << h;
    const std::vector<double> beliefs = Beliefs(net, h);
    ASSERT_EQ(e.marginals[h].size(), beliefs.size()) << what << " node " << h;
    for (size_t k = 0; k < beliefs.size(); ++k) {
      EXPECT_NEAR(e.marginals[h][k] / e.z, beliefs[k], 1e-12)
          << what << " node " << h << " outcome " << k;
    }
  }
}

TEST(ClusteringCacheTest, EditsBetweenUpdatesAreSeen) {
  std::mt19937 rng(7);
  VRN_network net;
  // a -> b -> d, a -> c -> d, d -> e, f alone: one loop, one second part.
  const char* ids[] = {"a", "b", "c", "d", "e", "f"};
  for (const char* id : ids) ASSERT_GE(net.AddNode(18, id), 0);
  const int arcs[][2] = {{0, 1}, {0, 2}, {1, 3}, {2, 3}, {3, 4}};
  for (const auto& arc : arcs) {
    ASSERT_EQ(qelta::kOk, net.AddArc(arc[0], arc[1]));
  }
  ASSERT_EQ(qelta::kOk, net.GetNode(3)->Definition()->AddOutcome("third"));
  for (int h = 0; h < 6; ++h) RandomTable(rng, net, h);

  // Each step edits the network; reuse tells whether the kept tree may
  // serve the update that follows (same shape of problem).
  struct Step {
    const char* what;
    std::function<void()> edit;
    bool reuse;
  };
  const std::vector<Step> steps = {
      {"first update", [] {}, false},
      {"nothing changed", [] {}, true},
      {"table values", [&] { RandomTable(rng, net, 3); }, true},
      {"evidence set", [&] { ASSERT_EQ(0, Val(net, 4)->SetEvidence(1)); },
       false},
      {"other evidence",
       [&] {
         ASSERT_EQ(0, Val(net, 4)->ClearEvidence());
         ASSERT_EQ(0, Val(net, 2)->SetEvidence(0));
       },
       false},
      {"arc added",
       [&] {
         ASSERT_EQ(qelta::kOk, net.AddArc(1, 4));
         RandomTable(rng, net, 4);
       },
       false},
      // Back to the shape of two updates ago, whose tree is still kept.
      {"arc removed",
       [&] {
         ASSERT_EQ(qelta::kOk, net.RemoveArc(1, 4));
         RandomTable(rng, net, 4);
       },
       true},
      {"outcome added",
       [&] {
         ASSERT_EQ(qelta::kOk, net.GetNode(1)->Definition()->AddOutcome("x"));
         RandomTable(rng, net, 1);
         RandomTable(rng, net, 3);
       },
       false},
      // A new node in the deleted one's slot, wired alike: the same shape,
      // other tables.
      {"node replaced",
       [&] {
         ASSERT_EQ(qelta::kOk, net.DeleteNode(4));
         ASSERT_EQ(4, net.AddNode(18, "e2"));
         ASSERT_EQ(qelta::kOk, net.AddArc(3, 4));
         RandomTable(rng, net, 4);
       },
       true},
      {"targets",
       [&] {
         ASSERT_EQ(0, net.SetTarget(3, true));
         ASSERT_EQ(0, net.InvalidateValues());
       },
       false},
  };
  for (const Step& step : steps) {
    step.edit();
    ASSERT_EQ(qelta::kOk, net.UpdateBeliefs()) << step.what;
    qelta::ClusteringCache* cache = qelta::ClusteringCache::Of(&net);
    EXPECT_EQ(step.reuse, cache->reused()) << step.what;
    if (net.GetNumberOfTargets() == 0) ExpectEnumerated(net, step.what);
  }
  // Only the target and what it needs are solved; its belief is exact.
  const testnet::Enumeration e = testnet::Enumerate(net);
  for (int k = 0; k < Outcomes(net, 3); ++k) {
    EXPECT_NEAR(e.marginals[3][k] / e.z, Beliefs(net, 3)[k], 1e-12);
  }
}

// An update of two parts keeps a tree for each, so neither evicts the other.
TEST(ClusteringCacheTest, EveryPartKeepsItsTree) {
  std::mt19937 rng(5);
  VRN_network net;
  for (const char* id : {"a", "b", "c", "x", "y"}) {
    ASSERT_GE(net.AddNode(18, id), 0);
  }
  for (const auto& arc : {std::pair<int, int>{0, 1}, {1, 2}, {3, 4}}) {
    ASSERT_EQ(qelta::kOk, net.AddArc(arc.first, arc.second));
  }
  for (int h = 0; h < 5; ++h) RandomTable(rng, net, h);
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  // The second part's tree, built after the first, left the first's tables.
  const uint64_t kept = qelta::ClusteringCache::Of(&net)->kept_table_cells();
  RandomTable(rng, net, 4);  // values change, shapes stay
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  EXPECT_TRUE(qelta::ClusteringCache::Of(&net)->reused());
  EXPECT_EQ(2, qelta::ClusteringCache::Of(&net)->tree_count());
  EXPECT_EQ(kept, qelta::ClusteringCache::Of(&net)->kept_table_cells());
  ExpectEnumerated(net, "two parts");
}

// Nodes a, b, ... (handles 0, 1, ...) with these arcs and random tables.
void Build(std::mt19937& rng, VRN_network& net, int nodes,
           std::initializer_list<std::pair<int, int>> arcs) {
  for (int h = 0; h < nodes; ++h) {
    ASSERT_EQ(h, net.AddNode(18, std::string(1, static_cast<char>('a' + h)).c_str()));
  }
  for (auto [from, to] : arcs) ASSERT_EQ(qelta::kOk, net.AddArc(from, to));
  for (int h = 0; h < nodes; ++h) RandomTable(rng, net, h);
}

// Between updates only the last update's trees hold tables; a tree of an
// earlier shape keeps its cliques and takes its tables again when its shape
// returns.
TEST(ClusteringCacheTest, OnlyTheLastShapeKeepsItsTables) {
  std::mt19937 rng(11);
  // Two copies of one loop; `alone` gives the tables of the evidence's shape.
  VRN_network net, alone;
  for (VRN_network* n : {&net, &alone}) {
    Build(rng, *n, 5, {{0, 1}, {0, 2}, {1, 3}, {2, 3}, {3, 4}});
  }
  qelta::ClusteringCache* cache = qelta::ClusteringCache::Of(&net);
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  const uint64_t without_evidence = cache->kept_table_cells();
  ASSERT_EQ(0, Val(alone, 2)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, alone.UpdateBeliefs());
  const uint64_t with_evidence = qelta::ClusteringCache::Of(&alone)->kept_table_cells();
  ASSERT_GT(without_evidence, 0u);
  ASSERT_NE(with_evidence, without_evidence);

  for (bool evidence : {true, false}) {
    SCOPED_TRACE(evidence ? "evidence" : "evidence cleared");
    ASSERT_EQ(0, evidence ? Val(net, 2)->SetEvidence(1) : Val(net, 2)->ClearEvidence());
    ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
    EXPECT_EQ(!evidence, cache->reused());
    EXPECT_EQ(2, cache->tree_count());
    EXPECT_EQ(evidence ? with_evidence : without_evidence, cache->kept_table_cells());
    ExpectEnumerated(net, "");
  }
}

// The record block is kept for clustering's next update only; a network
// updated by another algorithm gives it back.
TEST(ClusteringCacheTest, RecordBlockIsKeptForClusteringOnly) {
  std::mt19937 rng(13);
  VRN_network net, other;
  for (VRN_network* n : {&net, &other}) Build(rng, *n, 3, {{0, 1}, {1, 2}});
  ASSERT_EQ(10, other.SetDefaultBNAlgorithm(10));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ASSERT_EQ(qelta::kOk, other.UpdateBeliefs());
  EXPECT_GT(qelta::ClusteringCache::Of(&net)->kept_storage_bytes(), 0u);
  EXPECT_EQ(0u, qelta::ClusteringCache::Of(&other)->kept_storage_bytes());
  ExpectEnumerated(other, "junction tree per part");
}

// A table with columns that are not distributions is used through a private
// normalised copy: the kept tree must read that copy, not the table it read
// last time (edited in place and still alive).
TEST(ClusteringCacheTest, NormalisedCopiesAreTakenAfresh) {
  std::mt19937 rng(3);
  VRN_network net;
  for (const char* id : {"a", "b", "c"}) ASSERT_GE(net.AddNode(18, id), 0);
  ASSERT_EQ(qelta::kOk, net.AddArc(0, 1));
  ASSERT_EQ(qelta::kOk, net.AddArc(1, 2));
  for (int h = 0; h < 3; ++h) RandomTable(rng, net, h);
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  const testnet::Enumeration e = testnet::Enumerate(net);
  VRN_nodeDef* def = net.GetNode(1)->Definition();
  const VRN_matrix& table = *def->GetMatrixConst();
  std::vector<double> scaled(table.GetItems().begin(), table.GetItems().end());
  for (size_t i = 0; i < scaled.size(); ++i) scaled[i] *= 2.0 + i / 2;
  ASSERT_EQ(qelta::kOk, def->SetDefinitionFromVector(scaled));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  EXPECT_TRUE(qelta::ClusteringCache::Of(&net)->reused());
  for (int h = 0; h < 3; ++h) {
    for (int k = 0; k < 2; ++k) {
      EXPECT_NEAR(e.marginals[h][k] / e.z, Beliefs(net, h)[k], 1e-12);
    }
  }
}

}  // namespace
