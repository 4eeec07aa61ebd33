// Multi-attribute utility and equation nodes in the XML network file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "equations/equation.h"
#include "equations/expression_parser.h"
#include "equations/ext_functions.h"
#include "equations/mau.h"
#include "io/format.h"
#include "io/xml/xml_net_loader.h"
#include "io/xml/xml_net_writer.h"
#include "network/cases.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::string Save(VRN_network& net) {
  std::string text;
  EXPECT_TRUE(XmlNetworkSaver::Save(nullptr, &text, &net,
                                    qelta::FormatExtension()));
  return text;
}

std::vector<std::string> ParentIds(VRN_network& net, const char* id) {
  std::vector<std::string> ids;
  for (int p : net.GetNode(net.FindNode(id))->Parents()) {
    ids.push_back(net.GetNode(p)->GetId());
  }
  return ids;
}

TEST(XmlMauTest, WeightsAndExpressionsReadBackEqual) {
  VRN_network net;
  int index = 0, position = 0;
  std::string message;
  ASSERT_EQ(0, net.SetExtFunctions({"f(x) = x*2"}, index, position, message));
  const int d = net.AddNode(qelta::kDefDecision, "D");
  const int u1 = net.AddNode(qelta::kDefUtility, "U1");
  const int u2 = net.AddNode(qelta::kDefUtility, "U2");
  const int m = net.AddNode(qelta::kDefMau, "M");
  const int x = net.AddNode(qelta::kDefMau, "X");
  ASSERT_EQ(0, net.AddArc(d, m));
  ASSERT_EQ(0, net.AddArc(u2, m));
  ASSERT_EQ(0, net.AddArc(u1, m));
  ASSERT_EQ(0, net.GetNode(m)->Definition()->SetDefinitionFromVector(
                   {0.25, 0.75, 2, -1}));
  ASSERT_EQ(0, net.AddArc(d, x));
  auto* mx = static_cast<VRN_mau*>(net.GetNode(x)->Definition());
  ASSERT_EQ(0, mx->SetExpressions({"f(U2)+U1", "U1*U2"}, &message)) << message;
  ASSERT_EQ(0, net.AddArc(x, net.AddNode(qelta::kDefMau, "Top")));

  const std::string text = Save(net);
  EXPECT_NE(std::string::npos, text.find("<expression>f(U2)+U1</expression>"));
  VRN_network back;
  ASSERT_TRUE(XmlNetLoader::Load(nullptr, text.c_str(), &back));
  EXPECT_EQ(text, Save(back));
  EXPECT_EQ((std::vector<std::string>{"D", "U2", "U1"}), ParentIds(back, "M"));
  EXPECT_EQ((std::vector<std::string>{"D", "U1", "U2"}), ParentIds(back, "X"));

  // A random body for a function a MAU expression calls is refused.
  EXPECT_EQ(-4,
            back.SetExtFunctions({"f(x) = Normal(x, 1)"}, index, position,
                                 message));
  const std::string tail = ": random number generators not allowed in node X";
  ASSERT_GE(message.size(), tail.size());
  EXPECT_EQ(tail, message.substr(message.size() - tail.size()));
  std::vector<std::string> kept;
  back.GetExtFunctions(kept, false);
  EXPECT_EQ(std::vector<std::string>{"f(x)=x*2"}, kept);
}

std::vector<std::string> Expressions(VRN_network& net, const char* id) {
  std::vector<std::string> texts;
  EXPECT_EQ(qelta::kOk, static_cast<VRN_mau*>(
                            net.GetNode(net.FindNode(id))->Definition())
                            ->GetExpressions(&texts));
  return texts;
}

std::vector<double> ValueItems(VRN_network& net, const char* id) {
  const VRN_matrix& value = net.GetNode(net.FindNode(id))->Value()->GetValue();
  return std::vector<double>(value.GetItems().begin(), value.GetItems().end());
}

