// Partially directed graphs: cycles, extension to a DAG, networks.
#include "learning/pattern.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "base/strings.h"
#include "definitions/node_def.h"
#include "learning/dataset.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// A column without state names whose values pass this would ask for more
// outcomes than a table can hold.
constexpr int kMaxOutcomeValue = 65535;

bool Directed(const std::vector<std::vector<int>>& m, std::size_t x, std::size_t y) {
  return m[x][y] == 2 && m[y][x] != 2;
}

bool Adjacent(const std::vector<std::vector<int>>& m, std::size_t x, std::size_t y) {
  return m[x][y] != 0 || m[y][x] != 0;
}

// Outcome ids made of state names: invalid ones become "S" + name repaired,
// and repeats get "_2", "_3", ...
VRN_stringArray OutcomeIds(const std::vector<std::string>& names) {
  std::vector<std::string> made;
  for (const std::string& name : names) {
    std::string id = name;
    if (!VRN_IsValidId(id.c_str())) {
      id = "S" + name;
      VRN_MakeValidId(id.data());
    }
    const std::string base = id;
    for (int k = 2; std::find(made.begin(), made.end(), id) != made.end() ||
                    (id != name && std::find(names.begin(), names.end(), id) != names.end());
         ++k) {
      id = base + "_" + std::to_string(k);
    }
    made.push_back(id);
  }
  VRN_stringArray ids;
  for (const std::string& id : made) ids.Add(id.c_str());
  return ids;
}

}  // namespace

void VRN_pattern::SetSize(int n) {
  if (n < 0) throw std::length_error("Pattern size " + std::to_string(n) + " is negative");
  const std::size_t size = static_cast<std::size_t>(n);
  // More bytes than any address space holds are refused before trying.
  const double bytes = static_cast<double>(size) *
                       (static_cast<double>(size) * sizeof(int) + sizeof(std::vector<int>));
  if (bytes > 0x1p47) throw SizeError(n);
  // Built aside and swapped in: a failed allocation frees what it took and
  // leaves the pattern as it was.
  try {
    Matrix resized(size);
    const std::size_t kept = std::min(size, edges_.size());
    for (std::size_t i = 0; i < size; ++i) {
      resized[i].assign(size, 0);
      if (i < kept) {
        std::copy_n(edges_[i].begin(), std::min(size, edges_[i].size()),
                    resized[i].begin());
      }
    }
    edges_.swap(resized);
  } catch (const std::bad_alloc&) {
    throw SizeError(n);
  }
}

VRN_pattern::SizeError::SizeError(int n) {
  std::snprintf(text_, sizeof text_, "Pattern size %d needs more memory than there is", n);
}

bool VRN_pattern::Reaches(const Matrix& m, int from, int to) {
  const std::size_t n = m.size();
  std::vector<bool> visited(n, false);
  std::vector<std::size_t> stack{static_cast<std::size_t>(from)};
  visited[static_cast<std::size_t>(from)] = true;
  while (!stack.empty()) {
    const std::size_t x = stack.back();
    stack.pop_back();
    if (x == static_cast<std::size_t>(to)) return true;
    for (std::size_t y = 0; y < n; ++y) {
      if (!visited[y] && Directed(m, x, y)) {
        visited[y] = true;
        stack.push_back(y);
      }
    }
  }
  return false;
}

bool VRN_pattern::HasCycle() const {
  const int n = GetSize();
  for (int a = 0; a < n; ++a) {
    for (int b = a + 1; b < n; ++b) {
      if (Reaches(edges_, a, b) && Reaches(edges_, b, a)) return true;
    }
  }
  return false;
}

bool VRN_pattern::IsDAG() const {
  const std::size_t n = edges_.size();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (edges_[i][j] == 1 || edges_[j][i] == 1) return false;
      if (edges_[i][j] == 2 && edges_[j][i] == 2) return false;
    }
  }
  return !HasCycle();
}

std::vector<std::vector<int>> VRN_pattern::Groups(const Matrix& m) {
  const std::size_t n = m.size();
  std::vector<bool> remaining(n, true);
  std::size_t left = n;
  std::vector<std::vector<int>> groups;
  while (left > 0) {
    for (std::size_t x = 0; x < n; ++x) {
      if (!remaining[x]) continue;
      std::size_t k = 0;
      for (std::size_t g = 0; g < groups.size(); ++g) {
        std::vector<int>& group = groups[g];
        for (auto it = group.begin(); it != group.end();) {
          if (m[x][static_cast<std::size_t>(*it)] == 2) {
            remaining[static_cast<std::size_t>(*it)] = true;
            ++left;
            it = group.erase(it);
          } else {
            ++it;
          }
        }
        for (int member : group) {
          if (m[static_cast<std::size_t>(member)][x] == 2) k = g + 1;
        }
      }
      if (k == groups.size()) groups.emplace_back();
      groups[k].push_back(static_cast<int>(x));
      std::sort(groups[k].begin(), groups[k].end());
      remaining[x] = false;
      --left;
    }
  }
  return groups;
}

