// Annealed MAP against enumeration on random networks, and its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

using testnet::Val;

std::vector<std::pair<int, int>> EvidencePairs(VRN_network& net) {
  std::vector<std::pair<int, int>> pairs;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (Val(net, h)->HasEvidence()) pairs.emplace_back(h, Val(net, h)->GetEvidence());
  }
  return pairs;
}

// P(e and the MAP nodes at outcomes) by enumeration of a copy.
double JointWith(VRN_network& net, const std::vector<int>& map,
                 const std::vector<int>& outcomes) {
  VRN_network copy(net);
  copy.SetRelevanceReasoning(false);
  for (size_t i = 0; i < map.size(); ++i) {
    VRN_nodeVal* value = Val(copy, map[i]);
    if (value->HasEvidence() && value->GetEvidence() != outcomes[i]) return 0.0;
    if (!value->HasFlags(qelta::kValFlagEvidence)) {
      EXPECT_EQ(qelta::kOk, value->SetEvidence(outcomes[i]));
    }
  }
  return testnet::Enumerate(copy).z;
}

TEST(AnnealedMapTest, RandomNetworksGiveExactProbabilitiesAndMostlyTheMap) {
  std::mt19937 rng(4242);
  int true_map = 0, possible = 0, single_true = 0, single = 0;
  for (int round = 0; round < 200; ++round) {
    VRN_network net;
    testnet::MakeRandomNetwork(rng, net, {8, 3, 1 << 13, 0.2});
    if (HasFatalFailure()) return;
    const std::string what = "network " + std::to_string(round);
    net.SetRelevanceReasoning(false);
    (void)net.ClearAllEvidence();
    const int n = net.GetSlotCount();
    for (int k = static_cast<int>(rng() % 3); k > 0; --k) {
      const int h = static_cast<int>(rng() % n);
      (void)Val(net, h)->SetEvidence(static_cast<int>(rng() % testnet::Outcomes(net, h)));
    }
    net.SetRelevanceReasoning(true);
    std::vector<int> map;
    for (int k = 1 + static_cast<int>(rng() % 4); k > 0 && static_cast<int>(map.size()) < n; --k) {
      int h = static_cast<int>(rng() % n);
      while (std::find(map.begin(), map.end(), h) != map.end()) h = (h + 1) % n;
      map.push_back(h);
    }
    const double z = testnet::Enumerate(net).z;
    std::vector<int> found;
    double best = -1.0, pe = -1.0;
    const std::string before = [&] {
      std::string s;
      for (int h = 0; h < n; ++h) {
        // Read as every reader does: implied outcomes current.
        s += std::to_string(net.EvidenceOf(h)->GetFlags()) + ",";
        for (double v : net.GetNode(h)->Definition()->GetMatrixConst()->GetItems()) {
          s += std::to_string(v) + " ";
        }
      }
      return s;
    }();
    const int status = net.AnnealedMAP(EvidencePairs(net), map, &found, &best, &pe, 1);
    if (z == 0.0) {
      EXPECT_EQ(qelta::kErrZeroMarginal, status) << what;
      continue;
    }
    ASSERT_EQ(qelta::kOk, status) << what;
    ++possible;
    ASSERT_EQ(map.size(), found.size()) << what;
    EXPECT_NEAR(z, pe, 1e-12) << what;
    EXPECT_NEAR(JointWith(net, map, found) / z, best, 1e-12) << what;
    // The true MAP by enumeration over the MAP nodes' outcomes.
    double top = 0.0;
    std::vector<int> x(map.size(), 0);
    for (;;) {
      top = std::max(top, JointWith(net, map, x));
      size_t i = 0;
      for (; i < x.size(); ++i) {
        if (++x[i] < testnet::Outcomes(net, map[i])) break;
        x[i] = 0;
      }
      if (i == x.size()) break;
    }
    const bool is_map = best * z >= top - 1e-12;
    true_map += is_map ? 1 : 0;
    if (map.size() == 1) {
      ++single;
      single_true += is_map ? 1 : 0;
    }
    // Same seed, same bits.
    std::vector<int> again;
    double best2 = -1.0, pe2 = -1.0;
    ASSERT_EQ(qelta::kOk, net.AnnealedMAP(EvidencePairs(net), map, &again, &best2, &pe2, 1));
    EXPECT_EQ(found, again) << what;
    EXPECT_EQ(best, best2) << what;
    EXPECT_EQ(pe, pe2) << what;
    const std::string after = [&] {
      std::string s;
      for (int h = 0; h < n; ++h) {
        s += std::to_string(Val(net, h)->GetFlags()) + ",";
        for (double v : net.GetNode(h)->Definition()->GetMatrixConst()->GetItems()) {
          s += std::to_string(v) + " ";
        }
      }
      return s;
    }();
    EXPECT_EQ(before, after) << what;
  }
  EXPECT_GE(true_map, possible - 5);
  EXPECT_EQ(single, single_true);
}

