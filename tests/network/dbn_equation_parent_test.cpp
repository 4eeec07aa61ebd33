// Temporal definitions of a plate node whose parent is an equation node:
// the parent counts by its intervals, as it does for the node's own table,
// when the arcs are made, when the intervals change and when the parent
// becomes an equation, and such a network reads back from its save. And the
// temporal update of a network holding equation nodes: their results are
// those of the unrolled network's own update, and a terminal equation keeps
// its own terms under the last slice.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "equations/equation.h"
#include "equations/equation_evaluation.h"
#include "io/format.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/network_helpers.h"

namespace {

using qelta_test::Def;
using qelta_test::Items;

std::vector<VRN_discInterval> Intervals(const std::vector<double>& bounds) {
  std::vector<VRN_discInterval> out;
  for (std::size_t i = 0; i < bounds.size(); ++i) {
    out.push_back({"i" + std::to_string(i), bounds[i]});
  }
  return out;
}

std::vector<double> Temporal(VRN_network& net, int h) {
  const VRN_matrix* m = Def(net, h)->GetTemporalMatrix(1);
  return m != nullptr ? Items(*m) : std::vector<double>();
}

std::vector<int> TemporalSizes(VRN_network& net, int h) {
  const VRN_matrix* m = Def(net, h)->GetTemporalMatrix(1);
  if (m == nullptr) return {};
  return std::vector<int>(m->GetDimensions().begin(), m->GetDimensions().end());
}

std::string LogText(const VRN_network& net) {
  std::string text;
  for (int i = 0; i < net.ErrorLog()->GetNumberOfMessages(); ++i) {
    text += std::string(net.ErrorLog()->GetMessage(i)) + "\n";
  }
  return text;
}

// The network read back from its save answers 0 and holds the same
// temporal table for node id.
void ExpectReadsBack(VRN_network& net, const char* id) {
  std::string text;
  ASSERT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk)
      << LogText(net);
  VRN_network back;
  ASSERT_EQ(back.ReadString(text.c_str(), qelta::kExtensionLayout), qelta::kOk)
      << LogText(back);
  EXPECT_EQ(TemporalSizes(back, back.FindNode(id)),
            TemporalSizes(net, net.FindNode(id)));
  EXPECT_EQ(Temporal(back, back.FindNode(id)), Temporal(net, net.FindNode(id)));
}

// Distinct numbers, so that a column that moves shows where it went.
std::vector<double> Numbered(std::size_t count) {
  std::vector<double> items;
  for (std::size_t i = 0; i < count; ++i) items.push_back(0.01 * (i + 1));
  return items;
}

struct Dynamic {
  VRN_network net;
  int m = -1, x = -1;

  // M is an equation with three intervals, X a plate node with parent M
  // and the temporal arc X -> X of order 1, over three slices.
  explicit Dynamic(bool temporal_arc_first) {
    m = net.AddNode(qelta::kDefEquation, "M");
    x = net.AddNode(qelta::kDefCpt, "X");
    VRN_equation* equation = VRN_GetEquation(&net, m);
    EXPECT_EQ(equation->SetEquation("M=Normal(0,1)", nullptr, nullptr),
              qelta::kOk);
    EXPECT_EQ(equation->SetDiscIntervals(-5, 5, Intervals({-1, 1, 5})),
              qelta::kOk);
    EXPECT_EQ(net.setNodeTemporalType(x, 3), qelta::kOk);
    EXPECT_EQ(net.SetNumberOfSlices(3), qelta::kOk);
    if (temporal_arc_first) {
      EXPECT_EQ(net.AddTemporalArc(x, x, 1), qelta::kOk);
      EXPECT_EQ(net.AddArc(m, x), qelta::kOk);
    } else {
      EXPECT_EQ(net.AddArc(m, x), qelta::kOk);
      EXPECT_EQ(net.AddTemporalArc(x, x, 1), qelta::kOk);
    }
  }
};

