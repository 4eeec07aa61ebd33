// The join-tree clustering engine (see clustering_engine.h).
#include "inference/clustering_engine.h"

#include <cassert>
#include <new>
#include <stdexcept>

#include "base/error_log.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/clustering_cache.h"
#include "inference/relevance.h"
#include "inference/underflow_bounds.h"

namespace qelta {

void LogZeroMarginal(VRN_network* network, int h) {
  const char* id = network->GetNode(h)->GetId();
  if (id != nullptr) {
    network->ErrorLog()->Logf(
        kErrZeroMarginal, "All potential entries are zeros for node %s", id);
  } else {
    network->ErrorLog()->Logf(
        kErrZeroMarginal,
        "All potential entries are zeros for node with handle %d", h);
  }
}

void LogBelowDoubles(VRN_network* network) {
  network->ErrorLog()->Logf(
      kErrOutOfRange,
      "Products of the probabilities fall below the range of double "
      "precision numbers; the result would not be exact");
}

}  // namespace qelta

using qelta::JoinTree;
using qelta::kOk;

VRN_clusteringEngine::VRN_clusteringEngine(VRN_clusterJob* job) : job_(job) {
  assert(job != nullptr);
}

bool VRN_clusteringEngine::DescribePart() {
  const VRN_relevancePart* part = job_->part;
  if (part == nullptr || part->GetSize() > qelta::kMaxEngineRecords) {
    return false;
  }
  const int n = part->GetSize();
  outcomes_.resize(n);
  evidence_.resize(n);
  tables_.resize(n);
  parent_offsets_.assign(n + 1, 0);
  parents_.clear();
  for (int i = 0; i < n; ++i) {
    const VRN_relevanceNode* record = part->GetRecord(i);
    const VRN_matrix* table = record->GetTable();
    const int parent_count = record->GetParentCount();
    if (table == nullptr || table->GetDimensionCount() != parent_count + 1) {
      return false;
    }
    // The join tree reads the table through the parents' outcome counts, so
    // they must be the table's own sizes.
    for (int k = 0; k < parent_count; ++k) {
      const VRN_relevanceNode* parent = record->GetParent(k);
      if (parent->GetOwner() != part ||
          parent->GetOutcomeCount() != table->GetSize(k)) {
        return false;
      }
      parents_.push_back(parent->GetLocalIndex());
    }
    outcomes_[i] = record->GetOutcomeCount();
    evidence_[i] = record->GetEvidence();
    tables_[i] = table->GetItems().Items();
    parent_offsets_[i + 1] = static_cast<int>(parents_.size());
  }
  problem_.node_count = n;
  problem_.outcomes = outcomes_.data();
  problem_.evidence = evidence_.data();
  problem_.parent_offsets = parent_offsets_.data();
  problem_.parents = parents_.data();
  problem_.tables = tables_.data();
  return true;
}

bool VRN_clusteringEngine::Propagate(JoinTree* tree) {
  auto passes = [tree]() {
    if (tree->Initialise() != kOk) return false;
    tree->Collect();
    return tree->Distribute() == kOk;
  };
  tree->SetCareful(false);
  qelta::ClearUnderflow();
  if (!passes()) return false;
  if (!qelta::Underflowed()) return true;
  // Some product left the normal doubles: again with every table brought
  // onto its largest entry first, and refused when what is lost matters.
  tree->SetCareful(true);
  qelta::StartCarefulUpdate();
  if (!passes()) return false;
  // Impossible evidence leaves every table exactly 0, whatever the passes
  // lost on the way: the zero marginals tell it.
  if (tree->Trustworthy() || EvidenceImpossible()) return true;
  qelta::LogBelowDoubles(job_->part->GetNetwork());
  // An older belief must not pass for the answer to this evidence.
  for (int i = 0; i < job_->part->GetSize(); ++i) {
    VRN_node* node = job_->part->GetRecord(i)->GetNode();
    if (node != nullptr && !node->Value()->HasEvidence()) node->Value()->Invalidate();
  }
  return false;
}

// ---------------------------------------------------------------- Run

