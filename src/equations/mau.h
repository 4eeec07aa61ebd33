// The multi-attribute utility definition (type 520, "MAU") and its value.
//
// A MAU node combines the expected utilities of its utility parents (utility
// and MAU nodes) into one utility: a weighted sum, with one weight row per
// configuration of its decision parents. The weights matrix has the decision
// parents' outcome counts as its dimensions, in parent order, then one last
// dimension with one weight per utility parent; it has no dimension at all
// while the node has no parent. Parents of any other type are ignored here
// (the network's arc rule keeps them away; a change of type into MAU drops
// them through RemoveParent).
//
// The value, VRN_mauExpectedUtility (value type 7), holds the combined
// expected utility per configuration of the decisions that index it, filled
// by CalculateUtilities once the parents' values are known.
//
// Both are owned by their node. Thread use: one thread per network.
#ifndef QELTA_EQUATIONS_MAU_H_
#define QELTA_EQUATIONS_MAU_H_

#include "base/matrix.h"
#include "definitions/id_values.h"
#include "definitions/node_def.h"

class VRN_mau : public VRN_nodeDef {
 public:
  // Weights sized to the node's present decision, utility and MAU parents:
  // the weights adding them one by one gives (every weight 1.0).
  VRN_mau(VRN_network* network, int handle);
  explicit VRN_mau(const VRN_discreteInfo& info);
  ~VRN_mau() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  // MAU expected utilities (value type 7).
  VRN_nodeVal* CreateValueFromRecord(
      const VRN_evidenceRecord& record) const override;
  VRN_nodeVal* CreateValue() const override;
  int GetType() const override;
  const char* GetTypeName() const override;

  // A decision parent's dimension repeats every weight row along it; a
  // utility parent gets weight 1.0 in every row. -2 for a parent of another
  // type. Removing a decision keeps the slice of its outcome 0.
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  // A decision's new outcome gets weight 1.0 for every utility parent.
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;

  // No outcomes, so no table to hand over.
  int GetDiscreteInfo(VRN_discreteInfo* info) override;
  VRN_matrix* GetMatrix() override;
  const VRN_matrix* GetMatrixConst() const override;

  // Position of `parent` among the decision (resp. utility and MAU) parents
  // in parent order; -1 when it is not one of them.
  int DecisionPosition(int parent) const;
  int UtilityPosition(int parent) const;

 protected:
  // Weights must be finite numbers.
  bool AcceptsItems(const double* items, int count) const override;

 private:
  VRN_mau(const VRN_mau& other, VRN_network* network);

  // Rebuilds the weights from the present parents.
  void BuildWeights();
  bool IsDecisionParent(int handle) const;
  bool IsUtilityParent(int handle) const;
  int CountUtilityParents() const;

  VRN_matrix weights_;
};

class VRN_mauExpectedUtility : public VRN_expectedUtility {
 public:
  // One item, not valid.
  VRN_mauExpectedUtility(VRN_network* network, int handle);
  ~VRN_mauExpectedUtility() override;

  VRN_nodeVal* Clone(VRN_network* target) const override;
  int GetType() const override;

  // Fills every cell from the parents' expected utilities and the weights
  // row of the cell's decisions (an indexing decision's coordinate, else the
  // decision's evidence outcome). A cell whose inputs cannot be read (a
  // parent indexed by a decision that does not index this value, a decision
  // neither indexing nor observed) or hold the undefined marker gets the
  // undefined marker. 0, or -51 when the node is not a MAU node.
  int CalculateUtilities();

 private:
  VRN_mauExpectedUtility(const VRN_mauExpectedUtility& other,
                         VRN_network* network);
};

#endif  // QELTA_EQUATIONS_MAU_H_
