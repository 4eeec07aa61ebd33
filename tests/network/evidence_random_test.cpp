// Random sequences of observations, likelihoods, relevance switches, option
// changes and table edits on small networks with deterministic columns
// (and columns deterministic only to rounding). After each step a reader
// (evidence getters, setting evidence, probability of evidence, annealed
// MAP, value of information, belief updating) must answer as on a fresh
// network read from a save with the same evidence; a refused observation
// must leave every node's evidence as it was, and one the enumeration gives
// some probability is never refused.
// QELTA_EVIDENCE_SEQUENCES sets the number of sequences (default 150),
// QELTA_EVIDENCE_FIRST_SEED the first seed (default 1000).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/value_of_info.h"
#include "network/network.h"
#include "network/node.h"
#include "network_helpers.h"
#include "test_networks.h"

namespace {

using qelta_test::Observations;

constexpr double kTol = 1e-9;

struct Model {
  VRN_network net;
  std::vector<int> chance;
  int decision = -1;
};

int Outcomes(VRN_network& net, int h) {
  return net.GetNode(h)->Definition()->GetNumberOfOutcomes();
}

// Columns are one-hot half the time, a third of these only to rounding:
// another entry t below 2^-54 leaves 1 - t = 1.0, yet forces nothing. The
// others may hold a zero.
std::vector<double> RandomTable(std::mt19937& rng, VRN_network& net, int h) {
  int columns = 1;
  for (int p : net.GetNode(h)->Parents()) columns *= Outcomes(net, p);
  const int k = Outcomes(net, h);
  std::vector<double> items;
  for (int c = 0; c < columns; ++c) {
    if (rng() % 2 == 0) {
      const int one = static_cast<int>(rng() % k);
      const int tiny = rng() % 3 == 0 ? (one + 1 + static_cast<int>(rng() % (k - 1))) % k : -1;
      const double t = std::ldexp(1.0, -55 - static_cast<int>(rng() % 1020));
      for (int s = 0; s < k; ++s) items.push_back(s == one ? 1.0 - t : s == tiny ? t : 0.0);
      continue;
    }
    std::vector<double> column(k);
    double sum = 0.0;
    for (double& v : column) sum += v = (rng() % 4 == 0) ? 0.0 : 0.1 + (rng() % 90) / 100.0;
    if (sum == 0.0) column[0] = sum = 1.0;
    for (double v : column) items.push_back(v / sum);
  }
  return items;
}

void Build(std::mt19937& rng, Model& m, bool influence) {
  const int n = 3 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) {
    const int h = m.net.AddNode(qelta::kDefCpt, ("N" + std::to_string(i)).c_str());
    ASSERT_GE(h, 0);
    if (rng() % 3 == 0) {
      ASSERT_EQ(qelta::kOk, m.net.GetNode(h)->Definition()->SetNumberOfOutcomes(3));
    }
    int parents = 0;
    for (int p : m.chance) {
      if (parents < 2 && rng() % 5 < 2) {
        ASSERT_EQ(qelta::kOk, m.net.AddArc(p, h));
        ++parents;
      }
    }
    m.chance.push_back(h);
  }
  for (int h : m.chance) {
    ASSERT_EQ(qelta::kOk,
              m.net.GetNode(h)->Definition()->SetDefinitionFromVector(RandomTable(rng, m.net, h)));
  }
  if (!influence) return;
  // D is informed by the first node; U(D, last node).
  m.decision = m.net.AddNode(qelta::kDefDecision, "D");
  const int u = m.net.AddNode(qelta::kDefUtility, "U");
  ASSERT_EQ(qelta::kOk, m.net.AddArc(m.chance.front(), m.decision));
  ASSERT_EQ(qelta::kOk, m.net.AddArc(m.decision, u));
  ASSERT_EQ(qelta::kOk, m.net.AddArc(m.chance.back(), u));
  std::vector<double> utilities(2 * Outcomes(m.net, m.chance.back()));
  for (double& v : utilities) v = static_cast<double>(rng() % 41) - 20.0;
  ASSERT_EQ(qelta::kOk, m.net.GetNode(u)->Definition()->SetDefinitionFromVector(utilities));
}

