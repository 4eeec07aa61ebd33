// Join-tree clustering on evidence whose probability lies far below the
// double range: a hidden chain with an observation under every slice.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "network/network.h"
#include "test_networks.h"

namespace {

constexpr double kStart[2] = {0.6, 0.4};
constexpr double kMove[4] = {0.7, 0.3, 1.0, 0.0};            // never 1 -> 1
constexpr double kSee[6] = {0.3, 0.7, 0.0, 0.3, 0.2, 0.5};  // 2 needs x = 1

TEST(UnderflowTest, TinyEvidenceGivesExactAnswersAndImpossibleStillFails) {
  // P(e) near 1e-130 with 300 slices, near 1e-400 (below any double) with
  // 1000; -1000 sees outcome 2 in two slices running, which is impossible.
  for (const int n : {300, 1000, -1000}) {
    const int slices = std::abs(n);
    VRN_network net;
    std::vector<int> e(slices);
    for (int t = 0; t < slices; ++t) {
      e[t] = n < 0 && t / 2 == 250 ? 2 : t % 3 == 0;
      const int x = net.AddNode(qelta::kDefCpt, ("x" + std::to_string(t)).c_str());
      const int y = net.AddNode(qelta::kDefCpt, ("e" + std::to_string(t)).c_str());
      ASSERT_EQ(qelta::kOk, net.GetNode(y)->Definition()->SetNumberOfOutcomes(3));
      ASSERT_EQ(qelta::kOk, net.AddArc(x, y));
      if (t > 0) {
        ASSERT_EQ(qelta::kOk, net.AddArc(x - 2, x));
      }
      ASSERT_EQ(qelta::kOk, net.GetNode(x)->Definition()->SetDefinitionFromVector(
                                t > 0 ? std::vector<double>(kMove, kMove + 4)
                                      : std::vector<double>(kStart, kStart + 2)));
      ASSERT_EQ(qelta::kOk, net.GetNode(y)->Definition()->SetDefinitionFromVector(
                                std::vector<double>(kSee, kSee + 6)));
    }
    net.SetRelevanceReasoning(false);  // keeps impossible evidence as entered
    for (int t = 0; t < slices; ++t) {
      ASSERT_EQ(qelta::kOk, testnet::Val(net, 2 * t + 1)->SetEvidence(e[t]));
    }
    net.SetRelevanceReasoning(true);
    // Forward-backward, normalised at every step.
    std::vector<std::array<double, 2>> a(slices), b(slices);
    double log_z = 0.0;
    for (int t = 0; t < slices; ++t) {
      for (int j = 0; j < 2; ++j) {
        a[t][j] = (t == 0 ? kStart[j] : a[t - 1][0] * kMove[j] + a[t - 1][1] * kMove[2 + j]) *
                  kSee[3 * j + e[t]];
      }
      const double sum = a[t][0] + a[t][1];
      log_z += std::log(sum);
      a[t] = {a[t][0] / sum, a[t][1] / sum};
    }
    b[slices - 1] = {1.0, 1.0};
    for (int t = slices - 2; t >= 0; --t) {
      for (int i = 0; i < 2; ++i) {
        b[t][i] = kMove[2 * i] * kSee[e[t + 1]] * b[t + 1][0] +
                  kMove[2 * i + 1] * kSee[3 + e[t + 1]] * b[t + 1][1];
      }
      b[t] = {b[t][0] / (b[t][0] + b[t][1]), b[t][1] / (b[t][0] + b[t][1])};
    }
    if (n < 0) {
      EXPECT_EQ(qelta::kErrZeroMarginal, testnet::RunCode(net, 0));
    } else {
      ASSERT_EQ(qelta::kOk, testnet::RunCode(net, 0)) << n;
      for (int t = 0; t < slices; ++t) {
        ASSERT_TRUE(testnet::Val(net, 2 * t)->IsValueValid()) << n << " slice " << t;
        const double sum = a[t][0] * b[t][0] + a[t][1] * b[t][1];
        EXPECT_NEAR(a[t][0] * b[t][0] / sum, testnet::Beliefs(net, 2 * t)[0], 1e-9)
            << n << " slice " << t;
      }
    }
    double p = -1.0;
    const double z = n < 0 ? 0.0 : std::exp(log_z);
    // Below every double the probability is refused, not answered as 0;
    // its logarithm is kept.
    ASSERT_EQ(n < 0 || z > 0.0, net.CalcPropEvidence(p, false)) << n;
    EXPECT_NEAR(n < 0 || z > 0.0 ? z : -1.0, p, 1e-9 * z) << n;
    if (n > 0 && z == 0.0) {
      const VRN_errorLog* log = net.ErrorLog();
      EXPECT_STREQ("The probability of the evidence lies below the range of double precision numbers",
                   log->GetMessage(log->GetNumberOfMessages() - 1));
    }
    double log_p = 0.0;
    ASSERT_TRUE(net.CalcLogPropEvidence(log_p, false)) << n;
    if (n < 0) {
      EXPECT_EQ(-HUGE_VAL, log_p);
    } else {
      EXPECT_NEAR(log_z, log_p, 1e-12 * std::fabs(log_z)) << n;
    }
  }
}

// A child rescaled on the way in, whose old message lies near the bottom of
// the doubles: the ratios on the way out would overflow.
TEST(UnderflowTest, TinyColumnBelowRescaledCliqueGivesExactBeliefs) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  const int c = net.AddNode(qelta::kDefCpt, "C");
  for (int h : {a, b}) ASSERT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b) | net.AddArc(b, c));
  const double t = std::ldexp(1.0, -1032);
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0, 0.45, 0.55}));
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector({0, 1, 0, 1, t, 0, 1, 0, 0}));
  ASSERT_EQ(qelta::kOk, net.GetNode(c)->Definition()->SetDefinitionFromVector({0, 1, 0.5, 0.5, 0.75, 0.25}));
  ASSERT_EQ(qelta::kOk, testnet::Val(net, c)->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, testnet::Val(net, b)->SetVirtualEvidence({0.1, 0.5, 0.4}));
  ASSERT_EQ(qelta::kOk, testnet::RunCode(net, 0));
  EXPECT_EQ((std::vector<double>{0, 1, 0}), testnet::Beliefs(net, a));
}

}  // namespace

