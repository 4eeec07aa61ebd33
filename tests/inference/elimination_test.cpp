#include "inference/elimination.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// Families and state counts of a small graph, turned into the plain arrays
// the search reads.
struct Graph {
  std::vector<uint32_t> states;
  std::vector<std::vector<int>> parents;
  std::vector<int> offsets;
  std::vector<int> flat;
  qelta::EliminationProblem problem;

  Graph(std::vector<uint32_t> s, std::vector<std::vector<int>> p)
      : states(std::move(s)), parents(std::move(p)) {
    offsets.push_back(0);
    for (const auto& family : parents) {
      flat.insert(flat.end(), family.begin(), family.end());
      offsets.push_back(static_cast<int>(flat.size()));
    }
    problem.node_count = static_cast<int>(states.size());
    problem.states = states.data();
    problem.parent_offsets = offsets.data();
    problem.parents = flat.data();
  }
};

std::vector<int> Members(const VRN_clique& c) {
  return {c.members, c.members + c.member_count};
}
std::vector<int> Separator(const VRN_clique& c) {
  return {c.separator, c.separator + c.separator_count};
}

// A complete graph of count nodes: the last node has all others as parents.
Graph Complete(int count, uint32_t states) {
  std::vector<std::vector<int>> parents(count);
  for (int i = 0; i + 1 < count; ++i) parents[count - 1].push_back(i);
  return Graph(std::vector<uint32_t>(count, states), parents);
}

bool Search(const Graph& g, uint32_t limit, VRN_cliqueStore* store) {
  VRN_eliminationSearch search(g.problem, store);
  return search.Run(limit);
}

// The search as plainly described: dense adjacency, full simplicial passes
// in index order, a linear scan for the smallest weight with weights above
// 2^30 recomputed on demand. Cliques come back in formation order.
struct RefClique {
  int node;
  std::vector<int> members, separator;
  uint64_t size;
  int parent;
};

bool ReferenceSearch(const Graph& g, uint32_t limit,
                     std::vector<RefClique>* out) {
  const int n = static_cast<int>(g.states.size());
  const uint64_t kMax = 0x40000000u;
  if (limit == 0) limit = 0x10000000u;
  std::vector<std::vector<char>> adj(n, std::vector<char>(n, 0));
  std::vector<std::vector<int>> nb(n);
  std::vector<uint32_t> weight(g.states);
  std::vector<char> gone(n, 0);
  uint64_t total = 0;
  int eliminated = 0;
  auto mul = [&](int a, uint64_t f) {
    if (weight[a] == 0) return;
    const uint64_t p = weight[a] * f;
    weight[a] = p > kMax ? 0 : static_cast<uint32_t>(p);
  };
  auto add_edge = [&](int a, int b) {
    if (a == b || adj[a][b]) return;
    adj[a][b] = adj[b][a] = 1;
    nb[a].push_back(b);
    nb[b].push_back(a);
    mul(a, g.states[b]);
    mul(b, g.states[a]);
  };
  auto recompute = [&](int v) -> uint64_t {
    uint64_t p = g.states[v];
    for (int u : nb[v]) p = std::min<uint64_t>(p * g.states[u], kMax + 1);
    return p;
  };
  auto remove = [&](int v) {
    for (int u : nb[v]) {
      auto it = std::find(nb[u].begin(), nb[u].end(), v);
      *it = nb[u].back();
      nb[u].pop_back();
      adj[u][v] = adj[v][u] = 0;
      if (weight[u] != 0) weight[u] /= g.states[v];
    }
    nb[v].clear();
    gone[v] = 1;
    ++eliminated;
  };
  auto form = [&](int v, uint64_t w) {
    RefClique c{v, {v}, {}, w, -1};
    const std::vector<int> former = nb[v];
    remove(v);
    int remaining = static_cast<int>(former.size()) - 1;
    for (int k = static_cast<int>(former.size()) - 1; k >= 0; --k) {
      const int u = former[k];
      if (c.members.size() == 30) return false;
      c.members.push_back(u);
      if (static_cast<int>(nb[u].size()) == remaining) {
        remove(u);
        --remaining;
      } else {
        c.separator.push_back(u);
      }
    }
    out->push_back(c);
    total += w;
    return true;
  };
  auto exceeds = [&] { return limit != 0xFFFFFFFFu && total > limit; };
  for (int i = 0; i < n; ++i) {
    const auto& ps = g.parents[i];
    for (int p : ps) add_edge(i, p);
    for (int a = static_cast<int>(ps.size()) - 2; a >= 0; --a) {
      for (std::size_t b = a + 1; b < ps.size(); ++b) add_edge(ps[a], ps[b]);
    }
  }
  for (;;) {
    bool any = true;
    while (any) {
      any = false;
      for (int v = 0; v < n; ++v) {
        if (gone[v]) continue;
        bool simplicial = true;
        for (std::size_t a = 0; a < nb[v].size() && simplicial; ++a) {
          for (std::size_t b = a + 1; b < nb[v].size(); ++b) {
            if (!adj[nb[v][a]][nb[v][b]]) simplicial = false;
          }
        }
        if (!simplicial) continue;
        const uint64_t w = weight[v] != 0 ? weight[v] : recompute(v);
        if (w > kMax || !form(v, w)) return false;
        any = true;
      }
    }
    if (eliminated == n) break;
    int best = -1;
    for (int v = 0; v < n; ++v) {
      if (gone[v]) continue;
      if (weight[v] == 0 && recompute(v) <= kMax) {
        weight[v] = static_cast<uint32_t>(recompute(v));
      }
      if (weight[v] != 0 && (best < 0 || weight[v] < weight[best])) best = v;
    }
    if (best < 0) return false;
    const std::vector<int> around = nb[best];
    for (std::size_t a = 0; a < around.size(); ++a) {
      for (std::size_t b = a + 1; b < around.size(); ++b) {
        add_edge(around[a], around[b]);
      }
    }
    if (!form(best, weight[best]) || exceeds()) return false;
  }
  if (exceeds()) return false;
  for (std::size_t c = 0; c + 1 < out->size(); ++c) {
    for (std::size_t p = c + 1; p < out->size(); ++p) {
      const auto& m = (*out)[p].members;
      bool holds = true;
      for (int s : (*out)[c].separator) {
        if (std::find(m.begin(), m.end(), s) == m.end()) holds = false;
      }
      if (holds) {
        (*out)[c].parent = static_cast<int>(p);
        break;
      }
    }
  }
  for (auto& c : *out) {
    std::sort(c.members.begin(), c.members.end());
    std::sort(c.separator.begin(), c.separator.end());
  }
  return true;
}

