#include "equations/metalog_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/metalog.h"
#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"
#include "equations/ext_functions.h"

namespace {

using Tree = std::unique_ptr<VRN_expression>;

constexpr double kInf = HUGE_VAL;

Tree Parse(const char* text, VRN_extFunctionFactory* functions = nullptr) {
  Tree tree(VRN_ParseExpression(text, nullptr, nullptr, nullptr, functions));
  EXPECT_NE(tree, nullptr) << text;
  return tree;
}

// Quantile at y of the fitted metalog, mapped back through the bounds.
double Quantile(double lo, double hi, int n, const double* a, double y) {
  const double m = VRN_MetalogQuantile(y, n, a);
  if (std::isfinite(lo) && std::isfinite(hi)) {
    return (std::exp(m) * hi + lo) / (std::exp(m) + 1);
  }
  if (std::isfinite(lo)) return lo + std::exp(m);
  if (std::isfinite(hi)) return hi - std::exp(-m);
  return m;
}

void ExpectRelative(double actual, double expected, double tolerance) {
  EXPECT_NEAR(actual, expected, tolerance * std::fabs(expected));
}

// Symmetric percentile triplets have a closed-form three-term fit.
TEST(MetalogFitTest, TripletsMatchTheClosedForm) {
  const double x[] = {35, 50, 75};
  const double p[] = {0.1, 0.5, 0.9};
  double a[3];
  ASSERT_EQ(VRN_MetalogFit(-kInf, kInf, 3, x, p, 3, a, -1.0), 0);
  ExpectRelative(a[0], 50.0, 1e-12);
  ExpectRelative(a[1], (75.0 - 35.0) / (2 * std::log(9.0)), 1e-12);
  ExpectRelative(a[1], 9.1023922662683739, 1e-12);
  ExpectRelative(a[2], 5.6889951664177337, 1e-12);
  struct Case {
    double lo, hi, q25, q75;
  };
  for (const Case& c : {Case{-kInf, kInf, 41.5625, 61.5625},
                        Case{0, 100, 41.229655762817518, 62.348015191260191},
                        Case{0, kInf, 41.642090872724573, 60.957779280632037}}) {
    ASSERT_EQ(VRN_MetalogFit(c.lo, c.hi, 3, x, p, 3, a, -1.0), 0);
    ExpectRelative(Quantile(c.lo, c.hi, 3, a, 0.25), c.q25, 1e-12);
    ExpectRelative(Quantile(c.lo, c.hi, 3, a, 0.75), c.q75, 1e-12);
    // Interpolation passes through every pair.
    for (int i = 0; i < 3; ++i) {
      ExpectRelative(Quantile(c.lo, c.hi, 3, a, p[i]), x[i], 1e-12);
    }
  }
}

// Lognormal(1, 0.5) quantiles rounded to 4 decimals; references from the
// normal equations solved in 60-digit arithmetic.
TEST(MetalogFitTest, LeastSquaresMatchesTheExactNormalEquations) {
  const double p[] = {0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95};
  const double x[] = {1.1943, 1.4322, 1.9401, 2.7183, 3.8085, 5.1592, 6.1869};
  struct Case {
    double lo;
    double expected[4];
  };
  const Case cases[] = {
      {-kInf,
       {2.6791351159553438, 0.84340993800634399, 0.74349284830944091,
        0.027904371789386714}},
      {0.0,
       {0.9999949724703001, 0.22096690323637355, 8.981261683221128e-07,
        0.3836404042839891}},
  };
  for (const Case& c : cases) {
    double a[4];
    ASSERT_EQ(VRN_MetalogFit(c.lo, kInf, 7, x, p, 4, a, 1e-12), 0);
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a[j], c.expected[j], 1e-9) << j;
  }
  // Data outside a bound give NaN coefficients, not a failure.
  double a[4];
  ASSERT_EQ(VRN_MetalogFit(2.0, kInf, 7, x, p, 4, a, -1.0), 0);
  EXPECT_TRUE(std::isnan(a[0]));
}

TEST(MetalogFitTest, DeterminantAndSingularSystems) {
  const double swap[] = {0, 1, 1, 0};
  const double singular[] = {1, 2, 2, 4};
  const double three[] = {2, 0, 1, 1, 3, 2, 1, 1, 2};
  EXPECT_EQ(VRN_MatrixDeterminant(swap, 2), -1.0);
  EXPECT_EQ(VRN_MatrixDeterminant(singular, 2), 0.0);
  EXPECT_NEAR(VRN_MatrixDeterminant(three, 3), 6.0, 1e-14);
  EXPECT_EQ(three[0], 2.0);
  // Two pairs at one probability cannot fix two terms.
  const double x[] = {1, 2};
  const double p[] = {0.5, 0.5};
  double a[2] = {7, 7};
  EXPECT_EQ(VRN_MetalogFit(-kInf, kInf, 2, x, p, 2, a, 0.0), -3);
  EXPECT_EQ(a[0], 7.0);
}

