// VRN_equation: the equation, its parents, range and intervals.
#include "equations/equation.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "base/error_log.h"
#include "base/intervals.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_val.h"
#include "equations/equation_binder.h"
#include "equations/equation_evaluation.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"
#include "equations/ext_functions.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The boundary of the default "State0" over bounds lower and upper. Mended,
// one beyond the doubles is not taken: the middle of two finite bounds is
// then the sum of their halves, a doubled bound the largest double of its
// sign. Unmended, it is the infinity that files written before hold.
double DefaultBoundary(double lower, double upper, bool mended) {
  const bool lo = std::isfinite(lower);
  const bool hi = std::isfinite(upper);
  const auto doubled = [mended](double bound) {
    const double twice = 2 * bound;
    if (mended && std::isinf(twice)) {
      return std::copysign(std::numeric_limits<double>::max(), bound);
    }
    return twice;
  };
  if (lo && hi) return mended ? VRN_Midpoint(lower, upper) : (upper + lower) * 0.5;
  if (lo) return lower > 0 ? doubled(lower) : (lower < 0 ? -lower : 1.0);
  if (hi) return upper > 0 ? -upper : (upper < 0 ? doubled(upper) : -1.0);
  return 0.0;
}

// Whether a side written next to "=" must be wrapped to read back alike.
bool NeedsWrap(const VRN_expression* side, bool right) {
  if (side == nullptr || !side->IsOperator() || side->GetSign() != 1) {
    return false;
  }
  const int precedence = static_cast<const VRN_operator*>(side)->GetPrecedence();
  return right ? precedence <= 0 : precedence < 0;
}

void AppendSide(const VRN_expression* side, bool right, std::string& text) {
  if (side == nullptr) return;
  if (NeedsWrap(side, right)) {
    text += '(';
    side->AppendText(text);
    text += ')';
  } else {
    side->AppendText(text);
  }
}

int CountNames(const VRN_expression* side) {
  std::vector<std::string> names;
  if (side != nullptr) GetVariables(side, names);
  return static_cast<int>(names.size());
}

}  // namespace

bool VRN_IsFiniteValue(double value) {
  return !std::isnan(value) &&
         value <= std::numeric_limits<double>::max() &&
         value >= -std::numeric_limits<double>::max();
}

VRN_equation* VRN_GetEquation(VRN_network* network, int handle) {
  VRN_node* node = network != nullptr ? network->GetNode(handle) : nullptr;
  if (node == nullptr || node->Definition()->GetType() != qelta::kDefEquation) {
    return nullptr;
  }
  return static_cast<VRN_equation*>(node->Definition());
}

void VRN_DropEquationChildTables(VRN_network* network, int handle) {
  const VRN_node* node = network != nullptr ? network->GetNode(handle) : nullptr;
  if (node == nullptr) return;
  for (int c : node->Children()) {
    VRN_equation* child = VRN_GetEquation(network, c);
    if (child != nullptr) child->DropDiscretization();
  }
}

int VRN_FollowOutcomeIds(VRN_network* network, int parent,
                         const std::vector<std::string>& old_ids,
                         const std::vector<std::string>& next, bool carry,
                         const std::vector<int>* at) {
  const VRN_node* node = network != nullptr ? network->GetNode(parent) : nullptr;
  if (node == nullptr) return qelta::kOk;
  const std::string id = node->GetId();
  for (int c : node->Children()) {
    VRN_equation* child = VRN_GetEquation(network, c);
    std::string literal;
    bool moved = false;
    if (child == nullptr ||
        child->FollowOutcomeIds(id, old_ids, next, at, carry, &literal,
                                &moved) ||
        carry) {
      continue;
    }
    return network->ErrorLog()->Logf(
        qelta::kErrOutOfRange,
        "Equation of node '%s' names outcome \"%s\" of node '%s', which the "
        "edit would %s",
        network->GetNode(c)->GetId(), literal.c_str(), id.c_str(),
        moved ? "move" : "take away");
  }
  return qelta::kOk;
}

