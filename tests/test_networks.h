// Random Bayesian networks and brute-force enumeration of their joint, for
// the tests that check the engines against the definition of a posterior.
#ifndef QELTA_TESTS_TEST_NETWORKS_H_
#define QELTA_TESTS_TEST_NETWORKS_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"

namespace testnet {

inline VRN_nodeVal* Val(VRN_network& net, int h) {
  return net.GetNode(h)->Value();
}
inline int Outcomes(VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetNumberOfOutcomes();
}
inline std::vector<double> Beliefs(VRN_network& net, int h) {
  const VRN_matrix& m = Val(net, h)->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

// Marks every value without evidence valid with beliefs no update computes.
inline void PoisonBeliefs(VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (Val(net, h)->HasEvidence()) continue;
    ASSERT_EQ(qelta::kOk, Val(net, h)->GetMutableValue().SetSingleDimension(
                              Outcomes(net, h)));
    Val(net, h)->GetMutableValue().FillWith(-1.0);
    Val(net, h)->AddFlags(qelta::kValFlagValid);
  }
}

struct RandomNetworkShape {
  int max_nodes;
  int max_outcomes;      // outcomes are drawn from 2..max_outcomes
  long long max_joint;   // keeps the enumeration small
  double min_arc_chance;
};

// A random network whose handles are not in topological order, with tables
// that hold exact zeros and deterministic columns, and random evidence
// (possibly impossible). *quiet tells whether the evidence was set without
// the network's implied-evidence bookkeeping (half the networks), so that
// impossible combinations stay.
inline void MakeRandomNetwork(std::mt19937& rng, VRN_network& net,
                              const RandomNetworkShape& shape,
                              bool* quiet = nullptr) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int n = std::uniform_int_distribution<int>(1, shape.max_nodes)(rng);
  std::vector<int> outcomes(n);
  long long joint = 1;
  for (int& k : outcomes) {
    k = std::uniform_int_distribution<int>(2, shape.max_outcomes)(rng);
    joint *= k;
  }
  for (int i = 0; joint > shape.max_joint; i = (i + 1) % n) {
    if (outcomes[i] > 2) {
      joint = joint / outcomes[i] * (outcomes[i] - 1);
      --outcomes[i];
    }
  }
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(i, net.AddNode(qelta::kDefCpt, ("n" + std::to_string(i)).c_str()));
    ASSERT_EQ(qelta::kOk,
              net.GetNode(i)->Definition()->SetNumberOfOutcomes(outcomes[i]));
  }
  std::vector<int> rank(n);  // topological rank: a permutation of handles
  for (int i = 0; i < n; ++i) rank[i] = i;
  std::shuffle(rank.begin(), rank.end(), rng);
  const double arc_chance = shape.min_arc_chance + 0.5 * unit(rng);
  for (int c = 0; c < n; ++c) {
    int added = 0;
    for (int p = 0; p < n && added < 3; ++p) {
      if (rank[p] < rank[c] && unit(rng) < arc_chance) {
        ASSERT_EQ(qelta::kOk, net.AddArc(p, c));
        ++added;
      }
    }
  }
  for (int h = 0; h < n; ++h) {
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    const int k = outcomes[h];
    std::vector<double> items;
    for (int c = def->GetMatrixConst()->GetItemCount() / k; c > 0; --c) {
      std::vector<double> column(k, 0.0);
      if (unit(rng) < 0.1) {
        column[rng() % k] = 1.0;
      } else {
        double sum = 0.0;
        for (double& v : column) {
          v = unit(rng) < 0.15 ? 0.0 : 0.05 + unit(rng);
          sum += v;
        }
        if (sum == 0.0) column[0] = sum = 1.0;
        for (double& v : column) v /= sum;
      }
      items.insert(items.end(), column.begin(), column.end());
    }
    ASSERT_EQ(qelta::kOk, def->SetDefinitionFromVector(items));
  }
  const bool silent = unit(rng) < 0.5;
  if (quiet != nullptr) *quiet = silent;
  const bool was_on = net.IsRelevanceReasoning();
  if (silent) net.SetRelevanceReasoning(false);
  for (int h = 0; h < n; ++h) {
    if (unit(rng) < 0.3) (void)Val(net, h)->SetEvidence(rng() % outcomes[h]);
  }
  net.SetRelevanceReasoning(was_on);
}

