// The conditional probability table (type 18, "CPT"): one distribution over
// the node's outcomes for every combination of its parents' outcomes.
//
// The table's dimensions are the outcome counts children see of each parent
// (their GetDiscreteOutcomeCount) in parent order, then the node's own
// outcome count; the last dimension varies fastest, so the column of parent
// configuration c is the run of own-count doubles starting at c * own count.
// The table follows every structural edit of the network (parents added,
// removed, reordered; a parent's outcomes inserted, removed, reordered) and
// of its own outcomes. Columns are meant to sum to 1 but are never checked.
//
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_CPT_H_
#define QELTA_DEFINITIONS_CPT_H_

#include "base/matrix.h"
#include "definitions/discrete_def.h"

class VRN_cpt : public VRN_discDef {
 public:
  // Outcomes "State0" and "State1", a uniform table over the current parents.
  VRN_cpt(VRN_network* network, int handle);
  // Change of type: the record's outcomes and table (uniform when absent).
  explicit VRN_cpt(const VRN_discreteInfo& info);
  ~VRN_cpt() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  int GetType() const override;
  const char* GetTypeName() const override;

  // A new parent: its dimension inserted at its position, every column
  // repeated along it, then columns normalised.
  int AddParent(int parent) override;
  // The parent's dimension removed, keeping the slice of its state 0.
  int RemoveParent(int parent) override;
  // The new parent state gets uniform columns.
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;

  // Every item 1 / own count.
  int MakeUniform() override;
  // Every column an independent random distribution.
  int MakeRandom(VRN_randomGenerator& generator) override;
  // The discrete items plus a pointer to the table (not owned).
  int GetDiscreteInfo(VRN_discreteInfo* info) override;
  VRN_matrix* GetMatrix() override;
  const VRN_matrix* GetMatrixConst() const override;

  // A new own outcome has probability 0 in every column; after a removal
  // every column is renormalised (a column left all zero becomes uniform).
  int OnOutcomeInserted(int position) override;
  int OnOutcomeRemoved(int index) override;
  int OnOutcomesReordered(const VRN_intArray& order) override;
  // Uniform table for the current parents and outcomes.
  int RebuildTable() override;

 protected:
  VRN_cpt(const VRN_cpt& other, VRN_network* network);

  // Sizes the table to the current parents and own outcomes, 1 / own count.
  void BuildUniformTable();

  VRN_matrix table_;
};

#endif  // QELTA_DEFINITIONS_CPT_H_
