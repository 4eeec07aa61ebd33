// Bayesian search and greedy thick thinning: hill climbing over DAGs with
// cached BDeu family scores, per-node move caches and a longest-path matrix
// that answers acyclicity questions in constant time.
#include "learning/bayesian_search.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "learning/count_cache.h"
#include "learning/count_parameters.h"
#include "learning/progress.h"
#include "network/layout.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kAdd = 0;
constexpr int kReverse = 1;
constexpr int kDelete = 2;
constexpr int kNoMove = 3;
constexpr double kLowest = -std::numeric_limits<double>::max();

// Sum over counts c of ln(a) + ln(a + 1) + ... + ln(a + c - 1), for counts in
// ascending order: one running sum serves every count. Short stretches add
// logarithms of four factors at a time; a long stretch is one difference of
// ln-gamma, which costs the same whatever its length. The reentrant
// ln-gamma: the plain one writes the C library's global sign, which searches
// on other threads would race for.
double RunningLogSum(const std::vector<int>& sorted, double a) {
  constexpr int kLongStretch = 48;
  double total = 0.0;
  double running = 0.0;
  int m = 0;
  int sign = 0;
  for (int c : sorted) {
    if (c - m > kLongStretch) {
      running += ::lgamma_r(a + c, &sign) - ::lgamma_r(a + m, &sign);
      m = c;
    }
    for (; m + 4 <= c; m += 4) {
      running += std::log((a + m) * (a + m + 1) * (a + m + 2) * (a + m + 3));
    }
    for (; m < c; ++m) running += std::log(a + m);
    total += running;
  }
  return total;
}

// True when the elapsed whole seconds since start exceed limit.
bool TimeIsUp(std::chrono::steady_clock::time_point start, int limit) {
  if (limit <= 0) return false;
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::steady_clock::now() - start);
  return elapsed.count() > limit;
}

}  // namespace

// Scratch buffers of the family scores, kept between calls so that scoring
// allocates nothing once they have grown.
struct VRN_bsScratch {
  std::vector<int> variables;
  std::vector<int> joint;
  std::vector<int> marginal;
  std::vector<int> table;  // direct counts, parents slowest, the node fastest
};

namespace {

// Families up to this many cells are counted in one pass over the columns
// into a flat table: a pass reads the columns in order, while building a
// new level of the count tree chases pointers for every record. Larger
// (sparse) families go to the count cache.
constexpr double kDirectCells = 1 << 16;

// The nonzero counts of the family's cells and of its parent
// configurations, counted straight from the data.
void CountDirect(const VRN_dataset& data, const std::vector<int>& arity, int node,
                 const std::vector<int>& parents, int cells, VRN_bsScratch& scratch) {
  std::vector<int>& table = scratch.table;
  table.assign(static_cast<std::size_t>(cells), 0);
  const int r = arity[static_cast<std::size_t>(node)];
  const int records = data.GetRecordCount();
  const std::vector<int>* index = data.RecordIndex();
  const int* own = data.IntCells(node);
  const std::size_t k = parents.size();
  const int* columns[8] = {};
  int radix[8] = {};
  for (std::size_t p = 0; p < k && p < 8; ++p) {
    columns[p] = data.IntCells(parents[p]);
    radix[p] = arity[static_cast<std::size_t>(parents[p])];
  }
  for (int rec = 0; rec < records; ++rec) {
    const std::size_t stored =
        static_cast<std::size_t>(index != nullptr ? (*index)[static_cast<std::size_t>(rec)] : rec);
    int cell = 0;
    for (std::size_t p = 0; p < k; ++p) cell = cell * radix[p] + columns[p][stored];
    ++table[static_cast<std::size_t>(cell * r + own[stored])];
  }
  scratch.joint.clear();
  scratch.marginal.clear();
  for (int start = 0; start < cells; start += r) {
    int sum = 0;
    for (int s = 0; s < r; ++s) {
      const int c = table[static_cast<std::size_t>(start + s)];
      if (c > 0) scratch.joint.push_back(c);
      sum += c;
    }
    if (sum > 0) scratch.marginal.push_back(sum);
  }
}

}  // namespace

