// Metalog fitting by Gauss-Jordan elimination, and the Metalog and
// MetalogA evaluators with their per-call cache.
#include "equations/metalog_fit.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "base/random.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Basis column j at probability p.
void FillBasisRow(double p, int n, double* row) {
  const double l = std::log(p / (1.0 - p));
  const double c = p - 0.5;
  row[0] = 1.0;
  if (n > 1) row[1] = l;
  if (n > 2) row[2] = c * l;
  if (n > 3) row[3] = c;
  double power = c;
  for (int j = 4; j < n; ++j) {
    if (j % 2 == 0) {
      power *= c;
      row[j] = power;
    } else {
      row[j] = power * l;
    }
  }
}

double Transform(double x, double lo, double hi) {
  const bool has_lo = std::isfinite(lo);
  const bool has_hi = std::isfinite(hi);
  if (has_lo && has_hi) return std::log((x - lo) / (hi - x));
  if (has_lo) return std::log(x - lo);
  if (has_hi) return -std::log(hi - x);
  return x;
}

// Gauss-Jordan elimination on the n-by-n row-major m, without row swaps:
// a zero pivot gets a later row with a nonzero entry in its column added.
// With inverse (n-by-n, starting as the identity) the same row operations
// turn it into m's inverse. With determinant the pivots are multiplied into
// it, stopping at 0.
void Eliminate(double* m, int n, double* inverse, double* determinant) {
  for (int col = 0; col < n; ++col) {
    double* pivot_row = m + static_cast<size_t>(col) * n;
    if (pivot_row[col] == 0.0) {
      for (int r = col + 1; r < n; ++r) {
        const double* row = m + static_cast<size_t>(r) * n;
        if (row[col] == 0.0) continue;
        for (int j = 0; j < n; ++j) pivot_row[j] += row[j];
        if (inverse != nullptr) {
          double* to = inverse + static_cast<size_t>(col) * n;
          const double* from = inverse + static_cast<size_t>(r) * n;
          for (int j = 0; j < n; ++j) to[j] += from[j];
        }
        break;
      }
    }
    const double pivot = pivot_row[col];
    if (determinant != nullptr) {
      *determinant *= pivot;
      if (*determinant == 0.0) return;
    }
    for (int j = 0; j < n; ++j) pivot_row[j] /= pivot;
    double* inverse_pivot =
        inverse != nullptr ? inverse + static_cast<size_t>(col) * n : nullptr;
    if (inverse_pivot != nullptr) {
      for (int j = 0; j < n; ++j) inverse_pivot[j] /= pivot;
    }
    for (int r = 0; r < n; ++r) {
      if (r == col) continue;
      double* row = m + static_cast<size_t>(r) * n;
      const double factor = row[col];
      if (factor == 0.0) continue;
      for (int j = 0; j < n; ++j) row[j] -= factor * pivot_row[j];
      if (inverse_pivot != nullptr) {
        double* inverse_row = inverse + static_cast<size_t>(r) * n;
        for (int j = 0; j < n; ++j) inverse_row[j] -= factor * inverse_pivot[j];
      }
    }
  }
}

double Arg(const VRN_stdFunctionFrame& f, size_t i) {
  return f.args[i]->Evaluate(f.context);
}

// Truncation toward zero; NaN and values outside the int range give -1.
int TermCount(double x) {
  if (!(x > -2147483649.0 && x < 2147483648.0)) return -1;
  return static_cast<int>(x);
}

}  // namespace

double VRN_MatrixDeterminant(const double* m, int n) {
  std::vector<double> copy(m, m + static_cast<size_t>(n) * n);
  double determinant = 1.0;
  Eliminate(copy.data(), n, nullptr, &determinant);
  return determinant;
}

