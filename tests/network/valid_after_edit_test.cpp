// Right after an edit, and after an update that computes only a target,
// every value still marked valid equals what a fresh network gives: the
// same network read back from its save, with the same evidence, updated.
// The edits: implied evidence that appears, moves or goes; type changes
// that take arcs or evidence away or keep an observation; outcome reorders
// and insertions that change the model or an index an equation reads;
// point values and intervals of an equation's discrete parent; a new
// parent order of an equation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/matrix.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using qelta_test::Chain;
using qelta_test::Def;
using qelta_test::Items;
using qelta_test::kCpt;
using qelta_test::kTruthTable;

constexpr int kDecision = 17;
constexpr int kUtility = 8;
constexpr int kEquation = 4;
constexpr int kNoisyMax = 146;

VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }

std::vector<std::string> IndexingIds(VRN_network& net, const VRN_nodeVal& v) {
  std::vector<std::string> ids;
  for (int p : v.GetIndexingParents()) {
    const VRN_node* node = net.GetNode(p);
    ids.push_back(node != nullptr ? node->GetId() : "(deleted)");
  }
  return ids;
}

// The oracle: the save read back, with this network's observed and
// virtual evidence and switches, without targets, updated.
void ReadFresh(VRN_network& net, VRN_network* fresh, int* status) {
  std::string text;
  ASSERT_EQ(net.WriteString(text, 0), 0);
  ASSERT_EQ(fresh->ReadString(text.c_str(), 0), 0) << text;
  fresh->SetFlags(net.GetFlags());
  (void)fresh->SetDefaultIDAlgorithm(net.GetDefaultIDAlgorithm());
  (void)fresh->ClearAllTargets();
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* from = Val(net, h);
    VRN_nodeVal* to = Val(*fresh, fresh->FindNode(net.GetNode(h)->GetId()));
    if (from->HasFlags(qelta::kValFlagEvidence)) {
      double x = 0.0;
      if (from->GetContEvidence(&x) == qelta::kOk) {
        ASSERT_EQ(to->SetContEvidence(x), 0);
      } else {
        ASSERT_EQ(to->SetEvidence(from->GetEvidence()), 0);
      }
    } else if (from->HasVirtualEvidence()) {
      std::vector<double> likelihoods;
      ASSERT_EQ(from->GetVirtualEvidence(&likelihoods), 0);
      ASSERT_EQ(to->SetVirtualEvidence(likelihoods), 0);
    }
  }
  *status = fresh->UpdateBeliefs();
}

// Every value marked valid equals the fresh network's, in numbers and in
// the parents that index it. Answers how many were compared.
int ExpectValidAsFresh(VRN_network& net, const std::string& where) {
  VRN_network fresh;
  int status = 0;
  ReadFresh(net, &fresh, &status);
  int compared = 0;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* mine = Val(net, h);
    if (!mine->IsValueValid()) continue;
    const std::string id = net.GetNode(h)->GetId();
    const VRN_nodeVal* theirs = Val(fresh, fresh.FindNode(id.c_str()));
    EXPECT_TRUE(theirs->IsValueValid())
        << where << ": " << id << " is valid, the fresh network's is not";
    if (!theirs->IsValueValid()) continue;
    EXPECT_EQ(IndexingIds(net, *mine), IndexingIds(fresh, *theirs))
        << where << ": indexing parents of " << id;
    const std::vector<double> a = Items(mine->GetValue());
    const std::vector<double> b = Items(theirs->GetValue());
    EXPECT_EQ(a.size(), b.size()) << where << ": layout of " << id;
    if (a.size() != b.size()) continue;
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_NEAR(a[i], b[i], 1e-9) << where << ": " << id << " item " << i;
    }
    ++compared;
  }
  return compared;
}

// Checks right after the edit, then after an update of `target` alone.
void CheckAfterEdit(VRN_network& net, int target, const std::string& where) {
  ExpectValidAsFresh(net, where + ", right after the edit");
  if (target >= 0) {
    ASSERT_EQ(net.SetTarget(target, true), 0);
  }
  (void)net.UpdateBeliefs();
  ExpectValidAsFresh(net, where + ", after a targeted update");
  if (target >= 0) {
    ASSERT_EQ(net.SetTarget(target, false), 0);
  }
}


