// Algorithm code 10 (junction tree per part) against enumeration, against
// join-tree clustering on random and benchmark networks, and its cell limit;
// algorithm code 2 (polytree propagation) likewise.
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

// Virtual evidence on a random unobserved node (false when there is none)
// weighs like an observed auxiliary child: algorithm `code` gives the
// enumerated posteriors.
bool ExpectVirtualEvidenceWeighs(VRN_network& net, std::mt19937& rng, int code,
                                 const std::string& what) {
  const int v = static_cast<int>(rng() % net.GetSlotCount());
  if (Val(net, v)->HasEvidence()) return false;
  std::vector<std::vector<double>> likelihoods(net.GetSlotCount());
  likelihoods[v].resize(testnet::Outcomes(net, v));
  for (double& l : likelihoods[v]) l = 0.1 + 0.8 * (rng() % 1000) / 1000.0;
  EXPECT_EQ(qelta::kOk, Val(net, v)->SetVirtualEvidence(likelihoods[v])) << what;
  EXPECT_EQ(qelta::kOk, RunCode(net, code)) << what;
  testnet::ExpectPosteriors(net, testnet::Enumerate(net, false, &likelihoods),
                            1e-12, what + " virtual");
  return true;
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
    ExpectVirtualEvidenceWeighs(net, rng, 10, what);
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

// ---------------------------------------------------------------------------
// Algorithm code 2 (polytree propagation) against enumeration and on random
// polytrees, reference posteriors, a long chain against a scaled
// forward-backward pass, and its refusal of loops.

void MakePolytree(std::mt19937& rng, VRN_network& net) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int n = 1 + static_cast<int>(rng() % 12);
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(i, net.AddNode(qelta::kDefCpt, ("p" + std::to_string(i)).c_str()));
    ASSERT_EQ(qelta::kOk, net.GetNode(i)->Definition()->SetNumberOfOutcomes(
                              2 + static_cast<int>(rng() % 2)));
  }
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (int i = 1; i < n; ++i) {
    if (unit(rng) < 0.1) continue;  // a forest now and then
    const int other = order[rng() % i];
    if (net.GetNode(order[i])->Parents().GetSize() < 3 && unit(rng) < 0.5) {
      ASSERT_EQ(qelta::kOk, net.AddArc(other, order[i]));
    } else {
      ASSERT_EQ(qelta::kOk, net.AddArc(order[i], other));
    }
  }
  for (int h = 0; h < n; ++h) {
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    const int k = def->GetNumberOfOutcomes();
    std::vector<double> items;
    for (int c = def->GetMatrixConst()->GetItemCount() / k; c > 0; --c) {
      std::vector<double> column(k, 0.0);
      if (unit(rng) < 0.1) {
        column[rng() % k] = 1.0;
      } else {
        double sum = 0.0;
        for (double& v : column) sum += v = unit(rng) < 0.15 ? 0.0 : 0.05 + unit(rng);
        if (sum == 0.0) column[0] = sum = 1.0;
        for (double& v : column) v /= sum;
      }
      items.insert(items.end(), column.begin(), column.end());
    }
    ASSERT_EQ(qelta::kOk, def->SetDefinitionFromVector(items));
  }
  net.SetRelevanceReasoning(false);
  for (int h = 0; h < n; ++h) {
    if (unit(rng) < 0.3) (void)Val(net, h)->SetEvidence(rng() % testnet::Outcomes(net, h));
  }
  net.SetRelevanceReasoning(true);
}

TEST(PolytreeTest, RandomPolytreesMatchEnumerationAndClustering) {
  std::mt19937 rng(1217);
  int impossible = 0, virtual_rounds = 0;
  for (int round = 0; round < 300; ++round) {
    VRN_network net;
    MakePolytree(rng, net);
    if (HasFatalFailure()) return;
    const std::string what = "polytree " + std::to_string(round);
    const testnet::Enumeration e = testnet::Enumerate(net);
    if (e.z == 0.0) {
      ++impossible;
      EXPECT_EQ(qelta::kErrZeroMarginal, RunCode(net, 2)) << what;
      EXPECT_EQ(qelta::kErrZeroMarginal, net.ErrorLog()->GetCode(0)) << what;
      // The failing component's values are invalid; other components of a
      // forest keep their (correct) beliefs.
      const int logged = net.ErrorLog()->GetNumberOfMessages();
      int invalid = 0;
      for (int h = 0; h < net.GetSlotCount(); ++h) {
        invalid += Val(net, h)->IsValueValid() ? 0 : 1;
      }
      EXPECT_LE(invalid, logged) << what;
      continue;
    }
    ASSERT_EQ(qelta::kOk, RunCode(net, 2)) << what;
    testnet::ExpectPosteriors(net, e, 1e-12, what);
    virtual_rounds += ExpectVirtualEvidenceWeighs(net, rng, 2, what) ? 1 : 0;
  }
  EXPECT_GT(impossible, 10);
  EXPECT_GT(virtual_rounds, 50);
}

