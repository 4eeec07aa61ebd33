// Edits of a dynamic network that the temporal definitions and slice
// evidence must follow, compared with the same network built directly in
// its final form; copies and the evidence saver.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "io/format.h"
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

// Plate CPT P with temporal arcs from P itself (or from plate Q) of the
// given orders, each table of its own numbers, and 3 slices.
struct Plate {
  Plate(bool fromOther, const std::vector<int>& orders, int qOutcomes = 2) {
    p = net.AddNode(kCpt, "P");
    const int q = net.AddNode(kCpt, "Q");
    EXPECT_EQ(net.GetNode(q)->Definition()->SetNumberOfOutcomes(qOutcomes), 0);
    EXPECT_EQ(net.setNodeTemporalType(p, 3), 0);
    EXPECT_EQ(net.setNodeTemporalType(q, 3), 0);
    // A column whose sum is not exactly 1: renormalising would show.
    VRN_matrix own = *def()->GetMatrixConst();
    own.GetItems()[0] = 0.5950406913260021;
    own.GetItems()[1] = 0.40495930867399776;
    EXPECT_EQ(def()->SetDefinitionFromMatrix(own), 0);
    from = fromOther ? q : p;
    for (int order : orders) {
      EXPECT_EQ(net.AddTemporalArc(from, p, order), 0);
      VRN_matrix m = *def()->GetTemporalMatrix(order);
      for (int i = 0; i < m.GetItemCount(); ++i)
        m.GetItems()[i] = 0.1 * order + 0.01 * i;
      EXPECT_EQ(m.Normalize(), 0);
      EXPECT_EQ(def()->SetTemporalDefinitionFromMatrix(order, m), 0);
      tables.push_back(*def()->GetTemporalMatrix(order));
    }
    EXPECT_EQ(net.SetNumberOfSlices(3), 0);
  }
  VRN_nodeDef* def() { return net.GetNode(p)->Definition(); }
  void ExpectTemporalParents(int highest) {
    for (int order = 1; order <= highest; ++order) {
      VRN_intArray parents;
      ASSERT_EQ(net.GetTemporalParents(p, order, parents), 0);
      EXPECT_EQ(std::vector<int>(parents.begin(), parents.end()),
                order <= static_cast<int>(tables.size())
                    ? std::vector<int>{from}
                    : std::vector<int>{})
          << "order " << order;
    }
  }
  VRN_network net;
  int p, from;
  std::vector<VRN_matrix> tables;  // each order's table, as set
};

// Equation E = Normal(3,1) over [lower, upper], given its default pair of
// intervals, which for a range without room for a boundary only the
// default-interval paths take.
int AddDefaultIntervalEquation(VRN_network& net, double lower, double upper) {
  const int e = net.AddNode(qelta::kDefEquation, "E");
  auto* eq = static_cast<VRN_equation*>(net.GetNode(e)->Definition());
  EXPECT_EQ(eq->SetEquation("E=Normal(3,1)", nullptr, nullptr), 0);
  EXPECT_EQ(eq->SetBounds(lower, upper), 0);
  EXPECT_EQ(eq->GetDiscreteOutcomeCount(), 2);
  return e;
}

// A steady equation parent whose range leaves no room for a boundary:
// P takes the arc, its temporal tables gain E's dimension first, holding
// their old numbers for each interval of E.
TEST(DbnEditTest, EquationParentWithoutRoomJoinsPlateNodeTemporalTables) {
  for (bool fromOther : {false, true}) {
    for (size_t highest : {1, 2}) {
      if (fromOther && highest == 1) continue;
      SCOPED_TRACE(std::string(fromOther ? "Q" : "P") + " -> P, orders " +
                   std::to_string(highest));
      std::vector<int> orders(highest);
      for (size_t i = 0; i < highest; ++i) orders[i] = static_cast<int>(i) + 1;
      Plate pl(fromOther, orders);
      const int e = AddDefaultIntervalEquation(pl.net, -5, -5);

      ASSERT_EQ(pl.net.AddArc(e, pl.p), 0);
      pl.ExpectTemporalParents(2);
      ASSERT_EQ(pl.net.GetNode(pl.p)->Parents().GetSize(), 1);
      for (int order : orders) {
        SCOPED_TRACE("order " + std::to_string(order));
        const VRN_matrix& old = pl.tables[order - 1];
        const VRN_matrix* now = pl.def()->GetTemporalMatrix(order);
        ASSERT_EQ(now->GetDimensionCount(), old.GetDimensionCount() + 1);
        ASSERT_EQ(now->GetDimensions()[0], 2);
        for (int j = 0; j < now->GetItemCount(); ++j) {
          // Within rounding: a new parent renormalises the columns.
          EXPECT_NEAR(now->GetItem(j), old.GetItem(j % old.GetItemCount()),
                      1e-15)
              << "item " << j;
        }
      }
      std::string saved;
      ASSERT_EQ(pl.net.WriteString(saved, qelta::kExtensionLayout), 0);
      VRN_network back;
      ASSERT_EQ(back.ReadString(saved.c_str(), qelta::kExtensionLayout), 0);
      const VRN_nodeDef* read = back.GetNode(back.FindNode("P"))->Definition();
      for (int order : orders) {
        const VRN_matrix* table = read->GetTemporalMatrix(order);
        ASSERT_NE(table, nullptr) << "order " << order;
        ExpectSame(*table, *pl.def()->GetTemporalMatrix(order), 0);
      }
    }
  }
}

