#include "io/text/netica.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "base/random.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/truth_table.h"
#include "equations/equation.h"
#include "io/format.h"
#include "io/text/foreign_test_util.h"
#include "io/text/netica_expression.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using namespace qelta_test;

int ReadText(VRN_network* network, const std::string& text) {
  TempPath file(".dne", text);
  return network->ReadFile(file.path(), 0, 0);
}

// "lower id boundary id boundary ..." of an equation node's intervals.
std::string EquationIntervals(VRN_network& network, int handle) {
  const VRN_equation* equation = VRN_GetEquation(&network, handle);
  std::ostringstream out;
  out << equation->GetLowerBound();
  for (const VRN_discInterval& interval : equation->GetDiscIntervals()) {
    out << ' ' << interval.id << ' ' << interval.boundary;
  }
  return out.str();
}

std::string DataFile(const char* name) {
  return std::string(QELTA_TEST_DATA) + "/netica/" + name;
}

TEST(NeticaTest, ReadsEveryStatementAndSkipsBadOnes) {
  for (bool crlf : {false, true}) {
    SCOPED_TRACE(crlf ? "CR LF" : "LF");
    const std::string text =
        qelta_test::ReadWholeFile(DataFile("all_statements.dne"));
    TempPath file(".dne", crlf ? qelta_test::WithCrLf(text) : text);
    VRN_network network;
    ASSERT_EQ(network.ReadFile(file.path(), 0, 0), qelta::kOk)
        << LogText(network);
    const std::string log = LogText(network);
    EXPECT_STREQ(network.Header()->GetId(), "Weather");
    EXPECT_STREQ(network.Header()->GetName(), "Weather \"demo\"");
    EXPECT_STREQ(network.Header()->GetComment(),
                 "Every statement of the format.");
    const VRN_submodel* main =
        network.Submodels()->GetSubmodel(qelta::kMainSubmodel);
    EXPECT_EQ(main->Window()[2], 300);
    EXPECT_EQ(main->GetColor(), 255);
    // Bad statements: each logged with its line, the rest read; listed
    // words (AutoCompile, ElimOrder) are skipped quietly.
    EXPECT_EQ(log,
              "-127 (line 17) : ERROR: 'sparkle' : Unknown Visual Net "
              "Statement\n"
              "-127 (line 22) : ERROR: 'colour' : Unknown Param Statement\n"
              "-127 (line 55) : ERROR: 'glow' : Unknown Visual Link "
              "Statement\n"
              "-127 (line 57) : ERROR: 'blink' : Unknown Visual Node "
              "Statement\n"
              "-127 (line 59) : ERROR: 'flavour' : Unknown Node Statement\n"
              "-127 (line 111) : ERROR: '0.5' : ')' expected\n");

    // A child before its parent; handles in file order.
    const int sprinkler = network.FindNode("Sprinkler");
    const int cloudy = network.FindNode("Cloudy");
    ASSERT_GE(sprinkler, 0);
    ASSERT_GE(cloudy, 0);
    EXPECT_LT(sprinkler, cloudy);
    EXPECT_EQ(ParentIds(network, sprinkler), (Strings{"Cloudy"}));
    EXPECT_EQ(Table(network, sprinkler), (Doubles{0.1, 0.9, 0.5, 0.5}));
    const VRN_node* node = network.GetNode(cloudy);
    EXPECT_STREQ(node->Header().GetName(), "Is it cloudy?");
    EXPECT_STREQ(node->Header().GetComment(), "The sky");
    EXPECT_EQ(node->ScreenInfo().x, 120);
    EXPECT_EQ(node->ScreenInfo().height, 30);
    ASSERT_EQ(node->UserProperties().GetSize(), 2);
    EXPECT_STREQ(node->UserProperties().GetPropertyValue(0),
                 "a \"quoted\" text");
    // A flat table equals the nested one; @imposs reads as 0.
    EXPECT_EQ(Table(network, network.FindNode("Rain")),
              (Doubles{0.8, 0.2, 0.0, 1.0}));
    const int wet = network.FindNode("Wet");
    ASSERT_EQ(network.GetNode(wet)->Definition()->GetType(),
              qelta::kDefTruthTable);
    VRN_stringArray resulting;
    static_cast<VRN_truthTable*>(network.GetNode(wet)->Definition())
        ->GetResultingStateNames(&resulting);
    ASSERT_EQ(resulting.GetSize(), 4);
    EXPECT_STREQ(resulting.Get(3), "dry");
    const auto* depth = static_cast<const VRN_discDef*>(
        network.GetNode(network.FindNode("Depth"))->Definition());
    std::vector<double> bounds;
    ASSERT_EQ(depth->GetIntervals(&bounds), qelta::kOk);
    EXPECT_EQ(bounds, (Doubles{0, 10, 20}));
    const int act = network.FindNode("Act");
    EXPECT_EQ(network.GetNode(act)->Definition()->GetType(),
              qelta::kDefDecision);
    const int gain = network.FindNode("Gain");
    EXPECT_EQ(ParentIds(network, gain), (Strings{"Act", "Rain"}));
    EXPECT_EQ(Table(network, gain), (Doubles{10, -5, 0, 0}));
    // The equation translated, its levels the discretization intervals.
    const int flow = network.FindNode("Flow");
    ASSERT_GE(flow, 0);
    std::string equation;
    VRN_GetEquation(&network, flow)->GetEquationText(&equation);
    EXPECT_EQ(equation, "Flow=Normal(Depth,1)");
    EXPECT_EQ(ParentIds(network, flow), (Strings{"Depth"}));
    EXPECT_EQ(EquationIntervals(network, flow), "-10 low 5 high 30");
    // The second probs statement replaces the broken first one.
    EXPECT_EQ(Table(network, network.FindNode("Sure")), (Doubles{1, 0}));
    EXPECT_EQ(network.GetNumberOfNodes(), 9);
  }
}

