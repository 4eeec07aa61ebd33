// VRN_naiveBayes: learns a naive Bayes classifier, one node per data column
// with an arc from the class node to every other node, and parameters by
// counting. The record is the native object of qelta.learning.NaiveBayes.
//
// Thread use: one thread at a time per record.
#ifndef QELTA_LEARNING_NAIVE_BAYES_H_
#define QELTA_LEARNING_NAIVE_BAYES_H_

#include <string>

#include "learning/dataset.h"

class VRN_network;
class VRN_progress;

class VRN_naiveBayes {
 public:
  // Rebuilds net from data (a private copy): node i is column i. Answers 0;
  // -1 when the data fail a check, -2 when the class variable is not found,
  // a matching failure's code, or the counting failure; when a column has a
  // missing value the parameters come from EM started at uniform tables, and
  // EM's failure is answered. The reason goes to net's error log.
  [[nodiscard]] int Learn(VRN_dataset data, VRN_network& net, VRN_progress* progress,
                          double* logLikelihood) const;

  std::string classVariableId;
};

#endif  // QELTA_LEARNING_NAIVE_BAYES_H_
