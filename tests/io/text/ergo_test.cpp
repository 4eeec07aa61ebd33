#include "io/text/ergo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/noisy_max.h"
#include "io/format.h"
#include "io/text/foreign_test_util.h"
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
              "-2 (line 7) : ERROR: '9' : Invalid parent number\n"
              "-2 (line 21) : ERROR:'3' : Invalid table size\n"
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
      {"1\n2\n0\n/* Prob */\n2\n0.5\n", qelta::kErrSyntax, 0},
      {"1\n2\n0\n/* Prob */\n2 0.5 0.5\n", qelta::kOk, 1},
      {"1\n2\n0\n/* Prob */ 2 0.5 0.5 /* Labels */ a\n", qelta::kErrSyntax,
       0},
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

}  // namespace
