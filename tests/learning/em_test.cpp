// EM parameter learning checked against a hand-computed case and against an
// EM written here by enumerating the joint of small random networks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "learning/naive_bayes.h"
#include "learning/noisy_decompose.h"
#include "learning/validator.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

using testnet::Outcomes;
using testnet::Val;

const char* LastMessage(VRN_network& net) {
  VRN_errorLog* log = net.ErrorLog();
  return log->GetMessage(log->GetNumberOfMessages() - 1);
}

std::vector<double> Params(VRN_network& net, int h) {
  const VRN_matrix& m = *net.GetNode(h)->Definition()->GetMatrixConst();
  return std::vector<double>(m.GetItems().Items(), m.GetItems().Items() + m.GetItemCount());
}

// Data set with one int column per node ("n" + handle); -1 is missing.
VRN_dataset MakeData(VRN_network& net, const std::vector<std::vector<int>>& rows,
                     std::vector<VRN_dataMatch>* matches) {
  VRN_dataset data;
  matches->clear();
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const int v = data.GetVariableCount();
    EXPECT_EQ(qelta::kOk, data.addIntVariable("c" + std::to_string(h), -1));
    matches->push_back({h, 0, v});
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    data.AddEmptyRecord();
    for (std::size_t v = 0; v < rows[r].size(); ++v) {
      if (rows[r][v] >= 0) data.SetInt(static_cast<int>(v), static_cast<int>(r), rows[r][v]);
    }
  }
  return data;
}

// EM by enumeration: the same start, prior weight, convergence test, pass
// cap and fixed columns as the engine. Writes the learned tables into net
// and the passes it ran into *passCount (when given).
double ReferenceEm(VRN_network& net, const std::vector<std::vector<int>>& rows,
                   const std::vector<bool>& learnable, double weight, double tolerance = 1e-4,
                   int maxPasses = 10000, int* passCount = nullptr) {
  const int n = net.GetSlotCount();
  std::vector<std::vector<double>> priors(n);
  for (int h = 0; h < n; ++h) priors[h] = Params(net, h);
  net.SetRelevanceReasoning(false);
  double current = 0.0;
  for (int pass = 1;; ++pass) {
    const double previous = current;
    current = 0.0;
    std::vector<std::vector<double>> counts(n);
    for (int h = 0; h < n; ++h) counts[h].assign(priors[h].size(), 0.0);
    for (const auto& row : rows) {
      (void)net.ClearAllEvidence();
      for (int h = 0; h < n; ++h) {
        if (row[h] >= 0) {
          EXPECT_EQ(qelta::kOk, Val(net, h)->SetEvidence(row[h]));
        }
      }
      const testnet::Enumeration e = testnet::Enumerate(net);
      current += std::log(e.z);
      for (int h = 0; h < n; ++h) {
        for (std::size_t i = 0; i < counts[h].size(); ++i) counts[h][i] += e.families[h][i] / e.z;
      }
    }
    (void)net.ClearAllEvidence();
    // The relative gain |L - L0| / |L| below the tolerance, L0 and L negative.
    bool converged = rows.empty() || current == 0.0 || pass == maxPasses ||
                     (previous != 0.0 && (previous >= current ||
                                          (current - previous) / -current < tolerance));
    if (passCount != nullptr) *passCount = pass;
    for (int h = 0; h < n; ++h) {
      if (!learnable[h]) continue;
      const auto& props = net.GetNode(h)->UserProperties();
      const int property = props.FindProperty("VRN_NOLEARN");
      const std::string fixedText = property >= 0 ? props.GetPropertyValue(property) : "";
      const bool all = fixedText == "ALL";
      std::vector<bool> fixedColumn(priors[h].size(), false);
      for (std::size_t at = 0; !all && property >= 0 && at < fixedText.size();) {
        const std::size_t end = std::min(fixedText.find_first_of(" ,;", at), fixedText.size());
        const int column = std::atoi(fixedText.substr(at, end - at).c_str());
        if (end > at && column >= 0 && static_cast<std::size_t>(column) < fixedColumn.size()) {
          fixedColumn[column] = true;
        }
        at = end + 1;
      }
      const int k = Outcomes(net, h);
      std::vector<double> t(priors[h].size());
      for (std::size_t i = 0; i < t.size(); ++i) t[i] = weight * priors[h][i] + counts[h][i];
      for (std::size_t c = 0; c < t.size(); c += k) {
        double sum = 0.0;
        for (int j = 0; j < k; ++j) sum += t[c + j];
        for (int j = 0; j < k; ++j) {
          t[c + j] = sum == 0.0 || all || fixedColumn[c / k] ? priors[h][c + j] : t[c + j] / sum;
        }
      }
      EXPECT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetDefinitionFromVector(t));
    }
    if (converged) return current;
  }
}

