#include "network/network.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/random.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/cpt.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/node.h"
#include "network/submodel.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

TEST(NetworkTest, EpisParamsFollowTheirOrderingRules) {
  VRN_network net;
  VRN_episParams p;
  p.numstates2 = p.numstates1;
  EXPECT_EQ(net.SetEpisParams(p), -2);
  p = VRN_episParams();
  p.eps1 = p.eps2 / 2;
  EXPECT_EQ(net.SetEpisParams(p), -2);
  p = VRN_episParams();
  p.eps2 = std::nan("");
  EXPECT_EQ(net.SetEpisParams(p), -2);
  p = VRN_episParams();
  p.eps4 = 123.0;  // not checked
  EXPECT_EQ(net.SetEpisParams(p), 0);
  EXPECT_EQ(net.GetEpisParams().eps4, 123.0);
  EXPECT_FALSE(net.GetEpisParams() == VRN_episParams());
}

TEST(NetworkTest, AnnealedMapTuningFollowsItsRules) {
  VRN_network net;
  VRN_annealedMapTuning t;
  t.speed = 0.99;
  EXPECT_EQ(net.SetAnnealedMapTuning(t), 0);
  t.speed = 1.0;
  EXPECT_EQ(net.SetAnnealedMapTuning(t), -2);
  t = VRN_annealedMapTuning();
  t.iReheatSteps = t.iStopSteps + 1;
  EXPECT_EQ(net.SetAnnealedMapTuning(t), -2);
  t = VRN_annealedMapTuning();
  t.Tinit = t.Tmin;
  EXPECT_EQ(net.SetAnnealedMapTuning(t), -2);
  EXPECT_EQ(net.GetAnnealedMapTuning().speed, 0.99);
}

TEST(NetworkTest, AddNodeGeneratesAndChecksIdentifiers) {
  VRN_network net;
  int a = net.AddNode(kCpt, nullptr);
  int b = net.AddNode(kCpt, nullptr);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_STREQ(net.GetNode(a)->GetId(), "Node0");
  EXPECT_STREQ(net.GetNode(b)->GetId(), "Node1");

  ASSERT_EQ(net.DeleteNode(a), 0);
  int c = net.AddNode(kCpt, nullptr);
  EXPECT_EQ(c, 0);  // the free slot is reused
  EXPECT_STREQ(net.GetNode(c)->GetId(), "Node2");  // Node1 is taken

  int d = net.AddNode(kCpt, "9x");
  ASSERT_GE(d, 0);
  EXPECT_STRNE(net.GetNode(d)->GetId(), "9x");
  int e = net.AddNode(kCpt, "@9x");
  ASSERT_GE(e, 0);
  EXPECT_STREQ(net.GetNode(e)->GetId(), "@9x");
  EXPECT_EQ(net.AddNode(kCpt, "@9x"), -2);  // still a duplicate

  EXPECT_GE(net.AddNode(kCpt, "Rain"), 0);
  EXPECT_EQ(net.AddNode(kCpt, "Rain"), -2);
  ASSERT_GE(net.Submodels()->CreateSubmodel(32768, "Box"), 0);
  EXPECT_EQ(net.AddNode(kCpt, "Box"), -2);  // a submodel's identifier
}

TEST(NetworkTest, DuplicateIdentifiersAreAcceptedOnlyWhileLoadingAllowsThem) {
  VRN_network net;
  int first = net.AddNode(kCpt, "A");
  net.SetLoadFlags(qelta::kLoadAllowDuplicateIds);
  int second = net.AddNode(kCpt, "A");
  ASSERT_GE(second, 0);
  net.SetLoadFlags(0);
  EXPECT_EQ(net.FindNode("A"), first);
  ASSERT_EQ(net.DeleteNode(first), 0);
  EXPECT_EQ(net.FindNode("A"), second);
}

TEST(NetworkTest, TypesThatDoNotExistYetAreRefused) {
  VRN_network net;
  for (int type : {0, 19, -1}) {
    EXPECT_FALSE(VRN_nodeDef::IsValidType(type)) << type;
    EXPECT_EQ(net.AddNode(type, nullptr), -51) << type;
  }
  EXPECT_EQ(net.GetNumberOfNodes(), 0);
  int h = net.AddNode(kCpt, "A");
  for (const char* name : {"EQUATION", "cpt", "bogus"}) {
    EXPECT_EQ(net.GetNode(h)->SetTypeByName(name), -51) << name;
  }
  EXPECT_EQ(net.GetNode(h)->Definition()->GetType(), kCpt);
}