TEST(NeticaTest, LevelsAreBoundsOrPointValues) {
  struct Case {
    const char* states;
    const char* points;  // expected point values, or null
    const char* bounds;  // expected bounds, or null
    bool inconsistent;
  };
  const Case cases[] = {
      {"(a, b)", nullptr, "0 10 20", false},
      {"(a, b, c)", "0 10 20", nullptr, false},
      {"(a, b, c, d, e)", nullptr, nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.states);
    VRN_network network;
    // Levels that fit neither way fail the read.
    ASSERT_EQ(ReadText(&network,
                       std::string("bnet N {\nnode X {\nkind = NATURE;\n"
                                   "states = ") +
                           c.states + ";\nlevels = (0, 10, 20);\n};\n};\n"),
              c.inconsistent ? qelta::kErrFileIo : qelta::kOk);
    EXPECT_EQ(LogText(network).find(
                  "-4 (line 2) : Inconsistent level count 3 for node [X]") !=
                  std::string::npos,
              c.inconsistent)
        << LogText(network);
    if (c.inconsistent) continue;
    const int x = network.FindNode("X");
    ASSERT_GE(x, 0);
    const auto* def =
        static_cast<const VRN_discDef*>(network.GetNode(x)->Definition());
    std::vector<double> values;
    EXPECT_EQ(def->HasIntervals(), c.bounds != nullptr);
    EXPECT_EQ(def->HasPointValues(), c.points != nullptr);
  }
}

// Every node the cycle takes is named, with why, and the read fails.
TEST(NeticaTest, NodesOnACycleFailTheRead) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network,
                     "bnet N {\n"
                     "node A { parents = (B); probs = ((1, 0), (0, 1)); };\n"
                     "node B { parents = (A); probs = ((1, 0), (0, 1)); };\n"
                     "node C { parents = (B); probs = ((1, 0), (0, 1)); };\n"
                     "node D { probs = (0.5, 0.5); };\n"
                     "};\n"),
            qelta::kErrFileIo);
  EXPECT_EQ(LogText(network),
            "-103 (line 3) : ERROR: Node [B] : its arc from [A] would close "
            "a cycle\n"
            "-103 (line 2) : ERROR: Node [A] : its parent [B] cannot be "
            "read\n"
            "-103 (line 4) : ERROR: Node [C] : its parent [B] cannot be "
            "read\n");
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
}

