#include "base/matrix.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/status.h"

using qelta::kErrInvalidValue;
using qelta::kErrOutOfMemory;
using qelta::kErrOutOfRange;
using qelta::kOk;

namespace qelta {
namespace {

// Product of the sizes when it fits a positive int, else -1.
int ItemCountOf(const int* sizes, int n) {
  std::int64_t product = 1;
  for (int i = 0; i < n; ++i) {
    product *= sizes[i];
    if (product > INT_MAX) return -1;
  }
  return static_cast<int>(product);
}

// Visits every position of the box sizes[0..n-1] in odometer order (last
// fastest), keeping three linear indices in step: stream k starts at base[k]
// and moves by strides_k[i] when coordinate i moves by one. f(a, b, c)
// answers false to stop the walk. Only the carry counter is allocated (inline
// up to 9 dimensions), never anything per position.
template <class F>
void WalkBox(int n, const int* sizes, const int* sa, const int* sb,
             const int* sc, int a, int b, int c, F&& f) {
  if (n == 0) {
    f(a, b, c);
    return;
  }
  const int last = n - 1;
  const int len = sizes[last];
  const int la = sa[last], lb = sb[last], lc = sc[last];
  VRN_intArray counter(last);
  int* count = counter.Items();
  for (;;) {
    int ia = a, ib = b, ic = c;
    for (int k = 0; k < len; ++k, ia += la, ib += lb, ic += lc) {
      if (!f(ia, ib, ic)) return;
    }
    int i = last - 1;
    for (; i >= 0; --i) {
      if (++count[i] < sizes[i]) {
        a += sa[i];
        b += sb[i];
        c += sc[i];
        break;
      }
      count[i] = 0;
      a -= (sizes[i] - 1) * sa[i];
      b -= (sizes[i] - 1) * sb[i];
      c -= (sizes[i] - 1) * sc[i];
    }
    if (i < 0) return;
  }
}

// Strides of a last-fastest layout of the given sizes.
void ComputeStrides(const int* sizes, int n, int* strides) {
  int stride = 1;
  for (int i = n - 1; i >= 0; --i) {
    strides[i] = stride;
    stride *= sizes[i];
  }
}

void Resize(VRN_intArray& a, int n) {
  int status = a.SetSize(n);
  assert(status == kOk);
  (void)status;
}

// Removes entry i, later entries move down one place.
void RemoveAt(VRN_intArray& a, int i) {
  const int n = a.GetSize();
  int* p = a.Items();
  for (int k = i; k < n - 1; ++k) p[k] = p[k + 1];
  Resize(a, n - 1);
}

void Resize(VRN_doubleArray& a, int n) {
  int status = a.SetSize(n);
  assert(status == kOk);
  (void)status;
}

}  // namespace
}  // namespace qelta

using qelta::ComputeStrides;
using qelta::ItemCountOf;
using qelta::RemoveAt;
using qelta::Resize;
using qelta::WalkBox;

// ------------------------------------------------------------------ layout

VRN_matrix::VRN_matrix(const VRN_intArray& sizes) {
  int status = SetDimensions(sizes);
  (void)status;  // a refused size list leaves the matrix empty
}

VRN_matrix& VRN_matrix::operator=(const VRN_matrix& other) {
  if (this == &other) return *this;
  dimensions_ = other.dimensions_;
  strides_ = other.strides_;
  items_ = other.items_;
  return *this;
}

void VRN_matrix::Clean() {
  dimensions_.Flush();
  strides_.Flush();
  items_.Flush();
}

void VRN_matrix::SwapContents(VRN_matrix& other) {
  dimensions_.Swap(other.dimensions_);
  strides_.Swap(other.strides_);
  items_.Swap(other.items_);
}

int VRN_matrix::OuterCount(int d) const {
  return items_.GetSize() / (dimensions_[d] * strides_[d]);
}

int VRN_matrix::SetDimensionSizes(const int* sizes, int n) {
  if (n < 0) return kErrOutOfRange;
  for (int i = 0; i < n; ++i) {
    if (sizes[i] < 1) return kErrOutOfRange;
  }
  return SetDimensionsRaw(sizes, n);
}

