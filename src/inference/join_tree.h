// The join tree of one set of factors: the part of join-tree clustering that
// knows nothing of networks.
//
// A qelta::JoinTree takes nodes 0 .. n-1, each with its outcome count, its
// evidence (an outcome or -1), its parents and its table (the parents'
// outcome counts in parent order, its own outcome count last, the last
// dimension varying fastest, stored contiguously). It forms the cliques
// with the elimination search, orders them by size, gives every node's
// table to the smallest clique holding its family, slices the evidence
// into the clique tables, passes messages towards the root and back, and
// reads marginals. Clique tables follow the clique's member list in
// ascending node index with the first member varying fastest; observed
// nodes are sliced away before any table is sized, so they are never
// dimensions. No normalisation happens during the passes, but a message or
// clique whose cells fall far below 1 is multiplied by a power of two (the
// exponents are summed for the probability of evidence), so evidence of
// any probability leaves nonzero tables. After them the
// tree reads node marginals and adds family posteriors into tables the
// caller lays out (the expectation step of learning).
//
// Ownership: the problem's arrays and tables are borrowed and must outlive
// the tree; the tree owns its cliques and their tables. Single-threaded.
#ifndef QELTA_INFERENCE_JOIN_TREE_H_
#define QELTA_INFERENCE_JOIN_TREE_H_

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "inference/elimination.h"
#include "inference/underflow_bounds.h"

namespace qelta {

// A probability as fraction * 2^exponent, the fraction 0 or in [0.5, 1):
// products far below the doubles keep their digits. A negative fraction
// means that there is none: kNone (it could not be computed) or kInexact
// (products lost what shows in it).
struct ScaledProbability {
  static constexpr double kNone = -1.0;
  static constexpr double kInexact = -2.0;
  double fraction = 1.0;
  long long exponent = 0;

  bool failed() const { return fraction < 0.0; }
  bool inexact() const { return fraction == kInexact; }
  // Positive, yet below the normal doubles (2^-1022).
  bool BelowNormal() const { return fraction > 0.0 && exponent < -1021; }
  // Whether Value() holds it within 1e-12 relative (below the normal
  // doubles only few do, such as 2^-1074).
  bool HeldAsDouble() const {
    const double value = Value();
    if (fraction <= 0.0 || !(value > 0.0)) return fraction == 0.0;
    if (exponent < -1100 || exponent > 1024) return false;
    const double back = std::ldexp(value, static_cast<int>(-exponent));
    return std::fabs(back - fraction) <= 1e-12 * fraction;
  }
  // Multiplies by x >= 0. Where no product leaves the normal doubles this
  // rounds as the plain product of the doubles would.
  void Multiply(double x) {
    int ex = 0;
    int e = 0;
    // x's fraction alone meets ours: a subnormal x loses nothing.
    fraction = std::frexp(fraction * std::frexp(x, &ex), &e);
    exponent += e + ex;
  }
  void Multiply(const ScaledProbability& other) {
    Multiply(other.fraction);
    exponent += other.exponent;
  }
  // As a double: 0.0 for 0 (and far below the doubles), -1.0 when failed;
  // the clamp only keeps the exponent an int.
  double Value() const {
    if (fraction <= 0.0) return fraction < 0.0 ? -1.0 : 0.0;
    const long long e = exponent < -100000 ? -100000 : exponent > 100000 ? 100000 : exponent;
    return std::ldexp(fraction, static_cast<int>(e));
  }
  // The natural logarithm (-inf for 0). Where the value is a normal double
  // this is std::log of that double, bit for bit.
  double Log() const {
    if (!BelowNormal() && exponent <= 1024) return std::log(Value());
    return std::log(fraction) + static_cast<double>(exponent) * 0.69314718055994530942;
  }
};

// The factors a join tree is built from, as plain arrays the caller owns.
struct JoinTreeProblem {
  int node_count = 0;
  const int* outcomes = nullptr;        // per node, at least 1
  const int* evidence = nullptr;        // per node: an outcome, or -1
  const int* parent_offsets = nullptr;  // node_count + 1 entries, from 0
  // Node i's parents are parents[parent_offsets[i] .. parent_offsets[i+1])
  // in the order of its table's dimensions.
  const int* parents = nullptr;
  const double* const* tables = nullptr;  // per node, as described above
};

class JoinTree {
 public:
  // Borrows problem's arrays; they must outlive the tree.
  explicit JoinTree(const JoinTreeProblem& problem);
  JoinTree(const JoinTree&) = delete;
  JoinTree& operator=(const JoinTree&) = delete;