bool VRN_clusteringEngine::Run(std::uint8_t* solveFlags,
                               std::uint32_t sizeLimit) {
  qelta::ClusteringCache* cache = nullptr;
  try {
    if (!DescribePart()) return false;
    VRN_network* network = job_->part->GetNetwork();
    cache = qelta::ClusteringCache::Of(network);
    JoinTree* tree = nullptr;
    if (cache->Prepare(problem_, sizeLimit, &tree) != kOk) return false;
    if (!Propagate(tree)) {
      cache->Finish(false);
      return false;
    }
    WriteBeliefs(tree, solveFlags);
    if (network->TableCache() != nullptr) ExportJointTables(tree);
    cache->Finish(true);
    return true;
  } catch (const std::bad_alloc&) {
    if (cache != nullptr) cache->Finish(false);
    return false;
  } catch (const std::length_error&) {
    if (cache != nullptr) cache->Finish(false);
    return false;
  }
}

void VRN_clusteringEngine::WriteBeliefs(JoinTree* tree,
                                        std::uint8_t* solveFlags) {
  VRN_relevancePart* part = job_->part;
  VRN_network* network = part->GetNetwork();
  const int n = part->GetSize();
  int with_node = 0;
  int most_outcomes = 1;
  for (int i = 0; i < n; ++i) {
    if (part->GetRecord(i)->GetNode() != nullptr) ++with_node;
    if (outcomes_[i] > most_outcomes) most_outcomes = outcomes_[i];
  }
  const bool no_targets = network->GetNumberOfTargets() == 0;
  std::vector<std::uint8_t> visited(n, 0);
  std::vector<double> marginal(most_outcomes);
  int seen = 0;
  // Every node is read from the first clique in size order that holds it.
  for (int r = 0; r < tree->clique_count() && seen < with_node; ++r) {
    const VRN_clique* clique = tree->sorted_clique(r);
    for (int m = 0; m < clique->member_count && seen < with_node; ++m) {
      const int i = clique->members[m];
      if (visited[i]) continue;
      visited[i] = 1;
      VRN_relevanceNode* record = part->GetRecord(i);
      VRN_node* node = record->GetNode();
      if (node == nullptr) continue;  // auxiliary: no belief
      ++seen;
      const int h = node->Handle();
      bool solve = no_targets || node->IsTarget();
      if (solveFlags != nullptr && solveFlags[h] != 0) {
        solveFlags[h] = 0;
        solve = true;
      }
      if (!solve || !tree->Marginal(i, marginal.data())) continue;
      const int count = outcomes_[i];
      double total = 0.0;
      for (int k = 0; k < count; ++k) total += marginal[k];
      VRN_nodeVal* value = node->Value();
      if (total == 0.0) {
        qelta::LogZeroMarginal(network, h);
        if (job_->zeroCounter != nullptr) ++*job_->zeroCounter;
        // An older belief must not pass for the answer to this evidence.
        value->Invalidate();
        continue;
      }
      if (record->PrepareBeliefs(count) != kOk) continue;
      double* out = value->GetMutableValue().GetItems().Items();
      for (int k = 0; k < count; ++k) out[k] = marginal[k] / total;
      value->AddFlags(qelta::kValFlagValid);
      value->SetUpdateTag(0);
    }
  }
}

void VRN_clusteringEngine::ExportJointTables(JoinTree* tree) {
  VRN_relevancePart* part = job_->part;
  VRN_network* network = part->GetNetwork();
  std::vector<int> handles;
  for (int r = 0; r < tree->clique_count(); ++r) {
    VRN_clique* clique = tree->sorted_clique(r);
    // The fastest-varying member comes last in the cached table.
    handles.clear();
    bool usable = true;
    for (int m = clique->member_count - 1; m >= 0 && usable; --m) {
      const int i = clique->members[m];
      const VRN_node* node = part->GetRecord(i)->GetNode();
      // The cache sizes its tables by the definitions' outcome counts; a
      // record whose count differs (or an auxiliary one) cannot be stored.
      usable = node != nullptr &&
               node->Definition()->GetDiscreteOutcomeCount() == outcomes_[i];
      if (usable) handles.push_back(node->Handle());
    }
    if (!usable || handles.empty()) continue;
    VRN_matrix* table = network->MakeTableForNodes(handles);
    if (table == nullptr) continue;
    const VRN_potential& potential = clique->potential;
    if (static_cast<uint32_t>(table->GetItemCount()) != potential.size()) {
      continue;
    }
    double* out = table->GetItems().Items();
    double sum = 0.0;
    const uint32_t size = potential.size();
    if (clique->initialised) {
      const double* in = potential.items();
      for (uint32_t k = 0; k < size; ++k) {
        out[k] = in[k];
        sum += in[k];
      }
    } else {
      // A table never written stands for ones.
      for (uint32_t k = 0; k < size; ++k) out[k] = 1.0;
      sum = static_cast<double>(size);
    }
    // A table of zeros (impossible evidence) is stored as it is.
    if (sum != 1.0 && sum != 0.0) {
      for (uint32_t k = 0; k < size; ++k) out[k] /= sum;
    }
  }
}

