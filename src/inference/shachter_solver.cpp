#include "inference/shachter_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/utility.h"
#include "inference/decision_conversion.h"
#include "network/change_guards.h"
#include "network/node.h"

namespace {

constexpr const char* kErrorMessage = "Error when running Shachter's algorithm";
constexpr int kMaxUtilityParents = 20;
// Beliefs within this fraction of the largest tie with it: far above the
// rounding of summing a large diagram's terms in another order (a few
// units in the last place), yet below real gaps of a few 1e-13 that large
// diagrams do show. Beliefs are never below 0, so the largest (at least 0)
// is never raised by it.
constexpr double kTieTolerance = 1e-13;
// A belief that leads another by this share of itself leads it in truth:
// the update rounds each by a few units in its last place.
constexpr double kClearLead = 0x1p-40;

int TypeOf(const VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetType();
}

}  // namespace

VRN_ShachterSolver::VRN_ShachterSolver() = default;

int VRN_ShachterSolver::BestSignedChoice(const std::vector<double>& worths,
                                          const std::vector<double>& spreads) {
  // A choice ruled out has the lowest double. Each worth is rounded
  // relative to the sum of its parts, so two choices tie within 1e-13 of
  // the larger sum.
  size_t best = 0;
  for (size_t k = 1; k < worths.size(); ++k) {
    if (worths[k] > worths[best]) best = k;
  }
  size_t choice = best;
  for (size_t k = best + 1; k < worths.size(); ++k) {
    const double spread = std::max(spreads[k], spreads[best]);
    if (worths[k] >= worths[best] - kTieTolerance * spread) choice = k;
  }
  return static_cast<int>(choice);
}

int VRN_ShachterSolver::WeighSignedChoices(int decision, std::vector<double>* worths,
                                           std::vector<double>* spreads) {
  VRN_nodeVal* choice = working_.GetNode(decision)->Value();
  const VRN_nodeVal* utility = working_.GetNode(utilityNode_)->Value();
  const int n = working_.GetNode(decision)->Definition()->GetNumberOfOutcomes();
  worths->assign(static_cast<size_t>(n), std::numeric_limits<double>::lowest());
  spreads->assign(static_cast<size_t>(n), 0.0);
  for (int k = 0; k < n; ++k) {
    int status = choice->SetEvidence(k);
    if (status == qelta::kOk) status = working_.RunBNAlgorithm();
    if (status == qelta::kOk) {
      const VRN_matrix& parts = utility->GetValue();
      (*worths)[static_cast<size_t>(k)] = parts.GetItem(0) - parts.GetItem(1);
      (*spreads)[static_cast<size_t>(k)] = parts.GetItem(0) + parts.GetItem(1);
    }
    (void)choice->ClearEvidence();
    working_.InvalidateValues();
    // Evidence that rules the choice out leaves it the lowest worth.
    if (status != qelta::kOk && status != qelta::kErrEvidenceConflict &&
        status != qelta::kErrZeroMarginal) {
      return status;
    }
  }
  return qelta::kOk;
}

int VRN_ShachterSolver::BestChoice(const VRN_matrix& beliefs) const {
  // Beliefs that differ only by rounding are a tie, broken as every tie is,
  // towards the last choice: the order in which the working copy sums them
  // follows the handles and must not pick the policy. On the reversed scale
  // a belief weighs how far a choice falls below the best utility, so the
  // smallest wins.
  const bool reversed = scale_ == VRN_utilityScale::kReversed;
  double extreme = reversed ? HUGE_VAL : 0.0;
  for (int k = 0; k < beliefs.GetItemCount(); ++k) {
    const double b = beliefs.GetItem(k);
    if (reversed ? b < extreme : b > extreme) extreme = b;
  }
  const double tied = extreme * (reversed ? 1.0 + kTieTolerance : 1.0 - kTieTolerance);
  int best = 0;
  for (int k = 0; k < beliefs.GetItemCount(); ++k) {
    const double b = beliefs.GetItem(k);
    if (reversed ? b <= tied : b >= tied) best = k;
  }
  return best;
}

bool VRN_ShachterSolver::AllChoicesTie(VRN_nodeVal* utility) {
  // Evidence below a decision can rule choices out as well; that is not
  // a tie.
  if (ObservedBelowDecision().first >= 0) return false;
  // The observed outcome of the merged utility is impossible, and not the
  // diagram's own evidence: without it the update succeeds.
  (void)utility->ClearEvidence();
  const int without = working_.RunBNAlgorithm();
  (void)utility->SetEvidence(0);
  working_.InvalidateValues();
  return without == qelta::kOk;
}

