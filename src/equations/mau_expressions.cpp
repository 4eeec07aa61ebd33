// Expression mode of the multi-attribute utility definition.
#include <algorithm>
#include <memory>
#include <utility>

#include "base/error_log.h"
#include "base/status.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"
#include "equations/ext_functions.h"
#include "equations/mau.h"
#include "network/network.h"
#include "network/node.h"

// ------------------------------------------------------- VRN_mauExpressions

VRN_mauExpressions::VRN_mauExpressions(std::vector<int> dimensions)
    : dimensions_(std::move(dimensions)) {
  if (dimensions_.empty()) dimensions_.push_back(1);
  int count = 1;
  for (int n : dimensions_) count *= n;
  slots_.resize(count);
  for (auto& slot : slots_) slot.reset(new VRN_constant(0.0));
}

VRN_mauExpressions::VRN_mauExpressions(const VRN_mauExpressions& other)
    : dimensions_(other.dimensions_) {
  slots_.reserve(other.slots_.size());
  for (const auto& slot : other.slots_) slots_.emplace_back(slot->Clone());
}

int VRN_mauExpressions::GetSlot(const std::vector<int>& coordinates) const {
  int slot = 0;
  for (size_t d = 0; d < coordinates.size() && d < dimensions_.size(); ++d) {
    slot = slot * dimensions_[d] + coordinates[d];
  }
  return slot;
}

void VRN_mauExpressions::Set(int slot, VRN_expression* expression) {
  slots_[slot].reset(expression);
}

void VRN_mauExpressions::Remap(
    const std::vector<int>& new_dimensions,
    const std::function<int(const std::vector<int>&)>& source) {
  std::vector<int> dims = new_dimensions;
  if (dims.empty()) dims.push_back(1);
  int count = 1;
  for (int n : dims) count *= n;
  std::vector<std::unique_ptr<VRN_expression>> fresh(count);
  std::vector<int> coords(dims.size(), 0);
  for (int i = 0; i < count; ++i) {
    int from = source(coords);
    if (from < 0 || from >= GetSlotCount()) from = 0;
    fresh[i].reset(slots_[from]->Clone());
    for (int d = static_cast<int>(dims.size()) - 1; d >= 0; --d) {
      if (++coords[d] < dims[d]) break;
      coords[d] = 0;
    }
  }
  dimensions_ = std::move(dims);
  slots_ = std::move(fresh);
}

// ---------------------------------------------------- structure of VRN_mau

std::vector<int> VRN_mau::DecisionDimensions() const {
  std::vector<int> dims;
  for (int p : GetParents()) {
    if (IsDecisionParent(p)) {
      dims.push_back(GetNodeDefinition(p)->GetDiscreteOutcomeCount());
    }
  }
  return dims;
}

int VRN_mau::ExpressionsAddParent(int parent, int d) {
  if (expressions_ == nullptr) return qelta::kOk;
  if (d < 0) {
    const std::string id = GetNodeId(parent);
    std::vector<std::unique_ptr<VRN_expression>> sums;
    for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
      sums.emplace_back(AddVariableTerm(expressions_->Get(i)->Clone(), id));
      // A sum whose text the parser would refuse could be written but
      // never read back.
      if (NestingDepth(sums.back().get()) > kMaxExpressionDepth) {
        if (GetNetwork() != nullptr) {
          GetNetwork()->ErrorLog()->LogError(qelta::kErrOutOfRange,
                                             "Expression is nested too deeply");
        }
        return qelta::kErrOutOfRange;
      }
    }
    for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
      expressions_->Set(i, sums[static_cast<size_t>(i)].release());
    }
    return qelta::kOk;
  }
  // The parent is in the list already: the present dimensions hold it.
  const std::vector<int> dims = DecisionDimensions();
  if (dims.size() == 1) {
    expressions_->Remap(dims, [](const std::vector<int>&) { return 0; });
    return qelta::kOk;
  }
  const VRN_mauExpressions& old = *expressions_;
  expressions_->Remap(dims, [&old, d](const std::vector<int>& c) {
    std::vector<int> from(c);
    from.erase(from.begin() + d);
    return old.GetSlot(from);
  });
  return qelta::kOk;
}

void VRN_mau::ExpressionsRemoveParent(int parent, int d) {
  if (expressions_ == nullptr) return;
  if (d < 0) {
    const std::string id = GetNodeId(parent);
    std::vector<std::string> names;
    for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
      if (CountVariable(expressions_->Get(i), id) == 0) continue;
      GetVariables(expressions_->Get(i), names);
      names.erase(std::remove(names.begin(), names.end(), id), names.end());
      std::sort(names.begin(), names.end());
      expressions_->Set(i, MakeSum(names));
    }
    return;
  }
  std::vector<int> dims = DecisionDimensions();
  dims.erase(dims.begin() + d);  // the parent is still listed
  if (dims.empty()) {
    expressions_->Remap(dims, [](const std::vector<int>&) { return 0; });
  } else {
    const VRN_mauExpressions& old = *expressions_;
    expressions_->Remap(dims, [&old, d](const std::vector<int>& c) {
      std::vector<int> from(c);
      from.insert(from.begin() + d, 0);
      return old.GetSlot(from);
    });
  }
  RemoveUnreferencedParents();
}

