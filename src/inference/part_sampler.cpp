// The adaptive importance samplers and loopy propagation, algorithm codes
// 7, 8 and 9 (see bn_routines.h).
//
// One driver splits the network into relevance parts and runs a callback
// on each part's sampling state: code 7 learns importance tables from
// weighted samples, code 8 takes them from loopy propagation of Pearl's
// messages with small probabilities raised to a cut-off, code 9 answers
// the propagated beliefs themselves. Codes 7 and 8 then draw the network's
// sample count of importance samples.
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_val.h"
#include "inference/bn_routines.h"
#include "inference/part_view.h"
#include "inference/relevance.h"
#include "inference/sampling.h"
#include "network/network.h"
#include "network/node.h"

// The working record of one node of a part.
struct VRN_partSamplerNode {
  int state = 0;
  std::vector<double> beliefSums;
  int outcomes = 0;
  int evidence = -1;
  bool evidenceAncestor = false;
  const double* table = nullptr;
  int tableSize = 0;
  std::vector<double> importance;   // the table's layout
  std::vector<double> accumulator;  // the table's layout
  std::vector<int> parents;         // positions in the part
  std::vector<int> parentStrides;   // in the table
  std::vector<int> children;        // positions in the part
  std::vector<int> slotAtChild;     // this node's place among each child's parents
  int configurations = 1;           // parent configurations
  // Loopy propagation.
  std::vector<double> indicator, lambda, pi, belief, previousBelief;
  std::vector<std::vector<double>> lambdaIn, lambdaNext;  // per child
  std::vector<std::vector<double>> piIn, piNext;          // per parent
  VRN_node* node = nullptr;

  // Normalises the received messages' rows (a row summing to 0 or less
  // becomes uniform).
  void NormalizeMessages();
};

namespace {

void NormalizeRow(std::vector<double>* row) {
  double sum = 0.0;
  for (double v : *row) sum += v;
  for (double& v : *row) v = sum > 0.0 ? v / sum : 1.0 / row->size();
}

// Raises every entry 0 < p < cutoff of a column to cutoff; the raised mass
// comes from the entries above the cut-off in proportion to their excess,
// so the column stays a distribution. When cutoff times the number of
// non-zero entries exceeds 1 the column becomes uniform over them.
void RaiseSmallEntries(double* column, int n, double cutoff) {
  int nonzero = 0;
  for (int k = 0; k < n; ++k) nonzero += column[k] > 0.0 ? 1 : 0;
  if (nonzero == 0) return;
  if (cutoff * nonzero > 1.0) {
    for (int k = 0; k < n; ++k) column[k] = column[k] > 0.0 ? 1.0 / nonzero : 0.0;
    return;
  }
  double deficit = 0.0, excess = 0.0;
  for (int k = 0; k < n; ++k) {
    if (column[k] > 0.0 && column[k] < cutoff) {
      deficit += cutoff - column[k];
    } else if (column[k] > cutoff) {
      excess += column[k] - cutoff;
    }
  }
  if (deficit == 0.0 || excess <= 0.0) return;
  const double share = std::min(1.0, deficit / excess);
  for (int k = 0; k < n; ++k) {
    if (column[k] > 0.0 && column[k] < cutoff) {
      column[k] = cutoff;
    } else if (column[k] > cutoff) {
      column[k] -= (column[k] - cutoff) * share;
    }
  }
}

}  // namespace

void VRN_partSamplerNode::NormalizeMessages() {
  for (auto& row : piIn) NormalizeRow(&row);
  for (auto& row : lambdaIn) NormalizeRow(&row);
}

// The sampling state of one part.
class VRN_partSampler {
 public:
  VRN_partSampler(VRN_relevancePart* part, VRN_network* network,
                  VRN_randomGenerator* generator)
      : part_(part), network_(network), generator_(generator) {}

  // Orders the part, builds the records and marks evidence ancestors;
  // false for a malformed part.
  bool Prepare();
  int SampleWithPeriodicTableUpdate();  // code 7
  int SampleWithLoopyImportance();      // code 8
  int LoopyBeliefPropagation();         // code 9
  // Leaves every value of the part without evidence invalid.
  void InvalidateValues();

