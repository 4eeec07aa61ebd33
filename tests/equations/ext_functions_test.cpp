#include "equations/ext_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"

namespace {

using Tree = std::unique_ptr<VRN_expression>;

struct Result {
  bool ok;
  int index;
  int position;
  std::string message;
};

Result Set(VRN_extFunctionContainer& functions,
           const std::vector<std::string>& texts) {
  Result r{false, -7, -7, ""};
  r.ok = functions.SetDefinitions(texts, r.index, r.position, r.message);
  return r;
}

std::vector<std::string> Texts(const VRN_extFunctionContainer& functions,
                               bool deterministic_only = false) {
  std::vector<std::string> out;
  functions.GetDefinitions(out, deterministic_only);
  return out;
}

Tree Parse(const char* text, VRN_extFunctionContainer& functions) {
  Tree tree(VRN_ParseExpression(text, nullptr, nullptr, nullptr, &functions));
  EXPECT_NE(tree, nullptr) << text;
  return tree;
}

TEST(ExtFunctionsTest, BadDefinitionsFailWithMessageAndPosition) {
  struct Case {
    const char* text;
    int position;
    const char* message;
  };
  const Case cases[] = {
      {"g(y) = h(y)", 9, "Unknown function: h"},
      {"Sin(x) = x", 6, "Cannot redefine function Sin"},
      {"A() = 2", 3, "Cannot redefine function a"},
      {"k(x, x) = x", 5, "x: duplicate parameter name"},
      {"k(x, y) = x", 5, "y: parameter not found in function body"},
      {"k(x) = x + z", 11, "z: not a function parameter"},
      {"k(2) = 1", 2, "Parameter name required"},
      {"k(-x) = x", 3, "Parameter name required"},
      {"x + 1", 0, "Missing toplevel ="},
      {"-(k(x) = x)", 0, "Missing toplevel ="},
      {"y = x", 0, "Function name required on the LHS"},
      {"-k(x) = x", 0, "Function name required on the LHS"},
      {"1 = k(x)", 0, "Function name required on the LHS"},
      {"k(x) = k(x)", 9, "Unknown function: k"},
      {"k(x) = ", 7, "Factor expected"},
      {"k(x) = If(x=\"s1\",10,20)", 12, "Invalid text literal: \"s1\"."},
      {"k(x) = Switch(x,\"s0\",1,\"s1\",2,0)", 16, "Invalid text literal: \"s0\"."},
  };
  for (const Case& c : cases) {
    VRN_extFunctionContainer functions;
    ASSERT_TRUE(Set(functions, {"f(x) = x + 1"}).ok);
    const Result r = Set(functions, {"a() = 1", c.text});
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.index, 1) << c.text;
    EXPECT_EQ(r.position, c.position) << c.text;
    EXPECT_EQ(r.message, c.message) << c.text;
    // The old list stays in force.
    EXPECT_EQ(Texts(functions), std::vector<std::string>{"f(x)=x+1"});
  }
}

TEST(ExtFunctionsTest, CallsEvaluateTheBodyWithTheirArguments) {
  VRN_extFunctionContainer functions;
  ASSERT_TRUE(Set(functions, {"f(x) = x + 1", "g(y, z) = f(y)*2 - z",
                              "r(m) = Normal(m, 1)", "c() = Pi()"})
                  .ok);
  EXPECT_EQ(Texts(functions),
            (std::vector<std::string>{"f(x)=x+1", "g(y,z)=f(y)*2-z",
                                      "r(m)=Normal(m,1)", "c()=Pi()"}));
  EXPECT_EQ(Texts(functions, true),
            (std::vector<std::string>{"f(x)=x+1", "g(y,z)=f(y)*2-z",
                                      "c()=Pi()"}));
  EXPECT_EQ(functions.Find("G"), 1);
  EXPECT_EQ(functions.Find("h"), -1);

  Tree tree = Parse("G(F(3), a) + -f(1)", functions);
  std::string text;
  tree->Write(text);
  EXPECT_EQ(text, "g(f(3),a)+-f(1)");
  AssignVariable(tree.get(), "a", 0.5);
  EXPECT_EQ(tree->Evaluate(nullptr), 10.0 - 0.5 - 2.0);
  Tree copy(tree->Clone());
  tree.reset();
  EXPECT_EQ(copy->Evaluate(nullptr), 7.5);
  EXPECT_TRUE(copy->IsDeterministic());
  EXPECT_FALSE(Parse("r(0)", functions)->IsDeterministic());

  // Random bodies draw from the caller's generator.
  VRN_randomGenerator a(7), b(7);
  VRN_evalContext context;
  context.SetRandomGenerator(&a);
  Tree random = Parse("r(10)", functions);
  EXPECT_EQ(random->Evaluate(&context), b.Normal(10.0, 1.0));
}

