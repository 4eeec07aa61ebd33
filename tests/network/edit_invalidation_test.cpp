// Edits that change what an update would give must not leave the old
// beliefs marked valid: type changes, parameter randomization, deleting a
// temporal parent, outcome edits; and a plate node's value keeps its layout
// of one row per slice whenever it is valid.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using qelta_test::Chain;
using qelta_test::Def;
using qelta_test::kCpt;

constexpr int kSlices = 3;

VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }
bool Valid(VRN_network& net, int h) { return Val(net, h)->IsValueValid(); }

std::vector<double> Beliefs(VRN_network& net, int h) {
  const VRN_matrix& m = Val(net, h)->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}


// After an edit: every valid value equals what a new update gives.
void ExpectNoStaleValue(VRN_network& net) {
  std::vector<std::pair<int, std::vector<double>>> kept;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (Valid(net, h)) kept.emplace_back(h, Beliefs(net, h));
  }
  ASSERT_EQ(net.UpdateBeliefs(), 0);
  for (const auto& [h, beliefs] : kept) {
    const std::vector<double> now = Beliefs(net, h);
    ASSERT_EQ(now.size(), beliefs.size()) << net.GetNode(h)->GetId();
    for (size_t i = 0; i < now.size(); ++i) {
      EXPECT_NEAR(now[i], beliefs[i], 1e-12)
          << "stale value of " << net.GetNode(h)->GetId() << " item " << i;
    }
  }
}

TEST(EditInvalidationTest, TypeChangeInvalidatesWhatLiesBelow) {
  for (int code : {20, 146, 274}) {
    Chain chain;
    ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
    ASSERT_TRUE(Valid(chain.net, chain.c));
    ASSERT_EQ(chain.net.GetNode(chain.b)->setNodeType(code), 0) << code;
    EXPECT_FALSE(Valid(chain.net, chain.b)) << code;
    EXPECT_FALSE(Valid(chain.net, chain.c)) << code;
    ExpectNoStaleValue(chain.net);
  }
}

TEST(EditInvalidationTest, TypeChangeOfAnObservedNodeReachesItsParents) {
  Chain chain;
  ASSERT_EQ(Val(chain.net, chain.b)->SetEvidence(1), 0);
  ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
  ASSERT_TRUE(Valid(chain.net, chain.a));
  ASSERT_EQ(chain.net.GetNode(chain.b)->setNodeType(146), 0);
  EXPECT_FALSE(Valid(chain.net, chain.a));
  EXPECT_EQ(Val(chain.net, chain.b)->GetEvidence(), 1);
  ExpectNoStaleValue(chain.net);
}

TEST(EditInvalidationTest, TargetsDoNotKeepStaleValuesAlive) {
  Chain chain;
  ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
  ASSERT_EQ(chain.net.SetTarget(chain.a, true), 0);
  ASSERT_EQ(chain.net.GetNode(chain.b)->setNodeType(20), 0);
  ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
  // Only the target was recomputed; C is not left with the old beliefs.
  EXPECT_FALSE(Valid(chain.net, chain.c));
}

TEST(EditInvalidationTest, RandomizedAndUniformTablesInvalidate) {
  for (bool uniform : {false, true}) {
    for (bool listed : {false, true}) {
      Chain chain;
      ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
      const std::vector<int> nodes{chain.b};
      const std::vector<int>* which = listed ? &nodes : nullptr;
      if (uniform) {
        ASSERT_EQ(chain.net.UniformizeParameters(which), 0);
      } else {
        ASSERT_EQ(chain.net.RandomizeParameters(nullptr, which), 0);
      }
      EXPECT_FALSE(Valid(chain.net, chain.b));
      EXPECT_FALSE(Valid(chain.net, chain.c));
      // Nothing above B changed, so A may stay valid.
      ExpectNoStaleValue(chain.net);
      // The relevance switch is back as it was.
      EXPECT_TRUE(chain.net.IsRelevanceReasoning());
    }
  }
}

TEST(EditInvalidationTest, RandomizingAboveEvidenceReachesTheParents) {
  Chain chain;
  ASSERT_EQ(Val(chain.net, chain.c)->SetEvidence(0), 0);
  ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
  const std::vector<int> nodes{chain.c};
  ASSERT_EQ(chain.net.RandomizeParameters(nullptr, &nodes), 0);
  EXPECT_FALSE(Valid(chain.net, chain.a));
  EXPECT_FALSE(Valid(chain.net, chain.b));
  ExpectNoStaleValue(chain.net);
}

TEST(EditInvalidationTest, WithTheBookkeepingOffValuesAreTheCallersConcern) {
  Chain chain;
  ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
  chain.net.SetRelevanceOptions(qelta::kRelAllOptions & ~qelta::kRelTableChanged);
  ASSERT_EQ(chain.net.UniformizeParameters(nullptr), 0);
  EXPECT_TRUE(Valid(chain.net, chain.c));
}

