#include "base/random.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "base/intervals.h"
#include "base/special_values.h"
#include "base/metalog.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kE = 2.718281828459045;
// 2^-53: NextDouble's 53 bits scaled into [0, 1).
constexpr double kTwoPowMinus53 = 1.0 / 9007199254740992.0;
// Beyond this mean the product of uniforms in the plain Poisson method would
// fall below the smallest double; larger means move the threshold in steps.
constexpr double kPoissonDirectLimit = 500.0;
// Beyond this mean the stepwise method costs too many draws; the normal
// approximation is then accurate to well within the sampling noise.
constexpr double kPoissonNormalLimit = 1e7;
// Up to this many trials a binomial draw takes one uniform per trial; beyond
// it one draw per trial would stall sampling (two billion trials take
// seconds), so the count comes from waiting times or, for large variances,
// the normal approximation.
constexpr int kBinomialDirectLimit = 10000;
constexpr double kBinomialNormalMean = 50.0;

// Jenkins' 32-bit integer hash, spreading a seed over all bits.
std::uint32_t Hash(std::uint32_t a) {
  a = a * 4097u + 0x7ED55D16u;
  a = a ^ 0xC761C23Cu ^ (a >> 19);
  a = a * 33u + 0x165667B1u;
  a = (a + 0xD3A2646Cu) ^ (a << 9);
  a = a * 9u + 0xFD7046C5u;
  a = a ^ 0xB55A4F09u ^ (a >> 16);
  return a;
}

// Standard normal density.
double Phi(double t) { return 0.3989422804014327 * std::exp(-t * t / 2.0); }

}  // namespace

VRN_randomGenerator::VRN_randomGenerator(int seed) { Seed(seed); }

void VRN_randomGenerator::Seed(int seed) {
  has_spare_ = false;
  spare_ = 0.0;
  x_ = 123456789u;
  y_ = 987654321u;
  z_ = 43219876u;
  c_ = 6543217u;
  std::uint32_t s = static_cast<std::uint32_t>(seed);
  if (s == 0) {
    s = static_cast<std::uint32_t>(std::time(nullptr)) ^
        static_cast<std::uint32_t>(std::clock()) ^
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this)) ^
        0x1337CAFEu;
  }
  const std::uint32_t h1 = Hash(s);
  x_ ^= h1;
  const std::uint32_t h2 = Hash(h1 ^ 0xA5A5A5A5u);
  y_ ^= h2;
  const std::uint32_t h3 = Hash(h2 ^ 0xFF1122EEu);
  z_ ^= h3;
  Discard(7);
}

void VRN_randomGenerator::Discard(int n) {
  for (int i = 0; i < n; ++i) Step();
}

std::uint32_t VRN_randomGenerator::Step() {
  x_ = 314527869u * x_ + 1234567u;
  y_ ^= y_ << 5;
  y_ ^= y_ >> 7;
  y_ ^= y_ << 22;
  const std::uint64_t t = 4294584393ull * z_ + c_;
  c_ = static_cast<std::uint32_t>(t >> 32);
  z_ = static_cast<std::uint32_t>(t);
  return x_ + y_ + z_;
}

unsigned VRN_randomGenerator::NextInt(unsigned n) {
  const std::uint32_t v = Step();
  return n == 0 ? 0 : v % n;
}

double VRN_randomGenerator::NextDouble() {
  const std::uint32_t a = Step() >> 6;
  const std::uint32_t b = Step() >> 5;
  return (a * 134217728.0 + b) * kTwoPowMinus53;
}

double VRN_randomGenerator::Uniform(double a, double b) {
  return a + (b - a) * NextDouble();
}

double VRN_randomGenerator::Normal(double mean, double sd) {
  if (sd < 0) return VRN_NaN();
  if (has_spare_) {
    has_spare_ = false;
    return mean + spare_ * sd;
  }
  double u, v, s;
  do {
    u = 2.0 * NextDouble() - 1.0;
    v = 2.0 * NextDouble() - 1.0;
    s = u * u + v * v;
  } while (s == 0.0 || s >= 1.0);
  const double f = std::sqrt(-2.0 * std::log(s) / s);
  spare_ = v * f;
  has_spare_ = true;
  return mean + u * f * sd;
}

double VRN_randomGenerator::Exponential(double lambda) {
  double u;
  do {
    u = std::log(NextDouble());
  } while (!std::isfinite(u));
  return -u / lambda;
}

double VRN_randomGenerator::Weibull(double lambda, double k) {
  double u;
  do {
    u = std::log(NextDouble());
  } while (!std::isfinite(u));
  return lambda * std::pow(-u, 1.0 / k);
}

