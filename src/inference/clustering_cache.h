// What a network keeps between clustering updates: the last join tree and
// the storage of relevance reasoning's records.
//
// Repeated updates of a large network mostly solve the same part again: the
// same records, parents, outcome counts and evidence, only table values
// (or nothing) changed. Forming the cliques again and allocating every
// clique, separator, working array and record block anew each time costs
// as much as the passes themselves, and for large networks the fresh
// memory comes from the system page by page. The cache keeps one
// qelta::JoinTree with a copy of the problem it was built from. A problem
// of the same shape reuses the cliques as they are; any other problem
// rebuilds them in the storage the last build left, so a rebuild allocates
// only where the new tree is larger. Whether the shape is the same is
// decided by comparing the arrays themselves, so no edit of the network has
// to be reported to the cache.
//
// Clique tables stay allocated between updates while they are small
// (qelta::kKeptTableCells cells in all); larger ones are freed after each
// update. The largest record block returned is kept for the next run of
// relevance reasoning.
//
// Ownership: a network owns its cache (VRN_network::ClusteringCacheSlot);
// the cache owns its tree, its copy of the problem's arrays and the kept
// record block. The table pointers it keeps are those of the last update
// and are replaced before each use. Thread use: that of the network.
#ifndef QELTA_INFERENCE_CLUSTERING_CACHE_H_
#define QELTA_INFERENCE_CLUSTERING_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "inference/join_tree.h"

class VRN_network;

namespace qelta {

// Most table cells (clique and separator tables together) the cache keeps
// allocated between updates: 64 MB of doubles.
inline constexpr uint64_t kKeptTableCells = uint64_t{1} << 23;

class ClusteringCache {
 public:
  ClusteringCache();
  ~ClusteringCache();
  ClusteringCache(const ClusteringCache&) = delete;
  ClusteringCache& operator=(const ClusteringCache&) = delete;

  // The network's cache, created on first use. Throws std::bad_alloc.
  static ClusteringCache* Of(VRN_network* network);

  // A tree built for problem with limit (as JoinTree::Build), ready for
  // Initialise: the kept one when it was built from a problem with the same
  // node count, outcome counts, evidence, parents and limit (it then takes
  // problem's tables), else one built now. Returns 0 and sets *tree; or
  // Build's failure, leaving the cache empty. Throws std::bad_alloc (the
  // cache then empty).
  [[nodiscard]] int Prepare(const JoinTreeProblem& problem, uint32_t limit,
                            JoinTree** tree);

  // Ends the use of the tree Prepare gave. ok: the passes succeeded and the
  // tree may serve the next problem of the same shape (its tables are freed
  // when larger than qelta::kKeptTableCells); false forgets the tree and
  // frees its tables.
  void Finish(bool ok);

  // Room for at least bytes bytes (aligned as operator new aligns): the
  // kept block when it is large enough, else a new one. Sets *capacity to
  // the block's size. Throws std::bad_alloc.
  void* TakeStorage(std::size_t bytes, std::size_t* capacity);
  // Gives back a block TakeStorage handed out (or null): the larger of it
  // and the kept block is kept, the other freed.
  void ReturnStorage(void* storage, std::size_t capacity);

  // Whether the last Prepare reused the kept tree (for tests and
  // benchmarks).
  bool reused() const { return reused_; }

 private:
  bool SameShape(const JoinTreeProblem& problem, uint32_t limit) const;
  void Forget();

  std::vector<int> outcomes_;
  std::vector<int> evidence_;
  std::vector<int> parent_offsets_;
  std::vector<int> parents_;
  std::vector<const double*> tables_;
  JoinTreeProblem problem_;
  JoinTree tree_;
  void* storage_ = nullptr;
  std::size_t storage_bytes_ = 0;
  uint32_t limit_ = 0;
  bool valid_ = false;
  bool reused_ = false;
};

}  // namespace qelta

#endif  // QELTA_INFERENCE_CLUSTERING_CACHE_H_
