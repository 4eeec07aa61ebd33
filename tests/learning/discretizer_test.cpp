#include "learning/discretizer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "learning/dataset.h"

namespace {

TEST(DiscretizerTest, EdgesAndBinsOfEachMethod) {
  const std::vector<int> zero_to_nine = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::vector<int> spread = {1, 2, 3, 10};
  const struct {
    const std::vector<int>* values;
    int method;
    int bins;
    std::vector<double> edges;
    std::vector<int> bin_of;
  } cases[] = {
      {&spread, 0, 2, {6.5}, {0, 0, 0, 1}},
      {&zero_to_nine, 1, 2, {4.5}, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}},
      {&zero_to_nine, 2, 3, {3, 6}, {0, 0, 0, 1, 1, 1, 2, 2, 2, 2}},
  };
  for (const auto& c : cases) {
    std::vector<double> edges;
    std::vector<int> bins;
    ASSERT_EQ(VRN_Discretizer(*c.values).Discretize(c.method, c.bins, &edges, &bins), 0);
    EXPECT_EQ(edges, c.edges) << c.method;
    EXPECT_EQ(bins, c.bin_of) << c.method;
  }
  const std::vector<float> floats = {0.5f, 0.5f, 2.0f};
  std::vector<double> edges;
  ASSERT_EQ(VRN_Discretizer(floats).Discretize(1, 2, &edges, nullptr), 0);
  EXPECT_EQ(edges, std::vector<double>{1.25});
}

TEST(DiscretizerTest, RefusalsChangeNothing) {
  const std::vector<int> one = {4};
  const std::vector<int> same = {4, 4, 4};
  const std::vector<int> two = {1, 2};
  const struct {
    const std::vector<int>* values;
    int method;
    int bins;
    int status;
  } cases[] = {
      {&one, 0, 2, -3}, {&two, 0, 1, -19}, {&two, 3, 2, -30},
      {&two, 0, 3, -2}, {&same, 1, 2, -2}, {&same, 2, 2, -2},
  };
  for (const auto& c : cases) {
    std::vector<double> edges = {42};
    EXPECT_EQ(VRN_Discretizer(*c.values).Discretize(c.method, c.bins, &edges, nullptr), c.status);
    EXPECT_EQ(edges, std::vector<double>{42});
  }
  // Grouping 200,000 distinct values into two bins stays quick.
  std::vector<int> many(200000);
  for (int i = 0; i < 200000; ++i) many[static_cast<std::size_t>(i)] = i * 3 + (i % 7);
  std::vector<double> edges;
  EXPECT_EQ(VRN_Discretizer(many).Discretize(0, 2, &edges, nullptr), 0);
}

TEST(DiscretizerTest, DataSetGetsBinsAndStateNames) {
  VRN_dataset data;
  ASSERT_EQ(data.addFloatVariable("x", std::numeric_limits<float>::quiet_NaN()), 0);
  const float values[] = {0.0f, 0.5f, 1.0f, 1.25f, 2.0f, std::numeric_limits<float>::quiet_NaN()};
  for (int r = 0; r < 6; ++r) {
    data.AddEmptyRecord();
    data.SetFloat(0, r, values[r]);
  }
  std::vector<double> edges;
  EXPECT_EQ(data.Discretize(0, 1, 70000, "x", &edges), -2);  // too many bins
  EXPECT_FALSE(data.GetVariable(0).discrete);
  ASSERT_EQ(data.Discretize(0, 2, 3, "x", &edges), 0);
  EXPECT_EQ(edges, (std::vector<double>{0.5, 1.25}));
  EXPECT_TRUE(data.GetVariable(0).discrete);
  EXPECT_EQ(data.GetVariable(0).stateNames,
            (std::vector<std::string>{"x1_below_0_5", "x2_0_5_1_25", "x3_1_25_up"}));
  std::vector<int> cells;
  for (int r = 0; r < 6; ++r) cells.push_back(data.GetInt(0, r));
  EXPECT_EQ(cells, (std::vector<int>{0, 1, 1, 2, 2, -1}));

  VRN_dataset negative;
  ASSERT_EQ(negative.addIntVariable("n", -1), 0);
  for (int r = 0; r < 3; ++r) {
    negative.AddEmptyRecord();
    negative.SetInt(0, r, -4 + 2 * r);
  }
  ASSERT_EQ(negative.Discretize(0, 0, 2, "p", &edges), 0);
  EXPECT_EQ(negative.GetVariable(0).stateNames[0], "p1_below__1");
  EXPECT_EQ(negative.Discretize(0, 0, 3, "", &edges), -2);  // two values left
}

}  // namespace
