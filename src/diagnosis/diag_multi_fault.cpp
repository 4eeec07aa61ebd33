// The rankings for pursued faults on two or more nodes: a distance between
// the fault probabilities before and after each test outcome, a certainty
// measure of the pursued faults, or the entropy of a chosen set of joint
// fault states (from the product of the marginals, or from the exact joint
// distribution built by the chain rule).
#include <cmath>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "diagnosis/diag_measures.h"
#include "diagnosis/diag_session.h"
#include "network/node.h"

namespace {

constexpr int kTypeObservation = 1;
constexpr int kMarkSeparated = -2;

const double* Beliefs(const VRN_network& network, int h) {
  return network.GetNode(h)->Value()->GetValue().GetItems().Items();
}

int OutcomeCount(const VRN_network& network, int h) {
  const int n = network.GetNode(h)->Definition()->GetNumberOfOutcomes();
  return n < 0 ? 0 : n;
}

// Mode of the entropy rankings: at least one, exactly one or all pursued
// faults present in a joint state.
int ModeOf(int code) {
  if ((code & 0x08) != 0) return 0;
  if ((code & 0x10) != 0) return 1;
  return 2;
}

}  // namespace

// Distinct nodes of the pursued faults, their outcome counts and, per
// node, its pursued outcomes in pursued-list order.
struct VRN_diagSession::Groups {
  std::vector<int> nodes;
  std::vector<int> counts;
  std::vector<std::vector<int>> pursued;

  // h = number of group nodes whose outcome in state is pursued (repeats
  // counted); mode 0: h >= 1, 1: h == 1, 2: h == node count.
  bool MatchesMode(const std::vector<int>& state, int mode) const {
    std::size_t h = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      for (int o : pursued[i]) h += o == state[i] ? 1 : 0;
    }
    if (mode == 0) return h >= 1;
    if (mode == 1) return h == 1;
    return h == nodes.size();
  }
  std::size_t StateCount() const {
    std::size_t total = 1;
    for (int c : counts) total *= static_cast<std::size_t>(c);
    return total;
  }
  // Odometer step, last node fastest; false after the last state.
  bool Next(std::vector<int>& state) const {
    for (std::size_t k = nodes.size(); k-- > 0;) {
      if (++state[k] < counts[k]) return true;
      state[k] = 0;
    }
    return false;
  }
};

namespace {

// Groups in order of first appearance in the pursued list, or (byCount) by
// increasing outcome count, equal counts keeping that order.
void GroupFaults(VRN_diagSessionAdapter& adapter, const VRN_network& network,
                 bool byCount, std::vector<int>& nodes,
                 std::vector<int>& counts,
                 std::vector<std::vector<int>>& pursued) {
  for (int i : adapter.GetPursuedFaults()) {
    const VRN_diagFault& fault = adapter.GetFault(i);
    std::size_t k = 0;
    while (k < nodes.size() && nodes[k] != fault.node) ++k;
    if (k == nodes.size()) {
      nodes.push_back(fault.node);
      counts.push_back(OutcomeCount(network, fault.node));
      pursued.emplace_back();
    }
    pursued[k].push_back(fault.outcome);
  }
  if (!byCount) return;
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    for (std::size_t k = i; k > 0 && counts[k - 1] > counts[k]; --k) {
      std::swap(nodes[k - 1], nodes[k]);
      std::swap(counts[k - 1], counts[k]);
      std::swap(pursued[k - 1], pursued[k]);
    }
  }
}

double Entropy(const std::vector<double>& table,
               const std::vector<std::size_t>& selected) {
  double h = 0.0;
  double sum = 0.0;
  for (std::size_t i : selected) {
    const double p = table[i];
    sum += p;
    if (p > 0.0 && p < 1.0) h -= p * qelta::diag::Log2(p);
  }
  const double r = 1.0 - sum;
  if (r > 0.0 && r < 1.0) h -= r * qelta::diag::Log2(r);
  return h;
}

}  // namespace

int VRN_diagSession::Assume(int t, int j, int skip) {
  CopyEvidence(Owner(), hypothetical_, skip);
  if (t < 0) return qelta::kOk;
  return hypothetical_.GetNode(t)->Value()->SetEvidence(j);
}

