// Equation definitions: parsing into parents, solving, range, intervals,
// conversion, and the statistics of their values.
#include "equations/equation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "equations/equation_evaluation.h"
#include "network/network.h"
#include "network/dbn.h"
#include "network/node.h"

namespace {

class EquationTest : public ::testing::Test {
 protected:
  int Add(const char* id, int type = qelta::kDefEquation) {
    const int h = net.AddNode(type, id);
    EXPECT_GE(h, 0);
    return h;
  }
  VRN_equation* Eq(int h) { return VRN_GetEquation(&net, h); }
  int Set(int h, const char* text) {
    position = -1;
    message.clear();
    return Eq(h)->SetEquation(text, &position, &message);
  }
  std::string Text(int h) {
    std::string text;
    Eq(h)->GetEquationText(&text);
    return text;
  }
  std::vector<std::string> ParentIds(int h) {
    std::vector<std::string> ids;
    for (int p : net.GetNode(h)->Parents()) ids.push_back(net.GetNode(p)->GetId());
    return ids;
  }
  std::string LastLog() {
    const int n = net.ErrorLog()->GetNumberOfMessages();
    return n > 0 ? net.ErrorLog()->GetMessage(n - 1) : "";
  }
  VRN_network net;
  int position = -1;
  std::string message;
};

TEST_F(EquationTest, ConstantsSolveForTheNode) {
  const int x = Add("x");
  Add("y");
  EXPECT_TRUE(Eq(x)->IsConstant());
  const struct { const char* text; int status; double value; } rows[] = {
      {"x=0", 0, 0},       {"x = 2*3", 0, 6}, {"x+1=5", 0, 4},
      {"-x=5", 0, -5},     {"2*x=8", 0, 4},   {"x+x=4", -6, 0},
      {"x=y", -51, 0},     {"y=3", -6, 0}};
  for (const auto& row : rows) {
    ASSERT_EQ(qelta::kOk, Set(x, row.text)) << row.text;
    double value = -99;
    EXPECT_EQ(row.status, Eq(x)->EvaluateConstant(&value)) << row.text;
    if (row.status == 0) {
      EXPECT_DOUBLE_EQ(row.value, value) << row.text;
    }
  }
  ASSERT_EQ(qelta::kOk, Set(x, "x*x=4"));
  double value = 0;
  EXPECT_EQ(qelta::kErrUnsolvable, Eq(x)->EvaluateConstant(&value));
  EXPECT_EQ("Can't solve the equation for x : x*x=4", LastLog());
  // 2*x = y solves to y / 2.
  ASSERT_EQ(qelta::kOk, Set(x, "2*x=y"));
  std::string solved;
  Eq(x)->GetSolvedExpression()->Write(solved);
  EXPECT_EQ("0.5*y", solved);
  // A product of many sums is given up, not expanded for ever.
  std::string big = "x*(y+1)";
  for (int i = 0; i < 40; ++i) big += "*(y+" + std::to_string(i + 2) + ")";
  ASSERT_EQ(qelta::kOk, Set(x, (big + "=y").c_str()));
  EXPECT_EQ(nullptr, Eq(x)->GetSolvedExpression());
}

// Arcs add terms to the sum; however many, the text reads back.
TEST_F(EquationTest, ManyParentsKeepTheEquationReadable) {
  const int x = Add("x");
  std::string expected = "x=p0";
  for (int i = 0; i < 400; ++i) {
    const std::string id = "p" + std::to_string(i);
    ASSERT_EQ(qelta::kOk, net.AddArc(Add(id.c_str()), x)) << i;
    if (i > 0 && i < kMaxExpressionDepth - 1) expected += "+" + id;
    if (i == kMaxExpressionDepth - 2) {
      EXPECT_EQ(expected, Text(x));
    }
  }
  // The network's text reads back with every parent, also after removing
  // one sums the others afresh.
  auto parents_read_back = [&] {
    std::string saved;
    VRN_network back;
    if (net.WriteString(saved, 0) != 0 || back.ReadString(saved.c_str(), 0) != 0) return -1;
    return back.GetNode(back.FindNode("x"))->Parents().GetSize();
  };
  EXPECT_EQ(400, parents_read_back());
  ASSERT_EQ(qelta::kOk, net.RemoveArc(net.FindNode("p0"), x));
  EXPECT_EQ(399, parents_read_back());

  // A term nested at the bound leaves no room for another: the arc is
  // refused and the equation kept; a new equation still takes new parents.
  std::string deep = "p0";
  for (int i = 0; i < kMaxExpressionDepth - 1; ++i) deep = "Abs(" + deep + ")";
  ASSERT_EQ(qelta::kOk, Set(x, ("x=" + deep).c_str()));
  const std::string before = Text(x);
  EXPECT_EQ(qelta::kErrOutOfRange, net.AddArc(net.FindNode("p1"), x));
  EXPECT_EQ("Expression is nested too deeply",
            std::string(net.ErrorLog()->GetMessage(net.ErrorLog()->GetNumberOfMessages() - 2)));
  EXPECT_EQ(before, Text(x));
  EXPECT_EQ((std::vector<std::string>{"p0"}), ParentIds(x));
  ASSERT_EQ(qelta::kOk, Set(x, "x=p1+p2"));
  EXPECT_EQ((std::vector<std::string>{"p1", "p2"}), ParentIds(x));
}

TEST_F(EquationTest, SetEquationChecksNamesAndKeepsParentsInStep) {
  const int a = Add("a"), b = Add("b"), c = Add("c"), x = Add("x");
  Add("d", qelta::kDefDecision);
  ASSERT_EQ(qelta::kOk, Set(x, "x=a+c"));
  EXPECT_EQ((std::vector<std::string>{"a", "c"}), ParentIds(x));
  ASSERT_EQ(qelta::kOk, Set(x, "x=a + b"));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), ParentIds(x));
  EXPECT_EQ("x=a+b", Text(x));
  const struct { const char* text; int position; const char* message; } bad[] = {
      {"", 0, "Equation cannot be empty."},
      {"   ", -2, "Empty expression"},
      {"x", 0, "Toplevel '=' sign missing in equation"},
      {"x = a + zz", 8, "Unknown node identifier: zz"},
      {"x=2*d", 4, "Node d can't be a parent of an equation node."},
      {"x = a*\"lo\"", -2, nullptr},
      {"x = Switch(c, \"no\", 1, 2)", 14, "Invalid text literal: \"no\"."},
  };
  for (const auto& row : bad) {
    EXPECT_EQ(qelta::kErrOutOfRange, Set(x, row.text)) << row.text;
    if (row.position >= 0) {
      EXPECT_EQ(row.position, position) << row.text;
    }
    if (row.message != nullptr) {
      EXPECT_EQ(row.message, message) << row.text;
    }
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), ParentIds(x)) << row.text;
  }
  EXPECT_EQ(message, LastLog());
  // a child may not be named: that would close a cycle.
  ASSERT_EQ(qelta::kOk, Set(c, "c=x"));
  EXPECT_EQ(qelta::kErrOutOfRange, Set(x, "x = c"));
  EXPECT_EQ(4, position);
  EXPECT_EQ("Node c can't be used in equation for current node, because it "
            "would result in a cycle.", message);
  // Arcs edit the equation; renames follow it.
  ASSERT_EQ(qelta::kOk, net.RemoveArc(a, x));
  EXPECT_EQ("x=b", Text(x));
  ASSERT_EQ(qelta::kOk, net.AddArc(a, x));
  EXPECT_EQ("x=b+a", Text(x));
  ASSERT_EQ(qelta::kOk, net.GetNode(b)->Header().SetId("bee"));
  EXPECT_EQ("x=bee+a", Text(x));
  // Sides that would regroup are wrapped.
  ASSERT_EQ(qelta::kOk, Set(x, "x = (a > 0 ? 1 : 2)"));
  EXPECT_EQ("x=(a>0 ? 1 : 2)", Text(x));
  ASSERT_EQ(qelta::kOk, Set(x, Text(x).c_str()));
  EXPECT_EQ("x=(a>0 ? 1 : 2)", Text(x));
  ASSERT_EQ(qelta::kOk, Set(x, "x=(a=bee)"));
  EXPECT_EQ("x=(a=bee)", Text(x));
}

