// The native text format: a hand-written file with every statement, its
// round trip, bad statements, header and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "equations/equation.h"
#include "io/format.h"
#include "io/text/text_network_util.h"
#include "network/cases.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta_test::LogText;
using qelta_test::ReadWholeFile;
using qelta_test::TempPath;

const std::string kRichFile =
    std::string(QELTA_TEST_DATA) + "/vrn/every_statement.vrn";

const VRN_discDef* Disc(const VRN_network& network, const char* id) {
  return dynamic_cast<const VRN_discDef*>(
      network.GetNode(network.FindNode(id))->Definition());
}

// Everything of the rich file that a round trip must keep.
void ExpectRichContent(const VRN_network& net) {
  EXPECT_STREQ(net.Header()->GetId(), "Rich");
  EXPECT_STREQ(net.Header()->GetComment(),
               "Holds \"every\" statement\nof the format");
  EXPECT_EQ(net.GetNumberOfSamples(), 2500);
  const VRN_submodelTable& table = *net.Submodels();
  const VRN_submodel& main = *table.GetSubmodel(qelta::kMainSubmodel);
  EXPECT_EQ(main.ScreenInfo().width, 300);
  EXPECT_EQ(main.ScreenInfo().outline_color, 255);
  EXPECT_EQ(main.Window()[3], 480);
  EXPECT_EQ(main.GetColor(), 15790320);
  ASSERT_EQ(main.TextBoxes().size(), 1u);
  EXPECT_EQ(main.TextBoxes()[0].caption, "Read me first");
  EXPECT_EQ(main.TextBoxes()[0].rect[2], 200);
  ASSERT_EQ(net.UserProperties().GetSize(), 2);
  EXPECT_STREQ(net.UserProperties().GetPropertyValue(0), "A. N. Author");
  EXPECT_STREQ(net.Documentation().GetPath(0), "http://example.org/manual");

  const int outer = table.FindSubmodel("Outer");
  const int inner = table.FindSubmodel("Inner");
  ASSERT_GE(outer, 0);
  ASSERT_GE(inner, 0);
  EXPECT_EQ(table.GetParent(inner) & ~qelta::kSubmodelBit,
            outer & ~qelta::kSubmodelBit);
  EXPECT_STREQ(table.GetSubmodel(outer)->Header().GetName(), "Outer box");
  EXPECT_EQ(table.GetSubmodel(outer)->TextBoxes().size(), 1u);
  EXPECT_EQ(table.GetSubmodel(outer)->Window()[0], 5);
  EXPECT_STREQ(table.GetSubmodel(inner)->Header().GetComment(), "nested");

  const VRN_node& weather = *net.GetNode(net.FindNode("Weather"));
  EXPECT_STREQ(weather.Header().GetName(),
               "The weather today, which decides nearly everything that "
               "follows");
  EXPECT_TRUE(weather.IsTarget());
  EXPECT_EQ(weather.GetSubmodel() & ~qelta::kSubmodelBit,
            inner & ~qelta::kSubmodelBit);
  EXPECT_EQ(weather.ScreenInfo().x, 50);
  EXPECT_STREQ(weather.UserProperties().GetPropertyValue(0), "almanac");
  EXPECT_STREQ(weather.Documentation().GetTitle(0), "Climate");
  EXPECT_EQ(weather.GetDiagType(), 0);
  const VRN_discDef* w = Disc(net, "Weather");
  EXPECT_EQ(w->GetDefaultOutcome(), 0);
  EXPECT_FALSE(w->IsFaultOutcome(0));
  EXPECT_TRUE(w->IsFaultOutcome(1));
  EXPECT_STREQ(w->GetOutcomeLabel(1), "Rain");
  EXPECT_STREQ(w->GetOutcomeDescription(0), "dry");
  EXPECT_STREQ(w->GetOutcomeFix(1), "stay inside");
  ASSERT_NE(w->GetOutcomeDocumentation(0), nullptr);
  EXPECT_STREQ(w->GetOutcomeDocumentation(0)->GetPath(0), "sun.html");
  EXPECT_EQ(qelta_test::Table(net, net.FindNode("Weather")),
            (std::vector<double>{0.7, 0.3}));

  const VRN_node& forecast = *net.GetNode(net.FindNode("Forecast"));
  EXPECT_EQ(forecast.Definition()->GetType(), qelta::kDefTruthTable);
  EXPECT_EQ(forecast.GetDiagType(), 1);
  EXPECT_TRUE(forecast.IsRanked());
  EXPECT_FALSE(forecast.IsMandatory());
  EXPECT_STREQ(forecast.GetQuestion(), "Is the forecast good?");
  ASSERT_EQ(forecast.GetCostParents().GetSize(), 1);
  EXPECT_EQ(forecast.GetCost().GetItem(0), 1.5);
  EXPECT_EQ(forecast.GetCost().GetItem(1), qelta::kNotAvailableValue);

  const auto* gauge = dynamic_cast<const VRN_noisyMAX*>(
      net.GetNode(net.FindNode("Gauge"))->Definition());
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(gauge->GetParentOutcomeStrengths(0)[0], 1);
  EXPECT_EQ(gauge->GetParentOutcomeStrengths(0)[1], 0);
  std::vector<double> parameters;
  for (int i = 0; i < gauge->Parameters().GetItemCount(); ++i) {
    parameters.push_back(gauge->Parameters().GetItem(i));
  }
  EXPECT_EQ(parameters, (std::vector<double>{0.9, 0.1, 0, 1, 0.05, 0.95}));
  const int umbrella = net.FindNode("Umbrella");
  EXPECT_EQ(net.GetNode(umbrella)->Definition()->GetType(),
            qelta::kDefDecision);
  EXPECT_EQ(qelta_test::ParentIds(net, umbrella),
            (std::vector<std::string>{"Forecast", "Gauge"}));
  EXPECT_EQ(qelta_test::OutcomeIds(net, umbrella),
            (std::vector<std::string>{"take", "leave"}));
  const int comfort = net.FindNode("Comfort");
  EXPECT_EQ(qelta_test::Table(net, comfort),
            (std::vector<double>{20, 100, 70, -5.5}));
}

