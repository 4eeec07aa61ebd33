#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/status.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/node_val.h"
#include "definitions/qualitative.h"
#include "inference/relevance.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

VRN_nodeDef* Def(VRN_network& net, int h) { return net.GetNode(h)->Definition(); }
VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }

// Records without a network node in the parts of one relevance run.
int AuxiliaryRecords(VRN_network& net) {
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, qelta::kRelevanceForClustering));
  int count = 0;
  for (int i = 0; parts != nullptr && i < parts->GetSize(); ++i) {
    const VRN_relevancePart* part = parts->GetPart(i);
    for (int r = 0; part != nullptr && r < part->GetSize(); ++r) {
      if ((*part)[r]->GetNode() == nullptr) ++count;
    }
  }
  return count;
}

TEST(NoisyDecompositionTest, AuxiliaryCountFollowsTheGrouping) {
  for (int limit = 2; limit <= 5; ++limit) {
    for (int n = 3; n <= 10; ++n) {
      VRN_network net;
      const int child = net.AddNode(qelta::kDefNoisyMax, "child");
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(0, net.AddArc(net.AddNode(qelta::kDefCpt,
                                            ("p" + std::to_string(i)).c_str()),
                                child));
      }
      net.SetNoisyDecomp(true);
      net.SetNoisyDecompLimit(limit);
      int want = 0;
      if (n > limit) {
        want = limit == 2 ? n - 2
                          : n / (limit - 1) - (n % (limit - 1) < 2 ? 1 : 0);
      }
      EXPECT_EQ(want, AuxiliaryRecords(net)) << n << " parents, limit " << limit;
      if (n == 5) {
        EXPECT_EQ(limit == 4 ? 1 : limit == 2 ? 3 : want, want);
      }
    }
  }
}

// Decomposition exists for nodes whose full table would not fit: evidence
// and an update of such a node never expand it.
TEST(NoisyDecompositionTest, ManyParentsNeedNoExpandedTable) {
  VRN_network net;
  const int child = net.AddNode(qelta::kDefNoisyMax, "child");
  for (int i = 0; i < 26; ++i) {
    ASSERT_EQ(0, net.AddArc(net.AddNode(qelta::kDefCpt, ("p" + std::to_string(i)).c_str()),
                            child));
  }
  auto* noisy = static_cast<VRN_noisyMAX*>(Def(net, child));
  VRN_doubleArray items;
  for (int c = 0; c < noisy->GetColumnCount(); ++c) {
    items.Add(c % 2 == 0 ? 0.1 : 0.0);
    items.Add(c % 2 == 0 ? 0.9 : 1.0);
  }
  ASSERT_EQ(0, noisy->LoadParameters(items));
  net.SetNoisyDecomp(true);
  ASSERT_EQ(0, Val(net, child)->SetEvidence(1));
  ASSERT_EQ(0, net.UpdateBeliefs());
  EXPECT_FALSE(noisy->IsCptValid());
  // Every cause absent: 0.9 ^ 27 for the evidence, so each parent's
  // posterior of being present (the child is handle 0) is 0.5 * 0.9 / (0.5 * 0.9 + 0.5).
  EXPECT_NEAR(0.45 / 0.95, Val(net, 1)->GetValue().GetItem(0), 1e-12);
}

// Random networks around one or two noisy-MAX nodes of 3 to 8 parents
// (2-3 outcomes, random strengths, zeros in the parameters), a child
// below, evidence and virtual evidence anywhere: decomposition at limits 2,
// 3 and 4 gives the enumerated posteriors.
TEST(NoisyDecompositionTest, BeliefsMatchEnumeration) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int compared = 0;
  for (int round = 0; round < 200; ++round) {
    VRN_network net;
    const int roots = 3 + static_cast<int>(rng() % 6);
    long long joint = 1;
    for (int i = 0; i < roots; ++i) {
      const int h = net.AddNode(qelta::kDefCpt, ("r" + std::to_string(i)).c_str());
      const int k = joint < 2000 && unit(rng) < 0.3 ? 3 : 2;
      joint *= k;
      ASSERT_EQ(0, Def(net, h)->SetNumberOfOutcomes(k));
      std::vector<double> p(k);
      double sum = 0;
      for (double& v : p) sum += v = unit(rng) + 0.01;
      for (double& v : p) v /= sum;
      ASSERT_EQ(0, Def(net, h)->SetDefinitionFromVector(p));
    }
    const int noisy_count = 1 + static_cast<int>(rng() % 2);
    std::vector<int> noisy;
    for (int m = 0; m < noisy_count; ++m) {
      const int h = net.AddNode(qelta::kDefNoisyMax, ("m" + std::to_string(m)).c_str());
      noisy.push_back(h);
      ASSERT_EQ(0, Def(net, h)->SetNumberOfOutcomes(2 + static_cast<int>(rng() % 2)));
      std::vector<int> pool(roots);
      for (int i = 0; i < roots; ++i) pool[i] = i;
      std::shuffle(pool.begin(), pool.end(), rng);
      const int parents = std::max(3, roots - static_cast<int>(rng() % 2));
      for (int i = 0; i < parents && i < roots; ++i) {
        ASSERT_EQ(0, net.AddArc(pool[i], h));
      }
      auto* d = static_cast<VRN_noisyMAX*>(Def(net, h));
      const int k = d->GetNumberOfOutcomes();
      VRN_doubleArray items;
      for (int c = 0; c < d->GetColumnCount(); ++c) {
        std::vector<double> column(k);
        double sum = 0;
        for (double& v : column) sum += v = unit(rng) < 0.2 ? 0.0 : unit(rng);
        if (sum == 0) column[k - 1] = sum = 1;
        for (double v : column) items.Add(v / sum);
      }
      ASSERT_EQ(0, d->LoadParameters(items));
      d->SetConstrainedColumns();
      for (int i = 0; i < d->GetStrengthsCount(); ++i) {
        VRN_intArray order(d->GetParentOutcomeStrengths(i));
        std::shuffle(order.begin(), order.end(), rng);
        ASSERT_EQ(0, d->SetParentOutcomeStrengths(i, order));
      }
    }
    const int below = net.AddNode(qelta::kDefCpt, "below");
    ASSERT_EQ(0, net.AddArc(noisy[0], below));
    std::vector<std::vector<double>> likelihoods(net.GetSlotCount());
    for (int h = 0; h < net.GetSlotCount(); ++h) {
      const double u = unit(rng);
      if (u < 0.15) {
        (void)Val(net, h)->SetEvidence(0);
      } else if (u < 0.25) {
        std::vector<double> l(Def(net, h)->GetNumberOfOutcomes());
        for (double& v : l) v = unit(rng);
        if (Val(net, h)->SetVirtualEvidence(l) == qelta::kOk) likelihoods[h] = l;
      }
    }
    const testnet::Enumeration e = testnet::Enumerate(net, false, &likelihoods);
    if (e.z == 0.0) continue;
    ++compared;
    for (int limit : {0, 2, 3, 4}) {
      net.SetNoisyDecomp(limit > 0);
      net.SetNoisyDecompLimit(limit > 0 ? limit : 4);
      ASSERT_EQ(0, net.InvalidateValues());
      const std::string what =
          "round " + std::to_string(round) + " limit " + std::to_string(limit);
      ASSERT_EQ(0, net.UpdateBeliefs()) << what;
      testnet::ExpectPosteriors(net, e, 1e-12, what, true);
    }
  }
  EXPECT_GT(compared, 150);
}

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
