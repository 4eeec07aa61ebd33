#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/status.h"
#include "definitions/cpt.h"
#include "definitions/lazy_def.h"
#include "network/network.h"
#include "network/node.h"

namespace {

// A qualitative definition whose "True" probability is 0.1 plus 0.2 per
// parent in state 0; it counts the columns it computes.
class CountingQual : public VRN_qualDef {
 public:
  CountingQual(VRN_network* network, int handle)
      : VRN_qualDef(network, handle) {}
  explicit CountingQual(const VRN_discreteInfo& info) : VRN_qualDef(info) {}
  VRN_nodeDef* Clone(VRN_network* target) const override {
    return new CountingQual(*this, target);
  }
  int GetType() const override { return 50; }
  const char* GetTypeName() const override { return "TEST"; }
  double CalculateCptColumn(const VRN_intArray& coordinates) override {
    ++columns;
    double p = 0.1;
    for (int i = 0; i + 1 < coordinates.GetSize(); ++i) {
      if (coordinates[i] == 0) p += 0.2;
    }
    return p;
  }
  int columns = 0;

 private:
  CountingQual(const CountingQual& other, VRN_network* network)
      : VRN_qualDef(other, network) {}
};

class OtherQual : public CountingQual {
 public:
  using CountingQual::CountingQual;
};

std::vector<double> Items(const VRN_matrix& m) {
  return std::vector<double>(m.GetItems().begin(), m.GetItems().end());
}

struct TwoParents {
  TwoParents() {
    a = net.AddNode(qelta::kDefCpt, "A");
    b = net.AddNode(qelta::kDefCpt, "B");
    n = net.AddNode(qelta::kDefCpt, "N");
    EXPECT_EQ(0, net.AddArc(a, n));
    EXPECT_EQ(0, net.AddArc(b, n));
  }
  VRN_network net;
  int a, b, n;
};

TEST(QualDefTest, ExpandsOnDemandAndCaches) {
  TwoParents t;
  CountingQual def(&t.net, t.n);
  EXPECT_STREQ("True", def.GetOutcomesNames()->Get(0));
  EXPECT_STREQ("False", def.GetOutcomesNames()->Get(1));
  EXPECT_EQ(nullptr, def.GetMatrixConst());
  EXPECT_FALSE(def.IsCptValid());
  const VRN_matrix* table = def.GetExpandedDefinition();
  ASSERT_NE(nullptr, table);
  EXPECT_EQ(3, table->GetDimensionCount());
  EXPECT_EQ(8, table->GetItemCount());
  const std::vector<double> items = Items(*table);
  for (size_t c = 0; c < items.size(); c += 2) {
    EXPECT_DOUBLE_EQ(1.0, items[c] + items[c + 1]);
  }
  EXPECT_DOUBLE_EQ(0.5, items[0]);
  EXPECT_DOUBLE_EQ(0.1, items[6]);
  EXPECT_EQ(4, def.columns);
  (void)def.GetExpandedDefinition();
  EXPECT_EQ(4, def.columns);

  // Handing out the parameters marks the cache stale, changed or not.
  VRN_matrix* parameters = nullptr;
  EXPECT_EQ(qelta::kErrWrongNodeType, def.GetDefinition(&parameters));
  (void)def.GetExpandedDefinition();
  EXPECT_EQ(8, def.columns);

  EXPECT_EQ(qelta::kErrOutOfRange, def.GetParentIndexInvalidate(t.n));
  EXPECT_TRUE(def.IsCptValid());
  EXPECT_EQ(1, def.GetParentIndexInvalidate(t.b));
  EXPECT_FALSE(def.IsCptValid());
}

TEST(QualDefTest, OutcomesAreFixed) {
  TwoParents t;
  CountingQual def(&t.net, t.n);
  EXPECT_EQ(qelta::kErrWrongNodeType, def.AddOutcome("Maybe"));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.RemoveOutcome(0));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.RenameOutcome(0, "Yes"));
  EXPECT_EQ(qelta::kErrWrongNodeType, def.SetNumberOfOutcomes(3));
  EXPECT_EQ(2, def.GetNumberOfOutcomes());
}

TEST(QualDefTest, BuiltFromAnyRecordHasTrueAndFalse) {
  TwoParents t;
  ASSERT_EQ(0, t.net.GetNode(t.n)->Definition()->SetNumberOfOutcomes(3));
  VRN_discreteInfo info(&t.net, t.n);
  ASSERT_EQ(0, t.net.GetNode(t.n)->Definition()->GetDiscreteInfo(&info));
  CountingQual def(info);
  ASSERT_EQ(2, def.GetNumberOfOutcomes());
  EXPECT_STREQ("False", def.GetOutcomesNames()->Get(1));
  EXPECT_EQ(8, def.GetExpandedDefinition()->GetItemCount());
}

TEST(QualDefTest, CopyParametersOnlyIntoTheSameKindAndShape) {
  TwoParents t;
  CountingQual from(&t.net, t.n);
  CountingQual same(&t.net, t.n);
  OtherQual other(&t.net, t.n);
  CountingQual smaller(&t.net, t.a);
  (void)from.GetExpandedDefinition();
  (void)same.GetExpandedDefinition();
  (void)other.GetExpandedDefinition();
  (void)smaller.GetExpandedDefinition();
  const VRN_matrix* marked = from.GetExpandedDefinition();
  const_cast<VRN_matrix*>(marked)->GetItems()[0] = 0.75;
  const std::vector<double> before_other = Items(*other.GetExpandedDefinition());
  const std::vector<double> before_small = Items(*smaller.GetExpandedDefinition());
  from.CopyParameters(&other);
  from.CopyParameters(&smaller);
  from.CopyParameters(&same);
  EXPECT_EQ(before_other, Items(*other.GetExpandedDefinition()));
  EXPECT_EQ(before_small, Items(*smaller.GetExpandedDefinition()));
  EXPECT_EQ(0.75, same.GetExpandedDefinition()->GetItem(0));
  VRN_cpt cpt(&t.net, t.n);
  from.CopyParameters(&cpt);  // another class: nothing happens
  EXPECT_EQ(0.5, cpt.GetMatrixConst()->GetItem(0));
}

}  // namespace
