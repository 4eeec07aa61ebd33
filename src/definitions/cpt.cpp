#include "definitions/cpt.h"

#include "network/change_guards.h"
#include "network/network.h"
#include "base/random.h"
#include "base/status.h"

// ---------------------------------------------------------------- lifecycle

VRN_cpt::VRN_cpt(VRN_network* network, int handle)
    : VRN_discDef(network, handle, VRN_DefaultOutcomeIds()) {
  BuildUniformTable();
}

VRN_cpt::VRN_cpt(const VRN_discreteInfo& info) : VRN_discDef(info) {
  // The record's table is taken only when it fits this node: one dimension
  // per parent of the outcome count that parent shows, then the own count.
  bool fits = info.table != nullptr;
  if (fits) {
    const VRN_intArray& parents = GetParents();
    const int dims = info.table->GetDimensionCount();
    fits = dims == parents.GetSize() + 1 &&
           info.table->GetSize(dims - 1) == GetNumberOfOutcomes();
    for (int i = 0; fits && i < parents.GetSize(); ++i) {
      fits = info.table->GetSize(i) ==
             GetNodeDefinition(parents[i])->GetDiscreteOutcomeCount();
    }
  }
  if (fits) {
    table_ = *info.table;
  } else {
    BuildUniformTable();
  }
}

VRN_cpt::VRN_cpt(const VRN_cpt& other, VRN_network* network)
    : VRN_discDef(other, network), table_(other.table_) {}

VRN_cpt::~VRN_cpt() = default;

void VRN_cpt::BuildUniformTable() {
  if (VRN_SetUniformTable(GetNetwork(), GetHandle(), GetNumberOfOutcomes(),
                          table_) != qelta::kOk) {
    // A parent without outcomes cannot index a table; the node then keeps
    // its own distribution alone until the parents are sorted out.
    (void)VRN_SetUniformTable(nullptr, -1, GetNumberOfOutcomes(), table_);
  }
}

VRN_nodeDef* VRN_cpt::Clone(VRN_network* target) const {
  return new VRN_cpt(*this, target);
}

int VRN_cpt::GetType() const { return qelta::kDefCpt; }

const char* VRN_cpt::GetTypeName() const { return "CPT"; }

// ------------------------------------------------------------------ parents

int VRN_cpt::AddParent(int parent) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  const int count = GetNodeDefinition(parent)->GetDiscreteOutcomeCount();
  if (count < 0) return count;
  if (count < 1) return qelta::kErrOutOfRange;
  const int status = table_.InsertDimension(index, count);
  if (status != qelta::kOk) return status;
  return table_.Normalize();
}

int VRN_cpt::RemoveParent(int parent) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  return table_.RemoveDimension(index);
}

int VRN_cpt::OnParentOutcomeInserted(int parent, int position) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  if (position < 0 || position > table_.GetSize(index)) {
    return qelta::kErrOutOfRange;
  }
  int status = table_.AddOutcome(index);
  if (status != qelta::kOk) return status;
  status = table_.ShiftOutcomesUpAndFill(index, position, 0.0);
  if (status != qelta::kOk) return status;
  // The new parent state's columns are all zero and become uniform.
  return table_.Normalize();
}

int VRN_cpt::OnParentOutcomeRemoved(int parent, int removed) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  if (removed < 0 || removed >= table_.GetSize(index) ||
      table_.GetSize(index) < 2) {
    return qelta::kErrOutOfRange;
  }
  const int status = table_.ShiftOutcomesDown(index, removed);
  if (status != qelta::kOk) return status;
  return table_.RemoveLastOutcome(index);
}

int VRN_cpt::OnParentOutcomesReordered(int parent, const VRN_intArray& order) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  return table_.ChangeOrderWithinDimension(index, order);
}

int VRN_cpt::ReorderParents(const VRN_intArray& order) {
  VRN_intArray dimensions(order);
  dimensions.Add(order.GetSize());  // the own dimension stays last
  return table_.ChangeOrderOfDimensions(dimensions);
}

// --------------------------------------------------------------- parameters

int VRN_cpt::MakeUniform() {
  VRN_autoUpdateGuard guard(GetNetwork());
  table_.FillWith(1.0 / GetNumberOfOutcomes());
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}

int VRN_cpt::MakeRandom(VRN_randomGenerator& generator) {
  VRN_autoUpdateGuard guard(GetNetwork());
  const int own = GetNumberOfOutcomes();
  const int items = table_.GetItemCount();
  double* column = table_.GetItems().Items();
  for (int start = 0; start < items; start += own) {
    generator.RandomDistribution(own, column + start);
  }
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}

int VRN_cpt::GetDiscreteInfo(VRN_discreteInfo* info) {
  const int status = VRN_discDef::GetDiscreteInfo(info);
  info->table = &table_;
  info->table_owned = false;
  return status;
}

VRN_matrix* VRN_cpt::GetMatrix() { return &table_; }

const VRN_matrix* VRN_cpt::GetMatrixConst() const { return &table_; }

// ------------------------------------------------------------- own outcomes

int VRN_cpt::OnOutcomeInserted(int position) {
  const int last = table_.GetDimensionCount() - 1;
  int status = table_.AddOutcome(last);
  if (status != qelta::kOk) return status;
  if (position != table_.GetSize(last) - 1) {
    status = table_.ShiftOutcomesUpAndFill(last, position, 0.0);
  }
  return status;
}

int VRN_cpt::OnOutcomeRemoved(int index) {
  const int last = table_.GetDimensionCount() - 1;
  int status = table_.ShiftOutcomesDown(last, index);
  if (status != qelta::kOk) return status;
  status = table_.RemoveLastOutcome(last);
  if (status != qelta::kOk) return status;
  // The removed outcome's probability is spread over the others in
  // proportion, so every column stays a distribution.
  return table_.Normalize();
}

int VRN_cpt::OnOutcomesReordered(const VRN_intArray& order) {
  return table_.ChangeOrderWithinDimension(table_.GetDimensionCount() - 1,
                                           order);
}

int VRN_cpt::RebuildTable() {
  BuildUniformTable();
  return qelta::kOk;
}
