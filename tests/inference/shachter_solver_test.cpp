#include "inference/shachter_solver.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "influence_test_util.h"

namespace {

using idtest::ExpectNear;
using idtest::LogHas;
using idtest::Value;

TEST(ShachterSolverTest, AgreesWithCooperWhereBothMustAgree) {
  struct Case {
    const char* seismic;
    std::vector<double> drill;
  };
  for (const Case& c : {Case{"closed", {1, 0}}, Case{"diffuse", {0, 1}}}) {
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(idtest::OilPath("xvrn").c_str(), 0, 0));
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(0, net.GetNode(net.FindNode("Test"))->Value()->SetEvidence(0));
    ASSERT_EQ(0, net.GetNode(net.FindNode("Seismic"))->Value()->SetEvidenceById(c.seismic));
    ASSERT_EQ(0, net.UpdateBeliefs()) << c.seismic;
    ExpectNear(c.drill, Value(net, net.FindNode("Drill")), 0, c.seismic);
    EXPECT_FALSE(net.GetNode(net.FindNode("Oil"))->Value()->IsValueValid());
  }
  for (int f : {2, 0}) {
    idtest::Umbrella u;
    ASSERT_EQ(1, u.net.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(0, u.net.GetNode(u.forecast)->Value()->SetEvidence(f));
    ASSERT_EQ(0, u.net.UpdateBeliefs());
    ExpectNear(f == 2 ? std::vector<double>{1, 0} : std::vector<double>{0, 1},
               Value(u.net, u.umbrella), 0, "Umbrella");
  }
}

// Pass 1 makes one utility a cost so large that the others lie within its
// rounding; pass 2 pushes the diagrams to the extremes, where a choice that
// leads by a sliver of a rare outcome must still win.
TEST(ShachterSolverTest, RandomDiagramsWithOnlyTheLastDecisionOpen) {
 for (int pass = 0; pass < 3; ++pass) {
  std::mt19937 rng(7 + pass);
  int compared = 0;
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(testing::Message() << pass << " " << trial);
    idtest::RandomDiagram g;
    idtest::MakeRandomDiagram(rng, g);
    if (testing::Test::HasFatalFailure()) return;
    VRN_network& net = g.net;
    if (pass == 1) {
      VRN_matrix* ut = net.GetNode(g.utility)->Definition()->GetMatrix();
      *ut->ItemAddress(static_cast<int>(rng() % ut->GetItemCount())) = -1e17;
    }
    if (pass == 2) idtest::PushToExtremes(rng, g);
    int last = -1;
    for (int h : g.handles) {
      if (net.GetNode(h)->Definition()->GetType() == qelta::kDefDecision) last = h;
    }
    // Every decision but the last is made; every decision's parents are seen.
    bool refused = false;
    for (int h : g.handles) {
      if (net.GetNode(h)->Definition()->GetType() != qelta::kDefDecision) continue;
      if (h != last) refused |= net.GetNode(h)->Value()->SetEvidence(0) != 0;
      for (int p : net.GetNode(h)->Parents()) {
        VRN_nodeVal* v = net.GetNode(p)->Value();
        if (!v->HasEvidence()) refused |= v->SetEvidence(trial % 2) != 0;
      }
    }
    if (refused) continue;
    // The expected utilities by enumeration; the choices must not tie, nor
    // differ by less than the 1e-300 that expected utilities may be off by.
    std::vector<int> candidates;
    const std::vector<idtest::Exact> eu = idtest::Induction(g, &candidates)[last];
    ASSERT_EQ(std::vector<int>{last}, candidates);
    int best = 0;
    idtest::Exact second = -HUGE_VALL;
    for (size_t k = 1; k < eu.size(); ++k) {
      if (eu[k] >= eu[best]) best = k;
    }
    for (size_t k = 0; k < eu.size(); ++k) {
      if (static_cast<int>(k) != best) second = std::max(second, eu[k]);
    }
    const idtest::Exact gap = eu[best] - second;
    if (gap <= 1e-9L * std::max(std::fabs(eu[best]), std::fabs(second)) || gap <= 1e-300L) continue;
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    const int status = net.UpdateBeliefs();
    if (status != 0) {  // only a table code 1 cannot carry, or products past the doubles
      EXPECT_EQ(2, pass);
      EXPECT_TRUE(LogHas(net, "Utilities summed over every utility node span too wide a "
                              "range: the smallest differences would be lost") ||
                  LogHas(net, "Products of the probabilities fall below the range of double "
                              "precision numbers; the result would not be exact"));
      continue;
    }
    std::vector<double> want(eu.size(), 0.0);
    want[best] = 1.0;
    ExpectNear(want, Value(net, last), 0, "point mass");
    ++compared;
  }
  EXPECT_GT(compared, 70);
 }
}