// One node with its parents and the BDeu score of that family.
class VRN_bsFamily {
 public:
  void Reset(int n, int node, int outcomes, double ess, double prior) {
    n_ = n;
    node_ = node;
    r_ = outcomes;
    ess_ = ess;
    prior_ = prior;
    parents.clear();
    stale = true;
  }
  int node() const { return node_; }
  bool HasParent(int p) const { return std::binary_search(parents.begin(), parents.end(), p); }
  void AddParent(int p) {
    parents.insert(std::lower_bound(parents.begin(), parents.end(), p), p);
    stale = true;
  }
  void RemoveParent(int p) {
    auto at = std::lower_bound(parents.begin(), parents.end(), p);
    if (at != parents.end() && *at == p) parents.erase(at);
    stale = true;
  }
  // The cached score, computed first when stale.
  double Score(VRN_countCache& cache, const VRN_dataset& data, const std::vector<int>& arity,
               VRN_bsScratch& scratch) {
    if (!stale) return score;
    double q = 1.0;
    for (int p : parents) q *= arity[static_cast<std::size_t>(p)];
    const double alpha = ess_ / (q * r_);
    if (q * r_ <= kDirectCells && parents.size() <= 8) {
      CountDirect(data, arity, node_, parents, static_cast<int>(q * r_), scratch);
    } else {
      std::vector<int>& vars = scratch.variables;
      vars.assign(parents.begin(), parents.end());
      vars.insert(std::lower_bound(vars.begin(), vars.end(), node_), node_);
      cache.GetNonZeroCounts(vars.data(), static_cast<int>(vars.size()), scratch.joint);
      cache.GetNonZeroCounts(parents.data(), static_cast<int>(parents.size()), scratch.marginal);
    }
    std::sort(scratch.joint.begin(), scratch.joint.end());
    std::sort(scratch.marginal.begin(), scratch.marginal.end());
    const int k = static_cast<int>(parents.size());
    score = RunningLogSum(scratch.joint, alpha) - RunningLogSum(scratch.marginal, r_ * alpha) +
            k * std::log(prior_) + (n_ - 1 - k) * std::log(1.0 - prior_);
    stale = false;
    return score;
  }

  std::vector<int> parents;  // ascending
  double score = 0.0;
  bool stale = true;

 private:
  int n_ = 0;
  int node_ = 0;
  int r_ = 1;
  double ess_ = 1.0;
  double prior_ = 0.5;
};

// Which moves the graph and the knowledge allow. A[x * n + y] is the number
// of arcs on the longest directed path from y to x (0 on the diagonal, -1
// when y does not reach x).
class VRN_bsMoveChecker {
 public:
  void Init(int n, int maxParents, const std::vector<std::uint8_t>& constraints) {
    n_ = n;
    maxParents_ = maxParents;
    constraints_ = constraints;
    graph_.assign(static_cast<std::size_t>(n) * n, 0);
    paths_.assign(static_cast<std::size_t>(n) * n, -1);
    parentCount_.assign(static_cast<std::size_t>(n), 0);
    children_.assign(static_cast<std::size_t>(n), {});
    order_.reserve(static_cast<std::size_t>(n));
  }
  // Takes the graph (G[a * n + b] = 1 for a->b) and recomputes the paths.
  void SetGraph(const std::vector<std::uint8_t>& g) {
    graph_ = g;
    const int n = n_;
    std::fill(paths_.begin(), paths_.end(), -1);
    std::fill(parentCount_.begin(), parentCount_.end(), 0);
    for (int x = 0; x < n; ++x) {
      At(paths_, x, x) = 0;
      children_[static_cast<std::size_t>(x)].clear();
    }
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b < n; ++b) {
        if (At(graph_, a, b) == 0) continue;
        ++parentCount_[static_cast<std::size_t>(b)];
        children_[static_cast<std::size_t>(a)].push_back(b);
      }
    }
    // Topological order by repeatedly taking nodes whose parents are placed.
    order_.clear();
    remaining_ = parentCount_;
    for (int x = 0; x < n; ++x) {
      if (remaining_[static_cast<std::size_t>(x)] == 0) order_.push_back(x);
    }
    for (std::size_t i = 0; i < order_.size(); ++i) {
      const int v = order_[i];
      for (int c : children_[static_cast<std::size_t>(v)]) {
        for (int y = 0; y < n; ++y) {
          const int via = At(paths_, v, y);
          if (y != c && via >= 0 && via + 1 > At(paths_, c, y)) At(paths_, c, y) = via + 1;
        }
        if (--remaining_[static_cast<std::size_t>(c)] == 0) order_.push_back(c);
      }
    }
    acyclic_ = static_cast<int>(order_.size()) == n;
  }
  bool IsAcyclic() const { return acyclic_; }
  int ParentCount(int b) const { return parentCount_[static_cast<std::size_t>(b)]; }
  // Whether the move of the kind on the pair (a, b) (add a->b, reverse
  // b->a into a->b, delete a->b) keeps the graph a DAG within the limits.
  bool IsLegal(int kind, int a, int b) const {
    if (!acyclic_ || kind == kNoMove) return false;
    if (!constraints_.empty()) {
      static constexpr std::uint8_t kMasks[9] = {8 | 7, 8, 8 | 5, 8 | 1, 8 | 1, 8 | 1, 8 | 4, 8 | 4, 8 | 4};
      const int index = 3 * At(constraints_, a, b) + At(constraints_, b, a);
      if (index < 0 || index >= 9 || (kMasks[index] & (1 << kind)) == 0) return false;
    }
    switch (kind) {
      case kAdd:
        return ParentCount(b) < maxParents_ && At(paths_, a, b) <= 0;
      case kReverse:
        return ParentCount(b) < maxParents_ && At(paths_, a, b) <= 1;
      default:
        return true;
    }
  }

 private:
  template <typename T>
  T& At(std::vector<T>& m, int x, int y) {
    return m[static_cast<std::size_t>(x) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(y)];
  }
  template <typename T>
  const T& At(const std::vector<T>& m, int x, int y) const {
    return m[static_cast<std::size_t>(x) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(y)];
  }

  int n_ = 0;
  int maxParents_ = 0;
  bool acyclic_ = true;
  std::vector<std::uint8_t> graph_;
  std::vector<int> paths_;
  std::vector<int> parentCount_;
  std::vector<int> remaining_;
  std::vector<std::vector<int>> children_;
  std::vector<int> order_;
  std::vector<std::uint8_t> constraints_;  // empty without knowledge
};

