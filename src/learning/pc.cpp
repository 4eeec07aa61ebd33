// PC: adjacency search by conditional independence tests, then orientation.
#include "learning/pc.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "learning/count_cache.h"
#include "learning/dataset.h"
#include "learning/independence_test.h"
#include "learning/pattern.h"
#include "learning/progress.h"

namespace {

// The reason the data cannot be used, or "".
std::string DataProblem(const VRN_dataset& data) {
  const int records = data.GetRecordCount();
  const int n = data.GetVariableCount();
  if (records < 3) return "PC: too few data points";
  if (n < 2) return "PC: too few variables";
  bool discrete = false;
  bool continuous = false;
  for (int v = 0; v < n; ++v) (data.GetVariable(v).discrete ? discrete : continuous) = true;
  if (discrete && continuous) return "PC: a mix of continuous and discrete variables is not allowed";
  std::string constants;
  for (int v = 0; v < n; ++v) {
    const bool isInt = data.GetVariable(v).discrete;
    auto value = [&](int r) {
      return isInt ? static_cast<double>(data.GetInt(v, r)) : static_cast<double>(data.GetFloat(v, r));
    };
    const double first = value(0);
    bool constant = true;
    for (int r = 1; r < records && constant; ++r) constant = value(r) == first;
    if (constant && !std::isnan(first)) constants += " " + data.GetVariable(v).id;
  }
  if (!constants.empty()) return "PC: constant not allowed:" + constants;
  for (int r = 0; r < records; ++r) {
    for (int v = 0; v < n; ++v) {
      if (data.IsMissing(v, r)) return "PC: missing values not allowed";
    }
  }
  return "";
}

// Column arities for counting: state-name count or largest value + 1; a
// column with a negative value or an arity above the record count is
// re-coded over its distinct values (in the copy, made on first need).
std::vector<int> CountingArities(const VRN_dataset& data, std::unique_ptr<VRN_dataset>& recoded) {
  const int n = data.GetVariableCount();
  const int records = data.GetRecordCount();
  std::vector<int> arity(static_cast<std::size_t>(n));
  for (int v = 0; v < n; ++v) {
    long long largest = -1;
    int smallest = 0;
    for (int r = 0; r < records; ++r) {
      largest = std::max<long long>(largest, data.GetInt(v, r));
      smallest = std::min(smallest, data.GetInt(v, r));
    }
    const long long names = static_cast<long long>(data.GetVariable(v).stateNames.size());
    const long long wanted = std::max(names, largest + 1);
    if (smallest >= 0 && wanted <= records) {
      arity[static_cast<std::size_t>(v)] = static_cast<int>(wanted);
      continue;
    }
    if (!recoded) recoded = std::make_unique<VRN_dataset>(data);
    std::vector<int> distinct;
    for (int r = 0; r < records; ++r) distinct.push_back(data.GetInt(v, r));
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (int r = 0; r < records; ++r) {
      const int value = data.GetInt(v, r);
      recoded->SetInt(v, r, static_cast<int>(std::lower_bound(distinct.begin(), distinct.end(), value) -
                                             distinct.begin()));
    }
    arity[static_cast<std::size_t>(v)] = static_cast<int>(distinct.size());
  }
  return arity;
}

// What the search and the orientation answer when the time limit passed.
constexpr int kTimeLimitReached = qelta::kErrCancelled;

class PcSearch {
 public:
  PcSearch(const VRN_pc& options, int n, VRN_progress* progress)
      : opt_(options), n_(n), progress_(progress), deadline_(options.maxSearchTime) {
    const std::size_t nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    graph_.assign(nn, 1);
    for (int x = 0; x < n; ++x) At(graph_, x, x) = 0;
    sepsets_.assign(nn, {});
    untestable_.assign(nn, 0);
    pairValue_.assign(nn, 0.0);
    degree_.assign(static_cast<std::size_t>(n), n - 1);
    key_.assign(static_cast<std::size_t>(n), 0.0);
    order_.resize(static_cast<std::size_t>(n));
    for (int x = 0; x < n; ++x) order_[static_cast<std::size_t>(x)] = x;
  }

  bool Tick() { return progress_ == nullptr || progress_->Tick(-1.0, nullptr); }
  bool OutOfTime() { return deadline_.Passed(); }

