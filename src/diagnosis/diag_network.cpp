#include "diagnosis/diag_network.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_session.h"
#include "equations/equation.h"
#include "equations/equation_evaluation.h"
#include "network/network.h"
#include "network/node.h"
#include "network/target_saver.h"

namespace qelta::diag {

bool IsMultiFaultCode(int code) {
  switch (code) {
    case 0x101: case 0x102: case 0x103: case 0x104: case 0x105:
    case 0x41: case 0x81:
    case 0x0A: case 0x12: case 0x22:
    case 0x0C: case 0x14: case 0x24:
      return true;
    default:
      return false;
  }
}

}  // namespace qelta::diag

namespace {

// Computed scores first, then the not-computed value, the not-available
// one, NaN.
int PresentationClass(double score) {
  if (std::isnan(score)) return 3;
  if (score == qelta::kNotAvailableValue) return 2;
  if (score == qelta::diag::kNotComputed) return 1;
  return 0;
}

// |rating| less alpha times cost. The score is rating - alpha x cost, so
// alpha x cost is rating - score: no alpha is read again, and a rating that
// is not negative keys its score exactly.
double PresentationKey(const VRN_diagTestResult& record) {
  if (!(record.cost > 0.0)) return std::fabs(record.score);
  if (!(record.rating < 0.0)) return record.score;
  const double key = (record.score - record.rating) - record.rating;
  // -inf less -inf: the rating is lost, the score decides.
  return std::isnan(key) ? record.score : key;
}

constexpr int kTypeTarget = 0;
constexpr int kTypeObservation = 1;
constexpr int kEquationType = 4;

const VRN_discDef* DiscreteDef(const VRN_node& node) {
  return dynamic_cast<const VRN_discDef*>(node.Definition());
}

int OutcomeCount(const VRN_node& node) {
  const int n = node.Definition()->GetNumberOfOutcomes();
  return n < 0 ? 0 : n;
}

bool IsEquation(const VRN_node& node) {
  return node.Definition()->GetType() == kEquationType;
}

// A discrete node's outcomes as a fault list reads them: each one's fault
// mark and identifier. An outcome inserted, removed or moved, or another
// node in the slot, changes it; renumbering is not needed to see it.
std::string FaultOutcomes(const VRN_node& node) {
  std::string text;
  const VRN_discDef* def = DiscreteDef(node);
  if (def == nullptr) return text;
  const VRN_idArray& ids = *def->GetOutcomesNames();
  for (int i = 0; i < OutcomeCount(node); ++i) {
    text += def->IsFaultOutcome(i) ? '1' : '0';
    if (i < ids.GetSize() && ids.Get(i) != nullptr) text += ids.Get(i);
    text += '\0';
  }
  return text;
}

// The kind of an influence-diagram node type, for messages.
const char* DecisionKind(int type) {
  switch (type) {
    case qelta::kDefDecision:
      return "decision";
    case qelta::kDefUtility:
      return "utility";
    default:
      return "multi-attribute utility";
  }
}

bool HasEquationNodes(const VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (IsEquation(*net.GetNode(h))) return true;
  }
  return false;
}

// The interval of edges (lower bound, then each boundary) that holds x: the
// first whose boundary is greater, the last when none.
int IntervalOf(const std::vector<double>& edges, double x) {
  const int n = static_cast<int>(edges.size()) - 1;
  for (int k = 0; k + 1 < n; ++k) {
    if (x < edges[static_cast<std::size_t>(k) + 1]) return k;
  }
  return n - 1;
}

// The (observation, slice) pairs that hold observed evidence: slice 0 is a
// node's own evidence, later slices a plate node's slice observations.
std::vector<std::pair<int, int>> ObservedSlices(const VRN_network& net) {
  std::vector<std::pair<int, int>> seen;
  const int slices = net.GetNumberOfSlices();
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() != kTypeObservation) continue;
    const VRN_nodeVal* value = node.Value();
    if (value->HasEvidence()) seen.emplace_back(h, 0);
    if (!value->IsPlate()) continue;
    for (int s = 1; s < slices; ++s) {
      if (value->IsTemporalEvidence(s)) seen.emplace_back(h, s);
    }
  }
  return seen;
}

