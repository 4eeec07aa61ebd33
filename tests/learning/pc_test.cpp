// PC structure learning, its independence tests, the count cache they
// query, and patterns.
#include "learning/pc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "definitions/node_def.h"
#include "io/format.h"
#include "learning/count_cache.h"
#include "learning/independence_test.h"
#include "learning/pattern.h"
#include "learning/progress.h"
#include "network/network.h"
#include "network/node.h"
#include "structure_data.h"
#include "structure_graphs.h"

namespace {

using Rows = std::vector<std::vector<int>>;

// Columns X, Y (and S when strata > 1) holding counts[s][x][y] records each.
VRN_dataset Strata(const std::vector<Rows>& counts) {
  std::vector<std::vector<int>> cols(counts.size() > 1 ? 3 : 2);
  for (std::size_t s = 0; s < counts.size(); ++s) {
    for (std::size_t x = 0; x < counts[s].size(); ++x) {
      for (std::size_t y = 0; y < counts[s][x].size(); ++y) {
        for (int k = 0; k < counts[s][x][y]; ++k) {
          cols[0].push_back(static_cast<int>(x));
          cols[1].push_back(static_cast<int>(y));
          if (cols.size() == 3) cols[2].push_back(static_cast<int>(s));
        }
      }
    }
  }
  std::vector<int> arity{static_cast<int>(counts[0].size()), static_cast<int>(counts[0][0].size())};
  if (cols.size() == 3) arity.push_back(static_cast<int>(counts.size()));
  return structdata::Columns(cols, arity);
}

TEST(IndependenceTest, GSquaredAgainstReference) {
  struct Case {
    std::vector<Rows> counts;
    double g2;
    int df;
    double p;
    double bits;  // 0: not checked
  } cases[] = {
      {{{{10, 20, 30}, {25, 15, 10}}}, 16.9127823654, 2, 2.1253769806e-4, 0.1109090329},
      {{{{12, 8, 0}, {5, 15, 0}, {9, 6, 0}}}, 6.4782497838, 2, 0.039198182741, 0},
      {{{{20, 5}, {5, 20}}, {{10, 10}, {10, 10}}}, 19.2744757022, 2, 6.5253044680e-5, 0.1544843917},
      {{{{8, 4, 0}, {3, 9, 0}}, {{5, 5, 6}, {7, 2, 6}}}, 5.9627376271, 3, 0.11343726122, 0},
  };
  for (const Case& c : cases) {
    VRN_dataset data = Strata(c.counts);
    VRN_countCache cache(data);
    VRN_gSquaredScratch scratch;
    std::vector<int> s;
    if (c.counts.size() > 1) s.push_back(2);
    double bits = 0.0, g2 = 0.0;
    int df = 0;
    const double p = VRN_GSquaredTest(0, 1, s, cache, scratch, &bits, &g2, &df);
    EXPECT_NEAR(c.g2, g2, 1e-9);
    EXPECT_EQ(c.df, df);
    EXPECT_NEAR(c.p, p, 1e-6 * c.p);
    if (c.bits != 0) {
      EXPECT_NEAR(c.bits, bits, 1e-9);
    }
  }
  // Too few records per cell of S: no test.
  VRN_dataset few = Strata({{{2, 1}, {1, 1}}, {{1, 1}, {1, 2}}});
  VRN_countCache cache(few);
  VRN_gSquaredScratch scratch;
  EXPECT_EQ(-1.0, VRN_GSquaredTest(0, 1, {2}, cache, scratch, nullptr));
}

TEST(IndependenceTest, ChiSquaredTailAgainstClosedForm) {
  // For even df the tail is exp(-x/2) times a finite sum (computed offline).
  struct Case {
    double x;
    int df;
    double p;
  } cases[] = {{3.0, 4, 0.5578254003710745},         {50.0, 40, 0.13357483408565002},
               {1000.0, 1000, 0.49405285382914776},  {1100.0, 1000, 0.014614408126291058},
               {99500.0, 100000, 0.8683043570036929}, {100000.0, 100000, 0.4994052918974775},
               {101000.0, 100000, 0.012868840377750948}, {150.0, 100, 0.0009039320423539947},
               {2.0, 100, 1.0}};
  for (const Case& c : cases) {
    EXPECT_NEAR(c.p, VRN_GammaQ(c.df / 2.0, c.x / 2.0), 1e-5) << c.x << " " << c.df;
  }
}

// Inverse of a small symmetric matrix by Gauss-Jordan.
std::vector<double> Inverse(std::vector<double> m, int n) {
  std::vector<double> inv(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i) inv[static_cast<std::size_t>(i * n + i)] = 1.0;
  for (int c = 0; c < n; ++c) {
    const double pivot = m[static_cast<std::size_t>(c * n + c)];
    for (int k = 0; k < n; ++k) {
      m[static_cast<std::size_t>(c * n + k)] /= pivot;
      inv[static_cast<std::size_t>(c * n + k)] /= pivot;
    }
    for (int r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = m[static_cast<std::size_t>(r * n + c)];
      for (int k = 0; k < n; ++k) {
        m[static_cast<std::size_t>(r * n + k)] -= f * m[static_cast<std::size_t>(c * n + k)];
        inv[static_cast<std::size_t>(r * n + k)] -= f * inv[static_cast<std::size_t>(c * n + k)];
      }
    }
  }
  return inv;
}

TEST(IndependenceTest, PartialCorrelationsAndFisherZ) {
  std::mt19937 rng(3);
  std::normal_distribution<double> normal(0.0, 1.0);
  VRN_dataset data;
  const int n = 5;
  for (int v = 0; v < n; ++v) ASSERT_EQ(0, data.addFloatVariable("V" + std::to_string(v), -999.0f));
  for (int r = 0; r < 200; ++r) {
    data.AddEmptyRecord();
    const double h = normal(rng);
    for (int v = 0; v < n; ++v) data.SetFloat(v, r, static_cast<float>(h * (v + 1) * 0.3 + normal(rng)));
  }
  VRN_correlationData corr(data);
  std::vector<double> full(static_cast<std::size_t>(n * n));
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) full[static_cast<std::size_t>(a * n + b)] = a == b ? 1.0 : corr.PartialCorrelation(a, b, {});
  }
  for (const std::vector<int>& s : {std::vector<int>{2}, {2, 3}, {4, 2, 3}}) {
    std::vector<int> vars{0, 1};
    vars.insert(vars.end(), s.begin(), s.end());
    const int m = static_cast<int>(vars.size());
    std::vector<double> sub(static_cast<std::size_t>(m * m));
    for (int i = 0; i < m; ++i) {
      for (int j = 0; j < m; ++j) {
        sub[static_cast<std::size_t>(i * m + j)] =
            full[static_cast<std::size_t>(vars[static_cast<std::size_t>(i)] * n + vars[static_cast<std::size_t>(j)])];
      }
    }
    const std::vector<double> p = Inverse(sub, m);
    const double expected = -p[1] / std::sqrt(p[0] * p[static_cast<std::size_t>(m + 1)]);
    const double r = corr.PartialCorrelation(0, 1, s);
    EXPECT_NEAR(expected, r, 1e-9);
    const double z = std::fabs(0.5 * std::sqrt(200.0 - s.size() - 3) * std::log((1 + r) / (1 - r)));
    EXPECT_NEAR(std::erfc(z / std::sqrt(2.0)), corr.FisherZTest(0, 1, s), 1e-6);
  }
  EXPECT_GT(corr.GetCachedCount(), 0u);
}