// Reading installs the expressions, which would list the utility parents
// after the decisions by identifier; the parents read back in the order the
// node had, each decision configuration with its own expression, in the
// file and in the string form.
TEST(XmlMauTest, ExpressionParentsReadBackInTheirOrder) {
  VRN_network net;
  const int d1 = net.AddNode(qelta::kDefDecision, "D1");
  const int d2 = net.AddNode(qelta::kDefDecision, "D2");
  const int zeta = net.AddNode(qelta::kDefUtility, "Zeta");
  const int alpha = net.AddNode(qelta::kDefUtility, "Alpha");
  const int mid = net.AddNode(qelta::kDefUtility, "Mid");
  const int m = net.AddNode(qelta::kDefMau, "M");
  ASSERT_EQ(qelta::kOk, net.GetNode(d2)->Definition()->SetNumberOfOutcomes(3));
  ASSERT_EQ(qelta::kOk, net.AddArc(d1, d2));
  ASSERT_EQ(qelta::kOk, net.AddArc(d1, zeta));
  ASSERT_EQ(qelta::kOk, net.AddArc(d2, alpha));
  ASSERT_EQ(qelta::kOk,
            net.GetNode(zeta)->Definition()->SetDefinitionFromVector({3, -2}));
  ASSERT_EQ(qelta::kOk, net.GetNode(alpha)->Definition()->SetDefinitionFromVector(
                            {1, 7, 4}));
  ASSERT_EQ(qelta::kOk,
            net.GetNode(mid)->Definition()->SetDefinitionFromVector({5}));
  ASSERT_EQ(qelta::kOk, net.AddArc(d1, m));
  ASSERT_EQ(qelta::kOk, net.AddArc(d2, m));
  auto* mau = static_cast<VRN_mau*>(net.GetNode(m)->Definition());
  std::string error;
  ASSERT_EQ(qelta::kOk,
            mau->SetExpressions({"Zeta*2+Alpha", "Alpha-Zeta", "Zeta",
                                 "Alpha*3", "Zeta*Alpha", "Alpha+Zeta*4"},
                                &error))
      << error;
  // An arc after the expressions appends its parent; then every group
  // changes order, the decisions too.
  ASSERT_EQ(qelta::kOk, net.AddArc(mid, m));
  const std::vector<std::string> want = {"Zeta", "D2", "Mid", "D1", "Alpha"};
  VRN_intArray order;
  for (const std::string& id : want) {
    order.Add(net.GetNode(m)->Parents().FindPosition(net.FindNode(id.c_str())));
  }
  ASSERT_EQ(qelta::kOk, net.ReorderParents(m, order));
  ASSERT_EQ(want, ParentIds(net, "M"));
  const std::vector<std::string> texts = Expressions(net, "M");
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());

  const std::string path = ::testing::TempDir() + "xml_mau_parent_order.xvrn";
  ASSERT_EQ(qelta::kOk, net.WriteFile(path.c_str(), 0, 0));
  VRN_network from_file;
  ASSERT_EQ(qelta::kOk, from_file.ReadFile(path.c_str(), 0, 0));
  std::remove(path.c_str());
  const std::string text = Save(net);
  VRN_network from_string;
  ASSERT_TRUE(XmlNetLoader::Load(nullptr, text.c_str(), &from_string));
  for (VRN_network* back : {&from_file, &from_string}) {
    EXPECT_EQ(want, ParentIds(*back, "M"));
    EXPECT_EQ(texts, Expressions(*back, "M"));
    EXPECT_EQ(text, Save(*back));
    // The solved diagram, an oracle apart from the file: every decision
    // configuration meets the same utility.
    ASSERT_EQ(qelta::kOk, back->UpdateBeliefs());
    EXPECT_EQ(ValueItems(net, "M"), ValueItems(*back, "M"));
    EXPECT_EQ(ValueItems(net, "D1"), ValueItems(*back, "D1"));
  }
}

// Files whose parents do not match the expressions read as before: a listed
// parent no expression names is dropped, a named one not listed comes last.
TEST(XmlMauTest, ParentsTheExpressionsDoNotMatchReadAsBefore) {
  const std::string head =
      "<qelta version='1.0' id='N'>\n<nodes>\n"
      "<decision id='D'><state id='a'/><state id='b'/></decision>\n"
      "<utility id='V'><utilities>1</utilities></utility>\n"
      "<utility id='U'><utilities>2</utilities></utility>\n";
  const struct {
    const char* parents;
    const char* expressions;
    std::vector<std::string> read;
  } cases[] = {
      {"V D U", "<expression>U</expression><expression>U*2</expression>",
       {"D", "U"}},
      {"D", "<expression>V+U</expression><expression>U</expression>",
       {"D", "U", "V"}},
      {"U D", "<expression>V</expression><expression>U</expression>",
       {"U", "D", "V"}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.parents);
    const std::string text = head + "<maux id='M'><parents>" + t.parents +
                             "</parents>" + t.expressions +
                             "</maux>\n</nodes></qelta>";
    VRN_network net;
    ASSERT_TRUE(XmlNetLoader::Load(nullptr, text.c_str(), &net));
    EXPECT_EQ(t.read, ParentIds(net, "M"));
  }
}

