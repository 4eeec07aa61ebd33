// Speed of the potential kernels, the elimination search and the join tree.
//
// The kernels walk a clique table of 18 binary members (262144 cells)
// against a separator of three members. The argument picks where the
// separator members sit in the clique's member order, which decides the
// shape of the walk:
//   0: the three fastest members (a contiguous run of 8, then rewinds),
//   1: members spread through the table (runs of 2 with many carries),
//   2: the three slowest members (long runs on one separator cell),
//   3: alternate members 1, 3, 5 (fastest run of one step-0 cell pair),
//   4: a small clique of 6 members (64 cells), separator members 1, 3, 4,
//      where the cost of setting up a walk shows.
// Counters report cells of the clique table per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "inference/elimination.h"
#include "inference/join_tree.h"
#include "inference/potential_kernels.h"

namespace {

constexpr int kMembers = 18;
constexpr int kSmallMembers = 6;

struct KernelSetup {
  VRN_potential clique;
  VRN_potential separator;
  VRN_stepList steps;

  explicit KernelSetup(int placement) {
    const int count = placement == 4 ? kSmallMembers : kMembers;
    int members[kMembers];
    int sizes[kMembers];
    for (int i = 0; i < count; ++i) {
      members[i] = i;
      sizes[i] = 2;
    }
    static const int kSeparators[5][3] = {
        {0, 1, 2}, {3, 9, 15}, {15, 16, 17}, {1, 3, 5}, {1, 3, 4}};
    const int* sub = kSeparators[placement];
    const int sub_sizes[3] = {2, 2, 2};
    if (clique.SetDimensions(count, sizes) != 0 ||
        separator.SetDimensions(3, sub_sizes) != 0 ||
        steps.Build(clique, members, count, sub, 3) != 0) {
      std::abort();
    }
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(0.5, 1.5);
    for (uint32_t i = 0; i < clique.size(); ++i) clique.items()[i] = u(rng);
    for (uint32_t i = 0; i < separator.size(); ++i) {
      separator.items()[i] = u(rng);
    }
  }
};

void Report(benchmark::State& state, const KernelSetup& s) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          s.clique.size());
}

void BM_GatherCopy(benchmark::State& state) {
  KernelSetup s(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    VRN_GatherCopy(s.clique.items(), s.clique.end(), s.separator.items(),
                   s.steps);
    benchmark::DoNotOptimize(s.clique.items());
    benchmark::ClobberMemory();
  }
  Report(state, s);
}

void BM_GatherMultiply(benchmark::State& state) {
  KernelSetup s(static_cast<int>(state.range(0)));
  // Values near 1 so repeated products stay finite.
  for (uint32_t i = 0; i < s.separator.size(); ++i) {
    s.separator.items()[i] = 1.0;
  }
  for (auto _ : state) {
    VRN_GatherMultiply(s.clique.items(), s.clique.end(), s.separator.items(),
                       s.steps);
    benchmark::DoNotOptimize(s.clique.items());
    benchmark::ClobberMemory();
  }
  Report(state, s);
}

void BM_ScatterAdd(benchmark::State& state) {
  KernelSetup s(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    s.separator.Fill(0.0);
    VRN_ScatterAdd(s.separator.items(), s.clique.items(), s.clique.end(),
                   s.steps);
    benchmark::DoNotOptimize(s.separator.items());
    benchmark::ClobberMemory();
  }
  Report(state, s);
}

void BM_ScatterAddScaled(benchmark::State& state) {
  KernelSetup s(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    s.separator.Fill(0.0);
    VRN_ScatterAddScaled(s.separator.items(), s.clique.items(),
                         s.clique.end(), 3.0, s.steps);
    benchmark::DoNotOptimize(s.separator.items());
    benchmark::ClobberMemory();
  }
  Report(state, s);
}

BENCHMARK(BM_GatherCopy)->DenseRange(0, 4);
BENCHMARK(BM_GatherMultiply)->DenseRange(0, 4);
BENCHMARK(BM_ScatterAdd)->DenseRange(0, 4);
BENCHMARK(BM_ScatterAddScaled)->DenseRange(0, 4);

