// Isolation of a variable (one solving step) and simplification (one
// rewrite step) of expression trees.
//
// Every rewrite makes the nodes it needs before it takes any operand out of
// the old tree, so a failed allocation leaves the tree as it was.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "equations/expression.h"
#include "equations/expression_visitor.h"
#include "equations/std_functions.h"

namespace {

using Node = std::unique_ptr<VRN_expression>;

bool IsConstant(const VRN_expression* node) {
  return node->GetKind() == kExprConstant;
}

// A constant's value times its sign. REQUIRES: IsConstant(node).
double SignedValue(const VRN_expression* node) {
  return static_cast<const VRN_constant*>(node)->GetValue() * node->GetSign();
}

bool IsConstantOf(const VRN_expression* node, double value) {
  return IsConstant(node) && SignedValue(node) == value;
}

bool IsSum(const VRN_expression* node) {
  return node->GetKind() == kExprPlus || node->GetKind() == kExprMinus;
}

// A constant holding value: the magnitude, with the sign carrying a minus.
VRN_expression* NewConstant(double value) {
  auto* constant = new VRN_constant(std::fabs(value));
  if (std::signbit(value) && !std::isnan(value)) constant->SetSign(-1);
  return constant;
}

// A new binary operator without operands, to be wired once every new node
// exists.
template <class Op>
Node NewOperator() {
  return Node(new Op(nullptr, nullptr));
}

// A one-argument call of the built-in named name with an empty argument
// place to be wired.
Node NewCall(const char* name) {
  VRN_stdFunction* call = VRN_stdFunction::Create(name, nullptr, nullptr);
  Node node(call);
  call->AddArgument(nullptr);
  return node;
}

VRN_expression*& Slot(VRN_expression* node, int i) {
  return node->OperandSlot(i);
}

// Sets the operands of a new binary operator and hands it over.
VRN_expression* Wire(Node node, VRN_expression* left, VRN_expression* right) {
  Slot(node.get(), 0) = left;
  Slot(node.get(), 1) = right;
  return node.release();
}

// Takes operand i out of node, leaving null in its place.
VRN_expression* Take(VRN_expression* node, int i) {
  VRN_expression* operand = Slot(node, i);
  Slot(node, i) = nullptr;
  return operand;
}

// Writes replacement where owner held its node and deletes that node.
bool Replace(VRN_expression*& owner, VRN_expression* replacement) {
  VRN_expression* old = owner;
  owner = replacement;
  delete old;
  return true;
}

// Replaces the node by operand i of it.
bool ReplaceByOperand(VRN_expression*& owner, int i) {
  return Replace(owner, Take(owner, i));
}

// Replaces the node by the constant of its own value with its sign.
bool Fold(VRN_expression*& owner) {
  VRN_expression* node = owner;
  return Replace(owner,
                 NewConstant(node->EvaluateNode(nullptr) * node->GetSign()));
}

bool SimplifyOperands(VRN_expression* node) {
  bool changed = false;
  const int count = node->GetOperandCount();
  for (int i = 0; i < count; ++i) {
    VRN_expression*& slot = Slot(node, i);
    if (slot->Simplify(slot)) changed = true;
  }
  return changed;
}

// The rhs of one isolation step on a binary node: the node = rhs is solved
// for the operand that holds the variable.
bool IsolateBinary(VRN_expression* node, const std::string& name,
                   VRN_expression*& remaining, VRN_expression*& rhs) {
  const int kind = node->GetKind();
  const bool left_holds = CountVariable(Slot(node, 0), name) >= 1;
  Node result;
  Node inner;
  Node extra;
  Node one;
  switch (kind) {
    case kExprPlus:
    case kExprMultiply:
      result = kind == kExprPlus ? NewOperator<VRN_operatorMinus>()
                                 : NewOperator<VRN_operatorDivide>();
      break;
    case kExprMinus:
      result = left_holds ? NewOperator<VRN_operatorPlus>()
                          : NewOperator<VRN_operatorMinus>();
      break;
    case kExprDivide:
      result = left_holds ? NewOperator<VRN_operatorMultiply>()
                          : NewOperator<VRN_operatorDivide>();
      break;
    case kExprPower:
      if (left_holds) {
        result = NewOperator<VRN_operatorExp>();
        inner = NewOperator<VRN_operatorDivide>();
        one.reset(new VRN_constant(1.0));
      } else {
        result = NewOperator<VRN_operatorDivide>();
        inner = NewCall("Ln");
        extra = NewCall("Ln");
      }
      break;
    default:
      return false;
  }
  // -(L op R) = rhs is L op R = -rhs.
  if (node->GetSign() < 0) rhs->FlipSign();
  VRN_expression* held = Take(node, left_holds ? 0 : 1);
  VRN_expression* other = Take(node, left_holds ? 1 : 0);
  delete node;
  VRN_expression* old_rhs = rhs;
  switch (kind) {
    case kExprPlus:
    case kExprMultiply:
      rhs = Wire(std::move(result), old_rhs, other);
      break;
    case kExprMinus:
    case kExprDivide:
      // L - R = y: L = y + R, R = L - y; L / R = y: L = y * R, R = L / y.
      rhs = left_holds ? Wire(std::move(result), old_rhs, other)
                       : Wire(std::move(result), other, old_rhs);
      break;
    default:
      if (left_holds) {
        // L ^ R = y: L = y ^ (1 / R).
        VRN_expression* exponent = Wire(std::move(inner), one.release(), other);
        rhs = Wire(std::move(result), old_rhs, exponent);
      } else {
        // L ^ R = y: R = Ln(y) / Ln(L).
        Slot(inner.get(), 0) = old_rhs;
        Slot(extra.get(), 0) = other;
        rhs = Wire(std::move(result), inner.release(), extra.release());
      }
      break;
  }
  remaining = held;
  return true;
}

// Inverse pairs of one-argument built-ins, usable both ways.
const char* const kInverses[][2] = {
    {"Sin", "Asin"}, {"Cos", "Acos"},  {"Tan", "Atan"},
    {"Exp", "Ln"},   {"Sqr", "Sqrt"}, {"Pow10", "Log10"},
};

const char* InverseOf(const char* name) {
  for (const auto& pair : kInverses) {
    if (std::strcmp(pair[0], name) == 0) return pair[1];
    if (std::strcmp(pair[1], name) == 0) return pair[0];
  }
  return nullptr;
}

// Rules shared by + and - on (X op1 c1) op2 c2 are below their classes.

}  // namespace

