#include "base/arrays.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "base/status.h"

namespace qelta {

// The two arrays share one layout (inline buffer, items, capacity, count), so
// their storage rules are written once here.
struct ArrayOps {
  // Heap block of exactly n items. Byte counts beyond 32 bits are refused
  // like any other allocation failure.
  template <typename T>
  static T* Allocate(int n) {
    if (static_cast<std::uint64_t>(n) * sizeof(T) > UINT32_MAX) {
      throw std::bad_alloc();
    }
    return new T[n];
  }

  template <class A>
  static void Init(A& a) {
    a.items_ = a.inline_;
    a.capacity_ = A::kInlineCapacity;
    a.count_ = 0;
  }

  template <class A>
  static void Release(A& a) {
    if (a.items_ != a.inline_) delete[] a.items_;
  }

  template <class A>
  static int Reserve(A& a, int n) {
    if (n < 0) return kErrOutOfRange;
    if (n <= a.capacity_) return kOk;
    auto* block = Allocate<std::remove_pointer_t<decltype(a.items_)>>(n);
    if (a.count_ > 0) std::memcpy(block, a.items_, sizeof(*block) * a.count_);
    Release(a);
    a.items_ = block;
    a.capacity_ = n;
    return kOk;
  }

  template <class A>
  static int DoubledCapacity(const A& a) {
    if (a.capacity_ > INT_MAX / 2) throw std::bad_alloc();
    return 2 * a.capacity_;
  }

  template <class A>
  static int SetSize(A& a, int n) {
    if (n < 0) return kErrOutOfRange;
    if (n > a.capacity_) {
      int status = Reserve(a, n);
      if (status != kOk) return status;
    }
    // New items are zeroed so that no caller ever reads indeterminate memory.
    if (n > a.count_) {
      std::memset(a.items_ + a.count_, 0, sizeof(*a.items_) * (n - a.count_));
    }
    a.count_ = n;
    return kOk;
  }

  template <class A, typename T>
  static void Add(A& a, T v) {
    if (a.count_ == a.capacity_) {
      int status = Reserve(a, DoubledCapacity(a));
      assert(status == kOk);
      (void)status;
    }
    a.items_[a.count_++] = v;
  }

  template <class A, typename T>
  static int Insert(A& a, int pos, T v) {
    if (pos < 0 || pos > a.count_) return kErrOutOfRange;
    if (pos == a.count_) {
      Add(a, v);
      return kOk;
    }
    if (a.count_ == a.capacity_) {
      // Grow and shift in one pass.
      const int capacity = DoubledCapacity(a);
      T* block = Allocate<T>(capacity);
      std::memcpy(block, a.items_, sizeof(T) * pos);
      std::memcpy(block + pos + 1, a.items_ + pos, sizeof(T) * (a.count_ - pos));
      Release(a);
      a.items_ = block;
      a.capacity_ = capacity;
    } else {
      std::memmove(a.items_ + pos + 1, a.items_ + pos,
                   sizeof(T) * (a.count_ - pos));
    }
    a.items_[pos] = v;
    ++a.count_;
    return kOk;
  }

  template <class A>
  static void CopyFrom(A& a, const A& source) {
    if (source.count_ > a.capacity_) {
      int status = Reserve(a, source.count_);
      assert(status == kOk);
      (void)status;
    }
    if (source.count_ > 0) {
      std::memcpy(a.items_, source.items_, sizeof(*a.items_) * source.count_);
    }
    a.count_ = source.count_;
  }

  template <class A>
  static void Swap(A& a, A& b) {
    if (&a == &b) return;
    const bool a_inline = a.items_ == a.inline_;
    const bool b_inline = b.items_ == b.inline_;
    if (!a_inline && !b_inline) {
      std::swap(a.items_, b.items_);
    } else if (a_inline && b_inline) {
      const int n = a.count_ > b.count_ ? a.count_ : b.count_;
      for (int i = 0; i < n; ++i) std::swap(a.inline_[i], b.inline_[i]);
    } else {
      A& inline_side = a_inline ? a : b;
      A& heap_side = a_inline ? b : a;
      std::memcpy(heap_side.inline_, inline_side.inline_,
                  sizeof(*a.items_) * inline_side.count_);
      inline_side.items_ = heap_side.items_;
      heap_side.items_ = heap_side.inline_;
    }
    std::swap(a.capacity_, b.capacity_);
    std::swap(a.count_, b.count_);
  }

  // new item i = old item order[i]; the storage is kept.
  template <class A>
  static int Permute(A& a, const int* order, int n) {
    if (n != a.count_ || !VRN_IsPermutation(order, n)) return kErrOutOfRange;
    if (n == 0) return kOk;
    A old(a);
    for (int i = 0; i < n; ++i) a.items_[i] = old.items_[order[i]];
    return kOk;
  }
};

}  // namespace qelta

using qelta::ArrayOps;

// ---------------------------------------------------------------- int array

VRN_intArray::VRN_intArray() { ArrayOps::Init(*this); }

VRN_intArray::VRN_intArray(int n) {
  ArrayOps::Init(*this);
  if (n < 0) return;
  int status = ArrayOps::SetSize(*this, n);
  assert(status == qelta::kOk);
  (void)status;
}

