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

// The depth of submodel S<kLimit>.
int DeepestDepth(const VRN_network& net) {
  const VRN_submodelTable* table = net.Submodels();
  int depth = 0;
  for (int at = table->FindSubmodel(("S" + std::to_string(kLimit)).c_str());
       at != qelta::kMainSubmodel && at >= 0; at = table->GetParent(at)) {
    ++depth;
  }
  return depth;
}

TEST(DeepSubmodelTest, TreesAtTheLimitRoundTripAndDeeperOnesAreRefused) {
  VRN_network net;
  int parent = qelta::kMainSubmodel;
  for (int k = 1; k <= kLimit; ++k) {
    parent = net.Submodels()->CreateSubmodel(parent,
                                             ("S" + std::to_string(k)).c_str());
    ASSERT_GE(parent, 0);
  }
  ASSERT_EQ(net.AddNode(qelta::kDefCpt, "A"), 0);
  for (bool deeper : {false, true}) {
    SCOPED_TRACE(deeper ? "one level past the limit" : "at the limit");
    if (deeper) {
      ASSERT_GE(net.Submodels()->CreateSubmodel(parent, "Deeper"), 0);
    }
    std::string xml;
    TempPath file(".vrn");
    ASSERT_EQ(net.WriteString(xml, qelta::kExtensionLayout), qelta::kOk);
    ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
    // At most a kilobyte per submodel, whatever its depth.
    EXPECT_LT(xml.size(), kLimit * 1000u);
    EXPECT_LT(qelta_test::ReadWholeFile(file.path()).size(), kLimit * 1000u);
    VRN_network from_xml, from_text;
    ASSERT_EQ(from_text.AddNode(qelta::kDefCpt, "keep"), 0);
    const int xml_rc = from_xml.ReadString(xml.c_str(), qelta::kExtensionLayout);
    const int text_rc = from_text.ReadFile(file.path(), 0, 0);
    if (!deeper) {
      ASSERT_EQ(xml_rc, qelta::kOk) << LogText(from_xml);
      ASSERT_EQ(text_rc, qelta::kOk) << LogText(from_text);
      EXPECT_EQ(DeepestDepth(from_xml), kLimit);
      EXPECT_EQ(DeepestDepth(from_text), kLimit);
      continue;
    }
    EXPECT_LT(xml_rc, 0);
    EXPECT_NE(LogText(from_xml).find("nested too deeply"), std::string::npos)
        << LogText(from_xml);
    EXPECT_EQ(text_rc, qelta::kErrFileIo);
    EXPECT_NE(LogText(from_text).find(
                  "ERROR: Submodel 'Deeper' nested too deeply"),
              std::string::npos)
        << LogText(from_text);
    EXPECT_EQ(from_text.GetNumberOfNodes(), 1);
    EXPECT_EQ(from_text.Submodels()->GetNumberOfSubmodels(), 1);
  }
}

}  // namespace
