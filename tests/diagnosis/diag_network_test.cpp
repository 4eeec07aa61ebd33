// Diagnosis sessions on a small troubleshooting network (battery B, starter
// S, fuel F, a test group H; observations L, C, G, T, O). Expected numbers
// were computed by enumerating the joint distribution.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/discrete_def.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_network.h"
#include "network/network.h"
#include "network/node.h"

namespace {

enum { B, S, F, H, L, C, G, T, O };

class DiagNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qelta::kOk, net_.ReadFile(QELTA_TEST_DATA
                                        "/diagnosis_troubleshoot.xvrn",
                                        0, 0));
  }

  // Costs L 1, C 3, G 2, group H 4, T and O behind H (n/a, 1) / (n/a, 2).
  void AddCosts() {
    const double na = qelta::kNotAvailableValue;
    SetCost(L, {1});
    SetCost(C, {3});
    SetCost(G, {2});
    SetCost(H, {4});
    ASSERT_EQ(qelta::kOk, net_.AddArc(H, T, 1));
    ASSERT_EQ(qelta::kOk, net_.AddArc(H, O, 1));
    SetCost(T, {na, 1});
    SetCost(O, {na, 2});
    ASSERT_EQ(qelta::kOk, net_.GetNode(H)->UserProperties().AddProperty(
                              "DIAG_TESTGROUPCOST", "true"));
    ASSERT_EQ(qelta::kOk, net_.UserProperties().AddProperty(
                              "DIAG_alphaValue", "0.1"));
  }
  void SetCost(int h, const std::vector<double>& items) {
    ASSERT_EQ(qelta::kOk, net_.GetNode(h)->SetCostArray(items));
  }

  // The test record of node h after the last ranking.
  static const VRN_diagTestResult& Record(const VRN_diagNetwork& diag, int h) {
    const int at = diag.GetUnperformedTests().FindPosition(h);
    EXPECT_GE(at, 0);
    return diag.GetTestResults()[static_cast<std::size_t>(at)];
  }
  static double Strength(const VRN_diagNetwork& diag, int h) {
    return Record(diag, h).strength;
  }
  static double Net(const VRN_diagNetwork& diag, int h) {
    return Record(diag, h).score;
  }

  VRN_network net_;
};

TEST_F(DiagNetworkTest, SessionStartsWithFaultsTestsAndMostLikelyFault) {
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(4, diag.GetFaultCount());
  EXPECT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  const double beliefs[] = {0.15, 0.10, 0.05, 0.05};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(beliefs[i], diag.FaultProbability(i), 1e-12);
  }
  EXPECT_EQ(0, diag.FindMostLikelyFault());
  EXPECT_EQ(2, diag.FindFault(S, 2));
  EXPECT_EQ(qelta::kErrOutOfRange, diag.FindFault(S, 0));
  EXPECT_EQ(5, diag.GetUnperformedTests().GetSize());
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateTestStrengths());  // none pursued
  VRN_intArray bad;
  bad.Add(1);
  bad.Add(4);
  EXPECT_EQ(qelta::kErrOutOfRange, diag.SetPursuedFaults(bad));
  EXPECT_EQ(qelta::kErrOutOfRange, diag.SetSingleFaultAlgorithm(0x300));
  EXPECT_EQ(qelta::kErrOutOfRange, diag.SetMultiFaultAlgorithm(0x106));
  EXPECT_EQ(qelta::kOk, diag.SetMultiFaultAlgorithm(0x24));
}

TEST_F(DiagNetworkTest, AutomaticUpdatingIsOffForTheSessionsLife) {
  ASSERT_EQ(qelta::kOk, net_.SetAutoUpdate(true));
  {
    VRN_diagNetwork diag(&net_);
    EXPECT_FALSE(net_.IsAutoUpdate());
  }
  EXPECT_TRUE(net_.IsAutoUpdate());
  EXPECT_TRUE(net_.GetNode(B)->Value()->IsValueValid());
}

TEST_F(DiagNetworkTest, SingleFaultStrengths) {
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  struct Row {
    int code;
    double l, c, t;
  };
  const Row rows[] = {
      {0x200, 0.473124379724, 0.416418103041, 0.204524021080},
      {0x400, 0.288530315899, 0.253948542848, 0.124726991337},
      {0x800, 0.588461538462, 0.399337260677, 0.364285714286},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(row.code));
    ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    EXPECT_NEAR(row.l, Net(diag, L), 1e-9);
    EXPECT_NEAR(row.c, Net(diag, C), 1e-9);
    EXPECT_NEAR(row.t, Net(diag, T), 1e-9);
    EXPECT_NEAR(0.0, Net(diag, G), 1e-12);
    EXPECT_NEAR(0.0, Net(diag, O), 1e-12);
    EXPECT_EQ(row.code == 0x800 ? -1.0 : Net(diag, C), Strength(diag, C));
  }
  // C's blocks under 0x800: outcome probabilities, posteriors, changes.
  const VRN_diagTestResult& c = Record(diag, C);
  const std::vector<double>& v = diag.GetResultValues();
  const double expected[] = {0.74075, 0.152775, 0.106475,
                             0.018326021, 0.549337261, 0.493073491,
                             -0.131673979, 0.399337261, 0.343073491};
  const int at[] = {c.probabilitiesAt, c.posteriorsAt, c.changesAt};
  for (int block = 0; block < 3; ++block) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(expected[block * 3 + j],
                  v[static_cast<std::size_t>(at[block] + j)], 1e-9);
    }
  }
  EXPECT_EQ(4u * (2 + 2 + 2) + (3 + 3 + 3), v.size());
}

