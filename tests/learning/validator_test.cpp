// The validator on a hand-computed case, ROC areas against the
// Mann-Whitney statistic, cross-validation and the result data set.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "io/format.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "learning/validator.h"
#include "network/network.h"
#include "network/node.h"

namespace {

struct Case {
  VRN_network net;
  VRN_dataset data;
  std::vector<VRN_dataMatch> matches;
  int a, b;
  explicit Case(const std::vector<std::vector<int>>& rows) {
    a = net.AddNode(qelta::kDefCpt, "A");
    b = net.AddNode(qelta::kDefCpt, "B");
    EXPECT_EQ(qelta::kOk, net.AddArc(a, b));
    EXPECT_EQ(qelta::kOk, net.GetNode(a)->Definition()->SetDefinitionFromVector({0.6, 0.4}));
    EXPECT_EQ(qelta::kOk, net.GetNode(b)->Definition()->SetDefinitionFromVector({0.8, 0.2, 0.3, 0.7}));
    EXPECT_EQ(qelta::kOk, data.addIntVariable("A", -1));
    EXPECT_EQ(qelta::kOk, data.addIntVariable("B", -1));
    for (std::size_t r = 0; r < rows.size(); ++r) {
      data.AddEmptyRecord();
      for (int v = 0; v < 2; ++v) {
        if (rows[r][v] >= 0) data.SetInt(v, static_cast<int>(r), rows[r][v]);
      }
    }
    matches = {{a, 0, 0}, {b, 0, 1}};
  }
};

const std::vector<std::vector<int>> kRows = {{0, 0}, {0, 1}, {1, 1}, {1, 0},
                                             {0, 0}, {1, 1}, {-1, 0}, {0, -1}};

TEST(ValidatorTest, HandComputedMeasures) {
  Case g(kRows);
  const std::vector<double> before = {0.8, 0.2, 0.3, 0.7};
  VRN_validator v(&g.data, &g.net, g.matches);
  std::vector<std::vector<int>> confusion;
  EXPECT_EQ(qelta::kErrNoItem, v.Test(nullptr));
  EXPECT_EQ(qelta::kErrOutOfRange, v.AddClassNode(7));
  ASSERT_EQ(qelta::kOk, v.AddClassNode(g.b));
  EXPECT_EQ(qelta::kErrInvalidValue, v.GetConfusionMatrix(g.b, &confusion));
  EXPECT_EQ(-32, v.AddClassNode(g.b));
  double accuracy = 0.0;
  EXPECT_EQ(qelta::kErrInvalidValue, v.GetAccuracy(g.b, 0, &accuracy));
  ASSERT_EQ(qelta::kOk, v.Test(nullptr));
  ASSERT_EQ(qelta::kOk, v.GetConfusionMatrix(g.b, &confusion));
  EXPECT_EQ((std::vector<std::vector<int>>{{3, 1}, {1, 2}}), confusion);
  ASSERT_EQ(qelta::kOk, v.GetAccuracy(g.b, 0, &accuracy));
  EXPECT_DOUBLE_EQ(0.75, accuracy);
  ASSERT_EQ(qelta::kOk, v.GetAccuracy(g.b, 1, &accuracy));
  EXPECT_DOUBLE_EQ(2.0 / 3, accuracy);
  VRN_validator::Points points;
  std::vector<double> thresholds;
  double area = 0.0;
  ASSERT_EQ(qelta::kOk, v.GetROC(g.b, 0, &points, &thresholds, &area));
  const VRN_validator::Points roc = {{1, 1}, {1.0 / 3, 0.75}, {1.0 / 3, 0.5}, {0, 0}};
  ASSERT_EQ(roc.size(), points.size());
  for (std::size_t i = 0; i < roc.size(); ++i) {
    EXPECT_DOUBLE_EQ(roc[i].first, points[i].first);
    EXPECT_DOUBLE_EQ(roc[i].second, points[i].second);
  }
  EXPECT_EQ((std::vector<double>{0.3, 0.6, 0.8, 1.0}), thresholds);
  EXPECT_NEAR(2.0 / 3, area, 1e-12);
  double statistic = 0.0;
  ASSERT_EQ(qelta::kOk, v.GetCalibrationCurveB(g.b, 0, 2, &points, &statistic));
  EXPECT_NEAR(0.0158730159, statistic, 1e-10);
  EXPECT_EQ(4u, points.size());
  ASSERT_EQ(qelta::kOk, v.GetCalibrationCurveMA(g.b, 0, 0, &points));
  ASSERT_EQ(3u, points.size());  // groups 0.3, 0.6, 0.8
  EXPECT_DOUBLE_EQ(1.0 / 3, points[0].second);
  // A window as wide as the groups averages them all; a wider one, up to
  // the largest int, spans the same groups.
  VRN_validator::Points all;
  ASSERT_EQ(qelta::kOk, v.GetCalibrationCurveMA(g.b, 0, 2, &all));
  ASSERT_EQ(3u, all.size());
  for (const auto& point : all) EXPECT_DOUBLE_EQ(all[0].second, point.second);
  for (int window : {3, 1000, INT_MAX}) {
    ASSERT_EQ(qelta::kOk, v.GetCalibrationCurveMA(g.b, 0, window, &points));
    EXPECT_EQ(all, points) << window;
  }
  struct Refusal {
    int bins, window, code;
  } refusals[] = {{0, 0, qelta::kErrOutOfRange}, {8, 0, qelta::kErrOutOfRange}, {1, -1, qelta::kErrOutOfRange}};
  for (const Refusal& r : refusals) {
    const int code = r.window < 0 ? v.GetCalibrationCurveMA(g.b, 0, r.window, &points)
                                  : v.GetCalibrationCurveB(g.b, 0, r.bins, &points, &statistic);
    EXPECT_EQ(r.code, code);
  }
  EXPECT_EQ(-30, v.GetROC(g.a, 0, &points, &thresholds, &area));
  // Predictions in the result data set; the network is unchanged.
  VRN_dataset result;
  v.GetResultDataSet(&result);
  ASSERT_EQ(5, result.GetVariableCount());
  EXPECT_EQ("B_State0", result.GetVariable(2).id);
  EXPECT_EQ("B_predicted", result.GetVariable(4).id);
  EXPECT_FLOAT_EQ(0.6f, result.GetFloat(2, 6));
  EXPECT_EQ(1, result.GetInt(4, 3));
  EXPECT_TRUE(result.IsMissing(4, 7));
  const VRN_matrix& table = *g.net.GetNode(g.b)->Definition()->GetMatrixConst();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(before[i], table.GetItem(i));
}

TEST(ValidatorTest, RocAreaIsMannWhitney) {
  std::mt19937 rng(41);
  for (int round = 0; round < 30; ++round) {
    std::vector<std::vector<int>> rows;
    for (int r = 0; r < 40; ++r) rows.push_back({static_cast<int>(rng() % 3) - 1, static_cast<int>(rng() % 2)});
    Case g(rows);
    VRN_validator v(&g.data, &g.net, g.matches);
    ASSERT_EQ(qelta::kOk, v.AddClassNode(g.b));
    ASSERT_EQ(qelta::kOk, v.Test(nullptr));
    VRN_validator::Points points;
    std::vector<double> thresholds;
    double area = 0.0;
    ASSERT_EQ(qelta::kOk, v.GetROC(g.b, 0, &points, &thresholds, &area));
    const double p[3] = {0.6, 0.8, 0.3};  // P(B = 0) by A missing, 0, 1
    double wins = 0.0, pairs = 0.0;
    for (const auto& x : rows) {
      for (const auto& y : rows) {
        if (x[1] != 0 || y[1] != 1) continue;
        pairs += 1.0;
        const double px = p[x[0] + 1], py = p[y[0] + 1];
        wins += px > py ? 1.0 : px == py ? 0.5 : 0.0;
      }
    }
    EXPECT_NEAR(wins / pairs, area, 1e-12);
  }
}

TEST(ValidatorTest, CrossValidationKeepsTheCallersIndex) {
  Case g(kRows);
  VRN_validator v(&g.data, &g.net, g.matches);
  ASSERT_EQ(qelta::kOk, v.AddClassNode(g.b));
  VRN_em em;
  em.SetUniformizeParameters(true);
  EXPECT_EQ(qelta::kErrGeneral, v.KFold(em, 1, -1, nullptr));
  EXPECT_EQ(qelta::kErrGeneral, v.KFold(em, 5, -1, nullptr));
  ASSERT_EQ(qelta::kOk, g.data.SetRecordIndex({7, 6, 5, 4, 3, 2, 1, 0}));
  ASSERT_EQ(qelta::kOk, v.KFold(em, 4, 3, nullptr));
  EXPECT_EQ(7, (*g.data.RecordIndex())[0]);
  ASSERT_EQ(qelta::kOk, v.LeaveOneOut(em, nullptr));
  EXPECT_EQ(8u, g.data.RecordIndex()->size());
  std::vector<std::vector<int>> confusion;
  ASSERT_EQ(qelta::kOk, v.GetConfusionMatrix(g.b, &confusion));
  EXPECT_EQ(7, confusion[0][0] + confusion[0][1] + confusion[1][0] + confusion[1][1]);
}

// A plate node P under A, with P's own arc of order 1, and a terminal T
// under P's last slice; three slices.
const char kDynamic[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<qelta version="1.0" id="N">
<nodes>
<cpt id="A"><state id="a0"/><state id="a1"/><probabilities>0.6 0.4</probabilities></cpt>
<cpt id="P" dynamic="plate"><state id="p0"/><state id="p1"/><parents>A</parents><probabilities>0.8 0.2 0.3 0.7</probabilities></cpt>
<cpt id="T" dynamic="terminal"><state id="t0"/><state id="t1"/><parents>P</parents><probabilities>0.7 0.3 0.2 0.8</probabilities></cpt>
</nodes>
<dynamic numslices="3"><cpt id="P" order="1"><parents>P</parents><probabilities>0.9 0.1 0.4 0.6 0.7 0.3 0.2 0.8</probabilities></cpt></dynamic>
</qelta>
)";

TEST(ValidatorTest, SliceColumnsAreEvidenceAtTheirSlices) {
  VRN_network net;
  ASSERT_EQ(qelta::kOk, net.ReadString(kDynamic, qelta::kExtensionNone));
  VRN_dataset data;
  const char* columns[] = {"A", "P", "P_1", "P_2", "T"};
  for (const char* id : columns) ASSERT_EQ(qelta::kOk, data.addIntVariable(id, -1));
  const std::vector<std::vector<int>> rows = {{0, 0, 0, 1, 1}, {0, 1, 1, 0, 0}, {1, 1, 1, 1, 1},
                                              {1, 0, 0, 0, 0}, {0, 0, 1, 1, 1}, {1, 1, 0, 0, 0}};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    data.AddEmptyRecord();
    for (int c = 0; c < 5; ++c) data.SetInt(c, static_cast<int>(r), rows[r][c]);
  }
  std::vector<VRN_dataMatch> matches;
  std::string error;
  ASSERT_EQ(qelta::kOk, data.MatchNetwork(net, matches, error)) << error;
  const int p = net.FindNode("P"), t = net.FindNode("T");
  VRN_validator v(&data, &net, matches);
  // P's later slices are variables of their own: P cannot be a class, also
  // when matched to a later slice only; the refusal, logged once naming it,
  // changes nothing.
  const VRN_errorLog& log = *net.ErrorLog();
  VRN_validator later(&data, &net, {{p, 2, 3}});
  for (VRN_validator* refusing : {&v, &later}) {
    net.ErrorLog()->Flush();
    EXPECT_EQ(qelta::kErrWrongNodeType, refusing->AddClassNode(p));
    ASSERT_EQ(1, log.GetNumberOfMessages());
    EXPECT_NE(std::string::npos, std::string(log.GetMessage(0)).find("node P is matched to slice"));
  }
  EXPECT_EQ(qelta::kErrNoItem, v.Test(nullptr));
  ASSERT_EQ(qelta::kOk, v.AddClassNode(t));
  ASSERT_EQ(qelta::kOk, v.Test(nullptr));
  std::vector<std::vector<int>> confusion;
  ASSERT_EQ(qelta::kOk, v.GetConfusionMatrix(t, &confusion));
  EXPECT_EQ((std::vector<std::vector<int>>{{3, 0}, {0, 3}}), confusion);
  VRN_dataset result;
  v.GetResultDataSet(&result);
  ASSERT_EQ(8, result.GetVariableCount());
  // T depends on P's last slice only: P_2 = 1 gives T's own row.
  EXPECT_NEAR(0.2, result.GetFloat(5, 0), 1e-6);
  EXPECT_NEAR(0.8, result.GetFloat(6, 0), 1e-6);
  // Oracle: the unrolled network, each slice a node of its own.
  VRN_network unrolled;
  std::vector<int> map;
  ASSERT_EQ(qelta::kOk, net.UnrollNetwork(unrolled, map));
  ASSERT_EQ(3u, map.size());
  const int observed[4] = {unrolled.FindNode("A"), map[0], map[1], map[2]};
  const int target = unrolled.FindNode("T");
  // Each record alone, through the record index: the calibration curve's
  // one point lies at the stored posterior itself.
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    ASSERT_EQ(qelta::kOk, unrolled.ClearAllEvidence());
    for (int c = 0; c < 4; ++c) ASSERT_EQ(qelta::kOk, unrolled.GetNode(observed[c])->Value()->SetEvidence(rows[r][c]));
    ASSERT_EQ(qelta::kOk, unrolled.UpdateBeliefs());
    const VRN_matrix& want = unrolled.GetNode(target)->Value()->GetValue();
    ASSERT_EQ(qelta::kOk, data.SetRecordIndex({r}));
    ASSERT_EQ(qelta::kOk, v.Test(nullptr));
    for (int k = 0; k < 2; ++k) {
      VRN_validator::Points point;
      ASSERT_EQ(qelta::kOk, v.GetCalibrationCurveMA(t, k, 0, &point));
      ASSERT_EQ(1u, point.size());
      EXPECT_NEAR(want.GetItem(k), point[0].first, 1e-9) << "record " << r << ", outcome " << k;
    }
  }
  data.ClearRecordIndex();
  // A slice past the network's refuses the evidence, which fails the record.
  matches.push_back({p, 3, 3});
  VRN_validator beyond(&data, &net, matches);
  ASSERT_EQ(qelta::kOk, beyond.AddClassNode(t));
  net.ErrorLog()->Flush();
  ASSERT_EQ(qelta::kOk, beyond.Test(nullptr));
  EXPECT_EQ(static_cast<int>(rows.size()), log.GetNumberOfMessages());
  EXPECT_NE(std::string::npos, std::string(log.GetMessage(0)).find("SetEvidence(1) on node P at slice 3"));
  EXPECT_EQ(qelta::kOk, beyond.GetConfusionMatrix(t, &confusion));
  EXPECT_EQ((std::vector<std::vector<int>>{{0, 0}, {0, 0}}), confusion);
}

}  // namespace

TEST(ValidatorTest, ClassNodeWithoutOutcomesIsRefusedBeforeTesting) {
  Case g(kRows);
  VRN_validator v(&g.data, &g.net, g.matches);
  ASSERT_EQ(qelta::kOk, v.AddClassNode(g.a));
  ASSERT_EQ(qelta::kOk, g.net.GetNode(g.a)->setNodeType(qelta::kDefEquation));
  EXPECT_EQ(qelta::kErrWrongNodeType, v.Test(nullptr));
  VRN_errorLog* log = g.net.ErrorLog();
  EXPECT_NE(std::string::npos,
            std::string(log->GetMessage(log->GetNumberOfMessages() - 1)).find("class node A has no outcomes"));
  VRN_em em;
  EXPECT_EQ(qelta::kErrWrongNodeType, v.KFold(em, 2, 1, nullptr));
  ASSERT_EQ(qelta::kOk, g.net.DeleteNode(g.a));
  EXPECT_EQ(qelta::kErrOutOfRange, v.Test(nullptr));
}
