#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/cpt.h"
#include "definitions/lazy_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "network/fresh_network.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCast;
using qelta::kDefCpt;
using qelta::kDefDemorgan;
using qelta::kDefNoisyAdder;
using qelta::kDefNoisyMax;

std::vector<double> Items(const VRN_matrix* m) {
  return std::vector<double>(m->GetItems().begin(), m->GetItems().end());
}

VRN_intArray IntArray(std::vector<int> v) {
  VRN_intArray a;
  for (int x : v) a.Add(x);
  return a;
}

VRN_doubleArray DoubleArray(std::vector<double> v) {
  VRN_doubleArray a;
  for (double x : v) a.Add(x);
  return a;
}

void ExpectNear(const std::vector<double>& want, const std::vector<double>& got,
                double tolerance = 1e-12) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(want[i], got[i], tolerance) << "item " << i;
  }
}

// A network of `parents` CPT roots (outcome counts given) and one child of
// type `type`, handle parents.size().
struct Family {
  Family(int type, std::vector<int> counts) {
    for (size_t i = 0; i < counts.size(); ++i) {
      const int h = net.AddNode(type == kDefDemorgan || type == kDefCast
                                    ? type : kDefCpt,
                                ("p" + std::to_string(i)).c_str());
      if (type != kDefDemorgan && type != kDefCast) {
        EXPECT_EQ(0, net.GetNode(h)->Definition()->SetNumberOfOutcomes(counts[i]));
      }
    }
    child = net.AddNode(type, "child");
    for (size_t i = 0; i < counts.size(); ++i) {
      EXPECT_EQ(0, net.AddArc(static_cast<int>(i), child));
    }
  }
  template <typename T>
  T* Def() {
    return static_cast<T*>(net.GetNode(child)->Definition());
  }
  std::vector<double> Table() {
    return Items(net.GetNode(child)->Definition()->GetExpandedDefinition());
  }
  VRN_network net;
  int child = -1;
};

TEST(CiDefTest, ParameterColumnsFollowParents) {
  Family f(kDefNoisyMax, {});
  VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
  ExpectNear({0.5, 0.5}, Items(d->GetMatrixConst()));
  const int p = f.net.AddNode(kDefCpt, "three");
  ASSERT_EQ(0, f.net.GetNode(p)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(0, d->LoadParameters(DoubleArray({0.3, 0.7})));
  ASSERT_EQ(0, f.net.AddArc(p, f.child));
  ExpectNear({0.5, 0.5, 0.5, 0.5, 0, 1, 0.3, 0.7}, Items(d->GetMatrixConst()));
  EXPECT_EQ(qelta::kErrInvalidValue, d->LoadParameters(DoubleArray({1, 0})));
  VRN_matrix wrong(IntArray({2, 2}));
  EXPECT_EQ(qelta::kErrInvalidValue, d->SetParameters(wrong));
  // An own outcome inserted gets 0.0; the constrained column stays a
  // point mass at the (new) last outcome.
  ASSERT_EQ(0, d->InsertOutcome(1, "mid"));
  ExpectNear({0.5, 0, 0.5, 0.5, 0, 0.5, 0, 0, 1, 0.3, 0, 0.7},
             Items(d->GetMatrixConst()));
  ASSERT_EQ(0, d->MakeUniform());
  const double t = 1.0 / 3;
  ExpectNear({t, t, t, t, t, t, 0, 0, 1, t, t, t}, Items(d->GetMatrixConst()));
  ASSERT_EQ(0, f.net.RemoveArc(p, f.child));
  ExpectNear({t, t, t}, Items(d->GetMatrixConst()));
}

// Noisy-OR by hand: outcomes (present, absent), link probabilities 0.8
// and 0.6, leak 0.1.
TEST(NoisyMaxTest, NoisyOrAndHenrionForm) {
  Family f(kDefNoisyMax, {2, 2});
  VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
  ASSERT_EQ(0, d->LoadParameters(
                   DoubleArray({0.8, 0.2, 0, 1, 0.6, 0.4, 0, 1, 0.1, 0.9})));
  const std::vector<double> table = f.Table();
  const double want[4] = {0.928, 0.82, 0.64, 0.1};  // both, first, second, none
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(want[c], table[2 * c], 1e-12);
    EXPECT_NEAR(1 - want[c], table[2 * c + 1], 1e-12);
  }
  VRN_matrix henrion;
  ASSERT_EQ(0, d->GetHenrionProbabilities(&henrion));
  ExpectNear({0.82, 0.18, 0, 1, 0.64, 0.36, 0, 1, 0.1, 0.9}, Items(&henrion));
  ASSERT_EQ(0, d->LoadParameters(DoubleArray({0.5, 0.5, 0, 1, 0.5, 0.5, 0, 1,
                                              0.1, 0.9})));
  ASSERT_EQ(0, d->SetHenrionProbabilities(henrion));
  ExpectNear({0.8, 0.2, 0, 1, 0.6, 0.4, 0, 1, 0.1, 0.9},
             Items(d->GetMatrixConst()));
  henrion.GetItems()[2] = 0.0001;
  henrion.GetItems()[3] = 0.9999;
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetHenrionProbabilities(henrion));
  VRN_doubleArray flat;
  ASSERT_EQ(0, d->GetHenrionProbabilitiesArray(&flat));
  EXPECT_EQ(6, flat.GetSize());
  EXPECT_EQ(qelta::kErrOutOfRange,
            d->SetHenrionProbabilitiesArray(DoubleArray({1, 0})));
  ASSERT_EQ(0, d->SetHenrionProbabilitiesArray(flat));
  bool influential = true;
  ASSERT_EQ(0, d->CheckParentInfluence(1, 0.0, &influential));
  EXPECT_TRUE(influential);
}

