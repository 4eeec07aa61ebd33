// Metalog fits for the expression functions Metalog and MetalogA: the
// least-squares fit of an n-term metalog to quantile pairs, the determinant
// test it may run, and the evaluators of the two built-in rows.
//
// A bound counts as present when it is finite; NaN or an infinity leaves
// that side open. Fits of a call are cached in the evaluation context's
// cache map in use, keyed by the call node, and reused while the call's
// argument values stay equal, so sampling fits once per argument set.
//
// Thread use: pure functions; the evaluators follow VRN_evalContext.
#ifndef QELTA_EQUATIONS_METALOG_FIT_H_
#define QELTA_EQUATIONS_METALOG_FIT_H_

#include <vector>

#include "equations/std_functions.h"

// Most terms a Metalog call fits; a call asking for more draws NaN. Terms
// beyond a few dozen carry nothing a double can hold, and the fit costs
// the cube of the term count.
inline constexpr int kMaxMetalogTerms = 64;

// Doubles held inline up to N, on the heap beyond.
template <int N>
class VRN_smallDoubleBuffer {
 public:
  VRN_smallDoubleBuffer() = default;
  VRN_smallDoubleBuffer(const VRN_smallDoubleBuffer&) = delete;
  VRN_smallDoubleBuffer& operator=(const VRN_smallDoubleBuffer&) = delete;

  // Makes room for n values; the contents are then unspecified.
  void Resize(int n) {
    if (n > N && n > static_cast<int>(heap_.size())) heap_.resize(n);
    data_ = n > N ? heap_.data() : inline_;
    size_ = n;
  }
  int size() const { return size_; }
  double* data() { return data_; }
  const double* data() const { return data_; }
  double& operator[](int i) { return data_[i]; }
  double operator[](int i) const { return data_[i]; }

 private:
  double inline_[N] = {};
  std::vector<double> heap_;
  double* data_ = inline_;
  int size_ = 0;
};

// The fit of one Metalog call, kept in the cache map under the call node:
// the argument values it was made for and the coefficients.
class MetalogCacheItem : public VRN_evalContextCacheItem {
 public:
  VRN_smallDoubleBuffer<64> args;
  VRN_smallDoubleBuffer<20> coefficients;
};

// Fits an n-term metalog to the k pairs (x[i], p[i]) (value x[i] at
// cumulative probability p[i]) with bounds lo and hi, writing a[0..n-1].
// k == n interpolates; otherwise ordinary least squares by the normal
// equations. Answers 0; -3, leaving a alone, when tolerance >= 0 and the
// system's determinant has absolute value <= tolerance. A singular system
// with tolerance < 0 gives infinite or NaN coefficients; values outside
// the bounds give NaN ones.
// REQUIRES: n >= 1, k >= 1, x and p hold k values, a holds n.
int VRN_MetalogFit(double lo, double hi, int k, const double* x,
                   const double* p, int n, double* a, double tolerance);

// Determinant of the n-by-n row-major matrix m, which is left unchanged.
// REQUIRES: n >= 0.
double VRN_MatrixDeterminant(const double* m, int n);

// The evaluators of the built-in rows Metalog and MetalogA.
double VRN_EvalMetalog(const VRN_stdFunctionFrame& frame);
double VRN_EvalMetalogA(const VRN_stdFunctionFrame& frame);

#endif  // QELTA_EQUATIONS_METALOG_FIT_H_
