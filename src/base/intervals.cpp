#include "base/intervals.h"

#include <cmath>

#include "base/random.h"
#include "base/special_values.h"
#include "base/status.h"

namespace {

constexpr double kSqrt2OverPi = 0.7978845608028654;

bool IsTail(int i, int n, const double* bounds) {
  return (i == 0 && !std::isfinite(bounds[0])) ||
         (i == n - 1 && !std::isfinite(bounds[n]));
}

double Probability(const double* probabilities, int i, int n) {
  return probabilities != nullptr ? probabilities[i] : 1.0 / n;
}

// Mean and mean square of interval i's values, every value multiplied by
// scale: 1, or a power of two (exact) that keeps the squares finite.
struct Moments {
  double mean;
  double square;
};

Moments IntervalMoments(int i, int n, const double* bounds,
                        const double* probabilities, double scale) {
  if (IsTail(i, n, bounds)) {
    const VRN_intervalTail t =
        VRN_IntervalTailParameters(i, n, bounds, probabilities);
    const double offset = t.offset * scale;
    const double sigma = t.sigma * scale;
    return {offset + t.direction * sigma * kSqrt2OverPi,
            sigma * sigma + offset * offset +
                2.0 * t.direction * sigma * offset * kSqrt2OverPi};
  }
  const double a = bounds[i] * scale;
  const double b = bounds[i + 1] * scale;
  return {VRN_Midpoint(a, b), (a * a + a * b + b * b) / 3.0};
}

// E1 and E2 (mean and mean square) of the values multiplied by scale.
struct Sums {
  double e1;
  double e2;
};

Sums ScaledSums(int n, const double* bounds, const double* probabilities,
                double scale) {
  Sums sums{0.0, 0.0};
  for (int i = 0; i < n; ++i) {
    const Moments m = IntervalMoments(i, n, bounds, probabilities, scale);
    const double p = Probability(probabilities, i, n);
    sums.e1 += p * m.mean;
    sums.e2 += p * m.square;
  }
  return sums;
}

// The largest finite magnitude among the bounds and the tails' deviations:
// what the values scale with.
double LargestMagnitude(int n, const double* bounds,
                        const double* probabilities) {
  double largest = 0.0;
  for (int i = 0; i <= n; ++i) {
    if (std::isfinite(bounds[i])) largest = std::fmax(largest, std::fabs(bounds[i]));
  }
  for (int i : {0, n - 1}) {
    if (!IsTail(i, n, bounds)) continue;
    const double sigma =
        VRN_IntervalTailParameters(i, n, bounds, probabilities).sigma;
    if (std::isfinite(sigma)) largest = std::fmax(largest, std::fabs(sigma));
  }
  return largest;
}

// The exponent e of a power of two 2^-e that scales every value below 1.
int ScaleExponent(int n, const double* bounds, const double* probabilities) {
  int exponent = 0;
  (void)std::frexp(LargestMagnitude(n, bounds, probabilities), &exponent);
  return exponent;
}

}  // namespace

double VRN_Midpoint(double a, double b) {
  const double sum = a + b;
  if (std::isinf(sum) && std::isfinite(a) && std::isfinite(b)) {
    return 0.5 * a + 0.5 * b;
  }
  return 0.5 * sum;
}

int VRN_FindInterval(const double* bounds, int m, double x) {
  if (m < 2) return qelta::kErrNoItem;
  if (std::isnan(x) || x < bounds[0] || x > bounds[m - 1]) {
    return qelta::kErrOutOfRange;
  }
  for (int i = 1; i < m; ++i) {
    if (bounds[i - 1] == bounds[i]) {
      if (x == bounds[i]) return i - 1;
    } else if (bounds[i] > x) {
      return i - 1;
    }
  }
  return m - 2;
}

