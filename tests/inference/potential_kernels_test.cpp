#include "inference/potential_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "base/status.h"

namespace {

// A table shape with its member names and a sub-list of them.
struct Shape {
  std::vector<int> members;
  std::vector<int> sizes;
  std::vector<int> sub;  // subsequence of members
};

Shape RandomShape(std::mt19937& rng) {
  Shape shape;
  const int count = std::uniform_int_distribution<int>(1, 7)(rng);
  for (int i = 0; i < count; ++i) {
    shape.members.push_back(3 * i + 1);
    // Sizes of 1 are frequent on purpose: one-outcome nodes.
    shape.sizes.push_back(std::uniform_int_distribution<int>(1, 4)(rng));
  }
  while (shape.sub.empty()) {
    for (int m : shape.members) {
      if (rng() % 2) shape.sub.push_back(m);
    }
  }
  return shape;
}

std::vector<double> RandomCells(std::mt19937& rng, std::size_t n) {
  std::uniform_real_distribution<double> u(0.1, 2.0);
  std::vector<double> cells(n);
  for (double& c : cells) c = u(rng);
  return cells;
}

// For every cell of the table (first dimension fastest), the index of the
// sub-table cell with the same coordinates on the sub-list members.
std::vector<std::size_t> BruteForceMap(const Shape& shape) {
  std::size_t cells = 1;
  for (int s : shape.sizes) cells *= s;
  std::vector<std::size_t> map(cells);
  std::vector<int> coord(shape.sizes.size(), 0);
  for (std::size_t cell = 0; cell < cells; ++cell) {
    std::size_t index = 0, stride = 1;
    for (std::size_t i = 0; i < shape.members.size(); ++i) {
      for (int s : shape.sub) {
        if (s == shape.members[i]) {
          index += coord[i] * stride;
          stride *= shape.sizes[i];
        }
      }
    }
    map[cell] = index;
    for (std::size_t i = 0; i < coord.size(); ++i) {
      if (++coord[i] < shape.sizes[i]) break;
      coord[i] = 0;
    }
  }
  return map;
}

std::vector<int> SubSizes(const Shape& shape) {
  std::vector<int> sizes;
  for (int s : shape.sub) {
    for (std::size_t i = 0; i < shape.members.size(); ++i) {
      if (shape.members[i] == s) sizes.push_back(shape.sizes[i]);
    }
  }
  return sizes;
}

void ExpectNear(const std::vector<double>& got,
                const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i], want[i], 1e-12 * std::max(1.0, std::fabs(want[i])))
        << "cell " << i;
  }
}

// Sets up table and sub-table potentials and the step list for a shape.
struct Fixture {
  VRN_potential table;
  VRN_potential sub;
  VRN_stepList steps;
  std::vector<std::size_t> map;

  explicit Fixture(const Shape& shape) {
    EXPECT_EQ(table.SetDimensions(static_cast<int>(shape.sizes.size()),
                                  shape.sizes.data()),
              qelta::kOk);
    const std::vector<int> sub_sizes = SubSizes(shape);
    EXPECT_EQ(sub.SetDimensions(static_cast<int>(sub_sizes.size()),
                                sub_sizes.data()),
              qelta::kOk);
    EXPECT_EQ(steps.Build(table, shape.members.data(),
                          static_cast<int>(shape.members.size()),
                          shape.sub.data(), static_cast<int>(shape.sub.size())),
              qelta::kOk);
    map = BruteForceMap(shape);
  }
};

TEST(StepListTest, BuildRejectsWhatIsNotAnOrderedSubsequence) {
  const int members[] = {1, 2, 3};
  const int sizes[] = {2, 3, 4};
  VRN_potential table;
  ASSERT_EQ(table.SetDimensions(3, sizes), qelta::kOk);
  VRN_stepList steps;
  const int reversed[] = {3, 1};
  EXPECT_EQ(steps.Build(table, members, 3, reversed, 2), qelta::kErrOutOfRange);
  EXPECT_TRUE(steps.empty());
  const int stranger[] = {1, 9};
  EXPECT_EQ(steps.Build(table, members, 3, stranger, 2), qelta::kErrOutOfRange);
  EXPECT_EQ(steps.Build(table, members, 3, stranger, 0), qelta::kErrOutOfRange);
  EXPECT_EQ(steps.Build(table, members, 2, members, 1), qelta::kErrOutOfRange);
  const int too_many[] = {1, 2, 3, 3};
  EXPECT_EQ(steps.Build(table, members, 3, too_many, 4), qelta::kErrOutOfRange);
}