TEST(DbnEquationParentTest, ParentCountsByItsIntervalsWhicheverArcComesFirst) {
  for (bool first : {false, true}) {
    SCOPED_TRACE(first ? "temporal arc first" : "ordinary arc first");
    Dynamic d(first);
    EXPECT_EQ(TemporalSizes(d.net, d.x), (std::vector<int>{3, 2, 2}));
    VRN_doubleArray items;
    for (double v : {0.1, 0.9, 0.2, 0.8, 0.3, 0.7, 0.4, 0.6, 0.5, 0.5, 0.6,
                     0.4}) {
      items.Add(v);
    }
    ASSERT_EQ(Def(d.net, d.x)->SetTemporalDefinition(1, items), qelta::kOk);
    ExpectReadsBack(d.net, "X");
  }
}

TEST(DbnEquationParentTest, TemporalTableFollowsIntervalEditsAsTheOwnTableDoes) {
  Dynamic d(false);
  // Slice [., 0, .] of the temporal table mirrors X's own table, slice
  // [., 1, .] holds other numbers: an interval edit must move both alike.
  const std::vector<double> own = Numbered(6);
  ASSERT_EQ(Def(d.net, d.x)->SetDefinitionFromVector(own), qelta::kOk);
  VRN_doubleArray items;
  for (int m = 0; m < 3; ++m) {
    for (int k = 0; k < 2; ++k) items.Add(own[m * 2 + k]);
    for (int k = 0; k < 2; ++k) items.Add(0.5 + own[m * 2 + k]);
  }
  ASSERT_EQ(Def(d.net, d.x)->SetTemporalDefinition(1, items), qelta::kOk);
  VRN_equation* equation = VRN_GetEquation(&d.net, d.m);
  for (const std::vector<double>& bounds :
       {std::vector<double>{-2, -1, 1, 5}, std::vector<double>{-2, 5},
        std::vector<double>{-3, 0, 2, 3, 5}}) {
    SCOPED_TRACE(bounds.size());
    ASSERT_EQ(equation->SetDiscIntervals(-5, 5, Intervals(bounds)), qelta::kOk);
    const int n = static_cast<int>(bounds.size());
    ASSERT_EQ(TemporalSizes(d.net, d.x), (std::vector<int>{n, 2, 2}));
    const std::vector<double> table = qelta_test::Table(d.net, d.x);
    const std::vector<double> temporal = Temporal(d.net, d.x);
    ASSERT_EQ(table.size(), static_cast<std::size_t>(n * 2));
    for (int m = 0; m < n; ++m) {
      for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(temporal[m * 4 + k], table[m * 2 + k]) << m << " " << k;
      }
    }
    ExpectReadsBack(d.net, "X");
  }
}

TEST(DbnEquationParentTest, ParentTurnedIntoAnEquationKeepsItsCount) {
  VRN_network net;
  const int p = net.AddNode(qelta::kDefCpt, "P");
  const int x = net.AddNode(qelta::kDefCpt, "X");
  ASSERT_EQ(Def(net, p)->SetNumberOfOutcomes(3), qelta::kOk);
  ASSERT_EQ(net.setNodeTemporalType(x, 3), qelta::kOk);
  ASSERT_EQ(net.SetNumberOfSlices(3), qelta::kOk);
  ASSERT_EQ(net.AddArc(p, x), qelta::kOk);
  ASSERT_EQ(net.AddTemporalArc(x, x, 1), qelta::kOk);
  ASSERT_EQ(net.GetNode(p)->setNodeType(qelta::kDefEquation), qelta::kOk);
  ASSERT_EQ(VRN_GetEquation(&net, p)->GetDiscIntervals().size(), 3u);
  EXPECT_EQ(TemporalSizes(net, x), (std::vector<int>{3, 2, 2}));
  ExpectReadsBack(net, "X");
  // And back again: the intervals become outcomes.
  ASSERT_EQ(net.GetNode(p)->setNodeType(qelta::kDefCpt), qelta::kOk);
  EXPECT_EQ(TemporalSizes(net, x), (std::vector<int>{3, 2, 2}));
  ExpectReadsBack(net, "X");
}

