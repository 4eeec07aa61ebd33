#include "base/random.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "base/intervals.h"
#include "base/metalog.h"
#include "base/special_values.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Number of NextDouble draws `used` has made since it was seeded with seed,
// found by matching its next draw against a twin; -1 when not found.
int DrawsMade(VRN_randomGenerator& used, int seed) {
  VRN_randomGenerator twin(seed);
  const double next = used.NextDouble();
  for (int k = 0; k < 10000; ++k) {
    if (twin.NextDouble() == next) return k;
  }
  return -1;
}

struct Moments {
  double mean;
  double sd;
};

Moments Sample(int n, const std::function<double()>& draw) {
  double sum = 0, sum2 = 0;
  for (int i = 0; i < n; ++i) {
    const double v = draw();
    sum += v;
    sum2 += v * v;
  }
  const double mean = sum / n;
  return {mean, std::sqrt(sum2 / n - mean * mean)};
}

TEST(RandomGeneratorTest, FixedSeedGivesPinnedSequence) {
  // Reference values from a separate Python transcription of JKISS (the
  // hash seeding, the three component steps, 7 discarded steps and 26 + 27
  // bits per double), run once; they pin the exact sequence.
  VRN_randomGenerator g(12345);
  const double doubles[] = {0.7471045086783659, 0.0651105928855602,
                            0.6978655563196091, 0.2570630184173541,
                            0.6186591859848621};
  for (double expected : doubles) EXPECT_EQ(g.NextDouble(), expected);

  g.Seed(12345);
  const unsigned ints[] = {415, 341, 815, 875, 759};
  for (unsigned expected : ints) EXPECT_EQ(g.NextInt(1000), expected);

  VRN_randomGenerator negative(-7);
  EXPECT_EQ(negative.NextDouble(), 0.02476662544433461);
  EXPECT_EQ(negative.NextDouble(), 0.9937762476095156);
  EXPECT_EQ(negative.NextDouble(), 0.4240780090980133);
}

TEST(RandomGeneratorTest, SeedingRestartsAndClockSeedsDiffer) {
  // Reseeding also forgets a kept normal deviate.
  VRN_randomGenerator a(99);
  const double first = a.Normal(0, 1);
  a.Seed(99);
  EXPECT_EQ(a.Normal(0, 1), first);

  VRN_randomGenerator c(0);
  VRN_randomGenerator d(0);  // another address, so another seed
  bool differ = false;
  for (int i = 0; i < 4 && !differ; ++i) differ = c.NextDouble() != d.NextDouble();
  EXPECT_TRUE(differ);
}

