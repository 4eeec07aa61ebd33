#include "network/cases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "equations/ext_functions.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

constexpr int kEquation = 4;
constexpr int kPlate = 3;

using Pairs = std::vector<std::pair<int, int>>;

// A node with `count` outcomes.
int AddNodeWithOutcomes(VRN_network& net, const char* id, int count) {
  int h = net.AddNode(kCpt, id);
  EXPECT_GE(h, 0);
  EXPECT_EQ(net.GetNode(h)->Definition()->SetNumberOfOutcomes(count), 0);
  return h;
}

int OutcomeOf(const VRN_case& c, int entry) {
  int node = -1;
  int outcome = -1;
  EXPECT_EQ(c.GetEvidence(entry, node, outcome), 0);
  return outcome;
}

std::vector<double> SoftOf(const VRN_case& c, int entry) {
  int node = -1;
  std::vector<double> soft;
  EXPECT_EQ(c.GetVirtualEvidence(entry, node, soft), 0);
  return soft;
}

Pairs SlicesOf(const VRN_case& c, int entry) {
  int node = -1;
  Pairs pairs;
  EXPECT_EQ(c.GetTemporalEvidence(entry, node, pairs), 0);
  return pairs;
}

TEST(CasesTest, NamesAreRequiredAndUnique) {
  VRN_network net;
  EXPECT_EQ(net.AddCase(""), nullptr);
  EXPECT_EQ(net.AddCase(nullptr), nullptr);
  VRN_case* a = net.AddCase("A");
  VRN_case* b = net.AddCase("B");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(net.AddCase("A"), nullptr);
  EXPECT_EQ(net.GetNumberOfCases(), 2);
  // Renaming: another case's name is refused, the own name accepted.
  EXPECT_EQ(b->SetName("A"), -32);
  EXPECT_EQ(b->GetName(), "B");
  EXPECT_EQ(b->SetName(""), -30);
  EXPECT_EQ(b->SetName("B"), 0);
  EXPECT_EQ(b->SetName("a"), 0);  // exact comparison
}

TEST(CasesTest, EvidenceSettersCheckNodeOutcomeAndDuplicates) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 2);
  VRN_case* c = net.AddCase("C");
  EXPECT_EQ(c->SetEvidence(99, 0), -2);
  EXPECT_EQ(c->SetEvidence(a, 1), 0);
  EXPECT_EQ(c->SetEvidence(a, 1), -32);
  EXPECT_EQ(c->SetContEvidence(a, 2.5), -32);
  // A failed setter leaves no half-made entry behind.
  EXPECT_EQ(c->SetEvidence(b, 2), -2);
  EXPECT_EQ(c->SetVirtualEvidence(b, {0.1, 0.2, 0.7}), -2);
  EXPECT_EQ(c->SetTemporalEvidence(b, 0, -1), -4);
  EXPECT_EQ(c->SetTemporalEvidence(b, 5, 0), -2);
  EXPECT_EQ(c->GetNumberOfEvidence(), 1);
  EXPECT_EQ(c->SetVirtualEvidence(b, {0.3, 0.7}), 0);
  EXPECT_EQ(c->GetNumberOfEvidence(), 2);
  EXPECT_EQ(c->GetEvidenceNode(1), b);
  EXPECT_EQ(c->GetEvidenceNode(2), -2);
  // The node list holds live nodes, each once.
  EXPECT_EQ(c->AddNode(7), -2);
  EXPECT_EQ(c->AddNode(a), 0);
  EXPECT_EQ(c->AddNode(a), 0);
  EXPECT_EQ(c->GetNumberOfNodes(), 1);
  EXPECT_EQ(c->GetNode(1), -2);
}

