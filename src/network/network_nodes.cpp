// Nodes of VRN_network: adding, naming, finding, iterating and deleting,
// and the outcome notifications that definitions send up.
#include <cstdio>
#include <cstring>
#include <memory>

#include "network/cases.h"
#include "network/change_guards.h"
#include "base/error_log.h"
#include "network/network.h"
#include "network/dbn.h"
#include "network/node.h"
#include "base/status.h"
#include "base/strings.h"
#include "network/submodel.h"
#include "definitions/node_def.h"

// ------------------------------------------------------- identifier index

void VRN_network::IndexAdd(const char* id, int handle) {
  if (id == nullptr) return;
  idIndex_[id].push_back(handle);
}

void VRN_network::IndexRemove(const char* id, int handle) {
  if (id == nullptr) return;
  auto it = idIndex_.find(id);
  if (it == idIndex_.end()) return;
  std::vector<int>& handles = it->second;
  for (size_t i = 0; i < handles.size(); ++i) {
    if (handles[i] == handle) {
      handles.erase(handles.begin() + i);
      break;
    }
  }
  if (handles.empty()) idIndex_.erase(it);
}

void VRN_network::RebuildIndex() {
  idIndex_.clear();
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr) IndexAdd(nodes_[h]->GetId(), static_cast<int>(h));
  }
}

int VRN_network::IsIdInUse(const char* id, int skip) const {
  if (id == nullptr) return 0;
  auto it = idIndex_.find(id);
  if (it != idIndex_.end()) {
    for (int h : it->second) {
      if (h != skip) return 1;
    }
  }
  return submodels_->IsIdUsed(id) ? 1 : 0;
}

int VRN_network::MakeUniqueNodeId(char* buffer) const {
  // Counting from the live-node count usually hits a free name at once.
  for (long long n = numNodes_;; ++n) {
    std::snprintf(buffer, qelta::kNodeIdBufferSize, "Node%lld", n);
    if (IsIdInUse(buffer, -1) == 0) return qelta::kOk;
  }
}

int VRN_network::AcceptNodeId(int handle, const char* oldId,
                              const char* newId) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (newId == nullptr || !VRN_IsValidId(newId)) {
    return qelta::kErrIllegalIdentifier;
  }
  if (oldId != nullptr && std::strcmp(oldId, newId) == 0) return qelta::kOk;
  if ((loadFlags_ & qelta::kLoadAllowDuplicateIds) == 0 &&
      IsIdInUse(newId, handle) != 0) {
    return qelta::kErrDuplicatedIdentifier;
  }
  for (int child : node->Children()) {
    nodes_[child]->Definition()->OnParentIdChanged(handle, oldId, newId);
  }
  node->Definition()->OnIdChanged(oldId, newId);
  IndexRemove(oldId, handle);
  IndexAdd(newId, handle);
  return qelta::kOk;
}

int VRN_network::FindNode(const char* id) const {
  if (id == nullptr) return qelta::kErrOutOfRange;
  auto it = idIndex_.find(id);
  if (it == idIndex_.end() || it->second.empty()) return qelta::kErrOutOfRange;
  int first = it->second.front();
  for (int h : it->second) first = h < first ? h : first;
  return first;
}

// ------------------------------------------------------------------ nodes

int VRN_network::AddNode(int type, const char* id) {
  return AddNodeInSlot(type, id, false);
}

int VRN_network::AddNodeAfterAll(int type, const char* id) {
  return AddNodeInSlot(type, id, true);
}

int VRN_network::AddNodeInSlot(int type, const char* id, bool afterAll) {
  if (!VRN_nodeDef::IsValidType(type)) return qelta::kErrWrongNodeType;
  char generated[qelta::kNodeIdBufferSize];
  if (id == nullptr || (id[0] != '@' && !VRN_IsValidId(id))) {
    MakeUniqueNodeId(generated);
    id = generated;
  } else if ((loadFlags_ & qelta::kLoadAllowDuplicateIds) == 0 &&
             IsIdInUse(id, -1) != 0) {
    // An '@' identifier skips the identifier rule, not the duplicate test:
    // two nodes of one name would make FindNode ambiguous.
    return qelta::kErrOutOfRange;
  }
  orderValid_ = 0;

  int handle;
  const auto slot =
      afterAll ? freeSlots_.upper_bound(GetLastNode()) : freeSlots_.begin();
  bool appended = slot == freeSlots_.end();
  if (appended) {
    handle = static_cast<int>(nodes_.size());
    nodes_.push_back(nullptr);
    rank_.push_back(0);
    visitStamp_.push_back(0);
  } else {
    handle = *slot;
  }
  try {
    nodes_[handle] = new VRN_node(this, type, handle, id);
    IndexAdd(id, handle);
  } catch (...) {
    delete nodes_[handle];
    nodes_[handle] = nullptr;
    if (appended) {
      nodes_.pop_back();
      rank_.pop_back();
      visitStamp_.pop_back();
    }
    throw;
  }
  if (!appended) freeSlots_.erase(slot);
  // A new node has no arcs, so any rank above the others keeps the order.
  rank_[handle] = nextRank_++;
  ++numNodes_;
  if (VRN_nodeDef::IsInfluenceType(type)) {
    if (influenceNodes_ >= 0) ++influenceNodes_;
    // A decision indexes what depends on it, a utility makes the solver
    // take the diagram: no value is what it was.
    if (!IsUpdating()) (void)OnStructureChange();
  }
  return handle;
}

