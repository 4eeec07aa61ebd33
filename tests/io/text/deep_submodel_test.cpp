// Submodel trees: one at the deepest a network file may hold is written in
// text that grows with its depth and reads back; every writer refuses a
// deeper one, and every reader refuses a file that holds one.
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
const std::string kDeepest = "S" + std::to_string(kLimit);

// The depth of submodel S<kLimit>.
int DeepestDepth(const VRN_network& net) {
  const VRN_submodelTable* table = net.Submodels();
  int depth = 0;
  for (int at = table->FindSubmodel(kDeepest.c_str());
       at != qelta::kMainSubmodel && at >= 0; at = table->GetParent(at)) {
    ++depth;
  }
  return depth;
}

// The XML text with submodel Deeper's element (a child of the main one,
// without children) moved into the element of the deepest submodel.
std::string MovedIntoDeepestXml(std::string xml) {
  const std::size_t start = xml.find("<submodel id=\"Deeper\">");
  const std::string close = "</submodel>";
  const std::size_t end = xml.find(close, start) + close.size();
  const std::string element = xml.substr(start, end - start);
  xml.erase(start, end - start);
  const std::size_t deepest = xml.find("<submodel id=\"" + kDeepest + "\">");
  xml.insert(xml.find(close, deepest), element + "\n");
  return xml;
}

// Native text of a chain of submodels S1 ... S<kLimit>, then Deeper.
std::string DeeperChainVrn() {
  std::string text = "net N\n{\n";
  for (int k = 1; k <= kLimit + 1; ++k) {
    text += " submodel " +
            (k <= kLimit ? "S" + std::to_string(k) : std::string("Deeper")) +
            " { ";
    if (k > 1) text += "PARENT = S" + std::to_string(k - 1) + "; ";
    text += "};\n";
  }
  return text + "};\n";
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
  const int deeper = net.Submodels()->CreateSubmodel(qelta::kMainSubmodel,
                                                     "Deeper");
  ASSERT_GE(deeper, 0);

  // At the limit: written in text that grows linearly, read back whole.
  std::string xml;
  TempPath file(".vrn");
  ASSERT_EQ(net.WriteString(xml, qelta::kExtensionLayout), qelta::kOk);
  ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
  const std::string text = qelta_test::ReadWholeFile(file.path());
  // At most a kilobyte per submodel, whatever its depth.
  EXPECT_LT(xml.size(), kLimit * 1000u);
  EXPECT_LT(text.size(), kLimit * 1000u);
  {
    VRN_network from_xml, from_text;
    ASSERT_EQ(from_xml.ReadString(xml.c_str(), qelta::kExtensionLayout),
              qelta::kOk)
        << LogText(from_xml);
    ASSERT_EQ(from_text.ReadFile(file.path(), 0, 0), qelta::kOk)
        << LogText(from_text);
    EXPECT_EQ(DeepestDepth(from_xml), kLimit);
    EXPECT_EQ(DeepestDepth(from_text), kLimit);
  }

  // Files that hold a tree one level deeper, whoever wrote them: every
  // reader refuses them, and the reading network keeps nothing of them.
  {
    VRN_network from_xml, from_text;
    ASSERT_EQ(from_text.AddNode(qelta::kDefCpt, "keep"), 0);
    TempPath deep(".vrn", DeeperChainVrn());
    EXPECT_LT(from_xml.ReadString(MovedIntoDeepestXml(xml).c_str(),
                                  qelta::kExtensionLayout),
              0);
    EXPECT_NE(LogText(from_xml).find("nested too deeply"), std::string::npos)
        << LogText(from_xml);
    EXPECT_EQ(from_text.ReadFile(deep.path(), 0, 0), qelta::kErrFileIo);
    EXPECT_NE(LogText(from_text).find(
                  "ERROR: Submodel 'Deeper' nested too deeply"),
              std::string::npos)
        << LogText(from_text);
    EXPECT_EQ(from_text.GetNumberOfNodes(), 1);
    EXPECT_EQ(from_text.Submodels()->GetNumberOfSubmodels(), 1);
  }

  // The network holding such a tree: every writer that keeps the tree
  // refuses it, naming the submodel, and writes nothing.
  ASSERT_EQ(net.Submodels()->SetSubmodel(
                deeper, net.Submodels()->FindSubmodel(kDeepest.c_str())),
            qelta::kOk);
  for (const char* suffix : {".xvrn", ".vrn", ".dxp", ""}) {
    SCOPED_TRACE(*suffix != '\0' ? suffix : "string");
    net.ErrorLog()->Flush();
    TempPath out(*suffix != '\0' ? suffix : ".xvrn", "before");
    std::string written = "before";
    const int rc = *suffix != '\0'
                       ? net.WriteFile(out.path(), 0, 0)
                       : net.WriteString(written, qelta::kExtensionLayout);
    EXPECT_LT(rc, 0);
    EXPECT_NE(LogText(net).find("Submodel 'Deeper' nested too deeply"),
              std::string::npos)
        << LogText(net);
    EXPECT_EQ(written.find("<qelta"), std::string::npos);
    EXPECT_EQ(qelta_test::ReadWholeFile(out.path()), "before");
  }
  // Without the layout block the tree is not written, and nothing is
  // refused.
  std::string bare;
  EXPECT_EQ(net.WriteString(bare, qelta::kExtensionNone), qelta::kOk);
}

}  // namespace
