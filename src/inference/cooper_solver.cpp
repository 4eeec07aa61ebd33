#include "inference/cooper_solver.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/id_values.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/utility.h"
#include "inference/decision_conversion.h"
#include "inference/underflow_bounds.h"
#include "network/change_guards.h"
#include "network/node.h"

namespace {

constexpr const char* kErrorMessage = "Error when running Cooper's algorithm";
constexpr double kUndefined = qelta::kUndefinedValue;

bool IsUndefined(double v) { return v == kUndefined; }

// What the update's rounding of a probability (two units in its last
// place: random diagrams checked against exact sums never showed more) and
// one more operation may move a result by, relative to the amounts it
// comes from.
constexpr double kUpdateRounding = 0x1p-51;

// What a probability may be off by after products rounded in the
// subnormals (some thousands of the least subnormal), when the update had
// to take its careful passes.
constexpr double kSubnormalFloor = 0x1p-1061;

// Whether v, off by at most error, is exact to 1e-12 of itself, or to
// 1e-300 where smaller.
bool Exact(double v, double error) {
  return error <= 1e-300 || error <= 1e-12 * std::fabs(v);
}

// The share of itself a value on a two-outcome scale tried first must hold
// to stay there: a tenth of the bound, which leaves room for the rounding
// of the rescaled utilities.
constexpr double kTrialShare = 1e-13;

int TypeOf(const VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetType();
}

VRN_nodeVal* ValueOf(const VRN_network& net, int h) {
  return net.GetNode(h)->Value();
}

int OutcomesOf(const VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetNumberOfOutcomes();
}

void MarkValid(VRN_nodeVal* value) {
  value->AddFlags(qelta::kValFlagValid);
  value->SetUpdateTag(0);
}

// Runs the odometer over the first `count` dimensions of sizes.
bool NextConfiguration(const VRN_intArray& sizes, int count,
                       std::vector<int>& coords) {
  for (int d = count - 1; d >= 0; --d) {
    if (++coords[d] < sizes[d]) return true;
    coords[d] = 0;
  }
  return false;
}

// Sizes of every dimension of m but the last (one of size 1 when m has a
// single dimension).
int ReducedDimensions(const VRN_matrix& m, VRN_matrix& out) {
  const int n = m.GetDimensionCount();
  if (n <= 1) return out.SetSingleDimension(1);
  return out.SetDimensionSizes(m.GetDimensions().Items(), n - 1);
}

// out = m maximised over its last dimension; undefined entries never win,
// and a run of undefined entries stays undefined.
int MaximizeLast(const VRN_matrix& m, VRN_matrix& out) {
  const int status = ReducedDimensions(m, out);
  if (status != qelta::kOk) return qelta::kErrOutOfMemory;
  const int n = m.GetSize(m.GetDimensionCount() - 1);
  const double* in = m.GetItems().Items();
  double* res = out.GetItems().Items();
  const int runs = m.GetItemCount() / n;
  for (int r = 0; r < runs; ++r) {
    double best = -DBL_MAX;
    bool any = false;
    for (int k = 0; k < n; ++k) {
      const double v = in[r * n + k];
      if (IsUndefined(v)) continue;
      if (!any || v > best) best = v;
      any = true;
    }
    res[r] = any ? best : kUndefined;
  }
  return qelta::kOk;
}

}  // namespace

VRN_CooperSolver::VRN_CooperSolver() = default;

VRN_CooperSolver::~VRN_CooperSolver() = default;

void VRN_CooperSolver::OnConverted() {}
void VRN_CooperSolver::OnBeforeUpdate(int) {}
void VRN_CooperSolver::OnAfterUpdate(int) {}

bool VRN_CooperSolver::Stored(int handle) const {
  return handle < static_cast<int>(stored_.size()) && stored_[handle] != 0;
}

bool VRN_CooperSolver::IsDecisionInNetwork(int handle) const {
  return (TypeOf(*network_, handle) & qelta::kDefBitDecision) != 0;
}

int VRN_CooperSolver::Solve(VRN_network& network) {
  network_ = &network;
  // Cleared as a flag only: SetAutoUpdate would update and come back here.
  const bool auto_update = network.IsAutoUpdate();
  const int options = network.GetRelevanceOptions();
  network.SetFlags(network.GetFlags() & ~qelta::kNetAutoUpdate);
  int status;
  try {
    status = SolveSteps();
    RemoveAddedMau();  // after a failure too
  } catch (const std::bad_alloc&) {
    RemoveAddedMau();
    network.SetRelevanceOptions(options);
    network.InvalidateValues();
    status = network.ErrorLog()->LogError(qelta::kErrOutOfMemory, kErrorMessage);
  }
  if (auto_update) network.SetFlags(network.GetFlags() | qelta::kNetAutoUpdate);
  return status;
}

