// Node definitions: the abstract root of the definition class tree, the
// definition type codes, the factory and the hand-over record used when a
// node changes its definition type.
//
// Every node of a VRN_network owns exactly one definition (created here by
// Create, CreateConverted or Clone and deleted by the node record). A
// definition knows only its network and its node handle; parents, children,
// identifiers and the outcome counts of other nodes are read through the
// network. Operations a kind of definition does not support answer -51
// (kErrWrongNodeType) from this base class.
//
// Thread use: a definition is used by the one thread that uses its network.
#ifndef QELTA_DEFINITIONS_NODE_DEF_H_
#define QELTA_DEFINITIONS_NODE_DEF_H_

#include <string>
#include <vector>

class VRN_network;
class VRN_nodeVal;
class VRN_evidenceRecord;
class VRN_intArray;
class VRN_doubleArray;
class VRN_stringArray;
class VRN_idArray;
class VRN_matrix;
class VRN_randomGenerator;
// Equation (4) and multi-attribute utility (520) definitions and the
// user-defined function container belong to the expression language.
class VRN_equation;
class VRN_mau;
class VRN_extFunctionContainer;

namespace qelta {

struct OutcomeDiagBlock;

// Definition type codes. The codes are sums of single bits (see below) and
// other parts of the engine test those bits instead of whole codes.
inline constexpr int kDefEquation = 4;       // "EQUATION"
inline constexpr int kDefUtility = 8;        // "TABLE"
inline constexpr int kDefDecision = 17;      // "LIST"
inline constexpr int kDefCpt = 18;           // "CPT"
inline constexpr int kDefTruthTable = 20;    // "TRUTHTABLE"
inline constexpr int kDefCast = 50;          // "CAST"
inline constexpr int kDefDemorgan = 82;      // "DEMORGAN"
inline constexpr int kDefNoisyMax = 146;     // "NOISY_MAX"
inline constexpr int kDefNoisyAdder = 274;   // "NOISY_ADDER"
inline constexpr int kDefMau = 520;          // "MAU"

// Bits of the type codes.
inline constexpr int kDefBitDecision = 1;    // decision (17)
inline constexpr int kDefBitChance = 2;      // probabilistic chance node
inline constexpr int kDefBitDeterministic = 4;  // equation and truth table
inline constexpr int kDefBitUtility = 8;     // utility (8) and MAU (520)
inline constexpr int kDefBitDiscrete = 16;   // every VRN_discDef class

}  // namespace qelta

// Hand-over record of a change of definition type: the old definition fills
// it through GetDiscreteInfo, the new one reads it in its constructor. Items
// whose owned flag is set are deleted by the destructor; the others belong to
// the old definition, which stays alive until the new one is built.
class VRN_discreteInfo {
 public:
  VRN_discreteInfo(VRN_network* network, int handle);
  ~VRN_discreteInfo();

  VRN_discreteInfo(const VRN_discreteInfo&) = delete;
  VRN_discreteInfo& operator=(const VRN_discreteInfo&) = delete;

  VRN_network* network;
  int handle;
  VRN_idArray* ids = nullptr;                  // outcome identifiers
  bool ids_owned = false;
  VRN_doubleArray* values = nullptr;           // interval bounds or point values
  bool values_owned = false;
  qelta::OutcomeDiagBlock* diag_info = nullptr;  // per-outcome diagnosis data
  bool diag_info_owned = false;
  VRN_matrix* table = nullptr;                 // the definition's table
  bool table_owned = false;
};

class VRN_nodeDef {
 public:
  VRN_nodeDef(VRN_network* network, int handle);
  virtual ~VRN_nodeDef();

  VRN_nodeDef(const VRN_nodeDef&) = delete;
  VRN_nodeDef& operator=(const VRN_nodeDef&) = delete;

  // ---- Virtual slots, in slot order.

