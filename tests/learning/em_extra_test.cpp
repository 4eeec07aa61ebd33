// EM beyond static CPT networks: dynamic networks (complete sequences give
// each slice family's counts in the definition its slice uses, incomplete
// ones recover the generating parameters), least squares on networks of
// equation nodes, and the ladder form of the noisy-MAX decomposition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/noisy_max.h"
#include "equations/equation.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "learning/noisy_decompose.h"
#include "network/network.h"
#include "network/node.h"
#include "test_networks.h"

namespace {

const char* LastMessage(VRN_network& net) {
  VRN_errorLog* log = net.ErrorLog();
  return log->GetMessage(log->GetNumberOfMessages() - 1);
}

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().Items(), m.GetItems().Items() + m.GetItemCount());
}

// ------------------------------------------------------------ dynamic
using Tables = std::vector<std::vector<double>>;  // P(X0), P(Xt | Xt-1), P(Y | X)
const Tables kTruth = {{0.3, 0.7}, {0.85, 0.15, 0.25, 0.75}, {0.9, 0.1, 0.2, 0.8}};

// Binary plate nodes X -> Y, X -> X of order 1, three slices; columns
// X0 Y0 X1 Y1 X2 Y2 sampled from kTruth, matched to the slices.
struct Chain {
  Chain(std::mt19937& rng, int count, double missing) {
    for (const char* id : {"X", "Y"}) EXPECT_EQ(qelta::kOk, net.setNodeTemporalType(net.AddNode(18, id), 3));
    EXPECT_EQ(qelta::kOk, net.AddArc(0, 1));
    EXPECT_EQ(qelta::kOk, net.AddTemporalArc(0, 0, 1));
    EXPECT_EQ(qelta::kOk, net.SetNumberOfSlices(3));
    for (int v = 0; v < 6; ++v) {
      EXPECT_EQ(qelta::kOk, data.addIntVariable(std::to_string(v), -1));
      matches.push_back({v % 2, v / 2, v});
    }
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    rows.assign(count, std::vector<int>(6));
    for (int r = 0; r < count; ++r) {
      std::vector<int>& row = rows[r];
      for (int s = 0; s < 3; ++s) {
        row[2 * s] = unit(rng) < (s == 0 ? kTruth[0][0] : kTruth[1][2 * row[2 * s - 2]]) ? 0 : 1;
        row[2 * s + 1] = unit(rng) < kTruth[2][2 * row[2 * s]] ? 0 : 1;
      }
      for (int& v : row) v = unit(rng) < missing ? -1 : v;
      // Every third complete sequence ends after two slices.
      if (missing == 0.0 && r % 3 == 0) row[4] = row[5] = -1;
      data.AddEmptyRecord();
      for (int v = 0; v < 6; ++v) data.SetInt(v, r, row[v]);
    }
  }
  Tables Params() {
    const VRN_nodeDef* x = net.GetNode(0)->Definition();
    return {Items(*x->GetMatrixConst()), Items(*x->GetTemporalMatrix(1)),
            Items(*net.GetNode(1)->Definition()->GetMatrixConst())};
  }
  VRN_network net;
  VRN_dataset data;
  std::vector<VRN_dataMatch> matches;
  std::vector<std::vector<int>> rows;
};