 private:
  int ColumnStart(const VRN_partSamplerNode& r) const {
    int index = 0;
    for (size_t p = 0; p < r.parents.size(); ++p) {
      index += records_[r.parents[p]].state * r.parentStrides[p];
    }
    return index;
  }
  void ClearAccumulators();
  void ResetBeliefSums();
  void InitImportanceTable(int i, bool uniform);
  void ApplyEpsilonCutoff(int i);
  double DrawState(VRN_partSamplerNode* r);
  double DrawSample();
  void AccumulateWeights(double w);
  void UpdateImportanceTables();
  int SampleAndWriteBeliefs();
  void InitMessages();
  // Runs `iterations` synchronous rounds; false (code 9 only) when a
  // belief sums to 0.
  bool Propagate(int iterations, bool uniformOnZero);
  void WriteBeliefs();

  VRN_relevancePart* part_;
  VRN_network* network_;
  VRN_randomGenerator* generator_;
  std::vector<VRN_partSamplerNode> records_;
  double rate_ = 0.4;
  std::vector<int> odometer_;
  std::vector<double> products_;
};

bool VRN_partSampler::Prepare() {
  part_->SortTopologically();
  qelta::PartView view;
  if (view.Read(part_) != qelta::kOk) return false;
  const int n = view.size();
  records_.resize(n);
  size_t most_parents = 1;
  int most_configurations = 1;
  for (int i = 0; i < n; ++i) {
    VRN_partSamplerNode& r = records_[i];
    r.node = view.record(i)->GetNode();
    r.outcomes = view.outcomes(i);
    r.evidence = view.evidence(i);
    r.state = std::max(r.evidence, 0);
    r.table = view.table(i);
    r.tableSize = view.table_size(i);
    r.parents.assign(view.parents(i), view.parents(i) + view.parent_count(i));
    r.parentStrides.assign(view.strides(i), view.strides(i) + view.parent_count(i));
    r.configurations = r.tableSize / r.outcomes;
    r.importance.assign(r.table, r.table + r.tableSize);
    r.accumulator.assign(r.tableSize, 0.0);
    r.beliefSums.assign(r.outcomes, 0.0);
    most_parents = std::max(most_parents, r.parents.size());
    most_configurations = std::max(most_configurations, r.configurations);
  }
  for (int i = 0; i < n; ++i) {
    for (size_t p = 0; p < records_[i].parents.size(); ++p) {
      VRN_partSamplerNode& parent = records_[records_[i].parents[p]];
      parent.children.push_back(i);
      parent.slotAtChild.push_back(static_cast<int>(p));
    }
  }
  // Proper ancestors of observed records (parents precede children, so a
  // walk from the end reaches every ancestor).
  std::vector<bool> below_evidence(n, false);
  for (int i = n - 1; i >= 0; --i) {
    const bool reaches = records_[i].evidence >= 0 || below_evidence[i];
    if (!reaches) continue;
    for (int p : records_[i].parents) below_evidence[p] = true;
  }
  for (int i = 0; i < n; ++i) records_[i].evidenceAncestor = below_evidence[i];
  odometer_.assign(most_parents, 0);
  products_.assign(most_configurations, 1.0);
  return true;
}

void VRN_partSampler::InvalidateValues() {
  for (VRN_partSamplerNode& r : records_) {
    if (r.node != nullptr && !r.node->Value()->HasEvidence()) {
      r.node->Value()->Invalidate();
    }
  }
}

void VRN_partSampler::ClearAccumulators() {
  for (VRN_partSamplerNode& r : records_) {
    std::fill(r.accumulator.begin(), r.accumulator.end(), 0.0);
  }
}

void VRN_partSampler::ResetBeliefSums() {
  for (VRN_partSamplerNode& r : records_) {
    std::fill(r.beliefSums.begin(), r.beliefSums.end(), 0.0);
    if (r.evidence >= 0) r.beliefSums[r.evidence] = 1.0;
  }
}

void VRN_partSampler::InitImportanceTable(int i, bool uniform) {
  VRN_partSamplerNode& r = records_[i];
  if (!r.evidenceAncestor) return;
  const int n = r.outcomes;
  double threshold = 0.0;
  if (n <= 5) {
    threshold = 0.1;
  } else if (n <= 8) {
    threshold = 0.04;
  } else if (n <= 20) {
    threshold = 0.0025;
  } else {
    uniform = true;
  }
  for (int base = 0; base < r.tableSize; base += n) {
    double* column = r.importance.data() + base;
    for (int k = 0; k < n; ++k) column[k] = r.table[base + k];
    // A cut-off above 1 makes the column uniform over its non-zero entries.
    RaiseSmallEntries(column, n, uniform ? 2.0 : threshold);
  }
}

