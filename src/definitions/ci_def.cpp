#include "definitions/ci_def.h"

#include <cstring>
#include <new>
#include <typeinfo>

#include "base/random.h"
#include "base/status.h"
#include "network/change_guards.h"
#include "network/network.h"

// ---------------------------------------------------------------- lifecycle

VRN_ciDef::VRN_ciDef(VRN_network* network, int handle)
    : VRN_lazyDef(network, handle, nullptr) {
  (void)BuildUniform(1);
}

VRN_ciDef::VRN_ciDef(const VRN_discreteInfo& info) : VRN_lazyDef(info) {
  int columns = 1;
  for (int parent : GetParents()) {
    int count = GetNodeDefinition(parent)->GetDiscreteOutcomeCount();
    if (count < 1) count = 1;
    widths_.Add(count);
    columns += count;
  }
  if (BuildUniform(columns) != qelta::kOk) throw std::bad_alloc();
}

VRN_ciDef::VRN_ciDef(const VRN_ciDef& other, VRN_network* network)
    : VRN_lazyDef(other, network),
      parameters_(other.parameters_),
      widths_(other.widths_) {}

VRN_ciDef::~VRN_ciDef() = default;

int VRN_ciDef::ShapeExpandedTable() {
  const int parents = widths_.GetSize();
  const int n = GetOwnCount();
  bool same = expanded_.GetDimensionCount() == parents + 1 &&
              expanded_.GetSize(parents) == n;
  for (int i = 0; same && i < parents; ++i) {
    same = expanded_.GetSize(i) == widths_[i];
  }
  if (same) return qelta::kOk;
  VRN_intArray sizes(widths_);
  sizes.Add(n);
  VRN_matrix built;
  if (built.SetDimensions(sizes) != qelta::kOk) return qelta::kErrOutOfMemory;
  expanded_ = built;
  return qelta::kOk;
}

int VRN_ciDef::BuildUniform(int columns) {
  const int n = GetNumberOfOutcomes();
  const int sizes[2] = {columns, n};
  const int status = parameters_.SetDimensionSizes(sizes, 2);
  if (status != qelta::kOk) return status;
  parameters_.FillWith(1.0 / n);
  cpt_valid_ = false;
  return qelta::kOk;
}

void VRN_ciDef::ParametersChanged() {
  cpt_valid_ = false;
  NotifyRelevance(qelta::kChangeTable);
}

// ------------------------------------------------------------ column helpers

int VRN_ciDef::GetParentColumnOffset(int index) const {
  int offset = 0;
  for (int i = 0; i < index && i < widths_.GetSize(); ++i) offset += widths_[i];
  return offset;
}

int VRN_ciDef::Rebuild(const std::vector<int>& sources) {
  const int n = GetOwnCount();
  VRN_matrix built;
  const int sizes[2] = {static_cast<int>(sources.size()), n};
  const int status = built.SetDimensionSizes(sizes, 2);
  if (status != qelta::kOk) return status;
  const double* from = parameters_.GetItems().Items();
  double* to = built.GetItems().Items();
  for (size_t c = 0; c < sources.size(); ++c) {
    if (sources[c] >= 0) {
      std::memcpy(to + c * n, from + static_cast<size_t>(sources[c]) * n,
                  sizeof(double) * n);
    } else {
      for (int j = 0; j < n; ++j) to[c * n + j] = 0.0;
    }
  }
  parameters_ = built;
  cpt_valid_ = false;
  return qelta::kOk;
}

int VRN_ciDef::InsertParameterColumn(int parent, int position, bool uniform) {
  cpt_valid_ = false;
  const int at = GetParentColumnOffset(parent) + position;
  std::vector<int> sources;
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (c == at) sources.push_back(-1);
    sources.push_back(c);
  }
  if (at >= GetColumnCount()) sources.push_back(-1);
  const int status = Rebuild(sources);
  if (status != qelta::kOk) return status;
  ++widths_[parent];
  const int n = GetOwnCount();
  if (uniform) {
    double* column = parameters_.GetItems().Items() + at * n;
    for (int j = 0; j < n; ++j) column[j] = 1.0 / n;
  } else {
    SetColumnPointMass(at, -1);
  }
  return qelta::kOk;
}

int VRN_ciDef::RemoveParameterColumn(int parent, int position) {
  cpt_valid_ = false;
  const int at = GetParentColumnOffset(parent) + position;
  std::vector<int> sources;
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (c != at) sources.push_back(c);
  }
  const int status = Rebuild(sources);
  if (status != qelta::kOk) return status;
  --widths_[parent];
  return qelta::kOk;
}

