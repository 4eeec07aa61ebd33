// Expectation-maximisation over the records of a data set, with exact
// inference per record on a private working copy of the network. The
// caller's network changes only once, when a run has converged.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/random.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/ci_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/clustering_engine.h"
#include "inference/relevance.h"
#include "learning/count_parameters.h"
#include "learning/em.h"
#include "learning/em_least_squares.h"
#include "learning/em_steps.h"
#include "learning/noisy_decompose.h"
#include "learning/progress.h"
#include "network/change_guards.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta {
namespace {

// Per thread: an observer watches the runs of the thread that set it, not
// those of networks learned on other threads.
thread_local EmPassObserver g_observer = nullptr;
thread_local void* g_observerContext = nullptr;


// The count table that node h of the inference network adds into; null
// when the map or the tables have none.
VRN_matrix* FamilyTable(CountTables* counts, const FamilyMap& map, int h) {
  if (h < 0 || h >= static_cast<int>(map.size())) return nullptr;
  const auto [node, order] = map[h];
  if (node < 0 || node >= static_cast<int>(counts->size())) return nullptr;
  std::vector<VRN_matrix>& row = (*counts)[node];
  if (order < 0 || order >= static_cast<int>(row.size())) return nullptr;
  return &row[order];
}

// The cell of h's count table at the known states of its family, with
// `free` (a member, or -1) at outcome 0; *stride receives free's stride.
// False when a member other than free is unknown or the table does not
// have the family's shape.
bool FamilyOffset(const VRN_network& net, const VRN_matrix& table, int h,
                  const std::vector<int>& known, int free, int* offset,
                  int* stride) {
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  const int size = parents.GetSize() + 1;
  if (table.GetDimensionCount() != size) return false;
  int cell = 0;
  for (int k = 0; k < size; ++k) {
    const int member = k < size - 1 ? parents[k] : h;
    const int s = table.GetStrides()[k];
    if (member == free) {
      *stride = s;
      continue;
    }
    const int state = known[member];
    if (state < 0 || state >= table.GetSize(k)) return false;
    cell += state * s;
  }
  *offset = cell;
  return true;
}

// Whether table has one dimension per member of h's family, each as long as
// the member has outcomes.
bool FamilyShaped(const VRN_network& net, const VRN_matrix& table, int h) {
  const VRN_intArray& parents = net.GetNode(h)->Parents();
  const int size = parents.GetSize() + 1;
  if (table.GetDimensionCount() != size) return false;
  for (int k = 0; k < size; ++k) {
    const int member = k < size - 1 ? parents[k] : h;
    if (table.GetSize(k) != net.GetNode(member)->Definition()->GetNumberOfOutcomes()) {
      return false;
    }
  }
  return true;
}

// Adds the normalised one-dimensional posterior p of node h (a one-record
// part) to h's family and to every uncounted child family whose only
// unknown member h is.
void CountSingleNode(const VRN_network& net, int h, const VRN_matrix& p,
                     const std::vector<int>& known, const FamilyMap& map,
                     CountTables* counts, std::vector<bool>* counted) {
  double sum = 0.0;
  const int n = p.GetItemCount();
  for (int k = 0; k < n; ++k) sum += p.GetItem(k);
  (*counted)[h] = true;
  if (!(sum > 0.0) || !std::isfinite(sum)) return;  // impossible evidence
  auto add = [&](int family) {
    VRN_matrix* table = FamilyTable(counts, map, family);
    if (table == nullptr) return false;
    int offset = 0, stride = 0;
    if (!FamilyOffset(net, *table, family, known, h, &offset, &stride)) {
      return false;
    }
    double* items = table->GetItems().Items();
    for (int k = 0; k < n; ++k) items[offset + k * stride] += p.GetItem(k) / sum;
    return true;
  };
  (void)add(h);
  for (int child : net.GetNode(h)->Children()) {
    if (!(*counted)[child] && known[child] >= 0 && add(child)) {
      (*counted)[child] = true;
    }
  }
}

}  // namespace

