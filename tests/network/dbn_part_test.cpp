// The temporal part: temporal arcs and definitions, type changes, slices,
// slice evidence, unrolling details and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "inference/value_of_info.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;
using Pairs = std::vector<std::pair<int, int>>;

std::vector<int> Ints(const VRN_intArray& a) { return {a.begin(), a.end()}; }

std::vector<int> Dims(const VRN_matrix* m) {
  return m == nullptr ? std::vector<int>{}
                      : std::vector<int>(m->GetDimensions().begin(),
                                         m->GetDimensions().end());
}

class DbnPartTest : public ::testing::Test {
 protected:
  int Plate(const char* id, int outcomes = 2) {
    const int h = net_.AddNode(kCpt, id);
    EXPECT_EQ(net_.GetNode(h)->Definition()->SetNumberOfOutcomes(outcomes), 0);
    EXPECT_EQ(net_.setNodeTemporalType(h, 3), 0);
    return h;
  }
  VRN_nodeDef* Def(int h) { return net_.GetNode(h)->Definition(); }
  VRN_nodeVal* Val(int h) { return net_.GetNode(h)->Value(); }
  int HiddenNodes() { return net_.Dbn()->HiddenNetwork().GetNumberOfNodes(); }
  VRN_network net_;
};

TEST_F(DbnPartTest, PartIsMadeOnDemandAndQueriesReadIt) {
  EXPECT_EQ(net_.GetNumberOfSlices(), 0);
  EXPECT_EQ(net_.GetMaxTemporalOrder(), 0);
  VRN_network other;
  std::vector<int> map;
  EXPECT_EQ(net_.UnrollNetwork(other, map), -2);
  const int a = net_.AddNode(kCpt, "A");
  EXPECT_EQ(net_.setNodeTemporalType(a, 0), 0);
  EXPECT_EQ(net_.Dbn(), nullptr) << "an unchanged type creates nothing";
  VRN_intArray out;
  EXPECT_EQ(net_.GetTemporalParents(a, 1, out), -2);
  EXPECT_EQ(net_.SetNumberOfSlices(0), -4);
  EXPECT_EQ(net_.Dbn(), nullptr) << "a refusal creates nothing";
  EXPECT_EQ(net_.setNodeTemporalType(a, 3), 0);
  ASSERT_NE(net_.Dbn(), nullptr);
  EXPECT_EQ(net_.GetMaxTemporalOrder(), -1);
  EXPECT_EQ(net_.GetNumberOfSlices(), 10);
  EXPECT_EQ(net_.GetMaxNodeTemporalOrder(a), 0);
}

