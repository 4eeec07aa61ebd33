// Expression tree nodes: evaluation, writing, copying and the context.
#include "equations/expression.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "base/random.h"
#include "equations/expression_visitor.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Clones node into a holder, so that a copy under construction frees what
// it has made when a later allocation throws.
std::unique_ptr<VRN_expression> CloneOf(const VRN_expression* node) {
  return std::unique_ptr<VRN_expression>(node->Clone());
}

// Appends operand with its sign, in parentheses when wrap is set.
void AppendOperand(std::string& text, const VRN_expression* operand,
                   bool wrap) {
  if (wrap) text += '(';
  operand->AppendText(text);
  if (wrap) text += ')';
}

int PrecedenceOf(const VRN_expression* node) {
  return static_cast<const VRN_operator*>(node)->GetPrecedence();
}

}  // namespace

// ---------------------------------------------------------------- base

void VRN_expression::Write(std::string& text) const {
  text.clear();
  AppendText(text);
}

void VRN_expression::AppendText(std::string& text) const {
  if (sign_ < 0) {
    text += '-';
    if (IsOperator()) {
      text += '(';
      WriteTerm(text);
      text += ')';
      return;
    }
  }
  WriteTerm(text);
}

VRN_expression*& VRN_expression::OperandSlot(int) {
  // Leaves have no operands, and callers stay below GetOperandCount().
  assert(false);
  thread_local VRN_expression* none = nullptr;
  return none;
}

void VRN_expression::TraverseMutating(VRN_mutatingExpressionVisitor& visitor,
                                      VRN_expression*& owner) {
  VRN_expression* const self = owner;
  AcceptMutating(visitor, owner);
  // A replaced node has been deleted; its replacement is the visitor's.
  if (owner != self) return;
  const int count = GetOperandCount();
  for (int i = 0; i < count; ++i) {
    VRN_expression*& slot = OperandSlot(i);
    slot->TraverseMutating(visitor, slot);
  }
}

void VRN_expression::TraverseConst(VRN_constExpressionVisitor& visitor) const {
  AcceptConst(visitor);
  const int count = GetOperandCount();
  for (int i = 0; i < count; ++i) GetOperand(i)->TraverseConst(visitor);
}

void VRN_expression::Traverse(VRN_expressionVisitor& visitor) {
  Accept(visitor);
  const int count = GetOperandCount();
  for (int i = 0; i < count; ++i) OperandSlot(i)->Traverse(visitor);
}

VRN_expression* VRN_expression::CopyBaseTo(VRN_expression* copy) const {
  copy->sign_ = sign_;
  copy->context_index_ = context_index_;
  return copy;
}

void VRN_AppendExpressionNumber(std::string& text, double value) {
  // Text that reads back as something else would change the formula at
  // every save: infinities and NaN get forms the parser reads as numbers.
  if (std::isnan(value)) {
    text += "(0/0)";
    return;
  }
  if (std::isinf(value)) {
    text += value > 0 ? "1e999" : "-1e999";
    return;
  }
  // std::to_chars writes printf's "%g" form, never in the process locale.
  char buffer[40];
  for (int precision = 6;; ++precision) {
    const auto written =
        std::to_chars(buffer, buffer + sizeof(buffer), value,
                      std::chars_format::general, precision);
    double back = 0.0;
    std::from_chars(buffer, written.ptr, back);
    // 17 significant digits always read back.
    if (back == value || precision >= 17) {
      text.append(buffer, written.ptr);
      return;
    }
  }
}

// ---------------------------------------------------------------- leaves

VRN_variable::VRN_variable(std::string name)
    : name_(std::move(name)), value_(kNaN) {}

VRN_expression* VRN_variable::Clone() const {
  auto* copy = new VRN_variable(name_);
  copy->value_ = value_;
  copy->slot_ = slot_;
  return CopyBaseTo(copy);
}

double VRN_variable::EvaluateNode(VRN_evalContext* context) const {
  if (slot_ < 0) return value_;
  // A bound variable read outside its context has no value to give.
  if (context == nullptr || slot_ >= context->GetSlotCount()) return kNaN;
  return context->GetSlotValue(slot_);
}

void VRN_variable::WriteTerm(std::string& text) const { text += name_; }

void VRN_variable::Bind(const VRN_evalContext& context) {
  slot_ = context.FindSlot(name_);
}

// Leaves dispatch to the visit operation of their own class.
#define QELTA_DEFINE_ACCEPT(Class, Slot)                                   \
  void Class::AcceptMutating(VRN_mutatingExpressionVisitor& visitor,       \
                             VRN_expression*& owner) {                     \
    visitor.Slot(this, owner);                                             \
  }                                                                        \
  void Class::AcceptConst(VRN_constExpressionVisitor& visitor) const {     \
    visitor.Slot(this);                                                    \
  }                                                                        \
  void Class::Accept(VRN_expressionVisitor& visitor) { visitor.Slot(this); }