Graph RandomGraph(std::mt19937& rng, int n, int max_parents) {
  std::vector<uint32_t> states(n);
  for (auto& s : states) s = std::uniform_int_distribution<uint32_t>(1, 3)(rng);
  // A random DAG under a random numbering of the nodes.
  std::vector<int> label(n);
  for (int i = 0; i < n; ++i) label[i] = i;
  std::shuffle(label.begin(), label.end(), rng);
  std::vector<std::vector<int>> parents(n);
  for (int i = 1; i < n; ++i) {
    const int k = std::uniform_int_distribution<int>(0, max_parents)(rng);
    for (int j = 0; j < k; ++j) {
      const int p = label[std::uniform_int_distribution<int>(0, i - 1)(rng)];
      auto& ps = parents[label[i]];
      if (std::find(ps.begin(), ps.end(), p) == ps.end()) ps.push_back(p);
    }
  }
  return Graph(states, parents);
}

TEST(EliminationTest, ChainFormsTwoLinkedCliques) {
  // A - B - C, two states each.
  const Graph g({2, 2, 2}, {{}, {0}, {1}});
  VRN_cliqueStore store;
  VRN_eliminationSearch search(g.problem, &store);
  ASSERT_TRUE(search.Run(0));
  ASSERT_EQ(store.count(), 2);
  const VRN_clique& first = *store.clique(0);
  const VRN_clique& second = *store.clique(1);
  EXPECT_EQ(first.eliminated_node, 0);
  EXPECT_EQ(Members(first), (std::vector<int>{0, 1}));
  EXPECT_EQ(Separator(first), (std::vector<int>{1}));
  EXPECT_EQ(first.size, 4u);
  EXPECT_EQ(second.eliminated_node, 1);
  EXPECT_EQ(Members(second), (std::vector<int>{1, 2}));
  EXPECT_EQ(second.separator_count, 0);
  EXPECT_EQ(first.parent, &second);
  EXPECT_EQ(second.parent, nullptr);
  ASSERT_EQ(second.child_count, 1);
  EXPECT_EQ(second.children[0], &first);
  EXPECT_EQ(store.root(), &second);
  EXPECT_EQ(search.total(), 8u);
  EXPECT_EQ(search.eliminated(), 3);
}

