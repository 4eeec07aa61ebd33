// Evidence after edits: implied evidence is never read stale, a refused
// observation keeps the earlier one, annealed MAP counts every likelihood,
// best-policy solving without utilities, slice likelihoods across a type
// change and polytree propagation on a discretized hybrid network. The
// reference is a fresh network read from a save with the same evidence.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using qelta_test::Observations;

int Add(VRN_network& net, int type, const char* id, const std::vector<int>& parents,
        const std::vector<double>& table) {
  const int h = net.AddNode(type, id);
  EXPECT_GE(h, 0) << id;
  for (int p : parents) EXPECT_EQ(qelta::kOk, net.AddArc(p, h)) << id;
  if (!table.empty()) {
    EXPECT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetDefinitionFromVector(table))
        << id;
  }
  return h;
}

std::vector<double> Value(VRN_network& net, int h) {
  const VRN_matrix& m = net.GetNode(h)->Value()->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

void ExpectNear(const std::vector<double>& want, const std::vector<double>& got,
                const std::string& what) {
  ASSERT_EQ(want.size(), got.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(want[i], got[i], 1e-9) << what << " item " << i;
  }
}

bool LogHas(const VRN_network& net, const std::string& text) {
  for (int i = 0; i < net.ErrorLog()->GetNumberOfMessages(); ++i) {
    if (text == net.ErrorLog()->GetMessage(i)) return true;
  }
  return false;
}

// Saved, read back, and given the observations and likelihoods of net.
std::unique_ptr<VRN_network> Fresh(VRN_network& net) {
  std::string text;
  EXPECT_EQ(qelta::kOk, net.WriteString(text, -1));
  auto fresh = std::make_unique<VRN_network>();
  EXPECT_EQ(qelta::kOk, fresh->ReadString(text.c_str(), -1));
  (void)fresh->SetDefaultBNAlgorithm(net.GetDefaultBNAlgorithm());
  (void)fresh->SetDefaultIDAlgorithm(net.GetDefaultIDAlgorithm());
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* from = net.EvidenceOf(h);
    VRN_nodeVal* to = fresh->GetNode(fresh->FindNode(net.GetNode(h)->GetId()))->Value();
    if (from->HasFlags(qelta::kValFlagEvidence)) {
      EXPECT_EQ(qelta::kOk, to->SetEvidence(from->GetEvidence()));
    } else if (from->HasVirtualEvidence()) {
      std::vector<double> likelihoods;
      EXPECT_EQ(qelta::kOk, from->GetVirtualEvidence(&likelihoods));
      EXPECT_EQ(qelta::kOk, to->SetVirtualEvidence(likelihoods));
    }
  }
  return fresh;
}

// A (0.3, 0.7) -> B, a copy of A.
struct Copied {
  Copied() {
    a = Add(net, qelta::kDefCpt, "A", {}, {0.3, 0.7});
    b = Add(net, qelta::kDefCpt, "B", {a}, {1, 0, 0, 1});
  }
  VRN_network net;
  int a, b;
};

TEST(EvidenceAfterEditsTest, SwitchingRelevanceOnDerivesImpliedEvidenceAgain) {
  for (int code : {0, 1}) {
    const std::string what = "code " + std::to_string(code);
    Copied g;
    // D is informed by A; U(A, D) = (10, 0, 0, 20).
    const int d = Add(g.net, qelta::kDefDecision, "D", {g.a}, {});
    const int u = Add(g.net, qelta::kDefUtility, "U", {g.a, d}, {});
    ASSERT_EQ(qelta::kOk,
              g.net.GetNode(u)->Definition()->SetDefinitionFromVector({10, 0, 0, 20}));
    ASSERT_EQ(code, g.net.SetDefaultIDAlgorithm(code));
    g.net.SetRelevanceReasoning(false);
    ASSERT_EQ(qelta::kOk, g.net.GetNode(g.b)->Value()->SetEvidence(0));
    // Code 1 refuses: nothing tells it that D's parent A is known.
    EXPECT_EQ(code == 0 ? qelta::kOk : qelta::kErrOutOfRange, g.net.UpdateBeliefs())
        << what;
    EXPECT_FALSE(g.net.EvidenceOf(g.a)->HasEvidence()) << what;
    g.net.SetRelevanceReasoning(true);
    EXPECT_TRUE(g.net.EvidenceOf(g.a)->HasFlags(qelta::kValFlagPropagated)) << what;
    ASSERT_EQ(qelta::kOk, g.net.UpdateBeliefs()) << what;
    auto fresh = Fresh(g.net);
    ASSERT_EQ(qelta::kOk, fresh->UpdateBeliefs()) << what;
    ExpectNear(Value(*fresh, d), Value(g.net, d), what);
    ExpectNear(code == 0 ? std::vector<double>{10, 0} : std::vector<double>{1, 0},
               Value(g.net, d), what);
  }
}

