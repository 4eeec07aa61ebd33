#include <gtest/gtest.h>

#include <climits>

#include "base/status.h"
#include "network/network.h"
#include "network/submodel.h"
#include "network_helpers.h"

namespace {

using namespace qelta_test;

// Walking on from any int, the last one included, ends the walk instead of
// wrapping round to a negative index.
TEST(HandleWalkTest, NextAfterAnyHandleNeverOverflows) {
  VRN_network empty;
  VRN_network net;
  const int a = net.AddNode(kCpt, "A");
  const int b = net.AddNode(kCpt, "B");
  EXPECT_EQ(net.GetNextNode(a), b);
  for (int handle : {INT_MAX, INT_MAX - 1, INT_MIN, -1, b, b + 1}) {
    EXPECT_LT(empty.GetNextNode(handle), 0) << handle;
    EXPECT_LT(net.GetNextNode(handle), 0) << handle;
    EXPECT_LT(net.Submodels()->GetNextSubmodel(handle), 0) << handle;
  }
}

}  // namespace