TEST(KernelTest, AllKernelsMatchBruteForceOnRandomShapes) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 400; ++trial) {
    const Shape shape = RandomShape(rng);
    Fixture f(shape);
    SCOPED_TRACE(trial);
    const std::vector<double> big = RandomCells(rng, f.table.size());
    const std::vector<double> small = RandomCells(rng, f.sub.size());
    std::copy(small.begin(), small.end(), f.sub.items());

    // Gather copy, then gather multiply on top of a known table.
    VRN_GatherCopy(f.table.items(), f.table.end(), f.sub.items(), f.steps);
    std::vector<double> want(big.size());
    for (std::size_t i = 0; i < big.size(); ++i) want[i] = small[f.map[i]];
    ExpectNear({f.table.items(), f.table.end()}, want);

    std::copy(big.begin(), big.end(), f.table.items());
    VRN_GatherMultiply(f.table.items(), f.table.end(), f.sub.items(),
                       f.steps);
    for (std::size_t i = 0; i < big.size(); ++i) {
      want[i] = big[i] * small[f.map[i]];
    }
    ExpectNear({f.table.items(), f.table.end()}, want);

    // Scatter add sums over the members the sub-list leaves out.
    std::copy(big.begin(), big.end(), f.table.items());
    f.sub.Fill(0.0);
    VRN_ScatterAdd(f.sub.items(), f.table.items(), f.table.end(), f.steps);
    std::vector<double> marginal(small.size(), 0.0);
    for (std::size_t i = 0; i < big.size(); ++i) marginal[f.map[i]] += big[i];
    ExpectNear({f.sub.items(), f.sub.end()}, marginal);

    std::copy(small.begin(), small.end(), f.sub.items());
    VRN_ScatterAddScaled(f.sub.items(), f.table.items(), f.table.end(), 3.5,
                         f.steps);
    std::vector<double> scaled = small;
    for (std::size_t i = 0; i < big.size(); ++i) {
      scaled[f.map[i]] += big[i] / 3.5;
    }
    ExpectNear({f.sub.items(), f.sub.end()}, scaled);
  }
}

TEST(KernelTest, PartialRangesStopAtTheirEnd) {
  const Shape shape{{1, 2, 3, 4}, {3, 2, 2, 3}, {1, 3}};
  Fixture f(shape);
  std::mt19937 rng(3);
  const std::vector<double> small = RandomCells(rng, f.sub.size());
  std::copy(small.begin(), small.end(), f.sub.items());
  for (uint32_t length : {1u, 5u, 13u, 35u}) {
    f.table.Fill(-1.0);
    VRN_GatherCopy(f.table.items(), f.table.items() + length, f.sub.items(),
                   f.steps);
    for (uint32_t i = 0; i < f.table.size(); ++i) {
      EXPECT_EQ(f.table.items()[i], i < length ? small[f.map[i]] : -1.0)
          << "length " << length << " cell " << i;
    }
  }
}

TEST(KernelTest, HandBuiltRunsOfOneCellAreAccepted) {
  // A table over A(1) B(3), sub-table over B, described without merging:
  // the fastest run holds one cell.
  VRN_stepList steps;
  steps.entries[0] = {0, 0, 0};
  steps.entries[1] = {2, 2, 1};
  steps.entries[2] = {qelta::kEndlessRun, qelta::kEndlessRun, -2};
  steps.count = 3;
  const double src[] = {1.0, 2.0, 3.0};
  double dst[3] = {};
  VRN_GatherCopy(dst, dst + 3, src, steps);
  EXPECT_EQ(dst[0], 1.0);
  EXPECT_EQ(dst[1], 2.0);
  EXPECT_EQ(dst[2], 3.0);
  double sums[3] = {};
  VRN_ScatterAdd(sums, src, src + 3, steps);
  EXPECT_EQ(sums[0], 1.0);
  EXPECT_EQ(sums[2], 3.0);
}

TEST(PotentialTest, SetDimensionsSizesAndKeepsCapacity) {
  VRN_potential p;
  const int sizes[] = {2, 3, 4};
  ASSERT_EQ(p.SetDimensions(3, sizes), qelta::kOk);
  EXPECT_EQ(p.size(), 24u);
  EXPECT_EQ(p.dimension_count(), 3);
  EXPECT_EQ(p.dimension(2), 4);
  p.Fill(0.5);
  EXPECT_DOUBLE_EQ(p.Sum(), 12.0);
  const double* cells = p.items();
  ASSERT_EQ(p.SetDimensions(2, sizes), qelta::kOk);
  EXPECT_EQ(p.size(), 6u);
  EXPECT_EQ(p.capacity(), 24u);
  EXPECT_EQ(p.items(), cells);  // shrinking keeps the cells

  VRN_potential q;
  const int one[] = {1};
  ASSERT_EQ(q.SetDimensions(1, one), qelta::kOk);
  q.items()[0] = 7.0;
  p.Swap(q);
  EXPECT_EQ(p.size(), 1u);
  EXPECT_EQ(p.items()[0], 7.0);
  EXPECT_EQ(q.dimension_count(), 2);
  EXPECT_EQ(q.items(), cells);
}

TEST(PotentialTest, SetDimensionsRefusesBadShapes) {
  VRN_potential p;
  const int sizes[] = {2, 0};
  EXPECT_EQ(p.SetDimensions(0, sizes), qelta::kErrOutOfRange);
  EXPECT_EQ(p.SetDimensions(2, sizes), qelta::kErrOutOfRange);
  std::vector<int> many(31, 2);
  EXPECT_EQ(p.SetDimensions(31, many.data()), qelta::kErrOutOfRange);
  const int huge[] = {65536, 65536};
  EXPECT_EQ(p.SetDimensions(2, huge), qelta::kErrOutOfMemory);
  EXPECT_EQ(p.size(), 0u);
  EXPECT_EQ(p.items(), nullptr);
}

}  // namespace