// A random sparse network of n nodes (up to three parents each, two to
// four states); counters report nodes per second.
void BM_EliminationSearch(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::mt19937 rng(5);
  std::vector<uint32_t> states(n);
  std::vector<int> offsets{0};
  std::vector<int> parents;
  for (int i = 0; i < n; ++i) {
    states[i] = 2 + rng() % 3;
    const int k = i == 0 ? 0 : static_cast<int>(rng() % 4);
    for (int j = 0; j < k; ++j) {
      // Mostly nearby parents, as in layered models.
      const int back = 1 + static_cast<int>(rng() % std::min(i, 20));
      parents.push_back(i - back);
    }
    offsets.push_back(static_cast<int>(parents.size()));
  }
  qelta::EliminationProblem problem;
  problem.node_count = n;
  problem.states = states.data();
  problem.parent_offsets = offsets.data();
  problem.parents = parents.data();
  VRN_cliqueStore store;
  for (auto _ : state) {
    VRN_eliminationSearch search(problem, &store);
    benchmark::DoNotOptimize(search.Run(0xFFFFFFFFu));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}

BENCHMARK(BM_EliminationSearch)->Arg(100)->Arg(1000)->Arg(5000);

// A random layered network of n binary and ternary nodes (up to three
// parents among the previous eight nodes, one node in ten observed).
struct LayeredProblem {
  std::vector<int> outcomes, evidence, offsets{0}, parents;
  std::vector<std::vector<double>> tables;
  std::vector<const double*> table_ptrs;
  qelta::JoinTreeProblem problem;

  explicit LayeredProblem(int n) : outcomes(n), evidence(n, -1), tables(n),
                                   table_ptrs(n) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(0.05, 1.0);
    for (int i = 0; i < n; ++i) {
      outcomes[i] = 2 + static_cast<int>(rng() % 2);
      const int k = i == 0 ? 0 : static_cast<int>(rng() % 4);
      std::size_t cells = outcomes[i];
      for (int j = 0; j < k; ++j) {
        const int p = i - 1 - static_cast<int>(rng() % std::min(i, 8));
        if (std::find(parents.begin() + offsets.back(), parents.end(), p) !=
            parents.end()) {
          continue;
        }
        parents.push_back(p);
        cells *= outcomes[p];
      }
      offsets.push_back(static_cast<int>(parents.size()));
      if (rng() % 10 == 0) evidence[i] = 0;
      tables[i].resize(cells);
      for (double& v : tables[i]) v = u(rng);
      table_ptrs[i] = tables[i].data();
    }
    problem.node_count = n;
    problem.outcomes = outcomes.data();
    problem.evidence = evidence.data();
    problem.parent_offsets = offsets.data();
    problem.parents = parents.data();
    problem.tables = table_ptrs.data();
  }
};

// Belief propagation over a layered network: tables sliced into cliques,
// both passes and every marginal. Counters report clique cells per second.
void BM_JoinTreePropagation(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const LayeredProblem layered(n);
  std::vector<double> marginal(3);
  int64_t cells = 0;
  for (auto _ : state) {
    qelta::JoinTree tree(layered.problem);
    if (tree.Build(0) != 0 || tree.Initialise() != 0) std::abort();
    tree.Collect();
    if (tree.Distribute() != 0) std::abort();
    for (int i = 0; i < n; ++i) tree.Marginal(i, marginal.data());
    benchmark::DoNotOptimize(marginal.data());
    if (cells == 0) {
      for (int c = 0; c < tree.clique_count(); ++c) {
        cells += tree.sorted_clique(c)->potential.size();
      }
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * cells);
  state.counters["clique_cells"] = static_cast<double>(cells);
}

BENCHMARK(BM_JoinTreePropagation)->Arg(100)->Arg(1000);

// The expectation step of learning on a propagated layered network: the
// posterior of every family added into a count table shaped like the
// node's own. Counters report families per second.
void BM_AddFamilyPosteriors(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const LayeredProblem layered(n);
  qelta::JoinTree tree(layered.problem);
  if (tree.Build(0) != 0 || tree.Initialise() != 0) std::abort();
  tree.Collect();
  if (tree.Distribute() != 0 || tree.ReserveWorkspace(81) != 0) std::abort();
  // Per family: its unobserved members, their strides, the evidence offset
  // and the clique that holds them.
  std::vector<std::vector<double>> counts(n);
  std::vector<std::vector<int>> members(n);
  std::vector<std::vector<std::ptrdiff_t>> strides(n);
  std::vector<std::ptrdiff_t> offsets(n, 0);
  std::vector<int> holders(n);
  for (int i = 0; i < n; ++i) {
    counts[i].assign(layered.tables[i].size(), 0.0);
    std::vector<int> family(layered.parents.begin() + layered.offsets[i],
                            layered.parents.begin() + layered.offsets[i + 1]);
    family.push_back(i);
    std::ptrdiff_t stride = 1;
    for (int k = static_cast<int>(family.size()) - 1; k >= 0; --k) {
      const int member = family[k];
      if (layered.evidence[member] >= 0) {
        offsets[i] += stride * layered.evidence[member];
      } else {
        members[i].push_back(member);
        strides[i].push_back(stride);
      }
      stride *= layered.outcomes[member];
    }
    holders[i] = tree.FindHolder(members[i].data(),
                                 static_cast<int>(members[i].size()));
    if (holders[i] < 0) std::abort();
  }
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      const int rc = tree.AddPosterior(
          holders[i], members[i].data(), strides[i].data(),
          static_cast<int>(members[i].size()), counts[i].data() + offsets[i]);
      benchmark::DoNotOptimize(rc);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}

BENCHMARK(BM_AddFamilyPosteriors)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