// Marks, per handle of net, the nodes that the d-separation walk reaches
// from the (node, slice) starts: their ancestors, or their descendants. A
// network with plate nodes is walked unrolled, so that temporal arcs and a
// terminal node's link to the last slice count as arcs and a slice
// observation starts at its slice's copy; a plate node is marked when its
// slice 0 is reached, as that is what its handle stands for in a session.
// When the network does not unroll, every node is marked: nothing is then
// taken to be separated.
std::vector<char> MarkReachable(VRN_network& net,
                                const std::vector<std::pair<int, int>>& starts,
                                bool ancestors) {
  std::vector<char> marked(static_cast<std::size_t>(net.GetSlotCount()), 0);
  VRN_network unrolled;
  std::vector<int> map;
  VRN_network* walked = &net;
  std::size_t count = 0;
  if (net.HasPlateNode()) {
    if (net.UnrollNetwork(unrolled, map) != qelta::kOk) {
      std::fill(marked.begin(), marked.end(), 1);
      return marked;
    }
    walked = &unrolled;
    count = map.size() / static_cast<std::size_t>(net.GetNumberOfSlices());
  }
  std::vector<char> reached(static_cast<std::size_t>(walked->GetSlotCount()),
                            0);
  VRN_intArray found;
  for (const auto& [h, slice] : starts) {
    int at = h;
    if (slice > 0) {
      const auto plates = map.begin() + static_cast<std::ptrdiff_t>(count);
      const auto it = std::lower_bound(map.begin(), plates, h);
      if (it == plates || *it != h) continue;
      at = map[static_cast<std::size_t>(slice) * count +
               static_cast<std::size_t>(it - map.begin())];
    }
    (void)(ancestors ? walked->GetAncestors(at, found)
                     : walked->GetDescendants(at, found));
    for (int r : found) reached[static_cast<std::size_t>(r)] = 1;
  }
  // The unrolled network keeps every node of net under its own handle.
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    marked[static_cast<std::size_t>(h)] = reached[static_cast<std::size_t>(h)];
  }
  return marked;
}

}  // namespace

// The session's view of its owner.
class VRN_diagNetwork::Adapter : public VRN_diagSessionAdapter {
 public:
  explicit Adapter(VRN_diagNetwork* owner) : owner_(owner) {}

  VRN_network* GetNetwork() override { return owner_->network_; }
  int GetDescendants(int node, VRN_intArray& out) override {
    VRN_network& net = *owner_->network_;
    if (!net.HasPlateNode() || net.GetNode(node) == nullptr) {
      return net.GetDescendants(node, out);
    }
    const std::vector<char> marked = MarkReachable(net, {{node, 0}}, false);
    out.Flush();
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      if (marked[static_cast<std::size_t>(h)] != 0) out.Add(h);
    }
    return qelta::kOk;
  }
  int GetCostNodes(VRN_intArray& groups, VRN_intArray& descendants) override;
  const VRN_intArray& GetTests() override { return owner_->tests_; }
  int GetPursuedFault() override { return owner_->GetPursuedFault(); }
  const VRN_intArray& GetPursuedFaults() override { return owner_->pursued_; }
  const VRN_diagFault& GetFault(int index) override {
    return owner_->faults_[index];
  }
  bool GetDSep() override { return owner_->dSep_; }
  bool GetOptionB() override { return owner_->rankPerformedTests_; }
  bool GetOptionA() override { return owner_->keepNegativeCosts_; }
  double GetAlphaValue() override {
    return owner_->GetDoubleProperty("DIAG_alphaValue", 1.0);
  }
  int GetResultCount() override {
    return static_cast<int>(owner_->results_.size());
  }
  void AddTestResult(const VRN_diagTestResult& record,
                     bool performed) override {
    (performed ? owner_->performedResults_ : owner_->testResults_)
        .push_back(record);
  }
  void AppendResults(const double* values, int n) override {
    owner_->results_.insert(owner_->results_.end(), values, values + n);
  }

 private:
  VRN_diagNetwork* owner_;
};

int VRN_diagNetwork::Adapter::GetCostNodes(VRN_intArray& groups,
                                           VRN_intArray& descendants) {
  VRN_network& network = *owner_->network_;
  groups.Flush();
  descendants.Flush();
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    if (network.GetNode(h)->GetCostChildren().GetSize() > 0 &&
        network.IsTestGroupCost(h)) {
      groups.Add(h);
    }
  }
  (void)network.SortNodesByOrder(groups);
  VRN_intArray below;
  for (int g : groups) {
    (void)network.GetCostDescendants(g, below);
    for (int d : below) (void)descendants.AddUnique(d);
  }
  (void)network.SortNodesByOrder(descendants);
  return qelta::kOk;
}

VRN_diagNetwork::VRN_diagNetwork(VRN_network* network) : network_(network) {
  savedAutoUpdate_ = network_->IsAutoUpdate();
  (void)network_->SetAutoUpdate(false);
  Collect();
  // A failed conversion is logged and answered by the first update.
  (void)PrepareCopies();
}

VRN_diagNetwork::VRN_diagNetwork(VRN_network* copy, NestedTag)
    : network_(copy), isNested_(true) {
  savedAutoUpdate_ = network_->IsAutoUpdate();
  (void)network_->SetAutoUpdate(false);
  Collect();
  session_ = std::make_unique<VRN_diagSession>(new Adapter(this));
}

void VRN_diagNetwork::Collect() {
  // Defaults and tests depend on which nodes hold evidence.
  network_->RefreshImpliedEvidence();
  CollectFaults();
  InstantiateDefaults();
  CollectTests();
}

