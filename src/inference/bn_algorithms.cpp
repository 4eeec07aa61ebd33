// Exact belief-updating routines and the probability of evidence (see
// bn_algorithms.h).
#include "inference/bn_algorithms.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/clustering_engine.h"
#include "inference/relevance.h"
#include "inference/table_columns.h"
#include "inference/underflow_bounds.h"

namespace qelta {
namespace {

// atoi-style reading: blanks, a sign, digits; anything else ends it. Values
// beyond the int range are clamped.
long long ReadDecimal(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' ||
         *text == '\f' || *text == '\v') {
    ++text;
  }
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value < std::numeric_limits<int>::max()) {
      value = value * 10 + (*text - '0');
    }
  }
  if (value > std::numeric_limits<int>::max()) {
    value = std::numeric_limits<int>::max();
  }
  return negative ? -value : value;
}

// The property's value read as above; fallback when absent or below 1.
long long ReadThreshold(const VRN_network& network, const char* key,
                        long long fallback) {
  const VRN_userProperties& properties = network.UserProperties();
  const int i = properties.FindProperty(key);
  if (i < 0) return fallback;
  const long long value = ReadDecimal(properties.GetPropertyValue(i));
  return value < 1 ? fallback : value;
}

// Solves one part of more than one record with the engine.
bool SolvePart(VRN_relevancePart* part, std::uint8_t* solve_flags,
               std::uint32_t size_limit, int* zero_counter) {
  VRN_clusterJob job;
  job.part = part;
  job.zeroCounter = zero_counter;
  VRN_clusteringEngine engine(&job);
  return engine.Run(solve_flags, size_limit);
}

// Clears the solve flag of a solved one-record part's node.
void ClearSolveFlag(std::uint8_t* solve_flags, const VRN_relevanceNode* record) {
  if (solve_flags != nullptr && record->GetHandle() >= 0) {
    solve_flags[record->GetHandle()] = 0;
  }
}

// Entry of node h's inference table at its parents' evidence and its own
// outcome; -1.0 when a parent has none or the table does not match.
double EvidenceEntry(VRN_network* network, int h, int outcome) {
  VRN_node* node = network->GetNode(h);
  const VRN_matrix* table = node->Definition()->GetExpandedDefinition();
  const VRN_intArray& parents = node->Parents();
  if (table == nullptr || table->GetDimensionCount() != parents.GetSize() + 1) {
    return -1.0;
  }
  int index = 0;
  for (int i = 0; i < parents.GetSize(); ++i) {
    const int e = network->GetNode(parents[i])->Value()->GetEvidence();
    if (e < 0 || e >= table->GetSize(i)) return -1.0;
    index += e * table->GetStrides()[i];
  }
  const int own = parents.GetSize();
  const int k = table->GetSize(own);
  if (outcome < 0 || outcome >= k) return -1.0;
  // The column as inference sees it: normalised, uniform when all zero.
  const int stride = table->GetStrides()[own];
  double sum = 0.0;
  for (int j = 0; j < k; ++j) sum += table->GetItem(index + j * stride);
  const double entry = table->GetItem(index + outcome * stride);
  if (sum == 0.0) return 1.0 / k;
  return std::fabs(sum - 1.0) <= kColumnSumTolerance ? entry : entry / sum;
}

}  // namespace

DecompositionThresholds DecompositionThresholds::Read(
    const VRN_network& network) {
  DecompositionThresholds t;
  t.batchSize =
      static_cast<int>(ReadThreshold(network, kKeyDecompThreshold,
                                     kDefaultBatchSize));
  t.splitLimit = static_cast<std::uint32_t>(
      ReadThreshold(network, kKeyDecompThreshold2, kDefaultSplitLimit));
  t.firstLimit = static_cast<std::uint32_t>(
      ReadThreshold(network, kKeyDecompThreshold3, 0));
  t.fallbackDisabled =
      network.UserProperties().FindProperty(kKeyDisableFallback) >= 0;
  return t;
}

