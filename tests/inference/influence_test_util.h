// Small influence diagrams shared by the solver and value-of-information
// tests.
#ifndef QELTA_TESTS_INFERENCE_INFLUENCE_TEST_UTIL_H_
#define QELTA_TESTS_INFERENCE_INFLUENCE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace idtest {

inline int Add(VRN_network& net, int type, const char* id,
               const std::vector<std::string>& outcomes = {}) {
  const int h = net.AddNode(type, id);
  EXPECT_GE(h, 0) << id;
  if (!outcomes.empty()) {
    VRN_stringArray names;
    for (const std::string& o : outcomes) names.Add(o.c_str());
    EXPECT_EQ(0, net.GetNode(h)->Definition()->SetNumberOfOutcomesByIds(names));
  }
  return h;
}

inline void Table(VRN_network& net, int h, const std::vector<double>& items) {
  EXPECT_EQ(0, net.GetNode(h)->Definition()->SetDefinitionFromVector(items));
}

inline std::vector<double> Value(VRN_network& net, int h) {
  const VRN_matrix& m = net.GetNode(h)->Value()->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

// Whether the network's log holds exactly this message.
inline bool LogHas(const VRN_network& net, const std::string& text) {
  const VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    if (text == log->GetMessage(i)) return true;
  }
  return false;
}

// Whether the log holds the solvers' refusal of expected utilities that
// cancel below their rounding.
inline bool LogHasInexact(const VRN_network& net) {
  const VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    const std::string text = log->GetMessage(i);
    if (text.find("are differences of far larger amounts: the rounding of double precision "
                  "numbers would leave them inexact") != std::string::npos) {
      return true;
    }
  }
  return false;
}

inline std::vector<int> Indexing(VRN_network& net, int h) {
  const VRN_intArray& a = net.GetNode(h)->Value()->GetIndexingParents();
  return std::vector<int>(a.begin(), a.end());
}

// A (0.7, 0.3) -> B observed b1, so A = a1; D -> X copying D, X observed
// x_seen; U(D) = (1, 0); U2(A) = u2 unless empty; a MAU M = U + U2 if mau.
// The handles of D, U2 and M (-1 for one left out).
struct ScenarioDiagram {
  int d, u2, m;
};
inline ScenarioDiagram MakeScenarioDiagram(VRN_network& net, int x_seen, const std::vector<double>& u2,
                                           bool mau, bool propagation) {
  const int a = Add(net, qelta::kDefCpt, "A"), b = Add(net, qelta::kDefCpt, "B");
  const int d = Add(net, qelta::kDefDecision, "D"), x = Add(net, qelta::kDefCpt, "X");
  const int u = Add(net, qelta::kDefUtility, "U"), v = u2.empty() ? -1 : Add(net, qelta::kDefUtility, "U2");
  const int m = mau ? Add(net, qelta::kDefMau, "M") : -1;
  for (auto [p, c] : {std::pair{a, b}, {d, x}, {d, u}, {a, v}, {u, m}, {v, m}}) {
    EXPECT_TRUE(p < 0 || c < 0 || net.AddArc(p, c) == 0) << p << " " << c;
  }
  for (auto [h, items] : {std::pair{a, std::vector<double>{0.7, 0.3}}, {b, {1, 0, 0.4, 0.6}},
                          {x, {1, 0, 0, 1}}, {u, {1, 0}}, {v, u2}, {m, {1, 1}}}) {
    if (h >= 0) Table(net, h, items);
  }
  if (!propagation) net.SetFlags(net.GetFlags() & ~qelta::kNetEvidencePropagation);
  EXPECT_EQ(0, net.GetNode(b)->Value()->SetEvidence(1));
  EXPECT_EQ(0, net.GetNode(x)->Value()->SetEvidence(x_seen));
  return {d, v, m};
}

inline void ExpectNear(const std::vector<double>& want,
                       const std::vector<double>& got, double tol,
                       const char* what) {
  ASSERT_EQ(want.size(), got.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(want[i], got[i], tol) << what << " item " << i;
  }
}

// The umbrella diagram: Weather -> Forecast -> Umbrella, utility over
// Weather and Umbrella.
struct Umbrella {
  Umbrella() {
    weather = Add(net, qelta::kDefCpt, "Weather", {"norain", "rain"});
    forecast = Add(net, qelta::kDefCpt, "Forecast", {"sunny", "cloudy", "rainy"});
    umbrella = Add(net, qelta::kDefDecision, "Umbrella", {"take", "leave"});
    utility = Add(net, qelta::kDefUtility, "Utility");
    EXPECT_EQ(0, net.AddArc(weather, forecast));
    EXPECT_EQ(0, net.AddArc(forecast, umbrella));
    EXPECT_EQ(0, net.AddArc(weather, utility));
    EXPECT_EQ(0, net.AddArc(umbrella, utility));
    Table(net, weather, {0.7, 0.3});
    Table(net, forecast, {0.7, 0.2, 0.1, 0.15, 0.25, 0.6});
    Table(net, utility, {20, 100, 70, 0});
  }
  VRN_network net;
  int weather, forecast, umbrella, utility;
};