// ---------------------------------------------------------------- defaults

bool VRN_expression::Isolate(const std::string&, VRN_expression*&,
                             VRN_expression*&) {
  return false;
}

bool VRN_expression::Simplify(VRN_expression*&) { return false; }

bool VRN_function::Simplify(VRN_expression*&) {
  return SimplifyOperands(this);
}

bool VRN_operatorConditional::Simplify(VRN_expression*&) {
  return SimplifyOperands(this);
}

// ---------------------------------------------------------------- isolate

bool VRN_stdFunction::Isolate(const std::string& name,
                              VRN_expression*& remaining,
                              VRN_expression*& rhs) {
  if (std::strcmp(GetName(), "Log") == 0 && GetArgumentCount() == 2) {
    // Log(X, B) = y: X = B ^ y, B = X ^ (1 / y).
    const bool x_holds = CountVariable(GetArguments()[0], name) >= 1;
    Node power = NewOperator<VRN_operatorExp>();
    Node inverse = x_holds ? nullptr : NewOperator<VRN_operatorDivide>();
    Node one(x_holds ? nullptr : new VRN_constant(1.0));
    if (GetSign() < 0) rhs->FlipSign();
    VRN_expression* held = Take(this, x_holds ? 0 : 1);
    VRN_expression* other = Take(this, x_holds ? 1 : 0);
    VRN_expression* old_rhs = rhs;
    if (x_holds) {
      rhs = Wire(std::move(power), other, old_rhs);
    } else {
      VRN_expression* exponent =
          Wire(std::move(inverse), one.release(), old_rhs);
      rhs = Wire(std::move(power), other, exponent);
    }
    delete this;
    remaining = held;
    return true;
  }
  const char* inverse = InverseOf(GetName());
  if (inverse == nullptr || GetArgumentCount() != 1) return false;
  Node call = NewCall(inverse);
  if (GetSign() < 0) rhs->FlipSign();
  VRN_expression* held = Take(this, 0);
  Slot(call.get(), 0) = rhs;
  rhs = call.release();
  delete this;
  remaining = held;
  return true;
}