int VRN_diagNetwork::PrepareCopies() {
  if (isNested_) return qelta::kOk;
  nested_.reset();
  copy_.reset();
  if (!HasEquationNodes(*network_)) {
    if (session_ == nullptr) {
      session_ = std::make_unique<VRN_diagSession>(new Adapter(this));
    }
    return qelta::kOk;
  }
  session_.reset();
  auto copy = std::make_unique<VRN_network>(*network_, qelta::kCopyWorking);
  const int status = DiscretizeEquationNodes(*copy);
  if (status != qelta::kOk) return status;
  copy_ = std::move(copy);
  nested_.reset(new VRN_diagNetwork(copy_.get(), NestedTag{}));
  return qelta::kOk;
}

int VRN_diagNetwork::DiscretizeEquationNodes(VRN_network& copy) {
  copy.SetRelevanceReasoning(false);
  for (int h = copy.GetFirstNode(); h >= 0; h = copy.GetNextNode(h)) {
    VRN_equation* equation = VRN_GetEquation(&copy, h);
    // -3 (no constant parent) is the common answer; any other failure
    // leaves the equation as it was, which still converts.
    if (equation != nullptr) (void)equation->InlineConstantParents(true);
  }
  // The evidence is mirrored afterwards, as intervals; a number must not
  // travel into a CPT's value.
  (void)copy.ClearAllEvidence();
  const VRN_intArray order = copy.PartialOrder();
  for (int h : order) {
    VRN_node* node = copy.GetNode(h);
    if (node == nullptr || !IsEquation(*node)) continue;
    // Two default intervals for a node that has none.
    (void)node->Definition()->GetDiscreteOutcomeCount();
    const int status = node->setNodeType(qelta::kDefCpt);
    if (status != qelta::kOk) {
      return network_->ErrorLog()->Logf(
          status, "Equation node %s cannot be discretized for diagnosis",
          node->GetId());
    }
  }
  return qelta::kOk;
}

VRN_diagNetwork::~VRN_diagNetwork() {
  session_.reset();
  nested_.reset();
  copy_.reset();
  if (!savedAutoUpdate_) return;
  // Switching automatic updating on runs an update, which may run out of
  // memory; a destructor cannot report it, and the values then stay invalid
  // until the next update.
  try {
    (void)network_->SetAutoUpdate(true);
  } catch (const std::exception&) {
  }
}

void VRN_diagNetwork::CollectFaults() {
  faults_.clear();
  faultIds_.clear();
  faultOutcomes_.clear();
  faultOnEquation_.clear();
  VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() != kTypeTarget) continue;
    if (const VRN_equation* equation = VRN_GetEquation(&net, h)) {
      // Each finite nominal bound is the source of a fault of its own.
      double lower = 0.0;
      double upper = 0.0;
      equation->GetNominalBounds(&lower, &upper);
      for (const auto& [bound, outcome] : {std::pair{lower, -1},
                                           std::pair{upper, 1}}) {
        if (!VRN_IsFiniteValue(bound)) continue;
        faults_.push_back({h, outcome});
        faultIds_.emplace_back(node.GetId());
        faultOutcomes_.emplace_back();
        faultOnEquation_.push_back(1);
      }
      continue;
    }
    const VRN_discDef* def = DiscreteDef(node);
    if (def == nullptr) continue;
    const int n = OutcomeCount(node);
    const std::string outcomes = FaultOutcomes(node);
    for (int i = 0; i < n; ++i) {
      if (def->IsFaultOutcome(i)) {
        faults_.push_back({h, i});
        faultIds_.emplace_back(node.GetId());
        faultOutcomes_.push_back(outcomes);
        faultOnEquation_.push_back(0);
      }
    }
  }
}

void VRN_diagNetwork::InstantiateDefaults() {
  VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() != kTypeObservation) continue;
    VRN_nodeVal* value = node.Value();
    if (value->HasEvidence() || value->HasVirtualEvidence()) continue;
    if (const VRN_equation* equation = VRN_GetEquation(&net, h)) {
      double x = 0.0;
      if (!equation->IsConstant() &&
          equation->GetDefaultValue(&x) == qelta::kOk) {
        (void)value->SetContEvidence(x);
      }
      continue;
    }
    const VRN_discDef* def = DiscreteDef(node);
    if (def == nullptr) continue;
    const int outcome = def->GetDefaultOutcome();
    if (outcome >= 0 && outcome < OutcomeCount(node)) {
      (void)value->SetEvidence(outcome);
    }
  }
}

void VRN_diagNetwork::AppendTest(int node) {
  tests_.Add(node);
  testIds_.emplace_back(network_->GetNode(node)->GetId());
}

void VRN_diagNetwork::CollectTests() {
  VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() == kTypeObservation && node.IsRanked() &&
        !node.Value()->HasEvidence() && !tests_.Contains(h)) {
      AppendTest(h);
    }
  }
}

void VRN_diagNetwork::ClearRecords() {
  testResults_.clear();
  performedResults_.clear();
}

