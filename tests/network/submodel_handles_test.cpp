#include <gtest/gtest.h>

#include "base/arrays.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

// A node keeps the submodel handle it was given, bit 0x8000 or not, and
// counts as inside that submodel wherever nodes are matched to submodels.
TEST(SubmodelHandlesTest, BareSlotIsKeptAndStillMatches) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  const int outer = table->CreateSubmodel(0x8000, "Outer");
  const int inner = table->CreateSubmodel(outer, "Inner");
  VRN_node* node = net.GetNode(net.AddNode(18, "N"));
  ASSERT_EQ(node->SetSubmodel(inner & 0x7FFF), 0);
  EXPECT_EQ(node->GetSubmodel(), inner & 0x7FFF);
  VRN_intArray nodes;
  EXPECT_EQ(table->GetIncludedNodes(inner, nodes), 1);
  EXPECT_EQ(table->GetIncludedNodes(0x8000, nodes), 0);
  ASSERT_EQ(table->DeleteSubmodel(inner), 0);
  EXPECT_EQ(node->GetSubmodel(), outer);
  EXPECT_EQ(table->CheckNewId(outer & 0x7FFF, "Outer"), 0);
  EXPECT_EQ(table->CheckNewId(outer, "N"), -32);
  EXPECT_EQ(table->CheckNewId(0x8000, "Outer"), -32);
}

}  // namespace