// Subnormal entries and likelihoods meet the other factors whole: a slice
// at the evidence is brought onto its largest entry before it is multiplied
// in. Where products of tiny entries themselves leave the doubles, the
// update is refused with a message rather than answered wrong.
TEST(UnderflowTest, SubnormalSlicesKeepTheirDigitsOrTheUpdateIsRefused) {
  const double tiny = std::ldexp(1.0, -1074);
  for (int code : {0, 10, 11, 12}) {
    SCOPED_TRACE(code);
    {  // A -> B, B independent of A, observed at its subnormal outcome.
      VRN_network net;
      const int a = net.AddNode(qelta::kDefCpt, "A"), b = net.AddNode(qelta::kDefCpt, "B");
      ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
      ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.3, 0.7}));
      ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector(
                                {tiny, 1 - tiny, tiny, 1 - tiny}));
      ASSERT_EQ(qelta::kOk, testnet::Val(net, b)->SetEvidence(0));
      ASSERT_EQ(qelta::kOk, testnet::RunCode(net, code));
      const std::vector<double> got = testnet::Beliefs(net, a);
      EXPECT_NEAR(0.3, got[0], 0.3e-12);
      EXPECT_NEAR(0.7, got[1], 0.7e-12);
      double pe = 0.0;
      ASSERT_TRUE(net.CalcPropEvidence(pe, false));
      EXPECT_EQ(tiny, pe);
    }
    {  // Likelihoods (2, 3) * 2^-1074 on A (0.5, 0.5).
      VRN_network net;
      const int a = net.AddNode(qelta::kDefCpt, "A");
      ASSERT_EQ(qelta::kOk, testnet::Val(net, a)->SetVirtualEvidence({2 * tiny, 3 * tiny}));
      const int b = net.AddNode(qelta::kDefCpt, "B");  // a second node: a part of two
      ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
      ASSERT_EQ(qelta::kOk, testnet::RunCode(net, code));
      const std::vector<double> got = testnet::Beliefs(net, a);
      EXPECT_NEAR(0.4, got[0], 0.4e-12);
      EXPECT_NEAR(0.6, got[1], 0.6e-12);
    }
    // A (1e-200, ..) -> B, P(b0 | a0) = 1e-200 or 1e-100, C child of both,
    // A = a0 and B = b0 observed: P(e) = 1e-400 lies below every double and
    // is refused, 1e-300 is answered; C's beliefs (0.3, 0.7) stand.
    for (double b0 : {1e-200, 1e-100}) {
      VRN_network net;
      const int a = net.AddNode(qelta::kDefCpt, "A"), b = net.AddNode(qelta::kDefCpt, "B");
      const int c = net.AddNode(qelta::kDefCpt, "C");
      ASSERT_EQ(qelta::kOk, net.AddArc(a, b) | net.AddArc(a, c) | net.AddArc(b, c));
      ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({1e-200, 1 - 1e-200}));
      ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector({b0, 1 - b0, 0.5, 0.5}));
      ASSERT_EQ(qelta::kOk, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                                {0.3, 0.7, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}));
      ASSERT_EQ(qelta::kOk, testnet::Val(net, a)->SetEvidence(0));
      ASSERT_EQ(qelta::kOk, testnet::Val(net, b)->SetEvidence(0));
      double pe = 0.0;
      const bool answered = net.CalcPropEvidence(pe, false);
      if (b0 < 1e-150) {
        EXPECT_FALSE(answered);
        EXPECT_EQ(-1.0, pe);
        EXPECT_STREQ("The probability of the evidence lies below the range of double precision numbers",
                     net.ErrorLog()->GetMessage(net.ErrorLog()->GetNumberOfMessages() - 1));
      } else {
        EXPECT_TRUE(answered);
        EXPECT_NEAR(1e-300, pe, 1e-312);
      }
      // So does the chain rule alone.
      EXPECT_EQ(answered, net.CalcPropEvidence(pe, true));
      EXPECT_NEAR(answered ? 1e-300 : -1.0, pe, 1e-312);
      ASSERT_EQ(qelta::kOk, testnet::RunCode(net, code));
      EXPECT_NEAR(0.3, testnet::Beliefs(net, c)[0], 1e-12);
      EXPECT_NEAR(0.7, testnet::Beliefs(net, c)[1], 1e-12);
    }
    {  // C = c0 needs A = B, D = d0 not both a1 and b1: only (a0, b0) is
       // possible, and 2^-600 * 2^-600 lies below every double.
      VRN_network net;
      const int a = net.AddNode(qelta::kDefCpt, "A"), b = net.AddNode(qelta::kDefCpt, "B");
      const int c = net.AddNode(qelta::kDefCpt, "C"), d = net.AddNode(qelta::kDefCpt, "D");
      ASSERT_EQ(qelta::kOk, net.AddArc(a, c) | net.AddArc(b, c) | net.AddArc(a, d) | net.AddArc(b, d));
      const double small = std::ldexp(1.0, -600);
      for (int h : {a, b}) {
        ASSERT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetDefinitionFromVector({small, 1 - small}));
      }
      ASSERT_EQ(qelta::kOk, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                                {1, 0, 0, 1, 0, 1, 1, 0}));
      ASSERT_EQ(qelta::kOk, net.GetNode(d)->Definition()->SetDefinitionFromVector(
                                {1, 0, 1, 0, 1, 0, 0, 1}));
      ASSERT_EQ(qelta::kOk, testnet::Val(net, c)->SetEvidence(0));
      ASSERT_EQ(qelta::kOk, testnet::Val(net, d)->SetEvidence(0));
      const int status = testnet::RunCode(net, code);
      EXPECT_NE(qelta::kOk, status);
      EXPECT_NE(qelta::kErrZeroMarginal, status);
      EXPECT_FALSE(testnet::Val(net, a)->IsValueValid());
      EXPECT_STREQ("Products of the probabilities fall below the range of double precision "
                   "numbers; the result would not be exact",
                   net.ErrorLog()->GetMessage(0));
    }
  }
}

