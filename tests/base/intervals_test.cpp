#include "base/intervals.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/random.h"
#include "base/special_values.h"

namespace {

TEST(IntervalsTest, FindInterval) {
  const double b[] = {0.0, 1.0, 2.0};
  EXPECT_EQ(VRN_FindInterval(b, 3, 0.5), 0);
  EXPECT_EQ(VRN_FindInterval(b, 3, 1.0), 1);
  EXPECT_EQ(VRN_FindInterval(b, 3, 2.0), 1);
  EXPECT_EQ(VRN_FindInterval(b, 3, 0.0), 0);
  EXPECT_EQ(VRN_FindInterval(b, 3, 2.5), -2);
  EXPECT_EQ(VRN_FindInterval(b, 3, -0.1), -2);
  EXPECT_EQ(VRN_FindInterval(b, 3, std::nan("")), -2);
  EXPECT_EQ(VRN_FindInterval(b, 1, 0.0), -3);
  const double empty[] = {0.0, 1.0, 1.0, 2.0};
  EXPECT_EQ(VRN_FindInterval(empty, 4, 1.0), 1);  // the zero-width one
  EXPECT_EQ(VRN_FindInterval(empty, 4, 1.5), 2);
}

TEST(IntervalsTest, IntervalMomentsOfBoundedIntervals) {
  const double b[] = {0.0, 1.0, 3.0};
  const double p[] = {0.5, 0.5};
  EXPECT_DOUBLE_EQ(VRN_IntervalsMean(2, b, p), 0.5 * 0.5 + 0.5 * 2.0);
  // E2 = 0.5 * 1/3 + 0.5 * (1 + 3 + 9) / 3
  double e2 = 0.5 / 3.0 + 0.5 * 13.0 / 3.0;
  EXPECT_DOUBLE_EQ(VRN_IntervalsStdDev(2, b, p),
                   std::sqrt(e2 - 1.25 * 1.25));
  const double point[] = {2.0, 2.0};
  const double one[] = {1.0};
  EXPECT_EQ(VRN_IntervalsStdDev(1, point, one), 0.0);
}

TEST(IntervalsTest, TailMatchesTheNeighbourDensity) {
  const double inf = VRN_Infinity();
  const double b[] = {0.0, 1.0, inf};
  const double p[] = {0.6, 0.4};
  VRN_intervalTail t = VRN_IntervalTailParameters(1, 2, b, p);
  EXPECT_EQ(t.offset, 1.0);
  EXPECT_EQ(t.direction, 1.0);
  EXPECT_DOUBLE_EQ(t.sigma, 0.4 * 0.7978845608028654 * 1.0 / 0.6);
  // Half-normal density at its bound equals the neighbour's uniform one.
  double density = 0.4 * 2.0 / (t.sigma * std::sqrt(2.0 * M_PI));
  EXPECT_NEAR(density, 0.6, 1e-12);

  const double lower[] = {-inf, 2.0, 4.0};
  VRN_intervalTail l = VRN_IntervalTailParameters(0, 2, lower, nullptr);
  EXPECT_EQ(l.offset, 2.0);
  EXPECT_EQ(l.direction, -1.0);
  EXPECT_DOUBLE_EQ(l.sigma, 0.7978845608028654 * 2.0);

  const double both[] = {-inf, 0.0, inf};
  EXPECT_DOUBLE_EQ(VRN_IntervalTailParameters(0, 2, both, nullptr).sigma, 1.0);
  EXPECT_NEAR(VRN_IntervalsMean(2, both, nullptr), 0.0, 1e-12);
}

TEST(IntervalsTest, IntervalSamplerStaysInsideItsInterval) {
  const double inf = VRN_Infinity();
  const double b[] = {-inf, 0.0, 1.0, inf};
  VRN_randomGenerator gen(7);
  VRN_intervalSampler mid, low, high;
  mid.Init(1, b, 4, nullptr);
  low.Init(0, b, 4, nullptr);
  high.Init(2, b, 4, nullptr);
  EXPECT_FALSE(mid.IsUnbounded());
  EXPECT_TRUE(low.IsUnbounded());
  for (int i = 0; i < 200; ++i) {
    double m = mid.Draw(gen);
    EXPECT_GE(m, 0.0);
    EXPECT_LE(m, 1.0);
    EXPECT_LE(low.Draw(gen), 0.0);
    EXPECT_GE(high.Draw(gen), 1.0);
  }
}

}  // namespace
