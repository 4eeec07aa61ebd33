#include "base/matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include "base/status.h"

namespace {

using Coords = std::vector<int>;

VRN_intArray Ints(const std::vector<int>& values) {
  VRN_intArray a;
  for (int v : values) a.Add(v);
  return a;
}

VRN_doubleArray Doubles(const std::vector<double>& values) {
  VRN_doubleArray a;
  for (double v : values) a.Add(v);
  return a;
}

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

std::vector<int> Dims(const VRN_matrix& m) {
  return std::vector<int>(m.GetDimensions().begin(), m.GetDimensions().end());
}

// Reference model: a table addressed by coordinate vectors only, written
// independently of strides.
struct Table {
  std::vector<int> dims;
  std::vector<double> items;

  int Index(const Coords& c) const {
    int index = 0;
    for (size_t i = 0; i < dims.size(); ++i) index = index * dims[i] + c[i];
    return index;
  }
  double At(const Coords& c) const { return items[Index(c)]; }
};

void ForEachCoord(const std::vector<int>& dims,
                  const std::function<void(const Coords&)>& f) {
  Coords c(dims.size(), 0);
  for (;;) {
    f(c);
    int i = static_cast<int>(dims.size()) - 1;
    while (i >= 0 && c[i] == dims[i] - 1) c[i--] = 0;
    if (i < 0) return;
    ++c[i];
  }
}

Table MakeTable(const std::vector<int>& dims) {
  Table t{dims, {}};
  ForEachCoord(dims, [&](const Coords&) { t.items.push_back(0.0); });
  return t;
}

// The table of shape dims whose item at c is at(c).
Table Build(const std::vector<int>& dims,
            const std::function<double(Coords)>& at) {
  Table t{dims, {}};
  ForEachCoord(dims, [&](const Coords& c) { t.items.push_back(at(c)); });
  return t;
}

class RandomShapes : public ::testing::Test {
 protected:
  std::vector<int> RandomDims(int min_dims, int max_dims) {
    std::vector<int> dims(Uniform(min_dims, max_dims));
    for (int& d : dims) d = Uniform(1, 4);
    return dims;
  }
  int Uniform(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng_);
  }
  // A random matrix and the same table in the reference model.
  void Fill(const std::vector<int>& dims, VRN_matrix& m, Table& t) {
    ASSERT_EQ(m.SetDimensions(Ints(dims)), qelta::kOk);
    t = MakeTable(dims);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (double& v : t.items) v = value(rng_);
    ASSERT_EQ(m.SetItemsFromVector(t.items), qelta::kOk);
  }
  void ExpectSame(const VRN_matrix& m, const Table& t) {
    ASSERT_EQ(Dims(m), t.dims);
    ASSERT_EQ(m.GetItemCount(), static_cast<int>(t.items.size()));
    ForEachCoord(t.dims, [&](const Coords& c) {
      EXPECT_NEAR(m.Element(Ints(c)), t.At(c), 1e-12);
    });
  }

  std::mt19937 rng_{20240611u};
};

constexpr int kRounds = 200;

TEST(MatrixTest, LayoutStridesAndIndexing) {
  VRN_matrix m(Ints({2, 3}));
  EXPECT_EQ(m.GetStrides()[0], 3);
  EXPECT_EQ(m.CoordinatesToIndex(Ints({1, 2})), 5);
  const int raw[] = {1, 1};
  EXPECT_EQ(m.CoordinatesToIndexFromInts(raw), 4);
  const int a = 1, b = 0;
  const int* pointers[] = {&a, &b};
  EXPECT_EQ(m.CoordinatesToIndexFromPointers(pointers), 3);
  VRN_intArray c;
  EXPECT_EQ(m.IndexToCoordinates(5, c), qelta::kOk);
  EXPECT_TRUE(c == Ints({1, 2}));
  EXPECT_EQ(m.IndexToCoordinates(6, c), qelta::kErrOutOfRange);
  EXPECT_EQ(m.IndexToCoordinates(-1, c), qelta::kErrOutOfRange);
  *m.ElementAddress(Ints({0, 1})) = 7.5;
  EXPECT_EQ(m.GetItem(1), 7.5);
}