int VRN_matrix::SetDimensions(const VRN_intArray& sizes) {
  return SetDimensionSizes(sizes.Items(), sizes.GetSize());
}

int VRN_matrix::SetDimensionsRaw(const int* sizes, int n) {
  assert(n >= 0);
  const int count = ItemCountOf(sizes, n);
  Clean();
  if (count < 0) return kErrOutOfRange;
  if (n == 0) return kOk;
  Resize(dimensions_, n);
  std::memcpy(dimensions_.Items(), sizes, sizeof(int) * n);
  UpdateStrides();
  Resize(items_, count);
  return kOk;
}

int VRN_matrix::SetSingleDimension(int n) { return SetDimensionSizes(&n, 1); }

void VRN_matrix::UpdateStrides() {
  Resize(strides_, dimensions_.GetSize());
  ComputeStrides(dimensions_.Items(), dimensions_.GetSize(), strides_.Items());
}

int VRN_matrix::IndexToCoordinates(int i, VRN_intArray& coordinates) const {
  if (i < 0 || i >= items_.GetSize()) return kErrOutOfRange;
  const int n = dimensions_.GetSize();
  Resize(coordinates, n);
  for (int k = 0; k < n; ++k) {
    coordinates[k] = i / strides_[k];
    i %= strides_[k];
  }
  return kOk;
}

// ------------------------------------------------------ whole-table edits

void VRN_matrix::FillWith(double v) {
  double* p = items_.Items();
  const int n = items_.GetSize();
  for (int i = 0; i < n; ++i) p[i] = v;
}

void VRN_matrix::Multiply(double f) {
  double* p = items_.Items();
  const int n = items_.GetSize();
  for (int i = 0; i < n; ++i) p[i] *= f;
}

double VRN_matrix::GetLargestMagnitude() const {
  double largest = 0.0;
  for (double v : items_) {
    const double a = std::fabs(v);
    if (!(a <= largest)) largest = std::isnan(a) ? HUGE_VAL : a;
  }
  return largest;
}

int VRN_matrix::CopyItems(const VRN_matrix& other) {
  if (!HasSameDimensions(other)) return kErrInvalidValue;
  SetItemsFromBuffer(other.items_.Items());
  return kOk;
}

int VRN_matrix::SetItems(const VRN_doubleArray& items) {
  if (items.GetSize() != items_.GetSize()) return kErrInvalidValue;
  SetItemsFromBuffer(items.Items());
  return kOk;
}

int VRN_matrix::SetItemsFromVector(const std::vector<double>& items) {
  if (items.size() != static_cast<size_t>(items_.GetSize())) {
    return kErrInvalidValue;
  }
  SetItemsFromBuffer(items.data());
  return kOk;
}

void VRN_matrix::SetItemsFromBuffer(const double* p) {
  if (items_.GetSize() > 0 && p != items_.Items()) {
    std::memmove(items_.Items(), p, sizeof(double) * items_.GetSize());
  }
}

int VRN_matrix::SetSum(const VRN_matrix& a, const VRN_matrix& b) {
  if (!HasSameDimensions(a) || !HasSameDimensions(b)) return kErrOutOfRange;
  double* out = items_.Items();
  const double* pa = a.items_.Items();
  const double* pb = b.items_.Items();
  const int n = items_.GetSize();
  for (int i = 0; i < n; ++i) out[i] = pa[i] + pb[i];
  return kOk;
}

int VRN_matrix::Normalize() {
  const int n = dimensions_.GetSize();
  if (n == 0) return kOk;
  const int k = dimensions_[n - 1];
  const int runs = items_.GetSize() / k;
  double* p = items_.Items();
  for (int r = 0; r < runs; ++r, p += k) {
    double sum = 0.0;
    for (int j = 0; j < k; ++j) sum += p[j];
    if (sum == 1.0) continue;
    if (sum == 0.0) {
      const double uniform = 1.0 / k;
      for (int j = 0; j < k; ++j) p[j] = uniform;
    } else {
      for (int j = 0; j < k; ++j) p[j] /= sum;
    }
  }
  return kOk;
}

