// A DeMorgan or CAST node carrying the root flag enters inference cut from
// its parents, with its own prior as its table.
#include <gtest/gtest.h>

#include "base/status.h"
#include "definitions/node_val.h"
#include "definitions/qualitative.h"
#include "network/network.h"
#include "network/node.h"

namespace {

TEST(RelevanceRootTest, FlaggedNodeKeepsItsPriorAndParentsLoseNothing) {
  for (int type : {qelta::kDefDemorgan, qelta::kDefCast}) {
    for (int algorithm : {0, 10, 11}) {
      SCOPED_TRACE(testing::Message() << type << " " << algorithm);
      // a (0.3) and b (0.6) feed c (0.2) through strong weights.
      VRN_network net;
      const double own[3] = {0.3, 0.6, 0.2};
      for (const char* id : {"a", "b", "c"}) ASSERT_GE(net.AddNode(type, id), 0);
      ASSERT_EQ(qelta::kOk, net.AddArc(0, 2));
      ASSERT_EQ(qelta::kOk, net.AddArc(1, 2));
      VRN_doubleArray weights;
      weights.Add(0.8);
      weights.Add(0.8);
      for (int h = 0; h < 3; ++h) {
        auto* d = dynamic_cast<VRN_demorgan*>(net.GetNode(h)->Definition());
        auto* c = dynamic_cast<VRN_cast*>(net.GetNode(h)->Definition());
        ASSERT_EQ(qelta::kOk,
                  d ? d->SetPriorBelief(own[h]) : c->SetBaseline(own[h]));
        if (h == 2) {
          ASSERT_EQ(qelta::kOk, d ? d->SetParentWeights(weights)
                                  : c->SetPositiveWeights(weights));
        }
      }
      ASSERT_EQ(algorithm, net.SetDefaultBNAlgorithm(algorithm));
      VRN_nodeVal* value = net.GetNode(2)->Value();
      value->AddFlags(qelta::kValFlagRoot);
      for (int evidence : {-1, 0}) {
        if (evidence == 0) {
          ASSERT_EQ(qelta::kOk, value->SetEvidence(0));
        }
        ASSERT_EQ(qelta::kOk, net.InvalidateValues());
        ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
        for (int h = 0; h < 3; ++h) {
          const double p = h < 2 ? own[h] : evidence == 0 ? 1.0 : own[h];
          EXPECT_NEAR(1 - p, net.GetNode(h)->Value()->GetValue().GetItem(1),
                      1e-12);
        }
      }
      // Clearing the evidence clears the flag: the evidence reached a before.
      ASSERT_EQ(qelta::kOk, value->ClearEvidence());
      EXPECT_FALSE(value->HasFlags(qelta::kValFlagRoot));
      ASSERT_EQ(qelta::kOk, value->SetEvidence(0));
      ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
      EXPECT_GT(net.GetNode(0)->Value()->GetValue().GetItem(0), 0.31);
    }
  }
}

}  // namespace
