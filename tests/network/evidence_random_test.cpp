// Random sequences of observations, likelihoods, relevance switches, option
// changes and table edits on small networks with deterministic columns
// (and columns deterministic only to rounding). After each step a reader
// (evidence getters, setting evidence, probability of evidence, annealed
// MAP, value of information, belief updating) must answer as on a fresh
// network read from a save with the same evidence; a refused observation
// must leave every node's evidence as it was, and one the enumeration gives
// some probability is never refused. Half the sequences draw numbers at the
// extremes: subnormal table entries and likelihoods, noisy-MAX nodes and a
// group of DeMorgan or CAST nodes whose parameters lie within 2^-54 of 0 or
// 1; every valid belief must then also match a long-double enumeration
// over tables computed from the parameters by brute force.
// QELTA_EVIDENCE_SEQUENCES sets the number of sequences (default 150),
// QELTA_EVIDENCE_FIRST_SEED the first seed (default 1000).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "inference/value_of_info.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"
#include "test_networks.h"

namespace {

using qelta_test::Observations;

constexpr double kTol = 1e-9;

struct Model {
  VRN_network net;
  std::vector<int> chance;
  int decision = -1;
  bool extremes = false;  // subnormals, canonical nodes, parameters near 0 or 1
};

int Outcomes(VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetNumberOfOutcomes();
}

// Columns are one-hot half the time, a third of these only to rounding:
// another entry t below 2^-54 leaves 1 - t = 1.0, yet forces nothing. The
// others may hold a zero.
std::vector<double> RandomTable(std::mt19937& rng, VRN_network& net, int h,
                                bool extremes = false) {
  int columns = 1;
  for (int p : net.GetNode(h)->Parents()) columns *= Outcomes(net, p);
  const int k = Outcomes(net, h);
  std::vector<double> items;
  for (int c = 0; c < columns; ++c) {
    if (rng() % 2 == 0) {
      const int one = static_cast<int>(rng() % k);
      const int tiny = rng() % 3 == 0 ? (one + 1 + static_cast<int>(rng() % (k - 1))) % k : -1;
      const double t = std::ldexp(1.0, -55 - static_cast<int>(rng() % 1020));
      for (int s = 0; s < k; ++s) items.push_back(s == one ? 1.0 - t : s == tiny ? t : 0.0);
      continue;
    }
    std::vector<double> column(k);
    double sum = 0.0;
    for (double& v : column) sum += v = (rng() % 4 == 0) ? 0.0 : 0.1 + (rng() % 90) / 100.0;
    if (sum == 0.0) column[0] = sum = 1.0;
    for (double& v : column) v /= sum;
    // A subnormal entry in place of a zero: the sum stays 1.
    const int zero = static_cast<int>(std::find(column.begin(), column.end(), 0.0) - column.begin());
    if (extremes && zero < k && rng() % 2 == 0) {
      column[zero] = std::ldexp(1.0 + rng() % 7, -1074 + static_cast<int>(rng() % 60));
    }
    items.insert(items.end(), column.begin(), column.end());
  }
  return items;
}

// A probability within 2^-54 of 0 or 1 (none so small that a product of a
// few leaves the doubles), or an ordinary one.
double ExtremeProbability(std::mt19937& rng) {
  switch (rng() % 4) {
    case 0: return std::ldexp(1.0, -54 - static_cast<int>(rng() % 287));
    case 1: return 1.0 - std::ldexp(1.0, -53);
    default: return (rng() % 11) / 10.0;
  }
}

// Noisy-MAX parameters: every free column a distribution with entries
// near 0 or 1; each parent's last column the point mass at the last outcome.
std::vector<double> RandomNoisy(std::mt19937& rng, VRN_network& net, int h) {
  const auto* d = static_cast<const VRN_noisyMAX*>(net.GetNode(h)->Definition());
  const int n = Outcomes(net, h);
  std::vector<bool> fixed(d->GetMatrixConst()->GetSize(0), false);
  for (int i = 0; i < d->GetStrengthsCount(); ++i) {
    fixed[d->GetParentColumnOffset(i) + d->GetParentOutcomeStrengths(i).GetSize() - 1] = true;
  }
  std::vector<double> items;
  for (bool last : fixed) {
    std::vector<double> column(n, 0.0);
    if (last) {
      column[n - 1] = 1.0;
    } else {
      double left = 1.0;
      for (int j = 0; j + 1 < n; ++j) {
        column[j] = std::min(left, ExtremeProbability(rng));
        left -= column[j];
      }
      column[n - 1] = left;
    }
    items.insert(items.end(), column.begin(), column.end());
  }
  return items;
}

void RandomQualitative(std::mt19937& rng, VRN_network& net, int h) {
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  const int parents = net.GetNode(h)->Parents().GetSize();
  if (def->GetType() == qelta::kDefDemorgan) {
    auto* d = static_cast<VRN_demorgan*>(def);
    ASSERT_EQ(qelta::kOk, d->SetPriorBelief(ExtremeProbability(rng)));
    for (int i = 0; i < parents; ++i) {
      ASSERT_EQ(qelta::kOk, d->SetParentType(i, static_cast<int>(rng() % 4)));
      ASSERT_EQ(qelta::kOk, d->SetParentWeight(i, ExtremeProbability(rng)));
    }
    return;
  }
  auto* d = static_cast<VRN_cast*>(def);
  ASSERT_EQ(qelta::kOk, d->SetBaseline(ExtremeProbability(rng)));
  VRN_doubleArray positive, negative;
  for (int i = 0; i < parents; ++i) {
    positive.Add(rng() % 2 == 0 ? ExtremeProbability(rng) : -ExtremeProbability(rng));
    negative.Add(rng() % 2 == 0 ? ExtremeProbability(rng) : -ExtremeProbability(rng));
  }
  ASSERT_EQ(qelta::kOk, d->SetPositiveWeights(positive));
  ASSERT_EQ(qelta::kOk, d->SetNegativeWeights(negative));
}

void RandomDefinition(std::mt19937& rng, Model& m, int h) {
  VRN_nodeDef* def = m.net.GetNode(h)->Definition();
  switch (def->GetType()) {
    case qelta::kDefNoisyMax:
      ASSERT_EQ(qelta::kOk, def->SetDefinitionFromVector(RandomNoisy(rng, m.net, h)));
      break;
    case qelta::kDefDemorgan:
    case qelta::kDefCast:
      RandomQualitative(rng, m.net, h);
      break;
    default:
      ASSERT_EQ(qelta::kOk,
                def->SetDefinitionFromVector(RandomTable(rng, m.net, h, m.extremes)));
  }
}

// ---- The long-double twin: every table computed afresh from what defines
// it, canonical ones by brute force over their causes, with no cancelling
// subtraction.

// P(some cause fires) and P(none fires) of independent causes.
void Fires(const std::vector<long double>& w, long double* some, long double* none) {
  *some = 0.0L;
  *none = 1.0L;
  for (long double x : w) *none *= 1.0L - x;
  for (unsigned subset = 1; subset < (1u << w.size()); ++subset) {
    long double p = 1.0L;
    for (size_t i = 0; i < w.size(); ++i) p *= (subset >> i & 1) ? w[i] : 1.0L - w[i];
    *some += p;
  }
}

// P("True") and P("False") of a qualitative node for parent states s.
std::pair<long double, long double> QualitativeColumn(const VRN_nodeDef* def,
                                                      const std::vector<int>& s) {
  if (def->GetType() == qelta::kDefDemorgan) {
    const auto* d = static_cast<const VRN_demorgan*>(def);
    std::vector<long double> raise{d->GetPriorBelief()}, lower;
    for (size_t i = 0; i < s.size(); ++i) {
      const int role = d->GetParentType(static_cast<int>(i));
      const bool on = s[i] == 0;
      const long double w = d->GetParentWeight(static_cast<int>(i));
      if ((role == VRN_demorgan::kCause && on) || (role == VRN_demorgan::kBarrier && !on)) {
        raise.push_back(w);
      } else if ((role == VRN_demorgan::kInhibitor && on) ||
                 (role == VRN_demorgan::kRequirement && !on)) {
        lower.push_back(w);
      }
    }
    long double raised, quiet, lowered, kept;
    Fires(raise, &raised, &quiet);
    Fires(lower, &lowered, &kept);
    return {raised * kept, quiet + raised * lowered};
  }
  // CAST: A and B, the products of 1 - |w| of the negative and of the
  // positive weights, are what no cause of their kind "fires"; their
  // difference is taken between what some fire, so it keeps what 1 - w
  // rounds away.
  const auto* d = static_cast<const VRN_cast*>(def);
  std::vector<long double> negative, positive;
  for (size_t i = 0; i < s.size(); ++i) {
    const long double w = s[i] == 0 ? d->GetPositiveWeights()[static_cast<int>(i)]
                                    : d->GetNegativeWeights()[static_cast<int>(i)];
    if (w < 0) negative.push_back(-w); else positive.push_back(w);
  }
  long double fired_a, a, fired_b, b;
  Fires(negative, &fired_a, &a);
  Fires(positive, &fired_b, &b);
  const long double base = d->GetBaseline();
  if (a + b == 0.0L) return {base, 1.0L - base};
  if (fired_b > fired_a) return {base + (1.0L - base) * (fired_b - fired_a) / a, (1.0L - base) * b / a};
  return {base * a / b, (1.0L - base) + base * (fired_a - fired_b) / b};
}

// Node h's table in the layout of its expanded table (parents in order,
// the last fastest, own outcome last).
std::vector<long double> TwinTable(VRN_network& net, int h) {
  const VRN_nodeDef* def = net.GetNode(h)->Definition();
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  const int n = Outcomes(net, h);
  if (def->GetType() == qelta::kDefCpt) {
    const VRN_matrix& t = *net.GetNode(h)->Definition()->GetExpandedDefinition();
    return std::vector<long double>(t.GetItems().begin(), t.GetItems().end());
  }
  std::vector<int> s(parents.GetSize(), 0);
  std::vector<long double> out;
  for (;;) {
    if (def->GetType() == qelta::kDefNoisyMax) {
      // The node takes the highest (lowest index) outcome of any cause.
      const auto* d = static_cast<const VRN_noisyMAX*>(def);
      const double* p = d->GetMatrixConst()->GetItems().Items();
      std::vector<int> columns{d->GetLeakColumn()};
      for (size_t i = 0; i < s.size(); ++i) {
        const VRN_intArray& order = d->GetParentOutcomeStrengths(static_cast<int>(i));
        int k = 0;
        while (order[k] != s[i]) ++k;
        columns.push_back(d->GetParentColumnOffset(static_cast<int>(i)) + k);
      }
      std::vector<long double> column(n, 0.0L);
      std::vector<int> y(columns.size(), 0);
      for (;;) {
        long double q = 1.0L;
        int top = n - 1;
        for (size_t c = 0; c < y.size(); ++c) {
          q *= p[columns[c] * n + y[c]];
          top = std::min(top, y[c]);
        }
        column[top] += q;
        size_t c = 0;
        while (c < y.size() && ++y[c] == n) y[c++] = 0;
        if (c == y.size()) break;
      }
      out.insert(out.end(), column.begin(), column.end());
    } else {
      const auto pair = QualitativeColumn(def, s);
      out.push_back(pair.first);
      out.push_back(pair.second);
    }
    int i = static_cast<int>(s.size()) - 1;
    while (i >= 0 && ++s[i] == Outcomes(net, parents[i])) s[i--] = 0;
    if (i < 0) break;
  }
  return out;
}

// Normalised marginals of every chance node under the user's evidence and
// likelihoods (handles are positions in m.chance), in long double over the
// twin tables; empty when the evidence has probability 0. The probability
// of the evidence goes into *evidence when given.
std::vector<std::vector<long double>> Twin(Model& m,
                                           const std::vector<std::vector<double>>& likelihoods,
                                           long double* evidence_probability = nullptr) {
  const size_t n = m.chance.size();
  std::vector<std::vector<long double>> tables, marginals(n);
  std::vector<int> evidence(n, -1), x(n, 0);
  for (size_t h = 0; h < n; ++h) {
    tables.push_back(TwinTable(m.net, m.chance[h]));
    marginals[h].assign(Outcomes(m.net, m.chance[h]), 0.0L);
    const VRN_nodeVal* value = m.net.GetNode(m.chance[h])->Value();
    if (value->HasFlags(qelta::kValFlagEvidence)) x[h] = evidence[h] = value->GetEvidence();
  }
  long double z = 0.0L;
  for (;;) {
    long double p = 1.0L;
    for (size_t h = 0; h < n; ++h) {
      int index = 0;
      for (int parent : m.net.GetNode(m.chance[h])->Parents()) {
        index = index * Outcomes(m.net, parent) + x[parent];
      }
      p *= tables[h][static_cast<size_t>(index) * Outcomes(m.net, m.chance[h]) + x[h]];
      if (!likelihoods[h].empty()) p *= likelihoods[h][x[h]];
    }
    z += p;
    for (size_t h = 0; h < n; ++h) marginals[h][x[h]] += p;
    size_t h = 0;
    for (; h < n; ++h) {
      if (evidence[h] >= 0) continue;
      if (++x[h] < Outcomes(m.net, m.chance[h])) break;
      x[h] = 0;
    }
    if (h == n) break;
  }
  if (evidence_probability != nullptr) *evidence_probability = z;
  if (!(z > 0.0L)) return {};
  for (auto& marginal : marginals) {
    for (long double& v : marginal) v /= z;
  }
  return marginals;
}

void Build(std::mt19937& rng, Model& m, bool influence) {
  const int n = 3 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) {
    const int type = m.extremes && rng() % 3 == 0 ? qelta::kDefNoisyMax : qelta::kDefCpt;
    const int h = m.net.AddNode(type, ("N" + std::to_string(i)).c_str());
    ASSERT_GE(h, 0);
    if (rng() % 3 == 0) {
      ASSERT_EQ(qelta::kOk, m.net.GetNode(h)->Definition()->SetNumberOfOutcomes(3));
    }
    int parents = 0;
    for (int p : m.chance) {
      if (parents < 2 && rng() % 5 < 2) {
        ASSERT_EQ(qelta::kOk, m.net.AddArc(p, h));
        ++parents;
      }
    }
    m.chance.push_back(h);
  }
  // DeMorgan and CAST nodes take only their own kind as parents and
  // children: a group of their own, a root and one or two below it.
  if (m.extremes && !influence && rng() % 2 == 0) {
    const int type = rng() % 2 == 0 ? qelta::kDefDemorgan : qelta::kDefCast;
    const int first = static_cast<int>(m.chance.size());
    const int count = 2 + static_cast<int>(rng() % 2);
    for (int i = 0; i < count; ++i) {
      const int h = m.net.AddNode(type, ("Q" + std::to_string(i)).c_str());
      ASSERT_GE(h, 0);
      for (int p = first; p < first + i; ++p) {
        if (p == first || rng() % 2 == 0) {
          ASSERT_EQ(qelta::kOk, m.net.AddArc(m.chance[p], h));
        }
      }
      m.chance.push_back(h);
    }
  }
  for (int h : m.chance) {
    RandomDefinition(rng, m, h);
    if (::testing::Test::HasFatalFailure()) return;
  }
  if (!influence) return;
  // D is informed by the first node; U(D, last node).
  m.decision = m.net.AddNode(qelta::kDefDecision, "D");
  const int u = m.net.AddNode(qelta::kDefUtility, "U");
  ASSERT_EQ(qelta::kOk, m.net.AddArc(m.chance.front(), m.decision));
  ASSERT_EQ(qelta::kOk, m.net.AddArc(m.decision, u));
  ASSERT_EQ(qelta::kOk, m.net.AddArc(m.chance.back(), u));
  std::vector<double> utilities(2 * Outcomes(m.net, m.chance.back()));
  for (double& v : utilities) v = static_cast<double>(rng() % 41) - 20.0;
  ASSERT_EQ(qelta::kOk, m.net.GetNode(u)->Definition()->SetDefinitionFromVector(utilities));
}

