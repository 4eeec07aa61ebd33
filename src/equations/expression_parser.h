// VRN_expressionParser: turns expression text into an expression tree.
//
// A recursive-descent parser over a hand-written scanner, one pass over the
// text. Lowest binding first: the conditional c ? a : b (the else part
// groups to the right), then the left-associative levels = <>; < <= > >=;
// + -; * /; ^ (so 2^3^2 is 64). Unary minus binds tighter than every binary
// operator (-2^2 is 4) and flips the sign of its operand's node. Numbers are
// read in strtod's syntax (hexadecimal included) in the classic "C" form,
// whatever the process locale.
//
// Only the first error is reported, with a message and a position clamped
// to the text length. A text nested deeper than kMaxExpressionDepth levels
// (each parenthesis pair, unary minus, call, conditional and binary
// operator on a path counts one, and a user-function call also the levels
// of its function's body) fails with "Expression is nested too deeply", so
// no text can exhaust the stack of the parser, of the tree walks or of an
// evaluation.
//
// Subclasses (foreign formats, user-function definitions) override the
// three hooks. A parser object is reusable: each Parse resets it.
//
// Thread use: one parse at a time per object.
#ifndef QELTA_EQUATIONS_EXPRESSION_PARSER_H_
#define QELTA_EQUATIONS_EXPRESSION_PARSER_H_

#include <map>
#include <memory>
#include <string>

#include "equations/expression.h"

class VRN_extFunctionFactory;

// Index of the first character of the token each variable, number and text
// literal node was made from.
using VRN_positionMap = std::map<const VRN_expression*, int>;

class VRN_expressionParser {
 public:
  VRN_expressionParser() = default;
  VRN_expressionParser(const VRN_expressionParser&) = delete;
  VRN_expressionParser& operator=(const VRN_expressionParser&) = delete;
  virtual ~VRN_expressionParser() = default;

  // The tree of text (null text reads as empty); the caller owns it. On
  // failure answers null, deletes what was built and stores the first
  // error's message and position into the outputs that are given; the
  // position map then gains nothing. factory (may be null) resolves names
  // that are not built-in. Every pointer argument but text may be null.
  VRN_expression* Parse(const char* text, std::string* message,
                        int* error_position, VRN_positionMap* positions,
                        VRN_extFunctionFactory* factory);

 protected:
  // Hook for each variable name; false with reason refuses it. The base
  // accepts every name.
  virtual bool IsValidVariable(const std::string& name, std::string& reason);
  // Hook resolving a called name: true with function set to a new call
  // (owned by the caller) and its parameter count, at_least telling
  // whether the count is a minimum. The base tries the built-in table, then
  // the user-function factory.
  virtual bool CreateFunction(const std::string& name, VRN_function*& function,
                              int& parameter_count, bool& at_least);
  // Hook on each complete call; takes ownership of function and answers the
  // node that stands for it, or null (having deleted it) with message set.
  // The base answers function.
  virtual VRN_expression* TranslateFunction(VRN_function* function,
                                            std::string& message);

  // The factory of the running parse; may be null.
  VRN_extFunctionFactory* factory() const { return factory_; }

 private:
  using Node = std::unique_ptr<VRN_expression>;

  // Scanner: reads the next token into token_ (0 at the end and on error).
  void Next();
  void ScanTextLiteral();
  void ScanNumber();
  // Records message at the scan position when it is the first error.
  void Error(const char* message);
  void Error(const std::string& message);
  void ErrorTooDeep();
  // True, with the error recorded, when level exceeds the nesting bound.
  bool TooDeep(int level);

  // Each answers null after an error; depth receives the levels the result
  // spans; base counts the levels enclosing it.
  Node ParseConditional(int base, int& depth);
  // The rest of a conditional whose condition has been read.
  Node ParseBranches(Node condition, int base, int& depth);
  Node ParseBinary(int min_level, int base, int& depth);
  Node ParseFactor(int base, int& depth);
  // The number or text literal of the current token.
  Node MakeLeaf();
  Node ParseIdentifier(int base, int& depth);
  // The name spans length characters of the text from start.
  Node MakeVariable(int start, int length);
  Node ParseCall(int start, int length, int base, int& depth);
  std::unique_ptr<VRN_function> StartCall(int start, int length, int& count,
                                          bool& at_least);
  Node FinishCall(std::unique_ptr<VRN_function> call, int start, int length,
                  int count, bool at_least);
  // Counts the levels a user function's body adds when the call is
  // evaluated; false, with the error recorded, past the nesting bound.
  bool AddBodyDepth(const VRN_function& call, int base, int& depth);
  void Record(const VRN_expression* node, int position);

  const char* text_ = "";
  int length_ = 0;
  int pos_ = 0;
  int error_count_ = 0;
  std::string* message_ = nullptr;
  int* error_position_ = nullptr;
  VRN_positionMap positions_;
  bool keep_positions_ = false;
  // Index just after the first character of the current token.
  int token_start_ = 0;
  VRN_extFunctionFactory* factory_ = nullptr;
  int token_ = 0;
  double number_ = 0.0;
  std::string token_text_;
};

// Parses text with a base parser made for the call; see
// VRN_expressionParser::Parse. Every argument but text may be null.
VRN_expression* VRN_ParseExpression(const char* text, int* error_position,
                                    std::string* message,
                                    VRN_positionMap* positions,
                                    VRN_extFunctionFactory* factory);

#endif  // QELTA_EQUATIONS_EXPRESSION_PARSER_H_
