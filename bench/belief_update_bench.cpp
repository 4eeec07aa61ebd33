// A full belief update (algorithm code 0: relevance reasoning and join-tree
// clustering) on generated networks of bounded treewidth.
//
// Node i takes up to two parents among the kWindow nodes before it, so the
// moral graph stays inside a band and every clique is small whatever the
// size of the network. Nodes have two or three outcomes and random tables.
// With evidence, about one node in ten is observed in an outcome drawn by
// forward sampling, so the evidence is always possible.
//
// Counters: clique_cells is the total size of the clique tables of one
// update (summed over the parts that relevance reasoning hands to the
// engine); cells_per_second divides it by the time of one update.
// The standard benchmark networks are timed by benchmark_networks_bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/elimination.h"
#include "inference/relevance.h"

namespace {

using qelta_bench::CliqueCells;

constexpr int kCpt = 18;
constexpr int kWindow = 6;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "belief_update_bench: %s failed\n", what);
    std::abort();
  }
}

std::unique_ptr<VRN_network> MakeNetwork(int n, bool with_evidence) {
  std::mt19937 rng(1234u + static_cast<unsigned>(n));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto net = std::make_unique<VRN_network>();
  // Evidence is entered without bookkeeping; only the update is timed.
  net->SetRelevanceReasoning(false);
  std::vector<int> outcomes(n);
  for (int i = 0; i < n; ++i) {
    Check(net->AddNode(kCpt, ("n" + std::to_string(i)).c_str()) == i, "AddNode");
    outcomes[i] = 2 + static_cast<int>(rng() % 2);
    Check(net->GetNode(i)->Definition()->SetNumberOfOutcomes(outcomes[i]) ==
              qelta::kOk,
          "SetNumberOfOutcomes");
    const int first = i > kWindow ? i - kWindow : 0;
    int added = 0;
    for (int tries = 0; tries < 4 && added < 2 && i > 0; ++tries) {
      const int p = first + static_cast<int>(rng() % (i - first));
      if (net->AddArc(p, i) == qelta::kOk) ++added;
    }
  }
  std::vector<int> sample(n, 0);
  for (int i = 0; i < n; ++i) {
    VRN_nodeDef* def = net->GetNode(i)->Definition();
    const int k = outcomes[i];
    const int columns = def->GetMatrixConst()->GetItemCount() / k;
    std::vector<double> items;
    for (int c = 0; c < columns; ++c) {
      double sum = 0.0;
      std::vector<double> column(k);
      for (double& v : column) sum += (v = 0.05 + unit(rng));
      for (double& v : column) items.push_back(v / sum);
    }
    Check(def->SetDefinitionFromVector(items) == qelta::kOk, "SetDefinition");
    // Forward sample in handle order (parents come first).
    const VRN_matrix& table = *def->GetMatrixConst();
    const VRN_intArray& parents = net->GetNode(i)->Parents();
    int index = 0;
    for (int j = 0; j < parents.GetSize(); ++j) {
      index += sample[parents[j]] * table.GetStrides()[j];
    }
    double u = unit(rng);
    sample[i] = k - 1;
    for (int s = 0; s < k; ++s) {
      u -= table.GetItem(index + s);
      if (u < 0.0) {
        sample[i] = s;
        break;
      }
    }
    if (with_evidence && rng() % 10 == 0) {
      Check(net->GetNode(i)->Value()->SetEvidence(sample[i]) == qelta::kOk,
            "SetEvidence");
    }
  }
  net->SetRelevanceReasoning(true);
  return net;
}

void BM_UpdateBeliefs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool with_evidence = state.range(1) != 0;
  std::unique_ptr<VRN_network> net = MakeNetwork(n, with_evidence);
  const double cells = CliqueCells(net.get());
  for (auto _ : state) {
    state.PauseTiming();
    (void)net->InvalidateValues();  // so every iteration recomputes
    state.ResumeTiming();
    const int status = net->UpdateBeliefs();
    if (status != qelta::kOk) {
      state.SkipWithError("UpdateBeliefs failed");
      break;
    }
  }
  state.counters["clique_cells"] = cells;
  state.counters["cells_per_second"] =
      benchmark::Counter(cells, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_UpdateBeliefs)
    ->ArgNames({"nodes", "evidence"})
    ->ArgsProduct({{50, 200, 1000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
