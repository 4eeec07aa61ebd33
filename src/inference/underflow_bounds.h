// Careful passes of the join trees, for tables whose products leave the
// normal doubles (a subnormal entry, a tiny likelihood).
//
// The plain passes tell through the floating-point underflow flag that some
// product fell below the normal doubles; then the passes run again with
// every table's slice brought onto its largest entry by a power of two
// (exact, even for a subnormal, so normalised answers keep every bit), and
// each table keeps a bound on the absolute error any of its cells carries
// from products rounded there. A table whose bound, summed over its cells,
// stays below kTrustedShare of its total gives beliefs right to that share;
// otherwise the answer is refused.
//
// Stateless inline functions.
#ifndef QELTA_INFERENCE_UNDERFLOW_BOUNDS_H_
#define QELTA_INFERENCE_UNDERFLOW_BOUNDS_H_

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <xmmintrin.h>
#else
#include <cfenv>
#endif

namespace qelta {

// What one product rounded into the subnormals (or to zero) may lose.
inline constexpr double kSubnormalRounding = 0x1p-1074;
// Past the normal range a subnormal entry holds few digits, and even a
// product of it alone keeps only what they give: a share this small of the
// total is still trusted.
inline constexpr double kTrustedShare = 0x1p-30;

// The underflow flag. Where doubles are computed in the SSE unit its own
// flag is read directly: a few instructions on the update path, where the
// library calls cost a hundred. The empty asm keeps the compiler from
// moving memory reads or writes (and so the products they take or store)
// across the flag's reading.
#if defined(__SSE2__)
inline void ClearUnderflow() {
  asm volatile("" ::: "memory");
  _mm_setcsr(_mm_getcsr() & ~static_cast<unsigned>(_MM_EXCEPT_UNDERFLOW));
  asm volatile("" ::: "memory");
}
inline bool Underflowed() {
  asm volatile("" ::: "memory");
  return (_mm_getcsr() & _MM_EXCEPT_UNDERFLOW) != 0;
}
#else
inline void ClearUnderflow() { std::feclearexcept(FE_UNDERFLOW); }
inline bool Underflowed() { return std::fetestexcept(FE_UNDERFLOW) != 0; }
#endif

// Updates on this thread whose products left the normal doubles and took
// the careful passes: a caller that scales a probability up by far (the
// influence-diagram solvers) reads whether its update carries their
// rounding, and how much of a table's total the last one may have lost
// (the largest share its trusted tables' bounds came to).
inline unsigned long& CarefulUpdates() {
  thread_local unsigned long count = 0;
  return count;
}
inline double& CarefulShare() {
  thread_local double share = 0.0;
  return share;
}
inline void StartCarefulUpdate() {
  ++CarefulUpdates();
  CarefulShare() = 0.0;
}

inline double LargestCell(const double* cells, std::size_t size) {
  double largest = 0.0;
  for (std::size_t k = 0; k < size; ++k) {
    largest = cells[k] > largest ? cells[k] : largest;
  }
  return largest;
}

// The bound of a table (error, largest cell `cells`) after it was
// multiplied cell by cell by a factor (largest cell `largest`, its own
// bound `factor_error`); `below` when that product underflowed.
inline double BoundOfProduct(double error, double largest, double cells,
                             double factor_error, bool below) {
  const double bound = error * largest + cells * factor_error +
                       (below ? kSubnormalRounding : 0.0);
  // A bound that itself rounds to 0 would pass a loss for none.
  const bool carried = (error > 0.0 && largest > 0.0) || (factor_error > 0.0 && cells > 0.0);
  return bound == 0.0 && carried ? kSubnormalRounding : bound;
}

// The bound of a message each of whose cells sums cells / message cells of
// a table with bound error.
inline double BoundOfSum(double error, std::uint64_t cells,
                         std::uint64_t message) {
  return error * (static_cast<double>(cells) / static_cast<double>(message));
}

// A probability of evidence is answered to 1e-12 relative: its tables are
// trusted only to this share.
inline constexpr double kEvidenceTrustedShare = 0x1p-42;

// Whether a table of size cells with bound error and this total is trusted;
// its share is kept for CarefulShare.
inline bool Trusted(double error, std::uint64_t size, double total,
                    double share = kTrustedShare) {
  if (error == 0.0) return true;
  const double lost = error * static_cast<double>(size);
  if (!(lost <= share * total)) return false;
  if (lost > CarefulShare() * total) CarefulShare() = lost / total;
  return true;
}

}  // namespace qelta

#endif  // QELTA_INFERENCE_UNDERFLOW_BOUNDS_H_
