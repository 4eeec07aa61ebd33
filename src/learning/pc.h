// VRN_pc: PC structure learning. Starting from the complete undirected
// graph over a data set's variables, an edge is removed as soon as a
// conditional independence test accepts independence given some set of
// neighbours, with growing conditioning sets; edges are then oriented from
// background knowledge, v-structures and propagation rules. The data must
// be all discrete (G-squared test) or all continuous (Fisher's z test).
// The record is the native object of qelta.learning.PC.
//
// Thread use: one thread at a time per record.
#ifndef QELTA_LEARNING_PC_H_
#define QELTA_LEARNING_PC_H_

#include <string>

#include "learning/bk_knowledge.h"

class VRN_dataset;
class VRN_pattern;
class VRN_progress;

// What a Learn call did, for benchmarks and tests.
struct VRN_pcStatistics {
  long long testsRun = 0;
  int depthReached = 0;  // the largest conditioning-set size searched
};

class VRN_pc {
 public:
  // Fills pattern with the learned equivalence class. Answers 0; -1 with
  // the reason in *errorText (when given) for unusable data or knowledge
  // naming a variable outside the data; -99 when progress cancels.
  [[nodiscard]] int Learn(const VRN_dataset& data, VRN_pattern& pattern, std::string* errorText,
                          VRN_progress* progress) const;

  int countCacheLimit = 2048;  // MiB; 0 keeps the cache's default
  int maxAdjacency = 8;        // largest conditioning set
  int maxSearchTime = 0;       // seconds; 0 or less: no limit
  double significance = 0.05;
  VRN_bkKnowledge bkKnowledge;
  // Filled by Learn when not null; not owned.
  VRN_pcStatistics* statistics = nullptr;
};

#endif  // QELTA_LEARNING_PC_H_