  // Runs the elimination search on the problem as it is now (its arrays
  // may have been refilled since the tree was made) with limit (0 means the
  // search's default, 0xFFFFFFFF no bound on the total), orders the cliques
  // by size then member count (ties keep formation order) and gives each
  // node's table to the first clique in that order holding its family.
  // Returns 0.
  // Fails with kErrOutOfRange when the problem is malformed (an outcome
  // count below 1, evidence out of range, a parent out of range, repeated
  // or the node itself, a missing table), and with kErrOutOfMemory when no
  // elimination order fits the limits; then no clique is usable.
  // Throws std::bad_alloc when working memory cannot be had.
  [[nodiscard]] int Build(uint32_t limit);

  // Sizes every clique and separator table (observed members removed),
  // fills each clique table with the product of its assigned tables sliced
  // at the evidence, and builds the step lists between cliques and their
  // separators. Returns 0, or kErrOutOfMemory when a table cannot be
  // allocated (Release frees what was allocated). May run again after the
  // passes, on the same shape of problem (the tables' values may differ):
  // tables that are still large enough are reused.
  // REQUIRES: Build succeeded; since then no ProbabilityOfEvidence.
  [[nodiscard]] int Initialise();

  // The inward pass: every clique, children first, sends its table summed
  // to its separator, which multiplies into its parent. A separator left
  // empty by the evidence (or empty from the start) carries no message.
  // REQUIRES: Initialise succeeded.
  void Collect();

  // The outward pass: every separator is replaced by the parent's table
  // summed to it, and the child is multiplied by new ÷ old (0 where the old
  // cell is 0). Allocates nothing: the new message is formed in the scratch
  // table Initialise sized for the largest separator, and every table stays
  // where Initialise put it. Returns 0 (kErrOutOfMemory only if that room
  // was lost, which Release alone does).
  // REQUIRES: Collect has run.
  [[nodiscard]] int Distribute();

  // Writes the unnormalised marginal of node (outcome count cells) into
  // out, summed from the first clique in size order that holds it, and
  // returns true. Returns false, writing nothing, for an observed node.
  // REQUIRES: Distribute has run (or Collect alone, for nodes of the root);
  // 0 <= node < node count.
  bool Marginal(int node, double* out);

  // The probability of the evidence (the sum over all unobserved nodes of
  // the product of all tables sliced at the evidence) by one inward pass
  // that sizes each clique when it is first needed and frees it as soon as
  // it has sent its message, so only a path of tables is alive at once.
  // Separators left empty by the evidence pass their total as a factor, so
  // no part of the tree is lost. Products that leave the double range on
  // the way are rescaled, so the answer is 0.0 only for impossible evidence
  // or a probability below the smallest double. Returns -1.0 when a table
  // cannot be allocated.
  // REQUIRES: Build succeeded; Initialise not called since.
  double ProbabilityOfEvidence() { return ScaledProbabilityOfEvidence().Value(); }
  // The same, kept as fraction and exponent however small it is (failed
  // where the above answers -1.0).
  ScaledProbability ScaledProbabilityOfEvidence();

  // Rank in size order of the first clique whose (pruned) members include
  // every listed node, or -1 when none does. With count 0 that is the
  // first clique (-1 when there is none).
  // REQUIRES: Initialise succeeded; the nodes are unobserved and distinct.
  int FindHolder(const int* nodes, int count) const;

  // Sizes the working table for cells cells, so that posteriors of at most
  // that many cells read afterwards allocate nothing. Returns 0, or
  // kErrOutOfMemory when the cells cannot be had.
  // REQUIRES: Initialise succeeded; 1 <= cells <= 2^30.
  [[nodiscard]] int ReserveWorkspace(uint32_t cells);

  // Adds the posterior of the listed nodes (their joint marginal in the
  // clique of rank holder, divided by its total) into a table reached
  // through dst: one outcome further along nodes[k] is strides[k] cells
  // further in that table. Returns 0; kErrZeroMarginal, adding nothing,
  // when the marginal sums to 0 (the evidence is impossible); or
  // kErrOutOfMemory when the working table cannot be allocated (nothing
  // added). count 0 adds 1.0 at dst unless the clique sums to 0.
  // REQUIRES: Distribute has run; holder == FindHolder(nodes, count) >= 0;
  // the walk stays inside the table.
  [[nodiscard]] int AddPosterior(int holder, const int* nodes,
                                 const std::ptrdiff_t* strides, int count,
                                 double* dst);

