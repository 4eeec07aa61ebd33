#include <gtest/gtest.h>

#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

constexpr int kCostLayer = 1;

VRN_intArray Array(const std::vector<int>& v) {
  VRN_intArray a;
  for (int x : v) a.Add(x);
  return a;
}

// Adds nodes "N0" .. "N<count-1>" (handles 0 .. count-1).
void AddNodes(VRN_network& net, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string id = "N" + std::to_string(i);
    ASSERT_EQ(net.AddNode(kCpt, id.c_str()), i);
  }
}

TEST(GraphTest, LongestPathCountsArcs) {
  VRN_network net;
  EXPECT_EQ(net.GetLongestPathLength(), 0);
  AddNodes(net, 5);
  EXPECT_EQ(net.GetLongestPathLength(), 0);
  ASSERT_EQ(net.AddArc(0, 1), 0);
  ASSERT_EQ(net.AddArc(1, 2), 0);
  EXPECT_EQ(net.GetLongestPathLength(), 2);
  // A shortcut does not shorten it; a longer side branch lengthens it.
  ASSERT_EQ(net.AddArc(0, 2), 0);
  EXPECT_EQ(net.GetLongestPathLength(), 2);
  ASSERT_EQ(net.AddArc(4, 3), 0);
  ASSERT_EQ(net.AddArc(3, 0), 0);
  EXPECT_EQ(net.GetLongestPathLength(), 4);
  ASSERT_EQ(net.DeleteNode(1), 0);
  EXPECT_EQ(net.GetLongestPathLength(), 3);  // 4 -> 3 -> 0 -> 2
}

TEST(GraphTest, SinglyConnectedIgnoresArcDirections) {
  VRN_network net;
  EXPECT_TRUE(net.IsSinglyConnected());
  AddNodes(net, 5);
  ASSERT_EQ(net.AddArc(0, 1), 0);
  ASSERT_EQ(net.AddArc(0, 2), 0);
  ASSERT_EQ(net.AddArc(1, 3), 0);
  EXPECT_TRUE(net.IsSinglyConnected());
  ASSERT_EQ(net.AddArc(2, 3), 0);  // diamond: a cycle without direction
  EXPECT_FALSE(net.IsSinglyConnected());
  ASSERT_EQ(net.RemoveArc(2, 3), 0);
  EXPECT_TRUE(net.IsSinglyConnected());
  // Two components joined by one arc stay a polytree; a second join does not.
  ASSERT_EQ(net.AddArc(4, 3), 0);
  EXPECT_TRUE(net.IsSinglyConnected());
  ASSERT_EQ(net.AddArc(4, 2), 0);
  EXPECT_FALSE(net.IsSinglyConnected());
  ASSERT_EQ(net.DeleteNode(0), 0);
  EXPECT_TRUE(net.IsSinglyConnected());
  ASSERT_EQ(net.AddArc(1, 2, kCostLayer), 0);  // cost arcs do not count
  EXPECT_TRUE(net.IsSinglyConnected());
}

TEST(GraphTest, DecisionOrderWithoutDecisionsIsTheTopologicalOrder) {
  VRN_network net;
  VRN_intArray order = Array({9, 9, 9});  // emptied first
  EXPECT_EQ(net.GetDecisionOrder(order), 0);
  EXPECT_TRUE(order.IsEmpty());
  AddNodes(net, 5);
  ASSERT_EQ(net.AddArc(4, 1), 0);
  ASSERT_EQ(net.AddArc(1, 0), 0);
  ASSERT_EQ(net.DeleteNode(2), 0);
  EXPECT_EQ(net.GetDecisionOrder(order), 0);
  EXPECT_EQ(Ints(order), (std::vector<int>{4, 1, 0, 3}));
  // Deleted and unknown handles go, a handle listed twice stays twice.
  VRN_intArray list = Array({0, 3, 2, -1, 77, 1, 0, 4});
  EXPECT_EQ(net.SortByDecisionOrder(list), 0);
  EXPECT_EQ(Ints(list), (std::vector<int>{4, 1, 0, 0, 3}));
}