int VRN_CooperSolver::SolveSteps() {
  VRN_network& net = *network_;
  // The candidates come first: a utility node added below may take a free
  // slot ahead of the diagram's nodes, and the topological walk from it
  // would order unrelated informational parents by its parent list, so the
  // layouts would follow the edit history instead of the diagram.
  CollectScenarioCandidates();
  {
    // Neither the combining utility nor the arcs between decisions change
    // what the diagram's evidence implies; the copy takes it as it is.
    VRN_impliedEvidenceKeeper keep(&net);
    const int prepared = PrepareUtilityNode();
    if (prepared == qelta::kErrOutOfRange) {
      net.ErrorLog()->LogError(prepared,
                               "Utilities not specified. Policies cannot be "
                               "evaluated");
      hasUtilities_ = false;
    } else if (prepared != qelta::kOk) {
      return net.ErrorLog()->LogError(prepared, kErrorMessage);
    }
    const int options = net.GetRelevanceOptions();
    net.SetRelevanceOptions(0);
    EnforceDecisionOrder();
    keep.Restore();
    CopyIntoWork();
    net.SetRelevanceOptions(options);
  }

  ConvertToChanceNodes();
  int status = FindIndexingParents();
  if (status == qelta::kOk) status = IndexMauValues();
  if (status != qelta::kOk) {
    net.InvalidateValues();
    return net.ErrorLog()->LogError(status, kErrorMessage);
  }
  work_.SetFlags(work_.GetFlags() | qelta::kNetRelevance |
                 qelta::kNetEvidencePropagation);
  work_.SetRelevanceOptions(qelta::kRelEvidenceSet | qelta::kRelEvidenceCleared);
  work_.InvalidateValues();

  status = EvaluateScenarios(0);
  if (status == qelta::kOk && completed_ == 0 && lastSkip_ != 0) {
    status = lastSkip_;  // no scenario at all could be evaluated
  }
  if (status == qelta::kOk && trialMissed_) status = EvaluateOnSignedScale();
  if (status != qelta::kOk) {
    net.InvalidateValues();
    return net.ErrorLog()->LogError(status, kErrorMessage);
  }

  const VRN_intArray& order = work_.PartialOrder();
  for (int h : order) {
    if (ValueOf(net, h)->GetIndexingParents().GetSize() == 0) StoreValues(h);
  }
  for (int h : utilityNodes_) {
    if (TypeOf(net, h) != qelta::kDefUtility) continue;
    // Codes that answer 0 under an all-zero marginal leave such a value
    // unwritten; what it holds is the last update's number.
    if (!Stored(h)) continue;
    status = ExpectedUtilities(h);
    if (status != qelta::kOk) {
      net.InvalidateValues();
      return net.ErrorLog()->LogError(status, kErrorMessage);
    }
    MarkValid(ValueOf(net, h));
  }
  CalculateMauUtilities();
  const bool policies = hasUtilities_ && (utilityNode_ < 0 ||
                                          ValueOf(net, utilityNode_)->IsValueValid());
  if (policies) {
    status = ComputePolicies();
    if (status != qelta::kOk) {
      net.InvalidateValues();
      return net.ErrorLog()->LogError(status, kErrorMessage);
    }
  }
  RemoveAddedMau();
  for (int h : work_.PartialOrder()) {
    const VRN_nodeVal* w = ValueOf(work_, h);
    // Evidence a scenario implied does not make up for the others.
    if (h < static_cast<int>(missed_.size()) && missed_[h] != 0) continue;
    VRN_nodeVal* v = ValueOf(net, h);
    // Evidence the copy derived but the diagram does not hold stands for
    // nothing written: an unindexed value is stored from the last scenario,
    // which may have been ruled out, and from the first that was not.
    const bool indexed = v->GetIndexingParents().GetSize() > 0;
    const bool held = v->HasEvidence() || indexed;
    if (w->IsValueValid() || (w->HasEvidence() && held) ||
        (!indexed && Stored(h))) {
      MarkValid(v);
    }
  }
  for (int h = net.GetFirstNode(); h >= 0 && !policies; h = net.GetNextNode(h)) {
    VRN_nodeVal* value = ValueOf(net, h);
    if (IsDecisionInNetwork(h) && (!hasUtilities_ || !value->HasEvidence())) {
      value->Invalidate();
    }
  }
  if (policies && utilityNode_ >= 0 && net.IsValidHandle(utilityNode_)) {
    MarkValid(ValueOf(net, utilityNode_));
  }
  return qelta::kOk;
}