TEST_F(EquationTest, BoundsIntervalsAndDefaults) {
  const int x = Add("x");
  VRN_equation* e = Eq(x);
  EXPECT_EQ(qelta::kErrOutOfRange, e->SetBounds(2, 1));
  EXPECT_EQ(-1, e->GetLowerBound());
  using List = std::vector<VRN_discInterval>;
  EXPECT_EQ(qelta::kErrOutOfRange, e->SetDiscIntervals(0, 3, {}));
  EXPECT_EQ(qelta::kErrOutOfRange, e->SetDiscIntervals(0, 3, List{{"a", 1}}));
  EXPECT_EQ(qelta::kErrInvalidValue,
            e->SetDiscIntervals(0, 3, List{{"a", 1}, {"b", 1}, {"c", 3}}));
  EXPECT_EQ(qelta::kErrDuplicatedIdentifier,
            e->SetDiscIntervals(0, 3, List{{"a", 1}, {"a", 2}, {"c", 3}}));
  EXPECT_EQ(qelta::kErrInvalidValue,
            e->SetDiscIntervals(1, 3, List{{"a", 1}, {"b", 2}, {"c", 3}}));
  ASSERT_EQ(qelta::kOk, e->SetDiscIntervals(0, 3, List{{"a", 1}, {"b", 2}, {"c", 99}}));
  EXPECT_EQ(3, e->GetDiscIntervals().back().boundary);
  const double probes[] = {0.5, 1, 2.5, 7, -4};
  const int expected[] = {0, 1, 2, 2, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], e->FindInterval(probes[i]));

  // A CPT child grows with the intervals, at the position of the new one.
  const int c = Add("c", qelta::kDefCpt);
  ASSERT_EQ(qelta::kOk, net.AddArc(x, c));
  auto* child = dynamic_cast<VRN_discDef*>(net.GetNode(c)->Definition());
  std::vector<double> table;
  for (int i = 0; i < 6; ++i) table.push_back(i % 2 == 0 ? 0.1 * (i + 1) : 1 - 0.1 * i);
  ASSERT_EQ(qelta::kOk, child->SetDefinitionFromVector(table));
  ASSERT_EQ(qelta::kOk, e->SetDiscIntervals(
                            0, 3, List{{"a", 1}, {"n", 1.5}, {"b", 2}, {"c", 3}}));
  ASSERT_EQ(8, child->GetMatrix()->GetItemCount());
  EXPECT_DOUBLE_EQ(0.3, child->GetMatrix()->GetItem(4));  // old interval b moved to 2
  EXPECT_EQ(qelta::kErrWrongNodeType, e->SetDiscIntervals(0, 3, {}));
  ASSERT_EQ(qelta::kOk, net.RemoveArc(x, c));
  ASSERT_EQ(qelta::kOk, e->SetDiscIntervals(-1, 1, {}));
  EXPECT_FALSE(e->HasDiscIntervals());

  // Default intervals: "State0" splits the range.
  const struct { double lo, hi, boundary; } rows[] = {
      {-1, 1, 0}, {2, INFINITY, 4}, {-INFINITY, -3, -6}, {-INFINITY, INFINITY, 0},
      {2, 2, 2}};
  const int y = Add("y");
  ASSERT_EQ(qelta::kOk, Set(y, "y=x"));
  for (const auto& row : rows) {
    // Removing the intervals sets the bounds; bounds alone could leave the
    // old intervals out of order, which is refused.
    if (Eq(y)->HasDiscIntervals()) {
      ASSERT_EQ(qelta::kOk, Eq(y)->SetDiscIntervals(row.lo, row.hi, {}));
    } else {
      ASSERT_EQ(qelta::kOk, Eq(y)->SetBounds(row.lo, row.hi));
    }
    EXPECT_EQ(row.lo, Eq(y)->GetLowerBound());
    EXPECT_EQ(row.hi, Eq(y)->GetUpperBound());
    EXPECT_EQ(2, Eq(y)->GetDiscreteOutcomeCount());
    EXPECT_EQ("State0", Eq(y)->GetDiscIntervals()[0].id);
    EXPECT_EQ(row.boundary, Eq(y)->GetDiscIntervals()[0].boundary);
    EXPECT_EQ("Equation node y was discretized.", LastLog());
  }
  double v = 0;
  EXPECT_EQ(qelta::kErrInvalidValue, e->GetDefaultValue(&v));
  EXPECT_EQ(qelta::kErrOutOfRange, e->SetNominalBounds(3, 2));
}

