// VRN_countCache: contingency counts over the discrete variables of a data
// set, answered from a counting tree that is built lazily along the variable
// combinations asked for.
//
// A node reached from the root through (v_k = x_k), ..., (v_1 = x_1), with
// v_k > ... > v_1, counts the records (after the record index) holding all
// those values. The first query over a set of variables walks every record
// once and builds the whole level for every value combination that occurs;
// later queries over those variables only walk the tree.
//
// Memory comes from three pools of blocks that double in size (tree nodes,
// branch arrays, child arrays). When opening a branch or child block would
// take the estimate past memory_limit (MiB), the cache forgets everything it
// built and answers the query again; a query whose own path does not fit an
// emptied cache is counted straight from the data.
//
// Ownership: the data set is not owned; it must outlive the cache and stay
// unchanged. Thread use: one thread at a time (GetCount builds).
#ifndef QELTA_LEARNING_COUNT_CACHE_H_
#define QELTA_LEARNING_COUNT_CACHE_H_

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class VRN_dataset;

class VRN_countCache {
 public:
  using Pair = std::pair<int, int>;  // (variable, value)

  // Arity of variable v is the number of its state names.
  explicit VRN_countCache(const VRN_dataset& data);
  // Arities given by the caller, one per variable of the data set.
  // REQUIRES: arities.size() == data.GetVariableCount(), each >= 1.
  VRN_countCache(const VRN_dataset& data, std::vector<int> arities);
  ~VRN_countCache();
  VRN_countCache(const VRN_countCache&) = delete;
  VRN_countCache& operator=(const VRN_countCache&) = delete;

  // Number of records holding every listed value. The pairs may come in any
  // order and must name distinct discrete variables; a record whose value
  // of a listed variable lies outside 0 .. arity - 1 (a missing value
  // included) is counted in no cell.
  int GetCount(const std::vector<Pair>& pairs);
  // The same for pairs already in ascending variable order.
  // REQUIRES: pairs[i].first < pairs[i + 1].first.
  int GetCountSorted(const Pair* pairs, int count);

  // Replaces out by the nonzero counts of every value combination of the
  // variables (ascending, distinct), in no particular order.
  void GetNonZeroCounts(const int* variables, int count, std::vector<int>& out);

  int GetRecordCount() const { return record_count_; }
  int GetArity(int variable) const { return arity_[static_cast<std::size_t>(variable)]; }
  int GetVariableCount() const { return n_; }
  // Times the cache was emptied to stay under the limit.
  int GetResetCount() const { return resets_; }

  // MiB; the owner may change it after construction.
  int memory_limit = 2048;

 private:
  struct Node;
  using ChildArray = Node**;  // arity entries
  struct Node {
    int count;
    int bound;                // children only for variables below it
    ChildArray* branches;     // bound entries, null until needed
  };
  template <typename T>
  class Pool {
   public:
    // Entries for count items, from the current block or a new one.
    // charge: called with the new total before a new block is opened.
    template <typename Charge>
    T* Take(std::size_t count, Charge charge);
    void Reset();
    std::uint64_t total() const { return total_; }

   private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t used_ = 0;
    std::size_t size_ = 0;
    std::uint64_t total_ = 0;
  };

  void Init();
  void CheckLimit(std::uint64_t branch_total, std::uint64_t child_total) const;
  int Walk(const Pair* pairs, int count, int* stop_level, Node** stop_node) const;
  void Build(const Pair* pairs, int count, int stop_level);
  int CountFromData(const Pair* pairs, int count) const;
  bool Collect(const Node* node, const int* variables, int level, std::vector<int>& out) const;

  const VRN_dataset& data_;
  int n_ = 0;
  int record_count_ = 0;
  std::vector<int> arity_;
  Node* root_ = nullptr;
  Pool<Node> nodes_;
  Pool<ChildArray> branches_;
  Pool<Node*> children_;
  int resets_ = 0;
  std::vector<Pair> sorted_;  // scratch of GetCount
  std::vector<Pair> probe_;   // scratch of GetNonZeroCounts
  std::vector<const int*> cells_;  // scratch of Build: the listed columns
};

#endif  // QELTA_LEARNING_COUNT_CACHE_H_