// The state of one Learn call: graph, families, move caches.
class VRN_bsSearch {
 public:
  VRN_bsSearch(const VRN_bayesianSearch& options, const VRN_dataset& data,
               std::vector<int> arity, const std::vector<std::uint8_t>& knowledge)
      : opt_(options),
        data_(data),
        n_(static_cast<int>(arity.size())),
        arity_(arity),
        knowledge_(knowledge),
        cache_(data, std::move(arity)),
        rng_(options.randSeed) {
    if (options.countCacheLimit != 0) cache_.memory_limit = options.countCacheLimit;
    const std::size_t nn = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_);
    graph_.assign(nn, 0);
    pairBits_.assign(nn, 0);
    families_.resize(static_cast<std::size_t>(n_));
    candidateB_.resize(static_cast<std::size_t>(n_));
    candidateA_.resize(static_cast<std::size_t>(n_));
    bestDelta_.assign(static_cast<std::size_t>(n_), kLowest);
    bestOther_.assign(static_cast<std::size_t>(n_), -1);
    bestKind_.assign(static_cast<std::size_t>(n_), kNoMove);
    bestCurrent_.assign(static_cast<std::size_t>(n_), 0);
    for (int b = 0; b < n_; ++b) ResetFamily(families_[static_cast<std::size_t>(b)], b);
    trialB_ = families_[0];
    trialA_ = families_[0];
    checker_.Init(n_, options.maxParents, knowledge);
  }

  // Runs every climb. 0, -99, or a callback's result.
  int Run(VRN_network& net, const VRN_dataset& data, const std::vector<VRN_dataMatch>& matches,
          VRN_progress* progress, VRN_bsIterationCallback* callback) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < opt_.iterationCount; ++i) {
      if (i == 0 && knowledge_.empty()) {
        std::fill(graph_.begin(), graph_.end(), 0);
      } else {
        RandomStartGraph();
      }
      SetUpFamilies();
      double climbScore = 0.0;
      if (opt_.greedyThickThinning) {
        Climb((1 << kReverse) | (1 << kDelete));
        ResetMoveCaches();
        climbScore = Climb((1 << kAdd) | (1 << kReverse));
      } else {
        climbScore = Climb(0);
      }
      if (callback != nullptr) {
        VRN_network copy(net, qelta::kCopyWorking);
        AddArcs(copy, graph_);
        double kept = climbScore;
        const int status = callback->OnIteration(i, climbScore, bestScore, &copy, &data, &matches,
                                                 progress, &kept);
        if (status != 0) return status;
        climbScore = kept;
      }
      if (climbScore > bestScore) {
        bestScore = climbScore;
        bestGraph = graph_;
        bestIteration = i;
      }
      if (progress != nullptr && !progress->Tick((i + 1) * 100.0 / (opt_.iterationCount + 1), nullptr)) {
        return qelta::kErrCancelled;
      }
      if (TimeIsUp(start, opt_.maxSearchTime)) break;
    }
    return qelta::kOk;
  }

  // Adds the arcs of g to net, parent row by row.
  void AddArcs(VRN_network& net, const std::vector<std::uint8_t>& g) const {
    for (int a = 0; a < n_; ++a) {
      for (int b = 0; b < n_; ++b) {
        if (g[Index(a, b)] != 0) (void)net.AddArc(a, b);
      }
    }
  }

  double bestScore = kLowest;
  int bestIteration = -1;
  std::vector<std::uint8_t> bestGraph;
  VRN_bsStatistics stats;

 private:
  std::size_t Index(int a, int b) const {
    return static_cast<std::size_t>(a) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(b);
  }
  void ResetFamily(VRN_bsFamily& f, int b) const {
    f.Reset(n_, b, arity_[static_cast<std::size_t>(b)], static_cast<double>(opt_.priorSampleSize),
            opt_.priorLinkProbability);
  }
  double FamilyScore(VRN_bsFamily& f) { return f.Score(cache_, data_, arity_, scratch_); }

  // b reaches a along entries equal to 1 that are not 1 both ways.
  bool ReachesAlongOnes(const std::vector<int>& g, int from, int to) {
    visited_.assign(static_cast<std::size_t>(n_), 0);
    stack_.clear();
    stack_.push_back(from);
    visited_[static_cast<std::size_t>(from)] = 1;
    while (!stack_.empty()) {
      const int x = stack_.back();
      stack_.pop_back();
      if (x == to) return true;
      for (int y = 0; y < n_; ++y) {
        if (visited_[static_cast<std::size_t>(y)] || g[Index(x, y)] != 1 || g[Index(y, x)] == 1) continue;
        visited_[static_cast<std::size_t>(y)] = 1;
        stack_.push_back(y);
      }
    }
    return false;
  }

  // A random start graph drawn from the knowledge (or from nothing).
  void RandomStartGraph() {
    std::vector<int> g(static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_), 0);
    const bool withKnowledge = !knowledge_.empty();
    if (withKnowledge) {
      for (std::size_t k = 0; k < g.size(); ++k) g[k] = knowledge_[k];
    }
    if (opt_.linkProbability > 0.0) {
      std::vector<int> remaining(static_cast<std::size_t>(n_));
      for (int i = 0; i < n_; ++i) remaining[static_cast<std::size_t>(i)] = i;
      std::vector<int> order;
      for (int i = 0; i < n_; ++i) {
        const unsigned pick = rng_.NextInt(static_cast<unsigned>(n_ - i));
        order.push_back(remaining[pick]);
        remaining.erase(remaining.begin() + pick);
      }
      std::vector<int> parents(static_cast<std::size_t>(n_), 0);
      if (withKnowledge) {
        for (int i = 0; i < n_; ++i) {
          for (int j = i + 1; j < n_; ++j) {
            const int a = order[static_cast<std::size_t>(i)];
            const int b = order[static_cast<std::size_t>(j)];
            if (g[Index(a, b)] != 1) continue;
            if (g[Index(b, a)] == 1) g[Index(b, a)] = 0;
            ++parents[static_cast<std::size_t>(b)];
          }
        }
      }
      for (int i = 0; i < n_; ++i) {
        for (int j = i + 1; j < n_; ++j) {
          const int a = order[static_cast<std::size_t>(i)];
          const int b = order[static_cast<std::size_t>(j)];
          if (parents[static_cast<std::size_t>(b)] >= opt_.maxParents) continue;
          bool add = false;
          if (!withKnowledge) {
            add = opt_.linkProbability > rng_.NextDouble();
          } else if (g[Index(a, b)] != 0) {
            continue;
          } else if (g[Index(b, a)] == 2) {
            // The forbidden reverse says nothing of longer paths: forced
            // arcs against the order may still lead from b to a.
            add = opt_.linkProbability > rng_.NextDouble() && !ReachesAlongOnes(g, b, a);
          } else {
            if (g[Index(b, a)] != 0) continue;
            if (!(opt_.linkProbability > rng_.NextDouble())) continue;
            add = !ReachesAlongOnes(g, b, a);
          }
          if (add) {
            g[Index(a, b)] = 1;
            ++parents[static_cast<std::size_t>(b)];
          }
        }
      }
    }
    for (std::size_t k = 0; k < g.size(); ++k) graph_[k] = g[k] == 1 ? 1 : 0;
  }

  void ResetMoveCaches() {
    std::fill(pairBits_.begin(), pairBits_.end(), 0);
    std::fill(bestCurrent_.begin(), bestCurrent_.end(), 0);
    std::fill(bestKind_.begin(), bestKind_.end(), kNoMove);
    std::fill(bestOther_.begin(), bestOther_.end(), -1);
    std::fill(bestDelta_.begin(), bestDelta_.end(), kLowest);
  }

  void SetUpFamilies() {
    for (int b = 0; b < n_; ++b) {
      VRN_bsFamily& f = families_[static_cast<std::size_t>(b)];
      ResetFamily(f, b);
      for (int a = 0; a < n_; ++a) {
        if (graph_[Index(a, b)] != 0) f.parents.push_back(a);
      }
    }
    checker_.SetGraph(graph_);
    ResetMoveCaches();
  }

  // Scores the move on (a, b) and keeps it as b's best when it beats it.
  // True when the move was legal (and so evaluated).
  bool Evaluate(int a, int b, int excluded) {
    const int kind = graph_[Index(a, b)] != 0 ? kDelete : graph_[Index(b, a)] != 0 ? kReverse : kAdd;
    if ((excluded & (1 << kind)) != 0 || !checker_.IsLegal(kind, a, b)) return false;
    ++stats.movesEvaluated;
    VRN_bsFamily& fb = families_[static_cast<std::size_t>(b)];
    trialB_ = fb;
    if (kind == kDelete) {
      trialB_.RemoveParent(a);
    } else {
      trialB_.AddParent(a);
    }
    double delta = FamilyScore(trialB_) - FamilyScore(fb);
    if (kind == kReverse) {
      VRN_bsFamily& fa = families_[static_cast<std::size_t>(a)];
      trialA_ = fa;
      trialA_.RemoveParent(b);
      delta += FamilyScore(trialA_) - FamilyScore(fa);
    }
    pairBits_[Index(b, a)] = 1;
    const std::size_t sb = static_cast<std::size_t>(b);
    if (delta > bestDelta_[sb]) {
      bestDelta_[sb] = delta;
      bestOther_[sb] = a;
      bestKind_[sb] = kind;
      candidateB_[sb] = trialB_;
      if (kind == kReverse) candidateA_[sb] = trialA_;
    }
    return true;
  }

  // Forgets the cached deltas that involve the family of node x.
  void DropPairsOf(int x, const std::vector<int>& oldParents, int other) {
    bestCurrent_[static_cast<std::size_t>(x)] = 0;
    for (int c : oldParents) pairBits_[Index(c, x)] = 0;
    for (int c : families_[static_cast<std::size_t>(x)].parents) pairBits_[Index(c, x)] = 0;
    pairBits_[Index(other, x)] = 0;
  }

  // One climb with the kinds in `excluded` left out; answers its score.
  double Climb(int excluded) {
    ++stats.climbs;
    double score = 0.0;
    for (VRN_bsFamily& f : families_) score += FamilyScore(f);
    for (;;) {
      for (int b = 0; b < n_; ++b) {
        const std::size_t sb = static_cast<std::size_t>(b);
        const int other = bestOther_[sb];
        const bool reuse = bestCurrent_[sb] != 0 && other >= 0 && pairBits_[Index(b, other)] != 0 &&
                           checker_.IsLegal(bestKind_[sb], other, b);
        if (reuse) {
          for (int a = 0; a < n_; ++a) {
            if (a != b && pairBits_[Index(b, a)] == 0) Evaluate(a, b, excluded);
          }
          continue;
        }
        bestDelta_[sb] = kLowest;
        bestKind_[sb] = kNoMove;
        bestOther_[sb] = -1;
        bool anyLegal = false;
        for (int a = 0; a < n_; ++a) {
          if (a == b) continue;
          pairBits_[Index(b, a)] = 0;
          anyLegal = Evaluate(a, b, excluded) || anyLegal;
        }
        bestCurrent_[sb] = anyLegal ? 1 : 0;
      }
      int chosen = -1;
      for (int b = 0; b < n_; ++b) {
        const std::size_t sb = static_cast<std::size_t>(b);
        if (bestKind_[sb] == kNoMove) continue;
        if (chosen < 0 || bestDelta_[sb] > bestDelta_[static_cast<std::size_t>(chosen)]) chosen = b;
      }
      // Moves between equivalent graphs differ by rounding only; a margin
      // keeps the climb from turning one arc back and forth for ever.
      if (chosen < 0 || !(bestDelta_[static_cast<std::size_t>(chosen)] > 1e-9 * (1.0 + std::fabs(score)))) {
        break;
      }
      const int b = chosen;
      const std::size_t sb = static_cast<std::size_t>(b);
      const int a = bestOther_[sb];
      const int kind = bestKind_[sb];
      ++stats.movesApplied[kind];
      oldParentsB_ = families_[sb].parents;
      families_[sb] = candidateB_[sb];
      if (kind == kDelete) {
        graph_[Index(a, b)] = 0;
      } else {
        graph_[Index(a, b)] = 1;
      }
      DropPairsOf(b, oldParentsB_, a);
      if (kind == kReverse) {
        const std::size_t sa = static_cast<std::size_t>(a);
        graph_[Index(b, a)] = 0;
        oldParentsA_ = families_[sa].parents;
        families_[sa] = candidateA_[sb];
        DropPairsOf(a, oldParentsA_, b);
      }
      checker_.SetGraph(graph_);
      score += bestDelta_[sb];
    }
    // The sum of the families, free of the deltas' rounding.
    score = 0.0;
    for (VRN_bsFamily& f : families_) score += FamilyScore(f);
    return score;
  }

  const VRN_bayesianSearch& opt_;
  const VRN_dataset& data_;
  int n_;
  std::vector<int> arity_;
  std::vector<std::uint8_t> knowledge_;
  VRN_countCache cache_;
  VRN_randomGenerator rng_;
  VRN_bsMoveChecker checker_;
  VRN_bsScratch scratch_;
  std::vector<std::uint8_t> graph_;
  std::vector<VRN_bsFamily> families_;
  std::vector<VRN_bsFamily> candidateB_;
  std::vector<VRN_bsFamily> candidateA_;
  VRN_bsFamily trialB_;
  VRN_bsFamily trialA_;
  std::vector<double> bestDelta_;
  std::vector<int> bestOther_;
  std::vector<int> bestKind_;
  std::vector<std::uint8_t> bestCurrent_;
  std::vector<std::uint8_t> pairBits_;  // [b * n + a]: (a, b) evaluated and current
  std::vector<int> oldParentsA_;
  std::vector<int> oldParentsB_;
  std::vector<std::uint8_t> visited_;
  std::vector<int> stack_;
};

