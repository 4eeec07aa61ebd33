// Checks of the Java binding that no native method of the network uses yet:
// the slice and the parent-index checks.
#include "jni/checks.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "network/network.h"

namespace {

// The message of the std::invalid_argument that call throws; "" when it
// throws nothing.
template <typename Call>
std::string RefusalOf(Call call) {
  try {
    call();
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(ChecksTest, SlicesAreRefusedOutsideTheSliceCount) {
  VRN_network net;
  EXPECT_EQ("Slice cannot be negative",
            RefusalOf([&] { ValidateSlice(net, -1); }));
  // A network without temporal part has no slices at all.
  EXPECT_EQ("Slice index must be less than slice count, which is set to 0",
            RefusalOf([&] { ValidateSlice(net, 0); }));
  EXPECT_EQ("Slice index must be less than slice count, which is set to 0",
            RefusalOf([&] { ValidateSlice(net, 3); }));
}

TEST(ChecksTest, ParentIndicesAreRefusedOutsideTheParentList) {
  VRN_network net;
  const int a = net.AddNode(18, "a");
  const int b = net.AddNode(18, "b");
  const int child = net.AddNode(18, "Child");
  ASSERT_EQ(0, net.AddArc(a, child));
  ASSERT_EQ(0, net.AddArc(b, child));
  EXPECT_EQ("", RefusalOf([&] { ValidateParentIndex(net, child, 0); }));
  EXPECT_EQ("", RefusalOf([&] { ValidateParentIndex(net, child, 1); }));
  EXPECT_EQ("Invalid parent index 2 for node Child",
            RefusalOf([&] { ValidateParentIndex(net, child, 2); }));
  EXPECT_EQ("Invalid parent index -1 for node Child",
            RefusalOf([&] { ValidateParentIndex(net, child, -1); }));
  EXPECT_EQ("Invalid parent index 0 for node a",
            RefusalOf([&] { ValidateParentIndex(net, a, 0); }));
}

}  // namespace
