// An equation names only nodes that may be its parents: one the arc rules
// of temporal types refuse fails the whole equation, which leaves the
// definition, its parents and its table as they were; what is accepted
// reads back from the network's save.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "equations/equation.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kTerminal = 2;
constexpr int kPlate = 3;

std::string Text(VRN_network& net, int h) {
  std::string text;
  VRN_GetEquation(&net, h)->GetEquationText(&text);
  return text;
}

std::vector<int> Parents(VRN_network& net, int h) {
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  return std::vector<int>(parents.begin(), parents.end());
}

TEST(EquationParentRuleTest, NodeTheTemporalRulesRefuseFailsTheEquation) {
  for (int type : {kTerminal, kPlate}) {
    SCOPED_TRACE(type);
    VRN_network net;
    const int a = net.AddNode(qelta::kDefCpt, "A");
    const int v = net.AddNode(qelta::kDefCpt, "V");
    const int e = net.AddNode(qelta::kDefEquation, "E");
    ASSERT_EQ(net.setNodeTemporalType(v, type), qelta::kOk);
    ASSERT_EQ(net.AddArc(v, e), qelta::kErrWrongNodeType);
    VRN_equation* equation = VRN_GetEquation(&net, e);
    ASSERT_EQ(equation->SetEquation("E=A*2", nullptr, nullptr), qelta::kOk);
    const VRN_matrix* table = equation->GetDiscreteDefinition();
    ASSERT_NE(table, nullptr);
    net.ErrorLog()->Flush();

    int position = -1;
    std::string message;
    EXPECT_EQ(equation->SetEquation("E=A+V", &position, &message),
              qelta::kErrOutOfRange);
    EXPECT_EQ(position, 4);
    EXPECT_EQ(message, "Node V can't be a parent of an equation node.");
    ASSERT_EQ(net.ErrorLog()->GetNumberOfMessages(), 1);
    EXPECT_EQ(net.ErrorLog()->GetCode(0), qelta::kErrOutOfRange);
    EXPECT_EQ(std::string(net.ErrorLog()->GetMessage(0)), message);
    EXPECT_EQ(Text(net, e), "E=A*2");
    EXPECT_EQ(Parents(net, e), std::vector<int>{a});
    EXPECT_TRUE(net.GetNode(v)->Children().IsEmpty());
    EXPECT_EQ(equation->GetDiscreteDefinition(), table);

    // Saved and read again, the network holds the equation it kept.
    std::string saved;
    ASSERT_EQ(net.WriteString(saved, qelta::kExtensionLayout), qelta::kOk);
    VRN_network back;
    ASSERT_EQ(back.ReadString(saved.c_str(), qelta::kExtensionLayout),
              qelta::kOk);
    EXPECT_EQ(Text(back, back.FindNode("E")), "E=A*2");
  }
}

TEST(EquationParentRuleTest, TerminalEquationTakesATerminalParent) {
  VRN_network net;
  const int v = net.AddNode(qelta::kDefCpt, "V");
  const int e = net.AddNode(qelta::kDefEquation, "E");
  ASSERT_EQ(net.setNodeTemporalType(v, kTerminal), qelta::kOk);
  ASSERT_EQ(net.setNodeTemporalType(e, kTerminal), qelta::kOk);
  ASSERT_EQ(VRN_GetEquation(&net, e)->SetEquation("E=V+1", nullptr, nullptr),
            qelta::kOk);
  EXPECT_EQ(Parents(net, e), std::vector<int>{v});
  std::string saved;
  ASSERT_EQ(net.WriteString(saved, qelta::kExtensionLayout), qelta::kOk);
  VRN_network back;
  ASSERT_EQ(back.ReadString(saved.c_str(), qelta::kExtensionLayout),
            qelta::kOk);
  const int back_e = back.FindNode("E");
  EXPECT_EQ(Text(back, back_e), "E=V+1");
  EXPECT_EQ(Parents(back, back_e), std::vector<int>{back.FindNode("V")});
}

}  // namespace
