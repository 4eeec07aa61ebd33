#include "equations/mau.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "base/special_values.h"
#include "base/status.h"
#include "equations/equation.h"
#include "equations/expression.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefMau;
using qelta::kDefUtility;

using Texts = std::vector<std::string>;

struct Net {
  VRN_network net;
  VRN_nodeDef* Def(int h) { return net.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net.GetNode(h)->Value(); }
  std::vector<double> Weights(int h) {
    const VRN_doubleArray& items = Def(h)->GetMatrixConst()->GetItems();
    return std::vector<double>(items.begin(), items.end());
  }
  std::vector<int> Dims(int h) {
    const VRN_intArray& d = Def(h)->GetMatrixConst()->GetDimensions();
    return std::vector<int>(d.begin(), d.end());
  }
  int Add(int type, const char* id, int outcomes = 2) {
    const int h = net.AddNode(type, id);
    if (type == kDefDecision && outcomes != 2) {
      EXPECT_EQ(0, Def(h)->SetNumberOfOutcomes(outcomes));
    }
    return h;
  }
  void SetWeights(int h, const std::vector<double>& items) {
    ASSERT_EQ(0, Def(h)->SetDefinitionFromVector(items));
  }
  void SetUtility(int h, const std::vector<double>& items) {
    VRN_matrix& m = Val(h)->GetMutableValue();
    ASSERT_EQ(0, m.SetItemsFromVector(items));
  }
  std::vector<double> Calculate(int h) {
    auto* value = static_cast<VRN_mauExpectedUtility*>(Val(h));
    EXPECT_EQ(0, value->CalculateUtilities());
    const VRN_doubleArray& items = value->GetValue().GetItems();
    return std::vector<double>(items.begin(), items.end());
  }
  VRN_mau* Mau(int h) { return static_cast<VRN_mau*>(Def(h)); }
  Texts Get(int h) {
    Texts texts;
    EXPECT_EQ(0, Mau(h)->GetExpressions(&texts));
    return texts;
  }
  std::vector<std::string> ParentIds(int h) {
    std::vector<std::string> ids;
    for (int p : net.GetNode(h)->Parents()) ids.push_back(net.GetNode(p)->GetId());
    return ids;
  }
};

