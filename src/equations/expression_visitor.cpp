// Expression visitors: dispatch of function visitors, binding, and the
// named visitors behind the variable operations.
#include "equations/expression_visitor.h"

#include <algorithm>
#include <cmath>
#include <functional>
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

const VRN_textLiteral* FindTextLiteral(const VRN_expression* root) {
  class First : public VRN_constExpressionVisitor {
   public:
    void VisitTextLiteral(const VRN_textLiteral* node) override {
      if (found == nullptr) found = node;
    }
    const VRN_textLiteral* found = nullptr;
  } first;
  root->TraverseConst(first);
  return first.found;
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

namespace {

bool HasVariables(const VRN_expression* node) {
  if (node->GetKind() == kExprVariable) return true;
  for (int i = 0; i < node->GetOperandCount(); ++i) {
    if (HasVariables(node->GetOperand(i))) return true;
  }
  return false;
}

// constant + sum of coefficients[i] * names[i]; variable_free when no
// variable took part.
struct AffineTerms {
  double constant = 0.0;
  std::vector<double> coefficients;
  bool variable_free = true;

  void Scale(double factor) {
    constant *= factor;
    for (double& c : coefficients) c *= factor;
  }
};

// Recursion follows the tree, whose depth the parser bounds.
bool CollectAffine(const VRN_expression* node,
                   const std::vector<std::string>& names, AffineTerms& out) {
  out.constant = 0.0;
  out.coefficients.assign(names.size(), 0.0);
  out.variable_free = true;
  const int kind = node->GetKind();
  if (kind == kExprVariable) {
    const std::string& name = static_cast<const VRN_variable*>(node)->GetName();
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) return false;
    out.coefficients[static_cast<size_t>(at - names.begin())] = 1.0;
    out.variable_free = false;
  } else if (kind == kExprPlus || kind == kExprMinus ||
             kind == kExprMultiply || kind == kExprDivide) {
    const auto* binary = static_cast<const VRN_binaryOperator*>(node);
    AffineTerms right;
    if (!CollectAffine(binary->GetLeft(), names, out) ||
        !CollectAffine(binary->GetRight(), names, right)) {
      return false;
    }
    if (kind == kExprPlus || kind == kExprMinus) {
      const double sign = kind == kExprPlus ? 1.0 : -1.0;
      out.constant += sign * right.constant;
      for (size_t i = 0; i < names.size(); ++i) {
        out.coefficients[i] += sign * right.coefficients[i];
      }
      out.variable_free = out.variable_free && right.variable_free;
    } else if (right.variable_free) {
      out.Scale(kind == kExprMultiply ? right.constant : 1.0 / right.constant);
    } else if (kind == kExprMultiply && out.variable_free) {
      right.Scale(out.constant);
      out = std::move(right);
    } else {
      return false;
    }
  } else {
    // Anything else counts only when it holds no variable: a number.
    if (HasVariables(node)) return false;
    out.constant = node->EvaluateNode(nullptr);
  }
  if (node->GetSign() < 0) out.Scale(-1.0);
  return true;
}

}  // namespace

bool GetAffineForm(const VRN_expression* root,
                   const std::vector<std::string>& names, double* constant,
                   std::vector<double>* coefficients) {
  AffineTerms terms;
  if (!CollectAffine(root, names, terms)) return false;
  if (!std::isfinite(terms.constant)) return false;
  for (double c : terms.coefficients) {
    if (!std::isfinite(c)) return false;
  }
  *constant = terms.constant;
  *coefficients = std::move(terms.coefficients);
  return true;
}

int NestingDepth(const VRN_expression* root,
                 const std::function<int(const VRN_function&)>& body_depth) {
  int depth = 0;
  const int kind = root->GetKind();
  if (kind == kExprConstant) {
    // NaN is written as (0/0).
    if (std::isnan(static_cast<const VRN_constant*>(root)->GetValue())) depth = 2;
  } else if (kind == kExprFunction) {
    for (const VRN_expression* arg :
         static_cast<const VRN_function*>(root)->GetArguments()) {
      depth = std::max(depth, NestingDepth(arg, body_depth));
    }
    depth = std::max(depth + 1,
                     1 + body_depth(*static_cast<const VRN_function*>(root)));
  } else if (kind == kExprConditional) {
    const auto* conditional = static_cast<const VRN_operatorConditional*>(root);
    const VRN_expression* condition = conditional->GetCondition();
    int inner = NestingDepth(condition, body_depth);
    if (condition->IsOperator() &&
        static_cast<const VRN_operator*>(condition)->GetPrecedence() <= -1) {
      ++inner;
    }
    inner = std::max({inner, NestingDepth(conditional->GetThen(), body_depth),
                      NestingDepth(conditional->GetElse(), body_depth)});
    depth = 1 + inner;
  } else if (root->IsOperator()) {
    const auto* binary = static_cast<const VRN_binaryOperator*>(root);
    const int precedence = binary->GetPrecedence();
    const VRN_expression* left = binary->GetLeft();
    const VRN_expression* right = binary->GetRight();
    int l = NestingDepth(left, body_depth);
    if (left->IsOperator() &&
        static_cast<const VRN_operator*>(left)->GetPrecedence() < precedence) {
      ++l;
    }
    int r = NestingDepth(right, body_depth);
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

int NestingDepth(const VRN_expression* root) {
  return NestingDepth(root, [](const VRN_function& call) {
    return call.GetBodyDepth();
  });
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
