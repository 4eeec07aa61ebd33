// Relevance reasoning: the independent sub-problems of one query.
//
// VRN_RelevanceDecompose turns a network with its evidence and targets into
// a list of independent parts, each a small graph of records
// (VRN_relevanceNode) that still answers the query for the targets in it:
// barren nodes are gone, evidence has been entered into the tables of the
// observed nodes' children, unobserved roots feeding a single child may have
// been summed into it, and parts that hold only one observed node have been
// answered on the spot.
//
// A record borrows its node's inference table and makes a private copy the
// first time it has to change it, so the network's own tables are never
// modified. Every record of one run lives in one storage block that goes
// back to the network's clustering cache (for the next run) when the last
// record of the run is destroyed, so parts may be destroyed in any order.
//
// Ownership: the caller owns the returned VRN_relevanceParts; the list owns
// the parts it still holds (VRN_relevanceParts::DestroyPart destroys one
// early) and each part owns its records. A record's owned table belongs to
// the record. Records refer to the network's nodes, which must outlive them.
//
// Thread use: a run and its parts belong to the calling thread; the network
// must not be used by anyone else meanwhile.
#ifndef QELTA_INFERENCE_RELEVANCE_H_
#define QELTA_INFERENCE_RELEVANCE_H_

#include <cassert>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"

class VRN_network;
class VRN_node;
class VRN_relevanceNode;
class VRN_relevancePart;

namespace qelta {

// Bits of the flags argument of VRN_RelevanceDecompose.
inline constexpr int kRelevanceRootAbsorption = 1;
inline constexpr int kRelevanceDeterministic = 2;
inline constexpr int kRelevanceNoisyMaxDecomp = 4;
// What the callers pass: join-tree clustering, probability of evidence,
// everything else (junction tree per part, samplers, EM).
inline constexpr int kRelevanceForClustering = 7;
inline constexpr int kRelevanceForEvidence = 1;
inline constexpr int kRelevanceForOthers = 3;

// Working marks of a record.
inline constexpr int kRelMarkFresh = 0;
inline constexpr int kRelMarkPropagated = 2;
inline constexpr int kRelMarkAbsorbed = 10;
inline constexpr int kRelMarkVisited = 16;
inline constexpr int kRelMarkBarren = 20;

// Where a record's table comes from.
inline constexpr int kRelTableNone = 0;
inline constexpr int kRelTableOwned = 1;
inline constexpr int kRelTableBorrowed = 2;

// A growable array of pointers that keeps its first N entries inline.
// Copying is not needed by anyone and is deleted. The count and pointer come
// first and the inline room is not cleared, so a short list touches one
// cache line: large networks walk every record several times per update.
template <typename T, int N>
class InlinePointerArray {
 public:
  InlinePointerArray() = default;
  ~InlinePointerArray() {
    if (items_ != inline_) delete[] items_;
  }
  InlinePointerArray(const InlinePointerArray&) = delete;
  InlinePointerArray& operator=(const InlinePointerArray&) = delete;

  int GetSize() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  T** Items() { return items_; }
  T* const* Items() const { return items_; }
  T* operator[](int i) const {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  T*& operator[](int i) {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  T** begin() { return items_; }
  T** end() { return items_ + count_; }
  T* const* begin() const { return items_; }
  T* const* end() const { return items_ + count_; }

  // Makes room for n entries in total. Throws std::bad_alloc.
  void Reserve(int n) {
    if (n <= capacity_) return;
    T** grown = new T*[n];
    for (int i = 0; i < count_; ++i) grown[i] = items_[i];
    if (items_ != inline_) delete[] items_;
    items_ = grown;
    capacity_ = n;
  }
  // Appends p, doubling the room when full. Throws std::bad_alloc.
  void Add(T* p) {
    if (count_ == capacity_) Reserve(capacity_ * 2);
    items_[count_++] = p;
  }
  // Position of p, or -1.
  int Find(const T* p) const {
    for (int i = 0; i < count_; ++i) {
      if (items_[i] == p) return i;
    }
    return -1;
  }
  // Removes the first entry equal to p, keeping the order of the others.
  // True when one was removed.
  bool Remove(const T* p) {
    const int i = Find(p);
    if (i < 0) return false;
    RemoveAt(i);
    return true;
  }
  // REQUIRES: 0 <= i < GetSize().
  void RemoveAt(int i) {
    assert(i >= 0 && i < count_);
    for (int j = i + 1; j < count_; ++j) items_[j - 1] = items_[j];
    --count_;
  }
  // Drops the entries; the room stays.
  void Flush() { count_ = 0; }
  // Keeps the first n entries. REQUIRES: 0 <= n <= GetSize().
  void Truncate(int n) {
    assert(n >= 0 && n <= count_);
    count_ = n;
  }

 private:
  T** items_ = inline_;
  int capacity_ = N;
  int count_ = 0;
  T* inline_[N];  // entries at count_ and beyond are never read
};

using RelevanceNodeArray8 = InlinePointerArray<VRN_relevanceNode, 8>;
using RelevanceNodeArray16 = InlinePointerArray<VRN_relevanceNode, 16>;

// Shared storage of all records of one run, and the builder of the working
// graph (see relevance.cpp).
struct RelevanceBlock;
class RelevanceBuilder;

}  // namespace qelta

// One record of the working graph: a network node (or an auxiliary record
// without node) with its evidence, its table and its parents and children
// inside the graph.
//
// The table's dimensions are the outcome counts of the record's parents in
// the order of its parents list, then its own outcome count (last dimension
// fastest, strides from the matrix).
class VRN_relevanceNode {
 public:
  VRN_relevanceNode(const VRN_relevanceNode&) = delete;
  VRN_relevanceNode& operator=(const VRN_relevanceNode&) = delete;

