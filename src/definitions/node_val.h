// Node values: what is known or computed about a node. The value holds the
// evidence set on the node (an observed outcome, a numeric observation,
// virtual evidence, or evidence implied by other evidence) and the result of
// the last belief update with a validity flag.
//
// Every node owns one value beside its definition; the definition creates it
// (VRN_nodeDef::CreateValue / CreateValueFromRecord). Values are copied with
// Clone when the network is copied.
//
// Thread use: one thread per network.
#ifndef QELTA_DEFINITIONS_NODE_VAL_H_
#define QELTA_DEFINITIONS_NODE_VAL_H_

#include <memory>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"

class VRN_network;
class VRN_nodeDef;
class VRN_discDef;

namespace qelta {

// Value type codes.
inline constexpr int kValBeliefVector = 3;
inline constexpr int kValExpectedUtility = 4;
inline constexpr int kValPolicyValues = 6;
inline constexpr int kValMauExpectedUtility = 7;
inline constexpr int kValEquationEvaluation = 8;

// Bits of a value's flag word.
inline constexpr int kValFlagEvidence = 1;    // observed evidence set
inline constexpr int kValFlagValid = 2;       // holds a result or point mass
inline constexpr int kValFlagPropagated = 4;  // evidence implied by others
inline constexpr int kValFlagRoot = 8;        // cleared with observed evidence
inline constexpr int kValFlagVirtual = 16;    // virtual evidence set
// A decision's value holding the expected utilities of its choices rather
// than probabilities; cleared with the valid bit and by a point mass.
inline constexpr int kValFlagUtilities = 32;

// Kinds of a VRN_evidenceRecord.
inline constexpr int kEvidenceNone = 0;
inline constexpr int kEvidenceOutcome = 1;
inline constexpr int kEvidenceOutcomeAndValue = 2;
inline constexpr int kEvidenceVirtual = 3;

}  // namespace qelta

// Evidence handed from the old value to the new one when a node changes its
// definition type.
class VRN_evidenceRecord {
 public:
  VRN_evidenceRecord(VRN_network* network, int handle)
      : network(network), handle(handle) {}

  VRN_network* network;
  int handle;
  int kind = qelta::kEvidenceNone;
  int outcome = -1;
  double value = 0.0;
  std::vector<double> soft_evidence;
};

class VRN_nodeVal {
 public:
  VRN_nodeVal(VRN_network* network, int handle);
  virtual ~VRN_nodeVal();

  VRN_nodeVal(const VRN_nodeVal&) = delete;
  VRN_nodeVal& operator=(const VRN_nodeVal&) = delete;

  // ---- Virtual slots, in slot order.

  // A copy bound to `target`; owned by the caller.
  virtual VRN_nodeVal* Clone(VRN_network* target) const = 0;
  virtual int GetType() const = 0;
  // Appends an indexing parent and gives the value matrix its dimension.
  // -2 for a handle that names no node; 0 without change when already there.
  virtual int AddIndexingParent(int handle);
  // Flags 0, indexing parents emptied.
  virtual void ClearIndexingParents();
  virtual const VRN_matrix& GetValue() const = 0;
  virtual VRN_matrix& GetMutableValue() = 0;
  virtual int GetContEvidence(double* out) const;
  // The observed or propagated outcome, or a negative status.
  virtual int GetEvidence() const;
  // Id of GetEvidence(); null when there is none.
  virtual const char* GetEvidenceId() const;
  virtual int SetEvidenceById(const char* id);
  virtual int SetEvidence(int outcome);
  virtual int SetContEvidence(double value);
  virtual int ClearEvidence();
  virtual int ClearPropagatedEvidence();
  virtual int SetPropagatedContEvidence(double value);
  virtual int SetPropagatedEvidence(int outcome);
  virtual int GetVirtualEvidenceArray(VRN_doubleArray* out) const;
  virtual int GetVirtualEvidence(std::vector<double>* out) const;
  virtual int SetVirtualEvidenceArray(const VRN_doubleArray& likelihoods);
  virtual int SetVirtualEvidence(const std::vector<double>& likelihoods);
  virtual int ClearVirtualEvidence();
  virtual int GetMean(double* out) const;
  virtual int GetStdDev(double* out) const;
  virtual int GetTemporalMeanStdDev(std::vector<double>* means,
                                    std::vector<double>* deviations) const;
  virtual int GetTemporalMeanStdDevArrays(VRN_doubleArray* means,
                                          VRN_doubleArray* deviations) const;
  // Describes the value's evidence in `record` (kind 0 when none).
  virtual void StoreEvidence(VRN_evidenceRecord& record) const = 0;

  // ---- Non-virtual helpers.

  VRN_network* GetNetwork() const { return network_; }
  int GetHandle() const { return handle_; }
  // The definition of this value's node (null when the node is not stored).
  VRN_nodeDef* GetOwnDefinition() const;
  // The value of any live node of the network.
  // REQUIRES: `handle` names a live node.
  VRN_nodeVal* GetNodeValue(int handle) const;
  // Whether the value's node is a plate node of a dynamic network, whose
  // value, when valid, holds one row of beliefs per time slice.
  bool IsPlate() const;