bool VRN_diagNetwork::IsSameNode(int handle, const std::string& id) const {
  const VRN_node* node = network_->GetNode(handle);
  return node != nullptr && id == node->GetId();
}

int VRN_diagNetwork::CheckLists() const {
  VRN_errorLog* log = network_->ErrorLog();
  for (std::size_t i = 0; i < faults_.size(); ++i) {
    const VRN_diagFault& fault = faults_[i];
    if (!IsSameNode(fault.node, faultIds_[i])) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Fault node %s is no longer in the network; restart "
                       "the diagnosis session",
                       faultIds_[i].c_str());
    }
    const VRN_node& node = *network_->GetNode(fault.node);
    const bool equation = faultOnEquation_[i] != 0;
    if (equation != IsEquation(node) ||
        (!equation &&
         (fault.outcome < 0 || fault.outcome >= OutcomeCount(node)))) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Fault node %s no longer has outcome %d; restart the "
                       "diagnosis session",
                       faultIds_[i].c_str(), fault.outcome);
    }
    if (!equation && FaultOutcomes(node) != faultOutcomes_[i]) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Outcomes of fault node %s have changed; restart the "
                       "diagnosis session",
                       faultIds_[i].c_str());
    }
  }
  for (int i = 0; i < tests_.GetSize(); ++i) {
    const std::string& id = testIds_[static_cast<std::size_t>(i)];
    if (!IsSameNode(tests_[i], id)) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Test node %s is no longer in the network; restart "
                       "the diagnosis session",
                       id.c_str());
    }
    const VRN_node& node = *network_->GetNode(tests_[i]);
    if (!IsEquation(node) && OutcomeCount(node) < 1) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Test node %s has no outcomes; restart the diagnosis "
                       "session",
                       id.c_str());
    }
  }
  return qelta::kOk;
}

int VRN_diagNetwork::RefuseInfluenceDiagram() const {
  if (!network_->IsInfluenceDiagram()) return qelta::kOk;
  for (int h = network_->GetFirstNode(); h >= 0; h = network_->GetNextNode(h)) {
    const VRN_node& node = *network_->GetNode(h);
    const int type = node.Definition()->GetType();
    if (!VRN_nodeDef::IsInfluenceType(type)) continue;
    return network_->ErrorLog()->Logf(
        qelta::kErrOutOfRange,
        "Diagnosis cannot use influence diagrams: node %s is a %s node",
        node.GetId(), DecisionKind(type));
  }
  return qelta::kOk;
}

int VRN_diagNetwork::UpdateFaultBeliefs() {
  // Refused before anything changes, evidence implied included.
  const int kinds = RefuseInfluenceDiagram();
  if (kinds != qelta::kOk) return kinds;
  network_->RefreshImpliedEvidence();
  const int check = CheckLists();
  if (check != qelta::kOk) return check;
  const int prepared = PrepareCopies();
  if (prepared != qelta::kOk) return prepared;
  if (nested_ != nullptr) {
    MirrorEvidence();
    nested_->dSep_ = dSep_;
    const int status = nested_->UpdateFaultBeliefs();
    (void)network_->InvalidateValues();
    const VRN_network& copy = *copy_;
    for (int h = copy.GetFirstNode(); h >= 0; h = copy.GetNextNode(h)) {
      const VRN_node& from = *copy.GetNode(h);
      VRN_node* to = network_->GetNode(h);
      if (to == nullptr || from.GetDiagType() != kTypeTarget ||
          !from.Value()->IsValueValid()) {
        continue;
      }
      const VRN_matrix& beliefs = from.Value()->GetValue();
      VRN_nodeVal* value = to->Value();
      // A plate node's beliefs hold one row per slice.
      const int rows = value->IsPlate() ? network_->GetNumberOfSlices() : 1;
      if (auto* samples = dynamic_cast<VRN_equationEvaluation*>(value)) {
        // The beliefs over the intervals stand for the samples.
        samples->ResetSamples(0);
      } else if (OutcomeCount(*to) * rows != beliefs.GetItemCount()) {
        continue;
      }
      value->GetMutableValue() = beliefs;
      value->AddFlags(qelta::kValFlagValid);
    }
    return status;
  }
  VRN_network& net = *network_;
  VRN_targetEvidenceSaver saver(network_, true);
  (void)net.ClearAllTargets();
  (void)net.InvalidateValues();
  std::vector<std::pair<int, int>> observed;
  if (dSep_) observed = ObservedSlices(net);
  int status;
  if (observed.empty()) {
    for (const VRN_diagFault& fault : faults_) {
      if (!net.GetNode(fault.node)->IsTarget()) {
        (void)net.SetTarget(fault.node, true);
      }
    }
    status = net.UpdateBeliefs();
  } else {
    const std::vector<char> marked = MarkReachable(net, observed, true);
    bool any = false;
    for (const VRN_diagFault& fault : faults_) {
      if (marked[static_cast<std::size_t>(fault.node)] == 0) continue;
      any = true;
      if (!net.GetNode(fault.node)->IsTarget()) {
        (void)net.SetTarget(fault.node, true);
      }
    }
    if (!any && !faults_.empty()) (void)net.SetTarget(faults_[0].node, true);
    status = net.UpdateBeliefs();
    for (const VRN_diagFault& fault : faults_) {
      if (marked[static_cast<std::size_t>(fault.node)] == 0) {
        net.GetNode(fault.node)->Value()->Invalidate();
      }
    }
  }
  (void)saver.Restore();
  return status;
}