int CountCase(VRN_network& net, bool relevanceOn, const FamilyMap* familyMap,
              CountTables* counts, VRN_errorLog* log) {
  const int slots = net.GetSlotCount();
  // Relevance reasoning reads implied outcomes as evidence.
  net.RefreshImpliedEvidence();
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, kRelevanceForOthers));
  if (parts == nullptr) {
    return log->LogError(kErrGeneral, "EM: rnet should not be null");
  }
  std::vector<int> known(slots, -1);
  std::vector<bool> counted(slots, true);
  FamilyMap own;
  if (familyMap == nullptr) own.assign(slots, std::make_pair(-1, 0));
  const FamilyMap& map = familyMap != nullptr ? *familyMap : own;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (familyMap == nullptr) own[h].first = h;
    // A node without a table of its family's shape has nothing to count
    // (the later slice copies of a fixed plate node that drop its anchor
    // parents).
    const VRN_matrix* table = FamilyTable(counts, map, h);
    counted[h] = familyMap != nullptr &&
                 (table == nullptr ||
                  table->GetDimensionCount() != net.GetNode(h)->Parents().GetSize() + 1);
    const VRN_nodeVal* value = net.GetNode(h)->Value();
    if (value->HasEvidence()) known[h] = value->GetEvidence();
  }
  for (const auto& [h, state] : parts->GetDerivedStates()) {
    if (h >= 0 && h < slots) known[h] = state;
  }
  // Families whose members are all certain count once at their cell.
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    VRN_matrix* table = known[h] < 0 ? nullptr : FamilyTable(counts, map, h);
    if (table == nullptr) continue;
    int offset = 0, stride = 0;
    if (!FamilyOffset(net, *table, h, known, -1, &offset, &stride)) continue;
    table->GetItems().Items()[offset] += 1.0;
    counted[h] = true;
  }
  for (int i = 0; i < parts->GetSize(); ++i) {
    VRN_relevancePart* part = parts->GetPart(i);
    if (part == nullptr) continue;
    if (part->GetSize() > 1) {
      VRN_clusterJob job{part, nullptr};
      VRN_clusteringEngine engine(&job);
      if (!engine.RunForLearning(0, &net, map, counts, &counted, &known)) {
        return log->LogError(kErrOutOfMemory,
                             "EM: inference cannot be performed");
      }
      continue;
    }
    const VRN_relevanceNode* record = part->GetRecord(0);
    const int h = record->GetHandle();
    const VRN_matrix* table = record->GetTable();
    if (h < 0 || table == nullptr || table->GetDimensionCount() != 1) continue;
    CountSingleNode(net, h, *table, known, map, counts, &counted);
  }
  bool all = true;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (counted[h]) continue;
    all = false;
    const VRN_matrix* table = FamilyTable(counts, map, h);
    if (table != nullptr && !FamilyShaped(net, *table, h)) {
      // Counts shaped by the node's own parameters (as a distributed pass
      // gives them) that are no table over the family have no cell to add to.
      const int type = net.GetNode(h)->Definition()->GetType();
      (void)log->Logf(kErrZeroMarginal,
                      "EM: the counts of node '%s' cannot be kept: %s parameters "
                      "are not a table over the node and its parents",
                      net.GetNode(h)->GetId(),
                      type == qelta::kDefNoisyMax     ? "a noisy-MAX node's"
                      : type == qelta::kDefNoisyAdder ? "a noisy-adder node's"
                                                      : "its");
      continue;
    }
    (void)log->LogError(kErrZeroMarginal,
                        relevanceOn ? "EM: not all counts updated"
                                    : "EM: please run with relevance enabled");
  }
  return all ? kOk : kErrZeroMarginal;
}