TEST_F(EquationTest, DefaultIntervalsOfHugeBoundsAreSettable) {
  const double max = std::numeric_limits<double>::max();
  const struct { double lo, hi, boundary; } rows[] = {
      {1e308, 1.7e308, 1.35e308}, {1e308, INFINITY, max}, {-INFINITY, -1e308, -max}};
  for (const auto& row : rows) {
    const int y = Add("y"), z = Add("z");
    ASSERT_EQ(qelta::kOk, Set(y, "y=Normal(0,1)"));
    ASSERT_EQ(qelta::kOk, Eq(y)->SetBounds(row.lo, row.hi));
    ASSERT_EQ(2, Eq(y)->GetDiscreteOutcomeCount());
    EXPECT_EQ(row.boundary, Eq(y)->GetDiscIntervals()[0].boundary);
    EXPECT_EQ(qelta::kOk,
              Eq(z)->SetDiscIntervals(row.lo, row.hi, Eq(y)->GetDiscIntervals()));
    ASSERT_EQ(qelta::kOk, net.DeleteNode(y));
    ASSERT_EQ(qelta::kOk, net.DeleteNode(z));
  }
  // Older files hold the infinite boundary of a range of one point.
  const int y = Add("y");
  ASSERT_EQ(qelta::kOk, Eq(y)->SetBounds(1e308, 1e308));
  ASSERT_EQ(qelta::kOk, Eq(y)->SetDefaultIntervalsOverBounds(
                            {{"a", INFINITY}, {"b", 1e308}}));
  EXPECT_EQ(1e308, Eq(y)->GetDiscIntervals()[0].boundary);
}

