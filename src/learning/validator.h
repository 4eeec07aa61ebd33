// VRN_validator: how well a network predicts class variables of a data set.
// Every record's other matched values become evidence (a match of slice
// k >= 1 on a plate node evidence at slice k), and the class nodes'
// posteriors are stored per record; tests run on the network as it is
// (Test) or relearned by EM on the other folds (KFold, LeaveOneOut). From
// the stored posteriors: accuracy, confusion matrices, ROC curves and two
// calibration curves, and a copy of the data with the predictions added.
//
// Ownership: the network and the data set are borrowed and must outlive
// the validator; neither is changed by a run (the data set's record index
// is changed during KFold and restored). Thread use: one thread at a time.
#ifndef QELTA_LEARNING_VALIDATOR_H_
#define QELTA_LEARNING_VALIDATOR_H_

#include <utility>
#include <vector>

#include "learning/dataset.h"

class VRN_em;
class VRN_network;
class VRN_progress;

class VRN_validator {
 public:
  using Points = std::vector<std::pair<double, double>>;

  VRN_validator(VRN_dataset* data, VRN_network* net, std::vector<VRN_dataMatch> matches,
                std::vector<int> fixedNodes = {});

  // 0; -2 not a live node; -32 already a class node; -30 no match names
  // it; -51 matched to a continuous column, or (logged, naming the node)
  // matched to a slice of 1 or more.
  int AddClassNode(int node);
  // Tests every record on a copy of the network. 0; -3 no class node; -2 a
  // match naming a bad column or node; -99 cancelled. Record failures are
  // logged and leave that record without prediction.
  int Test(VRN_progress* progress);
  // K-fold cross-validation: EM relearns a copy of the network on the
  // records outside each fold, which is then tested. seed < 0 keeps the
  // record order, else it is shuffled. 0; -1 (logged) a fold count neither
  // n nor 2..n/2; -3; -2; EM's code (logged); -99.
  int KFold(const VRN_em& em, int folds, int seed, VRN_progress* progress);
  int LeaveOneOut(const VRN_em& em, VRN_progress* progress);

  // Share of the records of recorded outcome o predicted as o (0/0 is NaN).
  // 0; -2 not a class node or bad outcome; -4 before any run.
  int GetAccuracy(int node, int outcome, double* out) const;
  // 0; -2 not a class node; -4 before any run.
  int GetConfusionMatrix(int node, std::vector<std::vector<int>>* out) const;
  // Curves of outcome o of class node c: -30 not a class node (or bad
  // outcome), -2 no match names it or a bad bin count / window, -3 no
  // record has a prediction.
  int GetROC(int node, int outcome, Points* points, std::vector<double>* thresholds,
             double* area) const;
  int GetCalibrationCurveB(int node, int outcome, int bins, Points* points,
                           double* statistic) const;
  int GetCalibrationCurveMA(int node, int outcome, int window, Points* points) const;
  // A copy of the data set with the predictions in new columns.
  void GetResultDataSet(VRN_dataset* out) const;

 private:
  int Prepare();
  int CheckMatches() const;
  // Tests presented record r on net; its status (failures logged to net).
  int TestRecord(VRN_network& net, int r);
  int ClassIndex(int node) const;
  // The recorded values and sorted positions of a curve; 0 or its code.
  int SortForCurve(int node, int outcome, std::vector<int>* recorded,
                   std::vector<int>* order, std::vector<double>* entries, int* first) const;
  int Predicted(int r, int c) const;

  VRN_dataset* data_;
  VRN_network* net_;
  std::vector<VRN_dataMatch> matches_;
  std::vector<int> fixed_;
  std::vector<int> classes_;
  std::vector<int> offsets_;
  int width_ = 0;
  std::vector<double> results_;
  std::vector<std::vector<std::vector<int>>> confusion_;
};

#endif  // QELTA_LEARNING_VALIDATOR_H_
