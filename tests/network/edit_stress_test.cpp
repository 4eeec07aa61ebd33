// Random sequences of the edits a caller can make (types, tables,
// randomization, arcs, temporal arcs, outcomes, intervals and point values,
// equations, multi-attribute utility expressions, user functions, nodes,
// evidence of every kind, targets, relevance switches, copies of networks
// and of parameters between nodes, and saves) on
// small Bayesian networks, influence diagrams, dynamic networks and hybrid
// networks with equation nodes. Right after every edit made with the
// relevance bookkeeping fully on, and after every update, each valid value
// must equal what a fresh network read from a save computes with the same
// evidence (the same indexing parents in the same order and sizes, values
// within 1e-9); every save must read back. A network that refuses to save
// is compared with a copy of itself whose values were all invalidated and
// then updated. The fresh network takes the observations in an order that
// gives the same implied evidence, as the order decides it; a row of a
// value for a configuration of probability 0 may hold a number where the
// fresh network has the undefined marker, or the marker where it has a
// number. After an update that succeeds, every observed node is valid, as
// in a fresh network, and no valid belief has a row that is not a
// distribution. Evidence of probability 0 (in a diagram, with its
// decisions made uniform chance nodes) ends the comparison of a step, once
// a second update has left every value as the first did. Right
// after an edit that leaves implied evidence stale, every valid value
// equals what a refresh gives. An outcome edit that answers an error leaves
// the node, its children's tables, every temporal table, its evidence and
// its cases as they were,
// and its save and tables as they were or as an automatic update of that
// state leaves them.
// An arc into a plate node that the temporal part refuses leaves every
// temporal arc, temporal table and the save as they were. Some dynamic
// networks have decision and utility nodes: after each of their updates
// that succeeds, every value is compared with the unrolled network's own
// update (the only reference for them, as a fresh network computes the
// same way); they are compared with a fresh network too, unless the solver
// assumes an order of decisions in the unrolled copy, which a save does not
// keep. Dynamic networks holding equation nodes are checked on their own
// (DynamicEquations below): each update against the unrolled network's own
// update.
//
// The seed count is small by default; QELTA_EDIT_STRESS_SEEDS sets another
// (thousands for a thorough run), QELTA_EDIT_STRESS_FIRST_SEED the first
// one, QELTA_EDIT_STRESS_MAX_FAILURES how many failing seeds to report
// (5), and QELTA_EDIT_STRESS_VERBOSE adds the state of the network to a
// failure and prints what the checks compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/ci_def.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "definitions/truth_table.h"
#include "network/cases.h"
#include "network/dbn.h"
#include "network/network.h"
#include "equations/equation.h"
#include "equations/equation_evaluation.h"
#include "equations/mau.h"
#include "network/node.h"

namespace {

// Sequences that meet faults mended apart from this test. While a switch is
// false, the harness leaves out the edits it names.
//
// Edits made with the bookkeeping partly off while implied evidence is
// present (the implied evidence can outlive what implied it), and evidence
// entered with the bookkeeping partly off.
constexpr bool kEditsBesideImpliedEvidenceWithBookkeepingOff = true;
// Type changes of nodes that take part in temporal arcs, and temporal arcs
// into canonical nodes (the temporal definitions may not be writable).
constexpr bool kTypeChangesOnTemporalArcs = true;
// Type changes of plate nodes that hold evidence in later slices.
constexpr bool kTypeChangesBesideSliceEvidence = true;
// Outcome identifiers emptied by interval edits: later edits can leave
// them empty without intervals, or beside named ones, and the save does not
// read back.
constexpr bool kEmptyOutcomeIds = true;
// Type changes of a parent of a multi-attribute utility node to another
// kind that keeps the arc (decision, utility).
constexpr bool kTypeChangesOfMauParents = true;
// Automatic updating of influence diagrams solved by code 1.
constexpr bool kAutoUpdateWithInfluenceCode1 = true;
// Multi-attribute utility expressions in dynamic networks that name a
// utility whose arc into the node the temporal types refuse (refused
// whole, as the arc is).
constexpr bool kMauExpressionsAcrossTemporalTypes = true;
// Equations whose text literals name a discrete parent's outcomes (a
// Switch on it, a comparison with it), which every outcome edit of the
// parent must leave naming outcomes.
constexpr bool kOutcomeLiteralsInEquations = true;

// Faults met by the check right after an edit, one switch per class.
// While a switch is false, the values valid after an edit of that class are
// not compared until an update recomputes them, or the edit is not made.

// Edits after which the bookkeeping of valid values was found wrong:
//
// an edit that makes evidence implied, changes an implied outcome or drops
// one leaves what lies beyond that node valid;
constexpr bool kCheckAfterImpliedEvidenceChanges = true;
// a type change that takes evidence or arcs away leaves valid what the old
// kind, evidence and arcs reached;
constexpr bool kCheckAfterTypeChangesThatDropEvidenceOrArcs = true;
// a reorder of outcomes leaves valid what it changes (a noisy-MAX's
// distinguished column, an equation child's reading of the outcome index);
constexpr bool kCheckAfterOutcomeReorders = true;
// new point values or intervals of a discrete parent leave an equation
// child's discretized table, even through updates;
constexpr bool kPointValuesAndIntervalsOfEquationParents = true;
// a type change of an equation's parent leaves the child's discretized
// table, even through updates;
constexpr bool kTypeChangesOfEquationParents = true;
// new user functions leave the discretized tables of the equations that
// call them, even through updates;
constexpr bool kUserFunctionsUnderEquations = true;
// in a dynamic network, evidence implied into a terminal node follows its
// plate parent's first slice, not the last;
constexpr bool kImpliedEvidenceInDynamicNetworks = true;
// evidence refused for a conflict (-26) leaves the implied evidence it
// entered, which an update with the bookkeeping switched off then uses;
constexpr bool kImpliedEvidenceOfRefusedEvidence = true;
// outcomes dropped by a remapping leave a noisy-MAX's or noisy-adder's
// parameter columns without their share: the columns no longer sum to 1;
constexpr bool kOutcomesDroppedFromCanonicalNodes = true;
// new intervals, point values or outcomes keep a numeric observation whose
// number no longer fits the observed outcome: an equation child
// discretizes with the number, a fresh network (the outcome) otherwise;
constexpr bool kOutcomeEditsUnderNumericEvidenceOfEquationParents = true;
// a reorder keeps implied evidence as it was: an implied node's outcome
// keeps its old index, and a reordered observed node implies outcomes in
// its children from its old evidence index, even through updates;
constexpr bool kReordersBesideImpliedEvidence = true;
// an equation node whose interval labels were emptied, changed into a
// noisy-MAX, takes another outcome count than its children's tables.
constexpr bool kTypeChangesOfEquationsWithEmptyLabels = true;

// In influence diagrams:
//
// evidence keeps the indexing parents of the observed node's own point
// mass, and of the values indexed by the observed node; cleared evidence
// leaves the values that the node now indexes without it;
constexpr bool kIndexingParentsOfObservedNodes = true;
// evidence on a node below a decision leaves the values indexed by the
// decision (choices it rules out keep their numbers) and, where no utility
// makes the decision one, the values the solver treats it as a chance node
// for;
constexpr bool kCheckAfterEvidenceBelowDecisions = true;
// switching evidence propagation leaves the layout that the implied
// evidence gave;
constexpr bool kCheckAfterPropagationSwitch = true;
// outcomes added to or removed from a node leave the values it indexes at
// the old size;
constexpr bool kCheckAfterOutcomeCountChanges = true;
// type changes, new and deleted nodes and arcs leave the old layout (a
// deleted handle among the indexing parents, no indexing where a new
// informational arc or utility asks for it) and old numbers;
constexpr bool kCheckAfterTypeChanges = true;
constexpr bool kCheckAfterArcEdits = true;
constexpr bool kCheckAfterNodeEdits = true;
// new tables leave valid what lies behind a decision, and what the solver
// conditions on the node through an indexing parent;
constexpr bool kCheckAfterTableEdits = true;
// new multi-attribute utility expressions or user functions leave the
// decisions' values;
constexpr bool kCheckAfterExpressionEdits = true;
// the value of a choice that the evidence rules out follows the targets of
// the update that computed it (a tiny number, or the others' value);
constexpr bool kCheckAfterTargetChanges = true;
// choosing the other solver leaves the first solver's values valid
// (expected utilities where the other gives a policy, and the reverse);
constexpr bool kCheckAfterSolverChanges = true;

// Edits that make a save which does not read back:
//
// outcomes added to a node whose intervals have an infinite end repeat the
// infinite bound;
constexpr bool kOutcomesAddedBesideOpenEnds = true;

// Outcome edits refused half-way:
//
// two or more outcomes appended at once past an open upper end, where the
// second would split the empty interval the first left there: the refusal
// keeps the first.
constexpr bool kCountsGrownPastOpenEnds = true;
// an equation node's new bounds may cross its inner interval boundaries.
constexpr bool kBoundsAcrossIntervalBoundaries = true;

constexpr int kDefaultSeeds = 300;
constexpr int kSteps = 70;
constexpr int kMaxNodes = 7;
constexpr int kMaxOutcomes = 4;
constexpr double kTolerance = 1e-9;
constexpr const char* kAnchor = "anchor";
// Most scenarios of a diagram the harness has updated (see Scenarios): the
// solvers' work grows with them, and past a few thousand one update of a
// dynamic diagram's unrolled network takes minutes.
constexpr double kMaxScenarios = 4096;
// The share of steps that copy parameters or make an outcome edit meant to
// be refused. They draw from a generator of their own, so that the other
// steps of a seed make the edits they made before these came.
constexpr double kExtraShare = 0.08;

int SeedCount() {
  const char* text = std::getenv("QELTA_EDIT_STRESS_SEEDS");
  if (text == nullptr) return kDefaultSeeds;
  const int count = std::atoi(text);
  return count > 0 ? count : kDefaultSeeds;
}

enum class Flavour { kBayes, kInfluence, kDynamic, kHybrid };

// What the last edit was, for the switches of the check after it.
enum class Edit {
  kNone,
  kSwitch,
  kNode,
  kArc,
  kType,
  kTable,
  kRandomize,
  kOutcome,
  kEvidence,
  kTarget,
  kTemporal,
  kCopy,
  kEquation,
  kMau,
  kFunctions
};

// Whether temporal types allow an arc from a parent of type `from` into a
// child of type `to`: nothing reaches a node outside the plate from the
// plate or a terminal node, and nothing reaches a plate node from a
// terminal node.
bool TemporalTypesAllow(int from, int to) {
  if (to == qelta::kTemporalTerminal) return true;
  if (from == qelta::kTemporalTerminal) return false;
  return from != qelta::kTemporalPlate || to == qelta::kTemporalPlate;
}

// What the checks compared, printed when QELTA_EDIT_STRESS_VERBOSE is set.
struct Counts {
  int updates = 0;
  int failed_updates = 0;
  int computed = 0;
  int kept = 0;
  int edit_checks = 0;
  int edit_compared = 0;
  int copies = 0;
  int parameter_copies = 0;
  int refusals = 0;
  int unrolled_checks = 0;
  int unrolled_indexed = 0;
  int unrolled_invalid = 0;
  int assumed_orders = 0;
  int too_many_scenarios = 0;
};
Counts counts;
int refused_plate_arcs = 0;

const char* FlavourName(Flavour f) {
  switch (f) {
    case Flavour::kBayes:
      return "Bayesian network";
    case Flavour::kInfluence:
      return "influence diagram";
    case Flavour::kHybrid:
      return "hybrid network";
    default:
      return "dynamic network";
  }
}

std::string Describe(const VRN_matrix& m) {
  std::ostringstream out;
  out.precision(12);
  out << "[";
  for (int d = 0; d < m.GetDimensionCount(); ++d) {
    out << (d > 0 ? "x" : "") << m.GetSize(d);
  }
  out << "]";
  for (int i = 0; i < m.GetItemCount() && i < 24; ++i) {
    out << " " << m.GetItem(i);
  }
  return out.str();
}

std::string Join(const std::vector<std::string>& items) {
  std::string out = "(";
  for (size_t i = 0; i < items.size(); ++i) {
    out += (i > 0 ? ", " : "") + items[i];
  }
  return out + ")";
}

std::string LastMessage(const VRN_network& net) {
  const VRN_errorLog* log = net.ErrorLog();
  const int n = log->GetNumberOfMessages();
  return n > 0 ? log->GetMessage(n - 1) : "(no message)";
}

bool SameItems(const VRN_matrix& a, const VRN_matrix& b) {
  if (a.GetDimensions() != b.GetDimensions()) return false;
  for (int i = 0; i < a.GetItemCount(); ++i) {
    const double x = a.GetItem(i);
    const double y = b.GetItem(i);
    if (std::isnan(x) && std::isnan(y)) continue;
    if (!(std::fabs(x - y) <= kTolerance)) return false;
  }
  return true;
}

class Harness {
 public:
  explicit Harness(int seed)
      : seed_(seed),
        rng_(static_cast<unsigned>(seed) * 2654435761u + 17u),
        extra_(static_cast<unsigned>(seed) * 40503u + 7u),
        flavour_(static_cast<Flavour>(seed % 4)),
        implying_(seed % 4 == 0),
        reordering_(flavour_ == Flavour::kHybrid && seed % 16 < 8),
        diagram_(flavour_ == Flavour::kDynamic && seed % 8 == 6),
        net_(std::make_unique<VRN_network>()) {
    // A fixed seed: without one the generator follows the clock.
    net_->SetRandSeed(seed + 1);
  }

  // Builds a network, then edits and updates it; false after the first
  // fault (reported through gtest).
  bool Run() {
    Build();
    for (step_ = 0; step_ < kSteps && !failed_; ++step_) {
      Step();
      if (!failed_) RefusedArcIntoPlate();
    }
    if (!failed_) UpdateAndCheck();
    return !failed_;
  }