// Impossible evidence beside subnormal entries that take part in products
// (which underflow): still impossible, not below the doubles, under either
// relevance switch; a positive probability that small is still refused,
// by the update too, and not taken for impossible evidence.
TEST(UnderflowTest, ImpossibleEvidenceBesideSubnormalProductsIsImpossible) {
  const double t = std::ldexp(1.0, -1074);
  // B and E copies of A but for t; with `joined`, C and D read B and E:
  // C = c1 needs B = E, D = d1 needs B != E. Otherwise C and D copy B and
  // D = d1 contradicts C = c0. In the chain the probability's relevance
  // step sums A into B, in the other the join tree multiplies t by t.
  for (const bool joined : {false, true}) {
    for (const bool possible : {false, true}) {
      for (const bool relevance : {false, true}) {
        SCOPED_TRACE(std::string(joined ? "joined" : "chain") +
                     (possible ? ", possible" : ", impossible") +
                     (relevance ? ", relevance on" : ", relevance off"));
        VRN_network net;
        const int a = net.AddNode(qelta::kDefCpt, "A"), b = net.AddNode(qelta::kDefCpt, "B");
        const int c = net.AddNode(qelta::kDefCpt, "C"), d = net.AddNode(qelta::kDefCpt, "D");
        ASSERT_EQ(qelta::kOk, net.AddArc(a, b) | net.AddArc(b, c) | net.AddArc(b, d));
        ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.6, 0.4}));
        ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector(
                                  {0.0, 1.0, t, 1 - t}));
        std::vector<std::pair<int, int>> evidence{{c, joined ? 1 : 0}, {d, 1}};
        if (joined) {
          const int e = net.AddNode(qelta::kDefCpt, "E");
          ASSERT_EQ(qelta::kOk, net.AddArc(a, e) | net.AddArc(e, c) | net.AddArc(e, d));
          ASSERT_EQ(qelta::kOk, net.GetNode(e)->Definition()->SetDefinitionFromVector(
                                    {0.0, 1.0, t, 1 - t}));
          ASSERT_EQ(qelta::kOk, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                                    {0.5, 0.5, 1, 0, 1, 0, 0.5, 0.5}));
          ASSERT_EQ(qelta::kOk, net.GetNode(d)->Definition()->SetDefinitionFromVector(
                                    {1, 0, 0.5, 0.5, 0.5, 0.5, 1, 0}));
          // B = E = b0 from A = a1 alone: 0.4 t^2 / 4 of probability.
          if (possible) evidence = {{c, 1}, {b, 0}, {e, 0}};
        } else {
          for (int h : {c, d}) {
            ASSERT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetDefinitionFromVector({1, 0, 0, 1}));
          }
          // B = b0: 0.4 t, which rounds to 0.
          if (possible) evidence = {{c, 0}, {d, 0}};
        }
        net.SetRelevanceReasoning(false);  // keeps impossible evidence as entered
        for (const auto& [h, k] : evidence) ASSERT_EQ(qelta::kOk, testnet::Val(net, h)->SetEvidence(k));
        net.SetRelevanceReasoning(relevance);
        double pe = -2.0;
        EXPECT_EQ(!possible, net.CalcPropEvidence(pe, false));
        EXPECT_EQ(possible ? -1.0 : 0.0, pe);
        net.SetRelevanceReasoning(relevance);  // the probability switched it on
        std::vector<int> found;
        double best = 0.0;
        const int status = net.AnnealedMAP(evidence, {a}, &found, &best, &pe, 1);
        if (!possible) {
          EXPECT_EQ(qelta::kErrZeroMarginal, status);
          EXPECT_EQ(qelta::kErrZeroMarginal, testnet::RunCode(net, 0));
        } else {
          EXPECT_EQ(qelta::kErrGeneral, status);
        }
      }
    }
  }
  // D = d1 needs C = c0, which needs A = a0 and B = b0 (of probability
  // 1e-188 * 1e-252) or A = a2 (0): possible, below every double. Summed
  // into C one target at a time, A and B would give it 0.
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A"), b = net.AddNode(qelta::kDefCpt, "B");
  const int c = net.AddNode(qelta::kDefCpt, "C"), d = net.AddNode(qelta::kDefCpt, "D");
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, c) | net.AddArc(b, c) | net.AddArc(c, d));
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({1e-188, 1, 0}));
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector({1, 0}));
  ASSERT_EQ(qelta::kOk, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                            {1e-252, 1, 0.9, 0.1, 0, 1, 0, 1, 0, 1, 2e-321, 1}));
  ASSERT_EQ(qelta::kOk, net.GetNode(d)->Definition()->SetDefinitionFromVector({0.5, 0.5, 1, 0}));
  net.SetRelevanceReasoning(false);
  ASSERT_EQ(qelta::kOk, testnet::Val(net, d)->SetEvidence(1));
  const int update = testnet::RunCode(net, 0);
  EXPECT_NE(qelta::kOk, update);
  EXPECT_NE(qelta::kErrZeroMarginal, update);
  EXPECT_STREQ("Products of the probabilities fall below the range of double precision "
               "numbers; the result would not be exact",
               net.ErrorLog()->GetMessage(net.ErrorLog()->GetNumberOfMessages() - 1));
}
