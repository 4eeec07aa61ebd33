// Reads that cannot give the file's network fail and leave the network as
// it was: tables with entries that are not numbers or not finite, lists of
// outcomes or labels that do not fit, skips that would pass what gives a
// node, and files cut before their end (Hugin and Ergo files, which have
// no end mark, read when cut between blocks or sections).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "inference/shared_networks.h"
#include "io/text/text_network_util.h"
#include "io/format.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

using qelta_test::LogText;
using qelta_test::TempPath;

// Reads text into a network holding one node "keep": the status, with the
// network unchanged whenever the read fails.
int ReadKeeping(const std::string& extension, const std::string& text,
                std::string* log = nullptr) {
  VRN_network net;
  EXPECT_EQ(net.AddNode(qelta::kDefCpt, "keep"), 0);
  TempPath file(extension, text);
  const int rc = net.ReadFile(file.path(), 0, 0);
  if (rc != qelta::kOk) {
    EXPECT_EQ(net.GetNumberOfNodes(), 1) << text;
    EXPECT_EQ(net.FindNode("keep"), 0) << text;
  }
  if (log != nullptr) *log = LogText(net);
  return rc;
}

// Node A of two states in each format; "@" stands for A's second entry.
const char kVrnA[] =
    "net N { node A { TYPE = CPT; DEFINITION = { NAMESTATES = (a0, a1); ";
const char kHuginA[] = "net { } node A { states = (\"a0\" \"a1\"); } ";
const char kDneA[] =
    "bnet N { node A { kind = NATURE; discrete = TRUE; states = (a0, a1); "
    "parents = (); ";
const char kBifA[] =
    "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME><VARIABLE TYPE=\"nature\">"
    "<NAME>A</NAME><OUTCOME>a0</OUTCOME><OUTCOME>a1</OUTCOME></VARIABLE>";

std::string Replaced(std::string text, const std::string& entry) {
  return text.replace(text.find('@'), 1, entry);
}