 private:
  // ------------------------------------------------------------ random
  int Uniform(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng_);
  }
  double Unit() { return std::uniform_real_distribution<double>(0, 1)(rng_); }
  bool Chance(double p) { return Unit() < p; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Uniform(0, static_cast<int>(items.size()) - 1))];
  }

  // ------------------------------------------------------------ queries
  VRN_node* Node(int h) const { return net_->GetNode(h); }
  VRN_nodeDef* Def(int h) const { return Node(h)->Definition(); }
  VRN_nodeVal* Val(int h) const { return Node(h)->Value(); }
  int Type(int h) const { return Def(h)->GetType(); }
  bool Discrete(int h) const {
    return (Type(h) & qelta::kDefBitDiscrete) != 0;
  }
  int Outcomes(int h) const { return Def(h)->GetNumberOfOutcomes(); }
  bool Plate(int h) const {
    return Node(h)->GetTemporalType() == qelta::kTemporalPlate;
  }
  std::string Id(int h) const {
    VRN_node* node = Node(h);
    return node != nullptr ? node->GetId() : "?" + std::to_string(h);
  }

  std::vector<int> Live() const {
    std::vector<int> out;
    for (int h = net_->GetFirstNode(); h >= 0; h = net_->GetNextNode(h)) {
      out.push_back(h);
    }
    return out;
  }
  // The anchor of a hybrid network stays out of the edits.
  bool IsAnchor(int h) const {
    return flavour_ == Flavour::kHybrid && Id(h) == kAnchor;
  }
  template <typename Pred>
  int AnyNode(Pred pred) {
    std::vector<int> fits;
    for (int h : Live()) {
      if (!IsAnchor(h) && pred(h)) fits.push_back(h);
    }
    return fits.empty() ? -1 : Pick(fits);
  }
  int AnyNode() {
    return AnyNode([](int) { return true; });
  }
  int AnyDiscrete() {
    return AnyNode([this](int h) { return Discrete(h); });
  }
  int AnyChance() {
    return AnyNode([this](int h) {
      return (Type(h) & qelta::kDefBitChance) != 0 ||
             Type(h) == qelta::kDefTruthTable;
    });
  }

  bool FullyOn() const {
    return net_->IsRelevanceReasoning() &&
           (net_->GetRelevanceOptions() & qelta::kRelAllOptions) ==
               qelta::kRelAllOptions;
  }
  bool AnyImpliedEvidence() const {
    for (int h : Live()) {
      if (Val(h)->HasFlags(qelta::kValFlagPropagated)) return true;
    }
    return false;
  }
  bool InTemporalArc(int h) {
    VRN_dbn* dbn = net_->Dbn();
    if (dbn == nullptr || !Plate(h)) return false;
    VRN_intArray orders;
    std::vector<std::pair<int, int>> children;
    (void)dbn->GetTemporalOrders(h, orders);
    (void)dbn->GetTemporalChildren(h, children);
    return orders.GetSize() > 0 || !children.empty();
  }
  bool HasSliceEvidence(int h) {
    VRN_dbn* dbn = net_->Dbn();
    return dbn != nullptr && Plate(h) && dbn->HasTemporalEvidence(h);
  }
  bool Equation(int h) const { return Type(h) == qelta::kDefEquation; }
  bool TemporalTypesAllowArc(int p, int c) const {
    return TemporalTypesAllow(Node(p)->GetTemporalType(),
                              Node(c)->GetTemporalType());
  }
  // Influence diagrams, dynamic ones included.
  bool Diagram() const { return flavour_ == Flavour::kInfluence || diagram_; }
  // The solver of a dynamic diagram goes through every scenario of the
  // decisions in every slice: fewer slices keep it quick.
  int MaxSlices() const { return diagram_ ? 3 : 4; }
  // Cooper's solver updates a diagram once per scenario: per combination of
  // outcomes of the unobserved decisions and the unobserved nodes that
  // inform one, in every slice (Shachter's no-forgetting policies grow
  // alike). The product of their outcome counts; a plate node's temporal
  // arc into a decision informs it.
  double Scenarios() const {
    if (!Diagram()) return 1.0;
    const int slices = std::max(1, net_->GetNumberOfSlices());
    double product = 1.0;
    for (int h : Live()) {
      if (!Discrete(h)) continue;
      bool informs = Type(h) == qelta::kDefDecision;
      for (int c : Node(h)->Children()) informs = informs || Type(c) == qelta::kDefDecision;
      std::vector<std::pair<int, int>> later;
      if (Plate(h) && net_->GetTemporalChildren(h, later) == qelta::kOk) {
        for (const auto& arc : later) informs = informs || Type(arc.first) == qelta::kDefDecision;
      }
      for (int s = 0; informs && s < (Plate(h) ? slices : 1); ++s) {
        if (!(s == 0 ? Val(h)->HasEvidence() : Val(h)->IsTemporalEvidence(s))) {
          product *= Outcomes(h);
        }
      }
    }
    return product;
  }
  // Whether the harness may update the network (or a fresh copy) now.
  bool Affordable() {
    if (Scenarios() <= kMaxScenarios) return true;
    ++counts.too_many_scenarios;
    return false;
  }
  bool BelowDecision(int h) const {
    if (h < 0 || Node(h) == nullptr) return false;
    VRN_intArray ancestors;
    (void)net_->GetAncestors(h, ancestors);
    for (int a : ancestors) {
      if (Type(a) == qelta::kDefDecision) return true;
    }
    return false;
  }
  bool HasEquationChild(int h) const {
    for (int c : Node(h)->Children()) {
      if (Equation(c)) return true;
    }
    return false;
  }
  // Per handle, the implied outcome (-1 for none).
  std::vector<int> Implied() const {
    std::vector<int> out(static_cast<size_t>(net_->GetSlotCount()), -1);
    for (int h : Live()) {
      if (Val(h)->HasFlags(qelta::kValFlagPropagated)) {
        out[static_cast<size_t>(h)] = Val(h)->GetEvidence();
      }
    }
    return out;
  }
  bool HasMauChild(int h) const {
    for (int c : Node(h)->Children()) {
      if (Type(c) == qelta::kDefMau) return true;
    }
    return false;
  }
  std::vector<int> TypeCodes() const {
    std::vector<int> codes{qelta::kDefCpt,       qelta::kDefCpt,
                           qelta::kDefTruthTable, qelta::kDefNoisyMax,
                           qelta::kDefNoisyAdder, qelta::kDefCast,
                           qelta::kDefDemorgan};
    if (implying_) codes.insert(codes.end(), 5, qelta::kDefTruthTable);
    if (Diagram()) {
      codes.insert(codes.end(), {qelta::kDefDecision, qelta::kDefDecision,
                                 qelta::kDefUtility, qelta::kDefUtility,
                                 qelta::kDefMau});
    }
    if (flavour_ == Flavour::kHybrid) {
      codes.insert(codes.end(), reordering_ ? 6 : 3, qelta::kDefEquation);
    }
    return codes;
  }

  // ------------------------------------------------------------ reports
  void Note(const std::string& what, int status) {
    trace_.push_back(std::to_string(step_) + ": " + what + " = " +
                     std::to_string(status));
  }
  void Fail(const std::string& what) {
    failed_ = true;
    std::ostringstream out;
    out << "seed " << seed_ << " (" << FlavourName(flavour_) << "), step "
        << step_ << ": " << what << "\nedits:";
    const size_t from = trace_.size() > 60 ? trace_.size() - 60 : 0;
    for (size_t i = from; i < trace_.size(); ++i) out << "\n  " << trace_[i];
    // With QELTA_EDIT_STRESS_VERBOSE: every node's state, the switches and
    // the network's save.
    if (std::getenv("QELTA_EDIT_STRESS_VERBOSE") != nullptr) {
      out << "\nnodes:";
      for (int h : Live()) {
        std::vector<double> soft;
        out << "\n  " << h << " " << Id(h) << " type " << Type(h)
            << " temporal " << Node(h)->GetTemporalType() << " flags "
            << Val(h)->GetFlags() << " evidence " << Val(h)->GetEvidence()
            << " value " << Describe(Val(h)->GetValue());
        if (Val(h)->GetVirtualEvidence(&soft) == qelta::kOk) {
          for (double x : soft) out << " " << x;
        }
        const VRN_matrix* expanded = Def(h)->GetExpandedDefinition();
        if (expanded != nullptr) out << " table " << Describe(*expanded);
      }
      out << "\nflags " << net_->GetFlags() << ", relevance options "
          << net_->GetRelevanceOptions() << ", algorithms "
          << net_->GetDefaultBNAlgorithm() << " and "
          << net_->GetDefaultIDAlgorithm();
      std::string text;
      (void)net_->WriteString(text, -1);
      out << "\n" << text;
    }
    ADD_FAILURE() << out.str();
  }

  // Values valid now may be stale when the edit just made ran with the
  // bookkeeping partly off; values found invalid are forgotten.
  void AfterEdit(bool full) {
    untrusted_.resize(static_cast<size_t>(net_->GetSlotCount()), 0);
    for (int h : Live()) {
      if (!Val(h)->IsValueValid()) {
        untrusted_[h] = 0;
      } else if (!full) {
        untrusted_[h] = 1;
      }
    }
  }

  // ------------------------------------------------------------ building
  int AddNode(int type) {
    const int h = net_->AddNode(type, nullptr);
    if (h < 0) return h;
    if (Discrete(h) && Chance(0.4) && Type(h) != qelta::kDefCast &&
        Type(h) != qelta::kDefDemorgan) {
      (void)Def(h)->SetNumberOfOutcomes(3);
    }
    // Diagrams keep more nodes outside the plate, where values are indexed.
    if (flavour_ == Flavour::kDynamic && Chance(diagram_ ? 0.5 : 0.8)) {
      (void)net_->setNodeTemporalType(h, qelta::kTemporalPlate);
    }
    // Draws within intervals follow the parent order of an equation that
    // reads the node.
    auto* disc = dynamic_cast<VRN_discDef*>(Def(h));
    if (reordering_ && disc != nullptr) {
      std::vector<double> bounds;
      for (int i = 0; i <= Outcomes(h); ++i) bounds.push_back(i);
      (void)disc->SetIntervals(bounds, false);
    }
    return h;
  }

  void Build() {
    if (flavour_ == Flavour::kHybrid) {
      // Few draws per column keep discretizations cheap; the fixed seed
      // makes them repeat exactly in a fresh network.
      (void)net_->SetNumberOfDiscretizationSamples(40);
      (void)net_->AddNode(qelta::kDefCpt, kAnchor);
      EnsureAnchor();
    }
    if (Diagram() || flavour_ == Flavour::kHybrid) {
      Functions();
    }
    const int n = Uniform(3, 5);
    for (int i = 0; i < n; ++i) (void)AddNode(Pick(TypeCodes()));
    for (int i = 0; i < 2 * n; ++i) {
      const int p = AnyNode();
      const int c = AnyNode();
      (void)net_->AddArc(p, c);
    }
    // A chain through every node: implied outcomes reach further.
    const std::vector<int> nodes = Live();
    for (size_t i = 1; implying_ && i < nodes.size(); ++i) {
      (void)net_->AddArc(nodes[i - 1], nodes[i]);
    }
    if (flavour_ == Flavour::kDynamic) {
      for (int i = 0; i < n; ++i) AddTemporalArc();
      (void)net_->SetNumberOfSlices(Uniform(1, MaxSlices()));
    }
    (void)net_->RandomizeParameters(nullptr, nullptr);
    // With targets an update recomputes only them: the other values stay
    // as they were, so stale ones would show. (None at first where edits
    // aim at what an update left valid.)
    if (!implying_ && !reordering_ && Chance(0.7)) (void)net_->SetTarget(AnyNode(), true);
    if (Diagram()) {
      for (int h : Live()) {
        if (Type(h) == qelta::kDefUtility) SetTable(h);
        if (Type(h) == qelta::kDefMau && Chance(0.5)) Mau(h);
      }
    }
    if (flavour_ == Flavour::kHybrid) {
      for (int h : Live()) {
        if (Equation(h)) SetEquation(h);
      }
    }
    AfterEdit(true);
  }

  // Equation nodes are compared by their discretized beliefs: likelihoods
  // of 1 on a node outside the model send every update of a hybrid network
  // down the discrete route, where a discretization repeats exactly with
  // the network's seed. Forward sampling would not do: it draws in the
  // order of the handles, which a save renumbers, so a fresh network's
  // samples would differ from these.
  void EnsureAnchor() {
    if (flavour_ != Flavour::kHybrid) return;
    const int h = net_->FindNode(kAnchor);
    if (h < 0) {
      Fail("the anchor went");
      return;
    }
    std::vector<double> soft;
    if (Val(h)->GetVirtualEvidence(&soft) == qelta::kOk) return;
    Note("SetVirtualEvidence(anchor)",
         Val(h)->SetVirtualEvidence(std::vector<double>(
             static_cast<size_t>(Outcomes(h)), 1.0)));
  }

  // ------------------------------------------------------------ edits
  void Step() {
    const bool full = FullyOn();
    // While implied evidence could be left behind, only edits that change
    // nothing a value depends on are made.
    const bool restricted = !kEditsBesideImpliedEvidenceWithBookkeepingOff &&
                            !full && AnyImpliedEvidence();
    const bool extra =
        !restricted && std::uniform_real_distribution<double>(0, 1)(extra_) < kExtraShare;
    const int choice = extra ? 100 : Uniform(0, 99);
    if (choice < 12) {
      UpdateAndCheck();
      return;
    }
    // Edits made right after an update, so that what they leave valid
    // shows: a new table for a node with an implied outcome, which may move
    // (with something beyond it: a child, or a parent without evidence),
    // and a new parent order for an equation, which drops its table.
    int moving = -1;
    if (!extra && implying_ && Chance(0.8)) {
      moving = AnyNode([this](int g) {
        const VRN_intArray& parents = Node(g)->Parents();
        return Val(g)->HasFlags(qelta::kValFlagPropagated) &&
               (Node(g)->Children().GetSize() > 0 ||
                std::any_of(parents.begin(), parents.end(),
                            [this](int p) { return !Val(p)->HasEvidence(); }));
      });
    } else if (!extra && reordering_ && Chance(0.4)) {
      moving = AnyNode([this](int g) { return Equation(g) && Node(g)->Parents().GetSize() > 1; });
    }
    if (moving >= 0) {
      UpdateAndCheck();
      if (failed_) return;
    }
    const std::vector<int> implied = Implied();
    const size_t notes = trace_.size();
    if (extra) {
      std::swap(rng_, extra_);
      if (Chance(0.5)) {
        CopyParameters();
      } else {
        RefusedOutcomeEdit();
      }
      std::swap(rng_, extra_);
    } else if (moving >= 0) {
      if (implying_) {
        SetTable(moving);
      } else {
        ReorderParents(moving, true);
      }
    } else if (restricted || choice < 20) {
      Switches();
    } else if (choice < 26) {
      Nodes();
    } else if (choice < 36) {
      Arcs();
    } else if (choice < 42) {
      TypeChange();
    } else if (choice < 54) {
      if (flavour_ == Flavour::kHybrid && Chance(0.5)) {
        Equations();
      } else if (Diagram() && Chance(0.25)) {
        Mau(-1);
      } else {
        Tables();
      }
    } else if (choice < 58) {
      Randomize();
    } else if (choice < 66) {
      OutcomeEdit();
    } else if (choice < 82) {
      Evidence();
    } else if (choice < 88) {
      Targets();
    } else if (choice < 94) {
      if (flavour_ == Flavour::kDynamic) {
        Temporal();
      } else {
        Evidence();
      }
    } else {
      CopyOrSave();
    }
    if (failed_) return;
    EnsureAnchor();
    std::vector<int> now = Implied();
    now.resize(std::max(now.size(), implied.size()), -1);
    const bool implied_changed =
        !std::equal(implied.begin(), implied.end(), now.begin()) ||
        std::any_of(now.begin() + static_cast<long>(implied.size()), now.end(),
                    [](int o) { return o >= 0; });
    const std::string what = trace_.size() > notes ? trace_[notes] : "";
    const bool checked =
        full && FullyOn() && CheckedAfter(what, implied_changed);
    AfterEdit(checked);
    if (!failed_) CheckRefreshed();
    if (checked && !failed_) CheckNow();
  }

  // Right after an edit that left implied evidence to be derived again:
  // a value read now, without an update, is what a refresh gives (a copy
  // refreshes at once). An implied point mass stays valid only where the
  // refresh keeps it; other values only where no edit with the
  // bookkeeping partly off may have left them stale.
  void CheckRefreshed() {
    if (!net_->IsImpliedEvidenceStale()) return;
    const VRN_network copy(*net_);
    for (int h : Live()) {
      const VRN_nodeVal* value = Val(h);
      const bool implied = value->HasFlags(qelta::kValFlagPropagated) &&
                           !value->HasFlags(qelta::kValFlagEvidence);
      if (!value->IsValueValid() || (untrusted_[h] != 0 && !implied)) continue;
      const VRN_nodeVal* other = copy.GetNode(h)->Value();
      if (!other->IsValueValid() || !SameItems(value->GetValue(), other->GetValue())) {
        Fail("the valid value of " + Id(h) + " is " + Describe(value->GetValue()) +
             ", after a refresh " +
             (other->IsValueValid() ? Describe(other->GetValue()) : "invalid"));
        return;
      }
    }
  }

  // False after an edit of a class whose faults are not mended yet.
  bool CheckedAfter(const std::string& what, bool implied_changed) const {
    if (!kCheckAfterImpliedEvidenceChanges && implied_changed) return false;
    if (!kImpliedEvidenceInDynamicNetworks && implied_changed &&
        flavour_ == Flavour::kDynamic) {
      return false;
    }
    if (!kCheckAfterOutcomeReorders &&
        what.find("ChangeOrderOfOutcomes") != std::string::npos) {
      return false;
    }
    if (!kCheckAfterTypeChangesThatDropEvidenceOrArcs && edit_ == Edit::kType &&
        dropped_) {
      return false;
    }
    if (!kCheckAfterSolverChanges &&
        what.find("influence code") != std::string::npos) {
      return false;
    }
    if (Diagram()) {
      const bool cleared = what.find("Clear") != std::string::npos &&
                           what.find("Evidence") != std::string::npos;
      if (!kIndexingParentsOfObservedNodes && cleared) return false;
      if (!kCheckAfterEvidenceBelowDecisions && edit_ == Edit::kEvidence &&
          BelowDecision(evidence_node_)) {
        return false;
      }
      if (!kCheckAfterTargetChanges && edit_ == Edit::kTarget) return false;
      if (!kCheckAfterPropagationSwitch &&
          what.find("propagation flag") != std::string::npos) {
        return false;
      }
      if (!kCheckAfterOutcomeCountChanges && edit_ == Edit::kOutcome &&
          what.find("Rename") == std::string::npos) {
        return false;
      }
      if ((!kCheckAfterTypeChanges && edit_ == Edit::kType) ||
          (!kCheckAfterArcEdits && edit_ == Edit::kArc) ||
          (!kCheckAfterNodeEdits && edit_ == Edit::kNode)) {
        return false;
      }
      if (!kCheckAfterTableEdits &&
          (edit_ == Edit::kTable || edit_ == Edit::kRandomize)) {
        return false;
      }
      if (!kCheckAfterExpressionEdits &&
          (edit_ == Edit::kMau || edit_ == Edit::kFunctions)) {
        return false;
      }
    }
    return true;
  }

  void Switches() {
    edit_ = Edit::kSwitch;
    switch (Uniform(0, 5)) {
      case 0: {
        const bool on = Chance(0.7);
        net_->SetRelevanceReasoning(on);
        Note(on ? "relevance on" : "relevance off", 0);
        break;
      }
      case 1: {
        int options = qelta::kRelAllOptions;
        if (Chance(0.2)) {
          options = 0;
        } else if (Chance(0.5)) {
          const int bits[] = {qelta::kRelArcAdded,        qelta::kRelArcRemoved,
                              qelta::kRelEvidenceSet,     qelta::kRelEvidenceCleared,
                              qelta::kRelOutcomesChanged, qelta::kRelTableChanged,
                              qelta::kRelEquationChanged};
          options &= ~bits[Uniform(0, 6)];
        }
        net_->SetRelevanceOptions(options);
        Note("relevance options " + std::to_string(options), 0);
        break;
      }
      case 2: {
        const int flags = net_->GetFlags() ^ qelta::kNetEvidencePropagation;
        net_->SetFlags(flags);
        Note("propagation flag " +
                 std::to_string(flags & qelta::kNetEvidencePropagation),
             0);
        break;
      }
      case 3: {
        if (Diagram() && (flavour_ == Flavour::kInfluence || Chance(0.5))) {
          const int code = Uniform(0, 1);
          if (code == 1 && !kAutoUpdateWithInfluenceCode1 &&
              net_->IsAutoUpdate()) {
            break;
          }
          Note("influence code " + std::to_string(code),
               net_->SetDefaultIDAlgorithm(code));
        } else {
          const int codes[] = {0, 10, 11, 12};
          const int code = codes[Uniform(0, 3)];
          Note("algorithm " + std::to_string(code),
               net_->SetDefaultBNAlgorithm(code));
        }
        break;
      }
      case 4: {
        // A hybrid network updated while the anchor's likelihoods are
        // cleared would sample.
        bool on = Chance(0.3) && flavour_ != Flavour::kHybrid;
        if (on && !kAutoUpdateWithInfluenceCode1 && Diagram() &&
            net_->GetDefaultIDAlgorithm() == 1) {
          on = false;
        }
        // An edit of a dynamic diagram can multiply its scenarios, and
        // with it the work of the update it sets off, many times over.
        on = on && !diagram_;
        Note(on ? "automatic update on" : "automatic update off",
             net_->SetAutoUpdate(on));
        break;
      }
      default:
        Targets();
        break;
    }
  }

  void Nodes() {
    edit_ = Edit::kNode;
    if (Chance(0.5) && net_->GetNumberOfNodes() < kMaxNodes) {
      const int type = Pick(TypeCodes());
      const int h = AddNode(type);
      Note("AddNode(" + std::to_string(type) + ") " + Id(h), h);
      if (h >= 0 && Chance(0.6)) {
        const int other = AnyNode();
        const int status =
            Chance(0.5) ? net_->AddArc(other, h) : net_->AddArc(h, other);
        Note("arc with " + Id(other), status);
      }
    } else if (Chance(0.2)) {
      // A discretization draws its samples in an order that follows the
      // identifiers, so a renamed equation node or parent would make the
      // fresh network's draws differ from the cached ones.
      const int h = AnyNode([this](int g) { return !Equation(g) && !HasEquationChild(g); });
      if (h < 0) return;
      const std::string id = Id(h);
      const std::string renamed = "r" + std::to_string(++outcome_counter_);
      Note("SetId(" + id + ", " + renamed + ")",
           Node(h)->Header().SetId(renamed.c_str()));
    } else if (net_->GetNumberOfNodes() > 2) {
      const int h = AnyNode();
      const std::string id = Id(h);
      Note("DeleteNode(" + id + ")", net_->DeleteNode(h));
    }
  }

  void Arcs() {
    edit_ = Edit::kArc;
    const int c = AnyNode();
    if (c < 0) return;
    const VRN_intArray& parents = Node(c)->Parents();
    if (Chance(0.5)) {
      const int p = AnyNode();
      Note("AddArc(" + Id(p) + ", " + Id(c) + ")", net_->AddArc(p, c));
    } else if (parents.GetSize() > 1 && Chance(0.3)) {
      ReorderParents(c);
    } else if (parents.GetSize() > 0) {
      const int p = parents[Uniform(0, parents.GetSize() - 1)];
      Note("RemoveArc(" + Id(p) + ", " + Id(c) + ")", net_->RemoveArc(p, c));
    }
  }

  // A random new order of c's parents; another one than now when asked.
  void ReorderParents(int c, bool other = false) {
    edit_ = Edit::kArc;
    VRN_intArray order;
    std::vector<int> perm(static_cast<size_t>(Node(c)->Parents().GetSize()));
    for (size_t i = 0; i < perm.size(); ++i) perm[i] = static_cast<int>(i);
    std::shuffle(perm.begin(), perm.end(), rng_);
    if (other && std::is_sorted(perm.begin(), perm.end())) std::reverse(perm.begin(), perm.end());
    for (int i : perm) order.Add(i);
    Note("ReorderParents(" + Id(c) + ")", net_->ReorderParents(c, order));
  }

  void TypeChange() {
    edit_ = Edit::kType;
    const int h = AnyNode();
    if (h < 0) return;
    if (!kTypeChangesOnTemporalArcs && InTemporalArc(h)) return;
    if (!kTypeChangesBesideSliceEvidence && HasSliceEvidence(h)) return;
    const int code = Pick(TypeCodes());
    if (!kTypeChangesOfEquationParents && HasEquationChild(h)) return;
    if (!kTypeChangesOfEquationsWithEmptyLabels && Equation(h)) {
      for (const VRN_discInterval& interval :
           static_cast<VRN_equation*>(Def(h))->GetDiscIntervals()) {
        if (interval.id.empty()) return;
      }
    }
    if (!kTypeChangesOfMauParents && HasMauChild(h) &&
        VRN_nodeDef::IsArcAllowed(code, qelta::kDefMau)) {
      return;
    }
    const int flags = Val(h)->GetFlags() &
                      (qelta::kValFlagEvidence | qelta::kValFlagVirtual);
    const int arcs = Node(h)->Parents().GetSize() +
                     Node(h)->Children().GetSize();
    Note("setNodeType(" + Id(h) + ", " + std::to_string(code) + ")",
         Node(h)->setNodeType(code));
    dropped_ = flags != (Val(h)->GetFlags() &
                         (qelta::kValFlagEvidence | qelta::kValFlagVirtual)) ||
               arcs != Node(h)->Parents().GetSize() +
                           Node(h)->Children().GetSize();
  }

  // A random column for n outcomes: sometimes with zeros, sometimes a
  // point mass.
  void RandomColumn(double* column, int n) {
    if (Chance(implying_ ? 0.6 : 0.15)) {
      for (int j = 0; j < n; ++j) column[j] = 0.0;
      column[Uniform(0, n - 1)] = 1.0;
      return;
    }
    double sum = 0.0;
    for (int j = 0; j < n; ++j) {
      column[j] = Chance(0.1) ? 0.0 : 0.05 + Unit();
      sum += column[j];
    }
    if (sum == 0.0) {
      column[0] = 1.0;
      sum = 1.0;
    }
    for (int j = 0; j < n; ++j) column[j] /= sum;
  }

  // Random columns for a table whose last dimension is the outcomes;
  // columns that are point masses stay (they are fixed in canonical
  // parameters).
  std::vector<double> RandomTable(const VRN_matrix& table, bool keepFixed) {
    std::vector<double> items(table.GetItems().begin(), table.GetItems().end());
    const int dims = table.GetDimensionCount();
    if (dims < 1) return items;
    const int n = table.GetSize(dims - 1);
    for (size_t at = 0; at + static_cast<size_t>(n) <= items.size(); at += n) {
      if (keepFixed) {
        int ones = 0;
        for (int j = 0; j < n; ++j) ones += items[at + j] == 1.0 ? 1 : 0;
        if (ones == 1) continue;
      }
      RandomColumn(&items[at], n);
    }
    return items;
  }

  void SetTable(int h) {
    edit_ = Edit::kTable;
    VRN_nodeDef* def = Def(h);
    const int type = def->GetType();
    int status = 0;
    std::string what = "table";
    if (type == qelta::kDefCpt) {
      status = def->SetDefinitionFromVector(RandomTable(*def->GetMatrixConst(), false));
    } else if (type == qelta::kDefTruthTable) {
      auto* table = static_cast<VRN_truthTable*>(def);
      const VRN_matrix& m = *def->GetMatrixConst();
      const int n = m.GetSize(m.GetDimensionCount() - 1);
      VRN_intArray states;
      for (int i = 0; i < m.GetItemCount() / n; ++i) states.Add(Uniform(0, n - 1));
      what = "resulting states";
      status = table->SetResultingStates(states);
    } else if (type == qelta::kDefUtility) {
      std::vector<double> items(
          static_cast<size_t>(def->GetMatrixConst()->GetItemCount()));
      for (double& v : items) v = std::round(Unit() * 200.0 - 100.0) / 10.0;
      status = def->SetDefinitionFromVector(items);
    } else if (type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder) {
      auto* ci = static_cast<VRN_ciDef*>(def);
      if (type == qelta::kDefNoisyAdder && Chance(0.4)) {
        auto* adder = static_cast<VRN_noisyAdder*>(def);
        const int parents = Node(h)->Parents().GetSize();
        if (Chance(0.5)) {
          what = "adder weight";
          status = adder->SetParentWeight(Uniform(0, parents), 0.2 + Unit());
        } else {
          what = "adder distinguished state";
          status = adder->SetDistinguishedState(Uniform(0, Outcomes(h) - 1));
        }
      } else if (type == qelta::kDefNoisyMax && Chance(0.3) &&
                 Node(h)->Parents().GetSize() > 0) {
        auto* noisy = static_cast<VRN_noisyMAX*>(def);
        const int i = Uniform(0, Node(h)->Parents().GetSize() - 1);
        VRN_intArray perm;
        std::vector<int> order(
            static_cast<size_t>(ci->GetParentOutcomeCount(i)));
        for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
        std::shuffle(order.begin(), order.end(), rng_);
        for (int k : order) perm.Add(k);
        what = "noisy strengths";
        status = noisy->SetParentOutcomeStrengths(i, perm);
      } else {
        what = "noisy parameters";
        status = def->SetDefinitionFromVector(RandomTable(ci->Parameters(), true));
      }
    } else if (type == qelta::kDefDemorgan) {
      auto* dm = static_cast<VRN_demorgan*>(def);
      const int parents = dm->GetParentCount();
      if (parents > 0 && Chance(0.6)) {
        if (Chance(0.5)) {
          what = "DeMorgan weight";
          status = dm->SetParentWeight(Uniform(0, parents - 1), Unit());
        } else {
          what = "DeMorgan role";
          status = dm->SetParentType(Uniform(0, parents - 1), Uniform(0, 3));
        }
      } else {
        what = "DeMorgan prior";
        status = dm->SetPriorBelief(Unit());
      }
    } else if (type == qelta::kDefCast) {
      auto* cast = static_cast<VRN_cast*>(def);
      const int parents = Node(h)->Parents().GetSize();
      if (parents > 0 && Chance(0.6)) {
        VRN_doubleArray weights;
        for (int i = 0; i < parents; ++i) weights.Add(2.0 * Unit() - 1.0);
        what = "CAST weights";
        status = Chance(0.5) ? cast->SetPositiveWeights(weights)
                             : cast->SetNegativeWeights(weights);
      } else {
        what = "CAST baseline";
        status = cast->SetBaseline(Unit());
      }
    } else {
      return;
    }
    Note(what + "(" + Id(h) + ")", status);
  }

  void Tables() {
    const int h = AnyNode();
    if (h < 0) return;
    if (flavour_ == Flavour::kDynamic && Plate(h) && Chance(0.4)) {
      TemporalTable(h);
      return;
    }
    SetTable(h);
  }

  void TemporalTable(int h) {
    edit_ = Edit::kTable;
    VRN_dbn* dbn = net_->Dbn();
    if (dbn == nullptr) return;
    VRN_intArray orders;
    (void)dbn->GetTemporalOrders(h, orders);
    if (orders.GetSize() == 0) return;
    const int order = orders[Uniform(0, orders.GetSize() - 1)];
    VRN_nodeDef* def = Def(h);
    const int type = def->GetType();
    int status = 0;
    if (type == qelta::kDefCpt) {
      const std::vector<double> items =
          RandomTable(*def->GetTemporalMatrix(order), false);
      VRN_doubleArray array;
      for (double v : items) array.Add(v);
      status = def->SetTemporalDefinition(order, array);
    } else if (type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder) {
      auto* ci = static_cast<VRN_ciDef*>(def);
      const VRN_matrix* weights = ci->GetTemporalCiWeights(order);
      if (weights == nullptr) return;
      VRN_matrix next(*weights);
      const std::vector<double> items = RandomTable(*weights, true);
      for (size_t i = 0; i < items.size(); ++i) {
        next.GetItems()[static_cast<int>(i)] = items[i];
      }
      status = ci->SetTemporalCiWeights(order, next);
    } else if (type == qelta::kDefDemorgan) {
      auto* dm = static_cast<VRN_demorgan*>(def);
      status = dm->SetTemporalParentWeight(order, 0, Unit());
    } else {
      return;
    }
    Note("temporal table(" + Id(h) + ", " + std::to_string(order) + ")",
         status);
  }

  void Randomize() {
    edit_ = Edit::kRandomize;
    std::vector<int> listed;
    const bool some = Chance(0.6);
    if (some) {
      for (int h : Live()) {
        if (Chance(0.4)) listed.push_back(h);
      }
    }
    const bool uniform = Chance(0.3);
    const int status =
        uniform ? net_->UniformizeParameters(some ? &listed : nullptr)
                : net_->RandomizeParameters(nullptr, some ? &listed : nullptr);
    Note(std::string(uniform ? "Uniformize" : "Randomize") + "(" +
             (some ? std::to_string(listed.size()) + " nodes" : "all") + ")",
         status);
  }

  // A fresh outcome identifier, empty when the node's are.
  std::string NewOutcomeId(int h) {
    const auto* disc = static_cast<const VRN_discDef*>(Def(h));
    if (!disc->HasOutcomeIds()) return "";
    return "o" + std::to_string(++outcome_counter_);
  }

  void OutcomeEdit() {
    edit_ = Edit::kOutcome;
    const int h = AnyNode([this](int n) {
      return Discrete(n) && Type(n) != qelta::kDefCast &&
             Type(n) != qelta::kDefDemorgan;
    });
    if (h < 0) return;
    auto* disc = static_cast<VRN_discDef*>(Def(h));
    const int n = Outcomes(h);
    const std::string id = NewOutcomeId(h);
    int status = 0;
    std::string what;
    const int choice = Uniform(0, 9);
    std::vector<double> bounds;
    const bool open = disc->GetIntervals(&bounds) == qelta::kOk &&
                      !bounds.empty() &&
                      (std::isinf(bounds.back()) || std::isinf(bounds.front()));
    const bool adds = choice <= 1 || choice == 5 || choice == 6;
    if (!kOutcomesAddedBesideOpenEnds && open && adds) return;
    const Kept before = Keep(h);
    if (!kPointValuesAndIntervalsOfEquationParents &&
        (choice == 7 || choice == 8) && HasEquationChild(h)) {
      return;
    }
    double number = 0.0;
    if (!kOutcomeEditsUnderNumericEvidenceOfEquationParents && HasEquationChild(h) &&
        Val(h)->GetContEvidence(&number) == qelta::kOk) {
      return;
    }
    if (!kReordersBesideImpliedEvidence && (choice == 4 || choice == 6) &&
        (AnyImpliedEvidence() || Val(h)->HasEvidence())) {
      return;
    }
    switch (choice) {
      case 9:
        if (!disc->HasOutcomeIds()) return;
        what = "RenameOutcome";
        status = disc->RenameOutcome(Uniform(0, n - 1), id.c_str());
        break;
      case 0:
        if (n >= kMaxOutcomes) return;
        what = "AddOutcome";
        status = disc->AddOutcome(id.c_str());
        break;
      case 1:
        if (n >= kMaxOutcomes) return;
        what = "InsertOutcome";
        status = disc->InsertOutcome(Uniform(0, n), id.c_str());
        break;
      case 2:
      case 3:
        what = "RemoveOutcome";
        status = disc->RemoveOutcome(Uniform(0, n - 1));
        break;
      case 4: {
        VRN_intArray order;
        std::vector<int> perm(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) perm[static_cast<size_t>(i)] = i;
        std::shuffle(perm.begin(), perm.end(), rng_);
        for (int i : perm) order.Add(i);
        what = "ChangeOrderOfOutcomes";
        status = disc->ChangeOrderOfOutcomes(order);
        break;
      }
      case 5: {
        const int count = Uniform(2, kMaxOutcomes);
        if (!kCountsGrownPastOpenEnds && GrowsPastOpenEnd(h, count)) return;
        what = "SetNumberOfOutcomes";
        status = disc->SetNumberOfOutcomes(count);
        break;
      }
      case 6: {
        if (!kOutcomesDroppedFromCanonicalNodes &&
            (Type(h) == qelta::kDefNoisyMax || Type(h) == qelta::kDefNoisyAdder)) {
          return;
        }
        // Keeps some old outcomes in a new order and adds new ones.
        VRN_stringArray ids;
        VRN_intArray mapping;
        const int count = Uniform(2, kMaxOutcomes);
        std::vector<int> old(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) old[static_cast<size_t>(i)] = i;
        std::shuffle(old.begin(), old.end(), rng_);
        for (int j = 0; j < count; ++j) {
          const bool keep = j < n && Chance(0.7);
          mapping.Add(keep ? old[static_cast<size_t>(j)] : -1);
          const std::string name = disc->HasOutcomeIds()
                                       ? "m" + std::to_string(++outcome_counter_)
                                       : "";
          (void)ids.Add(name.c_str());
        }
        what = "ChangeOrderOfOutcomesWithAddAndRemove";
        status = disc->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping);
        break;
      }
      case 7: {
        std::vector<double> bounds;
        double at = Uniform(-3, 3);
        for (int i = 0; i <= n; ++i) {
          bounds.push_back(at);
          at += 0.5 + Uniform(0, 3);
        }
        // Open ends.
        if (Chance(0.2)) bounds.front() = -HUGE_VAL;
        if (Chance(0.2)) bounds.back() = HUGE_VAL;
        const bool clear = kEmptyOutcomeIds && Chance(0.3);
        what = clear ? "SetIntervals(clear ids)" : "SetIntervals";
        status = disc->SetIntervals(bounds, clear);
        break;
      }
      case 8: {
        std::vector<double> points;
        for (int i = 0; i < n; ++i) points.push_back(Uniform(-5, 5));
        what = "SetPointValues";
        status = disc->SetPointValues(points);
        break;
      }
    }
    Note(what + "(" + Id(h) + ")", status);
    if (status != qelta::kOk) ExpectKept(h, before, what);
  }

  // Whether h's outcome count grows by two or more past an open upper end.
  bool GrowsPastOpenEnd(int h, int count) const {
    std::vector<double> bounds;
    return count >= Outcomes(h) + 2 &&
           static_cast<const VRN_discDef*>(Def(h))->GetIntervals(&bounds) == qelta::kOk &&
           std::isinf(bounds.back());
  }

  // What an outcome edit of h that answers an error leaves as it was: the
  // save (when the network saves), and, whether it saves or not, h's
  // outcomes, numbers and table, its children's tables, every temporal
  // table, its evidence and the cases' entries for it. The save and the
  // tables may also be as an automatic update of that state leaves them.
  struct Kept {
    std::string save;
    // With automatic updating on: the save after an update of a copy. A
    // refusal may come after the edit's guard opened, whose release
    // updates, and the solver keeps the decision-order arcs it adds.
    std::string updated;
    std::vector<std::string> ids;
    std::vector<double> numbers;
    std::vector<double> tables;
    // The tables that update of a copy leaves (an added arc is a new child).
    std::vector<double> updated_tables;
    std::vector<double> evidence;
    std::vector<double> cases;
  };

  // Dimensions, then items; a separator after each.
  static void AddTable(const VRN_matrix* m, std::vector<double>* out) {
    if (m != nullptr) {
      for (int d : m->GetDimensions()) out->push_back(d);
      out->insert(out->end(), m->GetItems().begin(), m->GetItems().end());
    }
    out->push_back(-1.0);
  }

  // h's table, its children's tables and every temporal table of net.
  static std::vector<double> TablesOf(VRN_network& net, int h) {
    std::vector<double> tables;
    const VRN_node* node = net.GetNode(h);
    AddTable(node->Definition()->GetMatrixConst(), &tables);
    for (int c : node->Children()) AddTable(net.GetNode(c)->Definition()->GetMatrixConst(), &tables);
    // The temporal part's copies of h feed those of its children and of its
    // temporal children.
    for (int p = net.GetFirstNode(); p >= 0; p = net.GetNextNode(p)) {
      VRN_intArray orders;
      (void)net.GetTemporalOrders(p, orders);
      for (int order : orders) {
        AddTable(net.GetNode(p)->Definition()->GetTemporalMatrix(order), &tables);
      }
    }
    return tables;
  }

  Kept Keep(int h) {
    Kept k;
    if (net_->WriteString(k.save, 0) != qelta::kOk) k.save.clear();
    if (net_->IsAutoUpdate()) {
      VRN_network copy(*net_);
      (void)copy.UpdateBeliefs();
      if (copy.WriteString(k.updated, 0) != qelta::kOk) k.updated.clear();
      k.updated_tables = TablesOf(copy, h);
    }
    const VRN_idArray* ids = Def(h)->GetOutcomesNames();
    for (int i = 0; ids != nullptr && i < ids->GetSize(); ++i) {
      k.ids.push_back(ids->Get(i) != nullptr ? ids->Get(i) : "");
    }
    if (const auto* disc = dynamic_cast<const VRN_discDef*>(Def(h))) {
      std::vector<double> numbers;
      if (disc->GetIntervals(&numbers) == qelta::kOk) {
        k.numbers.push_back(1.0);
      } else if (disc->GetPointValues(&numbers) == qelta::kOk) {
        k.numbers.push_back(2.0);
      }
      k.numbers.insert(k.numbers.end(), numbers.begin(), numbers.end());
    }
    k.tables = TablesOf(*net_, h);
    const VRN_nodeVal* value = Val(h);
    double x = 0.0;
    std::vector<double> soft;
    k.evidence.push_back(value->HasFlags(qelta::kValFlagEvidence) ? value->GetEvidence() : -1);
    if (value->GetContEvidence(&x) == qelta::kOk) k.evidence.push_back(x);
    k.evidence.push_back(-1.0);
    if (value->GetVirtualEvidence(&soft) == qelta::kOk) {
      k.evidence.insert(k.evidence.end(), soft.begin(), soft.end());
    }
    for (int slice = 1; Plate(h) && slice < net_->GetNumberOfSlices(); ++slice) {
      soft.clear();
      k.evidence.push_back(value->GetTemporalEvidence(slice));
      (void)value->GetTemporalVirtualEvidence(slice, &soft);
      k.evidence.insert(k.evidence.end(), soft.begin(), soft.end());
    }
    for (int i = 0; i < net_->GetNumberOfCases(); ++i) {
      const VRN_case* c = net_->GetCase(i);
      for (int e = 0; e < c->GetNumberOfEvidence(); ++e) {
        int node = -1;
        int outcome = -1;
        std::vector<std::pair<int, int>> slices;
        if (c->GetEvidenceNode(e) != h) continue;
        k.cases.push_back(i);
        if (c->GetEvidence(e, node, outcome) == qelta::kOk) k.cases.push_back(outcome);
        if (c->GetContEvidence(e, node, x) == qelta::kOk) k.cases.push_back(x);
        if (c->GetVirtualEvidence(e, node, soft) == qelta::kOk) {
          k.cases.insert(k.cases.end(), soft.begin(), soft.end());
        }
        if (c->GetTemporalEvidence(e, node, slices) == qelta::kOk) {
          for (const auto& slice : slices) {
            k.cases.push_back(slice.first);
            k.cases.push_back(slice.second);
          }
        }
      }
    }
    return k;
  }

  void ExpectKept(int h, const Kept& before, const std::string& what) {
    ++counts.refusals;
    const Kept after = Keep(h);
    std::string changed;
    if (!before.save.empty() && !after.save.empty() && before.save != after.save &&
        before.updated != after.save) {
      changed += " the save";
    }
    if (before.ids != after.ids) changed += " the outcomes";
    if (before.numbers != after.numbers) changed += " the intervals or point values";
    if (before.tables != after.tables &&
        (before.updated_tables.empty() || before.updated_tables != after.tables)) {
      changed += " the tables";
    }
    if (before.evidence != after.evidence) changed += " the evidence";
    if (before.cases != after.cases) changed += " the cases";
    if (!changed.empty()) Fail(what + "(" + Id(h) + ") was refused but changed" + changed);
  }

  // A case with an entry for h: an observed outcome, a number within its
  // intervals, likelihoods or outcomes in slices.
  void AddCase(int h) {
    VRN_case* c = net_->AddCase("c");
    if (c == nullptr) return;
    const int n = Outcomes(h);
    std::vector<double> bounds;
    const auto* disc = static_cast<const VRN_discDef*>(Def(h));
    int status = 0;
    switch (Uniform(0, 3)) {
      case 0:
        status = c->SetEvidence(h, Uniform(0, n - 1));
        break;
      case 1:
        if (disc->GetIntervals(&bounds) == qelta::kOk && std::isfinite(bounds.front()) &&
            std::isfinite(bounds.back())) {
          status = c->SetContEvidence(h, bounds.front() + Unit() * (bounds.back() - bounds.front()));
        } else {
          status = c->SetEvidence(h, Uniform(0, n - 1));
        }
        break;
      case 2:
        status = c->SetVirtualEvidence(h, Likelihoods(n));
        break;
      default:
        // No file holds a soft value that is not finite: refused, the case
        // is left as it was.
        if (c->SetVirtualEvidence(h, std::vector<double>(
                                         static_cast<size_t>(n), std::nan(""))) !=
            qelta::kErrInvalidValue) {
          Fail("a case took soft evidence that is not a number");
        }
        status = c->SetTemporalEvidence(h, Uniform(0, n - 1), Uniform(0, 2));
        break;
    }
    Note("AddCase(" + Id(h) + ")", status);
  }

  // Outcome edits meant to be refused, with a case that has an entry for
  // the node: a remapping that continues an old outcome twice or one beyond
  // the count, or names two new outcomes alike; outcomes added where an
  // open end leaves no interval to split; bad positions, indices, orders,
  // counts, bounds and point values; any edit of fixed outcomes. An edit
  // that is taken after all is an edit as any other.
  void RefusedOutcomeEdit() {
    edit_ = Edit::kOutcome;
    const int h = AnyDiscrete();
    if (h < 0 || dynamic_cast<VRN_discDef*>(Def(h)) == nullptr) return;
    auto* disc = static_cast<VRN_discDef*>(Def(h));
    AddCase(h);
    const int n = Outcomes(h);
    auto fresh_ids = [&](int count) {
      VRN_stringArray ids;
      for (int j = 0; j < count; ++j) (void)ids.Add(NewOutcomeId(h).c_str());
      return ids;
    };
    auto remap = [&](const VRN_stringArray& ids, const std::vector<int>& entries) {
      VRN_intArray mapping;
      for (int e : entries) mapping.Add(e);
      return disc->ChangeOrderOfOutcomesWithAddAndRemove(ids, mapping);
    };
    auto attempt = [&](const std::string& what, auto edit) {
      const Kept before = Keep(h);
      const int status = edit();
      Note(what + "(" + Id(h) + ")", status);
      if (status != qelta::kOk) ExpectKept(h, before, what);
      return status;
    };
    const std::string remapping = "ChangeOrderOfOutcomesWithAddAndRemove";
    switch (Uniform(0, 7)) {
      case 0: {
        // Old outcome 0 continued twice, or an old index past the count.
        std::vector<int> entries{0, Chance(0.5) ? 0 : n};
        if (Chance(0.5)) entries.push_back(-1);
        (void)attempt(remapping, [&] {
          return remap(fresh_ids(static_cast<int>(entries.size())), entries);
        });
        break;
      }
      case 1: {
        // Two new outcomes alike, or one id fewer than entries.
        VRN_stringArray ids = fresh_ids(2);
        if (disc->HasOutcomeIds() && Chance(0.5)) (void)ids.Add(ids.Get(0));
        (void)attempt(remapping, [&] { return remap(ids, {-1, 0, -1}); });
        break;
      }
      case 2:
      case 3: {
        // An open upper end: a second outcome added past it would split
        // the empty interval the first one left there.
        if (n > 3) break;
        std::vector<double> bounds;
        for (int i = 0; i <= n; ++i) bounds.push_back(i - 1.0);
        if (Chance(0.3)) bounds.front() = -HUGE_VAL;
        bounds.back() = HUGE_VAL;
        if (attempt("SetIntervals", [&] { return disc->SetIntervals(bounds, false); }) !=
            qelta::kOk) {
          break;
        }
        if (Uniform(0, 2) == 0) {
          if (!kCountsGrownPastOpenEnds) break;
          (void)attempt("SetNumberOfOutcomes",
                        [&] { return disc->SetNumberOfOutcomes(n + 2); });
          break;
        }
        std::vector<int> entries;
        std::vector<int> old(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) old[static_cast<size_t>(i)] = i;
        std::shuffle(old.begin(), old.end(), rng_);
        const int kept = Uniform(0, n);
        for (int i = 0; i < kept; ++i) entries.push_back(old[static_cast<size_t>(i)]);
        const int added = Uniform(2, 3);
        for (int i = 0; i < added; ++i) {
          entries.insert(entries.begin() + Uniform(0, static_cast<int>(entries.size())), -1);
        }
        (void)attempt(remapping, [&] {
          return remap(fresh_ids(static_cast<int>(entries.size())), entries);
        });
        break;
      }
      case 4:
        if (Chance(0.5)) {
          const int at = Chance(0.5) ? -1 : n + 1;
          (void)attempt("InsertOutcome",
                        [&] { return disc->InsertOutcome(at, NewOutcomeId(h).c_str()); });
        } else if (disc->HasOutcomeIds()) {
          const std::string taken = disc->GetOutcomesNames()->Get(Uniform(0, n - 1));
          if (Chance(0.5)) {
            (void)attempt("AddOutcome", [&] { return disc->AddOutcome(taken.c_str()); });
          } else {
            const int other = (disc->GetOutcomesNames()->FindString(taken.c_str()) + 1) % n;
            (void)attempt("RenameOutcome",
                          [&] { return disc->RenameOutcome(other, taken.c_str()); });
          }
        }
        break;
      case 5:
        if (n == 2 || Chance(0.5)) {
          (void)attempt("RemoveOutcome",
                        [&] { return disc->RemoveOutcome(n == 2 ? 0 : n); });
        } else {
          (void)attempt("SetNumberOfOutcomes", [&] { return disc->SetNumberOfOutcomes(1); });
        }
        break;
      case 6: {
        VRN_intArray order;
        for (int i = 0; i < n; ++i) order.Add(i == n - 1 ? 0 : i);
        if (Chance(0.3)) order.Add(n);
        (void)attempt("ChangeOrderOfOutcomes", [&] { return disc->ChangeOrderOfOutcomes(order); });
        break;
      }
      default: {
        std::vector<double> numbers;
        for (int i = 0; i <= n; ++i) numbers.push_back(i);
        const int variant = Uniform(0, 2);
        if (variant == 0) {
          // Decreasing, or three equal bounds in a row.
          std::swap(numbers[0], numbers[1]);
          if (n > 2 && Chance(0.5)) numbers = {0.0, 1.0, 1.0, 1.0};
          (void)attempt("SetIntervals", [&] { return disc->SetIntervals(numbers, false); });
        } else if (variant == 1) {
          // Cleared identifiers while a case observes an outcome, or of a
          // truth table.
          (void)attempt("SetIntervals(clear ids)",
                        [&] { return disc->SetIntervals(numbers, true); });
        } else {
          (void)attempt("SetPointValues", [&] { return disc->SetPointValues(numbers); });
        }
        break;
      }
    }
    // The case was there for the check only.
    if (net_->Cases() != nullptr) net_->Cases()->DeleteAllCases();
  }

  // A new node of h's kind and outcome count, with random parameters, whose
  // parents differ from h's though its parameter table may have the same
  // dimensions: a causal-independence node's parents have the same
  // outcomes in all, a qualitative node's are as many, any other's have
  // the same outcome counts in order. -1 when none is found.
  int NodeLike(int h) {
    if (net_->GetNumberOfNodes() > kMaxNodes) return -1;
    std::vector<int> parents(Node(h)->Parents().begin(), Node(h)->Parents().end());
    std::vector<int> pool;
    for (int g : Live()) {
      if (g != h && !IsAnchor(g) && Discrete(g) && Outcomes(g) >= 2) pool.push_back(g);
    }
    const int type = Type(h);
    const bool ci = type == qelta::kDefNoisyMax || type == qelta::kDefNoisyAdder;
    const bool qualitative = type == qelta::kDefCast || type == qelta::kDefDemorgan;
    int total = 0;
    for (int p : parents) total += Outcomes(p);
    std::vector<int> chosen;
    for (int attempt = 0; attempt < 20; ++attempt) {
      std::shuffle(pool.begin(), pool.end(), rng_);
      chosen.clear();
      int sum = 0;
      for (size_t i = 0; i < pool.size(); ++i) {
        const int g = pool[i];
        if (ci && sum + Outcomes(g) <= total) {
          chosen.push_back(g);
          sum += Outcomes(g);
        } else if (qualitative && chosen.size() < parents.size()) {
          chosen.push_back(g);
        }
      }
      for (size_t k = 0; !ci && !qualitative && k < parents.size(); ++k) {
        const auto fits = std::find_if(pool.begin(), pool.end(), [&](int g) {
          return Outcomes(g) == Outcomes(parents[k]) &&
                 std::find(chosen.begin(), chosen.end(), g) == chosen.end();
        });
        if (fits == pool.end()) break;
        chosen.push_back(*fits);
      }
      if ((!ci || sum == total) && chosen.size() >= (ci ? 1 : parents.size()) &&
          chosen != parents) {
        break;
      }
      chosen.clear();
    }
    if (chosen.empty()) return -1;
    const int t = AddNode(type);
    Note("AddNode(" + std::to_string(type) + ") " + Id(t), t);
    if (t < 0) return -1;
    if (Outcomes(t) != Outcomes(h)) {
      Note("SetNumberOfOutcomes(" + Id(t) + ")", Def(t)->SetNumberOfOutcomes(Outcomes(h)));
    }
    for (int g : chosen) Note("AddArc(" + Id(g) + ", " + Id(t) + ")", net_->AddArc(g, t));
    const std::vector<int> listed{t};
    Note("Randomize(" + Id(t) + ")", net_->RandomizeParameters(nullptr, &listed));
    return t;
  }

  // Parameters of one node copied into another of the same kind, most
  // often one whose parameter table has the same dimensions though its
  // parents differ, at times a new one made so. The copy serves nodes
  // whose parents match, so it may refuse: the target then keeps its
  // parameters. Either way the fresh network's oracle checks what the copy
  // left valid and what it computes.
  void CopyParameters() {
    edit_ = Edit::kTable;
    std::vector<std::pair<int, int>> same;
    std::vector<std::pair<int, int>> other;
    const int like = AnyNode([this](int g) {
      return Def(g)->GetMatrixConst() != nullptr && Node(g)->Parents().GetSize() > 0;
    });
    const int made = like >= 0 && Chance(0.5) ? NodeLike(like) : -1;
    for (int a : Live()) {
      for (int b : Live()) {
        if (a == b || IsAnchor(a) || IsAnchor(b) || Type(a) != Type(b) ||
            (made >= 0 && a != made && b != made)) {
          continue;
        }
        const VRN_matrix* x = Def(a)->GetMatrixConst();
        const VRN_matrix* y = Def(b)->GetMatrixConst();
        if (x == nullptr || y == nullptr) continue;
        (x->GetDimensions() == y->GetDimensions() ? same : other).emplace_back(a, b);
      }
    }
    if (same.empty() && other.empty()) return;
    const auto pair = Pick(!same.empty() && (other.empty() || Chance(0.8)) ? same : other);
    const VRN_matrix& from = *Def(pair.first)->GetMatrixConst();
    const std::vector<double> source(from.GetItems().begin(), from.GetItems().end());
    const VRN_matrix before = *Def(pair.second)->GetMatrixConst();
    const std::vector<double> own(before.GetItems().begin(), before.GetItems().end());
    ++counts.parameter_copies;
    Def(pair.first)->CopyParametersFrom(Def(pair.second));
    Note("CopyParametersFrom(" + Id(pair.first) + ", " + Id(pair.second) + ")", 0);
    const VRN_matrix* after = Def(pair.second)->GetMatrixConst();
    const std::vector<double> items(after->GetItems().begin(), after->GetItems().end());
    if (after->GetDimensions() != before.GetDimensions() || (items != source && items != own)) {
      Fail("the copy into " + Id(pair.second) + " left " + Describe(*after) +
           ", neither its own parameters " + Describe(before) + " nor " +
           Id(pair.first) + "'s");
    }
  }

  // ------------------------------------------------------------ equations
  // Nodes an equation may name: discrete nodes with outcomes and equation
  // nodes (the anchor aside).
  std::vector<int> EquationInputs(int h) {
    std::vector<int> out;
    for (int g : Live()) {
      if (g == h || IsAnchor(g)) continue;
      if (Equation(g) || (Discrete(g) && Outcomes(g) >= 2)) out.push_back(g);
    }
    return out;
  }

  std::string Term(const std::string& id) {
    switch (Uniform(0, 3)) {
      case 0:
        return id;
      case 1:
        return "f(" + id + ")";
      default:
        return std::to_string(Uniform(-3, 3)) + "*" + id;
    }
  }

  // A term on g, sometimes one whose literals name g's outcomes.
  std::string EquationTerm(int g) {
    const VRN_idArray* ids = Def(g)->GetOutcomesNames();
    if (!kOutcomeLiteralsInEquations || !Discrete(g) || ids == nullptr ||
        !static_cast<const VRN_discDef*>(Def(g))->HasOutcomeIds() || Chance(0.5)) {
      return Term(Id(g));
    }
    auto literal = [&] { return "\"" + std::string(ids->Get(Uniform(0, ids->GetSize() - 1))) + "\""; };
    auto number = [&] { return std::to_string(Uniform(-3, 3)); };
    if (Chance(0.5)) return "If(" + Id(g) + "=" + literal() + "," + number() + "," + number() + ")";
    return "Switch(" + Id(g) + "," + literal() + "," + number() + "," + literal() + "," +
           number() + "," + number() + ")";
  }

  void SetEquation(int h) {
    edit_ = Edit::kEquation;
    std::vector<int> inputs = EquationInputs(h);
    std::shuffle(inputs.begin(), inputs.end(), rng_);
    std::string text = Id(h) + "=" + std::to_string(Uniform(-2, 2));
    const int count =
        std::min<int>(Uniform(reordering_ ? 1 : 0, 2), static_cast<int>(inputs.size()));
    for (int i = 0; i < count; ++i) text += "+" + EquationTerm(inputs[static_cast<size_t>(i)]);
    auto* eq = static_cast<VRN_equation*>(Def(h));
    Note("SetEquation(" + text + ")", eq->SetEquation(text.c_str(), nullptr, nullptr));
  }

  // A lower bound, sometimes minus infinity.
  double Lower() {
    return Chance(0.2) ? -HUGE_VAL : static_cast<double>(Uniform(-6, 0));
  }
  double Upper(double above) {
    return Chance(0.2) ? HUGE_VAL : above + 1.0 + Uniform(0, 6);
  }

  void Equations() {
    edit_ = Edit::kEquation;
    const int h = AnyNode([this](int n) { return Equation(n); });
    if (h < 0 || Chance(0.1)) {
      Functions();
      return;
    }
    auto* eq = static_cast<VRN_equation*>(Def(h));
    switch (Uniform(0, 5)) {
      case 0:
      case 1:
        SetEquation(h);
        break;
      case 2: {
        double lower = Lower();
        double upper = Upper(std::isfinite(lower) ? lower : 0.0);
        std::vector<double> edges;
        eq->GetIntervalEdges(&edges);
        if (!kBoundsAcrossIntervalBoundaries && edges.size() > 2) {
          lower = std::min(lower, edges[1] - 1.0);
          upper = std::max(upper, edges[edges.size() - 2] + 1.0);
        }
        Note("SetBounds(" + Id(h) + ", " + std::to_string(lower) + ", " +
                 std::to_string(upper) + ")",
             eq->SetBounds(lower, upper));
        break;
      }
      case 3: {
        std::vector<VRN_discInterval> intervals;
        const double lower = Lower();
        double at = std::isfinite(lower) ? lower : -3.0;
        const int count = Uniform(2, kMaxOutcomes);
        for (int i = 0; i < count; ++i) {
          at += 0.5 + Uniform(0, 2);
          intervals.push_back({"i" + std::to_string(++outcome_counter_), at});
        }
        const double upper = Chance(0.3) ? HUGE_VAL : at;
        Note("SetDiscIntervals(" + Id(h) + ", " + std::to_string(count) + ")",
             eq->SetDiscIntervals(lower, upper, intervals));
        break;
      }
      case 4: {
        double lower = 0.0;
        double upper = 0.0;
        eq->GetBounds(&lower, &upper);
        if (!std::isfinite(lower)) lower = -4.0;
        if (!std::isfinite(upper)) upper = lower + 8.0;
        const double x = lower + Unit() * (upper - lower);
        Note("SetContEvidence(" + Id(h) + ", " + std::to_string(x) + ")",
             Val(h)->SetContEvidence(x));
        break;
      }
      default:
        Note("ClearEvidence(" + Id(h) + ")", Val(h)->ClearEvidence());
        break;
    }
  }

  // Replaces the user function f that equations and expressions may call.
  void Functions() {
    edit_ = Edit::kFunctions;
    if (!kUserFunctionsUnderEquations) {
      for (int h : Live()) {
        std::string text;
        if (Equation(h)) static_cast<VRN_equation*>(Def(h))->GetEquationText(&text);
        if (text.find("f(") != std::string::npos) return;
      }
    }
    const char* bodies[] = {"f(x)=x*2", "f(x)=x*x-1", "f(x)=3-x", "f(x)=x/2+1"};
    int index = 0;
    int position = 0;
    std::string message;
    const std::string body = bodies[Uniform(0, 3)];
    Note("SetExtFunctions(" + body + ")",
         net_->SetExtFunctions({body}, index, position, message));
  }

  // Expressions for a multi-attribute utility node (h, or any), or back to
  // weights.
  void Mau(int h) {
    edit_ = Edit::kMau;
    if (h < 0) h = AnyNode([this](int n) { return Type(n) == qelta::kDefMau; });
    if (h < 0) return;
    auto* mau = static_cast<VRN_mau*>(Def(h));
    std::string error;
    if (Chance(0.15)) {
      Note("SetExpressions(" + Id(h) + ", weights)", mau->SetExpressions({}, &error));
      return;
    }
    std::vector<int> utilities;
    for (int g : Live()) {
      if (g != h && (Type(g) & qelta::kDefBitUtility) != 0 &&
          (kMauExpressionsAcrossTemporalTypes || TemporalTypesAllowArc(g, h))) {
        utilities.push_back(g);
      }
    }
    VRN_mauExpressions defaults;
    mau->MakeDefaultExpressions(&defaults);
    std::vector<std::string> texts;
    for (int slot = 0; slot < defaults.GetSlotCount(); ++slot) {
      std::string text = std::to_string(Uniform(-3, 3));
      for (int g : utilities) {
        if (Chance(0.6)) text += "+" + Term(Id(g));
      }
      texts.push_back(text);
    }
    Note("SetExpressions(" + Id(h) + ", " + Join(texts) + ")",
         mau->SetExpressions(texts, &error));
  }

  std::vector<double> Likelihoods(int n) {
    std::vector<double> out(static_cast<size_t>(n));
    double sum = 0.0;
    for (double& v : out) {
      v = Chance(0.2) ? 0.0 : Unit();
      sum += v;
    }
    if (sum == 0.0) out[0] = 0.5;
    return out;
  }

  void Evidence() {
    edit_ = Edit::kEvidence;
    const bool full = FullyOn();
    if (!kEditsBesideImpliedEvidenceWithBookkeepingOff && !full) {
      // Only clearing everything leaves no implied evidence behind.
      Note("ClearAllEvidence", net_->ClearAllEvidence());
      return;
    }
    const int h = AnyDiscrete();
    if (h < 0) return;
    evidence_node_ = h;
    VRN_nodeVal* value = Val(h);
    const int n = Outcomes(h);
    int status = 0;
    std::string what;
    const int choice = implying_ && Chance(0.5) ? 0 : Uniform(0, 9);  // observed often
    if (choice < 4) {
      what = "SetEvidence";
      status = value->SetEvidence(Uniform(0, n - 1));
    } else if (choice < 5) {
      const auto* disc = static_cast<const VRN_discDef*>(Def(h));
      std::vector<double> bounds;
      if (disc->GetIntervals(&bounds) != qelta::kOk) return;
      const double x = bounds.front() +
                       Unit() * (bounds.back() - bounds.front());
      what = "SetContEvidence";
      status = value->SetContEvidence(x);
    } else if (choice < 6) {
      what = "SetVirtualEvidence";
      status = value->SetVirtualEvidence(Likelihoods(n));
    } else if (choice < 8) {
      what = "ClearEvidence";
      status = value->ClearEvidence();
    } else if (choice < 9 || !Plate(h) || net_->Dbn() == nullptr) {
      what = "ClearAllEvidence";
      status = net_->ClearAllEvidence();
    } else {
      const int slices = net_->GetNumberOfSlices();
      const int slice = Uniform(0, std::max(0, slices - 1));
      switch (Uniform(0, 2)) {
        case 0:
          what = "SetTemporalEvidence(" + std::to_string(slice) + ")";
          status = value->SetTemporalEvidence(slice, Uniform(0, n - 1));
          break;
        case 1:
          what = "SetTemporalVirtualEvidence(" + std::to_string(slice) + ")";
          status = value->SetTemporalVirtualEvidence(slice, Likelihoods(n));
          break;
        default:
          what = "ClearTemporalEvidence(" + std::to_string(slice) + ")";
          status = value->ClearTemporalEvidence(slice);
          break;
      }
    }
    Note(what + "(" + Id(h) + ")", status);
    // Until evidence is entered again with the bookkeeping on, the implied
    // evidence may hold what the refused evidence entered.
    if (status == qelta::kErrEvidenceConflict) {
      conflict_ = true;
    } else if (status == qelta::kOk && FullyOn()) {
      conflict_ = false;
    }
  }

  void Targets() {
    edit_ = Edit::kTarget;
    if (Chance(0.15)) {
      Note("ClearAllTargets", net_->ClearAllTargets());
      return;
    }
    const int h = AnyNode();
    if (h < 0) return;
    const bool on = !Node(h)->IsTarget();
    Note(std::string(on ? "SetTarget(" : "ClearTarget(") + Id(h) + ")",
         net_->SetTarget(h, on));
  }

  void AddTemporalArc() {
    edit_ = Edit::kTemporal;
    const int p = AnyNode([this](int h) { return Plate(h); });
    const int c = AnyNode([this](int h) {
      return Plate(h) &&
             (kTypeChangesOnTemporalArcs || !VRN_nodeDef::IsLazyType(Type(h)));
    });
    if (p < 0 || c < 0) return;
    const int order = Uniform(1, 2);
    Note("AddTemporalArc(" + Id(p) + ", " + Id(c) + ", " +
             std::to_string(order) + ")",
         net_->AddTemporalArc(p, c, order));
  }

  void Temporal() {
    edit_ = Edit::kTemporal;
    switch (Uniform(0, 4)) {
      case 0:
        AddTemporalArc();
        break;
      case 1: {
        const int c = AnyNode([this](int h) { return InTemporalArc(h); });
        if (c < 0) return;
        VRN_intArray orders;
        (void)net_->Dbn()->GetTemporalOrders(c, orders);
        if (orders.GetSize() == 0) return;
        const int order = orders[Uniform(0, orders.GetSize() - 1)];
        VRN_intArray parents;
        (void)net_->Dbn()->GetTemporalParents(c, order, parents);
        if (parents.GetSize() == 0) return;
        const int p = parents[Uniform(0, parents.GetSize() - 1)];
        Note("RemoveTemporalArc(" + Id(p) + ", " + Id(c) + ", " +
                 std::to_string(order) + ")",
             net_->RemoveTemporalArc(p, c, order));
        break;
      }
      case 2: {
        const int h = AnyNode();
        if (h < 0) return;
        if (!kTypeChangesOnTemporalArcs && InTemporalArc(h)) return;
        const int type = Uniform(0, 3);
        Note("setNodeTemporalType(" + Id(h) + ", " + std::to_string(type) + ")",
             net_->setNodeTemporalType(h, type));
        break;
      }
      case 3: {
        int count = Uniform(1, MaxSlices());
        // Across one slice right after an update, where outcomes are
        // implied (a terminal node's often made so first): a terminal
        // node's implied outcome comes or goes, and the values read before
        // the next update show what stays valid.
        if (Chance(0.5) && (ImplyTerminal() || AnyImpliedEvidence())) {
          UpdateAndCheck();
          if (failed_) return;
          edit_ = Edit::kTemporal;
          count = net_->GetNumberOfSlices() > 1 ? 1 : Uniform(2, MaxSlices());
        }
        Note("SetNumberOfSlices(" + std::to_string(count) + ")",
             net_->SetNumberOfSlices(count));
        break;
      }
      default:
        Evidence();
        break;
    }
  }

  // With one slice, a terminal node whose parents are observed and whose
  // table is deterministic has an implied outcome. False without a node
  // to make so.
  bool ImplyTerminal() {
    const int t = AnyNode([this](int h) {
      return Type(h) == qelta::kDefCpt && Node(h)->Children().GetSize() == 0 &&
             Node(h)->Parents().GetSize() > 0 && !InTemporalArc(h);
    });
    if (t < 0) return false;
    Note("setNodeTemporalType(" + Id(t) + ", 2)",
         net_->setNodeTemporalType(t, qelta::kTemporalTerminal));
    const VRN_intArray parents = Node(t)->Parents();
    for (int p : parents) {
      if (!Discrete(p) || Val(p)->HasEvidence()) continue;
      const int status = Val(p)->SetEvidence(Uniform(0, Outcomes(p) - 1));
      Note("SetEvidence(" + Id(p) + ")", status);
      if (status == qelta::kErrEvidenceConflict) conflict_ = true;
    }
    const size_t n = static_cast<size_t>(Outcomes(t));
    std::vector<double> items(
        static_cast<size_t>(Def(t)->GetMatrixConst()->GetItemCount()), 0.0);
    for (size_t at = 0; at + n <= items.size(); at += n) {
      items[at + static_cast<size_t>(Uniform(0, static_cast<int>(n) - 1))] = 1.0;
    }
    Note("table(" + Id(t) + ")", Def(t)->SetDefinitionFromVector(items));
    Note("SetNumberOfSlices(1)", net_->SetNumberOfSlices(1));
    return true;
  }

  // Every plate node's temporal parents and tables, by order.
  std::string TemporalText() {
    std::ostringstream out;
    for (int h : Live()) {
      VRN_intArray orders;
      if (!Plate(h) || net_->Dbn()->GetTemporalOrders(h, orders) != qelta::kOk) continue;
      for (int order : orders) {
        VRN_intArray parents;
        (void)net_->Dbn()->GetTemporalParents(h, order, parents);
        out << Id(h) << " " << order << ":";
        for (int p : parents) out << " " << Id(p);
        const VRN_matrix* m = Def(h)->GetTemporalMatrix(order);
        if (m == nullptr) m = Def(h)->GetTemporalExpandedDefinition(order);
        if (m != nullptr) {
          for (int d : m->GetDimensions()) out << " [" << d << "]";
          for (double x : m->GetItems()) out << " " << x;
        }
        out << "\n";
      }
    }
    return out.str();
  }

  // An arc from an equation whose range of one point no proxy can take,
  // into a plate node with temporal definitions: the temporal part refuses
  // it. The equation goes again, and the draws come from a stream of their
  // own, so that the other edits of a seed stay as they were.
  void RefusedArcIntoPlate() {
    if (flavour_ != Flavour::kDynamic || net_->Dbn() == nullptr ||
        std::uniform_real_distribution<double>(0, 1)(arcs_) >= 0.15) {
      return;
    }
    std::vector<int> children;
    for (int h : Live()) {
      if (Plate(h) && net_->Dbn()->GetMaxNodeTemporalOrder(h) > 0) children.push_back(h);
    }
    if (children.empty()) return;
    const int c = children[std::uniform_int_distribution<size_t>(0, children.size() - 1)(arcs_)];
    const int e = net_->AddNode(qelta::kDefEquation, "RefusedArcSource");
    if (e < 0) return;
    auto* eq = static_cast<VRN_equation*>(Def(e));
    (void)eq->SetEquation("RefusedArcSource=Normal(3,1)", nullptr, nullptr);
    (void)eq->SetDiscIntervals(-5, -5, {});
    (void)eq->SetBounds(-5, -5);
    (void)eq->GetDiscreteOutcomeCount();
    const std::string temporal = TemporalText();
    std::string before;
    std::string after;
    const bool saved = net_->WriteString(before, 0) == qelta::kOk;
    const int status = net_->AddArc(e, c);
    Note("AddArc(" + Id(e) + ", " + Id(c) + ")", status);
    if (status != qelta::kOk) {
      ++refused_plate_arcs;
      if (TemporalText() != temporal) {
        Fail("the refused arc changed the temporal definitions:\n" + temporal +
             "now\n" + TemporalText());
      } else if (saved && (net_->WriteString(after, 0) != qelta::kOk || after != before)) {
        Fail("the refused arc changed the save:\n" + before + "now\n" + after);
      }
    }
    Note("DeleteNode(" + Id(e) + ")", net_->DeleteNode(e));
  }

  // What no reader takes back, made on a copy that saves: a soft vector an
  // outcome edit left stale while cases were frozen, a node name XML
  // cannot carry, an at-sign identifier. Each save is refused, naming it.
  void UnwritableOnCopy() {
    const auto refused = [&](VRN_network& copy, const std::string& named) {
      std::string text;
      if (copy.WriteString(text, 0) != qelta::kErrFileIo ||
          LastMessage(copy).find(named) == std::string::npos) {
        Fail("a save that cannot read back was not refused (" + named +
             "): " + LastMessage(copy));
      }
    };
    for (int h : Live()) {
      auto* disc = dynamic_cast<VRN_discDef*>(Def(h));
      if (disc == nullptr || disc->AreOutcomesFixed()) continue;
      VRN_network copy(*net_);
      copy.EnableCaseUpdates(false);
      VRN_case* c = copy.AddCase("stale");
      const std::vector<double> soft(static_cast<size_t>(Outcomes(h)), 1.0);
      if (c == nullptr || c->SetVirtualEvidence(h, soft) != 0) break;
      auto* def = copy.GetNode(h)->Definition();
      if (def->InsertOutcome(0, "StaleAdded") != 0 && def->RemoveOutcome(0) != 0) break;
      // An earlier case's entry for h may be the one refused first.
      refused(copy, "node '" + Id(h) + "'");
      break;
    }
    VRN_network copy(*net_);
    const int at = copy.AddNode(qelta::kDefCpt, "@9x");
    refused(copy, "Node '@9x' cannot be written to the XML file");
    (void)copy.DeleteNode(at);
    const std::vector<int> live = Live();
    if (live.empty()) return;
    (void)copy.GetNode(live[0])->Header().SetName("x\xEF\xBF\xBEy");
    refused(copy, "Node '" + Id(live[0]) + "' cannot be written: its name");
  }

  void CopyOrSave() {
    edit_ = Edit::kCopy;
    const int choice = Uniform(0, 3);
    if (choice == 0) {
      auto copy = std::make_unique<VRN_network>(*net_);
      // A copy brings stale implied evidence up to date at once; the
      // original does so before its next reader, which this stands for.
      net_->RefreshImpliedEvidence();
      for (int h : Live()) {
        VRN_nodeVal* a = Val(h);
        VRN_nodeVal* b = copy->GetNode(h)->Value();
        if (a->GetFlags() != b->GetFlags() ||
            !SameItems(a->GetValue(), b->GetValue())) {
          Fail("the copy's value of " + Id(h) + " differs");
          return;
        }
      }
      net_ = std::move(copy);
      Note("copy", 0);
      return;
    }
    std::string text;
    const int written = net_->WriteString(text, 0);
    Note("WriteString", written);
    if (written != qelta::kOk) {
      Fail("the network refuses to save");
      return;
    }
    UnwritableOnCopy();
    if (choice == 1) {
      // The network itself reads its save: no evidence, every value new.
      const int read = net_->ReadString(text.c_str(), 0);
      net_->SetRandSeed(seed_ + 1);
      Note("ReadString into itself", read);
      if (read != qelta::kOk) {
        Fail("the save does not read back: " + LastMessage(*net_));
      }
      // A save without plate nodes holds no temporal part; the next plate
      // node would bring the default slice count.
      if (diagram_ && net_->Dbn() == nullptr) {
        Note("SetNumberOfSlices(" + std::to_string(MaxSlices()) + ")",
             net_->SetNumberOfSlices(MaxSlices()));
      }
      untrusted_.assign(static_cast<size_t>(net_->GetSlotCount()), 0);
      return;
    }
    VRN_network other;
    const int read = other.ReadString(text.c_str(), 0);
    if (read != qelta::kOk) {
      Fail("the save does not read back: " + LastMessage(other));
    } else if (other.GetNumberOfNodes() != net_->GetNumberOfNodes()) {
      Fail("the save reads back with another node count");
    }
  }

  // ------------------------------------------------------------ checking
  // Enters the network's evidence into fresh (handles by identifier), one
  // node at a time in order_ (handle order when empty). Evidence that later
  // edits made impossible here, or that this order makes conflict with
  // implied evidence, is forced in with the bookkeeping off, as it stands
  // here; without force, false instead.
  bool Replay(VRN_network& fresh, bool force = true) {
    // Implied evidence follows this network's switch.
    fresh.SetFlags((fresh.GetFlags() & ~qelta::kNetEvidencePropagation) |
                   (net_->GetFlags() & qelta::kNetEvidencePropagation));
    bool forced = false;
    for (int h : order_.empty() ? Live() : order_) {
      const int g = fresh.FindNode(Node(h)->GetId());
      if (g < 0) {
        Fail("the save lost node " + Id(h));
        return false;
      }
      VRN_nodeVal* from = Val(h);
      VRN_nodeVal* to = fresh.GetNode(g)->Value();
      auto enter = [&](auto set) {
        int status = set();
        if (status != qelta::kOk && !force) return false;
        if (status != qelta::kOk) {
          forced = true;
          fresh.SetRelevanceReasoning(false);
          if (to->HasFlags(qelta::kValFlagPropagated)) {
            (void)to->ClearPropagatedEvidence();
          }
          status = set();
          fresh.SetRelevanceReasoning(true);
        }
        if (status != qelta::kOk) {
          Fail("a fresh network refuses the evidence of " + Id(h) + " (" +
               std::to_string(status) + ")");
        }
        return status == qelta::kOk;
      };
      double x = 0.0;
      std::vector<double> soft;
      if (Equation(h) && from->HasFlags(qelta::kValFlagEvidence)) {
        if (from->GetContEvidence(&x) != qelta::kOk) {
          Fail("the observed equation node " + Id(h) + " has no number");
          return false;
        }
        if (!enter([&] { return to->SetContEvidence(x); })) return false;
      } else if (from->HasFlags(qelta::kValFlagEvidence)) {
        const bool numeric = from->GetContEvidence(&x) == qelta::kOk;
        const int outcome = from->GetEvidence();
        // A numeric observation keeps its number when the intervals or the
        // outcome order change later: the outcome is what counts.
        // (A canonical node's intervals are not saved.)
        const auto* disc =
            dynamic_cast<const VRN_discDef*>(fresh.GetNode(g)->Definition());
        const bool fits = numeric && disc != nullptr &&
                          disc->GetIntervalIndex(x) == outcome;
        if (!enter([&] {
              return fits ? to->SetContEvidence(x) : to->SetEvidence(outcome);
            })) {
          return false;
        }
      } else if (from->GetVirtualEvidence(&soft) == qelta::kOk) {
        if (!enter([&] { return to->SetVirtualEvidence(soft); })) return false;
      }
      if (!Plate(h) || net_->Dbn() == nullptr) continue;
      for (int s = 1; s < net_->GetNumberOfSlices(); ++s) {
        const int outcome = from->GetTemporalEvidence(s);
        bool ok = true;
        if (outcome >= 0) {
          ok = enter([&] { return to->SetTemporalEvidence(s, outcome); });
        } else if (from->GetTemporalVirtualEvidence(s, &soft) == qelta::kOk) {
          ok = enter([&] { return to->SetTemporalVirtualEvidence(s, soft); });
        }
        if (!ok) return false;
      }
    }
    replay_forced_ = forced;
    // Implied evidence entered before evidence forced in may contradict
    // it: all of it is built again from what is observed now.
    if (forced) {
      const std::vector<int>& evidence = fresh.EvidenceNodes();
      if (!evidence.empty()) {
        (void)fresh.OnEvidenceChange(evidence.front(), qelta::kChangeTable);
      }
    }
    (void)fresh.SetDefaultBNAlgorithm(net_->GetDefaultBNAlgorithm());
    (void)fresh.SetDefaultIDAlgorithm(net_->GetDefaultIDAlgorithm());
    return true;
  }

  // The implied outcomes of net, by identifier.
  static std::vector<std::pair<std::string, int>> ImpliedIds(VRN_network& net) {
    std::vector<std::pair<std::string, int>> out;
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      const VRN_nodeVal* value = net.GetNode(h)->Value();
      if (value->HasFlags(qelta::kValFlagPropagated)) {
        out.emplace_back(net.GetNode(h)->GetId(), value->GetEvidence());
      }
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  // Each observation implies outcomes from its own node only, through the
  // evidence already present, so the implied evidence depends on the order
  // the observations went in; deriving it again takes them in handle order.
  // When fresh, which took them in handle order, implies other outcomes
  // than this network does, order_ becomes the first order of the
  // observations that gives this network's (none: the difference shows).
  void FollowEntryOrder(const std::string& text, VRN_network& fresh) {
    const auto implied = ImpliedIds(*net_);
    if (!net_->IsRelevanceReasoning() || net_->IsImpliedEvidenceStale() ||
        ImpliedIds(fresh) == implied) {
      return;
    }
    std::vector<int> observed;
    std::vector<int> order;
    for (int h : Live()) {
      (Val(h)->HasFlags(qelta::kValFlagEvidence) ? observed : order).push_back(h);
    }
    if (observed.size() > 6) return;
    order.insert(order.end(), observed.begin(), observed.end());
    while (std::next_permutation(order.end() - static_cast<long>(observed.size()),
                                 order.end())) {
      VRN_network other;
      order_ = order;
      if (other.ReadString(text.c_str(), 0) == qelta::kOk && Replay(other, false) &&
          ImpliedIds(other) == implied) {
        return;
      }
    }
    order_.clear();
  }

  std::vector<std::string> IndexingIds(const VRN_network& net,
                                       const VRN_nodeVal& value) const {
    std::vector<std::string> ids;
    for (int h : value.GetIndexingParents()) {
      VRN_node* node = net.GetNode(h);
      ids.push_back(node != nullptr ? node->GetId() : "?");
    }
    return ids;
  }

  void UpdateAndCheck() {
    if (!Affordable()) return;
    edit_ = Edit::kNone;
    const std::vector<int> live = Live();
    for (int h : live) {
      if (Val(h)->IsValueValid()) Val(h)->SetUpdateTag(1);
    }
    const int status = net_->UpdateBeliefs();
    Note("UpdateBeliefs", status);
    ++counts.updates;
    if (status != qelta::kOk) ++counts.failed_updates;
    if (status == qelta::kOk && !ValidRowsAreDistributions()) return;
    if (status == qelta::kOk && !MatchesUnrolledUpdate()) return;
    if (DecisionOrderAssumed()) return;
    untrusted_.resize(static_cast<size_t>(net_->GetSlotCount()), 0);
    if (!kImpliedEvidenceOfRefusedEvidence && conflict_) return;

    std::string text;
    const bool saved = Save(&text);
    order_.clear();
    // The fresh network has the same targets, so the same values to
    // compute; the values kept here are compared with one without targets,
    // which computes them all.
    int fresh_status = 0;
    std::unique_ptr<VRN_network> fresh = MakeFresh(saved, text, false, &fresh_status);
    if (fresh == nullptr) return;
    // Evidence of probability 0: what the updates give is not compared.
    if (impossible_) {
      RepeatedUpdateAgrees(status);
      return;
    }
    if (fresh_status != status) {
      Fail("the update answers " + std::to_string(status) +
           ", a fresh network's " + std::to_string(fresh_status));
      return;
    }
    std::unique_ptr<VRN_network> whole;
    int whole_status = fresh_status;
    if (fresh->GetNumberOfTargets() > 0) {
      whole = MakeFresh(saved, text, true, &whole_status);
      if (whole == nullptr) return;
    }
    for (int h : Live()) {
      VRN_nodeVal* value = Val(h);
      const char* id = Node(h)->GetId();
      if (!value->IsValueValid()) {
        untrusted_[h] = 0;
        // An update that succeeds leaves an observed node valid, as in a
        // fresh network.
        if (status == qelta::kOk && value->HasFlags(qelta::kValFlagEvidence) &&
            fresh->GetNode(fresh->FindNode(id))->Value()->IsValueValid()) {
          Fail("the observed node " + Id(h) + " is invalid after the update");
          return;
        }
        continue;
      }
      const bool computed = value->GetUpdateTag() == 0;
      ++(computed ? counts.computed : counts.kept);
      untrusted_[h] = 0;
      VRN_network* reference = fresh.get();
      bool ok = status == qelta::kOk;
      VRN_nodeVal* other = fresh->GetNode(fresh->FindNode(id))->Value();
      if (!other->IsValueValid() && whole != nullptr) {
        reference = whole.get();
        ok = ok && whole_status == qelta::kOk;
        other = whole->GetNode(whole->FindNode(id))->Value();
      }
      if (!Same(h, *reference, ok, computed ? "computed" : "kept", text)) return;
    }
  }

  // Every row of a valid belief value is a distribution, or undefined
  // throughout (a scenario that cannot occur).
  bool ValidRowsAreDistributions() {
    for (int h : Live()) {
      const VRN_nodeVal* value = Val(h);
      if (!value->IsValueValid() || value->GetType() != qelta::kValBeliefVector) continue;
      const VRN_matrix& m = value->GetValue();
      const int n = m.GetDimensionCount() > 0 ? m.GetSize(m.GetDimensionCount() - 1) : 0;
      for (int row = 0; n > 0 && row < m.GetItemCount(); row += n) {
        double sum = 0.0;
        int undefined = 0;
        bool bounded = true;
        for (int k = row; k < row + n; ++k) {
          const double x = m.GetItem(k);
          undefined += x == qelta::kUndefinedValue ? 1 : 0;
          bounded = bounded && x >= -kTolerance && x <= 1.0 + kTolerance;
          sum += x;
        }
        if (undefined == n || (undefined == 0 && bounded && std::fabs(sum - 1.0) <= 1e-6)) {
          continue;
        }
        Fail("the valid value of " + Id(h) + " has a row that is not a distribution: " +
             Describe(m));
        return false;
      }
    }
    return true;
  }

  // Under evidence of probability 0, a second exact update of the unchanged
  // network leaves every value as the first did: nothing valid may follow
  // the history of updates.
  void RepeatedUpdateAgrees(int status) {
    for (int h : Live()) {
      if (Type(h) == qelta::kDefEquation) return;  // sampled
    }
    std::vector<std::pair<bool, VRN_matrix>> first;
    for (int h : Live()) first.emplace_back(Val(h)->IsValueValid(), Val(h)->GetValue());
    const int again = net_->UpdateBeliefs();
    Note("UpdateBeliefs again", again);
    if (again != status) {
      Fail("a second update answers " + std::to_string(again) + ", the first " +
           std::to_string(status));
      return;
    }
    size_t i = 0;
    for (int h : Live()) {
      const auto& [valid, items] = first[i++];
      const VRN_nodeVal* value = Val(h);
      if (value->IsValueValid() == valid && (!valid || SameItems(items, value->GetValue()))) {
        continue;
      }
      Fail("a second update leaves " + Id(h) + " " + (value->IsValueValid() ? "valid " : "") +
           Describe(value->GetValue()) + ", the first " + (valid ? "valid " : "") +
           Describe(items));
      return;
    }
  }

  // A dynamic network with decision or utility nodes, right after an update
  // that succeeded, against the unrolled network's own update. A node
  // outside the plate holds the unrolled result, with the same indexing
  // parents, when those are all nodes outside the plate; it is not valid
  // otherwise. A plate node holds one row per slice copy: the copy's point
  // mass when it has evidence, else its beliefs; it is not valid when a
  // copy without evidence is not valid or is indexed by anything. False
  // after a failure.
  bool MatchesUnrolledUpdate() {
    bool dynamic = false;
    bool decisions = false;
    for (int h : Live()) {
      dynamic = dynamic || Plate(h);
      decisions = decisions ||
                  (Type(h) & (qelta::kDefBitDecision | qelta::kDefBitUtility)) != 0;
    }
    if (!dynamic || !decisions) return true;
    ++counts.unrolled_checks;
    VRN_network unrolled;
    std::vector<int> map;
    if (net_->UnrollNetwork(unrolled, map) != qelta::kOk) {
      Fail("the network does not unroll after its update");
      return false;
    }
    // Evidence of probability 0: compared no more than with a fresh network.
    if (ImpossibleEvidence(unrolled)) return true;
    const int status = unrolled.UpdateBeliefs();
    if (status != qelta::kOk) {
      Fail("the unrolled network's own update answers " + std::to_string(status));
      return false;
    }
    const int slices = net_->GetNumberOfSlices();
    const auto plates = map.begin() + static_cast<long>(map.size()) / slices;
    for (int h : Live()) {
      bool valid = true;
      std::vector<std::string> ids;
      VRN_matrix want;
      if (!Plate(h)) {
        const VRN_nodeVal* own = unrolled.GetNode(h)->Value();
        valid = own->IsValueValid();
        for (int p : own->GetIndexingParents()) {
          valid = valid && Node(p) != nullptr && !Plate(p);
        }
        if (valid) {
          want = own->GetValue();
          ids = IndexingIds(unrolled, *own);
        }
      } else {
        const size_t count = static_cast<size_t>(plates - map.begin());
        const size_t i = static_cast<size_t>(std::find(map.begin(), plates, h) - map.begin());
        const int n = Outcomes(h);
        std::vector<double> rows;
        for (size_t c = i; valid && c < map.size(); c += count) {
          const VRN_nodeVal* copy = unrolled.GetNode(map[c])->Value();
          const int e = copy->HasEvidence() ? copy->GetEvidence() : -1;
          const VRN_matrix& m = copy->GetValue();
          for (int o = 0; o < n; ++o) {
            if (e >= 0) {
              rows.push_back(o == e ? 1.0 : 0.0);
            } else {
              valid = valid && copy->IsValueValid() &&
                      copy->GetIndexingParents().IsEmpty() && o < m.GetItemCount();
              rows.push_back(valid ? m.GetItem(o) : 0.0);
            }
          }
        }
        VRN_intArray sizes;
        sizes.Add(slices);
        sizes.Add(n);
        valid = valid && n >= 1 && want.SetDimensions(sizes) == qelta::kOk &&
                want.SetItemsFromVector(rows) == qelta::kOk;
      }
      const VRN_nodeVal* value = Val(h);
      if (value->IsValueValid() != valid) {
        Fail("the value of " + Id(h) + " is " +
             (valid ? "not valid" : "valid: " + Describe(value->GetValue())) +
             ", by the unrolled network's update it is " +
             (valid ? Describe(want) : "not"));
        return false;
      }
      if (!valid) {
        ++counts.unrolled_invalid;
        continue;
      }
      if (!ids.empty()) ++counts.unrolled_indexed;
      if (IndexingIds(*net_, *value) != ids || !SameItems(value->GetValue(), want)) {
        Fail("the value of " + Id(h) + " is " + Join(IndexingIds(*net_, *value)) +
             " " + Describe(value->GetValue()) + ", by the unrolled network's update " +
             Join(ids) + " " + Describe(want));
        return false;
      }
    }
    return true;
  }

  // Whether the solver of this dynamic diagram assumes an order of two
  // decisions of the unrolled copy that no path orders. It draws that order
  // in the copy only, by the copy's handles, so a fresh network read from
  // the save may assume another: its values then answer to the unrolled
  // network's update alone.
  bool DecisionOrderAssumed() {
    if (!diagram_) return false;
    const std::vector<int> live = Live();
    if (std::none_of(live.begin(), live.end(), [this](int h) { return Plate(h); })) {
      return false;
    }
    VRN_network unrolled;
    std::vector<int> map;
    if (net_->UnrollNetwork(unrolled, map) != qelta::kOk) return false;
    std::vector<int> decisions;
    std::vector<VRN_intArray> ancestors;
    for (int h = unrolled.GetFirstNode(); h >= 0; h = unrolled.GetNextNode(h)) {
      if (unrolled.GetNode(h)->Definition()->GetType() != qelta::kDefDecision) continue;
      decisions.push_back(h);
      ancestors.emplace_back();
      (void)unrolled.GetAncestors(h, ancestors.back());
    }
    for (size_t i = 0; i < decisions.size(); ++i) {
      for (size_t j = i + 1; j < decisions.size(); ++j) {
        if (!ancestors[i].Contains(decisions[j]) && !ancestors[j].Contains(decisions[i])) {
          ++counts.assumed_orders;
          return true;
        }
      }
    }
    return false;
  }

  // Right after an edit made with the bookkeeping fully on: every valid
  // value equals a fresh network's, as switching it fully on drops what
  // edits made with it partly off may have left stale. States whose
  // evidence conflicts are left out.
  void CheckNow() {
    if (!Affordable() || DecisionOrderAssumed()) return;
    std::vector<int> valid;
    for (int h : Live()) {
      if (Val(h)->IsValueValid()) valid.push_back(h);
    }
    if (valid.empty()) return;
    if (!kImpliedEvidenceOfRefusedEvidence && conflict_) return;
    ++counts.edit_checks;
    std::string text;
    const bool saved = Save(&text);
    order_.clear();
    // The same targets first (a solver's value for a choice that the
    // evidence rules out follows them), then none for the values that
    // the targets leave out.
    int status = 0;
    std::unique_ptr<VRN_network> fresh = MakeFresh(saved, text, false, &status);
    if (fresh == nullptr || replay_forced_ || impossible_) return;
    std::unique_ptr<VRN_network> whole;
    int whole_status = status;
    for (int h : valid) {
      ++counts.edit_compared;
      VRN_network* reference = fresh.get();
      bool ok = status == qelta::kOk;
      if (!fresh->GetNode(fresh->FindNode(Node(h)->GetId()))->Value()->IsValueValid() &&
          fresh->GetNumberOfTargets() > 0) {
        if (whole == nullptr) {
          whole = MakeFresh(saved, text, true, &whole_status);
          if (whole == nullptr) return;
        }
        reference = whole.get();
        ok = ok && whole_status == qelta::kOk;
      }
      if (!Same(h, *reference, ok, "valid", text)) return;
    }
  }

  bool Save(std::string* text) {
    const int written = net_->WriteString(*text, 0);
    if (written != qelta::kOk) ++counts.copies;
    return written == qelta::kOk;
  }

  // Compares the valid value of h with the reference network's; false
  // after a failure. ok: the reference's update succeeded, so a value it
  // left invalid is one no update gives.
  bool Same(int h, VRN_network& reference, bool ok, const std::string& kind,
            const std::string& text) {
    VRN_nodeVal* value = Val(h);
    VRN_nodeVal* other =
        reference.GetNode(reference.FindNode(Node(h)->GetId()))->Value();
    double x = 0.0;
    double y = 0.0;
    if (Equation(h) && value->GetContEvidence(&x) == qelta::kOk) {
      // An observed equation node's value is its number.
      if (other->GetContEvidence(&y) == qelta::kOk && x == y) return true;
      Fail("the observed equation node " + Id(h) + " has another number");
      return false;
    }
    if (!kIndexingParentsOfObservedNodes && IndexedByEvidence(h)) return true;
    if (!other->IsValueValid()) {
      // An observed node's point mass is right whichever update (or none)
      // last marked it valid.
      if (IsPointMassOfEvidence(h) || !ok) return true;
      Fail("the " + kind + " value of " + Id(h) +
           " is valid, a fresh network's is not: " + Describe(value->GetValue()));
      return false;
    }
    if (IndexingIds(*net_, *value) != IndexingIds(reference, *other)) {
      if (SameJointOfSwappedRoots(h, reference)) return true;
      Fail("the " + kind + " value of " + Id(h) + " has indexing parents " +
           Join(IndexingIds(*net_, *value)) + ", a fresh network's " +
           Join(IndexingIds(reference, *other)));
      return false;
    }
    if (!SameItems(value->GetValue(), other->GetValue()) &&
        !TiedChoices(text, h, value->GetValue(), other->GetValue()) &&
        !NumbersWhereImpossible(text, IndexingIds(reference, *other), value->GetValue(),
                                other->GetValue())) {
      Fail("the " + kind + " value of " + Id(h) + " is " +
           Describe(value->GetValue()) + ", a fresh network's " +
           Describe(other->GetValue()));
      return false;
    }
    return true;
  }

  // Two roots that index only each other may swap which one indexes the
  // other in a fresh network (the scenario order follows an order of roots
  // that a save does not keep): both factor the same joint distribution.
  bool SameJointOfSwappedRoots(int h, VRN_network& reference) {
    auto in = [&reference, this](int g) {
      return reference.GetNode(reference.FindNode(Node(g)->GetId()))->Value();
    };
    const VRN_intArray& mine = Val(h)->GetIndexingParents();
    const VRN_intArray& theirs = in(h)->GetIndexingParents();
    int first = h;  // unindexed here, indexed by the other there
    int second = -1;
    if (mine.IsEmpty() && theirs.GetSize() == 1) {
      second = net_->FindNode(reference.GetNode(theirs[0])->GetId());
    } else if (mine.GetSize() == 1 && theirs.IsEmpty()) {
      first = mine[0];
      second = h;
    }
    if (second < 0 || Node(first) == nullptr || Plate(first) || Plate(second)) return false;
    const VRN_nodeVal* values[] = {Val(first), Val(second), in(second), in(first)};
    const int n1 = Outcomes(first);
    const int n2 = Outcomes(second);
    const int sizes[] = {n1, n1 * n2, n2, n1 * n2};
    for (int i = 0; i < 4; ++i) {
      const VRN_intArray& ids = values[i]->GetIndexingParents();
      const int by = i % 2 == 0 ? -1 : (i == 1 ? first : second);
      if (!values[i]->IsValueValid() || values[i]->GetValue().GetItemCount() != sizes[i] ||
          ids.GetSize() != (by < 0 ? 0 : 1) ||
          (by >= 0 && std::string(i == 1 ? Node(ids[0])->GetId()
                                         : reference.GetNode(ids[0])->GetId()) !=
                          Node(by)->GetId())) {
        return false;
      }
    }
    for (int a = 0; a < n1; ++a) {
      for (int b = 0; b < n2; ++b) {
        const double here = values[0]->GetValue().GetItem(a) *
                            values[1]->GetValue().GetItem(a * n2 + b);
        const double there = values[2]->GetValue().GetItem(b) *
                             values[3]->GetValue().GetItem(b * n1 + a);
        if (!(std::fabs(here - there) <= kTolerance)) return false;
      }
    }
    return true;
  }

  // The best-policy solver takes the last of equally good choices, but
  // equal expected utilities may differ in their last bits with the order
  // of the arithmetic, which follows the handles: two different choices are
  // both right when the expected utilities of the choices (by the other
  // solver, in every configuration of the parents) tie.
  bool TiedChoices(const std::string& text, int h, const VRN_matrix& mine,
                   const VRN_matrix& theirs) {
    if (net_->GetDefaultIDAlgorithm() != 1 ||
        Type(h) != qelta::kDefDecision) {
      return false;
    }
    const int a = PointMassAt(mine);
    const int b = PointMassAt(theirs);
    if (a < 0 || b < 0 || mine.GetItemCount() != theirs.GetItemCount()) {
      return false;
    }
    // Without utilities every choice is as good as another.
    const std::vector<int> live = Live();
    const bool utilities = std::any_of(
        live.begin(), live.end(),
        [this](int g) { return (Type(g) & qelta::kDefBitUtility) != 0; });
    if (!utilities) return true;
    VRN_network other;
    if (other.ReadString(text.c_str(), 0) != qelta::kOk) return false;
    (void)other.ClearAllTargets();
    if (!Replay(other)) return false;
    FollowRelevanceSwitch(other);
    (void)other.SetDefaultIDAlgorithm(0);
    if (other.UpdateBeliefs() != qelta::kOk) return false;
    const VRN_nodeVal* value =
        other.GetNode(other.FindNode(Node(h)->GetId()))->Value();
    const VRN_matrix& eu = value->GetValue();
    const int n = mine.GetItemCount();
    if (!value->IsValueValid() || eu.GetItemCount() % n != 0) return false;
    for (int row = 0; row < eu.GetItemCount(); row += n) {
      const double x = eu.GetItem(row + a);
      const double y = eu.GetItem(row + b);
      if (!(std::fabs(x - y) <= 1e-9 * (1.0 + std::fabs(x)))) return false;
    }
    return true;
  }

  // A network computed without targets gives the undefined marker for a row
  // whose configuration of the indexing parents `ids` has probability 0,
  // and one computed with targets may give a number there. Targets come
  // and go without changing a value, so either network may hold either:
  // both are right there, and only there.
  bool NumbersWhereImpossible(const std::string& text, const std::vector<std::string>& ids,
                              const VRN_matrix& mine, const VRN_matrix& theirs) {
    const int k = static_cast<int>(ids.size());
    if (k == 0 || mine.GetDimensions() != theirs.GetDimensions()) return false;
    int own = 1;
    for (int d = k; d < mine.GetDimensionCount(); ++d) own *= mine.GetSize(d);
    int checked = -1;
    for (int i = 0; i < mine.GetItemCount(); ++i) {
      const double x = mine.GetItem(i);
      const double y = theirs.GetItem(i);
      if ((std::isnan(x) && std::isnan(y)) || std::fabs(x - y) <= kTolerance ||
          i / own == checked) {
        continue;
      }
      if ((x == qelta::kUndefinedValue) == (y == qelta::kUndefinedValue)) return false;
      std::vector<int> coords(static_cast<size_t>(k));
      for (int d = k - 1, row = i / own; d >= 0; row /= mine.GetSize(d--)) {
        coords[static_cast<size_t>(d)] = row % mine.GetSize(d);
      }
      if (!ImpossibleScenario(text, ids, coords)) return false;
      checked = i / own;
    }
    return true;
  }

  // Decisions become uniform chance nodes and utilities go; evidence stays.
  static void AsBayesianNetwork(VRN_network& bn) {
    for (int g = bn.GetFirstNode(); g >= 0; g = bn.GetNextNode(g)) {
      const int type = bn.GetNode(g)->Definition()->GetType();
      if ((type & qelta::kDefBitUtility) != 0) {
        (void)bn.DeleteNode(g);
      } else if (type == qelta::kDefDecision) {
        const std::vector<int> decision{g};
        (void)bn.GetNode(g)->setNodeType(qelta::kDefCpt);
        (void)bn.UniformizeParameters(&decision);
      }
    }
  }

  // Whether fresh's evidence has probability 0 (or none can be had). A
  // diagram's is taken with its decisions uniform: 0 there is 0 under every
  // policy, and values under such evidence follow the handle order.
  static bool ImpossibleEvidence(VRN_network& fresh) {
    if (fresh.EvidenceNodes().empty()) return false;
    double p = 0.0;
    for (int g = fresh.GetFirstNode(); g >= 0; g = fresh.GetNextNode(g)) {
      if ((fresh.GetNode(g)->Definition()->GetType() &
           (qelta::kDefBitDecision | qelta::kDefBitUtility)) != 0) {
        VRN_network bn(fresh);
        const bool relevance = bn.IsRelevanceReasoning();
        bn.SetRelevanceReasoning(false);
        AsBayesianNetwork(bn);
        bn.SetRelevanceReasoning(relevance);
        return !bn.CalcPropEvidence(p, false) || !(p > 0.0);
      }
    }
    return !fresh.CalcPropEvidence(p, false) || !(p > 0.0);
  }

  // Whether the indexing parents `ids` at `coords` have probability 0 with
  // this network's evidence: in the diagram read from its save, with its
  // evidence, as a Bayesian network (decisions uniform, utilities gone),
  // the evidence and that configuration have probability 0.
  bool ImpossibleScenario(const std::string& text, const std::vector<std::string>& ids,
                          const std::vector<int>& coords) {
    VRN_network bn;
    if (bn.ReadString(text.c_str(), 0) != qelta::kOk || !Replay(bn, false)) return false;
    bn.SetRelevanceReasoning(false);
    AsBayesianNetwork(bn);
    for (size_t i = 0; i < ids.size(); ++i) {
      VRN_nodeVal* value = bn.GetNode(bn.FindNode(ids[i].c_str()))->Value();
      if (value->HasFlags(qelta::kValFlagEvidence)) {
        if (value->GetEvidence() != coords[i]) return true;
      } else if (value->SetEvidence(coords[i]) != qelta::kOk) {
        return false;
      }
    }
    double p = -1.0;
    return bn.CalcPropEvidence(p, false) && p == 0.0;
  }

  static int PointMassAt(const VRN_matrix& m) {
    int at = -1;
    for (int i = 0; i < m.GetItemCount(); ++i) {
      if (m.GetItem(i) == 1.0 && at < 0) {
        at = i;
      } else if (m.GetItem(i) != 0.0) {
        return -1;
      }
    }
    return at;
  }

  // The node has evidence and its value indexing parents, or its value is
  // indexed by a node with evidence.
  bool IndexedByEvidence(int h) const {
    const VRN_intArray& parents = Val(h)->GetIndexingParents();
    if (parents.IsEmpty()) return false;
    if (Val(h)->HasEvidence()) return true;
    for (int p : parents) {
      if (Node(p) != nullptr && Val(p)->HasEvidence()) return true;
    }
    return false;
  }

  bool IsPointMassOfEvidence(int h) const {
    return !Plate(h) && IsPointMassOfEvidence(*Val(h));
  }

  static bool IsPointMassOfEvidence(const VRN_nodeVal& value) {
    if (!value.HasEvidence()) return false;
    const VRN_matrix& m = value.GetValue();
    const int e = value.GetEvidence();
    if (m.GetDimensionCount() != 1 || e < 0 || e >= m.GetItemCount()) {
      return false;
    }
    for (int i = 0; i < m.GetItemCount(); ++i) {
      if (m.GetItem(i) != (i == e ? 1.0 : 0.0)) return false;
    }
    return true;
  }

  // With the bookkeeping off, this network's update dropped the implied
  // evidence when an edit made it stale, or kept it. A fresh network with
  // the bookkeeping on would imply outcomes anew, which changes which
  // parents index a decision's values: it follows this network instead.
  void FollowRelevanceSwitch(VRN_network& fresh) const {
    if (net_->IsRelevanceReasoning()) return;
    fresh.SetRelevanceReasoning(false);
    if (AnyImpliedEvidence()) return;
    for (int g = fresh.GetFirstNode(); g >= 0; g = fresh.GetNextNode(g)) {
      VRN_nodeVal* value = fresh.GetNode(g)->Value();
      if (value->HasFlags(qelta::kValFlagPropagated)) {
        (void)value->ClearPropagatedEvidence();
      }
    }
  }

  // A fresh network with this network's evidence and algorithms (without
  // targets when asked), updated: read from the save, or, when this network
  // refuses to save, a copy whose values are all invalidated and whose
  // implied evidence is built again. Null after a failure.
  std::unique_ptr<VRN_network> MakeFresh(bool saved, const std::string& text,
                                         bool withoutTargets, int* status) {
    auto fresh = std::make_unique<VRN_network>();
    if (saved) {
      const int read = fresh->ReadString(text.c_str(), 0);
      if (read != qelta::kOk) {
        Fail("the save does not read back: " + LastMessage(*fresh) + "\n" + text);
        return nullptr;
      }
      if (withoutTargets) (void)fresh->ClearAllTargets();
      if (!Replay(*fresh)) return nullptr;
      if (!withoutTargets && order_.empty()) {
        FollowEntryOrder(text, *fresh);
        if (!order_.empty()) return MakeFresh(saved, text, withoutTargets, status);
      }
    } else {
      fresh = std::make_unique<VRN_network>(*net_);
      if (withoutTargets) (void)fresh->ClearAllTargets();
      fresh->SetRelevanceReasoning(true);
      bool implied = false;
      for (int g = fresh->GetFirstNode(); g >= 0; g = fresh->GetNextNode(g)) {
        VRN_nodeVal* value = fresh->GetNode(g)->Value();
        if (value->HasFlags(qelta::kValFlagPropagated)) {
          (void)value->ClearPropagatedEvidence();
          implied = true;
        }
      }
      const std::vector<int>& evidence = fresh->EvidenceNodes();
      if (implied || !evidence.empty()) {
        if (!evidence.empty()) {
          (void)fresh->OnEvidenceChange(evidence.front(), qelta::kChangeTable);
        }
      }
      (void)fresh->InvalidateValues();
      replay_forced_ = false;
    }
    fresh->SetRandSeed(net_->GetRandSeed());
    FollowRelevanceSwitch(*fresh);
    impossible_ = ImpossibleEvidence(*fresh);
    *status = fresh->UpdateBeliefs();
    return fresh;
  }

  int seed_;
  std::mt19937 rng_;
  // Draws for the steps of kExtraShare.
  std::mt19937 extra_;
  // Draws for the refused arcs into plate nodes.
  std::mt19937 arcs_{static_cast<unsigned>(seed_) * 69069u + 5u};
  Flavour flavour_;
  // Bayesian networks with mostly deterministic tables, observed often:
  // observations imply outcomes, which edits right after updates move.
  bool implying_;
  // Hybrid networks whose equations read interval parents and have their
  // parents reordered right after updates.
  bool reordering_;
  // Dynamic networks with decision, utility and multi-attribute utility
  // nodes.
  bool diagram_;
  std::unique_ptr<VRN_network> net_;
  // Per handle: the valid value may be stale until the next update or the
  // bookkeeping fully on again, as an edit made with it partly off followed
  // it.
  std::vector<char> untrusted_;
  std::vector<std::string> trace_;
  Edit edit_ = Edit::kNone;
  // Evidence was refused for a conflict since evidence last went in with
  // the bookkeeping on.
  bool conflict_ = false;
  // The node of the last evidence edit.
  int evidence_node_ = -1;
  // The last type change took evidence or arcs away.
  bool dropped_ = false;
  int step_ = -1;
  int outcome_counter_ = 0;
  bool failed_ = false;
  // The last Replay had to force evidence in: the evidence conflicts.
  bool replay_forced_ = false;
  // The last fresh network's evidence has probability 0.
  bool impossible_ = false;
  // The order in which fresh networks take the observations, by handle
  // here; empty for handle order.
  std::vector<int> order_;
};

