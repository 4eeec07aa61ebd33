// Shachter's solver: multi-attribute utility nodes become weights on the
// utility tables they combine.
//
// The solver maximises the expected sum of the utility tables, so a MAU
// node can take part only as a constant plus constant multiples of its
// parents: then the whole diagram's utility is a sum over the utility
// tables, each times a coefficient, plus a constant. Coefficients and
// constant may depend on the choices of decisions that are MAU parents; a
// table whose coefficient does so gets those decisions as parents in the
// working copy, and a constant that does so becomes a utility table of its
// own.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "equations/mau.h"
#include "inference/shachter_solver.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// A function of open decisions: one value per configuration of `decisions`
// (handles), the last fastest; one value for none.
struct DecisionTable {
  std::vector<int> decisions;
  std::vector<int> sizes;
  std::vector<double> values = {0.0};

  // The value at coords, which give each decision of `all` its outcome.
  double At(const std::vector<int>& all, const std::vector<int>& coords) const {
    size_t index = 0;
    for (size_t k = 0; k < decisions.size(); ++k) {
      size_t at = 0;
      while (all[at] != decisions[k]) ++at;
      index = index * static_cast<size_t>(sizes[k]) +
              static_cast<size_t>(coords[at]);
    }
    return values[index];
  }
};

// Steps coords through the configurations of sizes, the last fastest;
// false after the last.
bool Next(std::vector<int>& coords, const std::vector<int>& sizes) {
  for (size_t d = coords.size(); d-- > 0;) {
    if (++coords[d] < sizes[d]) return true;
    coords[d] = 0;
  }
  return false;
}

// target += a * b, over the decisions of all three.
void AddProduct(DecisionTable& target, const DecisionTable& a,
                const DecisionTable& b) {
  DecisionTable sum;
  sum.decisions = target.decisions;
  sum.sizes = target.sizes;
  for (const DecisionTable* t : {&a, &b}) {
    for (size_t k = 0; k < t->decisions.size(); ++k) {
      bool known = false;
      for (int d : sum.decisions) known = known || d == t->decisions[k];
      if (known) continue;
      sum.decisions.push_back(t->decisions[k]);
      sum.sizes.push_back(t->sizes[k]);
    }
  }
  sum.values.clear();
  std::vector<int> coords(sum.decisions.size(), 0);
  do {
    sum.values.push_back(target.At(sum.decisions, coords) +
                         a.At(sum.decisions, coords) *
                             b.At(sum.decisions, coords));
  } while (Next(coords, sum.sizes));
  target = std::move(sum);
}

// Drops every decision the values do not vary with.
void DropConstantDecisions(DecisionTable& table) {
  for (size_t k = table.decisions.size(); k-- > 0;) {
    size_t stride = 1;
    for (size_t j = k + 1; j < table.sizes.size(); ++j) {
      stride *= static_cast<size_t>(table.sizes[j]);
    }
    const size_t n = static_cast<size_t>(table.sizes[k]);
    const size_t block = n * stride;
    bool constant = true;
    for (size_t e = 0; e < table.values.size() && constant; ++e) {
      constant = table.values[e] == table.values[e / block * block + e % stride];
    }
    if (!constant) continue;
    std::vector<double> kept;
    for (size_t e = 0; e < table.values.size(); ++e) {
      if (e % block < stride) kept.push_back(table.values[e]);
    }
    table.values = std::move(kept);
    table.decisions.erase(table.decisions.begin() + static_cast<long>(k));
    table.sizes.erase(table.sizes.begin() + static_cast<long>(k));
  }
}