// ------------------------------------------------- probability of evidence

qelta::ScaledProbability VRN_clusteringEngine::ProbabilityOfEvidence() {
  qelta::ScaledProbability none;
  none.fraction = qelta::ScaledProbability::kNone;
  try {
    if (!DescribePart()) return none;
    JoinTree tree(problem_);
    if (tree.Build(0xFFFFFFFFu) != kOk) return none;
    qelta::ClearUnderflow();
    qelta::ScaledProbability p = tree.ScaledProbabilityOfEvidence();
    if (p.failed() || !qelta::Underflowed()) return p;
    // As in Propagate.
    tree.SetCareful(true);
    p = tree.ScaledProbabilityOfEvidence();
    if (p.failed() || tree.Trustworthy()) return p;
    if (p.fraction == 0.0 && EvidenceImpossible()) return p;
    qelta::LogBelowDoubles(job_->part->GetNetwork());
    p.fraction = qelta::ScaledProbability::kInexact;
    return p;
  } catch (const std::bad_alloc&) {
    return none;
  } catch (const std::length_error&) {
    return none;
  }
}

bool VRN_clusteringEngine::EvidenceImpossible() {
  // The same tree over the tables' patterns of zeros: a non-zero entry
  // becomes 1/k (k the record's outcome count), so no column sums above 1
  // and no product comes near the foot of the doubles, while a product is
  // 0 exactly where the tables give it 0.
  const std::size_t n = tables_.size();
  std::vector<std::vector<double>> patterns(n);
  std::vector<const double*> tables(n);
  for (std::size_t i = 0; i < n; ++i) {
    const int size = job_->part->GetRecord(static_cast<int>(i))->GetTable()->GetItemCount();
    const double entry = 1.0 / outcomes_[i];
    patterns[i].resize(static_cast<std::size_t>(size));
    for (int k = 0; k < size; ++k) patterns[i][k] = tables_[i][k] == 0.0 ? 0.0 : entry;
    tables[i] = patterns[i].data();
  }
  qelta::JoinTreeProblem problem = problem_;
  problem.tables = tables.data();
  JoinTree tree(problem);
  if (tree.Build(0xFFFFFFFFu) != kOk) return false;
  qelta::ClearUnderflow();
  const qelta::ScaledProbability p = tree.ScaledProbabilityOfEvidence();
  return p.fraction == 0.0 && !qelta::Underflowed();
}

// ---------------------------------------------------------------- learning