// ------------------------------------------------------- VRN_parsedEquation

VRN_parsedEquation::VRN_parsedEquation(const VRN_parsedEquation& other)
    : left(other.left != nullptr ? other.left->Clone() : nullptr),
      right(other.right != nullptr ? other.right->Clone() : nullptr),
      random(other.random),
      constant(other.constant) {}

VRN_parsedEquation::~VRN_parsedEquation() {
  delete left;
  delete right;
}

void VRN_parsedEquation::Reset(VRN_expression* new_left,
                               VRN_expression* new_right) {
  delete left;
  delete right;
  left = new_left;
  right = new_right;
  ComputeFlags();
}

void VRN_parsedEquation::ComputeFlags() {
  random = ((left != nullptr && !left->IsDeterministic()) ||
            (right != nullptr && !right->IsDeterministic()))
               ? 1
               : 0;
  constant = (random == 0 && CountNames(left) + CountNames(right) == 1) ? 1 : 0;
}

std::string VRN_parsedEquation::GetText() const {
  std::string text;
  AppendSide(left, false, text);
  text += '=';
  AppendSide(right, true, text);
  return text;
}

// ------------------------------------------------------------ construction

VRN_equation::VRN_equation(VRN_network* network, int handle, const char* id)
    : VRN_nodeDef(network, handle),
      default_value_(std::numeric_limits<double>::quiet_NaN()),
      nominal_lower_(-kInf),
      nominal_upper_(kInf) {
  equation_.Reset(new VRN_variable(id != nullptr ? id : ""),
                  new VRN_constant(0.0));
}

VRN_equation::VRN_equation(const VRN_discreteInfo& info)
    : VRN_nodeDef(info.network, info.handle),
      default_value_(std::numeric_limits<double>::quiet_NaN()),
      nominal_lower_(-kInf),
      nominal_upper_(kInf) {
  std::vector<std::string> names;
  for (int p : GetParents()) names.push_back(GetNodeId(p));
  equation_.Reset(new VRN_variable(OwnId()), MakeSum(names));
  const int n = info.ids != nullptr ? info.ids->GetSize() : 0;
  if (n < 2) return;
  const int m = info.values != nullptr ? info.values->GetSize() : 0;
  if (m == n + 1) {
    lower_ = (*info.values)[0];
    upper_ = (*info.values)[n];
    for (int i = 0; i < n; ++i) {
      const char* id = info.ids->Get(i);
      intervals_.push_back({id != nullptr ? id : "", (*info.values)[i + 1]});
    }
  } else {
    for (int i = 0; i < n; ++i) {
      const char* id = info.ids->Get(i);
      intervals_.push_back(
          {id != nullptr ? id : "", lower_ + (upper_ - lower_) * (i + 1) / n});
    }
  }
}

VRN_equation::VRN_equation(const VRN_equation& other, VRN_network* target)
    : VRN_nodeDef(other, target),
      equation_(other.equation_),
      lower_(other.lower_),
      upper_(other.upper_),
      default_value_(other.default_value_),
      nominal_lower_(other.nominal_lower_),
      nominal_upper_(other.nominal_upper_),
      solved_(other.solved_ != nullptr ? other.solved_->Clone() : nullptr),
      intervals_(other.intervals_),
      table_(other.table_ != nullptr ? new VRN_matrix(*other.table_) : nullptr),
      signature_(other.signature_ != nullptr
                     ? new std::vector<VRN_discSignatureItem>(*other.signature_)
                     : nullptr) {}

VRN_equation::~VRN_equation() = default;

VRN_nodeDef* VRN_equation::Clone(VRN_network* target) const {
  return new VRN_equation(*this, target);
}

VRN_nodeVal* VRN_equation::CreateValueFromRecord(
    const VRN_evidenceRecord& record) const {
  auto* value = new VRN_equationEvaluation(GetNetwork(), GetHandle());
  if (record.kind == qelta::kEvidenceOutcomeAndValue &&
      VRN_IsFiniteValue(record.value)) {
    value->AdoptEvidence(record.value);
  }
  return value;
}

