// Arcs of VRN_network: ordinary and observation-cost arcs, the acyclicity
// test, the cached topological order and the reordering of parents.
//
// The acyclicity test keeps a topological rank per handle (every arc goes
// from a lower to a higher rank). An arc that agrees with the ranks cannot
// close a cycle; otherwise only the nodes whose ranks lie between the two
// ends are searched, from the child for the parent, and the ranks of what
// was visited are reshuffled so that the new arc agrees with them. Building
// a network therefore never walks the whole graph per arc.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "network/change_guards.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "network/network.h"
#include "network/dbn.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"

namespace {

constexpr int kTemporalTerminal = 2;
constexpr int kTemporalPlate = 3;

// Whether temporal types allow parent -> child: a terminal parent needs a
// terminal child, a plate parent a plate or terminal child.
bool TemporalArcAllowed(int parent_type, int child_type) {
  if (parent_type == kTemporalTerminal) return child_type == kTemporalTerminal;
  if (parent_type == kTemporalPlate) {
    return child_type == kTemporalPlate || child_type == kTemporalTerminal;
  }
  return true;
}

// ASCII comparison without regard to case.
bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}

}  // namespace

std::uint32_t VRN_network::NextStamp() {
  if (visitStamp_.size() < nodes_.size()) visitStamp_.resize(nodes_.size(), 0);
  if (++stamp_ == 0) {
    std::fill(visitStamp_.begin(), visitStamp_.end(), 0);
    stamp_ = 1;
  }
  return stamp_;
}

void VRN_network::DropArcEntries(int parent, int child) {
  (void)nodes_[parent]->Children().DeleteByContent(child);
  (void)nodes_[child]->Parents().DeleteByContent(parent);
}

int VRN_network::AreAdjacent(int a, int b) const {
  const VRN_node* node = nodes_[a];
  return node->Parents().Contains(b) || node->Children().Contains(b) ? 1 : 0;
}

bool VRN_network::SearchFromChild(int parent, int child) {
  std::uint32_t mark = NextStamp();
  stack_.clear();
  stack_.push_back(child);
  visitStamp_[child] = mark;
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    if (h == parent) return true;
    for (int c : nodes_[h]->Children()) {
      if (visitStamp_[c] != mark) {
        visitStamp_[c] = mark;
        stack_.push_back(c);
      }
    }
  }
  return false;
}

bool VRN_network::RebuildRanks() {
  // Kahn's algorithm over the live nodes; fails on a directed cycle, which
  // only loads that skip the test can leave behind.
  std::vector<int> in_degree(nodes_.size(), 0);
  stack_.clear();
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] == nullptr) continue;
    in_degree[h] = nodes_[h]->Parents().GetSize();
    if (in_degree[h] == 0) stack_.push_back(static_cast<int>(h));
  }
  int next = 0;
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    rank_[h] = next++;
    for (int c : nodes_[h]->Children()) {
      if (--in_degree[c] == 0) stack_.push_back(c);
    }
  }
  if (next != numNodes_) return false;
  nextRank_ = next;
  ranksValid_ = true;
  return true;
}

bool VRN_network::WouldCloseCycle(int parent, int child) {
  if (!ranksValid_ && !RebuildRanks()) return SearchFromChild(parent, child);
  int upper = rank_[parent];
  int lower = rank_[child];
  if (upper < lower) return false;

  // Forward from the child through nodes ranked below the parent.
  std::uint32_t forward_mark = NextStamp();
  forward_.clear();
  stack_.clear();
  stack_.push_back(child);
  visitStamp_[child] = forward_mark;
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    forward_.push_back(h);
    for (int c : nodes_[h]->Children()) {
      if (c == parent) return true;
      if (visitStamp_[c] != forward_mark && rank_[c] < upper) {
        visitStamp_[c] = forward_mark;
        stack_.push_back(c);
      }
    }
  }

  // Backward from the parent through nodes ranked above the child.
  std::uint32_t backward_mark = NextStamp();
  backward_.clear();
  stack_.push_back(parent);
  visitStamp_[parent] = backward_mark;
  while (!stack_.empty()) {
    int h = stack_.back();
    stack_.pop_back();
    backward_.push_back(h);
    for (int p : nodes_[h]->Parents()) {
      if (visitStamp_[p] != backward_mark && rank_[p] > lower) {
        visitStamp_[p] = backward_mark;
        stack_.push_back(p);
      }
    }
  }

  // The ancestors of the parent take the lowest of the pooled ranks, in
  // their old order, and the descendants of the child the rest.
  auto by_rank = [this](int a, int b) { return rank_[a] < rank_[b]; };
  std::sort(backward_.begin(), backward_.end(), by_rank);
  std::sort(forward_.begin(), forward_.end(), by_rank);
  pooledRanks_.clear();
  for (int h : backward_) pooledRanks_.push_back(rank_[h]);
  for (int h : forward_) pooledRanks_.push_back(rank_[h]);
  std::sort(pooledRanks_.begin(), pooledRanks_.end());
  size_t next = 0;
  for (int h : backward_) rank_[h] = pooledRanks_[next++];
  for (int h : forward_) rank_[h] = pooledRanks_[next++];
  return false;
}

