// Small readers shared by the network-level tests: node tables and sizes,
// handle lists as vectors, counts of logged updates, and a three-node chain.
#ifndef QELTA_TESTS_NETWORK_NETWORK_HELPERS_H_
#define QELTA_TESTS_NETWORK_NETWORK_HELPERS_H_

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/network.h"
#include "network/node.h"

namespace qelta_test {

constexpr int kCpt = 18;
constexpr int kTruthTable = 20;

// Polytree propagation refuses a network with an undirected loop and logs
// exactly this line, so with LogEveryUpdate the lines count the updates.
constexpr const char* kUpdateMessage =
    "PolyTree algorithm can not be applied to this network, because it is "
    "not singly connected.";

// Adds three nodes joined in an undirected loop and selects polytree
// propagation, so that every update fails with kUpdateMessage (-1).
inline void LogEveryUpdate(VRN_network& net) {
  const int a = net.AddNode(kCpt, "loop_a");
  const int b = net.AddNode(kCpt, "loop_b");
  const int c = net.AddNode(kCpt, "loop_c");
  (void)net.AddArc(a, b);
  (void)net.AddArc(a, c);
  (void)net.AddArc(b, c);
  (void)net.SetDefaultBNAlgorithm(2);
}

inline std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

inline VRN_nodeDef* Def(VRN_network& net, int h) {
  return net.GetNode(h)->Definition();
}

inline std::vector<double> Table(VRN_network& net, int h) {
  return Items(*Def(net, h)->GetMatrixConst());
}

inline std::vector<int> Sizes(VRN_network& net, int h) {
  const VRN_matrix* m = Def(net, h)->GetMatrixConst();
  return std::vector<int>(m->GetDimensions().begin(), m->GetDimensions().end());
}

// A (0.3, 0.7) -> B (0.6, 0.4 | 0.2, 0.8) -> C (0.9, 0.1 | 0.3, 0.7): tables
// under which every edit of A or B shows in C.
struct Chain {
  Chain() {
    a = net.AddNode(kCpt, "A");
    b = net.AddNode(kCpt, "B");
    c = net.AddNode(kCpt, "C");
    EXPECT_EQ(net.AddArc(a, b), 0);
    EXPECT_EQ(net.AddArc(b, c), 0);
    EXPECT_EQ(Def(net, a)->SetDefinitionFromVector({0.3, 0.7}), 0);
    EXPECT_EQ(Def(net, b)->SetDefinitionFromVector({0.6, 0.4, 0.2, 0.8}), 0);
    EXPECT_EQ(Def(net, c)->SetDefinitionFromVector({0.9, 0.1, 0.3, 0.7}), 0);
  }
  VRN_network net;
  int a, b, c;
};

inline std::vector<int> Ints(const VRN_intArray& a) {
  return std::vector<int>(a.begin(), a.end());
}

inline int CountMessages(const VRN_network& net, const char* text) {
  int count = 0;
  VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    if (std::strcmp(log->GetMessage(i), text) == 0) ++count;
  }
  return count;
}

// The observed outcomes as (handle, outcome) in handle order, read as
// every reader reads evidence: what the binding hands to annealed MAP.
inline std::vector<std::pair<int, int>> Observations(VRN_network& net) {
  std::vector<std::pair<int, int>> out;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    const VRN_nodeVal* value = net.EvidenceOf(h);
    if (value->HasFlags(qelta::kValFlagEvidence)) {
      out.emplace_back(h, value->GetEvidence());
    }
  }
  return out;
}

}  // namespace qelta_test

#endif  // QELTA_TESTS_NETWORK_NETWORK_HELPERS_H_