TEST_F(DiagNetworkTest, CostsAndTestGroups) {
  AddCosts();
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x200));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_DOUBLE_EQ(5.0, Record(diag, T).cost);  // group set-up shared out
  EXPECT_DOUBLE_EQ(6.0, Record(diag, O).cost);
  const std::pair<int, double> nets[] = {
      {L, 0.373124379724}, {C, 0.116418103041}, {G, -0.2},
      {T, -0.295475978920}, {O, -0.6}};
  for (const auto& [h, x] : nets) EXPECT_NEAR(x, Net(diag, h), 1e-9) << h;

  // An observation below the group: no more set-up cost.
  ASSERT_EQ(qelta::kOk, diag.InstantiateObservation(T, 1));
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_NEAR(18.0 / 35.0, diag.FaultProbability(0), 1e-12);
  ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x800));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_DOUBLE_EQ(2.0, Record(diag, O).cost);
  EXPECT_NEAR(0.329977, Net(diag, L), 1e-6);
  EXPECT_NEAR(-0.713559, Net(diag, C), 1e-6);
  EXPECT_NEAR(-0.2, Net(diag, G), 1e-9);
  EXPECT_NEAR(-0.2, Net(diag, O), 1e-9);

  // The group observed open: its set-up is done, nothing more to share.
  ASSERT_EQ(qelta::kOk, diag.ReleaseObservation(T));
  ASSERT_EQ(qelta::kOk, net_.GetNode(H)->Value()->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_DOUBLE_EQ(1.0, Record(diag, T).cost);
  EXPECT_DOUBLE_EQ(2.0, Record(diag, O).cost);

  // The group closed: its members cannot be performed.
  ASSERT_EQ(qelta::kOk, net_.GetNode(H)->Value()->SetEvidence(0));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  for (int h : {T, O}) {
    EXPECT_EQ(qelta::kNotAvailableValue, Record(diag, h).score);
    EXPECT_EQ(-1, Record(diag, h).node);
  }
}

TEST_F(DiagNetworkTest, AlphaDefaultIsWrittenOnFirstUse) {
  SetCost(L, {1});
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  const int i = net_.UserProperties().FindProperty("DIAG_alphaValue");
  ASSERT_GE(i, 0);
  EXPECT_STREQ("1", net_.UserProperties().GetPropertyValue(i));
  EXPECT_NEAR(0.588461538462 - 1.0, Net(diag, L), 1e-9);
}

TEST_F(DiagNetworkTest, DSeparationAndFaultsOfOneNode) {
  VRN_diagNetwork diag(&net_);
  diag.SetDSep(true);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(1));
  ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x200));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_NEAR(0.200776192859, Net(diag, C), 1e-9);
  EXPECT_NEAR(0.042404562233, Net(diag, O), 1e-9);
  for (int h : {L, G, T}) EXPECT_EQ(0.0, Net(diag, h));

  diag.SetDSep(false);
  VRN_intArray worn_broken;
  worn_broken.Add(1);
  worn_broken.Add(2);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFaults(worn_broken));
  ASSERT_EQ(qelta::kOk, diag.SetMultiFaultAlgorithm(0x101));  // ignored here
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_NEAR(0.331475562999, Net(diag, C), 1e-9);
  EXPECT_NEAR(0.223540505376, Net(diag, O), 1e-9);
}

TEST_F(DiagNetworkTest, MultipleFaultRankings) {
  struct Row {
    int code;
    double l, c, g, t, o;
  };
  const Row rows[] = {
      {0x101, .588462, .399337, .562245, .364286, .332979},
      {0x102, .459192, .631442, .685313, .232866, .597876},
      {0x103, .210858, .398719, .469654, .054227, .357455},
      {0x104, .196154, .238569, .187415, .121429, .110993},
      {0x105, .248626, .345792, .436364, .167737, .354434},
      {0x41, .089587, .088489, .033437, .037532, .019683},
      {0x81, .052277, .049775, .018809, .021112, .011072},
      {0x0A, .288530, .367789, .170729, .124727, .136396},
      {0x12, .250455, .349125, .133378, .109420, .109149},
      {0x22, .000535, .005434, .001100, .000243, .000874},
      {0x0C, .288530, .439038, .170729, .124727, .136396},
      {0x14, .250455, .377508, .133378, .109420, .109149},
      {0x24, .000535, .000991, .001100, .000243, .000874},
  };
  VRN_diagNetwork diag(&net_);
  VRN_intArray pursued;
  for (int i : {0, 2, 3}) pursued.Add(i);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFaults(pursued));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    ASSERT_EQ(qelta::kOk, diag.SetMultiFaultAlgorithm(row.code));
    ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    const double expected[] = {row.l, row.c, row.g, row.t, row.o};
    const int nodes[] = {L, C, G, T, O};
    for (int k = 0; k < 5; ++k) {
      EXPECT_NEAR(expected[k], Net(diag, nodes[k]), 1e-6) << nodes[k];
      EXPECT_EQ(-1.0, Strength(diag, nodes[k]));
    }
    const bool arrays = (row.code & 0x100) != 0;
    EXPECT_EQ(arrays, Record(diag, C).posteriorsAt >= 0);
  }
  AddCosts();
  ASSERT_EQ(qelta::kOk, diag.SetMultiFaultAlgorithm(0x101));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  const std::pair<int, double> nets[] = {
      {L, .488462}, {G, .362245}, {T, .264286}, {O, .132979}, {C, .099337}};
  for (const auto& [h, x] : nets) EXPECT_NEAR(x, Net(diag, h), 1e-6) << h;
}

