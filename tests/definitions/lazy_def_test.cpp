#include <gtest/gtest.h>

#include <vector>

#include "base/status.h"
#include "definitions/lazy_def.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// "True" with probability 0.1 plus 0.2 per parent in state 0; counts the
// columns it computes.
class CountingQual : public VRN_qualDef {
 public:
  CountingQual(VRN_network* net, int h) : VRN_qualDef(net, h) {}
  explicit CountingQual(const VRN_discreteInfo& info) : VRN_qualDef(info) {}
  VRN_nodeDef* Clone(VRN_network*) const override { return nullptr; }
  int GetType() const override { return qelta::kDefCast; }
  const char* GetTypeName() const override { return "TEST"; }
  double CalculateCptColumn(const VRN_intArray& coordinates) override {
    ++columns;
    double p = 0.1;
    for (int i = 0; i + 1 < coordinates.GetSize(); ++i) {
      p += coordinates[i] == 0 ? 0.2 : 0.0;
    }
    return p;
  }
  int columns = 0;
};

struct OtherQual : CountingQual {
  OtherQual(VRN_network* net, int h) : CountingQual(net, h) {}
};

std::vector<double> Items(const VRN_matrix* m) {
  return std::vector<double>(m->GetItems().begin(), m->GetItems().end());
}

struct TwoParents {
  TwoParents() {
    for (const char* id : {"A", "B", "N"}) {
      EXPECT_GE(net.AddNode(qelta::kDefCpt, id), 0);
    }
    EXPECT_EQ(0, net.AddArc(0, 2));
    EXPECT_EQ(0, net.AddArc(1, 2));
  }
  VRN_network net;
};

TEST(QualDefTest, ExpandsOnDemandKeepsOutcomesAndCaches) {
  TwoParents t;
  CountingQual def(&t.net, 2);
  EXPECT_STREQ("False", def.GetOutcomesNames()->Get(1));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.AddOutcome("Maybe"));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.RenameOutcome(0, "Yes"));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.RemoveOutcome(0));
  const std::vector<double> items = Items(def.GetExpandedDefinition());
  EXPECT_EQ(3, def.GetExpandedDefinition()->GetDimensionCount());
  ASSERT_EQ(8u, items.size());
  for (size_t c = 0; c < 8; c += 2) EXPECT_DOUBLE_EQ(1.0, items[c] + items[c + 1]);
  EXPECT_DOUBLE_EQ(0.5, items[0]);
  EXPECT_EQ(4, def.columns);
  (void)def.GetExpandedDefinition();
  EXPECT_EQ(4, def.columns);
  VRN_matrix* parameters = nullptr;
  (void)def.GetDefinition(&parameters);  // hands out, changes nothing
  (void)def.GetExpandedDefinition();
  EXPECT_EQ(8, def.columns);
  EXPECT_EQ(qelta::kErrOutOfRange, def.GetParentIndexInvalidate(2));
  EXPECT_TRUE(def.IsCptValid());
  EXPECT_EQ(1, def.GetParentIndexInvalidate(1));
  EXPECT_FALSE(def.IsCptValid());
}

TEST(QualDefTest, RecordsAndCopies) {
  TwoParents t;
  // A three-outcome record still gives "True" and "False".
  ASSERT_EQ(0, t.net.GetNode(2)->Definition()->SetNumberOfOutcomes(3));
  VRN_discreteInfo info(&t.net, 2);
  ASSERT_EQ(0, t.net.GetNode(2)->Definition()->GetDiscreteInfo(&info));
  CountingQual from(info);
  EXPECT_EQ(2, from.GetNumberOfOutcomes());
  CountingQual same(&t.net, 2), smaller(&t.net, 0);
  OtherQual other(&t.net, 2);
  const_cast<VRN_matrix*>(from.GetExpandedDefinition())->GetItems()[0] = 0.75;
  for (VRN_lazyDef* target : {static_cast<VRN_lazyDef*>(&same),
                              static_cast<VRN_lazyDef*>(&smaller),
                              static_cast<VRN_lazyDef*>(&other)}) {
    (void)target->GetExpandedDefinition();
    from.CopyParameters(target);
  }
  EXPECT_EQ(0.75, same.GetExpandedDefinition()->GetItem(0));
  EXPECT_EQ(0.5, other.GetExpandedDefinition()->GetItem(0));
  EXPECT_EQ(2, smaller.GetExpandedDefinition()->GetItemCount());
}

}  // namespace