VRN_nodeVal* VRN_equation::CreateValue() const {
  return new VRN_equationEvaluation(GetNetwork(), GetHandle());
}

int VRN_equation::GetType() const { return qelta::kDefEquation; }

const char* VRN_equation::GetTypeName() const { return "EQUATION"; }

const char* VRN_equation::OwnId() const {
  VRN_node* node =
      GetNetwork() != nullptr ? GetNetwork()->GetNode(GetHandle()) : nullptr;
  if (node != nullptr) return node->GetId();
  // Not stored yet: the left side still names the node.
  const VRN_expression* left = equation_.left;
  if (left != nullptr && left->GetKind() == kExprVariable) {
    return static_cast<const VRN_variable*>(left)->GetName().c_str();
  }
  return "";
}

VRN_equationEvaluation* VRN_equation::OwnValue() const {
  VRN_node* node =
      GetNetwork() != nullptr ? GetNetwork()->GetNode(GetHandle()) : nullptr;
  return node != nullptr ? dynamic_cast<VRN_equationEvaluation*>(node->Value())
                         : nullptr;
}

// ----------------------------------------------------------- notifications

void VRN_equation::ResetToSum(const std::vector<std::string>& names) {
  equation_.Reset(new VRN_variable(OwnId()), MakeSum(names));
  DropSolved();
}

int VRN_equation::AddParent(int parent) {
  if (!replacing_ &&
      NestingDepth(equation_.right) + 3 < kMaxExpressionDepth) {
    equation_.right = AddVariableTerm(equation_.right, GetNodeId(parent));
  } else if (!replacing_) {
    std::unique_ptr<VRN_expression> right(
        AddVariableTerm(equation_.right->Clone(), GetNodeId(parent)));
    // "id=" adds a level; an equation whose text the parser would refuse
    // could be written but never read back.
    if (NestingDepth(right.get()) >= kMaxExpressionDepth) {
      if (GetNetwork() != nullptr) {
        GetNetwork()->ErrorLog()->LogError(qelta::kErrOutOfRange,
                                           "Expression is nested too deeply");
      }
      return qelta::kErrOutOfRange;
    }
    delete equation_.right;
    equation_.right = right.release();
  }
  equation_.constant = 0;
  DropSolved();
  DropDiscretization();
  return qelta::kOk;
}

int VRN_equation::RemoveParent(int parent) {
  std::vector<std::string> names;
  for (int p : GetParents()) {
    if (p != parent) names.push_back(GetNodeId(p));
  }
  ResetToSum(names);
  equation_.random = 0;
  equation_.constant = names.empty() ? 1 : 0;
  DropDiscretization();
  return qelta::kOk;
}

void VRN_equation::OnIdChanged(const char* old_id, const char* new_id) {
  if (old_id == nullptr || new_id == nullptr) return;
  RenameVariable(equation_.left, old_id, new_id);
  RenameVariable(equation_.right, old_id, new_id);
  DropSolved();
}

int VRN_equation::OnParentOutcomeInserted(int, int) {
  DropDiscretization();
  return qelta::kOk;
}

int VRN_equation::OnParentOutcomeRemoved(int, int) {
  DropDiscretization();
  return qelta::kOk;
}

int VRN_equation::OnParentOutcomesReordered(int, const VRN_intArray&) {
  DropDiscretization();
  return qelta::kOk;
}

int VRN_equation::ReorderParents(const VRN_intArray&) {
  // The table is drawn anew in the new parent order, with other numbers:
  // what the old one reached is out of date, as after an equation edit.
  DropDiscretization();
  NotifyRelevance(qelta::kChangeEquation);
  return qelta::kOk;
}

void VRN_equation::OnParentIdChanged(int, const char* old_id,
                                     const char* new_id) {
  OnIdChanged(old_id, new_id);
}