TEST(EmTest, HandComputedCase) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  const int c = net.AddNode(qelta::kDefCpt, "C");
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, c));
  std::vector<VRN_dataMatch> matches;
  const VRN_dataset data = MakeData(
      net,
      {{0, 0, 0}, {0, 0, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, 0, 0}, {1, 1, 0}, {0, -1, 0}, {1, 1, -1}},
      &matches);
  VRN_em em;
  em.SetUniformizeParameters(true);
  double score = 0.0;
  ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, {}, &score, nullptr));
  EXPECT_NEAR(-10.566973962127, score, 1e-9);
  EXPECT_NEAR(0.500802405877, Params(net, a)[0], 1e-9);
  EXPECT_NEAR(0.855650189367, Params(net, b)[0], 1e-9);
  EXPECT_NEAR(0.114396508605, Params(net, b)[2], 1e-9);
  EXPECT_NEAR(0.684779669554, Params(net, c)[0], 1e-9);
  EXPECT_NEAR(0.393511589671, Params(net, c)[2], 1e-9);
}

void RecordPass(double value, void* context) {
  static_cast<std::vector<double>*>(context)->push_back(value);
}

TEST(EmTest, EqualsEnumerationOnRandomNetworks) {
  std::mt19937 rng(2801);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> passes;
  qelta::SetEmPassObserver(&RecordPass, &passes);
  int learned = 0;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    VRN_network net;
    testnet::MakeRandomNetwork(rng, net, {8, 3, 1 << 12, 0.15});
    if (HasFatalFailure()) return;
    (void)net.ClearAllEvidence();
    const int n = net.GetSlotCount();
    // Every fourth round one node becomes a fixed noisy-adder or truth
    // table, which the reference holds as a fixed CPT of its expanded table.
    const int canonical = round % 4 == 3 ? static_cast<int>(rng() % n) : -1;
    if (canonical >= 0) {
      VRN_node* node = net.GetNode(canonical);
      ASSERT_EQ(qelta::kOk,
                node->setNodeType(round % 8 == 3 ? qelta::kDefNoisyAdder : qelta::kDefTruthTable));
      VRN_randomGenerator generator(round);
      ASSERT_EQ(qelta::kOk, node->Definition()->MakeRandom(generator));
    }
    // Records sampled from the network, a fifth of the cells missing.
    std::vector<std::vector<int>> rows(10 + rng() % 25, std::vector<int>(n));
    const VRN_intArray order = net.PartialOrder();
    for (auto& row : rows) {
      for (int h : order) {
        const VRN_matrix& t = *net.GetNode(h)->Definition()->GetExpandedDefinition();
        int cell = 0;
        const VRN_intArray& parents = net.GetNode(h)->Parents();
        for (int i = 0; i < parents.GetSize(); ++i) cell += row[parents[i]] * t.GetStrides()[i];
        double u = unit(rng);
        int k = 0;
        while (k + 1 < Outcomes(net, h) && (u -= t.GetItem(cell + k)) > 0.0) ++k;
        while (t.GetItem(cell + k) == 0.0) --k;  // rounding at the end
        row[h] = k;
      }
    }
    for (auto& row : rows) {
      for (int& v : row) v = unit(rng) < 0.2 ? -1 : v;
    }
    VRN_em em;
    em.randomizeParameters = false;
    em.relevance = round % 2 == 0;
    const int start = round % 3;  // uniform, own tables, own tables with weight 0
    if (start == 0) em.SetUniformizeParameters(true);
    if (start == 1) em.eqSampleSize = 2.5f;
    // Stopping options: a finer and a coarser tolerance, caps of 1 and 2,
    // else the defaults.
    const int stop = round % 7;
    const double tolerance = stop == 0 || stop == 3 ? 1e-7 : stop == 1 ? 0.05 : 1e-4;
    const int cap = stop == 2 ? 1 : stop == 3 ? 2 : 10000;
    ASSERT_EQ(qelta::kOk, em.SetTolerance(tolerance));
    if (cap < 10000) {
      ASSERT_EQ(qelta::kOk, em.SetMaxPasses(cap));
    }
    std::vector<int> fixed;
    std::vector<bool> learnable(n, true);
    if (n > 1 && round % 4 == 1) fixed.push_back(static_cast<int>(rng() % n));
    if (canonical >= 0) fixed.push_back(canonical);
    for (int h : fixed) learnable[h] = false;
    if (round % 5 == 2) net.GetNode(0)->UserProperties().AddProperty("VRN_NOLEARN", "ALL");
    VRN_network reference(net);
    if (canonical >= 0) {
      ASSERT_EQ(qelta::kOk, reference.GetNode(canonical)->setNodeType(qelta::kDefCpt));
      ASSERT_EQ(qelta::kOk, reference.GetNode(canonical)->Definition()->SetDefinitionFromMatrix(
                                *net.GetNode(canonical)->Definition()->GetExpandedDefinition()));
    }
    if (start == 0) {
      std::vector<int> list;
      for (int h = 0; h < n; ++h) {
        if (learnable[h]) list.push_back(h);
      }
      (void)reference.UniformizeParameters(fixed.empty() ? nullptr : &list);
    }
    std::vector<VRN_dataMatch> matches;
    const VRN_dataset data = MakeData(net, rows, &matches);
    double score = 0.0;
    passes.clear();
    ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, fixed, &score, nullptr));
    int passCount = 0;
    const double expected =
        ReferenceEm(reference, rows, learnable, em.eqSampleSize, tolerance, cap, &passCount);
    EXPECT_NEAR(expected, score, 1e-9 * std::max(1.0, std::fabs(expected)));
    bool counted = fixed.empty();  // complete data over CPTs are counted, in no pass
    for (const auto& row : rows) counted = counted && std::count(row.begin(), row.end(), -1) == 0;
    EXPECT_EQ(counted ? 0 : passCount, em.GetPassCount());
    for (int h = 0; h < n; ++h) {
      if (h == canonical) continue;
      const std::vector<double> want = Params(reference, h), got = Params(net, h);
      for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], 1e-9) << h;
    }
    if (start == 2) {
      for (std::size_t i = 1; i < passes.size(); ++i) {
        EXPECT_GE(passes[i], passes[i - 1] - 1e-9 * std::fabs(passes[i - 1]));
      }
    }
    ++learned;
  }
  qelta::SetEmPassObserver(nullptr, nullptr);
  EXPECT_EQ(100, learned);
}

