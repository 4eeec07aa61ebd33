// Noisy-adder (type 274, "NOISY_ADDER"): the causal-independence
// definition in which each parent outside its distinguished state
// contributes its own distribution over the node's outcomes, combined by a
// weighted average (function 0) or by single fault (function 1: exactly one
// active parent gives its distribution, otherwise the leak applies).
//
// Parameter column offset_i + k holds the distribution for parent i's
// outcome k (see VRN_ciDef); the column of a parent's distinguished outcome
// is fixed to the point mass at the node's distinguished outcome and is
// never read by the functions. Weights are positive, one per parent and
// the leak's last.
//
// Owned by its node. Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_NOISY_ADDER_H_
#define QELTA_DEFINITIONS_NOISY_ADDER_H_

#include <vector>

#include "base/arrays.h"
#include "definitions/ci_def.h"

class VRN_noisyAdder : public VRN_ciDef {
 public:
  static constexpr int kAverage = 0;
  static constexpr int kSingleFault = 1;

  // Default outcomes, the leak column only, weight 1.0, average.
  VRN_noisyAdder(VRN_network* network, int handle);
  // Change of type: the record's outcomes, uniform parameters, every
  // distinguished state the last outcome, weights 1.0, average.
  explicit VRN_noisyAdder(const VRN_discreteInfo& info);
  ~VRN_noisyAdder() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  int GetType() const override;
  const char* GetTypeName() const override;

  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;

  int OnOutcomeInserted(int position) override;
  int OnOutcomeRemoved(int index) override;
  int OnOutcomesReordered(const VRN_intArray& order) override;
  int RebuildTable() override;

  int CalculateCpt() override;
  // Every parent's columns but its distinguished one, then the leak.
  void GetFreeParameterColumns(std::vector<int>* out) const override;
  // Each parent's distinguished column: the point mass at the node's
  // distinguished outcome.
  void SetConstrainedColumns() override;

  int GetDistinguishedState() const { return distinguished_; }
  // REQUIRES: 0 <= i < parent count.
  int GetParentDistinguishedState(int i) const { return parent_states_[i]; }
  // Weights of the parents, then the leak's.
  const VRN_doubleArray& GetWeights() const { return weights_; }
  int GetFunction() const { return function_; }

  // -2 outside the outcomes; 0 (nothing changed) when unchanged.
  int SetDistinguishedState(int outcome);
  // -2 for a bad parent index or outcome.
  int SetParentDistinguishedState(int i, int outcome);
  // Index == parent count sets the leak weight. -2 for a bad index or a
  // weight that is not a finite number above 0.
  int SetParentWeight(int i, double weight);
  // -2 for any code but 0 and 1.
  int SetFunction(int code);

 protected:
  // Function, distinguished states and weights.
  void CopyFieldsInto(VRN_ciDef* target) const override;

 private:
  VRN_noisyAdder(const VRN_noisyAdder& other, VRN_network* network);

  int distinguished_;
  VRN_intArray parent_states_;
  VRN_doubleArray weights_;
  int function_ = kAverage;
  // Scratch of the table walk: running sums and the walk's positions.
  std::vector<double> running_;
  std::vector<int> walk_;
};

#endif  // QELTA_DEFINITIONS_NOISY_ADDER_H_
