#include "base/metalog.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

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

}  // namespace
