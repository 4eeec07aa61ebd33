// Edits the network accepts leave it in a state its files can hold: type
// changes and the temporal arcs and slice evidence they concern, temporal
// arcs into kinds without temporal definitions, and outcome identifiers
// that are all empty (interval outcomes) or all named.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "io/format.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using qelta_test::Def;
using qelta_test::Ints;

constexpr int kCpt = qelta::kDefCpt;

std::string LastMessage(const VRN_network& net) {
  const VRN_errorLog* log = net.ErrorLog();
  const int n = log->GetNumberOfMessages();
  return n == 0 ? std::string() : log->GetMessage(n - 1);
}

// Saves net, reads the text into a fresh network and saves that again: both
// texts must agree.
void ExpectReadsBack(VRN_network& net) {
  std::string text;
  ASSERT_EQ(0, net.WriteString(text, qelta::kExtensionNone)) << LastMessage(net);
  VRN_network back;
  ASSERT_EQ(0, back.ReadString(text.c_str(), qelta::kExtensionNone))
      << LastMessage(back) << "\n" << text;
  std::string again;
  ASSERT_EQ(0, back.WriteString(again, qelta::kExtensionNone));
  EXPECT_EQ(text, again);
}

std::vector<int> Orders(VRN_network& net, int h) {
  VRN_intArray orders;
  EXPECT_EQ(0, net.GetTemporalOrders(h, orders));
  return Ints(orders);
}

std::vector<int> TemporalParents(VRN_network& net, int h, int order) {
  VRN_intArray parents;
  EXPECT_EQ(0, net.GetTemporalParents(h, order, parents));
  return Ints(parents);
}

int PlateNode(VRN_network& net, const char* id, int outcomes) {
  const int h = net.AddNode(kCpt, id);
  EXPECT_EQ(0, Def(net, h)->SetNumberOfOutcomes(outcomes));
  EXPECT_EQ(0, net.setNodeTemporalType(h, qelta::kTemporalPlate));
  return h;
}

TEST(EditReadbackTest, TypeChangesKeepTheTemporalArcsTheArcRuleAllows) {
  VRN_network net;
  const int x = PlateNode(net, "X", 2);
  const int p = PlateNode(net, "P", 2);
  const int y = PlateNode(net, "Y", 2);
  ASSERT_EQ(0, net.AddTemporalArc(x, x, 1));
  ASSERT_EQ(0, net.AddTemporalArc(p, x, 2));
  ASSERT_EQ(0, net.AddTemporalArc(x, y, 1));
  ASSERT_EQ(0, net.SetNumberOfSlices(3));
  ExpectReadsBack(net);

  // DeMorgan feeds only DeMorgan: X -> X stays with its parent, P -> X and
  // X -> Y go, and with them the definitions only they needed.
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefDemorgan));
  EXPECT_TRUE(net.TemporalArcExists(x, x, 1));
  EXPECT_FALSE(net.TemporalArcExists(p, x, 2));
  EXPECT_FALSE(net.TemporalArcExists(x, y, 1));
  EXPECT_EQ(std::vector<int>{1}, Orders(net, x));
  EXPECT_EQ(std::vector<int>{x}, TemporalParents(net, x, 1));
  EXPECT_TRUE(Orders(net, y).empty());
  EXPECT_EQ(qelta::kDefDemorgan,
            Def(net, x)->GetPlateTemporalDefinition(1)->GetType());
  ExpectReadsBack(net);
  EXPECT_EQ(0, net.UpdateBeliefs());

  // Created as DeMorgan, the same arc reads back alike.
  VRN_network direct;
  const int d = direct.AddNode(qelta::kDefDemorgan, "X");
  ASSERT_EQ(0, direct.setNodeTemporalType(d, qelta::kTemporalPlate));
  ASSERT_EQ(0, direct.AddTemporalArc(d, d, 1));
  ExpectReadsBack(direct);

  // A kind the arcs fit keeps them all, with their table dimensions.
  VRN_network kept;
  const int a = PlateNode(kept, "A", 3);
  const int b = PlateNode(kept, "B", 2);
  ASSERT_EQ(0, kept.AddTemporalArc(a, a, 1));
  ASSERT_EQ(0, kept.AddTemporalArc(b, a, 1));
  ASSERT_EQ(0, kept.GetNode(a)->setNodeType(qelta::kDefTruthTable));
  EXPECT_EQ((std::vector<int>{a, b}), TemporalParents(kept, a, 1));
  EXPECT_EQ((std::vector<int>{3, 2, 3}),
            Ints(Def(kept, a)->GetTemporalMatrix(1)->GetDimensions()));
  ExpectReadsBack(kept);
}

