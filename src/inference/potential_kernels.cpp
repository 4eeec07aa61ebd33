#include "inference/potential_kernels.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/status.h"

namespace {

using qelta::kEndlessRun;
using qelta::kMaxPotentialDimensions;
using qelta::kMaxStepEntries;

// Large tables are aligned for the widest vector loads; small ones take
// the allocator's own alignment, which is much cheaper to get.
constexpr std::size_t kCellAlignment = 64;
constexpr std::size_t kAlignedFrom = 4096;  // bytes

double* AllocateCells(uint32_t count) {
  std::size_t bytes = static_cast<std::size_t>(count) * sizeof(double);
  if (bytes < kAlignedFrom) return static_cast<double*>(std::malloc(bytes));
  bytes = (bytes + kCellAlignment - 1) / kCellAlignment * kCellAlignment;
  return static_cast<double*>(std::aligned_alloc(kCellAlignment, bytes));
}

// ---------------------------------------------------------------- walking
//
// The walk is split by the step of the fastest run, chosen once per call:
// 0 (one cell of the other table for the whole run), 1 (both contiguous) or
// any other constant. Each kernel supplies the work of one run.

enum class StepKind { kZero, kOne, kAny };

struct CopyRun {
  static constexpr bool kSums = false;
  template <StepKind K>
  void Run(double* __restrict dst, const double* __restrict src,
           std::size_t n, std::ptrdiff_t step) const {
    if constexpr (K == StepKind::kZero) {
      const double v = *src;
      for (std::size_t i = 0; i < n; ++i) dst[i] = v;
    } else if constexpr (K == StepKind::kOne) {
      for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    } else {
      for (std::size_t i = 0; i < n; ++i) dst[i] = src[i * step];
    }
  }
};

struct MultiplyRun {
  static constexpr bool kSums = false;
  template <StepKind K>
  void Run(double* __restrict dst, const double* __restrict src,
           std::size_t n, std::ptrdiff_t step) const {
    if constexpr (K == StepKind::kZero) {
      const double v = *src;
      for (std::size_t i = 0; i < n; ++i) dst[i] *= v;
    } else if constexpr (K == StepKind::kOne) {
      for (std::size_t i = 0; i < n; ++i) dst[i] *= src[i];
    } else {
      for (std::size_t i = 0; i < n; ++i) dst[i] *= src[i * step];
    }
  }
};

// Sums n cells with four partial sums so the additions overlap.
inline double SumCells(const double* __restrict src, std::size_t n) {
  double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    a0 += src[i];
    a1 += src[i + 1];
    a2 += src[i + 2];
    a3 += src[i + 3];
  }
  for (; i < n; ++i) a0 += src[i];
  return (a0 + a1) + (a2 + a3);
}

struct AddRun {
  static constexpr bool kSums = true;
  template <StepKind K>
  void Run(const double* __restrict src, double* __restrict dst,
           std::size_t n, std::ptrdiff_t step) const {
    if constexpr (K == StepKind::kZero) {
      *dst += SumCells(src, n);
    } else if constexpr (K == StepKind::kOne) {
      for (std::size_t i = 0; i < n; ++i) dst[i] += src[i];
    } else {
      for (std::size_t i = 0; i < n; ++i) dst[i * step] += src[i];
    }
  }
};

struct AddScaledRun {
  static constexpr bool kSums = true;
  double c;
  template <StepKind K>
  void Run(const double* __restrict src, double* __restrict dst,
           std::size_t n, std::ptrdiff_t step) const {
    if constexpr (K == StepKind::kZero) {
      // One division for the run: the quotient of the sum, not the sum
      // of the quotients (equal but for rounding).
      *dst += SumCells(src, n) / c;
    } else if constexpr (K == StepKind::kOne) {
      for (std::size_t i = 0; i < n; ++i) dst[i] += src[i] / c;
    } else {
      for (std::size_t i = 0; i < n; ++i) dst[i * step] += src[i] / c;
    }
  }
};

// Most runs of entry 0 whose starting offsets one walk tabulates.
constexpr std::size_t kMaxTabulatedRuns = 256;
// Most cells of a repeating block that a summing walk adds up on the stack.
constexpr std::size_t kMaxSummedBlock = 512;