bool VRN_clusteringEngine::RunForLearning(
    std::uint32_t sizeLimit, VRN_network* network,
    const std::vector<std::pair<int, int>>& familyMap,
    std::vector<std::vector<VRN_matrix>>* counts, std::vector<bool>* counted,
    const std::vector<int>* known) {
  assert(network != nullptr && counts != nullptr && counted != nullptr);
  known_ = known;
  try {
    if (!DescribePart()) return false;
    JoinTree tree(problem_);
    bool ok = tree.Build(sizeLimit) == kOk && Propagate(&tree);
    if (ok) ok = CountFamilies(&tree, network, familyMap, counts, counted);
    tree.Release();
    return ok;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

bool VRN_clusteringEngine::PlanFamily(
    const JoinTree& tree, VRN_network* network, int h,
    const std::vector<std::pair<int, int>>& familyMap,
    std::vector<std::vector<VRN_matrix>>* counts, FamilyPlan* plan) {
  if (h >= static_cast<int>(familyMap.size())) return false;
  const std::pair<int, int> index = familyMap[h];
  if (index.first < 0 || index.first >= static_cast<int>(counts->size())) {
    return false;
  }
  std::vector<VRN_matrix>& row = (*counts)[index.first];
  if (index.second < 0 || index.second >= static_cast<int>(row.size())) {
    return false;
  }
  VRN_matrix* matrix = &row[index.second];
  const VRN_intArray& parents = network->GetNode(h)->Parents();
  const int family_size = parents.GetSize() + 1;
  if (matrix->GetDimensionCount() != family_size) return false;

  const std::size_t first = plan_members_.size();
  const int slots = static_cast<int>(local_of_handle_.size());
  bool any_in_part = false;
  bool plannable = true;
  int offset = 0;
  for (int k = 0; k < family_size && plannable; ++k) {
    const int member = k < family_size - 1 ? parents[k] : h;
    const int local =
        member >= 0 && member < slots ? local_of_handle_[member] : -1;
    int evidence = -1;
    if (local >= 0) {
      // The record's evidence includes what relevance reasoning derived.
      any_in_part = true;
      evidence = evidence_[local];
    } else if (known_ != nullptr) {
      evidence = member >= 0 && member < static_cast<int>(known_->size())
                     ? (*known_)[member]
                     : -1;
      if (evidence < 0) {
        plannable = false;  // unknown and not here: another part's
        break;
      }
    } else {
      const VRN_node* node = network->GetNode(member);
      if (node == nullptr || !node->Value()->HasEvidence()) {
        plannable = false;  // unobserved and not here: another part's
        break;
      }
      evidence = node->Value()->GetEvidence();
    }
    const int size = matrix->GetSize(k);
    const int stride = matrix->GetStrides()[k];
    if (evidence >= 0) {
      plannable = evidence < size;
      offset += evidence * stride;
    } else {
      plannable = outcomes_[local] == size;
      plan_members_.push_back(local);
      plan_strides_.push_back(stride);
    }
  }
  const int count = static_cast<int>(plan_members_.size() - first);
  int holder = -1;
  if (plannable && any_in_part) {
    holder = tree.FindHolder(plan_members_.data() + first, count);
  }
  if (holder < 0) {
    plan_members_.resize(first);
    plan_strides_.resize(first);
    return false;
  }
  plan->handle = h;
  plan->counts = matrix;
  plan->offset = offset;
  plan->holder = holder;
  plan->first = static_cast<int>(first);
  plan->count = count;
  return true;
}

bool VRN_clusteringEngine::CountFamilies(
    JoinTree* tree, VRN_network* network,
    const std::vector<std::pair<int, int>>& familyMap,
    std::vector<std::vector<VRN_matrix>>* counts, std::vector<bool>* counted) {
  const VRN_relevancePart* part = job_->part;
  const int slots = network->GetSlotCount();
  local_of_handle_.assign(slots, -1);
  for (int i = 0; i < part->GetSize(); ++i) {
    const int h = part->GetRecord(i)->GetHandle();
    if (h >= 0 && h < slots) local_of_handle_[h] = i;
  }
  plans_.clear();
  plan_members_.clear();
  plan_strides_.clear();
  // Families are planned first so that the working table is sized once.
  uint32_t workspace = 1;
  const int marks = static_cast<int>(counted->size());
  for (int h = network->GetFirstNode(); h >= 0 && h < marks;
       h = network->GetNextNode(h)) {
    if ((*counted)[h]) continue;
    FamilyPlan plan;
    if (!PlanFamily(*tree, network, h, familyMap, counts, &plan)) continue;
    if (plan.count < tree->sorted_clique(plan.holder)->member_count) {
      uint32_t cells = 1;
      for (int k = 0; k < plan.count; ++k) {
        cells *=
            static_cast<uint32_t>(outcomes_[plan_members_[plan.first + k]]);
      }
      if (cells > workspace) workspace = cells;
    }
    plans_.push_back(plan);
  }
  if (tree->ReserveWorkspace(workspace) != kOk) return false;
  for (const FamilyPlan& plan : plans_) {
    const int rc =
        tree->AddPosterior(plan.holder, plan_members_.data() + plan.first,
                           plan_strides_.data() + plan.first, plan.count,
                           plan.counts->GetItems().Items() + plan.offset);
    // A family whose evidence is impossible has no posterior to add; it is
    // done all the same.
    if (rc != kOk && rc != qelta::kErrZeroMarginal) return false;
    (*counted)[plan.handle] = true;
  }
  return true;
}
