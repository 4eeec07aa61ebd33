// Evidence per time slice of plate nodes: slice 0 is the value's own
// evidence, later slices are kept by the network's temporal part.
#include <cmath>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

int OutcomeCount(const VRN_nodeVal& value) {
  const VRN_nodeDef* def = value.GetOwnDefinition();
  return def != nullptr ? def->GetNumberOfOutcomes() : 0;
}

// Slice evidence changed: the value (all slices) and, with relevance
// reasoning on, every value is out of date.
void AfterSliceChange(VRN_nodeVal& value) {
  value.Invalidate();
  value.GetNetwork()->InvalidateIfDynamic();
}

}  // namespace

int VRN_nodeVal::SetTemporalEvidence(int slice, int outcome) {
  if (!IsPlate()) return qelta::kErrWrongNodeType;
  VRN_dbn* dbn = network_->Dbn();
  if (slice < 0 || (slice > 0 && dbn == nullptr) ||
      (dbn != nullptr && slice >= dbn->GetNumberOfSlices()) || outcome < 0 ||
      outcome >= OutcomeCount(*this)) {
    return qelta::kErrOutOfRange;
  }
  VRN_autoUpdateGuard guard(network_, true);
  if (slice == 0) {
    const int status = SetEvidence(outcome);
    if (status != qelta::kOk) return status;
    Invalidate();
    network_->InvalidateIfDynamic();
    return qelta::kOk;
  }
  (void)dbn->SetTemporalEvidence(handle_, slice, outcome);
  AfterSliceChange(*this);
  return qelta::kOk;
}

int VRN_nodeVal::SetTemporalVirtualEvidence(
    int slice, const std::vector<double>& likelihoods) {
  if (!IsPlate()) return qelta::kErrWrongNodeType;
  VRN_dbn* dbn = network_->Dbn();
  if (slice < 0 || (slice > 0 && dbn == nullptr) ||
      (dbn != nullptr && slice >= dbn->GetNumberOfSlices())) {
    return qelta::kErrOutOfRange;
  }
  VRN_autoUpdateGuard guard(network_, true);
  if (slice == 0) {
    const int status = SetVirtualEvidence(likelihoods);
    if (status != qelta::kOk) return status;
    Invalidate();
    network_->InvalidateIfDynamic();
    return qelta::kOk;
  }
  if (GetType() != qelta::kValBeliefVector) return qelta::kErrWrongNodeType;
  const int n = static_cast<int>(likelihoods.size());
  if (n < 1) return qelta::kErrNoItem;
  if (n != OutcomeCount(*this)) return qelta::kErrOutOfRange;
  double sum = 0.0;
  for (double v : likelihoods) {
    if (!(v >= 0.0 && v <= 1.0)) return qelta::kErrInvalidValue;
    sum += v;
  }
  if (sum == 0.0) return qelta::kErrNoItem;
  std::vector<double> stored(likelihoods);
  if (std::fabs(sum - 1.0) > 5e-6) {
    for (double& v : stored) v /= sum;
  }
  (void)dbn->SetTemporalVirtualEvidence(handle_, slice, stored);
  AfterSliceChange(*this);
  return qelta::kOk;
}

int VRN_nodeVal::ClearTemporalEvidence(int slice) {
  if (!IsPlate()) return qelta::kErrWrongNodeType;
  if (slice == 0) {
    VRN_autoUpdateGuard guard(network_, true);
    const int status = ClearEvidence();
    if (status == qelta::kOk) network_->InvalidateIfDynamic();
    return status;
  }
  VRN_dbn* dbn = network_->Dbn();
  if (dbn == nullptr ||
      (dbn->GetTemporalEvidence(handle_, slice) < 0 &&
       !dbn->HasTemporalVirtualEvidence(handle_, slice))) {
    return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(network_, true);
  dbn->ClearTemporalEvidence(handle_, slice);
  AfterSliceChange(*this);
  return qelta::kOk;
}

int VRN_nodeVal::GetTemporalEvidence(int slice) const {
  if (slice == 0) return GetEvidence();
  const VRN_dbn* dbn = network_ != nullptr ? network_->Dbn() : nullptr;
  if (dbn == nullptr) return qelta::kErrOutOfRange;
  return dbn->GetTemporalEvidence(handle_, slice);
}

int VRN_nodeVal::GetTemporalVirtualEvidence(int slice,
                                            std::vector<double>* out) const {
  if (slice == 0) return GetVirtualEvidence(out);
  const VRN_dbn* dbn = network_ != nullptr ? network_->Dbn() : nullptr;
  if (dbn == nullptr || out == nullptr) return qelta::kErrOutOfRange;
  return dbn->GetTemporalVirtualEvidence(handle_, slice, *out);
}

bool VRN_nodeVal::IsTemporalEvidence(int slice) const {
  if (slice == 0) return HasFlags(qelta::kValFlagEvidence);
  return GetTemporalEvidence(slice) >= 0;
}

bool VRN_nodeVal::IsTemporalVirtualEvidence(int slice) const {
  if (slice == 0) return HasVirtualEvidence();
  const VRN_dbn* dbn = network_ != nullptr ? network_->Dbn() : nullptr;
  return dbn != nullptr && dbn->HasTemporalVirtualEvidence(handle_, slice);
}

bool VRN_nodeVal::HasTemporalEvidence() const {
  const VRN_dbn* dbn = network_ != nullptr ? network_->Dbn() : nullptr;
  if (dbn == nullptr) return false;
  if (HasFlags(qelta::kValFlagEvidence | qelta::kValFlagPropagated |
               qelta::kValFlagVirtual)) {
    return true;
  }
  return dbn->HasTemporalEvidence(handle_);
}