// P -> Y with P's column (t, 1 - t) and leak (0, 1): Y = y0 has
// probability t / 2, which de-cumulating 1 - (1 - t) would round away.
TEST(NoisyMaxTest, OutcomesFarBelowOneSurviveExpansionAndTypeChange) {
  for (double t : {1e-16, 1e-17, std::ldexp(1.0, -54), std::ldexp(1.0, -1074)}) {
    SCOPED_TRACE(t);
    Family f(kDefNoisyMax, {2});
    ASSERT_EQ(0, f.net.GetNode(0)->Definition()->SetDefinitionFromVector({0.5, 0.5}));
    ASSERT_EQ(0, f.Def<VRN_noisyMAX>()->LoadParameters(DoubleArray({t, 1 - t, 0, 1, 0, 1})));
    const std::vector<double> table = f.Table();
    EXPECT_NEAR(t, table[0], t * 1e-12);
    EXPECT_EQ(0.0, table[2]);
    ASSERT_EQ(0, f.net.GetNode(f.child)->Value()->SetEvidence(0));
    double pe = 0.0;
    // 2^-1075 is no double: refused rather than answered as 0.
    ASSERT_EQ(t > 1e-300, f.net.CalcPropEvidence(pe, false));
    EXPECT_NEAR(t > 1e-300 ? t / 2 : -1.0, pe, t * 1e-12);
    ASSERT_EQ(0, f.net.GetNode(f.child)->setNodeType(kDefCpt));
    EXPECT_NEAR(t, f.net.GetNode(f.child)->Definition()->GetMatrixConst()->GetItem(0), t * 1e-12);
  }
}

// Parameters are probabilities: every setter refuses anything else with
// -4 and keeps the old ones; one written past the setters is refused by
// the update.
TEST(NoisyMaxTest, ParametersThatAreNoProbabilitiesAreRefused) {
  Family f(kDefNoisyMax, {2});
  VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
  const std::vector<double> good{0.8, 0.2, 0, 1, 0.1, 0.9};
  ASSERT_EQ(0, d->LoadParameters(DoubleArray(good)));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  VRN_matrix henrion;
  ASSERT_EQ(0, d->GetHenrionProbabilities(&henrion));
  for (double bad : {nan, inf, -inf, 1.5, -0.1}) {
    SCOPED_TRACE(bad);
    std::vector<double> items = good;
    items[0] = bad;
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetDefinitionFromVector(items));
    EXPECT_EQ(qelta::kErrInvalidValue, d->LoadParameters(DoubleArray(items)));
    VRN_matrix matrix = *d->GetMatrixConst();
    matrix.GetItems()[0] = bad;
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetParameters(matrix));
    VRN_matrix h = henrion;
    h.GetItems()[0] = bad;
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetHenrionProbabilities(h));
    EXPECT_EQ(good, Items(d->GetMatrixConst()));
  }
  for (double bad : {nan, 1.5}) {
    d->GetMatrix()->GetItems()[0] = bad;
    d->GetMatrix()->GetItems()[1] = 1 - bad;
    f.net.ErrorLog()->Flush();
    EXPECT_EQ(qelta::kErrOutOfRange, f.net.UpdateBeliefs());
    EXPECT_STREQ("Node [child] has a parameter that is not a probability",
                 f.net.ErrorLog()->GetMessage(0));
    double pe = 0.0;
    EXPECT_FALSE(f.net.CalcPropEvidence(pe, false));
  }
}

TEST(NoisyMaxTest, StrengthsAndGradedParent) {
  Family f(kDefNoisyMax, {2});
  VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
  ASSERT_EQ(0, d->LoadParameters(DoubleArray({0.8, 0.2, 0, 1, 0.1, 0.9})));
  ExpectNear({0.82, 0.18, 0.1, 0.9}, f.Table());
  ASSERT_EQ(0, d->SetParentOutcomeStrengths(0, IntArray({1, 0})));
  ExpectNear({0.1, 0.9, 0.82, 0.18}, f.Table());
  EXPECT_EQ(qelta::kErrInvalidValue, d->SetParentOutcomeStrengths(0, IntArray({0, 0})));
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetParentOutcomeStrengths(0, IntArray({0, 1, 2})));

  Family g(kDefNoisyMax, {3});
  VRN_noisyMAX* e = g.Def<VRN_noisyMAX>();
  ASSERT_EQ(0, g.net.GetNode(g.child)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(0, e->LoadParameters(DoubleArray(
                   {0.5, 0.3, 0.2, 0.1, 0.4, 0.5, 0, 0, 1, 0.05, 0.15, 0.8})));
  ExpectNear({0.525, 0.315, 0.16, 0.145, 0.455, 0.4, 0.05, 0.15, 0.8}, g.Table());
  // Moving the columns with the order keeps the table.
  ASSERT_EQ(0, e->ChangeParentOutcomeStrengths(0, IntArray({1, 0, 2})));
  ExpectNear({0.525, 0.315, 0.16, 0.145, 0.455, 0.4, 0.05, 0.15, 0.8}, g.Table());
  EXPECT_EQ((std::vector<int>{1, 0, 2}),
            std::vector<int>(e->GetParentOutcomeStrengths(0).begin(),
                             e->GetParentOutcomeStrengths(0).end()));
}