TEST(MatrixTest, SetDimensionSizesRefusesBadSizes) {
  VRN_matrix m;
  const int zero[] = {2, 0};
  EXPECT_EQ(m.SetDimensionSizes(zero, 2), qelta::kErrOutOfRange);
  EXPECT_TRUE(m.IsEmpty());
  const int ok[] = {3, 2};
  EXPECT_EQ(m.SetDimensionSizes(ok, -1), qelta::kErrOutOfRange);
  EXPECT_EQ(m.SetDimensionSizes(ok, 2), qelta::kOk);
  EXPECT_EQ(m.GetItemCount(), 6);
  EXPECT_EQ(m.SetDimensionSizes(ok, 0), qelta::kOk);
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_EQ(m.GetItemCount(), 0);
  // An item count beyond int is refused and leaves no half-built layout.
  const int huge[] = {65536, 65536};
  EXPECT_EQ(m.SetDimensionSizes(huge, 2), qelta::kErrOutOfRange);
  EXPECT_EQ(m.GetItemCount(), 0);
  EXPECT_EQ(m.GetDimensionCount(), 0);
  VRN_matrix refused(Ints({2, 0}));
  EXPECT_TRUE(refused.IsEmpty());
  EXPECT_EQ(m.SetSingleDimension(4), qelta::kOk);
  EXPECT_EQ(Dims(m), (std::vector<int>{4}));
  EXPECT_EQ(m.SetSingleDimension(0), qelta::kErrOutOfRange);
}

TEST(MatrixTest, WholeTableOperationsCheckTheShapes) {
  VRN_matrix m(Ints({2, 2}));
  m.FillWith(2.0);
  m.Multiply(1.5);
  VRN_matrix other(Ints({2, 2}));
  ASSERT_EQ(other.SetItemsFromVector({1, 2, 3, 4}), qelta::kOk);
  EXPECT_EQ(m.SetItemsFromVector({1, 2}), qelta::kErrInvalidValue);
  EXPECT_EQ(m.SetItems(Doubles({1, 2, 3})), qelta::kErrInvalidValue);
  VRN_matrix wrong(Ints({4}));
  EXPECT_EQ(m.CopyItems(wrong), qelta::kErrInvalidValue);
  EXPECT_EQ(m.SetSum(m, wrong), qelta::kErrOutOfRange);
  EXPECT_EQ(m.SetSum(m, other), qelta::kOk);
  EXPECT_EQ(Items(m), (std::vector<double>{4, 5, 6, 7}));
  VRN_matrix copy(m);
  copy.FillWith(0.0);
  EXPECT_EQ(m.GetItem(0), 4.0);
  m.Clean();
  EXPECT_EQ(m.GetItemCount(), 0);
}

TEST(MatrixTest, NormalizeLeavesRunsSummingToOneAlone) {
  VRN_matrix m(Ints({2, 2}));
  ASSERT_EQ(m.SetItemsFromVector({0.25, 0.75, 0, 0}), qelta::kOk);
  EXPECT_EQ(m.Normalize(), qelta::kOk);
  EXPECT_EQ(Items(m), (std::vector<double>{0.25, 0.75, 0.5, 0.5}));
  VRN_matrix empty;
  EXPECT_EQ(empty.Normalize(), qelta::kOk);
}

TEST(MatrixTest, AllEqualToSelectsTheFixedSlice) {
  VRN_matrix m(Ints({2, 3}));
  ASSERT_EQ(m.SetItemsFromVector({5, 5, 5, 5, 1, 5}), qelta::kOk);
  EXPECT_EQ(m.AllEqualTo(5.0, Ints({0, -1})), 1);
  EXPECT_EQ(m.AllEqualTo(5.0, Ints({1, -1})), 0);
  EXPECT_EQ(m.AllEqualTo(5.0, Ints({-1, 2})), 1);
  EXPECT_EQ(m.AllEqualTo(Ints({-1, -1}), 5.0), 0);
  EXPECT_EQ(m.AllEqualTo(1.0, Ints({1, 1})), 1);
  EXPECT_EQ(m.AllEqualTo(5.0, Ints({0})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.AllEqualTo(5.0, Ints({2, -1})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.AllEqualToAtPair(5.0, 0, 1, 1, 2), 1);
  EXPECT_EQ(m.AllEqualToAtPair(5.0, 0, 1, 1, 1), 0);
  EXPECT_EQ(m.AllEqualToAtPair(5.0, 0, 1, 2, 0), qelta::kErrOutOfRange);
}

TEST(MatrixTest, InsertDimensionRefusesBadPlacesAndSizes) {
  VRN_matrix m(Ints({2}));
  EXPECT_EQ(m.InsertDimension(2, 2), qelta::kErrOutOfRange);
  EXPECT_EQ(m.InsertDimension(0, 0), qelta::kErrOutOfRange);
  VRN_matrix empty;
  EXPECT_EQ(empty.InsertDimensionAtEnd(3), qelta::kOk);
  EXPECT_EQ(Dims(empty), (std::vector<int>{3}));
  VRN_matrix big(Ints({46341}));
  EXPECT_EQ(big.InsertDimension(0, 46341), qelta::kErrOutOfMemory);
  EXPECT_EQ(Dims(big), (std::vector<int>{46341}));
}

TEST_F(RandomShapes, InsertDimensionMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(1, 4), m, t);
    const int pos = Uniform(0, static_cast<int>(t.dims.size()));
    const int size = Uniform(1, 3);
    ASSERT_EQ(m.InsertDimension(pos, size), qelta::kOk);
    std::vector<int> dims = t.dims;
    dims.insert(dims.begin() + pos, size);
    ExpectSame(m, Build(dims, [&](Coords c) {
                 c.erase(c.begin() + pos);
                 return t.At(c);
               }));
  }
}

