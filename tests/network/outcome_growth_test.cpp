#include <gtest/gtest.h>

#include <string>

#include "base/arrays.h"
#include "base/status.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

// Outcomes are added one at a time, each step reallocating the table; a
// final size beyond any table is refused before the first step, so a
// hostile outcome list neither eats memory nor changes the node.
TEST(OutcomeGrowthTest, ListTooLargeForTheTableIsRefusedBeforeAnyChange) {
  VRN_network net;
  const int child = net.AddNode(kCpt, "C");
  for (int p = 0; p < 20; ++p) {
    const int parent = net.AddNode(kCpt, ("P" + std::to_string(p)).c_str());
    ASSERT_EQ(net.AddArc(parent, child), qelta::kOk);
  }
  const std::vector<int> sizes = Sizes(net, child);

  VRN_idArray ids;
  VRN_intArray mapping;
  for (int i = 0; i < 1024; ++i) {
    ASSERT_EQ(ids.Add(("o" + std::to_string(i)).c_str()), qelta::kOk);
    mapping.Add(i < 2 ? i : -1);
  }
  EXPECT_EQ(Def(net, child)->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping),
            qelta::kErrOutOfMemory);
  EXPECT_EQ(Def(net, child)->GetNumberOfOutcomes(), 2);
  EXPECT_EQ(Sizes(net, child), sizes);
}

}  // namespace