TEST(VrnFormatTest, ReadsEveryStatement) {
  VRN_network net;
  ASSERT_EQ(net.ReadFile(kRichFile.c_str(), 0, 0), qelta::kOk);
  ExpectRichContent(net);
  // The unknown field is logged with its line; nothing else is.
  EXPECT_EQ(LogText(net),
            "-127 (line 11) : ERROR: 'CREATION' : Unknown Net Field\n");
}

TEST(VrnFormatTest, RoundTripKeepsEverythingAndTextIsStable) {
  VRN_network first;
  ASSERT_EQ(first.ReadFile(kRichFile.c_str(), 0, 0), qelta::kOk);
  TempPath text1(".vrn");
  ASSERT_EQ(first.WriteFile(text1.path(), 0, 0), qelta::kOk) << LogText(first);
  const std::string written = ReadWholeFile(text1.path());
  for (bool crlf : {false, true}) {
    TempPath input(".vrn", crlf ? qelta_test::WithCrLf(written) : written);
    VRN_network second;
    ASSERT_EQ(second.ReadFile(input.path(), qelta::kFormatVrn, 0), qelta::kOk);
    EXPECT_EQ(LogText(second), "");
    ExpectRichContent(second);
    TempPath text2(".vrn");
    ASSERT_EQ(second.WriteFile(text2.path(), 0, 0), qelta::kOk);
    EXPECT_EQ(written, ReadWholeFile(text2.path()));
  }
  // The long name wraps with a continuation mark.
  EXPECT_NE(written.find("\\ \n"), std::string::npos);
  // The original file, with CR LF line ends, reads the same too.
  TempPath crlf_file(".vrn", qelta_test::WithCrLf(ReadWholeFile(kRichFile)));
  VRN_network crlf;
  ASSERT_EQ(crlf.ReadFile(crlf_file.path(), 0, 0), qelta::kOk);
  ExpectRichContent(crlf);
}

// A small valid file with one statement replaced.
std::string SmallNet(const std::string& extra_in_a,
                     const std::string& extra_at_end = "") {
  return "net Small\n"
         "{\n"
         " node A\n"
         "  {\n"
         "   TYPE = CPT;\n" +
         extra_in_a +
         "   DEFINITION = { NAMESTATES = (a0, a1, a2);\n"
         "                  PROBABILITIES = (0.2, 0.3, 0.5); };\n"
         "  };\n"
         " node B { PARENTS = (A); DEFINITION = { NAMESTATES = (b0, b1);\n"
         "   PROBABILITIES = (1, 0, 0.5, 0.5, 0, 1); }; };\n" +
         extra_at_end + "};\n";
}