TEST_F(RandomShapes, OutcomeInsertAndRemoveMatchBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(1, 4), m, t);
    const int d = Uniform(0, static_cast<int>(t.dims.size()) - 1);
    const int at = Uniform(0, t.dims[d]);
    // Insert an outcome at index at of d, filled with 0.5.
    ASSERT_EQ(m.AddOutcome(d), qelta::kOk);
    ASSERT_EQ(m.ShiftOutcomesUpAndFill(d, at, 0.5), qelta::kOk);
    std::vector<int> grown = t.dims;
    ++grown[d];
    ExpectSame(m, Build(grown, [&](Coords c) {
                 if (c[d] == at) return 0.5;
                 if (c[d] > at) --c[d];
                 return t.At(c);
               }));
    // And remove it again.
    ASSERT_EQ(m.ShiftOutcomesDown(d, at), qelta::kOk);
    ASSERT_EQ(m.RemoveLastOutcome(d), qelta::kOk);
    ExpectSame(m, t);
  }
}

TEST(MatrixTest, OutcomeEditsRefuseBadIndices) {
  VRN_matrix m(Ints({2, 2}));
  EXPECT_EQ(m.AddOutcome(2), qelta::kErrOutOfRange);
  EXPECT_EQ(m.ShiftOutcomesUpAndFill(1, 3, 0.0), qelta::kErrOutOfRange);
  EXPECT_EQ(m.ShiftOutcomesDown(1, -1), qelta::kErrOutOfRange);
  VRN_matrix single(Ints({1, 3}));
  EXPECT_EQ(single.RemoveLastOutcome(0), qelta::kErrOutOfRange);
  EXPECT_EQ(single.RemoveLastOutcome(-1), qelta::kErrOutOfRange);
}

TEST(MatrixTest, ChangeDimensionSizeRebuildsLayout) {
  VRN_matrix m(Ints({2, 3}));
  EXPECT_EQ(m.ChangeDimensionSize(1, 5), qelta::kOk);
  EXPECT_EQ(Dims(m), (std::vector<int>{2, 5}));
  EXPECT_EQ(m.GetItemCount(), 10);
  EXPECT_EQ(m.GetStrides()[0], 5);
  EXPECT_EQ(m.ChangeDimensionSize(1, 0), qelta::kErrOutOfRange);
  EXPECT_EQ(m.ChangeDimensionSize(2, 1), qelta::kErrOutOfRange);
  EXPECT_EQ(m.ChangeDimensionSize(0, 1 << 30), qelta::kErrOutOfMemory);
  EXPECT_EQ(Dims(m), (std::vector<int>{2, 5}));
}

TEST_F(RandomShapes, ChangeOrderOfDimensionsMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(1, 5), m, t);
    const int n = static_cast<int>(t.dims.size());
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng_);
    ASSERT_EQ(m.ChangeOrderOfDimensions(Ints(order)), qelta::kOk);
    std::vector<int> dims(n);
    for (int i = 0; i < n; ++i) dims[i] = t.dims[order[i]];
    ExpectSame(m, Build(dims, [&](const Coords& c) {
                 Coords old(n);
                 for (int i = 0; i < n; ++i) old[order[i]] = c[i];
                 return t.At(old);
               }));
  }
  VRN_matrix m(Ints({2, 3}));
  EXPECT_EQ(m.ChangeOrderOfDimensions(Ints({0, 0})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.ChangeOrderOfDimensions(Ints({0})), qelta::kErrOutOfRange);
}

