#include "inference/cooper_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/special_values.h"
#include "definitions/discrete_def.h"
#include "inference/value_of_info.h"
#include "influence_test_util.h"

namespace {

using idtest::ExpectNear;
using idtest::LogHas;
using idtest::Indexing;
using idtest::Value;

// Counts the notifications of a run.
class CountingSolver : public VRN_CooperSolver {
 public:
  void OnConverted() override { ++converted; }
  void OnBeforeUpdate(int phase) override { ++before[phase]; }
  void OnAfterUpdate(int phase) override { ++after[phase]; }
  int converted = 0;
  int before[2] = {0, 0};
  int after[2] = {0, 0};
};

void ExpectOilSolved(VRN_network& net, double tol, const std::string& what) {
  const int test = net.FindNode("Test"), seismic = net.FindNode("Seismic");
  const int drill = net.FindNode("Drill"), oil = net.FindNode("Oil");
  const int payoff = net.FindNode("Payoff");
  SCOPED_TRACE(what);
  ExpectNear({22.5, 20}, Value(net, test), tol, "Test");
  const std::vector<double> drill_values = {
      77.5, -10, 160.0 / 7, -10, -1660.0 / 41, -10, 20, 0, 20, 0, 20, 0};
  EXPECT_EQ((std::vector<int>{test, seismic}), Indexing(net, drill));
  ExpectNear(drill_values, Value(net, drill), tol, "Drill");
  ExpectNear(drill_values, Value(net, payoff), tol, "Payoff");
  EXPECT_EQ((std::vector<int>{test}), Indexing(net, seismic));
  ExpectNear({0.24, 0.35, 0.41, 1.0 / 3, 1.0 / 3, 1.0 / 3},
             Value(net, seismic), 1e-6 * tol, "Seismic");
  const std::vector<double> oil_values = Value(net, oil);
  ASSERT_GE(oil_values.size(), 3u);
  ExpectNear({5.0 / 24, 3.0 / 8, 5.0 / 12},
             {oil_values.begin(), oil_values.begin() + 3}, 1e-6 * tol, "Oil");
  for (int h : {test, seismic, drill, oil, payoff}) {
    EXPECT_TRUE(net.GetNode(h)->Value()->IsValueValid()) << h;
  }
}

TEST(CooperSolverTest, OilWildcatterInEveryFormatAndExactCode) {
  struct Case {
    const char* ext;
    int bn_code;
    double tol;
  };
  const Case cases[] = {{"xvrn", 0, 1e-9 * 280}, {"xvrn", 11, 1e-9 * 280},
                        {"xvrn", 12, 1e-9 * 280}, {"net", 0, 1e-6 * 280},
                        {"dsc", 0, 1e-6 * 280},   {"xml03", 0, 1e-6 * 280}};
  for (const Case& c : cases) {
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(idtest::OilPath(c.ext).c_str(), 0, 0)) << c.ext;
    ASSERT_EQ(c.bn_code, net.SetDefaultBNAlgorithm(c.bn_code));
    const int arcs_before = net.GetNode(net.FindNode("Drill"))->Parents().GetSize();
    ASSERT_EQ(0, net.UpdateBeliefs()) << c.ext;
    ExpectOilSolved(net, c.tol, std::string(c.ext) + " " + std::to_string(c.bn_code));
    EXPECT_EQ(arcs_before, net.GetNode(net.FindNode("Drill"))->Parents().GetSize());
  }
}

TEST(CooperSolverTest, ASamplerSolvesEachScenario) {
  VRN_network net;
  ASSERT_EQ(0, net.ReadFile(idtest::OilPath("xvrn").c_str(), 0, 0));
  ASSERT_EQ(3, net.SetDefaultBNAlgorithm(3));
  net.SetRandSeed(11);
  ASSERT_EQ(0, net.UpdateBeliefs());
  ExpectNear({22.5, 20}, Value(net, net.FindNode("Test")), 3, "Test");
}

TEST(CooperSolverTest, NotificationsFollowTheScenarios) {
  VRN_network net;
  ASSERT_EQ(0, net.ReadFile(idtest::OilPath("xvrn").c_str(), 0, 0));
  const int before = net.GetNumberOfNodes();
  net.RunIDAlgorithm();  // shapes reset; a plain solve follows
  CountingSolver solver;
  ASSERT_EQ(0, solver.Solve(net));
  EXPECT_EQ(1, solver.converted);
  EXPECT_EQ(12, solver.before[0]);
  EXPECT_EQ(12, solver.after[0]);
  EXPECT_EQ(2, solver.before[1]);
  EXPECT_EQ(2, solver.after[1]);
  EXPECT_EQ(before, net.GetNumberOfNodes());
  EXPECT_FALSE(LogHas(net, "Temporal order assumed: node [Test] before node [Drill]"));
  // The payoffs' "do nothing" 0 lies between their ends, yet each
  // scenario that can reach only 0 or only -10 gives it exactly, with no
  // second round of scenarios.
  const std::vector<double> drill = Value(net, net.FindNode("Drill"));
  for (int i : {1, 3, 5}) EXPECT_EQ(-10.0, drill[i]) << i;
  for (int i : {7, 9, 11}) EXPECT_EQ(0.0, drill[i]) << i;
}

// Decision D and chance node X, of the given prior, both parents of
// utility U, of the given table (D's choice the slower index); answers D.
int Gamble(VRN_network& net, const std::vector<double>& prior,
           const std::vector<double>& utilities) {
  const int x = idtest::Add(net, qelta::kDefCpt, "X");
  const int d = idtest::Add(net, qelta::kDefDecision, "D");
  const int u = idtest::Add(net, qelta::kDefUtility, "U");
  EXPECT_EQ(0, net.AddArc(d, u));
  EXPECT_EQ(0, net.AddArc(x, u));
  idtest::Table(net, x, prior);
  idtest::Table(net, u, utilities);
  return d;
}

// A likely 0 beside a rare gain, between a loss and a larger gain: the
// two-outcome scale would keep 5e-9 only to 1e-7 of itself, so the solve
// goes over to the signed scale, every scenario again; a choice that
// reaches only 0 stays exact on the two-outcome scale.
TEST(CooperSolverTest, ALikelyZeroBesideARareGainGoesOverToTheSignedScale) {
  for (double gain : {5.0, 0.0}) {
    VRN_network net;
    const int d = Gamble(net, {1 - 1e-9, 1e-9}, {0, gain, -1, 7});
    net.RunIDAlgorithm();
    CountingSolver solver;
    ASSERT_EQ(0, solver.Solve(net));
    EXPECT_EQ(gain == 0 ? 2 : 4, solver.before[0]) << gain;
    const std::vector<double> eu = Value(net, d);
    EXPECT_NEAR(gain * 1e-9, eu[0], 1e-12 * gain * 1e-9) << gain;
    EXPECT_NEAR(-(1 - 1e-9) + 7e-9, eu[1], 1e-12) << gain;
  }
}