std::string Swapped(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

TEST(ReadCutTest, TableEntriesThatAreNotNumbersFailTheRead) {
  const std::string kVrn(kVrnA), kHugin(kHuginA), kDne(kDneA), kBif(kBifA);
  const std::string vrn_probs = kVrn + "PROBABILITIES = (0.2, @); }; }; };";
  const struct {
    const char* extension;
    std::string text;
    const char* bad;
    const char* good;
  } cases[] = {
      {".vrn", vrn_probs, "oops", "0.8"},
      {".dne", kDne + "probs = (0.2, @); }; };", "oops", "0.8"},
      {".net", kHugin + "potential (A) { data = ( 0.2 @ ); }", "oops", "0.8"},
      {".xml03", kBif + "<DEFINITION><FOR>A</FOR><TABLE>0.2 @</TABLE>"
                        "</DEFINITION></NETWORK></BIF>", "oops", "0.8"},
      // Utilities that are not finite numbers.
      {".net", kHugin + "decision D { states = (\"d0\" \"d1\"); } utility U { }"
                        " potential (A) { data = (0.5 0.5); }"
                        " potential (U | A D) { data = (@); }",
       "( nan 1 ) ( inf -inf )", "( 0 1 ) ( 2 3 )"},
      {".net", kHugin + "utility U { } potential (A) { data = (0.5 0.5); }"
                        " potential (U | A) { data = ( 1 @ ); }",
       "1e999", "0.8"},
      {".vrn", kVrn + "}; }; node U { TYPE = TABLE; PARENTS = (A); "
                      "DEFINITION = { UTILITIES = (1, @); }; }; };",
       "1e999", "0.8"},
      {".dne", kDne + "probs = (0.5, 0.5); }; node U { kind = UTILITY; "
                      "discrete = FALSE; parents = (A); functable = (1, @);"
                      " }; };", "1e999", "0.8"},
      {".xml03", "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME><VARIABLE "
                 "TYPE=\"utility\"><NAME>U</NAME></VARIABLE><DEFINITION><FOR>U"
                 "</FOR><TABLE>@</TABLE></DEFINITION></NETWORK></BIF>",
       "1e999", "0.8"},
      // A table of the wrong size.
      {".vrn", vrn_probs, "0.3, 0.5", "0.8"},
      // Probabilities too large for a double.
      {".vrn", vrn_probs, "1e999", "0.8"},
      {".dne", kDne + "probs = (0.2, @); }; };", "1e999", "0.8"},
      {".net", kHugin + "potential (A) { data = ( 0.2 @ ); }", "1e999", "0.8"},
      {".xml03", kBif + "<DEFINITION><FOR>A</FOR><TABLE>0.2 @</TABLE>"
                        "</DEFINITION></NETWORK></BIF>", "1e999", "0.8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + "\n" + c.text + "\n" + c.bad);
    std::string log;
    EXPECT_LT(ReadKeeping(c.extension, Replaced(c.text, c.bad), &log), 0);
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(ReadKeeping(c.extension, Replaced(c.text, c.good), &log),
              qelta::kOk)
        << log;
  }
}

// A list of outcomes that cannot be taken fails the read naming the node
// and the statement, whatever the arity, rather than leave the node
// outcomes the file does not name; no list at all gives the defaults.
TEST(ReadCutTest, OutcomeListsThatCannotBeTakenFailNamingTheNode) {
  const std::string hugin = "net { } node A { states = (@); }";
  const std::string dsc =
      "belief network \"N\"\nnode A { type : discrete [ 2 ] = { @ }; }\n"
      "probability (A) { 0.5, 0.5; }\n";
  const std::string bif =
      "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME><VARIABLE><NAME>A</NAME>@"
      "</VARIABLE></NETWORK></BIF>";
  const std::string vrn = "net N { node A { DEFINITION = { NAMESTATES = (@); }; }; };";
  const std::string dne = "bnet N { node A { discrete = TRUE; states = (@); }; };";
  const std::string erg =
      "2\n2\n2\n0\n1\n1\n/* Probabilities */\n2\n0.5\t0.5\n4\n0.9\t0.1\t0.2\t0.8\n"
      "/* Names */\nA\tB\n/* Labels */\n@\n";
  const std::string ki =
      "diagnostic network \"x\"\nkb { }\nnodes {\n standard A { NAME : \"A\"; "
      "TYPE : discrete [2] = 3 D @; }\n}\nnetwork {\n standard A parent () { "
      "PROB : { (0) ; 0.3, 0.7 ; } ; }\n}\n";
  const char* const ki_good = "{ standard a { NAME : \"yes\"; } standard b { NAME : \"no\"; } }";
  const struct {
    const char* extension;
    const std::string& text;
    const char* statement;
    const char* bad;
    const char* good;
  } cases[] = {
      {".net", hugin, "states", "yes no", "\"yes\" \"no\""},
      {".net", hugin, "states", "\"yes\" \"no\" 3", "\"yes\" \"no\" \"3\""},
      {".dsc", dsc, "type", "yes, no", "\"yes\", \"no\""},
      {".dsc", dsc, "type", "\"yes\", \"no\", \"maybe\"", "\"yes\", \"no\""},
      {".xml03", bif, "OUTCOME", "<OUTCOME></OUTCOME><OUTCOME>a2</OUTCOME>",
       "<OUTCOME>a1</OUTCOME><OUTCOME>a2</OUTCOME>"},
      {".xml03", bif, "OUTCOME", "<OUTCOME> </OUTCOME><OUTCOME>a2</OUTCOME><OUTCOME>a3</OUTCOME>",
       "<OUTCOME>a1</OUTCOME><OUTCOME>a2</OUTCOME><OUTCOME>a3</OUTCOME>"},
      {".vrn", vrn, "NAMESTATES", "a0, a0", "a0, a1"},
      {".dne", dne, "states", "a0, 7", "a0, a7"},
      {".dne", dne, "states", "", "a0, a1"},
      // An Ergo labels line of one word or three, for two outcomes.
      {".erg", erg, "labels", "yes\t\nlo\thi", "yes\tno\nlo\thi"},
      {".erg", erg, "labels", "yes\tno\tmaybe\nlo\thi", "yes\tno\nlo\thi"},
      // KI states: a name twice, one or three states for two, none, a
      // number as a name, a bad token, no list.
      {".dxp", ki, "TYPE", "{ standard a { NAME : \"yes\"; } standard b { NAME : \"yes\"; } }",
       ki_good},
      {".dxp", ki, "TYPE", "{ standard a { NAME : \"yes\"; } }", ki_good},
      {".dxp", ki, "TYPE",
       "{ standard a { NAME : \"yes\"; } standard b { NAME : \"no\"; } "
       "standard c { NAME : \"maybe\"; } }",
       ki_good},
      {".dxp", ki, "TYPE", "{ }", ki_good},
      {".dxp", ki, "TYPE", "{ standard a { NAME : 5; } standard b { NAME : \"no\"; } }",
       ki_good},
      {".dxp", ki, "TYPE", "{ standard a { NAME : \"yes\"; } ! }", ki_good},
      {".dxp", ki, "TYPE", "", ki_good},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + " " + c.bad);
    std::string log;
    EXPECT_EQ(ReadKeeping(c.extension, Replaced(c.text, c.bad), &log), qelta::kErrFileIo);
    EXPECT_NE(log.find(std::string("Node [A] : the outcomes of its ") + c.statement +
                       " statement cannot be read"),
              std::string::npos)
        << log;
    EXPECT_EQ(ReadKeeping(c.extension, Replaced(c.text, c.good), &log), qelta::kOk) << log;
  }
  VRN_network net;
  TempPath file(".xml03", Replaced(bif, ""));
  ASSERT_EQ(net.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(net);
  EXPECT_EQ(qelta_test::OutcomeIds(net, 0), (std::vector<std::string>{"State0", "State1"}));
}

// A statement the reader cannot use is skipped only while the skip passes
// nothing that gives a node: a stray word, a block left open or a table
// given another way fails the read rather than lose node B or its table.
TEST(ReadCutTest, SkipsThatWouldLoseANodeOrItsTableFail) {
  const std::string vrn_a =
      "net N {\n node A { DEFINITION = { NAMESTATES = (a0, a1); "
      "PROBABILITIES = (0.2, 0.8); };";
  const std::string vrn_b =
      "\n node B { PARENTS = (A); DEFINITION = { NAMESTATES = (b0, b1); "
      "PROBABILITIES = (0.9, 0.1, 0.2, 0.8); }; };\n};\n";
  const std::string dne_a =
      "bnet N {\nnode A { discrete = TRUE; states = (a0, a1); probs = (0.2, 0.8);";
  const std::string dne_b =
      "\nnode B { discrete = TRUE; states = (b0, b1); parents = (A); "
      "probs = ((0.9, 0.1), (0.2, 0.8)); };\n};\n";
  const std::string net_b =
      std::string(kHuginA) + "node B { states = (\"b0\" \"b1\"); }\n"
      "potential (A) { data = (0.2 0.8); }\n";
  const std::string net_table = "data = ((0.9 0.1) (0.2 0.8)); }\n";
  const char* const kUnended = "the statement or block before it is not ended";
  const std::string dsc =
      "belief network \"N\"\nnode A { type : discrete [ 2 ] = { \"a0\", \"a1\" }; }\n";
  const std::string ki =
      "diagnostic network \"x\"\nkb { }\nnodes {\n standard A { NAME : \"A\"; "
      "TYPE : discrete [2] = 3 D { standard a { NAME : \"a0\"; } standard b { NAME : "
      "\"a1\"; } }; }\n}\nnetwork {\n standard A parent () { ";
  const std::string erg =
      "2\n2\n2\n0\n1\n1\n/* Probabilities */\n2\n0.5\t0.5\n4\n0.9\t0.1\t0.2\t0.8\n"
      "/* Names */\n";
  const std::string bif = std::string(kBifA) +
                          "<DEFINITION><FOR>A</FOR><TABLE>0.2 0.8</TABLE></DEFINITION></NETWORK></BIF>";
  const std::string erg_whole = erg + "A\tB\n/* Labels */\na0\ta1\nb0\tb1\n";
  const struct {
    const char* extension;
    std::string good;
    std::string bad;
    const char* message;
  } cases[] = {
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + " };\ngarbage" + vrn_b, kUnended},
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + " };\n nod A2" + vrn_b, kUnended},
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + " };\n nodes B" + vrn_b, kUnended},
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + vrn_b, kUnended},
      {".vrn", vrn_a + " };" + vrn_b,
       vrn_a + " PARENTS = (B); };" + vrn_b,
       "ERROR: Couldn't add arc from node [B] to node [A]"},
      {".dne", dne_a + " };" + dne_b, dne_a + " };\ngarbage" + dne_b, kUnended},
      {".dne", dne_a + " };" + dne_b, dne_a + dne_b, kUnended},
      // A parent the file lacks, and one that closes a cycle.
      {".dne", dne_a + " };" + dne_b, dne_a + " };" + Swapped(dne_b, "(A)", "(Z)"),
       "Node [B] : its parent [Z] is not a node of the file"},
      {".dne", dne_a + " };" + dne_b, dne_a + " parents = (B); };" + dne_b,
       "Node [B] : its arc from [A] would close a cycle"},
      // A kind, a submodel or a parents list the node cannot take.
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + " TYPE = FANCY; };" + vrn_b,
       "Node [A] : its kind FANCY cannot be taken"},
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + " SUBMODEL = Nowhere; };" + vrn_b,
       "Node [A] : its submodel [Nowhere] is not a submodel of the file"},
      {".vrn", vrn_a + " };" + vrn_b, vrn_a + " };" + Swapped(vrn_b, "(A)", "(A B)"),
       "Node [B] : its PARENTS list cannot be read"},
      // Parameters that are not tables: a CAST baseline that is no number.
      {".vrn", vrn_a + " };" + vrn_b,
       vrn_a + " };" + vrn_b.substr(0, vrn_b.rfind('}')) +
           "node C { TYPE = CAST; DEFINITION = { BASELINE = \"x\"; }; };\n};\n",
       "Node [C] : Its table could not be built"},
      {".net", net_b + "potential (B | A) { " + net_table,
       net_b + "garbage\npotential (B | A) { " + net_table, kUnended},
      {".net", net_b + "potential (B | A) { " + net_table,
       net_b + "node C { label = \"C\"\n states = (\"c0\" \"c1\"); }\n"
               "potential (B | A) { " + net_table, kUnended},
      {".net",
       net_b + "potential (B | A) { model_nodes = (); model_data = (0.5); " + net_table,
       net_b + "potential (B | A) { model_nodes = (); model_data = (0.5); }\n",
       "Node (\"B\") : its potential gives its table by model_nodes and model_data only"},
      // A continuous node, a node of unknown kind, an undirected potential.
      {".net", net_b + "potential (B | A) { " + net_table,
       Swapped(net_b, "node B", "continuous node B") + "potential (B | A) { " + net_table,
       "Node (\"B\") : a continuous node cannot be read"},
      {".net", net_b + "potential (B | A) { " + net_table,
       net_b + "discrete bogus C { }\npotential (B | A) { " + net_table,
       "'bogus' : Unknown Node Type"},
      {".net", net_b + "potential (B | A) { " + net_table,
       net_b + "potential (B A) { " + net_table, "Node (\"B\") : its potential cannot be read"},
      {".dsc", dsc + "probability (A) { 0.2, 0.8; }\n",
       dsc + "garbage\nprobability (A) { 0.2, 0.8; }\n", kUnended},
      {".dxp", ki + "PROB : { (0) ; 0.3, 0.7 ; } ; }\n}\n",
       ki + "garbage\n PROB : { (0) ; 0.3, 0.7 ; } ; }\n}\n", kUnended},
      {".erg", erg_whole,
       erg + "A\tB\tC\n/* Labels */\na0\ta1\nb0\tb1\n",
       "'C' : Unexpected word where a section should start"},
      // A VARIABLE of unknown TYPE, an OUTCOME after its VARIABLE closed,
      // a GIVEN that names nothing.
      {".xml03", bif, Swapped(bif, "<DEF", "<VARIABLE TYPE=\"mystery\"><NAME>M</NAME></VARIABLE><DEF"),
       "VARIABLE of TYPE mystery : its node cannot be made"},
      {".xml03", bif, Swapped(bif, "</VARIABLE>", "</VARIABLE><OUTCOME>a2</OUTCOME>"),
       "'OUTCOME' : skipped where it stands, what it gives a node would be lost"},
      {".xml03", bif, Swapped(bif, "<TABLE>", "<GIVEN></GIVEN><TABLE>"), "Empty <GIVEN> element"},
      // A table of the wrong size, and a parent number that names no node.
      {".erg", erg_whole, Swapped(erg_whole, "4\n0.9\t0.1\t0.2\t0.8", "3\n0.9\t0.1\t0.2"),
       "Node 2 of the file : its table holds 3 numbers where its outcomes and "
       "parents need 4"},
      {".erg", erg_whole, Swapped(erg_whole, "1\n1\n/*", "1\n3\n/*"),
       "Node 2 of the file : its parent 3 is not a node of the file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + "\n" + c.bad);
    std::string log;
    EXPECT_EQ(ReadKeeping(c.extension, c.bad, &log), qelta::kErrFileIo);
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_EQ(ReadKeeping(c.extension, c.good, &log), qelta::kOk) << log;
  }
}