int VRN_network::DeleteNode(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  // One update at the end instead of one per removed arc.
  VRN_autoUpdateGuard guard(this, true);
  orderValid_ = 0;
  while (node->Children().GetSize() > 0) {
    int child = node->Children()[0];
    if (RemoveArc(handle, child) != qelta::kOk) DropArcEntries(handle, child);
  }
  while (node->Parents().GetSize() > 0) {
    int parent = node->Parents()[0];
    if (RemoveArc(parent, handle) != qelta::kOk) DropArcEntries(parent, handle);
  }
  VRN_intArray cost_children = node->GetCostChildren();
  for (int child : cost_children) (void)RemoveArc(handle, child, 1);
  VRN_intArray cost_parents = node->GetCostParents();
  for (int parent : cost_parents) (void)RemoveArc(parent, handle, 1);
  (void)OnNodeDeleting(handle);
  DropIndexingParent(handle);
  if (influenceNodes_ >= 0 &&
      VRN_nodeDef::IsInfluenceType(node->Definition()->GetType())) {
    --influenceNodes_;
  }
  if (node->IsTarget()) --numTargets_;
  IndexRemove(node->GetId(), handle);
  delete node;
  nodes_[handle] = nullptr;
  freeSlots_.insert(handle);
  --numNodes_;
  if (cases_ != nullptr) cases_->OnNodeDeleted(handle);
  if (dbn_ != nullptr) {
    // Temporal arcs from the node went with it, and no hook saw them go.
    dbn_->OnNodeDeleted(handle);
    InvalidateIfDynamic();
  }
  return qelta::kOk;
}

bool VRN_network::IsInfluenceDiagram() const {
  if (influenceNodes_ < 0) {
    influenceNodes_ = 0;
    for (const VRN_node* node : nodes_) {
      if (node != nullptr &&
          VRN_nodeDef::IsInfluenceType(node->Definition()->GetType())) {
        ++influenceNodes_;
      }
    }
  }
  return influenceNodes_ > 0;
}

int VRN_network::GetFirstNode() const {
  int size = static_cast<int>(nodes_.size());
  for (int h = 0; h < size; ++h) {
    if (nodes_[h] != nullptr) return h;
  }
  return qelta::kErrOutOfRange;
}

int VRN_network::GetNextNode(int handle) const {
  int size = static_cast<int>(nodes_.size());
  // Checked before handle + 1, which would overflow at INT_MAX.
  if (handle < 0 || handle >= size) return qelta::kErrOutOfRange;
  for (int h = handle + 1; h < size; ++h) {
    if (nodes_[h] != nullptr) return h;
  }
  return qelta::kErrOutOfRange;
}

int VRN_network::GetLastNode() const {
  for (int h = static_cast<int>(nodes_.size()) - 1; h >= 0; --h) {
    if (nodes_[h] != nullptr) return h;
  }
  return qelta::kErrOutOfRange;
}

int VRN_network::GetAllNodes(VRN_intArray& out) const {
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr) out.Add(static_cast<int>(h));
  }
  return qelta::kOk;
}

VRN_node* VRN_network::GetNode(int handle) const {
  if (handle < 0 || handle >= static_cast<int>(nodes_.size())) return nullptr;
  return nodes_[handle];
}

// ------------------------------------------------- outcome notifications

int VRN_network::OnOutcomeInserted(int handle, int position) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  int result = node->OnOutcomeInserted(position);
  if (cases_ != nullptr) cases_->OnOutcomeInserted(handle, position);
  if (dbn_ != nullptr) {
    const int status = dbn_->OnOutcomeInserted(handle, position);
    if (result == qelta::kOk) result = status;
    InvalidateIfDynamic();
  }
  return result;
}

int VRN_network::OnOutcomeDeleted(int handle, int position) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  int result = node->OnOutcomeDeleted(position);
  if (cases_ != nullptr) cases_->OnOutcomeDeleted(handle, position);
  if (dbn_ != nullptr) {
    const int status = dbn_->OnOutcomeRemoved(handle, position);
    if (result == qelta::kOk) result = status;
    InvalidateIfDynamic();
  }
  return result;
}

int VRN_network::OnOutcomesReordered(int handle, const VRN_intArray& order) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  int result = node->OnOutcomesReordered(order);
  if (cases_ != nullptr) cases_->OnOutcomesReordered(handle, order);
  if (dbn_ != nullptr) {
    const int status = dbn_->OnOutcomesReordered(handle, order);
    if (result == qelta::kOk) result = status;
    InvalidateIfDynamic();
  }
  return result;
}

int VRN_network::OnDiscIntervalsChanged(int handle) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  if (dbn_ == nullptr) return qelta::kOk;
  const int status = dbn_->OnDiscIntervalsChanged(handle);
  InvalidateIfDynamic();
  return status;
}

int VRN_network::OnNodeTypeChanged(int handle, int newType) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  // What the old table implied may no longer hold.
  SetImpliedEvidenceStale(true);
  influenceNodes_ = -1;
  if (cases_ != nullptr) cases_->OnDefinitionTypeChanged(handle, newType);
  if (dbn_ != nullptr) {
    const int status = dbn_->OnDefinitionTypeChanged(handle);
    InvalidateIfDynamic();
    return status;
  }
  return qelta::kOk;
}