VRN_pattern Make(int n, const std::vector<std::vector<int>>& entries) {
  VRN_pattern p;
  p.SetSize(n);
  for (const auto& e : entries) p.SetEdge(e[0], e[1], e[2]);
  return p;
}

std::vector<std::vector<int>> Entries(const VRN_pattern& p) {
  std::vector<std::vector<int>> out;
  for (int i = 0; i < p.GetSize(); ++i) {
    for (int j = 0; j < p.GetSize(); ++j) {
      if (p.GetEdge(i, j) != 0) out.push_back({i, j, p.GetEdge(i, j)});
    }
  }
  return out;
}

TEST(PatternTest, DagExtension) {
  struct Case {
    int n;
    std::vector<std::vector<int>> entries;
    bool isDag;
    bool hasCycle;
    bool extends;
    std::vector<std::vector<int>> after;
  } cases[] = {
      {2, {{0, 1, 1}, {1, 0, 1}}, false, false, true, {{1, 0, 2}}},
      {2, {{0, 1, 2}, {1, 0, 2}}, false, false, true, {{0, 1, 2}}},
      {3, {{0, 1, 2}, {1, 2, 2}, {2, 0, 2}}, false, true, false, {{0, 1, 2}, {1, 2, 2}, {2, 0, 2}}},
      {4, {{0, 2, 2}, {1, 2, 2}, {2, 3, 1}, {3, 2, 1}}, false, false, true, {{0, 2, 2}, {1, 2, 2}, {2, 3, 2}}},
      {4,
       {{0, 1, 1}, {1, 0, 1}, {1, 2, 1}, {2, 1, 1}, {2, 3, 1}, {3, 2, 1}, {3, 0, 1}, {0, 3, 1}},
       false, false, true, {{0, 1, 2}, {0, 3, 2}, {1, 2, 2}, {2, 3, 2}}},
      {3, {{0, 1, 2}, {2, 1, 2}}, true, false, true, {{0, 1, 2}, {2, 1, 2}}},
  };
  for (const Case& c : cases) {
    VRN_pattern p = Make(c.n, c.entries);
    EXPECT_EQ(c.isDag, p.IsDAG());
    EXPECT_EQ(c.hasCycle, p.HasCycle());
    EXPECT_EQ(c.extends, p.ToDAG());
    EXPECT_EQ(c.after, Entries(p));
    EXPECT_EQ(c.extends, p.IsDAG());
  }
  VRN_pattern shrink = Make(3, {{0, 1, 2}, {1, 2, 1}});
  shrink.SetSize(2);
  EXPECT_EQ((std::vector<std::vector<int>>{{0, 1, 2}}), Entries(shrink));
  EXPECT_THROW(shrink.SetSize(-1), std::length_error);
}