TEST(RandomGeneratorTest, NextDoubleStaysInUnitInterval) {
  VRN_randomGenerator g(3);
  for (int i = 0; i < 100000; ++i) {
    const double u = g.NextDouble();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
  for (int i = 0; i < 1000; ++i) ASSERT_LT(g.NextInt(7), 7u);
  EXPECT_EQ(g.NextInt(0), 0u);  // no division by zero
}

TEST(RandomGeneratorTest, SamplersConsumeTheirDocumentedDraws) {
  const int seed = 1234;
  auto draws = [&](const std::function<void(VRN_randomGenerator&)>& run) {
    VRN_randomGenerator g(seed);
    run(g);
    return DrawsMade(g, seed);
  };
  EXPECT_EQ(draws([](auto& g) { g.Uniform(2, 5); }), 1);
  EXPECT_EQ(draws([](auto& g) { g.Triangular(0, 1, 2); }), 1);
  EXPECT_EQ(draws([](auto& g) { g.Metalog(0, 1, 2, std::array<double, 2>{0, 1}.data()); }), 1);
  EXPECT_EQ(draws([](auto& g) { g.Steps(3, std::array<double, 3>{0, 1, 2}.data(), std::array<double, 2>{1, 1}.data()); }), 2);
  EXPECT_EQ(draws([](auto& g) { g.CustomPdf(2, std::array<double, 2>{0, 1}.data(), std::array<double, 2>{1, 2}.data()); }), 3);
  EXPECT_EQ(draws([](auto& g) { EXPECT_EQ(g.Binomial(5, 0.5) <= 5, true); }), 5);
  EXPECT_EQ(draws([](auto& g) { EXPECT_EQ(g.Binomial(0, 0.5), 0); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_EQ(g.Poisson(0), -1); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_TRUE(std::isnan(g.Normal(0, -1))); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_TRUE(std::isnan(g.Bernoulli(VRN_NaN()))); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_TRUE(std::isnan(g.Metalog(1, 1, 2, std::array<double, 2>{0, 1}.data()))); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_TRUE(std::isnan(g.Metalog(0, 1, 1, std::array<double, 1>{0}.data()))); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_TRUE(std::isnan(g.Gamma(0, 1))); }), 0);
  EXPECT_EQ(draws([](auto& g) { EXPECT_TRUE(std::isnan(g.Beta(1, -1))); }), 0);
  // Integer shapes below 7 multiply that many uniforms.
  EXPECT_EQ(draws([](auto& g) { g.Gamma(1, 2); }), 1);
  EXPECT_EQ(draws([](auto& g) { g.Gamma(3, 1); }), 3);
  // The rejection samplers draw in pairs.
  EXPECT_EQ(draws([](auto& g) { g.Gamma(0.5, 1); }) % 2, 0);
  EXPECT_EQ(draws([](auto& g) { g.Beta(0.5, 0.5); }) % 2, 0);

  // Gamma(1, theta) is -theta ln U of its one uniform.
  VRN_randomGenerator g(seed);
  VRN_randomGenerator twin(seed);
  EXPECT_DOUBLE_EQ(g.Gamma(1, 2), -2 * std::log(twin.NextDouble()));
}

TEST(RandomGeneratorTest, NormalKeepsTheSecondDeviateOfAPair) {
  VRN_randomGenerator one(8);
  VRN_randomGenerator two(8);
  one.Normal(0, 1);
  two.Normal(0, 1);
  two.Normal(5, 2);  // answered from the spare: no draws
  EXPECT_EQ(one.NextDouble(), two.NextDouble());

  VRN_randomGenerator a(9);
  VRN_randomGenerator b(9);
  a.Normal(0, 1);
  b.Normal(0, 1);
  EXPECT_TRUE(std::isnan(a.Normal(0, -1)));  // leaves the spare alone
  EXPECT_EQ(a.Normal(10, 3), b.Normal(10, 3));

  // With both bounds open the truncated normal is the plain one.
  VRN_randomGenerator c(10);
  VRN_randomGenerator d(10);
  EXPECT_EQ(c.TruncNormal(1, 2, -kInf, kInf), d.Normal(1, 2));
  EXPECT_EQ(c.TruncNormal(1, 2, -kInf, kInf), d.Normal(1, 2));
}

// Uniform, Normal, Exponential, Weibull, Triangular, Gamma (through Beta
// too), Bernoulli, Binomial and small Poisson means are matched to their
// whole distributions through the expression functions; here the branches
// those draws do not reach: shapes below 1 and the largest means.
TEST(RandomGeneratorTest, DistributionBranchesHaveTheirMoments) {
  VRN_randomGenerator g(2024);
  const int n = 200000;
  EXPECT_NEAR(Sample(n, [&] { return g.Gamma(0.5, 1); }).mean, 0.5, 0.01);
  EXPECT_NEAR(Sample(n, [&] { return g.Beta(0.5, 0.5); }).mean, 0.5, 0.005);
  EXPECT_NEAR(Sample(n, [&] { return g.Beta(0.5, 0.2); }).mean, 0.5 / 0.7,
              0.005);
  // Large means must not be capped where e^-lambda underflows.
  Moments m = Sample(2000, [&] { return double(g.Poisson(1000)); });
  EXPECT_NEAR(m.mean, 1000, 3);
  EXPECT_NEAR(m.sd, std::sqrt(1000.0), 3);
  m = Sample(1000, [&] { return double(g.Poisson(5e7)); });
  EXPECT_NEAR(m.mean, 5e7, 2000);
  EXPECT_EQ(g.Poisson(-1), -1);
  EXPECT_EQ(g.Poisson(kInf), -1);
  EXPECT_EQ(g.Poisson(VRN_NaN()), -1);
}

TEST(RandomGeneratorTest, TruncatedNormalStaysInsideAndHasItsMean) {
  VRN_randomGenerator g(555);
  const int n = 100000;
  // (mean, sd, low, high, expected mean); the cases cover every sampler.
  const struct {
    double mean, sd, low, high, expected;
  } cases[] = {
      {1, 2, 0, 3, 1 + 2 * 0.20663},      // uniform rejection around 0
      {0, 1, -1.3, 0, -0.56442},          // uniform rejection, end at 0
      {0, 1, -3, 2.5, -0.0132},           // normal rejection
      {0, 1, 0.5, 4, 1.14076},            // half-normal rejection
      {0, 1, 2, 3, 2.31582},              // exponential rejection
      {0, 1, 2, 2.3, 2.13403},            // uniform rejection in a tail
      {0, 1, -3, -2, -2.31582},           // mirrored exponential
      {0, 1, 1, kInf, 1.52514},           // one-sided, exponential
      {0, 1, -1, kInf, 0.2876},           // one-sided, normal
      {0, 1, -kInf, -1, -1.52514},        // upper bound only
  };
  for (const auto& c : cases) {
    double sum = 0;
    for (int i = 0; i < n; ++i) {
      const double v = g.TruncNormal(c.mean, c.sd, c.low, c.high);
      ASSERT_GE(v, c.low);
      ASSERT_LE(v, c.high);
      sum += v;
    }
    EXPECT_NEAR(sum / n, c.expected, 0.01) << c.low << ".." << c.high;
  }
  EXPECT_NEAR(Sample(n, [&] { return g.TruncNormalOneSided(0, 1, 1); }).mean,
              1.52514, 0.01);
}

TEST(RandomGeneratorTest, TruncatedNormalRefusesDegenerateArguments) {
  VRN_randomGenerator g(6);
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, 1, 1, 0)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, 1, 1, 1)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, -1, 0, 1)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(VRN_NaN(), 1, 0, 1)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, VRN_NaN(), 0, kInf)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, 1, 0, VRN_NaN())));
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, 1, 0, -kInf)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(0, 1, kInf, -kInf)));
  // A zero deviation is a point mass, inside the bounds or nowhere.
  EXPECT_EQ(g.TruncNormal(0.5, 0, 0, 1), 0.5);
  EXPECT_TRUE(std::isnan(g.TruncNormal(2, 0, 0, 1)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(-1, 0, 0, kInf)));
  // Standardised bounds that overflow would starve the rejection loops.
  EXPECT_TRUE(std::isnan(g.TruncNormal(-1e308, 1e-300, 1e308, kInf)));
  EXPECT_TRUE(std::isnan(g.TruncNormal(1e308, 1e-300, -kInf, -1e308)));
  // Far in a tail the exponential sampler still answers quickly.
  const double v = g.TruncNormal(0, 1, 40, kInf);
  EXPECT_GE(v, 40);
  EXPECT_LT(v, 41);
}

