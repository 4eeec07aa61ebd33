// Building random networks through the engine's own operations.
//
// Each network has n CPT nodes and about three arcs per node: every node
// (but the first few of a hidden random order) gets three parents chosen
// among the nodes before it in that order, and the arcs are added in a
// shuffled order, so the acyclicity test meets arcs that disagree with the
// handle order all the time. Relevance reasoning is off, as a loader has it.
// The counters report the time per AddNode and per AddArc.
//
// BM_BuildChain builds a chain as a program does through the API, with
// relevance reasoning on: AddNode, outcomes set by identifier, then the arc
// from the previous node; per_node should not grow with the length.
// BM_SetManyOutcomes and BM_LearnManyValues give one node (one column)
// many distinct outcome identifiers; per_outcome should not grow either.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "learning/naive_bayes.h"
#include "network/network.h"
#include "network/node.h"

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

// A counter giving the time per item of the n done in each iteration.
benchmark::Counter TimePer(double n) {
  return benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate |
                                   benchmark::Counter::kInvert);
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
  state.counters["per_AddNode"] = TimePer(n);
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
  state.counters["per_AddArc"] = TimePer(static_cast<double>(arcs.size()));
}

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::abort();
  }
}

void BM_BuildChain(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  VRN_idArray ids;
  Require(ids.Add("low") == 0 && ids.Add("mid") == 0 && ids.Add("high") == 0,
          "outcome ids");
  VRN_intArray mapping;
  mapping.Add(0);
  mapping.Add(1);
  mapping.Add(-1);
  char id[32];
  for (auto _ : state) {
    auto net = std::make_unique<VRN_network>();
    int previous = -1;
    for (int i = 0; i < n; ++i) {
      std::snprintf(id, sizeof(id), "n%d", i);
      const int h = net->AddNode(kCpt, id);
      Require(h >= 0, "AddNode");
      Require(net->GetNode(h)->Definition()->ChangeOrderOfOutcomesWithAddAndRemove(
                  ids, mapping) == 0,
              "setting outcomes");
      if (previous >= 0) Require(net->AddArc(previous, h) == 0, "AddArc");
      previous = h;
    }
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.counters["per_node"] = TimePer(n);
}

void BM_SetManyOutcomes(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  VRN_idArray ids;
  VRN_intArray mapping;
  char id[32];
  for (int i = 0; i < k; ++i) {
    std::snprintf(id, sizeof(id), "v%d", i);
    Require(ids.Add(id) == 0, "outcome id");
    mapping.Add(i < 2 ? i : -1);
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto net = std::make_unique<VRN_network>();
    const int h = net->AddNode(kCpt, "many");
    state.ResumeTiming();
    Require(net->GetNode(h)->Definition()->ChangeOrderOfOutcomesWithAddAndRemove(
                ids, mapping) == 0,
            "setting outcomes");
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.counters["per_outcome"] = TimePer(k);
}

// A class column of two values and a feature column of k distinct values,
// each value in two records.
void BM_LearnManyValues(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  VRN_dataset data;
  Require(data.addIntVariable("cls", -1) == 0 &&
              data.addIntVariable("feature", -1) == 0,
          "columns");
  for (int r = 0; r < 2 * k; ++r) {
    data.AddEmptyRecord();
    data.SetInt(0, r, r % 2);
    data.SetInt(1, r, r / 2);
  }
  VRN_naiveBayes learner;
  learner.classVariableId = "cls";
  for (auto _ : state) {
    VRN_network net;
    Require(learner.Learn(data, net, nullptr, nullptr) == 0, "learning");
  }
  state.counters["per_outcome"] = TimePer(k);
}

BENCHMARK(BM_BuildChain)->Arg(4000)->Arg(32000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetManyOutcomes)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LearnManyValues)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddNode)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_AddArc)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
