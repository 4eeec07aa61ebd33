// Targets, evidence and the relevance bookkeeping of VRN_network.
//
// The incremental bookkeeping (invalidating exactly the values an edit can
// reach, and entering evidence implied through deterministic tables) is not
// part of this build. Until it is, every hook that would run it invalidates
// every value without evidence: conservative, never stale. The hooks keep
// their gating by the relevance flag and the option mask.
#include <vector>

#include "core/change_guards.h"
#include "core/error_log.h"
#include "core/network.h"
#include "core/node.h"
#include "core/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"

namespace {

bool HookEnabled(const VRN_network& net, int option) {
  return net.IsRelevanceReasoning() &&
         (net.GetRelevanceOptions() & option) != 0;
}

}  // namespace

void VRN_network::InvalidateValue(int handle) {
  VRN_nodeVal* value = nodes_[handle]->Value();
  if (!value->HasEvidence()) value->Invalidate();
}

// ----------------------------------------------------------------- targets

int VRN_network::SetTarget(int handle, bool on) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (node->IsTarget() == on) return qelta::kErrInvalidValue;
  VRN_autoUpdateGuard guard(this, true);
  node->SetTargetMark(on);
  numTargets_ += on ? 1 : -1;
  return qelta::kOk;
}

int VRN_network::IsTarget(int handle) const {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  return node->IsTarget() ? 1 : 0;
}

int VRN_network::ClearAllTargets() {
  VRN_autoUpdateGuard guard(this, true);
  for (VRN_node* node : nodes_) {
    if (node != nullptr) node->SetTargetMark(false);
  }
  numTargets_ = 0;
  return qelta::kOk;
}

// ---------------------------------------------------------------- evidence

int VRN_network::ClearAllEvidence() {
  VRN_relevanceOffGuard relevance_off(this);
  VRN_autoUpdateGuard guard(this, true);
  for (VRN_node* node : nodes_) {
    if (node == nullptr) continue;
    VRN_nodeVal* value = node->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      (void)value->ClearPropagatedEvidence();
    }
    // A propagated mark can sit beside virtual evidence; clear that too.
    if (value->HasFlags(qelta::kValFlagEvidence | qelta::kValFlagVirtual)) {
      (void)value->ClearEvidence();
    }
  }
  EmptyTableCache();
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr) InvalidateValue(static_cast<int>(h));
  }
  return qelta::kOk;
}

int VRN_network::InvalidateValues() {
  EmptyTableCache();
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr) InvalidateValue(static_cast<int>(h));
  }
  return qelta::kOk;
}

int VRN_network::OnStructureChange() {
  if (IsRelevanceReasoning()) (void)InvalidateValues();
  return qelta::kOk;
}

// ------------------------------------------------------------------- hooks

int VRN_network::OnArcAdded(int parent, int child) {
  if (HookEnabled(*this, qelta::kRelArcAdded)) (void)InvalidateValues();
  return qelta::kOk;
}

int VRN_network::OnArcRemoved(int parent, int child) {
  if (HookEnabled(*this, qelta::kRelArcRemoved)) (void)InvalidateValues();
  return qelta::kOk;
}

int VRN_network::OnEvidenceChange(int handle, int kind) {
  if (kind != qelta::kChangeOutcomes && kind != qelta::kChangeTable &&
      kind != qelta::kChangeEquation) {
    return qelta::kOk;
  }
  if (!HookEnabled(*this, kind)) return qelta::kOk;
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  return InvalidateValues();
}

int VRN_network::OnNodeValueChange(int handle) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  if (HookEnabled(*this, qelta::kRelEvidenceCleared)) (void)InvalidateValues();
  return qelta::kOk;
}

int VRN_network::CheckImpossibleEvidence(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (!HookEnabled(*this, qelta::kRelEvidenceSet)) return qelta::kOk;
  VRN_nodeDef* definition = node->Definition();
  VRN_nodeVal* value = node->Value();
  const VRN_matrix* table = definition->GetType() == qelta::kDefEquation
                                ? nullptr
                                : definition->GetExpandedDefinition();
  int own = value->HasEvidence() ? value->GetEvidence() : -1;
  if (table != nullptr && own >= 0) {
    // Evidence coordinates: observed parents fixed, the others free, the
    // node's own observed outcome last.
    VRN_intArray fixed;
    for (int parent : node->Parents()) {
      VRN_nodeVal* pv = nodes_[parent]->Value();
      fixed.Add(pv->HasEvidence() ? pv->GetEvidence() : -1);
    }
    fixed.Add(own);
    if (fixed.GetSize() == table->GetDimensionCount() &&
        table->AllEqualTo(0.0, fixed) == 1) {
      const VRN_idArray* ids = definition->GetOutcomesNames();
      const char* outcome = ids != nullptr ? ids->Get(own) : nullptr;
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "Outcome [%s] of node [%s] is impossible",
                             outcome != nullptr ? outcome : "",
                             node->GetId());
    }
  }
  (void)InvalidateValues();
  return qelta::kOk;
}

// ------------------------------------------------------ ancestry queries

int VRN_network::GetAncestors(int handle, VRN_intArray& out) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  std::uint32_t mark = NextStamp();
  stack_.assign(1, handle);
  out.Flush();
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    for (int p : nodes_[h]->Parents()) {
      if (visitStamp_[p] != mark && p != handle) {
        visitStamp_[p] = mark;
        stack_.push_back(p);
      }
    }
  }
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr && visitStamp_[h] == mark) {
      out.Add(static_cast<int>(h));
    }
  }
  return qelta::kOk;
}

int VRN_network::GetDescendants(int handle, VRN_intArray& out) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  std::uint32_t mark = NextStamp();
  stack_.assign(1, handle);
  out.Flush();
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    for (int c : nodes_[h]->Children()) {
      if (visitStamp_[c] != mark && c != handle) {
        visitStamp_[c] = mark;
        stack_.push_back(c);
      }
    }
  }
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr && visitStamp_[h] == mark) {
      out.Add(static_cast<int>(h));
    }
  }
  return qelta::kOk;
}

int VRN_network::GetCostDescendants(int handle, VRN_intArray& out) {
  out.Flush();
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  std::uint32_t mark = NextStamp();
  stack_.assign(1, handle);
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    for (int c : nodes_[h]->GetCostChildren()) {
      if (visitStamp_[c] != mark && c != handle) {
        visitStamp_[c] = mark;
        stack_.push_back(c);
      }
    }
  }
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr && visitStamp_[h] == mark) {
      out.Add(static_cast<int>(h));
    }
  }
  return qelta::kOk;
}