// Utilities -100 and 1 (or 2), the lowest of which holds them all, of
// probabilities near 1/101: the expected utility cancels to 1e-5 of them
// and keeps the rounding of the amounts it weighs, not that of the
// distances from -100.
TEST(CooperSolverTest, ExpectedUtilitiesThatCancelKeepTheRoundingOfTheirAmounts) {
  for (int i = 1; i < 60; ++i) {
    VRN_network net;
    const double p = 1.0 / 101 + i * 1e-7;
    const int d = Gamble(net, {p, 1 - p}, {-100, 1, -100, 2});
    ASSERT_EQ(0, net.UpdateBeliefs());
    const std::vector<double> eu = Value(net, d);
    for (int k = 0; k < 2; ++k) {
      const long double exact = -100.0L * p + (k + 1.0L) * (1 - p);
      const long double amounts = 100.0L * p + (k + 1.0L) * (1 - p);
      EXPECT_LE(std::fabs(exact - eu[k]), 0x1p-48L * amounts) << i << " " << k;
    }
  }
}

TEST(CooperSolverTest, UmbrellaPolicyAlsoWithATarget) {
  for (bool target : {false, true}) {
    idtest::Umbrella u;
    if (target) {
      ASSERT_EQ(0, u.net.SetTarget(u.weather, true));
    }
    ASSERT_EQ(0, u.net.UpdateBeliefs());
    EXPECT_EQ((std::vector<int>{u.forecast}), Indexing(u.net, u.umbrella));
    const std::vector<double> values = Value(u.net, u.umbrella);
    ExpectNear({2590.0 / 107, 9800.0 / 107, 1610.0 / 43, 2800.0 / 43, 56, 28},
               values, 1e-7, "Umbrella");
    const std::vector<double> forecast = Value(u.net, u.forecast);
    ASSERT_EQ(3u, forecast.size());
    double expected = 0.0;
    for (int f = 0; f < 3; ++f) {
      expected += forecast[f] * std::max(values[2 * f], values[2 * f + 1]);
    }
    EXPECT_NEAR(77.0, expected, 1e-7);
  }
}

TEST(CooperSolverTest, EdgeCases) {
  {  // One decision, three options, U(D, Y).
    VRN_network net;
    const int d = idtest::Add(net, qelta::kDefDecision, "D", {"a", "b", "c"});
    const int y = idtest::Add(net, qelta::kDefCpt, "Y");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(d, u));
    ASSERT_EQ(0, net.AddArc(y, u));
    idtest::Table(net, y, {0.25, 0.75});
    idtest::Table(net, u, {0, 4, 8, 2, 10, 6});
    CountingSolver solver;
    ASSERT_EQ(0, net.UpdateBeliefs());
    ExpectNear({3, 3.5, 7}, Value(net, d), 1e-9, "D");
    ExpectNear({3, 3.5, 7}, Value(net, u), 1e-9, "U");
  }
  {  // Two decisions without any link: the order is assumed and logged.
    VRN_network net;
    const int d1 = idtest::Add(net, qelta::kDefDecision, "D1");
    const int d2 = idtest::Add(net, qelta::kDefDecision, "D2");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(d1, u));
    ASSERT_EQ(0, net.AddArc(d2, u));
    idtest::Table(net, u, {1, 2, 3, 4});
    ASSERT_EQ(0, net.UpdateBeliefs());
    EXPECT_TRUE(LogHas(net, "Temporal order assumed: node [D1] before node [D2]"));
    EXPECT_EQ(1, net.AreAdjacent(d1, d2));
    ExpectNear({2, 4}, Value(net, d1), 1e-9, "D1");
    ExpectNear({1, 2, 3, 4}, Value(net, d2), 1e-9, "D2");
  }
  {  // No utility: beliefs only, the decision invalid.
    VRN_network net;
    const int d = idtest::Add(net, qelta::kDefDecision, "D");
    const int x = idtest::Add(net, qelta::kDefCpt, "X");
    ASSERT_EQ(0, net.AddArc(d, x));
    idtest::Table(net, x, {0.2, 0.8, 0.6, 0.4});
    ASSERT_EQ(0, net.UpdateBeliefs());
    EXPECT_TRUE(LogHas(net, "Utilities not specified. Policies cannot be evaluated"));
    EXPECT_FALSE(net.GetNode(d)->Value()->IsValueValid());
    EXPECT_TRUE(net.GetNode(x)->Value()->IsValueValid());
    ExpectNear({0.4, 0.6}, Value(net, x), 1e-12, "X");
  }
  {  // Two terminal utilities: combined for the run, the node count kept.
    idtest::Umbrella u;
    const int second = idtest::Add(u.net, qelta::kDefUtility, "Second");
    ASSERT_EQ(0, u.net.AddArc(u.umbrella, second));
    const int nodes = u.net.GetNumberOfNodes();
    EXPECT_EQ(0, u.net.UpdateBeliefs());
    EXPECT_EQ(nodes, u.net.GetNumberOfNodes());
    EXPECT_TRUE(u.net.GetNode(u.umbrella)->Value()->IsValueValid());
  }
  {  // D1 -> X -> D2 with U(X, D2): D1 still gets its policy.
    VRN_network net;
    const int d1 = idtest::Add(net, qelta::kDefDecision, "D1");
    const int x = idtest::Add(net, qelta::kDefCpt, "X");
    const int d2 = idtest::Add(net, qelta::kDefDecision, "D2");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(d1, x));
    ASSERT_EQ(0, net.AddArc(x, d2));
    ASSERT_EQ(0, net.AddArc(x, u));
    ASSERT_EQ(0, net.AddArc(d2, u));
    idtest::Table(net, x, {0.9, 0.1, 0.3, 0.7});
    idtest::Table(net, u, {10, 0, 0, 20});
    net.SetAutoUpdate(true);  // switched off while solving, then back on
    EXPECT_TRUE(net.IsAutoUpdate());
    ExpectNear({0.9 * 10 + 0.1 * 20, 0.3 * 10 + 0.7 * 20}, Value(net, d1), 1e-9, "D1");
    EXPECT_EQ((std::vector<int>{d1, x}), Indexing(net, d2));
  }
}

// ---------------------------------------------------------------- random