TEST_F(DiagNetworkTest, EditsUnderAnOpenSession) {
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  ASSERT_EQ(qelta::kOk, net_.GetNode(L)->Definition()->SetDefinitionFromVector(
                            {.9, .1, .3, .7}));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_NEAR(0.402631578947, Net(diag, L), 1e-9);

  ASSERT_EQ(qelta::kOk, net_.DeleteNode(C));
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateTestStrengths());
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateFaultBeliefs());
  // A new node in the freed slot is not the listed test.
  ASSERT_EQ(C, net_.AddNode(18, "C2"));
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateTestStrengths());
  ASSERT_EQ(qelta::kOk, diag.Restart());
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_EQ(4, static_cast<int>(diag.GetTestResults().size()));
  EXPECT_EQ(0, diag.GetPursuedFault());
}

TEST_F(DiagNetworkTest, ObservationsComeAndGo) {
  net_.GetNode(L)->SetMandatory(true);
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  EXPECT_FALSE(diag.MandatoriesInstantiated());
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateTestStrengths());
  ASSERT_EQ(qelta::kOk, diag.InstantiateObservation(L, 1));
  EXPECT_TRUE(diag.MandatoriesInstantiated());
  EXPECT_EQ(4, diag.GetUnperformedTests().GetSize());
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_EQ(4u, diag.GetTestResults().size());
  ASSERT_EQ(qelta::kOk, diag.ReleaseObservation(L));
  EXPECT_EQ(L, diag.GetUnperformedTests()[4]);  // back at the end
  EXPECT_TRUE(diag.GetTestResults().empty());
  EXPECT_EQ(qelta::kErrOutOfRange, diag.ReleaseObservation(L));
  EXPECT_EQ(5, diag.GetUnperformedTests().GetSize());
}

TEST_F(DiagNetworkTest, ImpossibleTestOutcomeIsNotAssumed) {
  // C never reads "none".
  ASSERT_EQ(qelta::kOk, net_.GetNode(C)->Definition()->SetDefinitionFromVector(
                            {.98, .02, 0, .3, .7, 0, .02, .98, 0,  //
                             .1, .9, 0, .05, .95, 0, .01, .99, 0}));
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  for (int code : {0x200, 0x800}) {
    ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(code));
    ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    const VRN_diagTestResult& c = Record(diag, C);
    const std::vector<double>& v = diag.GetResultValues();
    EXPECT_EQ(0.0, v[static_cast<std::size_t>(c.probabilitiesAt + 2)]);
    EXPECT_NEAR(0.15, v[static_cast<std::size_t>(c.posteriorsAt + 2)], 1e-12);
    EXPECT_NEAR(0.0, v[static_cast<std::size_t>(c.changesAt + 2)], 1e-12);
    EXPECT_GT(c.score, 0.0);
  }
}

TEST_F(DiagNetworkTest, TestObservedOnTheNetworkKeepsItsObservation) {
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.InstantiateObservation(L, 1));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  const double c = Net(diag, C);
  ASSERT_EQ(qelta::kOk, diag.Restart());
  // Set directly, L stays listed and is rated before C.
  ASSERT_EQ(qelta::kOk, net_.GetNode(L)->Value()->SetEvidence(1));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_NEAR(c, Net(diag, C), 1e-12);
  EXPECT_NEAR(0.0, Net(diag, L), 1e-12);
}

TEST_F(DiagNetworkTest, FaultBeliefsWithDSeparation) {
  VRN_diagNetwork diag(&net_);
  diag.SetDSep(true);
  ASSERT_EQ(qelta::kOk, diag.InstantiateObservation(C, 2));
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_GT(diag.FaultProbability(0), 0.15);  // B and S explain C
  EXPECT_GT(diag.FaultProbability(2), 0.05);
  EXPECT_EQ(-1.0, diag.FaultProbability(3));  // F cannot be reached
  EXPECT_EQ(0, net_.GetNumberOfTargets());    // the caller's targets kept
}