TEST(EditReadbackTest, EveryKindAPlateNodeTurnsIntoReadsBack) {
  for (int type : {qelta::kDefTruthTable, qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                   qelta::kDefDemorgan, qelta::kDefCast, qelta::kDefDecision}) {
    SCOPED_TRACE(type);
    VRN_network net;
    const int x = PlateNode(net, "X", 3);
    const int p = PlateNode(net, "P", 2);
    const int y = PlateNode(net, "Y", 2);
    ASSERT_EQ(0, net.AddArc(p, x));
    ASSERT_EQ(0, net.AddTemporalArc(x, x, 1));
    ASSERT_EQ(0, net.AddTemporalArc(p, x, 1));
    ASSERT_EQ(0, net.AddTemporalArc(x, y, 2));
    ASSERT_EQ(0, net.GetNode(x)->setNodeType(type));
    ExpectReadsBack(net);
    const bool holds = VRN_dbn::CanHoldTemporalDefinition(type);
    EXPECT_EQ(holds, net.TemporalArcExists(x, x, 1));
    EXPECT_EQ(holds && VRN_nodeDef::IsArcAllowed(kCpt, type),
              net.TemporalArcExists(p, x, 1));
    EXPECT_EQ(VRN_nodeDef::IsArcAllowed(type, kCpt), net.TemporalArcExists(x, y, 2));
    if (type != qelta::kDefDecision) {
      EXPECT_EQ(0, net.UpdateBeliefs());
    }
  }
}

TEST(EditReadbackTest, KindsWithoutTemporalDefinitionsTakeNoTemporalArcs) {
  VRN_network net;
  const int x = PlateNode(net, "X", 3);
  const int c = net.AddNode(qelta::kDefCast, "C");
  const int d = net.AddNode(qelta::kDefDecision, "D");
  for (int h : {c, d}) ASSERT_EQ(0, net.setNodeTemporalType(h, qelta::kTemporalPlate));
  ASSERT_EQ(0, net.AddTemporalArc(x, x, 1));
  for (int h : {c, d}) {
    SCOPED_TRACE(h);
    EXPECT_EQ(qelta::kErrWrongNodeType, net.AddTemporalArc(h, h, 1));
    EXPECT_FALSE(net.TemporalArcExists(h, h, 1));
    EXPECT_TRUE(Orders(net, h).empty());
  }
  EXPECT_EQ("Temporal arcs cannot lead into node 'D' of type LIST", LastMessage(net));
  EXPECT_EQ(qelta::kErrWrongNodeType, net.AddTemporalArc(x, c, 1));
  EXPECT_EQ("Temporal arcs cannot lead into node 'C' of type CAST", LastMessage(net));
  ExpectReadsBack(net);
  ASSERT_EQ(0, net.DeleteNode(d));  // a decision has no probability

  // A change to CAST drops the temporal arcs and definitions, and with 3
  // outcomes gone to 2, the slice evidence the node can no longer hold.
  ASSERT_EQ(0, net.SetNumberOfSlices(3));
  VRN_nodeVal* value = net.GetNode(x)->Value();
  ASSERT_EQ(0, value->SetTemporalEvidence(2, 2));
  ASSERT_EQ(0, value->SetTemporalEvidence(1, 1));
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefCast));
  EXPECT_FALSE(net.TemporalArcExists(x, x, 1));
  EXPECT_TRUE(Orders(net, x).empty());
  EXPECT_EQ(-2, net.GetNode(x)->Value()->GetTemporalEvidence(2));
  EXPECT_EQ(1, net.GetNode(x)->Value()->GetTemporalEvidence(1));
  ExpectReadsBack(net);
  EXPECT_EQ(0, net.UpdateBeliefs());
  double p = 0.0;
  EXPECT_TRUE(net.CalcPropEvidence(p, false));
  EXPECT_NEAR(0.5, p, 1e-12);
}

