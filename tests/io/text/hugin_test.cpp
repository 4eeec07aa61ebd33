#include "io/text/hugin.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/error_log.h"
#include "base/matrix.h"
#include "definitions/node_def.h"
#include "network/network.h"
#include "network/node.h"
#include "base/status.h"
#include "network/submodel.h"
#include "io/format.h"
#include "io/text/text_network_util.h"

namespace {

using namespace qelta_test;

constexpr int kHugin = qelta::kFormatHugin;

constexpr char kTwoNodes[] =
    "net\n"
    "{\n"
    "  node_size = (80 40);\n"
    "  HR_Grid_X = \"10\";\n"
    "}\n"
    "\n"
    "node A\n"
    "{\n"
    "  label = \"Alpha \\\"one\\\"\";\n"
    "  position = (100 50);\n"
    "  states = (\"yes\" \"no\");\n"
    "  HR_Color = \"blue\";\n"
    "  subtype = number;\n"
    "}\n"
    "\n"
    "discrete node B\n"
    "{\n"
    "  states = (\"0\" \"1\" \"a b\" \"a-b\");\n"
    "  position = (10 200);\n"
    "}\n"
    "\n"
    "potential (A) { data = (0.2 0.8); }\n"
    "potential (B | A)\n"
    "{\n"
    "  data = ((0.1 0.2 0.3 0.4)   % A=yes\n"
    "          (0.25 0.25 0.25 0.25));\n"
    "}\n";

// Reads text as a Hugin file into network; answers ReadFile's status.
int ReadText(VRN_network* network, const std::string& text) {
  TempPath file(".net", text);
  return network->ReadFile(file.path(), 0, 0);
}

TEST(HuginTest, ReadsDeclarationsAndPotentials) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network, kTwoNodes), qelta::kOk) << LogText(network);
  EXPECT_EQ(LogText(network), "");
  const int a = network.FindNode("A");
  const int b = network.FindNode("B");
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_STREQ(network.GetNode(a)->Header().GetName(), "Alpha \"one\"");
  EXPECT_STREQ(network.GetNode(b)->Header().GetName(), "B");
  EXPECT_EQ(OutcomeIds(network, a), (Strings{"yes", "no"}));
  // Labels that are not identifiers are repaired, and stay apart.
  EXPECT_EQ(OutcomeIds(network, b), (Strings{"x0", "x1", "a_b", "a_b_2"}));
  EXPECT_EQ(ParentIds(network, b), (Strings{"A"}));
  EXPECT_EQ(Table(network, a), (Doubles{0.2, 0.8}));
  const Doubles table = Table(network, b);
  const Doubles expected = {0.1, 0.2, 0.3, 0.4, 0.25, 0.25, 0.25, 0.25};
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_NEAR(table[i], expected[i], 1e-15);
  }
  // Text attributes become user properties; other shapes are dropped.
  const VRN_userProperties& properties = network.GetNode(a)->UserProperties();
  ASSERT_EQ(properties.GetSize(), 1);
  EXPECT_STREQ(properties.GetPropertyName(0), "HR_Color");
  EXPECT_STREQ(properties.GetPropertyValue(0), "blue");
  // The default size, and positions on a vertical axis running upwards:
  // the centres are mirrored about the middle of their y range (50, 200).
  const VRN_screenInfo& defaults = network.Submodels()->DefaultNodeScreenInfo();
  EXPECT_EQ(defaults.width, 80);
  EXPECT_EQ(defaults.height, 40);
  EXPECT_EQ(network.GetNode(a)->ScreenInfo().x, 100);
  EXPECT_EQ(network.GetNode(a)->ScreenInfo().y, 200);
  EXPECT_EQ(network.GetNode(b)->ScreenInfo().x, 10);
  EXPECT_EQ(network.GetNode(b)->ScreenInfo().y, 50);
}

