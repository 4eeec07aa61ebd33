#include "definitions/node_val.h"

#include <cassert>
#include <cmath>
#include <string>

#include "base/error_log.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/discrete_def.h"

namespace {

// Temporal type of plate nodes (the repeated part of a dynamic network).
constexpr int kTemporalPlate = 3;

// Whether likelihoods may be installed; -2 count mismatch, -3 empty or all
// zero, -4 a value outside 0..1.
int CheckLikelihoods(const double* items, int n, int outcome_count,
                     double* sum) {
  if (n < 1) return qelta::kErrNoItem;
  if (n != outcome_count) return qelta::kErrOutOfRange;
  *sum = 0.0;
  for (int i = 0; i < n; ++i) {
    if (!(items[i] >= 0.0 && items[i] <= 1.0)) return qelta::kErrInvalidValue;
    *sum += items[i];
  }
  if (*sum == 0.0) return qelta::kErrNoItem;
  return qelta::kOk;
}

}  // namespace

// ---------------------------------------------------------------- VRN_nodeVal

VRN_nodeVal::VRN_nodeVal(VRN_network* network, int handle)
    : network_(network), handle_(handle) {}

VRN_nodeVal::VRN_nodeVal(const VRN_nodeVal& other, VRN_network* network)
    : network_(network),
      handle_(other.handle_),
      flags_(other.flags_),
      indexing_parents_(other.indexing_parents_),
      update_tag_(other.update_tag_) {
  if ((flags_ & kAnyEvidence) != 0) ReportEvidence();
}

VRN_nodeVal::~VRN_nodeVal() = default;

void VRN_nodeVal::ReportEvidence() const {
  if (network_ != nullptr) network_->NoteEvidenceNode(handle_);
}

int VRN_nodeVal::AddIndexingParent(int handle) {
  VRN_node* node = network_ != nullptr ? network_->GetNode(handle) : nullptr;
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (indexing_parents_.Contains(handle) ||
      node->Value()->GetIndexingParents().Contains(handle_)) {
    return qelta::kOk;
  }
  const int position = indexing_parents_.GetSize();
  const int count = node->Definition()->GetDiscreteOutcomeCount();
  if (count >= 1) {
    const int status = GetMutableValue().InsertDimension(position, count);
    if (status != qelta::kOk) return status;
  }
  indexing_parents_.Add(handle);
  return qelta::kOk;
}

void VRN_nodeVal::ClearIndexingParents() {
  flags_ = 0;
  indexing_parents_.Flush();
}

int VRN_nodeVal::ShapeAsBeliefs(int count) {
  // A list left from an older diagram would name parents (perhaps deleted
  // nodes, or others now in their slots) the matrix has no dimension for.
  if (!indexing_parents_.IsEmpty()) indexing_parents_.Flush();
  VRN_matrix& m = GetMutableValue();
  if (m.GetDimensionCount() == 1 && m.GetSize(0) == count) return qelta::kOk;
  return m.SetSingleDimension(count);
}

