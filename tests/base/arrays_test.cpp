#include "base/arrays.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/status.h"

namespace {

VRN_intArray Ints(std::vector<int> values) {
  VRN_intArray a;
  for (int v : values) a.Add(v);
  return a;
}

std::vector<int> Items(const VRN_intArray& a) {
  return std::vector<int>(a.begin(), a.end());
}

TEST(IntArrayTest, StartsInlineAndDoublesWhenFull) {
  VRN_intArray a;
  EXPECT_EQ(a.GetCapacity(), 8);
  EXPECT_EQ(a.GetSize(), 0);
  for (int i = 0; i < 8; ++i) a.Add(i);
  EXPECT_TRUE(a.IsInline());
  a.Add(8);
  EXPECT_FALSE(a.IsInline());
  EXPECT_EQ(a.GetCapacity(), 16);
  for (int i = 9; i < 17; ++i) a.Add(i);
  EXPECT_EQ(a.GetCapacity(), 32);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(a[i], i);
}

TEST(IntArrayTest, InsertGrowsByDoublingAndShifts) {
  VRN_intArray a;
  for (int i = 0; i < 8; ++i) a.Add(i * 10);
  EXPECT_EQ(a.Insert(3, 99), qelta::kOk);  // full: grows and shifts at once
  EXPECT_EQ(a.GetCapacity(), 16);
  EXPECT_EQ(Items(a), (std::vector<int>{0, 10, 20, 99, 30, 40, 50, 60, 70}));
  EXPECT_EQ(a.Insert(0, -1), qelta::kOk);
  EXPECT_EQ(a.Insert(a.GetSize(), 5), qelta::kOk);
  EXPECT_EQ(a[0], -1);
  EXPECT_EQ(a[a.GetSize() - 1], 5);
  // Outside 0..count nothing moves.
  const std::vector<int> before = Items(a);
  EXPECT_EQ(a.Insert(-1, 7), qelta::kErrOutOfRange);
  EXPECT_EQ(a.Insert(a.GetSize() + 1, 7), qelta::kErrOutOfRange);
  EXPECT_EQ(Items(a), before);
}

TEST(IntArrayTest, SizingAndCopiesTakeExactlyWhatIsAsked) {
  VRN_intArray a;
  EXPECT_EQ(a.Reserve(-1), qelta::kErrOutOfRange);
  EXPECT_EQ(a.SetSize(-3), qelta::kErrOutOfRange);
  a.Add(7);
  EXPECT_EQ(a.SetSize(20), qelta::kOk);
  EXPECT_EQ(a.GetCapacity(), 20);
  EXPECT_EQ(a[0], 7);
  EXPECT_EQ(VRN_intArray(-4).GetSize(), 0);
  for (int i = 0; i < 13; ++i) a.Add(i);  // capacity 40, 33 items
  VRN_intArray copy(a);
  EXPECT_EQ(copy.GetCapacity(), 33);
  EXPECT_TRUE(copy == a);
  copy[0] = 100;
  EXPECT_EQ(a[0], 7);
  VRN_intArray& self = copy;
  copy = self;
  EXPECT_EQ(copy[0], 100);
  EXPECT_EQ(copy.GetCapacity(), 33);
}

TEST(IntArrayTest, SearchAndDelete) {
  VRN_intArray empty;
  EXPECT_EQ(empty.FindPosition(1), qelta::kErrOutOfRange);
  EXPECT_EQ(VRN_FindInt(empty.Items(), 0, 1), qelta::kErrNoItem);

  VRN_intArray a = Ints({4, 5, 4, 6});
  EXPECT_EQ(a.FindPosition(4), 0);
  EXPECT_EQ(a.FindPosition(9), qelta::kErrOutOfRange);
  EXPECT_EQ(VRN_FindInt(a.Items(), a.GetSize(), 6), 3);
  EXPECT_EQ(VRN_FindInt(a.Items(), a.GetSize(), 9), qelta::kErrNoItem);
  EXPECT_TRUE(a.Contains(5));
  EXPECT_FALSE(a.Contains(7));
  EXPECT_EQ(a.AddUnique(5), qelta::kErrOutOfRange);
  EXPECT_EQ(a.AddUnique(7), qelta::kOk);
  EXPECT_EQ(a.DeleteByContent(4), qelta::kOk);
  EXPECT_EQ(Items(a), (std::vector<int>{5, 4, 6, 7}));
  EXPECT_EQ(a.DeleteByContent(9), qelta::kErrOutOfRange);
}

TEST(IntArrayTest, PermutationsAndIdentity) {
  VRN_intArray a = Ints({10, 20, 30});
  EXPECT_EQ(a.Permute(Ints({2, 0, 1})), qelta::kOk);
  EXPECT_EQ(Items(a), (std::vector<int>{30, 10, 20}));
  EXPECT_EQ(a.Permute(Ints({0, 0, 1})), qelta::kErrOutOfRange);
  EXPECT_EQ(a.Permute(Ints({0, 1})), qelta::kErrOutOfRange);
  EXPECT_EQ(Items(a), (std::vector<int>{30, 10, 20}));
  const int raw[] = {1, 2, 0};
  EXPECT_EQ(a.PermuteRaw(raw, 3), qelta::kOk);
  EXPECT_EQ(Items(a), (std::vector<int>{10, 20, 30}));

  EXPECT_TRUE(VRN_intArray().IsIdentity());
  EXPECT_TRUE(VRN_intArray().IsPermutation());
  EXPECT_TRUE(Ints({2, 0, 1}).IsPermutation());
  EXPECT_FALSE(Ints({2, 0, 3}).IsPermutation());
  EXPECT_FALSE(Ints({-1, 0}).IsPermutation());
  EXPECT_TRUE(VRN_IsPermutation(nullptr, 0));

  VRN_intArray id;
  id.FillIdentity(12);
  EXPECT_EQ(id.GetSize(), 12);
  EXPECT_EQ(id.GetCapacity(), 12);
  EXPECT_TRUE(id.IsIdentity());
  id.FillIdentity(-1);
  EXPECT_EQ(id.GetSize(), 12);
  EXPECT_FALSE(Ints({1, 0}).IsIdentity());

  // Long orders take the heap path of the permutation test.
  VRN_intArray big;
  for (int i = 99; i >= 0; --i) big.Add(i);
  EXPECT_TRUE(big.IsPermutation());
  big[5] = big[6];
  EXPECT_FALSE(big.IsPermutation());
}

TEST(IntArrayTest, SwapCoversInlineAndHeapStorage) {
  VRN_intArray small = Ints({1, 2, 3});
  VRN_intArray large;
  for (int i = 0; i < 20; ++i) large.Add(100 + i);
  const int* block = large.Items();
  small.Swap(large);
  EXPECT_EQ(small.Items(), block);
  EXPECT_EQ(small[19], 119);
  EXPECT_TRUE(large.IsInline());
  EXPECT_EQ(Items(large), (std::vector<int>{1, 2, 3}));
  VRN_intArray h1, h2;
  for (int i = 0; i < 10; ++i) h1.Add(i);
  for (int i = 0; i < 30; ++i) h2.Add(-i);
  h1.Swap(h2);
  EXPECT_EQ(h1.GetSize(), 30);
  EXPECT_EQ(h2.GetCapacity(), 16);
}

TEST(IntArrayTest, NextCoordinatesStepsLikeAnOdometer) {
  VRN_intArray sizes = Ints({2, 3});
  VRN_intArray c = Ints({0, 0});
  std::vector<std::vector<int>> seen{Items(c)};
  while (c.NextCoordinates(sizes) == qelta::kOk) seen.push_back(Items(c));
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[1], (std::vector<int>{0, 1}));
  EXPECT_EQ(seen[3], (std::vector<int>{1, 0}));
  EXPECT_EQ(Items(c), (std::vector<int>{1, 2}));
  EXPECT_EQ(c.NextCoordinates(VRN_intArray()), qelta::kErrOutOfRange);
}