QELTA_DEFINE_ACCEPT(VRN_variable, VisitVariable)
QELTA_DEFINE_ACCEPT(VRN_constant, VisitConstant)
QELTA_DEFINE_ACCEPT(VRN_textLiteral, VisitTextLiteral)
QELTA_DEFINE_ACCEPT(VRN_function, VisitFunction)
QELTA_DEFINE_ACCEPT(VRN_operator, VisitOperator)

#undef QELTA_DEFINE_ACCEPT

VRN_expression* VRN_constant::Clone() const {
  return CopyBaseTo(new VRN_constant(value_));
}

void VRN_constant::WriteTerm(std::string& text) const {
  VRN_AppendExpressionNumber(text, value_);
}

VRN_expression* VRN_textLiteral::Clone() const {
  return CopyBaseTo(new VRN_textLiteral(text_));
}

double VRN_textLiteral::EvaluateNode(VRN_evalContext*) const { return kNaN; }

void VRN_textLiteral::WriteTerm(std::string& text) const {
  text += '"';
  text += text_;
  text += '"';
}

// ---------------------------------------------------------------- calls

VRN_function::~VRN_function() {
  for (VRN_expression* arg : args_) delete arg;
}

bool VRN_function::IsDeterministic() const {
  if (IsRandom()) return false;
  for (const VRN_expression* arg : args_) {
    if (!arg->IsDeterministic()) return false;
  }
  return true;
}

void VRN_function::WriteTerm(std::string& text) const {
  text += GetName();
  text += '(';
  for (size_t i = 0; i < args_.size(); ++i) {
    if (i > 0) text += ',';
    args_[i]->AppendText(text);
  }
  text += ')';
}

VRN_expression* VRN_function::CopyCallTo(VRN_function* copy) const {
  std::unique_ptr<VRN_function> holder(copy);
  holder->args_.reserve(args_.size());
  for (const VRN_expression* arg : args_) {
    holder->args_.push_back(CloneOf(arg).release());
  }
  CopyBaseTo(holder.get());
  return holder.release();
}

VRN_expression* VRN_unknownFunction::Clone() const {
  return CopyCallTo(new VRN_unknownFunction(name_));
}

void VRN_unknownFunction::AcceptConstFunctionVisitor(
    VRN_constFunctionVisitor& visitor) const {
  visitor.VisitUnknownFunction(this);
}

void VRN_unknownFunction::AcceptFunctionVisitor(VRN_functionVisitor& visitor) {
  visitor.VisitUnknownFunction(this);
}

// ---------------------------------------------------------------- operators

VRN_binaryOperator::~VRN_binaryOperator() {
  delete left_;
  delete right_;
}

void VRN_binaryOperator::Detach(VRN_expression*& left,
                                VRN_expression*& right) {
  left = left_;
  right = right_;
  left_ = nullptr;
  right_ = nullptr;
}

bool VRN_binaryOperator::IsDeterministic() const {
  return left_->IsDeterministic() && right_->IsDeterministic();
}

void VRN_binaryOperator::WriteTerm(std::string& text) const {
  const int precedence = GetPrecedence();
  AppendOperand(text, left_,
                left_->IsOperator() && PrecedenceOf(left_) < precedence);
  text += GetSymbol();
  AppendOperand(text, right_,
                right_->IsOperator() && PrecedenceOf(right_) <= precedence);
}

namespace {

template <class Operator>
VRN_expression* CloneBinary(const VRN_binaryOperator& node) {
  std::unique_ptr<VRN_expression> left = CloneOf(node.GetLeft());
  std::unique_ptr<VRN_expression> right = CloneOf(node.GetRight());
  auto* copy = new Operator(left.get(), right.get());
  left.release();
  right.release();
  copy->SetSign(node.GetSign());
  copy->SetContextIndex(node.GetContextIndex());
  return copy;
}

}  // namespace

// Operands are read into locals first: left before right, always.
#define QELTA_DEFINE_BINARY_OPERATOR(Class, kind, precedence, symbol, expr) \
  VRN_expression* Class::Clone() const { return CloneBinary<Class>(*this); } \
  int Class::GetKind() const { return kind; }                              \
  int Class::GetPrecedence() const { return precedence; }                  \
  const char* Class::GetSymbol() const { return symbol; }                  \
  double Class::EvaluateNode(VRN_evalContext* context) const {             \
    const double a = GetLeft()->Evaluate(context);                         \
    const double b = GetRight()->Evaluate(context);                        \
    return expr;                                                           \
  }

QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorPlus, kExprPlus, 2, "+", a + b)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorMinus, kExprMinus, 2, "-", a - b)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorDivide, kExprDivide, 3, "/", a / b)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorMultiply, kExprMultiply, 3, "*",
                             a * b)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorExp, kExprPower, 4, "^",
                             std::pow(a, b))
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorLT, kExprLess, 1, "<",
                             a < b ? 1.0 : 0.0)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorGT, kExprGreater, 1, ">",
                             a > b ? 1.0 : 0.0)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorLE, kExprLessEqual, 1, "<=",
                             a <= b ? 1.0 : 0.0)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorGE, kExprGreaterEqual, 1, ">=",
                             a >= b ? 1.0 : 0.0)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorEQ, kExprEqual, 0, "=",
                             a == b ? 1.0 : 0.0)
