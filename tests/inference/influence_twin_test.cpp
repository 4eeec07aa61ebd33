// Solving an influence diagram must read its models, never rewrite them: a
// diagram answers exactly as its twin in which every canonical node is the
// table it expands to and every likelihood vector an observed child, and
// solving leaves every table and every chance node's parents as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base/special_values.h"
#include "definitions/ci_def.h"
#include "inference/shachter_solver.h"
#include "inference/value_of_info.h"
#include "influence_test_util.h"

namespace {

using idtest::Add;
using idtest::ExpectNear;
using idtest::LogHas;
using idtest::Table;
using idtest::Value;

constexpr double kTol = 1e-9;
constexpr int kDecision = qelta::kDefDecision;

VRN_nodeDef* Def(VRN_network& net, int h) { return net.GetNode(h)->Definition(); }
bool IsDecision(VRN_network& net, int h) { return Def(net, h)->GetType() == kDecision; }
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

// What solving may not touch, per node: handle, type, the bytes of its table
// (a canonical node's parameters) and its parents.
using Model = std::tuple<int, int, std::string, std::vector<int>>;

std::vector<Model> Models(VRN_network& net) {
  std::vector<Model> models;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const std::vector<double> table = Items(Def(net, h)->GetMatrixConst());
    const VRN_intArray& p = net.GetNode(h)->Parents();
    models.emplace_back(h, Def(net, h)->GetType(),
                        std::string(reinterpret_cast<const char*>(table.data()),
                                    table.size() * sizeof(double)),
                        std::vector<int>(p.begin(), p.end()));
  }
  return models;
}

void ExpectUnchanged(const std::vector<Model>& before, VRN_network& net, const char* what) {
  SCOPED_TRACE(what);
  std::vector<Model> after = Models(net);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < after.size(); ++i) {
    // A decision may gain decisions only, after the parents it had.
    std::vector<int>& p = std::get<3>(after[i]);
    const size_t had = std::get<3>(before[i]).size();
    if (std::get<1>(after[i]) == kDecision && p.size() > had) {
      for (size_t k = had; k < p.size(); ++k) EXPECT_TRUE(IsDecision(net, p[k])) << p[k];
      p.resize(had);
    }
    EXPECT_EQ(before[i], after[i]);
  }
}

// A node with its parents, in order, and its table.
int Node(VRN_network& net, int type, const char* id, std::vector<int> parents,
         const std::vector<double>& table = {}) {
  const int h = Add(net, type, id);
  for (int p : parents) EXPECT_EQ(0, net.AddArc(p, h));
  if (!table.empty()) Table(net, h, table);
  return h;
}

// X (0.5, 0.5) with likelihoods (0.9, 0.1), D, U(X, D) = 100, 0, 0, 50: as
// if an observed child E had P(E | X) = 0.9, 0.1.
struct Likelihoods {
  explicit Likelihoods(bool informed) {
    x = Node(net, qelta::kDefCpt, "X", {}, {0.5, 0.5});
    d = Node(net, kDecision, "D", informed ? std::vector<int>{x} : std::vector<int>{});
    Node(net, qelta::kDefUtility, "U", {x, d}, {100, 0, 0, 50});
    EXPECT_EQ(0, net.GetNode(x)->Value()->SetVirtualEvidence({0.9, 0.1}));
  }
  VRN_network net;
  int x, d;
};

TEST(InfluenceTwinTest, LikelihoodsOfAnObservedNodeWeighItsScenarios) {
  Likelihoods informed(true), blind(false);
  ASSERT_EQ(0, informed.net.UpdateBeliefs());
  ExpectNear({0.9, 0.1}, Value(informed.net, informed.x), kTol, "X");
  ExpectNear({100, 0, 0, 50}, Value(informed.net, informed.d), kTol, "D");
  ASSERT_EQ(0, blind.net.UpdateBeliefs());
  ExpectNear({90, 5}, Value(blind.net, blind.d), kTol, "D without X");
  int status;
  ExpectNear({5}, Voi(blind.net, blind.d, blind.d, {blind.x}, &status), kTol, "X before D");
  EXPECT_EQ(0, status);
  for (Likelihoods* l : {&informed, &blind}) {
    std::vector<double> kept;
    ASSERT_EQ(0, l->net.GetNode(l->x)->Value()->GetVirtualEvidence(&kept));
    ExpectNear({0.9, 0.1}, kept, 0, "likelihoods kept");
  }
  // The best-policy code needs X observed before D.
  ASSERT_EQ(1, informed.net.SetDefaultIDAlgorithm(1));
  EXPECT_EQ(-2, informed.net.UpdateBeliefs());
  EXPECT_TRUE(LogHas(informed.net, "Can't solve this network using best policy algorithm"));
}