TEST(EmTest, NaiveBayesWithMissingValuesRunsEmFromUniform) {
  const std::vector<std::vector<int>> rows = {
      {0, 0, 1}, {1, -1, 0}, {0, 1, 1}, {1, 1, -1}, {-1, 0, 0}, {0, 0, 1}};
  VRN_dataset data;
  for (const char* id : {"K", "F", "G"}) ASSERT_EQ(qelta::kOk, data.addIntVariable(id, -1));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    data.AddEmptyRecord();
    for (int v = 0; v < 3; ++v) {
      if (rows[r][v] >= 0) data.SetInt(v, static_cast<int>(r), rows[r][v]);
    }
  }
  VRN_naiveBayes nb;
  nb.classVariableId = "K";
  VRN_network net;
  double score = 0.0;
  ASSERT_EQ(qelta::kOk, nb.Learn(data, net, nullptr, &score));
  VRN_network reference(net);
  ASSERT_EQ(qelta::kOk, reference.UniformizeParameters(nullptr));
  const double expected = ReferenceEm(reference, rows, {true, true, true}, 1.0);
  EXPECT_NEAR(expected, score, 1e-9);
  for (int h = 0; h < 3; ++h) {
    const std::vector<double> want = Params(reference, h), got = Params(net, h);
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], 1e-9);
  }
}

