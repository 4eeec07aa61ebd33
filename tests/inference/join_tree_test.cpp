#include "inference/join_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

#include "base/status.h"

namespace {

// A set of factors: per node its outcome count, evidence, parents and a
// table over (parents..., node), last dimension fastest.
struct Factors {
  std::vector<int> outcomes;
  std::vector<int> evidence;
  std::vector<std::vector<int>> parents;
  std::vector<std::vector<double>> tables;
  // Plain arrays for the problem.
  std::vector<int> offsets, flat;
  std::vector<const double*> table_ptrs;
  qelta::JoinTreeProblem problem;

  void Seal() {
    offsets.assign(1, 0);
    flat.clear();
    table_ptrs.clear();
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
      flat.insert(flat.end(), parents[i].begin(), parents[i].end());
      offsets.push_back(static_cast<int>(flat.size()));
      table_ptrs.push_back(tables[i].data());
    }
    problem.node_count = static_cast<int>(outcomes.size());
    problem.outcomes = outcomes.data();
    problem.evidence = evidence.data();
    problem.parent_offsets = offsets.data();
    problem.parents = flat.data();
    problem.tables = table_ptrs.data();
  }

  std::size_t TableSize(int i) const {
    std::size_t size = outcomes[i];
    for (int p : parents[i]) size *= outcomes[p];
    return size;
  }
};

// Enumerates every configuration: unnormalised marginals of every node and
// the probability of the evidence.
struct Enumeration {
  std::vector<std::vector<double>> marginals;
  // Per node, over its table's cells: the unnormalised family posterior.
  std::vector<std::vector<double>> families;
  double total = 0.0;
};

Enumeration Enumerate(const Factors& f) {
  const int n = static_cast<int>(f.outcomes.size());
  Enumeration e;
  for (int i = 0; i < n; ++i) {
    e.marginals.emplace_back(f.outcomes[i], 0.0);
    e.families.emplace_back(f.TableSize(i), 0.0);
  }
  std::vector<std::size_t> cell(n);
  std::vector<int> x(n, 0);
  for (;;) {
    bool consistent = true;
    for (int i = 0; i < n; ++i) {
      if (f.evidence[i] >= 0 && x[i] != f.evidence[i]) consistent = false;
    }
    if (consistent) {
      double w = 1.0;
      for (int i = 0; i < n; ++i) {
        std::size_t index = 0;
        for (int p : f.parents[i]) index = index * f.outcomes[p] + x[p];
        cell[i] = index * f.outcomes[i] + x[i];
        w *= f.tables[i][cell[i]];
      }
      e.total += w;
      for (int i = 0; i < n; ++i) {
        e.marginals[i][x[i]] += w;
        e.families[i][cell[i]] += w;
      }
    }
    int i = 0;
    while (i < n && ++x[i] == f.outcomes[i]) x[i++] = 0;
    if (i == n) break;
  }
  return e;
}

Factors RandomFactors(std::mt19937& rng, int n) {
  Factors f;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < n; ++i) {
    f.outcomes.push_back(std::uniform_int_distribution<int>(1, 3)(rng));
    std::vector<int> ps;
    const int k = i == 0 ? 0 : std::uniform_int_distribution<int>(0, 3)(rng);
    for (int j = 0; j < k; ++j) {
      const int p = std::uniform_int_distribution<int>(0, i - 1)(rng);
      if (std::find(ps.begin(), ps.end(), p) == ps.end()) ps.push_back(p);
    }
    f.parents.push_back(ps);
    f.evidence.push_back(u(rng) < 0.25 ? static_cast<int>(rng() % f.outcomes[i])
                                       : -1);
  }
  for (int i = 0; i < n; ++i) {
    std::vector<double> t(f.TableSize(i));
    // Occasional exact zeros exercise the 0 ÷ 0 rule of the outward pass.
    for (double& v : t) v = u(rng) < 0.1 ? 0.0 : u(rng);
    f.tables.push_back(t);
  }
  f.Seal();
  return f;
}

void ExpectPosteriorsMatch(const Factors& f, qelta::JoinTree* tree) {
  const Enumeration want = Enumerate(f);
  for (int i = 0; i < f.problem.node_count; ++i) {
    std::vector<double> got(f.outcomes[i], -1.0);
    const bool read = tree->Marginal(i, got.data());
    EXPECT_EQ(read, f.evidence[i] < 0) << "node " << i;
    if (!read) continue;
    double got_sum = 0.0, want_sum = 0.0;
    for (int k = 0; k < f.outcomes[i]; ++k) {
      got_sum += got[k];
      want_sum += want.marginals[i][k];
    }
    if (want.total == 0.0) continue;  // impossible evidence: no posterior
    ASSERT_GT(got_sum, 0.0) << "node " << i;
    for (int k = 0; k < f.outcomes[i]; ++k) {
      EXPECT_NEAR(got[k] / got_sum, want.marginals[i][k] / want_sum, 1e-12)
          << "node " << i << " outcome " << k;
    }
  }
}