double VRN_randomGenerator::Triangular(double a, double c, double b) {
  const double u = NextDouble();
  if (u <= (c - a) / (b - a)) return a + std::sqrt((c - a) * (b - a) * u);
  return b - std::sqrt((1.0 - u) * (b - a) * (b - c));
}

double VRN_randomGenerator::Bernoulli(double p) {
  if (!std::isfinite(p)) return VRN_NaN();
  return p > NextDouble() ? 1.0 : 0.0;
}

std::int64_t VRN_randomGenerator::Binomial(std::int64_t n, double p) {
  if (n <= kBinomialDirectLimit) {
    std::int64_t count = 0;
    for (std::int64_t i = 0; i < n; ++i) {
      if (p > NextDouble()) ++count;
    }
    return count;
  }
  if (!(p > 0.0)) return 0;  // NaN too: p > U never holds
  if (p >= 1.0) return n;
  // Count successes of the rarer kind and mirror back.
  const bool mirrored = p > 0.5;
  const double q = mirrored ? 1.0 - p : p;
  const double mean = static_cast<double>(n) * q;
  std::int64_t count;
  if (mean < kBinomialNormalMean) {
    // Geometric waiting times between successes: about mean + 1 draws.
    const double log_miss = std::log1p(-q);
    double position = 0.0;
    count = 0;
    for (;;) {
      position += std::floor(std::log(NextDouble()) / log_miss) + 1.0;
      if (!(position <= static_cast<double>(n))) break;
      ++count;
    }
  } else {
    const double v =
        std::floor(Normal(mean, std::sqrt(mean * (1.0 - q))) + 0.5);
    count = v <= 0.0 ? 0
            : v >= static_cast<double>(n) ? n
                                          : static_cast<std::int64_t>(v);
  }
  return mirrored ? n - count : count;
}

std::int64_t VRN_randomGenerator::Poisson(double lambda) {
  if (!(lambda > 0.0) || std::isinf(lambda)) return -1;
  if (lambda <= kPoissonDirectLimit) {
    const double limit = std::exp(-lambda);
    int k = -1;
    double prod = 1.0;
    do {
      ++k;
      prod *= NextDouble();
    } while (prod > limit);
    return k;
  }
  if (lambda <= kPoissonNormalLimit) {
    // The same product of uniforms, with e^lambda multiplied in by parts so
    // that nothing underflows.
    double left = lambda;
    double prod = 1.0;
    int k = 0;
    do {
      ++k;
      prod *= NextDouble();
      while (prod < kE && left > 0.0) {
        const double part = left > kPoissonDirectLimit ? kPoissonDirectLimit
                                                       : left;
        prod *= std::exp(part);
        left -= part;
      }
    } while (prod > 1.0);
    return k - 1;
  }
  const double v = std::floor(Normal(lambda, std::sqrt(lambda)) + 0.5);
  if (v <= 0.0) return 0;
  if (v >= 9223372036854775808.0) return INT64_MAX;
  return static_cast<std::int64_t>(v);
}

double VRN_randomGenerator::Gamma(double alpha, double theta) {
  if (!std::isfinite(alpha) || !std::isfinite(theta) || alpha <= 0.0 ||
      theta <= 0.0) {
    return VRN_NaN();
  }
  double x;
  if (alpha < 1.0) {
    const double b = kE / (alpha + kE);
    for (;;) {
      const double u1 = NextDouble();
      const double u2 = NextDouble();
      double limit;
      if (u1 < b) {
        x = std::pow(u2, 1.0 / alpha);
        limit = b * std::exp(-x);
      } else {
        x = 1.0 - std::log(u2);
        limit = b + (1.0 - b) * std::pow(x, alpha - 1.0);
      }
      if (u1 < limit) break;
    }
  } else if (alpha < 7.0 && alpha == std::floor(alpha)) {
    const int count = static_cast<int>(alpha);
    double log_prod;
    do {
      double prod = 1.0;
      for (int i = 0; i < count; ++i) prod *= NextDouble();
      log_prod = std::log(prod);
    } while (!std::isfinite(log_prod));
    x = -log_prod;
  } else {
    const double s = std::sqrt(2.0 * alpha - 1.0);
    const double m = alpha - 1.0;
    for (;;) {
      const double y = std::tan(kPi * NextDouble());
      x = s * y + m;
      if (x > 0.0 &&
          NextDouble() <= (1.0 + y * y) * std::exp(m * std::log(x / m) - s * y)) {
        break;
      }
    }
  }
  return x * theta;
}