int VRN_matrix::AllEqualTo(double v, const VRN_intArray& fixed) const {
  const int n = dimensions_.GetSize();
  if (fixed.GetSize() < n) return kErrOutOfRange;
  // Free dimensions form the box to walk; fixed ones give the base offset.
  VRN_intArray sizes, strides;
  int base = 0;
  for (int i = 0; i < n; ++i) {
    const int f = fixed[i];
    if (f < 0) {
      sizes.Add(dimensions_[i]);
      strides.Add(strides_[i]);
    } else {
      if (f >= dimensions_[i]) return kErrOutOfRange;
      base += f * strides_[i];
    }
  }
  const double* p = items_.Items();
  bool equal = true;
  WalkBox(sizes.GetSize(), sizes.Items(), strides.Items(), strides.Items(),
          strides.Items(), base, 0, 0, [&](int a, int, int) {
            equal = p[a] == v;
            return equal;
          });
  return equal ? 1 : 0;
}

int VRN_matrix::AllEqualToAtPair(double v, int d1, int i1, int d2,
                                 int i2) const {
  const int n = dimensions_.GetSize();
  VRN_intArray fixed(n);
  for (int i = 0; i < n; ++i) fixed[i] = -1;
  if (d1 < 0 || d1 >= n || d2 < 0 || d2 >= n) return kErrOutOfRange;
  if (i1 < 0 || i2 < 0) return kErrOutOfRange;
  fixed[d1] = i1;
  fixed[d2] = i2;
  return AllEqualTo(v, fixed);
}

int VRN_matrix::ForcesOutcome(const VRN_intArray& fixed) const {
  const int n = dimensions_.GetSize();
  if (n == 0 || fixed.GetSize() < n) return kErrOutOfRange;
  const int s = fixed[n - 1];
  if (s < 0) return kErrOutOfRange;
  const int ones = AllEqualTo(1.0, fixed);
  if (ones != 1) return ones;
  VRN_intArray other(fixed);
  for (int j = 0; j < dimensions_[n - 1]; ++j) {
    if (j == s) continue;
    other[n - 1] = j;
    if (AllEqualTo(0.0, other) != 1) return 0;
  }
  return 1;
}

// ------------------------------------------------------- dimension edits

int VRN_matrix::InsertDimension(int pos, int size) {
  const int n = dimensions_.GetSize();
  if (pos < 0 || pos > n || size < 1) return kErrOutOfRange;
  if (n == 0) return SetSingleDimension(size);
  const std::int64_t new_count =
      static_cast<std::int64_t>(items_.GetSize()) * size;
  if (new_count > INT_MAX) return kErrOutOfMemory;
  // Old items split into outer blocks (dimensions before pos) of inner items
  // (dimensions from pos on); each block is repeated size times.
  const int inner = pos == n ? 1 : dimensions_[pos] * strides_[pos];
  const int outer = items_.GetSize() / inner;
  VRN_doubleArray fresh;
  Resize(fresh, static_cast<int>(new_count));
  const double* src = items_.Items();
  double* dst = fresh.Items();
  for (int o = 0; o < outer; ++o, src += inner) {
    for (int k = 0; k < size; ++k, dst += inner) {
      std::memcpy(dst, src, sizeof(double) * inner);
    }
  }
  int status = dimensions_.Insert(pos, size);
  (void)status;
  UpdateStrides();
  items_.Swap(fresh);
  return kOk;
}

int VRN_matrix::AddOutcome(int d) {
  if (d < 0 || d >= dimensions_.GetSize()) return kErrOutOfRange;
  const int size = dimensions_[d];
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  const std::int64_t new_count =
      static_cast<std::int64_t>(outer) * (size + 1) * inner;
  if (size == INT_MAX || new_count > INT_MAX) return kErrOutOfMemory;
  if (outer == 1) {
    // The new index is one block at the end: appended in place, so that
    // adding outcomes one by one costs amortised constant time per cell.
    for (int t = 0; t < inner; ++t) items_.Add(0.0);
    dimensions_[d] = size + 1;
    UpdateStrides();
    return kOk;
  }
  VRN_doubleArray fresh;
  Resize(fresh, static_cast<int>(new_count));  // zeroed: the new index is 0.0
  const int block = size * inner;
  const double* src = items_.Items();
  double* dst = fresh.Items();
  for (int o = 0; o < outer; ++o, src += block, dst += block + inner) {
    std::memcpy(dst, src, sizeof(double) * block);
  }
  dimensions_[d] = size + 1;
  UpdateStrides();
  items_.Swap(fresh);
  return kOk;
}