TEST(EvidenceAfterEditsTest, ReadersNeverSeeImpliedEvidenceWhoseCauseIsGone) {
  Copied g;
  const int c = Add(g.net, qelta::kDefCpt, "C", {g.a}, {0.6, 0.4, 0.2, 0.8});
  ASSERT_EQ(qelta::kOk, g.net.GetNode(g.b)->Value()->SetEvidence(0));
  ASSERT_TRUE(g.net.EvidenceOf(g.a)->HasFlags(qelta::kValFlagPropagated));
  g.net.SetRelevanceReasoning(false);
  ASSERT_EQ(qelta::kOk, g.net.GetNode(g.b)->Value()->ClearEvidence());

  // Each reader on its own copy of the state, so none refreshes for another.
  {
    VRN_network copy(g.net);
    EXPECT_FALSE(copy.EvidenceOf(g.a)->HasEvidence());
    EXPECT_LT(copy.EvidenceOf(g.a)->GetEvidence(), 0);
  }
  {
    VRN_network copy(g.net);
    copy.SetRelevanceReasoning(false);
    double p = -2;
    EXPECT_TRUE(copy.CalcPropEvidence(p, false));
    EXPECT_NEAR(1.0, p, 1e-12);
  }
  for (VRN_network* net : {&g.net}) {
    std::vector<int> assignment;
    double best = 0, pe = 0;
    ASSERT_EQ(qelta::kOk, net->AnnealedMAP(Observations(*net), {c}, &assignment, &best,
                                           &pe, 1));
    EXPECT_EQ(std::vector<int>{1}, assignment);
    EXPECT_NEAR(0.68, best, 1e-9);
    EXPECT_NEAR(1.0, pe, 1e-9);
  }
  EXPECT_EQ(qelta::kOk, g.net.GetNode(g.a)->Value()->SetEvidence(1));
  EXPECT_TRUE(g.net.EvidenceOf(g.a)->HasFlags(qelta::kValFlagEvidence));
  ASSERT_EQ(qelta::kOk, g.net.UpdateBeliefs());
  ExpectNear({0.2, 0.8}, Value(g.net, c), "C given A = 1");
}

TEST(EvidenceAfterEditsTest, AnnealedMapCountsTheLikelihoodsOfAnImpliedNode) {
  VRN_network net;
  const int a = Add(net, qelta::kDefCpt, "A", {}, {0.3, 0.7});
  const int c = Add(net, qelta::kDefCpt, "C", {a}, {1, 0, 0, 1});
  ASSERT_EQ(qelta::kOk, net.GetNode(c)->Value()->SetVirtualEvidence({0.25, 0.75}));
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Value()->SetEvidence(0));
  double p = -2;
  ASSERT_TRUE(net.CalcPropEvidence(p, false));
  EXPECT_NEAR(0.075, p, 1e-12);
  // Also when the implied outcome is handed over as if observed.
  for (bool with_implied : {false, true}) {
    std::vector<std::pair<int, int>> evidence = Observations(net);
    if (with_implied) evidence.emplace_back(c, 0);
    std::vector<int> assignment;
    double best = 0, pe = 0;
    ASSERT_EQ(qelta::kOk, net.AnnealedMAP(evidence, {c}, &assignment, &best, &pe, 1));
    EXPECT_NEAR(0.075, pe, 1e-12) << with_implied;
    EXPECT_EQ(std::vector<int>{0}, assignment);
  }
  std::vector<double> kept;
  ASSERT_EQ(qelta::kOk, net.GetNode(c)->Value()->GetVirtualEvidence(&kept));
  ExpectNear({0.25, 0.75}, kept, "likelihoods of C");
}

