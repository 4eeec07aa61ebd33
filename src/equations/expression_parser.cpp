// Expression scanner and recursive-descent parser.
#include "equations/expression_parser.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "base/strings.h"
#include "equations/ext_function_factory.h"
#include "equations/std_functions.h"

// Kept out of the recursive functions so that their frames stay small.
#define QELTA_NOINLINE __attribute__((noinline))

namespace {

constexpr int kTokenEnd = 0;
constexpr int kTokenIdentifier = 1;
constexpr int kTokenNumber = 2;
constexpr int kTokenText = 3;
constexpr int kTokenLessEqual = 123;
constexpr int kTokenGreaterEqual = 125;
constexpr int kTokenNotEqual = 35;

// The runtime's white space, for bytes below 0x80 only.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

// The classic locale, made once; null when the runtime cannot make it.
locale_t ClassicNumericLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return locale;
}

// Binary operator level of a token, -1 for other tokens.
int LevelOf(int token) {
  switch (token) {
    case '=':
    case kTokenNotEqual:
      return 0;
    case '<':
    case '>':
    case kTokenLessEqual:
    case kTokenGreaterEqual:
      return 1;
    case '+':
    case '-':
      return 2;
    case '*':
    case '/':
      return 3;
    case '^':
      return 4;
    default:
      return -1;
  }
}

// Takes ownership of left and right.
VRN_expression* MakeBinary(int token, VRN_expression* left,
                           VRN_expression* right) {
  switch (token) {
    case '=':
      return new VRN_operatorEQ(left, right);
    case kTokenNotEqual:
      return new VRN_operatorNE(left, right);
    case '<':
      return new VRN_operatorLT(left, right);
    case '>':
      return new VRN_operatorGT(left, right);
    case kTokenLessEqual:
      return new VRN_operatorLE(left, right);
    case kTokenGreaterEqual:
      return new VRN_operatorGE(left, right);
    case '+':
      return new VRN_operatorPlus(left, right);
    case '-':
      return new VRN_operatorMinus(left, right);
    case '*':
      return new VRN_operatorMultiply(left, right);
    case '/':
      return new VRN_operatorDivide(left, right);
    default:
      return new VRN_operatorExp(left, right);
  }
}

std::string ArityMessage(const std::string& name, int count, bool at_least) {
  std::string message = "Function " + name + " requires ";
  if (at_least) message += "at least ";
  message += std::to_string(count);
  message += " parameter";
  if (count != 1) message += 's';
  return message;
}

}  // namespace

// ---------------------------------------------------------------- hooks

bool VRN_expressionParser::IsValidVariable(const std::string& name,
                                           std::string& reason) {
  return true;
}

bool VRN_expressionParser::CreateFunction(const std::string& name,
                                          VRN_function*& function,
                                          int& parameter_count,
                                          bool& at_least) {
  VRN_stdFunction* builtin =
      VRN_stdFunction::Create(name, &parameter_count, &at_least);
  if (builtin != nullptr) {
    function = builtin;
    return true;
  }
  return factory_ != nullptr &&
         factory_->CreateFunction(name, function, parameter_count, at_least);
}

VRN_expression* VRN_expressionParser::TranslateFunction(VRN_function* function,
                                                        std::string& message) {
  return function;
}

// ---------------------------------------------------------------- parse

VRN_expression* VRN_expressionParser::Parse(const char* text,
                                            std::string* message,
                                            int* error_position,
                                            VRN_positionMap* positions,
                                            VRN_extFunctionFactory* factory) {
  text_ = text != nullptr ? text : "";
  const size_t length = std::strlen(text_);
  // Positions are ints; a longer text is refused as a whole.
  length_ = static_cast<int>(std::min<size_t>(length, 0x7fffffff));
  pos_ = 0;
  error_count_ = 0;
  message_ = message;
  error_position_ = error_position;
  positions_.clear();
  keep_positions_ = positions != nullptr;
  token_start_ = 0;
  factory_ = factory;
  token_ = kTokenEnd;
  number_ = 0.0;
  token_text_.clear();

  if (length > 0x7fffffff) {
    Error("Invalid expression");
    return nullptr;
  }
  Next();
  if (token_ == kTokenEnd) {
    Error("Empty expression");
    return nullptr;
  }
  int depth = 0;
  Node tree = ParseConditional(0, depth);
  if (tree != nullptr && token_ != kTokenEnd) Error("Invalid expression");
  if (error_count_ > 0) return nullptr;
  if (positions != nullptr) {
    for (const auto& entry : positions_) (*positions)[entry.first] = entry.second;
  }
  positions_.clear();
  return tree.release();
}

QELTA_NOINLINE void VRN_expressionParser::Error(const char* message) {
  if (error_count_++ > 0) return;
  if (message_ != nullptr) *message_ = message;
  if (error_position_ != nullptr) *error_position_ = std::min(pos_, length_);
}

QELTA_NOINLINE void VRN_expressionParser::Error(const std::string& message) {
  Error(message.c_str());
}