// MetalogA(0, 1, 0, 1) undoes the logit: the draw is u itself; with only
// the lower bound it is u / (1 - u).
TEST(MetalogFitTest, MetalogADrawsThroughTheBounds) {
  VRN_randomGenerator generator(5), twin(5);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  Tree unit = Parse("MetalogA(0, 1, 0, 1)");
  Tree open = Parse("MetalogA(0, Inf(), 0, 1)");
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(unit->Evaluate(&context), twin.NextDouble(), 1e-15);
    const double u = twin.NextDouble();
    EXPECT_NEAR(open->Evaluate(&context), u / (1 - u), 1e-12 * (1 + u / (1 - u)));
  }
}

// MetalogA(-Inf(), Inf(), 3, 2) is the logistic distribution of location 3
// and scale 2: the Kolmogorov-Smirnov distance of 20000 draws stays below
// the 1% critical value.
TEST(MetalogFitTest, UnboundedTwoTermDrawsAreLogistic) {
  VRN_randomGenerator generator(20261207);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  Tree tree = Parse("MetalogA(-Inf(), Inf(), 3, 2)");
  std::vector<double> draws(20000);
  for (double& d : draws) d = tree->Evaluate(&context);
  std::sort(draws.begin(), draws.end());
  double distance = 0.0;
  const double n = static_cast<double>(draws.size());
  for (size_t i = 0; i < draws.size(); ++i) {
    const double cdf = 1.0 / (1.0 + std::exp(-(draws[i] - 3.0) / 2.0));
    distance = std::max({distance, cdf - i / n, (i + 1) / n - cdf});
  }
  EXPECT_LT(distance, 1.63 / std::sqrt(n));
}

TEST(MetalogFitTest, OneFitPerArgumentSetInTheContextInUse) {
  Tree tree = Parse("Metalog(0, Inf(), 3, 35, 50, v, 0.1, 0.5, 0.9)");
  AssignVariable(tree.get(), "v", 75.0);
  VRN_evalContext context;
  const double first = tree->Evaluate(&context);
  EXPECT_GT(first, 0.0);
  ASSERT_EQ(context.GetCacheMap().size(), 1u);
  auto* item = dynamic_cast<MetalogCacheItem*>(
      context.GetCacheMap().at(tree.get()).get());
  ASSERT_NE(item, nullptr);
  // Equal arguments reuse the coefficients: marked ones are drawn from.
  item->coefficients[0] = -1e6;
  item->coefficients[1] = 0.0;
  item->coefficients[2] = 0.0;
  EXPECT_EQ(tree->Evaluate(&context), std::exp(-1e6));
  // A changed argument refits.
  AssignVariable(tree.get(), "v", 76.0);
  EXPECT_GT(tree->Evaluate(&context), 1e-6);
  EXPECT_NEAR(item->coefficients[0], std::log(50.0), 1e-12);

  // n outside 2..k draws NaN and fits nothing.
  for (const char* text : {"Metalog(0, 1, 4, 0.2, 0.5, 0.6, 0.1, 0.5, 0.9)",
                           "Metalog(0, 1, 1, 0.2, 0.5, 0.6, 0.1, 0.5, 0.9)",
                           "Metalog(0, 1, 1e300, 0.2, 0.5, 0.6, 0.1, 0.5, 0.9)"}) {
    VRN_evalContext fresh;
    EXPECT_TRUE(std::isnan(Parse(text)->Evaluate(&fresh))) << text;
    EXPECT_TRUE(fresh.GetCacheMap().empty()) << text;
  }
}

// The fits in map and in the maps of the call sites it holds.
void CollectFits(VRN_evalContext::CacheMap& map, std::vector<MetalogCacheItem*>& fits) {
  for (auto& entry : map) {
    if (auto* site = dynamic_cast<VRN_callSiteCache*>(entry.second.get())) {
      CollectFits(site->map, fits);
    } else if (auto* fit = dynamic_cast<MetalogCacheItem*>(entry.second.get())) {
      fits.push_back(fit);
    }
  }
}

// A user function's fits go to the caller's cache map, one per call site
// and argument set: two calls with different arguments each fit once.
TEST(MetalogFitTest, UserFunctionCallSitesKeepTheirOwnFits) {
  VRN_extFunctionContainer functions;
  int index = 0, position = 0;
  std::string message;
  ASSERT_TRUE(functions.SetDefinitions(
      {"m(a) = Metalog(0, Inf(), 3, 35, 50, a, 0.1, 0.5, 0.9)",
       "w(b) = m(b) + m(b + 1)"},
      index, position, message));
  for (const char* text : {"m(75) + m(76)", "w(75)"}) {
    Tree tree = Parse(text, &functions);
    VRN_evalContext outer;
    EXPECT_GT(tree->Evaluate(&outer), 0.0) << text;
    std::vector<MetalogCacheItem*> fits;
    CollectFits(outer.GetCacheMap(), fits);
    ASSERT_EQ(fits.size(), 2u) << text;
    EXPECT_NE(fits[0]->args[5], fits[1]->args[5]) << text;
    // Marked coefficients are drawn from, so neither call refits.
    for (MetalogCacheItem* fit : fits) {
      fit->coefficients[0] = -1e6;
      fit->coefficients[1] = fit->coefficients[2] = 0.0;
    }
    EXPECT_EQ(tree->Evaluate(&outer), 2 * std::exp(-1e6)) << text;
  }
}

}  // namespace