TEST(ShachterSolverTest, RoundingDoesNotBreakATieWhateverTheHandleOrder) {
  // Decisions n8 -> n9 -> n7. With n8 not yet fixed n9's choices tie
  // (7 + 14 against 17 + 4), so n9 takes its last and n8 then its first
  // (17 + 1 against 14 + 1). The sums round in an order that follows the
  // handles; in the first order they once made n9 take choice 0.
  auto solve = [](const std::vector<std::string>& order) {
    VRN_network net;
    std::map<std::string, int> h;
    for (const std::string& id : order) {
      const int type = id == "n10" || id == "n11" ? qelta::kDefUtility
                       : id == "n7" || id == "n8" || id == "n9" ? qelta::kDefDecision
                                                                : qelta::kDefCpt;
      h[id] = idtest::Add(net, type, id.c_str());
    }
    for (const char* a : {"n8n9", "n9n7", "n9n10", "n8n10", "n8n11", "n6n4", "n8n5",
                          "n9n5", "n4n5", "n7n5"}) {
      const std::string arc = a;
      EXPECT_EQ(0, net.AddArc(h[arc.substr(0, 2)], h[arc.substr(2)]));
    }
    for (const char* c : {"n0", "n6", "n4", "n5"}) {
      std::vector<double> table;
      for (int r = 0; r < (c[1] == '5' ? 16 : c[1] == '4' ? 2 : 1); ++r) {
        table.push_back(0.05 + 0.9 * ((r + 1) * 0.025));
        table.push_back(1 - table.back());
      }
      idtest::Table(net, h[c], table);
    }
    idtest::Table(net, h["n10"], {7, 14, 17, 4});
    idtest::Table(net, h["n11"], {1, 1});
    EXPECT_EQ(1, net.SetDefaultIDAlgorithm(1));
    EXPECT_EQ(0, net.UpdateBeliefs());
    return Value(net, h["n8"]);
  };
  ExpectNear({1, 0}, solve({"n0", "n4", "n5", "n6", "n7", "n8", "n9", "n10", "n11"}),
             0, "handle order n0 n4 n5 n6 n7 n8 n9 n10 n11");
  ExpectNear({1, 0}, solve({"n11", "n10", "n9", "n8", "n7", "n6", "n5", "n4", "n0"}),
             0, "reversed");

  // A clear maximum stays the choice however close the next one comes.
  VRN_network net;
  const int d = idtest::Add(net, qelta::kDefDecision, "D", {"a", "b", "c"});
  const int u = idtest::Add(net, qelta::kDefUtility, "U");
  ASSERT_EQ(0, net.AddArc(d, u));
  idtest::Table(net, u, {0, 1, 1 - 1e-9});
  ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
  ASSERT_EQ(0, net.UpdateBeliefs());
  ExpectNear({0, 1, 0}, Value(net, d), 0, "1 against 1 - 1e-9");
}

