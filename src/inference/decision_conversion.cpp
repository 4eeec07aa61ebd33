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

// A utility v carried from anchor keeps its digits while |v - anchor| stays
// within this many |v|: the rescaling and the update each round the
// distance, and an expected utility of such utilities stays within a few
// 1e-13 of its own size.
constexpr double kHeldRatio = 0x1p8;

// Whether every utility keeps its digits as its distance from anchor over
// range.
bool Held(const VRN_matrix& table, double anchor, double range) {
  for (double v : table.GetItems()) {
    if (v == anchor || v == qelta::kUndefinedValue) continue;
    const double distance = std::fabs(v - anchor);
    if (distance / range < DBL_MIN || distance > std::fabs(v) * kHeldRatio) {
      return false;
    }
  }
  return true;
}

}  // namespace

double VRN_SignedUtilityRange(const VRN_matrix& table) {
  return table.GetLargestMagnitude();
}

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
  // From 0 every utility holds its own digits unless it falls below the
  // normal doubles beside the largest.
  const double largest = VRN_SignedUtilityRange(table);
  for (double v : table.GetItems()) {
    if (v != 0.0 && std::fabs(v) / largest < DBL_MIN) return VRN_utilityScale::kLost;
  }
  return VRN_utilityScale::kSigned;
}

bool VRN_ConvertToChanceNode(VRN_node* node, VRN_utilityScale scale) {
  const int type = node->Definition()->GetType();
  if (type == qelta::kDefDecision) {
    (void)node->setNodeType(qelta::kDefCpt);
    return true;
  }
  if (type != qelta::kDefUtility) return false;
  auto* def = static_cast<VRN_utility*>(node->Definition());
  const bool signed_scale = scale == VRN_utilityScale::kSigned;
  const double largest = VRN_SignedUtilityRange(*def->GetMatrix());
  if (!signed_scale) (void)def->Rescale(scale == VRN_utilityScale::kReversed);
  const VRN_matrix u = *def->GetMatrix();
  if (node->setNodeType(qelta::kDefCpt) != qelta::kOk) return false;
  if (signed_scale && node->Definition()->SetNumberOfOutcomes(3) != qelta::kOk) {
    return false;
  }
  VRN_matrix* table = node->Definition()->GetMatrix();
  const int n = table->GetSize(table->GetDimensionCount() - 1);
  table->FillWith(0.0);
  double* items = table->GetItems().Items();
  for (int i = 0; i < u.GetItemCount(); ++i) {
    const double v = u.GetItem(i);
    if (!signed_scale) {
      items[i * n] = v;
      items[i * n + 1] = 1.0 - v;
      continue;
    }
    // An undefined marker counts as 0, as the rescaling leaves it near 0.
    const double share = v == qelta::kUndefinedValue || largest == 0.0
                             ? 0.0 : std::fabs(v) / largest;
    items[i * n + (v < 0.0 ? 1 : 0)] = share;
    items[i * n + 2] = 1.0 - share;
  }
  return true;
}