// A parent that was an equation with an open last interval, grown and
// shrunk as a decision, takes new bounds of another count: its temporal
// copies follow it, so the child's temporal table keeps step with its own.
TEST(DbnEquationParentTest, NewBoundsOfAnotherCountReachTheTemporalTable) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefEquation, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  VRN_equation* equation = VRN_GetEquation(&net, a);
  ASSERT_EQ(equation->SetEquation("A=2+Uniform(0,1)", nullptr, nullptr), 0);
  const double inf = std::numeric_limits<double>::infinity();
  ASSERT_EQ(equation->SetDiscIntervals(0, inf, Intervals({1, 2, inf})), 0);
  ASSERT_EQ(net.setNodeTemporalType(b, 3), qelta::kOk);
  ASSERT_EQ(net.SetNumberOfSlices(2), qelta::kOk);
  ASSERT_EQ(net.AddArc(a, b), qelta::kOk);
  ASSERT_EQ(net.AddTemporalArc(b, b, 1), qelta::kOk);
  ASSERT_EQ(net.GetNode(a)->setNodeType(qelta::kDefDecision), qelta::kOk);
  auto* disc = dynamic_cast<VRN_discDef*>(Def(net, a));
  ASSERT_EQ(disc->SetNumberOfOutcomes(4), qelta::kOk);
  ASSERT_EQ(disc->RemoveOutcome(0), qelta::kOk);
  ASSERT_EQ(disc->SetIntervals({0, 1, 2, 3, 4}, false), qelta::kOk);
  EXPECT_EQ(qelta_test::Table(net, b).size(), 8u);
  EXPECT_EQ(TemporalSizes(net, b), (std::vector<int>{4, 2, 2}));
  ExpectReadsBack(net, "B");
}

// X ~ N(10, 2) with Z = 2X + 1 (normal nodes), an anchor A, the plate node
// P (P -> P of order 1) and the terminal Y = 3P + N(0, 1), where P counts as
// its outcome index. By hand P's slice rows are 0.55 0.45 | 0.675 0.325 |
// 0.7375 0.2625.
std::string HybridText(int slices, bool dynamic) {
  auto type = [&](const char* t) {
    return dynamic ? std::string(" dynamic=\"") + t + "\"" : std::string();
  };
  std::string text =
      "<?xml version=\"1.0\"?>\n<qelta version=\"1.0\" id=\"E\" "
      "numsamples=\"20000\" discsamples=\"2000\"><nodes>"
      "<equation id=\"X\"><definition lower=\"0\" upper=\"20\">X=Normal(10,2)"
      "</definition><discretization><interval label=\"lo\" upper=\"10\"/>"
      "<interval label=\"hi\" upper=\"20\"/></discretization></equation>"
      "<equation id=\"Z\"><parents>X</parents><definition lower=\"0\" "
      "upper=\"50\">Z=2*X+1</definition><discretization><interval label=\"lo\""
      " upper=\"21\"/><interval label=\"hi\" upper=\"50\"/></discretization>"
      "</equation><equation id=\"A\"" + type("anchor") +
      "><definition lower=\"0\" upper=\"10\">A=Normal(5,1)</definition>"
      "<discretization><interval label=\"lo\" upper=\"5\"/><interval "
      "label=\"hi\" upper=\"10\"/></discretization></equation>"
      "<cpt id=\"P\"" + type("plate") +
      "><state id=\"p0\"/><state id=\"p1\"/><parents>A</parents>"
      "<probabilities>0.8 0.2 0.3 0.7</probabilities></cpt>"
      "<equation id=\"Y\"" + type("terminal") +
      "><parents>P</parents><definition lower=\"-10\" upper=\"30\">"
      "Y=3*P+Normal(0,1)</definition><discretization><interval label=\"lo\" "
      "upper=\"1.5\"/><interval label=\"hi\" upper=\"30\"/></discretization>"
      "</equation></nodes>";
  if (dynamic) {
    text += "<dynamic numslices=\"" + std::to_string(slices) +
            "\"><cpt id=\"P\" order=\"1\"><parents>P</parents><probabilities>"
            "0.9 0.1 0.4 0.6</probabilities></cpt></dynamic>";
  }
  return text + "</qelta>\n";
}