int VRN_equation::CheckExtFunctions(const VRN_extFunctionContainer& functions,
                                    int* position, std::string* message) {
  int index = -1;
  std::string text;
  // Each side sits under the "=".
  if (!CheckExtFunctionCalls(equation_.left, functions, true, 1, index, text) ||
      !CheckExtFunctionCalls(equation_.right, functions, true, 1, index,
                             text)) {
    if (position != nullptr) *position = index;
    if (message != nullptr) *message = text;
    return qelta::kErrOutOfRange;
  }
  return qelta::kOk;
}

int VRN_equation::PatchExtFunctions(VRN_extFunctionContainer* functions) {
  if (functions != nullptr) {
    PatchExtFunctionCalls(equation_.left, *functions);
    PatchExtFunctionCalls(equation_.right, *functions);
  }
  equation_.ComputeFlags();
  DropSolved();
  DropDiscretization();
  return qelta::kOk;
}

const VRN_matrix* VRN_equation::GetExpandedDefinition() {
  return GetDiscreteDefinition();
}

int VRN_equation::GetDiscreteOutcomeCount() const {
  if (intervals_.empty()) const_cast<VRN_equation*>(this)->CreateDefaultIntervals();
  return static_cast<int>(intervals_.size());
}

// ---------------------------------------------------------------- equation

int VRN_equation::ParseEquation(const char* text, VRN_parsedEquation* out,
                                VRN_positionMap* positions,
                                int* error_position,
                                std::string* error_message) const {
  if (text == nullptr || *text == '\0') {
    *error_position = 0;
    *error_message = "Equation cannot be empty.";
    return qelta::kErrOutOfRange;
  }
  VRN_network* network = GetNetwork();
  VRN_expression* tree = VRN_ParseExpression(
      text, error_position, error_message, positions,
      network != nullptr ? network->ExtFunctions() : nullptr);
  if (tree == nullptr) return qelta::kErrOutOfRange;
  if (tree->GetKind() != kExprEqual || tree->GetSign() != 1) {
    delete tree;
    *error_position = 0;
    *error_message = "Toplevel '=' sign missing in equation";
    return qelta::kErrOutOfRange;
  }
  VRN_expression* left = nullptr;
  VRN_expression* right = nullptr;
  static_cast<VRN_binaryOperator*>(tree)->Detach(left, right);
  delete tree;
  out->Reset(left, right);
  return qelta::kOk;
}

