// VRN_network: the root object of the engine.
//
// A network owns its nodes (VRN_node, addressed by an int handle that is the
// node's slot in a vector; deleting a node leaves a hole so handles stay
// stable), the settings that steer inference, the user properties and
// documentation of the network, and its owned parts: the submodel table, the
// case list, the temporal part, the random generator, the user-defined
// function container, the inference table cache and the error log. Owned
// parts that inference creates lazily (random generator, temporal part, table
// cache) are null until first use.
//
// Definitions and values reach the network through their node's network
// pointer; structural edits travel from the network down to the definitions
// through the definition's notification slots, and outcome edits come back up
// through OnOutcomeInserted / OnOutcomeDeleted / OnOutcomesReordered.
//
// Thread use: a network and everything reachable from it is used by one
// thread at a time. No operation takes a lock.
#ifndef QELTA_CORE_NETWORK_H_
#define QELTA_CORE_NETWORK_H_

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/arrays.h"
#include "core/matrix.h"
#include "core/strings.h"

class VRN_node;
class VRN_submodelTable;
class VRN_caseList;
class VRN_dbn;
class VRN_extFunctionContainer;
class VRN_errorLog;
class VRN_randomGenerator;
class VRN_header;

// Parameter record of the sampling algorithms; the field names are those of
// the attributes of the XML element "epis".
struct VRN_episParams {
  int proplen = 5;
  int numstates1 = 5;
  int numstates2 = 8;
  int numstates3 = 20;
  double eps1 = 0.006;
  double eps2 = 0.0001;
  double eps3 = 5e-5;
  double eps4 = 5e-5;

  // True when every field is equal; a NaN makes the records unequal.
  bool operator==(const VRN_episParams& other) const;
  bool operator!=(const VRN_episParams& other) const {
    return !(*this == other);
  }
};

// Parameter record of annealed MAP (names as in the Java class).
struct VRN_annealedMapTuning {
  double speed = 0.8;
  double Tmin = 0.001;
  double Tinit = 0.99;
  double kReheat = 0.1;
  int kMAP = 0;
  double kRFC = 0.0;
  int numCycle = 1;
  int iReheatSteps = 10;
  int iStopSteps = 20;
};

// One entry of the inference table cache: the node handles whose outcome
// counts dimension the table, and the table itself.
struct VRN_tableCacheEntry {
  std::vector<int> nodes;
  VRN_matrix table;
};

namespace qelta {

// Bits of VRN_network::GetFlags().
inline constexpr int kNetRelevance = 1;          // relevance reasoning on
inline constexpr int kNetEvidencePropagation = 2;  // implied evidence
inline constexpr int kNetAutoUpdate = 8;         // update after edits

// Bits of VRN_network::GetLoadFlags().
inline constexpr int kLoadLoading = 1;
inline constexpr int kLoadSkipAcyclicity = 2;
inline constexpr int kLoadAllowDuplicateIds = 4;

// Bits of the relevance-option mask (which edits trigger the bookkeeping).
inline constexpr int kRelArcAdded = 1;
inline constexpr int kRelArcRemoved = 2;
inline constexpr int kRelEvidenceSet = 4;
inline constexpr int kRelEvidenceCleared = 8;
inline constexpr int kRelOutcomesChanged = 64;
inline constexpr int kRelTableChanged = 128;
inline constexpr int kRelEquationChanged = 256;
inline constexpr int kRelAllOptions = 1 | 2 | 4 | 8 | 64 | 128 | 256;

// Copy flags of the copy constructor.
inline constexpr int kCopyNoDocumentation = 1;
inline constexpr int kCopyNoTemporal = 2;
inline constexpr int kCopyEmptyCases = 4;

// Node mark bits used by the network's walks (scratch state of one
// operation; meaningless between operations).
inline constexpr int kMarkFinished = 2;
inline constexpr int kMarkAncestor = 4;
inline constexpr int kMarkDescendant = 8;
inline constexpr int kMarkPlaced = 16;
inline constexpr int kMarkFromChild = 128;
inline constexpr int kMarkFromParent = 256;
inline constexpr int kMarkValueChanged = 512;

// Change kinds reported by definitions to OnEvidenceChange.
inline constexpr int kChangeOutcomes = 64;
inline constexpr int kChangeTable = 128;
inline constexpr int kChangeEquation = 256;

// Room MakeUniqueNodeId needs: "Node", any number and the NUL.
inline constexpr int kNodeIdBufferSize = 24;

// Main submodel handle, and arc layers.
inline constexpr int kMainSubmodel = 0x8000;
inline constexpr int kArcLayerOrdinary = 0;
inline constexpr int kArcLayerCost = 1;

}  // namespace qelta

