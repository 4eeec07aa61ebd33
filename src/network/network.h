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
#ifndef QELTA_NETWORK_NETWORK_H_
#define QELTA_NETWORK_NETWORK_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "base/strings.h"

class VRN_nodeVal;
class VRN_node;
class VRN_submodelTable;
class VRN_case;
class VRN_caseList;
class VRN_dbn;
class VRN_extFunctionContainer;
class VRN_errorLog;
class VRN_randomGenerator;
class Mutator;
class VRN_header;
struct VRN_layoutOptions;
// file input/output
class VRN_fileFormat;
class IXmlBinding;
class IXmlWriterExtension;
namespace qelta {
class FormatExtension;
class ClusteringCache;
struct ScaledProbability;
// Deletes a clustering cache (defined with the cache in src/inference).
struct ClusteringCacheDeleter {
  void operator()(ClusteringCache* cache) const;
};
}  // namespace qelta

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
// A private working copy of an algorithm: it never updates on its own.
inline constexpr int kCopyWorking = 8;

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

// Per-handle scratch marks of the relevance walks. Starting a walk clears
// every mark at once by moving to a new generation, so a walk costs what it
// reaches, not the size of the network.
class WalkMarks {
 public:
  // Clears every mark; room for handles 0 .. slots - 1.
  void Begin(int slots);
  // REQUIRES: 0 <= h < the slots of the last Begin (for all four).
  int Get(int h) const { return stamp_[h] == generation_ ? marks_[h] : 0; }
  bool Has(int h, int bits) const { return (Get(h) & bits) != 0; }
  void Set(int h, int bits) {
    if (stamp_[h] != generation_) {
      stamp_[h] = generation_;
      marks_[h] = 0;
    }
    marks_[h] |= bits;
  }
  void Clear(int h, int bits) {
    if (stamp_[h] == generation_) marks_[h] &= ~bits;
  }

 private:
  std::vector<std::uint32_t> stamp_;
  std::vector<int> marks_;
  std::uint32_t generation_ = 0;
};

}  // namespace qelta

class VRN_network {
 public:
  VRN_network();
  // Copy of other; copyFlags: kCopyNoDocumentation keeps this network's
  // (empty) documentation, kCopyNoTemporal leaves out the temporal part
  // (a case's per-slice entry keeps the outcome of slice 0 alone),
  // kCopyEmptyCases gives an empty case list, kCopyWorking switches the
  // copy's automatic update off. Shares no storage with other.
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
  // Stores code when 0 <= code <= 12 and answers it; any other code answers
  // -2 and changes nothing.
  int SetDefaultBNAlgorithm(int code);
  int GetDefaultBNAlgorithm() const { return bnAlgorithm_; }
  // Stores code when it is 0 or 1 and answers it; else -2, nothing changed.
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
  // Switching it on (from off) invalidates every value without evidence.
  // Setting it on again, or setting the options so that every hook runs
  // again, does so when an edit went without its hook meanwhile
  // (IsBookkeepingSkipped).
  void SetRelevanceReasoning(bool on);
  bool IsRelevanceReasoning() const {
    return (flags_ & qelta::kNetRelevance) != 0;
  }
  // Switching on runs a belief update (its status is answered); switching on
  // when already on, or off, answers 0.
  int SetAutoUpdate(bool on);
  bool IsAutoUpdate() const { return (flags_ & qelta::kNetAutoUpdate) != 0; }

