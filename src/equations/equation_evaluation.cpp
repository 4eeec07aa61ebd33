// VRN_equationEvaluation: evidence, samples, statistics and histogram of an
// equation node's value.
#include "equations/equation_evaluation.h"

#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "base/intervals.h"
#include "base/special_values.h"
#include "base/status.h"
#include "equations/equation.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"

namespace {
constexpr int kEvidenceBits = qelta::kValFlagEvidence | qelta::kValFlagPropagated;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct RunningStats {
  double mean = 0.0;
  double m2 = 0.0;  // sum of squared deviations from the mean
  double lo = 0.0;
  double hi = 0.0;
  long long k = 0;
};

// Welford's running statistics of the finite samples, each scaled by
// 2^-exponent (exactly, as a power of two).
RunningStats Accumulate(const std::vector<double>& samples, int exponent) {
  RunningStats s;
  for (double sample : samples) {
    if (!VRN_IsFiniteValue(sample)) continue;
    const double x = exponent == 0 ? sample : std::ldexp(sample, -exponent);
    ++s.k;
    if (s.k == 1) {
      s.mean = s.lo = s.hi = x;
      continue;
    }
    const double d = x - s.mean;
    s.mean += d / static_cast<double>(s.k);
    s.m2 += d * (x - s.mean);
    if (x < s.lo) s.lo = x;
    if (x > s.hi) s.hi = x;
  }
  return s;
}

// A mean or deviation beyond the doubles is no answer.
int FiniteOrRefused(double v) {
  return std::isfinite(v) ? qelta::kOk : qelta::kErrInvalidValue;
}
}  // namespace

VRN_equationEvaluation::VRN_equationEvaluation(VRN_network* network,
                                               int handle)
    : VRN_nodeVal(network, handle) {}

VRN_equationEvaluation::VRN_equationEvaluation(
    const VRN_equationEvaluation& other, VRN_network* target)
    : VRN_nodeVal(other, target),
      evidence_(other.evidence_),
      samples_(other.samples_),
      mean_(other.mean_),
      deviation_(other.deviation_),
      minimum_(other.minimum_),
      maximum_(other.maximum_),
      stats_valid_(other.stats_valid_),
      single_(other.single_),
      belief_(other.belief_) {}

VRN_equationEvaluation::~VRN_equationEvaluation() = default;

VRN_nodeVal* VRN_equationEvaluation::Clone(VRN_network* target) const {
  return new VRN_equationEvaluation(*this, target);
}

int VRN_equationEvaluation::GetType() const {
  return qelta::kValEquationEvaluation;
}

int VRN_equationEvaluation::AddIndexingParent(int) {
  return qelta::kErrWrongNodeType;
}

int VRN_equationEvaluation::GetContEvidence(double* out) const {
  if (!HasFlags(kEvidenceBits)) return qelta::kErrOutOfRange;
  *out = evidence_;
  return qelta::kOk;
}

int VRN_equationEvaluation::SetEvidence(int outcome) {
  return SetContEvidence(static_cast<double>(outcome));
}

void VRN_equationEvaluation::DropChildTables() const {
  VRN_node* node = GetNetwork() != nullptr ? GetNetwork()->GetNode(GetHandle())
                                           : nullptr;
  if (node == nullptr || node->Parents().GetSize() != 0) return;
  auto* definition = dynamic_cast<VRN_equation*>(node->Definition());
  if (definition != nullptr) definition->DropChildDiscretizations();
}

int VRN_equationEvaluation::SetContEvidence(double value) {
  // A value no sample could take would poison every mean downstream.
  if (!VRN_IsFiniteValue(value)) return qelta::kErrInvalidValue;
  if (HasFlags(kEvidenceBits) && evidence_ == value) return qelta::kOk;
  VRN_autoUpdateGuard guard(GetNetwork());
  ClearFlags(qelta::kValFlagPropagated);
  AddFlags(qelta::kValFlagEvidence);
  evidence_ = value;
  DropChildTables();
  // The value now is the observation, never earlier samples.
  SetSingleValue(value);
  if (GetNetwork() == nullptr) return qelta::kOk;
  return GetNetwork()->CheckImpossibleEvidence(GetHandle());
}

