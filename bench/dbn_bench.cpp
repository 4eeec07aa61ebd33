// The temporal belief update of a dynamic network: 10 plate nodes of 3
// outcomes, each with two temporal arcs of order 1, observed in a third of
// the slice copies, at 10, 100 and 1,000 slices. Every update unrolls the
// network afresh.
//
// Counters: unrolled_nodes, unroll_s (one UnrollNetwork alone) and the
// iteration time (unrolling plus update). Unrolling should grow about
// linearly with the unrolled size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;
constexpr int kPlates = 10;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "dbn_bench: %s failed\n", what);
    std::abort();
  }
}

std::unique_ptr<VRN_network> MakeDynamic(int slices) {
  auto net = std::make_unique<VRN_network>();
  std::vector<int> h(kPlates);
  for (int i = 0; i < kPlates; ++i) {
    h[i] = net->AddNode(kCpt, nullptr);
    Check(net->GetNode(h[i])->Definition()->SetNumberOfOutcomes(3) == 0,
          "SetNumberOfOutcomes");
    Check(net->setNodeTemporalType(h[i], 3) == 0, "setNodeTemporalType");
    if (i > 0) Check(net->AddArc(h[i - 1], h[i]) == 0, "AddArc");
  }
  for (int i = 0; i < kPlates; ++i) {
    Check(net->AddTemporalArc(h[i], h[i], 1) == 0, "AddTemporalArc self");
    Check(net->AddTemporalArc(h[(i + 1) % kPlates], h[i], 1) == 0,
          "AddTemporalArc");
    // Distinct columns so the update does real work; outcome 0 stays likely
    // so that the probability of a thousand slices' evidence stays far above
    // the smallest double.
    VRN_nodeDef* def = net->GetNode(h[i])->Definition();
    const VRN_matrix* t = def->GetTemporalMatrix(1);
    VRN_doubleArray items;
    for (int j = 0; j < t->GetItemCount() / 3; ++j) {
      const double a = 0.95 + 0.04 * ((j * 7 + i) % 5) / 4.0;
      items.Add(a);
      items.Add((1.0 - a) / 2);
      items.Add((1.0 - a) / 2);
    }
    Check(def->SetTemporalDefinition(1, items) == 0, "SetTemporalDefinition");
  }
  Check(net->SetNumberOfSlices(slices) == 0, "SetNumberOfSlices");
  int k = 0;
  for (int s = 0; s < slices; ++s) {
    for (int i = 0; i < kPlates; ++i) {
      if (k++ % 3 != 0) continue;
      Check(net->GetNode(h[i])->Value()->SetTemporalEvidence(s, 0) == 0,
            "SetTemporalEvidence");
    }
  }
  return net;
}

void BM_TemporalUpdate(benchmark::State& state) {
  const int slices = static_cast<int>(state.range(0));
  std::unique_ptr<VRN_network> net = MakeDynamic(slices);
  VRN_network unrolled;
  std::vector<int> map;
  const auto start = std::chrono::steady_clock::now();
  Check(net->UnrollNetwork(unrolled, map) == qelta::kOk, "UnrollNetwork");
  const std::chrono::duration<double> unroll =
      std::chrono::steady_clock::now() - start;
  for (auto _ : state) {
    const int status = net->UpdateBeliefs();
    if (status != qelta::kOk) {
      VRN_errorLog* log = net->ErrorLog();
      for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
        std::fprintf(stderr, "%s\n", log->GetMessage(i));
      }
      std::fprintf(stderr, "status %d\n", status);
      state.SkipWithError("UpdateBeliefs failed");
      break;
    }
  }
  state.counters["unrolled_nodes"] = unrolled.GetNumberOfNodes();
  state.counters["unroll_s"] = unroll.count();
}

BENCHMARK(BM_TemporalUpdate)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