TEST(ShachterSolverTest, EdgeCases) {
  auto single = [](std::vector<double> utilities) {
    auto net = std::make_unique<VRN_network>();
    const int d = idtest::Add(*net, qelta::kDefDecision, "D", {"a", "b"});
    const int u = idtest::Add(*net, qelta::kDefUtility, "U");
    EXPECT_EQ(0, net->AddArc(d, u));
    idtest::Table(*net, u, utilities);
    EXPECT_EQ(1, net->SetDefaultIDAlgorithm(1));
    return net;
  };
  {
    auto net = single({10, 30});
    ASSERT_EQ(0, net->UpdateBeliefs());
    ExpectNear({0, 1}, Value(*net, 0), 0, "better second choice");
    net = single({5, 5});
    ASSERT_EQ(0, net->UpdateBeliefs());
    ExpectNear({0, 1}, Value(*net, 0), 0, "tie takes the last");
    // Utilities far below 1 keep their order, as any positive multiple does.
    for (double scale : {1e-17, 1.0, 1e17}) {
      net = single({2 * scale, scale});
      ASSERT_EQ(0, net->UpdateBeliefs());
      ExpectNear({1, 0}, Value(*net, 0), 0, "2 against 1");
      net = single({scale, 2 * scale});
      ASSERT_EQ(0, net->UpdateBeliefs());
      ExpectNear({0, 1}, Value(*net, 0), 0, "1 against 2");
    }

    net = single({10, 30});
    ASSERT_EQ(0, net->GetNode(0)->Value()->SetEvidence(0));
    EXPECT_EQ(-2, net->UpdateBeliefs());
    EXPECT_TRUE(LogHas(*net, "Error when running Shachter's algorithm"));
  }
  {  // A target elsewhere does not keep the first decision's beliefs from
     // being computed in the working copy: its choices tie, so the last.
    VRN_network net;
    const int d1 = idtest::Add(net, qelta::kDefDecision, "D1");
    const int d2 = idtest::Add(net, qelta::kDefDecision, "D2");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    const int x = idtest::Add(net, qelta::kDefCpt, "X");
    ASSERT_EQ(0, net.AddArc(d1, d2));
    ASSERT_EQ(0, net.AddArc(d2, u));
    idtest::Table(net, u, {3, 1});
    ASSERT_EQ(0, net.SetTarget(x, true));
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(0, net.UpdateBeliefs());
    ExpectNear({0, 1}, Value(net, d1), 0, "D1 with a target elsewhere");
  }
  {  // A seen at a0, where every choice has the least utility: a tie.
    VRN_network net;
    const int a = idtest::Add(net, qelta::kDefCpt, "A");
    const int d = idtest::Add(net, qelta::kDefDecision, "D");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    for (auto [p, c] : {std::pair{a, d}, {d, u}, {a, u}}) ASSERT_EQ(0, net.AddArc(p, c));
    idtest::Table(net, u, {0, 5, 0, 3});
    ASSERT_EQ(0, net.GetNode(a)->Value()->SetEvidence(0));
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(0, net.UpdateBeliefs());
    ExpectNear({0, 1}, Value(net, d), 0, "all at the least utility");
  }
  {  // An unobserved parent of the first open decision.
    idtest::Umbrella u;
    ASSERT_EQ(1, u.net.SetDefaultIDAlgorithm(1));
    EXPECT_EQ(-2, u.net.UpdateBeliefs());
    // The message is followed by one naming the decision and the parent.
    const VRN_errorLog& log = *u.net.ErrorLog();
    ASSERT_EQ(2, log.GetNumberOfMessages());
    EXPECT_STREQ("Can't solve this network using best policy algorithm",
                 log.GetMessage(0));
    EXPECT_STREQ("Decision [Umbrella] has the parent [Forecast] without evidence: this "
                 "algorithm needs every parent of the first undecided decision observed",
                 log.GetMessage(1));
    EXPECT_EQ(-2, log.GetCode(1));
    // The first open decision is the one named: with Umbrella decided, a later
    // decision whose parent Weather is unobserved is.
    const int later = idtest::Add(u.net, qelta::kDefDecision, "Later");
    ASSERT_EQ(0, u.net.AddArc(u.weather, later));
    ASSERT_EQ(0, u.net.AddArc(u.umbrella, later));
    ASSERT_EQ(0, u.net.GetNode(u.umbrella)->Value()->SetEvidence(0));
    u.net.ErrorLog()->Flush();
    EXPECT_EQ(-2, u.net.UpdateBeliefs());
    EXPECT_TRUE(LogHas(u.net, "Decision [Later] has the parent [Weather] without evidence: "
                              "this algorithm needs every parent of the first undecided "
                              "decision observed"));
  }
  {  // Two unlinked decisions: the order is assumed.
    VRN_network net;
    const int d1 = idtest::Add(net, qelta::kDefDecision, "D1");
    const int d2 = idtest::Add(net, qelta::kDefDecision, "D2");
    const int u = idtest::Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(d1, u));
    ASSERT_EQ(0, net.AddArc(d2, u));
    idtest::Table(net, u, {1, 2, 4, 3});
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(0, net.UpdateBeliefs());
    EXPECT_TRUE(LogHas(net, "Temporal order assumed: node [D1] before node [D2]"));
    EXPECT_EQ(1, net.AreAdjacent(d1, d2));
    ExpectNear({0, 1}, Value(net, d1), 0, "D1");
  }
  {  // Too many utility parents.
    VRN_network net;
    const int d = idtest::Add(net, qelta::kDefDecision, "D");
    const int u1 = idtest::Add(net, qelta::kDefUtility, "U1");
    const int u2 = idtest::Add(net, qelta::kDefUtility, "U2");
    ASSERT_EQ(0, net.AddArc(d, u1));
    for (int i = 0; i < 20; ++i) {
      const int x = net.AddNode(qelta::kDefCpt, nullptr);
      ASSERT_EQ(0, net.AddArc(x, i < 10 ? u1 : u2));
    }
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    const int options = net.GetRelevanceOptions();
    EXPECT_EQ(-2, net.UpdateBeliefs());
    EXPECT_TRUE(LogHas(net,
                       "Cannot solve this network using SHACHTER's algorithm. "
                       "Error while merging utility nodes (too many parents)"));
    EXPECT_EQ(options, net.GetRelevanceOptions());
  }
}

