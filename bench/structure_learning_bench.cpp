// Structure learning on data drawn from alarm: count-cache query and row
// rates, and the time, climbs, moves and tests of each learner.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "learning/bayesian_search.h"
#include "learning/count_cache.h"
#include "learning/dataset.h"
#include "learning/pattern.h"
#include "learning/pc.h"
#include "learning/tan.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// 10,000 records drawn forward from alarm (columns in handle order), or an
// empty data set when the shared networks are absent.
const VRN_dataset& AlarmData() {
  static const VRN_dataset data = [] {
    VRN_dataset d;
    const std::string file = std::string(QELTA_SHARED_DIR) + "/data/networks/net/alarm.net";
    VRN_network net;
    if (!std::filesystem::exists(file) || net.ReadFile(file.c_str(), qelta::kFormatHugin, 0) != 0) return d;
    const int n = net.GetSlotCount();
    for (int h = 0; h < n; ++h) {
      (void)d.addIntVariable(net.GetNode(h)->GetId(), -1);
      const VRN_idArray* names = net.GetNode(h)->Definition()->GetOutcomesNames();
      std::vector<std::string> states;
      for (int s = 0; s < names->GetSize(); ++s) states.emplace_back(names->Get(s));
      (void)d.setStateNames(h, states);
    }
    const VRN_intArray& order = net.PartialOrder();
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<int> value(static_cast<std::size_t>(n));
    for (int r = 0; r < 10000; ++r) {
      d.AddEmptyRecord();
      for (int i = 0; i < order.GetSize(); ++i) {
        const int h = order[i];
        const VRN_node* node = net.GetNode(h);
        const VRN_matrix* table = node->Definition()->GetMatrixConst();
        int offset = 0;
        for (int p = 0; p < node->Parents().GetSize(); ++p) {
          offset += value[static_cast<std::size_t>(node->Parents()[p])] * table->GetStrides()[p];
        }
        const int k = node->Definition()->GetNumberOfOutcomes();
        double u = unit(rng);
        int s = 0;
        for (; s < k - 1; ++s) {
          u -= table->GetItems()[offset + s];
          if (u < 0) break;
        }
        value[static_cast<std::size_t>(h)] = s;
      }
      for (int h = 0; h < n; ++h) d.SetInt(h, r, value[static_cast<std::size_t>(h)]);
    }
    return d;
  }();
  return data;
}

// Queries over families already built: walks only.
void BM_CountCacheQueries(benchmark::State& state) {
  const VRN_dataset& data = AlarmData();
  if (data.GetVariableCount() == 0) {
    state.SkipWithError("shared networks are absent");
    return;
  }
  VRN_countCache cache(data);
  std::vector<VRN_countCache::Pair> pairs = {{3, 0}, {11, 1}, {20, 0}};
  cache.GetCount(pairs);
  long long queries = 0;
  for (auto _ : state) {
    for (int x = 0; x < 2; ++x) {
      pairs[1].second = x;
      benchmark::DoNotOptimize(cache.GetCount(pairs));
    }
    queries += 2;
  }
  state.counters["queries/s"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CountCacheQueries);

// First queries over new variable sets: one pass over the rows each.
void BM_CountCacheBuilds(benchmark::State& state) {
  const VRN_dataset& data = AlarmData();
  if (data.GetVariableCount() == 0) {
    state.SkipWithError("shared networks are absent");
    return;
  }
  long long rows = 0;
  for (auto _ : state) {
    VRN_countCache cache(data);
    for (int a = 0; a + 2 < data.GetVariableCount(); ++a) {
      benchmark::DoNotOptimize(cache.GetCount({{a, 0}, {a + 1, 0}, {a + 2, 0}}));
      rows += data.GetRecordCount();
    }
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CountCacheBuilds)->Unit(benchmark::kMillisecond);

// Bayesian search (argument: iterations) or greedy thick thinning (0).
void BM_LearnAlarmBs(benchmark::State& state) {
  const VRN_dataset& data = AlarmData();
  if (data.GetVariableCount() == 0) {
    state.SkipWithError("shared networks are absent");
    return;
  }
  VRN_bayesianSearch bs;
  bs.randSeed = 1;
  bs.iterationCount = state.range(0) == 0 ? 1 : static_cast<int>(state.range(0));
  bs.greedyThickThinning = state.range(0) == 0;
  VRN_bsStatistics stats;
  bs.statistics = &stats;
  for (auto _ : state) {
    VRN_network net;
    if (bs.Learn(data, net, nullptr, nullptr, nullptr, nullptr, nullptr) != 0) state.SkipWithError("learn failed");
  }
  state.counters["climbs"] = stats.climbs;
  state.counters["moves evaluated"] = static_cast<double>(stats.movesEvaluated);
  state.counters["moves applied"] =
      static_cast<double>(stats.movesApplied[0] + stats.movesApplied[1] + stats.movesApplied[2]);
}
BENCHMARK(BM_LearnAlarmBs)->Arg(1)->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LearnAlarmTan(benchmark::State& state) {
  const VRN_dataset& data = AlarmData();
  if (data.GetVariableCount() == 0) {
    state.SkipWithError("shared networks are absent");
    return;
  }
  VRN_tan tan;
  tan.classVariableId = data.GetVariable(0).id;
  tan.randSeed = 1;
  for (auto _ : state) {
    VRN_dataset copy = data;  // the learner rewrites its data set
    VRN_network net;
    if (tan.Learn(copy, net, nullptr, nullptr) != 0) state.SkipWithError("learn failed");
  }
}
BENCHMARK(BM_LearnAlarmTan)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LearnAlarmPc(benchmark::State& state) {
  const VRN_dataset& data = AlarmData();
  if (data.GetVariableCount() == 0) {
    state.SkipWithError("shared networks are absent");
    return;
  }
  VRN_pc pc;
  VRN_pcStatistics stats;
  pc.statistics = &stats;
  for (auto _ : state) {
    VRN_pattern pattern;
    if (pc.Learn(data, pattern, nullptr, nullptr) != 0) state.SkipWithError("learn failed");
  }
  state.counters["tests run"] = static_cast<double>(stats.testsRun);
  state.counters["depth"] = stats.depthReached;
}
BENCHMARK(BM_LearnAlarmPc)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