TEST(VrnFormatTest, BadStatementsAreLoggedAndSkipped) {
  struct Case {
    std::string text;
    std::string message;  // expected in the log, after "(line N) : "
    int line;
  };
  const std::vector<Case> cases = {
      {SmallNet("   COLOUR = 3;\n"), "ERROR: 'COLOUR' : Unknown Node Statement",
       6},
      {SmallNet("   SCREEN = { TILT = 4; };\n"),
       "ERROR: 'TILT' : Unknown Screen Information Statement", 6},
      {SmallNet("   HEADER = { NICK = \"x\"; };\n"),
       "ERROR: 'NICK' : Unknown Header Statement", 6},
      {SmallNet("   TARGET = MAYBE;\n"), "ERROR: (\"MAYBE\") : int Expected",
       6},
      {SmallNet("   EXTRA_DEFINITION = { STATECOMMENTS = (\"x\"); };\n"),
       "Wrong number of state comments", 6},
      {SmallNet("", " SCREENCOMMENT = { (1, 2), \"short\" };\n"),
       "ERROR: Wrong Number Of Screen Coordinates", 11},
      {SmallNet("", " OBSERVATION_COST = { node Q { COSTS = (1); }; };\n"),
       "ERROR: Couldn't Find Node (\"Q\")", 11},
      {SmallNet("", " submodel S { PARENT = T; };\n"),
       "ERROR: (\"T\") : Unknown Submodel", 11},
      {SmallNet("", " bogus;\n"), "ERROR: 'bogus' : Unknown Net Statement",
       11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TempPath file(".vrn", c.text);
    VRN_network net;
    ASSERT_EQ(net.ReadFile(file.path(), 0, 0), qelta::kOk);
    const std::string log = LogText(net);
    EXPECT_NE(log.find("(line " + std::to_string(c.line) + ") : " + c.message),
              std::string::npos)
        << log;
    // The rest of the file is there.
    const int a = net.FindNode("A");
    const int b = net.FindNode("B");
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(qelta_test::Table(net, a), (std::vector<double>{0.2, 0.3, 0.5}));
    EXPECT_EQ(qelta_test::ParentIds(net, b), std::vector<std::string>{"A"});
    EXPECT_EQ(qelta_test::Table(net, b).size(), 6u);
  }
}

TEST(VrnFormatTest, OutcomeDocumentationBeyondTheOutcomesFailsSilently) {
  const std::string docs =
      "   EXTRA_DEFINITION = {\n"
      "     DOCUMENTATION = { \"t0\" = \"p0\"; };\n"
      "     DOCUMENTATION = { \"t1\" = \"p1\"; };\n"
      "     DOCUMENTATION = { \"t2\" = \"p2\"; };\n"
      "     DOCUMENTATION = { \"t3\" = \"p3\"; };\n"
      "   };\n";
  // Outcomes first, then their documentation.
  std::string text = SmallNet("");
  text.insert(text.find(" node B"), " node C { DEFINITION = { NAMESTATES = "
                                    "(c0, c1, c2); }; \n" + docs + " };\n");
  TempPath file(".vrn", text);
  VRN_network net;
  ASSERT_EQ(net.ReadFile(file.path(), 0, 0), qelta::kOk);
  EXPECT_EQ(LogText(net), "");
  const VRN_discDef* c = Disc(net, "C");
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(c->GetOutcomeDocumentation(i), nullptr);
    EXPECT_EQ(c->GetOutcomeDocumentation(i)->GetPath(0),
              "p" + std::to_string(i));
  }
}

