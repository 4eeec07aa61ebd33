// Discrete definitions: the abstract base of every definition whose node has
// named outcomes (CPT, truth table, decision and the canonical kinds).
//
// VRN_discDef owns the outcome identifiers, their optional numeric meaning
// (interval bounds or point values) and the optional per-outcome diagnosis
// data, and implements every outcome operation of VRN_nodeDef. Each edit
// keeps the definition's own table (slots OnOutcomeInserted..RebuildTable,
// implemented by the table classes), the network's per-node data and every
// child's table in step. A discrete definition never has fewer than two
// outcomes.
//
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_DISCRETE_DEF_H_
#define QELTA_DEFINITIONS_DISCRETE_DEF_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "base/strings.h"
#include "definitions/node_def.h"

class VRN_discVal;

// Diagnosis information of one outcome. A new record is empty, not a fault.
class VRN_outcomeDiagInfo {
 public:
  bool fault = false;
  std::string description;
  std::string label;
  std::string fix;
  VRN_documentation documentation;
};

namespace qelta {

// The most items an outcome edit may give a table (arrays refuse blocks of
// 4 GB and more).
inline constexpr long long kMaxTableItems = UINT32_MAX / sizeof(double);

// The per-outcome diagnosis block of a discrete definition: created on first
// need with one empty record per outcome, kept until the definition dies.
struct OutcomeDiagBlock {
  int default_outcome = -1;  // -1: none
  std::vector<VRN_outcomeDiagInfo> outcomes;
};

}  // namespace qelta

class VRN_discDef : public VRN_nodeDef {
 public:
  ~VRN_discDef() override;

  // Belief-vector values (value type 3).
  VRN_nodeVal* CreateValueFromRecord(
      const VRN_evidenceRecord& record) const override;
  VRN_nodeVal* CreateValue() const override;

  // ---- Outcome operations. Failures leave the definition unchanged unless
  // a later step (a child's table) refuses; steps done until then stay done.

  int AddOutcome(const char* id) override;
  // Inserts an outcome at `position` (0..count). An id that is not usable is
  // replaced by a generated one (prefix and old count, or the next number
  // that is free); among outcomes without ids the new one has none. -51
  // when outcomes are fixed, -2 (logged) for a bad position or for an id
  // among outcomes without ids, -32 (logged) for an id another outcome holds,
  // -4 when splitting the interval at its middle would leave bounds
  // SetIntervals refuses (an infinite end repeated a third time, or the
  // middle of -inf and +inf) (nothing changed).
  int InsertOutcome(int position, const char* id) override;
  // -51 fixed, -2 bad index or only two outcomes left.
  int RemoveOutcome(int index) override;
  int GetNumberOfOutcomes() const override;
  // -51 fixed; -2 bad index or invalid id, or (logged) an id another
  // outcome holds or a rename that would leave some outcomes with ids and
  // some without.
  int RenameOutcome(int index, const char* id) override;
  // Each name repaired into a valid identifier; -2 on a count mismatch, -32
  // (nothing changed) when two of the results are equal; both logged.
  int RenameOutcomesFromStrings(const std::vector<std::string>& names) override;
  int RenameOutcomes(const VRN_stringArray& names) override;
  const VRN_idArray* GetOutcomesNames() const override;
  // -32 (logged) when two non-empty ids are equal, -19 (logged) for fewer
  // than two, -2 when some ids are empty and others not, or any for a truth
  // table (nothing changed).
  int SetNumberOfOutcomesByIds(const VRN_stringArray& ids) override;
  // -51 fixed, -19 for count < 2.
  int SetNumberOfOutcomes(int count) override;
  // New outcome i is old outcome order[i].
  int ChangeOrderOfOutcomes(const VRN_intArray& order) override;
  // mapping[j]: the old outcome new outcome j continues, or < 0 for a new
  // one; old outcomes nobody names are removed. Final ids are `ids`.
  // Refused before any change: -2 a bad mapping, -32 two ids (repaired)
  // equal (both logged), -42 a table too large on the way, -4 an interval
  // split on the way that SetIntervals would not take. A child refusing a
  // step leaves the steps done until then.
  int ChangeOrderOfOutcomesWithAddAndRemove(const VRN_stringArray& ids,
                                            const VRN_intArray& mapping) override;
  int GetDiscreteOutcomeCount() const override;
  // Pointers to the ids, values and diagnosis block, not owned by the record.
  int GetDiscreteInfo(VRN_discreteInfo* info) override;

