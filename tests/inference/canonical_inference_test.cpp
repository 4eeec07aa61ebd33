#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"
#include "definitions/node_val.h"

namespace {

VRN_nodeDef* Def(VRN_network& net, int h) { return net.GetNode(h)->Definition(); }
VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }

std::vector<double> RandomColumns(std::mt19937& rng, int items, int n) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> out;
  for (int c = 0; c < items / n; ++c) {
    std::vector<double> column(n);
    double sum = 0;
    for (double& v : column) sum += v = unit(rng) < 0.15 ? 0.0 : unit(rng);
    if (sum == 0) column[n - 1] = sum = 1;
    for (double v : column) out.push_back(v / sum);
  }
  return out;
}

// Random networks of CPT, noisy-MAX and noisy-adder nodes plus a
// DeMorgan/CAST cluster, evidence on some nodes: code 0 equals enumeration.
TEST(CanonicalInferenceTest, MixedNetworksMatchEnumeration) {
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int compared = 0;
  for (int round = 0; round < 60; ++round) {
    VRN_network net;
    const int types[3] = {qelta::kDefCpt, qelta::kDefNoisyMax,
                          qelta::kDefNoisyAdder};
    const int n = 3 + static_cast<int>(rng() % 5);
    for (int h = 0; h < n; ++h) {
      ASSERT_EQ(h, net.AddNode(types[rng() % 3], ("n" + std::to_string(h)).c_str()));
      ASSERT_EQ(0, Def(net, h)->SetNumberOfOutcomes(2 + static_cast<int>(rng() % 2)));
    }
    for (int c = 1; c < n; ++c) {
      for (int p = 0; p < c; ++p) {
        if (unit(rng) < 0.45) {
          ASSERT_EQ(0, net.AddArc(p, c));
        }
      }
    }
    const int q = 2 + static_cast<int>(rng() % 3);  // qualitative cluster
    const int qual = unit(rng) < 0.5 ? qelta::kDefDemorgan : qelta::kDefCast;
    for (int i = 0; i < q; ++i) {
      const int h = net.AddNode(qual, ("q" + std::to_string(i)).c_str());
      for (int p = n; p < h; ++p) {
        if (unit(rng) < 0.6) {
          ASSERT_EQ(0, net.AddArc(p, h));
        }
      }
    }
    for (int h = 0; h < net.GetSlotCount(); ++h) {
      VRN_nodeDef* d = Def(net, h);
      const int k = d->GetNumberOfOutcomes();
      if (auto* m = dynamic_cast<VRN_noisyMAX*>(d)) {
        const std::vector<double> p = RandomColumns(rng, m->Parameters().GetItemCount(), k);
        VRN_doubleArray a;
        for (double v : p) a.Add(v);
        ASSERT_EQ(0, m->LoadParameters(a));
        m->SetConstrainedColumns();
        for (int i = 0; i < m->GetStrengthsCount(); ++i) {
          VRN_intArray order(m->GetParentOutcomeStrengths(i));
          std::shuffle(order.begin(), order.end(), rng);
          ASSERT_EQ(0, m->SetParentOutcomeStrengths(i, order));
        }
      } else if (auto* a = dynamic_cast<VRN_noisyAdder*>(d)) {
        ASSERT_EQ(0, d->SetDefinitionFromVector(
                         RandomColumns(rng, a->Parameters().GetItemCount(), k)));
        ASSERT_EQ(0, a->SetFunction(static_cast<int>(rng() % 2)));
        ASSERT_EQ(0, a->SetParentWeight(0, 0.5 + unit(rng)));
      } else if (auto* g = dynamic_cast<VRN_demorgan*>(d)) {
        ASSERT_EQ(0, g->SetPriorBelief(unit(rng)));
        for (int i = 0; i < g->GetParentCount(); ++i) {
          ASSERT_EQ(0, g->SetParentType(i, static_cast<int>(rng() % 4)));
          ASSERT_EQ(0, g->SetParentWeight(i, unit(rng)));
        }
      } else if (auto* c = dynamic_cast<VRN_cast*>(d)) {
        ASSERT_EQ(0, c->SetBaseline(unit(rng)));
        VRN_doubleArray pos, neg;
        for (int i = 0; i < c->GetPositiveWeights().GetSize(); ++i) {
          pos.Add(2 * unit(rng) - 1);
          neg.Add(2 * unit(rng) - 1);
        }
        ASSERT_EQ(0, c->SetPositiveWeights(pos));
        ASSERT_EQ(0, c->SetNegativeWeights(neg));
      } else {
        ASSERT_EQ(0, d->SetDefinitionFromVector(RandomColumns(
                         rng, d->GetMatrixConst()->GetItemCount(), k)));
      }
    }
    for (int h = 0; h < net.GetSlotCount(); ++h) {
      if (unit(rng) < 0.25) (void)Val(net, h)->SetEvidence(0);
    }
    const testnet::Enumeration e = testnet::Enumerate(net);
    const int status = net.UpdateBeliefs();
    if (e.z == 0.0) continue;  // impossible evidence: reported, not compared
    ++compared;
    ASSERT_EQ(0, status) << "round " << round;
    testnet::ExpectPosteriors(net, e, 1e-12, "round " + std::to_string(round));
  }
  EXPECT_GT(compared, 40);
}

// A noisy-MAX node whose expanded table cannot exist fails the update
// instead of reaching inference without a table.
TEST(CanonicalInferenceTest, UnbuildableTableFailsTheUpdate) {
  VRN_network net;
  const int child = net.AddNode(qelta::kDefNoisyMax, "child");
  for (int i = 0; i < 31; ++i) {
    const int p = net.AddNode(qelta::kDefCpt, ("p" + std::to_string(i)).c_str());
    ASSERT_EQ(0, net.AddArc(p, child));
  }
  EXPECT_EQ(nullptr, Def(net, child)->GetExpandedDefinition());
  EXPECT_NE(0, net.UpdateBeliefs());
}

}  // namespace