TEST(PatternTest, MakeNetwork) {
  VRN_dataset data;
  ASSERT_EQ(0, data.addIntVariable("a b", -1));
  ASSERT_EQ(0, data.addIntVariable("C", -1));
  ASSERT_EQ(0, data.setStateNames(1, {"1", "x", "x y"}));
  for (int r = 0; r < 3; ++r) {
    data.AddEmptyRecord();
    data.SetInt(0, r, r);
    data.SetInt(1, r, r);
  }
  VRN_pattern p = Make(2, {{0, 1, 1}, {1, 0, 1}});
  VRN_network net;
  ASSERT_TRUE(p.MakeNetwork(data, net));
  EXPECT_EQ((structgraph::Arcs{{"C", "a_b"}}), structgraph::ArcsOf(net));
  EXPECT_STREQ("a b", net.GetNode(0)->Header().GetName());
  const VRN_idArray* a = net.GetNode(0)->Definition()->GetOutcomesNames();
  EXPECT_EQ(3, a->GetSize());
  EXPECT_STREQ("S2", a->Get(2));
  const VRN_idArray* c = net.GetNode(1)->Definition()->GetOutcomesNames();
  ASSERT_EQ(3, c->GetSize());
  EXPECT_STREQ("S1", c->Get(0));
  EXPECT_STREQ("x", c->Get(1));
  EXPECT_STREQ("Sx_y", c->Get(2));
  VRN_pattern wrong = Make(3, {});
  EXPECT_FALSE(wrong.MakeNetwork(data, net));
  VRN_pattern cyclic = Make(2, {{0, 1, 2}, {1, 0, 2}});
  EXPECT_TRUE(cyclic.MakeNetwork(data, net));  // mutual entries are one arc
}

