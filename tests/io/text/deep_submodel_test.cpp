// Submodel trees: every reader refuses one nested deeper than a network
// file may hold, and one at the limit is written in text that grows with
// its depth and reads back.
#include <gtest/gtest.h>

#include <string>

#include "base/status.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/submodel.h"

namespace {

using qelta_test::LogText;
using qelta_test::TempPath;

const int kLimit = qelta::kMaxSubmodelDepth;

std::string S(int k) { return "S" + std::to_string(k); }

// The depth of submodel S<kLimit>.
int DeepestDepth(const VRN_network& net) {
  const VRN_submodelTable* table = net.Submodels();
  int depth = 0;
  for (int at = table->FindSubmodel(S(kLimit).c_str());
       at != qelta::kMainSubmodel && at >= 0; at = table->GetParent(at)) {
    ++depth;
  }
  return depth;
}

TEST(DeepSubmodelTest, NativeTextRefusesTreesDeeperThanTheLimit) {
  // Submodels S1 .. S<depth>, each inside the one before.
  std::string text = "net N\n{\n";
  for (int k = 1; k <= kLimit + 1; ++k) {
    text += " submodel " + S(k) + " { " +
            (k > 1 ? "PARENT = " + S(k - 1) + "; " : "") + "};\n";
    if (k != kLimit) continue;
    VRN_network net;
    TempPath fits(".vrn", text + "};\n");
    ASSERT_EQ(net.ReadFile(fits.path(), 0, 0), qelta::kOk) << LogText(net);
    EXPECT_EQ(DeepestDepth(net), kLimit);
  }
  VRN_network kept;
  ASSERT_EQ(kept.AddNode(qelta::kDefCpt, "keep"), 0);
  TempPath deeper(".vrn", text + "};\n");
  EXPECT_EQ(kept.ReadFile(deeper.path(), 0, 0), qelta::kErrFileIo);
  EXPECT_NE(LogText(kept).find("ERROR: Submodel 'S4089' nested too deeply"),
            std::string::npos)
      << LogText(kept);
  EXPECT_EQ(kept.GetNumberOfNodes(), 1);
  EXPECT_EQ(kept.Submodels()->GetNumberOfSubmodels(), 1);
}

TEST(DeepSubmodelTest, TreesAtTheLimitWriteLinearTextThatReadsBack) {
  VRN_network net;
  int parent = qelta::kMainSubmodel;
  for (int k = 1; k <= kLimit; ++k) {
    parent = net.Submodels()->CreateSubmodel(parent, S(k).c_str());
    ASSERT_GE(parent, 0);
  }
  ASSERT_EQ(net.AddNode(qelta::kDefCpt, "A"), 0);
  std::string text;
  ASSERT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk);
  // At most a kilobyte per submodel, whatever its depth.
  EXPECT_LT(text.size(), static_cast<std::size_t>(kLimit) * 1000);
  VRN_network back, again, refused;
  ASSERT_EQ(back.ReadString(text.c_str(), qelta::kExtensionLayout), qelta::kOk)
      << LogText(back);
  EXPECT_EQ(DeepestDepth(back), kLimit);
  TempPath file(".vrn");  // through the native text as well
  ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
  ASSERT_EQ(again.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(again);
  EXPECT_EQ(DeepestDepth(again), kLimit);

  // One level more is refused by the XML file as by the text.
  ASSERT_GE(net.Submodels()->CreateSubmodel(parent, "Deeper"), 0);
  ASSERT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk);
  EXPECT_LT(refused.ReadString(text.c_str(), qelta::kExtensionLayout), 0);
  EXPECT_NE(LogText(refused).find("nested too deeply"), std::string::npos)
      << LogText(refused);
}

}  // namespace
