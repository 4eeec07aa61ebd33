// Matching continuous data columns to equation nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "network/network.h"

namespace {

TEST(DataMatchEquationTest, ContinuousColumnsMatchEquationNodesOnly) {
  VRN_dataset data;
  ASSERT_EQ(0, data.addFloatVariable("x", -1.0f));
  VRN_network net;
  const int x = net.AddNode(qelta::kDefEquation, "x");
  ASSERT_GE(x, 0);
  std::vector<VRN_dataMatch> matches;
  std::string error;
  ASSERT_EQ(qelta::kOk, data.MatchNetwork(net, matches, error)) << error;
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(x, matches[0].node);
  EXPECT_EQ(0, matches[0].column);

  // The same column against a discrete node of that name is refused.
  VRN_network discrete;
  ASSERT_GE(discrete.AddNode(qelta::kDefCpt, "x"), 0);
  EXPECT_EQ(qelta::kErrWrongNodeType, data.MatchNetwork(discrete, matches, error));
  EXPECT_EQ("Dataset column 'x' is continous, but matching node is discrete", error);
}

}  // namespace