TEST(EvidenceAfterEditsTest, ARefusedObservationKeepsTheEarlierOne) {
  {  // -2: the observed outcome became impossible under an edited table.
    VRN_network net;
    const int a = Add(net, qelta::kDefCpt, "A", {}, {0.3, 0.7});
    ASSERT_EQ(qelta::kOk, net.GetNode(a)->Value()->SetEvidence(1));
    ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({1, 0}));
    EXPECT_EQ(qelta::kErrOutOfRange, net.GetNode(a)->Value()->SetEvidence(1));
    const VRN_nodeVal* value = net.EvidenceOf(a);
    EXPECT_TRUE(value->HasFlags(qelta::kValFlagEvidence));
    EXPECT_EQ(1, value->GetEvidence());
    // Refused again, and still kept; another outcome is accepted.
    EXPECT_EQ(qelta::kErrOutOfRange, net.GetNode(a)->Value()->SetEvidence(1));
    EXPECT_EQ(1, net.EvidenceOf(a)->GetEvidence());
    EXPECT_EQ(qelta::kOk, net.GetNode(a)->Value()->SetEvidence(0));
  }
  {  // -26: observations entered with the bookkeeping off contradict.
    Copied g;
    g.net.SetRelevanceReasoning(false);
    ASSERT_EQ(qelta::kOk, g.net.GetNode(g.a)->Value()->SetEvidence(1));
    ASSERT_EQ(qelta::kOk, g.net.GetNode(g.b)->Value()->SetEvidence(0));
    g.net.SetRelevanceReasoning(true);
    EXPECT_EQ(qelta::kErrEvidenceConflict, g.net.GetNode(g.a)->Value()->SetEvidence(1));
    for (const auto& [h, outcome] : {std::pair<int, int>{g.a, 1}, {g.b, 0}}) {
      const VRN_nodeVal* value = g.net.EvidenceOf(h);
      EXPECT_TRUE(value->HasFlags(qelta::kValFlagEvidence)) << h;
      EXPECT_EQ(outcome, value->GetEvidence()) << h;
    }
  }
  {  // Likelihoods stay when an observation is refused.
    Copied g;
    ASSERT_EQ(qelta::kOk, g.net.GetNode(g.b)->Value()->SetEvidence(0));
    ASSERT_EQ(qelta::kOk, g.net.GetNode(g.a)->Value()->SetVirtualEvidence({0.4, 0.6}));
    EXPECT_EQ(qelta::kErrEvidenceConflict, g.net.GetNode(g.a)->Value()->SetEvidence(1));
    std::vector<double> kept;
    ASSERT_EQ(qelta::kOk, g.net.EvidenceOf(g.a)->GetVirtualEvidence(&kept));
    ExpectNear({0.4, 0.6}, kept, "likelihoods of A");
  }
}

// Each node's observation and implied outcome, read afresh.
std::vector<std::pair<int, int>> EvidenceState(VRN_network& net) {
  std::vector<std::pair<int, int>> state;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* value = net.EvidenceOf(h);
    state.emplace_back(value->GetFlags() & (qelta::kValFlagEvidence |
                                            qelta::kValFlagPropagated),
                       value->GetEvidence());
  }
  return state;
}