inline std::string OilPath(const char* ext) {
  return std::string(QELTA_TEST_DATA) + "/decisions/oil_wildcatter." + ext;
}

// A random diagram: 1 to 3 decisions and 3 to 7 chance nodes of 2 or 3
// outcomes with positive tables, forward arcs in a random order, one utility
// over 1 to 4 nodes, evidence on up to two chance nodes that descend from no
// decision.
struct RandomDiagram {
  VRN_network net;
  std::vector<int> handles;  // creation order is topological
  int utility = -1;
};

inline void MakeRandomDiagram(std::mt19937& rng, RandomDiagram& g) {
  std::uniform_real_distribution<double> unit(0.1, 1.0);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  const int decisions = pick(1, 3), chance = pick(3, 7);
  std::vector<int> kinds(decisions, qelta::kDefDecision);
  kinds.insert(kinds.end(), chance, qelta::kDefCpt);
  std::shuffle(kinds.begin(), kinds.end(), rng);
  VRN_network& net = g.net;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const int h = net.AddNode(kinds[i], nullptr);
    ASSERT_GE(h, 0);
    ASSERT_EQ(0, net.GetNode(h)->Definition()->SetNumberOfOutcomes(pick(2, 3)));
    for (int p : g.handles) {
      if (pick(0, 99) < 35) {
        ASSERT_EQ(0, net.AddArc(p, h));
      }
    }
    g.handles.push_back(h);
  }
  g.utility = net.AddNode(qelta::kDefUtility, "U");
  std::vector<int> shuffled = g.handles;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  const int over = pick(1, std::min<int>(4, shuffled.size()));
  for (int i = 0; i < over; ++i) ASSERT_EQ(0, net.AddArc(shuffled[i], g.utility));
  for (int h : g.handles) {
    VRN_nodeDef* def = net.GetNode(h)->Definition();
    if (def->GetType() != qelta::kDefCpt) continue;
    VRN_matrix* m = def->GetMatrix();
    const int n = m->GetSize(m->GetDimensionCount() - 1);
    for (int r = 0; r < m->GetItemCount() / n; ++r) {
      double sum = 0;
      for (int k = 0; k < n; ++k) sum += (*m->ItemAddress(r * n + k) = unit(rng));
      for (int k = 0; k < n; ++k) *m->ItemAddress(r * n + k) /= sum;
    }
  }
  VRN_matrix* ut = net.GetNode(g.utility)->Definition()->GetMatrix();
  for (int i = 0; i < ut->GetItemCount(); ++i) {
    *ut->ItemAddress(i) = std::round(unit(rng) * 200 - 100);
  }
  // Evidence on chance nodes that descend from no decision.
  int evidence = pick(0, 2);
  for (int h : g.handles) {
    if (evidence == 0) break;
    if (net.GetNode(h)->Definition()->GetType() != qelta::kDefCpt) continue;
    VRN_intArray ancestors;
    ASSERT_EQ(0, net.GetAncestors(h, ancestors));
    bool below_decision = false;
    for (int a : ancestors) {
      below_decision |= net.GetNode(a)->Definition()->GetType() == qelta::kDefDecision;
    }
    if (below_decision || pick(0, 1) == 0) continue;
    ASSERT_EQ(0, net.GetNode(h)->Value()->SetEvidence(0));
    --evidence;
  }
}

// Pushes g to the extremes: utilities 0 or of one sign or both, their
// magnitudes up to 1e300 and spanning up to 40 decades; now and then a
// column with one outcome from 1e-1 down to 1e-320.
inline void PushToExtremes(std::mt19937& rng, RandomDiagram& g) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double top = unit(rng) * 600 - 300, width = 10.0 * (rng() % 5);
  const int signs = rng() % 3;  // positive, negative, both
  VRN_matrix* ut = g.net.GetNode(g.utility)->Definition()->GetMatrix();
  for (int i = 0; i < ut->GetItemCount(); ++i) {
    const bool negative = signs == 1 || (signs == 2 && rng() % 2 == 0);
    *ut->ItemAddress(i) = rng() % 4 == 0 ? 0.0
                                         : (negative ? -1 : 1) * std::pow(10.0, top - unit(rng) * width);
  }
  for (int h : g.handles) {
    VRN_matrix* m = g.net.GetNode(h)->Definition()->GetMatrix();
    if (g.net.GetNode(h)->Definition()->GetType() != qelta::kDefCpt) continue;
    const int n = m->GetSize(m->GetDimensionCount() - 1);
    for (int r = 0; r < m->GetItemCount() / n; ++r) {
      if (rng() % 3 != 0) continue;
      const int rare = static_cast<int>(rng() % n);
      const double p = std::pow(10.0, -1 - unit(rng) * 319), rest = 1 - p;
      double others = 0;
      for (int k = 0; k < n; ++k) others += k == rare ? 0 : *m->ItemAddress(r * n + k);
      for (int k = 0; k < n; ++k) {
        double& item = *m->ItemAddress(r * n + k);
        item = k == rare ? p : item / others * rest;
      }
    }
  }
}

