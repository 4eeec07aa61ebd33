#include "definitions/noisy_adder.h"

#include <cmath>
#include <cstring>

#include "base/status.h"
#include "network/change_guards.h"
#include "network/network.h"

// ---------------------------------------------------------------- lifecycle

VRN_noisyAdder::VRN_noisyAdder(VRN_network* network, int handle)
    : VRN_ciDef(network, handle), distinguished_(GetNumberOfOutcomes() - 1) {
  weights_.Add(1.0);
}

VRN_noisyAdder::VRN_noisyAdder(const VRN_discreteInfo& info)
    : VRN_ciDef(info), distinguished_(GetNumberOfOutcomes() - 1) {
  for (int i = 0; i < widths_.GetSize(); ++i) {
    parent_states_.Add(widths_[i] - 1);
    weights_.Add(1.0);
  }
  weights_.Add(1.0);
}

VRN_noisyAdder::VRN_noisyAdder(const VRN_noisyAdder& other,
                               VRN_network* network)
    : VRN_ciDef(other, network),
      distinguished_(other.distinguished_),
      parent_states_(other.parent_states_),
      weights_(other.weights_),
      function_(other.function_) {}

VRN_noisyAdder::~VRN_noisyAdder() = default;

VRN_nodeDef* VRN_noisyAdder::Clone(VRN_network* target) const {
  return new VRN_noisyAdder(*this, target);
}

int VRN_noisyAdder::GetType() const { return qelta::kDefNoisyAdder; }

const char* VRN_noisyAdder::GetTypeName() const { return "NOISY_ADDER"; }

// ------------------------------------------------------------------ columns

void VRN_noisyAdder::GetFreeParameterColumns(std::vector<int>* out) const {
  out->clear();
  int offset = 0;
  for (int i = 0; i < widths_.GetSize(); ++i) {
    for (int k = 0; k < widths_[i]; ++k) {
      if (k != parent_states_[i]) out->push_back(offset + k);
    }
    offset += widths_[i];
  }
  out->push_back(offset);
}

void VRN_noisyAdder::SetConstrainedColumns() {
  for (int i = 0; i < widths_.GetSize(); ++i) {
    SetColumnPointMass(GetParentColumnOffset(i) + parent_states_[i],
                       distinguished_);
  }
}

// ------------------------------------------------------------------ parents

int VRN_noisyAdder::AddParent(int parent) {
  const int status = VRN_ciDef::AddParent(parent);
  if (status != qelta::kOk) return status;
  const int index = GetParentIndex(parent);
  (void)parent_states_.Insert(index, widths_[index] - 1);
  (void)weights_.Insert(index, 1.0);
  SetColumnPointMass(GetParentColumnOffset(index) + widths_[index] - 1,
                     distinguished_);
  return qelta::kOk;
}

int VRN_noisyAdder::RemoveParent(int parent) {
  const int index = GetParentIndex(parent);
  const int status = VRN_ciDef::RemoveParent(parent);
  if (status != qelta::kOk) return status;
  VRN_intArray states;
  VRN_doubleArray weights;
  for (int i = 0; i < parent_states_.GetSize(); ++i) {
    if (i == index) continue;
    states.Add(parent_states_[i]);
    weights.Add(weights_[i]);
  }
  weights.Add(weights_[weights_.GetSize() - 1]);
  parent_states_ = states;
  weights_ = weights;
  return qelta::kOk;
}

int VRN_noisyAdder::OnParentOutcomeInserted(int parent, int position) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  if (position < 0 || position > widths_[p]) return qelta::kErrOutOfRange;
  const int status = InsertParameterColumn(p, position, false);
  if (status != qelta::kOk) return status;
  SetColumnPointMass(GetParentColumnOffset(p) + position, distinguished_);
  if (position <= parent_states_[p]) ++parent_states_[p];
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyAdder::OnParentOutcomeRemoved(int parent, int index) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  if (index < 0 || index >= widths_[p] || widths_[p] < 2) {
    return qelta::kErrOutOfRange;
  }
  const int status = RemoveParameterColumn(p, index);
  if (status != qelta::kOk) return status;
  if (index == parent_states_[p]) {
    parent_states_[p] = 0;
    SetColumnPointMass(GetParentColumnOffset(p), distinguished_);
  } else if (index < parent_states_[p]) {
    --parent_states_[p];
  }
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyAdder::OnParentOutcomesReordered(int parent,
                                              const VRN_intArray& order) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  const int width = widths_[p];
  if (order.GetSize() != width || !order.IsPermutation()) {
    return qelta::kErrOutOfRange;
  }
  const int n = GetOwnCount();
  const int start = GetParentColumnOffset(p);
  double* items = parameters_.GetItems().Items() + start * n;
  std::vector<double> old(items, items + width * n);
  for (int k = 0; k < width; ++k) {
    std::memcpy(items + k * n, old.data() + order[k] * n, sizeof(double) * n);
  }
  parent_states_[p] = order.FindPosition(parent_states_[p]);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyAdder::ReorderParents(const VRN_intArray& order) {
  const int status = ReorderParameterColumns(order);
  if (status != qelta::kOk) return status;
  VRN_intArray states;
  VRN_doubleArray weights;
  for (int i = 0; i < order.GetSize(); ++i) {
    states.Add(parent_states_[order[i]]);
    weights.Add(weights_[order[i]]);
  }
  weights.Add(weights_[weights_.GetSize() - 1]);
  parent_states_ = states;
  weights_ = weights;
  ParametersChanged();
  return qelta::kOk;
}

void VRN_noisyAdder::CopyFieldsInto(VRN_ciDef* target) const {
  auto* to = static_cast<VRN_noisyAdder*>(target);
  to->function_ = function_;
  to->distinguished_ = distinguished_;
  to->weights_ = weights_;
  to->parent_states_ = parent_states_;
}