TEST(ValidAfterEditTest, ImpliedEvidenceAnEditMakesIsASource) {
  {
    Chain ch;
    ASSERT_EQ(Val(ch.net, ch.a)->SetEvidence(1), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    ASSERT_EQ(ch.net.GetNode(ch.b)->setNodeType(kTruthTable), 0);
    ASSERT_TRUE(Val(ch.net, ch.b)->HasFlags(qelta::kValFlagPropagated));
    CheckAfterEdit(ch.net, ch.a, "B made a truth table");
  }
  {
    Chain ch;
    ASSERT_EQ(Val(ch.net, ch.a)->SetEvidence(1), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    ASSERT_EQ(Def(ch.net, ch.b)->SetDefinitionFromVector({0.6, 0.4, 0, 1}), 0);
    CheckAfterEdit(ch.net, ch.a, "B's table made deterministic");
  }
  {
    // Observed B loses its outcome; the table left makes it implied.
    Chain ch;
    ASSERT_EQ(Val(ch.net, ch.a)->SetEvidence(1), 0);
    ASSERT_EQ(Val(ch.net, ch.b)->SetEvidence(0), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    ASSERT_EQ(Def(ch.net, ch.b)->AddOutcome("extra"), 0);
    CheckAfterEdit(ch.net, ch.a, "outcome added to observed B");
    ASSERT_EQ(Def(ch.net, ch.b)->RemoveOutcome(0), 0);
    CheckAfterEdit(ch.net, ch.a, "observed outcome of B removed");
  }
}

TEST(ValidAfterEditTest, ImpliedOutcomeThatMovesIsASource) {
  // Random truth tables, until one moves B's implied outcome under A = 1.
  int moved = 0;
  for (int seed = 1; seed <= 12; ++seed) {
    Chain ch;
    ASSERT_EQ(ch.net.GetNode(ch.b)->setNodeType(kTruthTable), 0);
    ASSERT_EQ(Val(ch.net, ch.a)->SetEvidence(1), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    const int before = Val(ch.net, ch.b)->GetEvidence();
    VRN_randomGenerator generator(seed);
    const std::vector<int> which(1, ch.b);
    ASSERT_EQ(ch.net.RandomizeParameters(&generator, &which), 0);
    if (Val(ch.net, ch.b)->GetEvidence() != before) ++moved;
    CheckAfterEdit(ch.net, ch.a, "seed " + std::to_string(seed));
  }
  EXPECT_GT(moved, 0);

  // A -> T -> C with T's resulting states changed, drawn or written.
  for (int edit = 0; edit < 3; ++edit) {
    VRN_network net;
    const int a = net.AddNode(kCpt, "A");
    const int t = net.AddNode(kTruthTable, "T");
    const int c = net.AddNode(kCpt, "C");
    ASSERT_EQ(net.AddArc(a, t), 0);
    ASSERT_EQ(net.AddArc(t, c), 0);
    ASSERT_EQ(Def(net, c)->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}), 0);
    ASSERT_EQ(Val(net, a)->SetEvidence(1), 0);
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    auto* table = dynamic_cast<VRN_truthTable*>(Def(net, t));
    ASSERT_NE(table, nullptr);
    if (edit == 0) {
      VRN_intArray states;
      states.Add(0);
      states.Add(1);
      ASSERT_EQ(table->SetResultingStates(states), 0);
    } else if (edit == 1) {
      VRN_randomGenerator generator(7);
      for (int i = 0; i < 20 && Val(net, t)->GetEvidence() != 1; ++i) {
        ASSERT_EQ(table->MakeRandom(generator), 0);
      }
    } else {
      ASSERT_EQ(table->SetDefinitionFromVector({1, 0, 0, 1}), 0);
    }
    ASSERT_EQ(Val(net, t)->GetEvidence(), 1);
    CheckAfterEdit(net, a, "truth table edit " + std::to_string(edit));
  }
}

TEST(ValidAfterEditTest, ArcRemovalThatImpliesAParent) {
  VRN_network net;
  const int b = net.AddNode(kCpt, "B");
  const int f = net.AddNode(kCpt, "F");
  const int l = net.AddNode(kCpt, "L");
  const int t = net.AddNode(kCpt, "T");
  ASSERT_EQ(net.AddArc(b, l), 0);
  ASSERT_EQ(net.AddArc(f, l), 0);
  ASSERT_EQ(net.AddArc(b, t), 0);
  ASSERT_EQ(Def(net, b)->SetDefinitionFromVector({0.85, 0.15}), 0);
  ASSERT_EQ(Def(net, f)->SetDefinitionFromVector({0.95, 0.05}), 0);
  ASSERT_EQ(Def(net, t)->SetDefinitionFromVector({0.9, 0.1, 0.4, 0.6}), 0);
  ASSERT_EQ(Def(net, l)->SetDefinitionFromVector(
                {0.365, 0.635, 0.55, 0.45, 0, 1, 0.05, 0.95}),
            0);
  ASSERT_EQ(Val(net, l)->SetEvidence(0), 0);
  ASSERT_EQ(net.UpdateBeliefs(), 0);
  ASSERT_EQ(net.RemoveArc(f, l), 0);
  ASSERT_TRUE(Val(net, b)->HasFlags(qelta::kValFlagPropagated));
  CheckAfterEdit(net, t, "arc F -> L removed");
}

TEST(ValidAfterEditTest, ImpliedEvidenceReachesAUtility) {
  Chain ch;
  const int d = ch.net.AddNode(kDecision, "D");
  const int u = ch.net.AddNode(kUtility, "U");
  ASSERT_EQ(ch.net.AddArc(ch.b, u), 0);
  ASSERT_EQ(ch.net.AddArc(d, u), 0);
  ASSERT_EQ(Def(ch.net, u)->SetDefinitionFromVector({10, 0, 0, 10}), 0);
  ASSERT_EQ(Val(ch.net, ch.a)->SetEvidence(1), 0);
  ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
  ASSERT_EQ(Def(ch.net, ch.b)->SetDefinitionFromVector({0.6, 0.4, 0, 1}), 0);
  EXPECT_FALSE(Val(ch.net, d)->IsValueValid());
  EXPECT_FALSE(Val(ch.net, u)->IsValueValid());
  CheckAfterEdit(ch.net, d, "B made deterministic above the utility");
}

TEST(ValidAfterEditTest, TypeChangesThatTakeArcsOrEvidenceAway) {
  {
    Chain ch;
    ASSERT_EQ(Val(ch.net, ch.b)->SetEvidence(1), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    ASSERT_EQ(ch.net.GetNode(ch.b)->setNodeType(520), 0);
    EXPECT_FALSE(Val(ch.net, ch.a)->IsValueValid());
    CheckAfterEdit(ch.net, ch.a, "observed B made a MAU");
  }
  {
    Chain ch;
    ASSERT_EQ(Val(ch.net, ch.c)->SetEvidence(0), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    ASSERT_EQ(ch.net.GetNode(ch.b)->setNodeType(kDecision), 0);
    EXPECT_FALSE(Val(ch.net, ch.a)->IsValueValid());
    CheckAfterEdit(ch.net, ch.a, "B above evidence made a decision");
  }
  {
    VRN_network net;
    const int a = net.AddNode(kCpt, "A");
    const int b = net.AddNode(kCpt, "B");
    ASSERT_EQ(net.AddArc(a, b), 0);
    ASSERT_EQ(Def(net, a)->SetDefinitionFromVector({0.4, 0.6}), 0);
    ASSERT_EQ(Def(net, b)->SetNumberOfOutcomes(3), 0);
    ASSERT_EQ(
        Def(net, b)->SetDefinitionFromVector({0.1, 0.2, 0.7, 0.5, 0.3, 0.2}),
        0);
    ASSERT_EQ(Val(net, b)->SetEvidence(2), 0);
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    ASSERT_EQ(net.GetNode(b)->setNodeType(82), 0);
    EXPECT_FALSE(Val(net, a)->IsValueValid());
    CheckAfterEdit(net, a, "observed B made a DeMorgan node");
  }
}

// A -> N (0.6, 0.4 | 0.2, 0.8), N observed at its first outcome (at 0.5
// within intervals up to 1 and 2 on [0, 2] for an equation): the value of
// N's new kind keeps the observation and, once an update answers 0, is
// valid at its point mass, as in the save read back.
TEST(ValidAfterEditTest, AnObservedNodeOfAnotherKindIsValidAfterAnUpdate) {
  const std::vector<std::pair<int, int>> changes = {
      {kCpt, kNoisyMax}, {kTruthTable, kNoisyMax}, {kTruthTable, kCpt},
      {kCpt, kEquation}};
  for (const auto& change : changes) {
    const std::string where = "N made " + std::to_string(change.second) +
                              " from " + std::to_string(change.first);
    VRN_network net;
    const int a = net.AddNode(kCpt, "A");
    const int n = net.AddNode(change.first, "N");
    ASSERT_EQ(net.AddArc(a, n), 0);
    ASSERT_EQ(Def(net, a)->SetDefinitionFromVector({0.3, 0.7}), 0);
    if (change.first == kCpt) {
      ASSERT_EQ(Def(net, n)->SetDefinitionFromVector({0.6, 0.4, 0.2, 0.8}), 0);
    }
    const bool equation = change.second == kEquation;
    if (equation) {
      auto* discrete = static_cast<VRN_discDef*>(Def(net, n));
      ASSERT_EQ(discrete->SetIntervals({0, 1, 2}, false), 0);
      ASSERT_EQ(Val(net, n)->SetContEvidence(0.5), 0);
    } else {
      ASSERT_EQ(Val(net, n)->SetEvidence(0), 0);
    }
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    ASSERT_EQ(net.GetNode(n)->setNodeType(change.second), 0) << where;
    // Taken over by the new kind, the observation waits for an update.
    EXPECT_FALSE(Val(net, n)->IsValueValid()) << where << ", before the update";
    ASSERT_EQ(net.UpdateBeliefs(), 0) << where;
    const VRN_nodeVal* value = Val(net, n);
    EXPECT_TRUE(value->IsValueValid()) << where;
    double x = 0.0;
    if (equation) {
      EXPECT_EQ(value->GetContEvidence(&x), 0) << where;
      EXPECT_EQ(value->GetMean(&x), 0) << where;
      EXPECT_EQ(x, 0.5) << where;
    } else {
      EXPECT_EQ(value->GetEvidence(), 0) << where;
      EXPECT_EQ(Items(value->GetValue()), std::vector<double>({1, 0})) << where;
    }
    EXPECT_EQ(ExpectValidAsFresh(net, where), 2) << where;
  }
}

TEST(ValidAfterEditTest, ReorderOfACanonicalNodeChangesItsModel) {
  for (int way = 0; way < 2; ++way) {
    VRN_network net;
    const int a = net.AddNode(kCpt, "A");
    const int b = net.AddNode(kNoisyMax, "B");
    ASSERT_EQ(net.AddArc(a, b), 0);
    ASSERT_EQ(Def(net, a)->SetDefinitionFromVector({0.3, 0.7}), 0);
    ASSERT_EQ(Def(net, b)->SetDefinitionFromVector({0.8, 0.2, 0, 1, 0.5, 0.5}),
              0);
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    if (way == 0) {
      VRN_intArray order;
      order.Add(1);
      order.Add(0);
      ASSERT_EQ(Def(net, b)->ChangeOrderOfOutcomes(order), 0);
    } else {
      VRN_stringArray ids;
      (void)ids.Add("State1");
      (void)ids.Add("State0");
      VRN_intArray mapping;
      mapping.Add(1);
      mapping.Add(0);
      ASSERT_EQ(Def(net, b)->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping),
                0);
    }
    EXPECT_FALSE(Val(net, b)->IsValueValid());
    CheckAfterEdit(net, b, "noisy-MAX reordered, way " + std::to_string(way));
  }
}

TEST(ValidAfterEditTest, ReorderOfACptOnlyRelabels) {
  Chain ch;
  ASSERT_EQ(Val(ch.net, ch.c)->SetEvidence(0), 0);
  ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
  VRN_intArray order;
  order.Add(1);
  order.Add(0);
  ASSERT_EQ(Def(ch.net, ch.b)->ChangeOrderOfOutcomes(order), 0);
  // Permuted with the outcomes: still right, so still valid.
  EXPECT_TRUE(Val(ch.net, ch.a)->IsValueValid());
  EXPECT_TRUE(Val(ch.net, ch.b)->IsValueValid());
  EXPECT_EQ(ExpectValidAsFresh(ch.net, "CPT reordered"), 3);
}

// A noisy-MAX child that hears of a parent's reorder before the other
// children do derives implied evidence from tables not yet reordered: the
// reorder itself must derive it again at the end.
TEST(ValidAfterEditTest, ReorderBesideImpliedEvidence) {
  VRN_intArray swap;
  swap.Add(1);
  swap.Add(0);
  {
    // A -> N (noisy-MAX), A -> T (a copy of A, observed), A -> C; A implied.
    VRN_network net;
    const int a = net.AddNode(kCpt, "A");
    const int n = net.AddNode(kNoisyMax, "N");
    const int t = net.AddNode(kTruthTable, "T");
    const int c = net.AddNode(kCpt, "C");
    ASSERT_EQ(net.AddArc(a, n), 0);
    ASSERT_EQ(net.AddArc(a, t), 0);
    ASSERT_EQ(net.AddArc(a, c), 0);
    ASSERT_EQ(Def(net, a)->SetDefinitionFromVector({0.3, 0.7}), 0);
    ASSERT_EQ(Def(net, n)->SetDefinitionFromVector({0.8, 0.2, 0, 1, 0.5, 0.5}),
              0);
    ASSERT_EQ(Def(net, t)->SetDefinitionFromVector({1, 0, 0, 1}), 0);
    ASSERT_EQ(Def(net, c)->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}), 0);
    ASSERT_EQ(Val(net, t)->SetEvidence(1), 0);
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    ASSERT_EQ(Val(net, a)->GetEvidence(), 1);
    ASSERT_EQ(Def(net, a)->ChangeOrderOfOutcomes(swap), 0);
    EXPECT_EQ(Val(net, a)->GetEvidence(), 0);
    CheckAfterEdit(net, c, "implied A reordered");
    EXPECT_EQ(Val(net, a)->GetEvidence(), 0);
  }
  {
    // X observed at its first outcome makes Y certain; X reordered so that
    // the observation moves to the last index.
    VRN_network net;
    const int x = net.AddNode(kCpt, "X");
    const int n = net.AddNode(kNoisyMax, "N");
    const int y = net.AddNode(kCpt, "Y");
    const int z = net.AddNode(kCpt, "Z");
    ASSERT_EQ(Def(net, x)->SetNumberOfOutcomes(3), 0);
    ASSERT_EQ(net.AddArc(x, n), 0);
    ASSERT_EQ(net.AddArc(x, y), 0);
    ASSERT_EQ(net.AddArc(y, z), 0);
    ASSERT_EQ(Def(net, x)->SetDefinitionFromVector({0.2, 0.3, 0.5}), 0);
    ASSERT_EQ(Def(net, y)->SetDefinitionFromVector(
                  {1, 0, 0.232, 0.768, 0.843, 0.157}),
              0);
    ASSERT_EQ(Def(net, z)->SetDefinitionFromVector({0.9, 0.1, 0.3, 0.7}), 0);
    ASSERT_EQ(Val(net, x)->SetEvidence(0), 0);
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    ASSERT_EQ(Val(net, y)->GetEvidence(), 0);
    VRN_intArray order;
    order.Add(1);
    order.Add(2);
    order.Add(0);
    ASSERT_EQ(Def(net, x)->ChangeOrderOfOutcomes(order), 0);
    EXPECT_EQ(Val(net, x)->GetEvidence(), 2);
    EXPECT_EQ(Val(net, y)->GetEvidence(), 0);
    CheckAfterEdit(net, z, "observed X reordered");
  }
}

// X (0.2, 0.3, 0.5) -> E = 2*X + 1, intervals up to 2, 4, 6 (and 9 when
// asked) -> C (0.9, 0.1 | 0.5, 0.5 | 0.1, 0.9 ...).
struct EquationChild {
  explicit EquationChild(bool four_intervals) {
    net.SetRandSeed(5);
    x = net.AddNode(kCpt, "X");
    e = net.AddNode(kEquation, "E");
    c = net.AddNode(kCpt, "C");
    EXPECT_EQ(Def(net, x)->SetNumberOfOutcomes(3), 0);
    EXPECT_EQ(Def(net, x)->SetDefinitionFromVector({0.2, 0.3, 0.5}), 0);
    int position = 0;
    std::string message;
    equation = VRN_GetEquation(&net, e);
    EXPECT_EQ(equation->SetEquation("E=2*X+1", &position, &message), 0);
    std::vector<VRN_discInterval> intervals = {{"e0", 2}, {"e1", 4}, {"e2", 6}};
    if (four_intervals) intervals.push_back({"e3", 9});
    EXPECT_EQ(equation->SetDiscIntervals(0, four_intervals ? 9 : 6, intervals),
              0);
    EXPECT_EQ(net.AddArc(e, c), 0);
    std::vector<double> table = {0.9, 0.1, 0.5, 0.5, 0.1, 0.9};
    if (four_intervals) table.insert(table.end(), {0.3, 0.7});
    EXPECT_EQ(Def(net, c)->SetDefinitionFromVector(table), 0);
  }
  VRN_network net;
  VRN_equation* equation = nullptr;
  int x, e, c;
};

TEST(ValidAfterEditTest, AnEquationChildReadsTheOutcomeIndex) {
  {
    EquationChild n(false);
    ASSERT_EQ(Val(n.net, n.x)->SetVirtualEvidence({1, 1, 1}), 0);
    ASSERT_EQ(n.net.UpdateBeliefs(), 0);
    VRN_intArray order;
    order.Add(2);
    order.Add(0);
    order.Add(1);
    ASSERT_EQ(Def(n.net, n.x)->ChangeOrderOfOutcomes(order), 0);
    EXPECT_FALSE(Val(n.net, n.e)->IsValueValid());
    EXPECT_FALSE(Val(n.net, n.c)->IsValueValid());
    CheckAfterEdit(n.net, n.c, "equation parent reordered");
  }
  {
    EquationChild n(true);
    ASSERT_EQ(Val(n.net, n.x)->SetEvidence(2), 0);
    ASSERT_EQ(n.net.UpdateBeliefs(), 0);
    ASSERT_EQ(Def(n.net, n.x)->InsertOutcome(0, "first"), 0);
    EXPECT_FALSE(Val(n.net, n.e)->IsValueValid());
    CheckAfterEdit(n.net, n.c, "outcome inserted before the observed one");
  }
}

// X (0.4, 0.6) with point values (0, 1) -> E = 2*X + 0.1 on [0, 3],
// intervals up to 1 and 3 -> C (0.9, 0.1 | 0.2, 0.8).
struct PointValueParent {
  PointValueParent() {
    net.SetRandSeed(11);
    x = net.AddNode(kCpt, "X");
    e = net.AddNode(kEquation, "E");
    c = net.AddNode(kCpt, "C");
    EXPECT_EQ(Def(net, x)->SetDefinitionFromVector({0.4, 0.6}), 0);
    auto* discrete = Def(net, x);
    EXPECT_EQ(static_cast<VRN_discDef*>(discrete)->SetPointValues({0, 1}), 0);
    int position = 0;
    std::string message;
    equation = VRN_GetEquation(&net, e);
    EXPECT_EQ(equation->SetEquation("E=2*X+0.1", &position, &message), 0);
    EXPECT_EQ(equation->SetDiscIntervals(0, 3, {{"low", 1}, {"high", 3}}), 0);
    EXPECT_EQ(net.AddArc(e, c), 0);
    EXPECT_EQ(Def(net, c)->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}), 0);
  }
  VRN_discDef* X() { return static_cast<VRN_discDef*>(Def(net, x)); }
  VRN_network net;
  VRN_equation* equation = nullptr;
  int x, e, c;
};