TEST(EliminationTest, CliqueMembersAreBoundedWhateverTheLimit) {
  VRN_cliqueStore store;
  // Observed nodes (one state) keep sizes tiny: only the member count
  // matters. 31 members fail, 30 pass.
  EXPECT_FALSE(Search(Complete(31, 1), 0xFFFFFFFFu, &store));
  ASSERT_TRUE(Search(Complete(30, 1), 0xFFFFFFFFu, &store));
  ASSERT_EQ(store.count(), 1);
  EXPECT_EQ(store.clique(0)->member_count, 30);
  EXPECT_TRUE(Search(Complete(30, 1), 1, &store));
}

TEST(EliminationTest, CliqueCellsAreBoundedWhateverTheLimit) {
  VRN_cliqueStore store;
  // 2^30 cells exactly pass when the total is not bounded.
  ASSERT_TRUE(Search(Complete(30, 2), 0xFFFFFFFFu, &store));
  EXPECT_EQ(store.clique(0)->size, 0x40000000u);
  // 40000 x 40000 cells, and 3 x 2^29, exceed 2^30.
  EXPECT_FALSE(Search(Graph({40000, 40000}, {{}, {0}}), 0xFFFFFFFFu, &store));
  Graph three = Complete(30, 2);
  three.states[29] = 3;
  EXPECT_FALSE(Search(three, 0xFFFFFFFFu, &store));
}

TEST(EliminationTest, LimitZeroMeansTheDefault) {
  VRN_cliqueStore store;
  // 2^28 cells: exactly the default limit.
  EXPECT_TRUE(Search(Complete(28, 2), 0, &store));
  EXPECT_FALSE(Search(Complete(28, 2), 0x0FFFFFFFu, &store));
  // 2^29 cells: above the default, within a larger limit.
  EXPECT_FALSE(Search(Complete(29, 2), 0, &store));
  EXPECT_TRUE(Search(Complete(29, 2), 0x20000000u, &store));
}

TEST(EliminationTest, WeightsAboveTheBoundComeBackWhenNeighboursLeave) {
  // Node 0 closes a four-cycle 0-1-2-3 and carries 31 binary leaves, so
  // its weight starts far above 2^30. The leaves go first as simplicial
  // nodes; then every weight is 8 and node 0 must win the tie.
  std::vector<std::vector<int>> parents = {{3}, {0}, {1}, {2}};
  for (int leaf = 0; leaf < 31; ++leaf) parents.push_back({0});
  const Graph g(std::vector<uint32_t>(parents.size(), 2), parents);
  VRN_cliqueStore store;
  ASSERT_TRUE(Search(g, 0, &store));
  ASSERT_GT(store.count(), 31);
  EXPECT_EQ(store.clique(31)->eliminated_node, 0);
  EXPECT_EQ(store.clique(31)->size, 8u);
}

TEST(EliminationTest, MalformedProblemsFail) {
  VRN_cliqueStore store;
  EXPECT_FALSE(Search(Graph({2, 0}, {{}, {0}}), 0, &store));
  EXPECT_FALSE(Search(Graph({2, 2}, {{}, {2}}), 0, &store));
  EXPECT_FALSE(Search(Graph({2, 2}, {{}, {-2}}), 0, &store));
  // A parent outside the part (-1) gets no edge.
  ASSERT_TRUE(Search(Graph({2, 2}, {{}, {-1, 0}}), 0, &store));
  EXPECT_EQ(store.count(), 1);
}

TEST(EliminationTest, MatchesThePlainSearchOnRandomGraphs) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    const int n = std::uniform_int_distribution<int>(1, 40)(rng);
    const Graph g = RandomGraph(rng, n, 4);
    const uint32_t limit = trial % 3 == 0 ? 200u : 0xFFFFFFFFu;
    std::vector<RefClique> want;
    const bool want_ok = ReferenceSearch(g, limit, &want);
    VRN_cliqueStore store;
    VRN_eliminationSearch search(g.problem, &store);
    ASSERT_EQ(search.Run(limit), want_ok);
    if (!want_ok) continue;
    ASSERT_EQ(store.count(), static_cast<int>(want.size()));
    for (int c = 0; c < store.count(); ++c) {
      const VRN_clique& got = *store.clique(c);
      EXPECT_EQ(got.eliminated_node, want[c].node);
      EXPECT_EQ(Members(got), want[c].members);
      EXPECT_EQ(Separator(got), want[c].separator);
      EXPECT_EQ(got.size, want[c].size);
      EXPECT_EQ(got.parent ? got.parent - store.clique(0) : -1,
                want[c].parent);
    }
  }
}

}  // namespace