// Parent outcome edits on a graded parent with strengths (1, 0, 2).
TEST(NoisyMaxTest, ParentOutcomeNotifications) {
  Family f(kDefNoisyMax, {3});
  VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
  VRN_nodeDef* parent = f.net.GetNode(0)->Definition();
  ASSERT_EQ(0, d->LoadParameters(DoubleArray({0.9, 0.1, 0.7, 0.3, 0, 1, 0.2, 0.8})));
  ASSERT_EQ(0, d->SetParentOutcomeStrengths(0, IntArray({1, 0, 2})));
  auto strengths = [&] {
    const VRN_intArray& s = d->GetParentOutcomeStrengths(0);
    return std::vector<int>(s.begin(), s.end());
  };
  // A new outcome 0 displaces outcome 0 at position 1: a uniform column
  // before it.
  ASSERT_EQ(0, parent->InsertOutcome(0, "n"));
  EXPECT_EQ((std::vector<int>{2, 0, 1, 3}), strengths());
  ExpectNear({0.9, 0.1, 0.5, 0.5, 0.7, 0.3, 0, 1, 0.2, 0.8},
             Items(d->GetMatrixConst()));
  ASSERT_EQ(0, parent->RemoveOutcome(2));
  EXPECT_EQ((std::vector<int>{0, 1, 2}), strengths());
  ExpectNear({0.5, 0.5, 0.7, 0.3, 0, 1, 0.2, 0.8}, Items(d->GetMatrixConst()));
  ASSERT_EQ(0, parent->ChangeOrderOfOutcomes(IntArray({2, 0, 1})));
  EXPECT_EQ((std::vector<int>{1, 2, 0}), strengths());
  ASSERT_EQ(0, parent->AddOutcome("z"));  // a new last outcome, last strength
  EXPECT_EQ((std::vector<int>{1, 2, 0, 3}), strengths());
  ExpectNear({0.5, 0.5, 0.7, 0.3, 0, 1, 0, 1, 0.2, 0.8}, Items(d->GetMatrixConst()));
}

// Every column of the expanded table (outcome dimension last) sums to 1.
void ExpectDistributions(const std::vector<double>& table, int n) {
  ASSERT_EQ(0u, table.size() % n);
  for (size_t c = 0; c < table.size(); c += n) {
    double sum = 0;
    for (int j = 0; j < n; ++j) sum += table[c + j];
    EXPECT_NEAR(1.0, sum, 1e-12) << "column " << c / n;
  }
}

// A dropped own outcome's share is spread over the others in proportion,
// as in a table; a free column left with nothing becomes uniform.
TEST(CiDefTest, DroppedOutcomesKeepColumnsDistributions) {
  Family max(kDefNoisyMax, {2});
  VRN_noisyMAX* m = max.Def<VRN_noisyMAX>();
  ASSERT_EQ(0, m->AddOutcome("c"));
  ASSERT_EQ(0, m->LoadParameters(
                   DoubleArray({0.4, 0.5, 0.1, 0, 0, 1, 0.2, 0.2, 0.6})));
  VRN_stringArray ids;
  ids.Add("x");
  ids.Add("y");
  ASSERT_EQ(0, m->ChangeOrderOfOutcomesWithAddAndRemove(ids, IntArray({2, 0})));
  ExpectNear({0.2, 0.8, 0, 1, 0.75, 0.25}, Items(m->GetMatrixConst()));
  ExpectDistributions(max.Table(), 2);

  Family adder(kDefNoisyAdder, {2});
  VRN_noisyAdder* a = adder.Def<VRN_noisyAdder>();
  ASSERT_EQ(0, a->AddOutcome("c"));
  ASSERT_EQ(0, a->LoadParameters(
                   DoubleArray({0, 1, 0, 0, 0, 1, 0.5, 0.25, 0.25})));
  ASSERT_EQ(0, a->RemoveOutcome(1));
  ExpectNear({0.5, 0.5, 0, 1, 2.0 / 3, 1.0 / 3}, Items(a->GetMatrixConst()));
  ExpectDistributions(adder.Table(), 2);
}