TEST_F(EquationTest, ConversionBothWays) {
  Add("a", qelta::kDefCpt);
  const int x = Add("x");
  ASSERT_EQ(qelta::kOk, Set(x, "x=2*a"));
  ASSERT_EQ(qelta::kOk, Eq(x)->SetDiscIntervals(
                            0, 4, {{"lo", 1}, {"mid", 3}, {"hi", 4}}));
  ASSERT_EQ(qelta::kOk, Eq(x)->SetDefaultValue(3.5));
  ASSERT_EQ(qelta::kOk, Eq(x)->SetNominalBounds(-INFINITY, 3));
  ASSERT_EQ(qelta::kOk, net.GetNode(x)->SetDiagType(0));
  ASSERT_EQ(qelta::kOk, net.GetNode(x)->setNodeType(qelta::kDefCpt));
  auto* cpt = dynamic_cast<VRN_discDef*>(net.GetNode(x)->Definition());
  ASSERT_NE(nullptr, cpt);
  EXPECT_EQ(3, cpt->GetNumberOfOutcomes());
  std::vector<double> bounds;
  ASSERT_EQ(qelta::kOk, cpt->GetIntervals(&bounds));
  EXPECT_EQ((std::vector<double>{0, 1, 3, 4}), bounds);
  ASSERT_NE(nullptr, cpt->GetDiagInfo());
  EXPECT_EQ(2, cpt->GetDiagInfo()->default_outcome);
  EXPECT_FALSE(cpt->GetDiagInfo()->outcomes[1].fault);
  EXPECT_TRUE(cpt->GetDiagInfo()->outcomes[2].fault);
  // a has outcomes 0 and 1 (values 0 and 1): x = 0 or 2.
  EXPECT_EQ(1.0, cpt->GetMatrix()->GetItem(0));
  EXPECT_EQ(1.0, cpt->GetMatrix()->GetItem(4));

  ASSERT_EQ(qelta::kOk, net.GetNode(x)->setNodeType(qelta::kDefEquation));
  EXPECT_EQ("x=a", Text(x));
  EXPECT_EQ(3u, Eq(x)->GetDiscIntervals().size());
  EXPECT_EQ(0, Eq(x)->GetLowerBound());
  EXPECT_EQ(3, Eq(x)->GetDiscIntervals()[1].boundary);

  // Constant parents become numbers.
  const int k = Add("k");
  ASSERT_EQ(qelta::kOk, Set(k, "k=3"));
  const int y = Add("y");
  ASSERT_EQ(qelta::kErrNoItem, Eq(y)->InlineConstantParents(false));
  ASSERT_EQ(qelta::kOk, Set(y, "y=k*x+k"));
  ASSERT_EQ(qelta::kOk, Eq(y)->InlineConstantParents(false));
  EXPECT_EQ("y=3*x+3", Text(y));
  EXPECT_EQ((std::vector<std::string>{"x"}), ParentIds(y));
}

