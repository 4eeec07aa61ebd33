// Solving an influence diagram must read its models, never rewrite them: a
// diagram answers exactly as its twin in which every canonical node is the
// table it expands to and every likelihood vector an observed child, and
// solving leaves every table and every chance node's parents as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/special_values.h"
#include "definitions/ci_def.h"
#include "inference/shachter_solver.h"
#include "inference/value_of_info.h"
#include "influence_test_util.h"

namespace {

using idtest::Add;
using idtest::ExpectNear;
using idtest::Indexing;
using idtest::LogHas;
using idtest::Table;
using idtest::Value;

constexpr double kTol = 1e-9;

VRN_nodeDef* Def(VRN_network& net, int h) { return net.GetNode(h)->Definition(); }

bool IsCanonical(int type) {
  return type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder;
}

std::vector<double> Items(const VRN_matrix* m) {
  if (m == nullptr) return {};
  return std::vector<double>(m->GetItems().begin(), m->GetItems().end());
}

std::vector<double> Voi(VRN_network& net, int decision, int view,
                        const std::vector<int>& observed, int* status) {
  VRN_valueOfInfo voi(&net);
  EXPECT_EQ(0, voi.SetDecision(decision));
  EXPECT_EQ(0, voi.SetPointOfView(view));
  for (int h : observed) EXPECT_EQ(0, voi.AddNode(h));
  *status = voi.Update();
  return Items(&voi.GetValues());
}

// What solving may not touch: every node's type and table (the parameters
// of a canonical node), and the parents of every node but a decision.
struct Snapshot {
  explicit Snapshot(VRN_network& net) {
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      handles.push_back(h);
      types.push_back(Def(net, h)->GetType());
      tables.push_back(Items(Def(net, h)->GetMatrixConst()));
      const VRN_intArray& p = net.GetNode(h)->Parents();
      parents.emplace_back(p.begin(), p.end());
    }
  }
  std::vector<int> handles, types;
  std::vector<std::vector<double>> tables;
  std::vector<std::vector<int>> parents;
};

void ExpectUnchanged(const Snapshot& before, VRN_network& net, const char* what) {
  SCOPED_TRACE(what);
  const Snapshot after(net);
  ASSERT_EQ(before.handles, after.handles);
  for (size_t i = 0; i < before.handles.size(); ++i) {
    EXPECT_EQ(before.types[i], after.types[i]);
    const std::vector<double>& a = before.tables[i];
    const std::vector<double>& b = after.tables[i];
    ASSERT_EQ(a.size(), b.size()) << before.handles[i];
    EXPECT_TRUE(a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0)
        << "table of " << before.handles[i];
    if (before.types[i] != qelta::kDefDecision) {
      EXPECT_EQ(before.parents[i], after.parents[i]) << before.handles[i];
      continue;
    }
    // A decision may only gain decisions, after the parents it had.
    const std::vector<int>& p = after.parents[i];
    ASSERT_GE(p.size(), before.parents[i].size());
    EXPECT_TRUE(std::equal(before.parents[i].begin(), before.parents[i].end(), p.begin()));
    for (size_t k = before.parents[i].size(); k < p.size(); ++k) {
      EXPECT_EQ(qelta::kDefDecision, Def(net, p[k])->GetType());
    }
  }
}

// ---------------------------------------------------------------- examples

// X (0.5, 0.5) with likelihoods (0.9, 0.1), D, U(X, D) = 100, 0, 0, 50; with
// `child` the likelihoods are an observed child E instead.
struct Likelihoods {
  Likelihoods(bool child, bool informed) {
    x = Add(net, qelta::kDefCpt, "X");
    d = Add(net, qelta::kDefDecision, "D");
    u = Add(net, qelta::kDefUtility, "U");
    if (informed) {
      EXPECT_EQ(0, net.AddArc(x, d));
    }
    EXPECT_EQ(0, net.AddArc(x, u));
    EXPECT_EQ(0, net.AddArc(d, u));
    Table(net, x, {0.5, 0.5});
    Table(net, u, {100, 0, 0, 50});
    if (child) {
      const int e = Add(net, qelta::kDefCpt, "E");
      EXPECT_EQ(0, net.AddArc(x, e));
      Table(net, e, {0.9, 0.1, 0.1, 0.9});
      EXPECT_EQ(0, net.GetNode(e)->Value()->SetEvidence(0));
    } else {
      EXPECT_EQ(0, net.GetNode(x)->Value()->SetVirtualEvidence({0.9, 0.1}));
    }
  }
  VRN_network net;
  int x, d, u;
};

