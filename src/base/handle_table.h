// The process-wide table of objects handed to a foreign owner (the Java
// side) as 64-bit handles, with a count of the calls in flight on each.
//
// A handle is not an address: it is a slot index and the slot's generation.
// Slots are never freed, only reused under a new generation, so a stale or
// forged handle is always safe to look up: it finds no object. This lets one
// thread close an object while another is still inside a call on it: the
// object lives until the last call in flight has ended, and whichever side
// ends last deletes it. Calls that begin after Close find no object.
//
// Ownership: Register takes the object; the table deletes it, through the
// deleter given, once the handle is closed and no call holds it.
//
// Thread use: every function may be called from any thread at any time.
// Acquire and Release take no lock (one compare-and-swap, one atomic
// decrement); Register and the final deletion take a mutex. The table
// protects the object's lifetime only: users of one object still take turns.
#ifndef QELTA_BASE_HANDLE_TABLE_H_
#define QELTA_BASE_HANDLE_TABLE_H_

#include <cstdint>
#include <memory>
#include <type_traits>

namespace qelta {

using ForeignHandle = std::int64_t;

// Deletes an object given as void*.
using ObjectDeleter = void (*)(void*);

template <typename T>
void DeleteAs(void* object) {
  delete static_cast<T*>(object);
}

// Stores object and answers its handle, never 0 and never negative. On
// failure (no memory, more than 2^32 - 1 live objects) deletes object and
// throws std::bad_alloc.
// REQUIRES: object != nullptr.
ForeignHandle RegisterObject(void* object, ObjectDeleter deleter);

template <typename T>
ForeignHandle RegisterObject(T* object) {
  static_assert(!std::is_void_v<T>, "the type decides how to delete it");
  return RegisterObject(static_cast<void*>(object), &DeleteAs<T>);
}

// The object of handle, counted as one more call in flight; null when the
// handle is 0, unknown, stale or closed. Every non-null answer must be
// matched by exactly one ReleaseObject.
void* AcquireObject(ForeignHandle handle) noexcept;

// Ends one call in flight on handle; deletes the object when the handle is
// closed and this was the last call.
// REQUIRES: a matching AcquireObject answered non-null.
void ReleaseObject(ForeignHandle handle) noexcept;

// Closes handle: later AcquireObject calls find nothing; the object is
// deleted now when no call is in flight, otherwise by the last one to end.
// Answers false (doing nothing) for 0 and for an unknown, stale or already
// closed handle.
bool CloseObject(ForeignHandle handle) noexcept;

// The calls in flight on handle; 0 for an unknown, stale or deleted one.
// For tests.
int CallsInFlight(ForeignHandle handle) noexcept;

// Records the objects acquired during one call from the foreign side and
// releases them when it ends. Scopes nest on a thread; an acquisition belongs
// to the innermost. An object acquired twice in one scope is counted once.
//
// Thread use: a scope belongs to the thread that made it.
class CallScope {
 public:
  CallScope() noexcept;
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // AcquireObject(handle), released when the innermost scope of this thread
  // ends; null as AcquireObject answers. Throws std::logic_error when the
  // thread has no scope, or when a call holds more objects than a scope
  // keeps (kMaxHeld, far beyond any call's needs).
  static void* Acquire(ForeignHandle handle);

  static constexpr int kMaxHeld = 8;

 private:
  CallScope* outer_;
  int count_ = 0;
  ForeignHandle held_[kMaxHeld];
};

}  // namespace qelta

#endif  // QELTA_BASE_HANDLE_TABLE_H_
