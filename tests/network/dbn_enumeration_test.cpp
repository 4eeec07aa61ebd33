// Random dynamic networks against enumeration of the unrolled joint, which
// the test builds from the public view: unrolled parents, temporal tables
// and terminal nodes under the last slice.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;

// One variable of the unrolled joint: its table and, per table coordinate
// before the last, the variable that sets it (-1: fixed at outcome 0).
struct Var {
  int node = -1, slice = 0, card = 2;
  const VRN_matrix* table = nullptr;
  std::vector<int> coords;
  int evidence = -1;
  std::vector<double> soft;
};

struct Model {
  std::vector<Var> vars;
  std::vector<std::vector<int>> index;  // [node][slice] -> var
};

int OrderUsed(VRN_network& net, int node, int slice) {
  VRN_intArray orders;
  EXPECT_EQ(net.GetTemporalOrders(node, orders), 0);
  int used = 0;
  for (int k : orders) {
    if (k <= slice) used = k;
  }
  return used;
}

Model BuildModel(VRN_network& net) {
  Model m;
  const int S = net.GetNumberOfSlices();
  m.index.assign(net.GetSlotCount(), std::vector<int>(S, -1));
  // Handles are in no topological order; vars are made slice by slice and
  // each plate copy's parents are looked up when all vars exist.
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const int type = net.GetTemporalType(h);
    const int copies = type == qelta::kTemporalPlate ? S : 1;
    for (int s = 0; s < copies; ++s) {
      Var v;
      v.node = h;
      v.slice = s;
      v.card = net.GetNode(h)->Definition()->GetNumberOfOutcomes();
      m.index[h][s] = static_cast<int>(m.vars.size());
      m.vars.push_back(v);
    }
  }
  auto at = [&](int q, int slice) {
    return net.GetTemporalType(q) == qelta::kTemporalPlate ? m.index[q][slice]
                                                          : m.index[q][0];
  };
  for (Var& v : m.vars) {
    VRN_node* node = net.GetNode(v.node);
    const int type = node->GetTemporalType();
    const int used =
        type == qelta::kTemporalPlate && v.slice > 0
            ? OrderUsed(net, v.node, v.slice)
            : 0;
    if (used == 0) {
      v.table = node->Definition()->GetMatrixConst();
      for (int q : node->Parents()) {
        const bool anchor = net.GetTemporalType(q) == qelta::kTemporalAnchor;
        if (anchor && v.slice > 0) {
          v.coords.push_back(-1);
        } else if (type == qelta::kTemporalTerminal) {
          v.coords.push_back(at(q, S - 1));
        } else {
          v.coords.push_back(at(q, v.slice));
        }
      }
    } else {
      v.table = node->Definition()->GetTemporalMatrix(used);
      std::vector<std::pair<int, int>> pairs;
      EXPECT_EQ(net.GetUnrolledParents(v.node, v.slice, pairs), 0);
      for (const auto& [q, k] : pairs) v.coords.push_back(at(q, v.slice - k));
    }
    EXPECT_EQ(static_cast<int>(v.coords.size()) + 1,
              v.table->GetDimensionCount());
  }
  return m;
}

// Posterior marginals of every var and the probability of the evidence.
void Enumerate(const Model& m, std::vector<std::vector<double>>& post,
               double& pe) {
  const int n = static_cast<int>(m.vars.size());
  std::vector<int> x(n, 0);
  post.assign(n, {});
  for (int i = 0; i < n; ++i) post[i].assign(m.vars[i].card, 0.0);
  pe = 0.0;
  VRN_intArray c;
  while (true) {
    double p = 1.0;
    for (int i = 0; i < n && p != 0.0; ++i) {
      const Var& v = m.vars[i];
      if (v.evidence >= 0 && x[i] != v.evidence) p = 0.0;
      if (!v.soft.empty()) p *= v.soft[x[i]];
      c.Flush();
      for (int src : v.coords) c.Add(src < 0 ? 0 : x[src]);
      c.Add(x[i]);
      p *= v.table->Element(c);
    }
    pe += p;
    for (int i = 0; i < n; ++i) post[i][x[i]] += p;
    int d = 0;
    while (d < n && ++x[d] == m.vars[d].card) x[d++] = 0;
    if (d == n) break;
  }
  for (auto& row : post) {
    for (double& v : row) v /= pe;
  }
}

