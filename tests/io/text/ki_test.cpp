// The KI format: diagnostic roles read from node descriptions, and the
// native text layout written for a "dxp" name.
#include "io/text/ki.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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
  const struct {
    const char* id;
    bool fault;
    const char* flags;
    int role;
  } nodes[] = {{"Watched", true, "OBSERVABLE : TRUE;", 1},
               {"Required", true, "OBSERVABLE : FALSE; MANDATORY : TRUE;", 1},
               {"Hidden", true, "OBSERVABLE : FALSE; MANDATORY : FALSE;", 0},
               {"Gauge", false, "OBSERVABLE : TRUE;", 1},
               {"Helper", false, "", 2}};
  std::string text = "diagnostic network \"roles\"\nkb { }\nnodes {\n";
  for (const auto& n : nodes) text += KiNode(n.id, n.fault, n.flags);
  TempPath file(".dxp", text + "}\nnetwork { }\n");
  VRN_network network;
  ASSERT_EQ(network.ReadFile(file.path(), 0, 0), qelta::kOk)
      << LogText(network);
  EXPECT_EQ(LogText(network), "");
  for (const auto& node : nodes) {
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
  const int types[] = {qelta::kDefCpt, qelta::kDefNoisyMax, qelta::kDefCast,
                       qelta::kDefCast};
  const char* ids[] = {"A", "N", "B", "C"};
  for (int i = 0; i < 4; ++i) ASSERT_EQ(network->AddNode(types[i], ids[i]), i);
  ASSERT_EQ(network->AddArc(0, 1), qelta::kOk);
  ASSERT_EQ(network->AddArc(2, 3), qelta::kOk);
  VRN_node* node = network->GetNode(0);
  ASSERT_EQ(node->Definition()->SetDefinitionFromVector({0.25, 0.75}),
            qelta::kOk);
  auto* states = static_cast<VRN_discDef*>(node->Definition());
  (void)states->SetFaultOutcome(0, true);
  (void)states->SetOutcomeLabel(0, "F");
  (void)node->SetDiagType(1);
  node->SetRanked(true);
  node->SetQuestion("Is it?");
  VRN_doubleArray parameters, weights;
  for (double v : {0.25, 0.75, 0.0, 1.0, 0.5, 0.5}) parameters.Add(v);
  ASSERT_EQ(static_cast<VRN_noisyMAX*>(network->GetNode(1)->Definition())
                ->LoadParameters(parameters),
            qelta::kOk);
  auto* cast = static_cast<VRN_cast*>(network->GetNode(3)->Definition());
  weights.Add(0.5);
  ASSERT_EQ(cast->SetPositiveWeights(weights), qelta::kOk);
  ASSERT_EQ(cast->SetNegativeWeights(weights), qelta::kOk);
  ASSERT_EQ(cast->SetBaseline(0.25), qelta::kOk);
}

// The native text of a network turned into what the KI speaker writes for
// it: noisy-MAX parameters in Henrion form without STRENGTHS, no CAST
// parameters, empty EXTRA_DEFINITION blocks. henrion is the noisy-MAX
// node's PROBABILITIES list.
std::string AsKiLayout(const std::string& native, const std::string& henrion) {
  std::istringstream in(native);
  std::string out, line, skip_to;  // skip_to: the line ending an emptied block
  while (std::getline(in, line)) {
    const std::size_t at = std::min(line.find_first_not_of(' '), line.size());
    const std::string indent = line.substr(0, at);
    auto starts = [&](const char* key) {
      return line.compare(at, std::strlen(key), key) == 0;
    };
    if (!skip_to.empty()) {
      if (line != skip_to) continue;
      skip_to.clear();
    } else if (starts("EXTRA_DEFINITION =")) {
      // Its "{" comes on the next line; the block ends with "};" there.
      skip_to = indent + " };";
      out += line + "\n";
      std::getline(in, line);
    } else if (starts("STRENGTHS =")) {
      std::getline(in, line);
      EXPECT_NE(line.find("PROBABILITIES ="), std::string::npos) << line;
      line = indent + "PROBABILITIES = (" + henrion + ");";
    } else if (starts("PWEIGHTS =") || starts("NWEIGHTS =") ||
               starts("BASELINE =")) {
      continue;
    }
    out += line + "\n";
  }
  return out;
}