TEST(InfluenceTwinTest, LikelihoodsOfAnObservedNodeWeighItsScenarios) {
  for (bool child : {false, true}) {
    SCOPED_TRACE(child ? "observed child" : "likelihoods");
    Likelihoods informed(child, true);
    ASSERT_EQ(0, informed.net.UpdateBeliefs());
    ExpectNear({0.9, 0.1}, Value(informed.net, informed.x), kTol, "X");
    ExpectNear({100, 0, 0, 50}, Value(informed.net, informed.d), kTol, "D");
    EXPECT_EQ(!child, informed.net.GetNode(informed.x)->Value()->HasVirtualEvidence());

    Likelihoods blind(child, false);
    ASSERT_EQ(0, blind.net.UpdateBeliefs());
    ExpectNear({90, 5}, Value(blind.net, blind.d), kTol, "D without X");
    int status;
    const std::vector<double> worth = Voi(blind.net, blind.d, blind.d, {blind.x}, &status);
    ASSERT_EQ(0, status);
    ExpectNear({5}, worth, kTol, "X before D");
    if (!child) {
      std::vector<double> kept;
      ASSERT_EQ(0, blind.net.GetNode(blind.x)->Value()->GetVirtualEvidence(&kept));
      ExpectNear({0.9, 0.1}, kept, 0, "likelihoods after the value of information");
    }
  }
  // The best-policy code needs X observed before D.
  Likelihoods informed(false, true);
  ASSERT_EQ(1, informed.net.SetDefaultIDAlgorithm(1));
  EXPECT_EQ(-2, informed.net.UpdateBeliefs());
  EXPECT_TRUE(LogHas(informed.net, "Can't solve this network using best policy algorithm"));
}

// D1; noisy-MAX root A with leak (0.1, 0.9); D2 observing A and decided;
// U(A, D1) = 100, 0, 0, 50.
TEST(InfluenceTwinTest, DecidedLaterDecisionsAddNoArcIntoAChanceNode) {
  for (int code : {0, 1}) {
    SCOPED_TRACE(code);
    VRN_network net;
    const int d1 = Add(net, qelta::kDefDecision, "D1");
    const int a = Add(net, qelta::kDefNoisyMax, "A");
    const int d2 = Add(net, qelta::kDefDecision, "D2");
    const int u = Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(a, d2));
    ASSERT_EQ(0, net.AddArc(a, u));
    ASSERT_EQ(0, net.AddArc(d1, u));
    Table(net, a, {0.1, 0.9});
    Table(net, u, {100, 0, 0, 50});
    ASSERT_EQ(0, net.GetNode(d2)->Value()->SetEvidence(0));
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    const Snapshot before(net);
    ASSERT_EQ(0, net.UpdateBeliefs());
    ExpectNear(code == 0 ? std::vector<double>{10, 45} : std::vector<double>{0, 1},
               Value(net, d1), kTol, "D1");
    EXPECT_FALSE(LogHas(net, "Temporal order assumed: node [D1] before node [A]"));
    ExpectUnchanged(before, net, "after solving");
    ExpectNear({0.1, 0.9}, Items(Def(net, a)->GetExpandedDefinition()), 1e-15, "A's table");
  }
}

// Roots A (0.1, 0.9) and X (0.5, 0.5); D observes A; U(A, X, D) is 100 (A
// first) or 10 (A second) when D's choice equals X's state, else 0. The
// worth of seeing X before D, judged at A, whatever kind of model A is.
TEST(InfluenceTwinTest, AnyPointOfViewKindGivesTheSameWorth) {
  for (int type : {qelta::kDefCpt, qelta::kDefNoisyMax, qelta::kDefNoisyAdder}) {
    SCOPED_TRACE(type);
    VRN_network net;
    const int a = Add(net, type, "A");
    const int x = Add(net, qelta::kDefCpt, "X");
    const int d = Add(net, qelta::kDefDecision, "D");
    const int u = Add(net, qelta::kDefUtility, "U");
    ASSERT_EQ(0, net.AddArc(a, d));
    for (int p : {a, x, d}) ASSERT_EQ(0, net.AddArc(p, u));
    Table(net, a, {0.1, 0.9});
    Table(net, x, {0.5, 0.5});
    Table(net, u, {100, 0, 0, 100, 10, 0, 0, 10});
    const Snapshot before(net);
    int status;
    const std::vector<double> worth = Voi(net, d, a, {x}, &status);
    ASSERT_EQ(0, status);
    ExpectNear({19 - 9.5}, worth, kTol, "X before D from A");
    ExpectUnchanged(before, net, "after the value of information");
  }
}