// Plate nodes X and Y, temporal arc X -> Y of order 1, 3 slices.
struct TemporalPair {
  TemporalPair() {
    x = net.AddNode(kCpt, "X");
    y = net.AddNode(kCpt, "Y");
    EXPECT_EQ(net.setNodeTemporalType(x, qelta::kTemporalPlate), 0);
    EXPECT_EQ(net.setNodeTemporalType(y, qelta::kTemporalPlate), 0);
    EXPECT_EQ(Def(net, x)->SetDefinitionFromVector({0.9, 0.1}), 0);
    EXPECT_EQ(net.AddTemporalArc(x, y, 1), 0);
    EXPECT_EQ(Def(net, y)->SetTemporalDefinitionFromMatrix(1, [] {
      VRN_matrix m;
      const int sizes[2] = {2, 2};
      (void)m.SetDimensionSizes(sizes, 2);
      const double items[4] = {0.95, 0.05, 0.2, 0.8};
      m.SetItemsFromBuffer(items);
      return m;
    }()), 0);
    EXPECT_EQ(net.SetNumberOfSlices(kSlices), 0);
  }
  VRN_network net;
  int x, y;
};

TEST(EditInvalidationTest, DeletingATemporalParentInvalidates) {
  TemporalPair pair;
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ASSERT_TRUE(Valid(pair.net, pair.y));
  ASSERT_EQ(pair.net.DeleteNode(pair.x), 0);
  EXPECT_FALSE(Valid(pair.net, pair.y));
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  for (double b : Beliefs(pair.net, pair.y)) EXPECT_DOUBLE_EQ(b, 0.5);
}

TEST(EditInvalidationTest, DeletingAnIsolatedUtilityInvalidatesDecisions) {
  VRN_network net;
  const int d = net.AddNode(qelta::kDefDecision, "D");
  const int u = net.AddNode(qelta::kDefUtility, "U");
  const int v = net.AddNode(qelta::kDefUtility, "V");
  ASSERT_EQ(net.AddArc(d, u), 0);
  ASSERT_EQ(Def(net, u)->SetDefinitionFromVector({1.0, 3.0}), 0);
  ASSERT_EQ(Def(net, v)->SetDefinitionFromVector({10.0}), 0);
  ASSERT_EQ(net.UpdateBeliefs(), 0);
  ASSERT_TRUE(Valid(net, d));
  ASSERT_EQ(net.DeleteNode(v), 0);
  EXPECT_FALSE(Valid(net, d));
  ExpectNoStaleValue(net);
}

// Noisy-MAX child C of X (3 outcomes, observed) and of a second parent P:
// removing X's distinguished outcome changes C's table under X's evidence.
TEST(EditInvalidationTest, OutcomeEditOfAnObservedParentReachesItsChildren) {
  VRN_network net;
  const int x = net.AddNode(kCpt, "X");
  const int p = net.AddNode(kCpt, "P");
  const int c = net.AddNode(qelta::kDefNoisyMax, "C");
  ASSERT_EQ(Def(net, x)->SetNumberOfOutcomes(3), 0);
  ASSERT_EQ(net.AddArc(x, c), 0);
  ASSERT_EQ(net.AddArc(p, c), 0);
  auto* noisy = static_cast<VRN_noisyMAX*>(Def(net, c));
  VRN_matrix parameters = noisy->Parameters();
  // Columns: X's three outcomes, P's two, the leak.
  const double items[12] = {0.9, 0.1, 0.6, 0.4, 0.0, 1.0,
                            0.7, 0.3, 0.0, 1.0, 0.2, 0.8};
  parameters.SetItemsFromBuffer(items);
  ASSERT_EQ(noisy->SetParameters(parameters), 0);
  ASSERT_EQ(Val(net, x)->SetEvidence(1), 0);
  ASSERT_EQ(net.UpdateBeliefs(), 0);
  ASSERT_TRUE(Valid(net, c));
  ASSERT_EQ(Def(net, x)->RemoveOutcome(2), 0);
  EXPECT_EQ(Val(net, x)->GetEvidence(), 1);
  EXPECT_FALSE(Valid(net, c));
  ExpectNoStaleValue(net);
}

TEST(EditInvalidationTest, EveryOutcomeEditLeavesNoStaleValue) {
  for (int edit = 0; edit < 4; ++edit) {
    Chain chain;
    ASSERT_EQ(Def(chain.net, chain.b)->SetNumberOfOutcomes(3), 0);
    ASSERT_EQ(Val(chain.net, chain.b)->SetEvidence(0), 0);
    ASSERT_EQ(chain.net.UpdateBeliefs(), 0);
    VRN_nodeDef* b = Def(chain.net, chain.b);
    switch (edit) {
      case 0:
        ASSERT_EQ(b->RemoveOutcome(1), 0);
        break;
      case 1:
        ASSERT_EQ(b->InsertOutcome(0, "First"), 0);
        break;
      case 2:
        ASSERT_EQ(b->SetNumberOfOutcomes(2), 0);
        break;
      default:
        ASSERT_EQ(b->AddOutcome("Last"), 0);
        break;
    }
    ExpectNoStaleValue(chain.net);
  }
}