// After this solver an open decision's value holds the expected utilities of
// its choices, which have no mean or deviation; the best choice's point mass
// (algorithm 1) and an observed choice have.
TEST(CooperSolverTest, DecisionMeanNeedsProbabilities) {
  VRN_network net;
  const int d = idtest::Add(net, qelta::kDefDecision, "D"), u = idtest::Add(net, qelta::kDefUtility, "U");
  const int x = idtest::Add(net, qelta::kDefCpt, "X", {"x0", "x1", "x2"});
  ASSERT_EQ(0, net.AddArc(d, x) | net.AddArc(x, u));
  idtest::Table(net, x, {0.5, 0.3, 0.2, 0.1, 0.2, 0.7});
  idtest::Table(net, u, {10, 20, 50});
  auto* def = static_cast<VRN_discDef*>(net.GetNode(d)->Definition());
  VRN_nodeVal* value = net.GetNode(d)->Value();
  double mean = 0.0, deviation = 0.0;
  for (bool intervals : {false, true}) {
    ASSERT_EQ(0, intervals ? def->SetIntervals({0, 1, 2}, false) : def->SetPointValues({1, 5}));
    ASSERT_EQ(0, net.SetDefaultIDAlgorithm(0));
    ASSERT_EQ(0, net.UpdateBeliefs());
    ExpectNear({21, 40}, Value(net, d), 1e-9, "D");
    net.ErrorLog()->Flush();
    EXPECT_EQ(qelta::kErrWrongNodeType, value->GetMean(&mean));
    EXPECT_EQ(qelta::kErrWrongNodeType, value->GetStdDev(&deviation));
    EXPECT_TRUE(LogHas(net, "Node [D] holds the expected utilities of its choices, not their "
                            "probabilities: it has no mean or standard deviation"));
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(0, net.UpdateBeliefs());
    ASSERT_EQ(0, value->GetMean(&mean));
    ASSERT_EQ(0, value->GetStdDev(&deviation));
    EXPECT_EQ(intervals ? 1.5 : 5.0, mean);
    EXPECT_NEAR(intervals ? std::sqrt(1.0 / 12) : 0.0, deviation, 1e-12);
  }
  ASSERT_EQ(0, net.SetDefaultIDAlgorithm(0));
  ASSERT_EQ(0, value->SetEvidence(0));
  ASSERT_EQ(0, net.UpdateBeliefs());
  ASSERT_EQ(0, value->GetMean(&mean));
  EXPECT_EQ(0.5, mean);
}

// Pass 1 makes one utility a cost so large that the others lie within its
// rounding; pass 2 pushes the diagrams to the extremes (utilities 0 to
// 1e300 of either sign or both, probabilities down to 1e-320). Every value
// marked valid must be exact to 1e-12 of itself (or 1e-300 below that), or
// where it is a difference of far larger amounts, to their rounding; a
// refusal must say why.
TEST(CooperSolverTest, RandomDiagramsMatchBackwardInduction) {
  for (int pass = 0; pass < 3; ++pass) {
    std::mt19937 rng(20261207 + pass);
    int refused = 0;
    for (int trial = 0; trial < 200; ++trial) {
      SCOPED_TRACE(testing::Message() << pass << " " << trial);
      idtest::RandomDiagram g;
      idtest::MakeRandomDiagram(rng, g);
      if (testing::Test::HasFatalFailure()) return;
      if (pass == 1) {
        VRN_matrix* ut = g.net.GetNode(g.utility)->Definition()->GetMatrix();
        *ut->ItemAddress(static_cast<int>(rng() % ut->GetItemCount())) = -1e17;
      }
      if (pass == 2) idtest::PushToExtremes(rng, g);
      std::vector<int> candidates;
      const std::vector<std::vector<idtest::Exact>> want = idtest::Induction(g, &candidates);
      // The same with every utility taken by its size bounds the amounts a
      // value weighs, whose rounding a value that cancels may carry.
      VRN_matrix* ut = g.net.GetNode(g.utility)->Definition()->GetMatrix();
      const VRN_matrix signed_utilities = *ut;
      for (double& u : ut->GetItems()) u = std::fabs(u);
      const std::vector<std::vector<idtest::Exact>> amounts = idtest::Induction(g, &candidates);
      *ut = signed_utilities;
      const int status = g.net.UpdateBeliefs();
      if (status != 0) {
        EXPECT_TRUE(status == -2 || status == -42) << status;
        EXPECT_TRUE(LogHas(g.net, "Utilities of node [U] span too wide a range: the smallest "
                                  "differences would be lost") ||
                    LogHas(g.net, "Products of the probabilities fall below the range of double "
                                  "precision numbers; the result would not be exact") ||
                    idtest::LogHasInexact(g.net));
        ++refused;
        continue;
      }
      for (size_t j = 0; j < candidates.size(); ++j) {
        const int c = candidates[j];
        if (g.net.GetNode(c)->Definition()->GetType() != qelta::kDefDecision) continue;
        EXPECT_EQ(std::vector<int>(candidates.begin(), candidates.begin() + j),
                  Indexing(g.net, c));
        const std::vector<double> got = Value(g.net, c);
        ASSERT_EQ(want[c].size(), got.size());
        for (size_t k = 0; k < got.size(); ++k) {
          const idtest::Exact off = std::fabs(want[c][k] - got[k]);
          EXPECT_TRUE(off <= 1e-12L * std::fabs(want[c][k]) || off <= 1e-300L ||
                      off <= 0x1p-48L * amounts[c][k])
              << k << " " << static_cast<double>(want[c][k]) << " " << got[k];
        }
      }
    }
    EXPECT_LE(refused, pass == 2 ? 30 : 6) << pass;
  }
}

// D1 -> Y -> X -> D2 where X = 1 cannot follow D1 = 0 although no single
// table says so: that scenario is left out instead of failing the solve.
TEST(CooperSolverTest, ImpossibleScenariosAreLeftOut) {
  VRN_network net;
  const int d1 = idtest::Add(net, qelta::kDefDecision, "D1");
  const int y = idtest::Add(net, qelta::kDefCpt, "Y", {"a", "b", "c"});
  const int x = idtest::Add(net, qelta::kDefCpt, "X");
  const int d2 = idtest::Add(net, qelta::kDefDecision, "D2");
  const int u = idtest::Add(net, qelta::kDefUtility, "U");
  ASSERT_EQ(0, net.AddArc(d1, y));
  ASSERT_EQ(0, net.AddArc(y, x));
  ASSERT_EQ(0, net.AddArc(x, d2));
  ASSERT_EQ(0, net.AddArc(x, u));
  ASSERT_EQ(0, net.AddArc(d2, u));
  idtest::Table(net, y, {0.5, 0.5, 0, 0.2, 0.2, 0.6});
  idtest::Table(net, x, {1, 0, 1, 0, 0, 1});
  idtest::Table(net, u, {10, 0, 0, 20});
  ASSERT_EQ(0, net.UpdateBeliefs());
  ExpectNear({10, 0.4 * 10 + 0.6 * 20}, Value(net, d1), 1e-9, "D1");
  const std::vector<double> d2_values = Value(net, d2);
  ASSERT_EQ(8u, d2_values.size());
  EXPECT_EQ(qelta::kUndefinedValue, d2_values[2]);  // D1 = 0, X = 1
  EXPECT_EQ(20, d2_values[7]);
}

