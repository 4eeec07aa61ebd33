// User-defined functions: definition parsing and checks, calls, and the
// container.
#include "equations/ext_functions.h"

#include <algorithm>
#include <limits>

#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string LowerCase(const std::string& name) {
  std::string lower(name);
  for (char& c : lower) c = Lower(c);
  return lower;
}

// Adds b to a, stopping just above the bound so that no sum overflows.
long long AddCost(long long a, long long b) {
  return std::min(a + b, kMaxExtFunctionCost + 1);
}

// Nodes one evaluation of node visits at most (cost) and the levels below
// the body's top that it reaches (depth), user-function bodies included:
// a call's body starts one level below the call, as its arguments do, so a
// call counts one level plus its body's, as the parser counts it. level is
// node's own level, 0 at the top. Recursion follows the tree, whose depth
// the parser bounds.
void Measure(const VRN_expression* node, int level, long long& cost,
             int& depth) {
  cost = AddCost(cost, 1);
  depth = std::max(depth, level);
  if (node->GetKind() == kExprFunction) {
    const auto* call = dynamic_cast<const VRN_extFunction*>(node);
    if (call != nullptr) {
      cost = AddCost(cost, call->GetDefinition().cost());
      depth = std::max(depth, level + 1 + call->GetDefinition().depth());
    }
  }
  const int count = node->GetOperandCount();
  for (int i = 0; i < count; ++i) {
    Measure(node->GetOperand(i), level + 1, cost, depth);
  }
}

// Parser of one definition text. Names resolve to a built-in, then to a
// function defined earlier in the container; the first other name becomes
// the head. A call that resolves before the head is made would redefine an
// existing function.
class ExtFunctionParser : public VRN_expressionParser {
 public:
  // The head once made; it belongs to the parsed tree.
  const VRN_function* head() const { return head_; }

 protected:
  bool CreateFunction(const std::string& name, VRN_function*& function,
                      int& parameter_count, bool& at_least) override {
    if (VRN_expressionParser::CreateFunction(name, function, parameter_count,
                                             at_least)) {
      return true;
    }
    if (head_ != nullptr) return false;
    head_ = new VRN_unknownFunction(name);
    function = head_;
    parameter_count = 0;
    at_least = true;
    return true;
  }

  VRN_expression* TranslateFunction(VRN_function* function,
                                    std::string& message) override {
    if (head_ != nullptr) return function;
    message = "Cannot redefine function ";
    message += function->GetName();
    delete function;
    return nullptr;
  }

 private:
  VRN_function* head_ = nullptr;
};

// Where node's text starts: its own recorded position, else its first
// operand's; 0 when nothing under it was recorded.
int PositionOf(const VRN_expression* node, const VRN_positionMap& positions) {
  while (node != nullptr) {
    const auto found = positions.find(node);
    if (found != positions.end()) return found->second;
    node = node->GetOperandCount() > 0 ? node->GetOperand(0) : nullptr;
  }
  return 0;
}

bool Fail(const std::string& text, int where, int& pos, std::string& msg) {
  msg = text;
  pos = where;
  return false;
}

class CompatCheckVisitor : public VRN_constFunctionVisitor {
 public:
  CompatCheckVisitor(const VRN_extFunctionContainer& functions,
                     bool random_allowed, int& definition_index,
                     std::string& message)
      : functions_(functions),
        random_allowed_(random_allowed),
        definition_index_(definition_index),
        message_(message) {}

  void VisitExtFunction(const VRN_extFunction* node) override {
    if (failed_) return;
    const int index = functions_.Find(node->GetName());
    if (index < 0) {
      Refuse(-1, node->GetName(), ": function not found");
      return;
    }
    const VRN_extFunctionDefinition& definition =
        *functions_.GetDefinition(index);
    if (definition.parameter_count() != node->GetArgumentCount()) {
      Refuse(index, node->GetName(),
             ": expected parameter count is " +
                 std::to_string(definition.parameter_count()));
    } else if (!random_allowed_ && !definition.deterministic()) {
      Refuse(index, node->GetName(), ": random number generators not allowed");
    }
  }

  bool failed() const { return failed_; }

