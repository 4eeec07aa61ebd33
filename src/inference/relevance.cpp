// Relevance reasoning: builds the working graph of one query, prunes it and
// splits it into independent parts (see relevance.h).
#include "inference/relevance.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "inference/table_columns.h"
#include "equations/equation.h"
#include "inference/clustering_cache.h"

namespace qelta {

// All records of one run live in one allocation, taken from and given back
// to the network's clustering cache: a large network would otherwise get
// its records' memory fresh from the system on every update. Each record
// holds a reference; the block goes, and its storage back to the cache,
// when the last record does.
struct RelevanceBlock {
  void* storage = nullptr;
  std::size_t bytes = 0;
  ClusteringCache* keeper = nullptr;
  int capacity = 0;
  int live = 0;
  int next = 0;

  // A new block with room for n records of network. Throws std::bad_alloc.
  static RelevanceBlock* Create(int n, VRN_network* network) {
    std::unique_ptr<RelevanceBlock> block(new RelevanceBlock);
    if (n > 0) {
      block->keeper = ClusteringCache::Of(network);
      block->storage = block->keeper->TakeStorage(
          sizeof(VRN_relevanceNode) * static_cast<std::size_t>(n),
          &block->bytes);
    }
    block->capacity = n;
    return block.release();
  }

  // The next record, fresh, for node (null for an auxiliary record).
  VRN_relevanceNode* Take(VRN_node* node) {
    assert(next < capacity);
    void* place = static_cast<char*>(storage) +
                  sizeof(VRN_relevanceNode) * static_cast<size_t>(next);
    ++next;
    ++live;
    return new (place) VRN_relevanceNode(node, this);
  }

  // Destroys record and frees the block when it was the last one.
  static void Destroy(VRN_relevanceNode* record) {
    RelevanceBlock* block = record->block_;
    record->~VRN_relevanceNode();
    block->Drop();
  }

  // Frees the block when no record refers to it any more.
  void Drop() {
    if (--live > 0) return;
    FreeStorage();
    delete this;
  }

  // Frees a block from which no record was ever taken.
  void FreeIfUnused() {
    if (live == 0) {
      FreeStorage();
      delete this;
    }
  }

  void FreeStorage() {
    if (keeper != nullptr) {
      keeper->ReturnStorage(storage, bytes);
    } else {
      ::operator delete(storage);
    }
  }
};

}  // namespace qelta

using qelta::RelevanceBlock;

// ------------------------------------------------------------------ records

VRN_relevanceNode::VRN_relevanceNode(VRN_node* node,
                                     qelta::RelevanceBlock* block)
    : node_(node), block_(block) {}

VRN_relevanceNode::~VRN_relevanceNode() { delete owned_; }

int VRN_relevanceNode::GetHandle() const {
  return node_ != nullptr ? node_->Handle() : -1;
}

int VRN_relevanceNode::GetOutcomeCount() const {
  if (table_ == nullptr || table_->IsEmpty()) return 0;
  return table_->GetSize(table_->GetDimensionCount() - 1);
}

void VRN_relevanceNode::BorrowTable(const VRN_matrix* table) {
  delete owned_;
  owned_ = nullptr;
  source_ = table;
  table_ = table;
  tableKind_ = table != nullptr ? qelta::kRelTableBorrowed : qelta::kRelTableNone;
}

void VRN_relevanceNode::OwnTable(VRN_matrix* table) {
  if (table != owned_) delete owned_;
  owned_ = table;
  table_ = table;
  tableKind_ = qelta::kRelTableOwned;
}

VRN_matrix* VRN_relevanceNode::MutableTable() {
  if (tableKind_ == qelta::kRelTableOwned) return owned_;
  if (table_ == nullptr) return nullptr;
  OwnTable(new VRN_matrix(*table_));
  return owned_;
}

void VRN_relevanceNode::WritePointMass(int state, int count) {
  assert(node_ != nullptr);
  VRN_nodeVal* value = node_->Value();
  (void)value->ShapeAsBeliefs(count);
  VRN_matrix& beliefs = value->GetMutableValue();
  beliefs.FillWith(0.0);
  *beliefs.ItemAddress(state) = 1.0;
  value->AddFlags(qelta::kValFlagValid);
  value->SetUpdateTag(0);
}

int VRN_relevanceNode::PrepareBeliefs(int count) {
  if (node_ == nullptr || count < 1) return qelta::kErrOutOfRange;
  return node_->Value()->ShapeAsBeliefs(count);
}

int VRN_relevanceNode::CopyTableToBeliefs() {
  const int count = GetOutcomeCount();
  if (node_ == nullptr || count < 1 || table_->GetItemCount() != count) {
    return qelta::kErrOutOfRange;
  }
  const int status = PrepareBeliefs(count);
  if (status != qelta::kOk) return status;
  VRN_nodeVal* value = node_->Value();
  value->GetMutableValue().SetItemsFromBuffer(table_->GetItems().Items());
  value->AddFlags(qelta::kValFlagValid);
  value->SetUpdateTag(0);
  return qelta::kOk;
}

