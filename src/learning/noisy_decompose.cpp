// Decomposition of noisy-MAX nodes into CPT nodes, and folding back.
#include "learning/noisy_decompose.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "definitions/noisy_max.h"
#include "network/network.h"
#include "network/node.h"

namespace {

void SetProperty(VRN_node* node, const char* name, const std::string& value) {
  VRN_userProperties& props = node->UserProperties();
  const int i = props.FindProperty(name);
  if (i >= 0) (void)props.DeleteProperty(i);
  (void)props.AddProperty(name, value.c_str());
}

void RemoveProperty(VRN_node* node, const char* name) {
  VRN_userProperties& props = node->UserProperties();
  const int i = props.FindProperty(name);
  if (i >= 0) (void)props.DeleteProperty(i);
}

bool HasProperty(const VRN_node* node, const char* name) {
  return node->UserProperties().FindProperty(name) >= 0;
}

// The value of a user property, or "" when the node has none.
std::string PropertyValue(const VRN_node* node, const char* name) {
  const VRN_userProperties& props = node->UserProperties();
  const int i = props.FindProperty(name);
  const char* value = i >= 0 ? props.GetPropertyValue(i) : nullptr;
  return value != nullptr ? value : "";
}

// The ladder form is chosen only by the exact, case-sensitive word.
bool IsLadder(const VRN_node* node) {
  return PropertyValue(node, "VRN_MAXDECOMP") == "LADDER";
}

// A new CPT node with Y's outcome names and the given parents; -1 on failure.
int AddAuxiliary(VRN_network& net, const std::string& id, const VRN_idArray* outcomes,
                 const std::vector<int>& parents) {
  const int h = net.AddNode(qelta::kDefCpt, id.c_str());
  if (h < 0) return -1;
  VRN_nodeDef* def = net.GetNode(h)->Definition();
  if (outcomes != nullptr && def->SetNumberOfOutcomesByIds(*outcomes) != qelta::kOk) return -1;
  for (int p : parents) {
    if (net.AddArc(p, h) != qelta::kOk) return -1;
  }
  return h;
}

// Y's table as the deterministic minimum of its parents' outcomes.
int FillMinimum(VRN_node* node) {
  VRN_matrix table = *node->Definition()->GetMatrixConst();
  const int dims = table.GetDimensionCount();
  const int n = table.GetSize(dims - 1);
  VRN_intArray coordinates(dims);
  double* items = table.GetItems().Items();
  for (int i = 0; i < table.GetItemCount(); i += n) {
    (void)table.IndexToCoordinates(i, coordinates);
    int least = n - 1;
    for (int d = 0; d < dims - 1; ++d) least = std::min(least, coordinates[d]);
    for (int k = 0; k < n; ++k) items[i + k] = k == least ? 1.0 : 0.0;
  }
  return node->Definition()->SetDefinitionFromMatrix(table);
}

}  // namespace