int VRN_nodeVal::GetContEvidence(double* out) const {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::GetEvidence() const { return qelta::kErrWrongNodeType; }

const char* VRN_nodeVal::GetEvidenceId() const { return nullptr; }

int VRN_nodeVal::SetEvidenceById(const char* id) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::SetEvidence(int outcome) { return qelta::kErrWrongNodeType; }

int VRN_nodeVal::SetContEvidence(double value) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::ClearEvidence() { return qelta::kErrWrongNodeType; }

int VRN_nodeVal::ClearPropagatedEvidence() { return qelta::kErrWrongNodeType; }

int VRN_nodeVal::SetPropagatedContEvidence(double value) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::SetPropagatedEvidence(int outcome) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::GetVirtualEvidenceArray(VRN_doubleArray* out) const {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::GetVirtualEvidence(std::vector<double>* out) const {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::SetVirtualEvidenceArray(const VRN_doubleArray& likelihoods) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::SetVirtualEvidence(const std::vector<double>& likelihoods) {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::ClearVirtualEvidence() { return qelta::kErrWrongNodeType; }

int VRN_nodeVal::GetMean(double* out) const { return qelta::kErrWrongNodeType; }

int VRN_nodeVal::GetStdDev(double* out) const {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::GetTemporalMeanStdDev(std::vector<double>* means,
                                       std::vector<double>* deviations) const {
  return qelta::kErrWrongNodeType;
}

int VRN_nodeVal::GetTemporalMeanStdDevArrays(
    VRN_doubleArray* means, VRN_doubleArray* deviations) const {
  return qelta::kErrWrongNodeType;
}

VRN_nodeDef* VRN_nodeVal::GetOwnDefinition() const {
  const VRN_node* node =
      network_ != nullptr ? network_->GetNode(handle_) : nullptr;
  return node != nullptr ? node->Definition() : nullptr;
}

VRN_nodeVal* VRN_nodeVal::GetNodeValue(int handle) const {
  const VRN_node* node = network_->GetNode(handle);
  assert(node != nullptr);
  return node->Value();
}

bool VRN_nodeVal::IsPlate() const {
  const VRN_node* node =
      network_ != nullptr ? network_->GetNode(handle_) : nullptr;
  return node != nullptr && node->GetTemporalType() == kTemporalPlate;
}

// ---------------------------------------------------------------- VRN_discVal

VRN_discVal::VRN_discVal(VRN_network* network, int handle)
    : VRN_nodeVal(network, handle) {}

VRN_discVal::VRN_discVal(const VRN_discVal& other, VRN_network* network)
    : VRN_nodeVal(other, network),
      evidence_(other.evidence_),
      evidence_value_(other.evidence_value_),
      has_evidence_value_(other.has_evidence_value_),
      value_(other.value_) {}

VRN_discVal::~VRN_discVal() = default;

const VRN_discDef* VRN_discVal::GetDiscDef() const {
  return dynamic_cast<const VRN_discDef*>(GetOwnDefinition());
}

void VRN_discVal::ClearIndexingParents() {
  const bool had_virtual = HasVirtualEvidence();
  VRN_nodeVal::ClearIndexingParents();
  const VRN_discDef* def = GetDiscDef();
  const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
  if (count >= 1) {
    (void)value_.SetSingleDimension(count);
    value_.FillWith(0.0);
  } else {
    value_.Clean();
  }
  if (had_virtual) AddFlags(qelta::kValFlagVirtual);
}

const VRN_matrix& VRN_discVal::GetValue() const { return value_; }

VRN_matrix& VRN_discVal::GetMutableValue() { return value_; }

int VRN_discVal::GetContEvidence(double* out) const {
  if (!HasEvidence() || !has_evidence_value_) return qelta::kErrWrongNodeType;
  *out = evidence_value_;
  return qelta::kOk;
}

int VRN_discVal::GetEvidence() const {
  return HasEvidence() ? evidence_ : qelta::kErrOutOfRange;
}

const char* VRN_discVal::GetEvidenceId() const {
  const int outcome = GetEvidence();
  const VRN_discDef* def = GetDiscDef();
  if (outcome < 0 || def == nullptr) return nullptr;
  return def->GetOutcomesNames()->Get(outcome);
}

int VRN_discVal::SetEvidenceById(const char* id) {
  const VRN_discDef* def = GetDiscDef();
  const int outcome =
      def != nullptr ? def->GetOutcomesNames()->FindString(id) : -1;
  if (outcome < 0) return qelta::kErrIllegalIdentifier;
  return SetEvidence(outcome);
}

int VRN_discVal::SetEvidence(int outcome) {
  return SetEvidenceFrom(outcome, false);
}

int VRN_discVal::SetContEvidence(double value) {
  const VRN_discDef* def = GetDiscDef();
  if (def == nullptr) return qelta::kErrWrongNodeType;
  const int outcome = def->GetIntervalIndex(value);
  if (outcome < 0) return outcome;
  const int status = SetEvidenceFrom(outcome, true);
  if (status == qelta::kOk) evidence_value_ = value;
  return status;
}

void VRN_discVal::SetPointMass(int outcome, int outcome_count) {
  // Evidence decides the node's outcome whatever other nodes are.
  ClearFlags(qelta::kValFlagUtilities);
  (void)ShapeAsBeliefs(outcome_count);
  value_.FillWith(0.0);
  *value_.ItemAddress(outcome) = 1.0;
  // A plate node's value is valid only with a row for every slice, which
  // the next update gives.
  if (IsPlate()) Invalidate();
}

int VRN_discVal::SetEvidenceFrom(int outcome, bool from_value) {
  VRN_autoUpdateGuard guard(GetNetwork());
  const VRN_discDef* def = GetDiscDef();
  const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
  // A bad outcome is refused before anything is cleared.
  if (outcome < 0 || outcome >= count) return qelta::kErrOutOfRange;
  // The checks below read implied evidence, which must be current.
  if (GetNetwork() != nullptr) (void)GetNetwork()->EvidenceOf(GetHandle());
  if (HasFlags(qelta::kValFlagPropagated) &&
      !HasFlags(qelta::kValFlagEvidence) && evidence_ != outcome) {
    return RefuseImpliedConflict(outcome);
  }
  // Whatever refuses the new evidence below puts this back.
  VRN_evidenceRecord before(GetNetwork(), GetHandle());
  StoreEvidence(before);
  if (HasFlags(qelta::kValFlagEvidence)) (void)ClearEvidence();
  // Clearing rebuilt the implied evidence, which may now name this node,
  // or left it stale (its hook off): what the new outcome implies below is
  // derived from current implied evidence only.
  VRN_network* network = GetNetwork();
  if (network != nullptr && network->IsRelevanceReasoning()) {
    network->RefreshImpliedEvidence();
  }
  if (HasFlags(qelta::kValFlagPropagated) && evidence_ != outcome) {
    const int implied = evidence_;
    RestoreEvidence(before);
    return RefuseImpliedConflict(outcome, implied);
  }
  (void)DropVirtualEvidence();
  has_evidence_value_ = from_value;
  evidence_ = outcome;
  AddFlags(qelta::kValFlagEvidence | qelta::kValFlagValid);
  ClearFlags(qelta::kValFlagPropagated);
  SetUpdateTag(0);
  SetPointMass(outcome, count);
  if (network != nullptr) {
    const int status = network->CheckImpossibleEvidence(GetHandle());
    if (status != qelta::kOk) {
      (void)ClearEvidence();
      RestoreEvidence(before);
      return status;
    }
  }
  return qelta::kOk;
}

int VRN_discVal::RefuseImpliedConflict(int outcome, int implied) const {
  if (implied < 0) implied = evidence_;
  VRN_network* network = GetNetwork();
  const VRN_node* node = network != nullptr ? network->GetNode(GetHandle()) : nullptr;
  const VRN_discDef* def = GetDiscDef();
  if (node == nullptr || def == nullptr) return qelta::kErrEvidenceConflict;
  // Interval outcomes have no identifiers: they go by their index.
  auto name = [def](int i) {
    const char* id = def->GetOutcomesNames()->Get(i);
    return id != nullptr && id[0] != '\0' ? std::string(id) : "#" + std::to_string(i);
  };
  return network->ErrorLog()->Logf(
      qelta::kErrEvidenceConflict,
      "Evidence [%s] on node [%s] contradicts the evidence entered, which "
      "implies its outcome [%s]",
      name(outcome).c_str(), node->GetId(), name(implied).c_str());
}

void VRN_discVal::RestoreEvidence(const VRN_evidenceRecord& record) {
  // The checks that refused the new outcome may refuse the old one too
  // (tables edited since it was entered, or evidence entered with the
  // bookkeeping off): it goes back as it was, unchecked, and what it
  // implies is derived again before it is next read.
  switch (record.kind) {
    case qelta::kEvidenceOutcome:
    case qelta::kEvidenceOutcomeAndValue: {
      const VRN_discDef* def = GetDiscDef();
      const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
      if (record.outcome < 0 || record.outcome >= count) break;
      if (HasFlags(qelta::kValFlagEvidence)) (void)ClearEvidence();
      (void)ClearPropagatedEvidence();
      (void)DropVirtualEvidence();
      has_evidence_value_ = record.kind == qelta::kEvidenceOutcomeAndValue;
      if (has_evidence_value_) evidence_value_ = record.value;
      evidence_ = record.outcome;
      AddFlags(qelta::kValFlagEvidence | qelta::kValFlagValid);
      SetUpdateTag(0);
      SetPointMass(record.outcome, count);
      VRN_network* network = GetNetwork();
      if (network != nullptr) {
        network->SetImpliedEvidenceStale(true);
        (void)network->InvalidateValues();
      }
      break;
    }
    case qelta::kEvidenceVirtual:
      (void)SetVirtualEvidence(record.soft_evidence);
      break;
    default:
      break;
  }
}

int VRN_discVal::DropVirtualEvidence() { return qelta::kErrNoItem; }

void VRN_discVal::AdoptObservedEvidence(int outcome, int outcome_count) {
  SetPointMass(outcome, outcome_count);
  evidence_ = outcome;
  AddFlags(qelta::kValFlagEvidence);
  ClearFlags(qelta::kValFlagValid);
}

void VRN_discVal::ValidateObservation() {
  if (!HasFlags(qelta::kValFlagEvidence) || IsValueValid() || IsPlate()) return;
  const VRN_discDef* def = GetDiscDef();
  const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
  if (evidence_ < 0 || evidence_ >= count) return;
  SetPointMass(evidence_, count);
  AddFlags(qelta::kValFlagValid);
}

int VRN_discVal::ClearEvidence() {
  VRN_network* network = GetNetwork();
  if (HasFlags(qelta::kValFlagEvidence)) {
    VRN_autoUpdateGuard guard(network);
    ClearFlags(qelta::kValFlagEvidence | qelta::kValFlagValid |
               qelta::kValFlagRoot);
    evidence_ = -1;
    has_evidence_value_ = false;
    SetUpdateTag(0);
    if (network != nullptr) (void)network->OnNodeValueChange(GetHandle());
    return qelta::kOk;
  }
  if (HasFlags(qelta::kValFlagVirtual)) {
    // Clearing the likelihoods tells the network.
    (void)ClearVirtualEvidence();
    return qelta::kOk;
  }
  return qelta::kErrOutOfRange;
}

int VRN_discVal::ClearPropagatedEvidence() {
  if (!HasFlags(qelta::kValFlagPropagated)) return qelta::kErrOutOfRange;
  ClearFlags(qelta::kValFlagValid | qelta::kValFlagPropagated);
  evidence_ = -1;
  SetUpdateTag(0);
  return qelta::kOk;
}

int VRN_discVal::SetPropagatedEvidence(int outcome) {
  if (HasEvidence()) return qelta::kErrOutOfRange;
  const VRN_discDef* def = GetDiscDef();
  const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
  if (outcome < 0 || outcome >= count) return qelta::kErrOutOfRange;
  // Likelihoods are the user's data and stay beside the implied outcome:
  // they still weigh it (the probability of evidence counts the likelihood
  // of that outcome) and apply again once the implication is gone.
  evidence_ = outcome;
  has_evidence_value_ = false;
  AddFlags(qelta::kValFlagValid | qelta::kValFlagPropagated);
  SetUpdateTag(0);
  SetPointMass(outcome, count);
  return qelta::kOk;
}

int VRN_discVal::RefuseUtilities() const {
  VRN_network* network = GetNetwork();
  const VRN_node* node =
      network != nullptr ? network->GetNode(GetHandle()) : nullptr;
  if (node == nullptr) return qelta::kErrWrongNodeType;
  return network->ErrorLog()->Logf(
      qelta::kErrWrongNodeType,
      "Node [%s] holds the expected utilities of its choices, not their "
      "probabilities: it has no mean or standard deviation",
      node->GetId());
}

int VRN_discVal::GetMean(double* out) const {
  if (!IsValueValid()) return qelta::kErrInvalidValue;
  if (HasFlags(qelta::kValFlagUtilities)) return RefuseUtilities();
  const VRN_discDef* def = GetDiscDef();
  if (def == nullptr) return qelta::kErrWrongNodeType;
  return def->CalculateMean(value_, out);
}

int VRN_discVal::GetStdDev(double* out) const {
  if (!IsValueValid()) return qelta::kErrInvalidValue;
  if (HasFlags(qelta::kValFlagUtilities)) return RefuseUtilities();
  const VRN_discDef* def = GetDiscDef();
  if (def == nullptr) return qelta::kErrWrongNodeType;
  return def->CalculateStdDev(value_, out);
}

int VRN_discVal::GetTemporalMeanStdDev(std::vector<double>* means,
                                       std::vector<double>* deviations) const {
  if (!IsPlate()) return qelta::kErrWrongNodeType;
  if (!IsValueValid()) return qelta::kErrInvalidValue;
  if (HasFlags(qelta::kValFlagUtilities)) return RefuseUtilities();
  const VRN_discDef* def = GetDiscDef();
  if (def == nullptr) return qelta::kErrWrongNodeType;
  // Rows are slices, columns the outcomes.
  const int count = def->GetNumberOfOutcomes();
  if (value_.GetDimensionCount() != 2 || value_.GetSize(1) != count) {
    return qelta::kErrOutOfRange;
  }
  const int slices = value_.GetSize(0);
  means->assign(slices, 0.0);
  deviations->assign(slices, 0.0);
  VRN_matrix row;
  (void)row.SetSingleDimension(count);
  int result = qelta::kOk;
  for (int s = 0; s < slices; ++s) {
    row.SetItemsFromBuffer(value_.GetItems().Items() + s * count);
    int status = def->CalculateMean(row, &(*means)[s]);
    if (result == qelta::kOk) result = status;
    status = def->CalculateStdDev(row, &(*deviations)[s]);
    if (result == qelta::kOk) result = status;
  }
  return result;
}

int VRN_discVal::GetTemporalMeanStdDevArrays(VRN_doubleArray* means,
                                             VRN_doubleArray* deviations) const {
  std::vector<double> m;
  std::vector<double> d;
  const int status = GetTemporalMeanStdDev(&m, &d);
  means->Flush();
  deviations->Flush();
  for (double v : m) means->Add(v);
  for (double v : d) deviations->Add(v);
  return status;
}

void VRN_discVal::StoreEvidence(VRN_evidenceRecord& record) const {
  // Only observed evidence moves: implied (propagated) evidence belongs to
  // the network's bookkeeping, which rebuilds it after the change.
  if (!HasFlags(qelta::kValFlagEvidence)) return;
  record.outcome = evidence_;
  if (has_evidence_value_) {
    record.kind = qelta::kEvidenceOutcomeAndValue;
    record.value = evidence_value_;
  } else {
    record.kind = qelta::kEvidenceOutcome;
  }
}

namespace {

// The value matrix follows an outcome edit on its last dimension, when that
// dimension still has the count from before the edit.
bool LastDimensionHas(const VRN_matrix& m, int size) {
  const int dims = m.GetDimensionCount();
  return dims > 0 && m.GetSize(dims - 1) == size;
}

}  // namespace

bool VRN_discVal::DropNumberOutsideOutcome() {
  if (!HasEvidence() || !has_evidence_value_) return false;
  const VRN_discDef* def = GetDiscDef();
  if (def != nullptr && def->HasIntervals() &&
      def->GetIntervalIndex(evidence_value_) == evidence_) {
    return false;
  }
  has_evidence_value_ = false;
  return true;
}

bool VRN_discVal::OnOwnOutcomeInserted(int position, int new_count) {
  if (HasEvidence() && evidence_ >= position) ++evidence_;
  if (LastDimensionHas(value_, new_count - 1)) {
    const int last = value_.GetDimensionCount() - 1;
    if (value_.AddOutcome(last) != qelta::kOk ||
        value_.ShiftOutcomesUpAndFill(last, position, 0.0) != qelta::kOk) {
      value_.Clean();
      Invalidate();
    }
  }
  if (HasEvidence()) SetPointMass(evidence_, new_count);
  // A split interval may leave the number to the new outcome.
  (void)DropNumberOutsideOutcome();
  return false;
}

bool VRN_discVal::OnOwnOutcomeRemoved(int index, int new_count) {
  bool dropped = false;
  if (HasEvidence() && evidence_ == index) {
    if (HasFlags(qelta::kValFlagEvidence)) {
      ClearFlags(qelta::kValFlagEvidence | qelta::kValFlagRoot);
      has_evidence_value_ = false;
      dropped = true;
    }
    ClearFlags(qelta::kValFlagPropagated);
    evidence_ = -1;
  } else if (HasEvidence() && evidence_ > index) {
    --evidence_;
  }
  if (LastDimensionHas(value_, new_count + 1)) {
    const int last = value_.GetDimensionCount() - 1;
    if (value_.ShiftOutcomesDown(last, index) != qelta::kOk ||
        value_.RemoveLastOutcome(last) != qelta::kOk) {
      value_.Clean();
    }
  }
  if (HasEvidence()) {
    SetPointMass(evidence_, new_count);
  } else {
    Invalidate();  // the remaining beliefs no longer sum to one
  }
  return dropped;
}

void VRN_discVal::OnOwnOutcomesReordered(const VRN_intArray& order) {
  if (HasEvidence()) evidence_ = order.FindPosition(evidence_);
  // The intervals stay where they are: the outcome moves to another one.
  (void)DropNumberOutsideOutcome();
  if (LastDimensionHas(value_, order.GetSize())) {
    const int last = value_.GetDimensionCount() - 1;
    if (value_.ChangeOrderWithinDimension(last, order) != qelta::kOk) {
      value_.Clean();
      Invalidate();
    }
  }
}

// ----------------------------------------------------------- VRN_beliefVector

VRN_beliefVector::VRN_beliefVector(VRN_network* network, int handle)
    : VRN_discVal(network, handle) {}

VRN_beliefVector::VRN_beliefVector(const VRN_discDef& definition,
                                   const VRN_evidenceRecord& record)
    : VRN_discVal(definition.GetNetwork(), definition.GetHandle()) {
  const int count = definition.GetNumberOfOutcomes();
  switch (record.kind) {
    case qelta::kEvidenceOutcome:
    case qelta::kEvidenceOutcomeAndValue:
      if (count >= 2 && record.outcome >= 0 && record.outcome < count) {
        AdoptObservedEvidence(record.outcome, count);
        if (record.kind == qelta::kEvidenceOutcomeAndValue &&
            definition.HasIntervals()) {
          evidence_value_ = record.value;
          has_evidence_value_ = true;
        }
      }
      break;
    case qelta::kEvidenceVirtual:
      if (static_cast<int>(record.soft_evidence.size()) == count) {
        virtual_evidence_ =
            std::make_unique<std::vector<double>>(record.soft_evidence);
        AddFlags(qelta::kValFlagVirtual);
      }
      break;
    default:
      break;
  }
}

VRN_beliefVector::VRN_beliefVector(const VRN_beliefVector& other,
                                   VRN_network* network)
    : VRN_discVal(other, network) {
  if (other.virtual_evidence_ != nullptr) {
    virtual_evidence_ =
        std::make_unique<std::vector<double>>(*other.virtual_evidence_);
  }
}

VRN_beliefVector::~VRN_beliefVector() = default;

VRN_nodeVal* VRN_beliefVector::Clone(VRN_network* target) const {
  return new VRN_beliefVector(*this, target);
}

int VRN_beliefVector::GetType() const { return qelta::kValBeliefVector; }

int VRN_beliefVector::GetVirtualEvidenceArray(VRN_doubleArray* out) const {
  if (!HasVirtualEvidence() || virtual_evidence_ == nullptr) {
    return qelta::kErrOutOfRange;
  }
  out->Flush();
  for (double v : *virtual_evidence_) out->Add(v);
  return qelta::kOk;
}

int VRN_beliefVector::GetVirtualEvidence(std::vector<double>* out) const {
  if (!HasVirtualEvidence() || virtual_evidence_ == nullptr) {
    return qelta::kErrOutOfRange;
  }
  *out = *virtual_evidence_;
  return qelta::kOk;
}

int VRN_beliefVector::SetVirtualEvidenceArray(
    const VRN_doubleArray& likelihoods) {
  return SetVirtualEvidence(
      std::vector<double>(likelihoods.begin(), likelihoods.end()));
}

int VRN_beliefVector::SetVirtualEvidence(
    const std::vector<double>& likelihoods) {
  const VRN_discDef* def = GetDiscDef();
  const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
  double sum = 0.0;
  const int check = CheckLikelihoods(
      likelihoods.data(), static_cast<int>(likelihoods.size()), count, &sum);
  if (check != qelta::kOk) return check;

  VRN_network* network = GetNetwork();
  VRN_autoUpdateGuard guard(network);
  if (HasEvidence()) (void)ClearEvidence();
  auto stored = std::make_unique<std::vector<double>>(likelihoods);
  if (std::fabs(sum - 1.0) > 5e-6) {
    for (double& v : *stored) v /= sum;
  }
  virtual_evidence_ = std::move(stored);
  AddFlags(qelta::kValFlagVirtual);
  SetUpdateTag(0);
  return network != nullptr ? network->OnStructureChange() : qelta::kOk;
}

int VRN_beliefVector::ClearVirtualEvidence() {
  if (!HasVirtualEvidence()) return qelta::kErrNoItem;
  VRN_network* network = GetNetwork();
  VRN_autoUpdateGuard guard(network);
  (void)DropVirtualEvidence();
  // Values computed under the likelihoods are no longer right.
  return network != nullptr ? network->OnStructureChange() : qelta::kOk;
}

int VRN_beliefVector::DropVirtualEvidence() {
  if (!HasVirtualEvidence()) return qelta::kErrNoItem;
  VRN_autoUpdateGuard guard(GetNetwork());
  virtual_evidence_.reset();
  ClearFlags(qelta::kValFlagVirtual | qelta::kValFlagValid);
  SetUpdateTag(0);
  // An implied outcome still holds: its point mass stays the value. One
  // whose cause may have gone stays invalid until it is derived again.
  const VRN_discDef* def = GetDiscDef();
  const int count = def != nullptr ? def->GetNumberOfOutcomes() : 0;
  VRN_network* network = GetNetwork();
  if (HasFlags(qelta::kValFlagPropagated) && evidence_ >= 0 &&
      evidence_ < count &&
      (network == nullptr || !network->IsImpliedEvidenceStale())) {
    SetPointMass(evidence_, count);
    AddFlags(qelta::kValFlagValid);
  }
  return qelta::kOk;
}

void VRN_beliefVector::StoreEvidence(VRN_evidenceRecord& record) const {
  VRN_discVal::StoreEvidence(record);
  if (HasVirtualEvidence() && virtual_evidence_ != nullptr) {
    record.kind = qelta::kEvidenceVirtual;
    record.soft_evidence = *virtual_evidence_;
  }
}

bool VRN_beliefVector::OnOwnOutcomeInserted(int position, int new_count) {
  if (virtual_evidence_ != nullptr &&
      position <= static_cast<int>(virtual_evidence_->size())) {
    virtual_evidence_->insert(virtual_evidence_->begin() + position, 0.0);
  }
  return VRN_discVal::OnOwnOutcomeInserted(position, new_count);
}

bool VRN_beliefVector::OnOwnOutcomeRemoved(int index, int new_count) {
  bool dropped = false;
  if (virtual_evidence_ != nullptr &&
      index < static_cast<int>(virtual_evidence_->size())) {
    std::vector<double>& likelihoods = *virtual_evidence_;
    likelihoods.erase(likelihoods.begin() + index);
    double sum = 0.0;
    for (double v : likelihoods) sum += v;
    if (sum == 0.0) {
      // Only the removed outcome was possible: nothing is left to weigh.
      virtual_evidence_.reset();
      ClearFlags(qelta::kValFlagVirtual);
      dropped = true;
    } else if (std::fabs(sum - 1.0) > 5e-6) {
      for (double& v : likelihoods) v /= sum;
    }
  }
  const bool observed_dropped =
      VRN_discVal::OnOwnOutcomeRemoved(index, new_count);
  return dropped || observed_dropped;
}

void VRN_beliefVector::OnOwnOutcomesReordered(const VRN_intArray& order) {
  if (virtual_evidence_ != nullptr &&
      order.GetSize() == static_cast<int>(virtual_evidence_->size())) {
    std::vector<double> permuted(virtual_evidence_->size());
    for (int j = 0; j < order.GetSize(); ++j) {
      permuted[j] = (*virtual_evidence_)[order[j]];
    }
    virtual_evidence_->swap(permuted);
  }
  VRN_discVal::OnOwnOutcomesReordered(order);
}
