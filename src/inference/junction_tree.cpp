// The junction tree per part (see junction_tree.h) and algorithm code 10.
#include "inference/junction_tree.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "base/status.h"
#include "definitions/node_val.h"
#include "inference/bn_routines.h"
#include "inference/clustering_engine.h"
#include "inference/relevance.h"
#include "inference/underflow_bounds.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr std::int64_t kNoNeighbours = 0x7fffffff;
constexpr std::uint64_t kSaturated = std::uint64_t{1} << 62;

std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > kSaturated / a) return kSaturated;
  return a * b;
}

void InsertSorted(std::vector<int>* list, int b) {
  auto it = std::lower_bound(list->begin(), list->end(), b);
  if (it == list->end() || *it != b) list->insert(it, b);
}

void EraseSorted(std::vector<int>* list, int b) {
  auto it = std::lower_bound(list->begin(), list->end(), b);
  if (it != list->end() && *it == b) list->erase(it);
}

// The elimination heap of minimum fill: keyed by fill, then weight, then
// index (so the order is reproducible); every node knows its position.
class FillHeap {
 public:
  struct Key {
    std::int64_t fill;
    std::uint64_t weight;
  };

  explicit FillHeap(int n) : keys_(n), position_(n, -1) {}

  void Set(int v, Key key) {
    keys_[v] = key;
    if (position_[v] < 0) {
      position_[v] = static_cast<int>(heap_.size());
      heap_.push_back(v);
    }
    SiftUp(position_[v]);
    SiftDown(position_[v]);
  }
  bool Empty() const { return heap_.empty(); }
  int Size() const { return static_cast<int>(heap_.size()); }
  const Key& KeyOf(int v) const { return keys_[v]; }
  int Pop() {
    const int top = heap_[0];
    position_[top] = -1;
    heap_[0] = heap_.back();
    heap_.pop_back();
    if (!heap_.empty()) {
      position_[heap_[0]] = 0;
      SiftDown(0);
    }
    return top;
  }

 private:
  bool Less(int a, int b) const {
    const Key& x = keys_[a];
    const Key& y = keys_[b];
    if (x.fill != y.fill) return x.fill < y.fill;
    if (x.weight != y.weight) return x.weight < y.weight;
    return a < b;
  }
  void Swap(int i, int j) {
    std::swap(heap_[i], heap_[j]);
    position_[heap_[i]] = i;
    position_[heap_[j]] = j;
  }
  void SiftUp(int i) {
    while (i > 0) {
      const int up = (i - 1) / 2;
      if (!Less(heap_[i], heap_[up])) return;
      Swap(i, up);
      i = up;
    }
  }
  void SiftDown(int i) {
    const int n = static_cast<int>(heap_.size());
    for (;;) {
      int best = i;
      const int l = 2 * i + 1, r = l + 1;
      if (l < n && Less(heap_[l], heap_[best])) best = l;
      if (r < n && Less(heap_[r], heap_[best])) best = r;
      if (best == i) return;
      Swap(i, best);
      i = best;
    }
  }

  std::vector<Key> keys_;
  std::vector<int> position_;
  std::vector<int> heap_;
};

// Walks the cells of clique c (last member fastest) while keeping the
// matching index into a table whose stride for member j is strides[j];
// calls f(cell, index). odometer has room for c's members.
template <typename F>
void WalkWithStrides(const VRN_jtClique& c, const std::uint64_t* strides,
                     std::uint64_t base, int* odometer, F f) {
  const int m = static_cast<int>(c.members.size());
  if (m == 0) {
    f(0, base);
    return;
  }
  // The last member in a tight loop; the others step like an odometer.
  const std::uint64_t last = static_cast<std::uint64_t>(c.states[m - 1]);
  const std::uint64_t last_stride = strides[m - 1];
  for (int j = 0; j < m - 1; ++j) odometer[j] = 0;
  std::uint64_t index = base;
  for (std::uint64_t cell = 0; cell < c.size; cell += last) {
    std::uint64_t at = index;
    for (std::uint64_t x = 0; x < last; ++x, at += last_stride) f(cell + x, at);
    for (int j = m - 2; j >= 0; --j) {
      index += strides[j];
      if (++odometer[j] < c.states[j]) break;
      index -= strides[j] * static_cast<std::uint64_t>(c.states[j]);
      odometer[j] = 0;
    }
  }
}

}  // namespace

