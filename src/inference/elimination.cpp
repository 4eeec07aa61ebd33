#include "inference/elimination.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

namespace {

using qelta::kMaxCliqueCells;
using qelta::kMaxCliqueMembers;

constexpr uint32_t kNoBound = 0xFFFFFFFFu;
// Ints per block of member and separator lists: small enough to come from
// the heap's free lists, large enough for thousands of cliques.
constexpr int kIntBlock = 16384;
// Separator cells from this many bytes are aligned for vector loads.
constexpr std::size_t kAlignedFrom = 4096;
constexpr std::size_t kCellAlignment = 64;

}  // namespace

// ---------------------------------------------------------------- cells

VRN_cells::~VRN_cells() { std::free(items_); }

VRN_cells::VRN_cells(VRN_cells&& other) noexcept
    : items_(other.items_), size_(other.size_), capacity_(other.capacity_) {
  other.items_ = nullptr;
  other.size_ = other.capacity_ = 0;
}

VRN_cells& VRN_cells::operator=(VRN_cells&& other) noexcept {
  if (this != &other) {
    std::free(items_);
    items_ = other.items_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.items_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  return *this;
}

bool VRN_cells::Resize(uint32_t size) {
  assert(size >= 1);
  if (size > capacity_) {
    std::free(items_);
    // Large separators are aligned like potentials for vector loads.
    std::size_t bytes = sizeof(double) * size;
    if (bytes < kAlignedFrom) {
      items_ = static_cast<double*>(std::malloc(bytes));
    } else {
      bytes = (bytes + kCellAlignment - 1) / kCellAlignment * kCellAlignment;
      items_ = static_cast<double*>(std::aligned_alloc(kCellAlignment, bytes));
    }
    if (items_ == nullptr) {
      size_ = capacity_ = 0;
      return false;
    }
    capacity_ = size;
  }
  size_ = size;
  return true;
}

void VRN_cells::Fill(double value) {
  for (uint32_t i = 0; i < size_; ++i) items_[i] = value;
}

void VRN_cells::Release() {
  std::free(items_);
  items_ = nullptr;
  size_ = capacity_ = 0;
}

// ---------------------------------------------------------------- clique

bool VRN_clique::HasMember(int node) const {
  for (int i = 0; i < member_count; ++i) {
    if (members[i] == node) return true;
  }
  return false;
}

// ---------------------------------------------------------------- store

void VRN_cliqueStore::Reset(int node_count) {
  records_.clear();
  children_.clear();
  int_block_ = 0;
  int_used_ = 0;
  node_count_ = node_count;
  records_.reserve(static_cast<std::size_t>(node_count));
}

VRN_clique* VRN_cliqueStore::Take() {
  assert(count() < node_count_);
  records_.emplace_back();
  return &records_.back();
}

int* VRN_cliqueStore::TakeInts(int count) {
  assert(count >= 0 && count <= kMaxCliqueMembers);
  if (count == 0) return nullptr;
  if (int_block_ < int_blocks_.size() &&
      int_used_ + count > int_block_sizes_[int_block_]) {
    ++int_block_;
    int_used_ = 0;
  }
  if (int_block_ == int_blocks_.size()) {
    // Small problems get a small block: a search runs on every update.
    const int size = std::min(
        kIntBlock, std::max(2 * kMaxCliqueMembers, 4 * node_count_));
    int_blocks_.push_back(std::unique_ptr<int[]>(new int[size]));
    int_block_sizes_.push_back(size);
  }
  int* room = int_blocks_[int_block_].get() + int_used_;
  int_used_ += count;
  return room;
}

// ---------------------------------------------------------------- search

VRN_eliminationSearch::VRN_eliminationSearch(
    const qelta::EliminationProblem& problem, VRN_cliqueStore* store)
    : problem_(problem), store_(store), n_(problem.node_count) {}

bool VRN_eliminationSearch::Run(uint32_t limit) {
  limit_ = limit == 0 ? qelta::kDefaultCliqueLimit : limit;
  total_ = 0;
  eliminated_ = 0;
  clique_count_ = 0;
  store_->Reset(n_ > 0 ? n_ : 0);
  if (!ProblemIsValid()) return false;
  Setup();
  BuildMoralGraph();
  for (;;) {
    if (!SimplicialPasses()) return false;
    if (eliminated_ == n_) break;
    const int v = ChooseByWeight();
    if (v < 0) return false;
    FillIn(v);
    if (!FormClique(v, weight_[v])) return false;
    if (TotalExceedsLimit()) return false;
  }
  if (TotalExceedsLimit()) return false;
  return Link();
}

bool VRN_eliminationSearch::ProblemIsValid() const {
  if (n_ < 0) return false;
  if (n_ == 0) return true;
  if (problem_.states == nullptr || problem_.parent_offsets == nullptr ||
      problem_.parent_offsets[0] != 0) {
    return false;
  }
  for (int i = 0; i < n_; ++i) {
    if (problem_.states[i] == 0) return false;
    const int begin = problem_.parent_offsets[i];
    const int end = problem_.parent_offsets[i + 1];
    if (end < begin) return false;
    if (end > begin && problem_.parents == nullptr) return false;
    for (int k = begin; k < end; ++k) {
      const int p = problem_.parents[k];
      if (p < -1 || p >= n_) return false;
    }
  }
  return true;
}

void VRN_eliminationSearch::Setup() {
  const std::size_t n = static_cast<std::size_t>(n_);
  weight_.assign(n, 0);
  degree_.assign(n, 0);
  list_offset_.assign(n, 0);
  list_capacity_.assign(n, 0);
  eliminated_flag_.assign(n, 0);
  queued_.assign(n, 0);
  mark_.assign(n, 0);
  candidates_ = CandidateQueue();
  stale_flag_.assign(n, 0);
  stale_.clear();
  scratch_.resize(n);
  stamp_ = 0;
  this_pass_ = MinQueue();
  next_pass_ = MinQueue();
  cursor_ = -1;

  // Room for the moral graph in one block: node i's list gets its parents
  // and each parent gets i and i's other parents.
  std::size_t slots = 0;
  for (int i = 0; i < n_; ++i) {
    const int k = problem_.parent_offsets[i + 1] - problem_.parent_offsets[i];
    list_capacity_[i] += k;
    for (int j = problem_.parent_offsets[i]; j < problem_.parent_offsets[i + 1];
         ++j) {
      const int p = problem_.parents[j];
      if (p >= 0) list_capacity_[p] += k;
    }
  }
  for (int i = 0; i < n_; ++i) {
    list_capacity_[i] = std::min(list_capacity_[i], n_ - 1);
    list_offset_[i] = static_cast<int>(slots);
    slots += static_cast<std::size_t>(list_capacity_[i]);
  }
  arena_.assign(slots, 0);

  for (int i = 0; i < n_; ++i) {
    const uint32_t s = problem_.states[i];
    weight_[i] = s > kMaxCliqueCells ? 0 : s;
  }
}

void VRN_eliminationSearch::BuildMoralGraph() {
  for (int i = 0; i < n_; ++i) {
    const int* parents = problem_.parents + problem_.parent_offsets[i];
    const int k = problem_.parent_offsets[i + 1] - problem_.parent_offsets[i];
    for (int j = 0; j < k; ++j) {
      const int p = parents[j];
      if (p >= 0 && p != i && !Adjacent(i, p)) AddEdge(i, p);
    }
    // Parents are married from the second-to-last backwards, each with
    // every later parent.
    for (int a = k - 2; a >= 0; --a) {
      const int pa = parents[a];
      if (pa < 0) continue;
      for (int b = a + 1; b < k; ++b) {
        const int pb = parents[b];
        if (pb >= 0 && pb != pa && !Adjacent(pa, pb)) AddEdge(pa, pb);
      }
    }
  }
  // Every node with a weight that fits is a candidate.
  for (int i = 0; i < n_; ++i) MarkStale(i);
  // The first pass tests every node.
  for (int i = 0; i < n_; ++i) MarkDirty(i);
}

bool VRN_eliminationSearch::Adjacent(int a, int b) const {
  // Scan the shorter list.
  if (degree_[a] > degree_[b]) std::swap(a, b);
  const int* list = arena_.data() + list_offset_[a];
  for (int k = 0; k < degree_[a]; ++k) {
    if (list[k] == b) return true;
  }
  return false;
}

void VRN_eliminationSearch::Append(int a, int b) {
  if (degree_[a] == list_capacity_[a]) {
    // Move the list to the end of the arena with room to grow; offsets,
    // not pointers, name the lists, so growing the arena is safe.
    const int capacity =
        std::min(std::max(4, 2 * list_capacity_[a]), n_ - 1);
    const std::size_t offset = arena_.size();
    arena_.resize(offset + static_cast<std::size_t>(capacity));
    std::copy(arena_.begin() + list_offset_[a],
              arena_.begin() + list_offset_[a] + degree_[a],
              arena_.begin() + static_cast<std::ptrdiff_t>(offset));
    list_offset_[a] = static_cast<int>(offset);
    list_capacity_[a] = capacity;
  }
  arena_[list_offset_[a] + degree_[a]] = b;
  ++degree_[a];
}

void VRN_eliminationSearch::AddEdge(int a, int b) {
  Append(a, b);
  Append(b, a);
  MultiplyWeight(a, problem_.states[b]);
  MultiplyWeight(b, problem_.states[a]);
}

void VRN_eliminationSearch::RemoveFromGraph(int v) {
  const uint32_t sv = problem_.states[v];
  const int* vlist = arena_.data() + list_offset_[v];
  for (int k = 0; k < degree_[v]; ++k) {
    const int u = vlist[k];
    // v leaves u's list; the last entry fills its slot.
    int* ulist = arena_.data() + list_offset_[u];
    const int last = degree_[u] - 1;
    for (int m = 0; m <= last; ++m) {
      if (ulist[m] == v) {
        ulist[m] = ulist[last];
        break;
      }
    }
    degree_[u] = last;
    DivideWeight(u, sv);
    MarkDirty(u);
  }
  degree_[v] = 0;
  eliminated_flag_[v] = 1;
  ++eliminated_;
}

uint32_t VRN_eliminationSearch::NewStamp() {
  if (++stamp_ == 0) {
    std::fill(mark_.begin(), mark_.end(), 0);
    stamp_ = 1;
  }
  return stamp_;
}

bool VRN_eliminationSearch::IsSimplicial(int v) {
  const int d = degree_[v];
  if (d < 2) return true;
  const uint32_t stamp = NewStamp();
  const int* vlist = arena_.data() + list_offset_[v];
  for (int k = 0; k < d; ++k) mark_[vlist[k]] = stamp;
  // Every neighbour must be adjacent to the d - 1 others.
  for (int k = 0; k < d; ++k) {
    const int u = vlist[k];
    if (degree_[u] < d - 1) return false;
    const int* ulist = arena_.data() + list_offset_[u];
    int shared = 0;
    for (int m = 0; m < degree_[u]; ++m) {
      if (mark_[ulist[m]] == stamp) ++shared;
    }
    if (shared != d - 1) return false;
  }
  return true;
}

void VRN_eliminationSearch::MarkDirty(int v) {
  if (queued_[v] || eliminated_flag_[v]) return;
  queued_[v] = 1;
  if (v > cursor_) {
    this_pass_.push(v);
  } else {
    next_pass_.push(v);
  }
}

bool VRN_eliminationSearch::SimplicialPasses() {
  // A node whose neighbourhood has not changed since it failed the test
  // would fail it again, so only queued nodes are tested; the order of
  // eliminations is that of full passes in index order.
  for (;;) {
    while (!this_pass_.empty()) {
      const int v = this_pass_.top();
      this_pass_.pop();
      queued_[v] = 0;
      cursor_ = v;
      if (eliminated_flag_[v] || !IsSimplicial(v)) continue;
      const uint32_t w = weight_[v];
      if (w == 0) return false;  // a clique above 2^30 cells
      if (!FormClique(v, w)) return false;
      if (TotalExceedsLimit()) return false;
    }
    cursor_ = -1;
    if (next_pass_.empty()) return true;
    std::swap(this_pass_, next_pass_);
  }
}

int VRN_eliminationSearch::ChooseByWeight() {
  // Nodes whose weight changed since the last choice get an entry with
  // their current weight, once each; entries that no longer match their
  // node are dropped when they come to the top. Weights are exact, and a
  // node above 2^30 (weight 0) gets no entry.
  for (int v : stale_) {
    stale_flag_[v] = 0;
    if (!eliminated_flag_[v] && weight_[v] != 0) {
      candidates_.emplace(weight_[v], v);
    }
  }
  stale_.clear();
  while (!candidates_.empty()) {
    const auto [w, v] = candidates_.top();
    if (!eliminated_flag_[v] && weight_[v] == w) return v;
    candidates_.pop();
  }
  return -1;
}

void VRN_eliminationSearch::MarkStale(int v) {
  if (stale_flag_[v]) return;
  stale_flag_[v] = 1;
  stale_.push_back(v);
}

void VRN_eliminationSearch::FillIn(int v) {
  const int d = degree_[v];
  std::copy(arena_.begin() + list_offset_[v],
            arena_.begin() + list_offset_[v] + d, scratch_.begin());
  for (int i = 0; i < d; ++i) {
    const int a = scratch_[i];
    const uint32_t stamp = NewStamp();
    const int* alist = arena_.data() + list_offset_[a];
    for (int m = 0; m < degree_[a]; ++m) mark_[alist[m]] = stamp;
    for (int j = i + 1; j < d; ++j) {
      const int b = scratch_[j];
      if (mark_[b] == stamp) continue;
      AddEdge(a, b);
      // A node adjacent to both a and b may have become simplicial.
      const int* blist = arena_.data() + list_offset_[b];
      for (int m = 0; m < degree_[b]; ++m) {
        if (mark_[blist[m]] == stamp) MarkDirty(blist[m]);
      }
    }
  }
}

bool VRN_eliminationSearch::FormClique(int v, uint32_t weight) {
  VRN_clique* clique = store_->Take();
  clique->node_count = n_;
  clique->eliminated_node = v;
  clique->size = weight;
  const int d = degree_[v];
  clique->members = store_->TakeInts(std::min(d + 1, kMaxCliqueMembers));
  clique->separator = store_->TakeInts(std::min(d, kMaxCliqueMembers));
  clique->members[0] = v;
  clique->member_count = 1;

  std::copy(arena_.begin() + list_offset_[v],
            arena_.begin() + list_offset_[v] + d, scratch_.begin());
  RemoveFromGraph(v);
  // A former neighbour left with exactly the other remaining members as
  // neighbours lies inside this clique and needs none of its own.
  int remaining = d - 1;
  for (int k = d - 1; k >= 0; --k) {
    const int u = scratch_[k];
    if (clique->member_count == kMaxCliqueMembers) return false;
    clique->members[clique->member_count++] = u;
    if (degree_[u] == remaining) {
      RemoveFromGraph(u);
      --remaining;
    } else {
      clique->separator[clique->separator_count++] = u;
    }
  }
  ++clique_count_;
  total_ += weight;
  return true;
}

bool VRN_eliminationSearch::TotalExceedsLimit() const {
  return limit_ != kNoBound && total_ > limit_;
}

bool VRN_eliminationSearch::Link() {
  const int count = clique_count_;
  assert(count == store_->count());
  // For every node, the cliques holding it in formation order.
  std::vector<int> offsets(static_cast<std::size_t>(n_) + 1, 0);
  for (int c = 0; c < count; ++c) {
    const VRN_clique* clique = store_->clique(c);
    for (int m = 0; m < clique->member_count; ++m) {
      ++offsets[clique->members[m] + 1];
    }
  }
  for (int i = 0; i < n_; ++i) offsets[i + 1] += offsets[i];
  std::vector<int> holders(static_cast<std::size_t>(offsets[n_]));
  {
    std::vector<int> fill(offsets.begin(), offsets.end() - 1);
    for (int c = 0; c < count; ++c) {
      const VRN_clique* clique = store_->clique(c);
      for (int m = 0; m < clique->member_count; ++m) {
        holders[fill[clique->members[m]]++] = c;
      }
    }
  }

  std::vector<int> parent(static_cast<std::size_t>(count), -1);
  std::vector<int> child_counts(static_cast<std::size_t>(count) + 1, 0);
  for (int c = 0; c + 1 < count; ++c) {
    const VRN_clique* clique = store_->clique(c);
    if (clique->separator_count == 0) {
      parent[c] = c + 1;  // the next component's first clique
    } else {
      const uint32_t stamp = NewStamp();
      for (int s = 0; s < clique->separator_count; ++s) {
        mark_[clique->separator[s]] = stamp;
      }
      // Every holder of the whole separator holds its first node.
      const int x = clique->separator[0];
      const int* begin = holders.data() + offsets[x];
      const int* end = holders.data() + offsets[x + 1];
      for (const int* h = std::upper_bound(begin, end, c); h != end; ++h) {
        const VRN_clique* other = store_->clique(*h);
        if (other->member_count < clique->separator_count) continue;
        int held = 0;
        for (int m = 0; m < other->member_count; ++m) {
          if (mark_[other->members[m]] == stamp) ++held;
        }
        if (held == clique->separator_count) {
          parent[c] = *h;
          break;
        }
      }
      // A separator is always held by a later clique.
      assert(parent[c] >= 0);
      if (parent[c] < 0) return false;
    }
    ++child_counts[parent[c] + 1];
  }

  // Children arrays in link order, one slice of the store's block each.
  for (int c = 0; c < count; ++c) child_counts[c + 1] += child_counts[c];
  store_->children_.assign(static_cast<std::size_t>(child_counts[count]),
                           nullptr);
  for (int c = 0; c < count; ++c) {
    VRN_clique* clique = store_->clique(c);
    clique->children = store_->children_.data() + child_counts[c];
    clique->child_count = 0;
  }
  for (int c = 0; c + 1 < count; ++c) {
    VRN_clique* clique = store_->clique(c);
    VRN_clique* p = store_->clique(parent[c]);
    clique->parent = p;
    p->children[p->child_count++] = clique;
  }
  for (int c = 0; c < count; ++c) {
    VRN_clique* clique = store_->clique(c);
    std::sort(clique->members, clique->members + clique->member_count);
    std::sort(clique->separator,
              clique->separator + clique->separator_count);
  }
  return true;
}

// ---------------------------------------------------------------- weights

uint32_t VRN_eliminationSearch::ComputeWeight(int v) const {
  uint64_t product = problem_.states[v];
  if (product > kMaxCliqueCells) return 0;
  const int* list = arena_.data() + list_offset_[v];
  for (int k = degree_[v] - 1; k >= 0; --k) {
    product *= problem_.states[list[k]];
    if (product > kMaxCliqueCells) return 0;
  }
  return static_cast<uint32_t>(product);
}

void VRN_eliminationSearch::MultiplyWeight(int v, uint32_t factor) {
  if (weight_[v] == 0) return;  // already above 2^30; it only grows
  const uint64_t product = static_cast<uint64_t>(weight_[v]) * factor;
  weight_[v] = product > kMaxCliqueCells ? 0 : static_cast<uint32_t>(product);
  MarkStale(v);
}

void VRN_eliminationSearch::DivideWeight(int v, uint32_t factor) {
  if (weight_[v] != 0) {
    weight_[v] /= factor;
  } else {
    weight_[v] = ComputeWeight(v);
  }
  MarkStale(v);
}
