// Lazy counting tree over a data set's discrete variables.
#include "learning/count_cache.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "learning/dataset.h"

namespace {

constexpr std::size_t kFirstBlock = 16384;

}  // namespace

template <typename T>
template <typename Charge>
T* VRN_countCache::Pool<T>::Take(std::size_t count, Charge charge) {
  if (!blocks_.empty() && used_ + count < size_) {
    T* at = blocks_.back().get() + used_;
    used_ += count;
    return at;
  }
  // The first block, or a block twice as large as the current one (larger
  // still when one request needs more).
  const std::size_t size =
      blocks_.empty() ? kFirstBlock : std::max(size_ * 2, count + 1);
  charge(total_ + size);
  total_ += size;
  blocks_.emplace_back(new T[size]);
  size_ = size;
  used_ = count;
  return blocks_.back().get();
}

template <typename T>
void VRN_countCache::Pool<T>::Reset() {
  blocks_.clear();
  used_ = 0;
  size_ = 0;
  total_ = 0;
}

VRN_countCache::VRN_countCache(const VRN_dataset& data) : data_(data) {
  n_ = data.GetVariableCount();
  arity_.resize(static_cast<std::size_t>(n_));
  for (int v = 0; v < n_; ++v) {
    arity_[static_cast<std::size_t>(v)] =
        static_cast<int>(data.GetVariable(v).stateNames.size());
  }
  Init();
}

VRN_countCache::VRN_countCache(const VRN_dataset& data, std::vector<int> arities)
    : data_(data), n_(data.GetVariableCount()), arity_(std::move(arities)) {
  Init();
}

VRN_countCache::~VRN_countCache() = default;

void VRN_countCache::CheckLimit(std::uint64_t branch_total, std::uint64_t child_total) const {
  // Each term in whole MiB, as the limit is.
  const std::uint64_t estimate = ((12 * child_total) >> 20) + ((8 * branch_total) >> 20);
  if (estimate > static_cast<std::uint64_t>(std::max(memory_limit, 0))) throw std::bad_alloc();
}

void VRN_countCache::Init() {
  nodes_.Reset();
  branches_.Reset();
  children_.Reset();
  // The first blocks are opened here so that their sizes count from the start.
  auto none = [](std::uint64_t) {};
  nodes_.Take(0, none);
  branches_.Take(0, none);
  children_.Take(0, none);
  record_count_ = data_.GetRecordCount();
  root_ = nodes_.Take(1, none);
  *root_ = Node{record_count_, n_, nullptr};
}

int VRN_countCache::GetCount(const std::vector<Pair>& pairs) {
  sorted_.assign(pairs.begin(), pairs.end());
  if (!std::is_sorted(sorted_.begin(), sorted_.end())) std::sort(sorted_.begin(), sorted_.end());
  return GetCountSorted(sorted_.data(), static_cast<int>(sorted_.size()));
}

int VRN_countCache::Walk(const Pair* pairs, int count, int* stop_level, Node** stop_node) const {
  Node* node = root_;
  *stop_level = -1;
  for (int k = count - 1; k >= 0; --k) {
    const int v = pairs[k].first;
    const int x = pairs[k].second;
    if (node->branches == nullptr || node->branches[v] == nullptr) {
      *stop_level = k;
      *stop_node = node;
      return -1;
    }
    // No record is counted under a value outside the variable's range.
    if (x < 0 || x >= arity_[static_cast<std::size_t>(v)]) return 0;
    node = node->branches[v][x];
    if (node == nullptr) return 0;
  }
  return node->count;
}