bool VRN_pattern::ToDAG() {
  if (IsDAG()) return true;
  const std::size_t n = edges_.size();
  Matrix w(n, std::vector<int>(n, 0));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (edges_[i][j] == 2 && edges_[j][i] == 0) w[i][j] = 2;
      if (edges_[i][j] == 1 && edges_[j][i] == 1) w[i][j] = 1;
    }
  }
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      if (Reaches(w, static_cast<int>(a), static_cast<int>(b)) &&
          Reaches(w, static_cast<int>(b), static_cast<int>(a))) {
        return false;
      }
    }
  }
  // Extension: remove, one at a time, a node without children whose
  // undirected neighbours are adjacent to all its other neighbours.
  std::vector<bool> present(n, true);
  std::size_t left = n;
  while (left > 0) {
    std::size_t chosen = n;
    for (std::size_t x = 0; x < n && chosen == n; ++x) {
      if (!present[x]) continue;
      bool ok = true;
      for (std::size_t y = 0; y < n && ok; ++y) ok = !(present[y] && w[x][y] == 2);
      for (std::size_t y = 0; y < n && ok; ++y) {
        if (!present[y] || y == x || w[x][y] != 1) continue;
        for (std::size_t z = 0; z < n && ok; ++z) {
          if (z == x || z == y || !present[z] || !Adjacent(w, x, z)) continue;
          ok = Adjacent(w, y, z);
        }
      }
      if (ok) chosen = x;
    }
    if (chosen == n) break;
    for (std::size_t y = 0; y < n; ++y) {
      if (present[y] && w[chosen][y] == 1) {
        w[y][chosen] = 2;
        w[chosen][y] = 0;
      }
    }
    present[chosen] = false;
    --left;
  }
  if (left > 0) {
    // No extension: orient the rest along the grouping, earlier groups first
    // and, inside a group, from the lower index to the higher.
    const std::vector<std::vector<int>> groups = Groups(w);
    std::vector<std::size_t> groupOf(n, 0);
    for (std::size_t g = 0; g < groups.size(); ++g) {
      for (int x : groups[g]) groupOf[static_cast<std::size_t>(x)] = g;
    }
    for (std::size_t x = 0; x < n; ++x) {
      for (std::size_t y = x + 1; y < n; ++y) {
        if (w[x][y] != 1 || w[y][x] != 1) continue;
        const bool xFirst = groupOf[x] <= groupOf[y];
        const std::size_t from = xFirst ? x : y;
        const std::size_t to = xFirst ? y : x;
        w[from][to] = 2;
        w[to][from] = 0;
      }
    }
  }
  // Pairs marked 2 both ways were left out; give each unjoined one an arc
  // that follows the grouping's numbering.
  const std::vector<std::vector<int>> groups = Groups(w);
  std::vector<int> number(n, 0);
  int next = 0;
  for (const auto& group : groups) {
    for (int x : group) number[static_cast<std::size_t>(x)] = next++;
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (edges_[i][j] != 2 || edges_[j][i] != 2 || Adjacent(w, i, j)) continue;
      if (number[i] < number[j]) {
        w[i][j] = 2;
      } else {
        w[j][i] = 2;
      }
    }
  }
  edges_ = w;
  return true;
}

bool VRN_pattern::MakeNetwork(const VRN_dataset& data, VRN_network& net) {
  if (GetSize() != data.GetVariableCount()) return false;
  if (!IsDAG() && !ToDAG()) return false;
  const int n = data.GetVariableCount();
  bool allContinuous = true;
  for (int v = 0; v < n; ++v) allContinuous = allContinuous && !data.GetVariable(v).discrete;
  const int type = allContinuous ? qelta::kDefEquation : qelta::kDefCpt;
  // Outcome names first, so that a refusal adds nothing.
  std::vector<std::vector<std::string>> outcomes(static_cast<std::size_t>(n));
  for (int v = 0; v < n; ++v) {
    const VRN_datasetVariable& variable = data.GetVariable(v);
    if (!variable.discrete) continue;
    std::vector<std::string>& names = outcomes[static_cast<std::size_t>(v)];
    names = variable.stateNames;
    if (!names.empty()) continue;
    // Without names the values are outcome indexes: one outcome for each
    // value up to the largest seen, and at least two.
    int largest = 1;
    for (int r = 0; r < data.GetRecordCount(); ++r) {
      if (!data.IsMissing(v, r)) largest = std::max(largest, data.GetInt(v, r));
    }
    if (largest > kMaxOutcomeValue) return false;
    for (int s = 0; s <= largest; ++s) names.push_back("S" + std::to_string(s));
  }
  std::vector<int> handles(static_cast<std::size_t>(n), -1);
  for (int v = 0; v < n; ++v) {
    const VRN_datasetVariable& variable = data.GetVariable(v);
    std::string id = variable.id.empty() ? "x" : variable.id;
    if (!VRN_IsValidId(id.c_str())) VRN_MakeValidId(id.data());
    int handle = net.AddNode(type, id.c_str());
    for (int k = 2; handle == qelta::kErrOutOfRange && k < 1000000; ++k) {
      handle = net.AddNode(type, (id + "_" + std::to_string(k)).c_str());
    }
    if (handle < 0) return false;
    handles[static_cast<std::size_t>(v)] = handle;
    VRN_node* node = net.GetNode(handle);
    node->Header().SetName(variable.id.c_str());
    const std::vector<std::string>& names = outcomes[static_cast<std::size_t>(v)];
    if (names.size() >= 2) (void)node->Definition()->SetNumberOfOutcomesByIds(OutcomeIds(names));
  }
  for (std::size_t i = 0; i < edges_.size(); ++i) {
    for (std::size_t j = i + 1; j < edges_.size(); ++j) {
      if (edges_[i][j] == 2) {
        (void)net.AddArc(handles[i], handles[j]);
      } else if (edges_[j][i] == 2) {
        (void)net.AddArc(handles[j], handles[i]);
      }
    }
  }
  return true;
}
