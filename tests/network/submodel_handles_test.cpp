#include <gtest/gtest.h>

#include <string>

#include "base/arrays.h"
#include "base/status.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"
#include "network_helpers.h"

namespace {

using qelta_test::kCpt;

constexpr int kMain = 0x8000;

// A node keeps the handle it was given, with or without bit 0x8000, and
// still counts as inside that submodel everywhere.
TEST(SubmodelHandlesTest, BareSlotIsKeptAndStillMatches) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  const int outer = table->CreateSubmodel(kMain, "Outer");
  const int inner = table->CreateSubmodel(outer, "Inner");
  const int node = net.AddNode(kCpt, "N");
  const int bare = inner & ~kMain;
  ASSERT_EQ(net.GetNode(node)->SetSubmodel(bare), 0);
  EXPECT_EQ(net.GetNode(node)->GetSubmodel(), bare);

  VRN_intArray nodes;
  EXPECT_EQ(table->GetIncludedNodes(inner, nodes), 1);
  nodes.Flush();
  EXPECT_EQ(table->GetIncludedNodes(kMain, nodes), 0);

  ASSERT_EQ(table->DeleteSubmodel(inner), 0);
  EXPECT_EQ(net.GetNode(node)->GetSubmodel(), outer);

  // Round trip through the file keeps the node in its submodel.
  ASSERT_EQ(net.GetNode(node)->SetSubmodel(outer & ~kMain), 0);
  std::string text;
  ASSERT_EQ(net.WriteString(text, 0), 0);
  VRN_network copy;
  ASSERT_EQ(copy.ReadString(text.c_str(), 0), 0) << text;
  const int loaded = copy.Submodels()->FindSubmodel("Outer");
  ASSERT_GE(loaded, 0);
  EXPECT_EQ(copy.GetNode(copy.FindNode("N"))->GetSubmodel() & ~kMain,
            loaded & ~kMain);
}

// Node and submodel identifiers share one namespace.
TEST(SubmodelHandlesTest, CheckNewIdGuardsTheSharedNamespace) {
  VRN_network net;
  VRN_submodelTable* table = net.Submodels();
  const int box = table->CreateSubmodel(kMain, "Box");
  ASSERT_GE(net.AddNode(kCpt, "N"), 0);
  struct Case {
    int handle;
    const char* id;
    int expected;
  };
  const Case cases[] = {
      {box, "Box", qelta::kOk},            // its own identifier
      {box & ~kMain, "Box", qelta::kOk},   // bare slot names the same one
      {box, "Fresh", qelta::kOk},
      {box, "N", qelta::kErrDuplicatedIdentifier},
      {kMain, "Box", qelta::kErrDuplicatedIdentifier},
      {kMain, "N", qelta::kErrDuplicatedIdentifier},
      {box, "Unnamed", qelta::kErrDuplicatedIdentifier},
      {box, "1x", qelta::kErrIllegalIdentifier},
      {box, nullptr, qelta::kErrIllegalIdentifier},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(table->CheckNewId(c.handle, c.id), c.expected)
        << (c.id != nullptr ? c.id : "null") << " for " << c.handle;
  }
  EXPECT_STREQ(table->GetSubmodel(box)->Header().GetId(), "Box");
}

}  // namespace
