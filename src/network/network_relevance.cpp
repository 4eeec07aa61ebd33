// Targets, evidence and the relevance bookkeeping of VRN_network.
//
// Values keep the results of the last belief update for as long as they are
// correct. After an edit, a marking walk invalidates exactly the values the
// edit can reach: it follows the reachability rule of d-separation, observed
// nodes blocking chains and ancestors of evidence opening converging
// connections. With evidence propagation on, evidence implied through
// deterministic table entries is entered first, so that implied outcomes
// block the walk like observed ones.
//
// The walks keep their work on explicit stacks: a long chain cannot exhaust
// the call stack. Their scratch marks are the network's generation-stamped
// walk marks, and the nodes with evidence come from the network's list, so
// an edit costs what its walk reaches rather than the size of the network:
// building a network edit by edit stays linear.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "network/change_guards.h"
#include "base/error_log.h"
#include "network/network.h"
#include "network/dbn.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/table_columns.h"

namespace {

// The table as inference sees it: columns that are not distributions are
// taken normalised (a zero column uniform), from a copy kept in *scratch,
// so that implied evidence agrees with the beliefs of an update.
const VRN_matrix* InferenceView(const VRN_matrix* table,
                                std::unique_ptr<VRN_matrix>* scratch) {
  if (table == nullptr ||
      qelta::ClassifyColumns(*table) != qelta::kColumnsUnnormalised) {
    return table;
  }
  scratch->reset(new VRN_matrix(*table));
  (void)(*scratch)->Normalize();
  return scratch->get();
}

// The table the evidence bookkeeping reads for `definition`. A canonical
// node's table is expanded from its parameters on demand; past this many
// cells (a noisy-MAX node with very many parents, which inference handles
// by decomposition) the bookkeeping does without it rather than build it.
constexpr double kHookTableCells = 1 << 22;

const VRN_matrix* HookTable(const VRN_network& network,
                            VRN_nodeDef* definition) {
  if (VRN_nodeDef::IsLazyType(definition->GetType())) {
    double cells = definition->GetNumberOfOutcomes();
    for (int parent : definition->GetParents()) {
      cells *= network.GetNode(parent)->Definition()->GetDiscreteOutcomeCount();
    }
    if (cells > kHookTableCells) return nullptr;
  }
  return definition->GetExpandedDefinition();
}

using qelta::kMarkAncestor;
using qelta::kMarkDescendant;
using qelta::kMarkFinished;
using qelta::kMarkFromChild;
using qelta::kMarkFromParent;
using qelta::kMarkValueChanged;

// Whether the hook of `option` runs; when it does not, the implied
// evidence may have lost its cause and is stale, and so may any value.
bool HookEnabled(VRN_network& net, int option) {
  if (net.IsRelevanceReasoning() && (net.GetRelevanceOptions() & option) != 0) {
    return true;
  }
  net.SetImpliedEvidenceStale(true);
  net.NoteSkippedBookkeeping();
  return false;
}

bool HasTypeBit(const VRN_node& node, int bit) {
  return (node.Definition()->GetType() & bit) != 0;
}

void ClearMarksEverywhere(const VRN_network& net, int bits) {
  const int slots = net.GetSlotCount();
  for (int h = 0; h < slots; ++h) {
    VRN_node* node = net.GetNode(h);
    if (node != nullptr) node->ClearMark(bits);
  }
}

// Invalidates the value of every node other than `skip` that holds no
// evidence (what an equation node's change does: equations are evaluated by
// sampling the whole network).
void InvalidateAllOthers(const VRN_network& net, int skip) {
  const int slots = net.GetSlotCount();
  for (int h = 0; h < slots; ++h) {
    VRN_node* node = net.GetNode(h);
    if (node == nullptr || h == skip) continue;
    if (!node->Value()->HasEvidence()) node->Value()->Invalidate();
  }
}

// Marks with `bit` every node reachable from `start` through `links` (h
// itself excluded), then lists the marked nodes in increasing handle order.
template <typename Links>
void CollectReachable(const VRN_network& net, int start, int bit, Links links,
                      VRN_intArray& out) {
  ClearMarksEverywhere(net, bit);
  std::vector<int> stack(1, start);
  while (!stack.empty()) {
    const int h = stack.back();
    stack.pop_back();
    for (int next : links(*net.GetNode(h))) {
      VRN_node* node = net.GetNode(next);
      if (node == nullptr || next == start || node->HasMark(bit)) continue;
      node->SetMark(bit);
      stack.push_back(next);
    }
  }
  out.Flush();
  const int slots = net.GetSlotCount();
  for (int h = 0; h < slots; ++h) {
    VRN_node* node = net.GetNode(h);
    if (node != nullptr && node->HasMark(bit)) out.Add(h);
  }
}

// Appends the children of h whose definition reads h's outcome by its
// index or its numeric value (equation nodes) rather than through a table
// that follows every outcome edit.
void AddIndexReaders(const VRN_network& net, int h, std::vector<int>* out) {
  for (int c : net.GetNode(h)->Children()) {
    const VRN_node* child = net.GetNode(c);
    if (child != nullptr &&
        child->Definition()->GetType() == qelta::kDefEquation) {
      out->push_back(c);
    }
  }
}

// The coordinate a node's evidence gives in a table dimension of `size`
// items, -1 (free) when it has none.
int EvidenceCoordinate(const VRN_nodeVal& value, int size) {
  if (!value.HasEvidence()) return -1;
  const int outcome = value.GetEvidence();
  return outcome >= 0 && outcome < size ? outcome : -1;
}

// Whether `parent` stands for another slice in `node`'s table than the one
// its own evidence is of: with several slices a terminal node hangs below
// the last slice's plate nodes, while a plate node's evidence is slice 0's.
// No evidence is implied across such an arc.
bool ReadsLastSlice(const VRN_network& net, const VRN_node& node,
                    const VRN_node& parent) {
  return node.GetTemporalType() == qelta::kTemporalTerminal &&
         parent.GetTemporalType() == qelta::kTemporalPlate &&
         net.GetNumberOfSlices() > 1;
}

// Fills coords with the evidence coordinates of `node` in `table`: one entry
// per parent (its evidence outcome or -1), then `own`, or the node's own
// evidence outcome when own < 0. False when the table's dimensions do not
// follow the node's parents, so it cannot be read this way.
bool EvidenceCoordinates(const VRN_network& net, const VRN_node& node,
                         const VRN_matrix& table, int own,
                         VRN_intArray* coords) {
  const VRN_intArray& parents = node.Parents();
  const int n = parents.GetSize();
  if (table.GetDimensionCount() != n + 1) return false;
  coords->Flush();
  for (int i = 0; i < n; ++i) {
    const VRN_node* parent = net.GetNode(parents[i]);
    coords->Add(parent == nullptr || ReadsLastSlice(net, node, *parent)
                    ? -1
                    : EvidenceCoordinate(*parent->Value(), table.GetSize(i)));
  }
  coords->Add(own >= 0 ? own
                       : EvidenceCoordinate(*node.Value(), table.GetSize(n)));
  return true;
}

// The marking walk. One arc may be added to the graph it walks: after an arc
// is removed, the values computed with the arc present are what must be
// judged, so the walk sees the graph as it was. Nodes whose own evidence
// changed carry kMarkValueChanged: they start walks of their own in every
// direction, so the walk passing them blocks chains as observed evidence
// does.
class RelevanceWalk {
 public:
  RelevanceWalk(VRN_network* net, int extra_parent, int extra_child)
      : net_(net),
        marks_(net->Marks()),
        extra_parent_(extra_parent),
        extra_child_(extra_child) {}