int VRN_equationEvaluation::ClearEvidence() {
  if (!HasFlags(kEvidenceBits)) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(GetNetwork());
  DropChildTables();
  ClearFlags(kEvidenceBits | qelta::kValFlagValid);
  if (GetNetwork() == nullptr) return qelta::kOk;
  return GetNetwork()->OnNodeValueChange(GetHandle());
}

int VRN_equationEvaluation::ClearPropagatedEvidence() {
  if (!HasFlags(qelta::kValFlagPropagated)) return qelta::kErrOutOfRange;
  ClearFlags(qelta::kValFlagEvidence | qelta::kValFlagValid |
             qelta::kValFlagPropagated);
  return qelta::kOk;
}

int VRN_equationEvaluation::SetPropagatedContEvidence(double value) {
  AddFlags(qelta::kValFlagEvidence | qelta::kValFlagValid |
           qelta::kValFlagPropagated);
  evidence_ = value;
  return qelta::kOk;
}

void VRN_equationEvaluation::AdoptEvidence(double value) {
  AddFlags(qelta::kValFlagEvidence);
  evidence_ = value;
}

bool VRN_equationEvaluation::BeliefEdges(std::vector<double>* edges) const {
  const VRN_equation* definition =
      dynamic_cast<const VRN_equation*>(GetOwnDefinition());
  if (definition != nullptr) definition->GetIntervalEdges(edges);
  return static_cast<int>(edges->size()) == belief_.GetItemCount() + 1;
}

int VRN_equationEvaluation::GetMean(double* out) const {
  if (!IsValueValid()) return qelta::kErrInvalidValue;
  // An observed node is its observation, whatever an algorithm wrote.
  if (HasFlags(kEvidenceBits)) {
    *out = evidence_;
    return qelta::kOk;
  }
  if (!belief_.IsEmpty()) {
    std::vector<double> edges;
    if (!BeliefEdges(&edges)) return qelta::kErrInvalidValue;
    const int n = belief_.GetItemCount();
    *out = VRN_IntervalsMean(n, edges.data(), belief_.GetItems().Items());
    return FiniteOrRefused(*out);
  }
  *out = GetSampleMean();
  return FiniteOrRefused(*out);
}

int VRN_equationEvaluation::GetStdDev(double* out) const {
  if (!IsValueValid()) return qelta::kErrInvalidValue;
  if (HasFlags(kEvidenceBits)) {
    *out = 0.0;
    return qelta::kOk;
  }
  if (!belief_.IsEmpty()) {
    std::vector<double> edges;
    if (!BeliefEdges(&edges)) return qelta::kErrInvalidValue;
    const int n = belief_.GetItemCount();
    *out = VRN_IntervalsStdDev(n, edges.data(), belief_.GetItems().Items());
    return FiniteOrRefused(*out);
  }
  *out = GetSampleStdDev();
  return FiniteOrRefused(*out);
}

void VRN_equationEvaluation::StoreEvidence(VRN_evidenceRecord& record) const {
  if (!HasFlags(kEvidenceBits)) return;
  record.kind = qelta::kEvidenceOutcomeAndValue;
  record.value = evidence_;
}

void VRN_equationEvaluation::ComputeStats() const {
  if (stats_valid_ != 0) return;
  stats_valid_ = 1;
  if (single_) return;
  RunningStats s = Accumulate(samples_, 0);
  if (s.k == 0) {
    mean_ = deviation_ = minimum_ = maximum_ = kNaN;
    return;
  }
  minimum_ = s.lo;
  maximum_ = s.hi;
  int exponent = 0;
  (void)std::frexp(std::fmax(-s.lo, s.hi), &exponent);
  if (!std::isfinite(s.mean) || !std::isfinite(s.m2) ||
      exponent < qelta::kTinySquareExponent) {
    // Differences or their squares beyond the doubles (samples past 1e154)
    // or below their normal range (samples under 1e-151): the same sums
    // over samples scaled below 1, scaled back.
    s = Accumulate(samples_, exponent);
  } else {
    exponent = 0;
  }
  mean_ = std::ldexp(s.mean, exponent);
  deviation_ = s.k >= 2
                   ? std::ldexp(std::sqrt(s.m2 / static_cast<double>(s.k - 1)), exponent)
                   : 0.0;
}

