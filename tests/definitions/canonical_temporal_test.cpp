// Temporal definitions of canonical plate nodes (noisy parameters, strength
// orders, DeMorgan roles and weights), their XML round trip, and parameter
// randomization reaching temporal definitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "base/error_log.h"
#include "base/status.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kPlate = 3;

std::vector<double> Items(const VRN_matrix* m) {
  return m == nullptr ? std::vector<double>()
                      : std::vector<double>(m->GetItems().begin(),
                                            m->GetItems().end());
}

// P (three outcomes), DeMorgan B and canonical M (noisy-MAX), A
// (noisy-adder), D (DeMorgan), all plate nodes: P is a temporal parent of
// order 1 of M and A; B a parent of D and, with D itself, one of order 1.
struct Canonical {
  VRN_network net;
  int p, b, m, a, d;
  Canonical() {
    p = net.AddNode(qelta::kDefCpt, "P");
    b = net.AddNode(qelta::kDefDemorgan, "B");
    m = net.AddNode(qelta::kDefNoisyMax, "M");
    a = net.AddNode(qelta::kDefNoisyAdder, "A");
    d = net.AddNode(qelta::kDefDemorgan, "D");
    EXPECT_EQ(0, net.GetNode(p)->Definition()->SetNumberOfOutcomes(3));
    for (int h : {p, b, m, a, d}) {
      EXPECT_EQ(0, net.setNodeTemporalType(h, kPlate));
    }
    EXPECT_EQ(0, net.AddArc(b, d));
    for (int h : {m, a}) EXPECT_EQ(0, net.AddTemporalArc(p, h, 1));
    EXPECT_EQ(0, net.AddTemporalArc(b, d, 1));
    EXPECT_EQ(0, net.AddTemporalArc(d, d, 1));
  }
  VRN_noisyMAX* Max(VRN_network& n) {
    return static_cast<VRN_noisyMAX*>(n.GetNode(m)->Definition());
  }
  VRN_demorgan* Gate(VRN_network& n) {
    return static_cast<VRN_demorgan*>(n.GetNode(d)->Definition());
  }
};

TEST(CanonicalTemporalTest, NoisyMaxTemporalParametersAndStrengths) {
  Canonical c;
  VRN_noisyMAX* max = c.Max(c.net);
  EXPECT_EQ(nullptr, max->GetTemporalCiWeights(2));
  const VRN_matrix* weights = max->GetTemporalCiWeights(1);
  ASSERT_NE(nullptr, weights);
  VRN_matrix changed(*weights);
  changed.GetItems()[0] = 0.75;
  changed.GetItems()[1] = 0.25;
  EXPECT_EQ(qelta::kErrOutOfRange, max->SetTemporalCiWeights(2, changed));
  EXPECT_EQ(0, max->SetTemporalCiWeights(1, changed));
  EXPECT_EQ(0.75, max->GetTemporalCiWeights(1)->GetItems()[0]);

  std::vector<VRN_intArray> rows;
  EXPECT_EQ(qelta::kErrWrongNodeType,
            max->GetTemporalParentOutcomeStrengths(3, &rows));
  ASSERT_EQ(0, max->GetTemporalParentOutcomeStrengths(1, &rows));
  ASSERT_EQ(1u, rows.size());
  ASSERT_EQ(3, rows[0].GetSize());
  VRN_intArray order;
  for (int v : {2, 0, 1}) order.Add(v);
  VRN_intArray repeated;
  for (int v : {2, 2, 1}) repeated.Add(v);
  EXPECT_EQ(qelta::kErrInvalidValue,
            max->SetTemporalParentOutcomeStrengths(1, {repeated}));
  EXPECT_EQ(0, max->SetTemporalParentOutcomeStrengths(1, {order}));
  ASSERT_EQ(0, max->GetTemporalParentOutcomeStrengths(1, &rows));
  EXPECT_EQ(2, rows[0][0]);
}