int VRN_relevanceNode::SetDerivedEvidence(int state) {
  const int count = GetOutcomeCount();
  if (state < 0 || state >= count) return qelta::kErrOutOfRange;
  evidence_ = state;
  if (node_ != nullptr) WritePointMass(state, count);
  return qelta::kOk;
}

int VRN_relevanceNode::RestrictToParentState(VRN_relevanceNode* child,
                                             VRN_relevanceNode* parent) {
  const int d = child->parents_.Find(parent);
  if (d < 0 || parent->evidence_ < 0 || child->table_ == nullptr) {
    return qelta::kErrOutOfRange;
  }
  if (child->tableKind_ == qelta::kRelTableOwned) {
    return child->owned_->RemoveDimensionAt(d, parent->evidence_);
  }
  std::unique_ptr<VRN_matrix> slice(new VRN_matrix);
  const int status = child->table_->ExtractSlice(d, parent->evidence_, *slice);
  if (status != qelta::kOk) return status;
  child->OwnTable(slice.release());
  return qelta::kOk;
}

// -------------------------------------------------------------------- parts

VRN_relevancePart::~VRN_relevancePart() {
  for (VRN_relevanceNode* record : records_) RelevanceBlock::Destroy(record);
}

int VRN_relevancePart::IndexOf(const VRN_relevanceNode* record) const {
  if (record == nullptr || record->owner_ != this) return -1;
  return record->localIndex_;
}

void VRN_relevancePart::Add(VRN_relevanceNode* record) {
  records_.Add(record);
  record->owner_ = this;
  record->localIndex_ = records_.GetSize() - 1;
}

void VRN_relevancePart::Renumber() {
  for (int i = 0; i < records_.GetSize(); ++i) {
    records_[i]->owner_ = this;
    records_[i]->localIndex_ = i;
  }
}

void VRN_relevancePart::VisitDepthFirst(
    VRN_relevanceNode* start,
    qelta::InlinePointerArray<VRN_relevanceNode, 8>& out) {
  if (start->mark_ == qelta::kRelMarkVisited) return;
  // Explicit stack of (record, next parent position): a record is appended
  // once all its parents have been.
  struct Frame {
    VRN_relevanceNode* record;
    int next;
  };
  std::vector<Frame> stack;
  start->mark_ = qelta::kRelMarkVisited;
  stack.push_back({start, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.record->parents_.GetSize()) {
      VRN_relevanceNode* parent = top.record->parents_[top.next++];
      if (parent->mark_ != qelta::kRelMarkVisited) {
        parent->mark_ = qelta::kRelMarkVisited;
        stack.push_back({parent, 0});
      }
      continue;
    }
    out.Add(top.record);
    stack.pop_back();
  }
}

void VRN_relevancePart::SortTopologically() {
  const int n = records_.GetSize();
  for (VRN_relevanceNode* record : records_) record->mark_ = qelta::kRelMarkFresh;
  qelta::InlinePointerArray<VRN_relevanceNode, 8> sorted;
  sorted.Reserve(n);
  for (int i = 0; i < n; ++i) VisitDepthFirst(records_[i], sorted);
  for (int i = 0; i < n; ++i) records_[i] = sorted[i];
  Renumber();
}

void VRN_relevancePart::SortTopologicallyEvidenceFirst() {
  const int n = records_.GetSize();
  std::vector<VRN_relevanceNode*> order(records_.begin(), records_.end());
  std::vector<double> zero_fraction(n, 0.0);
  auto fraction_of = [](const VRN_relevanceNode* record) {
    const VRN_matrix* table = record->table_;
    if (table == nullptr || table->GetItemCount() == 0) return 0.0;
    int zeros = 0;
    for (double v : table->GetItems()) {
      if (v == 0.0) ++zeros;
    }
    return static_cast<double>(zeros) / table->GetItemCount();
  };
  // One pass: an observed record met at position i takes the place of the
  // first record after the observed front, which moves to position i; the
  // observed record is inserted into the front after every record of equal
  // or smaller fraction.
  int front = 0;
  for (int i = 0; i < n; ++i) {
    VRN_relevanceNode* record = order[i];
    if (!record->IsObserved()) continue;
    const double f = fraction_of(record);
    order[i] = order[front];
    int p = front;
    while (p > 0 && zero_fraction[p - 1] > f) {
      order[p] = order[p - 1];
      zero_fraction[p] = zero_fraction[p - 1];
      --p;
    }
    order[p] = record;
    zero_fraction[p] = f;
    ++front;
  }
  for (VRN_relevanceNode* record : records_) record->mark_ = qelta::kRelMarkFresh;
  qelta::InlinePointerArray<VRN_relevanceNode, 8> sorted;
  sorted.Reserve(n);
  for (VRN_relevanceNode* record : order) VisitDepthFirst(record, sorted);
  for (int i = 0; i < n; ++i) records_[i] = sorted[i];
  Renumber();
}