TEST_F(DbnPartTest, TemporalArcsAndHolders) {
  const int s = Plate("S");
  const int x = Plate("X");
  ASSERT_EQ(net_.AddArc(s, x), 0);
  // Refusals: order, handles, types, duplicates; each logs its reason, a
  // bad handle nothing.
  const int n = net_.AddNode(kCpt, "N");
  const auto logged = [this] {
    std::string text = net_.ErrorLog()->GetNumberOfMessages() == 1
                           ? net_.ErrorLog()->GetMessage(0)
                           : std::to_string(net_.ErrorLog()->GetNumberOfMessages()) + " lines";
    net_.ErrorLog()->Flush();
    return text;
  };
  const std::string not_plate = "Node [N] is not a plate node: temporal arcs join plate nodes";
  const std::vector<std::pair<std::vector<int>, std::string>> refused = {
      {{x, x, 0}, "A temporal arc has an order of 1 or more, not 0"},
      {{99, x, 1}, "0 lines"}, {{x, -1, 1}, "0 lines"},
      {{n, x, 1}, not_plate}, {{x, n, 1}, not_plate}};
  for (const auto& [c, reason] : refused) {
    EXPECT_EQ(net_.AddTemporalArc(c[0], c[1], c[2]), -2);
    EXPECT_EQ(logged(), reason);
    EXPECT_EQ(net_.RemoveTemporalArc(c[0], c[1], c[2]), -2);
    EXPECT_EQ(logged(), reason);
    EXPECT_FALSE(net_.TemporalArcExists(c[0], c[1], c[2]));
  }
  ASSERT_EQ(net_.AddTemporalArc(x, x, 1), 0);
  EXPECT_EQ(net_.AddTemporalArc(x, x, 1), -2);
  EXPECT_EQ(logged(), "There already is a temporal arc of order 1 from node [X] to [X]");
  ASSERT_EQ(net_.AddTemporalArc(s, x, 1), 0);
  VRN_intArray out;
  ASSERT_EQ(net_.GetTemporalParents(x, 1, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{x, s}));
  // S is steady and temporal: twice in H(X, 1) through two proxies.
  EXPECT_EQ(Dims(Def(x)->GetTemporalMatrix(1)), (std::vector<int>{2, 2, 2, 2}));
  EXPECT_EQ(HiddenNodes(), 4);

  // P -> R of order 2, then Q -> R of order 1.
  const int p = Plate("P"), q = Plate("Q"), r = Plate("R", 3);
  ASSERT_EQ(net_.AddArc(s, r), 0);
  ASSERT_EQ(net_.AddTemporalArc(p, r, 2), 0);
  ASSERT_EQ(net_.AddTemporalArc(q, r, 1), 0);
  ASSERT_EQ(net_.GetTemporalParents(r, 2, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{p}));
  Pairs pairs;
  ASSERT_EQ(net_.GetUnrolledParents(r, 2, pairs), 0);
  EXPECT_EQ(pairs, (Pairs{{s, 0}, {q, 1}, {p, 2}}));
  ASSERT_EQ(net_.GetUnrolledParents(r, 1, pairs), 0);
  EXPECT_EQ(pairs, (Pairs{{s, 0}, {q, 1}}));
  ASSERT_EQ(net_.GetAllUnrolledParents(r, pairs), 0);
  EXPECT_EQ(pairs.size(), 3u);
  Pairs children;
  ASSERT_EQ(net_.GetTemporalChildren(s, children), 0);
  EXPECT_EQ(children, (Pairs{{x, 1}}));
  EXPECT_EQ(net_.GetMaxTemporalOrder(), 2);
  EXPECT_EQ(net_.GetMaxNodeTemporalOrder(r), 2);

  // Removing the only parent of order 1 drops H(R, 1); H(R, 2) keeps its
  // table without Q's dimension.
  VRN_matrix h2 = *Def(r)->GetTemporalMatrix(2);
  for (int i = 0; i < h2.GetItemCount(); ++i) h2.GetItems()[i] = 0.001 * i;
  ASSERT_EQ(Def(r)->SetTemporalDefinitionFromMatrix(2, h2), 0);
  ASSERT_EQ(net_.RemoveTemporalArc(q, r, 1), 0);
  ASSERT_EQ(net_.GetTemporalOrders(r, out), 0);
  EXPECT_EQ(Ints(out), (std::vector<int>{2}));
  ASSERT_EQ(h2.RemoveDimensionAt(1, 0), 0);
  const VRN_doubleArray& kept = Def(r)->GetTemporalMatrix(2)->GetItems();
  EXPECT_EQ(std::vector<double>(kept.begin(), kept.end()),
            std::vector<double>(h2.GetItems().begin(), h2.GetItems().end()));
  EXPECT_EQ(Def(r)->GetTemporalMatrix(1), nullptr);
  VRN_doubleArray wrong;
  wrong.Add(1.0);
  EXPECT_EQ(Def(r)->SetTemporalDefinition(2, wrong), -4);
  EXPECT_EQ(Def(r)->SetTemporalDefinition(1, wrong), -2);
  EXPECT_EQ(Def(r)->SetTemporalDefinitionFromMatrix(1, h2), -51);

  // Deleting P removes R's holder, P's proxies and P's slice evidence.
  ASSERT_EQ(Val(p)->SetTemporalEvidence(1, 1), 0);
  ASSERT_EQ(net_.DeleteNode(p), 0);
  ASSERT_EQ(net_.GetTemporalOrders(r, out), 0);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(net_.Dbn()->GetTemporalEvidence(p, 1), -2);
  EXPECT_EQ(HiddenNodes(), 4);
}