// Plate P with a temporal arc onto itself and equation parent E (an
// anchor or a normal node) whose range leaves no room for a boundary, in
// either arc order: both arcs are taken, the beliefs do not depend on the
// order, and the save reads back to the same beliefs.
TEST(DbnEditTest, EquationParentWithoutRoomTakesArcsInEitherOrder) {
  constexpr double kMax = std::numeric_limits<double>::max();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::pair<double, double> ranges[] = {
      {-5, -5}, {1, std::nextafter(1.0, 2.0)}, {kMax, kInf}, {-kInf, -kMax}};
  for (const auto& [lower, upper] : ranges) {
    for (int type : {1, 0}) {  // anchor, normal
      std::ostringstream trace;
      trace << "range " << lower << " .. " << upper << ", type " << type;
      SCOPED_TRACE(trace.str());
      std::vector<VRN_matrix> beliefs;
      for (bool temporalFirst : {true, false}) {
        VRN_network net;
        net.SetRandSeed(7);  // E's discretization draws
        const int p = net.AddNode(kCpt, "P");
        ASSERT_EQ(net.setNodeTemporalType(p, 3), 0);
        ASSERT_EQ(net.SetNumberOfSlices(3), 0);
        const int e = AddDefaultIntervalEquation(net, lower, upper);
        ASSERT_EQ(net.setNodeTemporalType(e, type), 0);
        if (temporalFirst) {
          ASSERT_EQ(net.AddTemporalArc(p, p, 1), 0);
          ASSERT_EQ(net.AddArc(e, p), 0);
        } else {
          ASSERT_EQ(net.AddArc(e, p), 0);
          ASSERT_EQ(net.AddTemporalArc(p, p, 1), 0);
        }
        VRN_nodeDef* def = net.GetNode(p)->Definition();
        VRN_matrix own = *def->GetMatrixConst();
        own.GetItems()[0] = 0.25;  // P given E's first interval
        own.GetItems()[1] = 0.75;
        ASSERT_EQ(def->SetDefinitionFromMatrix(own), 0);
        VRN_matrix step = *def->GetTemporalMatrix(1);
        for (int i = 0; i < step.GetItemCount(); ++i)
          step.GetItems()[i] = 0.1 + 0.07 * i;
        ASSERT_EQ(step.Normalize(), 0);
        ASSERT_EQ(def->SetTemporalDefinitionFromMatrix(1, step), 0);
        ASSERT_EQ(net.UpdateBeliefs(), 0);
        beliefs.push_back(net.GetNode(p)->Value()->GetValue());

        std::string saved;
        ASSERT_EQ(net.WriteString(saved, qelta::kExtensionLayout), 0);
        VRN_network back;
        back.SetRandSeed(7);
        ASSERT_EQ(back.ReadString(saved.c_str(), qelta::kExtensionLayout), 0);
        ASSERT_EQ(back.UpdateBeliefs(), 0);
        ExpectSame(back.GetNode(back.FindNode("P"))->Value()->GetValue(),
                   beliefs.back(), 1e-12);
      }
      ExpectSame(beliefs[0], beliefs[1], 1e-12);
    }
  }
}

// A steady parent that the temporal tables have no room for, though P's own
// table has: the temporal part refuses the arc into a plate node with
// temporal definitions, and nothing changes.
TEST(DbnEditTest, RefusedArcIntoPlateNodeKeepsTemporalArcs) {
  Plate pl(true, {1}, 1 << 14);
  const int e = pl.net.AddNode(kCpt, "E");
  ASSERT_EQ(pl.net.GetNode(e)->Definition()->SetNumberOfOutcomes(1 << 16), 0);
  std::string before;
  ASSERT_EQ(pl.net.WriteString(before, qelta::kExtensionLayout), 0);

  EXPECT_EQ(pl.net.AddArc(e, pl.p), qelta::kErrOutOfMemory);
  pl.ExpectTemporalParents(2);
  EXPECT_EQ(pl.net.GetNode(pl.p)->Parents().GetSize(), 0);
  std::string after;
  ASSERT_EQ(pl.net.WriteString(after, qelta::kExtensionLayout), 0);
  EXPECT_EQ(after, before);
  VRN_network back;
  EXPECT_EQ(back.ReadString(after.c_str(), qelta::kExtensionLayout), 0);
}

}  // namespace