QELTA_DEFINE_BINARY_OPERATOR(VRN_operatorNE, kExprNotEqual, 0, "<>",
                             a == b ? 0.0 : 1.0)

#undef QELTA_DEFINE_BINARY_OPERATOR

VRN_operatorConditional::~VRN_operatorConditional() {
  delete condition_;
  delete then_;
  delete else_;
}

VRN_expression* VRN_operatorConditional::Clone() const {
  std::unique_ptr<VRN_expression> condition = CloneOf(condition_);
  std::unique_ptr<VRN_expression> then_part = CloneOf(then_);
  std::unique_ptr<VRN_expression> else_part = CloneOf(else_);
  auto* copy = new VRN_operatorConditional(condition.get(), then_part.get(),
                                           else_part.get());
  condition.release();
  then_part.release();
  else_part.release();
  return CopyBaseTo(copy);
}

bool VRN_operatorConditional::IsDeterministic() const {
  return condition_->IsDeterministic() && then_->IsDeterministic() &&
         else_->IsDeterministic();
}

double VRN_operatorConditional::EvaluateNode(VRN_evalContext* context) const {
  const double c = condition_->Evaluate(context);
  return c == 0.0 ? else_->Evaluate(context) : then_->Evaluate(context);
}

void VRN_operatorConditional::WriteTerm(std::string& text) const {
  AppendOperand(text, condition_,
                condition_->IsOperator() && PrecedenceOf(condition_) <= -1);
  text += " ? ";
  then_->AppendText(text);
  text += " : ";
  else_->AppendText(text);
}

// ---------------------------------------------------------------- context

VRN_evalContext::VRN_evalContext(int expected_slots) : cache_in_use_(&cache_) {
  if (expected_slots > 0) values_.reserve(static_cast<size_t>(expected_slots));
}

VRN_evalContext::VRN_evalContext(VRN_evalContext* caller, int slot_count,
                                 const VRN_expression* site)
    : generator_(&GeneratorOf(caller)),
      values_(static_cast<size_t>(slot_count > 0 ? slot_count : 0), 0.0),
      cache_in_use_(caller != nullptr ? nullptr : &cache_),
      caller_(caller),
      site_(site) {}

VRN_evalContext::CacheMap& VRN_evalContext::ResolveCacheMap() {
  CacheMap& outer = caller_->GetCacheMap();
  if (site_ == nullptr) {
    cache_in_use_ = &outer;
    return outer;
  }
  std::unique_ptr<VRN_evalContextCacheItem>& slot = outer[site_];
  auto* site = dynamic_cast<VRN_callSiteCache*>(slot.get());
  if (site == nullptr) {
    auto made = std::make_unique<VRN_callSiteCache>();
    site = made.get();
    slot = std::move(made);
  }
  cache_in_use_ = &site->map;
  return site->map;
}

VRN_evalContext::~VRN_evalContext() {
  for (VRN_expression* substitute : substitutes_) delete substitute;
}

VRN_randomGenerator& VRN_evalContext::GeneratorOf(
    const VRN_evalContext* context) {
  if (context != nullptr && context->generator_ != nullptr) {
    return *context->generator_;
  }
  return VRN_DefaultRandomGenerator();
}

int VRN_evalContext::GetSlot(const std::string& name) {
  const auto found = slots_.find(name);
  if (found != slots_.end()) return found->second;
  const int slot = static_cast<int>(values_.size());
  values_.push_back(0.0);
  slots_.emplace(name, slot);
  return slot;
}

int VRN_evalContext::FindSlot(const std::string& name) const {
  const auto found = slots_.find(name);
  return found != slots_.end() ? found->second : -1;
}

void VRN_evalContext::AddSubstitute(VRN_expression* substitute,
                                    VRN_expression* node) {
  node->SetContextIndex(AddSubstitute(substitute));
}

VRN_expressionBinder& VRN_evalContext::GetBinder() {
  // Made on first use: nested contexts of user-function calls never bind.
  if (binder_ == nullptr) SetBinder(new VRN_expressionBinder());
  return *binder_;
}

void VRN_evalContext::SetBinder(VRN_expressionBinder* binder) {
  binder_.reset(binder);
  binder_->context_ = this;
}

int VRN_evalContext::AddSubstitute(VRN_expression* substitute) {
  std::unique_ptr<VRN_expression> holder(substitute);
  substitutes_.push_back(holder.get());
  holder.release();
  return static_cast<int>(substitutes_.size()) - 1;
}

double VRN_evalContext::EvaluateSubstitute(int index) {
  if (index >= static_cast<int>(substitutes_.size())) return kNaN;
  return substitutes_[static_cast<size_t>(index)]->Evaluate(this);
}