  // ---- Slots added by discrete definitions.

  virtual bool AreOutcomesFixed() const;
  virtual const char* GetDefaultOutcomePrefix() const;
  // Table hooks: the own outcome dimension follows the outcome edits.
  virtual int OnOutcomeInserted(int position);
  virtual int OnOutcomeRemoved(int index);
  virtual int OnOutcomesReordered(const VRN_intArray& order);
  // Re-creates the table for the current parents and outcomes.
  virtual int RebuildTable() = 0;

  // ---- Numeric outcomes. Interval bounds: count + 1 non-decreasing values,
  // outcome i covers [b_i, b_i+1]. Point values: one number per outcome.

  // -2 for fewer than 3 bounds; -4 for decreasing bounds or two empty
  // intervals in a row. Resizes the outcomes first when needed. With
  // `clear_ids` every outcome id is emptied (-51 for a truth table, whose
  // resulting states files name by outcome id).
  int SetIntervals(const std::vector<double>& bounds, bool clear_ids);
  int SetIntervalsFromArray(const VRN_doubleArray& bounds, bool clear_ids);
  // Copies of the bounds; -3 without intervals.
  int GetIntervals(std::vector<double>* out) const;
  int GetIntervalBounds(VRN_doubleArray* out) const;
  // -3 without intervals, -2 for a bad index.
  int GetOutcomeInterval(int outcome, double* low, double* high) const;
  // The outcome whose interval holds `value`; -3 without intervals, -2
  // outside the bounds.
  int GetIntervalIndex(double value) const;
  int RemoveIntervals();
  // -2 unless there is one value per outcome; -4 for a value that is not a
  // finite number. Outcomes without ids (those of intervals) are named as
  // RemoveIntervals names them.
  int SetPointValues(const std::vector<double>& values);
  int SetPointValuesFromArray(const VRN_doubleArray& values);
  int GetPointValues(std::vector<double>* out) const;
  int CopyPointValues(VRN_doubleArray* out) const;
  int GetPointValue(int outcome, double* out) const;
  // The first outcome whose point value equals `value`; -3 when none.
  int GetPointValueIndex(double value) const;
  int RemovePointValues();
  bool HasIntervals() const;
  bool HasPointValues() const;
  bool HasOutcomeIds() const;
  // The point value, else the index as a double; NaN for a bad index.
  double GetOutcomeValue(int outcome) const;
  // Mean and deviation of a distribution over the outcomes (`value` holds one
  // probability per outcome). -2 on a count mismatch, -3 without numeric
  // outcomes, -4 (*out set) for a result beyond the doubles or NaN.
  int CalculateMean(const VRN_matrix& value, double* out) const;
  int CalculateStdDev(const VRN_matrix& value, double* out) const;

  // ---- Diagnosis data of the outcomes.

  int GetDefaultOutcome() const;
  int SetDefaultOutcome(int index);
  bool IsFaultOutcome(int index) const;
  int SetFaultOutcome(int index, bool fault);
  // Null for a bad index, no block or an empty text.
  const char* GetOutcomeLabel(int index) const;
  const char* GetOutcomeDescription(int index) const;
  const char* GetOutcomeFix(int index) const;
  const VRN_documentation* GetOutcomeDocumentation(int index) const;
  // An empty or null text clears the field; -2 for a bad index.
  int SetOutcomeDescription(int index, const char* text);
  int SetOutcomeFix(int index, const char* text);
  int SetOutcomeDocumentation(int index, const VRN_documentation& doc);
  // Labels are unique across the network: -32 when another outcome of any
  // node holds it (unless the network relaxes its checks while loading).
  int SetOutcomeLabel(int index, const char* label);

