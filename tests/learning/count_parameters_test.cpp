#include "learning/count_parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"
#include "structure_data.h"

namespace {

std::vector<double> Table(VRN_network& net, int h) {
  const VRN_doubleArray& items = net.GetNode(h)->Definition()->GetMatrix()->GetItems();
  return std::vector<double>(items.Items(), items.Items() + items.GetSize());
}

// A -> B over columns A, B, matched by BuildNetwork and MatchNetwork.
struct Learned {
  VRN_network net;
  VRN_dataset data;
  std::vector<VRN_dataMatch> matches;
  explicit Learned(VRN_dataset d) : data(std::move(d)) {
    data.BuildNetwork(net);
    std::string error;
    EXPECT_EQ(0, data.MatchNetwork(net, matches, error)) << error;
    EXPECT_EQ(0, net.AddArc(0, 1));
  }
};

TEST(CountParametersTest, EstimatesAndPriors) {
  // (3, 0) with pseudo-count 0 gets 1/2 added to each cell: 0.875, 0.125.
  Learned zero(structdata::Pairs({3, 0, 0, 0}));
  zero.data.SetInt(1, 0, 0);
  ASSERT_EQ(0, VRN_CountParameters(zero.net, zero.data, zero.matches, nullptr, 0.0));
  EXPECT_EQ((std::vector<double>{0.875, 0.125, 0.5, 0.5}), Table(zero.net, 1));  // unseen A=1 uniform
  EXPECT_EQ((std::vector<double>{0.875, 0.125}), Table(zero.net, 0));

  // Pseudo-count 10 over (0.5, 0.5) and counts (3, 1): 8/14, 6/14.
  Learned prior(structdata::Pairs({3, 1, 0, 0}));
  for (int h : {0, 1}) {
    VRN_doubleArray& items = prior.net.GetNode(h)->Definition()->GetMatrix()->GetItems();
    for (int k = 0; k < items.GetSize(); ++k) items[k] = 0.5;
  }
  ASSERT_EQ(0, VRN_CountParameters(prior.net, prior.data, prior.matches, nullptr, 10.0));
  EXPECT_NEAR(8.0 / 14, Table(prior.net, 1)[0], 1e-15);
  EXPECT_NEAR(6.0 / 14, Table(prior.net, 1)[1], 1e-15);
}

TEST(CountParametersTest, LogLikelihood) {
  Learned pairs(structdata::Pairs({45, 5, 5, 45}));
  double ll = 0.0;
  ASSERT_EQ(0, VRN_CountParameters(pairs.net, pairs.data, pairs.matches, &ll, 0.0));
  EXPECT_NEAR(-101.8230153951, ll, 1e-9);
  // Every record certain under the learned tables: 0.
  Learned sure(structdata::Columns({{0, 0, 0}, {1, 1, 1}}, {2, 2}));
  const double certain[2][4] = {{1, 0}, {0, 1, 0.5, 0.5}};
  for (int h : {0, 1}) {
    VRN_doubleArray& items = sure.net.GetNode(h)->Definition()->GetMatrix()->GetItems();
    for (int k = 0; k < items.GetSize(); ++k) items[k] = certain[h][k];
  }
  ASSERT_EQ(0, VRN_CountParameters(sure.net, sure.data, sure.matches, &ll, 1.0));
  EXPECT_EQ(0.0, ll);
}

TEST(CountParametersTest, RefusalsLeaveTablesAlone) {
  Learned l(structdata::Pairs({3, 1, 2, 4}));
  const std::vector<double> before = Table(l.net, 1);
  struct Case {
    std::vector<VRN_dataMatch> matches;
    int code;
    std::string message;
  } cases[] = {
      {{l.matches[0]}, -2, "Counting: the matches do not cover the network's nodes"},
      {{l.matches[0], {1, 0, 7}}, -4, "Counting: column 7 does not exist"},
      {{l.matches[0], {0, 0, 1}}, -2, "Counting: a match names a bad or repeated node"},
  };
  for (const Case& c : cases) {
    l.net.ErrorLog()->Flush();
    EXPECT_EQ(c.code, VRN_CountParameters(l.net, l.data, c.matches, nullptr, 0.0));
    EXPECT_STREQ(c.message.c_str(), l.net.ErrorLog()->GetMessage(0));
    EXPECT_EQ(before, Table(l.net, 1));
  }
  l.data.SetInt(1, 2, 5);  // outside B's two outcomes
  EXPECT_EQ(-4, VRN_CountParameters(l.net, l.data, l.matches, nullptr, 0.0));
  l.data.SetInt(1, 2, -1);  // missing
  EXPECT_EQ(-4, VRN_CountParameters(l.net, l.data, l.matches, nullptr, 0.0));
  EXPECT_STREQ("Counting: column 'B' has a missing value", l.net.ErrorLog()->GetMessage(2));
  EXPECT_EQ(before, Table(l.net, 1));
  ASSERT_EQ(0, l.net.GetNode(1)->setNodeType(20));  // truth table: not a CPT
  EXPECT_EQ(-51, VRN_CountParameters(l.net, l.data, l.matches, nullptr, 0.0));
}

}  // namespace
