#include "inference/relevance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using Parts = std::unique_ptr<VRN_relevanceParts>;

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

class RelevanceTest : public ::testing::Test {
 protected:
  RelevanceTest() {
    // Implied evidence would already settle in the network itself; these
    // tests look at what relevance reasoning derives on its own.
    net_.SetFlags(net_.GetFlags() & ~qelta::kNetEvidencePropagation);
  }

  int Add(const char* id, const std::vector<int>& parents,
          const std::vector<double>& table, int outcomes = 2) {
    const int h = net_.AddNode(qelta::kDefCpt, id);
    EXPECT_GE(h, 0);
    if (outcomes != 2) {
      EXPECT_EQ(qelta::kOk, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    for (int p : parents) EXPECT_EQ(qelta::kOk, net_.AddArc(p, h));
    EXPECT_EQ(qelta::kOk, Def(h)->SetDefinitionFromVector(table));
    return h;
  }
  VRN_nodeDef* Def(int h) { return net_.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net_.GetNode(h)->Value(); }

  Parts Decompose(int flags) {
    return Parts(VRN_RelevanceDecompose(&net_, flags));
  }
  // Handles of every record of the part, in part order (-1 for auxiliary).
  static std::vector<int> Handles(const VRN_relevancePart& part) {
    std::vector<int> out;
    for (int i = 0; i < part.GetSize(); ++i) out.push_back(part[i]->GetHandle());
    return out;
  }

  VRN_network net_;
};

TEST_F(RelevanceTest, EmptyNetworkGivesNoList) {
  EXPECT_EQ(nullptr, Decompose(qelta::kRelevanceForClustering));
}

TEST_F(RelevanceTest, BarrenDescendantsAreRemovedAndTargetsKept) {
  const int a = Add("a", {}, {0.3, 0.7});
  const int b = Add("b", {a}, {0.9, 0.1, 0.2, 0.8});
  Add("c", {b}, {0.5, 0.5, 0.4, 0.6});
  Add("d", {a}, {0.5, 0.5, 0.4, 0.6});
  ASSERT_EQ(qelta::kOk, net_.SetTarget(b, true));
  Parts parts = Decompose(qelta::kRelevanceDeterministic);
  ASSERT_EQ(1, parts->GetSize());
  EXPECT_EQ((std::vector<int>{a, b}), Handles(*parts->GetPart(0)));
  EXPECT_EQ(1, net_.IsTarget(b));
  EXPECT_EQ(1, net_.GetNumberOfTargets());
  // Nothing changed: tables are still borrowed.
  EXPECT_EQ(qelta::kRelTableBorrowed, parts->GetPart(0)->GetRecord(1)->GetTableKind());
}

TEST_F(RelevanceTest, ExactOnesGiveDerivedEvidenceTowardsChildren) {
  const int a = Add("a", {}, {0.3, 0.7});
  // b is certainly 0 when a is 0.
  const int b = Add("b", {a}, {1.0, 0.0, 0.4, 0.6});
  const int c = Add("c", {b}, {0.5, 0.5, 0.1, 0.9});
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(b, true));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(c, true));
  Parts parts = Decompose(qelta::kRelevanceForClustering);
  ASSERT_NE(nullptr, parts);
  // b is answered as a point mass; c keeps only its own prior column.
  EXPECT_TRUE(Val(b)->IsValueValid());
  EXPECT_EQ((std::vector<double>{1.0, 0.0}), Items(Val(b)->GetValue()));
  EXPECT_FALSE(Val(b)->HasEvidence());
  ASSERT_EQ(1, parts->GetSize());
  ASSERT_EQ((std::vector<int>{c}), Handles(*parts->GetPart(0)));
  EXPECT_EQ((std::vector<double>{0.5, 0.5}),
            Items(*parts->GetPart(0)->GetRecord(0)->GetTable()));

  // Without the deterministic step nothing is derived.
  Val(b)->Invalidate();
  parts = Decompose(qelta::kRelevanceRootAbsorption);
  EXPECT_FALSE(Val(b)->IsValueValid());
  ASSERT_EQ(1, parts->GetSize());
  EXPECT_EQ((std::vector<int>{b, c}), Handles(*parts->GetPart(0)));
}

