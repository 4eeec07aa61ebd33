// G-squared and Fisher's z tests.
#include "learning/independence_test.h"

#include <cmath>
#include <new>

#include "learning/count_cache.h"
#include "learning/dataset.h"

namespace {

constexpr double kEpsilon = 3e-7;
constexpr double kTiny = 1e-30;
// Far beyond what convergence needs (about 1,000 steps at a = 50,000); only
// a non-number can run this long.
constexpr int kMaxSteps = 10000000;

}  // namespace

double VRN_LnGamma(double a) {
  static const double kCoefficients[6] = {76.18009172947146, -86.50532032941678, 24.01409824083091,
                                          -1.231739572450155, 0.001208650973866179, -5.395239384953e-06};
  const double t = a + 5.5;
  double series = 1.000000000190015;
  for (int k = 0; k < 6; ++k) series += kCoefficients[k] / (a + k + 1);
  return std::log(2.5066282746310007 * series / a) - (t - (a + 0.5) * std::log(t));
}

double VRN_GammaQ(double a, double g) {
  if (g <= 0.0) return 1.0;
  const double front = std::exp(a * std::log(g) - g - VRN_LnGamma(a));
  if (g < a + 1.0) {
    // 1 - P(a, g) by the series.
    double del = 1.0 / a;
    double sum = del;
    for (int n = 1; n < kMaxSteps; ++n) {
      del *= g / (a + n);
      sum += del;
      if (std::fabs(del) < std::fabs(sum) * kEpsilon) break;
    }
    return 1.0 - sum * front;
  }
  // Q(a, g) by the continued fraction (modified Lentz).
  double b = g + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i < kMaxSteps; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1.0) < kEpsilon) break;
  }
  return h * front;
}

double VRN_GSquaredTest(int x, int y, const std::vector<int>& s, VRN_countCache& cache,
                        VRN_gSquaredScratch& scratch, double* mutualInformation, double* g2, int* df) {
  const int records = cache.GetRecordCount();
  double configurations = 1.0;
  for (int v : s) configurations *= cache.GetArity(v);
  if (5.0 * configurations >= records) return -1.0;
  const int ax = cache.GetArity(x);
  const int ay = cache.GetArity(y);
  const std::size_t k = s.size();
  std::vector<std::pair<int, int>>& pairs = scratch.pairs;
  std::vector<int>& z = scratch.z;
  z.assign(k, 0);
  scratch.nxz.resize(static_cast<std::size_t>(ax));
  scratch.nyz.resize(static_cast<std::size_t>(ay));
  double sum = 0.0;
  long long freedom = 0;
  for (;;) {
    pairs.clear();
    for (std::size_t i = 0; i < k; ++i) pairs.emplace_back(s[i], z[i]);
    const int nz = k == 0 ? records : cache.GetCount(pairs);
    if (nz > 0) {
      int emptyX = 0;
      int emptyY = 0;
      for (int vx = 0; vx < ax; ++vx) {
        pairs.resize(k);
        pairs.emplace_back(x, vx);
        const int c = cache.GetCount(pairs);
        scratch.nxz[static_cast<std::size_t>(vx)] = c;
        emptyX += c == 0 ? 1 : 0;
      }
      for (int vy = 0; vy < ay; ++vy) {
        pairs.resize(k);
        pairs.emplace_back(y, vy);
        const int c = cache.GetCount(pairs);
        scratch.nyz[static_cast<std::size_t>(vy)] = c;
        emptyY += c == 0 ? 1 : 0;
      }
      for (int vx = 0; vx < ax; ++vx) {
        const int nxz = scratch.nxz[static_cast<std::size_t>(vx)];
        if (nxz == 0) continue;
        for (int vy = 0; vy < ay; ++vy) {
          const int nyz = scratch.nyz[static_cast<std::size_t>(vy)];
          if (nyz == 0) continue;
          pairs.resize(k);
          pairs.emplace_back(x, vx);
          pairs.emplace_back(y, vy);
          const int nxyz = cache.GetCount(pairs);
          if (nxyz == 0) continue;
          sum += nxyz * (std::log(static_cast<double>(nxyz)) + std::log(static_cast<double>(nz)) -
                         std::log(static_cast<double>(nxz)) - std::log(static_cast<double>(nyz)));
        }
      }
      if (ax - emptyX >= 1) freedom += static_cast<long long>(ax - emptyX - 1) * (ay - emptyY - 1);
    }
    std::size_t i = 0;
    for (; i < k; ++i) {
      if (++z[i] < cache.GetArity(s[i])) break;
      z[i] = 0;
    }
    if (i == k) break;
  }
  const double statistic = 2.0 * sum;
  if (freedom < 1) freedom = 1;
  if (mutualInformation != nullptr) *mutualInformation = statistic / (2.0 * records * std::log(2.0));
  if (g2 != nullptr) *g2 = statistic;
  if (df != nullptr) *df = static_cast<int>(freedom);
  const double half = statistic / 2.0;
  if (half < 0.0) return -1.0;
  return VRN_GammaQ(static_cast<double>(freedom) / 2.0, half);
}

