#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "definitions/truth_table.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;
constexpr int kTruthTable = 20;

VRN_nodeVal* Val(VRN_network& net, int h) { return net.GetNode(h)->Value(); }
VRN_nodeDef* Def(VRN_network& net, int h) {
  return net.GetNode(h)->Definition();
}

std::vector<int> Ints(const VRN_intArray& a) {
  return std::vector<int>(a.begin(), a.end());
}

void MarkAllValid(VRN_network& net) {
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    Val(net, h)->AddFlags(qelta::kValFlagValid);
  }
}

std::set<int> InvalidNodes(VRN_network& net) {
  std::set<int> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    if (!Val(net, h)->IsValueValid()) out.insert(h);
  }
  return out;
}

bool IsObserved(VRN_network& net, int h) {
  return Val(net, h)->HasFlags(qelta::kValFlagEvidence);
}

bool IsPropagated(VRN_network& net, int h) {
  return Val(net, h)->HasFlags(qelta::kValFlagPropagated) &&
         !IsObserved(net, h);
}

// ---------------------------------------------------------------------------
// Reference d-separation: the moralised ancestral graph. a and b are
// d-connected given z when they are connected in the moral graph of the
// ancestral set of {a, b} and z, with z removed.
bool DConnected(const std::vector<std::vector<int>>& parents, int a, int b,
                const std::vector<bool>& z) {
  const int n = static_cast<int>(parents.size());
  std::vector<bool> keep(n, false);
  std::vector<int> stack;
  for (int v = 0; v < n; ++v) {
    if (v == a || v == b || z[v]) {
      keep[v] = true;
      stack.push_back(v);
    }
  }
  while (!stack.empty()) {
    int v = stack.back();
    stack.pop_back();
    for (int p : parents[v]) {
      if (!keep[p]) {
        keep[p] = true;
        stack.push_back(p);
      }
    }
  }
  std::vector<std::set<int>> adjacent(n);
  for (int v = 0; v < n; ++v) {
    if (!keep[v]) continue;
    const std::vector<int>& ps = parents[v];
    for (size_t i = 0; i < ps.size(); ++i) {
      adjacent[v].insert(ps[i]);
      adjacent[ps[i]].insert(v);
      for (size_t j = i + 1; j < ps.size(); ++j) {
        adjacent[ps[i]].insert(ps[j]);
        adjacent[ps[j]].insert(ps[i]);
      }
    }
  }
  std::vector<bool> seen(n, false);
  stack.assign(1, a);
  seen[a] = true;
  while (!stack.empty()) {
    int v = stack.back();
    stack.pop_back();
    if (v == b) return true;
    for (int w : adjacent[v]) {
      if (!seen[w] && !z[w]) {
        seen[w] = true;
        stack.push_back(w);
      }
    }
  }
  return false;
}

// A snapshot of the network's graph and evidence taken for the reference.
struct Snapshot {
  std::vector<std::vector<int>> parents;  // per slot; empty for free slots
  std::vector<bool> live;
  std::vector<bool> observed;
  std::vector<bool> virtual_evidence;
};

Snapshot Take(VRN_network& net) {
  Snapshot s;
  const int slots = net.GetSlotCount();
  s.parents.assign(slots, {});
  s.live.assign(slots, false);
  s.observed.assign(slots, false);
  s.virtual_evidence.assign(slots, false);
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    s.live[h] = true;
    s.parents[h] = Ints(net.GetNode(h)->Parents());
    s.observed[h] = IsObserved(net, h);
    s.virtual_evidence[h] = Val(net, h)->HasVirtualEvidence();
  }
  return s;
}