class VRN_network {
 public:
  VRN_network();
  // Copy of other; copyFlags: kCopyNoDocumentation keeps this network's
  // (empty) documentation, kCopyNoTemporal leaves out the temporal part,
  // kCopyEmptyCases gives an empty case list. Shares no storage with other.
  // With the default flags 0 this is the copy constructor.
  VRN_network(const VRN_network& other, int copyFlags = 0);
  // Copy with flags 0; self-assignment does nothing.
  VRN_network& operator=(const VRN_network& other);
  ~VRN_network();

  // Returns the network to the state of a new one (nodes, parts, settings,
  // properties and documentation all reset).
  void Reset();

  // Replaces this network's contents with a copy of other. Answers 0.
  // REQUIRES: &other != this.
  int Copy(const VRN_network& other, int copyFlags);

  // ---------------------------------------------------------------- settings
  // Stores code when 0 <= code <= 12; answers the argument either way.
  int SetDefaultBNAlgorithm(int code);
  int GetDefaultBNAlgorithm() const { return bnAlgorithm_; }
  // Stores code when it is 0 or 1; answers the argument either way.
  int SetDefaultIDAlgorithm(int code);
  int GetDefaultIDAlgorithm() const { return idAlgorithm_; }
  // 0, or -2 when n < 1 (field unchanged).
  [[nodiscard]] int SetNumberOfSamples(int n);
  int GetNumberOfSamples() const { return numSamples_; }
  [[nodiscard]] int SetNumberOfDiscretizationSamples(int n);
  int GetNumberOfDiscretizationSamples() const { return numDiscSamples_; }
  // 0, or -2 when the record breaks its ordering rules (record unchanged).
  [[nodiscard]] int SetEpisParams(const VRN_episParams& params);
  const VRN_episParams& GetEpisParams() const { return episParams_; }
  [[nodiscard]] int SetAnnealedMapTuning(const VRN_annealedMapTuning& tuning);
  const VRN_annealedMapTuning& GetAnnealedMapTuning() const {
    return annealedMapTuning_;
  }
  void SetRandSeed(int seed) { randSeed_ = seed; }
  int GetRandSeed() const { return randSeed_; }
  void SetZeroAvoidance(bool on) { zeroAvoidance_ = on ? 1 : 0; }
  bool IsZeroAvoidance() const { return zeroAvoidance_ != 0; }
  void SetOutlierRejection(bool on) { outlierRejection_ = on ? 1 : 0; }
  bool IsOutlierRejection() const { return outlierRejection_ != 0; }
  void SetNoisyDecomp(bool on) { noisyDecomp_ = on ? 1 : 0; }
  bool IsNoisyDecomp() const { return noisyDecomp_ != 0; }
  void SetNoisyDecompLimit(int limit) { noisyDecompLimit_ = limit; }
  int GetNoisyDecompLimit() const { return noisyDecompLimit_; }
  void SetRelevanceReasoning(bool on);
  bool IsRelevanceReasoning() const {
    return (flags_ & qelta::kNetRelevance) != 0;
  }
  // Switching on runs a belief update (its status is answered); switching on
  // when already on, or off, answers 0.
  int SetAutoUpdate(bool on);
  bool IsAutoUpdate() const { return (flags_ & qelta::kNetAutoUpdate) != 0; }

  int GetFlags() const { return flags_; }
  void SetFlags(int flags) { flags_ = flags; }
  int GetRelevanceOptions() const { return relevanceOptions_; }
  void SetRelevanceOptions(int options) { relevanceOptions_ = options; }
  // Relaxed-check word used while loading (see qelta::kLoad*).
  int GetLoadFlags() const { return loadFlags_; }
  void SetLoadFlags(int flags);
  bool IsUpdating() const { return updating_ != 0; }
  int GetReserved() const { return reserved_; }

  // ------------------------------------------------------------ owned parts
  VRN_errorLog* ErrorLog() const { return errorLog_; }
  // The main submodel's header: the network's identifier, name, comment.
  VRN_header* Header() const;
  VRN_submodelTable* Submodels() const { return submodels_; }
  // The case list; null until the case list exists in this build.
  VRN_caseList* Cases() const { return cases_; }
  // The temporal part; null until first use.
  VRN_dbn* Dbn() const { return dbn_; }
  VRN_extFunctionContainer* ExtFunctions() const { return extFunctions_; }
  VRN_userProperties& UserProperties() { return userProperties_; }
  const VRN_userProperties& UserProperties() const { return userProperties_; }
  VRN_documentation& Documentation() { return documentation_; }
  const VRN_documentation& Documentation() const { return documentation_; }