#define QELTA_ISOLATE_BY_TABLE(Class)                                    \
  bool Class::Isolate(const std::string& name, VRN_expression*& remaining, \
                      VRN_expression*& rhs) {                            \
    return IsolateBinary(this, name, remaining, rhs);                    \
  }

QELTA_ISOLATE_BY_TABLE(VRN_operatorPlus)
QELTA_ISOLATE_BY_TABLE(VRN_operatorMinus)
QELTA_ISOLATE_BY_TABLE(VRN_operatorDivide)
QELTA_ISOLATE_BY_TABLE(VRN_operatorMultiply)
QELTA_ISOLATE_BY_TABLE(VRN_operatorExp)

#undef QELTA_ISOLATE_BY_TABLE

// Comparisons cannot be inverted; they fold when both operands are
// constants.
#define QELTA_COMPARISON_REWRITES(Class)                                   \
  bool Class::Isolate(const std::string&, VRN_expression*&,                \
                      VRN_expression*&) {                                  \
    return false;                                                          \
  }                                                                        \
  bool Class::Simplify(VRN_expression*& owner) {                           \
    if (!IsConstant(GetLeft()) || !IsConstant(GetRight())) return false;   \
    return Fold(owner);                                                    \
  }

QELTA_COMPARISON_REWRITES(VRN_operatorLT)
QELTA_COMPARISON_REWRITES(VRN_operatorGT)
QELTA_COMPARISON_REWRITES(VRN_operatorLE)
QELTA_COMPARISON_REWRITES(VRN_operatorGE)
QELTA_COMPARISON_REWRITES(VRN_operatorEQ)
QELTA_COMPARISON_REWRITES(VRN_operatorNE)

#undef QELTA_COMPARISON_REWRITES

// ---------------------------------------------------------------- simplify

bool VRN_operatorPlus::Simplify(VRN_expression*& owner) {
  VRN_expression* left = GetLeft();
  VRN_expression* right = GetRight();
  if (GetSign() < 0) {
    left->FlipSign();
    right->FlipSign();
    SetSign(1);
    return true;
  }
  const bool left_constant = IsConstant(left);
  const bool right_constant = IsConstant(right);
  if (left_constant && right_constant) return Fold(owner);
  if (IsConstantOf(left, 0.0)) return ReplaceByOperand(owner, 1);
  if (IsConstantOf(right, 0.0)) return ReplaceByOperand(owner, 0);
  if (right_constant && right->GetSign() < 0) {
    Node minus = NewOperator<VRN_operatorMinus>();
    right->SetSign(1);
    return Replace(owner, Wire(std::move(minus), Take(this, 0), Take(this, 1)));
  }
  if (left_constant) {
    Slot(this, 0) = right;
    Slot(this, 1) = left;
    return true;
  }
  // (X + c1) + c2 and (X - c1) + c2, the inner node unsigned.
  if (right_constant && IsSum(left) && left->GetSign() > 0 &&
      IsConstant(Slot(left, 1))) {
    const double c1 = SignedValue(Slot(left, 1));
    const double c2 = SignedValue(right);
    const bool inner_plus = left->GetKind() == kExprPlus;
    Node k(NewConstant(inner_plus ? c1 + c2 : c2 - c1));
    Node plus = inner_plus ? nullptr : NewOperator<VRN_operatorPlus>();
    VRN_expression* inner = Take(this, 0);
    delete Slot(inner, 1);
    Slot(inner, 1) = k.release();
    if (!inner_plus) {
      // X - c1 + c2 is X + (c2 - c1): the inner minus becomes a plus.
      VRN_expression* sum =
          Wire(std::move(plus), Take(inner, 0), Take(inner, 1));
      delete inner;
      inner = sum;
    }
    return Replace(owner, inner);
  }
  return SimplifyOperands(this);
}