// X0 (3 outcomes), X1 (2) -> Y noisy-MAX (3) with random parameters and
// strength orders.
void MakeNoisyMax(std::mt19937& rng, VRN_network& net) {
  std::uniform_real_distribution<double> unit(0.05, 1.0);
  ASSERT_EQ(0, net.AddNode(qelta::kDefCpt, "X0"));
  ASSERT_EQ(1, net.AddNode(qelta::kDefCpt, "X1"));
  ASSERT_EQ(2, net.AddNode(qelta::kDefNoisyMax, "Y"));
  ASSERT_EQ(qelta::kOk, net.GetNode(0)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.GetNode(2)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.AddArc(0, 2));
  ASSERT_EQ(qelta::kOk, net.AddArc(1, 2));
  ASSERT_EQ(qelta::kOk, net.GetNode(0)->Definition()->SetDefinitionFromVector({0.5, 0.3, 0.2}));
  ASSERT_EQ(qelta::kOk, net.GetNode(1)->Definition()->SetDefinitionFromVector({0.35, 0.65}));
  auto* y = static_cast<VRN_noisyMAX*>(net.GetNode(2)->Definition());
  for (int i = 0; i < 2; ++i) {
    VRN_intArray order(y->GetParentOutcomeCount(i));
    for (int j = 0; j < order.GetSize(); ++j) order[j] = j;
    std::shuffle(order.Items(), order.Items() + order.GetSize(), rng);
    ASSERT_EQ(qelta::kOk, y->SetParentOutcomeStrengths(i, order));
  }
  VRN_matrix p = y->Parameters();
  for (int c = 0; c < p.GetSize(0); ++c) {
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) sum += *p.ItemAddress(c * 3 + k) = unit(rng);
    for (int k = 0; k < 3; ++k) *p.ItemAddress(c * 3 + k) /= sum;
  }
  ASSERT_EQ(qelta::kOk, y->SetParameters(p));
  y->SetConstrainedColumns();
}

std::vector<double> NoisyParams(VRN_network& net) {
  const VRN_matrix& m = static_cast<VRN_noisyMAX*>(net.GetNode(2)->Definition())->Parameters();
  return std::vector<double>(m.GetItems().Items(), m.GetItems().Items() + m.GetItemCount());
}

TEST(EmTest, NoisyMaxDecompositionFoldsBackAndLearns) {
  std::mt19937 rng(131);
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    VRN_network net;
    MakeNoisyMax(rng, net);
    if (HasFatalFailure()) return;
    const auto* y = static_cast<VRN_noisyMAX*>(net.GetNode(2)->Definition());
    VRN_network copy(net);
    VRN_noisyMaxDecomposition d;
    ASSERT_TRUE(DecomposeNoisyMax(copy, 2, &d));
    EXPECT_EQ(qelta::kDefCpt, copy.GetNode(2)->Definition()->GetType());
    EXPECT_EQ(7, copy.GetNumberOfNodes());
    ASSERT_TRUE(RecomposeNoisyMax(copy, d));
    EXPECT_EQ(3, copy.GetNumberOfNodes());
    EXPECT_EQ(NoisyParams(net), NoisyParams(copy));
    const auto* back = static_cast<VRN_noisyMAX*>(copy.GetNode(2)->Definition());
    for (int i = 0; i < 2; ++i) {
      const VRN_intArray& a = y->GetParentOutcomeStrengths(i);
      const VRN_intArray& b = back->GetParentOutcomeStrengths(i);
      EXPECT_TRUE(std::equal(a.Items(), a.Items() + a.GetSize(), b.Items()));
    }
    // EM on the noisy-MAX network equals the enumeration EM on its
    // decomposition, folded.
    std::vector<std::vector<int>> rows;
    for (int r = 0; r < 12; ++r) {
      rows.push_back({static_cast<int>(rng() % 4) - 1, static_cast<int>(rng() % 3) - 1,
                      static_cast<int>(rng() % 4) - 1});
    }
    VRN_network reference(net);
    VRN_noisyMaxDecomposition rd;
    ASSERT_TRUE(DecomposeNoisyMax(reference, 2, &rd));
    std::vector<std::vector<int>> wide = rows;
    for (auto& row : wide) row.resize(reference.GetSlotCount(), -1);
    (void)ReferenceEm(reference, wide, std::vector<bool>(reference.GetSlotCount(), true), 1.0);
    ASSERT_TRUE(RecomposeNoisyMax(reference, rd));
    std::vector<VRN_dataMatch> matches;
    const VRN_dataset data = MakeData(net, rows, &matches);
    VRN_em em;
    em.randomizeParameters = false;
    em.eqSampleSize = 1.0f;
    ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, {}, nullptr, nullptr));
    const std::vector<double> want = NoisyParams(reference), got = NoisyParams(net);
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], 1e-9) << i;
  }
}

