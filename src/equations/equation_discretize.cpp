// Discretization of an equation node into a table over its intervals.
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/intervals.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "equations/equation_binder.h"
#include "equations/expression_visitor.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// How one parent enters a discretization run.
struct ParentPlan {
  int slot = -1;
  bool fixed = false;
  bool interval = false;        // drawn within intervals
  int dimension = 0;            // outcome or interval count when not fixed
  std::vector<double> edges;    // interval edges
  std::vector<double> values;   // outcome values of a point parent
  int fixed_interval = -1;      // a fixed parent drawn within this interval
  VRN_intervalSampler sampler;
};

std::string Format(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

}  // namespace

int VRN_equation::Discretize(bool use_evidence) {
  VRN_network* network = GetNetwork();
  const VRN_expression* solved_const = GetSolvedExpression();
  if (solved_const == nullptr || network == nullptr) {
    DropDiscretization();
    return qelta::kErrUnsolvable;
  }
  CreateDefaultIntervals();
  VRN_randomGenerator generator(network->GetRandSeed());
  VRN_evalContext context;
  context.SetBinder(new VRN_networkEquationBinder(network, false));
  context.SetRandomGenerator(&generator);

  const VRN_intArray& parents = GetParents();
  std::vector<ParentPlan> plans(static_cast<size_t>(parents.GetSize()));
  auto signature = std::make_unique<std::vector<VRN_discSignatureItem>>();
  for (int i = 0; i < parents.GetSize(); ++i) {
    const int p = parents[i];
    ParentPlan& plan = plans[static_cast<size_t>(i)];
    plan.slot = context.GetSlot(GetNodeId(p));
    VRN_nodeVal* value = network->GetNode(p)->Value();
    const bool observed = use_evidence && value->HasEvidence();
    double fixed_value = 0.0;
    if (VRN_equation* parent = VRN_GetEquation(network, p)) {
      if (observed && value->GetContEvidence(&fixed_value) == qelta::kOk) {
        plan.fixed = true;
      } else if (use_evidence && !observed && parent->IsConstant() &&
                 parent->EvaluateConstant(&fixed_value) == qelta::kOk) {
        plan.fixed = true;
      } else {
        parent->CreateDefaultIntervals();
        plan.interval = true;
        plan.dimension = static_cast<int>(parent->GetDiscIntervals().size());
        parent->GetIntervalEdges(&plan.edges);
      }
    } else {
      const auto* discrete = dynamic_cast<const VRN_discDef*>(
          network->GetNode(p)->Definition());
      if (discrete == nullptr) continue;
      const int count = discrete->GetNumberOfOutcomes();
      if (discrete->HasIntervals()) {
        VRN_doubleArray bounds;
        (void)discrete->GetIntervalBounds(&bounds);
        plan.edges.assign(bounds.Items(), bounds.Items() + bounds.GetSize());
      }
      if (!observed) {
        plan.dimension = count;
        plan.interval = discrete->HasIntervals();
        if (!plan.interval) {
          for (int k = 0; k < count; ++k) {
            plan.values.push_back(discrete->GetOutcomeValue(k));
          }
        }
      } else if (value->GetContEvidence(&fixed_value) == qelta::kOk) {
        plan.fixed = true;
      } else if (!discrete->HasIntervals()) {
        plan.fixed = true;
        fixed_value = discrete->GetOutcomeValue(value->GetEvidence());
      } else {
        plan.fixed = true;
        plan.fixed_interval = value->GetEvidence();
      }
    }
    if (!plan.fixed) continue;
    VRN_discSignatureItem item;
    item.handle = p;
    if (plan.fixed_interval >= 0) {
      plan.sampler.Init(plan.fixed_interval, plan.edges.data(),
                        static_cast<int>(plan.edges.size()), nullptr);
      item.interval = 1;
      item.a = plan.edges[static_cast<size_t>(plan.fixed_interval)];
      item.b = plan.edges[static_cast<size_t>(plan.fixed_interval) + 1];
    } else {
      context.SetSlotValue(plan.slot, fixed_value);
      item.a = fixed_value;
    }
    signature->push_back(item);
  }
  if (table_ != nullptr && signature_ != nullptr && *signature_ == *signature) {
    return qelta::kOk;
  }

  VRN_expression* solved = solved_.get();
  VRN_ClearContextIndices(solved);
  BindExpression(solved, context);
  DropDiscretization();
  RefreshValue();
  const int n = static_cast<int>(intervals_.size());
  std::vector<int> sizes;
  std::vector<ParentPlan*> free_plans;
  for (ParentPlan& plan : plans) {
    if (!plan.fixed && plan.dimension > 0) {
      sizes.push_back(plan.dimension);
      free_plans.push_back(&plan);
    }
  }
  sizes.push_back(n);
  auto table = std::make_unique<VRN_matrix>();
  if (table->SetDimensionSizes(sizes.data(), static_cast<int>(sizes.size())) !=
      qelta::kOk) {
    return qelta::kErrOutOfMemory;
  }
  const int configurations = table->GetItemCount() / n;
  const int samples = network->GetNumberOfDiscretizationSamples();
  const bool zero_avoidance =
      network->IsZeroAvoidance() && !solved->IsDeterministic();
  std::vector<double> boundaries(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) boundaries[static_cast<size_t>(k)] = intervals_[k].boundary;
  std::vector<ParentPlan*> drawn;
  for (ParentPlan& plan : plans) {
    if (plan.fixed && plan.fixed_interval >= 0) drawn.push_back(&plan);
  }
  for (ParentPlan* plan : free_plans) {
    if (plan->interval) drawn.push_back(plan);
  }

  long long underflows = 0, overflows = 0, valid_total = 0;
  int empty_configurations = 0;
  double smallest = std::numeric_limits<double>::max();
  double largest = -std::numeric_limits<double>::max();
  std::vector<int> coordinates(free_plans.size(), 0);
  std::vector<long long> counts(static_cast<size_t>(n));
  double* items = table->GetItems().Items();
  for (int c = 0; c < configurations; ++c) {
    for (size_t j = 0; j < free_plans.size(); ++j) {
      ParentPlan* plan = free_plans[j];
      if (plan->interval) {
        plan->sampler.Init(coordinates[j], plan->edges.data(),
                           static_cast<int>(plan->edges.size()), nullptr);
      } else {
        context.SetSlotValue(plan->slot,
                             plan->values[static_cast<size_t>(coordinates[j])]);
      }
    }
    std::fill(counts.begin(), counts.end(), 0);
    long long valid = 0;
    for (int s = 0; s < samples; ++s) {
      for (ParentPlan* plan : drawn) {
        context.SetSlotValue(plan->slot, plan->sampler.Draw(generator));
      }
      const double v = solved->Evaluate(&context);
      if (!(lower_ <= v)) {
        ++underflows;
        if (v < smallest) smallest = v;
      } else if (v > upper_) {
        ++overflows;
        if (v > largest) largest = v;
      } else {
        int k = n - 1;
        for (int b = 0; b < n - 1; ++b) {
          if (v < boundaries[static_cast<size_t>(b)]) {
            k = b;
            break;
          }
        }
        ++counts[static_cast<size_t>(k)];
        ++valid;
      }
    }
    valid_total += valid;
    double* column = items + static_cast<size_t>(c) * n;
    if (valid == 0) {
      ++empty_configurations;
      for (int k = 0; k < n; ++k) column[k] = 1.0 / n;
    } else {
      if (zero_avoidance) {
        for (long long& count : counts) {
          if (count == 0) {
            count = 1;
            ++valid;
          }
        }
      }
      for (int k = 0; k < n; ++k) {
        column[k] = static_cast<double>(counts[static_cast<size_t>(k)]) /
                    static_cast<double>(valid);
      }
    }
    for (int j = static_cast<int>(free_plans.size()) - 1; j >= 0; --j) {
      if (++coordinates[static_cast<size_t>(j)] < free_plans[static_cast<size_t>(j)]->dimension) break;
      coordinates[static_cast<size_t>(j)] = 0;
    }
  }
  table_ = std::move(table);
  signature_ = std::move(signature);

  if (underflows > 0 || overflows > 0 || empty_configurations > 0) {
    std::string report = "Discretization problem in node ";
    report += OwnId();
    report += ":";
    if (underflows > 0) {
      report += "  Underflow samples: " + std::to_string(underflows) +
                ", min=" + Format(smallest) + " loBound=" + Format(lower_);
    }
    if (overflows > 0) {
      report += "  Overflow samples: " + std::to_string(overflows) +
                ", max=" + Format(largest) + " hiBound=" + Format(upper_);
    }
    if (underflows > 0 || overflows > 0) {
      report += "  Total valid samples: " + std::to_string(valid_total) +
                " of " +
                std::to_string(static_cast<long long>(configurations) * samples);
    }
    if (empty_configurations > 0) {
      report += "  CPT configs with no valid samples: " +
                std::to_string(empty_configurations) + " of " +
                std::to_string(configurations);
    }
    network->ErrorLog()->LogError(qelta::kErrInvalidValue, report.c_str());
  }
  return qelta::kOk;
}