TEST(CasesTest, GettersAnswerOnlyTheirOwnKind) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 2);
  int d = AddNodeWithOutcomes(net, "D", 2);
  int e = AddNodeWithOutcomes(net, "E", 2);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 2), 0);
  ASSERT_EQ(c->SetContEvidence(b, 1.5), 0);
  ASSERT_EQ(c->SetVirtualEvidence(d, {0.2, 0.8}), 0);
  ASSERT_EQ(c->SetTemporalEvidence(e, 1, 4), 0);
  int node = -7;
  int outcome = -7;
  double value = 0;
  std::vector<double> soft;
  Pairs pairs;
  EXPECT_EQ(c->GetContEvidence(0, node, value), -51);
  EXPECT_EQ(node, -7);  // untouched on failure
  EXPECT_EQ(OutcomeOf(*c, 0), 2);
  EXPECT_EQ(c->GetContEvidence(1, node, value), 0);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(c->GetVirtualEvidence(1, node, soft), -51);
  EXPECT_EQ(SoftOf(*c, 2), (std::vector<double>{0.2, 0.8}));
  EXPECT_EQ(c->GetTemporalEvidence(2, node, pairs), -51);
  EXPECT_EQ(SlicesOf(*c, 3), (Pairs{{4, 1}}));
  EXPECT_EQ(c->GetEvidence(4, node, outcome), -2);
  EXPECT_EQ(c->GetEvidence(-1, node, outcome), -2);
}

TEST(CasesTest, TemporalEvidenceAppendsSlicesOnce) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 3);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetTemporalEvidence(a, 0, 0), 0);
  EXPECT_EQ(c->SetTemporalEvidence(a, 2, 3), 0);
  EXPECT_EQ(c->SetTemporalEvidence(a, 1, 3), -32);
  EXPECT_EQ(c->SetTemporalEvidence(a, 3, 5), -2);
  EXPECT_EQ(c->SetTemporalEvidence(a, 1, -2), -4);
  EXPECT_EQ(SlicesOf(*c, 0), (Pairs{{0, 0}, {3, 2}}));
  // Evidence of another kind is not turned into per-slice evidence.
  ASSERT_EQ(c->SetEvidence(b, 1), 0);
  EXPECT_EQ(c->SetTemporalEvidence(b, 0, 0), -32);
  EXPECT_EQ(OutcomeOf(*c, 1), 1);
}

TEST(CasesTest, OutcomeInsertionShiftsEvidence) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 2);
  int d = AddNodeWithOutcomes(net, "D", 3);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 1), 0);
  ASSERT_EQ(c->SetVirtualEvidence(b, {0.2, 0.8}), 0);
  ASSERT_EQ(c->SetTemporalEvidence(d, 0, 0), 0);
  ASSERT_EQ(c->SetTemporalEvidence(d, 2, 1), 0);

  ASSERT_EQ(Def(net, a)->InsertOutcome(1, "New"), 0);
  EXPECT_EQ(OutcomeOf(*c, 0), 2);
  ASSERT_EQ(Def(net, a)->InsertOutcome(3, "Later"), 0);
  EXPECT_EQ(OutcomeOf(*c, 0), 2);

  ASSERT_EQ(Def(net, b)->InsertOutcome(0, "Front"), 0);
  EXPECT_EQ(SoftOf(*c, 1), (std::vector<double>{0.0, 0.2, 0.8}));

  ASSERT_EQ(Def(net, d)->InsertOutcome(1, "Mid"), 0);
  EXPECT_EQ(SlicesOf(*c, 2), (Pairs{{0, 0}, {1, 3}}));
}

TEST(CasesTest, OutcomeRemovalDropsOrShiftsEvidence) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 4);
  int b = AddNodeWithOutcomes(net, "B", 4);
  int d = AddNodeWithOutcomes(net, "D", 4);
  int e = AddNodeWithOutcomes(net, "E", 4);
  VRN_case* one = net.AddCase("One");
  VRN_case* two = net.AddCase("Two");
  ASSERT_EQ(one->SetEvidence(a, 1), 0);
  ASSERT_EQ(two->SetEvidence(a, 2), 0);
  ASSERT_EQ(one->SetVirtualEvidence(b, {0.1, 0.2, 0.3, 0.4}), 0);
  ASSERT_EQ(one->SetTemporalEvidence(d, 1, 0), 0);
  ASSERT_EQ(one->SetTemporalEvidence(d, 3, 1), 0);
  ASSERT_EQ(one->SetTemporalEvidence(d, 1, 2), 0);
  ASSERT_EQ(one->SetTemporalEvidence(e, 1, 0), 0);

  ASSERT_EQ(Def(net, a)->RemoveOutcome(1), 0);
  EXPECT_EQ(one->GetNumberOfEvidence(), 3);  // its entry for A is gone
  EXPECT_EQ(one->GetEvidenceNode(0), b);
  EXPECT_EQ(OutcomeOf(*two, 0), 1);

  // The soft-evidence vector keeps one value per outcome.
  ASSERT_EQ(Def(net, b)->RemoveOutcome(2), 0);
  EXPECT_EQ(SoftOf(*one, 0), (std::vector<double>{0.1, 0.2, 0.4}));

  ASSERT_EQ(Def(net, d)->RemoveOutcome(1), 0);
  EXPECT_EQ(SlicesOf(*one, 1), (Pairs{{1, 2}}));
  // Per-slice evidence that loses its last slice goes altogether.
  ASSERT_EQ(Def(net, e)->RemoveOutcome(1), 0);
  EXPECT_EQ(one->GetNumberOfEvidence(), 2);
}

