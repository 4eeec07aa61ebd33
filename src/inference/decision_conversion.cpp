#include "inference/decision_conversion.h"

#include <cfloat>
#include <cmath>

#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/utility.h"
#include "network/node.h"

namespace {

// A utility must keep at least half its digits (2^-26 of the anchor).
constexpr double kHeldFraction = 0x1p-26;

// Whether every utility keeps its digits as its distance from anchor over
// range.
bool Held(const VRN_matrix& table, double anchor, double range) {
  for (double v : table.GetItems()) {
    if (v == anchor || v == qelta::kUndefinedValue) continue;
    if (std::fabs(v - anchor) / range < DBL_MIN) return false;
    if (v != 0.0 && std::fabs(v) < std::fabs(anchor) * kHeldFraction) {
      return false;
    }
  }
  return true;
}

}  // namespace

VRN_utilityScale VRN_ChooseUtilityScale(const VRN_matrix& table) {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  // The bounds are those of the rescaling, undefined markers among them.
  for (double v : table.GetItems()) {
    lo = std::fmin(lo, v);
    hi = std::fmax(hi, v);
  }
  if (!(lo < hi)) return VRN_utilityScale::kDirect;
  const double range = hi - lo;
  if (Held(table, lo, range)) return VRN_utilityScale::kDirect;
  if (Held(table, hi, range)) return VRN_utilityScale::kReversed;
  return VRN_utilityScale::kLost;
}

bool VRN_ConvertToChanceNode(VRN_node* node, VRN_utilityScale scale) {
  const int type = node->Definition()->GetType();
  if (type == qelta::kDefDecision) {
    (void)node->setNodeType(qelta::kDefCpt);
    return true;
  }
  if (type != qelta::kDefUtility) return false;
  auto* def = static_cast<VRN_utility*>(node->Definition());
  (void)def->Rescale(scale == VRN_utilityScale::kReversed);
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