int VRN_CooperSolver::PrepareUtilityNode() {
  VRN_network& net = *network_;
  utilityNode_ = -1;
  utilityNodes_.Flush();
  for (int h : net.PartialOrder()) {
    if ((TypeOf(net, h) & qelta::kDefBitUtility) != 0) utilityNodes_.Add(h);
  }
  if (utilityNodes_.GetSize() == 0) return qelta::kErrOutOfRange;
  int terminal = -1;
  int terminals = 0;
  for (int h : utilityNodes_) {
    if (net.GetNode(h)->Children().GetSize() == 0) {
      terminal = h;
      ++terminals;
    }
  }
  if (terminals == 1) {
    utilityNode_ = terminal;
    return qelta::kOk;
  }
  return AddMauOverTerminals();
}

void VRN_CooperSolver::CollectScenarioCandidates() {
  VRN_network& net = *network_;
  candidates_.Flush();
  VRN_intArray order;
  (void)net.GetDecisionOrder(order);
  for (int h : order) {
    if (ValueOf(net, h)->HasEvidence()) continue;
    bool informs = IsDecisionInNetwork(h);
    for (int c : net.GetNode(h)->Children()) {
      if (informs) break;
      informs = IsDecisionInNetwork(c);
    }
    if (informs) (void)candidates_.AddUnique(h);
  }
}

void VRN_CooperSolver::EnforceDecisionOrder() {
  VRN_network& net = *network_;
  // Blocks of candidates, each ending with a decision (the last may not).
  std::vector<std::vector<int>> blocks(1);
  for (int h : candidates_) {
    blocks.back().push_back(h);
    if (IsDecisionInNetwork(h)) blocks.emplace_back();
  }
  if (blocks.back().empty()) blocks.pop_back();
  if (blocks.empty()) return;
  int d = blocks[0].back();
  for (size_t b = 1; b < blocks.size(); ++b) {
    const int next = blocks[b].back();
    // A last block without a decision (the later ones are decided) orders
    // nothing; a new parent of a chance node would change its distribution.
    if (!IsDecisionInNetwork(next)) break;
    bool adjacent = false;
    for (int h : blocks[b]) adjacent = adjacent || net.AreAdjacent(d, h) != 0;
    if (!adjacent) {
      // The order is assumed whether or not the arc can be added.
      (void)net.AddArc(d, next);
      net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                           "Temporal order assumed: node [%s] before node [%s]",
                           net.GetNode(d)->GetId(), net.GetNode(next)->GetId());
    }
    d = next;
  }
}

void VRN_CooperSolver::CopyIntoWork() {
  (void)work_.Copy(*network_, qelta::kCopyWorking);
  (void)work_.ErrorLog()->RedirectToLog(network_->ErrorLog());
  for (int h = work_.GetFirstNode(); h >= 0; h = work_.GetNextNode(h)) {
    VRN_nodeVal* value = ValueOf(work_, h);
    if (!value->HasEvidence()) continue;
    const int outcome = value->GetEvidence();
    const int count = OutcomesOf(work_, h);
    if (outcome < 0 || outcome >= count) continue;
    VRN_matrix& m = value->GetMutableValue();
    if (m.SetSingleDimension(count) != qelta::kOk) continue;
    m.FillWith(0.0);
    *m.ItemAddress(outcome) = 1.0;
    MarkValid(value);
  }
}

