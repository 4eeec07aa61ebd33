#include "learning/node_layers.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<int, int>>;

TEST(NodeLayersTest, PassesPlaceReadyNodesInIndexOrder) {
  // Roots 1, 3, 4; root 3 frees 5 before 1 frees 0, yet pass 1 lists 0
  // first; 2 waits for 0 and for 3 and so lands in pass 2.
  Pairs layers;
  ASSERT_TRUE(VRN_ComputeNodeLayers(
      6, {{3, 5}, {3, 0}, {1, 0}, {0, 2}, {3, 2}}, layers));
  EXPECT_EQ(layers, (Pairs{{1, 0}, {0, 0}, {2, 0}, {0, 1}, {0, 2}, {1, 1}}));
}

TEST(NodeLayersTest, CycleLeavesItsNodesAndTheirDescendantsUnplaced) {
  // 1 -> 2 -> 3 -> 1 is a cycle, 3 -> 4 hangs below it, 0 is free.
  Pairs layers;
  EXPECT_FALSE(VRN_ComputeNodeLayers(
      5, {{1, 2}, {2, 3}, {3, 1}, {3, 4}, {0, 4}}, layers));
  EXPECT_EQ(layers, (Pairs{{0, 0}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}));
  EXPECT_FALSE(VRN_ComputeNodeLayers(2, {{1, 1}}, layers));  // self arc
  EXPECT_EQ(layers, (Pairs{{0, 0}, {-1, -1}}));
}

TEST(NodeLayersTest, RepeatedPairsAndBadIndexesPlaceNothing) {
  const std::vector<Pairs> refused = {
      {{0, 1}, {1, 2}, {0, 1}}, {{2, 0}, {0, 2}}, {{0, 3}}, {{-1, 0}}};
  for (const Pairs& arcs : refused) {
    Pairs layers;
    EXPECT_FALSE(VRN_ComputeNodeLayers(3, arcs, layers));
    EXPECT_EQ(layers, (Pairs(3, {-1, -1})));
  }
  Pairs layers{{7, 7}};
  EXPECT_FALSE(VRN_ComputeNodeLayers(-1, {}, layers));
  EXPECT_TRUE(layers.empty());
}

}  // namespace
