// Belief updating entry of VRN_network, the automatic-update switch and the
// inference dispatcher.
#include "base/error_log.h"
#include "inference/table_columns.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "inference/bn_algorithms.h"
#include "equations/equation_evaluation.h"
#include "equations/equation_sampler.h"
#include "inference/bn_routines.h"
#include "definitions/node_val.h"
#include "network/dbn.h"

namespace {

// Clears the network's updating mark however the update ends.
class UpdatingScope {
 public:
  explicit UpdatingScope(std::uint8_t& flag) : flag_(flag) { flag_ = 1; }
  ~UpdatingScope() { flag_ = 0; }

 private:
  std::uint8_t& flag_;
};

constexpr int kPlateTemporalType = 3;

}  // namespace

int VRN_network::UpdateBeliefs() {
  UpdatingScope scope(updating_);
  // An edit made without its relevance hook may have left any value stale:
  // none that this update does not compute may pass for current.
  if (bookkeepingSkipped_) (void)InvalidateValues();
  return RunInference();
}

int VRN_network::SetAutoUpdate(bool on) {
  if (!on) {
    flags_ &= ~qelta::kNetAutoUpdate;
    return qelta::kOk;
  }
  if ((flags_ & qelta::kNetAutoUpdate) != 0) return qelta::kOk;
  flags_ |= qelta::kNetAutoUpdate;
  return UpdateBeliefs();
}

void VRN_network::ValidateObservations() {
  // The list holds every node with evidence, and perhaps some without.
  for (int h : evidenceNodes_) {
    VRN_node* node = GetNode(h);
    if (node == nullptr) continue;
    VRN_nodeVal* value = node->Value();
    if (!value->HasFlags(qelta::kValFlagEvidence) || value->IsValueValid()) {
      continue;
    }
    if (auto* discrete = dynamic_cast<VRN_discVal*>(value)) {
      discrete->ValidateObservation();
    } else if (auto* equation = dynamic_cast<VRN_equationEvaluation*>(value)) {
      if (!value->IsPlate()) {
        equation->SetSingleValue(equation->GetEvidenceValue());
      }
    }
  }
}

int VRN_network::RunInference() {
  DropIndexingParents();
  RefreshImpliedEvidence();
  ValidateObservations();
  bool influence_diagram = false;
  bool equations = false;
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    const VRN_node* node = nodes_[h];
    if (node->GetTemporalType() == kPlateTemporalType) {
      // Dynamic networks are updated through their unrolled copy.
      return EnsureDbn()->UpdateBeliefs();
    }
    const int type = node->Definition()->GetType();
    if (type == qelta::kDefDecision || type == qelta::kDefUtility ||
        type == qelta::kDefMau) {
      influence_diagram = true;
    } else if (type == qelta::kDefEquation) {
      equations = true;
    }
  }
  if (influence_diagram && equations) {
    return errorLog_->LogError(
        qelta::kErrOutOfRange,
        "Equation nodes cannot be used in influence diagrams.");
  }
  if (influence_diagram) return RunIDAlgorithm();
  if (equations) {
    // Forward sampling when the evidence allows it; otherwise the discrete
    // algorithms run on the equation nodes' discretized tables.
    VRN_equationSampler sampler(this);
    if (sampler.Prepare()) return sampler.Sample();
    const int status = VRN_PrepareEquationTables(this);
    if (status != qelta::kOk) return status;
  }
  return RunBNAlgorithm();
}

int VRN_network::RunBNAlgorithm() {
  // Solvers run this on working copies directly.
  RefreshImpliedEvidence();
  EmptyTableCache();
  const int tables = VRN_CheckInferenceTables(this);
  if (tables != qelta::kOk) return tables;
  switch (bnAlgorithm_) {
    case 0:
      return VRN_UpdateClustering(this);
    case 1:
      return VRN_UpdateRejectionSampling(this);
    case 2:
      return VRN_UpdatePolytree(this);
    case 3:
    case 5:
      return VRN_UpdateEvidenceWeightedSampling(this);
    case 4:
      return VRN_UpdateImportanceSampling(this);
    case 6:
      return VRN_UpdateEvidenceParentSampling(this);
    case 7:
      return VRN_UpdateSampling7(this);
    case 8:
      return VRN_UpdateSampling8(this);
    case 9:
      return VRN_UpdateSampling9(this);
    case 10:
      return VRN_UpdateJoinTree(this);
    case 11:
      return VRN_UpdateRelevanceDecomposition(this);
    case 12:
      return VRN_UpdateRelevanceDecomposition2(this);
    default:
      break;
  }
  return qelta::kErrOutOfRange;
}
