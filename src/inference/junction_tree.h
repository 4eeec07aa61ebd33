// The junction tree per part: the second exact engine, used by algorithm
// code 10 for every relevance part of more than one record.
//
// VRN_joinTree triangulates the part's moral graph by minimum fill (a heap
// keyed by fill, then weight), keeps the cliques that are not contained in
// another, links them by a maximum spanning tree over their intersections
// (only clique pairs that share a member are candidates; what stays apart
// is joined by empty separators), gives each record's table to the
// smallest clique holding its family, multiplies the tables in with the
// evidence already sliced out, passes messages inwards and outwards and
// reads every belief from the smallest table holding the node.
//
// Tables are laid out with the last member fastest; a clique's members are
// reordered so that its parent separator's members come last, so a message
// to or from the parent is a modulo walk over contiguous cells; the parent
// side is walked with an odometer that moves the separator index by
// strides. The passes allocate nothing.
//
// Ownership: borrows the part (and through it the records' tables and the
// nodes' values, which Propagate writes); owns cliques, separators and
// their tables. Built and propagated within one update; single-threaded.
#ifndef QELTA_INFERENCE_JUNCTION_TREE_H_
#define QELTA_INFERENCE_JUNCTION_TREE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "inference/part_view.h"

class VRN_relevancePart;

// One clique of the junction tree.
struct VRN_jtClique;

// The edge between two cliques: their common unobserved members.
struct VRN_jtSeparator {
  VRN_jtClique* parent = nullptr;  // after ordering: the side nearer the root
  VRN_jtClique* child = nullptr;
  std::vector<int> members;  // part-local indices, ascending
  std::vector<int> states;
  std::uint64_t size = 1;    // cells of the table
  std::uint64_t cost = 0;    // sum of the two cliques' sizes
  int common = 0;            // members shared, observed ones included
  int index = 0;             // position in the tree order
  std::vector<double> table;
  // Per member of the parent clique's table: its stride in this table, 0
  // when not a member.
  std::vector<std::uint64_t> parentStrides;
};

struct VRN_jtClique {
  int index = 0;               // position in the tree order
  std::vector<int> all;        // every member, ascending (observed too)
  std::vector<int> members;    // the table's members, last fastest
  std::vector<int> states;
  std::uint64_t size = 1;      // cells of the table
  std::vector<double> table;
  std::vector<VRN_jtSeparator*> separators;  // child separators after ordering
  VRN_jtSeparator* parentSeparator = nullptr;
};

class VRN_joinTree {
 public:
  // Cells all clique tables of one part may hold together.
  static constexpr std::uint64_t kCellLimit = 0x10000000;

  // Borrows part, which must outlive the tree.
  explicit VRN_joinTree(VRN_relevancePart* part);
  ~VRN_joinTree();
  VRN_joinTree(const VRN_joinTree&) = delete;
  VRN_joinTree& operator=(const VRN_joinTree&) = delete;

  // Triangulates, forms and orders the tree, and fills the tables (the
  // evidence sliced out). Returns 0; kErrOutOfRange for a malformed part;
  // kErrOutOfMemory, before any table is allocated, when the clique tables
  // together would hold more than limit cells. Throws std::bad_alloc.
  int Build(std::uint64_t limit = kCellLimit);

  // Inward and outward passes, then every record with a node gets its
  // belief: unobserved ones the normalised marginal of their home table
  // (valid, update tag 0); observed ones whose evidence is only derived
  // the point mass. A home table summing to 0 is logged as a zero marginal
  // and leaves the value invalid; then the answer is kErrZeroMarginal
  // (after every belief was written), else 0. zeroCounter, when given,
  // counts those nodes. When products leave the normal doubles the tables
  // are filled again with each slice brought onto its largest entry;
  // kErrOutOfRange, no belief written, when that does not keep them
  // (logged, see qelta::LogBelowDoubles). REQUIRES: Build succeeded.
  int Propagate(int* zeroCounter);

  int clique_count() const { return static_cast<int>(cliques_.size()); }
  const VRN_jtClique& clique(int i) const { return *cliques_[i]; }
  int separator_count() const { return static_cast<int>(separators_.size()); }
  const VRN_jtSeparator& separator(int i) const { return *separators_[i]; }

 private:
  void Triangulate();
  void FormSeparators();
  void OrderTree();
  void AssignFamilies();
  // careful: each table's slice is first brought onto its largest entry
  // by a power of two, and the passes keep error bounds (see
  // underflow_bounds.h), for tables whose products leave the normal doubles.
  void FillTables(bool careful = false);
  // After careful passes: whether every clique's bound is trusted.
  bool Trusted() const;
  void Collect();
  void Distribute();
  void SumChildInto(const VRN_jtClique& child, VRN_jtSeparator* sep);
  void WriteBeliefs(int* zeroCounter, int* status);

  VRN_relevancePart* part_;
  qelta::PartView view_;
  std::vector<std::unique_ptr<VRN_jtClique>> cliques_;
  std::vector<std::unique_ptr<VRN_jtSeparator>> separators_;
  std::vector<VRN_jtClique*> assigned_;  // per record
  std::vector<double> scratch_;          // outward messages
  bool careful_ = false;
  // Careful passes: per clique, and per separator's message, a bound on
  // the absolute error of any cell.
  std::vector<double> error_;
  std::vector<double> message_error_;
  std::vector<int> odometer_;
};

#endif  // QELTA_INFERENCE_JUNCTION_TREE_H_
