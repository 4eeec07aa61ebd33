// VRN_em: the options of EM parameter learning, the native object of the
// Java class qelta.learning.EM. The three starting-point options are kept
// consistent by their setters: randomizing and uniformizing exclude each
// other, and either one fixes the equivalent sample size at 1.
//
// A pass visits every record once (the expectation) and then sets every
// learnable table from the expected counts (the maximisation). Before its
// maximisation a pass tests its log-likelihood L against the previous
// pass's L0: the run stops after that maximisation when L = 0, or L0 >= L,
// or L0 / L < 1 + tolerance (never on the first pass), or when the pass is
// the last one the cap allows. The learned tables are that maximisation's
// and the score is L, the log-likelihood of the tables before it.
//
// A plain value type. Thread use: one thread at a time.
#ifndef QELTA_LEARNING_EM_H_
#define QELTA_LEARNING_EM_H_

#include <climits>
#include <vector>

#include "base/matrix.h"
#include "learning/dataset.h"

class VRN_network;
class VRN_progress;

namespace qelta {
// Test hook: called with the log-likelihood of every finished pass of the
// runs on the calling thread.
using EmPassObserver = void (*)(double logLikelihood, void* context);
void SetEmPassObserver(EmPassObserver observer, void* context);
}  // namespace qelta

class VRN_em {
 public:
  // -2 and no change for a negative or non-finite size; -4 and no change
  // while randomizing or uniformizing is on; else stores the size; 0.
  [[nodiscard]] int SetEqSampleSize(float size);
  float GetEqSampleSize() const { return eqSampleSize; }
  // Stores the flag; turning it on also turns uniformizing off and sets the
  // equivalent sample size to 1.
  void SetRandomizeParameters(bool on);
  bool GetRandomizeParameters() const { return randomizeParameters; }
  // Stores the flag; turning it on also turns randomizing off and sets the
  // equivalent sample size to 1.
  void SetUniformizeParameters(bool on);
  bool GetUniformizeParameters() const { return uniformizeParameters; }
  // -2 and no change for a negative or non-finite tolerance; else 0.
  [[nodiscard]] int SetTolerance(double value);
  double GetTolerance() const { return tolerance; }
  // -2 and no change for a cap below 1; else 0. kNoPassCap sets no cap.
  [[nodiscard]] int SetMaxPasses(int passes);
  int GetMaxPasses() const { return maxPasses; }
  // The passes the last Learn began (a failed one included); 0 when it
  // ran none: refused at once, or the tables counted from complete data
  // or fitted by least squares.
  int GetPassCount() const { return passCount; }

  // The pass cap that is no cap: the run stops on its convergence test
  // alone, or after kPassGuard passes should it never converge.
  static constexpr int kNoPassCap = INT_MAX;
  static constexpr int kPassGuard = 10000;

  // Learns the parameters of every node of net but the fixed ones from the
  // records of data through matches, by expectation-maximisation with exact
  // inference (plain counting when the data are complete, nothing is fixed
  // and the network is a static CPT network). A dynamic network is unrolled
  // for each record to the slices it observes; each slice copy of a plate
  // node counts into the temporal definition its slice uses. The starting
  // parameters are the options' (randomized, uniform or the network's own).
  // A network of equation nodes with continuous data is fitted by least
  // squares instead (see learning/em_least_squares.h). Answers 0 with the
  // learned parameters in net and the final log-likelihood in *score (when
  // given). On failure net is left as it was and the error log holds a
  // message: -3 no matches, -2 a bad fixed handle or match or data in which
  // no record holds a value for a matched node, -51 a node kind
  // or dynamic structure EM cannot learn, -4 mixed data or a continuous fit
  // that cannot be made, -42 impossible data or failed inference, -43 a
  // family without counts, -99 cancelled by progress.
  [[nodiscard]] int Learn(const VRN_dataset& data, VRN_network& net,
                          const std::vector<VRN_dataMatch>& matches,
                          const std::vector<int>& fixedNodes, double* score,
                          VRN_progress* progress) const;

  float eqSampleSize = 0.0f;  // weight of the starting parameters as a prior
  bool uniformizeParameters = false;
  bool randomizeParameters = true;
  int seed = 0;               // 0: seeded from the clock
  bool relevance = false;     // relevance reasoning in the working network
  // On: each record of a dynamic network is unrolled to its last slice
  // holding a value, so missing values in the last slices make a shorter
  // sequence, and a terminal node's value belongs below that slice. Data of
  // one length with missing last values want it off, with the network at
  // the data's slice count: every record then spans those slices.
  bool autoSlices = true;
  // Relative gain of the log-likelihood below which a run stops; the
  // default gives the test L0 / L < 1.0001.
  double tolerance = 1e-4;
  int maxPasses = kNoPassCap;  // at least 1
  // Written by every Learn, whose options are otherwise read only.
  mutable int passCount = 0;
};

// One expectation pass over net's current evidence: adds the expected
// family counts into counts (per node handle, per definition order, shaped
// like the node's table). Answers 0; -42 when inference fails or the
// evidence is impossible, -43 when a family got no counts, -1 when
// relevance reasoning yields nothing. Evidence and targets of net are left
// as they were.
int VRN_DistributedHelperEM(VRN_network& net, bool relevance,
                            std::vector<std::vector<VRN_matrix>>& counts);

#endif  // QELTA_LEARNING_EM_H_