int VRN_matrix::ShiftOutcomesUpAndFill(int d, int i, double v) {
  if (d < 0 || d >= dimensions_.GetSize()) return kErrOutOfRange;
  const int size = dimensions_[d];
  if (i < 0 || i >= size) return kErrOutOfRange;
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  const int block = size * inner;
  double* base = items_.Items();
  for (int o = 0; o < outer; ++o, base += block) {
    double* at = base + i * inner;
    std::memmove(at + inner, at, sizeof(double) * (size - 1 - i) * inner);
    for (int t = 0; t < inner; ++t) at[t] = v;
  }
  return kOk;
}

int VRN_matrix::ShiftOutcomesDown(int d, int i) {
  if (d < 0 || d >= dimensions_.GetSize()) return kErrOutOfRange;
  const int size = dimensions_[d];
  if (i < 0 || i >= size) return kErrOutOfRange;
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  const int block = size * inner;
  double* base = items_.Items();
  for (int o = 0; o < outer; ++o, base += block) {
    double* at = base + i * inner;
    std::memmove(at, at + inner, sizeof(double) * (size - 1 - i) * inner);
    double* last = base + (size - 1) * inner;
    for (int t = 0; t < inner; ++t) last[t] = 0.0;
  }
  return kOk;
}

int VRN_matrix::RemoveLastOutcome(int d) {
  if (d < 0 || d >= dimensions_.GetSize()) return kErrOutOfRange;
  const int size = dimensions_[d];
  if (size < 2) return kErrOutOfRange;
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  const int kept = (size - 1) * inner;
  VRN_doubleArray fresh;
  Resize(fresh, outer * kept);
  const double* src = items_.Items();
  double* dst = fresh.Items();
  for (int o = 0; o < outer; ++o, src += kept + inner, dst += kept) {
    std::memcpy(dst, src, sizeof(double) * kept);
  }
  dimensions_[d] = size - 1;
  UpdateStrides();
  items_.Swap(fresh);
  return kOk;
}

int VRN_matrix::ChangeDimensionSize(int d, int size) {
  if (d < 0 || d >= dimensions_.GetSize() || size < 1) return kErrOutOfRange;
  if (dimensions_[d] == size) return kOk;
  VRN_intArray sizes(dimensions_);
  sizes[d] = size;
  if (ItemCountOf(sizes.Items(), sizes.GetSize()) < 0) return kErrOutOfMemory;
  return SetDimensionsRaw(sizes.Items(), sizes.GetSize());
}

int VRN_matrix::ChangeOrderOfDimensions(const VRN_intArray& order) {
  const int n = dimensions_.GetSize();
  if (order.GetSize() != n || !order.IsPermutation()) return kErrOutOfRange;
  if (order.IsIdentity()) return kOk;
  VRN_intArray sizes(n), source_strides(n);
  for (int i = 0; i < n; ++i) {
    sizes[i] = dimensions_[order[i]];
    source_strides[i] = strides_[order[i]];
  }
  VRN_intArray new_strides(n);
  ComputeStrides(sizes.Items(), n, new_strides.Items());
  VRN_doubleArray fresh;
  Resize(fresh, items_.GetSize());
  const double* src = items_.Items();
  double* dst = fresh.Items();
  WalkBox(n, sizes.Items(), source_strides.Items(), new_strides.Items(),
          new_strides.Items(), 0, 0, 0, [&](int a, int b, int) {
            dst[b] = src[a];
            return true;
          });
  dimensions_.Swap(sizes);
  strides_.Swap(new_strides);
  items_.Swap(fresh);
  return kOk;
}