void VRN_CooperSolver::ConvertToChanceNodes() {
  const bool targets = network_->GetNumberOfTargets() > 0;
  for (int h = work_.GetFirstNode(); h >= 0;) {
    const int next = work_.GetNextNode(h);
    if (TypeOf(work_, h) == qelta::kDefMau) (void)work_.DeleteNode(h);
    h = next;
  }
  const VRN_intArray order = work_.PartialOrder();
  scales_.assign(static_cast<size_t>(work_.GetSlotCount()), VRN_utilityScale::kDirect);
  spreads_.assign(scales_.size(), {});
  errors_.assign(scales_.size(), {});
  trial_.assign(scales_.size(), 0);
  trialMissed_ = false;
  for (int h : order) {
    VRN_utilityScale scale = VRN_utilityScale::kDirect;
    if (TypeOf(work_, h) == qelta::kDefUtility) {
      const VRN_matrix& table = *work_.GetNode(h)->Definition()->GetMatrixConst();
      scale = VRN_ChooseUtilityScale(table);
      if (scale == VRN_utilityScale::kSigned) scale = VRN_TwoOutcomeTrial(table);
      // Even where the scale keeps every utility's digits, an expected
      // utility whose terms cancel keeps only those of the distances.
      trial_[static_cast<size_t>(h)] =
          (scale == VRN_utilityScale::kDirect || scale == VRN_utilityScale::kReversed) &&
          VRN_SignedScaleKeeps(table);
      scales_[static_cast<size_t>(h)] = scale;
    }
    if (!VRN_ConvertToChanceNode(work_.GetNode(h), scale)) continue;
    if (targets) (void)work_.SetTarget(h, true);
  }
  // Observed chance nodes need their distributions even when the caller
  // asked only for some targets. The evidence stays a target too: a
  // scenario it rules out must fail as it does without targets, not be
  // pruned away with the evidence and take another scenario's numbers.
  if (targets) {
    for (int h : candidates_) (void)work_.SetTarget(h, true);
    for (int h = work_.GetFirstNode(); h >= 0; h = work_.GetNextNode(h)) {
      const VRN_nodeVal* value = ValueOf(work_, h);
      if (value->HasEvidence() || value->HasVirtualEvidence()) {
        (void)work_.SetTarget(h, true);
      }
    }
  }
  OnConverted();
}

void VRN_CooperSolver::Reachable(int start, const std::vector<char>& observed,
                                 std::vector<char>& out) {
  const int slots = work_.GetSlotCount();
  // Nodes that are observed or have an observed descendant open converging
  // connections; virtual evidence counts as an observed child.
  std::vector<char> opens(slots, 0);
  std::vector<int> stack;
  for (int h = 0; h < slots; ++h) {
    if (work_.GetNode(h) == nullptr) continue;
    if (observed[h] || ValueOf(work_, h)->HasVirtualEvidence()) {
      if (!opens[h]) stack.push_back(h);
      opens[h] = 1;
    }
  }
  while (!stack.empty()) {
    const int h = stack.back();
    stack.pop_back();
    for (int p : work_.GetNode(h)->Parents()) {
      if (!opens[p]) {
        opens[p] = 1;
        stack.push_back(p);
      }
    }
  }
  out.assign(slots, 0);
  // Visits (node, arrived from a child); bit 1 up, bit 2 down.
  std::vector<char> seen(slots, 0);
  std::vector<std::pair<int, bool>> pending{{start, true}};
  while (!pending.empty()) {
    const auto [h, up] = pending.back();
    pending.pop_back();
    const char bit = up ? 1 : 2;
    if (seen[h] & bit) continue;
    seen[h] |= bit;
    const bool known = observed[h] && h != start;
    if (!known) out[h] = 1;
    const VRN_node* node = work_.GetNode(h);
    if (up && !known) {
      for (int p : node->Parents()) pending.emplace_back(p, true);
      for (int c : node->Children()) pending.emplace_back(c, false);
    } else if (!up) {
      if (!known) {
        for (int c : node->Children()) pending.emplace_back(c, false);
      }
      if (opens[h]) {
        for (int p : node->Parents()) pending.emplace_back(p, true);
      }
    }
  }
}