// Nodes whose value can change when the evidence of `source` changes
// (source < 0: when the table of `changed` changes, modelled as a new root
// parent of it). `graph` gives the arcs, `evidence` the observed nodes (the
// source's own evidence left out) and the virtual evidence, which acts as an
// observed child of its node. Observed nodes keep their point mass.
std::set<int> Reference(const Snapshot& graph, const Snapshot& evidence,
                        int source, int changed) {
  const int slots = static_cast<int>(graph.parents.size());
  std::vector<std::vector<int>> parents = graph.parents;
  std::vector<bool> z(slots, false);
  for (int h = 0; h < slots; ++h) {
    if (evidence.observed[h] && h != source) z[h] = true;
  }
  for (int h = 0; h < slots; ++h) {
    if (evidence.virtual_evidence[h] && h != source) {
      parents.push_back({h});
      z.push_back(true);
    }
  }
  int from = source;
  if (source < 0) {
    from = static_cast<int>(parents.size());
    parents.push_back({});
    z.push_back(false);
    parents[changed].push_back(from);
  }
  std::set<int> out;
  for (int x = 0; x < slots; ++x) {
    if (!graph.live[x] || x == source || z[x]) continue;
    if (DConnected(parents, x, from, z)) out.insert(x);
  }
  return out;
}

// Random strictly positive tables: no entry is 0.0 or 1.0.
void RandomizeTable(VRN_network& net, int h, std::mt19937& rng) {
  const VRN_matrix* m = Def(net, h)->GetMatrixConst();
  const int own = m->GetSize(m->GetDimensionCount() - 1);
  std::uniform_real_distribution<double> draw(0.05, 1.0);
  std::vector<double> items(m->GetItemCount());
  for (size_t start = 0; start < items.size(); start += own) {
    double sum = 0.0;
    for (int k = 0; k < own; ++k) sum += items[start + k] = draw(rng);
    for (int k = 0; k < own; ++k) items[start + k] /= sum;
  }
  ASSERT_EQ(Def(net, h)->SetDefinitionFromVector(items), 0);
}

std::vector<int> LiveNodes(VRN_network& net) {
  std::vector<int> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    out.push_back(h);
  }
  return out;
}

int Pick(const std::vector<int>& from, std::mt19937& rng) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

std::string Describe(const std::set<int>& s) {
  std::string out;
  for (int h : s) out += std::to_string(h) + " ";
  return out;
}