int VRN_matrix::ChangeOrderWithinDimension(int d, const VRN_intArray& order) {
  if (d < 0 || d >= dimensions_.GetSize()) return kErrOutOfRange;
  const int size = dimensions_[d];
  if (order.GetSize() != size || !order.IsPermutation()) return kErrOutOfRange;
  if (order.IsIdentity()) return kOk;
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  const int block = size * inner;
  VRN_doubleArray fresh;
  Resize(fresh, items_.GetSize());
  const double* src = items_.Items();
  double* dst = fresh.Items();
  for (int o = 0; o < outer; ++o, src += block, dst += block) {
    for (int j = 0; j < size; ++j) {
      std::memcpy(dst + j * inner, src + order[j] * inner,
                  sizeof(double) * inner);
    }
  }
  items_.Swap(fresh);
  return kOk;
}

int VRN_matrix::ExtractSlice(int d, int i, VRN_matrix& out) const {
  const int n = dimensions_.GetSize();
  if (d < 0 || d >= n || i < 0 || i >= dimensions_[d]) return kErrOutOfRange;
  if (&out == this) return out.RemoveDimensionAt(d, i);
  if (n == 1) {
    out = *this;
    return kOk;
  }
  const int size = dimensions_[d];
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  VRN_intArray sizes(dimensions_);
  RemoveAt(sizes, d);
  VRN_matrix slice;
  slice.SetDimensionsRaw(sizes.Items(), sizes.GetSize());
  const double* src = items_.Items() + i * inner;
  double* dst = slice.items_.Items();
  for (int o = 0; o < outer; ++o, src += size * inner, dst += inner) {
    std::memcpy(dst, src, sizeof(double) * inner);
  }
  out.SwapContents(slice);
  return kOk;
}

int VRN_matrix::RemoveDimensionAt(int d, int i) {
  const int n = dimensions_.GetSize();
  if (d < 0 || d >= n || i < 0 || i >= dimensions_[d]) return kErrOutOfRange;
  if (n == 1) return kOk;
  VRN_matrix slice;
  int status = ExtractSlice(d, i, slice);
  if (status != kOk) return status;
  SwapContents(slice);
  return kOk;
}

int VRN_matrix::SumOutDimensionInto(int d, const VRN_doubleArray& weights,
                                    VRN_matrix& out) const {
  assert(&out != this);
  const int n = dimensions_.GetSize();
  if (d < 0 || d >= n) return kErrOutOfRange;
  const int size = dimensions_[d];
  if (weights.GetSize() != size || n == 1) return kErrOutOfRange;
  const int inner = strides_[d];
  const int outer = OuterCount(d);
  VRN_intArray sizes(dimensions_);
  RemoveAt(sizes, d);
  VRN_matrix result;
  result.SetDimensionsRaw(sizes.Items(), sizes.GetSize());  // zeroed
  const double* w = weights.Items();
  const double* src = items_.Items();
  double* dst = result.items_.Items();
  for (int o = 0; o < outer; ++o, dst += inner) {
    for (int k = 0; k < size; ++k, src += inner) {
      const double wk = w[k];
      for (int t = 0; t < inner; ++t) dst[t] += wk * src[t];
    }
  }
  out.SwapContents(result);
  return kOk;
}

int VRN_matrix::SumOutDimension(int d, const VRN_doubleArray& weights) {
  const int n = dimensions_.GetSize();
  if (d < 0 || d >= n || weights.GetSize() != dimensions_[d] || n == 1) {
    return kErrOutOfRange;
  }
  VRN_matrix result;
  int status = SumOutDimensionInto(d, weights, result);
  if (status != kOk) return status;
  SwapContents(result);
  return kOk;
}