  // Clears the walk's marks and marks with kMarkAncestor every ancestor of
  // observed evidence. Virtual evidence acts like an observed child of its
  // node: the node itself and its ancestors are marked.
  void Prepare() {
    marks_.Begin(net_->GetSlotCount());
    for (int h : net_->EvidenceNodes()) {
      const VRN_nodeVal* value = net_->GetNode(h)->Value();
      if (value->HasVirtualEvidence()) {
        marks_.Set(h, kMarkAncestor);
        MarkAncestors(h);
      } else if (value->HasFlags(qelta::kValFlagEvidence)) {
        MarkAncestors(h);
      }
    }
  }

  void Mark(int h, int bits) { marks_.Set(h, bits); }
  bool HasMark(int h, int bits) const { return marks_.Has(h, bits); }

  void VisitParents(int h) { ForEachParent(h, [&](int p) { Push(p, kUp); }); }
  void VisitChildren(int h) {
    ForEachChild(h, [&](int c) { Push(c, kDown); });
  }

  // Processes every pending visit.
  void Run() {
    while (!pending_.empty()) {
      const Visit visit = pending_.back();
      pending_.pop_back();
      Process(visit.node, visit.from_child);
    }
  }

  void NoteUtilityChange(const VRN_node& node) {
    if (HasTypeBit(node, qelta::kDefBitUtility)) utility_changed_ = true;
  }

  // A changed utility changes the expected utility of every decision.
  void InvalidateDecisionsIfNeeded() {
    if (!utility_changed_) return;
    const int slots = net_->GetSlotCount();
    for (int h = 0; h < slots; ++h) {
      VRN_node* node = net_->GetNode(h);
      if (node != nullptr && HasTypeBit(*node, qelta::kDefBitDecision) &&
          node->Value()->IsValueValid()) {
        node->Value()->Invalidate();
      }
    }
  }

 private:
  static constexpr bool kUp = true;     // arriving from a child
  static constexpr bool kDown = false;  // arriving from a parent

  struct Visit {
    int node;
    bool from_child;
  };