TEST(ValidAfterEditTest, PointValuesAndIntervalsOfAnEquationParent) {
  for (int edit = 0; edit < 4; ++edit) {
    PointValueParent n;
    ASSERT_EQ(Val(n.net, n.c)->SetEvidence(0), 0);
    ASSERT_EQ(n.net.UpdateBeliefs(), 0);
    switch (edit) {
      case 0:
        ASSERT_EQ(n.X()->SetPointValues({0, 0.2}), 0);
        break;
      case 1:
        ASSERT_EQ(n.X()->SetIntervals({0, 0.1, 0.2}, false), 0);
        break;
      case 2:
        ASSERT_EQ(n.X()->RemovePointValues(), 0);
        break;
      default: {
        // Reordered point values keep every number; the index is new.
        VRN_intArray order;
        order.Add(1);
        order.Add(0);
        ASSERT_EQ(n.X()->ChangeOrderOfOutcomes(order), 0);
        break;
      }
    }
    EXPECT_FALSE(Val(n.net, n.x)->IsValueValid()) << "edit " << edit;
    CheckAfterEdit(n.net, n.x, "numbers of X, edit " + std::to_string(edit));
    ASSERT_EQ(Val(n.net, n.c)->ClearEvidence(), 0);
    ASSERT_EQ(Val(n.net, n.c)->SetEvidence(1), 0);
    CheckAfterEdit(n.net, n.x, "C observed anew, edit " + std::to_string(edit));
  }
}