VRN_ShachterSolver::~VRN_ShachterSolver() = default;

bool VRN_ShachterSolver::IsOpen(int handle) const {
  return !network_->GetNode(handle)->Value()->HasEvidence();
}

bool VRN_ShachterSolver::IsDecision(const VRN_network& net, int handle) const {
  return (TypeOf(net, handle) & qelta::kDefBitDecision) != 0;
}

int VRN_ShachterSolver::Solve(VRN_network& network) {
  network_ = &network;
  const int options = network.GetRelevanceOptions();
  try {
    return SolveSteps();
  } catch (const std::bad_alloc&) {
    network.SetRelevanceOptions(options);
    network.InvalidateValues();
    return network.ErrorLog()->LogError(qelta::kErrOutOfMemory, kErrorMessage);
  }
}

int VRN_ShachterSolver::SolveSteps() {
  VRN_network& net = *network_;
  if (!CanSolve()) {
    const int status = net.ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "Can't solve this network using best policy algorithm");
    LogDecisionReason(status, blocked_,
                      "Decision [%s] has the parent [%s] without evidence: "
                      "this algorithm needs every parent of the first "
                      "undecided decision observed");
    return status;
  }
  const int options = net.GetRelevanceOptions();
  net.SetRelevanceOptions(0);
  net.InvalidateValues();
  CollectInformationNodes();
  {
    // Arcs between decisions change nothing the evidence implies.
    VRN_impliedEvidenceKeeper keep(&net);
    AssumeTemporalOrder();
  }
  CollectOpenDecisions();
  (void)working_.Copy(net, qelta::kCopyWorking);
  // The decisions' beliefs are read below, target or not.
  (void)working_.ClearAllTargets();
  int status = ApplyMauWeights();
  if (status != qelta::kOk) {
    status = net.ErrorLog()->LogError(status, kErrorMessage);
  } else {
    status = MergeUtilityNodes();
  }
  net.SetRelevanceOptions(options);
  if (status != qelta::kOk) return status;
  ConvertToChanceNetwork();
  working_.SetFlags(working_.GetFlags() | qelta::kNetRelevance |
                    qelta::kNetEvidencePropagation);
  working_.SetRelevanceOptions(qelta::kRelEvidenceSet |
                               qelta::kRelEvidenceCleared);
  working_.InvalidateValues();
  status = SolveDecisions();
  if (status != qelta::kOk) {
    net.InvalidateValues();
    (void)net.ErrorLog()->LogError(status, kErrorMessage);
    // Evidence that rules out the better choices leaves the merged utility's
    // observed outcome impossible: say which observation did it.
    if (status == qelta::kErrEvidenceConflict) {
      LogDecisionReason(status, ObservedBelowDecision(),
                        "Decision [%s] has the observed node [%s] below it: "
                        "this algorithm cannot weigh the choices that evidence "
                        "leaves when none of them has more than the lowest "
                        "utility");
    }
    return status;
  }
  return qelta::kOk;
}

void VRN_ShachterSolver::LogDecisionReason(int status, std::pair<int, int> nodes,
                                           const char* format) const {
  if (nodes.first < 0) return;
  network_->ErrorLog()->Logf(status, format, network_->GetNode(nodes.first)->GetId(),
                             network_->GetNode(nodes.second)->GetId());
}

std::pair<int, int> VRN_ShachterSolver::ObservedBelowDecision() const {
  const VRN_network& net = *network_;
  for (int d : decisions_) {
    std::vector<char> seen(static_cast<size_t>(net.GetSlotCount()), 0);
    std::vector<int> stack(1, d);
    while (!stack.empty()) {
      const int h = stack.back();
      stack.pop_back();
      for (int c : net.GetNode(h)->Children()) {
        if (seen[static_cast<size_t>(c)] != 0) continue;
        seen[static_cast<size_t>(c)] = 1;
        // Likelihoods weigh the choices as an observation does.
        const VRN_nodeVal* value = net.GetNode(c)->Value();
        if (value->HasFlags(qelta::kValFlagEvidence) || value->HasVirtualEvidence()) {
          return {d, c};
        }
        stack.push_back(c);
      }
    }
  }
  return {-1, -1};
}

