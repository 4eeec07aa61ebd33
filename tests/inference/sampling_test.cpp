// The samplers (codes 1, 3 to 9) against join-tree clustering with fixed
// seeds and a stated bound, and their identities and failure paths.
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

constexpr int kRuns = 20;          // seeds 1 .. runs (random networks)
#if defined(__SANITIZE_ADDRESS__)
// Instrumented builds: fewer runs, and only the four smallest networks (the
// others would take too long there), so none is listed as skipped.
constexpr int kSharedRuns = 20;
#define QELTA_SAMPLED_NETWORKS "asia", "cancer", "earthquake", "survey"
#else
constexpr int kSharedRuns = 100;   // seeds 1 .. runs (benchmark networks)
#define QELTA_SAMPLED_NETWORKS                                            \
  "asia", "cancer", "earthquake", "survey", "sachs", "child", "insurance", \
      "alarm", "hepar2", "win95pts"
#endif
constexpr double kBoundSe = 6.0;   // standard errors of the mean of the runs

int RunCode(VRN_network& net, int code, int seed) {
  testnet::PoisonBeliefs(net);
  net.ErrorLog()->Flush();
  net.SetRandSeed(seed);
  EXPECT_EQ(code, net.SetDefaultBNAlgorithm(code));
  return net.UpdateBeliefs();
}

std::vector<std::vector<double>> AllBeliefs(VRN_network& net) {
  std::vector<std::vector<double>> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    out.push_back(Val(net, h)->IsValueValid() ? Beliefs(net, h)
                                              : std::vector<double>());
  }
  return out;
}

// Every belief's mean over the runs lies within kBoundSe standard errors
// (plus one sample's worth) of clustering's; where every run gave the same value, clustering's lies
// within 1e-3 of it and of 0 or 1 (a state too rare to be drawn), or
// equals it (not sampled).
void ExpectUnbiased(VRN_network& net, int code, const std::string& what,
                    int runs = kRuns) {
  ASSERT_EQ(qelta::kOk, RunCode(net, 0, 0)) << what;
  const auto exact = AllBeliefs(net);
  std::vector<std::vector<double>> sum(exact.size()), square(exact.size());
  for (size_t i = 0; i < exact.size(); ++i) {
    sum[i].assign(exact[i].size(), 0.0);
    square[i].assign(exact[i].size(), 0.0);
  }
  for (int seed = 1; seed <= runs; ++seed) {
    ASSERT_EQ(qelta::kOk, RunCode(net, code, seed)) << what << " seed " << seed;
    const auto b = AllBeliefs(net);
    for (size_t i = 0; i < exact.size(); ++i) {
      ASSERT_EQ(exact[i].size(), b[i].size()) << what << " node " << i;
      for (size_t k = 0; k < b[i].size(); ++k) {
        sum[i][k] += b[i][k];
        square[i][k] += b[i][k] * b[i][k];
      }
    }
  }
  for (size_t i = 0; i < exact.size(); ++i) {
    for (size_t k = 0; k < exact[i].size(); ++k) {
      const double mean = sum[i][k] / runs;
      const double var = std::max(0.0, square[i][k] / runs - mean * mean);
      const double sd = std::sqrt(var * runs / (runs - 1));
      if (sd < 1e-12) {
        EXPECT_NEAR(exact[i][k], mean, 1e-3) << what << " node " << i;
        // Unless it was not sampled at all (a part of one node).
        EXPECT_TRUE(std::fabs(mean) < 1e-3 || std::fabs(mean - 1) < 1e-3 ||
                    std::fabs(mean - exact[i][k]) < 1e-12)
            << what << " node " << i << " always " << mean;
      } else {
        // States rarer than one in a run's samples are drawn too seldom for
        // a spread to show: one sample's worth of slack.
        const double floor = 1.0 / net.GetNumberOfSamples();
        EXPECT_NEAR(exact[i][k], mean, kBoundSe * sd / std::sqrt(runs) + floor)
            << what << " node " << i << " outcome " << k;
      }
    }
  }
}

const int kCodes[] = {1, 3, 4, 6, 7, 8};

class SharedSamplingTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SharedSamplingTest, MeansMatchClusteringWithReferenceEvidence) {
  const std::string name = GetParam();
  VRN_network net;
  if (!shared_nets::Load(name, &net)) GTEST_SKIP() << "no " << name;
  (void)shared_nets::SetReferenceEvidence(name, &net);
  ASSERT_EQ(qelta::kOk, net.SetNumberOfSamples(10000));
  for (int code : kCodes) {
    ExpectUnbiased(net, code, name + " code " + std::to_string(code), kSharedRuns);
  }
}

INSTANTIATE_TEST_SUITE_P(Networks, SharedSamplingTest,
                         ::testing::Values(QELTA_SAMPLED_NETWORKS));