  // A new copy bound to `target`, same handle; owned by the caller.
  virtual VRN_nodeDef* Clone(VRN_network* target) const = 0;
  // A new value object of the matching class carrying the record's evidence
  // as far as this definition can hold it; owned by the caller.
  virtual VRN_nodeVal* CreateValueFromRecord(
      const VRN_evidenceRecord& record) const = 0;
  // A new empty value object of the matching class; owned by the caller.
  virtual VRN_nodeVal* CreateValue() const = 0;
  virtual int GetType() const = 0;
  virtual const char* GetTypeName() const = 0;

  // Structure notifications from the network. AddParent runs after the parent
  // was appended to the node's parent array, RemoveParent while it is still
  // there. A non-zero answer makes the network refuse the change.
  virtual int AddParent(int parent);
  virtual int RemoveParent(int parent);
  virtual void OnIdChanged(const char* old_id, const char* new_id);
  virtual int OnParentOutcomeInserted(int parent, int position);
  virtual int OnParentOutcomeRemoved(int parent, int index);
  virtual int OnParentOutcomesReordered(int parent, const VRN_intArray& order);
  // Runs after the parent array was permuted: new parent i is old order[i].
  virtual int ReorderParents(const VRN_intArray& order);
  virtual void OnParentIdChanged(int parent, const char* old_id,
                                 const char* new_id);
  // Whether the parent at `parent_index` changes the node's distribution by
  // more than `tolerance` (Hellinger-like distance between columns).
  // REQUIRES: influential != nullptr.
  virtual int CheckParentInfluence(int parent_index, double tolerance,
                                   bool* influential);
  // User-defined functions: the base accepts any container (0).
  virtual int CheckExtFunctions(const VRN_extFunctionContainer& functions,
                                int* position, std::string* message);
  virtual int PatchExtFunctions(VRN_extFunctionContainer* functions);

  // Outcomes; see VRN_discDef.
  virtual int AddOutcome(const char* id);
  virtual int InsertOutcome(int position, const char* id);
  virtual int RemoveOutcome(int index);
  virtual int GetNumberOfOutcomes() const;
  virtual int RenameOutcome(int index, const char* id);
  virtual int RenameOutcomesFromStrings(const std::vector<std::string>& names);
  virtual int RenameOutcomes(const VRN_stringArray& names);
  // The outcome identifiers, or null for definitions without outcomes.
  virtual const VRN_idArray* GetOutcomesNames() const;
  virtual int SetNumberOfOutcomesByIds(const VRN_stringArray& ids);
  virtual int SetNumberOfOutcomes(int count);
  virtual int ChangeOrderOfOutcomes(const VRN_intArray& order);
  virtual int ChangeOrderOfOutcomesWithAddAndRemove(const VRN_stringArray& ids,
                                                    const VRN_intArray& mapping);

  // Parameters.
  virtual int MakeUniform();
  virtual int MakeRandom(VRN_randomGenerator& generator);
  // Stores GetMatrix() into *out; -51 (and *out null) when there is none.
  virtual int GetDefinition(VRN_matrix** out);
  // The table inference uses: the parents' outcome counts in parent order,
  // then the own outcome count. Null when the definition has no table.
  virtual const VRN_matrix* GetExpandedDefinition();
  // The outcome count children see, or -51.
  virtual int GetDiscreteOutcomeCount() const;
  virtual int GetDiscreteInfo(VRN_discreteInfo* info) = 0;
  // Copies this definition's parameter matrix into `target` when both have
  // one of equal dimensions; otherwise the target stays unchanged.
  virtual void CopyParameters(VRN_nodeDef* target) const;
  virtual VRN_matrix* GetMatrix() = 0;
  virtual const VRN_matrix* GetMatrixConst() const = 0;

  // ---- Non-virtual helpers.

  VRN_network* GetNetwork() const { return network_; }
  int GetHandle() const { return handle_; }

  // The node's parent and child handle arrays (an empty shared array when the
  // node is not, or not yet, stored in the network).
  const VRN_intArray& GetParents() const;
  const VRN_intArray& GetChildren() const;
  // Position of `handle` in the parent array; -2 when absent.
  int GetParentIndex(int handle) const;
  // Identifier and definition of any live node of the network.
  // REQUIRES: `handle` names a live node.
  const char* GetNodeId(int handle) const;
  VRN_nodeDef* GetNodeDefinition(int handle) const;
  // Stores GetMatrixConst() into *out; 0, or -51 when there is none.
  int GetDefinitionConst(const VRN_matrix** out) const;