// D (three choices) -> Y (three outcomes) -> U.
struct Chain {
  Chain(const std::vector<double>& y_table, const std::vector<double>& u_table) {
    d = idtest::Add(net, qelta::kDefDecision, "D", {"a", "b", "c"});
    y = idtest::Add(net, qelta::kDefCpt, "Y", {"a", "b", "c"});
    u = idtest::Add(net, qelta::kDefUtility, "U");
    EXPECT_EQ(0, net.AddArc(d, y));
    EXPECT_EQ(0, net.AddArc(y, u));
    idtest::Table(net, y, y_table);
    idtest::Table(net, u, u_table);
  }
  VRN_network net;
  int d = -1, y = -1, u = -1;
};

// Evidence that no choice of the decision can produce rules out every
// scenario: nothing is defined, so the update fails and leaves the decision
// without a valid value, whatever the network's relevance switch.
TEST(CooperSolverTest, EvidenceImpossibleUnderEveryChoiceFails) {
  for (bool relevance : {false, true}) {
    SCOPED_TRACE(relevance ? "relevance on" : "relevance off");
    Chain chain({0, 0, 1, 0, 1, 0, 0, 1, 0}, {5, 1, 2});
    VRN_network& net = chain.net;
    const int d = chain.d;
    const int y = chain.y;
    // Observed while the outcome was still possible, then ruled out.
    net.SetRelevanceReasoning(false);
    ASSERT_EQ(0, net.GetNode(y)->Value()->SetEvidence(0));
    net.SetRelevanceReasoning(relevance);
    EXPECT_EQ(qelta::kErrZeroMarginal, net.UpdateBeliefs());
    EXPECT_FALSE(net.GetNode(d)->Value()->IsValueValid());
    // One possible choice is enough for the others to be left out.
    idtest::Table(net, y, {1, 0, 0, 0, 1, 0, 0, 1, 0});
    ASSERT_EQ(0, net.UpdateBeliefs());
    EXPECT_TRUE(net.GetNode(d)->Value()->IsValueValid());
    EXPECT_EQ(5, Value(net, d)[0]);
  }
}

// A choice that the evidence rules out keeps the undefined marker whatever
// the targets: pruning the network towards them must not hide the
// evidence that rules the choice out.
TEST(CooperSolverTest, ChoicesRuledOutByEvidenceAreUndefinedWithTargets) {
  for (int target : {-1, 0, 2}) {
    SCOPED_TRACE("target " + std::to_string(target));
    Chain chain({0.5, 0.5, 0, 0.2, 0.3, 0.5, 0, 0, 1}, {3, 5, 7});
    VRN_network& net = chain.net;
    ASSERT_EQ(2, chain.u);
    if (target >= 0) {
      ASSERT_EQ(0, net.SetTarget(target, true));
    }
    ASSERT_EQ(0, net.GetNode(chain.y)->Value()->SetEvidence(2));
    ASSERT_EQ(0, net.UpdateBeliefs());
    const std::vector<double> want = {qelta::kUndefinedValue, 7, 7};
    EXPECT_EQ(want, Value(net, chain.d));
    EXPECT_EQ(want, Value(net, chain.u));
  }
}

// With a target, Y (no target) is computed only in the scenarios where its
// parents' outcomes imply it: it must not be marked valid with the other
// scenarios left undefined.
TEST(CooperSolverTest, ValuesLeftOutOfSomeScenariosStayInvalid) {
  auto build = [](VRN_network& net) {
    const int d1 = idtest::Add(net, qelta::kDefDecision, "D1");
    const int d2 = idtest::Add(net, qelta::kDefDecision, "D2", {"a", "b", "c"});
    const int y = idtest::Add(net, qelta::kDefCpt, "Y", {"a", "b", "c"});
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    EXPECT_EQ(0, net.AddArc(d1, d2));
    EXPECT_EQ(0, net.AddArc(d1, y));
    EXPECT_EQ(0, net.AddArc(d2, y));
    std::vector<double> table;
    for (int i = 0; i < 3; ++i) table.insert(table.end(), {0, 0.25, 0.75});
    for (int i = 0; i < 3; ++i) table.insert(table.end(), {0, 1, 0});
    idtest::Table(net, y, table);
    idtest::Table(net, u, {1});
    return y;
  };
  VRN_network whole;
  const int y = build(whole);
  ASSERT_EQ(0, whole.UpdateBeliefs());
  VRN_network targeted;
  ASSERT_EQ(y, build(targeted));
  ASSERT_EQ(0, targeted.SetTarget(0, true));
  ASSERT_EQ(0, targeted.UpdateBeliefs());
  if (targeted.GetNode(y)->Value()->IsValueValid()) {
    ExpectNear(Value(whole, y), Value(targeted, y), 1e-12, "Y");
  }
}

// Evidence that no sample meets: every scenario fails with -5.
TEST(CooperSolverTest, ScenariosWithoutUsefulSamples) {
  for (bool decided : {false, true}) {
    VRN_network net;
    const int a = idtest::Add(net, qelta::kDefCpt, "A");
    const int b = idtest::Add(net, qelta::kDefCpt, "B");
    const int d = idtest::Add(net, qelta::kDefDecision, "D");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(a, b));
    ASSERT_EQ(0, net.AddArc(d, u));
    idtest::Table(net, b, {1, 1e-15, 1, 1e-15});
    ASSERT_EQ(0, net.GetNode(b)->Value()->SetEvidence(1));
    if (decided) {
      ASSERT_EQ(0, net.GetNode(d)->Value()->SetEvidence(0));
    }
    ASSERT_EQ(1, net.SetDefaultBNAlgorithm(1));
    ASSERT_EQ(0, net.SetNumberOfSamples(100));
    EXPECT_EQ(qelta::kErrNoUsefulSamples, net.UpdateBeliefs()) << decided;
    EXPECT_TRUE(LogHas(net, "The following scenario could not be evaluated:"));
    EXPECT_EQ(!decided, LogHas(net, "D = Choice1"));
    EXPECT_TRUE(LogHas(net, "Error when running Cooper's algorithm"));
    EXPECT_FALSE(net.GetNode(a)->Value()->IsValueValid());
  }
}