  template <typename F>
  void ForEachParent(int h, F f) {
    for (int p : net_->GetNode(h)->Parents()) f(p);
    if (h == extra_child_) f(extra_parent_);
  }
  template <typename F>
  void ForEachChild(int h, F f) {
    for (int c : net_->GetNode(h)->Children()) f(c);
    if (h == extra_parent_) f(extra_child_);
  }

  void Push(int h, bool from_child) {
    if (net_->GetNode(h) != nullptr) pending_.push_back({h, from_child});
  }

  void MarkAncestors(int start) {
    stack_.assign(1, start);
    while (!stack_.empty()) {
      const int h = stack_.back();
      stack_.pop_back();
      ForEachParent(h, [&](int p) {
        if (net_->GetNode(p) == nullptr || marks_.Has(p, kMarkAncestor)) {
          return;
        }
        marks_.Set(p, kMarkAncestor);
        stack_.push_back(p);
      });
    }
  }

  void Process(int h, bool from_child) {
    VRN_node* node = net_->GetNode(h);
    VRN_nodeVal* value = node->Value();
    const bool has_evidence = value->HasEvidence();
    // The expected utilities of a decision depend on what is known below it,
    // but a decision passes no influence up to its informational parents.
    if (HasTypeBit(*node, qelta::kDefBitDecision) && from_child &&
        !has_evidence) {
      value->Invalidate();
      return;
    }
    // Implied evidence that no observation depends on is a function of the
    // evidence it came from: it neither changes nor passes influence on.
    if (value->HasFlags(qelta::kValFlagPropagated) &&
        !value->HasFlags(qelta::kValFlagEvidence) &&
        !marks_.Has(h, kMarkAncestor)) {
      return;
    }
    if (!has_evidence && !marks_.Has(h, kMarkValueChanged)) {
      if (marks_.Has(h, kMarkFinished)) {
        // Met before only from a parent: its parents are reached now.
        if (from_child && marks_.Has(h, kMarkFromParent)) {
          marks_.Clear(h, kMarkFromParent);
          VisitParents(h);
        }
        return;
      }
      marks_.Set(h, (from_child ? kMarkFromChild : kMarkFromParent) |
                        kMarkFinished);
      value->Invalidate();
      NoteUtilityChange(*node);
      VisitChildren(h);
      if (from_child || marks_.Has(h, kMarkAncestor)) VisitParents(h);
      return;
    }
    // Observed, or the node whose own evidence changed: chains are blocked,
    // a converging connection is open.
    if (!marks_.Has(h, kMarkFinished) && !from_child) {
      marks_.Set(h, kMarkFinished);
      VisitParents(h);
    }
  }

  VRN_network* net_;
  qelta::WalkMarks& marks_;
  int extra_parent_;
  int extra_child_;
  bool utility_changed_ = false;
  std::vector<Visit> pending_;
  std::vector<int> stack_;
};

// Enters evidence implied through deterministic table entries, starting at
// a node with evidence. Depth-first like a recursion over the nodes that
// receive implied evidence, with the frames kept on a vector.
// Its visited marks (kMarkFinished) are the network's walk marks; the
// caller starts their generation.
class EvidencePropagation {
 public:
  // log: whether conflicts go to the error log.
  explicit EvidencePropagation(VRN_network* net, bool log = true)
      : net_(net), marks_(net->Marks()), log_(log) {}

  // 0, -2 when the node has no evidence, -26 (logged) for implied evidence
  // that contradicts evidence already present.
  int Run(int start) {
    VRN_node* node = net_->GetNode(start);
    if (node == nullptr || !node->Value()->HasEvidence()) {
      return qelta::kErrOutOfRange;
    }
    marks_.Set(start, kMarkFinished);
    frames_.assign(1, Frame{start, Stage::kDown, 0, 0});
    while (!frames_.empty()) {
      int next = -1;
      const int status = Step(&next);
      if (status != qelta::kOk) return status;
      if (next >= 0) {
        marks_.Set(next, kMarkFinished);
        frames_.push_back(Frame{next, Stage::kDown, 0, 0});
      }
    }
    return qelta::kOk;
  }

 private:
  enum class Stage { kDown, kUp, kDone };
  // Where the work on one node stands: the child (or parent) index and, for
  // children, the next outcome to try.
  struct Frame {
    int node;
    Stage stage;
    int index;
    int outcome;
  };

  static bool SkipsDownward(int type) {
    return type == qelta::kDefEquation || type == qelta::kDefMau ||
           type == qelta::kDefUtility || type == qelta::kDefDecision;
  }

  int Conflict(const VRN_node& from, const VRN_node& to) {
    if (!log_) return qelta::kErrEvidenceConflict;
    return net_->ErrorLog()->Logf(
        qelta::kErrEvidenceConflict,
        "ERROR: conficting evidence between nodes [%s] and [%s]",
        from.GetId(), to.GetId());
  }