 private:
  void Refuse(int index, const char* name, const std::string& text) {
    failed_ = true;
    definition_index_ = index;
    message_ = name;
    message_ += text;
  }

  const VRN_extFunctionContainer& functions_;
  bool random_allowed_;
  int& definition_index_;
  std::string& message_;
  bool failed_ = false;
};

class PatchingVisitor : public VRN_functionVisitor {
 public:
  explicit PatchingVisitor(const VRN_extFunctionContainer& functions)
      : functions_(functions) {}
  void VisitExtFunction(VRN_extFunction* node) override {
    const int index = functions_.Find(node->GetName());
    if (index >= 0) node->SetDefinition(functions_.GetDefinition(index));
  }

 private:
  const VRN_extFunctionContainer& functions_;
};

}  // namespace

// ---------------------------------------------------------------- definition

VRN_extFunctionDefinition::VRN_extFunctionDefinition(VRN_expression* tree,
                                                     long long cost, int depth)
    : tree_(tree), cost_(cost), depth_(depth) {
  const auto* root = static_cast<const VRN_binaryOperator*>(tree);
  head_ = static_cast<const VRN_function*>(root->GetLeft());
  body_ = root->GetRight();
  deterministic_ = body_->IsDeterministic();
}

// ---------------------------------------------------------------- call

VRN_expression* VRN_extFunction::Clone() const {
  return CopyCallTo(new VRN_extFunction(definition_));
}

double VRN_extFunction::EvaluateNode(VRN_evalContext* context) const {
  const int n = GetArgumentCount();
  if (n != definition_->parameter_count()) return kNaN;
  // Keyed by this call, so a fit inside the body is made once per call
  // site and argument set rather than once per evaluation.
  VRN_evalContext nested(context, n, this);
  const std::vector<VRN_expression*>& args = GetArguments();
  for (int i = 0; i < n; ++i) {
    nested.SetSlotValue(i, args[static_cast<size_t>(i)]->Evaluate(context));
  }
  return definition_->body().Evaluate(&nested);
}

void VRN_extFunction::AcceptConstFunctionVisitor(
    VRN_constFunctionVisitor& visitor) const {
  visitor.VisitExtFunction(this);
}

void VRN_extFunction::AcceptFunctionVisitor(VRN_functionVisitor& visitor) {
  visitor.VisitExtFunction(this);
}

// ---------------------------------------------------------------- container

VRN_extFunctionContainer::VRN_extFunctionContainer() = default;

VRN_extFunctionContainer::VRN_extFunctionContainer(
    const VRN_extFunctionContainer& other) = default;

VRN_extFunctionContainer::~VRN_extFunctionContainer() = default;

bool VRN_extFunctionContainer::SetDefinitions(
    const std::vector<std::string>& definitions, int& fnIndex, int& pos,
    std::string& msg) {
  VRN_extFunctionContainer fresh;
  for (size_t i = 0; i < definitions.size(); ++i) {
    if (!fresh.ParseDefinition(definitions[i], pos, msg)) {
      fnIndex = static_cast<int>(i);
      return false;
    }
  }
  definitions_.swap(fresh.definitions_);
  index_.swap(fresh.index_);
  return true;
}

