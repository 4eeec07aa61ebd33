#include "network/submodel.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

constexpr int kMain = 32768;

TEST(SubmodelTest, IdentifiersAreSharedWithNodesAndGeneratedPastTakenOnes) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  ASSERT_GE(net.AddNode(18, "Sub1"), 0);
  EXPECT_EQ(table->CreateSubmodel(kMain, "Sub1"), -32);  // a node's
  EXPECT_EQ(table->CreateSubmodel(kMain, "1st box"), -30);
  EXPECT_EQ(table->CreateSubmodel(12345, "X"), -2);
  const int first = table->CreateSubmodel(kMain, nullptr);
  EXPECT_EQ(first, 32769);
  EXPECT_STREQ(table->GetSubmodel(first)->Header().GetId(), "Sub2");
  EXPECT_EQ(table->CreateSubmodel(kMain, "Sub2"), -2);
  EXPECT_EQ(net.AddNode(18, "Sub2"), -2);
  ASSERT_EQ(table->DeleteSubmodel(first), 0);
  const int named = table->CreateSubmodel(kMain, "Other");
  EXPECT_EQ(named, 32769);  // slot reused
  ASSERT_EQ(table->GetSubmodel(named)->Header().SetId("Sub2"), 0);
  const int next = table->CreateSubmodel(kMain, nullptr);
  EXPECT_STREQ(table->GetSubmodel(next)->Header().GetId(), "Sub3");
  // Through the headers too, the network's (the main submodel's) as well,
  // in the original and in a copy; a refusal keeps the identifier.
  VRN_network copy(net, 0);
  for (VRN_network* n : {&net, &copy}) {
    VRN_submodelTable* t = n->Submodels();
    EXPECT_EQ(n->Header()->SetId("Sub3"), -32);
    EXPECT_EQ(t->GetSubmodel(next)->Header().SetId("Sub2"), -32);
    EXPECT_EQ(t->GetSubmodel(next)->Header().SetId(n->Header()->GetId()), -32);
    EXPECT_STREQ(t->GetSubmodel(next)->Header().GetId(), "Sub3");
    EXPECT_STREQ(n->Header()->GetId(), "Unnamed");
    EXPECT_EQ(t->GetSubmodel(next)->Header().SetId("Sub3"), 0);  // its own
  }
}

TEST(SubmodelTest, DeletingMovesContentsToTheParent) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  int outer = table->CreateSubmodel(kMain, "Outer");
  int inner = table->CreateSubmodel(outer, "Inner");
  int deepest = table->CreateSubmodel(inner, "Deepest");
  int node = net.AddNode(18, "N");
  ASSERT_EQ(net.GetNode(node)->SetSubmodel(inner), 0);

  EXPECT_EQ(table->DeleteSubmodel(kMain), -2);
  ASSERT_EQ(table->DeleteSubmodel(inner), 0);
  EXPECT_EQ(table->GetParent(deepest), outer);
  EXPECT_EQ(net.GetNode(node)->GetSubmodel(), outer);
  EXPECT_EQ(table->GetParent(inner), -2);
  EXPECT_EQ(table->DeleteSubmodel(inner), -2);
  EXPECT_EQ(table->GetSubmodel(inner), nullptr);
  EXPECT_EQ(table->GetNextSubmodel(inner), -2);

  VRN_intArray nodes;
  EXPECT_EQ(table->GetIncludedNodes(outer, nodes), 1);
  EXPECT_EQ(Ints(nodes), std::vector<int>{node});
  EXPECT_EQ(table->GetIncludedNodes(inner, nodes), -2);
}

TEST(SubmodelTest, MovesThatWouldMakeACycleAreRefused) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  int a = table->CreateSubmodel(kMain, "A");
  int b = table->CreateSubmodel(a, "B");
  int c = table->CreateSubmodel(b, "C");
  EXPECT_EQ(table->SetSubmodel(a, c), -2);
  EXPECT_EQ(table->SetSubmodel(a, a), -2);
  EXPECT_EQ(table->SetSubmodel(kMain, a), -2);
  EXPECT_EQ(table->GetParent(a), kMain);
  EXPECT_EQ(table->IsAncestor(c, a), 1);
  EXPECT_EQ(table->IsAncestor(a, c), 0);
  EXPECT_EQ(table->IsAncestor(c, c), 0);
  EXPECT_EQ(table->IsAncestor(c, 40000), -2);
  ASSERT_EQ(table->SetSubmodel(c, kMain), 0);
  EXPECT_EQ(table->GetParent(c), kMain);
}

TEST(SubmodelTest, QueriesWalkTheTree) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  int a = table->CreateSubmodel(kMain, "A");
  int b = table->CreateSubmodel(kMain, "B");
  int a1 = table->CreateSubmodel(a, "A1");
  int b1 = table->CreateSubmodel(b, "B1");
  ASSERT_EQ(table->SetSubmodel(a1, b1), 0);
  VRN_intArray out;
  table->GetDescendants(out);
  EXPECT_EQ(Ints(out), (std::vector<int>{kMain, a, b, b1, a1}));
  out.Flush();
  EXPECT_EQ(table->GetIncludedSubmodels(kMain, out), 2);
  EXPECT_EQ(Ints(out), (std::vector<int>{a, b}));
  EXPECT_EQ(table->FindSubmodel("B1"), b1);
  EXPECT_EQ(table->FindSubmodel(nullptr), -2);
  EXPECT_EQ(table->FindSubmodel("none"), -2);
  EXPECT_TRUE(table->IsIdUsed("A1"));
}

TEST(SubmodelTest, NodeSubmodelById) {
  VRN_network net;
  int s = net.Submodels()->CreateSubmodel(kMain, "Box");
  VRN_node* node = net.GetNode(net.AddNode(18, "N"));
  EXPECT_EQ(node->SetSubmodelById(nullptr), -2);
  EXPECT_EQ(node->SetSubmodelById("Nowhere"), -30);
  VRN_errorLog* log = net.ErrorLog();
  ASSERT_EQ(log->GetNumberOfMessages(), 1);
  EXPECT_STREQ(log->GetMessage(0), "Unknown submodel");
  EXPECT_EQ(node->SetSubmodelById("Box"), 0);
  EXPECT_EQ(node->GetSubmodel(), s);
  EXPECT_EQ(node->SetSubmodel(40000), -2);
  EXPECT_EQ(node->SetSubmodel(0), 0);  // bare slot index of the main one
  EXPECT_EQ(node->GetSubmodel(), 0);   // kept as given
}

TEST(SubmodelTest, CopyKeepsFreeSlots) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  int a = table->CreateSubmodel(kMain, "A");
  int b = table->CreateSubmodel(a, "B");
  ASSERT_EQ(table->DeleteSubmodel(a), 0);
  VRN_network copy(net, 0);
  VRN_submodelTable* other = copy.Submodels();
  EXPECT_EQ(other->GetSlotCount(), table->GetSlotCount());
  EXPECT_EQ(other->GetSubmodel(a), nullptr);
  EXPECT_EQ(other->GetParent(b), kMain);
  EXPECT_NE(other->GetSubmodel(b), table->GetSubmodel(b));
  EXPECT_EQ(other->CreateSubmodel(kMain, nullptr), a);
}

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