TEST_F(DbnPartTest, TypeChangesMoveOrRefuseTemporalData) {
  const int r = Plate("R");
  const int a = net_.AddNode(kCpt, "A");
  const int b = net_.AddNode(kCpt, "B");
  ASSERT_EQ(net_.setNodeTemporalType(a, 1), 0);
  ASSERT_EQ(net_.AddArc(a, r), 0);
  ASSERT_EQ(net_.AddArc(b, r), 0);
  VRN_matrix table = *Def(r)->GetMatrixConst();  // dims A, B, R
  for (int i = 0; i < table.GetItemCount(); i += 2) {
    table.GetItems()[i] = 0.1 * (i / 2 + 1);
    table.GetItems()[i + 1] = 1.0 - 0.1 * (i / 2 + 1);
  }
  ASSERT_EQ(Def(r)->SetDefinitionFromMatrix(table), 0);
  ASSERT_EQ(net_.AddTemporalArc(r, r, 1), 0);
  // H(R, 1) starts from R's table without the anchor (its first outcome).
  EXPECT_EQ(Dims(Def(r)->GetTemporalMatrix(1)), (std::vector<int>{2, 2, 2}));
  EXPECT_DOUBLE_EQ(Def(r)->GetTemporalMatrix(1)->GetItem(0), 0.1);
  EXPECT_DOUBLE_EQ(Def(r)->GetTemporalMatrix(1)->GetItem(2), 0.1);
  EXPECT_DOUBLE_EQ(Def(r)->GetTemporalMatrix(1)->GetItem(4), 0.2);

  EXPECT_EQ(net_.setNodeTemporalType(r, 0), -2);  // has a definition
  EXPECT_EQ(net_.setNodeTemporalType(r, 4), -2);
  EXPECT_EQ(net_.setNodeTemporalType(a, 4), -4);
  EXPECT_EQ(net_.setNodeTemporalType(a, -1), -4);
  EXPECT_EQ(net_.setNodeTemporalType(a, 2), -2);  // plate child
  // The anchor joins the holders ahead of B, then leaves again.
  ASSERT_EQ(net_.setNodeTemporalType(a, 0), 0);
  EXPECT_EQ(Dims(Def(r)->GetTemporalMatrix(1)), (std::vector<int>{2, 2, 2, 2}));
  ASSERT_EQ(net_.setNodeTemporalType(a, 1), 0);
  EXPECT_EQ(Dims(Def(r)->GetTemporalMatrix(1)), (std::vector<int>{2, 2, 2}));
  // A new normal parent becomes the last steady parent of every holder.
  const int c = net_.AddNode(kCpt, "C");
  ASSERT_EQ(Def(c)->SetNumberOfOutcomes(4), 0);
  ASSERT_EQ(net_.AddArc(c, r), 0);
  EXPECT_EQ(Dims(Def(r)->GetTemporalMatrix(1)),
            (std::vector<int>{2, 4, 2, 2}));
  // A definition type change reaches the holders and proxies.
  ASSERT_EQ(net_.GetNode(r)->setNodeType(20), 0);
  EXPECT_EQ(Def(r)->GetPlateTemporalDefinition(1)->GetType(), 20);
  // A temporal parent cannot leave the plate.
  const int t = Plate("T");
  ASSERT_EQ(net_.AddTemporalArc(t, r, 1), 0);
  EXPECT_EQ(net_.setNodeTemporalType(t, 0), -2);
}

// Equation, utility and multi-attribute utility nodes have no outcomes to
// hold per slice, so they never become plate nodes, either by a temporal
// type change or by a plate node changing kind; with automatic updating the
// refusals and later edits update what stays.
TEST_F(DbnPartTest, KindsWithoutOutcomesAreNeverPlateNodes) {
  for (bool automatic : {false, true}) {
    VRN_network net;
    ASSERT_EQ(net.SetAutoUpdate(automatic), 0);
    const int x = net.AddNode(kCpt, "X");
    ASSERT_EQ(net.setNodeTemporalType(x, 3), 0);
    ASSERT_EQ(net.AddTemporalArc(x, x, 1), 0);
    ASSERT_EQ(net.SetNumberOfSlices(3), 0);
    for (int type : {qelta::kDefEquation, qelta::kDefUtility, qelta::kDefMau}) {
      const int h = net.AddNode(type, "K");
      ASSERT_GE(h, 0);
      net.ErrorLog()->Flush();
      EXPECT_EQ(net.setNodeTemporalType(h, 3), qelta::kErrWrongNodeType);
      EXPECT_EQ(net.GetNode(h)->GetTemporalType(), 0);
      ASSERT_EQ(net.ErrorLog()->GetNumberOfMessages(), 1);
      EXPECT_STREQ(net.ErrorLog()->GetMessage(0),
                   "Node 'K' cannot be a plate node: its kind has no outcomes");
      // The plate node keeps its kind and its temporal arc.
      EXPECT_EQ(net.GetNode(x)->setNodeType(type), qelta::kErrWrongNodeType);
      EXPECT_EQ(net.GetNode(x)->Definition()->GetType(), kCpt);
      EXPECT_TRUE(net.TemporalArcExists(x, x, 1));
      ASSERT_EQ(net.DeleteNode(h), 0);
    }
    EXPECT_EQ(net.UpdateBeliefs(), 0);
    EXPECT_EQ(Dims(&net.GetNode(x)->Value()->GetValue()), (std::vector<int>{3, 2}));
  }
}

