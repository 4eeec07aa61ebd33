#include "definitions/lazy_def.h"

#include <new>
#include <typeinfo>

#include "base/status.h"
#include "network/change_guards.h"

// ---------------------------------------------------------------- VRN_lazyDef

VRN_lazyDef::VRN_lazyDef(VRN_network* network, int handle,
                         const VRN_idArray* ids)
    : VRN_discDef(network, handle,
                  ids != nullptr ? *ids : VRN_DefaultOutcomeIds()) {}

VRN_lazyDef::VRN_lazyDef(const VRN_discreteInfo& info) : VRN_discDef(info) {}

VRN_lazyDef::VRN_lazyDef(const VRN_lazyDef& other, VRN_network* network)
    : VRN_discDef(other, network),
      expanded_(other.expanded_),
      cpt_valid_(other.cpt_valid_) {}

VRN_lazyDef::~VRN_lazyDef() = default;

int VRN_lazyDef::GetDefinition(VRN_matrix** out) {
  const int status = VRN_discDef::GetDefinition(out);
  cpt_valid_ = false;
  return status;
}

const VRN_matrix* VRN_lazyDef::GetExpandedDefinition() {
  return EnsureCpt() == qelta::kOk ? &expanded_ : nullptr;
}

int VRN_lazyDef::GetDiscreteInfo(VRN_discreteInfo* info) {
  const int status = VRN_discDef::GetDiscreteInfo(info);
  info->table = EnsureCpt() == qelta::kOk ? &expanded_ : nullptr;
  info->table_owned = false;
  return status;
}

void VRN_lazyDef::CopyParameters(VRN_nodeDef* target) const {
  if (target == nullptr || typeid(*target) != typeid(*this)) return;
  auto* to = static_cast<VRN_lazyDef*>(target);
  if (!to->expanded_.HasSameDimensions(expanded_)) return;
  try {
    to->expanded_ = expanded_;
  } catch (const std::bad_alloc&) {
    to->cpt_valid_ = false;
    return;
  }
  to->cpt_valid_ = cpt_valid_;
}

int VRN_lazyDef::EnsureCpt() {
  if (cpt_valid_) return qelta::kOk;
  int status;
  try {
    status = CalculateCpt();
  } catch (const std::bad_alloc&) {
    status = qelta::kErrOutOfMemory;
  }
  if (status == qelta::kOk) cpt_valid_ = true;
  return status;
}

int VRN_lazyDef::GetParentIndexInvalidate(int handle) {
  const int index = GetParentIndex(handle);
  if (index >= 0) cpt_valid_ = false;
  return index;
}

// ---------------------------------------------------------------- VRN_qualDef

namespace {

// The record as a qualitative definition takes it: "True" and "False", and
// the values and diagnosis data only when they belong to two outcomes.
const VRN_discreteInfo& QualitativeInfo(const VRN_discreteInfo& info,
                                        VRN_discreteInfo& scratch) {
  scratch.ids = const_cast<VRN_idArray*>(&VRN_qualDef::TrueFalseIds());
  const bool two = info.ids != nullptr && info.ids->GetSize() == 2;
  if (two) {
    scratch.values = info.values;
    scratch.diag_info = info.diag_info;
  }
  return scratch;
}

}  // namespace

const VRN_idArray& VRN_qualDef::TrueFalseIds() {
  static const VRN_idArray ids = [] {
    VRN_idArray made;
    (void)made.Add("True");
    (void)made.Add("False");
    return made;
  }();
  return ids;
}

VRN_qualDef::VRN_qualDef(VRN_network* network, int handle)
    : VRN_lazyDef(network, handle, &TrueFalseIds()) {}

VRN_qualDef::VRN_qualDef(const VRN_discreteInfo& info)
    : VRN_qualDef(info, VRN_discreteInfo(info.network, info.handle)) {}

VRN_qualDef::VRN_qualDef(const VRN_discreteInfo& info,
                         VRN_discreteInfo&& scratch)
    : VRN_lazyDef(QualitativeInfo(info, scratch)) {}

VRN_qualDef::VRN_qualDef(const VRN_qualDef& other, VRN_network* network)
    : VRN_lazyDef(other, network) {}

VRN_qualDef::~VRN_qualDef() = default;

VRN_matrix* VRN_qualDef::GetMatrix() { return nullptr; }

const VRN_matrix* VRN_qualDef::GetMatrixConst() const { return nullptr; }

bool VRN_qualDef::AreOutcomesFixed() const { return true; }

int VRN_qualDef::RebuildTable() { return qelta::kOk; }

int VRN_qualDef::CalculateCpt() {
  const int n = GetParents().GetSize() + 1;
  bool same = expanded_.GetDimensionCount() == n;
  for (int i = 0; same && i < n; ++i) same = expanded_.GetSize(i) == 2;
  if (!same) {
    VRN_intArray sizes(n);
    for (int i = 0; i < n; ++i) sizes[i] = 2;
    VRN_matrix built;
    const int status = built.SetDimensions(sizes);
    if (status != qelta::kOk) return status;
    expanded_ = built;
  }
  const int items = expanded_.GetItemCount();
  double* out = expanded_.GetItems().Items();
  VRN_intArray coordinates;
  for (int c = 0; c < items; c += 2) {
    const int status = expanded_.IndexToCoordinates(c, coordinates);
    if (status != qelta::kOk) return status;
    const double p = CalculateCptColumn(coordinates);
    out[c] = p;
    out[c + 1] = CalculateCptComplement(coordinates, p);
  }
  return qelta::kOk;
}

double VRN_qualDef::CalculateCptComplement(const VRN_intArray&, double p_true) {
  return 1.0 - p_true;
}