// The user's evidence of every node: observed outcome and likelihoods.
struct Observed {
  std::vector<int> outcomes;
  std::vector<std::vector<double>> likelihoods;
  bool operator==(const Observed& o) const {
    return outcomes == o.outcomes && likelihoods == o.likelihoods;
  }
};

Observed UserEvidence(const Model& m) {
  Observed out;
  for (int h : m.chance) {
    const VRN_nodeVal* value = m.net.GetNode(h)->Value();
    out.outcomes.push_back(value->HasFlags(qelta::kValFlagEvidence) ? value->GetEvidence() : -1);
    std::vector<double> l;
    if (value->HasVirtualEvidence()) (void)value->GetVirtualEvidence(&l);
    out.likelihoods.push_back(l);
  }
  return out;
}

// Read back from a save, the same evidence entered with relevance
// reasoning on or off; null when the fresh network refuses part of it (the
// evidence conflicts). With relevance reasoning on, the implied evidence
// follows the history: each observation implies outcomes from its own node
// only, through the evidence present when it goes in, so what an entry
// order implies may differ from what the same evidence implies derived at
// once. `entered` lists the observations entered one at a time since the
// implied evidence was last derived at once, in their order: the others are
// derived at once, then these go in one by one.
std::unique_ptr<VRN_network> Fresh(Model& m, const std::vector<int>& entered,
                                   bool relevance = true) {
  std::string text;
  EXPECT_EQ(qelta::kOk, m.net.WriteString(text, -1));
  auto fresh = std::make_unique<VRN_network>();
  EXPECT_EQ(qelta::kOk, fresh->ReadString(text.c_str(), -1));
  fresh->SetRelevanceReasoning(relevance);
  (void)fresh->SetDefaultIDAlgorithm(m.net.GetDefaultIDAlgorithm());
  const Observed evidence = UserEvidence(m);
  auto later = [&](int h) {
    return relevance && std::find(entered.begin(), entered.end(), h) != entered.end();
  };
  for (size_t i = 0; i < m.chance.size(); ++i) {
    VRN_nodeVal* value = fresh->GetNode(m.chance[i])->Value();
    if (evidence.outcomes[i] >= 0 && !later(m.chance[i]) &&
        value->SetEvidence(evidence.outcomes[i]) != qelta::kOk) {
      return nullptr;
    }
  }
  for (size_t i = 0; i < m.chance.size(); ++i) {
    if (evidence.likelihoods[i].empty()) continue;
    EXPECT_EQ(qelta::kOk,
              fresh->GetNode(m.chance[i])->Value()->SetVirtualEvidence(evidence.likelihoods[i]));
  }
  if (!relevance) return fresh;
  // Derived at once: switching relevance reasoning on derives it again
  // before it is next read.
  fresh->SetRelevanceReasoning(false);
  fresh->SetRelevanceReasoning(true);
  (void)fresh->EvidenceOf(m.chance.front());
  for (int h : entered) {
    const size_t i = static_cast<size_t>(
        std::find(m.chance.begin(), m.chance.end(), h) - m.chance.begin());
    // The edited network took it in the same state.
    EXPECT_EQ(qelta::kOk, fresh->GetNode(h)->Value()->SetEvidence(evidence.outcomes[i]))
        << "observation of node " << h << " entered after the others";
  }
  return fresh;
}

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

