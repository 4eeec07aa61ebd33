// Solving an equation for its node's variable.
#include <string>

#include "base/error_log.h"
#include "base/status.h"
#include "equations/equation.h"
#include "equations/expression_visitor.h"
#include "network/network.h"

namespace {

// Bounds of the rewriting: a product of k sums expands into 2^k terms, so
// an equation that grows past these is given up rather than expanded.
constexpr int kMaxSolveSteps = 10000;
constexpr int kMaxSolveNodes = 100000;

class NodeCounter : public VRN_constExpressionVisitor {
 public:
  void VisitOperator(const VRN_operator*) override { ++count; }
  void VisitFunction(const VRN_function*) override { ++count; }
  void VisitTextLiteral(const VRN_textLiteral*) override { ++count; }
  void VisitConstant(const VRN_constant*) override { ++count; }
  void VisitVariable(const VRN_variable*) override { ++count; }
  long long count = 0;
};

long long CountNodes(const VRN_expression* root) {
  NodeCounter counter;
  root->TraverseConst(counter);
  return counter.count;
}

}  // namespace

int VRN_equation::Solve(VRN_parsedEquation* copy, const std::string& name) {
  copy->left = new VRN_operatorMinus(copy->left, copy->right);
  copy->right = new VRN_constant(0.0);
  (void)copy->left->Simplify(copy->left);
  (void)copy->right->Simplify(copy->right);
  copy->ComputeFlags();
  if (CountVariable(copy->left, name) != 1) return qelta::kErrOutOfRange;
  int steps = 0;
  while (!(copy->left->GetKind() == kExprVariable &&
           static_cast<VRN_variable*>(copy->left)->GetName() == name)) {
    if (++steps > kMaxSolveSteps) return qelta::kErrOutOfRange;
    VRN_expression* remaining = nullptr;
    if (!copy->left->Isolate(name, remaining, copy->right)) {
      return qelta::kErrOutOfRange;
    }
    copy->left = remaining;
  }
  if (copy->left->GetSign() < 0) {
    copy->left->SetSign(1);
    copy->right = new VRN_operatorMinus(new VRN_constant(0.0), copy->right);
  }
  while (copy->right->Simplify(copy->right)) {
    if (++steps > kMaxSolveSteps ||
        CountNodes(copy->right) > kMaxSolveNodes) {
      return qelta::kErrOutOfRange;
    }
  }
  return qelta::kOk;
}

const VRN_expression* VRN_equation::GetSolvedExpression(bool quiet) {
  if (solved_ != nullptr) return solved_.get();
  const std::string own = OwnId();
  const VRN_expression* left = equation_.left;
  if (left != nullptr && left->GetKind() == kExprVariable &&
      static_cast<const VRN_variable*>(left)->GetName() == own &&
      CountVariable(equation_.right, own) == 0) {
    solved_.reset(equation_.right->Clone());
    if (left->GetSign() < 0) solved_->FlipSign();
    return solved_.get();
  }
  VRN_parsedEquation copy(equation_);
  if (Solve(&copy, own) == qelta::kOk) {
    solved_.reset(copy.right);
    copy.right = nullptr;
    return solved_.get();
  }
  if (!quiet && GetNetwork() != nullptr) {
    const std::string message =
        "Can't solve the equation for " + own + " : " + equation_.GetText();
    GetNetwork()->ErrorLog()->LogError(qelta::kErrUnsolvable, message.c_str());
  }
  return nullptr;
}
