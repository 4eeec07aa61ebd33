// The steps of one EM pass that the one-machine learner and the
// distributed one share, so that both run the very same arithmetic.
#ifndef QELTA_LEARNING_EM_STEPS_H_
#define QELTA_LEARNING_EM_STEPS_H_

#include <utility>
#include <vector>

#include "base/matrix.h"

class VRN_errorLog;
class VRN_network;

namespace qelta {

using CountTables = std::vector<std::vector<VRN_matrix>>;
// Per node of the inference network: (node of the working network, order).
using FamilyMap = std::vector<std::pair<int, int>>;

// The expected family counts of one case (the network's evidence) added
// into counts, each node's family into the table familyMap names (null:
// every node into order 0 of its own tables). Logs into log.
int CountCase(VRN_network& net, bool relevanceOn, const FamilyMap* familyMap,
              CountTables* counts, VRN_errorLog* log);

// One record's part of a pass, on the network's evidence: adds the record's
// ln P(e) to *logLikelihood and its expected family counts into counts (as
// CountCase). Fails, naming record (counted from 1), when P(e) is zero or
// cannot be computed.
int ExpectRecord(VRN_network& net, bool relevanceOn, const FamilyMap* familyMap,
                 long long record, CountTables* counts, double* logLikelihood,
                 VRN_errorLog* log);

// New parameters of node h's definition of that order (0: its own, k: its
// temporal definition of order k) from prior and counts (counts emptied):
// weight times the prior plus the counts, normalised per column; a column
// summing to 0 and the columns "VRN_NOLEARN" names keep the prior.
int Maximise(VRN_network& work, int h, int order, double weight,
             const VRN_matrix& prior, VRN_matrix* counts);

// Sets the starting tables of a run on the working copy work as the
// learner sets them: uniform, drawn from a generator seeded with seed, or
// left as they are; only those of startNodes (null: every node).
void StartParameters(VRN_network& work, bool uniformize, bool randomize,
                     int seed, const std::vector<int>* startNodes);

// EM's stopping rule on the log-likelihoods of the last two passes:
// converged when current is 0, not when previous is 0, converged when
// previous >= current, else when previous / current < threshold.
inline bool EmConverged(double previous, double current, double threshold) {
  if (current == 0.0) return true;
  if (previous == 0.0) return false;
  return previous >= current || previous / current < threshold;
}

}  // namespace qelta

#endif  // QELTA_LEARNING_EM_STEPS_H_