TEST_F(DiagNetworkTest, PerformedTestsAreRatedWhenAsked) {
  VRN_diagNetwork diag(&net_);
  diag.SetRankPerformedTests(true);
  ASSERT_EQ(qelta::kOk, diag.InstantiateObservation(L, 1));
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  // Withdrawing "dim" takes P(flat) from .12 / .1625 back to .15.
  const double change = 0.15 - 0.12 / 0.1625;
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  ASSERT_EQ(1u, diag.GetPerformedTestResults().size());
  EXPECT_EQ(L, diag.GetPerformedTestResults()[0].node);
  EXPECT_NEAR(change, diag.GetPerformedTestResults()[0].score, 1e-12);
  VRN_intArray pursued;
  for (int i : {0, 2, 3}) pursued.Add(i);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFaults(pursued));
  for (int code : {0x101, 0x0C}) {
    ASSERT_EQ(qelta::kOk, diag.SetMultiFaultAlgorithm(code));
    ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    ASSERT_EQ(1u, diag.GetPerformedTestResults().size());
    if (code == 0x101) {
      EXPECT_NEAR(change, diag.GetPerformedTestResults()[0].score, 1e-12);
    } else {
      EXPECT_GT(diag.GetPerformedTestResults()[0].score, 0.0);
    }
  }
}

// Roles: every node auxiliary, then the named fault (outcome 1) and the
// ranked observations.
void SetRoles(VRN_network& net, const char* fault,
              const std::vector<const char*>& tests) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    ASSERT_EQ(qelta::kOk, net.GetNode(h)->SetDiagType(2));
  }
  VRN_node* f = net.GetNode(net.FindNode(fault));
  ASSERT_EQ(qelta::kOk, f->SetDiagType(0));
  auto* def = dynamic_cast<VRN_discDef*>(f->Definition());
  ASSERT_NE(nullptr, def);
  ASSERT_EQ(qelta::kOk, def->SetFaultOutcome(1, true));
  for (const char* id : tests) {
    VRN_node* t = net.GetNode(net.FindNode(id));
    ASSERT_EQ(qelta::kOk, t->SetDiagType(1));
    t->SetRanked(true);
  }
}

// F (ok .7, fa .1, fb .15, fc .05; faults fa fb fc) -> T with P(T = 1) .1,
// .9, .5, .2. Each edit of F's outcomes holds the session until Restart.
TEST(DiagSessionEditsTest, OutcomeEditsOfAFaultNodeNeedARestart) {
  for (int edit = 0; edit < 3; ++edit) {
    SCOPED_TRACE(edit);
    VRN_network net;
    ASSERT_EQ(qelta::kOk, net.ReadString(
        "<qelta version='1.0' id='N'><nodes><cpt id='F'><state id='ok'/>"
        "<state id='fa'/><state id='fb'/><state id='fc'/><probabilities>"
        "0.7 0.1 0.15 0.05</probabilities></cpt><cpt id='T'><state id='t0'/>"
        "<state id='t1'/><parents>F</parents><probabilities>"
        "0.9 0.1 0.1 0.9 0.5 0.5 0.8 0.2</probabilities></cpt></nodes></qelta>",
        0));
    SetRoles(net, "F", {"T"});
    const int f = net.FindNode("F"), t = net.FindNode("T");
    auto* def = dynamic_cast<VRN_discDef*>(net.GetNode(f)->Definition());
    for (int i : {2, 3}) ASSERT_EQ(qelta::kOk, def->SetFaultOutcome(i, true));
    VRN_diagNetwork diag(&net);
    VRN_intArray order;
    for (int i : {1, 0, 2, 3}) order.Add(i);
    ASSERT_EQ(qelta::kOk, edit == 0   ? def->InsertOutcome(0, "nw")
                          : edit == 1 ? def->ChangeOrderOfOutcomes(order)
                                      : net.DeleteNode(f));
    if (edit == 2) {  // the same identifiers in the same slot, no fault
      ASSERT_EQ(f, net.AddNode(qelta::kDefCpt, "F"));
      VRN_nodeDef* fresh = net.GetNode(f)->Definition();
      ASSERT_EQ(qelta::kOk, fresh->SetNumberOfOutcomes(4));
      ASSERT_EQ(qelta::kOk,
                fresh->RenameOutcomesFromStrings({"ok", "fa", "fb", "fc"}));
    }
    EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateFaultBeliefs());
    const VRN_errorLog& log = *net.ErrorLog();
    EXPECT_NE(nullptr, std::strstr(log.GetMessage(log.GetNumberOfMessages() - 1),
                                   "restart the diagnosis session"));
    ASSERT_EQ(qelta::kOk, diag.Restart());
    ASSERT_EQ(qelta::kOk, net.GetNode(t)->Value()->SetEvidence(1));
    ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
    ASSERT_EQ(edit == 2 ? 0 : 3, diag.GetFaultCount());
    const double want[] = {.09 / .245, .075 / .245, .01 / .245};
    for (int i = 0; i < diag.GetFaultCount(); ++i) {
      EXPECT_NEAR(want[i], diag.FaultProbability(i), 1e-9);
    }
  }
}