bool VRN_ShachterSolver::CanSolve() {
  VRN_network& net = *network_;
  VRN_intArray order;
  (void)net.GetDecisionOrder(order);
  for (int h : order) {
    if (!IsDecision(net, h) || !IsOpen(h)) continue;
    for (int p : net.GetNode(h)->Parents()) {
      if (IsOpen(p)) {
        blocked_ = {h, p};
        return false;
      }
    }
    break;
  }
  return MauNodesAreLinear();
}

void VRN_ShachterSolver::CollectInformationNodes() {
  VRN_network& net = *network_;
  informationNodes_.Flush();
  VRN_intArray order;
  (void)net.GetDecisionOrder(order);
  for (int h : order) {
    if (!IsOpen(h)) continue;
    bool informs = IsDecision(net, h);
    for (int c : net.GetNode(h)->Children()) {
      informs = informs || IsDecision(net, c);
    }
    if (informs) (void)informationNodes_.AddUnique(h);
  }
}

void VRN_ShachterSolver::AssumeTemporalOrder() {
  VRN_network& net = *network_;
  std::vector<std::vector<int>> groups(1);
  for (int h : informationNodes_) {
    groups.back().push_back(h);
    if (IsDecision(net, h)) groups.emplace_back();
  }
  if (groups.back().empty()) groups.pop_back();
  if (groups.empty()) return;
  int d = groups[0].back();
  for (size_t g = 1; g < groups.size(); ++g) {
    const int n = groups[g].back();
    // A last group without a decision (the later ones are decided) orders
    // nothing; a new parent of a chance node would change its distribution.
    if (!IsDecision(net, n)) break;
    bool adjacent = false;
    for (int h : groups[g]) adjacent = adjacent || net.AreAdjacent(d, h) != 0;
    if (!adjacent) {
      // The order is assumed whether or not the arc can be added.
      (void)net.AddArc(d, n);
      addedArcs_.Add(d);
      addedArcs_.Add(n);
      net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                           "Temporal order assumed: node [%s] before node [%s]",
                           net.GetNode(d)->GetId(), net.GetNode(n)->GetId());
    }
    d = n;
  }
}

void VRN_ShachterSolver::CollectOpenDecisions() {
  VRN_network& net = *network_;
  decisions_.Flush();
  VRN_intArray order;
  (void)net.GetDecisionOrder(order);
  for (int h : order) {
    if (IsDecision(net, h) && IsOpen(h)) (void)decisions_.AddUnique(h);
  }
}

int VRN_ShachterSolver::MergeUtilityNodes() {
  VRN_network& net = *network_;
  char id[qelta::kNodeIdBufferSize];
  (void)working_.MakeUniqueNodeId(id);
  // Above every node, so the copy's order (and arithmetic) is the diagram's
  // whatever slots earlier edits freed.
  utilityNode_ = working_.AddNodeAfterAll(qelta::kDefUtility, id);
  if (utilityNode_ < 0) return qelta::kErrOutOfRange;
  VRN_intArray utilities;
  for (int h : working_.PartialOrder()) {
    if (h != utilityNode_ && (TypeOf(working_, h) & qelta::kDefBitUtility) != 0) {
      utilities.Add(h);
    }
  }
  VRN_intArray parents;
  for (int u : utilities) {
    for (int p : working_.GetNode(u)->Parents()) (void)parents.AddUnique(p);
  }
  if (parents.GetSize() > kMaxUtilityParents) {
    return net.ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "Cannot solve this network using SHACHTER's algorithm. Error while "
        "merging utility nodes (too many parents)");
  }
  for (int p : parents) {
    const int status = working_.AddArc(p, utilityNode_);
    if (status != qelta::kOk) {
      return net.ErrorLog()->LogError(status, kErrorMessage);
    }
  }
  VRN_matrix* table = working_.GetNode(utilityNode_)->Definition()->GetMatrix();
  if (table->GetDimensionCount() != parents.GetSize() + 1) {
    return net.ErrorLog()->LogError(qelta::kErrOutOfMemory, kErrorMessage);
  }
  // Every entry of the merged table adds each utility at the configuration
  // its own parents take there. It starts at 0: a constant would change no
  // choice, but would swamp utilities far below it.
  table->FillWith(0.0);
  const int n = parents.GetSize();
  std::vector<int> coords(n, 0);
  std::vector<std::vector<int>> positions(utilities.GetSize());
  for (int i = 0; i < utilities.GetSize(); ++i) {
    for (int p : working_.GetNode(utilities[i])->Parents()) {
      positions[i].push_back(parents.FindPosition(p));
    }
  }
  double* items = table->GetItems().Items();
  const int count = table->GetItemCount();
  for (int e = 0; e < count; ++e) {
    for (int i = 0; i < utilities.GetSize(); ++i) {
      const VRN_matrix* u =
          working_.GetNode(utilities[i])->Definition()->GetMatrixConst();
      int index = 0;
      for (size_t t = 0; t < positions[i].size(); ++t) {
        index += coords[positions[i][t]] * u->GetStrides()[t];
      }
      items[e] += u->GetItem(index);
    }
    for (int d = n - 1; d >= 0; --d) {
      if (++coords[d] < table->GetSize(d)) break;
      coords[d] = 0;
    }
  }
  for (int u : utilities) (void)working_.DeleteNode(u);
  // Each node's own range passed; their sum may span what none does.
  scale_ = VRN_ChooseUtilityScale(*table);
  if (scale_ == VRN_utilityScale::kSigned) {
    scale_ = VRN_TwoOutcomeTrial(*table);
    if (scale_ != VRN_utilityScale::kSigned) merged_ = *table;
  }
  trial_ = scale_ != VRN_utilityScale::kSigned && merged_.GetItemCount() > 0;
  if (scale_ == VRN_utilityScale::kSigned) SetSignedLeast(*table);
  if (scale_ == VRN_utilityScale::kLost) {
    return net.ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "Utilities summed over every utility node span too wide a range: "
        "the smallest differences would be lost");
  }
  return qelta::kOk;
}