  int GetFlags() const { return flags_; }
  // Switching evidence propagation on or off changes what is implied: with
  // relevance reasoning on (before and after) it is derived again at once,
  // invalidating what the implied outcomes that changed reach. Switching
  // relevance reasoning on derives it again when next read, since edits
  // made with it off went without bookkeeping.
  void SetFlags(int flags) {
    const bool switched =
        ((flags ^ flags_) & qelta::kNetEvidencePropagation) != 0;
    const bool kept = (flags & flags_ & qelta::kNetRelevance) != 0;
    if ((switched && !kept) || (flags & ~flags_ & qelta::kNetRelevance) != 0) {
      SetImpliedEvidenceStale(true);
    }
    flags_ = flags;
    if (switched && kept) OnPropagationSwitched();
    DropSkippedValuesIfBooked();
  }
  int GetRelevanceOptions() const { return relevanceOptions_; }
  void SetRelevanceOptions(int options) {
    relevanceOptions_ = options;
    DropSkippedValuesIfBooked();
  }
  // Set by an edit made without its relevance hook (relevance reasoning
  // off, or its option bit clear): the values it reaches may be stale and
  // still valid. Until the next update they stay as they are; that update
  // (or the bookkeeping fully on again) invalidates every value without
  // evidence first, so that none it does not compute passes for current.
  // InvalidateValues clears it.
  bool IsBookkeepingSkipped() const { return bookkeepingSkipped_; }
  void NoteSkippedBookkeeping() { bookkeepingSkipped_ = true; }
  // Relaxed-check word used while loading (see qelta::kLoad*).
  int GetLoadFlags() const { return loadFlags_; }
  void SetLoadFlags(int flags);
  bool IsUpdating() const { return updating_ != 0; }
  int GetReserved() const { return reserved_; }

  // ------------------------------------------------------------ owned parts
  // The same log object for the network's whole life, so that other logs
  // may forward to it: Reset empties it (redirect too), Copy and assignment
  // copy other's into it.
  VRN_errorLog* ErrorLog() const { return errorLog_; }
  // The main submodel's header: the network's identifier, name, comment.
  VRN_header* Header() const;
  VRN_submodelTable* Submodels() const { return submodels_; }
  // The case list; null until the first case operation creates it.
  VRN_caseList* Cases() const { return cases_; }
  // The temporal part; null until first use.
  VRN_dbn* Dbn() const { return dbn_; }
  VRN_extFunctionContainer* ExtFunctions() const { return extFunctions_; }
  VRN_userProperties& UserProperties() { return userProperties_; }
  const VRN_userProperties& UserProperties() const { return userProperties_; }
  VRN_documentation& Documentation() { return documentation_; }
  const VRN_documentation& Documentation() const { return documentation_; }
  // Whether node h's user property "DIAG_TESTGROUPCOST" is "True" (any
  // case); false for a bad handle.
  bool IsTestGroupCost(int handle) const;

  // Creates the generator from the seed on first use; owned by the network.
  VRN_randomGenerator* GetRandomGenerator();
  // Reseeds an existing generator when the seed is non-zero.
  void ReseedRandomGenerator();

  // Table cache of inference; null until an entry is added.
  std::deque<VRN_tableCacheEntry>* TableCache() const {
    return tableCache_.get();
  }
  // Deletes every cached table; the cache stays (empty) when it existed.
  void EmptyTableCache();

  // What inference keeps between updates: the last join tree and working
  // storage (see inference/clustering_cache.h); null until inference
  // creates it. Never copied with the network.
  std::unique_ptr<qelta::ClusteringCache, qelta::ClusteringCacheDeleter>&
  ClusteringCacheSlot() {
    return clusteringCache_;
  }

  // ------------------------------------------------------------------ nodes
  // Adds a node with a definition of the given type code. id: null or not a
  // valid identifier -> a generated one ("Node" + number); a leading '@'
  // takes the text exactly as given. Answers the new handle (the lowest free
  // slot), -51 for a type code that is not available, -2 for an identifier
  // already used by a node or a submodel (unless duplicates are allowed
  // while loading).
  [[nodiscard]] int AddNode(int type, const char* id);
  // AddNode, but the node takes a slot above every live node (a free one
  // when there is such, else a new one), so walks in handle order meet it
  // last. For working nodes an algorithm adds to a copy: the copy's orders,
  // and so its results, must not follow which slots earlier edits freed.
  [[nodiscard]] int AddNodeAfterAll(int type, const char* id);
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
  // Whether the temporal types of the two nodes allow an ordinary arc
  // parent -> child: a terminal parent needs a terminal child, a plate
  // parent a plate or terminal child. REQUIRES: both handles valid.
  bool TemporalTypesAllowArc(int parent, int child) const;
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
  // Equation node h has new discretization intervals: the temporal part's
  // tables over them follow. 0, or the temporal part's failure.
  int OnDiscIntervalsChanged(int handle);

