// Strength measures of diagnosis: entropies of fault distributions and the
// distances between fault probabilities before and after a test. Pure
// functions of their arguments; safe from any thread.
#ifndef QELTA_DIAGNOSIS_DIAG_MEASURES_H_
#define QELTA_DIAGNOSIS_DIAG_MEASURES_H_

#include <cstddef>
#include <vector>

namespace qelta::diag {

// Single-fault ranking codes.
inline constexpr int kRelativeEntropy = 0x200;
inline constexpr int kAbsoluteEntropy = 0x400;
inline constexpr int kLargestChange = 0x800;

// log2 as the rankings compute it (log10 x / log10 2).
double Log2(double x);

// Entropy in bits of the distribution that keeps each outcome of `outcomes`
// apart and lumps the rest of `beliefs` into one remainder.
// REQUIRES: every listed outcome indexes beliefs.
double FaultEntropy(const double* beliefs, const std::vector<int>& outcomes);

// Distance code 257..261 between fault probabilities a (before) and b
// (after), both of length n; -1.0 for any other code. No guards: a zero
// norm gives NaN for 258 and 259.
double Measure(int code, const double* a, const double* b, std::size_t n);

// Certainty of the pursued faults' probabilities p (n of them): measure A
// (code bit 0x40) or B (0x80). -1 when every p is undecided, 0 when certain.
double CertaintyA(const std::vector<double>& p);
double CertaintyB(const std::vector<double>& p);

// Among the values, the one of largest magnitude; a later one replaces the
// kept one only when strictly larger. 0 for none.
double LargestSigned(const double* values, std::size_t n);

}  // namespace qelta::diag

#endif  // QELTA_DIAGNOSIS_DIAG_MEASURES_H_