// x0 = 0 implies N3 = 1. With relevance reasoning off, a solve that adds a
// combining utility (two terminal utilities) or an arc ordering two
// decisions, and value of information with its added decision, keep that
// implied outcome: every update gives the layout relevance reasoning gives.
TEST(CooperSolverTest, SolveKeepsImpliedEvidence) {
  auto layout = [](int algorithm, bool relevance, bool second_decision, int runs) {
    VRN_network net;
    const int x0 = idtest::Add(net, qelta::kDefCpt, "x0");
    const int n3 = idtest::Add(net, qelta::kDefCpt, "N3");
    const int d = idtest::Add(net, qelta::kDefDecision, "D");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    (void)idtest::Add(net, qelta::kDefUtility, "M1");
    const int w = idtest::Add(net, qelta::kDefCpt, "W");  // for value of information
    for (auto [p, c] : {std::pair{x0, n3}, {x0, d}, {n3, d}, {d, u}}) {
      EXPECT_EQ(0, net.AddArc(p, c));
    }
    if (second_decision) {
      EXPECT_EQ(0, net.AddArc(idtest::Add(net, qelta::kDefDecision, "D2"), u));
    }
    idtest::Table(net, n3, {0, 1, 0.56, 0.44});
    idtest::Table(net, u, second_decision ? std::vector<double>{4, 7, 1, 3}
                                          : std::vector<double>{4, 7});
    EXPECT_EQ(algorithm, net.SetDefaultIDAlgorithm(algorithm));
    EXPECT_EQ(0, net.GetNode(x0)->Value()->SetEvidence(0));
    net.SetRelevanceReasoning(relevance);
    for (int i = 0; i < runs; ++i) EXPECT_EQ(0, net.UpdateBeliefs());
    EXPECT_EQ(1, net.EvidenceOf(n3)->GetEvidence());
    std::string text;
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      text += std::string(net.GetNode(h)->GetId()) + ":";
      for (int p : Indexing(net, h)) text += std::string(net.GetNode(p)->GetId()) + " ";
      for (double v : Value(net, h)) text += std::to_string(v) + " ";
    }
    VRN_valueOfInfo voi(&net);
    EXPECT_EQ(0, voi.AddNode(w));
    EXPECT_EQ(0, voi.SetDecision(d));
    EXPECT_EQ(0, voi.Update());
    for (int p : voi.GetIndexingNodes()) text += " worth by " + std::to_string(p);
    return text;
  };
  for (int algorithm : {0, 1}) {
    for (bool second_decision : {false, true}) {
      SCOPED_TRACE(testing::Message() << algorithm << " " << second_decision);
      const std::string want = layout(algorithm, true, second_decision, 1);
      EXPECT_EQ(std::string::npos, want.find("D:N3")) << want;
      for (int runs : {1, 2}) EXPECT_EQ(want, layout(algorithm, false, second_decision, runs));
    }
  }
}

// The solver marks valid only what a scenario wrote. B = b1 rules a0 out, which
// its copy derives per choice even with propagation off, and X rules out the
// last choice: A must not be valid with the zeros it was reshaped to.
TEST(CooperSolverTest, ValuesNoScenarioWroteStayInvalid) {
  for (int k = 0; k < 8; ++k) {  // the choice ruled out, propagation, the code
    SCOPED_TRACE(k);
    VRN_network net;
    const int a = idtest::Add(net, qelta::kDefCpt, "A"), b = idtest::Add(net, qelta::kDefCpt, "B");
    const int d = idtest::Add(net, qelta::kDefDecision, "D"), x = idtest::Add(net, qelta::kDefCpt, "X");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    for (auto [p, c] : {std::pair{a, b}, {d, x}, {d, u}}) ASSERT_EQ(0, net.AddArc(p, c));
    idtest::Table(net, b, {1, 0, 0.4, 0.6});
    idtest::Table(net, x, {1, 0, 0, 1});
    idtest::Table(net, u, {1, 0});
    if (k & 2) net.SetFlags(net.GetFlags() & ~qelta::kNetEvidencePropagation);
    ASSERT_EQ(k & 4 ? 12 : 0, net.SetDefaultBNAlgorithm(k & 4 ? 12 : 0));
    ASSERT_EQ(0, net.GetNode(b)->Value()->SetEvidence(1));
    ASSERT_EQ(0, net.GetNode(x)->Value()->SetEvidence(1 - (k & 1)));
    ASSERT_EQ(0, net.UpdateBeliefs());
    if (net.GetNode(a)->Value()->IsValueValid()) ExpectNear({0, 1}, Value(net, a), 1e-12, "A");
  }
  // X = x1 cannot follow A = a0, entered with relevance reasoning off: H's and
  // the utility's marginals are zeros. Codes 11 and 12 answer 0, yet utility
  // and policy must not stay valid with an earlier update's values.
  for (int k = 0; k < 6; ++k) {  // codes 0, 11, 12, without and with a decision
    const int bn = k < 2 ? 0 : 10 + k / 2;
    const bool decision = k & 1;
    SCOPED_TRACE(k);
    VRN_network net;
    const int a = idtest::Add(net, qelta::kDefCpt, "A"), h = idtest::Add(net, qelta::kDefCpt, "H");
    const int x = idtest::Add(net, qelta::kDefCpt, "X"), u = idtest::Add(net, qelta::kDefUtility, "U");
    const int d = decision ? idtest::Add(net, qelta::kDefDecision, "D") : u;
    for (auto [p, c] : {std::pair{a, x}, {h, x}, {h, u}, {d, u}}) {
      ASSERT_EQ(0, p == c ? 0 : net.AddArc(p, c));  // no decision: no arc
    }
    idtest::Table(net, x, {1, 0, 1, 0, 0, 1, 0, 1});
    idtest::Table(net, u, decision ? std::vector<double>{3, 5, 1, 2} : std::vector<double>{3, 5});
    ASSERT_EQ(bn, net.SetDefaultBNAlgorithm(bn));
    net.SetRelevanceReasoning(false);
    ASSERT_EQ(0, net.GetNode(a)->Value()->SetEvidence(0));
    ASSERT_EQ(0, net.GetNode(x)->Value()->SetEvidence(1));
    for (int run = 0; run < 3; ++run) {
      EXPECT_EQ(bn == 0 ? qelta::kErrZeroMarginal : 0, net.UpdateBeliefs());
      for (int g : {h, u, d}) EXPECT_FALSE(net.GetNode(g)->Value()->IsValueValid()) << run;
    }
  }
}

