#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::Beliefs;
using qelta_test::LogText;
using qelta_test::ReadWholeFile;
using qelta_test::TempPath;

VRN_intArray Ints(const std::vector<int>& values) {
  VRN_intArray out;
  for (int v : values) out.Add(v);
  return out;
}

std::vector<double> Items(const VRN_matrix& matrix) {
  return std::vector<double>(matrix.GetItems().begin(),
                             matrix.GetItems().end());
}

// Noisy-MAX M of A (three outcomes, strength order 2, 0, 1) and B; a
// noisy-adder child of M and DeMorgan G of D with their default
// parameters, which the format does not carry; CAST E of CAST C.
void Build(VRN_network& net) {
  const int a = net.AddNode(qelta::kDefCpt, "A");
  ASSERT_EQ(0, net.GetNode(a)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(0, net.GetNode(a)->Definition()->SetDefinitionFromVector(
                   {0.2, 0.5, 0.3}));
  const int b = net.AddNode(qelta::kDefCpt, "B");
  const int m = net.AddNode(qelta::kDefNoisyMax, "M");
  const int s = net.AddNode(qelta::kDefNoisyAdder, "S");
  const int d = net.AddNode(qelta::kDefDemorgan, "D");
  const int g = net.AddNode(qelta::kDefDemorgan, "G");
  ASSERT_EQ(0, net.AddArc(a, m));
  ASSERT_EQ(0, net.AddArc(b, m));
  ASSERT_EQ(0, net.AddArc(m, s));
  ASSERT_EQ(0, net.AddArc(d, g));
  auto* noisy = static_cast<VRN_noisyMAX*>(net.GetNode(m)->Definition());
  ASSERT_EQ(0, noisy->SetDefinitionFromVector(
                   {0.7, 0.3, 0.4, 0.6, 0, 1, 0.9, 0.1, 0, 1, 0.05, 0.95}));
  ASSERT_EQ(0, noisy->SetParentOutcomeStrengths(0, Ints({2, 0, 1})));
  const int c = net.AddNode(qelta::kDefCast, "C");
  const int e = net.AddNode(qelta::kDefCast, "E");
  ASSERT_EQ(0, net.AddArc(c, e));
  auto* cast = static_cast<VRN_cast*>(net.GetNode(e)->Definition());
  VRN_doubleArray weight;
  weight.Add(-0.5);
  ASSERT_EQ(0, cast->SetNegativeWeights(weight));
  ASSERT_EQ(0, cast->SetBaseline(0.3));
  ASSERT_EQ(0, net.GetNode(s)->Value()->SetEvidence(0));
  ASSERT_EQ(0, net.GetNode(e)->Value()->SetEvidence(1));
}

TEST(VrnKindsTest, RoundTripKeepsKindsParametersAndBeliefs) {
  VRN_network net;
  Build(net);
  ASSERT_EQ(0, net.UpdateBeliefs());
  TempPath file(".vrn");
  ASSERT_EQ(0, net.WriteFile(file.path(), 0, 0)) << LogText(net);
  VRN_network back;
  ASSERT_EQ(0, back.ReadFile(file.path(), qelta::kFormatVrn, 0));
  EXPECT_EQ(LogText(back), "");
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node* node = net.GetNode(h);
    const VRN_node* copy = back.GetNode(back.FindNode(node->GetId()));
    ASSERT_NE(copy, nullptr) << node->GetId();
    EXPECT_EQ(node->Definition()->GetType(), copy->Definition()->GetType())
        << node->GetId();
  }
  const auto* noisy = static_cast<const VRN_noisyMAX*>(
      back.GetNode(back.FindNode("M"))->Definition());
  EXPECT_EQ(noisy->GetParentOutcomeStrengths(0), Ints({2, 0, 1}));
  EXPECT_EQ(noisy->GetParentOutcomeStrengths(1), Ints({0, 1}));
  EXPECT_EQ(Items(noisy->Parameters()),
            Items(static_cast<const VRN_noisyMAX*>(
                      net.GetNode(net.FindNode("M"))->Definition())
                      ->Parameters()));
  const auto* cast = static_cast<const VRN_cast*>(
      back.GetNode(back.FindNode("E"))->Definition());
  EXPECT_EQ(cast->GetNegativeWeights()[0], -0.5);
  EXPECT_EQ(cast->GetBaseline(), 0.3);

  ASSERT_EQ(0, back.GetNode(back.FindNode("S"))->Value()->SetEvidence(0));
  ASSERT_EQ(0, back.GetNode(back.FindNode("E"))->Value()->SetEvidence(1));
  ASSERT_EQ(0, back.UpdateBeliefs());
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const std::vector<double> want = Beliefs(net, h);
    const std::vector<double> got =
        Beliefs(back, back.FindNode(net.GetNode(h)->GetId()));
    ASSERT_EQ(want.size(), got.size());
    for (size_t k = 0; k < want.size(); ++k) {
      EXPECT_NEAR(want[k], got[k], 1e-12) << net.GetNode(h)->GetId();
    }
  }
  // An equation node keeps its kind too; MAU nodes stay left out.
  VRN_network equation;
  (void)equation.AddNode(qelta::kDefEquation, "Q");
  TempPath equation_file(".vrn");
  ASSERT_EQ(0, equation.WriteFile(equation_file.path(), 0, 0));
  VRN_network equation_back;
  ASSERT_EQ(0, equation_back.ReadFile(equation_file.path(), 0, 0));
  EXPECT_EQ(qelta::kDefEquation,
            equation_back.GetNode(equation_back.FindNode("Q"))
                ->Definition()
                ->GetType());
  // A second write gives the same text.
  TempPath again(".vrn");
  ASSERT_EQ(0, back.WriteFile(again.path(), 0, 0));
  EXPECT_EQ(ReadWholeFile(file.path()), ReadWholeFile(again.path()));
}

