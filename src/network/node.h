// VRN_node: one node of a network.
//
// The network owns one node record per live handle. The record owns the
// node's header (identifier, name, comment), its definition (the probability
// or utility model, VRN_nodeDef) and its value (evidence and results,
// VRN_nodeVal), the parent and child lists (parent order is the order of the
// definition's table dimensions), the appearance record, user properties,
// documentation and the diagnosis attributes with their optional extras
// (cost parents, cost children and the observation-cost table).
//
// The record never changes its handle. Its definition and value are replaced
// only by setNodeType and by the network's copy operation.
//
// Thread use: as its network, one thread at a time.
#ifndef QELTA_NETWORK_NODE_H_
#define QELTA_NETWORK_NODE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/strings.h"

class VRN_network;
class VRN_node;
class VRN_nodeDef;
class VRN_nodeVal;

// Header of a node: its identifier changes are approved by the network,
// which keeps identifiers unique and tells the definitions.
class VRN_nodeHeader : public VRN_header {
 public:
  VRN_nodeHeader(VRN_node* node, const char* id);
  VRN_nodeHeader(const VRN_nodeHeader& other, VRN_node* node);
  ~VRN_nodeHeader() override;

  // Asks the network to accept the new identifier; its refusal (-30, -32)
  // is answered unchanged, otherwise the identifier is stored and 0.
  int SetId(const char* id) override;

  VRN_node* Node() const { return node_; }

 private:
  VRN_node* node_;
};

class VRN_node {
 public:
  // A new node of the given definition type: role auxiliary, main submodel,
  // not a target, temporal type normal, name equal to the identifier. The
  // definition comes from the definition factory and the value from the
  // definition. The network has checked type code and identifier before.
  VRN_node(VRN_network* network, int type, int handle, const char* id);
  // Copy of source bound to network (same handle). flags bit 0: question and
  // documentation are not copied; bit 1: temporal type becomes normal.
  VRN_node(const VRN_node& source, VRN_network* network, int flags);
  ~VRN_node();

  VRN_node(const VRN_node&) = delete;
  VRN_node& operator=(const VRN_node&) = delete;

  VRN_network* Network() const { return network_; }
  int Handle() const { return handle_; }

  VRN_nodeHeader& Header() { return header_; }
  const VRN_nodeHeader& Header() const { return header_; }
  const char* GetId() const;

  // Owned by the node; never null once constructed.
  VRN_nodeDef* Definition() const { return definition_; }
  VRN_nodeVal* Value() const { return value_; }

  VRN_intArray& Parents() { return parents_; }
  const VRN_intArray& Parents() const { return parents_; }
  VRN_intArray& Children() { return children_; }
  const VRN_intArray& Children() const { return children_; }

  // Target mark; the network keeps the target count (VRN_network::SetTarget).
  bool IsTarget() const { return isTarget_ != 0; }
  void SetTargetMark(bool on) { isTarget_ = on ? 1 : 0; }

  int GetTemporalType() const { return temporalType_; }
  // Stores the type; the network's temporal operations check it first.
  void SetTemporalTypeRaw(int type) { temporalType_ = type; }

  // Scratch mark word of the network's walks.
  int GetMarks() const { return marks_; }
  void SetMarks(int marks) { marks_ = marks; }
  void SetMark(int bits) { marks_ |= bits; }
  void ClearMark(int bits) { marks_ &= ~bits; }
  bool HasMark(int bits) const { return (marks_ & bits) != 0; }

  // --------------------------------------------------------- definition type
  // Changes the definition type: -51 for a type that is not available or
  // for a plate node becoming a kind without outcomes (logged), 0 when
  // already of that type; -2 when no definition can be built from the
  // old one (the node stays as it was); -4 when an equation would take
  // interval bounds that do not rise strictly as its discretization (the
  // node stays as it was). Otherwise the new definition is
  // installed, evidence moves into the new value, and then the arcs the new
  // type may not keep are removed: ordinary arcs its type refuses, and every
  // cost arc when it has fewer than two outcomes (the cost children's tables
  // follow a changed outcome count otherwise). With keepArcs the ordinary
  // arcs all stay: for nodes whose neighbours change type alike in the same
  // step, so that the arcs fit again once every one of them has changed.
  int setNodeType(int code, bool keepArcs = false);
  // setNodeType with the code of a type name ("CPT", "TRUTHTABLE", "LIST",
  // "TABLE", "NOISY_MAX", "NOISY_ADDER", "MAU", "CAST", "DEMORGAN"); any
  // other name answers -51.
  int SetTypeByName(const char* name);
  // Code for a type name as SetTypeByName reads it; -2 for unknown names.
  static int TypeCodeFromName(const char* name);