  // The flag word (kValFlag... bits) and the inference tag. Inference and the
  // network's relevance bookkeeping set and clear bits directly.
  // Gaining evidence of any kind is reported to the network, which keeps
  // the list of its nodes with evidence for the relevance bookkeeping.
  int GetFlags() const { return flags_; }
  void SetFlags(int flags) {
    flags_ = flags;
    if ((flags & kAnyEvidence) != 0) ReportEvidence();
  }
  bool HasFlags(int bits) const { return (flags_ & bits) != 0; }
  void AddFlags(int bits) {
    flags_ |= bits;
    if ((bits & kAnyEvidence) != 0) ReportEvidence();
  }
  void ClearFlags(int bits) { flags_ &= ~bits; }
  bool IsValueValid() const { return HasFlags(qelta::kValFlagValid); }
  // Evidence observed or propagated.
  bool HasEvidence() const {
    return HasFlags(qelta::kValFlagEvidence | qelta::kValFlagPropagated);
  }
  bool HasVirtualEvidence() const { return HasFlags(qelta::kValFlagVirtual); }
  // Clears the valid bit (and what the value held) and the update tag.
  void Invalidate() {
    ClearFlags(qelta::kValFlagValid | qelta::kValFlagUtilities);
    update_tag_ = 0;
  }
  int GetUpdateTag() const { return update_tag_; }
  void SetUpdateTag(int tag) { update_tag_ = tag; }
  const VRN_intArray& GetIndexingParents() const { return indexing_parents_; }
  // Gives the value matrix the shape of a belief vector, one dimension of
  // `count` items, and so no indexing parents; flags stay. The status of
  // the reshaping.
  int ShapeAsBeliefs(int count);

  // ---- Evidence per time slice of a plate node (node_val_temporal.cpp).
  // Slice 0 is the node's own evidence; later slices live in the network's
  // temporal part. -51 unless the node is a plate node; -2 for a negative
  // slice, one at or beyond the slice count, a bad outcome, no temporal
  // part; virtual evidence is checked and normalised as SetVirtualEvidence
  // does (-2, -3, -4).
  int SetTemporalEvidence(int slice, int outcome);
  int SetTemporalVirtualEvidence(int slice,
                                 const std::vector<double>& likelihoods);
  // -4 when a slice above 0 holds no evidence.
  int ClearTemporalEvidence(int slice);
  // The observed outcome of the slice, or -2.
  int GetTemporalEvidence(int slice) const;
  int GetTemporalVirtualEvidence(int slice, std::vector<double>* out) const;
  bool IsTemporalEvidence(int slice) const;
  bool IsTemporalVirtualEvidence(int slice) const;
  // Whether any slice of the node holds evidence.
  bool HasTemporalEvidence() const;

 protected:
  // Copy for Clone: flags, indexing parents and tag, bound to `network`.
  VRN_nodeVal(const VRN_nodeVal& other, VRN_network* network);

 private:
  static constexpr int kAnyEvidence = qelta::kValFlagEvidence |
                                      qelta::kValFlagPropagated |
                                      qelta::kValFlagVirtual;
  void ReportEvidence() const;

  VRN_network* network_;
  int handle_;
  int flags_ = 0;
  VRN_intArray indexing_parents_;
  int update_tag_ = 0;
};

// Values of nodes with outcomes: the observed or propagated outcome, an
// optional numeric observation and a matrix whose last dimension is the
// outcome count (indexing parents' dimensions before it).
class VRN_discVal : public VRN_nodeVal {
 public:
  ~VRN_discVal() override;

  void ClearIndexingParents() override;
  const VRN_matrix& GetValue() const override;
  VRN_matrix& GetMutableValue() override;
  int GetContEvidence(double* out) const override;
  int GetEvidence() const override;
  const char* GetEvidenceId() const override;
  // -30 for an id the node does not have.
  int SetEvidenceById(const char* id) override;
  // Observes `outcome`: the value becomes its point mass. -2 bad outcome, -26
  // when propagated evidence names another outcome, or the network's answer
  // when it finds the outcome impossible; a refused call keeps the node's
  // earlier observed or virtual evidence.
  int SetEvidence(int outcome) override;
  // Observes the outcome whose interval holds `value`; -3 without intervals,
  // -2 outside them.
  int SetContEvidence(double value) override;
  // Clears observed, else virtual evidence; -2 when neither is set.
  int ClearEvidence() override;
  // Implied (propagated) evidence: the point mass of an outcome other
  // evidence implies. Virtual evidence stays beside it, untouched.
  int ClearPropagatedEvidence() override;
  int SetPropagatedEvidence(int outcome) override;
  // The statistics of the outcome values under the value's probabilities;
  // -51, logged, for a decision's expected utilities (kValFlagUtilities).
  int GetMean(double* out) const override;
  int GetStdDev(double* out) const override;
  int GetTemporalMeanStdDev(std::vector<double>* means,
                            std::vector<double>* deviations) const override;
  int GetTemporalMeanStdDevArrays(VRN_doubleArray* means,
                                  VRN_doubleArray* deviations) const override;
  void StoreEvidence(VRN_evidenceRecord& record) const override;