VRN_equationEvaluation* EquationValue(VRN_network& net, const char* id) {
  return dynamic_cast<VRN_equationEvaluation*>(
      net.GetNode(net.FindNode(id))->Value());
}

double Mean(VRN_network& net, const char* id) {
  double mean = NAN;
  EXPECT_EQ(net.GetNode(net.FindNode(id))->Value()->GetMean(&mean),
            qelta::kOk) << id;
  return mean;
}

// The network's update against the unrolled network's own, drawn from the
// same seed: every equation node holds what the unrolled one holds.
void ExpectUnrolledResults(VRN_network& net, VRN_network& unrolled) {
  ASSERT_EQ(net.UpdateBeliefs(), qelta::kOk) << LogText(net);
  ASSERT_EQ(unrolled.UpdateBeliefs(), qelta::kOk) << LogText(unrolled);
  for (const char* id : {"X", "Z", "A", "Y"}) {
    SCOPED_TRACE(id);
    VRN_equationEvaluation* got = EquationValue(net, id);
    VRN_equationEvaluation* want = EquationValue(unrolled, id);
    ASSERT_TRUE(got->IsValueValid());
    ASSERT_TRUE(want->IsValueValid());
    EXPECT_EQ(got->GetSamples(), want->GetSamples());
    EXPECT_EQ(Items(got->GetValue()), Items(want->GetValue()));
    EXPECT_EQ(Mean(net, id), Mean(unrolled, id));
    double a[4], b[4];
    got->GetSampleStats(&a[0], &a[1], &a[2], &a[3]);
    want->GetSampleStats(&b[0], &b[1], &b[2], &b[3]);
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))) << i;
    }
    if (!got->IsDiscretized()) {
      VRN_intArray counts;
      ASSERT_EQ(got->GetHistogram(0, 40, 4, &counts), qelta::kOk);
      int total = 0;
      for (int c : counts) total += c;
      EXPECT_EQ(static_cast<size_t>(total), want->GetSamples().size());
    }
  }
}

struct Hybrid {
  VRN_network net;
  VRN_network unrolled;
  std::vector<int> map;

  Hybrid(int slices, bool dynamic) {
    EXPECT_EQ(net.ReadString(HybridText(slices, dynamic).c_str(), 0),
              qelta::kOk) << LogText(net);
    net.SetRandSeed(17);
  }
  void Unroll() { ASSERT_EQ(net.UnrollNetwork(unrolled, map), qelta::kOk); }
};