double VRN_diagNetwork::FaultProbability(int index) const {
  const VRN_diagFault& fault = faults_[static_cast<std::size_t>(index)];
  if (!IsSameNode(fault.node, faultIds_[static_cast<std::size_t>(index)]) ||
      (faultOnEquation_[static_cast<std::size_t>(index)] == 0 &&
       FaultOutcomes(*network_->GetNode(fault.node)) !=
           faultOutcomes_[static_cast<std::size_t>(index)])) {
    return -1.0;
  }
  // An influence diagram's values are laid out by decisions, and no
  // session updates them.
  if (network_->IsInfluenceDiagram()) return -1.0;
  const VRN_nodeVal* value = network_->GetNode(fault.node)->Value();
  if (!value->IsValueValid()) return -1.0;
  const VRN_matrix& beliefs = value->GetValue();
  if (faultOnEquation_[static_cast<std::size_t>(index)] != 0) {
    // Beliefs over the intervals exist only after a discrete update.
    if (beliefs.IsEmpty()) return -1.0;
    std::vector<int> intervals;
    FaultIntervals(fault.node, fault.outcome, intervals);
    double sum = 0.0;
    for (int j : intervals) {
      if (j >= beliefs.GetItemCount()) return -1.0;
      sum += beliefs.GetItem(j);
    }
    return sum;
  }
  if (fault.outcome < 0 || fault.outcome >= beliefs.GetItemCount()) {
    return -1.0;
  }
  return beliefs.GetItem(fault.outcome);
}

void VRN_diagNetwork::FaultIntervals(int node, int outcome,
                                     std::vector<int>& out) const {
  out.clear();
  const VRN_equation* equation = VRN_GetEquation(network_, node);
  if (copy_ == nullptr || equation == nullptr) return;
  const VRN_node* discretized = copy_->GetNode(node);
  const VRN_discDef* def =
      discretized == nullptr ? nullptr : DiscreteDef(*discretized);
  if (def == nullptr) return;
  double lower = 0.0;
  double upper = 0.0;
  equation->GetNominalBounds(&lower, &upper);
  const int n = OutcomeCount(*discretized);
  for (int j = 0; j < n; ++j) {
    double low = 0.0;
    double high = 0.0;
    if (!def->IsFaultOutcome(j) ||
        def->GetOutcomeInterval(j, &low, &high) != qelta::kOk) {
      continue;
    }
    if ((outcome == -1 && high <= lower) || (outcome == 1 && low >= upper)) {
      out.push_back(j);
    }
  }
}

int VRN_diagNetwork::GetTestOutcomeCount(int node) const {
  const VRN_network* net = copy_ != nullptr ? copy_.get() : network_;
  const VRN_node* record = net->GetNode(node);
  return record == nullptr ? 0 : OutcomeCount(*record);
}

int VRN_diagNetwork::FindMostLikelyFault() const {
  if (faults_.empty()) return qelta::kErrOutOfRange;
  int best = qelta::kErrOutOfRange;
  double highest = -1.0;
  for (int i = 0; i < GetFaultCount(); ++i) {
    const double p = FaultProbability(i);
    if (p > highest) {
      highest = p;
      best = i;
    }
  }
  return best;
}

int VRN_diagNetwork::SetPursuedFault(int index) {
  if (index < 0 || index >= GetFaultCount()) return qelta::kErrOutOfRange;
  pursued_.Flush();
  pursued_.Add(index);
  return qelta::kOk;
}

int VRN_diagNetwork::SetPursuedFaults(const VRN_intArray& indices) {
  if (indices.IsEmpty()) return qelta::kErrOutOfRange;
  for (int i : indices) {
    if (i < 0 || i >= GetFaultCount()) {
      return network_->ErrorLog()->Logf(qelta::kErrOutOfRange,
                                        "Fault index %d is outside 0 to %d", i,
                                        GetFaultCount() - 1);
    }
  }
  pursued_ = indices;
  return qelta::kOk;
}

int VRN_diagNetwork::GetPursuedFault() const {
  return pursued_.GetSize() == 1 ? pursued_[0] : qelta::kErrOutOfRange;
}

bool VRN_diagNetwork::IsPursued(int index) const {
  return pursued_.Contains(index);
}

