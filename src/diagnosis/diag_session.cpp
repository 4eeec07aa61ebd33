#include "diagnosis/diag_session.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "base/special_values.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_measures.h"
#include "diagnosis/diag_network.h"
#include "network/node.h"

namespace {

constexpr int kTypeObservation = 1;
constexpr int kMarkUnavailable = -1;
constexpr int kMarkSeparated = -2;
// The copies keep the temporal part: a dynamic network is ranked on its
// slices, with its temporal arcs and slice evidence, as its own update sees
// it. They need no documentation or cases and never update on their own.
constexpr int kSessionCopyFlags = qelta::kCopyNoDocumentation |
                                  qelta::kCopyEmptyCases |
                                  qelta::kCopyWorking;

// The belief vector of node h in network (its value's items).
const double* Beliefs(const VRN_network& network, int h) {
  return network.GetNode(h)->Value()->GetValue().GetItems().Items();
}

int OutcomeCount(const VRN_network& network, int h) {
  const int n = network.GetNode(h)->Definition()->GetNumberOfOutcomes();
  return n < 0 ? 0 : n;
}

// The outcome node h is observed (or implied) in, else -1.
int EvidenceOutcome(const VRN_network& network, int h) {
  const VRN_nodeVal* value = network.GetNode(h)->Value();
  if (!value->HasEvidence()) return -1;
  const int outcome = value->GetEvidence();
  return outcome < 0 ? -1 : outcome;
}

}  // namespace

VRN_diagSession::VRN_diagSession(VRN_diagSessionAdapter* adapter)
    : adapter_(adapter) {
  Init();
}

VRN_diagSession::~VRN_diagSession() = default;

void VRN_diagSession::Init() {
  for (VRN_network* copy : {&hypothetical_, &working_}) {
    copy->SetRelevanceReasoning(false);
    (void)copy->Copy(Owner(), kSessionCopyFlags);
    copy->SetRelevanceReasoning(false);
  }
}

void VRN_diagSession::CopyEvidence(const VRN_network& source,
                                   VRN_network& destination, int skip) {
  (void)destination.ClearAllEvidence();
  for (int h = source.GetFirstNode(); h >= 0; h = source.GetNextNode(h)) {
    const VRN_nodeVal* from = source.GetNode(h)->Value();
    VRN_node* node = destination.GetNode(h);
    if (node == nullptr) continue;
    CopySliceEvidence(*from, *node->Value());
    if (h == skip ||
        !from->HasFlags(qelta::kValFlagEvidence | qelta::kValFlagVirtual)) {
      continue;
    }
    VRN_evidenceRecord record(&destination, h);
    from->StoreEvidence(record);
    VRN_nodeVal* to = node->Value();
    switch (record.kind) {
      case qelta::kEvidenceOutcome:
        (void)to->SetEvidence(record.outcome);
        break;
      case qelta::kEvidenceOutcomeAndValue:
        (void)to->SetContEvidence(record.value);
        break;
      case qelta::kEvidenceVirtual:
        (void)to->SetVirtualEvidence(record.soft_evidence);
        break;
      default:
        break;
    }
  }
}

void VRN_diagSession::CopySliceEvidence(const VRN_nodeVal& from,
                                        VRN_nodeVal& to) {
  if (!from.IsPlate() || !from.HasTemporalEvidence()) return;
  const int slices = from.GetNetwork()->GetNumberOfSlices();
  std::vector<double> likelihoods;
  for (int s = 1; s < slices; ++s) {
    if (from.IsTemporalEvidence(s)) {
      (void)to.SetTemporalEvidence(s, from.GetTemporalEvidence(s));
    } else if (from.IsTemporalVirtualEvidence(s) &&
               from.GetTemporalVirtualEvidence(s, &likelihoods) ==
                   qelta::kOk) {
      (void)to.SetTemporalVirtualEvidence(s, likelihoods);
    }
  }
}

void VRN_diagSession::Withdraw(VRN_nodeVal* value,
                               const VRN_evidenceRecord& saved) {
  switch (saved.kind) {
    case qelta::kEvidenceOutcome:
      (void)value->SetEvidence(saved.outcome);
      break;
    case qelta::kEvidenceOutcomeAndValue:
      (void)value->SetContEvidence(saved.value);
      break;
    case qelta::kEvidenceVirtual:
      (void)value->SetVirtualEvidence(saved.soft_evidence);
      break;
    default:
      (void)value->ClearEvidence();
      break;
  }
}