  // ------------------------ evidence, targets and relevance bookkeeping
  // (bodies in network_relevance.cpp)
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
  // With relevance reasoning on: InvalidateValues; off: notes the skipped
  // bookkeeping. Answers 0.
  int OnStructureChange();
  // Implied (propagated) evidence is current while the bookkeeping has
  // run on every edit that can change it (evidence, tables, outcomes, arcs,
  // types) since it was last built from scratch. An edit that the switches
  // leave without bookkeeping makes it stale; so does a change of node
  // type or of the evidence-propagation switch. Table items written through
  // the matrix pointer directly are no edit the network hears of.
  bool IsImpliedEvidenceStale() const { return impliedStale_; }
  // Marking it stale invalidates every value that holds only an implied
  // outcome: its point mass may have lost its cause, and the next refresh
  // derives it again (valid) or drops it. Marking stale implied evidence
  // current makes those point masses valid again.
  void SetImpliedEvidenceStale(bool stale);
  // Every update starts here, so that none uses an implied outcome whose
  // cause has changed: stale implied evidence is rebuilt with relevance
  // reasoning on (none without evidence propagation) and dropped with it
  // off. When the implied outcomes change, every value without evidence is
  // invalidated.
  void RefreshImpliedEvidence();
  // Every update also starts here: the algorithms compute only nodes without
  // evidence, so an observation taken over when its node changed kind gets
  // its valid point mass first.
  void ValidateObservations();
  // The value of node h, for reading or checking its evidence: the one way
  // to reach evidence outside an update, so that no reader sees implied
  // evidence whose cause has changed (RefreshImpliedEvidence runs first).
  // Null for a bad handle.
  VRN_nodeVal* EvidenceOf(int handle);
  // Hooks run after edits; each does nothing (0) unless relevance reasoning
  // is on and its option bit is set. Each invalidates exactly the values the
  // edit can reach (d-separation given the evidence; virtual evidence counts
  // as an observed child of its node) and, with evidence propagation on,
  // first rebuilds the evidence implied through deterministic tables.
  // After an arc is removed the walk still sees the arc, since the values
  // were computed with it.
  int OnArcAdded(int parent, int child);
  int OnArcRemoved(int parent, int child);
  // Called by a value that gains evidence (observed, implied or virtual),
  // so that the bookkeeping finds the nodes with evidence without a scan.
  void NoteEvidenceNode(int handle);
  // The live nodes whose values hold evidence of any kind, in increasing
  // handle order; handles noted that no longer qualify are dropped.
  const std::vector<int>& EvidenceNodes();
  // Scratch marks of the relevance walks (network_relevance.cpp).
  qelta::WalkMarks& Marks() { return walkMarks_; }
  // kind: 64 (outcomes), 128 (table or parameters), 256 (equation); other
  // kinds answer 0. -2 for a bad handle.
  int OnEvidenceChange(int handle, int kind);
  // After the outcomes of node h were reordered (kind 64): a pure
  // relabelling keeps every value (the node's own was permuted); a
  // definition that does not permute with its outcomes, children that read
  // the outcome index, and implied outcomes that the reorder moved start
  // the walk. 0, or -2 for a bad handle.
  int OnOutcomeOrderChanged(int handle);
  // After the evidence-propagation switch changed with relevance reasoning
  // on: implied evidence derived again, and the walk run from every node
  // whose implied outcome appeared, went or moved.
  void OnPropagationSwitched();
  // After the point values or interval bounds of node h changed (kind
  // 256): its equation children, which read them, start the walk. 0, or -2.
  int OnOutcomeValuesChanged(int handle);
  // Whether the network has decision, utility or multi-attribute utility
  // nodes, which make it an influence diagram.
  bool IsInfluenceDiagram() const;
  // Before node h's definition and value are replaced by a change of type
  // (kind 128): what the old kind reaches through its arcs and evidence,
  // which may go with the change, is invalidated. 0, or -2.
  int OnDefinitionReplacing(int handle);
  // After the tables of several nodes changed at once (parameter
  // randomization): one update from all of them, under the option of table
  // changes. 0, or -2 for a bad handle.
  int OnTablesChanged(const std::vector<int>& handles);
  // Before node h is deleted, with its arcs gone: under the option of
  // removed arcs, what its value still reaches is invalidated (only a
  // utility reaches anything then: every decision). 0, or -2 for a bad
  // handle.
  int OnNodeDeleting(int handle);
  // After observed evidence of node h was cleared. -2 for a bad handle.
  int OnNodeValueChange(int handle);
  // After evidence was set on node h: -2 for a bad handle or an observed
  // outcome that the observed parents make impossible (logged "Outcome [..]
  // of node [..] is impossible"); -26 (logged) when implied evidence
  // contradicts evidence present; else 0. The caller drops the evidence on
  // failure; implied evidence already entered stays until the next update.
  int CheckImpossibleEvidence(int handle);
  // Ancestors / descendants of h (h excluded) in increasing handle order;
  // out is emptied first. 0 or -2. They leave node mark 4 (ancestors) or 8
  // (descendants, cost descendants) set on exactly the listed nodes.
  int GetAncestors(int handle, VRN_intArray& out);
  int GetDescendants(int handle, VRN_intArray& out);
  int GetCostDescendants(int handle, VRN_intArray& out);

