// The influence-diagram solvers with multi-attribute utility nodes: Cooper's
// against expected utilities enumerated by hand in the test, the best
// policy one against Cooper's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "equations/mau.h"
#include "inference/shachter_solver.h"
#include "inference/value_of_info.h"
#include "influence_test_util.h"

namespace {

using Texts = std::vector<std::string>;
using idtest::Add;
using idtest::ExpectNear;
using idtest::LogHas;
using idtest::Table;
using idtest::Value;

// D (a, b) -> C (good, bad); U1(D, C); U2(C).
struct Diagram {
  Diagram() {
    d = Add(net, qelta::kDefDecision, "D", {"a", "b"});
    c = Add(net, qelta::kDefCpt, "C", {"good", "bad"});
    u1 = Add(net, qelta::kDefUtility, "U1");
    u2 = Add(net, qelta::kDefUtility, "U2");
    EXPECT_EQ(0, net.AddArc(d, c));
    EXPECT_EQ(0, net.AddArc(d, u1));
    EXPECT_EQ(0, net.AddArc(c, u1));
    EXPECT_EQ(0, net.AddArc(c, u2));
    Table(net, c, {0.7, 0.3, 0.4, 0.6});
    Table(net, u1, {100, -20, 60, 10});
    Table(net, u2, {5, 1});
  }
  // Expected utility of each decision, enumerated over C.
  std::vector<double> Enumerate(const std::vector<double>& u1_table,
                                const std::vector<double>& u2_table,
                                double w1, double w2) const {
    const double good[] = {0.7, 0.4};
    std::vector<double> out;
    for (int k = 0; k < 2; ++k) {
      double eu1 = 0.0;
      double eu2 = 0.0;
      for (int s = 0; s < 2; ++s) {
        const double p = s == 0 ? good[k] : 1.0 - good[k];
        eu1 += p * u1_table[2 * k + s];
        eu2 += p * u2_table[s];
      }
      out.push_back(w1 * eu1 + w2 * eu2);
    }
    return out;
  }
  // M1 weighs U1 by 0.5; M2, with the decision parent D, weighs M1 and U2
  // by the rows of m2_weights, D's choice a first.
  void NestMauNodes(const std::vector<double>& m2_weights) {
    m1 = Add(net, qelta::kDefMau, "M1");
    m2 = Add(net, qelta::kDefMau, "M2");
    EXPECT_EQ(0, net.AddArc(u1, m1));
    EXPECT_EQ(0, net.AddArc(d, m2));
    EXPECT_EQ(0, net.AddArc(m1, m2));
    EXPECT_EQ(0, net.AddArc(u2, m2));
    Table(net, m1, {0.5});
    Table(net, m2, m2_weights);
  }
  // A MAU node with these expressions; with two, one per choice, D becomes
  // its parent first.
  int AddExpressionMau(const char* id, const Texts& expressions) {
    const int m = Add(net, qelta::kDefMau, id);
    if (expressions.size() == 2) {
      EXPECT_EQ(0, net.AddArc(d, m));
    }
    std::string error;
    auto* def = static_cast<VRN_mau*>(net.GetNode(m)->Definition());
    EXPECT_EQ(0, def->SetExpressions(expressions, &error)) << error;
    return m;
  }
  VRN_network net;
  int d, c, u1, u2;
  int m1 = -1, m2 = -1;
};

TEST(CooperMauTest, WeightedUtilityMatchesEnumeration) {
  Diagram g;
  const int m = Add(g.net, qelta::kDefMau, "M");
  ASSERT_EQ(0, g.net.AddArc(g.u1, m));
  ASSERT_EQ(0, g.net.AddArc(g.u2, m));
  Table(g.net, m, {0.6, 0.4});
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  const std::vector<double> want =
      g.Enumerate({100, -20, 60, 10}, {5, 1}, 0.6, 0.4);
  ExpectNear({39.92, 19.04}, want, 1e-9, "enumeration");
  ExpectNear(want, Value(g.net, m), 1e-9, "M");
  ExpectNear(want, Value(g.net, g.d), 1e-9, "D");
  ExpectNear({64, 30}, Value(g.net, g.u1), 1e-9, "U1");
  EXPECT_EQ(qelta::kValMauExpectedUtility, g.net.GetNode(m)->Value()->GetType());
  EXPECT_TRUE(g.net.GetNode(m)->Value()->IsValueValid());
}

TEST(CooperMauTest, ExpressionAppliesToExpectedUtilities) {
  Diagram g;
  const int m = g.AddExpressionMau("M", {"U1*U2"});
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  ExpectNear({64 * 3.8, 30 * 2.6}, Value(g.net, m), 1e-9, "M");
  ExpectNear({243.2, 78}, Value(g.net, g.d), 1e-9, "D");
}

TEST(CooperMauTest, SeveralTerminalUtilitiesAreSummedForTheRun) {
  Diagram g;
  const int nodes = g.net.GetNumberOfNodes();
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  EXPECT_EQ(nodes, g.net.GetNumberOfNodes());
  ExpectNear({67.8, 32.6}, Value(g.net, g.d), 1e-9, "D");
  ExpectNear(g.Enumerate({100, -20, 60, 10}, {5, 1}, 1, 1), Value(g.net, g.d),
             1e-9, "enumeration");
}

TEST(CooperMauTest, NestedMauNodesCompose) {
  Diagram g;
  // Decision a weighs (1, 10), decision b (2, 0).
  g.NestMauNodes({1, 10, 2, 0});
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  ExpectNear({32, 15}, Value(g.net, g.m1), 1e-9, "M1");
  ExpectNear({32 + 38, 30}, Value(g.net, g.m2), 1e-9, "M2");
  ExpectNear({70, 30}, Value(g.net, g.d), 1e-9, "D");
}

TEST(ShachterMauTest, WeightsOfTheMauDecide) {
  struct Case {
    std::vector<double> weights;
    std::vector<double> policy;
  } cases[] = {
      {{0.6, 0.4}, {1, 0}},
      {{-1, 0}, {0, 1}},  // U1 negated: b is better
  };
  for (const Case& t : cases) {
    Diagram g;
    ASSERT_EQ(1, g.net.SetDefaultIDAlgorithm(1));
    const int m = Add(g.net, qelta::kDefMau, "M");
    ASSERT_EQ(0, g.net.AddArc(g.u1, m));
    ASSERT_EQ(0, g.net.AddArc(g.u2, m));
    Table(g.net, m, t.weights);
    const int nodes = g.net.GetNumberOfNodes();
    ASSERT_EQ(0, g.net.UpdateBeliefs());
    EXPECT_EQ(nodes, g.net.GetNumberOfNodes());
    ExpectNear(t.policy, Value(g.net, g.d), 1e-12, "D");
  }
}

// The diagram's utility at D = d, C = c as its MAU nodes make it.
using Total = std::function<double(int d, double u1, double u2)>;

// Code 1 against code 0 on g: the best policy's beliefs of D are its
// expected utilities e (code 0's) less the least utility m, normalised, and
// its answer is the point mass at the largest.
void ExpectBestPolicyFollowsCooper(Diagram& g, const Total& total) {
  const double u1[] = {100, -20, 60, 10};
  const double u2[] = {5, 1};
  double least = HUGE_VAL;
  for (int d = 0; d < 2; ++d) {
    for (int c = 0; c < 2; ++c) {
      least = std::min(least, total(d, u1[2 * d + c], u2[c]));
    }
  }
  ASSERT_EQ(0, g.net.SetDefaultIDAlgorithm(0));
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  const std::vector<double> eu = Value(g.net, g.d);
  ASSERT_EQ(2u, eu.size());
  ASSERT_GT(std::fabs(eu[0] - eu[1]), 1e-6) << "a tie decides nothing";
  const double sum = eu[0] + eu[1] - 2 * least;
  VRN_ShachterSolver solver;
  ASSERT_EQ(0, solver.Solve(g.net));
  ExpectNear({(eu[0] - least) / sum, (eu[1] - least) / sum},
             solver.FirstDecisionBeliefs(), 1e-9, "beliefs");
  ASSERT_EQ(1, g.net.SetDefaultIDAlgorithm(1));
  const int nodes = g.net.GetNumberOfNodes();
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  EXPECT_EQ(nodes, g.net.GetNumberOfNodes());
  ExpectNear(eu[0] > eu[1] ? std::vector<double>{1, 0}
                           : std::vector<double>{0, 1},
             Value(g.net, g.d), 0, "policy");
}

TEST(ShachterMauTest, AffineExpressionsActAsWeightsAndOffsets) {
  struct Case {
    Texts expressions;  // two: one per choice of D, a parent of M
    Total total;        // U2 counts on its own when M does not name it
  } cases[] = {
      {{"0 - U1"}, [](int, double a, double b) { return -a + b; }},
      {{"2*U1 + U2 - 3"}, [](int, double a, double b) { return 2 * a + b - 3; }},
      {{"U1", "U1 + 50"},
       [](int d, double a, double b) { return a + 50 * d + b; }},
      {{"U1/10", "-(U2*3) + 4*U2 - 1"},
       [](int d, double a, double b) { return d == 0 ? a / 10 : b - 1; }},
      {{"(U1 - U2)*Abs(-2)/Pi()", "U2*(1 + 1)"},
       [](int d, double a, double b) {
         return d == 0 ? (a - b) * 2 / M_PI : 2 * b;
       }},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.expressions[0]);
    Diagram g;
    g.AddExpressionMau("M", t.expressions);
    ExpectBestPolicyFollowsCooper(g, t.total);
  }
}