TEST(NoisyMaxTest, ReorderedParentsKeepTheirColumns) {
  Family f(kDefNoisyMax, {2, 3});
  VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
  ASSERT_EQ(0, d->LoadParameters(DoubleArray(
                   {0.8, 0.2, 0, 1, 0.6, 0.4, 0.3, 0.7, 0, 1, 0.1, 0.9})));
  ASSERT_EQ(0, d->SetParentOutcomeStrengths(1, IntArray({2, 0, 1})));
  const std::vector<double> before = f.Table();  // [p0][p1][own]
  ASSERT_EQ(0, f.net.ReorderParents(f.child, IntArray({1, 0})));
  ExpectNear({0.6, 0.4, 0.3, 0.7, 0, 1, 0.8, 0.2, 0, 1, 0.1, 0.9},
             Items(d->GetMatrixConst()));
  EXPECT_EQ(2, d->GetParentOutcomeStrengths(0)[0]);
  const std::vector<double> after = f.Table();  // [p1][p0][own]
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 3; ++b) {
      for (int j = 0; j < 2; ++j) {
        EXPECT_EQ(before[(a * 3 + b) * 2 + j], after[(b * 2 + a) * 2 + j]);
      }
    }
  }
  // Random parameters keep the constrained columns; a copy into a
  // definition of other dimensions changes nothing.
  VRN_randomGenerator generator(5);
  ASSERT_EQ(0, d->MakeRandom(generator));
  EXPECT_EQ(1.0, d->Parameters().GetItem(2 * 2 + 1));
  EXPECT_EQ(1.0, d->Parameters().GetItem(4 * 2 + 1));
  Family g(kDefNoisyMax, {2});
  const std::vector<double> kept = Items(g.Def<VRN_noisyMAX>()->GetMatrixConst());
  d->CopyParameters(g.Def<VRN_noisyMAX>());
  EXPECT_EQ(kept, Items(g.Def<VRN_noisyMAX>()->GetMatrixConst()));
}

TEST(NoisyMaxTest, FitToTable) {
  // No parents: the old table is the leak exactly.
  VRN_network net;
  const int a = net.AddNode(kDefCpt, "a");
  ASSERT_EQ(0, net.GetNode(a)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(0, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.2, 0.3, 0.5}));
  ASSERT_EQ(0, net.GetNode(a)->setNodeType(kDefNoisyMax));
  ExpectNear({0.2, 0.3, 0.5}, Items(net.GetNode(a)->Definition()->GetMatrixConst()), 0);
  EXPECT_STREQ("State2", net.GetNode(a)->Definition()->GetOutcomesNames()->Get(2));
  ASSERT_EQ(0, net.GetNode(a)->setNodeType(kDefCpt));
  EXPECT_STREQ("State2", net.GetNode(a)->Definition()->GetOutcomesNames()->Get(2));
  // One parent, tables made from noisy-MAX parameters: fitted closely.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(0.05, 1.0);
  for (int round = 0; round < 10; ++round) {
    Family f(kDefNoisyMax, {3});
    VRN_noisyMAX* d = f.Def<VRN_noisyMAX>();
    std::vector<double> p;
    for (int c = 0; c < 4; ++c) {
      const double x = c == 2 ? 0.0 : unit(rng);
      p.push_back(x);
      p.push_back(1 - x);
    }
    ASSERT_EQ(0, d->LoadParameters(DoubleArray(p)));
    const std::vector<double> want = f.Table();
    ASSERT_EQ(0, f.net.GetNode(f.child)->setNodeType(kDefCpt));
    ASSERT_EQ(0, f.net.GetNode(f.child)->setNodeType(kDefNoisyMax));
    const std::vector<double> got = f.Table();
    double distance = 0;
    for (size_t i = 0; i < want.size(); ++i) {
      distance += (want[i] - got[i]) * (want[i] - got[i]);
    }
    EXPECT_LT(distance, 1e-6) << "round " << round;
  }
  // Any CPT, its columns as a normaliser leaves them (a rounding off 1):
  // every parameter column and every table column stays a distribution.
  std::uniform_real_distribution<double> any(0.0, 1.0);
  for (int round = 0; round < 2000; ++round) {
    SCOPED_TRACE(round);
    const int k = 2 + static_cast<int>(rng() % 2), n = 2 + static_cast<int>(rng() % 2);
    std::vector<double> cpt;
    for (int c = 0; c < k; ++c) {
      std::vector<double> column(n);
      double sum = 0;
      for (double& x : column) {
        x = any(rng) < 0.2 ? 0.0 : any(rng);
        sum += x;
      }
      if (sum == 0) sum = column[0] = 1;
      for (double x : column) cpt.push_back(x / sum);
    }
    Family f(kDefCpt, {k});
    ASSERT_EQ(0, f.net.GetNode(f.child)->Definition()->SetNumberOfOutcomes(n));
    ASSERT_EQ(0, f.net.GetNode(f.child)->Definition()->SetDefinitionFromVector(cpt));
    ASSERT_EQ(0, f.net.GetNode(f.child)->setNodeType(kDefNoisyMax));
    for (const std::vector<double>& items :
         {Items(f.Def<VRN_noisyMAX>()->GetMatrixConst()), f.Table()}) {
      for (auto at = items.begin(); at != items.end(); at += n) {
        EXPECT_GE(*std::min_element(at, at + n), 0.0);
        EXPECT_NEAR(1.0, std::accumulate(at, at + n, 0.0), 1e-12) << "column " << (at - items.begin()) / n;
      }
    }
  }
}

