// What a network keeps between clustering updates: its recent join trees
// and the storage of relevance reasoning's records.
//
// Repeated updates of a network mostly solve the same parts again: the same
// records, parents, outcome counts and evidence, only table values (or
// nothing) changed. Forming the cliques again and allocating every clique,
// separator, working array and record block anew each time costs as much
// as the passes themselves, and for large networks the fresh memory comes
// from the system page by page. The cache keeps up to qelta::kKeptTrees
// qelta::JoinTree objects, each with a copy of the problem it was built
// from. A problem of the same shape as a kept one reuses its cliques as
// they are; any other problem rebuilds the least recently used tree in the
// storage it left, so a rebuild allocates only where the new tree is
// larger. Whether the shape is the same is decided by comparing the arrays
// themselves, so no edit of the network has to be reported to the cache.
//
// Bounds: the kept trees have room for at most twice the network's node
// count of records (plus a few), beyond which the least recently used go.
// Only the trees of the last run of relevance reasoning keep their tables
// between updates (the next update of that shape fills them again), and
// only while all kept tables together have at most qelta::kKeptTableCells
// cells; the other trees keep their cliques alone, so a return to their
// shape still skips the clique search. Before a tree is built, or a kept
// one has to allocate its tables again, the tables of every tree the
// current run has not used are freed, so a network's peak is that of its
// largest update, not of two updates' tables together. While a tree is
// kept, the largest record block given back is kept for the next run of
// relevance reasoning.
//
// Ownership: a network owns its cache (VRN_network::ClusteringCacheSlot);
// the cache owns its trees, their copies of the problems' arrays and the
// kept record block. The table pointers it keeps are those of the last
// update and are replaced before each use. Thread use: that of the network.
#ifndef QELTA_INFERENCE_CLUSTERING_CACHE_H_
#define QELTA_INFERENCE_CLUSTERING_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "inference/join_tree.h"

class VRN_network;

namespace qelta {

// Most table cells (clique and separator tables together) the cache keeps
// allocated between updates: 64 MB of doubles.
inline constexpr uint64_t kKeptTableCells = uint64_t{1} << 23;
// Most join trees kept: enough for the parts of one update of a network
// whose evidence splits it a few times.
inline constexpr int kKeptTrees = 8;

class ClusteringCache {
 public:
  ~ClusteringCache();
  ClusteringCache(const ClusteringCache&) = delete;
  ClusteringCache& operator=(const ClusteringCache&) = delete;

  // The network's cache, created on first use. Throws std::bad_alloc.
  static ClusteringCache* Of(VRN_network* network);

  // A tree built for problem with limit (as JoinTree::Build), ready for
  // Initialise: a kept one when it was built from a problem with the same
  // node count, outcome counts, evidence, parents and limit (it then takes
  // problem's tables), else one built now. Returns 0 and sets *tree; or
  // Build's failure (that tree is then forgotten). Throws std::bad_alloc
  // (likewise). The tree serves until Finish; no other Prepare may come
  // between.
  [[nodiscard]] int Prepare(const JoinTreeProblem& problem, uint32_t limit,
                            JoinTree** tree);

  // Ends the use of the tree Prepare gave. ok: the passes succeeded and the
  // tree may serve the next problem of the same shape (its tables are
  // freed when the kept tables would exceed qelta::kKeptTableCells); false
  // forgets the tree and frees its tables.
  void Finish(bool ok);

  // Room for at least bytes bytes (aligned as operator new aligns): the
  // kept block when it is large enough, else a new one. Sets *capacity to
  // the block's size. Throws std::bad_alloc. Relevance reasoning takes its
  // storage once per run, so this call also begins a new run: trees
  // prepared from now on belong to it.
  void* TakeStorage(std::size_t bytes, std::size_t* capacity);
  // Gives back a block TakeStorage handed out (or null): while a tree is
  // kept (the network is updated by clustering) the larger of it and the
  // kept block is kept, the other freed; else both are freed.
  void ReturnStorage(void* storage, std::size_t capacity);

  // Whether the last Prepare reused a kept tree, and how many trees are
  // kept (for tests and benchmarks).
  bool reused() const { return reused_; }
  int tree_count() const { return static_cast<int>(entries_.size()); }
  // Cells of the tables the kept trees hold now, and the bytes of the kept
  // record block.
  uint64_t kept_table_cells() const;
  std::size_t kept_storage_bytes() const { return storage_bytes_; }

 private:
  // One kept tree with the copy of the problem it was built from.
  struct Entry {
    Entry() : tree(problem) {}
    bool SameShape(const JoinTreeProblem& other, uint32_t other_limit) const;
    // Takes copies of other's arrays. Throws std::bad_alloc.
    void Assign(const JoinTreeProblem& other);
    void Forget();

    std::vector<int> outcomes;
    std::vector<int> evidence;
    std::vector<int> parent_offsets;
    std::vector<int> parents;
    std::vector<const double*> tables;
    JoinTreeProblem problem;
    JoinTree tree;
    uint32_t limit = 0;
    uint64_t kept_cells = 0;  // table cells left allocated after Finish
    uint64_t run = 0;         // the last run of relevance reasoning using it
    int room = 0;  // most records built in it: its storage is that large
    bool valid = false;
  };

  explicit ClusteringCache(VRN_network* network) : network_(network) {}
  // Most records the kept trees hold together.
  long long RecordBound() const;
  // Drops least recently used trees (never the first) while the trees hold
  // more records than the bound.
  void Trim();
  // Frees the tables of every kept tree but the first that the current run
  // has not used.
  void ReleaseUnused();

  VRN_network* const network_;
  // Most recently used first; the first is the one Prepare gave.
  std::vector<std::unique_ptr<Entry>> entries_;
  void* storage_ = nullptr;
  std::size_t storage_bytes_ = 0;
  uint64_t run_ = 0;
  bool reused_ = false;
};

}  // namespace qelta

#endif  // QELTA_INFERENCE_CLUSTERING_CACHE_H_
