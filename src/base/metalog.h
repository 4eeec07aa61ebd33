// Metalog distributions: the quantile function shared by the random
// generator's metalog draws and the expression functions that fit metalogs.
//
// Thread use: pure functions.
#ifndef QELTA_BASE_METALOG_H_
#define QELTA_BASE_METALOG_H_

// The untransformed quantile M(y) of an n-term metalog with coefficients
// a[0..n-1]: with L = ln(y / (1 - y)) and c = y - 0.5, a0 + a1 L, then
// a2 c L, a3 c, and for the further terms alternately a power of c and a
// power of c times L. No bound transform is applied; y and n are not checked.
// REQUIRES: n >= 2, a holds n values, 0 < y < 1 for a finite answer.
double VRN_MetalogQuantile(double y, int n, const double* a);

#endif  // QELTA_BASE_METALOG_H_
