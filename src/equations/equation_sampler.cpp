// Forward sampling of networks with equation nodes.
#include "equations/equation_sampler.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/error_log.h"
#include "base/random.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "equations/equation.h"
#include "equations/equation_binder.h"
#include "equations/equation_evaluation.h"
#include "equations/expression_visitor.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// One node's part in the draws, in topological order.
struct Record {
  int handle = -1;
  VRN_node* node = nullptr;
  VRN_equation* equation = nullptr;       // null for a discrete node
  const VRN_discDef* discrete = nullptr;  // null for an equation node
  VRN_equationEvaluation* evaluation = nullptr;
  const VRN_expression* solved = nullptr;
  int slot = -1;
  bool fixed = false;
  bool has_discrete_child = false;
  bool observed_interval = false;
  bool sampled = false;  // a discrete node drawn from its table
  double lower = 0.0;
  double upper = 0.0;
  std::vector<double> bounds;   // interval bounds of a discrete node
  std::vector<double> values;   // numeric value of each outcome
  int outcome = -1;
  int outcome_count = 0;
  std::vector<int> parent_records;
  std::vector<int> parent_strides;
  const double* table = nullptr;
  std::vector<long long> counters;
  bool invalid_recorded = false;
  std::vector<double> invalid_inputs;
};

std::string FormatG(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

}  // namespace

void VRN_equationSampler::Fix(int handle, double value) {
  slot_[handle] = fixed_.GetSize();
  fixed_.Add(value);
}

bool VRN_equationSampler::Prepare() {
  const int slots = network_->GetLastNode() + 1;
  if (slot_.SetSize(slots > 0 ? slots : 0) != qelta::kOk) return false;
  for (int i = 0; i < slot_.GetSize(); ++i) slot_[i] = -1;
  fixed_.Flush();
  const VRN_intArray order = network_->PartialOrder();
  for (int h : order) {
    VRN_node* node = network_->GetNode(h);
    VRN_nodeVal* value = node->Value();
    if (value->HasVirtualEvidence()) return false;
    bool parents_fixed = true;
    for (int p : node->Parents()) parents_fixed = parents_fixed && IsFixed(p);
    VRN_equation* equation = VRN_GetEquation(network_, h);
    if (!value->HasEvidence()) {
      if (equation == nullptr || equation->IsRandom() || !parents_fixed) continue;
      // Sampling reports an equation that cannot be solved, once.
      const VRN_expression* solved = equation->GetSolvedExpression(true);
      if (solved == nullptr) continue;
      VRN_evalContext context;
      context.SetBinder(new VRN_networkEquationBinder(network_, false));
      for (int p : node->Parents()) {
        context.SetSlotValue(context.GetSlot(network_->GetNode(p)->GetId()),
                             Fixed(p));
      }
      VRN_expression* tree = const_cast<VRN_expression*>(solved);
      VRN_ClearContextIndices(tree);
      BindExpression(tree, context);
      const double v = tree->Evaluate(&context);
      VRN_ClearContextIndices(tree);
      Fix(h, v);
      continue;
    }
    if (!parents_fixed) return false;
    double v = 0.0;
    if (equation != nullptr) {
      if (value->GetContEvidence(&v) == qelta::kOk) Fix(h, v);
      continue;
    }
    const auto* discrete = dynamic_cast<const VRN_discDef*>(node->Definition());
    if (value->GetContEvidence(&v) == qelta::kOk) {
      Fix(h, v);
    } else if (discrete != nullptr && !discrete->HasIntervals()) {
      Fix(h, discrete->GetOutcomeValue(value->GetEvidence()));
    }
  }
  return true;
}

