// Diagnosis of a hybrid network: targets B and K, an equation target
// V = 12 - 4B - 3K over bad [0,6), low [6,10), good [10,20] whose values
// below 10 are a fault, an equation test E = 6 - 2B - 1.5K over lo [0,4),
// mid [4,5.5), hi [5.5,10], discrete tests L and O. Both equations are
// deterministic in discrete parents, so their discretization is exact and
// the discrete twin (V and E written as CPTs) must rank alike.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/status.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_network.h"
#include "equations/equation.h"
#include "network/network.h"
#include "network/node.h"

namespace {

enum { B, K, V, E, L, O };

// Equal to 1e-12, or both NaN (a distance measure of a zero vector).
void ExpectClose(double expected, double actual) {
  if (std::isnan(expected) && std::isnan(actual)) return;
  EXPECT_NEAR(expected, actual, 1e-12);
}

class DiagEquationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qelta::kOk, hybrid_.ReadFile(QELTA_TEST_DATA
                                           "/diagnosis_hybrid.xvrn", 0, 0));
    ASSERT_EQ(qelta::kOk, twin_.ReadFile(QELTA_TEST_DATA
                                         "/diagnosis_hybrid_twin.xvrn", 0, 0));
  }

  // Both sessions pursue (our fault 2 is the twin's 2 and 3), rank and must
  // agree; our posteriors of fault 2 are the sums of the twin's two.
  static void Rank(VRN_diagNetwork& ours, VRN_diagNetwork& twin,
                   const std::vector<int>& pursued) {
    VRN_intArray p, q;
    std::vector<std::vector<int>> groups;  // twin positions per fault of ours
    for (int i : pursued) {
      p.Add(i);
      groups.emplace_back();
      for (int t = i; t <= (i == 2 ? 3 : i); ++t) {
        groups.back().push_back(q.GetSize());
        q.Add(t);
      }
    }
    ASSERT_EQ(qelta::kOk, ours.SetPursuedFaults(p));
    ASSERT_EQ(qelta::kOk, twin.SetPursuedFaults(q));
    ASSERT_EQ(qelta::kOk, ours.UpdateFaultBeliefs());
    ASSERT_EQ(qelta::kOk, twin.UpdateFaultBeliefs());
    ExpectClose(twin.FaultProbability(1), ours.FaultProbability(1));
    ExpectClose(twin.FaultProbability(2) + twin.FaultProbability(3),
                ours.FaultProbability(2));
    ASSERT_EQ(qelta::kOk, ours.UpdateTestStrengths());
    ASSERT_EQ(qelta::kOk, twin.UpdateTestStrengths());
    const auto& tests = ours.GetUnperformedTests();
    ASSERT_EQ(std::size_t(tests.GetSize()), ours.GetTestResults().size());
    const std::vector<double>& a = ours.GetResultValues();
    const std::vector<double>& b = twin.GetResultValues();
    const std::size_t m = q.GetSize();
    for (int i = 0; i < tests.GetSize(); ++i) {
      const int at = twin.GetUnperformedTests().FindPosition(tests[i]);
      if (at < 0) continue;  // observed in the twin
      const VRN_diagTestResult& x = ours.GetTestResults()[i];
      const VRN_diagTestResult& y = twin.GetTestResults()[at];
      SCOPED_TRACE(tests[i]);
      ExpectClose(y.strength, x.strength);
      ExpectClose(y.score, x.score);
      ASSERT_EQ(y.probabilitiesAt < 0, x.probabilitiesAt < 0);
      if (y.probabilitiesAt < 0) continue;
      const int n = ours.GetTestOutcomeCount(tests[i]);
      ASSERT_EQ(twin.GetTestOutcomeCount(tests[i]), n);
      ASSERT_LE(std::size_t(x.changesAt + n), a.size());
      for (int j = 0; j < n; ++j) {
        ExpectClose(b[y.probabilitiesAt + j], a[x.probabilitiesAt + j]);
        ExpectClose(b[y.changesAt + j], a[x.changesAt + j]);
        for (std::size_t k = 0; k < groups.size(); ++k) {
          double sum = 0.0;
          for (int g : groups[k]) sum += b[y.posteriorsAt + j * m + g];
          ExpectClose(sum, a[x.posteriorsAt + j * groups.size() + k]);
        }
      }
    }
  }

  VRN_network hybrid_;
  VRN_network twin_;
};

