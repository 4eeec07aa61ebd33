// Annealed MAP search (see annealed_map.h) and the network's entry.
#include "inference/annealed_map.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <new>
#include <numeric>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr double kClearlyBetter = 1.00001;
// A product of ratios above this is no rounding of a probability.
constexpr double kRoundingAboveOne = 1.0 + 1e-9;

}  // namespace

int VRN_annealedMapSearch::Conditional(VRN_network* copy, int node,
                                       std::vector<double>* out) {
  (void)copy->ClearAllTargets();
  (void)copy->SetTarget(node, true);
  (void)copy->InvalidateValues();
  const int status = copy->UpdateBeliefs();
  VRN_nodeVal* value = copy->GetNode(node)->Value();
  if (status != qelta::kOk) return status;
  if (!value->IsValueValid()) return qelta::kErrZeroMarginal;
  const VRN_matrix& belief = value->GetValue();
  out->assign(belief.GetItems().begin(), belief.GetItems().end());
  return qelta::kOk;
}

int VRN_annealedMapSearch::AssignmentProbability(
    VRN_network* copy, const std::vector<int>& mapNodes,
    const std::vector<int>& fixed,
    const std::vector<std::vector<double>>& likelihoods,
    const std::vector<int>& current, double* out) {
  const size_t n = mapNodes.size();
  for (size_t i = 0; i < n; ++i) {
    if (fixed[i] >= 0) continue;
    VRN_nodeVal* value = copy->GetNode(mapNodes[i])->Value();
    (void)value->ClearEvidence();
    if (!likelihoods[i].empty()) (void)value->SetVirtualEvidence(likelihoods[i]);
  }
  double probability = 1.0;
  std::vector<double> p;
  for (size_t i = 0; i < n; ++i) {
    if (fixed[i] >= 0) continue;
    const int rc = Conditional(copy, mapNodes[i], &p);
    if (rc != qelta::kOk) return rc;
    probability *= p[static_cast<size_t>(current[i])];
    const int set = copy->GetNode(mapNodes[i])->Value()->SetEvidence(current[i]);
    if (set != qelta::kOk) return set;
  }
  *out = probability;
  return qelta::kOk;
}

double VRN_annealedMapSearch::BoltzmannWeights(const std::vector<double>& scores,
                                               double T) const {
  if (scores.empty() || !(T > 0.0)) return 0.0;
  double total = 0.0;
  std::vector<double> w(scores.size());
  for (size_t i = 0; i < scores.size(); ++i) {
    total += w[i] = std::exp(-(best_ - scores[i]) / (k_ * T));
  }
  if (!(total > 0.0)) return 0.0;
  double mean = 0.0, second = 0.0;
  for (size_t i = 0; i < scores.size(); ++i) {
    const double d = best_ - scores[i];
    mean += w[i] / total * d;
    second += w[i] / total * d * d;
  }
  const double variance = std::max(0.0, second - mean * mean);
  return variance / (T * T);
}

