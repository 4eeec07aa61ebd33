#include "base/handle_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qelta {
namespace {

// An object that counts its deletions.
struct Counted {
  explicit Counted(std::atomic<int>* deleted) : deleted(deleted) {}
  ~Counted() { deleted->fetch_add(1); }
  std::atomic<int>* deleted;
};

TEST(HandleTableTest, UnknownStaleAndForgedHandlesFindNothing) {
  std::atomic<int> deleted{0};
  const ForeignHandle handle = RegisterObject(new Counted(&deleted));
  ASSERT_GT(handle, 0);
  for (ForeignHandle bad : {ForeignHandle{0}, ForeignHandle{-1}, handle + 1,
                            handle ^ (ForeignHandle{1} << 40),
                            ForeignHandle{INT64_MAX}, ForeignHandle{INT64_MIN}}) {
    EXPECT_EQ(AcquireObject(bad), nullptr) << bad;
    EXPECT_FALSE(CloseObject(bad)) << bad;
  }
  EXPECT_TRUE(CloseObject(handle));
  EXPECT_EQ(deleted.load(), 1);
  EXPECT_FALSE(CloseObject(handle));
  EXPECT_EQ(AcquireObject(handle), nullptr);
  // The slot is reused under a new generation; the old handle stays dead.
  const ForeignHandle next = RegisterObject(new Counted(&deleted));
  EXPECT_NE(next, handle);
  EXPECT_EQ(AcquireObject(handle), nullptr);
  EXPECT_TRUE(CloseObject(next));
  EXPECT_EQ(deleted.load(), 2);
}

TEST(HandleTableTest, CloseDuringACallDeletesWhenTheCallEnds) {
  std::atomic<int> deleted{0};
  const ForeignHandle handle = RegisterObject(new Counted(&deleted));
  {
    CallScope scope;
    void* object = CallScope::Acquire(handle);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(CallScope::Acquire(handle), object);  // counted once
    EXPECT_EQ(CallsInFlight(handle), 1);
    EXPECT_TRUE(CloseObject(handle));
    EXPECT_EQ(deleted.load(), 0);
    {
      CallScope inner;
      EXPECT_EQ(CallScope::Acquire(handle), nullptr);  // closed: refused
    }
    EXPECT_EQ(deleted.load(), 0);
  }
  EXPECT_EQ(deleted.load(), 1);
}

TEST(HandleTableTest, AcquiringOutsideAScopeIsRefused) {
  EXPECT_THROW(CallScope::Acquire(1), std::logic_error);
}

TEST(HandleTableTest, ClosingFromAnotherThreadNeverDeletesUnderACall) {
  constexpr int kRounds = 200;
  std::atomic<int> deleted{0};
  std::atomic<int> deleted_while_held{0};
  for (int round = 0; round < kRounds; ++round) {
    const ForeignHandle handle = RegisterObject(new Counted(&deleted));
    std::atomic<bool> go{false};
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t) {
      callers.emplace_back([&] {
        while (!go.load()) {
        }
        for (int i = 0; i < 200; ++i) {
          CallScope scope;
          auto* object = static_cast<Counted*>(CallScope::Acquire(handle));
          if (object == nullptr) return;
          const int before = deleted.load();
          // Touch the object: ASan reports a use after free here.
          if (object->deleted != &deleted || deleted.load() != before) {
            deleted_while_held.fetch_add(1);
          }
        }
      });
    }
    go.store(true);
    EXPECT_TRUE(CloseObject(handle));
    for (std::thread& t : callers) t.join();
    EXPECT_EQ(deleted.load(), round + 1);
  }
  EXPECT_EQ(deleted_while_held.load(), 0);
}

}  // namespace
}  // namespace qelta
