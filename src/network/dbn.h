// VRN_dbn: the temporal part of a dynamic network.
//
// A network whose nodes carry the plate temporal type stands for one copy of
// each plate node per time slice. The temporal part keeps what the ordinary
// network has no room for: temporal arcs (parent k slices earlier), the
// tables plate nodes use where those arcs reach them (temporal definitions),
// the slice count, the evidence of slices 1 and later and the plate's layout
// record. It also unrolls the network into an ordinary one.
//
// Temporal definitions are ordinary definitions of holder nodes of a hidden
// network owned by the part; a holder's parents are proxy nodes, each
// standing for one node of the owning network. Holder H(c, k) has c's steady
// parents (normal and plate parents, in c's order) followed by c's temporal
// parents of every order up to k that c has, so all table operations of the
// definition classes work on temporal definitions unchanged.
//
// Ownership: the owning network creates the part on first use, owns it and
// deletes it with itself, on Reset and on Copy. The part keeps a pointer to
// its owner and owns the hidden network. Thread use: one thread per network.
#ifndef QELTA_NETWORK_DBN_H_
#define QELTA_NETWORK_DBN_H_

#include <array>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "network/network.h"

class VRN_nodeDef;
class VRN_randomGenerator;

namespace qelta {
// Temporal types of a node.
inline constexpr int kTemporalNormal = 0;
inline constexpr int kTemporalAnchor = 1;
inline constexpr int kTemporalTerminal = 2;
inline constexpr int kTemporalPlate = 3;
}  // namespace qelta

class VRN_dbn {
 public:
  explicit VRN_dbn(VRN_network* owner);
  // Copy of other bound to owner: temporal arcs and definitions, slice
  // count, plate record and slice evidence; shares no storage with other.
  VRN_dbn(VRN_network* owner, const VRN_dbn& other);
  VRN_dbn(const VRN_dbn&) = delete;
  VRN_dbn& operator=(const VRN_dbn&) = delete;

  // ---------------------------------------------------------- temporal arcs
  // 0; -2 when order < 1, a handle is invalid, either node is not a plate
  // node or the arc exists; -51 (logged) when the child's kind holds no
  // temporal definition; or the hidden network's refusal, -51 for an arc
  // the arc rule refuses (part unchanged).
  int AddTemporalArc(int parent, int child, int order);
  // Whether a node of definition type defType may have temporal parents:
  // the kinds whose temporal definitions files can hold.
  static bool CanHoldTemporalDefinition(int defType);
  // 0; -2 when order < 1, a handle is invalid, a node is not a plate node or
  // there is no such arc.
  int RemoveTemporalArc(int parent, int child, int order);
  bool TemporalArcExists(int parent, int child, int order) const;
  // Position of parent among the parents of H(child, order), from the
  // entry's own temporal parents on; -1 when there is no such arc.
  int GetTemporalParentIndex(int parent, int child, int order) const;
  // The temporal parents of exactly that order, in holder order. 0 or -2.
  int GetTemporalParents(int node, int order, VRN_intArray& out) const;
  // Every temporal arc out of node as (child, order). 0 or -2.
  int GetTemporalChildren(int node,
                          std::vector<std::pair<int, int>>& out) const;
  // Orders of the node's temporal definitions, ascending. 0 or -2.
  int GetTemporalOrders(int node, VRN_intArray& out) const;
  // The parents that the node's copy in slice `order` receives when the
  // network is unrolled: steady parents with order 0, then every temporal
  // parent with its order; holder is the hidden node whose definition that
  // copy uses, -1 when none applies. 0 or -2.
  int GetUnrolledParents(int node, int order,
                         std::vector<std::pair<int, int>>& out,
                         int& holder) const;
  // Highest order of the node's temporal definitions (0 when none); -2.
  int GetMaxNodeTemporalOrder(int node) const;
  // Highest order over all temporal definitions; -1 when there is none.
  int GetMaxTemporalOrder();
  // Definition of H(node, order), owned by the hidden network; null when
  // absent.
  VRN_nodeDef* GetTemporalDefinition(int node, int order) const;
  // The hidden network of holders and proxies (read-only view for tests and
  // writers).
  const VRN_network& HiddenNetwork() const { return defNetwork_; }

