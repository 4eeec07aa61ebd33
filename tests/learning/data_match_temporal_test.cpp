// Matching data set columns to the slices of plate nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/strings.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "network/network.h"
#include "network/node.h"

namespace {

TEST(DataMatchTemporalTest, SliceColumnsMatchPlateCopiesBelowTheCount) {
  VRN_network net;
  const int a = net.AddNode(18, "A");
  VRN_stringArray ids;
  ids.Add("yes");
  ids.Add("no");
  ASSERT_EQ(net.GetNode(a)->Definition()->SetNumberOfOutcomesByIds(ids), 0);
  ASSERT_EQ(net.setNodeTemporalType(a, 3), 0);
  ASSERT_EQ(net.SetNumberOfSlices(3), 0);
  VRN_dataset data;
  const char* columns[] = {"A", "A_2", "A_3", "A_x", "A_0", "A_1"};
  for (int c = 0; c < 6; ++c) {
    ASSERT_EQ(data.addIntVariable(columns[c], -1), 0);
    ASSERT_EQ(data.setStateNames(c, {"no", "yes"}), 0);
  }
  data.AddEmptyRecord();
  for (int c = 0; c < 6; ++c) data.SetInt(c, 0, 0);
  std::vector<VRN_dataMatch> matches;
  std::string error;
  ASSERT_EQ(data.MatchNetwork(net, matches, error), 0) << error;
  ASSERT_EQ(matches.size(), 3u);
  const int expected[3][2] = {{0, 0}, {1, 2}, {5, 1}};  // column, slice
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(matches[i].node, a);
    EXPECT_EQ(matches[i].column, expected[i][0]);
    EXPECT_EQ(matches[i].slice, expected[i][1]);
    EXPECT_EQ(data.GetInt(expected[i][0], 0), 1) << "'no' is outcome 1";
  }
  EXPECT_EQ(data.GetInt(2, 0), 0) << "slice 3 is beyond the count";
}

}  // namespace
