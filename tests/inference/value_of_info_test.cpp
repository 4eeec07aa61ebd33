#include "inference/value_of_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error_log.h"
#include "influence_test_util.h"

namespace {

using idtest::ExpectNear;

std::vector<double> Values(const VRN_valueOfInfo& voi) {
  const VRN_matrix& m = voi.GetValues();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

std::vector<int> Ints(const VRN_intArray& a) {
  return std::vector<int>(a.begin(), a.end());
}

std::string WriteXml(VRN_network& net) {
  std::string out;
  EXPECT_EQ(0, net.WriteString(out, -1));
  return out;
}

TEST(ValueOfInfoTest, PublishedValuesWithEitherSolverCode) {
  for (int code : {0, 1}) {
    SCOPED_TRACE(code);
    {  // Oil, Drill and a utility over them.
      VRN_network net;
      const int oil = idtest::Add(net, qelta::kDefCpt, "Oil", {"dry", "wet", "soaking"});
      const int drill = idtest::Add(net, qelta::kDefDecision, "Drill");
      const int u = idtest::Add(net, qelta::kDefUtility, "U");
      ASSERT_EQ(0, net.AddArc(drill, u));
      ASSERT_EQ(0, net.AddArc(oil, u));
      idtest::Table(net, oil, {0.5, 0.3, 0.2});
      idtest::Table(net, u, {-70, 50, 200, 0, 0, 0});
      ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
      VRN_valueOfInfo voi(&net);
      ASSERT_EQ(0, voi.AddNode(oil));
      ASSERT_EQ(0, voi.SetDecision(drill));
      ASSERT_EQ(0, voi.Update());
      ExpectNear({35}, Values(voi), 1e-9, "Oil before Drill");
      EXPECT_TRUE(Ints(voi.GetIndexingNodes()).empty());
    }
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(idtest::OilPath("xvrn").c_str(), 0, 0));
    ASSERT_EQ(code, net.SetDefaultIDAlgorithm(code));
    const std::string before = WriteXml(net);
    const int test = net.FindNode("Test"), seismic = net.FindNode("Seismic");
    const int drill = net.FindNode("Drill"), oil = net.FindNode("Oil");
    VRN_valueOfInfo voi(&net);
    EXPECT_EQ((std::vector<int>{test, drill}), Ints(voi.GetDecisions()));
    EXPECT_EQ((std::vector<int>{test, seismic, drill}), Ints(voi.GetOrderedNodes()));
    ASSERT_EQ(0, voi.AddNode(oil));
    ASSERT_EQ(0, voi.SetPointOfView(test));  // the decision follows
    ASSERT_EQ(0, voi.SetDecision(drill));
    ASSERT_EQ(0, voi.Update());
    ExpectNear({32.5}, Values(voi), 280e-9, "from Test");
    ASSERT_EQ(0, voi.SetPointOfView(drill));
    ASSERT_EQ(0, voi.Update());
    EXPECT_EQ((std::vector<int>{test, seismic}), Ints(voi.GetIndexingNodes()));
    ExpectNear({175.0 / 12, 30, 850.0 / 41, 35, 35, 35}, Values(voi), 280e-9,
               "from Drill");
    EXPECT_EQ(before, WriteXml(net));

    idtest::Umbrella u;
    ASSERT_EQ(code, u.net.SetDefaultIDAlgorithm(code));
    VRN_valueOfInfo umbrella(&u.net);
    ASSERT_EQ(0, umbrella.AddNode(u.weather));
    ASSERT_EQ(0, umbrella.SetDecision(u.umbrella));
    ASSERT_EQ(0, umbrella.Update());
    EXPECT_EQ((std::vector<int>{u.forecast}), Ints(umbrella.GetIndexingNodes()));
    ExpectNear({630.0 / 107, 1050.0 / 43, 112.0 / 5}, Values(umbrella), 1e-7,
               "umbrella");
    // Without observations nothing is gained.
    ASSERT_EQ(0, umbrella.RemoveNode(u.weather));
    ASSERT_EQ(0, umbrella.Update());
    ExpectNear({0, 0, 0}, Values(umbrella), 0, "nothing observed");
  }
}

TEST(ValueOfInfoTest, RefusalsAndFailures) {
  idtest::Umbrella u;
  VRN_valueOfInfo voi(&u.net);
  EXPECT_EQ(-1, voi.GetDecision());
  EXPECT_EQ(-1, voi.GetPointOfView());
  EXPECT_EQ(-2, voi.Update());  // nothing chosen yet
  EXPECT_STREQ("Value of information needs a decision and a point of view",
               u.net.ErrorLog()->GetMessage(u.net.ErrorLog()->GetNumberOfMessages() - 1));
  ASSERT_EQ(0, voi.AddNode(u.weather));
  EXPECT_EQ(-2, voi.AddNode(u.weather));
  EXPECT_EQ(-2, voi.AddNode(99));
  EXPECT_EQ(-2, voi.AddNode(-1));
  EXPECT_EQ(-2, voi.RemoveNode(u.forecast));
  EXPECT_EQ(-2, voi.SetDecision(u.forecast));  // not a decision
  EXPECT_EQ(-2, voi.SetPointOfView(u.utility));  // after the last decision
  ASSERT_EQ(0, voi.SetPointOfView(u.forecast));   // decision := Forecast
  EXPECT_EQ(u.forecast, voi.GetDecision());
  EXPECT_EQ(-2, voi.Update());  // Forecast is no decision
  ASSERT_EQ(0, voi.SetDecision(u.umbrella));
  ASSERT_EQ(0, voi.AddNode(u.utility));  // a utility cannot be observed
  EXPECT_NE(0, voi.Update());
  EXPECT_STREQ("Node [Utility] cannot be observed before node [Umbrella]",
               u.net.ErrorLog()->GetMessage(u.net.ErrorLog()->GetNumberOfMessages() - 1));

  VRN_network plain;  // no utility node
  const int d = idtest::Add(plain, qelta::kDefDecision, "D");
  VRN_valueOfInfo none(&plain);
  ASSERT_EQ(0, none.SetDecision(d));
  EXPECT_EQ(d, none.GetPointOfView());
  EXPECT_EQ(-2, none.Update());
  EXPECT_STREQ("Value of information can't be computed without utility nodes",
               plain.ErrorLog()->GetMessage(plain.ErrorLog()->GetNumberOfMessages() - 1));
  none.Clear();
  EXPECT_EQ(nullptr, none.GetNetwork());
  EXPECT_EQ(-2, none.Update());
}

}  // namespace