TEST(EditReadbackTest, TypeChangesKeepOnlySliceEvidenceTheNewOutcomesHold) {
  VRN_network net;
  const int x = PlateNode(net, "X", 3);
  ASSERT_EQ(0, net.SetNumberOfSlices(4));
  VRN_nodeVal* value = net.GetNode(x)->Value();
  ASSERT_EQ(0, value->SetTemporalEvidence(1, 2));
  ASSERT_EQ(0, value->SetTemporalVirtualEvidence(2, {0.2, 0.3, 0.5}));
  ASSERT_EQ(0, value->SetTemporalEvidence(3, 0));

  // The same outcomes: everything stays.
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefNoisyMax));
  value = net.GetNode(x)->Value();
  EXPECT_EQ(2, value->GetTemporalEvidence(1));
  EXPECT_TRUE(value->IsTemporalVirtualEvidence(2));
  EXPECT_EQ(0, value->GetTemporalEvidence(3));

  // Two outcomes: outcome 2 and the three likelihoods go, outcome 0 stays.
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefDemorgan));
  value = net.GetNode(x)->Value();
  EXPECT_EQ(-2, value->GetTemporalEvidence(1));
  EXPECT_FALSE(value->IsTemporalVirtualEvidence(2));
  EXPECT_EQ(0, value->GetTemporalEvidence(3));
  EXPECT_EQ(0, net.UpdateBeliefs());
  double p = 0.0;
  EXPECT_TRUE(net.CalcPropEvidence(p, false));
  ExpectReadsBack(net);
}

// "Level" of the file has interval outcomes without ids; "Named" has ids.
class OutcomeIdsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, net.ReadFile(QELTA_TEST_DATA "/xml/nodes.xvrn", 0, 0));
    level = net.FindNode("Level");
    named = net.FindNode("Named");
    ASSERT_GE(level, 0);
    ASSERT_GE(named, 0);
    ASSERT_EQ(0, net.WriteString(before, qelta::kExtensionNone));
  }
  VRN_discDef* Disc(int h) { return dynamic_cast<VRN_discDef*>(Def(net, h)); }
  std::string Saved() {
    std::string text;
    EXPECT_EQ(0, net.WriteString(text, qelta::kExtensionNone));
    return text;
  }

  VRN_network net;
  int level = -1, named = -1;
  std::string before;
};

TEST_F(OutcomeIdsTest, OneNamedOutcomeAmongUnnamedOnesIsRefused) {
  VRN_nodeDef* def = Def(net, level);
  EXPECT_EQ(qelta::kErrOutOfRange, def->AddOutcome("s2"));
  EXPECT_EQ("Outcomes of node 'Level' have empty identifiers: 's2' cannot "
            "name only one of them",
            LastMessage(net));
  EXPECT_EQ(qelta::kErrOutOfRange, def->InsertOutcome(0, "s2"));
  EXPECT_EQ(qelta::kErrOutOfRange, def->RenameOutcome(1, "s2"));
  EXPECT_EQ(before, Saved());

  // One unnamed outcome after another, with intervals that still fit.
  ASSERT_EQ(0, def->AddOutcome(nullptr));
  ASSERT_EQ(0, def->InsertOutcome(0, ""));
  EXPECT_EQ(4, def->GetNumberOfOutcomes());
  EXPECT_FALSE(Disc(level)->HasOutcomeIds());
  EXPECT_TRUE(Disc(level)->HasIntervals());
  ExpectReadsBack(net);
  ASSERT_EQ(0, def->SetNumberOfOutcomes(6));
  EXPECT_EQ(6, def->GetNumberOfOutcomes());
  EXPECT_TRUE(Disc(level)->HasIntervals());
  ASSERT_EQ(0, def->SetNumberOfOutcomes(3));
  EXPECT_TRUE(Disc(level)->HasIntervals());
  ExpectReadsBack(net);
}