TEST(RandomGeneratorTest, BetaWithTinyParametersTerminates) {
  VRN_randomGenerator g(12);
  for (int i = 0; i < 100; ++i) {
    const double v = g.Beta(1e-300, 1e-300);
    ASSERT_GE(v, 0.0);
    ASSERT_LE(v, 1.0);
  }
}

TEST(RandomGeneratorTest, MetalogMapsTheQuantileIntoItsBounds) {
  const double linear[] = {0, 1};
  VRN_randomGenerator g(31);
  VRN_randomGenerator twin(31);
  for (int i = 0; i < 100; ++i) {
    const double u = twin.NextDouble();
    EXPECT_NEAR(g.Metalog(0, 1, 2, linear), u, 1e-12);
  }
  for (int i = 0; i < 100; ++i) {
    const double u = twin.NextDouble();
    EXPECT_NEAR(g.Metalog(0, kInf, 2, linear), u / (1 - u), 1e-9 * (1 + u / (1 - u)));
    const double u2 = twin.NextDouble();
    EXPECT_NEAR(g.Metalog(-kInf, kInf, 2, linear), std::log(u2 / (1 - u2)), 1e-12);
    const double u3 = twin.NextDouble();
    EXPECT_NEAR(g.Metalog(-kInf, 2, 2, linear), 2 - (1 - u3) / u3, 1e-9 * (1 + 1 / u3));
  }
  // A steep quantile overflows e^y; the draw then sits on the bound.
  const double steep[] = {0, 1000};
  for (int i = 0; i < 1000; ++i) {
    const double v = g.Metalog(-1, 1, 2, steep);
    ASSERT_GE(v, -1);
    ASSERT_LE(v, 1);
  }
}