int ExpectRecord(VRN_network& net, bool relevanceOn, const FamilyMap* familyMap,
                 long long record, CountTables* counts, double* logLikelihood,
                 VRN_errorLog* log) {
  // The logarithm, as a record of a large network has a probability far
  // below the doubles: impossible only at probability 0.
  double logP = 0.0;
  const bool computed = net.CalcLogPropEvidence(logP, false);
  if (!computed || !(logP > -HUGE_VAL) || logP > std::log1p(1e-9)) {
    const std::string message = "EM: the data of record " + std::to_string(record) +
                                " are impossible or their probability cannot be computed";
    return log->LogError(kErrOutOfMemory, message.c_str());
  }
  *logLikelihood += logP;
  return CountCase(net, relevanceOn, familyMap, counts, log);
}

namespace {

// The columns of a node that keep their prior values: all (returns true)
// or those listed in its "VRN_NOLEARN" property.
bool FixedColumns(const VRN_node& node, std::vector<bool>* listed) {
  const VRN_userProperties& props = node.UserProperties();
  const int index = props.FindProperty("VRN_NOLEARN");
  if (index < 0) return false;
  const char* value = props.GetPropertyValue(index);
  if (value == nullptr) return false;
  if (std::strcmp(value, "ALL") == 0) return true;
  const std::string text(value, strnlen(value, 1023));
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of(" ,;", pos);
    const std::string piece =
        text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!piece.empty()) {
      const int column = std::atoi(piece.c_str());
      if (column >= 0) {
        if (static_cast<std::size_t>(column) >= listed->size()) {
          listed->resize(static_cast<std::size_t>(column) + 1, false);
        }
        (*listed)[column] = true;
      }
    }
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return false;
}

}  // namespace

void StartParameters(VRN_network& work, bool uniformize, bool randomize,
                     int seed, const std::vector<int>* startNodes) {
  if (uniformize) {
    (void)work.UniformizeParameters(startNodes);
  } else if (randomize) {
    VRN_randomGenerator generator(seed);
    (void)work.RandomizeParameters(&generator, startNodes);
  }
}

int Maximise(VRN_network& work, int h, int order, double weight,
             const VRN_matrix& prior, VRN_matrix* counts) {
  VRN_node* node = work.GetNode(h);
  VRN_matrix t = prior;
  double* items = t.GetItems().Items();
  const double* c = counts->GetItems().Items();
  const int total = t.GetItemCount();
  for (int i = 0; i < total; ++i) items[i] = weight * items[i] + c[i];
  std::vector<bool> listed;
  const bool all = FixedColumns(*node, &listed);
  const int n = t.GetSize(t.GetDimensionCount() - 1);
  const double* p = prior.GetItems().Items();
  for (int col = 0, start = 0; start < total; ++col, start += n) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) sum += items[start + k];
    const bool keep = sum == 0.0 || all ||
                      (static_cast<std::size_t>(col) < listed.size() && listed[col]);
    for (int k = 0; k < n; ++k) {
      if (keep) {
        items[start + k] = p[start + k];
        continue;
      }
      const double q = items[start + k] / sum;
      items[start + k] = std::isnormal(q) ? q : 0.0;
    }
  }
  counts->FillWith(0.0);
  if (order > 0) return node->Definition()->SetTemporalDefinitionFromMatrix(order, t);
  return node->Definition()->SetDefinitionFromMatrix(t);
}

namespace {

// Refuses a learnable plate node whose anchor parents its slice-1 copy
// would drop without a temporal definition to use there (its table would
// match none of its definitions); fills (*orders)[h] with each plate
// node's temporal orders.
int CheckDynamic(VRN_network& work, const std::vector<bool>& learnable,
                 std::vector<VRN_intArray>* orders, VRN_errorLog* log) {
  for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
    const VRN_node* node = work.GetNode(h);
    if (node->GetTemporalType() != kTemporalPlate) continue;
    const VRN_intArray& own = (*orders)[h];
    (void)work.GetTemporalOrders(h, (*orders)[h]);
    if (h >= static_cast<int>(learnable.size()) || !learnable[h]) continue;
    if (own.GetSize() > 0 && own[0] == 1) continue;
    for (int p : node->Parents()) {
      if (work.GetNode(p)->GetTemporalType() != kTemporalAnchor) continue;
      const std::string message = std::string("EM: unsupported DBN structure; '") + node->GetId() +
                                  (own.GetSize() == 0 ? "' has incoming arcs from anchor nodes, but no incoming temporal arcs"
                                                      : "' has incoming arcs from anchor nodes, but no temporal arcs of order 1");
      return log->LogError(kErrWrongNodeType, message.c_str());
    }
  }
  return kOk;
}

