#include "diagnosis/diag_network.h"

#include <exception>
#include <string>

#include "base/error_log.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_session.h"
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

}  // namespace

// The session's view of its owner.
class VRN_diagNetwork::Adapter : public VRN_diagSessionAdapter {
 public:
  explicit Adapter(VRN_diagNetwork* owner) : owner_(owner) {}

  VRN_network* GetNetwork() override { return owner_->network_; }
  int GetDescendants(int node, VRN_intArray& out) override {
    return owner_->network_->GetDescendants(node, out);
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
  CollectFaults();
  InstantiateDefaults();
  CollectTests();
  session_ = std::make_unique<VRN_diagSession>(new Adapter(this));
}

VRN_diagNetwork::~VRN_diagNetwork() {
  session_.reset();
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
  VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() != kTypeTarget) continue;
    // Equation targets cannot exist in this build; only discrete outcomes
    // carry fault flags.
    const VRN_discDef* def = DiscreteDef(node);
    if (def == nullptr) continue;
    const int n = OutcomeCount(node);
    for (int i = 0; i < n; ++i) {
      if (def->IsFaultOutcome(i)) {
        faults_.push_back({h, i});
        faultIds_.emplace_back(node.GetId());
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
    if (fault.outcome >= OutcomeCount(*network_->GetNode(fault.node))) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Fault node %s no longer has outcome %d; restart the "
                       "diagnosis session",
                       faultIds_[i].c_str(), fault.outcome);
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
    if (OutcomeCount(*network_->GetNode(tests_[i])) < 1) {
      return log->Logf(qelta::kErrOutOfRange,
                       "Test node %s has no outcomes; restart the diagnosis "
                       "session",
                       id.c_str());
    }
  }
  return qelta::kOk;
}

int VRN_diagNetwork::UpdateFaultBeliefs() {
  const int check = CheckLists();
  if (check != qelta::kOk) return check;
  VRN_network& net = *network_;
  VRN_targetEvidenceSaver saver(network_, true);
  (void)net.ClearAllTargets();
  (void)net.InvalidateValues();
  bool observed = false;
  if (dSep_) {
    for (int h = net.GetFirstNode(); h >= 0 && !observed;
         h = net.GetNextNode(h)) {
      const VRN_node& node = *net.GetNode(h);
      observed = node.GetDiagType() == kTypeObservation &&
                 node.Value()->HasEvidence();
    }
  }
  int status;
  if (!observed) {
    for (const VRN_diagFault& fault : faults_) {
      if (!net.GetNode(fault.node)->IsTarget()) {
        (void)net.SetTarget(fault.node, true);
      }
    }
    status = net.UpdateBeliefs();
  } else {
    std::vector<char> marked(static_cast<std::size_t>(net.GetSlotCount()), 0);
    VRN_intArray ancestors;
    for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
      const VRN_node& node = *net.GetNode(h);
      if (node.GetDiagType() != kTypeObservation ||
          !node.Value()->HasEvidence()) {
        continue;
      }
      (void)net.GetAncestors(h, ancestors);
      for (int a : ancestors) marked[static_cast<std::size_t>(a)] = 1;
    }
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
  if (!IsSameNode(fault.node, faultIds_[static_cast<std::size_t>(index)])) {
    return -1.0;
  }
  const VRN_nodeVal* value = network_->GetNode(fault.node)->Value();
  if (!value->IsValueValid()) return -1.0;
  const VRN_matrix& beliefs = value->GetValue();
  if (fault.outcome < 0 || fault.outcome >= beliefs.GetItemCount()) {
    return -1.0;
  }
  return beliefs.GetItem(fault.outcome);
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
    if (i < 0 || i >= GetFaultCount()) return qelta::kErrOutOfRange;
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
  if (!MandatoriesInstantiated() || pursued_.IsEmpty()) {
    return qelta::kErrOutOfRange;
  }
  const int check = CheckLists();
  if (check != qelta::kOk) return check;
  results_.clear();
  results_.reserve(static_cast<std::size_t>(tests_.GetSize()) * 3);
  ClearRecords();
  // The copies are remade so that edits since the last ranking count.
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

bool VRN_diagNetwork::MandatoriesInstantiated() const {
  const VRN_network& net = *network_;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_node& node = *net.GetNode(h);
    if (node.GetDiagType() == kTypeObservation && node.IsMandatory() &&
        !node.Value()->HasEvidence()) {
      return false;
    }
  }
  return true;
}

int VRN_diagNetwork::InstantiateObservation(int node, int outcome) {
  VRN_node* record = network_->GetNode(node);
  if (record == nullptr) return qelta::kErrOutOfRange;
  if (record->Definition()->GetType() == kEquationType) {
    return qelta::kErrWrongNodeType;
  }
  VRN_nodeVal* value = record->Value();
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