int VRN_diagNetwork::FindFault(int node, int outcome) const {
  const int index = FaultIndex(node, outcome);
  if (index >= 0) return index;
  const VRN_node* record = network_->GetNode(node);
  if (record == nullptr) {
    return network_->ErrorLog()->Logf(qelta::kErrOutOfRange,
                                      "No fault is outcome %d of node %d: the network has no "
                                      "node %d", outcome, node, node);
  }
  return network_->ErrorLog()->Logf(qelta::kErrOutOfRange,
                                    "Outcome %d of node [%s] is no fault of the session",
                                    outcome, record->GetId());
}

int VRN_diagNetwork::FaultIndex(int node, int outcome) const {
  for (int i = 0; i < GetFaultCount(); ++i) {
    if (faults_[static_cast<std::size_t>(i)].node == node &&
        faults_[static_cast<std::size_t>(i)].outcome == outcome) {
      return i;
    }
  }
  return qelta::kErrOutOfRange;
}

int VRN_diagNetwork::SetSingleFaultAlgorithm(int code) {
  if (code != 0x200 && code != 0x400 && code != 0x800) {
    return qelta::kErrOutOfRange;
  }
  singleFaultAlgorithm_ = code;
  return qelta::kOk;
}

int VRN_diagNetwork::SetMultiFaultAlgorithm(int code) {
  if (!qelta::diag::IsMultiFaultCode(code)) return qelta::kErrOutOfRange;
  multiFaultAlgorithm_ = code;
  return qelta::kOk;
}

int VRN_diagNetwork::UpdateTestStrengths() {
  return RankTests(pursued_.GetSize() < 2 ? singleFaultAlgorithm_
                                          : multiFaultAlgorithm_);
}

int VRN_diagNetwork::RankTests(int code) {
  const int kinds = RefuseInfluenceDiagram();
  if (kinds != qelta::kOk) {
    // The network became a diagram after a ranking: nothing of it is valid.
    ClearRecords();
    results_.clear();
    return kinds;
  }
  network_->RefreshImpliedEvidence();
  const int mandatory = FirstMandatoryWithoutEvidence();
  if (mandatory >= 0) {
    return network_->ErrorLog()->Logf(
        qelta::kErrOutOfRange,
        "Mandatory observation node %s has no evidence; observe it before "
        "ranking tests",
        network_->GetNode(mandatory)->GetId());
  }
  if (pursued_.IsEmpty()) {
    return network_->ErrorLog()->LogError(
        qelta::kErrOutOfRange,
        "No fault is pursued; pursue a fault before ranking tests");
  }
  const int check = CheckLists();
  if (check != qelta::kOk) return check;
  results_.clear();
  ClearRecords();
  // The copies are remade so that edits since the last ranking count.
  const int prepared = PrepareCopies();
  if (prepared != qelta::kOk) return prepared;
  if (nested_ != nullptr) return CopyResultsFromNested(code);
  results_.reserve(static_cast<std::size_t>(tests_.GetSize()) * 3);
  session_->Init();
  int status;
  const int first = pursued_[0];
  bool oneNode = true;
  for (int i : pursued_) {
    oneNode = oneNode && faults_[static_cast<std::size_t>(i)].node ==
                             faults_[static_cast<std::size_t>(first)].node;
  }
  if (pursued_.GetSize() == 1) {
    status = session_->ComputeSingleFault(code);
  } else if (oneNode) {
    status = session_->ComputeFaultsOfOneNode();
  } else if ((code & qelta::diag::kMultiMeasureFlag) != 0) {
    status = session_->ComputeMultiFaultMeasure(code);
  } else if ((code & qelta::diag::kMultiCertaintyFlag) != 0) {
    status = session_->ComputeCertaintyRanking(code);
  } else if ((code & qelta::diag::kMultiProductEntropyFlag) != 0) {
    status = session_->ComputeProductEntropyRanking(code);
  } else if ((code & qelta::diag::kMultiJointEntropyFlag) != 0) {
    status = session_->ComputeJointEntropyRanking(code);
  } else {
    status = qelta::kErrOutOfRange;
  }
  if (status != qelta::kOk) {
    // A partial ranking would not line up with the test list.
    ClearRecords();
    results_.clear();
  }
  return status;
}

std::vector<int> VRN_diagNetwork::PresentationOrder() const {
  const std::size_t n = std::min(static_cast<std::size_t>(tests_.GetSize()),
                                 testResults_.size());
  std::vector<int> order(n);
  std::vector<std::pair<int, double>> keys(n);
  for (std::size_t i = 0; i < n; ++i) {
    order[i] = static_cast<int>(i);
    const VRN_diagTestResult& record = testResults_[i];
    const int group = PresentationClass(record.score);
    keys[i] = {group, group == 0 ? PresentationKey(record) : 0.0};
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const auto& ka = keys[static_cast<std::size_t>(a)];
    const auto& kb = keys[static_cast<std::size_t>(b)];
    if (ka.first != kb.first) return ka.first < kb.first;
    return ka.second > kb.second;
  });
  return order;
}