// Initialise, then the inward and the outward pass.
void Propagate(qelta::JoinTree& tree) {
  ASSERT_EQ(tree.Initialise(), qelta::kOk);
  tree.Collect();
  ASSERT_EQ(tree.Distribute(), qelta::kOk);
}

TEST(JoinTreeTest, PosteriorsAndEvidenceMatchEnumerationOnRandomFactors) {
  std::mt19937 rng(31337);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const Factors f =
        RandomFactors(rng, std::uniform_int_distribution<int>(1, 9)(rng));
    qelta::JoinTree tree(f.problem);
    ASSERT_EQ(tree.Build(0xFFFFFFFFu), qelta::kOk);
    const double want = Enumerate(f).total;
    EXPECT_NEAR(tree.ProbabilityOfEvidence(), want, 1e-12 * want);
    ASSERT_EQ(tree.Build(0xFFFFFFFFu), qelta::kOk);
    ASSERT_NO_FATAL_FAILURE(Propagate(tree));
    ExpectPosteriorsMatch(f, &tree);
  }
}

// A -> B -> C with B observed: the two cliques share only B, so they
// exchange no message, yet both sides carry a factor of the evidence.
Factors ObservedMiddleOfChain() {
  Factors f;
  f.outcomes = {2, 2, 2};
  f.evidence = {-1, 1, -1};
  f.parents = {{}, {0}, {1}};
  f.tables = {{0.3, 0.7}, {0.9, 0.1, 0.4, 0.6}, {0.2, 0.8, 0.5, 0.5}};
  f.Seal();
  return f;
}

TEST(JoinTreeTest, FullyObservedSeparatorKeepsBothSidesOfTheEvidence) {
  const Factors f = ObservedMiddleOfChain();
  qelta::JoinTree tree(f.problem);
  ASSERT_EQ(tree.Build(0), qelta::kOk);
  ASSERT_EQ(tree.clique_count(), 2);
  // P(B = 1) = 0.3 * 0.1 + 0.7 * 0.6.
  EXPECT_NEAR(tree.ProbabilityOfEvidence(), 0.45, 1e-15);

  ASSERT_EQ(tree.Build(0), qelta::kOk);
  ASSERT_NO_FATAL_FAILURE(Propagate(tree));
  ExpectPosteriorsMatch(f, &tree);
}

TEST(JoinTreeTest, TablesGoToTheSmallestCliqueHoldingTheirFamily) {
  std::mt19937 rng(8);
  for (int trial = 0; trial < 100; ++trial) {
    SCOPED_TRACE(trial);
    const Factors f = RandomFactors(rng, 12);
    qelta::JoinTree tree(f.problem);
    ASSERT_EQ(tree.Build(0xFFFFFFFFu), qelta::kOk);
    std::vector<int> assigned_to(f.outcomes.size(), -1);
    for (int r = 0; r < tree.clique_count(); ++r) {
      const VRN_clique* c = tree.sorted_clique(r);
      if (r > 0) {
        const VRN_clique* prev = tree.sorted_clique(r - 1);
        EXPECT_TRUE(prev->size < c->size ||
                    (prev->size == c->size &&
                     prev->member_count <= c->member_count));
      }
      for (int a = 0; a < c->assigned_count; ++a) {
        EXPECT_EQ(assigned_to[c->assigned[a]], -1);
        assigned_to[c->assigned[a]] = r;
      }
    }
    for (int i = 0; i < f.problem.node_count; ++i) {
      int first = -1;
      for (int r = 0; r < tree.clique_count() && first < 0; ++r) {
        const VRN_clique* c = tree.sorted_clique(r);
        bool holds = c->HasMember(i);
        for (int p : f.parents[i]) holds = holds && c->HasMember(p);
        if (holds) first = r;
      }
      EXPECT_EQ(assigned_to[i], first) << "node " << i;
    }
  }
}