// Weighted average, two parents with weights 1 and 3, leak weight 1.
TEST(NoisyAdderTest, AverageAndSingleFault) {
  Family f(kDefNoisyAdder, {2, 2});
  VRN_noisyAdder* d = f.Def<VRN_noisyAdder>();
  // Distinguished parent states: the last outcomes; active states 0.
  ASSERT_EQ(0, d->LoadParameters(
                   DoubleArray({0.2, 0.8, 0, 1, 0.6, 0.4, 0, 1, 0.9, 0.1})));
  ASSERT_EQ(0, d->SetParentWeight(1, 3.0));
  ExpectNear({0.58, 0.42, 0.55, 0.45, 0.675, 0.325, 0.9, 0.1}, f.Table());
  ASSERT_EQ(0, d->SetFunction(VRN_noisyAdder::kSingleFault));
  ExpectNear({0.9, 0.1, 0.2, 0.8, 0.6, 0.4, 0.9, 0.1}, f.Table());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {0.0, -1.0, nan, HUGE_VAL}) {
    EXPECT_EQ(qelta::kErrOutOfRange, d->SetParentWeight(0, bad));
  }
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetParentWeight(3, 1.0));
  EXPECT_EQ(0, d->SetParentWeight(2, 2.0));  // the leak
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetFunction(2));
  EXPECT_EQ(0, d->SetDistinguishedState(1));
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetDistinguishedState(2));
  // A parent added later: weight 1.0 before the leak weight.
  const int p = f.net.AddNode(kDefCpt, "late");
  ASSERT_EQ(0, f.net.AddArc(p, f.child));
  EXPECT_EQ((std::vector<double>{1.0, 3.0, 1.0, 2.0}),
            std::vector<double>(d->GetWeights().begin(), d->GetWeights().end()));
}

TEST(NoisyAdderTest, ParentOutcomeNotifications) {
  Family f(kDefNoisyAdder, {2});
  VRN_noisyAdder* d = f.Def<VRN_noisyAdder>();
  VRN_nodeDef* parent = f.net.GetNode(0)->Definition();
  ASSERT_EQ(0, d->LoadParameters(DoubleArray({0.3, 0.7, 0, 1, 0.9, 0.1})));
  ASSERT_EQ(0, parent->InsertOutcome(0, "n"));  // before the distinguished one
  EXPECT_EQ(2, d->GetParentDistinguishedState(0));
  ExpectNear({0, 1, 0.3, 0.7, 0, 1, 0.9, 0.1}, Items(d->GetMatrixConst()));
  ASSERT_EQ(0, parent->ChangeOrderOfOutcomes(IntArray({2, 0, 1})));
  EXPECT_EQ(0, d->GetParentDistinguishedState(0));
  ExpectNear({0, 1, 0, 1, 0.3, 0.7, 0.9, 0.1}, Items(d->GetMatrixConst()));
  ASSERT_EQ(0, parent->RemoveOutcome(0));  // the distinguished one
  EXPECT_EQ(0, d->GetParentDistinguishedState(0));
  ExpectNear({0, 1, 0.3, 0.7, 0.9, 0.1}, Items(d->GetMatrixConst()));
  // Own outcomes: the distinguished state follows.
  ASSERT_EQ(0, d->InsertOutcome(0, "first"));
  EXPECT_EQ(2, d->GetDistinguishedState());
  ASSERT_EQ(0, d->ChangeOrderOfOutcomes(IntArray({2, 0, 1})));
  EXPECT_EQ(0, d->GetDistinguishedState());
  ExpectNear({1, 0, 0, 0.7, 0, 0.3, 0.1, 0, 0.9}, Items(d->GetMatrixConst()));
}

TEST(QualitativeTest, DeMorgan) {
  Family f(kDefDemorgan, {0, 0});
  VRN_demorgan* d = f.Def<VRN_demorgan>();
  EXPECT_EQ(VRN_demorgan::kCause, d->GetParentType(1));
  EXPECT_EQ(0.0, d->GetParentWeight(1));
  EXPECT_EQ(-1, d->GetParentType(2));
  ASSERT_EQ(0, d->SetPriorBelief(0.1));
  ASSERT_EQ(0, d->SetParentWeights(DoubleArray({0.5, 0.5})));
  // Configurations (p0, p1): TT, TF, FT, FF.
  ExpectNear({0.775, 0.225, 0.55, 0.45, 0.55, 0.45, 0.1, 0.9}, f.Table());
  ASSERT_EQ(0, d->SetParentType(1, VRN_demorgan::kInhibitor));
  EXPECT_NEAR(0.275, f.Table()[0], 1e-15);
  EXPECT_NEAR(0.05, f.Table()[4], 1e-15);
  ASSERT_EQ(0, d->SetParentTypes(IntArray({0, 2})));
  EXPECT_NEAR(0.275, f.Table()[0], 1e-15);
  ASSERT_EQ(0, d->SetParentTypes(IntArray({1, 7})));
  ASSERT_EQ(0, d->SetParentWeight(0, 1.0));
  EXPECT_EQ(7, d->GetParentType(1));
  EXPECT_EQ(0.0, f.Table()[4]);  // requirement "False" of weight 1
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {1.5, -0.1, nan}) {
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetParentWeight(0, bad));
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetPriorBelief(bad));
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetParentWeights(DoubleArray({0, bad})));
  }
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetParentWeights(DoubleArray({0})));
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetParentWeight(2, 0.5));
  ASSERT_EQ(0, f.net.RemoveArc(0, f.child));
  EXPECT_EQ(7, d->GetParentType(0));
}

