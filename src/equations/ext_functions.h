// User-defined functions: definitions such as Sq2(a, b) = a*a + b*b, the
// container a network keeps them in, and the call node of the expression
// tree.
//
// A definition is parsed once into an "=" tree whose left operand is the
// head (an unknown-function node named after the function, with the
// parameters as variable arguments) and whose right operand is the body,
// its variables bound to the parameter slots 0 .. n-1 in head order. A
// definition never changes after parsing, so containers and calls share it
// (shared ownership) instead of copying it: forty functions each calling the
// previous one twice stay forty small trees.
//
// Evaluation is bounded when a definition is parsed: one whose single call
// would visit more than kMaxExtFunctionCost nodes is refused, and a call
// counts its body's depth towards the parser's nesting bound, so no list of
// definitions can make an evaluation run for ever or exhaust the stack.
//
// Thread use: definitions are immutable and may be shared across threads;
// a container follows its network, one thread at a time.
#ifndef QELTA_EQUATIONS_EXT_FUNCTIONS_H_
#define QELTA_EQUATIONS_EXT_FUNCTIONS_H_

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "equations/expression.h"
#include "equations/ext_function_factory.h"

// Most nodes one call of a user function may evaluate: its body's nodes
// plus, for each call in the body, the callee's count.
inline constexpr long long kMaxExtFunctionCost = 1000000;

// One parsed definition.
class VRN_extFunctionDefinition {
 public:
  // Takes ownership of tree, an "=" node whose left operand is the head
  // and whose body's variables are bound to the parameter slots.
  VRN_extFunctionDefinition(VRN_expression* tree, long long cost, int depth);
  VRN_extFunctionDefinition(const VRN_extFunctionDefinition&) = delete;
  VRN_extFunctionDefinition& operator=(const VRN_extFunctionDefinition&) =
      delete;

  // The whole definition, head = body.
  const VRN_expression& tree() const { return *tree_; }
  const VRN_expression& body() const { return *body_; }
  // The head's name as written in the definition.
  const char* name() const { return head_->GetName(); }
  int parameter_count() const { return head_->GetArgumentCount(); }
  // False when the body draws random numbers.
  bool deterministic() const { return deterministic_; }
  // Nodes one call evaluates at most, and the levels its body nests below
  // its top (0 for a body that is a name or a number).
  long long cost() const { return cost_; }
  int depth() const { return depth_; }

 private:
  std::unique_ptr<VRN_expression> tree_;
  const VRN_function* head_;
  const VRN_expression* body_;
  bool deterministic_;
  long long cost_;
  int depth_;
};

using VRN_extFunctionDefinitionPtr =
    std::shared_ptr<const VRN_extFunctionDefinition>;

// A call of a user-defined function. Its value is the body's value in a
// nested context whose slots hold the arguments, evaluated first to last in
// the caller's context; the nested context draws from the caller's
// generator and caches into the caller's cache map.
class VRN_extFunction : public VRN_function {
 public:
  // REQUIRES: definition != null.
  explicit VRN_extFunction(VRN_extFunctionDefinitionPtr definition)
      : definition_(std::move(definition)) {}

  // The copy shares the definition.
  VRN_expression* Clone() const override;
  // NaN when the argument count differs from the parameter count.
  double EvaluateNode(VRN_evalContext* context) const override;
  const char* GetName() const override { return definition_->name(); }
  bool IsRandom() const override { return !definition_->deterministic(); }
  void AcceptConstFunctionVisitor(
      VRN_constFunctionVisitor& visitor) const override;
  void AcceptFunctionVisitor(VRN_functionVisitor& visitor) override;
  int GetBodyDepth() const override { return definition_->depth(); }

  const VRN_extFunctionDefinition& GetDefinition() const {
    return *definition_;
  }
  // Re-points the call; REQUIRES: definition != null.
  void SetDefinition(VRN_extFunctionDefinitionPtr definition) {
    definition_ = std::move(definition);
  }

 private:
  VRN_extFunctionDefinitionPtr definition_;
};

// The user-defined functions of a network, in the order they were given.
// Function names are unique without regard to ASCII letter case.
class VRN_extFunctionContainer : public VRN_extFunctionFactory {
 public:
  // An empty container.
  VRN_extFunctionContainer();
  // A container with the same functions as other (definitions shared).
  VRN_extFunctionContainer(const VRN_extFunctionContainer& other);
  VRN_extFunctionContainer& operator=(const VRN_extFunctionContainer&) = delete;
  ~VRN_extFunctionContainer() override;

  // Replaces the functions by those the texts define, in order; a body may
  // call the functions defined before it in the list. Answers true. On
  // false fnIndex is the index of the first failing text, pos the position
  // of the error in it and msg describes it; the container is unchanged.
  bool SetDefinitions(const std::vector<std::string>& definitions, int& fnIndex,
                      int& pos, std::string& msg);
  // True with node set to a new call of the function named name (any
  // letter case), argument_count to its parameter count and variadic to
  // false; false when there is no such function.
  bool CreateFunction(const std::string& name, VRN_function*& node,
                      int& argument_count, bool& variadic) override;
  // Index of the function named name (any letter case), -1 when none.
  int Find(const std::string& name) const;
  int GetCount() const { return static_cast<int>(definitions_.size()); }
  // REQUIRES: 0 <= index < GetCount().
  const VRN_extFunctionDefinitionPtr& GetDefinition(int index) const {
    return definitions_[static_cast<size_t>(index)];
  }
  // Appends each function's definition text in the writer's form
  // (Sq2(a,b)=a*a+b*b) in order to out; with deterministicOnly only those
  // whose body draws no random numbers.
  void GetDefinitions(std::vector<std::string>& out,
                      bool deterministicOnly) const;

 private:
  // Parses text into a new last function; false with pos and msg set.
  bool ParseDefinition(const std::string& text, int& pos, std::string& msg);

  std::vector<VRN_extFunctionDefinitionPtr> definitions_;
  // Index of each function by its name in ASCII lower case.
  std::unordered_map<std::string, int> index_;
};

// True when every user-function call in tree fits functions: a function of
// that name exists, takes as many parameters as the call has arguments,
// draws no random numbers unless random_allowed, and keeps the tree's text
// within the nesting bound when it sits under outer_levels levels (0 for a
// whole expression, 1 for a side of an equation, whose "=" is one).
// Otherwise false with message describing the first misfit and
// definition_index the index of its function (-1 when missing or for the
// nesting).
bool CheckExtFunctionCalls(const VRN_expression* tree,
                           const VRN_extFunctionContainer& functions,
                           bool random_allowed, int outer_levels,
                           int& definition_index, std::string& message);

// Re-points every user-function call in tree to the function of the same
// name in functions; calls of missing functions stay as they are.
void PatchExtFunctionCalls(VRN_expression* tree,
                           const VRN_extFunctionContainer& functions);

#endif  // QELTA_EQUATIONS_EXT_FUNCTIONS_H_