TEST(ValidAfterEditTest, SampledEquationDropsItsOldMean) {
  PointValueParent n;
  ASSERT_EQ(n.net.UpdateBeliefs(), 0);
  double mean = 0.0;
  ASSERT_EQ(Val(n.net, n.e)->GetMean(&mean), 0);
  EXPECT_NEAR(mean, 1.3, 0.05);
  ASSERT_EQ(n.X()->SetPointValues({0, 0.2}), 0);
  EXPECT_FALSE(Val(n.net, n.e)->IsValueValid());
  ASSERT_EQ(n.net.UpdateBeliefs(), 0);
  ASSERT_EQ(Val(n.net, n.e)->GetMean(&mean), 0);
  EXPECT_NEAR(mean, 0.34, 0.05);
}

// X (0.3, 0.7) on [0, 2] and Y (0.6, 0.4) on [0, 3], intervals up to 1 and
// the upper bound, -> E = X + 2*Y on [-2, 9], intervals up to 0.5, 1.5, 9
// -> C; likelihoods (1, 1) on K outside send the update down the discrete
// route. A new parent order draws E's table anew: it reaches what an edit
// of E's equation reaches.
TEST(ValidAfterEditTest, ReorderOfAnEquationsParentsDrawsItsTableAnew) {
  for (int observed = 0; observed < 2; ++observed) {
    VRN_network net;
    net.SetRandSeed(11);
    ASSERT_EQ(net.SetNumberOfDiscretizationSamples(60), 0);
    net.SetRelevanceOptions(qelta::kRelAllOptions);
    const int x = net.AddNode(kCpt, "X");
    const int y = net.AddNode(kCpt, "Y");
    const int e = net.AddNode(kEquation, "E");
    const int c = net.AddNode(kCpt, "C");
    const int k = net.AddNode(kCpt, "K");
    ASSERT_EQ(Def(net, x)->SetDefinitionFromVector({0.3, 0.7}), 0);
    ASSERT_EQ(static_cast<VRN_discDef*>(Def(net, x))->SetIntervals({0, 1, 2}, false), 0);
    ASSERT_EQ(Def(net, y)->SetDefinitionFromVector({0.6, 0.4}), 0);
    ASSERT_EQ(static_cast<VRN_discDef*>(Def(net, y))->SetIntervals({0, 1, 3}, false), 0);
    VRN_equation* equation = VRN_GetEquation(&net, e);
    ASSERT_EQ(equation->SetEquation("E=X+2*Y", nullptr, nullptr), 0);
    ASSERT_EQ(equation->SetDiscIntervals(-2, 9, {{"e0", 0.5}, {"e1", 1.5}, {"e2", 9}}), 0);
    ASSERT_EQ(net.AddArc(e, c), 0);
    ASSERT_EQ(Def(net, c)->SetDefinitionFromVector({0.9, 0.1, 0.5, 0.5, 0.2, 0.8}), 0);
    ASSERT_EQ(Val(net, k)->SetVirtualEvidence({1, 1}), 0);
    if (observed != 0) {
      ASSERT_EQ(Val(net, c)->SetEvidence(1), 0);
    }
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    VRN_intArray order;
    order.Add(1);
    order.Add(0);
    ASSERT_EQ(net.ReorderParents(e, order), 0);
    const std::vector<int> stale =
        observed != 0 ? std::vector<int>{x, y, e} : std::vector<int>{e, c};
    for (int h : stale) {
      EXPECT_FALSE(Val(net, h)->IsValueValid())
          << net.GetNode(h)->GetId() << ", C observed " << observed;
    }
    ExpectValidAsFresh(net, "E's parents reordered");
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    if (observed == 0) {
      EXPECT_NEAR(Items(Val(net, e)->GetValue())[1], 0.131, 5e-4);
      EXPECT_NEAR(Items(Val(net, c)->GetValue())[0], 0.2519, 5e-5);
    }
    EXPECT_EQ(ExpectValidAsFresh(net, "E's parents reordered, updated"), 5);
  }
}