TEST(MauTest, WeightsFollowTheParents) {
  Net n;
  const int m = n.Add(kDefMau, "M");
  const int u1 = n.Add(kDefUtility, "U1");
  const int u2 = n.Add(kDefUtility, "U2");
  const int u3 = n.Add(kDefUtility, "U3");
  const int d = n.Add(kDefDecision, "D", 3);
  EXPECT_EQ("MAU", std::string(n.Def(m)->GetTypeName()));
  EXPECT_EQ(qelta::kValMauExpectedUtility, n.Val(m)->GetType());
  EXPECT_TRUE(n.Dims(m).empty());
  ASSERT_EQ(0, n.net.AddArc(u1, m));
  ASSERT_EQ(0, n.net.AddArc(u2, m));
  EXPECT_EQ((std::vector<double>{1, 1}), n.Weights(m));
  n.SetWeights(m, {0.6, 0.4});
  ASSERT_EQ(0, n.net.AddArc(u3, m));
  EXPECT_EQ((std::vector<double>{0.6, 0.4, 1}), n.Weights(m));
  ASSERT_EQ(0, n.net.AddArc(d, m));
  EXPECT_EQ((std::vector<int>{3, 3}), n.Dims(m));
  EXPECT_EQ((std::vector<double>{0.6, 0.4, 1, 0.6, 0.4, 1, 0.6, 0.4, 1}),
            n.Weights(m));
  // Rows become distinct so each edit below shows which row moved.
  n.SetWeights(m, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_EQ(0, n.Def(d)->InsertOutcome(1, "new"));
  EXPECT_EQ((std::vector<double>{1, 2, 3, 1, 1, 1, 4, 5, 6, 7, 8, 9}),
            n.Weights(m));
  ASSERT_EQ(0, n.Def(d)->RemoveOutcome(0));
  EXPECT_EQ((std::vector<double>{1, 1, 1, 4, 5, 6, 7, 8, 9}), n.Weights(m));
  // Parents now U1, U2, U3, D; D first and U3 before U1 moves both axes.
  VRN_intArray order;
  for (int i : {3, 2, 0, 1}) order.Add(i);
  ASSERT_EQ(0, n.net.ReorderParents(m, order));
  EXPECT_EQ((std::vector<double>{1, 1, 1, 6, 4, 5, 9, 7, 8}), n.Weights(m));
  ASSERT_EQ(0, n.net.RemoveArc(u1, m));
  EXPECT_EQ((std::vector<double>{1, 1, 6, 5, 9, 8}), n.Weights(m));
  ASSERT_EQ(0, n.net.RemoveArc(d, m));
  EXPECT_EQ((std::vector<double>{1, 1}), n.Weights(m));
  ASSERT_EQ(0, n.net.RemoveArc(u3, m));
  ASSERT_EQ(0, n.net.RemoveArc(u2, m));
  EXPECT_TRUE(n.Dims(m).empty());
  // Weights must be finite.
  ASSERT_EQ(0, n.net.AddArc(u2, m));
  EXPECT_EQ(-2, n.Def(m)->SetDefinitionFromVector({std::numeric_limits<double>::infinity()}));
}

// A parent passing between decision and utility keeps its arc, and the
// weights take the layout of its new role, so the network saves and reads
// back; a change within the utility kinds keeps the weights.
TEST(MauTest, WeightsFollowAParentChangingRole) {
  Net n;
  const int u = n.Add(kDefUtility, "U");
  const int d = n.Add(kDefDecision, "D", 3);
  const int m = n.Add(kDefMau, "M");
  ASSERT_EQ(0, n.net.AddArc(u, m));
  ASSERT_EQ(0, n.net.AddArc(d, m));
  n.SetWeights(m, {0.5, 0.25, 2});
  ASSERT_EQ(0, n.net.GetNode(d)->setNodeType(kDefUtility));
  EXPECT_EQ((std::vector<std::string>{"U", "D"}), n.ParentIds(m));
  EXPECT_EQ((std::vector<int>{2}), n.Dims(m));
  EXPECT_EQ((std::vector<double>{0.5, 1}), n.Weights(m));
  ASSERT_EQ(0, n.net.GetNode(u)->setNodeType(kDefDecision));
  EXPECT_EQ((std::vector<std::string>{"U", "D"}), n.ParentIds(m));
  EXPECT_EQ((std::vector<int>{2, 1}), n.Dims(m));
  ASSERT_EQ(0, n.net.GetNode(d)->setNodeType(kDefMau));
  EXPECT_EQ((std::vector<int>{2, 1}), n.Dims(m));
  std::string text;
  ASSERT_EQ(0, n.net.WriteString(text, 0));
  VRN_network back;
  ASSERT_EQ(0, back.ReadString(text.c_str(), 0));
  const int m2 = back.FindNode("M");
  EXPECT_EQ(n.Weights(m), std::vector<double>(
                              back.GetNode(m2)->Definition()->GetMatrixConst()
                                  ->GetItems().begin(),
                              back.GetNode(m2)->Definition()->GetMatrixConst()
                                  ->GetItems().end()));
}

TEST(MauTest, ConversionKeepsDecisionAndUtilityParents) {
  Net n;
  const int d = n.Add(kDefDecision, "D");
  const int c = n.Add(kDefCpt, "C");
  const int x = n.Add(kDefUtility, "X");
  ASSERT_EQ(0, n.net.AddArc(d, x));
  ASSERT_EQ(0, n.net.AddArc(c, x));
  ASSERT_EQ(0, n.net.GetNode(x)->setNodeType(kDefMau));
  EXPECT_EQ(kDefMau, n.Def(x)->GetType());
  EXPECT_EQ(1, n.net.GetNode(x)->Parents().GetSize());
  EXPECT_EQ((std::vector<double>{1, 1}), n.Weights(x));
}

TEST(MauExpectedUtilityTest, CellsFromWeightsAndParentUtilities) {
  const double undefined = qelta::kUndefinedValue;
  struct Case {
    const char* name;
    bool decision;        // M has a decision parent D
    bool indexed;         // M's value is indexed by D
    int evidence;         // D's evidence, -1 for none
    std::vector<double> weights;
    double u1;
    std::vector<double> expected;
  } cases[] = {
      {"sum", false, false, -1, {2.0, 0.5}, 10, {22}},
      {"rows", true, true, -1, {1, 1, 1, -1}, 3, {4, 2}},
      {"evidence row", true, false, 1, {1, 1, 1, -1}, 3, {2}},
      {"undefined parent", true, true, -1, {1, 1, 1, -1}, undefined,
       {undefined, undefined}},
      {"no row", true, false, -1, {1, 1, 1, -1}, 3, {undefined}},
  };
  for (const Case& t : cases) {
    Net n;
    const int m = n.Add(kDefMau, "M");
    const int u1 = n.Add(kDefUtility, "U1");
    const int u2 = n.Add(kDefUtility, "U2");
    const int d = n.Add(kDefDecision, "D");
    if (t.decision) {
      ASSERT_EQ(0, n.net.AddArc(d, m));
    }
    ASSERT_EQ(0, n.net.AddArc(u1, m));
    ASSERT_EQ(0, n.net.AddArc(u2, m));
    n.SetWeights(m, t.weights);
    n.SetUtility(u1, {t.u1});
    n.SetUtility(u2, {t.decision ? 1.0 : 4.0});
    if (t.evidence >= 0) {
      ASSERT_EQ(0, n.Val(d)->SetEvidence(t.evidence));
    }
    if (t.indexed) {
      ASSERT_EQ(0, n.Val(m)->AddIndexingParent(d));
    }
    EXPECT_EQ(t.expected, n.Calculate(m)) << t.name;
  }
  // Without utility parents every cell is 0.
  Net n;
  const int m = n.Add(kDefMau, "M");
  EXPECT_EQ((std::vector<double>{0}), n.Calculate(m));
}

TEST(MauExpectedUtilityTest, ParentIndexedByAnotherDecisionIsUndefined) {
  Net n;
  const int m = n.Add(kDefMau, "M");
  const int u = n.Add(kDefUtility, "U");
  const int d = n.Add(kDefDecision, "D");
  ASSERT_EQ(0, n.net.AddArc(u, m));
  ASSERT_EQ(0, n.Val(u)->AddIndexingParent(d));
  n.SetUtility(u, {5, 7});
  EXPECT_EQ((std::vector<double>{qelta::kUndefinedValue}), n.Calculate(m));
  ASSERT_EQ(0, n.Val(m)->AddIndexingParent(d));
  EXPECT_EQ((std::vector<double>{5, 7}), n.Calculate(m));
}

TEST(MauExpressionsTest, ExpressionsFollowTheParents) {
  Net n;
  const int m = n.Add(qelta::kDefMau, "M");
  const int a = n.Add(qelta::kDefUtility, "A");
  const int b = n.Add(qelta::kDefUtility, "B");
  const int d = n.Add(qelta::kDefDecision, "D");
  Texts texts;
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Mau(m)->GetExpressions(&texts));
  std::string error;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"0"}, &error)) << error;
  ASSERT_EQ(0, n.net.AddArc(a, m));
  EXPECT_EQ(Texts{"A"}, n.Get(m));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"A*2"}, &error)) << error;
  ASSERT_EQ(0, n.net.AddArc(b, m));
  EXPECT_EQ(Texts{"A*2+B"}, n.Get(m));
  ASSERT_EQ(0, n.net.AddArc(d, m));
  EXPECT_EQ((Texts{"A*2+B", "A*2+B"}), n.Get(m));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"A+B*2", "B"}, &error)) << error;
  ASSERT_EQ(0, n.net.GetNode(d)->Definition()->InsertOutcome(0, "first"));
  EXPECT_EQ((Texts{"A+B*2", "A+B*2", "B"}), n.Get(m));
  ASSERT_EQ(0, n.net.GetNode(d)->Definition()->RemoveOutcome(1));
  EXPECT_EQ((Texts{"A+B*2", "B"}), n.Get(m));
  ASSERT_EQ(0, n.net.RemoveArc(a, m));
  EXPECT_EQ((Texts{"B", "B"}), n.Get(m));
  ASSERT_EQ(0, n.net.GetNode(b)->Header().SetId("B2"));
  EXPECT_EQ((Texts{"B2", "B2"}), n.Get(m));
  // Back to weights mode: the weights kept their shape.
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({}, &error));
  EXPECT_EQ(qelta::kErrWrongNodeType, n.Mau(m)->GetExpressions(&texts));
  EXPECT_EQ(2, n.net.GetNode(m)->Definition()->GetMatrixConst()->GetItemCount());
}