TEST_F(RandomShapes, ChangeOrderWithinDimensionMatchesBruteForce) {
  VRN_matrix row(Ints({3}));
  ASSERT_EQ(row.SetItemsFromVector({1, 2, 3}), qelta::kOk);
  EXPECT_EQ(row.InsertDimension(0, 1), qelta::kOk);
  EXPECT_EQ(row.ChangeOrderWithinDimension(1, Ints({2, 0, 1})), qelta::kOk);
  EXPECT_EQ(Items(row), (std::vector<double>{3, 1, 2}));
  EXPECT_EQ(row.ChangeOrderWithinDimension(1, Ints({0, 1})),
            qelta::kErrOutOfRange);
  EXPECT_EQ(row.ChangeOrderWithinDimension(1, Ints({0, 1, 1})),
            qelta::kErrOutOfRange);
  EXPECT_EQ(row.ChangeOrderWithinDimension(2, Ints({0})),
            qelta::kErrOutOfRange);

  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(1, 4), m, t);
    const int d = Uniform(0, static_cast<int>(t.dims.size()) - 1);
    std::vector<int> order(t.dims[d]);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng_);
    ASSERT_EQ(m.ChangeOrderWithinDimension(d, Ints(order)), qelta::kOk);
    ExpectSame(m, Build(t.dims, [&](Coords c) {
                 c[d] = order[c[d]];
                 return t.At(c);
               }));
  }
}

TEST_F(RandomShapes, SlicesMatchBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(2, 4), m, t);
    const int d = Uniform(0, static_cast<int>(t.dims.size()) - 1);
    const int at = Uniform(0, t.dims[d] - 1);
    std::vector<int> dims = t.dims;
    dims.erase(dims.begin() + d);
    const Table expected = Build(dims, [&](Coords c) {
      c.insert(c.begin() + d, at);
      return t.At(c);
    });
    VRN_matrix slice;
    ASSERT_EQ(m.ExtractSlice(d, at, slice), qelta::kOk);
    ExpectSame(slice, expected);
    ExpectSame(m, t);
    ASSERT_EQ(m.RemoveDimensionAt(d, at), qelta::kOk);
    ExpectSame(m, expected);
  }
  VRN_matrix one(Ints({3}));
  ASSERT_EQ(one.SetItemsFromVector({1, 2, 3}), qelta::kOk);
  EXPECT_EQ(one.RemoveDimension(0), qelta::kOk);
  EXPECT_EQ(Items(one), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(one.RemoveDimensionAt(0, 3), qelta::kErrOutOfRange);
  EXPECT_EQ(one.RemoveDimensionAt(1, 0), qelta::kErrOutOfRange);
}

TEST_F(RandomShapes, SubmatrixMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(1, 5), m, t);
    const int n = static_cast<int>(t.dims.size());
    std::vector<int> fixed(n);
    std::vector<int> dims;
    for (int i = 0; i < n; ++i) {
      fixed[i] = Uniform(0, 1) ? Uniform(0, t.dims[i] - 1) : -1;
      if (fixed[i] < 0) dims.push_back(t.dims[i]);
    }
    const bool all_fixed = dims.empty();
    if (all_fixed) dims.push_back(1);
    const Table expected = Build(dims, [&](const Coords& c) {
      Coords old(n);
      for (int i = 0, k = 0; i < n; ++i) old[i] = fixed[i] >= 0 ? fixed[i] : c[k++];
      return t.At(old);
    });
    VRN_matrix out;
    ASSERT_EQ(m.GetSubmatrix(Ints(fixed), out), qelta::kOk);
    ExpectSame(out, expected);
    // The selected slice is uniform exactly when AllEqualTo says so.
    const double first = expected.items[0];
    const bool uniform = std::all_of(expected.items.begin(),
                                     expected.items.end(),
                                     [&](double v) { return v == first; });
    EXPECT_EQ(m.AllEqualTo(first, Ints(fixed)), uniform ? 1 : 0);
  }
  VRN_matrix m(Ints({2, 2}));
  VRN_matrix out;
  EXPECT_EQ(m.GetSubmatrix(Ints({0}), out), qelta::kErrOutOfRange);
  EXPECT_EQ(m.GetSubmatrix(Ints({0, 2}), out), qelta::kErrOutOfRange);
}

