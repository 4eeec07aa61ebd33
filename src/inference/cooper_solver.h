// VRN_CooperSolver: influence-diagram algorithm 0. Solves a diagram by
// turning it into a Bayesian network (the utility becomes a two-state chance
// node whose first state has the rescaled utility as its probability,
// decisions become root chance nodes) and enumerating every scenario: each
// combination of states of the open decisions and of the open chance nodes
// observed before some decision. Each scenario is set as evidence in a
// working copy and updated with the network's Bayesian-network algorithm; a
// backward pass (average over chance nodes, maximum over decisions) then
// gives every open decision its expected utility per choice, indexed by
// everything known before it (no forgetting). Likelihoods (virtual
// evidence) on a scenario node weigh its scenarios and stay on it.
//
// Results go into the solved network's values: beliefs and expected
// utilities indexed by the scenario nodes they depend on, and the policy
// values of the decisions. Arcs that fix an assumed order between decisions
// stay in the solved network; no other arc is added and no table changes.
//
// One solver serves one Solve; it owns its working copy. The three virtual
// notifications let a caller follow the run; they do nothing here.
// Thread use: the caller's thread; the solved network must not be used by
// anybody else meanwhile.
#ifndef QELTA_INFERENCE_COOPER_SOLVER_H_
#define QELTA_INFERENCE_COOPER_SOLVER_H_

#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "inference/decision_conversion.h"
#include "network/network.h"

class VRN_CooperSolver {
 public:
  VRN_CooperSolver();
  virtual ~VRN_CooperSolver();

  VRN_CooperSolver(const VRN_CooperSolver&) = delete;
  VRN_CooperSolver& operator=(const VRN_CooperSolver&) = delete;

  // Once, when the working network has been converted.
  virtual void OnConverted();
  // Around every belief update of the working network: phase 0 for a
  // complete scenario, 1 for the distribution of an observed chance node.
  virtual void OnBeforeUpdate(int phase);
  virtual void OnAfterUpdate(int phase);

  // Solves network. 0 on success (also for a diagram without utility, which
  // gets beliefs and logs -2 "Utilities not specified. Policies cannot be
  // evaluated", its decisions left invalid). On failure every value without
  // evidence is left invalid and the code is logged with "Error when
  // running Cooper's algorithm": the failing update's status; -5 or -43 when
  // no complete scenario could be evaluated; -42 when a value table is too
  // large; -2 naming the utility node or decision whose expected utilities
  // are differences that the rounding could move by more than 1e-12 of
  // themselves (and 1e-300), that reason logged first. A value no scenario
  // wrote is left invalid: under the codes that answer 0 for an all-zero
  // marginal, a utility every scenario left uncomputed, with the MAU values
  // and policies built on it. Several terminal utility nodes are combined
  // for the run by a MAU node (weights 1.0) that is deleted afterwards. The
  // network's automatic update and relevance options end as they were.
  // REQUIRES: every value was reset to its own shape (RunIDAlgorithm does).
  int Solve(VRN_network& network);

 private:
  int SolveSteps();
  int PrepareUtilityNode();
  void CollectScenarioCandidates();
  void EnforceDecisionOrder();
  void CopyIntoWork();
  void ConvertToChanceNodes();
  int FindIndexingParents();
  int EvaluateScenarios(int level);
  void StoreValues(int handle);
  // Turns the stored probabilities of utility node h into its expected
  // utilities; -2 with the node named when the careful passes may have
  // moved one of them by more than 1e-12 of itself.
  int ExpectedUtilities(int h);
  // On a two-outcome scale tried first: item (the stored probability)
  // becomes the scenario's expected utility, kept where it holds 1e-13 of
  // itself, or the scenario leaves the utility node one utility only (then
  // exactly that one) or only utilities the scale keeps; false otherwise,
  // and the solve goes over to the signed scale.
  bool TrialExpectedUtility(int h, double* item, double* share);
  // Evaluates every scenario again with the tables tried first on kSigned.
  int EvaluateOnSignedScale();
  // Whether value v, off by at most error, is answered.
  bool Answerable(double v, double error) const;
  // Logs that the values of node h would be inexact (the caller adds the
  // solver's own line); -2.
  int RefuseInexact(int h);
  int ComputePolicies();
  // Marks with 1 in out every node of work d-connected to start when the
  // nodes marked in observed are known (start itself need not be known).
  void Reachable(int start, const std::vector<char>& observed,
                 std::vector<char>& out);
  bool IsDecisionInNetwork(int handle) const;
  // Whether StoreValues wrote into the handle's value in this solve.
  bool Stored(int handle) const;
  // Multi-attribute utility steps (cooper_solver_mau.cpp): a MAU node added
  // over several terminal utility nodes for the run and deleted after it;
  // MAU values indexed by every scenario node (they are not in the working
  // copy) and computed from their parents once those are stored.
  int AddMauOverTerminals();
  int IndexMauValues();
  void CalculateMauUtilities();
  void RemoveAddedMau();

  VRN_network* network_ = nullptr;
  VRN_network work_;
  VRN_intArray utilityNodes_;
  VRN_intArray scenarioNodes_;
  VRN_intArray scenarioStates_;
  VRN_intArray candidates_;
  int utilityNode_ = -1;
  bool addedUtility_ = false;
  bool hasUtilities_ = true;
  // Position of each handle in scenarioNodes_, -1 elsewhere.
  std::vector<int> scenarioPosition_;
  // Nodes whose values are stored at every complete scenario.
  std::vector<int> indexedNodes_;
  // Per handle: some evaluated scenario left the node's value uncomputed
  // (it is no target), so its value stays invalid.
  std::vector<char> missed_;
  // Per handle: some scenario's values were stored into the value.
  std::vector<char> stored_;
  // Per handle: how the utility table went onto 0..1 (kDirect for any
  // other node), so how a probability gives back the expected utility.
  std::vector<VRN_utilityScale> scales_;
  // Per handle: a utility table kSigned would take, on a two-outcome scale
  // until one of its expected utilities misses there (trialMissed_).
  std::vector<char> trial_;
  bool trialMissed_ = false;
  // Per utility handle and item of its value: the probability that carries
  // the distance of the expected utility from the scale's anchor (for
  // kSigned the sum of both parts); the range times it bounds what the
  // rounding of the update can move the expected utility by.
  std::vector<std::vector<double>> spreads_;
  // Per utility handle and item of its value: what the expected utility
  // may be off by.
  std::vector<std::vector<double>> errors_;
  // What a probability of the last complete scenario's update may be off
  // by, where it took the careful passes below the normal doubles (0
  // otherwise), and the largest such of any update, the chance nodes'
  // distributions among them.
  double carefulLoss_ = 0.0;
  double largestCarefulLoss_ = 0.0;
  // Complete scenarios evaluated, and the last reason one was skipped.
  int completed_ = 0;
  int lastSkip_ = 0;
};

#endif  // QELTA_INFERENCE_COOPER_SOLVER_H_