TEST(ExtFunctionsTest, CostAndNestingAreBoundedAtDefinition) {
  // Each function calls the previous one twice: a call of the last would
  // evaluate 2^40 nodes.
  std::vector<std::string> texts{"f0(x) = x"};
  for (int i = 1; i < 40; ++i) {
    const std::string prev = "f" + std::to_string(i - 1);
    texts.push_back("f" + std::to_string(i) + "(x) = " + prev + "(x) + " +
                    prev + "(x)");
  }
  VRN_extFunctionContainer functions;
  Result r = Set(functions, texts);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.index, 18);
  EXPECT_EQ(r.position, 0);
  EXPECT_EQ(r.message,
            "f18: one call would evaluate more than 1000000 expression nodes");
  texts.resize(18);
  ASSERT_TRUE(Set(functions, texts).ok);
  EXPECT_EQ(Parse("f17(1)", functions)->Evaluate(nullptr), 131072.0);

  // A chain of single calls reaches the nesting bound instead.
  texts.assign(1, "d0(x) = x");
  for (int i = 1; i < 2000; ++i) {
    texts.push_back("d" + std::to_string(i) + "(x) = d" +
                    std::to_string(i - 1) + "(x)");
  }
  r = Set(functions, texts);
  EXPECT_FALSE(r.ok);
  EXPECT_GT(r.index, 100);
  EXPECT_EQ(r.message.rfind("Expression is nested too deeply: more than 150 "
                            "levels", 0),
            0u)
      << r.message;
  texts.resize(static_cast<size_t>(r.index));
  ASSERT_TRUE(Set(functions, texts).ok);
  const std::string last = "d" + std::to_string(r.index - 1) + "(2)";
  EXPECT_EQ(Parse(last.c_str(), functions)->Evaluate(nullptr), 2.0);
  EXPECT_EQ(VRN_ParseExpression(("1+" + last).c_str(), nullptr, nullptr,
                                nullptr, &functions),
            nullptr);
}

TEST(ExtFunctionsTest, CallsAreCheckedAndRepointedToANewList) {
  VRN_extFunctionContainer old_list, new_list;
  ASSERT_TRUE(Set(old_list, {"f(x) = x + 1", "g(x) = x"}).ok);
  Tree tree = Parse("f(2) * g(3)", old_list);
  struct Case {
    std::vector<std::string> texts;
    bool random_allowed;
    int index;
    const char* message;
  };
  const Case cases[] = {
      {{"g(x) = x"}, true, -1, "f: function not found"},
      {{"g(x) = x", "f(a, b) = a + b"}, true, 1,
       "f: expected parameter count is 2"},
      {{"f(x) = Uniform(0, x)", "g(x) = x"}, false, 0,
       "f: random number generators not allowed"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Set(new_list, c.texts).ok);
    int index = -7;
    std::string message;
    EXPECT_FALSE(CheckExtFunctionCalls(tree.get(), new_list, c.random_allowed,
                                       0, index, message));
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(message, c.message);
  }
  ASSERT_TRUE(Set(new_list, {"G(x) = 10 * x", "F(y) = y - 1"}).ok);
  int index = -7;
  std::string message;
  EXPECT_TRUE(CheckExtFunctionCalls(tree.get(), new_list, false, 0, index,
                                    message));
  PatchExtFunctionCalls(tree.get(), new_list);
  // The old list may go: the calls share the new definitions now.
  ASSERT_TRUE(Set(old_list, {}).ok);
  EXPECT_EQ(tree->Evaluate(nullptr), 30.0);
  std::string text;
  tree->Write(text);
  EXPECT_EQ(text, "F(2)*G(3)");
}

}  // namespace
