// Causal-independence (noisy) definitions: the abstract base of noisy-MAX
// and noisy-adder.
//
// Instead of a full table the definition keeps a parameter matrix of C
// columns by n own outcomes (outcomes fastest, so column c is the run of n
// doubles at c * n): parent i owns the block of columns starting at the sum
// of the outcome counts of the parents before it, one column per outcome
// (or strength position) of that parent, and the last column is the leak.
// Some columns are constrained to a point mass by the subclass; the others
// are free. The expanded table is computed from the parameters by the
// subclass on demand and marked stale by every change made here.
//
// Owned by its node like every definition. Thread use: one thread per
// network.
#ifndef QELTA_DEFINITIONS_CI_DEF_H_
#define QELTA_DEFINITIONS_CI_DEF_H_

#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "definitions/lazy_def.h"

class VRN_ciDef : public VRN_lazyDef {
 public:
  ~VRN_ciDef() override;

  // A new parent (already appended to the parent array) gets uniform
  // columns, its last column the point mass at the last own outcome; the
  // leak moves to the end. -2 when `parent` is not a parent.
  int AddParent(int parent) override;
  // The parent's columns removed; -2 when it is not a parent.
  int RemoveParent(int parent) override;
  // Every free column uniform (or a random distribution); constrained
  // columns keep their point masses. 0.
  int MakeUniform() override;
  int MakeRandom(VRN_randomGenerator& generator) override;
  // A target of the same class whose parents have the same outcome counts
  // receives this definition's parameters, subclass fields and, when
  // current, expanded table; any other target stays unchanged. The
  // relevance bookkeeping (and the automatic update) hears of the change
  // only once all of it is in place.
  void CopyParameters(VRN_nodeDef* target) const final;
  // The parameter matrix. The writable access marks the expanded table
  // stale, since the caller may change the parameters through it.
  VRN_matrix* GetMatrix() override;
  const VRN_matrix* GetMatrixConst() const override;

  // Own outcome edits: every column follows, then the constrained columns
  // are written again. Columns are not renormalised.
  int OnOutcomeInserted(int position) override;
  int OnOutcomeRemoved(int index) override;
  int OnOutcomesReordered(const VRN_intArray& order) override;
  // Every item 1/n for the current parents and outcomes, then the
  // constrained columns.
  int RebuildTable() override;

  // The indices of the free columns, ascending.
  virtual void GetFreeParameterColumns(std::vector<int>* out) const = 0;
  // Writes every constrained column.
  virtual void SetConstrainedColumns() = 0;

  // Number of columns of parent `index` (its outcome count).
  // REQUIRES: 0 <= index < parent count.
  int GetParentOutcomeCount(int index) const { return widths_[index]; }
  // First column of parent `index`; 0 for an index below 1.
  int GetParentColumnOffset(int index) const;
  int GetColumnCount() const { return parameters_.GetSize(0); }
  int GetLeakColumn() const { return GetColumnCount() - 1; }
  int GetOwnCount() const { return parameters_.GetSize(1); }
  const VRN_matrix& Parameters() const { return parameters_; }

  // Column helpers; parent indices are not checked.
  int InsertParameterColumn(int parent, int position, bool uniform);
  int RemoveParameterColumn(int parent, int position);
  // Every entry 0.0, the outcome's 1.0; a negative outcome means the last.
  void SetColumnPointMass(int column, int outcome);
  // Moves the column blocks after the parents were permuted (new parent i
  // is old parent order[i]). -2 for an order that is not a permutation of
  // the parents.
  int ReorderParameterColumns(const VRN_intArray& order);

  // Copies the items of `parameters`: -4 (nothing changed) when its
  // dimensions differ, RefusedItemsStatus when the subclass refuses an
  // item; 0.
  int SetParameters(const VRN_matrix& parameters);
  // Copies the doubles in item order: -4 (nothing changed) when the count
  // differs, RefusedItemsStatus when the subclass refuses an item; 0.
  int LoadParameters(const VRN_doubleArray& items);

  // ---- Temporal definitions of a plate node (canonical_temporal.cpp).
  // The parameters of the temporal definition of that order; null when the
  // node is not a plate node or has none.
  const VRN_matrix* GetTemporalCiWeights(int order) const;
  // -2 without a temporal definition of that order; else SetParameters on
  // it (-4 on a dimension mismatch); 0.
  int SetTemporalCiWeights(int order, const VRN_matrix& parameters);

 protected:
  // Default outcomes, a uniform leak column only.
  VRN_ciDef(VRN_network* network, int handle);
  // The record's outcomes, uniform columns for the current parents.
  explicit VRN_ciDef(const VRN_discreteInfo& info);
  VRN_ciDef(const VRN_ciDef& other, VRN_network* network);

  // Marks the table stale and tells the relevance bookkeeping that the
  // node's distribution changed.
  void ParametersChanged();
  // The part of CopyParameters beyond the parameter matrix: the subclass's
  // own fields into `target`, which has this class and parents of this
  // definition's outcome counts. Announces nothing.
  virtual void CopyFieldsInto(VRN_ciDef* target) const = 0;
  // Sizes the parameters to `columns` x own count, every item 1/n.
  int BuildUniform(int columns);
  // Gives the expanded table (kept by the lazy base) the parents' widths
  // and the own count, keeping it as it is when it has them already.
  // 0, or -42 when it cannot be allocated.
  int ShapeExpandedTable();
  // A copy of every free column run through `apply` (column start, n).
  template <typename Apply>
  void ForEachFreeColumn(Apply apply);

  VRN_matrix parameters_;
  // Column block width of each parent, in parent order.
  VRN_intArray widths_;

 private:
  // Replaces the parameters by the given columns of the old matrix (-1: a
  // zero column), keeping n.
  int Rebuild(const std::vector<int>& sources);
};

#endif  // QELTA_DEFINITIONS_CI_DEF_H_