  // Advances the top frame until it needs a node explored (*next set), ends
  // (popped) or fails.
  int Step(int* next) {
    Frame& frame = frames_.back();
    VRN_node* node = net_->GetNode(frame.node);
    int status = qelta::kOk;
    if (frame.stage == Stage::kDown) {
      status = StepDown(frame, *node, next);
      if (status != qelta::kOk || *next >= 0) return status;
      const int type = node->Definition()->GetType();
      frame.stage = type == qelta::kDefDecision || type == qelta::kDefEquation
                        ? Stage::kDone
                        : Stage::kUp;
      frame.index = 0;
    }
    if (frame.stage == Stage::kUp) {
      status = StepUp(frame, *node, next);
      if (status != qelta::kOk || *next >= 0) return status;
    }
    frames_.pop_back();
    return qelta::kOk;
  }

  // A child whose table gives 1.0 to outcome s, and exactly 0.0 to the
  // others, wherever the evidence of its parents agrees must be in s.
  int StepDown(Frame& frame, const VRN_node& node, int* next) {
    const VRN_intArray& children = node.Children();
    for (; frame.index < children.GetSize(); ++frame.index, frame.outcome = 0) {
      VRN_node* child = net_->GetNode(children[frame.index]);
      if (child == nullptr || SkipsDownward(child->Definition()->GetType()) ||
          ReadsLastSlice(*net_, *child, node)) {
        continue;
      }
      std::unique_ptr<VRN_matrix> scratch;
      const VRN_matrix* table =
          InferenceView(HookTable(*net_, child->Definition()), &scratch);
      if (table == nullptr) continue;
      const int outcomes = table->GetSize(table->GetDimensionCount() - 1);
      while (frame.outcome < outcomes) {
        const int s = frame.outcome++;
        if (!EvidenceCoordinates(*net_, *child, *table, s, &coords_)) break;
        if (table->ForcesOutcome(coords_) != 1) continue;
        VRN_nodeVal* value = child->Value();
        if (value->HasEvidence()) {
          if (value->GetEvidence() != s) return Conflict(node, *child);
          continue;
        }
        if (value->SetPropagatedEvidence(s) != qelta::kOk) continue;
        if (!marks_.Has(children[frame.index], kMarkFinished)) {
          *next = children[frame.index];
          return qelta::kOk;
        }
      }
    }
    return qelta::kOk;
  }

  // A parent left with exactly one outcome under which the node's evidence
  // has non-zero probability must be in that outcome.
  int StepUp(Frame& frame, const VRN_node& node, int* next) {
    std::unique_ptr<VRN_matrix> scratch;
    const VRN_matrix* table =
        InferenceView(HookTable(*net_, node.Definition()), &scratch);
    if (table == nullptr) return qelta::kOk;
    const VRN_intArray& parents = node.Parents();
    for (; frame.index < parents.GetSize(); ++frame.index) {
      VRN_node* parent = net_->GetNode(parents[frame.index]);
      if (parent == nullptr ||
          parent->Definition()->GetType() == qelta::kDefDecision ||
          ReadsLastSlice(*net_, node, *parent)) {
        continue;
      }
      if (!EvidenceCoordinates(*net_, node, *table, -1, &coords_)) break;
      const int i = frame.index;
      int possible = 0;
      int only = -1;
      for (int t = 0; t < table->GetSize(i) && possible < 2; ++t) {
        coords_[i] = t;
        if (table->AllEqualTo(0.0, coords_) != 1) {
          ++possible;
          only = t;
        }
      }
      if (possible != 1) continue;
      VRN_nodeVal* value = parent->Value();
      if (value->HasEvidence()) {
        if (value->GetEvidence() != only) return Conflict(node, *parent);
        continue;
      }
      if (value->SetPropagatedEvidence(only) != qelta::kOk) continue;
      if (!marks_.Has(parents[frame.index], kMarkFinished)) {
        *next = parents[frame.index];
        ++frame.index;
        return qelta::kOk;
      }
    }
    return qelta::kOk;
  }

  VRN_network* net_;
  qelta::WalkMarks& marks_;
  bool log_;
  std::vector<Frame> frames_;
  VRN_intArray coords_;
};

// Drops every implied outcome and, with evidence propagation on, enters
// afresh what the evidence present implies. log: as for EvidencePropagation.
void RebuildImpliedEvidence(VRN_network* net, bool log) {
  // Copied: the passes below add the nodes they give implied evidence to.
  std::vector<int> listed = net->EvidenceNodes();
  for (int n : listed) {
    VRN_nodeVal* other = net->GetNode(n)->Value();
    if (other->HasFlags(qelta::kValFlagPropagated)) {
      (void)other->ClearPropagatedEvidence();
    }
  }
  net->SetImpliedEvidenceStale(false);
  if ((net->GetFlags() & qelta::kNetEvidencePropagation) == 0) return;
  std::vector<int> evidence;
  for (int n : net->EvidenceNodes()) {
    if (net->GetNode(n)->Value()->HasEvidence()) evidence.push_back(n);
  }
  net->Marks().Begin(net->GetSlotCount());
  EvidencePropagation propagation(net, log);
  // A conflict was logged (or is known); the rest still has to run.
  for (int n : evidence) (void)propagation.Run(n);
}

// The implied outcomes, as (handle, outcome) in handle order.
std::vector<std::pair<int, int>> ImpliedOutcomes(VRN_network* net) {
  std::vector<std::pair<int, int>> out;
  for (int h : net->EvidenceNodes()) {
    const VRN_nodeVal* value = net->GetNode(h)->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      out.emplace_back(h, value->GetEvidence());
    }
  }
  return out;
}

