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

void VRN_networkEquationBinder::VisitOperator(VRN_operator* node) {
  if (!IsComparison(node->GetKind())) return;
  auto* binary = static_cast<VRN_binaryOperator*>(node);
  VRN_expression* a = binary->GetLeft();
  VRN_expression* b = binary->GetRight();
  if (a == nullptr || b == nullptr) return;
  if (a->GetKind() == kExprVariable && b->GetKind() == kExprTextLiteral) {
    BindLiteral(static_cast<VRN_variable*>(a), static_cast<VRN_textLiteral*>(b));
  } else if (b->GetKind() == kExprVariable &&
             a->GetKind() == kExprTextLiteral) {
    BindLiteral(static_cast<VRN_variable*>(b), static_cast<VRN_textLiteral*>(a));
  }
}

void VRN_networkEquationBinder::VisitFunction(VRN_function* node) {
  const auto& args = node->GetArguments();
  if (args.empty() || args[0]->GetKind() != kExprVariable) return;
  auto* variable = static_cast<VRN_variable*>(args[0]);
  if (strcasecmp(node->GetName(), "Switch") == 0) {
    for (size_t i = 1; i < args.size(); i += 2) {
      if (args[i]->GetKind() == kExprTextLiteral) {
        BindLiteral(variable, static_cast<VRN_textLiteral*>(args[i]));
      }
    }
  } else if (strcasecmp(node->GetName(), "Choose") == 0) {
    Discretize(variable, true);
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
