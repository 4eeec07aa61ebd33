// Naive Bayes, tree-augmented naive Bayes and parameters counted from data.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "definitions/node_def.h"
#include "learning/count_parameters.h"
#include "learning/naive_bayes.h"
#include "learning/progress.h"
#include "learning/tan.h"
#include "network/network.h"
#include "network/node.h"
#include "structure_data.h"
#include "structure_graphs.h"

namespace {

std::vector<double> Table(VRN_network& net, int h) {
  const VRN_doubleArray& items = net.GetNode(h)->Definition()->GetMatrix()->GetItems();
  return std::vector<double>(items.Items(), items.Items() + items.GetSize());
}

TEST(NaiveBayesTest, RelativeFrequencies) {
  // Class A (3 values, value 2 never seen), feature B.
  VRN_dataset data = structdata::Columns({{0, 0, 0, 1, 1, 0}, {0, 1, 1, 1, 0, 0}}, {3, 2});
  VRN_naiveBayes nb;
  nb.classVariableId = "A";
  VRN_network net;
  ASSERT_EQ(0, nb.Learn(data, net, nullptr, nullptr));
  EXPECT_EQ((structgraph::Arcs{{"A", "B"}}), structgraph::ArcsOf(net));
  const std::vector<double> b = Table(net, 1);
  EXPECT_DOUBLE_EQ(0.5, b[0]);
  EXPECT_DOUBLE_EQ(0.5, b[1]);
  EXPECT_DOUBLE_EQ(0.5, b[2]);
  EXPECT_DOUBLE_EQ(0.5, b[5]);  // the unseen class value: uniform
  EXPECT_DOUBLE_EQ((4 + 1.0 / 3) / 7, Table(net, 0)[0]);  // a zero cell: 1/3 added to each
}

TEST(NaiveBayesTest, Refusals) {
  VRN_dataset mixed = structdata::Columns({{0, 1, 0}}, {2});
  ASSERT_EQ(0, mixed.addFloatVariable("F", -1.0f));
  for (int r = 0; r < 3; ++r) mixed.SetFloat(1, r, 0.5f * r);
  struct Case {
    VRN_dataset data;
    std::string classId;
    int code;
    std::string message;
  } cases[] = {
      {structdata::Pairs({1, 1, 0, 0}), "A", -1, "NaiveBayes: too few data points (at least 3 needed)"},
      {structdata::Columns({{0, 1, 1}}, {2}), "A", -1, "NaiveBayes: too few variables (at least 2 needed)"},
      {structdata::Columns({{0, 1, 1}, {1, 1, 1}}, {2, 2}), "A", -1,
       "Naive Bayes: constant variables are not allowed; variable: B"},
      {mixed, "A", -1, "Naive Bayes: mixture of discrete and continuous variables is not allowed; variable: F"},
      {structdata::Pairs({1, 1, 1, 1}), "Z", -2, "NaiveBayes: class variable not found: Z"},
  };
  for (const Case& c : cases) {
    VRN_naiveBayes nb;
    nb.classVariableId = c.classId;
    VRN_network net;
    EXPECT_EQ(c.code, nb.Learn(c.data, net, nullptr, nullptr)) << c.message;
    EXPECT_STREQ(c.message.c_str(), net.ErrorLog()->GetMessage(0));
  }
}

TEST(TanTest, TreeOverTheFeatures) {
  // C class; X copies Y; Z is noise.
  std::vector<int> c, x, y, z;
  for (int r = 0; r < 40; ++r) {
    c.push_back(r % 2);
    y.push_back((r / 2) % 3);
    x.push_back((r / 2) % 3);
    z.push_back((r / 7) % 2);
  }
  VRN_dataset data = structdata::Columns({c, x, y, z}, {2, 3, 3, 2}, {"C", "X", "Y", "Z"});
  VRN_tan tan;
  tan.classVariableId = "C";
  tan.randSeed = 5;
  VRN_network net;
  double ll = 0.0;
  ASSERT_EQ(0, tan.Learn(data, net, nullptr, &ll));
  const structgraph::Arcs arcs = structgraph::ArcsOf(net);
  EXPECT_EQ(5u, arcs.size());
  EXPECT_TRUE(arcs.count({"X", "Y"}) + arcs.count({"Y", "X"}) == 1);
  for (const char* v : {"X", "Y", "Z"}) EXPECT_EQ(1u, arcs.count({"C", v}));

  // Two variables: the single arc from the class; three: the direction
  // between the two features follows the seed.
  VRN_dataset two = structdata::Pairs({3, 1, 1, 3});
  tan.classVariableId = "B";
  ASSERT_EQ(0, tan.Learn(two, net, nullptr, nullptr));
  EXPECT_EQ((structgraph::Arcs{{"B", "A"}}), structgraph::ArcsOf(net));
  std::set<structgraph::Arcs> seen;
  for (int seed = 1; seed <= 12; ++seed) {
    VRN_dataset three = structdata::Columns({c, x, z}, {2, 3, 2}, {"C", "X", "Z"});
    tan.classVariableId = "C";
    tan.randSeed = seed;
    ASSERT_EQ(0, tan.Learn(three, net, nullptr, nullptr));
    seen.insert(structgraph::ArcsOf(net));
  }
  EXPECT_EQ(2u, seen.size());
}

// Random features of four values and a binary class: the weights of every
// feature pair take far longer than a second on this many columns.
VRN_dataset ManyColumns(int columns, int records, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> arities(static_cast<std::size_t>(columns), 4);
  arities[0] = 2;
  std::vector<std::vector<int>> cols(arities.size());
  std::vector<std::string> ids;
  for (int v = 0; v < columns; ++v) {
    ids.push_back("V" + std::to_string(v));
    for (int r = 0; r < records; ++r) cols[v].push_back(static_cast<int>(rng() % arities[v]));
  }
  return structdata::Columns(cols, arities, ids);
}

TEST(TanTest, TimeLimitStopsInsideTheWeightsAndSaysSo) {
  VRN_dataset data = ManyColumns(1500, 300, 3);
  VRN_tan tan;
  tan.classVariableId = "V0";
  tan.maxSearchTime = 1;
  VRN_network net;
  EXPECT_EQ(qelta::kErrCancelled, tan.Learn(data, net, nullptr, nullptr));
  ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages());
  EXPECT_STREQ("TAN: time limit of 1 s reached", net.ErrorLog()->GetMessage(0));

