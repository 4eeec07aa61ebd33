#include <gtest/gtest.h>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefUtility;

// P -> M -> C with C a copy of M (a decision or a chance node), and a
// utility U below P; every value marked valid.
struct Diagram {
  explicit Diagram(int middle_type) {
    p = net.AddNode(kDefCpt, "P");
    m = net.AddNode(middle_type, "M");
    c = net.AddNode(qelta::kDefTruthTable, "C");
    u = net.AddNode(kDefUtility, "U");
    EXPECT_EQ(0, net.AddArc(p, m));
    EXPECT_EQ(0, net.AddArc(m, c));
    EXPECT_EQ(0, net.AddArc(p, u));
    EXPECT_EQ(0, Def(c)->SetDefinitionFromVector({1, 0, 0, 1}));
    for (int h : {p, m, c, u}) Val(h)->AddFlags(qelta::kValFlagValid);
  }
  VRN_nodeDef* Def(int h) { return net.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net.GetNode(h)->Value(); }
  bool Implied(int h) { return Val(h)->HasFlags(qelta::kValFlagPropagated); }
  VRN_network net;
  int p, m, c, u;
};

TEST(DecisionRelevanceTest, DecisionReachedFromBelowStopsTheWalk) {
  for (int type : {kDefCpt, kDefDecision}) {
    Diagram g(type);
    ASSERT_EQ(0, g.Val(g.c)->SetEvidence(1));
    const bool decision = type == kDefDecision;
    // Implied evidence goes up into a chance node (a valid point mass); a
    // decision takes none and is invalidated instead.
    EXPECT_EQ(!decision, g.Implied(g.m)) << type;
    EXPECT_EQ(!decision, g.Val(g.m)->IsValueValid()) << type;
    EXPECT_EQ(decision, g.Val(g.p)->IsValueValid()) << type;
  }
}

TEST(DecisionRelevanceTest, NoImpliedEvidenceIntoOrOutOfDecisions) {
  Diagram g(kDefDecision);
  ASSERT_EQ(0, g.Val(g.p)->SetEvidence(0));
  // A utility table of 1.0 looks deterministic but is no CPT.
  EXPECT_FALSE(g.Implied(g.u));
  EXPECT_FALSE(g.Implied(g.m));
  ASSERT_EQ(0, g.Val(g.p)->ClearEvidence());
  ASSERT_EQ(0, g.Val(g.m)->SetEvidence(1));
  EXPECT_FALSE(g.Implied(g.p));
  EXPECT_TRUE(g.Implied(g.c));
}

TEST(DecisionRelevanceTest, ChangedUtilitiesInvalidateEveryDecision) {
  Diagram g(kDefDecision);  // M is no relative of U
  VRN_nodeDef* def = g.Def(g.u);
  for (int step = 0; step < 3; ++step) {
    g.Val(g.m)->AddFlags(qelta::kValFlagValid);
    ASSERT_EQ(0, step == 0   ? def->SetDefinitionFromVector({2, 5})
                 : step == 1 ? def->MakeUniform()
                             : def->MakeRandom(*g.net.GetRandomGenerator()));
    EXPECT_FALSE(g.Val(g.m)->IsValueValid()) << step;
  }
}

TEST(DecisionRelevanceTest, EvidenceHasNoProbabilityInAnInfluenceDiagram) {
  Diagram g(kDefDecision);
  ASSERT_EQ(0, g.Val(g.c)->SetEvidence(0));
  double p = 0.5;
  EXPECT_FALSE(g.net.CalcPropEvidence(p, false));  // no crash on M's table
  EXPECT_EQ(-1.0, p);
}

}  // namespace
