// Helpers shared by the belief-updating benchmarks.
#ifndef QELTA_BENCH_BENCH_SUPPORT_H_
#define QELTA_BENCH_BENCH_SUPPORT_H_

#include <memory>
#include <vector>

#include "network/network.h"
#include "base/status.h"
#include "inference/join_tree.h"
#include "inference/relevance.h"

namespace qelta_bench {

// Total clique cells of one update: every part of the clustering decomposition
// described to a join tree exactly as the engine does it, and the sizes of
// the cliques its elimination search forms. -1.0 when a part does not fit.
inline double CliqueCells(VRN_network* network) {
  (void)network->InvalidateValues();
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(network, qelta::kRelevanceForClustering));
  double total = 0.0;
  for (int i = 0; parts != nullptr && i < parts->GetSize(); ++i) {
    const VRN_relevancePart& part = *parts->GetPart(i);
    // A one-record part is answered from its own table, without a tree.
    if (part.GetSize() < 2) continue;
    const int n = part.GetSize();
    std::vector<int> outcomes(n), evidence(n), offsets(n + 1, 0), parents;
    std::vector<const double*> tables(n);
    for (int r = 0; r < n; ++r) {
      const VRN_relevanceNode* record = part.GetRecord(r);
      for (int k = 0; k < record->GetParentCount(); ++k) {
        parents.push_back(record->GetParent(k)->GetLocalIndex());
      }
      outcomes[r] = record->GetOutcomeCount();
      evidence[r] = record->GetEvidence();
      tables[r] = record->GetTable()->GetItems().Items();
      offsets[r + 1] = static_cast<int>(parents.size());
    }
    qelta::JoinTreeProblem problem;
    problem.node_count = n;
    problem.outcomes = outcomes.data();
    problem.evidence = evidence.data();
    problem.parent_offsets = offsets.data();
    problem.parents = parents.data();
    problem.tables = tables.data();
    qelta::JoinTree tree(problem);
    if (tree.Build(0) != qelta::kOk) return -1.0;
    for (int c = 0; c < tree.clique_count(); ++c) {
      total += static_cast<double>(tree.sorted_clique(c)->size);
    }
  }
  return total;
}

}  // namespace qelta_bench

#endif  // QELTA_BENCH_BENCH_SUPPORT_H_