  // A run that ends in time learns what a run without a limit learns.
  VRN_dataset small = ManyColumns(12, 200, 4);
  VRN_dataset again = small;
  tan.maxSearchTime = 0;
  tan.randSeed = 9;
  VRN_network free_run;
  ASSERT_EQ(0, tan.Learn(small, free_run, nullptr, nullptr));
  tan.maxSearchTime = 600;
  VRN_network limited;
  ASSERT_EQ(0, tan.Learn(again, limited, nullptr, nullptr));
  EXPECT_EQ(structgraph::ArcsOf(free_run), structgraph::ArcsOf(limited));
}

TEST(TanTest, RefusalsAndRecodedData) {
  VRN_dataset data;
  ASSERT_EQ(0, data.addIntVariable("K", -1));
  ASSERT_EQ(0, data.addIntVariable("V", -1));
  const int values[4][2] = {{0, 3}, {1, 7}, {0, 7}, {1, 3}};
  for (int r = 0; r < 4; ++r) {
    data.AddEmptyRecord();
    data.SetInt(0, r, values[r][0]);
    data.SetInt(1, r, values[r][1]);
  }
  VRN_tan tan;
  VRN_network net;
  tan.classVariableId = "Q";
  EXPECT_EQ(-30, tan.Learn(data, net, nullptr, nullptr));
  EXPECT_STREQ("TAN: class variable not found - Q", net.ErrorLog()->GetMessage(0));
  tan.classVariableId = "K";
  ASSERT_EQ(0, tan.Learn(data, net, nullptr, nullptr));
  EXPECT_EQ(0, data.GetInt(1, 0));
  EXPECT_EQ(1, data.GetInt(1, 1));
  EXPECT_EQ((std::vector<std::string>{"S3", "S7"}), data.GetVariable(1).stateNames);
  struct Refuse : VRN_progress {
    bool Tick(double, const char*) override { return false; }
  } refuse;
  EXPECT_EQ(-99, tan.Learn(data, net, &refuse, nullptr));
  data.SetMissing(1, 2);
  EXPECT_EQ(-1, tan.Learn(data, net, nullptr, nullptr));
  EXPECT_STREQ("TAN: missing values not allowed; variable: V", net.ErrorLog()->GetMessage(0));
}

// Parameters counted from data.
// A -> B over columns A, B, matched by BuildNetwork and MatchNetwork.
struct Learned {
  VRN_network net;
  VRN_dataset data;
  std::vector<VRN_dataMatch> matches;
  explicit Learned(VRN_dataset d) : data(std::move(d)) {
    data.BuildNetwork(net);
    std::string error;
    EXPECT_EQ(0, data.MatchNetwork(net, matches, error)) << error;
    EXPECT_EQ(0, net.AddArc(0, 1));
  }
};

