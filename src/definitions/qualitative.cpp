#include "definitions/qualitative.h"

#include <cmath>
#include <typeinfo>

#include "base/status.h"
#include "network/change_guards.h"
#include "network/network.h"

namespace {

bool InRange(double v, double low, double high) {
  return v >= low && v <= high;  // false for NaN
}

// Below this a probability formed as 1 minus one near 1 may have lost
// digits; above it the plain arithmetic is kept, bit for bit.
constexpr double kNearOne = 0x1p-10;

// `exact` where `plain` differs from it by more than plain rounding.
double Mended(double plain, double exact) {
  return std::fabs(exact - plain) > exact * 0x1p-40 ? exact : plain;
}

// Removes entry i of an array (ints or doubles).
template <typename Array>
void RemoveAt(Array* array, int i) {
  Array kept;
  for (int k = 0; k < array->GetSize(); ++k) {
    if (k != i) kept.Add((*array)[k]);
  }
  *array = kept;
}

template <typename Array>
bool PermuteWith(Array* array, const VRN_intArray& order) {
  if (order.GetSize() != array->GetSize() || !order.IsPermutation()) {
    return false;
  }
  Array moved;
  for (int i = 0; i < order.GetSize(); ++i) moved.Add((*array)[order[i]]);
  *array = moved;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- DeMorgan

VRN_demorgan::VRN_demorgan(VRN_network* network, int handle)
    : VRN_qualDef(network, handle) {}

VRN_demorgan::VRN_demorgan(const VRN_discreteInfo& info) : VRN_qualDef(info) {
  // Only DeMorgan parents are kept when a node changes type, so there are
  // normally none; any that remain act as causes without effect.
  for (int i = 0; i < GetParents().GetSize(); ++i) {
    types_.Add(kCause);
    weights_.Add(0.0);
  }
}

VRN_demorgan::VRN_demorgan(const VRN_demorgan& other, VRN_network* network)
    : VRN_qualDef(other, network),
      types_(other.types_),
      weights_(other.weights_),
      prior_(other.prior_) {}

VRN_demorgan::~VRN_demorgan() = default;

VRN_nodeDef* VRN_demorgan::Clone(VRN_network* target) const {
  return new VRN_demorgan(*this, target);
}

int VRN_demorgan::GetType() const { return qelta::kDefDemorgan; }

const char* VRN_demorgan::GetTypeName() const { return "DEMORGAN"; }

void VRN_demorgan::Changed() {
  cpt_valid_ = false;
  NotifyRelevance(qelta::kChangeTable);
}

int VRN_demorgan::AddParent(int parent) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  (void)types_.Insert(p, kCause);
  (void)weights_.Insert(p, 0.0);
  return qelta::kOk;
}

int VRN_demorgan::RemoveParent(int parent) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  if (p < types_.GetSize()) {
    RemoveAt(&types_, p);
    RemoveAt(&weights_, p);
  }
  return qelta::kOk;
}

int VRN_demorgan::ReorderParents(const VRN_intArray& order) {
  VRN_intArray types(types_);
  VRN_doubleArray weights(weights_);
  if (!PermuteWith(&types, order) || !PermuteWith(&weights, order)) {
    return qelta::kErrOutOfRange;
  }
  types_ = types;
  weights_ = weights;
  cpt_valid_ = false;
  return qelta::kOk;
}

void VRN_demorgan::CopyParameters(VRN_nodeDef* target) const {
  if (target == nullptr || typeid(*target) != typeid(*this)) return;
  auto* to = static_cast<VRN_demorgan*>(target);
  if (to->types_.GetSize() != types_.GetSize()) return;
  VRN_autoUpdateGuard guard(to->GetNetwork());
  to->prior_ = prior_;
  to->types_ = types_;
  to->weights_ = weights_;
  to->Changed();
}

double VRN_demorgan::CalculateCptColumn(const VRN_intArray& states) {
  double p = prior_;
  const int count = types_.GetSize();
  for (int i = 0; i < count; ++i) {
    const bool on = states[i] == 0;
    if ((types_[i] == kCause && on) || (types_[i] == kBarrier && !on)) {
      p += (1.0 - p) * weights_[i];
    }
  }
  for (int i = 0; i < count; ++i) {
    const bool on = states[i] == 0;
    if ((types_[i] == kInhibitor && on) || (types_[i] == kRequirement && !on)) {
      p *= 1.0 - weights_[i];
    }
  }
  return p;
}

