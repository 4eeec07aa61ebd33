// Hybrid networks: forward sampling against closed forms, the hand-over to
// the discrete algorithms, discretization against exact integration, and
// the network queries that sit on top of belief updating.
#include "equations/equation_sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "equations/equation.h"
#include "equations/equation_evaluation.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"

namespace {

int AddEquation(VRN_network& net, const char* id, const char* text) {
  const int h = net.AddNode(qelta::kDefEquation, id);
  EXPECT_GE(h, 0);
  if (text != nullptr) {
    EXPECT_EQ(qelta::kOk, VRN_GetEquation(&net, h)->SetEquation(text, nullptr, nullptr))
        << text;
  }
  return h;
}

VRN_equationEvaluation* Value(VRN_network& net, int h) {
  return dynamic_cast<VRN_equationEvaluation*>(net.GetNode(h)->Value());
}

VRN_discDef* Disc(VRN_network& net, int h) {
  return dynamic_cast<VRN_discDef*>(net.GetNode(h)->Definition());
}

double Belief(VRN_network& net, int h, int k) {
  return net.GetNode(h)->Value()->GetValue().GetItem(k);
}

// Within four standard errors of the mean of n draws.
void ExpectMean(double expected, double sigma, double actual, int n) {
  EXPECT_NEAR(expected, actual, 4 * sigma / std::sqrt(n));
}

TEST(EquationSampler, LinearGaussianChainHasClosedFormMoments) {
  VRN_network net;
  net.SetRandSeed(1);
  const int n = 100000;
  ASSERT_EQ(qelta::kOk, net.SetNumberOfSamples(n));
  const int a = AddEquation(net, "a", "a=Normal(1,2)");
  const int b = AddEquation(net, "b", "b = 3*a-2+Normal(0,1)");
  const int c = AddEquation(net, "c", "c=b-a");
  for (int h : {a, b, c}) ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, h)->SetBounds(-1e9, 1e9));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  const struct { int h; double mean, sd; } rows[] = {
      {a, 1, 2}, {b, 1, 6.0827625}, {c, 0, 4.1231056}};
  for (const auto& row : rows) {
    const VRN_equationEvaluation* v = Value(net, row.h);
    ExpectMean(row.mean, row.sd, v->GetSampleMean(), n);
    EXPECT_NEAR(row.sd, v->GetSampleStdDev(), 4 * row.sd / std::sqrt(2.0 * n));
  }
  // Samples of b and c in draw order are paired.
  const auto& xb = Value(net, b)->GetSamples();
  const auto& xc = Value(net, c)->GetSamples();
  ASSERT_EQ(xb.size(), xc.size());
  double mb = 0, mc = 0, sbb = 0, scc = 0, sbc = 0;
  for (size_t i = 0; i < xb.size(); ++i) mb += xb[i], mc += xc[i];
  mb /= xb.size();
  mc /= xc.size();
  for (size_t i = 0; i < xb.size(); ++i) {
    sbb += (xb[i] - mb) * (xb[i] - mb);
    scc += (xc[i] - mc) * (xc[i] - mc);
    sbc += (xb[i] - mb) * (xc[i] - mc);
  }
  EXPECT_NEAR(0.9968153, sbc / std::sqrt(sbb * scc), 1e-4);

  // A second update with the same seed repeats every draw, and so does a copy.
  const std::vector<double> first = xb;
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  EXPECT_EQ(first, Value(net, b)->GetSamples());
  VRN_network copy(net);
  ASSERT_EQ(qelta::kOk, copy.UpdateBeliefs());
  EXPECT_EQ(first, Value(copy, b)->GetSamples());

  // Observing a: b and c are sampled given it.
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Value()->SetContEvidence(2.0));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  for (int h : {b, c}) {
    ExpectMean(h == b ? 4 : 2, 1, Value(net, h)->GetSampleMean(), n);
    EXPECT_NEAR(1, Value(net, h)->GetSampleStdDev(), 4 / std::sqrt(2.0 * n));
  }
  double mean = 0, sd = -1;
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Value()->GetMean(&mean));
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Value()->GetStdDev(&sd));
  EXPECT_EQ(2.0, mean);
  EXPECT_EQ(0.0, sd);
  // Evidence that no sample could take is refused.
  EXPECT_EQ(qelta::kErrInvalidValue, net.GetNode(a)->Value()->SetContEvidence(NAN));
  EXPECT_EQ(qelta::kErrInvalidValue, net.GetNode(a)->Value()->SetContEvidence(INFINITY));
}

class MixedNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    net.SetRandSeed(1);
    ASSERT_EQ(qelta::kOk, net.SetNumberOfSamples(n));
    d = net.AddNode(qelta::kDefCpt, "D");
    ASSERT_EQ(qelta::kOk, Disc(net, d)->RenameOutcomesFromStrings({"lo", "hi"}));
    ASSERT_EQ(qelta::kOk, Disc(net, d)->SetDefinitionFromVector({0.3, 0.7}));
    ASSERT_EQ(qelta::kOk, Disc(net, d)->SetPointValues({0, 10}));
    x = AddEquation(net, "x", "x=D+Normal(0,1)");
    ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, x)->SetDiscIntervals(
                              -10, 20, {{"low", 5}, {"high", 20}}));
    e = net.AddNode(qelta::kDefCpt, "E");
    ASSERT_EQ(qelta::kOk, Disc(net, e)->RenameOutcomesFromStrings({"yes", "no"}));
    ASSERT_EQ(qelta::kOk, net.AddArc(x, e));
    ASSERT_EQ(qelta::kOk, Disc(net, e)->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}));
  }
  VRN_network net;
  const int n = 100000;
  int d = -1, x = -1, e = -1;
};

TEST_F(MixedNetwork, SamplesDiscreteAndContinuousNodesTogether) {
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ExpectMean(0.3, std::sqrt(0.21), Belief(net, d, 0), n);
  ExpectMean(7, 4.6904158, Value(net, x)->GetSampleMean(), n);
  EXPECT_NEAR(4.6904158, Value(net, x)->GetSampleStdDev(), 4 * 4.6904158 / std::sqrt(2.0 * n));
  const double p = 0.41000008;
  ExpectMean(p, std::sqrt(p * (1 - p)), Belief(net, e, 0), n);

  const int s = AddEquation(net, "s", "s=Switch(D, \"lo\", -1, \"hi\", 1)");
  // Any letter case names the functions; Choose reads D's outcome index.
  const int t = AddEquation(net, "t", "t=sWITCH(D, \"lo\", -1, 1) + cHOOSE(D, 5, 7)");
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ExpectMean(0.4, std::sqrt(1 - 0.16), Value(net, s)->GetSampleMean(), n);
  ExpectMean(0.4 + 6.4, 4 * std::sqrt(0.21), Value(net, t)->GetSampleMean(), n);

  ASSERT_EQ(qelta::kOk, net.GetNode(d)->Value()->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ExpectMean(0.2000002, 0.4, Belief(net, e, 0), n);
  EXPECT_EQ(1.0, Value(net, s)->GetSampleMean());
}

TEST_F(MixedNetwork, EvidenceBelowASampledNodeHandsOverToTheDiscreteAlgorithm) {
  VRN_equationSampler sampler(&net);
  ASSERT_EQ(qelta::kOk, net.GetNode(d)->Value()->SetVirtualEvidence({0.5, 1}));
  EXPECT_FALSE(sampler.Prepare());
  ASSERT_EQ(qelta::kOk, net.GetNode(d)->Value()->ClearVirtualEvidence());
  EXPECT_TRUE(sampler.Prepare());
  ASSERT_EQ(qelta::kOk, net.GetNode(e)->Value()->SetEvidence(0));
  EXPECT_FALSE(sampler.Prepare());
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  // Discrete beliefs over x's intervals; D's posterior follows.
  const VRN_equationEvaluation* v = Value(net, x);
  ASSERT_TRUE(v->IsDiscretized());
  EXPECT_NEAR(1.0, v->GetValue().GetItem(0) + v->GetValue().GetItem(1), 1e-12);
  EXPECT_GT(Belief(net, d, 0), 0.3);
}

// With evidence below x the discrete algorithm runs on x's intervals, so D
// above x depends on them: new intervals or a new range invalidate it.
TEST_F(MixedNetwork, NewIntervalsOrRangeInvalidateWhatDependsOnThem) {
  ASSERT_EQ(qelta::kOk, net.GetNode(e)->Value()->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ASSERT_TRUE(net.GetNode(d)->Value()->IsValueValid());
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, x)->SetDiscIntervals(
                            -10, 20, {{"low", 2}, {"high", 20}}));
  EXPECT_FALSE(net.GetNode(d)->Value()->IsValueValid());
  EXPECT_FALSE(net.GetNode(x)->Value()->IsValueValid());
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ASSERT_TRUE(net.GetNode(d)->Value()->IsValueValid());
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, x)->SetBounds(-10, 30));
  EXPECT_FALSE(net.GetNode(d)->Value()->IsValueValid());
  EXPECT_FALSE(net.GetNode(x)->Value()->IsValueValid());
}