// ---------------------------------------------------------------- random twins

// A random diagram: 1 to 3 decisions and 3 to 5 chance nodes (CPT, noisy-MAX
// or noisy-adder) of 2 or 3 outcomes with up to three earlier parents each,
// decisions among them; one utility over 1 to 3 nodes; observed and
// likelihood evidence on chance nodes anywhere, and decided later decisions.
struct Diagram {
  VRN_network net;
  std::vector<int> nodes;  // creation order is topological
  int utility = -1;
};

void FillColumns(std::mt19937& rng, double* items, int columns, int n) {
  std::uniform_real_distribution<double> unit(0.1, 1.0);
  for (int c = 0; c < columns; ++c) {
    double sum = 0;
    for (int k = 0; k < n; ++k) sum += (items[c * n + k] = unit(rng));
    for (int k = 0; k < n; ++k) items[c * n + k] /= sum;
  }
}

void MakeDiagram(std::mt19937& rng, Diagram& g) {
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  const int chance_kinds[] = {qelta::kDefCpt, qelta::kDefNoisyMax, qelta::kDefNoisyAdder};
  std::vector<int> kinds(pick(1, 3), qelta::kDefDecision);
  for (int i = pick(3, 5); i > 0; --i) kinds.push_back(chance_kinds[pick(0, 2)]);
  std::shuffle(kinds.begin(), kinds.end(), rng);
  VRN_network& net = g.net;
  for (int kind : kinds) {
    const int h = net.AddNode(kind, nullptr);
    ASSERT_GE(h, 0);
    ASSERT_EQ(0, Def(net, h)->SetNumberOfOutcomes(pick(2, 3)));
    std::vector<int> earlier = g.nodes;
    std::shuffle(earlier.begin(), earlier.end(), rng);
    int parents = 0;
    for (int p : earlier) {
      if (parents < 3 && pick(0, 99) < 35) {
        ASSERT_EQ(0, net.AddArc(p, h));
        ++parents;
      }
    }
    g.nodes.push_back(h);
  }
  g.utility = net.AddNode(qelta::kDefUtility, "U");
  std::vector<int> shuffled = g.nodes;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  for (int i = pick(1, 3) - 1; i >= 0; --i) ASSERT_EQ(0, net.AddArc(shuffled[i], g.utility));
  for (int h : g.nodes) {
    VRN_nodeDef* def = Def(net, h);
    if (def->GetType() == qelta::kDefDecision) continue;
    VRN_matrix* m = def->GetMatrix();
    const int n = def->GetNumberOfOutcomes();
    if (!IsCanonical(def->GetType())) {
      FillColumns(rng, m->GetItems().Items(), m->GetItemCount() / n, n);
      continue;
    }
    std::vector<int> free;
    static_cast<VRN_ciDef*>(def)->GetFreeParameterColumns(&free);
    for (int c : free) FillColumns(rng, m->GetItems().Items() + c * n, 1, n);
  }
  std::uniform_real_distribution<double> utility(-100, 100);
  VRN_matrix* ut = Def(net, g.utility)->GetMatrix();
  for (int i = 0; i < ut->GetItemCount(); ++i) *ut->ItemAddress(i) = utility(rng);

  bool first_decision = true;
  for (int h : g.nodes) {
    VRN_nodeVal* value = net.GetNode(h)->Value();
    const int n = Def(net, h)->GetNumberOfOutcomes();
    const int roll = pick(0, 99);
    if (Def(net, h)->GetType() == qelta::kDefDecision) {
      if (!first_decision && roll < 30) {
        ASSERT_EQ(0, value->SetEvidence(pick(0, n - 1)));
      }
      first_decision = false;
    } else if (roll < 12) {
      (void)value->SetEvidence(pick(0, n - 1));  // an impossible outcome is refused
    } else if (roll < 35) {
      std::vector<double> likelihoods(n);
      for (double& l : likelihoods) l = std::uniform_real_distribution<double>(0.1, 1)(rng);
      ASSERT_EQ(0, value->SetVirtualEvidence(likelihoods));
    }
  }
}