// A new parent order moves each decision configuration's expression with
// it, whatever the count of utility parents beside the decisions.
TEST(MauExpressionsTest, ExpressionsFollowReorderedDecisions) {
  for (int utilities = 0; utilities <= 4; ++utilities) {
    SCOPED_TRACE(utilities);
    Net n;
    const int d1 = n.Add(kDefDecision, "D1");
    const int d2 = n.Add(kDefDecision, "D2", 3);
    const int m = n.Add(kDefMau, "M");
    ASSERT_EQ(0, n.net.AddArc(d1, m));
    ASSERT_EQ(0, n.net.AddArc(d2, m));
    std::string sum = "0";
    for (int u = 0; u < utilities; ++u) {
      const std::string id = "U" + std::to_string(u);
      n.Add(kDefUtility, id.c_str());
      sum += "+" + id;
    }
    // Slot (i, j) of (D1, D2) holds i*10+j plus every utility parent.
    Texts texts;
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 3; ++j) texts.push_back(std::to_string(i * 10 + j) + "+" + sum);
    }
    std::string error;
    ASSERT_EQ(0, n.Mau(m)->SetExpressions(texts, &error)) << error;
    texts = n.Get(m);
    // The parents reversed: the decisions come as D2, D1.
    const int count = n.net.GetNode(m)->Parents().GetSize();
    VRN_intArray order;
    for (int i = count - 1; i >= 0; --i) order.Add(i);
    ASSERT_EQ(0, n.net.ReorderParents(m, order));
    const Texts moved = n.Get(m);
    ASSERT_EQ(6u, moved.size());
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 2; ++i) EXPECT_EQ(texts[i * 3 + j], moved[j * 2 + i]);
    }
    // The decisions taken pick the slot of configuration (1, 2).
    for (int u = 0; u < utilities; ++u) {
      n.SetUtility(n.net.FindNode(("U" + std::to_string(u)).c_str()), {1});
    }
    ASSERT_EQ(0, n.Val(d1)->SetEvidence(1));
    ASSERT_EQ(0, n.Val(d2)->SetEvidence(2));
    EXPECT_EQ(std::vector<double>{12.0 + utilities}, n.Calculate(m));
  }
}

