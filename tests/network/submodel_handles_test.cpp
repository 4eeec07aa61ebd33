// Submodel handles: every submodel keeps a handle of its own, so the table
// refuses one more than the handles can tell apart, and a tree that no
// file can hold is refused by the writers at once, however many submodels
// it has.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "io/format.h"
#include "network/network.h"
#include "network/submodel.h"

namespace {

std::string LastMessage(const VRN_network& net) {
  const VRN_errorLog* log = net.ErrorLog();
  const int n = log->GetNumberOfMessages();
  return n > 0 ? log->GetMessage(n - 1) : "";
}

TEST(SubmodelSlotsTest, EverySubmodelKeepsAHandleOfItsOwn) {
  VRN_network net;
  VRN_submodelTable& table = *net.Submodels();
  // A chain: each new submodel inside the last one.
  int parent = qelta::kMainSubmodel;
  std::set<int> handles = {parent};
  for (;;) {
    const int handle = table.CreateSubmodel(parent, nullptr);
    if (handle < 0) {
      EXPECT_EQ(handle, qelta::kErrOutOfRange);
      break;
    }
    ASSERT_TRUE(handles.insert(handle).second) << handle;
    parent = handle;
  }
  ASSERT_EQ(table.GetNumberOfSubmodels(), 32768);
  EXPECT_EQ(handles.size(), 32768u);
  EXPECT_EQ(LastMessage(net),
            "Can't create submodel: a network holds at most 32768 submodels");
  // Each handle names its own record, whose identifier leads back to it.
  const std::string last_id = table.GetSubmodel(parent)->Header().GetId();
  EXPECT_EQ(table.FindSubmodel(last_id.c_str()), parent);
  EXPECT_EQ(table.GetSubmodel(qelta::kMainSubmodel), table.GetSubmodel(0));
  EXPECT_EQ(table.GetParent(qelta::kMainSubmodel), qelta::kSubmodelRootParent);
  int depth = 0;
  EXPECT_EQ(table.GetDeepestSubmodel(&depth), parent);
  EXPECT_EQ(depth, 32767);

  // Refused again with an identifier; a freed slot is taken again.
  const int slots = table.GetSlotCount();
  EXPECT_EQ(table.CreateSubmodel(qelta::kMainSubmodel, "Named"),
            qelta::kErrOutOfRange);
  EXPECT_EQ(table.GetSlotCount(), slots);
  EXPECT_LT(table.FindSubmodel("Named"), 0);
  const int freed = qelta::kSubmodelBit | 100;
  ASSERT_EQ(table.DeleteSubmodel(freed), qelta::kOk);
  EXPECT_EQ(table.CreateSubmodel(qelta::kMainSubmodel, "Named"), freed);
  EXPECT_LT(table.CreateSubmodel(qelta::kMainSubmodel, nullptr), 0);

  // The chain is far deeper than any file holds: the writers refuse it
  // without walking it level by level.
  std::string text;
  EXPECT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kErrFileIo);
  EXPECT_TRUE(text.empty());
  EXPECT_NE(LastMessage(net).find("nested too deeply: 32766 levels below "
                                  "the main submodel, a file holds at most "
                                  "4088"),
            std::string::npos)
      << LastMessage(net);
}

TEST(SubmodelSlotsTest, DeepestSubmodelFollowsMovesUpAndDown) {
  VRN_network net;
  VRN_submodelTable& table = *net.Submodels();
  int depth = -1;
  EXPECT_EQ(table.GetDeepestSubmodel(&depth), qelta::kMainSubmodel);
  EXPECT_EQ(depth, 0);
  const int a = table.CreateSubmodel(qelta::kMainSubmodel, "A");
  const int b = table.CreateSubmodel(a, "B");
  const int c = table.CreateSubmodel(qelta::kMainSubmodel, "C");
  const int d = table.CreateSubmodel(c, "D");
  EXPECT_EQ(table.GetDeepestSubmodel(&depth), b);
  EXPECT_EQ(depth, 2);
  // A lower slot under a higher one: A under D gives B depth 4.
  ASSERT_EQ(table.SetSubmodel(a, d), qelta::kOk);
  EXPECT_EQ(table.GetDeepestSubmodel(&depth), b);
  EXPECT_EQ(depth, 4);
  ASSERT_EQ(table.DeleteSubmodel(c), qelta::kOk);
  EXPECT_EQ(table.GetDeepestSubmodel(&depth), b);
  EXPECT_EQ(depth, 3);
}

}  // namespace