// Values a node got from a solved influence diagram are indexed by the
// decisions; once the network is no influence diagram, an update gives
// them their own shape.
TEST(EditInvalidationTest, OrdinaryUpdateDropsIndexingParents) {
  VRN_network net;
  const int d = net.AddNode(qelta::kDefDecision, "D");
  const int x = net.AddNode(kCpt, "X");
  const int u = net.AddNode(qelta::kDefUtility, "U");
  ASSERT_EQ(net.AddArc(d, x), 0);
  ASSERT_EQ(net.AddArc(x, u), 0);
  ASSERT_EQ(Def(net, u)->SetDefinitionFromVector({1, 2}), 0);
  ASSERT_EQ(net.UpdateBeliefs(), 0);
  ASSERT_EQ(Val(net, x)->GetIndexingParents().GetSize(), 1);
  ASSERT_EQ(net.DeleteNode(u), 0);
  ASSERT_EQ(net.GetNode(d)->setNodeType(kCpt), 0);
  ASSERT_EQ(net.UpdateBeliefs(), 0);
  EXPECT_EQ(Val(net, x)->GetIndexingParents().GetSize(), 0);
  EXPECT_EQ(Val(net, x)->GetValue().GetDimensionCount(), 1);
}

// The unrolled network is built from a copy of the dynamic one: with the
// bookkeeping off, the copied (stale) values must not pass for results of
// an update that computes only its target.
TEST(EditInvalidationTest, TemporalUpdateWithoutBookkeepingComputesAnew) {
  TemporalPair pair;
  const int w = pair.net.AddNode(kCpt, "W");  // outside the plate
  pair.net.SetRelevanceReasoning(false);
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ASSERT_TRUE(Valid(pair.net, w));
  ASSERT_EQ(Def(pair.net, w)->SetDefinitionFromVector({0.2, 0.8}), 0);
  ASSERT_EQ(pair.net.SetTarget(pair.x, true), 0);
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  if (Valid(pair.net, w)) {
    EXPECT_NEAR(Beliefs(pair.net, w)[0], 0.2, 1e-12);
  }
}

// A plate node's value is valid only as one row per slice.
void ExpectPlateLayout(VRN_network& net, int h) {
  if (!Valid(net, h)) return;
  const VRN_matrix& m = Val(net, h)->GetValue();
  ASSERT_EQ(m.GetDimensionCount(), 2) << net.GetNode(h)->GetId();
  EXPECT_EQ(m.GetSize(0), kSlices);
  EXPECT_EQ(m.GetSize(1), Def(net, h)->GetNumberOfOutcomes());
}

TEST(EditInvalidationTest, PlateValueAfterEvidenceKeepsItsLayout) {
  TemporalPair pair;
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ASSERT_EQ(Val(pair.net, pair.x)->SetEvidence(1), 0);
  ExpectPlateLayout(pair.net, pair.x);
  ExpectPlateLayout(pair.net, pair.y);
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ExpectPlateLayout(pair.net, pair.x);
  ASSERT_TRUE(Valid(pair.net, pair.x));
  // Slice 0 holds the evidence, the later slices their beliefs.
  const std::vector<double> rows = Beliefs(pair.net, pair.x);
  EXPECT_DOUBLE_EQ(rows[0], 0.0);
  EXPECT_DOUBLE_EQ(rows[1], 1.0);
  EXPECT_NEAR(rows[2], 0.9, 1e-12);
  // Evidence elsewhere changes the later slices of an observed plate node.
  ASSERT_EQ(Val(pair.net, pair.y)->SetEvidence(0), 0);
  EXPECT_FALSE(Valid(pair.net, pair.x));
  ExpectPlateLayout(pair.net, pair.y);
  // An outcome edit of the observed node keeps no one-row value either.
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ASSERT_EQ(Def(pair.net, pair.x)->AddOutcome("Third"), 0);
  ExpectPlateLayout(pair.net, pair.x);
}

TEST(EditInvalidationTest, ImpliedEvidenceOnAPlateNodeKeepsItsLayout) {
  TemporalPair pair;
  // Y's slice-0 table copies X: observing Y implies X.
  ASSERT_EQ(pair.net.AddArc(pair.x, pair.y), 0);
  ASSERT_EQ(Def(pair.net, pair.y)->SetDefinitionFromVector({1, 0, 0, 1}), 0);
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ASSERT_EQ(Val(pair.net, pair.y)->SetEvidence(1), 0);
  ASSERT_TRUE(Val(pair.net, pair.x)->HasFlags(qelta::kValFlagPropagated));
  ExpectPlateLayout(pair.net, pair.x);
  ASSERT_EQ(pair.net.UpdateBeliefs(), 0);
  ExpectPlateLayout(pair.net, pair.x);
  ExpectPlateLayout(pair.net, pair.y);
}

}  // namespace