void VRN_ShachterSolver::ConvertToChanceNetwork() {
  const VRN_intArray order = working_.PartialOrder();
  for (int h : order) {
    (void)VRN_ConvertToChanceNode(
        working_.GetNode(h), h == utilityNode_ ? scale_ : VRN_utilityScale::kDirect);
  }
}

int VRN_ShachterSolver::SolveDecisions() {
  if (decisions_.GetSize() == 0) {
    return network_->ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "Every decision has evidence: influence-diagram algorithm 1 names the "
        "best choice of an open decision; clear a decision's evidence or use "
        "algorithm 0");
  }
  if (scale_ == VRN_utilityScale::kSigned) return SolveSignedDecisions(decisions_.GetSize() - 1);
  VRN_nodeVal* utility = working_.GetNode(utilityNode_)->Value();
  int status = utility->SetEvidence(0);
  // Evidence that implies the merged utility's other outcome leaves every
  // choice of every decision at the rescaled utility 0.
  const bool all_least = status == qelta::kErrEvidenceConflict &&
                         ObservedBelowDecision().first < 0;
  if (status != qelta::kOk && !all_least) return status;
  int best = 0;
  for (int i = decisions_.GetSize() - 1; i >= 0; --i) {
    const int d = decisions_[i];
    VRN_matrix* table = working_.GetNode(d)->Definition()->GetMatrix();
    const int n = table->GetSize(table->GetDimensionCount() - 1);
    status = all_least ? qelta::kErrEvidenceConflict : working_.RunBNAlgorithm();
    if (all_least || ((status == qelta::kErrEvidenceConflict ||
                       status == qelta::kErrZeroMarginal) &&
                      AllChoicesTie(utility))) {
      // Every choice has the rescaled utility 0 (the least utility, or the
      // largest on the reversed scale): a tie, and the last choice is taken.
      best = n - 1;
      if (i == 0) firstBeliefs_.assign(static_cast<size_t>(n), 1.0 / n);
    } else {
      if (status != qelta::kOk) return status;
      const VRN_matrix& beliefs = working_.GetNode(d)->Value()->GetValue();
      if (i == 0) {
        firstBeliefs_.assign(beliefs.GetItems().begin(), beliefs.GetItems().end());
      }
      best = BestChoice(beliefs);
      if (trial_ && !ChoiceHolds(beliefs, best)) return SolveOnSignedScale(i);
    }
    FixChoice(d, best);
  }
  return SetFirstChoice(best);
}

