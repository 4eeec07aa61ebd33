// Speed of the potential kernels and of the elimination search.
//
// The kernels walk a clique table of 18 binary members (262144 cells)
// against a separator of three members. The argument picks where the
// separator members sit in the clique's member order, which decides the
// shape of the walk:
//   0: the three fastest members (a contiguous run of 8, then rewinds),
//   1: members spread through the table (runs of 2 with many carries),
//   2: the three slowest members (long runs on one separator cell),
//   3: alternate members 1, 3, 5 (fastest run of one step-0 cell pair).
// Counters report cells of the clique table per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "inference/elimination.h"
#include "inference/potential_kernels.h"

namespace {

constexpr int kMembers = 18;

struct KernelSetup {
  VRN_potential clique;
  VRN_potential separator;
  VRN_stepList steps;

  explicit KernelSetup(int placement) {
    int members[kMembers];
    int sizes[kMembers];
    for (int i = 0; i < kMembers; ++i) {
      members[i] = i;
      sizes[i] = 2;
    }
    static const int kSeparators[4][3] = {
        {0, 1, 2}, {3, 9, 15}, {15, 16, 17}, {1, 3, 5}};
    const int* sub = kSeparators[placement];
    const int sub_sizes[3] = {2, 2, 2};
    if (clique.SetDimensions(kMembers, sizes) != 0 ||
        separator.SetDimensions(3, sub_sizes) != 0 ||
        steps.Build(clique, members, kMembers, sub, 3) != 0) {
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

BENCHMARK(BM_GatherCopy)->DenseRange(0, 3);
BENCHMARK(BM_GatherMultiply)->DenseRange(0, 3);
BENCHMARK(BM_ScatterAdd)->DenseRange(0, 3);
BENCHMARK(BM_ScatterAddScaled)->DenseRange(0, 3);

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

}  // namespace

BENCHMARK_MAIN();