TEST(RelevanceTest, InvalidatedValuesMatchDSeparationOnRandomNetworks) {
  std::mt19937 rng(20240611);
  int compared = 0;
  for (int trial = 0; trial < 300; ++trial) {
    VRN_network net;
    const int n = std::uniform_int_distribution<int>(2, 30)(rng);
    // Two extra nodes deleted again leave holes among the handles.
    for (int i = 0; i < n + 2; ++i) {
      ASSERT_GE(net.AddNode(kCpt, ("N" + std::to_string(i)).c_str()), 0);
    }
    ASSERT_EQ(net.DeleteNode(std::uniform_int_distribution<int>(0, n)(rng)), 0);
    ASSERT_EQ(net.DeleteNode(net.GetLastNode()), 0);
    std::vector<int> nodes = LiveNodes(net);
    for (int h : nodes) {
      if (rng() % 3 == 0) {
        ASSERT_EQ(Def(net, h)->SetNumberOfOutcomes(3), 0);
      }
    }
    const double density = std::uniform_real_distribution<double>(0, 0.3)(rng);
    std::vector<int> order = nodes;
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t i = 0; i < order.size(); ++i) {
      for (size_t j = i + 1; j < order.size(); ++j) {
        if (std::uniform_real_distribution<double>(0, 1)(rng) < density) {
          ASSERT_EQ(net.AddArc(order[i], order[j]), 0);
        }
      }
    }
    for (int h : nodes) RandomizeTable(net, h, rng);
    for (int h : nodes) {
      const int r = rng() % 10;
      const int outcomes = Def(net, h)->GetNumberOfOutcomes();
      if (r < 2) {
        ASSERT_EQ(Val(net, h)->SetEvidence(rng() % outcomes), 0);
      } else if (r == 2) {
        std::vector<double> likelihoods(outcomes, 0.5);
        likelihoods[0] = 0.9;
        ASSERT_EQ(Val(net, h)->SetVirtualEvidence(likelihoods), 0);
      }
      if (rng() % 4 == 0) {
        ASSERT_EQ(net.SetTarget(h, true), 0);
      }
    }

    for (int step = 0; step < 12; ++step) {
      MarkAllValid(net);
      const Snapshot before = Take(net);
      std::set<int> expected;
      const int h = Pick(nodes, rng);
      const int kind = rng() % 6;
      std::string what;
      if (kind == 0) {
        // Observe (or re-observe) a node.
        what = "set evidence";
        const int outcomes = Def(net, h)->GetNumberOfOutcomes();
        ASSERT_EQ(Val(net, h)->SetEvidence(rng() % outcomes), 0);
        expected = Reference(before, Take(net), h, -1);
      } else if (kind == 1) {
        std::vector<int> observed;
        for (int o : nodes) {
          if (IsObserved(net, o)) observed.push_back(o);
        }
        if (observed.empty()) continue;
        const int o = Pick(observed, rng);
        what = "clear evidence";
        ASSERT_EQ(Val(net, o)->ClearEvidence(), 0);
        expected = Reference(before, Take(net), o, -1);
        expected.insert(o);
      } else if (kind == 2) {
        const int c = Pick(nodes, rng);
        if (net.AddArc(h, c) != 0) continue;  // cycle, self or adjacent
        what = "add arc";
        expected = Reference(Take(net), before, -1, c);
      } else if (kind == 3) {
        const VRN_intArray& children = net.GetNode(h)->Children();
        if (children.GetSize() == 0) continue;
        const int c = children[rng() % children.GetSize()];
        what = "remove arc";
        ASSERT_EQ(net.RemoveArc(h, c), 0);
        // The values were computed with the arc: judge in that graph.
        expected = Reference(before, before, -1, c);
      } else if (kind == 4) {
        what = "table changed";
        ASSERT_EQ(Def(net, h)->MakeUniform(), 0);
        expected = Reference(before, before, -1, h);
      } else {
        if (Val(net, h)->HasEvidence() || Val(net, h)->HasVirtualEvidence() ||
            Def(net, h)->GetNumberOfOutcomes() > 3) {
          continue;
        }
        what = "outcome added";
        ASSERT_EQ(Def(net, h)->AddOutcome(nullptr), 0);
        expected = Reference(before, before, -1, h);
      }
      ++compared;
      ASSERT_EQ(InvalidNodes(net), expected)
          << "trial " << trial << " step " << step << ": " << what
          << " at " << h << "; expected " << Describe(expected);
      // Edits may leave zeros behind (a new outcome); start clean again.
      for (int o : nodes) RandomizeTable(net, o, rng);
    }
  }
  EXPECT_GT(compared, 2000);
}

// The bookkeeping finds the nodes with evidence without scanning: a copied
// network must know its copied evidence, and a slot freed by an observed
// node and reused by a new one must not count as observed.
TEST(RelevanceTest, EvidenceIsFoundInCopiesAndNotInReusedSlots) {
  VRN_network net;
  const int a = net.AddNode(kCpt, "a");
  const int b = net.AddNode(kCpt, "b");
  const int c = net.AddNode(kCpt, "c");
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  ASSERT_EQ(Val(net, b)->SetEvidence(1), 0);

  // The nodes a change of a's table invalidates.
  auto after_a_changes = [a](VRN_network& n) {
    MarkAllValid(n);
    EXPECT_EQ(Def(n, a)->MakeUniform(), 0);
    return InvalidNodes(n);
  };
  VRN_network copy(net);
  EXPECT_EQ(after_a_changes(copy), (std::set<int>{a}));  // b blocks the chain

  ASSERT_EQ(net.DeleteNode(b), 0);
  ASSERT_EQ(net.AddNode(kCpt, "x"), b);
  ASSERT_EQ(net.AddArc(a, b), 0);
  ASSERT_EQ(net.AddArc(b, c), 0);
  EXPECT_EQ(after_a_changes(net), (std::set<int>{a, b, c}));

  // Evidence that was cleared no longer blocks either.
  ASSERT_EQ(Val(copy, b)->ClearEvidence(), 0);
  EXPECT_EQ(after_a_changes(copy), (std::set<int>{a, b, c}));
}