  // Adds to target a node like source's node h (definition type, outcome
  // count; with full also outcome ids and interval bounds or point values).
  // id null: automatic identifier. The new handle, or a negative status.
  static int CloneNodeInto(VRN_network& target, const VRN_network& source,
                           int h, const char* id, bool full);
  // Copies the source node's parameters into the target node's definition.
  static void CopyTable(VRN_network& target, int targetHandle,
                        const VRN_network& source, int sourceHandle);

  // ------------------------------------------------ types, slices, evidence
  // Checks and prepares a change of node's temporal type to type: 0 when the
  // network may store it; -2 (forbidden by arcs or temporal definitions) or
  // -4 (no such type), -51 (a plate node of a kind without outcomes,
  // logged); the hidden network's refusal. Part unchanged on
  // failure. REQUIRES: node valid and type differs from the current one.
  int ChangeTemporalType(int node, int type);
  // 0 when a node of definition type defType may be a plate node; else
  // logs a message naming node to net's log and answers -51. Equation,
  // utility and multi-attribute utility nodes have no outcomes, so there is
  // no per-slice distribution to carry.
  static int CheckPlateKind(VRN_network& net, int node, int defType);
  // 0; -4 when count < 1. Drops evidence of slices >= count.
  int SetNumberOfSlices(int count);
  int GetNumberOfSlices() const { return sliceCount_; }
  // Slice evidence of slices 1 and later; callers check node and slice.
  int SetTemporalEvidence(int node, int slice, int outcome);
  int SetTemporalVirtualEvidence(int node, int slice,
                                 const std::vector<double>& likelihoods);
  // Observed outcome of (node, slice); -2 when none.
  int GetTemporalEvidence(int node, int slice) const;
  // 0 with a copy; -2 when none.
  int GetTemporalVirtualEvidence(int node, int slice,
                                 std::vector<double>& out) const;
  bool HasTemporalEvidence(int node) const;
  bool HasTemporalVirtualEvidence(int node, int slice) const;
  void ClearTemporalEvidence(int node, int slice);
  void ClearAllTemporalEvidence();

  void GetPlateInfo(int rect[4], int& leftWidth, int& rightWidth) const;
  void SetPlateInfo(const int rect[4], int leftWidth, int rightWidth);

  // MakeRandom / MakeUniform on each temporal definition of node, by
  // increasing order; the first non-zero status, else 0.
  int RandomizeTemporalDefinitions(int node, VRN_randomGenerator& generator);
  int UniformizeTemporalDefinitions(int node);

  // ------------------------------------------------ hooks of the network
  // Each answers 0 or the status of the hidden network's failure, having
  // left the part as it was.
  int OnArcAdded(int parent, int child);
  int OnArcRemoving(int parent, int child);
  void OnNodeDeleted(int node);
  // After node changed definition type: the temporal arcs the arc rule
  // refuses now go with what they alone needed, the hidden nodes of node
  // take the new type keeping their arcs, and slice evidence the new
  // outcomes cannot hold goes.
  int OnDefinitionTypeChanged(int node);
  // node, an equation, has new discretization intervals: its proxies take
  // them, so its holder children follow their count as its own children do.
  int OnDiscIntervalsChanged(int node);
  // The hidden copies of node, a discrete node, take its interval bounds or
  // point values as they stand: so they take every outcome edit node takes.
  void FollowNumbers(int node);
  int OnOutcomeInserted(int node, int position);
  int OnOutcomeRemoved(int node, int index);
  int OnOutcomesReordered(int node, const VRN_intArray& order);
  // Whether every hidden table of node's holders and proxies and of their
  // children still fits the largest table block once node has `count`
  // outcomes, so that the owner refuses a growth before changing anything.
  bool OutcomeCountFits(int node, int count) const;
  // node's parents were permuted (new parent i = old parent order[i]):
  // permutes the steady parents of its holders alike.
  int OnParentsReordered(int node, const VRN_intArray& order);
  // node left the plate: its slice evidence goes.
  void OnLeftPlate(int node);

