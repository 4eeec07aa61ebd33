// The decision list (type 17, "LIST"): a decision node defined by its choices
// alone. Its parents are informational (they say what is known when the
// decision is made) and index no table, so parent edits change nothing here.
// A new decision has the choices "Choice0" and "Choice1".
//
// The node's value is a VRN_policyValues. Owned by its node like every
// definition.
//
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_DECISION_H_
#define QELTA_DEFINITIONS_DECISION_H_

#include "definitions/discrete_def.h"

class VRN_decision : public VRN_discDef {
 public:
  // Choices "Choice0" and "Choice1".
  VRN_decision(VRN_network* network, int handle);
  // Change of type: the record's ids, values and diagnosis data.
  explicit VRN_decision(const VRN_discreteInfo& info);
  ~VRN_decision() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  // Policy values (value type 6).
  VRN_nodeVal* CreateValueFromRecord(
      const VRN_evidenceRecord& record) const override;
  VRN_nodeVal* CreateValue() const override;
  int GetType() const override;
  const char* GetTypeName() const override;

  // Informational parents touch nothing: 0.
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  // ReorderParents, MakeUniform and MakeRandom stay -51: there is no table.

  VRN_matrix* GetMatrix() override;
  const VRN_matrix* GetMatrixConst() const override;
  const char* GetDefaultOutcomePrefix() const override;
  // No table to rebuild: 0.
  int RebuildTable() override;

 private:
  VRN_decision(const VRN_decision& other, VRN_network* network);
};

#endif  // QELTA_DEFINITIONS_DECISION_H_