TEST(HuginTest, DeclarationsLoadInAnyOrder) {
  VRN_network network;
  const char text[] =
      "net { node_size = (10 10); }\n"
      "potential (B | A C) { data = (((0.5 0.5)(0.9 0.1))((0.2 0.8)(1 0))); }\n"
      "class Other { node X { } }\n"
      "node B { states = (\"b0\" \"b1\"); }\n"
      "potential (C) { data = (0.3 0.7); }\n"
      "node A { states = (\"a0\" \"a1\"); }\n"
      "node C { states = (\"c0\" \"c1\"); }\n"
      "potential (A) { data = (0.6 0.4); }\n";
  ASSERT_EQ(ReadText(&network, text), qelta::kOk) << LogText(network);
  // The unknown word is reported, and everything after it still loads.
  EXPECT_NE(LogText(network).find("(line 3) : ERROR: 'class' : Unknown "
                                  "Statement"),
            std::string::npos)
      << LogText(network);
  EXPECT_EQ(network.GetNumberOfNodes(), 3);
  const int b = network.FindNode("B");
  EXPECT_EQ(ParentIds(network, b), (Strings{"A", "C"}));
  EXPECT_EQ(Table(network, b),
            (Doubles{0.5, 0.5, 0.9, 0.1, 0.2, 0.8, 1.0, 0.0}));
  EXPECT_EQ(Table(network, network.FindNode("A")), (Doubles{0.6, 0.4}));
  EXPECT_EQ(Table(network, network.FindNode("C")), (Doubles{0.3, 0.7}));
  EXPECT_EQ(network.Submodels()->DefaultNodeScreenInfo().width, 10);
}

TEST(HuginTest, RowsAreNormalised) {
  VRN_network network;
  const char text[] =
      "net { }\n"
      "node A { states = (\"a0\" \"a1\"); }\n"
      "node B { states = (\"b0\" \"b1\" \"b2\"); }\n"
      "potential (A) { data = (2 6); }\n"
      "potential (B | A) { data = ((0 0 0) (1 1 2)); }\n";
  ASSERT_EQ(ReadText(&network, text), qelta::kOk) << LogText(network);
  EXPECT_EQ(Table(network, network.FindNode("A")), (Doubles{0.25, 0.75}));
  const Doubles b = Table(network, network.FindNode("B"));
  const Doubles expected = {1.0 / 3, 1.0 / 3, 1.0 / 3, 0.25, 0.25, 0.5};
  ASSERT_EQ(b.size(), expected.size());
  for (std::size_t i = 0; i < b.size(); ++i)
    EXPECT_NEAR(b[i], expected[i], 1e-15);
}

TEST(HuginTest, BadStatementsAreLoggedAndSkipped) {
  VRN_network network;
  const char text[] =
      "net { name = \"x\"; node_size = (5); }\n"              // line 1
      "node A { states = (\"a0\" \"a1\"); position = (1);\n"  // line 2
      "  label = 5; label = \"\"; }\n"                        // line 3
      "continuous node C { }\n"                               // line 4
      "chance D { states = (\"d\"); }\n"                      // line 5
      "node A { }\n"                                          // line 6
      "potential (Z) { data = (1); }\n"                       // line 7
      "potential (A C) { data = (0.5 0.5); }\n"               // line 8
      "potential (A | Q) { foo = 1; data = (0.4 0.6); }\n"    // line 9
      "potential (C) { data = (1 2 3); }\n";                  // line 10
  // A missing parent and a table of the wrong size cannot be built: the
  // read fails, every reason logged, the network left as it was.
  ASSERT_EQ(ReadText(&network, text), qelta::kErrFileIo) << LogText(network);
  const std::string log = LogText(network);
  for (const char* message :
       {"(line 1) : ERROR: 'name' : Unknown Net Statement",
        "(line 1) : ERROR: Wrong node size",
        "(line 2) : ERROR: Wrong position coordinates",
        "(line 3) : ERROR: '5' : String expected",
        "(line 4) : ERROR: : Continuous nodes not supported (yet)",
        "(line 5) : ERROR: 'chance' : Unknown Statement",
        "(line 6) : ERROR: Couldn't Create Node (\"A\")",
        "(line 7) : ERROR: Node (\"Z\") not found",
        "(line 8) : ERROR: Undirected arcs not (yet) supported",
        "(line 9) : ERROR: 'foo' : Unknown potential statement",
        "(line 9) : ERROR: Couldn't add arc from parent node (\"Q\")",
        "(line 10) : ERROR: Node (\"C\") : 3 numbers in data, 2 in its "
        "table"}) {
    EXPECT_NE(log.find(message), std::string::npos) << message << "\n" << log;
  }
  EXPECT_EQ(network.GetNumberOfNodes(), 0);
}

