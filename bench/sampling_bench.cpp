// The samplers (algorithm codes 1, 3, 4, 6, 7, 8) and loopy propagation
// (code 9) on benchmark networks of the shared data folder.
//
// Networks: alarm, hepar2, pathfinder and munin, read from their XMLBIF
// copies (format code 6). BM_Sampling/<code>/<name> times one update
// without evidence, BM_Sampling/<code>/<name>/evidence one with evidence:
// the reference evidence for alarm and hepar2; for pathfinder and munin a
// tenth of the nodes (every tenth in topological order) at the outcomes of
// one forward sample drawn with a fixed seed. The network's sample count is
// 10,000 and its seed 1.
//
// Counters: samples_per_second (sample count ÷ time of one update) for the
// samplers, iterations_per_second (propagation rounds ÷ time) for code 9.
//
// Without the shared data folder the program says so and runs nothing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"

namespace {

const std::string kDataDir = std::string(QELTA_SHARED_DIR) + "/data";
constexpr int kSamples = 10000;

std::string ReferenceEvidence(VRN_network* network, const std::string& name) {
  std::ifstream in(kDataDir + "/reference/" + name + "/evidence.tsv");
  if (!in) return "no reference evidence for " + name;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string node, state, index;
    std::getline(fields, node, '\t');
    std::getline(fields, state, '\t');
    std::getline(fields, index, '\t');
    const int h = network->FindNode(node.c_str());
    if (h < 0 || network->GetNode(h)->Value()->SetEvidence(std::atoi(index.c_str())) !=
                     qelta::kOk) {
      return "evidence refused for " + node;
    }
  }
  return std::string();
}

// Every tenth node in topological order observed at one forward sample.
std::string ForwardSampleEvidence(VRN_network* network) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const VRN_intArray order = network->PartialOrder();
  std::vector<int> state(network->GetSlotCount(), 0);
  for (int h : order) {
    const VRN_node* node = network->GetNode(h);
    const VRN_matrix* table = node->Definition()->GetExpandedDefinition();
    int index = 0;
    for (int p = 0; p < node->Parents().GetSize(); ++p) {
      index += state[node->Parents()[p]] * table->GetStrides()[p];
    }
    const int k = table->GetSize(table->GetDimensionCount() - 1);
    const double u = unit(rng);
    double running = 0.0;
    state[h] = k - 1;
    for (int s = 0; s < k; ++s) {
      running += table->GetItem(index + s);
      if (running > u) {
        state[h] = s;
        break;
      }
    }
  }
  for (int i = 0; i < order.GetSize(); i += 10) {
    if (network->GetNode(order[i])->Value()->SetEvidence(state[order[i]]) !=
        qelta::kOk) {
      return "evidence refused";
    }
  }
  return std::string();
}

struct Loaded {
  std::unique_ptr<VRN_network> network;
  std::string error;
};

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
  (void)network->SetNumberOfSamples(kSamples);
  network->SetRandSeed(1);
  if (with_evidence) {
    slot->error = (name == "alarm" || name == "hepar2")
                      ? ReferenceEvidence(network, name)
                      : ForwardSampleEvidence(network);
  }
  return *slot;
}

void BM_Sampling(benchmark::State& state, int code, const std::string& name,
                 bool with_evidence) {
  Loaded& loaded = Load(name, with_evidence);
  if (!loaded.error.empty()) {
    state.SkipWithError(loaded.error.c_str());
    return;
  }
  VRN_network* network = loaded.network.get();
  (void)network->SetDefaultBNAlgorithm(code);
  for (auto _ : state) {
    const int status = network->UpdateBeliefs();
    if (status != qelta::kOk) {
      state.SkipWithError(("UpdateBeliefs answered " + std::to_string(status)).c_str());
      break;
    }
  }
  if (code == 9) {
    state.counters["iterations_per_second"] = benchmark::Counter(
        network->GetEpisParams().proplen, benchmark::Counter::kIsIterationInvariantRate);
  } else {
    state.counters["samples_per_second"] = benchmark::Counter(
        kSamples, benchmark::Counter::kIsIterationInvariantRate);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!std::ifstream(kDataDir + "/networks/xmlbif/alarm.xml")) {
    std::printf("sampling_bench: no benchmark networks under %s (the shared data "
                "folder is absent); nothing to run\n",
                kDataDir.c_str());
    return 0;
  }
  for (int code : {1, 3, 4, 6, 7, 8, 9}) {
    for (const char* name : {"alarm", "hepar2", "pathfinder", "munin"}) {
      for (bool evidence : {false, true}) {
        const std::string label = "BM_Sampling/" + std::to_string(code) + "/" + name +
                                  (evidence ? "/evidence" : "");
        benchmark::RegisterBenchmark(label.c_str(), BM_Sampling, code,
                                     std::string(name), evidence)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
