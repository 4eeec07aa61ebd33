// Every kind of edit on every node of small influence diagrams (one and two
// decisions, with and without informational arcs, a multi-attribute utility
// node), under every subset of observed chance nodes and with both solvers:
// right after the edit, every value still marked valid equals a fresh
// diagram's (the save read back, the same evidence, solved), in numbers
// within 1e-9 and in the parents that index it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/edit_kinds.h"
#include "network/fresh_network.h"
#include "network/network.h"
#include "network/node.h"

namespace {

using qelta_test::EditKind;

struct Diagram {
  const char* name;
  std::function<void(VRN_network&)> build;
  // Every node, and those that may be observed.
  std::vector<const char*> nodes;
  std::vector<const char*> observable;
};

int Add(VRN_network& net, int type, const char* id) { return net.AddNode(type, id); }

void Table(VRN_network& net, const char* id, const std::vector<double>& items) {
  ASSERT_EQ(net.GetNode(net.FindNode(id))->Definition()->SetDefinitionFromVector(items), 0)
      << id;
}

void Arcs(VRN_network& net, const std::vector<std::pair<const char*, const char*>>& arcs) {
  for (const auto& arc : arcs) {
    ASSERT_EQ(net.AddArc(net.FindNode(arc.first), net.FindNode(arc.second)), 0)
        << arc.first << " -> " << arc.second;
  }
}

std::vector<Diagram> Diagrams() {
  return {
      {"one decision",
       [](VRN_network& net) {
         Add(net, qelta::kDefCpt, "A");
         Add(net, qelta::kDefDecision, "D");
         Add(net, qelta::kDefCpt, "B");
         Add(net, qelta::kDefUtility, "U");
         Arcs(net, {{"A", "B"}, {"D", "B"}, {"B", "U"}, {"D", "U"}});
         Table(net, "A", {0.35, 0.65});
         Table(net, "B", {0.7, 0.3, 0.4, 0.6, 0.1, 0.9, 0.5, 0.5});
         Table(net, "U", {10.0, 0.0, 3.0, 7.0});
       },
       {"A", "D", "B", "U"},
       {"A", "B"}},
      {"one decision, informational arc",
       [](VRN_network& net) {
         Add(net, qelta::kDefCpt, "Oil");
         Add(net, qelta::kDefCpt, "Test");
         Add(net, qelta::kDefDecision, "Drill");
         Add(net, qelta::kDefUtility, "U");
         Arcs(net, {{"Oil", "Test"}, {"Test", "Drill"}, {"Oil", "U"}, {"Drill", "U"}});
         Table(net, "Oil", {0.3, 0.7});
         Table(net, "Test", {0.9, 0.1, 0.2, 0.8});
         Table(net, "U", {100.0, 0.0, -40.0, 0.0});
       },
       {"Oil", "Test", "Drill", "U"},
       {"Oil", "Test"}},
      {"two decisions",
       [](VRN_network& net) {
         Add(net, qelta::kDefDecision, "D1");
         Add(net, qelta::kDefDecision, "D2");
         Add(net, qelta::kDefCpt, "A");
         Add(net, qelta::kDefUtility, "U");
         Add(net, qelta::kDefUtility, "V");
         Arcs(net, {{"D1", "D2"}, {"A", "U"}, {"D2", "U"}, {"D1", "V"}});
         Table(net, "A", {0.45, 0.55});
         Table(net, "U", {4.0, -1.0, 0.0, 6.0});
         Table(net, "V", {1.5, 0.5});
       },
       {"D1", "D2", "A", "U", "V"},
       {"A"}},
      {"two decisions, informational arcs",
       [](VRN_network& net) {
         Add(net, qelta::kDefDecision, "D1");
         Add(net, qelta::kDefCpt, "A");
         Add(net, qelta::kDefDecision, "D2");
         Add(net, qelta::kDefCpt, "B");
         Add(net, qelta::kDefUtility, "U");
         Arcs(net, {{"D1", "A"}, {"A", "D2"}, {"D1", "D2"}, {"D2", "B"}, {"A", "B"},
                    {"B", "U"}, {"D1", "U"}});
         Table(net, "A", {0.8, 0.2, 0.3, 0.7});
         Table(net, "B", {0.9, 0.1, 0.6, 0.4, 0.25, 0.75, 0.0, 1.0});
         Table(net, "U", {5.0, -2.0, 1.0, 3.0});
       },
       {"D1", "A", "D2", "B", "U"},
       {"A", "B"}},
      {"multi-attribute utility",
       [](VRN_network& net) {
         Add(net, qelta::kDefCpt, "A");
         Add(net, qelta::kDefDecision, "D");
         Add(net, qelta::kDefCpt, "B");
         Add(net, qelta::kDefUtility, "U1");
         Add(net, qelta::kDefUtility, "U2");
         Add(net, qelta::kDefMau, "M");
         Arcs(net, {{"A", "B"}, {"A", "U1"}, {"D", "U1"}, {"D", "U2"}, {"U1", "M"},
                    {"U2", "M"}});
         Table(net, "A", {0.6, 0.4});
         Table(net, "B", {0.2, 0.8, 0.7, 0.3});
         Table(net, "U1", {8.0, 1.0, -3.0, 5.0});
         Table(net, "U2", {0.5, 2.5});
         Table(net, "M", {0.7, 0.3});
       },
       {"A", "D", "B", "U1", "U2", "M"},
       {"A", "B"}},
  };
}

TEST(InfluenceEditMatrixTest, ValidValuesRightAfterEveryEditEqualAFreshDiagram) {
  const std::vector<EditKind> kinds = qelta_test::EditKinds(true);
  // By default each (subset, node) takes one solver in turn;
  // QELTA_EDIT_MATRIX_FULL takes both.
  const bool full = std::getenv("QELTA_EDIT_MATRIX_FULL") != nullptr;
  int compared = 0;
  int failures = 0;
  for (const Diagram& diagram : Diagrams()) {
    const unsigned subsets = 1u << diagram.observable.size();
    for (unsigned subset = 0; subset < subsets; ++subset) {
      for (int code = 0; code < 2; ++code) {
        for (const EditKind& kind : kinds) {
          for (size_t node = 0; node < diagram.nodes.size(); ++node) {
            if (!full && (subset + node + kind.name.size()) % 2 != static_cast<unsigned>(code)) {
              continue;
            }
            if (!kind.per_node && node > 0) continue;
            const char* id = diagram.nodes[node];
            VRN_network net;
            net.SetRandSeed(11);
            diagram.build(net);
            (void)net.SetDefaultIDAlgorithm(code);
            bool observed = true;
            for (size_t i = 0; i < diagram.observable.size(); ++i) {
              if ((subset & (1u << i)) == 0) continue;
              VRN_nodeVal* value = net.GetNode(net.FindNode(diagram.observable[i]))->Value();
              observed = observed && value->SetEvidence(1) == qelta::kOk;
            }
            if (!observed || net.UpdateBeliefs() != qelta::kOk) continue;
            const int status = kind.apply(net, net.FindNode(id));
            bool skipped = false;
            const std::string stale = qelta_test::StaleValue(net, &skipped);
            if (!skipped) ++compared;
            if (!stale.empty() && ++failures <= 20) {
              ADD_FAILURE() << diagram.name << ", observed subset " << subset << ", code "
                            << code << ": " << kind.name << " on " << id << " (answers "
                            << status << "): " << stale;
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(compared, 500);
}

}  // namespace
