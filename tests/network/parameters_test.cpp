// Parameter randomization and uniformization of a network's tables.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/network_helpers.h"
#include "network/node.h"

namespace {

using qelta_test::Table;

// a -> b -> c (CPTs) and a -> t (truth table), outcomes 2, 3, 2, 2.
void Build(VRN_network& net) {
  net.SetRandSeed(7);
  const int a = net.AddNode(qelta_test::kCpt, "a");
  const int b = net.AddNode(qelta_test::kCpt, "b");
  const int c = net.AddNode(qelta_test::kCpt, "c");
  const int t = net.AddNode(qelta_test::kTruthTable, "t");
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, net.AddArc(b, c));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, t));
}

TEST(ParametersTest, RandomTablesRepeatWithTheSeedAndStayDistributions) {
  VRN_network one, two;
  Build(one);
  Build(two);
  if (HasFatalFailure()) return;
  std::vector<std::vector<double>> before;
  for (int h = 0; h < 4; ++h) before.push_back(Table(one, h));
  EXPECT_EQ(qelta::kOk, one.RandomizeParameters(nullptr, nullptr));
  EXPECT_EQ(qelta::kOk, two.RandomizeParameters(nullptr, nullptr));
  for (int h = 0; h < 4; ++h) {
    EXPECT_EQ(Table(one, h), Table(two, h)) << h;
    const int k = one.GetNode(h)->Definition()->GetNumberOfOutcomes();
    const std::vector<double> table = Table(one, h);
    for (size_t start = 0; start < table.size(); start += k) {
      double sum = 0.0;
      int ones = 0;
      for (int i = 0; i < k; ++i) {
        sum += table[start + i];
        ones += table[start + i] == 1.0 ? 1 : 0;
      }
      EXPECT_NEAR(1.0, sum, 1e-12) << h;
      // The truth table stays deterministic.
      if (h == 3) {
        EXPECT_EQ(1, ones);
      }
    }
    if (h < 3) {
      EXPECT_NE(before[h], table) << h;
    }
  }
  EXPECT_EQ(qelta::kOk, one.UniformizeParameters(nullptr));
  EXPECT_EQ((std::vector<double>(6, 1.0 / 3)), Table(one, 1));
}

TEST(ParametersTest, ABadHandleStopsTheListAfterTheNodesBeforeIt) {
  VRN_network net;
  Build(net);
  if (HasFatalFailure()) return;
  const std::vector<std::vector<double>> before{Table(net, 0), Table(net, 1),
                                                Table(net, 2)};
  const std::vector<int> nodes{0, 1, 99, 2};
  EXPECT_EQ(qelta::kErrOutOfRange, net.RandomizeParameters(nullptr, &nodes));
  EXPECT_NE(before[0], Table(net, 0));
  EXPECT_NE(before[1], Table(net, 1));
  EXPECT_EQ(before[2], Table(net, 2));
  EXPECT_EQ(qelta::kErrOutOfRange, net.UniformizeParameters(&nodes));
  EXPECT_EQ(before[2], Table(net, 2));
}

TEST(ParametersTest, ChangedNodesLosePropagatedEvidence) {
  VRN_network net;
  Build(net);
  if (HasFatalFailure()) return;
  // a's outcome is implied by a deterministic child observation.
  ASSERT_EQ(qelta::kOk, net.GetNode(2)->Definition()->SetDefinitionFromVector(
                            {1.0, 0.0, 0.0, 1.0, 0.0, 1.0}));
  ASSERT_EQ(qelta::kOk, net.GetNode(2)->Value()->SetEvidence(0));
  ASSERT_TRUE(net.GetNode(1)->Value()->HasFlags(qelta::kValFlagPropagated));
  const std::vector<int> nodes{1};
  EXPECT_EQ(qelta::kOk, net.UniformizeParameters(&nodes));
  EXPECT_FALSE(net.GetNode(1)->Value()->HasFlags(qelta::kValFlagPropagated));
  EXPECT_TRUE(net.GetNode(2)->Value()->HasFlags(qelta::kValFlagEvidence));
}

}  // namespace
