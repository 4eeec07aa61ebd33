// Binding of equations inside a network: variables to the slots of an
// evaluation context (one per node), and text literals ("lo", "hi") to the
// outcomes of the discrete node they are compared with or switched on.
//
// VRN_networkEquationBinder never changes a tree's shape: a bound literal,
// or a variable that must be read as an interval index, gets a context
// substitute. DiscretizeNodeExpr is that substitute for a variable: it reads
// the node's current value from the context and answers the outcome the
// value falls in.
//
// Ownership: the binder is owned by its context; substitutes by the context.
// Thread use: one thread per network.
#ifndef QELTA_EQUATIONS_EQUATION_BINDER_H_
#define QELTA_EQUATIONS_EQUATION_BINDER_H_

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "equations/expression.h"
#include "equations/expression_visitor.h"

class VRN_network;
class VRN_discDef;

class DiscretizeNodeExpr : public VRN_expression {
 public:
  // REQUIRES: definition has intervals or point values and outlives this.
  DiscretizeNodeExpr(const VRN_discDef* definition, int slot)
      : definition_(definition), slot_(slot) {}

  VRN_expression* Clone() const override;
  int GetKind() const override { return kExprVariable; }
  void AcceptMutating(VRN_mutatingExpressionVisitor&,
                      VRN_expression*&) override {}
  void AcceptConst(VRN_constExpressionVisitor&) const override {}
  void Accept(VRN_expressionVisitor&) override {}
  // The interval (or point value) index of the slot's value; -1 when none.
  double EvaluateNode(VRN_evalContext* context) const override;
  void WriteTerm(std::string& text) const override;

 private:
  const VRN_discDef* definition_;
  int slot_;
};

class VRN_networkEquationBinder : public VRN_expressionBinder {
 public:
  // collect: list every literal met and those bound (for SetEquation).
  VRN_networkEquationBinder(VRN_network* network, bool collect)
      : network_(network), collect_(collect) {}

  void VisitOperator(VRN_operator* node) override;
  void VisitFunction(VRN_function* node) override;
  void VisitTextLiteral(VRN_textLiteral* node) override;

  // With collect on: the first literal met that was never bound, or null.
  const VRN_textLiteral* FirstUnboundLiteral() const;

 private:
  // Binds literal against the node named by variable; see the file comment.
  void BindLiteral(VRN_variable* variable, VRN_textLiteral* literal);
  // Gives variable a DiscretizeNodeExpr substitute when its node has
  // intervals (or, with point_values, point values) and none yet.
  void Discretize(VRN_variable* variable, bool point_values);

  VRN_network* network_;
  bool collect_;
  std::vector<const VRN_textLiteral*> literals_;
  std::set<const VRN_textLiteral*> bound_;
};

// Sets the context index of every node of root to -1, so that a tree bound
// before keeps no substitute of an earlier context.
void VRN_ClearContextIndices(VRN_expression* root);

// Calls found for every text literal of root that the binder would bind
// against the node called name: compared with a variable of that name, or a
// case label of a Switch on it. Null root: none.
void VRN_ForEachOutcomeLiteral(
    VRN_expression* root, const std::string& name,
    const std::function<void(VRN_textLiteral*)>& found);

#endif  // QELTA_EQUATIONS_EQUATION_BINDER_H_