TEST_F(EquationTest, DiscretizationReportsValuesOutsideTheRange) {
  net.SetRandSeed(17);  // fixed draws
  const int x = Add("x");
  ASSERT_EQ(qelta::kOk, Set(x, "x=Normal(0,1)"));
  ASSERT_EQ(qelta::kOk, Eq(x)->SetDiscIntervals(-1, 1, {{"a", 0}, {"b", 1}}));
  ASSERT_NE(nullptr, Eq(x)->GetDiscreteDefinition());
  std::string report = LastLog();
  EXPECT_EQ(0u, report.find("Discretization problem in node x:  Underflow samples: "));
  EXPECT_NE(std::string::npos, report.find(" loBound=-1  Overflow samples: "));
  EXPECT_NE(std::string::npos, report.find(" hiBound=1  Total valid samples: "));
  EXPECT_EQ(report.size() - 9, report.find(" of 10000"));

  const int y = Add("y");
  ASSERT_EQ(qelta::kOk, Set(y, "y=x+100"));
  ASSERT_EQ(qelta::kOk, Eq(y)->SetDiscIntervals(-1, 1, {{"a", 0}, {"b", 1}}));
  const VRN_matrix* table = Eq(y)->GetDiscreteDefinition();
  ASSERT_NE(nullptr, table);
  EXPECT_EQ(0.5, table->GetItem(0));
  // x is drawn inside its intervals, so y stays within (99, 101].
  const std::string head = "Discretization problem in node y:  Overflow samples: 20000, max=";
  const std::string tail = " hiBound=1  Total valid samples: 0 of 20000  CPT configs "
                           "with no valid samples: 2 of 2";
  report = LastLog();
  ASSERT_EQ(0u, report.find(head)) << report;
  ASSERT_EQ(report.size() - tail.size(), report.find(tail)) << report;
  const double largest = std::stod(report.substr(head.size()));
  EXPECT_TRUE(largest > 100.99 && largest <= 101) << report;
}

TEST(EquationEvaluationTest, StatisticsAndHistogram) {
  VRN_equationEvaluation v(nullptr, 0);
  for (double s : {1.0, 2.0, 3.0, double{NAN}}) v.AppendSample(s);
  ASSERT_EQ(qelta::kOk, v.FinishSampling());
  double mean, sd, lo, hi;
  v.GetSampleStats(&mean, &sd, &lo, &hi);
  EXPECT_EQ(2, mean);
  EXPECT_EQ(1, sd);
  EXPECT_EQ(1, lo);
  EXPECT_EQ(3, hi);
  VRN_intArray counts;
  v.ResetSamples(4);
  for (double s : {0.0, 0.5, 1.0, 7.0, -3.0}) v.AppendSample(s);
  ASSERT_EQ(qelta::kOk, v.FinishSampling());
  ASSERT_EQ(qelta::kOk, v.GetHistogram(0, 1, 2, &counts));
  EXPECT_EQ(3, counts[0]);
  EXPECT_EQ(2, counts[1]);
  EXPECT_EQ(qelta::kErrOutOfRange, v.GetHistogram(1, 1, 2, &counts));
  EXPECT_EQ(qelta::kErrNoItem, v.GetHistogram(0, 1, 1, &counts));
  v.ResetSamples(1);
  v.AppendSample(NAN);
  EXPECT_EQ(qelta::kErrNoUsefulSamples, v.FinishSampling());
  EXPECT_TRUE(std::isnan(v.GetSampleMean()));
  EXPECT_EQ(qelta::kErrInvalidValue, v.GetHistogram(0, 1, 2, &counts));
  double e = 0;
  EXPECT_EQ(qelta::kErrOutOfRange, v.GetContEvidence(&e));
}