double VRN_demorgan::CalculateCptComplement(const VRN_intArray& states,
                                            double p_true) {
  const double plain = 1.0 - p_true;
  if (plain > kNearOne) return plain;
  double q = 1.0 - prior_;  // P("False") after the raising roles
  double log_kept = 0.0;    // log of the lowering roles' product
  const int count = types_.GetSize();
  for (int i = 0; i < count; ++i) {
    const bool on = states[i] == 0;
    if ((types_[i] == kCause && on) || (types_[i] == kBarrier && !on)) {
      q *= 1.0 - weights_[i];
    } else if ((types_[i] == kInhibitor && on) ||
               (types_[i] == kRequirement && !on)) {
      log_kept += std::log1p(-weights_[i]);
    }
  }
  // 1 - (1 - q) * kept = q * kept + (1 - kept).
  return Mended(plain, q * std::exp(log_kept) - std::expm1(log_kept));
}

int VRN_demorgan::GetParentType(int i) const {
  return i >= 0 && i < types_.GetSize() ? types_[i] : -1;
}

double VRN_demorgan::GetParentWeight(int i) const {
  return i >= 0 && i < weights_.GetSize() ? weights_[i] : -1.0;
}

int VRN_demorgan::SetParentType(int i, int role) {
  if (i < 0 || i >= types_.GetSize()) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(GetNetwork());
  types_[i] = role;
  Changed();
  return qelta::kOk;
}

int VRN_demorgan::SetParentTypes(const VRN_intArray& roles) {
  if (roles.GetSize() != types_.GetSize()) return qelta::kErrOutOfRange;
  VRN_autoUpdateGuard guard(GetNetwork());
  types_ = roles;
  Changed();
  return qelta::kOk;
}

int VRN_demorgan::SetParentWeight(int i, double weight) {
  if (i < 0 || i >= weights_.GetSize()) return qelta::kErrOutOfRange;
  if (!InRange(weight, 0.0, 1.0)) return qelta::kErrInvalidValue;
  VRN_autoUpdateGuard guard(GetNetwork());
  weights_[i] = weight;
  Changed();
  return qelta::kOk;
}

int VRN_demorgan::SetParentWeights(const VRN_doubleArray& weights) {
  if (weights.GetSize() != weights_.GetSize()) return qelta::kErrOutOfRange;
  for (double w : weights) {
    if (!InRange(w, 0.0, 1.0)) return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  weights_ = weights;
  Changed();
  return qelta::kOk;
}

int VRN_demorgan::SetPriorBelief(double p) {
  if (!InRange(p, 0.0, 1.0)) return qelta::kErrInvalidValue;
  VRN_autoUpdateGuard guard(GetNetwork());
  prior_ = p;
  Changed();
  return qelta::kOk;
}

// -------------------------------------------------------------------- CAST

VRN_cast::VRN_cast(VRN_network* network, int handle)
    : VRN_qualDef(network, handle) {}

VRN_cast::VRN_cast(const VRN_discreteInfo& info) : VRN_qualDef(info) {
  for (int i = 0; i < GetParents().GetSize(); ++i) {
    positive_.Add(0.0);
    negative_.Add(0.0);
  }
}

VRN_cast::VRN_cast(const VRN_cast& other, VRN_network* network)
    : VRN_qualDef(other, network),
      positive_(other.positive_),
      negative_(other.negative_),
      baseline_(other.baseline_) {}

VRN_cast::~VRN_cast() = default;

VRN_nodeDef* VRN_cast::Clone(VRN_network* target) const {
  return new VRN_cast(*this, target);
}

int VRN_cast::GetType() const { return qelta::kDefCast; }

const char* VRN_cast::GetTypeName() const { return "CAST"; }

void VRN_cast::Changed() {
  cpt_valid_ = false;
  NotifyRelevance(qelta::kChangeTable);
}

int VRN_cast::AddParent(int parent) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  (void)positive_.Insert(p, 0.0);
  (void)negative_.Insert(p, 0.0);
  return qelta::kOk;
}

