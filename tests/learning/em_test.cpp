// EM parameter learning checked against a hand-computed case and against an
// EM written here by enumerating the joint of small random networks.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "learning/naive_bayes.h"
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

// EM by enumeration: the same start, prior weight, convergence test and
// fixed columns as the engine. Writes the learned tables into net.
double ReferenceEm(VRN_network& net, const std::vector<std::vector<int>>& rows,
                   const std::vector<bool>& learnable, double weight) {
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
    bool converged = rows.empty() || current == 0.0 ||
                     (previous != 0.0 && (previous >= current || previous / current < 1.0001));
    for (int h = 0; h < n; ++h) {
      if (!learnable[h]) continue;
      const auto& props = net.GetNode(h)->UserProperties();
      const bool all = props.FindProperty("VRN_NOLEARN") >= 0;  // tests use "ALL" only
      const int k = Outcomes(net, h);
      std::vector<double> t(priors[h].size());
      for (std::size_t i = 0; i < t.size(); ++i) t[i] = weight * priors[h][i] + counts[h][i];
      for (std::size_t c = 0; c < t.size(); c += k) {
        double sum = 0.0;
        for (int j = 0; j < k; ++j) sum += t[c + j];
        for (int j = 0; j < k; ++j) {
          t[c + j] = sum == 0.0 || all ? priors[h][c + j] : t[c + j] / sum;
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
    // Records sampled from the network, a fifth of the cells missing.
    std::vector<std::vector<int>> rows(10 + rng() % 25, std::vector<int>(n));
    const VRN_intArray order = net.PartialOrder();
    for (auto& row : rows) {
      for (int h : order) {
        const VRN_matrix& t = *net.GetNode(h)->Definition()->GetMatrixConst();
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
    std::vector<int> fixed;
    std::vector<bool> learnable(n, true);
    if (n > 1 && round % 4 == 1) {
      fixed.push_back(static_cast<int>(rng() % n));
      learnable[fixed[0]] = false;
    }
    if (round % 5 == 2) net.GetNode(0)->UserProperties().AddProperty("VRN_NOLEARN", "ALL");
    VRN_network reference(net);
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
    const double expected = ReferenceEm(reference, rows, learnable, em.eqSampleSize);
    EXPECT_NEAR(expected, score, 1e-9 * std::max(1.0, std::fabs(expected)));
    for (int h = 0; h < n; ++h) {
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

TEST(EmTest, CountingAndRelativeFrequencies) {
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
  // A fixed root: EM with weight 0 gives the learnable column frequencies
  // and leaves the fixed table alone.
  ASSERT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.4, 0.6}));
  VRN_em plain;
  plain.randomizeParameters = false;
  ASSERT_EQ(qelta::kOk, plain.Learn(data, net, matches, {a}, nullptr, nullptr));
  EXPECT_EQ(0.4, Params(net, a)[0]);
  EXPECT_NEAR(1.0 / 3, Params(net, b)[0], 1e-12);
  EXPECT_NEAR(0.0, Params(net, b)[2], 1e-12);
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
