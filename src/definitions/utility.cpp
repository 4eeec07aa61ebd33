#include "definitions/utility.h"

#include <algorithm>
#include <cmath>

#include "base/random.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/id_values.h"
#include "network/change_guards.h"
#include "network/network.h"

// ---------------------------------------------------------------- lifecycle

VRN_utility::VRN_utility(VRN_network* network, int handle)
    : VRN_nodeDef(network, handle) {
  BuildUniformTable();
}

VRN_utility::VRN_utility(const VRN_discreteInfo& info)
    : VRN_nodeDef(info.network, info.handle) {
  BuildUniformTable();
  // The record's table is used only when its parent dimensions are this
  // node's: then each configuration's utility is the probability of the
  // first outcome, so a utility turned into a CPT and back keeps its
  // utilities, rescaled to 0..1.
  const VRN_matrix* from = info.table;
  if (from == nullptr) return;
  const int dims = table_.GetDimensionCount();
  if (from->GetDimensionCount() != dims) return;
  for (int i = 0; i + 1 < dims; ++i) {
    if (from->GetSize(i) != table_.GetSize(i)) return;
  }
  const int own = from->GetSize(dims - 1);
  if (own < 1) return;
  const int configurations = table_.GetItemCount();
  const double* source = from->GetItems().Items();
  double* target = table_.GetItems().Items();
  for (int c = 0; c < configurations; ++c) target[c] = source[c * own];
}

VRN_utility::VRN_utility(const VRN_utility& other, VRN_network* network)
    : VRN_nodeDef(other, network), table_(other.table_) {}

VRN_utility::~VRN_utility() = default;

void VRN_utility::BuildUniformTable() {
  if (VRN_SetUniformTable(GetNetwork(), GetHandle(), 1, table_) != qelta::kOk) {
    (void)VRN_SetUniformTable(nullptr, -1, 1, table_);
  }
}

VRN_nodeDef* VRN_utility::Clone(VRN_network* target) const {
  return new VRN_utility(*this, target);
}

VRN_nodeVal* VRN_utility::CreateValueFromRecord(
    const VRN_evidenceRecord&) const {
  return CreateValue();
}

VRN_nodeVal* VRN_utility::CreateValue() const {
  return new VRN_expectedUtility(GetNetwork(), GetHandle());
}

int VRN_utility::GetType() const { return qelta::kDefUtility; }

const char* VRN_utility::GetTypeName() const { return "TABLE"; }

// ------------------------------------------------------------------ parents

int VRN_utility::AddParent(int parent) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  const int count = GetNodeDefinition(parent)->GetDiscreteOutcomeCount();
  if (count < 0) return count;
  if (count < 1) return qelta::kErrOutOfRange;
  return table_.InsertDimension(index, count);
}

int VRN_utility::RemoveParent(int parent) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  return table_.RemoveDimension(index);
}

int VRN_utility::OnParentOutcomeInserted(int parent, int position) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  if (position < 0 || position > table_.GetSize(index)) {
    return qelta::kErrOutOfRange;
  }
  const int status = table_.AddOutcome(index);
  if (status != qelta::kOk) return status;
  return table_.ShiftOutcomesUpAndFill(index, position, 0.0);
}

