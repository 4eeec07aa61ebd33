// Matching data-set columns to network nodes, and building a network with
// one node per column.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/status.h"
#include "base/strings.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kTemporalPlate = 3;

// The slice k when id is nodeId + "_" + k with 0 < k < slices; else 0.
int SliceOfColumn(const std::string& id, const char* nodeId, int slices) {
  const std::size_t length = std::char_traits<char>::length(nodeId);
  if (id.size() <= length + 1 || id.compare(0, length, nodeId) != 0 || id[length] != '_') {
    return 0;
  }
  const char* digits = id.c_str() + length + 1;
  char* end = nullptr;
  errno = 0;
  const long k = std::strtol(digits, &end, 10);
  if (errno != 0 || *end != '\0' || end == digits || k <= 0 || k >= slices) return 0;
  return static_cast<int>(k);
}

// Appends "_2", "_3", ... to base until taken(candidate) is false.
template <typename Taken>
std::string Unique(const std::string& base, Taken taken) {
  if (!taken(base)) return base;
  for (int n = 2;; ++n) {
    std::string candidate = base + "_" + std::to_string(n);
    if (!taken(candidate)) return candidate;
  }
}

// A copy of text repaired to an identifier ("x" for an empty text).
std::string Repaired(const std::string& text) {
  if (text.empty()) return "x";
  std::string copy = text;
  VRN_MakeValidId(copy.data());
  return copy;
}

}  // namespace

int VRN_dataset::MapValuesToOutcomes(int column, int node, const VRN_network& net,
                                     std::string& errorText) {
  const std::size_t c = static_cast<std::size_t>(column);
  VRN_datasetVariable& variable = variables_[c];
  const VRN_node* target = net.GetNode(node);
  const VRN_idArray* outcomes =
      target != nullptr ? target->Definition()->GetOutcomesNames() : nullptr;
  if (outcomes == nullptr || outcomes->GetSize() == 0) {
    if (variable.stateNames.empty()) return qelta::kOk;
    errorText = "Dataset column '" + variable.id + "' is discrete, but matching node is continuous";
    return qelta::kErrWrongNodeType;
  }
  const int limit = variable.stateNames.empty() ? outcomes->GetSize()
                                                : static_cast<int>(variable.stateNames.size());
  // A value that names no outcome would index outside the node's tables.
  for (int value : columns_[c].ints) {
    if (value != variable.missingInt && (value < 0 || value >= limit)) {
      errorText = "Dataset column '" + variable.id + "' contains value '" + std::to_string(value) +
                  "' which doesn't map to any node outcome";
      return qelta::kErrInvalidValue;
    }
  }
  if (variable.stateNames.empty()) return qelta::kOk;
  std::vector<int> outcomeOf(variable.stateNames.size());
  for (std::size_t s = 0; s < variable.stateNames.size(); ++s) {
    const int index = outcomes->FindString(variable.stateNames[s].c_str());
    if (index < 0) {
      errorText = "Dataset column '" + variable.id + "' contains value '" + variable.stateNames[s] +
                  "' which doesn't map to any node outcome";
      return qelta::kErrInvalidValue;
    }
    outcomeOf[s] = index;
  }
  for (int& value : columns_[c].ints) {
    if (value != variable.missingInt) value = outcomeOf[static_cast<std::size_t>(value)];
  }
  variable.stateNames.clear();
  for (int i = 0; i < outcomes->GetSize(); ++i) variable.stateNames.emplace_back(outcomes->Get(i));
  return qelta::kOk;
}