void Ok(int status) { EXPECT_EQ(status, 0); }

// With zeros, each entry but one kept positive is 0 with probability 0.4:
// tables and likelihoods that make some evidence impossible.
std::vector<double> RandomDist(std::mt19937& rng, int n, bool zeros = false) {
  std::uniform_real_distribution<double> u(0.05, 1.0);
  std::vector<double> v(n);
  const int kept = zeros ? static_cast<int>(rng() % n) : -1;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    v[i] = zeros && i != kept && u(rng) < 0.43 ? 0.0 : u(rng);
    sum += v[i];
  }
  for (double& x : v) x /= sum;
  return v;
}

void RandomizeTable(std::mt19937& rng, VRN_nodeDef* def, int order, bool zeros) {
  const VRN_matrix* t =
      order == 0 ? def->GetMatrixConst() : def->GetTemporalMatrix(order);
  ASSERT_NE(t, nullptr);
  const int card = t->GetSize(t->GetDimensionCount() - 1);
  VRN_doubleArray items;
  for (int i = 0; i < t->GetItemCount() / card; ++i) {
    for (double v : RandomDist(rng, card, zeros)) items.Add(v);
  }
  if (order == 0) {
    ASSERT_EQ(def->SetDefinition(items), 0);
  } else {
    ASSERT_EQ(def->SetTemporalDefinition(order, items), 0);
  }
}

// Builds a random dynamic network; answers whether all evidence is hard.
// With zeros the tables and likelihoods hold zeros, and evidence the
// network refuses at once (what it contradicts is implied) is left out.
bool BuildRandom(std::mt19937& rng, VRN_network& net, bool zeros) {
  auto coin = [&](double p) {
    return std::uniform_real_distribution<double>(0, 1)(rng) < p;
  };
  const int plates = 1 + static_cast<int>(rng() % 3);
  std::vector<int> plate;
  for (int i = 0; i < plates; ++i) {
    plate.push_back(net.AddNode(kCpt, nullptr));
    if (i == 0 && coin(0.3)) {
      (void)net.GetNode(plate[0])->Definition()->SetNumberOfOutcomes(3);
    }
    EXPECT_EQ(net.setNodeTemporalType(plate[i], 3), 0);
  }
  const int normal = net.AddNode(kCpt, "N");
  const int anchor = net.AddNode(kCpt, "A");
  const int terminal = net.AddNode(kCpt, "T");
  EXPECT_EQ(net.setNodeTemporalType(anchor, 1), 0);
  EXPECT_EQ(net.setNodeTemporalType(terminal, 2), 0);
  EXPECT_EQ(net.SetNumberOfSlices(1 + static_cast<int>(rng() % 4)), 0);
  for (int i = 0; i < plates; ++i) {
    for (int j = i + 1; j < plates; ++j) {
      if (coin(0.5)) Ok(net.AddArc(plate[j], plate[i]));
    }
  }
  // Temporal arcs of orders 1 and 2 (self arcs included) before the edits.
  for (int i = 0; i < plates; ++i) {
    for (int j = 0; j < plates; ++j) {
      if (coin(0.4)) Ok(net.AddTemporalArc(plate[i], plate[j], 1 + rng() % 2));
    }
  }
  // Edits that the temporal definitions must follow.
  if (coin(0.7)) Ok(net.AddArc(normal, plate[rng() % plates]));
  if (coin(0.7)) Ok(net.AddArc(anchor, plate[rng() % plates]));
  if (coin(0.5)) {
    EXPECT_EQ(net.setNodeTemporalType(anchor, 0), 0);
    EXPECT_EQ(net.setNodeTemporalType(anchor, 1), 0);
  }
  if (coin(0.5)) {
    const int c = plate[rng() % plates];
    const VRN_intArray parents = net.GetNode(c)->Parents();
    if (parents.GetSize() > 0) Ok(net.RemoveArc(parents[0], c));
  }
  EXPECT_EQ(net.AddArc(plate[rng() % plates], terminal), 0);
  if (coin(0.5)) Ok(net.AddArc(normal, terminal));

  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    RandomizeTable(rng, def, 0, zeros);
    if (net.GetTemporalType(h) == qelta::kTemporalPlate) {
      VRN_intArray orders;
      EXPECT_EQ(net.GetTemporalOrders(h, orders), 0);
      for (int k : orders) RandomizeTable(rng, def, k, zeros);
    }
  }
  bool hard = true;
  const int S = net.GetNumberOfSlices();
  auto set = [&](int status) {
    if (!zeros) {
      EXPECT_EQ(status, 0);
    }
  };
  for (int p : plate) {
    VRN_nodeVal* value = net.GetNode(p)->Value();
    const int card = net.GetNode(p)->Definition()->GetNumberOfOutcomes();
    for (int s = 0; s < S; ++s) {
      if (coin(0.3)) {
        set(value->SetTemporalEvidence(s, static_cast<int>(rng() % card)));
      } else if (coin(0.2)) {
        set(value->SetTemporalVirtualEvidence(s, RandomDist(rng, card, zeros)));
        hard = false;
      }
    }
  }
  if (coin(0.3)) set(net.GetNode(normal)->Value()->SetEvidence(1));
  if (zeros && coin(0.3)) set(net.GetNode(terminal)->Value()->SetEvidence(0));
  return hard;
}