// The same diagram with CPTs for canonical models and an observed child for
// every likelihood vector; the shared nodes keep their handles.
void MakeTwin(Diagram& g, Diagram& t) {
  VRN_network& net = g.net;
  std::vector<int> all = g.nodes;
  all.push_back(g.utility);
  for (int h : all) {
    const int type = Def(net, h)->GetType();
    const int th = t.net.AddNode(IsCanonical(type) ? qelta::kDefCpt : type,
                                 net.GetNode(h)->GetId());
    ASSERT_EQ(h, th);
    if (type != qelta::kDefUtility) {
      ASSERT_EQ(0, Def(t.net, h)->SetNumberOfOutcomes(Def(net, h)->GetNumberOfOutcomes()));
    }
  }
  for (int h : all) {
    for (int p : net.GetNode(h)->Parents()) ASSERT_EQ(0, t.net.AddArc(p, h));
  }
  for (int h : all) {
    VRN_nodeDef* def = Def(net, h);
    if (def->GetType() == qelta::kDefDecision) continue;
    const VRN_matrix* table =
        IsCanonical(def->GetType()) ? def->GetExpandedDefinition() : def->GetMatrixConst();
    ASSERT_NE(nullptr, table);
    ASSERT_EQ(0, Def(t.net, h)->SetDefinitionFromVector(Items(table)));
  }
  t.nodes = g.nodes;
  t.utility = g.utility;
  for (int h : g.nodes) {
    const VRN_nodeVal* value = net.GetNode(h)->Value();
    if (value->HasFlags(qelta::kValFlagEvidence)) {
      ASSERT_EQ(0, t.net.GetNode(h)->Value()->SetEvidence(value->GetEvidence()));
    }
    if (!value->HasVirtualEvidence()) continue;
    std::vector<double> likelihoods;
    ASSERT_EQ(0, value->GetVirtualEvidence(&likelihoods));
    const int e = t.net.AddNode(qelta::kDefCpt, nullptr);
    ASSERT_EQ(0, t.net.AddArc(h, e));
    std::vector<double> rows;
    for (double l : likelihoods) rows.insert(rows.end(), {l, 1 - l});
    ASSERT_EQ(0, Def(t.net, e)->SetDefinitionFromVector(rows));
    ASSERT_EQ(0, t.net.GetNode(e)->Value()->SetEvidence(0));
  }
}

void ExpectSameItems(const std::vector<double>& a, const std::vector<double>& b,
                     const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == qelta::kUndefinedValue || b[i] == qelta::kUndefinedValue) {
      EXPECT_EQ(a[i], b[i]) << what << " item " << i;
    } else {
      EXPECT_NEAR(a[i], b[i], kTol) << what << " item " << i;
    }
  }
}

void ExpectSameValues(Diagram& g, Diagram& t) {
  std::vector<int> all = g.nodes;
  all.push_back(g.utility);
  for (int h : all) {
    SCOPED_TRACE(h);
    const VRN_nodeVal* a = g.net.GetNode(h)->Value();
    const VRN_nodeVal* b = t.net.GetNode(h)->Value();
    ASSERT_EQ(a->IsValueValid(), b->IsValueValid());
    if (!a->IsValueValid()) continue;
    EXPECT_EQ(Indexing(g.net, h), Indexing(t.net, h));
    ExpectSameItems(Value(g.net, h), Value(t.net, h), "value");
  }
}

bool Descends(VRN_network& net, int h, int from) {
  VRN_intArray ancestors;
  EXPECT_EQ(0, net.GetAncestors(h, ancestors));
  return ancestors.Contains(from);
}

// The first decision of the decision order without evidence, -1 for none.
int FirstOpenDecision(VRN_network& net) {
  VRN_intArray order;
  EXPECT_EQ(0, net.GetDecisionOrder(order));
  for (int h : order) {
    if (Def(net, h)->GetType() == qelta::kDefDecision &&
        !net.GetNode(h)->Value()->HasEvidence()) {
      return h;
    }
  }
  return -1;
}

