// Linear Gaussian regressions of equation nodes on their parents, fitted by
// least squares through the normal equations.
#include "learning/em_least_squares.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "equations/equation.h"
#include "equations/expression.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"

void VRN_denseMatrix::Allocate(int rows, int columns) {
  rows_ = rows;
  columns_ = columns;
  items_.assign(static_cast<std::size_t>(rows) * columns, 0.0);
}

void VRN_denseMatrix::Free() {
  rows_ = columns_ = 0;
  items_.clear();
}

void VRN_denseMatrix::SetIdentity() {
  std::fill(items_.begin(), items_.end(), 0.0);
  for (int i = 0; i < rows_ && i < columns_; ++i) At(i, i) = 1.0;
}

void VRN_denseMatrix::Multiply(const VRN_denseMatrix& a, const VRN_denseMatrix& b) {
  VRN_denseMatrix product;
  product.Allocate(a.rows_, b.columns_);
  for (int r = 0; r < a.rows_; ++r) {
    for (int k = 0; k < a.columns_; ++k) {
      const double left = a.At(r, k);
      for (int c = 0; c < b.columns_; ++c) product.At(r, c) += left * b.At(k, c);
    }
  }
  *this = std::move(product);
}

VRN_denseMatrix VRN_denseMatrix::operator*(const VRN_denseMatrix& b) const {
  VRN_denseMatrix product;
  product.Multiply(*this, b);
  return product;
}

bool VRN_denseMatrix::Invert(double tolerance) {
  if (rows_ != columns_) return false;
  const int n = rows_;
  VRN_denseMatrix inverse;
  inverse.Allocate(n, n);
  inverse.SetIdentity();
  for (int c = 0; c < n; ++c) {
    int pivot = c;
    for (int r = c + 1; r < n; ++r) {
      if (std::fabs(At(r, c)) > std::fabs(At(pivot, c))) pivot = r;
    }
    // A pivot at or below the tolerance would divide by (nearly) zero and
    // turn the fit into noise.
    if (!(std::fabs(At(pivot, c)) > tolerance)) return false;
    if (pivot != c) {
      for (int k = 0; k < n; ++k) {
        std::swap(At(pivot, k), At(c, k));
        std::swap(inverse.At(pivot, k), inverse.At(c, k));
      }
    }
    const double scale = 1.0 / At(c, c);
    for (int k = 0; k < n; ++k) {
      At(c, k) *= scale;
      inverse.At(c, k) *= scale;
    }
    for (int r = 0; r < n; ++r) {
      const double factor = At(r, c);
      if (r == c || factor == 0.0) continue;
      for (int k = 0; k < n; ++k) {
        At(r, k) -= factor * At(c, k);
        inverse.At(r, k) -= factor * inverse.At(c, k);
      }
    }
  }
  *this = std::move(inverse);
  return true;
}