void VRN_partSampler::ApplyEpsilonCutoff(int i) {
  VRN_partSamplerNode& r = records_[i];
  if (!r.evidenceAncestor) return;
  const VRN_episParams& e = network_->GetEpisParams();
  const int n = r.outcomes;
  const double cutoff = n <= e.numstates1   ? e.eps1
                        : n <= e.numstates2 ? e.eps2
                        : n <= e.numstates3 ? e.eps3
                                            : e.eps4;
  for (int base = 0; base < r.tableSize; base += n) {
    RaiseSmallEntries(r.importance.data() + base, n, cutoff);
  }
}

double VRN_partSampler::DrawState(VRN_partSamplerNode* r) {
  const int start = ColumnStart(*r);
  const double* column = r->importance.data() + start;
  double u = generator_->NextDouble();
  if (u == 0.0) u += 1e-11;
  if (u == 1.0) u -= 1e-11;
  int state = -1;
  double running = 0.0;
  for (int k = 0; k < r->outcomes; ++k) {
    running += column[k];
    if (running >= u) {
      state = k;
      break;
    }
  }
  if (state < 0) {
    state = r->outcomes - 1;
    while (state > 0 && column[state] == 0.0) --state;
  }
  r->state = state;
  return column[state] > 0.0 ? r->table[start + state] / column[state] : 0.0;
}

double VRN_partSampler::DrawSample() {
  double w = 1.0;
  for (VRN_partSamplerNode& r : records_) {
    if (r.evidence < 0) {
      w *= DrawState(&r);
    } else {
      w *= r.table[ColumnStart(r) + r.evidence];
    }
    if (w == 0.0) break;
  }
  return w;
}

void VRN_partSampler::AccumulateWeights(double w) {
  if (!(w > 0.0)) return;
  for (VRN_partSamplerNode& r : records_) {
    if (r.evidence >= 0) continue;
    // The weights themselves estimate the posterior the importance tables
    // move towards; squared weights favour the likeliest states so much
    // that rare ones are almost never drawn and their beliefs come out far
    // too small.
    r.accumulator[ColumnStart(r) + r.state] += w;
  }
}

void VRN_partSampler::UpdateImportanceTables() {
  for (VRN_partSamplerNode& r : records_) {
    if (r.evidenceAncestor) {
      for (int base = 0; base < r.tableSize; base += r.outcomes) {
        double sum = 0.0;
        for (int k = 0; k < r.outcomes; ++k) sum += r.accumulator[base + k];
        if (sum == 0.0) continue;
        for (int k = 0; k < r.outcomes; ++k) {
          double& q = r.importance[base + k];
          q = rate_ * r.accumulator[base + k] / sum + (1.0 - rate_) * q;
        }
      }
    }
    std::fill(r.accumulator.begin(), r.accumulator.end(), 0.0);
  }
  rate_ *= 0.9;
}

int VRN_partSampler::SampleAndWriteBeliefs() {
  ClearAccumulators();
  ResetBeliefSums();
  const int n = network_->GetNumberOfSamples();
  for (int s = 0; s < n; ++s) {
    const double w = DrawSample();
    if (!(w > 0.0)) continue;
    for (VRN_partSamplerNode& r : records_) {
      if (r.evidence < 0) r.beliefSums[r.state] += w;
    }
  }
  // Every record is checked before any value is written, so a failing part
  // leaves all its values invalid.
  for (VRN_partSamplerNode& r : records_) {
    double sum = 0.0;
    for (double v : r.beliefSums) sum += v;
    if (!(sum > 0.0)) return qelta::kErrNoUsefulSamples;
    for (double& v : r.beliefSums) v /= sum;
  }
  WriteBeliefs();
  return qelta::kOk;
}

void VRN_partSampler::WriteBeliefs() {
  for (int i = 0; i < static_cast<int>(records_.size()); ++i) {
    VRN_partSamplerNode& r = records_[i];
    if (r.node == nullptr) continue;  // auxiliary: no belief
    if (part_->GetRecord(i)->PrepareBeliefs(r.outcomes) != qelta::kOk) continue;
    VRN_nodeVal* value = r.node->Value();
    double* out = value->GetMutableValue().GetItems().Items();
    for (int k = 0; k < r.outcomes; ++k) out[k] = r.beliefSums[k];
    value->AddFlags(qelta::kValFlagValid);
    value->SetUpdateTag(0);
  }
}