TEST(PcTest, RefusalsAndDepthLimit) {
  VRN_dataset twoConstants = structdata::Columns({{1, 1, 1}, {0, 1, 0}, {2, 2, 2}}, {2, 2, 3});
  VRN_dataset missing = structdata::Columns({{1, 1, -1, 1}, {0, 1, 0, 1}}, {2, 2});
  VRN_dataset mixed = structdata::Columns({{0, 1, 0}}, {2});
  ASSERT_EQ(0, mixed.addFloatVariable("F", -1.0f));
  struct Case {
    VRN_dataset data;
    std::string text;
  } cases[] = {
      {structdata::Pairs({1, 1, 0, 0}), "PC: too few data points"},
      {structdata::Columns({{0, 1, 1}}, {2}), "PC: too few variables"},
      {mixed, "PC: a mix of continuous and discrete variables is not allowed"},
      {twoConstants, "PC: constant not allowed: A C"},
      {missing, "PC: missing values not allowed"},
  };
  for (const Case& c : cases) {
    VRN_pc pc;
    VRN_pattern p;
    std::string text;
    EXPECT_EQ(-1, pc.Learn(c.data, p, &text, nullptr));
    EXPECT_EQ(c.text, text);
  }
  // 3 to 5 records: no test can be made, the pattern stays complete; a
  // forbidden arc leaves the reverse.
  VRN_pc pc;
  pc.bkKnowledge.forbiddenArcs = {{0, 1}};
  VRN_pattern p;
  ASSERT_EQ(0, pc.Learn(structdata::Columns({{0, 1, 0, 1}, {1, 0, 0, 1}, {0, 0, 1, 1}}, {2, 2, 2}), p, nullptr, nullptr));
  EXPECT_EQ(0, p.GetEdge(0, 1));
  EXPECT_EQ(2, p.GetEdge(1, 0));
  EXPECT_EQ(1, p.GetEdge(0, 2));
  EXPECT_EQ(1, p.GetEdge(1, 2));
  // Depth limit log2(N / 5) - 2: 5 at 1,000 records, 0 below 40.
  std::mt19937 rng(1);
  for (const auto& [records, depth] : {std::pair<int, int>{1000, 5}, {39, 0}}) {
    std::vector<std::vector<int>> cols(9);
    for (int r = 0; r < records; ++r) {
      const int h = static_cast<int>(rng() % 2);
      for (auto& col : cols) col.push_back(rng() % 8 == 0 ? 1 - h : h);
    }
    VRN_pcStatistics stats;
    VRN_pc deep;
    deep.statistics = &stats;
    ASSERT_EQ(0, deep.Learn(structdata::Columns(cols, std::vector<int>(9, 2)), p, nullptr, nullptr));
    EXPECT_EQ(depth, stats.depthReached);
  }
}

// Noisy copies of one hidden binary variable: every pair stays dependent
// given the others, so the search meets millions of conditioning sets.
VRN_dataset NoisyCopies(int columns, int records, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<int>> cols(static_cast<std::size_t>(columns));
  for (int r = 0; r < records; ++r) {
    const int h = static_cast<int>(rng() % 2);
    for (auto& col : cols) col.push_back(rng() % 8 == 0 ? 1 - h : h);
  }
  return structdata::Columns(cols, std::vector<int>(static_cast<std::size_t>(columns), 2));
}

