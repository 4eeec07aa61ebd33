// Case records and the network's case list.
#include "network/cases.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>

#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"

namespace {

constexpr int kPlateType = 3;

// Position of old outcome `outcome` in the reordered list; -1 when absent.
int NewPosition(const VRN_intArray& order, int outcome) {
  for (int j = 0; j < order.GetSize(); ++j) {
    if (order[j] == outcome) return j;
  }
  return -1;
}

}  // namespace

// ---------------------------------------------------------------- VRN_case

VRN_case::VRN_case(VRN_network* network) : network_(network) {}

VRN_case::VRN_case(VRN_network* network, const VRN_case& source)
    : network_(network),
      name_(source.name_),
      description_(source.description_),
      category_(source.category_),
      created_(source.created_),
      modified_(source.modified_),
      nodes_(source.nodes_),
      evidence_(source.evidence_) {}

int VRN_case::SetName(const char* name) {
  if (name == nullptr || name[0] == '\0') return qelta::kErrIllegalIdentifier;
  const VRN_caseList* list = network_ != nullptr ? network_->Cases() : nullptr;
  if (list != nullptr) {
    for (int i = 0; i < list->GetNumberOfCases(); ++i) {
      const VRN_case* other = list->GetCase(i);
      if (other != this && other->name_ == name) {
        return qelta::kErrDuplicatedIdentifier;
      }
    }
  }
  name_ = name;
  return qelta::kOk;
}

void VRN_case::SetDescription(const char* text) {
  description_ = text != nullptr ? text : "";
}

void VRN_case::SetCategory(const char* text) {
  category_ = text != nullptr ? text : "";
}

int VRN_case::FindEntry(int h) const {
  for (size_t i = 0; i < evidence_.size(); ++i) {
    if (evidence_[i].node == h) return static_cast<int>(i);
  }
  return -1;
}

int VRN_case::OutcomeCount(int h) const {
  const VRN_node* node = network_->GetNode(h);
  if (node == nullptr) return qelta::kErrOutOfRange;
  return node->Definition()->GetNumberOfOutcomes();
}

bool VRN_case::IsPlate(int h) const {
  const VRN_node* node = network_->GetNode(h);
  return node != nullptr && node->GetTemporalType() == kPlateType;
}

int VRN_case::AddEvidence(int h) {
  if (network_ == nullptr || !network_->IsValidHandle(h)) {
    return qelta::kErrOutOfRange;
  }
  if (FindEntry(h) >= 0) return qelta::kErrDuplicatedIdentifier;
  VRN_caseEvidence entry;
  entry.node = h;
  evidence_.push_back(std::move(entry));
  return qelta::kOk;
}

int VRN_case::SetEvidence(int h, int outcome) {
  int status = AddEvidence(h);
  if (status != qelta::kOk) return status;
  VRN_caseEvidence& entry = evidence_.back();
  if (outcome < 0 || outcome >= OutcomeCount(h)) {
    // A half-made entry would carry no evidence; it must not stay.
    evidence_.pop_back();
    return qelta::kErrOutOfRange;
  }
  entry.kind = qelta::kCaseOutcome;
  entry.outcome = outcome;
  return qelta::kOk;
}

int VRN_case::SetContEvidence(int h, double value) {
  // An equation node refuses such a value, so the case could never apply.
  const VRN_node* node = network_ != nullptr ? network_->GetNode(h) : nullptr;
  if (node != nullptr &&
      node->Definition()->GetType() == qelta::kDefEquation &&
      !std::isfinite(value)) {
    return qelta::kErrInvalidValue;
  }
  int status = AddEvidence(h);
  if (status != qelta::kOk) return status;
  VRN_caseEvidence& entry = evidence_.back();
  entry.kind = qelta::kCaseValue;
  entry.value = value;
  return qelta::kOk;
}

int VRN_case::SetVirtualEvidence(int h, const std::vector<double>& values) {
  // No file could carry such a vector, and no node takes it as evidence.
  for (double value : values) {
    if (!std::isfinite(value)) return qelta::kErrInvalidValue;
  }
  int status = AddEvidence(h);
  if (status != qelta::kOk) return status;
  if (static_cast<int>(values.size()) != OutcomeCount(h)) {
    evidence_.pop_back();
    return qelta::kErrOutOfRange;
  }
  VRN_caseEvidence& entry = evidence_.back();
  entry.kind = qelta::kCaseSoft;
  entry.softEvidence = values;
  return qelta::kOk;
}