void VRN_mau::RemoveUnreferencedParents() {
  if (expressions_ == nullptr || GetNetwork() == nullptr) return;
  std::vector<std::string> named;
  std::vector<std::string> names;
  for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
    GetVariables(expressions_->Get(i), names);
    named.insert(named.end(), names.begin(), names.end());
  }
  const VRN_intArray parents = GetParents();  // copy: arcs go below
  for (int p : parents) {
    if (IsDecisionParent(p)) continue;
    if (std::find(named.begin(), named.end(), GetNodeId(p)) != named.end()) {
      continue;
    }
    (void)GetNetwork()->RemoveArc(p, GetHandle());
  }
}

void VRN_mau::OnParentIdChanged(int, const char* old_id, const char* new_id) {
  if (expressions_ == nullptr || old_id == nullptr || new_id == nullptr) {
    return;
  }
  for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
    RenameVariable(expressions_->Get(i), old_id, new_id);
  }
}

int VRN_mau::CheckExtFunctions(const VRN_extFunctionContainer& functions,
                               int* position, std::string* message) {
  if (expressions_ == nullptr) return qelta::kOk;
  for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
    int index = -1;
    std::string text;
    if (!CheckExtFunctionCalls(expressions_->Get(i), functions, false, 0, index,
                               text)) {
      if (position != nullptr) *position = index;
      if (message != nullptr) *message = text;
      return qelta::kErrOutOfRange;
    }
  }
  return qelta::kOk;
}

int VRN_mau::PatchExtFunctions(VRN_extFunctionContainer* functions) {
  if (expressions_ == nullptr || functions == nullptr) return qelta::kOk;
  for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
    PatchExtFunctionCalls(expressions_->Get(i), *functions);
  }
  return qelta::kOk;
}

// ---------------------------------------------------------- expression API

void VRN_mau::MakeDefaultExpressions(VRN_mauExpressions* out) const {
  VRN_mauExpressions fresh(DecisionDimensions());
  out->Remap(fresh.GetDimensions(), [](const std::vector<int>&) { return -1; });
  for (int i = 0; i < out->GetSlotCount(); ++i) {
    out->Set(i, new VRN_constant(0.0));
  }
}

int VRN_mau::GetExpressions(std::vector<std::string>* texts) const {
  if (expressions_ == nullptr) return qelta::kErrWrongNodeType;
  texts->clear();
  for (int i = 0; i < expressions_->GetSlotCount(); ++i) {
    std::string text;
    expressions_->Get(i)->Write(text);
    texts->push_back(std::move(text));
  }
  return qelta::kOk;
}

int VRN_mau::SetExpressions(const std::vector<std::string>& texts,
                            std::string* error) {
  if (texts.empty()) return InstallExpressions(nullptr, error);
  VRN_mauExpressions set(DecisionDimensions());
  if (static_cast<int>(texts.size()) != set.GetSlotCount()) {
    if (error != nullptr) {
      const int expected = set.GetSlotCount();
      *error = "Wrong vector size: expected " + std::to_string(expected) +
               (expected == 1 ? " expression" : " expressions") +
               " (one per configuration of the decision parents), got " +
               std::to_string(texts.size());
    }
    return qelta::kErrOutOfRange;
  }
  VRN_network* network = GetNetwork();
  for (size_t i = 0; i < texts.size(); ++i) {
    int position = 0;
    std::string message;
    VRN_positionMap positions;
    VRN_expression* tree = VRN_ParseExpression(
        texts[i].c_str(), &position, &message, &positions,
        network != nullptr ? network->ExtFunctions() : nullptr);
    if (tree == nullptr) {
      if (error != nullptr) {
        *error = "Can't parse expression at index " + std::to_string(i) +
                 ", error at position " + std::to_string(position) + ": " +
                 message;
      }
      return qelta::kErrOutOfRange;
    }
    set.Set(static_cast<int>(i), tree);
    // A literal names an outcome of the node it is compared with; the
    // variables here are utility nodes, which have none, so it would
    // select nothing.
    if (const VRN_textLiteral* literal = FindTextLiteral(tree)) {
      if (error != nullptr) {
        const auto found = positions.find(literal);
        *error = "Invalid text literal: \"" + literal->GetText() + "\" in expression at index " +
                 std::to_string(i) + ", position " +
                 std::to_string(found != positions.end() ? found->second : 0);
      }
      return qelta::kErrInvalidValue;
    }
  }
  return InstallExpressions(&set, error);
}