TEST(VrnFormatTest, FilesThatAreNotNetworksFailAndChangeNothing) {
  struct Case {
    const char* text;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"bnet Other { };\n", qelta::kErrSyntax,
       "(line 1) : ERROR: 'bnet' : 'net' expected"},
      {"42\n", qelta::kErrSyntax, "(line 1) : ERROR: '42' : 'net' expected"},
      {"net { };\n", qelta::kErrSyntax,
       "(line 1) : ERROR: '{' : Identifier expected"},
      {"net N ( };\n", qelta::kErrSyntax,
       "(line 1) : ERROR: '(' : '{' expected"},
      {"net N { node A { TYPE = CPT; }; node B { \x01 }; };\n",
       qelta::kErrLexical, "UNKNOWN CHARACTER"},
      {"net N { node A { HEADER = { NAME = \"open", qelta::kErrUnexpectedEof,
       "UNTERMINATED STRING"},
      {"", qelta::kErrEndOfFile, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TempPath file(".vrn", c.text);
    VRN_network net;
    ASSERT_EQ(net.AddNode(qelta::kDefCpt, "Kept"), 0);
    EXPECT_EQ(net.ReadFile(file.path(), 0, 0), c.status);
    if (c.message != nullptr) {
      EXPECT_NE(LogText(net).find(c.message), std::string::npos)
          << LogText(net);
    }
    EXPECT_EQ(net.GetNumberOfNodes(), 1);
    EXPECT_EQ(net.FindNode("Kept"), 0);
  }
}

// A truth table given by its numbers holds them as written, whatever they
// are; written back, a table with a column that is not one 1.0 among zeros
// keeps its numbers, and one of such columns only keeps its resulting states.
TEST(VrnFormatTest, TruthTablesTakeAndKeepTheirNumbers) {
  const std::string head =
      "net N {\nnode A { TYPE = CPT; PARENTS = ();\n"
      " DEFINITION = { NAMESTATES = (a0, a1); PROBABILITIES = (0.5, 0.5); };\n"
      "};\nnode T { TYPE = TRUTHTABLE; PARENTS = (A);\n"
      " DEFINITION = { NAMESTATES = (x, y); PROBABILITIES = ";
  const std::vector<std::vector<double>> tables = {
      {1, 0, 0.4, 0.6}, {1, 1e-17, 0, 1}, {0, 1, 1, 0}};
  for (const std::vector<double>& items : tables) {
    std::string list;
    for (double v : items) list += (list.empty() ? "(" : ", ") + std::to_string(v);
    if (items[1] == 1e-17) list = "(1, 1e-17, 0, 1";
    SCOPED_TRACE(list);
    TempPath file(".vrn", head + list + "); };\n};\n};\n");
    VRN_network net;
    ASSERT_EQ(net.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(net);
    EXPECT_EQ("", LogText(net));
    const int t = net.FindNode("T");
    ASSERT_GE(t, 0);
    EXPECT_EQ(net.GetNode(t)->Definition()->GetType(), qelta::kDefTruthTable);
    EXPECT_EQ(qelta_test::Table(net, t), items);

    TempPath saved(".vrn");
    ASSERT_EQ(net.WriteFile(saved.path(), 0, 0), qelta::kOk) << LogText(net);
    const bool one_hot = items[1] != 1e-17 && items[2] != 0.4;
    EXPECT_EQ(ReadWholeFile(saved.path()).find("RESULTINGSTATES") !=
                  std::string::npos,
              one_hot);
    VRN_network back;
    ASSERT_EQ(back.ReadFile(saved.path(), 0, 0), qelta::kOk) << LogText(back);
    EXPECT_EQ("", LogText(back));
    EXPECT_EQ(qelta_test::Table(back, back.FindNode("T")), items);
  }
}

TEST(VrnFormatTest, WriteFailuresAreReported) {
  VRN_network net;
  ASSERT_EQ(net.ReadFile(kRichFile.c_str(), 0, 0), qelta::kOk);
  net.ErrorLog()->Flush();
  EXPECT_EQ(net.WriteFile("/dev/full", qelta::kFormatVrn, 0),
            qelta::kErrFileWrite);
  EXPECT_NE(LogText(net).find("ERROR: Writing the file /dev/full failed"),
            std::string::npos)
      << LogText(net);
  // The other text formats name the file they could not finish.
  for (int format : {qelta::kFormatHugin, qelta::kFormatMsbn,
                     qelta::kFormatXmlBif, qelta::kFormatNetica,
                     qelta::kFormatErgo}) {
    VRN_network small;
    ASSERT_GE(small.AddNode(qelta::kDefCpt, "A"), 0);
    EXPECT_EQ(small.WriteFile("/dev/full", format, 0), qelta::kErrFileWrite)
        << format;
    EXPECT_NE(LogText(small).find("ERROR: Can't write the file /dev/full"),
              std::string::npos)
        << format << LogText(small);
  }
  // Every text format: a file that cannot be made fails with the output's
  // message.
  for (const char* name : {"x.vrn", "x.net", "x.dsc", "x.xml03"}) {
    net.ErrorLog()->Flush();
    const std::string path = std::string("/no/such/folder/") + name;
    EXPECT_EQ(net.WriteFile(path.c_str(), 0, 0), qelta::kErrFileWrite) << name;
    EXPECT_NE(LogText(net).find("OPEN FILE FAILED"), std::string::npos) << name;
  }
}

// The text formats hold no cases (and refuse a dynamic network): a network
// with a case is written without it and reads back without it; only the
// native text layouts keep submodels. Interval outcomes without
// identifiers read back named, with their intervals from Netica only.
TEST(VrnFormatTest, TextFormatsWriteWithoutCases) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  ASSERT_EQ(net.AddArc(a, b), qelta::kOk);
  ASSERT_NE(net.AddCase("Seen"), nullptr);
  ASSERT_EQ(net.GetCase(0)->SetEvidence(a, 1), qelta::kOk);
  const int sub = net.Submodels()->CreateSubmodel(qelta::kMainSubmodel, "S");
  ASSERT_EQ(net.GetNode(a)->SetSubmodel(sub), qelta::kOk);
  const int c = net.AddNode(qelta::kDefCpt, "C");
  ASSERT_EQ(static_cast<VRN_discDef*>(net.GetNode(c)->Definition())
                ->SetIntervals({0, 1, 2}, true),
            qelta::kOk);
  for (const char* name : {".vrn", ".dxp", ".dne", ".net", ".erg", ".dsc",
                           ".xml03"}) {
    SCOPED_TRACE(name);
    TempPath file(name);
    ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk) << LogText(net);
    VRN_network back;
    const bool dxp = std::string(name) == ".dxp";
    ASSERT_EQ(back.ReadFile(file.path(), dxp ? qelta::kFormatVrn : 0, 0),
              qelta::kOk)
        << LogText(back);
    EXPECT_EQ(back.GetNumberOfNodes(), 3);
    EXPECT_EQ(back.GetNumberOfCases(), 0);
    const bool native = dxp || std::string(name) == ".vrn";
    EXPECT_EQ(back.Submodels()->GetNumberOfSubmodels(), native ? 2 : 1);
    EXPECT_EQ(qelta_test::OutcomeIds(back, back.FindNode("C")),
              (std::vector<std::string>{"State0", "State1"}));
    EXPECT_EQ(Disc(back, "C")->HasIntervals(), std::string(name) == ".dne");
  }
}

