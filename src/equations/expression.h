// Expression trees: the parsed form of every formula (equations, utility
// expressions, user-defined functions).
//
// A tree is made of VRN_expression nodes. There is no unary minus node: a
// negated subexpression is the same node with sign -1. A node whose context
// index is >= 0 stands, when evaluated with a context, for the context's
// substitute expression at that index.
//
// Ownership: every node owns its operands and arguments; deleting the root
// deletes the tree. A built-in call points to a constant table row and a
// context points to its random generator; neither is owned. A user-function
// call shares its function's immutable definition (ext_functions.h).
//
// Visitors (expression_visitor.h) reach every node through the Accept and
// Traverse operations; traversals are pre-order: the node, then its operands
// (left, right; condition, then, else) or its arguments, first to last.
//
// Evaluation never fails: domain errors give IEEE infinities and NaNs.
// Evaluation, writing, cloning and deletion recurse once per level, so the
// depth of a tree must stay within what the parser accepts
// (kMaxExpressionDepth).
//
// Thread use: a tree and a context are used by one thread at a time.
// Distinct trees may be evaluated on distinct threads only with distinct
// random generators.
#ifndef QELTA_EQUATIONS_EXPRESSION_H_
#define QELTA_EQUATIONS_EXPRESSION_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

class VRN_randomGenerator;
class VRN_evalContext;
class VRN_expressionBinder;
class VRN_expressionVisitor;
class VRN_constExpressionVisitor;
class VRN_mutatingExpressionVisitor;
class VRN_functionVisitor;
class VRN_constFunctionVisitor;

// Kind codes answered by GetKind; other code switches on them.
enum VRN_expressionKind {
  kExprVariable = 0,
  kExprConstant = 1,
  kExprFunction = 2,
  kExprPlus = 3,
  kExprMinus = 4,
  kExprDivide = 5,
  kExprMultiply = 6,
  kExprPower = 7,
  kExprLess = 8,
  kExprGreater = 9,
  kExprLessEqual = 10,
  kExprGreaterEqual = 11,
  kExprEqual = 12,
  kExprNotEqual = 13,
  kExprConditional = 14,
  kExprTextLiteral = 15,
};

// Deepest nesting the parser accepts; every tree walk recurses about that
// deep. The parser spends up to about 500 bytes of stack on a level and the
// walks up to about 130, so a tree at the bound is parsed, bound, evaluated,
// simplified, written and read back within a 128 KB thread stack (a Java
// thread's smallest) with room to spare for the caller's frames.
inline constexpr int kMaxExpressionDepth = 150;

class VRN_expression {
 public:
  VRN_expression() = default;
  VRN_expression(const VRN_expression&) = delete;
  VRN_expression& operator=(const VRN_expression&) = delete;
  // Deletes owned operands and arguments.
  virtual ~VRN_expression() = default;

  // Deep copy with sign, context index and every field; the caller owns it.
  virtual VRN_expression* Clone() const = 0;
  virtual int GetKind() const = 0;
  // True for binary operators and the conditional.
  virtual bool IsOperator() const { return false; }
  // False when the tree calls a random-number function.
  virtual bool IsDeterministic() const { return true; }
  // Calls the visit operation of the node's class: VisitOperator for
  // binary operators and the conditional, VisitFunction for calls,
  // VisitTextLiteral, VisitConstant, VisitVariable. owner is the place that
  // holds this node (the parent's operand or the caller's root pointer); a
  // mutating visitor may replace the node through it.
  virtual void AcceptMutating(VRN_mutatingExpressionVisitor& visitor,
                              VRN_expression*& owner) = 0;
  virtual void AcceptConst(VRN_constExpressionVisitor& visitor) const = 0;
  virtual void Accept(VRN_expressionVisitor& visitor) = 0;
  // Accepts the visitor here, then traverses each operand in order. When
  // the mutating visitor replaced this node through owner, the replacement
  // is not traversed. REQUIRES: owner holds this node; a visitor that
  // replaces a node makes the replacement before it deletes the old one.
  virtual void TraverseMutating(VRN_mutatingExpressionVisitor& visitor,
                                VRN_expression*& owner);
  virtual void TraverseConst(VRN_constExpressionVisitor& visitor) const;
  virtual void Traverse(VRN_expressionVisitor& visitor);
  // One step of solving this node = rhs for the variable named name
  // (expression_rewrite.cpp). On true this node has been consumed: rhs
  // holds the new right side and remaining the operand that holds the
  // variable, both owned by the caller; a negated node negates the right
  // side. On false nothing changed.
  virtual bool Isolate(const std::string& name, VRN_expression*& remaining,
                       VRN_expression*& rhs);
  // One simplification step. owner holds this node; a replacement is
  // written there and this node deleted. True when anything changed.
  // Products of sums are expanded, so repeated steps can multiply a tree's
  // size: callers that repeat until no change bound the repetitions.
  virtual bool Simplify(VRN_expression*& owner);
  // Value of the node without its sign; context may be null.
  virtual double EvaluateNode(VRN_evalContext* context) const = 0;
  // Appends the node's text without its sign.
  virtual void WriteTerm(std::string& text) const = 0;