TEST(AnnealedMapTest, VirtualEvidenceOfAMapNodeStaysInForce) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "a"), b = net.AddNode(qelta::kDefCpt, "b");
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.6, 0.4}));
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector(
                            {0.5, 0.5, 0.3, 0.7}));
  // The prior favours a = 0; the likelihood turns it: 0.6 * 0.2 < 0.4 * 0.9.
  ASSERT_EQ(qelta::kOk, Val(net, a)->SetVirtualEvidence({0.2, 0.9}));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  const double posterior = testnet::Beliefs(net, a)[1];
  std::vector<int> found;
  double best = 0.0, pe = 0.0;
  ASSERT_EQ(qelta::kOk, net.AnnealedMAP({}, {a, b}, &found, &best, &pe, 1));
  EXPECT_EQ((std::vector<int>{1, 1}), found);
  EXPECT_NEAR(posterior * 0.7, best, 1e-12);
  EXPECT_TRUE(Val(net, a)->HasVirtualEvidence());
}

// An outcome of probability 2e-311 makes the ratio of a move away from it
// overflow; the score reported is still the assignment's own probability,
// for one pair of MAP nodes and for two.
TEST(AnnealedMapTest, RatiosBeyondTheDoublesGiveTheAssignmentsProbability) {
  for (int pairs : {1, 2}) {
    VRN_network net;
    std::vector<int> map;
    for (int k = 0; k < pairs; ++k) {
      const int a = net.AddNode(qelta::kDefCpt, ("a" + std::to_string(k)).c_str());
      const int b = net.AddNode(qelta::kDefCpt, ("b" + std::to_string(k)).c_str());
      ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetNumberOfOutcomes(3));
      ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
      ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.5, 0.5}));
      ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector(
                                {0.6, 0.2, 0.2, 2e-311, 0.5, 0.5}));
      map.push_back(a);
      map.push_back(b);
    }
    for (int seed = 1; seed <= 400; seed += seed == 1 ? 352 : 1) {
      SCOPED_TRACE(testing::Message() << pairs << " pairs, seed " << seed);
      std::vector<int> found;
      double best = 0.0, pe = 0.0;
      ASSERT_EQ(qelta::kOk, net.AnnealedMAP({}, map, &found, &best, &pe, seed));
      const double want = JointWith(net, map, found);
      EXPECT_NEAR(want, best, 1e-12 * want);
      EXPECT_GE(best, std::pow(0.3, pairs) * (1 - 1e-12));  // the greedy start's
    }
  }
}

TEST(AnnealedMapTest, SliceObservationsAreDroppedAndSliceLikelihoodsKept) {
  // Two slices: F -> F and F -> Q of order 1, the terminals T on Q and O on F. The
  // oracle: the unrolled network, Q's slice 1 at map entry 1 * 2 + 1.
  VRN_network net, unrolled;
  ASSERT_EQ(qelta::kOk, net.ReadString(
      "<qelta version='1.0' id='N'><nodes><cpt id='F' dynamic='plate'><state id='f0'/>"
      "<state id='f1'/><probabilities>0.7 0.3</probabilities></cpt><cpt id='Q' dynamic='plate'>"
      "<state id='q0'/><state id='q1'/><probabilities>0.5 0.5</probabilities></cpt>"
      "<cpt id='T' dynamic='terminal'><state id='t0'/><state id='t1'/><parents>Q</parents>"
      "<probabilities>0.8 0.2 0.1 0.9</probabilities></cpt><cpt id='O' dynamic='terminal'>"
      "<state id='o0'/><state id='o1'/><parents>F</parents><probabilities>0.9 0.1 0.4 0.6"
      "</probabilities></cpt></nodes><dynamic numslices='2'><cpt id='F' order='1'><parents>F"
      "</parents><probabilities>0.95 0.05 0.4 0.6</probabilities></cpt><cpt id='Q' order='1'>"
      "<parents>F</parents><probabilities>0.9 0.1 0.2 0.8</probabilities></cpt></dynamic>"
      "</qelta>", 0));
  const int q = net.FindNode("Q"), t = net.FindNode("T");
  std::vector<int> map, found;
  ASSERT_EQ(qelta::kOk, net.UnrollNetwork(unrolled, map));
  double best = 0.0, pe = 0.0;
  for (bool soft : {false, true}) {
    SCOPED_TRACE(soft);
    ASSERT_EQ(qelta::kOk, soft ? Val(net, q)->SetTemporalVirtualEvidence(1, {0.2, 0.8})
                               : Val(net, q)->SetTemporalEvidence(1, 1));
    ASSERT_EQ(qelta::kOk, soft ? Val(unrolled, map[3])->SetVirtualEvidence({0.2, 0.8}) : qelta::kOk);
    ASSERT_EQ(qelta::kOk, unrolled.UpdateBeliefs());
    const std::vector<double> belief = testnet::Beliefs(unrolled, t);
    const int want = belief[1] > belief[0] ? 1 : 0;
    ASSERT_EQ(qelta::kOk, net.AnnealedMAP({}, {t}, &found, &best, &pe, 5));
    EXPECT_EQ(std::vector<int>{want}, found);
    EXPECT_NEAR(belief[want], best, 1e-9);
    EXPECT_NEAR(soft ? 0.386 : 1.0, pe, 1e-9);
    EXPECT_EQ(soft ? -2 : 1, Val(net, q)->GetTemporalEvidence(1));
  }
  EXPECT_TRUE(Val(net, q)->IsTemporalVirtualEvidence(1));
  // A plate MAP node would need one outcome per slice: refused, the reason
  // logged once per call.
  net.ErrorLog()->Flush();
  for (int call = 1; call <= 2; ++call) {
    EXPECT_EQ(qelta::kErrOutOfRange, net.AnnealedMAP({}, {t, q}, &found, &best, &pe, 5));
    ASSERT_EQ(call, net.ErrorLog()->GetNumberOfMessages());
    EXPECT_STREQ("Annealed MAP: node [Q] is a plate node in 2 slices: a MAP node gets one "
                 "outcome, not one per slice",
                 net.ErrorLog()->GetMessage(call - 1));
  }
}