int VRN_utility::OnParentOutcomeRemoved(int parent, int removed) {
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

int VRN_utility::OnParentOutcomesReordered(int parent,
                                           const VRN_intArray& order) {
  const int index = GetParentIndex(parent);
  if (index < 0) return index;
  return table_.ChangeOrderWithinDimension(index, order);
}

int VRN_utility::ReorderParents(const VRN_intArray& order) {
  VRN_intArray dimensions(order);
  dimensions.Add(order.GetSize());  // the size-1 dimension stays last
  return table_.ChangeOrderOfDimensions(dimensions);
}

int VRN_utility::CheckParentInfluence(int parent_index, double tolerance,
                                      bool* influential) {
  const int dims = table_.GetDimensionCount();
  if (parent_index < 0 || parent_index >= dims - 1) {
    return qelta::kErrOutOfRange;
  }
  *influential = false;
  const double range = GetMaximum() - GetMinimum();
  // A constant table depends on no parent (and the range divides below).
  if (!(range > 0.0)) return qelta::kOk;
  const int states = table_.GetSize(parent_index);
  const int stride = table_.GetStrides()[parent_index];
  const double* items = table_.GetItems().Items();
  VRN_coordinates coords(table_);
  coords.Lock(parent_index);
  coords.Lock(dims - 1);
  coords.GoFirst();
  coords.UpdateIndex(table_);
  do {
    const double u0 = items[coords.GetIndex()];
    for (int j = 1; j < states; ++j) {
      const double uj = items[coords.GetIndex() + j * stride];
      if (std::fabs(uj - u0) / range > tolerance) {
        *influential = true;
        return qelta::kOk;
      }
    }
  } while (coords.Next(table_) == qelta::kOk);
  return qelta::kOk;
}

// --------------------------------------------------------------- parameters

int VRN_utility::MakeUniform() {
  VRN_autoUpdateGuard guard(GetNetwork());
  table_.FillWith(1.0);
  // Like every table change: values computed from the old utilities are
  // stale now.
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}

int VRN_utility::MakeRandom(VRN_randomGenerator& generator) {
  VRN_autoUpdateGuard guard(GetNetwork());
  const int n = table_.GetItemCount();
  double* items = table_.GetItems().Items();
  for (int i = 0; i < n; ++i) items[i] = generator.NextDouble();
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}

int VRN_utility::GetDiscreteInfo(VRN_discreteInfo* info) {
  auto* table = new VRN_matrix(table_);
  const int last = table->GetDimensionCount() - 1;
  const int status = table->ChangeDimensionSize(last, 2);
  if (status != qelta::kOk) {
    delete table;
    return status;
  }
  const double lo = GetMinimum();
  const double range = GetMaximum() - lo;
  const int configurations = table_.GetItemCount();
  const double* from = table_.GetItems().Items();
  double* to = table->GetItems().Items();
  for (int c = 0; c < configurations; ++c) {
    const double p = range > 0.0 ? (from[c] - lo) / range : 0.5;
    to[2 * c] = p;
    to[2 * c + 1] = 1.0 - p;
  }
  info->table = table;
  info->table_owned = true;
  return qelta::kOk;
}

VRN_matrix* VRN_utility::GetMatrix() { return &table_; }

const VRN_matrix* VRN_utility::GetMatrixConst() const { return &table_; }

bool VRN_utility::AcceptsItems(const double* items, int count) const {
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(items[i])) return false;
  }
  return true;
}

// ------------------------------------------------------------ utility range

double VRN_utility::GetMaximum() const {
  const int n = table_.GetItemCount();
  if (n == 0) return 0.0;
  const double* items = table_.GetItems().Items();
  return *std::max_element(items, items + n);
}

double VRN_utility::GetMinimum() const {
  const int n = table_.GetItemCount();
  if (n == 0) return 0.0;
  const double* items = table_.GetItems().Items();
  return *std::min_element(items, items + n);
}

int VRN_utility::Rescale(bool reversed) {
  const double lo = GetMinimum();
  const double hi = GetMaximum();
  if (lo == 0.0 && hi == 1.0 && !reversed) return qelta::kOk;
  VRN_autoUpdateGuard guard(GetNetwork());
  const int n = table_.GetItemCount();
  double* items = table_.GetItems().Items();
  if (lo == hi) {
    std::fill(items, items + n, 1.0);
  } else {
    for (int i = 0; i < n; ++i) {
      if (items[i] == qelta::kUndefinedValue) continue;
      items[i] = reversed ? (hi - items[i]) / (hi - lo)
                          : (items[i] - lo) / (hi - lo);
    }
  }
  NotifyRelevance(qelta::kChangeTable);
  return qelta::kOk;
}