TEST(CasesTest, ReorderingRemapsOutcomesAndVectors) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 3);
  int d = AddNodeWithOutcomes(net, "D", 3);
  int e = AddNodeWithOutcomes(net, "E", 3);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 0), 0);
  ASSERT_EQ(c->SetVirtualEvidence(b, {0.1, 0.3, 0.6}), 0);
  ASSERT_EQ(c->SetTemporalEvidence(d, 0, 0), 0);
  ASSERT_EQ(c->SetTemporalEvidence(d, 2, 1), 0);
  ASSERT_EQ(c->SetContEvidence(e, 4.0), 0);

  VRN_intArray order;  // new j = old order[j]
  order.Add(2);
  order.Add(0);
  order.Add(1);
  for (int h : {a, b, d, e}) ASSERT_EQ(Def(net, h)->ChangeOrderOfOutcomes(order), 0);
  EXPECT_EQ(OutcomeOf(*c, 0), 1);
  EXPECT_EQ(SoftOf(*c, 1), (std::vector<double>{0.6, 0.1, 0.3}));
  EXPECT_EQ(SlicesOf(*c, 2), (Pairs{{0, 1}, {1, 0}}));
  int node;
  double value = 0;
  ASSERT_EQ(c->GetContEvidence(3, node, value), 0);
  EXPECT_EQ(value, 4.0);
}

TEST(CasesTest, OutcomeCountChangesAreFollowed) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 4);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetVirtualEvidence(a, {0.1, 0.2, 0.3, 0.4}), 0);
  ASSERT_EQ(Def(net, a)->SetNumberOfOutcomes(2), 0);
  EXPECT_EQ(SoftOf(*c, 0), (std::vector<double>{0.1, 0.2}));
  ASSERT_EQ(Def(net, a)->SetNumberOfOutcomes(3), 0);
  EXPECT_EQ(SoftOf(*c, 0), (std::vector<double>{0.1, 0.2, 0.0}));
}

TEST(CasesTest, NodeDeletionRemovesEntriesWhilePropagating) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 2);
  int b = AddNodeWithOutcomes(net, "B", 2);
  int d = AddNodeWithOutcomes(net, "D", 2);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 1), 0);
  ASSERT_EQ(c->SetEvidence(b, 0), 0);
  ASSERT_EQ(c->SetEvidence(d, 1), 0);
  ASSERT_EQ(c->AddNode(a), 0);
  ASSERT_EQ(c->AddNode(b), 0);

  ASSERT_EQ(net.DeleteNode(a), 0);
  EXPECT_EQ(c->GetNumberOfEvidence(), 2);
  EXPECT_EQ(c->GetEvidenceNode(0), b);  // later entries move up
  EXPECT_EQ(c->GetEvidenceNode(1), d);
  EXPECT_EQ(c->GetNumberOfNodes(), 1);
  EXPECT_EQ(c->GetNode(0), b);

  net.EnableCaseUpdates(false);
  ASSERT_EQ(net.DeleteNode(b), 0);
  ASSERT_EQ(Def(net, d)->InsertOutcome(0, "Front"), 0);
  EXPECT_EQ(c->GetNumberOfEvidence(), 2);
  EXPECT_EQ(OutcomeOf(*c, 1), 1);
}

