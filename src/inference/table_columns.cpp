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

int VRN_CheckInferenceTables(VRN_network* network, bool equations) {
  for (int h = network->GetFirstNode(); h >= 0; h = network->GetNextNode(h)) {
    VRN_node* node = network->GetNode(h);
    const int type = node->Definition()->GetType();
    // A canonical node's table is computed from parameters checked when
    // they were set; expanding it here would defeat decomposition.
    if (VRN_nodeDef::IsLazyType(type)) continue;
    if (!equations && type == qelta::kDefEquation) continue;
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