// ------------------------------------------------------------- own outcomes

int VRN_noisyAdder::OnOutcomeInserted(int position) {
  if (distinguished_ >= position) ++distinguished_;
  return VRN_ciDef::OnOutcomeInserted(position);
}

int VRN_noisyAdder::OnOutcomeRemoved(int index) {
  if (index < distinguished_) {
    --distinguished_;
  } else if (index == distinguished_) {
    distinguished_ = GetOwnCount() - 2;
  }
  return VRN_ciDef::OnOutcomeRemoved(index);
}

int VRN_noisyAdder::OnOutcomesReordered(const VRN_intArray& order) {
  const int moved = order.FindPosition(distinguished_);
  if (moved >= 0) distinguished_ = moved;
  return VRN_ciDef::OnOutcomesReordered(order);
}

int VRN_noisyAdder::RebuildTable() {
  distinguished_ = GetNumberOfOutcomes() - 1;
  return VRN_ciDef::RebuildTable();
}

// --------------------------------------------------------------- parameters

int VRN_noisyAdder::SetDistinguishedState(int outcome) {
  if (outcome == distinguished_) return qelta::kOk;
  if (outcome < 0 || outcome >= GetOwnCount()) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(GetNetwork());
  const int n = GetOwnCount();
  double* items = parameters_.GetItems().Items();
  for (int i = 0; i < widths_.GetSize(); ++i) {
    double* column = items + (GetParentColumnOffset(i) + parent_states_[i]) * n;
    column[distinguished_] = 0.0;
    column[outcome] = 1.0;
  }
  distinguished_ = outcome;
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyAdder::SetParentDistinguishedState(int i, int outcome) {
  if (i < 0 || i >= widths_.GetSize() || outcome < 0 ||
      outcome >= widths_[i]) {
    return qelta::kErrOutOfRange;
  }
  if (parent_states_[i] == outcome) return qelta::kOk;
  VRN_autoUpdateGuard guard(GetNetwork());
  SetColumnPointMass(GetParentColumnOffset(i) + outcome, distinguished_);
  parent_states_[i] = outcome;
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyAdder::SetParentWeight(int i, double weight) {
  if (i < 0 || i > widths_.GetSize() || !(weight > 0.0) ||
      !std::isfinite(weight)) {
    return qelta::kErrOutOfRange;
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  weights_[i] = weight;
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyAdder::SetFunction(int code) {
  if (code != kAverage && code != kSingleFault) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(GetNetwork());
  function_ = code;
  ParametersChanged();
  return qelta::kOk;
}

// ------------------------------------------------------------------ the CPT

int VRN_noisyAdder::CalculateCpt() {
  const int parents = widths_.GetSize();
  const int n = GetOwnCount();
  const int shaped = ShapeExpandedTable();
  if (shaped != qelta::kOk) return shaped;
  // Row r: the weighted sums over the first r parents (n numerators, then
  // the denominator); walk: positions, table offsets, strides, column
  // offsets, active counts and the last active column per level.
  const size_t row = static_cast<size_t>(n) + 1;
  if (running_.size() < (parents + 1) * row) running_.resize((parents + 1) * row);
  if (walk_.size() < 6 * static_cast<size_t>(parents) + 3) {
    walk_.resize(6 * static_cast<size_t>(parents) + 3);
  }
  double* rows = running_.data();
  int* position = walk_.data();
  int* base = position + parents;          // parents + 1
  int* stride = base + parents + 1;        // parents
  int* offset = stride + parents;          // parents
  int* active = offset + parents;          // parents + 1
  int* last = active + parents + 1;        // parents + 1 (column or -1)
  int s = n;
  for (int i = parents - 1; i >= 0; --i) {
    stride[i] = s;
    s *= widths_[i];
  }
  for (int i = 0, o = 0; i < parents; ++i) {
    offset[i] = o;
    o += widths_[i];
    position[i] = 0;
  }
  const double* p = parameters_.GetItems().Items();
  const double* leak = p + GetLeakColumn() * n;
  const double w_leak = weights_[parents];
  for (int j = 0; j < n; ++j) rows[j] = w_leak * leak[j];
  rows[n] = w_leak;
  base[0] = 0;
  active[0] = 0;
  last[0] = -1;
  double* out = expanded_.GetItems().Items();
  int from = 0;
  for (;;) {
    for (int i = from; i < parents; ++i) {
      const double* prev = rows + i * row;
      double* next = rows + (i + 1) * row;
      const int x = position[i];
      base[i + 1] = base[i] + x * stride[i];
      if (x != parent_states_[i]) {
        const double w = weights_[i];
        const double* column = p + (offset[i] + x) * n;
        for (int j = 0; j < n; ++j) next[j] = prev[j] + w * column[j];
        next[n] = prev[n] + w;
        active[i + 1] = active[i] + 1;
        last[i + 1] = offset[i] + x;
      } else {
        std::memcpy(next, prev, sizeof(double) * row);
        active[i + 1] = active[i];
        last[i + 1] = last[i];
      }
    }
    double* cell = out + base[parents];
    if (function_ == kAverage) {
      const double* sums = rows + parents * row;
      for (int j = 0; j < n; ++j) cell[j] = sums[j] / sums[n];
    } else {
      const double* column =
          active[parents] == 1 ? p + last[parents] * n : leak;
      std::memcpy(cell, column, sizeof(double) * n);
    }
    int i = parents - 1;
    while (i >= 0 && ++position[i] == widths_[i]) position[i--] = 0;
    if (i < 0) break;
    from = i;
  }
  return qelta::kOk;
}
