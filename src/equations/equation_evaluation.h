// VRN_equationEvaluation: the value of an equation node (value type 8).
//
// It holds the node's numeric evidence, the values the hybrid sampler drew
// for the node (in draw order, non-finite ones kept) with their summary
// statistics, or, when the discrete algorithms handled the node through its
// discretization, a belief vector over the node's intervals.
//
// Ownership: owned by its node; created by VRN_equation.
// Thread use: one thread per network.
#ifndef QELTA_EQUATIONS_EQUATION_EVALUATION_H_
#define QELTA_EQUATIONS_EQUATION_EVALUATION_H_

#include <cstdint>
#include <vector>

#include "base/arrays.h"
#include "base/matrix.h"
#include "definitions/node_val.h"

class VRN_equationEvaluation : public VRN_nodeVal {
 public:
  VRN_equationEvaluation(VRN_network* network, int handle);
  ~VRN_equationEvaluation() override;

  VRN_nodeVal* Clone(VRN_network* target) const override;
  int GetType() const override;
  int AddIndexingParent(int handle) override;
  // The discretized belief (empty while the value holds samples).
  const VRN_matrix& GetValue() const override { return belief_; }
  VRN_matrix& GetMutableValue() override { return belief_; }
  // -2 without evidence.
  int GetContEvidence(double* out) const override;
  int SetEvidence(int outcome) override;
  // -4 for a value that is not finite; 0 without any notice when the same
  // value is already observed; else the network's check of the evidence.
  int SetContEvidence(double value) override;
  // -2 without evidence.
  int ClearEvidence() override;
  int ClearPropagatedEvidence() override;
  int SetPropagatedContEvidence(double value) override;
  // -4 unless valid; interval mean / deviation of a discretized belief,
  // else those of the samples; -4 (*out set) for one that is not finite.
  int GetMean(double* out) const override;
  int GetStdDev(double* out) const override;
  void StoreEvidence(VRN_evidenceRecord& record) const override;

  // ---- Samples and statistics (over the finite samples).

  double GetSampleMean() const;
  double GetSampleStdDev() const;
  void GetSampleStats(double* mean, double* deviation, double* minimum,
                      double* maximum) const;
  // Counts of the finite samples in n equal bins over [lower, upper]; a
  // value equal to a bin's upper edge belongs to that bin, values outside go
  // to the outer bins. -4 invalid or discretized, -2 lower >= upper, -3
  // n < 2, -42 when n counts cannot be allocated.
  int GetHistogram(double lower, double upper, int n,
                   VRN_intArray* counts) const;
  const std::vector<double>& GetSamples() const { return samples_; }
  bool IsDiscretized() const { return !belief_.IsEmpty(); }
  double GetEvidenceValue() const { return evidence_; }

  // Evidence taken over from another value, without any notice.
  void AdoptEvidence(double value);

  // The sampler's operations.
  void ResetSamples(int capacity);
  void AppendSample(double value) { samples_.push_back(value); }
  // Computes the statistics; 0 and valid when the mean is finite, else -5.
  int FinishSampling();
  // One known value: no samples, mean = minimum = maximum = value, sd 0.
  void SetSingleValue(double value);

  // Takes over from's results, leaving from without them: the samples with
  // their statistics, or the single value, or the discretized belief, and
  // with them the validity of from. Evidence and the other flags stay.
  void TakeResultsFrom(VRN_equationEvaluation& from);

 private:
  // The definition's interval edges into `edges`; false unless they bound
  // the interval beliefs (one more edge than beliefs).
  bool BeliefEdges(std::vector<double>* edges) const;
  VRN_equationEvaluation(const VRN_equationEvaluation& other,
                         VRN_network* target);
  void ComputeStats() const;
  // Drops the equation children's tables when the node has no parents.
  void DropChildTables() const;

  double evidence_ = 0.0;
  std::vector<double> samples_;
  mutable double mean_ = 0.0;
  mutable double deviation_ = 0.0;
  mutable double minimum_ = 0.0;
  mutable double maximum_ = 0.0;
  mutable std::uint8_t stats_valid_ = 0;
  // A single known value stands for the samples.
  bool single_ = false;
  VRN_matrix belief_;
};

#endif  // QELTA_EQUATIONS_EQUATION_EVALUATION_H_