TEST_F(OutcomeIdsTest, NamedOutcomesStayNamed) {
  VRN_nodeDef* def = Def(net, named);
  EXPECT_EQ(qelta::kErrOutOfRange, def->RenameOutcome(0, ""));
  EXPECT_EQ("Outcomes of node 'Named' have identifiers: outcome 0 cannot be "
            "left without one",
            LastMessage(net));
  ASSERT_EQ(0, def->AddOutcome(""));
  ASSERT_EQ(0, def->InsertOutcome(0, nullptr));
  for (int i = 0; i < def->GetNumberOfOutcomes(); ++i) {
    EXPECT_STRNE("", def->GetOutcomesNames()->Get(i)) << i;
  }
  ExpectReadsBack(net);
}

TEST_F(OutcomeIdsTest, WholeListsNameEveryOutcomeAtOnce) {
  // Renaming all at once names them all.
  VRN_stringArray ids;
  for (const char* id : {"low", "high"}) ids.Add(id);
  ASSERT_EQ(0, Def(net, level)->RenameOutcomes(ids));
  EXPECT_TRUE(Disc(level)->HasOutcomeIds());
  ExpectReadsBack(net);

  // Outcomes added and removed by a new list take its names at the end.
  ASSERT_EQ(0, net.ReadString(before.c_str(), qelta::kExtensionNone));
  level = net.FindNode("Level");
  VRN_idArray three;
  for (const char* id : {"a", "b", "c"}) ASSERT_EQ(0, three.Add(id));
  VRN_intArray mapping;
  for (int m : {1, -1, 0}) mapping.Add(m);
  ASSERT_EQ(0, Def(net, level)->ChangeOrderOfOutcomesWithAddAndRemove(three, mapping));
  EXPECT_STREQ("b", Def(net, level)->GetOutcomesNames()->Get(1));
  ExpectReadsBack(net);

  // A list mixing empty and named ids is refused as a whole.
  VRN_idArray mixed;
  mixed.SetAllowEmpty(true);
  ASSERT_EQ(0, mixed.Add(""));
  ASSERT_EQ(0, mixed.Add("x"));
  EXPECT_EQ(qelta::kErrOutOfRange, Def(net, named)->SetNumberOfOutcomesByIds(mixed));

  // Point values replace the intervals, and with them the empty ids.
  ASSERT_EQ(0, net.ReadString(before.c_str(), qelta::kExtensionNone));
  level = net.FindNode("Level");
  ASSERT_EQ(0, Disc(level)->SetPointValues({1.0, 2.0}));
  EXPECT_TRUE(Disc(level)->HasOutcomeIds());
  ExpectReadsBack(net);
}

TEST_F(OutcomeIdsTest, EveryKindANodeWithoutIdsTurnsIntoReadsBack) {
  for (int type : {qelta::kDefTruthTable, qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                   qelta::kDefDemorgan, qelta::kDefCast, qelta::kDefDecision,
                   qelta::kDefUtility, qelta::kDefEquation, qelta::kDefMau}) {
    SCOPED_TRACE(type);
    ASSERT_EQ(0, net.ReadString(before.c_str(), qelta::kExtensionNone));
    level = net.FindNode("Level");
    ASSERT_EQ(0, net.GetNode(level)->setNodeType(type));
    ExpectReadsBack(net);
  }
  // Files name a truth table's resulting states by outcome id: its outcomes
  // got names and keep them.
  ASSERT_EQ(0, net.ReadString(before.c_str(), qelta::kExtensionNone));
  level = net.FindNode("Level");
  ASSERT_EQ(0, net.GetNode(level)->setNodeType(qelta::kDefTruthTable));
  EXPECT_STREQ("State1", Def(net, level)->GetOutcomesNames()->Get(1));
  EXPECT_TRUE(Disc(level)->HasIntervals());
  EXPECT_EQ(qelta::kErrWrongNodeType, Disc(level)->SetIntervals({0, 1, 2}, true));
  EXPECT_TRUE(Disc(level)->HasOutcomeIds());
}

