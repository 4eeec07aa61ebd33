// Least-squares learning of networks made only of equation nodes: every
// learnable matched node becomes a linear Gaussian regression on its
// parents, written back as its equation. VRN_denseMatrix is the small dense
// matrix the fit is solved with.
//
// Value types and a free function. Thread use: one thread per network.
#ifndef QELTA_LEARNING_EM_LEAST_SQUARES_H_
#define QELTA_LEARNING_EM_LEAST_SQUARES_H_

#include <vector>

#include "learning/dataset.h"

class VRN_network;

// A rows × columns matrix of doubles in one row-major block it owns.
class VRN_denseMatrix {
 public:
  VRN_denseMatrix() = default;
  // Replaces the contents with a rows × columns matrix of zeros.
  // REQUIRES: rows >= 0, columns >= 0.
  void Allocate(int rows, int columns);
  // Drops the contents: a 0 × 0 matrix.
  void Free();
  // REQUIRES: the matrix is square.
  void SetIdentity();
  // This := a × b. REQUIRES: a's columns equal b's rows.
  void Multiply(const VRN_denseMatrix& a, const VRN_denseMatrix& b);
  // The product this × b. REQUIRES: this's columns equal b's rows.
  VRN_denseMatrix operator*(const VRN_denseMatrix& b) const;
  // Inverts in place by Gauss-Jordan elimination with partial pivoting.
  // True on success; false, leaving the matrix unspecified, when it is not
  // square or a pivot's magnitude is at most tolerance (singular).
  bool Invert(double tolerance);

  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  // REQUIRES: 0 <= r < Rows(), 0 <= c < Columns().
  double& At(int r, int c) { return items_[static_cast<std::size_t>(r) * columns_ + c]; }
  double At(int r, int c) const { return items_[static_cast<std::size_t>(r) * columns_ + c]; }

 private:
  int rows_ = 0;
  int columns_ = 0;
  std::vector<double> items_;
};

namespace qelta {

// The least-squares procedure of EM (see VRN_em::Learn): for each match in
// list order whose node is learnable (learnable[handle]), fits the node's
// column on its parents' columns and gives the node the equation
// "id=b1*P1+b2*P2+Normal(b0,s)". Every fit is made before any node changes.
// Answers 0 with *score (when given) 0.0. Failures log a message beginning
// "EM: " into net's error log and change nothing: -4 when a data-set
// variable has missing values, there are fewer than two records, a parent
// has no or several matched columns, or the parents' data are linearly
// dependent (a singular system); SetEquation's status when it refuses an
// equation (equations written before it stay).
// REQUIRES: every match names a live node and a continuous column.
int LearnLeastSquares(const VRN_dataset& data, VRN_network& net,
                      const std::vector<VRN_dataMatch>& matches,
                      const std::vector<bool>& learnable, double* score);

}  // namespace qelta

#endif  // QELTA_LEARNING_EM_LEAST_SQUARES_H_