VRN_intervalTail VRN_IntervalTailParameters(int i, int n, const double* bounds,
                                            const double* probabilities) {
  VRN_intervalTail tail;
  double lo;  // the bounds of the neighbour, possibly unbounded itself
  double hi;
  double p_tail;
  double p_next;
  if (std::isfinite(bounds[i])) {  // upper tail, i == n - 1
    tail.offset = bounds[i];
    tail.direction = 1.0;
    lo = n >= 2 ? bounds[n - 2] : -VRN_Infinity();
    hi = bounds[n - 1];
    p_tail = Probability(probabilities, n - 1, n);
    p_next = n >= 2 ? Probability(probabilities, n - 2, n) : 0.0;
  } else {  // lower tail, i == 0
    tail.offset = bounds[1];
    tail.direction = -1.0;
    lo = bounds[1];
    hi = n >= 2 ? bounds[2] : VRN_Infinity();
    p_tail = Probability(probabilities, 0, n);
    p_next = n >= 2 ? Probability(probabilities, 1, n) : 0.0;
  }
  double width = hi - lo;
  double factor = 1.0;
  if (std::isinf(width) && std::isfinite(lo) && std::isfinite(hi)) {
    // A bounded neighbour wider than the largest double: its half width,
    // doubled again at the end.
    width = 0.5 * hi - 0.5 * lo;
    factor = 2.0;
  }
  if (!std::isfinite(width)) {
    // No bounded neighbour whose density the tail could match.
    tail.sigma = 2.0 * p_tail;
  } else if (p_next > 0.0) {
    tail.sigma = p_tail * kSqrt2OverPi * width / p_next * factor;
  } else {
    // An empty neighbour would make the tail infinitely wide; fall back to
    // the shape of equal probabilities.
    tail.sigma = kSqrt2OverPi * width * factor;
  }
  return tail;
}

double VRN_IntervalsMean(int n, const double* bounds,
                         const double* probabilities) {
  const double mean = ScaledSums(n, bounds, probabilities, 1.0).e1;
  if (std::isfinite(mean)) return mean;
  // A tail's mean beyond the doubles: the sums over values scaled below 1,
  // the mean scaled back (infinite only where it is).
  const int exponent = ScaleExponent(n, bounds, probabilities);
  const double scaled =
      ScaledSums(n, bounds, probabilities, std::ldexp(1.0, -exponent)).e1;
  return std::isfinite(scaled) ? std::ldexp(scaled, exponent) : mean;
}

double VRN_IntervalsStdDev(int n, const double* bounds,
                           const double* probabilities) {
  const Sums sums = ScaledSums(n, bounds, probabilities, 1.0);
  const double variance = sums.e2 - sums.e1 * sums.e1;
  if (!std::isfinite(variance)) {
    // Squares (or the mean) overflowed: the same sums over values scaled
    // below 1, the deviation scaled back.
    const int exponent = ScaleExponent(n, bounds, probabilities);
    const Sums scaled =
        ScaledSums(n, bounds, probabilities, std::ldexp(1.0, -exponent));
    const double v = scaled.e2 - scaled.e1 * scaled.e1;
    if (std::isfinite(v)) {
      return v > 0.0 ? std::ldexp(std::sqrt(v), exponent) : 0.0;
    }
  }
  // Rounding can push a zero variance slightly below zero.
  return variance > 0.0 ? std::sqrt(variance) : 0.0;
}

void VRN_intervalSampler::Init(int i, const double* bounds, int count,
                               const double* probabilities) {
  int n = count - 1;
  low_ = bounds[i];
  high_ = bounds[i + 1];
  unbounded_ = IsTail(i, n, bounds);
  tail_ = unbounded_ ? VRN_IntervalTailParameters(i, n, bounds, probabilities)
                     : VRN_intervalTail();
}

double VRN_intervalSampler::Draw(VRN_randomGenerator& generator) const {
  if (!unbounded_) return generator.Uniform(low_, high_);
  return tail_.offset +
         tail_.direction * std::fabs(generator.Normal(0.0, tail_.sigma));
}
