// VRN_tan: learns a tree-augmented naive Bayes classifier from complete
// discrete data. The class node is a parent of every other node, and the
// other nodes form the maximum spanning tree of their class-conditional
// mutual information, directed away from a randomly chosen root. The record
// is the native object of qelta.learning.TAN.
//
// VRN_mst finds spanning trees; VRN_mst_kruskal is Kruskal's method.
//
// Thread use: one thread at a time per record.
#ifndef QELTA_LEARNING_TAN_H_
#define QELTA_LEARNING_TAN_H_

#include <string>
#include <vector>

#include "learning/dataset.h"

class VRN_network;
class VRN_progress;

struct VRN_mstEdge {
  double weight;
  int a;
  int b;
};

class VRN_mst {
 public:
  virtual ~VRN_mst() = default;
  // The edges of a spanning forest of nodes 0 .. nodeCount - 1 of largest
  // (maximize) or smallest total weight, in the order they were taken.
  // REQUIRES: every edge's ends lie in 0 .. nodeCount - 1.
  virtual std::vector<VRN_mstEdge> Run(const std::vector<VRN_mstEdge>& edges, int nodeCount,
                                       bool maximize) = 0;
};

class VRN_mst_kruskal : public VRN_mst {
 public:
  // Takes edges by weight (ties in their given order) and keeps each that
  // joins two components.
  std::vector<VRN_mstEdge> Run(const std::vector<VRN_mstEdge>& edges, int nodeCount,
                               bool maximize) override;
};

class VRN_tan {
 public:
  // Rebuilds net from data, which it changes as BuildNetwork does (repaired
  // ids, state names, values as outcome indexes). Answers 0; -30 when the
  // class variable is not found; -1 when the data fail a check; -99 when
  // cancelled or out of time; or a matching or counting failure. The reason
  // goes to net's error log.
  [[nodiscard]] int Learn(VRN_dataset& data, VRN_network& net, VRN_progress* progress,
                          double* logLikelihood) const;

  std::string classVariableId;
  int maxSearchTime = 0;     // seconds; 0 or less: no limit
  int randSeed = 0;          // seed of the root choice; 0: from the clock
  int countCacheLimit = 2048;  // MiB; 0 keeps the cache's default
};

#endif  // QELTA_LEARNING_TAN_H_
