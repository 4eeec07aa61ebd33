// Influence diagrams whose expected utilities would not be finite are
// refused, whichever solver runs, and leave no value marked valid.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "equations/mau.h"
#include "../inference/influence_test_util.h"

namespace {

using idtest::Add;
using idtest::LogHas;
using idtest::Table;

// C (a, b); D (x, y) -> U1; C, D -> U2; `big` is the first utility of each.
struct Diagram {
  explicit Diagram(double big) {
    c = Add(net, qelta::kDefCpt, "C", {"a", "b"});
    d = Add(net, qelta::kDefDecision, "D", {"x", "y"});
    u1 = Add(net, qelta::kDefUtility, "U1");
    u2 = Add(net, qelta::kDefUtility, "U2");
    for (auto [p, u] : {std::pair{d, u1}, {c, u2}, {d, u2}}) EXPECT_EQ(0, net.AddArc(p, u));
    Table(net, c, {0.5, 0.5});
    Table(net, u1, {big, 1});
    Table(net, u2, {big, 2, 3, 4});
  }
  bool AnyValid() {
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      if (net.GetNode(h)->Value()->IsValueValid()) return true;
    }
    return false;
  }
  VRN_network net;
  int c, d, u1, u2;
};

TEST(NetworkInfluenceTest, UtilitiesWhoseExpectationOverflowsAreRefused) {
  for (int algorithm : {0, 1}) {
    for (double big : {1e308, 1e300}) {  // twice 1e300 is still finite
      SCOPED_TRACE(testing::Message() << algorithm << " " << big);
      const bool overflows = big > 1e300;
      Diagram g(big);
      ASSERT_EQ(algorithm, g.net.SetDefaultIDAlgorithm(algorithm));
      EXPECT_EQ(overflows ? qelta::kErrOutOfRange : 0, g.net.UpdateBeliefs());
      EXPECT_EQ(overflows, LogHas(g.net, "Utilities of node [U1] are too large: expected "
                                         "utilities would overflow"));
      EXPECT_EQ(!overflows, g.net.GetNode(g.d)->Value()->IsValueValid());
      EXPECT_FALSE(overflows && g.AnyValid());
    }
  }
}

// Cooper's algorithm evaluates the expression (the best-policy method only
// weighs the utilities).
TEST(NetworkInfluenceTest, InfiniteMultiAttributeUtilityIsRefused) {
  Diagram g(10);
  const int m = Add(g.net, qelta::kDefMau, "M");
  ASSERT_EQ(0, g.net.AddArc(g.u1, m));
  ASSERT_EQ(0, g.net.AddArc(g.u2, m));
  std::string error;
  auto* mau = static_cast<VRN_mau*>(g.net.GetNode(m)->Definition());
  ASSERT_EQ(0, mau->SetExpressions({"U1/0+U2"}, &error)) << error;
  EXPECT_EQ(qelta::kErrOutOfRange, g.net.UpdateBeliefs());
  EXPECT_TRUE(LogHas(g.net, "Expected utility of node [D] is not finite"));
  EXPECT_FALSE(g.AnyValid());
  ASSERT_EQ(0, mau->SetExpressions({"U1/2+U2"}, &error)) << error;
  EXPECT_EQ(0, g.net.UpdateBeliefs());
  EXPECT_EQ((std::vector<double>{11.5, 3.5}), idtest::Value(g.net, g.d));
}

// A deleted node indexes no value: its slot may hold an unrelated node later.
TEST(NetworkInfluenceTest, DeletedNodeIndexesNoValue) {
  for (bool relevance : {true, false}) {
    SCOPED_TRACE(relevance);
    VRN_network net;
    const int x = Add(net, qelta::kDefCpt, "X"), z = Add(net, qelta::kDefCpt, "Z");
    const int d = Add(net, qelta::kDefDecision, "D"), y = Add(net, qelta::kDefCpt, "Y");
    const int u = Add(net, qelta::kDefUtility, "U");
    for (auto [p, c] : {std::pair{x, d}, {x, z}, {z, y}, {d, y}, {d, u}}) {
      ASSERT_EQ(0, net.AddArc(p, c));
    }
    net.SetRelevanceReasoning(relevance);
    ASSERT_EQ(0, net.UpdateBeliefs());
    ASSERT_EQ((std::vector<int>{x, d}), idtest::Indexing(net, y));
    ASSERT_EQ(0, net.DeleteNode(d));
    ASSERT_EQ(d, Add(net, qelta::kDefCpt, "N"));  // takes the freed slot
    for (int h : {x, z, u}) {
      const std::vector<int> indexing = idtest::Indexing(net, h);
      EXPECT_EQ(indexing.end(), std::find(indexing.begin(), indexing.end(), d)) << h;
    }
    // Y has the shape an update gives it before solving: its own outcomes.
    EXPECT_TRUE(idtest::Indexing(net, y).empty());
    EXPECT_EQ((std::vector<double>{0, 0}), idtest::Value(net, y));
    EXPECT_FALSE(net.GetNode(y)->Value()->IsValueValid());
  }
}

}  // namespace
