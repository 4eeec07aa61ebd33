#include "base/intervals.h"

#include <algorithm>
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

// What a tail is built from: its bound and side, the bounds of its
// neighbour (possibly unbounded itself) and the two probabilities.
struct TailSetup {
  double offset;
  double direction;
  double lo;
  double hi;
  double p_tail;
  double p_next;
};

TailSetup SetUpTail(int i, int n, const double* bounds,
                    const double* probabilities) {
  if (std::isfinite(bounds[i])) {  // upper tail, i == n - 1
    return {bounds[i],
            1.0,
            n >= 2 ? bounds[n - 2] : -VRN_Infinity(),
            bounds[n - 1],
            Probability(probabilities, n - 1, n),
            n >= 2 ? Probability(probabilities, n - 2, n) : 0.0};
  }
  return {bounds[1],  // lower tail, i == 0
          -1.0,
          bounds[1],
          n >= 2 ? bounds[2] : VRN_Infinity(),
          Probability(probabilities, 0, n),
          n >= 2 ? Probability(probabilities, 1, n) : 0.0};
}

// A tail's deviation as fraction * 2^exponent (fraction 0 or in [0.5, 1)):
// it may lie beyond the doubles, so the width is taken of the neighbour's
// bounds scaled below 1 and p_next is divided out as its own fraction and
// exponent. In the doubles' normal range it has the same bits as the
// deviation VRN_IntervalTailParameters gives.
struct SplitDeviation {
  double fraction;
  int exponent;
};

SplitDeviation TailDeviation(const TailSetup& s) {
  double value;
  int exponent = 0;
  if (!std::isfinite(s.lo) || !std::isfinite(s.hi)) {
    value = 2.0 * s.p_tail;
  } else {
    int bound_exponent = 0;
    (void)std::frexp(std::fmax(std::fabs(s.lo), std::fabs(s.hi)),
                     &bound_exponent);
    const double width = std::ldexp(s.hi, -bound_exponent) -
                         std::ldexp(s.lo, -bound_exponent);
    if (s.p_next > 0.0) {
      int p_exponent = 0;
      const double p_fraction = std::frexp(s.p_next, &p_exponent);
      value = s.p_tail * kSqrt2OverPi * width / p_fraction;
      exponent = bound_exponent - p_exponent;
    } else {
      value = kSqrt2OverPi * width;
      exponent = bound_exponent;
    }
  }
  if (value == 0.0 || !std::isfinite(value)) return {value, 0};
  int value_exponent = 0;
  const double fraction = std::frexp(value, &value_exponent);
  return {fraction, exponent + value_exponent};
}

// Mean and mean square of interval i's values, every value multiplied by
// 2^-exponent: exponent 0, or one that keeps the values and their squares
// finite, even for a tail deviation beyond the doubles.
struct Moments {
  double mean;
  double square;
};

Moments IntervalMoments(int i, int n, const double* bounds,
                        const double* probabilities, int exponent) {
  if (IsTail(i, n, bounds)) {
    VRN_intervalTail t;
    if (exponent == 0) {
      t = VRN_IntervalTailParameters(i, n, bounds, probabilities);
    } else {
      const TailSetup s = SetUpTail(i, n, bounds, probabilities);
      const SplitDeviation d = TailDeviation(s);
      t.offset = std::ldexp(s.offset, -exponent);
      t.direction = s.direction;
      t.sigma = std::ldexp(d.fraction, d.exponent - exponent);
    }
    const double offset = t.offset;
    const double sigma = t.sigma;
    return {offset + t.direction * sigma * kSqrt2OverPi,
            sigma * sigma + offset * offset +
                2.0 * t.direction * sigma * offset * kSqrt2OverPi};
  }
  const double a = std::ldexp(bounds[i], -exponent);
  const double b = std::ldexp(bounds[i + 1], -exponent);
  return {VRN_Midpoint(a, b), (a * a + a * b + b * b) / 3.0};
}

// E1 and E2 (mean and mean square) of the values multiplied by 2^-exponent.
// An interval of probability 0 adds exactly 0 to both, so it is left out:
// its bounds, however large, must not turn 0 * inf into NaN.
struct Sums {
  double e1;
  double e2;
};

