// Solving generated influence diagrams with both influence-diagram codes.
//
// A diagram has n chance nodes of two outcomes in a band (node i takes up
// to two parents among the six nodes before it, random tables) and d
// decisions spread along it: decision j observes the chance node just before
// its place, acts on the chance node just after it, and follows the earlier
// decision. One utility depends on the last decision and the last chance
// node. For code 1 (which needs what the first open decision observes to be
// known) every observed node carries evidence.
//
// Counters: scenarios is the number of complete scenarios code 0 evaluates
// (the product of the outcome counts of the open decisions and of the chance
// nodes they observe), updates the belief updates of one solve, and
// updates_per_second divides them by the time of one solve.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/cooper_solver.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kWindow = 6;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "influence_bench: %s failed\n", what);
    std::abort();
  }
}

class CountingSolver : public VRN_CooperSolver {
 public:
  void OnBeforeUpdate(int phase) override {
    ++updates;
    if (phase == 0) ++scenarios;
  }
  int updates = 0;
  int scenarios = 0;
};

std::unique_ptr<VRN_network> MakeDiagram(int decisions, int n, int code) {
  std::mt19937 rng(77u + static_cast<unsigned>(n * 8 + decisions));
  std::uniform_real_distribution<double> unit(0.05, 1.0);
  auto net = std::make_unique<VRN_network>();
  std::vector<int> chance;
  std::vector<int> decision;
  std::vector<int> informed;
  int next_decision = 0;
  for (int i = 0; i < n; ++i) {
    const int h = net->AddNode(qelta::kDefCpt, nullptr);
    Check(h >= 0, "AddNode");
    const int lo = std::max(0, i - kWindow);
    for (int k = 0; k < 2 && i > 0; ++k) {
      const int p = chance[std::uniform_int_distribution<int>(lo, i - 1)(rng)];
      if (net->AreAdjacent(p, h) == 0) Check(net->AddArc(p, h) == 0, "AddArc");
    }
    if (!decision.empty() && decision.size() > informed.size()) {
      Check(net->AddArc(decision.back(), h) == 0, "AddArc decision");
      informed.push_back(h);
    }
    chance.push_back(h);
    if (next_decision < decisions && i + 1 == (next_decision + 1) * n / (decisions + 1)) {
      const int d = net->AddNode(qelta::kDefDecision, nullptr);
      Check(d >= 0, "AddNode decision");
      Check(net->AddArc(h, d) == 0, "AddArc information");
      if (!decision.empty()) Check(net->AddArc(decision.back(), d) == 0, "AddArc order");
      decision.push_back(d);
      ++next_decision;
    }
  }
  for (int h : chance) {
    VRN_matrix* m = net->GetNode(h)->Definition()->GetMatrix();
    const int rows = m->GetItemCount() / 2;
    for (int r = 0; r < rows; ++r) {
      const double p = unit(rng);
      *m->ItemAddress(2 * r) = p;
      *m->ItemAddress(2 * r + 1) = 1.0 - p;
    }
  }
  const int u = net->AddNode(qelta::kDefUtility, nullptr);
  Check(net->AddArc(decision.back(), u) == 0 && net->AddArc(chance.back(), u) == 0,
        "AddArc utility");
  VRN_matrix* table = net->GetNode(u)->Definition()->GetMatrix();
  for (int i = 0; i < table->GetItemCount(); ++i) {
    *table->ItemAddress(i) = 100.0 * unit(rng);
  }
  if (code == 1) {
    for (int d : decision) {
      for (int p : net->GetNode(d)->Parents()) {
        VRN_nodeVal* value = net->GetNode(p)->Value();
        if (!value->HasEvidence() &&
            net->GetNode(p)->Definition()->GetType() == qelta::kDefCpt) {
          Check(value->SetEvidence(0) == 0, "SetEvidence");
        }
      }
    }
  }
  Check(net->SetDefaultIDAlgorithm(code) == code, "SetDefaultIDAlgorithm");
  return net;
}

void BM_SolveInfluenceDiagram(benchmark::State& state) {
  const int decisions = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  const int code = static_cast<int>(state.range(2));
  std::unique_ptr<VRN_network> net = MakeDiagram(decisions, n, code);
  int updates = 1;
  int scenarios = 0;
  if (code == 0) {
    VRN_network fresh(*net);  // values still of their own shape
    CountingSolver counting;
    Check(counting.Solve(fresh) == qelta::kOk, "counting solve");
    updates = counting.updates;
    scenarios = counting.scenarios;
  } else {
    int open = 0;
    for (int h = net->GetFirstNode(); h >= 0; h = net->GetNextNode(h)) {
      open += net->GetNode(h)->Definition()->GetType() == qelta::kDefDecision;
    }
    updates = open;
  }
  for (auto _ : state) {
    const int status = net->UpdateBeliefs();
    if (status != qelta::kOk) {
      state.SkipWithError("influence-diagram solve failed");
      break;
    }
  }
  state.counters["scenarios"] = scenarios;
  state.counters["updates"] = updates;
  state.counters["updates_per_second"] = benchmark::Counter(
      static_cast<double>(updates) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SolveInfluenceDiagram)
    ->ArgNames({"decisions", "chance", "code"})
    ->ArgsProduct({{1, 2, 4}, {50, 200, 500}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