// A deterministic node may give its table as probabilities, whatever the
// numbers: the truth table holds them as written.
TEST(NeticaTest, DeterministicNodesTakeTheirProbabilitiesAsWritten) {
  const std::string head =
      "bnet N {\nnode A { probs = (0.5, 0.5); };\n"
      "node T { chance = DETERMIN; states = (x, y); parents = (A);\n";
  const std::vector<std::pair<std::string, std::vector<double>>> cases = {
      {"((0, 1), (1, 0))", {0, 1, 1, 0}},
      {"((1, 0), (0.4, 0.6))", {1, 0, 0.4, 0.6}},
      {"((1, 1e-17), (0, 1))", {1, 1e-17, 0, 1}}};
  for (const auto& [probs, items] : cases) {
    SCOPED_TRACE(probs);
    VRN_network network;
    ASSERT_EQ(ReadText(&network, head + "probs = " + probs + "; };\n};\n"),
              qelta::kOk)
        << LogText(network);
    EXPECT_EQ("", LogText(network));
    const VRN_nodeDef* t = network.GetNode(network.FindNode("T"))->Definition();
    EXPECT_EQ(t->GetType(), qelta::kDefTruthTable);
    const VRN_doubleArray& table = t->GetMatrixConst()->GetItems();
    EXPECT_EQ(std::vector<double>(table.begin(), table.end()), items);
  }
}