// Sets record r's observed values on the working network, growing a
// dynamic network to the slices the record observes. A value that cannot
// be set is logged and skipped.
void SetRecordEvidence(const VRN_dataset& data, int r, const std::vector<VRN_dataMatch>& matches,
                       bool dynamic, const std::vector<VRN_intArray>& orders, VRN_network& work,
                       VRN_errorLog* log) {
  for (const VRN_dataMatch& m : matches) {
    if (data.IsMissing(m.column, r)) continue;
    const int value = data.GetInt(m.column, r);
    if (value < 0) continue;
    if (dynamic && m.slice >= work.GetNumberOfSlices()) (void)work.SetNumberOfSlices(m.slice + 1);
    VRN_node* node = work.GetNode(m.node);
    // Slice 0 of a plate node with temporal definitions is its own value.
    const bool temporal = node->GetTemporalType() == kTemporalPlate &&
                          !(m.slice == 0 && orders[m.node].GetSize() > 0);
    const int status = temporal ? work.SetTemporalEvidence(m.node, m.slice, value)
                                : node->Value()->SetEvidence(value);
    if (status == kOk) continue;
    std::string message = "EM: can't set evidence in record " + std::to_string(r + 1) +
                          " for node " + node->GetId();
    if (temporal) message += " at slice " + std::to_string(m.slice);
    (void)log->LogError(status, message.c_str());
  }
}

// The family map of an unrolled network: the copy of a plate node in slice
// s counts into its temporal definition of the largest order at most s
// (order 0 when none); every other node into its own table.
void MapSliceFamilies(const VRN_network& unrolled, const std::vector<int>& unrollMap, int slices,
                      const std::vector<VRN_intArray>& orders, FamilyMap* map) {
  map->assign(static_cast<std::size_t>(unrolled.GetSlotCount()), std::make_pair(-1, 0));
  for (int h = unrolled.GetFirstNode(); h >= 0; h = unrolled.GetNextNode(h)) (*map)[h].first = h;
  const int plates = slices > 0 ? static_cast<int>(unrollMap.size()) / slices : 0;
  for (int s = 1; s < slices; ++s) {
    for (int i = 0; i < plates; ++i) {
      const int node = unrollMap[i];
      const int copy = unrollMap[static_cast<std::size_t>(s) * plates + i];
      if (copy < 0 || copy >= static_cast<int>(map->size())) continue;
      int order = 0;
      for (int k : orders[node]) {
        if (k <= s) order = k;
      }
      (*map)[copy] = std::make_pair(node, order);
    }
  }
}

// Whether some record holds a value for some match. Data without any (no
// record, or only blank ones) carry nothing to learn from: a run on them
// would answer its starting tables as learned.
bool HoldsAValue(const VRN_dataset& data, const std::vector<VRN_dataMatch>& matches) {
  const int records = data.GetRecordCount();
  for (const VRN_dataMatch& m : matches) {
    const bool discrete = data.GetVariable(m.column).discrete;
    for (int r = 0; r < records; ++r) {
      if (!data.IsMissing(m.column, r) && (!discrete || data.GetInt(m.column, r) >= 0)) return true;
    }
  }
  return false;
}

bool Tick(VRN_progress* progress) {
  return progress == nullptr || progress->Tick(-1.0, nullptr);
}

}  // namespace