  // The network node; null for an auxiliary record (virtual-evidence child).
  VRN_node* GetNode() const { return node_; }
  // The node's handle; -1 for an auxiliary record.
  int GetHandle() const;
  // Observed (or derived) outcome; -1 when unobserved.
  int GetEvidence() const { return evidence_; }
  bool IsObserved() const { return evidence_ >= 0; }
  int GetMark() const { return mark_; }
  void SetMark(int mark) { mark_ = mark; }
  // qelta::kRelTableNone, kRelTableOwned or kRelTableBorrowed.
  int GetTableKind() const { return tableKind_; }
  // The record's table; null before one was chosen (never in a part).
  const VRN_matrix* GetTable() const { return table_; }
  // The borrowed definition table; null when the record owned its table
  // from the start.
  const VRN_matrix* GetSource() const { return source_; }
  // The part that holds the record (null while the working graph is built).
  VRN_relevancePart* GetOwner() const { return owner_; }
  // Position of the record in its part (part-local index); -1 outside parts.
  int GetLocalIndex() const { return localIndex_; }

  int GetParentCount() const { return parents_.GetSize(); }
  // REQUIRES: 0 <= i < GetParentCount().
  VRN_relevanceNode* GetParent(int i) const { return parents_[i]; }
  int GetChildCount() const { return children_.GetSize(); }
  // REQUIRES: 0 <= i < GetChildCount().
  VRN_relevanceNode* GetChild(int i) const { return children_[i]; }
  const qelta::RelevanceNodeArray8& Parents() const { return parents_; }
  const qelta::RelevanceNodeArray16& Children() const { return children_; }

  // The size of the table's last (own) dimension; 0 without table.
  int GetOutcomeCount() const;

  // Makes the node's value matrix one-dimensional with count entries (their
  // contents unspecified), without indexing parents. Answers 0, -2 for
  // count < 1 or a record without node.
  int PrepareBeliefs(int count);
  // Solves a one-record part: the node's value matrix becomes the record's
  // table entries (one-dimensional, outcome count entries) and the value is
  // marked valid. Answers 0; -2 for a record without node or table.
  int CopyTableToBeliefs();
  // Stores state as the record's evidence and, for a record with node, sets
  // the node's value to the point mass on state and marks it valid. The
  // network's evidence is not touched. Answers 0, or -2 (nothing changed)
  // when state is outside 0 .. outcome count - 1.
  int SetDerivedEvidence(int state);

  // Restricts child's table to parent's evidence along parent's dimension
  // and removes that dimension (the borrowed table is never written: a
  // private copy takes the slice). parent stays in child's parents list;
  // the caller removes it. Answers 0, or -2 when parent is not a parent of
  // child or is unobserved. Throws std::bad_alloc when the copy cannot be
  // allocated (child unchanged).
  static int RestrictToParentState(VRN_relevanceNode* child,
                                   VRN_relevanceNode* parent);

 private:
  friend class VRN_relevancePart;
  friend class qelta::RelevanceBuilder;
  friend struct qelta::RelevanceBlock;

  VRN_relevanceNode(VRN_node* node, qelta::RelevanceBlock* block);
  ~VRN_relevanceNode();

  // Borrows `table` (the node's definition table).
  void BorrowTable(const VRN_matrix* table);
  // Takes ownership of `table` (allocated with new), freeing an owned one.
  void OwnTable(VRN_matrix* table);
  // A private, writable copy of the table (made on first use); null when
  // it cannot be allocated.
  VRN_matrix* MutableTable();
  // Writes the point mass on state into the node's value and marks it
  // valid. REQUIRES: GetNode() != null.
  void WritePointMass(int state, int count);