TEST(PcTest, TimeLimitStopsTheRunAndSaysSo) {
  VRN_pc pc;
  pc.maxSearchTime = 1;
  VRN_pattern p;
  std::string text;
  EXPECT_EQ(qelta::kErrCancelled, pc.Learn(NoisyCopies(150, 400, 5), p, &text, nullptr));
  EXPECT_EQ("PC: time limit of 1 s reached", text);
  EXPECT_EQ(0, p.GetSize());  // no pattern from part of the search

  // A run that ends in time gives the pattern of a run without a limit.
  const VRN_dataset small = NoisyCopies(6, 300, 6);
  VRN_pattern free_run;
  VRN_pattern limited;
  pc.maxSearchTime = 0;
  ASSERT_EQ(0, pc.Learn(small, free_run, nullptr, nullptr));
  pc.maxSearchTime = 600;
  ASSERT_EQ(0, pc.Learn(small, limited, &text, nullptr));
  ASSERT_EQ(6, limited.GetSize());
  for (int e = 0; e < 36; ++e) EXPECT_EQ(free_run.GetEdge(e / 6, e % 6), limited.GetEdge(e / 6, e % 6));
}

TEST(PcTest, OddValuesAreRecodedForCounting) {
  // Y follows X; Z is noise. Values far outside any table, negative ones,
  // and the same data in small codes give one pattern.
  std::vector<std::vector<int>> small(3), odd(3);
  std::mt19937 rng(4);
  for (int r = 0; r < 400; ++r) {
    const int x = static_cast<int>(rng() % 2);
    const int y = rng() % 10 == 0 ? 1 - x : x;
    const int z = static_cast<int>(rng() % 2);
    small[0].push_back(x);
    small[1].push_back(y);
    small[2].push_back(z);
    odd[0].push_back(x == 0 ? -7 : 2000000000);
    odd[1].push_back(y + 5000);
    odd[2].push_back(z - 3);
  }
  VRN_dataset oddData = structdata::Columns(odd, {0, 0, 0});
  VRN_pc pc;
  VRN_pattern expected, got;
  ASSERT_EQ(0, pc.Learn(structdata::Columns(small, {2, 2, 2}), expected, nullptr, nullptr));
  ASSERT_EQ(0, pc.Learn(oddData, got, nullptr, nullptr));
  EXPECT_EQ(Entries(expected), Entries(got));
  EXPECT_EQ(1, got.GetEdge(0, 1));
  EXPECT_EQ(odd[0][0], oddData.GetInt(0, 0));  // recoded privately
}

TEST(PcTest, RecoversSharedNetworks) {
  struct Case {
    const char* name;
    int missing;
    int extra;
  } cases[] = {{"asia", 2, 2}, {"child", 2, 2}, {"alarm", 6, 4}};
  for (const Case& c : cases) {
    const std::string file = std::string(QELTA_SHARED_DIR) + "/data/networks/net/" + c.name + ".net";
    if (!std::filesystem::exists(file)) GTEST_SKIP() << "shared networks are absent";
    VRN_network truth;
    ASSERT_EQ(0, truth.ReadFile(file.c_str(), qelta::kFormatHugin, 0));
    VRN_dataset data = structdata::Sample(truth, 10000, 1);
    VRN_pc pc;
    VRN_pattern pattern;
    ASSERT_EQ(0, pc.Learn(data, pattern, nullptr, nullptr));
    structgraph::Arcs skeleton;
    for (int a = 0; a < pattern.GetSize(); ++a) {
      for (int b = 0; b < pattern.GetSize(); ++b) {
        if (pattern.GetEdge(a, b) != 0) skeleton.emplace(data.GetVariable(a).id, data.GetVariable(b).id);
      }
    }
    // Undirected edges appear both ways: compare adjacencies only.
    const auto cmp = structgraph::Compare(structgraph::ArcsOf(truth), skeleton);
    std::printf("PC %s: missing %d extra %d\n", c.name, cmp.missing, cmp.extra);
    EXPECT_LE(cmp.missing, c.missing) << c.name;
    EXPECT_LE(cmp.extra, c.extra) << c.name;
  }
}

TEST(PatternTest, ContinuousDataMakeEquationNodes) {
  VRN_dataset data;
  ASSERT_EQ(0, data.addFloatVariable("x", -1.0f));
  ASSERT_EQ(0, data.addFloatVariable("y", -1.0f));
  VRN_network probe;
  if (probe.AddNode(qelta::kDefEquation, "e") < 0) GTEST_SKIP() << "equation nodes are not available yet";
  VRN_pattern p = Make(2, {{0, 1, 2}});
  VRN_network net;
  ASSERT_TRUE(p.MakeNetwork(data, net));
  EXPECT_EQ(qelta::kDefEquation, net.GetNode(0)->Definition()->GetType());
  EXPECT_EQ(qelta::kDefEquation, net.GetNode(1)->Definition()->GetType());
}