std::string VRN_mau::CheckIdentifier(
    const std::string& name, const std::vector<std::string>& allowed) const {
  if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) {
    return std::string();
  }
  if (name == GetNodeId(GetHandle())) {
    return "self-references not allowed: " + name;
  }
  const int found =
      GetNetwork() != nullptr ? GetNetwork()->FindNode(name.c_str()) : -1;
  if (found >= 0) {
    const int type = GetNodeDefinition(found)->GetType();
    const bool utility = type == qelta::kDefUtility || type == qelta::kDefMau;
    return "only non-descendant utility/ALU/MAU nodes are allowed: " + name +
           (utility ? std::string(" is a descendant of ") +
                          GetNodeId(GetHandle())
                    : std::string(
                          " is not a utility or multi-attribute utility node"));
  }
  return "unknown identifier: " + name;
}

int VRN_mau::InstallExpressions(const VRN_mauExpressions* set,
                                std::string* error) {
  if (set == nullptr) {
    expressions_.reset();
    // Back to weights: every decision's expected utility may change.
    NotifyRelevance(qelta::kChangeEquation);
    return qelta::kOk;
  }
  if (set->GetDimensions() !=
      (expressions_ != nullptr
           ? expressions_->GetDimensions()
           : VRN_mauExpressions(DecisionDimensions()).GetDimensions())) {
    if (error != nullptr) *error = "Wrong matrix dimensions";
    return qelta::kErrOutOfRange;
  }
  VRN_network* network = GetNetwork();
  std::vector<std::string> allowed;
  if (network != nullptr) {
    VRN_intArray descendants;
    (void)network->GetDescendants(GetHandle(), descendants);
    for (int h = network->GetFirstNode(); h >= 0;
         h = network->GetNextNode(h)) {
      const int type = GetNodeDefinition(h)->GetType();
      if (type != qelta::kDefUtility && type != qelta::kDefMau) continue;
      if (h == GetHandle() || descendants.Contains(h)) continue;
      allowed.push_back(GetNodeId(h));
    }
  }
  std::vector<std::string> gathered;
  std::vector<std::string> names;
  for (int i = 0; i < set->GetSlotCount(); ++i) {
    std::string message;
    if (!set->Get(i)->IsDeterministic()) {
      message = "Random number generators not allowed";
    } else {
      GetVariables(set->Get(i), names);
      for (const std::string& name : names) {
        message = CheckIdentifier(name, allowed);
        // A name kept without its arc would make a save that does not
        // read back.
        if (message.empty() && network != nullptr &&
            !network->TemporalTypesAllowArc(network->FindNode(name.c_str()),
                                            GetHandle())) {
          message = "the temporal types do not allow an arc from " + name;
        }
        if (!message.empty()) break;
        gathered.push_back(name);
      }
    }
    if (!message.empty()) {
      if (error != nullptr) {
        *error = "Invalid expression at index " + std::to_string(i) + ": " +
                 message;
      }
      return qelta::kErrGeneral;
    }
  }
  std::sort(gathered.begin(), gathered.end());
  gathered.erase(std::unique(gathered.begin(), gathered.end()),
                 gathered.end());
  // In weights mode while the arcs change, so only the weights follow.
  expressions_.reset();
  if (network != nullptr) {
    const VRN_intArray parents = GetParents();
    for (int p : parents) {
      if (!IsDecisionParent(p)) (void)network->RemoveArc(p, GetHandle());
    }
    for (const std::string& name : gathered) {
      (void)network->AddArc(network->FindNode(name.c_str()), GetHandle());
    }
  }
  expressions_.reset(new VRN_mauExpressions(*set));
  // The arcs may be the same as before while the expressions are not.
  NotifyRelevance(qelta::kChangeEquation);
  return qelta::kOk;
}

bool VRN_mau::GetLinearForm(VRN_matrix* weights, std::vector<double>* offsets,
                            int* slot) const {
  *slot = -1;
  *weights = weights_;
  size_t configurations = 1;
  for (int n : DecisionDimensions()) configurations *= static_cast<size_t>(n);
  offsets->assign(configurations, 0.0);
  std::vector<std::string> names;
  for (int p : GetParents()) {
    if (IsUtilityParent(p)) names.push_back(GetNodeId(p));
  }
  const size_t n = names.size();
  if (n > 0 &&
      static_cast<size_t>(weights->GetItemCount()) != configurations * n) {
    return false;
  }
  if (expressions_ == nullptr) return true;
  if (static_cast<size_t>(expressions_->GetSlotCount()) != configurations) {
    return false;
  }
  double* items = weights->GetItems().Items();
  std::vector<double> coefficients;
  for (size_t s = 0; s < configurations; ++s) {
    if (!GetAffineForm(expressions_->Get(static_cast<int>(s)), names,
                       &(*offsets)[s], &coefficients)) {
      *slot = static_cast<int>(s);
      return false;
    }
    std::copy(coefficients.begin(), coefficients.end(), items + s * n);
  }
  return true;
}
