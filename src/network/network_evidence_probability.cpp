// Probability of the network's evidence: join-tree clustering over the
// parts that hold the observed nodes' parents, with the chain rule
// P(e) = prod P(e_i | e_1 .. e_(i-1)) as fallback.
//
// Both count all the evidence: observed outcomes and every likelihood
// vector, wherever it lies, as if it were an observed two-outcome child of
// its node with P(child = first | node = k) = likelihood k. Implied outcomes
// add nothing of their own (they follow from the evidence), but a node's
// likelihoods weigh the outcome implied for it. A number observed on an
// equation node has no probability here: the call refuses it.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/error_log.h"
#include "definitions/node_def.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/dbn.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_val.h"
#include "inference/bn_algorithms.h"
#include "inference/clustering_engine.h"
#include "inference/table_columns.h"

namespace {

// Sets the network's updating mark for one scope, as UpdateBeliefs does.
class UpdatingMark {
 public:
  explicit UpdatingMark(std::uint8_t& flag) : flag_(flag), old_(flag) {
    flag_ = 1;
  }
  ~UpdatingMark() { flag_ = old_; }
  UpdatingMark(const UpdatingMark&) = delete;
  UpdatingMark& operator=(const UpdatingMark&) = delete;

 private:
  std::uint8_t& flag_;
  std::uint8_t old_;
};

// The evidence one value holds, to put back exactly as it was.
struct EvidenceState {
  int handle = -1;
  bool observed = false;      // value flag bit 0
  bool propagated = false;    // value flag bit 2
  int outcome = -1;
  bool numeric = false;       // observed through a numeric value
  double number = 0.0;
  std::vector<double> likelihoods;  // empty without virtual evidence
};

std::vector<EvidenceState> SnapshotEvidence(const VRN_network& network) {
  std::vector<EvidenceState> out;
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const VRN_nodeVal* value = network.GetNode(h)->Value();
    if (!value->HasEvidence() && !value->HasVirtualEvidence()) continue;
    EvidenceState state;
    state.handle = h;
    state.observed = value->HasFlags(qelta::kValFlagEvidence);
    state.propagated = value->HasFlags(qelta::kValFlagPropagated);
    state.outcome = value->HasEvidence() ? value->GetEvidence() : -1;
    state.numeric = value->GetContEvidence(&state.number) == qelta::kOk;
    if (value->HasVirtualEvidence()) {
      (void)value->GetVirtualEvidence(&state.likelihoods);
    }
    out.push_back(state);
  }
  return out;
}

// Puts every value's evidence back to the snapshot.
// REQUIRES: relevance reasoning off, so that no bookkeeping reacts.
void RestoreEvidence(VRN_network& network,
                     const std::vector<EvidenceState>& states) {
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    VRN_nodeVal* value = network.GetNode(h)->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      (void)value->ClearPropagatedEvidence();
    }
  }
  // Observations first: entering one refreshes implied evidence, which
  // would drop implied outcomes already put back.
  for (const EvidenceState& state : states) {
    VRN_nodeVal* value = network.GetNode(state.handle)->Value();
    if (state.observed) {
      double number = 0.0;
      const bool same =
          value->HasFlags(qelta::kValFlagEvidence) &&
          value->GetEvidence() == state.outcome &&
          (value->GetContEvidence(&number) == qelta::kOk) == state.numeric &&
          (!state.numeric || number == state.number);
      if (same) continue;
      if (state.numeric) {
        (void)value->SetContEvidence(state.number);
      } else {
        (void)value->SetEvidence(state.outcome);
      }
    }
  }
  for (const EvidenceState& state : states) {
    VRN_nodeVal* value = network.GetNode(state.handle)->Value();
    if (!state.observed && state.propagated) {
      (void)value->SetPropagatedEvidence(state.outcome);
    }
    if (!state.likelihoods.empty()) {
      std::vector<double> now;
      if (!value->HasVirtualEvidence() ||
          value->GetVirtualEvidence(&now) != qelta::kOk ||
          now != state.likelihoods) {
        (void)value->SetVirtualEvidence(state.likelihoods);
      }
    }
  }
}

}  // namespace