TEST(CasesTest, SwitchSetBeforeFirstCaseIsKept) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 2);
  net.EnableCaseUpdates(false);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 1), 0);
  ASSERT_EQ(net.DeleteNode(a), 0);
  EXPECT_EQ(c->GetNumberOfEvidence(), 1);
}

TEST(CasesTest, PlateConversionMovesOutcomeToSliceZeroAndBack) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 3);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 2), 0);
  ASSERT_EQ(c->SetVirtualEvidence(b, {0.2, 0.3, 0.5}), 0);

  for (int h : {a, b}) {
    net.GetNode(h)->SetTemporalTypeRaw(kPlate);
    net.Cases()->OnTemporalTypeChanged(h, 0);
  }
  EXPECT_EQ(SlicesOf(*c, 0), (Pairs{{0, 2}}));
  SoftOf(*c, 1);  // still soft evidence

  // A change that does not touch the plate type leaves entries alone.
  net.GetNode(a)->SetTemporalTypeRaw(kPlate);
  net.Cases()->OnTemporalTypeChanged(a, kPlate);
  ASSERT_EQ(c->SetTemporalEvidence(a, 1, 4), 0);

  net.GetNode(a)->SetTemporalTypeRaw(0);
  net.Cases()->OnTemporalTypeChanged(a, kPlate);
  EXPECT_EQ(OutcomeOf(*c, 0), 2);
  int node;
  Pairs pairs;
  EXPECT_EQ(c->GetTemporalEvidence(0, node, pairs), -51);

  // Leaving the plate type without slice 0 evidence drops the entry.
  const int d = AddNodeWithOutcomes(net, "D", 3);
  net.GetNode(d)->SetTemporalTypeRaw(kPlate);
  ASSERT_EQ(c->SetTemporalEvidence(d, 1, 2), 0);
  net.GetNode(d)->SetTemporalTypeRaw(0);
  net.Cases()->OnTemporalTypeChanged(d, kPlate);
  EXPECT_EQ(c->GetNumberOfEvidence(), 2);
}

// An unrolled network and a copy without the temporal part keep slice 0 of a
// per-slice entry on the node and, unrolled, each later slice on the node's
// slice copy; both save and read back with those cases.
TEST(CasesTest, NetworksWithoutSlicesKeepSliceZeroOfPerSliceEntries) {
  VRN_network net;
  const int x = AddNodeWithOutcomes(net, "X", 2);
  ASSERT_EQ(net.setNodeTemporalType(x, kPlate), 0);
  ASSERT_EQ(net.AddTemporalArc(x, x, 1), 0);
  ASSERT_EQ(net.SetNumberOfSlices(3), 0);
  VRN_case* k = net.AddCase("K");
  ASSERT_EQ(k->SetTemporalEvidence(x, 1, 0), 0);
  ASSERT_EQ(k->SetTemporalEvidence(x, 0, 2), 0);
  std::vector<int> map;
  VRN_network unrolled;
  ASSERT_EQ(net.UnrollNetwork(unrolled, map), 0);
  ASSERT_STREQ(unrolled.GetNode(map[2])->GetId(), "X_2");
  VRN_network flat(net, qelta::kCopyNoTemporal);
  const std::pair<VRN_network*, Pairs> expected[] = {{&unrolled, {{x, 1}, {map[2], 0}}},
                                                     {&flat, {{x, 1}}}};
  for (const auto& [copy, entries] : expected) {
    std::string text;
    ASSERT_EQ(copy->WriteString(text, 0), 0);
    VRN_network back;
    ASSERT_EQ(back.ReadString(text.c_str(), 0), 0) << text;
    for (const VRN_case* c : {copy->GetCase(0), back.GetCase(0)}) {
      Pairs got;
      for (int i = 0; i < c->GetNumberOfEvidence(); ++i) {
        got.emplace_back(c->GetEvidenceNode(i), OutcomeOf(*c, i));
      }
      EXPECT_EQ(got, entries);
    }
  }
}

