// Algorithm code 10 (junction tree per part) against enumeration, against
// join-tree clustering on random and benchmark networks, and its cell limit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/shared_networks.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

using testnet::Beliefs;
using testnet::Val;

using testnet::RunCode;

std::vector<std::vector<double>> AllBeliefs(VRN_network& net) {
  std::vector<std::vector<double>> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    EXPECT_TRUE(Val(net, h)->IsValueValid()) << h;
    out.push_back(Beliefs(net, h));
  }
  return out;
}

void ExpectNear(const std::vector<std::vector<double>>& a,
                const std::vector<std::vector<double>>& b, double tolerance,
                const std::string& what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].size(), b[i].size()) << what << " node " << i;
    for (size_t k = 0; k < a[i].size(); ++k) {
      EXPECT_NEAR(a[i][k], b[i][k], tolerance) << what << " node " << i;
    }
  }
}

TEST(JunctionTreeTest, RandomNetworksMatchEnumerationAndClustering) {
  std::mt19937 rng(1707);
  int impossible = 0;
  for (int round = 0; round < 300; ++round) {
    VRN_network net;
    testnet::MakeRandomNetwork(rng, net, {15, 4, 1 << 16, 0.1});
    if (HasFatalFailure()) return;
    const std::string what = "network " + std::to_string(round);
    const testnet::Enumeration e = testnet::Enumerate(net);
    if (e.z == 0.0) {
      ++impossible;
      EXPECT_EQ(qelta::kErrZeroMarginal, RunCode(net, 10)) << what;
      for (int h = 0; h < net.GetSlotCount(); ++h) {
        if (!Val(net, h)->IsValueValid()) continue;
        for (double v : Beliefs(net, h)) EXPECT_TRUE(v >= 0.0) << what;
      }
      continue;
    }
    ASSERT_EQ(qelta::kOk, RunCode(net, 10)) << what;
    testnet::ExpectPosteriors(net, e, 1e-12, what);
    // Virtual evidence on an unobserved node: the same as clustering.
    const int v = static_cast<int>(rng() % net.GetSlotCount());
    if (Val(net, v)->HasEvidence()) continue;
    std::vector<double> likelihood(testnet::Outcomes(net, v));
    for (double& l : likelihood) l = 0.1 + 0.8 * (rng() % 1000) / 1000.0;
    ASSERT_EQ(qelta::kOk, Val(net, v)->SetVirtualEvidence(likelihood));
    const int rc = RunCode(net, 0);
    const auto clustered = AllBeliefs(net);
    EXPECT_EQ(rc, RunCode(net, 10)) << what;
    if (rc == qelta::kOk) ExpectNear(clustered, AllBeliefs(net), 1e-12, what);
  }
  EXPECT_GT(impossible, 10);
}

class SharedNetworkTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SharedNetworkTest, MatchesClusteringWithAndWithoutEvidence) {
  const std::string name = GetParam();
  VRN_network net;
  if (!shared_nets::Load(name, &net)) {
    GTEST_SKIP() << "no " << name << " in " << shared_nets::DataDir();
  }
  const double tolerance = net.GetNumberOfNodes() > 200 ? 1e-10 : 1e-12;
  for (bool evidence : {false, true}) {
    if (evidence && !shared_nets::SetReferenceEvidence(name, &net)) break;
    ASSERT_EQ(qelta::kOk, RunCode(net, 0)) << name;
    const auto clustered = AllBeliefs(net);
    const int rc = RunCode(net, 10);
    if (rc == qelta::kErrOutOfMemory) continue;  // a part past the limit
    ASSERT_EQ(qelta::kOk, rc) << name;
    ExpectNear(clustered, AllBeliefs(net), tolerance, name);
  }
}

INSTANTIATE_TEST_SUITE_P(Networks, SharedNetworkTest,
                         ::testing::Values("asia", "cancer", "earthquake",
                                           "survey", "sachs", "child",
                                           "insurance", "alarm", "win95pts",
                                           "hepar2", "hailfinder", "water",
                                           "pathfinder", "andes"));

TEST(JunctionTreeTest, BenchmarkNetworkPastTheCellLimitIsRefused) {
  // A minimum-fill triangulation of munin1 needs about 4.3e8 cells.
  VRN_network net;
  if (!shared_nets::Load("munin1", &net)) GTEST_SKIP() << "no munin1";
  EXPECT_EQ(qelta::kErrOutOfMemory, RunCode(net, 10));
}

TEST(JunctionTreeTest, PartsPastTheCellLimitAreRefusedBeforeAllocating) {
  // A 32 x 32 grid of binary nodes: every clique table together needs far
  // more than 2^28 cells.
  VRN_network net;
  const int side = 32;
  for (int i = 0; i < side * side; ++i) {
    ASSERT_EQ(i, net.AddNode(qelta::kDefCpt, ("g" + std::to_string(i)).c_str()));
  }
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      if (c > 0) {
        ASSERT_EQ(qelta::kOk, net.AddArc(r * side + c - 1, r * side + c));
      }
      if (r > 0) {
        ASSERT_EQ(qelta::kOk, net.AddArc((r - 1) * side + c, r * side + c));
      }
    }
  }
  EXPECT_EQ(qelta::kErrOutOfMemory, RunCode(net, 10));
  EXPECT_FALSE(Val(net, side * side - 1)->IsValueValid());
}

}  // namespace