QELTA_NOINLINE void VRN_expressionParser::ErrorTooDeep() {
  // Long typed sums are the usual cause: say how to write them.
  Error("Expression is nested too deeply: more than " +
        std::to_string(kMaxExpressionDepth) +
        " levels, each operator of a chain such as a+b+c counting one;"
        " write Sum(a, b, c, ...) or group the terms with parentheses");
}

bool VRN_expressionParser::TooDeep(int level) {
  if (level <= kMaxExpressionDepth) return false;
  ErrorTooDeep();
  return true;
}

void VRN_expressionParser::Record(const VRN_expression* node, int position) {
  if (keep_positions_) positions_[node] = position;
}

// ---------------------------------------------------------------- scanner

void VRN_expressionParser::Next() {
  while (IsSpace(text_[pos_])) ++pos_;
  const char c = text_[pos_];
  token_start_ = pos_ + 1;
  if (c == '\0') {
    token_ = kTokenEnd;
    return;
  }
  ++pos_;
  switch (c) {
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case '-':
    case '/':
    case ':':
    case '=':
    case '?':
    case '^':
      token_ = c;
      return;
    case '<':
      token_ = '<';
      if (text_[pos_] == '=') {
        token_ = kTokenLessEqual;
        ++pos_;
      } else if (text_[pos_] == '>') {
        token_ = kTokenNotEqual;
        ++pos_;
      }
      return;
    case '>':
      token_ = '>';
      if (text_[pos_] == '=') {
        token_ = kTokenGreaterEqual;
        ++pos_;
      }
      return;
    case '"':
      ScanTextLiteral();
      return;
    default:
      break;
  }
  if ((c >= '0' && c <= '9') || c == '.') {
    ScanNumber();
  } else if (VRN_IsValidIdChar(c, true)) {
    const int start = pos_ - 1;
    while (VRN_IsValidIdChar(text_[pos_], false)) ++pos_;
    token_text_.assign(text_ + start, static_cast<size_t>(pos_ - start));
    token_ = kTokenIdentifier;
  } else {
    token_ = kTokenEnd;
    Error("Invalid token");
  }
}

void VRN_expressionParser::ScanTextLiteral() {
  const char* close = std::strchr(text_ + pos_, '"');
  if (close == nullptr) {
    pos_ = length_;
    token_ = kTokenEnd;
    Error("Invalid text literal, missing closing quote");
    return;
  }
  token_text_.assign(text_ + pos_, static_cast<size_t>(close - (text_ + pos_)));
  pos_ = static_cast<int>(close - text_) + 1;
  token_ = kTokenText;
}

void VRN_expressionParser::ScanNumber() {
  const char* start = text_ + pos_ - 1;
  char* end = nullptr;
  // The classic form, so that a decimal-comma locale reads 0.5 as 0.5.
  const locale_t classic = ClassicNumericLocale();
  number_ = classic != locale_t{} ? strtod_l(start, &end, classic)
                                  : strtod(start, &end);
  if (end == start) {
    token_ = kTokenEnd;
    Error("Invalid numeric literal");
    return;
  }
  pos_ = static_cast<int>(end - text_);
  token_ = kTokenNumber;
}

// ---------------------------------------------------------------- grammar
//
// Nested text recurses through ParseConditional, ParseBinary and ParseFactor
// (and ParseIdentifier and ParseCall for calls), so those frames are kept
// small: names are read back from the text by position, and everything that
// builds strings or finishes a node lives in helpers that are not inlined.

VRN_expressionParser::Node VRN_expressionParser::ParseConditional(int base,
                                                                  int& depth) {
  if (TooDeep(base)) return nullptr;
  Node node = ParseBinary(0, base, depth);
  if (node == nullptr || token_ != '?') return node;
  return ParseBranches(std::move(node), base, depth);
}

QELTA_NOINLINE VRN_expressionParser::Node VRN_expressionParser::ParseBranches(Node condition,
                                                               int base,
                                                               int& depth) {
  // Only one round can run: the else part takes every further '?'.
  while (token_ == '?') {
    Next();
    int then_depth = 0;
    Node then_part = ParseConditional(base + 1, then_depth);
    if (then_part == nullptr) return nullptr;
    if (token_ != ':') {
      Error("':' expected");
      return nullptr;
    }
    Next();
    int else_depth = 0;
    Node else_part = ParseConditional(base + 1, else_depth);
    if (else_part == nullptr) return nullptr;
    depth = 1 + std::max({depth, then_depth, else_depth});
    if (TooDeep(base + depth)) return nullptr;
    VRN_expression* conditional = new VRN_operatorConditional(
        condition.get(), then_part.get(), else_part.get());
    condition.release();
    then_part.release();
    else_part.release();
    condition.reset(conditional);
  }
  return condition;
}

VRN_expressionParser::Node VRN_expressionParser::ParseBinary(int min_level,
                                                             int base,
                                                             int& depth) {
  if (TooDeep(base)) return nullptr;
  Node left = ParseFactor(base, depth);
  while (left != nullptr) {
    const int level = LevelOf(token_);
    if (level < min_level) break;
    const int op = token_;
    Next();
    int right_depth = 0;
    Node right = ParseBinary(level + 1, base + 1, right_depth);
    if (right == nullptr) return nullptr;
    depth = 1 + std::max(depth, right_depth);
    if (TooDeep(base + depth)) return nullptr;
    VRN_expression* combined = MakeBinary(op, left.get(), right.get());
    left.release();
    right.release();
    left.reset(combined);
  }
  return left;
}