  // --------------------------------------------------------------- unrolling
  // Fills target with the unrolled network (whatever it held is replaced)
  // and map with the unroll map: the first count entries are the plate
  // nodes in increasing handle order, entry s * count + i the handle of
  // plate node i's copy in slice s. 0, or the first failure (logged in the
  // owning network's log). Cases keep their entries; a per-slice entry
  // becomes the outcome of slice 0 on the node itself and, for each later
  // slice, an observed outcome of the node's copy in that slice.
  int UnrollNetwork(VRN_network& target, std::vector<int>& map);
  // Unrolls into a temporary network, updates it and copies the beliefs
  // back: plate nodes get one row per slice. The unrolled update's status;
  // on failure the owning network's values are untouched, and evidence the
  // update found impossible (-43) is logged as such, naming where it
  // first becomes so.
  int UpdateBeliefs();

 private:
  using Key = std::pair<int, int>;
  using DefMap = std::map<Key, int>;

  bool IsPlate(int h) const;
  bool IsSteadyType(int type) const {
    return type == qelta::kTemporalNormal || type == qelta::kTemporalPlate;
  }
  int SteadyCount(int node) const;
  DefMap::const_iterator FirstEntry(int node) const;
  DefMap::const_iterator EndEntry(int node) const;
  int BaseCount(DefMap::const_iterator entry) const;
  const VRN_intArray& HolderParents(int holder) const;
  int Owner(int hidden) const;

  int NewProxy(int owner);
  int FirstFreeProxy(int owner, int holder) const;
  int InsertTemporalParent(int parent, int holder, int pos);
  // Removes the parent at position pos of holder (and returns its proxy).
  int DetachParentAt(int holder, int pos);
  int GetOrCreateTemporalDefinition(int child, int order, bool& created);
  void DeleteHidden(int hidden);
  void PruneHiddenNodes(int ignoredParent);
  int JoinTemporalDefinitions(int node);
  void LeaveTemporalDefinitions(int node);
  void RemoveRefusedTemporalArcs(int node);
  void DropUnfitSliceEvidence(int node);
  int ForEachTemporalDefinition(int node, bool randomize,
                                VRN_randomGenerator* generator);

  int BuildUnrollMap(std::vector<int>& map) const;
  // Each case's per-slice outcomes of slices 1 and later become evidence
  // of the slice copies in target's case of the same index.
  void CaseSlicesOntoCopies(VRN_network& target, const std::vector<int>& map,
                            int count) const;
  // "<id>_<slice>" of node in target, whole whatever the id's length; empty
  // when target already uses it (the copy then takes a default id).
  std::string MakeSliceNodeId(const VRN_network& target, int node,
                              int slice) const;
  // After an update of the unrolled network found its evidence impossible:
  // logs so, naming the observation (node, and slice for a plate node) with
  // which the evidence, taken slice after slice, first has probability
  // zero. Logs nothing when the probability cannot tell.
  void ReportImpossibleEvidence(const VRN_network& unrolled,
                                const std::vector<int>& map) const;

  std::map<int, int> hiddenOwner_;
  std::set<std::pair<int, int>> parentProxies_;
  DefMap temporalDefs_;
  std::map<Key, int> sliceEvidence_;
  std::map<Key, std::vector<double>> sliceVirtualEvidence_;
  VRN_network* network_;
  VRN_network defNetwork_;
  int sliceCount_ = 10;
  int maxOrder_ = -1;
  std::array<int, 4> plateRect_{{320, 170, 600, 300}};
  int leftWidth_ = 120;
  int rightWidth_ = 120;
};

#endif  // QELTA_NETWORK_DBN_H_
