#include "definitions/noisy_max.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "base/status.h"
#include "network/change_guards.h"
#include "network/network.h"

namespace {

// Whether `table` has one dimension per parent of the given widths, then n.
bool TableFits(const VRN_matrix& table, const VRN_intArray& widths, int n) {
  if (table.GetDimensionCount() != widths.GetSize() + 1) return false;
  for (int i = 0; i < widths.GetSize(); ++i) {
    if (table.GetSize(i) != widths[i]) return false;
  }
  return table.GetSize(widths.GetSize()) == n;
}

void CumulateColumns(double* items, int columns, int n) {
  for (int c = 0; c < columns; ++c) {
    double* e = items + c * n;
    double sum = 0.0;
    for (int j = n - 1; j >= 0; --j) {
      sum += e[j];
      e[j] = sum < 0.0 ? 0.0 : sum;
    }
  }
}

void DecumulateColumns(double* items, int columns, int n) {
  for (int c = 0; c < columns; ++c) {
    double* e = items + c * n;
    for (int j = 0; j < n - 1; ++j) {
      const double d = e[j] - e[j + 1];
      e[j] = d < 0.0 ? 0.0 : d;
    }
  }
}

// Applies the fit's move (item `j` of a column of n, by d). When the other
// entries hold exactly 1 - v they give up d in proportion to their share;
// otherwise (a column a rounding off 1, as a normalised table gives it) they
// are scaled to hold 1 - v - d, evenly when they hold nothing: the column
// stays a distribution instead of drifting further with every move.
void MoveInColumn(double* column, int n, int j, double d) {
  const double v = column[j];
  double rest = 0.0;
  for (int q = 0; q < n; ++q) {
    if (q != j) rest += column[q];
  }
  const double left = 1.0 - v - d;
  for (int q = 0; q < n; ++q) {
    if (q == j) continue;
    double& e = column[q];
    if (rest == 0.0) {
      e = left / (n - 1);
    } else if (rest == 1.0 - v) {
      e = e - e / (1.0 - v) * d;
    } else {
      e *= left / rest;
    }
    if (!(e > 0.0)) e = 0.0;
  }
  column[j] = v + d;
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

VRN_noisyMAX::VRN_noisyMAX(VRN_network* network, int handle)
    : VRN_ciDef(network, handle) {}

VRN_noisyMAX::VRN_noisyMAX(const VRN_discreteInfo& info) : VRN_ciDef(info) {
  for (int i = 0; i < widths_.GetSize(); ++i) {
    VRN_intArray order;
    order.FillIdentity(widths_[i]);
    strengths_.push_back(order);
  }
  SetConstrainedColumns();
  if (info.table != nullptr &&
      TableFits(*info.table, widths_, GetNumberOfOutcomes())) {
    expanded_ = *info.table;
    FitToTable(1.0 / GetNumberOfOutcomes(), 0.0001);
  }
  cpt_valid_ = false;
}

VRN_noisyMAX::VRN_noisyMAX(const VRN_noisyMAX& other, VRN_network* network)
    : VRN_ciDef(other, network), strengths_(other.strengths_) {}

VRN_noisyMAX::~VRN_noisyMAX() = default;

VRN_nodeDef* VRN_noisyMAX::Clone(VRN_network* target) const {
  return new VRN_noisyMAX(*this, target);
}

int VRN_noisyMAX::GetType() const { return qelta::kDefNoisyMax; }

const char* VRN_noisyMAX::GetTypeName() const { return "NOISY_MAX"; }

// ------------------------------------------------------------------ columns

bool VRN_noisyMAX::IsDistinguishedColumn(int column) const {
  int offset = 0;
  for (int i = 0; i < widths_.GetSize(); ++i) {
    offset += widths_[i];
    if (column == offset - 1) return true;
    if (column < offset) return false;
  }
  return false;
}

bool VRN_noisyMAX::IsDistinguishedItem(int item) const {
  const int n = GetOwnCount();
  return item >= 0 && IsDistinguishedColumn(item / n);
}

void VRN_noisyMAX::GetFreeParameterColumns(std::vector<int>* out) const {
  out->clear();
  int offset = 0;
  for (int i = 0; i < widths_.GetSize(); ++i) {
    for (int k = 0; k < widths_[i] - 1; ++k) out->push_back(offset + k);
    offset += widths_[i];
  }
  out->push_back(offset);
}

void VRN_noisyMAX::SetConstrainedColumns() {
  int offset = 0;
  for (int i = 0; i < widths_.GetSize(); ++i) {
    offset += widths_[i];
    SetColumnPointMass(offset - 1, -1);
  }
}

// ------------------------------------------------------------------ parents

int VRN_noisyMAX::AddParent(int parent) {
  const int status = VRN_ciDef::AddParent(parent);
  if (status != qelta::kOk) return status;
  const int index = GetParentIndex(parent);
  VRN_intArray order;
  order.FillIdentity(widths_[index]);
  strengths_.insert(strengths_.begin() + index, order);
  return qelta::kOk;
}

int VRN_noisyMAX::RemoveParent(int parent) {
  const int index = GetParentIndex(parent);
  const int status = VRN_ciDef::RemoveParent(parent);
  if (status != qelta::kOk) return status;
  strengths_.erase(strengths_.begin() + index);
  return qelta::kOk;
}

int VRN_noisyMAX::OnParentOutcomeInserted(int parent, int position) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  VRN_intArray& order = strengths_[p];
  const int length = order.GetSize();
  if (position < 0 || position > length) return qelta::kErrOutOfRange;
  int k = order.FindPosition(position);
  if (k < 0) k = length;
  const int status = InsertParameterColumn(p, k, k < length);
  if (status != qelta::kOk) return status;
  for (int& e : order) {
    if (e >= position) ++e;
  }
  (void)order.Insert(k, position);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyMAX::OnParentOutcomeRemoved(int parent, int index) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  VRN_intArray& order = strengths_[p];
  const int k = order.FindPosition(index);
  if (k < 0 || order.GetSize() < 2) return qelta::kErrOutOfRange;
  const int status = RemoveParameterColumn(p, k);
  if (status != qelta::kOk) return status;
  (void)order.DeleteByContent(index);
  for (int& e : order) {
    if (e > index) --e;
  }
  SetColumnPointMass(GetParentColumnOffset(p) + widths_[p] - 1, -1);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyMAX::OnParentOutcomesReordered(int parent,
                                            const VRN_intArray& order) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  VRN_intArray& strengths = strengths_[p];
  if (order.GetSize() != strengths.GetSize() || !order.IsPermutation()) {
    return qelta::kErrOutOfRange;
  }
  for (int& e : strengths) e = order.FindPosition(e);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyMAX::ReorderParents(const VRN_intArray& order) {
  const int status = ReorderParameterColumns(order);
  if (status != qelta::kOk) return status;
  std::vector<VRN_intArray> moved;
  for (int i = 0; i < order.GetSize(); ++i) moved.push_back(strengths_[order[i]]);
  strengths_.swap(moved);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyMAX::CheckParentInfluence(int parent_index, double,
                                       bool* influential) {
  if (parent_index < 0 || parent_index >= widths_.GetSize()) {
    return qelta::kErrOutOfRange;
  }
  *influential = false;
  const int n = GetOwnCount();
  const int start = GetParentColumnOffset(parent_index);
  const double* items = parameters_.GetItems().Items();
  for (int c = start; c < start + widths_[parent_index]; ++c) {
    if (items[c * n + n - 1] != 1.0) {
      *influential = true;
      break;
    }
  }
  return qelta::kOk;
}

void VRN_noisyMAX::CopyFieldsInto(VRN_ciDef* target) const {
  static_cast<VRN_noisyMAX*>(target)->strengths_ = strengths_;
}

// ---------------------------------------------------------------- strengths

int VRN_noisyMAX::SetParentOutcomeStrengths(int i,
                                            const VRN_intArray& strengths) {
  if (i < 0 || i >= GetStrengthsCount() ||
      strengths.GetSize() != strengths_[i].GetSize()) {
    return qelta::kErrOutOfRange;
  }
  if (!strengths.IsPermutation()) {
    return LogRefusal(qelta::kErrInvalidValue,
                      "The strengths of parent %d of node [%s] must order its %d outcomes: "
                      "each of 0 to %d once",
                      i, OwnNodeId(), strengths.GetSize(), strengths.GetSize() - 1);
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  StoreParentOutcomeStrengths(i, strengths);
  return qelta::kOk;
}

void VRN_noisyMAX::StoreParentOutcomeStrengths(int i,
                                               const VRN_intArray& strengths) {
  strengths_[i] = strengths;
  ParametersChanged();
}

int VRN_noisyMAX::ChangeParentOutcomeStrengths(int i,
                                               const VRN_intArray& perm) {
  if (i < 0 || i >= GetStrengthsCount() ||
      perm.GetSize() != strengths_[i].GetSize() || !perm.IsPermutation()) {
    return qelta::kErrOutOfRange;
  }
  const int n = GetOwnCount();
  const int start = GetParentColumnOffset(i);
  const int width = widths_[i];
  std::vector<double> old(parameters_.GetItems().Items() + start * n,
                          parameters_.GetItems().Items() + (start + width) * n);
  double* items = parameters_.GetItems().Items() + start * n;
  for (int k = 0; k < width; ++k) {
    std::memcpy(items + k * n, old.data() + perm[k] * n, sizeof(double) * n);
  }
  SetColumnPointMass(start + width - 1, -1);
  VRN_intArray strengths(strengths_[i]);
  for (int k = 0; k < width; ++k) strengths[k] = strengths_[i][perm[k]];
  strengths_[i] = strengths;
  ParametersChanged();
  return qelta::kOk;
}

// ------------------------------------------------------------------ Henrion

void VRN_noisyMAX::CumulateProbabilities(VRN_matrix* matrix) {
  if (matrix->GetDimensionCount() != 2) return;
  CumulateColumns(matrix->GetItems().Items(), matrix->GetSize(0),
                  matrix->GetSize(1));
}

void VRN_noisyMAX::DecumulateProbabilities(VRN_matrix* matrix) {
  if (matrix->GetDimensionCount() != 2) return;
  DecumulateColumns(matrix->GetItems().Items(), matrix->GetSize(0),
                    matrix->GetSize(1));
}

int VRN_noisyMAX::GetHenrionProbabilities(VRN_matrix* out) const {
  *out = parameters_;
  CumulateProbabilities(out);
  const int n = GetOwnCount();
  const int leak = GetLeakColumn();
  double* items = out->GetItems().Items();
  for (int c = 0; c < leak; ++c) {
    if (IsDistinguishedColumn(c)) continue;
    for (int j = 0; j < n; ++j) items[c * n + j] *= items[leak * n + j];
  }
  DecumulateProbabilities(out);
  return qelta::kOk;
}

bool VRN_noisyMAX::AcceptsItems(const double* items, int count) const {
  for (int i = 0; i < count; ++i) {
    if (!(items[i] >= 0.0 && items[i] <= 1.0)) return false;  // NaN too
  }
  return true;
}

int VRN_noisyMAX::RefusedItemsStatus() const { return qelta::kErrInvalidValue; }

int VRN_noisyMAX::SetHenrionProbabilities(const VRN_matrix& henrion) {
  if (!henrion.HasSameDimensions(parameters_)) return qelta::kErrOutOfRange;
  const double* given = henrion.GetItems().Items();
  for (int i = 0; i < henrion.GetItemCount(); ++i) {
    if (!(given[i] >= 0.0 && given[i] <= 1.0)) {  // NaN too
      return LogRefusal(RefusedItemsStatus(),
                        "Henrion probability %d of node [%s] is %g, not a probability", i,
                        OwnNodeId(), given[i]);
    }
  }
  const int n = GetOwnCount();
  const int leak = GetLeakColumn();
  const double* h = henrion.GetItems().Items();
  const VRN_intArray& parents = GetParents();
  for (int i = 0, c = -1; i < widths_.GetSize(); ++i) {
    c += widths_[i];  // parent i's last column, its distinguished outcome's
    for (int j = 0; j < n; ++j) {
      if (h[c * n + j] == (j == n - 1 ? 1.0 : 0.0)) continue;
      return LogRefusal(qelta::kErrOutOfRange,
                        "Henrion column %d of node [%s] is that of the distinguished outcome of "
                        "parent [%s]: it stays 1 in the last outcome and 0 elsewhere",
                        c, OwnNodeId(), i < parents.GetSize() ? GetNodeId(parents[i]) : "");
    }
  }
  VRN_matrix next(parameters_);
  (void)next.CopyItems(henrion);
  CumulateProbabilities(&next);
  double* items = next.GetItems().Items();
  for (int c = 0; c < leak; ++c) {
    if (IsDistinguishedColumn(c)) continue;
    for (int j = 0; j < n; ++j) {
      const double s = items[leak * n + j];
      items[c * n + j] = s == 0.0 ? 0.0 : items[c * n + j] / s;
    }
  }
  DecumulateProbabilities(&next);
  // Differences of quotients may stray past 0 or 1 by a rounding: those are
  // put back. Columns that are no distributions convert to parameters that
  // are no probabilities: refused like such parameters, the node as it was.
  for (int i = 0; i < next.GetItemCount(); ++i) {
    if (items[i] < 0.0 && items[i] >= -1e-12) items[i] = 0.0;
    if (items[i] > 1.0 && items[i] <= 1.0 + 1e-12) items[i] = 1.0;
  }
  if (!AcceptsItems(items, next.GetItemCount())) {
    return LogRefusal(RefusedItemsStatus(),
                      "The Henrion probabilities of node [%s] give parameters that are no "
                      "probabilities: each column must be a distribution",
                      OwnNodeId());
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  (void)parameters_.CopyItems(next);
  ParametersChanged();
  return qelta::kOk;
}

int VRN_noisyMAX::GetHenrionProbabilitiesArray(VRN_doubleArray* out) const {
  VRN_matrix henrion;
  (void)GetHenrionProbabilities(&henrion);
  out->Flush();
  const int n = GetOwnCount();
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (IsDistinguishedColumn(c)) continue;
    for (int j = 0; j < n; ++j) out->Add(henrion.GetItem(c * n + j));
  }
  return qelta::kOk;
}

int VRN_noisyMAX::SetHenrionProbabilitiesArray(const VRN_doubleArray& items) {
  const int n = GetOwnCount();
  if (items.GetSize() != (GetColumnCount() - widths_.GetSize()) * n) {
    return qelta::kErrOutOfRange;
  }
  VRN_matrix henrion;
  (void)GetHenrionProbabilities(&henrion);
  double* h = henrion.GetItems().Items();
  int next = 0;
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (IsDistinguishedColumn(c)) continue;
    for (int j = 0; j < n; ++j) h[c * n + j] = items[next++];
  }
  return SetHenrionProbabilities(henrion);
}

// ------------------------------------------------------------------ the CPT

namespace {

// The difference v[j] - v[j + 1] of two products of cumulated columns
// loses the outcome to cancellation once it falls far below v[j] (a column
// (1e-17, 1 - 1e-17) cumulates to (1, 1)). From the small side it is
// v[j] * (1 - prod over the active columns c of (1 - p_c[j] / s_c[j])),
// with the product taken through logarithms. Columns: the leak (`leak`),
// then each input's active one (`active`, `inputs` of them).
double DecumulatedFromSmallSide(const double* parameters, const double* cumulated,
                                int n, int j, double v, int leak,
                                const int* active, int inputs) {
  double log_kept = 0.0;
  for (int i = -1; i < inputs; ++i) {
    const int c = i < 0 ? leak : active[i];
    const double p = parameters[c * n + j];
    const double s = cumulated[c * n + j];
    if (p == 0.0) continue;
    if (!(s > 0.0)) return 0.0;
    log_kept += std::log1p(-std::min(1.0, p / s));
  }
  const double d = -v * std::expm1(log_kept);
  return d > 0.0 ? d : 0.0;
}

// Whether the old difference d = v[j] - v[j + 1] may have lost the value:
// it lies so far below v[j] that rounding of the products shows in it.
inline bool MayHaveCancelled(double d, double v) {
  return d <= v * 0x1p-10;
}

// The noisy-MAX walk: for every configuration of the inputs' positions
// (last input fastest) the product of the leak's and the active columns'
// cumulated distributions, de-cumulated into the cell of the inputs'
// outcomes (strengths[i][position]). Row r of `rows` holds the product over
// the leak and the first r inputs, so a step recomputes only the rows after
// the input that moved. A difference that cancelled is formed again from
// the small side (`parameters`, the columns before cumulation) where that
// moves it by more than the old one's rounding. rows: (inputs + 1) * n
// doubles; walk: 5 * inputs + 1 ints.
void WalkNoisyMax(const double* parameters, const double* cumulated,
                  int inputs, const int* widths, const VRN_intArray* strengths,
                  int n, double* rows, int* walk, double* out) {
  int* position = walk;
  int* base = position + inputs;    // inputs + 1
  int* stride = base + inputs + 1;  // inputs
  int* offset = stride + inputs;    // inputs
  int* active = offset + inputs;    // inputs
  int s = n;
  for (int i = inputs - 1; i >= 0; --i) {
    stride[i] = s;
    s *= widths[i];
  }
  int o = 0;
  for (int i = 0; i < inputs; ++i) {
    offset[i] = o;
    o += widths[i];
    position[i] = 0;
  }
  std::memcpy(rows, cumulated + o * n, sizeof(double) * n);  // the leak
  base[0] = 0;
  int from = 0;  // first input whose row is out of date
  for (;;) {
    for (int i = from; i < inputs; ++i) {
      const double* factor = cumulated + (offset[i] + position[i]) * n;
      const double* prev = rows + i * n;
      double* row = rows + (i + 1) * n;
      for (int j = 0; j < n; ++j) row[j] = prev[j] * factor[j];
      base[i + 1] = base[i] + strengths[i][position[i]] * stride[i];
    }
    const double* v = rows + inputs * n;
    double* cell = out + base[inputs];
    for (int j = 0; j < n - 1; ++j) {
      const double d = v[j] - v[j + 1];
      cell[j] = d < 0.0 ? 0.0 : d;
      if (!MayHaveCancelled(d, v[j])) continue;
      for (int k = 0; k < inputs; ++k) active[k] = offset[k] + position[k];
      const double exact = DecumulatedFromSmallSide(parameters, cumulated, n, j,
                                                    v[j], o, active, inputs);
      // Only where the old arithmetic lost the value: elsewhere the table
      // stays as it always was, bit for bit.
      if (std::fabs(exact - cell[j]) > exact * 0x1p-40) cell[j] = exact;
    }
    cell[n - 1] = v[n - 1];
    int i = inputs - 1;
    while (i >= 0 && ++position[i] == widths[i]) position[i--] = 0;
    if (i < 0) break;
    from = i;
  }
}

}  // namespace

void VRN_noisyMAX::ComputeTable(const double* cumulated, double* out) {
  const int parents = widths_.GetSize();
  const int n = GetOwnCount();
  if (running_.size() < static_cast<size_t>(parents + 1) * n) {
    running_.resize(static_cast<size_t>(parents + 1) * n);
  }
  if (walk_.size() < 5 * static_cast<size_t>(parents) + 1) {
    walk_.resize(5 * static_cast<size_t>(parents) + 1);
  }
  WalkNoisyMax(parameters_.GetItems().Items(), cumulated, parents,
               widths_.Items(), strengths_.data(), n, running_.data(),
               walk_.data(), out);
}

int VRN_noisyMAX::Expand(const VRN_matrix& parameters,
                         const std::vector<VRN_intArray>& strengths,
                         VRN_matrix* out) {
  const int inputs = static_cast<int>(strengths.size());
  const int n = parameters.GetSize(1);
  VRN_intArray sizes;
  for (const VRN_intArray& order : strengths) sizes.Add(order.GetSize());
  const VRN_intArray widths(sizes);
  sizes.Add(n);
  if (out->SetDimensions(sizes) != qelta::kOk) return qelta::kErrOutOfMemory;
  std::vector<double> cumulated(parameters.GetItems().begin(),
                                parameters.GetItems().end());
  CumulateColumns(cumulated.data(), parameters.GetSize(0), n);
  std::vector<double> rows(static_cast<size_t>(inputs + 1) * n);
  std::vector<int> walk(5 * static_cast<size_t>(inputs) + 1);
  WalkNoisyMax(parameters.GetItems().Items(), cumulated.data(), inputs,
               widths.Items(), strengths.data(), n, rows.data(), walk.data(),
               out->GetItems().Items());
  return qelta::kOk;
}

int VRN_noisyMAX::CalculateCpt() {
  const int n = GetOwnCount();
  const int shaped = ShapeExpandedTable();
  if (shaped != qelta::kOk) return shaped;
  const int columns = GetColumnCount();
  if (cumulated_.size() < static_cast<size_t>(columns) * n) {
    cumulated_.resize(static_cast<size_t>(columns) * n);
  }
  double* cumulated = cumulated_.data();
  std::memcpy(cumulated, parameters_.GetItems().Items(),
              sizeof(double) * columns * n);
  CumulateColumns(cumulated, columns, n);
  ComputeTable(cumulated, expanded_.GetItems().Items());
  return qelta::kOk;
}

// ---------------------------------------------------------------------- fit

void VRN_noisyMAX::FitToTable(double initial_step, double min_step) {
  const VRN_matrix target = expanded_;
  const int parents = widths_.GetSize();
  const int n = GetOwnCount();
  if (!TableFits(target, widths_, n)) return;
  const double* t = target.GetItems().Items();
  const int cells = target.GetItemCount();

  // The start: each parent position's column read with the other parents
  // at their first outcome, the leak from the last configuration.
  for (int c = 0; c < GetColumnCount(); ++c) SetColumnPointMass(c, -1);
  double* p = parameters_.GetItems().Items();
  for (int d = 0; d < parents; ++d) {
    const int offset = GetParentColumnOffset(d);
    const int stride = target.GetStrides()[d];
    for (int k = 0; k + 1 < widths_[d]; ++k) {
      std::memcpy(p + (offset + k) * n, t + k * stride, sizeof(double) * n);
    }
  }
  std::memcpy(p + GetLeakColumn() * n, t + cells - n, sizeof(double) * n);

  const int items = parameters_.GetItemCount();
  std::vector<double> cumulated(items);
  std::vector<double> table(cells);
  auto distance = [&]() {
    std::memcpy(cumulated.data(), parameters_.GetItems().Items(),
                sizeof(double) * items);
    CumulateColumns(cumulated.data(), GetColumnCount(), n);
    ComputeTable(cumulated.data(), table.data());
    double sum = 0.0;
    for (int i = 0; i < cells; ++i) {
      const double e = table[i] - t[i];
      sum += e * e;
    }
    return sum;
  };
  std::vector<double> saved(n);
  auto try_step = [&](int item, double d) {
    double* column = parameters_.GetItems().Items() + (item / n) * n;
    std::memcpy(saved.data(), column, sizeof(double) * n);
    MoveInColumn(column, n, item % n, d);
    const double e = distance();
    std::memcpy(column, saved.data(), sizeof(double) * n);
    return e;
  };

  double step = initial_step;
  for (;;) {
    double best = distance();
    int best_item = -1;
    double best_move = 0.0;
    for (int i = 0; i < items; ++i) {
      if (IsDistinguishedItem(i)) continue;
      const double v = parameters_.GetItem(i);
      if (v + step <= 1.0) {
        const double e = try_step(i, step);
        if (e < best) {
          best = e;
          best_item = i;
          best_move = step;
        }
      }
      if (v - step >= 0.0) {
        const double e = try_step(i, -step);
        if (e < best) {
          best = e;
          best_item = i;
          best_move = -step;
        }
      }
    }
    if (best_item >= 0) {
      MoveInColumn(parameters_.GetItems().Items() + (best_item / n) * n, n,
                   best_item % n, best_move);
    } else {
      step /= 2;
    }
    if (!(step > min_step) || !(best > 0.0)) break;
  }
  cpt_valid_ = false;
}
