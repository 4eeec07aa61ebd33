// The forward samplers, algorithm codes 1, 3, 4, 5 and 6 (see sampling.h
// and bn_routines.h).
#include "inference/sampling.h"

#include <algorithm>
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
#include "network/network.h"
#include "network/node.h"

namespace qelta {

extern const char* const kNoUsefulSamples =
    "No useful samples have been generated for some of nodes.";

}  // namespace qelta

void VRN_RemoveSingleNodeParts(VRN_relevanceParts* parts) {
  for (int i = 0; i < parts->GetSize();) {
    VRN_relevancePart* part = parts->GetPart(i);
    if (part->GetSize() == 1) {
      (void)part->GetRecord(0)->CopyTableToBeliefs();
      parts->RemovePart(i);
    } else {
      ++i;
    }
  }
}

std::vector<VRN_sampleRecord> VRN_BuildSampleRecords(VRN_relevancePart* part) {
  qelta::PartView view;
  std::vector<VRN_sampleRecord> records;
  if (view.Read(part) != qelta::kOk) return records;
  records.resize(view.size());
  for (int i = 0; i < view.size(); ++i) {
    VRN_sampleRecord& r = records[i];
    r.node = view.record(i)->GetNode();
    r.outcomes = view.outcomes(i);
    r.evidence = view.evidence(i);
    r.table = view.table(i);
    r.tableSize = view.table_size(i);
    r.parentCount = view.parent_count(i);
    r.parentPositions.assign(view.parents(i), view.parents(i) + r.parentCount);
    r.parentStrides.assign(view.strides(i), view.strides(i) + r.parentCount);
    r.sums.assign(r.outcomes, 0.0);
  }
  return records;
}

double VRN_NormalizeArray(double* values, int n, double sum) {
  if (sum == 0.0) {
    for (int i = 0; i < n; ++i) sum += values[i];
  }
  if (sum != 0.0) {
    for (int i = 0; i < n; ++i) values[i] /= sum;
  }
  return sum;
}

namespace {

constexpr int kBackwardsMark = 20;
constexpr int kTableUpdatePeriod = 100;

// Normalises every column (own outcomes) of a table laid out with the own
// dimension last; a column summing to 0 becomes uniform.
void NormalizeColumns(std::vector<double>* table, int outcomes) {
  for (size_t base = 0; base < table->size(); base += outcomes) {
    double* column = table->data() + base;
    double sum = 0.0;
    for (int k = 0; k < outcomes; ++k) sum += column[k];
    for (int k = 0; k < outcomes; ++k) {
      column[k] = sum > 0.0 ? column[k] / sum : 1.0 / outcomes;
    }
  }
}

// The sampling state of one part.
class PartSampling {
 public:
  PartSampling(VRN_relevancePart* part, int code) : part_(part), code_(code) {}

  // Orders the part and builds its records; false when it is malformed.
  bool Prepare();
  void DrawRejection(VRN_randomGenerator* generator);
  void DrawWeighted(VRN_randomGenerator* generator);
  void DrawImportance(VRN_randomGenerator* generator, int iteration);
  void DrawEvidenceParents(VRN_randomGenerator* generator);
  // Writes the beliefs; kErrNoUsefulSamples (values without evidence
  // invalid) when no sample counted.
  int Finish(VRN_network* network);

 private:
  int ColumnStart(const VRN_sampleRecord& r) const {
    int index = 0;
    for (int p = 0; p < r.parentCount; ++p) {
      index += records_[r.parentPositions[p]].state * r.parentStrides[p];
    }
    return index;
  }
  static int DrawFrom(const double* column, int outcomes, double u) {
    double running = 0.0;
    for (int k = 0; k < outcomes; ++k) {
      running += column[k];
      if (running > u) return k;
    }
    return outcomes - 1;
  }
  void Accept(double weight) {
    total_ += weight;
    for (VRN_sampleRecord& r : records_) r.sums[r.state] += weight;
  }