bool VRN_diagNetwork::MandatoriesInstantiated() const {
  return FirstMandatoryWithoutEvidence() < 0;
}

int VRN_diagNetwork::FirstMandatoryWithoutEvidence() const {
  const VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() == kTypeObservation && node.IsMandatory() &&
        !node.Value()->HasEvidence()) {
      return h;
    }
  }
  return -1;
}

int VRN_diagNetwork::InstantiateObservation(int node, int outcome) {
  VRN_node* record = network_->GetNode(node);
  if (record == nullptr) return qelta::kErrOutOfRange;
  if (record->Definition()->GetType() == kEquationType) {
    return qelta::kErrWrongNodeType;
  }
  VRN_nodeVal* value = network_->EvidenceOf(node);
  if (value->HasFlags(qelta::kValFlagPropagated)) {
    return qelta::kErrInvalidValue;
  }
  const int status = value->SetEvidence(outcome);
  if (status != qelta::kOk) return status;
  const int at = tests_.FindPosition(node);
  if (at >= 0) {
    VRN_intArray kept;
    for (int i = 0; i < tests_.GetSize(); ++i) {
      if (i != at) kept.Add(tests_[i]);
    }
    tests_.Swap(kept);
    testIds_.erase(testIds_.begin() + at);
  }
  ClearRecords();
  return qelta::kOk;
}

int VRN_diagNetwork::ReleaseObservation(int node) {
  VRN_node* record = network_->GetNode(node);
  if (record == nullptr) return qelta::kErrOutOfRange;
  const int status = record->Value()->ClearEvidence();
  if (status == qelta::kErrOutOfRange) {
    return network_->ErrorLog()->Logf(status, "Node [%s] has no evidence to release%s",
                                      record->GetId(),
                                      record->GetDiagType() == kTypeObservation
                                          ? ""
                                          : ": it is no observation node");
  }
  if (status != qelta::kOk) return status;
  if (record->GetDiagType() == kTypeObservation && record->IsRanked()) {
    const int at = tests_.FindPosition(node);
    // A handle listed for a node that is gone is replaced, not kept twice.
    if (at >= 0 && !IsSameNode(node, testIds_[static_cast<std::size_t>(at)])) {
      testIds_[static_cast<std::size_t>(at)] = record->GetId();
    } else if (at < 0) {
      AppendTest(node);
    }
  }
  ClearRecords();
  return qelta::kOk;
}

int VRN_diagNetwork::Restart() {
  tests_.Flush();
  testIds_.clear();
  ClearRecords();
  (void)network_->ClearAllEvidence();
  CollectFaults();
  InstantiateDefaults();
  CollectTests();
  VRN_intArray kept;
  for (int i : pursued_) {
    if (i < GetFaultCount()) kept.Add(i);
  }
  pursued_.Swap(kept);
  return qelta::kOk;
}

double VRN_diagNetwork::GetDoubleProperty(const char* key,
                                          double defaultValue) {
  VRN_userProperties& properties = network_->UserProperties();
  const int i = properties.FindProperty(key);
  if (i >= 0) {
    double value = 0.0;
    if (VRN_StringToDouble(properties.GetPropertyValue(i), value) != 0) {
      value = 0.0;
    }
    return value;
  }
  std::string text;
  VRN_AppendDouble(text, defaultValue);
  (void)properties.AddProperty(key, text.c_str());
  return defaultValue;
}

// ------------------------------------------- networks with equation nodes

void VRN_diagNetwork::MirrorEvidence() {
  VRN_network& copy = *copy_;
  (void)copy.ClearAllEvidence();
  const VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* value = net.GetNode(h)->Value();
    VRN_node* target = copy.GetNode(h);
    if (target == nullptr) continue;
    // Plate nodes are never equations: their slices carry over as they are.
    VRN_diagSession::CopySliceEvidence(*value, *target->Value());
    if (value->HasVirtualEvidence()) {
      // Likelihoods count in the copy as they do in the network.
      std::vector<double> likelihoods;
      if (value->GetVirtualEvidence(&likelihoods) == qelta::kOk) {
        (void)target->Value()->SetVirtualEvidence(likelihoods);
      }
      continue;
    }
    if (!value->HasEvidence()) continue;
    int index = -1;
    if (const VRN_equation* equation = VRN_GetEquation(network_, h)) {
      // A constant equation was written into its children's equations.
      if (equation->IsConstant()) continue;
      double x = 0.0;
      std::vector<double> edges;
      const VRN_discDef* def = DiscreteDef(*target);
      if (value->GetContEvidence(&x) != qelta::kOk || def == nullptr ||
          def->GetIntervals(&edges) != qelta::kOk) {
        continue;
      }
      index = IntervalOf(edges, x);
    } else {
      index = value->GetEvidence();
    }
    if (index >= 0) (void)target->Value()->SetEvidence(index);
  }
  nested_->tests_.Flush();
  nested_->testIds_.clear();
  nested_->ClearRecords();
  nested_->CollectTests();
}

