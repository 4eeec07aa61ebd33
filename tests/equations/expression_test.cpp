#include "equations/expression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"

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

// Binds variable node to the slot of its name in context.
void Bind(VRN_expression* node, VRN_evalContext& context) {
  auto& variable = dynamic_cast<VRN_variable&>(*node);
  variable.SetSlot(context.GetSlot(variable.GetName()));
}

TEST(ExpressionTest, ArithmeticAndComparisonsFollowIeee) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    double value;
  };
  // x is unbound and unassigned, so NaN.
  const Case cases[] = {
      {"1/0", inf},   {"-1/0", -inf}, {"x = 1", 0}, {"x <> 1", 1},
      {"x < 1", 0},   {"1 < x", 0},   {"x >= x", 0}, {"x ? 1 : 2", 1},
      {"0 ? 1 : 2", 2}, {"-0 ? 1 : 2", 2}, {"-(1+2)", -3}, {"2^0.5", std::sqrt(2.0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parse(c.text)->Evaluate(nullptr), c.value) << c.text;
  }
  EXPECT_TRUE(std::isnan(Parse("0/0")->Evaluate(nullptr)));
  EXPECT_TRUE(std::isnan(Parse("\"t\"")->Evaluate(nullptr)));
}

TEST(ExpressionTest, WriteAddsOnlyTheNeededParentheses) {
  struct Case {
    const char* text;
    const char* written;
  };
  const Case cases[] = {
      {"-(a + b)", "-(a+b)"},
      {"3.14159265", "3.14159265"},
      {"a * (b + c)", "a*(b+c)"},
      {"(a * b) + c", "a*b+c"},
      {"a + (c ? x : y)", "a+(c ? x : y)"},
      {"(c ? x : y) ? 1 : 2", "(c ? x : y) ? 1 : 2"},
      {"c ? (a ? 1 : 2) : (b ? 3 : 4)", "c ? a ? 1 : 2 : b ? 3 : 4"},
      {"a - (b - c)", "a-(b-c)"},
      {"(a - b) - c", "a-b-c"},
      {"(a ^ b) ^ c", "a^b^c"},
      {"a ^ (b ^ c)", "a^(b^c)"},
      {"-(a*b)*c", "-(a*b)*c"},
      {"-(a+b)*c", "(-(a+b))*c"},
      {"-x * -Sin(-2)", "-x*-Sin(-2)"},
      {"\"some text\"", "\"some text\""},
      {"pi() + max(1, 2)", "Pi()+Max(1,2)"},
      {"0.1 + 1234567 + 1e-7", "0.1+1234567+1e-07"},
      {"0.30000000000000004", "0.30000000000000004"},
      {"1e999", "1e999"},
  };
  for (const Case& c : cases) EXPECT_EQ(Written(*Parse(c.text)), c.written);

  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Written(VRN_constant(-inf)), "-1e999");
  EXPECT_EQ(Written(VRN_constant(std::nan(""))), "(0/0)");
  VRN_unknownFunction unknown("foo");
  unknown.AddArgument(new VRN_variable("a"));
  unknown.AddArgument(new VRN_constant(2));
  EXPECT_EQ(Written(unknown), "foo(a,2)");
  EXPECT_EQ(unknown.Evaluate(nullptr), 0.0);
}

TEST(ExpressionTest, ContextSlotsAndSubstitutes) {
  VRN_evalContext context(4);
  EXPECT_EQ(context.GetSlot("a"), 0);
  EXPECT_EQ(context.GetSlot("b"), 1);
  EXPECT_EQ(context.GetSlot("a"), 0);
  EXPECT_EQ(context.GetSlotValue(1), 0.0);

  Tree tree = Parse("c ? a : b");
  auto& conditional = static_cast<VRN_operatorConditional&>(*tree);
  Bind(conditional.GetThen(), context);
  Bind(conditional.GetElse(), context);
  Bind(conditional.GetCondition(), context);
  context.SetSlotValue(0, 10);
  context.SetSlotValue(1, 20);
  const double conditions[] = {0.0, -0.0, std::nan(""), 3};
  const double expected[] = {20, 20, 10, 10};
  for (int i = 0; i < 4; ++i) {
    context.SetSlotValue(2, conditions[i]);
    EXPECT_EQ(tree->Evaluate(&context), expected[i]) << i;
  }
  // A bound variable read without its context has no value.
  EXPECT_TRUE(std::isnan(tree->Evaluate(nullptr)));

  // A node with a context index stands for the substitute, with its sign.
  Tree substitute = Parse("a + 1");
  Bind(static_cast<VRN_binaryOperator&>(*substitute).GetLeft(), context);
  const int index = context.AddSubstitute(substitute.release());
  VRN_constant stand_in(99);
  stand_in.SetContextIndex(index);
  stand_in.SetSign(-1);
  EXPECT_EQ(stand_in.Evaluate(&context), -11);
  EXPECT_EQ(stand_in.Evaluate(nullptr), -99);
  stand_in.SetContextIndex(index + 1);
  EXPECT_TRUE(std::isnan(stand_in.Evaluate(&context)));
}

TEST(ExpressionTest, CloneCopiesEveryField) {
  VRN_evalContext context;
  Tree tree = Parse("x * Sin(\"t\") + (y ? 1 : 2)");
  auto& product = static_cast<VRN_binaryOperator&>(
      *static_cast<VRN_binaryOperator&>(*tree).GetLeft());
  Bind(product.GetLeft(), context);
  context.SetSlotValue(0, 5);
  product.FlipSign();
  tree->SetContextIndex(7);
  Tree copy(tree->Clone());
  EXPECT_EQ(copy->GetContextIndex(), 7);
  EXPECT_EQ(Written(*copy), "-(x*Sin(\"t\"))+(y ? 1 : 2)");
  auto& copied = static_cast<VRN_binaryOperator&>(
      *static_cast<VRN_binaryOperator&>(*copy).GetLeft());
  EXPECT_EQ(static_cast<VRN_variable&>(*copied.GetLeft()).GetSlot(), 0);

  VRN_variable assigned("v");
  assigned.SetValue(4.5);
  EXPECT_EQ(Tree(assigned.Clone())->Evaluate(nullptr), 4.5);
}

TEST(ExpressionTest, RandomCallsMakeTreesNondeterministic) {
  EXPECT_TRUE(Parse("Sin(x) + If(a, 1, 2)")->IsDeterministic());
  EXPECT_FALSE(Parse("1 + Normal(0, 1)")->IsDeterministic());
  EXPECT_FALSE(Parse("c ? 1 : -Max(1, Uniform(0, 1))")->IsDeterministic());
}

TEST(ExpressionTest, OperandsEvaluateLeftFirstAndOnlyWhenSelected) {
  VRN_randomGenerator generator(17);
  VRN_randomGenerator twin(17);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  const double a = twin.Uniform(0, 1);
  const double b = twin.Uniform(0, 3);
  EXPECT_EQ(Parse("Uniform(0, 1) - Uniform(0, 3)")->Evaluate(&context), a - b);
  // The branch not taken draws nothing.
  EXPECT_EQ(Parse("0 ? Uniform(0, 1) : 5")->Evaluate(&context), 5);
  EXPECT_EQ(generator.NextDouble(), twin.NextDouble());
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