void VRN_diagSession::PrepareTests(VRN_intArray& tests) {
  CopyEvidence(Owner(), hypothetical_);
  CopyEvidence(Owner(), working_);
  tests = adapter_->GetTests();
  MarkUnavailableTests(tests, hypothetical_);
  (void)working_.ClearAllTargets();
  (void)hypothetical_.ClearAllTargets();
}

void VRN_diagSession::MarkUnavailableTests(VRN_intArray& tests,
                                           const VRN_network& network) {
  for (int& t : tests) {
    if (t < 0) continue;
    if (GetTestCost(t, network) == qelta::kNotAvailableValue) {
      t = kMarkUnavailable;
    }
  }
}

double VRN_diagSession::GetTestCost(int t, const VRN_network& network,
                                    const VRN_intArray* set_up) {
  const VRN_node& node = *network.GetNode(t);
  const VRN_matrix& cost = node.GetCost();
  const VRN_intArray& parents = node.GetCostParents();
  const int dims = cost.GetDimensionCount();
  if (dims != parents.GetSize() + 1) return cost.GetItem(0);
  VRN_intArray coords(dims);
  VRN_intArray free;
  for (int i = 0; i < parents.GetSize(); ++i) {
    coords[i] = EvidenceOutcome(network, parents[i]);
    if (coords[i] < 0 && set_up != nullptr && set_up->Contains(parents[i])) {
      coords[i] = 1;
    }
    if (coords[i] < 0 || coords[i] >= cost.GetSize(i)) {
      coords[i] = 0;
      free.Add(i);
    }
  }
  coords[dims - 1] = 0;
  if (free.IsEmpty()) return cost.Element(coords);
  // A cost parent without evidence: the cheapest available item over its
  // outcomes.
  double best = qelta::kNotAvailableValue;
  bool found = false;
  while (true) {
    const double c = cost.Element(coords);
    if (c != qelta::kNotAvailableValue && (!found || c < best)) {
      best = c;
      found = true;
    }
    int k = free.GetSize() - 1;
    for (; k >= 0; --k) {
      const int d = free[k];
      if (++coords[d] < cost.GetSize(d)) break;
      coords[d] = 0;
    }
    if (k < 0) break;
  }
  return best;
}

void VRN_diagSession::PrepareCosts() {
  VRN_network& owner = Owner();
  VRN_intArray groups;
  VRN_intArray descendants;
  (void)adapter_->GetCostNodes(groups, descendants);
  for (int d : descendants) {
    const VRN_matrix& original = owner.GetNode(d)->GetCost();
    std::vector<double> items(original.GetItems().begin(),
                              original.GetItems().end());
    (void)hypothetical_.GetNode(d)->SetCostArray(items);
  }
  setUpGroups_.Flush();
  VRN_intArray below;
  for (int g : groups) {
    const VRN_nodeVal* value = hypothetical_.GetNode(g)->Value();
    // An observed group node keeps its observation: its state is known, so
    // there is no set-up cost left to share.
    if (value->HasEvidence()) continue;
    // Its costs are read as set up (outcome 1) without observing that: a
    // group node that is part of the model must not condition the
    // posteriors the tests are ranked by.
    setUpGroups_.Add(g);
    (void)hypothetical_.GetCostDescendants(g, below);
    bool observedBelow = false;
    for (int d : below) {
      const VRN_node& node = *hypothetical_.GetNode(d);
      observedBelow = observedBelow ||
                      (node.GetDiagType() == kTypeObservation &&
                       node.Value()->HasEvidence());
    }
    if (!observedBelow) SpreadGroupCost(g);
  }
}

void VRN_diagSession::SpreadGroupCost(int group) {
  const double c = GetTestCost(group, hypothetical_, &setUpGroups_);
  const VRN_intArray children = hypothetical_.GetNode(group)->GetCostChildren();
  for (int child : children) {
    VRN_node& node = *hypothetical_.GetNode(child);
    std::vector<double> items(node.GetCost().GetItems().begin(),
                              node.GetCost().GetItems().end());
    for (double& item : items) {
      if (item == qelta::kNotAvailableValue) continue;
      // A sum past the largest double stays the largest: a cost is finite.
      item = std::clamp(item + c, -DBL_MAX, DBL_MAX);
    }
    (void)node.SetCostArray(items);
  }
}