TEST(KiTest, DxpNameWritesTheNativeLayoutWithFourDifferences) {
  VRN_network network;
  BuildMixed(&network);
  TempPath native(".vrn"), ki(".dxp");
  // The layout keeps neither N's parent's outcome order nor C's
  // parameters: each is refused, naming the node, before a file exists.
  std::remove(ki.path());
  for (const char* id : {"N", "C"}) {
    network.ErrorLog()->Flush();
    EXPECT_EQ(network.WriteFile(ki.path(), 0, 0), qelta::kErrOutOfRange);
    EXPECT_NE(LogText(network).find(std::string("Node [") + id + "] cannot be saved"),
              std::string::npos)
        << LogText(network);
    EXPECT_EQ(std::fopen(ki.path(), "rb"), nullptr);
    if (*id == 'N') {
      ASSERT_EQ(network.RemoveArc(0, 1), qelta::kOk);
    } else {
      ASSERT_EQ(network.GetNode(3)->setNodeType(qelta::kDefCpt), qelta::kOk);
      ASSERT_EQ(network.GetNode(3)->setNodeType(qelta::kDefCast), qelta::kOk);
    }
  }
  network.ErrorLog()->Flush();
  ASSERT_EQ(network.WriteFile(native.path(), 0, 0), qelta::kOk);
  ASSERT_EQ(network.WriteFile(ki.path(), 0, 0), qelta::kOk) << LogText(network);
  const std::string native_text = ReadWholeFile(native.path());
  const std::string ki_text = ReadWholeFile(ki.path());
  ASSERT_NE(native_text.find("STRENGTHS"), std::string::npos);
  ASSERT_NE(native_text.find("PWEIGHTS"), std::string::npos);
  ASSERT_NE(native_text.find("QUESTION"), std::string::npos);
  EXPECT_EQ(ki_text, AsKiLayout(native_text, "0.5, 0.5"));
  EXPECT_EQ(LogText(network), "");
  VRN_network back;
  ASSERT_EQ(back.ReadFile(ki.path(), qelta::kFormatVrn, 0), qelta::kOk) << LogText(back);
  ExpectSameNetwork(network, back, 0.0);
}

// A CPT network with a node identifier long enough to wrap.
TEST(KiTest, DxpTextOfACptNetworkReadsBackAsNativeText) {
  VRN_network network;
  const std::string id = "Node_" + std::string(75, 'x');
  TempPath hugin(".net", "net { } node " + id + " { states = (\"a\" \"b\"); }"
                         " node B { states = (\"b0\" \"b1\" \"b2\"); }"
                         " potential (" + id + ") { data = (0.2 0.8); }"
                         " potential (B | " + id + ") {"
                         " data = ((0.1 0.2 0.7)(0.3 0.3 0.4)); }");
  ASSERT_EQ(network.ReadFile(hugin.path(), 0, 0), qelta::kOk)
      << LogText(network);
  ASSERT_EQ(network.GetNumberOfNodes(), 2);
  TempPath ki(".dxp");
  ASSERT_EQ(network.WriteFile(ki.path(), 0, 0), qelta::kOk);
  const std::string ki_text = ReadWholeFile(ki.path());
  EXPECT_EQ(ki_text.find("node " + id), std::string::npos);
  EXPECT_NE(ki_text.find("\n " + id + "\n"), std::string::npos) << ki_text;
  VRN_network back;
  ASSERT_EQ(back.ReadFile(ki.path(), qelta::kFormatVrn, 0), qelta::kOk)
      << LogText(back);
  ExpectSameNetwork(network, back, 0.0);
  // Not a KI file: the KI reader wants its own header.
  VRN_network as_ki;
  EXPECT_EQ(as_ki.ReadFile(ki.path(), 0, 0), qelta::kErrSyntax);
}

}  // namespace
