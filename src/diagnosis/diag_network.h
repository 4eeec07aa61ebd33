// VRN_diagNetwork: a troubleshooting session over one network whose nodes
// carry diagnostic roles (targets with fault outcomes, observations, some
// ranked as tests, auxiliary nodes) and observation costs.
//
// It keeps the fault list, the pursued faults, the unperformed tests and the
// records of the last ranking, updates the fault beliefs, takes and
// withdraws observations and ranks the tests through its VRN_diagSession.
// The lists are rebuilt at construction and by Restart. While a listed fault
// or test names a node that is gone (even when its handle was reused) or an
// outcome its node no longer has, or a fault node's outcomes are no longer
// the ones listed (an outcome inserted, removed, moved or renamed, a fault
// mark set or cleared, another node in the slot), rankings and fault-belief
// updates answer -2 with a logged message naming the node, until Restart.
//
// A network with equation nodes is diagnosed on a private copy in which
// every equation node is a CPT over its discretization intervals, by a
// nested object that owns the session; this object translates faults,
// evidence and results between the two. The copy is remade from the
// network before every fault-belief update and every ranking, so edits
// made meanwhile count. A fault of an equation node has outcome -1 (values
// below its nominal lower bound) or 1 (above its nominal upper bound) and
// stands for the copy's intervals that lie beyond that bound.
//
// An influence diagram (a network with a decision, utility or
// multi-attribute utility node) is refused: fault-belief updates and
// rankings answer -2 with a logged message naming such a node and change
// nothing, and no fault probability is reported.
//
// The object does not own the network, which must outlive it; it switches
// the network's automatic updating off for its life. One thread at a time.
#ifndef QELTA_DIAGNOSIS_DIAG_NETWORK_H_
#define QELTA_DIAGNOSIS_DIAG_NETWORK_H_

#include <cfloat>
#include <memory>
#include <string>
#include <vector>

#include "base/arrays.h"
#include "diagnosis/diag_types.h"

class VRN_diagSession;
class VRN_network;

namespace qelta::diag {
// Multiple-fault codes: measures, certainty, product and joint entropy.
inline constexpr int kMultiMeasureFlag = 0x100;
inline constexpr int kMultiCertaintyFlag = 0x01;
inline constexpr int kMultiProductEntropyFlag = 0x02;
inline constexpr int kMultiJointEntropyFlag = 0x04;
// True for the codes SetMultiFaultAlgorithm accepts.
bool IsMultiFaultCode(int code);
// Probability of a fault whose node holds no computed value, as presented.
inline constexpr double kNotComputed = 5 * DBL_MIN;
}  // namespace qelta::diag

class VRN_diagNetwork {
 public:
  // Collects faults, sets default observations, collects tests and creates
  // the session (or, with equation nodes, the discretized copy and the
  // nested object). REQUIRES: network outlives this object.
  explicit VRN_diagNetwork(VRN_network* network);
  // Switches automatic updating on again when it was on at construction.
  ~VRN_diagNetwork();

  VRN_diagNetwork(const VRN_diagNetwork&) = delete;
  VRN_diagNetwork& operator=(const VRN_diagNetwork&) = delete;

  VRN_network* GetNetwork() const { return network_; }

  // Updates the beliefs of the fault nodes (only those the observations can
  // reach with d-separation on); the network's targets are kept. The
  // update's status, or -2 for an influence diagram or while the lists name
  // a node that is gone.
  [[nodiscard]] int UpdateFaultBeliefs();
  // Index of the first fault of highest probability; -2 without faults.
  int FindMostLikelyFault() const;
  // Current probability of fault i: its outcome's belief when the node's
  // value is valid (for an equation fault the sum of the beliefs of its
  // intervals), else -1.0 (also for a node that is gone, and in an
  // influence diagram, and while the node's outcomes are not those listed).
  double FaultProbability(int index) const;
  // The intervals of the discretized copy that make up the equation fault
  // (node, outcome): with outcome -1 those lying at or below the nominal
  // lower bound, with 1 those at or above the upper one. Empty without a
  // copy or for a node that is no equation node.
  void FaultIntervals(int node, int outcome, std::vector<int>& out) const;
  // Outcome count of a test as rankings see it: in the discretized copy
  // when there is one (so an equation test counts its intervals).
  int GetTestOutcomeCount(int node) const;
  // The discretized copy; null for a network without equation nodes.
  const VRN_network* GetDiscretizedCopy() const { return copy_.get(); }