VRN_expressionParser::Node VRN_expressionParser::ParseFactor(int base,
                                                             int& depth) {
  if (TooDeep(base)) return nullptr;
  depth = 0;
  Node node;
  switch (token_) {
    case kTokenIdentifier:
      return ParseIdentifier(base, depth);
    case kTokenNumber:
    case kTokenText:
      return MakeLeaf();
    case '(':
      Next();
      node = ParseConditional(base + 1, depth);
      if (node == nullptr) return nullptr;
      if (token_ != ')') {
        Error("')' expected");
        return nullptr;
      }
      Next();
      ++depth;
      return node;
    case '-':
      Next();
      node = ParseFactor(base + 1, depth);
      if (node == nullptr) return nullptr;
      node->FlipSign();
      ++depth;
      return node;
    default:
      Error("Factor expected");
      return nullptr;
  }
}

QELTA_NOINLINE VRN_expressionParser::Node VRN_expressionParser::MakeLeaf() {
  Node node;
  if (token_ == kTokenNumber) {
    node.reset(new VRN_constant(number_));
  } else {
    node.reset(new VRN_textLiteral(std::move(token_text_)));
  }
  Record(node.get(), token_start_ - 1);
  Next();
  return node;
}

VRN_expressionParser::Node VRN_expressionParser::ParseIdentifier(int base,
                                                                 int& depth) {
  const int start = token_start_ - 1;
  const int length = static_cast<int>(token_text_.size());
  Next();
  if (token_ == '(') return ParseCall(start, length, base, depth);
  return MakeVariable(start, length);
}

QELTA_NOINLINE VRN_expressionParser::Node VRN_expressionParser::MakeVariable(int start,
                                                              int length) {
  std::string name(text_ + start, static_cast<size_t>(length));
  std::string reason;
  if (!IsValidVariable(name, reason)) {
    Error("Invalid variable '" + name + "': " + reason);
    return nullptr;
  }
  Node node(new VRN_variable(std::move(name)));
  Record(node.get(), start);
  return node;
}

VRN_expressionParser::Node VRN_expressionParser::ParseCall(int start,
                                                           int length,
                                                           int base,
                                                           int& depth) {
  int count = 0;
  bool at_least = false;
  std::unique_ptr<VRN_function> call = StartCall(start, length, count, at_least);
  if (call == nullptr) return nullptr;
  Next();
  depth = 0;
  if (token_ != ')') {
    for (;;) {
      int arg_depth = 0;
      Node arg = ParseConditional(base + 1, arg_depth);
      if (arg == nullptr) return nullptr;
      call->AddArgument(arg.get());
      arg.release();
      depth = std::max(depth, arg_depth);
      if (token_ == ')') break;
      if (token_ != ',') {
        Error("Comma expected in a function call");
        return nullptr;
      }
      Next();
    }
  }
  ++depth;
  if (!AddBodyDepth(*call, base, depth)) return nullptr;
  return FinishCall(std::move(call), start, length, count, at_least);
}

QELTA_NOINLINE bool VRN_expressionParser::AddBodyDepth(
    const VRN_function& call, int base, int& depth) {
  const int body = call.GetBodyDepth();
  if (body == 0) return true;
  depth = std::max(depth, 1 + body);
  return !TooDeep(base + depth);
}

QELTA_NOINLINE std::unique_ptr<VRN_function> VRN_expressionParser::StartCall(int start,
                                                              int length,
                                                              int& count,
                                                              bool& at_least) {
  const std::string name(text_ + start, static_cast<size_t>(length));
  VRN_function* created = nullptr;
  if (!CreateFunction(name, created, count, at_least) || created == nullptr) {
    Error("Unknown function: " + name);
    return nullptr;
  }
  return std::unique_ptr<VRN_function>(created);
}

QELTA_NOINLINE VRN_expressionParser::Node VRN_expressionParser::FinishCall(
    std::unique_ptr<VRN_function> call, int start, int length, int count,
    bool at_least) {
  const int n = call->GetArgumentCount();
  if (at_least ? n < count : n != count) {
    Error(ArityMessage(std::string(text_ + start, static_cast<size_t>(length)),
                       count, at_least));
    return nullptr;
  }
  std::string message;
  if (!call->CheckArguments(message)) {
    Error(message);
    return nullptr;
  }
  Node translated(TranslateFunction(call.release(), message));
  if (translated == nullptr) {
    Error(message);
    return nullptr;
  }
  Next();
  return translated;
}

VRN_expression* VRN_ParseExpression(const char* text, int* error_position,
                                    std::string* message,
                                    VRN_positionMap* positions,
                                    VRN_extFunctionFactory* factory) {
  VRN_expressionParser parser;
  return parser.Parse(text, message, error_position, positions, factory);
}