VRN_intArray::VRN_intArray(const VRN_intArray& other) {
  ArrayOps::Init(*this);
  ArrayOps::CopyFrom(*this, other);
}

VRN_intArray& VRN_intArray::operator=(const VRN_intArray& other) {
  if (this != &other) ArrayOps::CopyFrom(*this, other);
  return *this;
}

VRN_intArray::~VRN_intArray() { ArrayOps::Release(*this); }

int VRN_intArray::Reserve(int n) { return ArrayOps::Reserve(*this, n); }

int VRN_intArray::SetSize(int n) { return ArrayOps::SetSize(*this, n); }

void VRN_intArray::Add(int v) { ArrayOps::Add(*this, v); }

int VRN_intArray::Insert(int pos, int v) {
  return ArrayOps::Insert(*this, pos, v);
}

void VRN_intArray::Swap(VRN_intArray& other) { ArrayOps::Swap(*this, other); }

int VRN_intArray::Permute(const VRN_intArray& order) {
  return ArrayOps::Permute(*this, order.items_, order.count_);
}

int VRN_intArray::PermuteRaw(const int* order, int n) {
  return ArrayOps::Permute(*this, order, n);
}

int VRN_intArray::AddUnique(int v) {
  if (Contains(v)) return qelta::kErrOutOfRange;
  Add(v);
  return qelta::kOk;
}

int VRN_intArray::FindPosition(int v) const {
  for (int i = 0; i < count_; ++i) {
    if (items_[i] == v) return i;
  }
  return qelta::kErrOutOfRange;
}

int VRN_intArray::DeleteByContent(int v) {
  const int pos = FindPosition(v);
  if (pos < 0) return qelta::kErrOutOfRange;
  std::memmove(items_ + pos, items_ + pos + 1,
               sizeof(int) * (count_ - pos - 1));
  --count_;
  return qelta::kOk;
}

bool VRN_intArray::operator==(const VRN_intArray& other) const {
  if (count_ != other.count_) return false;
  for (int i = 0; i < count_; ++i) {
    if (items_[i] != other.items_[i]) return false;
  }
  return true;
}

bool VRN_intArray::IsIdentity() const {
  for (int i = 0; i < count_; ++i) {
    if (items_[i] != i) return false;
  }
  return true;
}

bool VRN_intArray::IsPermutation() const {
  return VRN_IsPermutation(items_, count_);
}

void VRN_intArray::FillIdentity(int n) {
  if (n < 0) return;
  int status = SetSize(n);
  assert(status == qelta::kOk);
  (void)status;
  for (int i = 0; i < n; ++i) items_[i] = i;
}

int VRN_intArray::NextCoordinates(const VRN_intArray& sizes) {
  const int n = sizes.count_;
  assert(count_ >= n);
  for (int i = n - 1; i >= 0; --i) {
    if (items_[i] < sizes.items_[i] - 1) {
      ++items_[i];
      for (int j = i + 1; j < n; ++j) items_[j] = 0;
      return qelta::kOk;
    }
  }
  return qelta::kErrOutOfRange;
}

// ------------------------------------------------------------- double array

VRN_doubleArray::VRN_doubleArray() { ArrayOps::Init(*this); }

VRN_doubleArray::VRN_doubleArray(const VRN_doubleArray& other) {
  ArrayOps::Init(*this);
  ArrayOps::CopyFrom(*this, other);
}

VRN_doubleArray& VRN_doubleArray::operator=(const VRN_doubleArray& other) {
  if (this != &other) ArrayOps::CopyFrom(*this, other);
  return *this;
}

VRN_doubleArray::~VRN_doubleArray() { ArrayOps::Release(*this); }

int VRN_doubleArray::Reserve(int n) { return ArrayOps::Reserve(*this, n); }

int VRN_doubleArray::SetSize(int n) { return ArrayOps::SetSize(*this, n); }

void VRN_doubleArray::Add(double v) { ArrayOps::Add(*this, v); }

int VRN_doubleArray::Insert(int pos, double v) {
  return ArrayOps::Insert(*this, pos, v);
}

void VRN_doubleArray::Swap(VRN_doubleArray& other) {
  ArrayOps::Swap(*this, other);
}

int VRN_doubleArray::Permute(const int* order, int n) {
  return ArrayOps::Permute(*this, order, n);
}

// --------------------------------------------------------- plain-array helpers

int VRN_FindInt(const int* items, int n, int v) {
  for (int i = 0; i < n; ++i) {
    if (items[i] == v) return i;
  }
  return qelta::kErrNoItem;
}

bool VRN_IsPermutation(const int* items, int n) {
  if (n < 1) return true;
  // Small orders are the rule (dimension and parent lists); mark them on the
  // stack and only go to the heap for long ones.
  constexpr int kStackMarks = 64;
  bool stack_marks[kStackMarks];
  bool* seen = n <= kStackMarks ? stack_marks : new bool[n];
  std::memset(seen, 0, sizeof(bool) * n);
  bool ok = true;
  for (int i = 0; i < n && ok; ++i) {
    const int v = items[i];
    if (v < 0 || v >= n || seen[v]) {
      ok = false;
    } else {
      seen[v] = true;
    }
  }
  if (seen != stack_marks) delete[] seen;
  return ok;
}