TEST(NetworkTest, IterationSkipsHoles) {
  VRN_network net;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(net.AddNode(kCpt, nullptr), i);
  ASSERT_EQ(net.DeleteNode(0), 0);
  ASSERT_EQ(net.DeleteNode(2), 0);
  ASSERT_EQ(net.DeleteNode(4), 0);
  EXPECT_EQ(net.GetFirstNode(), 1);
  EXPECT_EQ(net.GetNextNode(1), 3);
  EXPECT_EQ(net.GetNextNode(2), 3);  // a free slot is a valid start
  EXPECT_EQ(net.GetNextNode(3), -2);
  EXPECT_EQ(net.GetNextNode(-1), -2);
  EXPECT_EQ(net.GetLastNode(), 3);
  VRN_intArray all;
  all.Add(99);
  ASSERT_EQ(net.GetAllNodes(all), 0);
  EXPECT_EQ(Ints(all), (std::vector<int>{99, 1, 3}));
  EXPECT_EQ(net.GetNode(2), nullptr);
  EXPECT_EQ(net.GetNode(-1), nullptr);
  EXPECT_EQ(net.GetNode(100), nullptr);
  EXPECT_EQ(net.DeleteNode(2), -2);
  EXPECT_EQ(net.GetNumberOfNodes(), 2);
  // Walking on from any int ends the walk instead of wrapping round.
  VRN_network empty;
  for (int handle : {INT_MAX, INT_MAX - 1, INT_MIN, -1, 3, 4}) {
    EXPECT_LT(empty.GetNextNode(handle), 0) << handle;
    EXPECT_LT(net.GetNextNode(handle), 0) << handle;
    EXPECT_LT(net.Submodels()->GetNextSubmodel(handle), 0) << handle;
  }
}

TEST(NetworkTest, RenamingKeepsTheIndexInStep) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  EXPECT_EQ(net.GetNode(a)->Header().SetId("B"), -32);
  ASSERT_GE(net.Submodels()->CreateSubmodel(32768, "Box"), 0);
  EXPECT_EQ(net.GetNode(a)->Header().SetId("Box"), -32);
  EXPECT_EQ(net.GetNode(a)->Header().SetId("1bad"), -30);
  EXPECT_EQ(net.GetNode(a)->Header().SetId(nullptr), -30);
  EXPECT_EQ(net.GetNode(a)->Header().SetId("A"), 0);
  ASSERT_EQ(net.GetNode(a)->Header().SetId("Renamed"), 0);
  EXPECT_STREQ(net.GetNode(a)->GetId(), "Renamed");
  EXPECT_EQ(net.FindNode("A"), -2);
  EXPECT_EQ(net.FindNode("Renamed"), a);
  // The old name is free again.
  EXPECT_EQ(net.GetNode(b)->Header().SetId("A"), 0);
  EXPECT_EQ(net.FindNode("A"), b);
  EXPECT_EQ(net.FindNode("B"), -2);
  EXPECT_EQ(net.IsIdInUse("A", b), 0);
  EXPECT_EQ(net.IsIdInUse("A", -1), 1);
  ASSERT_EQ(net.DeleteNode(a), 0);
  EXPECT_EQ(net.FindNode("Renamed"), -2);
  EXPECT_GE(net.AddNode(kCpt, "Renamed"), 0);
}

TEST(NetworkTest, TargetsAreCounted) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  EXPECT_EQ(net.SetTarget(a, true), 0);
  EXPECT_EQ(net.SetTarget(a, true), -4);
  EXPECT_EQ(net.GetNumberOfTargets(), 1);
  EXPECT_EQ(net.SetTarget(b, true), 0);
  EXPECT_EQ(net.IsTarget(b), 1);
  EXPECT_EQ(net.IsTarget(7), -2);
  ASSERT_EQ(net.DeleteNode(b), 0);
  EXPECT_EQ(net.GetNumberOfTargets(), 1);
  EXPECT_EQ(net.ClearAllTargets(), 0);
  EXPECT_EQ(net.GetNumberOfTargets(), 0);
  EXPECT_EQ(net.IsTarget(a), 0);
}

