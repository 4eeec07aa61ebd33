#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/strings.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "network/network.h"
#include "network/node.h"

namespace {

int AddCpt(VRN_network& net, const char* id, std::vector<std::string> outcomes) {
  const int h = net.AddNode(18, id);
  VRN_stringArray ids;
  for (const std::string& o : outcomes) ids.Add(o.c_str());
  EXPECT_EQ(net.GetNode(h)->Definition()->SetNumberOfOutcomesByIds(ids), 0);
  return h;
}

VRN_dataset TextColumn(const std::string& id, std::vector<std::string> names,
                       std::vector<int> cells) {
  VRN_dataset data;
  EXPECT_EQ(data.addIntVariable(id, -1), 0);
  EXPECT_EQ(data.setStateNames(0, names), 0);
  for (std::size_t r = 0; r < cells.size(); ++r) {
    data.AddEmptyRecord();
    data.SetInt(0, static_cast<int>(r), cells[r]);
  }
  return data;
}

TEST(DataMatchTest, MapsNamedValuesToOutcomes) {
  VRN_network net;
  const int h = AddCpt(net, "A", {"yes", "no"});
  VRN_dataset data = TextColumn("A", {"no", "yes"}, {0, 1, -1});
  ASSERT_EQ(data.addFloatVariable("other", 0.0f), 0);
  std::vector<VRN_dataMatch> matches;
  std::string error;
  ASSERT_EQ(data.MatchNetwork(net, matches, error), 0) << error;
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].node, h);
  EXPECT_EQ(matches[0].column, 0);
  EXPECT_EQ(data.GetInt(0, 0), 1);
  EXPECT_EQ(data.GetInt(0, 1), 0);
  EXPECT_EQ(data.GetInt(0, 2), -1);
  EXPECT_EQ(data.GetVariable(0).stateNames, (std::vector<std::string>{"yes", "no"}));
}

TEST(DataMatchTest, RefusalsCarryTheirMessage) {
  VRN_network net;
  AddCpt(net, "A", {"yes", "no"});
  const struct {
    VRN_dataset data;
    int status;
    const char* error;
  } cases[] = {
      {TextColumn("A", {"yes", "maybe"}, {0, 1}), -4,
       "Dataset column 'A' contains value 'maybe' which doesn't map to any node outcome"},
      {TextColumn("A", {"yes"}, {0, 3}), -4,
       "Dataset column 'A' contains value '3' which doesn't map to any node outcome"},
      {TextColumn("A", {}, {0, 2}), -4,
       "Dataset column 'A' contains value '2' which doesn't map to any node outcome"},
      {TextColumn("B", {}, {0}), -2, "No matches found"},
  };
  for (const auto& c : cases) {
    VRN_dataset data = c.data;
    std::vector<VRN_dataMatch> matches;
    std::string error;
    EXPECT_EQ(data.MatchNetwork(net, matches, error), c.status);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(data.GetInt(0, 0), c.data.GetInt(0, 0)) << "the column stays as it was";
  }
  VRN_dataset floats;
  ASSERT_EQ(floats.addFloatVariable("A", 0.0f), 0);
  std::vector<VRN_dataMatch> matches;
  std::string error;
  EXPECT_EQ(floats.MatchNetwork(net, matches, error), -51);
  EXPECT_EQ(error, "Dataset column 'A' is continous, but matching node is discrete");
}

TEST(DataMatchTest, BuildNetworkGivesOneNodePerColumn) {
  VRN_dataset data;
  ASSERT_EQ(data.addIntVariable("2nd value", -1), 0);
  ASSERT_EQ(data.addIntVariable("xnd_value", -1), 0);  // the repair's clash
  ASSERT_EQ(data.addIntVariable("t", -1), 0);
  ASSERT_EQ(data.setStateNames(2, {"1a", "ok", "S1a"}), 0);
  const int first[] = {3, 7, 7};
  const int third[] = {0, 1, 2};
  for (int r = 0; r < 3; ++r) {
    data.AddEmptyRecord();
    data.SetInt(0, r, first[r]);
    data.SetInt(1, r, r == 0 ? -1 : 1000000000 * (r - 1) - 5);
    data.SetInt(2, r, third[r]);
  }
  VRN_network net;
  ASSERT_GE(net.AddNode(18, "old"), 0);
  data.BuildNetwork(net);
  const char* ids[] = {"xnd_value_2", "xnd_value", "t"};
  for (int c = 0; c < 3; ++c) {
    ASSERT_NE(net.GetNode(c), nullptr);
    EXPECT_STREQ(net.GetNode(c)->GetId(), ids[c]);
    EXPECT_EQ(data.GetVariable(c).id, ids[c]);
  }
  EXPECT_EQ(net.GetNode(3), nullptr);
  EXPECT_STREQ(net.GetNode(0)->Header().GetName(), "2nd value");
  EXPECT_EQ(data.GetVariable(0).stateNames, (std::vector<std::string>{"S3", "S7"}));
  EXPECT_EQ(data.GetInt(0, 0), 0);
  EXPECT_EQ(data.GetInt(0, 2), 1);
  // Values far apart and negative map through their order.
  EXPECT_EQ(data.GetInt(1, 0), -1);
  EXPECT_EQ(data.GetInt(1, 1), 0);
  EXPECT_EQ(data.GetInt(1, 2), 1);
  EXPECT_EQ(data.GetVariable(2).stateNames, (std::vector<std::string>{"S1a_2", "ok", "S1a"}));
  const VRN_idArray* outcomes = net.GetNode(2)->Definition()->GetOutcomesNames();
  ASSERT_EQ(outcomes->GetSize(), 3);
  EXPECT_STREQ(outcomes->Get(0), "S1a_2");
  std::vector<VRN_dataMatch> matches;
  std::string error;
  ASSERT_EQ(data.MatchNetwork(net, matches, error), 0) << error;
  EXPECT_EQ(matches.size(), 3u);
}

}  // namespace