// ---- Truth tables: only the resulting states are saved, so every column
// must stay one 1.0 among zeros or the read-back table would differ.

std::vector<double> TableOf(VRN_network& net, const char* id) {
  return qelta_test::Items(*Def(net, net.FindNode(id))->GetMatrixConst());
}

// Every column of the node's table is one 1.0 among zeros, and a network
// read from a save holds the same table.
void ExpectDeterministicReadBack(VRN_network& net, const char* id) {
  const std::vector<double> table = TableOf(net, id);
  const int own = Def(net, net.FindNode(id))->GetNumberOfOutcomes();
  for (std::size_t start = 0; start < table.size(); start += own) {
    int ones = 0;
    for (int k = 0; k < own; ++k) {
      const double v = table[start + k];
      EXPECT_TRUE(v == 0.0 || v == 1.0) << "item " << start + k;
      ones += v == 1.0 ? 1 : 0;
    }
    EXPECT_EQ(1, ones) << "column at " << start;
  }
  std::string text;
  ASSERT_EQ(0, net.WriteString(text, qelta::kExtensionNone)) << LastMessage(net);
  VRN_network back;
  ASSERT_EQ(0, back.ReadString(text.c_str(), qelta::kExtensionNone))
      << LastMessage(back);
  EXPECT_EQ(table, TableOf(back, id));
}

class TruthTableReadbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a_ = net_.AddNode(kCpt, "a");
    t_ = net_.AddNode(qelta::kDefTruthTable, "t");
    ASSERT_EQ(0, Def(net_, t_)->SetNumberOfOutcomes(3));
    ASSERT_EQ(0, net_.AddArc(a_, t_));
    ASSERT_EQ(0, Def(net_, t_)->SetDefinitionFromVector({0, 0, 1, 0, 1, 0}));
  }
  VRN_network net_;
  int a_ = -1;
  int t_ = -1;
};