TEST(CanonicalTemporalTest, DeMorganTemporalRolesAndWeights) {
  Canonical c;
  VRN_demorgan* gate = c.Gate(c.net);
  // Order 1 holds B (steady), then the temporal parents B and D.
  EXPECT_EQ(1, gate->GetTemporalParentIndex(1, 0));
  EXPECT_EQ(2, gate->GetTemporalParentIndex(1, 1));
  EXPECT_EQ(-1, gate->GetTemporalParentIndex(1, 2));
  EXPECT_EQ(-1, gate->GetTemporalParentType(2, 0));
  EXPECT_EQ(-1.0, gate->GetTemporalParentWeight(1, 5));
  EXPECT_EQ(0, gate->SetTemporalParentType(1, 1, 3));
  EXPECT_EQ(3, gate->GetTemporalParentType(1, 1));
  EXPECT_EQ(qelta::kErrInvalidValue, gate->SetTemporalParentWeight(1, 0, 1.5));
  EXPECT_EQ(0, gate->SetTemporalParentWeight(1, 0, 0.25));
  EXPECT_EQ(0.25, gate->GetTemporalParentWeight(1, 0));
  // The node's own roles are untouched.
  EXPECT_EQ(1, gate->GetParentCount());
}

TEST(CanonicalTemporalTest, CanonicalTemporalDefinitionsRoundTripInXml) {
  Canonical c;
  VRN_intArray order;
  for (int v : {1, 2, 0}) order.Add(v);
  ASSERT_EQ(0, c.Max(c.net)->SetTemporalParentOutcomeStrengths(1, {order}));
  ASSERT_EQ(0, c.Gate(c.net)->SetTemporalParentType(1, 1, 2));
  ASSERT_EQ(0, c.Gate(c.net)->SetTemporalParentWeight(1, 1, 0.125));
  ASSERT_EQ(0, c.net.SetNumberOfSlices(3));
  std::string first, second;
  ASSERT_EQ(0, c.net.WriteString(first, 0));
  for (const char* element : {"<noisymax id=\"M\" order=\"1\">",
                              "<noisyadder id=\"A\" order=\"1\">",
                              "<demorgan id=\"D\" order=\"1\">"}) {
    EXPECT_NE(first.find(element), std::string::npos) << element;
  }
  VRN_network read;
  ASSERT_EQ(0, read.ReadString(first.c_str(), 0));
  ASSERT_EQ(0, read.WriteString(second, 0));
  EXPECT_EQ(first, second);
  std::vector<VRN_intArray> rows;
  ASSERT_EQ(0, c.Max(read)->GetTemporalParentOutcomeStrengths(1, &rows));
  EXPECT_EQ(1, rows[0][0]);
  EXPECT_EQ(2, c.Gate(read)->GetTemporalParentType(1, 1));
  EXPECT_EQ(0.125, c.Gate(read)->GetTemporalParentWeight(1, 1));
  EXPECT_EQ(c.net.UpdateBeliefs(), read.UpdateBeliefs());
  EXPECT_EQ(0, c.net.UpdateBeliefs()) << c.net.ErrorLog()->GetMessage(0);
}

TEST(CanonicalTemporalTest, RandomizationReachesPlateTemporalDefinitions) {
  VRN_network net;
  const int p = net.AddNode(qelta::kDefCpt, "P");
  const int n = net.AddNode(qelta::kDefCpt, "N");
  ASSERT_EQ(0, net.setNodeTemporalType(p, kPlate));
  ASSERT_EQ(0, net.AddTemporalArc(p, p, 1));
  VRN_nodeDef* def = net.GetNode(p)->Definition();
  VRN_doubleArray skewed;
  for (double v : {0.9, 0.1, 0.2, 0.8}) skewed.Add(v);
  ASSERT_EQ(0, def->SetTemporalDefinition(1, skewed));

  ASSERT_EQ(0, net.UniformizeParameters(nullptr));
  EXPECT_EQ((std::vector<double>{0.5, 0.5, 0.5, 0.5}),
            Items(def->GetTemporalMatrix(1)));

  net.SetRandSeed(11);
  ASSERT_EQ(0, net.RandomizeParameters(nullptr, nullptr));
  const std::vector<double> random = Items(def->GetTemporalMatrix(1));
  EXPECT_NE((std::vector<double>{0.5, 0.5, 0.5, 0.5}), random);
  // A listed normal node leaves the temporal part alone.
  const std::vector<int> normal{n};
  ASSERT_EQ(0, net.RandomizeParameters(nullptr, &normal));
  EXPECT_EQ(random, Items(def->GetTemporalMatrix(1)));
}

}  // namespace
