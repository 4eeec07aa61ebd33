#include "inference/value_of_info.h"

#include <cmath>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/node.h"

namespace {

bool IsDecisionNode(const VRN_network& net, int h) {
  return (net.GetNode(h)->Definition()->GetType() & qelta::kDefBitDecision) != 0;
}

}  // namespace

VRN_valueOfInfo::VRN_valueOfInfo(VRN_network* network) : network_(network) {
  if (network_ == nullptr) return;
  CollectDecisions();
  CollectOrderedNodes();
}

VRN_valueOfInfo::~VRN_valueOfInfo() { Clear(); }

bool VRN_valueOfInfo::IsLive(int handle) const {
  return network_ != nullptr && network_->IsValidHandle(handle);
}

void VRN_valueOfInfo::CollectDecisions() {
  decisions_.Flush();
  if (network_ == nullptr) return;
  for (int h = network_->GetFirstNode(); h >= 0; h = network_->GetNextNode(h)) {
    if (IsDecisionNode(*network_, h)) decisions_.Add(h);
  }
  (void)network_->SortByDecisionOrder(decisions_);
}

void VRN_valueOfInfo::CollectOrderedNodes() {
  orderedNodes_.Flush();
  if (network_ == nullptr) return;
  (void)network_->GetDecisionOrder(orderedNodes_);
  int last = orderedNodes_.GetSize() - 1;
  while (last >= 0 && !IsDecisionNode(*network_, orderedNodes_[last])) --last;
  if (last >= 0) (void)orderedNodes_.SetSize(last + 1);
}

void VRN_valueOfInfo::Clear() {
  nodes_.Flush();
  indexingNodes_.Flush();
  values_.Clean();
  network_ = nullptr;
  decision_ = -1;
  pointOfView_ = -1;
}

int VRN_valueOfInfo::AddNode(int handle) {
  if (!IsLive(handle) || nodes_.Contains(handle)) return qelta::kErrOutOfRange;
  nodes_.Add(handle);
  return qelta::kOk;
}

int VRN_valueOfInfo::RemoveNode(int handle) {
  return nodes_.DeleteByContent(handle) == qelta::kOk ? qelta::kOk
                                                      : qelta::kErrOutOfRange;
}

int VRN_valueOfInfo::SetDecision(int handle) {
  if (!IsLive(handle) || !decisions_.Contains(handle)) {
    return qelta::kErrOutOfRange;
  }
  if (!IsLive(pointOfView_)) pointOfView_ = handle;
  const int view = orderedNodes_.FindPosition(pointOfView_);
  if (view > orderedNodes_.FindPosition(handle)) return qelta::kErrOutOfRange;
  decision_ = handle;
  return qelta::kOk;
}

int VRN_valueOfInfo::SetPointOfView(int handle) {
  if (!IsLive(handle) || !orderedNodes_.Contains(handle)) {
    return qelta::kErrOutOfRange;
  }
  if (!IsLive(decision_)) decision_ = handle;
  const int at = orderedNodes_.FindPosition(decision_);
  if (at < 0 || orderedNodes_.FindPosition(handle) > at) {
    return qelta::kErrOutOfRange;
  }
  pointOfView_ = handle;
  return qelta::kOk;
}

int VRN_valueOfInfo::Update() {
  VRN_valueOfInfoWorkspace workspace(this);
  return workspace.Compute();
}

// ---------------------------------------------------------------- workspace