// In an influence diagram the solver indexes each value by the scenario
// nodes it depends on, which the structure and the evidence of the whole
// diagram decide, and it computes every value again at each update. No
// walk tells which values keep their numbers and their layout after an
// edit there: only the point masses of evidence stay valid. The solvers'
// own passing edits of the diagram (a utility node added for the run and
// deleted again) are no edits of the model.
bool InvalidateIfDiagram(VRN_network* net) {
  if (net->IsUpdating() || !net->IsInfluenceDiagram()) return false;
  const int slots = net->GetSlotCount();
  for (int h = 0; h < slots; ++h) {
    VRN_node* node = net->GetNode(h);
    if (node == nullptr) continue;
    VRN_nodeVal* value = node->Value();
    if (!value->HasEvidence() || value->IsPlate()) value->Invalidate();
  }
  return true;
}

// The nodes whose implied outcome appeared, went or changed between two
// lists of ImpliedOutcomes.
std::vector<int> MovedImplied(const std::vector<std::pair<int, int>>& before,
                              const std::vector<std::pair<int, int>>& after) {
  std::vector<int> moved;
  size_t i = 0;
  size_t j = 0;
  while (i < before.size() || j < after.size()) {
    if (j == after.size() ||
        (i < before.size() && before[i].first < after[j].first)) {
      moved.push_back(before[i++].first);
    } else if (i == before.size() || after[j].first < before[i].first) {
      moved.push_back(after[j++].first);
    } else {
      if (before[i].second != after[j].second) moved.push_back(after[j].first);
      ++i;
      ++j;
    }
  }
  return moved;
}

// The common work of the relevance hooks. The values marked valid were
// computed with the evidence present before the edit; they are judged by
// it. Two kinds of start node:
// - sources, whose model changed (a table, an arc into them, outcomes):
//   influence leaves them downward unless they hold evidence, and upward
//   when they hold evidence or lie above it;
// - changed nodes, whose own evidence changed: the one named by `changed`
//   (-1 for none) and every node whose implied outcome the rebuild below
//   made appear, go or move. Influence leaves them in every direction, so
//   whatever the walk would have reached through them, had they blocked or
//   not, is reached.
// extra_parent names the parent of an arc to the only source that was just
// removed (-1 for none). log: whether conflicts in the rebuild are logged.
int UpdateRelevance(VRN_network* net, const int* sources, int count,
                    int extra_parent, int changed, bool log = true) {
  if (!net->IsRelevanceReasoning()) return qelta::kOk;
  for (int i = 0; i < count; ++i) {
    const int h = sources[i];
    if (net->GetNode(h) == nullptr) return qelta::kErrOutOfRange;
  }

  const std::vector<std::pair<int, int>> before = ImpliedOutcomes(net);
  RebuildImpliedEvidence(net, log);
  if (InvalidateIfDiagram(net)) {
    net->InvalidateIfDynamic();
    return qelta::kOk;
  }
  std::vector<int> moved = MovedImplied(before, ImpliedOutcomes(net));
  if (changed >= 0 && net->GetNode(changed) != nullptr) moved.push_back(changed);

  const int extra_child = extra_parent >= 0 && count == 1 ? sources[0] : -1;
  RelevanceWalk walk(net, extra_child >= 0 ? extra_parent : -1, extra_child);
  walk.Prepare();
  // Each start node counts as met from a parent, so that the walk from
  // another one, arriving from below, still goes on to its parents.
  for (int h : moved) {
    walk.Mark(h, kMarkFinished | kMarkFromParent | kMarkValueChanged);
  }
  for (int i = 0; i < count; ++i) {
    walk.Mark(sources[i], kMarkFinished | kMarkFromParent);
  }
  auto start = [&](int h) {
    VRN_node* node = net->GetNode(h);
    VRN_nodeVal* value = node->Value();
    const bool evidence_changed = walk.HasMark(h, kMarkValueChanged);
    if (!value->HasEvidence()) {
      value->Invalidate();
      walk.NoteUtilityChange(*node);
      walk.VisitChildren(h);
    } else if (evidence_changed) {
      walk.VisitChildren(h);
    }
    if (!HasTypeBit(*node, qelta::kDefBitDecision) &&
        (value->HasEvidence() || evidence_changed ||
         walk.HasMark(h, kMarkAncestor))) {
      walk.VisitParents(h);
    }
  };
  for (int i = 0; i < count; ++i) start(sources[i]);
  for (int h : moved) start(h);
  walk.Run();
  walk.InvalidateDecisionsIfNeeded();
  net->InvalidateIfDynamic();
  return qelta::kOk;
}

