// Cases: named, stored sets of evidence that a user can apply again later.
//
// VRN_caseList, owned by the network, owns its VRN_case records. A case
// refers to nodes by handle, so the network tells the list of every edit that
// changes what a handle or an outcome index means (node deleted, outcomes
// inserted, removed or reordered, temporal or definition type changed) and
// the list carries the edit into every case, so that stored evidence keeps
// pointing at the same outcomes. While propagation is switched off (learning
// does this while it rebuilds nodes) the notifications do nothing.
//
// Each case holds at most one evidence entry per node, in insertion order,
// and a separate list of nodes (the case's targets).
//
// Thread use: as the owning network, one thread at a time.
#ifndef QELTA_NETWORK_CASES_H_
#define QELTA_NETWORK_CASES_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/arrays.h"

class VRN_network;

// One evidence entry of a case.
struct VRN_caseEvidence {
  int node = -1;
  // 0 observed outcome, 1 continuous value, 2 soft-evidence vector,
  // 3 evidence per time slice; -1 only while the entry is being filled.
  int kind = -1;
  int outcome = -1;                        // kind 0
  double value = 0.0;                      // kind 1
  std::vector<double> softEvidence;        // kind 2, one per outcome
  std::vector<std::pair<int, int>> slices; // kind 3, (slice, outcome)
};

namespace qelta {
inline constexpr int kCaseOutcome = 0;
inline constexpr int kCaseValue = 1;
inline constexpr int kCaseSoft = 2;
inline constexpr int kCaseTemporal = 3;
inline constexpr int kCaseFilling = -1;
}  // namespace qelta

class VRN_case {
 public:
  // An unnamed case of network: empty texts, dates 0, no entries.
  explicit VRN_case(VRN_network* network);
  // Deep copy of source bound to network (handles kept as they are).
  VRN_case(VRN_network* network, const VRN_case& source);

  VRN_case(const VRN_case&) = delete;
  VRN_case& operator=(const VRN_case&) = delete;

  // 0 and the name stored; -30 for a null or empty name; -32 when another
  // case of the network has exactly this name (name unchanged on failure).
  [[nodiscard]] int SetName(const char* name);
  const std::string& GetName() const { return name_; }
  // A null text stores the empty text.
  void SetDescription(const char* text);
  const std::string& GetDescription() const { return description_; }
  void SetCategory(const char* text);
  const std::string& GetCategory() const { return category_; }
  // Time stamps, stored as given (their unit belongs to the file format).
  void SetCreated(std::int64_t stamp) { created_ = stamp; }
  std::int64_t GetCreated() const { return created_; }
  void SetModified(std::int64_t stamp) { modified_ = stamp; }
  std::int64_t GetModified() const { return modified_; }

  // ------------------------------------------------------------- evidence
  // Each setter adds one entry for node h. Failures add nothing: -2 when h
  // is not a live node, -32 when the case already has an entry for h, and
  // the setter's own refusals below.
  // Observed outcome: -2 unless 0 <= outcome < h's outcome count. An
  // outcome whose identifier is empty (cleared interval outcomes) is taken
  // too, here and in SetTemporalEvidence; but the XML file names an
  // observed outcome by its identifier, so saving it then fails (-103,
  // naming the case, node and outcome) unless it is the first outcome that
  // carries that identifier (or the node is a CAST or DeMorgan node, which
  // the file names by its fixed outcomes "True" and "False").
  [[nodiscard]] int SetEvidence(int h, int outcome);
  // A number: the value of an equation node (-4 unless finite), or on a
  // node with outcomes kept as given; that node's own evidence, and the
  // XML file, take it as the outcome whose interval holds it (saving fails,
  // -103, naming the case and node, when no interval holds it or an earlier
  // outcome carries that outcome's identifier too).
  [[nodiscard]] int SetContEvidence(int h, double value);
  // Soft evidence: -4 when a value is not finite (NaN or an infinity),
  // -2 unless the vector has one value per outcome of h.
  [[nodiscard]] int SetVirtualEvidence(int h, const std::vector<double>& values);
  // Outcome of h in one time slice. With no entry for h: a new entry with
  // the single pair; -4 for a negative slice, -2 for a bad outcome. With a
  // per-slice entry for h: -4, -2 as before, -32 when that slice is already
  // set, else the pair is appended. An entry of another kind: -32.
  [[nodiscard]] int SetTemporalEvidence(int h, int outcome, int slice);