TEST(InfluenceTwinTest, RandomDiagramsAnswerAsTheirTwins) {
  std::mt19937 rng(34);
  int solved = 0, worths = 0, best_choices = 0;
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    Diagram g, t;
    MakeDiagram(rng, g);
    if (HasFatalFailure()) return;
    MakeTwin(g, t);
    if (HasFatalFailure()) return;
    VRN_network best_g(g.net), best_t(t.net);

    // Code 0: every value.
    const Snapshot before(g.net);
    const int status = g.net.UpdateBeliefs();
    ASSERT_EQ(status, t.net.UpdateBeliefs());
    ExpectUnchanged(before, g.net, "code 0");
    if (status == 0) {
      ++solved;
      ExpectSameValues(g, t);
    }

    // The worth of seeing up to two chance nodes before a decision, judged
    // from a point no later than it.
    VRN_valueOfInfo probe(&g.net);
    const VRN_intArray& decisions = probe.GetDecisions();
    const VRN_intArray& ordered = probe.GetOrderedNodes();
    const int decision = decisions[std::uniform_int_distribution<int>(
        0, decisions.GetSize() - 1)(rng)];
    const int view = ordered[std::uniform_int_distribution<int>(
        0, ordered.FindPosition(decision))(rng)];
    std::vector<int> observed;
    for (int h : g.nodes) {
      if (Def(g.net, h)->GetType() != qelta::kDefDecision &&
          !Descends(g.net, h, decision) && observed.size() < 2 && rng() % 3 == 0) {
        observed.push_back(h);
      }
    }
    const Snapshot voi_before(g.net);
    int status_g, status_t;
    const std::vector<double> worth_g = Voi(g.net, decision, view, observed, &status_g);
    const std::vector<double> worth_t = Voi(t.net, decision, view, observed, &status_t);
    ASSERT_EQ(status_g, status_t);
    ExpectUnchanged(voi_before, g.net, "value of information");
    if (status_g == 0) {
      ++worths;
      ExpectSameItems(worth_g, worth_t, "worth");
      // With one decision and nothing known below it, seeing more never hurts.
      bool known_below = false;
      for (int h : g.nodes) {
        const VRN_nodeVal* v = g.net.GetNode(h)->Value();
        known_below |= (v->HasEvidence() || v->HasVirtualEvidence()) && h != decision &&
                        Descends(g.net, h, decision);
      }
      if (decisions.GetSize() == 1 && !known_below) {
        for (double w : worth_g) {
          if (w != qelta::kUndefinedValue) {
            EXPECT_GE(w, -kTol);
          }
        }
      }
    }

    // Code 1, half the time with everything the first open decision sees
    // observed: the status, and the best choice where it clearly leads.
    const int first = FirstOpenDecision(best_g);
    if (first >= 0 && rng() % 2 == 0) {
      for (int p : best_g.GetNode(first)->Parents()) {
        VRN_nodeVal* v = best_g.GetNode(p)->Value();
        if (v->HasEvidence()) continue;
        const int rc = v->SetEvidence(0);
        ASSERT_EQ(rc, best_t.GetNode(p)->Value()->SetEvidence(0));
      }
    }
    ASSERT_EQ(1, best_g.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(1, best_t.SetDefaultIDAlgorithm(1));
    const Snapshot best_before(best_g);
    VRN_ShachterSolver solver_g, solver_t;
    const int best_status = solver_g.Solve(best_g);
    ASSERT_EQ(best_status, solver_t.Solve(best_t));
    ExpectUnchanged(best_before, best_g, "code 1");
    if (best_status != 0) continue;
    std::vector<double> beliefs = solver_g.FirstDecisionBeliefs();
    ExpectSameItems(beliefs, solver_t.FirstDecisionBeliefs(), "beliefs");
    std::sort(beliefs.begin(), beliefs.end());
    if (beliefs.size() >= 2 && beliefs.back() - beliefs[beliefs.size() - 2] > kTol) {
      ++best_choices;
      EXPECT_EQ(Value(best_g, first), Value(best_t, first));
    }
  }
  // The draws reach every comparison often.
  EXPECT_GE(solved, 190);
  EXPECT_GE(worths, 150);
  EXPECT_GE(best_choices, 40);
}

}  // namespace
