#include <gtest/gtest.h>

#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefTruthTable;
using qelta::kDefUtility;

VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }

void MarkAllValid(VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    Val(net, h)->AddFlags(qelta::kValFlagValid);
  }
}

bool Propagated(VRN_network& net, int h) {
  return Val(net, h)->HasFlags(qelta::kValFlagPropagated);
}

// P -> M -> C with C a copy of M; M is a decision or a chance node.
struct Chain {
  explicit Chain(int middle_type) {
    p = net.AddNode(kDefCpt, "P");
    m = net.AddNode(middle_type, "M");
    c = net.AddNode(kDefTruthTable, "C");
    EXPECT_EQ(0, net.AddArc(p, m));
    EXPECT_EQ(0, net.AddArc(m, c));
    EXPECT_EQ(0, net.GetNode(c)->Definition()->SetDefinitionFromVector(
                     {1, 0, 0, 1}));
    MarkAllValid(net);
  }
  VRN_network net;
  int p, m, c;
};

TEST(DecisionRelevanceTest, DecisionReachedFromBelowStopsTheWalk) {
  for (int type : {kDefCpt, kDefDecision}) {
    Chain chain(type);
    ASSERT_EQ(0, Val(chain.net, chain.c)->SetEvidence(1));
    const bool decision = type == kDefDecision;
    // Implied evidence goes up into a chance node (a point mass, valid),
    // never into a decision, which is invalidated instead.
    EXPECT_EQ(!decision, Propagated(chain.net, chain.m)) << type;
    EXPECT_EQ(!decision, Val(chain.net, chain.m)->IsValueValid()) << type;
    EXPECT_EQ(decision, Val(chain.net, chain.p)->IsValueValid()) << type;
  }
}

TEST(DecisionRelevanceTest, ObservedDecisionPassesNoEvidenceUp) {
  VRN_network net;
  const int p = net.AddNode(kDefCpt, "P");
  const int d = net.AddNode(kDefDecision, "D");
  ASSERT_EQ(0, net.AddArc(p, d));
  ASSERT_EQ(0, Val(net, d)->SetEvidence(1));
  EXPECT_FALSE(Propagated(net, p));
}

TEST(DecisionRelevanceTest, NoImpliedEvidenceDownIntoDecisionsOrUtilities) {
  VRN_network net;
  const int a = net.AddNode(kDefCpt, "A");
  const int u = net.AddNode(kDefUtility, "U");
  const int d = net.AddNode(kDefDecision, "D");
  ASSERT_EQ(0, net.AddArc(a, u));
  ASSERT_EQ(0, net.AddArc(a, d));
  ASSERT_EQ(0, Val(net, a)->SetEvidence(0));
  // A utility table of 1.0 everywhere looks deterministic; it is no CPT.
  EXPECT_FALSE(Propagated(net, u));
  EXPECT_FALSE(Propagated(net, d));
  EXPECT_EQ(-2, Val(net, d)->GetEvidence());
}

TEST(DecisionRelevanceTest, ChangedUtilityInvalidatesEveryDecision) {
  VRN_network net;
  const int a = net.AddNode(kDefCpt, "A");
  const int u = net.AddNode(kDefUtility, "U");
  const int d1 = net.AddNode(kDefDecision, "D1");
  const int d2 = net.AddNode(kDefDecision, "D2");
  ASSERT_EQ(0, net.AddArc(a, u));
  MarkAllValid(net);
  ASSERT_EQ(0, net.GetNode(u)->Definition()->SetDefinitionFromVector({2, 5}));
  EXPECT_FALSE(Val(net, d1)->IsValueValid());
  EXPECT_FALSE(Val(net, d2)->IsValueValid());
  EXPECT_TRUE(Val(net, a)->IsValueValid());
  for (int step = 0; step < 2; ++step) {
    MarkAllValid(net);
    VRN_nodeDef* def = net.GetNode(u)->Definition();
    ASSERT_EQ(0, step == 0 ? def->MakeUniform() : def->MakeRandom(
                                                      *net.GetRandomGenerator()));
    EXPECT_FALSE(Val(net, u)->IsValueValid()) << step;
    EXPECT_FALSE(Val(net, d2)->IsValueValid()) << step;
  }
}

}  // namespace