  // Creates the generator from the seed on first use; owned by the network.
  VRN_randomGenerator* GetRandomGenerator();
  // Reseeds an existing generator when the seed is non-zero.
  void ReseedRandomGenerator();

  // Table cache of inference; null until an entry is added.
  std::vector<VRN_tableCacheEntry>* TableCache() const {
    return tableCache_.get();
  }
  // Deletes every cached table; the cache stays (empty) when it existed.
  void EmptyTableCache();

  // ------------------------------------------------------------------ nodes
  // Adds a node with a definition of the given type code. id: null or not a
  // valid identifier -> a generated one ("Node" + number); a leading '@'
  // takes the text exactly as given. Answers the new handle (the lowest free
  // slot), -51 for a type code that is not available, -2 for an identifier
  // already used by a node or a submodel (unless duplicates are allowed
  // while loading).
  [[nodiscard]] int AddNode(int type, const char* id);
  // Writes "Node" + N into buffer (N from the live-node count upwards) so
  // that no node or submodel has it. Answers 0.
  // REQUIRES: buffer holds at least qelta::kNodeIdBufferSize bytes.
  int MakeUniqueNodeId(char* buffer) const;
  // 1 when a live node other than `skip` (pass -1 for none) or a submodel
  // has exactly this identifier; else 0.
  int IsIdInUse(const char* id, int skip) const;
  // Asked by a node header before it stores a new identifier: -30 for a null
  // or invalid id, 0 when unchanged, -32 when used by another node or a
  // submodel; otherwise tells the children's and the node's own definition,
  // updates the identifier index and answers 0.
  int AcceptNodeId(int handle, const char* oldId, const char* newId);
  // Handle of the first live node (slot order) with exactly this id; -2.
  int FindNode(const char* id) const;
  // Deletes the node with all its arcs and cost arcs. 0 or -2.
  int DeleteNode(int handle);
  int GetFirstNode() const;
  // The lowest live handle above h; -2 at the end or for a negative h.
  int GetNextNode(int handle) const;
  int GetLastNode() const;
  // Appends every live handle in increasing order (out is not emptied).
  int GetAllNodes(VRN_intArray& out) const;
  // Node record, or null for a bad or free handle. Owned by the network.
  VRN_node* GetNode(int handle) const;
  int GetNumberOfNodes() const { return numNodes_; }
  // Number of slots, live or free (one more than the largest handle ever).
  int GetSlotCount() const { return static_cast<int>(nodes_.size()); }
  bool IsValidHandle(int handle) const { return GetNode(handle) != nullptr; }

  // ------------------------------------------------------------------- arcs
  // layer 0: ordinary arc; answers 0, -2 (bad handle, self arc, already
  // adjacent), -11 (cycle), -51 (type or temporal rule), or the child
  // definition's refusal. layer 1: observation-cost arc (0, -2, -19, -32).
  [[nodiscard]] int AddArc(int parent, int child, int layer = 0);
  // 0, or -2 for bad handles or a missing arc.
  int RemoveArc(int parent, int child, int layer = 0);
  // 1 when b is a parent or child of a, else 0.
  // REQUIRES: both handles valid.
  int AreAdjacent(int a, int b) const;
  // Cached topological order of the live nodes (every node after its
  // parents). The array is owned by the network and valid until the next
  // structural edit.
  const VRN_intArray& PartialOrder();

  // Permutes the parents of node h (new parent i = old parent order[i]) and
  // the node's table with them. 0, -2, or the definition's refusal.
  int ReorderParents(int handle, const VRN_intArray& order);

  // -------------------------------- notifications from definitions (outcomes)
  // Forward to the node record (cost tables of cost children), the case list
  // and the temporal part.
  int OnOutcomeInserted(int handle, int position);
  int OnOutcomeDeleted(int handle, int position);
  int OnOutcomesReordered(int handle, const VRN_intArray& order);
  int OnNodeTypeChanged(int handle, int newType);