TEST(EquationSampler, DiscretizationMatchesExactIntegration) {
  VRN_network net;
  net.SetRandSeed(1);
  const int x = AddEquation(net, "x", "x=Normal(0,1)");
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, x)->SetDiscIntervals(
                            -5, 5, {{"a", -1}, {"b", 0}, {"c", 1}, {"d", 5}}));
  const int y = AddEquation(net, "y", "y=x+Normal(0,1)");
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, y)->SetDiscIntervals(
                            -10, 10, {{"a", -1}, {"b", 1}, {"c", 10}}));
  const VRN_matrix* px = VRN_GetEquation(&net, x)->GetDiscreteDefinition();
  const VRN_matrix* py = VRN_GetEquation(&net, y)->GetDiscreteDefinition();
  ASSERT_NE(nullptr, px);
  ASSERT_NE(nullptr, py);
  const double ex[] = {0.1586551, 0.3413449, 0.3413449, 0.1586551};
  const double ey[] = {0.9002662, 0.0976111, 0.0021227, 0.3156268, 0.6095484,
                       0.0748248, 0.0748248, 0.6095484, 0.3156268, 0.0021227,
                       0.0976111, 0.9002662};
  ASSERT_EQ(4, px->GetItemCount());
  ASSERT_EQ(12, py->GetItemCount());
  auto tol = [](double p) { return 4 * std::sqrt(p * (1 - p) / 10000) + 1e-4; };
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(ex[i], px->GetItem(i), tol(ex[i])) << i;
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(ey[i], py->GetItem(i), tol(ey[i])) << i;
  // Asked again without a change: the very same table.
  EXPECT_EQ(py, VRN_GetEquation(&net, y)->GetDiscreteDefinition());

  // y observed at 1.5 (its last interval): x's posterior from the tables.
  ASSERT_EQ(qelta::kOk, net.GetNode(y)->Value()->SetContEvidence(1.5));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  double posterior[4], sum = 0;
  for (int i = 0; i < 4; ++i) {
    posterior[i] = px->GetItem(i) * py->GetItem(i * 3 + 2);
    sum += posterior[i];
  }
  const double expected[] = {0.0012182, 0.0923903, 0.3897222, 0.5166693};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(posterior[i] / sum, Belief(net, x, i), 1e-12);
    EXPECT_NEAR(expected[i], Belief(net, x, i), 0.03);
  }
  // Polytree propagation sees the number as its interval too.
  ASSERT_EQ(2, net.SetDefaultBNAlgorithm(2));
  net.ErrorLog()->Flush();
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  EXPECT_EQ(0, net.ErrorLog()->GetNumberOfMessages());
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(posterior[i] / sum, Belief(net, x, i), 1e-12);
  EXPECT_EQ(1.0, Belief(net, y, 2));
}

TEST(EquationSampler, FixedNetworksAndFailures) {
  VRN_network net;
  const int x = AddEquation(net, "x", "x=5");
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  double mean = 0, sd = -1;
  ASSERT_EQ(qelta::kOk, net.GetNode(x)->Value()->GetMean(&mean));
  ASSERT_EQ(qelta::kOk, net.GetNode(x)->Value()->GetStdDev(&sd));
  EXPECT_EQ(5.0, mean);
  EXPECT_EQ(0.0, sd);

  // Every value of y outside its bounds: rejected, and its child with it.
  net.SetOutlierRejection(true);
  const int u = AddEquation(net, "u", "u=Uniform(0,1)");
  const int y = AddEquation(net, "y", "y=u+7");
  const int z = AddEquation(net, "z", "z=y");
  (void)z;
  EXPECT_EQ(qelta::kErrNoUsefulSamples, net.UpdateBeliefs());
  const std::string log = net.ErrorLog()->GetMessage(net.ErrorLog()->GetNumberOfMessages() - 2);
  EXPECT_EQ("No valid samples were generated for node y", log);
  EXPECT_FALSE(net.GetNode(y)->Value()->IsValueValid());
  EXPECT_TRUE(net.GetNode(u)->Value()->IsValueValid());

  // Non-finite values are kept but stay out of the statistics.
  net.SetOutlierRejection(false);
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, y)->SetEquation("y=Ln(u-u)", nullptr, nullptr));
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&net, z)->SetEquation("z=u", nullptr, nullptr));
  EXPECT_EQ(qelta::kErrNoUsefulSamples, net.UpdateBeliefs());
  EXPECT_EQ(10000u, Value(net, y)->GetSamples().size());

  // Handed over to the discrete algorithms, an unsolvable equation fails
  // the update instead of leaving a node without a table.
  const int w = AddEquation(net, "w", "w*w=u");
  ASSERT_EQ(qelta::kOk, net.GetNode(w)->Value()->SetContEvidence(0.5));
  EXPECT_EQ(qelta::kErrUnsolvable, net.UpdateBeliefs());
}

