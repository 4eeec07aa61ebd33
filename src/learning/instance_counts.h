// VRN_instanceCounts: for every node of a network of CPT and truth-table
// nodes, how many records of a data set fall into each configuration of the
// node's parents (one count per table column, in table order). The native
// object of the Java class qelta.InstanceCounts; the input of confidence
// intervals.
//
// A plain value type; it keeps no reference to the network it was filled
// for. Thread use: one thread at a time.
#ifndef QELTA_LEARNING_INSTANCE_COUNTS_H_
#define QELTA_LEARNING_INSTANCE_COUNTS_H_

#include <vector>

#include "learning/dataset.h"

class VRN_network;

class VRN_instanceCounts {
 public:
  // Counts the records of data per parent configuration of every node of
  // net (not changed: the work runs on a copy). A parent without a value in
  // a record (missing, or no column) takes its most probable state given
  // the record's values. Answers 0; -51 (counts empty) when a node is
  // neither a CPT nor a truth table; -2 (counts empty, message logged) for
  // a bad match; -4 (counts empty, message names the column) for a value
  // outside its node's outcomes; or the status of failed evidence or
  // belief updating (counts of earlier records stay).
  [[nodiscard]] int Calculate(const VRN_network& net, const VRN_dataset& data,
                              const std::vector<VRN_dataMatch>& matches);
  // Every count of every node becomes count. 0, or -51 as Calculate.
  [[nodiscard]] int SetUniform(const VRN_network& net, int count);

  // Per node handle (free handles empty), one count per table column.
  std::vector<std::vector<int>> counts;

 private:
  int Size(const VRN_network& net);
};

#endif  // QELTA_LEARNING_INSTANCE_COUNTS_H_
