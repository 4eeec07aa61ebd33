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
// Within this many |v| the distance carries no more than a few units in the
// last place of |v| into an expected utility, however its terms cancel.
constexpr double kWholeRatio = 4.0;

// Whether utility v keeps its digits as its distance from anchor over
// range.
bool HeldFrom(double v, double anchor, double range, double ratio = kHeldRatio) {
  if (v == anchor || v == qelta::kUndefinedValue) return true;
  const double distance = std::fabs(v - anchor);
  return distance / range >= DBL_MIN && distance <= std::fabs(v) * ratio;
}

bool Held(const VRN_matrix& table, double anchor, double range) {
  for (double v : table.GetItems()) {
    if (!HeldFrom(v, anchor, range)) return false;
  }
  return true;
}

}  // namespace

VRN_utilityBounds VRN_UtilityBounds(const VRN_matrix& table) {
  VRN_utilityBounds b{HUGE_VAL, -HUGE_VAL};
  // The bounds are those of the rescaling, undefined markers among them.
  for (double v : table.GetItems()) {
    b.lo = std::fmin(b.lo, v);
    b.hi = std::fmax(b.hi, v);
  }
  return b;
}

VRN_utilityScale VRN_TwoOutcomeTrial(const VRN_matrix& table) {
  const VRN_utilityBounds b = VRN_UtilityBounds(table);
  // From the end nearer to 0, a 0 between the ends lies nearer.
  const double anchor = std::fabs(b.lo) <= std::fabs(b.hi) ? b.lo : b.hi;
  const double range = b.hi - b.lo;
  for (double v : table.GetItems()) {
    if (v != anchor && std::fabs(v - anchor) / range < DBL_MIN) return VRN_utilityScale::kSigned;
  }
  return anchor == b.lo ? VRN_utilityScale::kDirect : VRN_utilityScale::kReversed;
}

VRN_reachedUtilities VRN_ReachedUtilities(const VRN_matrix& table, const std::vector<int>& fixed,
                                          VRN_utilityScale scale, bool whole) {
  const VRN_utilityBounds b = VRN_UtilityBounds(table);
  const double anchor = scale == VRN_utilityScale::kReversed ? b.hi : b.lo;
  VRN_reachedUtilities reached;
  bool first = true;
  const int dims = table.GetDimensionCount();
  for (int i = 0; i < table.GetItemCount(); ++i) {
    bool agrees = true;
    for (int d = 0; d < dims && d < static_cast<int>(fixed.size()) && agrees; ++d) {
      agrees = fixed[d] < 0 || (i / table.GetStrides()[d]) % table.GetSize(d) == fixed[d];
    }
    if (!agrees) continue;
    const double v = table.GetItem(i);
    reached.constant = reached.constant && (first || v == reached.value) &&
                       v != qelta::kUndefinedValue;
    reached.value = v;
    first = false;
    reached.held = reached.held && HeldFrom(v, anchor, b.hi - b.lo, whole ? kWholeRatio : kHeldRatio);
  }
  return reached;
}

double VRN_SignedUtilityRange(const VRN_matrix& table) {
  return table.GetLargestMagnitude();
}

VRN_utilityScale VRN_ChooseUtilityScale(const VRN_matrix& table) {
  const auto [lo, hi] = VRN_UtilityBounds(table);
  if (!(lo < hi)) return VRN_utilityScale::kDirect;
  const double range = hi - lo;
  if (Held(table, lo, range)) return VRN_utilityScale::kDirect;
  if (Held(table, hi, range)) return VRN_utilityScale::kReversed;
  return VRN_SignedScaleKeeps(table) ? VRN_utilityScale::kSigned : VRN_utilityScale::kLost;
}

bool VRN_SignedScaleKeeps(const VRN_matrix& table) {
  // From 0 every utility holds its own digits unless it falls below the
  // normal doubles beside the largest.
  const double largest = VRN_SignedUtilityRange(table);
  for (double v : table.GetItems()) {
    if (v != 0.0 && std::fabs(v) / largest < DBL_MIN) return false;
  }
  return true;
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
  if (!signed_scale) (void)def->Rescale(scale == VRN_utilityScale::kReversed);
  const VRN_matrix u = *def->GetMatrix();
  if (node->setNodeType(qelta::kDefCpt) != qelta::kOk) return false;
  return VRN_FillUtilityOutcomes(node, u, signed_scale);
}

bool VRN_FillUtilityOutcomes(VRN_node* node, const VRN_matrix& u, bool signed_scale) {
  const int outcomes = signed_scale ? 3 : 2;
  if (node->Definition()->GetNumberOfOutcomes() != outcomes &&
      node->Definition()->SetNumberOfOutcomes(outcomes) != qelta::kOk) {
    return false;
  }
  const double largest = VRN_SignedUtilityRange(u);
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