int VRN_annealedMapSearch::Run(VRN_network* copy,
                               const std::vector<int>& mapNodes,
                               std::vector<int>* assignment,
                               const std::vector<int>& nodes,
                               const std::vector<int>& outcomes, double* best,
                               double* evidenceProbability, int seed) {
  generator_.Seed(seed);
  const VRN_annealedMapTuning& tuning = copy->GetAnnealedMapTuning();
  const double speed = tuning.speed;
  const double t_init = tuning.Tinit;
  const double k_reheat = tuning.kReheat;
  const int cycles = tuning.numCycle;
  const int reheat_steps = tuning.iReheatSteps;
  const int stop_steps = tuning.iStopSteps;
  double t_max = t_init;
  double max_heat = 0.0;
  k_ = 1.0;

  // Observed evidence as given, in every slice; virtual evidence of the
  // copy stays.
  const int slices = copy->GetNumberOfSlices();
  for (int h = copy->GetFirstNode(); h >= 0; h = copy->GetNextNode(h)) {
    VRN_nodeVal* value = copy->GetNode(h)->Value();
    if (value->HasFlags(qelta::kValFlagEvidence)) (void)value->ClearEvidence();
    if (!value->IsPlate()) continue;
    for (int s = 1; s < slices; ++s) {
      if (value->IsTemporalEvidence(s)) (void)value->ClearTemporalEvidence(s);
    }
  }
  VRN_errorLog* log = copy->ErrorLog();
  for (size_t i = 0; i < nodes.size(); ++i) {
    VRN_node* node = copy->GetNode(nodes[i]);
    const int count = node->Definition()->GetNumberOfOutcomes();
    if (outcomes[i] < 0 || outcomes[i] >= count) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Annealed MAP: outcome %d of node [%s] is outside 0 to %d", outcomes[i],
                       node->GetId(), count - 1);
    }
    // An outcome the evidence entered implies adds nothing; entered as
    // observed it would drop the node's likelihoods.
    const VRN_nodeVal* value = copy->EvidenceOf(nodes[i]);
    if (value->HasFlags(qelta::kValFlagPropagated) &&
        value->GetEvidence() == outcomes[i]) {
      continue;
    }
    // Evidence in range that the network refuses (it logs why) contradicts
    // the rest.
    if (node->Value()->SetEvidence(outcomes[i]) != qelta::kOk) {
      return log->Logf(qelta::kErrZeroMarginal,
                       "Annealed MAP: the evidence is impossible with outcome %d of node [%s]",
                       outcomes[i], node->GetId());
    }
  }
  double pe = 0.0;
  if (!copy->CalcPropEvidence(pe, false)) return qelta::kErrGeneral;
  *evidenceProbability = pe;
  if (!(pe > 0.0)) {
    return log->LogError(qelta::kErrZeroMarginal,
                         "Annealed MAP: the evidence has probability zero");
  }

  const int n = static_cast<int>(mapNodes.size());
  std::vector<int> fixed(n, -1);  // observed MAP nodes keep their outcome
  // Entering an outcome drops a node's virtual evidence; it is put back
  // whenever the node's own distribution is read.
  std::vector<std::vector<double>> likelihoods(n);
  for (int i = 0; i < n; ++i) {
    VRN_nodeVal* value = copy->GetNode(mapNodes[i])->Value();
    if (value->HasEvidence()) fixed[i] = value->GetEvidence();
    if (value->HasVirtualEvidence()) (void)value->GetVirtualEvidence(&likelihoods[i]);
  }
  // Entropy order: the most certain nodes are fixed first.
  std::vector<double> entropy(n, 0.0);
  std::vector<double> p;
  for (int i = 0; i < n; ++i) {
    if (fixed[i] >= 0) continue;
    const int rc = Conditional(copy, mapNodes[i], &p);
    if (rc != qelta::kOk) return rc;
    for (double v : p) {
      if (v > 0.0) entropy[i] -= v * std::log(v);
    }
  }
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return entropy[a] < entropy[b]; });

  // Greedy start: the chain rule gives the assignment's probability.
  std::vector<int> current(n, 0);
  double score = 1.0;
  for (int i : order) {
    if (fixed[i] >= 0) {
      current[i] = fixed[i];
      continue;
    }
    const int rc = Conditional(copy, mapNodes[i], &p);
    if (rc != qelta::kOk) return rc;
    const int argmax = static_cast<int>(std::max_element(p.begin(), p.end()) - p.begin());
    current[i] = argmax;
    score *= p[argmax];
    const int set = copy->GetNode(mapNodes[i])->Value()->SetEvidence(argmax);
    if (set != qelta::kOk) return set;
  }
  best_ = score;
  std::vector<int> best_assignment = current;

  std::vector<double> scores;
  int reheat_counter = 0, stop_counter = 0;
  for (double T = t_init;;) {
    scores.clear();
    bool accepted = false, new_best = false;
    for (int cycle = 0; cycle < cycles; ++cycle) {
      for (int i = 0; i < n; ++i) {
        if (fixed[i] >= 0) {
          scores.push_back(score);
          continue;
        }
        VRN_nodeVal* value = copy->GetNode(mapNodes[i])->Value();
        (void)value->ClearEvidence();
        if (!likelihoods[i].empty()) (void)value->SetVirtualEvidence(likelihoods[i]);
        const int rc = Conditional(copy, mapNodes[i], &p);
        if (rc != qelta::kOk) return rc;
        const int c = current[i];
        double u = generator_.NextDouble();
        if (u == 0.0) u = 1e-11;
        double others = 0.0;
        for (size_t j = 0; j < p.size(); ++j) {
          if (static_cast<int>(j) != c) others += p[j];
        }
        int proposal = -1;
        double running = 0.0;
        for (size_t j = 0; j < p.size() && others > 0.0; ++j) {
          if (static_cast<int>(j) == c) continue;
          running += p[j];
          if (running >= u * others) {
            proposal = static_cast<int>(j);
            break;
          }
        }
        bool move = false;
        double r = 0.0;
        if (proposal >= 0 && p[c] > 0.0) {
          r = p[proposal] / p[c];
          if (r >= kClearlyBetter) {
            move = true;
          } else {
            const double v = generator_.NextDouble();
            move = std::pow(r, 1.0 / T - 1.0) > v;
          }
        }
        if (move) {
          const double moved = score * r;
          current[i] = proposal;
          accepted = true;
          if (std::isfinite(r) && score >= DBL_MIN && moved >= DBL_MIN &&
              moved <= kRoundingAboveOne) {
            score = moved;
          } else {
            // The ratio of an outcome below the normal doubles overflows, or
            // the product leaves their normal range and its digits: the
            // assignment's probability is taken afresh, never a capped one.
            const int rc = AssignmentProbability(copy, mapNodes, fixed,
                                                 likelihoods, current, &score);
            if (rc != qelta::kOk) return rc;
          }
        }
        if (accepted) {
          // Only the rounding of many products can pass 1.
          score = std::min(score, 1.0);
          if (score / best_ > kClearlyBetter) {
            best_ = score;
            best_assignment = current;
            new_best = true;
          }
        }
        scores.push_back(score);
        const int set = value->SetEvidence(current[i]);
        if (set != qelta::kOk) return set;
      }
    }
    if (new_best) {
      reheat_counter = stop_counter = 0;
    } else {
      ++reheat_counter;
      ++stop_counter;
    }
    const double heat = BoltzmannWeights(scores, T);
    if (heat > max_heat) {
      max_heat = heat;
      t_max = T;
    }
    T *= speed;
    if (reheat_counter >= reheat_steps) {
      T = (1.0 - best_) * k_reheat + t_max;
      if (T >= 1.0) T = t_init;
      reheat_counter = 0;
    }
    if (stop_counter > stop_steps) break;
  }
  *best = best_;
  *assignment = best_assignment;
  return qelta::kOk;
}

