// The engine's pseudo-random generator and the distributions drawn from it.
//
// VRN_randomGenerator is a JKISS generator (a linear congruential step, a
// xorshift and a multiply-with-carry, summed). A non-zero seed gives the same
// sequence every time; seed 0 takes a seed from the clock. Every sampler
// consumes a fixed, documented number of draws, so whole sampling runs repeat
// exactly for a fixed seed: keep the draw order when changing a sampler.
//
// Ownership: a network owns its generator; algorithms that take a seed may
// make their own. Array arguments are borrowed for the call only.
//
// Thread use: a generator is used by one thread at a time. The process-wide
// default generator is not synchronised either.
#ifndef QELTA_BASE_RANDOM_H_
#define QELTA_BASE_RANDOM_H_

#include <cstdint>

class VRN_randomGenerator {
 public:
  explicit VRN_randomGenerator(int seed);

  // Restarts the sequence. Seed 0 is replaced by a value mixed from the
  // calendar time, the processor clock and this object's address.
  void Seed(int seed);
  // Performs n steps and drops their outputs.
  void Discard(int n);

  // One output modulo n; 0 for n == 0 (the step is still taken).
  unsigned NextInt(unsigned n);
  // Uniform in [0, 1) from 53 bits of two outputs; 0.0 is possible, 1.0 not.
  double NextDouble();

  // Distributions. "NaN" below means VRN_NaN(); parameters not mentioned are
  // not checked.
  // a + (b - a) * U.
  double Uniform(double a, double b);
  // Marsaglia's polar method; the second deviate of a pair is kept for the
  // next normal draw (of any parameters, truncated draws included). NaN,
  // drawing nothing, for sd < 0.
  double Normal(double mean, double sd);
  // -ln(U) / lambda, U redrawn while ln U is not finite.
  double Exponential(double lambda);
  // lambda * (-ln U)^(1/k), U redrawn likewise.
  double Weibull(double lambda, double k);
  // Triangular on [a, b] with mode c, by inversion.
  double Triangular(double a, double c, double b);
  // 1.0 when p > U, else 0.0; NaN when p is not finite.
  double Bernoulli(double p);
  // Number of n draws with p > U; 0 (drawing nothing) when n < 1.
  std::int64_t Binomial(std::int64_t n, double p);
  // Poisson deviate; -1 for lambda <= 0 or not finite; INT64_MAX where the
  // draw would be larger.
  std::int64_t Poisson(double lambda);
  // Gamma deviate of shape alpha and scale theta; NaN unless both are
  // finite and > 0.
  double Gamma(double alpha, double theta);
  // Beta deviate; NaN unless both are finite and > 0.
  double Beta(double a, double b);
  // Normal(mean, sd) truncated to [low, high]; infinite bounds leave that
  // side open. NaN for an empty interval, sd < 0 or NaN arguments.
  double TruncNormal(double mean, double sd, double low, double high);
  // Normal(mean, sd) truncated below low.
  double TruncNormalOneSided(double mean, double sd, double low);
  // Draw from an n-term metalog with coefficients a, mapped into
  // [lower, upper] (infinite bounds leave that side open). NaN, drawing
  // nothing, when n < 2 or lower >= upper.
  // REQUIRES: a holds n values.
  double Metalog(double lower, double upper, int n, const double* a);
  // Piecewise-constant density: n bounds, n - 1 step heights. Picks a step by
  // its area, then a uniform point in it. NaN for n < 2.
  double Steps(int n, const double* bounds, const double* heights);
  // Piecewise-linear density through n points with the given heights.
  // NaN for n < 2.
  double CustomPdf(int n, const double* points, const double* heights);
  // Fills out[0..n-1] with a random probability distribution: non-zero
  // uniform draws divided by their sum.
  void RandomDistribution(int n, double* out);
  // A value in interval i of n given by n + 1 ascending bounds: uniform when
  // both bounds are finite, else a half-normal tail from the finite bound
  // whose spread follows the neighbouring interval and the probabilities
  // (null: all intervals equally likely). NaN for i outside 0..n-1.
  double SampleInInterval(int i, int n, const double* bounds,
                          const double* probabilities);

 private:
  std::uint32_t Step();
  // Standard-scale pieces of the truncated normal samplers.
  double StdNormalAbove(double alpha);
  double ExpRejection(double alpha, double beta);
  double HalfNormalBetween(double alpha, double beta);
  double NormalBetween(double alpha, double beta);
  double UniformRejection(double alpha, double beta);
  double StdTruncNormal(double alpha, double beta);

  std::uint32_t x_;
  std::uint32_t y_;
  std::uint32_t z_;
  std::uint32_t c_;
  double spare_;
  bool has_spare_;
};

// The first index whose running sum of the n probabilities exceeds u; n - 1
// when none does (-1 for n < 1).
int VRN_SampleDiscreteIndex(double u, const double* probabilities, int n);

// The calling thread's generator used by expression evaluation when no
// other is given; made with seed 0 on the thread's first use.
VRN_randomGenerator& VRN_DefaultRandomGenerator();

#endif  // QELTA_BASE_RANDOM_H_
