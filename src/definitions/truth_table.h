// The truth table (type 20, "TRUTHTABLE"): a CPT whose columns are kept
// deterministic (one entry 1.0, the others 0.0) by its own operations. The
// SetDefinition family of VRN_nodeDef writes any values unchecked; files
// that keep only resulting states ask HasOnlyDeterministicColumns first.
//
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_TRUTH_TABLE_H_
#define QELTA_DEFINITIONS_TRUTH_TABLE_H_

#include "definitions/cpt.h"

class VRN_truthTable : public VRN_cpt {
 public:
  // Outcomes "State0" and "State1", state 0 in every column.
  VRN_truthTable(VRN_network* network, int handle);
  // Change of type: the record's table (or a uniform one) made
  // deterministic, the first maximum of each column winning.
  explicit VRN_truthTable(const VRN_discreteInfo& info);
  ~VRN_truthTable() override;

  VRN_nodeDef* Clone(VRN_network* target) const override;
  int GetType() const override;
  const char* GetTypeName() const override;
  // -51: a uniform column is not deterministic.
  int MakeUniform() override;
  // One random state per column; the relevance hook runs (kind 128).
  int MakeRandom(VRN_randomGenerator& generator) override;
  // State 0 in every column.
  int RebuildTable() override;
  // The CPT's rules leave uniform columns behind (a new parent state, an
  // own outcome removed from under a column's 1.0); those columns get
  // state 0, and the other columns keep their numbers.
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnOutcomeRemoved(int index) override;

  // Appends, per parent configuration in table order, the first state whose
  // entry is 1.0 (0 when none).
  void GetResultingStates(VRN_intArray* out) const;
  void GetResultingStateNames(VRN_stringArray* out) const;
  // One state per parent configuration: -4 on a count mismatch, -2 for a
  // state out of range; the table is unchanged on failure.
  int SetResultingStates(const VRN_intArray& states);
  // The same by outcome id; -2 for an id the node does not have.
  int SetResultingStateNames(const VRN_stringArray& names);
  // Whether every column holds one 1.0 among zeros, so that the resulting
  // states say all the table says.
  bool HasOnlyDeterministicColumns() const;

 private:
  VRN_truthTable(const VRN_truthTable& other, VRN_network* network);

  void MakeDeterministic();
};

#endif  // QELTA_DEFINITIONS_TRUTH_TABLE_H_