  // 0, or -2 for an index outside the fault list.
  [[nodiscard]] int SetPursuedFault(int index);
  // 0, or -2 for an empty list or (logged) any index outside the fault list
  // (the pursued list then stays as it was). Duplicates are kept.
  [[nodiscard]] int SetPursuedFaults(const VRN_intArray& indices);
  int GetPursuedFault() const;
  const VRN_intArray& GetPursuedFaults() const { return pursued_; }
  bool IsPursued(int index) const;

  // Index of the first fault equal to (node, outcome); -2 (logged) when
  // absent.
  int FindFault(int node, int outcome) const;
  int GetFaultCount() const { return static_cast<int>(faults_.size()); }
  // REQUIRES: 0 <= index < GetFaultCount().
  const VRN_diagFault& GetFault(int index) const { return faults_[index]; }

  // -2 unless the code is 0x200, 0x400 or 0x800.
  [[nodiscard]] int SetSingleFaultAlgorithm(int code);
  int GetSingleFaultAlgorithm() const { return singleFaultAlgorithm_; }
  // -2 unless qelta::diag::IsMultiFaultCode(code).
  [[nodiscard]] int SetMultiFaultAlgorithm(int code);
  int GetMultiFaultAlgorithm() const { return multiFaultAlgorithm_; }
  bool GetDSep() const { return dSep_; }
  void SetDSep(bool on) { dSep_ = on; }
  bool GetKeepNegativeCosts() const { return keepNegativeCosts_; }
  void SetKeepNegativeCosts(bool on) { keepNegativeCosts_ = on; }
  bool GetRankPerformedTests() const { return rankPerformedTests_; }
  void SetRankPerformedTests(bool on) { rankPerformedTests_ = on; }

  // Ranks the unperformed tests: the single-fault code with fewer than two
  // pursued faults, else the multiple-fault code. -2, with the reason
  // logged, when a mandatory observation has no evidence, no fault is
  // pursued, the network is an influence diagram (the records of an earlier
  // ranking are then dropped), or the lists name a node that is gone; else
  // the ranking's status. On
  // success the test results hold one record per unperformed test, in list
  // order.
  [[nodiscard]] int UpdateTestStrengths();
  [[nodiscard]] int RankTests(int code);
  bool MandatoriesInstantiated() const;
  // The first mandatory observation node without evidence; -1 when none.
  int FirstMandatoryWithoutEvidence() const;

  // -51 for an equation node (its evidence is a number, set on the network),
  // -4 for a node with implied evidence, else the
  // evidence setter's status; on success the node leaves the unperformed
  // tests and the records are emptied.
  [[nodiscard]] int InstantiateObservation(int node, int outcome);
  // The evidence clearer's status, -2 (logged) for a node without evidence;
  // on success a ranked observation not yet
  // listed joins the end of the unperformed tests; records emptied.
  [[nodiscard]] int ReleaseObservation(int node);
  // Clears all evidence and rebuilds faults, defaults and tests; pursued
  // indices past the new fault list are dropped. Answers 0.
  int Restart();

  // The network property key as a number; when absent it is added with the
  // default ("%g") and the default is answered.
  double GetDoubleProperty(const char* key, double defaultValue);

