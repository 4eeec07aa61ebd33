// Test ranking speed of diagnosis sessions: a generated network of 200
// nodes (20 fault targets, 120 intermediate nodes, 60 ranked tests), ranked
// with relative entropy for one pursued fault, the largest-change measure
// for three pursued faults and the joint entropy of "at least one" of them.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "diagnosis/diag_network.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kTargets = 20;
constexpr int kMiddle = 120;
constexpr int kTests = 60;

// A node with random parents drawn from the `window` handles below `pool`,
// so that the network stays sparse (small cliques) like a device model.
int AddNode(VRN_network& net, std::mt19937& rng, int outcomes, int pool,
            int maxParents, int window = 12, int extraParent = -1) {
  const int h = net.AddNode(18, nullptr);
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  (void)def->SetNumberOfOutcomes(outcomes);
  std::uniform_int_distribution<int> pick(pool > window ? pool - window : 0,
                                          pool > 0 ? pool - 1 : 0);
  for (int k = 0; k < maxParents && pool > 0; ++k) {
    (void)net.AddArc(pick(rng), h);  // repeats and refusals are harmless
  }
  if (extraParent >= 0) (void)net.AddArc(extraParent, h);
  std::vector<double> table;
  VRN_matrix* current = nullptr;
  (void)def->GetDefinition(&current);
  std::uniform_real_distribution<double> unit(0.05, 1.0);
  const int columns = current->GetItemCount() / outcomes;
  for (int c = 0; c < columns; ++c) {
    double sum = 0.0;
    std::vector<double> column(static_cast<std::size_t>(outcomes));
    for (double& p : column) sum += (p = unit(rng));
    for (double p : column) table.push_back(p / sum);
  }
  (void)def->SetDefinitionFromVector(table);
  return h;
}

std::unique_ptr<VRN_network> MakeNetwork() {
  auto net = std::make_unique<VRN_network>();
  std::mt19937 rng(20261207);
  for (int i = 0; i < kTargets; ++i) {
    const int h = AddNode(*net, rng, 2 + i % 2, 0, 0);
    (void)net->GetNode(h)->SetDiagType(0);
    (void)dynamic_cast<VRN_discDef*>(net->GetNode(h)->Definition())
        ->SetFaultOutcome(1, true);
  }
  for (int i = 0; i < kMiddle; ++i) {
    // The first intermediate nodes hang below the targets.
    (void)AddNode(*net, rng, 2, kTargets + i, 2, i < kTargets ? kTargets : 12);
  }
  for (int i = 0; i < kTests; ++i) {
    // Parents: an intermediate node and a target, so tests tell of faults.
    const int h = AddNode(*net, rng, 2 + i % 2, kTargets + 2 * i + 1, 1, 1,
                          i % kTargets);
    (void)net->GetNode(h)->SetDiagType(1);
    net->GetNode(h)->SetRanked(true);
  }
  return net;
}

void BM_UpdateTestStrengths(benchmark::State& state) {
  const int code = static_cast<int>(state.range(0));
  std::unique_ptr<VRN_network> net = MakeNetwork();
  VRN_diagNetwork diag(net.get());
  if (diag.UpdateFaultBeliefs() != qelta::kOk) {
    state.SkipWithError("fault beliefs not updated");
    return;
  }
  VRN_intArray pursued;
  pursued.Add(diag.FindMostLikelyFault());
  if (code != 0x200) {
    for (int i : {3, 8}) {
      if (i != pursued[0]) pursued.Add(i);
    }
    (void)diag.SetMultiFaultAlgorithm(code);
  } else {
    (void)diag.SetSingleFaultAlgorithm(code);
  }
  (void)diag.SetPursuedFaults(pursued);
  for (auto _ : state) {
    if (diag.UpdateTestStrengths() != qelta::kOk) {
      state.SkipWithError("ranking failed");
      return;
    }
    benchmark::DoNotOptimize(diag.GetTestResults().data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK(BM_UpdateTestStrengths)->Arg(0x200)->Arg(0x101)->Arg(0x0C)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