TEST_F(RandomShapes, SumOutMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(2, 5), m, t);
    const int d = Uniform(0, static_cast<int>(t.dims.size()) - 1);
    std::vector<double> weights(t.dims[d]);
    for (double& w : weights) w = Uniform(0, 4) * 0.5;
    std::vector<int> dims = t.dims;
    dims.erase(dims.begin() + d);
    Table expected = MakeTable(dims);
    ForEachCoord(t.dims, [&](const Coords& c) {
      Coords kept = c;
      kept.erase(kept.begin() + d);
      expected.items[expected.Index(kept)] += weights[c[d]] * t.At(c);
    });
    VRN_matrix into;
    ASSERT_EQ(m.SumOutDimensionInto(d, Doubles(weights), into), qelta::kOk);
    ExpectSame(into, expected);
    ASSERT_EQ(m.SumOutDimension(d, Doubles(weights)), qelta::kOk);
    ExpectSame(m, expected);
  }
  // Nothing would be left of a one-dimensional matrix: refused, unchanged.
  VRN_matrix one(Ints({2}));
  ASSERT_EQ(one.SetItemsFromVector({1, 2}), qelta::kOk);
  EXPECT_EQ(one.SumOutDimension(0, Doubles({1, 1})), qelta::kErrOutOfRange);
  EXPECT_EQ(Items(one), (std::vector<double>{1, 2}));
  VRN_matrix untouched(Ints({3}));
  EXPECT_EQ(one.SumOutDimensionInto(0, Doubles({1, 1}), untouched),
            qelta::kErrOutOfRange);
  EXPECT_EQ(Dims(untouched), std::vector<int>{3});
  VRN_matrix two(Ints({2, 3}));
  EXPECT_EQ(two.SumOutDimension(2, Doubles({1})), qelta::kErrOutOfRange);
  EXPECT_EQ(two.SumOutDimension(1, Doubles({1, 1})), qelta::kErrOutOfRange);
}

TEST_F(RandomShapes, NormalizeMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    const std::vector<int> dims = RandomDims(1, 4);
    Table t = MakeTable(dims);
    // Non-negative items, with some runs all zero and some summing to 1.
    std::uniform_real_distribution<double> value(0.0, 2.0);
    const int k = dims.back();
    for (size_t start = 0; start < t.items.size(); start += k) {
      const int kind = Uniform(0, 3);
      for (int i = 0; i < k; ++i) {
        t.items[start + i] = kind == 0 ? 0.0 : value(rng_);
      }
      if (kind == 1) {
        for (int i = 0; i < k; ++i) t.items[start + i] = i == 0 ? 1.0 : 0.0;
      }
    }
    VRN_matrix m(Ints(dims));
    ASSERT_EQ(m.SetItemsFromVector(t.items), qelta::kOk);
    Table expected = t;
    for (size_t start = 0; start < t.items.size(); start += k) {
      double sum = 0.0;
      for (int i = 0; i < k; ++i) sum += t.items[start + i];
      for (int i = 0; i < k; ++i) {
        double& item = expected.items[start + i];
        if (sum == 0.0) {
          item = 1.0 / k;
        } else if (sum != 1.0) {
          item /= sum;
        }
      }
    }
    ASSERT_EQ(m.Normalize(), qelta::kOk);
    ExpectSame(m, expected);
  }
}

TEST_F(RandomShapes, MultiplyAndSumOutMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    VRN_matrix m;
    Table t;
    Fill(RandomDims(1, 5), m, t);
    const int n = static_cast<int>(t.dims.size());
    const int d = Uniform(0, n - 1);
    // other covers d and a random subset of the other dimensions, in a
    // random order.
    std::vector<int> map{d};
    for (int i = 0; i < n; ++i) {
      if (i != d && Uniform(0, 1)) map.push_back(i);
    }
    std::shuffle(map.begin(), map.end(), rng_);
    std::vector<int> other_dims;
    for (int target : map) other_dims.push_back(t.dims[target]);
    VRN_matrix other;
    Table o;
    Fill(other_dims, other, o);

    std::vector<int> dims = t.dims;
    if (n == 1) {
      dims = {1};
    } else {
      dims.erase(dims.begin() + d);
    }
    Table expected = MakeTable(dims);
    ForEachCoord(t.dims, [&](const Coords& c) {
      Coords projected;
      for (int target : map) projected.push_back(c[target]);
      Coords kept = c;
      if (n == 1) {
        kept = {0};
      } else {
        kept.erase(kept.begin() + d);
      }
      expected.items[expected.Index(kept)] += t.At(c) * o.At(projected);
    });
    ASSERT_EQ(m.MultiplyAndSumOut(d, other, Ints(map)), qelta::kOk);
    ExpectSame(m, expected);
  }
}