// F -> T (costs 0.5, 0.5 over the test group H) and F -> H: the group's
// set-up cost 1 is charged to T without the ranking assuming H set up,
// also when H cannot be set up. Posteriors of F = 1 by enumeration.
TEST(DiagSessionCostsTest, GroupNodeInTheModelConditionsNoPosterior) {
  for (const char* h_table : {"0.8 0.2 0.3 0.7", "1 0 1 0"}) {
    SCOPED_TRACE(h_table);
    VRN_network net;
    ASSERT_EQ(qelta::kOk, net.ReadString(
        ("<qelta version='1.0' id='N'><nodes><cpt id='F'><state id='ok'/>"
         "<state id='bad'/><probabilities>0.7 0.3</probabilities></cpt>"
         "<cpt id='T'><state id='t0'/><state id='t1'/><parents>F</parents>"
         "<probabilities>0.9 0.1 0.2 0.8</probabilities></cpt><cpt id='H'>"
         "<state id='closed'/><state id='open'/><parents>F</parents>"
         "<probabilities>" + std::string(h_table) +
         "</probabilities></cpt></nodes></qelta>").c_str(), 0));
    SetRoles(net, "F", {"T"});
    const int t = net.FindNode("T"), h = net.FindNode("H");
    ASSERT_EQ(qelta::kOk, net.GetNode(h)->SetCostArray({1}));
    ASSERT_EQ(qelta::kOk, net.AddArc(h, t, 1));
    ASSERT_EQ(qelta::kOk, net.GetNode(t)->SetCostArray({0.5, 0.5}));
    ASSERT_EQ(qelta::kOk, net.GetNode(h)->UserProperties().AddProperty(
                              "DIAG_TESTGROUPCOST", "true"));
    VRN_diagNetwork diag(&net);
    ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
    ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x400));
    ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    ASSERT_EQ(1u, diag.GetTestResults().size());
    const VRN_diagTestResult& r = diag.GetTestResults()[0];
    const std::vector<double>& v = diag.GetResultValues();
    EXPECT_NEAR(0.06 / 0.69, v[static_cast<std::size_t>(r.posteriorsAt)], 1e-9);
    EXPECT_NEAR(0.24 / 0.31, v[static_cast<std::size_t>(r.posteriorsAt + 1)], 1e-9);
    EXPECT_NEAR(0.348298, r.strength, 1e-6);
    EXPECT_EQ(1.5, r.cost);
  }
}

// Group set-up cost added to a member's past the largest double stays the
// largest: a cost is a number, and the member still comes last.
TEST_F(DiagNetworkTest, GroupCostSumsStayFinite) {
  AddCosts();
  SetCost(H, {1e308});
  SetCost(T, {qelta::kNotAvailableValue, 1e308});
  VRN_diagNetwork diag(&net_);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_EQ(DBL_MAX, Record(diag, T).cost);
  EXPECT_EQ(T, diag.GetUnperformedTests()[diag.PresentationOrder().back()]);
}

// F (bad with the prior given) with a child Ti per test {P(t0 | ok),
// P(t0 | bad), cost}; beside it the fault G (bad .5) that no test tells of.
void OneFaultTests(VRN_network& net, double prior,
                   const std::vector<std::array<double, 3>>& tests) {
  std::ostringstream text;
  text << "<qelta version='1.0' id='N'><nodes><cpt id='F'><state id='ok'/>"
       << "<state id='bad'/><probabilities>" << 1 - prior << " " << prior
       << "</probabilities></cpt><cpt id='G'><state id='ok'/><state id='bad'/>"
       << "<probabilities>.5 .5</probabilities></cpt>";
  for (std::size_t i = 0; i < tests.size(); ++i) {
    const auto [ok, bad, cost] = tests[i];
    text << "<cpt id='T" << i << "'><state id='t0'/><state id='t1'/><parents>F"
         << "</parents><probabilities>" << ok << " " << 1 - ok << " " << bad
         << " " << 1 - bad << "</probabilities></cpt>";
  }
  text << "</nodes></qelta>";
  ASSERT_EQ(qelta::kOk, net.ReadString(text.str().c_str(), 0));
  static const char* const kIds[] = {"T0", "T1", "T2", "T3"};
  SetRoles(net, "F", std::vector<const char*>(kIds, kIds + tests.size()));
  VRN_node* g = net.GetNode(net.FindNode("G"));
  ASSERT_EQ(qelta::kOk, g->SetDiagType(0));
  ASSERT_EQ(qelta::kOk, static_cast<VRN_discDef*>(g->Definition())
                            ->SetFaultOutcome(1, true));
  for (std::size_t i = 0; i < tests.size(); ++i) {
    VRN_node* t = net.GetNode(net.FindNode(kIds[i]));
    ASSERT_EQ(qelta::kOk, t->SetCostArray({tests[i][2]}));
  }
}

// The presented order, as test identifiers.
std::string Presented(const VRN_network& net, const VRN_diagNetwork& diag) {
  std::string ids;
  for (int i : diag.PresentationOrder()) {
    ids += net.GetNode(diag.GetUnperformedTests()[i])->GetId();
    ids += " ";
  }
  return ids;
}