int VRN_equation::SetEquation(const char* text, int* error_position,
                              std::string* error_message) {
  VRN_network* network = GetNetwork();
  int position = 0;
  std::string message;
  VRN_parsedEquation parsed;
  VRN_positionMap positions;
  auto fail = [&](int at, const std::string& why) {
    if (error_position != nullptr) *error_position = at;
    if (error_message != nullptr) *error_message = why;
    if (network != nullptr) network->ErrorLog()->LogError(qelta::kErrOutOfRange, why.c_str());
    return qelta::kErrOutOfRange;
  };
  if (ParseEquation(text, &parsed, &positions, &position, &message) !=
      qelta::kOk) {
    return fail(position, message);
  }
  if (network == nullptr) {
    equation_.Reset(parsed.left, parsed.right);
    parsed.left = parsed.right = nullptr;
    DropSolved();
    return qelta::kOk;
  }
  auto position_of = [&](const std::string& name) {
    VRN_variable* v = FindVariable(parsed.left, name);
    if (v == nullptr) v = FindVariable(parsed.right, name);
    auto it = positions.find(v);
    return it != positions.end() ? it->second : 0;
  };

  VRN_intArray descendants;
  (void)network->GetDescendants(GetHandle(), descendants);
  std::vector<std::string> names;
  GetVariables(parsed.left, names);
  std::vector<std::string> right_names;
  GetVariables(parsed.right, right_names);
  for (const std::string& name : right_names) {
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(name);
    }
  }
  const std::string own = OwnId();
  std::vector<int> handles;
  for (const std::string& name : names) {
    const int h = network->FindNode(name.c_str());
    if (h < 0) return fail(position_of(name), "Unknown node identifier: " + name);
    if (descendants.Contains(h)) {
      return fail(position_of(name),
                  "Node " + name +
                      " can't be used in equation for current node, because "
                      "it would result in a cycle.");
    }
    // Every new arc is checked before any arc changes, so a refusal leaves
    // the parents as they were.
    if (h != GetHandle() && GetParentIndex(h) < 0 &&
        (!IsArcAllowed(network->GetNode(h)->Definition()->GetType(),
                       qelta::kDefEquation) ||
         !network->TemporalTypesAllowArc(h, GetHandle()))) {
      return fail(position_of(name),
                  "Node " + name + " can't be a parent of an equation node.");
    }
    handles.push_back(h);
  }
  {
    VRN_evalContext context;
    auto* binder = new VRN_networkEquationBinder(network, true);
    context.SetBinder(binder);
    for (const std::string& name : names) (void)context.GetSlot(name);
    BindExpression(parsed.left, context);
    BindExpression(parsed.right, context);
    const VRN_textLiteral* unbound = binder->FirstUnboundLiteral();
    if (unbound != nullptr) {
      auto it = positions.find(unbound);
      return fail(it != positions.end() ? it->second : 0,
                  "Invalid text literal: \"" + unbound->GetText() + "\".");
    }
  }
  VRN_ClearContextIndices(parsed.left);
  VRN_ClearContextIndices(parsed.right);

  VRN_autoUpdateGuard guard(network);
  const VRN_intArray parents = GetParents();
  for (int i = parents.GetSize() - 1; i >= 0; --i) {
    if (std::find(handles.begin(), handles.end(), parents[i]) == handles.end()) {
      (void)network->RemoveArc(parents[i], GetHandle());
    }
  }
  {
    struct Replacing {
      explicit Replacing(bool& flag) : flag_(flag) { flag_ = true; }
      ~Replacing() { flag_ = false; }
      bool& flag_;
    } replacing(replacing_);
    for (int h : handles) {
      if (h != GetHandle() && GetParentIndex(h) < 0) {
        (void)network->AddArc(h, GetHandle());
      }
    }
  }
  equation_.Reset(parsed.left, parsed.right);
  parsed.left = parsed.right = nullptr;
  DropSolved();
  DropDiscretization();
  RefreshValue();
  NotifyRelevance(qelta::kChangeEquation);
  return qelta::kOk;
}

bool VRN_equation::FollowOutcomeIds(const std::string& parent_id,
                                    const std::vector<std::string>& old_ids,
                                    const std::vector<std::string>& next,
                                    const std::vector<int>* at, bool carry,
                                    std::string* orphan, bool* moved) {
  bool kept = true;
  bool renamed = false;
  const std::function<void(VRN_textLiteral*)> follow =
      [&](VRN_textLiteral* literal) {
        // The first outcome of that id is the one the binder takes.
        const std::string& text = literal->GetText();
        const auto found = std::find(old_ids.begin(), old_ids.end(), text);
        if (found == old_ids.end()) return;
        const std::size_t i = static_cast<std::size_t>(found - old_ids.begin());
        const bool stays = i < next.size() && (!next[i].empty() || text.empty());
        const int place = !stays ? -1
                          : at == nullptr ? static_cast<int>(i)
                          : i < at->size() ? (*at)[i]
                                           : -1;
        // The empty literal selects the first outcome without an id: one
        // that keeps no id holds it only in the first place.
        const bool away = place < 0 || (next[i].empty() && place != 0);
        if (away) {
          if (kept && orphan != nullptr) *orphan = text;
          if (kept && moved != nullptr) *moved = place >= 0;
          kept = false;
        } else if (carry && next[i] != text) {
          literal->SetText(next[i]);
          renamed = true;
        }
      };
  VRN_ForEachOutcomeLiteral(equation_.left, parent_id, follow);
  VRN_ForEachOutcomeLiteral(equation_.right, parent_id, follow);
  // The solved copy still names the old ids; what the literals select is
  // unchanged, so the table and the values stay.
  if (renamed) DropSolved();
  return kept;
}

