// VRN_diagSession: the computation behind a diagnosis network. It keeps two
// private copies of the diagnosed network: a working one with the user's
// evidence, which gives the current beliefs, and a hypothetical one in which
// one test outcome at a time is assumed. The copies keep a dynamic network's
// temporal part; a plate node taken as a fault or a test stands for its
// slice 0 (its beliefs' first row, its ordinary evidence). Each ranking
// remakes both copies from the owner's network first, so edits made since
// the last ranking are ranked as the network now stands. Results go back
// through the adapter.
//
// The session owns its adapter; the owner outlives the session. One thread
// at a time, as the diagnosed network.
#ifndef QELTA_DIAGNOSIS_DIAG_SESSION_H_
#define QELTA_DIAGNOSIS_DIAG_SESSION_H_

#include <memory>
#include <vector>

#include "base/arrays.h"
#include "diagnosis/diag_types.h"
#include "network/network.h"

class VRN_evidenceRecord;
class VRN_nodeVal;

class VRN_diagSession {
 public:
  // Takes ownership of adapter and copies the owner's network (Init).
  explicit VRN_diagSession(VRN_diagSessionAdapter* adapter);
  ~VRN_diagSession();

  VRN_diagSession(const VRN_diagSession&) = delete;
  VRN_diagSession& operator=(const VRN_diagSession&) = delete;

  // Remakes both copies from the owner's network: relevance reasoning and
  // automatic updating off.
  void Init();

  // Rankings. Each answers 0, or the status of a belief update that failed
  // for a test outcome of non-zero probability (the ranking then stops).
  // Outcomes of probability 0 are not assumed: their posteriors are the
  // prior and their change 0.
  // The one pursued fault (code 0x200, 0x400 or 0x800); 0 without ranking
  // unless exactly one fault is pursued.
  [[nodiscard]] int ComputeSingleFault(int code);
  // Several pursued faults of one node, by relative entropy.
  [[nodiscard]] int ComputeFaultsOfOneNode();
  [[nodiscard]] int RankTestsForFault(int faultNode,
                                      const std::vector<int>& outcomes,
                                      int code);
  // Several pursued faults: measure codes 0x101..0x105 (-2 without pursued
  // faults), certainty codes 0x41 and 0x81, product-entropy codes 0x0A,
  // 0x12, 0x22 and joint-entropy codes 0x0C, 0x14, 0x24.
  [[nodiscard]] int ComputeMultiFaultMeasure(int code);
  [[nodiscard]] int ComputeCertaintyRanking(int code);
  [[nodiscard]] int ComputeProductEntropyRanking(int code);
  [[nodiscard]] int ComputeJointEntropyRanking(int code);

  // Clears the destination's evidence (slice evidence included), then
  // enters the source's observed, numeric and virtual evidence on the same
  // handles, each in its kind, and the evidence of later slices of plate
  // nodes; evidence implied by other evidence follows in the destination.
  // The ordinary evidence of node `skip` (-1: none) is left out: that is
  // the observation a session takes and withdraws.
  // REQUIRES: both networks have the same nodes.
  static void CopyEvidence(const VRN_network& source,
                           VRN_network& destination, int skip = -1);
  // Enters the slice evidence (slices 1 and later, observed or virtual) of
  // plate node value from into to, the same node of another network.
  static void CopySliceEvidence(const VRN_nodeVal& from, VRN_nodeVal& to);
  // The cost of observing t in network: its cost table at the evidence
  // outcomes of its cost parents; a cost parent without evidence takes
  // outcome 1 when it is among `set_up` (test-group nodes whose set-up is
  // being charged), else the cheapest of its outcomes that is available.
  // The not-available value when no item is available.
  static double GetTestCost(int t, const VRN_network& network,
                            const VRN_intArray* set_up = nullptr);

  // The copies, for inspection.
  const VRN_network& Working() const { return working_; }
  const VRN_network& Hypothetical() const { return hypothetical_; }

 private:
  struct Groups;  // fault nodes of the entropy rankings

  VRN_network& Owner() { return *adapter_->GetNetwork(); }
  // Ends an assumed outcome: the value gets back the evidence saved before
  // the assumption, or none.
  static void Withdraw(VRN_nodeVal* value, const VRN_evidenceRecord& saved);
  void PrepareTests(VRN_intArray& tests);
  void MarkUnavailableTests(VRN_intArray& tests, const VRN_network& network);
  void PrepareCosts();
  void SpreadGroupCost(int group);
  void SetFaultTargets(VRN_network& network);
  void AddRankedTest(int node, double strength, double cost,
                     int probabilitiesAt, int posteriorsAt, int changesAt,
                     bool reportable);
  void AddMarkedRecord(int mark);
  // The record's rating, cost and score from a rating and a cost.
  void Rate(VRN_diagTestResult& record, double rating, double cost);
  int RatePerformedForFault(int faultNode, const std::vector<int>& outcomes,
                            int code, const std::vector<double>& prior,
                            double h0);

  // Shared by the multiple-fault rankings.
  int PrepareMultiFault(VRN_intArray& tests);
  void AddChangeRecord(int t, double now, double expected);
  void PursuedBeliefs(const VRN_network& network, std::vector<double>& out);
  // Enters the owner's evidence less `skip` into the hypothetical network
  // and assumes t = j there (t -1: none). The evidence's failure status,
  // else 0. AssumeAndUpdate also updates the beliefs.
  int Assume(int t, int j, int skip);
  int AssumeAndUpdate(int t, int j, int skip);
  // Rates every performed test h by rating(h, out), called with h withdrawn
  // from the evidence of the updated hypothetical network.
  template <typename Rating>
  int RatePerformedMulti(Rating rating);
  // For every test, the expectation over its outcomes of number(t, j, -1,
  // out), called on the updated hypothetical network with t = j assumed;
  // recorded with AddChangeRecord.
  template <typename Number>
  int RankByExpectation(const VRN_intArray& tests, double now, Number number);
  double ProductEntropy(const Groups& groups, const VRN_network& network,
                        int mode) const;
  int JointFaultTable(const Groups& groups, int t, int j, int skip,
                      std::vector<double>& table);
  int JointLevel(const Groups& groups, int level, int t, int j, int skip,
                 std::vector<int>& state, double product,
                 std::vector<double>& table);

  std::unique_ptr<VRN_diagSessionAdapter> adapter_;
  VRN_network working_;
  VRN_network hypothetical_;
  // The test-group nodes without evidence whose set-up the last
  // PrepareCosts charged: their costs are read at outcome 1, an outcome
  // assumed for the costs only, never entered as evidence.
  VRN_intArray setUpGroups_;
};

#endif  // QELTA_DIAGNOSIS_DIAG_SESSION_H_