TEST(EmDynamicTest, LearnsSliceFamiliesFromSequences) {
  std::mt19937 rng(28);
  for (double missing : {0.0, 0.3}) {
    SCOPED_TRACE(missing);
    Chain c(rng, missing == 0.0 ? 300 : 1500, missing);
    Tables want = kTruth;
    double tolerance = 0.05;
    if (missing == 0.0) {  // weight 0: the slice families' frequencies
      want = {{0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
      for (const auto& row : c.rows) {
        want[0][row[0]] += 1;
        for (int s = 0; s < 3 && row[2 * s] >= 0; ++s) {
          want[2][2 * row[2 * s] + row[2 * s + 1]] += 1;
          if (s > 0) want[1][2 * row[2 * s - 2] + row[2 * s]] += 1;
        }
      }
      for (auto& t : want) {
        for (std::size_t i = 0; i < t.size(); i += 2) t[i + 1] = 1.0 - (t[i] /= t[i] + t[i + 1]);
      }
      tolerance = 1e-12;
    }
    VRN_em em;
    em.randomizeParameters = missing > 0.0;
    em.seed = 5;
    em.relevance = missing > 0.0;
    ASSERT_EQ(qelta::kOk, em.Learn(c.data, c.net, c.matches, {}, nullptr, nullptr));
    const Tables got = c.Params();
    for (int k = 0; k < 3; ++k) {
      for (std::size_t i = 0; i < got[k].size(); ++i) EXPECT_NEAR(want[k][i], got[k][i], tolerance) << k << i;
    }
  }
}

// Records whose last slices are missing: with automatic slices each is a
// sequence up to its last slice with a value, the terminal node T below that
// slice; without, every record spans the network's three slices.
TEST(EmDynamicTest, RecordsEndingEarlyWithAndWithoutAutoSlices) {
  const char* records[] = {"0000", "01*1", "1111", "*0*0", "1**1", "001*", "10*1", "1100"};
  const struct {
    bool autoSlices;
    std::vector<double> t;
    double score;
  } cases[] = {{true, {0.75, 0.25, 1.2207031e-5, 0.99998779297}, -14.432410826},
               {false, {0.98669326227, 0.01330673773, 1.73e-7, 0.99999982702}, -14.739764380}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.autoSlices);
    VRN_network net;
    const int p = net.AddNode(qelta::kDefCpt, "P"), t = net.AddNode(qelta::kDefCpt, "T");
    ASSERT_EQ(qelta::kOk, net.setNodeTemporalType(p, 3));
    ASSERT_EQ(qelta::kOk, net.setNodeTemporalType(t, 2));
    ASSERT_EQ(qelta::kOk, net.AddArc(p, t));
    ASSERT_EQ(qelta::kOk, net.AddTemporalArc(p, p, 1));
    ASSERT_EQ(qelta::kOk, net.SetNumberOfSlices(3));
    ASSERT_EQ(qelta::kOk, net.GetNode(p)->Definition()->SetDefinitionFromVector({0.6, 0.4}));
    VRN_doubleArray transition;
    for (double x : {0.8, 0.2, 0.3, 0.7}) transition.Add(x);
    ASSERT_EQ(qelta::kOk, net.GetNode(p)->Definition()->SetTemporalDefinition(1, transition));
    ASSERT_EQ(qelta::kOk, net.GetNode(t)->Definition()->SetDefinitionFromVector({0.9, 0.1, 0.2, 0.8}));
    VRN_dataset data;
    std::vector<VRN_dataMatch> matches;
    for (int v = 0; v < 4; ++v) {
      ASSERT_EQ(qelta::kOk, data.addIntVariable(v < 3 ? "P" + std::to_string(v) : "T", -1));
      matches.push_back({v < 3 ? p : t, v < 3 ? v : 0, v});
    }
    for (int r = 0; r < 8; ++r) {
      data.AddEmptyRecord();
      for (int v = 0; v < 4; ++v) data.SetInt(v, r, records[r][v] == '*' ? -1 : records[r][v] - '0');
    }
    VRN_em em;
    em.randomizeParameters = false;
    em.autoSlices = c.autoSlices;
    double score = 0.0;
    ASSERT_EQ(qelta::kOk, em.Learn(data, net, matches, {}, &score, nullptr));
    const std::vector<double> got = Items(*net.GetNode(t)->Definition()->GetMatrixConst());
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c.t[i], got[i], 1e-9) << i;
    EXPECT_NEAR(c.score, score, 1e-9);
  }
}