  // One test: p-value or -1; *value receives the pair's mutual information.
  template <typename Test>
  int AdjacencySearch(Test test, int depthLimit, bool discrete, VRN_pcStatistics& stats) {
    for (int d = 0;; ++d) {
      if (d > 0 && (d > n_ - 2 || d > opt_.maxAdjacency || d > depthLimit)) break;
      stats.depthReached = d;
      for (int i = 0; i < n_; ++i) {
        for (int j = i + 1; j < n_; ++j) {
          const int a = order_[static_cast<std::size_t>(i)];
          const int b = order_[static_cast<std::size_t>(j)];
          if (At(graph_, a, b) == 0) continue;
          if (degree_[static_cast<std::size_t>(a)] < d + 1 && degree_[static_cast<std::size_t>(b)] < d + 1) continue;
          double value = 0.0;
          const bool independent = TestPair(test, a, b, d, &value, stats);
          if (OutOfTime()) return kTimeLimitReached;
          if (independent) {
            At(graph_, a, b) = 0;
            At(graph_, b, a) = 0;
            At(sepsets_, b, a) = At(sepsets_, a, b);
            --degree_[static_cast<std::size_t>(a)];
            --degree_[static_cast<std::size_t>(b)];
            if (d > 0) {
              key_[static_cast<std::size_t>(a)] -= At(pairValue_, a, b);
              key_[static_cast<std::size_t>(b)] -= At(pairValue_, a, b);
              At(pairValue_, a, b) = 0.0;
              At(pairValue_, b, a) = 0.0;
            }
          } else if (d == 0) {
            const double stored = discrete ? value : 0.0;
            At(pairValue_, a, b) = stored;
            At(pairValue_, b, a) = stored;
            key_[static_cast<std::size_t>(a)] += stored;
            key_[static_cast<std::size_t>(b)] += stored;
          }
          if (!Tick()) return qelta::kErrCancelled;
        }
      }
      if (discrete) {
        std::stable_sort(order_.begin(), order_.end(), [this](int x, int y) {
          return key_[static_cast<std::size_t>(x)] < key_[static_cast<std::size_t>(y)];
        });
      }
    }
    return qelta::kOk;
  }

  // Orientation from knowledge, v-structures and propagation; fills pattern.
  int Orient(const VRN_bkKnowledge& bk, VRN_pattern& pattern) {
    for (const auto& arc : bk.forcedArcs) {
      At(graph_, arc.first, arc.second) = 2;
      At(graph_, arc.second, arc.first) = 0;
    }
    for (const auto& arc : bk.forbiddenArcs) {
      At(graph_, arc.first, arc.second) = 0;
      if (At(graph_, arc.second, arc.first) == 1) At(graph_, arc.second, arc.first) = 2;
    }
    for (int a = 0; a < n_; ++a) {
      for (int b = 0; b < n_; ++b) {
        if (a == b || At(graph_, a, b) != 1 || At(graph_, b, a) != 1) continue;
        if (bk.GetTier(a) < bk.GetTier(b)) {
          At(graph_, a, b) = 2;
          At(graph_, b, a) = 0;
        }
      }
    }
    for (int x = 0; x < n_; ++x) {
      if (OutOfTime()) return kTimeLimitReached;
      for (int z = 0; z < n_; ++z) {
        if (z == x || !Adjacent(x, z)) continue;
        if (!Tick()) return qelta::kErrCancelled;
        for (int y = z + 1; y < n_; ++y) {
          if (y == x || !Adjacent(x, y) || Adjacent(z, y)) continue;
          const std::vector<int>& sep = At(sepsets_, z, y);
          if (std::find(sep.begin(), sep.end(), x) != sep.end()) continue;
          At(graph_, z, x) = 2;
          At(graph_, y, x) = 2;
          if (At(graph_, x, z) == 1) At(graph_, x, z) = 0;
          if (At(graph_, x, y) == 1) At(graph_, x, y) = 0;
        }
      }
    }
    for (int a = 0; a < n_; ++a) {
      for (int b = 0; b < n_; ++b) {
        if (a != b && At(graph_, a, b) == 2 && bk.GetTier(b) < bk.GetTier(a)) At(graph_, a, b) = 0;
      }
    }
    // Pairs on a common directed cycle become undirected (only when joined).
    for (int a = 0; a < n_; ++a) {
      for (int b = 0; b < n_; ++b) {
        if (a == b || !Adjacent(a, b)) continue;
        if (OutOfTime()) return kTimeLimitReached;
        if (Reaches(a, b) && Reaches(b, a)) {
          At(graph_, a, b) = 1;
          At(graph_, b, a) = 1;
        }
      }
    }
    for (bool changed = true; changed;) {
      changed = false;
      if (!Tick()) return qelta::kErrCancelled;
      for (int b = 0; b < n_; ++b) {
        for (int a = 0; a < n_; ++a) {
          if (OutOfTime()) return kTimeLimitReached;
          for (int c = a + 1; c < n_; ++c) {
            if (a == b || c == b || Adjacent(a, c)) continue;
            if (At(graph_, a, b) == 2 && Undirected(b, c) && !Reaches(c, b)) {
              Direct(b, c);
              changed = true;
            } else if (At(graph_, c, b) == 2 && Undirected(b, a) && !Reaches(a, b)) {
              Direct(b, a);
              changed = true;
            }
          }
        }
      }
      for (int a = 0; a < n_; ++a) {
        for (int c = a + 1; c < n_; ++c) {
          if (!Undirected(a, c)) continue;
          if (OutOfTime()) return kTimeLimitReached;
          const bool forward = Reaches(a, c);
          const bool backward = Reaches(c, a);
          if (forward && !backward) {
            Direct(a, c);
            changed = true;
          } else if (backward && !forward) {
            Direct(c, a);
            changed = true;
          }
        }
      }
    }
    pattern.SetSize(n_);
    for (int a = 0; a < n_; ++a) {
      for (int b = 0; b < n_; ++b) pattern.SetEdge(a, b, At(graph_, a, b));
    }
    return qelta::kOk;
  }