TEST(EvidenceAfterEditsTest, AConflictingObservationLeavesNoImpliedEvidence) {
  // Random truth tables over up to two parents, observed one node after
  // another until the observations conflict.
  int refused = 0;
  for (int seed = 1; seed <= 300; ++seed) {
    VRN_randomGenerator generator(seed);
    auto draw = [&generator](int n) {
      return static_cast<int>(generator.NextDouble() * n) % n;
    };
    VRN_network net;
    std::vector<int> nodes;
    for (int i = 0; i < 6; ++i) {
      const std::string id = "N" + std::to_string(i);
      const int h = net.AddNode(qelta::kDefTruthTable, id.c_str());
      for (int k = 0; k < 2 && i > 0; ++k) (void)net.AddArc(nodes[draw(i)], h);
      nodes.push_back(h);
    }
    ASSERT_EQ(qelta::kOk, net.RandomizeParameters(&generator, nullptr));
    for (int step = 0; step < 6; ++step) {
      const auto before = EvidenceState(net);
      const int status =
          net.GetNode(nodes[draw(6)])->Value()->SetEvidence(draw(2));
      if (status == qelta::kOk) continue;
      if (status == qelta::kErrEvidenceConflict) ++refused;
      // The observations as they were, and implied evidence as the kept
      // observations alone imply it.
      const auto after = EvidenceState(net);
      net.SetImpliedEvidenceStale(true);
      const auto derived = EvidenceState(net);
      for (size_t i = 0; i < before.size(); ++i) {
        const bool observed = (before[i].first & qelta::kValFlagEvidence) != 0;
        EXPECT_EQ(observed, (after[i].first & qelta::kValFlagEvidence) != 0);
        if (observed) {
          EXPECT_EQ(before[i].second, after[i].second);
        }
      }
      EXPECT_EQ(derived, after)
          << "seed " << seed << ", step " << step << ", status " << status;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(EvidenceAfterEditsTest, BestPolicySolvingWithoutUtilitiesAnswersAsCode0) {
  std::vector<std::vector<double>> beliefs;
  for (int code : {0, 1}) {
    VRN_network net;
    const int a = Add(net, qelta::kDefCpt, "A", {}, {0.3, 0.7});
    const int d = Add(net, qelta::kDefDecision, "D", {a}, {});
    const int c = Add(net, qelta::kDefCpt, "C", {d}, {0.9, 0.1, 0.5, 0.5});
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    EXPECT_EQ(qelta::kOk, net.UpdateBeliefs()) << code;
    EXPECT_TRUE(LogHas(net, "Utilities not specified. Policies cannot be evaluated"))
        << code;
    EXPECT_FALSE(net.GetNode(d)->Value()->IsValueValid()) << code;
    ASSERT_TRUE(net.GetNode(a)->Value()->IsValueValid()) << code;
    ExpectNear({0.3, 0.7}, Value(net, a), "A");
    beliefs.push_back(Value(net, c));
  }
  ExpectNear(beliefs[0], beliefs[1], "C");
}

TEST(EvidenceAfterEditsTest, ATypeChangeDropsSliceLikelihoodsTheNewKindRefuses) {
  VRN_network net;
  const int x = Add(net, qelta::kDefCpt, "X", {}, {});
  const int y = Add(net, qelta::kDefCpt, "Y", {}, {});
  for (int h : {x, y}) ASSERT_EQ(qelta::kOk, net.setNodeTemporalType(h, 3));
  ASSERT_EQ(qelta::kOk, net.AddArc(x, y));
  ASSERT_EQ(qelta::kOk, net.SetNumberOfSlices(3));
  ASSERT_EQ(qelta::kOk, net.GetNode(x)->Value()->SetTemporalVirtualEvidence(1, {0.2, 0.9}));
  ASSERT_EQ(qelta::kOk, net.GetNode(y)->Value()->SetTemporalEvidence(2, 1));
  ASSERT_EQ(qelta::kOk, net.GetNode(x)->setNodeType(qelta::kDefDecision));
  const VRN_nodeVal* value = net.GetNode(x)->Value();
  EXPECT_FALSE(value->IsTemporalVirtualEvidence(1));
  std::vector<double> left;
  EXPECT_LT(value->GetTemporalVirtualEvidence(1, &left), 0);
  EXPECT_EQ(qelta::kOk, net.UpdateBeliefs());
  // Evidence the new kind takes stays.
  EXPECT_EQ(1, net.GetNode(y)->Value()->GetTemporalEvidence(2));
}

TEST(EvidenceAfterEditsTest, PolytreeOnADiscretizedHybridNetworkAnswersAsCode0) {
  for (bool observed : {true, false}) {
    std::vector<std::vector<double>> results;
    for (int code : {0, 2}) {
      const std::string what =
          std::string(observed ? "X observed" : "X free") + ", code " + std::to_string(code);
      VRN_network net;
      const int x = Add(net, qelta::kDefCpt, "X", {}, {0.5, 0.5});
      const int n3 = Add(net, qelta::kDefCpt, "N3", {x}, {0.5, 0.5, 0.5, 0.5});
      const int e = net.AddNode(qelta::kDefEquation, "E");
      ASSERT_GE(e, 0);
      ASSERT_EQ(qelta::kOk, net.AddArc(x, e));
      VRN_equation* eq = VRN_GetEquation(&net, e);
      ASSERT_EQ(qelta::kOk, eq->SetEquation("E=X", nullptr, nullptr));
      ASSERT_EQ(qelta::kOk, eq->SetDiscIntervals(0, 6, {{"a", 2}, {"b", 4}, {"c", 6}}));
      ASSERT_EQ(qelta::kOk, net.GetNode(n3)->Value()->SetVirtualEvidence({0.3, 0.9}));
      if (observed) {
        ASSERT_EQ(qelta::kOk, net.GetNode(x)->Value()->SetEvidence(1));
      }
      ASSERT_EQ(code, net.SetDefaultBNAlgorithm(code));
      ASSERT_EQ(qelta::kOk, net.UpdateBeliefs()) << what;
      for (int h : {n3, e}) {
        ASSERT_TRUE(net.GetNode(h)->Value()->IsValueValid()) << what << " node " << h;
        results.push_back(Value(net, h));
      }
    }
    ExpectNear({0.25, 0.75}, results[0], "N3");
    for (size_t i = 0; i < 2; ++i) ExpectNear(results[i], results[i + 2], "code 2");
  }
}

}  // namespace

TEST(EvidenceAfterEditsTest, ProbabilityOfEvidenceLeavesNoIndexingParentsOfAnOldDiagram) {
  VRN_network net;
  const int x = Add(net, qelta::kDefCpt, "X", {}, {0.3, 0.7});
  const int d = Add(net, qelta::kDefDecision, "D", {x}, {});
  const int z = Add(net, qelta::kDefCpt, "Z", {x}, {0.8, 0.2, 0.4, 0.6});
  const int y = Add(net, qelta::kDefCpt, "Y", {z, d},
                    {0.9, 0.1, 0.6, 0.4, 0.3, 0.7, 0.2, 0.8});
  const int u = Add(net, qelta::kDefUtility, "U", {d}, {10, 20});
  // Probability of evidence writes Y's belief, not W's.
  const int w = Add(net, qelta::kDefCpt, "W", {x, d}, {0.5, 0.5, 0.6, 0.4, 0.7, 0.3, 0.8, 0.2});
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  for (int h : {y, w}) ASSERT_EQ(2, net.GetNode(h)->Value()->GetIndexingParents().GetSize());

  ASSERT_EQ(qelta::kOk, net.GetNode(z)->setNodeType(qelta::kDefDemorgan));
  ASSERT_EQ(qelta::kOk, net.DeleteNode(d));
  ASSERT_EQ(qelta::kOk, net.GetNode(u)->setNodeType(qelta::kDefTruthTable));
  double p = -2;
  ASSERT_TRUE(net.CalcPropEvidence(p, false));
  EXPECT_NEAR(1.0, p, 1e-12);
  auto expect_own_shape = [&](const char* when) {
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      const VRN_nodeVal* value = net.GetNode(h)->Value();
      EXPECT_EQ(0, value->GetIndexingParents().GetSize()) << when << ", node " << h;
      if (value->IsValueValid()) {
        EXPECT_EQ(1, value->GetValue().GetDimensionCount()) << when << ", node " << h;
      }
    }
  };
  expect_own_shape("after CalcPropEvidence");
  ASSERT_TRUE(net.GetNode(y)->Value()->IsValueValid());
  const std::vector<double> written = Value(net, y);
  // A node added next takes the deleted decision's slot.
  ASSERT_EQ(d, net.AddNode(qelta::kDefCpt, "N"));
  expect_own_shape("after AddNode");

  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  ExpectNear(Value(net, y), written, "Y");
}
