#include "io/text/msbn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "io/format.h"
#include "io/text/text_network_util.h"

namespace {

using namespace qelta_test;

constexpr char kCancer[] =
    "// A small network\n"
    "belief network \"Cancer \\\"study\\\"\"\n"
    "node Smoker {\n"
    "  name : \"Smoker?\";\n"
    "  label : chance;\n"
    "  type : discrete [ 2 ] = { \"yes\", \"no\" };\n"
    "  position : (10, -20);\n"
    "}\n"
    "node Cancer {\n"
    "  type : discrete [ 3 ] = { \"<5\", \"5-12\", \"12+\" };\n"
    "}\n"
    "probability ( Smoker ) {\n"
    "   0.3, 0.7;\n"
    "}\n"
    "probability ( Cancer | Smoker ) {\n"
    "  (1) : 0.5, 0.25, 0.25;\n"
    "  (0) : 0.1, 0.2, 0.7;\n"
    "}\n";

int ReadText(VRN_network* network, const std::string& text) {
  TempPath file(".dsc", text);
  return network->ReadFile(file.path(), 0, 0);
}

TEST(MsbnTest, ReadsHeaderNodesAndTables) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network, kCancer), qelta::kOk) << LogText(network);
  EXPECT_EQ(LogText(network), "");
  EXPECT_STREQ(network.Header()->GetName(), "Cancer \"study\"");
  const int smoker = network.FindNode("Smoker");
  const int cancer = network.FindNode("Cancer");
  ASSERT_GE(smoker, 0);
  ASSERT_GE(cancer, 0);
  EXPECT_STREQ(network.GetNode(smoker)->Header().GetName(), "Smoker?");
  EXPECT_EQ(network.GetNode(smoker)->ScreenInfo().x, 10);
  EXPECT_EQ(network.GetNode(smoker)->ScreenInfo().y, -20);
  EXPECT_EQ(OutcomeIds(network, cancer), (Strings{"x_5", "x5_12", "x12_"}));
  EXPECT_EQ(ParentIds(network, cancer), (Strings{"Smoker"}));
  EXPECT_EQ(Table(network, smoker), (Doubles{0.3, 0.7}));
  // Entries go where their indexes say, whatever their order.
  EXPECT_EQ(Table(network, cancer), (Doubles{0.1, 0.2, 0.7, 0.5, 0.25, 0.25}));
}

TEST(MsbnTest, IndexesAndValuesAreRangeChecked) {
  VRN_network network;
  const char text[] =
      "belief network \"x\"\n"                                 // 1
      "node A { type : discrete[2] = { \"a0\", \"a1\" }; }\n"  // 2
      "node B { type : discrete[2] = { \"b0\", \"b1\" }; }\n"  // 3
      "probability (B | A) {\n"                                // 4
      "  (2) : 0.5, 0.5;\n"                                    // 5
      "  (-1) : 0.5, 0.5;\n"                                   // 6
      "  (0, 0) : 0.5, 0.5;\n"                                 // 7
      "  (1) : 0.1, 0.2, 0.3;\n"                               // 8
      "  (0) : 0.4, 0.6, 0.1, 0.9;\n"                          // 9
      "  (99999999999) : 1;\n"                                 // 10
      "}\n"                                                    // 11
      "probability (A) { 0.1, 0.2, 0.3; }\n";                  // 12
  // Refused entries leave cells unknown: the read fails, reasons logged.
  ASSERT_EQ(ReadText(&network, text), qelta::kErrFileIo) << LogText(network);
  const std::string log = LogText(network);
  for (const char* message :
       {"(line 5) : ERROR: Invalid coordinates",
        "(line 6) : ERROR: Invalid coordinates",
        "(line 7) : ERROR: Invalid coordinates",
        "(line 8) : ERROR: Node (\"B\") : 3 values do not fit its table",
        "(line 10) : ERROR: '99999999999' : Integer out of range",
        "(line 12) : ERROR: Node (\"A\") : 3 values do not fit its table"}) {
    EXPECT_NE(log.find(message), std::string::npos) << message << "\n" << log;
  }
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
  // An entry may run on into the next configuration, inside the table.
  ASSERT_EQ(ReadText(&network,
                     "belief network \"x\"\n"
                     "node A { type : discrete[2] = { \"a0\", \"a1\" }; }\n"
                     "node B { type : discrete[2] = { \"b0\", \"b1\" }; }\n"
                     "probability (B | A) { (0) : 0.4, 0.6, 0.1, 0.9; }\n"
                     "probability (A) { 0.5, 0.5; }\n"),
            qelta::kOk)
      << LogText(network);
  EXPECT_EQ(Table(network, network.FindNode("B")),
            (Doubles{0.4, 0.6, 0.1, 0.9}));
}