int VRN_equationSampler::Sample() {
  if (slot_.GetSize() == 0 && !Prepare()) return qelta::kErrOutOfRange;
  const VRN_intArray order = network_->PartialOrder();
  bool all_fixed = true;
  for (int h : order) all_fixed = all_fixed && IsFixed(h);
  if (all_fixed) {
    int status = qelta::kOk;
    for (int h : order) {
      VRN_nodeVal* value = network_->GetNode(h)->Value();
      auto* evaluation = dynamic_cast<VRN_equationEvaluation*>(value);
      if (evaluation == nullptr || value->HasEvidence()) continue;
      // Sqrt(-2), 1/0 or Ln(0) is no value: refused as a sampled one would
      // be.
      if (!VRN_IsFiniteValue(Fixed(h))) {
        evaluation->ResetSamples(0);
        status = LogNoValidSamples(network_->GetNode(h)->GetId());
        continue;
      }
      evaluation->SetSingleValue(Fixed(h));
    }
    return status;
  }

  const int samples = network_->GetNumberOfSamples();
  const bool reject = network_->IsOutlierRejection();
  VRN_evalContext context;
  context.SetBinder(new VRN_networkEquationBinder(network_, false));
  VRN_randomGenerator* generator = network_->GetRandomGenerator();
  network_->ReseedRandomGenerator();
  context.SetRandomGenerator(generator);

  const int n = order.GetSize();
  std::vector<Record> records(static_cast<size_t>(n));
  std::vector<int> record_of(static_cast<size_t>(network_->GetLastNode() + 1), -1);
  for (int r = 0; r < n; ++r) {
    const int h = order[r];
    record_of[static_cast<size_t>(h)] = r;
    Record& record = records[static_cast<size_t>(r)];
    record.handle = h;
    record.node = network_->GetNode(h);
    record.slot = context.GetSlot(record.node->GetId());
    VRN_nodeVal* value = record.node->Value();
    record.equation = VRN_GetEquation(network_, h);
    if (record.equation != nullptr) {
      record.solved = record.equation->GetSolvedExpression();
      if (record.solved == nullptr) return qelta::kErrUnsolvable;
      for (int c : record.node->Children()) {
        if (VRN_GetEquation(network_, c) == nullptr) record.has_discrete_child = true;
      }
      record.lower = record.equation->GetLowerBound();
      record.upper = record.equation->GetUpperBound();
      record.evaluation = dynamic_cast<VRN_equationEvaluation*>(value);
      record.evaluation->ResetSamples(samples);
      if (IsFixed(h)) {
        record.fixed = true;
        context.SetSlotValue(record.slot, Fixed(h));
        record.evaluation->AppendSample(Fixed(h));
        if (record.has_discrete_child) {
          (void)record.equation->GetDiscreteOutcomeCount();
          record.outcome = record.equation->FindInterval(Fixed(h));
        }
      } else {
        VRN_expression* tree = const_cast<VRN_expression*>(record.solved);
        VRN_ClearContextIndices(tree);
        BindExpression(tree, context);
      }
      continue;
    }
    record.discrete = dynamic_cast<const VRN_discDef*>(record.node->Definition());
    const int count = record.discrete != nullptr
                          ? record.discrete->GetNumberOfOutcomes()
                          : -1;
    if (count < 2) return qelta::kErrWrongNodeType;
    record.outcome_count = count;
    if (record.discrete->HasIntervals()) {
      VRN_doubleArray bounds;
      (void)record.discrete->GetIntervalBounds(&bounds);
      record.bounds.assign(bounds.Items(), bounds.Items() + bounds.GetSize());
    }
    for (int k = 0; k < count; ++k) {
      record.values.push_back(record.discrete->GetOutcomeValue(k));
    }
    if (value->HasEvidence()) record.outcome = value->GetEvidence();
    if (IsFixed(h)) {
      record.fixed = true;
      context.SetSlotValue(record.slot, Fixed(h));
    } else if (!value->HasEvidence()) {
      const VRN_matrix* table =
          record.node->Definition()->GetExpandedDefinition();
      const VRN_intArray& parents = record.node->Parents();
      if (table == nullptr ||
          table->GetDimensionCount() != parents.GetSize() + 1) {
        return qelta::kErrWrongNodeType;
      }
      record.sampled = true;
      record.table = table->GetItems().Items();
      record.counters.assign(static_cast<size_t>(count), 0);
      for (int i = 0; i < parents.GetSize(); ++i) {
        record.parent_records.push_back(record_of[static_cast<size_t>(parents[i])]);
        record.parent_strides.push_back(table->GetStrides()[i]);
      }
    } else {
      record.observed_interval = true;
    }
  }

  // Descendant sets over record positions, made on first rejection.
  const size_t words = (static_cast<size_t>(n) + 63) / 64;
  std::vector<std::uint64_t> descendants;
  std::vector<std::uint64_t> skip(words, 0);
  auto build_descendants = [&]() {
    descendants.assign(words * static_cast<size_t>(n), 0);
    for (int r = n - 1; r >= 0; --r) {
      std::uint64_t* set = &descendants[static_cast<size_t>(r) * words];
      for (int c : records[static_cast<size_t>(r)].node->Children()) {
        const int cr = record_of[static_cast<size_t>(c)];
        set[cr / 64] |= std::uint64_t{1} << (cr % 64);
        const std::uint64_t* child = &descendants[static_cast<size_t>(cr) * words];
        for (size_t w = 0; w < words; ++w) set[w] |= child[w];
      }
    }
  };

  for (int s = 0; s < samples; ++s) {
    if (reject) std::fill(skip.begin(), skip.end(), 0);
    for (int r = 0; r < n; ++r) {
      Record& record = records[static_cast<size_t>(r)];
      if (record.fixed) continue;
      if (reject && (skip[r / 64] >> (r % 64) & 1) != 0) continue;
      if (record.equation == nullptr) {
        if (record.sampled) {
          int offset = 0;
          bool known = true;
          for (size_t i = 0; i < record.parent_records.size(); ++i) {
            const int o = records[static_cast<size_t>(record.parent_records[i])].outcome;
            if (o < 0) {
              known = false;
              break;
            }
            offset += o * record.parent_strides[i];
          }
          if (!known) {
            record.outcome = -1;
            context.SetSlotValue(record.slot, VRN_NaN());
            continue;
          }
          const double* column = record.table + offset;
          double sum = 0.0;
          for (int k = 0; k < record.outcome_count; ++k) sum += column[k];
          const double u = generator->NextDouble() * sum;
          record.outcome =
              VRN_SampleDiscreteIndex(u, column, record.outcome_count);
          ++record.counters[static_cast<size_t>(record.outcome)];
        }
        const double v =
            record.bounds.empty()
                ? record.values[static_cast<size_t>(record.outcome)]
                : generator->SampleInInterval(record.outcome,
                                              record.outcome_count,
                                              record.bounds.data(), nullptr);
        context.SetSlotValue(record.slot, v);
        continue;
      }
      const double v = record.solved->Evaluate(&context);
      const bool finite = VRN_IsFiniteValue(v);
      if (!reject || (finite && record.lower <= v && v <= record.upper)) {
        context.SetSlotValue(record.slot, v);
        record.evaluation->AppendSample(v);
        if (record.has_discrete_child) {
          record.outcome = finite ? record.equation->FindInterval(v) : -1;
        }
      } else {
        if (descendants.empty()) build_descendants();
        const std::uint64_t* set = &descendants[static_cast<size_t>(r) * words];
        for (size_t w = 0; w < words; ++w) skip[w] |= set[w];
      }
      if (!finite && !record.invalid_recorded) {
        record.invalid_recorded = true;
        for (int p : record.node->Parents()) {
          const Record& parent = records[static_cast<size_t>(record_of[static_cast<size_t>(p)])];
          record.invalid_inputs.push_back(context.GetSlotValue(parent.slot));
        }
      }
    }
  }

  int status = qelta::kOk;
  for (Record& record : records) {
    bool failed = false;
    if (record.equation != nullptr) {
      failed = record.evaluation->FinishSampling() != qelta::kOk;
    } else if (record.sampled) {
      long long total = 0;
      for (long long c : record.counters) total += c;
      VRN_nodeVal* value = record.node->Value();
      if (total > 0) {
        (void)value->ShapeAsBeliefs(record.outcome_count);
        VRN_matrix& belief = value->GetMutableValue();
        for (int k = 0; k < record.outcome_count; ++k) {
          *belief.ItemAddress(k) =
              static_cast<double>(record.counters[static_cast<size_t>(k)]) /
              static_cast<double>(total);
        }
        value->AddFlags(qelta::kValFlagValid);
      } else {
        value->Invalidate();
        failed = true;
      }
    }
    if (!failed) continue;
    std::string message;
    if (record.invalid_recorded) {
      message += ". First invalid sample generated with the following inputs:";
      const VRN_intArray& parents = record.node->Parents();
      for (int i = 0; i < parents.GetSize(); ++i) {
        message += ' ';
        message += network_->GetNode(parents[i])->GetId();
        message += '=';
        message += FormatG(record.invalid_inputs[static_cast<size_t>(i)]);
      }
    }
    status = LogNoValidSamples(record.node->GetId(), message);
  }
  return status;
}

int VRN_equationSampler::LogNoValidSamples(const char* id,
                                           const std::string& detail) {
  std::string message = "No valid samples were generated for node ";
  message += id;
  message += detail;
  network_->ErrorLog()->LogError(qelta::kErrNoUsefulSamples, message.c_str());
  return qelta::kErrNoUsefulSamples;
}

int VRN_PrepareEquationTables(VRN_network* network) {
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    VRN_equation* equation = VRN_GetEquation(network, h);
    if (equation != nullptr && equation->GetDiscreteDefinition() == nullptr) {
      return qelta::kErrUnsolvable;
    }
  }
  return qelta::kOk;
}