  // ------------------------------------------ cases and user-defined functions
  // Appends a new case named name to the case list (created on first use)
  // and answers it, owned by the list; null (nothing added) for a null or
  // empty name or one that another case has.
  VRN_case* AddCase(const char* name);
  // The case at index, or null outside 0..GetNumberOfCases()-1.
  VRN_case* GetCase(int index) const;
  // Number of cases; 0 while the network has no case list.
  int GetNumberOfCases() const;
  // Switches the case list's following of node and outcome edits (on by
  // default); off leaves stored cases untouched by later edits.
  void EnableCaseUpdates(bool on);
  // Replaces the user-defined functions by the texts. 0 on success (values
  // invalidated). -4 when a text does not parse or a node's expressions
  // refuse the new set: functionIndex, position and message describe the
  // failure and the old functions stay.
  [[nodiscard]] int SetExtFunctions(const std::vector<std::string>& definitions,
                                    int& functionIndex, int& position,
                                    std::string& message);
  // Empties out, then appends the definition texts of the user-defined
  // functions in order (only the deterministic ones when deterministicOnly).
  void GetExtFunctions(std::vector<std::string>& out,
                       bool deterministicOnly) const;

  // ------------------------------------------------------ file input/output
  // Format codes and extension words are in io/format.h (qelta::kFormat*,
  // qelta::kExtension*). format 0 chooses by the text after the last '.' of
  // the name, without regard to case. extension: 0 the layout block of the
  // XML network format, -1 none; the overloads with a pointer take a
  // caller's block instead (not owned; null means none).
  //
  // A read builds the network in a fresh network and takes it over only on
  // success, so a failed read leaves this network as it was. Messages go to
  // this network's error log (an installed redirect stays). Answers 0; -2
  // for an unknown format ("Unknown File Format" logged), a text format
  // not part of this build or an extension word other than 0 and -1; or the
  // format's own negative status (the XML network format answers -103).
  [[nodiscard]] int ReadFile(const char* name, int format, int extension);
  [[nodiscard]] int ReadFile(const char* name, int format,
                             IXmlBinding* extension);
  // Writes the network in the given format; the same answers, and -2 with
  // "Writing to KI file format not supported." for an explicit format 7 (a
  // "dxp" name with format 0 writes the native text layout).
  // Never 0 when the file could not be written completely.
  [[nodiscard]] int WriteFile(const char* name, int format, int extension);
  [[nodiscard]] int WriteFile(const char* name, int format,
                              IXmlWriterExtension* extension);
  // The same with an XML network document held in a NUL-terminated text.
  [[nodiscard]] int ReadString(const char* text, int extension);
  [[nodiscard]] int ReadString(const char* text, IXmlBinding* extension);
  // Empties out, then writes the XML network document into it (out is
  // left empty on failure).
  [[nodiscard]] int WriteString(std::string& out, int extension);
  [[nodiscard]] int WriteString(std::string& out,
                                IXmlWriterExtension* extension);
  // The format code the name's extension selects; -2 for a null name, a
  // name without '.' or an extension no format has.
  static int FormatFromName(const char* name);
  // A new speaker bound to this network for format (0: replaced by the code
  // FormatFromName chooses); owned by the caller. Null after logging -2
  // with "Unknown File Format" (or a message naming a text format this
  // build does not provide).
  VRN_fileFormat* CreateFormat(const char* name, int& format);
  // Number of time slices of a dynamic network; 0 without a temporal part
  // (none is created).
  int GetNumberOfSlices() const;
  // Temporal type of node h (0 normal, 1 anchor, 2 terminal, 3 plate); -2
  // for a bad handle.
  int GetTemporalType(int handle) const;