 private:
  template <typename T>
  T& At(std::vector<T>& m, int a, int b) {
    return m[static_cast<std::size_t>(a) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(b)];
  }
  bool Adjacent(int a, int b) { return At(graph_, a, b) != 0 || At(graph_, b, a) != 0; }
  bool Undirected(int a, int b) { return At(graph_, a, b) == 1 && At(graph_, b, a) == 1; }
  void Direct(int a, int b) {
    At(graph_, a, b) = 2;
    At(graph_, b, a) = 0;
  }
  // A directed path from a to b (entries 2 whose reverse is not 2).
  bool Reaches(int a, int b) {
    seen_.assign(static_cast<std::size_t>(n_), 0);
    stack_.assign(1, a);
    seen_[static_cast<std::size_t>(a)] = 1;
    while (!stack_.empty()) {
      const int x = stack_.back();
      stack_.pop_back();
      if (x == b) return true;
      for (int y = 0; y < n_; ++y) {
        if (seen_[static_cast<std::size_t>(y)] || At(graph_, x, y) != 2 || At(graph_, y, x) == 2) continue;
        seen_[static_cast<std::size_t>(y)] = 1;
        stack_.push_back(y);
      }
    }
    return false;
  }
  // y reachable from z along edges without passing through x.
  bool ReachesAvoiding(int z, int y, int x) {
    seen_.assign(static_cast<std::size_t>(n_), 0);
    stack_.assign(1, z);
    seen_[static_cast<std::size_t>(z)] = 1;
    seen_[static_cast<std::size_t>(x)] = 1;
    while (!stack_.empty()) {
      const int v = stack_.back();
      stack_.pop_back();
      if (v == y) return true;
      for (int w = 0; w < n_; ++w) {
        if (seen_[static_cast<std::size_t>(w)] || !Adjacent(v, w)) continue;
        seen_[static_cast<std::size_t>(w)] = 1;
        stack_.push_back(w);
      }
    }
    return false;
  }

  // One side (x, y): the best p-value above alpha over the subsets of d
  // candidates, or -1 when none. *tested tells whether any test ran,
  // *allFailed whether every one answered -1.
  template <typename Test>
  double TestSide(Test& test, int x, int y, int d, std::vector<int>& best, double* value,
                  VRN_pcStatistics& stats) {
    candidates_.clear();
    for (int z = 0; z < n_; ++z) {
      if (z == x || z == y || At(graph_, x, z) != 1) continue;
      if (d >= 2 && !ReachesAvoiding(z, y, x)) continue;
      candidates_.push_back(z);
    }
    const int m = static_cast<int>(candidates_.size());
    if (m < d) return -1.0;
    positions_.resize(static_cast<std::size_t>(d));
    for (int k = 0; k < d; ++k) positions_[static_cast<std::size_t>(k)] = k;
    double bestP = -1.0;
    bool anyCarried = false;
    bool anyRun = false;
    for (;;) {
      // A side may have millions of subsets; the caller sees the limit.
      if (OutOfTime()) break;
      subset_.clear();
      for (int k = 0; k < d; ++k) subset_.push_back(candidates_[static_cast<std::size_t>(positions_[static_cast<std::size_t>(k)])]);
      double information = 0.0;
      const double p = test(x, y, subset_, &information);
      ++stats.testsRun;
      anyRun = true;
      if (p != -1.0) anyCarried = true;
      if (d == 0) *value = information;
      if (p > opt_.significance && p > bestP) {
        bestP = p;
        best = subset_;
      }
      // Next subset in lexicographic order of positions.
      int k = d - 1;
      while (k >= 0 && positions_[static_cast<std::size_t>(k)] == m - d + k) --k;
      if (k < 0) break;
      ++positions_[static_cast<std::size_t>(k)];
      for (int l = k + 1; l < d; ++l) positions_[static_cast<std::size_t>(l)] = positions_[static_cast<std::size_t>(l - 1)] + 1;
    }
    if (anyRun && !anyCarried) At(untestable_, x, y) = 1;
    return bestP;
  }

