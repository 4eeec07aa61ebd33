// Hybrid networks: forward samples per second of the equation sampler on a
// chain of 100 equation nodes and on a half-discrete mix, and the time to
// discretize one equation node whose two parents have 10 intervals each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "equations/equation.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kSamples = 10000;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "equation_bench: %s failed\n", what);
    std::abort();
  }
}

int AddEquation(VRN_network& net, const std::string& id,
                const std::string& text) {
  const int h = net.AddNode(qelta::kDefEquation, id.c_str());
  Check(h >= 0, "AddNode");
  VRN_equation* e = VRN_GetEquation(&net, h);
  Check(e->SetEquation(text.c_str(), nullptr, nullptr) == qelta::kOk,
        text.c_str());
  Check(e->SetBounds(-1e12, 1e12) == qelta::kOk, "SetBounds");
  return h;
}

std::vector<VRN_discInterval> TenIntervals(double lo, double hi) {
  std::vector<VRN_discInterval> list;
  for (int i = 0; i < 10; ++i) {
    list.push_back({"i" + std::to_string(i), lo + (hi - lo) * (i + 1) / 10});
  }
  return list;
}

void Run(benchmark::State& state, VRN_network& net) {
  net.SetRandSeed(1);
  Check(net.SetNumberOfSamples(kSamples) == qelta::kOk, "SetNumberOfSamples");
  for (auto _ : state) {
    Check(net.UpdateBeliefs() == qelta::kOk, "UpdateBeliefs");
  }
  state.counters["samples_per_second"] = benchmark::Counter(
      static_cast<double>(kSamples) * state.iterations(),
      benchmark::Counter::kIsRate);
}

void BM_EquationChain(benchmark::State& state) {
  VRN_network net;
  AddEquation(net, "n0", "n0=Normal(0,1)");
  for (int i = 1; i < 100; ++i) {
    const std::string id = "n" + std::to_string(i);
    AddEquation(net, id,
                id + "=0.9*n" + std::to_string(i - 1) + "+Normal(0,0.1)");
  }
  Run(state, net);
}
BENCHMARK(BM_EquationChain)->Unit(benchmark::kMillisecond);

// Fifty pairs: a two-outcome CPT node and an equation node that reads it and
// the previous equation; every CPT after the first reads the previous
// equation through its intervals.
void BM_HalfDiscreteMix(benchmark::State& state) {
  VRN_network net;
  int previous = -1;
  for (int i = 0; i < 50; ++i) {
    const std::string d = "d" + std::to_string(i);
    const std::string x = "x" + std::to_string(i);
    const int dh = net.AddNode(qelta::kDefCpt, d.c_str());
    auto* disc = dynamic_cast<VRN_discDef*>(net.GetNode(dh)->Definition());
    Check(disc->SetPointValues({0, 1}) == qelta::kOk, "SetPointValues");
    if (previous >= 0) {
      Check(net.AddArc(previous, dh) == qelta::kOk, "AddArc");
      Check(disc->SetDefinitionFromVector({0.8, 0.2, 0.3, 0.7}) == qelta::kOk,
            "SetDefinition");
    }
    std::string text = x + "=" + d + "+Normal(0,1)";
    if (previous >= 0) text += "+0.5*x" + std::to_string(i - 1);
    const int xh = AddEquation(net, x, text);
    Check(VRN_GetEquation(&net, xh)->SetDiscIntervals(
              -1e12, 1e12, {{"lo", 0.5}, {"hi", 1e12}}) == qelta::kOk,
          "SetDiscIntervals");
    previous = xh;
  }
  Run(state, net);
}
BENCHMARK(BM_HalfDiscreteMix)->Unit(benchmark::kMillisecond);

void BM_DiscretizeTwoParents(benchmark::State& state) {
  VRN_network net;
  net.SetRandSeed(1);
  const int a = AddEquation(net, "a", "a=Normal(0,1)");
  const int b = AddEquation(net, "b", "b=Normal(0,1)");
  const int y = AddEquation(net, "y", "y=a*b+Normal(0,0.5)");
  Check(VRN_GetEquation(&net, a)->SetDiscIntervals(-5, 5, TenIntervals(-5, 5)) ==
            qelta::kOk, "intervals a");
  Check(VRN_GetEquation(&net, b)->SetDiscIntervals(-5, 5, TenIntervals(-5, 5)) ==
            qelta::kOk, "intervals b");
  VRN_equation* e = VRN_GetEquation(&net, y);
  Check(e->SetDiscIntervals(-30, 30, TenIntervals(-30, 30)) == qelta::kOk,
        "intervals y");
  for (auto _ : state) {
    e->DropDiscretization();
    Check(e->Discretize(false) == qelta::kOk, "Discretize");
  }
}
BENCHMARK(BM_DiscretizeTwoParents)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