  // ---------------------------------------------- dynamic networks (temporal)
  // (bodies in network_dbn.cpp) The temporal part, created when absent.
  VRN_dbn* EnsureDbn();
  // Forward to the temporal part, created on demand (see network/dbn.h).
  // Arc and slice-count edits, and every other change of temporal data,
  // invalidate the values when relevance reasoning is on. Each logs why it
  // refuses an order below 1 (the unrolled parents: a slice below 1), a node
  // outside the plate or an arc that does not exist (removing) or does
  // (adding); a bad handle is refused silently.
  int AddTemporalArc(int parent, int child, int order);
  int RemoveTemporalArc(int parent, int child, int order);
  bool TemporalArcExists(int parent, int child, int order);
  int GetTemporalParents(int node, int order, VRN_intArray& out);
  int GetTemporalChildren(int node, std::vector<std::pair<int, int>>& out);
  int GetTemporalOrders(int node, VRN_intArray& out);
  int GetMaxNodeTemporalOrder(int node);
  // 0 without a temporal part (none created); -1 for one without arcs.
  int GetMaxTemporalOrder() const;
  int GetUnrolledParents(int node, int order,
                         std::vector<std::pair<int, int>>& out);
  int GetAllUnrolledParents(int node, std::vector<std::pair<int, int>>& out);
  // 0, or -4 for count < 1 (no temporal part is made for it).
  int SetNumberOfSlices(int count);
  // Evidence of node in a slice (slice 0: the node's own evidence); the
  // checks of VRN_nodeVal::SetTemporalEvidence. -2 for a bad handle.
  int SetTemporalEvidence(int node, int slice, int outcome);
  // Unrolls into target (see VRN_dbn::UnrollNetwork); -2 without a temporal
  // part.
  int UnrollNetwork(VRN_network& target, std::vector<int>& map);
  // Changes node h's temporal type: -2 bad handle; 0 when unchanged; the
  // temporal part's refusal (-2, -4); else the type is stored and the case
  // list told. 0.
  int setNodeTemporalType(int handle, int type);
  // With some plate node present, OnStructureChange: every value is
  // invalidated (plate values hold all slices, and the relevance walk sees
  // only ordinary arcs).
  void InvalidateIfDynamic();
  // With relevance reasoning on and every option set: InvalidateValues when
  // an edit went without its hook since values were last invalidated.
  void DropSkippedValuesIfBooked();
  // True when some live node has the plate temporal type.
  bool HasPlateNode() const;

  // ------------------------------------------------------- belief updating
  // Brings every value up to date with the current evidence and targets by
  // the dispatcher (RunInference): the Bayesian-network algorithm of the
  // network's code for a network of chance nodes. Answers the routine's
  // status: 0; -42 when a join tree does not fit; -43 when (codes 0, 2, 10)
  // some marginal summed to zero, those nodes then being left invalid; -5
  // when a sampler got no useful sample; -1 when polytree propagation meets
  // a loop; -2 for node kinds this build cannot update.
  int UpdateBeliefs();
  // Empties the table cache and runs the routine of the Bayesian-network
  // algorithm code 0 to 12 (see inference/bn_routines.h); -2 for any
  // other code.
  int RunBNAlgorithm();
  // Resets every value to its own shape (no indexing parents, one dimension
  // of the outcome count; values without evidence invalid) and solves the
  // influence diagram with the solver of the influence-diagram code: 0
  // Cooper's, 1 Shachter's; -2 for any other code. Answers the solver's
  // status.
  int RunIDAlgorithm();
  // The probability of the observed evidence into p, by join-tree
  // clustering with the chain rule as fallback (chainRuleOnly: the chain
  // rule alone). True on success; false with p = -1.0 when both fail, or
  // at once (-51 logged, nothing touched) while an equation node holds
  // numeric evidence, or when the probability is positive but below the
  // normal doubles where no double holds it within 1e-12 relative (-2
  // logged: it lies below the range of double precision numbers; 0.0 is
  // answered only for impossible evidence).
  // Targets, evidence (observed and implied) and the relevance switch and
  // options are left as they were; values without evidence may be left
  // invalid.
  bool CalcPropEvidence(double& p, bool chainRuleOnly);
  // As CalcPropEvidence, the natural logarithm of the probability into
  // logP, however small the probability (-inf for impossible evidence);
  // where the probability is a normal double this is std::log of it, bit
  // for bit. False, with logP NaN, where CalcPropEvidence fails for
  // another reason.
  bool CalcLogPropEvidence(double& logP, bool chainRuleOnly);

