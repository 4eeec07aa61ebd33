// Multidimensional tables of doubles and their coordinate iterator.
//
// VRN_matrix holds conditional probability tables, utility tables, canonical
// model parameters, cost tables, potentials and belief vectors. It is three
// arrays: the dimension sizes (each >= 1), the strides (last stride 1, each
// stride the product of the sizes after it, so the last dimension varies
// fastest) and the items (count = product of the sizes). The item at
// coordinates (c0..cn-1) is at linear index sum(ci * stride_i). An empty
// matrix has no dimensions, strides or items.
//
// VRN_coordinates walks the positions of one matrix like an odometer with
// some dimensions locked; the matrix is passed to each call, not stored.
//
// Ownership: a matrix owns its three arrays; copies are deep. Operations that
// rebuild the layout (SetDimensionSizes, ChangeDimensionSize) leave the item
// values unspecified (currently zero) and callers fill them.
// Thread use: plain values, no internal synchronisation.
#ifndef QELTA_BASE_MATRIX_H_
#define QELTA_BASE_MATRIX_H_

#include <vector>

#include "base/arrays.h"

class VRN_matrix {
 public:
  VRN_matrix() = default;
  // A matrix of those sizes; stays empty when any size is < 1 or the item
  // count would overflow.
  explicit VRN_matrix(const VRN_intArray& sizes);
  VRN_matrix(const VRN_matrix& other) = default;
  VRN_matrix& operator=(const VRN_matrix& other);
  ~VRN_matrix() = default;

  // Empties the three arrays.
  void Clean();

  // -2 for n < 0 or any size < 1 (nothing changes). Otherwise takes the
  // sizes, recomputes the strides and sizes the items to the product; n == 0
  // leaves the matrix empty. -2 when the product does not fit a positive int;
  // the matrix is then left empty, never with sizes its items do not cover.
  // 0 on success.
  [[nodiscard]] int SetDimensionSizes(const int* sizes, int n);
  [[nodiscard]] int SetDimensionSizes(int n, const int* sizes) {
    return SetDimensionSizes(sizes, n);
  }
  [[nodiscard]] int SetDimensions(const VRN_intArray& sizes);
  // The same without the size checks (the overflow check stays).
  // REQUIRES: n >= 0 and every size >= 1.
  int SetDimensionsRaw(const int* sizes, int n);
  // A one-dimensional matrix of size n; -2 for n < 1.
  int SetSingleDimension(int n);
  // Recomputes the strides from the sizes.
  void UpdateStrides();

  // REQUIRES: 0 <= i < GetDimensionCount().
  int GetSize(int i) const { return dimensions_[i]; }
  int GetDimensionCount() const { return dimensions_.GetSize(); }
  int GetItemCount() const { return items_.GetSize(); }
  bool IsEmpty() const { return dimensions_.GetSize() == 0; }
  const VRN_intArray& GetDimensions() const { return dimensions_; }
  const VRN_intArray& GetStrides() const { return strides_; }
  // Items may be written freely; their count must not be changed.
  VRN_doubleArray& GetItems() { return items_; }
  const VRN_doubleArray& GetItems() const { return items_; }

  // Linear index of the coordinates (no range check).
  // REQUIRES: at least GetDimensionCount() coordinates.
  int CoordinatesToIndex(const VRN_intArray& coordinates) const {
    return CoordinatesToIndexFromInts(coordinates.Items());
  }
  int CoordinatesToIndexFromInts(const int* coordinates) const {
    int index = 0;
    const int n = dimensions_.GetSize();
    const int* strides = strides_.Items();
    for (int i = 0; i < n; ++i) index += coordinates[i] * strides[i];
    return index;
  }
  int CoordinatesToIndexFromPointers(const int* const* coordinates) const {
    int index = 0;
    const int n = dimensions_.GetSize();
    const int* strides = strides_.Items();
    for (int i = 0; i < n; ++i) index += *coordinates[i] * strides[i];
    return index;
  }
  double* ElementAddress(const VRN_intArray& coordinates) {
    return items_.Items() + CoordinatesToIndex(coordinates);
  }
  double Element(const VRN_intArray& coordinates) const {
    return items_.Items()[CoordinatesToIndex(coordinates)];
  }
  // REQUIRES: 0 <= i < GetItemCount().
  double* ItemAddress(int i) { return items_.Items() + i; }
  double GetItem(int i) const { return items_[i]; }
  // -2 unless 0 <= i < item count; fills coordinates (resized to the
  // dimension count) with the position of i; 0.
  int IndexToCoordinates(int i, VRN_intArray& coordinates) const;

