// Polytree propagation, algorithm code 2 (see bn_routines.h).
//
// Pearl's lambda and pi messages on a singly connected network, scheduled
// without recursion: every connected component is walked breadth-first
// from its first node in topological order; messages go towards that root
// in reverse walk order and back out in walk order, so each arc carries
// each message once and every message a node sends is computed from
// messages it has already received. Messages are scaled to sum 1; one
// summing to zero means the component's evidence is impossible.
#include <algorithm>
#include <cassert>
#include <memory>
#include <new>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/bn_routines.h"
#include "inference/clustering_engine.h"
#include "inference/relevance.h"
#include "inference/table_columns.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr const char* kNotSinglyConnected =
    "PolyTree algorithm can not be applied to this network, because it is "
    "not singly connected.";

}  // namespace

// The working record of one node during polytree propagation.
struct VRN_polytreeNode {
  VRN_node* node = nullptr;
  const double* table = nullptr;  // parents' dimensions first, own last
  int outcomes = 0;
  int evidence = -1;
  std::vector<int> parents;   // object indices, in the node's parent order
  std::vector<int> children;  // object indices, in the node's child order
  // This node's position in each parent's children list.
  std::vector<int> slotAtParent;
  std::vector<int> slotAtChild;  // its position in each child's parents
  std::vector<double> local;     // evidence indicator times likelihood
  std::vector<double> pi;        // causal support
  std::vector<std::vector<double>> piIn;      // per parent, parent's states
  std::vector<std::vector<double>> lambdaIn;  // per child, own states
};

namespace {

class Polytree {
 public:
  explicit Polytree(VRN_network* network) : network_(network) {}

  // Builds the objects; kErrOutOfRange (logged) when a table does not
  // match.
  int Build();
  // Propagates and writes beliefs; the update's status.
  int Run();

 private:
  // Scales v to sum 1; false when it sums to 0 (or is not finite).
  static bool Scale(std::vector<double>* v);
  // Logs that node's table does not fit its parents; kErrOutOfRange.
  int Unfit(const VRN_node& node);
  void ComputePi(VRN_polytreeNode* x);
  // lambda(x): local times every child's message except `except` (-1: all).
  void Lambda(const VRN_polytreeNode& x, int except, std::vector<double>* out);
  bool SendPi(int x, int child_slot);
  bool SendLambda(int x, int parent_slot);
  void WriteComponent(const std::vector<int>& component, bool impossible,
                      int* status);

