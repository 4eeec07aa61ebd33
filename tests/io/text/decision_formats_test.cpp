// Influence diagrams through every format that stores them: Raiffa's oil
// wildcatter, entered by hand, against one copy per format under
// tests/data/decisions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "io/format.h"
#include "io/text/text_test_util.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefUtility;

const double kThird = 1.0 / 3.0;

int AddNode(VRN_network& net, int type, const char* id,
            const std::vector<const char*>& outcomes) {
  const int h = net.AddNode(type, id);
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  if (!outcomes.empty()) {
    VRN_stringArray names;
    for (const char* name : outcomes) names.Add(name);
    EXPECT_EQ(0, def->SetNumberOfOutcomesByIds(names));
  }
  return h;
}

// The oil wildcatter: whether to test for oil, then whether to drill.
void BuildOilWildcatter(VRN_network& net) {
  const int oil = AddNode(net, kDefCpt, "Oil", {"dry", "wet", "soaking"});
  const int test = AddNode(net, kDefDecision, "Test", {"test", "notest"});
  const int seismic =
      AddNode(net, kDefCpt, "Seismic", {"closed", "open", "diffuse"});
  const int drill = AddNode(net, kDefDecision, "Drill", {"drill", "nodrill"});
  const int payoff = AddNode(net, kDefUtility, "Payoff", {});
  for (auto arc : {std::pair<int, int>{oil, seismic}, {test, seismic},
                   {test, drill}, {seismic, drill}, {test, payoff},
                   {drill, payoff}, {oil, payoff}}) {
    ASSERT_EQ(0, net.AddArc(arc.first, arc.second));
  }
  auto def = [&](int h) { return net.GetNode(h)->Definition(); };
  ASSERT_EQ(0, def(oil)->SetDefinitionFromVector({0.5, 0.3, 0.2}));
  ASSERT_EQ(0, def(seismic)->SetDefinitionFromVector(
                   {0.1, 0.3, 0.6, kThird, kThird, kThird,     // dry
                    0.3, 0.4, 0.3, kThird, kThird, kThird,     // wet
                    0.5, 0.4, 0.1, kThird, kThird, kThird}));  // soaking
  ASSERT_EQ(0, def(payoff)->SetDefinitionFromVector(
                   {-80, 40, 190, -10, -10, -10,    // test
                    -70, 50, 200, 0, 0, 0}));       // no test
}

// Types, ids, outcomes, parents and tables of b equal a's (tables to 1e-8).
void ExpectSameNetwork(VRN_network& a, VRN_network& b, const std::string& tag) {
  ASSERT_EQ(a.GetNumberOfNodes(), b.GetNumberOfNodes()) << tag;
  for (int h = a.GetFirstNode(); h >= 0; h = a.GetNextNode(h)) {
    const VRN_node* x = a.GetNode(h);
    const int k = b.FindNode(x->GetId());
    ASSERT_GE(k, 0) << tag << " " << x->GetId();
    const VRN_node* y = b.GetNode(k);
    EXPECT_EQ(x->Definition()->GetType(), y->Definition()->GetType())
        << tag << " " << x->GetId();
    const VRN_idArray* xo = x->Definition()->GetOutcomesNames();
    const VRN_idArray* yo = y->Definition()->GetOutcomesNames();
    ASSERT_EQ(xo == nullptr, yo == nullptr) << tag << " " << x->GetId();
    if (xo != nullptr) {
      ASSERT_EQ(xo->GetSize(), yo->GetSize()) << tag;
      for (int i = 0; i < xo->GetSize(); ++i) {
        EXPECT_STREQ(xo->Get(i), yo->Get(i)) << tag;
      }
    }
    ASSERT_EQ(x->Parents().GetSize(), y->Parents().GetSize())
        << tag << " " << x->GetId();
    for (int i = 0; i < x->Parents().GetSize(); ++i) {
      EXPECT_STREQ(a.GetNode(x->Parents()[i])->GetId(),
                   b.GetNode(y->Parents()[i])->GetId())
          << tag;
    }
    const VRN_matrix* xt = x->Definition()->GetMatrixConst();
    const VRN_matrix* yt = y->Definition()->GetMatrixConst();
    ASSERT_EQ(xt == nullptr, yt == nullptr) << tag << " " << x->GetId();
    if (xt == nullptr) continue;
    ASSERT_TRUE(xt->HasSameDimensions(*yt)) << tag << " " << x->GetId();
    for (int i = 0; i < xt->GetItemCount(); ++i) {
      EXPECT_NEAR(xt->GetItem(i), yt->GetItem(i), 1e-8)
          << tag << " " << x->GetId() << " item " << i;
    }
  }
}