  // Operands (or arguments) in traversal order.
  virtual int GetOperandCount() const { return 0; }
  // REQUIRES: 0 <= i < GetOperandCount().
  virtual VRN_expression*& OperandSlot(int i);
  const VRN_expression* GetOperand(int i) const {
    return const_cast<VRN_expression*>(this)->OperandSlot(i);
  }

  // The node's value with its sign: the context's substitute when the node
  // has a context index and a context is given, else EvaluateNode. Operands
  // are read through this. context may be null.
  double Evaluate(VRN_evalContext* context) const;
  // Replaces text with the node's text, sign included: a negated leaf or
  // call as -x, a negated operator as -(a+b).
  void Write(std::string& text) const;
  // Appends what Write writes.
  void AppendText(std::string& text) const;

  int GetSign() const { return sign_; }
  // REQUIRES: sign is 1 or -1.
  void SetSign(int sign) { sign_ = sign; }
  void FlipSign() { sign_ = -sign_; }
  int GetContextIndex() const { return context_index_; }
  void SetContextIndex(int index) { context_index_ = index; }

 protected:
  // Copies sign and context index into a fresh copy; answers copy.
  VRN_expression* CopyBaseTo(VRN_expression* copy) const;

 private:
  int sign_ = 1;
  int context_index_ = -1;
};

// A named value: the context's slot when bound (slot >= 0), else the stored
// value, NaN until assigned.
class VRN_variable : public VRN_expression {
 public:
  explicit VRN_variable(std::string name);

  VRN_expression* Clone() const override;
  int GetKind() const override { return kExprVariable; }
  void AcceptMutating(VRN_mutatingExpressionVisitor& visitor,
                      VRN_expression*& owner) override;
  void AcceptConst(VRN_constExpressionVisitor& visitor) const override;
  void Accept(VRN_expressionVisitor& visitor) override;
  // Slot value when bound and the context holds the slot; the stored value
  // when unbound; NaN for a bound variable read without its context.
  double EvaluateNode(VRN_evalContext* context) const override;
  void WriteTerm(std::string& text) const override;

  const std::string& GetName() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  double GetValue() const { return value_; }
  void SetValue(double value) { value_ = value; }
  int GetSlot() const { return slot_; }
  void SetSlot(int slot) { slot_ = slot; }
  // Binds to the slot of the name in context, -1 when it has none.
  void Bind(const VRN_evalContext& context);

 private:
  std::string name_;
  double value_;
  int slot_ = -1;
};

// A number. Written with "%g" when that reads back to the same double, else
// with the fewest significant digits that do; non-finite values as 1e999,
// -1e999 and (0/0) so that they read back.
class VRN_constant : public VRN_expression {
 public:
  explicit VRN_constant(double value) : value_(value) {}

  VRN_expression* Clone() const override;
  int GetKind() const override { return kExprConstant; }
  void AcceptMutating(VRN_mutatingExpressionVisitor& visitor,
                      VRN_expression*& owner) override;
  void AcceptConst(VRN_constExpressionVisitor& visitor) const override;
  void Accept(VRN_expressionVisitor& visitor) override;
  double EvaluateNode(VRN_evalContext*) const override { return value_; }
  void WriteTerm(std::string& text) const override;