TEST(HuginTest, InputFailuresLeaveTheNetworkAsItWas) {
  VRN_network network;
  ASSERT_GE(network.AddNode(qelta::kDefCpt, "keep"), 0);
  // Ends inside a declaration.
  EXPECT_EQ(ReadText(&network, "net { } node A { states = (\"a\" \"b\"); "),
            qelta::kErrNoMoreTokens);
  EXPECT_NE(LogText(network).find("ERROR: Unexpected End of File"),
            std::string::npos);
  // A byte no token may hold.
  EXPECT_EQ(ReadText(&network, "net { }\nnode A { }\nnode \x01 { }\n"),
            qelta::kErrLexical);
  EXPECT_EQ(ReadText(&network, "net { } node A { label = \"open }\n"),
            qelta::kErrUnexpectedEof);
  EXPECT_EQ(ReadText(&network, ""), qelta::kErrEndOfFile);
  // Comments only: not a network file.
  EXPECT_EQ(ReadText(&network, "% nothing here\n"), qelta::kErrSyntax);
  EXPECT_EQ(network.ReadFile("/nonexistent/dir/x.net", 0, 0),
            qelta::kErrFileIo);
  EXPECT_EQ(network.GetNumberOfNodes(), 1);
  EXPECT_GE(network.FindNode("keep"), 0);
}

// A file of another format named ".net" (here the MSBN file of asia) is
// not read as a few bare nodes: without the "net" header nothing is read.
TEST(HuginTest, AFileWithoutTheNetHeaderIsRefused) {
  const std::string msbn = qelta_test::ReadWholeFile(
      std::string(QELTA_SHARED_DIR) + "/data/networks/dsc/asia.dsc");
  if (msbn.empty()) GTEST_SKIP() << "shared networks absent";
  VRN_network network;
  ASSERT_GE(network.AddNode(qelta::kDefCpt, "keep"), 0);
  EXPECT_EQ(ReadText(&network, msbn), qelta::kErrSyntax);
  EXPECT_EQ(LogText(network),
            "-127 (line 1) : ERROR: 'belief' : Network header expected\n");
  network.ErrorLog()->Flush();
  EXPECT_EQ(ReadText(&network, "node A { states = (\"a\" \"b\"); }\n"
                               "net { }\n"),
            qelta::kErrSyntax);
  EXPECT_EQ(LogText(network),
            "-127 (line 1) : ERROR: 'node' : Network header expected\n");
  EXPECT_EQ(network.GetNumberOfNodes(), 1);
  EXPECT_GE(network.FindNode("keep"), 0);
  // The header word compares without regard to case.
  EXPECT_EQ(ReadText(&network, "NET { }\nnode A { states = (\"a\" \"b\"); }\n"),
            qelta::kOk)
      << LogText(network);
  EXPECT_GE(network.FindNode("A"), 0);
}

TEST(HuginTest, WritesTheLayoutItReads) {
  VRN_network network;
  ASSERT_EQ(ReadText(&network,
                     "net { }\n"
                     "node A { states = (\"a0\" \"a1\"); position = (5 7); }\n"
                     "node B { label = \"The B\"; states = (\"b0\" \"b1\"); "
                     "note = \"x\\ty\"; }\n"
                     "potential (A) { data = (0.2 0.8); }\n"
                     "potential (B | A) { data = ((0.1 0.9) (0.5 0.5)); }\n"),
            qelta::kOk);
  TempPath out(".net");
  ASSERT_EQ(network.WriteFile(out.path(), kHugin, 0), qelta::kOk)
      << LogText(network);
  EXPECT_EQ(qelta_test::ReadWholeFile(out.path()),
            "net \n"
            "{\n"
            "    node_size = (76 36);\n"
            "}\n"
            "\n"
            "node A\n"
            "{\n"
            "    label = \"A\";\n"
            "    position = (5 7);\n"
            "    states = (\"a0\" \"a1\");\n"
            "}\n"
            "\n"
            "node B\n"
            "{\n"
            "    label = \"The B\";\n"
            "    position = (0 0);\n"
            "    states = (\"b0\" \"b1\");\n"
            "    note = \"x\\ty\";\n"
            "}\n"
            "\n"
            "potential (A |)\n"
            "{\n"
            "    data = (0.2 0.8);\n"
            "}\n"
            "\n"
            "potential (B | A)\n"
            "{\n"
            "    data = ((0.1 0.9)\n"
            "        (0.5 0.5));\n"
            "}\n");
}

