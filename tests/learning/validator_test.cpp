// The validator on a hand-computed case, ROC areas against the
// Mann-Whitney statistic, cross-validation and the result data set.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
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

}  // namespace
