// Instance counts from data and confidence intervals drawn with them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "learning/instance_counts.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// A -> C <- B, binary; A favours 0, B favours 1.
struct Vee {
  VRN_network net;
  int a, b, c;
  Vee() {
    a = net.AddNode(qelta::kDefCpt, "A");
    b = net.AddNode(qelta::kDefCpt, "B");
    c = net.AddNode(qelta::kDefCpt, "C");
    EXPECT_EQ(qelta::kOk, net.AddArc(a, c));
    EXPECT_EQ(qelta::kOk, net.AddArc(b, c));
    EXPECT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.8, 0.2}));
    EXPECT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector({0.3, 0.7}));
  }
};

VRN_dataset Columns(const std::vector<std::vector<int>>& rows, int columns) {
  VRN_dataset data;
  for (int v = 0; v < columns; ++v) EXPECT_EQ(qelta::kOk, data.addIntVariable("v" + std::to_string(v), -1));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    data.AddEmptyRecord();
    for (int v = 0; v < columns; ++v) {
      if (rows[r][v] >= 0) data.SetInt(v, static_cast<int>(r), rows[r][v]);
    }
  }
  return data;
}

TEST(InstanceCountsTest, CountsAndPredictedParents) {
  Vee g;
  VRN_instanceCounts counts;
  const VRN_dataset data = Columns({{0, 0, 0}, {1, 1, 1}, {0, 1, 0}, {-1, -1, 1}}, 3);
  ASSERT_EQ(qelta::kOk, counts.Calculate(g.net, data, {{g.a, 0, 0}, {g.b, 0, 1}, {g.c, 0, 2}}));
  EXPECT_EQ((std::vector<int>{4}), counts.counts[g.a]);
  // The last record's parents are predicted: A = 0, B = 1.
  EXPECT_EQ((std::vector<int>{1, 2, 0, 1}), counts.counts[g.c]);
  // B without a column is predicted in every record.
  ASSERT_EQ(qelta::kOk, counts.Calculate(g.net, data, {{g.a, 0, 0}, {g.c, 0, 2}}));
  EXPECT_EQ((std::vector<int>{0, 3, 0, 1}), counts.counts[g.c]);
  // A value outside the node's outcomes empties the counts.
  const VRN_dataset bad = Columns({{0, 2, 0}}, 3);
  EXPECT_EQ(qelta::kErrInvalidValue, counts.Calculate(g.net, bad, {{g.a, 0, 0}, {g.b, 0, 1}, {g.c, 0, 2}}));
  EXPECT_TRUE(counts.counts.empty());
  ASSERT_EQ(qelta::kOk, counts.SetUniform(g.net, 5));
  EXPECT_EQ((std::vector<int>{5, 5, 5, 5}), counts.counts[g.c]);
  const int m = g.net.AddNode(qelta::kDefNoisyMax, "M");
  ASSERT_GE(m, 0);
  EXPECT_EQ(qelta::kErrWrongNodeType, counts.SetUniform(g.net, 5));
  EXPECT_TRUE(counts.counts.empty());
  // Either refusal logs its reason once, naming the node.
  ASSERT_EQ(qelta::kOk, g.net.DeleteNode(m));
  ASSERT_GE(g.net.AddNode(qelta::kDefEquation, "Temp"), 0);
  for (int call = 0; call < 2; ++call) {
    g.net.ErrorLog()->Flush();
    EXPECT_EQ(qelta::kErrWrongNodeType, call == 0 ? counts.SetUniform(g.net, 5)
                                                  : counts.Calculate(g.net, data, {{g.a, 0, 0}}));
    ASSERT_EQ(1, g.net.ErrorLog()->GetNumberOfMessages());
    EXPECT_NE(nullptr, std::strstr(g.net.ErrorLog()->GetMessage(0), "node Temp has definition type EQUATION"));
  }
}

