#include "network/node.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "network/change_guards.h"
#include "network/dbn.h"
#include "base/error_log.h"
#include "network/network.h"
#include "base/status.h"
#include "network/submodel.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"

// ------------------------------------------------------------ node header

VRN_nodeHeader::VRN_nodeHeader(VRN_node* node, const char* id)
    : VRN_header(id), node_(node) {}

VRN_nodeHeader::VRN_nodeHeader(const VRN_nodeHeader& other, VRN_node* node)
    : VRN_header(other), node_(node) {}

VRN_nodeHeader::~VRN_nodeHeader() = default;

int VRN_nodeHeader::SetId(const char* id) {
  int status =
      node_->Network()->AcceptNodeId(node_->Handle(), GetId(), id);
  if (status != qelta::kOk) return status;
  StoreId(id);
  return qelta::kOk;
}

// ------------------------------------------------------------- node record

void VRN_node::FreeString::operator()(char* p) const { delete[] p; }

VRN_node::DiagExtras::DiagExtras() {
  // One cost per combination of cost-parent outcomes; none yet.
  (void)cost.SetSingleDimension(1);
  cost.FillWith(0.0);
}

VRN_node::VRN_node(VRN_network* network, int type, int handle, const char* id)
    : network_(network), handle_(handle), header_(this, id) {
  std::unique_ptr<VRN_nodeDef> definition(
      VRN_nodeDef::Create(type, network, handle, id));
  // The network refuses unknown codes before it builds a node, so a null
  // definition here means the allocation failed.
  if (definition == nullptr) throw std::bad_alloc();
  std::unique_ptr<VRN_nodeVal> value(definition->CreateValue());
  if (value == nullptr) throw std::bad_alloc();
  definition_ = definition.release();
  value_ = value.release();
  screenInfo_.MergeDefaults(network->Submodels()->DefaultNodeScreenInfo());
}

VRN_node::VRN_node(const VRN_node& source, VRN_network* network, int flags)
    : network_(network),
      handle_(source.handle_),
      isTarget_(source.isTarget_),
      temporalType_((flags & qelta::kCopyNoTemporal) != 0
                        ? 0
                        : source.temporalType_),
      submodel_(source.submodel_),
      diagFlags_(source.diagFlags_),
      marks_(source.marks_),
      parents_(source.parents_),
      children_(source.children_),
      header_(source.header_, this),
      screenInfo_(source.screenInfo_),
      userProperties_(source.userProperties_) {
  if ((flags & qelta::kCopyNoDocumentation) == 0) {
    question_.reset(VRN_strdup(source.question_.get()));
    documentation_ = source.documentation_;
  }
  if (source.extras_ != nullptr) {
    extras_ = std::make_unique<DiagExtras>(*source.extras_);
  }
  std::unique_ptr<VRN_nodeDef> definition(source.definition_->Clone(network));
  std::unique_ptr<VRN_nodeVal> value(source.value_->Clone(network));
  if (definition == nullptr || value == nullptr) throw std::bad_alloc();
  definition_ = definition.release();
  value_ = value.release();
}

VRN_node::~VRN_node() {
  delete definition_;
  delete value_;
}

const char* VRN_node::GetId() const { return header_.GetId(); }

// ---------------------------------------------------------- definition type

int VRN_node::TypeCodeFromName(const char* name) {
  static const struct {
    const char* name;
    int code;
  } kNames[] = {{"CPT", 18},       {"TRUTHTABLE", 20}, {"LIST", 17},
                {"TABLE", 8},      {"NOISY_MAX", 146}, {"NOISY_ADDER", 274},
                {"MAU", 520},      {"CAST", 50},       {"DEMORGAN", 82}};
  if (name == nullptr) return qelta::kErrOutOfRange;
  for (const auto& entry : kNames) {
    if (std::strcmp(entry.name, name) == 0) return entry.code;
  }
  return qelta::kErrOutOfRange;
}

int VRN_node::SetTypeByName(const char* name) {
  return setNodeType(TypeCodeFromName(name));
}