void VRN_equation::GetEquationText(std::string* out) const {
  *out = equation_.GetText();
}

int VRN_equation::EvaluateConstant(double* out) {
  if (!IsConstant()) return qelta::kErrWrongNodeType;
  const VRN_expression* solved = GetSolvedExpression();
  if (solved == nullptr) return qelta::kErrUnsolvable;
  *out = solved->Evaluate(nullptr);
  return qelta::kOk;
}

namespace {

// Turns every variable named by a replaced parent into its constant.
class ConstantInliner : public VRN_mutatingExpressionVisitor {
 public:
  explicit ConstantInliner(const std::vector<std::pair<std::string, double>>& v)
      : values_(v) {}
  void VisitVariable(VRN_variable* node, VRN_expression*& owner) override {
    for (const auto& entry : values_) {
      if (entry.first != node->GetName()) continue;
      auto* constant = new VRN_constant(entry.second);
      constant->SetSign(node->GetSign());
      owner = constant;
      delete node;
      return;
    }
  }

 private:
  const std::vector<std::pair<std::string, double>>& values_;
};

}  // namespace

int VRN_equation::InlineConstantParents(bool use_evidence) {
  std::vector<std::pair<std::string, double>> values;
  for (int p : GetParents()) {
    VRN_equation* parent = VRN_GetEquation(GetNetwork(), p);
    if (parent == nullptr || !parent->IsConstant()) continue;
    double value = 0.0;
    VRN_nodeVal* parent_value = GetNetwork()->GetNode(p)->Value();
    if (!(use_evidence && parent_value->HasEvidence() &&
          parent_value->GetContEvidence(&value) == qelta::kOk)) {
      const int rc = parent->EvaluateConstant(&value);
      if (rc != qelta::kOk) return rc;
    }
    values.emplace_back(GetNodeId(p), value);
  }
  if (values.empty()) return qelta::kErrNoItem;
  VRN_expression* tree = new VRN_operatorEQ(equation_.left->Clone(),
                                            equation_.right->Clone());
  ConstantInliner inliner(values);
  tree->TraverseMutating(inliner, tree);
  std::string text;
  tree->Write(text);
  delete tree;
  return SetEquation(text.c_str(), nullptr, nullptr);
}

// ------------------------------------------------------ range and default

int VRN_equation::SetBounds(double lower, double upper) {
  if (lower == lower_ && upper == upper_) return qelta::kOk;
  if (!(lower <= upper)) {
    return LogRefusal(qelta::kErrOutOfRange,
                      "The bounds of node [%s] must be numbers with the lower one (%g) not "
                      "above the upper one (%g)",
                      OwnNodeId(), lower, upper);
  }
  // Only the last boundary moves: the intervals must stay as
  // SetDiscIntervals takes them (the lower bound below the first boundary,
  // the second-to-last below the upper bound), or no file could hold them.
  const std::size_t n = intervals_.size();
  if (n >= 2 && (!(lower < intervals_.front().boundary) ||
                 !(intervals_[n - 2].boundary < upper))) {
    return qelta::kErrInvalidValue;
  }
  lower_ = lower;
  upper_ = upper;
  if (!intervals_.empty()) intervals_.back().boundary = upper;
  DropDiscretization();
  DropChildDiscretizations();
  // The range bounds the samples and the discretization: what was computed
  // within the old one is out of date.
  RefreshValue();
  NotifyRelevance(qelta::kChangeEquation);
  return qelta::kOk;
}

int VRN_equation::SetDefaultValue(double value) {
  default_value_ = value;
  return qelta::kOk;
}

int VRN_equation::GetDefaultValue(double* out) const {
  if (std::isnan(default_value_)) return qelta::kErrInvalidValue;
  *out = default_value_;
  return qelta::kOk;
}

bool VRN_equation::HasDefaultValue() const { return !std::isnan(default_value_); }