  // The most probable joint outcomes of mapNodes given the observed
  // evidence pairs (handle, outcome) and the network's virtual evidence,
  // by annealed search on a private copy with the stored tuning and seed
  // (bodies in inference/annealed_map.cpp). Answers 0 with one outcome per
  // MAP node (in the order given; a MAP node with evidence keeps it), the
  // assignment's probability given the evidence and the evidence's
  // probability. Answers -2 for a bad or repeated handle, -2 (logged,
  // naming it) for a plate MAP node of a network of 2 or more slices, -51
  // for a MAP node that is not a discrete chance node, -43 for impossible
  // evidence, or a failing update's status; then nothing is returned, and
  // what the search's working copy logged is logged here. This network is
  // otherwise never changed.
  int AnnealedMAP(const std::vector<std::pair<int, int>>& evidence,
                  const std::vector<int>& mapNodes, std::vector<int>* assignment,
                  double* bestProbability, double* evidenceProbability,
                  int seed);

  // Bayesian intervals of the posterior beliefs of nodes, with the
  // parameters drawn iterations times from Dirichlet posteriors whose
  // sizes are counts (per handle, one per table column, as instance counts
  // give them) on a private copy, with this network's generator. intervals
  // receives per listed node one (lower, upper) pair per outcome, the
  // samples ranked k + 1 from either end, k = iterations * (1 - level) / 2
  // rounded down. Answers 0; -2 (logged, naming the first such node) for
  // an influence diagram (decision, utility or MAU nodes); -2 (logged) for
  // a bad handle, iterations below 1, a level outside 0 to 1 (NaN too) or
  // counts that do not fit the tables; -4 (logged) for a node listed twice;
  // -51
  // (logged) for a node without outcomes, such as an equation node; or the
  // status of a failed belief update. This network is not changed.
  int CalcConfidenceIntervals(
      const std::vector<int>& nodes, const std::vector<std::vector<int>>& counts,
      double level, int iterations,
      std::vector<std::vector<std::pair<double, double>>>& intervals);

  // --------------------------------------------- parameter randomization
  // (bodies in network_parameters.cpp)
  // Gives every node (nodes null) or every listed node, in list order,
  // random tables drawn with generator (null: the network's own, created
  // from the seed on first use); truth tables stay deterministic. Changed
  // nodes lose their propagated evidence; one update follows under
  // automatic updating. Answers 0, or -2 at the first bad handle (the
  // nodes before it stay changed).
  int RandomizeParameters(VRN_randomGenerator* generator,
                          const std::vector<int>* nodes);
  // The same with uniform tables (definitions without them are left).
  int UniformizeParameters(const std::vector<int>* nodes);
  // Applies mutator to the definitions as above, relevance reasoning off
  // meanwhile, then runs one relevance update from every changed node
  // (OnTablesChanged). Answers 0, or -2 at the first bad handle.
  int ApplyMutator(const std::vector<int>* nodes, Mutator& mutator);