// X -> E = X + 1 -> C, whose table gives its first outcome whatever E is;
// G = X + C reads C. An observation of E implies C's outcome, and C fixed
// takes its dimension out of G's discretization, so it changes the draws:
// the implied outcome must not wait for some later edit's walk.
TEST(ValidAfterEditTest, AnEquationsObservationImpliesOutcomesBeforeTheUpdate) {
  std::vector<double> beliefs[2];
  for (int edit = 0; edit < 2; ++edit) {
    const std::string where = edit != 0 ? "X's table after E's observation"
                                        : "E observed last";
    VRN_network net;
    net.SetRandSeed(5);
    ASSERT_EQ(net.SetNumberOfDiscretizationSamples(40), 0);
    const int x = net.AddNode(kCpt, "X");
    const int e = net.AddNode(kEquation, "E");
    const int c = net.AddNode(kCpt, "C");
    const int g = net.AddNode(kEquation, "G");
    const int k = net.AddNode(kCpt, "K");
    ASSERT_EQ(static_cast<VRN_discDef*>(Def(net, x))->SetIntervals({0, 1, 2}, false), 0);
    ASSERT_EQ(VRN_GetEquation(&net, e)->SetEquation("E=X+1", nullptr, nullptr), 0);
    ASSERT_EQ(VRN_GetEquation(&net, e)->SetDiscIntervals(0, 4, {{"e0", 2.5}, {"e1", 4}}), 0);
    ASSERT_EQ(net.AddArc(e, c), 0);
    ASSERT_EQ(Def(net, c)->SetDefinitionFromVector({1, 0, 1, 0}), 0);
    ASSERT_EQ(VRN_GetEquation(&net, g)->SetEquation("G=X+C", nullptr, nullptr), 0);
    ASSERT_EQ(VRN_GetEquation(&net, g)->SetDiscIntervals(0, 3, {{"g0", 0.7}, {"g1", 1.4}, {"g2", 3}}), 0);
    // Likelihoods outside the model send the update through the tables.
    ASSERT_EQ(Val(net, k)->SetVirtualEvidence({1, 1}), 0);
    const std::vector<double> table = {0.3, 0.7};
    if (edit == 0) {
      ASSERT_EQ(Def(net, x)->SetDefinitionFromVector(table), 0);
    }
    ASSERT_EQ(Val(net, e)->SetContEvidence(1.5), 0);
    if (edit != 0) {
      ASSERT_EQ(Def(net, x)->SetDefinitionFromVector(table), 0);
    }
    ASSERT_EQ(net.UpdateBeliefs(), 0) << where;
    EXPECT_TRUE(Val(net, c)->HasFlags(qelta::kValFlagPropagated)) << where;
    EXPECT_EQ(ExpectValidAsFresh(net, where), 5) << where;
    beliefs[edit] = Items(Val(net, g)->GetValue());
  }
  EXPECT_EQ(beliefs[0], beliefs[1]);
}