// ------------------------------------------------ dynamic equation nodes

// A dynamic network holding equation nodes of the normal, anchor and
// terminal types beside discrete plate, anchor, normal and terminal nodes,
// updated after random edits of equations, evidence, temporal arcs and the
// slice count. After each update, every equation node holds what its node
// in the unrolled network holds after that network's own update from the
// same seed: the same validity, samples, statistics and discretized
// beliefs, its own observation as before. Every terminal equation of the
// unrolled network is the network's own with each plate parent named by
// its copy in the last slice, over those parents, with the network's
// bounds and intervals.
struct DynamicCounts {
  int updates = 0;
  int succeeded = 0;
  int sampled = 0;
  int discretized = 0;
  int invalid = 0;
  int terminals = 0;
};
DynamicCounts dynamic_counts;

class DynamicEquations {
 public:
  explicit DynamicEquations(int seed)
      : seed_(seed), rng_(static_cast<unsigned>(seed) * 2246822519u + 3u) {
    net_.SetRandSeed(seed + 1);
    (void)net_.SetNumberOfSamples(300);
    (void)net_.SetNumberOfDiscretizationSamples(40);
  }

  bool Run() {
    Build();
    for (int round = 0; round < 4 && !failed_; ++round) {
      if (round > 0) Edit();
      if (!failed_) UpdateAndCompare(round);
    }
    return !failed_;
  }

