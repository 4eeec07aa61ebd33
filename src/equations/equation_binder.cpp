// Text-literal and interval binding of equations in a network.
#include "equations/equation_binder.h"

#include <cmath>
#include <limits>
#include <strings.h>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "network/network.h"
#include "network/node.h"

VRN_expression* DiscretizeNodeExpr::Clone() const {
  return CopyBaseTo(new DiscretizeNodeExpr(definition_, slot_));
}

double DiscretizeNodeExpr::EvaluateNode(VRN_evalContext* context) const {
  if (context == nullptr || slot_ < 0 || slot_ >= context->GetSlotCount()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const double v = context->GetSlotValue(slot_);
  const int index = definition_->HasIntervals()
                        ? definition_->GetIntervalIndex(v)
                        : definition_->GetPointValueIndex(v);
  return index >= 0 ? index : -1.0;
}

void DiscretizeNodeExpr::WriteTerm(std::string& text) const {
  text += "#interval";
}

namespace {

bool IsComparison(int kind) { return kind >= kExprLess && kind <= kExprNotEqual; }

// The literal a comparison holds beside a variable, with that variable.
template <typename Found>
void PairComparedLiteral(VRN_operator* node, Found&& found) {
  if (!IsComparison(node->GetKind())) return;
  auto* binary = static_cast<VRN_binaryOperator*>(node);
  VRN_expression* a = binary->GetLeft();
  VRN_expression* b = binary->GetRight();
  if (a == nullptr || b == nullptr) return;
  if (a->GetKind() == kExprVariable && b->GetKind() == kExprTextLiteral) {
    found(static_cast<VRN_variable*>(a), static_cast<VRN_textLiteral*>(b));
  } else if (b->GetKind() == kExprVariable &&
             a->GetKind() == kExprTextLiteral) {
    found(static_cast<VRN_variable*>(b), static_cast<VRN_textLiteral*>(a));
  }
}

// The case labels that are literals of a Switch on a variable, each with
// that variable.
template <typename Found>
void PairSwitchLiterals(VRN_function* node, Found&& found) {
  const auto& args = node->GetArguments();
  if (args.empty() || args[0]->GetKind() != kExprVariable ||
      strcasecmp(node->GetName(), "Switch") != 0) {
    return;
  }
  auto* variable = static_cast<VRN_variable*>(args[0]);
  for (size_t i = 1; i < args.size(); i += 2) {
    if (args[i]->GetKind() == kExprTextLiteral) {
      found(variable, static_cast<VRN_textLiteral*>(args[i]));
    }
  }
}

class OutcomeLiteralFinder : public VRN_expressionVisitor {
 public:
  OutcomeLiteralFinder(const std::string& name,
                       const std::function<void(VRN_textLiteral*)>& found)
      : name_(name), found_(found) {}
  void VisitOperator(VRN_operator* node) override {
    PairComparedLiteral(node, [this](VRN_variable* v, VRN_textLiteral* l) {
      if (v->GetName() == name_) found_(l);
    });
  }
  void VisitFunction(VRN_function* node) override {
    PairSwitchLiterals(node, [this](VRN_variable* v, VRN_textLiteral* l) {
      if (v->GetName() == name_) found_(l);
    });
  }

 private:
  const std::string& name_;
  const std::function<void(VRN_textLiteral*)>& found_;
};

class ContextIndexClearer : public VRN_expressionVisitor {
 public:
  void VisitOperator(VRN_operator* node) override { node->SetContextIndex(-1); }
  void VisitFunction(VRN_function* node) override { node->SetContextIndex(-1); }
  void VisitTextLiteral(VRN_textLiteral* node) override {
    node->SetContextIndex(-1);
  }
  void VisitConstant(VRN_constant* node) override { node->SetContextIndex(-1); }
  void VisitVariable(VRN_variable* node) override { node->SetContextIndex(-1); }
};

}  // namespace

void VRN_ClearContextIndices(VRN_expression* root) {
  if (root == nullptr) return;
  ContextIndexClearer clearer;
  root->Traverse(clearer);
}

void VRN_ForEachOutcomeLiteral(
    VRN_expression* root, const std::string& name,
    const std::function<void(VRN_textLiteral*)>& found) {
  if (root == nullptr) return;
  OutcomeLiteralFinder finder(name, found);
  root->Traverse(finder);
}

void VRN_networkEquationBinder::VisitOperator(VRN_operator* node) {
  PairComparedLiteral(node, [this](VRN_variable* variable,
                                   VRN_textLiteral* literal) {
    BindLiteral(variable, literal);
  });
}

void VRN_networkEquationBinder::VisitFunction(VRN_function* node) {
  PairSwitchLiterals(node, [this](VRN_variable* variable,
                                  VRN_textLiteral* literal) {
    BindLiteral(variable, literal);
  });
  const auto& args = node->GetArguments();
  if (!args.empty() && args[0]->GetKind() == kExprVariable &&
      strcasecmp(node->GetName(), "Choose") == 0) {
    Discretize(static_cast<VRN_variable*>(args[0]), true);
  }
}

void VRN_networkEquationBinder::VisitTextLiteral(VRN_textLiteral* node) {
  if (collect_) literals_.push_back(node);
}

const VRN_textLiteral* VRN_networkEquationBinder::FirstUnboundLiteral() const {
  for (const VRN_textLiteral* literal : literals_) {
    if (bound_.count(literal) == 0) return literal;
  }
  return nullptr;
}

void VRN_networkEquationBinder::Discretize(VRN_variable* variable,
                                           bool point_values) {
  if (variable->GetContextIndex() >= 0 || context() == nullptr) return;
  const int h = network_->FindNode(variable->GetName().c_str());
  if (h < 0) return;
  const auto* definition =
      dynamic_cast<const VRN_discDef*>(network_->GetNode(h)->Definition());
  if (definition == nullptr || definition->GetNumberOfOutcomes() < 2) return;
  if (!definition->HasIntervals() &&
      !(point_values && definition->HasPointValues())) {
    return;
  }
  const int slot = context()->GetSlot(variable->GetName());
  context()->AddSubstitute(new DiscretizeNodeExpr(definition, slot), variable);
}

void VRN_networkEquationBinder::BindLiteral(VRN_variable* variable,
                                            VRN_textLiteral* literal) {
  const int h = network_->FindNode(variable->GetName().c_str());
  if (h < 0) return;
  const auto* definition =
      dynamic_cast<const VRN_discDef*>(network_->GetNode(h)->Definition());
  if (definition == nullptr || definition->GetNumberOfOutcomes() < 2) return;
  const VRN_idArray* ids = definition->GetOutcomesNames();
  const int outcome = ids != nullptr ? ids->FindString(literal->GetText().c_str())
                                     : -1;
  if (outcome < 0) return;
  if (collect_) bound_.insert(literal);
  if (context() == nullptr) return;
  double value = outcome;
  if (definition->HasPointValues()) {
    (void)definition->GetPointValue(outcome, &value);
  }
  if (literal->GetContextIndex() < 0) {
    context()->AddSubstitute(new VRN_constant(value), literal);
  }
  if (definition->HasIntervals()) Discretize(variable, false);
}