bool VRN_operatorMinus::Simplify(VRN_expression*& owner) {
  VRN_expression* left = GetLeft();
  VRN_expression* right = GetRight();
  if (GetSign() < 0) {
    Slot(this, 0) = right;
    Slot(this, 1) = left;
    SetSign(1);
    return true;
  }
  const bool left_constant = IsConstant(left);
  const bool right_constant = IsConstant(right);
  if (left_constant && right_constant) return Fold(owner);
  if (IsConstantOf(left, 0.0)) {
    right->FlipSign();
    return ReplaceByOperand(owner, 1);
  }
  if (IsConstantOf(right, 0.0)) return ReplaceByOperand(owner, 0);
  if ((right_constant && right->GetSign() < 0) ||
      (left_constant && right->GetSign() < 0)) {
    // X - (-c) is X + c; c - (-X) is c + X.
    Node plus = NewOperator<VRN_operatorPlus>();
    right->SetSign(1);
    return Replace(owner, Wire(std::move(plus), Take(this, 0), Take(this, 1)));
  }
  // (X + c1) - c2 and (X - c1) - c2, the inner node unsigned and reused.
  if (right_constant && IsSum(left) && left->GetSign() > 0 &&
      IsConstant(Slot(left, 1))) {
    const double c1 = SignedValue(Slot(left, 1));
    const double c2 = SignedValue(right);
    Node k(NewConstant(left->GetKind() == kExprPlus ? c1 - c2 : c1 + c2));
    VRN_expression* inner = Take(this, 0);
    delete Slot(inner, 1);
    Slot(inner, 1) = k.release();
    return Replace(owner, inner);
  }
  return SimplifyOperands(this);
}

bool VRN_operatorExp::Simplify(VRN_expression*& owner) {
  const bool left_constant = IsConstant(GetLeft());
  if (left_constant && IsConstant(GetRight())) return Fold(owner);
  if (!left_constant && IsConstantOf(GetRight(), 0.0)) {
    // X ^ 0 is 1 for every X, NaN included; the node's sign stays.
    return Replace(owner, NewConstant(GetSign()));
  }
  return SimplifyOperands(this);
}

namespace {

// Distributes R over the sum (A op B) that operand sum_index of the
// product node holds: (R * A) op (R' * B), the sum node reused with its
// sign, the factor standing first in each product.
bool Distribute(VRN_expression*& owner, int sum_index) {
  VRN_expression* product = owner;
  VRN_expression* sum = Slot(product, sum_index);
  Node factor_copy(Slot(product, 1 - sum_index)->Clone());
  Node first = NewOperator<VRN_operatorMultiply>();
  Node second = NewOperator<VRN_operatorMultiply>();
  VRN_expression* factor = Take(product, 1 - sum_index);
  Take(product, sum_index);
  Slot(sum, 0) = Wire(std::move(first), factor, Slot(sum, 0));
  Slot(sum, 1) = Wire(std::move(second), factor_copy.release(), Slot(sum, 1));
  return Replace(owner, sum);
}

}  // namespace