TEST(VrnFormatTest, EmptyNetworkWritesItsFieldsAndAnEmptyCostBlock) {
  VRN_network net;
  TempPath file(".vrn");
  ASSERT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
  const std::string text = ReadWholeFile(file.path());
  EXPECT_EQ(text.rfind("net Unnamed\n{\n HEADER = \n  {\n   ID = Unnamed;\n", 0),
            0u)
      << text;
  EXPECT_NE(text.find(" OBSERVATION_COST = \n  {\n  };\n};\n"),
            std::string::npos)
      << text;
}

// Two parents of 20000 outcomes each would give a table of 8e8 cells: the
// arc that would pass the limit is refused before anything grows, and so are
// outcomes that would.
TEST(VrnFormatTest, TablesTooLargeAreRefusedBeforeAllocation) {
  std::string states;
  for (int i = 0; i < 20000; ++i) states += (i > 0 ? ", s" : "s") + std::to_string(i);
  const std::string text =
      "net Big {\n"
      " node P { DEFINITION = { NAMESTATES = (" + states + "); }; };\n"
      " node Q { DEFINITION = { NAMESTATES = (" + states + "); }; };\n"
      " node C { PARENTS = (P, Q); };\n"
      " node D { PARENTS = (P); DEFINITION = { NAMESTATES = (" + states +
      "); }; };\n"
      "};\n";
  TempPath file(".vrn", text);
  VRN_network net;
  // C would lose its arc from Q, D its outcomes: the read fails.
  ASSERT_EQ(net.ReadFile(file.path(), 0, 0), qelta::kErrFileIo);
  EXPECT_EQ(net.GetNumberOfNodes(), 0);
  const std::string log = LogText(net);
  EXPECT_NE(log.find("-42 (line 4) : ERROR: Couldn't add arc from node [Q] "
                     "to node [C]"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("(line 5) : ERROR: Node [D] : 20000 outcomes make its "
                     "table too large"),
            std::string::npos)
      << log;
}

// Bytes that are not UTF-8 are repaired alike wherever an identifier is
// read, so references still meet; texts keep U+FFFD in their place. Long
// texts are kept whole.
TEST(VrnFormatTest, StoredTextIsUtf8AndLongTextsStayWhole) {
  const std::string text =
      "net N {\n"
      " node A\xff { HEADER = { NAME = \"x\xfe\"; }; };\n"
      " node B { PARENTS = (A\xff); };\n"
      "};\n";
  TempPath file(".vrn", text);
  VRN_network net;
  ASSERT_EQ(net.ReadFile(file.path(), 0, 0), qelta::kOk);
  EXPECT_EQ(LogText(net), "");
  const int a = net.FindNode("A_");
  ASSERT_GE(a, 0);
  EXPECT_STREQ(net.GetNode(a)->Header().GetName(), "x\xEF\xBF\xBD");
  EXPECT_EQ(qelta_test::ParentIds(net, net.FindNode("B")),
            std::vector<std::string>{"A_"});

  std::string comment;
  for (int i = 0; i < 3000; ++i) comment += "word \"quoted\"\n";
  ASSERT_EQ(net.GetNode(a)->Header().SetComment(comment.c_str()), qelta::kOk);
  TempPath out(".vrn");
  ASSERT_EQ(net.WriteFile(out.path(), 0, 0), qelta::kOk);
  VRN_network copy;
  ASSERT_EQ(copy.ReadFile(out.path(), 0, 0), qelta::kOk);
  EXPECT_EQ(copy.GetNode(copy.FindNode("A_"))->Header().GetComment(), comment);
}

const std::string kKindsFile = std::string(QELTA_TEST_DATA) + "/vrn/kinds.vrn";

const VRN_intArray& Strengths(const VRN_network& net, const char* id) {
  return static_cast<const VRN_noisyMAX*>(
             net.GetNode(net.FindNode(id))->Definition())
      ->GetParentOutcomeStrengths(0);
}

// Every canonical kind reads back with its kind, outcomes, parents,
// parameters and beliefs, and writes the same text again. The noisy-AND
// node has its outcomes reversed and its parent's first outcome last.
TEST(VrnKindsTest, RoundTripKeepsKindsParametersAndBeliefs) {
  VRN_network first;
  ASSERT_EQ(0, first.ReadFile(kKindsFile.c_str(), 0, 0));
  EXPECT_EQ(qelta_test::LogText(first), "");
  EXPECT_EQ(qelta_test::OutcomeIds(first, first.FindNode("N")),
            (std::vector<std::string>{"off", "on"}));
  for (const char* id : {"M", "N"}) {
    const VRN_intArray& order = Strengths(first, id);
    EXPECT_EQ(std::vector<int>(order.begin(), order.end()),
              (std::vector<int>{2, 0, 1}));
  }
  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".vrn", 0, 0, false,
                                         false);
  EXPECT_EQ(Strengths(first, "M"), Strengths(second, "M"));
  // A noisy-MAX node's strength order over an equation parent counts that
  // parent's intervals, which are no outcomes of its own.
  {
    VRN_network net;
    // Made as the reader makes it, so that it reads back whole.
    const int eq = net.AddNode(qelta::kDefCpt, "E");
    ASSERT_EQ(qelta::kOk, net.GetNode(eq)->setNodeType(qelta::kDefEquation));
    const int child = net.AddNode(qelta::kDefNoisyMax, "X");
    ASSERT_GE(child, 0);
    ASSERT_EQ(qelta::kOk, net.AddArc(eq, child));
    auto* noisy = static_cast<VRN_noisyMAX*>(net.GetNode(child)->Definition());
    VRN_intArray reversed;
    reversed.Add(1);
    reversed.Add(0);
    ASSERT_EQ(qelta::kOk, noisy->SetParentOutcomeStrengths(0, reversed));
    TempPath out(".vrn");
    ASSERT_EQ(qelta::kOk, net.WriteFile(out.path(), 0, 0)) << LogText(net);
    VRN_network back;
    ASSERT_EQ(qelta::kOk, back.ReadFile(out.path(), 0, 0)) << LogText(back);
    EXPECT_EQ(Strengths(net, "X"), Strengths(back, "X"));
  }
  for (VRN_network* net : {&first, &second}) {
    ASSERT_EQ(0, net->GetNode(net->FindNode("S"))->Value()->SetEvidence(0));
    ASSERT_EQ(0, net->GetNode(net->FindNode("G"))->Value()->SetEvidence(1));
    ASSERT_EQ(0, net->UpdateBeliefs());
  }
  for (int h = first.GetFirstNode(); h >= 0; h = first.GetNextNode(h)) {
    const std::vector<double> want = qelta_test::Beliefs(first, h);
    const std::vector<double> got =
        qelta_test::Beliefs(second, second.FindNode(first.GetNode(h)->GetId()));
    ASSERT_EQ(want.size(), got.size());
    for (size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(want[k], got[k], 1e-12);
  }
}

// The dxp layout keeps no CAST parameters and writes noisy-MAX numbers in
// the Henrion form, which reads back only without parents: each such node
// of the kinds file is refused, naming it, until it is at its defaults or
// without parents.
void DropWhatDxpRefuses(VRN_network* net) {
  const int a = net->FindNode("A");
  for (const char* id : {"M", "O", "N", "C", "E"}) {
    SCOPED_TRACE(id);
    net->ErrorLog()->Flush();
    TempPath out(".dxp");
    std::remove(out.path());
    EXPECT_EQ(qelta::kErrOutOfRange, net->WriteFile(out.path(), 0, 0));
    EXPECT_NE(LogText(*net).find(std::string("Node [") + id + "] cannot be saved in the native "
                                 "text format (dxp layout)"),
              std::string::npos)
        << LogText(*net);
    EXPECT_EQ(nullptr, std::fopen(out.path(), "rb"));
    VRN_node* node = net->GetNode(net->FindNode(id));
    if (*id == 'C' || *id == 'E') {
      ASSERT_EQ(qelta::kOk, node->setNodeType(qelta::kDefCpt));
      ASSERT_EQ(qelta::kOk, node->setNodeType(qelta::kDefCast));
    } else {
      ASSERT_EQ(qelta::kOk, net->RemoveArc(a, net->FindNode(id)));
    }
  }
  net->ErrorLog()->Flush();
}

// The file keeps only the kind of noisy-adder, DeMorgan and equation nodes
// (their defaults above write and read back); one with other parameters,
// or a noisy-MAX parameter outside [0, 1] stored through GetMatrix, is
// refused before any file exists, naming the node and the format.
TEST(VrnKindsTest, ParametersTheFileCannotHoldAreRefused) {
  for (const char* id : {"S", "G", "Q", "M"}) {
    for (const char* extension : {".vrn", ".dxp"}) {
      SCOPED_TRACE(std::string(id) + extension);
      VRN_network net;
      ASSERT_EQ(0, net.ReadFile(kKindsFile.c_str(), 0, 0));
      if (*extension == '.' && extension[1] == 'd') DropWhatDxpRefuses(&net);
      VRN_nodeDef* d = net.GetNode(net.FindNode(id))->Definition();
      ASSERT_EQ(qelta::kOk,
                *id == 'S'   ? static_cast<VRN_noisyAdder*>(d)->SetParentWeight(0, 0.5)
                : *id == 'G' ? static_cast<VRN_demorgan*>(d)->SetParentWeight(0, 0.7)
                : *id == 'Q' ? static_cast<VRN_equation*>(d)->SetEquation("Q=7", nullptr, nullptr)
                             : (*d->GetMatrix()->ItemAddress(0) = 1.5, qelta::kOk));
      TempPath out(extension);
      std::remove(out.path());
      EXPECT_EQ(qelta::kErrOutOfRange, net.WriteFile(out.path(), 0, 0));
      EXPECT_NE(LogText(net).find(std::string("Node [") + id +
                                  "] cannot be saved in the native text format"),
                std::string::npos)
          << LogText(net);
      EXPECT_EQ(nullptr, std::fopen(out.path(), "rb"));
    }
  }
}

}  // namespace
