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
#include "learning/noisy_decompose.h"
#include "learning/progress.h"
#include "network/change_guards.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta {
namespace {

EmPassObserver g_observer = nullptr;
void* g_observerContext = nullptr;

// Passes after which a run counts as converged whatever its likelihood does.
constexpr int kMaxPasses = 10000;

using CountTables = std::vector<std::vector<VRN_matrix>>;

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

// Adds the normalised one-dimensional posterior p of node h (a one-record
// part) to h's family and to every uncounted child family whose only
// unknown member h is.
void CountSingleNode(const VRN_network& net, int h, const VRN_matrix& p,
                     const std::vector<int>& known, CountTables* counts,
                     std::vector<bool>* counted) {
  double sum = 0.0;
  const int n = p.GetItemCount();
  for (int k = 0; k < n; ++k) sum += p.GetItem(k);
  (*counted)[h] = true;
  if (!(sum > 0.0) || !std::isfinite(sum)) return;  // impossible evidence
  auto add = [&](int family) {
    if ((*counts)[family].empty()) return false;
    VRN_matrix& table = (*counts)[family][0];
    int offset = 0, stride = 0;
    if (!FamilyOffset(net, table, family, known, h, &offset, &stride)) {
      return false;
    }
    double* items = table.GetItems().Items();
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

// The expected family counts of one case (the network's evidence) added
// into counts, every node mapped to its own table. Logs into log.
int CountCase(VRN_network& net, bool relevanceOn, CountTables* counts,
              VRN_errorLog* log) {
  const int slots = net.GetSlotCount();
  std::unique_ptr<VRN_relevanceParts> parts(
      VRN_RelevanceDecompose(&net, kRelevanceForOthers));
  if (parts == nullptr) {
    return log->LogError(kErrGeneral, "EM: rnet should not be null");
  }
  std::vector<int> known(slots, -1);
  std::vector<bool> counted(slots, true);
  std::vector<std::pair<int, int>> map(slots, std::make_pair(-1, 0));
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    counted[h] = false;
    map[h].first = h;
    const VRN_nodeVal* value = net.GetNode(h)->Value();
    if (value->HasEvidence()) known[h] = value->GetEvidence();
  }
  for (const auto& [h, state] : parts->GetDerivedStates()) {
    if (h >= 0 && h < slots) known[h] = state;
  }
  // Families whose members are all certain count once at their cell.
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (known[h] < 0 || (*counts)[h].empty()) continue;
    int offset = 0, stride = 0;
    VRN_matrix& table = (*counts)[h][0];
    if (!FamilyOffset(net, table, h, known, -1, &offset, &stride)) continue;
    table.GetItems().Items()[offset] += 1.0;
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
    CountSingleNode(net, h, *table, known, counts, &counted);
  }
  bool all = true;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (counted[h]) continue;
    all = false;
    (void)log->LogError(kErrZeroMarginal,
                        relevanceOn ? "EM: not all counts updated"
                                    : "EM: please run with relevance enabled");
  }
  return all ? kOk : kErrZeroMarginal;
}

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