int UpdateRelevance(VRN_network* net, int h, int extra_parent, int changed) {
  return UpdateRelevance(net, &h, 1, extra_parent, changed);
}

}  // namespace

void qelta::WalkMarks::Begin(int slots) {
  if (stamp_.size() < static_cast<size_t>(slots)) {
    stamp_.resize(static_cast<size_t>(slots), 0);
    marks_.resize(static_cast<size_t>(slots), 0);
  }
  if (++generation_ == 0) {
    // The stamps wrapped: none may look current.
    std::fill(stamp_.begin(), stamp_.end(), 0);
    generation_ = 1;
  }
}

void VRN_network::NoteEvidenceNode(int handle) {
  if (handle < 0) return;
  const size_t h = static_cast<size_t>(handle);
  if (evidenceListed_.size() <= h) evidenceListed_.resize(h + 1, 0);
  if (evidenceListed_[h] != 0) return;
  evidenceNodes_.push_back(handle);
  evidenceListed_[h] = 1;
}

const std::vector<int>& VRN_network::EvidenceNodes() {
  size_t kept = 0;
  for (int h : evidenceNodes_) {
    VRN_node* node = GetNode(h);
    if (node != nullptr &&
        node->Value()->HasFlags(qelta::kValFlagEvidence |
                                qelta::kValFlagPropagated |
                                qelta::kValFlagVirtual)) {
      evidenceNodes_[kept++] = h;
    } else {
      evidenceListed_[static_cast<size_t>(h)] = 0;
    }
  }
  evidenceNodes_.resize(kept);
  std::sort(evidenceNodes_.begin(), evidenceNodes_.end());
  return evidenceNodes_;
}

void VRN_network::InvalidateValue(int handle) {
  VRN_nodeVal* value = nodes_[handle]->Value();
  // A plate node's value holds the beliefs of the slices after its own
  // evidence too.
  if (!value->HasEvidence() || value->IsPlate()) value->Invalidate();
}

// ----------------------------------------------------------------- targets

int VRN_network::SetTarget(int handle, bool on) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (node->IsTarget() == on) return qelta::kErrInvalidValue;
  VRN_autoUpdateGuard guard(this, true);
  node->SetTargetMark(on);
  numTargets_ += on ? 1 : -1;
  return qelta::kOk;
}

int VRN_network::IsTarget(int handle) const {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  return node->IsTarget() ? 1 : 0;
}

int VRN_network::ClearAllTargets() {
  VRN_autoUpdateGuard guard(this, true);
  for (VRN_node* node : nodes_) {
    if (node != nullptr) node->SetTargetMark(false);
  }
  numTargets_ = 0;
  return qelta::kOk;
}

// ---------------------------------------------------------------- evidence

int VRN_network::ClearAllEvidence() {
  VRN_relevanceOffGuard relevance_off(this);
  VRN_autoUpdateGuard guard(this, true);
  for (VRN_node* node : nodes_) {
    if (node == nullptr) continue;
    VRN_nodeVal* value = node->Value();
    if (value->HasFlags(qelta::kValFlagPropagated)) {
      (void)value->ClearPropagatedEvidence();
    }
    // A propagated mark can sit beside virtual evidence; clear that too.
    if (value->HasFlags(qelta::kValFlagEvidence | qelta::kValFlagVirtual)) {
      (void)value->ClearEvidence();
    }
  }
  if (dbn_ != nullptr) dbn_->ClearAllTemporalEvidence();
  // Nothing is left to imply anything.
  impliedStale_ = false;
  EmptyTableCache();
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr) InvalidateValue(static_cast<int>(h));
  }
  return qelta::kOk;
}

int VRN_network::InvalidateValues() {
  EmptyTableCache();
  for (size_t h = 0; h < nodes_.size(); ++h) {
    if (nodes_[h] != nullptr) InvalidateValue(static_cast<int>(h));
  }
  bookkeepingSkipped_ = false;
  return qelta::kOk;
}

void VRN_network::DropSkippedValuesIfBooked() {
  if (bookkeepingSkipped_ && IsRelevanceReasoning() &&
      (relevanceOptions_ & qelta::kRelAllOptions) == qelta::kRelAllOptions) {
    (void)InvalidateValues();
  }
}

