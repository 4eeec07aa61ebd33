// A full belief update (algorithm code 0: relevance reasoning and join-tree
// clustering) on the public benchmark networks of the shared data folder.
//
// Every network is read from its XMLBIF copy (QELTA_SHARED_DIR
// "/data/networks/xmlbif/<name>.xml", read with format code 6, the tables as
// the file gives them). BM_UpdateBeliefs/<name> times one update without
// evidence; BM_UpdateBeliefs/<name>/evidence one with the evidence set of
// QELTA_SHARED_DIR "/data/reference/<name>/evidence.tsv", for the networks
// that have one. BM_JunctionTree/<name>[/evidence] times the same update
// by the junction tree per part (algorithm code 10). Values are invalidated (untimed) before every iteration so
// that each one recomputes every belief. Networks are read on first use, so
// --benchmark_filter=asia reads asia only.
//
// Counters: clique_cells is the total size of the clique tables of one
// update, summed over the parts that relevance reasoning hands to the
// engine (the join tree of each part built as the engine builds it, no
// table allocated); cells_per_second divides it by the time of one update.
// A network whose update fails (for instance a join tree beyond the
// engine's size limit) is reported as skipped with the reason.
//
// Without the shared data folder the program says so and runs nothing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_val.h"
#include "inference/join_tree.h"
#include "inference/relevance.h"
#include "io/format.h"

namespace {

namespace fs = std::filesystem;
using qelta_bench::CliqueCells;

const std::string kDataDir = std::string(QELTA_SHARED_DIR) + "/data";

// One network, read and (optionally) observed, ready to update.
struct Loaded {
  std::unique_ptr<VRN_network> network;
  double clique_cells = 0.0;
  std::string error;  // why the case cannot run; empty when it can
};

// Observes every node listed in the reference evidence file, by outcome
// index. Empty on success, else what went wrong.
std::string EnterEvidence(VRN_network* network, const std::string& path) {
  std::ifstream in(path);
  if (!in) return "cannot open " + path;
  std::string line;
  std::getline(in, line);  // the header
  int observed = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string node, state, index;
    if (!std::getline(fields, node, '\t') ||
        !std::getline(fields, state, '\t') ||
        !std::getline(fields, index, '\t')) {
      continue;
    }
    const int handle = network->FindNode(node.c_str());
    if (handle < 0) return "no node " + node;
    const int outcome = std::atoi(index.c_str());
    if (network->GetNode(handle)->Value()->SetEvidence(outcome) != qelta::kOk) {
      return "evidence refused for " + node;
    }
    ++observed;
  }
  return observed > 0 ? std::string() : "no evidence in " + path;
}

// Reads the network of a case once and keeps it for every later run.
Loaded& Load(const std::string& name, bool with_evidence) {
  static std::map<std::string, std::unique_ptr<Loaded>> cache;
  std::unique_ptr<Loaded>& slot = cache[name + (with_evidence ? "+e" : "")];
  if (slot != nullptr) return *slot;
  slot = std::make_unique<Loaded>();
  slot->network = std::make_unique<VRN_network>();
  VRN_network* network = slot->network.get();
  const std::string path = kDataDir + "/networks/xmlbif/" + name + ".xml";
  if (network->ReadFile(path.c_str(), qelta::kFormatXmlBif, 0) != qelta::kOk) {
    slot->error = "cannot read " + path;
    return *slot;
  }
  if (with_evidence) {
    slot->error = EnterEvidence(
        network, kDataDir + "/reference/" + name + "/evidence.tsv");
    if (!slot->error.empty()) return *slot;
  }
  slot->clique_cells = CliqueCells(network);
  return *slot;
}

void BM_UpdateBeliefs(benchmark::State& state, const std::string& name,
                      bool with_evidence) {
  Loaded& loaded = Load(name, with_evidence);
  if (!loaded.error.empty()) {
    state.SkipWithError(loaded.error.c_str());
    return;
  }
  VRN_network* network = loaded.network.get();
  for (auto _ : state) {
    state.PauseTiming();
    (void)network->InvalidateValues();
    state.ResumeTiming();
    const int status = network->UpdateBeliefs();
    if (status != qelta::kOk) {
      state.SkipWithError(
          ("UpdateBeliefs answered " + std::to_string(status)).c_str());
      break;
    }
  }
  if (loaded.clique_cells >= 0.0) {
    state.counters["clique_cells"] = loaded.clique_cells;
    state.counters["cells_per_second"] = benchmark::Counter(
        loaded.clique_cells, benchmark::Counter::kIsIterationInvariantRate);
  }
}

// The same update by the junction tree per part (algorithm code 10).
void BM_JunctionTree(benchmark::State& state, const std::string& name,
                     bool with_evidence) {
  Loaded& loaded = Load(name, with_evidence);
  if (!loaded.error.empty()) {
    state.SkipWithError(loaded.error.c_str());
    return;
  }
  VRN_network* network = loaded.network.get();
  (void)network->SetDefaultBNAlgorithm(10);
  for (auto _ : state) {
    state.PauseTiming();
    (void)network->InvalidateValues();
    state.ResumeTiming();
    const int status = network->UpdateBeliefs();
    if (status != qelta::kOk) {
      state.SkipWithError(
          ("UpdateBeliefs answered " + std::to_string(status)).c_str());
      break;
    }
  }
  (void)network->SetDefaultBNAlgorithm(0);
}

// The names of the XMLBIF copies, sorted; empty when the folder is absent.
std::vector<std::string> NetworkNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       fs::directory_iterator(kDataDir + "/networks/xmlbif", error)) {
    if (entry.path().extension() == ".xml") {
      names.push_back(entry.path().stem().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const std::vector<std::string> names = NetworkNames();
  if (names.empty()) {
    std::printf(
        "benchmark_networks_bench: no benchmark networks under %s/networks/"
        "xmlbif (the shared data folder is absent); nothing to run\n",
        kDataDir.c_str());
    return 0;
  }
  for (const std::string& name : names) {
    benchmark::RegisterBenchmark(("BM_UpdateBeliefs/" + name).c_str(),
                                 BM_UpdateBeliefs, name, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_JunctionTree/" + name).c_str(),
                                 BM_JunctionTree, name, false)
        ->Unit(benchmark::kMillisecond);
    std::error_code error;
    if (fs::exists(kDataDir + "/reference/" + name + "/evidence.tsv", error)) {
      benchmark::RegisterBenchmark(
          ("BM_UpdateBeliefs/" + name + "/evidence").c_str(), BM_UpdateBeliefs,
          name, true)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(
          ("BM_JunctionTree/" + name + "/evidence").c_str(), BM_JunctionTree,
          name, true)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
