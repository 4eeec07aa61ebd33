// The utility table (type 8, "TABLE"): a utility node has no outcomes and
// holds one utility per configuration of its parents.
//
// The table's dimensions are the parents' outcome counts in parent order,
// then one last dimension of size 1, so item c is the utility of parent
// configuration c. The table follows the network's structure edits like a
// CPT's. Utilities must be finite numbers: the SetDefinition family refuses
// NaN and infinities with -2.
//
// The node's value is a VRN_expectedUtility. Owned by its node.
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_UTILITY_H_
#define QELTA_DEFINITIONS_UTILITY_H_

#include "base/matrix.h"
#include "definitions/node_def.h"

class VRN_utility : public VRN_nodeDef {
 public:
  // Sized to the current parents, every utility 1.0.
  VRN_utility(VRN_network* network, int handle);
  // Change of type: from a record's table that fits the parents, each
  // parent configuration's utility is the first outcome's entry; else every
  // utility is 1.0.
  explicit VRN_utility(const VRN_discreteInfo& info);
  ~VRN_utility() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  // Expected utilities (value type 4).
  VRN_nodeVal* CreateValueFromRecord(
      const VRN_evidenceRecord& record) const override;
  VRN_nodeVal* CreateValue() const override;
  int GetType() const override;
  const char* GetTypeName() const override;

  // A new parent's dimension repeats every utility along it; a removed
  // parent keeps the slice of its state 0.
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  // A new parent state gets utility 0.0.
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;
  // Influential when some other-parent configuration's utilities differ by
  // more than `tolerance` times the table's range between the parent's state
  // 0 and another state. A constant table is never influential. -2 for a
  // bad index.
  int CheckParentInfluence(int parent_index, double tolerance,
                           bool* influential) override;

  // Every utility 1.0 / a uniform draw in [0, 1).
  int MakeUniform() override;
  int MakeRandom(VRN_randomGenerator& generator) override;
  // Hands over a new two-outcome table (owned by the record): per parent
  // configuration p = (u - min) / (max - min) and 1 - p, 0.5 each when the
  // table is constant. No outcome ids.
  int GetDiscreteInfo(VRN_discreteInfo* info) override;
  VRN_matrix* GetMatrix() override;
  const VRN_matrix* GetMatrixConst() const override;

  // Largest and smallest utility.
  double GetMaximum() const;
  double GetMinimum() const;
  // Maps the table onto 0..1 (undefined markers stay); all 1.0 when the
  // table is constant; nothing happens when it already spans exactly 0..1.
  // Reversed, the maximum goes to 0 and the minimum to 1 (a constant table
  // too becomes all 1.0). 0.
  int Rescale(bool reversed = false);

 protected:
  bool AcceptsItems(const double* items, int count) const override;

 private:
  VRN_utility(const VRN_utility& other, VRN_network* network);

  void BuildUniformTable();

  VRN_matrix table_;
};

#endif  // QELTA_DEFINITIONS_UTILITY_H_