// X (0.5, 0.5) -> N with P(N | X) = (1, 0), (0.4, 0.6), likelihoods
// (0.2, 0.8) on N, D (informed by X or not), U(N, D) = 100, 0, 0, 60. The
// scenario X = 0 implies N = 0; N's likelihoods still weigh X = 1.
struct ImpliedLikelihoods {
  explicit ImpliedLikelihoods(bool informed) {
    x = Node(net, qelta::kDefCpt, "X", {}, {0.5, 0.5});
    n = Node(net, qelta::kDefCpt, "N", {x}, {1, 0, 0.4, 0.6});
    d = Node(net, kDecision, "D", informed ? std::vector<int>{x} : std::vector<int>{});
    Node(net, qelta::kDefUtility, "U", {n, d}, {100, 0, 0, 60});
    EXPECT_EQ(0, net.GetNode(n)->Value()->SetVirtualEvidence({0.2, 0.8}));
  }
  VRN_network net;
  int x, n, d;
};

TEST(InfluenceTwinTest, LikelihoodsOfAnImpliedOutcomeStayWithTheirNode) {
  // P(X = 0 | likelihoods) = 0.1 / 0.38; at X = 1, N is (0.08, 0.48) / 0.56.
  const double x0 = 0.1 / 0.38, best_at_x1 = 60 * 0.48 / 0.56;
  ImpliedLikelihoods informed(true), blind(false);
  ASSERT_EQ(0, informed.net.UpdateBeliefs());
  ExpectNear({100, 0, 100 * 0.08 / 0.56, best_at_x1}, Value(informed.net, informed.d), kTol,
             "D");
  ExpectNear({x0, 1 - x0}, Value(informed.net, informed.x), kTol, "X");
  int status;
  const double blind_best = 60 * 0.24 / 0.38;
  ExpectNear({x0 * 100 + (1 - x0) * best_at_x1 - blind_best},
             Voi(blind.net, blind.d, blind.d, {blind.x}, &status), kTol, "X before D");
  EXPECT_EQ(0, status);
  EXPECT_NEAR(26.316, x0 * 100 + (1 - x0) * best_at_x1 - blind_best, 1e-3);
  for (ImpliedLikelihoods* l : {&informed, &blind}) {
    std::vector<double> kept;
    ASSERT_EQ(0, l->net.GetNode(l->n)->Value()->GetVirtualEvidence(&kept));
    ExpectNear({0.2, 0.8}, kept, 0, "likelihoods kept");
  }
}

// D1; noisy-MAX root A with leak (0.1, 0.9); D2 observing A and decided;
// U(A, D1) = 100, 0, 0, 50.
TEST(InfluenceTwinTest, DecidedLaterDecisionsAddNoArcIntoAChanceNode) {
  for (int code : {0, 1}) {
    SCOPED_TRACE(code);
    VRN_network net;
    const int d1 = Node(net, kDecision, "D1", {});
    const int a = Node(net, qelta::kDefNoisyMax, "A", {}, {0.1, 0.9});
    const int d2 = Node(net, kDecision, "D2", {a});
    Node(net, qelta::kDefUtility, "U", {a, d1}, {100, 0, 0, 50});
    ASSERT_EQ(0, net.GetNode(d2)->Value()->SetEvidence(0));
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    const std::vector<Model> before = Models(net);
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
    const int a = Node(net, type, "A", {}, {0.1, 0.9});
    const int x = Node(net, qelta::kDefCpt, "X", {}, {0.5, 0.5});
    const int d = Node(net, kDecision, "D", {a});
    Node(net, qelta::kDefUtility, "U", {a, x, d}, {100, 0, 0, 100, 10, 0, 0, 10});
    const std::vector<Model> before = Models(net);
    int status;
    ExpectNear({19 - 9.5}, Voi(net, d, a, {x}, &status), kTol, "X before D from A");
    EXPECT_EQ(0, status);
    ExpectUnchanged(before, net, "after the value of information");
  }
}