VRN_joinTree::VRN_joinTree(VRN_relevancePart* part) : part_(part) {}

VRN_joinTree::~VRN_joinTree() = default;

// ------------------------------------------------------------------ build

int VRN_joinTree::Build(std::uint64_t limit) {
  if (view_.Read(part_) != qelta::kOk) return qelta::kErrOutOfRange;
  Triangulate();
  FormSeparators();
  OrderTree();
  std::uint64_t total = 0;
  for (const auto& c : cliques_) {
    total = std::min(kSaturated, total + c->size);
  }
  if (total > limit) return qelta::kErrOutOfMemory;
  AssignFamilies();
  FillTables();
  return qelta::kOk;
}

void VRN_joinTree::Triangulate() {
  const int n = view_.size();
  std::vector<std::vector<int>> adj(n);
  for (int i = 0; i < n; ++i) {
    const int* parents = view_.parents(i);
    const int count = view_.parent_count(i);
    for (int a = 0; a < count; ++a) {
      InsertSorted(&adj[i], parents[a]);
      InsertSorted(&adj[parents[a]], i);
      for (int b = a + 1; b < count; ++b) {
        if (parents[a] == parents[b]) continue;
        InsertSorted(&adj[parents[a]], parents[b]);
        InsertSorted(&adj[parents[b]], parents[a]);
      }
    }
  }
  // Fill: pairs of neighbours minus the adjacent ones, counted by marking
  // the neighbours once and walking each neighbour's own list.
  std::vector<int> stamp(n, -1);
  int stamp_id = 0;
  auto key_of = [&](int v) {
    FillHeap::Key key{0, static_cast<std::uint64_t>(view_.outcomes(v))};
    const std::vector<int>& nb = adj[v];
    if (nb.empty()) {
      key.fill = kNoNeighbours;
      return key;
    }
    ++stamp_id;
    for (int a : nb) {
      stamp[a] = stamp_id;
      key.weight = SaturatingProduct(key.weight, view_.outcomes(a));
    }
    std::int64_t adjacent = 0;  // ordered pairs
    for (int a : nb) {
      for (int b : adj[a]) adjacent += stamp[b] == stamp_id ? 1 : 0;
    }
    const std::int64_t d = static_cast<std::int64_t>(nb.size());
    key.fill = (d * (d - 1) - adjacent) / 2;
    return key;
  };
  FillHeap heap(n);
  for (int v = 0; v < n; ++v) heap.Set(v, key_of(v));

  std::vector<std::vector<int>> node_cliques(n);
  std::vector<int> candidate;
  auto add_clique_unless_contained = [&](int v) {
    for (int c : node_cliques[v]) {
      const std::vector<int>& all = cliques_[c]->all;
      if (all.size() >= candidate.size() &&
          std::includes(all.begin(), all.end(), candidate.begin(),
                        candidate.end())) {
        return;
      }
    }
    auto clique = std::make_unique<VRN_jtClique>();
    clique->all = candidate;
    const int id = static_cast<int>(cliques_.size());
    for (int x : candidate) node_cliques[x].push_back(id);
    cliques_.push_back(std::move(clique));
  };

  while (heap.Size() > 1) {
    const int v = heap.Pop();
    const std::int64_t fill = heap.KeyOf(v).fill;
    std::vector<int> neighbours;
    neighbours.swap(adj[v]);
    if (fill != 0 && fill != kNoNeighbours) {
      for (size_t a = 0; a < neighbours.size(); ++a) {
        for (size_t b = a + 1; b < neighbours.size(); ++b) {
          InsertSorted(&adj[neighbours[a]], neighbours[b]);
          InsertSorted(&adj[neighbours[b]], neighbours[a]);
        }
      }
    }
    for (int u : neighbours) EraseSorted(&adj[u], v);
    for (int u : neighbours) heap.Set(u, key_of(u));
    candidate = neighbours;
    InsertSorted(&candidate, v);
    add_clique_unless_contained(v);
  }
  if (!heap.Empty()) {
    const int last = heap.Pop();
    candidate.assign(1, last);
    add_clique_unless_contained(last);
  }
}

