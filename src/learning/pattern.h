// VRN_pattern: a partially directed graph over the variables of a data set,
// the result of PC structure learning and the native object of
// qelta.learning.Pattern. Entry [i][j] is 0 (no edge), 1 (undirected edge,
// 1 in both directions) or 2 (directed edge i -> j, 0 at [j][i]). Entries
// are set one at a time, so an inconsistent pair (2 both ways, 1 one way
// only) can exist; the operations say how they read it.
//
// A plain value type. Thread use: one thread at a time.
#ifndef QELTA_LEARNING_PATTERN_H_
#define QELTA_LEARNING_PATTERN_H_

#include <new>
#include <vector>

class VRN_dataset;
class VRN_network;

class VRN_pattern {
 public:
  // std::bad_alloc whose text names the size that asked for the memory.
  class SizeError : public std::bad_alloc {
   public:
    explicit SizeError(int n);
    const char* what() const noexcept override { return text_; }

   private:
    char text_[72];
  };

  // Keeps the entries inside the new size; new ones are 0. Throws
  // std::length_error for a negative n, and SizeError, with the pattern
  // unchanged, when memory runs out; both texts name n.
  void SetSize(int n);
  int GetSize() const { return static_cast<int>(edges_.size()); }
  // REQUIRES: 0 <= i, j < GetSize().
  int GetEdge(int i, int j) const { return edges_[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }
  void SetEdge(int i, int j, int type) { edges_[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = type; }

  // True when two distinct nodes reach each other along directed entries
  // (2 whose reverse is not 2).
  bool HasCycle() const;
  // False when some pair has 1 in either direction or 2 in both; else
  // !HasCycle().
  bool IsDAG() const;
  // Orients every edge so that the pattern becomes a DAG that keeps its
  // consistent directed edges. False, with the pattern unchanged, when
  // those edges close a cycle.
  bool ToDAG();
  // Adds to net one node per variable of data (ids repaired, the variable
  // id as name, state names as outcome ids) and one arc per directed edge,
  // after extending a pattern that is not a DAG. Equation nodes when every
  // variable is continuous, else CPTs. False when the extension fails, the
  // size differs from the variable count, or a node cannot be added.
  bool MakeNetwork(const VRN_dataset& data, VRN_network& net);

 private:
  using Matrix = std::vector<std::vector<int>>;
  static bool Reaches(const Matrix& m, int from, int to);
  static std::vector<std::vector<int>> Groups(const Matrix& m);

  Matrix edges_;
};

#endif  // QELTA_LEARNING_PATTERN_H_
