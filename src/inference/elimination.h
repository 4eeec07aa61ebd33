// Cliques of a join tree and the greedy elimination search that forms them.
//
// The search takes the families of a set of part-local nodes 0 .. n-1 (each
// node with its state count and its parents), builds the moral graph,
// eliminates nodes (simplicial ones first, then the one whose clique would
// be smallest), forms one clique per elimination under a table-size limit
// and links the cliques into a tree. It knows nothing of networks: the
// caller describes the graph with plain arrays (qelta::EliminationProblem).
//
// Ownership: VRN_cliqueStore owns the clique records and the children
// arrays; a VRN_eliminationSearch only borrows the problem's arrays and the
// store, which must outlive it. Single-threaded: one search, its store and
// its problem belong to one thread.
#ifndef QELTA_INFERENCE_ELIMINATION_H_
#define QELTA_INFERENCE_ELIMINATION_H_

#include <cstdint>
#include <cstddef>
#include <functional>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

#include "inference/potential_kernels.h"

namespace qelta {

// Table-size limit the search applies when it is given 0.
inline constexpr uint32_t kDefaultCliqueLimit = 0x10000000u;
// Most cells of one clique, whatever the limit.
inline constexpr uint32_t kMaxCliqueCells = 0x40000000u;
// Most members of one clique, whatever the limit.
inline constexpr int kMaxCliqueMembers = kMaxPotentialDimensions;

// The graph the search works on, as plain arrays that the caller owns.
// Node i's parents are parents[parent_offsets[i] .. parent_offsets[i + 1]),
// part-local indices in table order; -1 stands for a parent outside the
// nodes (it gets no edge).
struct EliminationProblem {
  int node_count = 0;
  // Per node: 1 for an observed node, else its outcome count (at least 1).
  const uint32_t* states = nullptr;
  const int* parent_offsets = nullptr;  // node_count + 1 entries, from 0
  const int* parents = nullptr;
};

}  // namespace qelta

// Where a step list of a clique lies in its join tree's block of step
// entries: count entries from offset; count 0 is an empty list.
struct VRN_stepSlice {
  uint32_t offset = 0;
  int count = 0;

  bool empty() const { return count == 0; }
  void Clear() { count = 0; }
};

// The cells of a separator table: the dimensions follow the clique's
// separator list, so only the cells are kept. Owns them; move-only.
class VRN_cells {
 public:
  VRN_cells() = default;
  ~VRN_cells();
  VRN_cells(const VRN_cells&) = delete;
  VRN_cells& operator=(const VRN_cells&) = delete;
  VRN_cells(VRN_cells&& other) noexcept;
  VRN_cells& operator=(VRN_cells&& other) noexcept;

  // Sets size() to size, allocating new cells (not initialised) when it
  // exceeds capacity(). Returns false, leaving no cells, when they cannot
  // be allocated. REQUIRES: size >= 1.
  bool Resize(uint32_t size);
  // Sets every cell to value.
  void Fill(double value);
  // Frees the cells.
  void Release();

  double* items() { return items_; }
  const double* items() const { return items_; }
  uint32_t size() const { return size_; }

 private:
  double* items_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

// One clique of the join tree. The search fills the structural fields; the
// join tree fills the tables and step lists. The record is kept small (the
// lists live in blocks of the store and of the join tree) because a network
// has about one clique per node: large networks touch every record on
// every update.
struct VRN_clique {
  int member_count = 0;
  // Part-local node indices; sorted ascending once the tree is linked.
  // Owned by the store.
  int* members = nullptr;
  int separator_count = 0;
  // The members still in the graph after this clique was formed, i.e. the
  // nodes it shares with its parent; sorted ascending once linked. Owned by
  // the store.
  int* separator = nullptr;
  int node_count = 0;       // nodes of the problem
  int eliminated_node = -1; // the node whose elimination formed the clique
  // Product of the members' state counts at formation time; at most 2^30.
  uint32_t size = 0;
  VRN_clique* parent = nullptr;      // null for the root
  VRN_clique** children = nullptr;   // in link order; owned by the store
  int child_count = 0;
  int assigned_count = 0;
  // Nodes whose tables this clique multiplies in; owned by the join tree.
  int* assigned = nullptr;
  VRN_potential potential;
  VRN_cells separator_potential;       // the message towards the parent
  VRN_stepSlice to_separator;          // potential -> separator_potential
  VRN_stepSlice parent_to_separator;   // parent's potential -> ours
  // 1 when potential holds values; 0 means it stands for a table of ones.
  int initialised = 0;

  // True when node is one of the members.
  bool HasMember(int node) const;
};

// Storage of the cliques of one search: records are handed out in
// formation order, so clique(i) is the i-th clique formed and the root is
// the last one. Room is reserved for one clique per node (one elimination
// forms at most one clique), so handed-out records never move.
class VRN_cliqueStore {
 public:
  VRN_cliqueStore() = default;
  VRN_cliqueStore(const VRN_cliqueStore&) = delete;
  VRN_cliqueStore& operator=(const VRN_cliqueStore&) = delete;

  // Destroys every record (and its tables) and reserves room for
  // node_count cliques. Throws std::bad_alloc when that room cannot be had.
  void Reset(int node_count);

