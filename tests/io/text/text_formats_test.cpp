// What every text format shares: a file that cannot be made is a failure
// with the output's message, and nothing is left behind.
#include <gtest/gtest.h>

#include <string>

#include "base/status.h"
#include "io/text/text_network_util.h"
#include "network/network.h"

namespace {

TEST(TextFormatsTest, WriteFailsForAFileThatCannotBeMade) {
  for (const char* name : {"x.net", "x.dsc", "x.xml03"}) {
    VRN_network network;
    ASSERT_GE(network.AddNode(qelta::kDefCpt, "A"), 0);
    const std::string path = std::string("/nonexistent/dir/") + name;
    EXPECT_EQ(network.WriteFile(path.c_str(), 0, 0), qelta::kErrFileWrite)
        << name;
    EXPECT_NE(qelta_test::LogText(network).find("OPEN FILE FAILED"),
              std::string::npos)
        << name;
  }
}

}  // namespace