  VRN_network* network_;
  std::vector<VRN_polytreeNode> objects_;
  // Normalised copies of stored tables whose columns are not distributions.
  std::vector<std::unique_ptr<VRN_matrix>> normalised_;
  std::vector<int> odometer_;
  std::vector<double> work_;
};

int Polytree::Build() {
  const VRN_intArray& order = network_->PartialOrder();
  const int slots = network_->GetSlotCount();
  std::vector<int> object_of(slots > 0 ? slots : 0, -1);
  objects_.resize(order.GetSize());
  for (int i = 0; i < order.GetSize(); ++i) object_of[order[i]] = i;
  size_t most_parents = 1, most_outcomes = 1;
  for (int i = 0; i < order.GetSize(); ++i) {
    VRN_polytreeNode& x = objects_[i];
    x.node = network_->GetNode(order[i]);
    const VRN_matrix* table = x.node->Definition()->GetExpandedDefinition();
    // An equation's discretized table has no dimension for a parent it
    // takes as a fixed value; relevance reasoning cuts those arcs too.
    const bool equation =
        x.node->Definition()->GetType() == qelta::kDefEquation;
    std::vector<int> parents;
    for (int p : x.node->Parents()) {
      if (!equation || !VRN_IsFixedForEquations(network_, p)) {
        parents.push_back(p);
      }
    }
    const int parent_count = static_cast<int>(parents.size());
    if (table == nullptr || table->GetDimensionCount() != parent_count + 1) {
      return Unfit(*x.node);
    }
    // Every algorithm computes with distributions, whatever the stored
    // columns sum to: the same normalised columns relevance reasoning uses.
    if (qelta::ClassifyColumns(*table) == qelta::kColumnsUnnormalised) {
      normalised_.push_back(std::make_unique<VRN_matrix>(*table));
      (void)normalised_.back()->Normalize();
      table = normalised_.back().get();
    }
    x.table = table->GetItems().Items();
    x.outcomes = table->GetSize(parent_count);
    for (int k = 0; k < parent_count; ++k) {
      const int p = object_of[parents[k]];
      // Parents come first in the order, so their counts are known.
      if (p < 0 || p >= i || objects_[p].outcomes != table->GetSize(k)) {
        return Unfit(*x.node);
      }
      x.parents.push_back(p);
      x.piIn.emplace_back(objects_[p].outcomes, 1.0);
    }
    const bool fixed = VRN_IsFixedForEquations(network_, order[i]);
    for (int c : x.node->Children()) {
      if (fixed && network_->GetNode(c)->Definition()->GetType() ==
                       qelta::kDefEquation) {
        continue;
      }
      x.children.push_back(object_of[c]);
    }
    most_parents = std::max(most_parents, x.parents.size());
    most_outcomes = std::max(most_outcomes, static_cast<size_t>(x.outcomes));
    VRN_nodeVal* value = x.node->Value();
    x.local.assign(x.outcomes, 1.0);
    if (value->HasVirtualEvidence()) {
      VRN_doubleArray likelihood;
      if (value->GetVirtualEvidenceArray(&likelihood) == qelta::kOk &&
          likelihood.GetSize() == x.outcomes) {
        for (int k = 0; k < x.outcomes; ++k) x.local[k] = likelihood[k];
      }
    }
    if (value->HasEvidence()) {
      // An equation node observed at a number is observed at its interval,
      // as relevance reasoning sees it.
      x.evidence = VRN_EvidenceOutcome(network_, order[i]);
      if (x.evidence < 0 || x.evidence >= x.outcomes) {
        return network_->ErrorLog()->Logf(
            qelta::kErrOutOfRange,
            "PolyTree algorithm can not be applied: the evidence of node [%s] "
            "is none of its outcomes",
            x.node->GetId());
      }
      // Likelihoods beside an implied outcome still weigh it.
      const double kept = x.local[x.evidence];
      std::fill(x.local.begin(), x.local.end(), 0.0);
      x.local[x.evidence] = kept;
    }
    x.pi.assign(x.outcomes, 0.0);
    x.lambdaIn.assign(x.children.size(), std::vector<double>(x.outcomes, 1.0));
  }
  for (int i = 0; i < static_cast<int>(objects_.size()); ++i) {
    VRN_polytreeNode& x = objects_[i];
    for (int p : x.parents) {
      const std::vector<int>& siblings = objects_[p].children;
      const auto it = std::find(siblings.begin(), siblings.end(), i);
      if (it == siblings.end()) return qelta::kErrNoItem;
      x.slotAtParent.push_back(static_cast<int>(it - siblings.begin()));
    }
    for (int c : x.children) {
      const std::vector<int>& co = objects_[c].parents;
      const auto it = std::find(co.begin(), co.end(), i);
      if (it == co.end()) return qelta::kErrNoItem;
      x.slotAtChild.push_back(static_cast<int>(it - co.begin()));
    }
  }
  odometer_.assign(most_parents, 0);
  work_.assign(most_outcomes, 0.0);
  return qelta::kOk;
}

int Polytree::Unfit(const VRN_node& node) {
  return network_->ErrorLog()->Logf(
      qelta::kErrOutOfRange,
      "PolyTree algorithm can not be applied: the table of node [%s] does "
      "not fit its parents",
      node.GetId());
}

bool Polytree::Scale(std::vector<double>* v) {
  double sum = 0.0;
  for (double d : *v) sum += d;
  if (!(sum > 0.0) || !(sum < 1e300)) return false;
  for (double& d : *v) d /= sum;
  return true;
}

void Polytree::ComputePi(VRN_polytreeNode* x) {
  const int k = x->outcomes;
  const int n = static_cast<int>(x->parents.size());
  std::fill(x->pi.begin(), x->pi.end(), 0.0);
  std::fill(odometer_.begin(), odometer_.begin() + n, 0);
  const double* column = x->table;
  for (;;) {
    double w = 1.0;
    for (int i = 0; i < n && w != 0.0; ++i) w *= x->piIn[i][odometer_[i]];
    if (w != 0.0) {
      for (int s = 0; s < k; ++s) x->pi[s] += w * column[s];
    }
    column += k;
    int i = n - 1;
    for (; i >= 0; --i) {
      if (++odometer_[i] < static_cast<int>(x->piIn[i].size())) break;
      odometer_[i] = 0;
    }
    if (i < 0) break;
  }
}

void Polytree::Lambda(const VRN_polytreeNode& x, int except,
                      std::vector<double>* out) {
  out->assign(x.local.begin(), x.local.end());
  for (size_t c = 0; c < x.children.size(); ++c) {
    if (static_cast<int>(c) == except) continue;
    const std::vector<double>& m = x.lambdaIn[c];
    for (int s = 0; s < x.outcomes; ++s) (*out)[s] *= m[s];
  }
}

bool Polytree::SendPi(int xi, int child_slot) {
  VRN_polytreeNode& x = objects_[xi];
  std::vector<double>& message =
      objects_[x.children[child_slot]].piIn[x.slotAtChild[child_slot]];
  Lambda(x, child_slot, &message);
  for (int s = 0; s < x.outcomes; ++s) message[s] *= x.pi[s];
  return Scale(&message);
}

bool Polytree::SendLambda(int xi, int parent_slot) {
  VRN_polytreeNode& x = objects_[xi];
  std::vector<double> lambda;
  Lambda(x, -1, &lambda);
  std::vector<double>& message =
      objects_[x.parents[parent_slot]].lambdaIn[x.slotAtParent[parent_slot]];
  std::fill(message.begin(), message.end(), 0.0);
  const int k = x.outcomes;
  const int n = static_cast<int>(x.parents.size());
  std::fill(odometer_.begin(), odometer_.begin() + n, 0);
  const double* column = x.table;
  for (;;) {
    double w = 1.0;
    for (int i = 0; i < n && w != 0.0; ++i) {
      if (i != parent_slot) w *= x.piIn[i][odometer_[i]];
    }
    if (w != 0.0) {
      double s = 0.0;
      for (int o = 0; o < k; ++o) s += lambda[o] * column[o];
      message[odometer_[parent_slot]] += w * s;
    }
    column += k;
    int i = n - 1;
    for (; i >= 0; --i) {
      if (++odometer_[i] < static_cast<int>(x.piIn[i].size())) break;
      odometer_[i] = 0;
    }
    if (i < 0) break;
  }
  return Scale(&message);
}

void Polytree::WriteComponent(const std::vector<int>& component,
                              bool impossible, int* status) {
  std::vector<double> belief;
  bool logged = false;
  for (int xi : component) {
    VRN_polytreeNode& x = objects_[xi];
    VRN_nodeVal* value = x.node->Value();
    VRN_matrix& out = value->GetMutableValue();
    if (x.evidence >= 0) {
      // An observed node keeps the point mass of its evidence.
      if (value->ShapeAsBeliefs(x.outcomes) != qelta::kOk) continue;
      out.FillWith(0.0);
      out.GetItems()[x.evidence] = 1.0;
      value->AddFlags(qelta::kValFlagValid);
      value->SetUpdateTag(0);
      continue;
    }
    if (!impossible) {
      ComputePi(&x);
      Lambda(x, -1, &belief);
      for (int s = 0; s < x.outcomes; ++s) belief[s] *= x.pi[s];
      if (Scale(&belief) && value->ShapeAsBeliefs(x.outcomes) == qelta::kOk) {
        for (int s = 0; s < x.outcomes; ++s) out.GetItems()[s] = belief[s];
        value->AddFlags(qelta::kValFlagValid);
        value->SetUpdateTag(0);
        continue;
      }
    }
    qelta::LogZeroMarginal(network_, x.node->Handle());
    logged = true;
    value->Invalidate();
    *status = qelta::kErrZeroMarginal;
  }
  if (impossible && !logged) {
    // Every node observed: the evidence itself is what cannot happen.
    qelta::LogZeroMarginal(network_, objects_[component[0]].node->Handle());
    *status = qelta::kErrZeroMarginal;
  }
}

int Polytree::Run() {
  const int n = static_cast<int>(objects_.size());
  std::vector<int> up(n, -1);       // tree neighbour towards the root
  std::vector<int> up_slot(n, -1);  // >= 0 parent slot, < 0: -(child slot)-1
  std::vector<bool> seen(n, false);
  std::vector<int> walk;
  walk.reserve(n);
  int status = qelta::kOk;
  for (int root = 0; root < n; ++root) {
    if (seen[root]) continue;
    walk.clear();
    walk.push_back(root);
    seen[root] = true;
    for (size_t q = 0; q < walk.size(); ++q) {
      const int xi = walk[q];
      const VRN_polytreeNode& x = objects_[xi];
      for (size_t k = 0; k < x.parents.size(); ++k) {
        const int p = x.parents[k];
        if (seen[p]) continue;
        seen[p] = true;
        up[p] = xi;
        up_slot[p] = -x.slotAtParent[k] - 1;  // p reaches xi as its child
        walk.push_back(p);
      }
      for (size_t k = 0; k < x.children.size(); ++k) {
        const int c = x.children[k];
        if (seen[c]) continue;
        seen[c] = true;
        up[c] = xi;
        up_slot[c] = x.slotAtChild[k];  // c reaches xi as its parent
        walk.push_back(c);
      }
    }
    bool ok = true;
    // Towards the root: each node has heard from everything below it.
    for (size_t q = walk.size(); q-- > 1 && ok;) {
      const int xi = walk[q];
      if (up_slot[xi] >= 0) {
        ok = SendLambda(xi, up_slot[xi]);
      } else {
        ComputePi(&objects_[xi]);
        ok = SendPi(xi, -up_slot[xi] - 1);
      }
    }
    // The root has heard from everything: its support sums to zero exactly
    // when the component's evidence is impossible, observed nodes included.
    if (ok) {
      std::vector<double> support;
      ComputePi(&objects_[root]);
      Lambda(objects_[root], -1, &support);
      double z = 0.0;
      for (int s = 0; s < objects_[root].outcomes; ++s) {
        z += support[s] * objects_[root].pi[s];
      }
      ok = z > 0.0;
    }
    // Back out: now each node has heard from all its neighbours but the
    // ones it is about to tell.
    for (size_t q = 0; q < walk.size() && ok; ++q) {
      const int xi = walk[q];
      VRN_polytreeNode& x = objects_[xi];
      ComputePi(&x);
      for (size_t k = 0; k < x.parents.size() && ok; ++k) {
        if (x.parents[k] != up[xi]) ok = SendLambda(xi, static_cast<int>(k));
      }
      for (size_t k = 0; k < x.children.size() && ok; ++k) {
        if (x.children[k] != up[xi]) ok = SendPi(xi, static_cast<int>(k));
      }
    }
    WriteComponent(walk, !ok, &status);
  }
  return status;
}

}  // namespace

int VRN_UpdatePolytree(VRN_network* network) {
  if (!network->IsSinglyConnected()) {
    return network->ErrorLog()->LogError(qelta::kErrGeneral,
                                         kNotSinglyConnected);
  }
  try {
    Polytree tree(network);
    const int rc = tree.Build();
    if (rc != qelta::kOk) return rc;
    return tree.Run();
  } catch (const std::bad_alloc&) {
    return qelta::kErrOutOfMemory;
  }
}