TEST(ShachterMauTest, ChoicesAndSharedParentsWeighAsCooperDoes) {
  {  // M2's weights change with D's choice: (1, 0) for a, (3, 0) for b.
    Diagram g;
    g.NestMauNodes({1, 0, 3, 0});
    ExpectBestPolicyFollowsCooper(
        g, [](int d, double a, double) { return (d == 0 ? 1 : 3) * 0.5 * a; });
  }
  {  // U1 counts in two MAU nodes, one of them in expression mode.
    Diagram g;
    const int m1 = Add(g.net, qelta::kDefMau, "M1");
    ASSERT_EQ(0, g.net.AddArc(g.u1, m1));
    Table(g.net, m1, {-1});
    g.AddExpressionMau("M2", {"-U1"});
    ExpectBestPolicyFollowsCooper(
        g, [](int, double a, double b) { return -2 * a + b; });
  }
}

TEST(ShachterMauTest, ExpressionsThatAreNotWeightsAreRefused) {
  struct Case {
    Texts expressions;
    int index;
  } cases[] = {
      {{"U1*U2"}, 0},     {{"Abs(U1)"}, 0},         {{"U1/U2"}, 0},
      {{"U1^2"}, 0},      {{"U1 + (U2 > 1)"}, 0},   {{"U1/0"}, 0},
      {{"U1", "Max(U1, 2*U2)"}, 1},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.expressions.back());
    Diagram g;
    g.AddExpressionMau("M", t.expressions);
    ASSERT_EQ(1, g.net.SetDefaultIDAlgorithm(1));
    EXPECT_EQ(-2, g.net.UpdateBeliefs());
    EXPECT_TRUE(LogHas(g.net, "Expression at index " + std::to_string(t.index) +
                                  " of node [M] is not a constant plus "
                                  "utilities times constants"));
    EXPECT_TRUE(LogHas(g.net, "Can't solve this network using best policy algorithm"));
    EXPECT_FALSE(g.net.GetNode(g.d)->Value()->IsValueValid());
  }
}

