// Diagnosis of a hybrid network: targets B and K, an equation target V with
// a nominal lower bound, an equation test E and discrete tests L and O.
// Both equations are deterministic in discrete parents, so their
// discretization is exact and a discrete twin (V and E written as CPTs)
// must rank alike; an equation fault is the union of V's intervals "bad"
// and "low".
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_network.h"
#include "equations/equation.h"
#include "io/xml/xml_net_loader.h"
#include "network/network.h"
#include "network/node.h"

namespace {

enum { B, K, V, E, L, O };

std::string Network(const std::string& v, const std::string& e) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<qelta version="1.0" id="Hybrid" numsamples="10000" discsamples="200">
<nodes>
<cpt id="B" diagtype="target"><state id="ok"/><state id="flat" fault="true"/>
<probabilities>0.85 0.15</probabilities></cpt>
<cpt id="K" diagtype="target"><state id="ok"/><state id="kinked" fault="true"/>
<probabilities>0.9 0.1</probabilities></cpt>
)" + v + e + R"(
<cpt id="L" diagtype="observation" ranked="true"><state id="bright"/>
<state id="dim"/><parents>B</parents>
<probabilities>0.95 0.05 0.2 0.8</probabilities></cpt>
<cpt id="O" diagtype="observation" ranked="true"><state id="click"/>
<state id="silent"/><parents>K</parents>
<probabilities>0.9 0.1 0.3 0.7</probabilities></cpt>
</nodes></qelta>)";
}

// V = 12 - 4B - 3K over bad [0,6), low [6,10), good [10,20]; faults below
// 10. E = 6 - 2B - 1.5K over lo [0,4), mid [4,5.5), hi [5.5,10].
const char kHybridV[] = R"(<equation id="V" diagtype="target">
<definition lower="0" upper="20" lowernominal="10">V=12-4*B-3*K</definition>
<discretization><interval label="bad" upper="6"/><interval label="low" upper="10"/>
<interval label="good" upper="20"/></discretization></equation>)";
const char kHybridE[] = R"(<equation id="E" diagtype="observation" ranked="true">
<definition lower="0" upper="10">E=6-2*B-1.5*K</definition>
<discretization><interval label="lo" upper="4"/><interval label="mid" upper="5.5"/>
<interval label="hi" upper="10"/></discretization></equation>)";

std::string TwinV(const char* table) {
  return std::string(R"(<cpt id="V" diagtype="target"><state id="bad" fault="true"/>
<state id="low" fault="true"/><state id="good"/><parents>B K</parents>
<probabilities>)") + table + "</probabilities></cpt>";
}
const char kTwinVTable[] = "0 0 1 0 1 0 0 1 0 1 0 0";
const char kTwinE[] = R"(<cpt id="E" diagtype="observation" ranked="true">
<state id="lo"/><state id="mid"/><state id="hi"/><parents>B K</parents>
<probabilities>0 0 1 0 1 0 0 1 0 1 0 0</probabilities></cpt>)";

// Equal to 1e-12, or both NaN (a distance measure of a zero vector).
void ExpectClose(double expected, double actual) {
  if (std::isnan(expected) && std::isnan(actual)) return;
  EXPECT_NEAR(expected, actual, 1e-12);
}

// groups[k]: the twin's pursued positions that our pursued fault k covers.
using Groups = std::vector<std::vector<int>>;

class DiagEquationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qelta::kOk, hybrid_.ReadString(Network(kHybridV, kHybridE).c_str(),
                                             qelta::kXmlExtensionNone));
    ASSERT_EQ(qelta::kOk, twin_.ReadString(
                              Network(TwinV(kTwinVTable), kTwinE).c_str(),
                              qelta::kXmlExtensionNone));
  }

  static void ExpectSameFaults(const VRN_diagNetwork& ours,
                               const VRN_diagNetwork& twin) {
    for (int i : {0, 1}) {
      EXPECT_NEAR(twin.FaultProbability(i), ours.FaultProbability(i), 1e-12);
    }
    EXPECT_NEAR(twin.FaultProbability(2) + twin.FaultProbability(3),
                ours.FaultProbability(2), 1e-12);
  }

  static void ExpectSameRanking(const VRN_diagNetwork& ours,
                                const VRN_diagNetwork& twin,
                                const Groups& groups) {
    const auto& tests = ours.GetUnperformedTests();
    ASSERT_EQ(static_cast<std::size_t>(tests.GetSize()),
              ours.GetTestResults().size());
    const std::vector<double>& a = ours.GetResultValues();
    const std::vector<double>& b = twin.GetResultValues();
    const int m = twin.GetPursuedFaults().GetSize();
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
      ASSERT_LE(static_cast<std::size_t>(x.changesAt + n), a.size());
      for (int j = 0; j < n; ++j) {
        ExpectClose(b[y.probabilitiesAt + j], a[x.probabilitiesAt + j]);
        ExpectClose(b[y.changesAt + j], a[x.changesAt + j]);
        for (std::size_t k = 0; k < groups.size(); ++k) {
          double sum = 0.0;
          for (int p : groups[k]) sum += b[y.posteriorsAt + j * m + p];
          ExpectClose(sum, a[x.posteriorsAt + j * groups.size() + k]);
        }
      }
    }
  }

  // Both sessions pursue, rank and must agree.
  static void Rank(VRN_diagNetwork& ours, std::vector<int> pursued,
                   VRN_diagNetwork& twin, std::vector<int> twinPursued,
                   const Groups& groups) {
    VRN_intArray p, q;
    for (int i : pursued) p.Add(i);
    for (int i : twinPursued) q.Add(i);
    ASSERT_EQ(qelta::kOk, ours.SetPursuedFaults(p));
    ASSERT_EQ(qelta::kOk, twin.SetPursuedFaults(q));
    ASSERT_EQ(qelta::kOk, ours.UpdateFaultBeliefs());
    ASSERT_EQ(qelta::kOk, twin.UpdateFaultBeliefs());
    ExpectSameFaults(ours, twin);
    ASSERT_EQ(qelta::kOk, ours.UpdateTestStrengths());
    ASSERT_EQ(qelta::kOk, twin.UpdateTestStrengths());
    ExpectSameRanking(ours, twin, groups);
  }

  VRN_network hybrid_;
  VRN_network twin_;
};

TEST_F(DiagEquationTest, EquationFaultIsTheSumOfItsIntervals) {
  VRN_diagNetwork diag(&hybrid_);
  ASSERT_NE(nullptr, diag.GetDiscretizedCopy());
  ASSERT_EQ(3, diag.GetFaultCount());
  EXPECT_EQ(V, diag.GetFault(2).node);
  EXPECT_EQ(-1, diag.GetFault(2).outcome);
  std::vector<int> intervals;
  diag.FaultIntervals(V, -1, intervals);
  EXPECT_EQ((std::vector<int>{0, 1}), intervals);
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_NEAR(0.15, diag.FaultProbability(0), 1e-12);
  EXPECT_NEAR(0.10, diag.FaultProbability(1), 1e-12);
  EXPECT_NEAR(1 - 0.85 * 0.9, diag.FaultProbability(2), 1e-12);
  EXPECT_EQ(2, diag.FindMostLikelyFault());
  EXPECT_EQ(2, diag.FindFault(V, -1));
  EXPECT_EQ(3, diag.GetTestOutcomeCount(E));
  EXPECT_EQ(qelta::kErrWrongNodeType, diag.InstantiateObservation(E, 1));
}

TEST_F(DiagEquationTest, FaultsFollowTheFiniteNominalBounds) {
  const double inf = INFINITY;
  const struct {
    double lower, upper;
    std::vector<int> outcomes;
  } rows[] = {{-inf, inf, {}}, {10, inf, {-1}}, {-inf, 15, {1}},
              {10, 15, {-1, 1}}};
  VRN_diagNetwork diag(&hybrid_);
  for (const auto& row : rows) {
    ASSERT_EQ(qelta::kOk, VRN_GetEquation(&hybrid_, V)->SetNominalBounds(
                              row.lower, row.upper));
    ASSERT_EQ(qelta::kOk, diag.Restart());
    std::vector<int> outcomes;
    for (int i = 2; i < diag.GetFaultCount(); ++i) {
      EXPECT_EQ(V, diag.GetFault(i).node);
      outcomes.push_back(diag.GetFault(i).outcome);
    }
    EXPECT_EQ(row.outcomes, outcomes) << row.lower << " " << row.upper;
  }
  // Above 15 lies no interval: the fault is impossible, not unknown.
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_EQ(0.0, diag.FaultProbability(3));
}

TEST_F(DiagEquationTest, RanksAsTheDiscreteTwin) {
  VRN_diagNetwork ours(&hybrid_);
  VRN_diagNetwork twin(&twin_);
  // One equation fault: its two intervals are pursued in the copy.
  Rank(ours, {2}, twin, {2, 3}, {{0, 1}});
  // A fault of B and the equation fault: three faults in the copy.
  for (int code : {0x101, 0x102, 0x41, 0x0A, 0x0C}) {
    SCOPED_TRACE(code);
    ASSERT_EQ(qelta::kOk, ours.SetMultiFaultAlgorithm(code));
    ASSERT_EQ(qelta::kOk, twin.SetMultiFaultAlgorithm(code));
    Rank(ours, {0, 2}, twin, {0, 2, 3}, {{0}, {1, 2}});
  }
}