  // ------------------------------------------ graph queries, orders, layouts
  // Number of arcs on the longest directed path; 0 without arcs.
  int GetLongestPathLength();
  // True when the graph, arc directions ignored, has no cycle.
  bool IsSinglyConnected() const;
  // Empties out, then lists for every decision node (topological order) its
  // parents not listed yet (topological order) followed by the decision,
  // then every remaining live node in topological order. Answers 0.
  int GetDecisionOrder(VRN_intArray& out);
  // Rearranges list into the decision order; handles that are not live
  // nodes are dropped, repeated ones stay repeated. Answers 0.
  int SortByDecisionOrder(VRN_intArray& list);
  // The same for the order of the observation-cost graph (every cost parent
  // before its cost children, as far as cost arcs allow). Answers 0.
  int SortNodesByOrder(VRN_intArray& list) const;
  // True when some live node has a temporal type other than normal (0).
  bool HasTemporalNodes() const;
  // Appends to the table cache (created on first use) a new zero table
  // dimensioned by the listed nodes' outcome counts in list order, and
  // answers it. The cache owns the table; the pointer stays valid until the
  // cache is emptied (later entries never move earlier ones). Null, with
  // nothing added, for an empty list, a handle that is not a live node with
  // outcomes, or a table too large to index with an int.
  VRN_matrix* MakeTableForNodes(const std::vector<int>& nodes);
  // Places the other live nodes on rings around centre and the nodes
  // without arcs in a grid below them (see layout.cpp). 0, or -2 for a bad
  // centre handle (nothing moved).
  int CircleLayout(int centre);
  // Places every live node in the cells of a layered grid; options null
  // means VRN_layoutOptions' defaults (network/layout.h).
  void Layout(const VRN_layoutOptions* options);

 private:
  friend class VRN_autoUpdateGuard;
  friend class VRN_relevanceOffGuard;

  void Init();
  // Frees every owned part but the error log, which the destructor frees.
  void ClearContents();
  // file input/output: a read or write through one speaker (text null: a
  // file; else the XML network document in text), the load preparation of
  // a fresh network (answers the relevance options it replaced), and the
  // taking over of a loaded network.
  int Load(const char* name, const char* text, int format,
           const qelta::FormatExtension& extension);
  int Save(const char* name, std::string* text, int format,
           const qelta::FormatExtension& extension);
  int PrepareLoad(const VRN_fileFormat& speaker);
  void TakeOver(const VRN_network& loaded);
  int RunInference();
  // Values indexed by other nodes hold an influence diagram's results: any
  // other update gives them their own shape first (network_influence.cpp).
  void DropIndexingParents();
  // Gives the values indexed by node h their own shape, as an update does
  // before solving: h is going, and its slot may hold another node later.
  void DropIndexingParent(int handle);
  // The probability of evidence of CalcPropEvidence, as fraction and
  // exponent; false (p failed) where that fails but for the range.
  bool ScaledPropEvidence(qelta::ScaledProbability* p, bool chainRuleOnly);
  // belief updating: the chain-rule method of CalcPropEvidence.
  bool ChainRuleEvidence(qelta::ScaledProbability* p);
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
  bool impliedStale_ = false;
  bool bookkeepingSkipped_ = false;
  // Nodes of decision, utility and multi-attribute utility types; -1 when
  // they are to be counted again (after a change of type).
  mutable int influenceNodes_ = -1;
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
  std::unique_ptr<std::deque<VRN_tableCacheEntry>> tableCache_;
  std::unique_ptr<qelta::ClusteringCache, qelta::ClusteringCacheDeleter>
      clusteringCache_;
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
  // Relevance bookkeeping: every handle whose value gained evidence since
  // it was last found without (a superset of the nodes with evidence), with
  // a per-handle flag against listing one twice; and the walks' marks.
  std::vector<int> evidenceNodes_;
  std::vector<std::uint8_t> evidenceListed_;
  qelta::WalkMarks walkMarks_;
  // Scratch lists of the acyclicity test, kept to avoid allocating per arc.
  std::vector<int> stack_;
  std::vector<int> forward_;
  std::vector<int> backward_;
  std::vector<int> pooledRanks_;

  // Starts a new visit generation; the answer marks nodes of this search.
  std::uint32_t NextStamp();
  // Removes an arc's entries from both lists (no notifications).
  void DropArcEntries(int parent, int child);
  int AddNodeInSlot(int type, const char* id, bool afterAll);
};

#endif  // QELTA_NETWORK_NETWORK_H_