int VRN_case::SetTemporalEvidence(int h, int outcome, int slice) {
  const int index = FindEntry(h);
  if (index < 0) {
    int status = AddEvidence(h);
    if (status != qelta::kOk) return status;
    if (slice < 0 || outcome < 0 || outcome >= OutcomeCount(h)) {
      evidence_.pop_back();
      return slice < 0 ? qelta::kErrInvalidValue : qelta::kErrOutOfRange;
    }
    VRN_caseEvidence& entry = evidence_.back();
    entry.kind = qelta::kCaseTemporal;
    entry.slices.emplace_back(slice, outcome);
    return qelta::kOk;
  }
  VRN_caseEvidence& entry = evidence_[index];
  // Turning another kind of evidence into per-slice evidence would silently
  // throw that evidence away.
  if (entry.kind != qelta::kCaseTemporal) {
    return qelta::kErrDuplicatedIdentifier;
  }
  if (slice < 0) return qelta::kErrInvalidValue;
  if (outcome < 0 || outcome >= OutcomeCount(h)) return qelta::kErrOutOfRange;
  for (const auto& pair : entry.slices) {
    if (pair.first == slice) return qelta::kErrDuplicatedIdentifier;
  }
  entry.slices.emplace_back(slice, outcome);
  return qelta::kOk;
}

int VRN_case::GetEvidenceNode(int i) const {
  if (i < 0 || i >= GetNumberOfEvidence()) return qelta::kErrOutOfRange;
  return evidence_[i].node;
}

int VRN_case::GetEvidence(int i, int& node, int& outcome) const {
  if (i < 0 || i >= GetNumberOfEvidence()) return qelta::kErrOutOfRange;
  const VRN_caseEvidence& entry = evidence_[i];
  if (entry.kind != qelta::kCaseOutcome) return qelta::kErrWrongNodeType;
  node = entry.node;
  outcome = entry.outcome;
  return qelta::kOk;
}

int VRN_case::GetContEvidence(int i, int& node, double& value) const {
  if (i < 0 || i >= GetNumberOfEvidence()) return qelta::kErrOutOfRange;
  const VRN_caseEvidence& entry = evidence_[i];
  if (entry.kind != qelta::kCaseValue) return qelta::kErrWrongNodeType;
  node = entry.node;
  value = entry.value;
  return qelta::kOk;
}

int VRN_case::GetVirtualEvidence(int i, int& node,
                                 std::vector<double>& values) const {
  if (i < 0 || i >= GetNumberOfEvidence()) return qelta::kErrOutOfRange;
  const VRN_caseEvidence& entry = evidence_[i];
  if (entry.kind != qelta::kCaseSoft) return qelta::kErrWrongNodeType;
  node = entry.node;
  values = entry.softEvidence;
  return qelta::kOk;
}

int VRN_case::GetTemporalEvidence(
    int i, int& node, std::vector<std::pair<int, int>>& slices) const {
  if (i < 0 || i >= GetNumberOfEvidence()) return qelta::kErrOutOfRange;
  const VRN_caseEvidence& entry = evidence_[i];
  if (entry.kind != qelta::kCaseTemporal) return qelta::kErrWrongNodeType;
  node = entry.node;
  slices = entry.slices;
  return qelta::kOk;
}

int VRN_case::AddNode(int h) {
  if (network_ == nullptr || !network_->IsValidHandle(h)) {
    return qelta::kErrOutOfRange;
  }
  if (!nodes_.Contains(h)) nodes_.Add(h);
  return qelta::kOk;
}

int VRN_case::GetNode(int i) const {
  if (i < 0 || i >= nodes_.GetSize()) return qelta::kErrOutOfRange;
  return nodes_[i];
}

// ------------------------------------------------------- edit notifications

void VRN_case::OnNodeDeleted(int h) {
  const int index = FindEntry(h);
  if (index >= 0) evidence_.erase(evidence_.begin() + index);
  (void)nodes_.DeleteByContent(h);
}