TEST(MauExpressionsTest, InstallingRebuildsTheUtilityParents) {
  Net n;
  const int m = n.Add(qelta::kDefMau, "M");
  const int c = n.Add(qelta::kDefUtility, "C");
  n.Add(qelta::kDefUtility, "B");
  n.Add(qelta::kDefUtility, "A");
  ASSERT_EQ(0, n.net.AddArc(c, m));
  std::string error;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"B+A"}, &error)) << error;
  EXPECT_EQ((std::vector<std::string>{"A", "B"}), n.ParentIds(m));
  EXPECT_EQ((std::vector<double>{1, 1}),
            std::vector<double>(
                n.net.GetNode(m)->Definition()->GetMatrixConst()->GetItems().begin(),
                n.net.GetNode(m)->Definition()->GetMatrixConst()->GetItems().end()));
}

// New expressions over the same parents change every decision's expected
// utility: the solved values do not stay valid.
TEST(MauExpressionsTest, NewExpressionsInvalidateTheDecisions) {
  Net n;
  const int d = n.Add(qelta::kDefDecision, "D");
  const int a = n.Add(qelta::kDefUtility, "A");
  const int b = n.Add(qelta::kDefUtility, "B");
  const int m = n.Add(qelta::kDefMau, "M");
  ASSERT_EQ(0, n.net.AddArc(d, a));
  ASSERT_EQ(0, n.net.AddArc(d, b));
  ASSERT_EQ(0, n.Def(a)->SetDefinitionFromVector({1, 5}));
  ASSERT_EQ(0, n.Def(b)->SetDefinitionFromVector({4, 0}));
  std::string error;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"A+B"}, &error)) << error;
  ASSERT_EQ(0, n.net.UpdateBeliefs());
  ASSERT_TRUE(n.Val(d)->IsValueValid());
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"A+B*2"}, &error)) << error;
  EXPECT_FALSE(n.Val(d)->IsValueValid());
  ASSERT_EQ(0, n.net.UpdateBeliefs());
  ASSERT_TRUE(n.Val(d)->IsValueValid());
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({}, &error));
  EXPECT_FALSE(n.Val(d)->IsValueValid());
}