  // The numeric values as stored (null when none) and the diagnosis block
  // (null until first needed).
  const VRN_doubleArray* GetValues() const { return values_.get(); }
  // Takes original's interval bounds or point values as they stand (none
  // for null), unchecked: a copy kept in step with its original.
  void TakeNumbersOf(const VRN_discDef* original);
  const qelta::OutcomeDiagBlock* GetDiagInfo() const { return diag_info_.get(); }

 protected:
  // Copies `ids`; no values, no diagnosis block.
  VRN_discDef(VRN_network* network, int handle, const VRN_idArray& ids);
  // Copies of the record's items ("State0", "State1" without ids).
  explicit VRN_discDef(const VRN_discreteInfo& info);
  // Deep copy for Clone.
  VRN_discDef(const VRN_discDef& other, VRN_network* network);
  // Every outcome named prefix + its index.
  void GiveNumberedIds();

 private:
  qelta::OutcomeDiagBlock* EnsureDiagBlock();
  // The node's value when this definition is its node's; else null.
  VRN_discVal* OwnValue() const;
  // Whether this definition's table (and with `children` every child's
  // table) still fits the largest table block with `count` own outcomes.
  bool TablesFit(int count, bool children) const;
  int NotifyChildrenInserted(int position);
  int NotifyChildrenRemoved(int index);
  int NotifyChildrenReordered(const VRN_intArray& order);
  // After the point values or interval bounds changed: equation children
  // drop their tables over them and the network hears of it.
  void NotifyOutcomeValuesChanged();
  template <typename NetworkCall, typename ChildCall>
  int NotifyOutcomeChange(NetworkCall tell_network, ChildCall tell_child);
  // Whether a change of the outcome count must go outcome by outcome.
  bool NeedsOutcomeByOutcome() const;
  int ResizeOutcomeByOutcome(int count);
  // Logs why an outcome edit would leave the ids partly empty (index and
  // id of the refused rename; index -1 for a new outcome); answers -2.
  int RefuseMixedIds(int index, const char* id) const;
  // Logs the first id that ids hold twice and answers -32; 0 when none is.
  int RefuseDuplicateIds(const VRN_stringArray& ids) const;
  // Logs that count names do not fit the outcomes; answers -2.
  int RefuseNameCount(int count) const;
  int ReplaceIds(const VRN_stringArray& ids);
  // The renames of RenameOutcomes: -32 (logged) for two equal ids, -2 (logged) when
  // a literal of an equation child would name no outcome (nothing changed).
  int TakeRenamedIds(const VRN_idArray& renamed);
  // The ids as texts, empty for none.
  std::vector<std::string> IdTexts() const;
  // An edit after which old outcome i (id old_ids[i]) is called next[i]
  // and stands at at[i] (at i without at), and goes where that is missing,
  // negative, or an empty id of a named outcome, told to the equation
  // children whose literals name the outcomes (VRN_FollowOutcomeIds):
  // without carry -2 (logged) when a literal would name no outcome or
  // another one, so that the edit is refused before its first step; with
  // carry the literals take the new ids. Callers ask HasLiteralReaders
  // first, so that an edit of a node without equation children copies no
  // ids.
  int FollowIds(const std::vector<std::string>& old_ids,
                const std::vector<std::string>& next, bool carry,
                const std::vector<int>* at = nullptr) const;
  // Whether this is its node's definition and the node has an equation
  // child, whose literals may name the outcomes.
  bool HasLiteralReaders() const;
  int CheckIds(const std::vector<std::string>& next,
               const std::vector<int>* at = nullptr) const {
    return FollowIds(IdTexts(), next, false, at);
  }
  // CheckIds for an edit that keeps every id and moves old outcome i to
  // at[i] (negative: it goes).
  int CheckPlaces(const std::vector<int>& at) const;

  VRN_idArray outcome_ids_;
  std::unique_ptr<VRN_doubleArray> values_;
  std::unique_ptr<qelta::OutcomeDiagBlock> diag_info_;
};

#endif  // QELTA_DEFINITIONS_DISCRETE_DEF_H_