// A random diagram: 1 to 3 decisions and 3 to 5 chance nodes (CPT, noisy-MAX
// or noisy-adder) of 2 or 3 outcomes with up to three earlier parents each,
// decisions among them; one utility over 1 to 3 nodes; observed and
// likelihood evidence on chance nodes anywhere, and decided later decisions.
// Its twin `t` has the same handles, a CPT for each canonical model and an
// observed child for every likelihood vector.
struct Diagram {
  VRN_network net;
  std::vector<int> nodes;  // creation order is topological; the utility last
};

// zeros: a column is deterministic now and then, and entries are 0 now and
// then.
void FillColumns(std::mt19937& rng, double* items, int columns, int n,
                 bool zeros = false) {
  std::uniform_real_distribution<double> unit(0.1, 1.0);
  for (double* column = items; column < items + columns * n; column += n) {
    if (zeros && rng() % 5 == 0) {
      for (int k = 0; k < n; ++k) column[k] = 0;
      column[rng() % n] = 1;
      continue;
    }
    double sum = 0;
    for (int k = 0; k < n; ++k) {
      sum += (column[k] = zeros && rng() % 4 == 0 ? 0.0 : unit(rng));
    }
    if (sum == 0) sum = column[0] = 1;
    for (int k = 0; k < n; ++k) column[k] /= sum;
  }
}