// Outcome indices are remapped whatever the node's temporal type: an entry
// holds either an outcome or slice pairs, and touching both keeps an entry
// made before a type change in step as well.
void VRN_case::OnOutcomeInserted(int h, int position) {
  const int index = FindEntry(h);
  if (index < 0) return;
  VRN_caseEvidence& entry = evidence_[index];
  for (auto& pair : entry.slices) {
    if (pair.second >= position) ++pair.second;
  }
  if (entry.kind == qelta::kCaseSoft) {
    const size_t at = std::min(static_cast<size_t>(position),
                               entry.softEvidence.size());
    entry.softEvidence.insert(entry.softEvidence.begin() + at, 0.0);
  } else if (entry.outcome >= position) {
    ++entry.outcome;
  }
}

void VRN_case::OnOutcomeDeleted(int h, int position) {
  const int index = FindEntry(h);
  if (index < 0) return;
  VRN_caseEvidence& entry = evidence_[index];
  for (int k = static_cast<int>(entry.slices.size()) - 1; k >= 0; --k) {
    int& outcome = entry.slices[k].second;
    if (outcome == position) {
      entry.slices.erase(entry.slices.begin() + k);
    } else if (outcome > position) {
      --outcome;
    }
  }
  bool drop = entry.kind == qelta::kCaseTemporal && entry.slices.empty();
  if (entry.kind == qelta::kCaseSoft) {
    // The vector keeps one value per outcome.
    if (position >= 0 &&
        position < static_cast<int>(entry.softEvidence.size())) {
      entry.softEvidence.erase(entry.softEvidence.begin() + position);
    }
  } else if (entry.outcome == position) {
    drop = true;
  } else if (entry.outcome > position) {
    --entry.outcome;
  }
  if (drop) evidence_.erase(evidence_.begin() + index);
}

void VRN_case::OnOutcomesReordered(int h, const VRN_intArray& order) {
  const int index = FindEntry(h);
  if (index < 0) return;
  VRN_caseEvidence& entry = evidence_[index];
  bool lost = false;  // evidence on an outcome that the order leaves out
  for (auto& pair : entry.slices) {
    pair.second = NewPosition(order, pair.second);
    if (pair.second < 0) lost = true;
  }
  if (entry.kind == qelta::kCaseOutcome) {
    entry.outcome = NewPosition(order, entry.outcome);
    if (entry.outcome < 0) lost = true;
  } else if (entry.kind == qelta::kCaseSoft) {
    if (order.GetSize() == static_cast<int>(entry.softEvidence.size()) &&
        order.IsPermutation()) {
      std::vector<double> permuted(entry.softEvidence.size());
      for (int j = 0; j < order.GetSize(); ++j) {
        permuted[j] = entry.softEvidence[order[j]];
      }
      entry.softEvidence.swap(permuted);
    } else {
      lost = true;
    }
  }
  if (lost) evidence_.erase(evidence_.begin() + index);
}

void VRN_case::OnTemporalTypeChanged(int h, int oldType) {
  const int index = FindEntry(h);
  if (index < 0) return;
  VRN_caseEvidence& entry = evidence_[index];
  const bool now_plate = IsPlate(h);
  if (oldType != kPlateType && now_plate) {
    // The observed outcome becomes the outcome of the first slice.
    if (entry.kind == qelta::kCaseOutcome) {
      entry.kind = qelta::kCaseTemporal;
      entry.slices.assign(1, std::make_pair(0, entry.outcome));
      entry.outcome = -1;
    }
  } else if (oldType == kPlateType && !now_plate) {
    if (entry.kind == qelta::kCaseTemporal) LeaveTimeSlices(index);
  }
}

void VRN_case::LeaveTimeSlices(int index) {
  VRN_caseEvidence& entry = evidence_[index];
  int outcome = -1;
  for (const auto& pair : entry.slices) {
    if (pair.first == 0) {
      outcome = pair.second;
      break;
    }
  }
  entry.slices.clear();
  if (outcome < 0) {
    evidence_.erase(evidence_.begin() + index);
  } else {
    entry.kind = qelta::kCaseOutcome;
    entry.outcome = outcome;
  }
}