int VRN_CooperSolver::FindIndexingParents() {
  VRN_network& net = *network_;
  const int slots = net.GetSlotCount();
  scenarioNodes_.Flush();
  if (hasUtilities_) {
    for (int h : candidates_) scenarioNodes_.Add(h);
  }
  scenarioStates_.Flush();
  for (int i = 0; i < scenarioNodes_.GetSize(); ++i) scenarioStates_.Add(0);
  scenarioPosition_.assign(slots, -1);
  stored_.assign(slots, 0);
  for (int i = 0; i < scenarioNodes_.GetSize(); ++i) {
    scenarioPosition_[scenarioNodes_[i]] = i;
  }
  if (scenarioNodes_.GetSize() == 0) return qelta::kOk;

  // Known in a complete scenario: every scenario node and the evidence.
  std::vector<char> observed(slots, 0);
  for (int h = 0; h < slots; ++h) {
    if (work_.GetNode(h) != nullptr && ValueOf(work_, h)->HasEvidence()) {
      observed[h] = 1;
    }
  }
  for (int h : scenarioNodes_) observed[h] = 1;

  std::vector<std::vector<char>> reach(scenarioNodes_.GetSize());
  for (int i = 0; i < scenarioNodes_.GetSize(); ++i) {
    Reachable(scenarioNodes_[i], observed, reach[i]);
  }
  indexedNodes_.clear();
  missed_.assign(slots, 0);
  for (int h : work_.PartialOrder()) {
    if (observed[h]) continue;
    VRN_nodeVal* value = ValueOf(net, h);
    value->ClearIndexingParents();
    for (int i = 0; i < scenarioNodes_.GetSize(); ++i) {
      if (h != utilityNode_ && !reach[i][h]) continue;
      const int status = value->AddIndexingParent(scenarioNodes_[i]);
      if (status != qelta::kOk) return qelta::kErrOutOfMemory;
    }
    if (value->GetIndexingParents().GetSize() == 0) continue;
    value->GetMutableValue().FillWith(kUndefined);
    indexedNodes_.push_back(h);
  }

  // A chance scenario node depends on the earlier ones it is d-connected to
  // while the later ones are still unknown.
  for (int i = scenarioNodes_.GetSize() - 1; i >= 0; --i) {
    const int p = scenarioNodes_[i];
    observed[p] = 0;
    if (IsDecisionInNetwork(p)) continue;
    VRN_nodeVal* value = ValueOf(net, p);
    value->ClearIndexingParents();
    std::vector<char> from;
    for (int j = 0; j < i; ++j) {
      Reachable(scenarioNodes_[j], observed, from);
      if (!from[p]) continue;
      const int status = value->AddIndexingParent(scenarioNodes_[j]);
      if (status != qelta::kOk) return qelta::kErrOutOfMemory;
    }
    value->GetMutableValue().FillWith(kUndefined);
  }
  return qelta::kOk;
}

int VRN_CooperSolver::EvaluateScenarios(int level) {
  VRN_network& net = *network_;
  if (level == scenarioNodes_.GetSize()) {
    OnBeforeUpdate(0);
    const unsigned long careful = qelta::CarefulUpdates();
    const int status = work_.RunBNAlgorithm();
    carefulLoss_ = careful != qelta::CarefulUpdates()
                     ? std::max(kSubnormalFloor, qelta::CarefulShare()) : 0.0;
    largestCarefulLoss_ = std::max(largestCarefulLoss_, carefulLoss_);
    OnAfterUpdate(0);
    if (status == qelta::kErrNoUsefulSamples) {
      net.ErrorLog()->LogError(status,
                               "The following scenario could not be "
                               "evaluated:");
      for (int i = 0; i < scenarioNodes_.GetSize(); ++i) {
        const VRN_node* node = net.GetNode(scenarioNodes_[i]);
        const VRN_idArray* ids = node->Definition()->GetOutcomesNames();
        net.ErrorLog()->Logf(status, "%s = %s", node->GetId(),
                             ids != nullptr ? ids->Get(scenarioStates_[i]) : "");
      }
    }
    if (status == qelta::kErrNoUsefulSamples ||
        status == qelta::kErrZeroMarginal) {
      // The scenario is left undefined; zero marginals mean it cannot occur.
      lastSkip_ = status;
      return status;
    }
    if (status != qelta::kOk) return status;
    // A value no scenario node indexes is the same in every scenario that
    // can occur: the first one writes it, for when the state the
    // enumeration ends in (a choice ruled out) leaves it uncomputed.
    if (completed_ == 0) {
      for (int h : work_.PartialOrder()) {
        if (scenarioPosition_[h] < 0 &&
            ValueOf(net, h)->GetIndexingParents().GetSize() == 0) {
          StoreValues(h);
        }
      }
    }
    ++completed_;
    for (int h : indexedNodes_) {
      if (!ValueOf(work_, h)->IsValueValid()) missed_[h] = 1;
      StoreValues(h);
    }
    return qelta::kOk;
  }
  const int s = scenarioNodes_[level];
  VRN_nodeVal* value = ValueOf(work_, s);
  const int count = OutcomesOf(work_, s);
  // Observing s drops its likelihoods; they still weigh its scenarios, so
  // they come back before s's own distribution is computed.
  std::vector<double> likelihoods;
  if (value->HasVirtualEvidence()) (void)value->GetVirtualEvidence(&likelihoods);
  for (int k = 0; k < count; ++k) {
    if (value->SetEvidence(k) != qelta::kOk) {
      // The evidence rules this scenario out: it cannot occur, as with a
      // zero marginal. Were no scenario left, nothing would be defined.
      lastSkip_ = qelta::kErrZeroMarginal;
      continue;
    }
    scenarioStates_[level] = k;
    const int status = EvaluateScenarios(level + 1);
    if (status == qelta::kErrNoUsefulSamples ||
        status == qelta::kErrZeroMarginal) {
      continue;
    }
    if (status != qelta::kOk) return status;
  }
  if (IsDecisionInNetwork(s)) return qelta::kOk;
  if (value->HasFlags(qelta::kValFlagEvidence)) (void)value->ClearEvidence();
  if (!likelihoods.empty()) {
    const int restored = value->SetVirtualEvidence(likelihoods);
    if (restored != qelta::kOk) return restored;
  }
  OnBeforeUpdate(1);
  const unsigned long careful = qelta::CarefulUpdates();
  const int status = work_.RunBNAlgorithm();
  if (careful != qelta::CarefulUpdates()) {
    largestCarefulLoss_ = std::max({largestCarefulLoss_, kSubnormalFloor, qelta::CarefulShare()});
  }
  OnAfterUpdate(1);
  if (status != qelta::kOk) return status;
  StoreValues(s);
  return qelta::kOk;
}