TEST(ShachterSolverTest, ObservationBelowTheDecisionThatLeavesOnlyTheLowestUtility) {
  // X observed x1, so d1. U2 = (2, 4) with the MAU leaves d1 a utility
  // above the lowest; without U2, or with (4, 2), none is.
  for (int u2 : {0, 1, 2}) {
    for (bool propagation : {false, true}) {
      SCOPED_TRACE(u2 * 2 + propagation);
      VRN_network net;
      const std::vector<double> tables[] = {{}, {4, 2}, {2, 4}};
      const int d = idtest::MakeScenarioDiagram(net, 1, tables[u2], u2 > 0, propagation).d;
      ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
      const VRN_errorLog& log = *net.ErrorLog();
      if (u2 == 2) {
        ASSERT_EQ(0, net.UpdateBeliefs());
        ExpectNear({0, 1}, Value(net, d), 0, "D");
        EXPECT_EQ(0, log.GetNumberOfMessages());
        continue;
      }
      EXPECT_EQ(qelta::kErrEvidenceConflict, net.UpdateBeliefs());
      ASSERT_EQ(2, log.GetNumberOfMessages());
      EXPECT_STREQ("Decision [D] has the observed node [X] below it: this algorithm cannot "
                   "weigh the choices that evidence leaves when none of them has more than "
                   "the lowest utility",
                   log.GetMessage(1));
      EXPECT_EQ(qelta::kErrEvidenceConflict, log.GetCode(1));
    }
  }
}

}  // namespace