void AddEvidence(VRN_network& net, Model& m) {
  for (Var& v : m.vars) {
    const VRN_nodeVal* value = net.GetNode(v.node)->Value();
    if (net.GetTemporalType(v.node) == qelta::kTemporalPlate) {
      v.evidence = value->IsTemporalEvidence(v.slice)
                       ? value->GetTemporalEvidence(v.slice)
                       : -1;
      if (value->IsTemporalVirtualEvidence(v.slice)) {
        ASSERT_EQ(value->GetTemporalVirtualEvidence(v.slice, &v.soft), 0);
      }
    } else if (value->HasFlags(qelta::kValFlagEvidence)) {
      v.evidence = value->GetEvidence();
    }
  }
}

// What the update logs last for evidence of probability zero: the
// observation with which the evidence, taken slice after slice (nodes
// before the plate first, after it last; within a slice in handle order),
// first has probability zero in the enumerated joint.
std::string FirstImpossible(VRN_network& net, const Model& m) {
  const int S = net.GetNumberOfSlices();
  std::vector<std::pair<std::pair<int, int>, int>> order;  // ((slice, handle), var)
  for (int i = 0; i < static_cast<int>(m.vars.size()); ++i) {
    const Var& v = m.vars[i];
    if (v.evidence < 0 && v.soft.empty()) continue;
    const int type = net.GetTemporalType(v.node);
    const int slice = type == qelta::kTemporalPlate      ? v.slice
                      : type == qelta::kTemporalTerminal ? S
                                                         : -1;
    order.push_back({{slice, v.node}, i});
  }
  std::sort(order.begin(), order.end());
  Model prefix = m;
  for (Var& v : prefix.vars) {
    v.evidence = -1;
    v.soft.clear();
  }
  for (const auto& [when, i] : order) {
    prefix.vars[i] = m.vars[i];
    std::vector<std::vector<double>> post;
    double pe = 0.0;
    Enumerate(prefix, post, pe);
    if (pe > 0.0) continue;
    const Var& v = m.vars[i];
    const VRN_nodeDef* def = net.GetNode(v.node)->Definition();
    std::string text = "The evidence is impossible: its probability becomes zero with ";
    text += v.evidence >= 0 ? std::string("outcome [") + def->GetOutcomesNames()->Get(v.evidence) + "]"
                            : std::string("the likelihoods");
    text += std::string(" of node [") + net.GetNode(v.node)->GetId() + "]";
    if (when.first >= 0 && when.first < S) text += " in slice " + std::to_string(v.slice);
    return text;
  }
  return "(possible)";
}