  template <typename Test>
  bool TestPair(Test& test, int a, int b, int d, double* value, VRN_pcStatistics& stats) {
    double pa = -1.0;
    double pb = -1.0;
    if (At(untestable_, a, b) == 0) pa = TestSide(test, a, b, d, sepA_, value, stats);
    if (d >= 1 && At(untestable_, b, a) == 0) pb = TestSide(test, b, a, d, sepB_, value, stats);
    if (!(pa > opt_.significance) && !(pb > opt_.significance)) return false;
    At(sepsets_, a, b) = pb >= pa ? sepB_ : sepA_;
    return true;
  }

  const VRN_pc& opt_;
  int n_;
  VRN_progress* progress_;
  qelta::Deadline deadline_;
  std::vector<int> graph_;
  std::vector<std::vector<int>> sepsets_;
  std::vector<std::uint8_t> untestable_;
  std::vector<double> pairValue_;
  std::vector<int> degree_;
  std::vector<double> key_;
  std::vector<int> order_;
  std::vector<int> candidates_;
  std::vector<int> positions_;
  std::vector<int> subset_;
  std::vector<int> sepA_;
  std::vector<int> sepB_;
  std::vector<std::uint8_t> seen_;
  std::vector<int> stack_;
};

}  // namespace

int VRN_pc::Learn(const VRN_dataset& data, VRN_pattern& pattern, std::string* errorText,
                  VRN_progress* progress) const {
  auto fail = [errorText](const std::string& text) {
    if (errorText != nullptr) *errorText = text;
    return qelta::kErrGeneral;
  };
  const std::string problem = DataProblem(data);
  if (!problem.empty()) return fail(problem);
  const int n = data.GetVariableCount();
  auto inside = [n](int v) { return v >= 0 && v < n; };
  for (const auto* list : {&bkKnowledge.forcedArcs, &bkKnowledge.forbiddenArcs}) {
    for (const auto& arc : *list) {
      if (!inside(arc.first) || !inside(arc.second) || arc.first == arc.second) {
        return fail("PC: background knowledge names an arc outside the data's variables");
      }
    }
  }
  for (const auto& tier : bkKnowledge.tiers) {
    if (!inside(tier.first)) return fail("PC: background knowledge names a variable outside the data");
  }
  PcSearch search(*this, n, progress);
  if (!search.Tick()) return qelta::kErrCancelled;
  // A pattern from part of the search would be no PC result: a run that
  // reaches the limit answers -99 with the reason.
  auto finish = [&](int status) {
    if (status == kTimeLimitReached && search.OutOfTime() && errorText != nullptr) {
      *errorText = "PC: time limit of " + std::to_string(maxSearchTime) + " s reached";
    }
    return status;
  };
  VRN_pcStatistics stats;
  int status = qelta::kOk;
  if (data.GetVariable(0).discrete) {
    std::unique_ptr<VRN_dataset> recoded;
    std::vector<int> arity = CountingArities(data, recoded);
    VRN_countCache cache(recoded ? *recoded : data, std::move(arity));
    if (countCacheLimit != 0) cache.memory_limit = countCacheLimit;
    const int records = cache.GetRecordCount();
    const int depthLimit = static_cast<int>(std::log(records / 5.0) / std::log(2.0) - 2.0);
    VRN_gSquaredScratch scratch;
    auto test = [&](int x, int y, const std::vector<int>& s, double* information) {
      return VRN_GSquaredTest(x, y, s, cache, scratch, information);
    };
    status = search.AdjacencySearch(test, depthLimit, true, stats);
  } else {
    VRN_correlationData correlations(data);
    if (countCacheLimit != 0) correlations.memory_limit = countCacheLimit;
    auto test = [&](int x, int y, const std::vector<int>& s, double* information) {
      *information = 0.0;
      return correlations.FisherZTest(x, y, s);
    };
    status = search.AdjacencySearch(test, maxAdjacency, false, stats);
  }
  if (statistics != nullptr) *statistics = stats;
  if (status != qelta::kOk) return finish(status);
  return finish(search.Orient(bkKnowledge, pattern));
}