  // Frees every clique and separator table.
  void Release();

  // Careful passes (see underflow_bounds.h), for tables whose products
  // fall below the normal doubles (a subnormal entry, a tiny likelihood),
  // which the plain passes tell by the underflow flag: each table's slice is
  // brought onto its largest entry by a power of two before it meets the
  // others, every clique is rescaled after each factor, and every clique
  // keeps a bound on what products that left the normal range lost. The
  // normalised answers are those of the plain passes, bit for bit, except
  // where a product left the normal range. Switching resets the passes:
  // Initialise (or ProbabilityOfEvidence) runs next.
  void SetCareful(bool careful);
  // After careful passes: whether every clique's bound stays below
  // kTrustedShare of its total (kEvidenceTrustedShare for the probability
  // of evidence), so normalised beliefs (and the probability of the
  // evidence) are right to that; true after plain passes.
  bool Trustworthy() const { return trusted_; }

  // Cells of the clique and separator tables Initialise sized.
  uint64_t table_cells() const { return table_cells_; }

  int clique_count() const { return static_cast<int>(sorted_.size()); }
  // The cliques in size order.
  VRN_clique* sorted_clique(int i) const { return sorted_[i]; }
  // The clique formed last, or null before a successful Build.
  VRN_clique* root() const { return root_; }

 private:
  bool ProblemIsValid() const;
  void AssignTables();
  int Index(const VRN_clique* clique) const;
  int PruneAndSizeClique(VRN_clique* clique);
  int PruneAndSizeSeparator(VRN_clique* clique);
  int FillClique(VRN_clique* clique);
  int SliceInto(VRN_clique* clique, int node, bool first);
  int BuildSeparatorSteps(VRN_clique* clique);
  VRN_stepSlice KeepSteps(const VRN_stepList& steps);
  void LoadSteps(const VRN_stepSlice& slice, VRN_stepList* steps) const;
  void SendMessage(VRN_clique* child);
  // Distribute's ratios new / old for child's separator when some overflow
  // (a child rescaled in Collect, its old message far below the new one):
  // all of them 2^n lower, the new message in cells taken to that scale.
  // Answers n (0 when nothing was scaled).
  int ScaleRatios(VRN_clique* child, const VRN_stepList& steps, double* cells,
                  double* ratio, uint32_t size);
  void EnsureInitialised(VRN_clique* clique);
  // The careful passes' steps (see SetCareful).
  void MultiplyCarefully(VRN_clique* clique, const double* table,
                         const VRN_stepList& steps, bool first);
  void RescaleCarefully(VRN_clique* clique);
  void CheckTrust(const VRN_clique* clique);
  double& Error(const VRN_clique* clique) { return error_[Index(clique)]; }

  const JoinTreeProblem& problem_;
  int n_;  // the problem's node count when Build last ran
  std::vector<uint32_t> states_;
  std::vector<int> family_offsets_;  // node i's family: parents, then i
  std::vector<int> families_;
  VRN_cliqueStore store_;
  std::vector<VRN_clique*> sorted_;
  VRN_clique* root_ = nullptr;
  std::vector<uint8_t> sized_;   // per clique in formation order
  // Per clique in formation order: messages multiplied in (mod 256), to
  // check its scale every few.
  std::vector<uint8_t> received_;
  // Sum of the exponents e of the factors 2^-e the passes scaled tables
  // by: the true product of the tables is the tree's times
  // 2^scale_exponent_.
  long long scale_exponent_ = 0;
  std::vector<int> home_;        // per node: clique in size order, or -1
  // The cliques' assigned lists, one slice per clique.
  std::vector<int> assigned_;
  // The entries of the cliques' separator step lists, one slice per list.
  std::vector<VRN_stepList::Entry> step_entries_;
  // The new message during Distribute, then the family marginals of
  // AddPosterior.
  VRN_potential scratch_;
  uint64_t table_cells_ = 0;
  bool careful_ = false;
  bool trusted_ = true;
  double share_ = kTrustedShare;  // or finer for the probability of evidence
  // Careful passes, per clique in formation order: a bound on the absolute
  // error of any of its cells, and of its message's, in their own units.
  std::vector<double> error_;
  std::vector<double> message_error_;
  std::vector<double> slice_;  // a table's slice, gathered to be scaled
};

}  // namespace qelta

#endif  // QELTA_INFERENCE_JOIN_TREE_H_