TEST(EmDynamicTest, RefusesAnchorParentsWithoutTemporalArcs) {
  std::mt19937 rng(1);
  Chain c(rng, 5, 0.0);
  const int a = c.net.AddNode(qelta::kDefCpt, "A");
  ASSERT_EQ(qelta::kOk, c.net.setNodeTemporalType(a, 1));
  ASSERT_EQ(qelta::kOk, c.net.AddArc(a, 1));
  const Tables before = c.Params();
  VRN_em em;
  EXPECT_EQ(qelta::kErrWrongNodeType, em.Learn(c.data, c.net, c.matches, {}, nullptr, nullptr));
  EXPECT_STREQ("EM: unsupported DBN structure; 'Y' has incoming arcs from anchor nodes, but no incoming temporal arcs",
               LastMessage(c.net));
  EXPECT_EQ(before, c.Params());
}

// ------------------------------------------------------- least squares
// Equation nodes U, V and Y = U + V; float columns U, V, Y.
struct Regression {
  Regression() {
    for (const char* text : {"U=Normal(0,1)", "V=Normal(0,1)", "Y=U+V"}) {
      const int h = net.AddNode(qelta::kDefEquation, std::string(text, 1).c_str());
      EXPECT_EQ(qelta::kOk, VRN_GetEquation(&net, h)->SetEquation(text, nullptr, nullptr));
      EXPECT_EQ(qelta::kOk, data.addFloatVariable(std::string(text, 1), NAN));
      matches.push_back({h, 0, h});
    }
  }
  void Add(double u, double v, double y) {
    data.AddEmptyRecord();
    for (int c = 0; c < 3; ++c) {
      data.SetFloat(c, data.GetNumberOfRecords() - 1, static_cast<float>(c == 0 ? u : c == 1 ? v : y));
    }
  }
  std::string Text(int h) {
    std::string text;
    VRN_GetEquation(&net, h)->GetEquationText(&text);
    return text;
  }
  VRN_network net;
  VRN_dataset data;
  std::vector<VRN_dataMatch> matches;
};

TEST(EmLeastSquaresTest, RecoversLinearGaussianCoefficients) {
  Regression g;
  std::mt19937 rng(7);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int r = 0; r < 400; ++r) {
    const double u = 2.0 + normal(rng), v = -1.0 + 2.0 * normal(rng);
    g.Add(u, v, 3.0 + 1.5 * u - 0.7 * v + 0.5 * normal(rng));
  }
  VRN_em em;
  double score = 1.0;
  ASSERT_EQ(qelta::kOk, em.Learn(g.data, g.net, g.matches, {1}, &score, nullptr));
  EXPECT_EQ(0.0, score);
  EXPECT_EQ("V=Normal(0,1)", g.Text(1));  // fixed
  // The whole text must have the form: %n lands at its end.
  const std::string y = g.Text(2), u = g.Text(0);
  double c[4], mean = 0.0, spread = 0.0;
  int end = 0;
  ASSERT_EQ(4, std::sscanf(y.c_str(), "Y=%lf*U-%lf*V+Normal(%lf,%lf)%n", &c[0], &c[1], &c[2], &c[3], &end)) << y;
  EXPECT_EQ(y.size(), static_cast<std::size_t>(end)) << y;
  const double b[3] = {c[2], c[0], -c[1]}, deviation = c[3];
  EXPECT_NEAR(1.5, b[1], 0.1);
  EXPECT_NEAR(-0.7, b[2], 0.1);
  ASSERT_EQ(2, std::sscanf(u.c_str(), "U=Normal(%lf,%lf)%n", &mean, &spread, &end)) << u;
  EXPECT_EQ(u.size(), static_cast<std::size_t>(end)) << u;
  // A least-squares fit leaves residuals orthogonal to 1, U and V.
  const int n = g.data.GetRecordCount();
  double ey[3] = {}, eu = 0.0, squares = 0.0, squaresU = 0.0;
  for (int r = 0; r < n; ++r) {
    const double x[3] = {1.0, g.data.GetFloat(0, r), g.data.GetFloat(1, r)};
    const double e = g.data.GetFloat(2, r) - b[0] - b[1] * x[1] - b[2] * x[2];
    for (int i = 0; i < 3; ++i) ey[i] += e * x[i];
    eu += x[1] - mean;
    squares += e * e;
    squaresU += (x[1] - mean) * (x[1] - mean);
  }
  for (double dot : {ey[0], ey[1], ey[2], eu}) EXPECT_NEAR(0.0, dot, 1e-9 * n);
  EXPECT_NEAR(std::sqrt(squares / (n - 1)), deviation, 1e-12);
  EXPECT_NEAR(std::sqrt(squaresU / (n - 1)), spread, 1e-12);
}

