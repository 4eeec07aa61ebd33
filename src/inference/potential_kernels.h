// Potentials and the kernels that move numbers between a table and one of
// its sub-tables.
//
// VRN_potential is a table of doubles over at most 30 dimensions, the first
// dimension varying fastest. It owns its cells.
//
// VRN_stepList describes how to follow a sub-table (or any table reached
// through strides) while a larger table is walked cell by cell in storage
// order. The walk never computes coordinates: the sub-table pointer moves by
// a constant step inside the fastest run and by a precomputed step at the
// end of each run. A step list is a plain value; the kernels only read it,
// so one list may serve any number of walks.
//
// The four kernels (VRN_GatherCopy, VRN_GatherMultiply, VRN_ScatterAdd,
// VRN_ScatterAddScaled) walk the larger table with such a list. They
// allocate nothing.
//
// Thread use: none of these types is shared between threads; distinct
// objects may be used on distinct threads.
#ifndef QELTA_INFERENCE_POTENTIAL_KERNELS_H_
#define QELTA_INFERENCE_POTENTIAL_KERNELS_H_

#include <cstddef>
#include <cstdint>

namespace qelta {

// Most dimensions of a potential (and members of a clique).
inline constexpr int kMaxPotentialDimensions = 30;
// Most entries of a step list: every dimension may need an entry of its own
// plus the closing entry.
inline constexpr int kMaxStepEntries = kMaxPotentialDimensions + 1;
// Counter of the closing entry of a step list: never exhausted.
inline constexpr uint32_t kEndlessRun = 0xFFFFFFFFu;

}  // namespace qelta

// A table of doubles. Sizing does not initialise the cells.
class VRN_potential {
 public:
  VRN_potential() = default;
  ~VRN_potential();

  VRN_potential(const VRN_potential&) = delete;
  VRN_potential& operator=(const VRN_potential&) = delete;
  VRN_potential(VRN_potential&& other) noexcept;
  VRN_potential& operator=(VRN_potential&& other) noexcept;

  // Copies the count sizes, sets size() to their product and, when that
  // exceeds capacity(), frees the old cells and allocates new ones (not
  // initialised). Returns 0.
  // Fails with kErrOutOfRange when count is outside 1..30 or a size is
  // below 1, and with kErrOutOfMemory when the product exceeds 2^32 - 1
  // cells or the cells cannot be allocated; then the potential is left
  // empty (no cells, no dimensions).
  [[nodiscard]] int SetDimensions(int count, const int* sizes);

  // Sum of all cells. 0.0 for an empty potential.
  double Sum() const;

  // Exchanges everything with other, cells and dimensions included.
  void Swap(VRN_potential& other) noexcept;

  // Sets every cell to value.
  void Fill(double value);

  // Frees the cells and forgets the dimensions.
  void Release();

  double* items() { return items_; }
  const double* items() const { return items_; }
  double* end() { return items_ + size_; }
  const double* end() const { return items_ + size_; }
  uint32_t size() const { return size_; }
  uint32_t capacity() const { return capacity_; }
  int dimension_count() const { return dimension_count_; }
  const int* dimensions() const { return dimensions_; }
  int dimension(int i) const { return dimensions_[i]; }

 private:
  double* items_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
  int dimension_count_ = 0;
  int dimensions_[qelta::kMaxPotentialDimensions] = {};
};

// How to follow a second table while a table is walked in storage order.
//
// Entry 0 is the fastest run: the walk visits remaining + 1 cells in a row
// and moves the second pointer by entry 0's step after each of the first
// remaining cells. At the end of a run the walk looks at entries 1, 2, ...:
// an entry whose remaining is 0 is set back to reset and skipped; the first
// entry with remaining above 0 is decremented and its step is added to the
// second pointer. The closing entry never runs out (kEndlessRun), so the
// search always ends on it. Every walk starts with each entry's counter at
// its reset value (the builders set remaining = reset), so the list itself
// is never changed. Kernels accept runs of one cell, but the builders below
// never produce them: dimensions of size 1 are left out.
struct VRN_stepList {
  struct Entry {
    uint32_t remaining;
    uint32_t reset;
    int32_t step;  // in cells
  };

  Entry entries[qelta::kMaxStepEntries];
  int count = 0;

  bool empty() const { return count == 0; }
  void Clear() { count = 0; }

  // Builds the walk from a table to one of its marginal tables. The table's
  // dimensions follow table_members (first fastest); sub_members must be a
  // non-empty subsequence of table_members, in the same order, and the
  // sub-table's dimensions follow it (first fastest). Dimensions of size 1
  // get no entry of their own. Returns 0.
  // Fails with kErrOutOfRange, leaving the list empty, when the member
  // counts do not match the table, or sub_members is empty or not such a
  // subsequence.
  [[nodiscard]] int Build(const VRN_potential& table, const int* table_members,
                          int table_member_count, const int* sub_members,
                          int sub_member_count);

  // Builds the walk over a table of count dimensions with the given sizes
  // (first fastest) when moving one cell along dimension i moves the second
  // pointer by strides[i] cells (0 for a dimension the second table does
  // not have). Consecutive dimensions that continue one constant step are
  // merged into one entry; dimensions of size 1 get none. Returns 0.
  // Fails with kErrOutOfRange, leaving the list empty, when count is
  // outside 1..30, a size is below 1 or a step does not fit 32 bits.
  [[nodiscard]] int BuildStrided(int count, const int* sizes,
                                 const std::ptrdiff_t* strides);
};

// Walks dst cell by cell from dst to dst_end: each cell receives the src
// cell that the step list points at. The walk starts at src.
// REQUIRES: the walk stays inside src; dst and src do not overlap.
void VRN_GatherCopy(double* dst, double* dst_end, const double* src,
                    const VRN_stepList& steps);

// As VRN_GatherCopy, but each dst cell is multiplied by the src cell.
void VRN_GatherMultiply(double* dst, double* dst_end, const double* src,
                        const VRN_stepList& steps);

// Walks src cell by cell from src to src_end and adds each cell to the dst
// cell that the step list points at. With dst zeroed first, this sums the
// table over the dimensions the step list does not follow.
// REQUIRES: the walk stays inside dst; dst and src do not overlap.
void VRN_ScatterAdd(double* dst, const double* src, const double* src_end,
                    const VRN_stepList& steps);

// As VRN_ScatterAdd, but adds src cell ÷ c.
void VRN_ScatterAddScaled(double* dst, const double* src,
                          const double* src_end, double c,
                          const VRN_stepList& steps);

#endif  // QELTA_INFERENCE_POTENTIAL_KERNELS_H_