// Tests are presented by |rating| less alpha times cost, largest first: a
// cost never raises a test, and a large change counts whichever its sign.
TEST(DiagPresentationTest, ACostNeverRaisesATest) {
  VRN_network net;  // strength .348 each under 0x400, the costliest last
  OneFaultTests(net, 0.3, {{.9, .2, 0}, {.9, .2, 1e-300}, {.9, .2, 1e300},
                          {.9, .2, DBL_MAX}});
  VRN_diagNetwork diag(&net);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x400));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_EQ("T0 T1 T2 T3 ", Presented(net, diag));
  // Alpha inf: a test with a cost scores -inf, after the free one; alpha
  // NaN: it scores NaN, with the NaN scores last.
  for (const char* alpha : {"inf", "nan"}) {
    ASSERT_EQ(qelta::kOk,
              net.UserProperties().AddProperty("DIAG_alphaValue", alpha));
    ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    EXPECT_EQ(alpha[0] == 'i', std::isinf(diag.GetTestResults()[1].score));
    EXPECT_EQ("T0 T1 T2 T3 ", Presented(net, diag)) << alpha;
  }
  // 0x800 rates both tests of a fault of prior .7 -0.359: the one that
  // costs 0.5 (score -0.859) after the free one.
  VRN_network pair;
  OneFaultTests(pair, 0.7, {{.9, .2, 0.5}, {.9, .2, 0}});
  VRN_diagNetwork paired(&pair);
  ASSERT_EQ(qelta::kOk, paired.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, paired.UpdateTestStrengths());
  EXPECT_NEAR(-0.359, paired.GetTestResults()[1].score, 1e-3);
  EXPECT_EQ("T1 T0 ", Presented(pair, paired));
  // Changes +0.5 at cost 2 (score -1.5), -0.5 at cost 0.1 (score -0.6, key
  // 0.4) and a free +0.3: under 0x800, then measure 257 with F and G.
  VRN_network signs;
  OneFaultTests(signs, 0.5, {{0, 1, 2}, {1, 0, 0.1}, {.2, .8, 0}});
  VRN_diagNetwork rated(&signs);
  VRN_intArray pursued;
  const double scores[] = {-1.5, -0.6, 0.3};
  for (int fault : {0, 1}) {
    pursued.Add(fault);
    ASSERT_EQ(qelta::kOk, rated.SetPursuedFaults(pursued));
    ASSERT_EQ(qelta::kOk, rated.UpdateTestStrengths());
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(scores[i], rated.GetTestResults()[i].score, 1e-12) << i;
    }
    EXPECT_EQ("T1 T2 T0 ", Presented(signs, rated)) << fault;
  }
}

// A over a plate P (3 slices, P depends on its last slice) whose last slice
// drives the terminal T; O hangs off A. Expected numbers come from
// enumerating the 64 joint configurations of A, P[0..2], T and O.
const char kDynamic[] =
    "<qelta version='1.0' id='N'><nodes>"
    "<cpt id='A'><state id='a0'/><state id='a1'/>"
    "<probabilities>0.6 0.4</probabilities></cpt>"
    "<cpt id='P' dynamic='plate'><state id='p0'/><state id='p1'/>"
    "<parents>A</parents><probabilities>0.8 0.2 0.3 0.7</probabilities></cpt>"
    "<cpt id='T' dynamic='terminal'><state id='t0'/><state id='t1'/>"
    "<parents>P</parents><probabilities>0.7 0.3 0.2 0.8</probabilities></cpt>"
    "<cpt id='O'><state id='o0'/><state id='o1'/><parents>A</parents>"
    "<probabilities>0.9 0.1 0.2 0.8</probabilities></cpt>"
    "</nodes><dynamic numslices='3'><cpt id='P' order='1'><parents>P</parents>"
    "<probabilities>0.9 0.1 0.4 0.6 0.7 0.3 0.2 0.8</probabilities></cpt>"
    "</dynamic></qelta>";

