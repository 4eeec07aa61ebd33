// Small influence diagrams shared by the solver and value-of-information
// tests.
#ifndef QELTA_TESTS_INFERENCE_INFLUENCE_TEST_UTIL_H_
#define QELTA_TESTS_INFERENCE_INFLUENCE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace idtest {

inline int Add(VRN_network& net, int type, const char* id,
               const std::vector<std::string>& outcomes = {}) {
  const int h = net.AddNode(type, id);
  EXPECT_GE(h, 0) << id;
  if (!outcomes.empty()) {
    VRN_stringArray names;
    for (const std::string& o : outcomes) names.Add(o.c_str());
    EXPECT_EQ(0, net.GetNode(h)->Definition()->SetNumberOfOutcomesByIds(names));
  }
  return h;
}

inline void Table(VRN_network& net, int h, const std::vector<double>& items) {
  EXPECT_EQ(0, net.GetNode(h)->Definition()->SetDefinitionFromVector(items));
}

inline std::vector<double> Value(VRN_network& net, int h) {
  const VRN_matrix& m = net.GetNode(h)->Value()->GetValue();
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

inline std::vector<int> Indexing(VRN_network& net, int h) {
  const VRN_intArray& a = net.GetNode(h)->Value()->GetIndexingParents();
  return std::vector<int>(a.begin(), a.end());
}

inline void ExpectNear(const std::vector<double>& want,
                       const std::vector<double>& got, double tol,
                       const char* what) {
  ASSERT_EQ(want.size(), got.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(want[i], got[i], tol) << what << " item " << i;
  }
}

// The umbrella diagram: Weather -> Forecast -> Umbrella, utility over
// Weather and Umbrella.
struct Umbrella {
  Umbrella() {
    weather = Add(net, qelta::kDefCpt, "Weather", {"norain", "rain"});
    forecast = Add(net, qelta::kDefCpt, "Forecast", {"sunny", "cloudy", "rainy"});
    umbrella = Add(net, qelta::kDefDecision, "Umbrella", {"take", "leave"});
    utility = Add(net, qelta::kDefUtility, "Utility");
    EXPECT_EQ(0, net.AddArc(weather, forecast));
    EXPECT_EQ(0, net.AddArc(forecast, umbrella));
    EXPECT_EQ(0, net.AddArc(weather, utility));
    EXPECT_EQ(0, net.AddArc(umbrella, utility));
    Table(net, weather, {0.7, 0.3});
    Table(net, forecast, {0.7, 0.2, 0.1, 0.15, 0.25, 0.6});
    Table(net, utility, {20, 100, 70, 0});
  }
  VRN_network net;
  int weather, forecast, umbrella, utility;
};

inline std::string OilPath(const char* ext) {
  return std::string(QELTA_TEST_DATA) + "/decisions/oil_wildcatter." + ext;
}

}  // namespace idtest

#endif  // QELTA_TESTS_INFERENCE_INFLUENCE_TEST_UTIL_H_