// No-forgetting backward induction by enumerating the joint distribution in
// long double, whose range holds every product of the tables and whose
// digits hold sums far past those of a double. Answers, for every
// decision, the expected utility of each choice per configuration of the
// candidates before it (row-major, choice fastest).
using Exact = long double;
inline std::vector<std::vector<Exact>> Induction(RandomDiagram& g, std::vector<int>* candidates) {
  VRN_network& net = g.net;
  VRN_intArray order;
  net.GetDecisionOrder(order);
  auto type = [&](int h) { return net.GetNode(h)->Definition()->GetType(); };
  auto count = [&](int h) {
    return net.GetNode(h)->Definition()->GetNumberOfOutcomes();
  };
  candidates->clear();
  for (int h : order) {
    if (net.GetNode(h)->Value()->HasEvidence()) continue;
    bool informs = type(h) == qelta::kDefDecision;
    for (int c : net.GetNode(h)->Children()) informs |= type(c) == qelta::kDefDecision;
    if (informs) candidates->push_back(h);
  }
  const int m = candidates->size();
  std::vector<int> prefix_size(m + 1, 1);
  for (int j = 0; j < m; ++j) prefix_size[j + 1] = prefix_size[j] * count((*candidates)[j]);
  std::vector<Exact> num(prefix_size[m], 0.0), den(prefix_size[m], 0.0);
  // Walk every joint configuration of the nodes in creation order.
  const std::vector<int>& nodes = g.handles;
  std::vector<int> x(net.GetSlotCount(), 0);
  auto entry = [&](int h, const VRN_matrix& table, int own) {
    int index = 0, d = 0;
    for (int p : net.GetNode(h)->Parents()) index += x[p] * table.GetStrides()[d++];
    return table.GetItem(index + own * table.GetStrides()[d]);
  };
  while (true) {
    Exact w = 1.0;
    for (int h : nodes) {
      VRN_nodeVal* v = net.GetNode(h)->Value();
      if (v->HasEvidence() && v->GetEvidence() != x[h]) w = 0.0;
      if (type(h) == qelta::kDefCpt && w > 0) {
        w *= entry(h, *net.GetNode(h)->Definition()->GetMatrixConst(), x[h]);
      }
    }
    int s = 0;
    for (int j = 0; j < m; ++j) s = s * count((*candidates)[j]) + x[(*candidates)[j]];
    num[s] += w * entry(g.utility, *net.GetNode(g.utility)->Definition()->GetMatrixConst(), 0);
    den[s] += w;
    int i = nodes.size() - 1;
    for (; i >= 0; --i) {
      if (++x[nodes[i]] < count(nodes[i])) break;
      x[nodes[i]] = 0;
    }
    if (i < 0) break;
  }
  std::vector<Exact> f(prefix_size[m]);
  for (int s = 0; s < prefix_size[m]; ++s) f[s] = num[s] / den[s];
  std::vector<std::vector<Exact>> result(net.GetSlotCount());
  for (int j = m - 1; j >= 0; --j) {
    const int c = (*candidates)[j], n = count(c);
    // den summed over the completions of each prefix of length j + 1.
    std::vector<Exact> dj(prefix_size[j + 1], 0.0);
    const int tail = prefix_size[m] / prefix_size[j + 1];
    for (int s = 0; s < prefix_size[m]; ++s) dj[s / tail] += den[s];
    if (type(c) == qelta::kDefDecision) result[c] = f;
    std::vector<Exact> next(prefix_size[j]);
    for (int a = 0; a < prefix_size[j]; ++a) {
      Exact total = 0, best = -HUGE_VALL, sum = 0;
      for (int k = 0; k < n; ++k) total += dj[a * n + k];
      for (int k = 0; k < n; ++k) {
        best = std::max(best, f[a * n + k]);
        sum += f[a * n + k] * dj[a * n + k] / total;
      }
      next[a] = type(c) == qelta::kDefDecision ? best : sum;
    }
    f.swap(next);
  }
  return result;
}

}  // namespace idtest

#endif  // QELTA_TESTS_INFERENCE_INFLUENCE_TEST_UTIL_H_