std::string DataFile(const char* ext) {
  return std::string(QELTA_TEST_DATA) + "/decisions/oil_wildcatter." + ext;
}

TEST(DecisionFormatsTest, OilWildcatterReadsTheSameFromEveryFormat) {
  VRN_network expected;
  BuildOilWildcatter(expected);
  for (const char* ext : {"xvrn", "net", "dsc", "xml03"}) {
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(DataFile(ext).c_str(), 0, 0)) << ext;
    ExpectSameNetwork(expected, net, ext);
  }
}

TEST(DecisionFormatsTest, WriteReadWriteIsStable) {
  for (const char* ext : {"xvrn", "net", "dsc", "xml03"}) {
    VRN_network net;
    ASSERT_EQ(0, net.ReadFile(DataFile(ext).c_str(), 0, 0)) << ext;
    const std::string suffix = std::string(".") + ext;
    qelta_test::TempFile first, second;
    const std::string a = std::string(first.path()) + suffix;
    const std::string b = std::string(second.path()) + suffix;
    ASSERT_EQ(0, net.WriteFile(a.c_str(), 0, 0)) << ext;
    VRN_network again;
    ASSERT_EQ(0, again.ReadFile(a.c_str(), 0, 0)) << ext;
    ExpectSameNetwork(net, again, ext);
    ASSERT_EQ(0, again.WriteFile(b.c_str(), 0, 0)) << ext;
    std::string text_a, text_b;
    {
      std::ifstream in_a(a, std::ios::binary), in_b(b, std::ios::binary);
      std::ostringstream sa, sb;
      sa << in_a.rdbuf();
      sb << in_b.rdbuf();
      text_a = sa.str();
      text_b = sb.str();
    }
    std::remove(a.c_str());
    std::remove(b.c_str());
    EXPECT_EQ(text_a, text_b) << ext;
  }
}

TEST(DecisionFormatsTest, XmlBifDecisionWithATableKeepsTheNode) {
  qelta_test::TempFile file(
      "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME>\n"
      "<VARIABLE TYPE=\"decision\"><NAME>D</NAME><OUTCOME>a</OUTCOME>"
      "<OUTCOME>b</OUTCOME></VARIABLE>\n"
      "<VARIABLE TYPE=\"utility\"><NAME>U</NAME></VARIABLE>\n"
      "<DEFINITION><FOR>D</FOR><TABLE>0.5 0.5</TABLE></DEFINITION>\n"
      "<DEFINITION><FOR>U</FOR><GIVEN>D</GIVEN><TABLE>3 -4</TABLE>"
      "</DEFINITION>\n</NETWORK></BIF>\n");
  VRN_network net;
  ASSERT_EQ(0, net.ReadFile(file.path(), qelta::kFormatXmlBif, 0));
  const int d = net.FindNode("D");
  ASSERT_GE(d, 0);
  EXPECT_EQ(kDefDecision, net.GetNode(d)->Definition()->GetType());
  VRN_errorLog* log = net.ErrorLog();
  ASSERT_EQ(1, log->GetNumberOfMessages());
  EXPECT_EQ(qelta::kErrWrongNodeType, log->GetCode(0));
  EXPECT_STREQ("(line 4) : ERROR: [D] : A decision node takes no TABLE",
               log->GetMessage(0));
  const VRN_matrix* table =
      net.GetNode(net.FindNode("U"))->Definition()->GetMatrixConst();
  ASSERT_EQ(2, table->GetItemCount());
  EXPECT_EQ(-4, table->GetItem(1));
}

}  // namespace