void VRN_diagSession::SetFaultTargets(VRN_network& network) {
  for (int i : adapter_->GetPursuedFaults()) {
    const int node = adapter_->GetFault(i).node;
    if (!network.GetNode(node)->IsTarget()) (void)network.SetTarget(node, true);
  }
}

void VRN_diagSession::Rate(VRN_diagTestResult& record, double rating,
                           double cost) {
  if (cost < 0.0 && !adapter_->GetOptionA()) cost = 0.0;
  record.rating = rating;
  record.cost = cost;
  if (cost > 0.0) {
    record.score = rating - adapter_->GetAlphaValue() * cost;
  } else {
    record.score = cost < 0.0 ? DBL_MAX : rating;
  }
}

void VRN_diagSession::AddRankedTest(int node, double strength, double cost,
                                    int probabilitiesAt, int posteriorsAt,
                                    int changesAt, bool reportable) {
  if (reportable && strength >= -1e-6 && strength < 0.0) strength = 0.0;
  VRN_diagTestResult record(node);
  Rate(record, strength, cost);
  record.strength = reportable ? strength : -1.0;
  record.probabilitiesAt = probabilitiesAt;
  record.posteriorsAt = posteriorsAt;
  record.changesAt = changesAt;
  adapter_->AddTestResult(record, false);
}

void VRN_diagSession::AddMarkedRecord(int mark) {
  VRN_diagTestResult record(mark);
  const double v = mark == kMarkUnavailable ? qelta::kNotAvailableValue : 0.0;
  record.strength = v;
  record.cost = v;
  record.score = v;
  record.rating = v;
  adapter_->AddTestResult(record, false);
}

int VRN_diagSession::ComputeSingleFault(int code) {
  const int i = adapter_->GetPursuedFault();
  if (i < 0) return qelta::kOk;
  const VRN_diagFault& fault = adapter_->GetFault(i);
  return RankTestsForFault(fault.node, {fault.outcome}, code);
}

int VRN_diagSession::ComputeFaultsOfOneNode() {
  const VRN_intArray& pursued = adapter_->GetPursuedFaults();
  if (pursued.IsEmpty()) return qelta::kOk;
  std::vector<int> outcomes;
  for (int i : pursued) outcomes.push_back(adapter_->GetFault(i).outcome);
  return RankTestsForFault(adapter_->GetFault(pursued[0]).node, outcomes,
                           qelta::diag::kRelativeEntropy);
}