  void FillWith(double v);
  void Multiply(double f);
  // Largest magnitude among the items, 0 for none; +inf when one is not
  // finite.
  double GetLargestMagnitude() const;
  // -4 unless other has the same dimensions; copies its items; 0.
  int CopyItems(const VRN_matrix& other);
  // -4 unless the count equals the item count; copies the items; 0.
  int SetItems(const VRN_doubleArray& items);
  int SetItemsFromVector(const std::vector<double>& items);
  // REQUIRES: p holds GetItemCount() doubles.
  void SetItemsFromBuffer(const double* p);
  // -2 unless a, b and this have equal dimensions; this = a + b item by
  // item; 0. a or b may be this matrix.
  int SetSum(const VRN_matrix& a, const VRN_matrix& b);
  // Every run along the last dimension: a sum of exactly 1.0 stays, exactly
  // 0.0 becomes uniform, anything else is divided by the sum; 0.
  int Normalize();
  // fixed has one entry per dimension, -1 meaning free. -2 when it is
  // shorter than the dimension count; 1 when every item of the selected
  // slice equals v exactly, else 0.
  int AllEqualTo(double v, const VRN_intArray& fixed) const;
  int AllEqualTo(const VRN_intArray& fixed, double v) const {
    return AllEqualTo(v, fixed);
  }
  // The same with exactly the two dimensions d1 and d2 fixed at i1 and i2;
  // -2 for a bad dimension or index.
  int AllEqualToAtPair(double v, int d1, int i1, int d2, int i2) const;
  // fixed as for AllEqualTo, its entry for the last dimension an outcome s:
  // 1 when the selected columns force s (every item at s is 1.0 and every
  // item at the other outcomes exactly 0.0), else 0; -2 for a bad fixed.
  // A column such as (1e-17, 1.0) sums to 1.0 yet forces nothing.
  int ForcesOutcome(const VRN_intArray& fixed) const;

  // Dimension edits: each answers 0, or -2 for a bad dimension, index, size
  // or order, leaving the matrix unchanged.