// The user's evidence of every node: observed outcome and likelihoods.
struct Observed {
  std::vector<int> outcomes;
  std::vector<std::vector<double>> likelihoods;
  bool operator==(const Observed& o) const {
    return outcomes == o.outcomes && likelihoods == o.likelihoods;
  }
};

Observed UserEvidence(const Model& m) {
  Observed out;
  for (int h : m.chance) {
    const VRN_nodeVal* value = m.net.GetNode(h)->Value();
    out.outcomes.push_back(value->HasFlags(qelta::kValFlagEvidence) ? value->GetEvidence() : -1);
    std::vector<double> l;
    if (value->HasVirtualEvidence()) (void)value->GetVirtualEvidence(&l);
    out.likelihoods.push_back(l);
  }
  return out;
}

// Read back from a save, the same evidence entered with relevance
// reasoning on or off; null when the fresh network refuses part of it (the
// evidence conflicts). With relevance reasoning on, the implied evidence
// follows the history: each observation implies outcomes from its own node
// only, through the evidence present when it goes in, so what an entry
// order implies may differ from what the same evidence implies derived at
// once. `entered` lists the observations entered one at a time since the
// implied evidence was last derived at once, in their order: the others are
// derived at once, then these go in one by one.
std::unique_ptr<VRN_network> Fresh(Model& m, const std::vector<int>& entered,
                                   bool relevance = true) {
  std::string text;
  EXPECT_EQ(qelta::kOk, m.net.WriteString(text, -1));
  auto fresh = std::make_unique<VRN_network>();
  EXPECT_EQ(qelta::kOk, fresh->ReadString(text.c_str(), -1));
  fresh->SetRelevanceReasoning(relevance);
  (void)fresh->SetDefaultIDAlgorithm(m.net.GetDefaultIDAlgorithm());
  const Observed evidence = UserEvidence(m);
  auto later = [&](int h) {
    return relevance && std::find(entered.begin(), entered.end(), h) != entered.end();
  };
  for (size_t i = 0; i < m.chance.size(); ++i) {
    VRN_nodeVal* value = fresh->GetNode(m.chance[i])->Value();
    if (evidence.outcomes[i] >= 0 && !later(m.chance[i]) &&
        value->SetEvidence(evidence.outcomes[i]) != qelta::kOk) {
      return nullptr;
    }
  }
  for (size_t i = 0; i < m.chance.size(); ++i) {
    if (evidence.likelihoods[i].empty()) continue;
    EXPECT_EQ(qelta::kOk,
              fresh->GetNode(m.chance[i])->Value()->SetVirtualEvidence(evidence.likelihoods[i]));
  }
  if (!relevance) return fresh;
  // Derived at once: switching relevance reasoning on derives it again
  // before it is next read.
  fresh->SetRelevanceReasoning(false);
  fresh->SetRelevanceReasoning(true);
  (void)fresh->EvidenceOf(m.chance.front());
  for (int h : entered) {
    const size_t i = static_cast<size_t>(
        std::find(m.chance.begin(), m.chance.end(), h) - m.chance.begin());
    // The edited network took it in the same state.
    EXPECT_EQ(qelta::kOk, fresh->GetNode(h)->Value()->SetEvidence(evidence.outcomes[i]))
        << "observation of node " << h << " entered after the others";
  }
  return fresh;
}

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