 private:
  // One term of an equation's right side: coefficient * parent, or the
  // noise text when parent is -1.
  struct Term {
    int coefficient = 1;
    int parent = -1;
    std::string noise;
  };
  struct Kind {
    bool equation;
    int temporal;
  };

  int Uniform(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng_);
  }
  bool Chance(double p) {
    return std::uniform_real_distribution<double>(0, 1)(rng_) < p;
  }
  int Temporal(int h) const { return net_.GetNode(h)->GetTemporalType(); }
  bool IsEquation(int h) const {
    return net_.GetNode(h)->Definition()->GetType() == qelta::kDefEquation;
  }
  VRN_nodeVal* Val(int h) const { return net_.GetNode(h)->Value(); }

  std::vector<int> Candidates(int h) const {
    std::vector<int> out;
    for (int p : nodes_) {
      if (p == h) break;
      if (TemporalTypesAllow(Temporal(p), Temporal(h))) out.push_back(p);
    }
    return out;
  }

  // "id=term+term", each name given by name_of.
  template <typename NameOf>
  std::string Render(int h, NameOf name_of) const {
    std::string text = std::string(net_.GetNode(h)->GetId()) + "=";
    const std::vector<Term>& terms = terms_.at(h);
    for (size_t i = 0; i < terms.size(); ++i) {
      if (i > 0) text += "+";
      const Term& t = terms[i];
      if (t.parent < 0) {
        text += t.noise;
      } else {
        if (t.coefficient != 1) text += std::to_string(t.coefficient) + "*";
        text += name_of(t.parent);
      }
    }
    return text;
  }
  std::string OwnName(int h) const { return net_.GetNode(h)->GetId(); }

  void NewEquation(int h) {
    std::vector<int> candidates = Candidates(h);
    std::shuffle(candidates.begin(), candidates.end(), rng_);
    candidates.resize(std::min<size_t>(candidates.size(), Uniform(0, 3)));
    std::vector<Term> terms;
    for (int p : candidates) terms.push_back({Uniform(1, 3), p, ""});
    if (terms.empty() || Chance(0.6)) {
      const int mean = Uniform(0, 9);
      terms.push_back({1, -1, Chance(0.8) ? "Normal(" + std::to_string(mean) +
                                               "," +
                                               std::to_string(Uniform(1, 3)) +
                                               ")"
                                         : std::to_string(mean)});
    }
    if (Chance(0.3)) std::shuffle(terms.begin(), terms.end(), rng_);
    const auto old = terms_.find(h);
    std::vector<Term> before;
    if (old != terms_.end()) before = old->second;
    terms_[h] = terms;
    const std::string text = Render(h, [this](int p) { return OwnName(p); });
    const int status =
        VRN_GetEquation(&net_, h)->SetEquation(text.c_str(), nullptr, nullptr);
    if (status != qelta::kOk) {
      Fail("equation " + text + " refused: " + std::to_string(status));
      return;
    }
    std::string back;
    VRN_GetEquation(&net_, h)->GetEquationText(&back);
    if (back != text) Fail("equation " + text + " reads " + back);
  }

  void Build() {
    const std::vector<Kind> kinds{
        {true, qelta::kTemporalNormal},    {true, qelta::kTemporalAnchor},
        {true, qelta::kTemporalTerminal},  {true, qelta::kTemporalTerminal},
        {false, qelta::kTemporalPlate},    {false, qelta::kTemporalPlate},
        {false, qelta::kTemporalNormal},   {false, qelta::kTemporalAnchor},
        {false, qelta::kTemporalTerminal}};
    std::vector<Kind> chosen{{false, qelta::kTemporalPlate},
                             {true, qelta::kTemporalTerminal}};
    const int n = Uniform(2, 5);
    for (int i = 0; i < n; ++i) chosen.push_back(kinds[Uniform(0, 8)]);
    std::shuffle(chosen.begin(), chosen.end(), rng_);
    for (size_t i = 0; i < chosen.size(); ++i) {
      const std::string id = "N" + std::to_string(i);
      const int h = net_.AddNode(
          chosen[i].equation ? qelta::kDefEquation : qelta::kDefCpt, id.c_str());
      if (!chosen[i].equation && Chance(0.4)) {
        (void)net_.GetNode(h)->Definition()->SetNumberOfOutcomes(3);
      }
      if (chosen[i].temporal != qelta::kTemporalNormal &&
          net_.setNodeTemporalType(h, chosen[i].temporal) != qelta::kOk) {
        Fail("temporal type of " + id + " refused");
        return;
      }
      nodes_.push_back(h);
      if (chosen[i].equation) {
        VRN_equation* equation = VRN_GetEquation(&net_, h);
        (void)equation->SetBounds(-100, 100);
        std::vector<VRN_discInterval> intervals;
        for (int k = 0, parts = Uniform(2, 4); k < parts; ++k) {
          intervals.push_back({"i" + std::to_string(k),
                               k + 1 < parts ? 2.0 * (k + 1) : 100.0});
        }
        (void)equation->SetDiscIntervals(-100, 100, intervals);
        NewEquation(h);
      } else {
        for (int p : Candidates(h)) {
          if (Chance(0.4)) (void)net_.AddArc(p, h);
        }
      }
      if (failed_) return;
    }
    (void)net_.SetNumberOfSlices(Uniform(1, 4));
    for (int i = Uniform(0, 2); i > 0; --i) AddTemporalArc();
    (void)net_.RandomizeParameters(nullptr, nullptr);
  }

  int AnyNode(bool equation, bool plate) {
    std::vector<int> fits;
    for (int h : nodes_) {
      if (IsEquation(h) == equation &&
          (!plate || Temporal(h) == qelta::kTemporalPlate)) {
        fits.push_back(h);
      }
    }
    return fits.empty() ? -1 : fits[static_cast<size_t>(
                                    Uniform(0, static_cast<int>(fits.size()) - 1))];
  }

  void AddTemporalArc() {
    const int p = AnyNode(false, true);
    const int c = AnyNode(false, true);
    if (p >= 0 && c >= 0) (void)net_.AddTemporalArc(p, c, Uniform(1, 2));
  }

  void Edit() {
    const int choice = Uniform(0, 7);
    const int e = AnyNode(true, false);
    const int d = AnyNode(false, false);
    const int plate = AnyNode(false, true);
    switch (choice) {
      case 0:
        if (e >= 0) NewEquation(e);
        break;
      case 1:
        if (e >= 0 && Chance(0.7)) {
          (void)Val(e)->SetContEvidence(Uniform(0, 8));
        } else if (e >= 0) {
          (void)Val(e)->ClearEvidence();
        }
        break;
      case 2:
        if (d >= 0) {
          const int n = net_.GetNode(d)->Definition()->GetNumberOfOutcomes();
          (void)Val(d)->SetEvidence(Uniform(0, n - 1));
        }
        break;
      case 3:
        if (d >= 0) {
          const int n = net_.GetNode(d)->Definition()->GetNumberOfOutcomes();
          std::vector<double> soft;
          for (int k = 0; k < n; ++k) soft.push_back(0.1 * Uniform(1, 9));
          (void)Val(d)->SetVirtualEvidence(soft);
        }
        break;
      case 4:
        if (plate >= 0 && net_.GetNumberOfSlices() > 1) {
          const int n = net_.GetNode(plate)->Definition()->GetNumberOfOutcomes();
          (void)net_.SetTemporalEvidence(
              plate, Uniform(1, net_.GetNumberOfSlices() - 1), Uniform(0, n - 1));
        }
        break;
      case 5:
        if (d >= 0) (void)Val(d)->ClearEvidence();
        if (d >= 0) (void)Val(d)->ClearVirtualEvidence();
        break;
      case 6:
        if (Chance(0.3)) {
          (void)net_.ClearAllTargets();
        } else {
          (void)net_.SetTarget(nodes_[static_cast<size_t>(Uniform(
                                   0, static_cast<int>(nodes_.size()) - 1))],
                               true);
        }
        break;
      default:
        if (Chance(0.5)) {
          (void)net_.SetNumberOfSlices(Uniform(1, 4));
        } else {
          AddTemporalArc();
        }
        break;
    }
  }

  static bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
  }
  static bool SameSamples(const std::vector<double>& a,
                          const std::vector<double>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), Same);
  }

  // The equation node h of the network against its node in u.
  void CompareEquation(int h, VRN_network& u) {
    const auto* got = dynamic_cast<const VRN_equationEvaluation*>(Val(h));
    const auto* want =
        dynamic_cast<const VRN_equationEvaluation*>(u.GetNode(h)->Value());
    const std::string id = OwnName(h);
    if (got == nullptr || want == nullptr) {
      Fail(id + " has no equation value");
      return;
    }
    if (got->IsValueValid() != want->IsValueValid()) {
      Fail(id + std::string(" valid ") + (got->IsValueValid() ? "yes" : "no") +
           ", unrolled " + (want->IsValueValid() ? "yes" : "no"));
      return;
    }
    if (!got->IsValueValid()) return;
    if (!SameSamples(got->GetSamples(), want->GetSamples()) ||
        got->IsDiscretized() != want->IsDiscretized() ||
        !SameItems(got->GetValue(), want->GetValue())) {
      Fail(id + " holds " + std::to_string(got->GetSamples().size()) +
           " samples and " + Describe(got->GetValue()) + ", unrolled " +
           std::to_string(want->GetSamples().size()) + " and " +
           Describe(want->GetValue()));
      return;
    }
    double a[6], b[6];
    const int sa = got->GetMean(&a[0]) + got->GetStdDev(&a[1]);
    const int sb = want->GetMean(&b[0]) + want->GetStdDev(&b[1]);
    got->GetSampleStats(&a[2], &a[3], &a[4], &a[5]);
    want->GetSampleStats(&b[2], &b[3], &b[4], &b[5]);
    bool same = sa == sb;
    for (int i = 0; i < 6; ++i) same = same && Same(a[i], b[i]);
    if (!same) {
      Fail(id + " mean " + std::to_string(a[0]) + " deviation " +
           std::to_string(a[1]) + ", unrolled " + std::to_string(b[0]) + " " +
           std::to_string(b[1]));
    }
  }

  // Terminal equation t in u: the network's own, plate parents renamed.
  void CompareTerminal(int t, VRN_network& u, const std::vector<int>& map) {
    const int slices = net_.GetNumberOfSlices();
    const int count = static_cast<int>(map.size()) / slices;
    auto last = [&](int q) {
      for (int i = 0; i < count; ++i) {
        if (map[static_cast<size_t>(i)] == q) {
          return map[static_cast<size_t>((slices - 1) * count + i)];
        }
      }
      return q;
    };
    const std::string want =
        Render(t, [&](int q) { return std::string(u.GetNode(last(q))->GetId()); });
    std::string got;
    VRN_GetEquation(&u, t)->GetEquationText(&got);
    std::vector<int> parents;
    for (int q : net_.GetNode(t)->Parents()) parents.push_back(last(q));
    std::vector<int> unrolled_parents(u.GetNode(t)->Parents().begin(),
                                      u.GetNode(t)->Parents().end());
    std::sort(parents.begin(), parents.end());
    std::sort(unrolled_parents.begin(), unrolled_parents.end());
    if (got != want || parents != unrolled_parents) {
      Fail("unrolled terminal equation " + got + ", expected " + want);
      return;
    }
    const VRN_equation* own = VRN_GetEquation(&net_, t);
    const VRN_equation* copy = VRN_GetEquation(&u, t);
    bool same = own->GetLowerBound() == copy->GetLowerBound() &&
                own->GetUpperBound() == copy->GetUpperBound() &&
                own->GetDiscIntervals().size() == copy->GetDiscIntervals().size();
    for (size_t i = 0; same && i < own->GetDiscIntervals().size(); ++i) {
      same = own->GetDiscIntervals()[i].id == copy->GetDiscIntervals()[i].id &&
             own->GetDiscIntervals()[i].boundary ==
                 copy->GetDiscIntervals()[i].boundary;
    }
    if (!same) Fail("unrolled terminal " + OwnName(t) + " has other bounds or intervals");
  }

  void UpdateAndCompare(int round) {
    round_ = round;
    std::vector<std::pair<int, double>> observed;
    for (int h : nodes_) {
      double v = 0;
      if (IsEquation(h) && Val(h)->HasFlags(qelta::kValFlagEvidence) &&
          Val(h)->GetContEvidence(&v) == qelta::kOk) {
        observed.emplace_back(h, v);
      }
    }
    const int status = net_.UpdateBeliefs();
    VRN_network u;
    std::vector<int> map;
    if (net_.UnrollNetwork(u, map) != qelta::kOk) {
      Fail("unrolling refused: " + LastMessage(net_));
      return;
    }
    for (int h : nodes_) {
      if (IsEquation(h) && Temporal(h) == qelta::kTemporalTerminal) {
        CompareTerminal(h, u, map);
        ++dynamic_counts.terminals;
      }
      if (failed_) return;
    }
    const int unrolled_status = u.UpdateBeliefs();
    if (status != unrolled_status) {
      Fail("update answered " + std::to_string(status) + ", unrolled " +
           std::to_string(unrolled_status));
      return;
    }
    for (const auto& [h, v] : observed) {
      double now = 0;
      if (!Val(h)->HasFlags(qelta::kValFlagEvidence) ||
          Val(h)->GetContEvidence(&now) != qelta::kOk || now != v) {
        Fail(OwnName(h) + " lost its observation");
        return;
      }
    }
    ++dynamic_counts.updates;
    if (status != qelta::kOk) return;
    ++dynamic_counts.succeeded;
    for (int h : nodes_) {
      if (!IsEquation(h)) continue;
      CompareEquation(h, u);
      if (failed_) return;
      const auto* value = dynamic_cast<const VRN_equationEvaluation*>(Val(h));
      if (!value->IsValueValid()) {
        ++dynamic_counts.invalid;
      } else if (value->IsDiscretized()) {
        ++dynamic_counts.discretized;
      } else {
        ++dynamic_counts.sampled;
      }
    }
  }

  void Fail(const std::string& what) {
    failed_ = true;
    std::string text;
    (void)net_.WriteString(text, -1);
    ADD_FAILURE() << "seed " << seed_ << " (dynamic network with equations), "
                  << "update " << round_ << ": " << what << "\n" << text;
  }

  int seed_;
  std::mt19937 rng_;
  VRN_network net_;
  std::vector<int> nodes_;
  std::map<int, std::vector<Term>> terms_;
  int round_ = 0;
  bool failed_ = false;
};

