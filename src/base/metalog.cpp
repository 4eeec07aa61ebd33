#include "base/metalog.h"

#include <cmath>

double VRN_MetalogQuantile(double y, int n, const double* a) {
  const double l = std::log(y / (1.0 - y));
  const double c = y - 0.5;
  double m = a[0] + a[1] * l;
  if (n >= 3) m += a[2] * c * l;
  if (n >= 4) m += a[3] * c;
  // Term t (counted from 1) uses c^((t-1)/2) for odd t and c^((t-2)/2) * L
  // for even t; the power grows by one factor at every odd term.
  double power = c;
  for (int t = 5; t <= n; ++t) {
    if (t % 2 == 1) {
      power *= c;
      m += a[t - 1] * power;
    } else {
      m += a[t - 1] * power * l;
    }
  }
  return m;
}
