// Reads that cannot give the file's network fail and leave the network as
// it was: tables with entries that are not numbers or utilities that are
// not finite, and files cut inside a statement (a cut between statements
// reads what comes before it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "io/text/text_network_util.h"
#include "network/network.h"
#include "network/node.h"

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

TEST(ReadCutTest, TableEntriesThatAreNotNumbersFailTheRead) {
  const struct {
    const char* extension;
    const char* text;
  } cases[] = {
      {".vrn",
       "net N {\n node A {\n  TYPE = CPT;\n  DEFINITION = {\n"
       "   NAMESTATES = (a0, a1);\n   PROBABILITIES = (0.2, oops);\n  };\n"
       " };\n};\n"},
      {".dne",
       "bnet N {\nnode A {\n kind = NATURE;\n discrete = TRUE;\n"
       " states = (a0, a1);\n parents = ();\n probs = (0.2, oops);\n};\n};\n"},
      {".net",
       "net\n{\n}\nnode A\n{\n states = (\"a0\" \"a1\");\n}\n"
       "potential (A)\n{\n data = ( 0.2 oops );\n}\n"},
      {".xml03",
       "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME>\n"
       "<VARIABLE TYPE=\"nature\"><NAME>A</NAME><OUTCOME>a0</OUTCOME>"
       "<OUTCOME>a1</OUTCOME></VARIABLE>\n"
       "<DEFINITION><FOR>A</FOR><TABLE>0.2 oops</TABLE></DEFINITION>\n"
       "</NETWORK></BIF>\n"},
      // Utilities that are not finite numbers.
      {".net",
       "net\n{\n}\nnode A\n{\n states = (\"a0\" \"a1\");\n}\n"
       "decision D\n{\n states = (\"d0\" \"d1\");\n}\nutility U\n{\n}\n"
       "potential (A)\n{\n data = (0.5 0.5);\n}\n"
       "potential (U | A D)\n{\n data = (( nan 1 ) ( inf -inf ));\n}\n"},
      {".net",
       "net\n{\n}\nnode A\n{\n states = (\"a0\" \"a1\");\n}\nutility U\n{\n}\n"
       "potential (A)\n{\n data = (0.5 0.5);\n}\n"
       "potential (U | A)\n{\n data = ( 1 1e999 );\n}\n"},
      {".vrn",
       "net N {\n node A {\n  TYPE = CPT;\n  DEFINITION = {\n"
       "   NAMESTATES = (a0, a1);\n  };\n };\n"
       " node U {\n  TYPE = TABLE;\n  PARENTS = (A);\n"
       "  DEFINITION = {\n   UTILITIES = (1, 1e999);\n  };\n };\n};\n"},
      // A table of the wrong size.
      {".vrn",
       "net N {\n node A {\n  TYPE = CPT;\n  DEFINITION = {\n"
       "   NAMESTATES = (a0, a1);\n   PROBABILITIES = (0.2, 0.3, 0.5);\n"
       "  };\n };\n};\n"},
      {".dne",
       "bnet N {\nnode A {\n kind = NATURE;\n discrete = TRUE;\n"
       " states = (a0, a1);\n parents = ();\n probs = (0.5, 0.5);\n};\n"
       "node U {\n kind = UTILITY;\n discrete = FALSE;\n parents = (A);\n"
       " functable = (1, 1e999);\n};\n};\n"},
      {".xml03",
       "<BIF VERSION=\"0.3\"><NETWORK><NAME>N</NAME>\n"
       "<VARIABLE TYPE=\"utility\"><NAME>U</NAME></VARIABLE>\n"
       "<DEFINITION><FOR>U</FOR><TABLE>1e999</TABLE></DEFINITION>\n"
       "</NETWORK></BIF>\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + "\n" + c.text);
    std::string log;
    EXPECT_LT(ReadKeeping(c.extension, c.text, &log), 0);
    EXPECT_FALSE(log.empty());
  }
  // The same files with numbers read.
  std::string log;
  EXPECT_EQ(ReadKeeping(".vrn",
                        "net N {\n node A {\n  TYPE = CPT;\n"
                        "  DEFINITION = {\n   NAMESTATES = (a0, a1);\n"
                        "   PROBABILITIES = (0.2, 0.8);\n  };\n };\n};\n",
                        &log),
            qelta::kOk)
      << log;
  EXPECT_EQ(ReadKeeping(".net",
                        "net\n{\n}\nnode A\n{\n states = (\"a0\" \"a1\");\n}\n"
                        "potential (A)\n{\n data = ( 0.2 0.8 );\n}\n",
                        &log),
            qelta::kOk)
      << log;
}

// A, B -> U with decision D -> U: every kind of table the formats write.
void MakeSmallNetwork(VRN_network* net, bool decisions) {
  ASSERT_EQ(net->AddNode(qelta::kDefCpt, "A"), 0);
  ASSERT_EQ(net->AddNode(qelta::kDefCpt, "B"), 1);
  ASSERT_EQ(net->AddArc(0, 1), qelta::kOk);
  ASSERT_EQ(net->GetNode(0)->Definition()->SetDefinitionFromVector(
                {0.25, 0.75}),
            qelta::kOk);
  ASSERT_EQ(net->GetNode(1)->Definition()->SetDefinitionFromVector(
                {0.5, 0.5, 0.125, 0.875}),
            qelta::kOk);
  if (!decisions) return;
  ASSERT_EQ(net->AddNode(qelta::kDefDecision, "D"), 2);
  ASSERT_EQ(net->AddNode(qelta::kDefUtility, "U"), 3);
  ASSERT_EQ(net->AddArc(1, 3), qelta::kOk);
  ASSERT_EQ(net->AddArc(2, 3), qelta::kOk);
  ASSERT_EQ(net->GetNode(3)->Definition()->SetDefinitionFromVector(
                {1, 2, 3, 4}),
            qelta::kOk);
}

std::string Written(const VRN_network& net, const std::string& extension) {
  TempPath file(extension);
  EXPECT_EQ(const_cast<VRN_network&>(net).WriteFile(file.path(), 0, 0),
            qelta::kOk);
  return qelta_test::ReadWholeFile(file.path());
}

// Every cut of the file: one ending after a statement's ";", a block's
// "{" or "}" reads; any other fails with the end-of-input code (or the
// code of a string left open), leaving the network as it was.
void ExpectCutsSplitAtStatements(const std::string& extension,
                                 const std::string& whole,
                                 std::size_t header_end) {
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    const std::string text = whole.substr(0, cut);
    SCOPED_TRACE(extension + " cut at " + std::to_string(cut) + ": ..." +
                 text.substr(text.size() > 40 ? text.size() - 40 : 0));
    const int rc = ReadKeeping(extension, text);
    if (cut < header_end) {
      EXPECT_LT(rc, 0);
      continue;
    }
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    const char end = last == std::string::npos ? '\0' : text[last];
    if (end == ';' || end == '{' || end == '}') {
      EXPECT_EQ(rc, qelta::kOk);
    } else if (rc != qelta::kErrUnexpectedEof) {
      EXPECT_EQ(rc, qelta::kErrNoMoreTokens);
    }
  }
}