  double GetValue() const { return value_; }
  void SetValue(double value) { value_ = value; }

 private:
  double value_;
};

// A quoted text; NaN as a value, meaningful only to binders that read it.
class VRN_textLiteral : public VRN_expression {
 public:
  explicit VRN_textLiteral(std::string text) : text_(std::move(text)) {}

  VRN_expression* Clone() const override;
  int GetKind() const override { return kExprTextLiteral; }
  void AcceptMutating(VRN_mutatingExpressionVisitor& visitor,
                      VRN_expression*& owner) override;
  void AcceptConst(VRN_constExpressionVisitor& visitor) const override;
  void Accept(VRN_expressionVisitor& visitor) override;
  double EvaluateNode(VRN_evalContext* context) const override;
  void WriteTerm(std::string& text) const override;

  const std::string& GetText() const { return text_; }
  // A literal naming an outcome follows the outcome's renames.
  void SetText(std::string text) { text_ = std::move(text); }

 private:
  std::string text_;
};

// A call: name, "(", the arguments separated by ",", ")".
class VRN_function : public VRN_expression {
 public:
  ~VRN_function() override;

  int GetKind() const override { return kExprFunction; }
  bool IsDeterministic() const override;
  void AcceptMutating(VRN_mutatingExpressionVisitor& visitor,
                      VRN_expression*& owner) override;
  void AcceptConst(VRN_constExpressionVisitor& visitor) const override;
  void Accept(VRN_expressionVisitor& visitor) override;
  // Simplifies each argument in place; calls are never folded.
  bool Simplify(VRN_expression*& owner) override;
  void WriteTerm(std::string& text) const override;
  int GetOperandCount() const override { return GetArgumentCount(); }
  VRN_expression*& OperandSlot(int i) override { return args_[i]; }

  // The name as written back.
  virtual const char* GetName() const = 0;
  // True when calling the function draws random numbers.
  virtual bool IsRandom() const = 0;
  // The function's own check of the argument list; false with message set.
  virtual bool CheckArguments(std::string& message) const { return true; }
  // Calls VisitUnknownFunction, VisitExtFunction or VisitStdFunction by
  // class.
  virtual void AcceptConstFunctionVisitor(
      VRN_constFunctionVisitor& visitor) const = 0;
  virtual void AcceptFunctionVisitor(VRN_functionVisitor& visitor) = 0;
  // Levels a call adds to the nesting of an expression beyond its own
  // arguments when it is evaluated: a user function's body.
  virtual int GetBodyDepth() const { return 0; }

  // Appends arg; the call owns it.
  void AddArgument(VRN_expression* arg) { args_.push_back(arg); }
  int GetArgumentCount() const { return static_cast<int>(args_.size()); }
  const std::vector<VRN_expression*>& GetArguments() const { return args_; }

 protected:
  // Clones every argument of this call into copy; answers copy.
  VRN_expression* CopyCallTo(VRN_function* copy) const;

 private:
  std::vector<VRN_expression*> args_;
};

// A call of a function the system does not know; evaluates to 0.
class VRN_unknownFunction : public VRN_function {
 public:
  explicit VRN_unknownFunction(std::string name) : name_(std::move(name)) {}

  VRN_expression* Clone() const override;
  double EvaluateNode(VRN_evalContext*) const override { return 0.0; }
  const char* GetName() const override { return name_.c_str(); }
  bool IsRandom() const override { return false; }
  void AcceptConstFunctionVisitor(
      VRN_constFunctionVisitor& visitor) const override;
  void AcceptFunctionVisitor(VRN_functionVisitor& visitor) override;

 private:
  std::string name_;
};

class VRN_operator : public VRN_expression {
 public:
  bool IsOperator() const override { return true; }
  void AcceptMutating(VRN_mutatingExpressionVisitor& visitor,
                      VRN_expression*& owner) override;
  void AcceptConst(VRN_constExpressionVisitor& visitor) const override;
  void Accept(VRN_expressionVisitor& visitor) override;
  // Binding strength: = <> 0, comparisons 1, + - 2, * / 3, ^ 4,
  // conditional -1.
  virtual int GetPrecedence() const = 0;
};

