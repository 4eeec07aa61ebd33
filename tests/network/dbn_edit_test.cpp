// Edits of a dynamic network that the temporal definitions and slice
// evidence must follow, compared with the same network built directly in
// its final form; copies and the evidence saver.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/target_saver.h"

namespace {

constexpr int kCpt = 18;

struct Tables {
  VRN_matrix x, y, z, hx, hz;  // priors, Z's table, H(X, 1), H(Z, 1)
};

// Plate nodes X (3 outcomes), Y, Z; Z's parents X, Y (or Y, X); temporal
// arcs X -> X, Z -> Z, X -> Z of order 1; 4 slices.
struct Dyn {
  explicit Dyn(bool yFirst) {
    x = net.AddNode(kCpt, "X");
    y = net.AddNode(kCpt, "Y");
    z = net.AddNode(kCpt, "Z");
    EXPECT_EQ(def(x)->SetNumberOfOutcomes(3), 0);
    for (int h : {z, y, x}) EXPECT_EQ(net.setNodeTemporalType(h, 3), 0);
    EXPECT_EQ(net.AddArc(yFirst ? y : x, z), 0);
    EXPECT_EQ(net.AddArc(yFirst ? x : y, z), 0);
    EXPECT_EQ(net.AddTemporalArc(x, x, 1), 0);
    EXPECT_EQ(net.AddTemporalArc(z, z, 1), 0);
    EXPECT_EQ(net.AddTemporalArc(x, z, 1), 0);
    EXPECT_EQ(net.SetNumberOfSlices(4), 0);
  }
  VRN_nodeDef* def(int h) { return net.GetNode(h)->Definition(); }
  VRN_nodeVal* val(int h) { return net.GetNode(h)->Value(); }
  void Set(const Tables& t) {
    EXPECT_EQ(def(x)->SetDefinitionFromMatrix(t.x), 0);
    EXPECT_EQ(def(y)->SetDefinitionFromMatrix(t.y), 0);
    EXPECT_EQ(def(z)->SetDefinitionFromMatrix(t.z), 0);
    EXPECT_EQ(def(x)->SetTemporalDefinitionFromMatrix(1, t.hx), 0);
    EXPECT_EQ(def(z)->SetTemporalDefinitionFromMatrix(1, t.hz), 0);
  }
  Tables Get() {
    return Tables{*def(x)->GetMatrixConst(), *def(y)->GetMatrixConst(),
                  *def(z)->GetMatrixConst(), *def(x)->GetTemporalMatrix(1),
                  *def(z)->GetTemporalMatrix(1)};
  }
  VRN_network net;
  int x, y, z;
};

void Randomize(VRN_matrix& m, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0.1, 1.0);
  for (double& v : m.GetItems()) v = u(rng);
  ASSERT_EQ(m.Normalize(), 0);
}

void ExpectSame(const VRN_matrix& a, const VRN_matrix& b, double tol) {
  ASSERT_EQ(a.GetDimensions(), b.GetDimensions());
  for (int i = 0; i < a.GetItemCount(); ++i) {
    EXPECT_NEAR(a.GetItem(i), b.GetItem(i), tol) << "item " << i;
  }
}

void ExpectSameBeliefs(Dyn& a, Dyn& b) {
  ASSERT_EQ(a.net.UpdateBeliefs(), 0);
  ASSERT_EQ(b.net.UpdateBeliefs(), 0);
  for (int h : {a.x, a.y, a.z}) {
    ExpectSame(a.val(h)->GetValue(), b.val(h)->GetValue(), 1e-12);
  }
}