namespace qelta {
namespace {

// Pivots of the unit-diagonal normal matrix at or below this mean the
// columns are linearly dependent to within rounding.
constexpr double kSingularPivot = 1e-12;

// Fits y on the parent columns: coefficients[0] the intercept, then one per
// parent; *deviation the residual deviation. False when XᵀX is singular.
bool Fit(const VRN_dataset& data, int yColumn, const std::vector<int>& columns,
         std::vector<double>* coefficients, double* deviation) {
  const int records = data.GetRecordCount();
  const int size = static_cast<int>(columns.size()) + 1;
  VRN_denseMatrix normal, moment;
  normal.Allocate(size, size);
  moment.Allocate(size, 1);
  std::vector<double> x(static_cast<std::size_t>(size), 1.0);
  for (int r = 0; r < records; ++r) {
    for (int i = 1; i < size; ++i) x[i] = static_cast<double>(data.GetFloat(columns[i - 1], r));
    const double y = static_cast<double>(data.GetFloat(yColumn, r));
    for (int i = 0; i < size; ++i) {
      for (int j = i; j < size; ++j) normal.At(i, j) += x[i] * x[j];
      moment.At(i, 0) += x[i] * y;
    }
  }
  // Scaling to a unit diagonal makes the singularity test independent of
  // the columns' units.
  std::vector<double> scale(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) {
    if (!(normal.At(i, i) > 0.0)) return false;  // an all-zero column
    scale[i] = 1.0 / std::sqrt(normal.At(i, i));
  }
  for (int i = 0; i < size; ++i) {
    for (int j = i; j < size; ++j) {
      normal.At(i, j) *= scale[i] * scale[j];
      normal.At(j, i) = normal.At(i, j);
    }
    moment.At(i, 0) *= scale[i];
  }
  if (!normal.Invert(kSingularPivot)) return false;
  const VRN_denseMatrix beta = normal * moment;
  coefficients->assign(static_cast<std::size_t>(size), 0.0);
  for (int i = 0; i < size; ++i) (*coefficients)[i] = beta.At(i, 0) * scale[i];
  double residuals = 0.0;
  for (int r = 0; r < records; ++r) {
    double e = static_cast<double>(data.GetFloat(yColumn, r)) - (*coefficients)[0];
    for (int i = 1; i < size; ++i) {
      e -= (*coefficients)[i] * static_cast<double>(data.GetFloat(columns[i - 1], r));
    }
    residuals += e * e;
  }
  *deviation = std::sqrt(residuals / (records - 1));
  return std::isfinite(*deviation);
}

// "id=b1*P1+b2*P2+Normal(b0,s)", the numbers written as expressions write
// constants so that they read back unchanged.
std::string EquationText(const VRN_network& net, int h, const std::vector<double>& b,
                         double deviation) {
  const VRN_node* node = net.GetNode(h);
  std::string text = node->GetId();
  text += '=';
  const VRN_intArray& parents = node->Parents();
  for (int i = 0; i < parents.GetSize(); ++i) {
    double c = b[static_cast<std::size_t>(i) + 1];
    if (c == 0.0) c = 0.0;  // no "-0"
    if (i > 0) text += c < 0.0 ? '-' : '+';
    VRN_AppendExpressionNumber(text, i > 0 ? std::fabs(c) : c);
    text += '*';
    text += net.GetNode(parents[i])->GetId();
  }
  if (parents.GetSize() > 0) text += '+';
  text += "Normal(";
  VRN_AppendExpressionNumber(text, b[0]);
  text += ',';
  VRN_AppendExpressionNumber(text, deviation);
  text += ')';
  return text;
}

}  // namespace

int LearnLeastSquares(const VRN_dataset& data, VRN_network& net,
                      const std::vector<VRN_dataMatch>& matches,
                      const std::vector<bool>& learnable, double* score) {
  VRN_errorLog* log = net.ErrorLog();
  for (int v = 0; v < data.GetVariableCount(); ++v) {
    if (data.HasMissingValues(v)) {
      return log->LogError(kErrInvalidValue, "EM: missing values not allowed for continuous case\n");
    }
  }
  if (data.GetRecordCount() < 2) {
    return log->LogError(kErrInvalidValue, "EM: least squares needs at least two records");
  }
  std::vector<std::pair<int, std::string>> equations;
  for (const VRN_dataMatch& m : matches) {
    if (m.node >= static_cast<int>(learnable.size()) || !learnable[m.node]) continue;
    const VRN_node* node = net.GetNode(m.node);
    std::vector<int> columns;
    for (int parent : node->Parents()) {
      int found = 0;
      for (const VRN_dataMatch& p : matches) {
        if (p.node != parent) continue;
        ++found;
        columns.push_back(p.column);
      }
      if (found != 1) {
        const std::string message = std::string("EM: node '") + node->GetId() + "' cannot be fitted: its parent '" +
                                    net.GetNode(parent)->GetId() + "' needs exactly one matched column";
        return log->LogError(kErrInvalidValue, message.c_str());
      }
    }
    std::vector<double> b;
    double deviation = 0.0;
    if (!Fit(data, m.column, columns, &b, &deviation)) {
      const std::string message = std::string("EM: node '") + node->GetId() +
                                  "' cannot be fitted: its parents' data are linearly dependent";
      return log->LogError(kErrInvalidValue, message.c_str());
    }
    equations.emplace_back(m.node, EquationText(net, m.node, b, deviation));
  }
  VRN_autoUpdateGuard guard(&net);
  for (const auto& [h, text] : equations) {
    VRN_equation* equation = VRN_GetEquation(&net, h);
    if (equation == nullptr) continue;
    const int status = equation->SetEquation(text.c_str(), nullptr, nullptr);
    if (status != kOk) return status;
  }
  if (score != nullptr) *score = 0.0;
  return kOk;
}

}  // namespace qelta
