// Read-only graph queries of VRN_network (longest path, singly
// connectedness), the orders the influence-diagram solvers and diagnosis
// sort by, and the inference table cache's entry point.
//
// The walks keep their scratch state in local arrays indexed by handle
// rather than in the nodes' mark words, so they leave the nodes untouched
// and the const queries stay const.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"

namespace {

// Decision nodes are those whose definition type code has bit 0 set.
constexpr int kDecisionBit = 1;

bool IsDecision(const VRN_node& node) {
  return (node.Definition()->GetType() & kDecisionBit) != 0;
}

// Keeps the entries of list that occur in order, as many times as they were
// listed, rearranged into the sequence of order. slots bounds every handle
// of order.
void SortBy(const VRN_intArray& order, int slots, VRN_intArray& list) {
  std::vector<int> listed(slots, 0);
  for (int h : list) {
    if (h >= 0 && h < slots) ++listed[h];
  }
  list.Flush();
  for (int h : order) {
    for (int k = 0; k < listed[h]; ++k) list.Add(h);
  }
}

// Root of v's set, halving the path on the way.
int FindRoot(std::vector<int>& root, int v) {
  while (root[v] != v) {
    root[v] = root[root[v]];
    v = root[v];
  }
  return v;
}

}  // namespace

int VRN_network::GetLongestPathLength() {
  const VRN_intArray& order = PartialOrder();
  std::vector<int> depth(nodes_.size(), 0);
  int longest = 0;
  for (int k = order.GetSize() - 1; k >= 0; --k) {
    const int h = order[k];
    const VRN_intArray& children = nodes_[h]->Children();
    if (children.IsEmpty()) continue;
    int deepest = 0;
    for (int c : children) deepest = std::max(deepest, depth[c]);
    depth[h] = deepest + 1;
    longest = std::max(longest, depth[h]);
  }
  return longest;
}

bool VRN_network::IsSinglyConnected() const {
  // Arcs join components; an arc whose ends already share a component
  // closes an undirected cycle.
  std::vector<int> root(nodes_.size());
  for (size_t h = 0; h < root.size(); ++h) root[h] = static_cast<int>(h);
  for (const VRN_node* node : nodes_) {
    if (node == nullptr) continue;
    for (int child : node->Children()) {
      const int a = FindRoot(root, node->Handle());
      const int b = FindRoot(root, child);
      if (a == b) return false;
      root[b] = a;
    }
  }
  return true;
}

int VRN_network::GetDecisionOrder(VRN_intArray& out) {
  out.Flush();
  const VRN_intArray& order = PartialOrder();
  std::vector<int> rank(nodes_.size(), 0);
  for (int k = 0; k < order.GetSize(); ++k) rank[order[k]] = k;
  std::vector<char> listed(nodes_.size(), 0);
  std::vector<int> informed;
  for (int d : order) {
    if (!IsDecision(*nodes_[d])) continue;
    informed.clear();
    for (int p : nodes_[d]->Parents()) {
      if (listed[p] == 0) informed.push_back(p);
    }
    std::sort(informed.begin(), informed.end(),
              [&rank](int a, int b) { return rank[a] < rank[b]; });
    for (int p : informed) {
      out.Add(p);
      listed[p] = 1;
    }
    out.Add(d);
    listed[d] = 1;
  }
  for (int h : order) {
    if (listed[h] == 0) out.Add(h);
  }
  return qelta::kOk;
}

int VRN_network::SortByDecisionOrder(VRN_intArray& list) {
  VRN_intArray order;
  (void)GetDecisionOrder(order);  // always 0
  SortBy(order, GetSlotCount(), list);
  return qelta::kOk;
}

int VRN_network::SortNodesByOrder(VRN_intArray& list) const {
  // Post-order walk through cost parents. Cost arcs are not checked for
  // cycles, so a node met again while its walk is still open is passed
  // over instead of being followed round the cycle.
  enum : char { kNew, kOpen, kPlaced };
  std::vector<char> state(nodes_.size(), kNew);
  VRN_intArray order;
  std::vector<std::pair<int, int>> walk;  // (node, next cost parent)
  for (size_t start = 0; start < nodes_.size(); ++start) {
    if (nodes_[start] == nullptr || state[start] != kNew) continue;
    walk.emplace_back(static_cast<int>(start), 0);
    state[start] = kOpen;
    while (!walk.empty()) {
      const int h = walk.back().first;
      const VRN_intArray& parents = nodes_[h]->GetCostParents();
      if (walk.back().second < parents.GetSize()) {
        const int p = parents[walk.back().second++];
        if (state[p] == kNew) {
          state[p] = kOpen;
          walk.emplace_back(p, 0);
        }
        continue;
      }
      order.Add(h);
      state[h] = kPlaced;
      walk.pop_back();
    }
  }
  SortBy(order, GetSlotCount(), list);
  return qelta::kOk;
}

bool VRN_network::HasTemporalNodes() const {
  for (const VRN_node* node : nodes_) {
    if (node != nullptr && node->GetTemporalType() != 0) return true;
  }
  return false;
}

VRN_matrix* VRN_network::MakeTableForNodes(const std::vector<int>& nodes) {
  if (nodes.empty()) return nullptr;
  VRN_intArray sizes;
  for (int h : nodes) {
    const VRN_node* node = GetNode(h);
    if (node == nullptr) return nullptr;
    const int count = node->Definition()->GetDiscreteOutcomeCount();
    if (count < 1) return nullptr;
    sizes.Add(count);
  }
  const bool created = tableCache_ == nullptr;
  if (created) {
    tableCache_ = std::make_unique<std::deque<VRN_tableCacheEntry>>();
  }
  // Sized in place: a clique table can be large and is not copied.
  tableCache_->emplace_back();
  VRN_tableCacheEntry& entry = tableCache_->back();
  if (entry.table.SetDimensions(sizes) != qelta::kOk) {
    tableCache_->pop_back();
    if (created) tableCache_.reset();
    return nullptr;
  }
  entry.nodes = nodes;
  return &entry.table;
}
