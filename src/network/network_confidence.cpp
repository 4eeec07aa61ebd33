// Confidence intervals of posterior beliefs: the parameters are resampled
// from Dirichlet posteriors sized by instance counts, and each belief's
// spread over the samples gives its interval.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// iterations * (1 - level) / 2 rounded down, after snapping to a whole
// number within 1e-9 so that rounding of the product does not lose one;
// at most the middle rank.
int TailCount(double level, int iterations) {
  const double raw = iterations * (1.0 - level) / 2.0;
  const double nearest = std::round(raw);
  const double snapped = std::fabs(raw - nearest) <= 1e-9 ? nearest : std::floor(raw);
  if (!(snapped > 0.0)) return 0;
  // Past the middle the lower bound would pass the upper one.
  const int middle = (iterations - 1) / 2;
  return snapped >= middle ? middle : static_cast<int>(snapped);
}

}  // namespace

int VRN_network::CalcConfidenceIntervals(
    const std::vector<int>& nodes, const std::vector<std::vector<int>>& counts, double level,
    int iterations, std::vector<std::vector<std::pair<double, double>>>& intervals) {
  intervals.clear();
  // A decision's or utility's value is indexed by choices, not a belief:
  // a copy's update would hand out one choice's slice as the node's beliefs.
  for (int h = IsInfluenceDiagram() ? GetFirstNode() : -1; h >= 0;
       h = GetNextNode(h)) {
    if (VRN_nodeDef::IsInfluenceType(nodes_[h]->Definition()->GetType())) {
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "Confidence intervals are not available for "
                             "influence diagrams: node [%s] is a decision or "
                             "utility node",
                             nodes_[h]->GetId());
    }
  }
  if (!(level >= 0.0 && level <= 1.0)) {
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "The confidence level %g is outside 0 to 1", level);
  }
  if (iterations < 1) {
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "The sample count %d is below 1", iterations);
  }
  // The list is checked in order before anything is copied or sized; a
  // node without outcomes (an equation node) has no beliefs to bound.
  std::vector<char> listed(static_cast<std::size_t>(GetSlotCount()), 0);
  for (int h : nodes) {
    if (!IsValidHandle(h)) {
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "Confidence intervals are asked of node handle %d, which names no "
                             "node", h);
    }
    if (listed[static_cast<std::size_t>(h)] != 0) {
      return errorLog_->Logf(qelta::kErrInvalidValue,
                             "Node [%s] is named twice",
                             nodes_[h]->GetId());
    }
    listed[static_cast<std::size_t>(h)] = 1;
    if (nodes_[h]->Definition()->GetNumberOfOutcomes() < 1) {
      return errorLog_->Logf(qelta::kErrWrongNodeType,
                             "Confidence intervals are not computed for node "
                             "[%s]: it has no outcomes",
                             nodes_[h]->GetId());
    }
  }
  VRN_network work(*this, qelta::kCopyWorking);
  work.SetRelevanceReasoning(false);
  (void)work.ClearAllTargets();
  std::vector<std::vector<std::vector<double>>> samples;
  for (int h : nodes) {
    (void)work.SetTarget(h, true);
    samples.emplace_back(
        static_cast<std::size_t>(work.GetNode(h)->Definition()->GetNumberOfOutcomes()),
        std::vector<double>(static_cast<std::size_t>(iterations)));
  }
  // The tables before sampling, which give the Dirichlet means.
  std::vector<VRN_matrix> kept(work.GetSlotCount());
  for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
    const VRN_matrix* table = work.GetNode(h)->Definition()->GetMatrixConst();
    if (table == nullptr) continue;
    const int n = table->GetSize(table->GetDimensionCount() - 1);
    if (h >= static_cast<int>(counts.size()) ||
        counts[h].size() != static_cast<std::size_t>(table->GetItemCount() / n)) {
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "The instance counts hold no count for each column of "
                             "node [%s]'s table",
                             nodes_[h]->GetId());
    }
    kept[h] = *table;
  }
  VRN_randomGenerator* generator = GetRandomGenerator();
  VRN_matrix scratch;
  for (int it = 0; it < iterations; ++it) {
    for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
      const VRN_matrix& mean = kept[h];
      if (mean.IsEmpty()) continue;
      const int n = mean.GetSize(mean.GetDimensionCount() - 1);
      const double* p = mean.GetItems().Items();
      scratch = *work.GetNode(h)->Definition()->GetMatrixConst();
      double* x = scratch.GetItems().Items();
      bool changed = false;
      for (std::size_t j = 0; j < counts[h].size(); ++j) {
        const double size = counts[h][j];
        const double* column = p + j * n;
        if (!(size > 0.0) || std::find(column, column + n, 1.0) != column + n) continue;
        double sum = 0.0;
        double* out = x + j * n;
        for (int i = 0; i < n; ++i) {
          out[i] = column[i] == 0.0 ? 0.0 : generator->Gamma(size * column[i], 1.0);
          sum += out[i];
        }
        if (!(sum > 0.0) || !std::isfinite(sum)) {
          std::copy(column, column + n, out);  // all draws underflowed: keep the mean
        } else {
          for (int i = 0; i < n; ++i) out[i] /= sum;
        }
        changed = true;
      }
      if (changed) (void)work.GetNode(h)->Definition()->SetDefinitionFromMatrix(scratch);
    }
    const int status = work.UpdateBeliefs();
    if (status != qelta::kOk) return status;
    for (std::size_t t = 0; t < nodes.size(); ++t) {
      const VRN_matrix& beliefs = work.GetNode(nodes[t])->Value()->GetValue();
      for (std::size_t i = 0; i < samples[t].size(); ++i) {
        samples[t][i][static_cast<std::size_t>(it)] =
            static_cast<int>(i) < beliefs.GetItemCount() ? beliefs.GetItem(static_cast<int>(i)) : 0.0;
      }
    }
  }
  const int k = TailCount(level, iterations);
  for (auto& node : samples) {
    std::vector<std::pair<double, double>> bounds;
    for (auto& s : node) {
      std::nth_element(s.begin(), s.begin() + k, s.end());
      const double lower = s[static_cast<std::size_t>(k)];
      std::nth_element(s.begin(), s.end() - 1 - k, s.end());
      bounds.emplace_back(lower, s[s.size() - 1 - static_cast<std::size_t>(k)]);
    }
    intervals.push_back(std::move(bounds));
  }
  return qelta::kOk;
}