TEST(NetworkTest, ClearAllEvidenceClearsAndInvalidates) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  ASSERT_EQ(net.GetNode(a)->Value()->SetEvidence(0), 0);
  net.GetNode(b)->Value()->AddFlags(qelta::kValFlagValid);
  EXPECT_EQ(net.ClearAllEvidence(), 0);
  EXPECT_FALSE(net.GetNode(a)->Value()->HasEvidence());
  EXPECT_FALSE(net.GetNode(a)->Value()->IsValueValid());
  EXPECT_FALSE(net.GetNode(b)->Value()->IsValueValid());
  EXPECT_TRUE(net.IsRelevanceReasoning());  // the guard restored it
}

// A network with holes, arcs, a changed table, evidence, targets, settings
// and a generator in mid-sequence.
std::unique_ptr<VRN_network> MakeRichNetwork() {
  auto net = std::make_unique<VRN_network>();
  int a = net->AddNode(kCpt, "A");
  int gone = net->AddNode(kCpt, "Gone");
  int b = net->AddNode(kCpt, "B");
  int c = net->AddNode(kTruthTable, "C");
  EXPECT_EQ(net->AddArc(a, b), 0);
  EXPECT_EQ(net->AddArc(b, c), 0);
  EXPECT_EQ(net->AddArc(a, c), 0);
  EXPECT_EQ(net->DeleteNode(gone), 0);
  EXPECT_EQ(net->GetNode(b)->Definition()->SetDefinitionFromVector(
                {0.1, 0.9, 0.6, 0.4}),
            0);
  EXPECT_EQ(net->GetNode(a)->Value()->SetEvidence(1), 0);
  EXPECT_EQ(net->GetNode(b)->Value()->SetVirtualEvidence({0.3, 0.7}), 0);
  EXPECT_EQ(net->AddArc(b, a, qelta::kArcLayerCost), 0);
  EXPECT_EQ(net->GetNode(a)->SetCostArray({1.5, 2.5}), 0);
  EXPECT_EQ(net->SetTarget(c, true), 0);
  net->SetRandSeed(42);
  (void)net->SetNumberOfSamples(77);
  (void)net->GetRandomGenerator()->NextDouble();
  EXPECT_EQ(net->UserProperties().AddProperty("Key", "Value"), 0);
  EXPECT_EQ(net->Documentation().Add("Title", "path"), 0);
  EXPECT_EQ(net->GetNode(a)->Documentation().Add("T", "p"), 0);
  net->GetNode(a)->SetQuestion("Is it?");
  EXPECT_EQ(net->Header()->SetId("Rich"), 0);
  EXPECT_GE(net->Submodels()->CreateSubmodel(32768, "Box"), 0);
  EXPECT_NE(net->MakeTableForNodes({a, b}), nullptr);
  net->ErrorLog()->LogError(-2, "kept");
  return net;
}

TEST(NetworkTest, CopyHasSameHandlesHolesTablesAndEvidence) {
  std::unique_ptr<VRN_network> original = MakeRichNetwork();
  VRN_network copy(*original, 0);

  EXPECT_EQ(copy.GetNumberOfNodes(), 3);
  EXPECT_EQ(copy.GetSlotCount(), original->GetSlotCount());
  EXPECT_EQ(copy.GetNode(1), nullptr);
  for (int h : {0, 2, 3}) {
    VRN_node* o = original->GetNode(h);
    VRN_node* n = copy.GetNode(h);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->Network(), &copy);
    EXPECT_EQ(n->Definition()->GetNetwork(), &copy);
    EXPECT_EQ(n->Value()->GetNetwork(), &copy);
    EXPECT_STREQ(n->GetId(), o->GetId());
    EXPECT_EQ(Ints(n->Children()), Ints(o->Children()));
    EXPECT_EQ(Ints(n->GetCostParents()), Ints(o->GetCostParents()));
    EXPECT_EQ(Items(n->GetCost()), Items(o->GetCost()));
    EXPECT_EQ(Table(copy, h), Table(*original, h));
    EXPECT_EQ(n->Value()->GetFlags(), o->Value()->GetFlags());
    EXPECT_EQ(n->Value()->GetEvidence(), o->Value()->GetEvidence());
    EXPECT_EQ(Items(n->Value()->GetValue()), Items(o->Value()->GetValue()));
  }
  std::vector<double> likelihoods;
  ASSERT_EQ(copy.GetNode(2)->Value()->GetVirtualEvidence(&likelihoods), 0);
  EXPECT_EQ(likelihoods, (std::vector<double>{0.3, 0.7}));
  EXPECT_EQ(copy.GetNode(3)->Value()->GetEvidence(), 0);  // implied
  EXPECT_STREQ(copy.UserProperties().GetPropertyValue(0), "Value");
  ASSERT_NE(copy.TableCache(), nullptr);
  ASSERT_EQ(copy.TableCache()->size(), 1u);
  EXPECT_EQ(copy.TableCache()->front().nodes, (std::vector<int>{0, 2}));
  EXPECT_NE(&copy.TableCache()->front().table,
            &original->TableCache()->front().table);
  ASSERT_EQ(copy.ErrorLog()->GetNumberOfMessages(), 1);
  EXPECT_STREQ(copy.ErrorLog()->GetMessage(0), "kept");
  EXPECT_EQ(copy.IsTarget(3), 1);
  EXPECT_EQ(copy.GetNumberOfSamples(), 77);
  EXPECT_STREQ(copy.Header()->GetId(), "Rich");
  EXPECT_EQ(copy.Submodels()->FindSubmodel("Box"), 32769);
  EXPECT_EQ(copy.FindNode("B"), 2);
  EXPECT_EQ(copy.Documentation().GetSize(), 1);
  EXPECT_STREQ(copy.GetNode(0)->GetQuestion(), "Is it?");
  EXPECT_EQ(copy.GetRandomGenerator()->NextDouble(),
            original->GetRandomGenerator()->NextDouble());

  // A new node takes the same free slot in both.
  EXPECT_EQ(copy.AddNode(kCpt, nullptr), 1);
  EXPECT_EQ(original->AddNode(kCpt, nullptr), 1);
}