TEST(SamplingTest, RandomNetworksMatchClustering) {
  std::mt19937 rng(77);
  int done = 0;
  while (done < 50) {
    VRN_network net;
    testnet::MakeRandomNetwork(rng, net, {8, 3, 1 << 12, 0.1});
    if (HasFatalFailure()) return;
    if (testnet::Enumerate(net).z < 0.01) continue;
    // Virtual evidence on a node now and then: its auxiliary record weighs.
    const int v = static_cast<int>(rng() % net.GetSlotCount());
    if (!Val(net, v)->HasEvidence() && rng() % 2 == 0) {
      std::vector<double> likelihood(testnet::Outcomes(net, v), 0.5);
      likelihood[0] = 0.9;
      ASSERT_EQ(qelta::kOk, Val(net, v)->SetVirtualEvidence(likelihood));
    }
    ASSERT_EQ(qelta::kOk, net.SetNumberOfSamples(2000));
    for (int code : kCodes) {
      ExpectUnbiased(net, code, "random " + std::to_string(done) + " code " +
                                    std::to_string(code));
    }
    ++done;
  }
}

TEST(SamplingTest, LoopyPropagationIsExactOnPolytrees) {
  for (const char* name : {"cancer", "earthquake"}) {
    VRN_network net;
    if (!shared_nets::Load(name, &net)) GTEST_SKIP() << "no " << name;
    VRN_episParams epis = net.GetEpisParams();
    // Virtual-evidence records lengthen the paths by one.
    epis.proplen = net.GetNumberOfNodes() + 2;
    ASSERT_EQ(qelta::kOk, net.SetEpisParams(epis));
    ASSERT_TRUE(shared_nets::SetReferenceEvidence(name, &net));
    const int leaf = net.GetFirstNode();
    if (!Val(net, leaf)->HasEvidence()) {
      ASSERT_EQ(qelta::kOk, Val(net, leaf)->SetVirtualEvidence(
                                std::vector<double>(testnet::Outcomes(net, leaf), 0.3)));
      std::vector<double> likelihood(testnet::Outcomes(net, leaf), 0.3);
      likelihood[0] = 0.9;
      ASSERT_EQ(qelta::kOk, Val(net, leaf)->SetVirtualEvidence(likelihood));
    }
    ASSERT_EQ(qelta::kOk, RunCode(net, 0, 0));
    const auto exact = AllBeliefs(net);
    ASSERT_EQ(qelta::kOk, RunCode(net, 9, 1));
    const auto loopy = AllBeliefs(net);
    for (size_t i = 0; i < exact.size(); ++i) {
      ASSERT_EQ(exact[i].size(), loopy[i].size()) << name;
      for (size_t k = 0; k < exact[i].size(); ++k) {
        EXPECT_NEAR(exact[i][k], loopy[i][k], 1e-12) << name << " node " << i;
      }
    }
  }
}

TEST(SamplingTest, IdentitiesOfTheForwardSamplers) {
  VRN_network net;
  if (!shared_nets::Load("alarm", &net)) GTEST_SKIP() << "no alarm";
  ASSERT_TRUE(shared_nets::SetReferenceEvidence("alarm", &net));
  ASSERT_EQ(qelta::kOk, RunCode(net, 3, 9));
  const auto three = AllBeliefs(net);
  ASSERT_EQ(qelta::kOk, RunCode(net, 5, 9));
  EXPECT_EQ(three, AllBeliefs(net));  // bit for bit
  ASSERT_EQ(qelta::kOk, RunCode(net, 3, 9));
  EXPECT_EQ(three, AllBeliefs(net));  // a seed twice
  // Code 4 re-estimates its tables only after iteration 100.
  ASSERT_EQ(qelta::kOk, net.SetNumberOfSamples(101));
  ASSERT_EQ(qelta::kOk, RunCode(net, 3, 9));
  const auto short_run = AllBeliefs(net);
  ASSERT_EQ(qelta::kOk, RunCode(net, 4, 9));
  EXPECT_EQ(short_run, AllBeliefs(net));
}

TEST(SamplingTest, APartWithoutUsefulSamplesFailsButTheOthersFinish) {
  // Two independent parts: a -> b with impossible evidence on b (the
  // first part), c -> d with possible evidence.
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "a"), b = net.AddNode(qelta::kDefCpt, "b");
  const int c = net.AddNode(qelta::kDefCpt, "c"), d = net.AddNode(qelta::kDefCpt, "d");
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, net.AddArc(c, d));
  const std::vector<double> never{1.0, 0.0, 1.0, 0.0}, mixed{0.7, 0.3, 0.2, 0.8};
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector(never));
  ASSERT_EQ(qelta::kOk, net.GetNode(d)->Definition()->SetDefinitionFromVector(mixed));
  net.SetRelevanceReasoning(false);
  ASSERT_EQ(qelta::kOk, Val(net, b)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, Val(net, d)->SetEvidence(1));
  net.SetRelevanceReasoning(true);
  for (int code : {1, 3, 4, 5, 6, 7, 8, 9}) {
    EXPECT_EQ(qelta::kErrNoUsefulSamples, RunCode(net, code, 3)) << code;
    ASSERT_GE(net.ErrorLog()->GetNumberOfMessages(), 1);
    EXPECT_STREQ("No useful samples have been generated for some of nodes.",
                 net.ErrorLog()->GetMessage(0));
    EXPECT_FALSE(Val(net, a)->IsValueValid()) << code;
    // Codes 7 to 9 stop at the failing part; the others finish the rest.
    EXPECT_EQ(code < 7, Val(net, c)->IsValueValid()) << code;
  }
}

}  // namespace
