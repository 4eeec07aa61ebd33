#include "network/layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/special_values.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;
constexpr double kPi = 3.14159265358979323846;

using Point = std::pair<int, int>;

int Add(VRN_network& net, const std::string& id) {
  return net.AddNode(kCpt, id.c_str());
}

Point At(const VRN_network& net, int h) {
  const VRN_screenInfo& info = net.GetNode(h)->ScreenInfo();
  return {info.x, info.y};
}

Point Size(const VRN_network& net, int h) {
  const VRN_screenInfo& info = net.GetNode(h)->ScreenInfo();
  return {info.width, info.height};
}

void SetSize(VRN_network& net, int h, int width, int height) {
  net.GetNode(h)->ScreenInfo().width = width;
  net.GetNode(h)->ScreenInfo().height = height;
}

// Smallest x and smallest y over the live nodes.
Point Corner(const VRN_network& net) {
  Point corner{INT_MAX, INT_MAX};
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    corner.first = std::min(corner.first, At(net, h).first);
    corner.second = std::min(corner.second, At(net, h).second);
  }
  return corner;
}

// Node j of a ring of count nodes with radius r, before the final shift:
// x = (int)(cos(a) r), y = (int)(sin(a) r 48 / 72) with a = 2 pi j / count.
Point RingPoint(int j, int count, int r) {
  const double a = 2 * kPi * j / count;
  return {static_cast<int>(std::cos(a) * r),
          static_cast<int>(std::sin(a) * r * 48 / 72)};
}

// A centre with `count` children, in handle order after the centre.
std::vector<int> Star(VRN_network& net, int count) {
  const int centre = Add(net, "C");
  std::vector<int> leaves;
  for (int i = 0; i < count; ++i) {
    leaves.push_back(Add(net, "L" + std::to_string(i)));
    EXPECT_EQ(net.AddArc(centre, leaves.back()), 0);
  }
  return leaves;
}

TEST(LayoutTest, CircleLayoutRefusesABadCentre) {
  VRN_network net;
  std::vector<int> leaves = Star(net, 2);
  net.GetNode(leaves[0])->ScreenInfo().x = 5;
  EXPECT_EQ(net.CircleLayout(-1), -2);
  EXPECT_EQ(net.CircleLayout(3), -2);
  ASSERT_EQ(net.DeleteNode(leaves[1]), 0);
  EXPECT_EQ(net.CircleLayout(leaves[1]), -2);
  EXPECT_EQ(At(net, leaves[0]), Point(5, 0));  // nothing moved
}

TEST(LayoutTest, CircleLayoutSmallRingAndGridByHand) {
  // Four leaves share one ring of at least 8 places: radius
  // (int)(42 / sin(pi / 8)) = (int)109.75 = 109. Unshifted ring points:
  // (109, 0), (0, (int)72.67 = 72), (-109, 0), (0, -72). Smallest x -109,
  // smallest y -72, so everything moves by (155, 106).
  // Three isolated nodes: 2 columns; x = column * 84 - 109, y =
  // (row * 4032 + 4800) / 72 + 72 + 48: rows at 186 and 242.
  VRN_network net;
  const int isolated0 = Add(net, "I0");
  std::vector<int> leaves = Star(net, 4);
  const int centre = net.FindNode("C");
  const int isolated1 = Add(net, "I1");
  const int isolated2 = Add(net, "I2");
  const int leaf_colour = net.GetNode(leaves[0])->ScreenInfo().interior_color;

  ASSERT_EQ(net.CircleLayout(centre), 0);
  EXPECT_EQ(At(net, leaves[0]), Point(264, 106));
  EXPECT_EQ(At(net, leaves[1]), Point(155, 178));
  EXPECT_EQ(At(net, leaves[2]), Point(46, 106));
  EXPECT_EQ(At(net, leaves[3]), Point(155, 34));
  EXPECT_EQ(At(net, centre), Point(155, 106));
  EXPECT_EQ(At(net, isolated0), Point(46, 292));
  EXPECT_EQ(At(net, isolated1), Point(130, 292));
  EXPECT_EQ(At(net, isolated2), Point(46, 348));

  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    EXPECT_EQ(Size(net, h), Point(72, 48)) << h;
  }
  EXPECT_EQ(net.GetNode(centre)->ScreenInfo().interior_color, 0x80FFFF);
  EXPECT_EQ(net.GetNode(isolated0)->ScreenInfo().interior_color, 0xFFFFFF);
  EXPECT_EQ(net.GetNode(leaves[2])->ScreenInfo().interior_color, leaf_colour);
}