TEST(ConfidenceIntervalsTest, BetaQuantilesAndRepeatability) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.3, 0.7}));
  std::vector<std::vector<std::pair<double, double>>> first, second;
  net.GetRandomGenerator()->Seed(17);
  ASSERT_EQ(qelta::kOk, net.CalcConfidenceIntervals({a}, {{100}}, 0.9, 10000, first));
  EXPECT_NEAR(0.2273, first[0][0].first, 0.005);
  EXPECT_NEAR(0.3773, first[0][0].second, 0.005);
  net.GetRandomGenerator()->Seed(17);
  ASSERT_EQ(qelta::kOk, net.CalcConfidenceIntervals({a}, {{100}}, 0.9, 10000, second));
  EXPECT_EQ(first, second);
  EXPECT_EQ(0.3, net.GetNode(a)->Definition()->GetMatrixConst()->GetItem(0));
  // 100 iterations at 0.9 leave 5 samples out on each side.
  std::vector<std::vector<std::pair<double, double>>> few;
  ASSERT_EQ(qelta::kOk, net.CalcConfidenceIntervals({a}, {{100}}, 0.9, 100, few));
  net.GetRandomGenerator()->Seed(17);
  ASSERT_EQ(qelta::kOk, net.CalcConfidenceIntervals({a}, {{100}}, 0.0, 100, few));
  EXPECT_LE(few[0][0].first, few[0][0].second);  // level 0: never crossed
  struct Case {
    std::vector<int> nodes;
    std::vector<std::vector<int>> counts;
    int iterations;
    int code;
    const char* reason;  // logged, alone
  } cases[] = {{{a, a}, {{1}}, 10, qelta::kErrInvalidValue, "Node [A] is named twice"},
               {{7}, {{1}}, 10, qelta::kErrOutOfRange, "node handle 7, which names no node"},
               {{a}, {{1, 2}}, 10, qelta::kErrOutOfRange, "no count for each column of node [A]"},
               {{a}, {{1}}, 0, qelta::kErrOutOfRange, "The sample count 0 is below 1"}};
  for (const Case& c : cases) {
    net.ErrorLog()->Flush();
    EXPECT_EQ(c.code, net.CalcConfidenceIntervals(c.nodes, c.counts, 0.9, c.iterations, few));
    ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages()) << c.reason;
    EXPECT_NE(nullptr, std::strstr(net.ErrorLog()->GetMessage(0), c.reason)) << net.ErrorLog()->GetMessage(0);
  }
}

// A diagram's values are indexed by the choices: none is a belief to bound.
// Refused before the generator moves or anything is copied.
TEST(ConfidenceIntervalsTest, InfluenceDiagramsAreRefused) {
  VRN_network net;  // C -> Dec -> Xc; V over Dec and C; U2 over Xc; M over V and U2
  for (auto [type, id] : {std::pair{qelta::kDefCpt, "C"}, {qelta::kDefDecision, "Dec"}, {qelta::kDefCpt, "Xc"},
                          {qelta::kDefUtility, "V"}, {qelta::kDefUtility, "U2"}, {qelta::kDefMau, "M"}}) {
    ASSERT_GE(net.AddNode(type, id), 0);
  }
  for (auto [p, ch] : {std::pair{0, 1}, {1, 2}, {1, 3}, {0, 3}, {2, 4}, {3, 5}, {4, 5}}) {
    ASSERT_EQ(qelta::kOk, net.AddArc(p, ch));
  }
  const std::vector<std::vector<int>> columns = {{1000}, {}, {1000, 1000}, {}, {}, {}};
  std::string before, after;
  ASSERT_EQ(qelta::kOk, net.WriteString(before, -1));
  net.ErrorLog()->Flush();
  for (int listed : {2, 1}) {
    std::vector<std::vector<std::pair<double, double>>> intervals;
    net.GetRandomGenerator()->Seed(17);
    EXPECT_EQ(qelta::kErrOutOfRange, net.CalcConfidenceIntervals({listed}, columns, 0.9, 200, intervals));
    EXPECT_TRUE(intervals.empty());
    ASSERT_EQ(listed == 2 ? 1 : 2, net.ErrorLog()->GetNumberOfMessages());  // once per call
    EXPECT_STREQ("Confidence intervals are not available for influence diagrams: node [Dec] "
                 "is a decision or utility node",
                 net.ErrorLog()->GetMessage(net.ErrorLog()->GetNumberOfMessages() - 1));
    EXPECT_EQ(VRN_randomGenerator(17).NextDouble(), net.GetRandomGenerator()->NextDouble());
    ASSERT_EQ(qelta::kOk, net.WriteString(after, -1));
    EXPECT_EQ(before, after);
  }
}

}  // namespace
