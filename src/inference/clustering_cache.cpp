// What a network keeps between clustering updates (see clustering_cache.h).
#include "inference/clustering_cache.h"

#include <algorithm>
#include <memory>

#include "base/status.h"
#include "network/network.h"

namespace qelta {

void ClusteringCacheDeleter::operator()(ClusteringCache* cache) const {
  delete cache;
}

ClusteringCache::~ClusteringCache() { ::operator delete(storage_); }

ClusteringCache* ClusteringCache::Of(VRN_network* network) {
  auto& slot = network->ClusteringCacheSlot();
  if (slot == nullptr) slot.reset(new ClusteringCache(network));
  return slot.get();
}

bool ClusteringCache::Entry::SameShape(const JoinTreeProblem& other,
                                       uint32_t other_limit) const {
  const int n = other.node_count;
  if (!valid || other_limit != limit || n != problem.node_count || n < 1) {
    return false;
  }
  if (!std::equal(other.outcomes, other.outcomes + n, outcomes.data()) ||
      !std::equal(other.evidence, other.evidence + n, evidence.data()) ||
      !std::equal(other.parent_offsets, other.parent_offsets + n + 1,
                  parent_offsets.data())) {
    return false;
  }
  const int arcs = other.parent_offsets[n];
  if (!std::equal(other.parents, other.parents + arcs, parents.data())) {
    return false;
  }
  // A tree never holds a missing table; let Build refuse it.
  return std::find(other.tables, other.tables + n, nullptr) ==
         other.tables + n;
}

void ClusteringCache::Entry::Assign(const JoinTreeProblem& other) {
  const int n = other.node_count;
  const int count = n > 0 ? n : 0;
  outcomes.assign(other.outcomes, other.outcomes + count);
  evidence.assign(other.evidence, other.evidence + count);
  parent_offsets.assign(other.parent_offsets,
                        other.parent_offsets + (n >= 0 ? n + 1 : 0));
  const int arcs = n >= 0 ? other.parent_offsets[n] : 0;
  parents.assign(other.parents, other.parents + arcs);
  tables.assign(other.tables, other.tables + count);
  problem.node_count = n;
  problem.outcomes = outcomes.data();
  problem.evidence = evidence.data();
  problem.parent_offsets = parent_offsets.data();
  problem.parents = parents.data();
  problem.tables = tables.data();
}

void ClusteringCache::Entry::Forget() {
  valid = false;
  kept_cells = 0;
  tree.Release();
}

int ClusteringCache::Prepare(const JoinTreeProblem& problem, uint32_t limit,
                             JoinTree** tree) {
  reused_ = false;
  std::size_t found = 0;
  while (found < entries_.size() &&
         !entries_[found]->SameShape(problem, limit)) {
    ++found;
  }
  if (found < entries_.size()) {
    // Most recent first.
    std::rotate(entries_.begin(), entries_.begin() + found,
                entries_.begin() + found + 1);
    Entry* entry = entries_.front().get();
    std::copy(problem.tables, problem.tables + problem.node_count,
              entry->tables.begin());
    // Its tables were freed: they come back only after other shapes' go.
    if (entry->kept_cells == 0) ReleaseUnused();
    entry->run = run_;
    reused_ = true;
    *tree = &entry->tree;
    return kOk;
  }
  // A new tree while there is room, else the least recently used one is
  // rebuilt in its own storage (a new tree takes all its memory fresh).
  long long records = problem.node_count;
  for (const auto& kept : entries_) records += kept->room;
  if (entries_.empty() ||
      (entries_.size() < static_cast<std::size_t>(kKeptTrees) &&
       records <= RecordBound())) {
    entries_.push_back(std::make_unique<Entry>());
  }
  std::rotate(entries_.begin(), entries_.end() - 1, entries_.end());
  Entry* entry = entries_.front().get();
  entry->Forget();
  entry->run = run_;
  ReleaseUnused();
  *tree = &entry->tree;
  int rc = kOk;
  try {
    entry->Assign(problem);
    // The storage grows now, whether or not the search succeeds.
    entry->room = std::max(entry->room, problem.node_count);
    rc = entry->tree.Build(limit);
  } catch (...) {
    entry->Forget();
    throw;
  }
  if (rc != kOk) {
    entry->Forget();
    return rc;
  }
  entry->limit = limit;
  entry->valid = true;
  Trim();
  return kOk;
}

long long ClusteringCache::RecordBound() const {
  return 2LL * network_->GetNumberOfNodes() + 64;
}

void ClusteringCache::Trim() {
  const long long bound = RecordBound();
  long long records = 0;
  for (const auto& entry : entries_) records += entry->room;
  while (entries_.size() > 1 && records > bound) {
    records -= entries_.back()->room;
    entries_.pop_back();
  }
}

void ClusteringCache::ReleaseUnused() {
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    Entry* entry = entries_[i].get();
    if (entry->run != run_ && entry->kept_cells > 0) {
      entry->tree.Release();
      entry->kept_cells = 0;
    }
  }
}

uint64_t ClusteringCache::kept_table_cells() const {
  uint64_t cells = 0;
  for (const auto& entry : entries_) cells += entry->kept_cells;
  return cells;
}

void ClusteringCache::Finish(bool ok) {
  if (entries_.empty()) return;
  Entry* entry = entries_.front().get();
  if (!ok) {
    entry->Forget();
    return;
  }
  uint64_t others = 0;
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    others += entries_[i]->kept_cells;
  }
  entry->kept_cells = entry->tree.table_cells();
  if (others + entry->kept_cells > kKeptTableCells) {
    entry->tree.Release();
    entry->kept_cells = 0;
  }
}

void* ClusteringCache::TakeStorage(std::size_t bytes, std::size_t* capacity) {
  ++run_;
  if (storage_ != nullptr && storage_bytes_ >= bytes) {
    void* kept = storage_;
    *capacity = storage_bytes_;
    storage_ = nullptr;
    storage_bytes_ = 0;
    return kept;
  }
  // Too small to serve: freed first, so the two are never held together.
  ::operator delete(storage_);
  storage_ = nullptr;
  storage_bytes_ = 0;
  void* fresh = ::operator new(bytes);
  *capacity = bytes;
  return fresh;
}

void ClusteringCache::ReturnStorage(void* storage, std::size_t capacity) {
  if (storage == nullptr) return;
  // Without a kept tree the network is not updated by clustering, whose
  // repeated updates the block serves.
  const bool any_tree =
      std::any_of(entries_.begin(), entries_.end(),
                  [](const std::unique_ptr<Entry>& e) { return e->valid; });
  if (!any_tree) {
    ::operator delete(storage);
    ::operator delete(storage_);
    storage_ = nullptr;
    storage_bytes_ = 0;
    return;
  }
  if (storage_ != nullptr && storage_bytes_ >= capacity) {
    ::operator delete(storage);
    return;
  }
  ::operator delete(storage_);
  storage_ = storage;
  storage_bytes_ = capacity;
}

}  // namespace qelta
