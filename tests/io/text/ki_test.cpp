// The KI format: diagnostic roles read from node descriptions, and the
// native text layout written for a "dxp" name.
#include "io/text/ki.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/ci_def.h"
#include "definitions/discrete_def.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "io/format.h"
#include "io/text/format_helpers.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using namespace qelta_test;

// A node description of the nodes block: two states, the first a fault
// state when fault is set, and the given flag fields.
std::string KiNode(const char* id, bool fault, const char* flags) {
  return std::string("  standard ") + id + " { " + flags +
         " type : discrete [2] = 3 D { " + (fault ? "fault" : "standard") +
         " s0 { NAME : \"bad\"; } standard s1 { NAME : \"good\"; } }; }\n";
}

TEST(KiTest, ObservableOrMandatoryNodesAreObservationsFaultOrNot) {
  const std::string text =
      "diagnostic network \"roles\"\nkb { }\nnodes {\n" +
      KiNode("Watched", true, "OBSERVABLE : TRUE;") +
      KiNode("Required", true, "OBSERVABLE : FALSE; MANDATORY : TRUE;") +
      KiNode("Hidden", true, "OBSERVABLE : FALSE; MANDATORY : FALSE;") +
      KiNode("Gauge", false, "OBSERVABLE : TRUE;") +
      KiNode("Helper", false, "") + "}\nnetwork { }\n";
  TempPath file(".dxp", text);
  VRN_network network;
  ASSERT_EQ(network.ReadFile(file.path(), 0, 0), qelta::kOk)
      << LogText(network);
  EXPECT_EQ(LogText(network), "");
  const struct {
    const char* id;
    int role;
  } expected[] = {{"Watched", 1}, {"Required", 1}, {"Hidden", 0},
                  {"Gauge", 1},   {"Helper", 2}};
  for (const auto& node : expected) {
    SCOPED_TRACE(node.id);
    const VRN_node* record = network.GetNode(network.FindNode(node.id));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetDiagType(), node.role);
    EXPECT_FALSE(record->IsRanked());
    EXPECT_FALSE(record->IsMandatory());
  }
}

// A CPT A with diagnosis attributes, a noisy-MAX N under it and two CAST
// nodes, C under B.
void BuildMixed(VRN_network* network) {
  const int a = network->AddNode(qelta::kDefCpt, "A");
  const int n = network->AddNode(qelta::kDefNoisyMax, "N");
  const int b = network->AddNode(qelta::kDefCast, "B");
  const int c = network->AddNode(qelta::kDefCast, "C");
  ASSERT_GE(a, 0);
  ASSERT_GE(n, 0);
  ASSERT_GE(b, 0);
  ASSERT_GE(c, 0);
  ASSERT_EQ(network->AddArc(a, n), qelta::kOk);
  ASSERT_EQ(network->AddArc(b, c), qelta::kOk);
  VRN_node* node = network->GetNode(a);
  ASSERT_EQ(node->Definition()->SetDefinitionFromVector({0.25, 0.75}),
            qelta::kOk);
  auto* states = static_cast<VRN_discDef*>(node->Definition());
  (void)states->SetFaultOutcome(0, true);
  (void)states->SetOutcomeLabel(0, "F");
  (void)node->SetDiagType(1);
  node->SetRanked(true);
  node->SetQuestion("Is it?");
  auto* noisy =
      static_cast<VRN_noisyMAX*>(network->GetNode(n)->Definition());
  VRN_doubleArray parameters;
  for (double v : {0.25, 0.75, 0.0, 1.0, 0.5, 0.5}) parameters.Add(v);
  ASSERT_EQ(noisy->LoadParameters(parameters), qelta::kOk);
  auto* cast = static_cast<VRN_cast*>(network->GetNode(c)->Definition());
  VRN_doubleArray weights;
  weights.Add(0.5);
  ASSERT_EQ(cast->SetPositiveWeights(weights), qelta::kOk);
  ASSERT_EQ(cast->SetNegativeWeights(weights), qelta::kOk);
  ASSERT_EQ(cast->SetBaseline(0.25), qelta::kOk);
}

std::string Trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? "" : line.substr(first);
}