double VRN_randomGenerator::Beta(double a, double b) {
  if (!std::isfinite(a) || !std::isfinite(b) || a <= 0.0 || b <= 0.0) {
    return VRN_NaN();
  }
  double r;
  do {
    if (a < 1.0 && b < 1.0) {
      double u1, u2, p, q;
      do {
        u1 = NextDouble();
        u2 = NextDouble();
        p = std::pow(u1, 1.0 / a);
        q = std::pow(u2, 1.0 / b);
      } while (p + q > 1.0);
      if (p + q > 0.0) {
        r = p / (p + q);
      } else {
        // Both powers underflowed (tiny a and b); the ratio is still well
        // defined in logarithms, and without this the draw would repeat
        // for ever.
        const double lp = std::log(u1) / a;
        const double lq = std::log(u2) / b;
        r = 1.0 / (1.0 + std::exp(lq - lp));
      }
    } else {
      const double p = Gamma(a, 1.0);
      const double q = Gamma(b, 1.0);
      r = p / (p + q);
    }
  } while (!std::isfinite(r));
  return r;
}

// ------------------------------------------------ truncated normal pieces
// All work on the standard scale; the callers map back.

double VRN_randomGenerator::StdNormalAbove(double alpha) {
  if (alpha == -VRN_Infinity() || alpha == -DBL_MAX) return -DBL_MAX;
  double z;
  do {
    z = Normal(0.0, 1.0);
  } while (z < alpha);
  return z;
}

double VRN_randomGenerator::ExpRejection(double alpha, double beta) {
  for (;;) {
    double l;
    do {
      l = std::log(NextDouble());
    } while (!std::isfinite(l));
    const double x = alpha - l / alpha;
    const double u = NextDouble();
    if (u <= std::exp(-(x - alpha) * (x - alpha) / 2.0) && x <= beta) {
      return x;
    }
  }
}

double VRN_randomGenerator::HalfNormalBetween(double alpha, double beta) {
  for (;;) {
    const double z = std::fabs(Normal(0.0, 1.0));
    if (alpha <= z && z <= beta) return z;
  }
}

double VRN_randomGenerator::NormalBetween(double alpha, double beta) {
  for (;;) {
    const double z = Normal(0.0, 1.0);
    if (alpha <= z && z <= beta) return z;
  }
}

double VRN_randomGenerator::UniformRejection(double alpha, double beta) {
  // The density's peak on [alpha, beta]: at 0 when the interval holds it
  // (an end at exactly 0 included), else at alpha (callers mirror upper
  // tails so that alpha is the end nearer 0).
  const double top = alpha <= 0.0 && 0.0 <= beta ? Phi(0.0) : Phi(alpha);
  for (;;) {
    const double x = alpha + (beta - alpha) * NextDouble();
    if (NextDouble() * top <= Phi(x)) return x;
  }
}

// Standard normal truncated to [alpha, beta] with 0 <= alpha < beta.
double VRN_randomGenerator::StdTruncNormal(double alpha, double beta) {
  if (Phi(alpha) / Phi(beta) <= 2.18) return UniformRejection(alpha, beta);
  if (alpha < 0.725) return HalfNormalBetween(alpha, beta);
  return ExpRejection(alpha, beta);
}

double VRN_randomGenerator::TruncNormal(double mean, double sd, double low,
                                        double high) {
  const bool low_finite = std::isfinite(low);
  const bool high_finite = std::isfinite(high);
  if (!low_finite && !high_finite) {
    return high > low ? Normal(mean, sd) : VRN_NaN();
  }
  // A rejection loop fed NaN or infinite limits would never accept.
  if (!std::isfinite(mean) || !std::isfinite(sd) || sd < 0.0) return VRN_NaN();
  if (sd == 0.0) return low <= mean && mean <= high ? mean : VRN_NaN();
  const double alpha = (low - mean) / sd;
  const double beta = (high - mean) / sd;
  if (low_finite && high_finite) {
    if (!(alpha < beta)) return VRN_NaN();
    if (alpha <= 0.0 && 0.0 <= beta) {
      const double x = Phi(alpha) > 0.15 && Phi(beta) > 0.15
                           ? UniformRejection(alpha, beta)
                           : NormalBetween(alpha, beta);
      return mean + x * sd;
    }
    if (beta < 0.0) return mean - StdTruncNormal(-beta, -alpha) * sd;
    return mean + StdTruncNormal(alpha, beta) * sd;
  }
  if (low_finite) {
    if (high != VRN_Infinity() || alpha == VRN_Infinity()) return VRN_NaN();
    const double x = alpha >= 0.45 ? ExpRejection(alpha, VRN_Infinity())
                                   : StdNormalAbove(alpha);
    return mean + x * sd;
  }
  if (low != -VRN_Infinity() || beta == -VRN_Infinity()) return VRN_NaN();
  const double mirrored = -beta;
  const double x = mirrored >= 0.45 ? ExpRejection(mirrored, VRN_Infinity())
                                    : StdNormalAbove(mirrored);
  return mean - x * sd;
}

