// Exact belief-updating routines of Bayesian networks and the probability of
// evidence.
//
// Each routine takes the network, runs relevance reasoning to obtain
// independent parts, solves every part with the join-tree clustering engine
// and writes beliefs into the node values. The routines differ in how they
// group the targets:
//   VRN_UpdateClustering                one run over all targets; when a join
//                                       tree does not fit, falls back to
//                                       VRN_UpdateRelevanceDecomposition;
//   VRN_UpdateRelevanceDecomposition    targets in batches of a fixed size
//                                       taken from the end of the
//                                       topological order, a batch that does
//                                       not fit split in halves;
//   VRN_UpdateRelevanceDecomposition2   all targets in one batch, split in
//                                       halves when it does not fit.
// None of them logs a message of its own; the engine logs every marginal
// that sums to zero (-43).
//
// Thresholds come from the network's user properties each time a routine
// starts (see qelta::DecompositionThresholds).
//
// Thread use: the caller's thread; the decomposition routines change the
// network's target marks while they run (and restore them), so nobody else
// may use the network meanwhile. No state is kept between calls.
#ifndef QELTA_INFERENCE_BN_ALGORITHMS_H_
#define QELTA_INFERENCE_BN_ALGORITHMS_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "base/arrays.h"
#include "inference/join_tree.h"

class VRN_network;

namespace qelta {

// User-property keys read by the decomposition routines.
inline constexpr const char* kKeyDecompThreshold = "VRN_REL_DECOMP_THRESHOLD";
inline constexpr const char* kKeyDecompThreshold2 = "VRN_REL_DECOMP_THRESHOLD2";
inline constexpr const char* kKeyDecompThreshold3 = "VRN_REL_DECOMP_THRESHOLD3";
inline constexpr const char* kKeyDisableFallback =
    "VRN_REL_DECOMP_DISABLE_FALLBACK";

inline constexpr int kDefaultBatchSize = 32;
inline constexpr std::uint32_t kDefaultSplitLimit = 65536;

// The thresholds of relevance decomposition as the network's user
// properties set them: each value is read as a decimal integer (leading
// blanks and a sign allowed, reading stops at the first non-digit, no digits
// read as 0); a value below 1, or a missing property, gives the default.
struct DecompositionThresholds {
  int batchSize = kDefaultBatchSize;            // "VRN_REL_DECOMP_THRESHOLD"
  std::uint32_t splitLimit = kDefaultSplitLimit;  // "..._THRESHOLD2"
  std::uint32_t firstLimit = 0;  // "..._THRESHOLD3"; 0: the search's own
  bool fallbackDisabled = false;  // "..._DISABLE_FALLBACK" present

  static DecompositionThresholds Read(const VRN_network& network);
};

// Walks the network's topological order from its last node to its first and
// appends every node whose solve flag is set (read when the node is reached)
// to a batch; each time the batch holds batchSize handles, and once more at
// the end when it is not empty, solve(batch) runs and the batch is emptied.
// Stops at the first solve that answers false. True when every solve
// succeeded (also when there was nothing to solve).
// REQUIRES: batchSize >= 1; solveFlags has GetLastNode() + 1 entries.
bool WalkTargetBatches(VRN_network* network, const std::uint8_t* solveFlags,
                       int batchSize,
                       const std::function<bool(const VRN_intArray&)>& solve);

}  // namespace qelta

// ---------------------------------------------------------------- routines

// Code 0. Answers 0; -43 when some marginal summed to zero (the whole update
// still ran); -42 when a join tree did not fit and the network has exactly
// one target or the fallback is disabled; otherwise the result of
// VRN_UpdateRelevanceDecomposition. Leaves the targets untouched.
int VRN_UpdateClustering(VRN_network* network);

// Code 11. Answers 0 (all-zero marginals are logged, not answered) or -42
// when even a single target does not fit. The network's targets are cleared
// during the run and restored afterwards; without targets every live node
// is solved.
int VRN_UpdateRelevanceDecomposition(VRN_network* network);

// Code 12. As code 11 with all targets in one batch and the split limit of
// "VRN_REL_DECOMP_THRESHOLD2".
int VRN_UpdateRelevanceDecomposition2(VRN_network* network);

// The probability of the network's observed evidence under its current
// targets (see VRN_network::CalcPropEvidence, which sets them): the product
// of the parts' evidence probabilities and of the table entries of observed
// nodes outside every part, kept however far below the doubles. 1 for a
// network without nodes; failed when a part cannot be compiled or an
// observed node outside every part has a parent without evidence, inexact
// (logged) when a part's products lost what shows in it. Beliefs of
// one-record parts are written into their values.
qelta::ScaledProbability VRN_ProbabilityOfEvidence(VRN_network* network);

// ------------------------------------------------------ shared clustering

// Runs relevance reasoning (flags 7; without root absorption where summing
// roots away lost products below the doubles) and the clustering engine on
// every part. solveFlags: null, or one byte per handle (GetLastNode() + 1) that is
// 1 for a node whose belief is still wanted; the engine clears the byte of
// every node it solves. sizeLimit: the engine's table-size limit (0 its
// default). zeroCounter: counts all-zero marginals (may be null). True when
// every part was solved (also when there was nothing to solve); false when
// a part did not fit, had more than qelta::kMaxEngineRecords records, or
// memory ran out; the parts after the failing one are left unsolved.
bool VRN_ClusteringRun(VRN_network* network, std::uint8_t* solveFlags,
                       std::uint32_t sizeLimit, int* zeroCounter);

// Makes every handle of batch a target, runs VRN_ClusteringRun with
// firstLimit (0 for a batch of one), clears those targets; when that failed
// for a batch of two or more, solves the second half and then the first
// with VRN_SolveTargetBatchSplit and splitLimit. True on success.
bool VRN_SolveTargetBatch(VRN_network* network, std::uint8_t* solveFlags,
                          const VRN_intArray& batch, std::uint32_t firstLimit,
                          std::uint32_t splitLimit);

// Makes the listed handles whose solve flag is still set targets (none: true
// at once), runs VRN_ClusteringRun with limit (0 for a list of one), clears
// all targets; on failure with two or more handles, halves recursively
// (second half first). True on success; count < 1 is true.
bool VRN_SolveTargetBatchSplit(VRN_network* network, std::uint8_t* solveFlags,
                               const int* handles, int count,
                               std::uint32_t limit);

// Sizes solveFlags to GetLastNode() + 1: for every live node 1 when the
// network has no targets, else its target mark (free slots 0). When the
// network had targets, savedTargets receives a copy and all targets are
// cleared; otherwise savedTargets is emptied and the targets are untouched.
void VRN_SnapshotTargets(VRN_network* network,
                         std::vector<std::uint8_t>* solveFlags,
                         std::vector<std::uint8_t>* savedTargets);

// Marks every live node whose saved flag is set as a target again. Answers
// -42 when ok is false, else -43 when count > 0, else 0.
int VRN_FinishDecomposition(VRN_network* network,
                            const std::vector<std::uint8_t>& savedTargets,
                            bool ok, int count);

#endif  // QELTA_INFERENCE_BN_ALGORITHMS_H_