TEST(DbnEditTest, ReordersAndOutcomeEditsMatchTheFinalForm) {
  std::mt19937 rng(11);
  Dyn edited(false);
  Tables t = edited.Get();
  for (VRN_matrix* m : {&t.x, &t.y, &t.z, &t.hx, &t.hz}) Randomize(*m, rng);
  edited.Set(t);
  ASSERT_EQ(edited.val(edited.x)->SetTemporalEvidence(1, 2), 0);
  ASSERT_EQ(edited.val(edited.z)->SetTemporalEvidence(2, 1), 0);
  ASSERT_EQ(
      edited.val(edited.x)->SetTemporalVirtualEvidence(3, {0.2, 0.5, 0.3}), 0);

  VRN_intArray swap;
  swap.Add(1);
  swap.Add(0);
  ASSERT_EQ(edited.net.ReorderParents(edited.z, swap), 0);
  VRN_intArray order;  // new outcome i of X is old outcome order[i]
  for (int v : {2, 0, 1}) order.Add(v);
  ASSERT_EQ(edited.def(edited.x)->ChangeOrderOfOutcomes(order), 0);
  ASSERT_EQ(edited.def(edited.x)->InsertOutcome(0, "Extra"), 0);
  EXPECT_EQ(edited.val(edited.x)->GetTemporalEvidence(1), 1);
  ASSERT_EQ(edited.def(edited.x)->RemoveOutcome(0), 0);

  // The same network built with Z's parents Y, X and X's outcomes permuted.
  Tables f = t;
  for (VRN_matrix* m : {&f.z, &f.hz}) {
    VRN_intArray dims;
    for (int d = 0; d < m->GetDimensionCount(); ++d) dims.Add(d);
    dims[0] = 1;
    dims[1] = 0;
    ASSERT_EQ(m->ChangeOrderOfDimensions(dims), 0);
  }
  ASSERT_EQ(f.x.ChangeOrderWithinDimension(0, order), 0);
  ASSERT_EQ(f.z.ChangeOrderWithinDimension(1, order), 0);
  ASSERT_EQ(f.hx.ChangeOrderWithinDimension(0, order), 0);
  ASSERT_EQ(f.hx.ChangeOrderWithinDimension(1, order), 0);
  ASSERT_EQ(f.hz.ChangeOrderWithinDimension(1, order), 0);
  ASSERT_EQ(f.hz.ChangeOrderWithinDimension(3, order), 0);
  Dyn direct(true);
  direct.Set(f);
  ASSERT_EQ(direct.val(direct.x)->SetTemporalEvidence(1, 0), 0);
  ASSERT_EQ(direct.val(direct.z)->SetTemporalEvidence(2, 1), 0);
  ASSERT_EQ(
      direct.val(direct.x)->SetTemporalVirtualEvidence(3, {0.3, 0.2, 0.5}), 0);

  const Tables got = edited.Get();
  ExpectSame(got.hx, f.hx, 1e-15);
  ExpectSame(got.hz, f.hz, 1e-15);
  ExpectSameBeliefs(edited, direct);

  // A temporal parent's outcome reorder reaches the holders it feeds.
  VRN_intArray flip;
  flip.Add(1);
  flip.Add(0);
  ASSERT_EQ(edited.def(edited.z)->ChangeOrderOfOutcomes(flip), 0);
  ASSERT_EQ(direct.def(direct.z)->ChangeOrderOfOutcomes(flip), 0);
  ExpectSame(*edited.def(edited.z)->GetTemporalMatrix(1),
             *direct.def(direct.z)->GetTemporalMatrix(1), 1e-15);
  EXPECT_EQ(edited.val(edited.z)->GetTemporalEvidence(2), 0);
  ExpectSameBeliefs(edited, direct);
}

TEST(DbnEditTest, CopiesAndSaversKeepSliceEvidence) {
  Dyn a(false);
  ASSERT_EQ(a.val(a.z)->SetTemporalEvidence(3, 1), 0);
  ASSERT_EQ(a.val(a.y)->SetTemporalVirtualEvidence(2, {0.9, 0.1}), 0);
  const int rect[4] = {1, 2, 3, 4};
  a.net.Dbn()->SetPlateInfo(rect, 5, 6);
  VRN_network copy(a.net);
  ASSERT_NE(copy.Dbn(), nullptr);
  ASSERT_NE(copy.Dbn(), a.net.Dbn());
  EXPECT_EQ(copy.GetNumberOfSlices(), 4);
  int r[4], left, right;
  copy.Dbn()->GetPlateInfo(r, left, right);
  EXPECT_EQ(r[3] + left + right, 15);
  EXPECT_EQ(copy.GetNode(a.z)->Value()->GetTemporalEvidence(3), 1);
  ASSERT_EQ(a.net.UpdateBeliefs(), 0);
  ASSERT_EQ(copy.UpdateBeliefs(), 0);
  ExpectSame(a.val(a.z)->GetValue(), copy.GetNode(a.z)->Value()->GetValue(),
             1e-15);
  // Nothing shared: editing the original leaves the copy alone.
  const VRN_matrix before =
      *copy.GetNode(a.z)->Definition()->GetTemporalMatrix(1);
  VRN_matrix other = before;
  other.FillWith(0.5);
  ASSERT_EQ(a.def(a.z)->SetTemporalDefinitionFromMatrix(1, other), 0);
  ASSERT_EQ(a.net.RemoveTemporalArc(a.x, a.x, 1), 0);
  ExpectSame(*copy.GetNode(a.z)->Definition()->GetTemporalMatrix(1), before, 0);
  EXPECT_TRUE(copy.TemporalArcExists(a.x, a.x, 1));

  {
    VRN_targetEvidenceSaver saver(&a.net, false);
    ASSERT_EQ(a.net.ClearAllEvidence(), 0);
    EXPECT_EQ(a.val(a.z)->GetTemporalEvidence(3), -2);
  }
  EXPECT_EQ(a.val(a.z)->GetTemporalEvidence(3), 1);
  EXPECT_TRUE(a.val(a.y)->IsTemporalVirtualEvidence(2));
}

}  // namespace