TEST_F(DbnPartTest, SliceEvidenceChecksAndSlices) {
  const int x = Plate("X", 3);
  const int n = net_.AddNode(kCpt, "N");
  VRN_nodeVal* v = Val(x);
  ASSERT_EQ(net_.SetNumberOfSlices(5), 0);
  EXPECT_EQ(net_.SetNumberOfSlices(0), -4);
  EXPECT_EQ(Val(n)->SetTemporalEvidence(1, 0), -51);
  for (const auto& c : std::vector<std::pair<int, int>>{
           {-1, 0}, {5, 0}, {1, 3}, {1, -1}}) {
    EXPECT_EQ(v->SetTemporalEvidence(c.first, c.second), -2);
  }
  EXPECT_EQ(v->SetTemporalVirtualEvidence(5, {1, 0, 0}), -2);
  EXPECT_EQ(v->SetTemporalVirtualEvidence(1, {1, 0}), -2);
  EXPECT_EQ(v->SetTemporalVirtualEvidence(1, {0, 0, 0}), -3);
  EXPECT_EQ(v->SetTemporalVirtualEvidence(1, {1.5, 0, 0}), -4);
  EXPECT_EQ(v->ClearTemporalEvidence(2), -4);
  EXPECT_EQ(v->GetTemporalEvidence(2), -2);

  ASSERT_EQ(v->SetTemporalVirtualEvidence(2, {0.2, 0.2, 0.4}), 0);
  std::vector<double> soft;
  ASSERT_EQ(v->GetTemporalVirtualEvidence(2, &soft), 0);
  EXPECT_EQ(soft, (std::vector<double>{0.25, 0.25, 0.5}));
  ASSERT_EQ(v->SetTemporalEvidence(2, 1), 0);
  EXPECT_FALSE(v->IsTemporalVirtualEvidence(2));
  ASSERT_EQ(v->SetTemporalVirtualEvidence(2, {0.2, 0.3, 0.5}), 0);
  EXPECT_FALSE(v->IsTemporalEvidence(2));
  ASSERT_EQ(v->SetTemporalEvidence(4, 2), 0);
  ASSERT_EQ(v->SetTemporalEvidence(0, 1), 0);
  EXPECT_EQ(v->GetTemporalEvidence(0), 1);
  EXPECT_TRUE(v->HasTemporalEvidence());
  ASSERT_EQ(net_.SetNumberOfSlices(3), 0);
  EXPECT_EQ(v->GetTemporalEvidence(4), -2);
  EXPECT_TRUE(v->IsTemporalVirtualEvidence(2));
  ASSERT_EQ(v->ClearTemporalEvidence(2), 0);
  EXPECT_FALSE(net_.Dbn()->HasTemporalEvidence(x));
  ASSERT_EQ(v->SetTemporalEvidence(1, 0), 0);
  ASSERT_EQ(net_.ClearAllEvidence(), 0);
  EXPECT_FALSE(v->HasTemporalEvidence());
  // A node leaving the plate loses its slice evidence.
  ASSERT_EQ(v->SetTemporalEvidence(2, 0), 0);
  ASSERT_EQ(net_.setNodeTemporalType(x, 0), 0);
  EXPECT_FALSE(net_.Dbn()->HasTemporalEvidence(x));
}

TEST_F(DbnPartTest, EvidenceEditsInvalidateValuesReachedOnlyThroughSlices) {
  const int x = Plate("X");
  const int y = Plate("Y");
  ASSERT_EQ(net_.AddTemporalArc(x, x, 1), 0);
  ASSERT_EQ(net_.AddTemporalArc(y, x, 1), 0);
  ASSERT_EQ(Val(x)->SetTemporalEvidence(1, 0), 0);
  ASSERT_EQ(net_.UpdateBeliefs(), 0);
  ASSERT_TRUE(Val(y)->IsValueValid());
  ASSERT_EQ(Val(x)->SetEvidence(1), 0);  // no ordinary arc joins X and Y
  EXPECT_FALSE(Val(y)->IsValueValid());
  ASSERT_EQ(net_.UpdateBeliefs(), 0);
  ASSERT_EQ(net_.setNodeTemporalType(y, 0), -2);
  ASSERT_EQ(net_.RemoveTemporalArc(y, x, 1), 0);
  EXPECT_FALSE(Val(y)->IsValueValid());
}