int VRN_node::setNodeType(int code, bool keepArcs) {
  if (!VRN_nodeDef::IsValidType(code)) return qelta::kErrWrongNodeType;
  if (definition_->GetType() == code) return qelta::kOk;
  if (temporalType_ == qelta::kTemporalPlate) {
    const int status = VRN_dbn::CheckPlateKind(*network_, handle_, code);
    if (status != qelta::kOk) return status;
  }
  // An equation takes interval bounds as its discretization, which must
  // rise strictly: bounds it would refuse (an empty interval) are refused
  // here, before anything changes, or the node could not be read back.
  if (code == qelta::kDefEquation) {
    const auto* discrete = dynamic_cast<const VRN_discDef*>(definition_);
    std::vector<double> bounds;
    if (discrete != nullptr && discrete->GetIntervals(&bounds) == qelta::kOk) {
      for (std::size_t i = 1; i < bounds.size(); ++i) {
        if (!(bounds[i - 1] < bounds[i])) return qelta::kErrInvalidValue;
      }
    }
  }
  VRN_autoUpdateGuard guard(network_, true);
  // A decision's parents are informational: another kind would read them
  // as conditioning parents, so they go once the new definition exists.
  const bool was_decision = definition_->GetType() == qelta::kDefDecision;
  const int old_count = definition_->GetNumberOfOutcomes();
  // A parent without outcomes (a utility) cannot index the new table, which
  // then holds the node's own distribution alone.
  bool unindexed = false;
  for (int parent : parents_) {
    VRN_nodeDef* parent_definition = network_->GetNode(parent)->Definition();
    if (parent_definition->GetDiscreteOutcomeCount() < 1) unindexed = true;
  }

  // The new definition is built first, from the old one with all its arcs,
  // so a type that cannot be built leaves the node as it was.
  std::unique_ptr<VRN_nodeDef> converted(
      VRN_nodeDef::CreateConverted(definition_, code));
  if (converted == nullptr) return qelta::kErrOutOfRange;
  // An equation child keeps its arc, and its literals must still name
  // outcomes of the new kind (by id), or the network's save would not read
  // back: refused before anything changes.
  const VRN_idArray* old_ids = definition_->GetOutcomesNames();
  if (old_ids != nullptr &&
      (keepArcs || VRN_nodeDef::IsArcAllowed(code, qelta::kDefEquation))) {
    const VRN_idArray* new_ids =
        dynamic_cast<VRN_discDef*>(converted.get()) != nullptr
            ? converted->GetOutcomesNames()
            : nullptr;
    std::vector<std::string> before;
    std::vector<std::string> next;
    std::vector<int> at;
    for (int i = 0; i < old_ids->GetSize(); ++i) {
      const char* id = old_ids->Get(i) != nullptr ? old_ids->Get(i) : "";
      before.emplace_back(id);
      at.push_back(new_ids != nullptr ? new_ids->FindString(id) : -1);
      next.emplace_back(at.back() >= 0 ? id : "");
    }
    const int refused =
        VRN_FollowOutcomeIds(network_, handle_, before, next, false, &at);
    if (refused != qelta::kOk) return refused;
  }
  // The arcs and evidence the change takes away are gone before the new
  // kind reports: what the old kind reached is judged now.
  (void)network_->OnDefinitionReplacing(handle_);
  // Arcs to children the new type may not feed go while the children still
  // see the node as they knew it (a multi-attribute utility keeps a weight
  // dimension per decision parent). Each list from its end, so removals do
  // not shift what is still to visit. A multi-attribute utility lays out a
  // decision parent as a dimension and a utility parent as a weight: when
  // this node passes from one role to the other, its arc goes now and comes
  // back once the node has its new kind, so the weights follow it.
  const bool role_changes = was_decision != (code == qelta::kDefDecision);
  std::vector<std::pair<int, int>> relink;  // child, position among parents
  for (int i = keepArcs ? -1 : children_.GetSize() - 1; i >= 0; --i) {
    int child = children_[i];
    int child_type = network_->GetNode(child)->Definition()->GetType();
    if (!VRN_nodeDef::IsArcAllowed(code, child_type)) {
      (void)network_->RemoveArc(handle_, child);
    } else if (role_changes && child_type == qelta::kDefMau) {
      relink.emplace_back(child,
                          network_->GetNode(child)->Parents().FindPosition(handle_));
      (void)network_->RemoveArc(handle_, child);
    }
  }
  // A DeMorgan or CAST node drops the parents the new kind cannot keep as
  // its own model says (its prior stays), where the new table would keep
  // each parent's first outcome: the arcs go, and the table is built again,
  // before the new kind is installed. The build above, with every arc, has
  // shown that the kind can be built.
  // Removes the arcs from the parents the new type may not keep (from every
  // parent when all), from the end of the list; whether any went.
  auto drop_parents = [&](bool all) {
    bool dropped = false;
    for (int i = parents_.GetSize() - 1; i >= 0; --i) {
      const int parent = parents_[i];
      const int parent_type = network_->GetNode(parent)->Definition()->GetType();
      if (all || !VRN_nodeDef::IsArcAllowed(parent_type, code)) {
        (void)network_->RemoveArc(parent, handle_);
        dropped = true;
      }
    }
    return dropped;
  };
  const int old_type = definition_->GetType();
  if (!keepArcs && (old_type == qelta::kDefDemorgan || old_type == qelta::kDefCast) &&
      drop_parents(false)) {
    converted.reset(VRN_nodeDef::CreateConverted(definition_, code));
    if (converted == nullptr) throw std::bad_alloc();  // built once already
  }
  VRN_evidenceRecord record(network_, handle_);
  value_->StoreEvidence(record);
  std::unique_ptr<VRN_nodeVal> value(converted->CreateValueFromRecord(record));
  if (value == nullptr) throw std::bad_alloc();
  delete definition_;
  definition_ = converted.release();
  delete value_;
  value_ = value.release();
  // An equation child's table over this node was drawn from the old kind.
  VRN_DropEquationChildTables(network_, handle_);

  // Arcs from parents the new type may not keep go through the new
  // definition.
  if (!keepArcs) (void)drop_parents(was_decision);
  // Back in their former order and at the former place among the child's
  // parents; a child that cannot take the node in its new role (an
  // expression nested too deeply) stays without it.
  for (auto it = relink.rbegin(); it != relink.rend(); ++it) {
    const int child = it->first;
    if (network_->AddArc(handle_, child) != qelta::kOk) continue;
    const int last = network_->GetNode(child)->Parents().GetSize() - 1;
    if (it->second < 0 || it->second >= last) continue;
    VRN_intArray order;
    for (int i = 0; i < last; ++i) {
      if (i == it->second) order.Add(last);
      order.Add(i);
    }
    (void)network_->ReorderParents(child, order);
  }
  UpdateCostArcs(old_count);
  if (unindexed) {
    // With the arcs the new type may not keep gone, the table is built
    // again for the parents that stay.
    std::unique_ptr<VRN_nodeDef> refit(
        VRN_nodeDef::CreateConverted(definition_, code));
    if (refit != nullptr) {
      delete definition_;
      definition_ = refit.release();
    }
  }

  if (definition_->GetNumberOfOutcomes() < 1) {
    diagFlags_ = 2;
    question_.reset();
  }
  (void)network_->OnNodeTypeChanged(handle_, code);
  // The new table changes what depends on the node, and evidence the new
  // type could not take is gone as if cleared.
  (void)network_->OnEvidenceChange(handle_, qelta::kChangeTable);
  if (record.kind != qelta::kEvidenceNone && !value_->HasEvidence() &&
      !value_->HasVirtualEvidence()) {
    (void)network_->OnNodeValueChange(handle_);
  }
  return qelta::kOk;
}