TEST(NetworkTest, CopySharesNoStorage) {
  std::unique_ptr<VRN_network> original = MakeRichNetwork();
  auto copy = std::make_unique<VRN_network>(*original);  // copy constructor
  std::vector<double> before = Table(*original, 2);

  ASSERT_EQ(copy->GetNode(2)->Definition()->SetDefinitionFromVector(
                {0.5, 0.5, 0.5, 0.5}),
            0);
  ASSERT_EQ(copy->GetNode(0)->Value()->ClearEvidence(), 0);
  ASSERT_EQ(copy->GetNode(2)->Header().SetId("Other"), 0);
  ASSERT_EQ(copy->GetNode(2)->Value()->SetVirtualEvidence({0.9, 0.1}), 0);
  ASSERT_EQ(copy->GetNode(0)->SetCostArray({7, 7}), 0);
  ASSERT_EQ(copy->RemoveArc(2, 0, qelta::kArcLayerCost), 0);
  EXPECT_EQ(Table(*original, 2), before);
  std::vector<double> likelihoods;
  ASSERT_EQ(original->GetNode(2)->Value()->GetVirtualEvidence(&likelihoods),
            0);
  EXPECT_EQ(likelihoods, (std::vector<double>{0.3, 0.7}));
  EXPECT_EQ(Items(original->GetNode(0)->GetCost()),
            (std::vector<double>{1.5, 2.5}));
  EXPECT_EQ(Ints(original->GetNode(0)->GetCostParents()), std::vector<int>{2});
  EXPECT_EQ(original->GetNode(0)->Value()->GetEvidence(), 1);
  EXPECT_STREQ(original->GetNode(2)->GetId(), "B");
  EXPECT_EQ(original->FindNode("Other"), -2);

  // Whichever dies first, the other keeps working (the sanitizer build
  // checks that nothing dangles).
  original.reset();
  ASSERT_EQ(copy->RemoveArc(0, 2), 0);
  ASSERT_EQ(copy->AddArc(0, 2), 0);
  EXPECT_EQ(copy->DeleteNode(3), 0);
  EXPECT_EQ(copy->GetNode(2)->Value()->SetEvidence(0), 0);
}

TEST(NetworkTest, CopyFlagOneLeavesDocumentationAndQuestionOut) {
  std::unique_ptr<VRN_network> original = MakeRichNetwork();
  VRN_network target;
  ASSERT_EQ(target.Documentation().Add("Mine", "here"), 0);
  ASSERT_EQ(target.Copy(*original, qelta::kCopyNoDocumentation), 0);
  ASSERT_EQ(target.Documentation().GetSize(), 1);
  EXPECT_STREQ(target.Documentation().GetTitle(0), "Mine");
  EXPECT_EQ(target.GetNode(0)->GetQuestion(), nullptr);
  EXPECT_EQ(target.GetNode(0)->Documentation().GetSize(), 0);
  EXPECT_EQ(target.UserProperties().GetSize(), 1);
}