TEST(RandomGeneratorTest, PiecewiseDensities) {
  VRN_randomGenerator g(41);
  const int n = 100000;
  const double step_bounds[] = {0, 1, 3};
  const double step_heights[] = {1, 0.5};
  EXPECT_NEAR(Sample(n, [&] { return g.Steps(3, step_bounds, step_heights); }).mean,
              1.25, 0.01);
  const double tri_x[] = {0, 1, 2};
  const double tri_h[] = {0, 1, 0};
  Moments m = Sample(n, [&] { return g.CustomPdf(3, tri_x, tri_h); });
  EXPECT_NEAR(m.mean, 1, 0.01);
  EXPECT_NEAR(m.sd, std::sqrt(1.0 / 6), 0.01);
  const double ramp_x[] = {0, 2};
  const double ramp_h[] = {0, 1};
  EXPECT_NEAR(Sample(n, [&] { return g.CustomPdf(2, ramp_x, ramp_h); }).mean,
              4.0 / 3, 0.01);
  const double down_h[] = {1, 0};
  EXPECT_NEAR(Sample(n, [&] { return g.CustomPdf(2, ramp_x, down_h); }).mean,
              2.0 / 3, 0.01);
  // Too few points describe no density.
  EXPECT_TRUE(std::isnan(g.Steps(1, step_bounds, step_heights)));
  EXPECT_TRUE(std::isnan(g.CustomPdf(1, tri_x, tri_h)));
}

TEST(RandomGeneratorTest, RandomDistributionAndDiscreteIndex) {
  VRN_randomGenerator g(5);
  double p[5];
  g.RandomDistribution(5, p);
  double sum = 0;
  for (double v : p) {
    EXPECT_GT(v, 0);
    sum += v;
  }
  EXPECT_NEAR(sum, 1, 1e-12);

  const double w[] = {0.5, 0.3};
  EXPECT_EQ(VRN_SampleDiscreteIndex(0.95, w, 2), 1);
  EXPECT_EQ(VRN_SampleDiscreteIndex(0.2, w, 2), 0);
  EXPECT_EQ(VRN_SampleDiscreteIndex(0.5, w, 2), 1);  // the sum must exceed u
  EXPECT_EQ(VRN_SampleDiscreteIndex(0.1, w, 0), -1);
}

TEST(RandomGeneratorTest, SampleInIntervalUsesBoundsOrTails) {
  VRN_randomGenerator g(17);
  const double bounds[] = {-kInf, 0, 1, 2, kInf};
  const int n = 50000;
  double tail_sum = 0;
  for (int i = 0; i < n; ++i) {
    const double inside = g.SampleInInterval(1, 4, bounds, nullptr);
    ASSERT_GE(inside, 0);
    ASSERT_LE(inside, 1);
    ASSERT_LE(g.SampleInInterval(0, 4, bounds, nullptr), 0);
    const double upper = g.SampleInInterval(3, 4, bounds, nullptr);
    ASSERT_GE(upper, 2);
    tail_sum += upper;
  }
  // Half-normal tail with sigma = sqrt(2/pi) * (width of its neighbour).
  EXPECT_NEAR(tail_sum / n, 2.6366198, 0.01);
  EXPECT_TRUE(std::isnan(g.SampleInInterval(4, 4, bounds, nullptr)));
  EXPECT_TRUE(std::isnan(g.SampleInInterval(-1, 4, bounds, nullptr)));
  const double open[] = {-kInf, kInf};
  EXPECT_TRUE(std::isfinite(g.SampleInInterval(0, 1, open, nullptr)));
}