double VRN_equationEvaluation::GetSampleMean() const {
  ComputeStats();
  return mean_;
}

double VRN_equationEvaluation::GetSampleStdDev() const {
  ComputeStats();
  return deviation_;
}

void VRN_equationEvaluation::GetSampleStats(double* mean, double* deviation,
                                            double* minimum,
                                            double* maximum) const {
  ComputeStats();
  *mean = mean_;
  *deviation = deviation_;
  *minimum = minimum_;
  *maximum = maximum_;
}

int VRN_equationEvaluation::GetHistogram(double lower, double upper, int n,
                                         VRN_intArray* counts) const {
  if (!IsValueValid() || !belief_.IsEmpty()) return qelta::kErrInvalidValue;
  if (!(lower < upper)) return qelta::kErrOutOfRange;
  if (n < 2) return qelta::kErrNoItem;
  try {
    if (counts->SetSize(n) != qelta::kOk) return qelta::kErrOutOfMemory;
  } catch (const std::bad_alloc&) {
    return qelta::kErrOutOfMemory;
  }
  // Edges are computed as written, (k + 1) * (upper - lower) / n, so that
  // a value at a whole-number edge lands in the bin the edge closes; a
  // guess from the scaled position is then moved to the first edge >= x.
  const double span = upper - lower;
  auto edge = [&](int k) {
    return lower + static_cast<double>(k + 1) * span / n;
  };
  auto add = [&](double x) {
    int bin = n - 1;
    if (!std::isnan(x)) {
      const double guess = (x - lower) / span * n;
      bin = guess > 0.0 ? (guess < n - 1 ? static_cast<int>(guess) : n - 1)
                        : 0;
      while (bin > 0 && edge(bin - 1) >= x) --bin;
      while (bin < n - 1 && edge(bin) < x) ++bin;
    }
    ++(*counts)[bin];
  };
  if (single_) {
    add(mean_);
    return qelta::kOk;
  }
  for (double x : samples_) {
    if (VRN_IsFiniteValue(x)) add(x);
  }
  return qelta::kOk;
}

void VRN_equationEvaluation::ResetSamples(int capacity) {
  belief_.Clean();
  samples_.clear();
  samples_.reserve(static_cast<size_t>(capacity > 0 ? capacity : 0));
  single_ = false;
  ClearFlags(qelta::kValFlagValid);
  stats_valid_ = 0;
}

int VRN_equationEvaluation::FinishSampling() {
  stats_valid_ = 0;
  ComputeStats();
  if (VRN_IsFiniteValue(mean_)) {
    AddFlags(qelta::kValFlagValid);
    return qelta::kOk;
  }
  ClearFlags(qelta::kValFlagValid);
  return qelta::kErrNoUsefulSamples;
}

void VRN_equationEvaluation::SetSingleValue(double value) {
  samples_.clear();
  belief_.Clean();
  single_ = true;
  mean_ = minimum_ = maximum_ = value;
  deviation_ = 0.0;
  stats_valid_ = 1;
  AddFlags(qelta::kValFlagValid);
}

void VRN_equationEvaluation::TakeResultsFrom(VRN_equationEvaluation& from) {
  samples_ = std::move(from.samples_);
  from.samples_.clear();
  belief_ = from.belief_;
  from.belief_.Clean();
  mean_ = from.mean_;
  deviation_ = from.deviation_;
  minimum_ = from.minimum_;
  maximum_ = from.maximum_;
  stats_valid_ = from.stats_valid_;
  single_ = from.single_;
  from.stats_valid_ = 0;
  from.single_ = false;
  if (from.IsValueValid()) {
    AddFlags(qelta::kValFlagValid);
  } else {
    ClearFlags(qelta::kValFlagValid);
  }
}