TEST(MauExpressionsTest, RefusalsKeepTheNodeAndSayWhy) {
  const std::string prefix = "Invalid expression at index 0: ";
  struct Case {
    Texts texts;
    int status;
    std::string error;
  } cases[] = {
      {{"1", "2"}, qelta::kErrOutOfRange,
       "Wrong vector size: expected 1 expression (one per configuration of "
       "the decision parents), got 2"},
      {{"X"}, qelta::kErrGeneral,
       prefix + "only non-descendant utility/ALU/MAU nodes are allowed: X is "
                "not a utility or multi-attribute utility node"},
      {{"U+K"}, qelta::kErrGeneral,
       prefix + "only non-descendant utility/ALU/MAU nodes are allowed: K is "
                "a descendant of M"},
      {{"M+1"}, qelta::kErrGeneral, prefix + "self-references not allowed: M"},
      {{"U*Nobody"}, qelta::kErrGeneral, prefix + "unknown identifier: Nobody"},
      {{"Normal(0, 1)"}, qelta::kErrGeneral,
       prefix + "Random number generators not allowed"},
      {{"U+"}, qelta::kErrOutOfRange,
       "Can't parse expression at index 0, error at position "},
      // U has no outcomes for a literal to name.
      {{"If(U=\"x\",100,0)+U"}, qelta::kErrInvalidValue,
       "Invalid text literal: \"x\" in expression at index 0, position 5"},
  };
  for (const Case& t : cases) {
    Net n;
    const int m = n.Add(qelta::kDefMau, "M");
    const int u = n.Add(qelta::kDefUtility, "U");
    n.Add(qelta::kDefCpt, "X");
    const int k = n.Add(qelta::kDefMau, "K");  // a descendant of M
    ASSERT_EQ(0, n.net.AddArc(u, m));
    ASSERT_EQ(0, n.net.AddArc(m, k));
    std::string error;
    EXPECT_EQ(t.status, n.Mau(m)->SetExpressions(t.texts, &error)) << t.error;
    EXPECT_EQ(t.error, error.substr(0, t.error.size()));
    // The message ends with the name or count it is about.
    if (t.error.find("index 0, error") == std::string::npos) {
      EXPECT_EQ(t.error, error);
    }
    EXPECT_EQ(std::vector<std::string>{"U"}, n.ParentIds(m)) << t.error;
    EXPECT_EQ(nullptr, n.Mau(m)->GetExpressionSet()) << t.error;
  }
}

TEST(MauExpressionsTest, NameWhoseArcTheTemporalTypesRefuseIsRefused) {
  Net n;
  const int m = n.Add(qelta::kDefMau, "M");
  const int u = n.Add(qelta::kDefUtility, "U");
  n.Add(qelta::kDefUtility, "T");
  ASSERT_EQ(0, n.net.AddArc(u, m));
  ASSERT_EQ(0, n.net.setNodeTemporalType(n.net.FindNode("T"), qelta::kTemporalTerminal));
  std::string error;
  EXPECT_EQ(qelta::kErrGeneral, n.Mau(m)->SetExpressions({"U+T"}, &error));
  EXPECT_EQ("Invalid expression at index 0: the temporal types do not allow an arc from T", error);
  EXPECT_EQ(std::vector<std::string>{"U"}, n.ParentIds(m));
  EXPECT_EQ(nullptr, n.Mau(m)->GetExpressionSet());
  ASSERT_EQ(0, n.net.setNodeTemporalType(m, qelta::kTemporalTerminal));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"U+T"}, &error)) << error;
  EXPECT_EQ((std::vector<std::string>{"T", "U"}), n.ParentIds(m));
}