TEST(QualitativeTest, Cast) {
  Family f(kDefCast, {0, 0});
  VRN_cast* d = f.Def<VRN_cast>();
  ASSERT_EQ(0, d->SetPositiveWeights(DoubleArray({0.6, 0.0})));
  ASSERT_EQ(0, d->SetNegativeWeights(DoubleArray({-0.6, 0.0})));
  // TT, TF, FT, FF.
  ExpectNear({0.8, 0.2, 0.8, 0.2, 0.2, 0.8, 0.2, 0.8}, f.Table());
  ASSERT_EQ(0, d->SetPositiveWeights(DoubleArray({0.5, -0.5})));
  EXPECT_NEAR(0.5, f.Table()[0], 1e-15);
  ASSERT_EQ(0, d->SetPositiveWeights(DoubleArray({1.0, -1.0})));
  EXPECT_EQ(0.5, f.Table()[0]);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {1.5, -3.0, nan}) {
    EXPECT_EQ(qelta::kErrInvalidValue, d->SetPositiveWeights(DoubleArray({0, bad})));
  }
  EXPECT_EQ(qelta::kErrOutOfRange, d->SetNegativeWeights(DoubleArray({0, 0, 0})));
  EXPECT_EQ(qelta::kErrInvalidValue, d->SetBaseline(1.2));
  ASSERT_EQ(0, d->SetBaseline(0.25));
  EXPECT_EQ(0.25, d->GetBaseline());
}

// A weight one rounding below 1 on a prior of 0.5 leaves "False" 2^-54,
// which 1 - P("True") would round to 0; CAST's two negative weights of
// 1 - 2^-30 leave "True" 2^-61.
TEST(QualitativeTest, OutcomesFarBelowOneSurvive) {
  const double w = 1 - std::ldexp(1.0, -53);
  Family demorgan(kDefDemorgan, {0});
  ASSERT_EQ(0, demorgan.Def<VRN_demorgan>()->SetParentWeight(0, w));
  EXPECT_EQ(std::ldexp(1.0, -54), demorgan.Table()[1]);
  ASSERT_EQ(0, demorgan.Def<VRN_demorgan>()->SetParentType(0, VRN_demorgan::kInhibitor));
  ASSERT_EQ(0, demorgan.Def<VRN_demorgan>()->SetPriorBelief(1.0));
  EXPECT_EQ(std::ldexp(1.0, -53), demorgan.Table()[0]);
  Family cast(kDefCast, {0, 0});
  ASSERT_EQ(0, cast.Def<VRN_cast>()->SetPositiveWeights(DoubleArray({w, 0})));
  EXPECT_NEAR(std::ldexp(1.0, -54), cast.Table()[1], std::ldexp(1.0, -54) * 1e-12);
  const double v = -(1 - std::ldexp(1.0, -30));
  ASSERT_EQ(0, cast.Def<VRN_cast>()->SetPositiveWeights(DoubleArray({v, v})));
  EXPECT_NEAR(std::ldexp(1.0, -61), cast.Table()[0], std::ldexp(1.0, -61) * 1e-12);
}

TEST(QualitativeTest, TypeChangeDropsOtherArcs) {
  VRN_network net;
  const int a = net.AddNode(kDefCpt, "a");
  const int b = net.AddNode(kDefDemorgan, "b");
  const int c = net.AddNode(kDefCpt, "c");
  ASSERT_EQ(0, net.AddArc(a, c));
  ASSERT_EQ(qelta::kErrWrongNodeType, net.AddArc(a, b));
  ASSERT_EQ(0, net.GetNode(c)->setNodeType(kDefDemorgan));
  EXPECT_EQ(0, net.GetNode(c)->Parents().GetSize());
  ASSERT_EQ(0, net.AddArc(b, c));
  EXPECT_EQ(1, static_cast<VRN_demorgan*>(net.GetNode(c)->Definition())
                   ->GetParentCount());
  EXPECT_STREQ("True", net.GetNode(c)->Definition()->GetOutcomesNames()->Get(0));
  EXPECT_EQ(0, net.GetNode(c)->SetTypeByName("CAST"));
  EXPECT_EQ(0, net.GetNode(c)->Parents().GetSize());
  EXPECT_EQ(kDefCast, net.GetNode(c)->Definition()->GetType());
}

// A (prior 0.3) causes C (prior 0.15, weight 0.6). As a table C keeps its
// own prior, not the column of A "True" (0.66, 0.34), so evidence C = False
// stays possible.
TEST(QualitativeTest, TypeChangeToATableKeepsThePrior) {
  for (int type : {kDefCpt, qelta::kDefTruthTable}) {
    VRN_network net;
    const int a = net.AddNode(kDefDemorgan, "A"), c = net.AddNode(kDefDemorgan, "C");
    ASSERT_EQ(0, net.AddArc(a, c));
    ASSERT_EQ(0, static_cast<VRN_demorgan*>(net.GetNode(a)->Definition())->SetPriorBelief(0.3));
    auto* d = static_cast<VRN_demorgan*>(net.GetNode(c)->Definition());
    ASSERT_EQ(0, d->SetPriorBelief(0.15));
    ASSERT_EQ(0, d->SetParentWeight(0, 0.6));
    ASSERT_EQ(0, net.GetNode(c)->Value()->SetEvidence(1));
    ASSERT_EQ(0, net.GetNode(c)->setNodeType(type));
    EXPECT_EQ(0, net.GetNode(c)->Parents().GetSize());
    ExpectNear(type == kDefCpt ? std::vector<double>{0.15, 0.85} : std::vector<double>{0, 1},
               Items(net.GetNode(c)->Definition()->GetMatrixConst()));
    EXPECT_EQ(0, net.UpdateBeliefs());
  }
}

