// Visitors of expression trees and the operations built on them: binding
// variables to the slots of an evaluation context, renaming, assigning,
// counting and collecting variables, and the small tree builders that
// equations and utility expressions use.
//
// A visitor is handed each node by the node's Accept operation (see
// expression.h): VisitOperator for binary operators and the conditional,
// VisitFunction for calls, VisitTextLiteral, VisitConstant, VisitVariable.
// Every visit operation does nothing by default. The function visitors
// forward VisitFunction to the call, which calls VisitUnknownFunction,
// VisitExtFunction or VisitStdFunction by its class.
//
// Names compare exactly, letter case included.
//
// Ownership: visitors own nothing of the trees they visit. A mutating
// visitor may replace a node through its owner, deleting the old node after
// making the new one.
// Thread use: as the tree visited.
#ifndef QELTA_EQUATIONS_EXPRESSION_VISITOR_H_
#define QELTA_EQUATIONS_EXPRESSION_VISITOR_H_

#include <functional>
#include <string>
#include <vector>

#include "equations/expression.h"

class VRN_stdFunction;
class VRN_extFunction;

class VRN_expressionVisitor {
 public:
  virtual ~VRN_expressionVisitor() = default;
  virtual void VisitOperator(VRN_operator* node) {}
  virtual void VisitFunction(VRN_function* node) {}
  virtual void VisitTextLiteral(VRN_textLiteral* node) {}
  virtual void VisitConstant(VRN_constant* node) {}
  virtual void VisitVariable(VRN_variable* node) {}
};

class VRN_constExpressionVisitor {
 public:
  virtual ~VRN_constExpressionVisitor() = default;
  virtual void VisitOperator(const VRN_operator* node) {}
  virtual void VisitFunction(const VRN_function* node) {}
  virtual void VisitTextLiteral(const VRN_textLiteral* node) {}
  virtual void VisitConstant(const VRN_constant* node) {}
  virtual void VisitVariable(const VRN_variable* node) {}
};

// Each visit also receives the place that holds the node.
class VRN_mutatingExpressionVisitor {
 public:
  virtual ~VRN_mutatingExpressionVisitor() = default;
  virtual void VisitOperator(VRN_operator* node, VRN_expression*& owner) {}
  virtual void VisitFunction(VRN_function* node, VRN_expression*& owner) {}
  virtual void VisitTextLiteral(VRN_textLiteral* node,
                                VRN_expression*& owner) {}
  virtual void VisitConstant(VRN_constant* node, VRN_expression*& owner) {}
  virtual void VisitVariable(VRN_variable* node, VRN_expression*& owner) {}
};

class VRN_functionVisitor : public VRN_expressionVisitor {
 public:
  void VisitFunction(VRN_function* node) override;
  virtual void VisitUnknownFunction(VRN_unknownFunction* node) {}
  virtual void VisitExtFunction(VRN_extFunction* node) {}
  virtual void VisitStdFunction(VRN_stdFunction* node) {}
};

class VRN_constFunctionVisitor : public VRN_constExpressionVisitor {
 public:
  void VisitFunction(const VRN_function* node) override;
  virtual void VisitUnknownFunction(const VRN_unknownFunction* node) {}
  virtual void VisitExtFunction(const VRN_extFunction* node) {}
  virtual void VisitStdFunction(const VRN_stdFunction* node) {}
};

// Binds each variable to the slot its name has in the context, or -1 when
// the name has none. Derived binders (equations in a network) add rules for
// other nodes; they replace nodes only through context substitutes.
//
// Ownership: owned by its context (VRN_evalContext::SetBinder), which it
// points back to.
class VRN_expressionBinder : public VRN_expressionVisitor {
 public:
  VRN_expressionBinder() = default;
  VRN_expressionBinder(const VRN_expressionBinder&) = delete;
  VRN_expressionBinder& operator=(const VRN_expressionBinder&) = delete;

  void VisitVariable(VRN_variable* node) override;

  // The context this binder binds to; null until a context installs it.
  VRN_evalContext* context() const { return context_; }

 private:
  friend class VRN_evalContext;
  VRN_evalContext* context_ = nullptr;
};

// Binds every variable of root (pre-order) with the context's binder.
// REQUIRES: root != null.
void BindExpression(VRN_expression* root, VRN_evalContext& context);

// Renames every variable named old_name to new_name.
void RenameVariable(VRN_expression* root, const std::string& old_name,
                    const std::string& new_name);

// Gives every variable named name the stored value value and slot -1, so
// that it evaluates to value in any context.
void AssignVariable(VRN_expression* root, const std::string& name,
                    double value);

// Number of variable nodes named name.
int CountVariable(const VRN_expression* root, const std::string& name);

// Clears names, then appends each variable name of root the first time it
// is met in pre-order.
void GetVariables(const VRN_expression* root, std::vector<std::string>& names);

// The first variable node named name in pre-order, null when none.
VRN_variable* FindVariable(VRN_expression* root, const std::string& name);

// The first text literal in pre-order, null when none.
const VRN_textLiteral* FindTextLiteral(const VRN_expression* root);

// When root is a constant plus constant multiples of variables named in
// names, true with that constant and one coefficient per name. Sums,
// differences, signs, and products and quotients by parts that hold no
// variable take part; such parts are evaluated. False for anything else
// (another name, a variable under any other operator or call) and when the
// constant or a coefficient is not finite.
bool GetAffineForm(const VRN_expression* root,
                   const std::vector<std::string>& names, double* constant,
                   std::vector<double>* coefficients);

// The nesting the parser counts when it reads root's written text (see
// kMaxExpressionDepth): parentheses, unary minus, calls (with a user
// function's body), conditionals and binary operators on a path.
int NestingDepth(const VRN_expression* root);
// The same with body_depth answering the levels of each call's body: the
// nesting the text would have with other user functions.
int NestingDepth(const VRN_expression* root,
                 const std::function<int(const VRN_function&)>& body_depth);

// expression + name as a new tree (sign 1) that takes ownership of
// expression; a constant expression whose signed value is 0 is deleted and
// the new variable alone answered. When the sum would nest deeper than an
// equation may, its terms are regrouped (see MakeSum), so that adding
// parents one by one never builds text the parser refuses unless a single
// term is itself nested about that deep. The caller owns the result.
VRN_expression* AddVariableTerm(VRN_expression* expression,
                                const std::string& name);

// The constant 0 for no names, the variable for one, else the sum of the
// variables nested to the left ((a+b)+c). Beyond what an equation may nest,
// runs of 64 names summed so are added in a balanced tree, whose text reads
// back within the nesting bound. The caller owns the result.
VRN_expression* MakeSum(const std::vector<std::string>& names);

#endif  // QELTA_EQUATIONS_EXPRESSION_VISITOR_H_