  const VRN_intArray& GetUnperformedTests() const { return tests_; }
  const std::vector<VRN_diagTestResult>& GetTestResults() const {
    return testResults_;
  }
  const std::vector<VRN_diagTestResult>& GetPerformedTestResults() const {
    return performedResults_;
  }
  const std::vector<double>& GetResultValues() const { return results_; }
  // Positions in GetTestResults() (one per unperformed test) in the order
  // the tests are presented, the one most worth performing first: by the
  // magnitude of what a test would tell less alpha times its cost, |rating|
  // - alpha x cost, so a free test rated -0.5 comes before one rated 0.3,
  // and a test rated 0.5 that costs 2.0 (score -1.5 at alpha 1) after a
  // free one rated 0.3. A test without a positive cost keys |score|, alpha
  // x 0 being never formed; a score of -inf keys -inf. Equal keys keep list
  // order. After every computed score come the scores equal to
  // qelta::diag::kNotComputed, then to the not-available value, then NaN.
  std::vector<int> PresentationOrder() const;

 private:
  class Adapter;
  friend class Adapter;
  struct NestedTag {};

  // The nested object over a discretized copy: it never makes a copy.
  VRN_diagNetwork(VRN_network* copy, NestedTag);
  void Collect();
  // FindFault without the log: -2 when absent.
  int FaultIndex(int node, int outcome) const;
  // Remakes the discretized copy and the nested object when the network
  // has equation nodes, else makes sure of the session. 0, or the status
  // of a failed conversion (logged; no copy then).
  int PrepareCopies();
  // Turns every equation node of copy into a CPT over its intervals. 0, or
  // the refusal of a conversion, logged in our network.
  int DiscretizeEquationNodes(VRN_network& copy);
  // The copy gets the network's evidence (numbers as their intervals, slice
  // evidence included); the nested tests are collected again.
  void MirrorEvidence();
  // The nested pursued list for ours; groups[k] gets the positions in it
  // that pursued fault k maps to.
  void MapPursuedFaults(std::vector<std::vector<int>>& groups);
  int CopyResultsFromNested(int code);
  // Nested result doubles laid out for our pursued list: the posteriors of
  // the intervals of one fault are summed.
  void RegroupResults(const std::vector<std::vector<int>>& groups);
  void CollectFaults();
  void InstantiateDefaults();
  void CollectTests();
  void AppendTest(int node);
  void ClearRecords();
  // -2 (logged, naming the node) while a listed fault or test names a node
  // that is gone or an outcome beyond its node's count, or a fault node's
  // outcomes differ from those recorded with the list; else 0.
  int CheckLists() const;
  // -2 (logged, naming the node) when the network holds a decision, utility
  // or multi-attribute utility node; else 0.
  int RefuseInfluenceDiagram() const;
  // True when the live node at handle carries the identifier recorded.
  bool IsSameNode(int handle, const std::string& id) const;

  VRN_network* network_;
  std::unique_ptr<VRN_diagSession> session_;
  VRN_intArray tests_;
  std::vector<std::string> testIds_;  // identifier per unperformed test
  std::vector<VRN_diagTestResult> testResults_;
  std::vector<VRN_diagTestResult> performedResults_;
  std::vector<VRN_diagFault> faults_;
  std::vector<std::string> faultIds_;  // identifier per fault
  // Per fault: its node's outcomes when listed (empty for an equation).
  std::vector<std::string> faultOutcomes_;
  std::vector<char> faultOnEquation_;  // per fault: of an equation node
  VRN_intArray pursued_;
  std::vector<double> results_;
  int singleFaultAlgorithm_ = 0x800;
  int multiFaultAlgorithm_ = 0x101;
  bool dSep_ = false;
  bool keepNegativeCosts_ = false;
  bool rankPerformedTests_ = false;
  bool savedAutoUpdate_ = false;
  bool isNested_ = false;
  // Declared in this order so that the nested object goes first.
  std::unique_ptr<VRN_network> copy_;
  std::unique_ptr<VRN_diagNetwork> nested_;
};

#endif  // QELTA_DIAGNOSIS_DIAG_NETWORK_H_