// The weight MAU node `node` gives each of its utility parents (stored in
// *utilities, in parent order) and then its offset, as functions of its
// open decisions; observed decisions stay at their outcome. weights and
// offsets are the node's linear form.
std::vector<DecisionTable> WeighParents(const VRN_network& working,
                                        const VRN_node& node,
                                        const VRN_matrix& weights,
                                        const std::vector<double>& offsets,
                                        std::vector<int>* utilities) {
  const auto* mau = static_cast<const VRN_mau*>(node.Definition());
  std::vector<int> all_sizes;
  std::vector<int> fixed;  // an observed outcome, -1 for an open decision
  DecisionTable open;      // decisions and sizes only
  for (int p : node.Parents()) {
    if (mau->DecisionPosition(p) >= 0) {
      const VRN_nodeVal* value = working.GetNode(p)->Value();
      const int n = working.GetNode(p)->Definition()->GetNumberOfOutcomes();
      all_sizes.push_back(n);
      int outcome = -1;
      if (value->HasEvidence()) {
        outcome = value->GetEvidence();
        if (outcome < 0 || outcome >= n) outcome = 0;
      } else {
        open.decisions.push_back(p);
        open.sizes.push_back(n);
      }
      fixed.push_back(outcome);
    } else if (mau->UtilityPosition(p) >= 0) {
      utilities->push_back(p);
    }
  }
  const size_t n = utilities->size();
  std::vector<DecisionTable> parts(n + 1, open);
  for (DecisionTable& part : parts) part.values.clear();
  std::vector<int> coords(open.decisions.size(), 0);
  do {
    // The configuration's slot among all the decisions' configurations.
    size_t slot = 0;
    for (size_t d = 0, k = 0; d < fixed.size(); ++d) {
      const int c = fixed[d] >= 0 ? fixed[d] : coords[k++];
      slot = slot * static_cast<size_t>(all_sizes[d]) + static_cast<size_t>(c);
    }
    for (size_t j = 0; j < n; ++j) {
      parts[j].values.push_back(weights.GetItem(static_cast<int>(slot * n + j)));
    }
    parts[n].values.push_back(offsets[slot]);
  } while (Next(coords, open.sizes));
  return parts;
}

// Makes every decision of `decisions` a parent of node u.
int AddParents(VRN_network& working, int u, const std::vector<int>& decisions) {
  for (int d : decisions) {
    if (working.GetNode(u)->Parents().Contains(d)) continue;
    const int status = working.AddArc(d, u);
    if (status != qelta::kOk) return status;
  }
  return qelta::kOk;
}

// Gives utility node u the decisions of c as parents and multiplies each
// entry of its table by c at the entry's decisions.
int ScaleTable(VRN_network& working, int u, const DecisionTable& c) {
  const int status = AddParents(working, u, c.decisions);
  if (status != qelta::kOk) return status;
  const VRN_intArray& parents = working.GetNode(u)->Parents();
  const std::vector<int> all(parents.begin(), parents.end());
  VRN_matrix* table = working.GetNode(u)->Definition()->GetMatrix();
  if (table == nullptr || table->GetDimensionCount() != parents.GetSize() + 1) {
    return qelta::kErrOutOfRange;
  }
  const VRN_intArray& dims = table->GetDimensions();
  const std::vector<int> sizes(dims.begin(), dims.end());
  std::vector<int> coords(sizes.size(), 0);
  double* items = table->GetItems().Items();
  size_t e = 0;
  do {
    items[e++] *= c.At(all, coords);
  } while (Next(coords, sizes));
  return qelta::kOk;
}

}  // namespace

bool VRN_ShachterSolver::MauNodesAreLinear() {
  VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node* node = net.GetNode(h);
    if (node->Definition()->GetType() != qelta::kDefMau) continue;
    VRN_matrix weights;
    std::vector<double> offsets;
    int slot = -1;
    if (!static_cast<const VRN_mau*>(node->Definition())
             ->GetLinearForm(&weights, &offsets, &slot)) {
      if (slot < 0) {
        net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                             "Weights of node [%s] do not match its parents",
                             node->GetId());
      } else {
        net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                             "Expression at index %d of node [%s] is not a "
                             "constant plus utilities times constants",
                             slot, node->GetId());
      }
      return false;
    }
  }
  return true;
}

