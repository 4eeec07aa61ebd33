// Values of influence-diagram nodes: the policy values of a decision (value
// type 6: one expected value per choice, and per configuration of the
// indexing parents) and the expected utility of a utility node (value type
// 4). Both are written by the influence-diagram solvers.
//
// A decision can be observed (a choice already made) but takes no virtual
// evidence: every virtual-evidence operation answers -51. A utility node has
// no outcomes, so every evidence operation of an expected utility answers
// -51.
//
// Owned by their node like every value. Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_ID_VALUES_H_
#define QELTA_DEFINITIONS_ID_VALUES_H_

#include "base/matrix.h"
#include "definitions/node_val.h"

class VRN_policyValues : public VRN_discVal {
 public:
  // An empty value: no evidence, not valid.
  VRN_policyValues(VRN_network* network, int handle);
  // Carries an observed choice of the record (virtual evidence is dropped);
  // the value matrix is not valid.
  VRN_policyValues(const VRN_discDef& definition,
                   const VRN_evidenceRecord& record);
  ~VRN_policyValues() override;

  VRN_nodeVal* Clone(VRN_network* target) const override;
  int GetType() const override;

 private:
  VRN_policyValues(const VRN_policyValues& other, VRN_network* network);
};

class VRN_expectedUtility : public VRN_nodeVal {
 public:
  // One item (a matrix of one dimension of size 1), not valid.
  VRN_expectedUtility(VRN_network* network, int handle);
  ~VRN_expectedUtility() override;

  VRN_nodeVal* Clone(VRN_network* target) const override;
  int GetType() const override;
  // Flags 0, no indexing parents, the matrix back to one item.
  void ClearIndexingParents() override;
  const VRN_matrix& GetValue() const override;
  VRN_matrix& GetMutableValue() override;
  // Nothing to record: there is no evidence.
  void StoreEvidence(VRN_evidenceRecord& record) const override;

  // Largest and smallest item.
  double GetMaximum() const;
  double GetMinimum() const;
  // Maps [lo, hi] (widened to hold every item; the items' own range when
  // lo equals hi) linearly onto [new_lo, new_hi]. Every item becomes new_hi
  // when either range is empty; undefined markers stay. 0.
  int Rescale(double lo, double hi, double new_lo, double new_hi);

 protected:
  VRN_expectedUtility(const VRN_expectedUtility& other, VRN_network* network);

 private:
  VRN_matrix value_;
};

#endif  // QELTA_DEFINITIONS_ID_VALUES_H_
