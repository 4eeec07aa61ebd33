#include "diagnosis/diag_measures.h"

#include <cmath>

namespace qelta::diag {

double Log2(double x) { return std::log10(x) / std::log10(2.0); }

double FaultEntropy(const double* beliefs, const std::vector<int>& outcomes) {
  double sum = 0.0;
  double entropy = 0.0;
  for (int o : outcomes) {
    const double p = beliefs[o];
    sum += p;
    if (p > 0.0) entropy -= p * Log2(p);
  }
  const double rest = 1.0 - sum;
  if (rest > 0.0) entropy -= rest * Log2(rest);
  return entropy;
}

double LargestSigned(const double* values, std::size_t n) {
  double best = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::fabs(values[i]) > std::fabs(best)) best = values[i];
  }
  return best;
}

namespace {

double NormalizedDistance(const double* a, const double* b, std::size_t n) {
  double na = 0.0;
  double nb = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    na += a[i] * a[i];
    nb += b[i] * b[i];
  }
  na = std::sqrt(na);
  nb = std::sqrt(nb);
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = a[i] / na - b[i] / nb;
    sum += d * d;
  }
  return std::sqrt(0.5 * sum);
}

double MeanAbsoluteChange(const double* a, const double* b, std::size_t n) {
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) sum += std::fabs(a[i] - b[i]);
  return sum / static_cast<double>(n);
}

}  // namespace

double Measure(int code, const double* a, const double* b, std::size_t n) {
  switch (code) {
    case 257: {
      double best = 0.0;
      for (std::size_t i = 0; i < n; ++i) {
        const double c = b[i] - a[i];
        if (std::fabs(c) > std::fabs(best)) best = c;
      }
      return best;
    }
    case 258:
      return NormalizedDistance(a, b, n);
    case 259: {
      double ab = 0.0;
      double aa = 0.0;
      double bb = 0.0;
      for (std::size_t i = 0; i < n; ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
      }
      return 1.0 - ab / std::sqrt(aa * bb);
    }
    case 260:
      return MeanAbsoluteChange(a, b, n);
    case 261:
      return (NormalizedDistance(a, b, n) + MeanAbsoluteChange(a, b, n)) * 0.5;
    default:
      return -1.0;
  }
}

double CertaintyA(const std::vector<double>& p) {
  double sum = 0.0;
  for (double x : p) sum += (x - 0.5) * (x - 0.5);
  return 4.0 / static_cast<double>(p.size()) * sum - 1.0;
}

double CertaintyB(const std::vector<double>& p) {
  const double n = static_cast<double>(p.size());
  const double t = 1.0 - 1.0 / n;
  double sum = 0.0;
  for (double x : p) {
    const double d = x <= t ? x - t : (x - t) * (n - 1.0);
    sum += d * d;
  }
  return sum / (t * t * n) - 1.0;
}

}  // namespace qelta::diag