int VRN_network::AnnealedMAP(const std::vector<std::pair<int, int>>& evidence,
                             const std::vector<int>& mapNodes,
                             std::vector<int>* assignment,
                             double* bestProbability,
                             double* evidenceProbability, int seed) {
  assignment->clear();
  std::vector<int> nodes, outcomes;
  // Outcomes implied here go last, after what may imply them again.
  std::vector<std::pair<int, int>> implied;
  for (const auto& [handle, outcome] : evidence) {
    const VRN_nodeVal* value = EvidenceOf(handle);
    if (value == nullptr) return qelta::kErrOutOfRange;
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      implied.emplace_back(handle, outcome);
      continue;
    }
    nodes.push_back(handle);
    outcomes.push_back(outcome);
  }
  for (const auto& [handle, outcome] : implied) {
    nodes.push_back(handle);
    outcomes.push_back(outcome);
  }
  std::vector<int> seen;
  for (int h : mapNodes) {
    const VRN_node* node = GetNode(h);
    if (node == nullptr || std::find(seen.begin(), seen.end(), h) != seen.end()) {
      return qelta::kErrOutOfRange;
    }
    seen.push_back(h);
    const int type = node->Definition()->GetType();
    if ((type & qelta::kDefBitDiscrete) == 0 || (type & qelta::kDefBitDecision) != 0) {
      return qelta::kErrWrongNodeType;
    }
    // The result holds one outcome per MAP node; a plate node has one per slice.
    if (GetTemporalType(h) == qelta::kTemporalPlate && GetNumberOfSlices() > 1) {
      return errorLog_->Logf(qelta::kErrOutOfRange,
                             "Annealed MAP: node [%s] is a plate node in %d slices: "
                             "a MAP node gets one outcome, not one per slice",
                             node->GetId(), GetNumberOfSlices());
    }
  }
  try {
    auto copy = std::make_unique<VRN_network>(
        *this, qelta::kCopyNoDocumentation | qelta::kCopyWorking);
    // The copy's log starts empty: what it keeps is the search's own.
    copy->ErrorLog()->Flush();
    VRN_annealedMapSearch search;
    std::vector<int> found;
    double best = 0.0, pe = 0.0;
    const int status = search.Run(copy.get(), mapNodes, &found, nodes, outcomes,
                                  &best, &pe, seed);
    if (status != qelta::kOk) {
      // Why the copy refused (an update out of the doubles' range, say)
      // is this network's caller's to read.
      const VRN_errorLog& reasons = *copy->ErrorLog();
      for (int i = 0; i < reasons.GetNumberOfMessages(); ++i) {
        (void)errorLog_->LogError(reasons.GetCode(i), reasons.GetMessage(i));
      }
      return status;
    }
    *assignment = found;
    *bestProbability = best;
    *evidenceProbability = pe;
    return qelta::kOk;
  } catch (const std::bad_alloc&) {
    return qelta::kErrOutOfMemory;
  }
}