void VRN_CooperSolver::StoreValues(int handle) {
  VRN_nodeVal* v = ValueOf(*network_, handle);
  const VRN_nodeVal* w = ValueOf(work_, handle);
  if (v->IsValueValid() || !w->IsValueValid()) return;
  const VRN_intArray& parents = v->GetIndexingParents();
  VRN_matrix& m = v->GetMutableValue();
  if (m.GetDimensionCount() != parents.GetSize() + 1) return;
  int base = 0;
  for (int i = 0; i < parents.GetSize(); ++i) {
    base += scenarioStates_[scenarioPosition_[parents[i]]] *
            m.GetStrides()[i];
  }
  const VRN_matrix& src = w->GetValue();
  const int type = v->GetType();
  if (type == qelta::kValBeliefVector) {
    const int n = m.GetSize(parents.GetSize());
    if (src.GetItemCount() != n) return;
    for (int o = 0; o < n; ++o) *m.ItemAddress(base + o) = src.GetItem(o);
  } else if (type == qelta::kValExpectedUtility) {
    const bool signed_scale = scales_[handle] == VRN_utilityScale::kSigned;
    if (src.GetItemCount() < (signed_scale ? 2 : 1)) return;
    // The parts are each a sum of terms of one sign, so they carry only
    // the relative rounding of the update; their difference may not.
    const double part = src.GetItem(0), other = signed_scale ? src.GetItem(1) : 0.0;
    double item = part - other;
    // What the careful passes may have lost, as a share that
    // kUpdateRounding carries back to it.
    double share = part + other + carefulLoss_ / kUpdateRounding;
    if (trial_[handle] != 0 && !TrialExpectedUtility(handle, &item, &share)) return;
    *m.ItemAddress(base) = item;
    std::vector<double>& spread = spreads_[handle];
    spread.resize(static_cast<size_t>(m.GetItemCount()), 0.0);
    spread[static_cast<size_t>(base)] = share;
  } else {
    return;
  }
  stored_[handle] = 1;
}

bool VRN_CooperSolver::TrialExpectedUtility(int h, double* item, double* share) {
  const VRN_node* node = network_->GetNode(h);
  const VRN_matrix& table = *node->Definition()->GetMatrixConst();
  const auto [lo, hi] = VRN_UtilityBounds(table);
  const double range = hi - lo;
  // As the value's rescaling would give it.
  *item = scales_[h] == VRN_utilityScale::kReversed ? *item * (lo - hi) + hi
                                                    : *item * range + lo;
  const double error = kUpdateRounding * (range * *share + std::fabs(*item));
  if (error <= 1e-300 || error <= kTrialShare * std::fabs(*item)) return true;
  // The scenario fixes the parents it observes: the utilities it leaves
  // may all be one (as a "do nothing" choice's 0), or all keep their
  // digits on this scale.
  std::vector<int> fixed;
  for (int p : node->Parents()) {
    const VRN_nodeVal* value = ValueOf(work_, p);
    fixed.push_back(value->HasEvidence() ? value->GetEvidence() : -1);
  }
  const VRN_reachedUtilities reached = VRN_ReachedUtilities(table, fixed, scales_[h], true);
  if (reached.constant) {
    *item = reached.value;
    *share = 0.0;
  }
  trialMissed_ = trialMissed_ || !(reached.constant || reached.held);
  return !trialMissed_;
}