TEST(MatrixTest, MultiplyAndSumOutRefusesBadMaps) {
  VRN_matrix m(Ints({2, 3}));
  VRN_matrix other(Ints({3}));
  EXPECT_EQ(m.MultiplyAndSumOut(0, other, Ints({1})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.MultiplyAndSumOut(1, other, Ints({0})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.MultiplyAndSumOut(1, other, Ints({1, 0})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.MultiplyAndSumOut(2, other, Ints({1})), qelta::kErrOutOfRange);
  EXPECT_EQ(m.MultiplyAndSumOut(1, other, Ints({5})), qelta::kErrOutOfRange);
  VRN_matrix twice(Ints({3, 3}));
  VRN_matrix square(Ints({3, 3}));
  EXPECT_EQ(square.MultiplyAndSumOut(0, twice, Ints({0, 0})),
            qelta::kErrOutOfRange);
  EXPECT_EQ(Dims(m), (std::vector<int>{2, 3}));
  EXPECT_EQ(m.MultiplyAndSumOut(1, other, Ints({1})), qelta::kOk);
  EXPECT_EQ(Dims(m), (std::vector<int>{2}));
}

TEST(CoordinatesTest, LockedDimensionKeepsItsValue) {
  VRN_matrix m(Ints({2, 2}));
  VRN_coordinates c(m);
  c.Lock(1);
  c[1] = 1;
  EXPECT_EQ(c.UpdateIndex(m), qelta::kOk);
  EXPECT_EQ(c.GetIndex(), 1);
  EXPECT_EQ(c.Next(m), qelta::kOk);
  EXPECT_EQ(c[0], 1);
  EXPECT_EQ(c[1], 1);
  EXPECT_EQ(c.GetIndex(), 3);
  EXPECT_EQ(c.Next(m), qelta::kErrOutOfRange);
  EXPECT_EQ(c.GetIndex(), 3);
  c.GoFirst();
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[1], 1);
  c.UnlockAll();
  EXPECT_FALSE(c.IsLocked(1));
  c[0] = 5;
  EXPECT_EQ(c.UpdateIndex(m), qelta::kErrOutOfRange);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c.GetIndex(), 0);
  c.GoTo(m, 2);
  EXPECT_EQ(c[0], 1);
  EXPECT_EQ(c[1], 0);
}

TEST_F(RandomShapes, LockedIterationMatchesBruteForce) {
  for (int round = 0; round < kRounds; ++round) {
    const std::vector<int> dims = RandomDims(1, 5);
    const int n = static_cast<int>(dims.size());
    VRN_matrix m(Ints(dims));
    VRN_coordinates c(m);
    std::vector<int> locked(n, -1);
    for (int i = 0; i < n; ++i) {
      if (Uniform(0, 2) == 0) {
        locked[i] = Uniform(0, dims[i] - 1);
        c.Lock(i);
        c[i] = locked[i];
      }
    }
    std::vector<int> expected;
    Table t = MakeTable(dims);
    ForEachCoord(dims, [&](const Coords& at) {
      for (int i = 0; i < n; ++i) {
        if (locked[i] >= 0 && at[i] != locked[i]) return;
      }
      expected.push_back(t.Index(at));
    });
    c.GoFirst();
    ASSERT_EQ(c.UpdateIndex(m), qelta::kOk);
    std::vector<int> visited{c.GetIndex()};
    while (c.Next(m) == qelta::kOk) {
      visited.push_back(c.GetIndex());
      ASSERT_EQ(c.GetIndex(), m.CoordinatesToIndex(c.GetCoordinates()));
    }
    EXPECT_EQ(visited, expected);
  }
}

}  // namespace