TEST_F(DiagNetworkTest, TestsAreRankedOnTheSlicesAndTheirEvidence) {
  // Per test: 0x200 strength, P(outcome 0), fault posterior per outcome.
  struct Test {
    double strength, p0, post0, post1;
  };
  struct Row {
    const char* fault;
    int evidence;  // on P in slice 1: 0 none, 1 observed p1, 2 virtual (0, 1)
    double fault_p;
    Test t, o;
  };
  const Row rows[] = {
      {"A", 0, 0.4, {0.032456, 0.515, 0.300971, 0.505155},
       {0.399478, 0.62, 0.129032, 0.842105}},
      {"A", 1, 0.684211, {0.007699, 0.331579, 0.619048, 0.716535},
       {0.377759, 0.421053, 0.325, 0.945455}},
      {"P", 2, 0.778947, {0.000785, 0.331579, 0.761905, 0.787402},
       {0.034937, 0.421053, 0.685, 0.847273}},
      {"P", 1, 0.778947, {0.000785, 0.331579, 0.761905, 0.787402},
       {0.034937, 0.421053, 0.685, 0.847273}},
      // The slice evidence withdrawn again is gone from the ranking too.
      {"P", 0, 0.4, {0.028725, 0.515, 0.306796, 0.498969},
       {0.093123, 0.62, 0.264516, 0.621053}},
  };
  VRN_network net;
  ASSERT_EQ(qelta::kOk, net.ReadString(kDynamic, 0));
  const int p = net.FindNode("P");
  const int t = net.FindNode("T");
  const int o = net.FindNode("O");
  std::unique_ptr<VRN_diagNetwork> diag;
  const char* fault = "";
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.fault) + std::to_string(row.evidence));
    if (std::string(fault) != row.fault) {
      diag.reset();
      fault = row.fault;
      SetRoles(net, fault, {"T", "O"});
      diag = std::make_unique<VRN_diagNetwork>(&net);
    }
    VRN_nodeVal* pv = net.GetNode(p)->Value();
    const bool some = pv->HasTemporalEvidence();
    ASSERT_EQ(qelta::kOk, row.evidence == 1 ? pv->SetTemporalEvidence(1, 1)
                          : row.evidence == 2
                              ? pv->SetTemporalVirtualEvidence(1, {0.0, 1.0})
                          : some ? pv->ClearTemporalEvidence(1)
                                 : qelta::kOk);
    ASSERT_EQ(qelta::kOk, diag->UpdateFaultBeliefs());
    EXPECT_NEAR(row.fault_p, diag->FaultProbability(0), 1e-6);
    ASSERT_EQ(qelta::kOk, diag->SetPursuedFault(0));
    ASSERT_EQ(qelta::kOk, diag->SetSingleFaultAlgorithm(0x200));
    ASSERT_EQ(qelta::kOk, diag->UpdateTestStrengths());
    const std::vector<double>& v = diag->GetResultValues();
    for (const auto& [h, x] : {std::pair{t, row.t}, std::pair{o, row.o}}) {
      const VRN_diagTestResult& r = Record(*diag, h);
      EXPECT_NEAR(x.strength, r.strength, 1e-6) << h;
      EXPECT_NEAR(x.p0, v[static_cast<std::size_t>(r.probabilitiesAt)], 1e-6);
      EXPECT_NEAR(x.post0, v[static_cast<std::size_t>(r.posteriorsAt)], 1e-6);
      EXPECT_NEAR(x.post1, v[static_cast<std::size_t>(r.posteriorsAt + 1)],
                  1e-6);
    }
  }
  // The plate fault without evidence: O before T.
  EXPECT_GT(Record(*diag, o).score, Record(*diag, t).score);
}

TEST_F(DiagNetworkTest, SliceEvidenceReachesTheDiscretizedCopy) {
  // An equation node beside the plate: the session works on its copy.
  std::string text(kDynamic);
  text.insert(text.find("</nodes>"),
              "<equation id='E'><definition lower='0' upper='3'>E=A+1"
              "</definition><discretization><interval upper='1.5'/>"
              "<interval upper='3'/></discretization></equation>");
  VRN_network net;
  ASSERT_EQ(qelta::kOk, net.ReadString(text.c_str(), 0));
  SetRoles(net, "A", {"T", "O"});
  ASSERT_EQ(qelta::kOk, net.SetTemporalEvidence(net.FindNode("P"), 1, 1));
  VRN_diagNetwork diag(&net);
  ASSERT_NE(nullptr, diag.GetDiscretizedCopy());
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_NEAR(0.684211, diag.FaultProbability(0), 1e-6);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x200));
  ASSERT_EQ(qelta::kOk, diag.UpdateTestStrengths());
  EXPECT_NEAR(0.007699, Strength(diag, net.FindNode("T")), 1e-6);
  EXPECT_NEAR(0.377759, Strength(diag, net.FindNode("O")), 1e-6);
  SetRoles(net, "P", {"T", "O"});
  VRN_diagNetwork plate(&net);
  ASSERT_EQ(qelta::kOk, plate.UpdateFaultBeliefs());
  EXPECT_NEAR(0.778947, plate.FaultProbability(0), 1e-6);
}

// P over three slices (P -> P and P -> Q of order 1), R on P, the terminal T
// on Q's last slice: only temporal arcs lead from P to T. G, tested by S, aside.
const char kReaching[] =
    "<qelta version='1.0' id='N'><nodes><cpt id='P' dynamic='plate'>"
    "<state id='p0'/><state id='p1'/><probabilities>0.6 0.4</probabilities>"
    "</cpt><cpt id='Q' dynamic='plate'><state id='q0'/><state id='q1'/>"
    "<probabilities>0.5 0.5</probabilities></cpt>"
    "<cpt id='T' dynamic='terminal'><state id='t0'/><state id='t1'/><parents>Q"
    "</parents><probabilities>0.8 0.2 0.3 0.7</probabilities></cpt>"
    "<cpt id='R' dynamic='plate'><state id='r0'/><state id='r1'/><parents>P"
    "</parents><probabilities>0.7 0.3 0.1 0.9</probabilities></cpt><cpt id='G'>"
    "<state id='g0'/><state id='g1'/><probabilities>0.7 0.3</probabilities>"
    "</cpt><cpt id='S'><state id='s0'/><state id='s1'/><parents>G</parents>"
    "<probabilities>0.8 0.2 0.25 0.75</probabilities></cpt></nodes>"
    "<dynamic numslices='3'><cpt id='P' order='1'><parents>P</parents>"
    "<probabilities>0.9 0.1 0.3 0.7</probabilities></cpt><cpt id='Q' order='1'>"
    "<parents>P</parents><probabilities>0.9 0.1 0.2 0.8</probabilities></cpt>"
    "</dynamic></qelta>";