int VRN_equation::SetNominalBounds(double lower, double upper) {
  if (!(lower <= upper)) return qelta::kErrOutOfRange;
  nominal_lower_ = lower;
  nominal_upper_ = upper;
  return qelta::kOk;
}

// --------------------------------------------------------------- intervals

void VRN_equation::GetIntervalEdges(std::vector<double>* out) const {
  out->clear();
  out->push_back(lower_);
  for (const VRN_discInterval& interval : intervals_) {
    out->push_back(interval.boundary);
  }
}

int VRN_equation::FindInterval(double value) const {
  const int n = static_cast<int>(intervals_.size());
  if (n < 2) return 0;
  for (int i = 0; i < n - 1; ++i) {
    if (intervals_[i].boundary > value) return i;
  }
  return n - 1;
}

int VRN_equation::SetDiscIntervals(
    double lower, double upper,
    const std::vector<VRN_discInterval>& intervals) {
  VRN_network* network = GetNetwork();
  const int n = static_cast<int>(intervals.size());
  if (n == 0) {
    if (intervals_.empty()) return qelta::kErrOutOfRange;
    for (int c : GetChildren()) {
      if (GetNodeDefinition(c)->GetNumberOfOutcomes() >= 2) {
        return qelta::kErrWrongNodeType;
      }
    }
    intervals_.clear();
    DropDiscretization();
    DropChildDiscretizations();
    lower_ = lower;
    upper_ = upper;
    RefreshValue();
    NotifyRelevance(qelta::kChangeEquation);
    return qelta::kOk;
  }
  if (n == 1) return qelta::kErrOutOfRange;
  std::set<std::string> seen;
  for (int i = 0; i < n; ++i) {
    std::string id = intervals[i].id;
    VRN_MakeValidOutcomeId(id, i);
    if (!seen.insert(id).second) return qelta::kErrDuplicatedIdentifier;
  }
  for (int i = 1; i < n - 1; ++i) {
    if (!(intervals[i - 1].boundary < intervals[i].boundary)) {
      return qelta::kErrInvalidValue;
    }
  }
  if (!(lower < intervals[0].boundary) || !(intervals[n - 2].boundary < upper)) {
    return qelta::kErrInvalidValue;
  }
  std::vector<VRN_discInterval> old;
  old.swap(intervals_);
  lower_ = lower;
  upper_ = upper;
  intervals_ = intervals;
  intervals_.back().boundary = upper;
  DropDiscretization();
  DropChildDiscretizations();
  RefreshValue();
  if (network != nullptr) (void)network->OnDiscIntervalsChanged(GetHandle());

  const int d = n - static_cast<int>(old.size());
  // Intervals that replace others discretize the node anew for the
  // discrete algorithms (the first ones are made during an update).
  if (old.empty() || d == 0 || network == nullptr) {
    if (!old.empty()) NotifyRelevance(qelta::kChangeEquation);
    return qelta::kOk;
  }
  // Which positions were added (or removed): walk both boundary lists.
  const std::vector<VRN_discInterval>& s = d > 0 ? old : intervals_;
  const std::vector<VRN_discInterval>& l = d > 0 ? intervals_ : old;
  const int want = d > 0 ? d : -d;
  std::vector<int> indices;
  size_t si = 0, li = 0;
  int i = 0, a = 0;
  while (si < s.size() && li < l.size() && a < want) {
    if (s[si].boundary > l[li].boundary) {
      indices.push_back(i + a);
      ++a;
      ++li;
    } else if (s[si].boundary == l[li].boundary) {
      ++si;
      ++li;
      ++i;
    } else {
      ++si;
      ++i;
    }
  }
  while (a < want) {
    indices.push_back(i + a);
    ++a;
  }
  const VRN_intArray children = GetChildren();
  for (int c : children) {
    VRN_nodeDef* child = GetNodeDefinition(c);
    if (child->GetType() == qelta::kDefEquation) continue;
    if (d > 0) {
      for (int index : indices) (void)child->OnParentOutcomeInserted(GetHandle(), index);
    } else {
      for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        (void)child->OnParentOutcomeRemoved(GetHandle(), *it);
      }
    }
  }
  NotifyRelevance(qelta::kChangeEquation);
  return qelta::kOk;
}