// ---------------------------------------------------------------------------
// Influence diagrams: values keep their numbers and their layout (the
// parents that index them) or are invalid, with either solver.

void SetTable(VRN_network& net, int h, const std::vector<double>& items) {
  ASSERT_EQ(Def(net, h)->SetDefinitionFromVector(items), 0);
}

// Builds the diagram for a solver, updates it, applies the edit and checks
// right after it and after a targeted update.
template <typename Build, typename Edit>
void ForBothSolvers(const std::string& what, int target_of, Build build,
                    Edit edit) {
  for (int solver = 0; solver < 2; ++solver) {
    VRN_network net;
    (void)net.SetDefaultIDAlgorithm(solver);
    ASSERT_EQ(net.GetDefaultIDAlgorithm(), solver);
    std::vector<int> h = build(net);
    // The second solver refuses some diagrams the first one solves.
    const int status = net.UpdateBeliefs();
    if (solver == 1 && status != qelta::kOk) continue;
    ASSERT_EQ(status, 0) << what;
    const std::string where = what + ", solver " + std::to_string(solver);
    edit(net, h);
    CheckAfterEdit(net, h[target_of], where);
  }
}

TEST(ValidAfterEditDiagramTest, TheWalkDoesNotStopAtDecisions) {
  // No utility: the solver takes D for a chance node.
  ForBothSolvers(
      "evidence below a decision", 1,
      [](VRN_network& net) {
        const int d = net.AddNode(kDecision, "D");
        const int a = net.AddNode(kCpt, "A");
        const int b = net.AddNode(kCpt, "B");
        const int e = net.AddNode(kCpt, "E");
        EXPECT_EQ(net.AddArc(d, a), 0);
        EXPECT_EQ(net.AddArc(d, b), 0);
        EXPECT_EQ(net.AddArc(a, b), 0);
        EXPECT_EQ(net.AddArc(d, e), 0);
        SetTable(net, a, {0.9, 0.1, 0.2, 0.8});
        SetTable(net, b, {0.7, 0.3, 0.4, 0.6, 0.1, 0.9, 0.5, 0.5});
        SetTable(net, e, {0.95, 0.05, 0.3, 0.7});
        return std::vector<int>{d, a, b, e};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        ASSERT_EQ(Val(net, h[3])->SetEvidence(1), 0);
        EXPECT_FALSE(Val(net, h[1])->IsValueValid());
      });
  ForBothSolvers(
      "a chance node made a decision", 0,
      [](VRN_network& net) {
        const int a = net.AddNode(kCpt, "A");
        const int b = net.AddNode(kCpt, "B");
        const int c = net.AddNode(kCpt, "C");
        const int u = net.AddNode(kUtility, "U");
        EXPECT_EQ(net.AddArc(a, b), 0);
        EXPECT_EQ(net.AddArc(b, c), 0);
        EXPECT_EQ(net.AddArc(c, u), 0);
        SetTable(net, a, {0.3, 0.7});
        SetTable(net, b, {0.6, 0.4, 0.2, 0.8});
        SetTable(net, c, {0.9, 0.1, 0.3, 0.7});
        SetTable(net, u, {4, 1});
        return std::vector<int>{a, b, c, u};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        ASSERT_EQ(net.GetNode(h[1])->setNodeType(kDecision), 0);
      });
  // Oil -> Test -> Drill: Oil is indexed by Test, whose table changes.
  ForBothSolvers(
      "table of an informational parent", 0,
      [](VRN_network& net) {
        const int oil = net.AddNode(kCpt, "Oil");
        const int test = net.AddNode(kCpt, "Test");
        const int drill = net.AddNode(kDecision, "Drill");
        const int u = net.AddNode(kUtility, "U");
        EXPECT_EQ(net.AddArc(oil, test), 0);
        EXPECT_EQ(net.AddArc(test, drill), 0);
        EXPECT_EQ(net.AddArc(oil, u), 0);
        EXPECT_EQ(net.AddArc(drill, u), 0);
        SetTable(net, oil, {0.3, 0.7});
        SetTable(net, test, {0.9, 0.1, 0.2, 0.8});
        SetTable(net, u, {100, 0, -40, 0});
        return std::vector<int>{oil, test, drill, u};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        SetTable(net, h[1], {0.5, 0.5, 0.4, 0.6});
        EXPECT_FALSE(Val(net, h[0])->IsValueValid());
      });
}