TEST_F(DiagNetworkTest, DSeparationWalksTheSlices) {
  VRN_network net, unrolled;  // the oracle: unrolled, with the same handles
  ASSERT_EQ(qelta::kOk, net.ReadString(kReaching, 0));
  SetRoles(net, "P", {"T", "R", "S"});
  VRN_node* g = net.GetNode(net.FindNode("G"));
  ASSERT_EQ(qelta::kOk, g->SetDiagType(0));
  ASSERT_EQ(qelta::kOk, dynamic_cast<VRN_discDef*>(g->Definition())
                            ->SetFaultOutcome(1, true));
  std::vector<int> map;
  ASSERT_EQ(qelta::kOk, net.UnrollNetwork(unrolled, map));
  const int t = net.FindNode("T");
  // Every number a ranking gives for the tests, then the fault beliefs.
  auto session = [&](VRN_network& n, int code) {
    VRN_diagNetwork diag(&n);
    diag.SetDSep(true);
    VRN_intArray pursued;
    for (int i = 0; i < (code == 0x200 ? 1 : 2); ++i) pursued.Add(i);
    EXPECT_EQ(qelta::kOk, diag.SetPursuedFaults(pursued));
    EXPECT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x200));
    EXPECT_EQ(qelta::kOk, diag.SetMultiFaultAlgorithm(code == 0x200 ? 0x101 : code));
    EXPECT_EQ(qelta::kOk, diag.UpdateTestStrengths());
    std::vector<double> all;
    const std::vector<double>& v = diag.GetResultValues();
    for (const char* id : {"T", "R", "S"}) {
      const VRN_diagTestResult& r = Record(diag, n.FindNode(id));
      all.insert(all.end(), {r.strength, r.score});
      if (r.probabilitiesAt < 0) continue;
      all.insert(all.end(), v.begin() + r.probabilitiesAt,
                 v.begin() + r.changesAt + 2);
    }
    EXPECT_EQ(qelta::kOk, diag.InstantiateObservation(t, 1));
    EXPECT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
    all.insert(all.end(), {diag.FaultProbability(0), diag.FaultProbability(1)});
    EXPECT_EQ(qelta::kOk, diag.ReleaseObservation(t));
    return all;
  };
  for (int code : {0x200, 0x101, 0x0A}) {
    const std::vector<double> dynamic = session(net, code);
    const std::vector<double> oracle = session(unrolled, code);
    ASSERT_EQ(oracle.size(), dynamic.size());
    for (size_t i = 0; i < oracle.size(); ++i) {
      EXPECT_NEAR(oracle[i], dynamic[i], 1e-9) << code << " " << i;
    }
  }
  // A slice 1 observation reaches P too: by hand 0.4 * 0.72 / 0.504.
  VRN_diagNetwork diag(&net);
  diag.SetDSep(true);
  ASSERT_EQ(qelta::kOk, diag.InstantiateObservation(net.FindNode("S"), 0));
  ASSERT_EQ(qelta::kOk, net.SetTemporalEvidence(net.FindNode("R"), 1, 1));
  ASSERT_EQ(qelta::kOk, diag.UpdateFaultBeliefs());
  EXPECT_NEAR(4.0 / 7.0, diag.FaultProbability(0), 1e-6);
}

TEST_F(DiagNetworkTest, InfluenceDiagramIsRefused) {
  const char text[] =
      "<qelta version='1.0' id='ID'><nodes>"
      "<cpt id='C'><state id='c0'/><state id='c1'/>"
      "<probabilities>0.3 0.7</probabilities></cpt>"
      "<decision id='D'><state id='d0'/><state id='d1'/>"
      "<parents>C</parents></decision>"
      "<cpt id='X'><state id='x0'/><state id='x1'/><parents>D</parents>"
      "<probabilities>0.6 0.4 0.1 0.9</probabilities></cpt>"
      "<utility id='V'><parents>D C</parents>"
      "<utilities>10 0 2 8</utilities></utility>"
      "<utility id='U2'><parents>X</parents><utilities>5 1</utilities>"
      "</utility>"
      "<mau id='M'><parents>V U2</parents><weights>1 1</weights></mau>"
      "</nodes></qelta>";
  VRN_network net;
  ASSERT_EQ(qelta::kOk, net.ReadString(text, 0));
  SetRoles(net, "C", {"X"});
  VRN_diagNetwork diag(&net);
  ASSERT_EQ(qelta::kOk, diag.SetPursuedFault(0));
  ASSERT_EQ(qelta::kOk, diag.SetSingleFaultAlgorithm(0x200));
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateFaultBeliefs());
  EXPECT_EQ(qelta::kErrOutOfRange, diag.UpdateTestStrengths());
  const VRN_errorLog& log = *net.ErrorLog();
  ASSERT_EQ(2, log.GetNumberOfMessages());
  EXPECT_STREQ(log.GetMessage(0), log.GetMessage(1));
  EXPECT_NE(nullptr, std::strstr(log.GetMessage(1), "node D is a decision"));
  EXPECT_TRUE(diag.GetTestResults().empty());
  EXPECT_TRUE(diag.GetResultValues().empty());
  EXPECT_EQ(-1.0, diag.FaultProbability(0));
  EXPECT_FALSE(net.GetNode(net.FindNode("X"))->Value()->IsValueValid());
}

}  // namespace