// Canonical kinds are written as the CPT they expand to: read back, the
// network has the same beliefs. Ergo files cannot hold them.
TEST(NeticaTest, CanonicalNodesTravelAsTheirCpts) {
  for (int type : {qelta::kDefNoisyMax, qelta::kDefNoisyAdder,
                   qelta::kDefDemorgan, qelta::kDefCast}) {
    SCOPED_TRACE(type);
    VRN_network network;
    const bool gates = type == qelta::kDefDemorgan || type == qelta::kDefCast;
    const int a = network.AddNode(gates ? type : qelta::kDefCpt, "A");
    const int b = network.AddNode(gates ? type : qelta::kDefCpt, "B");
    const int c = network.AddNode(type, "C");
    ASSERT_GE(c, 0);
    ASSERT_EQ(network.AddArc(a, c), qelta::kOk);
    ASSERT_EQ(network.AddArc(b, c), qelta::kOk);
    VRN_randomGenerator& random = *network.GetRandomGenerator();
    // Gates keep their fixed tables.
    for (int h : {a, b, c}) {
      (void)network.GetNode(h)->Definition()->MakeRandom(random);
    }
    TempPath file(".dne");
    ASSERT_EQ(network.WriteFile(file.path(), 0, 0), qelta::kOk);
    VRN_network copy;
    ASSERT_EQ(copy.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(copy);
    const int cc = copy.FindNode("C");
    EXPECT_EQ(copy.GetNode(cc)->Definition()->GetType(), qelta::kDefCpt);
    ASSERT_EQ(network.UpdateBeliefs(), qelta::kOk);
    ASSERT_EQ(copy.UpdateBeliefs(), qelta::kOk);
    const Doubles expected = qelta_test::Beliefs(network, c);
    const Doubles beliefs = qelta_test::Beliefs(copy, cc);
    ASSERT_EQ(beliefs.size(), expected.size());
    for (std::size_t i = 0; i < beliefs.size(); ++i) {
      EXPECT_NEAR(beliefs[i], expected[i],
                  qelta_test::FileNumberTolerance() == 0.0 ? 1e-12 : 1e-7);
    }
    TempPath ergo(".erg");
    EXPECT_EQ(network.WriteFile(ergo.path(), 0, 0), qelta::kErrOutOfRange);
    EXPECT_EQ(qelta_test::ReadWholeFile(ergo.path()), "");
  }
}

TEST(NeticaTest, TranslatesEquations) {
  const struct {
    const char* netica;
    const char* system;
  } cases[] = {
      {"y (x) = NormalDist(y, x, 1)", "Normal(x,1)"},
      {"z = clip(a, b, c)", "Trim(c,a,b)"},
      {"z = plus(a, b, c)", "Sum(a,b,c)"},
      {"z = binomial(n, k)", "Combin(n,k)"},
      {"z = TriangularEnd3Dist(z, 1, 2, 3) + sin(x)",
       "Triangular(1,2,3)+Sin(x)"},
  };
  for (const auto& c : cases) {
    std::string text;
    std::string error;
    EXPECT_EQ(qelta::TranslateNeticaEquation(c.netica, &text, &error),
              qelta::kOk)
        << error;
    EXPECT_EQ(text, c.system);
  }
  std::string equation;
  std::string error;
  ASSERT_EQ(qelta::NeticaNodeEquation("y", "y (x) = NormalDist(y, x, 1)",
                                      &equation, &error),
            qelta::kOk);
  EXPECT_EQ(equation, "y=(Normal(x,1))");
  EXPECT_EQ(qelta::TranslateNeticaEquation("y + 1", &equation, &error),
            qelta::kErrOutOfRange);
  EXPECT_EQ(error, "Can't find the '=' sign in equation");
  EXPECT_EQ(qelta::TranslateNeticaEquation("y = NormalDist(y, 1)", &equation,
                                           &error),
            qelta::kErrOutOfRange);
  EXPECT_FALSE(error.empty());
}

TEST(NeticaTest, RefusesWhatIsNotNetica) {
  const char* texts[] = {"net { }\n", "bnet { };\n", "bnet X ( };\n",
                         "// nothing but a comment\n"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    VRN_network network;
    EXPECT_EQ(ReadText(&network, text), qelta::kErrSyntax);
    EXPECT_NE(LogText(network).find("-127 (line 1) : ERROR: "),
              std::string::npos)
        << LogText(network);
  }
  VRN_network network;
  EXPECT_EQ(ReadText(&network, "bnet X {\nnode A { title = \"open;\n};\n"),
            qelta::kErrUnexpectedEof);
}

TEST(NeticaTest, WritesWhatItReadsAndRefusesWhatItCannot) {
  VRN_network network;
  ASSERT_EQ(network.ReadFile(DataFile("all_statements.dne").c_str(), 0, 0),
            qelta::kOk);
  VRN_network copy;
  qelta_test::ExpectWriteReadWriteStable(network, &copy, ".dne", 0, 0, true,
                                         true);
  // Truth tables stay truth tables, levels and properties stay.
  const int wet = copy.FindNode("Wet");
  EXPECT_EQ(copy.GetNode(wet)->Definition()->GetType(), qelta::kDefTruthTable);
  EXPECT_EQ(Table(copy, wet), Table(network, network.FindNode("Wet")));
  EXPECT_TRUE(static_cast<const VRN_discDef*>(
                  copy.GetNode(copy.FindNode("Act"))->Definition())
                  ->HasPointValues());
  const int flow = copy.FindNode("Flow");
  EXPECT_EQ(copy.GetNode(flow)->Definition()->GetType(), qelta::kDefEquation);
  EXPECT_EQ(EquationIntervals(copy, flow), "-10 low 5 high 30");
  EXPECT_STREQ(copy.GetNode(copy.FindNode("Cloudy"))
                   ->UserProperties()
                   .GetPropertyValue(0),
               "a \"quoted\" text");
  EXPECT_EQ(network.WriteFile("/dev/full", qelta::kFormatNetica, 0),
            qelta::kErrFileWrite);
  EXPECT_NE(LogText(network).find("-101"), std::string::npos);
}

// An equation not written for its node travels solved; the same draws give
// the same beliefs. One that cannot be solved is not saved.
TEST(NeticaTest, EquationNodesSurviveTheRoundTrip) {
  VRN_network network;
  const int x = network.AddNode(qelta::kDefEquation, "X");
  const int y = network.AddNode(qelta::kDefEquation, "Y");
  const int c = network.AddNode(qelta::kDefCpt, "C");
  VRN_equation* ey = VRN_GetEquation(&network, y);
  ASSERT_EQ(VRN_GetEquation(&network, x)->SetEquation("X=Uniform(0,10)",
                                                      nullptr, nullptr),
            qelta::kOk);
  ASSERT_EQ(ey->SetEquation("2*Y=X", nullptr, nullptr), qelta::kOk);
  ASSERT_EQ(ey->SetDiscIntervals(-1, 8, {{"", 2}, {"", 8}}), qelta::kOk);
  ASSERT_EQ(network.AddArc(y, c), qelta::kOk);
  VRN_network copy;
  qelta_test::ExpectWriteReadWriteStable(network, &copy, ".dne", 0, 0, true,
                                         true);
  std::string text;
  VRN_GetEquation(&copy, copy.FindNode("Y"))->GetEquationText(&text);
  EXPECT_EQ(text, "Y=0.5*X");
  EXPECT_EQ(EquationIntervals(copy, copy.FindNode("Y")), "-1  2  8");
  network.GetRandomGenerator()->Seed(7);
  copy.GetRandomGenerator()->Seed(7);
  ASSERT_EQ(network.UpdateBeliefs(), qelta::kOk);
  ASSERT_EQ(copy.UpdateBeliefs(), qelta::kOk);
  EXPECT_EQ(qelta_test::Beliefs(copy, copy.FindNode("C")),
            qelta_test::Beliefs(network, c));
  ASSERT_EQ(ey->SetEquation("Y*Y=X", nullptr, nullptr), qelta::kOk);
  TempPath file(".dne");
  EXPECT_EQ(network.WriteFile(file.path(), 0, 0), qelta::kErrOutOfRange);
}

// A bad equation loses its node (and children), bad levels the intervals
// and with them the table of the child: either way the read fails and the
// network stays as it was.
TEST(NeticaTest, BadEquationsAreReported) {
  for (const char* levels : {"", "levels = (5, 1, 9);"}) {
    VRN_network network;
    EXPECT_EQ(ReadText(&network,
                       std::string("bnet N {\nnode P { states = (a, b); };\n"
                                   "node Q { parents = (P); equation = \"") +
                           (levels[0] ? "Q (P) = P" : "Q = NormalDist(Q, 1)") +
                           "\"; " + levels + " };\n"
                           "node R { parents = (Q); probs = (0.5, 0.5); };\n"
                           "};\n"),
              qelta::kErrFileIo);
    EXPECT_NE(LogText(network).find(
                  levels[0] ? "Can't set discretization intervals for node [Q]"
                            : "-2 (line 3) : ERROR: Node [Q] : "),
              std::string::npos)
        << LogText(network);
    if (levels[0]) {
      EXPECT_NE(LogText(network).find("Can't set probabilities for node [R]"),
                std::string::npos);
    }
    EXPECT_LT(network.FindNode("R"), 0);
  }
  VRN_network network;
  ASSERT_GE(network.AddNode(qelta::kDefCpt, "Kept"), 0);
  EXPECT_EQ(ReadText(&network, "bnet N {\nnode Alpha { states = (a, b); };\n"
                               "node Bravo { parents = (Alpha); equation = "
                               "\"Bravo (Alpha) = nosuchfunction(Alpha, 1, 2, 3)\"; };\n};\n"),
            qelta::kErrFileIo);
  EXPECT_NE(LogText(network).find("ERROR: Node [Bravo] : Unknown function: nosuchfunction"),
            std::string::npos)
      << LogText(network);
  EXPECT_EQ(network.GetNumberOfNodes(), 1);
  EXPECT_GE(network.FindNode("Kept"), 0);
}

// A range of one point leaves room only for the default intervals, the
// first of them empty: they are written as equal levels and read back with
// the range, with or without a discrete child.
TEST(NeticaTest, EquationsOverOnePointKeepTheirRange) {
  for (bool child : {false, true}) {
    VRN_network network;
    const int x = network.AddNode(qelta::kDefEquation, "X");
    VRN_equation* eq = VRN_GetEquation(&network, x);
    ASSERT_EQ(eq->SetEquation("X=Normal(3,1)", nullptr, nullptr), qelta::kOk);
    ASSERT_EQ(eq->SetBounds(3, 3), qelta::kOk);
    if (child) {
      ASSERT_EQ(network.AddArc(x, network.AddNode(qelta::kDefCpt, "C")),
                qelta::kOk);
    } else {
      (void)eq->GetDiscreteOutcomeCount();
    }
    ASSERT_EQ(EquationIntervals(network, x), "3 State0 3 State1 3");
    VRN_network copy;
    qelta_test::ExpectWriteReadWriteStable(network, &copy, ".dne", 0, 0, false,
                                           false);
    EXPECT_EQ(LogText(copy), "");
    EXPECT_EQ(EquationIntervals(copy, copy.FindNode("X")),
              "3 State0 3 State1 3");
  }
}

}  // namespace