// After a type change an entry stays when the new definition is an
// equation or has at least 2 outcomes, and only while it fits it: an
// outcome among them, a soft-evidence vector of their count, a number (on a
// node with outcomes, the one whose interval holds it); an equation takes a
// finite number alone.
TEST(CasesTest, DefinitionTypeChangeKeepsOnlyFittingEntries) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  int b = AddNodeWithOutcomes(net, "B", 2);
  VRN_case* c = net.AddCase("C");
  ASSERT_EQ(c->SetEvidence(a, 2), 0);
  ASSERT_EQ(c->SetContEvidence(b, 1.0), 0);
  // Through the node: a discrete type with the same outcomes keeps it.
  ASSERT_EQ(net.GetNode(a)->setNodeType(kTruthTable), 0);
  EXPECT_EQ(OutcomeOf(*c, 0), 2);
  // A number fits any node with outcomes.
  net.Cases()->OnDefinitionTypeChanged(b, kTruthTable);
  EXPECT_EQ(c->GetNumberOfEvidence(), 2);
  // An observed outcome does not fit an equation.
  net.Cases()->OnDefinitionTypeChanged(a, kEquation);
  EXPECT_EQ(c->GetNumberOfEvidence(), 1);
  EXPECT_EQ(c->GetEvidenceNode(0), b);
  // Nor does a number an equation refuses, which a node with outcomes may
  // hold.
  ASSERT_EQ(c->SetContEvidence(a, std::nan("")), 0);
  net.Cases()->OnDefinitionTypeChanged(a, kEquation);
  net.Cases()->OnDefinitionTypeChanged(b, kEquation);
  ASSERT_EQ(c->GetNumberOfEvidence(), 1);
  EXPECT_EQ(c->GetEvidenceNode(0), b);
  // A definition with no outcomes takes nothing.
  ASSERT_EQ(net.GetNode(b)->setNodeType(qelta::kDefUtility), 0);
  EXPECT_EQ(c->GetNumberOfEvidence(), 0);
}

// A CPT node N with intervals [0, 1), [1, 2]; case c1 holds number on it,
// then N becomes of type.
void NumberThenType(VRN_network& net, double number, int type) {
  const int n = net.AddNode(kCpt, "N");
  ASSERT_EQ(static_cast<VRN_discDef*>(Def(net, n))->SetIntervals({0, 1, 2},
                                                                 false),
            0);
  ASSERT_EQ(net.AddCase("c1")->SetContEvidence(n, number), 0);
  ASSERT_EQ(net.GetNode(n)->setNodeType(type), 0);
}

TEST(CasesTest, NumberStaysThroughDiscreteTypeChangesAndSavesAsItsOutcome) {
  for (int type : {qelta::kDefNoisyMax, qelta::kDefTruthTable,
                   qelta::kDefCast, qelta::kDefDemorgan,
                   qelta::kDefNoisyAdder, qelta::kDefDecision}) {
    SCOPED_TRACE(type);
    VRN_network net;
    NumberThenType(net, 0.5, type);
    int node = -1;
    double value = 0.0;
    ASSERT_EQ(net.GetCase(0)->GetContEvidence(0, node, value), 0);
    EXPECT_EQ(value, 0.5);
    std::string text;
    ASSERT_EQ(net.WriteString(text, 0), 0);
    VRN_network back;
    ASSERT_EQ(back.ReadString(text.c_str(), 0), 0) << text;
    ASSERT_EQ(back.GetNumberOfCases(), 1);
    EXPECT_EQ(OutcomeOf(*back.GetCase(0), 0), 0);

    // One that no interval holds is refused, as if entered after the change.
    VRN_network outside;
    NumberThenType(outside, 2.5, type);
    EXPECT_EQ(outside.WriteString(text, 0), qelta::kErrFileIo);
    ASSERT_EQ(outside.ErrorLog()->GetNumberOfMessages(), 1);
    EXPECT_NE(std::string(outside.ErrorLog()->GetMessage(0))
                  .find("Case 'c1' holds the number 2.5 for node 'N'"),
              std::string::npos)
        << outside.ErrorLog()->GetMessage(0);
  }
}