void VRN_network::SetImpliedEvidenceStale(bool stale) {
  const bool was = impliedStale_;
  impliedStale_ = stale;
  if (!stale && !was) return;
  // The list holds every node with an implied outcome; it is only read
  // here, as a caller may be walking it.
  for (int h : evidenceNodes_) {
    VRN_node* node = GetNode(h);
    if (node == nullptr) continue;
    VRN_nodeVal* value = node->Value();
    if (!value->HasFlags(qelta::kValFlagPropagated) ||
        value->HasFlags(qelta::kValFlagEvidence)) {
      continue;
    }
    if (stale) {
      value->Invalidate();
    } else if (!value->IsValueValid()) {
      // Current after all (the edits that marked it changed nothing it
      // implies): its point mass is the value again.
      const int outcome = value->GetEvidence();
      (void)value->ClearPropagatedEvidence();
      (void)value->SetPropagatedEvidence(outcome);
    }
  }
}

void VRN_network::RefreshImpliedEvidence() {
  if (!impliedStale_) return;
  const std::vector<std::pair<int, int>> before = ImpliedOutcomes(this);
  if (IsRelevanceReasoning()) {
    RebuildImpliedEvidence(this, false);
  } else {
    for (const auto& implied : before) {
      (void)nodes_[implied.first]->Value()->ClearPropagatedEvidence();
    }
    impliedStale_ = false;
  }
  // Values computed while other outcomes were implied may be wrong.
  if (ImpliedOutcomes(this) != before) (void)InvalidateValues();
}

VRN_nodeVal* VRN_network::EvidenceOf(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return nullptr;
  RefreshImpliedEvidence();
  return node->Value();
}

int VRN_network::OnStructureChange() {
  if (IsRelevanceReasoning()) {
    (void)InvalidateValues();
  } else {
    NoteSkippedBookkeeping();
  }
  return qelta::kOk;
}

// ------------------------------------------------------------------- hooks

int VRN_network::OnArcAdded(int parent, int child) {
  if (!HookEnabled(*this, qelta::kRelArcAdded)) return qelta::kOk;
  return UpdateRelevance(this, child, -1, -1);
}

int VRN_network::OnArcRemoved(int parent, int child) {
  if (!HookEnabled(*this, qelta::kRelArcRemoved)) return qelta::kOk;
  // Without the arc the walk could no longer reach the former parent, whose
  // value was computed with it.
  return UpdateRelevance(this, child, GetNode(parent) != nullptr ? parent : -1,
                         -1);
}

int VRN_network::OnEvidenceChange(int handle, int kind) {
  if (kind != qelta::kChangeOutcomes && kind != qelta::kChangeTable &&
      kind != qelta::kChangeEquation) {
    return qelta::kOk;
  }
  if (!HookEnabled(*this, kind)) return qelta::kOk;
  if (kind != qelta::kChangeOutcomes) {
    return UpdateRelevance(this, handle, -1, -1);
  }
  // An outcome inserted or removed moves the indices after it: a child that
  // reads the index changes even where the node's evidence blocks.
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  std::vector<int> sources(1, handle);
  AddIndexReaders(*this, handle, &sources);
  return UpdateRelevance(this, sources.data(), static_cast<int>(sources.size()),
                         -1, -1);
}

int VRN_network::OnOutcomeOrderChanged(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (!HookEnabled(*this, qelta::kChangeOutcomes)) return qelta::kOk;
  // A table that permutes along with the outcomes keeps the model; its
  // value was permuted with them. Any other definition (a canonical one
  // keeps its distinguished columns in place) has a new model, and children
  // that read the index have too. In a diagram, values indexed by the node
  // have their dimension in another order.
  std::vector<int> sources;
  const int type = node->Definition()->GetType();
  if ((type != qelta::kDefCpt && type != qelta::kDefTruthTable &&
       type != qelta::kDefDecision) ||
      IsInfluenceDiagram()) {
    sources.push_back(handle);
  }
  AddIndexReaders(*this, handle, &sources);
  // Without sources the walk still derives implied evidence again: a
  // canonical child told of the reorder before the other children derived
  // it from their tables in the old order, and implied outcomes that moved
  // reach what lies beyond them.
  return UpdateRelevance(this, sources.data(), static_cast<int>(sources.size()),
                         -1, -1);
}

void VRN_network::OnPropagationSwitched() {
  // Implied evidence already stale lost its cause to edits made without
  // the bookkeeping: the walk cannot tell what they reached.
  if (impliedStale_) {
    RefreshImpliedEvidence();
    return;
  }
  // Conflicts between evidence already present are no fault of the switch:
  // unlogged, as when stale implied evidence is derived again.
  (void)UpdateRelevance(this, nullptr, 0, -1, -1, false);
}

int VRN_network::OnOutcomeValuesChanged(int handle) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  std::vector<int> sources;
  AddIndexReaders(*this, handle, &sources);
  if (sources.empty() || !HookEnabled(*this, qelta::kChangeEquation)) {
    return qelta::kOk;
  }
  return UpdateRelevance(this, sources.data(), static_cast<int>(sources.size()),
                         -1, -1);
}