TEST(PolytreeTest, ReferencePolytreesMatchTheirPosteriors) {
  for (const char* name : {"cancer", "earthquake"}) {
    VRN_network net;
    if (!shared_nets::Load(name, &net)) GTEST_SKIP() << "no " << name;
    for (bool evidence : {false, true}) {
      if (evidence) {
        ASSERT_TRUE(shared_nets::SetReferenceEvidence(name, &net));
      }
      const auto reference = shared_nets::ReferencePosteriors(
          name, evidence ? "posteriors_evidence.tsv" : "posteriors_noevidence.tsv",
          net);
      ASSERT_EQ(qelta::kOk, RunCode(net, 2)) << name;
      for (int h = 0; h < net.GetSlotCount(); ++h) {
        const std::vector<double> b = Beliefs(net, h);
        ASSERT_EQ(reference[h].size(), b.size()) << name << " " << h;
        for (size_t k = 0; k < b.size(); ++k) {
          EXPECT_NEAR(reference[h][k], b[k], 1e-9) << name << " " << h;
        }
      }
    }
  }
}

TEST(PolytreeTest, NetworksWithLoopsAreRefused) {
  VRN_network net;
  if (!shared_nets::Load("asia", &net)) GTEST_SKIP() << "no asia";
  EXPECT_EQ(qelta::kErrGeneral, RunCode(net, 2));
  ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages());
  EXPECT_STREQ("PolyTree algorithm can not be applied to this network, because "
               "it is not singly connected.",
               net.ErrorLog()->GetMessage(0));
}

TEST(PolytreeTest, LongChainMatchesScaledForwardBackward) {
  // 50,000 hidden binary nodes in a chain, each with an observed child.
  const int n = 50000;
  VRN_network net;
  const std::vector<double> prior{0.6, 0.4}, step{0.9, 0.1, 0.2, 0.8},
      emit{0.7, 0.3, 0.1, 0.9};
  std::mt19937 rng(5);
  std::vector<int> seen(n);
  net.SetRelevanceReasoning(false);  // the bookkeeping per edit is not needed
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(2 * i, net.AddNode(qelta::kDefCpt, ("h" + std::to_string(i)).c_str()));
    ASSERT_EQ(2 * i + 1, net.AddNode(qelta::kDefCpt, ("o" + std::to_string(i)).c_str()));
    if (i > 0) {
      ASSERT_EQ(qelta::kOk, net.AddArc(2 * i - 2, 2 * i));
    }
    ASSERT_EQ(qelta::kOk, net.AddArc(2 * i, 2 * i + 1));
    ASSERT_EQ(qelta::kOk, net.GetNode(2 * i)->Definition()->SetDefinitionFromVector(
                              i == 0 ? prior : step));
    ASSERT_EQ(qelta::kOk,
              net.GetNode(2 * i + 1)->Definition()->SetDefinitionFromVector(emit));
    seen[i] = static_cast<int>(rng() % 2);
  }
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(qelta::kOk, Val(net, 2 * i + 1)->SetEvidence(seen[i]));
  }
  net.SetRelevanceReasoning(true);
  // Scaled forward-backward.
  std::vector<std::vector<double>> alpha(n, std::vector<double>(2)),
      beta(n, std::vector<double>(2, 1.0));
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int x = 0; x < 2; ++x) {
      const double p = i == 0 ? prior[x]
                              : alpha[i - 1][0] * step[x] + alpha[i - 1][1] * step[2 + x];
      sum += alpha[i][x] = p * emit[2 * x + seen[i]];
    }
    for (double& a : alpha[i]) a /= sum;
  }
  for (int i = n - 2; i >= 0; --i) {
    double sum = 0.0;
    for (int x = 0; x < 2; ++x) {
      double b = 0.0;
      for (int y = 0; y < 2; ++y) b += step[2 * x + y] * emit[2 * y + seen[i + 1]] * beta[i + 1][y];
      sum += beta[i][x] = b;
    }
    for (double& b : beta[i]) b /= sum;
  }
  ASSERT_EQ(qelta::kOk, RunCode(net, 2));
  for (int i = 0; i < n; i += 1) {
    const double p0 = alpha[i][0] * beta[i][0], p1 = alpha[i][1] * beta[i][1];
    ASSERT_NEAR(p0 / (p0 + p1), Beliefs(net, 2 * i)[0], 1e-9) << i;
  }
}

}  // namespace
