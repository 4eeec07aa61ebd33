// A truth table whose parent is an equation node: its configurations run
// over the equation's intervals, and every text format writes such a
// network in bounded time and space.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::LogText;
using qelta_test::TempPath;

// P (CPT, 2 outcomes) and X (equation, 3 intervals) are the parents of the
// truth table T, whose resulting states run over the 6 configurations.
struct Hybrid {
  VRN_network net;
  int p = -1, x = -1, t = -1;
  const std::vector<int> states = {1, 0, 1, 0, 0, 1};

  Hybrid() {
    p = net.AddNode(qelta::kDefCpt, "P");
    x = net.AddNode(qelta::kDefEquation, "X");
    t = net.AddNode(qelta::kDefTruthTable, "T");
    VRN_equation* equation = VRN_GetEquation(&net, x);
    EXPECT_EQ(equation->SetEquation("X=Normal(0,1)", nullptr, nullptr),
              qelta::kOk);
    EXPECT_EQ(equation->SetDiscIntervals(
                  -3, 3, {{"lo", -1.0}, {"mid", 1.0}, {"hi", 3.0}}),
              qelta::kOk);
    EXPECT_EQ(net.AddArc(p, t), qelta::kOk);
    EXPECT_EQ(net.AddArc(x, t), qelta::kOk);
    VRN_intArray resulting;
    for (int s : states) resulting.Add(s);
    EXPECT_EQ(TruthTable(net, t)->SetResultingStates(resulting), qelta::kOk);
  }

  static VRN_truthTable* TruthTable(VRN_network& net, int h) {
    return dynamic_cast<VRN_truthTable*>(net.GetNode(h)->Definition());
  }
};

std::vector<int> ResultingStates(VRN_network& net, int h) {
  VRN_intArray states;
  Hybrid::TruthTable(net, h)->GetResultingStates(&states);
  return std::vector<int>(states.begin(), states.end());
}

TEST(NeticaEquationParentTest, TruthTableOverIntervalsIsWrittenAsItsTable) {
  Hybrid hybrid;
  TempPath file(".dne");
  ASSERT_EQ(hybrid.net.WriteFile(file.path(), 0, 0), qelta::kOk)
      << LogText(hybrid.net);
  EXPECT_LT(qelta_test::ReadWholeFile(file.path()).size(), 4000u);

  VRN_network back;
  ASSERT_EQ(back.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(back);
  const int t = back.FindNode("T");
  ASSERT_GE(t, 0) << LogText(back);
  ASSERT_NE(Hybrid::TruthTable(back, t), nullptr);
  EXPECT_EQ(qelta_test::ParentIds(back, t),
            (std::vector<std::string>{"P", "X"}));
  EXPECT_EQ(VRN_GetEquation(&back, back.FindNode("X"))->GetDiscIntervals().size(),
            3u);
  EXPECT_EQ(ResultingStates(back, t), hybrid.states);
}

TEST(NeticaEquationParentTest, EveryTextFormatWritesInBoundedSpace) {
  Hybrid hybrid;
  for (const char* suffix :
       {".dne", ".vrn", ".dxp", ".erg", ".net", ".dsc", ".xml03", ".xvrn"}) {
    SCOPED_TRACE(suffix);
    TempPath file(suffix);
    const int rc = hybrid.net.WriteFile(file.path(), 0, 0);
    // Either written, small as the network, or refused with a reason.
    if (rc != qelta::kOk) {
      EXPECT_FALSE(LogText(hybrid.net).empty());
      continue;
    }
    EXPECT_LT(qelta_test::ReadWholeFile(file.path()).size(), 20000u);
  }
}

}  // namespace