TEST(HuginTest, WriteReadWriteKeepsEverything) {
  VRN_network first;
  ASSERT_EQ(ReadText(&first, kTwoNodes), qelta::kOk);
  // A probability too small for 8 decimals must not come back as zero.
  const int a = first.FindNode("A");
  ASSERT_EQ(first.GetNode(a)->Definition()->SetDefinitionFromVector(
                {1e-12, 1.0 - 1e-12}),
            qelta::kOk);
  VRN_network second;
  qelta_test::ExpectWriteReadWriteStable(first, &second, ".net", 0, kHugin,
                                         false, true);
  EXPECT_NEAR(Table(second, second.FindNode("A"))[0], 1e-12, 1e-20);
}

// The reader scales every column of a chance node's table to sum 1: a
// table whose column misses 1 by more than other tools' rounding is
// refused before a file exists, naming the node; others read back as the
// expanded table written, negative entries and all.
TEST(HuginTest, ColumnsTheReaderWouldScaleAreRefused) {
  const struct {
    int type;
    Doubles items;  // stored through the matrix, as given
    bool refused;
  } cases[] = {{qelta::kDefCpt, {0.2, 0.5, 0.5, 0.5}, true},
               {qelta::kDefCpt, {-0.5, 1.5, 0.5, 0.5}, false},
               {qelta::kDefCpt, {0.333333, 0.666666, 1, 0}, false},
               {qelta::kDefCpt, {0.5, 0.5, 0.5, 0.4998}, true},
               {qelta::kDefTruthTable, {0.2, 0.5, 0.5, 0.5}, true},
               {qelta::kDefNoisyMax, {0.2, 0.5, 0, 1, 0.5, 0.5}, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.items));
    VRN_network network;
    const int a = network.AddNode(qelta::kDefCpt, "A");
    const int b = network.AddNode(c.type, "B");
    ASSERT_EQ(network.AddArc(a, b), qelta::kOk);
    VRN_matrix* table = network.GetNode(b)->Definition()->GetMatrix();
    ASSERT_EQ(static_cast<std::size_t>(table->GetItemCount()), c.items.size());
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      *table->ItemAddress(static_cast<int>(i)) = c.items[i];
    }
    const VRN_matrix* held = network.GetNode(b)->Definition()->GetExpandedDefinition();
    const Doubles expanded(held->GetItems().begin(), held->GetItems().end());
    TempPath out(".net");
    std::remove(out.path());
    const int written = network.WriteFile(out.path(), kHugin, 0);
    if (c.refused) {
      EXPECT_EQ(written, qelta::kErrOutOfRange);
      EXPECT_NE(LogText(network).find("Node [B] cannot be saved in Hugin format"),
                std::string::npos)
          << LogText(network);
      EXPECT_EQ(std::fopen(out.path(), "rb"), nullptr);
      continue;
    }
    ASSERT_EQ(written, qelta::kOk) << LogText(network);
    VRN_network back;
    ASSERT_EQ(back.ReadFile(out.path(), kHugin, 0), qelta::kOk) << LogText(back);
    const Doubles read = Table(back, back.FindNode("B"));
    ASSERT_EQ(read.size(), expanded.size());
    for (std::size_t i = 0; i < read.size(); ++i) EXPECT_NEAR(read[i], expanded[i], 2e-6);
  }
}