int VRN_ShachterSolver::ApplyMauWeights() {
  // Coefficient of each utility and MAU node in the diagram's utility,
  // by handle; a node without children counts once.
  std::vector<DecisionTable> coefficient(
      static_cast<size_t>(working_.GetSlotCount()));
  DecisionTable constant;
  const VRN_intArray order = working_.PartialOrder();
  for (int i = order.GetSize() - 1; i >= 0; --i) {
    const int h = order[i];
    VRN_node* node = working_.GetNode(h);
    const int type = node->Definition()->GetType();
    if (type != qelta::kDefMau && type != qelta::kDefUtility) continue;
    DecisionTable& own = coefficient[static_cast<size_t>(h)];
    if (node->Children().GetSize() == 0) own.values = {1.0};
    if (type != qelta::kDefMau) continue;
    const auto* mau = static_cast<const VRN_mau*>(node->Definition());
    VRN_matrix weights;
    std::vector<double> offsets;
    int slot = -1;
    if (!mau->GetLinearForm(&weights, &offsets, &slot)) {
      return qelta::kErrOutOfRange;
    }
    std::vector<int> utilities;
    const std::vector<DecisionTable> parts =
        WeighParents(working_, *node, weights, offsets, &utilities);
    const size_t n_utilities = utilities.size();
    AddProduct(constant, own, parts[n_utilities]);
    for (size_t j = 0; j < n_utilities; ++j) {
      AddProduct(coefficient[static_cast<size_t>(utilities[j])], own, parts[j]);
    }
  }
  for (int i = order.GetSize() - 1; i >= 0; --i) {
    if (working_.GetNode(order[i])->Definition()->GetType() == qelta::kDefMau) {
      (void)working_.DeleteNode(order[i]);
    }
  }

  VRN_network& net = *network_;
  // Twice the sum of the largest magnitudes bounds the merged table and
  // its rescaling.
  double total = 0.0;
  auto add_magnitude = [&](int h) {
    const VRN_matrix* table = working_.GetNode(h)->Definition()->GetMatrixConst();
    if (table != nullptr) total += table->GetLargestMagnitude();
    if (std::isfinite(2.0 * total)) return qelta::kOk;
    return net.ErrorLog()->Logf(qelta::kErrOutOfRange,
                                "Utilities of node [%s] are too large: "
                                "expected utilities would overflow",
                                working_.GetNode(h)->GetId());
  };
  for (int h : order) {
    if (!working_.IsValidHandle(h) ||
        working_.GetNode(h)->Definition()->GetType() != qelta::kDefUtility) {
      continue;
    }
    DecisionTable& c = coefficient[static_cast<size_t>(h)];
    DropConstantDecisions(c);
    if (!c.decisions.empty() || c.values[0] != 1.0) {
      const int status = ScaleTable(working_, h, c);
      if (status != qelta::kOk) return status;
    }
    const int status = add_magnitude(h);
    if (status != qelta::kOk) return status;
  }
  // A constant that the choices do not change changes no choice; one that
  // they do becomes a table over those decisions.
  DropConstantDecisions(constant);
  if (constant.decisions.empty()) return qelta::kOk;
  char id[qelta::kNodeIdBufferSize];
  (void)working_.MakeUniqueNodeId(id);
  const int h = working_.AddNodeAfterAll(qelta::kDefUtility, id);
  if (h < 0) return h;
  const int status = AddParents(working_, h, constant.decisions);
  if (status != qelta::kOk) return status;
  VRN_matrix* table = working_.GetNode(h)->Definition()->GetMatrix();
  if (table == nullptr ||
      table->GetItemCount() != static_cast<int>(constant.values.size())) {
    return qelta::kErrOutOfRange;
  }
  std::copy(constant.values.begin(), constant.values.end(),
            table->GetItems().Items());
  return add_magnitude(h);
}