TEST(MsbnTest, BadStatementsAndObjectsAreLoggedAndSkipped) {
  VRN_network network;
  const char text[] =
      "belief network \"x\"\n"                                           // 1
      "node A {\n"                                                       // 2
      "  type : discrete[3] = { \"a0\", \"a1\" };\n"                     // 3
      "  color : red;\n"                                                 // 4
      "  position : (5);\n"                                              // 5
      "  type : discrete[n] = { \"z\" };\n"                              // 6
      "}\n"                                                              // 7
      "node B { type : discrete[1] = { \"b\", 7 }; name : \"Bee\"; }\n"  // 8
      "function f { x; }\n"                                              // 9
      "probability (Z) { 1; }\n"                                         // 10
      "probability (B | A Q) { default : 1; }\n"                         // 11
      "node A { }\n";                                                    // 12
  // A table for an unknown node and an unknown parent cannot be built.
  ASSERT_EQ(ReadText(&network, text), qelta::kErrFileIo) << LogText(network);
  const std::string log = LogText(network);
  for (const char* message :
       {"(line 3) : ERROR: '3' : Size of list doesn't match number of "
        "outcomes. Using list size",
        "(line 4) : ERROR: 'color' : Unknown Node Statement",
        "(line 5) : ERROR: Wrong position coordinates",
        "(line 6) : ERROR: 'n' : Expecting number of states",
        "(line 8) : ERROR: '7' : '}' expected",
        "(line 9) : ERROR: 'function' : Unknown Object",
        "(line 10) : ERROR: Node (\"Z\") not found",
        "(line 11) : ERROR: Couldn't add arc from parent node (\"Q\")",
        "(line 12) : ERROR: Couldn't Create Node (\"A\")"}) {
    EXPECT_NE(log.find(message), std::string::npos) << message << "\n" << log;
  }
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
}

TEST(MsbnTest, HeaderAndInputFailures) {
  VRN_network network;
  ASSERT_GE(network.AddNode(qelta::kDefCpt, "keep"), 0);
  EXPECT_EQ(ReadText(&network, "node A { }\n"), qelta::kErrSyntax);
  EXPECT_NE(LogText(network).find(
                "(line 1) : ERROR: 'node' : Network header expected"),
            std::string::npos);
  EXPECT_EQ(ReadText(&network, "belief net \"x\"\n"), qelta::kErrSyntax);
  EXPECT_EQ(ReadText(&network, "belief network \"x\"\nnode A { name : "),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadText(&network, "belief network \"x\"\nnode A { name : \"a"),
            qelta::kErrUnexpectedEof);
  EXPECT_EQ(ReadText(&network, "/* only a comment */"), qelta::kErrSyntax);
  EXPECT_EQ(network.ReadFile("/nonexistent/dir/x.dsc", 0, 0),
            qelta::kErrFileIo);
  EXPECT_EQ(network.GetNumberOfNodes(), 1);
  EXPECT_GE(network.FindNode("keep"), 0);
}

TEST(MsbnTest, WritesTheLayoutItReads) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network, kCancer), qelta::kOk);
  TempPath out(".dsc");
  ASSERT_EQ(network.WriteFile(out.path(), qelta::kFormatMsbn, 0), qelta::kOk)
      << LogText(network);
  EXPECT_EQ(qelta_test::ReadWholeFile(out.path()),
            "belief network \"Cancer \\\"study\\\"\"\n"
            "\n"
            "node Smoker\n"
            "{\n"
            "    name : \"Smoker?\";\n"
            "    type : discrete[2] = \n"
            "    {\n"
            "        \"yes\",\n"
            "        \"no\"\n"
            "    };\n"
            "    position : (10, -20);\n"
            "}\n"
            "\n"
            "node Cancer\n"
            "{\n"
            "    name : \"Cancer\";\n"
            "    type : discrete[3] = \n"
            "    {\n"
            "        \"x_5\",\n"
            "        \"x5_12\",\n"
            "        \"x12_\"\n"
            "    };\n"
            "    position : (0, 0);\n"
            "}\n"
            "\n"
            "probability (Smoker)\n"
            "{\n"
            "    0.3, 0.7;\n"
            "}\n"
            "\n"
            "probability (Cancer | Smoker)\n"
            "{\n"
            "    (0) : 0.1, 0.2, 0.7;\n"
            "    (1) : 0.5, 0.25, 0.25;\n"
            "}\n");
}

TEST(MsbnTest, WriteReadWriteKeepsEverything) {
  VRN_network first;
  ASSERT_EQ(ReadText(&first, kCancer), qelta::kOk);
  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".dsc", 0,
                                         qelta::kFormatMsbn, true, true);
  EXPECT_STREQ(second.Header()->GetName(), "Cancer \"study\"");
}

// Stored text never carries bytes that are not UTF-8: text gets U+FFFD in
// their place, ids '_' (kept distinct), and messages quoting the file too.
TEST(MsbnTest, InvalidUtf8IsRepairedWhereverTextIsStored) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  VRN_network network;
  ASSERT_EQ(ReadText(&network,
                     "belief network \"Net\xff\"\n"
                     "\"odd\xff\";\n"
                     "node A {\n"
                     "  name : \"Al\xffpha\";\n"
                     "  type : discrete [ 3 ] =\n"
                     "    { \"s\xff\", \"s\xfe\", \"s_\" };\n"
                     "}\n"
                     "probability ( A ) { 0.2, 0.3, 0.5; }\n"),
            qelta::kOk)
      << LogText(network);
  qelta_test::ExpectAllTextIsUtf8(network);
  EXPECT_NE(LogText(network).find("'odd" + r + "' : Unknown Object"),
            std::string::npos)
      << LogText(network);
  EXPECT_EQ(std::string(network.Header()->GetName()), "Net" + r);
  const int a = network.FindNode("A");
  ASSERT_GE(a, 0);
  EXPECT_EQ(std::string(network.GetNode(a)->Header().GetName()),
            "Al" + r + "pha");
  EXPECT_EQ(OutcomeIds(network, a), (Strings{"s__2", "s__3", "s_"}));
  EXPECT_EQ(Table(network, a), (Doubles{0.2, 0.3, 0.5}));
}

}  // namespace