bool VRN_extFunctionContainer::ParseDefinition(const std::string& text,
                                               int& pos, std::string& msg) {
  ExtFunctionParser parser;
  VRN_positionMap positions;
  pos = 0;
  std::unique_ptr<VRN_expression> tree(
      parser.Parse(text.c_str(), &msg, &pos, &positions, this));
  if (tree == nullptr) return false;
  if (tree->GetKind() != kExprEqual || tree->GetSign() != 1) {
    return Fail("Missing toplevel =", 0, pos, msg);
  }
  auto* root = static_cast<VRN_binaryOperator*>(tree.get());
  // A negated head would be dropped silently at every call.
  if (root->GetLeft() != parser.head() || root->GetLeft()->GetSign() != 1) {
    return Fail("Function name required on the LHS", 0, pos, msg);
  }
  const auto* head = static_cast<const VRN_function*>(root->GetLeft());
  VRN_expression* body = root->GetRight();

  std::vector<std::string> body_names;
  GetVariables(body, body_names);
  VRN_evalContext parameters;
  for (const VRN_expression* arg : head->GetArguments()) {
    if (arg->GetKind() != kExprVariable || arg->GetSign() != 1) {
      return Fail("Parameter name required", PositionOf(arg, positions), pos,
                  msg);
    }
    const std::string& name = static_cast<const VRN_variable*>(arg)->GetName();
    const int where = PositionOf(arg, positions);
    if (parameters.FindSlot(name) >= 0) {
      return Fail(name + ": duplicate parameter name", where, pos, msg);
    }
    if (std::find(body_names.begin(), body_names.end(), name) ==
        body_names.end()) {
      return Fail(name + ": parameter not found in function body", where, pos,
                  msg);
    }
    parameters.GetSlot(name);
  }
  for (const std::string& name : body_names) {
    if (parameters.FindSlot(name) < 0) {
      return Fail(name + ": not a function parameter",
                  PositionOf(FindVariable(body, name), positions), pos, msg);
    }
  }
  // A literal names an outcome of the node it is compared with; in a body
  // it is compared with a parameter, which names no node, so it would
  // select nothing at any call.
  if (const VRN_textLiteral* literal = FindTextLiteral(body)) {
    return Fail("Invalid text literal: \"" + literal->GetText() + "\".",
                PositionOf(literal, positions), pos, msg);
  }
  BindExpression(body, parameters);

  long long cost = 0;
  int depth = 0;
  Measure(body, 0, cost, depth);
  if (cost > kMaxExtFunctionCost) {
    return Fail(std::string(head->GetName()) +
                    ": one call would evaluate more than 1000000 expression "
                    "nodes",
                0, pos, msg);
  }
  auto definition =
      std::make_shared<const VRN_extFunctionDefinition>(tree.get(), cost, depth);
  tree.release();
  definitions_.push_back(definition);
  index_.emplace(LowerCase(definition->name()),
                 static_cast<int>(definitions_.size()) - 1);
  return true;
}

bool VRN_extFunctionContainer::CreateFunction(const std::string& name,
                                              VRN_function*& node,
                                              int& argument_count,
                                              bool& variadic) {
  const int index = Find(name);
  if (index < 0) return false;
  node = new VRN_extFunction(definitions_[static_cast<size_t>(index)]);
  argument_count = definitions_[static_cast<size_t>(index)]->parameter_count();
  variadic = false;
  return true;
}

int VRN_extFunctionContainer::Find(const std::string& name) const {
  const auto found = index_.find(LowerCase(name));
  return found != index_.end() ? found->second : -1;
}

void VRN_extFunctionContainer::GetDefinitions(std::vector<std::string>& out,
                                              bool deterministicOnly) const {
  for (const VRN_extFunctionDefinitionPtr& definition : definitions_) {
    if (deterministicOnly && !definition->deterministic()) continue;
    std::string text;
    definition->tree().Write(text);
    out.push_back(std::move(text));
  }
}

// ---------------------------------------------------------------- calls

bool CheckExtFunctionCalls(const VRN_expression* tree,
                           const VRN_extFunctionContainer& functions,
                           bool random_allowed, int outer_levels,
                           int& definition_index, std::string& message) {
  CompatCheckVisitor visitor(functions, random_allowed, definition_index,
                             message);
  tree->TraverseConst(visitor);
  if (visitor.failed()) return false;
  // What the parser would count reading the tree's text with these
  // functions, so that an accepted list never leaves text that cannot be
  // read back, and text read once is never refused.
  const int depth = NestingDepth(tree, [&functions](const VRN_function& call) {
    if (dynamic_cast<const VRN_extFunction*>(&call) == nullptr) return 0;
    const int index = functions.Find(call.GetName());
    return index >= 0 ? functions.GetDefinition(index)->depth() : 0;
  });
  if (outer_levels + depth > kMaxExpressionDepth) {
    definition_index = -1;
    message = "Expression is nested too deeply";
    return false;
  }
  return true;
}

void PatchExtFunctionCalls(VRN_expression* tree,
                           const VRN_extFunctionContainer& functions) {
  PatchingVisitor visitor(functions);
  tree->Traverse(visitor);
}
