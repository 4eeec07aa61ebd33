// Small-buffer growable arrays of ints and doubles.
//
// VRN_intArray and VRN_doubleArray are the engine's everyday containers
// (handles, parents, outcome counts, coordinates, probabilities). Most of them
// are short, so each keeps an inline buffer (8 ints, 4 doubles) and only moves
// to a heap block when it outgrows it; once on the heap it never returns to
// the inline buffer and its capacity never shrinks.
//
// Ownership: each array owns its heap block; copies never share storage.
// Growth: Add and Insert double the capacity when full; Reserve, SetSize,
// the sized constructor, copying and assignment take exactly the size asked.
// Sizes whose byte count does not fit 32 bits raise std::bad_alloc.
// Insert answers -2 for a position outside 0..count and changes nothing;
// positions given to operator[] and the like are not range checked.
//
// Thread use: plain values, no internal synchronisation.
#ifndef QELTA_BASE_ARRAYS_H_
#define QELTA_BASE_ARRAYS_H_

#include <cassert>

namespace qelta {
struct ArrayOps;
}  // namespace qelta

class VRN_intArray {
 public:
  static constexpr int kInlineCapacity = 8;

  VRN_intArray();
  // A negative n leaves the array empty; otherwise count becomes n (capacity
  // exactly n when n exceeds the inline buffer). New items are zero.
  explicit VRN_intArray(int n);
  VRN_intArray(const VRN_intArray& other);
  VRN_intArray& operator=(const VRN_intArray& other);
  ~VRN_intArray();

  int GetSize() const { return count_; }
  int GetCount() const { return count_; }
  int GetCapacity() const { return capacity_; }
  bool IsEmpty() const { return count_ == 0; }
  int* Items() { return items_; }
  const int* Items() const { return items_; }
  // Whether the items still live in the inline buffer.
  bool IsInline() const { return items_ == inline_; }

  // REQUIRES: 0 <= i < GetSize().
  int& operator[](int i) {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  const int& operator[](int i) const {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  int* begin() { return items_; }
  int* end() { return items_ + count_; }
  const int* begin() const { return items_; }
  const int* end() const { return items_ + count_; }

  // -2 for n < 0. Grows the storage to exactly n items when n exceeds the
  // capacity, keeping the items; 0.
  [[nodiscard]] int Reserve(int n);
  // -2 for n < 0 (nothing changes). Otherwise grows to exactly n when needed
  // and sets the count; new items are zero. 0.
  [[nodiscard]] int SetSize(int n);
  // Appends v, doubling the capacity when the array is full.
  void Add(int v);
  // Stores v at pos, later items move up one place; 0.
  // REQUIRES: 0 <= pos <= GetSize().
  int Insert(int pos, int v);
  // Empties the array; storage and capacity are kept.
  void Flush() { count_ = 0; }
  // Exchanges the contents of the two arrays.
  void Swap(VRN_intArray& other);
  // New item i = old item order[i]. -2 (nothing changes) unless order has
  // GetSize() entries forming a permutation of 0..GetSize()-1; 0.
  [[nodiscard]] int Permute(const VRN_intArray& order);
  [[nodiscard]] int PermuteRaw(const int* order, int n);

  // -2 when v is already present (nothing added); else appends v, 0.
  int AddUnique(int v);
  // Index of the first item equal to v; -2 when absent.
  int FindPosition(int v) const;
  bool Contains(int v) const { return FindPosition(v) >= 0; }
  // Removes the first item equal to v; -2 when absent; 0.
  int DeleteByContent(int v);
  // Equal counts and equal items position by position.
  bool operator==(const VRN_intArray& other) const;
  bool operator!=(const VRN_intArray& other) const { return !(*this == other); }
  // Item i equals i for every i (true when empty).
  bool IsIdentity() const;
  // Every value 0..count-1 occurs among the items (true when empty).
  bool IsPermutation() const;
  // Count n with items 0..n-1; a negative n changes nothing.
  void FillIdentity(int n);
  // Odometer step over coordinates (this array) bounded by sizes: increments
  // the last coordinate below its size - 1 and zeroes the later ones; 0.
  // -2 when sizes is empty or every coordinate is at its last value.
  // REQUIRES: GetSize() >= sizes.GetSize().
  int NextCoordinates(const VRN_intArray& sizes);

 private:
  friend struct qelta::ArrayOps;

  int inline_[kInlineCapacity];
  int* items_;
  int capacity_;
  int count_;
};

class VRN_doubleArray {
 public:
  static constexpr int kInlineCapacity = 4;

  VRN_doubleArray();
  VRN_doubleArray(const VRN_doubleArray& other);
  VRN_doubleArray& operator=(const VRN_doubleArray& other);
  ~VRN_doubleArray();

  int GetSize() const { return count_; }
  int GetCount() const { return count_; }
  int GetCapacity() const { return capacity_; }
  bool IsEmpty() const { return count_ == 0; }
  double* Items() { return items_; }
  const double* Items() const { return items_; }
  bool IsInline() const { return items_ == inline_; }

  // REQUIRES: 0 <= i < GetSize().
  double& operator[](int i) {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  const double& operator[](int i) const {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  double* begin() { return items_; }
  double* end() { return items_ + count_; }
  const double* begin() const { return items_; }
  const double* end() const { return items_ + count_; }

  // Same contracts as the VRN_intArray operations of the same names.
  [[nodiscard]] int Reserve(int n);
  [[nodiscard]] int SetSize(int n);
  void Add(double v);
  int Insert(int pos, double v);
  void Flush() { count_ = 0; }
  void Swap(VRN_doubleArray& other);
  // New item i = old item order[i]; -2 unless order is a permutation of
  // 0..GetSize()-1 with n == GetSize(); 0.
  [[nodiscard]] int Permute(const int* order, int n);

 private:
  friend struct qelta::ArrayOps;

  double inline_[kInlineCapacity];
  double* items_;
  int capacity_;
  int count_;
};

// Index of the first of the n items equal to v; -3 when absent or n < 1.
int VRN_FindInt(const int* items, int n, int v);
// True when each value 0..n-1 occurs among the n items; true for n < 1.
bool VRN_IsPermutation(const int* items, int n);

#endif  // QELTA_BASE_ARRAYS_H_