void VRN_case::OnDefinitionTypeChanged(int h, int newType) {
  const int index = FindEntry(h);
  if (index < 0) return;
  const VRN_caseEvidence& entry = evidence_[index];
  bool keep = false;
  if (newType == qelta::kDefEquation) {
    // An equation node takes only a finite number (as SetContEvidence).
    keep = entry.kind == qelta::kCaseValue && std::isfinite(entry.value);
  } else {
    // A new definition may have other outcomes (qualitative ones have
    // exactly two), so every index must still point at one. A number names
    // no outcome: it is taken as the one whose interval holds it, as if
    // entered after the change.
    const int count = OutcomeCount(h);
    if (count >= 2) {
      switch (entry.kind) {
        case qelta::kCaseValue:
          keep = true;
          break;
        case qelta::kCaseOutcome:
          keep = entry.outcome >= 0 && entry.outcome < count;
          break;
        case qelta::kCaseSoft:
          keep = static_cast<int>(entry.softEvidence.size()) == count;
          break;
        case qelta::kCaseTemporal:
          keep = std::all_of(
              entry.slices.begin(), entry.slices.end(),
              [count](const std::pair<int, int>& pair) {
                return pair.second >= 0 && pair.second < count;
              });
          break;
        default:
          keep = false;
      }
    }
  }
  if (!keep) evidence_.erase(evidence_.begin() + index);
}

// ------------------------------------------------------------ VRN_caseList

VRN_caseList::VRN_caseList(VRN_network* network) : network_(network) {}

VRN_caseList::VRN_caseList(VRN_network* network, const VRN_caseList& source)
    : network_(network), propagate_(source.propagate_) {
  try {
    cases_.reserve(source.cases_.size());
    for (const VRN_case* item : source.cases_) {
      cases_.push_back(new VRN_case(network, *item));
    }
  } catch (...) {
    DeleteAllCases();
    throw;
  }
}

VRN_caseList::~VRN_caseList() { DeleteAllCases(); }

VRN_case* VRN_caseList::AddCase(const char* name) {
  // SetName compares with the cases of the network's own list.
  assert(network_ != nullptr && network_->Cases() == this);
  auto item = std::make_unique<VRN_case>(network_);
  if (item->SetName(name) != qelta::kOk) return nullptr;
  cases_.push_back(item.get());
  return item.release();
}

VRN_case* VRN_caseList::GetCase(int i) const {
  if (i < 0 || i >= GetNumberOfCases()) return nullptr;
  return cases_[i];
}

void VRN_caseList::DeleteAllCases() {
  for (VRN_case* item : cases_) delete item;
  cases_.clear();
}

const VRN_case* VRN_caseList::FindOutcomeEvidence(int h) const {
  for (const VRN_case* item : cases_) {
    for (const VRN_caseEvidence& entry : item->evidence_) {
      if (entry.node == h && (entry.kind == qelta::kCaseOutcome ||
                              entry.kind == qelta::kCaseTemporal)) {
        return item;
      }
    }
  }
  return nullptr;
}

void VRN_caseList::OnNodeDeleted(int h) {
  if (!IsPropagating()) return;
  for (VRN_case* item : cases_) item->OnNodeDeleted(h);
}

void VRN_caseList::OnOutcomeInserted(int h, int position) {
  if (!IsPropagating()) return;
  for (VRN_case* item : cases_) item->OnOutcomeInserted(h, position);
}

void VRN_caseList::OnOutcomeDeleted(int h, int position) {
  if (!IsPropagating()) return;
  for (VRN_case* item : cases_) item->OnOutcomeDeleted(h, position);
}

void VRN_caseList::OnOutcomesReordered(int h, const VRN_intArray& order) {
  if (!IsPropagating()) return;
  for (VRN_case* item : cases_) item->OnOutcomesReordered(h, order);
}

void VRN_caseList::OnTemporalTypeChanged(int h, int oldType) {
  if (!IsPropagating()) return;
  const VRN_node* node = network_->GetNode(h);
  if (node == nullptr) return;
  if (oldType != kPlateType && node->GetTemporalType() != kPlateType) return;
  for (VRN_case* item : cases_) item->OnTemporalTypeChanged(h, oldType);
}

void VRN_caseList::OnDefinitionTypeChanged(int h, int newType) {
  if (!IsPropagating()) return;
  for (VRN_case* item : cases_) item->OnDefinitionTypeChanged(h, newType);
}

void VRN_caseList::DropTimeSlices() {
  for (VRN_case* item : cases_) {
    for (int i = item->GetNumberOfEvidence() - 1; i >= 0; --i) {
      if (item->evidence_[i].kind == qelta::kCaseTemporal) {
        item->LeaveTimeSlices(i);
      }
    }
  }
}