  VRN_relevancePart* part_;
  const int code_;
  std::vector<VRN_sampleRecord> records_;
  double total_ = 0.0;
  // Code 6: the backwards slice and the undrawn parents it ranges over.
  std::vector<double> slice_;
  std::vector<int> undrawn_;
  std::vector<int> odometer_;
};

bool PartSampling::Prepare() {
  if (code_ == 1) {
    part_->SortTopologicallyEvidenceFirst();
  } else {
    part_->SortTopologically();
  }
  records_ = VRN_BuildSampleRecords(part_);
  if (records_.empty()) return false;
  size_t largest = 1, most_parents = 1;
  for (VRN_sampleRecord& r : records_) {
    if (code_ == 4) {
      r.samplingTable.assign(r.table, r.table + r.tableSize);
      r.accumulated.assign(r.tableSize, 0.0);
    }
    largest = std::max(largest, static_cast<size_t>(r.tableSize));
    most_parents = std::max(most_parents, static_cast<size_t>(r.parentCount));
  }
  if (code_ == 6) {
    slice_.assign(largest, 0.0);
    undrawn_.assign(most_parents, 0);
    odometer_.assign(most_parents, 0);
  }
  return true;
}

void PartSampling::DrawRejection(VRN_randomGenerator* generator) {
  for (VRN_sampleRecord& r : records_) {
    r.state = DrawFrom(r.table + ColumnStart(r), r.outcomes,
                       generator->NextDouble());
    if (r.evidence >= 0 && r.state != r.evidence) return;
  }
  Accept(1.0);
}

void PartSampling::DrawWeighted(VRN_randomGenerator* generator) {
  double w = 1.0;
  for (VRN_sampleRecord& r : records_) {
    const double* column = r.table + ColumnStart(r);
    if (r.evidence < 0) {
      r.state = DrawFrom(column, r.outcomes, generator->NextDouble());
    } else {
      r.state = r.evidence;
      w *= column[r.evidence];
      if (w == 0.0) return;
    }
  }
  Accept(w);
}

void PartSampling::DrawImportance(VRN_randomGenerator* generator,
                                  int iteration) {
  double ratio = 1.0, evidence = 1.0;
  for (VRN_sampleRecord& r : records_) {
    const int start = ColumnStart(r);
    if (r.evidence < 0) {
      const double* column = r.samplingTable.data() + start;
      r.state = DrawFrom(column, r.outcomes, generator->NextDouble());
      const double q = column[r.state];
      if (q != 0.0) ratio *= r.table[start + r.state] / q;
      if (ratio == 0.0) return;
    } else {
      r.state = r.evidence;
      evidence *= r.table[start + r.evidence];
      if (evidence == 0.0) return;
    }
  }
  const double w = ratio * evidence;
  Accept(w);
  for (VRN_sampleRecord& r : records_) {
    r.accumulated[ColumnStart(r) + r.state] += w;
  }
  if (iteration > 0 && iteration % kTableUpdatePeriod == 0) {
    for (VRN_sampleRecord& r : records_) {
      NormalizeColumns(&r.accumulated, r.outcomes);
      for (int i = 0; i < r.tableSize; ++i) {
        r.samplingTable[i] = r.accumulated[i] + r.table[i];
      }
      NormalizeColumns(&r.samplingTable, r.outcomes);
    }
  }
}

void PartSampling::DrawEvidenceParents(VRN_randomGenerator* generator) {
  for (VRN_sampleRecord& r : records_) {
    r.mark = 0;
    r.state = r.evidence;
  }
  double w = 1.0;
  for (VRN_sampleRecord& observed : records_) {
    if (observed.evidence < 0 || observed.parentCount == 0 ||
        observed.mark != 0) {
      continue;
    }
    // Backwards along the chain of first parents.
    for (VRN_sampleRecord* r = &observed; r != nullptr;) {
      if (r->state < 0) break;  // nothing to condition on
      int undrawn = 0;
      int base = r->state;
      for (int p = 0; p < r->parentCount; ++p) {
        const int s = records_[r->parentPositions[p]].state;
        if (s < 0) {
          undrawn_[undrawn++] = p;
        } else {
          base += s * r->parentStrides[p];
        }
      }
      if (undrawn > 0) {
        r->mark = kBackwardsMark;
        // The table at the drawn states over the undrawn parents' joint
        // configurations, last fastest.
        int cells = 0;
        std::fill(odometer_.begin(), odometer_.begin() + undrawn, 0);
        for (int index = base;;) {
          slice_[cells++] = r->table[index];
          int q = undrawn - 1;
          for (; q >= 0; --q) {
            const int p = undrawn_[q];
            index += r->parentStrides[p];
            if (++odometer_[q] < records_[r->parentPositions[p]].outcomes) break;
            index -= r->parentStrides[p] * odometer_[q];
            odometer_[q] = 0;
          }
          if (q < 0) break;
        }
        const double s = VRN_NormalizeArray(slice_.data(), cells, 0.0);
        w *= s;
        if (w == 0.0) return;
        const double u = generator->NextDouble();
        double running = 0.0;
        for (int c = 0; c < cells; ++c) {
          running += slice_[c];
          if (running > u) {
            for (int q = undrawn - 1, rest = c; q >= 0; --q) {
              VRN_sampleRecord& parent = records_[r->parentPositions[undrawn_[q]]];
              parent.state = rest % parent.outcomes;
              rest /= parent.outcomes;
            }
            break;
          }
        }
      }
      VRN_sampleRecord* next = nullptr;
      if (r->parentCount > 0 && records_[r->parentPositions[0]].mark == 0) {
        next = &records_[r->parentPositions[0]];
        if (next == &observed) next = nullptr;
      }
      r = next;
    }
  }
  for (VRN_sampleRecord& r : records_) {
    const double* column = r.table + ColumnStart(r);
    if (r.state < 0) {
      r.state = DrawFrom(column, r.outcomes, generator->NextDouble());
    } else if (r.mark == 0) {
      w *= column[r.state];
      if (w == 0.0) return;
    }
  }
  Accept(w);
}

int PartSampling::Finish(VRN_network* network) {
  if (!(total_ > 0.0)) {
    for (VRN_sampleRecord& r : records_) {
      if (r.node != nullptr && !r.node->Value()->HasEvidence()) {
        r.node->Value()->Invalidate();
      }
    }
    return network->ErrorLog()->LogError(qelta::kErrNoUsefulSamples,
                                         qelta::kNoUsefulSamples);
  }
  for (int i = 0; i < static_cast<int>(records_.size()); ++i) {
    VRN_sampleRecord& r = records_[i];
    if (r.node == nullptr) continue;  // auxiliary: no belief
    if (part_->GetRecord(i)->PrepareBeliefs(r.outcomes) != qelta::kOk) continue;
    VRN_nodeVal* value = r.node->Value();
    double* out = value->GetMutableValue().GetItems().Items();
    for (int k = 0; k < r.outcomes; ++k) out[k] = r.sums[k] / total_;
    value->AddFlags(qelta::kValFlagValid);
    value->SetUpdateTag(0);
  }
  return qelta::kOk;
}

// The frame of codes 1, 3 to 6.
int RunForwardSampler(VRN_network* network, int code) {
  std::unique_ptr<VRN_relevanceParts> parts;
  int status = qelta::kOk;
  try {
    parts.reset(VRN_RelevanceDecompose(network, qelta::kRelevanceForOthers));
    if (parts == nullptr) return qelta::kOk;
    if (!parts->GetImpossibleEvidence().IsEmpty()) {
      // Evidence answered on the spot that no sample could ever match.
      status = network->ErrorLog()->LogError(qelta::kErrNoUsefulSamples,
                                             qelta::kNoUsefulSamples);
    }
    VRN_RemoveSingleNodeParts(parts.get());
    const int n = network->GetNumberOfSamples();
    std::vector<std::unique_ptr<PartSampling>> states;
    for (int i = 0; i < parts->GetSize(); ++i) {
      states.push_back(std::make_unique<PartSampling>(parts->GetPart(i), code));
      if (!states.back()->Prepare()) return qelta::kErrOutOfRange;
    }
    VRN_randomGenerator* generator = network->GetRandomGenerator();
    network->ReseedRandomGenerator();
    if (code == 6) {
      for (auto& s : states) {
        for (int k = 0; k < n; ++k) s->DrawEvidenceParents(generator);
      }
    } else {
      for (int k = 0; k < n; ++k) {
        for (auto& s : states) {
          if (code == 1) {
            s->DrawRejection(generator);
          } else if (code == 4) {
            s->DrawImportance(generator, k);
          } else {
            s->DrawWeighted(generator);
          }
        }
      }
    }
    for (int i = 0; i < parts->GetSize(); ++i) {
      const int rc = states[i]->Finish(network);
      if (rc != qelta::kOk) status = rc;
      states[i].reset();
      parts->DestroyPart(i);
    }
  } catch (const std::bad_alloc&) {
    return qelta::kErrOutOfMemory;
  }
  return status;
}

}  // namespace

int VRN_UpdateRejectionSampling(VRN_network* network) {
  return RunForwardSampler(network, 1);
}

int VRN_UpdateEvidenceWeightedSampling(VRN_network* network) {
  return RunForwardSampler(network, 3);
}

int VRN_UpdateImportanceSampling(VRN_network* network) {
  return RunForwardSampler(network, 4);
}

int VRN_UpdateEvidenceParentSampling(VRN_network* network) {
  return RunForwardSampler(network, 6);
}