  // ----------------- evidence, targets and relevance bookkeeping (minimal)
  // 0, -2 (bad handle), -4 (already in that state).
  int SetTarget(int handle, bool on);
  // 1 or 0; -2 for a bad handle.
  int IsTarget(int handle) const;
  int ClearAllTargets();
  int GetNumberOfTargets() const { return numTargets_; }
  // Clears evidence of every node (observed, virtual and propagated),
  // empties the table cache and invalidates every value. Answers 0.
  int ClearAllEvidence();
  // Empties the table cache and invalidates every value without evidence.
  int InvalidateValues();
  // With relevance reasoning on: InvalidateValues. Answers 0.
  int OnStructureChange();
  // Hooks run after edits; each does nothing unless relevance reasoning is
  // on and its option bit is set.
  int OnArcAdded(int parent, int child);
  int OnArcRemoved(int parent, int child);
  // kind: 64 (outcomes), 128 (table or parameters), 256 (equation).
  int OnEvidenceChange(int handle, int kind);
  // After observed evidence of node h was cleared. -2 for a bad handle.
  int OnNodeValueChange(int handle);
  // After evidence was set on node h: -2 for a bad handle or an observed
  // outcome that the observed parents make impossible; else 0.
  int CheckImpossibleEvidence(int handle);
  // Ancestors / descendants of h (h excluded) in increasing handle order;
  // out is emptied first. 0 or -2.
  int GetAncestors(int handle, VRN_intArray& out);
  int GetDescendants(int handle, VRN_intArray& out);
  int GetCostDescendants(int handle, VRN_intArray& out);

  // ------------------------------------------------------- belief updating
  // Brings every value up to date. The inference dispatcher is not part of
  // this build yet: it answers -51 with a log entry and changes no value.
  int UpdateBeliefs();

 private:
  friend class VRN_autoUpdateGuard;
  friend class VRN_relevanceOffGuard;

  void Init();
  void ClearContents();
  int RunInference();
  // Marks the value of node h invalid when it holds no evidence.
  void InvalidateValue(int handle);

  // Identifier index: identifier -> handles of live nodes carrying it (more
  // than one only when duplicates were allowed while loading).
  void IndexAdd(const char* id, int handle);
  void IndexRemove(const char* id, int handle);
  void RebuildIndex();

  // Acyclicity: true when adding parent -> child would close a directed
  // cycle. Uses and maintains a topological rank per handle.
  bool WouldCloseCycle(int parent, int child);
  bool SearchFromChild(int parent, int child);
  bool RebuildRanks();

  int AddCostArc(int parent, int child);
  int RemoveCostArc(int parent, int child);

  std::vector<VRN_node*> nodes_;
  int numNodes_ = 0;
  int numTargets_ = 0;
  int bnAlgorithm_ = 0;
  int idAlgorithm_ = 0;
  int randSeed_ = 0;
  int numSamples_ = 10000;
  int numDiscSamples_ = 10000;
  std::uint8_t zeroAvoidance_ = 1;
  std::uint8_t outlierRejection_ = 0;
  std::uint8_t noisyDecomp_ = 0;
  int noisyDecompLimit_ = 4;
  int flags_ = qelta::kNetRelevance | qelta::kNetEvidencePropagation;
  int relevanceOptions_ = qelta::kRelAllOptions;
  int loadFlags_ = 0;
  std::uint8_t updating_ = 0;
  int batchDepth_ = 0;
  std::uint8_t orderValid_ = 0;
  VRN_intArray order_;
  VRN_userProperties userProperties_;
  VRN_documentation documentation_;
  VRN_episParams episParams_;
  int reserved_ = 5;
  VRN_annealedMapTuning annealedMapTuning_;
  VRN_submodelTable* submodels_ = nullptr;
  VRN_randomGenerator* randomGenerator_ = nullptr;
  VRN_caseList* cases_ = nullptr;
  VRN_dbn* dbn_ = nullptr;
  std::unique_ptr<std::vector<VRN_tableCacheEntry>> tableCache_;
  VRN_extFunctionContainer* extFunctions_ = nullptr;
  VRN_errorLog* errorLog_ = nullptr;

  // Bookkeeping that keeps node operations fast on large networks.
  std::set<int> freeSlots_;
  std::unordered_map<std::string, std::vector<int>> idIndex_;
  std::vector<int> rank_;       // topological rank per handle
  bool ranksValid_ = true;      // false after unchecked arcs
  int nextRank_ = 0;
  std::vector<std::uint32_t> visitStamp_;  // per-handle scratch for searches
  std::uint32_t stamp_ = 0;
  // Scratch lists of the acyclicity test, kept to avoid allocating per arc.
  std::vector<int> stack_;
  std::vector<int> forward_;
  std::vector<int> backward_;
  std::vector<int> pooledRanks_;

  // Starts a new visit generation; the answer marks nodes of this search.
  std::uint32_t NextStamp();
  // Removes an arc's entries from both lists (no notifications).
  void DropArcEntries(int parent, int child);
};

#endif  // QELTA_CORE_NETWORK_H_