bool VRN_network::ChainRuleEvidence(qelta::ScaledProbability* p) {
  const int saved_flags = flags_;
  const int saved_options = relevanceOptions_;
  const bool saved_stale = impliedStale_;
  const std::vector<EvidenceState> snapshot = SnapshotEvidence(*this);

  // Take the observations and likelihoods out, in topological order,
  // without any bookkeeping; implied outcomes go too, to be implied afresh
  // by the observations as they are entered again. A node's likelihoods
  // come right after it, where its twin's observed child would.
  flags_ &= ~qelta::kNetRelevance;
  struct Observation {
    int handle;
    int outcome;                      // -1 for likelihoods
    std::vector<double> likelihoods;  // empty for an observed outcome
  };
  std::vector<Observation> observations;
  const VRN_intArray order = PartialOrder();
  for (int h : order) {
    VRN_nodeVal* value = nodes_[h]->Value();
    if (value->HasFlags(qelta::kValFlagEvidence)) {
      observations.push_back({h, value->GetEvidence(), {}});
    } else if (value->HasVirtualEvidence()) {
      observations.push_back({h, -1, {}});
      (void)value->GetVirtualEvidence(&observations.back().likelihoods);
    } else {
      continue;
    }
    (void)value->ClearEvidence();
  }
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    VRN_nodeVal* value = nodes_[h]->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      (void)value->ClearPropagatedEvidence();
    }
  }
  (void)ClearAllTargets();
  flags_ |= qelta::kNetRelevance;

  // The product is kept as fraction and exponent: the conditionals of many
  // observations take it far below the doubles.
  *p = qelta::ScaledProbability();
  for (const Observation& observation : observations) {
    const int h = observation.handle;
    VRN_nodeVal* value = nodes_[h]->Value();
    const std::vector<double>& likelihoods = observation.likelihoods;
    const bool soft = observation.outcome < 0;
    double factor = -1.0;
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      // Implied by the evidence entered so far: an observation's factor is
      // 1, or 0 for another outcome; likelihoods weigh the implied outcome.
      const int implied = value->GetEvidence();
      if (!soft) {
        if (implied == observation.outcome) continue;
        p->fraction = 0.0;
        break;
      }
      if (implied >= 0 && implied < static_cast<int>(likelihoods.size())) {
        factor = likelihoods[implied];
      }
    } else {
      (void)ClearAllTargets();
      (void)SetTarget(h, true);
      (void)InvalidateValues();
      int status;
      {
        UpdatingMark mark(updating_);
        status = RunInference();
      }
      const VRN_matrix& beliefs = value->GetValue();
      const int n = beliefs.GetItemCount();
      if (status == qelta::kOk && value->IsValueValid()) {
        if (!soft && observation.outcome < n) {
          factor = beliefs.GetItem(observation.outcome);
        } else if (soft && static_cast<int>(likelihoods.size()) == n) {
          factor = 0.0;
          for (int k = 0; k < n; ++k) factor += beliefs.GetItem(k) * likelihoods[k];
        }
      }
    }
    if (factor < 0.0) {
      p->fraction = -1.0;
      break;
    }
    const bool believed = !value->HasFlags(qelta::kValFlagPropagated);
    if (believed && factor > 0.0 && factor < DBL_MIN) {
      // A normalised belief below the normal doubles kept few digits.
      qelta::LogBelowDoubles(this);
      p->fraction = qelta::ScaledProbability::kInexact;
      break;
    }
    p->Multiply(factor);
    // Once a factor is zero the product stays zero; the rest is not needed
    // (and entering impossible evidence would be refused).
    if (p->fraction == 0.0) break;
    const int entered = soft ? value->SetVirtualEvidence(likelihoods)
                             : value->SetEvidence(observation.outcome);
    if (entered != qelta::kOk) {
      p->fraction = -1.0;
      break;
    }
  }
  (void)ClearAllTargets();

  // Everything back as it was: observations, implied outcomes, switches.
  flags_ &= ~qelta::kNetRelevance;
  RestoreEvidence(*this, snapshot);
  flags_ = (flags_ & ~qelta::kNetRelevance) | (saved_flags & qelta::kNetRelevance);
  relevanceOptions_ = saved_options;
  // The implied evidence is back as it was, current or not.
  SetImpliedEvidenceStale(saved_stale);
  // Beliefs computed under part of the evidence are not current.
  (void)InvalidateValues();
  return !p->failed();
}