// Samples past 1e154, or below 1e-154, square beyond the normal doubles;
// their deviation does not.
TEST(EquationSampler, HugeAndTinySamplesKeepTheirDeviation) {
  const struct {
    const char* text;
    double want;
  } cases[] = {{"e=Normal(0,1e300)", 1e300}, {"e=Normal(0,1e-200)", 1e-200}};
  for (const auto& [text, want] : cases) {
    VRN_network net;
    const int e = AddEquation(net, "e", text);
    ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
    double sd = 0;
    ASSERT_EQ(qelta::kOk, net.GetNode(e)->Value()->GetStdDev(&sd));
    EXPECT_NEAR(want, sd, 0.05 * want) << text;
  }
}

// A network of constants is not sampled; a constant that is not finite is
// refused as a sampled value is, and never marked valid.
TEST(EquationSampler, ConstantsThatAreNotFiniteAreRefused) {
  for (const char* text : {"y=Sqrt(-2)", "y=1/0", "y=Ln(0)", "y=x/0"}) {
    VRN_network net;
    const int x = AddEquation(net, "x", "x=2");
    const int y = AddEquation(net, "y", text);
    EXPECT_EQ(qelta::kErrNoUsefulSamples, net.UpdateBeliefs()) << text;
    const VRN_errorLog* log = net.ErrorLog();
    ASSERT_GT(log->GetNumberOfMessages(), 0);
    EXPECT_EQ(std::string("No valid samples were generated for node y"),
              log->GetMessage(log->GetNumberOfMessages() - 1));
    EXPECT_FALSE(net.GetNode(y)->Value()->IsValueValid()) << text;
    EXPECT_TRUE(net.GetNode(x)->Value()->IsValueValid()) << text;
  }
}

}  // namespace

namespace {

int CountMessages(const VRN_network& net, const std::string& text) {
  int count = 0;
  const VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    count += text == log->GetMessage(i);
  }
  return count;
}

// An equation that cannot be solved for its node is reported once per
// update, whether the network is sampled or goes the discrete route.
TEST(EquationSampler, AnUnsolvableEquationIsReportedOnce) {
  VRN_network net;
  const int y = AddEquation(net, "Y", "Y=Y+1");
  const std::string message = "Can't solve the equation for Y : Y=Y+1";
  EXPECT_EQ(qelta::kErrUnsolvable, net.UpdateBeliefs());
  EXPECT_EQ(1, CountMessages(net, message));
  // A second update reports it again, once.
  net.ErrorLog()->Flush();
  EXPECT_EQ(qelta::kErrUnsolvable, net.UpdateBeliefs());
  EXPECT_EQ(1, CountMessages(net, message));

  // The discrete route: evidence below a random node.
  const int x = AddEquation(net, "X", "X=Normal(0,1)");
  const int z = AddEquation(net, "Z", "Z=X+Y");
  ASSERT_EQ(qelta::kOk, net.GetNode(z)->Value()->SetContEvidence(0.5));
  net.ErrorLog()->Flush();
  EXPECT_EQ(qelta::kErrUnsolvable, net.UpdateBeliefs());
  EXPECT_EQ(1, CountMessages(net, message));
  EXPECT_FALSE(net.GetNode(x)->Value()->IsValueValid());
  EXPECT_FALSE(net.GetNode(y)->Value()->IsValueValid());
}

// X ~ Normal(10, 2) on [0, 20], Z = 2X + 1, and D given Z below or above 21
// (X below or above 10): by hand P(D = d0) = 0.5 * 0.8 + 0.5 * 0.3 = 0.55.
class HybridChain : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<qelta version=\"1.0\" id=\"H\" numsamples=\"20000\" discsamples=\"2000\"><nodes>"
        "<equation id=\"X\"><definition lower=\"0\" upper=\"20\">X=Normal(10,2)</definition>"
        "<discretization><interval label=\"lo\" upper=\"10\"/><interval label=\"hi\" upper=\"20\"/>"
        "</discretization></equation>"
        "<equation id=\"Z\"><parents>X</parents><definition lower=\"0\" upper=\"50\">Z=2*X+1"
        "</definition><discretization><interval label=\"lo\" upper=\"21\"/>"
        "<interval label=\"hi\" upper=\"50\"/></discretization></equation>"
        "<cpt id=\"D\"><state id=\"d0\"/><state id=\"d1\"/><parents>Z</parents>"
        "<probabilities>0.8 0.2 0.3 0.7</probabilities></cpt></nodes></qelta>";
    ASSERT_EQ(qelta::kOk, net.ReadString(text, qelta::kExtensionNone));
    net.SetRandSeed(17);
    ASSERT_TRUE(net.FindNode("X") == x && net.FindNode("Z") == z && net.FindNode("D") == d);
  }
  // The last logged entry: its code, and whether its message names the node.
  void ExpectRefusal(const char* id) const {
    const VRN_errorLog* log = net.ErrorLog();
    const int last = log->GetNumberOfMessages() - 1;
    EXPECT_EQ(qelta::kErrWrongNodeType, log->GetCode(last));
    EXPECT_NE(nullptr, std::strstr(log->GetMessage(last), id)) << log->GetMessage(last);
  }
  VRN_network net;
  const int x = 0, z = 1, d = 2;
};

