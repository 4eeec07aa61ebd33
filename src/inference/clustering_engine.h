// The join-tree clustering engine: exact inference over one relevance part.
//
// A VRN_clusteringEngine is created on the caller's stack for one part
// (handed over in a VRN_clusterJob), used for one of its three entries and
// destroyed:
//   Run                    posterior beliefs of the part's wanted nodes,
//                          written into the node values (and, when the
//                          network keeps a table cache, the normalised
//                          clique tables exported into it);
//   ProbabilityOfEvidence  the probability of the part's evidence;
//   RunForLearning         the expected family counts of one data case,
//                          added into the EM learner's count matrices.
// The engine describes the part's records to a qelta::JoinTree (records by
// their part-local index, tables as relevance reasoning left them). Run
// takes the tree from the network's qelta::ClusteringCache, so a part of the
// same shape as the last one solved skips forming the cliques and reuses
// their storage; the other entries build their tree per call.
//
// Ownership: the job, its part and its zero counter are borrowed and must
// outlive the engine; the part's records, their nodes and the network are
// read and the node values written; Run also uses the network's join-tree
// cache (creating it on first use). The learner's tables are borrowed for
// the duration of RunForLearning.
// Thread use: the caller's thread; the network must not be used by anyone
// else while an entry runs.
#ifndef QELTA_INFERENCE_CLUSTERING_ENGINE_H_
#define QELTA_INFERENCE_CLUSTERING_ENGINE_H_

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/matrix.h"
#include "inference/join_tree.h"

class VRN_network;
class VRN_relevancePart;

namespace qelta {

// Most records of a part the engine accepts: a bound that keeps the
// elimination search's index sums inside an int, far beyond any network a
// process can hold.
inline constexpr int kMaxEngineRecords = 0x3FFFFFFF;

// Logs to the network's error log, with kErrZeroMarginal, that the marginal
// of node h sums to zero: "All potential entries are zeros for node "
// followed by the node's identifier, or by "with handle " and h when the
// node has none.
// REQUIRES: h is a live node of network.
void LogZeroMarginal(VRN_network* network, int h);

// Logs, with kErrOutOfRange, that products of the tables left the double
// range so that the answer cannot be given exactly.
void LogBelowDoubles(VRN_network* network);

}  // namespace qelta

// What a caller hands the engine.
struct VRN_clusterJob {
  // The part to solve; its records are addressed by their position.
  VRN_relevancePart* part = nullptr;
  // Incremented once for every node whose marginal sums to zero; may be
  // null.
  std::int32_t* zeroCounter = nullptr;
};

class VRN_clusteringEngine {
 public:
  // Borrows job (and the part and counter it points to).
  explicit VRN_clusteringEngine(VRN_clusterJob* job);
  VRN_clusteringEngine(const VRN_clusteringEngine&) = delete;
  VRN_clusteringEngine& operator=(const VRN_clusteringEngine&) = delete;

  // Belief update of the part. sizeLimit bounds the sum of the clique
  // sizes (0: the search's default, 0x10000000 cells); a single clique is
  // bounded to 30 members and 2^30 cells whatever the limit.
  // A node is solved when solveFlags is given and its byte (indexed by
  // handle) is set, which is then cleared; or when it is a target; or when
  // the network has no targets. Observed and auxiliary records get no
  // belief. A solved node's value becomes its normalised marginal, marked
  // valid with update tag 0; a marginal that sums to zero is logged (see
  // qelta::LogZeroMarginal), counted in the job's counter and leaves the
  // value invalid. When the network has a table cache, every clique table
  // is then exported into it, normalised.
  // Returns true, also when some marginal summed to zero; false when no
  // elimination order fits the limits, when the part is malformed or has
  // more than qelta::kMaxEngineRecords records (no value changed), or when
  // memory runs out (values already written stay); and when products of
  // the tables fall below the normal doubles so that what they lose shows
  // in the beliefs (logged, see qelta::LogBelowDoubles; the values of the
  // part's nodes without evidence are made invalid).
  // Logs nothing else.
  // REQUIRES: solveFlags, when given, has a byte for every handle of the
  // part's nodes.
  bool Run(std::uint8_t* solveFlags, std::uint32_t sizeLimit);

