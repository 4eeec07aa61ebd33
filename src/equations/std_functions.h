// The built-in functions of the expression language: one constant table of
// 63 rows sorted by name without regard to case, and the call node that
// points to a row.
//
// Each row's evaluator reads the call's arguments itself, only those it
// needs and in the order it documents (random rows draw their arguments
// before their own draw), so evaluation order is part of each function's
// contract: seeded runs repeat exactly.
//
// Ownership: rows are static and never owned; a call owns its arguments.
// Thread use: the table is immutable; calls follow VRN_expression.
#ifndef QELTA_EQUATIONS_STD_FUNCTIONS_H_
#define QELTA_EQUATIONS_STD_FUNCTIONS_H_

#include <string>
#include <vector>

#include "equations/expression.h"

class VRN_stdFunction;

// What an evaluator is given: the call, the context (may be null), the
// generator to draw from (never null) and the call's arguments.
struct VRN_stdFunctionFrame {
  const VRN_stdFunction& call;
  VRN_evalContext* context;
  VRN_randomGenerator& generator;
  const std::vector<VRN_expression*>& args;
};

struct VRN_stdFunctionEntry {
  // The name as written back.
  const char* name;
  // n >= 0: exactly n arguments; -n: at least n.
  int arity;
  double (*evaluator)(const VRN_stdFunctionFrame& frame);
  // Extra argument check, null for most rows; false with message set.
  bool (*check)(const VRN_stdFunction& call, std::string& message);
  // 1 for the random generators.
  int random;
};

class VRN_stdFunction : public VRN_function {
 public:
  // A call of the row named name (any letter case), with sign 1, context
  // index -1 and no arguments; the caller owns it. When argument_count is
  // given it receives the arity's absolute value, and variadic (when given)
  // whether that is a minimum. Null when no row has the name.
  static VRN_stdFunction* Create(const std::string& name, int* argument_count,
                                 bool* variadic);
  // The table: Count() rows in name order.
  static const VRN_stdFunctionEntry* Table();
  static int Count();

  VRN_expression* Clone() const override;
  // Calls the row's evaluator with the context's generator, else the
  // process-wide default one.
  double EvaluateNode(VRN_evalContext* context) const override;
  const char* GetName() const override { return entry_->name; }
  bool IsRandom() const override { return entry_->random != 0; }
  // The row's check when it has one, else true. The arity is the parser's
  // to enforce.
  bool CheckArguments(std::string& message) const override;
  void AcceptConstFunctionVisitor(
      VRN_constFunctionVisitor& visitor) const override;
  void AcceptFunctionVisitor(VRN_functionVisitor& visitor) override;
  // Solves a one-argument call with an inverse (Sin and Asin, Cos and Acos,
  // Tan and Atan, Exp and Ln, Sqr and Sqrt, Pow10 and Log10, both ways) or
  // Log(x, base); false for every other row.
  bool Isolate(const std::string& name, VRN_expression*& remaining,
               VRN_expression*& rhs) override;

  // The row's signed arity.
  int GetArity() const { return entry_->arity; }
  const VRN_stdFunctionEntry& GetEntry() const { return *entry_; }

 private:
  explicit VRN_stdFunction(const VRN_stdFunctionEntry* entry)
      : entry_(entry) {}

  const VRN_stdFunctionEntry* entry_;
};

#endif  // QELTA_EQUATIONS_STD_FUNCTIONS_H_