TEST(EmLeastSquaresTest, RefusalsChangeNothing) {
  const char* dependent = "EM: node 'Y' cannot be fitted: its parents' data are linearly dependent";
  const char* messages[] = {dependent, dependent, "EM: missing values not allowed for continuous case\n",
                            "EM: node 'Y' cannot be fitted: its parent 'V' needs exactly one matched column",
                            "EM: least squares needs at least two records"};
  // 0 V = 2U, 1 V constant, 2 a missing value, 3 V matched twice, 4 one record.
  for (int kind = 0; kind < 5; ++kind) {
    SCOPED_TRACE(kind);
    Regression g;
    for (int r = 0; r < (kind == 4 ? 1 : 20); ++r) {
      const double u = 0.37 * r - 1.0;
      g.Add(u, kind == 0 ? 2.0 * u : kind == 1 ? 4.0 : std::sin(r), u + r % 3);
    }
    if (kind == 2) g.data.SetMissing(1, 5);
    if (kind == 3) g.matches.push_back({1, 0, 0});
    VRN_em em;
    EXPECT_EQ(qelta::kErrInvalidValue, em.Learn(g.data, g.net, g.matches, {}, nullptr, nullptr));
    EXPECT_STREQ(messages[kind], LastMessage(g.net));
    EXPECT_EQ("U=Normal(0,1)", g.Text(0));
    EXPECT_EQ("Y=U+V", g.Text(2));
  }
}

// ------------------------------------------------------------- ladder
// X0 (3 outcomes), X1, X2 -> Y noisy-MAX (3 outcomes), random parameters
// and strength orders; Y is handle 3.
void MakeNoisyMax(int seed, VRN_network& net, const char* form) {
  std::mt19937 rng(seed);
  for (const char* id : {"X0", "X1", "X2"}) ASSERT_GE(net.AddNode(qelta::kDefCpt, id), 0);
  ASSERT_EQ(3, net.AddNode(qelta::kDefNoisyMax, "Y"));
  for (int h : {0, 3}) ASSERT_EQ(qelta::kOk, net.GetNode(h)->Definition()->SetNumberOfOutcomes(3));
  for (int p = 0; p < 3; ++p) ASSERT_EQ(qelta::kOk, net.AddArc(p, 3));
  auto* y = static_cast<VRN_noisyMAX*>(net.GetNode(3)->Definition());
  for (int i = 0; i < 3; ++i) {
    VRN_intArray order(y->GetParentOutcomeCount(i));
    for (int j = 0; j < order.GetSize(); ++j) order[j] = j;
    std::shuffle(order.Items(), order.Items() + order.GetSize(), rng);
    ASSERT_EQ(qelta::kOk, y->SetParentOutcomeStrengths(i, order));
  }
  VRN_randomGenerator generator(seed);
  ASSERT_EQ(qelta::kOk, y->MakeRandom(generator));
  if (form != nullptr) net.GetNode(3)->UserProperties().AddProperty("VRN_MAXDECOMP", form);
}

std::vector<double> NoisyParams(VRN_network& net) {
  return Items(static_cast<VRN_noisyMAX*>(net.GetNode(3)->Definition())->Parameters());
}

// "parents |VRN_NOLEARN|VRN_DECOMPTYPE" of a node ("-": no property).
std::string Describe(VRN_network& net, const char* id) {
  const VRN_node* node = net.GetNode(net.FindNode(id));
  if (node == nullptr) return "absent";
  std::string text;
  for (int p : node->Parents()) text += std::string(net.GetNode(p)->GetId()) + " ";
  for (const char* name : {"VRN_NOLEARN", "VRN_DECOMPTYPE"}) {
    const int i = node->UserProperties().FindProperty(name);
    text += std::string("|") + (i < 0 ? "-" : node->UserProperties().GetPropertyValue(i));
  }
  return text;
}