void VRN_node::UpdateCostArcs(int old_count) {
  if (extras_ == nullptr) return;
  const int count = definition_->GetNumberOfOutcomes();
  if (count < 2) {
    // Copies: each removal edits the lists.
    const VRN_intArray parents = extras_->costParents;
    const VRN_intArray children = extras_->costChildren;
    // A cost arc needs two outcomes at both ends, as AddArc demands.
    for (int i = parents.GetSize() - 1; i >= 0; --i) {
      (void)network_->RemoveArc(parents[i], handle_, qelta::kArcLayerCost);
    }
    for (int i = children.GetSize() - 1; i >= 0; --i) {
      (void)network_->RemoveArc(handle_, children[i], qelta::kArcLayerCost);
    }
    return;
  }
  // The children's tables follow the new count along this node's
  // dimension, as if outcomes were added or deleted at the end.
  for (int k = old_count; k < count; ++k) {
    if (OnOutcomeInserted(k) != qelta::kOk) return;
  }
  for (int k = old_count; k > count; --k) {
    if (OnOutcomeDeleted(k - 1) != qelta::kOk) return;
  }
}

// --------------------------------------------------------------- diagnosis

int VRN_node::SetDiagType(int type) {
  diagFlags_ = (diagFlags_ & ~3) | (type & 3);
  return qelta::kOk;
}

void VRN_node::SetRanked(bool on) {
  diagFlags_ = on ? (diagFlags_ | 4) : (diagFlags_ & ~4);
}

void VRN_node::SetMandatory(bool on) {
  diagFlags_ = on ? (diagFlags_ | 8) : (diagFlags_ & ~8);
}

void VRN_node::SetQuestion(const char* text) {
  question_.reset(VRN_strdup(text));
}

namespace {

const VRN_intArray& EmptyIntArray() {
  static const VRN_intArray empty;
  return empty;
}

const VRN_matrix& ZeroCostTable() {
  static const VRN_matrix table = [] {
    VRN_matrix m;
    (void)m.SetSingleDimension(1);
    m.FillWith(0.0);
    return m;
  }();
  return table;
}

}  // namespace

const VRN_intArray& VRN_node::GetCostParents() const {
  return extras_ != nullptr ? extras_->costParents : EmptyIntArray();
}