VRN_relevanceParts::~VRN_relevanceParts() {
  for (VRN_relevancePart* part : parts_) delete part;
}

void VRN_relevanceParts::DestroyPart(int i) {
  delete parts_[i];
  parts_[i] = nullptr;
}

void VRN_relevanceParts::RemovePart(int i) {
  delete parts_[i];
  parts_.RemoveAt(i);
}

void VRN_relevanceParts::Add(VRN_relevancePart* part) {
  std::unique_ptr<VRN_relevancePart> owned(part);
  parts_.Add(part);
  owned.release();
}

// -------------------------------------------------------------- the builder

namespace qelta {

class RelevanceBuilder {
 public:
  RelevanceBuilder(VRN_network* network, int flags)
      : network_(network), flags_(flags), graph_(network) {}

  RelevanceBuilder(const RelevanceBuilder&) = delete;
  RelevanceBuilder& operator=(const RelevanceBuilder&) = delete;

  VRN_relevanceParts* Run();

 private:
  using Records = std::vector<VRN_relevanceNode*>;

  static bool IsTarget(const VRN_relevanceNode* record) {
    return record->node_ != nullptr && record->node_->IsTarget();
  }
  static Records CopyOf(const RelevanceNodeArray8& list) {
    return Records(list.begin(), list.end());
  }
  static Records CopyOf(const RelevanceNodeArray16& list) {
    return Records(list.begin(), list.end());
  }

  void Build(bool propagated_evidence);
  // Noisy-MAX decomposition: the number of auxiliary records of node h
  // (0 when it is not decomposed), and the wiring of a decomposed node's
  // auxiliary records (`first` the first of them) and own record.
  int AuxiliaryCount(const VRN_node& node, int limit) const;
  void Decompose(VRN_relevanceNode* own, int first, int auxiliaries, int limit,
                 const std::vector<int>& record_of);
  void RemoveBarren();
  void MarkBarrenFrom(VRN_relevanceNode* record);
  void PropagateDeterministic(VRN_relevanceNode* start);
  bool DeriveTowardsChild(VRN_relevanceNode* x, VRN_relevanceNode* y);
  bool DeriveTowardsParent(VRN_relevanceNode* x, VRN_relevanceNode* p);
  void DeleteMarked(int mark);
  void AbsorbEvidence();
  void AbsorbRoots();
  bool IsAbsorbableRoot(const VRN_relevanceNode* record) const;
  int Number();
  VRN_relevanceParts* Split(int part_count);