int VRN_dataset::MatchNetwork(VRN_network& net, std::vector<VRN_dataMatch>& matches,
                              std::string& errorText) {
  matches.clear();
  std::vector<bool> marked(variables_.size(), false);
  for (std::size_t c = 0; c < variables_.size(); ++c) {
    const VRN_datasetVariable& variable = variables_[c];
    if (variable.id.empty()) continue;
    const int handle = net.FindNode(variable.id.c_str());
    if (handle < 0) continue;
    matches.push_back(VRN_dataMatch{handle, 0, static_cast<int>(c)});
    marked[c] = true;
    if (variable.discrete) {
      const int status = MapValuesToOutcomes(static_cast<int>(c), handle, net, errorText);
      if (status != qelta::kOk) return status;
    } else if (net.GetNode(handle)->Definition()->GetType() != qelta::kDefEquation) {
      errorText = "Dataset column '" + variable.id + "' is continous, but matching node is discrete";
      return qelta::kErrWrongNodeType;
    }
  }
  const int slices = net.GetNumberOfSlices();
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (net.GetTemporalType(h) != kTemporalPlate) continue;
    const char* nodeId = net.GetNode(h)->GetId();
    for (std::size_t c = 0; c < variables_.size(); ++c) {
      if (marked[c] || !variables_[c].discrete) continue;
      const int slice = SliceOfColumn(variables_[c].id, nodeId, slices);
      if (slice == 0) continue;
      matches.push_back(VRN_dataMatch{h, slice, static_cast<int>(c)});
      marked[c] = true;
      const int status = MapValuesToOutcomes(static_cast<int>(c), h, net, errorText);
      if (status != qelta::kOk) return status;
    }
  }
  if (matches.empty()) {
    errorText = "No matches found";
    return qelta::kErrOutOfRange;
  }
  return qelta::kOk;
}

void VRN_dataset::BuildNetwork(VRN_network& net) {
  net.Reset();
  for (std::size_t c = 0; c < variables_.size(); ++c) {
    const std::string original = variables_[c].id;
    std::string id = original;
    if (!VRN_IsValidId(id.c_str())) {
      // A repair may land on another column's id: number it apart so that
      // node c always carries column c.
      id = Unique(Repaired(original), [&](const std::string& candidate) {
        const int owner = FindVariable(candidate);
        return (owner >= 0 && owner != static_cast<int>(c)) ||
               net.IsIdInUse(candidate.c_str(), -1) != 0;
      });
      SetVariableId(static_cast<int>(c), id);
    }
    int handle = net.AddNode(qelta::kDefCpt, id.c_str());
    for (int n = 2; handle < 0; ++n) {  // an id held by a submodel
      id = variables_[c].id + "_" + std::to_string(n);
      if (FindVariable(id) >= 0) continue;
      handle = net.AddNode(qelta::kDefCpt, id.c_str());
      if (handle >= 0) SetVariableId(static_cast<int>(c), id);
    }
    VRN_node* node = net.GetNode(handle);
    node->Header().SetName(original.c_str());

    VRN_datasetVariable& variable = variables_[c];
    if (!variable.discrete) continue;  // the learners refuse these first
    std::vector<int>& cells = columns_[c].ints;
    std::vector<std::string> names = variable.stateNames;
    std::vector<int> distinct;
    if (names.empty()) {
      for (int value : cells) {
        if (value != variable.missingInt) distinct.push_back(value);
      }
      std::sort(distinct.begin(), distinct.end());
      distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
      for (int value : distinct) names.push_back(std::to_string(value));
    }
    VRN_stringArray ids;
    std::vector<std::string> made;
    // Sets beside the lists: a column may have tens of thousands of values.
    const std::unordered_set<std::string> given(names.begin(), names.end());
    std::unordered_set<std::string> taken;
    for (const std::string& name : names) {
      std::string outcome = name;
      if (!VRN_IsValidId(outcome.c_str())) outcome = Repaired("S" + name);
      outcome = Unique(outcome, [&](const std::string& candidate) {
        return taken.count(candidate) != 0 ||
               (candidate != name && given.count(candidate) != 0);
      });
      made.push_back(outcome);
      taken.insert(outcome);
      ids.Add(outcome.c_str());
    }
    if (ids.GetSize() >= 2) node->Definition()->SetNumberOfOutcomesByIds(ids);
    if (!distinct.empty()) {
      // The j-th smallest value becomes outcome j; any value may occur, so
      // the map is a search rather than a table over the value range.
      for (int& value : cells) {
        if (value == variable.missingInt) continue;
        value = static_cast<int>(std::lower_bound(distinct.begin(), distinct.end(), value) -
                                 distinct.begin());
      }
    }
    variable.stateNames = made;
  }
}