namespace {

int Refuse(VRN_network& net, const std::string& message) {
  return net.ErrorLog()->LogError(qelta::kErrGeneral, message.c_str());
}

// The knowledge as an n x n matrix (0 free, 1 forced, 2 forbidden), empty
// when it holds nothing. "" or the reason it cannot be used.
std::string KnowledgeMatrix(const VRN_bkKnowledge& bk, int n, std::vector<std::uint8_t>& m) {
  m.clear();
  if (bk.forcedArcs.empty() && bk.forbiddenArcs.empty() && bk.tiers.empty() && bk.twoWayPairs.empty()) {
    return "";
  }
  auto inside = [n](int v) { return v >= 0 && v < n; };
  for (const auto* list : {&bk.forcedArcs, &bk.forbiddenArcs, &bk.twoWayPairs}) {
    for (const auto& arc : *list) {
      if (!inside(arc.first) || !inside(arc.second) || arc.first == arc.second) {
        return "BS: background knowledge names an arc outside the data's variables";
      }
    }
  }
  for (const auto& tier : bk.tiers) {
    if (!inside(tier.first)) return "BS: background knowledge names a variable outside the data";
  }
  const std::size_t nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
  m.assign(nn, 0);
  auto at = [&](int a, int b) -> std::uint8_t& {
    return m[static_cast<std::size_t>(a) * static_cast<std::size_t>(n) + static_cast<std::size_t>(b)];
  };
  for (int x = 0; x < n; ++x) at(x, x) = 2;
  for (const auto& arc : bk.forcedArcs) at(arc.first, arc.second) = 1;
  for (const auto& arc : bk.forbiddenArcs) at(arc.first, arc.second) = 2;
  for (const auto& pair : bk.twoWayPairs) {
    at(pair.first, pair.second) = 1;
    at(pair.second, pair.first) = 1;
  }
  // No arc leads from a later tier to an earlier one. A variable without an
  // entry is in tier 0, so it takes part as much as one placed there; a
  // variable's first entry is its tier, as the knowledge itself answers.
  if (!bk.tiers.empty()) {
    std::vector<int> tier(static_cast<std::size_t>(n), 0);
    std::vector<std::uint8_t> placed(static_cast<std::size_t>(n), 0);
    for (const auto& entry : bk.tiers) {
      const auto v = static_cast<std::size_t>(entry.first);
      if (placed[v] != 0) continue;
      placed[v] = 1;
      tier[v] = entry.second;
    }
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b < n; ++b) {
        if (tier[static_cast<std::size_t>(a)] > tier[static_cast<std::size_t>(b)]) at(a, b) = 2;
      }
    }
  }
  // Forced arcs that close a cycle would leave every move refused.
  std::vector<int> indegree(static_cast<std::size_t>(n), 0);
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      if (a != b && at(a, b) == 1) ++indegree[static_cast<std::size_t>(b)];
    }
  }
  std::vector<int> ready;
  for (int x = 0; x < n; ++x) {
    if (indegree[static_cast<std::size_t>(x)] == 0) ready.push_back(x);
  }
  int placed = 0;
  while (!ready.empty()) {
    const int x = ready.back();
    ready.pop_back();
    ++placed;
    for (int b = 0; b < n; ++b) {
      if (b != x && at(x, b) == 1 && --indegree[static_cast<std::size_t>(b)] == 0) ready.push_back(b);
    }
  }
  if (placed != n) return "BS: the forced arcs of the background knowledge form a cycle";
  return "";
}

}  // namespace