TEST(MetalogTest, QuantileAddsTermsInOrderAndTheMedianIsTheFirst) {
  // Coefficients 1..8 at y = 0.75 and y = 0.1 for 2 to 8 terms, worked out
  // separately from the basis L = ln(y / (1 - y)), c = y - 0.5:
  // 1, L, cL, c, c^2, c^2 L, c^3, c^3 L.
  const double a[] = {1, 2, 3, 4, 5, 6, 7, 8};
  const double at_075[] = {3.1972245773362196, 4.021183793837302,
                           5.021183793837302,  5.333683793837302,
                           5.745663402087843,  5.855038402087843,
                           5.992364938171357};
  const double at_01[] = {-3.3944491546724382, -0.7577796618689749,
                          -2.357779661868975,  -1.5577796618689748,
                          -3.6671152561117455, -4.1151152561117454,
                          -2.990136272515601};
  for (int n = 2; n <= 8; ++n) {
    EXPECT_NEAR(VRN_MetalogQuantile(0.75, n, a), at_075[n - 2], 1e-12) << n;
    EXPECT_NEAR(VRN_MetalogQuantile(0.1, n, a), at_01[n - 2], 1e-12) << n;
  }
  // At y = 0.5 both L and c vanish, whatever the other terms.
  const double median[] = {2.5, 9, 9, 9, 9, 9};
  EXPECT_EQ(VRN_MetalogQuantile(0.5, 6, median), 2.5);
  // Two terms: the logistic quantile.
  const double logistic[] = {0, 1};
  EXPECT_NEAR(VRN_MetalogQuantile(0.9, 2, logistic), std::log(9.0), 1e-15);
}

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

TEST(IntervalsTest, HugeBoundsGiveFiniteMidpointsMeansAndDeviations) {
  EXPECT_TRUE(std::isnan(VRN_Midpoint(-VRN_Infinity(), VRN_Infinity())));
  const double b[] = {1e308, 1.7e308};
  const double one[] = {1.0};
  EXPECT_EQ(1.35e308, VRN_IntervalsMean(1, b, one));
  const double sd = (1.7e308 - 1e308) / std::sqrt(12.0);
  EXPECT_NEAR(sd, VRN_IntervalsStdDev(1, b, one), sd * 1e-12);
  // Spread across zero: the tail's neighbour is wider than the doubles.
  const double wide[] = {-1e308, 1e308, VRN_Infinity()};
  EXPECT_DOUBLE_EQ(0.7978845608028654 * 1e308 * 2.0,
                   VRN_IntervalTailParameters(1, 2, wide, nullptr).sigma);
  EXPECT_TRUE(std::isfinite(VRN_IntervalsMean(2, wide, nullptr)));
  EXPECT_TRUE(std::isfinite(VRN_IntervalsStdDev(2, wide, nullptr)));
  // Where nothing overflows, the deviation is E2 - E1^2 as it stands.
  const double lo = 1e150, hi = 1.7e150, mean = 0.5 * (lo + hi);
  const double small[] = {lo, hi};
  EXPECT_EQ(std::sqrt((lo * lo + lo * hi + hi * hi) / 3.0 - mean * mean),
            VRN_IntervalsStdDev(1, small, one));
}