// Operands are evaluated left before right.
class VRN_binaryOperator : public VRN_operator {
 public:
  // Takes ownership of left and right.
  VRN_binaryOperator(VRN_expression* left, VRN_expression* right)
      : left_(left), right_(right) {}
  ~VRN_binaryOperator() override;

  bool IsDeterministic() const override;
  // Left operand wrapped in parentheses when its precedence is lower, the
  // right one when it is lower or equal: a-(b-c), a-b-c, a^b^c, a^(b^c).
  void WriteTerm(std::string& text) const override;
  virtual const char* GetSymbol() const = 0;

  VRN_expression* GetLeft() const { return left_; }
  VRN_expression* GetRight() const { return right_; }
  int GetOperandCount() const override { return 2; }
  VRN_expression*& OperandSlot(int i) override {
    return i == 0 ? left_ : right_;
  }
  // Hands both operands to the caller and leaves null in their place, so
  // that deleting this node deletes neither.
  void Detach(VRN_expression*& left, VRN_expression*& right);

 private:
  VRN_expression* left_;
  VRN_expression* right_;
};

#define QELTA_DECLARE_BINARY_OPERATOR(Class)                     \
  class Class : public VRN_binaryOperator {                      \
   public:                                                       \
    using VRN_binaryOperator::VRN_binaryOperator;                \
    VRN_expression* Clone() const override;                      \
    int GetKind() const override;                                \
    double EvaluateNode(VRN_evalContext* context) const override; \
    bool Isolate(const std::string& name, VRN_expression*& remaining, \
                 VRN_expression*& rhs) override;                 \
    bool Simplify(VRN_expression*& owner) override;              \
    int GetPrecedence() const override;                          \
    const char* GetSymbol() const override;                      \
  };

// a + b, a - b, a / b (IEEE: x/0 is infinite), a * b, pow(a, b).
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorPlus)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorMinus)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorDivide)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorMultiply)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorExp)
// Comparisons answer 1.0 or 0.0; a NaN operand makes every comparison but
// <> false.
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorLT)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorGT)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorLE)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorGE)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorEQ)
QELTA_DECLARE_BINARY_OPERATOR(VRN_operatorNE)

#undef QELTA_DECLARE_BINARY_OPERATOR

// condition ? then : else. A condition of exactly 0.0 (or -0.0) selects the
// else part, anything else (NaN included) the then part; only the selected
// part is evaluated.
class VRN_operatorConditional : public VRN_operator {
 public:
  // Takes ownership of the three operands.
  VRN_operatorConditional(VRN_expression* condition, VRN_expression* then_part,
                          VRN_expression* else_part)
      : condition_(condition), then_(then_part), else_(else_part) {}
  ~VRN_operatorConditional() override;

  VRN_expression* Clone() const override;
  int GetKind() const override { return kExprConditional; }
  bool IsDeterministic() const override;
  double EvaluateNode(VRN_evalContext* context) const override;
  // The condition is wrapped only when it is itself a conditional.
  void WriteTerm(std::string& text) const override;
  int GetPrecedence() const override { return -1; }

  VRN_expression* GetCondition() const { return condition_; }
  VRN_expression* GetThen() const { return then_; }
  VRN_expression* GetElse() const { return else_; }
  // Simplifies the three operands in place; a constant condition stays.
  bool Simplify(VRN_expression*& owner) override;
  int GetOperandCount() const override { return 3; }
  VRN_expression*& OperandSlot(int i) override {
    return i == 0 ? condition_ : (i == 1 ? then_ : else_);
  }

 private:
  VRN_expression* condition_;
  VRN_expression* then_;
  VRN_expression* else_;
};

// Data a function call keeps in a context between evaluations.
class VRN_evalContextCacheItem {
 public:
  virtual ~VRN_evalContextCacheItem() = default;
};

