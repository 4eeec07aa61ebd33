#include "inference/decision_conversion.h"

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/utility.h"
#include "network/node.h"

bool VRN_ConvertToChanceNode(VRN_node* node) {
  const int type = node->Definition()->GetType();
  if (type == qelta::kDefDecision) {
    (void)node->setNodeType(qelta::kDefCpt);
    return true;
  }
  if (type != qelta::kDefUtility) return false;
  auto* def = static_cast<VRN_utility*>(node->Definition());
  (void)def->Rescale();
  const VRN_matrix u = *def->GetMatrix();
  if (node->setNodeType(qelta::kDefCpt) != qelta::kOk) return false;
  VRN_matrix* table = node->Definition()->GetMatrix();
  const int n = table->GetSize(table->GetDimensionCount() - 1);
  table->FillWith(0.0);
  double* items = table->GetItems().Items();
  for (int i = 0; i < u.GetItemCount(); ++i) {
    items[i * n] = u.GetItem(i);
    items[i * n + 1] = 1.0 - u.GetItem(i);
  }
  return true;
}