TEST_F(RelevanceTest, NearlyOneEntriesDeriveNothing) {
  const int a = Add("a", {}, {0.3, 0.7});
  const int b = Add("b", {a}, {0.999999, 0.000001, 0.4, 0.6});
  ASSERT_EQ(qelta::kOk, Val(a)->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(b, true));
  Parts parts = Decompose(qelta::kRelevanceForClustering);
  EXPECT_FALSE(Val(b)->IsValueValid());
  ASSERT_EQ(1, parts->GetSize());
  EXPECT_FALSE(parts->GetPart(0)->GetRecord(0)->IsObserved());
}

TEST_F(RelevanceTest, SingleNonZeroParentStateIsDerivedTowardsParents) {
  const int a = Add("a", {}, {0.3, 0.7});
  // b = 0 is possible only when a is 1.
  const int b = Add("b", {a}, {0.0, 1.0, 0.4, 0.6});
  const int c = Add("c", {a}, {0.5, 0.5, 0.1, 0.9});
  ASSERT_EQ(qelta::kOk, Val(b)->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(a, true));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(c, true));
  Parts parts = Decompose(qelta::kRelevanceForClustering);
  EXPECT_TRUE(Val(a)->IsValueValid());
  EXPECT_EQ((std::vector<double>{0.0, 1.0}), Items(Val(a)->GetValue()));
  // a's evidence is sliced into c, which stands alone.
  ASSERT_EQ(1, parts->GetSize());
  ASSERT_EQ((std::vector<int>{c}), Handles(*parts->GetPart(0)));
  EXPECT_EQ((std::vector<double>{0.1, 0.9}),
            Items(*parts->GetPart(0)->GetRecord(0)->GetTable()));
  EXPECT_EQ(std::vector<double>({0.0, 1.0, 0.4, 0.6}),
            Items(*Def(b)->GetMatrixConst()));
}

TEST_F(RelevanceTest, RootAbsorptionCollapsesAChainIntoTheMarginal) {
  const int u = Add("u", {}, {0.3, 0.7});
  const int v = Add("v", {u}, {0.9, 0.1, 0.2, 0.8});
  const int w = Add("w", {v}, {0.5, 0.5, 0.4, 0.6});
  ASSERT_EQ(qelta::kOk, net_.SetTarget(w, true));
  Parts parts = Decompose(qelta::kRelevanceRootAbsorption);
  ASSERT_EQ(1, parts->GetSize());
  const VRN_relevancePart& part = *parts->GetPart(0);
  ASSERT_EQ((std::vector<int>{w}), Handles(part));
  const double v0 = 0.3 * 0.9 + 0.7 * 0.2;
  const std::vector<double> table = Items(*part[0]->GetTable());
  ASSERT_EQ(2u, table.size());
  EXPECT_NEAR(v0 * 0.5 + (1 - v0) * 0.4, table[0], 1e-15);
  EXPECT_NEAR(v0 * 0.5 + (1 - v0) * 0.6, table[1], 1e-15);
  EXPECT_EQ((std::vector<double>{0.9, 0.1, 0.2, 0.8}),
            Items(*Def(v)->GetMatrixConst()));
  // Without the flag the ancestors stay.
  parts = Decompose(qelta::kRelevanceDeterministic);
  EXPECT_EQ((std::vector<int>{u, v, w}), Handles(*parts->GetPart(0)));
}

TEST_F(RelevanceTest, VirtualEvidenceBecomesAnObservedAuxiliaryChild) {
  const int a = Add("a", {}, {0.3, 0.7});
  ASSERT_EQ(qelta::kOk, Val(a)->SetVirtualEvidence({0.8, 0.2}));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(a, true));
  Parts parts = Decompose(qelta::kRelevanceForClustering);
  ASSERT_EQ(1, parts->GetSize());
  const VRN_relevancePart& part = *parts->GetPart(0);
  ASSERT_EQ((std::vector<int>{a, -1}), Handles(part));
  const VRN_relevanceNode* auxiliary = part[1];
  EXPECT_EQ(nullptr, auxiliary->GetNode());
  EXPECT_EQ(0, auxiliary->GetEvidence());
  EXPECT_EQ(part[0], auxiliary->GetParent(0));
  EXPECT_EQ(2, auxiliary->GetOutcomeCount());
}