// Any numbers are taken. The files that read a truth table's numbers keep
// them; the XML file, which keeps only resulting states, refuses the save
// naming the node, and leaves neither text nor file.
TEST_F(TruthTableReadbackTest, AnyNumbersAreTakenAndSavedOnlyWhereTheyReadBack) {
  VRN_nodeDef* def = Def(net_, t_);
  const std::vector<std::vector<double>> tables = {
      {1, 0, 0, 0, 0.4, 0.6},  // a spread column
      {1, 0, 0, 0, 0, 0},      // a column of zeros
      {1, 0, 0, 0, 1, 1},      // two states
      {1, 0, 0, 0, 2, -1},
      {1, 0, 0, 1, 1e-17, 0}};
  for (const std::vector<double>& items : tables) {
    ASSERT_EQ(0, def->SetDefinitionFromVector(items));
    EXPECT_EQ(items, TableOf(net_, "t"));
    VRN_doubleArray array;
    for (double v : items) array.Add(v);
    ASSERT_EQ(0, def->SetDefinition(array));
    VRN_matrix matrix(def->GetMatrixConst()->GetDimensions());
    ASSERT_EQ(0, matrix.SetItemsFromVector(items));
    ASSERT_EQ(0, def->SetDefinitionFromMatrix(matrix));
    EXPECT_EQ(items, TableOf(net_, "t"));

    for (const char* suffix : {".vrn", ".dne"}) {
      SCOPED_TRACE(suffix);
      const std::string path = ::testing::TempDir() + "qelta_truth" + suffix;
      ASSERT_EQ(0, net_.WriteFile(path.c_str(), 0, 0)) << LastMessage(net_);
      VRN_network back;
      ASSERT_EQ(0, back.ReadFile(path.c_str(), 0, 0)) << LastMessage(back);
      std::remove(path.c_str());
      EXPECT_EQ(0, back.ErrorLog()->GetNumberOfMessages()) << LastMessage(back);
      ASSERT_GE(back.FindNode("t"), 0);
      EXPECT_EQ(qelta::kDefTruthTable, Def(back, back.FindNode("t"))->GetType());
      EXPECT_EQ(items, TableOf(back, "t"));
    }

    std::string text = "kept";
    net_.ErrorLog()->Flush();
    EXPECT_NE(0, net_.WriteString(text, qelta::kExtensionNone));
    EXPECT_EQ("", text);
    EXPECT_NE(std::string::npos, LastMessage(net_).find("node 't'"))
        << LastMessage(net_);
    const std::string path = ::testing::TempDir() + "qelta_truth.xvrn";
    std::remove(path.c_str());
    EXPECT_NE(0, net_.WriteFile(path.c_str(), 0, 0));
    std::FILE* left = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(nullptr, left);
    if (left != nullptr) std::fclose(left);
  }
  // A wrong count keeps its own answer and the table.
  EXPECT_EQ(qelta::kErrInvalidValue, def->SetDefinitionFromVector({1, 0, 0}));
  ASSERT_EQ(0, def->SetDefinitionFromVector({0, 1, 0, 1, 0, 0}));
  ExpectDeterministicReadBack(net_, "t");
}

TEST_F(TruthTableReadbackTest, OutcomeAndParentEditsKeepColumnsDeterministic) {
  // A new parent state (its columns would be uniform) takes state 0.
  ASSERT_EQ(0, Def(net_, a_)->InsertOutcome(1, "mid"));
  EXPECT_EQ((std::vector<double>{0, 0, 1, 1, 0, 0, 0, 1, 0}), TableOf(net_, "t"));
  ExpectDeterministicReadBack(net_, "t");
  // A new parent copies every column.
  const int b = net_.AddNode(kCpt, "b");
  ASSERT_EQ(0, net_.AddArc(b, t_));
  ExpectDeterministicReadBack(net_, "t");
  // An own outcome inserted before the 1.0s, then the one under a 1.0 removed.
  ASSERT_EQ(0, Def(net_, t_)->InsertOutcome(0, "first"));
  ExpectDeterministicReadBack(net_, "t");
  ASSERT_EQ(0, Def(net_, t_)->RemoveOutcome(3));
  ExpectDeterministicReadBack(net_, "t");
  // Resized with and without children, and renamed with adds and removes.
  ASSERT_EQ(0, Def(net_, t_)->SetNumberOfOutcomes(4));
  ExpectDeterministicReadBack(net_, "t");
  const int c = net_.AddNode(kCpt, "c");
  ASSERT_EQ(0, net_.AddArc(t_, c));
  ASSERT_EQ(0, Def(net_, t_)->SetNumberOfOutcomes(2));
  ExpectDeterministicReadBack(net_, "t");
  VRN_stringArray ids;
  (void)ids.Add("x");
  (void)ids.Add("y");
  (void)ids.Add("z");
  VRN_intArray mapping;
  mapping.Add(-1);
  mapping.Add(1);
  mapping.Add(-1);
  ASSERT_EQ(0, Def(net_, t_)->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping));
  ExpectDeterministicReadBack(net_, "t");
  // A type change from a spread table picks each column's first maximum.
  ASSERT_EQ(0, net_.GetNode(t_)->setNodeType(kCpt));
  std::vector<double> spread(TableOf(net_, "t").size(), 0.3);
  for (std::size_t i = 1; i < spread.size(); i += 3) spread[i] = 0.4;
  ASSERT_EQ(0, Def(net_, t_)->SetDefinitionFromVector(spread));
  ASSERT_EQ(0, net_.GetNode(t_)->setNodeType(qelta::kDefTruthTable));
  ExpectDeterministicReadBack(net_, "t");
}