bool VRN_operatorMultiply::Simplify(VRN_expression*& owner) {
  VRN_expression* left = GetLeft();
  VRN_expression* right = GetRight();
  if (GetSign() < 0) {
    left->FlipSign();
    SetSign(1);
    return true;
  }
  const bool left_constant = IsConstant(left);
  const bool right_constant = IsConstant(right);
  if (left_constant && right_constant) return Fold(owner);
  if (IsConstantOf(left, 0.0) || IsConstantOf(right, 0.0)) {
    return Replace(owner, NewConstant(0.0));
  }
  if (IsConstantOf(left, 1.0)) return ReplaceByOperand(owner, 1);
  if (IsConstantOf(right, 1.0)) return ReplaceByOperand(owner, 0);
  if (IsConstantOf(left, -1.0) || IsConstantOf(right, -1.0)) {
    const int keep = IsConstantOf(left, -1.0) ? 1 : 0;
    Slot(this, keep)->FlipSign();
    return ReplaceByOperand(owner, keep);
  }
  if (right_constant) {
    Slot(this, 0) = right;
    Slot(this, 1) = left;
    return true;
  }
  const bool left_sum = IsSum(left);
  const bool right_sum = IsSum(right);
  if (left_sum && !right->IsOperator()) return Distribute(owner, 0);
  if (right_sum && !left->IsOperator()) return Distribute(owner, 1);
  if (left_sum && right_sum) {
    // (A op1 B) * (C op2 D) = ((A*C op2 A*D) op1 B*C) op3 B*D, op3 being +
    // when op1 and op2 agree; the two sums' signs go to the result.
    const bool op1_plus = left->GetKind() == kExprPlus;
    const bool op2_plus = right->GetKind() == kExprPlus;
    Node a_copy(Slot(left, 0)->Clone());
    Node b_copy(Slot(left, 1)->Clone());
    Node c_copy(Slot(right, 0)->Clone());
    Node d_copy(Slot(right, 1)->Clone());
    Node ac = NewOperator<VRN_operatorMultiply>();
    Node ad = NewOperator<VRN_operatorMultiply>();
    Node bc = NewOperator<VRN_operatorMultiply>();
    Node bd = NewOperator<VRN_operatorMultiply>();
    Node inner = op2_plus ? NewOperator<VRN_operatorPlus>()
                          : NewOperator<VRN_operatorMinus>();
    Node middle = op1_plus ? NewOperator<VRN_operatorPlus>()
                           : NewOperator<VRN_operatorMinus>();
    Node outer = op1_plus == op2_plus ? NewOperator<VRN_operatorPlus>()
                                      : NewOperator<VRN_operatorMinus>();
    const int sign = left->GetSign() * right->GetSign();
    VRN_expression* a = Take(left, 0);
    VRN_expression* b = Take(left, 1);
    VRN_expression* c = Take(right, 0);
    VRN_expression* d = Take(right, 1);
    VRN_expression* first = Wire(
        std::move(inner), Wire(std::move(ac), a, c),
        Wire(std::move(ad), a_copy.release(), d));
    VRN_expression* second = Wire(std::move(middle), first,
                                  Wire(std::move(bc), b, c_copy.release()));
    VRN_expression* result =
        Wire(std::move(outer), second,
             Wire(std::move(bd), b_copy.release(), d_copy.release()));
    result->SetSign(sign);
    return Replace(owner, result);
  }
  return SimplifyOperands(this);
}

bool VRN_operatorDivide::Simplify(VRN_expression*& owner) {
  VRN_expression* left = GetLeft();
  VRN_expression* right = GetRight();
  if (GetSign() < 0) {
    left->FlipSign();
    SetSign(1);
    return true;
  }
  const bool left_constant = IsConstant(left);
  const bool right_constant = IsConstant(right);
  if (left_constant && right_constant) return Fold(owner);
  if (IsConstantOf(left, 0.0)) return ReplaceByOperand(owner, 0);
  if (IsConstantOf(right, 1.0)) return ReplaceByOperand(owner, 0);
  if (IsConstantOf(right, 0.0)) return false;
  if (right_constant) {
    Node k(NewConstant(1.0 / SignedValue(right)));
    Node product = NewOperator<VRN_operatorMultiply>();
    return Replace(owner,
                   Wire(std::move(product), k.release(), Take(this, 0)));
  }
  if (IsSum(left) && !right->IsOperator()) {
    // (A op B) / R = (A / R) op (B / R'), the sum node reused.
    Node divisor_copy(right->Clone());
    Node first = NewOperator<VRN_operatorDivide>();
    Node second = NewOperator<VRN_operatorDivide>();
    VRN_expression* sum = Take(this, 0);
    VRN_expression* divisor = Take(this, 1);
    Slot(sum, 0) = Wire(std::move(first), Slot(sum, 0), divisor);
    Slot(sum, 1) =
        Wire(std::move(second), Slot(sum, 1), divisor_copy.release());
    return Replace(owner, sum);
  }
  if (left->GetKind() == kExprVariable && right->GetKind() == kExprVariable &&
      static_cast<const VRN_variable*>(left)->GetName() ==
          static_cast<const VRN_variable*>(right)->GetName()) {
    // -x / x is -1, not 1.
    return Replace(owner, NewConstant(left->GetSign() * right->GetSign()));
  }
  return SimplifyOperands(this);
}