// A number observed on an equation node has no probability either method
// could weigh: the call fails and leaves evidence and targets as they were.
TEST_F(HybridChain, ProbabilityOfNumericEvidenceIsRefused) {
  const struct { int node; double number; bool d0; } rows[] = {
      {-1, 0, true}, {x, 12, true}, {z, 25, true}, {z, 25, false}};
  for (const auto& row : rows) {
    for (bool chain : {false, true}) {
      SCOPED_TRACE(std::to_string(row.node) + (row.d0 ? " d0" : "") + (chain ? " chain" : ""));
      (void)net.ClearAllEvidence();
      (void)net.ClearAllTargets();
      if (row.node >= 0) {
        ASSERT_EQ(qelta::kOk, net.GetNode(row.node)->Value()->SetContEvidence(row.number));
      }
      if (row.d0) {
        ASSERT_EQ(qelta::kOk, net.GetNode(d)->Value()->SetEvidence(0));
      }
      ASSERT_EQ(qelta::kOk, net.SetTarget(d, true));
      double p = 0.0;
      EXPECT_EQ(row.node < 0, net.CalcPropEvidence(p, chain));
      if (row.node < 0) {
        EXPECT_NEAR(0.55, p, 0.02);
        continue;
      }
      EXPECT_EQ(-1.0, p);
      ExpectRefusal(row.node == x ? "[X]" : "[Z]");
      EXPECT_TRUE(net.IsTarget(d) == 1 && net.GetNumberOfTargets() == 1);
      double number = 0.0;
      ASSERT_EQ(qelta::kOk, net.GetNode(row.node)->Value()->GetContEvidence(&number));
      EXPECT_EQ(row.number, number);
      EXPECT_EQ(row.d0 ? 0 : qelta::kErrOutOfRange, net.GetNode(d)->Value()->GetEvidence());
    }
  }
  // The refused evidence still updates: Z = 25 gives P(d0) = 0.3.
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  EXPECT_NEAR(0.3, Belief(net, d, 0), 0.02);
}

// Nodes without outcomes have no beliefs to bound: refused before the
// network's generator moves, so a later call draws what it would have.
TEST_F(HybridChain, ConfidenceIntervalsRefuseNodesWithoutOutcomes) {
  VRN_network fresh(net);
  const std::vector<std::vector<int>> counts = {{}, {}, {1000, 1000}};
  std::vector<std::vector<std::pair<double, double>>> intervals, again;
  EXPECT_EQ(qelta::kErrWrongNodeType, net.CalcConfidenceIntervals({x}, counts, 0.9, 200, intervals));
  ExpectRefusal("[X]");
  EXPECT_EQ(qelta::kErrWrongNodeType, net.CalcConfidenceIntervals({d, z}, counts, 0.9, 200, intervals));
  ExpectRefusal("[Z]");
  EXPECT_TRUE(intervals.empty());
  EXPECT_EQ(0, net.GetNumberOfTargets());
  ASSERT_EQ(qelta::kOk, net.CalcConfidenceIntervals({d}, counts, 0.9, 200, intervals));
  ASSERT_EQ(qelta::kOk, fresh.CalcConfidenceIntervals({d}, counts, 0.9, 200, again));
  EXPECT_EQ(again, intervals);
  // P(d0) = (a + b) / 2 with a ~ Beta(800, 200) and b ~ Beta(300, 700):
  // standard deviation 0.0096, so a 90% interval of about 0.55 -+ 0.016.
  ASSERT_EQ(1u, intervals.size());
  EXPECT_NEAR(0.534, intervals[0][0].first, 0.008);
  EXPECT_NEAR(0.566, intervals[0][0].second, 0.008);
}

}  // namespace