void ExpectNear(const std::vector<double>& want, const std::vector<double>& got,
                const std::string& what) {
  ASSERT_EQ(want.size(), got.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(want[i], got[i], kTol) << what;
}

class Sequence {
 public:
  Sequence(unsigned seed) : rng_(seed), what_("seed " + std::to_string(seed)) {}

  void Run(int steps) {
    Build(rng_, m_, rng_() % 3 == 0);
    if (::testing::Test::HasFatalFailure()) return;
    for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
      const std::string at = what_ + " step " + std::to_string(step);
      // Stale implied evidence (an edit went without the bookkeeping) is
      // derived again at once before it is next read.
      if (m_.net.IsImpliedEvidenceStale()) entered_.clear();
      const unsigned op = rng_() % 8;
      if (verbose_) {
        std::printf("%s: op %u relevance %d options %d, flags:", at.c_str(), op,
                    m_.net.IsRelevanceReasoning() ? 1 : 0, m_.net.GetRelevanceOptions());
        // Raw, without refreshing: what the bookkeeping holds.
        for (int h : m_.chance) {
          const VRN_nodeVal* value = m_.net.GetNode(h)->Value();
          std::printf(" %d:%d/%d", h, value->GetFlags(), value->GetEvidence());
        }
        std::printf(" stale %d\n", m_.net.IsImpliedEvidenceStale() ? 1 : 0);
      }
      switch (op) {
        case 0: SetLikelihoods(); break;
        case 1: ClearOne(); break;
        case 2:
          m_.net.SetRelevanceReasoning(!m_.net.IsRelevanceReasoning());
          break;
        case 3:
          EditTable(at);
          break;
        case 4:
          m_.net.SetRelevanceOptions(rng_() % 2 == 0 ? qelta::kRelAllOptions
                                                      : static_cast<int>(rng_() % 512));
          break;
        default: Read(at); break;
      }
    }
  }

 private:
  int AnyChance() { return m_.chance[rng_() % m_.chance.size()]; }

  // With relevance reasoning off the reference is read with it off too:
  // beliefs are the same, but a decision's value is indexed by a parent
  // unless that parent is implied, which then only evidence entered before
  // the switch can make it. False when the comparison cannot be made.
  // For the same reason a decision's value is compared only while both
  // imply the same outcomes.
  bool SameSwitch(VRN_network** fresh, std::unique_ptr<VRN_network>* off) {
    if (m_.net.IsRelevanceReasoning()) {
      return m_.decision < 0 || *fresh == nullptr || SameImplied(**fresh);
    }
    for (int h : m_.chance) {
      if (m_.decision >= 0 && m_.net.EvidenceOf(h)->HasFlags(qelta::kValFlagPropagated)) {
        return false;
      }
    }
    *off = Fresh(m_, entered_, false);
    *fresh = off->get();
    return true;
  }

  void SetLikelihoods() {
    const int h = AnyChance();
    std::vector<double> l(Outcomes(m_.net, h));
    for (double& v : l) v = (rng_() % 3 == 0) ? 0.0 : 0.1 + (rng_() % 90) / 100.0;
    l[rng_() % l.size()] = 0.5;
    Forget(h);
    EXPECT_EQ(qelta::kOk, m_.net.GetNode(h)->Value()->SetVirtualEvidence(l)) << what_;
    if (verbose_) std::printf("  likelihoods on %d\n", h);
  }

  void ClearOne() {
    const int h = AnyChance();
    Forget(h);
    const int status = m_.net.GetNode(h)->Value()->ClearEvidence();
    if (verbose_) std::printf("  ClearEvidence(%d): %d\n", h, status);
  }

  // Whether the enumeration gives h = k some probability beside the other
  // evidence (h's likelihoods dropped, as observing drops them); false where
  // it cannot tell (decisions, h observed already).
  bool Possible(int h, int k) {
    if (m_.decision >= 0 || m_.net.GetNode(h)->Value()->HasFlags(qelta::kValFlagEvidence)) {
      return false;
    }
    std::vector<std::vector<double>> likelihoods = UserEvidence(m_).likelihoods;
    likelihoods[h].clear();  // handles are the chance nodes' positions
    return testnet::Enumerate(m_.net, false, &likelihoods).marginals[h][k] > 0.0;
  }

  // An observation that goes derives all that is implied again at once.
  void Forget(int h) {
    if (m_.net.GetNode(h)->Value()->HasFlags(qelta::kValFlagEvidence)) entered_.clear();
  }

  // So does a table edit.
  void EditTable(const std::string& at) {
    const int h = AnyChance();
    entered_.clear();
    EXPECT_EQ(qelta::kOk, m_.net.GetNode(h)->Definition()->SetDefinitionFromVector(
                              RandomTable(rng_, m_.net, h)))
        << at;
  }

  // One reader, chosen at random, first after the edits.
  void Read(const std::string& at) {
    std::unique_ptr<VRN_network> fresh = Fresh(m_, entered_);
    const unsigned reader = rng_() % 5;
    if (verbose_) std::printf("  reader %u%s\n", reader, fresh ? "" : " (conflict)");
    switch (reader) {
      case 0: Getters(fresh.get(), at); break;
      case 1: Observe(fresh.get(), at); break;
      case 2: Probability(fresh.get(), at); break;
      case 3: AnnealedMap(fresh.get(), at); break;
      default: Update(fresh.get(), at); break;
    }
  }

  void Getters(VRN_network* fresh, const std::string& at) {
    if (fresh == nullptr) return;
    for (int h : m_.chance) {
      const VRN_nodeVal* got = m_.net.EvidenceOf(h);
      const VRN_nodeVal* want = fresh->EvidenceOf(h);
      const std::string node = at + " node " + std::to_string(h);
      EXPECT_EQ(want->HasFlags(qelta::kValFlagEvidence), got->HasFlags(qelta::kValFlagEvidence))
          << node;
      // Nothing implied may have lost its cause. (With relevance reasoning
      // off nothing new is implied, and what was implied goes once an edit
      // could change it.)
      if (got->HasEvidence() || m_.net.IsRelevanceReasoning()) {
        EXPECT_EQ(want->HasEvidence(), got->HasEvidence()) << node;
        EXPECT_EQ(want->GetEvidence(), got->GetEvidence()) << node;
      }
    }
  }

  // Whether this network and fresh imply the same outcomes.
  bool SameImplied(VRN_network& fresh) {
    for (int h : m_.chance) {
      const VRN_nodeVal* got = m_.net.EvidenceOf(h);
      const VRN_nodeVal* want = fresh.EvidenceOf(h);
      if (got->HasEvidence() != want->HasEvidence() ||
          got->GetEvidence() != want->GetEvidence()) {
        return false;
      }
    }
    return true;
  }

  void Observe(VRN_network* fresh, const std::string& at) {
    const int h = AnyChance();
    const int k = static_cast<int>(rng_() % Outcomes(m_.net, h));
    const bool comparable = fresh != nullptr && SameImplied(*fresh);
    const Observed before = UserEvidence(m_);
    const VRN_nodeVal* value = m_.net.EvidenceOf(h);
    // Refused at once, as it contradicts an implied outcome: nothing changes.
    const bool contradicts = value->HasFlags(qelta::kValFlagPropagated) &&
                             !value->HasFlags(qelta::kValFlagEvidence) &&
                             value->GetEvidence() != k;
    const bool possible = Possible(h, k);
    // An observation entered again goes first.
    Forget(h);
    const int status = m_.net.GetNode(h)->Value()->SetEvidence(k);
    if (verbose_) std::printf("  SetEvidence(%d, %d): %d\n", h, k, status);
    // Evidence of some probability is never refused.
    EXPECT_TRUE(!possible || status == qelta::kOk) << at << " node " << h << " outcome " << k;
    if (status != qelta::kOk) {
      EXPECT_TRUE(before == UserEvidence(m_)) << at << " refused " << status;
      // Otherwise the evidence went in and out again.
      if (!contradicts) entered_.clear();
    } else {
      entered_.push_back(h);
    }
    if (!comparable || !m_.net.IsRelevanceReasoning() ||
        m_.net.GetRelevanceOptions() != qelta::kRelAllOptions) {
      return;
    }
    EXPECT_EQ(fresh->GetNode(h)->Value()->SetEvidence(k) == qelta::kOk, status == qelta::kOk)
        << at << " node " << h << " outcome " << k;
  }

  void Probability(VRN_network* fresh, const std::string& at) {
    if (fresh == nullptr || m_.decision >= 0) return;
    double got = -2, want = -2;
    const bool ok = m_.net.CalcPropEvidence(got, false);
    ASSERT_EQ(fresh->CalcPropEvidence(want, false), ok) << at;
    if (ok) {
      EXPECT_NEAR(want, got, kTol) << at;
    }
  }

  void AnnealedMap(VRN_network* fresh, const std::string& at) {
    if (m_.decision >= 0) {
      ValueOfInformation(fresh, at);
      return;
    }
    if (fresh == nullptr) return;
    const std::vector<int> map{AnyChance()};
    std::vector<int> a, b;
    double best_got = 0, best_want = 0, pe_got = 0, pe_want = 0;
    const int status = m_.net.AnnealedMAP(Observations(m_.net), map, &a, &best_got, &pe_got, 3);
    ASSERT_EQ(fresh->AnnealedMAP(Observations(*fresh), map, &b, &best_want, &pe_want, 3), status)
        << at;
    if (status != qelta::kOk) return;
    EXPECT_NEAR(pe_want, pe_got, kTol) << at;
    EXPECT_NEAR(best_want, best_got, kTol) << at;
  }

  void ValueOfInformation(VRN_network* fresh, const std::string& at) {
    std::unique_ptr<VRN_network> off;
    if (!SameSwitch(&fresh, &off) || fresh == nullptr) return;
    // The working copy's edits follow the options: without some of them an
    // outcome the evidence rules out keeps a row of its own.
    fresh->SetRelevanceOptions(m_.net.GetRelevanceOptions());
    const int h = m_.chance.back();
    std::vector<double> values[2];
    int status[2];
    VRN_network* nets[2] = {&m_.net, fresh};
    for (int i = 0; i < 2; ++i) {
      VRN_valueOfInfo voi(nets[i]);
      ASSERT_EQ(qelta::kOk, voi.AddNode(h)) << at;
      ASSERT_EQ(qelta::kOk, voi.SetDecision(m_.decision)) << at;
      status[i] = voi.Update();
      if (status[i] == qelta::kOk) values[i] = Items(voi.GetValues());
    }
    EXPECT_EQ(status[1], status[0]) << at;
    if (status[0] == qelta::kOk && status[1] == qelta::kOk) ExpectNear(values[1], values[0], at);
  }

  void Update(VRN_network* fresh, const std::string& at) {
    const int status = m_.net.UpdateBeliefs();
    std::unique_ptr<VRN_network> off;
    if (!SameSwitch(&fresh, &off)) return;
    if (fresh == nullptr || fresh->UpdateBeliefs() != qelta::kOk || status != qelta::kOk) return;
    for (int h = m_.net.GetFirstNode(); h >= 0; h = m_.net.GetNextNode(h)) {
      const VRN_nodeVal* got = m_.net.GetNode(h)->Value();
      const VRN_nodeVal* want = fresh->GetNode(h)->Value();
      EXPECT_EQ(want->IsValueValid(), got->IsValueValid()) << at << " node " << h;
      if (want->IsValueValid() && got->IsValueValid()) {
        ExpectNear(Items(want->GetValue()), Items(got->GetValue()),
                   at + " node " + std::to_string(h));
      }
    }
  }

  std::mt19937 rng_;
  std::string what_;
  const bool verbose_ = std::getenv("QELTA_EVIDENCE_VERBOSE") != nullptr;
  // The observations entered one at a time since all that is implied was
  // last derived at once, in their order.
  std::vector<int> entered_;
  Model m_;
};

TEST(EvidenceRandomTest, EveryReaderAnswersAsAFreshNetworkWithTheSameEvidence) {
  int sequences = 150;
  unsigned first = 1000;
  if (const char* text = std::getenv("QELTA_EVIDENCE_SEQUENCES")) sequences = std::atoi(text);
  if (const char* text = std::getenv("QELTA_EVIDENCE_FIRST_SEED")) {
    first = static_cast<unsigned>(std::strtoul(text, nullptr, 10));
  }
  for (int s = 0; s < sequences && !HasFailure(); ++s) {
    Sequence(first + static_cast<unsigned>(s)).Run(30);
  }
}

}  // namespace
