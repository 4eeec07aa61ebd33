// Cooper's solver with multi-attribute utility nodes, against expected
// utilities enumerated by hand in the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "equations/mau.h"
#include "influence_test_util.h"

namespace {

using idtest::Add;
using idtest::ExpectNear;
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
  VRN_network net;
  int d, c, u1, u2;
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
  const int m = Add(g.net, qelta::kDefMau, "M");
  std::string error;
  auto* def = static_cast<VRN_mau*>(g.net.GetNode(m)->Definition());
  ASSERT_EQ(0, def->SetExpressions({"U1*U2"}, &error)) << error;
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
  const int m1 = Add(g.net, qelta::kDefMau, "M1");
  const int m2 = Add(g.net, qelta::kDefMau, "M2");
  ASSERT_EQ(0, g.net.AddArc(g.u1, m1));
  ASSERT_EQ(0, g.net.AddArc(g.d, m2));
  ASSERT_EQ(0, g.net.AddArc(m1, m2));
  ASSERT_EQ(0, g.net.AddArc(g.u2, m2));
  Table(g.net, m1, {0.5});
  // Decision a weighs (1, 10), decision b (2, 0).
  Table(g.net, m2, {1, 10, 2, 0});
  ASSERT_EQ(0, g.net.UpdateBeliefs());
  ExpectNear({32, 15}, Value(g.net, m1), 1e-9, "M1");
  ExpectNear({32 + 38, 30}, Value(g.net, m2), 1e-9, "M2");
  ExpectNear({70, 30}, Value(g.net, g.d), 1e-9, "D");
}

TEST(ShachterMauTest, WeightsOfTheMauDecide) {
  struct Case {
    std::vector<double> weights;
    const char* expression;  // null: weights mode
    std::vector<double> policy;
  } cases[] = {
      {{0.6, 0.4}, nullptr, {1, 0}},
      {{-1, 0}, nullptr, {0, 1}},  // U1 negated: b is better
      {{0.6, 0.4}, "U1*U2", {1, 0}},
  };
  for (const Case& t : cases) {
    Diagram g;
    ASSERT_EQ(1, g.net.SetDefaultIDAlgorithm(1));
    const int m = Add(g.net, qelta::kDefMau, "M");
    ASSERT_EQ(0, g.net.AddArc(g.u1, m));
    ASSERT_EQ(0, g.net.AddArc(g.u2, m));
    auto* def = static_cast<VRN_mau*>(g.net.GetNode(m)->Definition());
    std::string error;
    if (t.expression != nullptr) {
      ASSERT_EQ(0, def->SetExpressions({t.expression}, &error)) << error;
    }
    Table(g.net, m, t.weights);
    const int nodes = g.net.GetNumberOfNodes();
    ASSERT_EQ(0, g.net.UpdateBeliefs());
    EXPECT_EQ(nodes, g.net.GetNumberOfNodes());
    ExpectNear(t.policy, Value(g.net, g.d), 1e-12, "D");
  }
}

}  // namespace