void VRN_ShachterSolver::SetSignedLeast(const VRN_matrix& table) {
  signedLeast_ = *std::min_element(table.GetItems().begin(), table.GetItems().end()) /
                 VRN_SignedUtilityRange(table);
}

bool VRN_ShachterSolver::ChoiceHolds(const VRN_matrix& beliefs, int best) const {
  const bool reversed = scale_ == VRN_utilityScale::kReversed;
  const double b = beliefs.GetItem(best);
  bool clear = true;
  for (int k = 0; k < beliefs.GetItemCount() && clear; ++k) {
    const double other = beliefs.GetItem(k);
    clear = k == best || (reversed ? other > b * (1.0 + kClearLead) : other < b * (1.0 - kClearLead));
  }
  if (clear) return true;
  // A near tie: as sure as on a table the scale holds whole when every
  // utility the choices can reach keeps its digits there (the later
  // decisions fixed, the evidence given), or all of them are one.
  std::vector<int> fixed;
  for (int p : working_.GetNode(utilityNode_)->Parents()) {
    const VRN_nodeVal* value = working_.GetNode(p)->Value();
    const bool fixedChoice = static_cast<size_t>(p) < fixedChoices_.size();
    fixed.push_back(value->HasEvidence() ? value->GetEvidence()
                                         : fixedChoice ? fixedChoices_[p] : -1);
  }
  const VRN_reachedUtilities reached = VRN_ReachedUtilities(merged_, fixed, scale_, false);
  return reached.held || reached.constant;
}

int VRN_ShachterSolver::SolveOnSignedScale(int from) {
  // The later decisions keep the choices that held.
  trial_ = false;
  scale_ = VRN_utilityScale::kSigned;
  SetSignedLeast(merged_);
  VRN_node* utility = working_.GetNode(utilityNode_);
  (void)utility->Value()->ClearEvidence();
  if (!VRN_FillUtilityOutcomes(utility, merged_, true)) return qelta::kErrOutOfMemory;
  working_.InvalidateValues();
  return SolveSignedDecisions(from);
}

void VRN_ShachterSolver::FixChoice(int decision, int best) {
  VRN_matrix* table = working_.GetNode(decision)->Definition()->GetMatrix();
  const int n = table->GetSize(table->GetDimensionCount() - 1);
  if (trial_) {
    fixedChoices_.resize(static_cast<size_t>(working_.GetSlotCount()), -1);
    fixedChoices_[decision] = best;
  }
  table->FillWith(0.0);
  for (int r = 0; r < table->GetItemCount() / n; ++r) {
    *table->ItemAddress(r * n + best) = 1.0;
  }
  working_.InvalidateValues();
}

int VRN_ShachterSolver::SolveSignedDecisions(int from) {
  // Each choice is observed in turn and the utility's two parts read: one
  // observed outcome of the utility could weigh only one part.
  int best = 0;
  std::vector<double> worths, spreads;
  for (int i = from; i >= 0; --i) {
    const int d = decisions_[i];
    const int status = WeighSignedChoices(d, &worths, &spreads);
    if (status != qelta::kOk) return status;
    best = BestSignedChoice(worths, spreads);
    if (i == 0) DirectBeliefs(worths);
    FixChoice(d, best);
  }
  return SetFirstChoice(best);
}

void VRN_ShachterSolver::DirectBeliefs(const std::vector<double>& worths) {
  firstBeliefs_.assign(worths.size(), 0.0);
  double total = 0.0;
  for (size_t k = 0; k < worths.size(); ++k) {
    if (worths[k] == std::numeric_limits<double>::lowest()) continue;
    firstBeliefs_[k] = std::max(0.0, worths[k] - signedLeast_);
    total += firstBeliefs_[k];
  }
  for (double& b : firstBeliefs_) b = total > 0.0 ? b / total : 1.0 / worths.size();
}

int VRN_ShachterSolver::SetFirstChoice(int best) {
  VRN_nodeVal* value = network_->GetNode(decisions_[0])->Value();
  VRN_matrix& m = value->GetMutableValue();
  const int n = network_->GetNode(decisions_[0])->Definition()->GetNumberOfOutcomes();
  if (m.SetSingleDimension(n) != qelta::kOk) return qelta::kErrOutOfRange;
  m.FillWith(0.0);
  *m.ItemAddress(best) = 1.0;
  value->AddFlags(qelta::kValFlagValid);
  value->SetUpdateTag(0);
  return qelta::kOk;
}