TEST(EmLadderTest, NodesDistributionAndFolding) {
  VRN_network net, ladder, lower;
  MakeNoisyMax(31, net, "LADDER");
  MakeNoisyMax(31, lower, "ladder");
  if (HasFatalFailure()) return;
  ladder = net;
  VRN_noisyMaxDecomposition d, e;
  ASSERT_TRUE(DecomposeNoisyMax(ladder, 3, &d));
  EXPECT_EQ(11, ladder.GetNumberOfNodes());
  const VRN_intArray& order = static_cast<VRN_noisyMAX*>(net.GetNode(3)->Definition())->GetParentOutcomeStrengths(1);
  const std::pair<const char*, std::string> nodes[] = {
      {"LEAK_PARENT_Y", "|ALL|-"},
      {"LEAK_CHILD_Y", "LEAK_PARENT_Y |1|LEAKCHILD"},
      {"INHIBITOR_Y_X1", "X1 |" + std::to_string(order[order.GetSize() - 1]) + "|INHIBITOR"},
      {"LADDER_Y_X0", "LEAK_CHILD_Y INHIBITOR_Y_X0 |ALL|LADDER"},
      {"LADDER_Y_X1", "LADDER_Y_X0 INHIBITOR_Y_X1 |ALL|LADDER"},
      {"LADDER_Y_X2", "absent"},
      {"Y", "LADDER_Y_X1 INHIBITOR_Y_X2 |ALL|ORIGMAX"},
  };
  for (const auto& [id, text] : nodes) EXPECT_EQ(text, Describe(ladder, id)) << id;
  ASSERT_TRUE(RecomposeNoisyMax(ladder, d));
  EXPECT_EQ(4, ladder.GetNumberOfNodes());
  EXPECT_EQ(NoisyParams(lower), NoisyParams(ladder));
  EXPECT_EQ("X0 X1 X2 |-|-", Describe(ladder, "Y"));
  // The word in lower case is the inhibitor form.
  ASSERT_TRUE(DecomposeNoisyMax(lower, 3, &e));
  EXPECT_EQ("INHIBITOR_Y_X0 INHIBITOR_Y_X1 INHIBITOR_Y_X2 LEAK_CHILD_Y |ALL|-", Describe(lower, "Y"));
}

TEST(EmLadderTest, LearnsAsInhibitorForm) {
  for (int seed = 100; seed < 103; ++seed) {
    VRN_network inhibitor, ladder;
    MakeNoisyMax(seed, inhibitor, nullptr);
    MakeNoisyMax(seed, ladder, "LADDER");
    if (HasFatalFailure()) return;
    std::mt19937 rng(seed);
    VRN_dataset data;
    std::vector<VRN_dataMatch> matches;
    for (int h = 0; h < 4; ++h) {
      ASSERT_EQ(qelta::kOk, data.addIntVariable(inhibitor.GetNode(h)->GetId(), -1));
      matches.push_back({h, 0, h});
    }
    for (int cell = 0; cell < 160; ++cell) {  // 40 complete records
      if (cell % 4 == 0) data.AddEmptyRecord();
      data.SetInt(cell % 4, cell / 4, static_cast<int>(rng() % testnet::Outcomes(inhibitor, cell % 4)));
    }
    VRN_em em;
    em.seed = 9;
    double a = 0.0, b = 1.0;
    ASSERT_EQ(qelta::kOk, em.Learn(data, inhibitor, matches, {}, &a, nullptr));
    ASSERT_EQ(qelta::kOk, em.Learn(data, ladder, matches, {}, &b, nullptr));
    EXPECT_NEAR(a, b, 1e-9 * std::fabs(a)) << seed;
    const std::vector<double> want = NoisyParams(inhibitor), got = NoisyParams(ladder);
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], 1e-9) << seed << " " << i;
    EXPECT_EQ(4, ladder.GetNumberOfNodes());
  }
}

}  // namespace
