// The qualitative two-outcome definitions: DeMorgan (type 82, "DEMORGAN")
// and CAST (type 50, "CAST"). Their outcomes are "True" and "False"; every
// parent is of the same kind and so two-state (state 0 "True").
//
// VRN_demorgan: each parent has a role and a weight in [0, 1], the node a
// prior belief. Causes (role 2, acting while "True") and barriers (3,
// acting while "False") raise P("True") like a noisy-OR over the prior;
// inhibitors (0, while "True") and requirements (1, while "False") then
// scale it down. Any other role code is stored and has no effect.
//
// VRN_cast: each parent has a weight in [-1, 1] for each of its two
// states; positive weights pull P("True") from the baseline towards 1,
// negative ones towards 0, and their balance decides the direction.
//
// Owned by their node. Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_QUALITATIVE_H_
#define QELTA_DEFINITIONS_QUALITATIVE_H_

#include "base/arrays.h"
#include "definitions/lazy_def.h"

class VRN_demorgan : public VRN_qualDef {
 public:
  static constexpr int kInhibitor = 0;
  static constexpr int kRequirement = 1;
  static constexpr int kCause = 2;
  static constexpr int kBarrier = 3;

  // Prior 0.5; one cause of weight 0.0 per current parent.
  VRN_demorgan(VRN_network* network, int handle);
  explicit VRN_demorgan(const VRN_discreteInfo& info);
  ~VRN_demorgan() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  int GetType() const override;
  const char* GetTypeName() const override;
  // A new parent is a cause of weight 0.0. -2 when not a parent.
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  // -2 unless order is a permutation of the parents.
  int ReorderParents(const VRN_intArray& order) override;
  // Prior, roles and weights go to a DeMorgan target with as many parents.
  void CopyParameters(VRN_nodeDef* target) const override;
  double CalculateCptColumn(const VRN_intArray& states) override;
  // P("False") as (1 - prior) times the complements of the acting raising
  // weights, then raised by the lowering ones, where 1 - p_true lost it.
  double CalculateCptComplement(const VRN_intArray& states,
                                double p_true) override;

  int GetParentCount() const { return types_.GetSize(); }
  // The role, -1 for a bad index.
  int GetParentType(int i) const;
  // The weight, -1.0 for a bad index.
  double GetParentWeight(int i) const;
  double GetPriorBelief() const { return prior_; }
  const VRN_intArray& GetParentTypes() const { return types_; }
  const VRN_doubleArray& GetParentWeights() const { return weights_; }
  // -2 for a bad index; the role is not checked.
  int SetParentType(int i, int role);
  // -2 unless one role per parent.
  int SetParentTypes(const VRN_intArray& roles);
  // -2 bad index, -4 weight outside [0, 1] (NaN included).
  int SetParentWeight(int i, double weight);
  // -2 unless one weight per parent, -4 when any is outside [0, 1].
  int SetParentWeights(const VRN_doubleArray& weights);
  // -4 outside [0, 1].
  int SetPriorBelief(double p);

  // ---- Temporal definitions of a plate node (canonical_temporal.cpp);
  // parent i is the node's i-th temporal parent of that order.
  // Position of that parent among the parents of the temporal definition of
  // that order; -1 for a bad index or without such a definition.
  int GetTemporalParentIndex(int order, int i) const;
  // -1 without a temporal definition of that order or for a bad index.
  int GetTemporalParentType(int order, int i) const;
  double GetTemporalParentWeight(int order, int i) const;
  // -1 without a temporal definition of that order or for a bad index; -4
  // for a weight outside [0, 1]; else stores it; 0.
  int SetTemporalParentType(int order, int i, int role);
  int SetTemporalParentWeight(int order, int i, double weight);

 private:
  VRN_demorgan(const VRN_demorgan& other, VRN_network* network);
  void Changed();

  VRN_intArray types_;
  VRN_doubleArray weights_;
  double prior_ = 0.5;
};

class VRN_cast : public VRN_qualDef {
 public:
  // Baseline 0.5; weights 0.0 for every current parent.
  VRN_cast(VRN_network* network, int handle);
  explicit VRN_cast(const VRN_discreteInfo& info);
  ~VRN_cast() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  int GetType() const override;
  const char* GetTypeName() const override;
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  int ReorderParents(const VRN_intArray& order) override;
  void CopyParameters(VRN_nodeDef* target) const override;
  // Near 0 (and, for the complement, near 1) the ratio of the two products
  // is taken through their logarithms, where the plain arithmetic lost it.
  double CalculateCptColumn(const VRN_intArray& states) override;
  double CalculateCptComplement(const VRN_intArray& states,
                                double p_true) override;

  double GetBaseline() const { return baseline_; }
  const VRN_doubleArray& GetPositiveWeights() const { return positive_; }
  const VRN_doubleArray& GetNegativeWeights() const { return negative_; }
  // -2 unless one weight per parent, -4 when any is outside [-1, 1].
  int SetPositiveWeights(const VRN_doubleArray& weights);
  int SetNegativeWeights(const VRN_doubleArray& weights);
  // -4 outside [0, 1].
  int SetBaseline(double b);

 private:
  VRN_cast(const VRN_cast& other, VRN_network* network);
  int SetWeights(const VRN_doubleArray& weights, VRN_doubleArray* into);
  void Changed();
  // log A and log B of the column's products (A of the negative weights'
  // 1 + w, B of the others' 1 - w).
  void LogProducts(const VRN_intArray& states, double* log_a,
                   double* log_b) const;

  VRN_doubleArray positive_;
  VRN_doubleArray negative_;
  double baseline_ = 0.5;
};

#endif  // QELTA_DEFINITIONS_QUALITATIVE_H_