bool WalkTargetBatches(VRN_network* network, const std::uint8_t* solveFlags,
                       int batchSize,
                       const std::function<bool(const VRN_intArray&)>& solve) {
  assert(batchSize >= 1);
  // A copy: solving changes targets, never the structure, but the cached
  // order is the network's to rebuild.
  const VRN_intArray order = network->PartialOrder();
  VRN_intArray batch;
  for (int i = order.GetSize() - 1; i >= 0; --i) {
    const int h = order[i];
    if (solveFlags[h] == 0) continue;
    batch.Add(h);
    if (batch.GetSize() == batchSize) {
      if (!solve(batch)) return false;
      batch.Flush();
    }
  }
  return batch.IsEmpty() || solve(batch);
}

}  // namespace qelta

// ------------------------------------------------------ shared clustering

bool VRN_ClusteringRun(VRN_network* network, std::uint8_t* solveFlags,
                       std::uint32_t sizeLimit, int* zeroCounter) {
  std::unique_ptr<VRN_relevanceParts> parts;
  try {
    qelta::ClearUnderflow();
    parts.reset(VRN_RelevanceDecompose(network, qelta::kRelevanceForClustering));
    // A root summed into its child may have lost products below the
    // doubles and so taken a tiny probability to 0, where the update would
    // report impossible evidence: the roots then stay, for the join trees
    // to weigh what their products lose.
    if (qelta::Underflowed()) {
      parts.reset();
      parts.reset(VRN_RelevanceDecompose(
          network, qelta::kRelevanceForClustering & ~qelta::kRelevanceRootAbsorption));
    }
    if (parts == nullptr) return true;
    // Impossible evidence that relevance reasoning answered on the spot
    // counts as an all-zero marginal.
    for (int h : parts->GetImpossibleEvidence()) {
      qelta::LogZeroMarginal(network, h);
      if (zeroCounter != nullptr) ++*zeroCounter;
    }
    for (int i = 0; i < parts->GetSize(); ++i) {
      VRN_relevancePart* part = parts->GetPart(i);
      if (part->GetSize() == 1) {
        VRN_relevanceNode* record = part->GetRecord(0);
        (void)record->CopyTableToBeliefs();
        qelta::ClearSolveFlag(solveFlags, record);
      } else if (!qelta::SolvePart(part, solveFlags, sizeLimit, zeroCounter)) {
        return false;
      }
      parts->DestroyPart(i);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void VRN_SnapshotTargets(VRN_network* network,
                         std::vector<std::uint8_t>* solveFlags,
                         std::vector<std::uint8_t>* savedTargets) {
  const int slots = network->GetLastNode() + 1;
  const bool had_targets = network->GetNumberOfTargets() > 0;
  solveFlags->assign(slots > 0 ? slots : 0, 0);
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    (*solveFlags)[h] = (!had_targets || network->GetNode(h)->IsTarget()) ? 1 : 0;
  }
  savedTargets->clear();
  if (had_targets) {
    *savedTargets = *solveFlags;
    (void)network->ClearAllTargets();
  }
}

int VRN_FinishDecomposition(VRN_network* network,
                            const std::vector<std::uint8_t>& savedTargets,
                            bool ok, int count) {
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    if (h < static_cast<int>(savedTargets.size()) && savedTargets[h] != 0 &&
        !network->GetNode(h)->IsTarget()) {
      (void)network->SetTarget(h, true);
    }
  }
  if (!ok) return qelta::kErrOutOfMemory;
  return count > 0 ? qelta::kErrZeroMarginal : qelta::kOk;
}

bool VRN_SolveTargetBatchSplit(VRN_network* network, std::uint8_t* solveFlags,
                               const int* handles, int count,
                               std::uint32_t limit) {
  if (count < 1) return true;
  bool any = false;
  for (int i = 0; i < count; ++i) {
    if (solveFlags[handles[i]] != 0) {
      (void)network->SetTarget(handles[i], true);
      any = true;
    }
  }
  if (!any) return true;
  int counter = 0;
  const bool ok =
      VRN_ClusteringRun(network, solveFlags, count == 1 ? 0 : limit, &counter);
  (void)network->ClearAllTargets();
  if (ok || count < 2) return ok;
  const int half = count / 2;
  if (!VRN_SolveTargetBatchSplit(network, solveFlags, handles + half,
                                 count - half, limit)) {
    return false;
  }
  return VRN_SolveTargetBatchSplit(network, solveFlags, handles, half, limit);
}

bool VRN_SolveTargetBatch(VRN_network* network, std::uint8_t* solveFlags,
                          const VRN_intArray& batch, std::uint32_t firstLimit,
                          std::uint32_t splitLimit) {
  const int count = batch.GetSize();
  for (int h : batch) (void)network->SetTarget(h, true);
  int counter = 0;
  const bool ok = VRN_ClusteringRun(network, solveFlags,
                                    count == 1 ? 0 : firstLimit, &counter);
  for (int h : batch) (void)network->SetTarget(h, false);
  if (ok || count == 1) return ok;
  const int half = count / 2;
  if (!VRN_SolveTargetBatchSplit(network, solveFlags, batch.Items() + half,
                                 count - half, splitLimit)) {
    return false;
  }
  return VRN_SolveTargetBatchSplit(network, solveFlags, batch.Items(), half,
                                   splitLimit);
}

// ---------------------------------------------------------------- routines

int VRN_UpdateRelevanceDecomposition(VRN_network* network) {
  // Target marks change only for the run: no automatic update follows.
  VRN_autoUpdateGuard quiet(network, false);
  const qelta::DecompositionThresholds t =
      qelta::DecompositionThresholds::Read(*network);
  const std::uint32_t split_limit =
      t.firstLimit > 0 ? t.firstLimit : t.splitLimit;
  std::vector<std::uint8_t> solve_flags;
  std::vector<std::uint8_t> saved;
  bool ok = false;
  try {
    VRN_SnapshotTargets(network, &solve_flags, &saved);
    ok = qelta::WalkTargetBatches(
        network, solve_flags.data(), t.batchSize,
        [&](const VRN_intArray& batch) {
          return VRN_SolveTargetBatch(network, solve_flags.data(), batch,
                                      t.firstLimit, split_limit);
        });
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  return VRN_FinishDecomposition(network, saved, ok, 0);
}

int VRN_UpdateRelevanceDecomposition2(VRN_network* network) {
  // Target marks change only for the run: no automatic update follows.
  VRN_autoUpdateGuard quiet(network, false);
  const qelta::DecompositionThresholds t =
      qelta::DecompositionThresholds::Read(*network);
  std::vector<std::uint8_t> solve_flags;
  std::vector<std::uint8_t> saved;
  bool ok = false;
  try {
    VRN_SnapshotTargets(network, &solve_flags, &saved);
    const VRN_intArray& order = network->PartialOrder();
    std::vector<int> list;
    for (int i = order.GetSize() - 1; i >= 0; --i) {
      if (solve_flags[order[i]] != 0) list.push_back(order[i]);
    }
    ok = VRN_SolveTargetBatchSplit(network, solve_flags.data(), list.data(),
                                   static_cast<int>(list.size()),
                                   t.splitLimit);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  return VRN_FinishDecomposition(network, saved, ok, 0);
}

int VRN_UpdateClustering(VRN_network* network) {
  int counter = 0;
  if (VRN_ClusteringRun(network, nullptr, 0, &counter)) {
    return counter > 0 ? qelta::kErrZeroMarginal : qelta::kOk;
  }
  if (network->GetNumberOfTargets() == 1) return qelta::kErrOutOfMemory;
  if (network->UserProperties().FindProperty(qelta::kKeyDisableFallback) >= 0) {
    return qelta::kErrOutOfMemory;
  }
  return VRN_UpdateRelevanceDecomposition(network);
}

namespace {

// Below 2^this, what products below the doubles lost may show in a
// probability of evidence.
constexpr long long kLostEvidenceExponent = -960;

// Whether some node holds observed or virtual evidence: the network's list
// of nodes with evidence spares a scan of every node.
bool AnyObserved(VRN_network* network) {
  for (int h : network->EvidenceNodes()) {
    if (network->GetNode(h)->Value()->HasFlags(qelta::kValFlagEvidence | qelta::kValFlagVirtual)) {
      return true;
    }
  }
  return false;
}

// The probability of the evidence over the parts relevance reasoning with
// these flags leaves; *lost tells whether its own sums lost products below
// the doubles. observed: whether any evidence is observed.
qelta::ScaledProbability EvidenceOverParts(VRN_network* network, int flags, bool observed,
                                           bool* lost) {
  qelta::ScaledProbability p;
  qelta::ScaledProbability none;
  none.fraction = qelta::ScaledProbability::kNone;
  try {
    qelta::ClearUnderflow();
    std::unique_ptr<VRN_relevanceParts> parts(VRN_RelevanceDecompose(network, flags));
    *lost = qelta::Underflowed();
    // No list means no node at all: nothing observed, certainly.
    if (parts == nullptr) {
      if (network->GetNumberOfNodes() != 0) p.fraction = 0.0;
      return p;
    }
    const int slots = network->GetLastNode() + 1;
    // Observed nodes not yet accounted for by a part.
    std::vector<std::uint8_t> pending(slots > 0 ? slots : 0, 0);
    for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
      if (network->GetNode(h)->Value()->HasFlags(qelta::kValFlagEvidence)) {
        pending[h] = 1;
      }
    }
    for (int i = 0; i < parts->GetSize(); ++i) {
      VRN_relevancePart* part = parts->GetPart(i);
      for (int r = 0; r < part->GetSize(); ++r) {
        const int h = part->GetRecord(r)->GetHandle();
        if (h >= 0) pending[h] = 0;
      }
      if (part->GetSize() == 1) {
        (void)part->GetRecord(0)->CopyTableToBeliefs();
      } else {
        VRN_clusterJob job;
        job.part = part;
        VRN_clusteringEngine engine(&job);
        const qelta::ScaledProbability q = engine.ProbabilityOfEvidence();
        if (q.failed()) return q;
        p.Multiply(q);
      }
      parts->DestroyPart(i);
    }
    parts.reset();

    for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
      if (pending[h] == 0) continue;
      VRN_node* node = network->GetNode(h);
      // Parents whose outcome is only implied contribute their own entry
      // when their own parents' outcomes are all known.
      for (int parent : node->Parents()) {
        VRN_nodeVal* value = network->GetNode(parent)->Value();
        if (!value->HasFlags(qelta::kValFlagPropagated)) continue;
        bool known = true;
        for (int grand : network->GetNode(parent)->Parents()) {
          known = known && network->GetNode(grand)->Value()->HasEvidence();
        }
        if (!known) continue;
        const double entry = qelta::EvidenceEntry(network, parent,
                                                  value->GetEvidence());
        if (entry < 0.0) return none;
        p.Multiply(entry);
      }
      const double entry =
          qelta::EvidenceEntry(network, h, node->Value()->GetEvidence());
      if (entry < 0.0) return none;
      p.Multiply(entry);
    }
    // The parts' sums round: to either side of 1 when nothing is observed
    // (every node is kept then), and above 1 for evidence that every
    // configuration implies. No probability is above 1.
    const long long near = std::max(-2LL, std::min(p.exponent, 2LL));
    if (!observed || (p.fraction > 0.0 && std::ldexp(p.fraction, static_cast<int>(near)) > 1.0)) {
      p.fraction = 1.0;
      p.exponent = 0;
    }
    return p;
  } catch (const std::bad_alloc&) {
    return none;
  }
}

}  // namespace

qelta::ScaledProbability VRN_ProbabilityOfEvidence(VRN_network* network) {
  bool lost = false;
  const bool observed = AnyObserved(network);
  qelta::ScaledProbability p =
      EvidenceOverParts(network, qelta::kRelevanceForEvidence, observed, &lost);
  // Roots summed away may have lost products below the doubles: each loses
  // less than 2^-1074 of a probability (entries and likelihoods are at
  // most 1), which shows only in a probability near the foot of the
  // doubles, or as a 0 that is none. Without those sums the join trees
  // weigh what their own products lose.
  if (!p.failed() && lost && (p.fraction == 0.0 || p.exponent < kLostEvidenceExponent)) {
    p = EvidenceOverParts(network, 0, observed, &lost);
    if (!p.failed() && lost) {
      qelta::LogBelowDoubles(network);
      p.fraction = qelta::ScaledProbability::kInexact;
    }
  }
  return p;
}