int VRN_valueOfInfoWorkspace::Compute() {
  VRN_network* net = info_->network_;
  if (net == nullptr) return qelta::kErrOutOfRange;
  const int decision = info_->decision_;
  const int view = info_->pointOfView_;
  if (!info_->IsLive(decision) || !info_->IsLive(view) ||
      !IsDecisionNode(*net, decision)) {
    return net->ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "Value of information needs a decision and a point of view");
  }
  (void)network_.Copy(*net, qelta::kCopyWorking);
  (void)network_.ErrorLog()->RedirectToLog(net->ErrorLog());
  // Shachter's solver leaves no expected utilities in the added decision.
  (void)network_.SetDefaultIDAlgorithm(0);
  if (FindUtilityNode() != qelta::kOk) {
    return net->ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "Value of information can't be computed without utility nodes");
  }
  int status = AddDecisionNode(view);
  if (status != qelta::kOk) return status;
  status = Solve(first_);
  if (status != qelta::kOk) return status;
  {
    VRN_impliedEvidenceKeeper keep(&network_);  // arcs into a decision
    for (int h : info_->nodes_) {
      if (!network_.IsValidHandle(h)) return qelta::kErrOutOfRange;
      if (network_.GetNode(decision)->Parents().Contains(h)) continue;
      status = network_.AddArc(h, decision);
      if (status != qelta::kOk) {
        return net->ErrorLog()->Logf(
            status, "Node [%s] cannot be observed before node [%s]",
            net->GetNode(h)->GetId(), net->GetNode(decision)->GetId());
      }
    }
  }
  status = Solve(second_);
  if (status != qelta::kOk) return status;
  if (!first_.HasSameDimensions(second_) || second_.GetDimensionCount() < 1) {
    return qelta::kErrOutOfRange;
  }
  // Worth = with the observations minus without; the added decision's
  // choices change nothing, so its first one is kept.
  const int n = second_.GetSize(second_.GetDimensionCount() - 1);
  VRN_intArray sizes = second_.GetDimensions();
  sizes[sizes.GetSize() - 1] = 1;
  VRN_matrix values;
  if (values.SetDimensions(sizes) != qelta::kOk) return qelta::kErrOutOfMemory;
  for (int r = 0; r < values.GetItemCount(); ++r) {
    const double with = second_.GetItem(r * n);
    const double without = first_.GetItem(r * n);
    // Seeing more cannot lose: a worth below 0 is the rounding the two
    // expected utilities carry (of the amounts they weigh, where they
    // cancel), and the exact worth is nearer to 0 than to it.
    const double worth = std::fmax(with - without, 0.0);
    *values.ItemAddress(r) =
        with == qelta::kUndefinedValue || without == qelta::kUndefinedValue
            ? qelta::kUndefinedValue
            : worth;
  }
  info_->values_ = values;
  info_->indexingNodes_ =
      network_.GetNode(decisionNode_)->Value()->GetIndexingParents();
  return qelta::kOk;
}

int VRN_valueOfInfoWorkspace::FindUtilityNode() {
  for (int h = network_.GetFirstNode(); h >= 0; h = network_.GetNextNode(h)) {
    if (network_.GetNode(h)->Definition()->GetType() == qelta::kDefUtility) {
      utilityNode_ = h;
      return qelta::kOk;
    }
  }
  return qelta::kErrOutOfRange;
}

int VRN_valueOfInfoWorkspace::AddDecisionNode(int pointOfView) {
  // Above every node: in a slot some edit freed, the topological walk would
  // meet it first and could put it ahead of earlier decisions.
  // A decision and its arcs change nothing the copy's evidence implies
  // (each arc only copies its child's table over the choices), and neither
  // does a canonical point of view becoming the table it expands to.
  VRN_impliedEvidenceKeeper keep(&network_);
  decisionNode_ = network_.AddNodeAfterAll(qelta::kDefDecision, nullptr);
  if (decisionNode_ < 0) return decisionNode_;
  const VRN_intArray& ordered = info_->orderedNodes_;
  const int at = ordered.FindPosition(pointOfView);
  // Placed just before the point of view, so it sees what is known there.
  // Without the arc from the node before it (the temporal types refuse one
  // from a plate or terminal node) it would be solved knowing less, and
  // its utilities would not be the point of view's. The arcs out of it
  // leave a normal decision, which the temporal types never refuse.
  if (at > 0) {
    const int status = network_.AddArc(ordered[at - 1], decisionNode_);
    if (status != qelta::kOk) {
      const VRN_network& net = *info_->network_;
      return net.ErrorLog()->Logf(
          status,
          "Value of information cannot see node [%s] just before node [%s]",
          net.GetNode(ordered[at - 1])->GetId(),
          net.GetNode(pointOfView)->GetId());
    }
  }
  // A canonical model spreads its columns over a new parent's outcomes, so
  // a point of view of that kind takes its expanded table first: the added
  // decision must not change what the point of view holds.
  VRN_node* view = network_.GetNode(pointOfView);
  const int type = view->Definition()->GetType();
  if (type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder) {
    if (view->Definition()->GetExpandedDefinition() == nullptr) {
      return qelta::kErrOutOfMemory;  // the table does not fit
    }
    const int status = view->setNodeType(qelta::kDefCpt);
    if (status != qelta::kOk) return status;
  }
  (void)network_.AddArc(decisionNode_, pointOfView);
  (void)network_.AddArc(decisionNode_, utilityNode_);
  return qelta::kOk;
}

int VRN_valueOfInfoWorkspace::Solve(VRN_matrix& out) {
  const int status = network_.UpdateBeliefs();
  if (status != qelta::kOk) return status;
  const VRN_nodeVal* value = network_.GetNode(decisionNode_)->Value();
  if (!value->IsValueValid()) return qelta::kErrOutOfRange;
  out = value->GetValue();
  return qelta::kOk;
}