  // The probability of the part's evidence: the sum, over the part's
  // unobserved records, of the product of all record tables at the
  // evidence, however far below the doubles. The search runs without a
  // bound on the total, so it fails only on a clique of more than 30
  // members or 2^30 cells. Fails when the search does, when the part is
  // malformed or too large, or when memory runs out; inexact when products
  // lost what shows in the answer (logged, as in Run). Writes no value and
  // logs nothing else.
  qelta::ScaledProbability ProbabilityOfEvidence();

  // The expectation step of EM for one data case: after the two passes
  // (search with sizeLimit, 0 meaning the default), adds the posterior of
  // the family (parents in parent order, then the node) of every live node
  // h of network with counted[h] clear into the learner's count matrix
  // counts[familyMap[h].first][familyMap[h].second], which has the shape of
  // the node's table (parents' outcome counts, own count last). Family
  // members that are observed (in this part: the record's evidence, else
  // the value's evidence or propagated evidence) fix the slice; the others
  // must all be records of this part held by one clique, whose joint
  // marginal ÷ its total is added. counted[h] is then set; a marginal that
  // sums to zero (impossible evidence) adds nothing but sets it too.
  // A family with no member in this part, with an unobserved member outside
  // it or in no common clique, with a map entry outside the tables, or
  // whose count matrix does not have the family's shape, is left alone
  // (another part may count it). Writes no node value; logs nothing.
  // Returns false, adding nothing, when no elimination order fits the
  // limits or the part is malformed or too large; false also when memory
  // runs out (counts added so far stay). True otherwise.
  // REQUIRES: network is the part's network; familyMap and counted are
  // indexed by its handles (shorter vectors leave the later handles alone).
  // known, when given, holds per handle a state certain given the case
  // (observed or derived; -1 when unknown): it fixes the slice of members
  // outside the part in place of their values' evidence.
  bool RunForLearning(std::uint32_t sizeLimit, VRN_network* network,
                      const std::vector<std::pair<int, int>>& familyMap,
                      std::vector<std::vector<VRN_matrix>>* counts,
                      std::vector<bool>* counted,
                      const std::vector<int>* known = nullptr);

 private:
  // One family to count: its count matrix, the offset its fixed members
  // give, and its unobserved members with their strides in the matrix.
  struct FamilyPlan {
    int handle;
    VRN_matrix* counts;
    int offset;
    int holder;  // clique rank in size order
    int first;   // into members_ / strides_
    int count;
  };

  // Describes the part's records as a join-tree problem. False when the
  // part is too large or a record is malformed (a table whose shape does
  // not match its parents, a parent outside the part).
  bool DescribePart();
  // The two passes on a built tree; false when a table cannot be had, or
  // when products fell below the doubles in a way that shows (logged).
  bool Propagate(qelta::JoinTree* tree);
  // Whether the part's evidence has probability exactly 0, told apart from
  // one that products below the doubles took to 0. False also where that
  // cannot be told. Throws std::bad_alloc when memory runs out.
  bool EvidenceImpossible();
  void WriteBeliefs(qelta::JoinTree* tree, std::uint8_t* solveFlags);
  void ExportJointTables(qelta::JoinTree* tree);
  // Plans the family of node h; false when this part cannot count it.
  bool PlanFamily(const qelta::JoinTree& tree, VRN_network* network, int h,
                  const std::vector<std::pair<int, int>>& familyMap,
                  std::vector<std::vector<VRN_matrix>>* counts,
                  FamilyPlan* plan);
  const std::vector<int>* known_ = nullptr;
  bool CountFamilies(qelta::JoinTree* tree, VRN_network* network,
                     const std::vector<std::pair<int, int>>& familyMap,
                     std::vector<std::vector<VRN_matrix>>* counts,
                     std::vector<bool>* counted);

  VRN_clusterJob* const job_;
  qelta::JoinTreeProblem problem_;
  std::vector<int> outcomes_;
  std::vector<int> evidence_;
  std::vector<int> parent_offsets_;
  std::vector<int> parents_;
  std::vector<const double*> tables_;
  // RunForLearning: part-local index per network handle (-1 outside), the
  // planned families and their members.
  std::vector<int> local_of_handle_;
  std::vector<FamilyPlan> plans_;
  std::vector<int> plan_members_;
  std::vector<std::ptrdiff_t> plan_strides_;
};

#endif  // QELTA_INFERENCE_CLUSTERING_ENGINE_H_
