#include "learning/node_layers.h"

#include <algorithm>
#include <cstdint>

namespace {

// True when every arc names nodes of 0 .. n-1 and no unordered pair of nodes
// carries two arcs.
bool ArcsAreSimple(int n, const std::vector<std::pair<int, int>>& arcs) {
  std::vector<std::uint64_t> pairs;
  pairs.reserve(arcs.size());
  for (const auto& [parent, child] : arcs) {
    if (parent < 0 || parent >= n || child < 0 || child >= n) return false;
    const auto low = static_cast<std::uint64_t>(std::min(parent, child));
    const auto high = static_cast<std::uint64_t>(std::max(parent, child));
    pairs.push_back(low << 32 | high);
  }
  std::sort(pairs.begin(), pairs.end());
  return std::adjacent_find(pairs.begin(), pairs.end()) == pairs.end();
}

}  // namespace

bool VRN_ComputeNodeLayers(int n, const std::vector<std::pair<int, int>>& arcs,
                           std::vector<std::pair<int, int>>& layers) {
  layers.assign(n < 0 ? 0 : static_cast<size_t>(n), {-1, -1});
  if (n < 0 || !ArcsAreSimple(n, arcs)) return false;

  // Children of each node in one flat array (first_child[v] .. [v + 1]).
  std::vector<int> unplaced_parents(n, 0);
  std::vector<int> first_child(static_cast<size_t>(n) + 1, 0);
  for (const auto& arc : arcs) {
    ++first_child[arc.first + 1];
    ++unplaced_parents[arc.second];
  }
  for (int v = 0; v < n; ++v) first_child[v + 1] += first_child[v];
  std::vector<int> children(arcs.size());
  std::vector<int> fill(first_child.begin(), first_child.end() - 1);
  for (const auto& arc : arcs) children[fill[arc.first]++] = arc.second;

  // A node becomes ready exactly when its last parent is placed, so each
  // pass is the set of nodes freed by the previous pass, in index order.
  std::vector<int> pass;
  std::vector<int> next;
  for (int v = 0; v < n; ++v) {
    if (unplaced_parents[v] == 0) pass.push_back(v);
  }
  int placed = 0;
  for (int layer = 0; !pass.empty(); ++layer) {
    next.clear();
    for (size_t k = 0; k < pass.size(); ++k) {
      const int v = pass[k];
      layers[v] = {layer, static_cast<int>(k)};
      for (int e = first_child[v]; e < first_child[v + 1]; ++e) {
        if (--unplaced_parents[children[e]] == 0) next.push_back(children[e]);
      }
    }
    placed += static_cast<int>(pass.size());
    std::sort(next.begin(), next.end());
    pass.swap(next);
  }
  return placed == n;
}