TEST(NetworkTest, AssignmentCopiesAndSelfAssignmentChangesNothing) {
  std::unique_ptr<VRN_network> original = MakeRichNetwork();
  VRN_network net;
  (void)net.AddNode(kCpt, "Lost");
  net = *original;
  EXPECT_EQ(net.FindNode("Lost"), -2);
  EXPECT_EQ(net.FindNode("C"), 3);
  VRN_network& same = net;
  net = same;
  EXPECT_EQ(net.GetNumberOfNodes(), 3);
  EXPECT_EQ(Table(net, 2), Table(*original, 2));
}

TEST(NetworkTest, ResetReturnsToANewNetwork) {
  std::unique_ptr<VRN_network> net = MakeRichNetwork();
  net->Reset();
  EXPECT_EQ(net->GetNumberOfNodes(), 0);
  EXPECT_EQ(net->GetSlotCount(), 0);
  EXPECT_EQ(net->GetNumberOfTargets(), 0);
  EXPECT_EQ(net->GetNumberOfSamples(), 10000);
  EXPECT_EQ(net->GetRandSeed(), 0);
  EXPECT_STREQ(net->Header()->GetId(), "Unnamed");
  EXPECT_EQ(net->Submodels()->GetNumberOfSubmodels(), 1);
  EXPECT_EQ(net->UserProperties().GetSize(), 0);
  EXPECT_EQ(net->Documentation().GetSize(), 0);
  EXPECT_EQ(net->FindNode("A"), -2);
  EXPECT_EQ(net->AddNode(kCpt, "A"), 0);
}

// Another network's log may forward to this one's: replacing the contents
// keeps the log object, and a copied redirect onto it is left out.
TEST(NetworkTest, ALogForwardedToOutlivesResetCopyAndAssignment) {
  for (int way = 0; way < 4; ++way) {
    SCOPED_TRACE(way);
    VRN_network a, b;
    std::unique_ptr<VRN_network> other = MakeRichNetwork();
    ASSERT_EQ(a.ErrorLog()->RedirectToLog(b.ErrorLog()), 0);
    if (way == 0) b = *other;
    if (way == 1) b.Reset();
    if (way == 2) (void)b.Copy(*other, 0);
    if (way == 3) b = a;
    b.ErrorLog()->Flush();
    EXPECT_NE(a.ReadString("<not xml", 0), 0);
    EXPECT_EQ(a.ErrorLog()->GetNumberOfMessages(), 0);
    EXPECT_GT(b.ErrorLog()->GetNumberOfMessages(), 0) << "a's message reaches b";
    EXPECT_EQ(b.ErrorLog()->GetRedirect(), nullptr) << "b keeps its own entries";
  }
}

TEST(NetworkTest, GeneratorIsCreatedOnDemandAndReseeded) {
  VRN_network net;
  net.SetRandSeed(7);
  net.ReseedRandomGenerator();  // nothing to reseed yet
  VRN_randomGenerator* gen = net.GetRandomGenerator();
  ASSERT_NE(gen, nullptr);
  EXPECT_EQ(net.GetRandomGenerator(), gen);
  double first = gen->NextDouble();
  (void)gen->NextDouble();
  net.ReseedRandomGenerator();
  EXPECT_EQ(gen->NextDouble(), first);
}

TEST(NetworkTest, AutoUpdateRunsOnceOnSwitchingOn) {
  VRN_network net;
  LogEveryUpdate(net);  // each update logs one line
  EXPECT_EQ(net.SetAutoUpdate(true), -1);
  EXPECT_EQ(net.SetAutoUpdate(true), 0);
  EXPECT_EQ(CountMessages(net, kUpdateMessage), 1);
  EXPECT_EQ(net.SetAutoUpdate(false), 0);
  EXPECT_FALSE(net.IsAutoUpdate());
  EXPECT_FALSE(net.IsUpdating());
}

TEST(NetworkTest, DeletingANodeRunsOneUpdate) {
  VRN_network net;
  int a = net.AddNode(kCpt, "A");
  int b = net.AddNode(kCpt, "B");
  int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  LogEveryUpdate(net);  // each update logs one line
  (void)net.SetAutoUpdate(true);
  int before = CountMessages(net, kUpdateMessage);
  ASSERT_EQ(net.DeleteNode(b), 0);
  EXPECT_EQ(CountMessages(net, kUpdateMessage), before + 1);
}