// The joint restricted to the observed evidence, by enumeration over the
// tables inference uses (expanded for the canonical kinds), weighed by
// likelihoods[h] where given and not empty: P(e), the unnormalised marginals
// P(x, e), per node the unnormalised posterior of its family laid out like
// its table, and (when asked) every configuration.
struct Enumeration {
  double z = 0.0;
  std::vector<std::vector<double>> marginals;
  std::vector<std::vector<double>> families;
  std::vector<std::pair<std::vector<int>, double>> configurations;

  // Unnormalised joint of `nodes`, first node slowest; needs configurations.
  std::vector<double> Marginal(VRN_network& net,
                               const std::vector<int>& nodes) const {
    std::size_t cells = 1;
    for (int h : nodes) cells *= Outcomes(net, h);
    std::vector<double> out(cells, 0.0);
    for (const auto& [x, p] : configurations) {
      std::size_t index = 0;
      for (int h : nodes) index = index * Outcomes(net, h) + x[h];
      out[index] += p;
    }
    return out;
  }
};

inline Enumeration Enumerate(
    VRN_network& net, bool keep_configurations = false,
    const std::vector<std::vector<double>>* likelihoods = nullptr) {
  const int n = net.GetSlotCount();
  std::vector<int> evidence(n, -1);
  Enumeration e;
  for (int h = 0; h < n; ++h) {
    if (Val(net, h)->HasFlags(qelta::kValFlagEvidence)) {
      evidence[h] = Val(net, h)->GetEvidence();
    }
    e.marginals.emplace_back(Outcomes(net, h), 0.0);
    e.families.emplace_back(
        net.GetNode(h)->Definition()->GetExpandedDefinition()->GetItemCount(),
        0.0);
  }
  std::vector<int> x(n), index(n);
  for (int h = 0; h < n; ++h) x[h] = std::max(evidence[h], 0);
  for (;;) {
    double p = 1.0;
    for (int h = 0; h < n; ++h) {
      const VRN_matrix& t =
          *net.GetNode(h)->Definition()->GetExpandedDefinition();
      const VRN_intArray& parents = net.GetNode(h)->Parents();
      index[h] = x[h];
      for (int i = 0; i < parents.GetSize(); ++i) {
        index[h] += x[parents[i]] * t.GetStrides()[i];
      }
      p *= t.GetItem(index[h]);
      if (likelihoods != nullptr && !(*likelihoods)[h].empty()) {
        p *= (*likelihoods)[h][x[h]];
      }
    }
    e.z += p;
    for (int h = 0; h < n; ++h) {
      e.marginals[h][x[h]] += p;
      e.families[h][index[h]] += p;
    }
    if (keep_configurations) e.configurations.emplace_back(x, p);
    int h = 0;
    for (; h < n; ++h) {
      if (evidence[h] >= 0) continue;
      if (++x[h] < Outcomes(net, h)) break;
      x[h] = 0;
    }
    if (h == n) break;
  }
  return e;
}

// Runs one update with algorithm `code` after poisoning the values and
// emptying the log; answers its status.
inline int RunCode(VRN_network& net, int code) {
  PoisonBeliefs(net);
  net.ErrorLog()->Flush();
  EXPECT_EQ(code, net.SetDefaultBNAlgorithm(code));
  return net.UpdateBeliefs();
}

// Every value (those with evidence too unless skip_observed) is valid and
// holds the enumerated posterior within tolerance.
inline void ExpectPosteriors(VRN_network& net, const Enumeration& e,
                             double tolerance, const std::string& what,
                             bool skip_observed = false) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (skip_observed && Val(net, h)->HasEvidence()) continue;
    ASSERT_TRUE(Val(net, h)->IsValueValid()) << what << " node " << h;
    const std::vector<double> beliefs = Beliefs(net, h);
    ASSERT_EQ(e.marginals[h].size(), beliefs.size()) << what << " node " << h;
    for (size_t k = 0; k < beliefs.size(); ++k) {
      EXPECT_NEAR(e.marginals[h][k] / e.z, beliefs[k], tolerance)
          << what << " node " << h << " outcome " << k;
    }
  }
}

}  // namespace testnet

#endif  // QELTA_TESTS_TEST_NETWORKS_H_