int VRN_MetalogFit(double lo, double hi, int k, const double* x,
                   const double* p, int n, double* a, double tolerance) {
  const size_t nn = static_cast<size_t>(n) * n;
  std::vector<double> system(nn, 0.0);
  std::vector<double> rhs(static_cast<size_t>(n), 0.0);
  std::vector<double> row(static_cast<size_t>(n));
  if (k == n) {
    for (int i = 0; i < n; ++i) {
      FillBasisRow(p[i], n, system.data() + static_cast<size_t>(i) * n);
      rhs[i] = Transform(x[i], lo, hi);
    }
  } else {
    // Yt * Y and Yt * z, one data row at a time: Y itself is never stored.
    for (int i = 0; i < k; ++i) {
      FillBasisRow(p[i], n, row.data());
      const double z = Transform(x[i], lo, hi);
      for (int r = 0; r < n; ++r) {
        double* out = system.data() + static_cast<size_t>(r) * n;
        for (int c = 0; c < n; ++c) out[c] += row[r] * row[c];
        rhs[r] += row[r] * z;
      }
    }
  }
  if (tolerance >= 0.0 &&
      std::fabs(VRN_MatrixDeterminant(system.data(), n)) <= tolerance) {
    return -3;
  }
  std::vector<double> inverse(nn, 0.0);
  for (int i = 0; i < n; ++i) inverse[static_cast<size_t>(i) * n + i] = 1.0;
  Eliminate(system.data(), n, inverse.data(), nullptr);
  for (int r = 0; r < n; ++r) {
    const double* inverse_row = inverse.data() + static_cast<size_t>(r) * n;
    double sum = 0.0;
    for (int c = 0; c < n; ++c) sum += inverse_row[c] * rhs[c];
    a[r] = sum;
  }
  return 0;
}

double VRN_EvalMetalogA(const VRN_stdFunctionFrame& f) {
  const int m = static_cast<int>(f.args.size()) - 2;
  VRN_smallDoubleBuffer<20> coefficients;
  coefficients.Resize(m);
  for (int i = 0; i < m; ++i) coefficients[i] = Arg(f, static_cast<size_t>(i) + 2);
  const double hi = Arg(f, 1);
  const double lo = Arg(f, 0);
  return f.generator.Metalog(lo, hi, m, coefficients.data());
}

double VRN_EvalMetalog(const VRN_stdFunctionFrame& f) {
  const int count = static_cast<int>(f.args.size());
  VRN_smallDoubleBuffer<64> values;
  values.Resize(count);
  for (int i = 0; i < count; ++i) values[i] = Arg(f, static_cast<size_t>(i));
  const double lo = values[0];
  const double hi = values[1];
  const int n = TermCount(values[2]);
  const int k = (count - 3) / 2;
  // n comes from data: nothing of its size is made unless the pairs can
  // determine it.
  if (n < 2 || n > k || n > kMaxMetalogTerms) return kNaN;
  const double* x = values.data() + 3;
  const double* p = values.data() + 3 + k;

  if (f.context == nullptr) {
    VRN_smallDoubleBuffer<20> coefficients;
    coefficients.Resize(n);
    (void)VRN_MetalogFit(lo, hi, k, x, p, n, coefficients.data(), -1.0);
    return f.generator.Metalog(lo, hi, n, coefficients.data());
  }
  VRN_evalContext::CacheMap& cache = f.context->GetCacheMap();
  std::unique_ptr<VRN_evalContextCacheItem>& slot = cache[&f.call];
  auto* item = dynamic_cast<MetalogCacheItem*>(slot.get());
  if (item != nullptr && item->args.size() == count) {
    bool same = true;
    for (int i = 0; i < count && same; ++i) same = item->args[i] == values[i];
    if (same) {
      return f.generator.Metalog(lo, hi, n, item->coefficients.data());
    }
  }
  if (item == nullptr) {
    slot = std::make_unique<MetalogCacheItem>();
    item = static_cast<MetalogCacheItem*>(slot.get());
  }
  item->args.Resize(count);
  std::memcpy(item->args.data(), values.data(), sizeof(double) * count);
  item->coefficients.Resize(n);
  (void)VRN_MetalogFit(lo, hi, k, x, p, n, item->coefficients.data(), -1.0);
  return f.generator.Metalog(lo, hi, n, item->coefficients.data());
}