int VRN_diagSession::RankTestsForFault(int faultNode,
                                       const std::vector<int>& outcomes,
                                       int code) {
  VRN_intArray tests;
  PrepareTests(tests);
  if (adapter_->GetDSep()) {
    VRN_intArray below;
    (void)adapter_->GetDescendants(faultNode, below);
    for (int& t : tests) {
      if (t >= 0 && !below.Contains(t)) t = kMarkSeparated;
    }
  }
  PrepareCosts();
  (void)working_.SetTarget(faultNode, true);
  for (int t : tests) {
    if (t >= 0 && !working_.GetNode(t)->IsTarget()) {
      (void)working_.SetTarget(t, true);
    }
  }
  int status = working_.UpdateBeliefs();
  if (status != qelta::kOk) return status;
  const int faultCount = OutcomeCount(working_, faultNode);
  const std::vector<double> prior(Beliefs(working_, faultNode),
                                  Beliefs(working_, faultNode) + faultCount);
  const double h0 = qelta::diag::FaultEntropy(prior.data(), outcomes);
  (void)hypothetical_.SetTarget(faultNode, true);

  const std::size_t m = outcomes.size();
  std::vector<double> pt;
  std::vector<double> posteriors;
  std::vector<double> changes;
  std::vector<double> post;
  for (int t : tests) {
    if (t < 0) {
      AddMarkedRecord(t);
      continue;
    }
    const int n = OutcomeCount(working_, t);
    pt.assign(Beliefs(working_, t), Beliefs(working_, t) + n);
    const int first = adapter_->GetResultCount();
    adapter_->AppendResults(pt.data(), n);
    posteriors.clear();
    changes.assign(static_cast<std::size_t>(n), 0.0);
    double expected = 0.0;
    double best = 0.0;
    VRN_nodeVal* value = hypothetical_.GetNode(t)->Value();
    // A test observed behind the session's back keeps its observation.
    VRN_evidenceRecord saved(&hypothetical_, t);
    value->StoreEvidence(saved);
    for (int j = 0; j < n; ++j) {
      const double pj = pt[static_cast<std::size_t>(j)];
      if (pj > 0.0) {
        status = value->SetEvidence(j);
        if (status == qelta::kOk) status = hypothetical_.UpdateBeliefs();
        if (status != qelta::kOk) return status;
        post.assign(Beliefs(hypothetical_, faultNode),
                    Beliefs(hypothetical_, faultNode) + faultCount);
        Withdraw(value, saved);
      } else {
        // An outcome that cannot occur is not assumed.
        post = prior;
      }
      double& ch = changes[static_cast<std::size_t>(j)];
      if (code == qelta::diag::kLargestChange) {
        for (int o : outcomes) {
          const double d = post[static_cast<std::size_t>(o)] -
                           prior[static_cast<std::size_t>(o)];
          if (std::fabs(d) > std::fabs(best)) best = d;
          ch = d;
        }
      } else {
        const double hj = qelta::diag::FaultEntropy(post.data(), outcomes);
        ch = std::fabs(hj - h0);
        expected += pj * hj;
      }
      for (int o : outcomes) {
        posteriors.push_back(post[static_cast<std::size_t>(o)]);
      }
    }
    adapter_->AppendResults(posteriors.data(),
                            static_cast<int>(posteriors.size()));
    adapter_->AppendResults(changes.data(), n);
    double strength = best;
    if (code == qelta::diag::kRelativeEntropy) {
      strength = h0 == 0.0 ? 0.0 : std::fabs(h0 - expected) / h0;
    } else if (code == qelta::diag::kAbsoluteEntropy) {
      strength = std::fabs(expected - h0);
    }
    const int mn = static_cast<int>(m) * n;
    AddRankedTest(t, strength,
                  GetTestCost(t, hypothetical_, &setUpGroups_), first,
                  first + n, first + n + mn,
                  code != qelta::diag::kLargestChange);
  }
  if (adapter_->GetOptionB()) {
    return RatePerformedForFault(faultNode, outcomes, code, prior, h0);
  }
  return qelta::kOk;
}

int VRN_diagSession::RatePerformedForFault(int faultNode,
                                           const std::vector<int>& outcomes,
                                           int code,
                                           const std::vector<double>& prior,
                                           double h0) {
  for (int h = working_.GetFirstNode(); h >= 0; h = working_.GetNextNode(h)) {
    const VRN_node& node = *working_.GetNode(h);
    const VRN_nodeVal* value = node.Value();
    if (node.GetDiagType() != kTypeObservation || !node.IsRanked() ||
        !value->HasFlags(qelta::kValFlagEvidence) ||
        value->HasFlags(qelta::kValFlagPropagated)) {
      continue;
    }
    // The rated observation is withdrawn from the owner's evidence.
    CopyEvidence(Owner(), hypothetical_, h);
    const int status = hypothetical_.UpdateBeliefs();
    if (status != qelta::kOk) return status;
    const double* post = Beliefs(hypothetical_, faultNode);
    double strength;
    if (code == qelta::diag::kLargestChange) {
      strength = 0.0;
      for (int o : outcomes) {
        const double d = post[o] - prior[static_cast<std::size_t>(o)];
        if (std::fabs(d) > std::fabs(strength)) strength = d;
      }
    } else {
      const double change =
          std::fabs(qelta::diag::FaultEntropy(post, outcomes) - h0);
      strength = code == qelta::diag::kAbsoluteEntropy ? change
                 : h0 == 0.0                          ? 0.0
                                                      : change / h0;
    }
    VRN_diagTestResult record(h);
    record.strength = strength;
    record.score = strength;
    record.rating = strength;
    adapter_->AddTestResult(record, true);
  }
  CopyEvidence(Owner(), hypothetical_);
  return qelta::kOk;
}