int VRN_matrix::MultiplyAndSumOut(int d, const VRN_matrix& other,
                                  const VRN_intArray& map) {
  assert(&other != this);
  const int n = dimensions_.GetSize();
  const int m = other.GetDimensionCount();
  if (d < 0 || d >= n || map.GetSize() != m) return kErrOutOfRange;
  // Stride of other along each dimension of this matrix (0 where other has
  // no matching dimension).
  VRN_intArray other_strides(n);
  VRN_intArray matched(n);
  bool names_d = false;
  for (int j = 0; j < m; ++j) {
    const int t = map[j];
    if (t < 0 || t >= n || matched[t]) return kErrOutOfRange;
    if (other.dimensions_[j] != dimensions_[t]) return kErrOutOfRange;
    matched[t] = 1;
    other_strides[t] = other.strides_[j];
    if (t == d) names_d = true;
  }
  if (!names_d) return kErrOutOfRange;

  // Result layout: this matrix without d (a single cell for a 1-D matrix).
  VRN_intArray sizes(dimensions_);
  VRN_matrix result;
  if (n == 1) {
    sizes[0] = 1;
  } else {
    RemoveAt(sizes, d);
  }
  result.SetDimensionsRaw(sizes.Items(), sizes.GetSize());  // zeroed
  VRN_intArray result_strides(n);
  for (int i = 0, r = 0; i < n; ++i) {
    result_strides[i] = (i == d) ? 0 : result.strides_[r++];
  }
  const double* mine = items_.Items();
  const double* theirs = other.items_.Items();
  double* dst = result.items_.Items();
  WalkBox(n, dimensions_.Items(), strides_.Items(), other_strides.Items(),
          result_strides.Items(), 0, 0, 0, [&](int a, int b, int c) {
            dst[c] += mine[a] * theirs[b];
            return true;
          });
  SwapContents(result);
  return kOk;
}

int VRN_matrix::GetSubmatrix(const VRN_intArray& fixed, VRN_matrix& out) const {
  assert(&out != this);
  const int n = dimensions_.GetSize();
  if (fixed.GetSize() < n) return kErrOutOfRange;
  VRN_intArray sizes, source_strides;
  int base = 0;
  for (int i = 0; i < n; ++i) {
    const int f = fixed[i];
    if (f < 0) {
      sizes.Add(dimensions_[i]);
      source_strides.Add(strides_[i]);
    } else {
      if (f >= dimensions_[i]) return kErrOutOfRange;
      base += f * strides_[i];
    }
  }
  VRN_matrix result;
  if (n > 0 && sizes.IsEmpty()) {
    result.SetSingleDimension(1);
  } else {
    result.SetDimensionsRaw(sizes.Items(), sizes.GetSize());
  }
  const double* src = items_.Items();
  double* dst = result.items_.Items();
  if (n > 0) {
    WalkBox(sizes.GetSize(), sizes.Items(), source_strides.Items(),
            result.strides_.Items(), result.strides_.Items(), base, 0, 0,
            [&](int a, int b, int) {
              dst[b] = src[a];
              return true;
            });
  }
  out.SwapContents(result);
  return kOk;
}

// ------------------------------------------------------------ coordinates

VRN_coordinates::VRN_coordinates(const VRN_matrix& matrix)
    : coordinates_(matrix.GetDimensionCount()),
      locks_(matrix.GetDimensionCount()) {}

void VRN_coordinates::UnlockAll() {
  for (int& lock : locks_) lock = 0;
}

void VRN_coordinates::GoFirst() {
  index_ = 0;
  const int n = coordinates_.GetSize();
  for (int i = 0; i < n; ++i) {
    if (!locks_[i]) coordinates_[i] = 0;
  }
}

void VRN_coordinates::GoTo(const VRN_matrix& matrix, int i) {
  int status = matrix.IndexToCoordinates(i, coordinates_);
  assert(status == kOk);
  (void)status;
  index_ = i;
}

int VRN_coordinates::UpdateIndex(const VRN_matrix& matrix) {
  const int n = coordinates_.GetSize();
  assert(n == matrix.GetDimensionCount());
  for (int i = 0; i < n; ++i) {
    if (coordinates_[i] < 0 || coordinates_[i] >= matrix.GetSize(i)) {
      GoFirst();
      return kErrOutOfRange;
    }
  }
  index_ = matrix.CoordinatesToIndex(coordinates_);
  return kOk;
}

int VRN_coordinates::Next(const VRN_matrix& matrix) {
  const int n = coordinates_.GetSize();
  assert(n == matrix.GetDimensionCount());
  const int* sizes = matrix.GetDimensions().Items();
  int* c = coordinates_.Items();
  const int* locked = locks_.Items();
  int i = n - 1;
  while (i >= 0 && (locked[i] || c[i] >= sizes[i] - 1)) --i;
  if (i < 0) return kErrOutOfRange;
  ++c[i];
  for (int j = i + 1; j < n; ++j) {
    if (!locked[j]) c[j] = 0;
  }
  index_ = matrix.CoordinatesToIndexFromInts(c);
  return kOk;
}