// sums[i] = the sum over r < rows of src[r * width + i]. Eight columns at a
// time are held in registers, so no cell of sums waits on its own store.
void SumColumns(const double* __restrict src, std::size_t rows,
                std::size_t width, double* __restrict sums) {
  std::size_t i = 0;
  for (; i + 8 <= width; i += 8) {
    double a[8] = {};
    const double* row = src + i;
    for (std::size_t r = 0; r < rows; ++r, row += width) {
      for (int k = 0; k < 8; ++k) a[k] += row[k];
    }
    for (int k = 0; k < 8; ++k) sums[i + k] = a[k];
  }
  for (; i < width; ++i) {
    double a = 0.0;
    const double* cell = src + i;
    for (std::size_t r = 0; r < rows; ++r, cell += width) a += *cell;
    sums[i] = a;
  }
}

// Walks [w, w_end) in storage order while following `other` with the step
// list. The runs of entry 0 are grouped into blocks: entries 1 .. L-1 are
// played once per call into a table of the offsets at which each run of a
// block starts (at most kMaxTabulatedRuns), so the walk itself is a flat
// loop over runs and the carry over entries L, L+1, ... is paid once per
// block; when only the closing entry is left, every block starts at the
// same place and no carry is needed at all. N is the length of the fastest
// run when it is known at compile time (short runs are common: binary
// members), 0 otherwise. Positions in `other` are kept as offsets so no
// pointer ever leaves its table.
template <StepKind K, std::size_t N, class Op, class W, class O>
void WalkAs(W* w, W* const w_end, O* other, const VRN_stepList& steps,
            const Op& op) {
  const VRN_stepList::Entry* e = steps.entries;
  const int count = steps.count;
  const std::size_t run0 =
      N != 0 ? N : static_cast<std::size_t>(e[0].reset) + 1;
  const std::ptrdiff_t s0 = e[0].step;
  std::size_t left = static_cast<std::size_t>(w_end - w);
  if (count == 1) {
    // Entry 0 is the closing entry: one run to the end.
    op.template Run<K>(w, other, left < run0 ? left : run0, s0);
    return;
  }

  // Entries 1 .. last-1 go into the table while the block stays small.
  const int last = count - 1;
  std::size_t runs = 1;
  int tabulated = 1;
  while (tabulated < last) {
    const std::size_t r = static_cast<std::size_t>(e[tabulated].reset) + 1;
    if (runs * r > kMaxTabulatedRuns) break;
    runs *= r;
    ++tabulated;
  }
  std::ptrdiff_t start[kMaxTabulatedRuns];
  {
    uint32_t counter[kMaxStepEntries];
    for (int k = 1; k < tabulated; ++k) counter[k] = e[k].reset;
    std::ptrdiff_t p = 0;
    for (std::size_t j = 0; j < runs; ++j) {
      start[j] = p;
      p += static_cast<std::ptrdiff_t>(run0 - 1) * s0;
      int k = 1;
      while (k < tabulated && counter[k] == 0) {
        counter[k] = e[k].reset;
        ++k;
      }
      if (k < tabulated) {
        --counter[k];
        p += e[k].step;
      }
    }
  }
  const std::size_t block = runs * run0;
  // From the first cell of a block to its last cell.
  const std::ptrdiff_t block_last =
      start[runs - 1] + static_cast<std::ptrdiff_t>(run0 - 1) * s0;

  std::ptrdiff_t pos = 0;
  if (tabulated == last && e[last].reset == kEndlessRun) {
    // Only the closing entry is left: blocks repeat with a fixed shift
    // (none for the lists built here, whose closing entry rewinds).
    const std::ptrdiff_t shift = block_last + e[last].step;
    if constexpr (Op::kSums) {
      // Blocks that land on the same cells are added up first, column by
      // column, and the total is then scattered once.
      if (shift == 0 && block <= kMaxSummedBlock && left >= 2 * block) {
        double sums[kMaxSummedBlock];
        const std::size_t rows = left / block;
        SumColumns(w, rows, block, sums);
        for (std::size_t j = 0; j < runs; ++j) {
          op.template Run<K>(sums + j * run0, other + start[j], run0, s0);
        }
        w += rows * block;
        left -= rows * block;
      }
    }
    for (; left >= block; left -= block) {
      for (std::size_t j = 0; j < runs; ++j) {
        op.template Run<K>(w, other + pos + start[j], run0, s0);
        w += run0;
      }
      pos += shift;
    }
  } else {
    uint32_t remaining[kMaxStepEntries];
    for (int k = tabulated; k < count; ++k) remaining[k] = e[k].reset;
    while (left >= block) {
      for (std::size_t j = 0; j < runs; ++j) {
        op.template Run<K>(w, other + pos + start[j], run0, s0);
        w += run0;
      }
      left -= block;
      if (left == 0) return;
      pos += block_last;
      int k = tabulated;
      while (k < count && remaining[k] == 0) {
        remaining[k] = e[k].reset;
        ++k;
      }
      if (k == count) return;  // a list without closing entry is used up
      --remaining[k];
      pos += e[k].step;
    }
  }
  // Only a range shorter than the whole table ends inside a block.
  for (std::size_t j = 0; left > 0; ++j) {
    const std::size_t n = left < run0 ? left : run0;
    op.template Run<K>(w, other + pos + start[j], n, s0);
    w += n;
    left -= n;
  }
}