TEST(XmlMauTest, BadElementsAreRefusedWithTheirReason) {
  const std::string head =
      "<qelta version='1.0' id='N'>\n<nodes>\n"
      "<decision id='D'><state id='a'/><state id='b'/></decision>\n"
      "<utility id='U'><utilities>1</utilities></utility>\n";
  struct Case {
    std::string node;
    std::string message;
  } cases[] = {
      {"<mau id='M'><parents>U</parents><weights>1 2</weights></mau>",
       "SetWeights failed"},
      {"<maux id='M'><parents>D</parents><expression>U</expression></maux>",
       "Invalid number of expressions: 1, expected 2"},
      {"<maux id='M'><expression>U+</expression></maux>",
       "Invalid expression: "},
      {"<maux id='M'><expression>Q</expression></maux>",
       "SetExpressions failed: 'Invalid expression at index 0: unknown "
       "identifier: Q'"},
  };
  for (const Case& t : cases) {
    VRN_network net;
    const std::string text = head + t.node + "\n</nodes></qelta>";
    EXPECT_FALSE(XmlNetLoader::Load(nullptr, text.c_str(), &net)) << t.node;
    const VRN_errorLog* log = net.ErrorLog();
    ASSERT_GE(log->GetNumberOfMessages(), 1) << t.node;
    const std::string got = log->GetMessage(log->GetNumberOfMessages() - 1);
    EXPECT_NE(std::string::npos, got.find(t.message)) << got;
  }
}

// An expression that does not parse fails the load at its end tag with
// the parser's message, and nothing else is logged.
TEST(XmlMauTest, ExpressionsThatDoNotParseFailAtTheirEndTag) {
  const std::string functions =
      "<functions><function>f(v)=v*2</function></functions>\n";
  const struct {
    bool with_functions;
    bool equation;  // else a maux expression
    std::string text;
  } cases[] = {{false, true, "y=U+"},   {false, true, "y=f(U)"},
               {true, true, "y=f(U,1)"}, {false, false, "U*(2"},
               {false, false, "f(U)"},   {true, false, "f()"}};
  for (const auto& t : cases) {
    const std::string node =
        t.equation ? "<equation id='y'><definition>" + t.text +
                         "</definition></equation>"
                   : "<maux id='M'><expression>" + t.text +
                         "</expression></maux>";
    SCOPED_TRACE(node);
    VRN_network net;
    int index = 0, position = 0;
    std::string message;
    if (t.with_functions) {
      ASSERT_EQ(0, net.SetExtFunctions({"f(v)=v*2"}, index, position, message));
    }
    std::unique_ptr<VRN_expression> tree(VRN_ParseExpression(
        t.text.c_str(), nullptr, &message, nullptr, net.ExtFunctions()));
    ASSERT_EQ(tree, nullptr);
    ASSERT_FALSE(message.empty());

    const std::string text =
        "<qelta version='1.0' id='N'>\n" + (t.with_functions ? functions : "") +
        "<nodes>\n<decision id='D'><state id='a'/><state id='b'/></decision>\n"
        "<utility id='U'><utilities>1</utilities></utility>\n" +
        node + "\n</nodes></qelta>";
    VRN_network read;
    EXPECT_EQ(qelta::kErrFileIo,
              read.ReadString(text.c_str(), qelta::kXmlExtensionNone));
    const VRN_errorLog* log = read.ErrorLog();
    ASSERT_EQ(log->GetNumberOfMessages(), 1) << log->GetMessage(0);
    EXPECT_EQ(log->GetCode(0), qelta::kErrFileIo);
    EXPECT_EQ(std::string(log->GetMessage(0)),
              "Error at " + std::to_string(t.with_functions ? 6 : 5) + ", " +
                  std::to_string(node.find("</", node.find(t.text))) +
                  ": Invalid expression: " + message);
  }
  // The functions make the same texts good.
  VRN_network net;
  const std::string good =
      "<qelta version='1.0' id='N'>\n" + functions + "<nodes>\n"
      "<cpt id='C'><state id='c0'/><state id='c1'/>"
      "<probabilities>0.5 0.5</probabilities></cpt>\n"
      "<equation id='y'><parents>C</parents>"
      "<definition>y=f(C)</definition></equation>\n</nodes></qelta>";
  EXPECT_EQ(qelta::kOk, net.ReadString(good.c_str(), qelta::kXmlExtensionNone))
      << net.ErrorLog()->GetMessage(0);
}

// Equation nodes.
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