// Expects leaves on the rings given as (node count, radius), in order,
// shifted so that the smallest x and y over rings and centre are 46, 34.
void ExpectRings(const VRN_network& net, const std::vector<int>& leaves,
                 const std::vector<Point>& rings) {
  std::vector<Point> expected;
  for (const auto& [count, radius] : rings) {
    for (int j = 0; j < count; ++j) {
      expected.push_back(RingPoint(j, count, radius));
    }
  }
  ASSERT_EQ(expected.size(), leaves.size());
  Point low{0, 0};  // the centre
  for (const Point& p : expected) {
    low = {std::min(low.first, p.first), std::min(low.second, p.second)};
  }
  for (size_t j = 0; j < leaves.size(); ++j) {
    EXPECT_EQ(At(net, leaves[j]), Point(expected[j].first - low.first + 46,
                                        expected[j].second - low.second + 34))
        << j;
  }
  EXPECT_EQ(Corner(net), Point(46, 34));
}

TEST(LayoutTest, CircleLayoutPlansRingsForTwentySixNodes) {
  // f = 8 needs 3 rings (42 places), f = 9 3 rings (45), f = 10 exactly 2
  // rings of 10 and 16 (26). First radius (int)(42 / sin(pi / 10)) =
  // (int)135.9 = 135, the second 135 + 84. Isolated nodes go below.
  VRN_network net;
  std::vector<int> leaves = Star(net, 26);
  for (int i = 0; i < 7; ++i) Add(net, "I" + std::to_string(i));
  ASSERT_EQ(net.CircleLayout(net.FindNode("C")), 0);
  ExpectRings(net, leaves, {{10, 135}, {16, 219}});
}

TEST(LayoutTest, LayoutPlacesLayersAsColumns) {
  // a -> b, a -> d; c has no arcs. Layers: a (0, 0), c (0, 1), b (1, 0),
  // d (1, 1). Cell 80 x 50, spacing 30: x = 40 + 10 + column * 104,
  // y = 25 + 10 + row * 65.
  VRN_network net;
  const int a = Add(net, "a");
  const int b = Add(net, "b");
  const int c = Add(net, "c");
  const int d = Add(net, "d");
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(a, d), 0);
  SetSize(net, a, 80, 40);
  SetSize(net, b, 60, 50);
  SetSize(net, c, 20, 10);
  SetSize(net, d, 20, 10);

  net.Layout(nullptr);
  EXPECT_EQ(At(net, a), Point(50, 35));
  EXPECT_EQ(At(net, c), Point(50, 100));
  EXPECT_EQ(At(net, b), Point(154, 35));
  EXPECT_EQ(At(net, d), Point(154, 100));
  EXPECT_EQ(Size(net, a), Point(80, 40));  // sizes stay
  EXPECT_EQ(Size(net, c), Point(20, 10));

  VRN_layoutOptions transposed;
  transposed.transposed = 1;
  net.Layout(&transposed);
  EXPECT_EQ(At(net, a), Point(50, 35));
  EXPECT_EQ(At(net, c), Point(154, 35));
  EXPECT_EQ(At(net, b), Point(50, 100));
  EXPECT_EQ(At(net, d), Point(154, 100));
}

TEST(LayoutTest, LayoutWithFixedSizeTruncatesTheStep) {
  // Cell 75 x 45, spacing 30: step 130 * 75 / 100 = 97 (97.5 cut),
  // 130 * 45 / 100 = 58 (58.5 cut); origins 37 + 10 and 22 + 10.
  // Layers of the chain a -> b -> c with a -> c: 0, 1, 2.
  VRN_network net;
  const int hole = Add(net, "gone");
  const int a = Add(net, "a");
  const int b = Add(net, "b");
  const int c = Add(net, "c");
  ASSERT_EQ(net.AddArc(a, c), 0);
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  ASSERT_EQ(net.DeleteNode(hole), 0);
  SetSize(net, a, 500, 500);  // ignored with a fixed size

  VRN_layoutOptions options;
  options.fixedSize = 1;
  options.width = 75;
  options.height = 45;
  net.Layout(&options);
  EXPECT_EQ(At(net, a), Point(47, 32));
  EXPECT_EQ(At(net, b), Point(144, 32));
  EXPECT_EQ(At(net, c), Point(241, 32));
  for (int h : {a, b, c}) EXPECT_EQ(Size(net, h), Point(75, 45)) << h;

  // Spacing 0 packs cells edge to edge. The new node takes the free
  // handle 0, so it comes first in layer 0.
  const int e = Add(net, "e");
  ASSERT_EQ(e, hole);
  options.spacing = 0;
  options.transposed = 1;
  net.Layout(&options);
  EXPECT_EQ(At(net, e), Point(47, 32));
  EXPECT_EQ(At(net, a), Point(47 + 75, 32));
  EXPECT_EQ(At(net, c), Point(47, 32 + 90));
}

TEST(LayoutTest, LayoutSurvivesExtremeOptions) {
  VRN_network net;
  const int a = Add(net, "a");
  const int b = Add(net, "b");
  ASSERT_EQ(net.AddArc(a, b), 0);
  VRN_layoutOptions options;
  options.fixedSize = 1;
  options.width = INT_MAX;
  options.height = INT_MAX;
  options.spacing = INT_MAX;
  net.Layout(&options);
  EXPECT_EQ(At(net, b).first, INT_MAX);  // clamped, not wrapped
}

}  // namespace