TEST(DbnEquationUpdateTest, EquationNodesHoldTheUnrolledNetworksResults) {
  Hybrid e(3, true);
  e.Unroll();
  // Under the last slice Y keeps its own terms, bounds and intervals.
  VRN_equation* y = VRN_GetEquation(&e.unrolled, e.unrolled.FindNode("Y"));
  std::string text;
  y->GetEquationText(&text);
  EXPECT_EQ(text, "Y=3*P_2+Normal(0,1)");
  EXPECT_EQ(y->GetLowerBound(), -10);
  EXPECT_EQ(y->GetUpperBound(), 30);
  ASSERT_EQ(y->GetDiscIntervals().size(), 2u);
  EXPECT_EQ(y->GetDiscIntervals()[0].id, "lo");
  EXPECT_EQ(y->GetDiscIntervals()[0].boundary, 1.5);
  EXPECT_EQ(y->GetDiscIntervals()[1].boundary, 30);
  ExpectUnrolledResults(e.net, e.unrolled);
  EXPECT_EQ(EquationValue(e.net, "X")->GetSamples().size(), 20000u);
  EXPECT_NEAR(Mean(e.net, "X"), 10, 0.1);
  EXPECT_NEAR(Mean(e.net, "Z"), 21, 0.2);
  EXPECT_NEAR(Mean(e.net, "A"), 5, 0.1);
  EXPECT_NEAR(Mean(e.net, "Y"), 3 * 0.2625, 0.1);
  double sd = NAN;
  ASSERT_EQ(e.net.GetNode(e.net.FindNode("Z"))->Value()->GetStdDev(&sd),
            qelta::kOk);
  EXPECT_NEAR(sd, 4, 0.2);

  // Observed X fixes Z exactly; X keeps its evidence.
  const int x = e.net.FindNode("X");
  ASSERT_EQ(e.net.GetNode(x)->Value()->SetContEvidence(12), qelta::kOk);
  ASSERT_EQ(e.net.UpdateBeliefs(), qelta::kOk);
  EXPECT_EQ(Mean(e.net, "Z"), 25);
  EXPECT_EQ(EquationValue(e.net, "X")->GetEvidenceValue(), 12);
  EXPECT_TRUE(e.net.GetNode(x)->Value()->HasEvidence());

  // With one slice Y keeps its own equation over P itself.
  Hybrid one(1, true);
  one.Unroll();
  VRN_equation* y1 = VRN_GetEquation(&one.unrolled, one.unrolled.FindNode("Y"));
  y1->GetEquationText(&text);
  EXPECT_EQ(text, "Y=3*P+Normal(0,1)");
  ExpectUnrolledResults(one.net, one.unrolled);
  EXPECT_NEAR(Mean(one.net, "Y"), 3 * 0.45, 0.1);
}

TEST(DbnEquationUpdateTest, SamplesOfAStaticUpdateDoNotOutliveTheTemporalOne) {
  Hybrid e(3, false);
  ASSERT_EQ(e.net.UpdateBeliefs(), qelta::kOk);
  EXPECT_NEAR(Mean(e.net, "Y"), 3 * 0.45, 0.1);
  const int p = e.net.FindNode("P");
  ASSERT_EQ(VRN_GetEquation(&e.net, e.net.FindNode("X"))
                ->SetEquation("X=Normal(4,1)", nullptr, nullptr),
            qelta::kOk);
  ASSERT_EQ(e.net.setNodeTemporalType(e.net.FindNode("A"), 1), qelta::kOk);
  ASSERT_EQ(e.net.setNodeTemporalType(e.net.FindNode("Y"), 2), qelta::kOk);
  ASSERT_EQ(e.net.setNodeTemporalType(p, 3), qelta::kOk);
  ASSERT_EQ(e.net.SetNumberOfSlices(3), qelta::kOk);
  ASSERT_EQ(e.net.AddTemporalArc(p, p, 1), qelta::kOk);
  VRN_doubleArray items;
  for (double v : {0.9, 0.1, 0.4, 0.6}) items.Add(v);
  ASSERT_EQ(Def(e.net, p)->SetTemporalDefinition(1, items), qelta::kOk);
  e.Unroll();
  ExpectUnrolledResults(e.net, e.unrolled);
  EXPECT_NEAR(Mean(e.net, "X"), 4, 0.1);
  EXPECT_NEAR(Mean(e.net, "Y"), 3 * 0.2625, 0.1);
}

TEST(DbnEquationUpdateTest, VirtualEvidenceHandsOverDiscretizedBeliefs) {
  Hybrid e(3, true);
  const int p = e.net.FindNode("P");
  ASSERT_EQ(e.net.GetNode(p)->Value()->SetVirtualEvidence({0.9, 0.1}),
            qelta::kOk);
  e.Unroll();
  ExpectUnrolledResults(e.net, e.unrolled);
  const VRN_matrix& y = EquationValue(e.net, "Y")->GetValue();
  ASSERT_EQ(y.GetItemCount(), 2);
  // P in slice 2 by hand: 0.829 0.171.
  const double phi = 0.5 * std::erfc(-1.5 / std::sqrt(2.0));
  EXPECT_NEAR(y.GetItems()[0], 0.829 * phi + 0.171 * (1 - phi), 0.02);
}

}  // namespace