int VRN_partSampler::SampleWithPeriodicTableUpdate() {
  rate_ = 0.4;
  ClearAccumulators();
  ResetBeliefSums();
  const int n = static_cast<int>(records_.size());
  for (int i = 0; i < n; ++i) {
    if (records_[i].evidence < 0) InitImportanceTable(i, false);
  }
  for (int i = 0; i < n; ++i) {
    if (records_[i].evidence < 0) continue;
    for (int p : records_[i].parents) InitImportanceTable(p, true);
  }
  for (int iteration = 1; iteration <= 25000; ++iteration) {
    AccumulateWeights(DrawSample());
    if (iteration % 2500 == 0) UpdateImportanceTables();
  }
  return SampleAndWriteBeliefs();
}

// ------------------------------------------------------ loopy propagation

void VRN_partSampler::InitMessages() {
  ClearAccumulators();
  ResetBeliefSums();
  for (VRN_partSamplerNode& r : records_) {
    r.indicator.assign(r.outcomes, r.evidence >= 0 ? 0.0 : 1.0);
    if (r.evidence >= 0) r.indicator[r.evidence] = 1.0;
    r.lambda.assign(r.outcomes, 1.0);
    r.pi.assign(r.outcomes, 1.0);
    r.belief.assign(r.outcomes, 0.0);
    r.previousBelief.assign(r.outcomes, 0.0);
    r.lambdaIn.assign(r.children.size(), std::vector<double>(r.outcomes, 1.0));
    r.lambdaNext = r.lambdaIn;
    r.piIn.clear();
    for (int p : r.parents) r.piIn.emplace_back(records_[p].outcomes, 1.0);
    r.piNext = r.piIn;
  }
}

bool VRN_partSampler::Propagate(int iterations, bool uniformOnZero) {
  for (int round = 0; round < iterations; ++round) {
    for (int xi = 0; xi < static_cast<int>(records_.size()); ++xi) {
      VRN_partSamplerNode& x = records_[xi];
      const int k = x.outcomes;
      const int m = static_cast<int>(x.parents.size());
      x.NormalizeMessages();
      x.lambda = x.indicator;
      if (x.evidence < 0) {
        for (const auto& message : x.lambdaIn) {
          for (int s = 0; s < k; ++s) x.lambda[s] *= message[s];
        }
      }
      // Parent-configuration products, parents' odometer last fastest.
      std::fill(odometer_.begin(), odometer_.begin() + m, 0);
      for (int c = 0; c < x.configurations; ++c) {
        double product = 1.0;
        for (int p = 0; p < m; ++p) product *= x.piIn[p][odometer_[p]];
        products_[c] = product;
        for (int p = m - 1; p >= 0; --p) {
          if (++odometer_[p] < records_[x.parents[p]].outcomes) break;
          odometer_[p] = 0;
        }
      }
      std::fill(x.pi.begin(), x.pi.end(), 0.0);
      for (int c = 0; c < x.configurations; ++c) {
        for (int s = 0; s < k; ++s) x.pi[s] += x.table[c * k + s] * products_[c];
      }
      double sum = 0.0;
      for (int s = 0; s < k; ++s) sum += x.belief[s] = x.pi[s] * x.lambda[s];
      if (!(sum > 0.0)) {
        if (!uniformOnZero) return false;
        std::fill(x.belief.begin(), x.belief.end(), 1.0 / k);
      } else {
        for (double& b : x.belief) b /= sum;
      }
      // To each unobserved parent: the product of the other parents'
      // messages, without dividing by the one left out.
      for (int q = 0; q < m; ++q) {
        VRN_partSamplerNode& parent = records_[x.parents[q]];
        if (parent.evidence >= 0) continue;
        int slot = 0;
        while (parent.children[slot] != xi || parent.slotAtChild[slot] != q) ++slot;
        std::vector<double>& out = parent.lambdaNext[slot];
        std::fill(out.begin(), out.end(), 0.0);
        std::fill(odometer_.begin(), odometer_.begin() + m, 0);
        for (int c = 0; c < x.configurations; ++c) {
          double others = 1.0;
          for (int p = 0; p < m; ++p) {
            if (p != q) others *= x.piIn[p][odometer_[p]];
          }
          if (others != 0.0) {
            double s = 0.0;
            for (int o = 0; o < k; ++o) s += x.lambda[o] * x.table[c * k + o];
            out[odometer_[q]] += s * others;
          }
          for (int p = m - 1; p >= 0; --p) {
            if (++odometer_[p] < records_[x.parents[p]].outcomes) break;
            odometer_[p] = 0;
          }
        }
      }
      // To each child: pi times the evidence and every other child's
      // message.
      for (size_t c = 0; c < x.children.size(); ++c) {
        std::vector<double>& out =
            records_[x.children[c]].piNext[x.slotAtChild[c]];
        for (int s = 0; s < k; ++s) {
          double v = x.pi[s] * x.indicator[s];
          for (size_t o = 0; o < x.children.size(); ++o) {
            if (o != c) v *= x.lambdaIn[o][s];
          }
          out[s] = v;
        }
      }
    }
    for (VRN_partSamplerNode& r : records_) {
      r.lambdaIn.swap(r.lambdaNext);
      r.piIn.swap(r.piNext);
      for (auto& row : r.lambdaNext) std::fill(row.begin(), row.end(), 1.0);
      for (auto& row : r.piNext) std::fill(row.begin(), row.end(), 1.0);
      r.previousBelief.swap(r.belief);
      std::fill(r.belief.begin(), r.belief.end(), 0.0);
    }
  }
  return true;
}

