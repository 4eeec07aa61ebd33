// The native text format leaves multi-attribute utility nodes out.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "base/status.h"
#include "network/network.h"

namespace {

TEST(VrnMauTest, MauNodesAreLeftOutAndTheRestIsRead) {
  const std::string path = ::testing::TempDir() + "vrn_mau_test.vrn";
  {
    std::ofstream out(path);
    out << "net N\n{\n node U\n  {\n   TYPE = TABLE;\n   DEFINITION =\n"
           "    {\n     UTILITIES = (3);\n    };\n  };\n node M\n  {\n"
           "   TYPE = MAU;\n   PARENTS = (U);\n   DEFINITION =\n    {\n"
           "     WEIGHTS = (2);\n    };\n  };\n};\n";
  }
  VRN_network net;
  EXPECT_EQ(qelta::kOk, net.ReadFile(path.c_str(), 0, 0));
  EXPECT_GE(net.FindNode("U"), 0);
  EXPECT_LT(net.FindNode("M"), 0);
  std::remove(path.c_str());
}

}  // namespace
