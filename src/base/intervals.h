// Distributions over intervals: a continuous variable discretized into n
// intervals, the outer ones possibly unbounded and then modelled as
// half-normal tails.
//
// Thread use: pure functions; a sampler is a value.
#ifndef QELTA_BASE_INTERVALS_H_
#define QELTA_BASE_INTERVALS_H_

class VRN_randomGenerator;

// n intervals are given by n + 1 ascending bounds; interval i is
// [b_i, b_{i+1}]; b_0 may be -infinity and b_n +infinity; p_i is the
// probability of interval i (null probabilities mean 1/n each).

// The middle of bounds a and b: half their sum (the same bits as
// (a + b) * 0.5) wherever that sum is a number or an infinite bound makes
// it infinite; only two finite bounds whose sum overflows give the sum of
// their halves, the finite middle.
double VRN_Midpoint(double a, double b);

// Index of the interval holding x among m bounds: -3 for m < 2, -2 outside
// the bounds; a zero-width interval matches only its own bound; x equal to
// the last bound falls into the last interval.
int VRN_FindInterval(const double* bounds, int m, double x);

// Half-normal tail of unbounded interval i: x = offset + direction * |z|,
// z ~ Normal(0, sigma).
struct VRN_intervalTail {
  double sigma = 0.0;
  double offset = 0.0;
  double direction = 1.0;
};
// sigma is +inf where it exceeds the doubles.
// REQUIRES: n >= 2, interval i (0 or n - 1) is unbounded on its outer side.
VRN_intervalTail VRN_IntervalTailParameters(int i, int n, const double* bounds,
                                            const double* probabilities);
// Mean and standard deviation of the distribution over the n intervals.
// Both stay finite where they are, however large the bounds or a tail's
// deviation: squares that would overflow are taken of the values scaled
// down; a value beyond the doubles is infinite, never NaN or 0.
// REQUIRES: n >= 1.
double VRN_IntervalsMean(int n, const double* bounds,
                         const double* probabilities);
double VRN_IntervalsStdDev(int n, const double* bounds,
                           const double* probabilities);

// Draws values inside one interval: uniform for a bounded interval, the
// half-normal tail for an unbounded one.
class VRN_intervalSampler {
 public:
  // count is the number of bounds (intervals + 1).
  // REQUIRES: 0 <= i < count - 1.
  void Init(int i, const double* bounds, int count,
            const double* probabilities);
  double Draw(VRN_randomGenerator& generator) const;

  bool IsUnbounded() const { return unbounded_; }
  double Low() const { return low_; }
  double High() const { return high_; }
  const VRN_intervalTail& Tail() const { return tail_; }

 private:
  double low_ = 0.0;
  double high_ = 0.0;
  bool unbounded_ = false;
  VRN_intervalTail tail_;
};

#endif  // QELTA_BASE_INTERVALS_H_
