#include <gtest/gtest.h>

#include <string>

#include "base/special_values.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

constexpr int kCpt = 18;

// Every rectangle of non-negative size comes back as written, negative
// coordinates and odd sizes included, after any number of saves.
TEST(ZantuRectangleTest, RectanglesSurviveRepeatedSaves) {
  struct Rect {
    int x, y, width, height;
  };
  const Rect rects[] = {{-19, 10, 1, 10},  {0, 0, 0, 0},     {-1, -1, 3, 5},
                        {-7, 4, 2, 9},     {100, -50, 77, 0}, {5, 5, 76, 36},
                        {-2000000000, 2000000000, 2147483647, 1}};
  VRN_network net;
  for (int i = 0; i < static_cast<int>(std::size(rects)); ++i) {
    const int h = net.AddNode(kCpt, ("N" + std::to_string(i)).c_str());
    ASSERT_GE(h, 0);
    VRN_screenInfo& info = net.GetNode(h)->ScreenInfo();
    info.x = rects[i].x;
    info.y = rects[i].y;
    info.width = rects[i].width;
    info.height = rects[i].height;
  }
  VRN_network copy(net);
  for (int round = 0; round < 3; ++round) {
    std::string text;
    ASSERT_EQ(copy.WriteString(text, 0), 0);
    ASSERT_EQ(copy.ReadString(text.c_str(), 0), 0) << text;
  }
  for (int i = 0; i < static_cast<int>(std::size(rects)); ++i) {
    const VRN_screenInfo& info =
        copy.GetNode(copy.FindNode(("N" + std::to_string(i)).c_str()))
            ->ScreenInfo();
    EXPECT_EQ(info.x, rects[i].x) << i;
    EXPECT_EQ(info.y, rects[i].y) << i;
    EXPECT_EQ(info.width, rects[i].width) << i;
    EXPECT_EQ(info.height, rects[i].height) << i;
  }
}

}  // namespace
