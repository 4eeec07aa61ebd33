// Hybrid networks (equation nodes, user-defined functions, discrete
// children of equation nodes) in every text format: a write that answers
// success reads back in its format with every node; a format that cannot
// hold what the read needs refuses the write, naming the node, and leaves
// no file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "equations/equation.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::LogText;

VRN_equation* Equation(VRN_network& net, const char* id) {
  return static_cast<VRN_equation*>(net.GetNode(net.FindNode(id))->Definition());
}

// X = Gamma(2, 0.6) on [0, 10]; Y an expression of X with `intervals`
// intervals (calling the user functions cube and bump when `functions`);
// Z a CPT child of Y.
void Build(VRN_network& net, bool functions, int intervals) {
  int index = 0;
  int position = 0;
  std::string message;
  ASSERT_EQ(0, net.SetExtFunctions({"cube(t)=t*t*t", "bump(a, b)=a+Abs(b)"},
                                   index, position, message))
      << message;
  ASSERT_GE(net.AddNode(qelta::kDefEquation, "X"), 0);
  ASSERT_EQ(0, Equation(net, "X")->SetEquation("X=Gamma(2, 0.6)", nullptr, nullptr));
  ASSERT_EQ(0, Equation(net, "X")->SetBounds(0, 10));
  ASSERT_GE(net.AddNode(qelta::kDefEquation, "Y"), 0);
  ASSERT_EQ(0, Equation(net, "Y")->SetEquation(
                   functions ? "Y=bump(cube(X), 1)" : "Y=X*2", nullptr, nullptr));
  std::vector<VRN_discInterval> list;
  for (int i = 0; i < intervals; ++i) {
    list.push_back({"y" + std::to_string(i), 5.0 * (i + 1)});
  }
  ASSERT_EQ(0, Equation(net, "Y")->SetDiscIntervals(0, 5.0 * intervals, list));
  const int z = net.AddNode(qelta::kDefCpt, "Z");
  ASSERT_EQ(0, net.AddArc(net.FindNode("Y"), z));
}

struct Expectation {
  const char* extension;
  int read_as;
  const char* refusal;  // a text of the refusal message; null: reads back
};

void Check(VRN_network& net, const Expectation& e) {
  SCOPED_TRACE(e.extension);
  // A name of this case's own: the cases of this file run at once.
  const qelta_test::TempPath temp(e.extension);
  const std::string path = temp.path();
  std::remove(path.c_str());
  net.ErrorLog()->Flush();
  const int written = net.WriteFile(path.c_str(), 0, 0);
  if (e.refusal != nullptr) {
    EXPECT_NE(qelta::kOk, written);
    EXPECT_NE(std::string::npos, LogText(net).find(e.refusal)) << LogText(net);
    std::FILE* left = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(nullptr, left) << "a refused write left a file";
    if (left != nullptr) std::fclose(left);
    std::remove(path.c_str());
    return;
  }
  ASSERT_EQ(qelta::kOk, written) << LogText(net);
  VRN_network back;
  const int read = back.ReadFile(path.c_str(), e.read_as, 0);
  std::remove(path.c_str());
  ASSERT_EQ(qelta::kOk, read) << LogText(back);
  EXPECT_EQ("", LogText(back));
  for (const char* id : {"X", "Y", "Z"}) {
    const int h = back.FindNode(id);
    ASSERT_GE(h, 0) << id;
    EXPECT_EQ(net.GetNode(net.FindNode(id))->Definition()->GetType(),
              back.GetNode(h)->Definition()->GetType())
        << id;
  }
  EXPECT_EQ(qelta_test::ParentIds(net, net.FindNode("Z")),
            qelta_test::ParentIds(back, back.FindNode("Z")));
}

TEST(HybridSaveTest, UserFunctionsAndThreeIntervals) {
  VRN_network net;
  Build(net, true, 3);
  const Expectation expectations[] = {
      {".xvrn", qelta::kFormatXvrn, nullptr},
      // Netica files cannot hold user-defined functions.
      {".dne", qelta::kFormatNetica,
       "The equation of node [Y] calls the user-defined function"},
      // Native text keeps only the kind of an equation node.
      {".vrn", qelta::kFormatVrn, "Node [X] cannot be saved in the native text format"},
      {".dxp", qelta::kFormatVrn, "Node [X] cannot be saved in the native text format"},
      {".xml03", qelta::kFormatXmlBif, "'X' : Node type not supported by XMLBIF"},
      {".net", qelta::kFormatHugin, "'X' : Node type not supported by Hugin"},
      {".dsc", qelta::kFormatMsbn, "'X' : Node type not supported by MSBN"},
      {".erg", qelta::kFormatErgo, "cannot be saved in Ergo format"},
  };
  for (const Expectation& e : expectations) Check(net, e);
  // The string keeps everything.
  std::string text;
  ASSERT_EQ(qelta::kOk, net.WriteString(text, qelta::kExtensionNone));
  VRN_network back;
  ASSERT_EQ(qelta::kOk, back.ReadString(text.c_str(), qelta::kExtensionNone))
      << LogText(back);
  std::string equation;
  Equation(back, "Y")->GetEquationText(&equation);
  EXPECT_EQ("Y=bump(cube(X),1)", equation);
}

TEST(HybridSaveTest, PlainEquationsWithTwoIntervals) {
  VRN_network net;
  Build(net, false, 2);
  const Expectation expectations[] = {
      {".xvrn", qelta::kFormatXvrn, nullptr},
      {".dne", qelta::kFormatNetica, nullptr},
      // Equation nodes would read back with default parameters.
      {".vrn", qelta::kFormatVrn, "Node [X] cannot be saved in the native text format"},
      {".dxp", qelta::kFormatVrn, "Node [X] cannot be saved in the native text format"},
      {".xml03", qelta::kFormatXmlBif, "'X' : Node type not supported by XMLBIF"},
  };
  for (const Expectation& e : expectations) Check(net, e);
}

// A range of one point has no room for a boundary: its two default
// intervals are no setter's, and the XML file leaves them to the reader,
// which makes them again from the bounds.
TEST(HybridSaveTest, DefaultIntervalsOfAOnePointRangeReadBack) {
  VRN_network net;
  ASSERT_GE(net.AddNode(qelta::kDefEquation, "E"), 0);
  ASSERT_EQ(0, Equation(net, "E")->SetEquation("E=Normal(4, 1)", nullptr, nullptr));
  ASSERT_EQ(0, Equation(net, "E")->SetBounds(4, 4));
  const int c = net.AddNode(qelta::kDefCpt, "C");
  ASSERT_EQ(0, net.AddArc(net.FindNode("E"), c));
  ASSERT_EQ(2, Equation(net, "E")->GetDiscreteOutcomeCount());
  EXPECT_FALSE(Equation(net, "E")->HasSettableIntervals());
  ASSERT_EQ(0, net.GetNode(c)->Definition()->SetDefinitionFromVector({0.1, 0.9, 0.3, 0.7}));
  std::string text;
  ASSERT_EQ(qelta::kOk, net.WriteString(text, qelta::kExtensionNone));
  VRN_network back;
  ASSERT_EQ(qelta::kOk, back.ReadString(text.c_str(), qelta::kExtensionNone))
      << LogText(back) << text;
  EXPECT_EQ(2, Equation(back, "E")->GetDiscreteOutcomeCount());
  EXPECT_EQ(qelta_test::Table(net, c), qelta_test::Table(back, back.FindNode("C")));
  std::string again;
  ASSERT_EQ(qelta::kOk, back.WriteString(again, qelta::kExtensionNone));
  EXPECT_EQ(text, again);
}

}  // namespace