  int GetNumberOfEvidence() const { return static_cast<int>(evidence_.size()); }
  // Node of entry i; -2 for i out of range.
  int GetEvidenceNode(int i) const;
  // Entry i's contents: 0; -2 for i out of range; -51 when entry i is of
  // another kind (outputs untouched on failure).
  int GetEvidence(int i, int& node, int& outcome) const;
  int GetContEvidence(int i, int& node, double& value) const;
  int GetVirtualEvidence(int i, int& node, std::vector<double>& values) const;
  int GetTemporalEvidence(int i, int& node,
                          std::vector<std::pair<int, int>>& slices) const;

  // ------------------------------------------------------------ node list
  // Appends h unless present: 0; -2 when h is not a live node.
  [[nodiscard]] int AddNode(int h);
  // Item i of the node list; -2 for i out of range.
  int GetNode(int i) const;
  int GetNumberOfNodes() const { return nodes_.GetSize(); }

 private:
  friend class VRN_caseList;

  // Appends an entry for h in the filling state: 0, -2, -32 as the setters.
  int AddEvidence(int h);
  // Index of h's entry, or -1.
  int FindEntry(int h) const;
  // Outcome count of live node h (negative for nodes without outcomes).
  int OutcomeCount(int h) const;
  bool IsPlate(int h) const;

  // Edits carried in from the network (see VRN_caseList).
  void OnNodeDeleted(int h);
  void OnOutcomeInserted(int h, int position);
  void OnOutcomeDeleted(int h, int position);
  void OnOutcomesReordered(int h, const VRN_intArray& order);
  void OnTemporalTypeChanged(int h, int oldType);
  void OnDefinitionTypeChanged(int h, int newType);
  // Entry index's slice pairs give way to the outcome of slice 0; the entry
  // goes when slice 0 has none.
  void LeaveTimeSlices(int index);

  VRN_network* network_;
  std::string name_;
  std::string description_;
  std::string category_;
  std::int64_t created_ = 0;
  std::int64_t modified_ = 0;
  VRN_intArray nodes_;
  std::vector<VRN_caseEvidence> evidence_;
};

class VRN_caseList {
 public:
  explicit VRN_caseList(VRN_network* network);
  // Deep copy of every case of source, and its propagation switch, bound to
  // network.
  VRN_caseList(VRN_network* network, const VRN_caseList& source);
  ~VRN_caseList();

  VRN_caseList(const VRN_caseList&) = delete;
  VRN_caseList& operator=(const VRN_caseList&) = delete;

  // Appends a new case named name and answers it (owned by the list); null
  // when the name is refused (null, empty, or another case's name).
  // REQUIRES: this is the network's own list (names are checked there).
  VRN_case* AddCase(const char* name);
  // The case at i, or null for i outside 0..count-1.
  VRN_case* GetCase(int i) const;
  int GetNumberOfCases() const { return static_cast<int>(cases_.size()); }
  void DeleteAllCases();
  // The first case with an entry that observes an outcome of node h (in
  // any slice), or null: such an entry names the outcome by identifier in
  // the network file.
  const VRN_case* FindOutcomeEvidence(int h) const;

  // When off, the notifications below change nothing.
  void SetPropagate(bool on) { propagate_ = on ? 1 : 0; }
  bool IsPropagating() const { return propagate_ != 0; }

  // Edit notifications from the network, applied to every case in order.
  // Node h was deleted: its entry and its place in the node lists go.
  void OnNodeDeleted(int h);
  // An outcome of h was inserted at position / removed from position:
  // outcome indices, per-slice outcomes and soft-evidence vectors follow;
  // entries whose observed outcome was removed go.
  void OnOutcomeInserted(int h, int position);
  void OnOutcomeDeleted(int h, int position);
  // New outcome j of h is old outcome order[j].
  void OnOutcomesReordered(int h, const VRN_intArray& order);
  // h's temporal type changed from oldType to its current one; only moves
  // into or out of the plate type convert entries (outcome <-> slice 0).
  void OnTemporalTypeChanged(int h, int oldType);
  // h has a new definition of type newType; entries that no longer fit it
  // go: every entry when it has fewer than 2 outcomes and is no equation;
  // on an equation, all but a finite number; on a node with outcomes, an
  // outcome index beyond them or a soft-evidence vector of another length.
  // A number stays on a node with outcomes, taken as the outcome whose
  // interval holds it (as SetContEvidence).
  void OnDefinitionTypeChanged(int h, int newType);
  // The network has no time slices any more (a copy without its temporal
  // part): every per-slice entry becomes the outcome of slice 0, as when
  // its node leaves the plate, or goes when slice 0 has none. Whatever the
  // propagation switch says, as no node of the network is a plate node.
  void DropTimeSlices();

 private:
  VRN_network* network_;
  std::vector<VRN_case*> cases_;
  std::uint8_t propagate_ = 1;
};

#endif  // QELTA_NETWORK_CASES_H_