TEST(IntervalsTest, TailsBesideANeighbourWiderThanTheDoubles) {
  // Tails (-inf, -a) and (a, +inf) of probability p around [-a, a]: the
  // mean is 0 by symmetry; the deviation (worked out in 60 digits) lies
  // beyond the doubles in all rows but the last.
  const double inf = VRN_Infinity();
  struct Row {
    double a, p, sd;
  };
  for (const Row& r : {Row{1.7e308, 0.3, inf}, Row{1.7e308, 0.45, inf},
                       Row{1e308, 0.45, inf},
                       Row{1e308, 0.3, 1.654897463981142e308}}) {
    SCOPED_TRACE(testing::Message() << r.a << " " << r.p);
    const double b[] = {-inf, -r.a, r.a, inf};
    const double p[] = {r.p, 1.0 - 2.0 * r.p, r.p};
    EXPECT_EQ(0.0, VRN_IntervalsMean(3, b, p));
    const double sd = VRN_IntervalsStdDev(3, b, p);
    if (std::isinf(r.sd)) {
      EXPECT_EQ(inf, sd);
    } else {
      EXPECT_NEAR(r.sd, sd, r.sd * 1e-12);
    }
  }
  // One tail whose own deviation exceeds the doubles: mean and deviation
  // both lie beyond them.
  const double one_sided[] = {-1.7e308, 1.7e308, inf};
  const double half[] = {0.5, 0.5};
  EXPECT_EQ(inf, VRN_IntervalTailParameters(1, 2, one_sided, half).sigma);
  EXPECT_EQ(inf, VRN_IntervalsMean(2, one_sided, half));
  EXPECT_EQ(inf, VRN_IntervalsStdDev(2, one_sided, half));
  // A huge empty interval forces the scaled sums; a small interval's share
  // of them must not vanish into underflow.
  const double mixed[] = {-1e250, 0.0, 1.0, 1.7e308};
  const double shares[] = {1e-260, 1.0, 0.0};
  EXPECT_NEAR(5.773502691896257e119, VRN_IntervalsStdDev(3, mixed, shares),
              5.8e119 * 1e-12);
}

TEST(IntervalsTest, ZeroBeliefIntervalTakesNoPartInTheSumsOrTheScale) {
  // [0, w] and [w, 2w] with belief 0.5 each: the deviation is w / sqrt(3),
  // whatever bounds the interval of belief 0 beyond them reaches.
  const double inf = VRN_Infinity();
  const double half[] = {0.5, 0.5, 0.0};
  for (double w : {1e-8, 1e-6, 1e-3, 1e-160, 1e-300}) {
    SCOPED_TRACE(testing::Message() << "width " << w);
    const double b[] = {0.0, w, 2.0 * w, 1.7e308};
    const double sd = w / std::sqrt(3.0);
    EXPECT_NEAR(sd, VRN_IntervalsStdDev(3, b, half), sd * 1e-12);
    EXPECT_NEAR(w, VRN_IntervalsMean(3, b, half), w * 1e-12);
  }
  // A tail of belief 0 beside a neighbour as wide as the doubles.
  const double b[] = {0.0, 1e-6, 1.7e308, inf};
  const double first[] = {1.0, 0.0, 0.0};
  const double sd = 1e-6 / std::sqrt(12.0);
  EXPECT_EQ(0.5e-6, VRN_IntervalsMean(3, b, first));
  EXPECT_NEAR(sd, VRN_IntervalsStdDev(3, b, first), sd * 1e-12);
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

TEST(RandomGeneratorTest, BinomialWithHugeTrialCountsIsQuickAndUnbiased) {
  VRN_randomGenerator g(91);
  // Two billion trials drawn one by one would stall a sampling run.
  Moments m = Sample(2000, [&] { return double(g.Binomial(2000000000, 0.5)); });
  EXPECT_NEAR(m.mean, 1e9, 3000);
  EXPECT_NEAR(m.sd, std::sqrt(5e8), 3000);
  m = Sample(20000, [&] { return double(g.Binomial(1000000000, 2e-9)); });
  EXPECT_NEAR(m.mean, 2, 0.05);
  m = Sample(20000, [&] { return double(g.Binomial(100000, 0.9999)); });
  EXPECT_NEAR(m.mean, 99990, 0.2);
  EXPECT_EQ(g.Binomial(50000, 0.0), 0);
  EXPECT_EQ(g.Binomial(50000, 1.0), 50000);
  EXPECT_EQ(g.Binomial(50000, VRN_NaN()), 0);
}
