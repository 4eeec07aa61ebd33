// Maximum-likelihood (or prior-weighted) CPTs from complete discrete data.
#include "learning/count_parameters.h"

#include <cmath>
#include <string>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"

namespace {

struct Family {
  VRN_matrix* table = nullptr;
  int column = 0;
  int outcomes = 0;
  std::vector<int> parentSlots;    // positions of the parents in the family list
  std::vector<int> parentStrides;  // the table's strides of the parents
};

int Fail(VRN_network& net, int code, const std::string& message) {
  return net.ErrorLog()->LogError(code, message.c_str());
}

}  // namespace

int VRN_CountParameters(VRN_network& net, const VRN_dataset& data,
                        const std::vector<VRN_dataMatch>& matches, double* logLikelihood,
                        double pseudoCount) {
  const int n = static_cast<int>(matches.size());
  if (n != net.GetNumberOfNodes()) {
    return Fail(net, qelta::kErrOutOfRange, "Counting: the matches do not cover the network's nodes");
  }
  std::vector<int> slotOfHandle(static_cast<std::size_t>(net.GetSlotCount()), -1);
  for (int i = 0; i < n; ++i) {
    const int h = matches[static_cast<std::size_t>(i)].node;
    if (!net.IsValidHandle(h) || slotOfHandle[static_cast<std::size_t>(h)] >= 0) {
      return Fail(net, qelta::kErrOutOfRange, "Counting: a match names a bad or repeated node");
    }
    slotOfHandle[static_cast<std::size_t>(h)] = i;
  }
  for (const VRN_dataMatch& m : matches) {
    if (net.GetNode(m.node)->Definition()->GetType() != qelta::kDefCpt) {
      return Fail(net, qelta::kErrWrongNodeType,
                  std::string("Counting: node '") + net.GetNode(m.node)->GetId() + "' is not a CPT");
    }
  }
  const int records = data.GetRecordCount();
  std::vector<Family> families(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const VRN_dataMatch& m = matches[static_cast<std::size_t>(i)];
    VRN_node* node = net.GetNode(m.node);
    Family& f = families[static_cast<std::size_t>(i)];
    f.table = node->Definition()->GetMatrix();
    f.column = m.column;
    f.outcomes = node->Definition()->GetNumberOfOutcomes();
    const VRN_intArray& parents = node->Parents();
    for (int p = 0; p < parents.GetSize(); ++p) {
      f.parentSlots.push_back(slotOfHandle[static_cast<std::size_t>(parents[p])]);
      f.parentStrides.push_back(f.table->GetStrides()[p]);
    }
    // A wrong cell would index outside the table: check every value first.
    std::string where;
    if (m.column < 0 || m.column >= data.GetVariableCount()) {
      where = "column " + std::to_string(m.column) + " does not exist";
    } else if (!data.GetVariable(m.column).discrete) {
      where = "column '" + data.GetVariable(m.column).id + "' is continuous";
    } else {
      for (int r = 0; r < records && where.empty(); ++r) {
        const int value = data.GetInt(m.column, r);
        if (data.IsMissing(m.column, r)) {
          where = "column '" + data.GetVariable(m.column).id + "' has a missing value";
        } else if (value < 0 || value >= f.outcomes) {
          where = "column '" + data.GetVariable(m.column).id + "' holds " + std::to_string(value) +
                  ", outside the outcomes of node '" + node->GetId() + "'";
        }
      }
    }
    if (!where.empty()) return Fail(net, qelta::kErrInvalidValue, "Counting: " + where);
  }

  for (Family& f : families) {
    VRN_doubleArray& items = f.table->GetItems();
    for (int k = 0; k < items.GetSize(); ++k) items[k] = pseudoCount == 0.0 ? 0.0 : items[k] * pseudoCount;
  }
  std::vector<int> current(static_cast<std::size_t>(n));
  auto cellOf = [&](const Family& f) {
    int index = current[static_cast<std::size_t>(&f - families.data())];
    for (std::size_t p = 0; p < f.parentSlots.size(); ++p) {
      index += current[static_cast<std::size_t>(f.parentSlots[p])] * f.parentStrides[p];
    }
    return index;
  };
  for (int r = 0; r < records; ++r) {
    for (int i = 0; i < n; ++i) {
      current[static_cast<std::size_t>(i)] = data.GetInt(families[static_cast<std::size_t>(i)].column, r);
    }
    for (Family& f : families) f.table->GetItems()[cellOf(f)] += 1.0;
  }
  for (Family& f : families) {
    VRN_doubleArray& items = f.table->GetItems();
    VRN_NormaliseCountedTable(items.Items(), items.GetSize(), f.outcomes, pseudoCount);
  }
  if (logLikelihood != nullptr) {
    double total = 0.0;
    for (int r = 0; r < records; ++r) {
      for (int i = 0; i < n; ++i) {
        current[static_cast<std::size_t>(i)] = data.GetInt(families[static_cast<std::size_t>(i)].column, r);
      }
      for (const Family& f : families) total += std::log(f.table->GetItems()[cellOf(f)]);
    }
    *logLikelihood = total;
  }
  net.InvalidateValues();
  return qelta::kOk;
}

void VRN_NormaliseCountedTable(double* items, int size, int outcomes, double pseudoCount) {
  const int r = outcomes;
  for (int start = 0; start + r <= size; start += r) {
    if (pseudoCount == 0.0) {
      bool zero = false;
      for (int s = 0; s < r; ++s) zero = zero || items[start + s] == 0.0;
      if (zero) {
        for (int s = 0; s < r; ++s) items[start + s] += 1.0 / r;
      }
    }
    double sum = 0.0;
    for (int s = 0; s < r; ++s) sum += items[start + s];
    for (int s = 0; s < r; ++s) items[start + s] = sum > 0.0 ? items[start + s] / sum : 1.0 / r;
  }
}

std::string VRN_CountingDataProblem(const VRN_dataset& data,
                                    const char* learner) {
  const std::string prefix = std::string(learner) + ": ";
  if (data.GetRecordCount() < 3) {
    return prefix + "too few data points (at least 3 needed)\n";
  }
  if (data.GetVariableCount() < 2) {
    return prefix + "too few variables (at least 2 needed)\n";
  }
  for (int v = 0; v < data.GetVariableCount(); ++v) {
    const char* reason = nullptr;
    if (data.HasMissingValues(v)) {
      reason = "missing values not allowed";
    } else if (!data.GetVariable(v).discrete) {
      reason = "continous variables not allowed";
    } else if (data.IsConstant(v)) {
      reason = "constant values not allowed";
    }
    if (reason != nullptr) {
      return prefix + reason + "; variable: " + data.GetVariable(v).id;
    }
  }
  return "";
}