int VRN_partSampler::LoopyBeliefPropagation() {
  InitMessages();
  if (!Propagate(network_->GetEpisParams().proplen, false)) {
    return qelta::kErrEvidenceConflict;
  }
  for (VRN_partSamplerNode& r : records_) {
    r.beliefSums = r.previousBelief;
    double sum = 0.0;
    for (double v : r.beliefSums) sum += v;
    if (!(sum > 0.0)) return qelta::kErrEvidenceConflict;
    for (double& v : r.beliefSums) v /= sum;
  }
  WriteBeliefs();
  return qelta::kOk;
}

int VRN_partSampler::SampleWithLoopyImportance() {
  InitMessages();
  const int iterations = std::min(network_->GetLongestPathLength(),
                                  network_->GetEpisParams().proplen);
  (void)Propagate(iterations, true);
  for (int i = 0; i < static_cast<int>(records_.size()); ++i) {
    VRN_partSamplerNode& r = records_[i];
    r.NormalizeMessages();
    r.lambda = r.indicator;
    if (r.evidence < 0) {
      for (const auto& message : r.lambdaIn) {
        for (int s = 0; s < r.outcomes; ++s) r.lambda[s] *= message[s];
      }
    }
    for (int base = 0; base < r.tableSize; base += r.outcomes) {
      double sum = 0.0;
      for (int s = 0; s < r.outcomes; ++s) {
        sum += r.importance[base + s] = r.table[base + s] * r.lambda[s];
      }
      for (int s = 0; s < r.outcomes; ++s) {
        double& q = r.importance[base + s];
        q = sum > 0.0 ? q / sum : 1.0 / r.outcomes;
      }
    }
    if (r.evidence < 0) ApplyEpsilonCutoff(i);
  }
  return SampleAndWriteBeliefs();
}

namespace {

using Callback = int (VRN_partSampler::*)();

int RunPartSampler(VRN_network* network, Callback callback) {
  (void)network->InvalidateValues();
  VRN_randomGenerator* generator = network->GetRandomGenerator();
  network->ReseedRandomGenerator();
  try {
    std::unique_ptr<VRN_relevanceParts> parts(
        VRN_RelevanceDecompose(network, qelta::kRelevanceForOthers));
    if (parts == nullptr) return qelta::kOk;
    bool failed = !parts->GetImpossibleEvidence().IsEmpty();
    for (int i = 0; i < parts->GetSize() && !failed; ++i) {
      VRN_partSampler sampler(parts->GetPart(i), network, generator);
      if (!sampler.Prepare() || (sampler.*callback)() < 0) {
        sampler.InvalidateValues();
        failed = true;
      }
      parts->DestroyPart(i);
    }
    if (failed) {
      return network->ErrorLog()->LogError(qelta::kErrNoUsefulSamples,
                                           qelta::kNoUsefulSamples);
    }
  } catch (const std::bad_alloc&) {
    return qelta::kErrOutOfMemory;
  }
  return qelta::kOk;
}

}  // namespace

int VRN_UpdateSampling7(VRN_network* network) {
  return RunPartSampler(network, &VRN_partSampler::SampleWithPeriodicTableUpdate);
}

int VRN_UpdateSampling8(VRN_network* network) {
  return RunPartSampler(network, &VRN_partSampler::SampleWithLoopyImportance);
}

int VRN_UpdateSampling9(VRN_network* network) {
  return RunPartSampler(network, &VRN_partSampler::LoopyBeliefPropagation);
}
