// Temporal definitions of a plate node whose parent is an equation node:
// the parent counts by its intervals, as it does for the node's own table,
// when the arcs are made, when the intervals change and when the parent
// becomes an equation, and such a network reads back from its save.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "equations/equation.h"
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

}  // namespace