void VRN_joinTree::FormSeparators() {
  const int m = static_cast<int>(cliques_.size());
  const int n = view_.size();
  for (auto& c : cliques_) {
    c->size = 1;
    for (int x : c->all) {
      if (view_.evidence(x) < 0) {
        c->size = SaturatingProduct(c->size, view_.outcomes(x));
      }
    }
  }
  // Candidates: only clique pairs that share a member.
  std::vector<std::vector<int>> node_cliques(n);
  for (int c = 0; c < m; ++c) {
    for (int x : cliques_[c]->all) node_cliques[x].push_back(c);
  }
  std::vector<std::uint64_t> pairs;
  for (int x = 0; x < n; ++x) {
    const std::vector<int>& list = node_cliques[x];
    for (size_t a = 0; a < list.size(); ++a) {
      for (size_t b = a + 1; b < list.size(); ++b) {
        pairs.push_back((static_cast<std::uint64_t>(list[a]) << 32) |
                        static_cast<std::uint32_t>(list[b]));
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  struct Candidate {
    int a, b, common;
    std::uint64_t cost;
  };
  std::vector<Candidate> candidates;
  candidates.reserve(pairs.size());
  for (std::uint64_t key : pairs) {
    const int a = static_cast<int>(key >> 32);
    const int b = static_cast<int>(key & 0xffffffffu);
    const std::vector<int>& x = cliques_[a]->all;
    const std::vector<int>& y = cliques_[b]->all;
    int common = 0;
    for (size_t i = 0, j = 0; i < x.size() && j < y.size();) {
      if (x[i] < y[j]) {
        ++i;
      } else if (y[j] < x[i]) {
        ++j;
      } else {
        ++common, ++i, ++j;
      }
    }
    candidates.push_back(
        {a, b, common, std::min(kSaturated, cliques_[a]->size + cliques_[b]->size)});
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& l, const Candidate& r) {
              if (l.common != r.common) return l.common > r.common;
              if (l.cost != r.cost) return l.cost < r.cost;
              if (l.a != r.a) return l.a < r.a;
              return l.b < r.b;
            });
  std::vector<int> root(m);
  for (int c = 0; c < m; ++c) root[c] = c;
  auto find = [&](int c) {
    while (root[c] != c) c = root[c] = root[root[c]];
    return c;
  };
  auto join = [&](int a, int b, int common, std::uint64_t cost) {
    auto sep = std::make_unique<VRN_jtSeparator>();
    sep->parent = cliques_[a].get();
    sep->child = cliques_[b].get();
    sep->common = common;
    sep->cost = cost;
    const std::vector<int>& x = cliques_[a]->all;
    const std::vector<int>& y = cliques_[b]->all;
    for (size_t i = 0, j = 0; i < x.size() && j < y.size();) {
      if (x[i] < y[j]) {
        ++i;
      } else if (y[j] < x[i]) {
        ++j;
      } else {
        if (view_.evidence(x[i]) < 0) {
          sep->members.push_back(x[i]);
          sep->states.push_back(view_.outcomes(x[i]));
          sep->size = SaturatingProduct(sep->size, view_.outcomes(x[i]));
        }
        ++i, ++j;
      }
    }
    cliques_[a]->separators.push_back(sep.get());
    cliques_[b]->separators.push_back(sep.get());
    separators_.push_back(std::move(sep));
  };
  for (const Candidate& c : candidates) {
    if (static_cast<int>(separators_.size()) == m - 1) break;
    const int ra = find(c.a), rb = find(c.b);
    if (ra == rb) continue;
    root[ra] = rb;
    join(c.a, c.b, c.common, c.cost);
  }
  // What the evidence left apart is joined by empty separators.
  for (int c = 1; c < m; ++c) {
    const int ra = find(0), rc = find(c);
    if (ra == rc) continue;
    root[rc] = ra;
    join(0, c, 0, cliques_[0]->size + cliques_[c]->size);
  }
}

void VRN_joinTree::OrderTree() {
  const int m = static_cast<int>(cliques_.size());
  const int sep_count = static_cast<int>(separators_.size());
  // Until ordered, parent and child are just the two ends; index is the
  // formation position.
  for (int c = 0; c < m; ++c) cliques_[c]->index = c;
  for (int s = 0; s < sep_count; ++s) separators_[s]->index = s;
  std::vector<int> clique_order;
  std::vector<int> sep_order;
  std::vector<bool> placed(m, false);
  std::vector<bool> oriented(sep_count, false);
  clique_order.reserve(m);
  sep_order.reserve(sep_count);
  for (int c = 0; c < m; ++c) {
    if (cliques_[c]->separators.empty()) {
      placed[c] = true;
      clique_order.push_back(c);
    }
  }
  std::vector<VRN_jtClique*> queue;
  queue.reserve(m);
  for (;;) {
    int start = -1;
    for (int c = 0; c < m; ++c) {
      if (placed[c]) continue;
      if (start < 0 || cliques_[c]->size < cliques_[start]->size) start = c;
    }
    if (start < 0) break;
    placed[start] = true;
    clique_order.push_back(start);
    queue.assign(1, cliques_[start].get());
    for (size_t q = 0; q < queue.size(); ++q) {
      VRN_jtClique* c = queue[q];
      std::vector<VRN_jtSeparator*> children;
      for (VRN_jtSeparator* s : c->separators) {
        if (oriented[s->index]) continue;  // the way back
        oriented[s->index] = true;
        VRN_jtClique* other = s->parent == c ? s->child : s->parent;
        s->parent = c;
        s->child = other;
        sep_order.push_back(s->index);
        placed[other->index] = true;
        clique_order.push_back(other->index);
        other->parentSeparator = s;
        queue.push_back(other);
        children.push_back(s);
      }
      c->separators.swap(children);
    }
  }
  std::vector<std::unique_ptr<VRN_jtClique>> cliques(m);
  for (int c = 0; c < m; ++c) cliques[c] = std::move(cliques_[clique_order[c]]);
  std::vector<std::unique_ptr<VRN_jtSeparator>> separators(sep_count);
  for (int s = 0; s < sep_count; ++s) {
    separators[s] = std::move(separators_[sep_order[s]]);
  }
  cliques_ = std::move(cliques);
  separators_ = std::move(separators);
  for (int c = 0; c < m; ++c) cliques_[c]->index = c;
  for (int s = 0; s < sep_count; ++s) separators_[s]->index = s;
  // Table members: the unobserved ones, the parent separator's last.
  for (auto& c : cliques_) {
    c->members.clear();
    const VRN_jtSeparator* up = c->parentSeparator;
    for (int x : c->all) {
      if (view_.evidence(x) >= 0) continue;
      if (up != nullptr && std::binary_search(up->members.begin(),
                                              up->members.end(), x)) {
        continue;
      }
      c->members.push_back(x);
    }
    if (up != nullptr) {
      c->members.insert(c->members.end(), up->members.begin(),
                        up->members.end());
    }
    c->states.clear();
    for (int x : c->members) c->states.push_back(view_.outcomes(x));
  }
}

void VRN_joinTree::AssignFamilies() {
  const int n = view_.size();
  assigned_.assign(n, nullptr);
  std::vector<VRN_jtClique*> by_size;
  for (auto& c : cliques_) by_size.push_back(c.get());
  std::stable_sort(by_size.begin(), by_size.end(),
                   [](const VRN_jtClique* a, const VRN_jtClique* b) {
                     return a->size < b->size;
                   });
  std::vector<int> stamp(n, -1);
  for (VRN_jtClique* c : by_size) {
    for (int x : c->all) stamp[x] = c->index;
    for (int x : c->all) {
      if (assigned_[x] != nullptr) continue;
      bool holds = true;
      for (int k = 0; k < view_.parent_count(x) && holds; ++k) {
        holds = stamp[view_.parents(x)[k]] == c->index;
      }
      if (holds) assigned_[x] = c;
    }
  }
}

void VRN_joinTree::FillTables(bool careful) {
  // The passes after it tell whether some product left the normal doubles.
  qelta::ClearUnderflow();
  careful_ = careful;
  if (careful) {
    error_.assign(cliques_.size(), 0.0);
    message_error_.assign(separators_.size(), 0.0);
  }
  size_t most_members = 1;
  std::uint64_t largest_separator = 1;
  for (auto& c : cliques_) {
    most_members = std::max(most_members, c->members.size());
    c->table.assign(c->size, 1.0);
  }
  odometer_.assign(most_members, 0);
  for (auto& s : separators_) {
    largest_separator = std::max(largest_separator, s->size);
    s->table.assign(s->size, 0.0);
    const VRN_jtClique& parent = *s->parent;
    s->parentStrides.assign(parent.members.size(), 0);
    std::uint64_t stride = 1;
    for (int q = static_cast<int>(s->members.size()) - 1; q >= 0; --q) {
      const auto it = std::find(parent.members.begin(), parent.members.end(),
                                s->members[q]);
      assert(it != parent.members.end());
      s->parentStrides[it - parent.members.begin()] = stride;
      stride *= static_cast<std::uint64_t>(s->states[q]);
    }
  }
  scratch_.assign(largest_separator, 0.0);
  std::vector<std::uint64_t> strides(most_members);
  for (int i = 0; i < view_.size(); ++i) {
    VRN_jtClique* c = assigned_[i];
    assert(c != nullptr);
    std::uint64_t base = 0;
    std::fill(strides.begin(), strides.end(), 0);
    auto place = [&](int member, std::uint64_t stride) {
      if (view_.evidence(member) >= 0) {
        base += stride * static_cast<std::uint64_t>(view_.evidence(member));
        return;
      }
      const auto it = std::find(c->members.begin(), c->members.end(), member);
      strides[it - c->members.begin()] = stride;
    };
    for (int k = 0; k < view_.parent_count(i); ++k) {
      place(view_.parents(i)[k], static_cast<std::uint64_t>(view_.strides(i)[k]));
    }
    place(i, 1);
    const double* t = view_.table(i);
    double* table = c->table.data();
    if (careful) {
      // The slice onto its largest entry by a power of two (exact, even
      // for a subnormal), so its digits survive meeting the others.
      double largest = 0.0;
      WalkWithStrides(*c, strides.data(), base, odometer_.data(),
                      [&](std::uint64_t, std::uint64_t index) {
                        largest = std::max(largest, t[index]);
                      });
      const int exponent = largest > 0.0 && largest < 1.0 ? -std::ilogb(largest) : 0;
      qelta::ClearUnderflow();
      WalkWithStrides(*c, strides.data(), base, odometer_.data(),
                      [&](std::uint64_t cell, std::uint64_t index) {
                        table[cell] *= std::ldexp(t[index], exponent);
                      });
      error_[c->index] = qelta::BoundOfProduct(error_[c->index],
                                               std::ldexp(largest, exponent),
                                               0.0, 0.0, qelta::Underflowed());
      continue;
    }
    WalkWithStrides(*c, strides.data(), base, odometer_.data(),
                    [&](std::uint64_t cell, std::uint64_t index) {
                      table[cell] *= t[index];
                    });
  }
}

// ------------------------------------------------------------ propagation

void VRN_joinTree::SumChildInto(const VRN_jtClique& child,
                                VRN_jtSeparator* sep) {
  double* out = sep->table.data();
  const std::uint64_t size = sep->size;
  std::fill(out, out + size, 0.0);
  const double* in = child.table.data();
  for (std::uint64_t base = 0; base < child.size; base += size) {
    for (std::uint64_t k = 0; k < size; ++k) out[k] += in[base + k];
  }
}

void VRN_joinTree::Collect() {
  for (int s = static_cast<int>(separators_.size()) - 1; s >= 0; --s) {
    VRN_jtSeparator* sep = separators_[s].get();
    SumChildInto(*sep->child, sep);
    const double* message = sep->table.data();
    double* parent = sep->parent->table.data();
    double largest = 0.0, cells = 0.0;
    if (careful_) {
      message_error_[s] = qelta::BoundOfSum(error_[sep->child->index],
                                            sep->child->size, sep->size);
      largest = qelta::LargestCell(message, sep->size);
      cells = qelta::LargestCell(parent, sep->parent->size);
      qelta::ClearUnderflow();
    }
    WalkWithStrides(*sep->parent, sep->parentStrides.data(), 0,
                    odometer_.data(),
                    [&](std::uint64_t cell, std::uint64_t index) {
                      parent[cell] *= message[index];
                    });
    if (careful_) {
      double& error = error_[sep->parent->index];
      error = qelta::BoundOfProduct(error, largest, cells, message_error_[s],
                                    qelta::Underflowed());
    }
  }
}

void VRN_joinTree::Distribute() {
  double* ratio = scratch_.data();
  for (auto& owned : separators_) {
    VRN_jtSeparator* sep = owned.get();
    const std::uint64_t size = sep->size;
    std::fill(ratio, ratio + size, 0.0);
    const double* parent = sep->parent->table.data();
    WalkWithStrides(*sep->parent, sep->parentStrides.data(), 0,
                    odometer_.data(),
                    [&](std::uint64_t cell, std::uint64_t index) {
                      ratio[index] += parent[cell];
                    });
    double* stored = sep->table.data();
    // Careful passes: the new message's bound, what a zero old cell (that a
    // product lost) drops, and what the ratios round away.
    double fresh_error = 0.0, dropped = 0.0, rounding = 0.0;
    if (careful_) {
      fresh_error = qelta::BoundOfSum(error_[sep->parent->index],
                                      sep->parent->size, size);
      for (std::uint64_t k = 0; k < size; ++k) {
        if (message_error_[sep->index] > 0.0 && !(stored[k] > 0.0) && ratio[k] > 0.0) {
          dropped = std::max(dropped, ratio[k] + fresh_error);
        }
      }
      rounding = qelta::LargestCell(stored, size) * qelta::kSubnormalRounding;
      qelta::ClearUnderflow();
    }
    for (std::uint64_t k = 0; k < size; ++k) {
      if (stored[k] > 0.0) {
        const double fresh = ratio[k];
        ratio[k] = fresh / stored[k];
        stored[k] = fresh;
      } else {
        ratio[k] = 0.0;
        stored[k] = 0.0;
      }
    }
    double bound = 0.0;
    if (careful_) {
      // A child cell is at most its old message cell, so its ratio's error
      // adds at most fresh_error + ratio * old error to it.
      const double largest = qelta::LargestCell(ratio, size);
      bound = error_[sep->child->index] * largest + fresh_error + dropped +
              largest * message_error_[sep->index] +
              (qelta::Underflowed() ? rounding : 0.0);
      qelta::ClearUnderflow();
    }
    double* child = sep->child->table.data();
    for (std::uint64_t base = 0; base < sep->child->size; base += size) {
      for (std::uint64_t k = 0; k < size; ++k) child[base + k] *= ratio[k];
    }
    if (careful_) {
      error_[sep->child->index] =
          bound + (qelta::Underflowed() ? qelta::kSubnormalRounding : 0.0);
    }
  }
}

bool VRN_joinTree::Trusted() const {
  for (const auto& c : cliques_) {
    double total = 0.0;
    for (double v : c->table) total += v;
    if (!qelta::Trusted(error_[c->index], c->size, total)) return false;
  }
  return true;
}

void VRN_joinTree::WriteBeliefs(int* zeroCounter, int* status) {
  const int n = view_.size();
  // Homes: the smallest table holding the node, separators before cliques.
  struct Home {
    const double* table = nullptr;
    std::uint64_t size = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t cells = 0;
    std::uint64_t stride = 0;
  };
  std::vector<Home> homes(n);
  auto visit = [&](const std::vector<int>& members,
                   const std::vector<int>& states, std::uint64_t size,
                   const std::vector<double>& table) {
    std::uint64_t stride = 1;
    for (int q = static_cast<int>(members.size()) - 1; q >= 0; --q) {
      Home& home = homes[members[q]];
      if (size < home.size) {
        home.table = table.data();
        home.size = size;
        home.cells = size;
        home.stride = stride;
      }
      stride *= static_cast<std::uint64_t>(states[q]);
    }
  };
  for (const auto& s : separators_) visit(s->members, s->states, s->size, s->table);
  for (const auto& c : cliques_) visit(c->members, c->states, c->size, c->table);

  VRN_network* network = part_->GetNetwork();
  for (int i = 0; i < n; ++i) {
    VRN_relevanceNode* record = view_.record(i);
    VRN_node* node = record->GetNode();
    if (node == nullptr) continue;  // auxiliary: no belief
    VRN_nodeVal* value = node->Value();
    if (view_.evidence(i) >= 0) {
      if (!value->HasEvidence()) (void)record->SetDerivedEvidence(view_.evidence(i));
      continue;
    }
    const Home& home = homes[i];
    const int k = view_.outcomes(i);
    if (home.table == nullptr || record->PrepareBeliefs(k) != qelta::kOk) {
      value->Invalidate();
      continue;
    }
    double* out = value->GetMutableValue().GetItems().Items();
    std::fill(out, out + k, 0.0);
    const std::uint64_t block = home.stride * static_cast<std::uint64_t>(k);
    for (std::uint64_t base = 0; base < home.cells; base += block) {
      for (int x = 0; x < k; ++x) {
        const double* cell = home.table + base + home.stride * x;
        double sum = 0.0;
        for (std::uint64_t r = 0; r < home.stride; ++r) sum += cell[r];
        out[x] += sum;
      }
    }
    double total = 0.0;
    for (int x = 0; x < k; ++x) total += out[x];
    if (!(total > 0.0)) {
      qelta::LogZeroMarginal(network, node->Handle());
      if (zeroCounter != nullptr) ++*zeroCounter;
      value->Invalidate();
      *status = qelta::kErrZeroMarginal;
      continue;
    }
    for (int x = 0; x < k; ++x) out[x] /= total;
    value->AddFlags(qelta::kValFlagValid);
    value->SetUpdateTag(0);
  }
}

int VRN_joinTree::Propagate(int* zeroCounter) {
  Collect();
  Distribute();
  if (qelta::Underflowed()) {
    // Some product left the normal doubles: again with every table's slice
    // brought onto its largest entry; refused when what they lose shows.
    FillTables(true);
    qelta::StartCarefulUpdate();
    Collect();
    Distribute();
    if (!Trusted()) {
      qelta::LogBelowDoubles(part_->GetNetwork());
      return qelta::kErrOutOfRange;
    }
  }
  int status = qelta::kOk;
  WriteBeliefs(zeroCounter, &status);
  return status;
}

// ---------------------------------------------------------------- code 10

namespace {

// An older belief must not pass for the answer of a part left unsolved.
void InvalidatePart(VRN_relevancePart* part) {
  for (int r = 0; r < part->GetSize(); ++r) {
    VRN_node* node = part->GetRecord(r)->GetNode();
    if (node != nullptr && !node->Value()->HasEvidence()) {
      node->Value()->Invalidate();
    }
  }
}

}  // namespace

int VRN_UpdateJoinTree(VRN_network* network) {
  int status = qelta::kOk;
  std::unique_ptr<VRN_relevanceParts> parts;
  try {
    parts.reset(VRN_RelevanceDecompose(network, qelta::kRelevanceForOthers));
    if (parts == nullptr) return qelta::kOk;
    for (int h : parts->GetImpossibleEvidence()) {
      qelta::LogZeroMarginal(network, h);
      status = qelta::kErrZeroMarginal;
    }
    bool too_large = false;
    for (int i = 0; i < parts->GetSize(); ++i) {
      VRN_relevancePart* part = parts->GetPart(i);
      if (part->GetSize() == 1) {
        (void)part->GetRecord(0)->CopyTableToBeliefs();
      } else {
        VRN_joinTree tree(part);
        int rc = qelta::kErrOutOfMemory;
        try {
          rc = tree.Build();
        } catch (const std::bad_alloc&) {
          rc = qelta::kErrOutOfMemory;
        }
        if (rc == qelta::kOk) rc = tree.Propagate(nullptr);
        // Not solved: refused before any belief was written.
        if (rc != qelta::kOk && rc != qelta::kErrZeroMarginal) {
          InvalidatePart(part);
        }
        if (rc == qelta::kErrOutOfMemory) too_large = true;
        if (rc != qelta::kOk && status == qelta::kOk) status = rc;
      }
      parts->DestroyPart(i);
    }
    if (too_large) status = qelta::kErrOutOfMemory;
  } catch (const std::bad_alloc&) {
    return qelta::kErrOutOfMemory;
  }
  return status;
}