bool VRN_network::CalcPropEvidence(double& p, bool chainRuleOnly) {
  qelta::ScaledProbability scaled;
  p = -1.0;
  if (!ScaledPropEvidence(&scaled, chainRuleOnly)) return false;
  if (scaled.BelowNormal() && !scaled.HeldAsDouble()) {
    // A zero would read as impossible evidence, a subnormal holds too few
    // digits: no double gives this probability.
    (void)errorLog_->LogError(qelta::kErrOutOfRange,
                              "The probability of the evidence lies below the range of "
                              "double precision numbers");
    return false;
  }
  p = scaled.Value();
  return true;
}

bool VRN_network::CalcLogPropEvidence(double& logP, bool chainRuleOnly) {
  qelta::ScaledProbability scaled;
  logP = std::numeric_limits<double>::quiet_NaN();
  if (!ScaledPropEvidence(&scaled, chainRuleOnly)) return false;
  logP = scaled.Log();
  return true;
}

bool VRN_network::ScaledPropEvidence(qelta::ScaledProbability* p, bool chainRuleOnly) {
  p->fraction = -1.0;
  // An observed number is a point of a continuous distribution: neither
  // method weighs it (both would see an interval or nothing), so it is
  // refused before anything is touched.
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    if (nodes_[h]->Definition()->GetType() == qelta::kDefEquation &&
        nodes_[h]->Value()->HasEvidence()) {
      (void)errorLog_->Logf(qelta::kErrWrongNodeType,
                            "Probability of numeric evidence is not computed: "
                            "node [%s] is observed at a number",
                            nodes_[h]->GetId());
      return false;
    }
  }
  // Both methods read which outcomes are observed and which implied.
  RefreshImpliedEvidence();
  if (numNodes_ > 0 && HasPlateNode()) {
    // The evidence of every slice counts: ask the unrolled network.
    VRN_network unrolled;
    std::vector<int> map;
    if (EnsureDbn()->UnrollNetwork(unrolled, map) != qelta::kOk) {
      return false;
    }
    (void)unrolled.ErrorLog()->RedirectToLog(errorLog_);
    return unrolled.ScaledPropEvidence(p, chainRuleOnly);
  }
  // Decisions and utilities have no distribution: the evidence has no
  // probability until a policy fixes the decisions.
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    if ((nodes_[h]->Definition()->GetType() &
         (qelta::kDefBitDecision | qelta::kDefBitUtility)) != 0) {
      (void)errorLog_->LogError(
          qelta::kErrWrongNodeType,
          "Probability of evidence is not available for influence diagrams");
      return false;
    }
  }
  // A table the update refuses gives no probability either, whatever the
  // evidence (an unobserved root's NaN would reach the product too).
  if (VRN_CheckInferenceTables(this, false) != qelta::kOk) return false;
  // Values indexed by the decisions of a diagram this network was are
  // given their own shape, as an update gives them: beliefs written below
  // must not keep, and no other value should, a list of parents that
  // names deleted nodes or the nodes added in their slots.
  DropIndexingParents();
  // Target edits below are batched: at most one automatic update, when the
  // call ends.
  VRN_autoUpdateGuard batch(this, true);
  std::vector<int> targets;
  for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
    if (nodes_[h]->IsTarget()) targets.push_back(h);
  }

  bool ok = false;
  if (!chainRuleOnly) {
    (void)ClearAllTargets();
    // The parents of every observed node, and every node with likelihoods
    // (the parent of its likelihood child): their parts carry the evidence.
    for (int h = GetFirstNode(); h >= 0; h = GetNextNode(h)) {
      const VRN_nodeVal* value = nodes_[h]->Value();
      if (value->HasVirtualEvidence() && !nodes_[h]->IsTarget()) {
        (void)SetTarget(h, true);
      }
      if (!value->HasFlags(qelta::kValFlagEvidence)) continue;
      for (int parent : nodes_[h]->Parents()) {
        if (!nodes_[parent]->IsTarget()) (void)SetTarget(parent, true);
      }
    }
    *p = VRN_ProbabilityOfEvidence(this);
    ok = !p->failed();
  }
  // Where the clustering lost digits (logged), so would the chain rule's
  // updates, and its normalised beliefs cannot even tell a probability far
  // below the doubles from 0: refused.
  if (!ok && !p->inexact()) ok = ChainRuleEvidence(p);
  if (!ok) p->fraction = -1.0;

  (void)ClearAllTargets();
  for (int h : targets) (void)SetTarget(h, true);
  return ok;
}