int VRN_diagSession::AssumeAndUpdate(int t, int j, int skip) {
  const int status = Assume(t, j, skip);
  if (status != qelta::kOk) return status;
  return hypothetical_.UpdateBeliefs();
}

void VRN_diagSession::PursuedBeliefs(const VRN_network& network,
                                     std::vector<double>& out) {
  out.clear();
  for (int i : adapter_->GetPursuedFaults()) {
    const VRN_diagFault& fault = adapter_->GetFault(i);
    out.push_back(Beliefs(network, fault.node)[fault.outcome]);
  }
}

int VRN_diagSession::PrepareMultiFault(VRN_intArray& tests) {
  PrepareTests(tests);
  SetFaultTargets(working_);
  for (int t : tests) {
    if (t >= 0 && !working_.GetNode(t)->IsTarget()) {
      (void)working_.SetTarget(t, true);
    }
  }
  const int status = working_.UpdateBeliefs();
  if (status != qelta::kOk) return status;
  SetFaultTargets(hypothetical_);
  if (adapter_->GetDSep()) {
    VRN_intArray marked;
    VRN_intArray below;
    for (int i : adapter_->GetPursuedFaults()) {
      (void)adapter_->GetDescendants(adapter_->GetFault(i).node, below);
      for (int d : below) (void)marked.AddUnique(d);
    }
    for (int& t : tests) {
      if (t >= 0 && !marked.Contains(t)) t = kMarkSeparated;
    }
  }
  return qelta::kOk;
}

void VRN_diagSession::AddChangeRecord(int t, double now, double expected) {
  const double strength = std::fabs(now - expected);
  // The test's cost with the user's evidence; group set-up costs are not
  // shared out here.
  const double cost = GetTestCost(t, Owner());
  VRN_diagTestResult record(t);
  Rate(record, strength, cost);
  record.strength = -1.0;
  adapter_->AddTestResult(record, false);
}

template <typename Rating>
int VRN_diagSession::RatePerformedMulti(Rating rating) {
  if (!adapter_->GetOptionB()) return qelta::kOk;
  for (int h = working_.GetFirstNode(); h >= 0; h = working_.GetNextNode(h)) {
    const VRN_node& node = *working_.GetNode(h);
    const VRN_nodeVal* value = node.Value();
    if (node.GetDiagType() != kTypeObservation || !node.IsRanked() ||
        !value->HasFlags(qelta::kValFlagEvidence) ||
        value->HasFlags(qelta::kValFlagPropagated)) {
      continue;
    }
    int status = AssumeAndUpdate(-1, -1, h);
    double r = 0.0;
    if (status == qelta::kOk) status = rating(h, r);
    if (status != qelta::kOk) return status;
    VRN_diagTestResult record(h);
    record.strength = r;
    record.score = r;
    record.rating = r;
    adapter_->AddTestResult(record, true);
  }
  CopyEvidence(Owner(), hypothetical_);
  return qelta::kOk;
}

template <typename Number>
int VRN_diagSession::RankByExpectation(const VRN_intArray& tests, double now,
                                       Number number) {
  std::vector<double> pt;
  for (int t : tests) {
    if (t < 0) {
      AddMarkedRecord(t);
      continue;
    }
    const int n = OutcomeCount(working_, t);
    pt.assign(Beliefs(working_, t), Beliefs(working_, t) + n);
    double expected = 0.0;
    for (int j = 0; j < n; ++j) {
      const double pj = pt[static_cast<std::size_t>(j)];
      if (!(pj > 0.0)) continue;  // an outcome that cannot occur
      int status = AssumeAndUpdate(t, j, -1);
      double v = 0.0;
      if (status == qelta::kOk) status = number(t, j, -1, v);
      if (status != qelta::kOk) return status;
      expected += pj * v;
    }
    AddChangeRecord(t, now, expected);
  }
  return qelta::kOk;
}