TEST(JoinTreeTest, FindHolderNeedsOneCliqueWithEveryNode) {
  // A -> B -> C: no clique holds A and C together.
  Factors f = ObservedMiddleOfChain();
  f.evidence[1] = -1;
  f.Seal();
  qelta::JoinTree tree(f.problem);
  ASSERT_EQ(tree.Build(0), qelta::kOk);
  ASSERT_EQ(tree.Initialise(), qelta::kOk);
  const int ac[2] = {0, 2};
  const int cb[2] = {2, 1};
  EXPECT_EQ(tree.FindHolder(ac, 2), -1);
  const int holder = tree.FindHolder(cb, 2);
  ASSERT_GE(holder, 0);
  EXPECT_TRUE(tree.sorted_clique(holder)->HasMember(1));
  EXPECT_TRUE(tree.sorted_clique(holder)->HasMember(2));
  EXPECT_EQ(tree.FindHolder(nullptr, 0), 0);
}

// A node whose k parents have one outcome each: one clique of k + 1
// members but only two cells, so only the member bound can refuse it.
TEST(JoinTreeTest, ACliqueOfMoreThanThirtyMembersFailsWhateverTheLimit) {
  for (int k : {29, 30}) {
    SCOPED_TRACE(k);
    Factors f;
    for (int i = 0; i < k; ++i) {
      f.outcomes.push_back(1);
      f.evidence.push_back(-1);
      f.parents.emplace_back();
      f.tables.push_back({1.0});
    }
    std::vector<int> all(k);
    for (int i = 0; i < k; ++i) all[i] = i;
    f.outcomes.push_back(2);
    f.evidence.push_back(-1);
    f.parents.push_back(all);
    f.tables.push_back({0.25, 0.75});
    f.Seal();
    qelta::JoinTree tree(f.problem);
    if (k == 29) {
      ASSERT_EQ(tree.Build(0), qelta::kOk);
      ASSERT_NO_FATAL_FAILURE(Propagate(tree));
      double out[2];
      ASSERT_TRUE(tree.Marginal(k, out));
      EXPECT_NEAR(out[1] / (out[0] + out[1]), 0.75, 1e-15);
    } else {
      EXPECT_EQ(tree.Build(0xFFFFFFFFu), qelta::kErrOutOfMemory);
    }
  }
}

// Every table is allocated once, by Initialise: the passes reuse the clique
// and separator cells in place (the outward pass works in one scratch table
// sized for the largest separator), so no cell pointer moves.
TEST(JoinTreeTest, PassesKeepEveryTableWhereInitialiseMadeIt) {
  std::mt19937 rng(31);
  int messages = 0;
  for (int round = 0; round < 50; ++round) {
    const Factors f = RandomFactors(rng, 10);
    qelta::JoinTree tree(f.problem);
    ASSERT_EQ(tree.Build(0), qelta::kOk);
    ASSERT_EQ(tree.Initialise(), qelta::kOk);
    std::vector<const double*> before;
    for (int r = 0; r < tree.clique_count(); ++r) {
      const VRN_clique* c = tree.sorted_clique(r);
      before.push_back(c->potential.items());
      before.push_back(c->separator_potential.items());
      if (!c->parent_to_separator.empty()) ++messages;
    }
    tree.Collect();
    ASSERT_EQ(tree.Distribute(), qelta::kOk);
    std::vector<const double*> after;
    for (int r = 0; r < tree.clique_count(); ++r) {
      after.push_back(tree.sorted_clique(r)->potential.items());
      after.push_back(tree.sorted_clique(r)->separator_potential.items());
    }
    EXPECT_EQ(before, after) << "round " << round;
    ExpectPosteriorsMatch(f, &tree);
  }
  EXPECT_GT(messages, 100);
}

TEST(JoinTreeTest, RefusesMalformedFactorsAndUnfittingTrees) {
  Factors f = ObservedMiddleOfChain();
  f.evidence[1] = 2;  // outside the outcomes
  f.Seal();
  qelta::JoinTree bad_evidence(f.problem);
  EXPECT_EQ(bad_evidence.Build(0), qelta::kErrOutOfRange);

  f = ObservedMiddleOfChain();
  f.parents[2] = {1, 1};
  f.Seal();
  qelta::JoinTree repeated(f.problem);
  EXPECT_EQ(repeated.Build(0), qelta::kErrOutOfRange);

  f = ObservedMiddleOfChain();
  f.evidence[1] = -1;
  f.Seal();
  qelta::JoinTree small_limit(f.problem);
  EXPECT_EQ(small_limit.Build(7), qelta::kErrOutOfMemory);
  EXPECT_EQ(small_limit.Build(8), qelta::kOk);
}

}  // namespace
