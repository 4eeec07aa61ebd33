#include "io/text/ergo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/noisy_max.h"
#include "io/format.h"
#include "io/text/foreign_test_util.h"
#include "io/text/ki.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using namespace qelta_test;

int ReadText(VRN_network* network, const std::string& text) {
  TempPath file(".erg", text);
  return network->ReadFile(file.path(), 0, 0);
}

TEST(ErgoTest, ReadsEverySectionAndSkipsBadItems) {
  const std::string text = qelta_test::ReadWholeFile(
      std::string(QELTA_TEST_DATA) + "/ergo/all_statements.erg");
  for (bool crlf : {false, true}) {
    VRN_network network;
    ASSERT_EQ(ReadText(&network, crlf ? qelta_test::WithCrLf(text) : text),
              qelta::kOk)
        << LogText(network);
    EXPECT_EQ(LogText(network),
              "-2 (line 3) : ERROR: '1' : Invalid number of states\n"
              "-2 (line 24) : ERROR: [Cancer] Duplicated Identifier\n");
    const int smoker = network.FindNode("Smoker");
    const int cancer = network.FindNode("Cancer");
    ASSERT_GE(smoker, 0);
    ASSERT_GE(cancer, 0);
    EXPECT_STREQ(network.GetNode(smoker)->Header().GetComment(), "Smoker");
    EXPECT_EQ(ParentIds(network, cancer), (Strings{"Smoker"}));
    EXPECT_EQ(Table(network, smoker), (Doubles{0.3, 0.7}));
    EXPECT_EQ(Table(network, cancer), (Doubles{0.1, 0.9, 0.4, 0.6}));
    // The duplicate name keeps its generated id. A table size of 0 makes a
    // noisy-MAX node of cumulative columns, its outcomes named from the
    // absent one and its CPT parent's strengths running from the last.
    const int third = network.FindNode("Node2");
    ASSERT_GE(third, 0);
    EXPECT_STREQ(network.GetNode(third)->Header().GetName(), "Cancer");
    EXPECT_EQ(OutcomeIds(network, third), (Strings{"high", "mid_dle", "low"}));
    EXPECT_EQ(ParentIds(network, third), (Strings{"Smoker"}));
    const auto* noisy =
        dynamic_cast<const VRN_noisyMAX*>(network.GetNode(third)->Definition());
    ASSERT_NE(noisy, nullptr);
    const VRN_doubleArray& items = noisy->Parameters().GetItems();
    const Doubles expected = {0.1, 0.4, 0.5, 0, 0, 1, 0.3, 0.5, 0.2};
    ASSERT_EQ(items.GetSize(), 9);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(items[i], expected[i], 1e-15);
    EXPECT_EQ(noisy->GetParentOutcomeStrengths(0)[0], 1);
    const int fourth = network.FindNode("xward");
    ASSERT_GE(fourth, 0);
    EXPECT_EQ(OutcomeIds(network, fourth), (Strings{"on", "off"}));
    EXPECT_EQ(network.GetNode(third)->ScreenInfo().x, 50);
    EXPECT_EQ(network.GetNode(fourth)->ScreenInfo().y, 80);
  }
}

TEST(ErgoTest, NoisyMaxColumnsComeFromCumulativeLists) {
  const struct {
    Doubles cumulative;
    Doubles column;
  } cases[] = {
      {{0.2, 0.7}, {0.3, 0.5, 0.2}},
      {{0.4}, {0.6, 0.4}},
      // Numbers out of range are clamped, and so are negative differences.
      {{1.5}, {0.0, 1.0}},
      {{0.8, 0.2}, {0.5, 0.0, 0.5}},
  };
  for (const auto& c : cases) {
    const Doubles column = qelta::ErgoNoisyMaxColumn(c.cumulative);
    ASSERT_EQ(column.size(), c.column.size());
    for (std::size_t i = 0; i < column.size(); ++i) {
      EXPECT_NEAR(column[i], c.column[i], 1e-15);
    }
  }
}

