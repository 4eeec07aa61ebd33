#include "learning/bayesian_search.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "learning/progress.h"
#include "network/network.h"
#include "network/node.h"
#include "structure_data.h"
#include "structure_graphs.h"

namespace {

std::string NetFile(const std::string& name) {
  return std::string(QELTA_SHARED_DIR) + "/data/networks/net/" + name + ".net";
}

// Reads a shared network and draws 10,000 records from it (seed 1).
bool SampledData(const std::string& name, VRN_network& truth, VRN_dataset& data) {
  if (!std::filesystem::exists(NetFile(name))) return false;
  EXPECT_EQ(0, truth.ReadFile(NetFile(name).c_str(), qelta::kFormatHugin, 0));
  data = structdata::Sample(truth, 10000, 1);
  return true;
}

std::vector<int> Arities(const VRN_network& net) {
  std::vector<int> arity;
  for (int h = 0; h < net.GetSlotCount(); ++h) arity.push_back(net.GetNode(h)->Definition()->GetNumberOfOutcomes());
  return arity;
}

std::vector<int> ParentsOf(const VRN_network& net, int h) {
  const VRN_intArray& p = net.GetNode(h)->Parents();
  std::vector<int> parents(p.Items(), p.Items() + p.GetSize());
  std::sort(parents.begin(), parents.end());
  return parents;
}

double IndependentScore(const VRN_network& net, const VRN_dataset& data, const VRN_bayesianSearch& bs) {
  const std::vector<int> arity = Arities(net);
  double total = 0.0;
  for (int h = 0; h < net.GetSlotCount(); ++h) {
    total += structgraph::FamilyBdeu(data, arity, h, ParentsOf(net, h), bs.priorSampleSize, bs.priorLinkProbability);
  }
  return total;
}

bool Reaches(const std::vector<std::vector<int>>& children, int from, int to) {
  std::vector<int> stack{from};
  std::vector<bool> seen(children.size(), false);
  while (!stack.empty()) {
    const int x = stack.back();
    stack.pop_back();
    if (x == to) return true;
    if (seen[static_cast<std::size_t>(x)]) continue;
    seen[static_cast<std::size_t>(x)] = true;
    for (int c : children[static_cast<std::size_t>(x)]) stack.push_back(c);
  }
  return false;
}

// The largest gain of a legal single move (add, delete, reverse) by the
// independent score.
double BestSingleMove(const VRN_network& net, const VRN_dataset& data, const VRN_bayesianSearch& bs) {
  const int n = net.GetSlotCount();
  const std::vector<int> arity = Arities(net);
  std::vector<std::vector<int>> parents(static_cast<std::size_t>(n)), children(static_cast<std::size_t>(n));
  std::vector<double> current(static_cast<std::size_t>(n));
  auto family = [&](int b, const std::vector<int>& ps) {
    return structgraph::FamilyBdeu(data, arity, b, ps, bs.priorSampleSize, bs.priorLinkProbability);
  };
  for (int b = 0; b < n; ++b) {
    parents[static_cast<std::size_t>(b)] = ParentsOf(net, b);
    for (int p : parents[static_cast<std::size_t>(b)]) children[static_cast<std::size_t>(p)].push_back(b);
    current[static_cast<std::size_t>(b)] = family(b, parents[static_cast<std::size_t>(b)]);
  }
  double best = -1e300;
  for (int b = 0; b < n; ++b) {
    for (int a = 0; a < n; ++a) {
      if (a == b) continue;
      std::vector<int> pb = parents[static_cast<std::size_t>(b)];
      const bool ab = std::count(pb.begin(), pb.end(), a) != 0;
      std::vector<int>& pa = parents[static_cast<std::size_t>(a)];
      const bool ba = std::count(pa.begin(), pa.end(), b) != 0;
      double delta = 0.0;
      if (ab) {
        pb.erase(std::find(pb.begin(), pb.end(), a));
        delta = family(b, pb) - current[static_cast<std::size_t>(b)];
      } else if (ba) {
        // Reversal is legal when b reaches a only through the arc itself.
        auto without = children;
        auto& cb = without[static_cast<std::size_t>(b)];
        cb.erase(std::find(cb.begin(), cb.end(), a));
        if (Reaches(without, b, a) || static_cast<int>(pb.size()) >= bs.maxParents) continue;
        pb.push_back(a);
        std::vector<int> pa2 = pa;
        pa2.erase(std::find(pa2.begin(), pa2.end(), b));
        delta = family(b, pb) - current[static_cast<std::size_t>(b)] + family(a, pa2) - current[static_cast<std::size_t>(a)];
      } else {
        if (Reaches(children, b, a) || static_cast<int>(pb.size()) >= bs.maxParents) continue;
        pb.push_back(a);
        delta = family(b, pb) - current[static_cast<std::size_t>(b)];
      }
      best = std::max(best, delta);
    }
  }
  return best;
}

TEST(BayesianSearchTest, HandComputedScores) {
  struct Case {
    std::vector<int> counts;
    int arcs;
    double score;
  } cases[] = {{{45, 5, 5, 45}, 1, -124.3833830067}, {{10, 2, 2, 10}, 0, -33.6683505378}};
  for (const Case& c : cases) {
    VRN_bayesianSearch bs;
    bs.iterationCount = 1;
    VRN_network net;
    double score = 0.0;
    int iteration = -1;
    ASSERT_EQ(0, bs.Learn(structdata::Pairs(c.counts), net, nullptr, nullptr, &score, &iteration, nullptr));
    EXPECT_EQ(static_cast<std::size_t>(c.arcs), structgraph::ArcsOf(net).size());
    EXPECT_NEAR(c.score, score, 1e-9);
    EXPECT_EQ(0, iteration);
  }
}

TEST(BayesianSearchTest, RefusedData) {
  VRN_dataset constant = structdata::Columns({{0, 1, 0}, {1, 1, 1}}, {2, 2});
  VRN_dataset missing = structdata::Columns({{0, 1, 0}, {0, -1, 1}, {0, 1, 1}}, {2, 2, 2});
  ASSERT_EQ(0, missing.addFloatVariable("F", 0.0f));
  VRN_dataset two = structdata::Columns({{0, 1}, {1, 0}}, {2, 2});
  VRN_dataset one = structdata::Columns({{0, 1, 1}}, {2});
  struct Case {
    const VRN_dataset* data;
    const char* message;
  } cases[] = {
      {&two, "BS: too few data points (at least 3 needed)\n"},
      {&one, "BS: too few variables (at least 2 needed)\n"},
      {&missing, "BS: missing values not allowed; variable: B"},
      {&constant, "BS: constant values not allowed; variable: B"},
  };
  for (const Case& c : cases) {
    VRN_bayesianSearch bs;
    VRN_network net;
    EXPECT_EQ(-1, bs.Learn(*c.data, net, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ(c.message, net.ErrorLog()->GetMessage(0));
    EXPECT_EQ(0, net.GetNumberOfNodes());
  }
  VRN_bayesianSearch cyclic;
  cyclic.bkKnowledge.forcedArcs = {{0, 1}, {1, 0}};
  VRN_network net;
  EXPECT_EQ(-1, cyclic.Learn(structdata::Pairs({45, 5, 5, 45}), net, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_STREQ("BS: the forced arcs of the background knowledge form a cycle", net.ErrorLog()->GetMessage(0));
  VRN_bayesianSearch outside;
  outside.bkKnowledge.forbiddenArcs = {{0, 9}};
  EXPECT_EQ(-1, outside.Learn(structdata::Pairs({45, 5, 5, 45}), net, nullptr, nullptr, nullptr, nullptr, nullptr));
}

class CancelAt : public VRN_progress {
 public:
  explicit CancelAt(std::string text) : text_(std::move(text)) {}
  bool Tick(double, const char* text) override { return text == nullptr || text_ != text; }

 private:
  std::string text_;
};

TEST(BayesianSearchTest, CancelledSearchLeavesNodesWithoutArcs) {
  VRN_bayesianSearch bs;
  VRN_network net;
  CancelAt cancel("Bayesian Search: searching...");
  EXPECT_EQ(-99, bs.Learn(structdata::Pairs({45, 5, 5, 45}), net, &cancel, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(2, net.GetNumberOfNodes());
  EXPECT_TRUE(structgraph::ArcsOf(net).empty());
  bs.maxParents = 0;
  ASSERT_EQ(0, bs.Learn(structdata::Pairs({45, 5, 5, 45}), net, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_TRUE(structgraph::ArcsOf(net).empty());
}

// Keeps a score of its own for each climb and stops the search at a given one.
class Override : public VRN_bsIterationCallback {
 public:
  int OnIteration(int iteration, double, double, VRN_network* copy, const VRN_dataset*,
                  const std::vector<VRN_dataMatch>*, VRN_progress*, double* scoreOut) override {
    arcs.push_back(structgraph::ArcsOf(*copy).size());
    *scoreOut = iteration == 1 ? 5.0 : -1e6;
    return iteration == stopAt ? 7 : 0;
  }
  std::vector<std::size_t> arcs;
  int stopAt = -1;
};

TEST(BayesianSearchTest, IterationCallbackScoresAndStops) {
  VRN_bayesianSearch bs;
  bs.iterationCount = 3;
  bs.randSeed = 2;
  Override callback;
  VRN_network net;
  double best = 0.0;
  int iteration = -1;
  ASSERT_EQ(0, bs.Learn(structdata::Pairs({45, 5, 5, 45}), net, nullptr, &callback, &best, &iteration, nullptr));
  EXPECT_EQ((std::vector<std::size_t>{1, 1, 1}), callback.arcs);
  EXPECT_EQ(5.0, best);
  EXPECT_EQ(1, iteration);
  callback.stopAt = 0;
  EXPECT_EQ(7, bs.Learn(structdata::Pairs({45, 5, 5, 45}), net, nullptr, &callback, &best, &iteration, nullptr));
}

TEST(BayesianSearchTest, ScoreIsBdeuAndALocalOptimum) {
  for (const char* name : {"asia", "child"}) {
    VRN_network truth;
    VRN_dataset data;
    if (!SampledData(name, truth, data)) GTEST_SKIP() << "shared networks are absent";
    for (bool gtt : {false, true}) {
      VRN_bayesianSearch bs;
      bs.iterationCount = 1;
      bs.greedyThickThinning = gtt;
      VRN_bsStatistics stats;
      bs.statistics = &stats;
      VRN_network net;
      double score = 0.0;
      ASSERT_EQ(0, bs.Learn(data, net, nullptr, nullptr, &score, nullptr, nullptr));
      const double independent = IndependentScore(net, data, bs);
      EXPECT_NEAR(independent, score, 1e-9 * std::fabs(score)) << name;
      if (gtt) {
        EXPECT_EQ(0, stats.movesApplied[1]) << name;
        continue;
      }
      EXPECT_LE(BestSingleMove(net, data, bs), 1e-9 * (1 + std::fabs(score))) << name;
      // A covered arc (same parents apart from itself) reversed scores the same.
      for (int b = 0; b < net.GetSlotCount(); ++b) {
        for (int a : ParentsOf(net, b)) {
          std::vector<int> pa = ParentsOf(net, a);
          std::vector<int> pb = ParentsOf(net, b);
          pb.erase(std::find(pb.begin(), pb.end(), a));
          if (pa != pb) continue;
          const std::vector<int> arity = Arities(net);
          std::vector<int> pa2 = pa;
          pa2.push_back(b);
          std::sort(pa2.begin(), pa2.end());
          auto f = [&](int x, const std::vector<int>& ps) {
            return structgraph::FamilyBdeu(data, arity, x, ps, bs.priorSampleSize, bs.priorLinkProbability);
          };
          const double change = f(a, pa2) + f(b, pb) - f(a, pa) - f(b, ParentsOf(net, b));
          EXPECT_LT(std::fabs(change), 1e-9 * std::fabs(score));
        }
      }
    }
  }
}

TEST(BayesianSearchTest, KnowledgeIsObeyed) {
  VRN_network truth;
  VRN_dataset data;
  if (!SampledData("asia", truth, data)) GTEST_SKIP() << "shared networks are absent";
  VRN_bayesianSearch bs;
  bs.randSeed = 3;
  bs.iterationCount = 4;
  // asia columns: forced 0 -> 7, forbidden along the strongest true arcs,
  // and column 2 in a later tier than all others' tier 1 entries.
  bs.bkKnowledge.forcedArcs = {{0, 7}};
  bs.bkKnowledge.forbiddenArcs = {{2, 3}, {3, 2}, {5, 6}};
  for (int v = 0; v < data.GetVariableCount(); ++v) bs.bkKnowledge.tiers.emplace_back(v, v == 4 ? 2 : 1);
  VRN_network net;
  ASSERT_EQ(0, bs.Learn(data, net, nullptr, nullptr, nullptr, nullptr, nullptr));
  auto has = [&](int a, int b) {
    const VRN_intArray& p = net.GetNode(b)->Parents();
    for (int k = 0; k < p.GetSize(); ++k) {
      if (p[k] == a) return true;
    }
    return false;
  };
  EXPECT_TRUE(has(0, 7));
  EXPECT_FALSE(has(2, 3));
  EXPECT_FALSE(has(3, 2));
  EXPECT_FALSE(has(5, 6));
  for (int v = 0; v < data.GetVariableCount(); ++v) EXPECT_FALSE(v != 4 && has(4, v)) << v;
}

// Records of binary a, b and c, each drawn by draw.
template <typename Draw>
VRN_dataset ThreeBinary(int records, unsigned seed, Draw draw) {
  std::mt19937 rng(seed);
  std::vector<std::vector<int>> cols(3);
  for (int r = 0; r < records; ++r) {
    const std::array<int, 3> abc = draw(rng);
    for (int v = 0; v < 3; ++v) cols[v].push_back(abc[v]);
  }
  return structdata::Columns(cols, {2, 2, 2}, {"a", "b", "c"});
}

// No arc leads into an earlier tier, whether its variables have entries or
// are in tier 0 for having none.
TEST(BayesianSearchTest, VariablesWithoutTierEntriesAreInTierZero) {
  // a = b OR c (b, c fair coins), flipped with probability 0.1.
  std::bernoulli_distribution coin(0.5), flip(0.1);
  const VRN_dataset data = ThreeBinary(2000, 11, [&](std::mt19937& rng) {
    const int b = coin(rng), c = coin(rng);
    return std::array<int, 3>{(b | c) ^ static_cast<int>(flip(rng)), b, c};
  });
  for (bool explicitZero : {false, true}) {
    VRN_bayesianSearch bs;
    bs.randSeed = 5;
    bs.bkKnowledge.tiers = {{1, 1}, {2, 1}};
    if (explicitZero) bs.bkKnowledge.tiers.emplace_back(0, 0);
    VRN_network net;
    ASSERT_EQ(0, bs.Learn(data, net, nullptr, nullptr, nullptr, nullptr, nullptr));
    // b and c depend on a and, given a, on each other.
    EXPECT_TRUE(ParentsOf(net, 0).empty()) << explicitZero;
    for (int v : {1, 2}) {
      const std::vector<int> parents = ParentsOf(net, v);
      EXPECT_EQ(1, std::count(parents.begin(), parents.end(), 0)) << explicitZero;
    }
  }
}

// Random start graphs stay acyclic with forced arcs against the random
// order and forbidden arcs beside them, so the learned network is the one
// whose score is reported.
TEST(BayesianSearchTest, ReportedScoreIsTheLearnedNetworksOverSeeds) {
  // A chain c -> b -> a, each link copying with probability 0.8.
  std::bernoulli_distribution coin(0.5), flip(0.2);
  const VRN_dataset data = ThreeBinary(400, 3, [&](std::mt19937& rng) {
    const int c = coin(rng);
    const int b = c ^ static_cast<int>(flip(rng));
    return std::array<int, 3>{b ^ static_cast<int>(flip(rng)), b, c};
  });
  for (int seed = 1; seed <= 200; ++seed) {
    VRN_bayesianSearch bs;
    bs.randSeed = seed;
    bs.bkKnowledge.forcedArcs = {{1, 0}};
    bs.bkKnowledge.forbiddenArcs = {{1, 2}};
    VRN_network net;
    double score = 0.0;
    ASSERT_EQ(0, bs.Learn(data, net, nullptr, nullptr, &score, nullptr, nullptr)) << seed;
    EXPECT_EQ(ParentsOf(net, 0), std::vector<int>{1}) << seed;
    EXPECT_NEAR(score, IndependentScore(net, data, bs), 1e-9) << seed;
  }
}

TEST(BayesianSearchTest, RecoversSharedNetworks) {
  struct Case {
    const char* name;
    int missing;
    int extra;
  } cases[] = {{"asia", 2, 100}, {"child", 2, 8}, {"alarm", 5, 100}};
  for (const Case& c : cases) {
    VRN_network truth;
    VRN_dataset data;
    if (!SampledData(c.name, truth, data)) GTEST_SKIP() << "shared networks are absent";
    VRN_bayesianSearch bs;
    bs.iterationCount = 1;
    VRN_network net;
    double single = 0.0;
    ASSERT_EQ(0, bs.Learn(data, net, nullptr, nullptr, &single, nullptr, nullptr));
    const auto cmp = structgraph::Compare(structgraph::ArcsOf(truth), structgraph::ArcsOf(net));
    std::printf("BS %s: missing %d extra %d reversed %d\n", c.name, cmp.missing, cmp.extra, cmp.reversed);
    EXPECT_LE(cmp.missing, c.missing) << c.name;
    EXPECT_LE(cmp.extra, c.extra) << c.name;
    bs.iterationCount = 20;
    bs.randSeed = 1;
    double restarted = 0.0;
    ASSERT_EQ(0, bs.Learn(data, net, nullptr, nullptr, &restarted, nullptr, nullptr));
    EXPECT_GE(restarted, single) << c.name;
  }
}

}  // namespace
