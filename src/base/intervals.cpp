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

}  // namespace

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
  double width;
  double p_tail;
  double p_next;
  if (std::isfinite(bounds[i])) {  // upper tail, i == n - 1
    tail.offset = bounds[i];
    tail.direction = 1.0;
    width = n >= 2 ? bounds[n - 1] - bounds[n - 2] : VRN_Infinity();
    p_tail = Probability(probabilities, n - 1, n);
    p_next = n >= 2 ? Probability(probabilities, n - 2, n) : 0.0;
  } else {  // lower tail, i == 0
    tail.offset = bounds[1];
    tail.direction = -1.0;
    width = n >= 2 ? bounds[2] - bounds[1] : VRN_Infinity();
    p_tail = Probability(probabilities, 0, n);
    p_next = n >= 2 ? Probability(probabilities, 1, n) : 0.0;
  }
  if (!std::isfinite(width)) {
    // No bounded neighbour whose density the tail could match.
    tail.sigma = 2.0 * p_tail;
  } else if (p_next > 0.0) {
    tail.sigma = p_tail * kSqrt2OverPi * width / p_next;
  } else {
    // An empty neighbour would make the tail infinitely wide; fall back to
    // the shape of equal probabilities.
    tail.sigma = kSqrt2OverPi * width;
  }
  return tail;
}

double VRN_IntervalsMean(int n, const double* bounds,
                         const double* probabilities) {
  double mean = 0.0;
  for (int i = 0; i < n; ++i) {
    double m;
    if (IsTail(i, n, bounds)) {
      VRN_intervalTail t =
          VRN_IntervalTailParameters(i, n, bounds, probabilities);
      m = t.offset + t.direction * t.sigma * kSqrt2OverPi;
    } else {
      m = 0.5 * (bounds[i] + bounds[i + 1]);
    }
    mean += Probability(probabilities, i, n) * m;
  }
  return mean;
}

double VRN_IntervalsStdDev(int n, const double* bounds,
                           const double* probabilities) {
  double e1 = VRN_IntervalsMean(n, bounds, probabilities);
  double e2 = 0.0;
  for (int i = 0; i < n; ++i) {
    double s;
    if (IsTail(i, n, bounds)) {
      VRN_intervalTail t =
          VRN_IntervalTailParameters(i, n, bounds, probabilities);
      s = t.sigma * t.sigma + t.offset * t.offset +
          2.0 * t.direction * t.sigma * t.offset * kSqrt2OverPi;
    } else {
      double a = bounds[i];
      double b = bounds[i + 1];
      s = (a * a + a * b + b * b) / 3.0;
    }
    e2 += Probability(probabilities, i, n) * s;
  }
  double variance = e2 - e1 * e1;
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