TEST(EmTest, RandomStartHasNoPriorWeight) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  std::vector<VRN_dataMatch> matches;
  const VRN_dataset data = MakeData(net, {{0, 0}, {0, 1}, {0, 1}, {1, 1}}, &matches);
  VRN_em em;  // randomize on: no prior weight
  ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, {}, nullptr, nullptr));
  EXPECT_NEAR(0.75, Params(net, a)[0], 1e-12);
  EXPECT_NEAR(1.0 / 3, Params(net, b)[0], 1e-12);
  // Fixed nodes and weight 0 from the own tables are compared with the
  // enumeration above.
}

// A fixed noisy-adder (two parents, then one) never changes, and the others
// learn, in EM and in cross-validation, as beside a fixed CPT of its table.
TEST(EmTest, FixedNoisyAdderLearnsAsItsExpandedTable) {
  for (int parents : {2, 1}) {
    SCOPED_TRACE(parents);
    VRN_network net;
    const int a = net.AddNode(qelta::kDefCpt, "A"), c = net.AddNode(qelta::kDefCpt, "C");
    const int s = net.AddNode(qelta::kDefNoisyAdder, "S"), b = net.AddNode(qelta::kDefCpt, "B");
    for (int p = 0; p < parents; ++p) ASSERT_EQ(qelta::kOk, net.AddArc(p == 0 ? a : c, s));
    ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
    VRN_randomGenerator generator(parents);
    ASSERT_EQ(qelta::kOk, net.GetNode(s)->Definition()->MakeRandom(generator));
    VRN_network twin(net);
    ASSERT_EQ(qelta::kOk, twin.GetNode(s)->setNodeType(qelta::kDefCpt));
    ASSERT_EQ(qelta::kOk, twin.GetNode(s)->Definition()->SetDefinitionFromMatrix(
                              *net.GetNode(s)->Definition()->GetExpandedDefinition()));
    std::vector<VRN_dataMatch> matches;
    VRN_dataset data = MakeData(
        net, {{0, 0, 0, 0}, {0, 1, 1, 1}, {1, 0, 0, 1}, {1, 1, 1, 0}, {0, 0, 1, 0}, {1, 1, 0, 1}},
        &matches);
    VRN_em em;
    em.randomizeParameters = false;
    em.relevance = true;
    const std::vector<double> before = Params(net, s);
    ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, {s}, nullptr, nullptr)) << LastMessage(net);
    ASSERT_EQ(qelta::kOk, em.Learn(data, twin, matches, {s}, nullptr, nullptr));
    EXPECT_EQ(before, Params(net, s));
    for (int h : {a, b, c}) {
      const std::vector<double> want = Params(twin, h), got = Params(net, h);
      for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], 1e-12) << h;
    }
    std::vector<std::vector<int>> confusion[2];
    for (int k = 0; k < 2; ++k) {
      VRN_validator v(&data, k == 0 ? &net : &twin, matches, {s});
      ASSERT_EQ(qelta::kOk, v.AddClassNode(b));
      ASSERT_EQ(qelta::kOk, v.KFold(em, 3, -1, nullptr));
      ASSERT_EQ(qelta::kOk, v.GetConfusionMatrix(b, &confusion[k]));
    }
    EXPECT_EQ(confusion[1], confusion[0]);
  }
}