TEST_F(DbnPartTest, FailedUpdateNamesSliceCopiesInTheCallersLog) {
  const int rain = Plate("Rain");
  ASSERT_EQ(net_.AddTemporalArc(rain, rain, 1), 0);
  VRN_doubleArray stays;
  for (double v : {1.0, 0.0, 1.0, 0.0}) stays.Add(v);
  ASSERT_EQ(Def(rain)->SetTemporalDefinition(1, stays), 0);
  ASSERT_EQ(Def(rain)->SetDefinitionFromVector({1.0, 0.0}), 0);
  ASSERT_EQ(net_.UpdateBeliefs(), 0);
  ASSERT_EQ(Val(rain)->SetTemporalEvidence(3, 1), 0);
  EXPECT_EQ(net_.UpdateBeliefs(), qelta::kErrZeroMarginal);
  bool named = false;
  VRN_errorLog* log = net_.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    named = named || std::strstr(log->GetMessage(i), "Rain_") != nullptr;
  }
  EXPECT_TRUE(named);
  EXPECT_FALSE(Val(rain)->IsValueValid());
  double p = -1.0;
  ASSERT_TRUE(net_.CalcPropEvidence(p, false));
  EXPECT_EQ(p, 0.0);
}

TEST_F(DbnPartTest, UnrollingNamesTargetsTerminalsAndValues) {
  const int a = Plate("A");
  const int clash = net_.AddNode(kCpt, "A_1");
  const int t = net_.AddNode(kCpt, "T");
  ASSERT_EQ(net_.setNodeTemporalType(t, 2), 0);
  ASSERT_EQ(net_.AddArc(a, t), 0);
  ASSERT_EQ(net_.SetTarget(a, true), 0);
  ASSERT_EQ(Def(a)->RenameOutcome(1, "Wet"), 0);
  ASSERT_EQ(net_.SetNumberOfSlices(3), 0);
  VRN_network u;
  std::vector<int> map;
  ASSERT_EQ(net_.UnrollNetwork(u, map), 0);
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[0], a);
  EXPECT_STRNE(u.GetNode(map[1])->GetId(), "A_1");
  EXPECT_NE(map[1], clash);
  EXPECT_STREQ(u.GetNode(map[2])->GetId(), "A_2");
  EXPECT_STREQ(u.GetNode(map[2])->Definition()->GetOutcomesNames()->Get(1),
               "Wet");
  EXPECT_EQ(u.IsTarget(map[2]), 1);
  EXPECT_EQ(Ints(u.GetNode(t)->Parents()), (std::vector<int>{map[2]}));
  EXPECT_EQ(u.GetTemporalType(a), 0);
  // One slice: no copies, the terminal stays under the plate node.
  ASSERT_EQ(net_.SetNumberOfSlices(1), 0);
  ASSERT_EQ(net_.UnrollNetwork(u, map), 0);
  EXPECT_EQ(map, (std::vector<int>{a}));
  EXPECT_EQ(Ints(u.GetNode(t)->Parents()), (std::vector<int>{a}));
  ASSERT_EQ(net_.SetNumberOfSlices(10), 0);
  ASSERT_EQ(net_.UpdateBeliefs(), 0);
  EXPECT_EQ(Dims(&Val(a)->GetValue()), (std::vector<int>{10, 2}));
  // A long id is kept whole in every copy.
  const std::string long_id(2000, 'L');
  const int l = Plate(long_id.c_str());
  ASSERT_EQ(net_.SetNumberOfSlices(3), 0);
  ASSERT_EQ(net_.UnrollNetwork(u, map), 0);
  ASSERT_EQ(map.size(), 6u);
  ASSERT_EQ(map[1], l);
  EXPECT_EQ(u.GetNode(map[3])->GetId(), long_id + "_1");
  EXPECT_EQ(u.GetNode(map[5])->GetId(), long_id + "_2");
}

