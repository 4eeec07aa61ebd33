// Expression visitors: dispatch of function visitors, binding, and the
// named visitors behind the variable operations.
#include "equations/expression_visitor.h"

#include <algorithm>
#include <cmath>
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

int NestingDepth(const VRN_expression* root) {
  int depth = 0;
  const int kind = root->GetKind();
  if (kind == kExprConstant) {
    // NaN is written as (0/0).
    if (std::isnan(static_cast<const VRN_constant*>(root)->GetValue())) depth = 2;
  } else if (kind == kExprFunction) {
    for (const VRN_expression* arg :
         static_cast<const VRN_function*>(root)->GetArguments()) {
      depth = std::max(depth, NestingDepth(arg));
    }
    depth = std::max(depth + 1,
                     1 + static_cast<const VRN_function*>(root)->GetBodyDepth());
  } else if (kind == kExprConditional) {
    const auto* conditional = static_cast<const VRN_operatorConditional*>(root);
    const VRN_expression* condition = conditional->GetCondition();
    int inner = NestingDepth(condition);
    if (condition->IsOperator() &&
        static_cast<const VRN_operator*>(condition)->GetPrecedence() <= -1) {
      ++inner;
    }
    inner = std::max({inner, NestingDepth(conditional->GetThen()),
                      NestingDepth(conditional->GetElse())});
    depth = 1 + inner;
  } else if (root->IsOperator()) {
    const auto* binary = static_cast<const VRN_binaryOperator*>(root);
    const int precedence = binary->GetPrecedence();
    const VRN_expression* left = binary->GetLeft();
    const VRN_expression* right = binary->GetRight();
    int l = NestingDepth(left);
    if (left->IsOperator() &&
        static_cast<const VRN_operator*>(left)->GetPrecedence() < precedence) {
      ++l;
    }
    int r = NestingDepth(right);
    if (right->IsOperator() &&
        static_cast<const VRN_operator*>(right)->GetPrecedence() <= precedence) {
      ++r;
    }
    depth = 1 + std::max(l, r);
  }
  // A minus in front, and parentheses around a negated operator.
  if (root->GetSign() < 0) depth += root->IsOperator() ? 2 : 1;
  return depth;
}

namespace {

using Owned = std::unique_ptr<VRN_expression>;

// Sums above this many names are grouped; a whole equation (its "=" adds a
// level) then still reads back.
constexpr size_t kLongestPlainSum = kMaxExpressionDepth - 1;
constexpr size_t kSumRun = 64;

Owned Plus(Owned left, Owned right) {
  Owned sum(new VRN_operatorPlus(left.get(), right.get()));
  left.release();
  right.release();
  return sum;
}

// The sum of terms[begin, end), taken from terms, nested to the left.
Owned LeftSum(std::vector<Owned>& terms, size_t begin, size_t end) {
  Owned sum = std::move(terms[begin]);
  for (size_t i = begin + 1; i < end; ++i) {
    sum = Plus(std::move(sum), std::move(terms[i]));
  }
  return sum;
}

// The sum of terms[begin, end), taken from terms: runs of kSumRun summed to
// the left, the runs added in a balanced tree.
Owned SumOf(std::vector<Owned>& terms, size_t begin, size_t end) {
  if (end - begin <= kSumRun) return LeftSum(terms, begin, end);
  const size_t runs = (end - begin + kSumRun - 1) / kSumRun;
  const size_t middle = begin + runs / 2 * kSumRun;
  Owned left = SumOf(terms, begin, middle);
  Owned right = SumOf(terms, middle, end);
  return Plus(std::move(left), std::move(right));
}

// The sum of terms: nested to the left while that stays within the bound.
Owned SumOf(std::vector<Owned>& terms) {
  if (terms.size() <= kLongestPlainSum) return LeftSum(terms, 0, terms.size());
  return SumOf(terms, 0, terms.size());
}

}  // namespace

VRN_expression* AddVariableTerm(VRN_expression* expression,
                                const std::string& name) {
  Owned left(expression);
  Owned variable(new VRN_variable(name));
  if (left->GetKind() == kExprConstant &&
      static_cast<const VRN_constant&>(*left).GetValue() * left->GetSign() ==
          0.0) {
    return variable.release();
  }
  Owned sum = Plus(std::move(left), std::move(variable));
  if (NestingDepth(sum.get()) < kMaxExpressionDepth) return sum.release();
  // Too deep to read back: every term of the sum, regrouped.
  std::vector<Owned> terms;
  std::vector<Owned> pending;
  pending.push_back(std::move(sum));
  while (!pending.empty()) {
    Owned node = std::move(pending.back());
    pending.pop_back();
    if (node->GetKind() != kExprPlus || node->GetSign() < 0 ||
        node->GetContextIndex() >= 0) {
      terms.push_back(std::move(node));
      continue;
    }
    VRN_expression* l = nullptr;
    VRN_expression* r = nullptr;
    static_cast<VRN_binaryOperator*>(node.get())->Detach(l, r);
    Owned left_part(l);
    Owned right_part(r);
    // The left part is taken first.
    pending.push_back(std::move(right_part));
    pending.push_back(std::move(left_part));
  }
  return SumOf(terms, 0, terms.size()).release();
}

VRN_expression* MakeSum(const std::vector<std::string>& names) {
  if (names.empty()) return new VRN_constant(0.0);
  std::vector<Owned> terms;
  terms.reserve(names.size());
  for (const std::string& name : names) {
    terms.emplace_back(new VRN_variable(name));
  }
  return SumOf(terms).release();
}