// ---- The count cache the tests query.

int BruteCount(const VRN_dataset& data, const std::vector<VRN_countCache::Pair>& pairs) {
  int total = 0;
  for (int r = 0; r < data.GetRecordCount(); ++r) {
    bool all = true;
    for (const auto& p : pairs) all = all && data.GetInt(p.first, r) == p.second;
    total += all ? 1 : 0;
  }
  return total;
}

struct Shape {
  int variables;
  int arity;
  int records;
  int memoryLimit;  // MiB, 0: default
  bool index;       // a record index with repeats
  int maxQuery;
};

TEST(CountCacheTest, AgreesWithBruteForceOnRandomQueries) {
  const Shape shapes[] = {
      {8, 3, 500, 0, false, 4},
      {8, 3, 500, 0, true, 4},
      {20, 40, 2000, 1, false, 6},  // builds pass 1 MiB again and again
      {20, 40, 2000, 1, true, 6},
  };
  std::mt19937 rng(7);
  for (const Shape& s : shapes) {
    std::vector<std::vector<int>> cols(static_cast<std::size_t>(s.variables));
    for (auto& c : cols) {
      for (int r = 0; r < s.records; ++r) c.push_back(static_cast<int>(rng() % static_cast<unsigned>(s.arity)));
    }
    VRN_dataset data = structdata::Columns(cols, std::vector<int>(cols.size(), s.arity));
    if (s.index) {
      std::vector<int> index;
      for (int r = 0; r < s.records; ++r) index.push_back(static_cast<int>(rng() % 50));
      ASSERT_EQ(0, data.SetRecordIndex(index));
    }
    VRN_countCache cache(data);
    if (s.memoryLimit != 0) cache.memory_limit = s.memoryLimit;
    EXPECT_EQ(data.GetRecordCount(), cache.GetCount({}));
    for (int q = 0; q < 2000; ++q) {
      std::vector<int> vars(static_cast<std::size_t>(s.variables));
      for (int v = 0; v < s.variables; ++v) vars[static_cast<std::size_t>(v)] = v;
      std::shuffle(vars.begin(), vars.end(), rng);
      const int size = 1 + static_cast<int>(rng() % static_cast<unsigned>(s.maxQuery));
      std::vector<VRN_countCache::Pair> pairs;
      for (int k = 0; k < size; ++k) {
        // Mostly values seen in a record, so that counts are not all zero.
        const int v = vars[static_cast<std::size_t>(k)];
        pairs.emplace_back(v, q % 3 == 0 ? static_cast<int>(rng() % static_cast<unsigned>(s.arity))
                                         : data.GetInt(v, q % data.GetRecordCount()));
      }
      ASSERT_EQ(BruteCount(data, pairs), cache.GetCount(pairs)) << "query " << q;
    }
    if (s.memoryLimit == 1) {
      EXPECT_GT(cache.GetResetCount(), 0);
    }
  }
}

TEST(CountCacheTest, NonZeroCountsCoverTheRecords) {
  VRN_dataset data = structdata::Columns({{0, 1, 1, 2, 2, 2}, {0, 0, 1, 1, 1, 1}}, {3, 2});
  VRN_countCache cache(data);
  std::vector<int> counts;
  const int both[] = {0, 1};
  cache.GetNonZeroCounts(both, 2, counts);
  std::sort(counts.begin(), counts.end());
  EXPECT_EQ((std::vector<int>{1, 1, 1, 3}), counts);
  EXPECT_EQ(0, cache.GetCount({{1, 0}, {0, 2}}));
  EXPECT_EQ(3, cache.GetCount({{1, 1}, {0, 2}}));
}

}  // namespace