// A dynamic influence diagram: C, D -> A (anchor) and N1, the plate node P
// on A and C with the temporal arc P -> P, the terminal T on P, and the
// utility V on D and C. `extra` adds nodes; `plain` drops the temporal
// types; `decision` is D's element.
std::string DiagramA(const std::string& extra = "", bool plain = false,
                     const std::string& decision =
                         "<decision id='D'><state id='d0'/><state id='d1'/>"
                         "<parents>C</parents></decision>",
                     const std::string& utility =
                         "<utility id='V'><parents>D C</parents>"
                         "<utilities>10 0 2 8</utilities></utility>") {
  auto type = [plain](const char* t) {
    return plain ? std::string() : std::string(" dynamic='") + t + "'";
  };
  std::string text =
      "<qelta version='1.0' id='A'><nodes>"
      "<cpt id='C'><state id='c0'/><state id='c1'/>"
      "<probabilities>0.3 0.7</probabilities></cpt>" +
      decision + "<cpt id='A'" + type("anchor") +
      "><state id='a0'/><state id='a1'/><parents>D</parents>"
      "<probabilities>0.9 0.1 0.2 0.8</probabilities></cpt>"
      "<cpt id='N1'><state id='n0'/><state id='n1'/><parents>D</parents>"
      "<probabilities>0.6 0.4 0.1 0.9</probabilities></cpt>"
      "<cpt id='P'" + type("plate") +
      "><state id='p0'/><state id='p1'/><parents>A C</parents>"
      "<probabilities>0.8 0.2 0.5 0.5 0.3 0.7 0.1 0.9</probabilities></cpt>"
      "<cpt id='T'" + type("terminal") +
      "><state id='t0'/><state id='t1'/><parents>P</parents>"
      "<probabilities>0.7 0.3 0.2 0.8</probabilities></cpt>" +
      utility + extra + "</nodes>";
  if (!plain) {
    text += "<dynamic numslices='3'><cpt id='P' order='1'><parents>P</parents>"
            "<probabilities>0.9 0.1 0.4 0.6 0.7 0.3 0.2 0.8</probabilities>"
            "</cpt></dynamic>";
  }
  return text + "</qelta>";
}

// A plate node P (0.3 0.7, P -> P of order 1) observed by a terminal
// decision D, with a terminal utility V on D and P.
std::string DiagramC(int slices) {
  return "<qelta version='1.0' id='C'><nodes>"
         "<cpt id='P' dynamic='plate'><state id='p0'/><state id='p1'/>"
         "<probabilities>0.3 0.7</probabilities></cpt>"
         "<decision id='D' dynamic='terminal'><state id='d0'/>"
         "<state id='d1'/><parents>P</parents></decision>"
         "<utility id='V' dynamic='terminal'><parents>D P</parents>"
         "<utilities>10 0 2 8</utilities></utility></nodes>"
         "<dynamic numslices='" + std::to_string(slices) +
         "'><cpt id='P' order='1'><parents>P</parents>"
         "<probabilities>0.9 0.1 0.4 0.6</probabilities></cpt></dynamic>"
         "</qelta>";
}

// A plate decision D observing C, a plate node P below D, and a terminal
// utility V on P and D.
const char* const kDiagramB =
    "<qelta version='1.0' id='B'><nodes>"
    "<cpt id='C'><state id='c0'/><state id='c1'/>"
    "<probabilities>0.3 0.7</probabilities></cpt>"
    "<decision id='D' dynamic='plate'><state id='d0'/><state id='d1'/>"
    "<parents>C</parents></decision>"
    "<cpt id='P' dynamic='plate'><state id='p0'/><state id='p1'/>"
    "<parents>D</parents><probabilities>0.8 0.2 0.3 0.7</probabilities></cpt>"
    "<utility id='V' dynamic='terminal'><parents>P D</parents>"
    "<utilities>4 1 0 6</utilities></utility></nodes>"
    "<dynamic numslices='3'/></qelta>";

std::vector<std::string> IndexingIds(const VRN_network& net,
                                     const VRN_nodeVal& value) {
  std::vector<std::string> ids;
  for (int h : value.GetIndexingParents()) {
    ids.push_back(net.GetNode(h) != nullptr ? net.GetNode(h)->GetId() : "?");
  }
  return ids;
}