// The native text of a network turned into what the KI speaker writes for
// it: noisy-MAX parameters in Henrion form without STRENGTHS, no CAST
// parameters, empty EXTRA_DEFINITION blocks. henrion is the noisy-MAX
// node's PROBABILITIES list.
std::string AsKiLayout(const std::string& native, const std::string& henrion) {
  std::istringstream in(native);
  std::string out;
  std::string line;
  bool after_strengths = false;
  std::string skip_to;  // the line that ends the block being emptied
  while (std::getline(in, line)) {
    const std::string word = Trimmed(line);
    const std::string indent = line.substr(0, line.size() - word.size());
    if (!skip_to.empty()) {
      if (line != skip_to) continue;
      skip_to.clear();
    } else if (word.rfind("EXTRA_DEFINITION =", 0) == 0) {
      // " = ", then "{" one level deeper: the block ends with "};" there.
      skip_to = indent + " };";
      out += line + "\n";
      std::getline(in, line);
    } else if (word.rfind("STRENGTHS =", 0) == 0) {
      after_strengths = true;
      continue;
    } else if (after_strengths) {
      EXPECT_EQ(word.rfind("PROBABILITIES =", 0), 0u) << word;
      line = indent + "PROBABILITIES = (" + henrion + ");";
      after_strengths = false;
    } else if (word.rfind("PWEIGHTS =", 0) == 0 ||
               word.rfind("NWEIGHTS =", 0) == 0 ||
               word.rfind("BASELINE =", 0) == 0) {
      continue;
    }
    out += line + "\n";
  }
  return out;
}

TEST(KiTest, DxpNameWritesTheNativeLayoutWithFourDifferences) {
  VRN_network network;
  BuildMixed(&network);
  TempPath native(".vrn");
  TempPath ki(".dxp");
  ASSERT_EQ(network.WriteFile(native.path(), 0, 0), qelta::kOk)
      << LogText(network);
  ASSERT_EQ(network.WriteFile(ki.path(), 0, 0), qelta::kOk)
      << LogText(network);
  const auto* noisy = static_cast<const VRN_noisyMAX*>(
      network.GetNode(network.FindNode("N"))->Definition());
  VRN_doubleArray items;
  ASSERT_EQ(noisy->GetHenrionProbabilitiesArray(&items), qelta::kOk);
  std::string henrion;
  for (int i = 0; i < items.GetSize(); ++i) {
    if (i > 0) henrion += ", ";
    henrion += qelta::DoubleToFileText(items[i]);
  }
  // The Henrion form scales the parent's column by the leak.
  ASSERT_EQ(henrion, "0.625, 0.375, 0.5, 0.5");
  const std::string native_text = ReadWholeFile(native.path());
  const std::string ki_text = ReadWholeFile(ki.path());
  ASSERT_NE(native_text.find("STRENGTHS"), std::string::npos);
  ASSERT_NE(native_text.find("PWEIGHTS"), std::string::npos);
  ASSERT_NE(native_text.find("QUESTION"), std::string::npos);
  EXPECT_EQ(ki_text, AsKiLayout(native_text, henrion));
  EXPECT_EQ(LogText(network), "");
}

TEST(KiTest, DxpTextOfACptNetworkReadsBackAsNativeText) {
  VRN_network network;
  const int a = network.AddNode(qelta::kDefCpt, "A");
  const int b = network.AddNode(qelta::kDefCpt, "B");
  ASSERT_EQ(network.GetNode(b)->Definition()->SetNumberOfOutcomes(3),
            qelta::kOk);
  ASSERT_EQ(network.AddArc(a, b), qelta::kOk);
  ASSERT_EQ(network.GetNode(a)->Definition()->SetDefinitionFromVector(
                {0.2, 0.8}),
            qelta::kOk);
  ASSERT_EQ(network.GetNode(b)->Definition()->SetDefinitionFromVector(
                {0.1, 0.2, 0.7, 0.3, 0.3, 0.4}),
            qelta::kOk);
  TempPath ki(".dxp");
  ASSERT_EQ(network.WriteFile(ki.path(), 0, 0), qelta::kOk);
  VRN_network back;
  ASSERT_EQ(back.ReadFile(ki.path(), qelta::kFormatVrn, 0), qelta::kOk)
      << LogText(back);
  ExpectSameNetwork(network, back, 0.0);
  // Not a KI file: the KI reader wants its own header.
  VRN_network as_ki;
  EXPECT_EQ(as_ki.ReadFile(ki.path(), 0, 0), qelta::kErrSyntax);
}

TEST(KiTest, LongNodeIdentifiersWrapAndReadBack) {
  VRN_network network;
  const std::string id = "Node_" + std::string(75, 'x');
  ASSERT_GE(network.AddNode(qelta::kDefCpt, id.c_str()), 0);
  TempPath native(".vrn");
  TempPath ki(".dxp");
  ASSERT_EQ(network.WriteFile(native.path(), 0, 0), qelta::kOk);
  ASSERT_EQ(network.WriteFile(ki.path(), 0, 0), qelta::kOk);
  EXPECT_NE(ReadWholeFile(native.path()).find("node " + id + "\n"),
            std::string::npos);
  const std::string ki_text = ReadWholeFile(ki.path());
  EXPECT_EQ(ki_text.find("node " + id), std::string::npos);
  EXPECT_NE(ki_text.find("\n " + id + "\n"), std::string::npos) << ki_text;
  VRN_network back;
  ASSERT_EQ(back.ReadFile(ki.path(), qelta::kFormatVrn, 0), qelta::kOk)
      << LogText(back);
  EXPECT_GE(back.FindNode(id.c_str()), 0);
}

}  // namespace