TEST(ValidAfterEditDiagramTest, ReordersAndChoices) {
  ForBothSolvers(
      "informational parent reordered", 1,
      [](VRN_network& net) {
        const int x = net.AddNode(kCpt, "X");
        const int d = net.AddNode(kDecision, "D");
        const int u = net.AddNode(kUtility, "U");
        EXPECT_EQ(net.AddArc(x, d), 0);
        EXPECT_EQ(net.AddArc(x, u), 0);
        EXPECT_EQ(net.AddArc(d, u), 0);
        SetTable(net, x, {0.3, 0.7});
        SetTable(net, u, {10, 0, -5, 4});
        return std::vector<int>{x, d, u};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        VRN_intArray order;
        order.Add(1);
        order.Add(0);
        ASSERT_EQ(Def(net, h[0])->ChangeOrderOfOutcomes(order), 0);
        EXPECT_FALSE(Val(net, h[1])->IsValueValid());
        EXPECT_FALSE(Val(net, h[2])->IsValueValid());
      });
  ForBothSolvers(
      "choices reordered", 0,
      [](VRN_network& net) {
        const int d = net.AddNode(kDecision, "D");
        const int u = net.AddNode(kUtility, "U");
        EXPECT_EQ(net.AddArc(d, u), 0);
        SetTable(net, u, {10, 2});
        return std::vector<int>{d, u};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        VRN_stringArray ids;
        (void)ids.Add("Choice1");
        (void)ids.Add("Choice0");
        VRN_intArray mapping;
        mapping.Add(1);
        mapping.Add(0);
        ASSERT_EQ(
            Def(net, h[0])->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping),
            0);
        EXPECT_FALSE(Val(net, h[1])->IsValueValid());
      });
}

TEST(ValidAfterEditDiagramTest, StructureEditsLeaveNoOldLayout) {
  auto utility_below = [](VRN_network& net) {
    const int d = net.AddNode(kDecision, "D");
    const int a = net.AddNode(kCpt, "A");
    const int u = net.AddNode(kUtility, "U");
    EXPECT_EQ(net.AddArc(d, a), 0);
    EXPECT_EQ(net.AddArc(a, u), 0);
    EXPECT_EQ(net.AddArc(d, u), 0);
    SetTable(net, a, {0.9, 0.1, 0.2, 0.8});
    SetTable(net, u, {10, 0, 3, 7});
    return std::vector<int>{d, a, u};
  };
  ForBothSolvers("the only utility made a chance node and back", 1,
                 utility_below,
                 [](VRN_network& net, const std::vector<int>& h) {
                   ASSERT_EQ(net.GetNode(h[2])->setNodeType(kCpt), 0);
                   CheckAfterEdit(net, h[1], "utility made a CPT");
                   ASSERT_EQ(net.GetNode(h[2])->setNodeType(kUtility), 0);
                 });
  ForBothSolvers(
      "a decision deleted", 2,
      [](VRN_network& net) {
        const int x = net.AddNode(kCpt, "X");
        const int d = net.AddNode(kDecision, "D");
        const int y = net.AddNode(kCpt, "Y");
        const int u = net.AddNode(kUtility, "U");
        EXPECT_EQ(net.AddArc(x, d), 0);
        EXPECT_EQ(net.AddArc(x, y), 0);
        EXPECT_EQ(net.AddArc(y, u), 0);
        EXPECT_EQ(net.AddArc(d, u), 0);
        SetTable(net, x, {0.3, 0.7});
        SetTable(net, y, {0.8, 0.2, 0.1, 0.9});
        SetTable(net, u, {5, 1, 0, 8});
        return std::vector<int>{x, d, y, u};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        ASSERT_EQ(net.DeleteNode(h[1]), 0);
      });
  ForBothSolvers(
      "an informational arc added", 1,
      [](VRN_network& net) {
        const int a = net.AddNode(kCpt, "A");
        const int b = net.AddNode(kCpt, "B");
        const int u = net.AddNode(kUtility, "U");
        const int d = net.AddNode(kDecision, "D");
        EXPECT_EQ(net.AddArc(a, b), 0);
        EXPECT_EQ(net.AddArc(a, u), 0);
        SetTable(net, a, {0.35, 0.65});
        SetTable(net, b, {0.9, 0.1, 0.2, 0.8});
        SetTable(net, u, {1, 2});
        return std::vector<int>{a, b, u, d};
      },
      [](VRN_network& net, const std::vector<int>& h) {
        ASSERT_EQ(net.AddArc(h[0], h[3]), 0);
      });
  for (bool informed : {false, true}) {
    ForBothSolvers(
        informed ? "an informational arc removed" : "a second utility deleted",
        0,
        [informed](VRN_network& net) {
          const int a = net.AddNode(kCpt, "A");
          const int u1 = net.AddNode(kUtility, "U1");
          const int d = net.AddNode(kDecision, "D");
          const int u2 = net.AddNode(kUtility, "U2");
          EXPECT_EQ(net.AddArc(a, u1), 0);
          EXPECT_EQ(net.AddArc(d, u2), 0);
          if (informed) {
            EXPECT_EQ(net.AddArc(a, d), 0);
          }
          SetTable(net, a, {0.35, 0.65});
          SetTable(net, u1, {1, 2});
          SetTable(net, u2, {0, 5});
          return std::vector<int>{a, u1, d, u2};
        },
        [informed](VRN_network& net, const std::vector<int>& h) {
          if (informed) {
            ASSERT_EQ(net.RemoveArc(h[0], h[2]), 0);
          } else {
            ASSERT_EQ(net.DeleteNode(h[3]), 0);
          }
          EXPECT_FALSE(Val(net, h[1])->IsValueValid());
        });
  }
  ForBothSolvers(
      "a decision added", 1,
      [](VRN_network& net) {
        const int a = net.AddNode(kCpt, "A");
        const int u = net.AddNode(kUtility, "U");
        EXPECT_EQ(net.AddArc(a, u), 0);
        SetTable(net, a, {0.35, 0.65});
        SetTable(net, u, {1, 2});
        return std::vector<int>{a, u};
      },
      [](VRN_network& net, const std::vector<int>&) {
        ASSERT_GE(net.AddNode(kDecision, "D"), 0);
      });
}

TEST(ValidAfterEditDiagramTest, DeletingANodeOfTheOilWildcatter) {
  for (int solver = 0; solver < 2; ++solver) {
    VRN_network net;
    ASSERT_EQ(net.ReadFile(QELTA_TEST_DATA "/decisions/oil_wildcatter.xvrn",
                           0, 0),
              0);
    (void)net.SetDefaultIDAlgorithm(solver);
    ASSERT_EQ(net.GetDefaultIDAlgorithm(), solver);
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    const int test = net.FindNode("Test");
    ASSERT_GE(test, 0);
    ASSERT_EQ(net.DeleteNode(test), 0);
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      if (Val(net, h)->IsValueValid()) {
        EXPECT_FALSE(Val(net, h)->GetIndexingParents().Contains(test));
      }
    }
    CheckAfterEdit(net, net.FindNode("Oil"), "Test deleted");
  }
}

