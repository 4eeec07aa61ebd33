// Bases of the definitions given by a few parameters instead of a full
// table (the canonical and qualitative kinds).
//
// VRN_lazyDef keeps the expanded conditional probability table that
// inference needs as a cache: it is computed from the parameters on first
// demand (CalculateCpt) and marked stale by every change of the parameters
// or of the parents. A table that cannot be built (size overflow, memory)
// stays stale and the expanded definition is null.
//
// VRN_qualDef is the base of the qualitative two-outcome kinds: outcomes
// fixed to "True" and "False", every parent taken as two-state, and each
// column computed by one CalculateCptColumn call.
//
// Both are abstract; they are owned by their node like every definition.
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_LAZY_DEF_H_
#define QELTA_DEFINITIONS_LAZY_DEF_H_

#include "base/matrix.h"
#include "definitions/discrete_def.h"

class VRN_lazyDef : public VRN_discDef {
 public:
  ~VRN_lazyDef() override;

  // The parameter matrix for writing; the cache becomes stale, since the
  // caller may change the parameters through it.
  int GetDefinition(VRN_matrix** out) override;
  // The expanded table, recomputed first when stale; null when it cannot
  // be built.
  const VRN_matrix* GetExpandedDefinition() override;
  // The discrete items, then the expanded table (not owned; null when it
  // cannot be built).
  int GetDiscreteInfo(VRN_discreteInfo* info) override;
  // Copies the cache into a target of the same class whose expanded table
  // has the same dimensions; any other target stays unchanged.
  void CopyParameters(VRN_nodeDef* target) const override;

  // Fills `expanded_` from the parameters: 0, or a negative status when the
  // table cannot be built.
  virtual int CalculateCpt() = 0;

  // Recomputes the expanded table when stale: 0, or CalculateCpt's failure
  // (the cache then stays stale).
  int EnsureCpt();
  // The parent's index, marking the cache stale; -2 (cache kept) when the
  // handle is not a parent.
  int GetParentIndexInvalidate(int handle);
  bool IsCptValid() const { return cpt_valid_; }
  void InvalidateCpt() { cpt_valid_ = false; }

 protected:
  // Ids copied (the default ids for a null pointer); empty stale cache.
  VRN_lazyDef(VRN_network* network, int handle, const VRN_idArray* ids);
  // The record's ids, values and diagnosis data; empty stale cache.
  explicit VRN_lazyDef(const VRN_discreteInfo& info);
  // Everything, the cache included.
  VRN_lazyDef(const VRN_lazyDef& other, VRN_network* network);

  VRN_matrix expanded_;
  bool cpt_valid_ = false;
};

class VRN_qualDef : public VRN_lazyDef {
 public:
  ~VRN_qualDef() override;

  // No parameter matrix.
  VRN_matrix* GetMatrix() override;
  const VRN_matrix* GetMatrixConst() const override;
  // "True" and "False" are fixed.
  bool AreOutcomesFixed() const override;
  // Nothing to rebuild: 0.
  int RebuildTable() override;
  // Every parent two-state, two own outcomes: item c of each column (c =
  // 0, 2, 4, ...) is CalculateCptColumn of the column's coordinates, item
  // c + 1 CalculateCptComplement. -42 when the table does not fit.
  int CalculateCpt() override;
  // Probability of "True" for the parent configuration in `coordinates`
  // (the coordinates of the column's first item).
  virtual double CalculateCptColumn(const VRN_intArray& coordinates) = 0;
  // Probability of "False" for that configuration, given p_true (what
  // CalculateCptColumn answered): 1 - p_true here. A subclass whose p_true
  // can round to 1 with "False" still possible forms it from the small side.
  virtual double CalculateCptComplement(const VRN_intArray& coordinates,
                                        double p_true);

  // The shared outcome ids "True", "False", built on first use.
  static const VRN_idArray& TrueFalseIds();

 protected:
  VRN_qualDef(VRN_network* network, int handle);
  // Outcomes "True" and "False" whatever the record names; the record's
  // values and diagnosis data are kept only when it has two outcomes.
  explicit VRN_qualDef(const VRN_discreteInfo& info);
  VRN_qualDef(const VRN_qualDef& other, VRN_network* network);

 private:
  VRN_qualDef(const VRN_discreteInfo& info, VRN_discreteInfo&& scratch);
};

#endif  // QELTA_DEFINITIONS_LAZY_DEF_H_