void VRN_ciDef::SetColumnPointMass(int column, int outcome) {
  const int n = GetOwnCount();
  if (outcome < 0) outcome = n - 1;
  double* items = parameters_.GetItems().Items() + column * n;
  for (int j = 0; j < n; ++j) items[j] = 0.0;
  items[outcome] = 1.0;
  cpt_valid_ = false;
}

int VRN_ciDef::ReorderParameterColumns(const VRN_intArray& order) {
  if (order.GetSize() != widths_.GetSize() || !order.IsPermutation()) {
    return qelta::kErrOutOfRange;
  }
  std::vector<int> sources;
  VRN_intArray widths;
  for (int i = 0; i < order.GetSize(); ++i) {
    const int old = order[i];
    const int start = GetParentColumnOffset(old);
    for (int k = 0; k < widths_[old]; ++k) sources.push_back(start + k);
    widths.Add(widths_[old]);
  }
  sources.push_back(GetLeakColumn());
  const int status = Rebuild(sources);
  if (status != qelta::kOk) return status;
  widths_ = widths;
  return qelta::kOk;
}

// ------------------------------------------------------------------ parents

int VRN_ciDef::AddParent(int parent) {
  const int index = GetParentIndexInvalidate(parent);
  if (index < 0) return index;
  int count = GetNodeDefinition(parent)->GetDiscreteOutcomeCount();
  if (count < 1) return qelta::kErrOutOfRange;
  const int at = GetParentColumnOffset(index);
  std::vector<int> sources;
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (c == at) sources.insert(sources.end(), count, -1);
    sources.push_back(c);
  }
  const int status = Rebuild(sources);
  if (status != qelta::kOk) return status;
  (void)widths_.Insert(index, count);
  const int n = GetOwnCount();
  double* items = parameters_.GetItems().Items();
  for (int c = at; c < at + count - 1; ++c) {
    for (int j = 0; j < n; ++j) items[c * n + j] = 1.0 / n;
  }
  SetColumnPointMass(at + count - 1, -1);
  return qelta::kOk;
}

int VRN_ciDef::RemoveParent(int parent) {
  const int index = GetParentIndexInvalidate(parent);
  if (index < 0) return index;
  const int at = GetParentColumnOffset(index);
  const int width = widths_[index];
  std::vector<int> sources;
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (c < at || c >= at + width) sources.push_back(c);
  }
  const int status = Rebuild(sources);
  if (status != qelta::kOk) return status;
  VRN_intArray widths;
  for (int i = 0; i < widths_.GetSize(); ++i) {
    if (i != index) widths.Add(widths_[i]);
  }
  widths_ = widths;
  return qelta::kOk;
}

// --------------------------------------------------------------- parameters

template <typename Apply>
void VRN_ciDef::ForEachFreeColumn(Apply apply) {
  std::vector<int> free;
  GetFreeParameterColumns(&free);
  const int n = GetOwnCount();
  double* items = parameters_.GetItems().Items();
  for (int c : free) apply(items + c * n, n);
  cpt_valid_ = false;
}

int VRN_ciDef::MakeUniform() {
  VRN_autoUpdateGuard guard(GetNetwork());
  ForEachFreeColumn([](double* column, int n) {
    for (int j = 0; j < n; ++j) column[j] = 1.0 / n;
  });
  ParametersChanged();
  return qelta::kOk;
}

int VRN_ciDef::MakeRandom(VRN_randomGenerator& generator) {
  VRN_autoUpdateGuard guard(GetNetwork());
  ForEachFreeColumn([&generator](double* column, int n) {
    generator.RandomDistribution(n, column);
  });
  ParametersChanged();
  return qelta::kOk;
}

void VRN_ciDef::CopyParameters(VRN_nodeDef* target) const {
  if (target == nullptr || typeid(*target) != typeid(*this)) return;
  auto* to = static_cast<VRN_ciDef*>(target);
  // Equal item counts are not enough: column blocks, strength orders and
  // distinguished states belong to parents, so each of the target's must
  // have the outcome count of its counterpart here.
  if (!to->parameters_.HasSameDimensions(parameters_) ||
      !(to->widths_ == widths_)) {
    return;
  }
  VRN_autoUpdateGuard guard(to->GetNetwork());
  (void)to->parameters_.CopyItems(parameters_);
  CopyFieldsInto(to);
  // Same parameters and fields over parents of the same outcome counts:
  // a current table here is the target's too (taken when the target's
  // cache has its shape already, which needs no allocation); otherwise the
  // target's is rebuilt on first demand.
  to->cpt_valid_ =
      cpt_valid_ && to->expanded_.CopyItems(expanded_) == qelta::kOk;
  // Only now: the relevance walk may read the target's table at once.
  to->NotifyRelevance(qelta::kChangeTable);
}

