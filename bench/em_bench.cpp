// Parameter learning and validation on alarm: 10,000 records sampled from
// the network, a fifth of the cells missing. Reports records/s and passes of
// EM (one whole run from uniform parameters), and records/s of testing the
// network on the records and of counting instances.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "learning/instance_counts.h"
#include "learning/validator.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kRecords = 10000;

struct Problem {
  VRN_network net;
  VRN_dataset data;
  std::vector<VRN_dataMatch> matches;
  std::string error;
};

// Reads alarm once and samples the records from it.
Problem& Alarm() {
  static std::unique_ptr<Problem> problem = [] {
    auto p = std::make_unique<Problem>();
    const std::string path = std::string(QELTA_SHARED_DIR) + "/data/networks/xmlbif/alarm.xml";
    if (p->net.ReadFile(path.c_str(), qelta::kFormatXmlBif, 0) != qelta::kOk) {
      p->error = "cannot read " + path;
      return p;
    }
    const int slots = p->net.GetSlotCount();
    for (int h = p->net.GetFirstNode(); h >= 0; h = p->net.GetNextNode(h)) {
      const int v = p->data.GetVariableCount();
      (void)p->data.addIntVariable(p->net.GetNode(h)->GetId(), -1);
      p->matches.push_back({h, 0, v});
    }
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<int> row(slots);
    const VRN_intArray order = p->net.PartialOrder();
    for (int r = 0; r < kRecords; ++r) {
      p->data.AddEmptyRecord();
      for (int h : order) {
        const VRN_matrix& t = *p->net.GetNode(h)->Definition()->GetMatrixConst();
        const VRN_intArray& parents = p->net.GetNode(h)->Parents();
        int cell = 0;
        for (int i = 0; i < parents.GetSize(); ++i) cell += row[parents[i]] * t.GetStrides()[i];
        const int n = t.GetSize(t.GetDimensionCount() - 1);
        double u = unit(rng);
        int k = 0;
        while (k + 1 < n && (u -= t.GetItem(cell + k)) > 0.0) ++k;
        row[h] = k;
      }
      for (const VRN_dataMatch& m : p->matches) {
        if (unit(rng) >= 0.2) p->data.SetInt(m.column, r, row[m.node]);
      }
    }
    return p;
  }();
  return *problem;
}

void BM_EmAlarm(benchmark::State& state) {
  Problem& p = Alarm();
  if (!p.error.empty()) {
    state.SkipWithError(p.error.c_str());
    return;
  }
  int passes = 0;
  qelta::SetEmPassObserver([](double, void* count) { ++*static_cast<int*>(count); }, &passes);
  for (auto _ : state) {
    VRN_network net(p.net);
    VRN_em em;
    em.SetUniformizeParameters(true);
    if (em.Learn(p.data, net, p.matches, {}, nullptr, nullptr) != qelta::kOk) state.SkipWithError("EM failed");
  }
  qelta::SetEmPassObserver(nullptr, nullptr);
  state.counters["passes"] = static_cast<double>(passes) / state.iterations();
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(passes) * kRecords, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmAlarm)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ValidatorTestAlarm(benchmark::State& state) {
  Problem& p = Alarm();
  if (!p.error.empty()) {
    state.SkipWithError(p.error.c_str());
    return;
  }
  for (auto _ : state) {
    VRN_validator v(&p.data, &p.net, p.matches);
    (void)v.AddClassNode(p.net.GetFirstNode());
    if (v.Test(nullptr) != qelta::kOk) state.SkipWithError("test failed");
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kRecords, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ValidatorTestAlarm)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InstanceCountsAlarm(benchmark::State& state) {
  Problem& p = Alarm();
  if (!p.error.empty()) {
    state.SkipWithError(p.error.c_str());
    return;
  }
  for (auto _ : state) {
    VRN_instanceCounts counts;
    if (counts.Calculate(p.net, p.data, p.matches) != qelta::kOk) state.SkipWithError("counting failed");
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kRecords, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InstanceCountsAlarm)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