TEST(DoubleArrayTest, GrowthInsertAndPermute) {
  VRN_doubleArray a;
  EXPECT_EQ(a.GetCapacity(), 4);
  for (int i = 0; i < 5; ++i) a.Add(i + 0.5);
  EXPECT_EQ(a.GetCapacity(), 8);
  EXPECT_EQ(a.Insert(1, -1.0), qelta::kOk);
  EXPECT_EQ(a[2], 1.5);
  VRN_doubleArray p;
  for (double v : {1.0, 2.0, 3.0}) p.Add(v);
  const int order[] = {2, 0, 1};
  const int bad[] = {0, 0, 1};
  EXPECT_EQ(p.Permute(bad, 3), qelta::kErrOutOfRange);
  EXPECT_EQ(p.Permute(order, 2), qelta::kErrOutOfRange);
  EXPECT_EQ(p.Permute(order, 3), qelta::kOk);
  EXPECT_EQ(std::vector<double>(p.begin(), p.end()),
            (std::vector<double>{3, 1, 2}));
}

TEST(ArrayAllocationTest, SizesBeyondThirtyTwoBitBytesAreRefused) {
  VRN_doubleArray a;
  EXPECT_THROW((void)a.Reserve(600000000), std::bad_alloc);
  EXPECT_EQ(a.GetCapacity(), 4);
  VRN_intArray b;
  EXPECT_THROW((void)b.SetSize(1100000000), std::bad_alloc);
  EXPECT_EQ(b.GetSize(), 0);
}

}  // namespace