class DbnDiagramTest : public ::testing::Test {
 protected:
  void Read(const std::string& text) {
    ASSERT_EQ(net_.ReadString(text.c_str(), 0), 0) << text;
    ASSERT_EQ(net_.UpdateBeliefs(), 0);
  }
  VRN_nodeVal* Val(const char* id) {
    return net_.GetNode(net_.FindNode(id))->Value();
  }
  std::vector<std::string> Index(const char* id) {
    return IndexingIds(net_, *Val(id));
  }
  std::vector<double> Items(const char* id) {
    const VRN_matrix& m = Val(id)->GetValue();
    return {m.GetItems().begin(), m.GetItems().end()};
  }
  // Every node against the unrolled network's own update: a node not in
  // `invalid` holds exactly its result (a plate node one row per slice
  // copy), with the same indexing parents; those in `invalid` are not
  // valid.
  void ExpectAsUnrolled(const std::set<std::string>& invalid) {
    VRN_network u;
    std::vector<int> map;
    ASSERT_EQ(net_.UnrollNetwork(u, map), 0);
    (void)u.SetDefaultIDAlgorithm(net_.GetDefaultIDAlgorithm());
    ASSERT_EQ(u.UpdateBeliefs(), 0);
    const int count = static_cast<int>(map.size()) / net_.GetNumberOfSlices();
    for (int h = net_.GetFirstNode(); h >= 0; h = net_.GetNextNode(h)) {
      const VRN_nodeVal* value = net_.GetNode(h)->Value();
      const std::string id = net_.GetNode(h)->GetId();
      SCOPED_TRACE(id);
      if (invalid.count(id) != 0) {
        EXPECT_FALSE(value->IsValueValid());
        continue;
      }
      ASSERT_TRUE(value->IsValueValid());
      const VRN_matrix& m = value->GetValue();
      std::vector<double> want;
      std::vector<int> dims;
      const int i = static_cast<int>(
          std::find(map.begin(), map.begin() + count, h) - map.begin());
      if (i < count) {
        EXPECT_TRUE(value->GetIndexingParents().IsEmpty());
        for (size_t c = i; c < map.size(); c += count) {
          const VRN_nodeVal* slice = u.GetNode(map[c])->Value();
          EXPECT_TRUE(slice->GetIndexingParents().IsEmpty());
          want.insert(want.end(), slice->GetValue().GetItems().begin(),
                      slice->GetValue().GetItems().end());
        }
        dims = {net_.GetNumberOfSlices(), static_cast<int>(want.size()) /
                                              net_.GetNumberOfSlices()};
      } else {
        const VRN_nodeVal* own = u.GetNode(h)->Value();
        EXPECT_EQ(IndexingIds(net_, *value), IndexingIds(u, *own));
        want.assign(own->GetValue().GetItems().begin(),
                    own->GetValue().GetItems().end());
        dims = Dims(&own->GetValue());
      }
      EXPECT_EQ(Dims(&m), dims);
      EXPECT_EQ(std::vector<double>(m.GetItems().begin(), m.GetItems().end()),
                want);
    }
  }
  VRN_network net_;
};

using Ids = std::vector<std::string>;