  // Inserts a dimension of that size at pos (0..dimension count), every old
  // item repeated along it. An empty matrix becomes one-dimensional (items
  // zero). -42 when the new item count is not a positive int.
  int InsertDimension(int pos, int size);
  int InsertDimensionAtEnd(int size) {
    return InsertDimension(dimensions_.GetSize(), size);
  }
  // Dimension d grows by one index at its end; new items 0.0. -42 on
  // item-count overflow.
  int AddOutcome(int d);
  // After AddOutcome: moves indices i..size-2 of d one up and fills index i
  // with v. REQUIRES for the intended use: AddOutcome(d) ran first.
  int ShiftOutcomesUpAndFill(int d, int i, double v);
  // Removes index i of d in place: later indices move down, the last index
  // is set to 0.0 (RemoveLastOutcome is expected next).
  int ShiftOutcomesDown(int d, int i);
  // Drops the last index of d; -2 also when d has size 1.
  int RemoveLastOutcome(int d);
  // Rebuilds the layout with d of the new size; item values are not kept.
  // -42 on item-count overflow.
  int ChangeDimensionSize(int d, int size);
  // New dimension i is old dimension order[i]; items follow.
  int ChangeOrderOfDimensions(const VRN_intArray& order);
  // Index j of d afterwards holds what index order[j] held.
  int ChangeOrderWithinDimension(int d, const VRN_intArray& order);
  // Keeps the slice where d has index i and removes d; a one-dimensional
  // matrix is left unchanged (0).
  int RemoveDimensionAt(int d, int i);
  int RemoveDimension(int d) { return RemoveDimensionAt(d, 0); }
  // Writes that slice into out (this stays unchanged unless it is out). A
  // one-dimensional matrix gives out a copy of this matrix.
  int ExtractSlice(int d, int i, VRN_matrix& out) const;
  // Removes d, each remaining item becoming sum_k weights[k] * item(d = k).
  // -2 for a bad d, weights not of the size of d, or a one-dimensional
  // matrix (which has nothing left to keep); the matrix is then unchanged.
  int SumOutDimension(int d, const VRN_doubleArray& weights);
  // The same into out (out unchanged on failure).
  // REQUIRES: out is not this matrix.
  int SumOutDimensionInto(int d, const VRN_doubleArray& weights,
                          VRN_matrix& out) const;
  // map[j] names the dimension of this matrix that dimension j of other
  // matches (distinct entries). -2 for a bad d, a map of another length than
  // other's dimension count, an entry out of range or repeated, a size
  // mismatch, or a d that map does not name. In place: for every position c
  // without d, sum_k this(c, d = k) * other(c through map, d = k); then d is
  // removed (a one-dimensional matrix keeps its one dimension of size 1).
  // REQUIRES: other is not this matrix.
  int MultiplyAndSumOut(int d, const VRN_matrix& other, const VRN_intArray& map);
  // -2 when fixed is shorter than the dimension count or a fixed index is
  // out of range. out = this matrix without every dimension whose entry in
  // fixed is >= 0, keeping the slice at that index. Fixing every dimension
  // leaves out one-dimensional of size 1.
  // REQUIRES: out is not this matrix.
  int GetSubmatrix(const VRN_intArray& fixed, VRN_matrix& out) const;

  // Same dimensions (sizes equal position by position).
  bool HasSameDimensions(const VRN_matrix& other) const {
    return dimensions_ == other.dimensions_;
  }

 private:
  // Exchanges the three arrays with those of other.
  void SwapContents(VRN_matrix& other);
  // Layout of dimension d: items form outer blocks of size(d) runs of
  // inner = stride(d) items.
  // REQUIRES: 0 <= d < GetDimensionCount().
  int OuterCount(int d) const;

  VRN_intArray dimensions_;
  VRN_intArray strides_;
  VRN_doubleArray items_;
};

class VRN_coordinates {
 public:
  // Coordinates and locks sized to the matrix's dimension count, all 0, no
  // locks, index 0.
  explicit VRN_coordinates(const VRN_matrix& matrix);

  // Locked coordinates keep their value while stepping; callers set them
  // through operator[] and then call UpdateIndex.
  // REQUIRES: 0 <= i < dimension count.
  void Lock(int i) { locks_[i] = 1; }
  void Unlock(int i) { locks_[i] = 0; }
  bool IsLocked(int i) const { return locks_[i] != 0; }
  void UnlockAll();
  // Index 0 and every unlocked coordinate 0.
  void GoFirst();
  // Index i and the coordinates of i.
  // REQUIRES: 0 <= i < matrix.GetItemCount().
  void GoTo(const VRN_matrix& matrix, int i);
  // Index from the coordinates; 0. When a coordinate lies outside its
  // dimension (a negative index among others), GoFirst and -2.
  int UpdateIndex(const VRN_matrix& matrix);
  // One odometer step over the unlocked dimensions, last fastest; -2 (no
  // change) past the last position; 0.
  int Next(const VRN_matrix& matrix);

  int GetIndex() const { return index_; }
  int& operator[](int i) { return coordinates_[i]; }
  int operator[](int i) const { return coordinates_[i]; }
  VRN_intArray& GetCoordinates() { return coordinates_; }
  const VRN_intArray& GetCoordinates() const { return coordinates_; }

 private:
  VRN_intArray coordinates_;
  int index_ = 0;
  VRN_intArray locks_;
};

#endif  // QELTA_BASE_MATRIX_H_
