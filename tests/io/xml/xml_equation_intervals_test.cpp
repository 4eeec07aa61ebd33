// The default intervals of an equation node whose range leaves no room for
// a boundary, in the XML file: what is written reads back as the same node,
// constant equation or not, and files that held no intervals read as before.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "equations/equation.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::LogText;

constexpr double kInf = HUGE_VAL;

VRN_equation* Equation(VRN_network& net, const char* id) {
  return dynamic_cast<VRN_equation*>(net.GetNode(net.FindNode(id))->Definition());
}

// Bounds, then each interval's label and boundary.
std::string Intervals(VRN_network& net, const char* id) {
  const VRN_equation* eq = Equation(net, id);
  std::string out = std::to_string(eq->GetLowerBound()) + " " +
                    std::to_string(eq->GetUpperBound()) + ":";
  for (const VRN_discInterval& i : eq->GetDiscIntervals()) {
    out += " " + i.id + "=" + std::to_string(i.boundary);
  }
  return out;
}

std::vector<double> Discretized(VRN_network& net, const char* id) {
  const VRN_matrix* table = Equation(net, id)->GetDiscreteDefinition();
  std::vector<double> out;
  for (int i = 0; table != nullptr && i < table->GetItemCount(); ++i) {
    out.push_back(table->GetItem(i));
  }
  return out;
}

// E gets its default intervals over a range of one point while its equation
// is random, then becomes constant; with a child C or none.
TEST(XmlEquationIntervalsTest, ConstantOverOnePointRangeReadsBackTheSame) {
  const double points[][2] = {{4, 4}, {kInf, kInf}, {-kInf, -kInf}};
  for (const auto& point : points) {
    for (bool child : {true, false}) {
      SCOPED_TRACE(std::to_string(point[0]) + (child ? " with a child" : ""));
      VRN_network net;
      ASSERT_GE(net.AddNode(qelta::kDefEquation, "E"), 0);
      ASSERT_EQ(0, Equation(net, "E")->SetEquation("E=Normal(4, 1)", nullptr, nullptr));
      ASSERT_EQ(0, Equation(net, "E")->SetBounds(point[0], point[1]));
      if (child) {
        const int c = net.AddNode(qelta::kDefCpt, "C");
        ASSERT_EQ(0, net.AddArc(net.FindNode("E"), c));
        ASSERT_EQ(0, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                         {0.1, 0.9, 0.3, 0.7}));
      } else {
        ASSERT_EQ(2, Equation(net, "E")->GetDiscreteOutcomeCount());
      }
      ASSERT_EQ(0, Equation(net, "E")->SetEquation("E=0", nullptr, nullptr));
      ASSERT_TRUE(Equation(net, "E")->IsConstant());
      ASSERT_FALSE(Equation(net, "E")->HasSettableIntervals());

      std::string text;
      ASSERT_EQ(qelta::kOk, net.WriteString(text, qelta::kExtensionNone));
      VRN_network back;
      ASSERT_EQ(qelta::kOk, back.ReadString(text.c_str(), qelta::kExtensionNone))
          << LogText(back) << text;
      EXPECT_EQ(Intervals(net, "E"), Intervals(back, "E"));
      EXPECT_EQ(Discretized(net, "E"), Discretized(back, "E"));
      std::string again;
      ASSERT_EQ(qelta::kOk, back.WriteString(again, qelta::kExtensionNone));
      EXPECT_EQ(text, again);
    }
  }
}

// Boundaries other than the defaults over a one-point range are still
// refused; a constant with such a range and no intervals in the file gets
// them over the whole line, as it always did.
TEST(XmlEquationIntervalsTest, OtherFilesOfOnePointRangesReadAsBefore) {
  const std::string head =
      "<qelta version='1.0' id='N'><nodes><equation id='E'>"
      "<definition lower='4' upper='4'>E=0</definition>";
  const std::string tail =
      "</equation><cpt id='C'><state id='a'/><state id='b'/>"
      "<parents>E</parents><probabilities>0.1 0.9 0.3 0.7</probabilities>"
      "</cpt></nodes></qelta>";
  VRN_network refused;
  EXPECT_NE(qelta::kOk,
            refused.ReadString((head +
                                "<discretization><interval upper='3'/>"
                                "<interval upper='4'/></discretization>" +
                                tail).c_str(),
                               qelta::kExtensionNone));
  EXPECT_NE(std::string::npos, LogText(refused).find("SetDiscIntervals failed"));

  VRN_network whole_line;
  ASSERT_EQ(qelta::kOk, whole_line.ReadString((head + tail).c_str(),
                                              qelta::kExtensionNone))
      << LogText(whole_line);
  EXPECT_EQ(Intervals(whole_line, "E"),
            "-inf inf: State0=0.000000 State1=inf");
}

}  // namespace