int VRN_CooperSolver::EvaluateOnSignedScale() {
  VRN_network& net = *network_;
  for (int h : utilityNodes_) {
    if (trial_[h] == 0) continue;
    trial_[h] = 0;
    scales_[h] = VRN_utilityScale::kSigned;
    if (!VRN_FillUtilityOutcomes(work_.GetNode(h), *net.GetNode(h)->Definition()->GetMatrixConst(),
                                 true)) {
      return qelta::kErrOutOfMemory;
    }
  }
  trialMissed_ = false;
  for (int h : scenarioNodes_) {
    if (IsDecisionInNetwork(h)) (void)ValueOf(work_, h)->ClearEvidence();
    else ValueOf(net, h)->GetMutableValue().FillWith(kUndefined);
  }
  for (int h : indexedNodes_) ValueOf(net, h)->GetMutableValue().FillWith(kUndefined);
  std::fill(stored_.begin(), stored_.end(), 0);
  std::fill(missed_.begin(), missed_.end(), 0);
  for (std::vector<double>& spread : spreads_) spread.clear();
  completed_ = lastSkip_ = 0;
  carefulLoss_ = largestCarefulLoss_ = 0.0;
  work_.InvalidateValues();
  const int status = EvaluateScenarios(0);
  return status == qelta::kOk && completed_ == 0 && lastSkip_ != 0 ? lastSkip_ : status;
}

int VRN_CooperSolver::ExpectedUtilities(int h) {
  const auto* def = static_cast<const VRN_utility*>(network_->GetNode(h)->Definition());
  auto* value = static_cast<VRN_expectedUtility*>(ValueOf(*network_, h));
  const VRN_utilityScale scale = scales_[h];
  const double lo = def->GetMinimum(), hi = def->GetMaximum();
  double range = hi - lo;
  if (trial_[h] != 0) {
    // Each was kept as its expected utility.
  } else if (scale == VRN_utilityScale::kReversed) {
    (void)value->Rescale(0.0, 1.0, hi, lo);
  } else if (scale != VRN_utilityScale::kSigned) {
    (void)value->Rescale(0.0, 1.0, lo, hi);
  } else {
    range = VRN_SignedUtilityRange(*def->GetMatrixConst());
    for (double& v : value->GetMutableValue().GetItems()) {
      if (!IsUndefined(v)) v *= range;
    }
  }
  // The update rounds each probability by a few units in its last place,
  // which the range carries into the expected utility.
  const std::vector<double>& spread = spreads_[h];
  const VRN_matrix& eu = value->GetValue();
  std::vector<double>& error = errors_[h];
  error.assign(static_cast<size_t>(eu.GetItemCount()), 0.0);
  for (int i = 0; i < eu.GetItemCount() && static_cast<size_t>(i) < spread.size(); ++i) {
    const double v = eu.GetItem(i);
    if (IsUndefined(v)) continue;
    error[i] = kUpdateRounding * (range * spread[i] + std::fabs(v));
    if (!Answerable(v, error[i])) return RefuseInexact(h);
  }
  return qelta::kOk;
}

// Only a solve whose updates took the careful passes below the normal
// doubles can lose an expected utility's digits beyond the rounding of the
// utilities it weighs: there an inexact value is refused. Elsewhere a value
// that is a difference of far larger amounts (a fair gamble's 0, say) is
// answered to the rounding of those amounts, as any sum of doubles is.
bool VRN_CooperSolver::Answerable(double v, double error) const {
  return largestCarefulLoss_ == 0.0 || Exact(v, error);
}

int VRN_CooperSolver::RefuseInexact(int h) {
  return network_->ErrorLog()->Logf(
      qelta::kErrOutOfRange,
      "Expected utilities of node [%s] are differences of far larger "
      "amounts: the rounding of double precision numbers would leave them "
      "inexact",
      network_->GetNode(h)->GetId());
}