TEST(ReadCutTest, MsbnEntriesThatAreNotNumbersFailNamingTheNode) {
  const std::string chance =
      "belief network \"N\"\nnode C { type : discrete[2] = { \"c0\", "
      "\"c1\" }; }\nprobability (C) { @; }\n";
  const std::string utility =
      "belief network \"N\"\nnode D { type : discrete[2] = { \"d0\", "
      "\"d1\" }; label : decision; }\nnode C { label : utility; }\n"
      "information (D);\nutility (C | D) { (0) : @; (1) : 2; }\n";
  const struct {
    const std::string& text;
    const char* entry;
  } cases[] = {{chance, "oops, 0.877"}, {chance, "oops"},
               {chance, "nan, 0.877"},  {chance, "inf, 0.877"},
               {chance, "-, 0.877"},    {chance, "*, 0.877"},
               {chance, "@, 0.877"},    {chance, "0.123 oops"},
               {chance, "0.123.877"},   {chance, "1e999, 0.877"},
               {utility, "7.5, oops"},
               {utility, "7.5 oops"},   {utility, "0x10"},
               {utility, "1.2.3"},      {utility, "7.5oops"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    std::string log;
    EXPECT_EQ(ReadKeeping(".dsc", Replaced(c.text, c.entry), &log),
              qelta::kErrFileIo);
    EXPECT_NE(log.find("Node (\"C\") : table entry '"), std::string::npos)
        << log;
  }
  // The same tables of numbers read, numbers apart with a blank or not.
  for (const char* entry : {"0.123, 0.877", "0.123 .877", "0.123,.877"}) {
    EXPECT_EQ(ReadKeeping(".dsc", Replaced(chance, entry)), qelta::kOk);
  }
  EXPECT_EQ(ReadKeeping(".dsc", Replaced(utility, "-7.5")), qelta::kOk);
  // Hugin lists have no separator either.
  const std::string hugin =
      std::string(kHuginA) + "potential (A) { data = @; }";
  EXPECT_EQ(ReadKeeping(".net", Replaced(hugin, "(0.2 .8)")), qelta::kOk);
  EXPECT_LT(ReadKeeping(".net", Replaced(hugin, "(0.2.8)")), 0);
}

// A -> B, and with decisions D, B -> U: every kind of table the formats
// write.
void MakeSmallNetwork(VRN_network* net, bool decisions) {
  TempPath file(".net",
                std::string(kHuginA) +
                    "node B { states = (\"b0\" \"b1\"); }"
                    " potential (A) { data = (0.25 0.75); }"
                    " potential (B | A) { data = ((0.5 0.5)(0.125 0.875)); }" +
                    (decisions ? " decision D { states = (\"d0\" \"d1\"); }"
                                 " utility U { }"
                                 " potential (U | B D) { data = ((1 2)(3 4)); }"
                               : ""));
  ASSERT_EQ(net->ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(*net);
  ASSERT_EQ(net->GetNumberOfNodes(), decisions ? 4 : 2);
}

std::string Written(VRN_network& net, const std::string& extension) {
  TempPath file(extension);
  EXPECT_EQ(net.WriteFile(file.path(), 0, 0), qelta::kOk);
  return qelta_test::ReadWholeFile(file.path());
}

// The depth of blocks and lists ("{", "(") open after each prefix of a
// file; strings and "//" comments are skipped.
std::vector<int> MapDepths(const std::string& text) {
  std::vector<int> depths(text.size() + 1);
  int depth = 0;
  bool in_string = false;
  bool in_comment = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    depths[i] = depth;
    const char c = text[i];
    if (in_comment) {
      in_comment = c != '\n';
    } else if (in_string) {
      if (c == '\\') {
        depths[++i] = depth;
      } else {
        in_string = c != '"';
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      in_comment = true;
    } else if (c == '{' || c == '(') {
      ++depth;
    } else if (c == '}' || c == ')') {
      --depth;
    }
  }
  depths[text.size()] = depth;
  return depths;
}

// Reads texts into a network holding one node "keep", through one file.
class CutReader {
 public:
  CutReader(const std::string& extension, int read_code)
      : file_(extension), read_code_(read_code) {}
  // The read's status; the network must be unchanged when it fails.
  int Read(const std::string& text) {
    {
      std::ofstream out(file_.path(), std::ios::binary | std::ios::trunc);
      out << text;
    }
    VRN_network net;
    EXPECT_EQ(net.AddNode(qelta::kDefCpt, "keep"), 0);
    const int rc = net.ReadFile(file_.path(), read_code_, 0);
    if (rc != qelta::kOk) {
      EXPECT_EQ(net.GetNumberOfNodes(), 1);
      EXPECT_EQ(net.FindNode("keep"), 0);
    }
    return rc;
  }

 private:
  TempPath file_;
  int read_code_;
};

// Each writer's file and what a cut of it must do. A file with an end mark
// (its last "}", or its last end tag) fails when cut anywhere before it; a
// Hugin file, which has none, fails when cut inside a block or list and
// reads when cut right after a block; an Ergo file has neither marks nor
// blocks (every cut that fails must still leave the network as it was).
struct CutRule {
  const char* extension;
  int read_code;  // the KI writer's file reads as the native text format
  bool end_mark;
  bool xml;
};
const CutRule kCutRules[] = {
    {".vrn", 0, true, false},   {".dne", 0, true, false},
    {".dsc", 0, true, false},   {".xml03", 0, true, true},
    {".xvrn", 0, true, true},   {".dxp", qelta::kFormatVrn, true, false},
    {".net", 0, false, false},  {".erg", 0, false, false}};

void ExpectCutsFail(const CutRule& rule, const std::string& whole,
                    const std::vector<std::size_t>& cuts) {
  const std::vector<int> depths = MapDepths(whole);
  const std::size_t end = (rule.xml ? whole.rfind('>') : whole.rfind('}')) + 1;
  CutReader reader(rule.extension, rule.read_code);
  ASSERT_EQ(reader.Read(whole), qelta::kOk) << whole;
  for (const std::size_t cut : cuts) {
    const std::string text = whole.substr(0, cut);
    SCOPED_TRACE(std::string(rule.extension) + " cut at " + std::to_string(cut) +
                 ": ..." + text.substr(text.size() > 60 ? text.size() - 60 : 0));
    const int rc = reader.Read(text);
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    // An MSBN file without a node is the file of an empty network.
    const bool empty = rule.extension == std::string(".dsc") && text.find("node") == std::string::npos;
    if (rule.end_mark ? cut < end && !empty
                      : rule.extension == std::string(".net") && depths[cut] > 0) {
      EXPECT_NE(rc, qelta::kOk);
    } else if (rule.extension == std::string(".net") && last != std::string::npos &&
               text[last] == '}') {
      EXPECT_EQ(rc, qelta::kOk);
    }
  }
}

// A, B -> C; A, C -> M (noisy-MAX); D decision; C, D -> U utility; B in a
// submodel.
void MakeCutNetwork(VRN_network* net) {
  const int a = net->AddNode(qelta::kDefCpt, "A");
  ASSERT_EQ(net->GetNode(a)->Definition()->SetNumberOfOutcomes(3), 0);
  const int b = net->AddNode(qelta::kDefCpt, "B");
  const int c = net->AddNode(qelta::kDefCpt, "C");
  const int m = net->AddNode(qelta::kDefNoisyMax, "M");
  const int d = net->AddNode(qelta::kDefDecision, "D");
  const int u = net->AddNode(qelta::kDefUtility, "U");
  for (const auto& arc : {std::pair<int, int>{a, c}, {b, c}, {a, m}, {c, m},
                          {c, u}, {d, u}}) {
    ASSERT_EQ(net->AddArc(arc.first, arc.second), qelta::kOk);
  }
  ASSERT_EQ(net->GetNode(a)->Definition()->SetDefinitionFromVector(
                {0.2, 0.3, 0.5}),
            qelta::kOk);
  ASSERT_EQ(net->GetNode(c)->Definition()->SetDefinitionFromVector(
                {0.1, 0.9, 0.2, 0.8, 0.3, 0.7, 0.4, 0.6, 0.5, 0.5, 0.6, 0.4}),
            qelta::kOk);
  ASSERT_EQ(net->GetNode(m)->Definition()->SetDefinitionFromVector(
                {0.7, 0.3, 0.4, 0.6, 0, 1, 0.9, 0.1, 0, 1, 0.05, 0.95}),
            qelta::kOk);
  ASSERT_EQ(net->GetNode(u)->Definition()->SetDefinitionFromVector(
                {1, 2, 3, 4}),
            qelta::kOk);
  const int sub = net->Submodels()->CreateSubmodel(qelta::kMainSubmodel, "S");
  ASSERT_GE(sub, 0);
  ASSERT_EQ(net->GetNode(b)->SetSubmodel(sub), qelta::kOk);
}

TEST(ReadCutTest, FilesCutBeforeTheirEndFail) {
  VRN_network cut_network;
  MakeCutNetwork(&cut_network);
  VRN_network chance;
  MakeSmallNetwork(&chance, false);
  // Every cut of each writer's file of a small network.
  for (const CutRule& rule : kCutRules) {
    // Ergo holds chance nodes only; the KI writer's layout does not hold a
    // noisy-MAX node with parents.
    const bool small = rule.extension == std::string(".erg") || rule.extension == std::string(".dxp");
    const std::string whole = Written(small ? chance : cut_network, rule.extension);
    std::vector<std::size_t> cuts(whole.size());
    for (std::size_t i = 0; i < cuts.size(); ++i) cuts[i] = i;
    ExpectCutsFail(rule, whole, cuts);
  }
  // A native file cut after a whole node block fails too: the file lacks
  // the network block's end, and what it cut would be lost.
  const std::string vrn = Written(chance, ".vrn");
  EXPECT_EQ(ReadKeeping(".vrn", vrn.substr(0, vrn.find(" node B"))), qelta::kErrNoMoreTokens);

  // The other text formats, cut right after the given text.
  VRN_network net;
  MakeSmallNetwork(&net, true);
  const struct {
    const char* extension;
    const char* inside;
  } cases[] = {{".net", "data = ((0.5"}, {".net", "potential (B |"},
               {".dsc", "(0) : 0.5"},    {".xml03", "<TABLE>"},
               {".erg", "4\n0.5"},       {".erg", "\n2\n"}};
  for (const auto& c : cases) {
    const std::string whole =
        Written(c.extension[1] == 'e' ? chance : net, c.extension);
    const std::size_t at = whole.find(c.inside);
    ASSERT_NE(at, std::string::npos) << c.extension << " " << c.inside;
    SCOPED_TRACE(std::string(c.extension) + " cut after " + c.inside);
    EXPECT_EQ(ReadKeeping(c.extension,
                          whole.substr(0, at + std::string(c.inside).size())),
              qelta::kErrNoMoreTokens);
  }
  // KI: a cut inside a block, and one between its blocks (a block missing).
  const std::string ki = "diagnostic network \"x\"\nkb { }\n";
  EXPECT_EQ(ReadKeeping(".dxp", ki + "nodes { }\nnetwork {\n"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadKeeping(".dxp", ki + "nodes { standard A"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadKeeping(".dxp", ki), qelta::kErrSyntax);
}

// The same for a benchmark network: each writer's file cut after every
// line that closes a block (or holds an end tag) and at random points.
TEST(ReadCutTest, BenchmarkFilesCutBeforeTheirEndFail) {
  VRN_network alarm;
  if (!shared_nets::Load("alarm", &alarm)) {
    GTEST_SKIP() << "networks/xmlbif/alarm.xml of the shared data folder "
                 << shared_nets::DataDir() << " is absent: no benchmark network to cut";
  }
  const char* seed_text = std::getenv("QELTA_CUT_SEED");
  const unsigned seed = seed_text != nullptr ? static_cast<unsigned>(std::atol(seed_text)) : 111u;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (const CutRule& rule : kCutRules) {
    const std::string whole = Written(alarm, rule.extension);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < whole.size();) {
      std::size_t next = whole.find('\n', at);
      next = next == std::string::npos ? whole.size() : next + 1;
      const std::size_t first = whole.find_first_not_of(" \t", at);
      if (first < next && (whole[first] == '}' || whole.compare(first, 2, "</") == 0) &&
          next < whole.size()) {
        cuts.push_back(next);
      }
      at = next;
    }
    std::uniform_int_distribution<std::size_t> point(0, whole.size() - 1);
    for (int i = 0; i < 100; ++i) cuts.push_back(point(rng));
    ExpectCutsFail(rule, whole, cuts);
  }
}

}  // namespace