// The state an evaluation runs in: the random generator, named slots with
// their values, substitute expressions, per-call cache items and the binder
// that binds variables to the slots.
//
// Ownership: owns substitutes, cache items and the binder; the generator is
// borrowed. A nested context (a user-function call) keeps its cached data
// in its caller's cache map, so it must not outlive its caller.
class VRN_evalContext {
 public:
  using CacheMap =
      std::map<const VRN_expression*, std::unique_ptr<VRN_evalContextCacheItem>>;

  // A context with no slots, room reserved for expected_slots values, and
  // no generator.
  explicit VRN_evalContext(int expected_slots = 0);
  // The context of a user-function call made from caller (may be null):
  // slot_count unnamed slots valued 0.0, the caller's generator (else the
  // default one). Cached data goes to the caller's cache map in use (else
  // its own): with a call node site, to a map of its own kept there under
  // site, so that calls of one function from different places keep their
  // cached data apart.
  VRN_evalContext(VRN_evalContext* caller, int slot_count,
                  const VRN_expression* site = nullptr);
  VRN_evalContext(const VRN_evalContext&) = delete;
  VRN_evalContext& operator=(const VRN_evalContext&) = delete;
  ~VRN_evalContext();

  // Null until set; evaluation then draws from the default generator.
  VRN_randomGenerator* GetRandomGenerator() const { return generator_; }
  void SetRandomGenerator(VRN_randomGenerator* generator) {
    generator_ = generator;
  }
  // The generator evaluations draw from: this context's, else the
  // process-wide default. context may be null.
  static VRN_randomGenerator& GeneratorOf(const VRN_evalContext* context);

  // Slot of name, adding it with the next number and value 0.0 when new.
  int GetSlot(const std::string& name);
  // Slot of name, -1 when the name has none.
  int FindSlot(const std::string& name) const;
  int GetSlotCount() const { return static_cast<int>(values_.size()); }
  // REQUIRES: 0 <= slot < GetSlotCount().
  double GetSlotValue(int slot) const { return values_[slot]; }
  void SetSlotValue(int slot, double value) { values_[slot] = value; }

  // Appends a substitute (owned) and answers its index, the context index
  // of the nodes that stand for it.
  int AddSubstitute(VRN_expression* substitute);
  // Appends substitute (owned) and sets node's context index to it, so that
  // node evaluates in this context as the substitute does (times node's
  // sign).
  void AddSubstitute(VRN_expression* substitute, VRN_expression* node);
  // Value of substitute index; NaN when there is no such substitute.
  double EvaluateSubstitute(int index);

  // The cache map cached data goes to: this context's own one, or for a
  // nested context the caller's or the one of its call site there (made on
  // first use).
  CacheMap& GetCacheMap() {
    return cache_in_use_ != nullptr ? *cache_in_use_ : ResolveCacheMap();
  }

  // The binder BindExpression runs: a plain VRN_expressionBinder until
  // SetBinder installs another.
  VRN_expressionBinder& GetBinder();
  // Deletes the current binder and installs binder (owned), bound to this
  // context. REQUIRES: binder != null.
  void SetBinder(VRN_expressionBinder* binder);

 private:
  VRN_randomGenerator* generator_ = nullptr;
  std::map<std::string, int> slots_;
  std::vector<double> values_;
  std::vector<VRN_expression*> substitutes_;
  CacheMap cache_;
  // Null in a nested context until GetCacheMap resolves it, so calls that
  // cache nothing cost no lookup.
  CacheMap* cache_in_use_;
  VRN_evalContext* caller_ = nullptr;
  const VRN_expression* site_ = nullptr;
  std::unique_ptr<VRN_expressionBinder> binder_;

  CacheMap& ResolveCacheMap();
};

// The cached data of one user-function call site, kept in its caller's
// cache map under the call node.
class VRN_callSiteCache : public VRN_evalContextCacheItem {
 public:
  VRN_evalContext::CacheMap map;
};

inline double VRN_expression::Evaluate(VRN_evalContext* context) const {
  if (context_index_ >= 0 && context != nullptr) {
    return sign_ * context->EvaluateSubstitute(context_index_);
  }
  return sign_ * EvaluateNode(context);
}

// Appends the text of a constant value as VRN_constant writes it.
void VRN_AppendExpressionNumber(std::string& text, double value);

#endif  // QELTA_EQUATIONS_EXPRESSION_H_