void VRN_countCache::Build(const Pair* pairs, int count, int stop_level) {
  auto charge_branches = [this](std::uint64_t total) { CheckLimit(total, children_.total()); };
  auto charge_children = [this](std::uint64_t total) { CheckLimit(branches_.total(), total); };
  auto charge_nodes = [](std::uint64_t) {};
  const int records = record_count_;
  cells_.resize(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) cells_[static_cast<std::size_t>(k)] = data_.IntCells(pairs[k].first);
  const std::vector<int>* index = data_.RecordIndex();
  const int* const* cells = cells_.data();
  for (int r = 0; r < records; ++r) {
    const std::size_t stored =
        static_cast<std::size_t>(index != nullptr ? (*index)[static_cast<std::size_t>(r)] : r);
    Node* node = root_;
    for (int k = count - 1; k >= 0; --k) {
      const int v = pairs[k].first;
      const int value = cells[k][stored];
      const int arity = arity_[static_cast<std::size_t>(v)];
      if (static_cast<unsigned>(value) >= static_cast<unsigned>(arity)) break;
      if (node->branches == nullptr) {
        ChildArray* branches = branches_.Take(static_cast<std::size_t>(node->bound), charge_branches);
        std::memset(static_cast<void*>(branches), 0, sizeof(ChildArray) * static_cast<std::size_t>(node->bound));
        node->branches = branches;
      }
      ChildArray& children = node->branches[v];
      if (children == nullptr) {
        Node** made = children_.Take(static_cast<std::size_t>(arity), charge_children);
        std::memset(static_cast<void*>(made), 0, sizeof(Node*) * static_cast<std::size_t>(arity));
        children = made;
      }
      Node*& child = children[value];
      if (child == nullptr) {
        child = nodes_.Take(1, charge_nodes);
        *child = Node{0, v, nullptr};
      }
      node = child;
      if (k <= stop_level) ++node->count;
    }
  }
}

int VRN_countCache::CountFromData(const Pair* pairs, int count) const {
  int total = 0;
  for (int r = 0; r < record_count_; ++r) {
    bool all = true;
    for (int k = 0; k < count && all; ++k) all = data_.GetInt(pairs[k].first, r) == pairs[k].second;
    if (all) ++total;
  }
  return total;
}

int VRN_countCache::GetCountSorted(const Pair* pairs, int count) {
  if (count <= 0) return root_->count;
  int stop = -1;
  Node* at = nullptr;
  try {
    const int found = Walk(pairs, count, &stop, &at);
    if (stop < 0) return found;
    Build(pairs, count, stop);
    return Walk(pairs, count, &stop, &at);
  } catch (const std::bad_alloc&) {
    // Forget everything built so far and try the one query on its own.
    ++resets_;
    Init();
  }
  try {
    Build(pairs, count, count - 1);
    return Walk(pairs, count, &stop, &at);
  } catch (const std::bad_alloc&) {
    ++resets_;
    Init();
  }
  // Its path alone passes the limit: count it without the tree.
  for (int k = 0; k < count; ++k) {
    const int x = pairs[k].second;
    if (x < 0 || x >= arity_[static_cast<std::size_t>(pairs[k].first)]) return 0;
  }
  return CountFromData(pairs, count);
}

bool VRN_countCache::Collect(const Node* node, const int* variables, int level,
                             std::vector<int>& out) const {
  if (level < 0) {
    out.push_back(node->count);
    return true;
  }
  const int v = variables[level];
  if (node->branches == nullptr || node->branches[v] == nullptr) return false;
  const ChildArray children = node->branches[v];
  const int arity = arity_[static_cast<std::size_t>(v)];
  for (int x = 0; x < arity; ++x) {
    if (children[x] != nullptr && !Collect(children[x], variables, level - 1, out)) return false;
  }
  return true;
}

void VRN_countCache::GetNonZeroCounts(const int* variables, int count, std::vector<int>& out) {
  out.clear();
  probe_.resize(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) probe_[static_cast<std::size_t>(k)] = Pair(variables[k], 0);
  GetCountSorted(probe_.data(), count);  // builds the level for every combination
  if (Collect(root_, variables, count - 1, out)) return;
  // The level did not fit the memory limit: ask combination by combination.
  out.clear();
  for (;;) {
    const int found = GetCountSorted(probe_.data(), count);
    if (found > 0) out.push_back(found);
    int k = 0;
    for (; k < count; ++k) {
      Pair& p = probe_[static_cast<std::size_t>(k)];
      if (++p.second < arity_[static_cast<std::size_t>(p.first)]) break;
      p.second = 0;
    }
    if (k == count) return;
  }
}