TEST(CountParametersTest, EstimatesAndPriors) {
  // (3, 0) with pseudo-count 0 gets 1/2 added to each cell: 0.875, 0.125.
  Learned zero(structdata::Pairs({3, 0, 0, 0}));
  zero.data.SetInt(1, 0, 0);
  ASSERT_EQ(0, VRN_CountParameters(zero.net, zero.data, zero.matches, nullptr, 0.0));
  EXPECT_EQ((std::vector<double>{0.875, 0.125, 0.5, 0.5}), Table(zero.net, 1));  // unseen A=1 uniform
  EXPECT_EQ((std::vector<double>{0.875, 0.125}), Table(zero.net, 0));

  // Pseudo-count 10 over (0.5, 0.5) and counts (3, 1): 8/14, 6/14.
  Learned prior(structdata::Pairs({3, 1, 0, 0}));
  for (int h : {0, 1}) {
    VRN_doubleArray& items = prior.net.GetNode(h)->Definition()->GetMatrix()->GetItems();
    for (int k = 0; k < items.GetSize(); ++k) items[k] = 0.5;
  }
  ASSERT_EQ(0, VRN_CountParameters(prior.net, prior.data, prior.matches, nullptr, 10.0));
  EXPECT_NEAR(8.0 / 14, Table(prior.net, 1)[0], 1e-15);
  EXPECT_NEAR(6.0 / 14, Table(prior.net, 1)[1], 1e-15);
}

TEST(CountParametersTest, LogLikelihood) {
  Learned pairs(structdata::Pairs({45, 5, 5, 45}));
  double ll = 0.0;
  ASSERT_EQ(0, VRN_CountParameters(pairs.net, pairs.data, pairs.matches, &ll, 0.0));
  EXPECT_NEAR(-101.8230153951, ll, 1e-9);
  // Every record certain under the learned tables: 0.
  Learned sure(structdata::Columns({{0, 0, 0}, {1, 1, 1}}, {2, 2}));
  const double certain[2][4] = {{1, 0}, {0, 1, 0.5, 0.5}};
  for (int h : {0, 1}) {
    VRN_doubleArray& items = sure.net.GetNode(h)->Definition()->GetMatrix()->GetItems();
    for (int k = 0; k < items.GetSize(); ++k) items[k] = certain[h][k];
  }
  ASSERT_EQ(0, VRN_CountParameters(sure.net, sure.data, sure.matches, &ll, 1.0));
  EXPECT_EQ(0.0, ll);
}

TEST(CountParametersTest, RefusalsLeaveTablesAlone) {
  Learned l(structdata::Pairs({3, 1, 2, 4}));
  const std::vector<double> before = Table(l.net, 1);
  struct Case {
    std::vector<VRN_dataMatch> matches;
    int code;
    std::string message;
  } cases[] = {
      {{l.matches[0]}, -2, "Counting: the matches do not cover the network's nodes"},
      {{l.matches[0], {1, 0, 7}}, -4, "Counting: column 7 does not exist"},
      {{l.matches[0], {0, 0, 1}}, -2, "Counting: a match names a bad or repeated node"},
  };
  for (const Case& c : cases) {
    l.net.ErrorLog()->Flush();
    EXPECT_EQ(c.code, VRN_CountParameters(l.net, l.data, c.matches, nullptr, 0.0));
    EXPECT_STREQ(c.message.c_str(), l.net.ErrorLog()->GetMessage(0));
    EXPECT_EQ(before, Table(l.net, 1));
  }
  l.data.SetInt(1, 2, 5);  // outside B's two outcomes
  EXPECT_EQ(-4, VRN_CountParameters(l.net, l.data, l.matches, nullptr, 0.0));
  l.data.SetInt(1, 2, -1);  // missing
  EXPECT_EQ(-4, VRN_CountParameters(l.net, l.data, l.matches, nullptr, 0.0));
  EXPECT_STREQ("Counting: column 'B' has a missing value", l.net.ErrorLog()->GetMessage(2));
  EXPECT_EQ(before, Table(l.net, 1));
  ASSERT_EQ(0, l.net.GetNode(1)->setNodeType(20));  // truth table: not a CPT
  EXPECT_EQ(-51, VRN_CountParameters(l.net, l.data, l.matches, nullptr, 0.0));
}

}  // namespace
