// A full belief update (algorithm code 0) of long chains of binary nodes,
// every node a target.
//
// The time per node should stay about the same from ten thousand to two
// hundred thousand nodes: nothing in the update may grow faster than the
// network. The counter time_per_node divides one update by the node count.
//
// BM_UpdateChain updates again and again with nothing changed in between
// (as after a table edit): the network's kept join tree serves every
// update. One untimed update comes first, so the first one's clique search
// is not spread over few iterations for the large chains and many for the
// small. BM_UpdateChainEvidence moves one observation to another inner node
// before every update, so the two parts it cuts the chain into never had
// their shape before: their join trees are formed anew each time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"

namespace {

constexpr int kCpt = 18;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "chain_update_bench: %s failed\n", what);
    std::abort();
  }
}

std::unique_ptr<VRN_network> MakeChain(int n) {
  auto net = std::make_unique<VRN_network>();
  net->SetRelevanceReasoning(false);
  const std::vector<double> prior = {0.3, 0.7};
  const std::vector<double> column = {0.9, 0.1, 0.2, 0.8};
  for (int i = 0; i < n; ++i) {
    Check(net->AddNode(kCpt, ("n" + std::to_string(i)).c_str()) == i,
          "AddNode");
    if (i > 0) Check(net->AddArc(i - 1, i) == qelta::kOk, "AddArc");
    VRN_nodeDef* def = net->GetNode(i)->Definition();
    Check(def->SetDefinitionFromVector(i > 0 ? column : prior) == qelta::kOk,
          "SetDefinition");
  }
  net->SetRelevanceReasoning(true);
  return net;
}

// Times updates of a chain of state.range(0) nodes; with move_evidence one
// inner node after another holds evidence.
void RunChain(benchmark::State& state, bool move_evidence) {
  const int n = static_cast<int>(state.range(0));
  std::unique_ptr<VRN_network> net = MakeChain(n);
  Check(net->UpdateBeliefs() == qelta::kOk, "UpdateBeliefs");
  // Page faults show memory taken fresh from the system on every update.
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  long long turn = 0;
  int observed = -1;
  for (auto _ : state) {
    state.PauseTiming();
    if (move_evidence) {
      if (observed >= 0) (void)net->GetNode(observed)->Value()->ClearEvidence();
      observed = 1 + static_cast<int>(++turn * 7919 % (n - 2));
      Check(net->GetNode(observed)->Value()->SetEvidence(1) == qelta::kOk,
            "SetEvidence");
    }
    (void)net->InvalidateValues();  // so every iteration recomputes
    state.ResumeTiming();
    if (net->UpdateBeliefs() != qelta::kOk) {
      state.SkipWithError("UpdateBeliefs failed");
      break;
    }
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  state.counters["page_faults"] = benchmark::Counter(
      static_cast<double>(after.ru_minflt - before.ru_minflt),
      benchmark::Counter::kAvgIterations);
  // Seconds per node (printed with an SI prefix, e.g. 1.1u).
  state.counters["time_per_node"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                  benchmark::Counter::kInvert);
}

void BM_UpdateChain(benchmark::State& state) { RunChain(state, false); }
void BM_UpdateChainEvidence(benchmark::State& state) { RunChain(state, true); }

BENCHMARK(BM_UpdateChain)
    ->ArgName("nodes")
    ->Arg(10000)
    ->Arg(65000)
    ->Arg(66000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateChainEvidence)
    ->ArgName("nodes")
    ->Arg(10000)
    ->Arg(65000)
    ->Arg(66000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