  // Returns the next record, zeroed, owned by the store.
  // REQUIRES: count() < node_count().
  VRN_clique* Take();

  // Returns room for count ints (null for 0) that stays in place until the
  // next Reset. Throws std::bad_alloc when it cannot be had.
  // REQUIRES: 0 <= count <= qelta::kMaxCliqueMembers.
  int* TakeInts(int count);

  int count() const { return static_cast<int>(records_.size()); }
  int node_count() const { return node_count_; }
  VRN_clique* clique(int i) { return &records_[i]; }
  const VRN_clique* clique(int i) const { return &records_[i]; }
  // The clique formed last (the root after a successful search), or null.
  VRN_clique* root() { return records_.empty() ? nullptr : &records_.back(); }

 private:
  friend class VRN_eliminationSearch;

  std::vector<VRN_clique> records_;
  // Children arrays of all cliques, one slice per clique.
  std::vector<VRN_clique*> children_;
  // Member and separator lists, in blocks that never move; blocks are kept
  // across Reset for the next search.
  std::vector<std::unique_ptr<int[]>> int_blocks_;
  std::vector<int> int_block_sizes_;
  std::size_t int_block_ = 0;  // the block being filled
  int int_used_ = 0;           // ints taken from it
  int node_count_ = 0;
};

// One elimination search over one problem.
class VRN_eliminationSearch {
 public:
  // Borrows problem's arrays and store; both must outlive the search.
  VRN_eliminationSearch(const qelta::EliminationProblem& problem,
                        VRN_cliqueStore* store);
  VRN_eliminationSearch(const VRN_eliminationSearch&) = delete;
  VRN_eliminationSearch& operator=(const VRN_eliminationSearch&) = delete;

  // Resets the store, forms the cliques of a greedy elimination order and
  // links them into a tree (every clique but the last gets the first later
  // clique holding its whole separator as parent; member and separator
  // lists are then sorted). limit bounds the sum of the clique sizes; 0
  // means qelta::kDefaultCliqueLimit and 0xFFFFFFFF means no bound.
  // Returns false, leaving the cliques formed so far in the store, when a
  // clique would need more than 30 members or more than 2^30 cells, when
  // the sum of the sizes exceeds the limit, or when the problem is
  // malformed (a state count of 0, a parent index out of range). Logs
  // nothing. Throws std::bad_alloc when working memory cannot be had.
  bool Run(uint32_t limit);

  uint64_t total() const { return total_; }
  uint32_t limit() const { return limit_; }
  int eliminated() const { return eliminated_; }
  int clique_count() const { return clique_count_; }

 private:
  using MinQueue =
      std::priority_queue<int, std::vector<int>, std::greater<int>>;
  // (weight, node), smallest weight first, ties to the lowest node.
  using CandidateQueue =
      std::priority_queue<std::pair<uint32_t, int>,
                          std::vector<std::pair<uint32_t, int>>,
                          std::greater<std::pair<uint32_t, int>>>;

  bool ProblemIsValid() const;
  void Setup();
  void BuildMoralGraph();
  bool Adjacent(int a, int b) const;
  void AddEdge(int a, int b);
  void Append(int a, int b);
  void RemoveFromGraph(int v);
  bool IsSimplicial(int v);
  bool SimplicialPasses();
  int ChooseByWeight();
  void FillIn(int v);
  bool FormClique(int v, uint32_t weight);
  bool TotalExceedsLimit() const;
  bool Link();

  uint32_t ComputeWeight(int v) const;
  void MultiplyWeight(int v, uint32_t factor);
  void DivideWeight(int v, uint32_t factor);
  uint32_t NewStamp();
  void MarkDirty(int v);
  void MarkStale(int v);


  const qelta::EliminationProblem& problem_;
  VRN_cliqueStore* const store_;
  const int n_;

  uint64_t total_ = 0;
  uint32_t limit_ = qelta::kDefaultCliqueLimit;
  int eliminated_ = 0;
  int clique_count_ = 0;

  // Per node. weight_ is the state count times the neighbours' state
  // counts, 0 when that exceeds 2^30; it is kept exact by recomputing a 0
  // whenever a neighbour leaves.
  std::vector<uint32_t> weight_;
  std::vector<int> degree_;
  std::vector<int> list_offset_;     // start of the neighbour list in arena_
  std::vector<int> list_capacity_;
  std::vector<uint8_t> eliminated_flag_;
  std::vector<uint8_t> queued_;      // waiting for a simplicial test
  std::vector<uint32_t> mark_;       // stamps for set membership tests
  // Candidates for the greedy choice; an entry whose weight is no longer
  // its node's, or whose node is gone, is outdated and skipped.
  CandidateQueue candidates_;
  // Nodes whose weight changed since the last greedy choice.
  std::vector<uint8_t> stale_flag_;
  std::vector<int> stale_;
  std::vector<int> arena_;           // all neighbour lists
  std::vector<int> scratch_;
  uint32_t stamp_ = 0;

  // Simplicial passes visit nodes in index order; a node that may have
  // become simplicial waits in this pass's queue when it lies ahead of the
  // cursor, else in the next pass's queue.
  MinQueue this_pass_;
  MinQueue next_pass_;
  int cursor_ = -1;
};

#endif  // QELTA_INFERENCE_ELIMINATION_H_
