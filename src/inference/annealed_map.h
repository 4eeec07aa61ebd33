// Annealed MAP: a most probable joint assignment of chosen MAP nodes given
// the evidence, by simulated annealing over their outcomes, every move
// scored by exact belief updating of one MAP node given the evidence and
// the other MAP nodes' current outcomes.
//
// VRN_network::AnnealedMAP makes a private copy of the network and runs a
// VRN_annealedMapSearch on it; the caller's network is never changed.
//
// Ownership: the search borrows the copy for one Run. Single-threaded.
#ifndef QELTA_INFERENCE_ANNEALED_MAP_H_
#define QELTA_INFERENCE_ANNEALED_MAP_H_

#include <vector>

#include "base/random.h"

class VRN_network;

class VRN_annealedMapSearch {
 public:
  VRN_annealedMapSearch() : generator_(1) {}
  VRN_annealedMapSearch(const VRN_annealedMapSearch&) = delete;
  VRN_annealedMapSearch& operator=(const VRN_annealedMapSearch&) = delete;

  // Searches on copy (whose evidence it changes) with the tuning stored in
  // it: enters the evidence (nodes[i] at outcomes[i]; the copy's virtual
  // evidence stays), computes its probability into *evidenceProbability,
  // then anneals. On success answers 0 with one outcome per MAP node (in
  // the order of mapNodes) in *assignment and its probability given the
  // evidence in *best; a MAP node with evidence keeps its outcome. Answers
  // kErrZeroMarginal when the evidence is impossible, or the failing
  // update's (or -1 for the probability of evidence's) status; then the
  // outputs are unspecified.
  // REQUIRES: mapNodes are distinct discrete chance nodes of copy.
  int Run(VRN_network* copy, const std::vector<int>& mapNodes,
          std::vector<int>* assignment, const std::vector<int>& nodes,
          const std::vector<int>& outcomes, double* best,
          double* evidenceProbability, int seed);

  // The specific heat of one temperature step: the variance of best minus
  // the scores under Boltzmann weights at temperature T, over T squared; 0
  // for no scores or weights summing to 0.
  double BoltzmannWeights(const std::vector<double>& scores, double T) const;

 private:
  // The belief vector of node given the copy's current evidence into *out.
  int Conditional(VRN_network* copy, int node, std::vector<double>* out);
  // The probability of the assignment current given the evidence, by the
  // chain rule over the MAP nodes without evidence of their own (fixed[i]
  // < 0), into *out; each of them ends observed at its outcome, its
  // likelihoods[i] (virtual evidence) dropped as a move drops them.
  int AssignmentProbability(VRN_network* copy, const std::vector<int>& mapNodes,
                            const std::vector<int>& fixed,
                            const std::vector<std::vector<double>>& likelihoods,
                            const std::vector<int>& current, double* out);

  double best_ = 0.0;
  double k_ = 1.0;
  VRN_randomGenerator generator_;
};

#endif  // QELTA_INFERENCE_ANNEALED_MAP_H_