TEST_F(DiagEquationTest, NumericEvidenceIsMirroredAsItsInterval) {
  VRN_diagNetwork ours(&hybrid_);
  ASSERT_EQ(qelta::kOk, hybrid_.GetNode(E)->Value()->SetContEvidence(4.2));
  ASSERT_EQ(qelta::kOk, twin_.GetNode(E)->Value()->SetEvidence(1));
  VRN_diagNetwork twin(&twin_);
  Rank(ours, {0}, twin, {0}, {{0}});
  EXPECT_NEAR(0.135 / 0.22, ours.FaultProbability(0), 1e-12);
  EXPECT_NEAR(1.0, ours.FaultProbability(2), 1e-12);
  // E, observed on the network itself, is still listed but not ranked.
  const int at = ours.GetUnperformedTests().FindPosition(E);
  ASSERT_GE(at, 0);
  const VRN_diagTestResult& record = ours.GetTestResults()[at];
  EXPECT_EQ(-1.0, record.strength);
  EXPECT_EQ(-1.0, record.score);
  EXPECT_EQ(-1, record.probabilitiesAt);

  ASSERT_EQ(qelta::kOk, ours.ReleaseObservation(E));
  EXPECT_EQ(qelta::kErrOutOfRange, ours.ReleaseObservation(E));
  EXPECT_TRUE(ours.GetTestResults().empty());
}

TEST_F(DiagEquationTest, DefaultValueIsObservedUnlessConstant) {
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&hybrid_, E)->SetDefaultValue(2.0));
  {
    VRN_diagNetwork diag(&hybrid_);
    EXPECT_EQ(2, diag.GetUnperformedTests().GetSize());
    double x = 0.0;
    ASSERT_EQ(qelta::kOk, hybrid_.GetNode(E)->Value()->GetContEvidence(&x));
    EXPECT_EQ(2.0, x);
    ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
    // E = 2 reads "lo": both faults present, V below its range.
    EXPECT_NEAR(1.0, diag.FaultProbability(0), 1e-12);
    EXPECT_NEAR(1.0, diag.FaultProbability(2), 1e-12);
  }
  ASSERT_EQ(qelta::kOk, hybrid_.ClearAllEvidence());
  ASSERT_EQ(qelta::kOk,
            VRN_GetEquation(&hybrid_, E)->SetEquation("E=3", nullptr, nullptr));
  VRN_diagNetwork diag(&hybrid_);
  EXPECT_EQ(3, diag.GetUnperformedTests().GetSize());
}

TEST_F(DiagEquationTest, EditsAreRankedWithoutRestart) {
  VRN_diagNetwork ours(&hybrid_);
  {
    VRN_diagNetwork before(&twin_);
    Rank(ours, {2}, before, {2, 3}, {{0, 1}});
  }
  // V no longer depends on K: the copy is discretized again.
  ASSERT_EQ(qelta::kOk, VRN_GetEquation(&hybrid_, V)->SetEquation(
                            "V=12-4*B", nullptr, nullptr));
  ASSERT_EQ(qelta::kOk,
            hybrid_.GetNode(L)->Definition()->SetDefinitionFromVector(
                {.9, .1, .3, .7}));
  VRN_network edited;
  ASSERT_EQ(qelta::kOk,
            edited.ReadString(Network(TwinV("0 0 1 0 0 1 0 1 0 0 1 0"), kTwinE)
                                  .c_str(),
                              qelta::kXmlExtensionNone));
  ASSERT_EQ(qelta::kOk, edited.GetNode(L)->Definition()->SetDefinitionFromVector(
                            {.9, .1, .3, .7}));
  VRN_diagNetwork twin(&edited);
  Rank(ours, {2}, twin, {2, 3}, {{0, 1}});
  EXPECT_NEAR(0.15, ours.FaultProbability(2), 1e-12);

  // A deleted test answers -2 until Restart.
  ASSERT_EQ(qelta::kOk, hybrid_.DeleteNode(O));
  EXPECT_EQ(qelta::kErrOutOfRange, ours.UpdateTestStrengths());
  ASSERT_EQ(qelta::kOk, ours.Restart());
  ASSERT_EQ(qelta::kOk, ours.UpdateTestStrengths());
  EXPECT_EQ(2u, ours.GetTestResults().size());
}

}  // namespace