// Six binary nodes, A -> B, A -> C, B -> D, C -> D, D -> E, A -> F, and 24
// records whose missing values are closed under descendants (a node is
// observed only beside its parents); the first eight are complete and see
// every parent configuration. The likelihood then factorises over the
// observed families, so EM's fixed point is each family's relative
// frequency over the records that observe the node.
struct ClosedFormCase {
  VRN_network net;
  std::vector<std::vector<int>> rows;
  std::vector<VRN_dataMatch> matches;
  VRN_dataset data;

  ClosedFormCase() {
    for (const char* id : {"A", "B", "C", "D", "E", "F"}) (void)net.AddNode(qelta::kDefCpt, id);
    for (auto [p, c] : {std::pair{0, 1}, {0, 2}, {1, 3}, {2, 3}, {3, 4}, {0, 5}}) {
      EXPECT_EQ(qelta::kOk, net.AddArc(p, c));
    }
    std::mt19937 rng(97);
    for (int r = 0; r < 24; ++r) {
      std::vector<int> row(6);
      for (int h = 0; h < 6; ++h) row[h] = static_cast<int>(rng() % 2);
      if (r < 8) {
        row[0] = r & 1, row[1] = (r >> 1) & 1, row[2] = (r >> 2) & 1;
        row[3] = r % 3 == 0, row[5] = (r >> 1) & 1;
      }
      for (int h = 0; h < 6 && r >= 8; ++h) {
        bool parentMissing = false;
        for (int p : net.GetNode(h)->Parents()) parentMissing = parentMissing || row[p] < 0;
        if (parentMissing || rng() % 4 == 0) row[h] = -1;
      }
      rows.push_back(row);
    }
    data = MakeData(net, rows, &matches);
  }

  // The fixed point: per family, the relative frequencies of the node's
  // outcomes over the records observing it, by parent configuration.
  std::vector<double> ClosedForm(int h) {
    const VRN_intArray& parents = net.GetNode(h)->Parents();
    std::vector<double> counts(static_cast<std::size_t>(2) << parents.GetSize(), 0.0);
    for (const auto& row : rows) {
      if (row[h] < 0) continue;
      int cell = 0;
      for (int p : parents) cell = cell * 2 + row[p];
      counts[cell * 2 + row[h]] += 1.0;
    }
    for (std::size_t c = 0; c < counts.size(); c += 2) {
      const double sum = counts[c] + counts[c + 1];
      EXPECT_GT(sum, 0.0) << "node " << h << " column " << c / 2 << " never seen";
      counts[c] /= sum, counts[c + 1] /= sum;
    }
    return counts;
  }
};