// Parameter randomization and uniformization of a network's tables.
// a -> b -> c (CPTs) and a -> t (truth table), outcomes 2, 3, 2, 2.
void Build(VRN_network& net) {
  net.SetRandSeed(7);
  const int a = net.AddNode(qelta_test::kCpt, "a");
  const int b = net.AddNode(qelta_test::kCpt, "b");
  const int c = net.AddNode(qelta_test::kCpt, "c");
  const int t = net.AddNode(qelta_test::kTruthTable, "t");
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, net.AddArc(b, c));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, t));
}

TEST(ParametersTest, RandomTablesRepeatWithTheSeedAndStayDistributions) {
  VRN_network one, two;
  Build(one);
  Build(two);
  if (HasFatalFailure()) return;
  std::vector<std::vector<double>> before;
  for (int h = 0; h < 4; ++h) before.push_back(Table(one, h));
  EXPECT_EQ(qelta::kOk, one.RandomizeParameters(nullptr, nullptr));
  EXPECT_EQ(qelta::kOk, two.RandomizeParameters(nullptr, nullptr));
  for (int h = 0; h < 4; ++h) {
    EXPECT_EQ(Table(one, h), Table(two, h)) << h;
    const int k = one.GetNode(h)->Definition()->GetNumberOfOutcomes();
    const std::vector<double> table = Table(one, h);
    for (size_t start = 0; start < table.size(); start += k) {
      double sum = 0.0;
      int ones = 0;
      for (int i = 0; i < k; ++i) {
        sum += table[start + i];
        ones += table[start + i] == 1.0 ? 1 : 0;
      }
      EXPECT_NEAR(1.0, sum, 1e-12) << h;
      // The truth table stays deterministic.
      if (h == 3) {
        EXPECT_EQ(1, ones);
      }
    }
    if (h < 3) {
      EXPECT_NE(before[h], table) << h;
    }
  }
  EXPECT_EQ(qelta::kOk, one.UniformizeParameters(nullptr));
  EXPECT_EQ((std::vector<double>(6, 1.0 / 3)), Table(one, 1));
}

TEST(ParametersTest, ABadHandleStopsTheListAfterTheNodesBeforeIt) {
  VRN_network net;
  Build(net);
  if (HasFatalFailure()) return;
  const std::vector<std::vector<double>> before{Table(net, 0), Table(net, 1),
                                                Table(net, 2)};
  const std::vector<int> nodes{0, 1, 99, 2};
  EXPECT_EQ(qelta::kErrOutOfRange, net.RandomizeParameters(nullptr, &nodes));
  EXPECT_NE(before[0], Table(net, 0));
  EXPECT_NE(before[1], Table(net, 1));
  EXPECT_EQ(before[2], Table(net, 2));
  EXPECT_EQ(qelta::kErrOutOfRange, net.UniformizeParameters(&nodes));
  EXPECT_EQ(before[2], Table(net, 2));
}

TEST(ParametersTest, ChangedNodesLosePropagatedEvidence) {
  VRN_network net;
  Build(net);
  if (HasFatalFailure()) return;
  // a's outcome is implied by a deterministic child observation.
  ASSERT_EQ(qelta::kOk, net.GetNode(2)->Definition()->SetDefinitionFromVector(
                            {1.0, 0.0, 0.0, 1.0, 0.0, 1.0}));
  ASSERT_EQ(qelta::kOk, net.GetNode(2)->Value()->SetEvidence(0));
  ASSERT_TRUE(net.GetNode(1)->Value()->HasFlags(qelta::kValFlagPropagated));
  const std::vector<int> nodes{1};
  // The relevance update that follows the change rebuilds the implied
  // evidence: the child's table still implies it.
  EXPECT_EQ(qelta::kOk, net.UniformizeParameters(&nodes));
  EXPECT_TRUE(net.GetNode(1)->Value()->HasFlags(qelta::kValFlagPropagated));
  EXPECT_TRUE(net.GetNode(2)->Value()->HasFlags(qelta::kValFlagEvidence));
  // Without the bookkeeping nothing rebuilds it.
  net.SetRelevanceReasoning(false);
  EXPECT_EQ(qelta::kOk, net.UniformizeParameters(&nodes));
  EXPECT_FALSE(net.GetNode(1)->Value()->HasFlags(qelta::kValFlagPropagated));
  EXPECT_TRUE(net.GetNode(2)->Value()->HasFlags(qelta::kValFlagEvidence));
}