void MakeDiagrams(std::mt19937& rng, Diagram& g, VRN_network& t, bool zeros = false) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int chance_kinds[] = {qelta::kDefCpt, qelta::kDefNoisyMax, qelta::kDefNoisyAdder};
  std::vector<int> kinds(pick(1, 3), kDecision);
  for (int i = pick(3, 5); i > 0; --i) kinds.push_back(chance_kinds[pick(0, 2)]);
  std::shuffle(kinds.begin(), kinds.end(), rng);
  const std::vector<VRN_network*> both = {&g.net, &t};
  for (int kind : kinds) {
    const int h = g.net.AddNode(kind, nullptr);
    ASSERT_GE(h, 0);
    ASSERT_EQ(h, t.AddNode(IsCanonical(kind) ? qelta::kDefCpt : kind, nullptr));
    const int n = pick(2, 3);
    std::vector<int> parents = g.nodes;
    std::shuffle(parents.begin(), parents.end(), rng);
    parents.erase(std::remove_if(parents.begin(), parents.end(),
                                 [&](int) { return pick(0, 99) >= 35; }),
                  parents.end());
    parents.resize(std::min<size_t>(parents.size(), 3));
    for (VRN_network* net : both) {
      ASSERT_EQ(0, Def(*net, h)->SetNumberOfOutcomes(n));
      for (int p : parents) ASSERT_EQ(0, net->AddArc(p, h));
    }
    g.nodes.push_back(h);
  }
  const int utility = g.net.AddNode(qelta::kDefUtility, "U");
  ASSERT_EQ(utility, t.AddNode(qelta::kDefUtility, "U"));
  std::vector<int> shuffled = g.nodes;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  const int over = pick(1, 3);
  for (VRN_network* net : both) {
    for (int i = 0; i < over; ++i) ASSERT_EQ(0, net->AddArc(shuffled[i], utility));
  }
  bool first_decision = true;
  for (int h : g.nodes) {
    VRN_nodeDef* def = Def(g.net, h);
    const int n = def->GetNumberOfOutcomes(), roll = pick(0, 99);
    int observed = -1;
    if (def->GetType() == kDecision) {
      if (!first_decision && roll < 30) observed = pick(0, n - 1);
      first_decision = false;
    } else {
      double* items = def->GetMatrix()->GetItems().Items();
      std::vector<int> free;
      if (IsCanonical(def->GetType())) {
        static_cast<VRN_ciDef*>(def)->GetFreeParameterColumns(&free);
        for (int c : free) FillColumns(rng, items + c * n, 1, n, zeros);
      } else {
        FillColumns(rng, items, def->GetMatrix()->GetItemCount() / n, n, zeros);
      }
      // Written in place above: the network hears of it here.
      ASSERT_EQ(0, def->SetDefinitionFromVector(Items(def->GetMatrixConst())));
      const VRN_matrix* table =
          IsCanonical(def->GetType()) ? def->GetExpandedDefinition() : def->GetMatrixConst();
      ASSERT_NE(nullptr, table);
      ASSERT_EQ(0, Def(t, h)->SetDefinitionFromVector(Items(table)));
      if (roll < 12) {
        observed = pick(0, n - 1);
      } else if (roll < 35) {
        std::vector<double> likelihoods(n), rows;
        FillColumns(rng, likelihoods.data(), 1, n);
        ASSERT_EQ(0, g.net.GetNode(h)->Value()->SetVirtualEvidence(likelihoods));
        const int e = t.AddNode(qelta::kDefCpt, nullptr);
        ASSERT_EQ(0, t.AddArc(h, e));
        for (double l : likelihoods) rows.insert(rows.end(), {l, 1 - l});
        ASSERT_EQ(0, Def(t, e)->SetDefinitionFromVector(rows));
        ASSERT_EQ(0, t.GetNode(e)->Value()->SetEvidence(0));
      }
    }
    // An impossible outcome is refused; the twin takes what the diagram took.
    if (observed >= 0 && g.net.GetNode(h)->Value()->SetEvidence(observed) == 0) {
      ASSERT_EQ(0, t.GetNode(h)->Value()->SetEvidence(observed));
    }
  }
  std::uniform_real_distribution<double> worth(-100, 100);
  VRN_matrix* ut = Def(g.net, utility)->GetMatrix();
  for (int i = 0; i < ut->GetItemCount(); ++i) *ut->ItemAddress(i) = worth(rng);
  ASSERT_EQ(0, Def(t, utility)->SetDefinitionFromVector(Items(ut)));
  g.nodes.push_back(utility);
}

// Near to kTol, and undefined exactly where the other is undefined.
void ExpectSame(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
  ExpectNear(a, b, kTol, what);
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    EXPECT_EQ(a[i] == qelta::kUndefinedValue, b[i] == qelta::kUndefinedValue) << what << i;
  }
}

// The first decision of the decision order without evidence, -1 for none.
int FirstOpenDecision(VRN_network& net) {
  VRN_intArray order;
  EXPECT_EQ(0, net.GetDecisionOrder(order));
  for (int h : order) {
    if (IsDecision(net, h) && !net.GetNode(h)->Value()->HasEvidence()) return h;
  }
  return -1;
}

struct TwinCounts {
  int solved = 0, worths = 0, best_choices = 0;
};

