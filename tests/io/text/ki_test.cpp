#include "io/text/ki.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/noisy_max.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using namespace qelta_test;

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
              "-2 (line 59) : ERROR: Wrong number of Probabilities\n"
              "-127 (line 63) : ERROR: 'LEAK' : Unknown Node Definition "
              "Field\n"
              "-127 (line 64) : ERROR: 'COLOUR' : Unknown Node Definition "
              "Statement\n"
              "-2 (line 71) : ERROR: '5' : No such parent position\n"
              "-2 (line 75) : ERROR: predAbsentStates entry 2 has no parent\n"
              "-127 (line 78) : ERROR: 'PROB' : Unknown Node Definition "
              "Field\n");
    // Only NOTES sets the comment; the name string gives a repaired id.
    EXPECT_STREQ(network.Header()->GetComment(), "A small pump");
    EXPECT_STREQ(network.Header()->GetName(), "Pump station");
    EXPECT_STREQ(network.Header()->GetId(), "Pump_station");
    const int leak = network.FindNode("Leak");
    const int wet = network.FindNode("Wet_floor");
    ASSERT_GE(leak, 0);
    ASSERT_GE(wet, 0);
    EXPECT_EQ(network.GetNumberOfNodes(), 4);
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
    // The bad row 0 keeps its column and row 1 fills configuration 1, which
    // moves to 0 when Noise's outcomes are reversed.
    EXPECT_EQ(ParentIds(network, wet), (Strings{"Leak", "Noise"}));
    const Doubles table = Table(network, wet);
    EXPECT_EQ(Doubles(table.begin(), table.begin() + 6),
              (Doubles{0.05, 0.15, 0.8, 0.33333, 0.33333, 0.33333}));
    // A ci node is noisy-MAX: rows by parent outcome, the leak last, its
    // own outcomes reversed; CLASSTYPE makes one too.
    const int noise = network.FindNode("Noise");
    const auto* noisy =
        dynamic_cast<const VRN_noisyMAX*>(network.GetNode(noise)->Definition());
    ASSERT_NE(noisy, nullptr);
    EXPECT_EQ(OutcomeIds(network, noise), (Strings{"b", "a"}));
    EXPECT_EQ(Table(network, noise), (Doubles{0.3, 0.7, 0, 1, 0.9, 0.1}));
    EXPECT_EQ(network.GetNode(network.FindNode("Pressure"))
                  ->Definition()
                  ->GetType(),
              qelta::kDefNoisyMax);
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