TEST_F(DbnDiagramTest, ValuesListWhatIndexesThemInTheUnrolledNetworkOrAreNotValid) {
  Read(DiagramA());
  EXPECT_EQ(Index("D"), Ids{"C"});
  EXPECT_EQ(Items("D"), (std::vector<double>{10, 2, 0, 8}));
  EXPECT_EQ(Index("N1"), Ids{"D"});
  EXPECT_EQ(Items("N1"), (std::vector<double>{0.6, 0.4, 0.1, 0.9}));
  EXPECT_EQ(Index("A"), Ids{"D"});
  EXPECT_EQ(Index("T"), (Ids{"C", "D"}));
  EXPECT_EQ(Index("V"), (Ids{"C", "D"}));
  ExpectAsUnrolled({"P"});

  // Terminal utilities and a multi-attribute node over them.
  net_.Reset();
  Read(DiagramA("<utility id='W' dynamic='terminal'><parents>T</parents>"
                "<utilities>5 1</utilities></utility>"
                "<mau id='M' dynamic='terminal'><parents>V W</parents>"
                "<weights>1 1</weights></mau>"));
  EXPECT_EQ(Index("W"), (Ids{"C", "D"}));
  EXPECT_EQ(Index("M"), (Ids{"C", "D"}));
  ExpectAsUnrolled({"P"});

  // After the update, deleting an indexing parent with relevance off
  // gives the values it indexed their own shape.
  net_.SetRelevanceReasoning(false);
  ASSERT_EQ(net_.DeleteNode(net_.FindNode("C")), 0);
  EXPECT_FALSE(Val("D")->IsValueValid());
  EXPECT_TRUE(Val("D")->GetIndexingParents().IsEmpty());
  EXPECT_EQ(Dims(&Val("D")->GetValue()), std::vector<int>{2});

  // The other solver indexes nothing: its results come back as they are.
  // (It needs the decision's parent observed.)
  net_.Reset();
  ASSERT_EQ(net_.ReadString(DiagramA().c_str(), 0), 0);
  ASSERT_EQ(Val("C")->SetEvidence(1), 0);
  ASSERT_EQ(net_.SetDefaultIDAlgorithm(1), 1);
  ASSERT_EQ(net_.UpdateBeliefs(), 0);
  std::set<std::string> invalid;
  for (int h = net_.GetFirstNode(); h >= 0; h = net_.GetNextNode(h)) {
    EXPECT_TRUE(net_.GetNode(h)->Value()->GetIndexingParents().IsEmpty());
    if (!net_.GetNode(h)->Value()->IsValueValid()) {
      invalid.insert(net_.GetNode(h)->GetId());
    }
  }
  EXPECT_EQ(invalid.count("D"), 0u);
  ExpectAsUnrolled(invalid);

  // The decision observes the last slice's copy of P, which only the
  // unrolled network has.
  net_.Reset();
  Read(DiagramC(3));
  ExpectAsUnrolled({"P", "D", "V"});
  net_.Reset();
  Read(DiagramC(1));
  EXPECT_EQ(Items("P"), (std::vector<double>{0.3, 0.7}));
  ExpectAsUnrolled({"D", "V"});
  // A plate decision: every slice's copy is a decision of its own.
  net_.Reset();
  Read(kDiagramB);
  ExpectAsUnrolled({"D", "P", "V"});

  // Without decisions every value comes back as the unrolled one.
  net_.Reset();
  Read(DiagramA("", false,
                "<cpt id='D'><state id='d0'/><state id='d1'/>"
                "<parents>C</parents>"
                "<probabilities>0.5 0.5 0.5 0.5</probabilities></cpt>",
                ""));
  ExpectAsUnrolled({});

  // Observing E before D is worth as much per configuration of C with
  // temporal types as without.
  const std::string e =
      "<cpt id='E'><state id='e0'/><state id='e1'/>"
      "<probabilities>0.6 0.4</probabilities></cpt>";
  const std::string v =
      "<utility id='V'><parents>D C E</parents>"
      "<utilities>10 0 0 10 2 8 8 2</utilities></utility>";
  std::vector<std::vector<double>> worth;
  for (bool plain : {false, true}) {
    SCOPED_TRACE(plain);
    VRN_network net;
    const std::string text = DiagramA(
        "", plain,
        "<decision id='D'><state id='d0'/><state id='d1'/>"
        "<parents>C</parents></decision>" + e,
        v);
    ASSERT_EQ(net.ReadString(text.c_str(), 0), 0) << text;
    VRN_valueOfInfo voi(&net);
    ASSERT_EQ(voi.AddNode(net.FindNode("E")), 0);
    ASSERT_EQ(voi.SetDecision(net.FindNode("D")), 0);
    ASSERT_EQ(voi.Update(), 0);
    std::vector<std::string> ids;
    for (int h : voi.GetIndexingNodes()) ids.push_back(net.GetNode(h)->GetId());
    EXPECT_EQ(ids, Ids{"C"});
    const VRN_matrix& m = voi.GetValues();
    worth.emplace_back(m.GetItems().begin(), m.GetItems().end());
  }
  ASSERT_EQ(worth[0].size(), worth[1].size());
  for (size_t i = 0; i < worth[0].size(); ++i) {
    EXPECT_NEAR(worth[0][i], worth[1][i], 1e-12);
  }

  // A terminal decision observing a plate node: the working copy's decision
  // cannot observe P, so no worth is answered (by hand, with P seen first,
  // 3.2 | 2; unseen it would pass for 0.3 * 3.2 + 0.7 * 2).
  for (int slices : {1, 3}) {
    SCOPED_TRACE(slices);
    std::string text = DiagramC(slices);
    text.insert(text.find("<decision"),
                "<cpt id='E'><state id='e0'/><state id='e1'/>"
                "<probabilities>0.6 0.4</probabilities></cpt>");
    const std::string v = "<parents>D P</parents><utilities>10 0 2 8";
    text.replace(text.find(v), v.size(),
                 "<parents>D P E</parents><utilities>10 0 0 10 2 8 5 5");
    VRN_network net;
    ASSERT_EQ(net.ReadString(text.c_str(), 0), 0) << text;
    std::string before, after;
    ASSERT_EQ(net.WriteString(before, 0), 0);
    VRN_valueOfInfo voi(&net);
    ASSERT_EQ(voi.AddNode(net.FindNode("E")), 0);
    ASSERT_EQ(voi.SetDecision(net.FindNode("D")), 0);
    EXPECT_NE(voi.Update(), 0);
    EXPECT_EQ(voi.GetValues().GetItemCount(), 0);
    const VRN_errorLog& log = *net.ErrorLog();
    ASSERT_EQ(log.GetNumberOfMessages(), 1);
    EXPECT_NE(std::strstr(log.GetMessage(0), "[P]"), nullptr);
    EXPECT_NE(std::strstr(log.GetMessage(0), "[D]"), nullptr);
    ASSERT_EQ(net.WriteString(after, 0), 0);
    EXPECT_EQ(before, after);
  }
}

}  // namespace
