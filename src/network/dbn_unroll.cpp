// Unrolling a dynamic network into an ordinary one (one copy of every plate
// node per slice) and the temporal belief update through that network.
#include <algorithm>
#include <cmath>
#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "equations/equation_evaluation.h"
#include "equations/expression_visitor.h"
#include "network/cases.h"
#include "network/dbn.h"
#include "network/node.h"

namespace {

// Copy flags of the unrolled network: no temporal part, no automatic update.
constexpr int kUnrollCopyFlags = qelta::kCopyNoTemporal | qelta::kCopyWorking;

// Index of plate node h among the first count entries of the map.
int PlateIndex(const std::vector<int>& map, int count, int h) {
  auto end = map.begin() + count;
  auto it = std::lower_bound(map.begin(), end, h);
  return it != end && *it == h ? static_cast<int>(it - map.begin()) : -1;
}

// An equation's result is its samples and statistics or its discretized
// belief, not the value matrix alone: the unrolled node hands them all over
// (moved, as the unrolled network is destroyed next) with its validity.
// Whether the value holds evidence is the network's own business. False
// when the nodes are not equation nodes.
bool HandOverEquationResult(VRN_nodeVal* value, VRN_nodeVal* unrolled) {
  auto* equation = dynamic_cast<VRN_equationEvaluation*>(value);
  auto* from = dynamic_cast<VRN_equationEvaluation*>(unrolled);
  if (equation == nullptr || from == nullptr) return false;
  equation->TakeResultsFrom(*from);
  equation->SetUpdateTag(0);
  return true;
}

// The equation of terminal node t in the unrolled network: t's own, with
// each plate parent named by its copy in the last slice, the handle
// lastSlice gives. Detaching and attaching the arcs rewrote it to a sum of
// the parents, and an equation has no table for a copy to carry; bounds
// and intervals are untouched by either. 0, or SetEquation's refusal.
template <typename LastSlice>
int UnrollTerminalEquation(VRN_network& target, const VRN_network& source,
                           int t, LastSlice lastSlice) {
  const auto* own =
      dynamic_cast<const VRN_equation*>(source.GetNode(t)->Definition());
  VRN_equation* unrolled = VRN_GetEquation(&target, t);
  if (own == nullptr || unrolled == nullptr) return qelta::kOk;
  // Copies have identifiers no source node has, so renaming one parent
  // never captures another.
  VRN_parsedEquation renamed(own->GetEquation());
  for (int q : source.GetNode(t)->Parents()) {
    const int copy = lastSlice(q);
    if (copy == q) continue;
    for (VRN_expression* side : {renamed.left, renamed.right}) {
      if (side != nullptr) {
        RenameVariable(side, source.GetNode(q)->GetId(),
                       target.GetNode(copy)->GetId());
      }
    }
  }
  const std::string text = renamed.GetText();
  return unrolled->SetEquation(text.c_str(), nullptr, nullptr);
}

// Drops the indexing parents of a value, keeping its flags: a value copied
// back lists only what the unrolled network's result lists.
void DropIndexing(VRN_nodeVal* value) {
  if (value->GetIndexingParents().IsEmpty()) return;
  (void)value->ShapeAsBeliefs(
      std::max(1, value->GetOwnDefinition()->GetNumberOfOutcomes()));
}

// Gives value, of a node outside the plate of `network` and without
// indexing parents, the result that its node holds in the unrolled network:
// the matrix, and the indexing parents with it. An influence-diagram solver
// may index a value by slice copies or plate nodes, which nothing in this
// network's layout can name: such a value is not valid here.
void CopyUnrolledValue(const VRN_network& network, const VRN_nodeVal& unrolled,
                       VRN_nodeVal* value) {
  if (!unrolled.IsValueValid()) {
    value->Invalidate();
    return;
  }
  const VRN_intArray& parents = unrolled.GetIndexingParents();
  const VRN_matrix& m = unrolled.GetValue();
  bool fits = m.GetDimensionCount() == parents.GetSize() + 1;
  for (int i = 0; fits && i < parents.GetSize(); ++i) {
    const VRN_node* node = network.GetNode(parents[i]);
    fits = node != nullptr &&
           node->GetTemporalType() != qelta::kTemporalPlate &&
           node->Definition()->GetDiscreteOutcomeCount() == m.GetSize(i);
  }
  for (int i = 0; fits && i < parents.GetSize(); ++i) {
    fits = value->AddIndexingParent(parents[i]) == qelta::kOk;
  }
  if (!fits || !(value->GetIndexingParents() == parents)) {
    DropIndexing(value);
    value->Invalidate();
    return;
  }
  value->GetMutableValue() = m;
  value->AddFlags(qelta::kValFlagValid);
  value->SetUpdateTag(0);
}

// An observation of the unrolled network, placed in time: slice -1 for a
// node before the plate, the slice count for one after it.
struct TimedObservation {
  int slice;
  int rank;  // order within the slice
  int handle;
  int outcome;  // -1: likelihoods
  std::vector<double> likelihoods;
};

// Whether the observations up to `last` (inclusive) have probability zero
// in net. False when the probability cannot be computed.
bool ImpossibleUpTo(VRN_network& net, const std::vector<TimedObservation>& observations,
                    std::size_t last) {
  (void)net.ClearAllEvidence();
  for (std::size_t i = 0; i <= last; ++i) {
    const TimedObservation& o = observations[i];
    VRN_nodeVal* value = net.GetNode(o.handle)->Value();
    const int status = o.outcome >= 0 ? value->SetEvidence(o.outcome)
                                      : value->SetVirtualEvidence(o.likelihoods);
    if (status != qelta::kOk) return false;
  }
  double logP = 0.0;
  return net.CalcLogPropEvidence(logP, false) && logP == -HUGE_VAL;
}

}  // namespace

