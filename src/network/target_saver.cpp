#include "network/target_saver.h"

#include <cassert>
#include <cstring>

#include "network/change_guards.h"
#include "base/error_log.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"

VRN_targetEvidenceSaver::VRN_targetEvidenceSaver(VRN_network* network,
                                                 bool keepEvidence)
    : network_(network),
      relevanceWasOn_(network->IsRelevanceReasoning() ? 1 : 0),
      keepEvidence_(keepEvidence ? 1 : 0) {
  assert(network != nullptr);
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    const VRN_node* node = network->GetNode(h);
    if (node->IsTarget()) targets_.push_back(NodeRef{h, node->GetId()});
    if (keepEvidence) continue;
    // Only what the caller entered: observed outcomes, numeric observations
    // and virtual evidence. Implied evidence is left to the network.
    VRN_evidenceRecord record(network, h);
    node->Value()->StoreEvidence(record);
    if (record.kind != qelta::kEvidenceNone) {
      evidence_.push_back(SavedEvidence{NodeRef{h, node->GetId()}, record});
    }
    // ClearAllEvidence erases the other slices' evidence as well.
    const int slices = network->GetNumberOfSlices();
    for (int s = 1; s < slices && node->Value()->HasTemporalEvidence(); ++s) {
      SavedSlice saved{NodeRef{h, node->GetId()}, s, -1, {}};
      if (node->Value()->IsTemporalEvidence(s)) {
        saved.outcome = node->Value()->GetTemporalEvidence(s);
      } else if (!node->Value()->IsTemporalVirtualEvidence(s) ||
                 node->Value()->GetTemporalVirtualEvidence(s, &saved.soft) !=
                     qelta::kOk) {
        continue;
      }
      slices_.push_back(std::move(saved));
    }
  }
}

VRN_targetEvidenceSaver::~VRN_targetEvidenceSaver() {
  // Failures are in the network's error log; nobody can take an answer here.
  if (restored_ == 0) (void)Restore();
}

bool VRN_targetEvidenceSaver::IsSameNode(const NodeRef& ref) const {
  const VRN_node* node = network_->GetNode(ref.handle);
  return node != nullptr && std::strcmp(node->GetId(), ref.id.c_str()) == 0;
}

int VRN_targetEvidenceSaver::LogFailure(int code, const char* what,
                                        const NodeRef& ref) {
  return network_->ErrorLog()->Logf(code, "%s of node [%s] could not be restored",
                                    what, ref.id.c_str());
}

int VRN_targetEvidenceSaver::RestoreEvidence(const SavedEvidence& saved) {
  VRN_nodeVal* value = network_->GetNode(saved.node.handle)->Value();
  const VRN_evidenceRecord& record = saved.record;
  switch (record.kind) {
    case qelta::kEvidenceOutcome:
      return value->SetEvidence(record.outcome);
    case qelta::kEvidenceOutcomeAndValue:
      return value->SetContEvidence(record.value);
    case qelta::kEvidenceVirtual:
      return value->SetVirtualEvidence(record.soft_evidence);
    default:
      return qelta::kOk;
  }
}

int VRN_targetEvidenceSaver::Restore() {
  restored_ = 1;
  // One automatic update for the whole restore, after the last change.
  VRN_autoUpdateGuard update_once(network_, true);
  int result = qelta::kOk;
  int restored_node = -1;
  (void)network_->ClearAllTargets();
  if (keepEvidence_ == 0) {
    (void)network_->ClearAllEvidence();
    // Entered as one batch, like clearing: the checks that run when a single
    // observation arrives would judge each piece against a partial set and
    // could refuse a combination the network held.
    VRN_relevanceOffGuard relevance_off(network_);
    for (const SavedEvidence& saved : evidence_) {
      if (!IsSameNode(saved.node)) continue;
      const int status = RestoreEvidence(saved);
      if (status != qelta::kOk) {
        (void)LogFailure(status, "Evidence", saved.node);
        if (result == qelta::kOk) result = status;
      } else if (restored_node < 0) {
        restored_node = saved.node.handle;
      }
    }
    for (const SavedSlice& saved : slices_) {
      if (!IsSameNode(saved.node)) continue;
      VRN_nodeVal* value = network_->GetNode(saved.node.handle)->Value();
      const int status =
          saved.outcome >= 0
              ? value->SetTemporalEvidence(saved.slice, saved.outcome)
              : value->SetTemporalVirtualEvidence(saved.slice, saved.soft);
      if (status != qelta::kOk) {
        (void)LogFailure(status, "Slice evidence", saved.node);
        if (result == qelta::kOk) result = status;
      }
    }
  }
  for (const NodeRef& target : targets_) {
    if (!IsSameNode(target)) continue;
    const int status = network_->SetTarget(target.handle, true);
    if (status != qelta::kOk) {
      (void)LogFailure(status, "Target mark", target);
      if (result == qelta::kOk) result = status;
    }
  }
  if (relevanceWasOn_ != 0 && !network_->IsRelevanceReasoning()) {
    network_->SetRelevanceReasoning(true);
  }
  // Evidence entered with relevance off implied nothing yet: one pass of the
  // bookkeeping rebuilds what the restored evidence implies (nothing happens
  // while relevance reasoning is off).
  if (restored_node >= 0) {
    (void)network_->OnEvidenceChange(restored_node, qelta::kChangeTable);
  }
  return result;
}