TEST_F(TruthTableReadbackTest, RandomTablesInvalidateWhatDependsOnThem) {
  const int c = net_.AddNode(kCpt, "c");
  ASSERT_EQ(0, net_.AddArc(t_, c));
  ASSERT_EQ(0, net_.UpdateBeliefs());
  ASSERT_TRUE(net_.GetNode(c)->Value()->IsValueValid());
  VRN_randomGenerator generator(11);
  ASSERT_EQ(0, Def(net_, t_)->MakeRandom(generator));
  EXPECT_FALSE(net_.GetNode(t_)->Value()->IsValueValid());
  EXPECT_FALSE(net_.GetNode(c)->Value()->IsValueValid());
  ExpectDeterministicReadBack(net_, "t");
}

TEST(EditReadbackTest, TemporalTruthTablesTakeAnyNumbers) {
  VRN_network net;
  const int x = PlateNode(net, "x", 2);
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefTruthTable));
  ASSERT_EQ(0, net.AddTemporalArc(x, x, 1));
  VRN_doubleArray items;
  for (double v : {0.0, 1.0, 0.5, 0.5}) items.Add(v);
  ASSERT_EQ(0, Def(net, x)->SetTemporalDefinition(1, items));
  // The XML file keeps resulting states only: the save is refused.
  std::string text;
  EXPECT_NE(0, net.WriteString(text, qelta::kExtensionNone));
  EXPECT_NE(std::string::npos, LastMessage(net).find("node 'x'"))
      << LastMessage(net);
  items[2] = 1.0;
  items[3] = 0.0;
  ASSERT_EQ(0, Def(net, x)->SetTemporalDefinition(1, items));
  ExpectReadsBack(net);
}

// ---- Interval edits: none leaves intervals the node's own setters refuse;
// such an edit answers -4 and changes nothing, and every save reads back.

std::vector<double> Bounds(VRN_network& net, int h) {
  std::vector<double> bounds;
  EXPECT_EQ(0, static_cast<VRN_discDef*>(Def(net, h))->GetIntervals(&bounds));
  return bounds;
}

TEST(EditReadbackTest, OutcomeSplitsBesideInfiniteEndsAreRefused) {
  const double inf = INFINITY;
  struct Case {
    std::vector<double> bounds;
    int position;  // -1: appended
    int refused_after;  // inserts that succeed before the refusal
  };
  const Case cases[] = {{{0, 1, inf}, -1, 1},   // 1, inf, inf, then a third
                        {{-inf, 0, 1}, 0, 1},   // -inf, -inf, 0, then a third
                        {{-inf, inf, inf}, 0, 0},   // the middle is no number
                        {{-inf, inf, inf}, -1, 0}};
  for (const Case& c : cases) {
    VRN_network net;
    const int x = net.AddNode(kCpt, "x");
    const int child = net.AddNode(kCpt, "child");
    ASSERT_EQ(0, net.AddArc(x, child));
    auto* def = static_cast<VRN_discDef*>(Def(net, x));
    ASSERT_EQ(0, def->SetIntervals(c.bounds, false));
    for (int i = 0; i < c.refused_after; ++i) {
      const int at = c.position < 0 ? def->GetNumberOfOutcomes() : c.position;
      ASSERT_EQ(0, def->InsertOutcome(at, ("s" + std::to_string(i)).c_str()));
    }
    const std::vector<double> bounds = Bounds(net, x);
    const std::vector<double> table = qelta_test::Table(net, child);
    const int at = c.position < 0 ? def->GetNumberOfOutcomes() : c.position;
    EXPECT_EQ(qelta::kErrInvalidValue, def->InsertOutcome(at, "more"));
    if (c.position < 0) {
      EXPECT_EQ(qelta::kErrInvalidValue, def->AddOutcome("more"));
    }
    EXPECT_EQ(bounds, Bounds(net, x));
    EXPECT_EQ(static_cast<int>(bounds.size()) - 1, def->GetNumberOfOutcomes());
    EXPECT_EQ(table, qelta_test::Table(net, child));
    ExpectReadsBack(net);
    // New bounds are still taken whole, whatever the old ones were.
    ASSERT_EQ(0, def->SetIntervals({0, 1, 2, 3, 4, 5}, false));
    EXPECT_EQ(5, def->GetNumberOfOutcomes());
    ExpectReadsBack(net);
  }
}