// Noisy-OR and noisy-AND parameters are Henrion columns; a noisy-AND node
// has its outcomes reversed and every parent's first outcome distinguished.
TEST(VrnKindsTest, NoisyOrAndNoisyAndReadAsNoisyMax) {
  struct Case {
    const char* type;
    std::vector<std::string> outcomes;
    const char* numbers;
    std::vector<int> strengths;
    std::vector<double> henrion;
  } cases[] = {
      {"NOISY_OR", {"on", "off"}, "0.9, 0.1, 0.2, 0.8", {0, 1},
       {0.9, 0.1, 0.2, 0.8}},
      {"NOISY_AND", {"off", "on"}, "0.1, 0.9, 0.2, 0.8", {1, 0},
       {0.9, 0.1, 0.8, 0.2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    TempPath file(".vrn", std::string("net N\n{\n node P { TYPE = CPT; };\n"
                                      " node X { TYPE = ") +
                              c.type +
                              "; PARENTS = (P); DEFINITION = {\n"
                              "   NAMESTATES = (on, off);\n"
                              "   PROBABILITIES = (" +
                              c.numbers + "); }; };\n};\n");
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(file.path(), 0, 0));
    EXPECT_EQ(LogText(net), "");
    const int x = net.FindNode("X");
    EXPECT_EQ(qelta_test::OutcomeIds(net, x), c.outcomes);
    const auto* noisy =
        dynamic_cast<const VRN_noisyMAX*>(net.GetNode(x)->Definition());
    ASSERT_NE(noisy, nullptr);
    EXPECT_EQ(noisy->GetParentOutcomeStrengths(0), Ints(c.strengths));
    VRN_doubleArray henrion;
    ASSERT_EQ(0, noisy->GetHenrionProbabilitiesArray(&henrion));
    ASSERT_EQ(henrion.GetSize(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(henrion[i], c.henrion[i], 1e-12);
  }
}

}  // namespace