void VRN_diagNetwork::MapPursuedFaults(
    std::vector<std::vector<int>>& groups) {
  VRN_intArray mapped;
  groups.assign(static_cast<std::size_t>(pursued_.GetSize()), {});
  std::vector<int> intervals;
  for (int k = 0; k < pursued_.GetSize(); ++k) {
    const std::size_t i = static_cast<std::size_t>(pursued_[k]);
    const VRN_diagFault& fault = faults_[i];
    if (faultOnEquation_[i] != 0) {
      FaultIntervals(fault.node, fault.outcome, intervals);
    } else {
      intervals.assign(1, fault.outcome);
    }
    for (int j : intervals) {
      // A fault the copy does not know is left out, not pursued as -2.
      const int found = nested_->FaultIndex(fault.node, j);
      if (found < 0) continue;
      groups[static_cast<std::size_t>(k)].push_back(mapped.GetSize());
      mapped.Add(found);
    }
  }
  nested_->pursued_.Swap(mapped);
}

int VRN_diagNetwork::CopyResultsFromNested(int code) {
  nested_->dSep_ = dSep_;
  nested_->keepNegativeCosts_ = keepNegativeCosts_;
  nested_->rankPerformedTests_ = rankPerformedTests_;
  // The copy gets the texts themselves, so no digit is lost on the way.
  VRN_userProperties& properties = network_->UserProperties();
  (void)GetDoubleProperty("DIAG_maxAlphaValue", 10.0);
  (void)GetDoubleProperty("DIAG_alphaValue", 1.0);
  for (const char* key : {"DIAG_alphaValue", "DIAG_maxAlphaValue"}) {
    const int at = properties.FindProperty(key);
    if (at >= 0) {
      (void)copy_->UserProperties().AddProperty(
          key, properties.GetPropertyValue(at));
    }
  }
  std::vector<std::vector<int>> groups;
  MapPursuedFaults(groups);
  MirrorEvidence();
  const int status = nested_->RankTests(code);
  if (status != qelta::kOk) return status;
  const VRN_intArray& nestedTests = nested_->tests_;
  for (int i = 0; i < tests_.GetSize(); ++i) {
    const int at = nestedTests.FindPosition(tests_[i]);
    if (at >= 0 &&
        static_cast<std::size_t>(at) < nested_->testResults_.size()) {
      testResults_.push_back(
          nested_->testResults_[static_cast<std::size_t>(at)]);
      continue;
    }
    // Observed meanwhile (a number on an equation node, say): not ranked.
    VRN_diagTestResult record(tests_[i]);
    record.strength = -1.0;
    record.score = -1.0;
    record.rating = -1.0;
    testResults_.push_back(record);
  }
  if (rankPerformedTests_) performedResults_ = nested_->performedResults_;
  RegroupResults(groups);
  return qelta::kOk;
}

void VRN_diagNetwork::RegroupResults(
    const std::vector<std::vector<int>>& groups) {
  const std::vector<double>& from = nested_->results_;
  bool identity = true;
  for (std::size_t k = 0; k < groups.size(); ++k) {
    identity = identity && groups[k].size() == 1 &&
               groups[k][0] == static_cast<int>(k);
  }
  if (identity) {
    results_ = from;
    return;
  }
  // Each block is rebuilt with one posterior per pursued fault of ours.
  const std::size_t m = static_cast<std::size_t>(nested_->pursued_.GetSize());
  const std::size_t size = from.size();
  auto fits = [size](int at, std::size_t length) {
    return at >= 0 && static_cast<std::size_t>(at) <= size &&
           size - static_cast<std::size_t>(at) >= length;
  };
  for (VRN_diagTestResult& record : testResults_) {
    if (record.node < 0 || record.probabilitiesAt < 0) continue;
    const std::size_t n =
        static_cast<std::size_t>(GetTestOutcomeCount(record.node));
    const bool whole = fits(record.probabilitiesAt, n) &&
                       fits(record.posteriorsAt, m * n) &&
                       fits(record.changesAt, n);
    const int first = static_cast<int>(results_.size());
    if (whole) {
      const double* probabilities = from.data() + record.probabilitiesAt;
      const double* posteriors = from.data() + record.posteriorsAt;
      const double* changes = from.data() + record.changesAt;
      results_.insert(results_.end(), probabilities, probabilities + n);
      for (std::size_t j = 0; j < n; ++j) {
        for (const std::vector<int>& group : groups) {
          double sum = 0.0;
          for (int p : group) {
            sum += posteriors[j * m + static_cast<std::size_t>(p)];
          }
          results_.push_back(sum);
        }
      }
      results_.insert(results_.end(), changes, changes + n);
    }
    record.probabilitiesAt = whole ? first : -1;
    record.posteriorsAt =
        whole ? first + static_cast<int>(n) : -1;
    record.changesAt =
        whole ? first + static_cast<int>(n + groups.size() * n) : -1;
  }
}
