#include "equations/expression_parser.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <clocale>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "equations/expression_visitor.h"
#include "equations/ext_function_factory.h"
#include "equations/std_functions.h"

namespace {

using Tree = std::unique_ptr<VRN_expression>;

Tree Parse(const std::string& text) {
  return Tree(VRN_ParseExpression(text.c_str(), nullptr, nullptr, nullptr,
                                  nullptr));
}

std::string Written(const VRN_expression& tree) {
  std::string text = "stale";
  tree.Write(text);
  return text;
}

// The tree's structure: kinds, signs, names and constants bit for bit.
std::string Dump(const VRN_expression* node) {
  std::string out = std::to_string(node->GetKind()) +
                    (node->GetSign() < 0 ? "-" : "+");
  if (auto* c = dynamic_cast<const VRN_constant*>(node)) {
    char bits[32];
    std::snprintf(bits, sizeof bits, "%a", c->GetValue());
    return out + bits;
  }
  std::vector<const VRN_expression*> parts;
  if (auto* f = dynamic_cast<const VRN_function*>(node)) {
    out += f->GetName();
    parts.assign(f->GetArguments().begin(), f->GetArguments().end());
  } else if (auto* b = dynamic_cast<const VRN_binaryOperator*>(node)) {
    parts = {b->GetLeft(), b->GetRight()};
  } else if (auto* k = dynamic_cast<const VRN_operatorConditional*>(node)) {
    parts = {k->GetCondition(), k->GetThen(), k->GetElse()};
  } else {
    node->WriteTerm(out);
  }
  out += '(';
  for (const VRN_expression* part : parts) out += Dump(part) + ',';
  return out + ')';
}

TEST(ExpressionParserTest, ErrorsCarryMessageAndPosition) {
  struct Case {
    const char* text;
    const char* message;
    int position;
  };
  const Case cases[] = {
      {"", "Empty expression", 0},
      {"   ", "Empty expression", 3},
      {"1 2", "Invalid expression", 3},
      {"(1 + 2", "')' expected", 6},
      {"a ? b", "':' expected", 5},
      {"y = 2*x +", "Factor expected", 9},
      {"x == 1", "Factor expected", 4},
      {"x != 1", "Invalid token", 3},
      {"_x", "Invalid token", 1},
      {"\"abc", "Invalid text literal, missing closing quote", 4},
      {".", "Invalid numeric literal", 1},
      {"f(1)", "Unknown function: f", 2},
      {"Sin(1 2)", "Comma expected in a function call", 7},
      {"Atan2(1, 2, 3)", "Function Atan2 requires 2 parameters", 14},
      {"sin()", "Function sin requires 1 parameter", 5},
      {"Max(1)", "Function Max requires at least 2 parameters", 6},
      {"Sum()", "Function Sum requires at least 2 parameters", 5},
      {"Discrete(1, 2, 3, 4, 5)",
       "Discrete function requires even number of parameters equal or "
       "greater than 4",
       23},
      {"Metalog(1,2,3,4,5,6,7,8)",
       "Metalog function requires odd number of parameters equal or greater "
       "than 7",
       24},
      {"Steps(0,1,2,3)",
       "Steps function requires odd number of parameters equal or greater "
       "than 3",
       14},
      {"TruncNormal(0,1,2,3,4)", "TruncNormal function requires 3 or 4 parameters",
       22},
      {"1 + )", "Factor expected", 5},
      {"(1))", "Invalid expression", 4},
  };
  for (const Case& c : cases) {
    std::string message = "unset";
    int position = -7;
    Tree tree(VRN_ParseExpression(c.text, &position, &message, nullptr,
                                  nullptr));
    EXPECT_EQ(tree, nullptr) << c.text;
    EXPECT_EQ(message, c.message) << c.text;
    EXPECT_EQ(position, c.position) << c.text;
  }
}

TEST(ExpressionParserTest, PrecedenceAndAssociativity) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"2^3^2", 64},          {"-2^2", 4},           {"1-2-3", -4},
      {"1 - 2 - 3", -4},      {"2+3*4", 14},         {"(2+3)*4", 20},
      {"8/4/2", 1},           {"1 < 2 = 1", 1},      {"2 = 2 = 1", 1},
      {"1 ? 2 : 0 ? 3 : 4", 2}, {"0 ? 2 : 0 ? 3 : 4", 4},
      {"0 ? 1 : 2 + 3", 5},   {"-(1+2)", -3},        {"--3", 3},
      {".5 + 1e3", 1000.5},   {"0x1p-3", 0.125},     {"1 <> 2", 1},
      {"3 >= 3", 1},          {"3 <= 2", 0},         {"sIN(0) + PI()", M_PI},
      {"\"txt\" = 1", 0},     {"x_1", NAN},          {"1e999", INFINITY},
  };
  for (const Case& c : cases) {
    Tree tree = Parse(c.text);
    ASSERT_NE(tree, nullptr) << c.text;
    const double value = tree->Evaluate(nullptr);
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(value)) << c.text;
    } else {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(ExpressionParserTest, PositionMapHoldsTokenStarts) {
  VRN_positionMap positions;
  Tree tree(VRN_ParseExpression("a + 12*\"t\"", nullptr, nullptr, &positions,
                                nullptr));
  ASSERT_NE(tree, nullptr);
  auto& sum = static_cast<VRN_binaryOperator&>(*tree);
  auto& product = static_cast<VRN_binaryOperator&>(*sum.GetRight());
  EXPECT_EQ(positions.size(), 3u);
  EXPECT_EQ(positions[sum.GetLeft()], 0);
  EXPECT_EQ(positions[product.GetLeft()], 4);
  EXPECT_EQ(positions[product.GetRight()], 7);

  VRN_positionMap untouched;
  EXPECT_EQ(VRN_ParseExpression("a + (b", nullptr, nullptr, &untouched,
                                nullptr),
            nullptr);
  EXPECT_TRUE(untouched.empty());
}

class TwoArgFactory : public VRN_extFunctionFactory {
 public:
  bool CreateFunction(const std::string& name, VRN_function*& node,
                      int& argument_count, bool& variadic) override {
    if (name != "Mine") return false;
    node = new VRN_unknownFunction("Mine");
    argument_count = 2;
    variadic = false;
    return true;
  }
};

TEST(ExpressionParserTest, FactoryResolvesNamesThatAreNotBuiltIn) {
  TwoArgFactory factory;
  std::string message;
  Tree tree(VRN_ParseExpression("Mine(1, Sin(0))", nullptr, &message, nullptr,
                                &factory));
  ASSERT_NE(tree, nullptr) << message;
  EXPECT_EQ(Written(*tree), "Mine(1,Sin(0))");
  EXPECT_EQ(VRN_ParseExpression("Mine(1)", nullptr, &message, nullptr,
                                &factory),
            nullptr);
  EXPECT_EQ(message, "Function Mine requires 2 parameters");
}

// A subclass's hooks decide which names are accepted.
class StrictParser : public VRN_expressionParser {
 protected:
  bool IsValidVariable(const std::string& name, std::string& reason) override {
    reason = "not a node";
    return name != "z";
  }
  VRN_expression* TranslateFunction(VRN_function* function,
                                    std::string& message) override {
    delete function;
    message = "no calls here";
    return nullptr;
  }
};

TEST(ExpressionParserTest, SubclassHooksRefuseWithTheirReasons) {
  StrictParser parser;
  std::string message;
  int position = 0;
  EXPECT_EQ(parser.Parse("a + z", &message, &position, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(message, "Invalid variable 'z': not a node");
  EXPECT_EQ(parser.Parse("Sin(1)", &message, &position, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(message, "no calls here");
  EXPECT_EQ(position, 6);
  Tree ok(parser.Parse("a", &message, &position, nullptr, nullptr));
  EXPECT_NE(ok, nullptr);
}

// Texts covering operator pairs, signs, conditionals in every position,
// calls of every arity, literals and numbers that need all their digits.
std::vector<std::string> RoundTripTexts() {
  const char* ops[] = {"=", "<>", "<", ">", "<=", ">=", "+", "-", "*", "/", "^"};
  std::vector<std::string> texts;
  for (const char* p : ops) {
    for (const char* q : ops) {
      texts.push_back(std::string("a") + p + "b" + q + "c");
      texts.push_back(std::string("a") + p + "(b" + q + "c)");
      texts.push_back(std::string("-(a") + p + "b)" + q + "-c");
    }
  }
  const char* others[] = {
      "c ? x : y",          "(c ? x : y) ? 1 : 2",   "c ? (a ? 1 : 2) : 3",
      "c ? 1 : a ? 2 : 3",  "a+(c ? x : y)",         "(c ? x : y)*2",
      "-(c ? x : y)",       "Sin(c ? 1 : 2)",        "-Sin(-x)^-2",
      "Pi()",               "Max(1,2,3,4,5,6)",      "Trim(x,-1,1)",
      "If(a,b,c)",          "\"text\"+\"\"",          "1e-7",
      "0.1",                "0.30000000000000004",   "1e308",
      "0x1p-3",             "3.14159265",            "1234567",
      "2.2250738585072014e-308", "4.9e-324",          "1e999",
      "x--1e999",           "123456789012345678",    "0.000123456789",
      "Choose(i,1,2,3)",    "Discrete(1,2,0.25,0.75)", "-x*-y/-z",
      "a-(b-c)",            "a^(b^c)",               "(a^b)^c",
      "-(-(a))",            "Switch(x,1,2,3)",       "Normal(0,1)+Uniform(0,1)",
  };
  texts.insert(texts.end(), std::begin(others), std::end(others));
  return texts;
}

TEST(ExpressionParserTest, WriteReadsBackAsTheSameTree) {
  const std::vector<std::string> texts = RoundTripTexts();
  ASSERT_GE(texts.size(), 200u);
  for (const std::string& text : texts) {
    Tree first = Parse(text);
    ASSERT_NE(first, nullptr) << text;
    const std::string written = Written(*first);
    Tree second = Parse(written);
    ASSERT_NE(second, nullptr) << text << " -> " << written;
    EXPECT_EQ(Dump(first.get()), Dump(second.get())) << text << " -> " << written;
    EXPECT_EQ(Written(*second), written);
  }
}

TEST(ExpressionParserTest, NumbersIgnoreTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
  }
  Tree tree = Parse("0.5 + 0.25e1");
  const std::string written = tree != nullptr ? Written(*tree) : "";
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->Evaluate(nullptr), 3.0);
  EXPECT_EQ(written, "0.5+2.5");
}

std::string Nested(int depth) {
  return std::string(depth, '(') + "x" + std::string(depth, ')');
}

std::string Sum(int terms) {
  std::string text = "1";
  for (int i = 1; i < terms; ++i) text += "+1";
  return text;
}

std::string Calls(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "Abs(";
  return text + "-2" + std::string(depth, ')');
}

// Texts nested depth levels deep, one of each shape that nests:
// parentheses, unary minus, a sum (left operands), calls, conditionals and,
// for an even depth, right operands in parentheses.
std::vector<std::string> DeepTexts(int depth) {
  std::string conditional = "x";
  for (int i = 1; i < depth; ++i) conditional = "x>1 ? 2 : " + conditional;
  std::vector<std::string> texts = {Nested(depth), std::string(depth, '-') + "x",
                                    Sum(depth + 1), Calls(depth - 1),
                                    conditional};
  if (depth % 2 == 0) {
    std::string right = "x";
    for (int i = 0; i < depth / 2; ++i) right = "x^(" + right + ")";
    texts.push_back(right);
  }
  return texts;
}

TEST(ExpressionParserTest, NestingDeeperThanTheBoundIsRefused) {
  static_assert(kMaxExpressionDepth % 2 == 0, "DeepTexts nests by twos");
  std::vector<std::string> too_deep = DeepTexts(kMaxExpressionDepth + 1);
  too_deep.push_back(DeepTexts(kMaxExpressionDepth + 2).back());
  too_deep.push_back(Nested(100000));
  for (const std::string& text : too_deep) {
    std::string message;
    int position = -1;
    Tree tree(VRN_ParseExpression(text.c_str(), &position, &message, nullptr,
                                  nullptr));
    EXPECT_EQ(tree, nullptr) << text;
    EXPECT_EQ(message,
              "Expression is nested too deeply: more than 150 levels, each "
              "operator of a chain such as a+b+c counting one; write "
              "Sum(a, b, c, ...) or group the terms with parentheses");
    EXPECT_GT(position, 0);
    EXPECT_LE(position, static_cast<int>(text.size()));
  }
}

// NestingDepth tells whether written text reads back: a tree is refused
// exactly when it nests deeper than the bound.
TEST(ExpressionParserTest, NestingDepthIsWhatTheParserCounts) {
  std::vector<std::string> texts = RoundTripTexts();
  for (int depth : {kMaxExpressionDepth - 1, kMaxExpressionDepth}) {
    for (const std::string& text : DeepTexts(depth)) texts.push_back(text);
  }
  texts.push_back("-(" + Calls(kMaxExpressionDepth - 4) + "+1)");
  texts.push_back("(0/0)+" + Sum(kMaxExpressionDepth - 2));
  for (const std::string& text : texts) {
    Tree tree = Parse(text);
    ASSERT_NE(tree, nullptr) << text;
    EXPECT_LE(NestingDepth(tree.get()), kMaxExpressionDepth) << text;
    EXPECT_NE(Parse(Written(*tree)), nullptr) << text;
  }
  for (int terms : {kMaxExpressionDepth, kMaxExpressionDepth + 1}) {
    Tree sum(new VRN_variable("x"));
    for (int i = 1; i < terms; ++i) {
      sum.reset(new VRN_operatorPlus(sum.release(), new VRN_variable("x")));
    }
    sum->FlipSign();  // written -(x+...+x): two levels more
    EXPECT_EQ(NestingDepth(sum.get()), terms + 1);
    EXPECT_EQ(Parse(Written(*sum)) != nullptr, terms + 1 <= kMaxExpressionDepth);
  }
}

// Parses, writes and reads back, clones, binds, evaluates, simplifies and
// deletes texts at the depth bound.
void* WalkDeepTrees(void* failures) {
  int& failed = *static_cast<int*>(failures);
  for (const std::string& text : DeepTexts(kMaxExpressionDepth)) {
    Tree tree = Parse(text);
    if (tree == nullptr) {
      ++failed;
      continue;
    }
    std::string written;
    tree->Write(written);
    Tree back = Parse(written);
    if (back == nullptr || Dump(back.get()) != Dump(tree.get())) ++failed;
    VRN_expression* copy = tree->Clone();
    VRN_evalContext context(1);
    context.SetSlotValue(context.GetSlot("x"), 3.0);
    BindExpression(copy, context);
    const double value = copy->Evaluate(&context);
    for (int i = 0; i < 50 && copy->Simplify(copy); ++i) {
    }
    const double simplified = copy->Evaluate(&context);
    if (!(value == simplified || (std::isnan(value) && std::isnan(simplified)))) {
      ++failed;
    }
    delete copy;
  }
  return nullptr;
}

TEST(ExpressionParserTest, TreesAtTheBoundFitASmallThreadStack) {
  // Sanitizers grow every frame several times; the bound is for release.
#ifdef __SANITIZE_ADDRESS__
  const size_t stack = 2 << 20;
#else
  const size_t stack = 128 << 10;  // the smallest a Java thread may have
#endif
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, stack), 0);
  int failures = 0;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, WalkDeepTrees, &failures), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(failures, 0);
}

}  // namespace