  VRN_node* node_;
  int evidence_ = -1;
  int mark_ = qelta::kRelMarkFresh;
  int tableKind_ = qelta::kRelTableNone;
  const VRN_matrix* table_ = nullptr;  // owned_ when owned, else source_
  const VRN_matrix* source_ = nullptr;
  VRN_matrix* owned_ = nullptr;
  VRN_relevancePart* owner_ = nullptr;
  qelta::RelevanceBlock* block_;
  int localIndex_ = -1;
  qelta::RelevanceNodeArray8 parents_;
  qelta::RelevanceNodeArray16 children_;
};

// One independent part: records in a fixed order (the part-local indices).
// Destroying a part destroys its records.
class VRN_relevancePart {
 public:
  explicit VRN_relevancePart(VRN_network* network) : network_(network) {}
  ~VRN_relevancePart();
  VRN_relevancePart(const VRN_relevancePart&) = delete;
  VRN_relevancePart& operator=(const VRN_relevancePart&) = delete;

  // The network the records belong to.
  VRN_network* GetNetwork() const { return network_; }
  int GetSize() const { return records_.GetSize(); }
  // REQUIRES: 0 <= i < GetSize().
  VRN_relevanceNode* operator[](int i) const { return records_[i]; }
  VRN_relevanceNode* GetRecord(int i) const { return records_[i]; }
  // Part-local index of record, or -1 when another part (or none) holds it.
  int IndexOf(const VRN_relevanceNode* record) const;

  // Reorders the records so that every parent precedes its children:
  // depth-first, records taken in their current order, unvisited parents
  // appended first. Marks end as qelta::kRelMarkVisited; local indices are
  // renumbered. Throws std::bad_alloc.
  void SortTopologically();
  // As SortTopologically, but the visits start from the observed records
  // first, in ascending order of the fraction of their table entries that
  // are exactly 0.0 (ties keep their order), then the others.
  void SortTopologicallyEvidenceFirst();

  // Appends record and makes this part its owner. Throws std::bad_alloc.
  void Add(VRN_relevanceNode* record);
  void Reserve(int n) { records_.Reserve(n); }

 private:
  friend class qelta::RelevanceBuilder;

  void Renumber();
  void VisitDepthFirst(VRN_relevanceNode* record,
                       qelta::InlinePointerArray<VRN_relevanceNode, 8>& out);

  VRN_network* network_;
  qelta::InlinePointerArray<VRN_relevanceNode, 8> records_;
};

// The result of relevance reasoning: the parts in the order of their first
// target. The list owns the parts it holds.
class VRN_relevanceParts {
 public:
  VRN_relevanceParts() = default;
  // Destroys every part still held.
  ~VRN_relevanceParts();
  VRN_relevanceParts(const VRN_relevanceParts&) = delete;
  VRN_relevanceParts& operator=(const VRN_relevanceParts&) = delete;

  int GetSize() const { return parts_.GetSize(); }
  // Null once DestroyPart(i) ran. REQUIRES: 0 <= i < GetSize().
  VRN_relevancePart* operator[](int i) const { return parts_[i]; }
  VRN_relevancePart* GetPart(int i) const { return parts_[i]; }
  // Destroys part i now (its slot stays, holding null).
  // REQUIRES: 0 <= i < GetSize().
  void DestroyPart(int i);
  // Destroys part i and removes its slot (later parts move up).
  void RemovePart(int i);
  // Takes ownership of part. Throws std::bad_alloc (part then destroyed).
  void Add(VRN_relevancePart* part);

  // Handles of the observed nodes answered on the spot whose own table,
  // with every parent observed, gives their observed outcome probability
  // 0.0: the evidence is impossible, which no part would show.
  const VRN_intArray& GetImpossibleEvidence() const { return impossible_; }
  void AddImpossibleEvidence(int handle) { impossible_.Add(handle); }

  // The (handle, outcome) pairs relevance reasoning derived for nodes
  // without evidence of their own: certain given the evidence, so learners
  // treat them as observed.
  const std::vector<std::pair<int, int>>& GetDerivedStates() const {
    return derived_;
  }
  void AddDerivedState(int handle, int outcome) {
    derived_.emplace_back(handle, outcome);
  }

 private:
  qelta::InlinePointerArray<VRN_relevancePart, 4> parts_;
  VRN_intArray impossible_;
  std::vector<std::pair<int, int>> derived_;
};

// Runs relevance reasoning on network with the flags above. Answers a new
// list, owned by the caller (it may hold no part), or null when no node of
// the network is a target after the target step (a network without nodes).
// Beliefs of nodes answered on the spot (one-record observed parts, derived
// evidence) are written into their values; when the network had no targets
// every node is a target during the call and none afterwards. The network's
// tables and evidence are not changed. Throws std::bad_alloc.
VRN_relevanceParts* VRN_RelevanceDecompose(VRN_network* network, int flags);

// Whether an equation child of node h sees it as a fixed value rather than
// as a dimension of its discretized table: with evidence, or a constant
// equation. REQUIRES: h is a live node.
bool VRN_IsFixedForEquations(VRN_network* network, int handle);

// The outcome the evidence of node h selects: the interval holding the
// number for an equation node; -1 for a number it cannot read. REQUIRES: h
// is a live node with evidence.
int VRN_EvidenceOutcome(VRN_network* network, int handle);

#endif  // QELTA_INFERENCE_RELEVANCE_H_
