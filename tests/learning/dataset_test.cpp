#include "learning/dataset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(DatasetTest, VariablesRecordsAndMissingValues) {
  VRN_dataset data;
  EXPECT_EQ(data.GetRecordCount(), 0);
  ASSERT_EQ(data.addIntVariable("a", -1), 0);
  EXPECT_EQ(data.GetNumberOfRecords(), 0);
  EXPECT_EQ(data.addIntVariable("a", -1), -32);
  EXPECT_EQ(data.addIntVariable("", -1), 0);
  EXPECT_EQ(data.addIntVariable("", -1), 0);  // empty ids may repeat
  data.AddEmptyRecord();
  data.AddEmptyRecord();
  ASSERT_EQ(data.SetRecordIndex({1}), 0);
  // A new variable fills every stored record, index or not.
  ASSERT_EQ(data.addFloatVariable("f", kNaN), 0);
  EXPECT_EQ(data.GetNumberOfRecords(), 2);
  EXPECT_EQ(data.GetRecordCount(), 1);
  EXPECT_TRUE(data.IsMissing(3, 0));
  data.AddEmptyRecord();  // drops the index
  EXPECT_FALSE(data.HasRecordIndex());
  EXPECT_EQ(data.GetRecordCount(), 3);
  EXPECT_EQ(data.SetRecordIndex({0, 3}), -2);  // beyond the stored records

  data.SetFloat(3, 0, std::numeric_limits<float>::infinity());
  EXPECT_TRUE(data.IsMissing(3, 0));  // NaN marker: every non-finite value
  ASSERT_EQ(data.addFloatVariable("z", 0.0f), 0);
  data.SetFloat(4, 1, kNaN);
  EXPECT_FALSE(data.IsMissing(4, 1));  // finite marker: only equal cells
  EXPECT_TRUE(data.IsMissing(4, 0));

  data.SetInt(0, 1, 5);
  EXPECT_TRUE(data.HasMissingValues(0));
  EXPECT_TRUE(data.IsConstant(0));
  data.SetInt(0, 2, 6);
  EXPECT_FALSE(data.IsConstant(0));
  EXPECT_EQ(data.SetVariableId(0, "a"), 0);
  EXPECT_EQ(data.SetVariableId(0, "f"), -32);
  EXPECT_EQ(data.SetVariableId(9, "q"), -2);
  EXPECT_EQ(data.setStateNames(3, {"x"}), -4);
  EXPECT_TRUE(data.GetVariable(3).stateNames.empty());

  VRN_dataset copy = data;  // deep
  copy.SetInt(0, 1, 7);
  EXPECT_EQ(data.GetInt(0, 1), 5);
}

}  // namespace