double VRN_randomGenerator::TruncNormalOneSided(double mean, double sd,
                                                double low) {
  return TruncNormal(mean, sd, low, VRN_Infinity());
}

// ------------------------------------------------------------ the others

double VRN_randomGenerator::Metalog(double lower, double upper, int n,
                                    const double* a) {
  if (n < 2 || lower >= upper) return VRN_NaN();
  const double y = VRN_MetalogQuantile(NextDouble(), n, a);
  const bool lower_finite = std::isfinite(lower);
  const bool upper_finite = std::isfinite(upper);
  if (lower_finite && upper_finite) {
    const double e = std::exp(y);
    // e^y overflowing means the draw sits at the upper bound.
    if (std::isinf(e)) return upper;
    return (lower + upper * e) / (1.0 + e);
  }
  if (lower_finite) return lower + std::exp(y);
  if (upper_finite) return upper - std::exp(-y);
  return y;
}

double VRN_randomGenerator::Steps(int n, const double* bounds,
                                  const double* heights) {
  if (n < 2) return VRN_NaN();
  double total = 0.0;
  for (int i = 1; i < n; ++i) {
    total += (bounds[i] - bounds[i - 1]) * heights[i - 1];
  }
  const double t = NextDouble() * total;
  double sum = 0.0;
  int i = 1;
  for (;; ++i) {
    sum += (bounds[i] - bounds[i - 1]) * heights[i - 1];
    if (sum >= t || i == n - 1) break;
  }
  return bounds[i - 1] + (bounds[i] - bounds[i - 1]) * NextDouble();
}

double VRN_randomGenerator::CustomPdf(int n, const double* points,
                                      const double* heights) {
  if (n < 2) return VRN_NaN();
  // Segment weights are recomputed in the second pass rather than stored:
  // the same expressions give the same sums, and nothing is allocated.
  auto weight = [&](int k) {
    return (points[k + 1] - points[k]) * (heights[k] + heights[k + 1]);
  };
  double total = 0.0;
  for (int k = 0; k + 1 < n; ++k) total += weight(k);
  const double t = NextDouble() * total;
  int k = 0;
  double sum = 0.0;
  for (; k < n - 2; ++k) {
    sum += weight(k);
    if (sum > t) break;
  }
  const double width = points[k + 1] - points[k];
  const double d = heights[k + 1] - heights[k];
  const double low = d > 0.0 ? heights[k] : heights[k + 1];
  const double u2 = NextDouble();
  const double u3 = NextDouble();
  if (low / (low + std::fabs(d) / 2.0) > u3) return points[k] + width * u2;
  if (d > 0.0) return points[k] + width * std::sqrt(u2);
  return points[k + 1] - width * std::sqrt(1.0 - u2);
}

void VRN_randomGenerator::RandomDistribution(int n, double* out) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    double v;
    do {
      v = NextDouble();
    } while (v == 0.0);
    out[i] = v;
    sum += v;
  }
  for (int i = 0; i < n; ++i) out[i] /= sum;
}

double VRN_randomGenerator::SampleInInterval(int i, int n,
                                             const double* bounds,
                                             const double* probabilities) {
  if (i < 0 || i >= n) return VRN_NaN();
  const double lo = bounds[i];
  const double hi = bounds[i + 1];
  if (std::isfinite(lo) && std::isfinite(hi)) return Uniform(lo, hi);
  const VRN_intervalTail tail =
      VRN_IntervalTailParameters(i, n, bounds, probabilities);
  if (!std::isfinite(lo) && !std::isfinite(hi)) {
    // A single interval open at both ends: a full normal, not one tail.
    return Normal(0.0, tail.sigma);
  }
  return tail.offset + tail.direction * std::fabs(Normal(0.0, tail.sigma));
}

int VRN_SampleDiscreteIndex(double u, const double* probabilities, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    sum += probabilities[i];
    if (sum > u) return i;
  }
  return n - 1;
}

VRN_randomGenerator& VRN_DefaultRandomGenerator() {
  // One per thread: drawing changes it, and networks on other threads
  // evaluate expressions at the same time.
  thread_local VRN_randomGenerator generator(0);
  return generator;
}