// levels calls of Abs around inner.
std::string Abs(int levels, const std::string& inner) {
  std::string text = inner;
  for (int i = 0; i < levels; ++i) text = "Abs(" + text + ")";
  return text;
}

// What setting an expression accepts stays accepted: a list of user
// functions is refused only when an expression would then read back deeper
// than the bound, and an arc only when its sum would.
TEST(MauExpressionsTest, NestingAtTheBoundStaysAccepted) {
  constexpr int kBound = kMaxExpressionDepth;
  Net n;
  const int m = n.Add(kDefMau, "M");
  n.Add(kDefUtility, "U");
  const int a = n.Add(kDefUtility, "A");
  const int y = n.Add(qelta::kDefEquation, "y");
  n.Add(qelta::kDefEquation, "x");
  auto* equation = static_cast<VRN_equation*>(n.Def(y));
  int index = 0;
  int position = 0;
  std::string message;
  auto set_functions = [&](const Texts& texts) {
    message.clear();
    return n.net.SetExtFunctions(texts, index, position, message);
  };
  std::string error;
  EXPECT_EQ(qelta::kErrOutOfRange,
            n.Mau(m)->SetExpressions({Abs(kBound + 1, "U")}, &error));
  EXPECT_NE(std::string::npos, error.find("Expression is nested too deeply"));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({Abs(kBound, "U")}, &error)) << error;
  EXPECT_EQ(0, set_functions({"g(x)=x*2"})) << message;
  // The sum an arc would make reads back no more.
  EXPECT_EQ(qelta::kErrOutOfRange, n.net.AddArc(a, m));
  EXPECT_EQ(Texts{Abs(kBound, "U")}, n.Get(m));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({Abs(kBound - 1, "U")}, &error));
  ASSERT_EQ(0, n.net.AddArc(a, m));
  ASSERT_EQ(0, n.Mau(m)->SetExpressions(n.Get(m), &error)) << error;

  // A call counts one level and its body's; the definition's "=" leaves
  // the body one level less than the bound.
  const std::string deepest = "f(x)=" + Abs(kBound - 1, "x");
  const std::string deeper = "f(x)=" + Abs(kBound - 2, "x");
  EXPECT_EQ(qelta::kErrInvalidValue, set_functions({"f(x)=" + Abs(kBound, "x")}));
  ASSERT_EQ(0, set_functions({deepest})) << message;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"f(U)"}, &error)) << error;
  ASSERT_EQ(0, set_functions({deeper})) << message;
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"Abs(f(U))"}, &error)) << error;
  EXPECT_EQ(qelta::kErrInvalidValue, set_functions({deepest}));
  EXPECT_EQ("Expression is nested too deeply in node M", message);
  EXPECT_EQ(-1, index);
  Texts kept;
  n.net.GetExtFunctions(kept, false);
  EXPECT_EQ(Texts{deeper}, kept);

  // An equation's "=" is one of its levels.
  ASSERT_EQ(0, n.Mau(m)->SetExpressions({"U"}, &error)) << error;
  ASSERT_EQ(0, equation->SetEquation("y=f(x)", nullptr, nullptr));
  EXPECT_EQ(qelta::kErrInvalidValue, set_functions({deepest}));
  EXPECT_EQ("Expression is nested too deeply in node y", message);
  ASSERT_EQ(0, equation->SetEquation(("y=" + Abs(kBound - 1, "x")).c_str(),
                                     nullptr, nullptr));
  EXPECT_EQ(0, set_functions({deepest})) << message;
  EXPECT_NE(0, equation->SetEquation("y=f(x)", nullptr, nullptr));
}

}  // namespace