  // Overwrite the parameter matrix item by item (last dimension fastest).
  // -51 without a matrix; -4 and no change when the count (or dimensions)
  // differ. No normalisation.
  [[nodiscard]] int SetDefinition(const VRN_doubleArray& items);
  [[nodiscard]] int SetDefinitionFromVector(const std::vector<double>& items);
  [[nodiscard]] int SetDefinitionFromMatrix(const VRN_matrix& matrix);
  void CopyParametersFrom(VRN_nodeDef* target) const { CopyParameters(target); }
  // True when GetType() is one of the first `count` codes.
  bool IsTypeInList(const int* codes, int count) const;

  // Temporal definitions of a plate node (node_def_temporal.cpp), owned by
  // the network's temporal part. Null when the node is not a plate node or
  // has no definition of that order.
  VRN_nodeDef* GetPlateTemporalDefinition(int order) const;
  const VRN_matrix* GetTemporalMatrix(int order) const;
  const VRN_matrix* GetTemporalExpandedDefinition(int order) const;
  // Overwrite the temporal definition of that order: -51 without a temporal
  // part or matrix, -2 without a definition of that order, -4 when the item
  // count (or the dimensions) differ.
  [[nodiscard]] int SetTemporalDefinition(int order,
                                          const VRN_doubleArray& items);
  [[nodiscard]] int SetTemporalDefinitionFromMatrix(int order,
                                                    const VRN_matrix& matrix);

  // ---- Factory.

  // A new definition of `type` for the node `handle`; `id` is the new node's
  // identifier (only equation definitions use it). Null for a code that is not
  // valid (see IsValidType). Owned by the caller.
  static VRN_nodeDef* Create(int type, VRN_network* network, int handle,
                             const char* id);
  // A new definition of `type` built from `old` (outcomes, values, diagnosis
  // data and table as far as the new kind takes them). Null for an invalid
  // code. `old` stays owned by the caller and must outlive this call.
  static VRN_nodeDef* CreateConverted(VRN_nodeDef* old, int type);
  // True for the codes the factory can build.
  static bool IsValidType(int type);
  // True for the canonical kinds, whose table is expanded from parameters
  // on demand (noisy-MAX, noisy-adder, DeMorgan, CAST).
  static bool IsLazyType(int type);
  // True for the kinds that make a network an influence diagram: decision,
  // utility and multi-attribute utility.
  static bool IsInfluenceType(int type);
  // Whether a node of `parent_type` may be a parent of one of `child_type`.
  static bool IsArcAllowed(int parent_type, int child_type);
  // Whether the SetDefinition family would store the items the node holds,
  // which a caller may have changed through GetMatrix.
  bool HoldsAcceptedItems() const;

 protected:
  // Copy constructor for Clone: same handle, bound to `network`.
  VRN_nodeDef(const VRN_nodeDef& other, VRN_network* network);

  // Runs the network's relevance hook for this node with change `kind`
  // (64 outcomes changed, 128 parameters changed).
  void NotifyRelevance(int kind) const;
  // Logs the reason of a refusal to the network's log when a live node
  // holds this definition (a detached copy has no one to tell); answers
  // code either way.
  int LogRefusal(int code, const char* format, ...) const
      __attribute__((format(printf, 3, 4)));
  // The identifier of the node holding this definition; "" when none does.
  const char* OwnNodeId() const;
  // Whether the SetDefinition family may store these items; a refusal
  // answers RefusedItemsStatus and changes nothing. Every item is accepted
  // here.
  virtual bool AcceptsItems(const double* items, int count) const;
  // What a refusal of AcceptsItems answers: -2 here.
  virtual int RefusedItemsStatus() const;

 private:
  VRN_network* network_;
  int handle_;
};

#endif  // QELTA_DEFINITIONS_NODE_DEF_H_
