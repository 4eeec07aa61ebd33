// The influence-diagram branch of VRN_network's belief updating.
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/cooper_solver.h"
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

}  // namespace

int VRN_network::RunIDAlgorithm() {
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    ResetValueShape(*GetNode(h));
  }
  switch (idAlgorithm_) {
    case 0: {
      VRN_CooperSolver solver;
      return solver.Solve(*this);
    }
    case 1: {
      VRN_ShachterSolver solver;
      return solver.Solve(*this);
    }
    default:
      return qelta::kErrOutOfRange;
  }
}