  // --------------------------------------------------------------- diagnosis
  int GetDiagType() const { return diagFlags_ & 3; }
  int SetDiagType(int type);
  bool IsRanked() const { return (diagFlags_ & 4) != 0; }
  void SetRanked(bool on);
  bool IsMandatory() const { return (diagFlags_ & 8) != 0; }
  void SetMandatory(bool on);
  int GetDiagFlags() const { return diagFlags_; }
  // Question text shown for an observation; null when none.
  const char* GetQuestion() const { return question_.get(); }
  void SetQuestion(const char* text);

  // Cost parents / children and the observation-cost table; a node without
  // diagnosis extras answers shared empty lists and a shared one-item table
  // holding 0.0.
  const VRN_intArray& GetCostParents() const;
  const VRN_intArray& GetCostChildren() const;
  const VRN_matrix& GetCost() const;
  bool HasDiagExtras() const { return extras_ != nullptr; }
  // -4 for a value that is not finite (NaN, an infinity). With extras: -4
  // unless values has the table's item count. Without: -2 unless exactly
  // one value; 0.0 is accepted without creating extras. A refusal stores
  // nothing.
  int SetCost(const VRN_doubleArray& values);
  int SetCostArray(const std::vector<double>& values);
  // Adds parent as a cost parent (both nodes get extras); the cost table
  // gains the parent's dimension before its last one. Answers the table's
  // result. REQUIRES: parent is a live node of the same network.
  int AddCostParent(int parent);
  // Removes the cost parent and its dimension (keeping its first outcome).
  int RemoveCostParent(int parent);

  // Carry outcome edits of this node into the cost tables of its cost
  // children (on the dimension that belongs to this node in each child).
  int OnOutcomeInserted(int position);
  int OnOutcomeDeleted(int position);
  int OnOutcomesReordered(const VRN_intArray& order);

  // ---------------------------------------------------------------- submodel
  // The submodel handle as last stored (bit 0x8000 may be missing).
  int GetSubmodel() const { return submodel_; }
  // -2 unless h is a valid submodel handle; 0. Stores h exactly as given.
  int SetSubmodel(int submodel);
  // -2 for a null id; -30 (logged "Unknown submodel") for an unknown id.
  int SetSubmodelById(const char* id);

  VRN_screenInfo& ScreenInfo() { return screenInfo_; }
  const VRN_screenInfo& ScreenInfo() const { return screenInfo_; }
  VRN_userProperties& UserProperties() { return userProperties_; }
  const VRN_userProperties& UserProperties() const { return userProperties_; }
  VRN_documentation& Documentation() { return documentation_; }
  const VRN_documentation& Documentation() const { return documentation_; }

 private:
  struct DiagExtras {
    VRN_intArray costParents;
    VRN_intArray costChildren;
    VRN_matrix cost;  // cost parents' outcome counts, then 1
    DiagExtras();
  };
  struct FreeString {
    void operator()(char* p) const;
  };

  DiagExtras& EnsureExtras();
  DiagExtras* ExtrasOf(int handle) const;
  // After a type change from old_count outcomes, see setNodeType.
  void UpdateCostArcs(int old_count);

  VRN_network* network_;
  int handle_;
  std::uint8_t isTarget_ = 0;
  int temporalType_ = 0;
  int submodel_ = 0x8000;
  int diagFlags_ = 2;
  std::unique_ptr<char, FreeString> question_;
  int marks_ = 0;
  VRN_nodeDef* definition_ = nullptr;
  VRN_nodeVal* value_ = nullptr;
  VRN_intArray parents_;
  VRN_intArray children_;
  VRN_nodeHeader header_;
  VRN_screenInfo screenInfo_;
  VRN_userProperties userProperties_;
  VRN_documentation documentation_;
  std::unique_ptr<DiagExtras> extras_;
};

#endif  // QELTA_NETWORK_NODE_H_