int VRN_diagSession::ComputeMultiFaultMeasure(int code) {
  const int m = adapter_->GetPursuedFaults().GetSize();
  if (m < 1) return qelta::kErrOutOfRange;
  VRN_intArray tests;
  int status = PrepareMultiFault(tests);
  if (status != qelta::kOk) return status;
  std::vector<double> a;
  std::vector<double> b;
  PursuedBeliefs(working_, a);
  const std::size_t count = a.size();
  std::vector<double> posteriors;
  std::vector<double> changes;
  for (int t : tests) {
    if (t < 0) {
      AddMarkedRecord(t);
      continue;
    }
    const int n = OutcomeCount(working_, t);
    const int first = adapter_->GetResultCount();
    const double* pt = Beliefs(working_, t);
    adapter_->AppendResults(pt, n);
    posteriors.clear();
    changes.assign(static_cast<std::size_t>(n), 0.0);
    double best = 0.0;
    VRN_nodeVal* value = hypothetical_.GetNode(t)->Value();
    VRN_evidenceRecord saved(&hypothetical_, t);
    value->StoreEvidence(saved);
    for (int j = 0; j < n; ++j) {
      double d = 0.0;
      if (Beliefs(working_, t)[j] > 0.0) {
        status = value->SetEvidence(j);
        if (status == qelta::kOk) status = hypothetical_.UpdateBeliefs();
        if (status != qelta::kOk) return status;
        PursuedBeliefs(hypothetical_, b);
        Withdraw(value, saved);
        d = qelta::diag::Measure(code, a.data(), b.data(), count);
      } else {
        b = a;  // an outcome that cannot occur changes nothing
      }
      changes[static_cast<std::size_t>(j)] = d;
      if (std::fabs(d) > std::fabs(best)) best = d;
      posteriors.insert(posteriors.end(), b.begin(), b.end());
    }
    adapter_->AppendResults(posteriors.data(),
                            static_cast<int>(posteriors.size()));
    adapter_->AppendResults(changes.data(), n);
    const double cost = GetTestCost(t, Owner());
    VRN_diagTestResult record(t);
    Rate(record, best, cost);
    record.strength = -1.0;
    record.probabilitiesAt = first;
    record.posteriorsAt = first + n;
    record.changesAt = first + n + m * n;
    adapter_->AddTestResult(record, false);
  }
  return RatePerformedMulti([&](int, double& out) {
    PursuedBeliefs(hypothetical_, b);
    out = qelta::diag::Measure(code, a.data(), b.data(), count);
    return qelta::kOk;
  });
}

int VRN_diagSession::ComputeCertaintyRanking(int code) {
  VRN_intArray tests;
  const int status = PrepareMultiFault(tests);
  if (status != qelta::kOk) return status;
  std::vector<double> p;
  auto certainty = [&](const VRN_network& network) {
    PursuedBeliefs(network, p);
    return (code & 0x40) != 0 ? qelta::diag::CertaintyA(p)
                              : qelta::diag::CertaintyB(p);
  };
  const double now = certainty(working_);
  auto number = [&](int, int, int, double& out) {
    out = certainty(hypothetical_);
    return qelta::kOk;
  };
  const int ranked = RankByExpectation(tests, now, number);
  if (ranked != qelta::kOk) return ranked;
  return RatePerformedMulti([&](int h, double& out) {
    double v = 0.0;
    (void)number(-1, -1, h, v);
    out = std::fabs(now - v);
    return qelta::kOk;
  });
}

double VRN_diagSession::ProductEntropy(const Groups& groups,
                                       const VRN_network& network,
                                       int mode) const {
  std::vector<const double*> beliefs;
  for (int node : groups.nodes) beliefs.push_back(Beliefs(network, node));
  std::vector<int> state(groups.nodes.size(), 0);
  double h = 0.0;
  double sum = 0.0;
  do {
    if (!groups.MatchesMode(state, mode)) continue;
    double q = 1.0;
    for (std::size_t i = 0; i < state.size(); ++i) q *= beliefs[i][state[i]];
    sum += q;
    if (q > 0.0 && q < 1.0) h -= q * qelta::diag::Log2(q);
  } while (groups.Next(state));
  const double r = 1.0 - sum;
  if (r > 0.0 && r < 1.0) h -= r * qelta::diag::Log2(r);
  return h;
}

