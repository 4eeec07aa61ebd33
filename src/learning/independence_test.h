// Conditional independence tests of PC structure learning: the G-squared
// likelihood-ratio test on contingency counts (discrete data) and Fisher's
// z test on partial correlations (continuous data). A p-value of -1 means
// that the test cannot be carried out.
//
// VRN_correlationData holds the Pearson correlations of a data set's float
// columns and memoizes partial correlations under a memory limit.
//
// Thread use: one thread at a time per cache or correlation data.
#ifndef QELTA_LEARNING_INDEPENDENCE_TEST_H_
#define QELTA_LEARNING_INDEPENDENCE_TEST_H_

#include <cstddef>
#include <map>
#include <vector>

class VRN_countCache;
class VRN_dataset;

// ln Γ(a) by the Lanczos approximation. REQUIRES: a > 0.
double VRN_LnGamma(double a);
// Regularized upper incomplete gamma Q(a, g): the series (g < a + 1) or the
// continued fraction, each run until its tolerance is met.
double VRN_GammaQ(double a, double g);

// Scratch of the G-squared test, kept between calls.
struct VRN_gSquaredScratch {
  std::vector<std::pair<int, int>> pairs;
  std::vector<int> z;
  std::vector<int> nxz;
  std::vector<int> nyz;
};

// p-value of the G-squared test of X and Y given S (distinct variables of
// the cache), or -1 when 5 x (configurations of S) >= N. *g2, *df and
// *mutualInformation (bits, G² / (2 N ln 2)) are set when given and the
// test is carried out.
double VRN_GSquaredTest(int x, int y, const std::vector<int>& s, VRN_countCache& cache,
                        VRN_gSquaredScratch& scratch, double* mutualInformation,
                        double* g2 = nullptr, int* df = nullptr);

class VRN_correlationData {
 public:
  // Correlations of every pair of the data set's variables (records through
  // the record index). REQUIRES: every variable continuous and complete.
  explicit VRN_correlationData(const VRN_dataset& data);

  // r(X, Y | S), memoized.
  double PartialCorrelation(int x, int y, const std::vector<int>& s);
  // p-value of Fisher's z test; -1 when N - |S| - 3 <= 0 or r is not a number.
  double FisherZTest(int x, int y, const std::vector<int>& s);

  int GetRecordCount() const { return records_; }
  std::size_t GetCachedCount() const { return cache_.size(); }

  int memory_limit = 2048;  // MiB of the partial-correlation cache

 private:
  double Compute(int x, int y, const std::vector<int>& s, std::size_t count);
  double Lookup(int x, int y, const std::vector<int>& s, std::size_t count, bool* found) const;
  void Store(int x, int y, const std::vector<int>& s, std::size_t count, double r);

  int n_ = 0;
  int records_ = 0;
  std::vector<double> correlation_;  // n x n
  std::map<std::vector<int>, double> cache_;  // key: x, y, S...
  std::size_t estimate_ = 0;  // bytes by the cache's own count
  mutable std::vector<int> key_;  // scratch of Lookup
};

#endif  // QELTA_LEARNING_INDEPENDENCE_TEST_H_