bool DecomposeNoisyMax(VRN_network& net, int y, VRN_noisyMaxDecomposition* out) {
  VRN_node* node = net.GetNode(y);
  if (node == nullptr || node->Definition()->GetType() != qelta::kDefNoisyMax) return false;
  const auto* def = static_cast<const VRN_noisyMAX*>(node->Definition());
  const bool ladder = IsLadder(node);
  const std::string id = node->GetId();
  const std::vector<int> parents(node->Parents().begin(), node->Parents().end());
  const VRN_idArray outcomes(*node->Definition()->GetOutcomesNames());
  const VRN_matrix parameters = def->Parameters();
  const int n = def->GetOwnCount();
  out->node = y;
  out->strengths.clear();
  std::vector<int> added;
  auto undo = [&] {
    for (auto it = added.rbegin(); it != added.rend(); ++it) (void)net.DeleteNode(*it);
    return false;
  };
  // Inhibitor i: column order[j] holds the parameter column of strength
  // position j, and the distinguished state's column stays as it is.
  auto addInhibitor = [&](std::size_t i) {
    const VRN_intArray& order = def->GetParentOutcomeStrengths(static_cast<int>(i));
    out->strengths.push_back(order);
    const int h = AddAuxiliary(net, "INHIBITOR_" + id + "_" + net.GetNode(parents[i])->GetId(), &outcomes,
                               {parents[i]});
    if (h < 0) return -1;
    added.push_back(h);
    VRN_matrix table = *net.GetNode(h)->Definition()->GetMatrixConst();
    const int offset = def->GetParentColumnOffset(static_cast<int>(i));
    for (int j = 0; j < order.GetSize(); ++j) {
      for (int k = 0; k < n; ++k) {
        *table.ItemAddress(order[j] * n + k) = parameters.GetItem((offset + j) * n + k);
      }
    }
    if (net.GetNode(h)->Definition()->SetDefinitionFromMatrix(table) != qelta::kOk) return -1;
    SetProperty(net.GetNode(h), "VRN_NOLEARN", std::to_string(order[order.GetSize() - 1]));
    if (ladder) SetProperty(net.GetNode(h), "VRN_DECOMPTYPE", "INHIBITOR");
    return h;
  };
  auto addLeak = [&] {
    const int leakParent = AddAuxiliary(net, "LEAK_PARENT_" + id, nullptr, {});
    if (leakParent < 0) return -1;
    added.push_back(leakParent);
    if (net.GetNode(leakParent)->Definition()->SetDefinitionFromVector({1.0, 0.0}) != qelta::kOk) return -1;
    SetProperty(net.GetNode(leakParent), "VRN_NOLEARN", "ALL");
    SetProperty(net.GetNode(leakParent), "VRN_FAKE_LEAK", "TRUE");
    const int leakChild = AddAuxiliary(net, "LEAK_CHILD_" + id, &outcomes, {leakParent});
    if (leakChild < 0) return -1;
    added.push_back(leakChild);
    std::vector<double> leak(2 * n, 0.0);
    for (int k = 0; k < n; ++k) leak[k] = parameters.GetItem(def->GetLeakColumn() * n + k);
    leak[n + n - 1] = 1.0;
    if (net.GetNode(leakChild)->Definition()->SetDefinitionFromVector(leak) != qelta::kOk) return -1;
    SetProperty(net.GetNode(leakChild), "VRN_NOLEARN", "1");
    SetProperty(net.GetNode(leakChild), "VRN_FAKE_LEAK", "TRUE");
    if (ladder) SetProperty(net.GetNode(leakChild), "VRN_DECOMPTYPE", "LEAKCHILD");
    return leakChild;
  };

  // Inhibitor form: Y is the minimum of every inhibitor and the leak child.
  // Ladder form: a chain of two-parent minimum rungs from the leak child
  // through the inhibitors, so no table grows with the parent count.
  std::vector<int> newParents;
  if (!ladder) {
    for (std::size_t i = 0; i < parents.size(); ++i) {
      const int h = addInhibitor(i);
      if (h < 0) return undo();
      newParents.push_back(h);
    }
    const int leakChild = addLeak();
    if (leakChild < 0) return undo();
    newParents.push_back(leakChild);
  } else {
    int previous = addLeak();
    if (previous < 0) return undo();
    int inhibitor = -1;
    for (std::size_t i = 0; i < parents.size(); ++i) {
      inhibitor = addInhibitor(i);
      if (inhibitor < 0) return undo();
      if (i + 1 == parents.size()) break;
      const int rung = AddAuxiliary(net, "LADDER_" + id + "_" + net.GetNode(parents[i])->GetId(), &outcomes,
                                    {previous, inhibitor});
      if (rung < 0) return undo();
      added.push_back(rung);
      if (FillMinimum(net.GetNode(rung)) != qelta::kOk) return undo();
      SetProperty(net.GetNode(rung), "VRN_NOLEARN", "ALL");
      SetProperty(net.GetNode(rung), "VRN_DECOMPTYPE", "LADDER");
      previous = rung;
    }
    newParents.push_back(previous);
    if (inhibitor >= 0) newParents.push_back(inhibitor);
  }

  for (int p : parents) (void)net.RemoveArc(p, y);
  if (node->setNodeType(qelta::kDefCpt) != qelta::kOk) return undo();
  for (int p : newParents) {
    if (net.AddArc(p, y) != qelta::kOk) return undo();
  }
  if (FillMinimum(node) != qelta::kOk) return undo();
  SetProperty(node, "VRN_NOLEARN", "ALL");
  SetProperty(node, ladder ? "VRN_DECOMPTYPE" : "VRN_ORIGINAL_NOISYMAX", ladder ? "ORIGMAX" : "TRUE");
  return true;
}