TEST(ValidAfterEditDiagramTest, APointMassOfEvidenceHasNoIndexingParents) {
  for (bool implied : {false, true}) {
    ForBothSolvers(
        implied ? "implied evidence" : "observed evidence", 1,
        [](VRN_network& net) {
          const int d = net.AddNode(kDecision, "D");
          const int e = net.AddNode(kCpt, "E");
          const int u = net.AddNode(kUtility, "U");
          const int f = net.AddNode(kTruthTable, "F");
          EXPECT_EQ(net.AddArc(d, e), 0);
          EXPECT_EQ(net.AddArc(e, u), 0);
          EXPECT_EQ(net.AddArc(d, u), 0);
          EXPECT_EQ(net.AddArc(e, f), 0);
          SetTable(net, e, {0.95, 0.05, 0.3, 0.7});
          SetTable(net, u, {10, 0, 3, 7});
          SetTable(net, f, {1, 0, 0, 1});
          return std::vector<int>{d, e, u, f};
        },
        [implied](VRN_network& net, const std::vector<int>& h) {
          if (net.GetDefaultIDAlgorithm() == 0) {
            EXPECT_EQ(Val(net, h[1])->GetIndexingParents().GetSize(), 1);
          }
          ASSERT_EQ(Val(net, h[implied ? 3 : 1])->SetEvidence(1), 0);
          const VRN_nodeVal* e = Val(net, h[1]);
          ASSERT_TRUE(e->IsValueValid());
          EXPECT_EQ(e->GetIndexingParents().GetSize(), 0);
          EXPECT_EQ(Items(e->GetValue()), (std::vector<double>{0, 1}));
        });
  }
}

// X observed, T a copy of X known before D, U(T, D): with evidence
// propagation on T is implied and indexes no value; with it off it does.
TEST(ValidAfterEditDiagramTest, SwitchingEvidencePropagation) {
  for (bool on : {true, false}) {
    ForBothSolvers(
        on ? "propagation switched on" : "propagation switched off", 2,
        [on](VRN_network& net) {
          net.SetFlags(on ? net.GetFlags() & ~qelta::kNetEvidencePropagation
                          : net.GetFlags() | qelta::kNetEvidencePropagation);
          const int x = net.AddNode(kCpt, "X");
          const int t = net.AddNode(kTruthTable, "T");
          const int d = net.AddNode(kDecision, "D");
          const int u = net.AddNode(kUtility, "U");
          EXPECT_EQ(net.AddArc(x, t), 0);
          EXPECT_EQ(net.AddArc(t, d), 0);
          EXPECT_EQ(net.AddArc(t, u), 0);
          EXPECT_EQ(net.AddArc(d, u), 0);
          SetTable(net, x, {0.4, 0.6});
          SetTable(net, t, {1, 0, 0, 1});
          SetTable(net, u, {10, 0, 3, 7});
          EXPECT_EQ(Val(net, x)->SetEvidence(1), 0);
          return std::vector<int>{x, t, d, u};
        },
        [on](VRN_network& net, const std::vector<int>& h) {
          EXPECT_EQ(Val(net, h[2])->GetIndexingParents().GetSize(),
                    on ? 1 : 0);
          net.SetFlags(net.GetFlags() ^ qelta::kNetEvidencePropagation);
          EXPECT_EQ(Val(net, h[1])->HasFlags(qelta::kValFlagPropagated), on);
          EXPECT_FALSE(Val(net, h[2])->IsValueValid());
        });
  }
}

// In a network the switch changes no belief: implied outcomes are what the
// evidence gives anyway. With relevance reasoning off it only marks them
// to be derived again when next read.
TEST(ValidAfterEditTest, SwitchingEvidencePropagation) {
  for (bool relevance : {true, false}) {
    Chain ch;
    ASSERT_EQ(ch.net.GetNode(ch.b)->setNodeType(kTruthTable), 0);
    ASSERT_EQ(Val(ch.net, ch.a)->SetEvidence(1), 0);
    ASSERT_EQ(ch.net.UpdateBeliefs(), 0);
    ASSERT_TRUE(Val(ch.net, ch.b)->HasFlags(qelta::kValFlagPropagated));
    ch.net.SetRelevanceReasoning(relevance);
    ch.net.SetFlags(ch.net.GetFlags() & ~qelta::kNetEvidencePropagation);
    EXPECT_EQ(ch.net.IsImpliedEvidenceStale(), !relevance);
    ch.net.SetRelevanceReasoning(true);
    CheckAfterEdit(ch.net, ch.c, "propagation switched off");
    EXPECT_FALSE(ch.net.EvidenceOf(ch.b)->HasEvidence());
    ch.net.SetRelevanceReasoning(relevance);
    ch.net.SetFlags(ch.net.GetFlags() | qelta::kNetEvidencePropagation);
    ch.net.SetRelevanceReasoning(true);
    CheckAfterEdit(ch.net, ch.c, "propagation switched on");
    EXPECT_TRUE(ch.net.EvidenceOf(ch.b)->HasFlags(qelta::kValFlagPropagated));
  }
}

TEST(ValidAfterEditDiagramTest, AnotherSolverGivesOtherValues) {
  VRN_network net;
  const int d = net.AddNode(kDecision, "D");
  const int a = net.AddNode(kCpt, "A");
  const int u = net.AddNode(kUtility, "U");
  ASSERT_EQ(net.AddArc(d, a), 0);
  ASSERT_EQ(net.AddArc(a, u), 0);
  ASSERT_EQ(net.AddArc(d, u), 0);
  SetTable(net, a, {0.9, 0.1, 0.2, 0.8});
  SetTable(net, u, {10, 0, 3, 7});
  for (int solver : {1, 0, 1}) {
    (void)net.SetDefaultIDAlgorithm(solver);
    ExpectValidAsFresh(net, "solver " + std::to_string(solver) + " chosen");
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    EXPECT_TRUE(Val(net, d)->IsValueValid());
  }
}

}  // namespace