int VRN_diagSession::ComputeProductEntropyRanking(int code) {
  VRN_intArray tests;
  const int status = PrepareMultiFault(tests);
  if (status != qelta::kOk) return status;
  Groups groups;
  GroupFaults(*adapter_, working_, false, groups.nodes, groups.counts,
              groups.pursued);
  const int mode = ModeOf(code);
  const double now = ProductEntropy(groups, working_, mode);
  auto number = [&](int, int, int, double& out) {
    out = ProductEntropy(groups, hypothetical_, mode);
    return qelta::kOk;
  };
  const int ranked = RankByExpectation(tests, now, number);
  if (ranked != qelta::kOk) return ranked;
  return RatePerformedMulti([&](int h, double& out) {
    double v = 0.0;
    (void)number(-1, -1, h, v);
    out = std::fabs(now - v);
    return qelta::kOk;
  });
}

int VRN_diagSession::JointLevel(const Groups& groups, int level, int t, int j,
                                int skip, std::vector<int>& state,
                                double product, std::vector<double>& table) {
  const int g = static_cast<int>(groups.nodes.size());
  const int node = groups.nodes[static_cast<std::size_t>(level)];
  const int count = groups.counts[static_cast<std::size_t>(level)];
  const std::vector<double> beliefs(Beliefs(hypothetical_, node),
                                    Beliefs(hypothetical_, node) + count);
  for (int x = 0; x < count; ++x) {
    const double p = product * beliefs[static_cast<std::size_t>(x)];
    // An impossible configuration keeps its entries at 0.
    if (!(p > 0.0)) continue;
    state[static_cast<std::size_t>(level)] = x;
    int status = Assume(t, j, skip);
    for (int i = level; i < g - 1 && status == qelta::kOk; ++i) {
      status = hypothetical_.GetNode(groups.nodes[static_cast<std::size_t>(i)])
                   ->Value()
                   ->SetEvidence(state[static_cast<std::size_t>(i)]);
    }
    if (status == qelta::kOk) status = hypothetical_.UpdateBeliefs();
    if (status != qelta::kOk) continue;
    if (level > 0) {
      (void)JointLevel(groups, level - 1, t, j, skip, state, p, table);
      continue;
    }
    const int last = groups.nodes.back();
    const int lastCount = groups.counts.back();
    const double* lastBeliefs = Beliefs(hypothetical_, last);
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < groups.nodes.size(); ++i) {
      at = at * static_cast<std::size_t>(groups.counts[i]) +
           static_cast<std::size_t>(state[i]);
    }
    at *= static_cast<std::size_t>(lastCount);
    for (int o = 0; o < lastCount; ++o) {
      table[at + static_cast<std::size_t>(o)] = p * lastBeliefs[o];
    }
  }
  return qelta::kOk;
}

int VRN_diagSession::JointFaultTable(const Groups& groups, int t, int j,
                                     int skip, std::vector<double>& table) {
  table.assign(groups.StateCount(), 0.0);
  std::vector<int> state(groups.nodes.size(), 0);
  const int g = static_cast<int>(groups.nodes.size());
  return JointLevel(groups, g - 2, t, j, skip, state, 1.0, table);
}

int VRN_diagSession::ComputeJointEntropyRanking(int code) {
  VRN_intArray tests;
  int status = PrepareMultiFault(tests);
  if (status != qelta::kOk) return status;
  status = hypothetical_.UpdateBeliefs();
  if (status != qelta::kOk) return status;
  Groups groups;
  GroupFaults(*adapter_, working_, true, groups.nodes, groups.counts,
              groups.pursued);
  if (groups.nodes.size() < 2) return qelta::kErrOutOfRange;
  const int mode = ModeOf(code);
  std::vector<std::size_t> selected;
  std::vector<int> state(groups.nodes.size(), 0);
  std::size_t index = 0;
  do {
    if (groups.MatchesMode(state, mode)) selected.push_back(index);
    ++index;
  } while (groups.Next(state));
  std::vector<double> table;
  (void)JointFaultTable(groups, -1, -1, -1, table);
  const double now = Entropy(table, selected);
  auto number = [&](int t, int j, int skip, double& out) {
    (void)JointFaultTable(groups, t, j, skip, table);
    out = Entropy(table, selected);
    return qelta::kOk;
  };
  const int ranked = RankByExpectation(tests, now, number);
  if (ranked != qelta::kOk) return ranked;
  return RatePerformedMulti([&](int h, double& out) {
    double v = 0.0;
    (void)number(-1, -1, h, v);
    out = std::fabs(now - v);
    return qelta::kOk;
  });
}