const VRN_intArray& VRN_node::GetCostChildren() const {
  return extras_ != nullptr ? extras_->costChildren : EmptyIntArray();
}

const VRN_matrix& VRN_node::GetCost() const {
  return extras_ != nullptr ? extras_->cost : ZeroCostTable();
}

VRN_node::DiagExtras& VRN_node::EnsureExtras() {
  if (extras_ == nullptr) extras_ = std::make_unique<DiagExtras>();
  return *extras_;
}

VRN_node::DiagExtras* VRN_node::ExtrasOf(int handle) const {
  VRN_node* node = network_->GetNode(handle);
  return node != nullptr ? node->extras_.get() : nullptr;
}

int VRN_node::SetCost(const VRN_doubleArray& values) {
  if (extras_ == nullptr && values.GetSize() != 1) {
    return qelta::kErrOutOfRange;
  }
  // No file holds such a cost, and a score made from it ranks nothing.
  for (double value : values) {
    if (!std::isfinite(value)) return qelta::kErrInvalidValue;
  }
  if (extras_ != nullptr) return extras_->cost.SetItems(values);
  if (values[0] == 0.0) return qelta::kOk;  // the shared table says so
  return EnsureExtras().cost.SetItems(values);
}

int VRN_node::SetCostArray(const std::vector<double>& values) {
  VRN_doubleArray array;
  for (double v : values) array.Add(v);
  return SetCost(array);
}

int VRN_node::AddCostParent(int parent) {
  VRN_node* parent_node = network_->GetNode(parent);
  assert(parent_node != nullptr);
  int count = parent_node->Definition()->GetNumberOfOutcomes();
  if (count < 1) return qelta::kErrWrongNumStates;
  DiagExtras& own = EnsureExtras();
  DiagExtras& other = parent_node->EnsureExtras();
  int status =
      own.cost.InsertDimension(own.cost.GetDimensionCount() - 1, count);
  if (status != qelta::kOk) return status;  // lists untouched
  other.costChildren.Add(handle_);
  own.costParents.Add(parent);
  return qelta::kOk;
}

int VRN_node::RemoveCostParent(int parent) {
  if (extras_ == nullptr) return qelta::kErrOutOfRange;
  int d = extras_->costParents.FindPosition(parent);
  if (d < 0) return qelta::kErrOutOfRange;
  DiagExtras* other = ExtrasOf(parent);
  if (other != nullptr) (void)other->costChildren.DeleteByContent(handle_);
  (void)extras_->costParents.DeleteByContent(parent);
  return extras_->cost.RemoveDimension(d);
}

int VRN_node::OnOutcomeInserted(int position) {
  for (int child : GetCostChildren()) {
    DiagExtras* extras = ExtrasOf(child);
    if (extras == nullptr) continue;
    int d = extras->costParents.FindPosition(handle_);
    if (d < 0) continue;
    int status = extras->cost.AddOutcome(d);
    if (status == qelta::kOk) {
      status = extras->cost.ShiftOutcomesUpAndFill(d, position, 0.0);
    }
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

int VRN_node::OnOutcomeDeleted(int position) {
  for (int child : GetCostChildren()) {
    DiagExtras* extras = ExtrasOf(child);
    if (extras == nullptr) continue;
    int d = extras->costParents.FindPosition(handle_);
    if (d < 0) continue;
    int status = extras->cost.ShiftOutcomesDown(d, position);
    if (status == qelta::kOk) status = extras->cost.RemoveLastOutcome(d);
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

int VRN_node::OnOutcomesReordered(const VRN_intArray& order) {
  for (int child : GetCostChildren()) {
    DiagExtras* extras = ExtrasOf(child);
    if (extras == nullptr) continue;
    int d = extras->costParents.FindPosition(handle_);
    if (d < 0) continue;
    int status = extras->cost.ChangeOrderWithinDimension(d, order);
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

// ---------------------------------------------------------------- submodel

int VRN_node::SetSubmodel(int submodel) {
  if (!network_->Submodels()->IsValidHandle(submodel)) {
    return qelta::kErrOutOfRange;
  }
  // Kept as given (a bare slot index too), so callers read back what they
  // stored; whoever compares it with a submodel compares slots.
  submodel_ = submodel;
  return qelta::kOk;
}

int VRN_node::SetSubmodelById(const char* id) {
  if (id == nullptr) return qelta::kErrOutOfRange;
  int submodel = network_->Submodels()->FindSubmodel(id);
  if (submodel < 0) {
    return network_->ErrorLog()->LogError(qelta::kErrIllegalIdentifier,
                                          "Unknown submodel");
  }
  return SetSubmodel(submodel);
}