// Value of information solves its copies with code 0 whatever the network
// uses, so the expression counts: 2*U - 3 doubles the worth of seeing X.
TEST(ShachterMauTest, ValueOfInformationUsesTheExpressions) {
  for (const char* expression : {"U", "2*U - 3"}) {
    SCOPED_TRACE(expression);
    VRN_network net;
    const int x = Add(net, qelta::kDefCpt, "X");
    const int d = Add(net, qelta::kDefDecision, "D");
    const int u = Add(net, qelta::kDefUtility, "U");
    const int m = Add(net, qelta::kDefMau, "M");
    ASSERT_EQ(0, net.AddArc(x, u));
    ASSERT_EQ(0, net.AddArc(d, u));
    Table(net, x, {0.5, 0.5});
    Table(net, u, {100, 0, 0, 50});
    std::string error;
    auto* def = static_cast<VRN_mau*>(net.GetNode(m)->Definition());
    ASSERT_EQ(0, def->SetExpressions({expression}, &error)) << error;
    ASSERT_EQ(1, net.SetDefaultIDAlgorithm(1));
    VRN_valueOfInfo voi(&net);
    ASSERT_EQ(0, voi.SetDecision(d));
    ASSERT_EQ(0, voi.AddNode(x));
    ASSERT_EQ(0, voi.Update());
    const VRN_matrix& worth = voi.GetValues();
    ASSERT_EQ(1, worth.GetItemCount());
    EXPECT_NEAR(expression[1] == 0 ? 25 : 50, worth.GetItem(0), 1e-9);
  }
}

}  // namespace