// Centres read back as written: the vertical axis is mirrored the same way
// on writing and on reading.
TEST(HuginTest, CentresReadBackAsWritten) {
  const std::vector<std::vector<std::pair<int, int>>> layouts = {
      {{100, 200}, {0, 0}},
      {{-30, 5}, {10, -70}, {0, 1000}},
      {{INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {3, -3}}};
  for (const auto& layout : layouts) {
    VRN_network network;
    for (std::size_t i = 0; i < layout.size(); ++i) {
      const int h = network.AddNode(qelta::kDefCpt, ("N" + std::to_string(i)).c_str());
      network.GetNode(h)->ScreenInfo().x = layout[i].first;
      network.GetNode(h)->ScreenInfo().y = layout[i].second;
    }
    TempPath out(".net");
    ASSERT_EQ(network.WriteFile(out.path(), kHugin, 0), qelta::kOk) << LogText(network);
    VRN_network back;
    ASSERT_EQ(back.ReadFile(out.path(), kHugin, 0), qelta::kOk) << LogText(back);
    for (std::size_t i = 0; i < layout.size(); ++i) {
      const VRN_screenInfo& info =
          back.GetNode(back.FindNode(("N" + std::to_string(i)).c_str()))->ScreenInfo();
      EXPECT_EQ(std::make_pair(info.x, info.y), layout[i]) << "node " << i;
    }
  }
}

TEST(HuginTest, ListSyntaxUsesBlanks) {
  VRN_network network;
  VRN_huginSpeaker speaker(&network);
  TempPath file(".net", "(\"a b\" \"c\") (1 2.5 -3e2) (\"x\", \"y\")");
  ASSERT_EQ(speaker.CreateLexer(3, file.path()), qelta::kOk);
  VRN_stringArray strings;
  ASSERT_EQ(speaker.ReadIdentifierList(&strings), qelta::kOk);
  ASSERT_EQ(strings.GetSize(), 2);
  EXPECT_STREQ(strings.Get(0), "a b");
  VRN_doubleArray numbers;
  ASSERT_EQ(speaker.ReadDoubleList(&numbers), qelta::kOk);
  ASSERT_EQ(numbers.GetSize(), 3);
  EXPECT_EQ(numbers[2], -300.0);
  // Commas are not separators here.
  strings.Flush();
  EXPECT_EQ(speaker.ReadIdentifierList(&strings), qelta::kErrSyntax);
}

// Stored text never carries bytes that are not UTF-8: text gets U+FFFD in
// their place, ids '_' (kept distinct), and messages quoting the file too.
TEST(HuginTest, InvalidUtf8IsRepairedWhereverTextIsStored) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  VRN_network network;
  ASSERT_EQ(ReadText(&network,
                     "net { }\n"
                     "\"st\xff ray\";\n"
                     "node A {\n"
                     "  label = \"Al\xffpha caf\xc3\";\n"
                     "  states = (\"s\xff\" \"s\xfe\" \"s_\"\n"
                     "            \"\xc3\xa9t\xc3\xa9\");\n"
                     "  note = \"n\xffte\";\n"
                     "}\n"),
            qelta::kOk)
      << LogText(network);
  qelta_test::ExpectAllTextIsUtf8(network);
  EXPECT_NE(LogText(network).find("'st" + r + " ray' : Unknown Statement"),
            std::string::npos)
      << LogText(network);
  const int a = network.FindNode("A");
  ASSERT_GE(a, 0);
  const VRN_node* node = network.GetNode(a);
  EXPECT_EQ(std::string(node->Header().GetName()), "Al" + r + "pha caf" + r);
  // Valid UTF-8 stays as it is.
  EXPECT_EQ(OutcomeIds(network, a),
            (Strings{"s__2", "s__3", "s_", "\xc3\xa9t\xc3\xa9"}));
  const int note = node->UserProperties().FindProperty("note");
  ASSERT_GE(note, 0);
  EXPECT_EQ(std::string(node->UserProperties().GetPropertyValue(note)),
            "n" + r + "te");

  TempPath written(".net");
  ASSERT_EQ(network.WriteFile(written.path(), 0, 0), qelta::kOk);
  VRN_network copy;
  ASSERT_EQ(copy.ReadFile(written.path(), 0, 0), qelta::kOk) << LogText(copy);
  qelta_test::ExpectSameNetwork(network, copy, 1e-8);
  EXPECT_STREQ(copy.GetNode(copy.FindNode("A"))->Header().GetName(),
               node->Header().GetName());
}

}  // namespace