// ---------------------------------------------------------------------------
// Tables computed on demand.

// "True" with probability 0.1 plus 0.2 per parent in state 0; counts the
// columns it computes.
class CountingQual : public VRN_qualDef {
 public:
  CountingQual(VRN_network* net, int h) : VRN_qualDef(net, h) {}
  explicit CountingQual(const VRN_discreteInfo& info) : VRN_qualDef(info) {}
  VRN_nodeDef* Clone(VRN_network*) const override { return nullptr; }
  int GetType() const override { return qelta::kDefCast; }
  const char* GetTypeName() const override { return "TEST"; }
  double CalculateCptColumn(const VRN_intArray& coordinates) override {
    ++columns;
    double p = 0.1;
    for (int i = 0; i + 1 < coordinates.GetSize(); ++i) {
      p += coordinates[i] == 0 ? 0.2 : 0.0;
    }
    return p;
  }
  int columns = 0;
};

struct OtherQual : CountingQual {
  OtherQual(VRN_network* net, int h) : CountingQual(net, h) {}
};

struct TwoParents {
  TwoParents() {
    for (const char* id : {"A", "B", "N"}) {
      EXPECT_GE(net.AddNode(qelta::kDefCpt, id), 0);
    }
    EXPECT_EQ(0, net.AddArc(0, 2));
    EXPECT_EQ(0, net.AddArc(1, 2));
  }
  VRN_network net;
};

TEST(QualDefTest, ExpandsOnDemandKeepsOutcomesAndCaches) {
  TwoParents t;
  CountingQual def(&t.net, 2);
  EXPECT_STREQ("False", def.GetOutcomesNames()->Get(1));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.AddOutcome("Maybe"));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.RenameOutcome(0, "Yes"));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.RemoveOutcome(0));
  const std::vector<double> items = Items(def.GetExpandedDefinition());
  EXPECT_EQ(3, def.GetExpandedDefinition()->GetDimensionCount());
  ASSERT_EQ(8u, items.size());
  for (size_t c = 0; c < 8; c += 2) EXPECT_DOUBLE_EQ(1.0, items[c] + items[c + 1]);
  EXPECT_DOUBLE_EQ(0.5, items[0]);
  EXPECT_EQ(4, def.columns);
  (void)def.GetExpandedDefinition();
  EXPECT_EQ(4, def.columns);
  VRN_matrix* parameters = nullptr;
  (void)def.GetDefinition(&parameters);  // hands out, changes nothing
  (void)def.GetExpandedDefinition();
  EXPECT_EQ(8, def.columns);
  EXPECT_EQ(qelta::kErrOutOfRange, def.GetParentIndexInvalidate(2));
  EXPECT_TRUE(def.IsCptValid());
  EXPECT_EQ(1, def.GetParentIndexInvalidate(1));
  EXPECT_FALSE(def.IsCptValid());
}

TEST(QualDefTest, RecordsAndCopies) {
  TwoParents t;
  // A three-outcome record still gives "True" and "False".
  ASSERT_EQ(0, t.net.GetNode(2)->Definition()->SetNumberOfOutcomes(3));
  VRN_discreteInfo info(&t.net, 2);
  ASSERT_EQ(0, t.net.GetNode(2)->Definition()->GetDiscreteInfo(&info));
  CountingQual from(info);
  EXPECT_EQ(2, from.GetNumberOfOutcomes());
  CountingQual same(&t.net, 2), smaller(&t.net, 0);
  OtherQual other(&t.net, 2);
  const_cast<VRN_matrix*>(from.GetExpandedDefinition())->GetItems()[0] = 0.75;
  for (VRN_lazyDef* target : {static_cast<VRN_lazyDef*>(&same),
                              static_cast<VRN_lazyDef*>(&smaller),
                              static_cast<VRN_lazyDef*>(&other)}) {
    (void)target->GetExpandedDefinition();
    from.CopyParameters(target);
  }
  EXPECT_EQ(0.75, same.GetExpandedDefinition()->GetItem(0));
  EXPECT_EQ(0.5, other.GetExpandedDefinition()->GetItem(0));
  EXPECT_EQ(2, smaller.GetExpandedDefinition()->GetItemCount());
}

// ---- Copies between canonical nodes: CopyParametersFrom copies from the
// definition it is called on into its argument.

VRN_nodeDef* DefOf(VRN_network& net, const char* id) {
  return net.GetNode(net.FindNode(id))->Definition();
}

std::string Save(VRN_network& net) {
  std::string text;
  EXPECT_EQ(0, net.WriteString(text, 0));
  return text;
}

// A child of `type` with `own` outcomes under new roots of those counts.
template <typename T>
T* AddFamily(VRN_network* net, int type, int own, std::vector<int> counts) {
  const int child = net->AddNode(type, nullptr);
  EXPECT_EQ(0, net->GetNode(child)->Definition()->SetNumberOfOutcomes(own));
  for (int count : counts) {
    const int h = net->AddNode(kDefCpt, nullptr);
    EXPECT_EQ(0, net->GetNode(h)->Definition()->SetNumberOfOutcomes(count));
    EXPECT_EQ(0, net->AddArc(h, child));
  }
  return static_cast<T*>(net->GetNode(child)->Definition());
}

