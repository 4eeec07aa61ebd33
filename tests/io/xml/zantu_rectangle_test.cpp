#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/network.h"
#include "network/node.h"

namespace {

// Rectangles of non-negative size read back as written after repeated saves:
// negative coordinates, odd sizes and bounds beyond the int range included.
TEST(ZantuRectangleTest, RectanglesSurviveRepeatedSaves) {
  const int rects[][4] = {{-19, 10, 1, 10}, {-1, -1, 3, 5}, {100, -50, 77, 0},
                          {-2000000000, 2000000000, 2147483647, 1}};
  VRN_network net;
  for (const auto& r : rects) {
    VRN_screenInfo& info = net.GetNode(net.AddNode(18, nullptr))->ScreenInfo();
    info.x = r[0], info.y = r[1], info.width = r[2], info.height = r[3];
  }
  for (int round = 0; round < 3; ++round) {
    std::string text;
    ASSERT_EQ(net.WriteString(text, 0), 0);
    ASSERT_EQ(net.ReadString(text.c_str(), 0), 0) << text;
  }
  for (int h = 0; h < 4; ++h) {
    const VRN_screenInfo& info = net.GetNode(h)->ScreenInfo();
    EXPECT_EQ((std::vector<int>{info.x, info.y, info.width, info.height}),
              (std::vector<int>(rects[h], rects[h] + 4)))
        << h;
  }
}

}  // namespace
