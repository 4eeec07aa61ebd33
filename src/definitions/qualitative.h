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
  double CalculateCptColumn(const VRN_intArray& states) override;

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

  VRN_doubleArray positive_;
  VRN_doubleArray negative_;
  double baseline_ = 0.5;
};

#endif  // QELTA_DEFINITIONS_QUALITATIVE_H_