int VRN_network::AddArc(int parent, int child, int layer) {
  if (layer == qelta::kArcLayerCost) return AddCostArc(parent, child);
  VRN_node* parent_node = GetNode(parent);
  VRN_node* child_node = GetNode(child);
  if (parent_node == nullptr || child_node == nullptr || parent == child ||
      AreAdjacent(parent, child) != 0) {
    return qelta::kErrOutOfRange;
  }
  if ((loadFlags_ & qelta::kLoadSkipAcyclicity) == 0) {
    if (WouldCloseCycle(parent, child)) return qelta::kErrCycle;
  } else if (ranksValid_ && rank_[parent] >= rank_[child]) {
    ranksValid_ = false;  // rebuilt when the test next runs
  }
  VRN_nodeDef* child_def = child_node->Definition();
  if (!VRN_nodeDef::IsArcAllowed(parent_node->Definition()->GetType(),
                                 child_def->GetType())) {
    return qelta::kErrWrongNodeType;
  }
  if (!TemporalArcAllowed(parent_node->GetTemporalType(),
                          child_node->GetTemporalType())) {
    return qelta::kErrWrongNodeType;
  }

  orderValid_ = 0;
  VRN_autoUpdateGuard guard(this, true);
  // The temporal part may refuse the arc after the child's table took the
  // parent. A CPT renormalises its columns on the way, so dropping the
  // parent again need not give back the same last bits: the table is kept.
  const int child_type = child_def->GetType();
  const bool keep =
      dbn_ != nullptr && dbn_->GetMaxNodeTemporalOrder(child) > 0 &&
      (child_type == qelta::kDefCpt || child_type == qelta::kDefTruthTable);
  VRN_matrix kept;
  int status;
  try {
    if (keep) kept = *child_def->GetMatrixConst();
    parent_node->Children().Add(child);
    child_node->Parents().Add(parent);
    status = child_def->AddParent(parent);
  } catch (const std::bad_alloc&) {
    DropArcEntries(parent, child);
    return errorLog_->LogError(
        qelta::kErrOutOfMemory,
        "Can't add arc: out of memory when updating the child definition");
  }
  if (status != qelta::kOk) {
    DropArcEntries(parent, child);
    return errorLog_->LogError(status, "Arc rejected by child node");
  }
  if (dbn_ != nullptr) {
    // Holders that cannot take the parent refuse the whole arc.
    status = dbn_->OnArcAdded(parent, child);
    if (status != qelta::kOk) {
      (void)child_def->RemoveParent(parent);
      DropArcEntries(parent, child);
      VRN_matrix* table = child_def->GetMatrix();
      if (keep && table != nullptr && table->HasSameDimensions(kept)) {
        (void)table->CopyItems(kept);
      }
      return status;
    }
  }
  (void)OnArcAdded(parent, child);
  return qelta::kOk;
}

bool VRN_network::TemporalTypesAllowArc(int parent, int child) const {
  return TemporalArcAllowed(GetNode(parent)->GetTemporalType(),
                            GetNode(child)->GetTemporalType());
}