TEST(EditStressTest, ValidValuesMatchAFreshNetworkAfterRandomEdits) {
  const int seeds = SeedCount();
  int failures = 0;
  const char* first = std::getenv("QELTA_EDIT_STRESS_FIRST_SEED");
  const int from = first != nullptr ? std::atoi(first) : 0;
  const char* most = std::getenv("QELTA_EDIT_STRESS_MAX_FAILURES");
  const int limit = most != nullptr && std::atoi(most) > 0 ? std::atoi(most) : 5;
  for (int seed = from; seed < from + seeds && failures < limit; ++seed) {
    Harness harness(seed);
    if (!harness.Run()) ++failures;
  }
  if (std::getenv("QELTA_EDIT_STRESS_VERBOSE") != nullptr) {
    std::printf("%d updates (%d failed); values compared: %d computed, %d "
                "kept; %d checks after edits "
                "compared %d values; %d saves refused; %d parameter copies; "
                "%d refused outcome edits\n",
                counts.updates, counts.failed_updates, counts.computed,
                counts.kept, counts.edit_checks,
                counts.edit_compared, counts.copies, counts.parameter_copies,
                counts.refusals);
    std::printf("%d refused arcs into plate nodes\n", refused_plate_arcs);
    std::printf("%d updates of dynamic diagrams checked against the unrolled "
                "network: %d indexed values, %d values not valid; %d "
                "comparisons with a fresh network left out for an assumed "
                "decision order\n",
                counts.unrolled_checks, counts.unrolled_indexed,
                counts.unrolled_invalid, counts.assumed_orders);
    std::printf("%d updates or checks left out for more than %g scenarios\n",
                counts.too_many_scenarios, kMaxScenarios);
  }
}

TEST(EditStressTest, DynamicEquationNodesHoldTheUnrolledNetworksResults) {
  const char* first = std::getenv("QELTA_EDIT_STRESS_FIRST_SEED");
  const int from = first != nullptr ? std::atoi(first) : 0;
  const char* most = std::getenv("QELTA_EDIT_STRESS_MAX_FAILURES");
  const int limit = most != nullptr && std::atoi(most) > 0 ? std::atoi(most) : 5;
  int failures = 0;
  for (int seed = from; seed < from + SeedCount() && failures < limit; ++seed) {
    DynamicEquations check(seed);
    if (!check.Run()) ++failures;
  }
  if (std::getenv("QELTA_EDIT_STRESS_VERBOSE") != nullptr) {
    std::printf("%d updates of dynamic networks with equations (%d "
                "succeeded); equation values compared: %d sampled, %d "
                "discretized, %d invalid; %d unrolled terminal equations\n",
                dynamic_counts.updates, dynamic_counts.succeeded,
                dynamic_counts.sampled, dynamic_counts.discretized,
                dynamic_counts.invalid, dynamic_counts.terminals);
  }
}

}  // namespace