template <StepKind K, class Op, class W, class O>
void WalkWithKind(W* w, W* w_end, O* other, const VRN_stepList& steps,
                  const Op& op) {
  switch (steps.entries[0].reset) {
    case 1:
      WalkAs<K, 2>(w, w_end, other, steps, op);
      break;
    case 2:
      WalkAs<K, 3>(w, w_end, other, steps, op);
      break;
    case 3:
      WalkAs<K, 4>(w, w_end, other, steps, op);
      break;
    case 7:
      WalkAs<K, 8>(w, w_end, other, steps, op);
      break;
    default:
      WalkAs<K, 0>(w, w_end, other, steps, op);
      break;
  }
}

template <class Op, class W, class O>
void Walk(W* w, W* w_end, O* other, const VRN_stepList& steps,
          const Op& op) {
  assert(steps.count > 0);
  if (w >= w_end || steps.count <= 0) return;
  switch (steps.entries[0].step) {
    case 0:
      WalkWithKind<StepKind::kZero>(w, w_end, other, steps, op);
      break;
    case 1:
      WalkWithKind<StepKind::kOne>(w, w_end, other, steps, op);
      break;
    default:
      WalkWithKind<StepKind::kAny>(w, w_end, other, steps, op);
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------- potential

VRN_potential::~VRN_potential() { std::free(items_); }

VRN_potential::VRN_potential(VRN_potential&& other) noexcept { Swap(other); }

VRN_potential& VRN_potential::operator=(VRN_potential&& other) noexcept {
  if (this != &other) {
    Release();
    Swap(other);
  }
  return *this;
}

int VRN_potential::SetDimensions(int count, const int* sizes) {
  if (count < 1 || count > kMaxPotentialDimensions) {
    Release();
    return qelta::kErrOutOfRange;
  }
  uint64_t product = 1;
  for (int i = 0; i < count; ++i) {
    if (sizes[i] < 1) {
      Release();
      return qelta::kErrOutOfRange;
    }
    product *= static_cast<uint64_t>(sizes[i]);
    if (product > 0xFFFFFFFFull) {
      Release();
      return qelta::kErrOutOfMemory;
    }
  }
  const uint32_t size = static_cast<uint32_t>(product);
  if (size > capacity_) {
    std::free(items_);
    items_ = AllocateCells(size);
    if (items_ == nullptr) {
      size_ = capacity_ = 0;
      dimension_count_ = 0;
      return qelta::kErrOutOfMemory;
    }
    capacity_ = size;
  }
  size_ = size;
  dimension_count_ = count;
  std::memcpy(dimensions_, sizes, sizeof(int) * count);
  return qelta::kOk;
}

double VRN_potential::Sum() const { return SumCells(items_, size_); }

void VRN_potential::Swap(VRN_potential& other) noexcept {
  std::swap(items_, other.items_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
  std::swap(dimension_count_, other.dimension_count_);
  for (int i = 0; i < kMaxPotentialDimensions; ++i) {
    std::swap(dimensions_[i], other.dimensions_[i]);
  }
}

void VRN_potential::Fill(double value) {
  for (uint32_t i = 0; i < size_; ++i) items_[i] = value;
}

void VRN_potential::Release() {
  std::free(items_);
  items_ = nullptr;
  size_ = capacity_ = 0;
  dimension_count_ = 0;
}

// ---------------------------------------------------------------- step list

int VRN_stepList::Build(const VRN_potential& table, const int* table_members,
                        int table_member_count, const int* sub_members,
                        int sub_member_count) {
  Clear();
  if (table_member_count != table.dimension_count() ||
      table_member_count < 1 || sub_member_count < 1 ||
      sub_member_count > table_member_count) {
    return qelta::kErrOutOfRange;
  }
  // The sub-table's strides, first sub-list member fastest; members the
  // sub-list skips do not move its pointer.
  std::ptrdiff_t strides[kMaxPotentialDimensions];
  std::ptrdiff_t covered = 1;
  int j = 0;
  for (int i = 0; i < table_member_count; ++i) {
    if (j < sub_member_count && table_members[i] == sub_members[j]) {
      strides[i] = covered;
      covered *= table.dimension(i);
      ++j;
    } else {
      strides[i] = 0;
    }
  }
  if (j != sub_member_count) return qelta::kErrOutOfRange;
  return BuildStrided(table_member_count, table.dimensions(), strides);
}

int VRN_stepList::BuildStrided(int dimension_count, const int* sizes,
                               const std::ptrdiff_t* strides) {
  Clear();
  if (dimension_count < 1 || dimension_count > kMaxPotentialDimensions) {
    return qelta::kErrOutOfRange;
  }
  uint64_t cells = 1;
  for (int i = 0; i < dimension_count; ++i) {
    if (sizes[i] < 1 || strides[i] > INT32_MAX || strides[i] < -INT32_MAX) {
      return qelta::kErrOutOfRange;
    }
    cells *= static_cast<uint64_t>(sizes[i]);
    if (cells > 0xFFFFFFFFull) return qelta::kErrOutOfRange;
  }
  // back: offset of the cell reached when every entry built so far stands
  // at its last index; carrying into the next entry first undoes it.
  int64_t back = 0;
  int n = 0;
  bool open = false;
  uint64_t run = 0;     // cells of the open entry
  int64_t stride = 0;   // its constant step
  auto close = [&]() -> bool {
    const int64_t step = stride - back;
    if (step > INT32_MAX || step < INT32_MIN) return false;
    entries[n].remaining = static_cast<uint32_t>(run - 1);
    entries[n].reset = static_cast<uint32_t>(run - 1);
    entries[n].step = static_cast<int32_t>(step);
    ++n;
    back += static_cast<int64_t>(run - 1) * stride;
    return true;
  };
  for (int i = 0; i < dimension_count; ++i) {
    if (sizes[i] == 1) continue;
    const int64_t s = strides[i];
    if (open && s == static_cast<int64_t>(run) * stride) {
      run *= static_cast<uint64_t>(sizes[i]);
      continue;
    }
    if (open && !close()) {
      Clear();
      return qelta::kErrOutOfRange;
    }
    open = true;
    run = static_cast<uint64_t>(sizes[i]);
    stride = s;
  }
  // A trailing entry that does not move the pointer is left to the closing
  // entry, which rewinds to the block start for each of its cells anyway.
  if (open && stride != 0 && !close()) {
    Clear();
    return qelta::kErrOutOfRange;
  }
  if (-back < INT32_MIN) {
    Clear();
    return qelta::kErrOutOfRange;
  }
  entries[n].remaining = kEndlessRun;
  entries[n].reset = kEndlessRun;
  entries[n].step = static_cast<int32_t>(-back);
  count = n + 1;
  return qelta::kOk;
}

// ---------------------------------------------------------------- kernels

void VRN_GatherCopy(double* dst, double* dst_end, const double* src,
                    const VRN_stepList& steps) {
  Walk(dst, dst_end, src, steps, CopyRun{});
}

void VRN_GatherMultiply(double* dst, double* dst_end, const double* src,
                        const VRN_stepList& steps) {
  Walk(dst, dst_end, src, steps, MultiplyRun{});
}

void VRN_ScatterAdd(double* dst, const double* src, const double* src_end,
                    const VRN_stepList& steps) {
  Walk(src, src_end, dst, steps, AddRun{});
}

void VRN_ScatterAddScaled(double* dst, const double* src,
                          const double* src_end, double c,
                          const VRN_stepList& steps) {
  Walk(src, src_end, dst, steps, AddScaledRun{c});
}
