// The influence-diagram branch of VRN_network's belief updating.
#include <cmath>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/cooper_solver.h"
#include "inference/decision_conversion.h"
#include "inference/shachter_solver.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// Gives a value its own shape again: no indexing parents and one dimension
// of the node's outcome count. Evidence stays, with its point mass.
void ResetValueShape(VRN_node& node) {
  VRN_nodeVal* value = node.Value();
  int n = node.Definition()->GetNumberOfOutcomes();
  if (n < 1) n = 1;
  const int evidence_flags =
      value->GetFlags() & ~(qelta::kValFlagValid);
  const bool has_evidence = value->HasEvidence();
  VRN_matrix& m = value->GetMutableValue();
  const bool own_shape = value->GetIndexingParents().GetSize() == 0 &&
                         m.GetDimensionCount() == 1 && m.GetSize(0) == n;
  if (!own_shape) {
    // Dropping the indexing parents also drops the flag word: the evidence
    // bits are put back.
    value->ClearIndexingParents();
    value->SetFlags(evidence_flags);
    VRN_matrix& shaped = value->GetMutableValue();
    if (shaped.GetDimensionCount() != 1 || shaped.GetSize(0) != n) {
      (void)shaped.SetSingleDimension(n);
    }
    shaped.FillWith(0.0);
    const int outcome = has_evidence ? value->GetEvidence() : -1;
    if (outcome >= 0 && outcome < n) *shaped.ItemAddress(outcome) = 1.0;
  }
  if (!has_evidence) value->Invalidate();
}

bool AllFinite(const VRN_matrix& m) {
  for (double v : m.GetItems()) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

}  // namespace

void VRN_network::DropIndexingParents() {
  for (VRN_node* node : nodes_) {
    if (node != nullptr && node->Value()->GetIndexingParents().GetSize() > 0) {
      ResetValueShape(*node);
    }
  }
}

void VRN_network::DropIndexingParent(int handle) {
  for (VRN_node* node : nodes_) {
    if (node != nullptr &&
        node->Value()->GetIndexingParents().Contains(handle)) {
      ResetValueShape(*node);
    }
  }
}

int VRN_network::RunIDAlgorithm() {
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    ResetValueShape(*GetNode(h));
  }
  // Expected utilities add the utility nodes' values and the solvers
  // rescale them by their range: twice the sum of the largest utilities
  // must stay finite, or the results would be infinite or NaN.
  double total = 0.0;
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    const VRN_nodeDef* definition = GetNode(h)->Definition();
    if (definition->GetType() != qelta::kDefUtility) continue;
    const VRN_matrix* table = definition->GetMatrixConst();
    if (table != nullptr) total += table->GetLargestMagnitude();
    if (!std::isfinite(2.0 * total)) {
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "Utilities of node [%s] are too large: expected "
                             "utilities would overflow",
                             GetNode(h)->GetId());
    }
    if (table != nullptr &&
        VRN_ChooseUtilityScale(*table) == VRN_utilityScale::kLost) {
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "Utilities of node [%s] span too wide a range: "
                             "the smallest differences would be lost",
                             GetNode(h)->GetId());
    }
  }
  int status = qelta::kErrOutOfRange;
  switch (idAlgorithm_) {
    case 0: {
      VRN_CooperSolver solver;
      status = solver.Solve(*this);
      break;
    }
    case 1: {
      // Without a utility there is no policy to find: both codes give the
      // beliefs and leave the decisions invalid.
      bool utilities = false;
      for (int h = GetFirstNode(); h >= 0 && !utilities; h = GetNextNode(h)) {
        utilities = (GetNode(h)->Definition()->GetType() &
                     qelta::kDefBitUtility) != 0;
      }
      if (!utilities) {
        VRN_CooperSolver solver;
        status = solver.Solve(*this);
        break;
      }
      VRN_ShachterSolver solver;
      status = solver.Solve(*this);
      break;
    }
    default:
      return status;
  }
  if (status != qelta::kOk) return status;
  // A multi-attribute expression can still overflow (U/0): no value that
  // is not finite is handed out as valid.
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    const VRN_nodeVal* value = GetNode(h)->Value();
    if (!value->IsValueValid() || AllFinite(value->GetValue())) continue;
    for (int g = GetFirstNode(); g >= 0; g = GetNextNode(g)) {
      if (!GetNode(g)->Value()->HasEvidence()) GetNode(g)->Value()->Invalidate();
    }
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "Expected utility of node [%s] is not finite",
                           GetNode(h)->GetId());
  }
  return qelta::kOk;
}