Sums ScaledSums(int n, const double* bounds, const double* probabilities,
                int exponent) {
  Sums sums{0.0, 0.0};
  for (int i = 0; i < n; ++i) {
    const double p = Probability(probabilities, i, n);
    if (p == 0.0) continue;
    const Moments m = IntervalMoments(i, n, bounds, probabilities, exponent);
    sums.e1 += p * m.mean;
    sums.e2 += p * m.square;
  }
  return sums;
}

// The exponent e of a power of two 2^-e that scales every value below
// 2^510, where squares and their sums of three stay finite while the small
// intervals' shares stay clear of underflow; measured on the largest finite
// bound or tail deviation, the deviation counted even where it lies beyond
// the doubles. Intervals of probability 0 take no part in the sums, so
// their bounds do not count (a tail's deviation still follows the width of
// its neighbour, whatever that one's probability).
int ScaleExponent(int n, const double* bounds, const double* probabilities) {
  double largest = 0.0;
  for (int i = 0; i < n; ++i) {
    if (Probability(probabilities, i, n) == 0.0) continue;
    for (double bound : {bounds[i], bounds[i + 1]}) {
      if (std::isfinite(bound)) largest = std::fmax(largest, std::fabs(bound));
    }
  }
  int exponent = 0;
  (void)std::frexp(largest, &exponent);
  for (int i : {0, n - 1}) {
    if (!IsTail(i, n, bounds) || Probability(probabilities, i, n) == 0.0) {
      continue;
    }
    const SplitDeviation d =
        TailDeviation(SetUpTail(i, n, bounds, probabilities));
    if (d.fraction != 0.0 && std::isfinite(d.fraction)) {
      exponent = std::max(exponent, d.exponent);
    }
  }
  return exponent - 510;
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
  const TailSetup s = SetUpTail(i, n, bounds, probabilities);
  VRN_intervalTail tail;
  tail.offset = s.offset;
  tail.direction = s.direction;
  double width = s.hi - s.lo;
  double factor = 1.0;
  if (std::isinf(width) && std::isfinite(s.lo) && std::isfinite(s.hi)) {
    // A bounded neighbour wider than the largest double: its half width,
    // doubled again at the end (the deviation is +inf where it exceeds
    // the doubles; the moments take it apart instead).
    width = 0.5 * s.hi - 0.5 * s.lo;
    factor = 2.0;
  }
  if (!std::isfinite(width)) {
    // No bounded neighbour whose density the tail could match.
    tail.sigma = 2.0 * s.p_tail;
  } else if (s.p_next > 0.0) {
    tail.sigma = s.p_tail * kSqrt2OverPi * width / s.p_next * factor;
  } else {
    // An empty neighbour would make the tail infinitely wide; fall back to
    // the shape of equal probabilities.
    tail.sigma = kSqrt2OverPi * width * factor;
  }
  return tail;
}

double VRN_IntervalsMean(int n, const double* bounds,
                         const double* probabilities) {
  const double mean = ScaledSums(n, bounds, probabilities, 0).e1;
  if (std::isfinite(mean)) return mean;
  // A tail's mean, or its deviation, beyond the doubles: the sums over
  // values scaled down, the mean scaled back (infinite only where it is).
  const int exponent = ScaleExponent(n, bounds, probabilities);
  const double scaled = ScaledSums(n, bounds, probabilities, exponent).e1;
  return std::isfinite(scaled) ? std::ldexp(scaled, exponent) : mean;
}

double VRN_IntervalsStdDev(int n, const double* bounds,
                           const double* probabilities) {
  const Sums sums = ScaledSums(n, bounds, probabilities, 0);
  const double variance = sums.e2 - sums.e1 * sums.e1;
  const int exponent = ScaleExponent(n, bounds, probabilities);
  if (!std::isfinite(variance) ||
      exponent + 510 < qelta::kTinySquareExponent) {
    // Squares (or the mean, or a tail's deviation) overflowed, or fell below
    // the normal doubles: the same sums over values scaled into the middle
    // of the doubles, the deviation scaled back (+inf where it exceeds the
    // doubles).
    const Sums scaled = ScaledSums(n, bounds, probabilities, exponent);
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
