// VRN_ShachterSolver: influence-diagram algorithm 1. Finds the best choice
// of the next open decision when everything that decision depends on is
// observed. A private copy of the diagram gets one merged utility node
// (the sum of every utility table over the union of their parents, each
// table weighted as the multi-attribute utility nodes combine it), which
// becomes a two-outcome chance node whose outcome 0 has the rescaled
// utility as its probability; decisions become root chance nodes. With
// outcome 0 observed, a decision's posterior is proportional to its expected
// utility (where utilities cluster below the largest, the scale is reversed
// and the posterior weighs the shortfall from the largest; where neither end
// holds every utility, the end nearer to 0 is tried first, and where a
// choice is not sure there the merged table goes onto 0..1 from 0 in two
// parts, and each choice is observed in turn to read both). Decisions are
// fixed from the last to the first, each at its best choice (the last on a
// tie), and the first open decision's value in the solved network becomes
// the point mass at its best choice.
//
// Each later open decision is fixed to one choice whatever will be known
// when it is made, so the answer is sure to be best only when no later
// decision is open and nothing below the open decision is observed.
//
// One solver serves one Solve; it owns its working copy. Arcs that fix an
// assumed order between decisions stay in the solved network.
// Thread use: the caller's thread only.
#ifndef QELTA_INFERENCE_SHACHTER_SOLVER_H_
#define QELTA_INFERENCE_SHACHTER_SOLVER_H_

#include <utility>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "inference/decision_conversion.h"
#include "network/network.h"

class VRN_ShachterSolver {
 public:
  VRN_ShachterSolver();
  ~VRN_ShachterSolver();

  VRN_ShachterSolver(const VRN_ShachterSolver&) = delete;
  VRN_ShachterSolver& operator=(const VRN_ShachterSolver&) = delete;

  // Solves network: 0 with the first open decision's value valid; values of
  // other nodes without evidence end invalid. -2 with "Can't solve this
  // network using best policy algorithm" when the first open decision has
  // an unobserved parent (then named by a second message) or a
  // multi-attribute utility node has an
  // expression that is not a constant plus utilities times constants (the
  // reason logged first); -2 with "Cannot solve this network using
  // SHACHTER's algorithm. Error while merging utility nodes (too many
  // parents)" for more than 20 distinct utility parents; -2 with "Utilities
  // summed over every utility node span too wide a range: the smallest
  // differences would be lost" when the merged table cannot go onto 0..1
  // with every utility's digits (see VRN_ChooseUtilityScale); otherwise a failed
  // step (no open decision: -2; a refused arc or a failed update: its code;
  // a table too large: -42) is logged with "Error when running Shachter's
  // algorithm" after every value without evidence is invalidated; when the
  // update finds the evidence impossible (-26) and a node below an open
  // decision is observed, a second message names the two. The network's
  // relevance options end as they were.
  int Solve(VRN_network& network);

  // After a successful Solve: the first open decision's beliefs in the
  // working copy, whose largest (the last among those within a relative
  // 1e-13 of it; the smallest on the reversed scale) gave its best choice;
  // equal shares when every choice has the least utility. On the signed
  // scale the choice came from the expected utilities, and these are the
  // direct scale's beliefs worked out from them. Empty before.
  const std::vector<double>& FirstDecisionBeliefs() const {
    return firstBeliefs_;
  }

 private:
  int SolveSteps();
  // False when the first open decision has a parent without evidence (the
  // pair kept in blocked_) or a MAU node is not linear.
  bool CanSolve();
  void CollectInformationNodes();
  void AssumeTemporalOrder();
  void CollectOpenDecisions();
  // False, with the reason logged, when a MAU node's expression is not a
  // constant plus its parents' utilities times constants: the solver's one
  // merged utility cannot express it (shachter_solver_mau.cpp).
  bool MauNodesAreLinear();
  // Deletes every MAU node of the working copy, each utility table then
  // counting as often as the MAU nodes weigh it: its table is multiplied by
  // its weight, and a weight that an open decision's choice changes makes
  // that decision a parent of the table. Offsets that a choice changes
  // become one more utility table. 0, or a failure (-2 with a message for
  // utilities that would overflow).
  int ApplyMauWeights();
  int MergeUtilityNodes();
  void ConvertToChanceNetwork();
  int SolveDecisions();
  // The best choice for a decision's beliefs in the working copy: the last
  // of those within a relative 1e-13 of the largest (of the smallest on the
  // reversed scale).
  int BestChoice(const VRN_matrix& beliefs) const;
  // On the signed scale: each choice of decision observed in turn, the
  // difference of the merged utility's two parts (its worth, the lowest
  // double for a choice the evidence rules out) and their sum.
  int WeighSignedChoices(int decision, std::vector<double>* worths,
                         std::vector<double>* spreads);
  // The choice of the largest worth: the last of those within 1e-13 of the
  // largest sum of parts below it.
  static int BestSignedChoice(const std::vector<double>& worths,
                              const std::vector<double>& spreads);
  // Solves the open decisions from index from down to the first.
  int SolveSignedDecisions(int from);
  // On a two-outcome scale tried first: whether best (by beliefs) is sure
  // there, leading every other choice by far more than the rounding, or
  // tied among utilities the scale keeps whole.
  bool ChoiceHolds(const VRN_matrix& beliefs, int best) const;
  // Solves the decisions from index from on with the merged table on
  // kSigned, the later ones keeping their choices.
  int SolveOnSignedScale(int from);
  void SetSignedLeast(const VRN_matrix& table);
  // Gives decision's table the point mass at choice best in every column.
  void FixChoice(int decision, int best);
  // firstBeliefs_ from the first open decision's worths on the signed
  // scale: proportional to each choice's shortfall above the least utility,
  // as the direct scale would give them.
  void DirectBeliefs(const std::vector<double>& worths);
  // The first open decision's value in the solved network: the point mass
  // at best.
  int SetFirstChoice(int best);
  // Whether an update that found the observed outcome of the merged utility
  // impossible means that every open choice has the rescaled utility 0
  // there (no evidence below a decision, and the diagram's own evidence
  // possible).
  bool AllChoicesTie(VRN_nodeVal* utility);
  bool IsOpen(int handle) const;
  // The first open decision (in decision order) with an observed node (or
  // one with likelihoods) below it, and the first such node met; {-1, -1}
  // when there is none.
  std::pair<int, int> ObservedBelowDecision() const;
  // Logs format with the identifiers of the two nodes, a decision and the
  // node that explains a refusal; nothing when nodes.first is -1.
  void LogDecisionReason(int status, std::pair<int, int> nodes,
                         const char* format) const;
  bool IsDecision(const VRN_network& net, int handle) const;

  VRN_network* network_ = nullptr;
  VRN_network working_;
  VRN_intArray decisions_;
  int utilityNode_ = -1;
  VRN_intArray informationNodes_;
  VRN_intArray addedArcs_;
  std::vector<double> firstBeliefs_;
  // How the merged utility table goes onto 0..1.
  VRN_utilityScale scale_ = VRN_utilityScale::kDirect;
  // On the signed scale: the least merged utility over its largest magnitude.
  double signedLeast_ = 0.0;
  // A merged table kSigned would take, tried on a two-outcome scale first,
  // and the choices of the decisions fixed meanwhile (-1 elsewhere).
  bool trial_ = false;
  VRN_matrix merged_;
  std::vector<int> fixedChoices_;
  // The open decision and its parent without evidence that CanSolve met.
  std::pair<int, int> blocked_{-1, -1};
};

#endif  // QELTA_INFERENCE_SHACHTER_SOLVER_H_