// X observed x0 rules d1 out. The choice D = d0 is worth U + U2 = 1 +
// U2(a1); d1 keeps the undefined marker. U2, not indexed by D, is written
// by the one scenario left.
TEST(CooperSolverTest, PolicyOfTheScenarioLeftIsValid) {
  for (int k = 0; k < 8; ++k) {  // U2's table, propagation, the MAU
    SCOPED_TRACE(k);
    VRN_network net;
    const auto [d, u2, m] = idtest::MakeScenarioDiagram(
        net, 0, k & 1 ? std::vector<double>{4, 2} : std::vector<double>{2, 4}, k & 4, !(k & 2));
    ASSERT_EQ(0, net.UpdateBeliefs());
    const double best = k & 1 ? 3 : 5;
    for (int h : {d, m}) {
      if (h < 0) continue;
      ASSERT_TRUE(net.GetNode(h)->Value()->IsValueValid()) << h;
      ExpectNear({best, qelta::kUndefinedValue}, Value(net, h), 1e-12, "policy");
    }
    if (net.GetNode(u2)->Value()->IsValueValid()) ExpectNear({best - 1}, Value(net, u2), 1e-12, "U2");
  }
}

// ---------------------------------------------------------------- value of information

std::vector<double> Values(const VRN_valueOfInfo& voi) {
  const VRN_matrix& m = voi.GetValues();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

std::vector<int> Ints(const VRN_intArray& a) {
  return std::vector<int>(a.begin(), a.end());
}

std::string WriteXml(VRN_network& net) {
  std::string out;
  EXPECT_EQ(0, net.WriteString(out, -1));
  return out;
}

// The working copy turns a canonical point of view into its table before
// linking the added decision; with relevance reasoning off that change must
// keep what x0 = 0 implies (N3 = 1), or N3 would index the worth. W decides
// D: 0.2 * 5.5 + 0.8 * 4 = 4.3 known against 3.4 unknown.
TEST(ValueOfInfoTest, CanonicalPointOfViewKeepsImpliedEvidence) {
  for (int code : {0, 1}) {
    for (bool second_utility : {false, true}) {
      SCOPED_TRACE(testing::Message() << code << " " << second_utility);
      VRN_network net;
      const int x0 = idtest::Add(net, qelta::kDefCpt, "x0");
      const int n3 = idtest::Add(net, qelta::kDefCpt, "N3");
      const int v = idtest::Add(net, qelta::kDefNoisyMax, "V");
      const int d = idtest::Add(net, qelta::kDefDecision, "D");
      const int u = idtest::Add(net, qelta::kDefUtility, "U");
      const int w = idtest::Add(net, qelta::kDefCpt, "W");
      for (auto [p, c] : {std::pair{x0, n3}, {x0, v}, {v, d}, {n3, d}, {d, u},
                          {x0, w}, {w, u}}) {
        ASSERT_EQ(0, net.AddArc(p, c));
      }
      if (second_utility) {
        ASSERT_EQ(0, net.GetNode(idtest::Add(net, qelta::kDefCpt, "M"))
                         ->setNodeType(qelta::kDefUtility));
      }
      idtest::Table(net, x0, {0.486, 0.514});
      idtest::Table(net, n3, {0, 1, 0.564516, 0.435484});
      idtest::Table(net, w, {0.2, 0.8, 0.7, 0.3});
      idtest::Table(net, u, {5.5, -1.1, 1, 4});
      ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
      ASSERT_EQ(0, net.GetNode(x0)->Value()->SetEvidence(0));
      // The second code needs D's parents observed; the update still
      // derives N3 = 1.
      ASSERT_EQ(code == 0 ? 0 : -2, net.UpdateBeliefs());
      for (bool relevance : {true, false}) {
        SCOPED_TRACE(relevance);
        net.SetRelevanceReasoning(relevance);
        VRN_valueOfInfo voi(&net);
        ASSERT_EQ(0, voi.AddNode(w));
        ASSERT_EQ(0, voi.SetDecision(d));
        ASSERT_EQ(0, voi.SetPointOfView(v));
        ASSERT_EQ(0, voi.Update());
        EXPECT_TRUE(voi.GetIndexingNodes().IsEmpty());
        ExpectNear({4.3 - 3.4}, Values(voi), 1e-9, "W before D");
        EXPECT_EQ(1, net.EvidenceOf(n3)->GetEvidence());
      }
    }
  }
}

TEST(ValueOfInfoTest, PublishedValuesWithEitherSolverCode) {
  for (int code : {0, 1}) {
    SCOPED_TRACE(code);
    {  // Oil, Drill and a utility over them.
      VRN_network net;
      const int oil = idtest::Add(net, qelta::kDefCpt, "Oil", {"dry", "wet", "soaking"});
      const int drill = idtest::Add(net, qelta::kDefDecision, "Drill");
      const int u = idtest::Add(net, qelta::kDefUtility, "U");
      ASSERT_EQ(0, net.AddArc(drill, u));
      ASSERT_EQ(0, net.AddArc(oil, u));
      idtest::Table(net, oil, {0.5, 0.3, 0.2});
      idtest::Table(net, u, {-70, 50, 200, 0, 0, 0});
      ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
      VRN_valueOfInfo voi(&net);
      ASSERT_EQ(0, voi.AddNode(oil));
      ASSERT_EQ(0, voi.SetDecision(drill));
      ASSERT_EQ(0, voi.Update());
      ExpectNear({35}, Values(voi), 1e-9, "Oil before Drill");
      EXPECT_TRUE(Ints(voi.GetIndexingNodes()).empty());
    }
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(idtest::OilPath("xvrn").c_str(), 0, 0));
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    const std::string before = WriteXml(net);
    const int test = net.FindNode("Test"), seismic = net.FindNode("Seismic");
    const int drill = net.FindNode("Drill"), oil = net.FindNode("Oil");
    VRN_valueOfInfo voi(&net);
    EXPECT_EQ((std::vector<int>{test, drill}), Ints(voi.GetDecisions()));
    EXPECT_EQ((std::vector<int>{test, seismic, drill}), Ints(voi.GetOrderedNodes()));
    ASSERT_EQ(0, voi.AddNode(oil));
    ASSERT_EQ(0, voi.SetPointOfView(test));  // the decision follows
    ASSERT_EQ(0, voi.SetDecision(drill));
    ASSERT_EQ(0, voi.Update());
    ExpectNear({32.5}, Values(voi), 280e-9, "from Test");
    ASSERT_EQ(0, voi.SetPointOfView(drill));
    ASSERT_EQ(0, voi.Update());
    EXPECT_EQ((std::vector<int>{test, seismic}), Ints(voi.GetIndexingNodes()));
    ExpectNear({175.0 / 12, 30, 850.0 / 41, 35, 35, 35}, Values(voi), 280e-9,
               "from Drill");
    EXPECT_EQ(before, WriteXml(net));

    idtest::Umbrella u;
    ASSERT_EQ(code, u.net.SetDefaultIDAlgorithm(code));
    VRN_valueOfInfo umbrella(&u.net);
    ASSERT_EQ(0, umbrella.AddNode(u.weather));
    ASSERT_EQ(0, umbrella.SetDecision(u.umbrella));
    ASSERT_EQ(0, umbrella.Update());
    EXPECT_EQ((std::vector<int>{u.forecast}), Ints(umbrella.GetIndexingNodes()));
    ExpectNear({630.0 / 107, 1050.0 / 43, 112.0 / 5}, Values(umbrella), 1e-7,
               "umbrella");
    // Without observations nothing is gained.
    ASSERT_EQ(0, umbrella.RemoveNode(u.weather));
    ASSERT_EQ(0, umbrella.Update());
    ExpectNear({0, 0, 0}, Values(umbrella), 0, "nothing observed");
  }
}

