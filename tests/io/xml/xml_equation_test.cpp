// Equation nodes in the XML network file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "equations/equation.h"
#include "io/xml/xml_net_loader.h"
#include "network/cases.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::string Write(VRN_network& net) {
  std::string text;
  EXPECT_EQ(qelta::kOk, net.WriteString(text, qelta::kXmlExtensionNone));
  return text;
}

TEST(XmlEquationTest, HybridNetworkReadsBackEqual) {
  VRN_network net;
  int index = 0, position = 0;
  std::string message;
  ASSERT_EQ(qelta::kOk, net.SetExtFunctions({"Twice(v)=2*v"}, index, position, message));
  const int d = net.AddNode(qelta::kDefCpt, "D");
  const int x = net.AddNode(qelta::kDefEquation, "x");
  const int y = net.AddNode(qelta::kDefEquation, "y");
  const int e = net.AddNode(qelta::kDefCpt, "E");
  VRN_equation* ex = VRN_GetEquation(&net, x);
  VRN_equation* ey = VRN_GetEquation(&net, y);
  ASSERT_EQ(qelta::kOk, ex->SetEquation("x = Twice(D) + Normal(0, 1)", nullptr, nullptr));
  ASSERT_EQ(qelta::kOk, ex->SetDiscIntervals(-10, 20, {{"low", 5}, {"", 20}}));
  ASSERT_EQ(qelta::kOk, ex->SetDefaultValue(2.5));
  ASSERT_EQ(qelta::kOk, ex->SetNominalBounds(-INFINITY, 6));
  ASSERT_EQ(qelta::kOk, ey->SetEquation("y=(x>1 ? 1 : 2)", nullptr, nullptr));
  ASSERT_EQ(qelta::kOk, ey->SetBounds(0, 3));
  ASSERT_EQ(qelta::kOk, net.AddArc(x, e));
  (void)d;
  VRN_case* record = net.AddCase("seen");
  ASSERT_NE(nullptr, record);
  ASSERT_EQ(qelta::kOk, record->SetContEvidence(y, 1.25));
  EXPECT_EQ(qelta::kErrInvalidValue, record->SetContEvidence(x, NAN));

  const std::string first = Write(net);
  EXPECT_NE(std::string::npos, first.find("<definition lower=\"-10\" upper=\"20\" default=\"2.5\" "
                                          "lowernominal=\"-inf\" uppernominal=\"6\">x=Twice(D)+Normal(0,1)</definition>"))
      << first;
  VRN_network back;
  ASSERT_EQ(qelta::kOk, back.ReadString(first.c_str(), qelta::kXmlExtensionNone))
      << back.ErrorLog()->GetMessage(0);
  EXPECT_EQ(first, Write(back));
  double v = 0;
  int node = -1;
  ASSERT_EQ(qelta::kOk, back.GetCase(0)->GetContEvidence(0, node, v));
  EXPECT_EQ(y, node);
  EXPECT_EQ(1.25, v);

  // Blanks around "=" read alike.
  std::string spaced = first;
  const size_t at = spaced.find(">y=");
  ASSERT_NE(std::string::npos, at);
  spaced.replace(at, 3, ">y = ");
  VRN_network other;
  ASSERT_EQ(qelta::kOk, other.ReadString(spaced.c_str(), qelta::kXmlExtensionNone));
  EXPECT_EQ(first, Write(other));

  // Case evidence that is no finite number is refused.
  std::string bad = first;
  bad.replace(bad.find("state=\"1.25\""), 12, "state=\"nan\"");
  VRN_network refused;
  EXPECT_NE(qelta::kOk, refused.ReadString(bad.c_str(), qelta::kXmlExtensionNone));
  const int n = refused.ErrorLog()->GetNumberOfMessages();
  ASSERT_GT(n, 0);
  EXPECT_NE(std::string::npos,
            std::string(refused.ErrorLog()->GetMessage(n - 1))
                .find("Evidence 'nan' of node 'y' cannot be added."));
}

}  // namespace