// Solves random diagrams and their twins by code 0, the value of
// information and code 1, and compares every answer.
void CompareRandomDiagrams(unsigned seed, int trials, bool zeros, TwinCounts* counts) {
  std::mt19937 rng(seed);
  int& solved = counts->solved;
  int& worths = counts->worths;
  int& best_choices = counts->best_choices;
  for (int trial = 0; trial < trials; ++trial) {
    SCOPED_TRACE(trial);
    Diagram g, t;
    MakeDiagrams(rng, g, t.net, zeros);
    if (::testing::Test::HasFatalFailure()) return;
    VRN_network best_g(g.net), best_t(t.net);
    const std::vector<Model> before = Models(g.net);

    // Code 0: every value.
    const int status = g.net.UpdateBeliefs();
    ASSERT_EQ(status, t.net.UpdateBeliefs());
    ExpectUnchanged(before, g.net, "code 0");
    for (int h : g.nodes) {
      if (status != 0) break;
      SCOPED_TRACE(h);
      const bool valid = g.net.GetNode(h)->Value()->IsValueValid();
      ASSERT_EQ(valid, t.net.GetNode(h)->Value()->IsValueValid());
      if (!valid) continue;
      EXPECT_EQ(idtest::Indexing(g.net, h), idtest::Indexing(t.net, h));
      ExpectSame(Value(g.net, h), Value(t.net, h), "value");
    }
    solved += status == 0;

    // The worth of seeing up to two chance nodes before a decision, judged
    // from a point no later than it.
    VRN_valueOfInfo probe(&g.net);
    const VRN_intArray& decisions = probe.GetDecisions();
    const VRN_intArray& ordered = probe.GetOrderedNodes();
    const int decision = decisions[rng() % decisions.GetSize()];
    const int view = ordered[rng() % (ordered.FindPosition(decision) + 1)];
    std::vector<int> observed;
    bool known_below = false;
    for (int h : g.nodes) {
      const VRN_nodeVal* v = g.net.GetNode(h)->Value();
      VRN_intArray ancestors;
      ASSERT_EQ(0, g.net.GetAncestors(h, ancestors));
      const bool below = ancestors.Contains(decision);
      known_below |= below && (v->HasEvidence() || v->HasVirtualEvidence());
      const int type = Def(g.net, h)->GetType();
      if (type != kDecision && type != qelta::kDefUtility && !below && observed.size() < 2 &&
          rng() % 3 == 0) {
        observed.push_back(h);
      }
    }
    int status_g, status_t;
    const std::vector<double> worth_g = Voi(g.net, decision, view, observed, &status_g);
    const std::vector<double> worth_t = Voi(t.net, decision, view, observed, &status_t);
    ASSERT_EQ(status_g, status_t);
    ExpectUnchanged(before, g.net, "value of information");
    if (status_g == 0) {
      ++worths;
      ExpectSame(worth_g, worth_t, "worth");
      // With one decision and nothing known below it, seeing more never hurts,
      // not even by a rounding.
      for (double w : worth_g) {
        if (decisions.GetSize() == 1 && !known_below && w != qelta::kUndefinedValue) {
          EXPECT_GE(w, 0.0);
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
        ASSERT_EQ(v->SetEvidence(0), best_t.GetNode(p)->Value()->SetEvidence(0));
      }
    }
    ASSERT_EQ(1, best_g.SetDefaultIDAlgorithm(1));
    ASSERT_EQ(1, best_t.SetDefaultIDAlgorithm(1));
    VRN_ShachterSolver solver_g, solver_t;
    const int best_status = solver_g.Solve(best_g);
    ASSERT_EQ(best_status, solver_t.Solve(best_t));
    ExpectUnchanged(before, best_g, "code 1");
    if (best_status != 0) continue;
    std::vector<double> beliefs = solver_g.FirstDecisionBeliefs();
    ExpectSame(beliefs, solver_t.FirstDecisionBeliefs(), "beliefs");
    std::sort(beliefs.begin(), beliefs.end());
    if (beliefs.size() >= 2 && beliefs.back() - beliefs[beliefs.size() - 2] > kTol) {
      ++best_choices;
      EXPECT_EQ(Value(best_g, first), Value(best_t, first));
    }
  }
}

// The comparisons above, each reached at least as often as `least` says.
void ExpectTwinAnswers(unsigned seed, int trials, bool zeros, const TwinCounts& least) {
  TwinCounts counts;
  CompareRandomDiagrams(seed, trials, zeros, &counts);
  EXPECT_GE(counts.solved, least.solved);
  EXPECT_GE(counts.worths, least.worths);
  EXPECT_GE(counts.best_choices, least.best_choices);
}

TEST(InfluenceTwinTest, RandomDiagramsAnswerAsTheirTwins) {
  ExpectTwinAnswers(34, 200, false, {190, 150, 40});
}

// Zero entries and deterministic columns: scenarios imply outcomes of nodes
// with likelihoods, and some evidence is impossible.
TEST(InfluenceTwinTest, RandomDiagramsWithZerosAnswerAsTheirTwins) {
  ExpectTwinAnswers(43, 600, true, {550, 550, 200});
}

}  // namespace
