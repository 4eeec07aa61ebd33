// Building random networks through the engine's own operations.
//
// Each network has n CPT nodes and about three arcs per node: every node
// (but the first few of a hidden random order) gets three parents chosen
// among the nodes before it in that order, and the arcs are added in a
// shuffled order, so the acyclicity test meets arcs that disagree with the
// handle order all the time. Relevance reasoning is off, as a loader has it.
// The counters report the time per AddNode and per AddArc.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "network/network.h"

namespace {

constexpr int kCpt = 18;
constexpr int kParentsPerNode = 3;

std::vector<std::pair<int, int>> RandomArcs(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<std::pair<int, int>> arcs;
  arcs.reserve(static_cast<size_t>(n) * kParentsPerNode);
  for (int k = 1; k < n; ++k) {
    int wanted = std::min(k, kParentsPerNode);
    std::vector<int> chosen;
    while (static_cast<int>(chosen.size()) < wanted) {
      int p = std::uniform_int_distribution<int>(0, k - 1)(rng);
      if (std::find(chosen.begin(), chosen.end(), p) == chosen.end()) {
        chosen.push_back(p);
      }
    }
    for (int p : chosen) arcs.emplace_back(order[p], order[k]);
  }
  std::shuffle(arcs.begin(), arcs.end(), rng);
  return arcs;
}

std::unique_ptr<VRN_network> EmptyNetwork() {
  auto net = std::make_unique<VRN_network>();
  net->SetRelevanceReasoning(false);
  return net;
}

void AddNodes(VRN_network& net, int n) {
  for (int i = 0; i < n; ++i) {
    if (net.AddNode(kCpt, nullptr) < 0) {
      std::fprintf(stderr, "AddNode failed\n");
      std::abort();
    }
  }
}

void BM_AddNode(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<VRN_network> net = EmptyNetwork();
    state.ResumeTiming();
    AddNodes(*net, n);
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.counters["per_AddNode"] = benchmark::Counter(
      n, benchmark::Counter::kIsIterationInvariantRate |
             benchmark::Counter::kInvert);
}

void BM_AddArc(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::pair<int, int>> arcs = RandomArcs(n, 12345u);
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<VRN_network> net = EmptyNetwork();
    AddNodes(*net, n);
    state.ResumeTiming();
    for (const auto& [parent, child] : arcs) {
      if (net->AddArc(parent, child) != 0) {
        std::fprintf(stderr, "AddArc(%d, %d) failed\n", parent, child);
        std::abort();
      }
    }
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.counters["arcs"] = static_cast<double>(arcs.size());
  state.counters["per_AddArc"] = benchmark::Counter(
      static_cast<double>(arcs.size()),
      benchmark::Counter::kIsIterationInvariantRate |
          benchmark::Counter::kInvert);
}

BENCHMARK(BM_AddNode)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_AddArc)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
