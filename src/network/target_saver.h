// VRN_targetEvidenceSaver: a scope object that hands a network back with the
// targets it had when the saver was made and, unless told to keep evidence,
// with the same evidence: observed outcomes, numeric observations and
// virtual evidence, each entered again in its own kind. Evidence that the
// network implied from other evidence is not recorded; it is the network's
// own bookkeeping and follows from what is restored.
//
// Diagnosis tries out evidence and targets between the saver's construction
// and its restore; anything may change in between. Nodes deleted meanwhile
// are skipped on restore (also when their slot now holds another node).
//
// The saver does not own the network, which must outlive it. One thread per
// network.
#ifndef QELTA_NETWORK_TARGET_SAVER_H_
#define QELTA_NETWORK_TARGET_SAVER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "definitions/node_val.h"

class VRN_network;

class VRN_targetEvidenceSaver {
 public:
  // Records the targets, the evidence of every live node (unless
  // keepEvidence) and whether relevance reasoning is on.
  // REQUIRES: network is not null.
  VRN_targetEvidenceSaver(VRN_network* network, bool keepEvidence);
  // Restores, unless Restore has run already. A failure cannot be answered
  // from here; it is in the network's error log (see Restore).
  ~VRN_targetEvidenceSaver();

  VRN_targetEvidenceSaver(const VRN_targetEvidenceSaver&) = delete;
  VRN_targetEvidenceSaver& operator=(const VRN_targetEvidenceSaver&) = delete;

  // Clears every target; unless evidence is kept, clears all evidence and
  // enters the recorded evidence again; marks the recorded targets again;
  // switches relevance reasoning on when it was on at creation (it is never
  // switched off), then rebuilds the evidence that the restored evidence
  // implies. With automatic update on, the network updates once, at
  // the end. Answers 0, or the code of the first piece of evidence or target
  // that could not be entered again; each such failure is logged in the
  // network's error log with its code, and the rest is still restored.
  int Restore();

 private:
  // A live node as recorded: its identifier tells it from a node that took
  // its slot after it was deleted.
  struct NodeRef {
    int handle;
    std::string id;
  };
  struct SavedEvidence {
    NodeRef node;
    VRN_evidenceRecord record;
  };

  // True when ref's node is still in the network.
  bool IsSameNode(const NodeRef& ref) const;
  int RestoreEvidence(const SavedEvidence& saved);
  int LogFailure(int code, const char* what, const NodeRef& ref);

  // Evidence of a plate node in slice 1 or later (outcome, or likelihoods
  // when outcome is -1).
  struct SavedSlice {
    NodeRef node;
    int slice;
    int outcome;
    std::vector<double> soft;
  };

  VRN_network* network_;
  std::vector<SavedEvidence> evidence_;  // in handle order
  std::vector<SavedSlice> slices_;       // in handle order
  std::vector<NodeRef> targets_;         // in handle order
  std::uint8_t relevanceWasOn_;
  std::uint8_t keepEvidence_;
  std::uint8_t restored_ = 0;
};

#endif  // QELTA_NETWORK_TARGET_SAVER_H_