TEST(ErgoTest, CountsAndSectionsDecideTheResult) {
  const struct {
    const char* text;
    int status;
    int nodes;
  } cases[] = {
      {"0\n", qelta::kOk, 0},
      {"Hello\n", qelta::kErrSyntax, 0},
      {"-1\n", qelta::kErrOutOfRange, 0},
      {"1\n2\n0\n", qelta::kErrOutOfRange, 0},         // no section
      {"99999\n2\n", qelta::kErrSyntax, 0},            // above the size
      {"1\n2\n0\n/* Nonsense */\n", qelta::kErrSyntax, 0},
      {"1\n2\n0\n/* Prob */\n2\n0.5\n", qelta::kErrNoMoreTokens, 0},  // cut
      {"1\n2\n0\n/* Prob */\n2 0.5 0.5\n", qelta::kOk, 1},
      {"1\n2\n0\n/* Prob */ 2 0.5 0.5 /* Labels */ a\n",
       qelta::kErrNoMoreTokens, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    VRN_network network;
    EXPECT_EQ(ReadText(&network, c.text), c.status) << LogText(network);
    EXPECT_EQ(network.GetNumberOfNodes(), c.nodes);
  }
}

TEST(ErgoTest, WritesCptsAndTruthTablesOnly) {
  VRN_network network;
  const int a = network.AddNode(qelta::kDefCpt, "A");
  const int b = network.AddNode(qelta::kDefTruthTable, "B");
  ASSERT_EQ(network.AddArc(a, b), qelta::kOk);
  ASSERT_EQ(network.GetNode(a)->Definition()->SetDefinitionFromVector(
                {0.6721176592, 1 - 0.6721176592}),
            qelta::kOk);
  network.GetNode(b)->ScreenInfo().x = 7;
  // The truth table comes back as a CPT of the same table.
  TempPath first(".erg");
  ASSERT_EQ(network.WriteFile(first.path(), 0, 0), qelta::kOk);
  const std::string text = qelta_test::ReadWholeFile(first.path());
  VRN_network copy;
  ASSERT_EQ(ReadText(&copy, qelta_test::WithCrLf(text)), qelta::kOk);
  for (const char* id : {"A", "B"}) {
    const Doubles a = Table(network, network.FindNode(id));
    const Doubles b = Table(copy, copy.FindNode(id));
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_NEAR(a[i], b[i], qelta_test::FileNumberTolerance());
    }
  }
  EXPECT_EQ(copy.GetNode(copy.FindNode("B"))->ScreenInfo().x, 7);
  TempPath second(".erg");
  ASSERT_EQ(copy.WriteFile(second.path(), 0, 0), qelta::kOk);
  EXPECT_EQ(qelta_test::ReadWholeFile(second.path()), text);

  EXPECT_EQ(network.WriteFile("/dev/full", qelta::kFormatErgo, 0),
            qelta::kErrFileWrite);
  EXPECT_NE(LogText(network).find("-101"), std::string::npos);
  ASSERT_GE(network.AddNode(qelta::kDefDecision, "D"), 0);
  TempPath refused(".erg");
  EXPECT_EQ(network.WriteFile(refused.path(), 0, 0), qelta::kErrOutOfRange);
  EXPECT_NE(LogText(network).find("cannot be saved in Ergo format"),
            std::string::npos);
}

// ---- The KI format.

int ReadKi(VRN_network* network, const std::string& text) {
  TempPath file(".dxp", text);
  return network->ReadFile(file.path(), 0, 0);
}

TEST(KiTest, ReadsEveryStatementAndSkipsBadOnes) {
  std::string text = qelta_test::ReadWholeFile(
      std::string(QELTA_TEST_DATA) + "/ki/all_statements.dxp");
  {
    // A row of the wrong length leaves a table that cannot be built.
    VRN_network network;
    EXPECT_EQ(ReadKi(&network, text), qelta::kErrFileIo);
    EXPECT_NE(LogText(network).find(
                  "-2 (line 59) : ERROR: Wrong number of Probabilities\n"),
              std::string::npos);
  }
  const std::string short_row = "(0) ; 0.7, 0.2 ;";
  ASSERT_NE(text.find(short_row), std::string::npos);
  text.replace(text.find(short_row), short_row.size(), "(0) ; 0.7, 0.2, 0.1 ;");
  for (bool crlf : {false, true}) {
    VRN_network network;
    ASSERT_EQ(ReadKi(&network, crlf ? qelta_test::WithCrLf(text) : text),
              qelta::kOk);
    EXPECT_EQ(LogText(network),
              "-127 (line 25) : ERROR: 'COLOUR' : Unknown State Field\n"
              "-127 (line 29) : ERROR: 'RECOMMENDABLE' : Unknown Node "
              "Statement\n"
              "-127 (line 30) : ERROR: 'APPNAME' : Unknown Node Field\n"
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
    // Rows fill configurations 0 and 1, which swap when Noise's outcomes
    // are reversed.
    EXPECT_EQ(ParentIds(network, wet), (Strings{"Leak", "Noise"}));
    const Doubles table = Table(network, wet);
    EXPECT_EQ(Doubles(table.begin(), table.begin() + 6),
              (Doubles{0.05, 0.15, 0.8, 0.7, 0.2, 0.1}));
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
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    VRN_network network;
    EXPECT_EQ(ReadKi(&network, text), qelta::kErrSyntax);
    EXPECT_NE(LogText(network).find("ERROR: "), std::string::npos);
  }
  VRN_network network;
  EXPECT_EQ(ReadKi(&network,
                     "diagnostic network \"x\" kb { } nodes { standard A {"
                     " type : discrete [999999] = 3 D { }; } } network { }"),
            qelta::kErrFileIo);
  EXPECT_NE(LogText(network).find("larger than the file"), std::string::npos);
  EXPECT_EQ(network.WriteFile("out.dxp", qelta::kFormatKi, 0),
            qelta::kErrOutOfRange);
}

}  // namespace