// An observed node keeps the single value its evidence gives when its
// definition changes, intervals or not: the value's mean and histogram are
// the evidence's, not its interval's.
TEST_F(EquationTest, ObservedNodeKeepsItsValueAcrossDefinitionChanges) {
  const int x = Add("x");
  ASSERT_EQ(qelta::kOk, Set(x, "x=1"));
  ASSERT_EQ(qelta::kOk,
            Eq(x)->SetDiscIntervals(0, 10, {{"a", 2}, {"b", 5}, {"c", 10}}));
  auto* value = static_cast<VRN_equationEvaluation*>(net.GetNode(x)->Value());
  ASSERT_EQ(qelta::kOk, value->SetContEvidence(3));
  for (const char* text : {"x=4", "x=Normal(5,1)"}) {
    ASSERT_EQ(qelta::kOk, Set(x, text)) << text;
    double mean = 0;
    ASSERT_EQ(qelta::kOk, value->GetMean(&mean)) << text;
    EXPECT_EQ(3, mean) << text;
    VRN_intArray counts;
    ASSERT_EQ(qelta::kOk, value->GetHistogram(0, 10, 10, &counts)) << text;
    EXPECT_EQ(1, counts[2]) << text;
  }
}

// Literals naming a parent's outcomes follow its renames, keep their outcome
// when others come or move, and an edit leaving one naming nothing is refused
// whole. Oracle: the mean 0.3*0 + 0.7*10 + 0.5, also after a save read back.
TEST_F(EquationTest, OutcomeLiteralsFollowTheParentsOutcomes) {
  net.SetRandSeed(5);
  const int a = Add("A", qelta::kDefCpt), v = Add("V"), w = Add("W");
  auto* disc = static_cast<VRN_discDef*>(net.GetNode(a)->Definition());
  auto array = [](auto out, auto... items) {
    for (auto item : {items...}) (void)out.Add(item);
    return out;
  };
  const VRN_stringArray ids;
  const VRN_intArray ints;
  // V and W name A's outcomes of weight 0.3 and 0.7 as `zero` and `ten`.
  auto holds = [&](const char* zero, const char* ten) {
    EXPECT_EQ(std::string("V=If(A=\"") + zero + "\",0,10)+Uniform(0,1)", Text(v));
    EXPECT_EQ(std::string("W=Switch(A,\"") + zero + "\",0,\"" + ten + "\",10)+Uniform(0,1)",
              Text(w));
    std::string saved;
    VRN_network back;
    ASSERT_EQ(qelta::kOk, net.WriteString(saved, 0));
    ASSERT_EQ(qelta::kOk, back.ReadString(saved.c_str(), 0)) << saved;
    for (VRN_network* n : {&net, &back}) {
      ASSERT_EQ(qelta::kOk, n->UpdateBeliefs());
      for (const char* id : {"V", "W"}) {
        auto* value = static_cast<VRN_equationEvaluation*>(n->GetNode(n->FindNode(id))->Value());
        EXPECT_NEAR(7.5, value->GetSampleMean(), 0.2) << id << (n == &back ? " read back" : "");
      }
    }
  };
  auto refused = [&](int status, const char* child, const char* literal) {
    EXPECT_EQ(qelta::kErrOutOfRange, status);
    EXPECT_EQ(std::string("Equation of node '") + child + "' names outcome \"" + literal +
                  "\" of node 'A', which the edit would take away",
              LastLog());
  };
  ASSERT_EQ(qelta::kOk, disc->SetNumberOfOutcomesByIds(array(ids, "a0", "a1")));
  ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0.3, 0.7}));
  ASSERT_EQ(qelta::kOk, Set(v, "V=If(A=\"a0\",0,10)+Uniform(0,1)"));
  ASSERT_EQ(qelta::kOk, Set(w, "W=Switch(A,\"a0\",0,\"a1\",10)+Uniform(0,1)"));
  ASSERT_EQ(qelta::kOk, disc->RenameOutcome(0, "z0"));
  holds("z0", "a1");
  ASSERT_EQ(qelta::kOk, disc->AddOutcome("a2"));
  ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0.3, 0.7, 0}));
  refused(disc->RemoveOutcome(1), "W", "a1");
  refused(disc->RemoveOutcome(0), "V", "z0");
  refused(disc->ChangeOrderOfOutcomesWithAddAndRemove(array(ids, "q", "a1"), array(ints, -1, 1)),
          "V", "z0");
  refused(disc->SetIntervals({0, 1, 2, 3}, true), "V", "z0");
  refused(net.GetNode(a)->setNodeType(qelta::kDefEquation), "V", "z0");
  const VRN_doubleArray& items = disc->GetMatrixConst()->GetItems();
  EXPECT_EQ((std::vector<double>{0.3, 0.7, 0}), std::vector<double>(items.begin(), items.end()));
  holds("z0", "a1");
  // Others coming and moving leave each literal on its outcome; outcome i
  // goes on as ids[i], and a swap of names is carried at once.
  ASSERT_EQ(qelta::kOk, disc->ChangeOrderOfOutcomes(array(ints, 2, 0, 1)));
  ASSERT_EQ(qelta::kOk, disc->InsertOutcome(0, "b"));
  ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0, 0, 0.3, 0.7}));
  holds("z0", "a1");
  ASSERT_EQ(qelta::kOk, disc->SetNumberOfOutcomesByIds(array(ids, "x0", "x1", "x2", "x3")));
  ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0, 0, 0.3, 0.7}));
  holds("x2", "x3");
  ASSERT_EQ(qelta::kOk, disc->RenameOutcomes(array(ids, "x0", "x1", "x3", "x2")));
  holds("x3", "x2");
  // A plate parent of terminal equations is held to the same.
  for (int h : {v, w}) ASSERT_EQ(qelta::kOk, net.setNodeTemporalType(h, qelta::kTemporalTerminal));
  ASSERT_EQ(qelta::kOk, net.setNodeTemporalType(a, qelta::kTemporalPlate));
  ASSERT_EQ(qelta::kOk, disc->ChangeOrderOfOutcomesWithAddAndRemove(array(ids, "p", "r", "s"),
                                                                    array(ints, 3, 2, -1)));
  refused(disc->RemoveOutcome(0), "W", "p");
  ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0.7, 0.3, 0}));
  holds("r", "p");
}

