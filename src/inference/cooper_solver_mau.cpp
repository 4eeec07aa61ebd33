// The multi-attribute utility steps of Cooper's solver. MAU nodes are not
// part of the working copy (they have no chance-node form): their values are
// computed in the solved network from their parents' stored values.
#include "base/special_values.h"
#include "base/status.h"
#include "equations/mau.h"
#include "inference/cooper_solver.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"

int VRN_CooperSolver::AddMauOverTerminals() {
  VRN_network& net = *network_;
  const int added = net.AddNode(qelta::kDefMau, nullptr);
  if (added < 0) return added;
  utilityNode_ = added;
  addedUtility_ = true;
  for (int h : utilityNodes_) {
    if (net.GetNode(h)->Children().GetSize() > 0) continue;
    const int status = net.AddArc(h, added);
    if (status != qelta::kOk) {
      RemoveAddedMau();
      return status;
    }
  }
  utilityNodes_.Add(added);
  return qelta::kOk;
}

int VRN_CooperSolver::IndexMauValues() {
  VRN_network& net = *network_;
  for (int h : utilityNodes_) {
    if (net.GetNode(h)->Definition()->GetType() != qelta::kDefMau) continue;
    // Indexed like the decision-making utility, by every scenario node, so
    // any parent's indexing decisions are among its own.
    VRN_nodeVal* value = net.GetNode(h)->Value();
    value->ClearIndexingParents();
    for (int s : scenarioNodes_) {
      if (value->AddIndexingParent(s) != qelta::kOk) {
        return qelta::kErrOutOfMemory;
      }
    }
    value->GetMutableValue().FillWith(qelta::kUndefinedValue);
  }
  return qelta::kOk;
}

void VRN_CooperSolver::CalculateMauUtilities() {
  VRN_network& net = *network_;
  // utilityNodes_ is in topological order: nested MAU nodes come first.
  for (int h : utilityNodes_) {
    if (net.GetNode(h)->Definition()->GetType() != qelta::kDefMau) continue;
    auto* value = static_cast<VRN_mauExpectedUtility*>(net.GetNode(h)->Value());
    // Defined by its utility parents alone: one left invalid leaves it so.
    bool inputs = true;
    for (int p : net.GetNode(h)->Parents()) {
      const int type = net.GetNode(p)->Definition()->GetType();
      inputs = inputs && ((type & qelta::kDefBitUtility) == 0 ||
                          net.GetNode(p)->Value()->IsValueValid());
    }
    if (!inputs || value->CalculateUtilities() != qelta::kOk) continue;
    value->AddFlags(qelta::kValFlagValid);
    value->SetUpdateTag(0);
  }
}

void VRN_CooperSolver::RemoveAddedMau() {
  if (!addedUtility_) return;
  addedUtility_ = false;
  if (network_->IsValidHandle(utilityNode_)) {
    VRN_impliedEvidenceKeeper keep(network_);  // it implied nothing
    (void)network_->DeleteNode(utilityNode_);
  }
  utilityNode_ = -1;
}