bool VRN_equation::HasSettableIntervals() const {
  const std::size_t n = intervals_.size();
  if (n < 2 || !(lower_ < intervals_.front().boundary)) return false;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (!(intervals_[i - 1].boundary < intervals_[i].boundary)) return false;
  }
  return intervals_[n - 2].boundary < upper_;
}

std::vector<VRN_discInterval> VRN_equation::DefaultIntervals() const {
  return {{"State0", DefaultBoundary(lower_, upper_, true)}, {"State1", upper_}};
}

void VRN_equation::CreateDefaultIntervals() {
  if (!intervals_.empty()) return;
  VRN_network* network = GetNetwork();
  if (network != nullptr) {
    network->ErrorLog()->Logf(qelta::kErrWrongNumStates,
                              "Equation node %s was discretized.", OwnId());
  }
  if (IsConstant()) {
    lower_ = -kInf;
    upper_ = kInf;
  }
  std::vector<VRN_discInterval> list = DefaultIntervals();
  if (SetDiscIntervals(lower_, upper_, list) == qelta::kOk) return;
  // A range of one point leaves no room for a boundary inside it; children
  // still need two intervals, the first of them empty.
  intervals_ = list;
  DropDiscretization();
  DropChildDiscretizations();
}

int VRN_equation::SetDefaultIntervalsOverBounds(
    const std::vector<VRN_discInterval>& intervals) {
  if (!intervals_.empty()) return qelta::kErrInvalidValue;
  std::vector<VRN_discInterval> list = DefaultIntervals();
  if (intervals.size() != list.size()) return qelta::kErrInvalidValue;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < list.size(); ++i) {
    // Exactly, so that only what CreateDefaultIntervals makes is taken;
    // the unmended boundary of older files reads as the mended one.
    if (!(intervals[i].boundary == list[i].boundary) &&
        !(i == 0 && intervals[i].boundary ==
                        DefaultBoundary(lower_, upper_, false))) {
      return qelta::kErrInvalidValue;
    }
    list[i].id = intervals[i].id;
    std::string id = list[i].id;
    VRN_MakeValidOutcomeId(id, static_cast<int>(i));
    if (!seen.insert(id).second) return qelta::kErrDuplicatedIdentifier;
  }
  // Intervals SetDiscIntervals takes go through it.
  if (SetDiscIntervals(lower_, upper_, list) == qelta::kOk) return qelta::kOk;
  intervals_ = list;
  DropDiscretization();
  DropChildDiscretizations();
  RefreshValue();
  return qelta::kOk;
}

// ------------------------------------------------------------------ caches

void VRN_equation::DropDiscretization() {
  table_.reset();
  signature_.reset();
}

void VRN_equation::DropChildDiscretizations() {
  VRN_DropEquationChildTables(GetNetwork(), GetHandle());
}

namespace {

void InvalidateEquationValue(VRN_nodeVal* value) {
  auto* evaluation = dynamic_cast<VRN_equationEvaluation*>(value);
  if (evaluation != nullptr) {
    evaluation->ResetSamples(0);
  } else {
    value->ClearFlags(qelta::kValFlagValid);
  }
}

}  // namespace

void VRN_equation::RefreshValue() {
  VRN_equationEvaluation* value = OwnValue();
  if (value == nullptr) return;
  if (!value->HasEvidence()) InvalidateEquationValue(value);
  VRN_network* network = GetNetwork();
  if ((network->GetFlags() & qelta::kNetRelevance) == 0) {
    network->NoteSkippedBookkeeping();
    return;
  }
  VRN_intArray descendants;
  (void)network->GetDescendants(GetHandle(), descendants);
  for (int h : descendants) {
    VRN_nodeVal* other = network->GetNode(h)->Value();
    if (!other->HasEvidence()) InvalidateEquationValue(other);
  }
}