// The empty literal selects the first of outcomes without ids: an edit that
// would give that place another outcome is refused, naming the equation;
// one that leaves it there is taken. Oracle: the mean 0.3*0 + 0.7*10 + 0.5.
TEST_F(EquationTest, EmptyLiteralKeepsTheFirstOutcome) {
  net.SetRandSeed(5);
  const int a = Add("A", qelta::kDefCpt), v = Add("V");
  auto* disc = static_cast<VRN_discDef*>(net.GetNode(a)->Definition());
  ASSERT_EQ(qelta::kOk, disc->SetIntervals({0, 1, 2}, true));
  ASSERT_EQ(qelta::kOk, Set(v, "V=If(A=\"\",0,10)+Uniform(0,1)"));
  auto refused = [&](int status, const char* would, int count) {
    EXPECT_EQ(qelta::kErrOutOfRange, status);
    EXPECT_EQ(std::string("Equation of node 'V' names outcome \"\" of node 'A', which the "
                          "edit would ") + would,
              LastLog());
    EXPECT_EQ(count, disc->GetNumberOfOutcomes());
  };
  VRN_intArray swap;
  for (int i : {1, 0}) swap.Add(i);
  refused(disc->InsertOutcome(0, nullptr), "move", 2);
  refused(disc->ChangeOrderOfOutcomes(swap), "move", 2);
  ASSERT_EQ(qelta::kOk, disc->SetIntervals({0, 0.5, 2}, true));
  ASSERT_EQ(qelta::kOk, disc->InsertOutcome(1, nullptr));
  refused(disc->RemoveOutcome(0), "take away", 3);
  ASSERT_EQ(qelta::kOk, disc->SetNumberOfOutcomes(4));
  ASSERT_EQ(qelta::kOk, disc->RemoveOutcome(2));
  ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0.3, 0.5, 0.2}));
  ASSERT_EQ(qelta::kOk, net.UpdateBeliefs());
  auto* value = static_cast<VRN_equationEvaluation*>(net.GetNode(v)->Value());
  EXPECT_NEAR(7.5, value->GetSampleMean(), 0.2);
}