TEST_F(RelevanceTest, DisconnectedTargetsGetSeparateParts) {
  const int a = Add("a", {}, {0.3, 0.7});
  const int b = Add("b", {}, {0.4, 0.6});
  const int c = Add("c", {a, b}, {1, 0, 0.5, 0.5, 0.5, 0.5, 0, 1});
  const int d = Add("d", {}, {0.1, 0.9});
  const int e = Add("e", {d}, {0.5, 0.5, 0.4, 0.6});
  ASSERT_EQ(qelta::kOk, net_.SetTarget(a, true));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(e, true));
  // c is barren: a and b fall apart.
  Parts parts = Decompose(qelta::kRelevanceDeterministic);
  ASSERT_EQ(2, parts->GetSize());
  EXPECT_EQ((std::vector<int>{a}), Handles(*parts->GetPart(0)));
  EXPECT_EQ((std::vector<int>{d, e}), Handles(*parts->GetPart(1)));
  // Observing c connects a and b (converging connection).
  ASSERT_EQ(qelta::kOk, Val(c)->SetEvidence(0));
  parts = Decompose(qelta::kRelevanceDeterministic);
  ASSERT_EQ(2, parts->GetSize());
  EXPECT_EQ((std::vector<int>{a, b, c}), Handles(*parts->GetPart(0)));
  // Parts can be destroyed in any order; the last one frees the storage.
  parts->DestroyPart(0);
  EXPECT_EQ(nullptr, parts->GetPart(0));
  EXPECT_EQ(e, parts->GetPart(1)->GetRecord(1)->GetHandle());
}

TEST_F(RelevanceTest, TopologicalSortsPutParentsFirst) {
  // Handles deliberately out of topological order.
  const int c = Add("c", {}, {0.5, 0.5});
  const int b = Add("b", {}, {0.5, 0.5});
  const int a = Add("a", {}, {0.3, 0.7});
  ASSERT_EQ(qelta::kOk, net_.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, net_.AddArc(b, c));
  ASSERT_EQ(qelta::kOk,
            Def(b)->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}));
  ASSERT_EQ(qelta::kOk,
            Def(c)->SetDefinitionFromVector({0.5, 0.5, 0.0, 1.0}));
  const int d = Add("d", {}, {0.0, 1.0});
  const int e = Add("e", {d, a}, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
  ASSERT_EQ(qelta::kOk, Val(c)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, Val(d)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(e, true));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(b, true));
  Parts parts = Decompose(qelta::kRelevanceDeterministic);
  ASSERT_EQ(1, parts->GetSize());
  VRN_relevancePart& part = *parts->GetPart(0);
  EXPECT_EQ((std::vector<int>{c, b, a, e}), Handles(part));
  part.SortTopologically();
  EXPECT_EQ((std::vector<int>{a, b, c, e}), Handles(part));
  for (int i = 0; i < part.GetSize(); ++i) EXPECT_EQ(i, part.IndexOf(part[i]));
  // Observed c (one zero among two cells) leads; its ancestors come first.
  part.SortTopologicallyEvidenceFirst();
  EXPECT_EQ((std::vector<int>{a, b, c, e}), Handles(part));
}

TEST_F(RelevanceTest, EvidenceFirstOrdersObservedRecordsByZeroFraction) {
  const int x = Add("x", {}, {0.5, 0.5});
  const int y = Add("y", {x}, {0.0, 1.0, 0.5, 0.5});
  const int z = Add("z", {x}, {0.5, 0.5, 0.5, 0.5});
  ASSERT_EQ(qelta::kOk, Val(y)->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, Val(z)->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, net_.SetTarget(x, true));
  Parts parts = Decompose(qelta::kRelevanceDeterministic);
  ASSERT_EQ(1, parts->GetSize());
  VRN_relevancePart& part = *parts->GetPart(0);
  ASSERT_EQ((std::vector<int>{x, y, z}), Handles(part));
  part.SortTopologically();
  EXPECT_EQ((std::vector<int>{x, y, z}), Handles(part));
  // z (no zero) is visited before y (a quarter zeros).
  part.SortTopologicallyEvidenceFirst();
  EXPECT_EQ((std::vector<int>{x, z, y}), Handles(part));
}

}  // namespace