TEST(RelevanceTest, NothingHappensWithRelevanceOffOrOptionCleared) {
  VRN_network net;
  const int a = net.AddNode(kCpt, "A");
  const int b = net.AddNode(kTruthTable, "B");
  ASSERT_EQ(net.AddArc(a, b), 0);
  MarkAllValid(net);
  net.SetRelevanceReasoning(false);
  ASSERT_EQ(Val(net, a)->SetEvidence(0), 0);
  EXPECT_TRUE(InvalidNodes(net).empty());
  EXPECT_FALSE(Val(net, b)->HasEvidence());
  ASSERT_EQ(Val(net, a)->ClearEvidence(), 0);
  EXPECT_EQ(InvalidNodes(net), (std::set<int>{a}));

  net.SetRelevanceReasoning(true);
  net.SetRelevanceOptions(qelta::kRelAllOptions & ~qelta::kRelEvidenceSet);
  MarkAllValid(net);
  ASSERT_EQ(Val(net, a)->SetEvidence(0), 0);
  EXPECT_TRUE(InvalidNodes(net).empty());
  EXPECT_EQ(net.CheckImpossibleEvidence(99), -2);
  EXPECT_EQ(net.OnNodeValueChange(-1), -2);
  EXPECT_EQ(net.OnEvidenceChange(a, 7), 0);
}

