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

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "definitions/id_values.h"
#include "definitions/node_def.h"
#include "equations/expression.h"

// One expression per configuration of a MAU node's decision parents; the
// dimensions are the decisions' outcome counts in parent order (the single
// dimension 1 without decisions), slots laid out last dimension fastest.
// Owns its expressions.
class VRN_mauExpressions {
 public:
  // `dimensions` empty means no decision: one slot.
  explicit VRN_mauExpressions(std::vector<int> dimensions = {});
  VRN_mauExpressions(const VRN_mauExpressions& other);
  VRN_mauExpressions& operator=(const VRN_mauExpressions&) = delete;

  const std::vector<int>& GetDimensions() const { return dimensions_; }
  int GetSlotCount() const { return static_cast<int>(slots_.size()); }
  // Slot of a decision configuration; 0 for an empty one.
  int GetSlot(const std::vector<int>& coordinates) const;
  VRN_expression* Get(int slot) const { return slots_[slot].get(); }
  // Takes ownership of expression.
  void Set(int slot, VRN_expression* expression);

  // Rebuilds the slots for new_dimensions: each new configuration takes a
  // copy of the old slot that source names, or of slot 0 when it names -1.
  void Remap(const std::vector<int>& new_dimensions,
             const std::function<int(const std::vector<int>&)>& source);

 private:
  std::vector<int> dimensions_;
  std::vector<std::unique_ptr<VRN_expression>> slots_;
};

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
  // type, and for a utility parent whose sum with an expression would nest
  // too deeply to read back. Removing a decision keeps the slice of its
  // outcome 0.
  int AddParent(int parent) override;
  int RemoveParent(int parent) override;
  // A decision's new outcome gets weight 1.0 for every utility parent.
  int OnParentOutcomeInserted(int parent, int position) override;
  int OnParentOutcomeRemoved(int parent, int index) override;
  int OnParentOutcomesReordered(int parent, const VRN_intArray& order) override;
  int ReorderParents(const VRN_intArray& order) override;

  // Every variable named old_id takes new_id.
  void OnParentIdChanged(int parent, const char* old_id,
                         const char* new_id) override;
  // -2 at the first expression that calls a missing or random function of
  // `functions`; 0 otherwise (also in weights mode).
  int CheckExtFunctions(const VRN_extFunctionContainer& functions,
                        int* position, std::string* message) override;
  int PatchExtFunctions(VRN_extFunctionContainer* functions) override;

  // Expression mode. GetExpressions: 0 and the texts in slot order, -51 in
  // weights mode. SetExpressions: an empty vector returns to weights mode;
  // else one text per slot, parsed with the network's user functions; -2
  // for a wrong count or a parse failure, -4 for a text literal (it could
  // name no outcome of a utility node), -1 for a refused expression, the
  // node unchanged and the reason in *error.
  int GetExpressions(std::vector<std::string>* texts) const;
  int SetExpressions(const std::vector<std::string>& texts,
                     std::string* error);
  // Installs a copy of expressions (null: weights mode) after checking its
  // dimensions and identifiers; the utility parents become exactly the
  // identifiers named, in byte order. 0, -2 or -1.
  int InstallExpressions(const VRN_mauExpressions* expressions,
                         std::string* error);
  // The constant 0 in one slot per present decision configuration.
  void MakeDefaultExpressions(VRN_mauExpressions* out) const;
  const VRN_mauExpressions* GetExpressionSet() const {
    return expressions_.get();
  }
  // The node's utility as a weighted sum of its utility parents plus an
  // offset, per configuration of its decision parents: *weights shaped as
  // the weights matrix, *offsets one per configuration in slot order. In
  // weights mode the weights and offsets of 0. In expression mode, when
  // every expression is a constant plus constant multiples of utility
  // parents, the weights and offsets they amount to. Otherwise false, with
  // *slot the first expression that is not, or -1 when the weights or
  // expressions do not match the parents.
  bool GetLinearForm(VRN_matrix* weights, std::vector<double>* offsets,
                     int* slot) const;

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

  // Drops decision dimension `dimension` or utility weight `u` (-1: none).
  int RemoveWeights(int dimension, int u);
  // Rebuilds the weights from the present parents.
  void BuildWeights();
  bool IsDecisionParent(int handle) const;
  bool IsUtilityParent(int handle) const;
  int CountUtilityParents() const;
  std::vector<int> DecisionDimensions() const;
  // Expression-mode halves of the structure edits. Adding a utility parent
  // is refused (-2, "Expression is nested too deeply" logged) when a sum
  // would nest deeper than the parser reads back.
  int ExpressionsAddParent(int parent, int d);
  void ExpressionsRemoveParent(int parent, int d);
  // Parents other than decisions that no expression names lose their arc.
  void RemoveUnreferencedParents();
  // Identifier check of one variable name; empty when allowed.
  std::string CheckIdentifier(const std::string& name,
                              const std::vector<std::string>& allowed) const;

  VRN_matrix weights_;
  std::unique_ptr<VRN_mauExpressions> expressions_;
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