// The search works on a copy of the network: why the copy refused reaches
// the network's own log. C = c0 needs A = B and D = d0 not both a1 and b1,
// so c0 and d0 leave only (a0, b0): with A and B at 2^-600 its probability
// lies below every double, and no double holds it; with A at 0 it cannot be.
TEST(AnnealedMapTest, TheCopysReasonReachesTheNetworksLog) {
  for (double small : {std::ldexp(1.0, -600), 0.0}) {
    SCOPED_TRACE(small);
    VRN_network net;
    const int a = net.AddNode(qelta::kDefCpt, "A"), b = net.AddNode(qelta::kDefCpt, "B");
    const int c = net.AddNode(qelta::kDefCpt, "C"), d = net.AddNode(qelta::kDefCpt, "D");
    ASSERT_EQ(qelta::kOk, net.AddArc(a, c) | net.AddArc(b, c) | net.AddArc(a, d) | net.AddArc(b, d));
    ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({small, 1 - small}));
    ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector(
                              {std::ldexp(1.0, -600), 1 - std::ldexp(1.0, -600)}));
    ASSERT_EQ(qelta::kOk, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                              {1, 0, 0, 1, 0, 1, 1, 0}));
    ASSERT_EQ(qelta::kOk, net.GetNode(d)->Definition()->SetDefinitionFromVector(
                              {1, 0, 1, 0, 1, 0, 0, 1}));
    net.ErrorLog()->Flush();
    std::vector<int> found;
    double best = 0.0, pe = 0.0;
    EXPECT_EQ(small > 0.0 ? qelta::kErrGeneral : qelta::kErrZeroMarginal,
              net.AnnealedMAP({{c, 0}, {d, 0}}, {a}, &found, &best, &pe, 1));
    std::string log;
    for (int i = 0; i < net.ErrorLog()->GetNumberOfMessages(); ++i) {
      log += net.ErrorLog()->GetMessage(i);
    }
    EXPECT_NE(std::string::npos,
              log.find(small > 0.0 ? "below the range of double" : "probability zero"))
        << log;
    EXPECT_FALSE(Val(net, c)->HasEvidence());
  }
}

TEST(AnnealedMapTest, BadMapNodesAreRefused) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "a");
  const int d = net.AddNode(17, "d");  // a decision
  std::vector<int> found;
  double best = 0.0, pe = 0.0;
  EXPECT_EQ(qelta::kErrOutOfRange, net.AnnealedMAP({}, {a, a}, &found, &best, &pe, 1));
  EXPECT_EQ(qelta::kErrOutOfRange, net.AnnealedMAP({}, {7}, &found, &best, &pe, 1));
  if (d >= 0) {  // where this build has decision nodes
    EXPECT_EQ(qelta::kErrWrongNodeType, net.AnnealedMAP({}, {d}, &found, &best, &pe, 1));
  }
  EXPECT_TRUE(found.empty());
  // Without MAP nodes the search only weighs the evidence, which an
  // influence diagram has no probability of.
  VRN_network plain;
  (void)plain.AddNode(qelta::kDefCpt, "a");
  EXPECT_EQ(qelta::kOk, plain.AnnealedMAP({}, {}, &found, &best, &pe, 1));
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(1.0, pe);
}

}  // namespace