// A -> B -> C, A -> D; target C. Edits made without their hooks (relevance
// reasoning off, or no option set) leave B and D as the first update left
// them until the next update, which keeps no value it does not compute: nor
// when the bookkeeping comes back on first, or the edits update themselves.
TEST(RelevanceTest, NoOldValueOutlivesAnUpdateAfterEditsWithoutHooks) {
  const std::vector<std::vector<double>> tables = {
      {0.3, 0.7}, {0.9, 0.1, 0.2, 0.8}, {0.6, 0.4, 0.1, 0.9}, {0.95, 0.05, 0.25, 0.75}};
  const int a = 0, b = 1, c = 2, d = 3;
  for (int code : {0, 1, 3, 4, 5, 6, 10, 11, 12}) {
    // way: 0 off, 1 options 0, 2 and 3 the same back on before the update,
    // 4 and 5 the same with automatic update, 6 the bookkeeping fully on.
    for (int way = 0; way < 7; ++way) {
      SCOPED_TRACE("code " + std::to_string(code) + ", way " + std::to_string(way));
      VRN_network net;
      net.SetRandSeed(85);
      for (const char* id : {"A", "B", "C", "D"}) (void)net.AddNode(kCpt, id);
      ASSERT_EQ(net.AddArc(a, b) | net.AddArc(b, c) | net.AddArc(a, d), 0);
      for (int h : {a, b, c, d}) ASSERT_EQ(Def(net, h)->SetDefinitionFromVector(tables[h]), 0);
      ASSERT_EQ(net.SetDefaultBNAlgorithm(code), code);
      ASSERT_EQ(net.UpdateBeliefs(), 0);
      const double old_b = Val(net, b)->GetValue().GetItem(0);
      ASSERT_EQ(net.SetTarget(c, true), 0);
      if (way % 2 == 0) net.SetRelevanceReasoning(way == 6);
      if (way % 2 == 1) net.SetRelevanceOptions(0);
      EXPECT_EQ(way == 4 || way == 5 ? net.SetAutoUpdate(true) : 0, 0);
      ASSERT_EQ(Def(net, d)->SetDefinitionFromVector({0.2, 0.8, 0.2, 0.8}), 0);
      ASSERT_EQ(Val(net, a)->SetEvidence(1), 0);
      EXPECT_TRUE(way > 1 || (Val(net, b)->IsValueValid() &&
                              Val(net, b)->GetValue().GetItem(0) == old_b));
      if (way == 2) net.SetRelevanceReasoning(true);
      if (way == 3) net.SetRelevanceOptions(qelta::kRelAllOptions);
      EXPECT_EQ(way < 4 || way == 6 ? net.UpdateBeliefs() : 0, 0);
      for (int h : {c, b, d}) {
        const VRN_nodeVal* value = Val(net, h);
        EXPECT_TRUE(h == c ? value->IsValueValid() : way != 6 || !value->IsValueValid());
        if (!value->IsValueValid()) continue;
        EXPECT_NEAR(value->GetValue().GetItem(0), 0.2, code >= 1 && code <= 6 ? 0.03 : 1e-12) << h;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Evidence implied through deterministic tables.

class ImpliedEvidenceTest : public ::testing::Test {
 protected:
  // a (3 outcomes) and b (2) are parents of c (3).
  void SetUp() override {
    a_ = net_.AddNode(kCpt, "A");
    b_ = net_.AddNode(kCpt, "B");
    c_ = net_.AddNode(kCpt, "C");
    ASSERT_EQ(Def(net_, a_)->SetNumberOfOutcomes(3), 0);
    ASSERT_EQ(Def(net_, c_)->SetNumberOfOutcomes(3), 0);
    ASSERT_EQ(net_.AddArc(a_, c_), 0);
    ASSERT_EQ(net_.AddArc(b_, c_), 0);
  }

  // Columns of c in order (a, b) = (0,0) (0,1) (1,0) (1,1) (2,0) (2,1).
  void SetC(const std::vector<double>& a1b0, const std::vector<double>& a1b1) {
    std::vector<double> items = {0.2, 0.3, 0.5, 0.2, 0.3, 0.5};
    items.insert(items.end(), a1b0.begin(), a1b0.end());
    items.insert(items.end(), a1b1.begin(), a1b1.end());
    for (double v : {0.2, 0.3, 0.5, 0.2, 0.3, 0.5}) items.push_back(v);
    ASSERT_EQ(Def(net_, c_)->SetDefinitionFromVector(items), 0);
  }

  VRN_network net_;
  int a_ = -1, b_ = -1, c_ = -1;
};

TEST_F(ImpliedEvidenceTest, ChildGetsStateWhoseEntriesAreAllOneUnderObservedParents) {
  SetC({0.0, 0.0, 1.0}, {0.0, 0.0, 1.0});
  ASSERT_EQ(Val(net_, a_)->SetEvidence(1), 0);
  EXPECT_TRUE(IsPropagated(net_, c_));
  EXPECT_EQ(Val(net_, c_)->GetEvidence(), 2);
  EXPECT_TRUE(Val(net_, c_)->IsValueValid());
  // Clearing the cause takes the implication away.
  ASSERT_EQ(Val(net_, a_)->ClearEvidence(), 0);
  EXPECT_FALSE(Val(net_, c_)->HasEvidence());
  EXPECT_FALSE(Val(net_, c_)->IsValueValid());
}

TEST_F(ImpliedEvidenceTest, NearlyOneDoesNotImply) {
  SetC({0.0000005, 0.0000005, 0.999999}, {0.0, 0.0, 1.0});
  ASSERT_EQ(Val(net_, a_)->SetEvidence(1), 0);
  EXPECT_FALSE(Val(net_, c_)->HasEvidence());
  // With b observed only the exact column is left.
  ASSERT_EQ(Val(net_, b_)->SetEvidence(1), 0);
  EXPECT_TRUE(IsPropagated(net_, c_));
  EXPECT_EQ(Val(net_, c_)->GetEvidence(), 2);
  ASSERT_EQ(Val(net_, b_)->SetEvidence(0), 0);
  EXPECT_FALSE(Val(net_, c_)->HasEvidence());
}

TEST_F(ImpliedEvidenceTest, SingleNonZeroParentStateIsImpliedUpward) {
  // c = 0 is possible only with a = 2 (whatever b).
  std::vector<double> items;
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 2; ++b) {
      if (a == 2) {
        items.insert(items.end(), {0.5, 0.25, 0.25});
      } else {
        items.insert(items.end(), {0.0, 0.5, 0.5});
      }
    }
  }
  ASSERT_EQ(Def(net_, c_)->SetDefinitionFromVector(items), 0);
  ASSERT_EQ(Val(net_, c_)->SetEvidence(1), 0);
  EXPECT_FALSE(Val(net_, a_)->HasEvidence());
  ASSERT_EQ(Val(net_, c_)->SetEvidence(0), 0);
  EXPECT_TRUE(IsPropagated(net_, a_));
  EXPECT_EQ(Val(net_, a_)->GetEvidence(), 2);
  EXPECT_FALSE(Val(net_, b_)->HasEvidence());
  // Observing the implied outcome itself is accepted.
  EXPECT_EQ(Val(net_, a_)->SetEvidence(2), 0);
  EXPECT_EQ(Val(net_, a_)->SetEvidence(1), -26);
}

TEST_F(ImpliedEvidenceTest, TwoImplicationsThatDisagreeGiveConflict) {
  // a = 1 forces c = 2; d (a truth table of c) = 1 only when c = 0.
  SetC({0.0, 0.0, 1.0}, {0.0, 0.0, 1.0});
  const int d = net_.AddNode(kTruthTable, "D");
  ASSERT_EQ(net_.AddArc(c_, d), 0);
  VRN_intArray states;
  for (int s : {1, 0, 0}) states.Add(s);
  ASSERT_EQ(static_cast<VRN_truthTable*>(Def(net_, d))->SetResultingStates(states), 0);
  ASSERT_EQ(Val(net_, a_)->SetEvidence(1), 0);
  ASSERT_TRUE(IsPropagated(net_, c_));
  // c = 2 in turn implies d = 0.
  EXPECT_TRUE(IsPropagated(net_, d));
  EXPECT_EQ(Val(net_, d)->GetEvidence(), 0);
  ASSERT_EQ(Val(net_, a_)->ClearEvidence(), 0);
  ASSERT_EQ(Val(net_, d)->SetEvidence(1), 0);
  EXPECT_EQ(Val(net_, c_)->GetEvidence(), 0);  // implied upward
  EXPECT_EQ(Val(net_, a_)->SetEvidence(1), -26);
  VRN_errorLog* log = net_.ErrorLog();
  EXPECT_STREQ(log->GetMessage(log->GetNumberOfMessages() - 1),
               "ERROR: conficting evidence between nodes [A] and [C]");
  // The refused observation is gone and the implications are rebuilt.
  EXPECT_FALSE(Val(net_, a_)->HasEvidence());
  EXPECT_TRUE(IsPropagated(net_, c_));
  EXPECT_EQ(Val(net_, c_)->GetEvidence(), 0);
}

TEST_F(ImpliedEvidenceTest, PropagationOffImpliesNothing) {
  SetC({0.0, 0.0, 1.0}, {0.0, 0.0, 1.0});
  net_.SetFlags(net_.GetFlags() & ~qelta::kNetEvidencePropagation);
  MarkAllValid(net_);
  ASSERT_EQ(Val(net_, a_)->SetEvidence(1), 0);
  EXPECT_FALSE(Val(net_, c_)->HasEvidence());
  EXPECT_EQ(InvalidNodes(net_), (std::set<int>{c_}));
}

TEST_F(ImpliedEvidenceTest, ImpossibleOutcomeIsRefusedWithOutcomeFirst) {
  SetC({0.5, 0.5, 0.0}, {0.25, 0.75, 0.0});
  ASSERT_EQ(Val(net_, a_)->SetEvidence(1), 0);
  EXPECT_EQ(Val(net_, c_)->SetEvidence(2), -2);
  VRN_errorLog* log = net_.ErrorLog();
  ASSERT_GT(log->GetNumberOfMessages(), 0);
  EXPECT_STREQ(log->GetMessage(log->GetNumberOfMessages() - 1),
               "Outcome [State2] of node [C] is impossible");
  EXPECT_FALSE(Val(net_, c_)->HasEvidence());
  EXPECT_EQ(Val(net_, c_)->SetEvidence(1), 0);
}

TEST_F(ImpliedEvidenceTest, ImpliedOutcomeBlocksTheWalk) {
  // c is fixed by a whatever b is, so b's table cannot reach e below c.
  SetC({0.0, 0.0, 1.0}, {0.0, 0.0, 1.0});
  const int e = net_.AddNode(kCpt, "E");
  ASSERT_EQ(net_.AddArc(c_, e), 0);
  ASSERT_EQ(Val(net_, a_)->SetEvidence(1), 0);
  MarkAllValid(net_);
  ASSERT_EQ(Def(net_, b_)->MakeUniform(), 0);
  EXPECT_EQ(InvalidNodes(net_), (std::set<int>{b_}));
  EXPECT_TRUE(IsPropagated(net_, c_));
}

TEST(RelevanceTest, LongDeterministicChainNeedsNoDeepRecursion) {
  VRN_network net;
  constexpr int kLength = 100000;
  // Built like a load: no bookkeeping per arc.
  net.SetRelevanceOptions(0);
  VRN_intArray copy;
  copy.Add(0);
  copy.Add(1);
  int previous = -1;
  for (int i = 0; i < kLength; ++i) {
    // The root is a CPT: a truth table would make one of its outcomes
    // impossible.
    const int h = net.AddNode(i == 0 ? kCpt : kTruthTable,
                              ("T" + std::to_string(i)).c_str());
    ASSERT_EQ(h, i);
    if (previous >= 0) {
      ASSERT_EQ(net.AddArc(previous, h), 0);
      ASSERT_EQ(static_cast<VRN_truthTable*>(Def(net, h))->SetResultingStates(copy), 0);
    }
    previous = h;
  }
  net.SetRelevanceOptions(qelta::kRelAllOptions);
  ASSERT_EQ(Val(net, 0)->SetEvidence(1), 0);
  EXPECT_TRUE(IsPropagated(net, kLength - 1));
  EXPECT_EQ(Val(net, kLength - 1)->GetEvidence(), 1);
  MarkAllValid(net);
  ASSERT_EQ(Val(net, 0)->ClearEvidence(), 0);
  EXPECT_EQ(InvalidNodes(net).size(), static_cast<size_t>(kLength));
  VRN_intArray out;
  ASSERT_EQ(net.GetAncestors(kLength - 1, out), 0);
  EXPECT_EQ(out.GetSize(), kLength - 1);
}

// ---------------------------------------------------------------------------
// Ancestor and descendant queries.

TEST(RelevanceTest, AncestorsAndDescendantsLeaveTheirMarks) {
  VRN_network net;
  const int a = net.AddNode(kCpt, "A");
  const int b = net.AddNode(kCpt, "B");
  const int c = net.AddNode(kCpt, "C");
  const int d = net.AddNode(kCpt, "D");
  const int e = net.AddNode(kCpt, "E");
  ASSERT_EQ(net.AddArc(d, b), 0);  // diamond d -> {b, c} -> a, e alone
  ASSERT_EQ(net.AddArc(d, c), 0);
  ASSERT_EQ(net.AddArc(b, a), 0);
  ASSERT_EQ(net.AddArc(c, a), 0);
  VRN_intArray out;
  out.Add(42);
  ASSERT_EQ(net.GetAncestors(a, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{b, c, d}));
  for (int h : {a, e}) {
    EXPECT_FALSE(net.GetNode(h)->HasMark(qelta::kMarkAncestor));
  }
  for (int h : {b, c, d}) {
    EXPECT_TRUE(net.GetNode(h)->HasMark(qelta::kMarkAncestor));
  }
  ASSERT_EQ(net.GetDescendants(d, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{a, b, c}));
  EXPECT_FALSE(net.GetNode(d)->HasMark(qelta::kMarkDescendant));
  ASSERT_EQ(net.GetDescendants(e, out), 0);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_FALSE(net.GetNode(a)->HasMark(qelta::kMarkDescendant));
  EXPECT_EQ(net.GetAncestors(-1, out), -2);
  ASSERT_EQ(net.DeleteNode(c), 0);
  EXPECT_EQ(net.GetDescendants(c, out), -2);
  ASSERT_EQ(net.GetDescendants(d, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{a, b}));
}

TEST(RelevanceTest, CostDescendantsFollowCostArcsOnly) {
  VRN_network net;
  const int a = net.AddNode(kCpt, "A");
  const int b = net.AddNode(kCpt, "B");
  const int c = net.AddNode(kCpt, "C");
  ASSERT_EQ(net.AddArc(a, b, qelta::kArcLayerCost), 0);
  ASSERT_EQ(net.AddArc(b, c, qelta::kArcLayerCost), 0);
  ASSERT_EQ(net.AddArc(c, a, qelta::kArcLayerCost), 0);  // a cost cycle
  ASSERT_EQ(net.AddArc(a, c), 0);
  VRN_intArray out;
  ASSERT_EQ(net.GetCostDescendants(a, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{b, c}));
  ASSERT_EQ(net.GetDescendants(b, out), 0);
  EXPECT_TRUE(out.IsEmpty());
  out.Add(3);
  EXPECT_EQ(net.GetCostDescendants(17, out), -2);
  EXPECT_TRUE(out.IsEmpty());
}

// ---------------------------------------------------------------------------
// Influence diagrams.

using qelta::kDefCpt;
using qelta::kDefDecision;
using qelta::kDefUtility;

// P -> M -> C with C a copy of M (a decision or a chance node), and a
// utility U below P; every value marked valid.
struct Diagram {
  explicit Diagram(int middle_type) {
    p = net.AddNode(kDefCpt, "P");
    m = net.AddNode(middle_type, "M");
    c = net.AddNode(qelta::kDefTruthTable, "C");
    u = net.AddNode(kDefUtility, "U");
    EXPECT_EQ(0, net.AddArc(p, m));
    EXPECT_EQ(0, net.AddArc(m, c));
    EXPECT_EQ(0, net.AddArc(p, u));
    EXPECT_EQ(0, Def(c)->SetDefinitionFromVector({1, 0, 0, 1}));
    for (int h : {p, m, c, u}) Val(h)->AddFlags(qelta::kValFlagValid);
  }
  VRN_nodeDef* Def(int h) { return net.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net.GetNode(h)->Value(); }
  bool Implied(int h) { return Val(h)->HasFlags(qelta::kValFlagPropagated); }
  VRN_network net;
  int p, m, c, u;
};

TEST(DecisionRelevanceTest, EvidenceInADiagramLeavesOnlyPointMassesValid) {
  for (int type : {kDefCpt, kDefDecision}) {
    Diagram g(type);
    ASSERT_EQ(0, g.Val(g.c)->SetEvidence(1));
    const bool decision = type == kDefDecision;
    // Implied evidence goes up into a chance node (a valid point mass); a
    // decision takes none and is invalidated instead.
    EXPECT_EQ(!decision, g.Implied(g.m)) << type;
    EXPECT_EQ(!decision, g.Val(g.m)->IsValueValid()) << type;
    // The decision's parent is a scenario node whose layout the evidence
    // may change: invalid too.
    EXPECT_FALSE(g.Val(g.p)->IsValueValid()) << type;
    EXPECT_FALSE(g.Val(g.u)->IsValueValid()) << type;
  }
}

TEST(DecisionRelevanceTest, NoImpliedEvidenceIntoOrOutOfDecisions) {
  Diagram g(kDefDecision);
  ASSERT_EQ(0, g.Val(g.p)->SetEvidence(0));
  // A utility table of 1.0 looks deterministic but is no CPT.
  EXPECT_FALSE(g.Implied(g.u));
  EXPECT_FALSE(g.Implied(g.m));
  ASSERT_EQ(0, g.Val(g.p)->ClearEvidence());
  ASSERT_EQ(0, g.Val(g.m)->SetEvidence(1));
  EXPECT_FALSE(g.Implied(g.p));
  EXPECT_TRUE(g.Implied(g.c));
}

TEST(DecisionRelevanceTest, ChangedUtilitiesInvalidateEveryDecision) {
  Diagram g(kDefDecision);  // M is no relative of U
  VRN_nodeDef* def = g.Def(g.u);
  for (int step = 0; step < 3; ++step) {
    g.Val(g.m)->AddFlags(qelta::kValFlagValid);
    ASSERT_EQ(0, step == 0   ? def->SetDefinitionFromVector({2, 5})
                 : step == 1 ? def->MakeUniform()
                             : def->MakeRandom(*g.net.GetRandomGenerator()));
    EXPECT_FALSE(g.Val(g.m)->IsValueValid()) << step;
  }
}

TEST(DecisionRelevanceTest, EvidenceHasNoProbabilityInAnInfluenceDiagram) {
  Diagram g(kDefDecision);
  ASSERT_EQ(0, g.Val(g.c)->SetEvidence(0));
  double p = 0.5;
  EXPECT_FALSE(g.net.CalcPropEvidence(p, false));  // no crash on M's table
  EXPECT_EQ(-1.0, p);
}

}  // namespace