// Equal parameter dimensions over parents of other outcome counts leave
// the target as it was; parents of the same counts take everything.
TEST(CanonicalCopyTest, OtherParentCountsLeaveTheTargetAsItWas) {
  VRN_network net;
  auto* m1 = AddFamily<VRN_noisyMAX>(&net, kDefNoisyMax, 3, {4, 4});
  auto* m2 = AddFamily<VRN_noisyMAX>(&net, kDefNoisyMax, 3, {5, 3});
  auto* m3 = AddFamily<VRN_noisyMAX>(&net, kDefNoisyMax, 3, {4, 4});
  auto* s1 = AddFamily<VRN_noisyAdder>(&net, kDefNoisyAdder, 2, {3, 2});
  auto* s2 = AddFamily<VRN_noisyAdder>(&net, kDefNoisyAdder, 2, {2, 3});
  ASSERT_EQ(27, m2->Parameters().GetItemCount());
  VRN_randomGenerator generator(11);
  for (VRN_ciDef* d : std::vector<VRN_ciDef*>{m2, m3, s2}) {
    ASSERT_EQ(0, d->MakeRandom(generator));
  }
  ASSERT_EQ(0, m3->SetParentOutcomeStrengths(1, IntArray({3, 1, 0, 2})));
  ASSERT_EQ(0, s2->SetParentDistinguishedState(1, 1));
  ASSERT_EQ(0, s2->SetFunction(VRN_noisyAdder::kSingleFault));
  const std::vector<double> table = Items(m1->GetExpandedDefinition());
  const std::string before = Save(net);
  m2->CopyParametersFrom(m1);
  s2->CopyParametersFrom(s1);
  EXPECT_TRUE(before == Save(net)) << "a refused copy changed the save";
  EXPECT_EQ(table, Items(m1->GetExpandedDefinition()));

  m3->CopyParametersFrom(m1);
  EXPECT_EQ(Items(m3->GetMatrixConst()), Items(m1->GetMatrixConst()));
  EXPECT_EQ(m3->GetParentOutcomeStrengths(1), m1->GetParentOutcomeStrengths(1));
  const std::vector<double> copied = Items(m1->GetExpandedDefinition());
  EXPECT_EQ(Items(m3->GetExpandedDefinition()), copied);
  m1->InvalidateCpt();
  ExpectNear(copied, Items(m1->GetExpandedDefinition()));
}

// The copy is complete before the relevance walk or the automatic update
// reads the target: every valid value is that of the save read back.
TEST(CanonicalCopyTest, TargetTableAndBeliefsFollowTheWholeCopy) {
  const std::string data = QELTA_TEST_DATA;
  VRN_network kinds, adder, automatic;
  for (VRN_network* net : {&kinds, &automatic}) {
    ASSERT_EQ(0, net->ReadFile((data + "/vrn/kinds.vrn").c_str(), 0, 0));
    ASSERT_EQ(0, net->DeleteNode(net->FindNode("Q")));
  }
  ASSERT_EQ(0, adder.ReadFile((data + "/xml/canonical.xvrn").c_str(), 0, 0));
  ASSERT_EQ(0, adder.ClearAllTargets());
  ASSERT_EQ(0, adder.RemoveArc(adder.FindNode("A"), adder.FindNode("S")));
  ASSERT_EQ(0, automatic.SetAutoUpdate(true));
  auto value = [](VRN_network& net, const char* id) {
    return net.GetNode(net.FindNode(id))->Value();
  };
  ASSERT_EQ(0, value(kinds, "A")->SetEvidence(1));
  ASSERT_EQ(0, value(adder, "T")->SetEvidence(1));
  DefOf(kinds, "O")->CopyParametersFrom(DefOf(kinds, "M"));
  DefOf(adder, "S")->CopyParametersFrom(DefOf(adder, "T"));
  DefOf(automatic, "O")->CopyParametersFrom(DefOf(automatic, "M"));
  ASSERT_EQ(0, value(automatic, "A")->SetEvidence(2));
  ASSERT_EQ(0, kinds.UpdateBeliefs());
  ASSERT_EQ(0, adder.UpdateBeliefs());
  ExpectNear({0.5, 0.5}, Items(&value(kinds, "M")->GetValue()), 1e-9);
  ExpectNear({0.2, 0.8}, Items(&value(automatic, "M")->GetValue()), 1e-9);
  EXPECT_NEAR(0.586957, value(adder, "B")->GetValue().GetItem(0), 1e-6);
  bool skipped = false;
  for (VRN_network* net : {&kinds, &adder, &automatic}) {
    EXPECT_EQ("", qelta_test::StaleValue(*net, &skipped));
  }
  ASSERT_EQ(0, value(kinds, "A")->ClearEvidence());
  ASSERT_EQ(0, kinds.UpdateBeliefs());
  ExpectNear({0.49, 0.51}, Items(&value(kinds, "M")->GetValue()), 1e-9);
  EXPECT_EQ("", qelta_test::StaleValue(kinds, &skipped));
  EXPECT_FALSE(skipped);
}

}  // namespace