TEST(EmTest, StopsCloserToAClosedFormAsTheToleranceShrinksAndAtItsCap) {
  std::vector<double> distances;
  for (double tolerance : {1e-4, 1e-8, 1e-12}) {
    ClosedFormCase c;
    VRN_em em;  // randomized start, no prior weight
    em.seed = 11;
    ASSERT_EQ(qelta::kOk, em.SetTolerance(tolerance));
    ASSERT_EQ(qelta::kOk, em.Learn(c.data, c.net, c.matches, {}, nullptr, nullptr));
    double distance = 0.0;
    for (int h = 0; h < 6; ++h) {
      const std::vector<double> want = c.ClosedForm(h), got = Params(c.net, h);
      for (std::size_t i = 0; i < want.size(); ++i) {
        distance = std::max(distance, std::fabs(want[i] - got[i]));
      }
    }
    std::printf("tolerance %g: %d passes, largest distance to the closed form %.3g\n", tolerance,
                em.GetPassCount(), distance);
    distances.push_back(distance);
  }
  EXPECT_GT(distances[0], distances[1]);
  EXPECT_GT(distances[1], distances[2]);
  EXPECT_LT(distances[2], 1e-6);
  // A cap of 1 from uniform tables scores them: 1/2 per observed value (the
  // tables of capped runs are compared with enumeration above).
  ClosedFormCase c;
  VRN_em em;
  em.SetUniformizeParameters(true);
  ASSERT_EQ(qelta::kOk, em.SetMaxPasses(1));
  double score = 0.0;
  ASSERT_EQ(qelta::kOk, em.Learn(c.data, c.net, c.matches, {}, &score, nullptr));
  EXPECT_EQ(1, em.GetPassCount());
  int observed = 0;
  for (const auto& row : c.rows) {
    observed += 6 - static_cast<int>(std::count(row.begin(), row.end(), -1));
  }
  EXPECT_NEAR(observed * std::log(0.5), score, 1e-12);

  // Roots each observed at its 0.1 outcome: with 400 a record's probability
  // (about 1e-400) lies far below the doubles, yet is no impossible record.
  // Each root's table is the counts' answer; the score sums ln P(e), with
  // C's factor where it is observed.
  for (int roots : {200, 400}) {
    SCOPED_TRACE(roots);
    VRN_network net;
    for (int i = 0; i < roots; ++i) {
      const int h = net.AddNode(qelta::kDefCpt, ("R" + std::to_string(i)).c_str());
      ASSERT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetDefinitionFromVector({0.1, 0.9}));
    }
    const int child = net.AddNode(qelta::kDefCpt, "C");
    ASSERT_EQ(qelta::kOk, net.AddArc(0, child));
    ASSERT_EQ(qelta::kOk, net.GetNode(child)->Definition()->SetDefinitionFromVector({0.3, 0.7, 0.6, 0.4}));
    std::vector<std::vector<int>> rows(50, std::vector<int>(roots + 1, 0));
    double want = 0.0;
    for (int r = 0; r < 50; ++r) {
      rows[r][child] = r % 2 == 0 ? -1 : r % 4 == 1 ? 0 : 1;
      want += roots * std::log(0.1) + (r % 2 == 0 ? 0.0 : std::log(r % 4 == 1 ? 0.3 : 0.7));
    }
    std::vector<VRN_dataMatch> matches;
    VRN_dataset data = MakeData(net, rows, &matches);
    VRN_em em;
    em.randomizeParameters = false;
    ASSERT_EQ(qelta::kOk, em.SetEqSampleSize(3.0f));
    ASSERT_EQ(qelta::kOk, em.SetMaxPasses(1));
    score = 0.0;
    ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, {}, &score, nullptr)) << LastMessage(net);
    EXPECT_NEAR(want, score, 1e-9 * std::fabs(want));
    const double root = (3.0 * 0.1 + 50.0) / 53.0;
    for (int h = 0; h < roots; ++h) {
      ASSERT_NEAR(root, Params(net, h)[0], 1e-12) << h;
      ASSERT_NEAR(1.0 - root, Params(net, h)[1], 1e-12) << h;
    }
    // Cross-validation relearns each fold so and predicts every observed C.
    VRN_validator v(&data, &net, matches, {});
    ASSERT_EQ(qelta::kOk, v.AddClassNode(child));
    ASSERT_EQ(qelta::kOk, v.KFold(em, 5, -1, nullptr)) << LastMessage(net);
    std::vector<std::vector<int>> confusion;
    ASSERT_EQ(qelta::kOk, v.GetConfusionMatrix(child, &confusion));
    EXPECT_EQ(25, confusion[0][0] + confusion[0][1] + confusion[1][0] + confusion[1][1]);
  }
}

