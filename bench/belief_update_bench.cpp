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
//
// BM_UpdateBeliefsStandard does the same on the standard benchmark networks
// read from the shared data directory (Hugin files), without evidence and
// with evidence drawn the same way; a network that cannot be read is
// reported as skipped.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/network.h"
#include "core/node.h"
#include "core/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/elimination.h"
#include "inference/relevance.h"

namespace {

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

// Observes about one node in ten in the outcome that forward sampling, in
// topological order, gives it: evidence that is always possible.
void SampleEvidence(VRN_network* net, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  net->SetRelevanceReasoning(false);
  std::vector<int> sample(net->GetSlotCount(), 0);
  const VRN_intArray order = net->PartialOrder();
  for (int h : order) {
    VRN_nodeDef* def = net->GetNode(h)->Definition();
    const VRN_matrix& table = *def->GetMatrixConst();
    const int k = def->GetNumberOfOutcomes();
    const VRN_intArray& parents = net->GetNode(h)->Parents();
    int index = 0;
    for (int j = 0; j < parents.GetSize(); ++j) {
      index += sample[parents[j]] * table.GetStrides()[j];
    }
    double u = unit(rng);
    sample[h] = k - 1;
    for (int s = 0; s < k; ++s) {
      u -= table.GetItem(index + s);
      if (u < 0.0) {
        sample[h] = s;
        break;
      }
    }
    if (rng() % 10 == 0) {
      Check(net->GetNode(h)->Value()->SetEvidence(sample[h]) == qelta::kOk,
            "SetEvidence");
    }
  }
  net->SetRelevanceReasoning(true);
}

// Total clique cells of one update: the elimination search run on every
// part that the update hands to the clustering engine.
double CliqueCells(VRN_network* net) {
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(net, qelta::kRelevanceForClustering));
  double total = 0.0;
  for (int i = 0; parts != nullptr && i < parts->GetSize(); ++i) {
    const VRN_relevancePart& part = *parts->GetPart(i);
    if (part.GetSize() < 2) continue;
    std::vector<uint32_t> states;
    std::vector<int> offsets{0};
    std::vector<int> parents;
    for (int r = 0; r < part.GetSize(); ++r) {
      const VRN_relevanceNode* record = part[r];
      states.push_back(record->IsObserved()
                           ? 1u
                           : static_cast<uint32_t>(record->GetOutcomeCount()));
      for (int k = 0; k < record->GetParentCount(); ++k) {
        parents.push_back(part.IndexOf(record->GetParent(k)));
      }
      offsets.push_back(static_cast<int>(parents.size()));
    }
    qelta::EliminationProblem problem;
    problem.node_count = part.GetSize();
    problem.states = states.data();
    problem.parent_offsets = offsets.data();
    problem.parents = parents.data();
    VRN_cliqueStore store;
    VRN_eliminationSearch search(problem, &store);
    Check(search.Run(0), "elimination search");
    total += static_cast<double>(search.total());
  }
  return total;
}

void BM_UpdateBeliefs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool with_evidence = state.range(1) != 0;
  std::unique_ptr<VRN_network> net = MakeNetwork(n, with_evidence);
  const double cells = CliqueCells(net.get());
  for (auto _ : state) {
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

// The standard networks, smallest join trees first (munin1 and link need
// hundreds of millions of cells and are left out).
constexpr const char* kStandardNetworks[] = {
    "asia",   "alarm",     "child",     "insurance", "water",
    "hailfinder", "hepar2", "win95pts", "pathfinder", "andes",
    "mildew", "pigs",      "barley",    "diabetes",  "munin"};
constexpr int kStandardCount =
    static_cast<int>(sizeof kStandardNetworks / sizeof kStandardNetworks[0]);

void BM_UpdateBeliefsStandard(benchmark::State& state) {
  const char* name = kStandardNetworks[state.range(0)];
  const bool with_evidence = state.range(1) != 0;
  state.SetLabel(name);
  const std::string path =
      std::string(QELTA_SHARED_DIR) + "/data/networks/net/" + name + ".net";
  auto net = std::make_unique<VRN_network>();
  if (net->ReadFile(path.c_str(), 0, 0) != qelta::kOk) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  if (with_evidence) SampleEvidence(net.get(), 99u);
  const double cells = CliqueCells(net.get());
  for (auto _ : state) {
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

BENCHMARK(BM_UpdateBeliefsStandard)
    ->ArgNames({"network", "evidence"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, kStandardCount - 1, 1),
                   {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