TEST(GraphTest, SortNodesByOrderFollowsCostArcsOnly) {
  VRN_network net;
  AddNodes(net, 4);
  // Cost arcs 3 -> 1 -> 0; an ordinary arc 0 -> 2 has no say here.
  ASSERT_EQ(net.AddArc(1, 0, kCostLayer), 0);
  ASSERT_EQ(net.AddArc(3, 1, kCostLayer), 0);
  ASSERT_EQ(net.AddArc(0, 2), 0);
  VRN_intArray list = Array({2, 0, 1, 3, 8});
  EXPECT_EQ(net.SortNodesByOrder(list), 0);
  EXPECT_EQ(Ints(list), (std::vector<int>{3, 1, 0, 2}));
  // Cost arcs may close a cycle (3 -> 1 -> 0 -> 3): the walk from 0 stops
  // when it meets 0 again.
  ASSERT_EQ(net.AddArc(0, 3, kCostLayer), 0);
  EXPECT_EQ(net.SortNodesByOrder(list), 0);
  EXPECT_EQ(Ints(list), (std::vector<int>{3, 1, 0, 2}));
  list = Array({0, 1});
  ASSERT_EQ(net.RemoveArc(1, 0, kCostLayer), 0);  // now 0 -> 3 -> 1
  EXPECT_EQ(net.SortNodesByOrder(list), 0);
  EXPECT_EQ(Ints(list), (std::vector<int>{0, 1}));
}

TEST(GraphTest, HasTemporalNodesSeesLiveNodesOnly) {
  VRN_network net;
  EXPECT_FALSE(net.HasTemporalNodes());
  AddNodes(net, 3);
  EXPECT_FALSE(net.HasTemporalNodes());
  net.GetNode(1)->SetTemporalTypeRaw(3);
  EXPECT_TRUE(net.HasTemporalNodes());
  ASSERT_EQ(net.DeleteNode(1), 0);
  EXPECT_FALSE(net.HasTemporalNodes());
  net.GetNode(2)->SetTemporalTypeRaw(1);
  EXPECT_TRUE(net.HasTemporalNodes());
}

TEST(GraphTest, MakeTableForNodesAppendsToTheCache) {
  VRN_network net;
  AddNodes(net, 3);
  ASSERT_EQ(net.GetNode(0)->Definition()->SetNumberOfOutcomes(3), 0);
  ASSERT_EQ(net.GetNode(2)->Definition()->SetNumberOfOutcomes(4), 0);
  // A refusal creates no cache.
  EXPECT_EQ(net.MakeTableForNodes(std::vector<int>(40, 0)), nullptr);
  ASSERT_EQ(net.TableCache(), nullptr);

  VRN_matrix* table = net.MakeTableForNodes({2, 0, 1});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(Ints(table->GetDimensions()), (std::vector<int>{4, 3, 2}));
  EXPECT_EQ(table->GetItemCount(), 24);
  ASSERT_NE(net.TableCache(), nullptr);
  ASSERT_EQ(net.TableCache()->size(), 1u);
  EXPECT_EQ(net.TableCache()->back().nodes, (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(&net.TableCache()->back().table, table);

  table = net.MakeTableForNodes({1});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(Ints(table->GetDimensions()), (std::vector<int>{2}));
  EXPECT_EQ(net.TableCache()->size(), 2u);

  // Refusals add nothing.
  ASSERT_EQ(net.DeleteNode(1), 0);
  EXPECT_EQ(net.MakeTableForNodes({}), nullptr);
  EXPECT_EQ(net.MakeTableForNodes({0, 1}), nullptr);
  EXPECT_EQ(net.MakeTableForNodes({-3}), nullptr);
  EXPECT_EQ(net.MakeTableForNodes(std::vector<int>(40, 2)), nullptr);
  EXPECT_EQ(net.TableCache()->size(), 2u);
}

}  // namespace
