#include "definitions/id_values.h"

#include <algorithm>

#include "base/special_values.h"
#include "base/status.h"
#include "definitions/discrete_def.h"

// ----------------------------------------------------------- VRN_policyValues

VRN_policyValues::VRN_policyValues(VRN_network* network, int handle)
    : VRN_discVal(network, handle) {}

VRN_policyValues::VRN_policyValues(const VRN_discDef& definition,
                                   const VRN_evidenceRecord& record)
    : VRN_discVal(definition.GetNetwork(), definition.GetHandle()) {
  const int count = definition.GetNumberOfOutcomes();
  if ((record.kind == qelta::kEvidenceOutcome ||
       record.kind == qelta::kEvidenceOutcomeAndValue) &&
      count >= 2 && record.outcome >= 0 && record.outcome < count) {
    AdoptObservedEvidence(record.outcome, count);
    if (record.kind == qelta::kEvidenceOutcomeAndValue &&
        definition.HasIntervals()) {
      evidence_value_ = record.value;
      has_evidence_value_ = true;
    }
  }
}

VRN_policyValues::VRN_policyValues(const VRN_policyValues& other,
                                   VRN_network* network)
    : VRN_discVal(other, network) {}

VRN_policyValues::~VRN_policyValues() = default;

VRN_nodeVal* VRN_policyValues::Clone(VRN_network* target) const {
  return new VRN_policyValues(*this, target);
}

int VRN_policyValues::GetType() const { return qelta::kValPolicyValues; }

// -------------------------------------------------------- VRN_expectedUtility

VRN_expectedUtility::VRN_expectedUtility(VRN_network* network, int handle)
    : VRN_nodeVal(network, handle) {
  (void)value_.SetSingleDimension(1);
}

VRN_expectedUtility::VRN_expectedUtility(const VRN_expectedUtility& other,
                                         VRN_network* network)
    : VRN_nodeVal(other, network), value_(other.value_) {}

VRN_expectedUtility::~VRN_expectedUtility() = default;

VRN_nodeVal* VRN_expectedUtility::Clone(VRN_network* target) const {
  return new VRN_expectedUtility(*this, target);
}

int VRN_expectedUtility::GetType() const { return qelta::kValExpectedUtility; }

void VRN_expectedUtility::ClearIndexingParents() {
  VRN_nodeVal::ClearIndexingParents();
  (void)value_.SetSingleDimension(1);
  value_.FillWith(0.0);
}

const VRN_matrix& VRN_expectedUtility::GetValue() const { return value_; }

VRN_matrix& VRN_expectedUtility::GetMutableValue() { return value_; }

void VRN_expectedUtility::StoreEvidence(VRN_evidenceRecord&) const {}

double VRN_expectedUtility::GetMaximum() const {
  const int n = value_.GetItemCount();
  if (n == 0) return 0.0;
  const double* items = value_.GetItems().Items();
  return *std::max_element(items, items + n);
}

double VRN_expectedUtility::GetMinimum() const {
  const int n = value_.GetItemCount();
  if (n == 0) return 0.0;
  const double* items = value_.GetItems().Items();
  return *std::min_element(items, items + n);
}

int VRN_expectedUtility::Rescale(double lo, double hi, double new_lo,
                                 double new_hi) {
  const double own_lo = GetMinimum();
  const double own_hi = GetMaximum();
  if (lo == hi) {
    lo = own_lo;
    hi = own_hi;
  } else {
    lo = std::min(lo, own_lo);
    hi = std::max(hi, own_hi);
  }
  const int n = value_.GetItemCount();
  double* items = value_.GetItems().Items();
  if (lo == hi || new_lo == new_hi) {
    std::fill(items, items + n, new_hi);
    return qelta::kOk;
  }
  if (lo == new_lo && hi == new_hi) return qelta::kOk;
  const double factor = (new_hi - new_lo) / (hi - lo);
  for (int i = 0; i < n; ++i) {
    if (items[i] == qelta::kUndefinedValue) continue;
    items[i] = (items[i] - lo) * factor + new_lo;
  }
  return qelta::kOk;
}