void ExpectNear(const std::vector<double>& want, const std::vector<double>& got,
                const std::string& what) {
  ASSERT_EQ(want.size(), got.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], kTol) << what;
}

class Sequence {
 public:
  Sequence(unsigned seed) : rng_(seed), what_("seed " + std::to_string(seed)) {}

  void Run(int steps) {
    m_.extremes = rng_() % 2 == 0;
    Build(rng_, m_, rng_() % 3 == 0);
    if (::testing::Test::HasFatalFailure()) return;
    for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
      const std::string at = what_ + " step " + std::to_string(step);
      // Stale implied evidence (an edit went without the bookkeeping) is
      // derived again at once before it is next read.
      if (m_.net.IsImpliedEvidenceStale()) entered_.clear();
      const unsigned op = rng_() % 8;
      if (verbose_) {
        std::printf("%s: op %u relevance %d options %d, flags:", at.c_str(), op,
                    m_.net.IsRelevanceReasoning() ? 1 : 0, m_.net.GetRelevanceOptions());
        // Raw, without refreshing: what the bookkeeping holds.
        for (int h : m_.chance) {
          const VRN_nodeVal* value = m_.net.GetNode(h)->Value();
          std::printf(" %d:%d/%d", h, value->GetFlags(), value->GetEvidence());
        }
        std::printf(" stale %d\n", m_.net.IsImpliedEvidenceStale() ? 1 : 0);
      }
      switch (op) {
        case 0: SetLikelihoods(); break;
        case 1: ClearOne(); break;
        case 2:
          m_.net.SetRelevanceReasoning(!m_.net.IsRelevanceReasoning());
          break;
        case 3:
          EditTable(at);
          break;
        case 4:
          m_.net.SetRelevanceOptions(rng_() % 2 == 0 ? qelta::kRelAllOptions
                                                      : static_cast<int>(rng_() % 512));
          break;
        default: Read(at); break;
      }
    }
  }

 private:
  int AnyChance() { return m_.chance[rng_() % m_.chance.size()]; }

  // With relevance reasoning off the reference is read with it off too:
  // beliefs are the same, but a decision's value is indexed by a parent
  // unless that parent is implied, which then only evidence entered before
  // the switch can make it. False when the comparison cannot be made.
  // For the same reason a decision's value is compared only while both
  // imply the same outcomes.
  bool SameSwitch(VRN_network** fresh, std::unique_ptr<VRN_network>* off) {
    if (m_.net.IsRelevanceReasoning()) {
      return m_.decision < 0 || *fresh == nullptr || SameImplied(**fresh);
    }
    for (int h : m_.chance) {
      if (m_.decision >= 0 && m_.net.EvidenceOf(h)->HasFlags(qelta::kValFlagPropagated)) {
        return false;
      }
    }
    *off = Fresh(m_, entered_, false);
    *fresh = off->get();
    return true;
  }

  void SetLikelihoods() {
    const int h = AnyChance();
    std::vector<double> l(Outcomes(m_.net, h));
    for (double& v : l) v = (rng_() % 3 == 0) ? 0.0 : 0.1 + (rng_() % 90) / 100.0;
    l[rng_() % l.size()] = 0.5;
    if (m_.extremes && rng_() % 3 == 0) {  // subnormal: (2, 3) * 2^-1074 and the like
      for (double& v : l) v = v == 0.0 ? 0.0 : std::ldexp(1.0 + rng_() % 7, -1074);
    }
    Forget(h);
    EXPECT_EQ(qelta::kOk, m_.net.GetNode(h)->Value()->SetVirtualEvidence(l)) << what_;
    if (verbose_) std::printf("  likelihoods on %d\n", h);
  }

  void ClearOne() {
    const int h = AnyChance();
    Forget(h);
    const int status = m_.net.GetNode(h)->Value()->ClearEvidence();
    if (verbose_) std::printf("  ClearEvidence(%d): %d\n", h, status);
  }

  // Whether the enumeration gives h = k some probability beside the other
  // evidence (h's likelihoods dropped, as observing drops them); false where
  // it cannot tell (decisions, h observed already).
  bool Possible(int h, int k) {
    if (m_.decision >= 0 || m_.net.GetNode(h)->Value()->HasFlags(qelta::kValFlagEvidence)) {
      return false;
    }
    std::vector<std::vector<double>> likelihoods = UserEvidence(m_).likelihoods;
    likelihoods[h].clear();  // handles are the chance nodes' positions
    const auto marginals = Twin(m_, likelihoods);
    return !marginals.empty() && marginals[h][k] > 0.0L;
  }

  // An observation that goes derives all that is implied again at once.
  void Forget(int h) {
    if (m_.net.GetNode(h)->Value()->HasFlags(qelta::kValFlagEvidence)) entered_.clear();
  }

  // So does a table edit.
  void EditTable(const std::string& at) {
    const int h = AnyChance();
    entered_.clear();
    RandomDefinition(rng_, m_, h);
    EXPECT_FALSE(::testing::Test::HasFailure()) << at;
  }

  // One reader, chosen at random, first after the edits.
  void Read(const std::string& at) {
    std::unique_ptr<VRN_network> fresh = Fresh(m_, entered_);
    const unsigned reader = rng_() % 5;
    if (verbose_) std::printf("  reader %u%s\n", reader, fresh ? "" : " (conflict)");
    switch (reader) {
      case 0: Getters(fresh.get(), at); break;
      case 1: Observe(fresh.get(), at); break;
      case 2: Probability(fresh.get(), at); break;
      case 3: AnnealedMap(fresh.get(), at); break;
      default: Update(fresh.get(), at); break;
    }
  }

  void Getters(VRN_network* fresh, const std::string& at) {
    if (fresh == nullptr) return;
    for (int h : m_.chance) {
      const VRN_nodeVal* got = m_.net.EvidenceOf(h);
      const VRN_nodeVal* want = fresh->EvidenceOf(h);
      const std::string node = at + " node " + std::to_string(h);
      EXPECT_EQ(want->HasFlags(qelta::kValFlagEvidence), got->HasFlags(qelta::kValFlagEvidence))
          << node;
      // Nothing implied may have lost its cause. (With relevance reasoning
      // off nothing new is implied, and what was implied goes once an edit
      // could change it.)
      if (got->HasEvidence() || m_.net.IsRelevanceReasoning()) {
        EXPECT_EQ(want->HasEvidence(), got->HasEvidence()) << node;
        EXPECT_EQ(want->GetEvidence(), got->GetEvidence()) << node;
      }
    }
  }

  // Whether this network and fresh imply the same outcomes.
  bool SameImplied(VRN_network& fresh) {
    for (int h : m_.chance) {
      const VRN_nodeVal* got = m_.net.EvidenceOf(h);
      const VRN_nodeVal* want = fresh.EvidenceOf(h);
      if (got->HasEvidence() != want->HasEvidence() ||
          got->GetEvidence() != want->GetEvidence()) {
        return false;
      }
    }
    return true;
  }

  void Observe(VRN_network* fresh, const std::string& at) {
    const int h = AnyChance();
    const int k = static_cast<int>(rng_() % Outcomes(m_.net, h));
    const bool comparable = fresh != nullptr && SameImplied(*fresh);
    const Observed before = UserEvidence(m_);
    const VRN_nodeVal* value = m_.net.EvidenceOf(h);
    // Refused at once, as it contradicts an implied outcome: nothing changes.
    const bool contradicts = value->HasFlags(qelta::kValFlagPropagated) &&
                             !value->HasFlags(qelta::kValFlagEvidence) &&
                             value->GetEvidence() != k;
    const bool possible = Possible(h, k);
    // An observation entered again goes first.
    Forget(h);
    const int status = m_.net.GetNode(h)->Value()->SetEvidence(k);
    if (verbose_) std::printf("  SetEvidence(%d, %d): %d\n", h, k, status);
    // Evidence of some probability is never refused.
    EXPECT_TRUE(!possible || status == qelta::kOk) << at << " node " << h << " outcome " << k;
    if (status != qelta::kOk) {
      EXPECT_TRUE(before == UserEvidence(m_)) << at << " refused " << status;
      // Otherwise the evidence went in and out again.
      if (!contradicts) entered_.clear();
    } else {
      entered_.push_back(h);
    }
    if (!comparable || !m_.net.IsRelevanceReasoning() ||
        m_.net.GetRelevanceOptions() != qelta::kRelAllOptions) {
      return;
    }
    EXPECT_EQ(fresh->GetNode(h)->Value()->SetEvidence(k) == qelta::kOk, status == qelta::kOk)
        << at << " node " << h << " outcome " << k;
  }

  void Probability(VRN_network* fresh, const std::string& at) {
    if (fresh == nullptr || m_.decision >= 0) return;
    double got = -2, want = -2;
    const bool ok = m_.net.CalcPropEvidence(got, false);
    ASSERT_EQ(fresh->CalcPropEvidence(want, false), ok) << at;
    if (ok) {
      EXPECT_NEAR(want, got, kTol) << at;
      ExpectEnumerated(got, at);
    }
  }

  // An answered probability of the evidence is the enumeration's, within
  // 1e-12 relative (below the normal doubles few are, the others are
  // refused), and 0 only for impossible evidence.
  void ExpectEnumerated(double got, const std::string& at) {
    EXPECT_LE(got, 1.0) << at;
    long double want = 0.0L;
    (void)Twin(m_, UserEvidence(m_).likelihoods, &want);
    EXPECT_LE(std::fabs(want - got), 1e-12L * want)
        << at << ": " << got << " answered for " << static_cast<double>(want) << " (enumerated)";
  }

  void AnnealedMap(VRN_network* fresh, const std::string& at) {
    if (m_.decision >= 0) {
      ValueOfInformation(fresh, at);
      return;
    }
    if (fresh == nullptr) return;
    const std::vector<int> map{AnyChance()};
    std::vector<int> a, b;
    double best_got = 0, best_want = 0, pe_got = 0, pe_want = 0;
    const int status = m_.net.AnnealedMAP(Observations(m_.net), map, &a, &best_got, &pe_got, 3);
    ASSERT_EQ(fresh->AnnealedMAP(Observations(*fresh), map, &b, &best_want, &pe_want, 3), status)
        << at;
    if (status != qelta::kOk) return;
    EXPECT_NEAR(pe_want, pe_got, kTol) << at;
    ExpectEnumerated(pe_got, at + " (annealed MAP)");
    EXPECT_NEAR(best_want, best_got, kTol) << at;
  }

  void ValueOfInformation(VRN_network* fresh, const std::string& at) {
    std::unique_ptr<VRN_network> off;
    if (!SameSwitch(&fresh, &off) || fresh == nullptr) return;
    // The working copy's edits follow the options: without some of them an
    // outcome the evidence rules out keeps a row of its own.
    fresh->SetRelevanceOptions(m_.net.GetRelevanceOptions());
    const int h = m_.chance.back();
    std::vector<double> values[2];
    int status[2];
    VRN_network* nets[2] = {&m_.net, fresh};
    for (int i = 0; i < 2; ++i) {
      VRN_valueOfInfo voi(nets[i]);
      ASSERT_EQ(qelta::kOk, voi.AddNode(h)) << at;
      ASSERT_EQ(qelta::kOk, voi.SetDecision(m_.decision)) << at;
      status[i] = voi.Update();
      if (status[i] == qelta::kOk) values[i] = Items(voi.GetValues());
    }
    EXPECT_EQ(status[1], status[0]) << at;
    if (status[0] == qelta::kOk && status[1] == qelta::kOk) ExpectNear(values[1], values[0], at);
  }

  // Every valid belief of a chance node is the long-double enumeration's.
  void ExpectTwin(const std::string& at) {
    if (m_.decision >= 0) return;
    const auto marginals = Twin(m_, UserEvidence(m_).likelihoods);
    for (int h : m_.chance) {
      if (!verbose_) break;
      std::printf("  node %d table:", h);
      for (double v : m_.net.GetNode(h)->Definition()->GetExpandedDefinition()->GetItems()) {
        std::printf(" %.17g", v);
      }
      std::printf("\n  enumerated:");
      for (long double v : TwinTable(m_.net, h)) std::printf(" %.17Lg", v);
      std::printf("\n");
    }
    if (marginals.empty()) return;
    for (size_t i = 0; i < m_.chance.size(); ++i) {
      const VRN_nodeVal* value = m_.net.GetNode(m_.chance[i])->Value();
      if (!value->IsValueValid()) continue;
      const std::vector<double> got = Items(value->GetValue());
      ASSERT_EQ(marginals[i].size(), got.size()) << at;
      for (size_t k = 0; k < got.size(); ++k) {
        EXPECT_NEAR(static_cast<double>(marginals[i][k]), got[k], kTol)
            << at << " node " << m_.chance[i] << " outcome " << k << " (enumerated)";
      }
    }
  }

  void Update(VRN_network* fresh, const std::string& at) {
    const int status = m_.net.UpdateBeliefs();
    ExpectTwin(at);  // a refusal leaves no value valid that is not right
    std::unique_ptr<VRN_network> off;
    if (!SameSwitch(&fresh, &off)) return;
    if (fresh == nullptr || fresh->UpdateBeliefs() != qelta::kOk || status != qelta::kOk) return;
    for (int h = m_.net.GetFirstNode(); h >= 0; h = m_.net.GetNextNode(h)) {
      const VRN_nodeVal* got = m_.net.GetNode(h)->Value();
      const VRN_nodeVal* want = fresh->GetNode(h)->Value();
      EXPECT_EQ(want->IsValueValid(), got->IsValueValid()) << at << " node " << h;
      if (want->IsValueValid() && got->IsValueValid()) {
        ExpectNear(Items(want->GetValue()), Items(got->GetValue()),
                   at + " node " + std::to_string(h));
      }
    }
  }

  std::mt19937 rng_;
  std::string what_;
  const bool verbose_ = std::getenv("QELTA_EVIDENCE_VERBOSE") != nullptr;
  // The observations entered one at a time since all that is implied was
  // last derived at once, in their order.
  std::vector<int> entered_;
  Model m_;
};

TEST(EvidenceRandomTest, EveryReaderAnswersAsAFreshNetworkWithTheSameEvidence) {
  int sequences = 150;
  unsigned first = 1000;
  if (const char* text = std::getenv("QELTA_EVIDENCE_SEQUENCES")) sequences = std::atoi(text);
  if (const char* text = std::getenv("QELTA_EVIDENCE_FIRST_SEED")) {
    first = static_cast<unsigned>(std::strtoul(text, nullptr, 10));
  }
  for (int s = 0; s < sequences && !HasFailure(); ++s) {
    Sequence(first + static_cast<unsigned>(s)).Run(30);
  }
}

}  // namespace
