// Tree-augmented naive Bayes and Kruskal's spanning tree.
#include "learning/tan.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "learning/count_cache.h"
#include "learning/count_parameters.h"
#include "learning/progress.h"
#include "network/network.h"

std::vector<VRN_mstEdge> VRN_mst_kruskal::Run(const std::vector<VRN_mstEdge>& edges, int nodeCount,
                                              bool maximize) {
  std::vector<VRN_mstEdge> sorted = edges;
  std::stable_sort(sorted.begin(), sorted.end(), [maximize](const VRN_mstEdge& x, const VRN_mstEdge& y) {
    return maximize ? x.weight > y.weight : x.weight < y.weight;
  });
  std::vector<int> parent(static_cast<std::size_t>(std::max(nodeCount, 0)));
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&parent](int x) {
    while (parent[static_cast<std::size_t>(x)] != x) {
      parent[static_cast<std::size_t>(x)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
      x = parent[static_cast<std::size_t>(x)];
    }
    return x;
  };
  std::vector<VRN_mstEdge> tree;
  for (const VRN_mstEdge& e : sorted) {
    const int ra = find(e.a);
    const int rb = find(e.b);
    if (ra == rb) continue;
    parent[static_cast<std::size_t>(ra)] = rb;
    tree.push_back(e);
  }
  return tree;
}

int VRN_tan::Learn(VRN_dataset& data, VRN_network& net, VRN_progress* progress,
                   double* logLikelihood) const {
  qelta::Deadline deadline(maxSearchTime);
  const int classVar = data.FindVariable(classVariableId);
  if (classVar < 0) {
    const std::string message = "TAN: class variable not found - " + classVariableId;
    return net.ErrorLog()->LogError(qelta::kErrIllegalIdentifier, message.c_str());
  }
  const std::string problem = VRN_CountingDataProblem(data, "TAN");
  if (!problem.empty()) {
    return net.ErrorLog()->LogError(qelta::kErrGeneral, problem.c_str());
  }
  data.BuildNetwork(net);
  auto time_limit_reached = [&]() {
    const std::string message =
        "TAN: time limit of " + std::to_string(maxSearchTime) + " s reached";
    return net.ErrorLog()->LogError(qelta::kErrCancelled, message.c_str());
  };
  auto checkpoint = [&]() {
    if (progress != nullptr && !progress->Tick(-1.0, nullptr)) return qelta::kErrCancelled;
    return deadline.Passed() ? time_limit_reached() : qelta::kOk;
  };
  if (const int status = checkpoint(); status != qelta::kOk) return status;

  const int n = data.GetVariableCount();
  std::vector<VRN_mstEdge> edges;
  {
    VRN_countCache cache(data);
    if (countCacheLimit != 0) cache.memory_limit = countCacheLimit;
    const int classArity = cache.GetArity(classVar);
    // One query buffer for every count, so that the loops allocate nothing.
    std::vector<VRN_countCache::Pair> query;
    query.reserve(3);
    auto count = [&](int c, int a, int x, int b, int y) {
      query.clear();
      query.emplace_back(classVar, c);
      if (a >= 0) query.emplace_back(a, x);
      if (b >= 0) query.emplace_back(b, y);
      return static_cast<double>(cache.GetCount(query));
    };
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b < n; ++b) {
        if (a == b || a == classVar || b == classVar) continue;
        if (deadline.Passed()) return time_limit_reached();
        double weight = 0.0;
        for (int c = 0; c < classArity; ++c) {
          const double nc = count(c, -1, 0, -1, 0);
          if (nc == 0) continue;
          for (int x = 0; x < cache.GetArity(a); ++x) {
            const double ncx = count(c, a, x, -1, 0);
            if (ncx == 0) continue;
            for (int y = 0; y < cache.GetArity(b); ++y) {
              const double ncxy = count(c, a, x, b, y);
              if (ncxy == 0) continue;
              const double ncy = count(c, -1, 0, b, y);
              weight += ncxy * (std::log2(nc) + std::log2(ncxy) - std::log2(ncx) - std::log2(ncy));
            }
          }
        }
        edges.push_back(VRN_mstEdge{weight, a, b});
      }
    }
  }
  if (const int status = checkpoint(); status != qelta::kOk) return status;
  VRN_mst_kruskal kruskal;
  std::vector<VRN_mstEdge> tree = kruskal.Run(edges, n, true);
  if (const int status = checkpoint(); status != qelta::kOk) return status;

  VRN_randomGenerator rng(randSeed);
  int root = static_cast<int>(rng.NextInt(static_cast<unsigned>(n)));
  while (root == classVar) root = static_cast<int>(rng.NextInt(static_cast<unsigned>(n)));
  std::vector<bool> reached(static_cast<std::size_t>(n), false);
  reached[static_cast<std::size_t>(root)] = true;
  for (bool found = true; found && !tree.empty();) {
    if (deadline.Passed()) return time_limit_reached();
    found = false;
    for (auto e = tree.begin(); e != tree.end(); ++e) {
      const bool ra = reached[static_cast<std::size_t>(e->a)];
      const bool rb = reached[static_cast<std::size_t>(e->b)];
      if (!ra && !rb) continue;
      const int from = ra ? e->a : e->b;
      const int to = ra ? e->b : e->a;
      (void)net.AddArc(from, to);
      reached[static_cast<std::size_t>(to)] = true;
      tree.erase(e);
      found = true;
      break;
    }
  }
  for (int v = 0; v < n; ++v) {
    if (v != classVar) (void)net.AddArc(classVar, v);
  }
  if (const int status = checkpoint(); status != qelta::kOk) return status;

  std::vector<VRN_dataMatch> matches;
  std::string errorText;
  const int matched = data.MatchNetwork(net, matches, errorText);
  if (matched != qelta::kOk) return net.ErrorLog()->LogError(matched, errorText.c_str());
  const int counted = VRN_CountParameters(net, data, matches, logLikelihood, 0.0);
  if (counted != qelta::kOk) return counted;
  (void)net.CircleLayout(classVar);
  return qelta::kOk;
}