TEST_F(DiagEquationTest, EquationFaultIsTheSumOfItsIntervals) {
  VRN_diagNetwork diag(&hybrid_);
  ASSERT_EQ(2, diag.FindFault(V, -1));
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_NEAR(1 - 0.85 * 0.9, diag.FaultProbability(2), 1e-12);
  EXPECT_EQ(2, diag.FindMostLikelyFault());
  EXPECT_EQ(3, diag.GetTestOutcomeCount(E));
  EXPECT_EQ(qelta::kErrWrongNodeType, diag.InstantiateObservation(E, 1));
  // Each finite nominal bound makes a fault; above 15 lies no interval.
  const double inf = INFINITY;
  const struct {
    double lower, upper;
    std::vector<int> outcomes;
  } rows[] = {{-inf, inf, {}}, {-inf, 15, {1}}, {10, 15, {-1, 1}}};
  for (const auto& row : rows) {
    ASSERT_EQ(qelta::kOk, VRN_GetEquation(&hybrid_, V)->SetNominalBounds(
                              row.lower, row.upper));
    ASSERT_EQ(qelta::kOk, diag.Restart());
    std::vector<int> outcomes;
    for (int i = 2; i < diag.GetFaultCount(); ++i) {
      outcomes.push_back(diag.GetFault(i).outcome);
    }
    EXPECT_EQ(row.outcomes, outcomes) << row.lower << " " << row.upper;
  }
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_EQ(0.0, diag.FaultProbability(3));
}

TEST_F(DiagEquationTest, RanksAsTheDiscreteTwin) {
  VRN_diagNetwork ours(&hybrid_);
  VRN_diagNetwork twin(&twin_);
  // One equation fault: its two intervals are pursued in the copy.
  Rank(ours, twin, {2});
  // A fault of B and the equation fault: three faults in the copy.
  for (int code : {0x101, 0x102, 0x41, 0x0A, 0x0C}) {
    SCOPED_TRACE(code);
    ASSERT_EQ(qelta::kOk, ours.SetMultiFaultAlgorithm(code));
    ASSERT_EQ(qelta::kOk, twin.SetMultiFaultAlgorithm(code));
    Rank(ours, twin, {0, 2});
  }
}

TEST_F(DiagEquationTest, NumericEvidenceIsMirroredAsItsInterval) {
  VRN_diagNetwork ours(&hybrid_);
  ASSERT_EQ(qelta::kOk, hybrid_.GetNode(E)->Value()->SetContEvidence(4.2));
  ASSERT_EQ(qelta::kOk, twin_.GetNode(E)->Value()->SetEvidence(1));
  VRN_diagNetwork twin(&twin_);
  Rank(ours, twin, {0});
  EXPECT_NEAR(0.135 / 0.22, ours.FaultProbability(0), 1e-12);
  // E, observed on the network itself, is still listed but not ranked.
  const VRN_diagTestResult& record = ours.GetTestResults()[0];
  EXPECT_EQ(E, ours.GetUnperformedTests()[0]);
  EXPECT_EQ(-1.0, record.score);
  EXPECT_EQ(-1, record.probabilitiesAt);
}

TEST_F(DiagEquationTest, DefaultValueIsObservedUnlessConstant) {
  VRN_equation* e = VRN_GetEquation(&hybrid_, E);
  ASSERT_EQ(qelta::kOk, e->SetDefaultValue(2.0));
  EXPECT_EQ(2, VRN_diagNetwork(&hybrid_).GetUnperformedTests().GetSize());
  ASSERT_EQ(qelta::kOk, hybrid_.ClearAllEvidence());
  ASSERT_EQ(qelta::kOk, e->SetEquation("E=3", nullptr, nullptr));
  EXPECT_EQ(3, VRN_diagNetwork(&hybrid_).GetUnperformedTests().GetSize());
}

TEST_F(DiagEquationTest, EditsAreRankedWithoutRestart) {
  VRN_diagNetwork ours(&hybrid_);
  ASSERT_EQ(qelta::kOk, ours.SetPursuedFault(2));
  ASSERT_EQ(qelta::kOk, ours.UpdateTestStrengths());
  // V no longer depends on K: the copy is discretized again.
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&hybrid_, V)->SetEquation(
                            "V=12-4*B", nullptr, nullptr));
  ASSERT_EQ(qelta::kOk, twin_.GetNode(V)->Definition()->SetDefinitionFromVector(
                            {0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0}));
  VRN_diagNetwork twin(&twin_);
  Rank(ours, twin, {2});
  EXPECT_NEAR(0.15, ours.FaultProbability(2), 1e-12);
  // A deleted test answers -2 until Restart.
  ASSERT_EQ(qelta::kOk, hybrid_.DeleteNode(O));
  EXPECT_EQ(qelta::kErrOutOfRange, ours.UpdateTestStrengths());
  ASSERT_EQ(qelta::kOk, ours.Restart());
  EXPECT_EQ(qelta::kOk, ours.UpdateTestStrengths());
}

}  // namespace