VRN_matrix* VRN_ciDef::GetMatrix() {
  cpt_valid_ = false;
  return &parameters_;
}

const VRN_matrix* VRN_ciDef::GetMatrixConst() const { return &parameters_; }

int VRN_ciDef::SetParameters(const VRN_matrix& parameters) {
  VRN_autoUpdateGuard guard(GetNetwork());
  if (!parameters.HasSameDimensions(parameters_)) {
    return qelta::kErrInvalidValue;
  }
  if (!AcceptsItems(parameters.GetItems().Items(), parameters.GetItemCount())) {
    return RefusedItemsStatus();
  }
  (void)parameters_.CopyItems(parameters);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_ciDef::LoadParameters(const VRN_doubleArray& items) {
  if (items.GetSize() != parameters_.GetItemCount()) {
    return qelta::kErrInvalidValue;
  }
  if (!AcceptsItems(items.Items(), items.GetSize())) return RefusedItemsStatus();
  VRN_autoUpdateGuard guard(GetNetwork());
  (void)parameters_.SetItems(items);
  ParametersChanged();
  return qelta::kOk;
}

// ------------------------------------------------------------- own outcomes

int VRN_ciDef::OnOutcomeInserted(int position) {
  const int n = GetOwnCount();
  const int columns = GetColumnCount();
  VRN_matrix built;
  const int sizes[2] = {columns, n + 1};
  const int status = built.SetDimensionSizes(sizes, 2);
  if (status != qelta::kOk) return status;
  const double* from = parameters_.GetItems().Items();
  double* to = built.GetItems().Items();
  for (int c = 0; c < columns; ++c) {
    for (int j = 0, k = 0; j <= n; ++j) {
      to[c * (n + 1) + j] = j == position ? 0.0 : from[c * n + k++];
    }
  }
  parameters_ = built;
  SetConstrainedColumns();
  cpt_valid_ = false;
  return qelta::kOk;
}

int VRN_ciDef::OnOutcomeRemoved(int index) {
  const int n = GetOwnCount();
  const int columns = GetColumnCount();
  if (n < 2 || index < 0 || index >= n) return qelta::kErrOutOfRange;
  VRN_matrix built;
  const int sizes[2] = {columns, n - 1};
  const int status = built.SetDimensionSizes(sizes, 2);
  if (status != qelta::kOk) return status;
  const double* from = parameters_.GetItems().Items();
  double* to = built.GetItems().Items();
  for (int c = 0; c < columns; ++c) {
    for (int j = 0, k = 0; j < n; ++j) {
      if (j != index) to[c * (n - 1) + k++] = from[c * n + j];
    }
  }
  parameters_ = built;
  // As in a table, the removed outcome's share is spread over the others in
  // proportion, so every column stays a distribution (one left with nothing
  // becomes uniform).
  ForEachFreeColumn([](double* column, int count) {
    double sum = 0.0;
    for (int j = 0; j < count; ++j) sum += column[j];
    for (int j = 0; j < count; ++j) {
      column[j] = sum > 0.0 ? column[j] / sum : 1.0 / count;
    }
  });
  SetConstrainedColumns();
  cpt_valid_ = false;
  return qelta::kOk;
}

int VRN_ciDef::OnOutcomesReordered(const VRN_intArray& order) {
  const int n = GetOwnCount();
  if (order.GetSize() != n || !order.IsPermutation()) {
    return qelta::kErrOutOfRange;
  }
  std::vector<double> old(n);
  ForEachFreeColumn([&order, &old](double* column, int count) {
    for (int j = 0; j < count; ++j) old[j] = column[j];
    for (int j = 0; j < count; ++j) column[j] = old[order[j]];
  });
  SetConstrainedColumns();
  return qelta::kOk;
}

int VRN_ciDef::RebuildTable() {
  const int status = BuildUniform(GetColumnCount());
  if (status != qelta::kOk) return status;
  SetConstrainedColumns();
  return qelta::kOk;
}
