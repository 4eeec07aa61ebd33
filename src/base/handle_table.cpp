#include "base/handle_table.h"

#include <atomic>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

namespace qelta {

namespace {

// A slot's state word: generation in the high 32 bits, then the closed bit,
// then the calls in flight. A free slot keeps its last generation, closed,
// with no call in flight, so stale handles see it closed.
constexpr std::uint64_t kClosed = std::uint64_t{1} << 31;
constexpr std::uint64_t kCountMask = kClosed - 1;
constexpr std::uint32_t kMaxGeneration = 0x7fffffff;  // handles stay positive

constexpr int kChunkBits = 10;
constexpr std::uint32_t kChunkSize = 1u << kChunkBits;
constexpr std::uint32_t kMaxChunks = 1u << 16;

struct Slot {
  std::atomic<std::uint64_t> state{0};
  void* object = nullptr;
  ObjectDeleter deleter = nullptr;
};

// Chunks are allocated on demand and never freed, so a slot found through a
// handle is always readable, whatever happened to its object.
std::atomic<Slot*> g_chunks[kMaxChunks];

struct Allocator {
  std::mutex mutex;
  std::uint32_t used = 0;            // slots handed out at least once
  std::vector<std::uint32_t> free;   // capacity always >= used
};

Allocator& TheAllocator() {
  static Allocator* allocator = new Allocator();  // outlives static teardown
  return *allocator;
}

std::uint32_t GenerationOf(std::uint64_t word) {
  return static_cast<std::uint32_t>(word >> 32);
}

std::uint32_t GenerationOfHandle(ForeignHandle handle) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(handle) >> 32);
}

std::uint32_t IndexOfHandle(ForeignHandle handle) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(handle));
}

Slot* FindSlot(ForeignHandle handle) noexcept {
  if (handle <= 0) return nullptr;
  const std::uint32_t index = IndexOfHandle(handle);
  const std::uint32_t chunk = index >> kChunkBits;
  if (chunk >= kMaxChunks) return nullptr;
  Slot* slots = g_chunks[chunk].load(std::memory_order_acquire);
  if (slots == nullptr) return nullptr;
  return &slots[index & (kChunkSize - 1)];
}

// Deletes the object of a slot nobody can acquire any more and frees the
// slot. REQUIRES: the slot is closed with no call in flight.
void DestroyObject(ForeignHandle handle, Slot* slot) noexcept {
  void* object = slot->object;
  ObjectDeleter deleter = slot->deleter;
  slot->object = nullptr;
  deleter(object);
  Allocator& allocator = TheAllocator();
  std::lock_guard<std::mutex> lock(allocator.mutex);
  allocator.free.push_back(IndexOfHandle(handle));  // never reallocates
}

thread_local CallScope* t_scope = nullptr;

}  // namespace

ForeignHandle RegisterObject(void* object, ObjectDeleter deleter) {
  try {
    Allocator& allocator = TheAllocator();
    std::lock_guard<std::mutex> lock(allocator.mutex);
    std::uint32_t index;
    if (!allocator.free.empty()) {
      index = allocator.free.back();
      allocator.free.pop_back();
    } else {
      const std::uint32_t chunk = allocator.used >> kChunkBits;
      if (chunk >= kMaxChunks) throw std::bad_alloc();
      if (g_chunks[chunk].load(std::memory_order_relaxed) == nullptr) {
        // Reserve first, so that freeing a slot never allocates.
        allocator.free.reserve(static_cast<std::size_t>(chunk + 1) *
                               kChunkSize);
        g_chunks[chunk].store(new Slot[kChunkSize], std::memory_order_release);
      }
      index = allocator.used++;
    }
    Slot* slot = &g_chunks[index >> kChunkBits].load(
        std::memory_order_relaxed)[index & (kChunkSize - 1)];
    std::uint32_t generation =
        GenerationOf(slot->state.load(std::memory_order_relaxed)) + 1;
    if (generation > kMaxGeneration) generation = 1;
    slot->object = object;
    slot->deleter = deleter;
    slot->state.store(std::uint64_t{generation} << 32,
                      std::memory_order_release);
    return static_cast<ForeignHandle>((std::uint64_t{generation} << 32) |
                                      index);
  } catch (...) {
    deleter(object);
    throw std::bad_alloc();
  }
}

void* AcquireObject(ForeignHandle handle) noexcept {
  Slot* slot = FindSlot(handle);
  if (slot == nullptr) return nullptr;
  const std::uint32_t generation = GenerationOfHandle(handle);
  std::uint64_t state = slot->state.load(std::memory_order_relaxed);
  do {
    if (GenerationOf(state) != generation || (state & kClosed) != 0 ||
        (state & kCountMask) == kCountMask) {
      return nullptr;
    }
  } while (!slot->state.compare_exchange_weak(state, state + 1,
                                              std::memory_order_acquire,
                                              std::memory_order_relaxed));
  return slot->object;
}

void ReleaseObject(ForeignHandle handle) noexcept {
  Slot* slot = FindSlot(handle);
  const std::uint64_t before =
      slot->state.fetch_sub(1, std::memory_order_acq_rel);
  if ((before & kClosed) != 0 && (before & kCountMask) == 1) {
    DestroyObject(handle, slot);
  }
}

bool CloseObject(ForeignHandle handle) noexcept {
  Slot* slot = FindSlot(handle);
  if (slot == nullptr) return false;
  const std::uint32_t generation = GenerationOfHandle(handle);
  std::uint64_t state = slot->state.load(std::memory_order_relaxed);
  do {
    if (GenerationOf(state) != generation || (state & kClosed) != 0) {
      return false;
    }
  } while (!slot->state.compare_exchange_weak(state, state | kClosed,
                                              std::memory_order_acq_rel,
                                              std::memory_order_relaxed));
  if ((state & kCountMask) == 0) DestroyObject(handle, slot);
  return true;
}

int CallsInFlight(ForeignHandle handle) noexcept {
  Slot* slot = FindSlot(handle);
  if (slot == nullptr) return 0;
  const std::uint64_t state = slot->state.load(std::memory_order_acquire);
  if (GenerationOf(state) != GenerationOfHandle(handle)) return 0;
  return static_cast<int>(state & kCountMask);
}

CallScope::CallScope() noexcept : outer_(t_scope) { t_scope = this; }

CallScope::~CallScope() {
  for (int i = count_ - 1; i >= 0; --i) ReleaseObject(held_[i]);
  t_scope = outer_;
}

void* CallScope::Acquire(ForeignHandle handle) {
  CallScope* scope = t_scope;
  if (scope == nullptr) {
    throw std::logic_error("native object used outside a call scope");
  }
  for (int i = 0; i < scope->count_; ++i) {
    // Already counted: the object cannot go away before this scope ends.
    if (scope->held_[i] == handle) return FindSlot(handle)->object;
  }
  if (scope->count_ == kMaxHeld) {
    throw std::logic_error("too many native objects in one call");
  }
  void* object = AcquireObject(handle);
  if (object != nullptr) scope->held_[scope->count_++] = handle;
  return object;
}

}  // namespace qelta
