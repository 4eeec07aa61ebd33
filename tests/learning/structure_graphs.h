// Graph comparisons and an independent BDeu score for the structure-learning
// tests.
#ifndef QELTA_TESTS_LEARNING_STRUCTURE_GRAPHS_H_
#define QELTA_TESTS_LEARNING_STRUCTURE_GRAPHS_H_

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "learning/dataset.h"
#include "network/network.h"
#include "network/node.h"

namespace structgraph {

using Arcs = std::set<std::pair<std::string, std::string>>;  // (parent id, child id)

inline Arcs ArcsOf(const VRN_network& net) {
  Arcs arcs;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_intArray& parents = net.GetNode(h)->Parents();
    for (int p = 0; p < parents.GetSize(); ++p) {
      arcs.emplace(net.GetNode(parents[p])->GetId(), net.GetNode(h)->GetId());
    }
  }
  return arcs;
}

struct Comparison {
  int missing = 0;   // true adjacencies absent
  int extra = 0;     // learned adjacencies not in the truth
  int reversed = 0;  // adjacent both, opposite directions
};

inline Comparison Compare(const Arcs& truth, const Arcs& learned) {
  Comparison c;
  for (const auto& arc : truth) {
    const bool same = learned.count(arc) != 0;
    const bool back = learned.count({arc.second, arc.first}) != 0;
    if (!same && !back) ++c.missing;
    if (back && !same) ++c.reversed;
  }
  for (const auto& arc : learned) {
    if (truth.count(arc) == 0 && truth.count({arc.second, arc.first}) == 0) ++c.extra;
  }
  return c;
}

// BDeu of one family by ln-gamma, counting straight from the data.
inline double FamilyBdeu(const VRN_dataset& data, const std::vector<int>& arity, int node,
                         const std::vector<int>& parents, double ess, double prior) {
  long q = 1;
  for (int p : parents) q *= arity[static_cast<std::size_t>(p)];
  const int r = arity[static_cast<std::size_t>(node)];
  std::vector<double> counts(static_cast<std::size_t>(q * r), 0.0);
  for (int rec = 0; rec < data.GetRecordCount(); ++rec) {
    long j = 0;
    for (int p : parents) j = j * arity[static_cast<std::size_t>(p)] + data.GetInt(p, rec);
    counts[static_cast<std::size_t>(j * r + data.GetInt(node, rec))] += 1;
  }
  const double alpha = ess / (static_cast<double>(q) * r);
  double score = 0.0;
  for (long j = 0; j < q; ++j) {
    double nj = 0.0;
    for (int s = 0; s < r; ++s) {
      const double c = counts[static_cast<std::size_t>(j * r + s)];
      score += std::lgamma(alpha + c) - std::lgamma(alpha);
      nj += c;
    }
    score -= std::lgamma(r * alpha + nj) - std::lgamma(r * alpha);
  }
  const int n = static_cast<int>(arity.size());
  const int k = static_cast<int>(parents.size());
  return score + k * std::log(prior) + (n - 1 - k) * std::log(1 - prior);
}

}  // namespace structgraph

#endif  // QELTA_TESTS_LEARNING_STRUCTURE_GRAPHS_H_
