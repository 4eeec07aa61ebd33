// What a network keeps between clustering updates (see clustering_cache.h).
#include "inference/clustering_cache.h"

#include <algorithm>

#include "base/status.h"
#include "network/network.h"

namespace qelta {

void ClusteringCacheDeleter::operator()(ClusteringCache* cache) const {
  delete cache;
}

ClusteringCache::ClusteringCache() : tree_(problem_) {}

ClusteringCache::~ClusteringCache() { ::operator delete(storage_); }

ClusteringCache* ClusteringCache::Of(VRN_network* network) {
  auto& slot = network->ClusteringCacheSlot();
  if (slot == nullptr) slot.reset(new ClusteringCache);
  return slot.get();
}

bool ClusteringCache::SameShape(const JoinTreeProblem& problem,
                              uint32_t limit) const {
  const int n = problem.node_count;
  if (!valid_ || limit != limit_ || n != problem_.node_count || n < 1) {
    return false;
  }
  if (!std::equal(problem.outcomes, problem.outcomes + n, outcomes_.data()) ||
      !std::equal(problem.evidence, problem.evidence + n, evidence_.data()) ||
      !std::equal(problem.parent_offsets, problem.parent_offsets + n + 1,
                  parent_offsets_.data())) {
    return false;
  }
  const int arcs = problem.parent_offsets[n];
  if (!std::equal(problem.parents, problem.parents + arcs, parents_.data())) {
    return false;
  }
  // The tree never holds a missing table; let Build refuse it.
  return std::find(problem.tables, problem.tables + n, nullptr) ==
         problem.tables + n;
}

int ClusteringCache::Prepare(const JoinTreeProblem& problem, uint32_t limit,
                           JoinTree** tree) {
  *tree = &tree_;
  const int n = problem.node_count;
  reused_ = SameShape(problem, limit);
  if (reused_) {
    std::copy(problem.tables, problem.tables + n, tables_.begin());
    return kOk;
  }
  valid_ = false;
  try {
    const int count = n > 0 ? n : 0;
    outcomes_.assign(problem.outcomes, problem.outcomes + count);
    evidence_.assign(problem.evidence, problem.evidence + count);
    parent_offsets_.assign(problem.parent_offsets,
                           problem.parent_offsets + (n >= 0 ? n + 1 : 0));
    const int arcs = n >= 0 ? problem.parent_offsets[n] : 0;
    parents_.assign(problem.parents, problem.parents + arcs);
    tables_.assign(problem.tables, problem.tables + count);
  } catch (...) {
    Forget();
    throw;
  }
  problem_.node_count = n;
  problem_.outcomes = outcomes_.data();
  problem_.evidence = evidence_.data();
  problem_.parent_offsets = parent_offsets_.data();
  problem_.parents = parents_.data();
  problem_.tables = tables_.data();
  int rc = kOk;
  try {
    rc = tree_.Build(limit);
  } catch (...) {
    Forget();
    throw;
  }
  if (rc != kOk) {
    Forget();
    return rc;
  }
  limit_ = limit;
  valid_ = true;
  return kOk;
}

void ClusteringCache::Finish(bool ok) {
  if (!ok) {
    Forget();
    return;
  }
  if (tree_.table_cells() > kKeptTableCells) tree_.Release();
}

void* ClusteringCache::TakeStorage(std::size_t bytes, std::size_t* capacity) {
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
  if (storage_ != nullptr && storage_bytes_ >= capacity) {
    ::operator delete(storage);
    return;
  }
  ::operator delete(storage_);
  storage_ = storage;
  storage_bytes_ = capacity;
}

void ClusteringCache::Forget() {
  valid_ = false;
  reused_ = false;
  tree_.Release();
}

}  // namespace qelta
