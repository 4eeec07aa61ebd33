// Strength measures on hand-checked inputs.
#include "diagnosis/diag_measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using qelta::diag::CertaintyA;
using qelta::diag::CertaintyB;
using qelta::diag::FaultEntropy;
using qelta::diag::Measure;

TEST(DiagMeasuresTest, FaultEntropyLumpsTheRest) {
  const double half[] = {0.5, 0.5};
  const double certain[] = {1.0, 0.0};
  EXPECT_DOUBLE_EQ(1.0, FaultEntropy(half, {0}));
  EXPECT_DOUBLE_EQ(1.0, FaultEntropy(half, {0, 1}));
  EXPECT_DOUBLE_EQ(0.0, FaultEntropy(certain, {0}));
  const double three[] = {0.25, 0.25, 0.5};
  EXPECT_DOUBLE_EQ(1.5, FaultEntropy(three, {0, 1}));
}

TEST(DiagMeasuresTest, DistanceCodes) {
  struct Row {
    int code;
    std::vector<double> a, b;
    double expected;
  };
  const double d258 = std::sqrt(0.5 * (std::pow(0.1 / std::sqrt(0.26) -
                                                    0.3 / std::sqrt(0.13),
                                                2) +
                                       std::pow(0.5 / std::sqrt(0.26) -
                                                    0.2 / std::sqrt(0.13),
                                                2)));
  const Row rows[] = {
      {257, {0.5, 0.5}, {0.7, 0.2}, -0.3},
      {257, {0.5, 0.5}, {0.8, 0.2}, 0.3},  // a tie keeps the first
      {258, {0.2, 0.4}, {0.4, 0.8}, 0.0},
      {259, {0.2, 0.4}, {0.4, 0.8}, 0.0},
      {260, {0.1, 0.5}, {0.3, 0.2}, 0.25},
      {258, {0.1, 0.5}, {0.3, 0.2}, d258},
      {261, {0.1, 0.5}, {0.3, 0.2}, (d258 + 0.25) * 0.5},
      {262, {0.1}, {0.2}, -1.0},
  };
  for (const Row& row : rows) {
    EXPECT_NEAR(row.expected,
                Measure(row.code, row.a.data(), row.b.data(), row.a.size()),
                1e-12)
        << row.code;
  }
  const double zero[] = {0.0, 0.0};
  EXPECT_TRUE(std::isnan(Measure(259, zero, zero, 2)));
}

TEST(DiagMeasuresTest, Certainty) {
  EXPECT_DOUBLE_EQ(-1.0, CertaintyA({0.5, 0.5}));
  EXPECT_DOUBLE_EQ(0.0, CertaintyA({1.0, 0.0}));
  EXPECT_DOUBLE_EQ(-1.0, CertaintyB({0.5, 0.5}));
  EXPECT_DOUBLE_EQ(0.0, CertaintyB({1.0, 0.0}));
}

}  // namespace
