#include "inference/table_columns.h"

#include <cmath>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta {

int ClassifyColumns(const VRN_matrix& table) {
  const int n = table.GetDimensionCount();
  if (n == 0) return kColumnsDistributions;
  const int k = table.GetSize(n - 1);
  const int items = table.GetItemCount();
  if (k < 1) return kColumnsDistributions;
  const double* p = table.GetItems().Items();
  int result = kColumnsDistributions;
  for (int start = 0; start + k <= items; start += k) {
    double sum = 0.0;
    for (int j = start; j < start + k; ++j) {
      const double v = p[j];
      // NaN fails both tests, so it is caught here too.
      if (!(v >= 0.0) || !std::isfinite(v)) return kColumnsInvalid;
      sum += v;
    }
    if (!(std::fabs(sum - 1.0) <= kColumnSumTolerance)) {
      result = kColumnsUnnormalised;
    }
  }
  return result;
}

}  // namespace qelta

namespace {

bool AllProbabilities(const VRN_matrix& items) {
  const double* p = items.GetItems().Items();
  for (int i = 0; i < items.GetItemCount(); ++i) {
    if (!(p[i] >= 0.0 && p[i] <= 1.0)) return false;  // NaN too
  }
  return true;
}

}  // namespace

int VRN_CheckInferenceTables(VRN_network* network, bool equations) {
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    VRN_node* node = network->GetNode(h);
    const int type = node->Definition()->GetType();
    if (!equations && type == qelta::kDefEquation) continue;
    // A noisy node's table is computed from its parameters (expanding it
    // here would defeat decomposition): a parameter that is no probability
    // (a file may have stored one) would give a table of anything.
    const VRN_matrix* parameters = VRN_nodeDef::IsLazyType(type)
                                       ? node->Definition()->GetMatrixConst()
                                       : nullptr;
    if (parameters != nullptr) {
      if (AllProbabilities(*parameters)) continue;
      return network->ErrorLog()->Logf(
          qelta::kErrOutOfRange,
          "Node [%s] has a parameter that is not a probability",
          node->GetId());
    }
    const VRN_matrix* table = node->Definition()->GetExpandedDefinition();
    if (table == nullptr ||
        qelta::ClassifyColumns(*table) != qelta::kColumnsInvalid) {
      continue;
    }
    return network->ErrorLog()->Logf(
        qelta::kErrOutOfRange,
        "Node [%s] has a negative or non-finite probability in its table",
        node->GetId());
  }
  return qelta::kOk;
}