VRN_correlationData::VRN_correlationData(const VRN_dataset& data)
    : n_(data.GetVariableCount()), records_(data.GetRecordCount()) {
  const std::size_t n = static_cast<std::size_t>(n_);
  std::vector<double> mean(n, 0.0), value(n, 0.0), moment(n * n, 0.0);
  for (int r = 0; r < records_; ++r) {
    const double count = r + 1.0;
    for (std::size_t v = 0; v < n; ++v) value[v] = data.GetFloat(static_cast<int>(v), r) - mean[v];
    for (std::size_t a = 0; a < n; ++a) {
      for (std::size_t b = a; b < n; ++b) moment[a * n + b] += value[a] * value[b] * (count - 1.0) / count;
    }
    for (std::size_t v = 0; v < n; ++v) mean[v] += value[v] / count;
  }
  correlation_.assign(n * n, 1.0);
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      const double r = moment[a * n + b] / std::sqrt(moment[a * n + a] * moment[b * n + b]);
      correlation_[a * n + b] = r;
      correlation_[b * n + a] = r;
    }
  }
}

double VRN_correlationData::Lookup(int x, int y, const std::vector<int>& s, std::size_t count,
                                   bool* found) const {
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<int>& key = key_;
    key.assign(1, pass == 0 ? x : y);
    key.push_back(pass == 0 ? y : x);
    key.insert(key.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(count));
    const auto it = cache_.find(key);
    if (it != cache_.end()) {
      *found = true;
      return it->second;
    }
  }
  *found = false;
  return 0.0;
}

void VRN_correlationData::Store(int x, int y, const std::vector<int>& s, std::size_t count, double r) {
  try {
    std::vector<int> key{x, y};
    key.insert(key.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(count));
    cache_.emplace(std::move(key), r);
    estimate_ += 16 + 4 * count;
    if (static_cast<double>(estimate_) * 4.0 / (1 << 20) > memory_limit) {
      cache_.clear();
      estimate_ = 0;
    }
  } catch (const std::bad_alloc&) {
    cache_.clear();
    estimate_ = 0;
  }
}

double VRN_correlationData::Compute(int x, int y, const std::vector<int>& s, std::size_t count) {
  if (count == 0) {
    return correlation_[static_cast<std::size_t>(x) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(y)];
  }
  bool found = false;
  const double cached = Lookup(x, y, s, count, &found);
  if (found) return cached;
  const int w = s[count - 1];
  const double rxy = Compute(x, y, s, count - 1);
  const double rxw = Compute(x, w, s, count - 1);
  const double ryw = Compute(y, w, s, count - 1);
  const double r = (rxy - rxw * ryw) / (std::sqrt(1.0 - rxw * rxw) * std::sqrt(1.0 - ryw * ryw));
  Store(x, y, s, count, r);
  return r;
}

double VRN_correlationData::PartialCorrelation(int x, int y, const std::vector<int>& s) {
  return Compute(x, y, s, s.size());
}

double VRN_correlationData::FisherZTest(int x, int y, const std::vector<int>& s) {
  const double r = PartialCorrelation(x, y, s);
  const double room = static_cast<double>(records_) - static_cast<double>(s.size()) - 3.0;
  if (!(room > 0.0) || std::isnan(r)) return -1.0;
  const double z = std::fabs(0.5 * std::sqrt(room) * std::log((1.0 + r) / (1.0 - r)));
  if (!(z <= 6.0)) return 0.0;  // beyond 6, and r = ±1
  const double t = 1.0 / (1.0 + 0.2316419 * z);
  const double phi =
      1.0 - 0.3989423 * std::exp(-z * z / 2.0) *
                t * (0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + 1.330274429 * t))));
  return 2.0 - 2.0 * phi;
}