bool RecomposeNoisyMax(VRN_network& net, const VRN_noisyMaxDecomposition& d) {
  VRN_node* node = net.GetNode(d.node);
  if (node == nullptr) return false;
  const bool ladder = IsLadder(node);
  const std::vector<int> aux(node->Parents().begin(), node->Parents().end());
  std::vector<int> inhibitors;
  std::vector<int> rungs;
  int leakChild = -1;
  if (!ladder) {
    for (int h : aux) {
      if (HasProperty(net.GetNode(h), "VRN_FAKE_LEAK")) {
        leakChild = h;
      } else {
        inhibitors.push_back(h);
      }
    }
  } else {
    // Up the chain from Y: each rung leads to the previous rung (or the
    // leak child) and to one inhibitor, met last parent first.
    std::vector<int> level = aux;
    while (!level.empty() && rungs.size() <= d.strengths.size()) {
      std::vector<int> next;
      for (int h : level) {
        const std::string type = PropertyValue(net.GetNode(h), "VRN_DECOMPTYPE");
        if (type == "LADDER") {
          rungs.push_back(h);
          next.assign(net.GetNode(h)->Parents().begin(), net.GetNode(h)->Parents().end());
        } else if (type == "INHIBITOR") {
          inhibitors.push_back(h);
        } else if (type == "LEAKCHILD" && leakChild < 0) {
          leakChild = h;
        } else {
          return false;
        }
      }
      level = std::move(next);
    }
    std::reverse(inhibitors.begin(), inhibitors.end());
  }
  if (leakChild < 0 || inhibitors.size() != d.strengths.size()) return false;
  std::vector<int> parents;
  for (int h : inhibitors) {
    if (net.GetNode(h)->Parents().GetSize() != 1) return false;
    parents.push_back(net.GetNode(h)->Parents()[0]);
  }
  if (net.GetNode(leakChild)->Parents().GetSize() != 1) return false;
  const int leakParent = net.GetNode(leakChild)->Parents()[0];
  for (int h : aux) (void)net.RemoveArc(h, d.node);
  if (node->setNodeType(qelta::kDefNoisyMax) != qelta::kOk) return false;
  for (int p : parents) {
    if (net.AddArc(p, d.node) != qelta::kOk) return false;
  }
  auto* def = static_cast<VRN_noisyMAX*>(node->Definition());
  VRN_matrix parameters = def->Parameters();
  const int n = def->GetOwnCount();
  const VRN_matrix& leak = *net.GetNode(leakChild)->Definition()->GetMatrixConst();
  for (int k = 0; k < n; ++k) *parameters.ItemAddress(def->GetLeakColumn() * n + k) = leak.GetItem(k);
  for (std::size_t i = 0; i < inhibitors.size(); ++i) {
    const VRN_matrix& table = *net.GetNode(inhibitors[i])->Definition()->GetMatrixConst();
    const VRN_intArray& order = d.strengths[i];
    const int offset = def->GetParentColumnOffset(static_cast<int>(i));
    def->StoreParentOutcomeStrengths(static_cast<int>(i), order);
    for (int j = 0; j < order.GetSize(); ++j) {
      for (int k = 0; k < n; ++k) {
        *parameters.ItemAddress((offset + j) * n + k) = table.GetItem(order[j] * n + k);
      }
    }
  }
  if (def->SetParameters(parameters) != qelta::kOk) return false;
  for (int h : rungs) (void)net.DeleteNode(h);
  for (int h : inhibitors) (void)net.DeleteNode(h);
  (void)net.DeleteNode(leakChild);
  (void)net.DeleteNode(leakParent);
  RemoveProperty(node, "VRN_NOLEARN");
  RemoveProperty(node, ladder ? "VRN_DECOMPTYPE" : "VRN_ORIGINAL_NOISYMAX");
  return true;
}