// New parameters of node h from prior and counts (counts emptied).
int Maximise(VRN_network& work, int h, double weight, const VRN_matrix& prior,
             VRN_matrix* counts) {
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
  return node->Definition()->SetDefinitionFromMatrix(t);
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
    return log->LogError(qelta::kErrWrongNodeType,
                         "EM: least-squares learning of equation nodes is not available");
  }
  if (!(netDiscrete && dataDiscrete)) {
    return log->LogError(qelta::kErrInvalidValue,
                         "EM: unsupported mix of discrete and continuous items in network and/or dataset");
  }
  if (net.HasPlateNode()) {
    return log->LogError(qelta::kErrWrongNodeType,
                         "EM: dynamic networks are not supported");
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
  if (fixedNodes.empty() && complete && allCpt &&
      static_cast<int>(matches.size()) == net.GetNumberOfNodes()) {
    const double pseudo = uniformizeParameters || randomizeParameters
                              ? 0.0
                              : static_cast<double>(eqSampleSize);
    return VRN_CountParameters(net, data, matches, score, pseudo);
  }

  VRN_network work(net, 0);
  (void)work.SetAutoUpdate(false);
  work.SetRelevanceReasoning(relevance);
  (void)work.ClearAllEvidence();
  (void)work.ClearAllTargets();
  work.EnableCaseUpdates(false);
  const std::vector<int>* startNodes = fixedNodes.empty() ? nullptr : &learnList;
  if (uniformizeParameters) {
    (void)work.UniformizeParameters(startNodes);
  } else if (randomizeParameters) {
    VRN_randomGenerator generator(seed);
    (void)work.RandomizeParameters(&generator, startNodes);
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

  const int slots = work.GetSlotCount();
  qelta::CountTables counts(slots);
  std::vector<VRN_matrix> priors(slots);
  for (int h = work.GetFirstNode(); h >= 0; h = work.GetNextNode(h)) {
    const VRN_matrix* table = work.GetNode(h)->Definition()->GetMatrixConst();
    if (table == nullptr) continue;
    priors[h] = *table;
    counts[h].push_back(*table);
    counts[h][0].FillWith(0.0);
  }
  const int records = data.GetRecordCount();
  const double weight = static_cast<double>(eqSampleSize);
  double current = 0.0;
  for (int pass = 1;; ++pass) {
    const double previous = current;
    current = 0.0;
    for (int r = 0; r < records; ++r) {
      (void)work.ClearAllEvidence();
      for (const VRN_dataMatch& m : matches) {
        if (data.IsMissing(m.column, r)) continue;
        const int value = data.GetInt(m.column, r);
        if (value < 0) continue;
        const int status = work.GetNode(m.node)->Value()->SetEvidence(value);
        if (status != kOk) {
          const std::string message = "EM: can't set evidence in record " +
                                      std::to_string(r + 1) + " for node " +
                                      net.GetNode(m.node)->GetId();
          (void)log->LogError(status, message.c_str());
        }
      }
      double p = -1.0;
      if (!work.CalcPropEvidence(p, false) || !(p > 0.0) || p > 1.0 + 1e-9) {
        const std::string message =
            "EM: the data of record " + std::to_string(r + 1) +
            " are impossible or their probability cannot be computed";
        return log->LogError(qelta::kErrOutOfMemory, message.c_str());
      }
      current += std::log(p);
      const int status = qelta::CountCase(work, relevance, &counts, log);
      if (status != kOk) return status;
      if (!qelta::Tick(progress)) return qelta::kErrCancelled;
    }
    bool converged;
    if (records == 0 || current == 0.0) {
      converged = true;
    } else if (previous == 0.0) {
      converged = false;
    } else {
      converged = previous >= current || previous / current < 1.0001;
    }
    if (pass >= qelta::kMaxPasses) converged = true;
    if (qelta::g_observer != nullptr) qelta::g_observer(current, qelta::g_observerContext);
    for (int h : workLearn) {
      if (counts[h].empty()) continue;
      const int status = qelta::Maximise(work, h, weight, priors[h], &counts[h][0]);
      if (status != kOk) return status;
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
      if (status != kOk) return status;
    }
    if (score != nullptr) *score = current;
    return kOk;
  }
}

int VRN_DistributedHelperEM(VRN_network& net, bool relevance,
                            std::vector<std::vector<VRN_matrix>>& counts) {
  // A private copy keeps the caller's targets, flags and values untouched.
  VRN_network work(net, 0);
  (void)work.SetAutoUpdate(false);
  (void)work.ClearAllTargets();
  work.SetRelevanceReasoning(relevance);
  if (static_cast<int>(counts.size()) < work.GetSlotCount()) {
    counts.resize(work.GetSlotCount());
  }
  return qelta::CountCase(work, relevance, &counts, net.ErrorLog());
}