int VRN_CooperSolver::ComputePolicies() {
  VRN_network& net = *network_;
  if (utilityNode_ < 0) return qelta::kOk;
  const VRN_matrix& utility = ValueOf(net, utilityNode_)->GetValue();
  VRN_matrix m;
  if (ReducedDimensions(utility, m) != qelta::kOk) {
    return qelta::kErrOutOfMemory;
  }
  // The utility's last dimension has size 1: the items carry over.
  if (m.SetItems(utility.GetItems()) != qelta::kOk) return qelta::kErrOutOfRange;
  VRN_matrix reduced;
  std::vector<int> coords;
  // What each item of m may be off by: a MAU node's combination is taken
  // as exact.
  std::vector<double> error, reducedError;
  if (static_cast<size_t>(utilityNode_) < errors_.size()) error = errors_[utilityNode_];
  error.resize(static_cast<size_t>(m.GetItemCount()), 0.0);
  for (int i = scenarioNodes_.GetSize() - 1; i >= 0; --i) {
    const int s = scenarioNodes_[i];
    VRN_nodeVal* value = ValueOf(net, s);
    const int n = m.GetSize(i);
    if (IsDecisionInNetwork(s)) {
      for (int k = 0; k < m.GetItemCount(); ++k) {
        if (!IsUndefined(m.GetItem(k)) && !Answerable(m.GetItem(k), error[k])) {
          return RefuseInexact(s);
        }
      }
      // The largest value lies between the largest of the values less
      // their errors and the largest of them plus their errors.
      reducedError.assign(error.size() / n, 0.0);
      for (size_t r = 0; r < reducedError.size(); ++r) {
        double best = -HUGE_VAL, low = -HUGE_VAL, high = -HUGE_VAL;
        for (size_t k = r * n; k < (r + 1) * n; ++k) {
          const double v = m.GetItem(static_cast<int>(k));
          if (IsUndefined(v)) continue;
          best = std::max(best, v);
          low = std::max(low, v - error[k]);
          high = std::max(high, v + error[k]);
        }
        if (best > -HUGE_VAL) reducedError[r] = std::max(best - low, high - best);
      }
      value->ClearIndexingParents();
      for (int j = 0; j < i; ++j) {
        if (value->AddIndexingParent(scenarioNodes_[j]) != qelta::kOk) {
          return qelta::kErrOutOfMemory;
        }
      }
      if (value->GetMutableValue().CopyItems(m) != qelta::kOk) {
        return qelta::kErrOutOfRange;
      }
      MarkValid(value);
      value->AddFlags(qelta::kValFlagUtilities);
      const int status = MaximizeLast(m, reduced);
      if (status != qelta::kOk) return status;
    } else {
      // Average over s with its distribution given the earlier scenario
      // nodes it depends on; undefined entries add nothing.
      const VRN_matrix& p = value->GetValue();
      const VRN_intArray& parents = value->GetIndexingParents();
      if (p.GetDimensionCount() != parents.GetSize() + 1 ||
          p.GetSize(parents.GetSize()) != n) {
        return qelta::kErrOutOfRange;
      }
      if (ReducedDimensions(m, reduced) != qelta::kOk) {
        return qelta::kErrOutOfMemory;
      }
      const double* in = m.GetItems().Items();
      const double* prob = p.GetItems().Items();
      double* res = reduced.GetItems().Items();
      reducedError.assign(static_cast<size_t>(reduced.GetItemCount()), 0.0);
      coords.assign(i, 0);
      int r = 0;
      do {
        int pbase = 0;
        for (int t = 0; t < parents.GetSize(); ++t) {
          pbase += coords[scenarioPosition_[parents[t]]] * p.GetStrides()[t];
        }
        double sum = 0.0;
        bool any = false;
        for (int k = 0; k < n; ++k) {
          const double u = in[r * n + k];
          const double q = prob[pbase + k];
          if (IsUndefined(u) || IsUndefined(q)) continue;
          sum += u * q;
          reducedError[r] += q * error[r * n + k] + kUpdateRounding * std::fabs(u * q) +
                             std::fabs(u) * largestCarefulLoss_;
          any = true;
        }
        res[r] = any ? sum : kUndefined;
        ++r;
      } while (NextConfiguration(m.GetDimensions(), i, coords));
    }
    m = reduced;
    error.swap(reducedError);
  }
  return qelta::kOk;
}