// U(D, X) = {h, 0, 0, low} rescales the column of (d1, x1) to (low / h, 1.0),
// which must still weigh low / h; Shachter's solver names the policy. Knowing
// X before D is worth P(x0) h = 0.1 with h = 1e17. 1e-8 / 1e301 is refused.
// The same negated, in the table or by a multi-attribute weight of -1, puts
// the small cost beside the largest utility: (-0.1, -1), d0, worth 0.1.
TEST(ValueOfInfoTest, UtilitiesSpanningFarMoreThanTheDoublesPrecision) {
  for (int code : {0, 1}) {
    for (double h : {1e17, 1e300, 1e301}) {
      for (const char* sign : {"+", "-", "mau -1"}) {
        SCOPED_TRACE(testing::Message() << code << " " << h << " " << sign);
        const double x0 = h == 1e17 ? 1e-18 : 0.5, s = sign[0] == '+' ? 1 : -1;
        VRN_network net;
        const int x = idtest::Add(net, qelta::kDefCpt, "X"), d = idtest::Add(net, qelta::kDefDecision, "D");
        const int u = idtest::Add(net, qelta::kDefUtility, "U");
        ASSERT_EQ(0, net.AddArc(d, u) | net.AddArc(x, u));
        idtest::Table(net, x, {x0, 1 - x0});
        const double t = sign[0] == '-' ? -1 : 1;
        idtest::Table(net, u, {t * h, 0, 0, t * (h == 1e301 ? 1e-8 : 1)});
        if (sign[0] == 'm') {
          const int m = idtest::Add(net, qelta::kDefMau, "M");
          ASSERT_EQ(0, net.AddArc(u, m));
          idtest::Table(net, m, {-1});
        }
        ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
        if (h == 1e301) {
          EXPECT_EQ(-2, net.UpdateBeliefs());
          EXPECT_TRUE(LogHas(net, "Utilities of node [U] span too wide a range: the smallest "
                                  "differences would be lost"));
          continue;
        }
        ASSERT_EQ(0, net.UpdateBeliefs());
        const bool first = s * x0 * h > s * (1 - x0);
        EXPECT_NEAR(code == 0 ? s * x0 * h : first, Value(net, d)[0], 1e-12 * std::max(1.0, x0 * h));
        EXPECT_NEAR(code == 0 ? s * (1 - x0) : !first, Value(net, d)[1], 1e-12);
        VRN_valueOfInfo voi(&net);
        ASSERT_EQ(0, voi.AddNode(x));
        ASSERT_EQ(0, voi.SetDecision(d));
        ASSERT_EQ(0, voi.Update());
        if (h == 1e17) ExpectNear({0.1}, Values(voi), 1e-9, "X before D");
      }
    }
  }
  // Two utility nodes that each hold their range, but not their sum: X's
  // first probability is the double nearest 1e-320, so d1 is best.
  for (int code : {0, 1}) {
    SCOPED_TRACE(code);
    VRN_network net;
    const int x = idtest::Add(net, qelta::kDefCpt, "X"), d = idtest::Add(net, qelta::kDefDecision, "D");
    const int u1 = idtest::Add(net, qelta::kDefUtility, "U1");
    const int u2 = idtest::Add(net, qelta::kDefUtility, "U2");
    ASSERT_EQ(0, net.AddArc(d, u1) | net.AddArc(x, u1) | net.AddArc(d, u2) | net.AddArc(x, u2));
    idtest::Table(net, x, {1e-320, 1 - 1e-320});
    idtest::Table(net, u1, {1e300, 0, 0, 0});
    idtest::Table(net, u2, {0, 0, 0, 1.0001e-20});
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    if (code == 1) {
      EXPECT_EQ(-2, net.UpdateBeliefs());
      EXPECT_TRUE(LogHas(net, "Utilities summed over every utility node span too wide a "
                              "range: the smallest differences would be lost"));
      continue;
    }
    ASSERT_EQ(0, net.UpdateBeliefs());
    ExpectNear({1e-320 * 1e300, 1.0001e-20}, Value(net, d), 1e-32, "D");
  }
}

