#include "definitions/def_visitor.h"

#include <gtest/gtest.h>

#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "definitions/cpt.h"
#include "definitions/node_def.h"
#include "definitions/truth_table.h"

namespace {

class CatchAll : public VRN_nodeDefVisitor {
 public:
  void VisitDefault(VRN_nodeDef& definition) override {
    seen.push_back(definition.GetType());
  }
  std::vector<int> seen;
};

class CptOnly : public VRN_nodeDefVisitor {
 public:
  void VisitCpt(VRN_cpt& definition) override {
    seen.push_back(definition.GetType());
  }
  std::vector<int> seen;
};

class Both : public CptOnly {
 public:
  void VisitTruthTable(VRN_truthTable&) override { ++tables; }
  int tables = 0;
};

struct Fixture {
  Fixture() {
    cpt = net.AddNode(qelta::kDefCpt, "C");
    table = net.AddNode(qelta::kDefTruthTable, "T");
  }
  VRN_nodeDef& Def(int h) { return *net.GetNode(h)->Definition(); }
  VRN_network net;
  int cpt;
  int table;
};

TEST(DefVisitorTest, CatchAllSeesEveryDefinitionOnceAndTablesFallBackToCpt) {
  Fixture f;
  CatchAll visitor;
  visitor.Dispatch(f.Def(f.cpt));
  visitor.Dispatch(f.Def(f.table));
  EXPECT_EQ(visitor.seen,
            (std::vector<int>{qelta::kDefCpt, qelta::kDefTruthTable}));
  // Truth tables fall back to the CPT visit.
  CptOnly cpt_only;
  cpt_only.Dispatch(f.Def(f.table));
  cpt_only.Dispatch(f.Def(f.cpt));
  EXPECT_EQ(cpt_only.seen,
            (std::vector<int>{qelta::kDefTruthTable, qelta::kDefCpt}));
  Both both;
  both.Dispatch(f.Def(f.table));
  both.Dispatch(f.Def(f.cpt));
  EXPECT_EQ(both.tables, 1);
  EXPECT_EQ(both.seen, (std::vector<int>{qelta::kDefCpt}));
}

TEST(DefVisitorTest, CatchAllSeesOneCallPerNodeOfEveryKind) {
  const std::vector<int> kinds = {
      qelta::kDefCpt,      qelta::kDefTruthTable, qelta::kDefDecision,
      qelta::kDefUtility,  qelta::kDefEquation,   qelta::kDefNoisyMax,
      qelta::kDefNoisyAdder, qelta::kDefDemorgan, qelta::kDefCast,
      qelta::kDefMau};
  VRN_network net;
  for (int kind : kinds) ASSERT_GE(net.AddNode(kind, nullptr), 0) << kind;
  CatchAll visitor;
  for (int h = net.GetFirstNode(); h >= 0; h = net.GetNextNode(h)) {
    visitor.Dispatch(*net.GetNode(h)->Definition());
  }
  EXPECT_EQ(kinds, visitor.seen);
}

}  // namespace