TEST(ReadCutTest, NativeTextAndNeticaFilesCutInsideAStatementFail) {
  VRN_network net;
  MakeSmallNetwork(&net, true);
  VRN_network chance;  // the native text file is long: two nodes will do
  MakeSmallNetwork(&chance, false);
  const std::string vrn = Written(chance, ".vrn");
  ExpectCutsSplitAtStatements(".vrn", vrn, vrn.find("net") + 3);
  const std::string dne = Written(net, ".dne");
  ExpectCutsSplitAtStatements(".dne", dne, dne.find("bnet") + 4);

  // What a cut between statements keeps is read as the file says.
  const std::string kept = vrn.substr(0, vrn.find(" node B"));
  VRN_network read;
  TempPath file(".vrn", kept);
  ASSERT_EQ(read.ReadFile(file.path(), 0, 0), qelta::kOk) << LogText(read);
  EXPECT_EQ(read.GetNumberOfNodes(), 1);
  EXPECT_EQ(qelta_test::Table(read, read.FindNode("A")),
            (std::vector<double>{0.25, 0.75}));
}

TEST(ReadCutTest, OtherTextFormatsCutInsideATableFail) {
  VRN_network net;
  MakeSmallNetwork(&net, true);
  VRN_network chance;
  MakeSmallNetwork(&chance, false);
  const struct {
    const char* extension;
    const VRN_network* network;
    const char* inside;  // the cut comes right after this text
  } cases[] = {
      {".net", &net, "data = ((0.5"},
      {".net", &net, "potential (B |"},
      {".dsc", &net, "(0) : 0.5"},
      {".xml03", &net, "<TABLE>"},
      {".erg", &chance, "4\n0.5"},
      {".erg", &chance, "\n2\n"},
  };
  for (const auto& c : cases) {
    const std::string whole = Written(*c.network, c.extension);
    const std::size_t at = whole.find(c.inside);
    ASSERT_NE(at, std::string::npos) << c.extension << " " << c.inside;
    SCOPED_TRACE(std::string(c.extension) + " cut after " + c.inside);
    EXPECT_EQ(ReadKeeping(c.extension,
                          whole.substr(0, at + std::string(c.inside).size())),
              qelta::kErrNoMoreTokens);
  }
  // KI: a cut inside a block, and one between its blocks (a block missing).
  EXPECT_EQ(ReadKeeping(".dxp",
                        "diagnostic network \"x\"\nkb { }\nnodes { }\n"
                        "network {\n"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadKeeping(".dxp",
                        "diagnostic network \"x\"\nkb { }\nnodes { standard A"),
            qelta::kErrNoMoreTokens);
  EXPECT_EQ(ReadKeeping(".dxp", "diagnostic network \"x\"\nkb { }\n"),
            qelta::kErrSyntax);
  // No cut of any of them crashes or changes the network it fails to read.
  for (const char* extension : {".net", ".dsc", ".xml03", ".erg"}) {
    const std::string whole =
        Written(std::string(extension) == ".erg" ? chance : net, extension);
    for (std::size_t cut = 0; cut < whole.size(); cut += 3) {
      (void)ReadKeeping(extension, whole.substr(0, cut));
    }
  }
}

}  // namespace