int VRN_bayesianSearch::Learn(const VRN_dataset& data, VRN_network& net, VRN_progress* progress,
                              VRN_bsIterationCallback* callback, double* bestScore,
                              int* bestIteration, double* logLikelihood) const {
  if (progress != nullptr && !progress->Tick(-1.0, "Bayesian Search: initializing...")) {
    return qelta::kErrCancelled;
  }
  VRN_dataset work = data;
  const std::string problem = VRN_CountingDataProblem(work, "BS");
  if (!problem.empty()) return Refuse(net, problem);
  const int n = work.GetVariableCount();
  std::vector<std::uint8_t> knowledge;
  const std::string bkProblem = KnowledgeMatrix(bkKnowledge, n, knowledge);
  if (!bkProblem.empty()) return Refuse(net, bkProblem);

  work.BuildNetwork(net);
  std::vector<VRN_dataMatch> matches;
  std::string errorText;
  const int matched = work.MatchNetwork(net, matches, errorText);
  if (matched != qelta::kOk) {
    net.ErrorLog()->LogError(matched, errorText.c_str());
    return qelta::kErrGeneral;
  }
  if (progress != nullptr && !progress->Tick(-1.0, "Bayesian Search: searching...")) {
    return qelta::kErrCancelled;
  }
  std::vector<int> arity(static_cast<std::size_t>(n));
  for (int v = 0; v < n; ++v) arity[static_cast<std::size_t>(v)] = net.GetNode(v)->Definition()->GetNumberOfOutcomes();

  auto search = std::make_unique<VRN_bsSearch>(*this, work, arity, knowledge);
  const int status = search->Run(net, work, matches, progress, callback);
  if (statistics != nullptr) *statistics = search->stats;
  if (status != qelta::kOk) return status;
  if (progress != nullptr && !progress->Tick(-1.0, "Bayesian Search: learning parameters...")) {
    return qelta::kErrCancelled;
  }
  if (bestScore != nullptr) *bestScore = search->bestIteration >= 0 ? search->bestScore : 0.0;
  if (bestIteration != nullptr) *bestIteration = search->bestIteration;
  if (search->bestIteration >= 0) search->AddArcs(net, search->bestGraph);
  const int counted = VRN_CountParameters(net, work, matches, logLikelihood, 0.0);
  if (counted != qelta::kOk) return counted;
  if (layoutAfterLearning) {
    VRN_layoutOptions layout;
    layout.fixedSize = 1;
    layout.width = 72;
    layout.height = 48;
    net.Layout(&layout);
  }
  return qelta::kOk;
}
