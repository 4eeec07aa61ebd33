#include "equations/expression_visitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "equations/expression_parser.h"

namespace {

using Tree = std::unique_ptr<VRN_expression>;

Tree Parse(const char* text) {
  Tree tree(VRN_ParseExpression(text, nullptr, nullptr, nullptr, nullptr));
  EXPECT_NE(tree, nullptr) << text;
  return tree;
}

std::string Written(const VRN_expression& tree) {
  std::string text;
  tree.Write(text);
  return text;
}

// Records the kind of every node visited, in order.
class KindRecorder : public VRN_constExpressionVisitor {
 public:
  void VisitOperator(const VRN_operator* node) override { Add(node); }
  void VisitFunction(const VRN_function* node) override { Add(node); }
  void VisitTextLiteral(const VRN_textLiteral* node) override { Add(node); }
  void VisitConstant(const VRN_constant* node) override { Add(node); }
  void VisitVariable(const VRN_variable* node) override { Add(node); }
  std::vector<int> kinds;

 private:
  void Add(const VRN_expression* node) { kinds.push_back(node->GetKind()); }
};

// Replaces every constant by the variable k.
class ConstantReplacer : public VRN_mutatingExpressionVisitor {
 public:
  void VisitConstant(VRN_constant* node, VRN_expression*& owner) override {
    VRN_expression* replacement = new VRN_variable("k");
    owner = replacement;
    delete node;
  }
};

TEST(ExpressionVisitorTest, TraversalsArePreOrder) {
  Tree tree = Parse("(a < 2 ? Sin(\"t\") : -b) + 3");
  KindRecorder recorder;
  tree->TraverseConst(recorder);
  EXPECT_EQ(recorder.kinds,
            (std::vector<int>{kExprPlus, kExprConditional, kExprLess,
                              kExprVariable, kExprConstant, kExprFunction,
                              kExprTextLiteral, kExprVariable, kExprConstant}));

  VRN_expression* root = tree.release();
  ConstantReplacer replacer;
  root->TraverseMutating(replacer, root);
  tree.reset(root);
  EXPECT_EQ(Written(*tree), "(a<k ? Sin(\"t\") : -b)+k");
  // A root that is replaced is not traversed further.
  root = Parse("7").release();
  root->TraverseMutating(replacer, root);
  tree.reset(root);
  EXPECT_EQ(Written(*tree), "k");
}

TEST(ExpressionVisitorTest, VariableOperations) {
  Tree tree = Parse("x*x + y + x");
  EXPECT_EQ(CountVariable(tree.get(), "x"), 3);
  EXPECT_EQ(CountVariable(tree.get(), "X"), 0);
  std::vector<std::string> names{"stale"};
  GetVariables(tree.get(), names);
  EXPECT_EQ(names, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(FindVariable(tree.get(), "y")->GetName(), "y");
  EXPECT_EQ(FindVariable(tree.get(), "z"), nullptr);

  Tree renamed = Parse("a + ab");
  RenameVariable(renamed.get(), "a", "c");
  EXPECT_EQ(Written(*renamed), "c+ab");
}

TEST(ExpressionVisitorTest, BindingFollowsTheContextsNames) {
  VRN_evalContext context;
  EXPECT_EQ(context.FindSlot("a"), -1);
  const int a = context.GetSlot("a");
  EXPECT_EQ(context.FindSlot("a"), a);
  context.SetSlotValue(a, 4.0);
  context.SetSlotValue(context.GetSlot("c"), 9.0);
  Tree tree = Parse("a + b");
  BindExpression(tree.get(), context);
  // b has no slot, so it evaluates to its stored value, NaN.
  EXPECT_TRUE(std::isnan(tree->Evaluate(&context)));
  AssignVariable(tree.get(), "b", 1.0);
  EXPECT_EQ(tree->Evaluate(&context), 5.0);
  // Assigning unbinds: a's stored value wins over its slot.
  AssignVariable(tree.get(), "a", 2.0);
  EXPECT_EQ(tree->Evaluate(&context), 3.0);

  // A substitute stands for its node, times the node's sign.
  Tree negated = Parse("-a * 2");
  context.AddSubstitute(new VRN_constant(10.0),
                        static_cast<VRN_binaryOperator&>(*negated).GetLeft());
  BindExpression(negated.get(), context);
  EXPECT_EQ(negated->Evaluate(&context), -20.0);
  EXPECT_TRUE(std::isnan(negated->Evaluate(nullptr)));
}

TEST(ExpressionVisitorTest, TermBuilders) {
  struct Case {
    const char* start;
    const char* written;
  };
  for (const Case& c : {Case{"0", "v"}, Case{"-0", "v"}, Case{"2", "2+v"},
                        Case{"a*b", "a*b+v"}}) {
    Tree sum(AddVariableTerm(Parse(c.start).release(), "v"));
    EXPECT_EQ(Written(*sum), c.written) << c.start;
  }
  EXPECT_EQ(Written(*Tree(MakeSum({}))), "0");
  EXPECT_EQ(Written(*Tree(MakeSum({"a"}))), "a");
  Tree sum(MakeSum({"a", "b", "c"}));
  EXPECT_EQ(Written(*sum), "a+b+c");
  EXPECT_EQ(static_cast<VRN_binaryOperator&>(*sum).GetLeft()->GetKind(),
            kExprPlus);
}

}  // namespace