void SetEmPassObserver(EmPassObserver observer, void* context) {
  g_observer = observer;
  g_observerContext = context;
}

}  // namespace qelta

using qelta::kOk;

int VRN_em::Learn(const VRN_dataset& data, VRN_network& net,
                  const std::vector<VRN_dataMatch>& matches,
                  const std::vector<int>& fixedNodes, double* score,
                  VRN_progress* progress) const {
  passCount = 0;
  VRN_errorLog* log = net.ErrorLog();
  if (matches.empty()) {
    return log->LogError(qelta::kErrNoItem,
                         "EM: no matching between node and data were specified");
  }
  for (std::size_t i = 0; i < fixedNodes.size(); ++i) {
    if (!net.IsValidHandle(fixedNodes[i])) {
      const std::string message =
          "EM: Invalid fixed node handle at index " + std::to_string(i);
      return log->LogError(qelta::kErrOutOfRange, message.c_str());
    }
  }
  for (std::size_t i = 0; i < matches.size(); ++i) {
    const VRN_dataMatch& m = matches[i];
    if (!net.IsValidHandle(m.node) || m.column < 0 ||
        m.column >= data.GetVariableCount() || m.slice < 0) {
      const std::string message = "EM: invalid match at index " + std::to_string(i);
      return log->LogError(qelta::kErrOutOfRange, message.c_str());
    }
  }
  if (!qelta::HoldsAValue(data, matches)) {
    const std::string message = "EM: no record of the data holds a value for a matched node (" +
                                std::to_string(data.GetRecordCount()) +
                                " records): nothing to learn from";
    return log->LogError(qelta::kErrOutOfRange, message.c_str());
  }
  std::vector<bool> learnable(net.GetSlotCount(), false);
  std::vector<int> learnList;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) learnable[h] = true;
  for (int h : fixedNodes) learnable[h] = false;
  bool netDiscrete = true, netContinuous = true, noisyMax = false;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (learnable[h]) learnList.push_back(h);
    const VRN_node* node = net.GetNode(h);
    switch (node->Definition()->GetType()) {
      case qelta::kDefEquation:
        netDiscrete = false;
        break;
      case qelta::kDefNoisyMax:
        noisyMax = true;
        [[fallthrough]];
      case qelta::kDefCpt:
        netContinuous = false;
        break;
      case qelta::kDefTruthTable:
      case qelta::kDefNoisyAdder:
        netContinuous = false;
        if (learnable[h]) {
          return log->LogError(qelta::kErrWrongNodeType,
                               "EM: non-fixed deterministic and Noisy Adder nodes not supported");
        }
        break;
      default: {
        const std::string message =
            std::string("EM: node '") + node->GetId() + "' is of unsupported type";
        return log->LogError(qelta::kErrWrongNodeType, message.c_str());
      }
    }
  }
  bool dataDiscrete = true, dataContinuous = true;
  for (const VRN_dataMatch& m : matches) {
    (data.GetVariable(m.column).discrete ? dataContinuous : dataDiscrete) = false;
  }
  if (netContinuous && dataContinuous && !(netDiscrete && dataDiscrete)) {
    return qelta::LearnLeastSquares(data, net, matches, learnable, score);
  }
  if (!(netDiscrete && dataDiscrete)) {
    return log->LogError(qelta::kErrInvalidValue,
                         "EM: unsupported mix of discrete and continuous items in network and/or dataset");
  }
  VRN_autoUpdateGuard guard(&net);
  bool complete = true;
  for (int v = 0; v < data.GetVariableCount() && complete; ++v) {
    complete = !data.HasMissingValues(v);
  }
  bool allCpt = true;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    allCpt = allCpt && net.GetNode(h)->Definition()->GetType() == qelta::kDefCpt;
  }
  if (!net.HasTemporalNodes() && fixedNodes.empty() && complete && allCpt &&
      static_cast<int>(matches.size()) == net.GetNumberOfNodes()) {
    const double pseudo = uniformizeParameters || randomizeParameters
                              ? 0.0
                              : static_cast<double>(eqSampleSize);
    return VRN_CountParameters(net, data, matches, score, pseudo);
  }

  VRN_network work(net, qelta::kCopyWorking);
  work.SetRelevanceReasoning(relevance);
  (void)work.ClearAllEvidence();
  (void)work.ClearAllTargets();
  work.EnableCaseUpdates(false);
  qelta::StartParameters(work, uniformizeParameters, randomizeParameters, seed,
                         fixedNodes.empty() ? nullptr : &learnList);

  // A dynamic network is learned on its unrolling, one per record; every
  // slice copy of a plate node counts into the definition its slice uses.
  const bool dynamic = work.HasPlateNode();
  std::vector<VRN_intArray> orders(work.GetSlotCount());
  if (dynamic) {
    const int status = qelta::CheckDynamic(work, learnable, &orders, log);
    if (status != kOk) return status;
    if (noisyMax) {
      return log->LogError(qelta::kErrWrongNodeType, "EM: noisy-max nodes are not supported in DBNs");
    }
  }

  // Noisy-MAX nodes are learned through their decomposition into CPTs;
  // the auxiliary nodes of a fixed one stay fixed.
  std::vector<VRN_noisyMaxDecomposition> decomposed;
  std::vector<bool> fixedWork(learnable.size(), false);
  for (int h : fixedNodes) fixedWork[h] = true;
  if (noisyMax) {
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      if (net.GetNode(h)->Definition()->GetType() != qelta::kDefNoisyMax) continue;
      const int before = work.GetSlotCount();
      VRN_noisyMaxDecomposition d;
      if (!DecomposeNoisyMax(work, h, &d)) {
        const std::string message =
            std::string("EM: noisy-max node '") + net.GetNode(h)->GetId() + "' cannot be decomposed";
        return log->LogError(qelta::kErrWrongNodeType, message.c_str());
      }
      decomposed.push_back(std::move(d));
      if (!learnable[h]) {
        fixedWork.resize(work.GetSlotCount(), false);
        for (int a = before; a < work.GetSlotCount(); ++a) fixedWork[a] = true;
      }
    }
  }
  std::vector<int> workLearn;
  for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
    if (h >= static_cast<int>(fixedWork.size()) || !fixedWork[h]) workLearn.push_back(h);
  }

  // Prior and count tables per node and definition order (order k >= 1: a
  // plate node's temporal definition of order k; absent orders stay empty).
  // Counts take the family's shape: a fixed noisy-adder keeps only its
  // parameters in its matrix, so its expanded table gives the shape (for
  // the learnable CPTs both are the same table). Only learnable nodes need
  // a prior.
  const int slots = work.GetSlotCount();
  orders.resize(slots);
  qelta::CountTables counts(slots);
  std::vector<std::vector<VRN_matrix>> priors(slots);
  for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
    VRN_nodeDef* def = work.GetNode(h)->Definition();
    const bool fixed = h < static_cast<int>(fixedWork.size()) && fixedWork[h];
    const int highest = orders[h].GetSize() > 0 ? orders[h][orders[h].GetSize() - 1] : 0;
    priors[h].resize(static_cast<std::size_t>(highest) + 1);
    counts[h].resize(static_cast<std::size_t>(highest) + 1);
    for (int k = 0; k <= highest; ++k) {
      const VRN_matrix* table =
          k == 0 ? def->GetExpandedDefinition() : def->GetTemporalExpandedDefinition(k);
      if (table == nullptr) continue;
      if (!fixed) priors[h][k] = *table;
      counts[h][k] = *table;
      counts[h][k].FillWith(0.0);
    }
  }
  const int records = data.GetRecordCount();
  const double weight = static_cast<double>(eqSampleSize);
  VRN_network unrolled;
  std::vector<int> unrollMap;
  qelta::FamilyMap familyMap;
  double current = 0.0;
  // Without a cap of the caller's a run that never converges still ends.
  const int lastPass = maxPasses == kNoPassCap ? kPassGuard : maxPasses;
  // 1 + 1e-4 is the double 1.0001, so the default test is L0 / L < 1.0001 to the bit.
  static_assert(1.0 + 1e-4 == 1.0001);
  const double ratio = 1.0 + tolerance;
  for (int pass = 1;; ++pass) {
    passCount = pass;
    const double previous = current;
    current = 0.0;
    for (int r = 0; r < records; ++r) {
      if (dynamic && autoSlices) (void)work.SetNumberOfSlices(1);
      (void)work.ClearAllEvidence();
      qelta::SetRecordEvidence(data, r, matches, dynamic, orders, work, log);
      VRN_network* infer = &work;
      const qelta::FamilyMap* map = nullptr;
      if (dynamic) {
        const int status = work.UnrollNetwork(unrolled, unrollMap);
        if (status != kOk) {
          const std::string message =
              "EM: the network cannot be unrolled for record " + std::to_string(r + 1);
          return log->LogError(status, message.c_str());
        }
        qelta::MapSliceFamilies(unrolled, unrollMap, work.GetNumberOfSlices(), orders, &familyMap);
        infer = &unrolled;
        map = &familyMap;
      }
      const int status = qelta::ExpectRecord(*infer, relevance, map, r + 1, &counts, &current, log);
      if (status != kOk) return status;
      if (!qelta::Tick(progress)) return qelta::kErrCancelled;
    }
    bool converged = qelta::EmConverged(previous, current, ratio);
    if (pass >= lastPass) converged = true;
    if (qelta::g_observer != nullptr) qelta::g_observer(current, qelta::g_observerContext);
    for (int h : workLearn) {
      for (std::size_t k = 0; k < counts[h].size(); ++k) {
        if (counts[h][k].GetItemCount() == 0) continue;
        const int status =
            qelta::Maximise(work, h, static_cast<int>(k), weight, priors[h][k], &counts[h][k]);
        if (status != kOk) return status;
      }
    }
    if (!qelta::Tick(progress)) return qelta::kErrCancelled;
    if (!converged) continue;
    (void)work.ClearAllEvidence();
    for (const VRN_noisyMaxDecomposition& d : decomposed) {
      if (!RecomposeNoisyMax(work, d)) {
        return log->LogError(qelta::kErrGeneral, "EM: a noisy-max node cannot be recomposed");
      }
    }
    for (int h : learnList) {
      VRN_nodeDef* target = net.GetNode(h)->Definition();
      const VRN_nodeDef* learned = work.GetNode(h)->Definition();
      int status = kOk;
      if (target->GetType() == qelta::kDefNoisyMax) {
        status = static_cast<VRN_ciDef*>(target)->SetParameters(
            static_cast<const VRN_ciDef*>(learned)->Parameters());
      } else if (learned->GetMatrixConst() != nullptr) {
        status = target->SetDefinitionFromMatrix(*learned->GetMatrixConst());
      }
      for (int k : orders[h]) {
        if (status != kOk) break;
        const VRN_matrix* table = learned->GetTemporalExpandedDefinition(k);
        if (table != nullptr) status = target->SetTemporalDefinitionFromMatrix(k, *table);
      }
      if (status != kOk) return status;
    }
    if (score != nullptr) *score = current;
    return kOk;
  }
}

int VRN_DistributedHelperEM(VRN_network& net, bool relevance,
                            std::vector<std::vector<VRN_matrix>>& counts) {
  // A private copy keeps the caller's targets, flags and values untouched.
  VRN_network work(net, qelta::kCopyWorking);
  (void)work.ClearAllTargets();
  work.SetRelevanceReasoning(relevance);
  if (static_cast<int>(counts.size()) < work.GetSlotCount()) {
    counts.resize(work.GetSlotCount());
  }
  return qelta::CountCase(work, relevance, nullptr, &counts, net.ErrorLog());
}
