// Bin edges for a list of values, and the data set's discretization.
//
// VRN_Discretizer is a read-only view of a caller's int or float values
// (the vector must outlive it) that computes binCount - 1 ascending bin
// edges by one of three methods and, on request, the bin of every value:
//   0  grouping: runs of equal values are merged, closest means first,
//      until binCount groups remain (VRN_MergeValueGroups)
//   1  equal width between the smallest and largest value
//   2  equal count: edge k is the sorted value at position k * N / binCount
// A value v falls in bin b = the number of edges e with e <= v, so a value
// equal to an edge goes to the upper bin.
//
// Thread use: const operations on caller data; reentrant.
#ifndef QELTA_LEARNING_DISCRETIZER_H_
#define QELTA_LEARNING_DISCRETIZER_H_

#include <cstddef>
#include <vector>

class VRN_Discretizer {
 public:
  explicit VRN_Discretizer(const std::vector<int>& values)
      : ints_(&values) {}
  explicit VRN_Discretizer(const std::vector<float>& values)
      : floats_(&values) {}

  // 0 with the edges (and bins) filled. -3 for fewer than 2 values, -19 for
  // binCount below 2, -30 for an unknown method, -2 when grouping finds
  // fewer distinct values than bins or the other methods find all values
  // equal. On failure the outputs are left as they were.
  int Discretize(int method, int binCount, std::vector<double>* edges,
                 std::vector<int>* bins) const;

 private:
  std::size_t size() const {
    return ints_ != nullptr ? ints_->size() : floats_->size();
  }
  double at(std::size_t i) const {
    return ints_ != nullptr ? static_cast<double>((*ints_)[i])
                            : static_cast<double>((*floats_)[i]);
  }
  int EqualWidth(int binCount, std::vector<double>* edges) const;

  const std::vector<int>* ints_ = nullptr;
  const std::vector<float>* floats_ = nullptr;
};

// Grouping of sorted values: binCount - 1 edges into *edges, each the
// midpoint between the largest value of a group and the smallest of the
// next. -2 when there are fewer distinct values than binCount.
// REQUIRES: sorted is ascending; binCount >= 2.
int VRN_MergeValueGroups(const std::vector<double>& sorted, int binCount,
                         std::vector<double>* edges);

#endif  // QELTA_LEARNING_DISCRETIZER_H_