  // Outcome edits of the node's own definition, told after its outcomes
  // changed; new_count is the outcome count after the edit. Observed and
  // implied evidence follow their outcome (evidence on a removed outcome is
  // dropped), virtual evidence follows too (0.0 for an inserted outcome), and
  // the value matrix keeps one entry per outcome; a removal leaves a value
  // without evidence invalid. No network hook runs: the answer is true when
  // observed or virtual evidence was dropped, and the caller then tells the
  // network.
  virtual bool OnOwnOutcomeInserted(int position, int new_count);
  virtual bool OnOwnOutcomeRemoved(int index, int new_count);
  // New outcome i is old outcome order[i].
  virtual void OnOwnOutcomesReordered(const VRN_intArray& order);
  // Drops the number of a numeric observation once it no longer lies in
  // the observed outcome's interval (new intervals or outcomes); the
  // outcome stays observed. True when a number was dropped.
  bool DropNumberOutsideOutcome();
  // Makes the point mass of an observation valid when it is not (taken over
  // from a record); a plate node's value is left to the update.
  void ValidateObservation();

 protected:
  VRN_discVal(VRN_network* network, int handle);
  VRN_discVal(const VRN_discVal& other, VRN_network* network);

  // The node's discrete definition, or null.
  const VRN_discDef* GetDiscDef() const;
  // Sets observed evidence without the network hooks (used when a value is
  // built from a record); the point mass stays invalid until an update.
  void AdoptObservedEvidence(int outcome, int outcome_count);
  // The value matrix becomes the point mass at outcome, indexed by no
  // other node; a plate node's value is left invalid (it is valid only with
  // a row per slice).
  void SetPointMass(int outcome, int outcome_count);
  // SetEvidence and SetContEvidence; a refused call leaves the earlier
  // evidence as it was.
  int SetEvidenceFrom(int outcome, bool from_value);
  // Puts the evidence of record back unchecked (after a refused
  // SetEvidence); the network's implied evidence is derived again.
  void RestoreEvidence(const VRN_evidenceRecord& record);
  // Logs why outcome is refused: the evidence entered implies another one
  // (implied; the current implied outcome when negative). Answers -26.
  int RefuseImpliedConflict(int outcome, int implied = -1) const;
  // Removes virtual evidence without telling the network, for callers
  // that tell it themselves; -3 without virtual evidence.
  virtual int DropVirtualEvidence();
  // -51, with the reason logged: the value holds expected utilities.
  int RefuseUtilities() const;

  int evidence_ = -1;
  double evidence_value_ = 0.0;
  bool has_evidence_value_ = false;
  VRN_matrix value_;
};

// Posterior beliefs of a chance node (value type 3), with virtual evidence.
class VRN_beliefVector : public VRN_discVal {
 public:
  // An empty value: no evidence, not valid.
  VRN_beliefVector(VRN_network* network, int handle);
  // A value carrying the record's evidence as far as `definition` (the node's
  // new definition) can hold it; the value matrix is not valid.
  VRN_beliefVector(const VRN_discDef& definition,
                   const VRN_evidenceRecord& record);
  ~VRN_beliefVector() override;

  VRN_nodeVal* Clone(VRN_network* target) const override;
  int GetType() const override;
  // -2 without virtual evidence.
  int GetVirtualEvidenceArray(VRN_doubleArray* out) const override;
  int GetVirtualEvidence(std::vector<double>* out) const override;
  // One likelihood in 0..1 per outcome: -2 on a count mismatch, -3 for an
  // empty or all-zero vector, -4 for a value outside 0..1. Replaces observed
  // evidence; normalised unless the sum is within 5e-6 of 1.
  int SetVirtualEvidenceArray(const VRN_doubleArray& likelihoods) override;
  int SetVirtualEvidence(const std::vector<double>& likelihoods) override;
  // -3 without virtual evidence. An implied outcome keeps its point mass;
  // the network is told, as when the likelihoods were set.
  int ClearVirtualEvidence() override;
  void StoreEvidence(VRN_evidenceRecord& record) const override;
  bool OnOwnOutcomeInserted(int position, int new_count) override;
  bool OnOwnOutcomeRemoved(int index, int new_count) override;
  void OnOwnOutcomesReordered(const VRN_intArray& order) override;

 protected:
  int DropVirtualEvidence() override;

 private:
  VRN_beliefVector(const VRN_beliefVector& other, VRN_network* network);

  std::unique_ptr<std::vector<double>> virtual_evidence_;
};

#endif  // QELTA_DEFINITIONS_NODE_VAL_H_