// Every map of length 1 to 4 over three unnamed outcomes, new ids empty or
// named: a refused call changes nothing (outcomes, bounds, table, save); an
// accepted one leaves the literal selecting the outcome it selected.
TEST(EquationOutcomeEditTest, AddAndRemoveKeepsOrRefusesTheEmptyLiteral) {
  for (int code = 0; code < 4 + 16 + 64 + 256; ++code) {
    for (const bool named : {false, true}) {
      int length = 1, rest = code;
      for (int size = 4; rest >= size; size *= 4) rest -= size, ++length;
      VRN_intArray map;
      VRN_stringArray ids;
      for (int j = 0; j < length; ++j, rest /= 4) {
        map.Add(rest % 4 - 1);
        ids.Add(named ? std::string(1, static_cast<char>('p' + j)).c_str() : "");
      }
      VRN_network net;
      const int a = net.AddNode(qelta::kDefCpt, "A"), v = net.AddNode(qelta::kDefEquation, "V");
      ASSERT_EQ(qelta::kOk, net.AddArc(a, v));
      auto* disc = static_cast<VRN_discDef*>(net.GetNode(a)->Definition());
      ASSERT_EQ(qelta::kOk, disc->SetIntervals({0, 1, 1.5, 2}, true));
      ASSERT_EQ(qelta::kOk, disc->SetDefinitionFromVector({0.3, 0.7, 0}));
      auto* eq = static_cast<VRN_equation*>(net.GetNode(v)->Definition());
      ASSERT_EQ(qelta::kOk, eq->SetEquation("V=If(A=\"\",0,10)+Uniform(0,1)", nullptr, nullptr));
      auto state = [&] {
        std::string text;
        (void)net.WriteString(text, 0);
        std::vector<double> bounds;
        (void)disc->GetIntervals(&bounds);
        for (double b : bounds) text += " " + std::to_string(b);
        const VRN_matrix& m = *disc->GetMatrixConst();
        for (int i = 0; i < m.GetItemCount(); ++i) text += " " + std::to_string(m.GetItem(i));
        return text;
      };
      const std::string before = state();
      const int status = disc->ChangeOrderOfOutcomesWithAddAndRemove(ids, map);
      SCOPED_TRACE(std::to_string(code) + (named ? " named" : " unnamed") + " " + std::to_string(status));
      if (status != qelta::kOk) {
        EXPECT_EQ(before, state());
        continue;
      }
      std::string text;
      eq->GetEquationText(&text);
      const std::size_t open = text.find("A=\"") + 3;
      const std::string literal = text.substr(open, text.find('"', open) - open);
      int selected = -1;
      for (int i = disc->GetNumberOfOutcomes() - 1; i >= 0; --i) {
        const char* id = disc->GetOutcomesNames()->Get(i);
        if (literal == (id != nullptr ? id : "")) selected = i;
      }
      ASSERT_GE(selected, 0) << text;
      EXPECT_EQ(0, map[selected]) << text;
    }
  }
}

// A value at edge (k + 1) * upper / n, the nearest double, is in bin k;
// a count that cannot be allocated is -42.
TEST(EquationEvaluationTest, HistogramEdgesCloseTheirBins) {
  for (int upper : {1, 3, 7, 10, 100, 1000}) {
    for (int n : {2, 3, 7, 10, 13, 100, 999}) {
      for (int k = 0; k < n; ++k) {
        const double x = static_cast<double>((k + 1) * upper) / n;
        VRN_equationEvaluation v(nullptr, 0);
        v.AppendSample(x);
        ASSERT_EQ(qelta::kOk, v.FinishSampling());
        VRN_intArray counts;
        ASSERT_EQ(qelta::kOk, v.GetHistogram(0, upper, n, &counts));
        ASSERT_EQ(1, counts[k]) << upper << " " << n << " " << k;
      }
    }
  }
  VRN_equationEvaluation v(nullptr, 0);
  for (double s : {0.9, 1.8, 2.7}) v.AppendSample(s);
  ASSERT_EQ(qelta::kOk, v.FinishSampling());
  VRN_intArray counts;
  ASSERT_EQ(qelta::kOk, v.GetHistogram(0, 3, 10, &counts));
  std::vector<int> got(counts.Items(), counts.Items() + counts.GetSize());
  EXPECT_EQ((std::vector<int>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0}), got);
  EXPECT_EQ(qelta::kErrOutOfMemory, v.GetHistogram(0, 3, 2000000000, &counts));
}

}  // namespace