const VRN_matrix* VRN_equation::GetDiscreteDefinition() {
  if (Discretize(true) != qelta::kOk) return nullptr;
  return table_.get();
}

int VRN_equation::GetDiscreteInfo(VRN_discreteInfo* info) {
  if (intervals_.empty()) return qelta::kOk;
  const int n = static_cast<int>(intervals_.size());
  // Every interval must give an outcome, or a new discrete definition
  // would fall back to two and its children's tables would not fit:
  // unnamed intervals stay unnamed, others get valid identifiers.
  bool unnamed = true;
  for (const VRN_discInterval& interval : intervals_) {
    if (!interval.id.empty()) unnamed = false;
  }
  auto ids = std::make_unique<VRN_idArray>();
  ids->SetAllowEmpty(unnamed);
  for (const VRN_discInterval& interval : intervals_) {
    (void)(unnamed ? ids->Add("") : ids->AddNumbered(interval.id.c_str(), -1));
  }
  auto values = std::make_unique<VRN_doubleArray>();
  std::vector<double> edges;
  GetIntervalEdges(&edges);
  for (double e : edges) values->Add(e);
  (void)Discretize(false);

  auto block = std::make_unique<qelta::OutcomeDiagBlock>();
  bool make_block = false;
  if (HasDefaultValue()) {
    block->default_outcome = FindInterval(default_value_);
    block->outcomes.resize(static_cast<size_t>(n));
    make_block = true;
  }
  VRN_node* node = GetNetwork() != nullptr ? GetNetwork()->GetNode(GetHandle())
                                           : nullptr;
  if (node != nullptr && node->GetDiagType() == 0 &&
      (std::isfinite(nominal_lower_) || std::isfinite(nominal_upper_))) {
    block->outcomes.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      block->outcomes[static_cast<size_t>(i)].fault =
          !(edges[static_cast<size_t>(i)] >= nominal_lower_ &&
            nominal_upper_ >= edges[static_cast<size_t>(i) + 1]);
    }
    make_block = true;
  }
  if (info->ids_owned) delete info->ids;
  info->ids = ids.release();
  info->ids_owned = true;
  if (info->values_owned) delete info->values;
  info->values = values.release();
  info->values_owned = true;
  if (info->table_owned) delete info->table;
  info->table = table_.get();
  info->table_owned = false;
  if (make_block) {
    if (info->diag_info_owned) delete info->diag_info;
    info->diag_info = block.release();
    info->diag_info_owned = true;
  }
  return qelta::kOk;
}