  VRN_network* network_;
  int flags_;
  // The working graph: every record while the graph is built.
  VRN_relevancePart graph_;
  // Nodes whose own likelihoods rule out their observed or derived outcome.
  VRN_intArray impossible_;
};

namespace {

// The outcome a node's evidence selects: the interval holding the value
// for an equation node.
int EvidenceOutcome(VRN_network* network, int handle, VRN_nodeVal* value) {
  if (value->GetType() != kValEquationEvaluation) return value->GetEvidence();
  VRN_equation* equation = VRN_GetEquation(network, handle);
  double v = 0.0;
  if (equation == nullptr || value->GetContEvidence(&v) != kOk) return -1;
  (void)equation->GetDiscreteOutcomeCount();
  return equation->FindInterval(v);
}

// Whether an equation child of the node sees it as a fixed value rather
// than as a dimension of its table: observed, or a constant equation.
bool IsFixedForEquations(VRN_network* network, int handle) {
  VRN_node* node = network->GetNode(handle);
  if (node->Value()->HasEvidence()) return true;
  VRN_equation* equation = VRN_GetEquation(network, handle);
  return equation != nullptr && equation->IsConstant();
}

// Whether the node enters as a root: a DeMorgan or CAST node whose value
// carries the root flag is cut from its parents and keeps only its own
// prior. Other kinds have no table without their parents, so the flag
// leaves them as they are.
bool IsCutRoot(const VRN_node& node) {
  const int type = node.Definition()->GetType();
  return (type == kDefDemorgan || type == kDefCast) &&
         node.Value()->HasFlags(kValFlagRoot);
}

// The cut root's table [p, 1 - p]: the DeMorgan prior belief or the CAST
// baseline. Throws std::bad_alloc.
VRN_matrix* NewRootTable(const VRN_node& node) {
  const VRN_nodeDef* def = node.Definition();
  const double p = def->GetType() == kDefDemorgan
                       ? static_cast<const VRN_demorgan*>(def)->GetPriorBelief()
                       : static_cast<const VRN_cast*>(def)->GetBaseline();
  std::unique_ptr<VRN_matrix> table(new VRN_matrix);
  if (table->SetSingleDimension(2) != kOk) throw std::bad_alloc();
  table->GetItems()[0] = p;
  table->GetItems()[1] = 1.0 - p;
  return table.release();
}

}  // namespace

void RelevanceBuilder::Build(bool propagated_evidence) {
  const int slots = network_->GetLastNode() + 1;
  int virtual_count = 0;
  for (int h = network_->GetFirstNode(); h >= 0; h = network_->GetNextNode(h)) {
    if (network_->GetNode(h)->Value()->HasVirtualEvidence()) ++virtual_count;
  }
  // Noisy-MAX nodes with more parents than the limit get auxiliary records
  // (taken after every other record) and no table of their own here.
  const int limit = (flags_ & kRelevanceNoisyMaxDecomp) != 0 &&
                            network_->IsNoisyDecomp()
                        ? network_->GetNoisyDecompLimit()
                        : 0;
  std::vector<int> auxiliaries;
  int auxiliary_count = 0;
  if (limit > 1) {
    auxiliaries.assign(slots > 0 ? slots : 0, 0);
    for (int h = network_->GetFirstNode(); h >= 0;
         h = network_->GetNextNode(h)) {
      auxiliaries[h] = AuxiliaryCount(*network_->GetNode(h), limit);
      auxiliary_count += auxiliaries[h];
    }
  }
  const int record_count =
      network_->GetNumberOfNodes() + virtual_count + auxiliary_count;
  RelevanceBlock* block = RelevanceBlock::Create(record_count, network_);
  graph_.Reserve(record_count);

  // Handle -> index of the node's own record in the graph.
  std::vector<int> record_of(slots > 0 ? slots : 0, -1);
  try {
    for (int h = network_->GetFirstNode(); h >= 0;
         h = network_->GetNextNode(h)) {
      record_of[h] = graph_.GetSize();
      graph_.Add(block->Take(network_->GetNode(h)));
    }
    for (int h = network_->GetFirstNode(); h >= 0;
         h = network_->GetNextNode(h)) {
      if (network_->GetNode(h)->Value()->HasVirtualEvidence()) {
        graph_.Add(block->Take(nullptr));
      }
    }
    for (int i = 0; i < auxiliary_count; ++i) graph_.Add(block->Take(nullptr));
  } catch (...) {
    block->FreeIfUnused();
    throw;
  }
  block->FreeIfUnused();

  const int node_records = network_->GetNumberOfNodes();
  for (int i = 0; i < node_records; ++i) {
    VRN_relevanceNode* record = graph_[i];
    VRN_node* node = record->node_;
    VRN_nodeVal* value = node->Value();
    if (value->HasFlags(kValFlagEvidence) ||
        (propagated_evidence && value->HasFlags(kValFlagPropagated))) {
      record->evidence_ = EvidenceOutcome(network_, node->Handle(), value);
    }
    const bool decomposed = limit > 1 && auxiliaries[node->Handle()] > 0;
    if (!decomposed && IsCutRoot(*node)) {
      record->OwnTable(NewRootTable(*node));
    } else if (!decomposed) {
      const VRN_matrix* table = node->Definition()->GetExpandedDefinition();
      record->BorrowTable(table);
      // A canonical node whose table cannot be expanded (too large for
      // memory) cannot take part: the run fails as out of memory.
      if (table == nullptr &&
          VRN_nodeDef::IsLazyType(node->Definition()->GetType())) {
        throw std::bad_alloc();
      }
      // Every algorithm computes with distributions: a table stored with
      // columns that are not (sums of 0.7 or 15, all zeros) is taken with
      // each column normalised, a zero one uniform, from a private copy.
      if (table != nullptr &&
          ClassifyColumns(*table) == kColumnsUnnormalised) {
        VRN_matrix* copy = record->MutableTable();
        if (copy == nullptr) throw std::bad_alloc();
        (void)copy->Normalize();
      }
      const VRN_intArray& parents = node->Parents();
      const bool equation = node->Definition()->GetType() == kDefEquation;
      record->parents_.Reserve(parents.GetSize());
      for (int p : parents) {
        // An equation's table has no dimension for a fixed parent.
        if (equation && IsFixedForEquations(network_, p)) continue;
        record->parents_.Add(graph_[record_of[p]]);
      }
    }
    const VRN_intArray& children = node->Children();
    const bool fixed = IsFixedForEquations(network_, node->Handle());
    record->children_.Reserve(children.GetSize());
    for (int c : children) {
      if (fixed &&
          network_->GetNode(c)->Definition()->GetType() == kDefEquation) {
        continue;
      }
      // A decomposed child is wired by its decomposition.
      if (limit > 1 && auxiliaries[c] > 0) continue;
      if (IsCutRoot(*network_->GetNode(c))) continue;
      record->children_.Add(graph_[record_of[c]]);
    }
  }
  if (auxiliary_count > 0) {
    int next = node_records + virtual_count;
    for (int i = 0; i < node_records; ++i) {
      const int count = auxiliaries[graph_[i]->node_->Handle()];
      if (count == 0) continue;
      Decompose(graph_[i], next, count, limit, record_of);
      next += count;
    }
  }

  // Virtual evidence: an observed two-outcome child whose column i holds
  // (d(i), 1 - d(i)).
  int next_auxiliary = node_records;
  for (int i = 0; i < node_records; ++i) {
    VRN_relevanceNode* record = graph_[i];
    VRN_nodeVal* value = record->node_->Value();
    if (!value->HasVirtualEvidence()) continue;
    VRN_relevanceNode* auxiliary = graph_[next_auxiliary++];
    VRN_doubleArray likelihoods;
    const int k = record->GetOutcomeCount();
    std::unique_ptr<VRN_matrix> table(new VRN_matrix);
    const int sizes[2] = {k, 2};
    if (value->GetVirtualEvidenceArray(&likelihoods) != kOk ||
        likelihoods.GetSize() != k ||
        table->SetDimensionSizes(sizes, 2) != kOk) {
      // No usable likelihoods: a child that says nothing about the node.
      likelihoods.Flush();
      for (int s = 0; s < k; ++s) likelihoods.Add(1.0);
      if (table->SetDimensionSizes(sizes, 2) != kOk) throw std::bad_alloc();
    }
    double* items = table->GetItems().Items();
    for (int s = 0; s < k; ++s) {
      items[2 * s] = likelihoods[s];
      items[2 * s + 1] = 1.0 - likelihoods[s];
    }
    auxiliary->OwnTable(table.release());
    auxiliary->parents_.Add(record);
    record->children_.Add(auxiliary);
    (void)auxiliary->SetDerivedEvidence(0);
  }
}

namespace {

// The groups a decomposition of `inputs` inputs combines, limit L per
// group: each level cuts its inputs into groups of L; the first group and
// every complete one are combined, a trailing short group is carried.
int CombinationCount(int inputs, int limit) {
  int combinations = 0;
  while (inputs > 1) {
    const int complete = inputs / limit;
    const int rest = inputs % limit;
    const int combined = complete > 0 ? complete : 1;
    combinations += combined;
    inputs = combined + (complete > 0 ? rest : 0);
  }
  return combinations;
}

}  // namespace

int RelevanceBuilder::AuxiliaryCount(const VRN_node& node, int limit) const {
  if (node.Definition()->GetType() != kDefNoisyMax ||
      node.Value()->HasFlags(kValFlagRoot) ||
      node.Parents().GetSize() <= limit) {
    return 0;
  }
  return CombinationCount(node.Parents().GetSize(), limit) - 1;
}

void RelevanceBuilder::Decompose(VRN_relevanceNode* own, int first,
                                 int auxiliaries, int limit,
                                 const std::vector<int>& record_of) {
  const auto* noisy =
      static_cast<const VRN_noisyMAX*>(own->node_->Definition());
  const VRN_matrix& parameters = noisy->Parameters();
  const int k = parameters.GetSize(1);
  const double* items = parameters.GetItems().Items();
  // An input: a parent record with its parent index, or a combined record
  // (index -1).
  struct Input {
    VRN_relevanceNode* record;
    int parent;
  };
  std::vector<Input> inputs;
  const VRN_intArray& parents = own->node_->Parents();
  for (int i = 0; i < parents.GetSize(); ++i) {
    inputs.push_back({graph_[record_of[parents[i]]], i});
  }
  VRN_intArray identity;
  identity.FillIdentity(k);
  int used = 0;
  auto combine = [&](const Input* group, int count) {
    std::vector<VRN_intArray> strengths;
    int columns = 1;
    for (int g = 0; g < count; ++g) {
      strengths.push_back(group[g].parent >= 0
                              ? noisy->GetParentOutcomeStrengths(group[g].parent)
                              : identity);
      columns += strengths.back().GetSize();
    }
    VRN_matrix combined;
    const int sizes[2] = {columns, k};
    if (combined.SetDimensionSizes(sizes, 2) != kOk) throw std::bad_alloc();
    double* to = combined.GetItems().Items();
    int column = 0;
    for (int g = 0; g < count; ++g) {
      const int width = strengths[g].GetSize();
      if (group[g].parent >= 0) {
        const int offset = noisy->GetParentColumnOffset(group[g].parent);
        std::copy(items + offset * k, items + (offset + width) * k,
                  to + column * k);
      } else {
        for (int c = 0; c < width; ++c) {
          for (int j = 0; j < k; ++j) to[(column + c) * k + j] = c == j;
        }
      }
      column += width;
    }
    // The node's leak enters once, at the first combination.
    for (int j = 0; j < k; ++j) {
      to[column * k + j] = used == 0 ? items[noisy->GetLeakColumn() * k + j]
                                     : (j == k - 1 ? 1.0 : 0.0);
    }
    VRN_relevanceNode* target = used < auxiliaries ? graph_[first + used] : own;
    ++used;
    std::unique_ptr<VRN_matrix> table(new VRN_matrix);
    if (VRN_noisyMAX::Expand(combined, strengths, table.get()) != kOk) {
      throw std::bad_alloc();
    }
    target->OwnTable(table.release());
    target->parents_.Reserve(count);
    for (int g = 0; g < count; ++g) {
      target->parents_.Add(group[g].record);
      group[g].record->children_.Add(target);
    }
    return Input{target, -1};
  };
  while (inputs.size() > 1) {
    std::vector<Input> next;
    const int size = static_cast<int>(inputs.size());
    for (int at = 0; at < size; at += limit) {
      const int count = size - at < limit ? size - at : limit;
      if (count == limit || at == 0) {
        next.push_back(combine(inputs.data() + at, count));
      } else {
        next.insert(next.end(), inputs.begin() + at, inputs.end());
      }
    }
    inputs.swap(next);
  }
}

void RelevanceBuilder::MarkBarrenFrom(VRN_relevanceNode* start) {
  Records stack{start};
  while (!stack.empty()) {
    VRN_relevanceNode* record = stack.back();
    stack.pop_back();
    if (record->IsObserved() || !record->children_.IsEmpty() ||
        record->mark_ == kRelMarkBarren || IsTarget(record)) {
      continue;
    }
    record->mark_ = kRelMarkBarren;
    // Parents are examined in list order, each before the next.
    for (int i = record->parents_.GetSize() - 1; i >= 0; --i) {
      VRN_relevanceNode* parent = record->parents_[i];
      parent->children_.Remove(record);
      stack.push_back(parent);
    }
    record->parents_.Flush();
  }
}

void RelevanceBuilder::RemoveBarren() {
  for (VRN_relevanceNode* record : graph_.records_) MarkBarrenFrom(record);
}

bool RelevanceBuilder::DeriveTowardsChild(VRN_relevanceNode* x,
                                          VRN_relevanceNode* y) {
  if (y->IsObserved() || y->mark_ == kRelMarkBarren) return false;
  const VRN_matrix* table = y->table_;
  if (table == nullptr) return false;
  const int d = y->parents_.Find(x);
  if (d < 0) return false;
  const int own = table->GetDimensionCount() - 1;
  const int outcomes = table->GetSize(own);
  VRN_intArray fixed(table->GetDimensionCount());
  for (int i = 0; i < fixed.GetSize(); ++i) fixed[i] = -1;
  fixed[d] = x->evidence_;
  for (int j = 0; j < outcomes; ++j) {
    fixed[own] = j;
    if (table->ForcesOutcome(fixed) != 1) continue;
    (void)y->SetDerivedEvidence(j);
    for (VRN_relevanceNode* parent : y->parents_) parent->children_.Remove(y);
    y->parents_.Flush();
    std::unique_ptr<VRN_matrix> point(new VRN_matrix);
    if (point->SetSingleDimension(outcomes) != kOk) throw std::bad_alloc();
    point->FillWith(0.0);
    *point->ItemAddress(j) = 1.0;
    y->OwnTable(point.release());
    return true;
  }
  return false;
}

bool RelevanceBuilder::DeriveTowardsParent(VRN_relevanceNode* x,
                                           VRN_relevanceNode* p) {
  if (p->IsObserved() || p->mark_ == kRelMarkBarren) return false;
  const VRN_matrix* table = x->table_;
  const int d = x->parents_.Find(p);
  if (table == nullptr || d < 0) return false;
  const int own = table->GetDimensionCount() - 1;
  VRN_intArray fixed(table->GetDimensionCount());
  for (int i = 0; i < fixed.GetSize(); ++i) fixed[i] = -1;
  fixed[own] = x->evidence_;
  int possible = -1;
  for (int i = 0; i < table->GetSize(d); ++i) {
    fixed[d] = i;
    if (table->AllEqualTo(0.0, fixed) == 1) continue;
    if (possible >= 0) return false;  // more than one outcome qualifies
    possible = i;
  }
  if (possible < 0) return false;
  if (p->SetDerivedEvidence(possible) != kOk) return false;
  p->children_.Remove(x);
  const int status = VRN_relevanceNode::RestrictToParentState(x, p);
  if (status != kOk) throw std::bad_alloc();
  x->parents_.RemoveAt(d);
  return true;
}

void RelevanceBuilder::PropagateDeterministic(VRN_relevanceNode* start) {
  // The recursion of the propagation, kept on an explicit stack: each frame
  // walks a copy of its record's children, then a copy of its parents.
  struct Frame {
    VRN_relevanceNode* record;
    Records children;
    Records parents;
    size_t next_child = 0;
    size_t next_parent = 0;
    bool parents_copied = false;
  };
  std::vector<Frame> stack;
  start->mark_ = kRelMarkPropagated;
  stack.push_back({start, CopyOf(start->children_), {}});
  while (!stack.empty()) {
    Frame& top = stack.back();
    VRN_relevanceNode* x = top.record;
    VRN_relevanceNode* derived = nullptr;
    if (top.next_child < top.children.size()) {
      VRN_relevanceNode* y = top.children[top.next_child++];
      if (DeriveTowardsChild(x, y)) derived = y;
    } else {
      if (!top.parents_copied) {
        top.parents = CopyOf(x->parents_);
        top.parents_copied = true;
      }
      if (top.next_parent >= top.parents.size()) {
        stack.pop_back();
        continue;
      }
      VRN_relevanceNode* p = top.parents[top.next_parent++];
      if (DeriveTowardsParent(x, p)) derived = p;
    }
    if (derived != nullptr) {
      derived->mark_ = kRelMarkPropagated;
      stack.push_back({derived, CopyOf(derived->children_), {}});
    }
  }
}

void RelevanceBuilder::DeleteMarked(int mark) {
  auto& records = graph_.records_;
  int kept = 0;
  for (int i = 0; i < records.GetSize(); ++i) {
    VRN_relevanceNode* record = records[i];
    if (record->mark_ != mark) {
      records[kept++] = record;
      continue;
    }
    for (VRN_relevanceNode* parent : record->parents_) {
      parent->children_.Remove(record);
    }
    for (VRN_relevanceNode* child : record->children_) {
      child->parents_.Remove(record);
    }
    RelevanceBlock::Destroy(record);
  }
  records.Truncate(kept);
}

void RelevanceBuilder::AbsorbEvidence() {
  for (VRN_relevanceNode* record : graph_.records_) {
    if (!record->IsObserved()) continue;
    for (VRN_relevanceNode* child : record->children_) {
      if (VRN_relevanceNode::RestrictToParentState(child, record) != kOk) {
        throw std::bad_alloc();
      }
      child->parents_.Remove(record);
      // The likelihoods of an observed or implied outcome are a constant;
      // a zero one makes the evidence impossible, which the child's
      // one-record part would not show.
      if (child->node_ == nullptr && child->IsObserved() &&
          child->parents_.IsEmpty() &&
          child->table_->GetItem(child->evidence_) == 0.0) {
        impossible_.Add(record->GetHandle());
      }
    }
    record->children_.Flush();
  }
}

bool RelevanceBuilder::IsAbsorbableRoot(const VRN_relevanceNode* record) const {
  return !record->IsObserved() && !IsTarget(record) &&
         record->mark_ != kRelMarkAbsorbed && record->parents_.IsEmpty() &&
         record->children_.GetSize() == 1;
}

void RelevanceBuilder::AbsorbRoots() {
  for (VRN_relevanceNode* record : graph_.records_) {
    VRN_relevanceNode* root = record;
    while (IsAbsorbableRoot(root)) {
      root->mark_ = kRelMarkAbsorbed;
      VRN_relevanceNode* child = root->children_[0];
      const int d = child->parents_.Find(root);
      assert(d >= 0);
      const VRN_matrix& prior = *root->table_;
      VRN_doubleArray weights(prior.GetItems());
      if (child->tableKind_ == kRelTableOwned) {
        if (child->owned_->SumOutDimension(d, weights) != kOk) {
          throw std::bad_alloc();
        }
      } else {
        std::unique_ptr<VRN_matrix> summed(new VRN_matrix);
        if (child->table_->SumOutDimensionInto(d, weights, *summed) != kOk) {
          throw std::bad_alloc();
        }
        child->OwnTable(summed.release());
      }
      child->parents_.RemoveAt(d);
      root->children_.Flush();
      root = child;
    }
  }
}

int RelevanceBuilder::Number() {
  for (VRN_relevanceNode* record : graph_.records_) record->mark_ = kRelMarkFresh;
  int k = 0;
  Records stack;
  for (VRN_relevanceNode* record : graph_.records_) {
    if (!IsTarget(record) || record->mark_ != kRelMarkFresh) continue;
    ++k;
    record->mark_ = k;
    stack.push_back(record);
    while (!stack.empty()) {
      VRN_relevanceNode* r = stack.back();
      stack.pop_back();
      for (VRN_relevanceNode* p : r->parents_) {
        if (p->mark_ == kRelMarkFresh) {
          p->mark_ = k;
          stack.push_back(p);
        }
      }
      for (VRN_relevanceNode* c : r->children_) {
        if (c->mark_ == kRelMarkFresh) {
          c->mark_ = k;
          stack.push_back(c);
        }
      }
    }
  }
  DeleteMarked(kRelMarkFresh);
  return k;
}

VRN_relevanceParts* RelevanceBuilder::Split(int part_count) {
  std::unique_ptr<VRN_relevanceParts> parts(new VRN_relevanceParts);
  for (int h : impossible_) parts->AddImpossibleEvidence(h);
  std::vector<int> sizes(part_count + 1, 0);
  for (VRN_relevanceNode* record : graph_.records_) ++sizes[record->mark_];
  std::vector<VRN_relevancePart*> by_number(part_count + 1, nullptr);
  for (int k = 1; k <= part_count; ++k) {
    VRN_relevancePart* part = new VRN_relevancePart(network_);
    parts->Add(part);
    part->Reserve(sizes[k]);
    by_number[k] = part;
  }
  for (VRN_relevanceNode* record : graph_.records_) {
    if (record->node_ != nullptr && record->IsObserved() &&
        !record->node_->Value()->HasEvidence()) {
      parts->AddDerivedState(record->GetHandle(), record->evidence_);
    }
  }
  // Ownership moves record by record, so nothing is lost if a part cannot
  // grow (it cannot: the room was reserved above).
  for (VRN_relevanceNode* record : graph_.records_) {
    by_number[record->mark_]->Add(record);
  }
  graph_.records_.Flush();

  for (int i = 0; i < parts->GetSize();) {
    VRN_relevancePart* part = parts->GetPart(i);
    VRN_relevanceNode* only = part->GetSize() == 1 ? (*part)[0] : nullptr;
    if (only != nullptr && only->IsObserved()) {
      if (only->node_ != nullptr) {
        const VRN_matrix* table = only->table_;
        VRN_nodeVal* value = only->node_->Value();
        if (table != nullptr && table->GetDimensionCount() == 1 &&
            table->GetItem(only->evidence_) == 0.0) {
          parts->AddImpossibleEvidence(only->GetHandle());
          // A derived outcome of impossible evidence is no belief.
          if (!value->HasEvidence()) {
            value->Invalidate();
            parts->RemovePart(i);
            continue;
          }
        }
        only->WritePointMass(only->evidence_, only->GetOutcomeCount());
      }
      parts->RemovePart(i);
      continue;
    }
    ++i;
  }
  return parts.release();
}

VRN_relevanceParts* RelevanceBuilder::Run() {
  // The targets set and cleared here are no edit of the caller's: no
  // automatic update may follow them.
  VRN_autoUpdateGuard quiet(network_, false);
  const bool had_targets = network_->GetNumberOfTargets() > 0;
  if (!had_targets) {
    for (int h = network_->GetFirstNode(); h >= 0;
         h = network_->GetNextNode(h)) {
      (void)network_->SetTarget(h, true);
    }
  }
  if (network_->GetNumberOfTargets() == 0) return nullptr;

  // The targets set above are cleared however the run ends.
  struct TargetRestorer {
    VRN_network* network;
    bool active;
    ~TargetRestorer() {
      if (active) (void)network->ClearAllTargets();
    }
    void Finish() {
      if (active) (void)network->ClearAllTargets();
      active = false;
    }
  } restorer{network_, !had_targets};

  Build((flags_ & kRelevanceDeterministic) != 0);
  RemoveBarren();
  if ((flags_ & kRelevanceDeterministic) != 0) {
    for (int i = 0; i < graph_.GetSize(); ++i) {
      VRN_relevanceNode* record = graph_[i];
      if (record->IsObserved() && record->mark_ == kRelMarkFresh) {
        PropagateDeterministic(record);
      }
    }
  }
  RemoveBarren();
  DeleteMarked(kRelMarkBarren);
  AbsorbEvidence();
  if ((flags_ & kRelevanceRootAbsorption) != 0) {
    AbsorbRoots();
    DeleteMarked(kRelMarkAbsorbed);
  }
  const int part_count = Number();
  restorer.Finish();
  return Split(part_count);
}

}  // namespace qelta

VRN_relevanceParts* VRN_RelevanceDecompose(VRN_network* network, int flags) {
  qelta::RelevanceBuilder builder(network, flags);
  return builder.Run();
}

bool VRN_IsFixedForEquations(VRN_network* network, int handle) {
  return qelta::IsFixedForEquations(network, handle);
}

int VRN_EvidenceOutcome(VRN_network* network, int handle) {
  return qelta::EvidenceOutcome(network, handle,
                                network->GetNode(handle)->Value());
}