int VRN_network::OnDefinitionReplacing(int handle) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  if (!HookEnabled(*this, qelta::kRelTableChanged)) return qelta::kOk;
  // Judged on the old kind, its evidence and its arcs, which may go before
  // the new kind reports: as if its model and its evidence changed.
  return UpdateRelevance(this, handle, -1, handle);
}

int VRN_network::OnTablesChanged(const std::vector<int>& handles) {
  if (!HookEnabled(*this, qelta::kRelTableChanged) || handles.empty()) {
    return qelta::kOk;
  }
  return UpdateRelevance(this, handles.data(), static_cast<int>(handles.size()),
                         -1, -1);
}

int VRN_network::OnNodeDeleting(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  // Without arcs only a utility still reaches other values: it adds to
  // every decision's expected utility. In a diagram a node may index
  // values without an arc, and leaves no handle among indexing parents.
  if (!HookEnabled(*this, qelta::kRelArcRemoved)) return qelta::kOk;
  if (InvalidateIfDiagram(this)) return qelta::kOk;
  if (!HasTypeBit(*node, qelta::kDefBitUtility)) return qelta::kOk;
  return UpdateRelevance(this, handle, -1, -1);
}

int VRN_network::OnNodeValueChange(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (!HookEnabled(*this, qelta::kRelEvidenceCleared)) return qelta::kOk;
  if (node->Definition()->GetType() == qelta::kDefEquation) {
    InvalidateAllOthers(*this, handle);
    SetImpliedEvidenceStale(true);  // not rebuilt here
    return qelta::kOk;
  }
  return UpdateRelevance(this, handle, -1, handle);
}

int VRN_network::CheckImpossibleEvidence(int handle) {
  VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  if (!HookEnabled(*this, qelta::kRelEvidenceSet)) return qelta::kOk;
  VRN_nodeDef* definition = node->Definition();
  if (definition->GetType() == qelta::kDefEquation) {
    InvalidateAllOthers(*this, handle);
    // The observation may imply outcomes below it (a child whose table
    // forces one outcome whatever the number): derived before the next
    // update, as any later edit's walk would, so that the implied outcomes
    // and the discretizations fixed by them do not depend on the edits
    // made in between.
    SetImpliedEvidenceStale(true);
    return qelta::kOk;
  }
  VRN_nodeVal* value = node->Value();
  std::unique_ptr<VRN_matrix> scratch;
  const VRN_matrix* table =
      InferenceView(HookTable(*this, definition), &scratch);
  const int own = value->HasEvidence() ? value->GetEvidence() : -1;
  VRN_intArray coords;
  if (table != nullptr && own >= 0 &&
      EvidenceCoordinates(*this, *node, *table, -1, &coords) &&
      coords[coords.GetSize() - 1] >= 0 && table->AllEqualTo(0.0, coords) == 1) {
    const VRN_idArray* ids = definition->GetOutcomesNames();
    const char* outcome = ids != nullptr ? ids->Get(own) : nullptr;
    return errorLog_->Logf(qelta::kErrOutOfRange,
                           "Outcome [%s] of node [%s] is impossible",
                           outcome != nullptr ? outcome : "", node->GetId());
  }

  RelevanceWalk walk(this, -1, -1);
  walk.Prepare();
  walk.Mark(handle, qelta::kMarkFinished);
  walk.VisitChildren(handle);
  walk.VisitParents(handle);
  walk.Run();
  int status = qelta::kOk;
  if ((flags_ & qelta::kNetEvidencePropagation) != 0) {
    walkMarks_.Begin(GetSlotCount());
    status = EvidencePropagation(this).Run(handle);
  }
  walk.InvalidateDecisionsIfNeeded();
  (void)InvalidateIfDiagram(this);
  InvalidateIfDynamic();
  return status;
}

// ------------------------------------------------------ ancestry queries

int VRN_network::GetAncestors(int handle, VRN_intArray& out) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  CollectReachable(
      *this, handle, qelta::kMarkAncestor,
      [](const VRN_node& n) -> const VRN_intArray& { return n.Parents(); },
      out);
  return qelta::kOk;
}

int VRN_network::GetDescendants(int handle, VRN_intArray& out) {
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  CollectReachable(
      *this, handle, qelta::kMarkDescendant,
      [](const VRN_node& n) -> const VRN_intArray& { return n.Children(); },
      out);
  return qelta::kOk;
}

int VRN_network::GetCostDescendants(int handle, VRN_intArray& out) {
  out.Flush();
  if (GetNode(handle) == nullptr) return qelta::kErrOutOfRange;
  CollectReachable(
      *this, handle, qelta::kMarkDescendant,
      [](const VRN_node& n) -> const VRN_intArray& {
        return n.GetCostChildren();
      },
      out);
  return qelta::kOk;
}
