// Canonical models: the noisy-MAX table computed from its parameters, a
// belief update of one noisy-MAX node with many binary root parents (noisy
// decomposition off and on, limit 4), and the fit of noisy-MAX parameters
// to a table when a node is converted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/noisy_max.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "canonical_bench: %s failed\n", what);
    std::abort();
  }
}

// `parents` binary roots feeding one noisy-MAX node of two outcomes with
// random link probabilities; the node is handle `parents`.
std::unique_ptr<VRN_network> MakeNetwork(int parents) {
  std::mt19937 rng(77u + static_cast<unsigned>(parents));
  std::uniform_real_distribution<double> unit(0.05, 0.95);
  auto net = std::make_unique<VRN_network>();
  net->SetRelevanceReasoning(false);
  for (int i = 0; i < parents; ++i) {
    Check(net->AddNode(qelta::kDefCpt, ("p" + std::to_string(i)).c_str()) == i,
          "AddNode");
    const double p = unit(rng);
    Check(net->GetNode(i)->Definition()->SetDefinitionFromVector({p, 1 - p}) ==
              qelta::kOk,
          "SetDefinition");
  }
  const int child = net->AddNode(qelta::kDefNoisyMax, "child");
  for (int i = 0; i < parents; ++i) {
    Check(net->AddArc(i, child) == qelta::kOk, "AddArc");
  }
  auto* noisy = static_cast<VRN_noisyMAX*>(net->GetNode(child)->Definition());
  VRN_doubleArray items;
  for (int c = 0; c < noisy->GetColumnCount(); ++c) {
    const double p = c % 2 == 1 ? 0.0 : unit(rng) * 0.5;
    items.Add(p);
    items.Add(1 - p);
  }
  Check(noisy->LoadParameters(items) == qelta::kOk, "LoadParameters");
  net->SetRelevanceReasoning(true);
  return net;
}

void BM_CalculateCpt(benchmark::State& state) {
  const int parents = static_cast<int>(state.range(0));
  std::unique_ptr<VRN_network> net = MakeNetwork(parents);
  auto* noisy = static_cast<VRN_noisyMAX*>(net->GetNode(parents)->Definition());
  Check(noisy->CalculateCpt() == qelta::kOk, "CalculateCpt");
  for (auto _ : state) {
    benchmark::DoNotOptimize(noisy->CalculateCpt());
  }
  state.counters["cells_per_second"] = benchmark::Counter(
      static_cast<double>(2 << parents),
      benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_CalculateCpt)
    ->ArgName("parents")
    ->Arg(10)
    ->Arg(15)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond);

// Evidence on the noisy node, so that every parent's posterior depends on
// the whole table.
void BM_UpdateNoisyMax(benchmark::State& state) {
  const int parents = static_cast<int>(state.range(0));
  const bool decompose = state.range(1) != 0;
  std::unique_ptr<VRN_network> net = MakeNetwork(parents);
  net->SetNoisyDecomp(decompose);
  net->SetNoisyDecompLimit(4);
  Check(net->GetNode(parents)->Value()->SetEvidence(0) == qelta::kOk,
        "SetEvidence");
  for (auto _ : state) {
    state.PauseTiming();
    (void)net->InvalidateValues();
    state.ResumeTiming();
    if (net->UpdateBeliefs() != qelta::kOk) {
      state.SkipWithError("UpdateBeliefs failed");
      break;
    }
  }
}

BENCHMARK(BM_UpdateNoisyMax)
    ->ArgNames({"parents", "decomposition"})
    ->ArgsProduct({{10, 16, 20}, {0, 1}})
    ->Args({28, 1})
    ->Unit(benchmark::kMicrosecond);

// Conversion of a CPT made from noisy-MAX parameters back to noisy-MAX:
// the fit of the parameters dominates.
void BM_FitToTable(benchmark::State& state) {
  const int parents = static_cast<int>(state.range(0));
  std::unique_ptr<VRN_network> net = MakeNetwork(parents);
  VRN_node* node = net->GetNode(parents);
  const VRN_matrix table = *node->Definition()->GetExpandedDefinition();
  for (auto _ : state) {
    state.PauseTiming();
    Check(node->setNodeType(qelta::kDefCpt) == qelta::kOk, "to CPT");
    Check(node->Definition()->SetDefinitionFromMatrix(table) == qelta::kOk,
          "SetDefinition");
    state.ResumeTiming();
    Check(node->setNodeType(qelta::kDefNoisyMax) == qelta::kOk, "to noisy");
  }
}

BENCHMARK(BM_FitToTable)
    ->ArgName("parents")
    ->Arg(4)
    ->Arg(8)
    ->Arg(12)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
