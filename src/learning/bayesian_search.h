// VRN_bayesianSearch: the options and the entry point of Bayesian search,
// the hill-climbing search over directed acyclic graphs scored by BDeu plus
// a structure prior, restarted from random graphs, within the limits of the
// background knowledge. With greedyThickThinning set, each climb first only
// adds arcs and then only deletes them.
//
// The record is the native object of the Java classes BayesianSearch and
// GreedyThickThinning. Learning reads it and changes nothing in it; the
// search state lives for one Learn call.
//
// Thread use: one thread at a time per record; separate records and
// networks may learn on separate threads.
#ifndef QELTA_LEARNING_BAYESIAN_SEARCH_H_
#define QELTA_LEARNING_BAYESIAN_SEARCH_H_

#include <vector>

#include "learning/bk_knowledge.h"
#include "learning/dataset.h"

class VRN_network;
class VRN_progress;

// Told about every finished climb. OnIteration receives a copy of the
// network carrying that climb's arcs (owned by the caller of OnIteration)
// and must store the score to keep for the climb into *scoreOut; a nonzero
// result ends the search and Learn answers it.
class VRN_bsIterationCallback {
 public:
  virtual ~VRN_bsIterationCallback() = default;
  virtual int OnIteration(int iteration, double score, double bestScore,
                          VRN_network* iterationNetwork, const VRN_dataset* data,
                          const std::vector<VRN_dataMatch>* matches, VRN_progress* progress,
                          double* scoreOut) = 0;
};

// What a Learn call did, for benchmarks and tests.
struct VRN_bsStatistics {
  int climbs = 0;
  long long movesEvaluated = 0;
  long long movesApplied[3] = {0, 0, 0};  // add, reverse, delete
};

class VRN_bayesianSearch {
 public:
  // Replaces the contents of net by one CPT node per column of data (node i
  // is column i), the best graph found and CPTs estimated by counting. Any
  // pointer may be null. Answers 0; -1 when the data fail a check, the
  // knowledge names a variable outside the data or its forced arcs close a
  // cycle, or matching fails (the reason logged to net's error log, "BS: "
  // first); -99 when cancelled; a callback's nonzero result; or the failure
  // of the parameter step.
  [[nodiscard]] int Learn(const VRN_dataset& data, VRN_network& net, VRN_progress* progress,
                          VRN_bsIterationCallback* callback, double* bestScore,
                          int* bestIteration, double* logLikelihood) const;

  int maxParents = 5;
  int maxSearchTime = 0;              // seconds; 0 or less: no limit
  int iterationCount = 20;            // climbs
  double linkProbability = 0.1;       // arc chance in a random start graph
  double priorLinkProbability = 0.001;
  int priorSampleSize = 50;           // equivalent sample size of BDeu
  int randSeed = 0;                   // 0: seeded from the clock
  bool greedyThickThinning = false;
  int countCacheLimit = 2048;         // MiB; 0 keeps the cache's default
  bool layoutAfterLearning = true;
  VRN_bkKnowledge bkKnowledge;
  // Filled by Learn when not null; not owned.
  VRN_bsStatistics* statistics = nullptr;
};

#endif  // QELTA_LEARNING_BAYESIAN_SEARCH_H_