// ---- Change guards.

int UpdateCount(const VRN_network& net) {
  return qelta_test::CountMessages(net, qelta_test::kUpdateMessage);
}

TEST(ChangeGuardsTest, NestedGuardsUpdateOnceWhenTheOuterEnds) {
  VRN_network net;
  qelta_test::LogEveryUpdate(net);  // each update logs one line
  (void)net.SetAutoUpdate(true);
  int start = UpdateCount(net);
  {
    VRN_autoUpdateGuard outer(&net);
    EXPECT_EQ(outer.Ticket(), 0);
    {
      VRN_autoUpdateGuard inner(&net);
      EXPECT_EQ(inner.Ticket(), 1);
    }
    EXPECT_EQ(UpdateCount(net), start);
  }
  EXPECT_EQ(UpdateCount(net), start + 1);
  {
    VRN_autoUpdateGuard quiet(&net, false);
  }
  EXPECT_EQ(UpdateCount(net), start + 1);
}

TEST(ChangeGuardsTest, NoTicketWithoutAutomaticUpdate) {
  VRN_network net;
  {
    VRN_autoUpdateGuard guard(&net);
    EXPECT_EQ(guard.Ticket(), -1);
  }
  EXPECT_EQ(UpdateCount(net), 0);
}

TEST(ChangeGuardsTest, EditsUnderAutomaticUpdateRunOneUpdateEach) {
  VRN_network net;
  int a = net.AddNode(18, "A");
  int b = net.AddNode(18, "B");
  qelta_test::LogEveryUpdate(net);  // each update logs one line
  (void)net.SetAutoUpdate(true);
  int start = UpdateCount(net);
  ASSERT_EQ(net.AddArc(a, b), 0);
  EXPECT_EQ(UpdateCount(net), start + 1);
  // An outcome edit notifies the child table under nested guards.
  ASSERT_EQ(net.GetNode(a)->Definition()->AddOutcome("x"), 0);
  EXPECT_EQ(UpdateCount(net), start + 2);
}

TEST(ChangeGuardsTest, RelevanceOffGuardRestoresOnlyWhatWasOn) {
  VRN_network net;
  {
    VRN_relevanceOffGuard guard(&net);
    EXPECT_FALSE(net.IsRelevanceReasoning());
  }
  EXPECT_TRUE(net.IsRelevanceReasoning());
  net.SetRelevanceReasoning(false);
  { VRN_relevanceOffGuard guard(&net); }
  EXPECT_FALSE(net.IsRelevanceReasoning());
}

TEST(ChangeGuardsTest, UniformTableFollowsParents) {
  VRN_network net;
  int a = net.AddNode(18, "A");
  int b = net.AddNode(18, "B");
  int c = net.AddNode(18, "C");
  ASSERT_EQ(net.GetNode(b)->Definition()->AddOutcome("x"), 0);
  ASSERT_EQ(net.AddArc(a, c), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  VRN_matrix table;
  ASSERT_EQ(VRN_SetUniformTable(&net, c, 4, table), 0);
  EXPECT_EQ(qelta_test::Ints(table.GetDimensions()),
            (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(qelta_test::Items(table), std::vector<double>(24, 0.25));
  ASSERT_EQ(VRN_SetUniformTable(&net, 99, 3, table), 0);
  EXPECT_EQ(table.GetDimensionCount(), 1);
  EXPECT_EQ(table.GetItemCount(), 3);
  EXPECT_EQ(VRN_SetUniformTable(&net, c, 0, table), -2);
}

TEST(ChangeGuardsTest, FopenTakesUtf8Names) {
  std::string dir = ::testing::TempDir();
  for (std::string name : {std::string("plain.txt"),
                           std::string("caf\xC3\xA9.txt")}) {
    std::string path = dir + "/" + name;
    std::FILE* f = VRN_Fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fputs("x", f);
    std::fclose(f);
    f = VRN_Fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), 'x');
    std::fclose(f);
    std::remove(path.c_str());
  }
  EXPECT_EQ(VRN_Fopen(nullptr, "r"), nullptr);
  EXPECT_EQ(VRN_Fopen((dir + "/no/such/file").c_str(), "r"), nullptr);
}

}  // namespace