TEST(DbnEnumerationTest, RandomNetworksMatchTheUnrolledJoint) {
  std::mt19937 rng(20261207);
  int impossible = 0;
  for (int round = 0; round < 160; ++round) {
    SCOPED_TRACE(round);
    // From round 60 on tables and likelihoods hold zeros.
    const bool zeros = round >= 60;
    VRN_network net;
    const bool hard = BuildRandom(rng, net, zeros);
    Model m = BuildModel(net);
    AddEvidence(net, m);
    std::vector<std::vector<double>> post;
    double pe = 0.0;
    Enumerate(m, post, pe);
    if (pe == 0.0) {
      // Said so, naming where; the evidence stays and no belief is valid.
      ++impossible;
      ASSERT_EQ(net.UpdateBeliefs(), qelta::kErrZeroMarginal);
      VRN_errorLog* log = net.ErrorLog();
      ASSERT_GT(log->GetNumberOfMessages(), 0);
      EXPECT_EQ(FirstImpossible(net, m), log->GetMessage(log->GetNumberOfMessages() - 1));
      Model kept = BuildModel(net);
      AddEvidence(net, kept);
      for (size_t i = 0; i < m.vars.size(); ++i) {
        EXPECT_EQ(kept.vars[i].evidence, m.vars[i].evidence);
        EXPECT_EQ(kept.vars[i].soft, m.vars[i].soft);
        // An observed or implied outcome is its own point mass.
        const VRN_nodeVal* value = net.GetNode(m.vars[i].node)->Value();
        EXPECT_TRUE(!value->IsValueValid() || value->HasEvidence());
      }
      continue;
    }
    ASSERT_EQ(net.UpdateBeliefs(), 0);
    for (size_t i = 0; i < m.vars.size(); ++i) {
      const Var& v = m.vars[i];
      const VRN_matrix& value = net.GetNode(v.node)->Value()->GetValue();
      const bool plate = net.GetTemporalType(v.node) == qelta::kTemporalPlate;
      for (int x = 0; x < v.card; ++x) {
        ASSERT_NEAR(value.GetItem((plate ? v.slice * v.card : 0) + x),
                    post[i][x], 1e-12)
            << "node " << v.node << " slice " << v.slice;
      }
    }
    if (hard) {
      double p = 0.0;
      ASSERT_TRUE(net.CalcPropEvidence(p, false));
      EXPECT_NEAR(p, pe, 1e-12);
      EXPECT_LE(p, 1.0);
      // Nothing observed: 1, not a rounding of it.
      bool observed = false;
      for (const Var& v : m.vars) observed = observed || v.evidence >= 0;
      if (!observed) {
        EXPECT_EQ(p, 1.0);
      }
    }
    VRN_network unrolled;
    std::vector<int> map;
    ASSERT_EQ(net.UnrollNetwork(unrolled, map), 0);
    EXPECT_EQ(unrolled.Dbn(), nullptr);
    ASSERT_EQ(unrolled.UpdateBeliefs(), 0);
    const int count = static_cast<int>(map.size()) / net.GetNumberOfSlices();
    for (int i = 0; i < count; ++i) {
      for (int s = 0; s < net.GetNumberOfSlices(); ++s) {
        const Var& v = m.vars[m.index[map[i]][s]];
        const VRN_matrix& value =
            unrolled.GetNode(map[s * count + i])->Value()->GetValue();
        for (int x = 0; x < v.card; ++x) {
          ASSERT_NEAR(value.GetItem(x), post[m.index[map[i]][s]][x], 1e-12);
        }
      }
    }
  }
  EXPECT_GT(impossible, 10);
}

}  // namespace
