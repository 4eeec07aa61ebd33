#include "io/text/ki.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::LogText;
using qelta_test::OutcomeIds;
using qelta_test::ParentIds;
using qelta_test::Table;
using qelta_test::TempPath;
using Strings = std::vector<std::string>;
using Doubles = std::vector<double>;

int ReadText(VRN_network* network, const std::string& text) {
  TempPath file(".dxp", text);
  return network->ReadFile(file.path(), 0, 0);
}

TEST(KiTest, ReadsEveryStatementAndSkipsBadOnes) {
  const std::string text = qelta_test::ReadWholeFile(
      std::string(QELTA_TEST_DATA) + "/ki/all_statements.dxp");
  for (bool crlf : {false, true}) {
    VRN_network network;
    ASSERT_EQ(ReadText(&network, crlf ? qelta_test::WithCrLf(text) : text),
              qelta::kOk);
    EXPECT_EQ(LogText(network),
              "-127 (line 25) : ERROR: 'COLOUR' : Unknown State Field\n"
              "-127 (line 29) : ERROR: 'RECOMMENDABLE' : Unknown Node "
              "Statement\n"
              "-127 (line 30) : ERROR: 'APPNAME' : Unknown Node Field\n"
              "-51 (line 43) : ERROR: Node [Noise] : NOISY_MAX nodes are not "
              "available in this build\n"
              "-51 (line 51) : ERROR: Node [Pressure] : NOISY_MAX nodes are "
              "not available in this build\n"
              "-2 (line 59) : ERROR: Wrong number of Probabilities\n"
              "-127 (line 63) : ERROR: 'LEAK' : Unknown Node Definition "
              "Field\n"
              "-127 (line 64) : ERROR: 'COLOUR' : Unknown Node Definition "
              "Statement\n");
    // Only NOTES sets the comment; the name string gives a repaired id.
    EXPECT_STREQ(network.Header()->GetComment(), "A small pump");
    EXPECT_STREQ(network.Header()->GetName(), "Pump station");
    EXPECT_STREQ(network.Header()->GetId(), "Pump_station");
    const int leak = network.FindNode("Leak");
    const int wet = network.FindNode("Wet_floor");
    ASSERT_GE(leak, 0);
    ASSERT_GE(wet, 0);
    EXPECT_EQ(network.GetNumberOfNodes(), 2);
    const VRN_node* node = network.GetNode(leak);
    EXPECT_STREQ(node->Header().GetName(), "Leak");  // blanks trimmed
    EXPECT_STREQ(node->Header().GetComment(), "Water on the floor");
    EXPECT_STREQ(node->GetQuestion(), "Is there a leak?");
    EXPECT_EQ(node->UserProperties().GetSize(), 2);
    EXPECT_EQ(node->ScreenInfo().x, 120);
    // A fault outcome makes a target, an observable node an observation.
    EXPECT_EQ(node->GetDiagType(), 0);
    EXPECT_EQ(network.GetNode(wet)->GetDiagType(), 1);
    const auto* states = static_cast<const VRN_discDef*>(node->Definition());
    EXPECT_TRUE(states->IsFaultOutcome(0));
    EXPECT_STREQ(states->GetOutcomeLabel(0), "L");
    EXPECT_STREQ(states->GetOutcomeFix(0), "Replace the seal");
    EXPECT_EQ(Table(network, leak), (Doubles{0.12346, 0.87654}));
    EXPECT_EQ(OutcomeIds(network, wet),
              (Strings{"dry", "a_bit_wet", "flooded"}));
    // The left-out noisy-MAX parent takes its arc along; the bad row 0
    // keeps its column and row 1 fills configuration 1.
    EXPECT_EQ(ParentIds(network, wet), (Strings{"Leak"}));
    EXPECT_EQ(Table(network, wet),
              (Doubles{0.33333, 0.33333, 0.33333, 0.05, 0.15, 0.8}));
  }
}

TEST(KiTest, RefusesFilesWithoutTheirFrame) {
  const char* texts[] = {
      "network { }\n",
      "diagnostic net \"x\"\n",
      "diagnostic network \"x\"\nkb { }\n",
      "diagnostic network \"x\"\nkb { }\nnodes { }\nnetwork {\n",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    VRN_network network;
    EXPECT_EQ(ReadText(&network, text), qelta::kErrSyntax);
    EXPECT_NE(LogText(network).find("ERROR: "), std::string::npos);
  }
  VRN_network network;
  EXPECT_EQ(ReadText(&network,
                     "diagnostic network \"x\" kb { } nodes { standard A {"
                     " type : discrete [999999] = 3 D { }; } } network { }"),
            qelta::kOk);
  EXPECT_NE(LogText(network).find("larger than the file"), std::string::npos);
  EXPECT_EQ(network.WriteFile("out.dxp", 0, 0), qelta::kErrOutOfRange);
}

}  // namespace
