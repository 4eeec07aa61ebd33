// Expression visitors: dispatch of function visitors, binding, and the
// named visitors behind the variable operations.
#include "equations/expression_visitor.h"

#include <memory>
#include <unordered_set>
#include <utility>

void VRN_functionVisitor::VisitFunction(VRN_function* node) {
  node->AcceptFunctionVisitor(*this);
}

void VRN_constFunctionVisitor::VisitFunction(const VRN_function* node) {
  node->AcceptConstFunctionVisitor(*this);
}

void VRN_expressionBinder::VisitVariable(VRN_variable* node) {
  if (context_ != nullptr) node->Bind(*context_);
}

void BindExpression(VRN_expression* root, VRN_evalContext& context) {
  root->Traverse(context.GetBinder());
}

namespace {

class RenamingVisitor : public VRN_expressionVisitor {
 public:
  RenamingVisitor(const std::string& old_name, const std::string& new_name)
      : old_name_(old_name), new_name_(new_name) {}
  void VisitVariable(VRN_variable* node) override {
    if (node->GetName() == old_name_) node->SetName(new_name_);
  }

 private:
  const std::string& old_name_;
  const std::string& new_name_;
};

class AssigningVisitor : public VRN_expressionVisitor {
 public:
  AssigningVisitor(const std::string& name, double value)
      : name_(name), value_(value) {}
  void VisitVariable(VRN_variable* node) override {
    if (node->GetName() != name_) return;
    node->SetValue(value_);
    node->SetSlot(-1);
  }

 private:
  const std::string& name_;
  double value_;
};

class CountingVisitor : public VRN_constExpressionVisitor {
 public:
  explicit CountingVisitor(const std::string& name) : name_(name) {}
  void VisitVariable(const VRN_variable* node) override {
    if (node->GetName() == name_) ++count_;
  }
  int count() const { return count_; }

 private:
  const std::string& name_;
  int count_ = 0;
};

class GetVarsVisitor : public VRN_constExpressionVisitor {
 public:
  explicit GetVarsVisitor(std::vector<std::string>& names) : names_(names) {}
  void VisitVariable(const VRN_variable* node) override {
    if (seen_.insert(node->GetName()).second) {
      names_.push_back(node->GetName());
    }
  }

 private:
  std::vector<std::string>& names_;
  std::unordered_set<std::string> seen_;
};

class FindVarVisitor : public VRN_expressionVisitor {
 public:
  explicit FindVarVisitor(const std::string& name) : name_(name) {}
  void VisitVariable(VRN_variable* node) override {
    if (found_ == nullptr && node->GetName() == name_) found_ = node;
  }
  VRN_variable* found() const { return found_; }

 private:
  const std::string& name_;
  VRN_variable* found_ = nullptr;
};

}  // namespace

void RenameVariable(VRN_expression* root, const std::string& old_name,
                    const std::string& new_name) {
  RenamingVisitor visitor(old_name, new_name);
  root->Traverse(visitor);
}

void AssignVariable(VRN_expression* root, const std::string& name,
                    double value) {
  AssigningVisitor visitor(name, value);
  root->Traverse(visitor);
}

int CountVariable(const VRN_expression* root, const std::string& name) {
  CountingVisitor visitor(name);
  root->TraverseConst(visitor);
  return visitor.count();
}

void GetVariables(const VRN_expression* root,
                  std::vector<std::string>& names) {
  names.clear();
  GetVarsVisitor visitor(names);
  root->TraverseConst(visitor);
}

VRN_variable* FindVariable(VRN_expression* root, const std::string& name) {
  FindVarVisitor visitor(name);
  root->Traverse(visitor);
  return visitor.found();
}

VRN_expression* AddVariableTerm(VRN_expression* expression,
                                const std::string& name) {
  std::unique_ptr<VRN_expression> left(expression);
  std::unique_ptr<VRN_expression> variable(new VRN_variable(name));
  if (left->GetKind() == kExprConstant &&
      static_cast<const VRN_constant&>(*left).GetValue() * left->GetSign() ==
          0.0) {
    return variable.release();
  }
  VRN_expression* sum = new VRN_operatorPlus(left.get(), variable.get());
  left.release();
  variable.release();
  return sum;
}

VRN_expression* MakeSum(const std::vector<std::string>& names) {
  if (names.empty()) return new VRN_constant(0.0);
  std::unique_ptr<VRN_expression> sum(new VRN_variable(names[0]));
  for (size_t i = 1; i < names.size(); ++i) {
    std::unique_ptr<VRN_expression> term(new VRN_variable(names[i]));
    VRN_expression* next = new VRN_operatorPlus(sum.get(), term.get());
    sum.release();
    term.release();
    sum.reset(next);
  }
  return sum.release();
}