TEST(ValueOfInfoTest, RefusalsAndFailures) {
  idtest::Umbrella u;
  VRN_valueOfInfo voi(&u.net);
  EXPECT_EQ(-1, voi.GetDecision());
  EXPECT_EQ(-1, voi.GetPointOfView());
  EXPECT_EQ(-2, voi.Update());  // nothing chosen yet
  EXPECT_STREQ("Value of information needs a decision and a point of view",
               u.net.ErrorLog()->GetMessage(u.net.ErrorLog()->GetNumberOfMessages() - 1));
  ASSERT_EQ(0, voi.AddNode(u.weather));
  EXPECT_EQ(-2, voi.AddNode(u.weather));
  EXPECT_EQ(-2, voi.AddNode(99));
  EXPECT_EQ(-2, voi.AddNode(-1));
  EXPECT_EQ(-2, voi.RemoveNode(u.forecast));
  EXPECT_EQ(-2, voi.SetDecision(u.forecast));  // not a decision
  EXPECT_EQ(-2, voi.SetPointOfView(u.utility));  // after the last decision
  ASSERT_EQ(0, voi.SetPointOfView(u.forecast));   // decision := Forecast
  EXPECT_EQ(u.forecast, voi.GetDecision());
  EXPECT_EQ(-2, voi.Update());  // Forecast is no decision
  ASSERT_EQ(0, voi.SetDecision(u.umbrella));
  ASSERT_EQ(0, voi.AddNode(u.utility));  // a utility cannot be observed
  EXPECT_NE(0, voi.Update());
  EXPECT_STREQ("Node [Utility] cannot be observed before node [Umbrella]",
               u.net.ErrorLog()->GetMessage(u.net.ErrorLog()->GetNumberOfMessages() - 1));

  // A plate node has no one value to observe before a decision outside the
  // plate: refused, the reason logged once per call.
  VRN_network dynamic;
  ASSERT_EQ(0, dynamic.ReadString(
                   "<qelta version='1.0' id='N'><nodes><cpt id='Q' dynamic='plate'>"
                   "<state id='q0'/><state id='q1'/><probabilities>0.3 0.7</probabilities></cpt>"
                   "<decision id='D'><state id='d0'/><state id='d1'/></decision>"
                   "<utility id='V' dynamic='terminal'><parents>D Q</parents>"
                   "<utilities>10 0 2 8</utilities></utility></nodes>"
                   "<dynamic numslices='2'/></qelta>",
                   0));
  VRN_valueOfInfo plate(&dynamic);
  ASSERT_EQ(0, plate.AddNode(dynamic.FindNode("Q")));
  ASSERT_EQ(0, plate.SetDecision(dynamic.FindNode("D")));
  dynamic.ErrorLog()->Flush();
  for (int call = 1; call <= 2; ++call) {
    EXPECT_EQ(qelta::kErrWrongNodeType, plate.Update());
    ASSERT_EQ(call, dynamic.ErrorLog()->GetNumberOfMessages());
    EXPECT_STREQ("Node [Q] cannot be observed before node [D]",
                 dynamic.ErrorLog()->GetMessage(call - 1));
  }

  VRN_network plain;  // no utility node
  const int d = idtest::Add(plain, qelta::kDefDecision, "D");
  VRN_valueOfInfo none(&plain);
  ASSERT_EQ(0, none.SetDecision(d));
  EXPECT_EQ(d, none.GetPointOfView());
  EXPECT_EQ(-2, none.Update());
  EXPECT_STREQ("Value of information can't be computed without utility nodes",
               plain.ErrorLog()->GetMessage(plain.ErrorLog()->GetNumberOfMessages() - 1));
  none.Clear();
  EXPECT_EQ(nullptr, none.GetNetwork());
  EXPECT_EQ(-2, none.Update());
}

// The solvers and value of information edit private copies of the network
// step by step; an automatic update of the caller's network must not reach
// them, or each step would start the solver again on a half-built copy.
TEST(ValueOfInfoTest, AutomaticUpdatingStaysWithTheCallersNetwork) {
  for (int code : {0, 1}) {
    SCOPED_TRACE(code);
    VRN_network net;
    const int x = idtest::Add(net, qelta::kDefCpt, "X");
    const int d = idtest::Add(net, qelta::kDefDecision, "D");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(x, u));
    ASSERT_EQ(0, net.AddArc(d, u));
    idtest::Table(net, x, {0.3, 0.7});
    idtest::Table(net, u, {10, 0, 0, 20});
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    ASSERT_EQ(0, net.SetAutoUpdate(true));
    ASSERT_EQ(0, net.UpdateBeliefs());
    const std::vector<double> best =
        code == 0 ? std::vector<double>{3, 14} : std::vector<double>{0, 1};
    ExpectNear(best, Value(net, d), 1e-12, "D");
    // An edit updates the caller's network once, through the same solver.
    idtest::Table(net, x, {0.8, 0.2});
    ASSERT_TRUE(net.GetNode(d)->Value()->IsValueValid());
    ExpectNear(code == 0 ? std::vector<double>{8, 4} : std::vector<double>{1, 0},
               Value(net, d), 1e-12, "D after the edit");
    VRN_valueOfInfo voi(&net);
    ASSERT_EQ(0, voi.AddNode(x));
    ASSERT_EQ(0, voi.SetDecision(d));
    ASSERT_EQ(0, voi.Update());
    ExpectNear({0.2 * 20}, Values(voi), 1e-9, "X before D");
    EXPECT_TRUE(net.IsAutoUpdate());
  }
}

// Nodes the solver and value of information add for a run must not take a
// slot an earlier edit freed: the topological walk would meet them first and
// reorder the decisions and the parents that index the values.
TEST(ValueOfInfoTest, LayoutsAfterAFreedSlotEqualTheSavesReadBack) {
  VRN_network net;
  const int spare = idtest::Add(net, qelta::kDefCpt, "Spare");
  for (const char* id : {"A", "D1", "C", "B", "D2", "U", "V"}) {
    (void)idtest::Add(net, id[0] == 'D' ? qelta::kDefDecision
                           : id[0] >= 'U' ? qelta::kDefUtility : qelta::kDefCpt, id);
  }
  for (const char* arc : {"A D1", "C B", "B D2", "D2 U", "D1 U", "A U", "C U", "B V"}) {
    const std::string from(arc, std::strchr(arc, ' '));
    ASSERT_EQ(0, net.AddArc(net.FindNode(from.c_str()), net.FindNode(arc + from.size() + 1)));
  }
  idtest::Table(net, net.FindNode("U"), {1, 5, 3, 2, 7, 1, 0, 4, 2, 8, 6, 3, 5, 1, 9, 2});
  ASSERT_EQ(0, net.DeleteNode(spare));
  ASSERT_EQ(0, net.UpdateBeliefs());  // two terminal utilities: one is added
  VRN_network fresh;
  ASSERT_EQ(0, fresh.ReadString(WriteXml(net).c_str(), 0));
  ASSERT_EQ(0, fresh.UpdateBeliefs());
  std::vector<std::string> layouts;
  for (VRN_network* n : {&net, &fresh}) {
    VRN_valueOfInfo voi(n);
    ASSERT_EQ(0, voi.AddNode(n->FindNode("C")));
    ASSERT_EQ(0, voi.SetDecision(n->FindNode("D2")));
    ASSERT_EQ(0, voi.Update());
    const VRN_nodeVal* d2 = n->GetNode(n->FindNode("D2"))->Value();
    layouts.emplace_back();
    for (const VRN_intArray* a : {&d2->GetIndexingParents(), &voi.GetIndexingNodes()}) {
      for (int h : *a) layouts.back() += std::string(n->GetNode(h)->GetId()) + " ";
    }
    for (double x : Values(voi)) layouts.back() += std::to_string(x) + " ";
    for (double x : d2->GetValue().GetItems()) layouts.back() += std::to_string(x) + " ";
  }
  EXPECT_EQ(0u, layouts[0].find("A D1 B A D1 B "));  // in the decision order
  EXPECT_EQ(layouts[0], layouts[1]);
}

}  // namespace