int VRN_network::AddCostArc(int parent, int child) {
  VRN_node* parent_node = GetNode(parent);
  VRN_node* child_node = GetNode(child);
  if (parent_node == nullptr || child_node == nullptr || parent == child) {
    return qelta::kErrOutOfRange;
  }
  if (parent_node->Definition()->GetNumberOfOutcomes() < 2 ||
      child_node->Definition()->GetNumberOfOutcomes() < 2) {
    return qelta::kErrWrongNumStates;
  }
  if (child_node->GetCostParents().Contains(parent)) {
    return qelta::kErrDuplicatedIdentifier;
  }
  return child_node->AddCostParent(parent);
}

int VRN_network::RemoveArc(int parent, int child, int layer) {
  if (layer == qelta::kArcLayerCost) return RemoveCostArc(parent, child);
  VRN_node* parent_node = GetNode(parent);
  VRN_node* child_node = GetNode(child);
  if (parent_node == nullptr || child_node == nullptr || parent == child ||
      !parent_node->Children().Contains(child)) {
    return qelta::kErrOutOfRange;
  }
  VRN_autoUpdateGuard guard(this, true);
  orderValid_ = 0;
  if (dbn_ != nullptr) (void)dbn_->OnArcRemoving(parent, child);
  // The definition drops the parent's dimension while the lists still hold
  // the arc, so it can find the parent's position.
  (void)child_node->Definition()->RemoveParent(parent);
  DropArcEntries(parent, child);
  (void)OnArcRemoved(parent, child);
  return qelta::kOk;
}

int VRN_network::RemoveCostArc(int parent, int child) {
  VRN_node* parent_node = GetNode(parent);
  VRN_node* child_node = GetNode(child);
  if (parent_node == nullptr || child_node == nullptr ||
      !child_node->GetCostParents().Contains(parent) ||
      !parent_node->GetCostChildren().Contains(child)) {
    return qelta::kErrOutOfRange;
  }
  int status = child_node->RemoveCostParent(parent);
  if (parent_node->GetCostChildren().GetSize() == 0) {
    VRN_userProperties& props = parent_node->UserProperties();
    int i = props.FindProperty("DIAG_TESTGROUPCOST");
    const char* value = i >= 0 ? props.GetPropertyValue(i) : nullptr;
    if (value != nullptr && EqualsIgnoringCase(value, "True")) {
      (void)props.DeleteProperty(i);
    }
  }
  return status;
}

const VRN_intArray& VRN_network::PartialOrder() {
  if (orderValid_ != 0) return order_;
  order_.Flush();
  if (order_.Reserve(numNodes_) != qelta::kOk) return order_;
  // Iterative post-order through parents: each node after all its parents,
  // ties broken by handle and parent-list order. A node met again while it
  // is still open (only possible on a cyclic load) is skipped.
  std::uint32_t placed = NextStamp();
  std::uint32_t open = NextStamp();
  std::vector<std::pair<int, int>> walk;  // (node, next parent position)
  for (size_t start = 0; start < nodes_.size(); ++start) {
    if (nodes_[start] == nullptr || visitStamp_[start] == placed) continue;
    walk.emplace_back(static_cast<int>(start), 0);
    visitStamp_[start] = open;
    while (!walk.empty()) {
      auto& [h, next] = walk.back();
      const VRN_intArray& parents = nodes_[h]->Parents();
      if (next < parents.GetSize()) {
        int p = parents[next++];
        if (visitStamp_[p] != placed && visitStamp_[p] != open) {
          visitStamp_[p] = open;
          walk.emplace_back(p, 0);
        }
        continue;
      }
      order_.Add(h);
      visitStamp_[h] = placed;
      walk.pop_back();
    }
  }
  orderValid_ = 1;
  return order_;
}

int VRN_network::ReorderParents(int handle, const VRN_intArray& order) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  int status = node->Parents().Permute(order);
  if (status != qelta::kOk) return status;
  orderValid_ = 0;
  status = node->Definition()->ReorderParents(order);
  if (status != qelta::kOk) {
    // Keep the parent list in step with the table the definition kept.
    VRN_intArray inverse(order.GetSize());
    for (int i = 0; i < order.GetSize(); ++i) inverse[order[i]] = i;
    (void)node->Parents().Permute(inverse);
  } else if (dbn_ != nullptr) {
    status = dbn_->OnParentsReordered(handle, order);
  }
  return status;
}