TEST(EditReadbackTest, EquationBoundsKeepTheIntervalsInOrder) {
  VRN_network net;
  const int e = net.AddNode(qelta::kDefEquation, "E");
  auto* eq = static_cast<VRN_equation*>(Def(net, e));
  ASSERT_EQ(0, eq->SetBounds(-2, 2));
  ASSERT_EQ(0, eq->SetDiscIntervals(-2, 2, {{"a", 0}, {"b", 2}}));
  // The lower bound at or past the first boundary.
  EXPECT_EQ(qelta::kErrInvalidValue, eq->SetBounds(1, 5));
  EXPECT_EQ(qelta::kErrInvalidValue, eq->SetBounds(0, 5));
  EXPECT_EQ(-2, eq->GetLowerBound());
  EXPECT_EQ(2, eq->GetUpperBound());
  EXPECT_EQ(2, eq->GetDiscIntervals().back().boundary);
  ExpectReadsBack(net);
  // The upper bound at or below the second-to-last boundary.
  ASSERT_EQ(0, eq->SetDiscIntervals(0, 4, {{"a", 2}, {"b", 4}}));
  EXPECT_EQ(qelta::kErrInvalidValue, eq->SetBounds(5, 6));
  EXPECT_EQ(qelta::kErrInvalidValue, eq->SetBounds(0, 0));
  EXPECT_EQ(qelta::kErrInvalidValue, eq->SetBounds(-1, 2));
  EXPECT_EQ(0, eq->GetLowerBound());
  EXPECT_EQ(4, eq->GetUpperBound());
  // Only the last boundary moves.
  ASSERT_EQ(0, eq->SetBounds(-1, 9));
  EXPECT_EQ(2, eq->GetDiscIntervals()[0].boundary);
  EXPECT_EQ(9, eq->GetDiscIntervals()[1].boundary);
  ExpectReadsBack(net);
}

TEST(EditReadbackTest, EmptyIntervalsDoNotBecomeAnEquationsDiscretization) {
  VRN_network net;
  const int x = net.AddNode(kCpt, "x");
  const int child = net.AddNode(kCpt, "child");
  ASSERT_EQ(0, net.AddArc(x, child));
  auto* def = static_cast<VRN_discDef*>(Def(net, x));
  ASSERT_EQ(0, def->SetIntervals({0, 1, 1, 2}, false));
  EXPECT_EQ(qelta::kErrInvalidValue, net.GetNode(x)->setNodeType(qelta::kDefEquation));
  EXPECT_EQ(kCpt, Def(net, x)->GetType());
  EXPECT_EQ((std::vector<double>{0, 1, 1, 2}), Bounds(net, x));
  ExpectReadsBack(net);
  // Rising bounds become its intervals, unnamed ones keeping their count.
  ASSERT_EQ(0, def->SetIntervals({0, 1, 1.5, 2}, true));
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefEquation));
  EXPECT_EQ(3, Def(net, x)->GetDiscreteOutcomeCount());
  ExpectReadsBack(net);
  ASSERT_EQ(0, net.GetNode(x)->setNodeType(qelta::kDefTruthTable));
  EXPECT_EQ(3, Def(net, x)->GetNumberOfOutcomes());
  EXPECT_EQ(6u, qelta_test::Table(net, child).size());
  ExpectReadsBack(net);
}

}  // namespace