TEST(EmTest, RefusalsLeaveTheNetwork) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  std::vector<VRN_dataMatch> matches;
  VRN_dataset data = MakeData(net, {{0}, {1}}, &matches);
  const std::vector<double> before = Params(net, a);
  VRN_em em;
  struct Case {
    std::vector<VRN_dataMatch> matches;
    std::vector<int> fixed;
    int code;
    const char* message;
  } cases[] = {
      {{}, {}, qelta::kErrNoItem, "EM: no matching between node and data were specified"},
      {matches, {a, 7}, qelta::kErrOutOfRange, "EM: Invalid fixed node handle at index 1"},
      {{{a, 0, 3}}, {}, qelta::kErrOutOfRange, "EM: invalid match at index 0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.code, em.Learn(data, net, c.matches, c.fixed, nullptr, nullptr));
    EXPECT_STREQ(c.message, LastMessage(net));
    EXPECT_EQ(before, Params(net, a));
  }
  // Data without any value teach nothing: under either start (counting for
  // no record, passes for blank ones) the table stays to the bit.
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.3, 0.7}));
  for (const std::vector<std::vector<int>>& rows : {std::vector<std::vector<int>>{}, {{-1}, {-1}}}) {
    std::vector<VRN_dataMatch> blankMatches;
    const VRN_dataset blank = MakeData(net, rows, &blankMatches);
    for (const bool uniform : {false, true}) {
      VRN_em start;
      start.SetUniformizeParameters(uniform);
      EXPECT_EQ(qelta::kErrOutOfRange, start.Learn(blank, net, blankMatches, {}, nullptr, nullptr));
      EXPECT_EQ("EM: no record of the data holds a value for a matched node (" +
                    std::to_string(rows.size()) + " records): nothing to learn from",
                std::string(LastMessage(net)));
      EXPECT_EQ(std::vector<double>({0.3, 0.7}), Params(net, a));
    }
  }
  // An equation node, fixed or not, is a continuous item among discrete
  // ones: refused, the reason logged once per call.
  const int e = net.AddNode(qelta::kDefEquation, "E");
  net.ErrorLog()->Flush();
  for (int call = 1; call <= 2; ++call) {
    EXPECT_EQ(qelta::kErrInvalidValue, em.Learn(data, net, matches, {e}, nullptr, nullptr));
    ASSERT_EQ(call, net.ErrorLog()->GetNumberOfMessages());
    EXPECT_STREQ("EM: unsupported mix of discrete and continuous items in network and/or dataset",
                 LastMessage(net));
  }
  ASSERT_EQ(qelta::kOk, net.DeleteNode(e));
  // A prior weight that is no count of records is refused; tiny and huge ones are kept.
  em.randomizeParameters = false;
  for (float size : {-1.0f, INFINITY, NAN, 1.4e-45f, FLT_MAX, 0.0f}) {
    const bool count = size >= 0.0f && std::isfinite(size);
    EXPECT_EQ(count ? qelta::kOk : qelta::kErrOutOfRange, em.SetEqSampleSize(size)) << size;
    EXPECT_EQ(count ? size : 0.0f, em.GetEqSampleSize()) << size;
  }
  // So are a tolerance that is no finite share and a cap of no pass.
  for (double tolerance : {-1e-9, HUGE_VAL, std::nan("")}) {
    EXPECT_EQ(qelta::kErrOutOfRange, em.SetTolerance(tolerance));
  }
  EXPECT_EQ(1e-4, em.GetTolerance());
  for (int cap : {0, -1}) EXPECT_EQ(qelta::kErrOutOfRange, em.SetMaxPasses(cap));
  EXPECT_EQ(VRN_em::kNoPassCap, em.GetMaxPasses());
  // A record the fixed table makes impossible ends the run.
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({1.0, 0.0}));
  const int b = net.AddNode(qelta::kDefCpt, "B");
  ASSERT_EQ(qelta::kOk, net.AddArc(a, b));
  data = MakeData(net, {{0, 0}, {1, -1}}, &matches);
  EXPECT_EQ(qelta::kErrOutOfMemory, em.Learn(data, net, matches, {a}, nullptr, nullptr));
  EXPECT_STREQ("EM: the data of record 2 are impossible or their probability cannot be computed",
               LastMessage(net));
}

}  // namespace
