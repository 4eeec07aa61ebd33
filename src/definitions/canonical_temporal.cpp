// Temporal definitions of canonical plate nodes: the parameters of a noisy
// node, the strength orders of a noisy-MAX node and the parent roles and
// weights of a DeMorgan node, for one temporal order. The temporal
// definitions are definitions of the same kind held by the network's
// temporal part; these operations reach them through the plate node's own
// definition and keep the plate node's beliefs in step.
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/ci_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// The plate node's beliefs rest on its temporal definitions too.
void TemporalChanged(const VRN_nodeDef& own) {
  VRN_network* network = own.GetNetwork();
  if (network == nullptr) return;
  VRN_node* node = network->GetNode(own.GetHandle());
  if (node != nullptr) node->Value()->Invalidate();
  network->InvalidateIfDynamic();
}

}  // namespace

// ------------------------------------------------------------ noisy kinds

const VRN_matrix* VRN_ciDef::GetTemporalCiWeights(int order) const {
  const auto* temporal =
      dynamic_cast<const VRN_ciDef*>(GetPlateTemporalDefinition(order));
  return temporal != nullptr ? &temporal->Parameters() : nullptr;
}

int VRN_ciDef::SetTemporalCiWeights(int order, const VRN_matrix& parameters) {
  auto* temporal = dynamic_cast<VRN_ciDef*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(GetNetwork(), true);
  const int status = temporal->SetParameters(parameters);
  if (status == qelta::kOk) TemporalChanged(*this);
  return status;
}

int VRN_noisyMAX::GetTemporalParentOutcomeStrengths(
    int order, std::vector<VRN_intArray>* out) const {
  const auto* temporal =
      dynamic_cast<const VRN_noisyMAX*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return qelta::kErrWrongNodeType;
  out->assign(temporal->strengths_.begin(), temporal->strengths_.end());
  return qelta::kOk;
}

int VRN_noisyMAX::SetTemporalParentOutcomeStrengths(
    int order, const std::vector<VRN_intArray>& rows) {
  auto* temporal =
      dynamic_cast<VRN_noisyMAX*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return qelta::kErrWrongNodeType;
  if (static_cast<int>(rows.size()) != temporal->GetStrengthsCount()) {
    return qelta::kErrInvalidValue;
  }
  // Every row is checked before any is stored, so a refusal changes nothing.
  for (size_t i = 0; i < rows.size(); ++i) {
    const int count = temporal->strengths_[i].GetSize();
    if (rows[i].GetSize() != count) return qelta::kErrInvalidValue;
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (int v : rows[i]) {
      if (v < 0 || v >= count || seen[static_cast<size_t>(v)]) {
        return qelta::kErrInvalidValue;
      }
      seen[static_cast<size_t>(v)] = true;
    }
  }
  VRN_autoUpdateGuard guard(GetNetwork(), true);
  for (size_t i = 0; i < rows.size(); ++i) {
    temporal->StoreParentOutcomeStrengths(static_cast<int>(i), rows[i]);
  }
  temporal->ParametersChanged();
  TemporalChanged(*this);
  return qelta::kOk;
}

// ---------------------------------------------------------------- DeMorgan

int VRN_demorgan::GetTemporalParentIndex(int order, int i) const {
  VRN_network* network = GetNetwork();
  const VRN_dbn* dbn = network != nullptr ? network->Dbn() : nullptr;
  VRN_intArray parents;
  if (dbn == nullptr ||
      dbn->GetTemporalParents(GetHandle(), order, parents) != qelta::kOk ||
      i < 0 || i >= parents.GetSize()) {
    return -1;
  }
  return dbn->GetTemporalParentIndex(parents[i], GetHandle(), order);
}

int VRN_demorgan::GetTemporalParentType(int order, int i) const {
  const auto* temporal =
      dynamic_cast<const VRN_demorgan*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return -1;
  const int k = GetTemporalParentIndex(order, i);
  if (k < 0) return k;
  return temporal->GetParentType(k);
}

double VRN_demorgan::GetTemporalParentWeight(int order, int i) const {
  const auto* temporal =
      dynamic_cast<const VRN_demorgan*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return -1.0;
  const int k = GetTemporalParentIndex(order, i);
  if (k < 0) return k;
  return temporal->GetParentWeight(k);
}

int VRN_demorgan::SetTemporalParentType(int order, int i, int role) {
  auto* temporal =
      dynamic_cast<VRN_demorgan*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return -1;
  const int k = GetTemporalParentIndex(order, i);
  if (k < 0) return k;
  VRN_autoUpdateGuard guard(GetNetwork(), true);
  const int status = temporal->SetParentType(k, role);
  if (status == qelta::kOk) TemporalChanged(*this);
  return status;
}

int VRN_demorgan::SetTemporalParentWeight(int order, int i, double weight) {
  auto* temporal =
      dynamic_cast<VRN_demorgan*>(GetPlateTemporalDefinition(order));
  if (temporal == nullptr) return -1;
  const int k = GetTemporalParentIndex(order, i);
  if (k < 0) return k;
  VRN_autoUpdateGuard guard(GetNetwork(), true);
  const int status = temporal->SetParentWeight(k, weight);
  if (status == qelta::kOk) TemporalChanged(*this);
  return status;
}