void VRN_dbn::ReportImpossibleEvidence(const VRN_network& unrolled,
                                       const std::vector<int>& map) const {
  const int count = sliceCount_ > 0 ? static_cast<int>(map.size()) / sliceCount_ : 0;
  std::vector<std::pair<int, int>> placed(static_cast<std::size_t>(unrolled.GetSlotCount()),
                                          std::make_pair(-1, 0));
  for (int h = unrolled.GetFirstNode(); h >= 0; h = unrolled.GetNextNode(h)) {
    const VRN_node* own = network_->IsValidHandle(h) ? network_->GetNode(h) : nullptr;
    const bool after = own != nullptr && own->GetTemporalType() == qelta::kTemporalTerminal;
    placed[h] = std::make_pair(after ? sliceCount_ : -1, h);
  }
  for (std::size_t k = 0; k < map.size(); ++k) {
    const int copy = map[k];
    if (copy >= 0 && copy < static_cast<int>(placed.size())) {
      placed[copy] = std::make_pair(static_cast<int>(k) / count, static_cast<int>(k) % count);
    }
  }
  std::vector<TimedObservation> observations;
  for (int h = unrolled.GetFirstNode(); h >= 0; h = unrolled.GetNextNode(h)) {
    const VRN_nodeVal* value = unrolled.GetNode(h)->Value();
    TimedObservation o{placed[h].first, placed[h].second, h, -1, {}};
    if (value->HasFlags(qelta::kValFlagEvidence)) {
      o.outcome = value->GetEvidence();
    } else if (!value->HasVirtualEvidence() || value->GetVirtualEvidence(&o.likelihoods) != qelta::kOk) {
      continue;
    }
    observations.push_back(std::move(o));
  }
  std::sort(observations.begin(), observations.end(),
            [](const TimedObservation& a, const TimedObservation& b) {
              return a.slice != b.slice ? a.slice < b.slice : a.rank < b.rank;
            });
  // The probes work on a copy with its own log; without relevance
  // reasoning no observation is refused for what the others imply.
  VRN_network probe(unrolled, qelta::kCopyWorking);
  probe.SetFlags(probe.GetFlags() & ~qelta::kNetRelevance);
  if (observations.empty() || !ImpossibleUpTo(probe, observations, observations.size() - 1)) return;
  // Observations only add factors: once zero, the probability stays zero.
  std::size_t low = 0, high = observations.size() - 1;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (ImpossibleUpTo(probe, observations, middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  const TimedObservation& first = observations[high];
  const bool plate = first.slice >= 0 && first.slice < sliceCount_;
  const int node = plate ? map[static_cast<std::size_t>(first.rank)] : first.handle;
  std::string what = "the likelihoods";
  if (first.outcome >= 0) {
    const VRN_idArray* ids = network_->GetNode(node)->Definition()->GetOutcomesNames();
    const char* id = ids != nullptr ? ids->Get(first.outcome) : nullptr;
    what = id != nullptr && id[0] != '\0' ? std::string("outcome [") + id + "]"
                                           : "outcome #" + std::to_string(first.outcome);
  }
  std::string where = std::string("node [") + network_->GetNode(node)->GetId() + "]";
  if (plate) where += " in slice " + std::to_string(first.slice);
  (void)network_->ErrorLog()->Logf(qelta::kErrZeroMarginal,
                                   "The evidence is impossible: its probability becomes zero "
                                   "with %s of %s",
                                   what.c_str(), where.c_str());
}

int VRN_dbn::BuildUnrollMap(std::vector<int>& map) const {
  map.clear();
  for (int h = network_->GetFirstNode(); h >= 0; h = network_->GetNextNode(h)) {
    if (IsPlate(h)) map.push_back(h);
  }
  const int count = static_cast<int>(map.size());
  map.resize(static_cast<size_t>(count) * sliceCount_, -1);
  return count;
}

std::string VRN_dbn::MakeSliceNodeId(const VRN_network& target, int node,
                                     int slice) const {
  std::string id = target.GetNode(node)->GetId();
  id += '_';
  id += std::to_string(slice);
  if (target.IsIdInUse(id.c_str(), -1) != 0) id.clear();
  return id;
}

void VRN_dbn::CaseSlicesOntoCopies(VRN_network& target,
                                   const std::vector<int>& map,
                                   int count) const {
  // The copy kept each case's entries in order, each per-slice one now the
  // outcome of slice 0 (or gone); the later slices are appended.
  const int cases = std::min(network_->GetNumberOfCases(),
                             target.GetNumberOfCases());
  std::vector<std::pair<int, int>> pairs;
  for (int c = 0; c < cases; ++c) {
    const VRN_case& from = *network_->GetCase(c);
    VRN_case& to = *target.GetCase(c);
    for (int e = 0; e < from.GetNumberOfEvidence(); ++e) {
      int h = -1;
      if (from.GetTemporalEvidence(e, h, pairs) != qelta::kOk) continue;
      const int i = IsPlate(h) ? PlateIndex(map, count, h) : -1;
      if (i < 0) continue;
      for (const auto& [slice, outcome] : pairs) {
        if (slice < 1 || slice >= sliceCount_) continue;
        const int copy = map[static_cast<size_t>(slice) * count + i];
        // A stale outcome (cases not kept in step) is left out.
        (void)to.SetEvidence(copy, outcome);
      }
    }
  }
}

int VRN_dbn::UnrollNetwork(VRN_network& target, std::vector<int>& map) {
  const VRN_network& source = *network_;
  VRN_errorLog* log = network_->ErrorLog();
  const int slices = sliceCount_;
  const int count = BuildUnrollMap(map);
  (void)target.Copy(source, kUnrollCopyFlags);
  // The copied values are the source's results (one row per slice for
  // plate nodes): none may pass for a result of the unrolled network.
  (void)target.InvalidateValues();
  const bool relevance = source.IsRelevanceReasoning();
  target.SetFlags(target.GetFlags() & ~qelta::kNetRelevance);

  auto arc = [&](int parent, int child) {
    const int status = target.AddArc(parent, child);
    if (status == qelta::kOk) return status;
    return log->Logf(status, "Unrolling: arc from [%s] to [%s] refused",
                     target.GetNode(parent)->GetId(),
                     target.GetNode(child)->GetId());
  };
  auto in_slice = [&](int q, int slice) {
    const int i = PlateIndex(map, count, q);
    return i < 0 ? q : map[static_cast<size_t>(slice) * count + i];
  };

  // Terminal nodes below plate nodes hang under the last slice: detach now.
  std::vector<int> terminals;
  for (int h = source.GetFirstNode(); h >= 0; h = source.GetNextNode(h)) {
    const VRN_node* node = source.GetNode(h);
    if (node->GetTemporalType() != qelta::kTemporalTerminal) continue;
    bool below_plate = false;
    for (int p : node->Parents()) below_plate = below_plate || IsPlate(p);
    if (!below_plate) continue;
    terminals.push_back(h);
    VRN_intArray& parents = target.GetNode(h)->Parents();
    while (parents.GetSize() > 0) {
      (void)target.RemoveArc(parents[parents.GetSize() - 1], h);
    }
  }

  std::vector<std::pair<int, int>> pairs;
  for (int s = 1; s < slices; ++s) {
    const size_t row = static_cast<size_t>(s) * count;
    for (int i = 0; i < count; ++i) {
      const std::string id = MakeSliceNodeId(target, map[i], s);
      const int copy = CloneNodeInto(target, target, map[i],
                                     id.empty() ? nullptr : id.c_str(), true);
      if (copy < 0) {
        return log->Logf(copy, "Unrolling: node [%s] cannot be copied",
                         target.GetNode(map[i])->GetId());
      }
      map[row + i] = copy;
      if (target.IsTarget(map[i]) == 1) (void)target.SetTarget(copy, true);
    }
    for (int i = 0; i < count; ++i) {
      const int p = map[i];
      const int copy = map[row + i];
      int holder = -1;
      (void)GetUnrolledParents(p, s, pairs, holder);
      if (holder < 0) {
        const VRN_intArray parents = target.GetNode(p)->Parents();
        for (int q : parents) {
          const int status = arc(in_slice(q, s), copy);
          if (status != qelta::kOk) return status;
        }
        CopyTable(target, copy, target, p);
        for (int j = parents.GetSize() - 1; j >= 0; --j) {
          if (source.GetNode(parents[j])->GetTemporalType() ==
              qelta::kTemporalAnchor) {
            (void)target.RemoveArc(parents[j], copy);
          }
        }
      } else {
        for (const auto& [q, k] : pairs) {
          const int status = arc(in_slice(q, s - k), copy);
          if (status != qelta::kOk) return status;
        }
        CopyTable(target, copy, defNetwork_, holder);
      }
    }
  }

  for (int t : terminals) {
    for (int q : source.GetNode(t)->Parents()) {
      const int status = arc(in_slice(q, slices - 1), t);
      if (status != qelta::kOk) return status;
    }
    CopyTable(target, t, source, t);
    const int status = UnrollTerminalEquation(
        target, source, t, [&](int q) { return in_slice(q, slices - 1); });
    if (status != qelta::kOk) {
      return log->Logf(status, "Unrolling: equation of [%s] refused",
                       target.GetNode(t)->GetId());
    }
  }

  // Evidence of slices 1 and later goes onto the copies; relevance is still
  // off, so no walk runs per entry.
  for (const auto& [key, outcome] : sliceEvidence_) {
    const int i = PlateIndex(map, count, key.first);
    if (i < 0 || key.second < 1 || key.second >= slices) continue;
    const int copy = map[static_cast<size_t>(key.second) * count + i];
    const int status = target.GetNode(copy)->Value()->SetEvidence(outcome);
    if (status != qelta::kOk) {
      return log->Logf(status, "Evidence of node [%s] refused",
                       target.GetNode(copy)->GetId());
    }
  }
  for (const auto& [key, likelihoods] : sliceVirtualEvidence_) {
    const int i = PlateIndex(map, count, key.first);
    if (i < 0 || key.second < 1 || key.second >= slices) continue;
    const int copy = map[static_cast<size_t>(key.second) * count + i];
    const int status =
        target.GetNode(copy)->Value()->SetVirtualEvidence(likelihoods);
    if (status != qelta::kOk) {
      return log->Logf(status, "Virtual evidence of node [%s] refused",
                       target.GetNode(copy)->GetId());
    }
  }

  CaseSlicesOntoCopies(target, map, count);

  if (relevance) {
    target.SetFlags(target.GetFlags() | qelta::kNetRelevance);
    // Evidence implied through deterministic tables, rebuilt once for all
    // slices together.
    for (int h = target.GetFirstNode(); h >= 0; h = target.GetNextNode(h)) {
      if (target.GetNode(h)->Value()->HasEvidence()) {
        (void)target.OnEvidenceChange(h, qelta::kChangeTable);
        break;
      }
    }
  }
  return qelta::kOk;
}

int VRN_dbn::UpdateBeliefs() {
  VRN_network unrolled;
  std::vector<int> map;
  int status = UnrollNetwork(unrolled, map);
  if (status != qelta::kOk) return status;
  // Messages naming slice copies belong to the caller.
  (void)unrolled.ErrorLog()->RedirectToLog(network_->ErrorLog());
  status = unrolled.UpdateBeliefs();
  if (status == qelta::kErrZeroMarginal) ReportImpossibleEvidence(unrolled, map);
  if (status != qelta::kOk) return status;

  const int count = sliceCount_ > 0 ? static_cast<int>(map.size()) / sliceCount_
                                    : 0;
  for (int h = network_->GetFirstNode(); h >= 0;
       h = network_->GetNextNode(h)) {
    VRN_nodeVal* value = network_->GetNode(h)->Value();
    const int i = IsPlate(h) ? PlateIndex(map, count, h) : -1;
    DropIndexing(value);
    if (i < 0) {
      VRN_nodeVal* u = unrolled.GetNode(h)->Value();
      if (!HandOverEquationResult(value, u)) {
        CopyUnrolledValue(*network_, *u, value);
      }
      continue;
    }
    const int n = network_->GetNode(h)->Definition()->GetNumberOfOutcomes();
    if (n < 1) {
      // No per-slice distribution to hold; such kinds are refused as plate
      // nodes, so this only guards the row arithmetic below.
      value->Invalidate();
      continue;
    }
    VRN_intArray sizes;
    sizes.Add(sliceCount_);
    sizes.Add(n);
    VRN_matrix rows(sizes);
    rows.FillWith(0.0);
    bool valid = true;
    for (int s = 0; s < sliceCount_ && valid; ++s) {
      const VRN_nodeVal* u =
          unrolled.GetNode(map[static_cast<size_t>(s) * count + i])->Value();
      double* row = rows.GetItems().Items() + s * n;
      if (u->HasEvidence()) {
        // An observed copy is its point mass, whether or not inference
        // rewrote its value.
        const int e = u->GetEvidence();
        valid = e >= 0 && e < n;
        if (valid) row[e] = 1.0;
        continue;
      }
      // A copy indexed by a scenario holds no belief of the slice: its
      // first row is one scenario's.
      valid = u->IsValueValid() && u->GetIndexingParents().IsEmpty() &&
              u->GetValue().GetItemCount() >= n;
      if (!valid) break;
      const double* items = u->GetValue().GetItems().Items();
      std::copy(items, items + n, row);
    }
    if (!valid) {
      value->Invalidate();
      continue;
    }
    value->GetMutableValue() = rows;
    value->AddFlags(qelta::kValFlagValid);
    value->SetUpdateTag(0);
  }
  return qelta::kOk;
}