int VRN_cast::RemoveParent(int parent) {
  const int p = GetParentIndexInvalidate(parent);
  if (p < 0) return p;
  if (p < positive_.GetSize()) {
    RemoveAt(&positive_, p);
    RemoveAt(&negative_, p);
  }
  return qelta::kOk;
}

int VRN_cast::ReorderParents(const VRN_intArray& order) {
  VRN_doubleArray positive(positive_);
  VRN_doubleArray negative(negative_);
  if (!PermuteWith(&positive, order) || !PermuteWith(&negative, order)) {
    return qelta::kErrOutOfRange;
  }
  positive_ = positive;
  negative_ = negative;
  cpt_valid_ = false;
  return qelta::kOk;
}

void VRN_cast::CopyParameters(VRN_nodeDef* target) const {
  if (target == nullptr || typeid(*target) != typeid(*this)) return;
  auto* to = static_cast<VRN_cast*>(target);
  if (to->positive_.GetSize() != positive_.GetSize()) return;
  VRN_autoUpdateGuard guard(to->GetNetwork());
  to->baseline_ = baseline_;
  to->positive_ = positive_;
  to->negative_ = negative_;
  to->Changed();
}

double VRN_cast::CalculateCptColumn(const VRN_intArray& states) {
  double a = 1.0;
  double b = 1.0;
  for (int i = 0; i < positive_.GetSize(); ++i) {
    const double w = states[i] == 0 ? positive_[i] : negative_[i];
    if (w < 0.0) {
      a *= 1.0 + w;
    } else {
      b *= 1.0 - w;
    }
  }
  if (a + b == 0.0) return baseline_;
  const double x = a > b ? 1.0 - b / a : a / b - 1.0;
  const double p = x >= 0.0 ? baseline_ + (1.0 - baseline_) * x
                            : baseline_ + x * baseline_;
  if (!(p < kNearOne)) return p;
  double log_a = 0.0;
  double log_b = 0.0;
  LogProducts(states, &log_a, &log_b);
  // b * A / B, or b + (1 - b)(1 - B / A) when A is above B.
  const double exact = log_a > log_b
                           ? baseline_ - (1.0 - baseline_) * std::expm1(log_b - log_a)
                           : baseline_ * std::exp(log_a - log_b);
  return Mended(p, exact);
}

double VRN_cast::CalculateCptComplement(const VRN_intArray& states,
                                        double p_true) {
  const double plain = 1.0 - p_true;
  if (plain > kNearOne) return plain;
  double log_a = 0.0;
  double log_b = 0.0;
  LogProducts(states, &log_a, &log_b);
  if (std::isinf(log_a) && std::isinf(log_b)) return plain;  // A + B = 0
  // (1 - b) B / A, or 1 - b A / B when A is at most B.
  const double exact =
      log_a > log_b ? (1.0 - baseline_) * std::exp(log_b - log_a)
                    : (1.0 - baseline_) - baseline_ * std::expm1(log_a - log_b);
  return Mended(plain, exact);
}

void VRN_cast::LogProducts(const VRN_intArray& states, double* log_a,
                           double* log_b) const {
  for (int i = 0; i < positive_.GetSize(); ++i) {
    const double w = states[i] == 0 ? positive_[i] : negative_[i];
    if (w < 0.0) {
      *log_a += std::log1p(w);
    } else {
      *log_b += std::log1p(-w);
    }
  }
}

int VRN_cast::SetWeights(const VRN_doubleArray& weights,
                         VRN_doubleArray* into) {
  if (weights.GetSize() != into->GetSize()) return qelta::kErrOutOfRange;
  for (double w : weights) {
    if (!InRange(w, -1.0, 1.0)) return qelta::kErrInvalidValue;
  }
  VRN_autoUpdateGuard guard(GetNetwork());
  *into = weights;
  Changed();
  return qelta::kOk;
}

int VRN_cast::SetPositiveWeights(const VRN_doubleArray& weights) {
  return SetWeights(weights, &positive_);
}

int VRN_cast::SetNegativeWeights(const VRN_doubleArray& weights) {
  return SetWeights(weights, &negative_);
}

int VRN_cast::SetBaseline(double b) {
  if (!InRange(b, 0.0, 1.0)) return qelta::kErrInvalidValue;
  VRN_autoUpdateGuard guard(GetNetwork());
  baseline_ = b;
  Changed();
  return qelta::kOk;
}
