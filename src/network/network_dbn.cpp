// Temporal operations of VRN_network: forwarding to the temporal part
// (created on first use), temporal type changes and the invalidation that
// dynamic networks need.
#include <climits>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_val.h"
#include "network/cases.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// Logs why a temporal arc of order from parent (-1 for none) to child is
// refused when the order or the nodes' kinds are at fault; answers 0
// when they are not.
int CheckTemporalArcEnds(VRN_network& net, int parent, int child, int order) {
  if (order < 1) {
    return net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                                "A temporal arc has an order of 1 or more, not %d", order);
  }
  for (int h : {parent, child}) {
    const VRN_node* node = net.GetNode(h);
    if (node == nullptr || node->GetTemporalType() == qelta::kTemporalPlate) continue;
    return net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                                "Node [%s] is not a plate node: temporal arcs join plate nodes",
                                node->GetId());
  }
  return qelta::kOk;
}

}  // namespace

VRN_dbn* VRN_network::EnsureDbn() {
  if (dbn_ == nullptr) dbn_ = new VRN_dbn(this);
  return dbn_;
}

bool VRN_network::HasPlateNode() const {
  for (const VRN_node* node : nodes_) {
    if (node != nullptr && node->GetTemporalType() == qelta::kTemporalPlate) {
      return true;
    }
  }
  return false;
}

void VRN_network::InvalidateIfDynamic() {
  if (dbn_ != nullptr && HasPlateNode()) (void)OnStructureChange();
}

int VRN_network::AddTemporalArc(int parent, int child, int order) {
  if (!IsValidHandle(parent) || !IsValidHandle(child)) return qelta::kErrOutOfRange;
  const int refused = CheckTemporalArcEnds(*this, parent, child, order);
  if (refused != qelta::kOk) return refused;
  if (EnsureDbn()->TemporalArcExists(parent, child, order)) {
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "There already is a temporal arc of order %d from node [%s] to [%s]",
                           order, GetNode(parent)->GetId(), GetNode(child)->GetId());
  }
  VRN_autoUpdateGuard guard(this, true);
  const int status = dbn_->AddTemporalArc(parent, child, order);
  if (status == qelta::kOk) InvalidateIfDynamic();
  return status;
}

int VRN_network::RemoveTemporalArc(int parent, int child, int order) {
  if (!IsValidHandle(parent) || !IsValidHandle(child)) return qelta::kErrOutOfRange;
  const int refused = CheckTemporalArcEnds(*this, parent, child, order);
  if (refused != qelta::kOk) return refused;
  if (!EnsureDbn()->TemporalArcExists(parent, child, order)) {
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "There is no temporal arc of order %d from node [%s] to [%s]", order,
                           GetNode(parent)->GetId(), GetNode(child)->GetId());
  }
  VRN_autoUpdateGuard guard(this, true);
  const int status = dbn_->RemoveTemporalArc(parent, child, order);
  if (status == qelta::kOk) InvalidateIfDynamic();
  return status;
}

bool VRN_network::TemporalArcExists(int parent, int child, int order) {
  return EnsureDbn()->TemporalArcExists(parent, child, order);
}

int VRN_network::GetTemporalParents(int node, int order, VRN_intArray& out) {
  if (!IsValidHandle(node)) return qelta::kErrOutOfRange;
  const int refused = CheckTemporalArcEnds(*this, -1, node, order);
  if (refused != qelta::kOk) return refused;
  return EnsureDbn()->GetTemporalParents(node, order, out);
}

int VRN_network::GetTemporalChildren(int node,
                                     std::vector<std::pair<int, int>>& out) {
  if (!IsValidHandle(node)) return qelta::kErrOutOfRange;
  const int refused = CheckTemporalArcEnds(*this, -1, node, 1);
  if (refused != qelta::kOk) return refused;
  return EnsureDbn()->GetTemporalChildren(node, out);
}

int VRN_network::GetTemporalOrders(int node, VRN_intArray& out) {
  if (!IsValidHandle(node)) return qelta::kErrOutOfRange;
  const int refused = CheckTemporalArcEnds(*this, -1, node, 1);
  if (refused != qelta::kOk) return refused;
  return EnsureDbn()->GetTemporalOrders(node, out);
}

int VRN_network::GetMaxNodeTemporalOrder(int node) {
  return EnsureDbn()->GetMaxNodeTemporalOrder(node);
}

int VRN_network::GetMaxTemporalOrder() const {
  return dbn_ != nullptr ? dbn_->GetMaxTemporalOrder() : 0;
}

int VRN_network::GetUnrolledParents(int node, int order,
                                    std::vector<std::pair<int, int>>& out) {
  if (!IsValidHandle(node)) return qelta::kErrOutOfRange;
  if (order < 1) {
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "Unrolled parents are asked up to a temporal order of 1 or more, "
                           "not %d", order);
  }
  const int refused = CheckTemporalArcEnds(*this, -1, node, order);
  if (refused != qelta::kOk) return refused;
  int holder = -1;
  return EnsureDbn()->GetUnrolledParents(node, order, out, holder);
}

int VRN_network::GetAllUnrolledParents(int node,
                                       std::vector<std::pair<int, int>>& out) {
  return GetUnrolledParents(node, INT_MAX, out);
}

int VRN_network::SetNumberOfSlices(int count) {
  // Refused before a temporal part is made, whose count would start at 10.
  if (count < 1) return qelta::kErrInvalidValue;
  const int before = GetNumberOfSlices();
  const int status = EnsureDbn()->SetNumberOfSlices(count);
  if (status != qelta::kOk) return status;
  // With one slice a terminal node's plate parents are the slice that
  // plate evidence is of; with more they are not, and implies differ.
  if ((before > 1) != (count > 1)) SetImpliedEvidenceStale(true);
  (void)InvalidateValues();
  return status;
}

int VRN_network::SetTemporalEvidence(int node, int slice, int outcome) {
  VRN_node* record = GetNode(node);
  if (record == nullptr) return qelta::kErrOutOfRange;
  (void)EnsureDbn();
  return record->Value()->SetTemporalEvidence(slice, outcome);
}

int VRN_network::UnrollNetwork(VRN_network& target, std::vector<int>& map) {
  if (dbn_ == nullptr) return qelta::kErrOutOfRange;
  if (&target == this) return qelta::kErrOutOfRange;
  return dbn_->UnrollNetwork(target, map);
}

int VRN_network::setNodeTemporalType(int handle, int type) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  const int old = node->GetTemporalType();
  if (old == type) return qelta::kOk;
  const bool had_dbn = dbn_ != nullptr;
  const int status = EnsureDbn()->ChangeTemporalType(handle, type);
  if (status != qelta::kOk) {
    // A refusal leaves no temporal part behind (whose slice count shows).
    if (!had_dbn) {
      delete dbn_;
      dbn_ = nullptr;
    }
    return status;
  }
  VRN_autoUpdateGuard guard(this, true);
  node->SetTemporalTypeRaw(type);
  // Evidence is not implied between plate and terminal nodes alike.
  SetImpliedEvidenceStale(true);
  if (cases_ != nullptr) cases_->OnTemporalTypeChanged(handle, old);
  if (old == qelta::kTemporalPlate || type == qelta::kTemporalPlate) {
    // The value's layout (one row per slice or one vector) changes.
    node->Value()->Invalidate();
  }
  // The last plate node leaving the plate leaves values of the unrolled
  // network behind, so this does not wait for a plate node.
  (void)OnStructureChange();
  return qelta::kOk;
}
