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

// Native text with submodels S1 .. S<depth>, each inside the one before.
std::string NestedSubmodels(int depth) {
  std::string text = "net N\n{\n";
  for (int k = 1; k <= depth; ++k) {
    text += " submodel S" + std::to_string(k) + " { ";
    if (k > 1) text += "PARENT = S" + std::to_string(k - 1) + "; ";
    text += "};\n";
  }
  return text + "};\n";
}

int Depth(const VRN_network& net, const char* id) {
  const VRN_submodelTable* table = net.Submodels();
  int depth = 0;
  for (int at = table->FindSubmodel(id); at != qelta::kMainSubmodel && at >= 0;
       at = table->GetParent(at)) {
    ++depth;
  }
  return depth;
}

TEST(DeepSubmodelTest, NativeTextRefusesTreesDeeperThanTheLimit) {
  const int limit = qelta::kMaxSubmodelDepth;
  VRN_network net;
  TempPath fits(".vrn", NestedSubmodels(limit));
  ASSERT_EQ(net.ReadFile(fits.path(), 0, 0), qelta::kOk) << LogText(net);
  EXPECT_EQ(Depth(net, ("S" + std::to_string(limit)).c_str()), limit);

  VRN_network kept;
  ASSERT_EQ(kept.AddNode(qelta::kDefCpt, "keep"), 0);
  TempPath deeper(".vrn", NestedSubmodels(limit + 1));
  EXPECT_EQ(kept.ReadFile(deeper.path(), 0, 0), qelta::kErrFileIo);
  EXPECT_NE(LogText(kept).find("ERROR: Submodel 'S4089' nested too deeply"),
            std::string::npos)
      << LogText(kept);
  EXPECT_EQ(kept.GetNumberOfNodes(), 1);
  EXPECT_EQ(kept.Submodels()->GetNumberOfSubmodels(), 1);
}

TEST(DeepSubmodelTest, TreesAtTheLimitWriteLinearTextThatReadsBack) {
  const int limit = qelta::kMaxSubmodelDepth;
  VRN_network net;
  int parent = qelta::kMainSubmodel;
  for (int i = 1; i <= limit; ++i) {
    parent = net.Submodels()->CreateSubmodel(parent,
                                             ("S" + std::to_string(i)).c_str());
    ASSERT_GE(parent, 0);
  }
  ASSERT_EQ(net.AddNode(qelta::kDefCpt, "A"), 0);
  std::string text;
  ASSERT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk);
  // At most a kilobyte per submodel, whatever its depth.
  EXPECT_LT(text.size(), static_cast<std::size_t>(limit) * 1000);
  VRN_network back;
  ASSERT_EQ(back.ReadString(text.c_str(), qelta::kExtensionLayout), qelta::kOk)
      << LogText(back);
  EXPECT_EQ(Depth(back, ("S" + std::to_string(limit)).c_str()), limit);

  // Through the native text as well.
  TempPath file(".vrn");
  ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
  VRN_network again;
  ASSERT_EQ(again.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(again);
  EXPECT_EQ(Depth(again, ("S" + std::to_string(limit)).c_str()), limit);

  // One level more is refused by the XML file as by the text.
  ASSERT_GE(net.Submodels()->CreateSubmodel(parent, "Deeper"), 0);
  ASSERT_EQ(net.WriteString(text, qelta::kExtensionLayout), qelta::kOk);
  VRN_network refused;
  EXPECT_LT(refused.ReadString(text.c_str(), qelta::kExtensionLayout), 0);
  EXPECT_NE(LogText(refused).find("nested too deeply"), std::string::npos)
      << LogText(refused);
}

}  // namespace