// No file carries a non-finite soft value; a vector left stale by an edit the
// list was told not to follow makes the saver refuse, leaving no file.
TEST(CasesTest, SoftVectorsTheFileCannotCarryAreRefused) {
  VRN_network net;
  const int a = AddNodeWithOutcomes(net, "A", 3);
  VRN_case* c = net.AddCase("K");
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    EXPECT_EQ(c->SetVirtualEvidence(a, {bad, 1, 1}), qelta::kErrInvalidValue);
  }
  EXPECT_EQ(c->GetNumberOfEvidence(), 0);
  ASSERT_EQ(c->SetVirtualEvidence(a, {0.2, 0.3, 0.5}), 0);
  net.EnableCaseUpdates(false);
  const std::string path = testing::TempDir() + "cases_test_stale.xvrn";
  for (int edit = 0; edit < 3; ++edit) {
    ASSERT_EQ(edit == 0   ? Def(net, a)->RemoveOutcome(0)
              : edit == 1 ? net.GetNode(a)->setNodeType(kEquation)
                          : net.DeleteNode(a) || AddNodeWithOutcomes(net, "N", 2) != a,
              0);
    net.ErrorLog()->Flush();
    std::remove(path.c_str());
    EXPECT_EQ(net.WriteFile(path.c_str(), 0, 0), qelta::kErrFileIo) << edit;
    ASSERT_EQ(net.ErrorLog()->GetNumberOfMessages(), 1) << edit;
    const std::string log = net.ErrorLog()->GetMessage(0);
    EXPECT_EQ(log.find("Case 'K' holds 3 soft evidence values for node '"), 0u) << log;
    EXPECT_EQ(std::fopen(path.c_str(), "r"), nullptr) << edit;
  }
}

TEST(CasesTest, NetworkCopyCopiesCasesUnlessAskedForEmptyList) {
  VRN_network net;
  int a = AddNodeWithOutcomes(net, "A", 3);
  VRN_case* c = net.AddCase("C");
  c->SetCategory("cat");
  c->SetDescription("desc");
  c->SetCreated(5);
  ASSERT_EQ(c->SetEvidence(a, 2), 0);
  ASSERT_EQ(c->AddNode(a), 0);
  net.EnableCaseUpdates(false);

  VRN_network copy(net);
  ASSERT_EQ(copy.GetNumberOfCases(), 1);
  VRN_case* cc = copy.GetCase(0);
  ASSERT_NE(cc, c);
  EXPECT_EQ(cc->GetDescription(), "desc");
  EXPECT_EQ(OutcomeOf(*cc, 0), 2);
  EXPECT_EQ(cc->GetNode(0), a);
  EXPECT_FALSE(copy.Cases()->IsPropagating());
  // The copy's cases belong to the copy: names are checked there.
  EXPECT_EQ(copy.AddCase("C"), nullptr);
  EXPECT_NE(copy.AddCase("D"), nullptr);
  EXPECT_EQ(net.GetNumberOfCases(), 1);

  VRN_network empty(net, qelta::kCopyEmptyCases);
  EXPECT_EQ(empty.GetNumberOfCases(), 0);

  VRN_network assigned;
  assigned = copy;
  EXPECT_EQ(assigned.GetNumberOfCases(), 2);
  assigned.Reset();
  EXPECT_EQ(assigned.GetNumberOfCases(), 0);
}

TEST(CasesTest, ExtFunctionsAreStoredInOrderAndCopied) {
  VRN_network net;
  std::vector<std::string> out{"stale"};
  net.GetExtFunctions(out, false);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(net.ExtFunctions(), nullptr);

  int index = -1;
  int position = -1;
  std::string message;
  const std::vector<std::string> texts{"f(x)=x*2", "g(a,b)=a+b"};
  ASSERT_EQ(net.SetExtFunctions(texts, index, position, message), 0);
  ASSERT_NE(net.ExtFunctions(), nullptr);
  net.GetExtFunctions(out, false);
  EXPECT_EQ(out, texts);
  net.GetExtFunctions(out, true);
  EXPECT_EQ(out, texts);

  VRN_network copy(net);
  ASSERT_NE(copy.ExtFunctions(), nullptr);
  EXPECT_NE(copy.ExtFunctions(), net.ExtFunctions());
  ASSERT_EQ(net.SetExtFunctions({"h()=1"}, index, position, message), 0);
  copy.GetExtFunctions(out, false);
  EXPECT_EQ(out, texts);
  net.GetExtFunctions(out, false);
  EXPECT_EQ(out, std::vector<std::string>{"h()=1"});
}

}  // namespace
